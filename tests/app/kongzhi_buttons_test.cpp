// The buttons of a running test: pause and resume, the manual reading, the level buttons, the forced
// pump stop, the pre-load end, the displacement memory, and the refresh of the dialog on activation.
#include <cstring>

#include "kongzhi_fixture.h"
#include "platform/text/text.h"
#include "upload/queue_record.h"

using namespace apptest;
namespace tc = testcontrol;

namespace {

class KongZhiButtonsTest : public KongZhiTest {
 protected:
  // A running test, the dialog shown on it.
  void startTest(int standard = 1) {
    // A fresh card for each test started.
    fsys::remove_all(root_ / "Storage Card");
    fsys::create_directories(root_ / "Storage Card" / "Backup");
    ch[0].testRunning = 0;
    setUpTest(ch[0], "T001", "P1", standard);
    show();
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kStartEnd));
    ASSERT_EQ(ch[0].testRunning.load(), 1);
    dlg->killTimer(ShiZhuangKongZhi::kHideTimer);  // the dialog stays for the next taps
    dlg->showWindow(ui::SW_SHOW);
    drv::pump();
  }
  void setPhase(int phase) { ch[0].loadingPhase = phase; }
  // Re-activates the dialog (hide and show): the captions follow the channel.
  void reactivate() {
    dlg->showWindow(ui::SW_HIDE);
    dlg->showWindow(ui::SW_SHOW);
    drv::pump();
  }
  // Whether record k of the file holds a reading.
  bool hasReading(int k) {
    std::vector<TestRecord> r;
    EXPECT_EQ(JDQFile::LoadTestFile(ch[0].testFilePath, r), 1);
    return static_cast<std::size_t>(k) < r.size() && std::memcmp(r[static_cast<std::size_t>(k)].marker, "11111", 5) != 0 &&
           r[static_cast<std::size_t>(k)].marker[0] != 0;
  }
  TestRecord fileRecord(int k) {
    std::vector<TestRecord> r;
    EXPECT_EQ(JDQFile::LoadTestFile(ch[0].testFilePath, r), 1);
    return static_cast<std::size_t>(k) < r.size() ? r[static_cast<std::size_t>(k)] : TestRecord{};
  }
};

}  // namespace

TEST_F(KongZhiButtonsTest, PauseAndResumeGoThroughTheProcedure) {
  startTest();
  setPhase(5);
  dlg->item<ui::Window>(1271)->enableWindow(false);
  dlg->item<ui::Window>(1272)->enableWindow(true);
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
  EXPECT_EQ(ch[0].paused.load(), 1);
  EXPECT_EQ(drv::text(*dlg, 1279), "恢复试验");
  EXPECT_EQ(drv::text(*dlg, 1275), "位移记忆");
  EXPECT_EQ(drv::text(*dlg, 1010), "试验暂停");
  for (int id : {1276, 1277, 1274, 1271, 1272}) EXPECT_FALSE(drv::enabled(*dlg, id)) << id;
  EXPECT_TRUE(drv::enabled(*dlg, 1275));
  // The pause is saved: a restart finds the test paused.
  Parameter loaded;
  loaded.boardFlag = 1;
  std::string path;
  ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", loaded), 1);
  EXPECT_EQ(loaded.ParameterList.item(66), 1.0f);

  // An alarm's pause requests, persistence and stop state are cleared by the resume, and the pump
  // stop it forced is released.
  ch[0].link.pauseRequest[1] = 1;
  ch[0].link.persistence[1] = 3;
  ch[0].link.stopState = 2;
  ch[0].pumpForcedStop = 64;
  ch[0].procedure.pumpStopKind = 1;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
  EXPECT_EQ(ch[0].paused.load(), 0);
  EXPECT_EQ(ch[0].link.pauseRequest[1], 0);
  EXPECT_EQ(ch[0].link.persistence[1], 0);
  EXPECT_EQ(ch[0].link.stopState.load(), 0);
  EXPECT_EQ(ch[0].pumpForcedStop.load(), 0);
  EXPECT_EQ(ch[0].procedure.scheduleBreak, 1);  // the next reading is marked late
  EXPECT_EQ(drv::text(*dlg, 1279), "暂停试验");
  EXPECT_EQ(drv::text(*dlg, 1275), "手动记录");
  EXPECT_EQ(drv::text(*dlg, 1010), "试验进行中......");
  for (int id : {1274, 1275}) EXPECT_TRUE(drv::enabled(*dlg, id)) << id;
  for (int id : {1276, 1277}) EXPECT_FALSE(drv::enabled(*dlg, id)) << id;
  // Phase 5 leaves the level buttons as they were (both off after the pause).
  EXPECT_FALSE(drv::enabled(*dlg, 1271));
  EXPECT_FALSE(drv::enabled(*dlg, 1272));

  struct Case {
    int phase;
    float load;
    bool loadNext, unloadNext;
  } cases[] = {{2, 100.0f, true, false}, {7, 200.0f, false, true}, {7, 0.0f, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
    setPhase(c.phase);
    ch[0].controlLoad = c.load;
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
    EXPECT_EQ(drv::enabled(*dlg, 1271), c.loadNext);
    EXPECT_EQ(drv::enabled(*dlg, 1272), c.unloadNext);
  }
}

TEST_F(KongZhiButtonsTest, AManualReadingFillsTheCurrentRecordAndQueuesItsUpload) {
  struct Case {
    float route;
    std::size_t module, box;
  } cases[] = {{0, 1, 0}, {3, 1, 1}, {1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    setRoute(c.route);
    ch[0].testRunning = 0;
    startTest();
    Parameter& p = ch[0];
    p.readingCount = 80;
    p.localTime = {2026, 12, 10, 9, 7, 30, 0};
    p.link.measuredLoad = 412.5f;
    p.link.measuredPressure = 8.25f;
    for (std::size_t g = 0; g < 8; ++g) p.link.displacement[g] = 1.5f + static_cast<float>(g);
    p.procedure.zeroingMarks = {1, 0, 1, 0};
    p.procedure.alarmMarks = {0, 1};
    p.externalSerialNumber = "EX9";
    p.nextReadingText = "09 : 10 : 00";
    const int countBefore = p.readingCount2;

    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kManual));
    EXPECT_FALSE(drv::enabled(*dlg, 1275));  // no second reading within the beep
    EXPECT_TRUE(platform::device::board().buzzerOn);
    const TestRecord r = fileRecord(80);
    EXPECT_EQ(std::string(r.marker, 5), "09:07");
    EXPECT_EQ(std::string(r.stepMark, 5), "09:07");
    EXPECT_EQ(r.valuesA[0], 412.5f);
    EXPECT_EQ(r.valuesA[1], 8.25f);
    EXPECT_EQ(r.valuesA[9], 8.5f);
    EXPECT_EQ(r.valuesB[2], 1.5f);
    EXPECT_EQ(static_cast<byte>(r.tail2[1]), 1 + 4 + 64);  // zeroing marks and the procedure change
    EXPECT_EQ(static_cast<byte>(r.tail2[2]), static_cast<int>(c.route));
    EXPECT_EQ(static_cast<byte>(r.tail2[3]), 4);
    EXPECT_EQ(p.readingCount, 80);  // the schedule's record index stays
    EXPECT_EQ(p.readingCount2, countBefore);
    EXPECT_EQ(p.procedure.lastRecorded[9], 8.5f);
    EXPECT_EQ(p.moduleQueue.size(), c.module);
    EXPECT_EQ(p.boxQueue.size(), c.box);
    if (c.module == 1) {
      EXPECT_EQ(std::memcmp(p.moduleQueue.back().bytes.data(), "GPRS", 4), 0);
      EXPECT_GE(p.moduleQueue.back().slot, 0);  // also in the queue file
    }
    if (c.route != 1) {
      EXPECT_EQ(p.boxFlag.load(), c.box == 1 ? 1 : 0);
    }
    drv::run(1010, 10);
    EXPECT_FALSE(platform::device::board().buzzerOn);
    EXPECT_TRUE(drv::enabled(*dlg, 1275));
    // A second reading at once carries 64 again.
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kManual));
    EXPECT_EQ(static_cast<byte>(fileRecord(80).tail2[1]), 64);
    drv::run(1010, 10);
    ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kStartEnd, {true}));
  }
}

TEST_F(KongZhiButtonsTest, WithThePumpStoppedAndNoReadingScheduledTheLevelMovesOn) {
  struct Case {
    int phase;
    int after;
    bool recorded;
  } cases[] = {{1, 2, false}, {5, 6, false}, {2, 2, true}};
  startTest();
  Parameter& p = ch[0];
  p.readingCount = 80;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    platform::device::resetBoard();
    setPhase(c.phase);
    p.pumpForcedStop = 64;
    p.nextReadingText = frontend::kNoReadingText;
    p.procedure.readingClock = 0;
    p.procedure.useTarget = 0;
    p.procedure.sampleCounter = 0;
    dlg->item<ui::Window>(1275)->enableWindow(true);
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kManual));
    EXPECT_EQ(p.loadingPhase.load(), c.after);
    EXPECT_EQ(platform::device::board().buzzerOn, c.recorded);
    EXPECT_EQ(hasReading(80), c.recorded);
    if (!c.recorded) {
      EXPECT_EQ(p.procedure.readingClock, 1);
      EXPECT_EQ(p.procedure.useTarget, 1);
      EXPECT_EQ(p.procedureChanged.load(), 1);
      EXPECT_EQ(p.procedure.sampleCounter, c.phase == 1 ? 60 : 0);
      drv::run(1010, 10);
      EXPECT_FALSE(drv::enabled(*dlg, 1275));  // until the next refresh
    }
  }
}

TEST_F(KongZhiButtonsTest, RedoLevelRestartsTheLevelOrTheUnloadingStep) {
  struct Case {
    int phase, level;
    int phaseAfter, levelAfter;
  } cases[] = {{3, 4, 1, 3}, {0, 0, 1, 0}, {7, 4, 5, 4}, {5, 2, 5, 2}};
  startTest();
  Parameter& p = ch[0];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    setPhase(c.phase);
    p.link.levelNumber = c.level;
    p.procedure.levelReadings = 4;
    p.procedure.useTarget = p.procedure.readingClock = 1;
    p.procedure.sampleCounter = 17;
    p.exportRecords.resize(3);
    ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kRedo, {false}));
    EXPECT_EQ(p.loadingPhase.load(), c.phase);  // no changes nothing
    ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kRedo, {true}));
    EXPECT_EQ(asked(), std::vector<std::string>{"确定本级重做？"});
    EXPECT_EQ(p.loadingPhase.load(), c.phaseAfter);
    EXPECT_EQ(p.link.levelNumber.load(), c.levelAfter);
    EXPECT_EQ(p.procedure.levelStart, 1);
    EXPECT_EQ(p.procedure.useTarget, 0);
    EXPECT_EQ(p.procedure.sampleCounter, 0);
    EXPECT_TRUE(p.exportRecords.empty());
    EXPECT_EQ(p.procedure.levelReadings, c.phaseAfter == 1 ? 0 : 4);
  }
  // Paused: the button does nothing, even when called directly.
  p.paused = 1;
  setPhase(3);
  dlg->OnBnClickedRedoLevel();
  EXPECT_EQ(p.loadingPhase.load(), 3);
}

TEST_F(KongZhiButtonsTest, LoadNextEndsTheLevelAlsoWhenItWaitsAfterStable) {
  startTest();
  Parameter& p = ch[0];
  setPhase(2);
  ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kLoadNext, {true}));
  EXPECT_EQ(asked(), std::vector<std::string>{"确定加载下一级？"});
  EXPECT_EQ(p.loadingPhase.load(), 4);
  EXPECT_EQ(p.procedure.levelEndCounter, 28);
  EXPECT_EQ(p.procedure.advanceRequested, 1);  // goes on even with the automatic advance off
  EXPECT_EQ(p.procedureChanged.load(), 1);

  // A stable level that waits for the operator in phase 0.
  setPhase(0);
  p.procedure.waitingAfterStable = 1;
  p.procedure.advanceRequested = 0;
  reactivate();
  EXPECT_TRUE(drv::enabled(*dlg, 1271));
  EXPECT_FALSE(drv::enabled(*dlg, 1272));
  ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kLoadNext, {true}));
  EXPECT_EQ(p.loadingPhase.load(), 4);
  EXPECT_EQ(p.procedure.waitingAfterStable, 0);
  EXPECT_EQ(p.procedure.advanceRequested, 1);

  // Phase 0 without waiting (a question open) and above 4: nothing.
  for (int phase : {0, 5, 6}) {
    setPhase(phase);
    p.procedure.levelEndCounter = 3;
    dlg->OnBnClickedLoadNext();
    EXPECT_EQ(p.loadingPhase.load(), phase);
    EXPECT_EQ(p.procedure.levelEndCounter, 3);
  }
}

TEST_F(KongZhiButtonsTest, UnloadNextLowersTheControlLoad) {
  struct Case {
    int standard;
    float load;
    int counter;
    float loadAfter;
    int counterAfter;
  } cases[] = {
      {1, 300.0f, 0, 100.0f, 0},
      {1, 150.0f, 0, 0.0f, 0},
      {149, 500.0f, 7, 500.0f, 7},
      {149, 500.0f, 5, 60.0f, 6},
      {0, 500.0f, 8, 500.0f, 8},
      {72, 500.0f, 19, 500.0f, 19},
  };
  startTest();
  Parameter& p = ch[0];
  p.stepLoad2 = 100.0f;
  p.levelMinutes[14] = 2;
  for (int k = 0; k < 20; ++k) p.levelLoads[static_cast<std::size_t>(k)] = 10.0f * static_cast<float>(k);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.standard) + " " + std::to_string(c.load));
    p.standardCode = c.standard;
    p.controlLoad = c.load;
    p.procedure.levelCounter = c.counter;
    p.procedure.stopRelease = 1;
    setPhase(7);
    reactivate();
    ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kUnloadNext, {true}));
    EXPECT_EQ(asked(), std::vector<std::string>{"确定卸载下一级？"});
    EXPECT_EQ(p.loadingPhase.load(), 5);
    EXPECT_EQ(p.controlLoad.load(), c.loadAfter);
    EXPECT_EQ(p.procedure.levelCounter, c.counterAfter);
    EXPECT_EQ(p.procedure.stopRelease, 0);
  }
  // Zero load or a phase of loading: nothing.
  p.controlLoad = 0.0f;
  setPhase(7);
  dlg->OnBnClickedUnloadNext();
  EXPECT_EQ(p.loadingPhase.load(), 7);
}

TEST_F(KongZhiButtonsTest, PumpStopIsForcedAndReleasedAndTheCaptionFollows) {
  startTest();
  Parameter& p = ch[0];
  p.pumpCommand = 200;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPumpStop));
  EXPECT_EQ(p.pumpForcedStop.load(), 64);
  drv::run(1000, 10);
  EXPECT_EQ(drv::text(*dlg, 1273), "油泵强停");
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPumpStop));
  EXPECT_EQ(p.pumpForcedStop.load(), 0);
  EXPECT_EQ(p.pumpCommand.load(), 0);
  drv::run(1000, 10);
  EXPECT_EQ(drv::text(*dlg, 1273), "油泵停止");
  p.pumpCommand = 90;
  drv::run(1000, 10);
  EXPECT_EQ(drv::text(*dlg, 1273), "油泵工作");
  // A stop the controller reported itself is not released by the button.
  p.pumpForcedStop = 64;
  p.procedure.pumpStopKind = 2;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPumpStop));
  EXPECT_EQ(p.pumpForcedStop.load(), 64);
}

TEST_F(KongZhiButtonsTest, APreloadRunsUntilItIsEndedHere) {
  setUpTest(ch[0]);
  show();
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPreload));  // no pre-load yet: its dialog opens
  EXPECT_TRUE(dialog(MonitorSlot::ShiZhuangYuYa)->isWindowVisible());
  dialog(MonitorSlot::ShiZhuangYuYa)->showWindow(ui::SW_HIDE);
  // What the pre-load dialog leaves behind when it starts the pre-load.
  ch[0].preloadValue = 50.0f;
  ch[0].preloadRunning = 1;
  ch[0].pumpCommand = 180;
  reactivate();
  EXPECT_EQ(drv::text(*dlg, 1010), "预压中......");
  EXPECT_EQ(drv::text(*dlg, 1277), "结束预压");
  EXPECT_FALSE(drv::enabled(*dlg, 1278));
  for (int id : {1279, 1276, 1275, 1274, 1271, 1272}) EXPECT_FALSE(drv::enabled(*dlg, id)) << id;
  dlg->OnBnClickedStartTest();  // even called directly: nothing while pre-loading
  EXPECT_EQ(ch[0].testRunning.load(), 0);

  ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kPreload, {false}));
  EXPECT_EQ(ch[0].preloadRunning.load(), 1);
  ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kPreload, {true}));
  EXPECT_EQ(asked(), std::vector<std::string>{"确定结束预压？"});
  EXPECT_EQ(ch[0].preloadRunning.load(), 0);
  EXPECT_EQ(ch[0].pumpCommand.load(), 0);
  EXPECT_EQ(drv::text(*dlg, 1010), "试验未开始");
  EXPECT_EQ(drv::text(*dlg, 1277), "开始预压");
  for (int id : {1278, 1276, 1277}) EXPECT_TRUE(drv::enabled(*dlg, id)) << id;
  // Now the test starts.
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kStartEnd));
  EXPECT_EQ(ch[0].testRunning.load(), 1);
}

TEST_F(KongZhiButtonsTest, DisplacementMemoryCarriesEveryGaugeOverTheResetAndStoresItInTheFile) {
  for (int standard : {1, 58}) {
    SCOPED_TRACE(standard);
    ch[0].testRunning = 0;
    startTest(standard);
    Parameter& p = ch[0];
    for (std::size_t k = 1; k <= 8; ++k) p.sensorTableC[k] = k % 2 == 0 ? -1 : 1;
    std::array<float, 8> before{};
    for (std::size_t g = 0; g < 8; ++g) {
      before[g] = 2.0f + static_cast<float>(g);
      p.link.displacement[g] = before[g];
    }
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
    ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kManual, {true}));
    EXPECT_EQ(asked(), std::vector<std::string>{"确认进行位移记忆？\r\n该操作将记忆所有位移"});
    EXPECT_EQ(drv::text(*dlg, 1275), "记忆中..");
    EXPECT_EQ(message(), "调表完成后按“记忆中..”键完成操作！");
    EXPECT_TRUE(dlg->messageIsError());
    EXPECT_EQ(dlg->rememberedDisplacements(), before);

    // The gauges are re-set: their readings start near zero. Displacement shows what the
    // correction makes of a reading with the tables as they stand.
    for (std::size_t g = 0; g < 8; ++g) p.link.displacement[g] = 0.1f * static_cast<float>(g);
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kManual));
    EXPECT_EQ(drv::text(*dlg, 1275), "位移记忆");
    EXPECT_EQ(message(), "调表完成！");
    EXPECT_FALSE(dlg->messageIsError());
    EXPECT_EQ(p.uploadEventMark.load(), 1);
    for (std::size_t k = 1; k <= 8; ++k) {
      const float reading = 0.1f * static_cast<float>(k - 1) * static_cast<float>(p.sensorTableC[k].load());
      const float shown = (reading - p.sensorTableA[k].load() + p.sensorTableB[k].load()) *
                          static_cast<float>(p.sensorTableC[k].load());
      EXPECT_NEAR(shown, before[k - 1], 1e-4) << k;
    }
    // All nine points in the header records and in the file.
    std::vector<TestRecord> file;
    ASSERT_EQ(JDQFile::LoadTestFile(p.testFilePath, file), 1);
    auto two = [&](float v) {
      return standard == 58 ? platform::text::format("%.3f", static_cast<double>(v))
                            : platform::text::format("%.2f", static_cast<double>(v));
    };
    for (int j = 0; j <= 8; ++j) {
      const std::size_t k = static_cast<std::size_t>(j);
      EXPECT_EQ(JDQFile::HeaderText(file, 33 + j, 2),
                two(p.sensorTableA[k].load()))
          << j;
      EXPECT_EQ(JDQFile::HeaderText(file, 46 + j, 2),
                two(p.sensorTableB[k].load()))
          << j;
      EXPECT_EQ(JDQFile::HeaderText(file, 59 + j, 2),
                two(static_cast<float>(p.sensorTableC[k].load())))
          << j;
    }
    EXPECT_EQ(JDQFile::HeaderText(file, 67, 2), standard == 58 ? "-1.000" : "-1.00");
    ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kStartEnd, {true}));
  }
}

TEST_F(KongZhiButtonsTest, ANoToTheMemoryOnlyRewritesTheHeaders) {
  startTest();
  Parameter& p = ch[0];
  p.link.displacement[0] = 5.0f;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
  ASSERT_TRUE(tapAnswering(ShiZhuangKongZhi::kManual, {false}));
  EXPECT_EQ(drv::text(*dlg, 1275), "记忆中..");
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kManual));
  EXPECT_EQ(p.sensorTableA[1].load(), 0.0f);
  EXPECT_EQ(p.sensorTableB[1].load(), 0.0f);
  EXPECT_EQ(p.uploadEventMark.load(), 0);
  EXPECT_EQ(drv::text(*dlg, 1275), "位移记忆");
}

TEST_F(KongZhiButtonsTest, ActivationShowsTheChannelsStateAndTexts) {
  setUpTest(ch[0], "T001", "");
  show();
  EXPECT_EQ(drv::text(*dlg, 1310), "1# 编号：000001 流水号 T001");
  EXPECT_EQ(ch[0].signalRequest.load(), 1);
  EXPECT_EQ(drv::text(*dlg, 1010), "试验未开始");
  EXPECT_EQ(drv::text(*dlg, 1011), "718C-SHBWA3.3.8");
  EXPECT_EQ(drv::text(*dlg, 1012), "FF11000");
  JDQFile::SetHeaderText(ch[0].testRecords, 7, 3, "");
  JDQFile::SetHeaderText(ch[0].testRecords, 8, 1, "桩A");
  reactivate();
  EXPECT_EQ(drv::text(*dlg, 1310), "1# 编号：000001 桩号 桩A");

  // Paused: "恢复试验" and "位移记忆" whatever the buttons showed before.
  setUpTest(ch[0]);
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kStartEnd));
  dlg->showWindow(ui::SW_SHOW);
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
  dlg->setDlgItemText(1279, "暂停试验");
  dlg->setDlgItemText(1275, "手动记录");
  reactivate();
  EXPECT_EQ(drv::text(*dlg, 1279), "恢复试验");
  EXPECT_EQ(drv::text(*dlg, 1275), "位移记忆");
  EXPECT_EQ(drv::text(*dlg, 1010), "试验暂停");

  // A click activation refreshes nothing.
  dlg->setDlgItemText(1279, "x");
  dlg->sendMessage(ui::WM_ACTIVATE, ui::WA_CLICKACTIVE);
  EXPECT_EQ(drv::text(*dlg, 1279), "x");
  dlg->sendMessage(ui::WM_ACTIVATE, ui::WA_ACTIVE);
  EXPECT_EQ(drv::text(*dlg, 1279), "恢复试验");

  // The exit button hides the dialog and stops the status line.
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());
  ch[0].signalText = "20";
  drv::run(2000, 100);
  EXPECT_EQ(message(), "");
}

TEST_F(KongZhiButtonsTest, TheStatusLineShowsTheSignalGradeWhenItIsFree) {
  struct Case {
    std::string signal;
    std::string line;
  } cases[] = {{"15\r\n", "内置模块信号强度:15 差   "},
               {"16", "内置模块信号强度:16 良   "},
               {"23", "内置模块信号强度:23 良   "},
               {"24", "内置模块信号强度:24 优   "}};
  show();
  for (const Case& c : cases) {
    dlg->setDlgItemText(ShiZhuangKongZhi::kMessage, "");
    ch[0].signalText = c.signal;
    drv::run(1000, 100);
    EXPECT_EQ(message(), c.line);
  }
  // An empty signal text or another message leaves the line alone.
  dlg->setDlgItemText(ShiZhuangKongZhi::kMessage, "");
  ch[0].signalText = "";
  drv::run(1000, 100);
  EXPECT_EQ(message(), "");
  dlg->setDlgItemText(ShiZhuangKongZhi::kMessage, "调表完成！");
  ch[0].signalText = "20";
  drv::run(1000, 100);
  EXPECT_EQ(message(), "调表完成！");
}

TEST_F(KongZhiButtonsTest, FontsAndTheListColumnAreSetAtInitialisation) {
  EXPECT_EQ(dlg->fontOf(1010).height(), 44);
  EXPECT_EQ(dlg->fontOf(1278).height(), 34);
  EXPECT_EQ(dlg->fontOf(1205).weight(), 700);
  EXPECT_EQ(dlg->fontOf(1310).height(), 24);
  EXPECT_EQ(dlg->fontOf(1273).height(), 32);
  EXPECT_EQ(dlg->listView().columnHeading(0), "信息");
  EXPECT_EQ(dlg->listView().getColumnWidth(0), 600);
  EXPECT_TRUE(dlg->listView().getExtendedStyle() & ui::LVS_EX_GRIDLINES);
}
