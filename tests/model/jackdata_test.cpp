#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model_fixture.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace fs = platform::fs;

namespace {

const std::string kDat = "\\Storage Card\\QJDdat.dat";

JackCalibrationGroup group(const std::string& jack, const std::string& sensor, int kind, float base) {
  JackCalibrationGroup g;
  g.name1 = jack;
  g.name2 = sensor;
  g.kind = kind;
  g.maxForce = 2000.0f;
  g.pointCount = 7;
  for (int i = 0; i < 8; ++i) g.values4to11[i] = base + 4 + i;
  g.value12 = 99.0f;
  for (int i = 0; i < 10; ++i) g.values13to22[i] = base + 13 + i;
  g.value23 = base + 23;
  g.value24 = base + 24;
  g.value25 = base + 25;
  g.inUse = 1;
  g.value27 = 27;
  g.value28 = 28;
  return g;
}

template <typename T>
std::string le(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

std::string name10(const std::string& s) {
  std::string u = platform::text::utf16leFit(s, 10);
  u.resize(20, '\0');
  return u;
}

// The 148 bytes of a group as the file holds them, built field by field from the layout.
std::string fileBytes(const JackCalibrationGroup& g) {
  std::string s = name10(g.name1) + name10(g.name2) + le(g.kind) + le(g.maxForce) + le(g.pointCount);
  for (float v : g.values4to11) s += le(v);
  for (float v : g.values13to22) s += le(v);
  s += le(g.value24) + le(g.value25) + le(g.value23) + le(g.inUse) + le(g.value27) + le(g.value28);
  return s;
}

void expectSameGroup(const JackCalibrationGroup& a, const JackCalibrationGroup& b) {
  EXPECT_EQ(a.name1, b.name1);
  EXPECT_EQ(a.name2, b.name2);
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.maxForce, b.maxForce);
  EXPECT_EQ(a.pointCount, b.pointCount);
  EXPECT_EQ(a.values4to11, b.values4to11);
  EXPECT_EQ(a.values13to22, b.values13to22);
  EXPECT_EQ(a.value23, b.value23);
  EXPECT_EQ(a.value24, b.value24);
  EXPECT_EQ(a.value25, b.value25);
  EXPECT_EQ(a.inUse, b.inUse);
  EXPECT_EQ(a.value27, b.value27);
  EXPECT_EQ(a.value28, b.value28);
}

class JackData : public DeviceRoot {
 protected:
  void SetUp() override {
    DeviceRoot::SetUp();
    makeFolder("\\nandflash\\");
    makeFolder("\\Storage Card\\");
    p_.boardFlag = 1;
  }
  Parameter p_;
};

}  // namespace

TEST_F(JackData, SaveWritesTenGroupsOf148BytesAndLoadReadsThemBack) {
  std::vector<JackCalibrationGroup> list = {group("千斤顶A", "S1", 0, 100), group("J-0123456789XYZ", "", 1, 200)};
  ASSERT_EQ(JDQFile::SaveJackData(list, p_), 1);
  const std::string file = readAll(kDat);
  ASSERT_EQ(file.size(), 1480u);
  EXPECT_EQ(file.substr(0, 148), fileBytes(list[0]));
  EXPECT_EQ(file.substr(148, 148), fileBytes(list[1]));  // the jack name kept to 10 characters
  for (int i = 2; i < 10; ++i) EXPECT_EQ(file.substr(i * 148, 148), fileBytes(JDQFile::DefaultJackGroup())) << i;

  std::vector<JackCalibrationGroup> back(10);
  back[0].value12 = 5.0f;
  ASSERT_EQ(JDQFile::LoadJackData(back, p_), 1);
  expectSameGroup(back[0], list[0]);
  EXPECT_EQ(back[1].name1, "J-01234567");
  EXPECT_EQ(back[0].value12, 5.0f);  // not in the file: kept
}

TEST_F(JackData, OlderAndOddFilesAreReadAs136ByteRecordsWithinTheList) {
  JackCalibrationGroup named = group("QJD-1", "", 0, 10);
  JackCalibrationGroup blank = group("", "", 0, 20);
  std::string old;
  for (int i = 0; i < 10; ++i) old += fileBytes(i == 3 ? named : blank).substr(0, 136);
  writeAll(kDat, old);
  std::vector<JackCalibrationGroup> list(10);
  ASSERT_EQ(JDQFile::LoadJackData(list, p_), 1);
  EXPECT_EQ(list[3].name1, "QJD-1");
  EXPECT_EQ(list[3].inUse, 1);
  EXPECT_EQ(list[3].value27, 0);
  EXPECT_EQ(list[3].value23, 33.0f);
  EXPECT_EQ(list[4].inUse, 0);

  // 11 x 148 bytes: read as 136-byte records (11), of which only as many as the list holds.
  std::string odd;
  for (int i = 0; i < 11; ++i) odd += fileBytes(named);
  writeAll(kDat, odd);
  std::vector<JackCalibrationGroup> ten(10, JDQFile::DefaultJackGroup());
  ASSERT_EQ(JDQFile::LoadJackData(ten, p_), 1);
  EXPECT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten[0].name1, "QJD-1");

  fs::deleteFile(kDat);
  EXPECT_EQ(JDQFile::LoadJackData(ten, p_), 0);
}

TEST_F(JackData, SelectionFollowsTheRulesAndTheLastFitWins) {
  std::vector<JackCalibrationGroup> list = {
      group("J1", "S1", 0, 100),  // 0: jack J1, jack calibration
      group("J1", "S1", 1, 200),  // 1: jack J1 with sensor S1, system calibration
      group("J1", "", 0, 300),    // 2: jack J1 again: later than 0
      group("", "S9", 1, 400),    // 3: load cell S9
      group("", "", 0, 500),      // 4: nothing named
  };
  ASSERT_EQ(JDQFile::SaveJackData(list, p_), 1);
  struct Case {
    int type, option;
    const char* sensor;
    const char* jack;
    int group;  // -1: no fit
  };
  const Case cases[] = {
      {1, 0, "", "J1", 2},   {1, 0, "", "J2", -1},  {2, 1, "S1", "J1", 1}, {2, 1, "S2", "J1", -1},
      {0, 1, "S9", "", 3},   {0, 0, "S9", "", -1},  {0, 2, "S9", "", -1},
      {1, 0, "", "", -1},    // an empty jack text never picks an unnamed group
      {0, 1, "", "", -1},    // nor an empty sensor text
      {2, 1, "", "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.jack) + "/" + c.sensor + " type " + std::to_string(c.type));
    p_.selectedJackGroup = -7;
    const int r = JDQFile::SelectJackGroup(c.type, c.option, c.sensor, c.jack, p_);
    EXPECT_EQ(r, c.group >= 0 ? 1 : 0);
    EXPECT_EQ(p_.selectedJackGroup.load(), c.group >= 0 ? c.group : -7);
  }
  // Group 2's block: 0, values 4-11, 13, 14, 23, 15, 16-22, 24, 25.
  ASSERT_EQ(JDQFile::SelectJackGroup(1, 0, "", "J1", p_), 1);
  const float want[22] = {0,   304, 305, 306, 307, 308, 309, 310, 311, 313, 314,
                          323, 315, 316, 317, 318, 319, 320, 321, 322, 324, 325};
  for (int i = 0; i < 22; ++i) EXPECT_EQ(p_.jackCalibration[i].load(), want[i]) << i;
  // The channel's groups become the fresh list of the selection: twelve, whatever they held before,
  // with the file's groups first (the rating table looks up the selected group there).
  p_.jackGroups.assign(3, JDQFile::DefaultJackGroup());
  ASSERT_EQ(JDQFile::SelectJackGroup(1, 0, "", "J1", p_), 1);
  ASSERT_EQ(p_.jackGroups.size(), 12u);
  EXPECT_EQ(p_.jackGroups[2].name1, "J1");
  EXPECT_EQ(p_.jackGroups[2].values4to11[0], 304.0f);
  EXPECT_EQ(p_.jackGroups[5].name1, "");

  fs::deleteFile(kDat);
  EXPECT_EQ(JDQFile::SelectJackGroup(1, 0, "", "J1", p_), 0);
}

TEST_F(JackData, JackListLookupNeedsNameAndNumber) {
  auto entry = [](int number, const std::string& name, bool terminated = true) {
    JackSensorEntry e;
    e.number = static_cast<std::int16_t>(number);
    const std::string gbk = platform::text::utf8ToGbk(name);
    std::memset(e.name, terminated ? 0 : 'X', sizeof e.name);
    std::memcpy(e.name, gbk.data(), std::min(gbk.size(), sizeof e.name));
    e.value = static_cast<std::int16_t>(number * 2);
    for (int i = 0; i < 4; ++i) e.values[i] = static_cast<float>(number + i);
    return std::string(reinterpret_cast<const char*>(&e), sizeof e);
  };
  // Entry 3 fills its 20 bytes without a terminator.
  writeAll("\\Storage Card\\qjd.qjd", entry(1, "QJD-A") + entry(2, "QJD-A") + entry(2, "千斤顶") +
                                          entry(7, "QJD-B") + entry(2, "QJD-A") + entry(5, "", false));
  struct Case {
    const char* name;
    int number;
    int result;
    int value;
  };
  const Case cases[] = {{"QJD-A", 2, 1, 4}, {"QJD-A", 7, 0, 0}, {"千斤顶", 2, 1, 4}, {"QJD-C", 1, 0, 0},
                        {"XXXXXXXXXXXXXXXXXXXX", 5, 1, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    p_.currentJack = JackSensorEntry{};
    EXPECT_EQ(JDQFile::LoadJackSensorLists(c.name, c.number, p_), c.result);
    EXPECT_EQ(p_.currentJack.value, c.value);
    EXPECT_EQ(p_.jackSensorList.size(), 6u);
  }
  EXPECT_EQ(p_.jackSensorList[1].number, 2);

  // With the upload option the sensor list is read when it is there.
  p_.uploadOption = 1;
  EXPECT_EQ(JDQFile::LoadJackSensorLists("QJD-B", 7, p_), 1);  // no qjd.cgq yet: qjd.qjd
  writeAll("\\Storage Card\\qjd.cgq", entry(3, "CGQ-1"));
  EXPECT_EQ(JDQFile::LoadJackSensorLists("CGQ-1", 3, p_), 1);
  EXPECT_EQ(p_.jackSensorList.size(), 1u);

  fs::deleteFile("\\Storage Card\\qjd.cgq");
  fs::deleteFile("\\Storage Card\\qjd.qjd");
  EXPECT_EQ(JDQFile::LoadJackSensorLists("CGQ-1", 3, p_), 0);
  EXPECT_EQ(p_.jackSensorList.size(), 1u);  // unchanged
}
