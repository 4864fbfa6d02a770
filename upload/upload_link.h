// The upload link: the serial ports of the built-in GPRS module and of the external upload module, the
// upload thread that every 5 s sends the oldest pending record of each route and asks the GPRS module
// for its position, IMEI and signal, the two reader threads, and the parsers of the modules' replies.
//
// Routes: parameter item 56 of channel 1 chooses them for every channel (0 built-in module, 1 none,
// 2 external module, 3 both). A record leaves its queue only when its module accepts it; the
// acceptance removes the very record that was written (by its queue-file slot), from every queue that
// holds that slot, and marks the slot "OVER" in the record's own queue file. Refusals that drop the pending records (0x04, 0x07) drop them
// from memory only: the queue file keeps them for a later re-send.
//
// One item is outstanding on a route at a time. A record that the module leaves unanswered through its
// resend holds its channel back: the other channels' records go before it is written again. It stays
// first in its queue and pending in its file.
//
// Threads: the upload thread writes, the readers read and parse; flags and counters shared with the
// user-interface thread are atomics of the channel records, the queues are changed under each
// channel's `queueLock`, and what is outstanding on each route is kept under the link's own lock.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "model/parameter.h"
#include "platform/clock/clock.h"
#include "platform/serial/serial.h"

namespace upload {

// The port names of the two modules by board flag: board 1 has the GPRS module on COM4 and the
// external module on COM3; board 0 the other way round.
std::string GprsPortName(int boardFlag);
std::string BoxPortName(int boardFlag);

// The external module's one-byte answers. Any block but the three refusals counts as an acceptance.
enum class PlatformAnswer { Accepted, NotRegistered, Dropped, NotFiled };
PlatformAnswer ClassifyPlatformReply(std::uint8_t first);

// Latitude or longitude in degrees from an NMEA "ddmm.mmmm" / "dddmm.mmmm" field; 0 for an empty or
// unreadable field.
double NmeaDegrees(const std::string& field);

class UploadLink {
 public:
  static constexpr std::uint32_t kCycleMs = 5000;
  static constexpr int kGprsBlock = 128;  // bytes read from the GPRS module at once
  static constexpr int kBoxBlock = 80;    // bytes read from the external module at once
  // Writes of one record (the first and its resends, 13 cycles apart) without an answer, after which
  // the other channels' records go before it is written again.
  static constexpr int kWritesBeforeOthers = 2;

  // Without `uploadThread` the openers start only the readers, and the caller runs the cycles
  // (tests that step the cycle themselves).
  UploadLink(Parameter& ch1, Parameter& ch2, Parameter& ch3, bool uploadThread = true);
  ~UploadLink();
  UploadLink(const UploadLink&) = delete;
  UploadLink& operator=(const UploadLink&) = delete;

  // Opens the external module's port and starts its reader. Returns 1 on success, 0 on failure (the
  // port stays closed until the program restarts).
  int OpenBoxPort();
  // Opens the GPRS module's port and starts its reader; starts the upload thread in any case (a route
  // whose port is closed fails its writes and shows its fault). Returns 1 when the port opened.
  int OpenGprsPort();
  // Stops the three threads, joins them and closes both ports.
  void Close();
  bool gprsOpen() const { return gprsOpen_.load(); }
  bool boxOpen() const { return boxOpen_.load(); }
  bool uploadRunning() const { return uploadRunning_.load(); }

  // One cycle of the upload thread (the thread runs it, then waits 5 s).
  void RunCycle();
  // Write the oldest record of the route's channel to its module. 1 on a complete write.
  int SendQueuedRecord();
  int SendQueuedFrame();
  // The replies of the modules: `block` holds `n` bytes (a zero follows them).
  int ParseGprsReply(const std::uint8_t* block, std::size_t n);
  int ParsePlatformReply(const std::uint8_t* block, std::size_t n);
  // What the external module's reader does with a block: a block beginning 0x55 queues the fixed
  // answer frame on channel 1 (while channel 1's route serves the external module), any other goes
  // to ParsePlatformReply.
  void OnBoxBlock(const std::uint8_t* block, std::size_t n);

  // State for the display and the tests.
  int currentBuiltIn() const { return currentBuiltIn_.load(); }
  int currentBox() const { return currentBox_.load(); }
  int gpsCounter() const { return gpsCounter_.load(); }
  int boxWaitCycles() const { return boxWaitCycles_.load(); }
  int moduleAnswer() const { return moduleAnswer_.load(); }  // 1 after "ok", 0 after "no", -1 none yet
  bool gpsValid() const { return gpsValid_.load(); }
  std::uint64_t cycles() const { return cycles_.load(); }
  // Blocks read from each port and handed on; bytes written to each port.
  std::uint64_t gprsBlocks() const { return gprsBlocks_.load(); }
  std::uint64_t boxBlocks() const { return boxBlocks_.load(); }
  // Bytes that arrived on each port (read, or dropped with an over-long line).
  std::uint64_t gprsBytesReceived() const { return gprsReceived_.load(); }
  std::uint64_t boxBytesReceived() const { return boxReceived_.load(); }
  std::uint64_t gprsBytesWritten() const { return gprsBytes_.load(); }
  std::uint64_t boxBytesWritten() const { return boxBytes_.load(); }
  // External blocks taken as acceptances although they were not the code 0x02.
  std::uint64_t otherAcceptances() const { return otherAcceptances_.load(); }

  Parameter& channel(int n) { return *ch_[static_cast<std::size_t>(n - 1)]; }

 private:
  // The record last written on a route, as it stood in its queue.
  struct Written {
    int channel = 0;
    std::int64_t slot = QueueRecord::kNoSlot;
    std::string path;  // queue file of the slot, as the record carries it
    bool moduleTest = false;
    std::array<byte, kQueueRecordSize> bytes{};
  };
  enum class Item { None, Record, Imei, Signal };  // what is outstanding on the built-in route

  void UploadThreadProc();
  void GprsReaderThreadProc();
  void BoxReaderThreadProc();
  void readerLoop(platform::serial::SerialPort& port, std::uint32_t settleMs, std::size_t blockSize,
                  bool gprs);
  bool waitOrStop(std::uint32_t ms);
  int openPort(platform::serial::SerialPort& port, const std::string& name);
  bool writeBlock(platform::serial::SerialPort& port, const std::uint8_t* data, std::size_t n,
                  std::atomic<std::uint64_t>& counter);
  bool writeText(const std::string& text);

  int route() const;
  // Under m_: the built-in route's record of channel n, if it is the item outstanding, is no longer.
  void releaseBuiltInLocked(int n);
  // The channel a route works on: the one with a record outstanding, else the first with a record
  // that is not held back, else the one held back longest.
  int pick(int which);
  // A record written kWritesBeforeOthers times without an answer holds its channel back: the route is
  // free, and the other channels' records go before it is written again. Returns the channel picked
  // next (0 when none has a record).
  int holdBackAndPick(int which, int n);
  // Counts a write of the route's outstanding record again; true (and the count starts over for the
  // write that follows) when it has gone unanswered through kWritesBeforeOthers writes.
  bool writtenWithoutAnswer(int which);
  // The module answered the record of channel n on the route: it holds nothing back any more.
  void answered(int which, int n);
  // Copies the oldest record of channel n's queue; false when it is empty.
  bool headOf(int n, int which, Written& w);
  void builtInStep();
  void queryStep(Item item, std::atomic<int>& request, SharedText& text, int limit, const char* command,
                 std::size_t length);
  void boxStep();
  // Removes the written record from its queue and marks its slot. Nothing for a record held only in
  // memory.
  void acknowledge(int which, const Written& w);
  // The end of a module test takes only its request out of the built-in queue; otherwise a refusal
  // drops the route's queue in memory.
  void dropAfterRefusal(Parameter& p, int which);

  std::array<Parameter*, 3> ch_;
  bool withUploadThread_ = true;
  platform::serial::SerialPort gprs_;
  platform::serial::SerialPort box_;
  std::thread uploadThread_;
  std::thread gprsReader_;
  std::thread boxReader_;
  std::atomic<bool> gprsOpen_{false};
  std::atomic<bool> boxOpen_{false};
  std::atomic<bool> uploadRunning_{false};
  std::atomic<bool> stop_{false};
  platform::clock::Event stopEvent_{true, false};
  std::mutex stopLock_;
  std::condition_variable stopped_;  // a reader whose port vanished waits here for the end

  std::atomic<int> currentBuiltIn_{0};
  std::atomic<int> currentBox_{0};
  std::atomic<int> gpsCounter_{0};
  std::atomic<int> boxWaitCycles_{0};
  std::atomic<int> imeiCycles_{0};
  std::atomic<int> signalCycles_{0};
  std::atomic<int> moduleAnswer_{-1};
  std::atomic<bool> gpsValid_{false};
  std::atomic<std::uint64_t> cycles_{0};
  std::atomic<std::uint64_t> gprsBlocks_{0};
  std::atomic<std::uint64_t> boxBlocks_{0};
  std::atomic<std::uint64_t> gprsReceived_{0};
  std::atomic<std::uint64_t> boxReceived_{0};
  std::atomic<std::uint64_t> gprsBytes_{0};
  std::atomic<std::uint64_t> boxBytes_{0};
  std::atomic<std::uint64_t> otherAcceptances_{0};

  std::mutex m_;                 // guards what follows
  Item item_ = Item::None;
  bool imeiWritten_ = false;
  bool signalWritten_ = false;
  Written builtIn_;
  Written boxRecord_;
  // Per route (built-in, external) and channel: 0, or the count of hold-backs when the channel's
  // record was held back (the smallest waited longest).
  std::array<std::array<std::uint64_t, 3>, 2> heldBack_{};
  std::uint64_t holdBacks_ = 0;
  std::array<int, 2> unansweredWrites_{};  // writes of the outstanding record on each route
};

}  // namespace upload
