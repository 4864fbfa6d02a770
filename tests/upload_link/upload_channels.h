// The three channel records of the upload tests, as a restarted program has them: settings, a running
// test and queue files "C<n>.gps" and "C<n>.gpsw" on the card, queues empty. Free of the test
// framework, so that the fuzz targets use it too.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "model/parameter.h"

namespace uploadtest {

// The queue file of channel n: the built-in module's (which 0) or the external module's (1).
inline std::string queuePath(int n, int which) {
  return "\\Storage Card\\C" + std::to_string(n) + (which == 0 ? ".gps" : ".gpsw");
}

inline void setUpChannels(std::array<Parameter, 3>& channels) {
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channels[static_cast<std::size_t>(n - 1)];
    p.channelName = std::to_string(n);
    p.ParameterList.setChannelNumber(n);
    p.ParameterList.extendWithDefaults();
    p.boardFlag = 1;
    p.testRunning = 1;
    std::lock_guard<std::mutex> lock(p.queueLock);
    p.moduleQueuePath = queuePath(n, 0);
    p.boxQueuePath = queuePath(n, 1);
  }
}

}  // namespace uploadtest
