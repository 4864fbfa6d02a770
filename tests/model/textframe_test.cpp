#include <gtest/gtest.h>

#include <string>

#include "model/datafiles.h"

namespace {

void knownReading(Parameter& p) {
  p.testRecords.assign(74, JDQFile::BlankTestRecord());
  JDQFile::SetHeaderText(p.testRecords, 7, 3, "SN2026");
  JDQFile::SetHeaderText(p.testRecords, 8, 1, "P7");
  PlatformReading& r = p.platformReading;
  r.counter1 = 12;
  r.counter2 = 3;
  r.valueP = 25.5f;
  r.valueL = 1234.56f;
  r.time = {2026, 3, 9, 14, 5, 7, 0, 1};
  r.displacements = {1.234f, 2.5f, 9.0f, 3.0f, 5.0f, 6.0f, 7.0f, 8.125f};
  const int on[8] = {1, 1, 0, 1, 0, 0, 0, 1};
  for (int k = 0; k < 8; ++k) p.displacementOn[k] = on[k];
  p.forceSensorType = 1;
  p.controlLoad = 250.0f;
  p.standardCode = 0;
  p.controllerNumber = "000042";
  p.versionText = "3.3.8";
}

// The fields of a frame between "|" separators (the prefix counts as field 1).
std::string fieldOf(const std::string& frame, int n) {
  std::size_t at = 0;
  for (int i = 1; i < n; ++i) at = frame.find('|', at) + 1;
  return frame.substr(at, frame.find('|', at) - at);
}

}  // namespace

TEST(PlatformText, KnownReadingGivesTheWholeFrame) {
  Parameter p;
  knownReading(p);
  std::string frame = "old";
  JDQFile::BuildPlatformText(p, frame, 5);
  EXPECT_EQ(frame,
            "$ZRV1.2|SN2026P7|12|3|25.50|1234.6|250|2026-03-09 14:05:07|1.23|2.50||3.00||||8.12|||||2.24|"
            "KRV-718C|A|3|5|{\"device_code\":\"000042\",\"version\":\"3.3.8\",\"manufactor\":2}|*F0ZREND&");
}

TEST(PlatformText, FieldFormats) {
  struct Case {
    const char* name;
    int sensorType;
    float p, l, control;
    int standard;
    const char *field5, *field6, *field7, *field9, *field21;
  };
  const Case cases[] = {
      {"large P", 1, 1500.7f, 10000.4f, 12.5f, 0, "1501", "10000", "12.5", "1.23", "2.24"},
      {"middle P", 1, 150.7f, 999.994f, 0.0f, 0, "150.7", "999.99", "0", "1.23", "2.24"},
      {"load cell", 0, 150.7f, 5.0f, 100.0f, 0, "0.00", "5.00", "100", "1.23", "2.24"},
      {"fine standard", 2, 1.0f, 5.0f, 0.25f, 58, "0.00", "5.00", "0.25", "1.234", "2.245"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Parameter p;
    knownReading(p);
    p.forceSensorType = c.sensorType;
    p.platformReading.valueP = c.p;
    p.platformReading.valueL = c.l;
    p.controlLoad = c.control;
    p.standardCode = c.standard;
    std::string f;
    JDQFile::BuildPlatformText(p, f, 0);
    EXPECT_EQ(fieldOf(f, 5), c.field5);
    EXPECT_EQ(fieldOf(f, 6), c.field6);
    EXPECT_EQ(fieldOf(f, 7), c.field7);
    EXPECT_EQ(fieldOf(f, 9), c.field9);
    EXPECT_EQ(fieldOf(f, 21), c.field21);
  }
}

TEST(PlatformText, NoChannelOnAndWideTextsCountEveryByte) {
  Parameter p;
  p.testRecords.assign(74, JDQFile::BlankTestRecord());
  JDQFile::SetHeaderText(p.testRecords, 7, 3, "流水号");
  JDQFile::SetHeaderText(p.testRecords, 8, 1, "桩");
  p.standardCode = 3;
  std::string f;
  JDQFile::BuildPlatformText(p, f, 0);
  // Each Chinese character is two GBK bytes; all of them are summed.
  EXPECT_EQ(f,
            "$ZRV1.2|流水号桩|0|0|0.00|0.00|0|2000-01-01 00:00:00|||||||||||||0.000|KRV-718C|A|3|0|"
            "{\"device_code\":\"\",\"version\":\"\",\"manufactor\":2}|*B7ZREND&");
  EXPECT_EQ(JDQFile::PlatformTextChecksum("$"), 0);
  EXPECT_EQ(JDQFile::PlatformTextChecksum("$\x0F|"), 0x0F + '|');
}
