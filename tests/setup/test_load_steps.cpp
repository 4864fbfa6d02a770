#include <gtest/gtest.h>

#include <ostream>

#include "setup/load_steps.h"

namespace {

struct DeriveCase {
  int code;
  const char* typed;
  const char* singleStep;  // nullptr: not proposed
  const char* maxLoad;
  const char* characteristic;
};

std::ostream& operator<<(std::ostream& os, const DeriveCase& c) {
  return os << "code " << c.code << " \"" << c.typed << "\"";
}

class Derive : public ::testing::TestWithParam<DeriveCase> {};

TEST_P(Derive, ProposesSingleStepAndMaximum) {
  const DeriveCase& c = GetParam();
  const ProposedLoads p = DeriveLoadSteps(c.code, c.typed, false);
  auto check = [](const std::optional<std::string>& got, const char* want, const char* what) {
    if (want == nullptr) {
      EXPECT_FALSE(got.has_value()) << what << " = " << got.value_or("");
    } else {
      ASSERT_TRUE(got.has_value()) << what;
      EXPECT_EQ(*got, want) << what;
    }
  };
  check(p.singleStep, c.singleStep, "single step");
  check(p.maxLoad, c.maxLoad, "maximum");
  check(p.characteristic, c.characteristic, "characteristic");
}

INSTANTIATE_TEST_SUITE_P(
    ByCode, Derive,
    ::testing::Values(
        // single step = x, maximum = 8x
        DeriveCase{1, "30", "30", "240", nullptr},
        DeriveCase{1, "0.5", "1", "8", nullptr},      // both below their least values
        DeriveCase{90, "12.345", "12.35", "98.76", nullptr},  // single precision, then "%.2f"
        // code 0: thirds
        DeriveCase{0, "30", "10", "100", nullptr},
        DeriveCase{0, "33.33", "11.11", "111.1", nullptr},
        DeriveCase{0, "0.3", "1", "5", nullptr},
        // half steps, maxima 4x, 7.5x, 4.5x
        DeriveCase{57, "3", "1.5", "12", nullptr},
        DeriveCase{59, "0.9", "1", "4", nullptr},
        DeriveCase{58, "10", "5", "75", nullptr},
        DeriveCase{58, "2", "1", "15", nullptr},  // 15 >= 15 counts as computed
        DeriveCase{58, "1", "1", "15", nullptr},
        DeriveCase{119, "2", "1", "9", nullptr},
        DeriveCase{119, "1", "1", "9", nullptr},
        // single step = x, maximum = 10x
        DeriveCase{62, "2.5", "2.5", "25", nullptr},
        DeriveCase{144, "0.8", "1", "10", nullptr},
        // code 73: least maximum 4, fallback "10"
        DeriveCase{73, "0.8", "1", "10", nullptr},
        DeriveCase{73, "1", "1", "4", nullptr},
        // every other code: half step, maximum 5x
        DeriveCase{5, "30", "15", "150", nullptr},
        DeriveCase{5, "12.345", "6.17", "61.73", nullptr},
        DeriveCase{149, "-4", "1", "5", nullptr},
        // code 10 also proposes the characteristic value 2.5x
        DeriveCase{10, "100", "50", "500", "250"},
        DeriveCase{10, "1", "1", "5", nullptr},
        // code 14 proposes nothing
        DeriveCase{14, "30", nullptr, nullptr, nullptr},
        // texts that are not numbers propose nothing
        DeriveCase{1, "", nullptr, nullptr, nullptr},
        DeriveCase{1, "-", nullptr, nullptr, nullptr},
        DeriveCase{1, ".5", nullptr, nullptr, nullptr},
        DeriveCase{1, "5.", nullptr, nullptr, nullptr},
        DeriveCase{1, "1.2.3", nullptr, nullptr, nullptr},
        DeriveCase{1, "1-2", nullptr, nullptr, nullptr},
        DeriveCase{1, "12a", nullptr, nullptr, nullptr}));

TEST(DeriveLoadSteps, NothingWhileATestRuns) {
  const ProposedLoads p = DeriveLoadSteps(1, "30", true);
  EXPECT_FALSE(p.singleStep || p.maxLoad || p.characteristic);
}

struct LevelCase {
  int code;
  float s, ps, pg;
  std::vector<float> levels;  // the prescribed levels; the rest keep their values
};

std::ostream& operator<<(std::ostream& os, const LevelCase& c) { return os << "code " << c.code; }

class Levels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(Levels, TableByCode) {
  const LevelCase& c = GetParam();
  LevelTable table;
  table.fill(-7.0f);
  const bool filled = FillLevelTable(c.code, c.s, c.ps, c.pg, table);
  EXPECT_EQ(filled, !c.levels.empty());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const float want = i < c.levels.size() ? c.levels[i] : -7.0f;
    EXPECT_FLOAT_EQ(table[i], want) << "level " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ByCode, Levels,
    ::testing::Values(
        LevelCase{0, 20, 0, 0, {60, 100, 140, 160, 180, 200, 100, 60, 0}},
        LevelCase{149, 20, 0, 0, {40, 100, 140, 180, 200, 100, 40, 0}},
        LevelCase{72, 0, 1000, 2000,
                  {200, 400, 600, 800, 1000, 500, 0, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000,
                   1600, 1200, 800, 400, 0}},
        LevelCase{1, 20, 160, 0, {}}));

}  // namespace
