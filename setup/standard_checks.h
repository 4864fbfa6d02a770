// The standard dialog's OK before it commits: the checks of the typed texts in their order, and the
// working values read from them.
#pragma once

#include <array>
#include <string>

#include "setup/standard_commit.h"
#include "setup/timing.h"

inline constexpr const char* kControlLoadInvalid = "当前控载值输入有误！";
inline constexpr const char* kControlLoadZero = "当前控载不能为零！";
inline constexpr const char* kRefillLowerInvalid = "补载下限值输入有误！";
inline constexpr const char* kSingleStepInvalid = "单级加荷值输入有误！";
inline constexpr const char* kMaxLoadInvalid = "最大加荷值输入有误！";
inline constexpr const char* kCharacteristicInvalid = "地基承载力特征值输入有误！";
inline constexpr const char* kSecondMaxLoadInvalid = "最大荷载值Pg输入有误！";

// The texts of the dialog's fields as OK finds them.
struct StandardFieldTexts {
  std::string controlLoad;       // 1081
  std::string refillLower;       // 1083
  std::string singleStep;        // 1084
  std::string maxLoad;           // 1085
  std::string holdTime;          // 1088
  std::string judgeTime;         // 1089
  std::string stableSettlement;  // 1091
  std::string judgeCount;        // 1092
  std::string overHoldTime;      // 1112
  std::string overJudgeTime;     // 1113
  std::string overStableSettlement;  // 1111
  std::string overJudgeCount;    // 1114
  std::array<std::string, 7> loadIntervals;    // 1093-1098, 1109
  std::array<std::string, 7> unloadIntervals;  // 1099-1104, 1110
  std::string unloadSteps;       // 1105
  std::string nonZeroTime;       // 1106
  std::string zeroTime;          // 1107
  std::string characteristic;    // 1108
  std::string extraValue;        // 1115
};

// The captions of the reading intervals as the keypad shows them ("加载间隔(分)1" ... "卸载间隔(分)7").
std::string LoadIntervalCaption(int k);    // k = 1..7
std::string UnloadIntervalCaption(int k);  // k = 1..7

// The first refusal of OK for standard `code`, or "" when every check passes:
//  the control load a number, and not 0 unless a test runs; the refill lower limit, single-step and
//  maximum loads numbers; standard 10's characteristic value and standard 72's second maximum load
//  numbers; for the user-input standard 9 every timing field a whole number, the reading intervals at
//  least 1 ("<caption>输入有误！" or "<caption>不能小于1！").
std::string CheckStandardFields(int code, const StandardFieldTexts& f, bool testRunning);

// The working values that OK commits (an empty or non-number text reads as 0). The judgement choices
// come from `form`. The extra value (1115) is read only for standards 72, 73 and 74; for the others the
// dialog's last value `lastExtra` stays, and `lastExtra` takes what was read.
StandardSettings ReadStandardSettings(int code, const StandardFieldTexts& f, const StandardForm& form,
                                      int refillUnitMode, float& lastExtra);
