// The test data file with its journal and its "Backup\" copy: a load never grows a file nor reads one
// longer than a test; the take-up of a running test leaves file and copy alike with every reading
// either held (or neither changed, when they hold no test file); after that the next reading is written
// and every earlier record of the file stays byte for byte, in the file and in its copy.
#include <cstring>

#include "model/datafiles.h"
#include "model/journal.h"
#include "model/parameter.h"
#include "tests/fuzz/fuzz_root.h"

namespace {
const std::string kPath = "\\Storage Card\\T1.krv";
const std::string kBackup = "\\Storage Card\\Backup\\T1.krv";

bool isReading(const std::string& bytes, std::size_t k) {
  if ((k + 1) * kTestRecordDiskSize > bytes.size()) return false;
  const char* m = bytes.data() + k * kTestRecordDiskSize;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return std::memcmp(m, "--:--", 5) == 0 || (digit(m[0]) && digit(m[1]) && m[2] == ':' && digit(m[3]) && digit(m[4]));
}

// The take-up of the loaded file with its copy.
void takeUp(std::vector<TestRecord>& records, const Parameter& p) {
  const std::string file = fuzz::read(kPath), copy = fuzz::read(kBackup);
  const bool copyUsable = platform::fs::isFile(kBackup) &&
                          copy.size() <= (JDQFile::kMaxTestRecords + 1u) * kTestRecordDiskSize;
  if (!JDQFile::MendTestCopies(kPath, records, p)) {
    fuzz::check(fuzz::read(kPath) == file && fuzz::read(kBackup) == copy, "a take-up that failed changed a file");
    return;
  }
  const std::string mended = fuzz::read(kPath);
  fuzz::check(mended.size() % kTestRecordDiskSize == 0, "the mended file holds a torn record");
  const std::size_t count = mended.size() / kTestRecordDiskSize;
  fuzz::check(records.size() == count + 1, "the list is not the mended file");
  if (copyUsable) fuzz::check(fuzz::read(kBackup) == mended, "file and copy differ after the take-up");
  for (std::size_t k = 0; k < std::max(file.size(), copy.size()) / kTestRecordDiskSize; ++k) {
    const bool fromFile = isReading(file, k), fromCopy = copyUsable && isReading(copy, k);
    if (!fromFile && !fromCopy) continue;
    fuzz::check(k < count, "a reading was dropped");
    const std::string& source = fromFile ? file : copy;
    // The header texts may come from the copy; a reading's marker and values never change.
    fuzz::check(mended.compare(k * kTestRecordDiskSize, 82, source, k * kTestRecordDiskSize, 82) == 0,
                "a reading is not the one either file held");
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 3);
  // The file is the first part repeated up to 80 records, so that loads happen often.
  std::string file = in[0];
  if (!file.empty())
    while (file.size() < 80 * kTestRecordDiskSize) file += in[0];
  fuzz::put(kPath, file);
  if (!in[1].empty()) fuzz::put(filejournal::JournalPath(kPath), in[1]);
  platform::fs::createFolder("\\Storage Card\\Backup");
  if (!in[2].empty()) fuzz::put(kBackup, in[2]);

  Parameter p;
  p.boardFlag = 1;
  std::vector<TestRecord> records;
  const int loaded = JDQFile::LoadTestFile(kPath, records);
  const long long length = platform::fs::fileSize(kPath);
  fuzz::check(length <= static_cast<long long>(file.size()), "a load grew the test file");
  if (loaded != 1) {
    fuzz::check(records.empty(), "a file that did not load filled the list");
    return 0;
  }
  const std::size_t whole = static_cast<std::size_t>(length) / kTestRecordDiskSize;
  fuzz::check(records.size() == whole + 1 && records.size() <= JDQFile::kMaxTestRecords + 2u, "records loaded");
  takeUp(records, p);
  if (records.size() > JDQFile::kMaxTestRecords + 1u) return 0;  // a full file takes no next reading

  // The next reading goes over the end record; the records before it stay as they are.
  const std::string before = fuzz::read(kPath), copyBefore = fuzz::read(kBackup);
  const int k = static_cast<int>(records.size()) - 1;
  std::memcpy(records[static_cast<std::size_t>(k)].marker, "12:34", 5);
  records.push_back(JDQFile::BlankTestRecord());
  fuzz::check(JDQFile::WriteRecord(kPath, k, records, p) == 1, "the next reading cannot be written");
  const std::string after = fuzz::read(kPath);
  const std::size_t kept = static_cast<std::size_t>(k) * kTestRecordDiskSize;
  fuzz::check(after.size() >= kept + kTestRecordDiskSize, "the reading is not in the file");
  fuzz::check(after.compare(0, kept, before, 0, kept) == 0, "an earlier record changed");
  std::string rec(kTestRecordDiskSize, '\0');
  JDQFile::EncodeTestRecord(records[static_cast<std::size_t>(k)], reinterpret_cast<byte*>(rec.data()));
  fuzz::check(after.compare(kept, kTestRecordDiskSize, rec) == 0, "the reading is not as recorded");
  const std::string copy = fuzz::read(kBackup);
  const std::size_t copyKept = std::min(copyBefore.size() / kTestRecordDiskSize * kTestRecordDiskSize, kept);
  fuzz::check(copy.compare(0, copyKept, copyBefore, 0, copyKept) == 0, "an earlier record of the copy changed");

  std::vector<TestRecord> again;
  fuzz::check(JDQFile::LoadTestFile(kPath, again) == 1, "the file no longer loads");
  fuzz::check(std::memcmp(again[static_cast<std::size_t>(k)].marker, "12:34", 5) == 0, "the reading does not load back");
  return 0;
}
