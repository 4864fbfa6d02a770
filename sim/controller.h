// One simulated front-end measurement controller: takes the 22-byte command frames addressed to its
// number, drives its jack and pile as the command asks and answers with a 32-byte reading reply.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/fault_rate.h"
#include "sim/pile.h"

namespace sim {

// Faults on demand. The counted ones hit the next n replies (a negative count: every reply) or every
// n-th reply (FaultRate::everyNth).
struct ControllerFaults {
  FaultRate noReply;       // the reply is not sent
  FaultRate badChecksum;   // the check byte is wrong
  FaultRate strayBytes;    // a few bytes of noise follow the reply
  FaultRate shortFrame;    // only the first 20 bytes are sent
  FaultRate wrongNumber;   // the reply carries another controller number
  // Standing faults.
  int batteryLevel = 8;      // 0..15, reported with "on battery"
  bool charging = false;     // reports charging instead of running on battery
  std::uint8_t lostGauges = 0;  // bit i: gauge i+1 lost (fault bit set, reading 0)
  int sensorStatus = 0;      // reply byte 27 (1 or 2: force sensor not connected)
  bool pumpStop = false;     // the controller reports its own pump stop (valve state 1)
};

class Controller {
 public:
  Controller(std::string number, const PileSettings& pile = {});

  const std::string& number() const { return number_; }

  // Handles a complete command frame received at the instrument time nowMs. Returns the bytes to
  // send back (empty: no answer). A frame for another number, or a garbled one, gets no answer.
  std::string handle(const std::array<std::uint8_t, 22>& cmd, std::uint64_t nowMs);
  // Lets the pile live on to nowMs without a command (the jack keeps its last action).
  void runTo(std::uint64_t nowMs);

  void setFaults(const ControllerFaults& f);
  ControllerFaults faults() const;
  // Changes the faults under the lock.
  template <class F>
  void editFaults(F&& f) {
    std::lock_guard<std::mutex> lk(m_);
    f(faults_);
  }

  // Readings, in instrument units.
  double forceKn() const;
  double settlementMm() const;
  double gaugeMm(int i) const;
  int commandsTaken() const;
  int repliesSent() const;
  void setForceKn(double f);

  // The raw reading of the force channel that a force gives with the last coefficients received.
  int rawForForce(double kn) const;

  static bool addressedTo(const std::array<std::uint8_t, 22>& cmd, const std::string& number);

 private:
  void runLocked(std::uint64_t nowMs);
  std::string buildReply(bool wrongNumber);
  double toKn(int raw) const;

  mutable std::mutex m_;
  std::string number_;
  PileModel pile_;
  ControllerFaults faults_;
  std::uint64_t lastMs_ = 0;
  bool started_ = false;
  // Last command.
  JackAction action_ = JackAction::Hold;
  double toward_ = 0.0;
  bool pumpLatched_ = false;  // the re-load hysteresis of a hold
  double coefficient_ = 1.0;  // raw counts per kN
  double zero_ = 0.0;
  bool oilType2_ = false;
  double gaugeScale_ = 0.009921875;  // mm per count
  std::uint8_t valve_ = 17;
  int commands_ = 0;
  int replies_ = 0;
};

}  // namespace sim
