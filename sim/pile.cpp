#include "sim/pile.h"

#include <algorithm>
#include <cmath>

namespace sim {

PileModel::PileModel(const PileSettings& s) : s_(s) {}

double PileModel::hyperbola(double q) const {
  if (q <= 0) return 0.0;
  double knee = 0.97 * s_.ultimateLoad;
  if (q < knee) return q / (s_.initialStiffness * (1.0 - q / s_.ultimateLoad));
  // Beyond the knee the pile plunges: the curve goes on with a very small stiffness.
  double atKnee = knee / (s_.initialStiffness * (1.0 - knee / s_.ultimateLoad));
  return atKnee + (q - knee) / (s_.initialStiffness * 0.02);
}

double PileModel::permanent(double qmax) const {
  return std::max(0.0, hyperbola(qmax) - qmax / s_.elasticStiffness);
}

double PileModel::settlement() const {
  return force_ / s_.elasticStiffness + s_.immediateShare * permanent(qmax_) + creep_;
}

double PileModel::gauge(int i) const {
  if (i < 0 || i > 7) return 0.0;
  return settlement() * s_.gaugeFactors[static_cast<size_t>(i)];
}

void PileModel::run(double ms, JackAction action, double toward) {
  while (ms > 0) {
    double dt = std::min(ms, 100.0);
    step(dt / 1000.0, action, toward);
    ms -= dt;
  }
}

void PileModel::step(double dtS, JackAction action, double toward) {
  pumping_ = false;
  switch (action) {
    case JackAction::PumpTo:
      if (force_ < toward) {
        force_ = std::min(toward, force_ + s_.pumpRate * dtS);
        pumping_ = true;
      }
      break;
    case JackAction::PumpFree:
      force_ = std::min(s_.maxForce, force_ + s_.pumpRate * dtS);
      pumping_ = true;
      break;
    case JackAction::ReleaseTo:
      if (force_ > toward) force_ = std::max(std::max(0.0, toward), force_ - s_.releaseRate * dtS);
      break;
    case JackAction::Hold:
      break;
  }
  force_ = std::max(0.0, force_);
  qmax_ = std::max(qmax_, force_);

  // Creep toward the remaining share of the permanent settlement.
  double target = (1.0 - s_.immediateShare) * permanent(qmax_);
  double tauS = s_.creepMinutes * 60.0;
  double before = creep_;
  if (creep_ < target) creep_ = target - (target - creep_) * std::exp(-dtS / tauS);
  double crept = creep_ - before;
  // A held jack loses force as the pile head moves away from it.
  if (!pumping_ && action != JackAction::ReleaseTo && crept > 0)
    force_ = std::max(0.0, force_ - crept * s_.forceLossPerMm);
}

}  // namespace sim
