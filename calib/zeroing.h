// Zeroing, direction and correction of a channel's measuring points (point 0 the force, 1-8 the
// displacement gauges), without windows: what the operator marked and typed is applied at once to the
// channel's zero, offset and direction tables. The link shows displacement k as
// (raw k - zero k + offset k) x direction k, and the force as raw 0 - zero 0.
#pragma once

#include <array>
#include <string>

#include "model/parameter.h"

struct ZeroingEntry {
  bool zeroForce = false;
  std::array<bool, 8> zeroGauge{};    // gauges 1-8 marked for zeroing
  std::array<bool, 8> reversed{};     // gauges 1-8 set to count the other way (others count forward)
  std::array<std::string, 8> corrections{};  // typed readings of gauges 1-8 (empty: none)
  bool memoryPending = false;         // the displacement memory was taken and waits for the re-set gauges
  std::array<float, 8> memory{};      // the displayed readings when it was taken
};

// A gauge's reading before zero, offset and direction (k = 1-8), worked back from its displayed reading.
float UncorrectedDisplacement(const Parameter& p, std::size_t k);

// Applies the entry to the channel:
// 1. a marked force zero takes the raw force (800 below it for a force-sensor type 2), offset 0;
// 2. a marked gauge takes its raw reading as zero, offset 0;
// 3. each gauge's direction becomes -1 when reversed, else +1;
// 4. a pending memory makes each gauge go on from its remembered reading, and marks the next reading;
// 5. a correction that reads as a number makes the gauge read that value.
// While a test runs no zero is taken (1 and 2), whatever the marks say. Once the test is under way
// (loading phase above 0) a gauge among 1-4 whose zero or offset changed is marked as adjusted for the
// record. Returns, for gauges 1-8, whether a correction changed its zero or offset.
std::array<bool, 8> ApplyZeroing(Parameter& p, const ZeroingEntry& e);
