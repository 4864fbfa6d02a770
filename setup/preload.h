// The preload entry without windows: the filter of typed digits (at most 7 characters, one point, two
// decimals, no leading point), the check of a typed preload value and its storing as the channel's
// preload request, and the unit the value is typed in.
#pragma once

#include <string>

#include "model/parameter.h"

// What the digit filter knows of the text typed so far.
class PreloadDigitFilter {
 public:
  static constexpr int kMaxChars = 7;
  static constexpr int kMaxDecimals = 2;

  // Takes the hardware key `vk`; true lets it through to the edit, false swallows it.
  bool Accept(unsigned vk);
  // The state of a text as it stands (after a deletion, a keypad result or an earlier opening).
  void ResetFrom(const std::string& text);

  bool pointTyped() const { return pointTyped_; }
  int decimals() const { return decimals_; }
  bool firstKeySeen() const { return firstKeySeen_; }
  int chars() const { return chars_; }

 private:
  bool pointTyped_ = false;
  int decimals_ = 0;
  bool firstKeySeen_ = false;
  int chars_ = 0;
};

inline constexpr const char* kPreloadCaption = "预压值";
inline constexpr const char* kPreloadValueRefused = "预压值无效，请输入大于0的数值！";

// "kPa" for a plate test (test type 0), else "kN".
const char* PreloadUnit(int testType);

// Stores a typed preload value: a decimal number above 0 becomes the channel's preload value and raises
// its preload request. Returns false, storing nothing, for any other text.
bool StorePreload(Parameter& p, const std::string& text);
