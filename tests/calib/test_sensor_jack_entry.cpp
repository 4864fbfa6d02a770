#include <gtest/gtest.h>

#include "calib/sensor_jack_entry.h"

#include <cstring>
#include <ostream>
#include "model/datafiles.h"

namespace {

std::string Text(const Parameter& p, int record, int field) { return JDQFile::HeaderText(p.testRecords, record, field); }

struct Channel {
  Parameter p;
  explicit Channel(int sensorType) {
    p.testRecords.assign(kHeaderRecordCount, JDQFile::BlankTestRecord());
    p.ParameterList.setChannelNumber(1);
    p.ParameterList.extendWithDefaults();
    p.forceSensorType = sensorType;
    p.headerFloat0 = 9.0f;
    p.jackText = "OLD";
    p.protectionSetting = 90;
    p.protection1 = 40.0f;
  }
};

SensorJackEntry Entry(const char* mode, const char* range, const char* sens, const char* count, const char* out,
                      const char* pressure, const char* a = "", const char* b = "") {
  SensorJackEntry e;
  e.mode = mode;
  e.sensorNumber = "S-1";
  e.fullRange = range;
  e.sensitivity = sens;
  e.jackCount = count;
  e.ratedOutput = out;
  e.ratedPressure = pressure;
  e.constantA = a;
  e.coefficientB = b;
  e.jackNumber = "J-1";
  return e;
}

ProtectionEntry Protection() { return {"120", "50.5", "12", "45", "30"}; }

struct Case {
  const char* name;
  int type;
  SensorJackEntry entry;
  ProtectionEntry protection;
  const char* message;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

class Refusal : public ::testing::TestWithParam<Case> {};

// Each refusal in its order, and the channel keeps everything it had.
TEST_P(Refusal, NamesTheFirstFaultAndStoresNothing) {
  const Case& c = GetParam();
  Channel ch(c.type);
  const std::vector<TestRecord> before = ch.p.testRecords;
  const SensorJackApplyResult r = ApplySensorJackEntry(ch.p, c.entry, c.protection);
  EXPECT_FALSE(r.stored);
  EXPECT_EQ(r.message, c.message);
  EXPECT_EQ(ch.p.headerFloat0, 9.0f);
  EXPECT_EQ(ch.p.jackText, "OLD");
  EXPECT_EQ(ch.p.protectionSetting.load(), 90);
  EXPECT_EQ(ch.p.protection1.load(), 40.0f);
  for (std::size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(std::memcmp(&before[i], &ch.p.testRecords[i], sizeof(TestRecord)), 0) << i;
}

ProtectionEntry With(int field, const char* v) {
  ProtectionEntry e = Protection();
  std::string* f[] = {&e.loadingTime, &e.maxSettlement, &e.uneven, &e.rangeAlarm, &e.upliftAlarm};
  *f[field] = v;
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    SensorJackEntry, Refusal,
    ::testing::Values(
        Case{"cellRange", 0, Entry("计算", "", "x", "1", "", ""), Protection(), "荷重传感器满量程值要求为数字！"},
        Case{"cellCoefficient", 0, Entry("计算", "500", "2.", "1", "", ""), Protection(), "荷重传感器标定系数要求为数字！"},
        Case{"cellCoefficientZero", 0, Entry("计算", "500", "0", "1", "", ""), Protection(), "荷重传感器标定系数要求大于零！"},
        Case{"oilRange", 1, Entry("计算", "8a", "1.8", "1", "1000", "64"), Protection(), "油压传感器满量程值要求为数字！"},
        Case{"oilSensitivity", 1, Entry("计算", "80", "", "1", "1000", "64"), Protection(), "油压传感器灵敏度要求为数字！"},
        Case{"count", 2, Entry("计算", "80", "", "", "1000", "64"), Protection(), "千斤顶个数不能为空！"},
        Case{"output", 2, Entry("计算", "80", "", "1", ".5", "64"), Protection(), "千斤顶额定出力值要求为数字！"},
        Case{"pressure", 2, Entry("计算", "80", "", "1", "1000", "6-4"), Protection(), "千斤顶额定油压值要求为数字！"},
        Case{"outputZero", 2, Entry("计算", "80", "", "1", "0", "64"), Protection(), "千斤顶额定出力值要求大于零！"},
        Case{"regressionSensitivity", 1, Entry("回归方程", "80", "", "1", "", "", "0", "0.05"), Protection(),
             "油压传感器灵敏度要求为数字！"},
        Case{"a", 2, Entry("回归方程", "80", "", "1", "", "", "", "0.05"), Protection(), "千斤顶回归方程常数a要求为数字！"},
        Case{"b", 2, Entry("回归方程", "80", "", "1", "", "", "-0.5", "b"), Protection(), "千斤顶回归方程系数b要求为数字！"},
        Case{"bTiny", 2, Entry("回归方程", "80", "", "1", "", "", "0", "0.000001"), Protection(),
             "千斤顶回归方程系数b不能为零！"},
        Case{"bNegative", 2, Entry("回归方程", "80", "", "1", "", "", "0", "-1"), Protection(),
             "千斤顶回归方程系数b不能为零！"},
        Case{"regressionCount", 2, Entry("回归方程", "80", "", "", "", "", "0", "0.05"), Protection(),
             "千斤顶个数不能为空！"},
        Case{"time", 0, Entry("计算", "500", "2", "1", "", ""), With(0, ""), "加载保护时间要求为不小于零的数字！"},
        Case{"settlement", 0, Entry("计算", "500", "2", "1", "", ""), With(1, "-1"), "最大沉降允许值要求为不小于零的数字！"},
        Case{"uneven", 0, Entry("计算", "500", "2", "1", "", ""), With(2, "1..2"), "不均匀沉降允许值要求为不小于零的数字！"},
        Case{"range", 0, Entry("计算", "500", "2", "1", "", ""), With(3, "a"), "位移量程报警值要求为不小于零的数字！"},
        Case{"uplift", 0, Entry("计算", "500", "2", "1", "", ""), With(4, "-0.1"), "锚桩上拔报警值要求为不小于零的数字！"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SensorJackEntry, StoresProtectionCoefficientAndHeaderTexts) {
  Channel ch(2);
  // A negative constant a is a number like any other; a jack count of 0 is taken as one jack.
  const SensorJackApplyResult r =
      ApplySensorJackEntry(ch.p, Entry("回归方程", "80", "", "0", "", "", "-0.5", "0.05"), Protection());
  ASSERT_TRUE(r.stored) << r.message;
  EXPECT_FALSE(r.headerTextsRewritten);
  EXPECT_FLOAT_EQ(ch.p.headerFloat0, 2.0f);
  EXPECT_EQ(ch.p.jackSetting.load(), 1);
  EXPECT_EQ(Text(ch.p, 6, 1), "0");
  EXPECT_EQ(Text(ch.p, 0, 2), "2.000000");
  EXPECT_EQ(ch.p.protectionSetting.load(), 120);
  EXPECT_EQ(ch.p.ParameterList.item(30), 120.0f);
  EXPECT_EQ(ch.p.ParameterList.item(28), 50.5f);
  EXPECT_EQ(ch.p.ParameterList.item(29), 12.0f);
  EXPECT_EQ(ch.p.ParameterList.item(31), 45.0f);
  EXPECT_EQ(ch.p.ParameterList.item(32), 30.0f);
  EXPECT_EQ(ch.p.protection1.load(), 50.5f);
  EXPECT_EQ(ch.p.protection2.load(), 12.0f);
  EXPECT_EQ(ch.p.protection3.load(), 45.0f);
  EXPECT_EQ(ch.p.protection4.load(), 30.0f);
  EXPECT_EQ(Text(ch.p, 10, 2), "120");
  EXPECT_EQ(Text(ch.p, 8, 2), "50.50");
  EXPECT_EQ(Text(ch.p, 9, 2), "12.00");
  EXPECT_EQ(Text(ch.p, 11, 2), "45.00");
  EXPECT_EQ(Text(ch.p, 12, 2), "30.00");
}

TEST(SensorJackEntry, TypedDecimalsAreKeptInTheHeaderAndComeBackFromIt) {
  // The sensitivity and the jack's rated values as typed, with more decimals than the usual texts;
  // taken back from the header (a restart during the test) and from a header built from the saved
  // items (a restart before the start) they are the same numbers.
  Channel ch(1);
  const SensorJackApplyResult r =
      ApplySensorJackEntry(ch.p, Entry("计算", "80", "1.8825", "1", "1000.5", "63.125"), Protection());
  ASSERT_TRUE(r.stored) << r.message;
  EXPECT_EQ(Text(ch.p, 11, 3), "1.8825");
  EXPECT_EQ(Text(ch.p, 15, 1), "1000.5");
  EXPECT_EQ(Text(ch.p, 14, 1), "63.125");
  Parameter fromFile;
  fromFile.testRecords = ch.p.testRecords;
  JDQFile::RestoreFromHeader(fromFile, fromFile.testRecords);
  Parameter fromItems;
  fromItems.ParameterList.setChannelNumber(1);
  fromItems.ParameterList.extendWithDefaults();
  JDQFile::PackParameters(ch.p, fromItems.ParameterList);
  ASSERT_EQ(JDQFile::BuildHeaderRecords(fromItems), 1);
  JDQFile::RestoreFromHeader(fromItems, fromItems.testRecords);
  for (const Parameter* q : {&fromFile, &fromItems}) {
    EXPECT_EQ(q->sensorCoefficient.load(), 1.8825f);
    EXPECT_EQ(q->jackCoefficientB.load(), 1000.5f);
    EXPECT_EQ(q->jackCoefficientA.load(), 63.125f);
  }
}

TEST(SensorJackEntry, OilSensorWithoutModeKeepsItsDataButTakesTheProtection) {
  Channel ch(1);
  const SensorJackApplyResult r = ApplySensorJackEntry(ch.p, Entry("", "80", "1.8", "1", "", "", "0", "0.05"), Protection());
  EXPECT_TRUE(r.stored);
  EXPECT_EQ(ch.p.headerFloat0, 9.0f);
  EXPECT_EQ(ch.p.jackText, "OLD");
  EXPECT_EQ(ch.p.protectionSetting.load(), 120);
}

}  // namespace
