#include "platform/device/device.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/clock/clock.h"

namespace platform::device {

namespace {

enum class Kind { Udc, Msc, Gcl };

struct State {
  std::mutex m;
  std::map<Handle, Kind> handles;
  Handle next = 100;  // handles never 0, which callers take for "not opened"
  Board board;
  std::uint64_t buzzerOnAt = 0;
  std::filesystem::path backlightFolder = "/sys/class/backlight";
};

State& state() {
  static State* s = new State();  // lives as long as the program, whatever order statics end in
  return *s;
}

// One writer of the host's backlight at a time, so the last level set is the one that stays.
std::mutex& backlightWriteMutex() {
  static std::mutex* m = new std::mutex();
  return *m;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

template <class T>
void appendBounded(std::vector<T>& log, T item) {
  if (log.size() >= kLogLimit) log.erase(log.begin(), log.begin() + static_cast<long>(log.size() - kLogLimit + 1));
  log.push_back(item);
}

void switchBuzzerLocked(State& s, bool on) {
  if (s.board.buzzerOn == on) return;
  const std::uint64_t now = clock::monotonicMs();
  if (on) {
    s.buzzerOnAt = now;
  } else if (now - s.buzzerOnAt <= kClickMaxMs) {
    s.board.keyClicks++;
  }
  s.board.buzzerOn = on;
  appendBounded(s.board.buzzerLog, BuzzerChange{on, now});
}

void writeHostBacklight(const std::filesystem::path& folder, int level) {
  if (folder.empty()) return;
  std::lock_guard lk(backlightWriteMutex());
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return;
  for (const auto& entry : it) {
    std::ifstream maxIn(entry.path() / "max_brightness");
    long long max = 0;
    if (!(maxIn >> max) || max <= 0) continue;
    const long long value = (static_cast<long long>(level) * max + 5) / 10;
    std::ofstream out(entry.path() / "brightness");
    if (out) out << value << '\n';
  }
}

bool readValue(const void* input, std::size_t size, std::uint32_t& value) {
  if (input == nullptr || size < 4) return false;
  std::memcpy(&value, input, 4);
  return true;
}

}  // namespace

Handle open(std::string_view name) {
  Kind kind;
  if (equalsIgnoringCase(name, "UDC1:")) {
    kind = Kind::Udc;
  } else if (equalsIgnoringCase(name, "MSC1:")) {
    kind = Kind::Msc;
  } else if (equalsIgnoringCase(name, "GCL1:")) {
    kind = Kind::Gcl;
  } else {
    return kInvalidHandle;
  }
  State& s = state();
  std::lock_guard lk(s.m);
  const Handle h = s.next++;
  if (s.next <= 0) s.next = 100;
  s.handles[h] = kind;
  s.board.openHandles++;
  return h;
}

bool close(Handle h) {
  State& s = state();
  std::lock_guard lk(s.m);
  if (s.handles.erase(h) == 0) return false;
  s.board.openHandles--;
  return true;
}

bool control(Handle h, std::uint32_t code, const void* input, std::size_t inputSize) {
  State& s = state();
  int backlight = 0;
  std::filesystem::path backlightFolder;
  {
    std::lock_guard lk(s.m);
    auto it = s.handles.find(h);
    if (it == s.handles.end()) return false;
    switch (it->second) {
      case Kind::Udc:
        switch (code) {
          case kUdcStartup:
            s.board.startupCodes++;
            return true;
          case kUdcBuzzerOn:
            switchBuzzerLocked(s, true);
            return true;
          case kUdcBuzzerOff:
            switchBuzzerLocked(s, false);
            return true;
          case kUdcBuzzerOnEnd:
          case kUdcBuzzerOffEnd:
            return true;
          case kUdcPowerOff:
            s.board.powerOffRequested = true;
            return true;
          default:
            return false;
        }
      case Kind::Msc: {
        std::uint32_t value = 0;
        if (!readValue(input, inputSize, value)) return false;
        if (code == kMscBuzzer) {
          if (value > 1) return false;
          switchBuzzerLocked(s, value == 1);
          return true;
        }
        if (code == kMscDirection) {
          if (value != 0 && value != 1 && value != 3) return false;
          s.board.direction = static_cast<int>(value);
          appendBounded(s.board.directionLog, DirectionChange{static_cast<int>(value), clock::monotonicMs()});
          return true;
        }
        return false;
      }
      case Kind::Gcl: {
        std::uint32_t value = 0;
        if (code != kGclBacklight || !readValue(input, inputSize, value)) return false;
        if (value < 1 || value > 10) return false;
        s.board.backlight = static_cast<int>(value);
        backlight = static_cast<int>(value);
        backlightFolder = s.backlightFolder;
        break;
      }
    }
  }
  writeHostBacklight(backlightFolder, backlight);
  return true;
}

bool control(Handle h, std::uint32_t code, std::uint32_t value) { return control(h, code, &value, sizeof value); }

Board board() {
  State& s = state();
  std::lock_guard lk(s.m);
  return s.board;
}

void resetBoard() {
  State& s = state();
  std::lock_guard lk(s.m);
  const int open = s.board.openHandles;
  s.board = Board{};
  s.board.openHandles = open;
  s.buzzerOnAt = 0;
}

void setBacklightFolder(const std::filesystem::path& folder) {
  State& s = state();
  std::lock_guard lk(s.m);
  s.backlightFolder = folder;
}

}  // namespace platform::device
