#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <ostream>
#include <unistd.h>

#include "model/datafiles.h"
#include "model/parameter.h"
#include "platform/fs/fs.h"
#include "setup/catalogue.h"
#include "setup/standard_commit.h"

namespace {

std::string Text(const Parameter& p, int record, int field) { return JDQFile::HeaderText(p.testRecords, record, field); }

// A channel with a header-record image and its parameter list, no test under way.
struct Channel {
  Parameter p;
  Channel() {
    p.ParameterList.extendWithDefaults();
    p.testRecords.assign(kHeaderRecordCount, JDQFile::BlankTestRecord());
    p.fileLoaded = 1;
    p.channelName = "1";
    p.testType = 1;
  }
};

StandardSettings Settings(int code, float control, float step, float max) {
  StandardSettings s;
  s.code = code;
  s.controlLoad = control;
  s.singleStep = step;
  s.maxLoad = max;
  return s;
}

// ---------------------------------------------------------------------------------------------------
TEST(Catalogue, BuiltIntoTheChannelWithEveryPositionOffered) {
  Channel c;
  c.p.standards.push_back(StandardEntry{"old", "", 1, 99, 0});
  for (int k = 130; k < 220; ++k) c.p.ParameterList.set(k, 0.0f);
  BuildStandardCatalogue(c.p);
  ASSERT_EQ(c.p.standards.size(), 83u);
  EXPECT_EQ(c.p.standards[0].name, "GB50007-2011单桩");
  EXPECT_EQ(StandardAt(c.p, 32)->standardCode, 9);
  EXPECT_EQ(StandardAt(c.p, 32)->testType, 6);
  EXPECT_EQ(StandardAt(c.p, 82)->standardCode, 149);
  EXPECT_EQ(StandardAt(c.p, 83), nullptr);
  EXPECT_EQ(StandardAt(c.p, -1), nullptr);
  for (int pos = 0; pos < 83; ++pos) EXPECT_TRUE(IsStandardOffered(c.p, pos)) << pos;
  EXPECT_EQ(c.p.ParameterList.item(213), 0.0f);  // the flag after the last position is left alone
  // Codes listed twice, once per test type; the flag belongs to the position.
  EXPECT_EQ(StandardAt(c.p, 7)->standardCode, 33);
  EXPECT_EQ(StandardAt(c.p, 8)->standardCode, 33);
  c.p.ParameterList.set(130 + 8, 0.0f);
  EXPECT_TRUE(IsStandardOffered(c.p, 7));
  EXPECT_FALSE(IsStandardOffered(c.p, 8));
  c.p.ParameterList.set(130 + 12, 0.5f);
  EXPECT_FALSE(IsStandardOffered(c.p, 12));
}

TEST(Catalogue, HeaderTextsOfTheImage) {
  Channel c;
  JDQFile::SetHeaderText(c.p.testRecords, 67, 3, "1");
  const HeaderTextReader read = HeaderTextsOf(c.p.testRecords);
  EXPECT_EQ(read(67, 3), "1");
  EXPECT_EQ(read(100, 1), "");
}

// ---------------------------------------------------------------------------------------------------
struct RefusalCase {
  float control, max;
  bool accepted;
};
std::ostream& operator<<(std::ostream& os, const RefusalCase& c) { return os << c.control << " / " << c.max; }

class MaximumCheck : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(MaximumCheck, RefusedBeforeAnythingChanges) {
  const RefusalCase& k = GetParam();
  Channel c;
  c.p.testFilePath = "\\Storage Card\\T1.krv";
  c.p.levelLoads.fill(7.0f);
  c.p.stepLoad2 = 3.0f;
  const StandardCommitResult r = CommitStandardSettings(c.p, Settings(62, k.control, 10, k.max));
  EXPECT_EQ(r.accepted, k.accepted);
  if (k.accepted) {
    EXPECT_EQ(r.message, "");
    EXPECT_EQ(c.p.testFilePath, "\\Storage Card\\T1.krs");
    EXPECT_EQ(c.p.stepLoad2.load(), 10.0f);
  } else {
    EXPECT_EQ(r.message, "当前控载值不允许超过最大加荷值！");
    EXPECT_EQ(c.p.testFilePath, "\\Storage Card\\T1.krv");
    EXPECT_EQ(c.p.levelLoads[0], 7.0f);
    EXPECT_EQ(c.p.stepLoad2.load(), 3.0f);
    EXPECT_EQ(c.p.standardCode.load(), 0);
    EXPECT_EQ(Text(c.p, 6, 2), "");
    EXPECT_FALSE(r.showMainWindow);
  }
}

INSTANTIATE_TEST_SUITE_P(Loads, MaximumCheck,
                         ::testing::Values(RefusalCase{100, 99.99f, false}, RefusalCase{100, 100, true},
                                           RefusalCase{100, 99.999995f, true}, RefusalCase{0, 400, true},
                                           RefusalCase{10, -1, false}));

TEST(CommitStandard, LevelTablesAndUnloadingStepsByCode) {
  Channel c;
  c.p.levelLoads.fill(-1.0f);
  StandardSettings s = Settings(0, 60, 20, 200);
  s.unloadSteps = 5;
  ASSERT_TRUE(CommitStandardSettings(c.p, s).accepted);
  const float want[] = {60, 100, 140, 160, 180, 200, 100, 60, 0, -1};
  for (int k = 0; k < 10; ++k) EXPECT_FLOAT_EQ(c.p.levelLoads[static_cast<std::size_t>(k)], want[k]) << k;
  EXPECT_EQ(c.p.levelMinutes[14], 2);  // code 0 always unloads in two steps
  EXPECT_EQ(Text(c.p, 28, 1), "2");

  s = Settings(72, 100, 100, 1000);
  s.extraValue = 2000;
  s.unloadSteps = 5;
  ASSERT_TRUE(CommitStandardSettings(c.p, s).accepted);
  EXPECT_FLOAT_EQ(c.p.levelLoads[4], 1000);
  EXPECT_FLOAT_EQ(c.p.levelLoads[14], 2000);
  EXPECT_FLOAT_EQ(c.p.levelLoads[19], 0);
  EXPECT_EQ(c.p.levelMinutes[14], 5);
  EXPECT_EQ(c.p.stepLoad4.load(), 2000.0f);
  EXPECT_EQ(Text(c.p, 20, 3), "2000.00");

  c.p.levelLoads.fill(-1.0f);
  ASSERT_TRUE(CommitStandardSettings(c.p, Settings(5, 100, 50, 500)).accepted);
  EXPECT_EQ(c.p.levelLoads[0], -1.0f);  // other standards keep the table
}

TEST(CommitStandard, TestFileExtension) {
  struct Case {
    int code;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {62, "\\Storage Card\\A-1.krv", "\\Storage Card\\A-1.krs"},
      {144, "\\Storage Card\\A-1.krv", "\\Storage Card\\A-1.krs"},
      {93, "\\Storage Card\\A-1.krs", "\\Storage Card\\A-1.krv"},
      {77, "x.zph", "x.krv"},
      {62, "", ""},                 // no test file stays without one
      {62, "\\nandflash\\A1", "\\nandflash\\A1"},  // no extension to replace
      {62, "\\nandflash\\A1.kr", "\\nandflash\\A1.kr"},
      {1, "\\Storage Card\\A-1.krv", "\\Storage Card\\A-1.krv"},
  };
  for (const Case& k : cases) {
    Channel c;
    c.p.testFilePath = k.before;
    ASSERT_TRUE(CommitStandardSettings(c.p, Settings(k.code, 10, 10, 100)).accepted);
    EXPECT_EQ(c.p.testFilePath, k.after) << k.code << " " << k.before;
  }
}

TEST(CommitStandard, CriteriaByCode) {
  struct Case {
    int code;
    float stable, overStable;
    int mode, overMode;
  };
  const Case cases[] = {{4, 0.1f, 0.1f, 1, 1}, {118, 0.1f, 0.1f, 1, 1}, {8, 111.0f, 111.0f, 0, 0},
                        {144, 111.0f, 111.0f, 0, 0}, {1, 0.05f, 0.25f, 3, 2}};
  for (const Case& k : cases) {
    Channel c;
    JDQFile::SetHeaderText(c.p.testRecords, 18, 2, "9abc");
    StandardSettings s = Settings(k.code, 10, 10, 100);
    s.stableSettlement = 0.05f;
    s.judgementMode = 3;
    s.overStableSettlement = 0.25f;
    s.overJudgementMode = 2;
    ASSERT_TRUE(CommitStandardSettings(c.p, s).accepted);
    EXPECT_FLOAT_EQ(c.p.stableSettlement.load(), k.stable) << k.code;
    EXPECT_EQ(c.p.criterionMode3.load(), k.mode) << k.code;
    EXPECT_FLOAT_EQ(c.p.altSettlement, k.overStable) << k.code;
    EXPECT_EQ(c.p.altCriterion4, k.overMode) << k.code;
    EXPECT_EQ(Text(c.p, 18, 2), std::string(1, char('0' + k.mode)) + "abc");  // first character only
    EXPECT_EQ(Text(c.p, 64, 1), std::string(1, char('0' + k.overMode)));
  }
  Channel c;
  ASSERT_TRUE(CommitStandardSettings(c.p, Settings(4, 10, 10, 100)).accepted);
  EXPECT_EQ(Text(c.p, 16, 2), "0.10");
  EXPECT_EQ(Text(c.p, 63, 1), "0.10");
}

TEST(CommitStandard, ScheduleLoadsAndChoicesWithTheirHeaderTexts) {
  Channel c;
  StandardSettings s = Settings(1, 25.5f, 25.5f, 204);
  s.refillLower = 12.25f;
  s.holdTime = 120.9f;
  s.judgeTime = 60;
  s.judgeCount = 2;
  s.overHoldTime = 30;
  s.overJudgeTime = 15;
  s.overJudgeCount = 1;
  s.loadIntervals = {5, 5, 5, 15, 15, 15, 30};
  s.unloadIntervals = {15, 15, 30, 30, 30, 30, 31};
  s.unloadSteps = 3;
  s.nonZeroTime = 60;
  s.zeroTime = 180;
  s.characteristic = 250;
  s.extraValue = 600;
  s.crossFlag = 1;
  s.overCrossFlag = 0;
  s.soilType = 1;
  s.refillUnitMode = 1;
  ASSERT_TRUE(CommitStandardSettings(c.p, s).accepted);

  EXPECT_EQ(c.p.controlLoad.load(), 25.5f);
  EXPECT_EQ(c.p.stepLoad1.load(), 12.25f);
  EXPECT_EQ(c.p.stepLoad2.load(), 25.5f);
  EXPECT_EQ(c.p.stepLoad3.load(), 204.0f);
  EXPECT_EQ(c.p.standardCode.load(), 1);
  EXPECT_EQ(c.p.holdMinutes.load(), 120);  // truncated
  EXPECT_EQ(c.p.judgeIntervalMinutes.load(), 60);
  EXPECT_EQ(c.p.judgeCount.load(), 2);
  EXPECT_EQ(c.p.altCriteria, (std::array<int, 3>{30, 15, 1}));
  EXPECT_EQ(c.p.levelMinutes, (std::array<int, 17>{5, 5, 5, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 31, 3, 60, 180}));
  EXPECT_EQ(c.p.levelMinutesLast, 250.0f);
  EXPECT_EQ(c.p.stepLoad4.load(), 600.0f);
  EXPECT_EQ(c.p.altCriterion5, 1);
  EXPECT_EQ(c.p.altCriterion6, 0);
  EXPECT_EQ(c.p.criterionMode2.load(), 1);
  EXPECT_EQ(c.p.criterionMode1.load(), 1);
  EXPECT_EQ(c.p.link.reloadPercent.load(), 1);

  const std::pair<std::pair<int, int>, const char*> texts[] = {
      {{4, 2}, "25.50"},  {{5, 2}, "12.2"},  {{6, 2}, "25.50"},  {{7, 2}, "204.00"}, {{69, 3}, "1"},
      {{13, 2}, "120"},   {{14, 2}, "60"},   {{15, 2}, "2"},     {{66, 1}, "30"},    {{67, 1}, "15"},
      {{68, 1}, "1"},     {{16, 1}, "5"},    {{21, 1}, "15"},    {{57, 1}, "30"},    {{22, 1}, "15"},
      {{27, 1}, "30"},    {{58, 1}, "31"},   {{28, 1}, "3"},     {{29, 1}, "60"},    {{30, 1}, "180"},
      {{71, 3}, "250.00"}, {{20, 3}, "600.00"}, {{17, 2}, "1"},  {{67, 3}, "1"},     {{65, 1}, "1"},
      {{69, 1}, "0"},
  };
  for (const auto& [at, want] : texts) EXPECT_EQ(Text(c.p, at.first, at.second), want) << at.first << "/" << at.second;
}

TEST(CommitStandard, ControlLoadChangeFlags) {
  struct Case {
    bool running;
    bool setupOpen;
    float before, after;
    int changed, request;
  };
  const Case cases[] = {
      {false, true, 10, 20, 0, 0},   // before a test: the flag is cleared again
      {true, false, 10, 20, 1, 2},   // during a test: change the level
      {true, false, 10, 10.000001f, 0, 0},
      {false, false, 10, 20, 1, 0},  // a stopped test that has not been reset
  };
  for (const Case& k : cases) {
    Channel c;
    c.p.testRunning = k.running ? 1 : 0;
    c.p.fileLoaded = k.setupOpen ? 1 : 0;
    c.p.controlLoad = k.before;
    c.p.pumpProcedure = 1;
    const StandardCommitResult r = CommitStandardSettings(c.p, Settings(1, k.after, 10, 1000));
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(c.p.procedureChanged.load(), k.changed) << k.before << "->" << k.after;
    EXPECT_EQ(c.p.controlRequest.load(), k.request);
    EXPECT_EQ(c.p.pumpProcedure.load(), 0);
    EXPECT_EQ(c.p.controlLoad.load(), k.after);
    EXPECT_EQ(r.showMainWindow, !k.running);
  }
}

TEST(CommitStandard, RotatingFrameValues) {
  struct Case {
    int type;
    float area, step;
    int value1, value2;
  };
  const Case cases[] = {{0, 2.0f, 10.0f, 160, 160}, {0, 0.5f, 12.3f, 49, 49}, {1, 0, 12.3f, 98, 98},
                        {5, 0, 0.06f, 0, 0},       {3, 0, 50, 100, 200}};
  for (const Case& k : cases) {
    Channel c;
    c.p.testType = k.type;
    c.p.setupValue = k.area;
    ASSERT_TRUE(CommitStandardSettings(c.p, Settings(1, k.step, k.step, 1000)).accepted);
    EXPECT_EQ(c.p.rotatingValue1.load(), k.value1) << k.type << " " << k.step;
    EXPECT_EQ(c.p.rotatingValue2.load(), k.value2);
  }
}

// A running test: the file takes the new header texts and the parameter file the new values.
class RunningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("setup-commit-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "nandflash");
    platform::fs::setRoot(root_);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  std::filesystem::path root_;
};

TEST_F(RunningTest, RewritesTheFileHeaderAndSavesTheRotatingValues) {
  Channel c;
  c.p.boardFlag = 1;
  c.p.testFilePath = "\\nandflash\\S1-P1.krv";
  ASSERT_EQ(JDQFile::CreateTestFile(c.p.testFilePath, c.p.testRecords, c.p), 1);
  c.p.testRunning = 1;
  c.p.fileLoaded = 0;
  c.p.ParameterList.set(100, 100.0f);
  c.p.ParameterList.set(101, 200.0f);

  const StandardCommitResult r = CommitStandardSettings(c.p, Settings(1, 25, 25, 200));
  ASSERT_TRUE(r.accepted);
  EXPECT_TRUE(r.headerTextsRewritten);
  EXPECT_TRUE(r.parameterFileSaved);  // rotating values 200 differ from the items
  EXPECT_FALSE(r.showMainWindow);
  EXPECT_EQ(c.p.ParameterList.item(100), 200.0f);
  EXPECT_EQ(c.p.ParameterList.item(101), 200.0f);
  EXPECT_TRUE(platform::fs::isFile("\\nandflash\\krv7181.ini"));

  std::vector<TestRecord> disk;
  ASSERT_EQ(JDQFile::LoadTestFile(c.p.testFilePath, disk), 1);
  EXPECT_EQ(JDQFile::HeaderText(disk, 6, 2), "25.00");
  EXPECT_EQ(JDQFile::HeaderText(disk, 7, 2), "200.00");

  // Unchanged rotating values: every OK keeps the standard in the parameter file all the same, the
  // control load in item 24 with it.
  std::filesystem::remove(root_ / "nandflash" / "krv7181.ini");
  const StandardCommitResult again = CommitStandardSettings(c.p, Settings(1, 25, 25, 300));
  EXPECT_TRUE(again.headerTextsRewritten);
  EXPECT_TRUE(again.parameterFileSaved);
  Parameter stored;
  stored.boardFlag = 1;
  std::string path;
  ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", stored), 1);
  EXPECT_EQ(path, c.p.testFilePath);
  EXPECT_EQ(stored.ParameterList.item(27), 300.0f);
  EXPECT_EQ(stored.ParameterList.item(24), 25.0f);
  ASSERT_EQ(JDQFile::LoadTestFile(c.p.testFilePath, disk), 1);
  EXPECT_EQ(JDQFile::HeaderText(disk, 7, 2), "300.00");

  // The user-input standard keeps its typed schedule in the parameter file as well.
  StandardSettings user = Settings(9, 25, 25, 300);
  user.holdTime = 45;
  const StandardCommitResult typed = CommitStandardSettings(c.p, user);
  EXPECT_TRUE(typed.parameterFileSaved);
  EXPECT_TRUE(platform::fs::isFile("\\nandflash\\krv7181.ini"));
  EXPECT_EQ(c.p.ParameterList.item(35), 45.0f);
  EXPECT_EQ(c.p.ParameterList.item(51), 9.0f);
}

}  // namespace
