// The 3-byte number of the upload records, and the fixed answer frame of the external module.
#pragma once

#include <array>
#include <cstdint>

// Writes the 3-byte form of x into out[0..2]:
//  - 0 gives 40 00 00;
//  - otherwise byte 0 = E + 0x40 (|x| < 0.5) + 0x80 (x negative), where E is the number of binary
//    digits of the integer part (1..16), or 65 - m for |x| < 1 with m the doublings that bring the
//    fraction to 1 or above; bytes 1 and 2 hold 16 binary digits of |x| from its leading one.
// Magnitudes of 65536 and more are sent as the largest one (65535, sign kept); magnitudes too small
// for the exponent (below 2^-64) are sent as 0; NaN and infinities as FF FF FF, the mark of "no value".
// Returns 1 when the zero form was written, else 0.
int EncodeWireNumber(float x, std::uint8_t* out);

// The 128-byte frame queued as the answer to a frame of the external module that begins with 0x55.
std::array<std::uint8_t, 128> FixedAnswerFrame();
