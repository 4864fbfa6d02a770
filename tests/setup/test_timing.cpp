#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "setup/standards.h"
#include "setup/timing.h"
#include "tests/setup/fixture.h"

using setup_test::ReadTable;
using setup_test::Unquote;

namespace {

// The catalogue, position by position, against the table typed into the fixture.
TEST(StandardCatalogue, HoldsThe83EntriesInTheirPositions) {
  const auto fixture = ReadTable("catalogue.txt");
  const auto rows = StandardCatalogueRows();
  ASSERT_EQ(fixture.size(), 83u);
  ASSERT_EQ(rows.size(), 83u);
  for (std::size_t p = 0; p < fixture.size(); ++p) {
    const auto& f = fixture[p];
    SCOPED_TRACE("position " + f[0]);
    EXPECT_EQ(std::stoul(f[0]), p);
    EXPECT_EQ(rows[p].code, std::stoi(f[1]));
    EXPECT_EQ(rows[p].name, Unquote(f[2]));
    EXPECT_EQ(rows[p].region, Unquote(f[3]));
    EXPECT_EQ(rows[p].testType, std::stoi(f[4]));
    EXPECT_EQ(rows[p].sortGroup, std::stoi(f[5]));
  }
}

TEST(StandardCatalogue, CodeSets) {
  struct Case {
    bool (*in)(int);
    std::vector<int> codes;
  };
  const Case cases[] = {
      {IsRockFoundationStandard, {3, 58, 88, 90, 102, 119}},
      {IsFastMethodStandard, {0, 4, 11, 34, 46, 53, 118}},
      {IsNoJudgementStandard, {7, 8, 62, 76, 144}},
      {IsCyclicLateralStandard, {62, 76, 144}},
      {IsSingleCycleLateralStandard, {77, 93, 145}},
      {IsPileDiameterStandard, {73, 74}},
      {IsPileTipSoilStandard, {15, 48}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    for (int code = -1; code <= 200; ++code) {
      const bool expected =
          std::find(cases[i].codes.begin(), cases[i].codes.end(), code) != cases[i].codes.end();
      EXPECT_EQ(cases[i].in(code), expected) << "set " << i << " code " << code;
    }
  }
}

TimingRow FixtureRow(const std::vector<std::string>& cells) {
  TimingRow r{};
  for (std::size_t c = 0; c < r.size(); ++c) r[c] = std::stoi(cells[2 + c]);
  return r;
}

TEST(StandardTimingTable, EveryRowAndColumnAsTyped) {
  const auto fixture = ReadTable("timing_table.txt");
  const auto table = StandardTimingTable();
  ASSERT_EQ(fixture.size(), 79u);
  ASSERT_EQ(table.size(), 79u);
  for (std::size_t r = 0; r < fixture.size(); ++r) {
    ASSERT_EQ(fixture[r].size(), 22u);
    EXPECT_EQ(std::stoul(fixture[r][0]), r);
    EXPECT_EQ(table[r], FixtureRow(fixture[r])) << "row " << r;
  }
}

// Every code named in the table's "codes" column selects that row.
TEST(StandardTimingTable, CodesSelectTheirRows) {
  for (const auto& cells : ReadTable("timing_table.txt")) {
    std::stringstream codes(cells[1]);
    std::string code;
    while (std::getline(codes, code, ',')) {
      const StandardDefaults* d = FindStandardDefaults(std::stoi(code));
      ASSERT_NE(d, nullptr) << "code " << code;
      EXPECT_EQ(d->row, std::stoi(cells[0])) << "code " << code;
    }
  }
  EXPECT_EQ(FindStandardDefaults(9), nullptr);
  EXPECT_EQ(FindStandardDefaults(20), nullptr);
}

// ---------------------------------------------------------------------------------------------------
// Applying a standard sets the defaults by code.

struct DefaultsCase {
  int code;
  int row;
  int mode;
  std::string caption;
  std::string stable;
  int cross;
  bool tick;
};

std::vector<DefaultsCase> DefaultsFromFixture() {
  std::vector<DefaultsCase> out;
  for (const auto& c : ReadTable("standard_defaults.txt")) {
    if (c[1] == "-") continue;  // the user-input standard
    DefaultsCase d;
    d.code = std::stoi(c[0]);
    d.row = std::stoi(c[1]);
    d.mode = c[2][0] - '0';
    const auto q1 = c[2].find('"');
    d.caption = c[2].substr(q1 + 1, c[2].rfind('"') - q1 - 1);
    d.stable = c[3] == "empty" ? "" : Unquote(c[3]);
    d.cross = c[4][0] - '0';
    d.tick = c[4].find("no tick") == std::string::npos;
    out.push_back(d);
  }
  return out;
}

std::ostream& operator<<(std::ostream& os, const DefaultsCase& c) { return os << "code " << c.code; }

class ApplyDefaults : public ::testing::TestWithParam<DefaultsCase> {};

TEST_P(ApplyDefaults, RowModeSettlementAndCross) {
  const DefaultsCase& d = GetParam();
  StandardForm form;
  // A previous standard with other choices, so every default must really be set.
  form.judgementMode = 3;
  form.crossFlag = 1 - d.cross;
  form.stableSettlement.text = "9.99";
  ApplyStandard(form, d.code, 1, nullptr);

  EXPECT_EQ(form.row, StandardTimingTable()[static_cast<std::size_t>(d.row)]);
  EXPECT_EQ(form.judgementMode, d.mode);
  EXPECT_EQ(form.modeCaption, d.caption);
  EXPECT_EQ(JudgementModeCaption(d.mode), d.caption);
  EXPECT_EQ(form.stableSettlement.text, d.stable);
  EXPECT_EQ(form.crossFlag, d.cross);
  EXPECT_EQ(d.tick, d.mode <= 1);
  if (!d.tick) {
    EXPECT_EQ(form.crossCaption, "交叉");
    EXPECT_EQ(form.notCrossCaption, "不交叉");
  } else if (d.cross == 1) {
    EXPECT_EQ(form.crossCaption, "√交叉");
    EXPECT_EQ(form.notCrossCaption, "不交叉");
  } else {
    EXPECT_EQ(form.crossCaption, "交叉");
    EXPECT_EQ(form.notCrossCaption, "√不交叉");
  }
  // Only the user-input standard opens its fields.
  EXPECT_FALSE(form.timingEnabled);
  EXPECT_FALSE(form.stableSettlement.enabled);
  EXPECT_FALSE(form.modeEnabled);
  // The row is shown as integers; the unloading steps stay empty for code 0 only.
  for (std::size_t c = 0; c < 20; ++c) {
    if (d.code == 0 && c == kUnloadSteps) {
      EXPECT_EQ(form.timingTexts[c], "");
    } else {
      EXPECT_EQ(form.timingTexts[c], std::to_string(form.row[c])) << "column " << c;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ByCode, ApplyDefaults, ::testing::ValuesIn(DefaultsFromFixture()),
                         [](const auto& info) { return "code" + std::to_string(info.param.code); });

TEST(ApplyStandard, DefaultsTableCoversEveryTypedCode) {
  EXPECT_EQ(DefaultsFromFixture().size(), 80u);
  for (const auto& row : StandardCatalogueRows()) {
    if (row.code == 9) continue;
    EXPECT_NE(FindStandardDefaults(row.code), nullptr) << row.code;
  }
}

// Header texts of a test-file image, for the standards that read them.
HeaderTextReader Header(std::map<std::pair<int, int>, std::string> texts) {
  return [texts = std::move(texts)](int record, int field) {
    auto it = texts.find({record, field});
    return it == texts.end() ? std::string() : it->second;
  };
}

TEST(ApplyStandard, UnknownCodeKeepsRowAndChoicesButClosesFields) {
  StandardForm form;
  ApplyStandard(form, 1, 1, nullptr);
  const StandardForm before = form;
  ApplyStandard(form, 20, 0, nullptr);
  EXPECT_EQ(form.row, before.row);
  EXPECT_EQ(form.judgementMode, before.judgementMode);
  EXPECT_EQ(form.crossFlag, before.crossFlag);
  EXPECT_EQ(form.modeCaption, before.modeCaption);
  EXPECT_EQ(form.stableSettlement.text, "0.1");
  EXPECT_EQ(form.maxLoadLabel, "最大加荷值kPa");  // labels refreshed from the plate test type
}

TEST(ApplyStandard, LoadLabelsFollowTheTestType) {
  for (int type : {0, 1, 2, 4, 5}) {
    StandardForm form;
    ApplyStandard(form, 1, type, nullptr);
    const std::string unit = type == 0 ? "kPa" : "kN";
    EXPECT_EQ(form.controlLoadLabel, "当前控载值" + unit);
    EXPECT_EQ(form.singleStepLabel, "单级加荷值" + unit);
    EXPECT_EQ(form.maxLoadLabel, "最大加荷值" + unit);
    EXPECT_EQ(form.characteristicLabel, "承载力特征值" + unit);
  }
}

TEST(ApplyStandard, UserInputWithEmptyImageShowsZeros) {
  StandardForm form;
  ApplyStandard(form, 5, 1, nullptr);
  ApplyStandard(form, 9, 1, Header({}));
  EXPECT_EQ(form.row, TimingRow{});
  for (const auto& t : form.timingTexts) EXPECT_EQ(t, "0");
  EXPECT_EQ(form.judgementMode, 0);
  EXPECT_EQ(form.modeCaption, "<");
  EXPECT_EQ(form.stableSettlement.text, "");
  EXPECT_EQ(form.characteristic.text, "");
  EXPECT_TRUE(form.timingEnabled);
  EXPECT_TRUE(form.modeEnabled);
  EXPECT_TRUE(form.stableSettlement.enabled);
  EXPECT_TRUE(form.overModeEnabled);
}

TEST(ApplyStandard, UserInputReadsTheTestFileImage) {
  std::map<std::pair<int, int>, std::string> t;
  for (int c = 0; c < 12; ++c) t[{16 + c, 1}] = std::to_string(c + 1);
  t[{13, 2}] = "120";
  t[{14, 2}] = "60";
  t[{15, 2}] = "2";
  t[{28, 1}] = "3";
  t[{29, 1}] = "45";
  t[{30, 1}] = "90abc";  // the leading integer counts
  t[{57, 1}] = "31";
  t[{58, 1}] = "32";
  t[{18, 2}] = "1xx";
  t[{16, 2}] = "0.25";
  t[{65, 1}] = "0";
  t[{71, 3}] = "250.00";
  t[{64, 1}] = "3";
  t[{63, 1}] = "0.50";
  t[{66, 1}] = "30";
  t[{67, 1}] = "15";
  t[{68, 1}] = "1";
  StandardForm form;
  ApplyStandard(form, 9, 1, Header(t));
  EXPECT_EQ(form.row, (TimingRow{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 120, 60, 2, 3, 45, 90, 31, 32}));
  EXPECT_EQ(form.judgementMode, 1);
  EXPECT_EQ(form.modeCaption, "≤");
  EXPECT_EQ(form.stableSettlement.text, "0.25");
  EXPECT_EQ(form.crossFlag, 0);
  EXPECT_EQ(form.crossCaption, "交叉");
  EXPECT_EQ(form.notCrossCaption, "√不交叉");
  EXPECT_TRUE(form.crossEnabled);
  EXPECT_EQ(form.characteristic.text, "250");
  EXPECT_EQ(form.overJudgementMode, 3);
  EXPECT_EQ(form.overModeCaption, "不判稳");
  EXPECT_EQ(form.overStable.text, "");
  EXPECT_FALSE(form.overStable.enabled);
  EXPECT_FALSE(form.overCrossEnabled);
  EXPECT_EQ(form.overCrossCaption, "交叉");
  EXPECT_EQ(form.overNotCrossCaption, "不交叉");
  EXPECT_EQ(form.overHoldTime.text, "30");
  EXPECT_EQ(form.overJudgeTime.text, "15");
  EXPECT_EQ(form.overJudgeCount.text, "1");

  // A convergence mode leaves the settlement empty and the cross flag as it was.
  t[{18, 2}] = "2";
  t[{65, 1}] = "1";
  form.crossFlag = 0;
  ApplyStandard(form, 9, 1, Header(t));
  EXPECT_EQ(form.modeCaption, "收敛");
  EXPECT_EQ(form.stableSettlement.text, "");
  EXPECT_FALSE(form.stableSettlement.enabled);
  EXPECT_EQ(form.crossFlag, 0);
  EXPECT_EQ(form.crossCaption, "交叉");
}

TEST(ApplyStandard, CharacteristicValueStandard) {
  StandardForm form;
  ApplyStandard(form, 10, 1, Header({{{71, 3}, "180.50"}}));
  EXPECT_TRUE(form.characteristic.enabled);
  EXPECT_EQ(form.characteristic.text, "180.5");
  EXPECT_EQ(form.overHoldTime.text, "65");  // row 9: hold 65, judge 60, count 1
  EXPECT_EQ(form.overJudgeTime.text, "60");
  EXPECT_EQ(form.overJudgeCount.text, "1");
  EXPECT_FALSE(form.overHoldTime.enabled);
  EXPECT_EQ(form.overStable.text, "0.25");
  EXPECT_EQ(form.overJudgementMode, 1);
  EXPECT_EQ(form.overModeCaption, "≤");
  EXPECT_EQ(form.overCrossFlag, 1);
  EXPECT_EQ(form.overCrossCaption, "√交叉");

  ApplyStandard(form, 10, 1, Header({{{71, 3}, "0.00"}}));
  EXPECT_EQ(form.characteristic.text, "");  // zero shows empty
  // Another standard empties the over-characteristic fields again.
  ApplyStandard(form, 1, 1, nullptr);
  EXPECT_EQ(form.characteristic.text, "");
  EXPECT_EQ(form.overStable.text, "");
  EXPECT_EQ(form.overHoldTime.text, "");
  EXPECT_FALSE(form.characteristic.enabled);
}

TEST(ApplyStandard, PileTipSoilChoice) {
  for (int code : {15, 48}) {
    StandardForm form;
    ApplyStandard(form, code, 1, Header({{{67, 3}, "0"}}));
    EXPECT_TRUE(form.soilVisible);
    EXPECT_TRUE(form.extraLabelVisible);
    EXPECT_EQ(form.extraLabel, "桩端土层");
    EXPECT_EQ(form.soilType, 0);
    EXPECT_EQ(form.coarseSoilCaption, "√粗粒土");
    EXPECT_EQ(form.fineSoilCaption, "细粒土");
    ApplyStandard(form, code, 1, Header({}));
    EXPECT_EQ(form.soilType, 1);
    EXPECT_EQ(form.coarseSoilCaption, "粗粒土");
    EXPECT_EQ(form.fineSoilCaption, "√细粒土");
    ApplyStandard(form, 1, 1, nullptr);
    EXPECT_FALSE(form.soilVisible);
    EXPECT_FALSE(form.extraLabelVisible);
  }
}

TEST(ApplyStandard, ExtraFieldStandards) {
  StandardForm form;
  ApplyStandard(form, 72, 0, Header({{{20, 3}, "1200.00"}}));
  EXPECT_EQ(form.maxLoadLabel, "最大加荷值Ps");  // whatever the test type
  EXPECT_EQ(form.extraLabel, "最大加荷值Pg");
  EXPECT_TRUE(form.extraLabelVisible);
  EXPECT_TRUE(form.extraValue.visible);
  EXPECT_EQ(form.extraValue.text, "1200");

  for (int code : {73, 74}) {
    ApplyStandard(form, code, 1, Header({{{20, 3}, "0.00"}}));
    EXPECT_EQ(form.maxLoadLabel, "最大加荷值kN");
    EXPECT_EQ(form.extraLabel, "桩径mm");
    EXPECT_TRUE(form.extraValue.visible);
    EXPECT_EQ(form.extraValue.text, "");
  }
  ApplyStandard(form, 5, 1, nullptr);
  EXPECT_FALSE(form.extraValue.visible);
  EXPECT_FALSE(form.extraLabelVisible);
}

TEST(TrimNumberText, RemovesZerosOnlyAfterAPoint) {
  EXPECT_EQ(TrimNumberText("40.00"), "40");
  EXPECT_EQ(TrimNumberText("12.50"), "12.5");
  EXPECT_EQ(TrimNumberText("100"), "100");
  EXPECT_EQ(TrimNumberText("0.00"), "0");
  EXPECT_EQ(TrimNumberText(""), "");
}

}  // namespace
