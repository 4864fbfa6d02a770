#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/helpers.h"
#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "model_fixture.h"

TEST(RoundHalfEven, RoundsHalvesToTheEvenDigit) {
  struct Case {
    float value;
    int mode;
    float expected;
  };
  const Case cases[] = {
      {0.125f, 2, 0.12f},  {0.135f, 2, 0.14f},   {-0.125f, 2, -0.12f}, {2.345f, 2, 2.34f},
      {2.355f, 2, 2.36f},  {2.3451f, 2, 2.35f},  {-2.345f, 2, -2.34f}, {1.2345f, 3, 1.234f},
      {1.2355f, 3, 1.236f}, {0.0f, 2, 0.0f},     {7.0f, 3, 7.0f},
      // Large values need 64-bit intermediates (value x 100c no longer fits in 32 bits).
      {30000.125f, 3, 30000.125f}, {250000.5f, 2, 250000.5f},
  };
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(RoundHalfEven(c.value, c.mode), c.expected) << c.value << " mode " << c.mode;
  }
}

TEST(IsValidNumber, AcceptsPlainAndSignedDecimals) {
  struct Case {
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"12.5", true}, {"0", true},     {"-1", true},    {"-0.5", true}, {"12.", false},
      {".5", false},  {"1.2.3", false}, {"", false},    {"1e3", false}, {"-", false},
      {"--1", false}, {"1-", false},    {"-.5", false}, {" 1", false}, {"+1", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidNumber(c.text), c.valid) << '"' << c.text << '"';
}

TEST(SplitString, SplitsAtEveryDelimiter) {
  std::vector<std::string> pieces{"untouched"};
  int count = 0;
  SplitString("a,b,,c", pieces, count, ",");
  EXPECT_EQ(count, 3);
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b", "", "c"}));

  SplitString(",x,", pieces, count, ",");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(pieces, (std::vector<std::string>{"", "x", ""}));

  SplitString("a||b", pieces, count, "||");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b"}));

  pieces = {"keep"};
  SplitString("abc", pieces, count, ",");
  EXPECT_EQ(count, -1);
  EXPECT_EQ(pieces, (std::vector<std::string>{"keep"}));
  SplitString("abc", pieces, count, "");
  EXPECT_EQ(count, -1);
}

TEST(FormatSeconds, TakesOneDayOffOnce) {
  EXPECT_EQ(FormatSeconds(0), "00 : 00 : 00");
  EXPECT_EQ(FormatSeconds(3661), "01 : 01 : 01");
  EXPECT_EQ(FormatSeconds(86399), "23 : 59 : 59");
  EXPECT_EQ(FormatSeconds(86400), "00 : 00 : 00");
  EXPECT_EQ(FormatSeconds(90061), "01 : 01 : 01");
  EXPECT_EQ(FormatSeconds(172800), "24 : 00 : 00");
}

TEST(ExactDecimalText, KeepsEveryTypedDecimal) {
  struct Case {
    const char* typed;
    int minDecimals;
    const char* text;
  } cases[] = {
      {"0.785", 2, "0.785"}, {"0.5", 2, "0.50"},    {"0.5", 3, "0.500"},   {"0.7854", 3, "0.7854"},
      {"1234.5", 2, "1234.50"}, {"0.00001", 2, "0.00001"}, {"12", 0, "12"}, {"-0.125", 2, "-0.125"},
  };
  for (const Case& c : cases) {
    const std::string text = ExactDecimalText(StrToFloat(c.typed), c.minDecimals);
    EXPECT_EQ(text, c.text) << c.typed;
    EXPECT_EQ(StrToFloat(text), StrToFloat(c.typed)) << c.typed;
  }
}

TEST(TextConversion, StrToFloatAndIsAllDigits) {
  EXPECT_FLOAT_EQ(StrToFloat("  12.5kN"), 12.5f);
  EXPECT_FLOAT_EQ(StrToFloat("-3"), -3.0f);
  EXPECT_EQ(StrToFloat(""), 0.0f);
  EXPECT_EQ(StrToFloat("abc"), 0.0f);
  EXPECT_EQ(StrToFloat("-"), 0.0f);
  EXPECT_FLOAT_EQ(StrToFloat(".5"), 0.5f);
  EXPECT_FLOAT_EQ(StrToFloat("1e3x"), 1000.0f);
  EXPECT_FLOAT_EQ(StrToFloat("12,13"), 12.0f);
  EXPECT_EQ(StrToFloat("inf"), 0.0f);   // only decimal texts are numbers
  EXPECT_EQ(StrToFloat("nan"), 0.0f);
  EXPECT_EQ(StrToFloat("0x10"), 0.0f);
  EXPECT_TRUE(IsAllDigits("0123"));
  EXPECT_TRUE(IsAllDigits(""));
  EXPECT_FALSE(IsAllDigits("12a"));
  EXPECT_FALSE(IsAllDigits("１２"));  // full-width digits are not 0-9
}

TEST(CombineParallelJacks, CombinesByReciprocalSlopes) {
  const float a2[] = {10, 10}, b2[] = {2, 2};
  float outA = -1, outB = -1;
  CombineParallelJacks(a2, b2, 2, outA, outB);
  EXPECT_FLOAT_EQ(outA, 10.0f);
  EXPECT_FLOAT_EQ(outB, 1.0f);

  const float a3[] = {4, 99, 8}, b3[] = {1, 0, 4};  // the jack with b = 0 is skipped
  CombineParallelJacks(a3, b3, 3, outA, outB);
  EXPECT_FLOAT_EQ(outB, 1.0f / 1.25f);
  EXPECT_FLOAT_EQ(outA, (4.0f + 2.0f) / 1.25f);

  const float z[] = {0, 0};
  CombineParallelJacks(a2, z, 2, outA, outB);
  EXPECT_EQ(outA, 0.0f);
  EXPECT_EQ(outB, 0.0f);
}

TEST(GetRandom, DoesNotRepeatWithinOneClockTick) {
  const int first = GetRandom();
  bool differs = false;
  for (int i = 0; i < 8 && !differs; ++i) differs = GetRandom() != first;
  EXPECT_TRUE(differs);
}

TEST(FileNameFromText, ReplacesReservedCharacters) {
  EXPECT_EQ(FileNameFromText("A/B\\C:D*E?F\"G<H>I|J"), "A_B_C_D_E_F_G_H_I_J");
  EXPECT_EQ(FileNameFromText("桩-7 号"), "桩-7 号");
}

using StorageFolders = DeviceRoot;

TEST_F(StorageFolders, FollowBoardFlagAndCard) {
  struct Case {
    int board;
    const char* card;  // folder to create, or nullptr
    const char* dataRoot;
  };
  const Case cases[] = {
      {1, nullptr, "\\nandflash\\"},
      {1, "\\Storage Card\\", "\\Storage Card\\"},
      {1, "\\Storage_Card\\", "\\nandflash\\"},  // the other board's card folder does not count
      {0, nullptr, "\\DISK\\"},
      {0, "\\Storage_Card\\", "\\Storage_Card\\"},
      {7, "\\Storage_Card\\", "\\Storage_Card\\"},  // any flag but 1 is the board without nandflash
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    if (c.card) makeFolder(c.card);
    EXPECT_EQ(GetDataRoot(c.board), c.dataRoot) << c.board << " " << (c.card ? c.card : "-");
  }
  EXPECT_EQ(GetProgramRoot(1), "\\nandflash\\");
  EXPECT_EQ(GetProgramRoot(0), "\\DISK\\");
  EXPECT_EQ(GetSdCardDir(1), "\\Storage Card\\");
  EXPECT_EQ(GetSdCardDir(0), "\\Storage_Card\\");
  EXPECT_EQ(GetUsbDiskRoot(1), "\\Hard Disk\\");
  EXPECT_EQ(GetUsbDiskRoot(0), "\\硬盘\\");
}

TEST_F(StorageFolders, FileExistsForFilesAndFolders) {
  makeFolder("\\nandflash\\");
  writeAll("\\nandflash\\SentryC.exe", "x");
  EXPECT_TRUE(FileExists("\\nandflash\\"));
  EXPECT_TRUE(FileExists("\\NANDFLASH\\sentryc.exe"));
  EXPECT_FALSE(FileExists("\\nandflash\\RefitC.exe"));
  EXPECT_FALSE(FileExists("\\Storage Card\\"));
}

// The storage check writes a small file and removes it; storage that refuses the write (or the folder
// that is not there) gives false and leaves nothing behind.
TEST_F(StorageFolders, StorageTakesWritesOnlyWhenAFileCanBeWritten) {
  makeFolder("\\Storage Card\\");
  EXPECT_TRUE(StorageTakesWrites("\\Storage Card\\"));
  EXPECT_FALSE(StorageTakesWrites("\\Hard Disk\\"));
  {
    platform::fs::FaultBackend full;
    full.failCall(platform::fs::FaultBackend::Call::Write, 0);
    platform::fs::ScopedBackend use(full);
    EXPECT_FALSE(StorageTakesWrites("\\Storage Card\\"));
  }
  EXPECT_FALSE(FileExists("\\Storage Card\\~storage-check.tmp"));
}

TEST(ShortBeep, ClicksTheBuzzerOfEachBoard) {
  platform::clock::configure(platform::clock::Mode::Real);
  for (int board : {1, 0}) {
    platform::device::resetBoard();
    EXPECT_EQ(ShortBeep(board), 1);
    const platform::device::Board b = platform::device::board();
    EXPECT_FALSE(b.buzzerOn) << board;
    ASSERT_EQ(b.buzzerLog.size(), 2u) << board;
    EXPECT_TRUE(b.buzzerLog[0].on);
    EXPECT_GE(b.buzzerLog[1].atMs - b.buzzerLog[0].atMs, 50u);
    EXPECT_EQ(b.keyClicks, 1);
    EXPECT_EQ(b.openHandles, 0);
  }
}

TEST(RoundHalfEven, NonFiniteAndHugeValuesStayAsTheyAre) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float v : {inf, -inf, 3.0e38f, -1.0e20f, 1.0e9f}) {
    EXPECT_EQ(RoundHalfEven(v, 2), v) << v;
    EXPECT_EQ(RoundHalfEven(v, 3), v) << v;
  }
  EXPECT_TRUE(std::isnan(RoundHalfEven(std::numeric_limits<float>::quiet_NaN(), 2)));
  EXPECT_FLOAT_EQ(RoundHalfEven(123456.785f, 2), 123456.78f);
}
