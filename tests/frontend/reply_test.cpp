#include <gtest/gtest.h>

#include "frontend/reply.h"
#include "model/restore.h"
#include "platform/clock/clock.h"
#include "helpers.h"

using namespace frontend;
using testing_frontend::makeReply;
using testing_frontend::ReplyFields;
using testing_frontend::setUpChannel;

namespace {

struct ReplyFixture : ::testing::Test {
  Parameter p;
  void SetUp() override {
    setUpChannel(p, "1", "1");
    p.link.goodCount = 3;  // the next good reply carries readings
  }
  void feed(const ReplyFrame& r) { parseReply(p, r.data()); }
  void feed(const ReplyFields& s) { feed(makeReply(s)); }
};

}  // namespace

TEST_F(ReplyFixture, FirstThreeGoodRepliesCarryNoReadings) {
  p.link.goodCount = 0;
  ReplyFields s;
  s.force = 500;
  for (int i = 1; i <= 3; ++i) {
    feed(s);
    EXPECT_EQ(p.link.goodCount.load(), i);
    EXPECT_EQ(p.badFrame.load(), 1);
    EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 0.0f);
    EXPECT_EQ(p.link.replyAlive.load(), 1);
  }
  feed(s);
  EXPECT_EQ(p.badFrame.load(), 0);
  EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 500.0f);
  EXPECT_EQ(p.link.goodReplies1.load(), 4);
  EXPECT_EQ(p.repliesReceived.load(), 4);
  p.link.goodCount = 30;
  feed(s);
  EXPECT_EQ(p.link.goodCount.load(), 30);  // capped
}

TEST_F(ReplyFixture, BadRepliesOnlyCountAndFlag) {
  ReplyFields s;
  s.force = 500;
  ReplyFrame r = makeReply(s);
  r[31] ^= 1;
  feed(r);
  r = makeReply(s);
  r[0] = 0xAB;
  r[31] = byteSum(r.data(), 31);
  feed(r);
  EXPECT_EQ(p.link.errorCount.load(), 2);
  EXPECT_EQ(p.badFrame.load(), 1);
  EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 0.0f);
  EXPECT_EQ(p.link.goodCount.load(), 3);
}

TEST_F(ReplyFixture, ForceConversions) {
  struct Case {
    int type, method, raw;
    float coef, range, a, b, c, d, zero;
    int jacks;
    float load, pressure, k;
  } cases[] = {
      // load cell: k = coefficient / jacks
      {0, 1, 2000, 2.0f, 0, 0, 0, 0, 0, 0.0f, 1, 1000.0f, 0.0f, 2.0f},
      {0, 1, 2100, 2.0f, 0, 0, 0, 0, 0, 100.0f, 2, 2000.0f, 0.0f, 1.0f},
      {0, 1, 300, 0.0f, 0, 0, 0, 0, 0, 0.0f, 1, 300.0f, 0.0f, 1.0f},  // coefficient 0 counts as 1
      // 20S oil sensor, jack coefficients: pressure = net x range / 3200
      {2, 1, 800 + 3200, 0, 60.0f, 2.0f, 4.0f, 0, 0, 0.0f, 1, 120.0f, 60.0f, 26.666666f},
      // 10S: pressure = net x range / (coefficient x 1200)
      {1, 1, 2400, 2.0f, 60.0f, 1.0f, 1.0f, 0, 0, 0.0f, 1, 60.0f, 60.0f, 40.0f},
      // regression: load = (pressure - intercept) / slope, times the jacks
      {2, 3, 800 + 3200, 0, 60.0f, 0, 0, 10.0f, 0.5f, 0.0f, 2, 200.0f, 60.0f, 10.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " method " << c.method << " raw " << c.raw);
    p.forceSensorType = c.type;
    p.pressureMethod = c.method;
    p.sensorCoefficient = c.coef;
    p.sensorSetting = static_cast<int>(c.range);
    p.jackCoefficientA = c.a;
    p.jackCoefficientB = c.b;
    p.jackCoefficientC = c.c;
    p.jackCoefficientD = c.d;
    p.sensorTableA[0] = c.zero;
    p.jackSetting = c.jacks;
    ReplyFields s;
    s.force = c.raw;
    feed(s);
    EXPECT_NEAR(p.link.measuredLoad.load(), c.load, 1e-3);
    EXPECT_NEAR(p.link.measuredPressure.load(), c.pressure, 1e-3);
    EXPECT_NEAR(p.link.jackK.load(), c.k, 1e-3);
    EXPECT_EQ(p.link.forceConfigError.load(), 0);
  }
}

TEST_F(ReplyFixture, UnusableSensorSettingsKeepTheLoad) {
  ReplyFields s;
  s.force = 700;
  feed(s);
  ASSERT_FLOAT_EQ(p.link.measuredLoad.load(), 700.0f);
  p.forceSensorType = 2;
  p.pressureMethod = 1;
  p.sensorSetting = 60;
  for (float a : {0.0f, -1.0f}) {
    p.jackCoefficientA = a;
    p.jackCoefficientB = 1.0f;
    s.force = 5000;
    feed(s);
    EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 700.0f);
    EXPECT_FLOAT_EQ(p.link.jackK.load(), 1.0f);
    EXPECT_EQ(p.link.forceConfigError.load(), 1);
  }
  p.jackCoefficientA = 1.0f;
  p.sensorSetting = 0;  // range 0
  feed(s);
  EXPECT_EQ(p.link.forceConfigError.load(), 1);
  p.pressureMethod = 3;
  p.sensorSetting = 60;
  p.jackCoefficientD = 0.0f;  // slope 0
  feed(s);
  EXPECT_EQ(p.link.forceConfigError.load(), 1);
  EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 700.0f);
}

// Coefficients that are finite in double precision but not in single precision (or that vanish in it)
// give no conversion: the stored coefficient never becomes infinite or 0.
TEST_F(ReplyFixture, CoefficientsJudgedInSinglePrecision) {
  ReplyFields s;
  s.force = 700;
  feed(s);
  p.forceSensorType = 1;
  p.pressureMethod = 1;
  p.sensorSetting = 60;
  p.sensorCoefficient = 1.0e30f;
  struct Case {
    float a, b;
  };
  for (const Case c : {Case{1.0e30f, 1.0f}, Case{1.0e-30f, 1.0e30f}}) {
    p.jackCoefficientA = c.a;
    p.jackCoefficientB = c.b;
    s.force = 5000;
    feed(s);
    EXPECT_EQ(p.link.forceConfigError.load(), 1) << c.a;
    EXPECT_FLOAT_EQ(p.link.jackK.load(), 1.0f) << c.a;
    EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 700.0f) << c.a;
  }
}

TEST_F(ReplyFixture, ForceRawOfHighByte0x80IsZero) {
  ReplyFields s;
  ReplyFrame r = makeReply(s);
  r[1] = 0x00;
  r[2] = 0x80;
  r[31] = byteSum(r.data(), 31);
  feed(r);
  EXPECT_EQ(p.link.rawForce.load(), 0);
}

TEST_F(ReplyFixture, DisplacementsScaleDirectionZeroAndOffChannels) {
  ReplyFields s;
  s.gauges = {1008, 2016, 100, 0, 500, 600, 700, 800};
  p.sensorTableC[2] = -1;
  p.sensorTableA[3] = 0.5f;
  p.sensorTableB[3] = 0.25f;
  p.link.gaugeOn[3] = 0;
  p.link.gaugeOn[4] = 1;
  feed(s);
  EXPECT_NEAR(p.link.displacement[0].load(), 10.0013, 1e-3);
  EXPECT_NEAR(p.link.displacement[1].load(), -20.0025, 1e-3);
  EXPECT_NEAR(p.link.displacement[2].load(), 0.9922 - 0.5 + 0.25, 1e-3);
  EXPECT_FLOAT_EQ(p.link.displacement[3].load(), 0.0f);  // off
  EXPECT_EQ(p.link.rawHundredths[3].load(), 0);
  EXPECT_NEAR(p.link.displacement[4].load(), 4.9609, 1e-3);
  EXPECT_FLOAT_EQ(p.link.displacement[5].load(), 0.0f);
  EXPECT_NEAR(p.link.meanDisplacement.load(), (10.0013 - 20.0025 + 0.7422) / 3, 1e-3);
  EXPECT_NEAR(p.link.meanGroup1.load(), (10.0013 - 20.0025) / 2, 1e-3);
  EXPECT_NEAR(p.link.meanGroup2.load(), 0.7422, 1e-3);

  p.ParameterList.set(85, 2.0f);  // 0.01 mm per count
  feed(s);
  EXPECT_NEAR(p.link.displacement[0].load(), 10.08, 1e-4);
  p.standardCode = 3;  // thousandths
  feed(s);
  EXPECT_NEAR(p.link.displacement[0].load(), 1.008, 1e-4);
  EXPECT_EQ(p.link.rawHundredths[0].load(), 1008);
}

// The near-range flag compares the reading in millimetres with the range limit in millimetres, for
// the standards that count thousandths as for the others.
TEST_F(ReplyFixture, NearRangeInMillimetresForEveryStandard) {
  struct Case {
    int standard;
    int counts;  // 0.01 mm each (0.001 mm for the thousandths standards)
    int direction;
    bool near;
  } cases[] = {
      {1, 350, 1, false}, {1, 450, 1, true}, {1, -450, -1, true}, {1, 450, -1, false},
      {3, 3500, 1, false}, {3, 4500, 1, true}, {119, 3900, 1, false}, {119, 4100, 1, true},
      {58, -4500, -1, true},
  };
  p.ParameterList.set(85, 2.0f);
  p.protection3 = 4.0f;  // range limit, mm
  for (const Case& c : cases) {
    p.standardCode = c.standard;
    p.sensorTableC[1] = c.direction;
    ReplyFields s;
    s.gauges[0] = c.counts;
    feed(s);
    EXPECT_EQ(p.link.nearRange[0].load(), c.near ? 1 : 0) << c.standard << " " << c.counts << " " << c.direction;
  }
  p.protection3 = 0.0f;  // no limit
  feed(ReplyFields{});
  EXPECT_EQ(p.link.nearRange[0].load(), 0);
}

TEST_F(ReplyFixture, GroupsExchangedByItem98) {
  ReplyFields s;
  s.gauges = {100, 200, 300, 400, 1000, 2000, 3000, 4000};
  s.faults = 0x10;  // the fifth bit is gauge 1 once the nibbles are exchanged
  p.ParameterList.set(85, 2.0f);
  p.ParameterList.set(98, 1.0f);
  p.link.gaugeOn[4] = 1;
  feed(s);
  EXPECT_NEAR(p.link.displacement[0].load(), 10.0, 1e-4);
  EXPECT_NEAR(p.link.displacement[3].load(), 40.0, 1e-4);
  EXPECT_NEAR(p.link.displacement[4].load(), 1.0, 1e-4);
  EXPECT_EQ(p.link.sensorFault[0].load(), 1);
  EXPECT_EQ(p.link.sensorFault[4].load(), 0);
}

TEST_F(ReplyFixture, SpikeRejectedThreeTimesThenTaken) {
  p.ParameterList.set(85, 2.0f);
  ReplyFields s;
  s.gauges[0] = 1000;
  feed(s);
  s.gauges[0] = 6000;  // 60 mm
  for (int i = 0; i < 3; ++i) {
    feed(s);
    EXPECT_EQ(p.link.valid[0].load(), 0) << i;
    EXPECT_NEAR(p.link.displacement[0].load(), 10.0, 1e-4) << i;
    EXPECT_NEAR(p.link.unfiltered[0].load(), 60.0, 1e-4) << i;  // the unfiltered reading follows
  }
  feed(s);
  EXPECT_EQ(p.link.valid[0].load(), 1);
  EXPECT_NEAR(p.link.displacement[0].load(), 60.0, 1e-4);
}

TEST_F(ReplyFixture, HistoryFilterHoldsAJumpAndMarksAGaugeThatKeepsJumping) {
  p.ParameterList.set(85, 2.0f);
  p.testRunning = 1;
  ReplyFields s;
  for (int i = 0; i < 16; ++i) {
    s.gauges[0] = 1000 + i / 4;
    feed(s);
  }
  s.gauges[0] = 1500;  // a jump of 5 mm is held back
  feed(s);
  EXPECT_NEAR(p.link.displacement[0].load(), 10.03, 1e-4);
  EXPECT_NEAR(p.link.unfiltered[0].load(), 15.0, 1e-4);
  EXPECT_EQ(p.link.stuck[0].load(), 0);
  for (int i = 0; i < 70; ++i) {
    s.gauges[0] = i % 2 ? 1000 : 1500;
    feed(s);
  }
  EXPECT_EQ(p.link.stuck[0].load(), 1);
  for (int i = 0; i < 5; ++i) feed(s);  // steady again
  EXPECT_EQ(p.link.stuck[0].load(), 0);
}

// The filter judges a gauge by the replies before it. After a pause, or after replies that stopped for
// longer than ten seconds, that series is over: the first reply after it is taken as it is, and no
// gauge keeps its value from before. Replies a second apart hold the same jump back.
TEST_F(ReplyFixture, FilterStartsAfreshAfterAPauseOrAGapOfTheReplies) {
  namespace clk = platform::clock;
  struct Case {
    const char* name;
    bool pause;
    std::uint64_t gapMs;
    double shown;  // gauge 1 after the jump
  } cases[] = {{"pause", true, 1000, 15.0}, {"gap of the replies", false, 10001, 15.0}, {"next second", false, 1000, 10.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clk::configure(clk::Mode::Manual);
    Parameter q;
    setUpChannel(q, "1", "1");
    q.link.goodCount = 3;
    q.ParameterList.set(85, 2.0f);
    q.testRunning = 1;
    ReplyFields s;
    s.gauges[0] = 1000;
    for (int i = 0; i < 20; ++i) {
      clk::advance(1000);
      parseReply(q, makeReply(s).data());
    }
    s.gauges[0] = 1500;
    if (c.pause) {
      q.paused = 1;
      clk::advance(1000);
      parseReply(q, makeReply(s).data());
      EXPECT_NEAR(q.link.displacement[0].load(), 15.0, 1e-4);  // no filter while paused
      q.paused = 0;
    }
    clk::advance(c.gapMs);
    parseReply(q, makeReply(s).data());
    EXPECT_NEAR(q.link.displacement[0].load(), c.shown, 1e-4);
  }
}

TEST_F(ReplyFixture, ControllerStateBytes) {
  ReplyFields s;
  s.pump = 0xF3;
  s.valve = 17;
  s.faults = 0x05;
  s.status27 = 2;
  s.status28 = 3;
  s.battery = 0x51;  // valid, on battery, level 1
  feed(s);
  EXPECT_EQ(p.link.pumpState.load(), 0xF3);
  EXPECT_EQ(p.link.valveByte.load(), 18);
  EXPECT_EQ(p.link.sensorFault[0].load(), 1);
  EXPECT_EQ(p.link.sensorFault[1].load(), 0);
  EXPECT_EQ(p.link.sensorFault[2].load(), 1);
  EXPECT_EQ(p.link.status27.load(), 2);
  EXPECT_EQ(p.link.status28.load(), 1);
  EXPECT_EQ(p.batteryLevel.load(), 1);
  EXPECT_EQ(p.onBattery.load(), 1);
  EXPECT_EQ(p.batteryValid.load(), 1);
  p.loadingMode = 2;
  s.valve = 1;  // the controller stopped its pump
  feed(s);
  EXPECT_EQ(p.link.pumpState.load(), 255);
  EXPECT_EQ(p.link.valveByte.load(), 17);
  EXPECT_EQ(p.pumpForcedStop.load(), 64);
  EXPECT_EQ(p.link.stopState.load(), 3);
}

TEST_F(ReplyFixture, TextReplies) {
  auto text = [&](const std::string& chars) {
    ReplyFrame r{};
    r[0] = 0xAA;
    for (size_t i = 0; i < chars.size() && i < 29; ++i)
      if (i + 1 < 23 || i + 1 > 25) r[i + 1] = static_cast<std::uint8_t>(chars[i]);
    packControllerNumber("1", &r[23]);
    r[30] = 0xAA;
    r[31] = byteSum(r.data(), 31);
    return r;
  };
  feed(text("V1.02"));
  EXPECT_EQ(p.positionFix.load(), 0);
  EXPECT_EQ(p.link.goodCount.load(), 4);
  feed(text("3030.6000,N,11430.3,E"));
  EXPECT_EQ(p.positionFix.load(), 1);
  EXPECT_NEAR(p.link.controllerLatitude.load(), 30.51, 1e-5);
  EXPECT_NEAR(p.link.controllerLongitude.load(), 114.505, 1e-4);
  EXPECT_EQ(p.link.positionCounter.load(), 1);
  // The GPS module's position is its own.
  EXPECT_FLOAT_EQ(p.latitude.load(), 0.0f);
  EXPECT_FLOAT_EQ(p.longitude.load(), 0.0f);
  // Replies without their commas or digits are ignored.
  p.link.controllerLatitude = 0.0f;
  for (const char* bad : {"3030.6000N11430.3E", "30x0.6000,N,11430.3,E", ",,,", "3030.6000,N,,E"}) {
    feed(text(bad));
    EXPECT_FLOAT_EQ(p.link.controllerLatitude.load(), 0.0f) << bad;
  }
  EXPECT_FALSE(parsePositionField("30.1").has_value());
  EXPECT_NEAR(*parsePositionField("11430.3"), 114.505, 1e-6);
}

TEST(LinkInputs, GaugeFlagsFromHeaderRecordsAndCoefficientText) {
  Parameter p;
  p.testRecords.resize(kHeaderRecordCount);
  p.testRecords[31].text1[0] = '1';
  p.testRecords[33].text1[0] = '1';
  p.testRecords[21].text2[0] = '1';
  p.forceSensorType = 2;
  p.link.jackK = 26.666666f;
  refreshLinkInputs(p);
  EXPECT_EQ(p.link.gaugeOn[0].load(), 1);
  EXPECT_EQ(p.link.gaugeOn[1].load(), 0);
  EXPECT_EQ(p.link.gaugeOn[2].load(), 1);
  EXPECT_EQ(p.link.gaugeOn[4].load(), 1);
  EXPECT_EQ(p.link.gaugeOn[5].load(), 0);
  EXPECT_STREQ(p.testRecords[0].text2, "26.666666");
}

// A load cell's coefficient goes into header record 0 as an oil-pressure sensor's does, and a restore
// of the test's settings reads it back.
TEST(LinkInputs, LoadCellCoefficientInHeaderRecordZeroAndItsRestore) {
  Parameter p;
  p.ParameterList.extendWithDefaults();
  p.testRecords.resize(kHeaderRecordCount);
  setUpChannel(p, "1", "1");
  p.forceSensorType = 0;
  p.sensorCoefficient = 2.5f;
  p.jackSetting = 2;
  p.link.goodCount = 3;
  ReplyFields s;
  s.force = 500;
  parseReply(p, makeReply(s).data());
  EXPECT_FLOAT_EQ(p.link.jackK.load(), 1.25f);
  EXPECT_FLOAT_EQ(p.link.measuredLoad.load(), 400.0f);
  refreshLinkInputs(p);
  EXPECT_STREQ(p.testRecords[0].text2, "1.250000");
  Parameter restored;
  restored.ParameterList.extendWithDefaults();
  JDQFile::RestoreSettingsFromHeader(restored, p.testRecords);
  EXPECT_FLOAT_EQ(restored.headerFloat0, 1.25f);

  // A pressure method that derives no load (rating data) leaves the record as it was.
  p.forceSensorType = 1;
  p.pressureMethod = 2;
  p.link.jackK = 7.0f;
  refreshLinkInputs(p);
  EXPECT_STREQ(p.testRecords[0].text2, "1.250000");
}
