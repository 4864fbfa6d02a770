// Arithmetic shared by the mapping, the axes and the plotters of the plotting window.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>

namespace graph_math {

// A double truncated toward zero, clamped to the int range (0 for NaN).
inline int truncClamp(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

inline int clampInt(std::int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// Pixel positions stay within a million pixels of the window: far outside it for any point beyond the
// axes, and small enough for the drawing's own arithmetic (marker corners, label offsets).
inline constexpr int kFarPixel = 1000000;
inline int pixel(std::int64_t v) {
  if (v > kFarPixel) return kFarPixel;
  if (v < -kFarPixel) return -kFarPixel;
  return static_cast<int>(v);
}
inline int pixel(double v) {
  if (std::isnan(v)) return 0;
  if (v > kFarPixel) return kFarPixel;
  if (v < -kFarPixel) return -kFarPixel;
  return static_cast<int>(v);
}

// The settlement offset trunc(((span * y) / range) * factor), the product span * y taken whole; 0 for
// an empty range.
inline int scaled(int span, int y, double range, double factor) {
  const double product = static_cast<double>(static_cast<std::int64_t>(span) * y);
  if (range == 0.0) return 0;
  return truncClamp(product / range * factor);
}

}  // namespace graph_math
