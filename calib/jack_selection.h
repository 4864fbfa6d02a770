// Picking the force sensor or the jacks of a channel from the calibration database, without the
// window: the rows of the list (database order, sorted, colour bands, pre-chosen jacks), the summary of
// the chosen jacks with their combined regression equation, and the refusals of a tap.
#pragma once

#include <string>
#include <vector>

#include "model/parameter.h"

inline constexpr int kRowWhite = 0xFFFFFF;
inline constexpr int kRowGrey = 0xEBEBEB;  // RGB 235, 235, 235

struct SelectionRow {
  JackSensorEntry record;
  std::string number;   // the record's number as text
  int colour = kRowWhite;
  bool chosen = false;  // jack mode: the jack is among those chosen
};

// The rows of the list for mode 1 (sensors) or 0 (jacks): the records of that kind in database order,
// sorted by the first value and then the second (a selection sort that keeps the first of equal keys in
// front), jack rows coloured in bands of equal printed rated output and chosen when their number is one
// of the channel's jack numbers. `marked` becomes the last matching row (a jack of the channel's list,
// or the channel's sensor), or the last row when none matches; -1 for an empty list.
std::vector<SelectionRow> BuildSelectionRows(const std::vector<JackSensorEntry>& database, int mode,
                                             const std::string& jackText, const std::string& sensorText,
                                             int& marked);

// The texts of one row's cells, column by column.
std::vector<std::string> SelectionCells(const SelectionRow& row, int index, int mode);

struct JackSummary {
  int count = 0;
  std::string selection;  // the chosen numbers joined by ","
  float a = 0.0f, b = 0.0f;
  float ratedPressure = 0.0f, ratedOutput = 0.0f;  // of the last chosen jack
  std::string chosenLine;      // "当前选中%d个千斤顶：" + numbers
  std::string regressionLine;  // the combined equation (regression method only)
};

// The chosen jacks in row order. With the regression method (3) a and b are those of the group;
// otherwise they stay `a` and `b` as given.
JackSummary SummarizeJacks(const std::vector<SelectionRow>& rows, int method, float a, float b);

// The refusal of choosing row `clicked` (not yet chosen); "" when it may be chosen.
std::string JackChoiceRefusal(const std::vector<SelectionRow>& rows, int clicked, int method);
