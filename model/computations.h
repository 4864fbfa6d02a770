// Computations on the recorded readings of a channel: the stability judgement, the verdict of the
// cyclic programmes, the rebuild of the derived reading values and the curve points.
#pragma once

#include <vector>

#include "model/curvegraph.h"
#include "model/parameter.h"

namespace JDQFile {

// Judges whether the current level is stable; sets the loading phase to 4 when it is. Returns 0 when
// a check ended the judgement as not yet stable, else 1.
int JudgeStable(Parameter& parameter);

// The verdict of the cyclic and unloading programmes (standards 11, 118, 15, 48 and 1000): 1 when the
// settlement is stable enough to go on, else 0. Changes nothing.
int JudgeStableCycle(Parameter& parameter);

// Rebuilds the derived values (settlements, level values, schedule times) of the recorded readings.
// Returns 1 when all records were processed, 0 when nothing was done.
int RebuildReadings(Parameter& parameter, std::vector<TestRecord>& records);

// Rebuilds the level points and reading points of the channel (curvePoints1..4) from the rebuilt
// record list; with drawMode 1 and a graph, also fills the graph's curves and sets its limits.
void BuildCurvePoints(Parameter& parameter, const std::vector<TestRecord>& records, CurveGraph* graph,
                      int drawMode);

}  // namespace JDQFile
