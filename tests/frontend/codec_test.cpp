#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "frontend/codec.h"

using namespace frontend;

TEST(Codec, EncodeTable) {
  struct Case {
    long long v;
    std::uint8_t lo, hi;
  } cases[] = {
      {0, 0x00, 0x00},     {300, 0x2C, 0x01},    {-1, 0xFF, 0xFF},     {-32768, 0x00, 0x80},
      {32767, 0xFF, 0x7F}, {-256, 0x00, 0xFF},   {40001, 0xFF, 0x7F},  // saturated
      {-70000, 0x00, 0x80},                                           // saturated
  };
  for (const auto& c : cases) {
    std::uint8_t out[2] = {0x55, 0x55};
    encodeValue16(c.v, out);
    EXPECT_EQ(out[0], c.lo) << c.v;
    EXPECT_EQ(out[1], c.hi) << c.v;
  }
}

TEST(Codec, DecodeTableIncludingHighByte0x80) {
  struct Case {
    std::uint8_t lo, hi;
    int v;
  } cases[] = {
      {0x2C, 0x01, 300}, {0xFF, 0xFF, -1},    {0x00, 0x80, 0},      {0x05, 0x80, 32773},
      {0x01, 0x80, 32769}, {0xFF, 0x80, 33023}, {0x00, 0x81, -32512}, {0xFF, 0x7F, 32767},
  };
  for (const auto& c : cases) {
    std::uint8_t in[2] = {c.lo, c.hi};
    EXPECT_EQ(decodeValue16(in), c.v) << int(c.lo) << "," << int(c.hi);
  }
}

TEST(Codec, RoundTripOutsideTheHighByte0x80) {
  for (int v = -32512; v <= 32767; v += 97) {
    std::uint8_t b[2];
    encodeValue16(v, b);
    EXPECT_EQ(decodeValue16(b), v);
  }
}

TEST(Codec, ChecksumIsLowByteOfSum) {
  std::uint8_t bytes[0x1234 / 0xFF + 1] = {};
  unsigned sum = 0;
  for (auto& b : bytes) {
    b = static_cast<std::uint8_t>(std::min(0xFFu, 0x1234u - sum));
    sum += b;
  }
  ASSERT_EQ(sum, 0x1234u);
  EXPECT_EQ(byteSum(bytes, sizeof bytes), 0x34);
}

TEST(Codec, ControllerNumberPacking) {
  struct Case {
    const char* text;
    bool ok;
    std::uint8_t b0, b1, b2;
  } cases[] = {
      {"000000", true, 0, 0, 0},       {"905001", true, 0x90, 0x50, 0x01}, {"123456", true, 0x12, 0x34, 0x56},
      {"1", true, 0x00, 0x00, 0x01},   {"23", true, 0x00, 0x00, 0x23},     {"12a", false, 0, 0, 0},
      {"1234567", false, 0, 0, 0},     {"", false, 0, 0, 0},               {"-12", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::uint8_t out[3] = {9, 9, 9};
    EXPECT_EQ(packControllerNumber(c.text, out), c.ok) << c.text;
    EXPECT_EQ(out[0], c.b0) << c.text;
    EXPECT_EQ(out[1], c.b1) << c.text;
    EXPECT_EQ(out[2], c.b2) << c.text;
  }
  std::uint8_t packed[3] = {0x90, 0x50, 0x01};
  EXPECT_EQ(unpackControllerNumber(packed), "905001");
  // A nibble above 9 prints as two characters and so never matches a six-digit number.
  std::uint8_t bad[3] = {0xA0, 0x00, 0x01};
  EXPECT_EQ(unpackControllerNumber(bad), "1000001");
  EXPECT_EQ(swapNibbles(0x21), 0x12);
  EXPECT_EQ(swapNibbles(0x3C), 0xC3);
}

TEST(Codec, FloatToIntNeverUndefined) {
  EXPECT_EQ(toIntSaturated(std::nan("")), 0);
  EXPECT_EQ(toIntSaturated(1e30), std::numeric_limits<int>::max());
  EXPECT_EQ(toIntSaturated(-1e30), std::numeric_limits<int>::min());
  EXPECT_EQ(toIntSaturated(-2.7), -2);
}
