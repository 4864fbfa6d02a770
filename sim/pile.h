// A jack loading a test pile: the force of the jack and the settlement the gauges see.
//
// Settlement at a force Q after the largest force Qmax so far:
//   s = Q / Ke + a * P(Qmax) + c, where P(Qmax) = hyperbola(Qmax) - Qmax / Ke is the permanent part,
//   hyperbola(Q) = Q / (Ki * (1 - Q / Qu)) the load-settlement curve of the pile, and the creep c relaxes
//   toward (1 - a) * P(Qmax) with time constant tau. So each new level settles at once by its elastic
//   and immediate share and then creeps by an amount that decays, and a held level becomes stable.
//   Unloading gives back only the elastic part. Near the ultimate load the pile plunges.
// While the pile creeps under a held jack the jack loses force (its ram follows the pile head), so
// the force drifts down slowly during a hold, as on a site.
#pragma once

#include <array>

namespace sim {

struct PileSettings {
  double ultimateLoad = 6000.0;     // Qu, kN
  double initialStiffness = 400.0;  // Ki, kN/mm
  double elasticStiffness = 800.0;  // Ke, kN/mm (unloading)
  double immediateShare = 0.6;      // a
  double creepMinutes = 15.0;       // tau
  double forceLossPerMm = 40.0;     // kN lost by a held jack per mm of creep
  double pumpRate = 8.0;            // kN/s while the pump runs
  double releaseRate = 15.0;        // kN/s while the valve releases
  double maxForce = 12000.0;        // the jack's limit, kN
  std::array<double, 8> gaugeFactors{1.0, 1.012, 0.99, 1.006, 1.0, 0.995, 1.004, 0.998};
};

// What the jack is asked to do for the next stretch of time.
enum class JackAction { Hold, PumpTo, ReleaseTo, PumpFree };

class PileModel {
 public:
  explicit PileModel(const PileSettings& s = {});

  // Moves time on by ms (integrated in steps of at most 100 ms) doing the action toward the force
  // given (kN). PumpTo stops at the force, ReleaseTo at the force, PumpFree pumps until the limit.
  void run(double ms, JackAction action, double toward);

  double force() const { return force_; }
  void setForce(double f) { force_ = f; }
  bool pumping() const { return pumping_; }
  double settlement() const;           // mm
  double gauge(int i) const;           // mm, gauge 0..7
  double maxForce() const { return qmax_; }
  const PileSettings& settings() const { return s_; }

  double hyperbola(double q) const;

 private:
  double permanent(double qmax) const;
  void step(double dtS, JackAction action, double toward);

  PileSettings s_;
  double force_ = 0.0;
  double qmax_ = 0.0;
  double creep_ = 0.0;
  bool pumping_ = false;
};

}  // namespace sim
