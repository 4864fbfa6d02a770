#include "calib/jack_calibration.h"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"
#include "setup/timing.h"

using platform::text::format;

namespace {

constexpr std::size_t kNameChars = 20;  // the group's name fields
constexpr const char* kWriteFailed = "保存失败!";

// The integer at the start of a number text, as "%d" reads it, held to the range of int.
int LeadingInt(const std::string& text) {
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// A number text read as "%f" does; false for a text that is no number or does not fit a float.
bool ReadFloat(const std::string& text, float& out) {
  if (!IsValidNumber(text)) return false;
  const float v = std::strtof(text.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  out = v;
  return true;
}

// The number of points of a text: a whole number 1..10 (leading zeros allowed), else 0.
int PointCountOf(const std::string& text) {
  if (!IsValidNumber(text) || !IsAllDigits(text)) return 0;
  const std::size_t first = text.find_first_not_of('0');
  if (first == std::string::npos || text.size() - first > 2) return 0;
  const int n = std::atoi(text.c_str() + first);
  return n >= 1 && n <= kJackMaxPoints ? n : 0;
}

// "%.2f" without its trailing zeros and point.
std::string Shown(float v) { return TrimNumberText(format("%.2f", static_cast<double>(v))); }
std::string ShownOrEmpty(float v) {
  std::string t = Shown(v);
  return t == "0" ? std::string() : t;
}

JackCalibrationGroup& GroupAt(Parameter& channel1, int group) {
  EnsureJackGroups(channel1);
  return channel1.jackGroups[static_cast<std::size_t>(group - 1)];
}

}  // namespace

std::string JackTableTitle(int group) {
  return format(group >= 10 ? "千斤顶率定表     第%d组 共10组" : "千斤顶率定表      第%d组 共10组", group);
}

// Record layout: standard forces of points 1-8 are values 4-11, of points 9 and 10 values 13 and 14;
// measured values of points 1-8 are values 15-22, of point 0 value 23, of points 9 and 10 values 24, 25.
float JackStandardForce(const JackCalibrationGroup& g, int k) {
  if (k >= 1 && k <= 8) return g.values4to11[static_cast<std::size_t>(k - 1)];
  if (k == 9 || k == 10) return g.values13to22[static_cast<std::size_t>(k - 9)];
  return 0.0f;
}

void SetJackStandardForce(JackCalibrationGroup& g, int k, float value) {
  if (k >= 1 && k <= 8) g.values4to11[static_cast<std::size_t>(k - 1)] = value;
  else if (k == 9 || k == 10) g.values13to22[static_cast<std::size_t>(k - 9)] = value;
}

float JackMeasuredValue(const JackCalibrationGroup& g, int k) {
  if (k == 0) return g.value23;
  if (k >= 1 && k <= 8) return g.values13to22[static_cast<std::size_t>(k + 1)];
  if (k == 9) return g.value24;
  if (k == 10) return g.value25;
  return 0.0f;
}

void SetJackMeasuredValue(JackCalibrationGroup& g, int k, float value) {
  if (k == 0) g.value23 = value;
  else if (k >= 1 && k <= 8) g.values13to22[static_cast<std::size_t>(k + 1)] = value;
  else if (k == 9) g.value24 = value;
  else if (k == 10) g.value25 = value;
}

void EnsureJackGroups(Parameter& channel1) {
  if (channel1.jackGroups.size() < static_cast<std::size_t>(kJackGroupCount))
    channel1.jackGroups.resize(static_cast<std::size_t>(kJackGroupCount), JDQFile::DefaultJackGroup());
}

void LoadJackGroups(Parameter& channel1) {
  channel1.jackGroups.assign(static_cast<std::size_t>(kJackGroupCount), JDQFile::DefaultJackGroup());
  JDQFile::LoadJackData(channel1.jackGroups, channel1);  // a missing file leaves the groups empty
}

JackGroupView ViewJackGroup(const JackCalibrationGroup& g) {
  JackGroupView v;
  v.jackNumber = g.name1;
  v.sensorNumber = g.name2;
  v.system = g.kind == 1;
  v.maxForce = Shown(g.maxForce);
  v.points = format("%d", g.pointCount);
  v.pointCount = g.pointCount < 0 ? 0 : g.pointCount > kJackMaxPoints ? kJackMaxPoints : g.pointCount;
  v.standard[0] = "0";
  v.measured[0] = Shown(JackMeasuredValue(g, 0));
  for (int k = 1; k <= kJackMaxPoints; ++k) {
    v.standard[static_cast<std::size_t>(k)] = ShownOrEmpty(JackStandardForce(g, k));
    v.measured[static_cast<std::size_t>(k)] = ShownOrEmpty(JackMeasuredValue(g, k));
  }
  v.saved = g.inUse == 1;
  return v;
}

JackGenerateResult GenerateStandardForces(const JackGenerateEntry& e) {
  JackGenerateResult r;
  auto refuse = [&r](const char* text) {
    r.message = {text, true};
    return r;
  };
  if (!IsValidNumber(e.maxForce)) return refuse(kJackMaxForceNotNumber);
  if (!IsValidNumber(e.points)) return refuse(kJackPointsNotNumber);
  if (!e.system && e.jackNumber.empty()) return refuse(kJackNumberEmpty);
  if (e.system && e.sensorNumber.empty()) return refuse(kJackSensorNumberEmpty);
  const int maxForce = LeadingInt(e.maxForce);  // a decimal maximum force is cut at the point
  if (maxForce < 1) return refuse(e.system ? kSystemMaxForceZero : kJackMaxForceZero);
  const int n = PointCountOf(e.points);
  if (n == 0) return refuse(kJackPointsOutOfRange);
  r.generated = true;
  r.message = {e.system ? kSystemGenerated : kJackGenerated, false};
  r.pointCount = n;
  const int step = maxForce / n;
  for (int j = 0; j <= n; ++j) r.standard[static_cast<std::size_t>(j)] = format("%d", j * step);
  return r;
}

JackSaveResult SaveJackGroup(Parameter& channel1, int group, const JackSaveEntry& e) {
  JackSaveResult r;
  if (group < 1 || group > kJackGroupCount) return r;
  JackCalibrationGroup copy = GroupAt(channel1, group);
  copy.name1 = platform::text::truncateChars(e.jackNumber, kNameChars);
  copy.name2 = platform::text::truncateChars(e.sensorNumber, kNameChars);
  copy.kind = e.system ? 1 : 0;
  ReadFloat(e.maxForce, copy.maxForce);
  const int n = PointCountOf(e.points);
  if (n != 0) copy.pointCount = n;
  for (int k = 1; k <= kJackMaxPoints; ++k) {
    float v = JackStandardForce(copy, k);
    if (ReadFloat(e.standard[static_cast<std::size_t>(k)], v)) SetJackStandardForce(copy, k, v);
  }
  for (int k = 0; k <= kJackMaxPoints; ++k) {
    float v = JackMeasuredValue(copy, k);
    if (ReadFloat(e.measured[static_cast<std::size_t>(k)], v)) SetJackMeasuredValue(copy, k, v);
  }

  auto refuse = [&r](const char* text) {
    r.message = {text, true};
    return r;
  };
  if (!e.system && e.jackNumber.empty()) return refuse(kJackNumberEmpty);
  if (e.system && e.sensorNumber.empty()) return refuse(kJackSensorNumberEmpty);
  if (!IsValidNumber(e.points)) return refuse(kJackPointsNotNumber);
  if (n == 0) return refuse(kJackPointsOutOfRange);
  for (int k = 1; k <= n; ++k)
    if (!IsValidNumber(e.measured[static_cast<std::size_t>(k)])) return refuse(kJackValuesMissing);
  if (!IsValidNumber(e.measured[0])) return refuse(kJackZeroPointWrong);
  // A table whose standard forces do not rise from point to point cannot be looked up.
  float previous = 0.0f;
  for (int k = 1; k <= n; ++k) {
    const float f = JackStandardForce(copy, k);
    if (!(f > previous)) return refuse(kJackStandardForcesWrong);
    previous = f;
  }
  if (GroupAt(channel1, group).inUse == 1) {
    r.message = {kJackAlreadySaved, false};
    return r;
  }
  copy.inUse = 1;
  JackCalibrationGroup& stored = GroupAt(channel1, group);
  const JackCalibrationGroup before = stored;
  stored = copy;
  if (JDQFile::SaveJackData(channel1.jackGroups, channel1) != 1) {
    stored = before;  // the list keeps what the file holds, and the group can be saved again
    return refuse(kWriteFailed);
  }
  r.saved = true;
  r.written = true;
  r.message = {kJackSaved, false};
  return r;
}

JackPageResult PreviousJackGroup(int group) {
  JackPageResult r;
  r.group = group;
  if (group <= 1) {
    r.group = 1;
    r.message = {kJackFirstGroup, false};
    return r;
  }
  r.group = group - 1;
  r.changed = true;
  return r;
}

JackPageResult NextJackGroup(const Parameter& channel1, int group) {
  JackPageResult r;
  r.group = group;
  auto saved = [&channel1](int g) {
    const std::size_t i = static_cast<std::size_t>(g - 1);
    return g >= 1 && i < channel1.jackGroups.size() && channel1.jackGroups[i].inUse == 1;
  };
  if (!saved(group)) {
    r.message = {kJackNotSaved, true};
    return r;
  }
  if (group >= kJackGroupCount) {
    r.message = {kJackLastGroup, false};
    return r;
  }
  // During channel 1's test only saved groups are paged through.
  if (channel1.testRunning.load() == 1 && !saved(group + 1)) return r;
  r.group = group + 1;
  r.changed = true;
  return r;
}

JackDeleteResult DeleteJackGroup(Parameter& channel1, int group) {
  JackDeleteResult r;
  if (channel1.testRunning.load() == 1) {
    r.message = {kJackDeleteRunning, true};
    return r;
  }
  if (group < 1 || group > kJackGroupCount) return r;
  EnsureJackGroups(channel1);
  const std::vector<JackCalibrationGroup> before = channel1.jackGroups;
  for (std::size_t i = static_cast<std::size_t>(group - 1); i + 1 < static_cast<std::size_t>(kJackGroupCount); ++i)
    channel1.jackGroups[i] = channel1.jackGroups[i + 1];
  channel1.jackGroups[static_cast<std::size_t>(kJackGroupCount - 1)] = JDQFile::DefaultJackGroup();
  if (JDQFile::SaveJackData(channel1.jackGroups, channel1) != 1) {
    channel1.jackGroups = before;
    r.message = {kWriteFailed, true};
    return r;
  }
  r.deleted = true;
  r.message = {kJackDeleted, false};
  return r;
}

bool JackPreviousAvailable(int group) { return group > 1; }
bool JackNextAvailable(int group) { return group < kJackGroupCount; }
bool JackDeleteAvailable(const Parameter& channel1) { return channel1.testRunning.load() != 1; }
