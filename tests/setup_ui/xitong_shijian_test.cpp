// The date and time dialog by taps, opened from the main window's clock: keypad entries padded and
// split, valid and invalid dates, the instrument's time set and kept by the main loop while no channel
// is in use, and a running test's shift with its clock-jump flag, its record 51 in the test file and the
// main window's test clock that follows it.
#include "app/keypads.h"
#include "app/main_loop.h"
#include "setup_ui/xitong_shijian.h"
#include "platform/text/text.h"
#include "setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;
using T = XiTongshijian;
using platform::text::format;

namespace {

class DateTimeDialog : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    fsys::create_directories(root_ / "nandflash");
    fsys::create_directories(root_ / "Storage Card" / "Backup");
  }
  T& open() {
    main_->sendMessage(ui::WM_COMMAND, ui::MAKEWPARAM(1032, ui::STN_CLICKED), 0);
    drv::pump();
    T* d = dialog<T>(MonitorSlot::XiTongshijian);
    EXPECT_TRUE(d->isWindowVisible());
    return *d;
  }
  std::array<std::string, 6> shown(T& d) {
    return {drv::text(d, T::kYear), drv::text(d, T::kMonth),  drv::text(d, T::kDay),
            drv::text(d, T::kHour), drv::text(d, T::kMinute), drv::text(d, T::kSecond)};
  }
  void type(T& d, int edit, const std::string& digits) {
    ASSERT_TRUE(drv::tap(d, edit));
    typeOnKeypad(digits);
    ASSERT_TRUE(d.isWindowVisible());
  }
  // Types the date and time into the dialog.
  void enter(T& d, const clk::DateTime& t) {
    type(d, T::kYear, format("%04d%02d%02d", t.year, t.month, t.day));
    type(d, T::kHour, format("%02d%02d%02d", t.hour, t.minute, t.second));
  }
  std::int64_t now() { return clk::localSeconds(); }
  void saveShot(ui::Window& w, const std::string& name) {
    if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
      ASSERT_TRUE(drv::screenshot(fsys::path(INSTRUMENT_SOURCE_DIR) / "docs" / name, &w));
    }
  }
};

using A6 = std::array<std::string, 6>;

}  // namespace

TEST_F(DateTimeDialog, KeypadEntriesAreSplitCheckedAndTheClockIsSetAndKept) {
  CMonitorDlg& w = startMain(1);
  drv::run(900);
  T& d = open();
  const clk::DateTime t0 = clk::localTime();
  EXPECT_EQ(shown(d), (A6{format("%04d", t0.year), format("%02d", t0.month), format("%02d", t0.day),
                          format("%02d", t0.hour), format("%02d", t0.minute), format("%02d", t0.second)}));

  // The time through the keypad: the request, then "93" padded to 93:00:00, which OK refuses.
  ASSERT_TRUE(drv::tap(d, T::kMinute));
  const KeypadRequest& r = w.channel(1).keypad;
  EXPECT_EQ(r.caption, "系统时间");
  EXPECT_EQ(r.text, format("%02d%02d%02d", t0.hour, t0.minute, t0.second));
  EXPECT_EQ(r.maxLength, 6);
  EXPECT_EQ(r.mode, kKeypadInteger);
  EXPECT_EQ(r.requester, 7);
  EXPECT_FALSE(d.isWindowVisible());
  typeOnKeypad("93");
  EXPECT_TRUE(d.isWindowVisible());
  EXPECT_EQ(drv::text(d, T::kHour), "93");
  EXPECT_EQ(drv::text(d, T::kMinute), "00");
  EXPECT_EQ(drv::text(d, T::kSecond), "00");
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(w.channel(n).keypad.requester, 0);
  const std::int64_t before = now();
  ASSERT_TRUE(drv::tap(d, T::kOk));
  EXPECT_TRUE(d.isWindowVisible()) << "an invalid time keeps the dialog";
  EXPECT_EQ(drv::text(d, T::kStatus), "日期或时间输入有误！");
  EXPECT_EQ(drv::textColor(d, T::kStatus), RGB(255, 0, 0));
  EXPECT_EQ(now(), before);
  saveShot(d, "date-time-refused.png");

  type(d, T::kHour, "0930");
  EXPECT_EQ(drv::text(d, T::kStatus), "") << "a new entry clears the refusal";
  EXPECT_EQ(drv::text(d, T::kHour), "09");
  EXPECT_EQ(drv::text(d, T::kMinute), "30");
  EXPECT_EQ(drv::text(d, T::kSecond), "00");
  // The date: 2023-02-29 is refused, 2024-02-29 taken.
  ASSERT_TRUE(drv::tap(d, T::kDay));
  EXPECT_EQ(w.channel(1).keypad.caption, "系统日期");
  EXPECT_EQ(w.channel(1).keypad.maxLength, 8);
  typeOnKeypad("2023022");
  EXPECT_EQ(shown(d), (A6{"2023", "02", "20", "09", "30", "00"}));
  type(d, T::kYear, "20230229");
  ASSERT_TRUE(drv::tap(d, T::kOk));
  EXPECT_TRUE(d.isWindowVisible());
  EXPECT_EQ(now(), before);
  type(d, T::kYear, "20240229");
  saveShot(d, "date-time.png");
  ASSERT_TRUE(drv::tap(d, T::kOk));
  EXPECT_FALSE(d.isWindowVisible());
  const std::int64_t set = clk::toSeconds({2024, 2, 29, 9, 30, 0, 0, 0});
  EXPECT_EQ(now(), set);
  EXPECT_EQ(w.channel(1).clockChanged, 1);
  EXPECT_EQ(w.channel(1).clockShift, 0);

  // The main loop keeps the new time (its clock guard does not set it back).
  drv::run(120000, 100);
  EXPECT_NEAR(static_cast<double>(now() - set), 120.0, 1.0);
  // Shown again, the dialog has the new date.
  T& again = open();
  EXPECT_EQ(drv::text(again, T::kYear), "2024");
  EXPECT_EQ(drv::text(again, T::kMonth), "02");
  EXPECT_EQ(drv::text(again, T::kDay), "29");
  EXPECT_EQ(drv::text(again, T::kStatus), "");
  ASSERT_TRUE(drv::tap(again, T::kCancel));
  EXPECT_FALSE(again.isWindowVisible());
}

TEST_F(DateTimeDialog, ARunningTestTakesTheEntryAsAShiftOfItsClock) {
  CMonitorDlg& w = startMain(1, 1);
  Parameter& p = w.channel(1);
  ASSERT_EQ(p.testRunning, 1);
  p.selectedChannelText = "1";  // the main window shows channel 1
  drv::run(900);
  struct Case {
    const char* what;
    clk::DateTime local;  // the instrument's time when the entry is made
    int ahead;            // seconds the entry is ahead of it
    bool jump;
  } cases[] = {
      {"5 s ahead", {2026, 5, 6, 10, 0, 0, 0, 0}, 5, false},
      {"11 s ahead", {2026, 5, 6, 10, 0, 0, 0, 0}, 11, true},
      {"11 s behind", {2026, 5, 6, 10, 0, 0, 0, 0}, -11, true},
      {"7 s ahead across midnight", {2026, 5, 6, 23, 59, 58, 0, 0}, 7, false},
      {"a day ahead at the same time of day", {2026, 5, 6, 12, 0, 0, 0, 0}, 86400, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(clk::setLocalTime(c.local));
    ClockGuard::NotifyClockSet();
    p.procedure.clockJump = 0;
    T& d = open();
    const std::int64_t local = now();
    enter(d, clk::fromSeconds(local + c.ahead));
    ASSERT_TRUE(drv::tap(d, T::kOk));
    EXPECT_FALSE(d.isWindowVisible());
    EXPECT_EQ(now(), local) << "the instrument's clock stays";
    EXPECT_EQ(p.clockShift, c.ahead);
    EXPECT_EQ(p.procedure.clockJump, c.jump ? 1 : 0);
    // Record 51 of the running file holds the shift.
    std::vector<TestRecord> file;
    ASSERT_EQ(JDQFile::LoadTestFile(p.testFilePath, file), 1);
    EXPECT_EQ(JDQFile::HeaderText(file, 51, 1), std::to_string(c.ahead));
    // The main window's clock follows the shift while the loop runs on.
    drv::run(2000, 100);
    const clk::DateTime test = p.testClock;  // as the last tick of the main loop left it
    EXPECT_LE(std::llabs(now() + c.ahead - clk::toSeconds(test)), 1);
    EXPECT_EQ(drv::text(w, 1032), format("%02d : %02d : %02d", test.hour, test.minute, test.second));
    EXPECT_EQ(drv::text(w, 1041), format("%04d-%02d-%02d", test.year, test.month, test.day));
    EXPECT_EQ(p.clockShift, c.ahead);
    // Shown again, the dialog shows the test clock.
    T& again = open();
    EXPECT_EQ(drv::text(again, T::kHour), format("%02d", test.hour));
    ASSERT_TRUE(drv::tap(again, T::kCancel));
  }
}

TEST_F(DateTimeDialog, TheNextReadingIsShownInTheTimeOfTheTestClock) {
  CMonitorDlg& w = startMain(1, 1);  // the stored test's next reading at 09:00:00
  Parameter& p = w.channel(1);
  p.selectedChannelText = "1";
  ASSERT_TRUE(clk::setLocalTime({2026, 5, 6, 8, 50, 0, 0, 0}));
  ClockGuard::NotifyClockSet();
  drv::run(900);
  ASSERT_EQ(p.nextReadingText, "09 : 00 : 00");
  // The test clock is set half an hour on: the next reading comes at 09:30:00 of that clock.
  T& d = open();
  enter(d, clk::fromSeconds(now() + 1800));
  ASSERT_TRUE(drv::tap(d, T::kOk));
  ASSERT_EQ(p.clockShift, 1800);
  EXPECT_EQ(p.nextReadingText, "09 : 30 : 00");
  // The time keypad shows it beside the test clock's time.
  T& again = open();
  ASSERT_TRUE(drv::tap(again, T::kHour));
  const std::string label = drv::text(*dialog(MonitorSlot::Key), KeypadDialog::kLabel);
  EXPECT_NE(label.find("系统时间: 09:20:"), std::string::npos) << label;
  EXPECT_NE(label.find("下次采集时间: 09:30:00"), std::string::npos) << label;
  // Taken up after a restart, the test shows it so again.
  main_->destroyWindow();
  main_.reset();
  CMonitorDlg& restarted = startMain(1);
  EXPECT_EQ(restarted.channel(1).clockShift, 1800);
  EXPECT_EQ(restarted.channel(1).nextReadingText, "09 : 30 : 00");
}

TEST_F(DateTimeDialog, AChosenControllerAloneKeepsTheClockAndStoresAShift) {
  CMonitorDlg& w = startMain(1);
  w.channel(1).selectedChannelText = "2";  // a front-end was picked, nothing runs
  w.channel(2).clockShift = 0;
  drv::run(900);
  T& d = open();  // the dialog works on the shown channel 2
  const std::int64_t local = now();
  enter(d, clk::fromSeconds(local + 3600));
  ASSERT_TRUE(drv::tap(d, T::kOk));
  EXPECT_FALSE(d.isWindowVisible());
  EXPECT_EQ(now(), local);
  EXPECT_EQ(w.channel(2).clockShift, 3600);
  EXPECT_EQ(w.channel(2).procedure.clockJump, 0);
  EXPECT_EQ(JDQFile::HeaderText(w.channel(2).testRecords, 51, 1), "3600");
  EXPECT_EQ(w.channel(1).clockShift, 0);
}
