#include "sim/controller.h"

#include <algorithm>
#include <cmath>

#include "frontend/codec.h"

namespace sim {

using frontend::byteSum;
using frontend::decodeValue16;
using frontend::encodeValue16;

Controller::Controller(std::string number, const PileSettings& pile)
    : number_(frontend::normalizeControllerNumber(number).value_or("000000")), pile_(pile) {}

bool Controller::addressedTo(const std::array<std::uint8_t, 22>& cmd, const std::string& number) {
  if (cmd[0] != frontend::kFrameStart) return false;
  if (byteSum(cmd.data(), 21) != cmd[21]) return false;
  return frontend::unpackControllerNumber(&cmd[13]) == number;
}

double Controller::toKn(int raw) const {
  double net = raw - zero_ - (oilType2_ ? 800.0 : 0.0);
  return net / coefficient_;
}

int Controller::rawForForce(double kn) const {
  std::lock_guard<std::mutex> lk(m_);
  return frontend::saturate16(std::llround(kn * coefficient_ + zero_ + (oilType2_ ? 800.0 : 0.0)));
}

void Controller::runLocked(std::uint64_t nowMs) {
  if (!started_) {
    started_ = true;
    lastMs_ = nowMs;
    return;
  }
  if (nowMs <= lastMs_) return;
  double dt = static_cast<double>(nowMs - lastMs_);
  lastMs_ = nowMs;
  pile_.run(dt, action_, toward_);
  if (action_ == JackAction::PumpTo && pile_.force() >= toward_) pumpLatched_ = false;
}

void Controller::runTo(std::uint64_t nowMs) {
  std::lock_guard<std::mutex> lk(m_);
  runLocked(nowMs);
}

std::string Controller::handle(const std::array<std::uint8_t, 22>& cmd, std::uint64_t nowMs) {
  std::lock_guard<std::mutex> lk(m_);
  if (!addressedTo(cmd, number_)) return {};
  ++commands_;
  runLocked(nowMs);

  // Coefficients of the channel.
  double k = decodeValue16(&cmd[16]) / 1000.0;
  if (k > 0) coefficient_ = k;
  std::uint8_t flags = cmd[18];
  oilType2_ = (flags & 8) != 0;
  int kind = flags & 0x70;
  if (kind == 32) zero_ = decodeValue16(&cmd[19]);
  gaugeScale_ = (flags & 2) ? 0.01 : 0.009921875;
  if (flags & 4) gaugeScale_ *= 0.1;

  int mode = 1;
  switch (cmd[12] & 0x0F) {
    case 15: mode = 0; break;
    case 5: mode = 2; break;
    case 6: mode = 3; break;
    default: mode = 1; break;
  }
  int high = cmd[12] & 0xF0;
  bool loading = (mode <= 1) ? high == 0xF0 : (high == 0xF0 || high == 0x50);
  double target = toKn(decodeValue16(&cmd[4]) - 1);
  double reload = toKn(decodeValue16(&cmd[6]) - 1);
  double lower = (mode <= 1) ? toKn(decodeValue16(&cmd[8]) - 1) : 0.0;
  if (mode >= 2) reload = target - std::max(0.0, toKn(decodeValue16(&cmd[6]) - 1));  // bytes 6-7: the margin
  std::uint8_t valve = cmd[2];
  if (valve == 17 || valve == 18) valve_ = valve;

  double f = pile_.force();
  if (valve == 0 || faults_.pumpStop) {
    action_ = JackAction::Hold;
    pumpLatched_ = false;
  } else if (valve == 255) {
    action_ = JackAction::PumpFree;
  } else if (loading || valve == 102) {
    if (f < reload - 1e-6 || (high == 0xF0 && f < target - 1e-6)) pumpLatched_ = true;
    action_ = pumpLatched_ ? JackAction::PumpTo : JackAction::Hold;
    toward_ = target;
  } else {
    // Unloading: the valve lets the force down to the target; below the lower limit the pump
    // brings it back up.
    if (f > target + 1e-6) {
      action_ = JackAction::ReleaseTo;
      toward_ = target;
    } else if (mode <= 1 && f < lower - 1e-6) {
      action_ = JackAction::PumpTo;
      toward_ = reload;
    } else {
      action_ = JackAction::Hold;
    }
  }
  bool wrong = faults_.wrongNumber.take();
  std::string reply = buildReply(wrong);
  if (faults_.badChecksum.take()) reply[31] = static_cast<char>(reply[31] ^ 0x5A);
  if (faults_.shortFrame.take()) reply.resize(20);
  if (faults_.strayBytes.take()) reply.append("\x55\x13\x07", 3);
  if (faults_.noReply.take()) return {};
  ++replies_;
  return reply;
}

std::string Controller::buildReply(bool wrongNumber) {
  std::array<std::uint8_t, 32> r{};
  r[0] = frontend::kFrameStart;
  long long raw = std::llround(pile_.force() * coefficient_ + zero_ + (oilType2_ ? 800.0 : 0.0));
  encodeValue16(raw, &r[1]);
  for (int g = 0; g < 8; ++g) {
    long long counts = 0;
    if (!(faults_.lostGauges & (1u << g))) counts = std::llround(pile_.gauge(g) / gaugeScale_);
    encodeValue16(counts, &r[static_cast<size_t>(5 + 2 * g)]);
  }
  bool pumping = action_ == JackAction::PumpFree || (action_ == JackAction::PumpTo && pumpLatched_);
  r[21] = pumping ? 255 : 85;
  r[22] = faults_.pumpStop ? 1 : valve_;
  std::string number = number_;
  if (wrongNumber) number = number_ == "999999" ? "999998" : "999999";
  frontend::packControllerNumber(number, &r[23]);
  r[26] = faults_.lostGauges;
  r[27] = static_cast<std::uint8_t>(faults_.sensorStatus);
  r[28] = 0;
  // Battery: information valid (bits 6-7 = 1), charge state (bits 4-5: 0 charging, 1 on battery),
  // level in the low nibble. Bits 6-7 of 01 keep the byte away from the text-reply marker 0xAA.
  r[30] = static_cast<std::uint8_t>(0x40 | (faults_.charging ? 0 : 0x10) | (faults_.batteryLevel & 0x0F));
  r[31] = byteSum(r.data(), 31);
  return std::string(reinterpret_cast<const char*>(r.data()), r.size());
}

void Controller::setFaults(const ControllerFaults& f) {
  std::lock_guard<std::mutex> lk(m_);
  faults_ = f;
}
ControllerFaults Controller::faults() const {
  std::lock_guard<std::mutex> lk(m_);
  return faults_;
}
double Controller::forceKn() const {
  std::lock_guard<std::mutex> lk(m_);
  return pile_.force();
}
double Controller::settlementMm() const {
  std::lock_guard<std::mutex> lk(m_);
  return pile_.settlement();
}
double Controller::gaugeMm(int i) const {
  std::lock_guard<std::mutex> lk(m_);
  return pile_.gauge(i);
}
int Controller::commandsTaken() const {
  std::lock_guard<std::mutex> lk(m_);
  return commands_;
}
int Controller::repliesSent() const {
  std::lock_guard<std::mutex> lk(m_);
  return replies_;
}
void Controller::setForceKn(double f) {
  std::lock_guard<std::mutex> lk(m_);
  pile_.setForce(f);
}

}  // namespace sim
