#include "calib/load_coefficient.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"

namespace {

using platform::text::format;

constexpr const char* kIncomplete = "参数不全！";
constexpr const char* kBZero = "千斤顶回归方程系数b不能为零！";
constexpr const char* kLoadCellRange = "荷重传感器满量程值要求大于零！";
constexpr const char* kLoadCellCoefficient = "荷重传感器标定系数要求大于零！";
constexpr const char* kOilRange = "油压传感器满量程值要求大于零！";
constexpr const char* kOilSensitivity = "油压传感器灵敏度要求大于零！";
constexpr const char* kRatedOutput = "千斤顶额定出力值要求大于零！";
constexpr const char* kRatedPressure = "千斤顶额定油压值要求大于零！";
constexpr const char* kBadCoefficient = "标定系数计算结果无效！";

// Longest jack number the header records hold: 20 bytes in record 12, 59 in record 19.
constexpr std::size_t kJackNumberMax = 79;

enum class Kind { LoadCell, Computed, Regression, None };

Kind KindOf(int sensorType, const std::string& mode) {
  if (sensorType == 0) return Kind::LoadCell;
  if (mode == kModeComputed) return Kind::Computed;
  if (mode == kModeRegression) return Kind::Regression;
  return Kind::None;
}

// An integer typed in an edit, as the dialog reads it (leading digits; 0 when there are none).
int IntOf(const std::string& text) {
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > 1000000000LL) return 1000000000;
  if (v < -1000000000LL) return -1000000000;
  return static_cast<int>(v);
}

// The values that enter the coefficient.
struct Inputs {
  int fullRange = 0;
  float sensitivity = 0.0f;
  float ratedOutput = 0.0f;
  float ratedPressure = 0.0f;
  float a = 0.0f;
  float b = 0.0f;
  int count = 0;  // as typed
};

Inputs Read(const SensorJackEntry& e, float storedSensitivity, int sensorType) {
  Inputs in;
  in.fullRange = IntOf(e.fullRange);
  in.sensitivity = sensorType == 2 ? storedSensitivity : StrToFloat(e.sensitivity);
  in.ratedOutput = StrToFloat(e.ratedOutput);
  in.ratedPressure = StrToFloat(e.ratedPressure);
  in.a = StrToFloat(e.constantA);
  in.b = StrToFloat(e.coefficientB);
  in.count = IntOf(e.jackCount);
  return in;
}

// The first refusal of a value the coefficient divides by or scales with; "" when there is none.
const char* Refusal(Kind kind, int sensorType, const Inputs& in) {
  if (kind == Kind::LoadCell) {
    if (in.fullRange <= 0) return kLoadCellRange;
    if (!(in.sensitivity > 0.0f)) return kLoadCellCoefficient;
    return "";
  }
  if (in.fullRange <= 0) return kOilRange;
  if (sensorType == 1 && !(in.sensitivity > 0.0f)) return kOilSensitivity;
  if (kind == Kind::Computed) {
    if (!(in.ratedOutput > 0.0f)) return kRatedOutput;
    if (!(in.ratedPressure > 0.0f)) return kRatedPressure;
  } else if (!(static_cast<double>(in.b) >= 0.00001)) {
    return kBZero;
  }
  return "";
}

float Coefficient(Kind kind, int sensorType, const Inputs& in, bool jackList) {
  const int n = in.count < 1 ? 1 : in.count;
  float k = 0.0f;
  switch (kind) {
    case Kind::LoadCell:
      k = in.sensitivity;
      break;
    case Kind::Computed:
      k = sensorType == 2 ? in.ratedPressure * 3200.0f / (static_cast<float>(in.fullRange) * in.ratedOutput)
                          : in.ratedPressure * in.sensitivity * 1200.0f /
                                (static_cast<float>(in.fullRange) * in.ratedOutput);
      break;
    case Kind::Regression:
      k = sensorType == 2 ? in.b * 40.0f : in.b * in.sensitivity * 15.0f;
      // A group of jacks selected together already has the equation of the whole group.
      if (jackList) return k;
      break;
    case Kind::None:
      return 0.0f;
  }
  return k / static_cast<float>(n);
}

// The jack number into header records 12 (20 bytes, no terminator when full) and 19 (the rest).
void PutJackNumber(std::vector<TestRecord>& records, const std::string& utf8) {
  const std::string gbk = platform::text::gbkFit(utf8, kJackNumberMax);
  if (records.size() > 12) {
    char* f = records[12].text1;
    std::memset(f, 0, sizeof records[12].text1);
    std::memcpy(f, gbk.data(), std::min(gbk.size(), sizeof records[12].text1));
  }
  if (records.size() > 19) {
    char* f = records[19].text3;
    std::memset(f, 0, sizeof records[19].text3);
    if (gbk.size() > 20) std::memcpy(f, gbk.data() + 20, gbk.size() - 20);
  }
}

}  // namespace

std::string Trimmed(const std::string& text) {
  std::string t = text;
  if (t.find('.') != std::string::npos) {
    while (!t.empty() && t.back() == '0') t.pop_back();
    if (!t.empty() && t.back() == '.') t.pop_back();
  }
  return t;
}

bool IsJackList(const std::string& jackNumber) {
  return jackNumber.size() > 1 && jackNumber.find(',', 1) != std::string::npos;
}

CoefficientResult ApplyLoadCoefficient(Parameter& p, const SensorJackEntry& e) {
  CoefficientResult result;
  const int type = p.forceSensorType.load();
  const Kind kind = KindOf(type, e.mode);
  if (kind == Kind::None) return result;

  const Inputs in = Read(e, p.sensorCoefficient.load(), type);
  if (const char* refusal = Refusal(kind, type, in); *refusal != '\0') {
    result.message = refusal;
    return result;
  }
  const bool keepJacks = e.jackNumber == kJackListShown;
  const std::string jackNumber = keepJacks ? p.jackText : e.jackNumber;
  const float k = Coefficient(kind, type, in, IsJackList(jackNumber));
  if (!std::isfinite(k) || !(k > 0.0f)) {
    result.message = kBadCoefficient;
    return result;
  }

  // Everything checked: store.
  std::vector<TestRecord>& r = p.testRecords;
  auto text = [&r](int record, int field, const std::string& v) { JDQFile::SetHeaderText(r, record, field, v); };
  p.pressureMethod = kind == Kind::Regression ? 3 : 1;
  text(13, 3, kind == Kind::Regression ? "3" : "1");
  p.sensorText = e.sensorNumber;
  text(9, 3, e.sensorNumber);
  p.sensorSetting = in.fullRange;
  text(10, 3, format("%.0f", static_cast<double>(in.fullRange)));
  if (type != 2) {
    p.sensorCoefficient = in.sensitivity;
    text(11, 3, ExactDecimalText(in.sensitivity, 3));
  }
  if (!keepJacks) p.jackText = e.jackNumber;
  PutJackNumber(r, p.jackText);
  p.jackSetting = in.count < 1 ? 1 : in.count;
  text(6, 1, format("%.0f", static_cast<double>(in.count)));
  if (kind == Kind::Computed) {
    p.jackCoefficientB = in.ratedOutput;
    text(15, 1, ExactDecimalText(in.ratedOutput, 0));
    p.jackCoefficientA = in.ratedPressure;
    text(14, 1, ExactDecimalText(in.ratedPressure, 2));
  } else if (kind == Kind::Regression) {
    p.jackCoefficientC = in.a;
    text(15, 3, format("%.6f", static_cast<double>(in.a)));
    p.jackCoefficientD = in.b;
    text(16, 3, format("%.6f", static_cast<double>(in.b)));
  }
  p.headerFloat0 = k;
  text(0, 2, format("%.6f", static_cast<double>(k)));

  result.stored = true;
  result.coefficient = k;
  return result;
}

PreviewResult PreviewCoefficient(int sensorType, const SensorJackEntry& entry, PreviewFocus focus,
                                 const std::optional<std::array<float, 4>>& found,
                                 const std::string& storedJackNumber) {
  PreviewResult out;
  out.entry = entry;
  SensorJackEntry& e = out.entry;
  const Kind kind = KindOf(sensorType, entry.mode);
  // Without a mode an oil-pressure sensor is entered as for the regression.
  const Kind shown = kind == Kind::None ? Kind::Regression : kind;

  if (found) {
    const auto& v = *found;
    if (focus == PreviewFocus::SensorNumber) {
      e.fullRange = Trimmed(format("%.2f", static_cast<double>(v[0])));
      if (sensorType != 2) e.sensitivity = Trimmed(format("%.3f", static_cast<double>(v[1])));
    } else if (focus == PreviewFocus::JackNumber) {
      // The jack's fields follow the mode shown, whatever the sensor.
      if (entry.mode == kModeComputed) {
        e.ratedOutput = Trimmed(format("%.2f", static_cast<double>(v[0])));
        e.ratedPressure = Trimmed(format("%.2f", static_cast<double>(v[1])));
      } else {
        e.constantA = Trimmed(format("%f", static_cast<double>(v[2])));
        e.coefficientB = Trimmed(format("%f", static_cast<double>(v[3])));
      }
    }
  }

  auto incomplete = [&out](const char* line) {
    out.coefficientText = kIncomplete;
    out.message = line;
    out.messageFlag = true;
    out.result = 0;
    return out;
  };

  // The entries this kind needs.
  bool complete = IsValidNumber(e.fullRange) && !e.jackCount.empty();
  const bool needsSensitivity = shown == Kind::LoadCell || sensorType == 1;
  if (needsSensitivity) complete = complete && IsValidNumber(e.sensitivity);
  if (shown == Kind::Computed) complete = complete && IsValidNumber(e.ratedOutput) && IsValidNumber(e.ratedPressure);
  if (shown == Kind::Regression) complete = complete && IsValidNumber(e.constantA) && IsValidNumber(e.coefficientB);
  if (!complete) return incomplete("");

  Inputs in;
  in.fullRange = IntOf(e.fullRange);
  in.sensitivity = StrToFloat(e.sensitivity);
  in.ratedOutput = StrToFloat(e.ratedOutput);
  in.ratedPressure = StrToFloat(e.ratedPressure);
  in.a = StrToFloat(e.constantA);
  in.b = StrToFloat(e.coefficientB);
  in.count = IntOf(e.jackCount);
  if (const char* refusal = Refusal(shown, sensorType, in); *refusal != '\0') return incomplete(refusal);

  const float k = Coefficient(shown, sensorType, in, IsJackList(storedJackNumber));
  if (!std::isfinite(k) || !(k > 0.0f)) return incomplete(kBadCoefficient);
  out.coefficientText = format("%.3f", static_cast<double>(k));
  out.result = 1;
  return out;
}
