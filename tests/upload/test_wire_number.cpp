#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

#include "upload/wire_number.h"

namespace {

struct N3Case {
  float x;
  std::uint8_t b0, b1, b2;
};

std::ostream& operator<<(std::ostream& os, const N3Case& c) { return os << c.x; }

class WireNumber : public ::testing::TestWithParam<N3Case> {};

TEST_P(WireNumber, Encodes) {
  const N3Case& c = GetParam();
  std::uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  const int zero = EncodeWireNumber(c.x, out);
  EXPECT_EQ(out[0], c.b0) << std::hex << int(out[0]) << " " << int(out[1]) << " " << int(out[2]);
  EXPECT_EQ(out[1], c.b1);
  EXPECT_EQ(out[2], c.b2);
  EXPECT_EQ(out[3], 0xAA);  // exactly three bytes
  EXPECT_EQ(zero, c.b0 == 0x40 && c.b1 == 0 && c.b2 == 0 ? 1 : 0);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, WireNumber,
    ::testing::Values(
        N3Case{0.0f, 0x40, 0x00, 0x00},       N3Case{-0.0f, 0x40, 0x00, 0x00},
        N3Case{1.0f, 0x01, 0x80, 0x00},       N3Case{5.5f, 0x03, 0xB0, 0x00},
        N3Case{-2.0f, 0x82, 0x80, 0x00},      N3Case{-1.25f, 0x81, 0xA0, 0x00},
        N3Case{12.25f, 0x04, 0xC4, 0x00},     N3Case{100.0f, 0x07, 0xC8, 0x00},
        N3Case{3200.0f, 0x0C, 0xC8, 0x00},
        // [0.5, 1): exponent 64, no small-value bit
        N3Case{0.5f, 0x40, 0x7F, 0xFF},       N3Case{0.75f, 0x40, 0xBF, 0xFF},
        N3Case{-0.5f, 0xC0, 0x7F, 0xFF},
        // below 0.5
        N3Case{0.3f, 0x7F, 0x99, 0x99},       N3Case{-0.3f, 0xFF, 0x99, 0x99},
        N3Case{0.001f, 0x77, 0x83, 0x12},
        N3Case{0.125f, 0x7E, 0x7F, 0xFF},     // 2^-3: first digit 0, then fifteen 1s
        // the ends of the range
        N3Case{65535.0f, 0x10, 0xFF, 0xFF},   N3Case{65535.5f, 0x10, 0xFF, 0xFF},
        N3Case{65536.0f, 0x10, 0xFF, 0xFF},   N3Case{1.0e9f, 0x10, 0xFF, 0xFF},
        N3Case{-70000.0f, 0x90, 0xFF, 0xFF},
        N3Case{5.421010862e-20f, 0x41, 0x7F, 0xFF},  // 2^-64, the smallest exponent
        N3Case{1.0e-25f, 0x40, 0x00, 0x00},
        // no value
        N3Case{kNaN, 0xFF, 0xFF, 0xFF},       N3Case{kInf, 0xFF, 0xFF, 0xFF},
        N3Case{-kInf, 0xFF, 0xFF, 0xFF}));

TEST(FixedAnswerFrame, Layout) {
  const auto f = FixedAnswerFrame();
  for (std::size_t k = 0; k < f.size(); ++k) {
    const std::uint8_t want = k == 0 ? 0x55 : (k == 12 ? 0x2A : 0xFF);
    EXPECT_EQ(f[k], want) << k;
  }
}

}  // namespace
