#include "upload/pending_files.h"

#include <cstdio>
#include <mutex>

#include "model/datafiles.h"
#include "model/file_list.h"
#include "model/journal.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

namespace upload {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool allChannels(Parameter* const channels[3]) {
  return channels != nullptr && channels[0] != nullptr && channels[1] != nullptr && channels[2] != nullptr;
}

}  // namespace

bool IsPendingFileName(const std::string& name) {
  return endsWith(name, "gps") || endsWith(name, "gpsw") || endsWith(name, "GPS") || endsWith(name, "GPSW");
}

bool IsExternalQueueName(const std::string& name) { return endsWith(name, "gpsw") || endsWith(name, "GPSW"); }

std::vector<PendingFile> ListPendingFiles(const std::string& dataRoot, Parameter* const channels[3]) {
  std::vector<PendingFile> out;
  for (const FoundFile& f : ListFilesByTime(dataRoot + "*.*")) {
    if (!IsPendingFileName(f.name)) continue;
    PendingFile p;
    p.name = f.name;
    p.time = f.time;
    p.remaining = JDQFile::CountPendingSlots(dataRoot + f.name, channels);
    out.push_back(std::move(p));
  }
  return out;
}

std::string PendingTimeText(std::int64_t time) {
  const platform::clock::DateTime d = platform::clock::fromSeconds(time);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", d.year % 100, d.month, d.day, d.hour, d.minute);
  return buf;
}

bool IsRunningTestFile(const std::string& path, Parameter* const channels[3]) {
  if (channels == nullptr) return false;
  for (int n = 0; n < 3; ++n) {
    Parameter* p = channels[n];
    if (p == nullptr || p->testRunning.load() != 1) continue;
    std::string gps, gpsw;
    {
      std::lock_guard<std::mutex> lock(p->queueLock);
      gps = p->moduleQueuePath;
      gpsw = p->boxQueuePath;
    }
    for (const std::string& used : {p->testFilePath, gps, gpsw})
      if (platform::fs::samePath(used, path)) return true;
  }
  return false;
}

bool DeletePendingFile(const std::string& path, Parameter* const channels[3]) {
  auto remove = [&] {
    if (!platform::fs::deleteFile(path)) return false;
    filejournal::Discard(path);
    return true;
  };
  if (!allChannels(channels)) return remove();
  std::scoped_lock lock(channels[0]->queueLock, channels[1]->queueLock, channels[2]->queueLock);
  return remove();
}

int ResendQueueOf(int route, const std::string& name) {
  switch (route) {
    case 0: return 0;
    case 2: return 1;
    case 3: return IsExternalQueueName(name) ? 1 : 0;
    default: return -1;
  }
}

int StartResend(Parameter& ch1, const std::string& path, int which) {
  // Each record loaded carries the file, so its acceptance marks it there; the channel's queue-file
  // paths stay those of its set-up, for the records of the next test.
  ch1.keepQueueFile.store(0);
  if (which != 0 && which != 1) return 0;
  if (JDQFile::LoadQueueFileAt(path, which, ch1) != 1) {
    // A file that cannot be read loads nothing, as an empty one.
    std::lock_guard<std::mutex> lock(ch1.queueLock);
    (which == 0 ? ch1.moduleQueue : ch1.boxQueue).clear();
  }
  return QueueSize(ch1, which);
}

void StopResend(Parameter& ch1, int route) {
  ch1.uploadStatus.store(0);
  ch1.keepQueueFile.store(1);
  std::lock_guard<std::mutex> lock(ch1.queueLock);
  if (route == 0 || route == 3) ch1.moduleQueue.clear();
  if (route == 2 || route == 3) ch1.boxQueue.clear();
}

bool EndStoppedResend(Parameter& ch1, int route) {
  const bool builtInDone = !(route == 0 || route == 3) || ch1.moduleReady.load() != 0;
  const bool externalDone = !(route == 2 || route == 3) || ch1.boxReady.load() != 0;
  if (!builtInDone || !externalDone) return false;
  ch1.keepQueueFile.store(0);
  return true;
}

int QueueSize(Parameter& ch1, int which) {
  std::lock_guard<std::mutex> lock(ch1.queueLock);
  return static_cast<int>(which == 0 ? ch1.moduleQueue.size() : ch1.boxQueue.size());
}

}  // namespace upload
