#include "calib/system_calibration_steps.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "model/helpers.h"
#include "platform/text/text.h"

using platform::text::format;

namespace {

constexpr const char* kMaximumNotNumber = "标定最大力值要求为数字！";
constexpr const char* kPointsNotNumber = "标定点数要求数字！";
constexpr const char* kRangeNotNumber = "传感器量程要求为数字！";
constexpr const char* kSensitivityNotNumber = "传感器灵敏度要求为数字！";
constexpr const char* kCoefficientNotNumber = "传感器标定系数要求为数字！";
constexpr const char* kRatedOutputNotNumber = "千斤顶额定出力要求为数字！";
constexpr const char* kRatedPressureNotNumber = "千斤顶额定油压要求为数字！";
constexpr const char* kMaximumZero = "标定最大力值不能为零！";
constexpr const char* kMaximumOverLoadSensor = "标定最大力值不允许超过荷载传感器量程！";
constexpr const char* kMaximumOverJack = "标定最大力值不允许超过千斤顶的额定出力！";
constexpr const char* kRangeNotPositive = "传感器量程要求大于零！";
constexpr const char* kRatedPressureNotPositive = "千斤顶额定油压要求大于零！";
constexpr const char* kSensitivityNotPositive = "传感器灵敏度要求大于零！";
constexpr const char* kCoefficientNotPositive = "传感器标定系数要求大于零！";
constexpr const char* kFinished = "本次标定已经完成，请您及时记录下标定的数据！";
constexpr const char* kCheckFinished = "标定检测已经完成！";
constexpr const char* kFinishedBefore = "标定已完成，若想重新标定，请选择“新标定”键！";
constexpr const char* kCheckFinishedBefore = "标定检测已完成，若想重新标定，请选择“新标定”键！";

constexpr float kPerCount20S = 0.0003125f;  // 1/3200 of the full range per count of a 20S sensor
constexpr float kOffset20S = 800.0f;        // counts of a 20S sensor at no pressure
constexpr float kCounts10S = 1200.0f;       // counts per mV/V of a 10S sensor's full range
constexpr float kCounts20S = 3200.0f;

int Points(const SystemCalibration& c) { return std::clamp(c.points, 1, kCalibrationMaxPoints); }

std::size_t Row(int k) { return static_cast<std::size_t>(k); }

std::string Shown(const char* fmt, float v, const char* fallback) {
  const std::string s = format(fmt, static_cast<double>(v));
  return IsValidNumber(s) ? s : fallback;
}

// An integer of an int-sized field that the sensor's full range takes: truncated toward zero.
int Truncated(float v) {
  if (!(v > static_cast<float>(INT_MIN))) return v < 0.0f ? INT_MIN : 0;
  if (v >= static_cast<float>(INT_MAX)) return INT_MAX;
  return static_cast<int>(v);
}

}  // namespace

int CalibrationTypeFromButtons(const std::string& oilSensor, const std::string& loadSensor, const std::string& system) {
  if (oilSensor == "√油压传感器" && loadSensor == "荷载传感器" && system == "系统") return kCalibrateOilSensor;
  if (oilSensor == "油压传感器" && loadSensor == "√荷载传感器" && system == "系统") return kCalibrateLoadSensor;
  return kCalibrateSystem;
}

bool ScanCalibrationFloat(const std::string& text, float& out) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const float v = std::strtof(begin, &end);
  if (end == begin) return false;
  out = v;
  return true;
}

bool ScanCalibrationInt(const std::string& text, int& out) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  long long v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    v = std::min<long long>(v * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  if (negative) v = -v;
  out = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
  return true;
}

void BoundSystemCalibration(SystemCalibration& c) {
  if (c.type < 0 || c.type > 2) c.type = kCalibrateLoadSensor;
  c.points = Points(c);
  c.calibrationCount = std::clamp(c.calibrationCount, 0, c.points + 1);
  c.checkCount = std::clamp(c.checkCount, 0, c.points + 1);
  for (std::int32_t* flag : {&c.calibrating, &c.calibrationFinished, &c.completed, &c.zeroed, &c.checkFinished})
    *flag = *flag != 0 ? 1 : 0;
  c.mode = c.mode == 1 ? 1 : 0;
}

std::string StandardValueText(int type, float value) {
  return format(type == kCalibrateOilSensor ? "%.2f" : "%.0f", static_cast<double>(value));
}

CalibrationStartResult StartSystemCalibration(SystemCalibration& c, int type, const CalibrationInputs& in,
                                              Parameter& channel) {
  const int t = channel.forceSensorType.load();
  const bool readsSensitivity = t != 2;
  auto refuse = [](const char* message) { return CalibrationStartResult{false, message}; };

  // The texts, in the order the operator is told about them.
  if (!IsValidNumber(in.maximum)) return refuse(kMaximumNotNumber);
  if (!IsValidNumber(in.points)) return refuse(kPointsNotNumber);
  if (!IsValidNumber(in.range)) return refuse(kRangeNotNumber);
  if (type == kCalibrateOilSensor && readsSensitivity && !IsValidNumber(in.sensitivity))
    return refuse(kSensitivityNotNumber);
  if (type == kCalibrateLoadSensor && readsSensitivity && !IsValidNumber(in.sensitivity))
    return refuse(kCoefficientNotNumber);
  if (type == kCalibrateSystem) {
    if (!IsValidNumber(in.ratedOutput)) return refuse(kRatedOutputNotNumber);
    if (!IsValidNumber(in.ratedPressure)) return refuse(kRatedPressureNotNumber);
    if (readsSensitivity && !IsValidNumber(in.sensitivity)) return refuse(kSensitivityNotNumber);
  }

  SystemCalibration n = c;
  n.type = type;
  if (type == kCalibrateLoadSensor) {
    ScanCalibrationFloat(in.range, n.loadSensorRange);
  } else {
    ScanCalibrationFloat(in.ratedOutput, n.ratedOutput);
    ScanCalibrationFloat(in.ratedPressure, n.ratedPressure);
    ScanCalibrationFloat(in.range, n.oilSensorRange);
  }
  if (readsSensitivity) ScanCalibrationFloat(in.sensitivity, n.sensitivity);
  ScanCalibrationFloat(in.maximum, n.maximum);
  float points = 0.0f;
  int whole = 0;
  if (!ScanCalibrationInt(in.points, whole) || !ScanCalibrationFloat(in.points, points) ||
      points != static_cast<float>(whole) || whole < 1 || whole > kCalibrationMaxPoints)
    return refuse(kPointsOutOfRange);
  n.points = whole;

  // The maximum within the sensor or the jack (and an oil-pressure maximum within its sensor too).
  if (type == kCalibrateLoadSensor) {
    if (!(n.maximum > 0.0f)) return refuse(kMaximumZero);
    if (!(n.maximum <= n.loadSensorRange)) return refuse(kMaximumOverLoadSensor);
  } else {
    if (!(n.maximum > 0.0f)) return refuse(kMaximumZero);
    if (!(n.maximum <= n.ratedOutput)) return refuse(kMaximumOverJack);
    if (type == kCalibrateOilSensor && !(n.maximum <= n.oilSensorRange)) return refuse(kMaximumOverJack);
  }
  // The values the channel's load coefficient and the live readings divide by.
  if (type == kCalibrateSystem) {
    if (!(n.oilSensorRange > 0.0f)) return refuse(kRangeNotPositive);
    if (!(n.ratedPressure > 0.0f)) return refuse(kRatedPressureNotPositive);
  }
  if (readsSensitivity && !(n.sensitivity > 0.0f))
    return refuse(type == kCalibrateLoadSensor ? kCoefficientNotPositive : kSensitivityNotPositive);

  // The channel.
  if (type == kCalibrateLoadSensor && readsSensitivity) {
    channel.forceSensorType = 0;
    channel.sensorCoefficient = n.sensitivity;
    channel.headerFloat0 = n.sensitivity;
  } else if (type == kCalibrateSystem) {
    channel.sensorSetting = Truncated(n.oilSensorRange);
    channel.jackCoefficientB = n.ratedOutput;
    channel.jackCoefficientA = n.ratedPressure;
    if (readsSensitivity) {
      channel.forceSensorType = 1;
      channel.sensorCoefficient = n.sensitivity;
      channel.headerFloat0 = n.ratedPressure * n.sensitivity * kCounts10S / (n.ratedOutput * n.oilSensorRange);
    } else {
      channel.headerFloat0 = n.ratedPressure * kCounts20S / (n.ratedOutput * n.oilSensorRange);
    }
  } else if (type == kCalibrateOilSensor && readsSensitivity) {
    channel.forceSensorType = 1;
    channel.sensorCoefficient = n.sensitivity;
  }

  // The standard column and a cleared table.
  const float step = n.maximum * (1.0f / static_cast<float>(n.points));
  for (int k = 0; k < static_cast<int>(n.rows.size()); ++k)
    n.rows[Row(k)] = CalibrationRow{k <= n.points ? static_cast<float>(k) * step : 0.0f};
  n.calibrating = 1;
  n.calibrationCount = n.calibrationFinished = n.completed = n.mode = n.zeroed = 0;
  n.zero = 0.0f;
  n.checkCount = n.checkFinished = 0;
  c = n;
  return {true, kCalibrationStarted};
}

void EndSystemCalibration(SystemCalibration& c, Parameter& channel) {
  c.calibrating = 0;
  c.calibrationCount = c.calibrationFinished = c.completed = c.mode = c.zeroed = 0;
  c.zero = 0.0f;
  c.checkCount = c.checkFinished = 0;
  c.rows = {};
  channel.sensorTableA[0] = 0.0f;
}

void ZeroSystemCalibration(SystemCalibration& c, Parameter& channel) {
  const float raw = channel.link.rawForceValue.load();
  c.zero = channel.forceSensorType.load() == 2 ? raw - kOffset20S : raw;
  channel.sensorTableA[0] = c.zero;
  c.zeroed = 1;
}

float LiveCalibrationForce(const SystemCalibration& c, float rawForce, int sensorType, float& pressure) {
  const float net = rawForce - c.zero;
  pressure = 0.0f;
  if (c.type == kCalibrateSystem || c.type == kCalibrateOilSensor) {
    pressure = sensorType == 2 ? (net - kOffset20S) * c.oilSensorRange * kPerCount20S
                               : c.oilSensorRange / (c.sensitivity * kCounts10S) * net;
    return c.ratedOutput / c.ratedPressure * pressure;
  }
  return sensorType == 2 ? (net - kOffset20S) * c.loadSensorRange * kPerCount20S : net / c.sensitivity;
}

float CorrectedCalibrationForce(const SystemCalibration& c, float force) {
  const int n = Points(c);
  auto a = [&c](int k) { return c.rows[Row(k)].standard; };
  auto b = [&c](int k) { return c.rows[Row(k)].force; };
  float corrected = force;
  if (force <= b(0) && b(1) != b(0)) corrected = a(0) - (b(0) - force) * (a(1) - a(0)) / (b(1) - b(0));
  for (int k = 0; k < n; ++k) {
    if (b(k) < force && force <= b(k + 1)) {
      corrected = a(k) + (force - b(k)) * (a(k + 1) - a(k)) / (b(k + 1) - b(k));
      break;
    }
  }
  if (force > b(n) && b(n) != b(n - 1)) corrected = a(n) + (force - b(n)) * (a(n) - a(n - 1)) / (b(n) - b(n - 1));
  return corrected;
}

CalibrationLiveTexts LiveCalibrationTexts(const SystemCalibration& c, float rawForce, int sensorType) {
  float pressure = 0.0f;
  float force = LiveCalibrationForce(c, rawForce, sensorType, pressure);
  if (c.mode == 1) force = CorrectedCalibrationForce(c, force);
  CalibrationLiveTexts t;
  t.pressure = c.type == kCalibrateLoadSensor ? "--" : Shown("%.2f", pressure, "0.00");
  t.force = c.type == kCalibrateOilSensor ? "--" : Shown("%.1f", force, "0.0");
  return t;
}

int NextCalibrationRow(const SystemCalibration& c) {
  const int r = c.mode == 1 ? c.checkCount : c.calibrationCount;
  const bool finished = (c.mode == 1 ? c.checkFinished : c.calibrationFinished) != 0;
  return finished || r < 0 || r > Points(c) ? 0 : r;
}

CalibrationRecordResult RecordCalibrationRow(SystemCalibration& c, const std::string& forceText,
                                             const std::string& pressureText) {
  const bool check = c.mode == 1;
  std::int32_t& count = check ? c.checkCount : c.calibrationCount;
  std::int32_t& finished = check ? c.checkFinished : c.calibrationFinished;
  const int n = Points(c);
  CalibrationRecordResult result;
  if (finished != 0 || count < 0 || count > n) {
    result.finished = true;
    result.message = check ? kCheckFinishedBefore : kFinishedBefore;
    return result;
  }
  CalibrationRow& row = c.rows[Row(count)];
  ScanCalibrationFloat(forceText, check ? row.checkForce : row.force);
  ScanCalibrationFloat(pressureText, check ? row.checkPressure : row.pressure);
  result.row = count;
  ++count;
  if (count > n) {
    result.finished = true;
    result.message = check ? kCheckFinished : kFinished;
    c.completed = 1;
    finished = 1;
  }
  return result;
}

CalibrationTableTexts CalibrationTexts(const SystemCalibration& c) {
  const int n = Points(c);
  const bool check = c.mode == 1;
  const int recorded = check ? c.checkCount : c.calibrationCount;
  CalibrationTableTexts t;
  for (int k = 0; k < static_cast<int>(t.size()); ++k) {
    CalibrationRowTexts& r = t[Row(k)];
    const CalibrationRow& v = c.rows[Row(k)];
    if (k > n) {
      r = {"--", "--", "--"};
      continue;
    }
    r.standard = StandardValueText(c.type, v.standard);
    if (k >= recorded) continue;
    if (check) {
      r.force = format("%.1f", static_cast<double>(v.checkForce));
      r.pressure = c.type == kCalibrateSystem ? format("%.2f", static_cast<double>(v.checkPressure)) : "--";
    } else {
      r.force = c.type == kCalibrateOilSensor ? "--" : format("%.1f", static_cast<double>(v.force));
      r.pressure = c.type == kCalibrateLoadSensor ? "--" : format("%.2f", static_cast<double>(v.pressure));
    }
  }
  return t;
}

std::string CalibrationEstimateText(int type, const std::string& coefficient, const std::string& points,
                                    const std::array<std::string, kCalibrationShownRows>& standards,
                                    const std::array<std::string, kCalibrationShownRows>& measured) {
  float c = 0.0f;
  ScanCalibrationFloat(coefficient, c);
  int n = 0;
  ScanCalibrationInt(points, n);
  n = std::clamp(n, 0, kCalibrationMaxPoints);
  // A cell that does not read as a number keeps the value of the row before it.
  float s = 0.0f;
  float m = 0.0f;
  float sum = 0.0f;
  for (int i = 1; i <= n; ++i) {
    ScanCalibrationFloat(standards[Row(i)], s);
    ScanCalibrationFloat(measured[Row(i)], m);
    sum += m / s * c;
  }
  const float estimate = sum / static_cast<float>(n);
  return std::string(type == kCalibrateSystem ? "估算灵敏度为：" : "估算标定系数为：") + Shown("%.3f", estimate, "0.000");
}
