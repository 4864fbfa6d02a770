// The upload queue files: a reload takes every pending whole slot in order; appending a record and
// acknowledging the head keep every other slot byte for byte (an acknowledged slot only gets "OVER").
#include <cstring>

#include "model/datafiles.h"
#include "model/journal.h"
#include "model/parameter.h"
#include "tests/fuzz/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 2);
  const std::string path = "\\Storage Card\\T1.gps";
  fuzz::put(path, in[1]);
  if (!in[0].empty()) fuzz::put(filejournal::JournalPath(path), in[0]);

  Parameter p;
  p.boardFlag = 1;
  p.testRunning = 1;
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    p.moduleQueuePath = path;
  }
  fuzz::check(JDQFile::LoadQueueFile("", 0, 0, p) == 1, "the queue file does not load");
  const std::string file = fuzz::read(path);
  fuzz::check(file.size() <= in[1].size(), "a load grew the queue file");
  std::size_t expected = 0;
  for (std::size_t at = 0; at + kQueueRecordSize <= file.size(); at += kQueueRecordSize)
    if (fuzz::pendingSlot(file.substr(at, 4))) ++expected;
  fuzz::check(p.moduleQueue.size() == expected, "pending slots and the queue differ");
  if (p.moduleQueue.size() > 256) return 0;

  // One more record, then the head acknowledged.
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    p.queueBuild.fill(0x41);
  }
  const std::size_t slots = file.size() / kQueueRecordSize;
  fuzz::check(JDQFile::EnqueueRecord(p, 0) == 1, "a record cannot be queued");
  std::int64_t head = -1;
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    head = p.moduleQueue.front().slot;
  }
  fuzz::check(JDQFile::AcknowledgeHead(p, 0) == 1, "the head cannot be acknowledged");
  const std::string after = fuzz::read(path);
  fuzz::check(after.size() == (slots + 1) * kQueueRecordSize, "the queue file did not grow by one slot");
  for (std::size_t i = 0; i < slots; ++i) {
    const std::size_t at = i * kQueueRecordSize;
    if (static_cast<std::int64_t>(i) == head) {
      fuzz::check(after.compare(at, 4, "OVER") == 0 && after.compare(at + 4, kQueueRecordSize - 4, file, at + 4, kQueueRecordSize - 4) == 0,
                  "the acknowledged slot is not marked alone");
    } else {
      fuzz::check(after.compare(at, kQueueRecordSize, file, at, kQueueRecordSize) == 0, "another slot changed");
    }
  }
  return 0;
}
