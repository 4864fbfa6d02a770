#include "setup/load_steps.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "model/helpers.h"
#include "setup/timing.h"

namespace {

// A typed number; nothing for a text that is not one (or too large for a float).
std::optional<float> ReadNumber(std::string_view text) {
  const std::string s(text);
  if (!IsValidNumber(s)) return std::nullopt;
  const float v = StrToFloat(s);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

bool OneOf(int code, std::initializer_list<int> set) {
  for (int c : set) {
    if (c == code) return true;
  }
  return false;
}

}  // namespace

std::string LoadText(float v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(v));
  return TrimNumberText(buf);
}

ProposedLoads DeriveLoadSteps(int code, std::string_view controlLoadText, bool testRunning) {
  ProposedLoads out;
  if (testRunning || code == 14) return out;
  const std::optional<float> typed = ReadNumber(controlLoadText);
  if (!typed) return out;
  const float x = *typed;

  float s;         // single-step load
  float m;         // maximum load
  float mMin;      // the least maximum shown as computed
  const char* mFallback;
  if (code == 0) {
    s = x * 0.33333334f;
    m = x * 3.3333333f;
    mMin = 5.0f;
    mFallback = "5";
  } else if (OneOf(code, {1, 2, 6, 32, 33, 53, 65, 68, 69, 70, 71, 89, 90})) {
    s = x;
    m = 8.0f * x;
    mMin = 8.0f;
    mFallback = "8";
  } else if (OneOf(code, {57, 59})) {
    s = 0.5f * x;
    m = 4.0f * x;
    mMin = 4.0f;
    mFallback = "4";
  } else if (code == 58) {
    s = 0.5f * x;
    m = 7.5f * x;
    mMin = 15.0f;
    mFallback = "15";
  } else if (OneOf(code, {62, 63, 76, 87, 88, 91, 92, 144})) {
    s = x;
    m = 10.0f * x;
    mMin = 10.0f;
    mFallback = "10";
  } else if (code == 73) {
    s = x;
    m = 4.0f * x;
    mMin = 4.0f;
    mFallback = "10";  // the standard's own least maximum, although its threshold is 4
  } else if (code == 119) {
    s = 0.5f * x;
    m = 4.5f * x;
    mMin = 9.0f;
    mFallback = "9";
  } else {
    s = 0.5f * x;
    m = 5.0f * x;
    mMin = 5.0f;
    mFallback = "5";
  }

  out.singleStep = s >= 1.0f ? LoadText(s) : std::string("1");
  out.maxLoad = m >= mMin ? LoadText(m) : std::string(mFallback);
  if (code == 10) {
    if (0.5f * x >= 1.0f) {
      out.characteristic = LoadText(2.5f * x);
    } else {
      out.singleStep = "1";
    }
  }
  return out;
}

bool FillLevelTable(int code, float s, float ps, float pg, LevelTable& levels) {
  auto fill = [&levels](std::size_t from, float base, std::initializer_list<float> factors) {
    std::size_t i = from;
    for (float f : factors) levels[i++] = base * f;
    return i;
  };
  if (code == 0) {
    fill(0, s, {3, 5, 7, 8, 9, 10, 5, 3, 0});
  } else if (code == 149) {
    fill(0, s, {2, 5, 7, 9, 10, 5, 2, 0});
  } else if (code == 72) {
    const std::size_t next = fill(0, ps, {0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 0.5f, 0.0f});
    fill(next, pg, {0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.0f});
  } else {
    return false;
  }
  return true;
}
