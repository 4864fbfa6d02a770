// The jack calibration table without its window: the standard forces generated from the maximum force
// with every refusal, what a group shows, the checks of a save in their order, paging and deleting,
// and a failed write that leaves the list as the file has it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "calib/jack_calibration.h"
#include "model/datafiles.h"
#include "platform/fs/fs.h"

namespace {

namespace fs = platform::fs;
using Texts = std::vector<std::string>;

class JackTable : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("jack-table-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "nandflash");
    std::filesystem::create_directories(root_ / "Storage Card");
    fs::setRoot(root_);
    p_.boardFlag = 1;
    LoadJackGroups(p_);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::filesystem::path file() const { return root_ / "Storage Card" / "QJDdat.dat"; }

  // A complete entry of n points over a maximum force of 100 kN per point.
  static JackSaveEntry Entry(const std::string& jack, int n) {
    JackSaveEntry e;
    e.jackNumber = jack;
    e.maxForce = std::to_string(100 * n);
    e.points = std::to_string(n);
    e.measured[0] = "0";
    for (int k = 1; k <= n; ++k) {
      e.standard[static_cast<std::size_t>(k)] = std::to_string(100 * k);
      e.measured[static_cast<std::size_t>(k)] = std::to_string(k) + ".5";
    }
    return e;
  }

  Parameter p_;
  std::filesystem::path root_;
};

Texts Standards(const JackGenerateResult& r) { return Texts(r.standard.begin(), r.standard.end()); }

}  // namespace

TEST(JackTableRules, GeneratesTheStandardForcesOrSaysWhyNot) {
  struct Case {
    bool system;
    const char *jack, *sensor, *maxForce, *points;
    const char* message;
    bool warning;
    Texts standard;  // points 0..10
  };
  const Texts none(11);
  const Case cases[] = {
      // F = 1000 and n = 3: integer steps of 333.
      {false, "J1", "", "1000", "3", kJackGenerated, false, {"0", "333", "666", "999", "", "", "", "", "", "", ""}},
      // A decimal maximum force is cut at the point; the system kind needs only the sensor number.
      {true, "", "S1", "1000.7", "04", kSystemGenerated, false,
       {"0", "250", "500", "750", "1000", "", "", "", "", "", ""}},
      {false, "J1", "", "2147483647999", "10", kJackGenerated, false,
       {"0", "214748364", "429496728", "644245092", "858993456", "1073741820", "1288490184", "1503238548",
        "1717986912", "1932735276", "2147483640"}},
      {false, "J1", "", "", "3", kJackMaxForceNotNumber, true, none},
      {false, "J1", "", "1000", "x", kJackPointsNotNumber, true, none},
      {false, "", "S1", "1000", "3", kJackNumberEmpty, true, none},
      {true, "J1", "", "1000", "3", kJackSensorNumberEmpty, true, none},
      {false, "J1", "", "0", "3", kJackMaxForceZero, true, none},
      {true, "", "S1", "0", "3", kSystemMaxForceZero, true, none},
      {false, "J1", "", "0.9", "3", kJackMaxForceZero, true, none},
      {false, "J1", "", "-5", "3", kJackMaxForceZero, true, none},
      {false, "J1", "", "1000", "0", kJackPointsOutOfRange, true, none},
      {false, "J1", "", "1000", "11", kJackPointsOutOfRange, true, none},
      {false, "J1", "", "1000", "1.5", kJackPointsOutOfRange, true, none},
      {false, "J1", "", "1000", "-3", kJackPointsOutOfRange, true, none},
  };
  for (const Case& c : cases) {
    const JackGenerateResult r = GenerateStandardForces({c.system, c.jack, c.sensor, c.maxForce, c.points});
    SCOPED_TRACE(std::string(c.maxForce) + " / " + c.points);
    EXPECT_EQ(r.message.text, c.message);
    EXPECT_EQ(r.message.warning, c.warning);
    EXPECT_EQ(r.generated, !c.warning);
    EXPECT_EQ(Standards(r), c.standard);
  }
}

TEST(JackTableRules, ShowsAGroupTrimmedWithZerosEmpty) {
  JackCalibrationGroup g = JDQFile::DefaultJackGroup();
  g.name1 = "QJD-7";
  g.kind = 1;
  g.maxForce = 1250.5f;
  g.pointCount = 3;
  SetJackStandardForce(g, 1, 416.0f);
  SetJackStandardForce(g, 9, 9.25f);
  SetJackMeasuredValue(g, 1, 10.10f);
  SetJackMeasuredValue(g, 10, 7.0f);
  g.inUse = 1;
  const JackGroupView v = ViewJackGroup(g);
  EXPECT_EQ(v.jackNumber, "QJD-7");
  EXPECT_TRUE(v.system);
  EXPECT_EQ(v.maxForce, "1250.5");
  EXPECT_EQ(v.points, "3");
  EXPECT_EQ(v.pointCount, 3);
  EXPECT_EQ(Texts(v.standard.begin(), v.standard.end()), (Texts{"0", "416", "", "", "", "", "", "", "", "9.25", ""}));
  EXPECT_EQ(Texts(v.measured.begin(), v.measured.end()), (Texts{"0", "10.1", "", "", "", "", "", "", "", "", "7"}));
  EXPECT_TRUE(v.saved);
  g.pointCount = 40;  // from a damaged file: no more rows than the table has
  EXPECT_EQ(ViewJackGroup(g).pointCount, 10);
  EXPECT_EQ(ViewJackGroup(g).points, "40");
}

TEST_F(JackTable, SaveRefusesInOrderThenStoresAndWritesOnce) {
  struct Case {
    const char* name;
    void (*spoil)(JackSaveEntry&);
    const char* message;
  };
  const Case cases[] = {
      {"no jack number", [](JackSaveEntry& e) { e.jackNumber.clear(); e.measured[0].clear(); }, kJackNumberEmpty},
      {"system without sensor",
       [](JackSaveEntry& e) { e.system = true; e.measured[4].clear(); }, kJackSensorNumberEmpty},
      {"points not a number", [](JackSaveEntry& e) { e.points = "a"; }, kJackPointsNotNumber},
      {"no points", [](JackSaveEntry& e) { e.points = "0"; }, kJackPointsOutOfRange},
      {"eleven points", [](JackSaveEntry& e) { e.points = "11"; }, kJackPointsOutOfRange},
      {"point n empty", [](JackSaveEntry& e) { e.measured[4].clear(); e.measured[0].clear(); }, kJackValuesMissing},
      {"point 0 empty", [](JackSaveEntry& e) { e.measured[0].clear(); }, kJackZeroPointWrong},
      {"not generated", [](JackSaveEntry& e) { e.standard[3].clear(); }, kJackStandardForcesWrong},
      {"forces falling", [](JackSaveEntry& e) { e.standard[4] = "250"; }, kJackStandardForcesWrong},
  };
  for (const Case& c : cases) {
    JackSaveEntry e = Entry("J1", 4);
    c.spoil(e);
    const JackSaveResult r = SaveJackGroup(p_, 2, e);
    EXPECT_EQ(r.message.text, c.message) << c.name;
    EXPECT_TRUE(r.message.warning) << c.name;
    EXPECT_FALSE(r.saved) << c.name;
    EXPECT_EQ(p_.jackGroups[1].inUse, 0) << c.name;
  }
  EXPECT_FALSE(std::filesystem::exists(file())) << "a refusal writes nothing";

  const JackSaveResult r = SaveJackGroup(p_, 2, Entry("J1", 4));
  EXPECT_EQ(r.message.text, kJackSaved);
  EXPECT_FALSE(r.message.warning);
  const JackCalibrationGroup& g = p_.jackGroups[1];
  EXPECT_EQ(g.name1, "J1");
  EXPECT_EQ(g.kind, 0);
  EXPECT_EQ(g.inUse, 1);
  EXPECT_EQ(g.pointCount, 4);
  EXPECT_FLOAT_EQ(g.maxForce, 400.0f);
  EXPECT_FLOAT_EQ(JackStandardForce(g, 4), 400.0f);
  EXPECT_FLOAT_EQ(JackMeasuredValue(g, 4), 4.5f);
  EXPECT_EQ(std::filesystem::file_size(file()), 1480u);

  std::filesystem::remove(file());
  JackSaveEntry again = Entry("J9", 4);
  const JackSaveResult second = SaveJackGroup(p_, 2, again);
  EXPECT_EQ(second.message.text, kJackAlreadySaved);
  EXPECT_FALSE(second.message.warning);
  EXPECT_EQ(p_.jackGroups[1].name1, "J1");
  EXPECT_FALSE(std::filesystem::exists(file())) << "a saved group is not written again";
}

TEST_F(JackTable, AFailedWriteSaysSoAndLeavesTheGroupUnsaved) {
  std::filesystem::create_directories(file());  // a folder where the file should be: no write succeeds
  const JackSaveResult r = SaveJackGroup(p_, 1, Entry("J1", 2));
  EXPECT_FALSE(r.saved);
  EXPECT_TRUE(r.message.warning);
  EXPECT_EQ(r.message.text, "保存失败!");
  EXPECT_EQ(p_.jackGroups[0].inUse, 0);
  EXPECT_EQ(p_.jackGroups[0].name1, "");
  std::filesystem::remove(file());
  EXPECT_TRUE(SaveJackGroup(p_, 1, Entry("J1", 2)).saved) << "the operator can save again";
  std::filesystem::remove(file());
  std::filesystem::create_directories(file());
  const JackDeleteResult d = DeleteJackGroup(p_, 1);
  EXPECT_FALSE(d.deleted);
  EXPECT_EQ(d.message.text, "保存失败!");
  EXPECT_EQ(p_.jackGroups[0].name1, "J1");
}

TEST_F(JackTable, PagesOnlyFromSavedGroupsAndStopsAtTheEnds) {
  for (int g = 1; g <= 10; ++g) ASSERT_TRUE(SaveJackGroup(p_, g, Entry("J" + std::to_string(g), 2)).saved);
  JackPageResult r = PreviousJackGroup(1);
  EXPECT_EQ(r.group, 1);
  EXPECT_FALSE(r.changed);
  EXPECT_EQ(r.message.text, kJackFirstGroup);
  EXPECT_FALSE(r.message.warning);
  r = PreviousJackGroup(4);
  EXPECT_EQ(r.group, 3);
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(r.message.text, "");
  r = NextJackGroup(p_, 10);
  EXPECT_EQ(r.group, 10);
  EXPECT_EQ(r.message.text, kJackLastGroup);
  EXPECT_FALSE(r.message.warning);
  r = NextJackGroup(p_, 5);
  EXPECT_EQ(r.group, 6);
  EXPECT_TRUE(r.changed);

  ASSERT_TRUE(DeleteJackGroup(p_, 7).deleted);  // groups 7-9 move up, group 10 is empty
  r = NextJackGroup(p_, 10);
  EXPECT_EQ(r.message.text, kJackNotSaved);
  EXPECT_TRUE(r.message.warning);
  p_.testRunning = 1;
  r = NextJackGroup(p_, 9);
  EXPECT_EQ(r.group, 9) << "during channel 1's test an unsaved group is not paged to";
  EXPECT_FALSE(r.changed);
  EXPECT_EQ(r.message.text, "");
  EXPECT_EQ(NextJackGroup(p_, 8).group, 9);
  EXPECT_TRUE(JackPreviousAvailable(2) && !JackPreviousAvailable(1));
  EXPECT_TRUE(JackNextAvailable(9) && !JackNextAvailable(10));
  EXPECT_FALSE(JackDeleteAvailable(p_));
}

TEST_F(JackTable, DeleteMovesTheLaterGroupsUpUnlessChannelOneTests) {
  for (int g = 1; g <= 5; ++g) ASSERT_TRUE(SaveJackGroup(p_, g, Entry("J" + std::to_string(g), g)).saved);
  p_.testRunning = 1;
  JackDeleteResult r = DeleteJackGroup(p_, 3);
  EXPECT_FALSE(r.deleted);
  EXPECT_EQ(r.message.text, kJackDeleteRunning);
  EXPECT_TRUE(r.message.warning);
  EXPECT_EQ(p_.jackGroups[2].name1, "J3");
  p_.testRunning = 0;
  r = DeleteJackGroup(p_, 3);
  EXPECT_TRUE(r.deleted);
  EXPECT_EQ(r.message.text, kJackDeleted);
  EXPECT_FALSE(r.message.warning);
  const Texts names = {"J1", "J2", "J4", "J5", "", "", "", "", "", ""};
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(p_.jackGroups[i].name1, names[i]) << i;
    EXPECT_EQ(p_.jackGroups[i].inUse, i < 4 ? 1 : 0) << i;
  }
  EXPECT_EQ(p_.jackGroups[2].pointCount, 4);
  std::vector<JackCalibrationGroup> back(10);
  ASSERT_EQ(JDQFile::LoadJackData(back, p_), 1);
  EXPECT_EQ(back[3].name1, "J5");
  EXPECT_EQ(back[4].inUse, 0);
}
