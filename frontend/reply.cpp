#include "frontend/reply.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "frontend/codec.h"
#include "platform/clock/clock.h"
#include "platform/text/text.h"

namespace frontend {

namespace {

bool isThousandthsStandard(int code) {
  return code == 3 || code == 58 || code == 88 || code == 90 || code == 102 || code == 119;
}

int bumpCapped(std::atomic<int>& c, int cap) {
  int v = c.load();
  v = v <= cap ? v + 1 : cap;
  c.store(v);
  return v;
}

void bumpWrapped(std::atomic<int>& c) {
  int v = c.load() + 1;
  if (v > 10000) v = 0;
  c.store(v);
}

// Whether a value survives the narrowing to single precision as a finite number.
bool fitsFloat(double v) { return std::isfinite(v) && std::fabs(v) <= std::numeric_limits<float>::max(); }

void parseText(Parameter& p, const std::uint8_t* r) {
  if (r[1] == 'V') return;
  // Characters 1..29; bytes 23-25 carry the controller number and are no text.
  int commas[3];
  int found = 0;
  for (int i = 1; i <= 29 && found < 3; ++i) {
    if (i >= 23 && i <= 25) continue;
    if (r[i] == ',') commas[found++] = i;
  }
  if (found < 3) return;
  std::string one(reinterpret_cast<const char*>(r + 1), static_cast<size_t>(commas[0] - 1));
  std::string two;
  for (int i = commas[1] + 1; i < commas[2]; ++i)
    if (i < 23 || i > 25) two += static_cast<char>(r[i]);
  auto a = parsePositionField(one);
  auto b = parsePositionField(two);
  if (!a || !b) return;
  if (*a != 0.0 && *b != 0.0) {
    p.link.controllerLatitude.store(static_cast<float>(*a));
    p.link.controllerLongitude.store(static_cast<float>(*b));
    p.positionFix.store(1);
    int c = p.link.positionCounter.load() + 1;
    p.link.positionCounter.store(c > 10000 ? 0 : c);
  }
}

// The force reading. Returns false when the settings give no usable conversion (load kept).
void parseForce(Parameter& p, const std::uint8_t* r) {
  LinkState& s = p.link;
  int raw = decodeValue16(&r[1]);
  s.rawForce.store(raw);
  s.rawForceValue.store(static_cast<float>(raw));
  const int type = p.forceSensorType.load();
  double net = static_cast<double>(raw) - p.sensorTableA[0].load();
  if (type == 2) net -= 800.0;
  s.netForce.store(static_cast<float>(net));

  int jacks = p.jackSetting.load();
  if (jacks < 1) jacks = 1;
  const double coef = p.sensorCoefficient.load();
  const double range = p.sensorSetting.load();
  const double a = p.jackCoefficientA.load();
  const double b = p.jackCoefficientB.load();
  const int method = p.pressureMethod.load();

  double load = 0, pressure = 0, k = 1;
  bool ok = true;
  if (type == 0) {
    k = (coef > 0 ? coef : 1.0) / jacks;
    load = net / k;
    pressure = 0;
  } else if (method == 1 || method == 3) {
    if (range <= 0 || (type != 2 && coef <= 0)) ok = false;
    if (ok) pressure = type == 2 ? net * range / 3200.0 : net * range / (coef * 1200.0);
    if (ok && method == 1) {
      if (a <= 0 || b <= 0) {
        ok = false;
      } else {
        k = type == 2 ? (a * 3200.0) / (b * range) : (coef * a * 1200.0) / (b * range);
        load = (b / a) * jacks * pressure;
        k /= jacks;
      }
    } else if (ok) {
      const double intercept = p.jackCoefficientC.load();
      const double slope = p.jackCoefficientD.load();
      if (slope <= 0) {
        ok = false;
      } else {
        k = type == 2 ? slope * 40.0 : slope * coef * 15.0;
        load = (pressure - intercept) / slope;
        if (!s.jacksInParallel.load()) {
          load *= jacks;
          k /= jacks;
        }
      }
    }
  } else {
    return;  // other methods leave load and pressure as they were
  }
  if (ok && p.testType.load() == 0) {
    double area = s.plateArea.load();
    if (area <= 0) area = 1.0;
    load /= area;
  }
  // The values are judged as they are stored, in single precision: a coefficient that is finite only
  // in double precision (or too small to stay above 0) gives no usable conversion.
  if (!ok || !fitsFloat(load) || !fitsFloat(pressure) || !fitsFloat(k) || !(static_cast<float>(k) > 0.0f) ||
      !std::isfinite(static_cast<float>(load) / static_cast<float>(k))) {
    s.forceConfigError.store(1);
    return;
  }
  s.forceConfigError.store(0);
  s.measuredLoad.store(static_cast<float>(load));
  s.measuredPressure.store(static_cast<float>(pressure));
  s.jackK.store(static_cast<float>(k));
}

// Replies further apart than this (instrument time) make no series the plausibility filter can judge a
// change by: polls that stopped (a link that was down, a program started again, a poll thread held up)
// end the series.
constexpr std::int64_t kFilterGapMs = 10000;

void parseDisplacements(Parameter& p, const std::uint8_t* r) {
  LinkState& s = p.link;
  const bool swapped = p.ParameterList.item(98) == 1.0f;
  const double scale = p.ParameterList.item(85) == 2.0f ? 0.01 : 0.009921875;
  const int code = p.standardCode.load();
  const bool thousandths = isThousandthsStandard(code);
  const bool filtering = p.testRunning.load() == 1 && p.paused.load() == 0;
  const float rangeLimit = p.protection3.load();

  std::lock_guard<std::mutex> lock(s.filterLock);
  // The filter judges a gauge by the replies before it while the test runs. A pause, or a gap of the
  // replies, ends that series: the filter starts afresh with the first reply after it, so no gauge
  // keeps a value from before the gap (the pile moved on meanwhile).
  const std::int64_t now = static_cast<std::int64_t>(platform::clock::monotonicMs());
  const bool gap = s.filterReplyMs < 0 || now < s.filterReplyMs || now - s.filterReplyMs > kFilterGapMs;
  s.filterReplyMs = filtering ? now : -1;
  if (!filtering || gap) {
    for (std::size_t c = 0; c < 4; ++c) {
      s.filters[c].historyCount = 0;
      s.filters[c].filterCount = 0;
    }
  }
  for (int ch = 0; ch < 8; ++ch) {
    size_t c = static_cast<size_t>(ch);
    if (!s.gaugeOn[c].load()) {
      s.displacement[c].store(0);
      if (ch < 4) s.unfiltered[c].store(0);
      s.rawHundredths[c].store(0);
      s.valid[c].store(0);
      s.stuck[c].store(0);
      s.nearRange[c].store(0);
      continue;
    }
    // With the two groups of four exchanged, gauges 1-4 sit at bytes 13-20 and gauges 5-8 at 5-12.
    int offset = 5 + 2 * ch;
    if (swapped) offset = ch < 4 ? offset + 8 : offset - 8;
    double d = decodeValue16(&r[offset]) * scale;
    int n;
    if (thousandths) {
      d *= 0.1;
      n = toIntSaturated(d * 1000.0 + 0.5);
    } else {
      n = toIntSaturated(d * 100.0 + 0.5);
    }
    s.rawHundredths[c].store(n);
    LinkState::Filter& f = s.filters[c];
    bool accept = true;
    if (std::fabs(d) >= 55.0) {
      if (f.rejects >= 3) {
        f.rejects = 3;
      } else {
        ++f.rejects;
        accept = false;
      }
    } else {
      f.rejects = 0;
    }
    s.valid[c].store(accept ? 1 : 0);
    const double zero = p.sensorTableA[c + 1].load();
    const double off = p.sensorTableB[c + 1].load();
    int dir = p.sensorTableC[c + 1].load();
    if (dir == 0) dir = 1;
    // Gauges 1-4 also keep the reading of this reply, whatever the filters decide.
    if (ch < 4) s.unfiltered[c].store(static_cast<float>((d - zero + off) * dir));
    if (!accept) continue;

    double accepted = d;
    if (ch < 4 && filtering) {
      if (f.historyCount < 16) {
        f.history[static_cast<size_t>(f.historyCount++)] = n;
        f.lastAccepted = static_cast<float>(d);
      } else {
        std::rotate(f.history.begin(), f.history.begin() + 1, f.history.end());
        f.history[15] = n;
        int d1 = f.history[15] - f.history[14];
        int d2 = f.history[14] - f.history[13];
        int d3 = f.history[13] - f.history[12];
        bool ok = std::abs(d1) < 2 && std::abs(d2) < 2 && std::abs(d3) < 2;
        if (!ok) {
          bool up = d1 >= 0 && d2 >= 0 && d3 >= 0;
          bool down = d1 <= 0 && d2 <= 0 && d3 <= 0;
          ok = (up || down) && std::abs(d1) <= std::abs(d2) + std::abs(std::abs(d2) - std::abs(d3));
        }
        if (ok) {
          f.lastAccepted = static_cast<float>(d);
          f.filterCount = 0;
        } else if (f.filterCount < 60) {
          ++f.filterCount;
        }
        accepted = f.lastAccepted;
      }
      s.stuck[c].store(f.filterCount >= 60 ? 1 : 0);
    }
    s.displacement[c].store(static_cast<float>((accepted - zero + off) * dir));
    // The reading in millimetres (n counts thousandths for the thousandths standards) against the
    // range limit in millimetres.
    const double mm = static_cast<double>(n) / (thousandths ? 1000.0 : 100.0);
    s.nearRange[c].store(rangeLimit > 0 && mm * dir > rangeLimit ? 1 : 0);
  }

  auto mean = [&](std::initializer_list<int> chans, std::atomic<float>& out) {
    double sum = 0;
    int count = 0;
    for (int ch : chans)
      if (s.gaugeOn[static_cast<size_t>(ch)].load()) {
        sum += s.displacement[static_cast<size_t>(ch)].load();
        ++count;
      }
    if (count > 0) out.store(static_cast<float>(sum / count));
  };
  mean({0, 1, 2, 3}, s.meanDisplacement);
  if (code == 61) {
    mean({0, 1, 2}, s.meanGroup1);
    mean({3, 4, 5}, s.meanGroup2);
  } else {
    mean({0, 1}, s.meanGroup1);
    mean({2, 3}, s.meanGroup2);
  }
}

}  // namespace

std::optional<double> parsePositionField(std::string_view field) {
  auto dot = field.find('.');
  if (dot == std::string_view::npos || dot < 3) return std::nullopt;
  for (size_t i = 0; i < field.size(); ++i)
    if (i != dot && (field[i] < '0' || field[i] > '9')) return std::nullopt;
  std::string_view whole = field.substr(0, dot);
  std::string_view frac = field.substr(dot + 1);
  if (frac.empty() || frac.size() > 4) return std::nullopt;
  int degrees = std::atoi(std::string(whole.substr(0, whole.size() - 2)).c_str());
  int minutes = std::atoi(std::string(whole.substr(whole.size() - 2)).c_str());
  std::string f4(frac);
  f4.resize(4, '0');
  int tenThousandths = std::atoi(f4.c_str());
  return degrees + minutes / 60.0 + tenThousandths / 600000.0;
}

void parseReply(Parameter& p, const std::uint8_t* r) {
  LinkState& s = p.link;
  // 1. Checks.
  if (r[0] != kFrameStart || byteSum(r, 31) != r[31]) {
    int e = s.errorCount.load() + 1;
    s.errorCount.store(e > 2000 ? 2000 : e);
    p.badFrame.store(1);
    return;
  }
  // 2. A good reply.
  bumpWrapped(s.goodReplies1);
  bumpWrapped(s.goodReplies2);
  p.badFrame.store(0);
  bumpCapped(p.repliesReceived, 2000);
  p.replyTaken.store(1);
  s.replyAlive.store(1);
  int good = s.goodCount.load();
  if (good < 30) s.goodCount.store(++good);
  // 3. The first three good replies carry no readings.
  if (good < 4) {
    p.badFrame.store(1);
    return;
  }
  // 4. Text reply.
  if (r[30] == 0xAA) {
    parseText(p, r);
    return;
  }
  // 5. Force; 6. displacements.
  parseForce(p, r);
  {
    std::lock_guard<std::mutex> lock(p.loadLock);
    int phase = p.loadingPhase.load();
    float tol = p.extraValue82.load();
    float diff = p.controlLoad.load() - s.measuredLoad.load();
    s.pressureDeviation.store(tol > 0 && phase >= 2 && phase <= 4 && std::fabs(diff) > tol ? 1 : 0);
  }
  parseDisplacements(p, r);

  // 7. Controller state.
  const int mode = p.loadingMode.load();
  if (mode == 2 || mode == 3)
    s.pumpState.store((r[21] >> 4) == 0x0F ? 255 : 0);
  else
    s.pumpState.store(r[21]);
  s.valveReply.store(r[22]);
  s.valveByte.store(r[22] == 17 ? 18 : 17);
  if (r[22] == 1) {
    p.pumpForcedStop.store(64);
    s.stopState.store(3);
  }
  std::uint8_t faults = r[26];
  if (p.ParameterList.item(98) == 1.0f) faults = swapNibbles(faults);
  for (int i = 0; i < 8; ++i)
    s.sensorFault[static_cast<size_t>(i)].store((faults >> i) & 1 && s.gaugeOn[static_cast<size_t>(i)].load() ? 1 : 0);
  s.status27.store(r[27]);
  s.status28.store(r[28] & 1);
  p.batteryLevel.store(r[30] & 0x0F);
  s.chargeBits.store((r[30] >> 4) & 3);
  p.onBattery.store((r[30] >> 4) & 3);
  p.batteryValid.store((r[30] >> 6) & 3);
}

void refreshLinkInputs(Parameter& p) {
  LinkState& s = p.link;
  const auto& rec = p.testRecords;
  for (int k = 0; k < 8; ++k) {
    bool on = false;
    if (rec.size() >= static_cast<size_t>(kHeaderRecordCount)) {
      if (k < 4)
        on = rec[static_cast<size_t>(31 + k)].text1[0] == '1';
      else
        on = rec[static_cast<size_t>(17 + k)].text2[0] == '1';
    } else {
      on = p.displacementOn[static_cast<size_t>(k)].load() == 1;
    }
    s.gaugeOn[static_cast<size_t>(k)].store(on ? 1 : 0);
  }
  s.plateArea.store(p.setupValue);
  // The refill-unit mode (item 58) says whether the re-load limit is a percentage of the step load.
  s.reloadPercent.store(p.criterionMode1.load() != 0 ? 1 : 0);
  s.jacksInParallel.store(p.jackText.find(',') != std::string::npos ? 1 : 0);
  int points = 11;
  int g = p.selectedJackGroup.load();
  if (g >= 0 && g < static_cast<int>(p.jackGroups.size()))
    points = std::clamp(p.jackGroups[static_cast<size_t>(g)].pointCount, 1, 10) + 1;
  s.ratingPoints.store(points);
  // The load coefficient goes into header record 0 for every sensor whose load the parser derives: a
  // load cell, and an oil-pressure sensor with jack coefficients or a regression.
  const int method = p.pressureMethod.load();
  if (!rec.empty() && (p.forceSensorType.load() == 0 || method == 1 || method == 3)) {
    std::string text = platform::text::format("%.6f", static_cast<double>(s.jackK.load()));
    platform::text::putGbkField(reinterpret_cast<std::uint8_t*>(p.testRecords[0].text2), sizeof(TestRecord::text2),
                                text);
  }
}

}  // namespace frontend
