// A whole test started from the test-control dialog and run to its end by the main window's main loop
// against a simulated controller and pile, checked in the files it leaves.
#include <cmath>
#include <cstring>

#include "app/queren.h"
#include "app/shizhuang_kongzhi.h"
#include "fixture.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "setup/standard_commit.h"
#include "setup/timing.h"
#include "run_to_end_fixture.h"

using namespace apptest;

namespace {

class KongZhiWholeTest : public AppTest {};

// The set-up of channel 1 as the set-up dialogs leave it: a quick maintained load test (standard 4)
// from 300 kN in steps of 300 kN to 1500 kN on a short schedule, uploads to the built-in module.
void setUpQuickTest(Parameter& p) {
  const std::string base = "\\Storage Card\\2026004-P9";
  p.controllerNumber = "000001";
  p.serialNumber = "2026004";
  p.pileLabel = "P9";
  p.testFilePath = base + ".krv";
  {
    std::lock_guard<std::mutex> lk(p.queueLock);
    p.moduleQueuePath = base + ".gps";
    p.boxQueuePath = base + ".gpsw";
  }
  p.testType = 1;
  p.loadingMode = 1;
  p.forceSensorType = 0;
  p.pressureMethod = 1;
  p.sensorCoefficient = 1.0f;
  p.jackSetting = 1;
  p.link.jackK = 1.0f;
  p.channelMask = 15;
  for (std::size_t i = 0; i < 4; ++i) p.displacementOn[i] = 1;
  for (auto& d : p.sensorTableC) d = 1;
  p.ParameterList.set(56, 0.0f);
  p.ParameterList.set(57, 1.0f);
  p.ParameterList.set(88, 1.0f);
  for (int k = 1; k <= 8; ++k) p.ParameterList.set(k, k <= 4 ? 1.0f : 0.0f);

  const StandardDefaults* d = FindStandardDefaults(4);
  ASSERT_NE(d, nullptr);
  const TimingRow row = StandardTimingTable()[static_cast<std::size_t>(d->row)];
  StandardSettings s;
  s.code = 4;
  s.controlLoad = 300.0f;
  s.refillLower = 5.0f;
  s.singleStep = 300.0f;
  s.maxLoad = 1500.0f;
  s.holdTime = static_cast<float>(row[kHoldTime]);
  s.judgeTime = static_cast<float>(row[kJudgeTime]);
  s.judgeCount = static_cast<float>(row[kJudgeCount]);
  s.stableSettlement = d->stableSettlement[0] ? static_cast<float>(std::atof(d->stableSettlement)) : 0.1f;
  s.judgementMode = d->mode;
  for (int k = 0; k < 6; ++k) {
    s.loadIntervals[static_cast<std::size_t>(k)] = static_cast<float>(row[static_cast<std::size_t>(kLoadInterval1 + k)]);
    s.unloadIntervals[static_cast<std::size_t>(k)] =
        static_cast<float>(row[static_cast<std::size_t>(kUnloadInterval1 + k)]);
  }
  s.loadIntervals[6] = static_cast<float>(row[kLoadInterval7]);
  s.unloadIntervals[6] = static_cast<float>(row[kUnloadInterval7]);
  s.unloadSteps = static_cast<float>(row[kUnloadSteps]);
  s.nonZeroTime = static_cast<float>(row[kNonZeroTime]);
  s.zeroTime = static_cast<float>(row[kZeroTime]);
  // The operator shortens the schedule: readings every 5 minutes, 15 minutes a level, half an hour at
  // zero load.
  s.loadIntervals.fill(5.0f);
  s.unloadIntervals.fill(5.0f);
  s.holdTime = 15.0f;
  s.judgeTime = 5.0f;
  s.nonZeroTime = 10.0f;
  s.zeroTime = 30.0f;
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::BuildHeaderRecords(p);
  ASSERT_TRUE(CommitStandardSettings(p, s).accepted);
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::BuildHeaderRecords(p);
  JDQFile::SetHeaderText(p.testRecords, 7, 3, "2026004");
  JDQFile::SetHeaderText(p.testRecords, 8, 1, "P9");
  {
    std::lock_guard<std::mutex> lk(p.loadLock);
    p.loadingPhase = 0;
    p.previousLoad = 0.0f;
  }
}

}  // namespace

TEST_F(KongZhiWholeTest, AQuickTestStartedHereRunsToItsEndAgainstTheSimulator) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  // Every question of the run (the maximum load, the end of the test) is answered yes, every message
  // box closed.
  AnswerEverythingYes answers;
  std::vector<std::string>& asked = answers.asked;
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  setUpQuickTest(p);
  if (HasFatalFailure()) return;

  // The operator opens the test control from the main window and starts the test.
  ASSERT_TRUE(drv::tap(w, 1127));
  auto* dlg = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
  ASSERT_TRUE(dlg->isWindowVisible());
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kStartEnd));
  ASSERT_EQ(p.testRunning.load(), 1);
  EXPECT_EQ(drv::text(*dlg, 1010), "试验进行中......");

  // The main loop runs the test; the simulated controller answers each tick's command.
  RunTestToItsEnd(p, "000001");
  ASSERT_EQ(p.testRunning.load(), 0) << "the test did not end";

  // The file and its backup copy hold the same readings: the five loading levels up to 1500 kN, the
  // unloading levels and the zero-load readings.
  const std::string path = "\\Storage Card\\2026004-P9.krv";
  std::string file, backup;
  ASSERT_TRUE(platform::fs::readFile(path, file));
  ASSERT_TRUE(platform::fs::readFile(JDQFile::BackupPathFor(path, 1), backup));
  EXPECT_EQ(file, backup);
  std::vector<TestRecord> r;
  ASSERT_EQ(JDQFile::LoadTestFile(path, r), 1);
  std::vector<float> levels;
  int readings = 0;
  for (const TestRecord& t : r) {
    if (std::memcmp(t.marker, "11111", 5) == 0) break;
    ++readings;
    if (std::memcmp(t.marker, "--:--", 5) == 0) levels.push_back(std::round(t.valuesA[0]));
  }
  ASSERT_GE(levels.size(), 6u);
  EXPECT_EQ(std::vector<float>(levels.begin(), levels.begin() + 5),
            (std::vector<float>{300.0f, 600.0f, 900.0f, 1200.0f, 1500.0f}));
  EXPECT_EQ(levels.back(), 0.0f);
  EXPECT_GT(r[static_cast<std::size_t>(readings - 1)].valuesA[2], 0.0f);  // the pile settled
  // One upload record per reading in the module's queue file.
  EXPECT_EQ(platform::fs::fileSize("\\Storage Card\\2026004-P9.gps"), static_cast<long long>(readings) * 128);
  // The test ended by itself: the channel holds no test after a restart, and the finished test is
  // the opened test.
  Parameter reloaded;
  reloaded.boardFlag = 1;
  std::string stored = "x";
  ASSERT_EQ(JDQFile::LoadParameterFile(stored, "1", reloaded), 1);
  EXPECT_TRUE(stored.empty());
  EXPECT_EQ(p.readingCount, readings);
  EXPECT_FALSE(asked.empty());
  // The dialog, activated again, offers a new start.
  ASSERT_TRUE(drv::tap(w, 1127));
  EXPECT_EQ(drv::text(*dlg, 1010), "试验未开始");
  EXPECT_EQ(drv::text(*dlg, ShiZhuangKongZhi::kStartEnd), "开始试验");
}
