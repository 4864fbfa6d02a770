#include "model/helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <random>

#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

float RoundHalfEven(float value, int mode) {
  // Non-finite values, and values too large to carry decimals in single precision, stay as they are.
  if (!(std::fabs(value) < 1.0e9f)) return value;
  float sign = 1.0f;
  if (value < 0.0f) {
    value = -value;
    sign = -1.0f;
  }
  const std::int64_t c = (mode == 2) ? 100 : 1000;
  const std::int64_t e0 = static_cast<std::int64_t>(value * static_cast<float>(c));
  const float hs = value * static_cast<float>(10 * c);  // single precision, as the digits are seen
  const std::int64_t h = static_cast<std::int64_t>(static_cast<double>(hs) + 0.5);
  const float rs = value * static_cast<float>(100 * c);
  const std::int64_t r = static_cast<std::int64_t>(static_cast<double>(rs) + 0.5);
  const std::int64_t o = h - 10 * e0;
  std::int64_t e = e0;
  if (o > 5 || (o == 5 && (e0 % 2) == 1) || (o == 5 && r > 10 * h)) ++e;
  return sign * static_cast<float>(static_cast<double>(e) / static_cast<double>(c));
}

bool IsValidNumber(const std::string& text) {
  std::string_view t(text);
  if (!t.empty() && t.front() == '-') t.remove_prefix(1);
  if (t.empty() || t.front() == '.' || t.back() == '.') return false;
  int points = 0;
  for (char ch : t) {
    if (ch == '.') {
      if (++points > 1) return false;
    } else if (ch < '0' || ch > '9') {
      return false;
    }
  }
  return true;
}

void SplitString(const std::string& text, std::vector<std::string>& pieces, int& count,
                 const std::string& delimiter) {
  count = -1;
  if (delimiter.empty()) return;
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t n = text.find(delimiter); n != std::string::npos; n = text.find(delimiter, start)) {
    out.push_back(text.substr(start, n - start));
    start = n + delimiter.size();
  }
  if (out.empty()) return;
  out.push_back(text.substr(start));
  count = static_cast<int>(out.size()) - 1;
  pieces = std::move(out);
}

std::string ExactDecimalText(float value, int minDecimals) {
  int decimals = std::clamp(minDecimals, 0, 9);
  std::string text = platform::text::format("%.*f", decimals, static_cast<double>(value));
  if (!std::isfinite(value)) return text;
  while (decimals < 9 && StrToFloat(text) != value)
    text = platform::text::format("%.*f", ++decimals, static_cast<double>(value));
  return text;
}

std::string FormatSeconds(int seconds) {
  if (seconds > 86399) seconds -= 86400;
  return platform::text::format("%02d : %02d : %02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

std::string TestClockTimeText(int secondsOfDay, std::int64_t shift) {
  const std::int64_t day = 86400;
  return FormatSeconds(static_cast<int>(((secondsOfDay + shift) % day + day) % day));
}

float StrToFloat(const std::string& text) {
  // Leading blanks, then the longest decimal number: [sign] digits [. digits] [e [sign] digits]. Only
  // decimal forms count ("inf", "nan" and hexadecimal texts are no numbers here).
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto digit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
  while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  const std::size_t start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = 0;
  while (digit(i)) ++i, ++mantissa;
  if (i < n && text[i] == '.') {
    ++i;
    while (digit(i)) ++i, ++mantissa;
  }
  if (mantissa == 0) return 0.0f;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (digit(j)) {
      while (digit(j)) ++j;
      i = j;
    }
  }
  const std::string number = text.substr(start, i - start);
  return std::strtof(number.c_str(), nullptr);
}

bool FileExists(const std::string& path) { return platform::fs::exists(path); }

bool IsAllDigits(const std::string& text) {
  for (char ch : platform::text::utf8ToGbk(text)) {
    if (ch < '0' || ch > '9') return false;
  }
  return true;
}

bool StorageTakesWrites(const std::string& folder) {
  const std::string probe = folder + "~storage-check.tmp";
  const bool written = platform::fs::writeFile(probe, "storage check");
  platform::fs::deleteFile(probe);
  return written && !platform::fs::exists(probe);
}

int GetRandom() {
  static std::mutex m;
  static std::minstd_rand gen(static_cast<unsigned>(platform::clock::localMillis()));
  static std::uniform_int_distribution<int> dist(0, RAND_MAX);
  std::lock_guard<std::mutex> g(m);
  return dist(gen);
}

void CombineParallelJacks(const float* a, const float* b, int n, float& outA, float& outB) {
  double s = 0.0;
  double sa = 0.0;
  for (int i = 0; a && b && i < n; ++i) {
    if (b[i] == 0.0f) continue;
    s += 1.0 / b[i];
    sa += a[i] / b[i];
  }
  if (s != 0.0) {
    outA = static_cast<float>(sa / s);
    outB = static_cast<float>(1.0 / s);
  } else {
    outA = 0.0f;
    outB = 0.0f;
  }
}

std::string GetSdCardDir(int boardFlag) { return boardFlag == 1 ? "\\Storage Card\\" : "\\Storage_Card\\"; }

std::string GetProgramRoot(int boardFlag) { return boardFlag == 1 ? "\\nandflash\\" : "\\DISK\\"; }

std::string GetDataRoot(int boardFlag) {
  const std::string sd = GetSdCardDir(boardFlag);
  return FileExists(sd) ? sd : GetProgramRoot(boardFlag);
}

std::string GetUsbDiskRoot(int boardFlag) { return boardFlag == 1 ? "\\Hard Disk\\" : "\\硬盘\\"; }

std::string FileNameFromText(const std::string& text) {
  std::string out = text;
  for (char& ch : out) {
    switch (ch) {
      case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        ch = '_';
        break;
      default:
        break;
    }
  }
  return out;
}

int ShortBeep(int boardFlag) {
  namespace dev = platform::device;
  if (boardFlag == 1) {
    const dev::Handle h = dev::open("UDC1:");
    dev::control(h, dev::kUdcBuzzerOn);
    dev::control(h, dev::kUdcBuzzerOnEnd);
    platform::clock::sleepMs(50);
    dev::control(h, dev::kUdcBuzzerOff);
    dev::control(h, dev::kUdcBuzzerOffEnd);
    if (h != dev::kInvalidHandle) dev::close(h);
  } else {
    const dev::Handle h = dev::open("MSC1:");
    dev::control(h, dev::kMscBuzzer, std::uint32_t{1});
    platform::clock::sleepMs(50);
    dev::control(h, dev::kMscBuzzer, std::uint32_t{0});
    if (h != dev::kInvalidHandle) dev::close(h);
  }
  return 1;
}
