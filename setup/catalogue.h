// The standards catalogue held by each channel, and its offered flags.
#pragma once

#include <vector>

#include "model/parameter.h"
#include "setup/timing.h"

// Empties the channel's list, appends the 83 catalogue entries in catalogue order and marks every
// position offered (parameter items 130..212 set to 1.0).
void BuildStandardCatalogue(Parameter& channel);

// The entry at a catalogue position of the channel's list; nullptr outside the list.
const StandardEntry* StandardAt(const Parameter& channel, int position);
// Whether the standard at a position is offered (its item 130 + position is 1.0).
bool IsStandardOffered(const Parameter& channel, int position);

// The header texts of a record list (the channel's test-file image), for ApplyStandard. The reader
// refers to the list: use it while the list lives.
HeaderTextReader HeaderTextsOf(const std::vector<TestRecord>& records);
