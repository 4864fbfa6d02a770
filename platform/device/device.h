// The board devices "UDC1:", "MSC1:" and "GCL1:", opened by name and driven by control codes.
//
// On a desktop the board is simulated: each accepted code changes the board's state, which tests read
// through board(). Codes:
//   "UDC1:"  6 start-up (accepted, counted), 2 buzzer on, 0 accepted (sent after 2), 1 buzzer off,
//            3 accepted (sent after 1), 5 power off requested
//   "MSC1:"  0x1001 with a 4-byte value: 1 buzzer on, 0 buzzer off
//            0x1002 with a 4-byte value: transmit direction of the wired link, 1 transmit, 0 receive,
//            3 at opening
//   "GCL1:"  0x220 with a 4-byte level 1..10: the backlight (also written to the host's backlight, where
//            one exists, scaled to its maximum brightness)
// An unknown device name, an unknown code, a missing or short input or a value out of range fails.
// All functions are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace platform::device {

using Handle = int;
inline constexpr Handle kInvalidHandle = -1;

inline constexpr std::uint32_t kUdcStartup = 6;
inline constexpr std::uint32_t kUdcBuzzerOn = 2;
inline constexpr std::uint32_t kUdcBuzzerOnEnd = 0;
inline constexpr std::uint32_t kUdcBuzzerOff = 1;
inline constexpr std::uint32_t kUdcBuzzerOffEnd = 3;
inline constexpr std::uint32_t kUdcPowerOff = 5;
inline constexpr std::uint32_t kMscBuzzer = 0x1001;
inline constexpr std::uint32_t kMscDirection = 0x1002;
inline constexpr std::uint32_t kGclBacklight = 0x220;

// Opens a device by name ("UDC1:", letter case ignored). Returns a handle > 0, or kInvalidHandle for an
// unknown name. A device may be open several times at once.
Handle open(std::string_view name);
// Sends a control code with an optional input buffer. Returns false for an invalid handle, an unknown
// code or a bad input.
bool control(Handle h, std::uint32_t code, const void* input = nullptr, std::size_t inputSize = 0);
// The same with a 4-byte input value (as the board's drivers take it, little-endian int).
bool control(Handle h, std::uint32_t code, std::uint32_t value);
// Closes a handle; false when it was not open.
bool close(Handle h);

// ---- the simulated board ----

struct BuzzerChange {
  bool on = false;
  std::uint64_t atMs = 0;  // platform::clock::monotonicMs() when it happened
  bool operator==(const BuzzerChange&) const = default;
};

struct DirectionChange {
  int direction = 0;  // 1 transmit, 0 receive, 3 opening
  std::uint64_t atMs = 0;
  bool operator==(const DirectionChange&) const = default;
};

struct Board {
  bool buzzerOn = false;
  std::vector<BuzzerChange> buzzerLog;   // every switch of the buzzer (the latest kLogLimit)
  int keyClicks = 0;                     // buzzer sounds of at most kClickMaxMs
  int direction = -1;                    // last transmit direction; -1 never set
  std::vector<DirectionChange> directionLog;  // the latest kLogLimit changes
  int backlight = 0;                     // last level 1..10; 0 never set
  bool powerOffRequested = false;
  int startupCodes = 0;                  // times "UDC1:" took code 6
  int openHandles = 0;
};

inline constexpr std::size_t kLogLimit = 4096;
inline constexpr std::uint64_t kClickMaxMs = 100;

// A copy of the board's state.
Board board();
// Back to the state of a board just switched on (buzzer off, empty logs). Open handles stay open.
void resetBoard();

// The host folder holding backlight devices (each a folder with "brightness" and "max_brightness").
// Default "/sys/class/backlight"; tests point it at a folder of their own. An empty path writes nowhere.
void setBacklightFolder(const std::filesystem::path& folder);

}  // namespace platform::device
