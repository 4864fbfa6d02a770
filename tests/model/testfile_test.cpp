#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model/journal.h"
#include "model_fixture.h"
#include "platform/fs/fs.h"

namespace fs = platform::fs;

namespace {

// A record whose every field differs from the same field of any other record.
TestRecord distinct(int k) {
  TestRecord r = JDQFile::BlankTestRecord();
  std::snprintf(r.marker, 5, "%02d:", k % 100);
  r.marker[4] = '5';
  for (int i = 0; i < 18; ++i) r.valuesA[i] = static_cast<float>(k * 1000 + i);
  std::memcpy(r.time, "00012", 5);
  std::snprintf(r.text1, 20, "one-%d", k);
  std::snprintf(r.text2, 20, "two-%d", k);
  std::snprintf(r.text3, 60, "three-%d", k);
  std::snprintf(r.text4, 20, "four-%d", k);
  std::memcpy(r.stepMark, r.marker, 5);
  for (int i = 0; i < 16; ++i) r.valuesB[i] = -static_cast<float>(k * 1000 + i);
  std::snprintf(r.tail1, 20, "tail1-%d", k);
  std::snprintf(r.tail2, 20, "tail2-%d", k);
  return r;
}

std::string bytesOf(const TestRecord& r) {
  std::string s(kTestRecordDiskSize, '\0');
  JDQFile::EncodeTestRecord(r, reinterpret_cast<byte*>(s.data()));
  return s;
}

bool sameRecord(const TestRecord& a, const TestRecord& b) { return bytesOf(a) == bytesOf(b); }

std::vector<TestRecord> headerList() {
  std::vector<TestRecord> list;
  for (int k = 0; k < kHeaderRecordCount; ++k) {
    TestRecord r = JDQFile::BlankTestRecord();
    std::snprintf(r.text1, 20, "h1-%d", k);
    std::snprintf(r.text2, 20, "h2-%d", k);
    std::snprintf(r.text3, 60, "h3-%d", k);
    std::snprintf(r.tail1, 20, "t-%d", k);
    list.push_back(r);
  }
  return list;
}

// Puts a reading into list record k (keeping its header texts) and marks the next record as the end.
void addReading(std::vector<TestRecord>& list, int k) {
  const TestRecord d = distinct(k);
  TestRecord& r = list[static_cast<std::size_t>(k)];
  std::memcpy(r.marker, d.marker, 5);
  std::memcpy(r.valuesA, d.valuesA, sizeof r.valuesA);
  std::memcpy(r.time, d.time, 5);
  std::memcpy(r.stepMark, d.stepMark, 5);
  std::memcpy(r.valuesB, d.valuesB, sizeof r.valuesB);
  if (static_cast<std::size_t>(k + 1) >= list.size()) list.push_back(JDQFile::BlankTestRecord());
  JDQFile::SetEmptyMarks(list[static_cast<std::size_t>(k + 1)]);
}

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(INSTRUMENT_SOURCE_DIR) + "/tests/model/fixtures/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const std::string kPath = "\\Storage Card\\T1.krv";
const std::string kBackup = "\\Storage Card\\Backup\\T1.krv";

class TestFile : public DeviceRoot {
 protected:
  void SetUp() override {
    DeviceRoot::SetUp();
    useMemoryRoot();
    makeFolder("\\nandflash\\");
    makeFolder("\\Storage Card\\");
    p_.boardFlag = 1;
  }
  Parameter p_;
};

}  // namespace

TEST(TestRecordLayout, FieldsLieAtTheirFileAndMemoryOffsets) {
  const TestRecord r = distinct(7);
  const std::string b = bytesOf(r);
  ASSERT_EQ(b.size(), 311u);
  struct Field {
    std::size_t fileOffset, memOffset, size;
  };
  const Field fields[] = {
      {0, offsetof(TestRecord, marker), 5},     {5, offsetof(TestRecord, valuesA), 72},
      {77, offsetof(TestRecord, time), 5},      {82, offsetof(TestRecord, text1), 20},
      {102, offsetof(TestRecord, text2), 20},   {122, offsetof(TestRecord, text3), 60},
      {182, offsetof(TestRecord, text4), 20},   {202, offsetof(TestRecord, stepMark), 5},
      {207, offsetof(TestRecord, valuesB), 64}, {271, offsetof(TestRecord, tail1), 20},
      {291, offsetof(TestRecord, tail2), 20},
  };
  const char* mem = reinterpret_cast<const char*>(&r);
  for (const Field& f : fields) {
    EXPECT_EQ(0, std::memcmp(b.data() + f.fileOffset, mem + f.memOffset, f.size)) << "file offset " << f.fileOffset;
  }
  EXPECT_EQ(sizeof(TestRecord), 316u);
  EXPECT_EQ(offsetof(TestRecord, valuesA), 8u);
  EXPECT_EQ(offsetof(TestRecord, valuesB), 212u);
  // Little-endian IEEE single precision: value 1 of record 7 is 7001.0f = 0x45DAC800.
  EXPECT_EQ(std::string(b.data() + 9, 4), std::string("\x00\xC8\xDA\x45", 4));

  TestRecord back;
  JDQFile::DecodeTestRecord(reinterpret_cast<const byte*>(b.data()), false, back);
  EXPECT_TRUE(sameRecord(r, back));
}

TEST_F(TestFile, CreateWritesTheHeaderToTheFileAndItsBackup) {
  const std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  const std::string file = readAll(kPath);
  ASSERT_EQ(file.size(), 74u * 311u);
  for (int k = 0; k < 74; ++k) EXPECT_EQ(file.substr(k * 311, 311), bytesOf(list[k])) << k;
  EXPECT_EQ(readAll(kBackup), file);

  std::vector<TestRecord> loaded;
  ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  ASSERT_EQ(loaded.size(), 75u);
  for (int k = 0; k < 74; ++k) EXPECT_TRUE(sameRecord(loaded[k], list[k])) << k;
}

TEST_F(TestFile, WithoutSdCardOnlyTheTestFileIsWritten) {
  std::filesystem::remove_all(root_ / "Storage Card");
  const std::string path = "\\nandflash\\T2.krv";
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(path, list, p_), 1);
  addReading(list, 0);
  EXPECT_EQ(JDQFile::WriteRecord(path, 0, list, p_), 1);
  EXPECT_FALSE(fs::exists("\\Storage Card\\"));
  EXPECT_EQ(readAll(path).substr(0, 311), bytesOf(list[0]));
}

TEST_F(TestFile, ReadingsFillRecordsInOrderAndTheFileEndsWithAnEndRecord) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  for (int k = 0; k < 76; ++k) {
    addReading(list, k);
    ASSERT_EQ(JDQFile::WriteRecord(kPath, k, list, p_), 1);
    if (k + 1 >= 74) {
      ASSERT_EQ(JDQFile::WriteRecord(kPath, k + 1, list, p_), 1);
    }
  }
  const std::string file = readAll(kPath);
  ASSERT_EQ(file.size(), 77u * 311u);
  EXPECT_EQ(readAll(kBackup), file);
  for (int k = 0; k < 77; ++k) EXPECT_EQ(file.substr(k * 311, 311), bytesOf(list[k])) << k;
  // The header texts of a record that holds a reading stay.
  EXPECT_STREQ(list[5].text3, "h3-5");
  EXPECT_EQ(file.substr(5 * 311 + 122, 5), std::string("h3-5\0", 5));

  std::vector<TestRecord> loaded;
  ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  ASSERT_EQ(loaded.size(), 78u);
  const TestRecord& end = loaded.back();
  EXPECT_EQ(std::string(end.marker, 5), "11111");
  EXPECT_EQ(std::string(end.stepMark, 5), "11111");
  EXPECT_EQ(std::string(end.time, 5), "99999");
  EXPECT_EQ(0, std::memcmp(end.valuesA, loaded[76].valuesA, sizeof end.valuesA));
  EXPECT_STREQ(end.tail1, loaded[76].tail1);
}

TEST_F(TestFile, WriteRecordFillsAGapFromTheListAndRefusesBadRequests) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  for (int k = 74; k < 80; ++k) list.push_back(distinct(k));
  ASSERT_EQ(JDQFile::WriteRecord(kPath, 78, list, p_), 1);
  const std::string file = readAll(kPath);
  ASSERT_EQ(file.size(), 79u * 311u);
  for (int k = 74; k <= 78; ++k) EXPECT_EQ(file.substr(k * 311, 311), bytesOf(list[k])) << k;

  EXPECT_EQ(JDQFile::WriteRecord(kPath, 80, list, p_), 0);  // not in the list
  EXPECT_EQ(JDQFile::WriteRecord(kPath, -1, list, p_), 0);
  EXPECT_EQ(JDQFile::WriteRecord("\\Storage Card\\none.krv", 3, list, p_), 0);
  EXPECT_FALSE(fs::exists("\\Storage Card\\none.krv"));
  EXPECT_EQ(JDQFile::CreateTestFile(kPath, std::vector<TestRecord>(73, JDQFile::BlankTestRecord()), p_), 0);
  EXPECT_EQ(readAll(kPath), file);
}

TEST_F(TestFile, TextRewritesTouchOnlyTheirBytes) {
  struct Case {
    const char* name;
    int (*rewrite)(const std::string&, int, const std::vector<TestRecord>&, const Parameter&);
    int number;
    std::vector<int> records;
    std::size_t offset, size;
  };
  std::vector<int> some = {4, 7, 13, 14, 15, 16, 18, 31};
  for (int i = 41; i <= 62; ++i) some.push_back(i);
  std::vector<int> all, first16;
  for (int i = 0; i < 74; ++i) all.push_back(i);
  for (int i = 0; i < 16; ++i) first16.push_back(i);
  const Case cases[] = {
      {"all header texts", JDQFile::UpdateAllHeaderTexts, 0, all, 82, 100},
      {"extra texts", JDQFile::UpdateHeaderExtraTexts, 0, first16, 271, 20},
      {"running texts", JDQFile::UpdateHeaderTexts, 0, some, 82, 100},
      {"one record", JDQFile::UpdateOneRecordText, 51, {51}, 82, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TestRecord> list = headerList();
    ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
    for (int k = 0; k < 3; ++k) {
      addReading(list, k);
      ASSERT_EQ(JDQFile::WriteRecord(kPath, k, list, p_), 1);
    }
    const std::string before = readAll(kPath);
    // Every text of the list changes; the file must take exactly the rewritten ranges.
    std::vector<TestRecord> changed = list;
    for (int k = 0; k < 74; ++k) {
      std::snprintf(changed[k].text1, 20, "N1-%d", k);
      std::snprintf(changed[k].text2, 20, "N2-%d", k);
      std::snprintf(changed[k].text3, 60, "N3-%d", k);
      std::snprintf(changed[k].tail1, 20, "NT-%d", k);
      changed[k].valuesA[0] = 99.0f;  // never written by a rewrite
    }
    ASSERT_EQ(c.rewrite(kPath, c.number, changed, p_), 1);
    std::string expected = before;
    for (int k : c.records) {
      expected.replace(k * 311 + c.offset, c.size, bytesOf(changed[k]).substr(c.offset, c.size));
    }
    EXPECT_EQ(readAll(kPath), expected);
    EXPECT_EQ(readAll(kBackup), expected);
    EXPECT_FALSE(filejournal::Pending(kPath));
  }
}

TEST_F(TestFile, LoadNeedsSeventyThreeWholeRecords) {
  std::vector<TestRecord> list = headerList();
  std::string bytes;
  for (int k = 0; k < 73; ++k) bytes += bytesOf(list[k]);
  writeAll("\\Storage Card\\A.krv", bytes + std::string(200, 'x'));  // a partial record is ignored
  writeAll("\\Storage Card\\B.krv", bytes.substr(0, 72 * 311));

  std::vector<TestRecord> loaded = {distinct(1)};
  EXPECT_EQ(JDQFile::LoadTestFile("\\Storage Card\\B.krv", loaded), 0);
  ASSERT_EQ(loaded.size(), 1u);  // untouched
  EXPECT_EQ(JDQFile::LoadTestFile("\\Storage Card\\none.krv", loaded), 0);
  ASSERT_EQ(loaded.size(), 1u);
  ASSERT_EQ(JDQFile::LoadTestFile("\\Storage Card\\A.krv", loaded), 1);
  EXPECT_EQ(loaded.size(), 74u);
}

TEST_F(TestFile, OlderKbxFileIsReadWith267ByteRecords) {
  const std::string old = fixture("test_old.kbx");
  ASSERT_EQ(old.size(), 73u * 267u);
  writeAll("\\Storage Card\\OLD.kbx", old);
  writeAll("\\Storage Card\\OLD.KBX", old);  // upper case: read as 311-byte records

  std::vector<TestRecord> loaded;
  ASSERT_EQ(JDQFile::LoadTestFile("\\Storage Card\\OLD.kbx", loaded), 1);
  ASSERT_EQ(loaded.size(), 74u);
  // A running test of that layout is taken up as loaded, its file as it was.
  Parameter p;
  p.boardFlag = 1;
  EXPECT_TRUE(JDQFile::MendTestCopies("\\Storage Card\\OLD.kbx", loaded, p));
  EXPECT_EQ(loaded.size(), 74u);
  EXPECT_EQ(readAll("\\Storage Card\\OLD.kbx"), old);
  for (int k : {0, 2, 40, 72}) {
    SCOPED_TRACE(k);
    const TestRecord& r = loaded[k];
    const std::string marker = k >= 3 ? "11111" : (k == 0 ? "08:00" : "08:02");
    EXPECT_EQ(std::string(r.marker, 5), marker);
    EXPECT_EQ(std::string(r.stepMark, 5), marker);
    for (int i = 0; i < 18; ++i) {
      const bool kept = i != 1 && i != 14 && i != 15;
      EXPECT_EQ(r.valuesA[i], kept ? static_cast<float>(k * 100 + i) : 0.0f) << "A" << i;
    }
    for (int i = 0; i < 16; ++i) {
      const bool kept = i != 1 && i < 14;
      EXPECT_EQ(r.valuesB[i], kept ? -static_cast<float>(k * 100 + i) : 0.0f) << "B" << i;
    }
    const std::string n = std::to_string(k);
    EXPECT_EQ(std::string(r.text1), std::string("T1-").append(n));
    EXPECT_EQ(std::string(r.text2), std::string("T2-").append(n));
    EXPECT_EQ(std::string(r.text3), std::string("T3-").append(n));
    EXPECT_EQ(std::string(r.text4, 20), std::string(20, '\0'));
    EXPECT_EQ(std::string(r.tail1), std::string("A").append(n));
    EXPECT_EQ(std::string(r.tail2), std::string("B").append(n));
  }
  EXPECT_EQ(std::string(loaded[0].time, 5), std::string("0\0\0\0\0", 5));
  EXPECT_EQ(std::string(loaded[2].time, 5), std::string("10\0\0\0", 5));

  std::vector<TestRecord> upper;
  EXPECT_EQ(JDQFile::LoadTestFile("\\Storage Card\\OLD.KBX", upper), 0);  // 62 records of 311 bytes
}

// A power cut at every step of writing a reading (over the end record, then the new end record
// appended, each to the file and its backup): a reload keeps every earlier record, and the new one is
// either wholly there or not at all.
TEST_F(TestFile, PowerCutWhileWritingAReadingLosesNothingWrittenBefore) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  for (int k = 0; k < 75; ++k) {
    addReading(list, k);
    ASSERT_EQ(JDQFile::WriteRecord(kPath, k, list, p_), 1);
    if (k + 1 >= 74) {
      ASSERT_EQ(JDQFile::WriteRecord(kPath, k + 1, list, p_), 1);
    }
  }
  const std::string before = readAll(kPath);
  ASSERT_EQ(before.size(), 76u * 311u);  // readings 0..74, end record 75
  const std::vector<TestRecord> oldList = list;
  std::vector<TestRecord> newList = list;
  addReading(newList, 75);  // reading 75 over the end record, end record 76

  auto writeReading = [&] {
    JDQFile::WriteRecord(kPath, 75, newList, p_);
    JDQFile::WriteRecord(kPath, 76, newList, p_);
  };
  fs::FaultBackend fault;
  long long total = 0;
  {
    fs::ScopedBackend use(fault);
    fault.cutPowerAfter(1LL << 40);
    writeReading();
    total = fault.steps();
  }
  ASSERT_GT(total, 4 * 311);
  writeAll(kPath, before);
  writeAll(kBackup, before);

  for (long long cut = 0; cut <= total; ++cut) {
    SCOPED_TRACE(cut);
    {
      fs::ScopedBackend use(fault);
      fault.restorePower();
      fault.cutPowerAfter(cut);
      writeReading();
      fault.restorePower();
    }
    for (const std::string& path : {kPath, kBackup}) {
      std::vector<TestRecord> loaded;
      ASSERT_EQ(JDQFile::LoadTestFile(path, loaded), 1) << path;
      ASSERT_GE(loaded.size(), 77u) << path;
      for (int k = 0; k < 75; ++k) ASSERT_TRUE(sameRecord(loaded[k], oldList[k])) << path << " record " << k;
      const bool written = sameRecord(loaded[75], newList[75]);
      ASSERT_TRUE(written || sameRecord(loaded[75], oldList[75])) << path << " record 75 torn";
      int readings = 0;
      while (std::string(loaded[readings].marker, 5) != "11111") ++readings;
      ASSERT_EQ(readings, written ? 76 : 75) << path;
    }
    // Back to the state before the reading for the next cut.
    fs::deleteFile(kPath + ".jnl");
    fs::deleteFile(kBackup + ".jnl");
    writeAll(kPath, before);
    writeAll(kBackup, before);
  }
}

// A header text rewrite cut at every step leaves the old texts or the new ones, never a mix.
TEST_F(TestFile, PowerCutWhileRewritingATextLeavesOldOrNew) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  const std::string before = readAll(kPath);
  std::vector<TestRecord> changed = list;
  std::snprintf(changed[51].text1, 20, "2026-12-10 09:00");
  std::snprintf(changed[51].text3, 60, "another value text");

  fs::FaultBackend fault;
  long long total = 0;
  {
    fs::ScopedBackend use(fault);
    fault.cutPowerAfter(1LL << 40);
    JDQFile::UpdateOneRecordText(kPath, 51, changed, p_);
    total = fault.steps();
  }
  for (long long cut = 0; cut <= total; ++cut) {
    SCOPED_TRACE(cut);
    fs::deleteFile(kPath + ".jnl");
    writeAll(kPath, before);
    {
      fs::ScopedBackend use(fault);
      fault.restorePower();
      fault.cutPowerAfter(cut);
      JDQFile::UpdateOneRecordText(kPath, 51, changed, p_);
      fault.restorePower();
    }
    std::vector<TestRecord> loaded;
    ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
    ASSERT_TRUE(sameRecord(loaded[51], list[51]) || sameRecord(loaded[51], changed[51]));
    EXPECT_FALSE(fs::exists(kPath + ".jnl"));  // the load finished or dropped the journal
  }
}

// A write that fails after the file was opened is reported as a failure, not only a failed open.
TEST_F(TestFile, FailedWritesAreReportedAsFailure) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  for (int k = 74; k < 76; ++k) list.push_back(distinct(k));
  // What the file holds unchanged is not written again: the list differs where the cases write.
  list[3].valuesA[0] = 12.5f;
  std::snprintf(list[10].text1, 20, "changed");
  p_.testFilePath = kPath;
  p_.moduleQueuePath = "\\Storage Card\\T1.gps";
  p_.testRunning = 1;
  p_.exportRecords = {distinct(1)};
  struct Case {
    const char* name;
    std::function<int()> write;
  };
  const Case cases[] = {
      {"create", [&] { return JDQFile::CreateTestFile(kPath, list, p_); }},
      {"reading over a record", [&] { return JDQFile::WriteRecord(kPath, 3, list, p_); }},
      {"reading at the end", [&] { return JDQFile::WriteRecord(kPath, 75, list, p_); }},
      {"header texts", [&] { return JDQFile::UpdateAllHeaderTexts(kPath, 0, list, p_); }},
      {"queue append", [&] { return JDQFile::WriteQueueFile("", 0, 0, p_); }},
      {"jack data", [&] { return JDQFile::SaveJackData({}, p_); }},
      {"text export", [&] { return AppendTextExport(p_); }},
  };
  fs::FaultBackend fault;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::ScopedBackend use(fault);
    fault.restorePower();
    fault.failCall(fs::FaultBackend::Call::Write, 0);
    EXPECT_EQ(c.write(), 0);
  }
}

// A whole journal whose patch lies past the end of its file (the file was cut short after the
// journal was written) is no journal of that file: it is discarded and the file never grows. A file
// longer than any test is refused without being read.
TEST_F(TestFile, JournalPastTheEndIsDiscardedAndHugeFilesAreRefused) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  addReading(list, 80);
  for (int k = 74; k < 90; ++k) list.push_back(distinct(k));
  ASSERT_EQ(JDQFile::WriteRecord(kPath, 89, list, p_), 1);
  {
    // The patch of record 85 is journalled, but never reaches the file (write 0 is the journal's).
    list[85].valuesA[0] += 1.0f;
    fs::FaultBackend fault;
    fs::ScopedBackend use(fault);
    fault.failCall(fs::FaultBackend::Call::Write, 1);
    EXPECT_EQ(JDQFile::WriteRecord(kPath, 85, list, p_), 0);
  }
  ASSERT_TRUE(filejournal::Pending(kPath));
  const std::string shortFile = readAll(kPath).substr(0, 80 * 311);
  writeAll(kPath, shortFile);

  std::vector<TestRecord> loaded;
  ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  EXPECT_EQ(loaded.size(), 81u);
  EXPECT_EQ(readAll(kPath), shortFile);
  EXPECT_FALSE(filejournal::Pending(kPath));

  // A journal that reaches beyond the file is not applied by a writer either.
  {
    fs::FaultBackend fault;
    fs::ScopedBackend use(fault);
    list[79].valuesA[0] += 1.0f;
    fault.failCall(fs::FaultBackend::Call::Write, 1);
    EXPECT_EQ(JDQFile::WriteRecord(kPath, 79, list, p_), 0);
  }
  ASSERT_TRUE(filejournal::Pending(kPath));
  writeAll(kPath, shortFile.substr(0, 75 * 311));
  EXPECT_EQ(JDQFile::UpdateAllHeaderTexts(kPath, 0, list, p_), 1);
  EXPECT_EQ(fs::fileSize(kPath), 75 * 311);

  // 20,001 records and an end record are the most a test can leave.
  const std::string record = bytesOf(list[0]);
  std::string big;
  for (int k = 0; k < JDQFile::kMaxTestRecords + 1; ++k) big += record;
  writeAll(kPath, big);
  EXPECT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  writeAll(kPath, big + record);
  loaded = {distinct(1)};
  EXPECT_EQ(JDQFile::LoadTestFile(kPath, loaded), 0);
  EXPECT_EQ(loaded.size(), 1u);
}

// A reading with its header texts is one set of writes per file: two flushes each (the journal's
// entry, the file), no folder listing, and nothing written where the file already
// holds the bytes.
TEST_F(TestFile, AReadingIsOneSetOfWritesAndUnchangedBytesAreNotWrittenAgain) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  for (int k = 0; k < 75; ++k) {
    addReading(list, k);
    ASSERT_EQ(JDQFile::WriteReading(kPath, k, k == 1, list, p_), 1);
  }
  addReading(list, 75);
  for (int k : {31, 41, 45, 56}) std::snprintf(list[k].text1, 20, "state-%d", k);
  const fs::Counters c0 = fs::counters();
  ASSERT_EQ(JDQFile::WriteReading(kPath, 75, false, list, p_), 1);
  const fs::Counters c1 = fs::counters();
  // The journals are there from the readings before: each file's entry and the file, no folder.
  EXPECT_EQ(c1.flushes - c0.flushes, 4);
  EXPECT_EQ(c1.listings - c0.listings, 0);
  const std::string file = readAll(kPath);
  ASSERT_EQ(file.size(), 77u * 311u);
  for (int k = 0; k < 77; ++k) ASSERT_EQ(file.substr(k * 311, 311), bytesOf(list[k])) << k;
  EXPECT_EQ(readAll(kBackup), file);
  EXPECT_FALSE(filejournal::Pending(kPath));
  EXPECT_FALSE(filejournal::Pending(kBackup));

  // The same again: the file holds every byte already, so nothing is written or flushed.
  ASSERT_EQ(JDQFile::WriteReading(kPath, 75, true, list, p_), 1);
  ASSERT_EQ(JDQFile::UpdateAllHeaderTexts(kPath, 0, list, p_), 1);
  EXPECT_EQ(fs::counters().flushes, c1.flushes);
  EXPECT_EQ(readAll(kPath), file);
}

// A power cut at every step of writing a reading together with the running header texts and the
// trailing texts (the test file, then its backup), with and without the loss of unflushed data: a
// reload keeps every earlier record; the reading and every text it came with are there together or
// not at all; the end record after it is whole or missing (the loader then adds one).
TEST_F(TestFile, PowerCutWhileWritingAReadingWithItsHeaderTextsLeavesAllOldOrAllNew) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  for (int k = 0; k < 75; ++k) {
    addReading(list, k);
    ASSERT_EQ(JDQFile::WriteReading(kPath, k, false, list, p_), 1);
  }
  const std::string before = readAll(kPath);
  ASSERT_EQ(before.size(), 76u * 311u);
  const std::vector<TestRecord> oldList = list;
  std::vector<TestRecord> newList = list;
  addReading(newList, 75);
  for (int k : {0, 9, 15}) std::snprintf(newList[k].tail1, 20, "new-tail-%d", k);
  for (int k : {31, 47, 62}) {
    std::snprintf(newList[k].text1, 20, "new1-%d", k);
    std::snprintf(newList[k].text3, 60, "new3-%d", k);
  }
  auto texts = [](const TestRecord& r) {
    return std::string(r.text1, 100) + std::string(r.tail1, 20);
  };

  fs::FaultBackend fault;
  for (const bool loseUnsynced : {false, true}) {
    SCOPED_TRACE(loseUnsynced ? "unflushed data lost" : "unflushed data kept");
    long long total = 0;
    writeAll(kPath, before);
    writeAll(kBackup, before);
    {
      fs::ScopedBackend use(fault);
      fault.restorePower();
      fault.cutPowerAfter(1LL << 40);
      JDQFile::WriteReading(kPath, 75, true, newList, p_);
      total = fault.steps();
      fault.restorePower();
    }
    ASSERT_GT(total, 2 * 311);
    for (long long cut = 0; cut <= total; ++cut) {
      SCOPED_TRACE(cut);
      fs::deleteFile(kPath + ".jnl");
      fs::deleteFile(kBackup + ".jnl");
      writeAll(kPath, before);
      writeAll(kBackup, before);
      {
        fs::ScopedBackend use(fault);
        fault.restorePower();
        fault.loseUnsyncedOnCut(loseUnsynced);
        fault.cutPowerAfter(cut);
        JDQFile::WriteReading(kPath, 75, true, newList, p_);
        fault.restorePower();
        fault.loseUnsyncedOnCut(false);
      }
      for (const std::string& path : {kPath, kBackup}) {
        std::vector<TestRecord> loaded;
        ASSERT_EQ(JDQFile::LoadTestFile(path, loaded), 1) << path;
        ASSERT_GE(loaded.size(), 77u) << path;
        const bool written = sameRecord(loaded[75], newList[75]);
        ASSERT_TRUE(written || sameRecord(loaded[75], oldList[75])) << path << " record 75 torn";
        const std::vector<TestRecord>& expected = written ? newList : oldList;
        for (int k = 0; k < 75; ++k) {
          ASSERT_EQ(texts(loaded[k]), texts(expected[k])) << path << " texts of record " << k;
          TestRecord reading = loaded[k];
          std::memcpy(reading.text1, oldList[k].text1, 100);
          std::memcpy(reading.tail1, oldList[k].tail1, 20);
          ASSERT_TRUE(sameRecord(reading, oldList[k])) << path << " record " << k;
        }
        int readings = 0;
        while (std::string(loaded[readings].marker, 5) != "11111") ++readings;
        ASSERT_EQ(readings, written ? 76 : 75) << path;
        EXPECT_FALSE(fs::exists(path + ".jnl")) << path;
      }
    }
  }
}

// The journal stays beside its file and each entry is written over the one before it: a shorter entry
// over a longer one is read by its own length; a done entry is never applied again, even where the
// file changed since; a mix of two entries (a journal written over in place whose blocks reach the
// medium in another order) is no entry; a file created anew drops its journal.
TEST_F(TestFile, TheJournalIsWrittenOverInPlaceAndOnlyAWholeUnfinishedEntryIsApplied) {
  std::vector<TestRecord> list = headerList();
  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  const std::string journal = filejournal::JournalPath(kPath);
  std::vector<TestRecord> changed = list;
  for (int k = 0; k < 74; ++k) std::snprintf(changed[k].text1, 20, "long-%d", k);
  ASSERT_EQ(JDQFile::UpdateAllHeaderTexts(kPath, 0, changed, p_), 1);
  const long long longEntry = fs::fileSize(journal);
  ASSERT_GT(longEntry, 74 * 7);
  EXPECT_FALSE(filejournal::Pending(kPath));

  // An entry whose writes into the file fail after it was flushed (write 0 is the entry's): it stays
  // pending, over the longer one, and the next load finishes it.
  std::vector<TestRecord> loaded;
  auto unfinished = [&](const char* text) {
    std::snprintf(changed[51].text1, 20, "%s", text);
    fs::FaultBackend fault;
    fs::ScopedBackend use(fault);
    fault.failCall(fs::FaultBackend::Call::Write, 1);
    EXPECT_EQ(JDQFile::UpdateOneRecordText(kPath, 51, changed, p_), 0);
  };
  unfinished("short");
  ASSERT_TRUE(filejournal::Pending(kPath));
  EXPECT_EQ(fs::fileSize(journal), longEntry);
  ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  EXPECT_EQ(JDQFile::HeaderText(loaded, 51, 1), "short");
  EXPECT_FALSE(filejournal::Pending(kPath));

  // Done, after a load and after a write: the file changed by other means keeps its bytes.
  for (const int k : {51, 50}) {
    if (k == 50) {
      std::snprintf(changed[50].text1, 20, "fifty");
      ASSERT_EQ(JDQFile::UpdateOneRecordText(kPath, 50, changed, p_), 1);
      EXPECT_EQ(readAll(kPath).substr(50 * 311 + 82, 5), "fifty");
    }
    std::string other = readAll(kPath);
    other.replace(k * 311 + 82, 5, "other");
    writeAll(kPath, other);
    ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
    EXPECT_EQ(readAll(kPath), other) << k;
  }

  // Two unfinished entries of the same length, and mixes of them.
  unfinished("first");
  const std::string a = readAll(journal);
  ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  unfinished("second");
  const std::string b = readAll(journal);
  ASSERT_EQ(a.size(), b.size());
  const std::size_t entry = 20 + 12 + 100 + 20;  // head, one patch of 100 bytes, tail
  const std::string file = readAll(kPath);
  for (const std::size_t cut : {entry / 2, std::size_t{4}, std::size_t{12}, entry - 20, entry - 8}) {
    SCOPED_TRACE(cut);
    for (const bool newHead : {true, false}) {
      const std::string& head = newHead ? b : a;
      const std::string& tail = newHead ? a : b;
      std::string mix = head.substr(0, cut) + tail.substr(cut);
      if (mix.compare(0, entry, a, 0, entry) == 0 || mix.compare(0, entry, b, 0, entry) == 0) continue;
      writeAll(journal, mix);
      EXPECT_FALSE(filejournal::Pending(kPath));
      ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
      EXPECT_EQ(readAll(kPath), file);
    }
  }
  writeAll(journal, b);
  ASSERT_EQ(JDQFile::LoadTestFile(kPath, loaded), 1);
  EXPECT_EQ(JDQFile::HeaderText(loaded, 51, 1), "second");

  ASSERT_EQ(JDQFile::CreateTestFile(kPath, list, p_), 1);
  EXPECT_FALSE(fs::exists(journal));
}
