// Start-up of a channel from its files: a first start writes the defaults, a stored file gives its
// settings back (every standard offered again, a paused test stays paused), a damaged file is reported
// and replaced, and a test that was running is taken up again with its readings and queue files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
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
  // A fresh root of board 1 with a card, where channel 1's test was running.
  void afreshWithRunningTest() {
    fsys::remove_all(root_);
    fsys::create_directories(root_);
    board1WithCard();
    writeRunningTest("1", 1, StoredTest{});
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

namespace {

std::string hostBytes(const fsys::path& p) {
  if (!fsys::is_regular_file(p)) return {};
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void putBytes(const fsys::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Bytes no writer of the system leaves: a test file or a copy of random content.
std::string randomBytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(((i + seed) * 2654435761u) >> 13);
  return s;
}

// Reading k of a taken-up test recorded as the recorder writes it: its record, the end record after it
// and the running header texts, into the file and then its copy.
int recordReading(Parameter& p, int k) {
  std::vector<TestRecord>& r = p.testRecords;
  while (r.size() < static_cast<std::size_t>(k + 2)) r.push_back(JDQFile::BlankTestRecord());
  TestRecord& t = r[static_cast<std::size_t>(k)];
  const std::string marker = "09:" + std::to_string(10 + k % 50);
  std::memcpy(t.marker, marker.data(), 5);
  std::memcpy(t.stepMark, t.marker, 5);
  std::memset(t.time, 0, sizeof t.time);
  std::memcpy(t.time, "15", 2);
  t.valuesA[16] = 1.0f + 0.01f * static_cast<float>(k);
  JDQFile::SetEmptyMarks(r[static_cast<std::size_t>(k + 1)]);
  JDQFile::SetHeaderText(r, 4, 1, std::to_string(k + 1));  // a running text: the reading count
  return JDQFile::WriteReading(p.testFilePath, k, false, r, p);
}

// The readings of a test file's bytes: the whole records from the first on whose marker is a time.
int readingsIn(const std::string& bytes) {
  int k = 0;
  while ((k + 1) * 311 <= static_cast<int>(bytes.size()) && bytes[k * 311 + 2] == ':') ++k;
  return k;
}

}  // namespace

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
      {"a random file and no copy",
       [&](const fsys::path& r) {
         putBytes(r / file, randomBytes(81 * 311, 1));
         fsys::remove(r / copy);
       },
       false},
      {"a short file and a random copy",
       [&](const fsys::path& r) {
         fsys::resize_file(r / file, 10 * 311);
         putBytes(r / copy, randomBytes(81 * 311, 2));
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    afreshWithRunningTest();
    const std::uintmax_t whole = fsys::file_size(root_ / copy);
    c.damage(root_);
    const std::string damaged = hostBytes(root_ / file), damagedCopy = hostBytes(root_ / copy);
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
      EXPECT_TRUE(hostBytes(root_ / file) == damaged);  // both left as they were
      EXPECT_TRUE(hostBytes(root_ / copy) == damagedCopy);
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


// A power cut between the two writes of a reading (or anywhere in them): after the restart the test
// file and its copy hold the same readings, and the next reading leaves no hole in the copy.
TEST_F(ChannelInit, ACutBetweenTheTwoWritesOfAReadingLeavesFileAndCopyAlike) {
  board1WithCard();
  writeRunningTest("1", 1, StoredTest{});
  const fsys::path file = root_ / "Storage Card" / "ABC.krv", copy = root_ / "Storage Card" / "Backup" / "ABC.krv";
  {
    Parameter p;
    InitChannelRecord(p, "1", p);
    for (int k = 3; k < 80; ++k) ASSERT_EQ(recordReading(p, k), 1);
  }
  const std::string fileBefore = hostBytes(file), copyBefore = hostBytes(copy);
  ASSERT_EQ(fileBefore, copyBefore);
  auto putBack = [&] {
    std::ofstream(file, std::ios::binary) << fileBefore;
    std::ofstream(copy, std::ios::binary) << copyBefore;
    for (const fsys::path& f : {file, copy}) fsys::remove(fsys::path(f).concat(".jrn"));  // each run makes its own
  };
  // The steps of the reading's writes, and where the copy's begin (the file's alone, without a copy).
  auto stepsOfReading = [&](bool withCopy) {
    putBack();
    if (!withCopy) fsys::remove(copy);
    Parameter p;
    InitChannelRecord(p, "1", p);
    platform::fs::FaultBackend dry;
    platform::fs::ScopedBackend use(dry);
    dry.cutPowerAfter(1LL << 40);
    EXPECT_EQ(recordReading(p, 80), 1);
    return dry.steps();
  };
  const long long fileSteps = stepsOfReading(false), allSteps = stepsOfReading(true);
  ASSERT_GT(allSteps, fileSteps + 2);
  std::vector<long long> cuts = {fileSteps - 1, fileSteps, fileSteps + 1, (fileSteps + allSteps) / 2, allSteps - 1};
  for (long long at = 0; at < allSteps; at += allSteps / 17) cuts.push_back(at);
  for (const long long at : cuts) {
    SCOPED_TRACE(at);
    putBack();
    {
      Parameter p;
      InitChannelRecord(p, "1", p);
      platform::fs::FaultBackend cut;
      platform::fs::ScopedBackend use(cut);
      cut.loseUnsyncedOnCut(true);
      cut.cutPowerAfter(at);
      recordReading(p, 80);
    }
    Parameter q;
    InitChannelRecord(q, "1", q);
    EXPECT_EQ(q.testRunning.load(), 1);
    const int taken = readingsIn(hostBytes(file));
    EXPECT_TRUE(taken == 80 || taken == 81) << taken;
    EXPECT_EQ(q.readingCount, taken);
    EXPECT_TRUE(hostBytes(copy) == hostBytes(file));
    ASSERT_EQ(recordReading(q, taken), 1);
    EXPECT_EQ(readingsIn(hostBytes(copy)), taken + 1);
    EXPECT_TRUE(hostBytes(copy) == hostBytes(file));
  }
}

// A copy damaged otherwise is mended from the file at start-up, and a reading the file lacks and the
// copy holds whole goes into the file, as does a record of the copy where the file's is damaged; a
// copy that is no test file gives the file nothing.
TEST_F(ChannelInit, FileAndCopyAreMendedFromEachOtherAtStartUp) {
  const fsys::path file = "Storage Card/ABC.krv", copy = "Storage Card/Backup/ABC.krv";
  auto blank = [](std::string& bytes, int k) {
    std::memcpy(&bytes[static_cast<std::size_t>(k) * 311], "11111", 5);
  };
  struct Case {
    const char* name;
    std::function<void(std::string& file, std::string& copy)> damage;
  };
  const Case cases[] = {
      {"a hole in the copy", [&](std::string&, std::string& c) { blank(c, 77); }},
      {"a copy a whole record short", [](std::string&, std::string& c) { c.resize(c.size() - 2 * 311); }},
      {"a copy with a torn last record", [](std::string&, std::string& c) { c.resize(c.size() - 100); }},
      {"a file a reading behind its copy",
       [&](std::string& f, std::string&) {
         f.resize(f.size() - 311);
         blank(f, 79);
       }},
      {"a copy of random bytes and longer", [](std::string& f, std::string& c) { c = randomBytes(f.size() + 5 * 311, 3); }},
      {"a random file as long, its copy whole", [](std::string& f, std::string&) { f = randomBytes(f.size(), 4); }},
      {"a damaged record in the file", [](std::string& f, std::string&) { f.replace(40 * 311, 5, "\x01\x02?x!"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    afreshWithRunningTest();
    {
      Parameter p;
      InitChannelRecord(p, "1", p);
      for (int k = 3; k < 80; ++k) ASSERT_EQ(recordReading(p, k), 1);
    }
    const std::string whole = hostBytes(root_ / file);
    std::string f = whole, b = whole;
    c.damage(f, b);
    putBytes(root_ / file, f);
    putBytes(root_ / copy, b);
    Parameter p;
    InitChannelRecord(p, "1", p);
    EXPECT_EQ(p.testRunning.load(), 1);
    EXPECT_EQ(p.readingCount, 80);
    EXPECT_EQ(readingsIn(hostBytes(root_ / file)), 80);
    EXPECT_TRUE(hostBytes(root_ / copy) == hostBytes(root_ / file));
    EXPECT_TRUE(hostBytes(root_ / file) == whole);
    // The channel holds the mended readings (their marks and the values read; the restore works out
    // the rest again), and the end record after them.
    ASSERT_EQ(p.testRecords.size() * 311, whole.size() + 311);
    for (std::size_t k = 74; k + 1 < p.testRecords.size(); ++k) {
      std::string rec(311, '\0');
      JDQFile::EncodeTestRecord(p.testRecords[k], reinterpret_cast<byte*>(rec.data()));
      EXPECT_TRUE(rec.compare(0, 69, whole, k * 311, 69) == 0) << "record " << k;
    }
    EXPECT_EQ(std::string(p.testRecords.back().marker, 5), "11111");
  }
  // No copy (the card's copy was never made): nothing is made up.
  fsys::remove(root_ / copy);
  Parameter p;
  InitChannelRecord(p, "1", p);
  EXPECT_EQ(p.readingCount, 80);
  EXPECT_FALSE(fsys::exists(root_ / copy));
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

  // The name of the serial and pile numbers in another case than the set-up name is the same file:
  // its unsent slots stay unsent.
  const std::string unsent(2 * kQueueRecordSize, 'U');
  ASSERT_TRUE(platform::fs::writeFile("\\Storage Card\\sn-1-p7.gpsw", unsent));
  EXPECT_TRUE(CarryOverPendingSlots("\\Storage Card\\sn-1-p7.gpsw", "\\STORAGE CARD\\SN-1-P7.gpsw"));
  std::string after;
  ASSERT_TRUE(platform::fs::readFile("\\Storage Card\\SN-1-P7.gpsw", after));
  EXPECT_EQ(after, unsent);
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
