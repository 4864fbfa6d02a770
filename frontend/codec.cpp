#include "frontend/codec.h"

#include <cmath>
#include <limits>

namespace frontend {

int saturate16(long long v) {
  if (v < -32768) return -32768;
  if (v > 32767) return 32767;
  return static_cast<int>(v);
}

int toIntSaturated(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

void encodeValue16(long long v, std::uint8_t* out) {
  int s = saturate16(v);
  if (s >= 0) {
    out[0] = static_cast<std::uint8_t>(s % 256);
    out[1] = static_cast<std::uint8_t>(s / 256);
  } else {
    int w = s + 32768;
    out[0] = static_cast<std::uint8_t>(w % 256);
    out[1] = static_cast<std::uint8_t>(w / 256 + 128);
  }
}

int decodeValue16(const std::uint8_t* in) {
  int low = in[0];
  int high = in[1];
  int word = high * 256 + low;
  if (high > 128) return word - 65536;
  if (high < 128) return word;
  return low == 0 ? 0 : 32768 + low;
}

std::uint8_t byteSum(const std::uint8_t* bytes, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>(sum & 0xFF);
}

std::optional<std::string> normalizeControllerNumber(std::string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  std::string out(6 - text.size(), '0');
  out.append(text);
  return out;
}

bool packControllerNumber(std::string_view text, std::uint8_t* out) {
  auto n = normalizeControllerNumber(text);
  if (!n) {
    out[0] = out[1] = out[2] = 0;
    return false;
  }
  for (int i = 0; i < 3; ++i)
    out[i] = static_cast<std::uint8_t>((((*n)[2 * i] - '0') << 4) | ((*n)[2 * i + 1] - '0'));
  return true;
}

std::string unpackControllerNumber(const std::uint8_t* in) {
  std::string s;
  for (int i = 0; i < 3; ++i) {
    s += std::to_string(in[i] >> 4);
    s += std::to_string(in[i] & 0x0F);
  }
  return s;
}

}  // namespace frontend
