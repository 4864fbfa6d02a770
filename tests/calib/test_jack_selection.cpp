#include <gtest/gtest.h>

#include <cstring>

#include "calib/jack_selection.h"
#include "tests/calib/jack_sensor_records.h"

namespace {

// Jacks and sensors mixed, with equal sort keys and two records with one number.
std::vector<JackSensorEntry> Database() {
  return {Rec(0, "J3", 1, 2000, 50, 0.1f, 0.02f),  Rec(1, "S1", 1, 60, 1.9f),
          Rec(0, "J1", 0, 1000, 64, 0.2f, 0.05f),  Rec(0, "J2", 0, 1000, 60, -0.1f, 0.04f),
          Rec(0, "J4", 0, 1000, 60, 0.3f, 0.0f),   Rec(1, "S2", 0, 50, 2.5f),
          Rec(0, "J1", 0, 3000, 64, 0.2f, 0.05f),  Rec(1, "S3", 1, 50, 2.0f)};
}

std::vector<std::string> Numbers(const std::vector<SelectionRow>& rows) {
  std::vector<std::string> out;
  for (const SelectionRow& r : rows) out.push_back(r.number);
  return out;
}

}  // namespace

TEST(JackSelection, JackRowsSortedBandedAndPreChosen) {
  int marked = 0;
  const auto rows = BuildSelectionRows(Database(), 0, "J2,J1", "", marked);
  // By rated output, then rated pressure; J2 and J4 share both keys and keep their database order.
  EXPECT_EQ(Numbers(rows), (std::vector<std::string>{"J2", "J4", "J1", "J3", "J1"}));
  const int colours[] = {kRowWhite, kRowWhite, kRowWhite, kRowGrey, kRowWhite};
  const bool chosen[] = {true, false, true, false, true};  // both records numbered J1
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].colour, colours[i]) << i;
    EXPECT_EQ(rows[i].chosen, chosen[i]) << i;
  }
  EXPECT_EQ(marked, 4);
  EXPECT_EQ(SelectionCells(rows[0], 0, 0),
            (std::vector<std::string>{"1", "J2", "单油路", "1000", "60", "-0.1", "0.04"}));
  EXPECT_EQ(SelectionCells(rows[3], 3, 0)[2], "双油路");
}

TEST(JackSelection, SensorRowsAndTheMarkedRow) {
  int marked = 0;
  auto rows = BuildSelectionRows(Database(), 1, "", "S3", marked);
  EXPECT_EQ(Numbers(rows), (std::vector<std::string>{"S3", "S2", "S1"}));  // 50/2.0 before 50/2.5
  EXPECT_EQ(marked, 0);
  EXPECT_EQ(rows[1].colour, kRowGrey);
  EXPECT_EQ(SelectionCells(rows[1], 1, 1), (std::vector<std::string>{"2", "S2", "荷重传感器", "50", "2.5"}));
  // No match: the last row.
  rows = BuildSelectionRows(Database(), 1, "", "S9", marked);
  EXPECT_EQ(marked, 2);
  rows = BuildSelectionRows({}, 1, "", "S9", marked);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(marked, -1);
}

TEST(JackSelection, SummaryCombinesTheGroupInRegressionOnly) {
  int marked = 0;
  const auto rows = BuildSelectionRows(Database(), 0, "J2,J4", "", marked);
  // Regression: J4's b of 0 is left out of the group.
  JackSummary s = SummarizeJacks(rows, 3, 7.0f, 8.0f);
  EXPECT_EQ(s.count, 2);
  EXPECT_EQ(s.selection, "J2,J4");
  EXPECT_FLOAT_EQ(s.b, 0.04f);
  EXPECT_FLOAT_EQ(s.a, -0.1f);
  EXPECT_EQ(s.chosenLine, "当前选中2个千斤顶：J2,J4");
  EXPECT_EQ(s.regressionLine, "拟合后的a值：-0.100000,b值：0.040000");
  EXPECT_FLOAT_EQ(s.ratedOutput, 1000.0f);
  EXPECT_FLOAT_EQ(s.ratedPressure, 60.0f);
  // Computed: the channel's a and b stand, no equation line.
  s = SummarizeJacks(rows, 1, 7.0f, 8.0f);
  EXPECT_EQ(s.a, 7.0f);
  EXPECT_EQ(s.b, 8.0f);
  EXPECT_EQ(s.regressionLine, "");
  // One jack, and none.
  const auto one = BuildSelectionRows(Database(), 0, "J2", "", marked);
  EXPECT_EQ(SummarizeJacks(one, 3, 0, 0).regressionLine, "千斤顶的a值：-0.100000,b值：0.040000");
  const auto none = BuildSelectionRows(Database(), 0, "", "", marked);
  s = SummarizeJacks(none, 3, 7.0f, 8.0f);
  EXPECT_EQ(s.chosenLine, "");
  EXPECT_EQ(s.regressionLine, "");
  EXPECT_EQ(s.count, 0);
}

TEST(JackSelection, RefusalsOfAChoice) {
  int marked = 0;
  auto rows = BuildSelectionRows(Database(), 0, "J2", "", marked);
  EXPECT_EQ(JackChoiceRefusal(rows, 3, 1), "请选择相同规格的千斤顶！");  // J3, 2000 kN
  EXPECT_EQ(JackChoiceRefusal(rows, 1, 3), "千斤顶回归方程b值不能为0或负数！");  // J4, b 0
  EXPECT_EQ(JackChoiceRefusal(rows, 1, 1), "");  // the computed method takes a b of 0
  EXPECT_EQ(JackChoiceRefusal(rows, 2, 3), "");
  std::vector<JackSensorEntry> many;
  for (int i = 0; i < 10; ++i) many.push_back(Rec(0, ("K" + std::to_string(i)).c_str(), 0, 1000, 60, 0, 0.05f));
  rows = BuildSelectionRows(many, 0, "K0,K1,K2,K3,K4,K5,K6,K7,K8", "", marked);
  EXPECT_EQ(JackChoiceRefusal(rows, 9, 3), "最多只能选择9个千斤顶！");
}
