#include <gtest/gtest.h>

#include "frontend/command.h"
#include "sim/controller.h"

using frontend::decodeValue16;

namespace {

struct ControllerFixture : ::testing::Test {
  Parameter p;
  sim::Controller c{"123456"};
  std::uint64_t now = 0;
  void SetUp() override {
    p.controllerNumber = "123456";
    p.testRunning = 1;
    p.loadingMode = 0;
    p.loadingPhase = 1;
    p.controlLoad = 500.0f;
    p.previousLoad = 500.0f;
    p.stepLoad1 = 20.0f;
    p.stepLoad2 = 100.0f;
    p.stepLoad3 = 1000.0f;
    p.link.jackK = 2.0f;
    p.sensorTableA[0] = 100.0f;  // load zero offset
    p.link.replyAlive = 1;
    p.link.pumpState = 85;
    p.link.measuredLoad = 0.0f;
  }
  // Sends this channel's next command after ms of instrument time.
  std::string poll(std::uint64_t ms = 1000) {
    now += ms;
    auto f = frontend::buildCommand(p).frame;
    return c.handle(f, now);
  }
  static std::uint8_t at(const std::string& r, size_t i) { return static_cast<std::uint8_t>(r[i]); }
};

}  // namespace

TEST_F(ControllerFixture, AnswersItsOwnNumberWithAGoodReply) {
  std::string r = poll();
  ASSERT_EQ(r.size(), 32u);
  const auto* b = reinterpret_cast<const std::uint8_t*>(r.data());
  EXPECT_EQ(b[0], 0xAA);
  EXPECT_EQ(b[31], frontend::byteSum(b, 31));
  EXPECT_EQ(frontend::unpackControllerNumber(&b[23]), "123456");
  EXPECT_NE(b[30], 0xAA);
  p.controllerNumber = "654321";
  EXPECT_TRUE(poll().empty());
  // A garbled command gets no answer either.
  p.controllerNumber = "123456";
  auto f = frontend::buildCommand(p).frame;
  f[21] ^= 1;
  EXPECT_TRUE(c.handle(f, now).empty());
}

TEST_F(ControllerFixture, PumpsToTheTargetInTheInstrumentsRawUnits) {
  // The rotating value carries the zero offset every second poll; k arrives with every frame.
  for (int i = 0; i < 100 && c.forceKn() < 499.0; ++i) {
    std::string r = poll();
    p.link.measuredLoad = static_cast<float>((decodeValue16(reinterpret_cast<const std::uint8_t*>(&r[1])) - 100.0) / 2.0);
  }
  EXPECT_NEAR(c.forceKn(), 500.0, 1.0);
  std::string r = poll(10);
  EXPECT_NEAR(decodeValue16(reinterpret_cast<const std::uint8_t*>(&r[1])), 500 * 2 + 100, 3);
  EXPECT_EQ(c.rawForForce(250.0), 600);
}

TEST_F(ControllerFixture, HoldReloadsOnlyBelowTheReloadThreshold) {
  c.setForceKn(495.0);
  p.loadingPhase = 2;  // T = C - 0.5 L = 490, R = C - L = 480
  std::string r = poll();
  EXPECT_EQ(at(r, 21), 85);  // not pumping
  c.setForceKn(470.0);
  poll(10);
  r = poll(1000);
  EXPECT_EQ(at(r, 21), 255);
  poll(3000);
  EXPECT_NEAR(c.forceKn(), 490.0, 0.5);
}

TEST_F(ControllerFixture, ProportionalModesReloadBelowTheTargetLessTheMargin) {
  p.forceSensorType = 2;  // an oil-pressure sensor: its raw counts carry 800 more
  p.loadingMode = 2;
  p.loadingPhase = 2;  // T = C = 500 and the margin R = L = 20: re-load below 480
  c.setForceKn(490.0);
  for (int i = 0; i < 4; ++i) poll(10);  // the zero offset arrives with the rotating value
  EXPECT_EQ(at(poll(10), 21), 85);
  c.setForceKn(470.0);
  EXPECT_EQ(at(poll(10), 21), 255);
}

TEST_F(ControllerFixture, UnloadingReleasesToTheLowerLevel) {
  c.setForceKn(500.0);
  p.controlLoad = 300.0f;
  p.previousLoad = 300.0f;
  p.loadingPhase = 5;
  p.link.measuredLoad = 500.0f;
  poll();
  poll(20000);
  EXPECT_NEAR(c.forceKn(), 300.0, 1.0);
}

TEST_F(ControllerFixture, GaugesFollowTheScaleTheCommandAnnounces) {
  c.setForceKn(2000.0);
  poll();
  poll(60000);
  std::string r = poll(10);
  double mm = c.gaugeMm(0);
  ASSERT_GT(mm, 1.0);
  EXPECT_NEAR(decodeValue16(reinterpret_cast<const std::uint8_t*>(&r[5])) * 0.009921875, mm, 0.01);
  p.ParameterList.set(85, 2.0f);
  r = poll(10);
  EXPECT_NEAR(decodeValue16(reinterpret_cast<const std::uint8_t*>(&r[5])) * 0.01, c.gaugeMm(0), 0.01);
}

TEST_F(ControllerFixture, FaultsOnDemand) {
  c.editFaults([](sim::ControllerFaults& f) { f.noReply = 1; });
  EXPECT_TRUE(poll().empty());
  EXPECT_EQ(poll().size(), 32u);

  c.editFaults([](sim::ControllerFaults& f) { f.badChecksum = 1; });
  std::string r = poll();
  EXPECT_NE(at(r, 31), frontend::byteSum(reinterpret_cast<const std::uint8_t*>(r.data()), 31));

  c.editFaults([](sim::ControllerFaults& f) { f.shortFrame = 1; });
  EXPECT_EQ(poll().size(), 20u);

  c.editFaults([](sim::ControllerFaults& f) { f.strayBytes = 1; });
  r = poll();
  EXPECT_GT(r.size(), 32u);
  EXPECT_NE(at(r, 32), 0xAA);

  c.editFaults([](sim::ControllerFaults& f) { f.wrongNumber = 1; });
  r = poll();
  EXPECT_NE(frontend::unpackControllerNumber(reinterpret_cast<const std::uint8_t*>(&r[23])), "123456");

  c.editFaults([](sim::ControllerFaults& f) {
    f.batteryLevel = 1;
    f.lostGauges = 0x05;
    f.sensorStatus = 2;
    f.pumpStop = true;
  });
  r = poll();
  EXPECT_EQ(at(r, 30), 0x51);  // information valid, on battery, level 1
  EXPECT_EQ(at(r, 26), 0x05);
  EXPECT_EQ(decodeValue16(reinterpret_cast<const std::uint8_t*>(&r[5])), 0);
  EXPECT_EQ(at(r, 27), 2);
  EXPECT_EQ(at(r, 22), 1);
  // No battery report ever looks like the text-reply mark.
  for (int level = 0; level < 16; ++level)
    for (bool charging : {false, true}) {
      c.editFaults([&](sim::ControllerFaults& f) {
        f.batteryLevel = level;
        f.charging = charging;
      });
      EXPECT_NE(at(poll(10), 30), 0xAA);
    }
}
