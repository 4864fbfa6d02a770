// The test identity without windows: controller numbers, the checks of the test information, the file
// names a set-up gives a test, and the commit into the channel and its header records.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "model/datafiles.h"
#include "model/parameter.h"
#include "platform/fs/fs.h"
#include "setup/test_identity.h"

namespace {

namespace fsys = std::filesystem;

std::string Text(const Parameter& p, int record, int field) { return JDQFile::HeaderText(p.testRecords, record, field); }

class Identity : public ::testing::Test {
 protected:
  void SetUp() override {
    static int n = 0;
    root_ = fsys::temp_directory_path() / ("setup-identity-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    fsys::remove_all(root_);
    fsys::create_directories(root_ / "nandflash");
    platform::fs::setRoot(root_);
    p.channelName = "1";
    p.boardFlag = 1;
    p.ParameterList.setChannelNumber(1);
    p.ParameterList.extendWithDefaults();
    p.testType = 1;
    JDQFile::BuildHeaderRecords(p);
    p.testClock = {2026, 12, 9, 10, 30, 0, 0, 3};
  }
  void TearDown() override {
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }

  static TestIdentityEntry Entry(const std::string& serial, const std::string& pile, std::initializer_list<int> gauges,
                                 const std::string& external = "", const std::string& area = "") {
    TestIdentityEntry e;
    e.serial = serial;
    e.pile = pile;
    e.externalSerial = external;
    e.plateArea = area;
    for (int k : gauges) e.gauges[static_cast<std::size_t>(k - 1)] = true;
    return e;
  }

  // Everything a refused commit must leave as it was.
  struct Snapshot {
    std::vector<TestRecord> records;
    std::string serial, external, pile, testFile, moduleQueue, boxQueue, sdCopy;
    float area;
    int mask;
    std::array<int, 8> gauges;
    bool operator==(const Snapshot& o) const {
      return records.size() == o.records.size() &&
             std::memcmp(records.data(), o.records.data(), records.size() * sizeof(TestRecord)) == 0 &&
             serial == o.serial && external == o.external && pile == o.pile && testFile == o.testFile &&
             moduleQueue == o.moduleQueue && boxQueue == o.boxQueue && sdCopy == o.sdCopy && area == o.area &&
             mask == o.mask && gauges == o.gauges;
    }
  };
  Snapshot snap() const {
    Snapshot s{p.testRecords, p.serialNumber, p.externalSerialNumber, p.pileLabel, p.testFilePath, p.moduleQueuePath,
               p.boxQueuePath, p.sdCopyPath, p.setupValue, p.channelMask.load(), {}};
    for (std::size_t k = 0; k < 8; ++k) s.gauges[k] = p.displacementOn[k].load();
    return s;
  }

  // Reads channel 1's parameter file into `stored`, as a restart does; returns the test-file path it
  // holds ("?" when there is no file).
  static std::string LoadStored(Parameter& stored) {
    stored.boardFlag = 1;
    std::string path;
    return JDQFile::LoadParameterFile(path, "1", stored) == 1 ? path : "?";
  }

  fsys::path root_;
  Parameter p;
};

TEST_F(Identity, ControllerNumbersAreCheckedAsTheLinkSendsThem) {
  struct Case {
    std::array<std::string, 3> numbers;
    std::string refusal;
  } cases[] = {
      {{"000001", "000002", "000003"}, ""},
      {{"1", "22", "333333"}, ""},
      {{"", "2", "3"}, "1#前端编号不能为空！"},
      {{"1", "2", "1234567"}, "3#前端编号应为1至6位数字！"},
      {{"1", "2a", "3"}, "2#前端编号应为1至6位数字！"},
      {{"1", " 2", "3"}, "2#前端编号应为1至6位数字！"},
      {{"7", "8", "7"}, kDuplicateControllerNumbers},
      {{"012", "12", "3"}, kDuplicateControllerNumbers},  // both are controller 000012
      {{"5", "000005", "6"}, kDuplicateControllerNumbers},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckControllerNumbers(c.numbers), c.refusal) << c.numbers[0] << "," << c.numbers[1];
}

TEST_F(Identity, StoredControllerNumberReachesItem83AndTheParameterFile) {
  p.controllerNumber = "012345";
  ASSERT_EQ(StoreControllerNumber(p, "1"), 1);
  EXPECT_EQ(p.ParameterList.item(83), 12345.0f);
  Parameter loaded;
  loaded.boardFlag = 1;
  std::string path = "x";
  ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", loaded), 1);
  EXPECT_EQ(loaded.ParameterList.item(83), 12345.0f);
  EXPECT_EQ(path, "") << "an idle channel saves no test path";
}

TEST_F(Identity, FileNamesByBoardTypeStandardAndRoute) {
  struct Case {
    bool card;
    int board, type, standard;
    std::string serial, external, pile;
    float route;
    TestFileNames names;
  } cases[] = {
      {false, 1, 4, 145, "S1", "", "7", 0.0f,
       {"\\nandflash\\S1-7.krv", "\\nandflash\\S1-7.gps", "\\nandflash\\S1-7.gpsw", "\\Storage Card\\S1-7.krv"}},
      {false, 1, 4, 62, "S1", "", "7", 0.0f,
       {"\\nandflash\\S1-7.krs", "\\nandflash\\S1-7.gps", "\\nandflash\\S1-7.gpsw", "\\Storage Card\\S1-7.krs"}},
      {false, 1, 4, 77, "S1", "", "7", 0.0f,
       {"\\nandflash\\S1-7.krv", "\\nandflash\\S1-7.gps", "\\nandflash\\S1-7.gpsw", "\\Storage Card\\S1-7.krv"}},
      {false, 1, 4, 93, "S1", "E9", "7", 3.0f,
       {"\\nandflash\\S1-7.krv", "\\nandflash\\S1-7.gps", "\\nandflash\\E9-7.gpsw", "\\Storage Card\\S1-7.krv"}},
      {true, 1, 1, 1, "S1", "E9", "7", 3.0f,
       {"\\Storage Card\\S1-7.krv", "\\Storage Card\\S1-7.gps", "\\Storage Card\\E9-7.gpsw",
        "\\Storage Card\\S1-7.krv"}},
      {true, 1, 5, 1, "S1", "E9", "7", 0.0f,
       {"\\Storage Card\\S1-7.krv", "\\Storage Card\\S1-7.gps", "\\Storage Card\\S1-7.gpsw",
        "\\Storage Card\\S1-7.krv"}},
      {true, 1, 0, 1, "S1", "", "7", 3.0f,
       {"\\Storage Card\\S1-7.krv", "\\Storage Card\\S1-7.gps", "\\Storage Card\\S1-7.gpsw",
        "\\Storage Card\\S1-7.krv"}},
      {false, 0, 2, 1, "2026", "", "P3", 0.0f,
       {"\\DISK\\2026-P3.zph", "\\DISK\\2026-P3.gps", "\\DISK\\2026-P3.gpsw", "\\Storage_Card\\2026-P3.zph"}},
      {true, 0, 2, 61, "2026", "X", "P3", 2.0f,
       {"\\Storage_Card\\2026-P3.zph", "\\Storage_Card\\2026-P3.gps", "\\Storage_Card\\2026-P3.gpsw",
        "\\Storage_Card\\2026-P3.zph"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.testFile);
    fsys::remove_all(root_);
    fsys::create_directories(root_ / (c.board == 1 ? "nandflash" : "DISK"));
    if (c.card) fsys::create_directories(root_ / (c.board == 1 ? "Storage Card" : "Storage_Card"));
    const TestFileNames n = MakeTestFileNames(c.board, c.type, c.standard, c.serial, c.external, c.pile, c.route);
    EXPECT_EQ(n.testFile, c.names.testFile);
    EXPECT_EQ(n.moduleQueue, c.names.moduleQueue);
    EXPECT_EQ(n.boxQueue, c.names.boxQueue);
    EXPECT_EQ(n.sdCopy, c.names.sdCopy);
  }
}

TEST_F(Identity, RefusedEntriesChangeNothing) {
  // A committed set-up already in the channel: a refused OK must keep all of it.
  ASSERT_TRUE(CommitTestIdentity(p, Entry("OLD1", "P0", {1, 2}), 0.0f).accepted);
  std::ofstream(root_ / "nandflash" / "T9-P9.krv") << "x";  // a test that exists
  struct Case {
    int type, standard;
    TestIdentityEntry entry;
    const char* refusal;
  } cases[] = {
      {1, 1, Entry("S", "P1", {1}), kSerialLengthRefused},
      {1, 1, Entry("", "P1", {1}), kSerialLengthRefused},
      {1, 1, Entry("123456789012345678901", "P1", {1}), kSerialLengthRefused},
      {1, 1, Entry("S1", "", {1}), kPileLengthRefused},
      {1, 1, Entry("S1", "12345678901", {1}), kPileLengthRefused},
      {1, 1, Entry("A/B", "P1", {1}), kNameCharacterRefused},
      {1, 1, Entry("S1", "P:1", {1}), kNameCharacterRefused},
      {1, 1, Entry("S1", "P1", {1}, "E?"), kNameCharacterRefused},
      {1, 1, Entry("S1", " P1", {1}), kNameCharacterRefused},
      {1, 1, Entry("S1 ", "P1", {1}), kNameCharacterRefused},
      {1, 1, Entry("S1", "P1", {5}), kNoGaugeRefused},
      {0, 1, Entry("S1", "P1", {1}, "", "abc"), kPlateAreaRefused},
      {0, 1, Entry("S1", "P1", {1}, "", ""), kPlateAreaRefused},
      {0, 1, Entry("S1", "P1", {1}, "", "1.2.3"), kPlateAreaRefused},
      {0, 1, Entry("S1", "P1", {1}, "", "-0.5"), kPlateAreaRefused},
      {2, 1, Entry("S1", "P1", {1, 2}), kSelfBalancedGaugesRefused},
      {2, 61, Entry("S1", "P1", {3, 4, 5}), kSelfBalancedGaugesRefused},
      {4, 62, Entry("S1", "P1", {3}), kLateralGaugesRefused},
      {1, 1, Entry("T9", "P9", {1}), kTestFileExists},
      {1, 1, Entry("t9", "p9", {1}), kTestFileExists},  // the storage ignores case
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal + std::string(" ") + c.entry.serial + "/" + c.entry.pile);
    p.testType = c.type;
    p.standardCode = c.standard;
    const Snapshot before = snap();
    const TestIdentityResult r = CommitTestIdentity(p, c.entry, 3.0f);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.message, c.refusal);
    EXPECT_TRUE(r.warning);
    EXPECT_FALSE(r.hide);
    EXPECT_FALSE(r.showStandardDialog);
    EXPECT_TRUE(snap() == before);
  }
}

TEST_F(Identity, AcceptedEntryFillsTheChannelAndItsHeaderRecords) {
  p.testType = 0;
  JDQFile::SetHeaderText(p.testRecords, 10, 1, "old");
  JDQFile::SetHeaderText(p.testRecords, 55, 1, "old");
  const TestIdentityResult r = CommitTestIdentity(p, Entry("S1", "7", {1, 5}, "E9", "0.5"), 3.0f);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(r.message, kIdentityCommitted);
  EXPECT_FALSE(r.warning);
  EXPECT_TRUE(r.hide);
  EXPECT_TRUE(r.showStandardDialog);
  EXPECT_EQ(p.serialNumber, "S1");
  EXPECT_EQ(p.externalSerialNumber, "E9");
  EXPECT_EQ(p.pileLabel, "7");
  EXPECT_EQ(p.setupValue, 0.5f);
  EXPECT_EQ(p.testFilePath, "\\nandflash\\S1-7.krv");
  EXPECT_EQ(p.moduleQueuePath, "\\nandflash\\S1-7.gps");
  EXPECT_EQ(p.boxQueuePath, "\\nandflash\\E9-7.gpsw");
  EXPECT_EQ(p.sdCopyPath, "\\Storage Card\\S1-7.krv");
  EXPECT_EQ(p.channelMask.load(), 0x11);
  const std::array<int, 8> on = {1, 0, 0, 0, 1, 0, 0, 0};
  for (std::size_t k = 0; k < 8; ++k) EXPECT_EQ(p.displacementOn[k].load(), on[k]) << k;
  EXPECT_EQ(Text(p, 3, 2), "0.50");
  EXPECT_EQ(Text(p, 7, 3), "S1");
  EXPECT_EQ(Text(p, 8, 3), "E9");
  EXPECT_EQ(Text(p, 8, 1), "7");
  EXPECT_EQ(Text(p, 9, 1), "2026-12-09");
  EXPECT_EQ(Text(p, 36, 1), "0");
  for (int rec : {31, 32, 33, 34}) EXPECT_EQ(Text(p, rec, 1), rec == 31 ? "1" : "0") << rec;
  for (int rec : {21, 22, 23, 24}) EXPECT_EQ(Text(p, rec, 2), rec == 21 ? "1" : "0") << rec;
  for (int rec : {25, 26, 27, 28}) EXPECT_EQ(Text(p, rec, 2), "0") << rec;
  for (int rec : {10, 11, 48, 49, 50, 52, 53, 54, 55}) EXPECT_EQ(Text(p, rec, 1), "") << rec;
  // A two-character serial and a one-character pile are the shortest that pass; the test type of each
  // accepted commit lands in record 36.
  for (int type : {1, 2, 4, 5}) {
    p.testType = type;
    ASSERT_TRUE(CommitTestIdentity(p, Entry("AB", "9", {1, 3}), 0.0f).accepted) << type;
    EXPECT_EQ(Text(p, 36, 1), std::to_string(type));
  }
  EXPECT_EQ(p.boxQueuePath, "\\nandflash\\AB-9.gpsw");
  // Nothing is written to the storage by a commit.
  EXPECT_FALSE(platform::fs::exists(p.testFilePath));
}

TEST_F(Identity, DuringARunningTestOnlyTheGaugesChangeAndTheFileHeaderIsRewritten) {
  ASSERT_TRUE(CommitTestIdentity(p, Entry("RUN1", "P5", {1, 2, 3, 4}), 0.0f).accepted);
  JDQFile::SetHeaderText(p.testRecords, 9, 1, "2026-01-02");
  ASSERT_EQ(JDQFile::CreateTestFile(p.testFilePath, p.testRecords, p), 1);
  p.testRunning = 1;
  p.fileLoaded = 0;
  // Numbers that would be refused are not even looked at.
  const TestIdentityResult r = CommitTestIdentity(p, Entry("X", "", {2, 6}), 0.0f);
  ASSERT_TRUE(r.accepted);
  EXPECT_TRUE(r.hide);
  EXPECT_FALSE(r.showStandardDialog);
  EXPECT_TRUE(r.headerTextsRewritten);
  EXPECT_EQ(p.serialNumber, "RUN1");
  EXPECT_EQ(p.pileLabel, "P5");
  EXPECT_EQ(p.testFilePath, "\\nandflash\\RUN1-P5.krv");
  EXPECT_EQ(p.channelMask.load(), 0x22);
  std::vector<TestRecord> file;
  ASSERT_EQ(JDQFile::LoadTestFile(p.testFilePath, file), 1);
  EXPECT_EQ(JDQFile::HeaderText(file, 31, 1), "0");
  EXPECT_EQ(JDQFile::HeaderText(file, 32, 1), "1");
  EXPECT_EQ(JDQFile::HeaderText(file, 22, 2), "1");
  EXPECT_EQ(JDQFile::HeaderText(file, 7, 3), "RUN1");
  EXPECT_EQ(JDQFile::HeaderText(file, 9, 1), "2026-01-02") << "the test date stays while the test runs";
  // The parameter file holds the gauges as they are now (the end of the test rebuilds the channel
  // from its items), with the running test's path.
  EXPECT_TRUE(r.parameterFileSaved);
  Parameter stored;
  EXPECT_EQ(LoadStored(stored), "\\nandflash\\RUN1-P5.krv");
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(stored.ParameterList.item(k), k == 2 || k == 6 ? 1.0f : 0.0f) << k;

  // Gauges 1-4 all off are refused as in a set-up, whatever else is on; nothing changes.
  const Snapshot before = snap();
  const TestIdentityResult off = CommitTestIdentity(p, Entry("RUN1", "P5", {5, 6, 7, 8}), 0.0f);
  EXPECT_FALSE(off.accepted);
  EXPECT_EQ(off.message, kNoGaugeRefused);
  EXPECT_TRUE(off.warning);
  EXPECT_FALSE(off.hide);
  EXPECT_TRUE(snap() == before);
  ASSERT_EQ(JDQFile::LoadTestFile(p.testFilePath, file), 1);
  EXPECT_EQ(JDQFile::HeaderText(file, 32, 1), "1");
}

TEST_F(Identity, APlateAreaKeepsEveryDecimalTypedAndTheSetUpIsSaved) {
  p.testType = 0;
  const TestIdentityResult r = CommitTestIdentity(p, Entry("S1", "7", {1}, "", "0.785"), 0.0f);
  ASSERT_TRUE(r.accepted);
  EXPECT_EQ(Text(p, 3, 2), "0.785");
  // The set-up is in the parameter file with the name of the file its start will make, and a header
  // built from it again (as after a restart) holds the same area.
  EXPECT_TRUE(r.parameterFileSaved);
  Parameter stored;
  EXPECT_EQ(LoadStored(stored), "\\nandflash\\S1-7.krv");
  EXPECT_EQ(stored.serialNumber, "S1");
  EXPECT_EQ(stored.pileLabel, "7");
  ASSERT_EQ(JDQFile::BuildHeaderRecords(stored), 1);
  EXPECT_EQ(Text(stored, 3, 2), "0.785");
  JDQFile::RestoreFromHeader(stored, stored.testRecords);
  EXPECT_EQ(stored.setupValue, 0.785f);
  EXPECT_EQ(stored.testType.load(), 0);
}

TEST_F(Identity, LabelsByTestTypeAndStandard) {
  std::array<std::string, 8> l;
  ASSERT_TRUE(GaugeLabels(2, 1, l));
  EXPECT_EQ(l[2], "位移3↑");
  ASSERT_TRUE(GaugeLabels(2, 61, l));
  EXPECT_EQ(l[2], "位移3↓");
  EXPECT_EQ(l[4], "位移5↑");
  ASSERT_TRUE(GaugeLabels(4, 93, l));
  EXPECT_EQ(l[0], "位移1");
  ASSERT_TRUE(GaugeLabels(4, 62, l));
  EXPECT_EQ(l[0], "上位移1");
  EXPECT_EQ(l[3], "下位移2");
  l[0] = "keep";
  EXPECT_FALSE(GaugeLabels(6, 1, l));
  EXPECT_EQ(l[0], "keep");
  EXPECT_EQ(TestTypeCaption(2, 0), "√压板");
  EXPECT_EQ(TestTypeCaption(1, 0), "单桩抗拔");
}

}  // namespace
