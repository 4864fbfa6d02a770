// The platform text frame of a reading: "$ZRV1.2|...|*XX" + "ZREND&".
#include <string>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"

using platform::text::format;

namespace {

bool fineStandard(int code) {
  return code == 3 || code == 58 || code == 88 || code == 90 || code == 102 || code == 119;
}

std::string pressureText(float v) {
  const double d = v;
  if (d >= 1000.0) return format("%.f", d);
  if (d >= 100.0) return format("%.1f", d);
  return format("%.2f", d);
}

std::string loadText(float v) {
  const double d = v;
  if (d >= 10000.0) return format("%.f", d);
  if (d >= 1000.0) return format("%.1f", d);
  return format("%.2f", d);
}

// "%.2f" without trailing zeros and then without a trailing point: 250, 12.5, 0.
std::string trimmed(float v) {
  std::string s = format("%.2f", static_cast<double>(v));
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

void addField(std::string& frame, const std::string& value) {
  frame += '|';
  frame += value;
}

std::string jsonString(const std::string& s) {
  std::string out(1, '"');
  for (char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

}  // namespace

namespace JDQFile {

int PlatformTextChecksum(const std::string& gbkFrame) {
  if (gbkFrame.size() < 2) return 0;
  const std::size_t last = gbkFrame.find_last_of('|');
  if (last == std::string::npos || last == 0) return 0;
  unsigned sum = 0;
  for (std::size_t i = 1; i <= last; ++i) sum += static_cast<unsigned char>(gbkFrame[i]);
  return static_cast<int>(sum % 256);
}

void BuildPlatformText(const Parameter& p, std::string& out, int number) {
  const PlatformReading& r = p.platformReading;
  const int standard = p.standardCode.load();
  const char* dispFormat = fineStandard(standard) ? "%.3f" : "%.2f";

  std::string f = "$ZRV1.2|";
  f += HeaderText(p.testRecords, 7, 3) + HeaderText(p.testRecords, 8, 1);
  f += format("|%d", r.counter1);
  f += format("|%d", r.counter2);
  addField(f, p.forceSensorType.load() == 1 ? pressureText(r.valueP) : std::string("0.00"));
  addField(f, loadText(r.valueL));
  addField(f, trimmed(p.controlLoad.load()));
  f += format("|%04d-%02d-%02d %02d:%02d:%02d", r.time.year, r.time.month, r.time.day, r.time.hour,
              r.time.minute, r.time.second);
  float sum = 0.0f;
  int on = 0;
  for (int k = 0; k < 8; ++k) {
    f += "|";
    if (p.displacementOn[static_cast<std::size_t>(k)].load() != 0) {
      const float v = r.displacements[static_cast<std::size_t>(k)];
      f += format(dispFormat, static_cast<double>(v));
      if (k < 4) {
        sum += v;
        ++on;
      }
    }
  }
  f += "||||";
  const float mean = on > 0 ? sum / static_cast<float>(on) : 0.0f;
  addField(f, format(dispFormat, static_cast<double>(RoundHalfEven(mean, fineStandard(standard) ? 3 : 2))));
  f += "|KRV-718C|A|3";
  f += format("|%d", number);
  f += "|{\"device_code\":";
  f += jsonString(p.controllerNumber.get());
  f += ",\"version\":";
  f += jsonString(p.versionText);
  f += ",\"manufactor\":2}|";
  f += format("*%X", PlatformTextChecksum(platform::text::utf8ToGbk(f)));
  f += "ZREND&";
  out = f;
}

}  // namespace JDQFile
