// The upload link's replies: the built-in module's text blocks and the external module's blocks, taken
// by the link's own parsers (its ports closed, so a send only records what is outstanding), between
// sends and newly queued records on the three channels. The queue files only grow by the records
// queued and get "OVER" only over slots that were pending; a record the link still holds in memory
// stands unsent at its slot.
#include <array>
#include <cstring>
#include <map>
#include <memory>

#include "model/datafiles.h"
#include "model/parameter.h"
#include "tests/fuzz/fuzz_root.h"
#include "tests/upload_link/upload_channels.h"
#include "upload/upload_link.h"

namespace {

using uploadtest::queuePath;

// The input read as a stream of bytes and of blocks (a length byte and that many bytes).
struct Stream {
  const std::uint8_t* at;
  const std::uint8_t* end;
  bool more() const { return at < end; }
  std::uint8_t byte() { return at < end ? *at++ : 0; }
  std::string block() {
    std::size_t n = byte();
    if (n > static_cast<std::size_t>(end - at)) n = static_cast<std::size_t>(end - at);
    std::string s(reinterpret_cast<const char*>(at), n);
    at += n;
    return s;
  }
};

// Queues a record of the stream's bytes (with the "GPRS" head of a built record) on a channel's route.
void enqueue(Parameter& p, int which, std::uint8_t seed, std::map<std::string, std::string>& expected,
             const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    std::memcpy(p.queueBuild.data(), "GPRS", 4);
    for (std::size_t i = 4; i < kQueueRecordSize; ++i) p.queueBuild[i] = static_cast<byte>(seed * 31 + i);
  }
  std::string& file = expected[path];
  file.resize(file.size() / kQueueRecordSize * kQueueRecordSize);
  if (JDQFile::EnqueueRecord(p, which) == 1) {
    std::lock_guard<std::mutex> lock(p.queueLock);
    file.append(reinterpret_cast<const char*>(p.queueBuild.data()), kQueueRecordSize);
  }
}

// Every file is what was queued into it, with "OVER" over some slots that were pending; every record
// in memory with a slot is that slot, unsent.
void checkQueues(std::array<Parameter, 3>& channels, std::map<std::string, std::string>& expected) {
  for (int n = 1; n <= 3; ++n) {
    for (int which = 0; which < 2; ++which) {
      const std::string path = queuePath(n, which);
      const std::string now = fuzz::read(path);
      std::string& was = expected[path];
      fuzz::check(now.size() == was.size(), "a queue file changed its length");
      for (std::size_t at = 0; at < now.size(); at += kQueueRecordSize) {
        const std::string a = now.substr(at, kQueueRecordSize), b = was.substr(at, kQueueRecordSize);
        if (a == b) continue;
        fuzz::check(fuzz::pendingSlot(b) && a.compare(0, 4, "OVER") == 0 && a.compare(4, std::string::npos, b, 4) == 0,
                    "a queue slot changed otherwise than by its mark");
      }
      was = now;
      Parameter& p = channels[static_cast<std::size_t>(n - 1)];
      std::lock_guard<std::mutex> lock(p.queueLock);
      for (const QueueRecord& r : which == 0 ? p.moduleQueue : p.boxQueue) {
        if (r.slot == QueueRecord::kNoSlot) continue;
        const std::size_t at = static_cast<std::size_t>(r.slot) * kQueueRecordSize;
        fuzz::check(at + kQueueRecordSize <= now.size(), "a record in memory has no slot in its file");
        fuzz::check(now.compare(at, kQueueRecordSize, reinterpret_cast<const char*>(r.bytes.data()), kQueueRecordSize) == 0,
                    "a record in memory is not its slot");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  Stream in{data, data + size};
  auto channels = std::make_unique<std::array<Parameter, 3>>();
  uploadtest::setUpChannels(*channels);
  (*channels)[0].ParameterList.set(56, static_cast<float>(in.byte() % 4));  // the route
  std::map<std::string, std::string> expected;
  for (int n = 1; n <= 3; ++n)
    for (int which = 0; which < 2; ++which)
      for (int k = in.byte() % 3; k > 0; --k)
        enqueue((*channels)[static_cast<std::size_t>(n - 1)], which, in.byte(), expected, queuePath(n, which));

  upload::UploadLink link((*channels)[0], (*channels)[1], (*channels)[2], false);
  for (int step = 0; step < 64 && in.more(); ++step) {
    const std::uint8_t op = in.byte();
    switch (op % 7) {
      case 0: link.SendQueuedRecord(); break;
      case 1: link.SendQueuedFrame(); break;
      case 2: case 3: {
        std::string b = in.block();
        const std::size_t n = b.size();
        b.push_back('\0');
        link.ParseGprsReply(reinterpret_cast<const std::uint8_t*>(b.data()), n);
        break;
      }
      case 4: {
        const std::string b = in.block();
        link.OnBoxBlock(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
        break;
      }
      case 5: {
        const std::string b = in.block();
        link.ParsePlatformReply(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
        break;
      }
      default: {
        const int n = in.byte() % 3 + 1, which = in.byte() % 2;
        enqueue((*channels)[static_cast<std::size_t>(n - 1)], which, in.byte(), expected, queuePath(n, which));
        break;
      }
    }
    checkQueues(*channels, expected);
  }
  return 0;
}
