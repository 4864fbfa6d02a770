// Reply parsing: checks a 32-byte reply again, keeps the link counters and turns the reply into the
// channel's readings (force, displacements with their plausibility filter, means, controller state)
// or, for a text reply, into the controller's position.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "model/parameter.h"

namespace frontend {

// Parses one reply for a channel (reader thread).
void parseReply(Parameter& p, const std::uint8_t* reply);

// A position field "ddmm.ffff" (degrees, two digits of minutes, ten-thousandths of a minute) as
// degrees; nothing when the field has no digits, no point or characters other than digits.
std::optional<double> parsePositionField(std::string_view field);

// Refreshes, on the user-interface thread, what the reader needs from the header records (whether
// each gauge is on) and writes the jack coefficient's text into header record 0.
void refreshLinkInputs(Parameter& p);

}  // namespace frontend
