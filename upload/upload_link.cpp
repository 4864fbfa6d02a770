#include "upload/upload_link.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "upload/wire_number.h"

namespace upload {

namespace serial = platform::serial;

std::string GprsPortName(int boardFlag) { return boardFlag == 1 ? "COM4" : "COM3"; }
std::string BoxPortName(int boardFlag) { return boardFlag == 1 ? "COM3" : "COM4"; }

PlatformAnswer ClassifyPlatformReply(std::uint8_t first) {
  switch (first) {
    case 0x03: return PlatformAnswer::NotRegistered;
    case 0x04: return PlatformAnswer::Dropped;
    case 0x07: return PlatformAnswer::NotFiled;
    default: return PlatformAnswer::Accepted;
  }
}

double NmeaDegrees(const std::string& field) {
  if (field.empty() || !IsValidNumber(field)) return 0.0;
  const double x = std::strtod(field.c_str(), nullptr);
  if (!std::isfinite(x)) return 0.0;
  const double d = std::trunc(x * 0.01);
  return d + (x - 100.0 * d) / 60.0;
}

namespace {

std::deque<QueueRecord>& queueOf(Parameter& p, int which) { return which == 0 ? p.moduleQueue : p.boxQueue; }
std::atomic<byte>& readyOf(Parameter& p, int which) { return which == 0 ? p.moduleReady : p.boxReady; }

bool queueEmpty(Parameter& p, int which) {
  std::lock_guard<std::mutex> lock(p.queueLock);
  return queueOf(p, which).empty();
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
bool endsWith(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

UploadLink::UploadLink(Parameter& ch1, Parameter& ch2, Parameter& ch3, bool uploadThread)
    : ch_{&ch1, &ch2, &ch3}, withUploadThread_(uploadThread) {}

UploadLink::~UploadLink() { Close(); }

bool UploadLink::waitOrStop(std::uint32_t ms) {
  if (stop_.load()) return true;
  return stopEvent_.wait(ms) || stop_.load();
}

int UploadLink::route() const {
  const float item = ch_[0]->ParameterList.item(56);
  return static_cast<int>(std::lround(item));
}

// ---------------------------------------------------------------------------------------------------
// Ports and threads.

int UploadLink::openPort(serial::SerialPort& port, const std::string& name) {
  serial::Settings s;  // 9600 baud, 8 data bits, no parity, one stop bit
  if (port.open(name, s) != serial::Error::None) return 0;
  port.purge(serial::Purge::Both);
  return 1;
}

int UploadLink::OpenBoxPort() {
  if (boxReader_.joinable()) return boxOpen_.load() ? 1 : 0;
  if (!uploadThread_.joinable() && !gprsReader_.joinable()) {
    stop_.store(false);
    stopEvent_.reset();
  }
  if (!openPort(box_, BoxPortName(ch_[0]->boardFlag.load()))) return 0;
  boxOpen_.store(true);
  boxReader_ = std::thread([this] { BoxReaderThreadProc(); });
  return 1;
}

int UploadLink::OpenGprsPort() {
  if (!uploadThread_.joinable() && !boxReader_.joinable()) {
    stop_.store(false);
    stopEvent_.reset();
  }
  int opened = gprsOpen_.load() ? 1 : 0;
  if (!gprsReader_.joinable() && openPort(gprs_, GprsPortName(ch_[0]->boardFlag.load()))) {
    gprsOpen_.store(true);
    opened = 1;
  }
  if (withUploadThread_ && !uploadThread_.joinable()) {
    uploadRunning_.store(true);
    uploadThread_ = std::thread([this] { UploadThreadProc(); });
  }
  if (opened && !gprsReader_.joinable()) gprsReader_ = std::thread([this] { GprsReaderThreadProc(); });
  return opened;
}

void UploadLink::Close() {
  {
    std::lock_guard<std::mutex> lock(stopLock_);
    stop_.store(true);
  }
  stopped_.notify_all();
  stopEvent_.set();
  gprs_.cancel();
  box_.cancel();
  for (std::thread* t : {&uploadThread_, &gprsReader_, &boxReader_})
    if (t->joinable()) t->join();
  uploadRunning_.store(false);
  gprs_.close();
  box_.close();
  gprsOpen_.store(false);
  boxOpen_.store(false);
}

void UploadLink::UploadThreadProc() {
  while (!stop_.load()) {
    RunCycle();
    if (waitOrStop(kCycleMs)) break;
  }
}

void UploadLink::GprsReaderThreadProc() { readerLoop(gprs_, 128, kGprsBlock, true); }
void UploadLink::BoxReaderThreadProc() { readerLoop(box_, 70, kBoxBlock, false); }

void UploadLink::readerLoop(serial::SerialPort& port, std::uint32_t settleMs, std::size_t blockSize, bool gprs) {
  // The opener purged the port before this thread started, so nothing that arrives after it is lost.
  while (!stop_.load()) {
    const serial::Error e = port.waitReceive(serial::SerialPort::kInfinite);
    if (stop_.load()) break;
    if (e == serial::Error::Vanished || e == serial::Error::NotOpen) {
      // The device went away: nothing comes from it until the program restarts. The reader waits for
      // the program's end without looking at the port again.
      std::unique_lock<std::mutex> lock(stopLock_);
      stopped_.wait(lock, [this] { return stop_.load(); });
      break;
    }
    if (e != serial::Error::None) {
      if (waitOrStop(100)) break;
      continue;
    }
    // Let the module's line arrive whole.
    if (waitOrStop(settleMs)) break;
    // One byte more than a block, so the block is always zero-terminated.
    std::array<std::uint8_t, kGprsBlock + 1> buf{};
    const serial::IoResult r = port.read(buf.data(), blockSize);
    // What came beyond the block in the same line is dropped; what is being written stays.
    const serial::IoResult rest = port.available();
    port.purge(serial::Purge::Receive);
    if (r.count > 0) {
      if (gprs) {
        ParseGprsReply(buf.data(), r.count);
        gprsBlocks_.fetch_add(1);
      } else {
        OnBoxBlock(buf.data(), r.count);
        boxBlocks_.fetch_add(1);
      }
    }
    // Counted once handled, so a test that sees every byte counted knows the reply was acted on.
    (gprs ? gprsReceived_ : boxReceived_).fetch_add(r.count + rest.count);
  }
}

bool UploadLink::writeBlock(serial::SerialPort& port, const std::uint8_t* data, std::size_t n,
                            std::atomic<std::uint64_t>& counter) {
  std::size_t done = 0;
  for (int attempt = 0; attempt < 3 && done < n; ++attempt) {
    if (attempt > 0 && waitOrStop(50)) return false;
    const std::size_t left = n - done;
    const serial::IoResult r = port.write(data + done, left, static_cast<std::uint32_t>(1000 + 10 * left));
    done += r.count;
    counter.fetch_add(r.count);
    // A port that is not open, or whose device went away, takes nothing more on a retry.
    if (r.error == serial::Error::NotOpen || r.error == serial::Error::Vanished || r.error == serial::Error::Io)
      break;
  }
  return done == n;
}

bool UploadLink::writeText(const std::string& text) {
  return writeBlock(gprs_, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), gprsBytes_);
}

// ---------------------------------------------------------------------------------------------------
// The upload cycle.

void UploadLink::releaseBuiltInLocked(int n) {
  if (item_ == Item::Record && builtIn_.channel == n) {
    item_ = Item::None;
    currentBuiltIn_.store(0);
  }
}

int UploadLink::pick(int which) {
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channel(n);
    if (readyOf(p, which).load() != 0) continue;
    if (!queueEmpty(p, which)) return n;
    // Nothing left in the queue to wait for (the test ended, the queue was dropped): the route is free.
    if (which == 0) {
      std::lock_guard<std::mutex> lock(m_);
      releaseBuiltInLocked(n);
    }
    readyOf(p, which).store(1);
  }
  // Nothing outstanding: the first channel with a record that no unanswered record holds back, else
  // the one held back longest.
  int held = 0;
  std::uint64_t heldSince = 0;
  for (int n = 1; n <= 3; ++n) {
    const bool empty = queueEmpty(channel(n), which);
    std::uint64_t since;
    {
      std::lock_guard<std::mutex> lock(m_);
      std::uint64_t& at = heldBack_[static_cast<std::size_t>(which)][static_cast<std::size_t>(n - 1)];
      if (empty) at = 0;  // nothing left to hold back
      since = at;
    }
    if (empty) continue;
    if (since == 0) return n;
    if (held == 0 || since < heldSince) {
      held = n;
      heldSince = since;
    }
  }
  return held;
}

int UploadLink::holdBackAndPick(int which, int n) {
  Parameter& p = channel(n);
  {
    std::lock_guard<std::mutex> lock(m_);
    heldBack_[static_cast<std::size_t>(which)][static_cast<std::size_t>(n - 1)] = ++holdBacks_;
    if (which == 0) releaseBuiltInLocked(n);
    if (which == 1 && currentBox_.load() == n) currentBox_.store(0);
  }
  readyOf(p, which).store(1);
  return pick(which);
}

void UploadLink::answered(int which, int n) {
  if (n < 1 || n > 3) return;
  std::lock_guard<std::mutex> lock(m_);
  heldBack_[static_cast<std::size_t>(which)][static_cast<std::size_t>(n - 1)] = 0;
  unansweredWrites_[static_cast<std::size_t>(which)] = 0;
}

void UploadLink::RunCycle() {
  cycles_.fetch_add(1);
  const int r = route();
  const bool builtIn = r == 0 || r == 3;
  const bool box = r == 2 || r == 3;
  Parameter& c1 = channel(1);

  // 1. Built-in route.
  if (builtIn) builtInStep();

  // 2. Position query, after 12 idle cycles of the built-in route.
  if (builtIn && queueEmpty(channel(1), 0) && queueEmpty(channel(2), 0) && queueEmpty(channel(3), 0)) {
    if (gpsCounter_.fetch_add(1) + 1 > 11) {
      if (c1.gpsQueryRequest.exchange(0) != 0) writeText("AT+GPS?");  // a failed write is given up
      gpsCounter_.store(0);
    }
  }

  // 3. IMEI query; 4. signal query.
  if (builtIn && c1.imeiRequest.load() != 0) {
    queryStep(Item::Imei, c1.imeiRequest, c1.imeiText, 2, "AT+IMEI\r", 8);
  } else if (c1.imeiRequest.load() == 0) {
    std::lock_guard<std::mutex> lock(m_);
    imeiWritten_ = false;
    imeiCycles_.store(0);
  }
  if (builtIn && c1.signalRequest.load() != 0 && c1.imeiRequest.load() == 0) {
    queryStep(Item::Signal, c1.signalRequest, c1.signalText, 3, "AT+CSQ?", 7);
  } else if (c1.signalRequest.load() == 0) {
    std::lock_guard<std::mutex> lock(m_);
    signalWritten_ = false;
    signalCycles_.store(0);
  }

  // 5. External route.
  if (box) boxStep();
}

void UploadLink::builtInStep() {
  // The module answers the signal query first.
  if (channel(1).signalRequest.load() != 0) return;
  const int n = pick(0);
  if (n == 0) return;
  Parameter& p = channel(n);
  if (p.moduleReady.load() != 0) {
    bool free;
    {
      std::lock_guard<std::mutex> lock(m_);
      free = item_ == Item::None;  // no query outstanding
      if (free) unansweredWrites_[0] = 1;
    }
    if (free) {
      SendQueuedRecord();
      p.moduleWaitCycles.store(0);
    }
    return;
  }
  const int waited = p.moduleWaitCycles.fetch_add(1) + 1;
  if (p.moduleTestRequest.load() != 0) {
    if (waited > 12) {
      // The module test got no answer.
      p.uploadStatus.store(6);
      dropAfterRefusal(p, 0);
      p.moduleTestRequest.store(0);
      {
        std::lock_guard<std::mutex> lock(m_);
        releaseBuiltInLocked(n);
      }
      p.moduleReady.store(1);
      p.moduleWaitCycles.store(0);
    }
    return;
  }
  p.uploadStatus.store(5);
  if (waited > 12) {
    p.moduleWaitCycles.store(0);
    if (writtenWithoutAnswer(0)) {
      // Written and sent again without an answer: the other channels' records go first.
      const int next = holdBackAndPick(0, n);
      if (next == 0) return;
      channel(next).moduleWaitCycles.store(0);
    }
    SendQueuedRecord();
  }
}

bool UploadLink::writtenWithoutAnswer(int which) {
  std::lock_guard<std::mutex> lock(m_);
  int& writes = unansweredWrites_[static_cast<std::size_t>(which)];
  if (writes >= kWritesBeforeOthers) {
    writes = 1;  // the write that follows
    return true;
  }
  ++writes;
  return false;
}

void UploadLink::queryStep(Item item, std::atomic<int>& request, SharedText& text, int limit,
                           const char* command, std::size_t length) {
  std::atomic<int>& cycles = item == Item::Imei ? imeiCycles_ : signalCycles_;
  bool write = false;
  {
    std::lock_guard<std::mutex> lock(m_);
    bool& written = item == Item::Imei ? imeiWritten_ : signalWritten_;
    // One item at a time on the built-in route: the query waits while anything is outstanding.
    if (!written && item_ == Item::None) {
      written = true;
      write = true;
      item_ = item;
      currentBuiltIn_.store(1);
      cycles.store(0);
    }
  }
  bool giveUp = false;
  if (write) {
    giveUp = !writeBlock(gprs_, reinterpret_cast<const std::uint8_t*>(command), length, gprsBytes_);
  } else {
    giveUp = cycles.fetch_add(1) + 1 >= limit;
  }
  if (!giveUp) return;
  request.store(0);
  text.clear();
  std::lock_guard<std::mutex> lock(m_);
  if (item_ == item) {
    item_ = Item::None;
    currentBuiltIn_.store(0);
  }
  (item == Item::Imei ? imeiWritten_ : signalWritten_) = false;
  cycles.store(0);
}

void UploadLink::boxStep() {
  const int n = pick(1);
  if (n == 0) return;
  Parameter& p = channel(n);
  if (p.boxReady.load() != 0) {
    {
      std::lock_guard<std::mutex> lock(m_);
      unansweredWrites_[1] = 1;
    }
    SendQueuedFrame();
    boxWaitCycles_.store(0);
    return;
  }
  if (p.moduleTestRequest.load() != 0) return;
  p.boxStatus.store(15);
  if (boxWaitCycles_.fetch_add(1) + 1 > 12) {
    boxWaitCycles_.store(0);
    // Written and sent again without an answer: the other channels' frames go first.
    if (writtenWithoutAnswer(1) && holdBackAndPick(1, n) == 0) return;
    SendQueuedFrame();
  }
}

bool UploadLink::headOf(int n, int which, Written& w) {
  Parameter& p = channel(n);
  std::lock_guard<std::mutex> lock(p.queueLock);
  const std::deque<QueueRecord>& q = queueOf(p, which);
  if (q.empty()) return false;
  w.channel = n;
  w.bytes = q.front().bytes;
  w.slot = q.front().slot;
  w.moduleTest = q.front().moduleTest;
  w.path = q.front().file;
  return true;
}

int UploadLink::SendQueuedRecord() {
  const int r = route();
  if (r != 0 && r != 3) return 0;
  const int n = pick(0);
  if (n == 0) return 0;
  Parameter& p = channel(n);
  Written w;
  if (!headOf(n, 0, w)) return 0;
  {
    std::lock_guard<std::mutex> lock(m_);
    builtIn_ = w;
    item_ = Item::Record;
    currentBuiltIn_.store(n);
    p.moduleReady.store(0);  // before the write: a quick answer finds the route waiting
  }
  return writeBlock(gprs_, w.bytes.data(), w.bytes.size(), gprsBytes_) ? 1 : 0;
}

int UploadLink::SendQueuedFrame() {
  const int r = route();
  if (r != 2 && r != 3) return 0;
  const int n = pick(1);
  if (n == 0) return 0;
  Parameter& p = channel(n);
  Written w;
  if (!headOf(n, 1, w)) return 0;
  {
    std::lock_guard<std::mutex> lock(m_);
    boxRecord_ = w;
    currentBox_.store(n);
    p.boxReady.store(0);
  }
  if (!writeBlock(box_, w.bytes.data(), w.bytes.size(), boxBytes_)) return 0;
  p.answerSent.store(0);
  if (w.bytes[0] == 0x55) {
    // The answer frame needs no answer: it leaves its queue at once.
    p.boxStatus.store(12);
    p.answerSent.store(1);
    acknowledge(1, w);
    p.boxReady.store(1);
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// Queue changes of the replies.

void UploadLink::acknowledge(int which, const Written& w) {
  if (w.channel < 1 || w.channel > 3) return;
  Parameter& p = channel(w.channel);
  if (w.slot == QueueRecord::kNoSlot) {
    std::lock_guard<std::mutex> lock(p.queueLock);
    std::deque<QueueRecord>& q = queueOf(p, which);
    const auto it = std::find_if(q.begin(), q.end(), [&](const QueueRecord& r) {
      return r.slot == QueueRecord::kNoSlot && r.moduleTest == w.moduleTest && r.bytes == w.bytes;
    });
    if (it != q.end()) q.erase(it);
  } else {
    // The accepted slot leaves every queue that holds it: besides its own, another channel's may hold it
    // too (a channel's ended test still queued while its file is sent again through channel 1).
    for (Parameter* other : ch_) {
      std::lock_guard<std::mutex> lock(other->queueLock);
      for (std::deque<QueueRecord>* q : {&other->moduleQueue, &other->boxQueue})
        q->erase(std::remove_if(q->begin(), q->end(),
                                [&](const QueueRecord& r) {
                                  return r.slot == w.slot && platform::fs::samePath(r.file, w.path);
                                }),
                 q->end());
    }
  }
  // The slot is marked in the record's own file, whatever the channel's paths name since (a re-send,
  // a new test's set-up), and even when a refusal dropped the record from memory meanwhile: it was
  // accepted.
  if (w.slot != QueueRecord::kNoSlot) JDQFile::MarkQueueRecord(p, w.path, w.slot);
  if (w.moduleTest) p.moduleTestRequest.store(0);
}

void UploadLink::dropAfterRefusal(Parameter& p, int which) {
  std::lock_guard<std::mutex> lock(p.queueLock);
  std::deque<QueueRecord>& q = queueOf(p, which);
  if (p.moduleTestRequest.load() != 0) {
    q.erase(std::remove_if(q.begin(), q.end(), [](const QueueRecord& r) { return r.moduleTest; }), q.end());
  } else {
    q.clear();  // the queue file keeps them
  }
}

// ---------------------------------------------------------------------------------------------------
// Replies of the GPRS module.

int UploadLink::ParseGprsReply(const std::uint8_t* block, std::size_t n) {
  if (block == nullptr || n == 0) return 0;
  const std::size_t length = strnlen(reinterpret_cast<const char*>(block), n);
  const std::string text = platform::text::gbkToUtf8(std::string_view(reinterpret_cast<const char*>(block), length));

  // 1. Position line.
  if (n >= 2 && block[0] == '$' && block[1] == 'G') {
    std::vector<std::string> fields;
    int count = -1;
    SplitString(text, fields, count, ",");
    if (count >= 5 && fields.size() > 5 && fields[0] == "$GPRMC" && fields[2] == "A") {
      gpsValid_.store(true);
      double latitude = NmeaDegrees(fields[3]);
      if (fields[4] == "S") latitude = -latitude;
      double longitude = NmeaDegrees(fields[5]);
      if (fields.size() > 6 && fields[6] == "W") longitude = -longitude;
      for (Parameter* p : ch_) {
        p->latitude.store(static_cast<float>(latitude));
        p->longitude.store(static_cast<float>(longitude));
      }
      return 1;
    }
    return 0;
  }

  // 2. "ok" / "no".
  if (n >= 2) {
    const char a = static_cast<char>(std::tolower(block[0])), b = static_cast<char>(std::tolower(block[1]));
    if (a == 'o' && b == 'k') {
      moduleAnswer_.store(1);
      return 1;
    }
    if (a == 'n' && b == 'o') {
      moduleAnswer_.store(0);
      return 1;
    }
  }

  // 3. Replies to a record or a query.
  enum class Kind { Other, NotRegistered, Dropped, NotFiled, Accepted, Message, Imei, Signal };
  Kind kind = Kind::Other;
  switch (block[0]) {
    case 0x03: kind = Kind::NotRegistered; break;
    case 0x04: kind = Kind::Dropped; break;
    case 0x07: kind = Kind::NotFiled; break;
    case 0x02: kind = Kind::Accepted; break;
    default:
      if (startsWith(text, "GPRS") && endsWith(text, "OVER") && text.size() >= 8) kind = Kind::Message;
      else if (startsWith(text, "+IMEI")) kind = Kind::Imei;
      else if (startsWith(text, "+CSQ")) kind = Kind::Signal;
      break;
  }
  // A block the module is not known to send leaves the wait as it is, so the answer that follows
  // still finds its record.
  if (kind == Kind::Other) return 0;

  Item item;
  Written w;
  int c;
  {
    std::lock_guard<std::mutex> lock(m_);
    c = currentBuiltIn_.exchange(0);
    if (c < 1 || c > 3) return 0;
    item = item_;
    w = builtIn_;
    item_ = Item::None;
    // A query that has its answer may be asked again.
    if (item == Item::Imei) imeiWritten_ = false;
    if (item == Item::Signal) signalWritten_ = false;
  }
  Parameter& p = channel(c);
  p.uploadMessage.clear();
  p.uploadMessagePrefixed.clear();
  if (item == Item::None) return 0;  // nothing was outstanding

  if (item == Item::Record) answered(0, w.channel);
  auto ready = [&] {
    if (item == Item::Record) channel(w.channel).moduleReady.store(1);
  };
  switch (kind) {
    case Kind::NotRegistered:
      p.uploadStatus.store(3);
      if (p.moduleTestRequest.load() != 0) dropAfterRefusal(p, 0);
      p.moduleTestRequest.store(0);
      break;
    case Kind::Dropped:
    case Kind::NotFiled:
      p.uploadStatus.store(kind == Kind::Dropped ? 4 : 7);
      dropAfterRefusal(p, 0);
      p.moduleTestRequest.store(0);
      break;
    case Kind::Accepted:
    case Kind::Message:
      if (item == Item::Record) acknowledge(0, w);
      if (kind == Kind::Message) {
        const std::string message = text.substr(4, text.size() - 8);
        p.uploadMessage.set(message);
        p.uploadMessagePrefixed.set(std::to_string(c) + "#试验" + message);
        p.uploadStatus.store(1000);
      } else {
        p.uploadStatus.store(2);
      }
      break;
    case Kind::Imei:
    case Kind::Signal: {
      // Offsets into the answer's first line, bounded by it: a short answer gives what is there.
      const std::string line = text.substr(0, text.find_first_of("\r\n"));
      const std::size_t at = kind == Kind::Imei ? 7 : 6;
      const std::string value = line.size() > at ? line.substr(at, kind == Kind::Imei ? 15 : 2) : std::string();
      if (kind == Kind::Imei) {
        p.imeiRequest.store(0);
        p.imeiText.set(value);
      } else {
        p.signalRequest.store(0);
        p.signalText.set(value);
      }
      break;
    }
    case Kind::Other:
      break;
  }
  ready();
  return 1;
}

// ---------------------------------------------------------------------------------------------------
// The external module.

void UploadLink::OnBoxBlock(const std::uint8_t* block, std::size_t n) {
  if (block == nullptr || n == 0) return;
  if (block[0] == 0x55) {
    const int r = route();
    if (r != 2 && r != 3) return;  // channel 1 would never send it
    Parameter& p = channel(1);
    QueueRecord answer;
    const auto frame = FixedAnswerFrame();
    std::copy(frame.begin(), frame.end(), answer.bytes.begin());
    std::lock_guard<std::mutex> lock(p.queueLock);
    p.boxQueue.push_back(answer);
    return;
  }
  ParsePlatformReply(block, n);
}

int UploadLink::ParsePlatformReply(const std::uint8_t* block, std::size_t n) {
  if (block == nullptr || n == 0) return 0;
  const int c = currentBox_.load();
  if (c < 1 || c > 3) return 0;
  Parameter& p = channel(c);
  Written w;
  {
    std::lock_guard<std::mutex> lock(m_);
    if (p.boxReady.load() != 0) return 0;  // nothing outstanding
    w = boxRecord_;
  }
  answered(1, c);
  switch (ClassifyPlatformReply(block[0])) {
    case PlatformAnswer::NotRegistered:
      if (p.moduleTestRequest.load() != 0) dropAfterRefusal(p, 1);
      p.boxStatus.store(13);
      p.moduleTestRequest.store(0);
      break;
    case PlatformAnswer::Dropped:
    case PlatformAnswer::NotFiled:
      p.boxStatus.store(ClassifyPlatformReply(block[0]) == PlatformAnswer::Dropped ? 14 : 17);
      dropAfterRefusal(p, 1);
      p.moduleTestRequest.store(0);
      break;
    case PlatformAnswer::Accepted:
      if (block[0] != 0x02) otherAcceptances_.fetch_add(1);
      p.boxStatus.store(12);
      if (p.answerSent.load() == 0) acknowledge(1, w);
      break;
  }
  p.boxReady.store(1);
  return 1;
}

}  // namespace upload
