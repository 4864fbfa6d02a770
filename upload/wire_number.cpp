#include "upload/wire_number.h"

#include <cmath>

namespace {

constexpr float kLargest = 65535.0f;
// Below this the exponent 65 - m would leave its six bits.
constexpr double kSmallest = 5.421010862427522e-20;  // 2^-64

}  // namespace

int EncodeWireNumber(float x, std::uint8_t* out) {
  if (std::isnan(x) || std::isinf(x)) {
    out[0] = out[1] = out[2] = 0xFF;
    return 0;
  }
  if (x == 0.0f || std::fabs(static_cast<double>(x)) < kSmallest) {
    out[0] = 0x40;
    out[1] = out[2] = 0x00;
    return 1;
  }
  if (x >= 65536.0f) x = kLargest;
  if (x <= -65536.0f) x = -kLargest;

  const int n = x > 0.0f ? 0 : 1;
  const int h = std::fabs(static_cast<double>(x)) < 0.5 ? 1 : 0;
  const float a = std::fabs(x);
  const auto i = static_cast<std::uint32_t>(std::fabs(std::trunc(x)));
  float r = a - static_cast<float>(i);

  std::uint32_t digits = 0;  // the 16 binary digits, digit 1 in bit 15
  int e = 0;
  if (i >= 1) {
    int k = 0;
    for (std::uint32_t v = i; v != 0; v >>= 1) ++k;
    e = k;
    digits = i << (16 - k);
    if (r > 0.0f && k <= 15) {
      for (int d = k + 1; d <= 16; ++d) {
        r = 2.0f * r;
        if (r >= 1.0f) {
          digits |= 1u << (16 - d);
          r = r - 1.0f;
        }
      }
    }
  } else {
    int m = 0;
    while (r < 1.0f) {
      r = 2.0f * r;
      ++m;
    }
    e = 65 - m;
    for (int d = 1; d <= 16; ++d) {
      if (r > 1.0f) {
        digits |= 1u << (16 - d);
        r = r - 1.0f;
      }
      r = 2.0f * r;
    }
  }
  out[0] = static_cast<std::uint8_t>((e + 0x40 * h + 0x80 * n) & 0xFF);
  out[1] = static_cast<std::uint8_t>(digits >> 8);
  out[2] = static_cast<std::uint8_t>(digits & 0xFF);
  return 0;
}

std::array<std::uint8_t, 128> FixedAnswerFrame() {
  std::array<std::uint8_t, 128> f;
  f.fill(0xFF);
  f[0] = 0x55;
  // Byte 12 is the low byte of the sum of bytes 0-11 and 13-44.
  unsigned sum = 0;
  for (int b = 0; b <= 44; ++b) {
    if (b != 12) sum += f[static_cast<std::size_t>(b)];
  }
  f[12] = static_cast<std::uint8_t>(sum & 0xFF);
  return f;
}
