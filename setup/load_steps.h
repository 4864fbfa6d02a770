// The load programme of a channel from what the operator typed in the standard dialog: the single-step
// and maximum loads proposed for a control load, and the level-load table of the standards that
// prescribe one.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// A number as the standard dialog shows it: "%.2f", then trailing '0' characters and a trailing '.'
// removed (40.00 shows "40", 12.50 shows "12.5").
std::string LoadText(float v);

// The texts proposed for a typed control load. A field that is not proposed is empty (std::nullopt).
struct ProposedLoads {
  std::optional<std::string> singleStep;      // field 1084
  std::optional<std::string> maxLoad;         // field 1085
  std::optional<std::string> characteristic;  // field 1108 (standard 10 only)
};

// Proposes the single-step and maximum loads that standard `code` prescribes for the control load
// typed as `controlLoadText`. Proposes nothing while a test runs, for a text that is not a number, and
// for standard 14.
ProposedLoads DeriveLoadSteps(int code, std::string_view controlLoadText, bool testRunning);

using LevelTable = std::array<float, 20>;

// Fills the levels that standard `code` prescribes from the single-step load s, the maximum load ps
// and the second maximum load pg (standard 72). Levels beyond those prescribed keep their values.
// Returns false, changing nothing, for a standard without a level table (all but 0, 72 and 149).
bool FillLevelTable(int code, float s, float ps, float pg, LevelTable& levels);
