// The reading schedules of the test standards and applying a standard to the standard dialog's form.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// One schedule: 20 integers (minutes, except the two counts).
//  0-5   reading intervals 1-6 of a loading level      6-11  reading intervals 1-6 of an unloading level
//  12    hold time of a level                           13    judging time
//  14    judging count                                  15    number of unloading steps
//  16    non-zero test time                             17    return-to-zero test time
//  18    reading interval 7 of a loading level          19    reading interval 7 of an unloading level
using TimingRow = std::array<std::int32_t, 20>;

enum TimingColumn : int {
  kLoadInterval1 = 0,
  kUnloadInterval1 = 6,
  kHoldTime = 12,
  kJudgeTime = 13,
  kJudgeCount = 14,
  kUnloadSteps = 15,
  kNonZeroTime = 16,
  kZeroTime = 17,
  kLoadInterval7 = 18,
  kUnloadInterval7 = 19,
};

inline constexpr std::size_t kTimingRowCount = 79;

// The 79 schedules; several standards may share one.
std::span<const TimingRow> StandardTimingTable();

// Judgement modes and their captions.
enum JudgementMode : int { kJudgeLess = 0, kJudgeLessEqual = 1, kJudgeConvergence = 2, kJudgeNone = 3 };
const char* JudgementModeCaption(int mode);  // "<", "≤", "收敛", "不判稳"; any other value "<"

// What a standard code selects when it is applied.
struct StandardDefaults {
  int code;
  int row;                     // row of StandardTimingTable
  int mode;                    // judgement mode
  const char* stableSettlement;  // text of the stable-settlement field; "" for none
  int cross;                   // cross flag (1 crossing, 0 not crossing)
};
// The defaults of a code; nullptr for a code without a schedule (and for the user-input code 9).
const StandardDefaults* FindStandardDefaults(int code);

// The texts of the channel's header records in memory: record number, text field (1 label text,
// 2 second text, 3 value text). A record that is missing gives "".
using HeaderTextReader = std::function<std::string(int record, int field)>;

// A field of the form: its text, and whether it is enabled and shown.
struct FormField {
  std::string text;
  bool enabled = false;
  bool visible = true;
};

// The timing, judgement and load-label part of the standard selection dialog, kept by the dialog for
// its whole life. ApplyStandard updates it in place; what a code does not touch keeps its value.
struct StandardForm {
  TimingRow row{};  // the current timing row, shared by all channels
  // Judgement state, stored into the channel on OK.
  int judgementMode = kJudgeLess;
  int crossFlag = 0;
  int overJudgementMode = kJudgeLess;
  int overCrossFlag = 0;
  int soilType = 0;  // 0 coarse, 1 fine

  // Timing fields, in the column order of TimingRow (1093-1098, 1099-1104, 1088, 1089, 1092, 1105,
  // 1106, 1107, 1109, 1110).
  std::array<std::string, 20> timingTexts;
  bool timingEnabled = false;
  FormField stableSettlement;   // 1091
  FormField characteristic;     // 1108
  FormField overStable;         // 1111
  FormField overHoldTime;       // 1112
  FormField overJudgeTime;      // 1113
  FormField overJudgeCount;     // 1114
  FormField extraValue{"", true, false};  // 1115: Pg or pile diameter

  // Labels.
  std::string controlLoadLabel = "当前控载值kN";     // 1010
  std::string singleStepLabel = "单级加荷值kN";      // 1012
  std::string maxLoadLabel = "最大加荷值kN";         // 1013
  std::string characteristicLabel = "承载力特征值kN";  // 1025
  std::string extraLabel;                            // 1028
  bool extraLabelVisible = false;

  // Buttons.
  std::string modeCaption = "<";  // 1265
  bool modeEnabled = false;
  std::string crossCaption = "交叉";       // 1318
  std::string notCrossCaption = "不交叉";  // 1319
  bool crossEnabled = false;
  std::string overModeCaption = "≤";           // 1270
  bool overModeEnabled = false;
  std::string overCrossCaption = "交叉";       // 1320
  std::string overNotCrossCaption = "不交叉";  // 1321
  bool overCrossEnabled = false;
  std::string coarseSoilCaption = "粗粒土";  // 1316
  std::string fineSoilCaption = "细粒土";    // 1317
  bool soilVisible = false;
};

// Applies standard `code` to the form for a channel of test type `testType`; `header` gives the
// texts of the channel's header records (the user-input standard and the extra fields read them).
void ApplyStandard(StandardForm& form, int code, int testType, const HeaderTextReader& header);

// A number text as the dialog shows it: trailing '0' characters of a text with a decimal point, then a
// trailing '.', are removed.
std::string TrimNumberText(std::string text);
