// The test data file of a channel and its "Backup\" copy.
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "model/journal.h"
#include "platform/fs/fs.h"

namespace fs = platform::fs;

static_assert(std::endian::native == std::endian::little, "records are stored as held in memory");

namespace {

constexpr std::size_t kRec = kTestRecordDiskSize;     // 311
constexpr std::size_t kOldRec = kTestRecordOldDiskSize;  // 267
constexpr std::size_t kTextsOffset = 82;   // text1, text2, text3: 100 bytes
constexpr std::size_t kTextsSize = 100;
constexpr std::size_t kTail1Offset = 271;  // tail1: 20 bytes
constexpr std::size_t kTail1Size = 20;

// Values of the 18 / 16 that the older layout keeps, in file order.
constexpr int kOldValuesA[] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17};
constexpr int kOldValuesB[] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

std::string encodeRecord(const TestRecord& r) {
  std::string s(kRec, '\0');
  JDQFile::EncodeTestRecord(r, reinterpret_cast<byte*>(s.data()));
  return s;
}

// Writes record k of the list into one file (the test file or its copy). Records that the file does
// not hold yet are added at their own offsets and flushed; a record already in the file is overwritten
// through the journal.
bool writeRecordTo(const std::string& path, int k, const std::vector<TestRecord>& records) {
  if (!filejournal::Recover(path)) return false;
  fs::File f;
  if (!f.open(path, fs::File::ReadWrite)) return false;
  const long long length = f.length();
  if (length < 0) return false;
  const long long whole = length / static_cast<long long>(kRec);
  if (k < whole) {
    f.close();
    return filejournal::PatchFile(path, {{k * static_cast<long long>(kRec), encodeRecord(records[k])}});
  }
  // From the first missing record (over a partial last record a power loss left) up to k.
  std::string bytes;
  for (long long i = whole; i <= k; ++i) bytes += encodeRecord(records[static_cast<std::size_t>(i)]);
  const long long at = whole * static_cast<long long>(kRec);
  if (f.seek(at) != at || !f.write(bytes) || !f.flush()) return false;
  return f.close();
}

// Rewrites one byte range of each of the given records (those the file holds whole).
bool patchRecordsTo(const std::string& path, const std::vector<int>& indices,
                    const std::vector<TestRecord>& records, std::size_t offset, std::size_t size) {
  if (!filejournal::Recover(path)) return false;
  const long long length = fs::fileSize(path);
  if (length < 0) return false;
  const long long whole = length / static_cast<long long>(kRec);
  std::vector<filejournal::Patch> patches;
  for (int k : indices) {
    if (k < 0 || static_cast<std::size_t>(k) >= records.size() || k >= whole) continue;
    const std::string rec = encodeRecord(records[static_cast<std::size_t>(k)]);
    patches.push_back({k * static_cast<long long>(kRec) + static_cast<long long>(offset), rec.substr(offset, size)});
  }
  return filejournal::PatchFile(path, patches);
}

// The backup copy's path when the SD-card folder exists (creating its "Backup" folder), else empty.
std::string backupTarget(const std::string& path, const Parameter& p) {
  const std::string sd = GetSdCardDir(p.boardFlag.load());
  if (!fs::isFolder(sd)) return {};
  fs::createFolder(sd + "Backup");
  return JDQFile::BackupPathFor(path, p.boardFlag.load());
}

int rewriteTexts(const std::string& path, const std::vector<int>& indices,
                 const std::vector<TestRecord>& records, const Parameter& p, std::size_t offset,
                 std::size_t size) {
  if (!fs::isFile(path)) return 0;
  const bool ok = patchRecordsTo(path, indices, records, offset, size);
  const std::string backup = backupTarget(path, p);
  if (!backup.empty() && fs::isFile(backup)) patchRecordsTo(backup, indices, records, offset, size);
  return ok ? 1 : 0;
}

// The fields of a record in the order of the current file layout, each with its size in the file.
template <class Record, class Visit>
void forEachStoredField(Record& r, Visit&& visit) {
  visit(r.marker, 5);
  visit(r.valuesA, sizeof r.valuesA);
  visit(r.time, 5);
  visit(r.text1, 20);
  visit(r.text2, 20);
  visit(r.text3, 60);
  visit(r.text4, 20);
  visit(r.stepMark, 5);
  visit(r.valuesB, sizeof r.valuesB);
  visit(r.tail1, 20);
  visit(r.tail2, 20);
}

std::vector<int> range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i) v.push_back(i);
  return v;
}

}  // namespace

namespace JDQFile {

void EncodeTestRecord(const TestRecord& r, byte* o) {
  auto put = [&o](const void* src, std::size_t n) {
    std::memcpy(o, src, n);
    o += n;
  };
  forEachStoredField(r, put);
}

void DecodeTestRecord(const byte* in, bool oldLayout, TestRecord& r) {
  auto get = [&in](void* dst, std::size_t n) {
    std::memcpy(dst, in, n);
    in += n;
  };
  if (!oldLayout) {
    forEachStoredField(r, get);
    return;
  }
  // The older layout lacks values 1, 14, 15 of both blocks and text4: they read as zero.
  std::memset(&r, 0, sizeof r);
  get(r.marker, 5);
  for (int i : kOldValuesA) get(&r.valuesA[i], 4);
  get(r.time, 5);
  get(r.text1, 20);
  get(r.text2, 20);
  get(r.text3, 60);
  get(r.stepMark, 5);
  for (int i : kOldValuesB) get(&r.valuesB[i], 4);
  get(r.tail1, 20);
  get(r.tail2, 20);
}

void SetEmptyMarks(TestRecord& r) {
  std::memcpy(r.marker, "11111", 5);
  std::memcpy(r.stepMark, "11111", 5);
  std::memcpy(r.time, "99999", 5);
}

TestRecord BlankTestRecord() {
  TestRecord r;
  std::memset(&r, 0, sizeof r);
  SetEmptyMarks(r);
  return r;
}

std::string BackupPathFor(const std::string& path, int boardFlag) {
  const std::size_t cut = path.find_last_of('\\');
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  return GetSdCardDir(boardFlag) + "Backup\\" + name;
}

int CreateTestFile(const std::string& path, const std::vector<TestRecord>& records, const Parameter& p) {
  if (path.empty() || records.size() < static_cast<std::size_t>(kHeaderRecordCount)) return 0;
  std::string bytes;
  bytes.reserve(kRec * kHeaderRecordCount);
  for (int k = 0; k < kHeaderRecordCount; ++k) bytes += encodeRecord(records[static_cast<std::size_t>(k)]);
  filejournal::Discard(path);  // a journal left by an older file of this name
  if (!fs::replaceFile(path, bytes)) return 0;
  const std::string backup = backupTarget(path, p);
  if (!backup.empty()) {
    filejournal::Discard(backup);
    fs::replaceFile(backup, bytes);
  }
  return 1;
}

int WriteRecord(const std::string& path, int k, const std::vector<TestRecord>& records, const Parameter& p) {
  if (k < 0 || static_cast<std::size_t>(k) >= records.size() || !fs::isFile(path)) return 0;
  const bool ok = writeRecordTo(path, k, records);
  const std::string backup = backupTarget(path, p);
  if (!backup.empty() && fs::isFile(backup)) writeRecordTo(backup, k, records);
  return ok ? 1 : 0;
}

int UpdateAllHeaderTexts(const std::string& path, int, const std::vector<TestRecord>& records,
                         const Parameter& p) {
  return rewriteTexts(path, range(0, kHeaderRecordCount - 1), records, p, kTextsOffset, kTextsSize);
}

int UpdateHeaderExtraTexts(const std::string& path, int, const std::vector<TestRecord>& records,
                           const Parameter& p) {
  return rewriteTexts(path, range(0, 15), records, p, kTail1Offset, kTail1Size);
}

int UpdateHeaderTexts(const std::string& path, int, const std::vector<TestRecord>& records,
                      const Parameter& p) {
  std::vector<int> indices = {4, 7, 13, 14, 15, 16, 18, 31};
  for (int i = 41; i <= 62; ++i) indices.push_back(i);
  return rewriteTexts(path, indices, records, p, kTextsOffset, kTextsSize);
}

int UpdateOneRecordText(const std::string& path, int k, const std::vector<TestRecord>& records,
                        const Parameter& p) {
  if (k < 0 || static_cast<std::size_t>(k) >= records.size()) return 0;
  return rewriteTexts(path, {k}, records, p, kTextsOffset, kTextsSize);
}

int LoadTestFile(const std::string& path, std::vector<TestRecord>& records) {
  std::string data;
  if (path.empty()) return 0;
  const bool old = path.size() >= 3 && path.compare(path.size() - 3, 3, "kbx") == 0;
  const std::size_t size = old ? kOldRec : kRec;
  // A file longer than any test can be is no test file: it is never read into memory.
  if (fs::fileSize(path) > static_cast<long long>(kMaxTestRecords + 1) * static_cast<long long>(size)) return 0;
  if (!filejournal::ReadRecovered(path, data)) return 0;
  const std::size_t count = data.size() / size;
  if (count < 73) return 0;
  std::vector<TestRecord> loaded(count);
  const byte* at = reinterpret_cast<const byte*>(data.data());
  for (std::size_t i = 0; i < count; ++i, at += size) DecodeTestRecord(at, old, loaded[i]);
  TestRecord end = loaded.back();
  SetEmptyMarks(end);
  loaded.push_back(end);
  records = std::move(loaded);
  return 1;
}

}  // namespace JDQFile
