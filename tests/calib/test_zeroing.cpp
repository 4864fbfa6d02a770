// Zeroing, direction and correction of a channel's points: each gauge reads what the operator meant,
// computed the way the link shows it from the raw reading, and only corrections made during a test
// mark the gauges as adjusted.
#include <gtest/gtest.h>

#include "calib/zeroing.h"

namespace {

// A channel whose gauge k shows `shown` with zero, offset and direction as given; returns the gauge's
// raw reading.
float setGauge(Parameter& p, std::size_t k, float shown, float zero, float offset, int dir) {
  p.sensorTableA[k] = zero;
  p.sensorTableB[k] = offset;
  p.sensorTableC[k] = dir;
  p.link.displacement[k - 1] = shown;
  return shown / static_cast<float>(dir) + zero - offset;
}

// What the link shows for gauge k at the raw reading.
float shownAt(const Parameter& p, std::size_t k, float raw) {
  return (raw - p.sensorTableA[k].load() + p.sensorTableB[k].load()) * static_cast<float>(p.sensorTableC[k].load());
}

}  // namespace

TEST(Zeroing, OutsideATestMarksCorrectionsAndMemoryGiveTheMeantReadings) {
  Parameter p;
  p.loadingPhase = -1;
  for (std::size_t k = 1; k <= 8; ++k) setGauge(p, k, 0.0f, 0.0f, 0.0f, 1);
  const float raw1 = setGauge(p, 1, 3.0f, 1.0f, 0.0f, 1);
  const float raw2 = setGauge(p, 2, 7.0f, 2.0f, 0.5f, 1);
  const float raw3 = setGauge(p, 3, 4.0f, 1.0f, 0.0f, -1);
  const float raw8 = setGauge(p, 8, 1.0f, 0.0f, 0.0f, -1);
  p.link.rawForceValue = 1000.0f;
  p.forceSensorType = 2;

  ZeroingEntry e;
  e.zeroForce = true;
  e.zeroGauge[0] = true;       // gauge 1 zeroed
  e.reversed[1] = true;        // gauge 2 reversed and corrected to 12.5
  e.corrections[1] = "12.5";
  e.corrections[2] = "abc";    // not a number: gauge 3 keeps its zero and offset
  e.reversed[2] = true;
  // gauge 8 (switched off, its button empty) counts forward again
  const auto changed = ApplyZeroing(p, e);

  // A 20S sensor reads 800 at rest: its zero sits 800 below the raw reading, so the load shows 0.
  EXPECT_FLOAT_EQ(p.sensorTableA[0].load(), 200.0f);
  EXPECT_FLOAT_EQ(1000.0f - p.sensorTableA[0].load() - 800.0f, 0.0f);
  EXPECT_FLOAT_EQ(shownAt(p, 1, raw1), 0.0f);
  EXPECT_FLOAT_EQ(p.sensorTableA[2].load(), raw2);
  EXPECT_FLOAT_EQ(p.sensorTableB[2].load(), -12.5f);
  EXPECT_FLOAT_EQ(shownAt(p, 2, raw2), 12.5f);
  EXPECT_FLOAT_EQ(shownAt(p, 3, raw3), 4.0f) << "a kept reversal keeps the reading";
  EXPECT_EQ(p.sensorTableC[8].load(), 1);
  EXPECT_FLOAT_EQ(shownAt(p, 8, raw8), -1.0f) << "a direction switched alone turns the whole reading";
  EXPECT_EQ(p.uploadEventMark.load(), 0);
  EXPECT_TRUE(changed[1]);
  EXPECT_FALSE(changed[2]);
  EXPECT_EQ(p.procedure.zeroingMarks, (std::array<byte, 4>{}));
  // A load cell's zero is its raw reading.
  p.forceSensorType = 0;
  ApplyZeroing(p, e);
  EXPECT_FLOAT_EQ(p.sensorTableA[0].load(), 1000.0f);
}

TEST(Zeroing, MemoryCarriesEachGaugeOnFromItsRememberedReading) {
  Parameter p;
  // Gauge 1 counts backwards and showed 5.0 when the memory was taken; re-set on the pile it shows 0.4.
  const float raw1 = setGauge(p, 1, 0.4f, 2.0f, 1.0f, -1);
  const float raw2 = setGauge(p, 2, 3.2f, 0.0f, 0.0f, 1);
  ZeroingEntry e;
  e.reversed[0] = true;
  e.memoryPending = true;
  e.memory[0] = 5.0f;
  e.memory[1] = 9.0f;
  ApplyZeroing(p, e);
  EXPECT_NEAR(shownAt(p, 1, raw1), 5.0f, 1e-5f);
  EXPECT_NEAR(shownAt(p, 2, raw2), 9.0f, 1e-5f);
  EXPECT_EQ(p.uploadEventMark.load(), 1);
}

TEST(Zeroing, DuringATestNoZeroIsTakenAndOnlyCorrectionsMarkTheGauges) {
  Parameter p;
  p.testRunning = 1;
  p.loadingPhase = 2;
  p.link.rawForceValue = 640.0f;
  p.sensorTableA[0] = 10.0f;
  const float raw1 = setGauge(p, 1, 3.0f, 1.0f, 0.0f, 1);
  const float raw2 = setGauge(p, 2, 6.0f, 1.0f, 0.0f, 1);
  setGauge(p, 3, 2.0f, 0.5f, 0.0f, 1);
  ZeroingEntry e;
  e.zeroForce = true;
  e.zeroGauge.fill(true);
  e.reversed[0] = true;        // a reversal alone is not an adjustment
  e.corrections[1] = "8.25";   // a correction is
  e.memoryPending = true;      // and neither is the memory (taken at the readings shown)
  e.memory = {3.0f, 6.0f, 2.0f};
  const auto changed = ApplyZeroing(p, e);
  EXPECT_FLOAT_EQ(p.sensorTableA[0].load(), 10.0f);
  EXPECT_FLOAT_EQ(shownAt(p, 1, raw1), 3.0f) << "the memory carries the reversed gauge on";
  EXPECT_FLOAT_EQ(shownAt(p, 2, raw2), 8.25f);
  EXPECT_EQ(p.procedure.zeroingMarks, (std::array<byte, 4>{0, 1, 0, 0}));
  EXPECT_EQ(changed, (std::array<bool, 8>{false, true, false, false, false, false, false, false}));
}
