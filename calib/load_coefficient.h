// The load coefficient of a channel: raw force units of the front-end controller per kN of the total
// load of the jack group, from the force sensor and the jacks entered in the sensor and jack dialog.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "model/parameter.h"

inline constexpr const char* kModeComputed = "计算";
inline constexpr const char* kModeRegression = "回归方程";
inline constexpr const char* kJackListShown = "已选择";  // the jack edit while the channel holds a list

// The texts of the sensor and jack dialog, and its calculation mode ("计算", "回归方程" or "").
struct SensorJackEntry {
  std::string mode = kModeComputed;
  std::string sensorNumber;   // 1084
  std::string fullRange;      // 1085
  std::string sensitivity;    // 1093 (the load cell's calibration coefficient)
  std::string constantA;      // 1086
  std::string coefficientB;   // 1087
  std::string jackNumber;     // 1089; "已选择" keeps the channel's jack list
  std::string jackCount;      // 1090
  std::string ratedOutput;    // 1091
  std::string ratedPressure;  // 1092
};

struct CoefficientResult {
  bool stored = false;    // the data and the coefficient went into the channel
  std::string message;    // the message-line text of a refusal
  float coefficient = 0.0f;
};

// Stores the sensor and jack data and the load coefficient in the channel (its members and header
// records 0, 6, 9-16 and 19) by the channel's force-sensor type and the mode. Every value the
// coefficient divides by or scales with must be above 0: otherwise the whole entry is refused and the
// channel keeps what it had. An oil-pressure sensor without a mode stores nothing.
CoefficientResult ApplyLoadCoefficient(Parameter& channel, const SensorJackEntry& entry);

// Which edit held the keyboard focus when the preview ran (its number is looked up in the database).
enum class PreviewFocus { None, SensorNumber, JackNumber };

struct PreviewResult {
  int result = 0;                // 1 when the coefficient is shown
  std::string coefficientText;   // field 1094: "%.3f", or "参数不全！"
  std::string message;           // message line (emptied first)
  bool messageFlag = false;      // the message flag is to be set
  SensorJackEntry entry;         // the edit texts, with the values of a found database record filled in
};

// The live preview of the coefficient. `found` holds the four values of the database record that
// matched the focused edit's number (sensor: full range, sensitivity; jack: rated output, rated
// pressure, a, b), if one did. `storedJackNumber` is the channel's jack number.
PreviewResult PreviewCoefficient(int sensorType, const SensorJackEntry& entry, PreviewFocus focus,
                                 const std::optional<std::array<float, 4>>& found,
                                 const std::string& storedJackNumber);

// A printed number without its trailing "0" characters and then a trailing "." (100.00 -> 100).
std::string Trimmed(const std::string& text);

// True when the jack number names several jacks (a "," after its first character).
bool IsJackList(const std::string& jackNumber);
