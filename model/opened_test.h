// The test file a channel shows when no test runs on it: a stored test loaded into the channel's
// opened-file view (the record list, its three record counts and the display copies of its standard,
// force-sensor type and gauges), for the report pages.
#pragma once

#include <string>
#include <vector>

#include "model/parameter.h"

namespace JDQFile {

// The three record counts of a list: the first record whose marker is "11111" (readingCount), whose
// stepMark is "11111" (readingCount2) and whose time is "99999" (readingIndex); each is the number of
// records when none matches.
void CountRecords(Parameter& parameter, const std::vector<TestRecord>& records);

// Loads the test file at `path` into the channel's opened-file view: the opened record list, the record
// counts, and the display copies from its header records 69 (standard), 12 (force-sensor type), 31-34
// and 21-24 (gauges). Nothing else of the channel changes: its own settings, schedule and the name of the
// opened file are the caller's. Returns false, changing nothing, when the file cannot be loaded.
bool LoadOpenedTest(Parameter& parameter, const std::string& path);

}  // namespace JDQFile
