// The test data file of a channel and its "Backup\" copy.
#include <algorithm>
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

// A test file of the older layout (267-byte records), named by its "kbx" suffix.
bool oldLayout(const std::string& path) { return path.size() >= 3 && path.compare(path.size() - 3, 3, "kbx") == 0; }

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

// A byte range of a record of the list to bring into a file: `whole` ranges are whole records, which
// are added when the file does not hold them yet; the others (texts) are written only into records the
// file holds.
struct Range {
  int record = 0;
  std::size_t offset = 0;
  std::size_t size = kRec;
  bool whole = true;
};

Range textRange(int k, std::size_t offset, std::size_t size) { return {k, offset, size, false}; }

// Brings the ranges of one file (the test file or its copy) to the list's bytes in one set of writes:
// a range of a record the file holds is overwritten only where its bytes differ from the file's (all
// such overwrites through one journal entry); a whole record past the file's whole records is added
// at its own offset, with every record from the first missing one (over a partial last record a power
// loss left) before it, so the file never holds a gap. One flush of the file for all of it.
enum class Written { NotOpened, Failed, Done };
Written writeRanges(const std::string& path, const std::vector<Range>& ranges, const std::vector<TestRecord>& records) {
  filejournal::Writer w;
  if (!w.open(path)) return Written::NotOpened;
  const long long whole = w.length() / static_cast<long long>(kRec);
  int last = -1;  // the last whole record to add
  std::vector<Range> over;
  for (const Range& r : ranges) {
    if (r.record < 0 || static_cast<std::size_t>(r.record) >= records.size()) continue;
    if (r.record < whole) over.push_back(r);
    else if (r.whole) last = std::max(last, r.record);
  }
  // What the file holds under the overwrites, read in runs of nearby ranges.
  std::sort(over.begin(), over.end(), [](const Range& a, const Range& b) {
    return a.record != b.record ? a.record < b.record : a.offset < b.offset;
  });
  std::string held;
  long long heldAt = 0;
  for (std::size_t i = 0; i < over.size(); ++i) {
    const Range& r = over[i];
    const long long at = r.record * static_cast<long long>(kRec) + static_cast<long long>(r.offset);
    if (at < heldAt || at + static_cast<long long>(r.size) > heldAt + static_cast<long long>(held.size())) {
      // A new run: from this range to the last range that starts within 4 KiB of the one before it.
      long long end = at + static_cast<long long>(r.size);
      for (std::size_t j = i + 1; j < over.size(); ++j) {
        const long long next = over[j].record * static_cast<long long>(kRec) + static_cast<long long>(over[j].offset);
        if (next > end + 4096) break;
        end = std::max(end, next + static_cast<long long>(over[j].size));
      }
      heldAt = at;
      if (!w.read(at, static_cast<std::size_t>(end - at), held)) return Written::Failed;
    }
    const std::string wanted = encodeRecord(records[static_cast<std::size_t>(r.record)]).substr(r.offset, r.size);
    if (held.compare(static_cast<std::size_t>(at - heldAt), r.size, wanted) != 0) w.overwrite(at, wanted);
  }
  if (last >= 0) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(last - whole + 1) * kRec);
    for (long long i = whole; i <= last; ++i) bytes += encodeRecord(records[static_cast<std::size_t>(i)]);
    w.append(whole * static_cast<long long>(kRec), std::move(bytes));
  }
  return w.commit() ? Written::Done : Written::Failed;
}

// The backup copy's path when the SD-card folder exists (creating its "Backup" folder), else empty.
std::string backupTarget(const std::string& path, const Parameter& p) {
  const std::string sd = GetSdCardDir(p.boardFlag.load());
  if (!fs::isFolder(sd)) return {};
  fs::createFolder(sd + "Backup");
  return JDQFile::BackupPathFor(path, p.boardFlag.load());
}

// The ranges into the test file, then the same into its backup copy when the SD card holds one (a
// test file that cannot be opened is left with its copy). 1 when the test file was written; the
// copy's result does not count.
int writeBoth(const std::string& path, const std::vector<Range>& ranges, const std::vector<TestRecord>& records,
              const Parameter& p) {
  if (path.empty()) return 0;
  const Written result = writeRanges(path, ranges, records);
  if (result == Written::NotOpened) return 0;
  const std::string backup = backupTarget(path, p);
  if (!backup.empty()) writeRanges(backup, ranges, records);
  return result == Written::Done ? 1 : 0;
}

std::vector<Range> textRanges(const std::vector<int>& indices, std::size_t offset, std::size_t size) {
  std::vector<Range> ranges;
  for (int k : indices) ranges.push_back(textRange(k, offset, size));
  return ranges;
}

// The records whose texts carry the running state of a test.
std::vector<int> runningTextRecords() {
  std::vector<int> indices = {4, 7, 13, 14, 15, 16, 18, 31};
  for (int i = 41; i <= 62; ++i) indices.push_back(i);
  return indices;
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

// Whether a stored record holds a reading: its marker is a time "hh:mm" or a level's first "--:--".
bool holdsReading(std::string_view record) {
  if (record.size() < 5) return false;
  if (record.substr(0, 5) == "--:--") return true;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return digit(record[0]) && digit(record[1]) && record[2] == ':' && digit(record[3]) && digit(record[4]);
}

// What a stored record is: 2 a reading, 1 an empty record ("11111"), 0 none (missing, or bytes that no
// writer of a test file leaves).
int recordRank(std::string_view record) {
  if (holdsReading(record)) return 2;
  return record.size() >= 5 && record.substr(0, 5) == "11111" ? 1 : 0;
}

// Record k of a file's bytes (empty past its whole records).
std::string_view recordAt(const std::string& bytes, std::size_t k) {
  if ((k + 1) * kRec > bytes.size()) return {};
  return std::string_view(bytes).substr(k * kRec, kRec);
}

// The number of whole records from the first on that hold readings.
std::size_t leadingReadings(const std::string& bytes) {
  std::size_t k = 0;
  while (holdsReading(recordAt(bytes, k))) ++k;
  return k;
}

// Cuts the file of `bytes` after its first `count` records when it is longer and the rest holds no
// reading (an end record twice, a torn record, what a damaged copy held past the readings).
void cutAfter(const std::string& path, const std::string& bytes, std::size_t count) {
  if (bytes.size() <= count * kRec) return;
  for (std::size_t k = count; k < bytes.size() / kRec; ++k)
    if (holdsReading(recordAt(bytes, k))) return;
  fs::File f;
  if (f.open(path, fs::File::ReadWrite) && f.setLength(static_cast<long long>(count * kRec))) f.flush();
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
  if (k < 0 || static_cast<std::size_t>(k) >= records.size()) return 0;
  return writeBoth(path, {Range{k}}, records, p);
}

int WriteReading(const std::string& path, int k, bool extraTexts, const std::vector<TestRecord>& records,
                 const Parameter& p) {
  if (k < 0 || static_cast<std::size_t>(k) >= records.size()) return 0;
  std::vector<Range> ranges;
  if (extraTexts) ranges = textRanges(range(0, 15), kTail1Offset, kTail1Size);
  for (const Range& r : textRanges(runningTextRecords(), kTextsOffset, kTextsSize)) ranges.push_back(r);
  ranges.push_back(Range{k});
  if (k + 1 > kHeaderRecordCount - 1 && static_cast<std::size_t>(k + 1) < records.size()) ranges.push_back(Range{k + 1});
  return writeBoth(path, ranges, records, p);
}

int UpdateAllHeaderTexts(const std::string& path, int, const std::vector<TestRecord>& records,
                         const Parameter& p) {
  return writeBoth(path, textRanges(range(0, kHeaderRecordCount - 1), kTextsOffset, kTextsSize), records, p);
}

int UpdateHeaderExtraTexts(const std::string& path, int, const std::vector<TestRecord>& records,
                           const Parameter& p) {
  return writeBoth(path, textRanges(range(0, 15), kTail1Offset, kTail1Size), records, p);
}

int UpdateHeaderTexts(const std::string& path, int, const std::vector<TestRecord>& records,
                      const Parameter& p) {
  return writeBoth(path, textRanges(runningTextRecords(), kTextsOffset, kTextsSize), records, p);
}

int UpdateOneRecordText(const std::string& path, int k, const std::vector<TestRecord>& records,
                        const Parameter& p) {
  if (k < 0 || static_cast<std::size_t>(k) >= records.size()) return 0;
  return writeBoth(path, {textRange(k, kTextsOffset, kTextsSize)}, records, p);
}

bool MendTestCopies(const std::string& path, std::vector<TestRecord>& records, const Parameter& p) {
  const int board = p.boardFlag.load();
  // A file of the older layout is taken as it was loaded: its copies are not mended.
  if (oldLayout(path)) return !records.empty();
  std::string file, copy;
  if (path.empty() || !filejournal::ReadRecovered(path, file)) return false;
  const std::string backup = BackupPathFor(path, board);
  const long long most = static_cast<long long>(kMaxTestRecords + 1) * static_cast<long long>(kRec);
  const long long copySize = fs::isFolder(GetSdCardDir(board)) ? fs::fileSize(backup) : -1;
  // A copy that cannot be read, or a folder in its place, is left out (and left as it is).
  const bool withCopy = copySize >= 0 && copySize <= most && filejournal::ReadRecovered(backup, copy);
  if (!withCopy) copy.clear();

  // Record by record the better of the two: a reading, else an empty record, else nothing usable.
  const std::size_t inFile = file.size() / kRec, inCopy = copy.size() / kRec;
  const std::size_t either = std::max(inFile, inCopy);
  auto better = [&](std::size_t k) {
    const std::string_view f = recordAt(file, k), c = recordAt(copy, k);
    return recordRank(c) > recordRank(f) ? c : f;
  };
  std::size_t last = 0;  // one past the last reading
  for (std::size_t k = 0; k < either; ++k)
    if (recordRank(better(k)) == 2) last = k + 1;
  // The header records, the readings and the end record after them, as far as either holds them.
  const std::size_t count = std::min(either, std::max(std::min<std::size_t>(kHeaderRecordCount, either), last + 1));
  if (count == 0) return false;
  // The copy went on further than the file (the file's write of a reading failed): its header texts
  // carry the running state of its later readings.
  const bool copyAhead = leadingReadings(copy) > leadingReadings(file);

  for (std::size_t k = 0; k < count; ++k)
    if (recordRank(better(k)) == 0) return false;  // neither holds a record of a test file here

  // The list as loaded from the file holds its records already: only those the mend changes are
  // decoded again, and each file is written only where it differs from the mended records.
  const bool loadedFromFile = records.size() == inFile + 1;
  if (!loadedFromFile) records.clear();
  records.resize(count);
  std::vector<Range> toFile, toCopy;
  std::string bytes;
  for (std::size_t k = 0; k < count; ++k) {
    const std::string_view chosen = better(k), c = recordAt(copy, k);
    bytes.assign(chosen);
    if (copyAhead && recordRank(c) > 0 && k < static_cast<std::size_t>(kHeaderRecordCount)) {
      bytes.replace(kTextsOffset, kTextsSize, c.substr(kTextsOffset, kTextsSize));
      bytes.replace(kTail1Offset, kTail1Size, c.substr(kTail1Offset, kTail1Size));
    }
    const bool fileDiffers = bytes != recordAt(file, k);
    if (fileDiffers || !loadedFromFile) DecodeTestRecord(reinterpret_cast<const byte*>(bytes.data()), false, records[k]);
    if (fileDiffers) toFile.push_back(Range{static_cast<int>(k)});
    if (withCopy && bytes != c) toCopy.push_back(Range{static_cast<int>(k)});
  }
  if (!toFile.empty()) writeRanges(path, toFile, records);
  cutAfter(path, file, count);
  if (withCopy) {
    if (!toCopy.empty()) writeRanges(backup, toCopy, records);
    cutAfter(backup, copy, count);
  }
  TestRecord end = records.back();
  SetEmptyMarks(end);
  records.push_back(end);
  return true;
}

bool LooksLikeTestRecords(const std::vector<TestRecord>& records) {
  for (const TestRecord& r : records) {
    if (recordRank(std::string_view(r.marker, sizeof r.marker)) == 0) return false;
  }
  return true;
}

int LoadTestFile(const std::string& path, std::vector<TestRecord>& records) {
  std::string data;
  if (path.empty()) return 0;
  const bool old = oldLayout(path);
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
