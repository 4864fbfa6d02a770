// Frames of the front-end controller link: the 16-bit value codec, the byte-sum check and the
// packing of the six-digit controller number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace frontend {

inline constexpr std::size_t kCommandSize = 22;
inline constexpr std::size_t kReplySize = 32;
inline constexpr std::uint8_t kFrameStart = 0xAA;

using CommandFrame = std::array<std::uint8_t, kCommandSize>;
using ReplyFrame = std::array<std::uint8_t, kReplySize>;

// Saturates a value to the range the codec carries (-32768..32767).
int saturate16(long long v);
// Saturating conversion of a float to an int, with NaN as 0 (never undefined behaviour).
int toIntSaturated(double v);

// Writes the two codec bytes of v (saturated first): out[0] low byte, out[1] high byte.
void encodeValue16(long long v, std::uint8_t* out);
// Reads the value of a codec pair: in[0] low byte, in[1] high byte. A high byte of exactly 0x80
// reads as 0 (low byte 0) or 32768 + low, as the controllers expect.
int decodeValue16(const std::uint8_t* in);

// Low 8 bits of the sum of n bytes.
std::uint8_t byteSum(const std::uint8_t* bytes, std::size_t n);

// A stored controller number made into six digits: a shorter text of digits is left-padded with
// zeros; an empty text, a text of more than six characters or one with other characters is refused.
std::optional<std::string> normalizeControllerNumber(std::string_view text);
// Packs six digits into three bytes, two digits per byte, the first of each pair in the high
// nibble. Returns false (and writes zeros) when the text is not a valid number.
bool packControllerNumber(std::string_view text, std::uint8_t* out);
// The text of three packed bytes, each nibble printed as a decimal number ("%d" six times): a
// nibble above 9 gives two characters, so such a text never matches a stored number.
std::string unpackControllerNumber(const std::uint8_t* in);

// Exchanges the two nibbles of a byte (0x3C -> 0xC3).
inline std::uint8_t swapNibbles(std::uint8_t b) {
  return static_cast<std::uint8_t>(((b & 0x0F) << 4) | (b >> 4));
}

}  // namespace frontend
