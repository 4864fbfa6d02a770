// The typed date and time: reading, checks and the keypad split; setting the instrument's clock while
// no channel is in use, the shift of a busy channel otherwise.
#include <gtest/gtest.h>

#include "model/datafiles.h"
#include "platform/clock/clock.h"
#include "setup/date_time.h"

namespace clk = platform::clock;

TEST(DateTimeEntry, ChecksTheCalendarAndTheRanges) {
  struct Case {
    std::array<std::string, 6> f;
    bool valid;
  } cases[] = {
      {{"2024", "02", "29", "12", "00", "00"}, true},  {{"2023", "02", "29", "12", "00", "00"}, false},
      {{"2100", "02", "28", "12", "00", "00"}, false}, {{"2068", "12", "31", "23", "59", "59"}, true},
      {{"2069", "01", "01", "00", "00", "00"}, false}, {{"1970", "01", "01", "00", "00", "00"}, true},
      {{"1969", "12", "31", "23", "59", "59"}, false}, {{"2026", "04", "31", "10", "00", "00"}, false},
      {{"2026", "13", "01", "10", "00", "00"}, false}, {{"2026", "12", "00", "10", "00", "00"}, false},
      {{"2026", "12", "10", "24", "00", "00"}, false}, {{"2026", "12", "10", "23", "60", "00"}, false},
      {{"2026", "12", "10", "23", "00", "60"}, false}, {{"2026", "12", "10", "", "00", "00"}, false},
      {{"2026", "12", "10", "9x", "00", "00"}, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsValidDateTimeEntry(ReadDateTimeEntry(c.f)), c.valid) << c.f[0] << "-" << c.f[1] << "-" << c.f[2]
                                                                      << " " << c.f[3] << ":" << c.f[4] << ":" << c.f[5];
}

TEST(DateTimeEntry, KeypadTextsArePaddedAndSplit) {
  using A = std::array<std::string, 3>;
  EXPECT_EQ(SplitTimeText("93"), (A{"93", "00", "00"}));
  EXPECT_EQ(SplitTimeText("0930"), (A{"09", "30", "00"}));
  EXPECT_EQ(SplitTimeText("235959"), (A{"23", "59", "59"}));
  EXPECT_EQ(SplitDateText("2024"), (A{"2024", "00", "00"}));
  EXPECT_EQ(SplitDateText("2024022"), (A{"2024", "02", "20"}));
  EXPECT_EQ(SplitDateText("20241231"), (A{"2024", "12", "31"}));
}

class DateTimeApply : public ::testing::Test {
 protected:
  void SetUp() override {
    clk::configure(clk::Mode::Manual);
    for (int n = 1; n <= 3; ++n) {
      ch[n - 1].channelName = std::to_string(n);
      JDQFile::BuildHeaderRecords(ch[n - 1]);
    }
  }
  void TearDown() override { clk::configure(clk::Mode::Manual); }
  std::array<Parameter*, 3> all() { return {&ch[0], &ch[1], &ch[2]}; }
  Parameter ch[3];
};

TEST_F(DateTimeApply, WithNoChannelInUseTheClockIsSet) {
  ch[1].clockChanged = 0;
  const DateTimeEntry e{2027, 3, 4, 5, 6, 7};
  EXPECT_EQ(ApplyDateTime(all(), ch[1], e), DateTimeOutcome::ClockSet);
  const clk::DateTime now = clk::localTime();
  EXPECT_EQ(clk::toSeconds(now), clk::toSeconds({2027, 3, 4, 5, 6, 7, 0, 0}));
  EXPECT_EQ(ch[1].clockChanged, 1);
  EXPECT_EQ(ch[1].clockShift, 0);
  // An invalid entry changes nothing.
  EXPECT_EQ(ApplyDateTime(all(), ch[1], DateTimeEntry{2023, 2, 29, 0, 0, 0}), DateTimeOutcome::Invalid);
  EXPECT_EQ(clk::toSeconds(clk::localTime()), clk::toSeconds(now));
}

TEST_F(DateTimeApply, ABusyChannelTakesAShiftAndTheClockStays) {
  const clk::DateTime start = clk::localTime();  // 2026-01-01 08:00:00
  struct Case {
    int seconds;  // ahead of the clock
    bool jump;
  } cases[] = {{5, false}, {-10, false}, {11, true}, {-11, true}, {0, false}};
  ch[0].selectedChannelText = "3";  // a channel is picked: the instrument's clock is left alone
  for (const Case& c : cases) {
    ch[1].procedure.clockJump = 0;
    ch[1].testRunning = 1;  // no file: the record stays in memory
    const clk::DateTime t = clk::fromSeconds(clk::toSeconds(start) + c.seconds);
    ASSERT_EQ(ApplyDateTime(all(), ch[1], {t.year, t.month, t.day, t.hour, t.minute, t.second}),
              DateTimeOutcome::ShiftStored);
    EXPECT_EQ(ch[1].clockShift, c.seconds);
    EXPECT_EQ(ch[1].procedure.clockJump, c.jump ? 1 : 0) << c.seconds;
    EXPECT_EQ(JDQFile::HeaderText(ch[1].testRecords, 51, 1), c.seconds == 0 ? "" : std::to_string(c.seconds));
    EXPECT_EQ(clk::toSeconds(clk::localTime()), clk::toSeconds(start));
  }
  // Not running: the shift without the flag.
  ch[1].testRunning = 0;
  ASSERT_EQ(ApplyDateTime(all(), ch[1], {2026, 1, 2, 8, 0, 0}), DateTimeOutcome::ShiftStored);
  EXPECT_EQ(ch[1].clockShift, 86400);
  EXPECT_EQ(ch[1].procedure.clockJump, 0);
  EXPECT_EQ(UpdateTestClock(ch[1]), (clk::DateTime{2026, 1, 2, 8, 0, 0, 0, clk::fromSeconds(clk::toSeconds({2026, 1, 2, 8, 0, 0, 0, 0})).dayOfWeek}));
}
