// Recording a reading: the record at the channel's current record index, written to the test data
// file and its backup, the rebuild of the readings and the stability judgement, and the upload records.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "frontend/procedure.h"
#include "model/computations.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "model/record_values.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "upload/queue_record.h"

namespace frontend {

namespace clk = platform::clock;
using platform::text::format;

namespace {

bool isCyclic(int code) { return code == 62 || code == 76 || code == 144; }

// The first trailing text of a header record, as UTF-8 / written as GBK cut to its field.
std::string tail1Text(const std::vector<TestRecord>& r, int k) {
  if (k < 0 || static_cast<std::size_t>(k) >= r.size()) return {};
  const TestRecord& t = r[static_cast<std::size_t>(k)];
  return platform::text::gbkToUtf8(std::string(t.tail1, strnlen(t.tail1, sizeof t.tail1)));
}
void setTail1(std::vector<TestRecord>& r, int k, const std::string& utf8) {
  if (k < 0 || static_cast<std::size_t>(k) >= r.size()) return;
  TestRecord& t = r[static_cast<std::size_t>(k)];
  const std::string gbk = platform::text::gbkFit(utf8, sizeof t.tail1);
  std::memset(t.tail1, 0, sizeof t.tail1);
  std::memcpy(t.tail1, gbk.data(), gbk.size());
}

template <std::size_t N>
void putText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(N, text.size()));
}

// Whether the "Backup\" copy of the test file, where the SD card holds one, has records 0..k.
bool copyHolds(const Parameter& p, int k) {
  const int board = p.boardFlag.load();
  if (!FileExists(GetSdCardDir(board))) return true;
  const long long size = platform::fs::fileSize(JDQFile::BackupPathFor(p.testFilePath, board));
  return size < 0 || size >= (k + 1) * static_cast<long long>(kTestRecordDiskSize);
}

// Writes reading `index` into the test file and its copy, after every reading the storage did not
// take before it. Those go in as they were recorded (later rebuilds of the list do not reach them, as
// they would not have reached a record that was written at once), with the header texts as they are
// now, which may have missed changes meanwhile. True when all of it stands in the file; else the
// first reading not written and the records from it are kept for the next try.
bool storeReading(Parameter& p, int index, bool extraTexts) {
  ProcedureState& s = p.procedure;
  const std::vector<TestRecord>& records = p.testRecords;
  const std::string& path = p.testFilePath;
  constexpr std::size_t kSize = kTestRecordDiskSize;
  if (index == 0 || (s.unwrittenFrom >= 0 && s.unwrittenRecords.size() != (index - s.unwrittenFrom) * kSize)) {
    // A new test, or a backlog that does not lead up to this reading: nothing to catch up.
    s.unwrittenFrom = -1;
    s.unwrittenRecords.clear();
    s.heldUploads.clear();
  }
  bool ok;
  if (s.unwrittenFrom < 0) {
    ok = JDQFile::WriteReading(path, index, extraTexts, records, p) == 1;
  } else {
    std::vector<TestRecord> image = records;
    for (int k = s.unwrittenFrom; k < index; ++k) {
      TestRecord& r = image[static_cast<std::size_t>(k)];
      const TestRecord& now = records[static_cast<std::size_t>(k)];
      JDQFile::DecodeTestRecord(reinterpret_cast<const byte*>(&s.unwrittenRecords[(k - s.unwrittenFrom) * kSize]), false, r);
      if (k < kHeaderRecordCount) {
        std::memcpy(r.text1, now.text1, sizeof r.text1);
        std::memcpy(r.text2, now.text2, sizeof r.text2);
        std::memcpy(r.text3, now.text3, sizeof r.text3);
        std::memcpy(r.tail1, now.tail1, sizeof r.tail1);
      }
    }
    ok = JDQFile::UpdateAllHeaderTexts(path, 0, image, p) == 1 &&
         JDQFile::UpdateHeaderExtraTexts(path, 0, image, p) == 1;
    for (int k = s.unwrittenFrom; ok && k <= index + 1; ++k) {
      if (k <= index || (k > kHeaderRecordCount - 1 && static_cast<std::size_t>(k) < image.size()))
        ok = JDQFile::WriteRecord(path, k, image, p) == 1;
    }
  }
  ok = ok && copyHolds(p, index);
  if (ok) {
    s.unwrittenFrom = -1;
    s.unwrittenRecords.clear();
    return true;
  }
  if (s.unwrittenFrom < 0) s.unwrittenFrom = index;
  std::string bytes(kSize, '\0');
  JDQFile::EncodeTestRecord(records[static_cast<std::size_t>(index)], reinterpret_cast<byte*>(bytes.data()));
  s.unwrittenRecords += bytes;
  return false;
}

// The upload record just built goes to queue `which`; a reading's record waits while readings are
// not in the test file, so the queues never hold a reading the file lacks.
void enqueueBuilt(Parameter& p, int which, bool reading) {
  ProcedureState& s = p.procedure;
  if (reading && s.unwrittenFrom >= 0) {
    std::lock_guard<std::mutex> lock(p.queueLock);
    s.heldUploads.emplace_back(which, p.queueBuild);
    return;
  }
  JDQFile::EnqueueRecord(p, which);
}

// Queues the held upload records in the order of their readings.
void releaseHeldUploads(Parameter& p) {
  ProcedureState& s = p.procedure;
  for (const auto& [which, bytes] : s.heldUploads) {
    {
      std::lock_guard<std::mutex> lock(p.queueLock);
      p.queueBuild = bytes;
    }
    JDQFile::EnqueueRecord(p, which);
  }
  s.heldUploads.clear();
}

}  // namespace

float TargetPressure(const Parameter& p, float target) {
  const int type = p.forceSensorType.load();
  if (type == 0) return 0.0f;
  const float k = p.link.jackK.load();
  const int setting = p.sensorSetting.load();
  float pressure = 0.0f;
  if (type == 2) {
    if (setting < 1 || setting > 3200) return 0.0f;
    const float f = static_cast<float>(3200 / setting);
    pressure = k * target / f;
  } else {
    const float coefficient = p.sensorCoefficient.load();
    if (setting < 1 || setting > 1200 || !(coefficient > 0.0f)) return 0.0f;
    const float f = static_cast<float>(1200 / setting);
    pressure = k * target / (f * coefficient);
  }
  if (p.testType.load() == 0) pressure *= p.setupValue;
  if (p.pressureMethod.load() == 3) pressure += p.jackCoefficientC.load();
  return std::isfinite(pressure) ? pressure : 0.0f;
}

void ChannelProcedure::fillHeaderExtraTexts(Parameter& p) {
  std::vector<TestRecord>& r = p.testRecords;
  using JDQFile::HeaderText;
  setTail1(r, 0, HeaderText(r, 0, 2));
  setTail1(r, 1, HeaderText(r, 9, 1));
  setTail1(r, 2, HeaderText(r, 8, 1));
  setTail1(r, 3, HeaderText(r, 12, 1));
  setTail1(r, 8, "");
  setTail1(r, 9, platform::text::truncateChars(HeaderText(r, 12, 3), 1));
  if (p.testType.load() == 0) setTail1(r, 11, HeaderText(r, 3, 2));
  if (tail1Text(r, 9).rfind('1', 0) == 0) {
    setTail1(r, 4, HeaderText(r, 15, 1));
    setTail1(r, 5, HeaderText(r, 14, 1));
    setTail1(r, 6, HeaderText(r, 9, 3));
    setTail1(r, 7, HeaderText(r, 10, 3));
    setTail1(r, 8, HeaderText(r, 11, 3));
  } else {
    setTail1(r, 4, "");
    setTail1(r, 5, "");
    setTail1(r, 6, HeaderText(r, 17, 3));
    setTail1(r, 7, HeaderText(r, 18, 3));
  }
  setTail1(r, 10, HeaderText(r, 6, 1));
  setTail1(r, 12, "KRV718C-" + p.versionText);
  setTail1(r, 13, "0");
  // They reach the file with the reading (JDQFile::WriteReading).
}

int ChannelProcedure::RecordReading(Parameter& p, const std::string& name) {
  (void)name;
  ProcedureState& s = p.procedure;
  if (p.loadingPhase.load() == 0) return 0;
  Parameter& c1 = channel1();
  if (p.ParameterList.item(88) == 0.0f && c1.alarmOn.load() == 0) {
    p.link.auxCountdown.store(3);
    alarmOn();
  }

  const clk::DateTime now = p.localTime;
  const int code = p.standardCode.load();
  const float target = p.controlLoad.load();
  std::vector<TestRecord>& records = p.testRecords;
  // The reading goes to the current record index; an index beyond the records in memory (a damaged
  // count) takes the place after the last record instead of filling a gap.
  const int index = std::clamp(p.readingCount, 0, static_cast<int>(records.size()));
  if (records.size() <= static_cast<std::size_t>(index)) records.push_back(JDQFile::BlankTestRecord());
  TestRecord& r = records[static_cast<std::size_t>(index)];

  // 3. Load and pressure, marker.
  std::string marker;
  float load;
  float pressure;
  if (s.levelStart != 0) {
    s.levelStartMark = 1;
    load = target;
    pressure = TargetPressure(p, target);
    marker = "--:--";
    s.settingsChanged = 0;
    s.levelStart = 0;
    s.levelReadings = 0;
  } else {
    s.readingClock = 0;
    marker = format("%02d:%02d", now.hour, now.minute);
    load = p.link.measuredLoad.load();
    pressure = p.link.measuredPressure.load();
    if (s.useTarget != 0) {
      s.useTargetMark = 1;
      s.useTarget = 0;
      load = target;
      pressure = TargetPressure(p, target);
    }
    ++s.levelReadings;
  }
  std::memcpy(r.marker, marker.data(), std::min(marker.size(), sizeof r.marker));
  // Minutes since the level's schedule started (in the list the rebuild writes the derived times over
  // them). A reading of the schedule keeps the minute at which it stands in its level in value 15 as
  // well, where the rebuild finds it: its slot, or the minute at which it was taken off its slot.
  const bool ownMinute = s.ownMinutes >= 0 && marker != "--:--";
  const std::int64_t elapsed = marker == "--:--" ? 0
                               : ownMinute       ? s.ownMinutes
                                                 : (clk::toSeconds(now) - s.levelClockAt + 30) / 60;
  const int kept = marker == "--:--" ? -1 : ownMinute ? s.ownMinutes : s.slotMinutes;
  putText(r.time, format("%d", static_cast<int>(std::clamp<std::int64_t>(elapsed, 0, 99998))));
  r.valuesA[0] = load;
  r.valuesA[1] = pressure;
  r.valuesA[record_values::kTakenMinutes] = kept >= 0 ? static_cast<float>(kept) : 0.0f;

  // 4, 5. Header texts.
  JDQFile::SetHeaderText(records, 62, 3, "");
  if (index == 1) fillHeaderExtraTexts(p);

  // 6. Displacements and the copies.
  PutDisplacements(p, r);
  r.valuesB[0] = r.valuesA[0];
  r.valuesB[1] = r.valuesA[1];

  // 7. Status bytes.
  const EventBytes events = TakeEventBytes(p, true);
  const int routeCode = toIntSaturated(route() + 0.5f);
  std::memset(r.tail2, 0, sizeof r.tail2);
  PutStatusBytes(p, r, events, routeCode);
  // A reading of the schedule is never left out of the rebuild: the procedure-changed mark stays in
  // status byte 1 (and the upload record), not in byte 0, whose bit 64 would leave it out.
  r.tail2[0] = static_cast<char>(static_cast<unsigned char>(r.tail2[0]) & ~0x40u);
  r.tail2[5] = static_cast<char>(ownMinute             ? record_values::kAtItsOwnMinute
                                 : s.lateReading != 0 ? static_cast<unsigned char>(kLateInItsPlace)
                                                      : 0);
  if (kept >= 0) r.tail2[record_values::kMinuteMarkByte] = record_values::kMinuteKept;
  s.lateReading = 0;
  s.ownMinutes = -1;
  s.slotMinutes = -1;

  // 8. Running state into the header texts.
  p.runCounters[0] = s.readingIndex;
  p.runCounters[1] = s.levelCounter;
  p.runCounters[2] = p.link.levelNumber.load();
  p.runCounter4 = s.reloadCounter;
  p.runCounter5 = s.levelEndCounter;
  p.runSwitch1 = s.catchUpTaken;
  p.runSwitch2 = s.waitingAfterStable;
  p.runValue = p.previousLoad.load();
  UpdateStateRecords(p);

  // 9, 10. Last values, the record to the file.
  s.lastRecorded[0] = load;
  s.lastRecorded[1] = pressure;
  if (isCyclic(code)) {
    r.valuesA[13] = static_cast<float>(s.reloadCounter);
    r.valuesA[17] = target;
  }
  // 10, 14. The end record after the reading is marked in the list first, so the reading, the end
  // record past the header and the header texts of steps 5 and 8 reach the file (and its copy) as one
  // set of writes, all or none across a power loss.
  const int next = index + 1;
  while (records.size() <= static_cast<std::size_t>(next)) records.push_back(JDQFile::BlankTestRecord());
  JDQFile::SetEmptyMarks(records[static_cast<std::size_t>(next)]);
  const bool hadBacklog = p.procedure.unwrittenFrom >= 0 && index != 0;
  const bool stored = storeReading(p, index, index == 1);
  if (stored && (hadBacklog || index == 0)) {
    releaseHeldUploads(p);
    p.link.storageText.clear();
  } else if (!stored && !hadBacklog) {
    // The storage alarm and the storage-fault prompt of the main loop, with the first reading lost to
    // the storage; the status line keeps saying so until the readings stand in the file.
    if (channel1().alarmOn.load() == 0) alarmOn();
    p.configCheck = 4;
    p.link.storageText = std::to_string(channelNumber(p)) + "#试验仪器存储出现故障，请将试验数据导出，及时送修！";
  }

  // 11, 12. Upload.
  s.lastReadingTime = format("%02d:%02d", now.hour, now.minute);
  p.minuteUpload.store(0);
  queueUpload(p, false);

  // 13, 14. Marks, the next record.
  s.levelStartMark = 0;
  s.useTargetMark = 0;
  p.readingCount = next;
  ++p.readingCount2;

  // 15. Derived values and the stability judgement.
  if (!isCyclic(code)) {
    JDQFile::RebuildReadings(p, records);
    const int phase = p.loadingPhase.load();
    if (phase == 2 || phase == 3) {
      std::lock_guard<std::mutex> lock(p.loadLock);
      if (p.loadingPhase.load() == phase) JDQFile::JudgeStable(p);
    }
  }

  // 16. The per-second sampling starts again from this reading.
  s.previousSample = now;
  s.thisTick = now;
  s.clockJump = 0;
  s.sampleCounter = 0;
  p.exportRecords.clear();

  // 17. The report page on screen redraws.
  p.pageRedraw.store(window_.shownReportPage());
  return 1;
}

void ChannelProcedure::queueUpload(Parameter& p, bool minuteRecord) {
  const int routeCode = toIntSaturated(route() + 0.5f);
  if (routeCode != 0 && routeCode != 2 && routeCode != 3) return;
  const ProcedureState& s = p.procedure;
  UploadRecordInput in = UploadInputFromChannel(p);
  in.timeText = s.lastReadingTime;
  in.readingMark = s.levelStartMark != 0;
  in.liveValues = minuteRecord;
  in.recorded.load = s.lastRecorded[0];
  in.recorded.oilPressure = s.lastRecorded[1];
  for (std::size_t g = 0; g < 8; ++g) in.recorded.gauges[g] = s.lastRecorded[2 + g];
  // The load the reply parser derives from the force reading with the sensor coefficients.
  in.derivedValue = p.link.measuredLoad.load();
  in.cycleCounter = s.reloadCounter;
  const std::size_t last = static_cast<std::size_t>(std::max(0, p.readingCount - (minuteRecord ? 1 : 0)));
  if (last < p.testRecords.size()) {
    const TestRecord& r = p.testRecords[last];
    in.status1 = static_cast<std::uint8_t>(r.tail2[1]);
    in.status2 = static_cast<std::uint8_t>(r.tail2[3]);
    in.status3 = static_cast<std::uint8_t>(r.tail2[4]);
  }
  // Alarm flags of the record: the load that cannot be built up (item 30), the uneven-settlement
  // alarm (item 29), the settlement (item 28 is compared with it) and the gauges near the end of their
  // range.
  in.pressureAlarm = !p.link.alarmText[LinkState::NoPressure].empty();
  in.protectionAlarm = !p.link.alarmText[LinkState::Uneven].empty();
  in.protectedValue = p.link.meanDisplacement.load();
  for (std::size_t g = 0; g < 4; ++g) in.gaugeAlarm[g] = p.link.nearRange[g].load() != 0;
  in.commandOption = p.link.levelNumber.load() == 1 ? 1 : 0;
  in.controllerLongitude = p.link.controllerLongitude.load();
  in.controllerLatitude = p.link.controllerLatitude.load();

  if (routeCode == 0 || routeCode == 3) {
    p.boxFlag.store(0);
    in.identifierFromRecord8 = false;
    BuildIntoChannel(p, in, UploadRecordKind::Reading);
    enqueueBuilt(p, 0, !minuteRecord);
  }
  if ((routeCode == 2 || routeCode == 3) && !minuteRecord && s.levelStartMark == 0 &&
      p.platformTextSwitch.load() == 1) {
    // The external box gets the platform's text frame of the reading instead of the binary record.
    PlatformReading& r = p.platformReading;
    r.counter1 = p.link.levelNumber.load();
    r.counter2 = s.levelReadings;
    r.valueL = s.lastRecorded[0];
    r.valueP = s.lastRecorded[1];
    r.time = p.localTime;
    for (std::size_t g = 0; g < 8; ++g) r.displacements[g] = s.lastRecorded[2 + g];
    std::string text;
    JDQFile::BuildPlatformText(p, text, p.platformTextNumber);
    p.platformTextNumber = p.readingCount + 1;
    std::lock_guard<std::mutex> lock(p.queueLock);
    p.platformTexts.push_back(std::move(text));
    return;
  }
  if (routeCode == 2 || routeCode == 3) {
    const bool box = !p.externalSerialNumber.empty() && routeCode == 3;
    p.boxFlag.store(box ? 1 : 0);
    in.identifierFromRecord8 = box;
    BuildIntoChannel(p, in, UploadRecordKind::Reading);
    enqueueBuilt(p, 1, !minuteRecord);
  }
}

EventBytes TakeEventBytes(Parameter& p, bool countPaused) {
  ProcedureState& s = p.procedure;
  EventBytes e;
  if (p.uploadEventMark.load() == 1) {
    e.b = 16;
    p.uploadEventMark.store(0);
  } else {
    for (std::size_t z = 0; z < 4; ++z)
      if (s.zeroingMarks[z] != 0) e.a += 1 << z;
  }
  s.zeroingMarks.fill(0);
  if (s.settingsChanged != 0) e.a += 16;
  if (s.scheduleBreak != 0) e.a += 32;
  if (p.procedureChanged.load() != 0) e.a += 64;
  if (s.pumpStopMark != 0) e.b += 1;
  if (s.alarmMarks[0] != 0) e.b += 2;
  if (s.alarmMarks[1] != 0) e.b += 4;
  if (countPaused && s.pausedMark != 0) e.b += 8;
  s.settingsChanged = 0;
  s.scheduleBreak = 0;
  p.procedureChanged.store(0);
  s.alarmMarks.fill(0);
  if (countPaused) s.pausedMark = 0;
  return e;
}

void PutDisplacements(Parameter& p, TestRecord& r) {
  for (std::size_t g = 0; g < 8; ++g) {
    r.valuesA[2 + g] = p.link.displacement[g].load();
    p.procedure.lastRecorded[2 + g] = r.valuesA[2 + g];
  }
  std::memcpy(r.stepMark, r.marker, sizeof r.stepMark);
  for (std::size_t v = 2; v < 10; ++v) r.valuesB[v] = r.valuesA[v];
}

void PutStatusBytes(const Parameter& p, TestRecord& r, EventBytes e, int routeCode) {
  r.tail2[0] = static_cast<char>(p.testType.load() == 2 ? 0 : e.a);
  r.tail2[1] = static_cast<char>(e.a);
  r.tail2[2] = static_cast<char>(routeCode);
  r.tail2[3] = static_cast<char>(e.b);
  r.tail2[4] = static_cast<char>(e.b);
}

}  // namespace frontend
