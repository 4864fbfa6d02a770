#include "platform/text/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform::text {
namespace {

constexpr const char kUtf8Replacement[] = "\xEF\xBF\xBD";

// Decodes one character of UTF-8 at s[i] and advances i. A byte that does not start a well-formed
// sequence (overlong forms, surrogates and values past U+10FFFF included) yields U+FFFD and advances
// by that one byte only.
char32_t decodeOne(std::string_view s, std::size_t& i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  std::size_t len = 0;
  unsigned char lo = 0x80, hi = 0xBF;
  char32_t cp = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return kUnicodeReplacement;
  }
  if (i + len > s.size()) {
    ++i;
    return kUnicodeReplacement;
  }
  for (std::size_t k = 1; k < len; ++k) {
    const unsigned char t = b(i + k);
    const unsigned char tlo = (k == 1) ? lo : 0x80;
    const unsigned char thi = (k == 1) ? hi : 0xBF;
    if (t < tlo || t > thi) {
      ++i;
      return kUnicodeReplacement;
    }
    cp = (cp << 6) | (t & 0x3F);
  }
  i += len;
  return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void appendUnit(std::string& out, std::uint16_t u) {
  out += static_cast<char>(u & 0xFF);
  out += static_cast<char>(u >> 8);
}

// The UTF-16LE form of one code point (2 or 4 bytes).
void appendUtf16(std::string& out, char32_t cp) {
  if (cp >= 0x10000) {
    const char32_t v = cp - 0x10000;
    appendUnit(out, static_cast<std::uint16_t>(0xD800 | (v >> 10)));
    appendUnit(out, static_cast<std::uint16_t>(0xDC00 | (v & 0x3FF)));
  } else {
    appendUnit(out, static_cast<std::uint16_t>(cp));
  }
}

// iconv descriptors are not safe to share between threads: each thread opens its own, once.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of the input as it can. Returns the bytes produced and sets `used` to the input
  // consumed; stops at the first input it cannot convert (or at the end).
  std::string run(std::string_view in, std::size_t& used) {
    std::string out;
    used = 0;
    if (!ok() || in.empty()) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buf[1024];
    for (;;) {
      char* outPtr = buf;
      std::size_t outLeft = sizeof buf;
      const std::size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      const int e = errno;
      out.append(buf, sizeof buf - outLeft);
      if (r != static_cast<std::size_t>(-1) || e != E2BIG) break;
    }
    used = in.size() - inLeft;
    return out;
  }

 private:
  iconv_t cd_;
};

Converter& toGbk() {
  thread_local Converter c("CP936", "UTF-8");
  return c;
}
Converter& fromGbk() {
  thread_local Converter c("UTF-8", "CP936");
  return c;
}

// The GBK bytes of one code point; '?' when GBK has no form for it.
std::string gbkChar(char32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  std::string u8;
  appendUtf8(u8, cp);
  std::size_t used = 0;
  std::string out = toGbk().run(u8, used);
  if (used != u8.size() || out.empty()) return std::string(1, kGbkReplacement);
  return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    out += gbkChar(decodeOne(utf8, i));
  }
  return out;
}

namespace {

// GBK to UTF-8; `whole` tells whether every byte belonged to a character (no replacement was made).
std::string decodeGbk(std::string_view gbk, bool& whole) {
  whole = true;
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  std::size_t i = 0;
  while (i < gbk.size()) {
    // Runs of ASCII need no converter.
    std::size_t j = i;
    while (j < gbk.size() && static_cast<unsigned char>(gbk[j]) < 0x80) ++j;
    out.append(gbk.data() + i, j - i);
    i = j;
    if (i >= gbk.size()) break;
    std::size_t used = 0;
    out += fromGbk().run(gbk.substr(i), used);
    i += used;
    if (i < gbk.size() && used == 0) {
      // A byte that starts no GBK character (or a lead byte cut off at the end).
      out += kUtf8Replacement;
      whole = false;
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
  bool whole = true;
  return decodeGbk(gbk, whole);
}

namespace {

// The noncharacters (U+FDD0-U+FDEF and the last two code points of every plane): well-formed, but the
// drawing library refuses a text that holds one as it refuses a bad byte.
bool isNoncharacter(char32_t cp) { return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE; }

// Whether every byte of a text starts or continues a well-formed character, and (when `shown`) none of
// those characters is a noncharacter.
bool wellFormed(std::string_view s, bool shown) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t at = i;
    const char32_t cp = decodeOne(s, i);
    // A well-formed sequence may itself be U+FFFD; only a one-byte step is a bad byte.
    if (cp == kUnicodeReplacement && i == at + 1) return false;
    if (shown && isNoncharacter(cp)) return false;
  }
  return true;
}

// The well-formed characters of a text, with U+FFFD for each byte that starts none and for each
// noncharacter.
std::string replaceUnshown(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 8);
  for (std::size_t i = 0; i < s.size();) {
    const char32_t cp = decodeOne(s, i);
    appendUtf8(out, isNoncharacter(cp) ? kUnicodeReplacement : cp);
  }
  return out;
}

}  // namespace

bool isUtf8(std::string_view s) { return wellFormed(s, false); }

bool isShowable(std::string_view s) { return wellFormed(s, true); }

std::string displayText(std::string_view bytes) {
  if (isShowable(bytes)) return std::string(bytes);
  if (!isUtf8(bytes)) {
    bool whole = true;
    std::string gbk = decodeGbk(bytes, whole);
    if (whole && isUtf8(gbk)) return replaceUnshown(gbk);
  }
  return replaceUnshown(bytes);
}

std::string utf8ToUtf16le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  std::size_t i = 0;
  while (i < utf8.size()) appendUtf16(out, decodeOne(utf8, i));
  return out;
}

std::string utf16leToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  const auto unit = [&](std::size_t k) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                      (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
  };
  for (std::size_t k = 0; k < units; ++k) {
    const std::uint16_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
      const std::uint16_t v = unit(k + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u - 0xD800) << 10) | (v - 0xDC00)));
        ++k;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      appendUtf8(out, kUnicodeReplacement);  // a lone surrogate
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

std::size_t charCount(std::string_view utf8) {
  std::size_t n = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    decodeOne(utf8, i);
    ++n;
  }
  return n;
}

std::string truncateChars(std::string_view utf8, std::size_t maxChars) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < maxChars && i < utf8.size(); ++n) decodeOne(utf8, i);
  return std::string(utf8.substr(0, i));
}

std::string gbkFit(std::string_view utf8, std::size_t maxBytes) {
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    std::string ch;
    if (c < 0x80) {
      ch.assign(1, static_cast<char>(c));
      ++i;
    } else {
      ch = gbkChar(decodeOne(utf8, i));
    }
    if (out.size() + ch.size() > maxBytes) break;
    out += ch;
  }
  return out;
}

std::string utf16leFit(std::string_view utf8, std::size_t maxUnits) {
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const char32_t cp = decodeOne(utf8, i);
    const std::size_t units = cp >= 0x10000 ? 2 : 1;
    if (out.size() / 2 + units > maxUnits) break;
    appendUtf16(out, cp);
  }
  return out;
}

void putGbkField(std::uint8_t* field, std::size_t size, std::string_view utf8) {
  if (field == nullptr || size == 0) return;
  const std::string bytes = gbkFit(utf8, size - 1);
  std::memcpy(field, bytes.data(), bytes.size());
  std::memset(field + bytes.size(), 0, size - bytes.size());
}

std::string getGbkField(const std::uint8_t* field, std::size_t size) {
  if (field == nullptr) return {};
  std::size_t n = 0;
  while (n < size && field[n] != 0) ++n;
  return gbkToUtf8(std::string_view(reinterpret_cast<const char*>(field), n));
}

void putUtf16Field(std::uint8_t* field, std::size_t units, std::string_view utf8) {
  if (field == nullptr || units == 0) return;
  const std::string bytes = utf16leFit(utf8, units - 1);
  std::memcpy(field, bytes.data(), bytes.size());
  std::memset(field + bytes.size(), 0, units * 2 - bytes.size());
}

std::string getUtf16Field(const std::uint8_t* field, std::size_t units) {
  if (field == nullptr) return {};
  std::size_t n = 0;
  while (n < units && (field[2 * n] != 0 || field[2 * n + 1] != 0)) ++n;
  return utf16leToUtf8(std::string_view(reinterpret_cast<const char*>(field), n * 2));
}

std::string format(const char* fmt, ...) {
  if (fmt == nullptr) return {};
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

std::string toLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace platform::text
