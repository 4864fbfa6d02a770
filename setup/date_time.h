// The date and time without windows: the test clock of a channel (the instrument's local time plus the
// channel's shift), the date and time the operator types with its checks, and setting it: the
// instrument's clock while no channel is in use, else the shift of the current channel, so that a
// running test's times follow the entered time while the instrument's clock stays as it is.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/parameter.h"
#include "platform/clock/clock.h"

// Reads the instrument's local time into the channel's local time and gives the channel's test clock
// (local time plus shift, milliseconds 0), which is kept in the channel as well.
platform::clock::DateTime UpdateTestClock(Parameter& p);

// A typed date and time; a field whose text is no number is -1.
struct DateTimeEntry {
  int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;
};
// Reads the six texts as decimal numbers (leading digits, as "%d" reads them).
DateTimeEntry ReadDateTimeEntry(const std::array<std::string, 6>& yearMonthDayHourMinuteSecond);
// Year 1970-2068, a real day of its month (February 29 in years divisible by 4), hour 0-23, minute and
// second 0-59.
bool IsValidDateTimeEntry(const DateTimeEntry& e);

// A keypad answer for the three time edits (hour, minute, second) or date edits (year, month, day): the
// text padded on the right with "0" to 6 (time) or 8 (date) characters and cut into 2-2-2 or 4-2-2.
std::array<std::string, 3> SplitTimeText(const std::string& text);
std::array<std::string, 3> SplitDateText(const std::string& text);

enum class DateTimeOutcome {
  Invalid,       // nothing changed
  ClockSet,      // no channel in use: the instrument's clock was set
  ShiftStored,   // a channel in use: the current channel's shift was stored (and its running file's record 51)
};
inline constexpr const char* kDateTimeRefused = "日期或时间输入有误！";

// Sets the entered date and time. `channels` are channels 1-3, `current` the dialog's channel. While no
// channel is in use (ChannelInUse) the instrument's local time becomes the entry (milliseconds kept) and
// the current channel's clock-changed flag is set. Otherwise the current channel's shift becomes the
// entry minus the local time in seconds, header record 51 shows it, and a running test gets the record
// in its file and, for a change of more than 10 seconds of the full date and time, its clock-jump flag.
DateTimeOutcome ApplyDateTime(const std::array<Parameter*, 3>& channels, Parameter& current, const DateTimeEntry& e);
