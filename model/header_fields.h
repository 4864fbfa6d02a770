// Reading the narrow header fields of test records as texts and numbers.
#pragma once

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/helpers.h"
#include "platform/text/text.h"

namespace header_fields {

// A narrow field up to its first zero byte (or its whole width).
inline std::string raw(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

template <std::size_t N>
std::string raw(const char (&field)[N]) {
  return raw(field, N);
}

// A narrow (GBK) field as UTF-8.
template <std::size_t N>
std::string text(const char (&field)[N]) {
  return platform::text::gbkToUtf8(raw(field));
}

// atoi of a field: leading blanks, a sign and digits; 0 when there is no number; clamped to int.
template <std::size_t N>
int toInt(const char (&field)[N]) {
  const std::string s = raw(field);
  const long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// strtoll of a field: a 64-bit whole number; 0 when there is no number.
template <std::size_t N>
long long toInt64(const char (&field)[N]) {
  return std::strtoll(raw(field).c_str(), nullptr, 10);
}

// "%f" of a field; 0 when there is no number.
template <std::size_t N>
float toFloat(const char (&field)[N]) {
  return StrToFloat(raw(field));
}

// The integer part of a float, clamped to int (0 for NaN).
inline int intPart(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(v);
}

template <std::size_t N>
char first(const char (&field)[N]) {
  return field[0];
}

}  // namespace header_fields
