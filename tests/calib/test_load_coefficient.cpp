#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "calib/load_coefficient.h"
#include "model/datafiles.h"

namespace {

std::string Text(const Parameter& p, int record, int field) { return JDQFile::HeaderText(p.testRecords, record, field); }

struct Channel {
  Parameter p;
  explicit Channel(int sensorType) {
    p.testRecords.assign(kHeaderRecordCount, JDQFile::BlankTestRecord());
    p.forceSensorType = sensorType;
    p.sensorCoefficient = 1.5f;  // the stored sensitivity (kept by a 20S sensor)
    p.headerFloat0 = 9.0f;
    p.jackText = "OLD";
    p.sensorText = "S-OLD";
    p.pressureMethod = 2;
  }
};

SensorJackEntry Entry(const char* mode, const char* range, const char* sens, const char* count, const char* out,
                      const char* pressure, const char* a = "", const char* b = "") {
  SensorJackEntry e;
  e.mode = mode;
  e.sensorNumber = "S-17";
  e.fullRange = range;
  e.sensitivity = sens;
  e.jackCount = count;
  e.ratedOutput = out;
  e.ratedPressure = pressure;
  e.constantA = a;
  e.coefficientB = b;
  e.jackNumber = "J-5";
  return e;
}

struct WorkedCase {
  const char* name;
  int sensorType;
  SensorJackEntry entry;
  std::string storedJacks;  // the channel's jack number before OK
  float k;
  int method;
  int storedCount;
  const char* record0;
  const char* preview;
};

std::ostream& operator<<(std::ostream& os, const WorkedCase& c) { return os << c.name; }

class Worked : public ::testing::TestWithParam<WorkedCase> {};

TEST_P(Worked, CoefficientStoredAndPreviewed) {
  const WorkedCase& c = GetParam();
  Channel ch(c.sensorType);
  ch.p.jackText = c.storedJacks;
  const CoefficientResult r = ApplyLoadCoefficient(ch.p, c.entry);
  ASSERT_TRUE(r.stored) << r.message;
  EXPECT_FLOAT_EQ(r.coefficient, c.k);
  EXPECT_FLOAT_EQ(ch.p.headerFloat0, c.k);
  EXPECT_EQ(Text(ch.p, 0, 2), c.record0);
  EXPECT_EQ(ch.p.pressureMethod.load(), c.method);
  EXPECT_EQ(Text(ch.p, 13, 3), std::to_string(c.method));
  EXPECT_EQ(ch.p.jackSetting.load(), c.storedCount);
  EXPECT_EQ(Text(ch.p, 6, 1), c.entry.jackCount);
  EXPECT_EQ(ch.p.sensorText, "S-17");
  EXPECT_EQ(Text(ch.p, 9, 3), "S-17");
  EXPECT_EQ(ch.p.sensorSetting.load(), 80);
  EXPECT_EQ(Text(ch.p, 10, 3), "80");

  const PreviewResult v = PreviewCoefficient(c.sensorType, c.entry, PreviewFocus::None, std::nullopt, ch.p.jackText);
  EXPECT_EQ(v.result, 1);
  EXPECT_EQ(v.coefficientText, c.preview);
  EXPECT_EQ(v.message, "");
}

SensorJackEntry Listed(SensorJackEntry e) {
  e.jackNumber = "已选择";
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Worked,
    ::testing::Values(
        WorkedCase{"LoadCell", 0, Entry("计算", "80", "2.5", "2", "", ""), "", 1.25f, 1, 2, "1.250000", "1.250"},
        WorkedCase{"LoadCellNoJackCount", 0, Entry("计算", "80", "2.5", "0", "", ""), "", 2.5f, 1, 1, "2.500000",
                   "2.500"},
        WorkedCase{"Computed20S", 2, Entry("计算", "80", "", "1", "1000", "64"), "", 2.56f, 1, 1, "2.560000",
                   "2.560"},
        WorkedCase{"Computed10S", 1, Entry("计算", "80", "1.882", "2", "1000", "64"), "", 0.90336f, 1, 2,
                   "0.903360", "0.903"},
        WorkedCase{"Regression20SJackList", 2, Listed(Entry("回归方程", "80", "", "3", "", "", "-0.5", "0.05")),
                   "J1,J2,J3", 2.0f, 3, 3, "2.000000", "2.000"},
        WorkedCase{"Regression20SOneJack", 2, Entry("回归方程", "80", "", "3", "", "", "-0.5", "0.05"), "",
                   0.6666667f, 3, 3, "0.666667", "0.667"},
        WorkedCase{"Regression10S", 1, Entry("回归方程", "80", "2", "1", "", "", "0.2", "0.05"), "", 1.5f, 3, 1,
                   "1.500000", "1.500"}));

TEST(LoadCoefficient, FieldsOfEachKind) {
  Channel cell(0);
  ASSERT_TRUE(ApplyLoadCoefficient(cell.p, Entry("计算", "500", "2.5", "1", "", "")).stored);
  EXPECT_EQ(cell.p.sensorCoefficient.load(), 2.5f);
  EXPECT_EQ(Text(cell.p, 11, 3), "2.500");
  EXPECT_EQ(cell.p.jackText, "J-5");
  EXPECT_EQ(Text(cell.p, 12, 1), "J-5");

  Channel oil20(2);
  ASSERT_TRUE(ApplyLoadCoefficient(oil20.p, Entry("计算", "80", "9", "1", "1000", "63.5")).stored);
  EXPECT_EQ(oil20.p.sensorCoefficient.load(), 1.5f);  // a 20S sensor keeps its stored sensitivity
  EXPECT_EQ(Text(oil20.p, 11, 3), "");
  EXPECT_EQ(oil20.p.jackCoefficientB.load(), 1000.0f);
  EXPECT_EQ(Text(oil20.p, 15, 1), "1000");
  EXPECT_EQ(oil20.p.jackCoefficientA.load(), 63.5f);
  EXPECT_EQ(Text(oil20.p, 14, 1), "63.50");

  Channel reg(2);
  ASSERT_TRUE(ApplyLoadCoefficient(reg.p, Entry("回归方程", "80", "", "1", "", "", "-0.5", "0.05")).stored);
  EXPECT_EQ(reg.p.jackCoefficientC.load(), -0.5f);
  EXPECT_EQ(Text(reg.p, 15, 3), "-0.500000");
  EXPECT_EQ(reg.p.jackCoefficientD.load(), 0.05f);
  EXPECT_EQ(Text(reg.p, 16, 3), "0.050000");

  // The selection dialog's list stays in the channel.
  Channel listed(2);
  listed.p.jackText = "J1,J2";
  ASSERT_TRUE(ApplyLoadCoefficient(listed.p, Listed(Entry("回归方程", "80", "", "2", "", "", "0", "0.1"))).stored);
  EXPECT_EQ(listed.p.jackText, "J1,J2");
  EXPECT_EQ(Text(listed.p, 12, 1), "J1,J2");
}

TEST(LoadCoefficient, LongJackNumberRunsOnIntoRecord19) {
  Channel ch(0);
  JDQFile::SetHeaderText(ch.p.testRecords, 19, 3, "stale");
  SensorJackEntry e = Entry("计算", "80", "2", "1", "", "");
  e.jackNumber = "J0123456789ABCDEFGHIJKLMN";  // 25 characters
  ASSERT_TRUE(ApplyLoadCoefficient(ch.p, e).stored);
  EXPECT_EQ(std::string(ch.p.testRecords[12].text1, 20), "J0123456789ABCDEFGHI");  // no terminator
  EXPECT_EQ(Text(ch.p, 19, 3), "JKLMN");

  e.jackNumber = std::string(100, '7');  // at most 79 bytes are kept
  ASSERT_TRUE(ApplyLoadCoefficient(ch.p, e).stored);
  EXPECT_EQ(Text(ch.p, 19, 3), std::string(59, '7'));

  e.jackNumber = "J2";
  ASSERT_TRUE(ApplyLoadCoefficient(ch.p, e).stored);
  EXPECT_EQ(Text(ch.p, 12, 1), "J2");
  EXPECT_EQ(Text(ch.p, 19, 3), "");  // emptied
}

struct RefusalCase {
  const char* name;
  int sensorType;
  SensorJackEntry entry;
  const char* message;
};

std::ostream& operator<<(std::ostream& os, const RefusalCase& c) { return os << c.name; }

class Refused : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refused, ChannelKeepsWhatItHad) {
  const RefusalCase& c = GetParam();
  Channel ch(c.sensorType);
  const CoefficientResult r = ApplyLoadCoefficient(ch.p, c.entry);
  EXPECT_FALSE(r.stored);
  EXPECT_EQ(r.message, c.message);
  EXPECT_EQ(ch.p.headerFloat0, 9.0f);
  EXPECT_EQ(ch.p.jackText, "OLD");
  EXPECT_EQ(ch.p.sensorText, "S-OLD");
  EXPECT_EQ(ch.p.pressureMethod.load(), 2);
  EXPECT_EQ(ch.p.sensorCoefficient.load(), 1.5f);
  for (int k = 0; k < kHeaderRecordCount; ++k) {
    for (int f = 1; f <= 3; ++f) EXPECT_EQ(Text(ch.p, k, f), "") << k << "/" << f;
  }
  // The preview refuses to show a coefficient for the same entry.
  const PreviewResult v = PreviewCoefficient(c.sensorType, c.entry, PreviewFocus::None, std::nullopt, "");
  EXPECT_EQ(v.result, 0);
  EXPECT_EQ(v.coefficientText, "参数不全！");
  EXPECT_TRUE(v.messageFlag);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Refused,
    ::testing::Values(
        RefusalCase{"LoadCellRange", 0, Entry("计算", "0", "2.5", "1", "", ""), "荷重传感器满量程值要求大于零！"},
        RefusalCase{"LoadCellCoefficient", 0, Entry("计算", "80", "0", "1", "", ""), "荷重传感器标定系数要求大于零！"},
        RefusalCase{"LoadCellNegative", 0, Entry("计算", "80", "-2.5", "1", "", ""), "荷重传感器标定系数要求大于零！"},
        RefusalCase{"OilRange", 2, Entry("计算", "0.5", "", "1", "1000", "64"), "油压传感器满量程值要求大于零！"},
        RefusalCase{"Sensitivity10S", 1, Entry("计算", "80", "0", "1", "1000", "64"), "油压传感器灵敏度要求大于零！"},
        RefusalCase{"RatedOutput", 2, Entry("计算", "80", "", "1", "0", "64"), "千斤顶额定出力值要求大于零！"},
        RefusalCase{"RatedPressure", 1, Entry("计算", "80", "2", "1", "1000", "-1"), "千斤顶额定油压值要求大于零！"},
        RefusalCase{"SlopeZero", 2, Entry("回归方程", "80", "", "1", "", "", "0", "0"), "千斤顶回归方程系数b不能为零！"},
        RefusalCase{"SlopeTiny", 2, Entry("回归方程", "80", "", "1", "", "", "0", "0.000001"),
                    "千斤顶回归方程系数b不能为零！"},
        RefusalCase{"SlopeNegative", 2, Entry("回归方程", "80", "", "1", "", "", "0", "-1"),
                    "千斤顶回归方程系数b不能为零！"},
        RefusalCase{"RegressionSensitivity", 1, Entry("回归方程", "80", "0", "1", "", "", "0", "0.05"),
                    "油压传感器灵敏度要求大于零！"},
        RefusalCase{"Overflow", 2, Entry("计算", "80", "", "1", "1", "300000000000000000000000000000000000000"),
                    "标定系数计算结果无效！"}));

TEST(LoadCoefficient, OilSensorWithoutModeStoresNothing) {
  Channel ch(1);
  const CoefficientResult r = ApplyLoadCoefficient(ch.p, Entry("", "80", "2", "1", "1000", "64", "0", "0.05"));
  EXPECT_FALSE(r.stored);
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(ch.p.headerFloat0, 9.0f);
  EXPECT_EQ(ch.p.pressureMethod.load(), 2);
}

TEST(PreviewCoefficient, MissingEntries) {
  const SensorJackEntry entries[] = {
      Entry("计算", "80", "", "1", "", "64"),     // no rated output
      Entry("计算", "80", "2", "", "1000", "64"),  // no jack count
      Entry("计算", "80", "2.", "1", "1000", "64"),
  };
  for (const SensorJackEntry& e : entries) {
    const PreviewResult v = PreviewCoefficient(1, e, PreviewFocus::None, std::nullopt, "");
    EXPECT_EQ(v.result, 0);
    EXPECT_EQ(v.coefficientText, "参数不全！");
    EXPECT_EQ(v.message, "");
    EXPECT_TRUE(v.messageFlag);
  }
  // A load cell needs no jack data.
  EXPECT_EQ(PreviewCoefficient(0, Entry("计算", "80", "2", "1", "", ""), PreviewFocus::None, std::nullopt, "").result, 1);
}

TEST(PreviewCoefficient, FillsFromTheFoundDatabaseRecord) {
  const std::array<float, 4> sensor{80.0f, 1.882f, 0, 0};
  PreviewResult v = PreviewCoefficient(1, Entry("计算", "", "", "1", "1000", "64"), PreviewFocus::SensorNumber,
                                       sensor, "");
  EXPECT_EQ(v.entry.fullRange, "80");
  EXPECT_EQ(v.entry.sensitivity, "1.882");
  EXPECT_EQ(v.coefficientText, "1.807");  // 64 x 1.882 x 1200 / 80000

  v = PreviewCoefficient(2, Entry("计算", "", "", "1", "1000", "64"), PreviewFocus::SensorNumber, sensor, "");
  EXPECT_EQ(v.entry.fullRange, "80");
  EXPECT_EQ(v.entry.sensitivity, "");  // a 20S sensor has none

  const std::array<float, 4> jack{1500.0f, 63.5f, -0.5f, 0.05f};
  v = PreviewCoefficient(2, Entry("计算", "80", "", "1", "", ""), PreviewFocus::JackNumber, jack, "");
  EXPECT_EQ(v.entry.ratedOutput, "1500");
  EXPECT_EQ(v.entry.ratedPressure, "63.5");
  EXPECT_EQ(v.entry.constantA, "");
  v = PreviewCoefficient(2, Entry("回归方程", "80", "", "2", "", ""), PreviewFocus::JackNumber, jack, "");
  EXPECT_EQ(v.entry.constantA, "-0.5");
  EXPECT_EQ(v.entry.coefficientB, "0.05");
  EXPECT_EQ(v.entry.ratedOutput, "");
  EXPECT_EQ(v.coefficientText, "1.000");  // 0.05 x 40 / 2 jacks
  // The jack list exception reads the channel's stored number, not the edit.
  v = PreviewCoefficient(2, Entry("回归方程", "80", "", "2", "", ""), PreviewFocus::JackNumber, jack, "J1,J2");
  EXPECT_EQ(v.coefficientText, "2.000");

  // A load cell's dialog fills the jack fields of its mode too.
  v = PreviewCoefficient(0, Entry("计算", "80", "2", "1", "", ""), PreviewFocus::JackNumber, jack, "");
  EXPECT_EQ(v.entry.ratedOutput, "1500");
  EXPECT_EQ(v.entry.ratedPressure, "63.5");
  EXPECT_EQ(v.coefficientText, "2.000");
  v = PreviewCoefficient(0, Entry("回归方程", "80", "2", "1", "", ""), PreviewFocus::JackNumber, jack, "");
  EXPECT_EQ(v.entry.constantA, "-0.5");
  EXPECT_EQ(v.entry.coefficientB, "0.05");

  // Nothing found, nothing filled.
  v = PreviewCoefficient(2, Entry("计算", "80", "", "1", "", ""), PreviewFocus::JackNumber, std::nullopt, "");
  EXPECT_EQ(v.entry.ratedOutput, "");
  EXPECT_EQ(v.result, 0);
}

TEST(PreviewCoefficient, SlopeTooSmall) {
  const PreviewResult v =
      PreviewCoefficient(2, Entry("回归方程", "80", "", "1", "", "", "0", "0.000001"), PreviewFocus::None,
                         std::nullopt, "");
  EXPECT_EQ(v.result, 0);
  EXPECT_EQ(v.message, "千斤顶回归方程系数b不能为零！");
  EXPECT_EQ(v.coefficientText, "参数不全！");
}

TEST(IsJackList, CommaAfterTheFirstCharacter) {
  EXPECT_TRUE(IsJackList("J1,J2"));
  EXPECT_FALSE(IsJackList(",J2"));
  EXPECT_FALSE(IsJackList("J1"));
  EXPECT_FALSE(IsJackList(""));
}

}  // namespace
