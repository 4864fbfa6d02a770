#include "platform/text/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <string>

namespace text = platform::text;

namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

const std::string kZhong = "\xE4\xB8\xAD";          // 中
const std::string kWen = "\xE6\x96\x87";            // 文
const std::string kGrin = "\xF0\x9F\x98\x80";       // U+1F600, outside the BMP and outside GBK
const std::string kReplacement = "\xEF\xBF\xBD";    // U+FFFD

struct GbkCase {
  const char* what;
  std::string utf8;
  std::string gbk;
};

class Utf8ToGbk : public ::testing::TestWithParam<GbkCase> {};

TEST_P(Utf8ToGbk, GivesExactBytes) { EXPECT_EQ(text::utf8ToGbk(GetParam().utf8), GetParam().gbk); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToGbk,
    ::testing::Values(GbkCase{"ascii", "Pile 3#", "Pile 3#"}, GbkCase{"zhong", kZhong, bytes({0xD6, 0xD0})},
                      GbkCase{"mixed", "a" + kZhong + kWen + "b", bytes({'a', 0xD6, 0xD0, 0xCE, 0xC4, 'b'})},
                      GbkCase{"emoji", "x" + kGrin + "y", "x?y"},
                      GbkCase{"invalid utf8 bytes", "a\xFF\xC0" "b", "a??b"},
                      GbkCase{"cut sequence at end", "a\xE4\xB8", "a??"},
                      GbkCase{"embedded zero", std::string("a\0b", 3), std::string("a\0b", 3)}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

TEST(GbkToUtf8, DecodesAndReplacesBadBytes) {
  EXPECT_EQ(text::gbkToUtf8(bytes({0xD6, 0xD0, 0xCE, 0xC4})), kZhong + kWen);
  EXPECT_EQ(text::gbkToUtf8("plain"), "plain");
  // A byte that starts no character, a lead byte with a bad trail, and a lead byte cut off at the end.
  EXPECT_EQ(text::gbkToUtf8(bytes({'a', 0xFF, 'b'})), "a" + kReplacement + "b");
  EXPECT_EQ(text::gbkToUtf8(bytes({0x81, 0x20, 'c'})), kReplacement + " c");
  EXPECT_EQ(text::gbkToUtf8(bytes({'z', 0xD6})), "z" + kReplacement);
}

TEST(GbkToUtf8, LongTextWithManyBadBytesRoundTripsTheGoodOnes) {
  std::string gbk, expect;
  for (int i = 0; i < 5000; ++i) {
    gbk += bytes({0xD6, 0xD0, 0xFF, 'x'});
    expect += kZhong + kReplacement + "x";
  }
  EXPECT_EQ(text::gbkToUtf8(gbk), expect);
}

// What the screen shows of a text: UTF-8 as it is, a whole GBK text decoded, anything else with U+FFFD
// for each byte that starts no character.
TEST(DisplayText, Utf8StaysGbkIsDecodedAndBadBytesAreReplaced) {
  const struct {
    const char* what;
    std::string in, shown;
  } cases[] = {
      {"ascii", "a.krv", "a.krv"},
      {"utf8", kZhong + kWen + ".krv", kZhong + kWen + ".krv"},
      {"utf8 replacement character", kReplacement, kReplacement},
      {"gbk name", bytes({0xD6, 0xD0, 0xCE, 0xC4}) + "1.krv", kZhong + kWen + "1.krv"},
      {"gbk two-byte that looks like utf8", bytes({0xD7, 0xAE, 0xD6, 0xD0}), "\xE6\xA1\xA9" + kZhong},  // 桩中
      {"stray byte", bytes({'a', 0xFF, 'b'}), "a" + kReplacement + "b"},
      {"utf8 with a bad byte", kZhong + bytes({0xFF}) + "x", kZhong + kReplacement + "x"},
      {"cut utf8", bytes({'1', 0xE4}), "1" + kReplacement},
      {"overlong slash", bytes({0xC0, 0xAF, 0xFF}), kReplacement + kReplacement + kReplacement},
      {"surrogate", bytes({0xED, 0xA0, 0x80, 0xFF}), kReplacement + kReplacement + kReplacement + kReplacement},
      // Noncharacters are well-formed but cannot be drawn.
      {"U+FFFF", "a" + bytes({0xEF, 0xBF, 0xBF}), "a" + kReplacement},
      {"U+FDD0 after a bad byte", bytes({0xFF, 0xEF, 0xB7, 0x90}), kReplacement + kReplacement},
      {"U+10FFFE next to a bad byte", bytes({0xF4, 0x8F, 0xBF, 0xBE, 0xFF}), kReplacement + kReplacement},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::displayText(c.in), c.shown) << c.what;
    EXPECT_TRUE(text::isShowable(text::displayText(c.in))) << c.what;
    EXPECT_EQ(text::isShowable(c.in), c.in == c.shown) << c.what;
  }
}

TEST(Utf16, GivesExactBytesBothWays) {
  EXPECT_EQ(text::utf8ToUtf16le(kZhong), bytes({0x2D, 0x4E}));
  EXPECT_EQ(text::utf8ToUtf16le("A"), bytes({0x41, 0x00}));
  EXPECT_EQ(text::utf8ToUtf16le(kGrin), bytes({0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(text::utf8ToUtf16le("\xFF"), bytes({0xFD, 0xFF}));
  const std::string all = "a" + kZhong + kGrin + "z";
  EXPECT_EQ(text::utf16leToUtf8(text::utf8ToUtf16le(all)), all);
}

TEST(Utf16, DecodingReplacesLoneSurrogatesAndDropsAnOddByte) {
  EXPECT_EQ(text::utf16leToUtf8(bytes({0x2D, 0x4E, 0x41})), kZhong);
  EXPECT_EQ(text::utf16leToUtf8(bytes({0x3D, 0xD8, 0x41, 0x00})), kReplacement + "A");
  EXPECT_EQ(text::utf16leToUtf8(bytes({0x00, 0xDE})), kReplacement);
  EXPECT_EQ(text::utf16leToUtf8(bytes({0x3D, 0xD8})), kReplacement);
}

TEST(Characters, CountAndTruncateByCharacter) {
  EXPECT_EQ(text::charCount(""), 0u);
  EXPECT_EQ(text::charCount("a" + kZhong + kGrin), 3u);
  EXPECT_EQ(text::charCount("\xFF\xFE"), 2u);
  EXPECT_EQ(text::truncateChars("a" + kZhong + kGrin + "b", 2), "a" + kZhong);
  EXPECT_EQ(text::truncateChars("a" + kZhong, 10), "a" + kZhong);
  EXPECT_EQ(text::truncateChars(kZhong, 0), "");
}

TEST(Fit, GbkIsCutBetweenCharacters) {
  const std::string text = kZhong + kWen + kZhong;  // 6 GBK bytes
  EXPECT_EQ(text::gbkFit(text, 6), bytes({0xD6, 0xD0, 0xCE, 0xC4, 0xD6, 0xD0}));
  EXPECT_EQ(text::gbkFit(text, 5), bytes({0xD6, 0xD0, 0xCE, 0xC4}));
  EXPECT_EQ(text::gbkFit("a" + kZhong, 2), "a");
  EXPECT_EQ(text::gbkFit(text, 0), "");
  EXPECT_EQ(text::gbkFit("ab" + kGrin + "c", 3), "ab?");
}

TEST(Fit, Utf16IsNeverCutInsideASurrogatePair) {
  EXPECT_EQ(text::utf16leFit("a" + kGrin, 2), bytes({'a', 0}));
  EXPECT_EQ(text::utf16leFit("a" + kGrin, 3), bytes({'a', 0, 0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(text::utf16leFit(kZhong + kWen, 1), bytes({0x2D, 0x4E}));
}

TEST(Fields, GbkFieldIsCutTerminatedAndZeroFilled) {
  std::array<std::uint8_t, 8> f;
  f.fill(0xAA);
  text::putGbkField(f.data(), 6, kZhong + kWen + kZhong);  // 6 bytes do not fit in 5
  EXPECT_EQ((std::array<std::uint8_t, 8>{0xD6, 0xD0, 0xCE, 0xC4, 0, 0, 0xAA, 0xAA}), f);
  EXPECT_EQ(text::getGbkField(f.data(), 6), kZhong + kWen);

  text::putGbkField(f.data(), 0, "x");  // writes nothing
  EXPECT_EQ(f[0], 0xD6);
  text::putGbkField(f.data(), 1, "x");  // room for the terminator only
  EXPECT_EQ(f[0], 0);

  // A field filled to the brim without a terminator is read up to its size.
  const std::uint8_t full[4] = {'a', 'b', 0xD6, 0xD0};
  EXPECT_EQ(text::getGbkField(full, 4), "ab" + kZhong);
  EXPECT_EQ(text::getGbkField(full, 2), "ab");
}

TEST(Fields, Utf16FieldIsCutTerminatedAndZeroFilled) {
  std::array<std::uint8_t, 10> f;
  f.fill(0xAA);
  text::putUtf16Field(f.data(), 4, "a" + kZhong + kGrin);  // the pair does not fit in the 3 units left
  EXPECT_EQ((std::array<std::uint8_t, 10>{'a', 0, 0x2D, 0x4E, 0, 0, 0, 0, 0xAA, 0xAA}), f);
  EXPECT_EQ(text::getUtf16Field(f.data(), 4), "a" + kZhong);
  const std::uint8_t full[4] = {'h', 0, 'i', 0};
  EXPECT_EQ(text::getUtf16Field(full, 2), "hi");
  EXPECT_EQ(text::getUtf16Field(full, 1), "h");
}

TEST(Format, FormatsLikePrintf) {
  EXPECT_EQ(text::format("%.2f", 3.14159), "3.14");
  EXPECT_EQ(text::format("%02d : %02d : %02d", 1, 2, 3), "01 : 02 : 03");
  EXPECT_EQ(text::format("%s", ""), "");
  const std::string longText(5000, 'k');
  EXPECT_EQ(text::format("<%s>", longText.c_str()), "<" + longText + ">");
}

TEST(Case, FoldsAsciiOnly) {
  EXPECT_EQ(text::toLowerAscii("QJDdat.DAT"), "qjddat.dat");
  EXPECT_EQ(text::toLowerAscii("\xC3\x84" "B" + kZhong), "\xC3\x84" "b" + kZhong);
  EXPECT_TRUE(text::equalsIgnoreCase("QJDdat.dat", "QJDdat.DAT"));
  EXPECT_FALSE(text::equalsIgnoreCase("a.dat", "a.da"));
  EXPECT_FALSE(text::equalsIgnoreCase("[", "{"));  // 0x5B vs 0x7B differ only by the case bit
}

}  // namespace
