#include "setup/date_time.h"

#include <cctype>
#include <cstdlib>

#include "frontend/procedure.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"
#include "setup/system_options.h"

namespace clk = platform::clock;

namespace {

// A decimal number as "%d" reads it: blanks, an optional sign, digits; -1 when there is none.
int readInt(const std::string& s) {
  std::size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos) return -1;
  bool negative = false;
  if (s[i] == '-' || s[i] == '+') negative = s[i++] == '-';
  if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return -1;
  long v = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 1000000) return -1;  // far outside every field's range
  }
  return static_cast<int>(negative ? -v : v);
}

std::array<std::string, 3> split(std::string text, std::size_t a, std::size_t b, std::size_t c) {
  if (text.size() < a + b + c) text.append(a + b + c - text.size(), '0');
  return {text.substr(0, a), text.substr(a, b), text.substr(a + b, c)};
}

clk::DateTime toDateTime(const DateTimeEntry& e, int millisecond) {
  clk::DateTime t;
  t.year = e.year;
  t.month = e.month;
  t.day = e.day;
  t.hour = e.hour;
  t.minute = e.minute;
  t.second = e.second;
  t.millisecond = millisecond;
  return t;
}

std::int64_t seconds(const clk::DateTime& t) { return t.year >= 1900 ? clk::toSeconds(t) : 0; }

}  // namespace

clk::DateTime UpdateTestClock(Parameter& p) {
  p.localTime = clk::localTime();
  const clk::DateTime t = clk::fromSeconds(seconds(p.localTime) + p.clockShift);
  if (clk::isValid(t)) p.testClock = t;
  return p.testClock;
}

DateTimeEntry ReadDateTimeEntry(const std::array<std::string, 6>& f) {
  return {readInt(f[0]), readInt(f[1]), readInt(f[2]), readInt(f[3]), readInt(f[4]), readInt(f[5])};
}

bool IsValidDateTimeEntry(const DateTimeEntry& e) {
  if (e.year < 1970 || e.year > 2068 || e.month < 1 || e.month > 12) return false;
  int days = 31;
  if (e.month == 4 || e.month == 6 || e.month == 9 || e.month == 11) days = 30;
  if (e.month == 2) days = e.year % 4 == 0 ? 29 : 28;
  if (e.day < 1 || e.day > days) return false;
  return e.hour >= 0 && e.hour <= 23 && e.minute >= 0 && e.minute <= 59 && e.second >= 0 && e.second <= 59;
}

std::array<std::string, 3> SplitTimeText(const std::string& text) { return split(text, 2, 2, 2); }
std::array<std::string, 3> SplitDateText(const std::string& text) { return split(text, 4, 2, 2); }

DateTimeOutcome ApplyDateTime(const std::array<Parameter*, 3>& channels, Parameter& current, const DateTimeEntry& e) {
  if (!IsValidDateTimeEntry(e)) return DateTimeOutcome::Invalid;
  const clk::DateTime now = clk::localTime();
  current.localTime = now;
  const std::array<const Parameter*, 3> view = {channels[0], channels[1], channels[2]};
  bool busy = false;
  for (int n = 1; n <= 3; ++n) busy = busy || ChannelInUse(view, n);

  if (!busy) {
    current.clockChanged = 1;
    clk::setLocalTime(toDateTime(e, now.millisecond));
    UpdateTestClock(current);
    return DateTimeOutcome::ClockSet;
  }

  const std::int64_t shift = clk::toSeconds(toDateTime(e, 0)) - seconds(now);
  const bool running = current.testRunning.load() == 1;
  if (running && std::llabs(shift) > 10) current.procedure.clockJump = 1;
  current.clockShift = shift;
  // The next reading's time is shown in the test clock's time.
  if (running && !current.nextReadingText.empty() && current.nextReadingText != frontend::kNoReadingText)
    current.nextReadingText = TestClockTimeText(current.nextReadingSeconds, shift);
  JDQFile::SetHeaderText(current.testRecords, 51, 1, shift == 0 ? std::string() : std::to_string(shift));
  if (running && !current.testFilePath.empty())
    JDQFile::UpdateOneRecordText(current.testFilePath, 51, current.testRecords, current);
  UpdateTestClock(current);
  return DateTimeOutcome::ShiftStored;
}
