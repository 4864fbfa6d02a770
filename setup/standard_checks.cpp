#include "setup/standard_checks.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "model/helpers.h"
#include "setup/standards.h"

namespace {

// A whole number as the timing fields take it: one to nine digits.
bool IsWholeNumber(const std::string& text) { return !text.empty() && text.size() <= 9 && IsAllDigits(text); }

// A typed number that reads as zero ("0", "00", "0.000", "-0").
bool IsZero(const std::string& text) { return std::fabs(StrToFloat(text)) < 0.00001f; }

struct TimingField {
  std::string caption;
  const std::string* text;
  int least;
};

}  // namespace

std::string LoadIntervalCaption(int k) { return "加载间隔(分)" + std::to_string(k); }
std::string UnloadIntervalCaption(int k) { return "卸载间隔(分)" + std::to_string(k); }

std::string CheckStandardFields(int code, const StandardFieldTexts& f, bool testRunning) {
  if (!IsValidNumber(f.controlLoad)) return kControlLoadInvalid;
  if (!testRunning && IsZero(f.controlLoad)) return kControlLoadZero;
  if (!IsValidNumber(f.refillLower)) return kRefillLowerInvalid;
  if (!IsValidNumber(f.singleStep)) return kSingleStepInvalid;
  if (!IsValidNumber(f.maxLoad)) return kMaxLoadInvalid;
  if (code == 10 && !IsValidNumber(f.characteristic)) return kCharacteristicInvalid;
  if (code == 72 && !IsValidNumber(f.extraValue)) return kSecondMaxLoadInvalid;
  if (code != kUserInputStandard) return "";

  // The user's own schedule: whole minutes and counts, and no reading interval of 0 minutes.
  std::vector<TimingField> fields = {
      {"维荷时间(分)", &f.holdTime, 0}, {"判稳时间(分)", &f.judgeTime, 0}, {"判稳次数", &f.judgeCount, 0}};
  for (int k = 1; k <= 7; ++k)
    fields.push_back({LoadIntervalCaption(k), &f.loadIntervals[static_cast<std::size_t>(k - 1)], 1});
  for (int k = 1; k <= 7; ++k)
    fields.push_back({UnloadIntervalCaption(k), &f.unloadIntervals[static_cast<std::size_t>(k - 1)], 1});
  fields.push_back({"卸载级数", &f.unloadSteps, 0});
  fields.push_back({"非零测试时间", &f.nonZeroTime, 0});
  fields.push_back({"回零测试时间", &f.zeroTime, 0});
  fields.push_back({"超特征值维荷时间", &f.overHoldTime, 0});
  fields.push_back({"超特征值判稳时间", &f.overJudgeTime, 0});
  fields.push_back({"超特征值判稳次数", &f.overJudgeCount, 0});
  for (const TimingField& t : fields) {
    if (!IsWholeNumber(*t.text)) return t.caption + "输入有误！";
    if (std::atoi(t.text->c_str()) < t.least) return t.caption + "不能小于" + std::to_string(t.least) + "！";
  }
  return "";
}

StandardSettings ReadStandardSettings(int code, const StandardFieldTexts& f, const StandardForm& form,
                                      int refillUnitMode, float& lastExtra) {
  StandardSettings s;
  s.code = code;
  s.controlLoad = StrToFloat(f.controlLoad);
  s.refillLower = StrToFloat(f.refillLower);
  s.singleStep = StrToFloat(f.singleStep);
  s.maxLoad = StrToFloat(f.maxLoad);
  s.holdTime = StrToFloat(f.holdTime);
  s.judgeTime = StrToFloat(f.judgeTime);
  s.stableSettlement = StrToFloat(f.stableSettlement);
  s.judgeCount = StrToFloat(f.judgeCount);
  s.overHoldTime = StrToFloat(f.overHoldTime);
  s.overJudgeTime = StrToFloat(f.overJudgeTime);
  s.overStableSettlement = StrToFloat(f.overStableSettlement);
  s.overJudgeCount = StrToFloat(f.overJudgeCount);
  for (std::size_t k = 0; k < 7; ++k) {
    s.loadIntervals[k] = StrToFloat(f.loadIntervals[k]);
    s.unloadIntervals[k] = StrToFloat(f.unloadIntervals[k]);
  }
  s.unloadSteps = StrToFloat(f.unloadSteps);
  s.nonZeroTime = StrToFloat(f.nonZeroTime);
  s.zeroTime = StrToFloat(f.zeroTime);
  s.characteristic = StrToFloat(f.characteristic);
  if (code == 72 || IsPileDiameterStandard(code)) lastExtra = StrToFloat(f.extraValue);
  s.extraValue = lastExtra;
  s.judgementMode = form.judgementMode;
  s.crossFlag = form.crossFlag;
  s.overJudgementMode = form.overJudgementMode;
  s.overCrossFlag = form.overCrossFlag;
  s.soilType = form.soilType;
  s.refillUnitMode = refillUnitMode;
  return s;
}
