// Text handling of the instrument: strings live in memory as UTF-8; files hold UTF-16LE (parameter files,
// text exports) or GBK, the Chinese ANSI code page CP936 (narrow texts of the test data files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::text {

// Replacement used when a character has no form in the target encoding.
inline constexpr char kGbkReplacement = '?';          // a character GBK cannot hold becomes '?'
inline constexpr char32_t kUnicodeReplacement = 0xFFFD;  // bytes that are not valid input decode to U+FFFD

// UTF-8 <-> GBK. Never fails: unconvertible characters and invalid bytes are replaced as above.
std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

// UTF-8 <-> UTF-16LE byte strings (two bytes per code unit, low byte first). Never fails.
std::string utf8ToUtf16le(std::string_view utf8);
std::string utf16leToUtf8(std::string_view bytes);  // an odd trailing byte is dropped

// Whether a text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isUtf8(std::string_view s);
// Whether a text can be shown as it is: well-formed UTF-8 holding no noncharacter (U+FDD0-U+FDEF,
// U+xFFFE, U+xFFFF), which the drawing library refuses like a bad byte.
bool isShowable(std::string_view s);
// A text made fit to be shown: a showable text stays as it is; a text that is not UTF-8, but reads
// whole as GBK (a file name or a marker that other software wrote), is decoded from GBK; anything else
// keeps its well-formed characters and shows U+FFFD for each byte that starts none and for each
// noncharacter.
std::string displayText(std::string_view bytes);

// Number of characters (code points) of a UTF-8 text; invalid bytes count one each.
std::size_t charCount(std::string_view utf8);
// The first maxChars characters of a UTF-8 text.
std::string truncateChars(std::string_view utf8, std::size_t maxChars);

// The GBK form of a text cut between characters to at most maxBytes bytes (no terminator added).
std::string gbkFit(std::string_view utf8, std::size_t maxBytes);
// The UTF-16LE form of a text cut between characters (never inside a surrogate pair) to at most
// maxUnits code units; the result holds 2 bytes per unit (no terminator added).
std::string utf16leFit(std::string_view utf8, std::size_t maxUnits);

// Writes the GBK form of a text into a fixed field of `size` bytes: at most size-1 bytes cut between
// characters, then zero fill (so the field is always terminated). A size of 0 writes nothing.
void putGbkField(std::uint8_t* field, std::size_t size, std::string_view utf8);
// Reads a zero-terminated GBK field of at most `size` bytes (stops at the first zero) as UTF-8.
std::string getGbkField(const std::uint8_t* field, std::size_t size);

// Writes the UTF-16LE form of a text into a field of `units` code units: at most units-1 units cut
// between characters, then zero fill. Reads such a field up to the first zero unit.
void putUtf16Field(std::uint8_t* field, std::size_t units, std::string_view utf8);
std::string getUtf16Field(const std::uint8_t* field, std::size_t units);

// printf-style formatting into a std::string ("%.2f", "%02d : %02d : %02d", ...).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// ASCII-only case folding and comparison (the instrument's file names and commands).
std::string toLowerAscii(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace platform::text
