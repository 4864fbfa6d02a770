// The command step: what a channel's controller is to do now, as a 22-byte command frame, and the
// phase changes of a running test that follow from the control load and the measured load.
#pragma once

#include "frontend/codec.h"
#include "model/parameter.h"

namespace frontend {

struct CommandOutcome {
  CommandFrame frame{};
  bool alarm = false;  // the pre-load target was reached: the alarm output is to sound
};

// Builds the command frame of a channel (steps 1 to 13 of a poll; sending is the link's). Holds the
// channel's loadLock from reading the phase and the control load to the end of the phase changes.
// `channel1` is the record that holds the system-wide values (it may be `p` itself).
CommandOutcome buildCommand(Parameter& p);

// The fraction of the step load under the control load that the lower limit allows.
float lowerLimitFactor(float maxLoad);
// The re-load lower limit as a load.
float reloadLimit(const Parameter& p);
// A load as the raw sensor count the controller works in (after the rating table, where used).
int loadToCounts(const Parameter& p, float value);
// Maps a load through the selected jack's rating table (points of force and reading).
float mapThroughRatingTable(const Parameter& p, float value);

// Finishes on the user-interface thread what a level change of the command step asks for: the level
// index and timing of the standards that set them per level, and the level's new-level flag. Returns
// the change it took (0 none, 1 a new loading level, 2 a new unloading level).
int takeLevelChange(Parameter& p, int* levelIndex);

}  // namespace frontend
