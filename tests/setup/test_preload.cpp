// The preload entry's digit filter, its state taken from a text, and the check of a typed value.
#include <gtest/gtest.h>

#include <string>

#include "setup/preload.h"

namespace {

constexpr unsigned kPoint = 0xBE;

// Keys as typed ('.' for the point key); returns the text the edit ends with.
std::string typeKeys(PreloadDigitFilter& f, const std::string& keys, std::string text = {}) {
  for (char c : keys) {
    const unsigned vk = c == '.' ? kPoint : static_cast<unsigned>(c);
    if (f.Accept(vk)) text += c;
  }
  return text;
}

}  // namespace

TEST(PreloadFilter, KeepsSevenCharactersOnePointTwoDecimalsAndNoLeadingPoint) {
  struct Case {
    const char* keys;
    const char* text;
  } cases[] = {
      {"12.345", "12.34"},     {".5", "5"},         {"..12", "12"},         {"1.2.3", "1.23"},
      {"123456789", "1234567"}, {"123456.78", "123456."}, {"1234567.1", "1234567"}, {"0.05", "0.05"},
      {"AB-1", "1"},
  };
  for (const Case& c : cases) {
    PreloadDigitFilter f;
    EXPECT_EQ(typeKeys(f, c.keys), c.text) << c.keys;
  }
}

TEST(PreloadFilter, StateFromATextLetsTypingGoOnWhereTheTextLeftIt) {
  PreloadDigitFilter f;
  EXPECT_EQ(typeKeys(f, "12.34"), "12.34");
  EXPECT_EQ(typeKeys(f, "5"), "");  // two decimals typed
  // Deleting the last character: the text is "12.3".
  f.ResetFrom("12.3");
  EXPECT_EQ(typeKeys(f, "56", "12.3"), "12.35");
  // A value that came from elsewhere: the state follows it, not the earlier typing.
  f.ResetFrom("800");
  EXPECT_FALSE(f.pointTyped());
  EXPECT_EQ(f.chars(), 3);
  EXPECT_EQ(typeKeys(f, ".5", "800"), "800.5");
  f.ResetFrom("");
  EXPECT_FALSE(f.firstKeySeen());
  EXPECT_EQ(typeKeys(f, ".7"), "7");
}

TEST(PreloadValue, OnlyANumberAboveZeroIsStoredAndRequested) {
  for (const char* bad : {"", "0", "0.00", "-5", "abc", "1.", ".5", "1-2"}) {
    Parameter p;
    p.preloadValue = 3.0f;
    EXPECT_FALSE(StorePreload(p, bad)) << bad;
    EXPECT_EQ(p.preloadValue.load(), 3.0f) << bad;
    EXPECT_EQ(p.preloadRunning.load(), 0) << bad;
  }
  Parameter p;
  EXPECT_TRUE(StorePreload(p, "12.34"));
  EXPECT_FLOAT_EQ(p.preloadValue.load(), 12.34f);
  EXPECT_EQ(p.preloadRunning.load(), 1);
  EXPECT_STREQ(PreloadUnit(0), "kPa");
  EXPECT_STREQ(PreloadUnit(1), "kN");
  EXPECT_STREQ(PreloadUnit(5), "kN");
}
