// The upload queue files left in the data root, for the pending-data dialog: which files are listed
// and how many of their records a re-send would still send, the files a running test uses, and the
// re-send itself on channel 1's queues (loading a stored file into the queue of its route, and the stop
// that empties the queues and keeps the file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/parameter.h"

namespace upload {

// Names the list shows: those ending in "gps", "gpsw", "GPS" or "GPSW", in the case written.
bool IsPendingFileName(const std::string& name);
// Names of the external route's files: ending in "gpsw" or "GPSW".
bool IsExternalQueueName(const std::string& name);

struct PendingFile {
  std::string name;       // as found in the data root
  std::int64_t time = 0;  // creation time, local (seconds since 1970 counted in local time)
  int remaining = 0;      // slots still to send; -1 when the file cannot be read
};
// The queue files of the data root ("\Storage Card\"), oldest first (files of equal time in search
// order), each with the slots a reload would send. The files are read under the channels' queue
// locks, so no write of an upload queue file runs meanwhile. Empty when the folder is missing.
std::vector<PendingFile> ListPendingFiles(const std::string& dataRoot, Parameter* const channels[3]);
// "%y-%m-%d %H:%M" of a creation time.
std::string PendingTimeText(std::int64_t time);

// True when the path names the test file or a queue file of a channel whose test runs (letter case
// ignored, as the storage ignores it).
bool IsRunningTestFile(const std::string& path, Parameter* const channels[3]);
// Deletes a queue file (and any journal of it) under the channels' queue locks. False when it could not
// be deleted.
bool DeletePendingFile(const std::string& path, Parameter* const channels[3]);

// The queue a re-send of the file loads by the route item 56 of channel 1: 0 built-in, 1 external, -1
// none (route 1). Route 3 takes the external queue for an external route's file, else the built-in one.
int ResendQueueOf(int route, const std::string& name);
// Loads the unsent slots of the stored file into channel 1's queue `which` (0 built-in, 1 external; -1
// loads nothing), each record carrying the file, and lets the file go once all of it is sent. Channel
// 1's queue-file paths stay as its set-up left them. Returns the queue's size after loading.
int StartResend(Parameter& ch1, const std::string& path, int which);
// Ends a re-send: the built-in route's status to 0, the file kept when its queue empties, and the
// queues of the route emptied in memory (0 the built-in queue, 2 the external one, 3 both, 1 none).
void StopResend(Parameter& ch1, int route);
// The keep of a stopped re-send lasts while one of its records may still be accepted: true, with the
// keep-file flag cleared, once channel 1 has nothing outstanding on the queues that the stop by
// `route` emptied.
bool EndStoppedResend(Parameter& ch1, int route);
// Size of channel 1's queue `which`.
int QueueSize(Parameter& ch1, int which);

}  // namespace upload
