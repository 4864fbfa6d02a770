#include "setup/timing.h"

#include <algorithm>
#include <cstdlib>

#include "setup/standards.h"

namespace {

constexpr std::array<TimingRow, kTimingRowCount> kTable{{
    {{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 60, 10, 2, 2, 20, 20, 5, 5}},  // 0: code 0
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 1: code 1
    {{10, 10, 10, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 2: code 2
    {{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 30, 10, 3, 2, 30, 30, 10, 10}},  // 3: code 3
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 30, 30, 30, 60, 15, 1, 2, 15, 60, 15, 30}},  // 4: code 4
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 5: code 5, 13
    {{30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 60, 60, 1, 2, 30, 180, 30, 30}},  // 6: code 6
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 30, 30, 30, 60, 0, 0, 2, 60, 120, 15, 30}},  // 7: code 7
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 0, 0, 2, 60, 120, 30, 30}},  // 8: code 8
    {{5, 5, 10, 15, 15, 15, 5, 10, 15, 30, 30, 30, 65, 60, 1, 2, 30, 120, 30, 30}},  // 9: code 10
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 15, 15, 15, 60, 15, 1, 2, 15, 60, 15, 15}},  // 10: code 11
    {{5, 5, 10, 15, 15, 15, 5, 10, 15, 30, 30, 30, 125, 60, 2, 2, 60, 180, 30, 30}},  // 11: code 12
    {{5, 5, 10, 20, 20, 20, 20, 20, 20, 660, 660, 660, 60, 60, 1, 2, 60, 720, 20, 660}},  // 12: code 14
    {{5, 5, 5, 15, 15, 15, 5, 5, 5, 15, 15, 15, 60, 30, 1, 2, 60, 120, 30, 30}},  // 13: code 15
    {{10, 10, 10, 15, 15, 30, 30, 30, 30, 30, 30, 30, 150, 60, 2, 2, 30, 180, 30, 30}},  // 14: code 16
    {{10, 10, 10, 15, 15, 30, 15, 15, 30, 30, 30, 30, 150, 60, 1, 2, 60, 180, 30, 30}},  // 15: code 17
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 150, 60, 1, 2, 60, 180, 30, 30}},  // 16: code 18
    {{15, 15, 30, 30, 30, 30, 15, 15, 30, 30, 30, 30, 150, 60, 2, 2, 60, 180, 30, 30}},  // 17: code 19
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 18: code 31
    {{10, 10, 10, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 19: code 32
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 20: code 33
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 30, 30, 30, 60, 15, 1, 2, 15, 120, 15, 30}},  // 21: code 34
    {{5, 10, 15, 15, 15, 30, 5, 10, 15, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 22: code 35
    {{5, 10, 15, 15, 15, 30, 5, 10, 15, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 23: code 45
    {{10, 10, 10, 10, 10, 10, 5, 10, 15, 30, 30, 30, 60, 10, 2, 2, 15, 120, 10, 30}},  // 24: code 46
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 60, 60, 1, 2, 60, 180, 30, 30}},  // 25: code 47
    {{15, 15, 15, 15, 30, 30, 15, 15, 15, 15, 30, 30, 60, 30, 1, 2, 60, 120, 30, 30}},  // 26: code 48
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 30, 30, 30, 60, 15, 1, 2, 15, 120, 15, 30}},  // 27: code 50
    {{5, 10, 15, 15, 15, 30, 5, 10, 15, 30, 30, 30, 90, 60, 2, 2, 60, 180, 30, 30}},  // 28: code 51
    {{5, 10, 15, 15, 15, 30, 5, 10, 15, 30, 30, 30, 90, 60, 2, 2, 60, 180, 30, 30}},  // 29: code 52
    {{5, 5, 5, 15, 15, 15, 5, 10, 15, 15, 15, 15, 60, 60, 1, 2, 15, 60, 15, 15}},  // 30: code 53
    {{10, 10, 10, 15, 15, 30, 10, 20, 30, 60, 60, 60, 120, 60, 2, 2, 60, 180, 30, 60}},  // 31: code 57
    {{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 40, 30, 2, 2, 30, 30, 10, 10}},  // 32: code 58
    {{30, 30, 30, 30, 30, 30, 30, 30, 120, 120, 120, 120, 60, 60, 1, 2, 60, 180, 30, 120}},  // 33: code 59
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 60, 60, 60, 120, 60, 2, 2, 60, 180, 30, 60}},  // 34: code 60
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 35: code 61
    {{4, 4, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 4, 4, 1, 1, 2, 2, 4, 2}},  // 36: code 62
    {{5, 10, 15, 15, 15, 30, 5, 10, 15, 30, 30, 30, 120, 60, 2, 2, 30, 180, 30, 30}},  // 37: code 63
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 38: code 64
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 39: code 65
    {{10, 10, 10, 15, 15, 30, 15, 15, 15, 15, 15, 15, 60, 60, 1, 2, 60, 180, 30, 15}},  // 40: code 68
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 90, 60, 2, 2, 60, 180, 30, 30}},  // 41: code 69
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 60, 60, 1, 2, 60, 180, 30, 30}},  // 42: code 70
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 43: code 71
    {{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 15, 15, 1, 2, 10, 10, 5, 5}},  // 44: code 72
    {{5, 5, 10, 20, 20, 20, 20, 20, 20, 20, 20, 20, 60, 60, 1, 1, 60, 180, 20, 20}},  // 45: code 73
    {{5, 5, 10, 20, 20, 20, 20, 20, 20, 20, 20, 20, 60, 60, 1, 2, 60, 180, 20, 20}},  // 46: code 74
    {{5, 10, 15, 30, 30, 30, 5, 10, 15, 30, 30, 30, 60, 60, 1, 2, 15, 60, 30, 30}},  // 47: code 75
    {{4, 4, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 4, 4, 1, 1, 2, 2, 4, 2}},  // 48: code 76
    {{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 20, 20, 1, 2, 10, 30, 5, 5}},  // 49: code 77
    {{5, 10, 15, 30, 30, 30, 5, 10, 15, 30, 30, 30, 60, 60, 1, 2, 60, 180, 30, 30}},  // 50: code 78
    {{5, 10, 15, 15, 15, 30, 30, 30, 30, 30, 30, 30, 60, 60, 1, 2, 30, 180, 30, 30}},  // 51: code 79
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 52: code 80
    {{5, 5, 10, 15, 15, 15, 5, 10, 15, 30, 30, 30, 125, 60, 2, 2, 60, 180, 30, 30}},  // 53: code 81
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 54: code 82
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 30, 30, 30, 60, 60, 1, 2, 15, 120, 30, 30}},  // 55: code 83
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 56: code 84
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 57: code 85
    {{10, 10, 20, 20, 20, 20, 5, 10, 15, 30, 30, 30, 60, 20, 2, 2, 15, 60, 20, 30}},  // 58: code 86
    {{5, 5, 10, 10, 15, 15, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 59: code 87
    {{1, 2, 2, 5, 10, 10, 10, 10, 10, 10, 10, 10, 40, 10, 3, 2, 30, 30, 10, 10}},  // 60: code 88
    {{10, 10, 10, 15, 15, 30, 10, 10, 10, 10, 10, 10, 120, 60, 2, 2, 60, 180, 30, 10}},  // 61: code 89
    {{1, 2, 2, 5, 10, 10, 10, 10, 10, 10, 10, 10, 40, 10, 3, 2, 60, 180, 10, 10}},  // 62: code 90
    {{5, 5, 5, 15, 30, 30, 5, 5, 5, 15, 30, 30, 60, 60, 1, 2, 15, 60, 30, 30}},  // 63: code 91
    {{5, 5, 5, 15, 30, 30, 5, 5, 5, 15, 30, 30, 60, 60, 1, 2, 60, 180, 30, 30}},  // 64: code 92
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 65: code 93
    {{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 30, 10, 3, 2, 30, 30, 10, 10}},  // 66: code 102
    {{5, 5, 10, 10, 15, 15, 15, 15, 15, 15, 15, 15, 120, 60, 2, 2, 60, 120, 30, 15}},  // 67: code 103
    {{15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 120, 60, 1, 2, 60, 120, 15, 15}},  // 68: code 104
    {{5, 5, 5, 15, 15, 15, 15, 15, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 69: code 115
    {{5, 10, 15, 15, 15, 15, 5, 10, 15, 15, 15, 15, 60, 15, 1, 2, 15, 60, 15, 15}},  // 70: code 118
    {{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 30, 10, 3, 2, 20, 30, 10, 10}},  // 71: code 119
    {{10, 10, 10, 15, 15, 30, 30, 30, 30, 30, 30, 30, 120, 60, 2, 2, 60, 180, 30, 30}},  // 72: code 120
    {{1, 2, 2, 5, 10, 10, 10, 10, 10, 10, 10, 10, 30, 10, 3, 2, 20, 30, 10, 10}},  // 73: code 121
    {{30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 60, 60, 1, 2, 30, 180, 30, 30}},  // 74: code 122
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 60, 60, 1, 2, 60, 180, 30, 30}},  // 75: code 140
    {{4, 4, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 4, 4, 1, 1, 2, 2, 4, 2}},  // 76: code 144
    {{5, 10, 15, 15, 15, 30, 15, 15, 30, 30, 30, 30, 60, 60, 1, 2, 60, 180, 30, 30}},  // 77: code 145
    {{5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 60, 10, 2, 2, 20, 20, 5, 5}},  // 78: code 149
}};

constexpr StandardDefaults kDefaults[] = {
    {0, 0, 2, "", 1},
    {1, 1, 0, "0.1", 1},
    {2, 2, 0, "0.1", 0},
    {3, 3, 1, "0.01", 1},
    {4, 4, 2, "", 1},
    {5, 5, 1, "0.1", 1},
    {6, 6, 0, "0.1", 0},
    {7, 7, 3, "", 1},
    {8, 8, 3, "", 1},
    {10, 9, 1, "0.1", 1},
    {11, 10, 2, "", 1},
    {12, 11, 1, "0.1", 1},
    {13, 5, 1, "0.1", 1},
    {14, 12, 1, "0.25", 1},
    {15, 13, 1, "0.1", 1},
    {16, 14, 1, "0.1", 0},
    {17, 15, 1, "0.1", 1},
    {18, 16, 1, "0.1", 1},
    {19, 17, 1, "0.1", 1},
    {31, 18, 1, "0.1", 1},
    {32, 19, 0, "0.1", 0},
    {33, 20, 0, "0.1", 1},
    {34, 21, 2, "", 1},
    {35, 22, 1, "0.1", 1},
    {45, 23, 1, "0.1", 1},
    {46, 24, 2, "", 1},
    {47, 25, 1, "0.1", 1},
    {48, 26, 1, "0.1", 1},
    {50, 27, 2, "", 1},
    {51, 28, 1, "0.1", 1},
    {52, 29, 1, "0.1", 1},
    {53, 30, 2, "", 1},
    {57, 31, 0, "0.1", 0},
    {58, 32, 1, "0.03", 1},
    {59, 33, 1, "0.1", 0},
    {60, 34, 1, "0.1", 1},
    {61, 35, 1, "0.1", 1},
    {62, 36, 3, "", 1},
    {63, 37, 1, "0.1", 1},
    {64, 38, 1, "0.1", 1},
    {65, 39, 0, "0.1", 0},
    {68, 40, 1, "0.1", 1},
    {69, 41, 0, "0.1", 1},
    {70, 42, 1, "0.1", 1},
    {71, 43, 0, "0.1", 0},
    {72, 44, 0, "0.5", 1},
    {73, 45, 0, "0.25", 1},
    {74, 46, 0, "0.25", 1},
    {75, 47, 3, "", 0},
    {76, 48, 3, "", 0},
    {77, 49, 3, "", 0},
    {78, 50, 1, "0.1", 1},
    {79, 51, 0, "0.1", 1},
    {80, 52, 1, "0.1", 1},
    {81, 53, 1, "0.1", 1},
    {82, 54, 1, "0.1", 1},
    {83, 55, 2, "", 1},
    {84, 56, 1, "0.1", 1},
    {85, 57, 1, "0.1", 1},
    {86, 58, 1, "0.1", 0},
    {87, 59, 1, "0.1", 0},
    {88, 60, 1, "0.01", 1},
    {89, 61, 1, "0.1", 0},
    {90, 62, 1, "0.01", 1},
    {91, 63, 3, "", 0},
    {92, 64, 0, "0.1", 0},
    {93, 65, 1, "0.1", 1},
    {102, 66, 1, "0.03", 1},
    {103, 67, 0, "0.1", 0},
    {104, 68, 3, "", 1},
    {115, 69, 0, "0.1", 1},
    {118, 70, 2, "", 1},
    {119, 71, 1, "0.03", 1},
    {120, 72, 1, "0.1", 0},
    {121, 73, 1, "0.1", 1},
    {122, 74, 0, "0.1", 0},
    {140, 75, 1, "0.1", 1},
    {144, 76, 3, "", 1},
    {145, 77, 1, "0.1", 1},
    {149, 78, 2, "", 1},
};

// The leading integer of a text, as the header texts are read back ("" gives 0).
int LeadingInt(const std::string& text) { return std::atoi(text.c_str()); }

char FirstChar(const std::string& text) { return text.empty() ? '\0' : text.front(); }

int ModeFromChar(char c) {
  switch (c) {
    case '1': return kJudgeLessEqual;
    case '2': return kJudgeConvergence;
    case '3': return kJudgeNone;
    default: return kJudgeLess;
  }
}

bool TicksCross(int mode) { return mode == kJudgeLess || mode == kJudgeLessEqual; }

// The two cross captions: the chosen one carries "√" while the mode judges (0 or 1).
void CrossCaptions(int mode, int cross, std::string& crossing, std::string& notCrossing) {
  const bool tick = TicksCross(mode);
  crossing = (tick && cross == 1) ? "√交叉" : "交叉";
  notCrossing = (tick && cross != 1) ? "√不交叉" : "不交叉";
}

// A header value as the extra and characteristic fields show it: trimmed, and "0" shows empty.
std::string ShownValue(const std::string& text) {
  std::string t = TrimNumberText(text);
  return t == "0" ? std::string() : t;
}

void ApplyUserInput(StandardForm& f, const HeaderTextReader& header) {
  auto text = [&](int record, int field) { return header ? header(record, field) : std::string(); };
  for (int c = 0; c < 12; ++c) f.row[c] = LeadingInt(text(16 + c, 1));
  f.row[kHoldTime] = LeadingInt(text(13, 2));
  f.row[kJudgeTime] = LeadingInt(text(14, 2));
  f.row[kJudgeCount] = LeadingInt(text(15, 2));
  f.row[kUnloadSteps] = LeadingInt(text(28, 1));
  f.row[kNonZeroTime] = LeadingInt(text(29, 1));
  f.row[kZeroTime] = LeadingInt(text(30, 1));
  f.row[kLoadInterval7] = LeadingInt(text(57, 1));
  f.row[kUnloadInterval7] = LeadingInt(text(58, 1));

  // Every field from 1088 to 1114 is open to the operator.
  f.modeEnabled = true;
  f.timingEnabled = true;
  for (FormField* field : {&f.stableSettlement, &f.characteristic, &f.overStable, &f.overHoldTime,
                           &f.overJudgeTime, &f.overJudgeCount}) {
    field->enabled = true;
  }

  f.judgementMode = ModeFromChar(FirstChar(text(18, 2)));
  f.modeCaption = JudgementModeCaption(f.judgementMode);
  if (TicksCross(f.judgementMode)) {
    f.stableSettlement.enabled = true;
    f.stableSettlement.text = text(16, 2);
    f.crossEnabled = true;
    f.crossFlag = FirstChar(text(65, 1)) == '1' ? 1 : 0;
  } else {
    f.stableSettlement.enabled = false;
    f.stableSettlement.text.clear();
    f.crossEnabled = false;
  }
  CrossCaptions(f.judgementMode, f.crossFlag, f.crossCaption, f.notCrossCaption);

  f.characteristic.text = ShownValue(text(71, 3));
  f.overModeEnabled = true;

  f.overJudgementMode = ModeFromChar(FirstChar(text(64, 1)));
  f.overModeCaption = JudgementModeCaption(f.overJudgementMode);
  if (TicksCross(f.overJudgementMode)) {
    f.overStable.enabled = true;
    f.overStable.text = text(63, 1);
    f.overCrossEnabled = true;
    f.overCrossFlag = FirstChar(text(69, 1)) == '1' ? 1 : 0;
  } else {
    f.overStable.enabled = false;
    f.overStable.text.clear();
    f.overCrossEnabled = false;
  }
  CrossCaptions(f.overJudgementMode, f.overCrossFlag, f.overCrossCaption, f.overNotCrossCaption);

  f.overHoldTime.text = std::to_string(LeadingInt(text(66, 1)));
  f.overJudgeTime.text = std::to_string(LeadingInt(text(67, 1)));
  f.overJudgeCount.text = std::to_string(LeadingInt(text(68, 1)));
}

}  // namespace

std::span<const TimingRow> StandardTimingTable() { return kTable; }

const char* JudgementModeCaption(int mode) {
  switch (mode) {
    case kJudgeLessEqual: return "≤";
    case kJudgeConvergence: return "收敛";
    case kJudgeNone: return "不判稳";
    default: return "<";
  }
}

const StandardDefaults* FindStandardDefaults(int code) {
  for (const StandardDefaults& d : kDefaults) {
    if (d.code == code) return &d;
  }
  return nullptr;
}

std::string TrimNumberText(std::string text) {
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  return text;
}

void ApplyStandard(StandardForm& f, int code, int testType, const HeaderTextReader& header) {
  auto text = [&](int record, int field) { return header ? header(record, field) : std::string(); };

  // 1. Everything closed; the optional fields hidden.
  f.timingEnabled = false;
  for (FormField* field : {&f.stableSettlement, &f.characteristic, &f.overStable, &f.overHoldTime,
                           &f.overJudgeTime, &f.overJudgeCount}) {
    field->enabled = false;
  }
  f.soilVisible = false;
  f.extraLabelVisible = false;
  f.extraValue.visible = false;
  f.modeEnabled = false;
  f.crossEnabled = false;
  f.overModeEnabled = false;
  f.overCrossEnabled = false;

  // 2. The characteristic and over-characteristic fields start empty.
  f.characteristic.text.clear();
  f.overHoldTime.text.clear();
  f.overJudgeTime.text.clear();
  f.overJudgeCount.text.clear();
  f.overStable.text.clear();
  f.overModeCaption = "≤";
  f.overCrossCaption = "交叉";
  f.overNotCrossCaption = "不交叉";

  // 3. Load units by test type.
  const char* unit = testType == 0 ? "kPa" : "kN";
  f.controlLoadLabel = std::string("当前控载值") + unit;
  f.singleStepLabel = std::string("单级加荷值") + unit;
  f.maxLoadLabel = std::string("最大加荷值") + unit;
  f.characteristicLabel = std::string("承载力特征值") + unit;

  // 4. The standard's row and judgement defaults.
  if (code == kUserInputStandard) {
    ApplyUserInput(f, header);
  } else if (const StandardDefaults* d = FindStandardDefaults(code)) {
    f.row = kTable[static_cast<std::size_t>(d->row)];
    f.judgementMode = d->mode;
    f.modeCaption = JudgementModeCaption(d->mode);
    f.stableSettlement.text = d->stableSettlement;
    f.crossFlag = d->cross;
    CrossCaptions(d->mode, d->cross, f.crossCaption, f.notCrossCaption);

    if (code == 10) {
      f.characteristic.enabled = true;
      f.characteristic.text = ShownValue(text(71, 3));
      f.overHoldTime.text = std::to_string(f.row[kHoldTime]);
      f.overJudgeTime.text = std::to_string(f.row[kJudgeTime]);
      f.overJudgeCount.text = std::to_string(f.row[kJudgeCount]);
      f.overModeCaption = "≤";
      f.overJudgementMode = kJudgeLessEqual;
      f.overStable.text = "0.25";
      f.overCrossFlag = 1;
      f.overCrossCaption = "√交叉";
      f.overNotCrossCaption = "不交叉";
    } else if (code == 15 || code == 48) {
      f.soilVisible = true;
      f.extraLabelVisible = true;
      f.extraLabel = "桩端土层";
      if (FirstChar(text(67, 3)) == '0') {
        f.soilType = 0;
        f.coarseSoilCaption = "√粗粒土";
        f.fineSoilCaption = "细粒土";
      } else {
        f.soilType = 1;
        f.coarseSoilCaption = "粗粒土";
        f.fineSoilCaption = "√细粒土";
      }
    } else if (code == 72) {
      f.maxLoadLabel = "最大加荷值Ps";
      f.extraLabel = "最大加荷值Pg";
      f.extraLabelVisible = true;
      f.extraValue.visible = true;
      f.extraValue.text = ShownValue(text(20, 3));
    } else if (code == 73 || code == 74) {
      f.extraLabel = "桩径mm";
      f.extraLabelVisible = true;
      f.extraValue.visible = true;
      f.extraValue.text = ShownValue(text(20, 3));
    }
  }

  // 5. The row in the timing fields.
  for (std::size_t c = 0; c < f.row.size(); ++c) f.timingTexts[c] = std::to_string(f.row[c]);
  if (code == 0) f.timingTexts[kUnloadSteps].clear();
}
