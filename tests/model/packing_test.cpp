#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/parameter.h"
#include "model/restore.h"
#include "platform/text/text.h"

TEST(PackParameters, CopiesMembersIntoTheirItems) {
  Parameter p;
  p.ParameterList.setChannelNumber(2);
  for (int k = 0; k < 8; ++k) p.displacementOn[k] = k % 2;
  p.loadingMode = 2;
  p.jackCoefficientA = 1.25f;
  p.sensorText = "0012";
  p.serialNumber = "2024A";
  p.stepLoad4 = 333.5f;
  p.levelMinutes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  p.levelMinutesLast = 18.5f;
  p.altCriteria = {93, 94, 95};
  p.rotatingValue2 = 201;
  p.ParameterList.set(56, 3.0f);  // items without a member keep their values

  EXPECT_EQ(JDQFile::PackParameters(p, p.ParameterList), 1);
  const ParameterList& l = p.ParameterList;
  EXPECT_EQ(l.count(), 102);  // a short (empty) list grows with defaults up to the highest item written
  EXPECT_EQ(l.item(1), 0.0f);
  EXPECT_EQ(l.item(2), 1.0f);
  EXPECT_EQ(l.item(10), 2.0f);
  EXPECT_EQ(l.item(13), 1.25f);
  EXPECT_EQ(l.item(16), 12.0f);
  EXPECT_EQ(l.item(20), 2024.0f);
  EXPECT_EQ(l.item(97), 333.5f);
  const int minuteItems[] = {39, 40, 41, 42, 43, 44, 86, 45, 46, 47, 48, 49, 50, 87, 52, 53, 54};
  for (int k = 0; k < 17; ++k) EXPECT_EQ(l.item(minuteItems[k]), k + 1.0f) << minuteItems[k];
  EXPECT_EQ(l.item(73), 18.5f);
  EXPECT_EQ(l.item(95), 95.0f);
  EXPECT_EQ(l.item(101), 201.0f);
  EXPECT_EQ(l.item(56), 3.0f);
  EXPECT_EQ(l.item(83), 2.0f);  // default: the channel number
}

TEST(PackParameters, JackTextAndPausedFlag) {
  struct Case {
    const char* jack;
    byte paused;
    float item12;
    float item66;
  };
  const Case cases[] = {
      {"12,13", 1, 0.0f, 1.0f}, {"12", 0, 12.0f, 0.0f}, {",5", 2, 0.0f, 0.0f}, {"QJD-01", 1, 0.0f, 1.0f},
  };
  for (const Case& c : cases) {
    Parameter p;
    p.jackText = c.jack;
    p.paused = c.paused;
    JDQFile::PackParameters(p, p.ParameterList);
    EXPECT_EQ(p.ParameterList.item(12), c.item12) << c.jack;
    EXPECT_EQ(p.ParameterList.item(66), c.item66) << int(c.paused);
  }
}

namespace {

void put(char* field, std::size_t size, const std::string& utf8) {
  platform::text::putGbkField(reinterpret_cast<std::uint8_t*>(field), size, utf8);
}

// 74 header records without readings.
std::vector<TestRecord> header() {
  std::vector<TestRecord> r(74);
  for (TestRecord& t : r) {
    std::memset(&t, 0, sizeof t);
    std::memcpy(t.marker, "11111", 5);
    std::memcpy(t.stepMark, "11111", 5);
    std::memcpy(t.time, "99999", 5);
  }
  return r;
}

#define T1(i, s) put(r[i].text1, sizeof r[i].text1, s)
#define T2(i, s) put(r[i].text2, sizeof r[i].text2, s)
#define T3(i, s) put(r[i].text3, sizeof r[i].text3, s)

}  // namespace

TEST(RestoreSettings, ReadsTheHeaderRecords) {
  std::vector<TestRecord> r = header();
  for (int i = 0; i < 3; ++i) std::memcpy(r[i].marker, "08:00", 5);  // three readings
  for (int i = 0; i < 3; ++i) std::memcpy(r[i].stepMark, "08:00", 5);
  for (int i = 0; i < 2; ++i) std::memcpy(r[i].time, "0    ", 5);
  T1(31, "1"); T1(32, "0"); T1(33, "1"); T1(34, "1");  // channels 1, 3, 4
  T2(21, "0"); T2(22, "1");                            // channel 6
  T3(7, "流水-1"); T3(8, "EXT-8"); T1(8, "桩号7");
  T1(36, "5");
  T2(6, "100"); T2(7, "100"); T3(20, "200"); T3(69, "72");
  T2(13, "90"); T2(14, "60"); T2(15, "2"); T2(16, "0.1");
  T1(16, "5.9"); T1(57, "30"); T1(58, "45");
  T3(15, "-0.5"); T3(16, "abc");  // intercept and a text that is not a number
  T2(19, "0.004");                // shows as 0.00
  T2(32, "3");
  T3(13, "3");

  Parameter p;
  p.testType = 1;
  p.ParameterList.set(83, 42.0f);
  p.jackCoefficientD = 9.0f;
  JDQFile::RestoreSettingsFromHeader(p, r);

  EXPECT_EQ(p.readingCount, 3);
  EXPECT_EQ(p.readingCount2, 3);
  EXPECT_EQ(p.readingIndex, 2);
  EXPECT_EQ(p.channelMask, 0b101101);
  EXPECT_EQ(p.displacementOn[1], 0);
  EXPECT_EQ(p.displacementOn[5], 1);
  EXPECT_EQ(p.displacementOnCopy[5], 1);
  EXPECT_EQ(p.serialNumber, "流水-1");
  EXPECT_EQ(p.externalSerialNumber, "EXT-8");
  EXPECT_EQ(p.pileLabel, "桩号7");
  EXPECT_EQ(p.testType, 5);
  EXPECT_EQ(p.standardCode, 72);
  const float loads[] = {20, 40, 60, 80, 100, 50, 0, 60, 80, 100, 120, 140, 160, 180, 200, 160, 120, 80, 40, 0};
  for (int k = 0; k < 20; ++k) EXPECT_FLOAT_EQ(p.levelLoads[k], loads[k]) << k;
  EXPECT_EQ(p.holdMinutes, 90);
  EXPECT_EQ(p.judgeCount, 2);
  EXPECT_FLOAT_EQ(p.stableSettlement, 0.1f);
  EXPECT_EQ(p.levelMinutes[0], 5);
  EXPECT_EQ(p.levelMinutes[6], 30);
  EXPECT_EQ(p.levelMinutes[13], 45);
  EXPECT_FLOAT_EQ(p.jackCoefficientC, -0.5f);  // a negative intercept survives the restore
  EXPECT_EQ(p.jackCoefficientD, 0.0f);
  EXPECT_EQ(p.extraValue82Set, 0);
  EXPECT_EQ(p.controllerNumber.get(), "000042");
  EXPECT_EQ(p.loadingMode, 3);
  EXPECT_EQ(p.pressureMethod, 3);
}

TEST(RestoreSettings, TestTypeAndFlagsFollowTheirCharacters) {
  std::vector<TestRecord> r = header();
  T1(36, "x");
  T2(19, "0.5");
  T3(67, "0");
  T2(30, "1");
  Parameter p;
  p.testType = 2;
  JDQFile::RestoreSettingsFromHeader(p, r);
  EXPECT_EQ(p.testType, 2);  // an unknown character leaves the test type
  EXPECT_EQ(p.extraValue82Set, 1);
  EXPECT_EQ(p.criterionMode2, 0);
  EXPECT_EQ(p.altCriterion5, 1);
  EXPECT_EQ(p.criteriaFlag, 1);
  EXPECT_EQ(p.readingCount, 0);
}

TEST(RestoreSettings, JackTextRunsOnIntoRecord19) {
  std::vector<TestRecord> r = header();
  const std::string jack = "J0001,J0002,J0003,J0004,J0005";  // longer than one 20-byte field
  std::memcpy(r[12].text1, jack.data(), 20);
  put(r[19].text3, 60, jack.substr(20));
  Parameter p;
  JDQFile::RestoreSettingsFromHeader(p, r);
  EXPECT_EQ(p.jackText, jack);
}

TEST(RestoreSettings, IdentifierTextsSurviveTheirNumericHeaderForm) {
  // The header keeps the jack and sensor identifiers as numbers ("%.0f" of items 12 and 16).
  struct Case {
    bool jack;
    const char* current;
    const char* header;
    const char* restored;
  };
  const Case cases[] = {
      {true, "QJD-01", "0", "QJD-01"}, {true, "0012", "12", "0012"}, {true, "12,13", "0", "12,13"},
      {true, "", "15", "15"},          {true, "12", "", "12"},       {true, "12", "13", "13"},
      {false, "S-9", "0", "S-9"},      {false, "007", "7", "007"},   {false, "7", "8", "8"},
  };
  for (const Case& c : cases) {
    std::vector<TestRecord> r = header();
    if (c.jack) {
      T1(12, c.header);
    } else {
      T3(9, c.header);
    }
    Parameter p;
    std::string& member = c.jack ? p.jackText : p.sensorText;
    member = c.current;
    JDQFile::RestoreSettingsFromHeader(p, r);
    EXPECT_EQ(member, c.restored) << c.current << " / " << c.header;
  }
}

TEST(RestoreSettings, ShortListLeavesMissingRecordsAlone) {
  std::vector<TestRecord> r = header();
  r.resize(10);
  T3(7, "S7");
  Parameter p;
  p.standardCode = 5;
  p.testType = 4;
  p.holdMinutes = 77;
  JDQFile::RestoreSettingsFromHeader(p, r);
  EXPECT_EQ(p.serialNumber, "S7");
  EXPECT_EQ(p.standardCode, 5);
  EXPECT_EQ(p.testType, 4);
  EXPECT_EQ(p.holdMinutes, 77);
  EXPECT_EQ(p.readingCount, 0);

  std::vector<TestRecord> none;
  JDQFile::RestoreSettingsFromHeader(p, none);
  EXPECT_EQ(p.readingCount, 0);
  EXPECT_EQ(p.serialNumber, "S7");
}
