// Record lists with rebuilt reading values (level, time, settlement, half-settlements) for the tests of
// the judgements and the curve points.
#pragma once

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "model/datafiles.h"

struct Rd {
  int t;           // minutes within the level
  float s;         // settlement, mm
  float u = 0.0f;  // self-balanced series of values 10
  float v = 0.0f;  // self-balanced series of values 11
};

struct LevelRds {
  float load;
  std::vector<Rd> readings;  // the first one (time 0) stands at the level's step record
};

inline void setTimeText(TestRecord& r, const char* text) {
  std::memset(r.time, 0, sizeof r.time);
  std::memcpy(r.time, text, std::min<std::size_t>(std::strlen(text), sizeof r.time));
}

inline TestRecord derivedRecord(float level, const Rd& rd) {
  TestRecord r = JDQFile::BlankTestRecord();
  std::memcpy(r.marker, rd.t == 0 ? "--:--" : "10:00", 5);
  std::memcpy(r.stepMark, r.marker, 5);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", rd.t);
  setTimeText(r, buf);
  r.valuesA[16] = rd.s;
  r.valuesA[17] = level;
  r.valuesA[10] = rd.u;
  r.valuesA[11] = rd.v;
  return r;
}

inline std::vector<TestRecord> derivedList(const std::vector<LevelRds>& levels) {
  std::vector<TestRecord> out;
  for (const LevelRds& l : levels)
    for (const Rd& rd : l.readings) out.push_back(derivedRecord(l.load, rd));
  return out;
}
