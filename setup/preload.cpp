#include "setup/preload.h"

#include "model/helpers.h"

namespace {
constexpr unsigned kPointKey = 0xBE;  // VK_OEM_PERIOD
}

bool PreloadDigitFilter::Accept(unsigned vk) {
  const bool point = vk == kPointKey;
  if (!point && !(vk >= '0' && vk <= '9')) return false;
  if (!firstKeySeen_) {
    if (point) return false;  // the value never starts with a point
    firstKeySeen_ = true;
  }
  if (point && !pointTyped_ && chars_ < kMaxChars) {
    ++chars_;
    pointTyped_ = true;
    return true;
  }
  if (pointTyped_ && chars_ < kMaxChars) {
    if (point || decimals_ >= kMaxDecimals) return false;
    ++decimals_;
    ++chars_;
    return true;
  }
  ++chars_;
  if (chars_ <= kMaxChars) return true;
  chars_ = kMaxChars;
  return false;
}

void PreloadDigitFilter::ResetFrom(const std::string& text) {
  const std::size_t dot = text.find('.');
  pointTyped_ = dot != std::string::npos;
  decimals_ = pointTyped_ ? static_cast<int>(text.size() - dot - 1) : 0;
  firstKeySeen_ = !text.empty();
  chars_ = static_cast<int>(text.size());
}

const char* PreloadUnit(int testType) { return testType == 0 ? "kPa" : "kN"; }

bool StorePreload(Parameter& p, const std::string& text) {
  if (!IsValidNumber(text)) return false;
  const float value = StrToFloat(text);
  if (!(value > 0.0f)) return false;
  p.preloadValue.store(value);
  p.preloadRunning.store(1);
  return true;
}
