// The restore of a channel from its header records, with the running state of a test that was
// interrupted while it ran.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "model/computations.h"
#include "model/header_fields.h"
#include "model/helpers.h"
#include "model/restore.h"
#include "model/datafiles.h"

using namespace header_fields;

void JDQFile::RestoreFromHeader(Parameter& p, std::vector<TestRecord>& records) {
  RestoreSettingsFromHeader(p, records);
  const int n = static_cast<int>(records.size());
  auto rec = [&](int i) -> const TestRecord* { return i < n ? &records[i] : nullptr; };

  // 13. Rating data: select the fitting jack calibration group.
  if (p.pressureMethod == 2) {
    const int type = p.forceSensorType;
    const std::string jack = type != 0 ? p.jackText : std::string();
    if (SelectJackGroup(type, p.pressureOption, p.sensorText, jack, p) == 0) p.pressureMethod = 1;
  }

  // 15. Resume a test that was running.
  if (!p.resumeMarker) return;
  p.testRunning = 1;
  const int standard = p.standardCode;
  if (standard != 62 && standard != 76 && standard != 144) RebuildReadings(p, records);
  for (int j = 0; j < 12; ++j) {
    if (const TestRecord* r = rec(33 + j)) p.sensorTableA[j] = toFloat(r->text2);
    if (const TestRecord* r = rec(46 + j)) p.sensorTableB[j] = toFloat(r->text2);
    if (const TestRecord* r = rec(59 + j)) {
      const int c = intPart(toFloat(r->text2));
      p.sensorTableC[j] = c == 0 ? 1 : c;
    }
  }
  if (const TestRecord* r = rec(41)) {
    std::lock_guard<std::mutex> g(p.loadLock);
    p.loadingPhase = toInt(r->text1);
  }
  for (int k = 0; k < 3; ++k) {
    if (const TestRecord* r = rec(41 + k)) p.runCounters[k] = toInt(r->text3);
  }
  if (const TestRecord* r = rec(44)) p.runCounter4 = toInt(r->text3);
  if (const TestRecord* r = rec(42)) p.runSwitch1 = toInt(r->text1) == 1 ? 1 : 0;
  if (const TestRecord* r = rec(44)) p.runSwitch2 = toInt(r->text1) == 1 ? 1 : 0;
  if (const TestRecord* r = rec(43)) p.runValue = toFloat(r->text1);
  if (const TestRecord* r = rec(51)) p.clockShift = static_cast<std::int64_t>(toInt(r->text1));
  if (const TestRecord* r = rec(45)) {
    p.nextReadingSeconds = intPart(toFloat(r->text1));
    p.nextReadingText = TestClockTimeText(p.nextReadingSeconds, p.clockShift);
  }
  if (const TestRecord* r = rec(46)) p.runCounter5 = toInt(r->text1);
  if (const TestRecord* r = rec(56)) {
    // Older files keep the low 32 bits only: a negative value there is a time after 2038.
    std::int64_t next = toInt64(r->text1);
    if (next < 0 && next >= INT32_MIN) next += std::int64_t{1} << 32;
    p.elapsedCounter = next;
    p.procedure.levelClockAt = toInt64(r->text3);
  }
  // The test's start date goes on dating its upload records (a file without one keeps the time the
  // program started).
  if (const TestRecord* r = rec(47)) {
    int year = 0, month = 0, day = 0;
    char end = 0;
    if (std::sscanf(text(r->text1).c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &end) == 3 && year >= 1900 &&
        month >= 1 && month <= 12 && day >= 1 && day <= 31) {
      p.stampTime.year = year;
      p.stampTime.month = month;
      p.stampTime.day = day;
    }
  }

  // The cyclic lateral standards have neither a rebuild nor a judgement (as when a reading is
  // recorded): judging them would end their level at once.
  const bool cyclic = standard == 62 || standard == 76 || standard == 144;
  const int phase = p.loadingPhase;
  if ((phase == 2 || phase == 3 || phase > 5) && !p.runSwitch2) {
    if (phase < 4 && !cyclic) JudgeStable(p);
    p.nextReadingText = TestClockTimeText(p.nextReadingSeconds, p.clockShift);
  }
  LoadQueueFile(p.channelName, 1, 0, p);
  LoadQueueFile(p.channelName, 1, 1, p);
}
