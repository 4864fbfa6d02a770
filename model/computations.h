// Computations on the recorded readings of a channel: the stability judgement and the rebuild of the
// derived reading values.
#pragma once

#include <vector>

#include "model/parameter.h"

namespace JDQFile {

// Judges whether the current level is stable; sets the loading phase to 4 when it is. Returns 0 when
// a check ended the judgement as not yet stable, else 1.
int JudgeStable(Parameter& parameter);

// Rebuilds the derived values (settlements, level values, schedule times) of the recorded readings.
// Returns 1 when all records were processed, 0 when nothing was done.
int RebuildReadings(Parameter& parameter, std::vector<TestRecord>& records);

}  // namespace JDQFile
