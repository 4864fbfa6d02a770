// Reading the derived values of recorded readings, shared by the rebuild of the reading list, the
// stability judgements and the curve points.
#pragma once

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/parameter.h"

namespace record_values {

// Positions of the values of TestRecord::valuesA.
inline constexpr int kLoad = 0;            // load at the moment of the record (step record: the new level)
inline constexpr int kFirstGauge = 2;      // gauges 1..6 are values 2..7
inline constexpr int kHalfLower = 10;      // self-balanced series u
inline constexpr int kHalfUpper = 11;      // self-balanced series v
inline constexpr int kSecondLoad = 13;     // second load value of the cyclic lateral standards
inline constexpr int kSettlement = 16;
inline constexpr int kLevel = 17;
// Every reading of a level's schedule keeps in value 15 the minute of its level, counted from the
// level's time 0, at which it stands: its slot, or, taken after more than one slot had passed (a pause,
// a long question, a restart), the minute at which it was taken; byte 6 of tail2 (the byte after the
// six status bytes) holds kMinuteKept to say so, and bit 2 of status byte 5 (the sixth byte of tail2)
// marks a reading taken at its own minute. The rebuild of the reading list gives such a reading that
// minute, whatever schedule is in force by then (a standard changed in the middle of the test, a
// standard whose zero-load readings come at doubled intervals), where the time text of its record
// cannot keep it (the rebuild writes the derived times of later readings there); a reading without
// it (an older file) stands where the schedule puts it.
inline constexpr int kTakenMinutes = 15;
inline constexpr unsigned char kAtItsOwnMinute = 0x04;
inline constexpr std::size_t kMinuteMarkByte = 6;
inline constexpr char kMinuteKept = 'M';

// Whether a reading was taken at its own minute, off its slot.
inline bool takenAtItsOwnMinute(const TestRecord& r) {
  return (static_cast<unsigned char>(r.tail2[5]) & kAtItsOwnMinute) != 0;
}

// Whether a reading keeps its minute in value 15.
inline bool keepsItsMinute(const TestRecord& r) {
  return r.tail2[kMinuteMarkByte] == kMinuteKept || takenAtItsOwnMinute(r);
}

// A float truncated toward zero to an int, clamped to the int range (0 for NaN).
inline int truncToInt(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(v);
}

// Settlement and load rounding of the comparisons: hundredths (x * 100 + 0.5 in single precision,
// truncated), or thousandths.
inline int R(float x) { return truncToInt(x * 100.0f + 0.5f); }
inline int R1000(float x) { return truncToInt(x * 1000.0f + 0.5f); }

// The standards that keep settlements in thousandths of a millimetre.
inline bool isThousandths(int standard) {
  switch (standard) {
    case 3: case 58: case 88: case 90: case 102: case 119: return true;
    default: return false;
  }
}

// The cyclic lateral standards, which have neither a rebuild nor a judgement.
inline bool isCyclicLateral(int standard) { return standard == 62 || standard == 76 || standard == 144; }

template <std::size_t N>
bool fieldIs(const char (&field)[N], const char* mark) {
  return std::memcmp(field, mark, N < 5 ? N : 5) == 0;
}

inline bool isEndRecord(const TestRecord& r) { return fieldIs(r.marker, "11111"); }
inline bool isStepRecord(const TestRecord& r) { return fieldIs(r.marker, "--:--"); }

// The reading time as a whole number of minutes (the leading decimal digits of the 5-character text,
// as atoi reads them).
int timeMinutes(const TestRecord& r);
// The reading time as the leading number of its text.
double timeNumber(const TestRecord& r);
// True when the time text is exactly `text` (a shorter text ends with a zero byte).
bool timeIs(const TestRecord& r, const char* text);
// Writes minutes as "%.0f" into the 5-character time text. Values that do not fit are held at 99998
// (99999 marks a record without a reading) or -9999. Returns the minutes as timeNumber() reads the
// text back.
double setTimeMinutes(TestRecord& r, double minutes);

// The settings of the test a record list belongs to: the channel's own while its test runs, else
// those kept in the header records of the list (a test opened from its file). Values that the header
// of a short list does not hold come from the channel.
struct TestSettings {
  int standard = 0;
  int testType = 1;
  float maxLoad = 0.0f;         // item 27
  float loadIncrement = 0.0f;   // item 26
  std::array<int, 7> loadMinutes{};    // loading intervals 1..7
  std::array<int, 7> unloadMinutes{};  // unloading intervals 1..7
  int recordCount = 0;          // records of the test (readings from record 0 on)
  std::array<int, 8> gaugeOn{};  // displacement channels 1..8 on (1) or off (0)
};
TestSettings SettingsOf(const Parameter& parameter, const std::vector<TestRecord>& records);

}  // namespace record_values
