#include <gtest/gtest.h>

#include "frontend/command.h"
#include "frontend/reply.h"
#include "helpers.h"

using namespace frontend;
using testing_frontend::setUpChannel;

namespace {

int at(const CommandFrame& f, int i) { return decodeValue16(&f[static_cast<size_t>(i)]); }

// A running test: control load 1000, step load 200, re-load limit 50, maximum 2000 (factor 0.2),
// a load cell with k = 1 and no zero, so a load v is sent as int(v) + 1.
struct CommandFixture : ::testing::Test {
  Parameter p;
  void SetUp() override {
    setUpChannel(p, "123456", "1");
    p.testRunning = 1;
    p.controlLoad = 1000.0f;
    p.previousLoad = 1000.0f;
    p.stepLoad1 = 50.0f;
    p.stepLoad2 = 200.0f;
    p.stepLoad3 = 2000.0f;
    p.link.valveByte = 18;
    p.link.measuredLoad = 900.0f;
  }
  CommandFrame build(int mode, int phase, int code = 0) {
    p.loadingMode = mode;
    p.loadingPhase = phase;
    p.standardCode = code;
    return buildCommand(p).frame;
  }
};

}  // namespace

TEST(CommandStep, LowerLimitFactor) {
  EXPECT_FLOAT_EQ(lowerLimitFactor(5000.0f), 0.2f);
  EXPECT_FLOAT_EQ(lowerLimitFactor(5000.5f), 0.1f);
  EXPECT_FLOAT_EQ(lowerLimitFactor(10000.0f), 0.1f);
  EXPECT_FLOAT_EQ(lowerLimitFactor(10001.0f), 0.05f);
}

TEST_F(CommandFixture, LoadsPerPhaseAndMode) {
  struct Case {
    int mode, phase, code;
    int T, R, W;
    int stateCode;
  } cases[] = {
      {0, 0, 0, 1, 51, 1, 0xFF},          {0, 1, 0, 1001, 1001, 961, 0xFF},
      {1, 1, 0, 1001, 1001, 961, 0xF0},   {0, 2, 0, 976, 951, 961, 0xFF},
      {1, 3, 0, 976, 951, 961, 0xF0},     {1, 5, 0, 1051, 1051, 1051, 0x00},
      {1, 6, 62, 51, 51, 51, 0x00},       {0, 5, 0, 1001, 1001, 921, 0x0F},
      {0, 5, 76, 1, 1, -79, 0x0F},        {0, 6, 0, 951, 951, 921, 0x0F},
      {0, 7, 144, -49, -49, -79, 0x0F},   {2, 1, 0, 1001, 51, -1, 0xF5},
      {2, 3, 0, 1001, 51, -1, 0x55},      {2, 5, 0, 1001, 51, -1, 0x05},
      {3, 6, 62, 1, 51, -1, 0xA6},
  };
  for (const auto& c : cases) {
    CommandFrame f = build(c.mode, c.phase, c.code);
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " phase " << c.phase << " code " << c.code);
    EXPECT_EQ(f[0], 0xAA);
    EXPECT_EQ(at(f, 4), c.T);
    EXPECT_EQ(at(f, 6), c.R);
    if (c.W != -1) {
      EXPECT_EQ(at(f, 8), c.W);
    }
    EXPECT_EQ(f[12], c.stateCode);
    EXPECT_EQ(f[21], byteSum(f.data(), 21));
    EXPECT_EQ(f[13], 0x12);
    EXPECT_EQ(f[14], 0x34);
    EXPECT_EQ(f[15], 0x56);
  }
}

TEST_F(CommandFixture, ModesTwoAndThreeCarryStatusFlagsInByte8) {
  CommandFrame f = build(2, 2);
  EXPECT_EQ(f[8], 1);
  EXPECT_EQ(f[9], 0);
  p.stepLoad3 = 8000.0f;
  f = build(3, 6, 62);  // target 0 in the unloading of these standards
  EXPECT_EQ(f[8], 32);
  p.stepLoad3 = 20000.0f;
  f = build(3, 2);
  EXPECT_EQ(f[8], 1 + 48);
}

TEST_F(CommandFixture, StateCodeKeptPerChannelWhereThePhaseGivesNone) {
  Parameter other;
  setUpChannel(other, "2", "2");
  other.testRunning = 1;
  other.loadingMode = 1;
  other.loadingPhase = 1;
  EXPECT_EQ(buildCommand(other).frame[12], 0xF0);
  build(0, 2);                             // this channel last sent 0xFF
  EXPECT_EQ(build(0, 4)[12], 0xFF);        // phase 4 keeps its own code, not the other channel's
  other.loadingPhase = 4;
  EXPECT_EQ(buildCommand(other).frame[12], 0xF0);
}

TEST_F(CommandFixture, PumpCommandAndValveByte) {
  CommandFrame f = build(0, 1);
  EXPECT_EQ(p.pumpCommand.load(), 110);  // int(1000 - 900 + 10)
  EXPECT_EQ(f[2], 18);
  build(0, 2);
  EXPECT_EQ(p.pumpCommand.load(), 10);
  f = build(0, 4);
  EXPECT_EQ(p.pumpCommand.load(), 0);
  EXPECT_EQ(f[2], 0);

  p.link.manualOverride = 1;
  f = build(0, 2);
  EXPECT_EQ(f[2], 255);
  EXPECT_EQ(p.pumpCommand.load(), 255);
  p.pumpForcedStop = 64;  // a forced stop wins over the manual override
  f = build(0, 2);
  EXPECT_EQ(f[2], 0);
  EXPECT_EQ(p.pumpCommand.load(), 0);
  p.pumpForcedStop = 0;
  p.link.manualOverride = 0;

  for (auto stop : {0, 1, 2, 3}) {
    p.link.replyAlive = stop == 0 ? 0 : 1;
    p.paused = stop == 1 ? 1 : 0;
    p.link.pumpBlock = stop == 2 ? 1 : 0;
    p.link.measuredPressure = stop == 3 ? -10.0f : 0.0f;
    f = build(0, 1);
    EXPECT_EQ(f[2], 0) << stop;
    EXPECT_EQ(p.pumpCommand.load(), 0) << stop;
  }
  p.link.replyAlive = 1;
  p.paused = 0;
  p.link.pumpBlock = 0;
  p.link.measuredPressure = 0.0f;
  p.link.pumpState = 0;  // the controller reports neither running nor ready
  f = build(0, 1);
  EXPECT_EQ(f[2], 18);
  EXPECT_EQ(p.pumpCommand.load(), 0);
}

TEST_F(CommandFixture, IdleChannelClearsBytes2To9AndStillSendsProtectionAndStateCode) {
  p.protectionSetting = 300;
  build(2, 3);  // while running this channel sent 0x55
  p.testRunning = 0;
  p.link.auxOutput = 255;
  struct Case {
    int mode, phase, stateCode;
  } cases[] = {{0, 2, 0xFF}, {1, -1, 0xF0}, {0, 5, 0x0F}, {2, 0, 0x00}, {3, 1, 0xF6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " phase " << c.phase);
    CommandFrame f = build(c.mode, c.phase);
    for (int i = 2; i <= 9; ++i) EXPECT_EQ(f[static_cast<size_t>(i)], 0) << i;
    EXPECT_EQ(at(f, 10), 300);
    EXPECT_EQ(f[12], c.stateCode);
    EXPECT_EQ(f[21], byteSum(f.data(), 21));
  }
}

TEST_F(CommandFixture, RefillUnitModeReachesThePollThreadAfterARestart) {
  // A restored channel has item 58 set but the link copy still at its default: the user-interface
  // tick hands it over, so the re-load limit is read as a percentage again.
  p.criterionMode1 = 1;
  p.link.reloadPercent = 0;
  refreshLinkInputs(p);
  EXPECT_EQ(p.link.reloadPercent.load(), 1);
  p.criterionMode1 = 0;
  refreshLinkInputs(p);
  EXPECT_EQ(p.link.reloadPercent.load(), 0);
}

TEST_F(CommandFixture, PlateAreaSaturationAndJackCoefficient) {
  p.testType = 0;
  p.setupValue = 2.0f;
  refreshLinkInputs(p);  // the user-interface tick hands the plate area to the poll thread
  EXPECT_EQ(at(build(0, 1), 4), 2001);
  p.setupValue = 0.0f;  // an area of 0 counts as 1
  refreshLinkInputs(p);
  EXPECT_EQ(at(build(0, 1), 4), 1001);
  p.testType = 1;
  p.controlLoad = 4000.0f;
  p.link.jackK = 10.0f;  // 40000 counts do not fit: the largest value is sent
  CommandFrame f = build(0, 1);
  EXPECT_EQ(f[4], 0xFF);
  EXPECT_EQ(f[5], 0x7F);
  EXPECT_EQ(at(f, 16), 10000);
  p.link.jackK = 40.0f;  // 40000 for k x 1000 saturates too
  EXPECT_EQ(at(build(0, 1), 16), 32767);
}

TEST_F(CommandFixture, CountsAndCoefficientTruncateTheSinglePrecisionProduct) {
  // 0.29f is 0.28999999...: its product with 1000 must still count as 290.
  p.link.jackK = 0.29f;
  p.forceSensorType = 1;
  p.sensorCoefficient = 0.29f;
  p.link.rotatingCounter = 1;  // the next kind is 16 (sensor coefficient)
  CommandFrame f = build(0, 1);
  EXPECT_EQ(at(f, 4), 291);  // int(1000 x 0.29) + 1
  EXPECT_EQ(f[18] & 0x70, 16);
  EXPECT_EQ(at(f, 19), 290);
  EXPECT_EQ(at(f, 16), 290);
}

TEST_F(CommandFixture, Byte18FlagsAndRotatingValues) {
  p.ParameterList.set(85, 2.0f);
  p.forceSensorType = 2;
  p.sensorCoefficient = 1.5f;
  p.sensorTableA[0] = 321.0f;
  p.ParameterList.set(100, 7.0f);
  p.ParameterList.set(101, 9.0f);
  p.link.levelNumber = 1;
  std::vector<int> kinds;
  std::vector<int> values;
  for (int i = 0; i < 5; ++i) {
    CommandFrame f = build(2, 2, 3);
    EXPECT_EQ(f[18] & 0x0F, 1 + 2 + 4 + 8);
    kinds.push_back(f[18] & 0x70);
    values.push_back(at(f, 19));
  }
  EXPECT_EQ(kinds, (std::vector<int>{16, 32, 48, 64, 16}));
  EXPECT_EQ(values[0], 1500);
  EXPECT_EQ(values[1], 321);
  EXPECT_EQ(values[2], 7);
  EXPECT_EQ(values[3], 9);
  EXPECT_EQ(values[4], 1500);
  p.link.rotatingCounter = 0;
  kinds.clear();
  for (int i = 0; i < 3; ++i) kinds.push_back(build(0, 2)[18] & 0x70);
  EXPECT_EQ(kinds, (std::vector<int>{32, 16, 32}));
  // The first-level bit in modes 0 and 1 only in phase 1.
  EXPECT_EQ(build(0, 2)[18] & 1, 0);
  EXPECT_EQ(build(0, 1)[18] & 1, 1);
}

TEST_F(CommandFixture, ChannelMaskNibblesExchangedByItem98) {
  p.channelMask = 0x21;
  EXPECT_EQ(build(0, 1)[1], 0x21);
  p.ParameterList.set(98, 1.0f);
  EXPECT_EQ(build(0, 1)[1], 0x12);
}

TEST_F(CommandFixture, PhaseChanges) {
  p.link.goodCount = 4;
  p.previousLoad = 800.0f;
  build(0, 2);
  EXPECT_EQ(p.loadingPhase.load(), 1);  // a new loading level
  EXPECT_FLOAT_EQ(p.previousLoad.load(), 1000.0f);
  EXPECT_EQ(p.link.levelChange.load(), 1);

  p.link.levelChange = 0;
  p.controlLoad = 1000.004f;  // the same hundredth: no new level
  build(0, 2);
  EXPECT_EQ(p.link.levelChange.load(), 0);

  p.link.measuredLoad = 1000.5f;
  build(0, 1);
  EXPECT_EQ(p.loadingPhase.load(), 2);
  EXPECT_EQ(p.link.reached.load(), 1);

  p.link.measuredLoad = 940.0f;  // fell more than L under the control load
  build(0, 2);
  EXPECT_EQ(p.loadingPhase.load(), 3);
  p.link.measuredLoad = 980.0f;  // back within 0.5 L
  build(0, 3);
  EXPECT_EQ(p.loadingPhase.load(), 2);

  p.controlLoad = 800.0f;  // an unloading level
  p.link.measuredLoad = 1000.0f;
  build(0, 2);
  EXPECT_EQ(p.loadingPhase.load(), 5);
  EXPECT_EQ(p.link.levelChange.load(), 2);
  p.link.measuredLoad = 890.0f;  // within C + 2L
  build(0, 5);
  EXPECT_EQ(p.loadingPhase.load(), 6);

  // No phase changes until more than three good replies came.
  p.link.goodCount = 3;
  p.controlLoad = 1200.0f;
  build(0, 2);
  EXPECT_EQ(p.loadingPhase.load(), 2);
}

TEST_F(CommandFixture, PreloadEndsAtItsValue) {
  p.testRunning = 0;
  p.preloadRunning = 1;
  p.preloadValue = 300.0f;
  p.link.measuredLoad = 100.0f;
  CommandOutcome o = buildCommand(p);
  EXPECT_EQ(at(o.frame, 4), 301);
  EXPECT_EQ(at(o.frame, 6), 301);
  EXPECT_EQ(p.pumpCommand.load(), 255);
  EXPECT_FALSE(o.alarm);
  p.link.measuredLoad = 300.0f;
  o = buildCommand(p);
  EXPECT_TRUE(o.alarm);
  EXPECT_EQ(p.preloadRunning.load(), 0);
  EXPECT_EQ(p.preloadEnded.load(), 1);
  EXPECT_EQ(p.pumpCommand.load(), 0);
}

TEST(CommandStep, RatingTableInterpolatesAndExtends) {
  Parameter p;
  setUpChannel(p, "1", "1");
  p.pressureMethod = 2;
  // Forces 0, 100, 200 read as 10, 110, 230.
  p.jackCalibration[1] = 100.0f;
  p.jackCalibration[2] = 200.0f;
  p.jackCalibration[11] = 10.0f;
  p.jackCalibration[12] = 110.0f;
  p.jackCalibration[13] = 230.0f;
  EXPECT_FLOAT_EQ(mapThroughRatingTable(p, 50.0f), 60.0f);
  EXPECT_FLOAT_EQ(mapThroughRatingTable(p, 150.0f), 170.0f);
  EXPECT_FLOAT_EQ(mapThroughRatingTable(p, 300.0f), 350.0f);  // along the last segment
  EXPECT_FLOAT_EQ(mapThroughRatingTable(p, -100.0f), -90.0f);
  EXPECT_EQ(loadToCounts(p, 150.0f), 171);
}

TEST(CommandStep, LevelChangeSetsTimingOnTheUiThread) {
  Parameter p;
  p.standardCode = 0;
  for (int i = 0; i < 9; ++i) p.levelLoads[static_cast<size_t>(i)] = 100.0f * (i + 1);
  p.controlLoad = 250.0f;
  p.link.levelChange = 1;
  int idx = -1;
  EXPECT_EQ(takeLevelChange(p, &idx), 1);
  EXPECT_EQ(idx, 1);
  EXPECT_EQ(p.holdMinutes.load(), 60);
  p.controlLoad = 700.0f;
  p.link.levelChange = 1;
  EXPECT_EQ(takeLevelChange(p, &idx), 1);
  EXPECT_EQ(idx, 5);
  EXPECT_EQ(p.holdMinutes.load(), 120);
  EXPECT_EQ(takeLevelChange(p, &idx), 0);  // taken once
}
