// Start-up of one test channel: fixed settings and start values of its run-time state, its standards
// list, its parameter file (written with the defaults when there is none), the names of its queue files
// and SD-card copy, and the test that was running when the program stopped, taken up again.
#pragma once

#include <string>

#include "model/parameter.h"

// What the main window shows of a channel right after its initialisation.
struct ChannelFirstDisplay {
  std::string nextReading;  // 1030
  std::string level;        // 1026
  std::string controlLoad;  // 1012
  std::string serial;       // 1034
  std::string pile;         // 1036
};

// The software version text and the option value of this build.
inline constexpr const char* kVersionText = "3.3.8";
inline constexpr int kOptionValue = 9;

// Brings a just-constructed channel record to its working state. `name` is "1", "2" or "3";
// `channel1` is the record of channel 1 (initialised first; it may be `p` itself), whose upload route
// names the queue files. Nothing is reported to the operator: a missing or damaged parameter file gives
// the default list (written at once), a test file that cannot be taken up header records built from
// the settings.
ChannelFirstDisplay InitChannelRecord(Parameter& p, const std::string& name, const Parameter& channel1);

// A running test whose file does not load (too short, too long, no file at all, or records that no
// writer of a test file leaves) is taken up from its whole "Backup\" copy, when that holds only such
// records, and the file mended from it where a file can stand; true then. Otherwise,
// when the file or its copy is there at all, the channel's storage text names the file and the storage
// prompt is asked for (`configCheck` 4); a test whose file was never made is no loss and says nothing.
bool TakeUpFromBackup(Parameter& p, const std::string& path);

// Before a queue file's name changes: the slots of `from` not yet sent are appended to `to` (and
// marked sent in `from`), so that none is left behind. False when they could not be carried over (the
// caller then keeps using `from`). Nothing to carry over (no file, or no pending slot) is true.
bool CarryOverPendingSlots(const std::string& from, const std::string& to);

// The level text of the first display: "第%d级" while a level runs (for the cyclic standards in every
// phase above 0, for the others in phases 1 to 5), else "— —".
std::string FirstDisplayLevelText(const Parameter& p);

// A load as "%.2f" without trailing zeros and point ("12.50" -> "12.5", "3.00" -> "3").
std::string TrimmedLoad(float value);

// Whether a standard counts its levels in cycles (the cyclic lateral standards 62, 76, 144).
inline bool IsCyclicStandard(int code) { return code == 62 || code == 76 || code == 144; }
// Whether a standard works in thousandths of a millimetre.
inline bool IsThousandthsStandard(int code) {
  return code == 3 || code == 58 || code == 88 || code == 90 || code == 102 || code == 119;
}
