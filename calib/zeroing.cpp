#include "calib/zeroing.h"

#include "model/helpers.h"

namespace {
constexpr float kForceType2Zero = 800.0f;  // the 20S oil-pressure sensor reads 800 at rest

float direction(const Parameter& p, std::size_t k) { return p.sensorTableC[k].load() == -1 ? -1.0f : 1.0f; }
}  // namespace

float UncorrectedDisplacement(const Parameter& p, std::size_t k) {
  return p.link.displacement[k - 1].load() * direction(p, k) + p.sensorTableA[k].load() - p.sensorTableB[k].load();
}

std::array<bool, 8> ApplyZeroing(Parameter& p, const ZeroingEntry& e) {
  // Every raw reading is taken with the tables as they stood when the readings were made.
  std::array<float, 9> raw{};
  raw[0] = p.link.rawForceValue.load();
  for (std::size_t k = 1; k <= 8; ++k) raw[k] = UncorrectedDisplacement(p, k);
  const bool running = p.testRunning.load() == 1;

  if (e.zeroForce && !running) {
    p.sensorTableA[0].store(raw[0] - (p.forceSensorType.load() == 2 ? kForceType2Zero : 0.0f));
    p.sensorTableB[0].store(0.0f);
  }
  for (std::size_t k = 1; k <= 8; ++k) {
    if (e.zeroGauge[k - 1] && !running) {
      p.sensorTableA[k].store(raw[k]);
      p.sensorTableB[k].store(0.0f);
    }
    p.sensorTableC[k].store(e.reversed[k - 1] ? -1 : 1);
  }
  if (e.memoryPending) {
    p.uploadEventMark.store(1);
    for (std::size_t k = 1; k <= 8; ++k) {
      p.sensorTableA[k].store(raw[k]);
      p.sensorTableB[k].store(e.memory[k - 1] * direction(p, k));
    }
  }

  std::array<float, 9> zero{}, offset{};
  for (std::size_t k = 0; k <= 8; ++k) {
    zero[k] = p.sensorTableA[k].load();
    offset[k] = p.sensorTableB[k].load();
  }
  for (std::size_t k = 1; k <= 8; ++k) {
    const std::string& text = e.corrections[k - 1];
    if (text.empty() || !IsValidNumber(text)) continue;
    p.sensorTableA[k].store(raw[k]);
    p.sensorTableB[k].store(StrToFloat(text) * direction(p, k));
  }

  std::array<bool, 8> changed{};
  for (std::size_t k = 1; k <= 8; ++k)
    changed[k - 1] = p.sensorTableA[k].load() != zero[k] || p.sensorTableB[k].load() != offset[k];
  if (p.loadingPhase.load() > 0)
    for (std::size_t k = 1; k <= p.procedure.zeroingMarks.size(); ++k)
      if (changed[k - 1]) p.procedure.zeroingMarks[k - 1] = 1;
  return changed;
}
