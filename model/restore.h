// The restore of a channel's settings from the header records of its test.
#pragma once

#include <string>
#include <vector>

#include "model/parameter.h"

namespace JDQFile {

// Sets the typed settings of the channel from header records 0..73 of `records` (the part of
// RestoreFromHeader that needs no other file or computation). Records missing from a short list are
// not read; the members they feed keep their values.
void RestoreSettingsFromHeader(Parameter& parameter, std::vector<TestRecord>& records);

// The number a jack text stands for in parameter item 12: 0 for jacks in parallel ("12,13"), else the
// text read as a number.
float JackTextNumber(const std::string& jackText);

}  // namespace JDQFile
