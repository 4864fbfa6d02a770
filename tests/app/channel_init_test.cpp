// Start-up of a channel from its files: a first start writes the defaults, a stored file gives its
// settings back (every standard offered again, a paused test stays paused), a damaged file is reported
// and replaced, and a test that was running is taken up again with its readings and queue files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>

#include "app/channel_init.h"
#include "fixture.h"
#include "loop_fixture.h"
#include "model/datafiles.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

using namespace apptest;

namespace {

class ChannelInit : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = freshRoot();
    platform::fs::setRoot(root_);
    platform::clock::configure(platform::clock::Mode::Manual);
  }
  void TearDown() override {
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }
  void board1WithCard() {
    fsys::create_directories(root_ / "nandflash");
    fsys::create_directories(root_ / "Storage Card");
  }
  fsys::path root_;
};

}  // namespace

TEST_F(ChannelInit, FirstStartWritesTheDefaultsOfEachChannel) {
  board1WithCard();
  Parameter ch[3];
  for (int n = 1; n <= 3; ++n) {
    const ChannelFirstDisplay shown = InitChannelRecord(ch[n - 1], std::to_string(n), ch[0]);
    Parameter& p = ch[n - 1];
    SCOPED_TRACE(n);
    EXPECT_EQ(p.boardFlag.load(), 1);
    EXPECT_EQ(p.ParameterList.count(), ParameterList::kDefaultCount);
    EXPECT_EQ(p.ParameterList.item(83), static_cast<float>(n));
    EXPECT_FLOAT_EQ(p.ParameterList.item(18), 1.8f);
    EXPECT_EQ(p.standards.size(), 83u);
    EXPECT_EQ(p.versionText, "3.3.8");
    EXPECT_EQ(p.fullFrameOnModule.load(), 1);
    EXPECT_EQ(p.fullFrameOnBox.load(), 1);
    EXPECT_EQ(p.uploadOption.load(), 0);
    EXPECT_EQ(p.rotatingValue1.load(), 100);
    EXPECT_EQ(p.rotatingValue2.load(), 200);
    EXPECT_EQ(p.link.valveByte.load(), 18);
    EXPECT_EQ(p.link.refreshCounter, 67);
    EXPECT_EQ(p.queueBuild[0], 0xFF);
    EXPECT_EQ(p.queueBuild[127], 0xFF);
    EXPECT_EQ(p.testRunning.load(), 0);
    EXPECT_EQ(p.paused.load(), 0);
    EXPECT_EQ(p.linkReopenRequest.load(), 1);
    EXPECT_EQ(p.sdCheckRequest, 1);
    EXPECT_EQ(p.moduleQueuePath, ".gps");
    EXPECT_EQ(p.boxQueuePath, ".gpsw");
    EXPECT_EQ(p.sdCopyPath, "\\Storage Card\\");
    EXPECT_EQ(p.testRecords.size(), 74u);  // header records from the settings
    EXPECT_EQ(shown.level, "— —");
    EXPECT_EQ(shown.controlLoad, "0");
    // The parameter file is on the card and its copy in the program folder.
    const std::string file = "krv718" + std::to_string(n) + ".ini";
    EXPECT_TRUE(fsys::exists(root_ / "Storage Card" / file));
    EXPECT_TRUE(fsys::exists(root_ / "nandflash" / file));
    EXPECT_EQ(fsys::file_size(root_ / "Storage Card" / file), 820u);
  }
}

TEST_F(ChannelInit, StoredFileGivesItsSettingsBackAndOffersEveryStandardAgain) {
  fsys::create_directories(root_ / "DISK");  // board 0 without a card: data in "\DISK\"
  {
    Parameter src;
    defaultChannel(src, "2", 0);
    for (int k = 130; k <= 212; k += 3) src.ParameterList.set(k, 0.0f);
    src.ParameterList.set(66, 1.0f);   // paused by the operator
    src.ParameterList.set(100, 149.6f);
    src.ParameterList.set(28, 33.0f);
    ASSERT_EQ(JDQFile::SaveParameterFile("", "2", src), 1);
  }
  Parameter ch1, p;
  InitChannelRecord(ch1, "1", ch1);
  InitChannelRecord(p, "2", ch1);
  EXPECT_EQ(p.boardFlag.load(), 0);
  EXPECT_EQ(p.configCheck.load(), 1);
  EXPECT_FLOAT_EQ(p.ParameterList.item(28), 33.0f);
  for (int k = 130; k <= 212; ++k) EXPECT_EQ(p.ParameterList.item(k), 1.0f) << k;
  EXPECT_EQ(p.rotatingValue1.load(), 150);
  EXPECT_EQ(p.paused.load(), 1);
  EXPECT_EQ(p.sdCopyPath, "\\Storage_Card\\");
  EXPECT_TRUE(fsys::exists(root_ / "DISK" / "krv7181.ini"));
}

// Items of the file that no int can hold give the nearest int, not whatever the conversion makes.
TEST_F(ChannelInit, HugeRotatingValuesAreSaturated) {
  fsys::create_directories(root_ / "nandflash");
  {
    Parameter src;
    defaultChannel(src, "1", 1);
    src.ParameterList.set(100, 1.0e30f);
    src.ParameterList.set(101, -1.0e30f);
    src.ParameterList.set(56, 1.0e30f);
    ASSERT_EQ(JDQFile::SaveParameterFile("", "1", src), 1);
  }
  Parameter p;
  InitChannelRecord(p, "1", p);
  EXPECT_EQ(p.rotatingValue1.load(), std::numeric_limits<int>::max());
  EXPECT_EQ(p.rotatingValue2.load(), std::numeric_limits<int>::min());
}

TEST_F(ChannelInit, DamagedParameterFileIsReportedAndReplacedByTheDefaults) {
  fsys::create_directories(root_ / "nandflash");
  {
    Parameter src;
    defaultChannel(src, "1", 1);
    src.ParameterList.set(28, 33.0f);
    ASSERT_EQ(JDQFile::SaveParameterFile("", "1", src), 1);
  }
  std::string bytes;
  ASSERT_TRUE(platform::fs::readFile("\\nandflash\\krv7181.ini", bytes));
  bytes[300] ^= 0x5A;
  ASSERT_TRUE(platform::fs::writeFile("\\nandflash\\krv7181.ini", bytes));

  Parameter p;
  InitChannelRecord(p, "1", p);
  EXPECT_EQ(p.configCheck.load(), 4);  // the main loop reports it
  EXPECT_FLOAT_EQ(p.ParameterList.item(28), 40.0f);
  EXPECT_EQ(p.ParameterList.count(), ParameterList::kDefaultCount);
}

TEST_F(ChannelInit, RunningTestIsTakenUpAgainWithItsFilesAndReadings) {
  board1WithCard();
  StoredTest t;
  writeRunningTest("1", 1, t);
  Parameter p;
  const ChannelFirstDisplay shown = InitChannelRecord(p, "1", p);
  EXPECT_EQ(p.testFilePath, "\\Storage Card\\ABC.krv");
  EXPECT_EQ(p.moduleQueuePath, "\\Storage Card\\ABC.gps");
  EXPECT_EQ(p.boxQueuePath, "\\Storage Card\\ABC.gpsw");
  EXPECT_EQ(p.sdCopyPath, "\\Storage Card\\ABC.krv");
  EXPECT_EQ(p.procedure.lastTestFileName, "ABC.krv");
  EXPECT_EQ(p.testRunning.load(), 1);
  EXPECT_EQ(p.loadingPhase.load(), 2);
  EXPECT_EQ(p.readingCount, 3);
  EXPECT_EQ(p.nextReadingText, "09 : 00 : 00");
  EXPECT_EQ(p.paused.load(), 0);
  EXPECT_EQ(shown.serial, "SN-1");
  EXPECT_EQ(shown.pile, "P7");
  EXPECT_EQ(shown.controlLoad, "200");
  EXPECT_EQ(shown.level, "第0级");
}

TEST_F(ChannelInit, RouteThreeNamesTheBoxQueueByTheSerialAndPileNumbers) {
  board1WithCard();
  StoredTest t;
  t.route = 3.0f;
  t.serial = "S/1";
  t.pile = "P:2";
  writeRunningTest("1", 1, t);
  // Its queue file holds two records, one of them sent.
  std::string queue(2 * kQueueRecordSize, 'A');
  std::memcpy(&queue[0], "OVER", 4);
  ASSERT_TRUE(platform::fs::writeFile("\\Storage Card\\S_1-P_2.gpsw", queue));
  Parameter p;
  InitChannelRecord(p, "1", p);
  EXPECT_EQ(p.boxQueuePath, "\\Storage Card\\S_1-P_2.gpsw");
  EXPECT_EQ(p.boxQueue.size(), 1u);
  EXPECT_EQ(p.moduleQueuePath, "\\Storage Card\\ABC.gps");
}

// A running test whose file does not load is taken up from its whole "Backup\" copy (and the file
// mended from it where a file can stand); when neither serves, the channel starts idle with header
// records from its settings and a message that names the file.
TEST_F(ChannelInit, RunningTestIsTakenUpFromItsBackupOrNamedWhenNeitherServes) {
  const fsys::path file = "Storage Card/ABC.krv", copy = "Storage Card/Backup/ABC.krv";
  struct Case {
    const char* name;
    std::function<void(const fsys::path&)> damage;
    bool takenUp;
  };
  const Case cases[] = {
      {"a file of 72 records", [&](const fsys::path& r) { fsys::resize_file(r / file, 72 * 311); }, true},
      {"a folder in the file's place",
       [&](const fsys::path& r) {
         fsys::remove(r / file);
         fsys::create_directories(r / file);
       },
       true},
      {"a short file and no copy",
       [&](const fsys::path& r) {
         fsys::resize_file(r / file, 10 * 311);
         fsys::remove(r / copy);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fsys::remove_all(root_);
    fsys::create_directories(root_);
    board1WithCard();
    writeRunningTest("1", 1, StoredTest{});
    const std::uintmax_t whole = fsys::file_size(root_ / copy);
    c.damage(root_);
    Parameter p;
    InitChannelRecord(p, "1", p);
    if (c.takenUp) {
      EXPECT_EQ(p.testRunning.load(), 1);
      EXPECT_EQ(p.readingCount, 3);
      EXPECT_EQ(p.configCheck.load(), 2);
      if (fsys::is_regular_file(root_ / file)) EXPECT_EQ(fsys::file_size(root_ / file), whole);
      else EXPECT_TRUE(fsys::is_directory(root_ / file));
    } else {
      EXPECT_EQ(p.testRecords.size(), 74u);
      EXPECT_EQ(p.testRunning.load(), 0);
      EXPECT_EQ(p.configCheck.load(), 4);
      EXPECT_EQ(p.link.storageText, "1#试验数据文件ABC.krv无法读取，请将试验数据导出，及时送修！");
      EXPECT_EQ(fsys::file_size(root_ / file), 10u * 311u);  // left as it was
    }
  }
  // A test set up but never started has no file: the channel starts idle with its set-up, saying
  // nothing, whether or not an older test of the same name left its copy.
  for (bool olderCopy : {false, true}) {
    SCOPED_TRACE(olderCopy ? "an older copy" : "no copy");
    fsys::remove_all(root_);
    fsys::create_directories(root_);
    board1WithCard();
    writeRunningTest("1", 1, StoredTest{});
    fsys::remove(root_ / file);
    if (!olderCopy) fsys::remove(root_ / copy);
    Parameter p;
    InitChannelRecord(p, "1", p);
    EXPECT_EQ(p.testRunning.load(), 0);
    EXPECT_EQ(p.testFilePath, "\\Storage Card\\ABC.krv");
    EXPECT_EQ(p.fileLoaded.load(), 1) << "the set-up is open";
    EXPECT_TRUE(p.link.storageText.empty());
    EXPECT_NE(p.configCheck.load(), 4);
    EXPECT_FALSE(fsys::exists(root_ / file));
    EXPECT_EQ(fsys::exists(root_ / copy), olderCopy);
  }
}

// Under upload route 3 the box queue's name changes at start-up; the records still unsent in the
// file named at set-up go with it, each once.
TEST_F(ChannelInit, RouteThreeCarriesThePendingBoxRecordsOver) {
  board1WithCard();
  StoredTest t;
  t.route = 3.0f;
  writeRunningTest("1", 1, t);
  std::string old(3 * kQueueRecordSize, 'A');
  std::memcpy(&old[0], "OVER", 4);
  old[2 * kQueueRecordSize] = 'C';
  ASSERT_TRUE(platform::fs::writeFile("\\Storage Card\\ABC.gpsw", old));
  std::string named(kQueueRecordSize, 'N');
  ASSERT_TRUE(platform::fs::writeFile("\\Storage Card\\SN-1-P7.gpsw", named));
  Parameter p;
  InitChannelRecord(p, "1", p);
  EXPECT_EQ(p.boxQueuePath, "\\Storage Card\\SN-1-P7.gpsw");
  ASSERT_EQ(p.boxQueue.size(), 3u);
  EXPECT_EQ(p.boxQueue[0].bytes[0], 'N');
  EXPECT_EQ(p.boxQueue[1].bytes[0], 'A');
  EXPECT_EQ(p.boxQueue[2].bytes[0], 'C');
  // A second start carries nothing over again.
  Parameter q;
  InitChannelRecord(q, "1", q);
  EXPECT_EQ(q.boxQueue.size(), 3u);
  // Nor does one after a carry-over that a power loss cut before the old slots were marked.
  ASSERT_TRUE(platform::fs::writeFile("\\Storage Card\\ABC.gpsw", old));
  Parameter r;
  InitChannelRecord(r, "1", r);
  EXPECT_EQ(r.boxQueue.size(), 3u);
}

TEST(ChannelFirstDisplay, LevelTextAndControlLoad) {
  struct Case {
    int standard, phase, level;
    const char* text;
  } cases[] = {{62, 7, 3, "第3级"}, {1, 7, 3, "— —"}, {1, 5, 4, "第4级"}, {1, 0, 1, "— —"}, {144, 0, 1, "— —"}};
  for (const Case& c : cases) {
    Parameter p;
    p.standardCode = c.standard;
    p.loadingPhase = c.phase;
    p.link.levelNumber = c.level;
    EXPECT_EQ(FirstDisplayLevelText(p), c.text) << c.standard << " " << c.phase;
  }
  EXPECT_EQ(TrimmedLoad(12.5f), "12.5");
  EXPECT_EQ(TrimmedLoad(3.0f), "3");
  EXPECT_EQ(TrimmedLoad(1000.25f), "1000.25");
  EXPECT_EQ(TrimmedLoad(0.0f), "0");
}
