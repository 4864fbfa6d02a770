#include "frontend/command.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace frontend {

namespace {

bool isSpecialUnloadStandard(int code) { return code == 62 || code == 76 || code == 144; }

bool isThousandthsStandard(int code) {
  return code == 3 || code == 58 || code == 88 || code == 90 || code == 102 || code == 119;
}

// int(x * 100 + 0.5) computed in single precision, saturated.
int hundredths(float x) { return toIntSaturated(static_cast<float>(x * 100.0f + 0.5f)); }

}  // namespace

float lowerLimitFactor(float maxLoad) {
  if (maxLoad <= 5000.0f) return 0.2f;
  if (maxLoad <= 10000.0f) return 0.1f;
  return 0.05f;
}

float reloadLimit(const Parameter& p) {
  float limit = p.stepLoad1.load();
  if (p.link.reloadPercent.load() != 0) return p.stepLoad2.load() * limit * 0.01f;
  return limit;
}

float mapThroughRatingTable(const Parameter& p, float value) {
  // Block: entry 0 = 0, entries 1..10 the standard forces of points 1..10, entry 11 the reading of
  // point 0, entries 12..21 the readings of points 1..10.
  int points = std::clamp(p.link.ratingPoints.load(), 2, 11);
  float force[11], reading[11];
  int n = 0;
  for (int i = 0; i < points; ++i) {
    float f = i == 0 ? 0.0f : p.jackCalibration[static_cast<size_t>(i)].load();
    float r = p.jackCalibration[static_cast<size_t>(11 + i)].load();
    if (n > 0 && !(f > force[n - 1])) break;  // points must rise
    force[n] = f;
    reading[n] = r;
    ++n;
  }
  if (n < 2) return value;
  int seg = 0;
  while (seg < n - 2 && value > force[seg + 1]) ++seg;
  float span = force[seg + 1] - force[seg];
  return reading[seg] + (value - force[seg]) * (reading[seg + 1] - reading[seg]) / span;
}

int loadToCounts(const Parameter& p, float value) {
  int type = p.forceSensorType.load();
  if (type == 0 && p.pressureMethod.load() == 2) value = mapThroughRatingTable(p, value);
  float k = p.link.jackK.load();
  // Single precision, as the settings are kept: a coefficient entered as 0.29 times 1000 gives 290,
  // not the 289.99999 of the widened product.
  float v = value * k;
  if (type == 2) v += 800.0f;
  double zero = p.sensorTableA[0].load();
  double n = static_cast<double>(static_cast<float>(toIntSaturated(v))) + zero + 1.0;
  return toIntSaturated(n);
}

CommandOutcome buildCommand(Parameter& p) {
  CommandOutcome out;
  CommandFrame& f = out.frame;
  LinkState& s = p.link;

  // 1. A reply is awaited from now on; the first-level bit starts clear.
  p.replyTaken.store(1);
  bool firstLevel = false;

  std::unique_lock<std::mutex> lock(p.loadLock);
  const bool running = p.testRunning.load() == 1;
  const bool preload = p.preloadRunning.load() != 0;
  const int mode = p.loadingMode.load();
  const int phase = p.loadingPhase.load();
  const int code = p.standardCode.load();
  const bool special = isSpecialUnloadStandard(code);
  const float C = p.controlLoad.load();
  const float S = p.stepLoad2.load();
  const float maxLoad = p.stepLoad3.load();
  const float L = reloadLimit(p);
  const float measured = s.measuredLoad.load();
  const float pressure = s.measuredPressure.load();
  const int type = p.forceSensorType.load();

  // 2. Loads.
  float T = 0, R = 0, W = 0;
  if (running || preload) {
    float fr = lowerLimitFactor(maxLoad);
    if (mode == 0 || mode == 1) {
      if (phase == 1) {
        T = C; R = C; W = C - S * fr;
        firstLevel = s.levelNumber.load() == 1;
      } else if (phase >= 2 && phase <= 4) {
        T = C - 0.5f * L; R = C - L; W = C - S * fr;
      } else if (phase >= 5 && mode == 1) {
        if (special) { T = R = W = L; } else { T = R = W = C + L; }
      } else if (phase == 5) {
        if (special) { T = 0; R = 0; W = -0.4f * S; } else { T = C; R = C; W = C - 0.4f * S; }
      } else if (phase >= 6) {
        if (special) { T = -L; R = -L; W = -0.4f * S; } else { T = C - L; R = C - L; W = C - 0.4f * S; }
      } else {
        T = 0; W = 0; R = L;
      }
    } else {
      T = (special && phase > 4) ? 0.0f : C;
      R = L;
      W = 0;
      firstLevel = s.levelNumber.load() == 1;
    }
    if (preload) {
      float v = p.preloadValue.load();
      T = v; W = v;
      if (mode != 3) R = v;
    }
    if (p.testType.load() == 0) {
      float area = s.plateArea.load();
      if (area <= 0) area = 1.0f;
      T *= area; R *= area; W *= area;
    }
  }

  // 4. Frame head.
  f[0] = kFrameStart;
  std::uint8_t mask = static_cast<std::uint8_t>(p.channelMask.load() & 0xFF);
  if (p.ParameterList.item(98) == 1.0f) mask = swapNibbles(mask);
  f[1] = mask;

  int pump = p.pumpCommand.load();
  const bool forcedStop = p.pumpForcedStop.load() == 64;
  const bool noReply = s.replyAlive.load() == 0;
  const bool blocked = s.pumpBlock.load() != 0;
  // The manual keys and the automatic dual-circuit valve drive the pump at full output unless the
  // pump is forced to stop; otherwise the valve byte falls to 0 with the pump.
  auto applyManualKeys = [&] {
    if (s.manualOverride.load() && !forcedStop) {
      f[2] = 255;
      pump = 255;
    } else if ((mode == 2 || mode == 3) && s.autoLoading.load() && !forcedStop) {
      f[2] = 102;
      pump = 255;
    } else {
      if (pump <= 0) f[2] = 0;
      pump = std::clamp(pump, 0, 255);
    }
  };
  if (running || preload) {
    // 3. Raw counts.
    encodeValue16(loadToCounts(p, T), &f[4]);
    encodeValue16(loadToCounts(p, R), &f[6]);
    encodeValue16(loadToCounts(p, W), &f[8]);
    if (mode == 2 || mode == 3) {
      std::uint8_t b8 = hundredths(T) != 0 ? 1 : 0;
      if (mode == 3) b8 += maxLoad <= 5000.0f ? 16 : maxLoad <= 10000.0f ? 32 : 48;
      f[8] = b8;
      f[9] = 0;
    }

    // 5. Pump command.
    if (running && !preload) {
      pump = 10;
      if (phase == 1 || phase == 3 || (phase >= 5 && mode == 0 && C - measured > L))
        pump = toIntSaturated(C - measured + 10.0f);
      if (phase >= 5 && mode == 1 && measured - C > 2.0f * L) pump = 10;
      if (forcedStop || noReply || blocked || p.paused.load() != 0 || pressure <= -10.0f || phase == 0 ||
          (phase == 4 && (mode == 0 || mode == 1)))
        pump = 0;
    } else {
      pump = 255;
      if (forcedStop || noReply || blocked || pressure <= -10.0f) pump = 0;
    }
    f[2] = s.valveByte.load();
    applyManualKeys();
    int aux = s.auxOutput.load();
    int countdown = s.auxCountdown.load();
    if (countdown > 0) {
      aux = 255;
      s.auxCountdown.store(countdown - 1);
    }
    f[3] = static_cast<std::uint8_t>(aux != 0 ? 255 : 0);

    if (preload && measured >= p.preloadValue.load()) {
      out.alarm = true;
      p.preloadRunning.store(0);
      p.preloadEnded.store(1);
      pump = 0;
      p.pumpForcedStop.store(0);
      s.manualOverride.store(0);
      s.autoLoading.store(0);
      s.pumpBlock.store(0);
      s.stopState.store(0);
      s.pauseRequested.store(0);
      std::lock_guard<std::mutex> fl(s.filterLock);
      for (auto& flt : s.filters) flt = LinkState::Filter{};
    }

  } else {
    // Idle: bytes 2..9 stay 0; only the manual keys reach the controller.
    applyManualKeys();
  }

  // 6. Protection value.
  encodeValue16(p.protectionSetting.load(), &f[10]);

  // 7. State code. An idle channel's frame was cleared, so a phase that gives no code sends 0.
  int b12 = (running || preload) ? s.stateCode.load() : 0;
  bool keep = false;
  int high = 0;
  if (mode == 2 || mode == 3) {
    if (phase == 5) high = 0x00;
    else if (phase == 1) high = 0xF0;
    else if (phase >= 2 && phase <= 4) high = 0x50;
    else if (phase > 5) high = 0xA0;
    else if (phase == 0 && preload) high = 0xF0;
    else keep = true;
  } else {
    if (phase > 4) high = 0x00;
    else if (phase < 4) high = 0xF0;
    else keep = true;
  }
  if (!keep) {
    int low = mode == 0 ? 15 : mode == 2 ? 5 : mode == 3 ? 6 : 0;
    b12 = high + low;
  }
  f[12] = static_cast<std::uint8_t>(b12);
  s.stateCode.store(static_cast<std::uint8_t>(b12));

  // 8. Controller number.
  auto number = normalizeControllerNumber(p.controllerNumber.get());
  packControllerNumber(number.value_or("000000"), &f[13]);

  // 9. Jack coefficient.
  float k = s.jackK.load();
  encodeValue16(toIntSaturated(static_cast<double>(k) * 1000.0 + 0.5), &f[16]);

  // 10. Flags and the rotating value.
  std::uint8_t b18 = 0;
  if (firstLevel) b18 += 1;
  if (p.ParameterList.item(85) == 2.0f) b18 += 2;
  if (isThousandthsStandard(code)) b18 += 4;
  if (type == 2) b18 += 8;
  int counter = s.rotatingCounter.load();
  int kind;
  if (mode == 2 || mode == 3) {
    // The kind follows the counter as it stands (0 or 4: 16, 1: 32, 2: 48, 3: 64), then the counter
    // moves on, 5 going back to 1: a fresh channel sends 16, 32, 48, 64, 16, ...
    if (counter < 0 || counter > 4) counter = 0;
    kind = (counter == 1) ? 32 : (counter == 2) ? 48 : (counter == 3) ? 64 : 16;
    if (++counter == 5) counter = 1;
  } else {
    ++counter;
    if (counter > 1000) counter = 0;
    kind = (counter % 2 != 0) ? 32 : 16;
  }
  s.rotatingCounter.store(counter);
  b18 += static_cast<std::uint8_t>(kind);
  f[18] = b18;
  long long rotating = 0;
  float coef = p.sensorCoefficient.load();
  switch (kind) {
    case 16:
      if (type != 0)
        rotating = (mode == 2 || mode == 3) ? toIntSaturated(coef * 1000.0f + 0.5f) : toIntSaturated(coef * 1000.0f);
      break;
    case 32: rotating = toIntSaturated(p.sensorTableA[0].load()); break;
    case 48: rotating = toIntSaturated(p.ParameterList.item(100)); break;
    case 64: rotating = toIntSaturated(p.ParameterList.item(101)); break;
  }
  encodeValue16(rotating, &f[19]);

  // 11. Check byte.
  f[21] = byteSum(f.data(), 21);

  // 12. The pump command stays only while the controller reports its pump running or ready.
  int ps = s.pumpState.load();
  if (ps != 255 && ps != 85) pump = 0;
  p.pumpCommand.store(pump);

  // 13. Phase changes of a running test.
  if (running && s.goodCount.load() > 3) {
    int P = hundredths(p.previousLoad.load());
    int Q = hundredths(C);
    int ph = phase;
    if (Q > P) {
      ph = 1;
      p.previousLoad.store(C);
      s.reached.store(0);
      s.levelChange.store(1);
    } else if (Q < P) {
      ph = 5;
      p.previousLoad.store(C);
      s.reached.store(0);
      s.levelChange.store(2);
    }
    if (ph == 1 && measured >= C) {
      ph = 2;
      s.reached.store(1);
    }
    if (ph == 2 && (C - measured > L || (pump > 0 && C - L < measured && measured < C))) ph = 3;
    if (ph == 3 && (C - measured < 0.5f * L || (pump == 0 && C - L < measured && measured < C))) ph = 2;
    if (ph == 5) {
      float twoL = 2.0f * L;
      bool done = special ? measured <= twoL
                          : ((measured <= C + twoL && C > 0) || (s.unloadStepCounter.load() > 119 && C == 0));
      if (done) {
        ph = 6;
        s.reached.store(1);
        s.unloadStepCounter.store(0);
      }
    }
    p.loadingPhase.store(ph);
  }
  lock.unlock();
  return out;
}

int takeLevelChange(Parameter& p, int* levelIndex) {
  int change = p.link.levelChange.exchange(0);
  if (change == 0) return 0;
  std::lock_guard<std::mutex> lock(p.loadLock);
  const int code = p.standardCode.load();
  const float C = p.controlLoad.load();
  const auto& lv = p.levelLoads;
  if (change == 1) {
    if (code == 0 || code == 149) {
      int last = code == 0 ? 5 : 4;
      int idx = -1;
      for (int i = 0; i <= 4 && i < last; ++i)
        if (lv[static_cast<size_t>(i)] <= C && C < lv[static_cast<size_t>(i + 1)]) { idx = i; break; }
      if (idx >= 0) {
        p.holdMinutes.store(60);
      } else if (C >= lv[static_cast<size_t>(last)]) {
        idx = last;
        p.holdMinutes.store(120);
      }
      if (idx >= 0 && levelIndex) *levelIndex = idx;
    } else if (code == 4 && (p.uploadOption.load() == 1 || p.secondOption.load() == 1)) {
      p.judgeIntervalMinutes.store(60);
      p.stableSettlement.store(0.1f);
      p.criterionMode3.store(1);  // the judgement's comparison mode (item 58 is the refill-unit mode)
      if (std::fabs(p.stepLoad3.load() - C) < 0.00001f) {
        p.holdMinutes.store(120);
        p.judgeCount.store(2);
      } else {
        p.holdMinutes.store(60);
        p.judgeCount.store(1);
      }
    } else if (code == 53) {
      p.stableSettlement.store(0.1f);
      p.criterionMode3.store(0);
      p.judgeIntervalMinutes.store(60);
      p.holdMinutes.store(60);
      p.judgeCount.store(1);
    }
  } else if (code == 0 || code == 149) {
    for (int i = 5; i <= 7; ++i)
      if (lv[static_cast<size_t>(i + 1)] < C && C <= lv[static_cast<size_t>(i)]) {
        if (levelIndex) *levelIndex = i;
        break;
      }
  }
  return change;
}

}  // namespace frontend
