// Simulated upload modules on a pseudo-terminal: the instrument's built-in GPRS module and the external
// upload module. Each logs what it receives and answers as the modules do, on the instrument clock,
// with faults on demand: silence, refusals (0x03, 0x04, 0x07), late, merged and over-long answers.
//
// GPRS module: a 128-byte record ("GPRS" ...) is answered 0x02 (or "GPRS" message "OVER"); the
// module-test request (128 bytes, 0xFF first, 0x99 0x99 at 40-41) 0x04 (or a list of lines in a
// "GPRS" ... "OVER" text); "AT+GPS?" with a "$GPRMC" line, "AT+IMEI" + CR with "+IMEI: " and the 15
// digits, "AT+CSQ?" with "+CSQ: " and the signal ",99".
// External module: a 128-byte frame is answered with one byte (0x02 unless refused); the answer frame
// (0x55 first) gets no answer. sendRequest() sends the module's own 0x55 block.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "sim/fault_rate.h"
#include "sim/pty.h"

namespace sim {

// How often each fault hits: the next n answers (or commands), -1 every one, 0 none, or every n-th
// (FaultRate::everyNth).
struct ModuleFaults {
  FaultRate silent;               // commands that get no answer
  FaultRate refuse;               // records (and module tests) refused with refuseCode
  std::uint8_t refuseCode = 0x04;
  FaultRate late;                 // answers that come lateMs later than the usual delay
  std::uint32_t lateMs = 0;
  FaultRate merged;               // answers sent twice in one block
  FaultRate overLong;             // answers that run on past the instrument's read block
};

enum class ModuleCommand { Record, ModuleTest, Gps, Imei, Signal, Frame, AnswerFrame };

struct ModuleReceived {
  ModuleCommand kind = ModuleCommand::Record;
  std::string bytes;
  std::uint64_t atMs = 0;  // platform::clock::monotonicMs() on arrival
  bool answered = false;
};

class ModuleSimulator {
 public:
  virtual ~ModuleSimulator();
  ModuleSimulator(const ModuleSimulator&) = delete;
  ModuleSimulator& operator=(const ModuleSimulator&) = delete;

  // Creates the pseudo-terminal, enters it under portName in ports.conf and starts answering.
  bool start(const std::string& portName, std::string* error = nullptr);
  void stop();
  const std::string& devicePath() const { return terminal_.devicePath(); }

  void setFaults(const ModuleFaults& f);
  ModuleFaults faults() const;
  // Time (instrument ms) between a command's arrival and its answer; 0 answers at once.
  void setReplyDelayMs(std::uint32_t ms) { replyDelayMs_.store(ms); }

  std::vector<ModuleReceived> received() const;
  // The records (GPRS "GPRS" records, external frames but the answer frame) received, in order.
  std::vector<std::string> records() const;
  void clearLog();
  std::uint64_t bytesTaken() const { return taken_.load(); }
  std::uint64_t bytesSent() const { return sent_.load(); }
  std::uint64_t answers() const { return answers_.load(); }
  int garbledBytes() const { return garbled_.load(); }
  // Sends bytes to the instrument unasked.
  void sendRaw(const std::string& bytes);

 protected:
  ModuleSimulator() = default;
  // The command at the head of `pending`: its length (0 when it is not complete yet, -1 when the
  // first byte begins none) and kind.
  virtual long commandAt(const std::vector<std::uint8_t>& pending, ModuleCommand& kind) const = 0;
  // The answer to a command (empty: none). `refuse` holds the code of a refusal, else 0.
  virtual std::string answer(ModuleCommand kind, const std::string& bytes, std::uint8_t refuse) = 0;
  // Filler that makes an answer longer than the instrument reads at once.
  virtual std::string overLong(const std::string& answer) const = 0;

  mutable std::mutex m_;  // guards the settings of the subclasses too

 private:
  void run();
  void takeBytes(const std::uint8_t* data, std::size_t n);

  ServedTerminal terminal_;
  std::vector<std::uint8_t> pending_;
  ModuleFaults faults_;  // under m_
  std::vector<ModuleReceived> log_;  // under m_
  std::atomic<std::uint32_t> replyDelayMs_{0};
  std::atomic<std::uint64_t> taken_{0};
  std::atomic<std::uint64_t> sent_{0};
  std::atomic<std::uint64_t> answers_{0};
  std::atomic<int> garbled_{0};
};

class GprsModuleSimulator : public ModuleSimulator {
 public:
  GprsModuleSimulator() = default;
  ~GprsModuleSimulator() override { stop(); }
  // Records answered "GPRS" + message + "OVER" (GBK) instead of 0x02.
  void setTextReplies(bool on, const std::string& message = "OK");
  // The module test answered with these lines ("1..." passed, "0..." failed), joined by "|", in a
  // "GPRS" ... "OVER" text instead of 0x04. Empty: 0x04.
  void setModuleTestLines(const std::vector<std::string>& lines);
  void setPosition(double latitude, double longitude, bool valid = true);
  void setImei(const std::string& imei);
  // false: the module does not know the IMEI command (an old firmware) and answers "ERROR".
  void setImeiCommand(bool known);
  void setSignal(int csq);

 protected:
  long commandAt(const std::vector<std::uint8_t>& pending, ModuleCommand& kind) const override;
  std::string answer(ModuleCommand kind, const std::string& bytes, std::uint8_t refuse) override;
  std::string overLong(const std::string& answer) const override;

 private:
  bool text_ = false;
  std::string message_ = "OK";
  std::vector<std::string> testLines_;
  double latitude_ = 31.846333, longitude_ = 117.198833;
  bool valid_ = true;
  std::string imei_ = "861234567890123";
  bool imeiCommand_ = true;
  int csq_ = 23;
};

class BoxModuleSimulator : public ModuleSimulator {
 public:
  BoxModuleSimulator() = default;
  ~BoxModuleSimulator() override { stop(); }
  // The one-byte answer to an accepted frame (0x02 by default; any byte but 0x03, 0x04, 0x07 accepts).
  void setAnswerCode(std::uint8_t code);
  // The module's own request block, which the instrument answers with its fixed answer frame.
  void sendRequest();

 protected:
  long commandAt(const std::vector<std::uint8_t>& pending, ModuleCommand& kind) const override;
  std::string answer(ModuleCommand kind, const std::string& bytes, std::uint8_t refuse) override;
  std::string overLong(const std::string& answer) const override;

 private:
  std::uint8_t code_ = 0x02;
};

// The port names of the device root's board: GPRS module COM4 with "\nandflash\", else COM3; the
// external module the other.
std::string defaultGprsPortName();
std::string defaultBoxPortName();

}  // namespace sim
