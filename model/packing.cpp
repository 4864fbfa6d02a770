// Copies the typed settings of a channel into their items of the parameter list.
#include <string>

#include "model/helpers.h"
#include "model/parameter.h"
#include "model/restore.h"

float JDQFile::JackTextNumber(const std::string& jackText) {
  // Jacks in parallel ("12,13") have no single number.
  if (jackText.find(',', 1) != std::string::npos) return 0.0f;
  return StrToFloat(jackText);
}

int JDQFile::PackParameters(Parameter& p, ::ParameterList& list) {
  auto i = [&](int k, int v) { list.set(k, static_cast<float>(v)); };
  auto f = [&](int k, float v) { list.set(k, v); };

  for (int k = 0; k < 8; ++k) i(1 + k, p.displacementOn[k]);
  i(10, p.loadingMode);
  i(11, p.forceSensorType);
  f(12, JackTextNumber(p.jackText));
  f(13, p.jackCoefficientA);
  f(14, p.jackCoefficientB);
  i(15, p.jackSetting);
  f(16, StrToFloat(p.sensorText));
  i(17, p.sensorSetting);
  f(18, p.sensorCoefficient);
  f(20, StrToFloat(p.serialNumber));
  f(23, p.setupValue);
  f(25, p.stepLoad1);
  f(26, p.stepLoad2);
  f(27, p.stepLoad3);
  f(97, p.stepLoad4);
  f(28, p.protection1);
  f(29, p.protection2);
  i(30, p.protectionSetting);
  f(31, p.protection3);
  f(32, p.protection4);
  f(82, p.extraValue82);
  i(35, p.holdMinutes);
  i(36, p.judgeIntervalMinutes);
  i(37, p.judgeCount);
  f(38, p.stableSettlement);
  i(89, p.criterionMode2);
  f(73, p.levelMinutesLast);
  for (int k = 0; k < 6; ++k) i(39 + k, p.levelMinutes[k]);
  for (int k = 0; k < 6; ++k) i(45 + k, p.levelMinutes[7 + k]);
  i(86, p.levelMinutes[6]);
  i(87, p.levelMinutes[13]);
  i(51, p.standardCode);
  for (int k = 0; k < 3; ++k) i(52 + k, p.levelMinutes[14 + k]);
  i(58, p.criterionMode1);
  i(59, p.criterionMode3);
  i(60, p.pressureMethod);
  i(61, p.pressureOption);
  f(62, p.jackCoefficientC);
  f(63, p.jackCoefficientD);
  i(64, p.testType);
  f(66, p.paused == 1 ? 1.0f : 0.0f);
  f(90, p.altSettlement);
  i(91, p.altCriterion4);
  i(92, p.altCriterion5);
  for (int k = 0; k < 3; ++k) i(93 + k, p.altCriteria[k]);
  i(96, p.altCriterion6);
  i(100, p.rotatingValue1);
  i(101, p.rotatingValue2);
  return 1;
}
