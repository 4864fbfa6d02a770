// Committing the standard dialog's values to a channel: its load programme, criteria, reading schedule,
// test-file extension and the header texts of its test-file image.
#pragma once

#include <array>
#include <string>

#include "model/parameter.h"

// The dialog's working values, read from its fields as numbers (an empty field reads as 0).
struct StandardSettings {
  int code = 0;                  // selected standard
  float controlLoad = 0.0f;      // 1081
  float refillLower = 0.0f;      // 1083
  float singleStep = 0.0f;       // 1084
  float maxLoad = 0.0f;          // 1085 (Ps for standard 72)
  float holdTime = 0.0f;         // 1088
  float judgeTime = 0.0f;        // 1089
  float stableSettlement = 0.0f; // 1091
  float judgeCount = 0.0f;       // 1092
  float overHoldTime = 0.0f;     // 1112
  float overJudgeTime = 0.0f;    // 1113
  float overStableSettlement = 0.0f;  // 1111
  float overJudgeCount = 0.0f;   // 1114
  std::array<float, 7> loadIntervals{};    // 1093-1098, 1109
  std::array<float, 7> unloadIntervals{};  // 1099-1104, 1110
  float unloadSteps = 0.0f;      // 1105 (standard 0 always takes 2)
  float nonZeroTime = 0.0f;      // 1106
  float zeroTime = 0.0f;         // 1107
  float characteristic = 0.0f;   // 1108
  // 1115 for standards 72, 73 and 74; for the others the value the dialog last held.
  float extraValue = 0.0f;
  // Judgement state of the dialog.
  int judgementMode = 0;
  int crossFlag = 0;
  int overJudgementMode = 0;
  int overCrossFlag = 0;
  int soilType = 0;
  int refillUnitMode = 0;  // 1 percentage, 0 fixed value
};

struct StandardCommitResult {
  bool accepted = false;
  std::string message;            // the status-line text of a refusal (the dialog also sets its dirty flag)
  bool headerTextsRewritten = false;  // the running test's file got the new header texts
  bool parameterFileSaved = false;
  bool showMainWindow = false;    // no test runs: the main window comes back after the dialog hides
};

inline constexpr const char* kControlLoadAboveMaximum = "当前控载值不允许超过最大加荷值！";

// Commits the values to the channel (OK of the standard dialog, after its own checks). A control load
// above the maximum load is refused before anything changes. While the channel's test runs, the test
// file's header texts are rewritten. An accepted commit is packed and saved in the parameter file.
StandardCommitResult CommitStandardSettings(Parameter& channel, const StandardSettings& s);

// The test-file path with its extension replaced by `ext` (".krs"): only a path that ends in a dot and
// three characters changes.
std::string ReplaceTestFileExtension(const std::string& path, const std::string& ext);
