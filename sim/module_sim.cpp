#include "sim/module_sim.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace sim {

std::string defaultGprsPortName() { return platform::fs::isFolder("\\nandflash\\") ? "COM4" : "COM3"; }
std::string defaultBoxPortName() { return platform::fs::isFolder("\\nandflash\\") ? "COM3" : "COM4"; }

// ---------------------------------------------------------------------------------------------------

ModuleSimulator::~ModuleSimulator() { stop(); }

bool ModuleSimulator::start(const std::string& portName, std::string* error) {
  return terminal_.start(portName, error, [this] { run(); });
}

void ModuleSimulator::stop() { terminal_.stop(); }

void ModuleSimulator::setFaults(const ModuleFaults& f) {
  std::lock_guard<std::mutex> lk(m_);
  faults_ = f;
}

ModuleFaults ModuleSimulator::faults() const {
  std::lock_guard<std::mutex> lk(m_);
  return faults_;
}

std::vector<ModuleReceived> ModuleSimulator::received() const {
  std::lock_guard<std::mutex> lk(m_);
  return log_;
}

std::vector<std::string> ModuleSimulator::records() const {
  std::lock_guard<std::mutex> lk(m_);
  std::vector<std::string> out;
  for (const ModuleReceived& r : log_)
    if (r.kind == ModuleCommand::Record || r.kind == ModuleCommand::Frame) out.push_back(r.bytes);
  return out;
}

void ModuleSimulator::clearLog() {
  std::lock_guard<std::mutex> lk(m_);
  log_.clear();
}

void ModuleSimulator::sendRaw(const std::string& bytes) {
  sent_.fetch_add(terminal_.pty().writeAll(bytes.data(), bytes.size()));
}

void ModuleSimulator::run() {
  std::uint8_t buf[512];
  for (;;) {
    const long n = terminal_.pty().readSome(buf, sizeof buf);
    if (n < 0) return;
    takeBytes(buf, static_cast<std::size_t>(n));
    taken_.fetch_add(static_cast<std::uint64_t>(n));
  }
}

void ModuleSimulator::takeBytes(const std::uint8_t* data, std::size_t n) {
  pending_.insert(pending_.end(), data, data + n);
  while (!pending_.empty()) {
    ModuleCommand kind = ModuleCommand::Record;
    const long length = commandAt(pending_, kind);
    if (length == 0) return;
    if (length < 0) {
      pending_.erase(pending_.begin());
      garbled_.fetch_add(1);
      continue;
    }
    const std::string bytes(pending_.begin(), pending_.begin() + length);
    pending_.erase(pending_.begin(), pending_.begin() + length);

    std::string reply;
    std::uint32_t delay = replyDelayMs_.load();
    {
      std::lock_guard<std::mutex> lk(m_);
      ModuleReceived r;
      r.kind = kind;
      r.bytes = bytes;
      r.atMs = platform::clock::monotonicMs();
      if (!faults_.silent.take()) {
        const bool refusable = kind == ModuleCommand::Record || kind == ModuleCommand::ModuleTest ||
                               kind == ModuleCommand::Frame;
        const std::uint8_t refuse = refusable && faults_.refuse.take() ? faults_.refuseCode : 0;
        reply = answer(kind, bytes, refuse);
        if (!reply.empty()) {
          if (faults_.overLong.take()) reply = overLong(reply);
          if (faults_.merged.take()) reply += reply;
          if (faults_.late.take()) delay += faults_.lateMs;
        }
      }
      r.answered = !reply.empty();
      log_.push_back(r);
    }
    if (reply.empty()) continue;
    if (delay > 0 && terminal_.stoppedWithin(delay)) return;
    sent_.fetch_add(terminal_.pty().writeAll(reply.data(), reply.size()));
    answers_.fetch_add(1);
  }
}

// ---------------------------------------------------------------------------------------------------
// GPRS module.

namespace {

bool prefixOf(const std::vector<std::uint8_t>& pending, const char* command, long& length) {
  const std::size_t n = std::strlen(command);
  const std::size_t have = std::min(n, pending.size());
  if (std::memcmp(pending.data(), command, have) != 0) return false;
  length = have == n ? static_cast<long>(n) : 0;
  return true;
}

std::string nmea(double degrees, int width) {
  const double a = std::fabs(degrees);
  const int d = static_cast<int>(a);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d%07.4f", width, d, (a - d) * 60.0);
  return buf;
}

}  // namespace

void GprsModuleSimulator::setTextReplies(bool on, const std::string& message) {
  std::lock_guard<std::mutex> lk(m_);
  text_ = on;
  message_ = message;
}

void GprsModuleSimulator::setModuleTestLines(const std::vector<std::string>& lines) {
  std::lock_guard<std::mutex> lk(m_);
  testLines_ = lines;
}

void GprsModuleSimulator::setPosition(double latitude, double longitude, bool valid) {
  std::lock_guard<std::mutex> lk(m_);
  latitude_ = latitude;
  longitude_ = longitude;
  valid_ = valid;
}

void GprsModuleSimulator::setImei(const std::string& imei) {
  std::lock_guard<std::mutex> lk(m_);
  imei_ = imei;
}

void GprsModuleSimulator::setImeiCommand(bool known) {
  std::lock_guard<std::mutex> lk(m_);
  imeiCommand_ = known;
}

void GprsModuleSimulator::setSignal(int csq) {
  std::lock_guard<std::mutex> lk(m_);
  csq_ = csq;
}

long GprsModuleSimulator::commandAt(const std::vector<std::uint8_t>& pending, ModuleCommand& kind) const {
  long length = 0;
  if (pending[0] == 'A') {
    const std::pair<const char*, ModuleCommand> commands[] = {
        {"AT+GPS?", ModuleCommand::Gps}, {"AT+IMEI\r", ModuleCommand::Imei}, {"AT+CSQ?", ModuleCommand::Signal}};
    for (const auto& [text, k] : commands) {
      if (prefixOf(pending, text, length)) {
        kind = k;
        return length;
      }
    }
    return -1;
  }
  const bool record = pending[0] == 'G';
  const bool test = pending[0] == 0xFF;
  if (!record && !test) return -1;
  if (record && !prefixOf(pending, "GPRS", length)) return -1;
  if (pending.size() < 128) return 0;
  if (test && (pending[40] != 0x99 || pending[41] != 0x99)) return -1;
  kind = test ? ModuleCommand::ModuleTest : ModuleCommand::Record;
  return 128;
}

std::string GprsModuleSimulator::answer(ModuleCommand kind, const std::string&, std::uint8_t refuse) {
  if (refuse != 0) return std::string(1, static_cast<char>(refuse));
  switch (kind) {
    case ModuleCommand::Record:
      return text_ ? "GPRS" + platform::text::utf8ToGbk(message_) + "OVER" : std::string(1, '\x02');
    case ModuleCommand::ModuleTest: {
      if (testLines_.empty()) return std::string(1, '\x04');
      std::string joined;
      for (const std::string& line : testLines_) joined += (joined.empty() ? "" : "|") + line;
      return "GPRS" + platform::text::utf8ToGbk(joined) + "OVER";
    }
    case ModuleCommand::Gps: {
      const platform::clock::DateTime t = platform::clock::localTime();
      char body[160];
      std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.000,%s,%s,%s,%s,%s,0.00,0.00,%02d%02d%02d,,,A", t.hour,
                    t.minute, t.second, valid_ ? "A" : "V", nmea(latitude_, 2).c_str(), latitude_ < 0 ? "S" : "N",
                    nmea(longitude_, 3).c_str(), longitude_ < 0 ? "W" : "E", t.day, t.month, t.year % 100);
      std::uint8_t sum = 0;
      for (const char* c = body; *c; ++c) sum = static_cast<std::uint8_t>(sum ^ static_cast<std::uint8_t>(*c));
      char line[200];
      std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
      return line;
    }
    case ModuleCommand::Imei:
      return imeiCommand_ ? "+IMEI: " + imei_ + "\r\nOK\r\n" : std::string("ERROR\r\n");
    case ModuleCommand::Signal:
      return "+CSQ: " + std::to_string(csq_) + ",99\r\nOK\r\n";
    default:
      return {};
  }
}

std::string GprsModuleSimulator::overLong(const std::string& answer) const {
  // A text that runs past the 128 bytes the instrument reads at once.
  if (answer.rfind("GPRS", 0) == 0) return answer.substr(0, answer.size() - 4) + std::string(150, '#') + "OVER";
  return answer + std::string(150, '#');
}

// ---------------------------------------------------------------------------------------------------
// External module.

void BoxModuleSimulator::setAnswerCode(std::uint8_t code) {
  std::lock_guard<std::mutex> lk(m_);
  code_ = code;
}

void BoxModuleSimulator::sendRequest() {
  std::string block(45, '\0');
  block[0] = '\x55';
  block[1] = '\x01';
  sendRaw(block);
}

long BoxModuleSimulator::commandAt(const std::vector<std::uint8_t>& pending, ModuleCommand& kind) const {
  if (pending[0] != 'G' && pending[0] != 0x55) return -1;
  if (pending.size() < 128) return 0;
  kind = pending[0] == 0x55 ? ModuleCommand::AnswerFrame : ModuleCommand::Frame;
  return 128;
}

std::string BoxModuleSimulator::answer(ModuleCommand kind, const std::string&, std::uint8_t refuse) {
  if (kind == ModuleCommand::AnswerFrame) return {};
  return std::string(1, static_cast<char>(refuse != 0 ? refuse : code_));
}

std::string BoxModuleSimulator::overLong(const std::string& answer) const {
  return answer + std::string(100, ' ');
}

}  // namespace sim
