// The upload queue files of a channel: 128-byte slots, sent ones marked "OVER".
#include <cstring>
#include <mutex>
#include <string>

#include "model/datafiles.h"
#include "model/journal.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace fs = platform::fs;

namespace {

constexpr long long kSlot = static_cast<long long>(kQueueRecordSize);

std::deque<QueueRecord>& queueOf(Parameter& p, int which) { return which == 0 ? p.moduleQueue : p.boxQueue; }
std::string& pathOf(Parameter& p, int which) { return which == 0 ? p.moduleQueuePath : p.boxQueuePath; }

bool skipped(const char* first4) {
  return std::memcmp(first4, "OVER", 4) == 0 || std::memcmp(first4, "0000", 4) == 0;
}

// Opens the queue file for reading and writing, creating it when missing.
bool openQueueFile(fs::File& f, const std::string& path) {
  if (path.empty() || !filejournal::Recover(path)) return false;
  const unsigned mode = fs::isFile(path) ? fs::File::ReadWrite
                                         : fs::File::ReadWrite | fs::File::Create;
  return f.open(path, mode);
}

// Appends the bytes as the slot after the last whole one (over a partial slot a power loss left).
bool appendSlot(const std::string& path, const byte* bytes, std::int64_t& slot) {
  slot = QueueRecord::kNoSlot;
  fs::File f;
  if (!openQueueFile(f, path)) return false;
  const long long length = f.length();
  if (length < 0) return false;
  const long long whole = length / kSlot;
  if (f.seek(whole * kSlot) != whole * kSlot || !f.write(bytes, kQueueRecordSize) || !f.flush() || !f.close())
    return false;
  slot = whole;
  return true;
}

// Marks slot `slot` (or, with kNoSlot and `firstPending`, the first pending slot) "OVER".
bool markSlot(const std::string& path, std::int64_t slot, bool firstPending) {
  fs::File f;
  if (!openQueueFile(f, path)) return false;
  const long long length = f.length();
  if (length < 0) return false;
  const long long whole = length / kSlot;
  char head[4];
  if (firstPending) {
    slot = QueueRecord::kNoSlot;
    for (long long i = 0; i < whole; ++i) {
      if (f.seek(i * kSlot) != i * kSlot || !f.readExact(head, 4)) return false;
      if (!skipped(head)) {
        slot = i;
        break;
      }
    }
  } else if (slot >= 0 && slot < whole) {
    if (f.seek(slot * kSlot) != slot * kSlot || !f.readExact(head, 4)) return false;
    if (skipped(head)) slot = QueueRecord::kNoSlot;
  } else {
    slot = QueueRecord::kNoSlot;
  }
  f.close();
  if (slot == QueueRecord::kNoSlot) return true;
  return filejournal::PatchFile(path, {{slot * kSlot, std::string("OVER")}});
}

// Whole slots of a file still to be sent; -1 when it cannot be read.
int countPending(const std::string& path) {
  std::string data;
  if (!filejournal::ReadRecovered(path, data)) return -1;
  int n = 0;
  for (std::size_t at = 0; at + kQueueRecordSize <= data.size(); at += kQueueRecordSize)
    if (!skipped(data.data() + at)) ++n;
  return n;
}

// True when some whole slot of the file is still to be sent (begins neither "OVER" nor "0000"), or
// when the file cannot be read (it is then kept).
bool holdsPending(const std::string& path) {
  if (!fs::isFile(path)) return false;
  return countPending(path) != 0;
}

// True when the channel holds its queue file `path`: a re-send or the keep flag holds any file, a
// running test the files it writes.
bool held(const Parameter& p, const std::string& path) {
  if (p.resendHold.load() != 0 || p.keepQueueFile.load() != 0) return true;
  return p.testRunning.load() != 0 && (platform::text::equalsIgnoreCase(path, p.moduleQueuePath) ||
                                       platform::text::equalsIgnoreCase(path, p.boxQueuePath));
}

// Deletes the queue file when nothing holds it and none of its slots is left to send; the channel's
// stored paths that name it are emptied. A queue emptied in memory (a module's refusal drops its
// records) keeps a file that still holds unsent records.
void deleteWhenDone(Parameter& p, const std::string& path) {
  if (path.empty() || held(p, path) || holdsPending(path)) return;
  fs::deleteFile(path);
  filejournal::Discard(path);
  for (std::string* stored : {&p.moduleQueuePath, &p.boxQueuePath})
    if (platform::text::equalsIgnoreCase(*stored, path)) stored->clear();
}

// Marks the slot of a record "OVER" in the record's own file, then lets the file go when it is done.
// A file that is gone (deleted from the pending-data list) is not made again. The caller holds
// queueLock.
int markRecordLocked(Parameter& p, const std::string& file, std::int64_t slot) {
  if (file.empty() || slot == QueueRecord::kNoSlot || !fs::isFile(file)) return 1;
  if (!markSlot(file, slot, false)) return 0;
  deleteWhenDone(p, file);
  return 1;
}

// mode and slot as WriteQueueFile; the caller holds queueLock.
int writeLocked(int mode, int which, Parameter& p, std::int64_t* slot) {
  const std::string path = pathOf(p, which);
  bool ok = true;
  if (mode == 0) {
    std::int64_t s = QueueRecord::kNoSlot;
    ok = appendSlot(path, p.queueBuild.data(), s);
    if (slot) *slot = s;
  } else if (mode == 1) {
    ok = markSlot(path, slot ? *slot : QueueRecord::kNoSlot, slot == nullptr);
  } else {
    fs::File f;
    ok = openQueueFile(f, path);
  }
  if (!ok) return 0;
  deleteWhenDone(p, path);
  return 1;
}

// Replaces the queue `which` by the pending slots of the file at `path`; the caller holds queueLock.
int loadLocked(Parameter& p, int which, const std::string& path) {
  std::string data;
  if (path.empty() || !filejournal::ReadRecovered(path, data)) return 0;
  std::deque<QueueRecord>& queue = queueOf(p, which);
  queue.clear();
  const std::size_t whole = data.size() / kQueueRecordSize;
  for (std::size_t i = 0; i < whole; ++i) {
    const char* at = data.data() + i * kQueueRecordSize;
    if (skipped(at)) continue;
    QueueRecord r;
    std::memcpy(r.bytes.data(), at, kQueueRecordSize);
    r.slot = static_cast<std::int64_t>(i);
    r.file = path;
    queue.push_back(std::move(r));
  }
  return 1;
}

}  // namespace

namespace JDQFile {

int WriteQueueFile(const std::string&, int mode, int which, Parameter& p, std::int64_t* slot) {
  if (which != 0 && which != 1) return 0;
  std::lock_guard<std::mutex> lock(p.queueLock);
  return writeLocked(mode, which, p, slot);
}

int LoadQueueFile(const std::string&, int, int which, Parameter& p) {
  if (which != 0 && which != 1) return 0;
  std::lock_guard<std::mutex> lock(p.queueLock);
  return loadLocked(p, which, pathOf(p, which));
}

int LoadQueueFileAt(const std::string& path, int which, Parameter& p) {
  if (which != 0 && which != 1) return 0;
  std::lock_guard<std::mutex> lock(p.queueLock);
  return loadLocked(p, which, path);
}

int CountPendingSlots(const std::string& path, Parameter* const channels[3]) {
  if (channels == nullptr || !channels[0] || !channels[1] || !channels[2]) return countPending(path);
  std::scoped_lock lock(channels[0]->queueLock, channels[1]->queueLock, channels[2]->queueLock);
  return countPending(path);
}

int EnqueueRecord(Parameter& p, int which) {
  if (which != 0 && which != 1) return 0;
  std::lock_guard<std::mutex> lock(p.queueLock);
  std::deque<QueueRecord>& queue = queueOf(p, which);
  QueueRecord r;
  r.bytes = p.queueBuild;
  queue.push_back(r);  // first, so the file is not taken for an emptied queue
  QueueRecord& added = queue.back();
  const std::string path = pathOf(p, which);
  const int ok = writeLocked(0, which, p, &added.slot);
  if (added.slot != QueueRecord::kNoSlot) added.file = path;
  return ok;
}

int AcknowledgeHead(Parameter& p, int which) {
  if (which != 0 && which != 1) return 0;
  std::lock_guard<std::mutex> lock(p.queueLock);
  std::deque<QueueRecord>& queue = queueOf(p, which);
  if (queue.empty()) return 0;
  const QueueRecord head = std::move(queue.front());
  queue.pop_front();
  return markRecordLocked(p, head.file, head.slot);
}

int MarkQueueRecord(Parameter& p, const std::string& file, std::int64_t slot) {
  std::lock_guard<std::mutex> lock(p.queueLock);
  return markRecordLocked(p, file, slot);
}

}  // namespace JDQFile
