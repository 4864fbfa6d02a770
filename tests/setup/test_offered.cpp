// The offered standards without windows: type texts, standards in use, and offered flags that are set
// only when no standard in use would be taken off.
#include <gtest/gtest.h>

#include "model/parameter.h"
#include "setup/catalogue.h"
#include "setup/offered_standards.h"
#include "setup/standards.h"

namespace {

TEST(OfferedStandards, TypeTextsByTestType) {
  const struct {
    int type;
    const char* text;
  } cases[] = {{0, "桩基"}, {1, "桩基"}, {2, "自平衡"}, {3, "锚杆"}, {4, "水平"}, {5, ""}, {6, ""}, {-1, ""}};
  for (const auto& c : cases) EXPECT_EQ(StandardTypeText(c.type), c.text) << c.type;
}

TEST(OfferedStandards, InUseOnlyWhileATestRunsUnderTheCode) {
  Parameter a, b, c;
  b.standardCode = 5;
  EXPECT_FALSE(IsStandardInUse(5, {&a, &b, &c})) << "set up, not running";
  b.testRunning = 1;
  EXPECT_TRUE(IsStandardInUse(5, {&a, &b, &c}));
  EXPECT_FALSE(IsStandardInUse(4, {&a, &b, &c}));
  b.testRunning = 0;
  EXPECT_FALSE(IsStandardInUse(5, {&a, &b, &c})) << "ended";
  EXPECT_FALSE(IsStandardInUse(0, {nullptr}));
}

TEST(OfferedStandards, FlagsAreSetOnlyWhenNoStandardInUseIsUnchecked) {
  Parameter first, second;
  first.ParameterList.extendWithDefaults();
  BuildStandardCatalogue(first);
  const int n = static_cast<int>(first.standards.size());
  ASSERT_EQ(n, 83);
  // Channel 2 runs under code 5 (position 4); the rows before it are unchecked.
  second.testRunning = 1;
  second.standardCode = 5;
  std::vector<bool> checks(static_cast<std::size_t>(n), true);
  for (int i = 0; i <= 4; ++i) checks[static_cast<std::size_t>(i)] = false;
  EXPECT_EQ(SetOfferedFlags(first, checks, {&first, &second, nullptr}), 4);
  for (int i = 0; i < n; ++i) EXPECT_TRUE(IsStandardOffered(first, i)) << "nothing set: " << i;

  // With position 4 checked the rest go through, each as checked.
  checks[4] = true;
  EXPECT_EQ(SetOfferedFlags(first, checks, {&first, &second, nullptr}), -1);
  for (int i = 0; i < n; ++i) EXPECT_EQ(IsStandardOffered(first, i), i >= 4) << i;
  EXPECT_EQ(first.ParameterList.item(kOfferedFlagItem), 0.0f);

  // After that test has ended nothing is in use: all off is taken.
  second.testRunning = 0;
  EXPECT_EQ(SetOfferedFlags(first, std::vector<bool>(static_cast<std::size_t>(n), false), {&first, &second}), -1);
  for (int i = 0; i < n; ++i) EXPECT_FALSE(IsStandardOffered(first, i)) << i;
}

}  // namespace
