#include "model/record_values.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/header_fields.h"

namespace record_values {

namespace {

std::string timeText(const TestRecord& r) { return std::string(r.time, strnlen(r.time, sizeof r.time)); }

}  // namespace

// A time text of plain digits (the rebuild writes nothing else) read without the C library; false for
// any other text.
bool plainDigits(const TestRecord& r, int& value) {
  int v = 0;
  std::size_t i = 0;
  for (; i < sizeof r.time && r.time[i] != '\0'; ++i) {
    const char c = r.time[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (i == 0) return false;
  value = v;
  return true;
}

int timeMinutes(const TestRecord& r) {
  int v = 0;
  if (plainDigits(r, v)) return v;
  return static_cast<int>(std::strtol(timeText(r).c_str(), nullptr, 10));  // five characters: no overflow
}

double timeNumber(const TestRecord& r) {
  int v = 0;
  if (plainDigits(r, v)) return v;
  return std::strtod(timeText(r).c_str(), nullptr);
}

bool timeIs(const TestRecord& r, const char* text) { return timeText(r) == text; }

double setTimeMinutes(TestRecord& r, double minutes) {
  if (std::isnan(minutes)) minutes = 0.0;
  if (minutes > 99998.0) minutes = 99998.0;
  if (minutes < -9999.0) minutes = -9999.0;
  static_assert(sizeof r.time == 5, "five characters hold every whole number of minutes up to 99998");
  if (minutes >= 0.0 && minutes == std::floor(minutes)) {
    // A whole number of minutes, as "%.0f" writes it, zero-filled to the field (the rebuild writes one
    // for every record, so no formatting routine is called).
    const int whole = static_cast<int>(minutes);
    int v = whole;
    char field[5] = {};
    int k = v >= 10000 ? 5 : v >= 1000 ? 4 : v >= 100 ? 3 : v >= 10 ? 2 : 1;
    while (k > 0) {
      field[--k] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    // Written only where it differs: a rebuild leaves the records it does not change untouched.
    if (std::memcmp(r.time, field, sizeof r.time) != 0) std::memcpy(r.time, field, sizeof r.time);
    return whole;  // plain digits: read back as they are
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.0f", minutes);
  const std::size_t n = std::strlen(buf);
  std::memset(r.time, 0, sizeof r.time);
  std::memcpy(r.time, buf, n < sizeof r.time ? n : sizeof r.time);
  return timeNumber(r);
}

TestSettings SettingsOf(const Parameter& p, const std::vector<TestRecord>& records) {
  using namespace header_fields;
  TestSettings s;
  s.standard = p.standardCode;
  s.testType = p.testType;
  s.maxLoad = p.stepLoad3;
  s.loadIncrement = p.stepLoad2;
  for (int k = 0; k < 6; ++k) {
    s.loadMinutes[k] = p.levelMinutes[k];
    s.unloadMinutes[k] = p.levelMinutes[7 + k];
  }
  s.loadMinutes[6] = p.levelMinutes[6];
  s.unloadMinutes[6] = p.levelMinutes[13];
  s.recordCount = p.readingCount;
  for (int k = 0; k < 8; ++k) s.gaugeOn[k] = p.displacementOn[k];
  if (p.testRunning) return s;

  // A test opened from its file: its own header records.
  const int n = static_cast<int>(records.size());
  auto rec = [&](int i) -> const TestRecord* { return i < n ? &records[i] : nullptr; };
  if (const TestRecord* r = rec(69)) s.standard = toInt(r->text3);
  if (const TestRecord* r = rec(36)) {
    const char c = first(r->text1);
    if (c == '0' || c == '1' || c == '2' || c == '4' || c == '5') s.testType = c - '0';
  }
  if (const TestRecord* r = rec(7)) s.maxLoad = toFloat(r->text2);
  if (const TestRecord* r = rec(6)) s.loadIncrement = toFloat(r->text2);
  for (int k = 0; k < 6; ++k) {
    if (const TestRecord* r = rec(16 + k)) s.loadMinutes[k] = intPart(toFloat(r->text1));
    if (const TestRecord* r = rec(22 + k)) s.unloadMinutes[k] = intPart(toFloat(r->text1));
  }
  if (const TestRecord* r = rec(57)) s.loadMinutes[6] = intPart(toFloat(r->text1));
  if (const TestRecord* r = rec(58)) s.unloadMinutes[6] = intPart(toFloat(r->text1));
  for (int k = 0; k < 8; ++k) {
    const TestRecord* r = rec(k < 4 ? 31 + k : 17 + k);
    if (r) s.gaugeOn[k] = (k < 4 ? first(r->text1) : first(r->text2)) == '1' ? 1 : 0;
  }
  s.recordCount = n;
  for (int i = 0; i < n; ++i) {
    if (isEndRecord(records[i])) {
      s.recordCount = i;
      break;
    }
  }
  return s;
}

}  // namespace record_values
