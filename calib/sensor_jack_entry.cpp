#include "calib/sensor_jack_entry.h"

#include <cstdio>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"

namespace {

using platform::text::format;

// A protection value: a number of 0 or more.
bool IsProtectionValue(const std::string& text) { return IsValidNumber(text) && StrToFloat(text) >= 0.0f; }

// The coefficient b as the dialog reads it ("%f", widened to double).
double ReadB(const std::string& text) {
  float b = 0.0f;
  if (std::sscanf(text.c_str(), "%f", &b) != 1) return 0.0;
  return static_cast<double>(b);
}

}  // namespace

std::string CheckSensorJackEntry(int type, const SensorJackEntry& e, const ProtectionEntry& prot) {
  if (type == 0) {
    if (!IsValidNumber(e.fullRange)) return "荷重传感器满量程值要求为数字！";
    if (!IsValidNumber(e.sensitivity)) return "荷重传感器标定系数要求为数字！";
  } else if (e.mode == kModeComputed) {
    if (!IsValidNumber(e.fullRange)) return "油压传感器满量程值要求为数字！";
    if (type == 1 && !IsValidNumber(e.sensitivity)) return "油压传感器灵敏度要求为数字！";
    if (e.jackCount.empty()) return "千斤顶个数不能为空！";
    if (!IsValidNumber(e.ratedOutput)) return "千斤顶额定出力值要求为数字！";
    if (!IsValidNumber(e.ratedPressure)) return "千斤顶额定油压值要求为数字！";
  } else {
    if (!IsValidNumber(e.fullRange)) return "油压传感器满量程值要求为数字！";
    if (type == 1 && !IsValidNumber(e.sensitivity)) return "油压传感器灵敏度要求为数字！";
    if (!IsValidNumber(e.constantA)) return "千斤顶回归方程常数a要求为数字！";
    if (!IsValidNumber(e.coefficientB)) return "千斤顶回归方程系数b要求为数字！";
    if (ReadB(e.coefficientB) < 0.00001) return "千斤顶回归方程系数b不能为零！";
    if (e.jackCount.empty()) return "千斤顶个数不能为空！";
  }
  if (!IsProtectionValue(prot.loadingTime)) return "加载保护时间要求为不小于零的数字！";
  if (!IsProtectionValue(prot.maxSettlement)) return "最大沉降允许值要求为不小于零的数字！";
  if (!IsProtectionValue(prot.uneven)) return "不均匀沉降允许值要求为不小于零的数字！";
  if (!IsProtectionValue(prot.rangeAlarm)) return "位移量程报警值要求为不小于零的数字！";
  if (!IsProtectionValue(prot.upliftAlarm)) return "锚桩上拔报警值要求为不小于零的数字！";
  return "";
}

SensorJackApplyResult ApplySensorJackEntry(Parameter& p, const SensorJackEntry& e, const ProtectionEntry& prot) {
  SensorJackApplyResult r;
  r.message = CheckSensorJackEntry(p.forceSensorType.load(), e, prot);
  if (!r.message.empty()) return r;
  // The coefficient's own refusals (values it divides by) come before anything is stored; it stores
  // nothing itself when it refuses.
  const CoefficientResult k = ApplyLoadCoefficient(p, e);
  if (!k.message.empty()) {
    r.message = k.message;
    return r;
  }

  const float time = StrToFloat(prot.loadingTime);
  const float values[4] = {StrToFloat(prot.maxSettlement), StrToFloat(prot.uneven), StrToFloat(prot.rangeAlarm),
                           StrToFloat(prot.upliftAlarm)};
  p.ParameterList.set(30, time);
  p.ParameterList.set(28, values[0]);
  p.ParameterList.set(29, values[1]);
  p.ParameterList.set(31, values[2]);
  p.ParameterList.set(32, values[3]);
  p.protectionSetting = time > 2.0e9f ? 2000000000 : static_cast<int>(time);
  p.protection1 = values[0];
  p.protection2 = values[1];
  p.protection3 = values[2];
  p.protection4 = values[3];
  std::vector<TestRecord>& recs = p.testRecords;
  JDQFile::SetHeaderText(recs, 10, 2, format("%.0f", static_cast<double>(time)).substr(0, 20));
  JDQFile::SetHeaderText(recs, 8, 2, format("%.2f", static_cast<double>(values[0])).substr(0, 20));
  JDQFile::SetHeaderText(recs, 9, 2, format("%.2f", static_cast<double>(values[1])).substr(0, 20));
  JDQFile::SetHeaderText(recs, 11, 2, format("%.2f", static_cast<double>(values[2])).substr(0, 20));
  JDQFile::SetHeaderText(recs, 12, 2, format("%.2f", static_cast<double>(values[3])).substr(0, 20));

  if (!p.testFilePath.empty() && p.testRunning.load() == 1 && p.fileLoaded.load() == 0)
    r.headerTextsRewritten = JDQFile::UpdateAllHeaderTexts(p.testFilePath, 31, p.testRecords, p) == 1;
  r.stored = true;
  // The sensor and jacks are kept on the card at once: a restart before the start finds them.
  r.parameterFileSaved = JDQFile::SaveChannelSettings(p) == 1;
  return r;
}
