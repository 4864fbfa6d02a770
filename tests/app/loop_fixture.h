// Stored channel files for the start-up and main-loop tests: a parameter file, and a test that was
// running when the program stopped (its data file with readings and running state, and its parameter
// file naming it).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "model/parameter.h"
#include "platform/fs/fs.h"

namespace apptest {

// A channel record with the default list, for writing stored files.
inline void defaultChannel(Parameter& p, const std::string& name, int board) {
  p.channelName = name;
  p.boardFlag = board;
  p.ParameterList.setChannelNumber(std::stoi(name));
  p.ParameterList.extendWithDefaults();
}

struct StoredTest {
  std::string path = "\\Storage Card\\ABC.krv";
  int standard = 1;
  int phase = 2;
  int readings = 3;
  int level = 2;
  float controlLoad = 200.0f;
  std::string serial = "SN-1";
  std::string pile = "P7";
  float route = 1.0f;  // item 56
  std::int64_t nextReadingAt = 0;  // absolute time of the next reading (seconds), 0: none kept
};

// Writes the test data file and the parameter file of channel `name` for a test that was running.
inline void writeRunningTest(const std::string& name, int board, const StoredTest& t) {
  Parameter src;
  defaultChannel(src, name, board);
  ParameterList& l = src.ParameterList;
  l.set(51, static_cast<float>(t.standard));
  l.set(56, t.route);
  for (int k = 1; k <= 8; ++k) l.set(k, k <= 4 ? 1.0f : 0.0f);
  src.externalSerialNumber = t.serial;
  src.pileLabel = t.pile;
  src.standardCode = t.standard;
  ASSERT_EQ(JDQFile::BuildHeaderRecords(src), 1);
  JDQFile::SetHeaderText(src.testRecords, 7, 3, t.serial);
  JDQFile::SetHeaderText(src.testRecords, 8, 1, t.pile);
  for (int i = 0; i < t.readings; ++i) {
    TestRecord& r = src.testRecords[static_cast<std::size_t>(i)];
    std::memcpy(r.marker, i == 0 ? "--:--" : "08:00", 5);
    std::memcpy(r.stepMark, r.marker, 5);
    std::memset(r.time, 0, sizeof r.time);
    const std::string minutes = std::to_string(i * 30);
    std::memcpy(r.time, minutes.data(), minutes.size());
    r.valuesA[0] = t.controlLoad;
    r.valuesA[16] = 0.5f + 0.1f * static_cast<float>(i);
    r.valuesA[17] = t.controlLoad;
  }
  src.readingCount = t.readings;
  src.loadingPhase = t.phase;
  src.controlLoad = t.controlLoad;
  src.link.levelNumber = t.level;
  src.nextReadingSeconds = 9 * 3600;
  src.elapsedCounter = t.nextReadingAt;
  src.runCounters = {2, 0, t.level};
  src.runValue = t.controlLoad;  // the command step's previous control load
  src.testRunning = 1;
  ASSERT_EQ(UpdateStateRecords(src), 1);
  ASSERT_TRUE(platform::fs::createFolders("\\Storage Card\\"));
  ASSERT_EQ(JDQFile::CreateTestFile(t.path, src.testRecords, src), 1);
  ASSERT_EQ(JDQFile::SaveParameterFile(t.path, name, src), 1);
}

}  // namespace apptest
