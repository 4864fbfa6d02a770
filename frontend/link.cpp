#include "frontend/link.h"

#include <random>

#include "frontend/command.h"
#include "frontend/reply.h"

namespace frontend {

namespace dev = platform::device;
namespace serial = platform::serial;
namespace clk = platform::clock;

FrontEndLink::FrontEndLink(Parameter& ch1, Parameter& ch2, Parameter& ch3, MainWindowPort& window)
    : ch_{&ch1, &ch2, &ch3}, window_(window) {}

FrontEndLink::~FrontEndLink() {
  Close();
  std::lock_guard<std::mutex> lk(deviceLock_);
  if (msc_ != dev::kInvalidHandle) dev::close(msc_);
  if (udc_ != dev::kInvalidHandle) dev::close(udc_);
}

bool FrontEndLink::waitOrStop(std::uint32_t ms) {
  if (stop_.load()) return true;
  return stopEvent_.wait(ms) || stop_.load();
}

bool FrontEndLink::openMsc() {
  std::lock_guard<std::mutex> lk(deviceLock_);
  // The device is opened once and kept (it also drives the buzzer); a reopen of the link only sends
  // the opening code again.
  if (msc_ == dev::kInvalidHandle) {
    msc_ = dev::open("MSC1:");
    if (msc_ == dev::kInvalidHandle) return false;
    dev::control(msc_, dev::kMscDirection, 1u);
  }
  dev::control(msc_, dev::kMscDirection, 3u);
  return true;
}

int FrontEndLink::OpenFrontEndPort() {
  Close();
  const int board = ch_[0]->boardFlag.load();
  board_.store(board);
  radio_.store(false);
  if (board == 1) {
    if (port_.open("COM2") != serial::Error::None) return 0;
    port_.purge(serial::Purge::Both);
  } else {
    if (!openMsc()) {
      window_.messageBox("Open MSC1 device failed");
      return 0;
    }
    if (port_.open("COM5") != serial::Error::None) return 0;
    port_.purge(serial::Purge::Both);
    port_.setDtr(true);
    port_.setRts(true);
  }
  return startThreads() ? 1 : 0;
}

int FrontEndLink::OpenFrontEndPortCom6() {
  Close();
  const int board = ch_[0]->boardFlag.load();
  board_.store(board);
  radio_.store(true);
  if (board == 0 && !openMsc()) {
    window_.messageBox("Open MSC1 device failed");
    return 0;
  }
  if (port_.open("COM6") != serial::Error::None) return 0;
  port_.purge(serial::Purge::Both);
  return startThreads() ? 1 : 0;
}

bool FrontEndLink::startThreads() {
  // The reader's start: nothing old waits in either direction (done before the poll thread can write).
  port_.purge(serial::Purge::Both);
  stop_.store(false);
  stopEvent_.reset();
  pollThread_ = std::thread([this] { pollLoop(); });
  readerThread_ = std::thread([this] { readerLoop(); });
  open_.store(true);
  return true;
}

void FrontEndLink::Close() {
  stop_.store(true);
  stopEvent_.set();
  port_.cancel();
  if (pollThread_.joinable()) pollThread_.join();
  if (readerThread_.joinable()) readerThread_.join();
  if (port_.isOpen()) {
    port_.setDtr(false);
    port_.setRts(false);
    port_.purge(serial::Purge::Both);
    port_.close();
  }
  open_.store(false);
}

int FrontEndLink::Reopen() {
  float type = ch_[0]->ParameterList.item(57);
  return type == 0.0f ? OpenFrontEndPortCom6() : OpenFrontEndPort();
}

void FrontEndLink::RefreshFromUi() {
  const std::string& sel = ch_[0]->selectedChannelText;
  selected_.store(sel == "1" ? 1 : sel == "2" ? 2 : sel == "3" ? 3 : 0);
  for (Parameter* p : ch_) refreshLinkInputs(*p);
}

// ---------------------------------------------------------------------------------------------------
// Poll thread.

bool FrontEndLink::eligible(int n) const {
  const Parameter& p = *ch_[static_cast<size_t>(n - 1)];
  return p.testRunning.load() == 1 || selected_.load() == n || p.pollWhenIdle.load() == 1;
}

void FrontEndLink::PollNextChannel() {
  int last = lastPolled_.load();
  if (last == 0) {
    for (int n = 1; n <= 3; ++n)
      if (eligible(n)) {
        lastPolled_.store(n);
        PollChannel(n);
        return;
      }
    return;
  }
  for (int step = 1; step <= 2; ++step) {
    int n = (last - 1 + step) % 3 + 1;
    if (eligible(n)) {
      lastPolled_.store(n);
      PollChannel(n);
      return;
    }
  }
  PollChannel(last);
}

void FrontEndLink::PollChannel(int n) {
  Parameter& p = channel(n);
  CommandOutcome out = buildCommand(p);
  if (out.alarm && ch_[0]->alarmOn.load() == 0) AlarmOn();
  send(n, out.frame);
}

void FrontEndLink::send(int n, const CommandFrame& frame) {
  Parameter& p = channel(n);
  if (!port_.isOpen()) return;
  constexpr std::uint32_t kWriteTimeout = 1000 + 10 * kCommandSize;
  if (radio_.load()) {
    int c = p.framesSent.load();
    p.framesSent.store(c <= 2000 ? c + 1 : 2000);
    auto r = port_.write(frame.data(), frame.size(), kWriteTimeout);
  bytesWritten_.fetch_add(r.count);
  clk::noteActivity();
    if (r.count == kCommandSize) p.replyTaken.store(0);
    return;
  }
  if (board_.load() == 1) {
    port_.purge(serial::Purge::Both);
    auto r = port_.write(frame.data(), frame.size(), kWriteTimeout);
  bytesWritten_.fetch_add(r.count);
  clk::noteActivity();
    if (r.count == kCommandSize) {
      if (waitOrStop(30)) return;
      p.replyTaken.store(0);
    }
    return;
  }
  dev::Handle msc;
  {
    std::lock_guard<std::mutex> lk(deviceLock_);
    msc = msc_;
  }
  dev::control(msc, dev::kMscDirection, 1u);
  port_.purge(serial::Purge::Both);
  auto r = port_.write(frame.data(), frame.size(), kWriteTimeout);
  bytesWritten_.fetch_add(r.count);
  clk::noteActivity();
  if (r.count == kCommandSize) {
    if (waitOrStop(30)) return;
    dev::control(msc, dev::kMscDirection, 0u);
    p.replyTaken.store(0);
  }
}

void FrontEndLink::pollLoop() {
  while (!stop_.load()) {
    PollNextChannel();
    std::minstd_rand rng(static_cast<unsigned>(clk::localTime().second) + 1u);
    std::uint32_t period = static_cast<std::uint32_t>(std::max(1, ch_[0]->pollPeriodMs.load()));
    if (ch_[0]->badFrame.load() == 1) period += static_cast<std::uint32_t>(rng() % 11) * 60u;
    if (waitOrStop(period)) break;
  }
}

// ---------------------------------------------------------------------------------------------------
// Reader thread.

void FrontEndLink::readerLoop() {
  while (!stop_.load()) {
    serial::Error e = port_.waitReceive(serial::SerialPort::kInfinite);
    if (stop_.load()) break;
    if (e != serial::Error::None) {
      // A port that went away or failed: try again a little later, unless asked to stop.
      if (waitOrStop(100)) break;
      continue;
    }
    if (waitOrStop(35)) break;
    std::array<std::uint8_t, kReplySize> buf{};
    auto r = port_.read(buf.data(), buf.size());
    if (r.count > 0) OnFrontEndFrame(buf.data());
    bytesHandled_.fetch_add(r.count);
    clk::noteActivity();
  }
}

void FrontEndLink::OnFrontEndFrame(const std::uint8_t* b) {
  Parameter& c1 = *ch_[0];
  if (ch_[0]->replyTaken.load() == 1 && ch_[1]->replyTaken.load() == 1 && ch_[2]->replyTaken.load() == 1)
    return;
  if (b[0] != kFrameStart || byteSum(b, 31) != b[31]) c1.badFrame.store(1);
  std::string number = unpackControllerNumber(&b[23]);
  bool matched = false;
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channel(n);
    auto own = normalizeControllerNumber(p.controllerNumber.get());
    if (!own || *own != number) continue;
    if (p.replyTaken.load() == 0) {
      parseReply(p, b);
      return;
    }
    // A reply for channel 1 or 2 that has already taken one is dropped quietly; one that only
    // channel 3 could have taken counts as unroutable.
    if (n < 3) matched = true;
  }
  if (!matched) c1.badFrame.store(1);
}

}  // namespace frontend
