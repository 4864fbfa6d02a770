#include "app/test_control.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "calib/zeroing.h"
#include "frontend/procedure.h"
#include "model/datafiles.h"
#include "model/header_fields.h"
#include "model/helpers.h"
#include "model/journal.h"
#include "model/opened_test.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "setup/date_time.h"
#include "upload/queue_record.h"

namespace testcontrol {

namespace fs = platform::fs;
namespace clk = platform::clock;
using platform::text::format;

namespace {

std::string lastThree(const std::string& name) { return name.size() >= 3 ? name.substr(name.size() - 3) : name; }

bool isDataName(const std::string& name) {
  const std::string e = lastThree(name);
  return e == "krv" || e == "kbx" || e == "zph" || e == "krs";
}

bool thousandthsStandard(int code) {
  return code == 3 || code == 58 || code == 88 || code == 90 || code == 102 || code == 119;
}

// Seconds of day and date of the current tick.
clk::DateTime nowOf(const Parameter& p) {
  return clk::isValid(p.localTime) ? p.localTime : clk::localTime();
}

void setPhase(Parameter& p, int phase) {
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.loadingPhase.store(phase);
}

void clearSampling(Parameter& p) {
  ProcedureState& s = p.procedure;
  s.useTarget = 0;
  s.readingClock = 0;
  s.sampleCounter = 0;
  p.exportRecords.clear();
}

void emptyQueues(Parameter& p) {
  std::lock_guard<std::mutex> lock(p.queueLock);
  p.moduleQueue.clear();
  p.boxQueue.clear();
}

std::string queuePath(Parameter& p, int which) {
  std::lock_guard<std::mutex> lock(p.queueLock);
  return which == 0 ? p.moduleQueuePath : p.boxQueuePath;
}

// Packed decimal of six characters (a missing or non-digit character counts as 0).
void packDigits(const std::string& text, byte* out) {
  auto digit = [&](std::size_t i) -> int {
    if (i >= text.size()) return 0;
    const char c = text[i];
    return c >= '0' && c <= '9' ? c - '0' : 0;
  };
  for (std::size_t k = 0; k < 3; ++k)
    out[k] = static_cast<byte>((digit(2 * k) << 4) | digit(2 * k + 1));
}

std::string gaugeOnText(const std::vector<TestRecord>& r, int channel) {
  // Channels 1-4: text1 of records 31-34; channels 5-8: text2 of records 21-24.
  const std::size_t k = channel <= 4 ? static_cast<std::size_t>(30 + channel) : static_cast<std::size_t>(16 + channel);
  if (k >= r.size()) return {};
  return channel <= 4 ? header_fields::raw(r[k].text1) : header_fields::raw(r[k].text2);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------

StorageCounts CountStorageFiles(int boardFlag) {
  StorageCounts c;
  const std::string root = GetDataRoot(boardFlag);
  for (const fs::Entry& e : fs::find(root + "*.*")) {
    if (e.isFolder) continue;
    if (isDataName(e.name)) ++c.dataFiles;
    else if (lastThree(e.name) == "gps") ++c.queueFiles;
  }
  for (const fs::Entry& e : fs::find(root + "Backup\\*.*"))
    if (!e.isFolder && isDataName(e.name)) ++c.backupFiles;
  return c;
}

int IsFileMissing(const std::string& path) { return fs::find(path).empty() && !fs::exists(path) ? 1 : 0; }

BackupVerdict JudgeBackupFiles(int n) {
  if (n <= 1900) return BackupVerdict::Fine;
  if (n <= 2000) return BackupVerdict::Warn;
  return BackupVerdict::AskToClean;
}

DataVerdict JudgeDataFiles(int n) {
  if (n > 100) return DataVerdict::Refuse;
  if (n >= 80) return DataVerdict::StartWithWarning;
  return DataVerdict::Start;
}

bool RemoveBackupFolder(int boardFlag) {
  const std::string card = GetSdCardDir(boardFlag);
  const std::string folder = card + "Backup";
  // Only the card's own backup folder goes: its host path is "Backup" directly inside the card's.
  std::filesystem::path cardHost = fs::hostPath(card).lexically_normal();
  const std::filesystem::path host = fs::hostPath(folder).lexically_normal();
  if (!cardHost.has_filename()) cardHost = cardHost.parent_path();
  if (cardHost.empty() || host.empty() || host.parent_path() != cardHost ||
      !platform::text::equalsIgnoreCase(host.filename().string(), "Backup"))
    return false;
  if (!fs::isFolder(folder)) return true;
  return fs::deleteFolderTree(folder);
}

bool HasStartEntries(const Parameter& p) { return !p.testFilePath.empty() && p.controlLoad.load() > 0.0f; }

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool BeginTest(Parameter& p) {
  // The test is dated by its start on the channel's clock: the header's test date (record 9), the
  // date kept with the running state (record 47) and the date of every upload record alike, whenever
  // the test was set up and however long the program has run.
  p.stampTime = UpdateTestClock(p);
  const std::string date = format("%04d-%02d-%02d", p.stampTime.year, p.stampTime.month, p.stampTime.day);
  JDQFile::SetHeaderText(p.testRecords, 9, 1, date);
  JDQFile::SetHeaderText(p.testRecords, 47, 1, date);
  // The file first: a test never runs without its file.
  if (JDQFile::CreateTestFile(p.testFilePath, p.testRecords, p) != 1) {
    const std::string backup = JDQFile::BackupPathFor(p.testFilePath, p.boardFlag.load());
    for (const std::string& f : {p.testFilePath, backup}) {
      fs::deleteFile(f);
      filejournal::Discard(f);
    }
    return false;
  }
  ProcedureState& s = p.procedure;
  p.testRunning.store(1);
  p.fileLoaded.store(0);
  p.paused.store(0);
  s.scheduleBreak = 0;
  p.readingCount = 0;
  p.readingCount2 = 0;
  p.readingIndex = 0;
  p.pumpCommand.store(0);
  s.levelCounter = 0;
  s.reloadCounter = 1;
  s.levelReadings = 0;
  emptyQueues(p);
  p.resendHold.store(0);
  p.keepQueueFile.store(0);  // a stopped re-send kept its file until now at the latest
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
  JDQFile::UpdateAllHeaderTexts(p.testFilePath, 31, p.testRecords, p);
  s.lastTestFileName = FileNameOf(p.testFilePath);
  return true;
}

// ---------------------------------------------------------------------------------------------------

void ResetPumpAndValves(Parameter& p) {
  frontend::ClearPumpControl(p);
  p.link.stopState.store(0);
  p.procedure.pumpStopKind = 0;
  p.procedure.pumpStopMark = 0;
  p.pumpForcedStop.store(0);
}

bool FinishTestFromDialog(Parameter& p, float route) {
  if (p.testRunning.load() != 1) return false;
  ProcedureState& s = p.procedure;
  p.pollWhenIdle.store(1);
  const std::string name = FileNameOf(p.testFilePath);
  s.lastTestFileName = name;
  // Idle as after the procedure's own end: nothing of the test is read, sounded or shown any more.
  frontend::ClearToIdle(p);
  p.fileLoaded.store(1);
  p.testFilePath.clear();
  p.clockShift = 0;

  // Queue files with nothing left to send go; one that still holds unsent slots stays for a re-send
  // (marking no slot lets the queue-file routine decide).
  const int routeCode = static_cast<int>(route + 0.5f);
  for (int which = 0; which < 2; ++which) {
    const bool used = which == 0 ? (routeCode == 0 || routeCode == 3) : (routeCode == 2 || routeCode == 3);
    if (!used || queuePath(p, which).empty()) continue;
    std::int64_t none = QueueRecord::kNoSlot;
    JDQFile::WriteQueueFile(queuePath(p, which), 1, which, p, &none);
  }

  {
    std::lock_guard<std::mutex> lock(p.loadLock);
    p.controlLoad.store(0.0f);
  }
  p.ParameterList.set(24, 0.0f);  // the next test's set-up gives its own control load
  JDQFile::BuildHeaderRecords(p);
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::RestoreFromHeader(p, p.testRecords);
  JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
  emptyQueues(p);

  if (!name.empty()) JDQFile::LoadOpenedTest(p, GetDataRoot(p.boardFlag.load()) + name);
  return true;
}

// ---------------------------------------------------------------------------------------------------

ManualOutcome ManualRecord(Parameter& p, float route, int shownPage) {
  if (p.testRunning.load() == 0) return ManualOutcome::Nothing;
  ProcedureState& s = p.procedure;
  const bool noReading = p.nextReadingText == frontend::kNoReadingText;
  if (noReading && p.pumpForcedStop.load() == 64) {
    const int phase = p.loadingPhase.load();
    if (phase == 1 || phase == 5) {
      setPhase(p, phase == 1 ? 2 : 6);
      s.readingClock = 1;
      s.useTarget = 1;
      if (phase == 1) s.sampleCounter = 60;
      p.procedureChanged.store(1);
      return ManualOutcome::LevelAdvanced;
    }
  }

  p.procedureChanged.store(1);
  const clk::DateTime now = nowOf(p);
  const int index = std::max(0, p.readingCount);
  std::vector<TestRecord>& records = p.testRecords;
  while (records.size() <= static_cast<std::size_t>(index)) records.push_back(JDQFile::BlankTestRecord());
  TestRecord& r = records[static_cast<std::size_t>(index)];
  const std::string marker = format("%02d:%02d", now.hour, now.minute);
  std::memcpy(r.marker, marker.data(), std::min(marker.size(), sizeof r.marker));
  r.valuesA[0] = p.link.measuredLoad.load();
  r.valuesA[1] = p.link.measuredPressure.load();
  frontend::PutDisplacements(p, r);

  const frontend::EventBytes events = frontend::TakeEventBytes(p, false);
  const int a = events.a;
  const int b = events.b;
  const int routeCode = static_cast<int>(route + 0.5f);
  frontend::PutStatusBytes(p, r, events, routeCode);
  JDQFile::WriteRecord(p.testFilePath, index, records, p);

  s.lastReadingTime = marker;
  p.minuteUpload.store(0);

  if (routeCode == 0 || routeCode == 2 || routeCode == 3) {
    UploadRecordInput in = UploadInputFromChannel(p);
    in.timeText = marker;
    in.recorded.load = r.valuesA[0];
    in.recorded.oilPressure = r.valuesA[1];
    for (std::size_t g = 0; g < 8; ++g) in.recorded.gauges[g] = r.valuesA[2 + g];
    in.derivedValue = p.link.measuredLoad.load();
    in.cycleCounter = s.reloadCounter;
    in.pressureAlarm = !p.link.alarmText[LinkState::NoPressure].empty();
    in.controllerLongitude = p.link.controllerLongitude.load();
    in.controllerLatitude = p.link.controllerLatitude.load();
    in.status1 = static_cast<std::uint8_t>(a);
    in.status2 = static_cast<std::uint8_t>(b);
    in.status3 = static_cast<std::uint8_t>(b);
    in.protectedValue = p.link.meanDisplacement.load();
    in.commandOption = p.link.levelNumber.load() == 1 ? 1 : 0;
    if (routeCode == 0 || routeCode == 3) {
      p.boxFlag.store(0);
      in.identifierFromRecord8 = false;
      BuildIntoChannel(p, in, UploadRecordKind::Manual);
      JDQFile::EnqueueRecord(p, 0);
    }
    if (routeCode == 2 || routeCode == 3) {
      const bool box = !p.externalSerialNumber.empty() && routeCode == 3;
      p.boxFlag.store(box ? 1 : 0);
      in.identifierFromRecord8 = box;
      BuildIntoChannel(p, in, UploadRecordKind::Manual);
      JDQFile::EnqueueRecord(p, 1);
    }
  }
  p.pageRedraw.store(shownPage);
  return ManualOutcome::Recorded;
}

// ---------------------------------------------------------------------------------------------------

bool CanRedoLevel(const Parameter& p) { return p.testRunning.load() == 1 && p.paused.load() == 0; }

bool CanLoadNext(const Parameter& p) {
  if (p.testRunning.load() != 1 || p.paused.load() != 0) return false;
  const int phase = p.loadingPhase.load();
  return (phase >= 1 && phase <= 4) || (phase == 0 && p.procedure.waitingAfterStable != 0);
}

bool CanUnloadNext(const Parameter& p) {
  return p.testRunning.load() == 1 && p.paused.load() == 0 && p.loadingPhase.load() > 5 &&
         p.controlLoad.load() > 0.0f;
}

void RedoLevel(Parameter& p) {
  ProcedureState& s = p.procedure;
  {
    std::lock_guard<std::mutex> lock(p.loadLock);
    const int phase = p.loadingPhase.load();
    if (phase >= 0 && phase <= 4) {
      p.loadingPhase.store(1);
      p.link.levelNumber.store(std::max(0, p.link.levelNumber.load() - 1));
      s.levelReadings = 0;
      s.reloadCounter = 1;
    } else if (phase > 5) {
      p.loadingPhase.store(5);
    }
  }
  s.waitingAfterStable = 0;
  s.advanceRequested = 0;
  p.procedureChanged.store(1);
  s.levelStart = 1;
  clearSampling(p);
}

void LoadNext(Parameter& p, const std::function<bool(Parameter&)>& requestNextLevel) {
  ProcedureState& s = p.procedure;
  p.procedureChanged.store(1);
  clearSampling(p);
  if (s.waitingAfterStable != 0 && requestNextLevel && requestNextLevel(p)) return;
  // Asked for by hand: the stable level goes on even where the automatic advance is off.
  s.waitingAfterStable = 0;
  s.advanceRequested = 1;
  setPhase(p, 4);
  s.levelEndCounter = 28;
}

void UnloadNext(Parameter& p) {
  ProcedureState& s = p.procedure;
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.loadingPhase.store(5);
  p.procedureChanged.store(1);
  s.stopRelease = 0;
  const int code = p.standardCode.load();
  if (code == 0 || code == 149 || code == 72) {
    const int limit = code == 0 ? 8 : code == 149 ? 7 : 19;
    const int counter = std::max(0, s.levelCounter + 1);  // the table index stays within 0..19
    if (counter <= limit) {
      s.levelCounter = counter;
      p.controlLoad.store(p.levelLoads[static_cast<std::size_t>(counter)]);
    } else {
      s.levelCounter = limit;
    }
  } else {
    const float next = p.controlLoad.load() - static_cast<float>(p.levelMinutes[14]) * p.stepLoad2.load();
    p.controlLoad.store(next > 0.0f ? next : 0.0f);
  }
}

void EndPreload(Parameter& p) {
  p.pumpCommand.store(0);
  p.preloadRunning.store(0);
  ResetPumpAndValves(p);
}

// ---------------------------------------------------------------------------------------------------

std::array<float, 8> CurrentDisplacements(const Parameter& p) {
  std::array<float, 8> d{};
  for (std::size_t k = 0; k < 8; ++k) d[k] = p.link.displacement[k].load();
  return d;
}

void ApplyDisplacementMemory(Parameter& p, const std::array<float, 8>& remembered) {
  p.uploadEventMark.store(1);
  for (std::size_t k = 1; k <= 8; ++k) {
    int dir = p.sensorTableC[k].load();
    if (dir == 0) dir = 1;
    p.sensorTableA[k].store(UncorrectedDisplacement(p, k));
    p.sensorTableB[k].store(remembered[k - 1] * static_cast<float>(dir));
  }
}

void WriteCorrectionHeaders(Parameter& p) {
  const char* fmt = thousandthsStandard(p.standardCode.load()) ? "%.3f" : "%.2f";
  for (int j = 0; j <= 8; ++j) {
    const std::size_t k = static_cast<std::size_t>(j);
    JDQFile::SetHeaderText(p.testRecords, 33 + j, 2, format(fmt, static_cast<double>(p.sensorTableA[k].load())));
    JDQFile::SetHeaderText(p.testRecords, 46 + j, 2, format(fmt, static_cast<double>(p.sensorTableB[k].load())));
    JDQFile::SetHeaderText(p.testRecords, 59 + j, 2, format(fmt, static_cast<double>(p.sensorTableC[k].load())));
  }
}

// ---------------------------------------------------------------------------------------------------

std::string BuildModuleTestRecord(const Parameter& p, float route, std::array<byte, kQueueRecordSize>& out) {
  const int routeCode = static_cast<int>(route + 0.5f);
  if (routeCode == 2) return "当前选择的是外置模块，无法进行检测!";
  if (routeCode == 1) return "当前选择的是禁止远程传输，无法进行检测!";
  const std::string serial = JDQFile::HeaderText(p.testRecords, 7, 3);
  const std::string pile = JDQFile::HeaderText(p.testRecords, 8, 1);
  if (serial.empty()) return "必须输入流水号后才能检测内置模块!";
  if (pile.empty()) return "必须输入桩号后才能检测内置模块!";
  out.fill(0xFF);
  packDigits(p.controllerNumber.get(), &out[9]);
  packDigits(serial, &out[14]);
  // Bytes 17..39 take the pile number (GBK, cut between characters); 40 and 41 are the record's mark.
  const std::string gbk = platform::text::gbkFit(pile, 23);
  for (std::size_t k = 0; k < gbk.size(); ++k) out[17 + k] = static_cast<byte>(gbk[k]);
  out[40] = 0x99;
  out[41] = 0x99;
  return {};
}

SelfTest::SelfTest() : freeSpace([](const std::string& path) { return fs::freeSpace(path); }) {}

void SelfTest::Clear() {
  selfTestItems.clear();
  running_ = false;
}

void SelfTest::Start(Parameter& p, float route) {
  std::array<byte, kQueueRecordSize> record{};
  const std::string error = BuildModuleTestRecord(p, route, record);
  selfTestItems.clear();
  selfTestTicks = 0;
  if (error.empty()) {
    QueueRecord q;
    q.bytes = record;
    q.moduleTest = true;  // held in memory only; its answer marks no slot
    {
      std::lock_guard<std::mutex> lock(p.queueLock);
      p.moduleQueue.push_back(q);
    }
    p.moduleTestRequest.store(1);
    selfTestStep = 0;
    add(2, "正在检测内置模块，请稍后...");
  } else {
    selfTestStep = 1;
    add(0, error);
  }
  running_ = true;
}

void SelfTest::finish(int status, const std::string& text) {
  if (selfTestItems.empty()) {
    add(status, text);
  } else {
    selfTestItems.back() = {status, text};
  }
}

void SelfTest::next(int step) {
  selfTestTicks = 0;
  selfTestStep = step;
}

bool SelfTest::Tick(Parameter& p, Parameter& system) {
  if (!running_) return false;
  const int step = selfTestStep;
  const bool first = selfTestTicks == 0;
  ++selfTestTicks;
  const int t = selfTestTicks;
  const bool oil = p.forceSensorType.load() != 0;
  switch (step) {
    case 0: {
      const int code = p.uploadStatus.load();
      if (code == 3 || code == 4 || code == 6 || code == 7 || code == 1000) {
        p.uploadStatus.store(0);
        if (code == 3) finish(0, "内置模块未登记！请先登记模块");
        if (code == 4) finish(1, "内置模块测试成功！");
        if (code == 6) finish(0, "内置模块测试失败，请检查远传设备！");
        if (code == 7) finish(0, "内置模块流水号未备案！");
        if (code == 1000) {
          finish(1, "内置模块检测完毕：");
          const std::string reply = p.uploadMessage.get();
          std::vector<std::string> parts;
          int count = 0;
          SplitString(reply, parts, count, "|");
          if (count < 0) parts = {reply};
          for (const std::string& part : parts) {
            if (part.size() < 2 || part[0] < '0' || part[0] > '9') continue;
            add(part[0] - '0', part.substr(1));
          }
        }
        next(1);
      } else if (t >= 16) {
        p.uploadStatus.store(0);
        finish(0, "内置模块测试失败，请检查远传设备！");
        next(1);
      }
      break;
    }
    case 1: {
      if (first) add(2, "正在检测GPS定位信息，请稍后...");
      if (t < 5) break;
      const float lat = p.latitude.load();
      const float lon = p.longitude.load();
      if (lat != 0.0f && lon != 0.0f)
        finish(1, format("GPS定位成功,经纬度：%f，%f", static_cast<double>(lat), static_cast<double>(lon)));
      else
        finish(0, "GPS定位失败,请检查GPS定位设备！");
      const bool noSensors = p.controllerSilent.load() == 1 || p.link.goodCount.load() < 3 ||
                             p.link.status28.load() == 0 || p.forceSensorType.load() == 1;
      next(noSensors ? 4 : 2);
      break;
    }
    case 2: {
      if (first) add(2, oil ? "正在检测油压传感器，请稍后..." : "正在检测荷重传感器，请稍后...");
      if (t < 3) break;
      const int status = p.link.status27.load();
      if (status == 1 || status == 2)
        finish(0, oil ? "检测到油压传感器未连接，请连接油压传感器！" : "检测到荷重传感器未连接，请连接荷重传感器！");
      else
        finish(1, oil ? "油压传感器连接成功！" : "荷重传感器连接成功！");
      next(3);
      break;
    }
    case 3: {
      if (first) add(2, "正在检测位移传感器，请稍后...");
      if (t < 6) break;
      finish(1, "位移传感器检测完毕：");
      for (int c = 1; c <= 8; ++c) {
        const bool on = gaugeOnText(p.testRecords, c).rfind('1', 0) == 0;
        if (!on)
          add(0, format("%d通道未开通！", c));
        else if (p.link.sensorFault[static_cast<std::size_t>(c - 1)].load() == 1)
          add(0, format("检测到%d通道位移未连接，请连接位移传感器！", c));
        else
          add(1, format("%d通道位移连接成功！", c));
      }
      next(4);
      break;
    }
    case 4:
    case 5: {
      const bool flash = step == 4;
      if (first) add(2, flash ? "正在检测板载存储，请稍后..." : "正在检测SD卡，请稍后...");
      if (t < 4) break;
      const std::string folder = flash ? GetProgramRoot(p.boardFlag.load()) : GetSdCardDir(p.boardFlag.load());
      if (!fs::isFolder(folder)) {
        finish(0, flash ? "未检测到板载存储，请尽快送修检查！" : "未检测到SD卡但不影响本次试验，请尽快送修检查SD卡！");
      } else {
        const long long bytes = freeSpace ? freeSpace(folder) : -1;
        const double mb = bytes < 0 ? 0.0 : static_cast<double>(bytes) / 1048576.0;
        const double limit = flash ? 20.0 : 100.0;
        if (mb > limit)
          finish(1, format(flash ? "板载存储运行正常！剩余空间%.2fMB。" : "SD卡运行正常！剩余空间%.2fMB。", mb));
        else
          finish(0, format(flash ? "板载存储即将存满！仅剩%.2fMB，请及时清理！" : "SD卡即将存满！仅剩%.2fMB，请及时清理！", mb));
      }
      next(step + 1);
      break;
    }
    case 6:
      if (first) add(2, "正在检测配置文件，请稍后...");
      if (t < 3) break;
      if (p.configCheck.load() == 4)
        finish(0, "配置文件校验失败，仪器存储出现故障，请将试桩数据导出，及时送修！");
      else
        finish(1, "配置文件检测成功！");
      next(7);
      break;
    case 7:
      if (first) {
        add(2, "正在检测内置模块IMEI号，请稍后...");
        system.imeiRequest.store(1);
        system.imeiText.clear();
      }
      if (t < 12) break;
      if (system.imeiText.empty())
        finish(0, "未查询到IMEI号，内置模块未接或固件版本过低！");
      else
        finish(1, "内置模块IMEI号：" + system.imeiText.get());
      next(8);
      break;
    default:
      system.signalRequest.store(1);
      system.signalText.clear();
      add(1, "系统自检完成！");
      running_ = false;
      return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------

ChannelState StateOf(const Parameter& p) {
  if (p.testRunning.load() == 1) return p.paused.load() != 0 ? ChannelState::Paused : ChannelState::Running;
  if (p.preloadRunning.load() != 0) return ChannelState::Preloading;
  return ChannelState::NotStarted;
}

LevelButtons LevelButtonsOf(const Parameter& p) {
  LevelButtons b;
  const int phase = p.loadingPhase.load();
  if ((phase >= 1 && phase <= 4) || (phase == 0 && p.procedure.waitingAfterStable != 0)) {
    b.loadNext = 1;
    b.unloadNext = 0;
  } else if (phase > 5) {
    b.loadNext = 0;
    b.unloadNext = p.controlLoad.load() > 0.0f ? 1 : 0;
  }
  return b;
}

std::string VersionText(const Parameter& p) {
  const int board = p.boardFlag.load();
  std::string code;
  code += fs::isFolder(GetSdCardDir(board)) ? "S" : "N";
  code += p.forceSensorType.load() == 2 ? "Y" : "H";
  code += p.ParameterList.item(85) == 2.0f ? "A" : "B";
  code += board == 1 ? "WA" : "WB";
  return "718C-" + code + p.versionText;
}

std::string EditionCode(const Parameter& p) {
  const int module = p.fullFrameOnModule.load();
  const int box = p.fullFrameOnBox.load();
  const int option = p.uploadOption.load();
  const int text = p.platformTextSwitch.load();
  const int second = p.secondOption.load();
  const std::string letters = text != 0 ? "PT" : (module == 1 && box == 1 ? "FF" : "SF");
  return letters + format("%d%d%d%d%d", module, box, option, text, second);
}

std::string TitleText(const Parameter& p) {
  std::string t = p.channelName + "# 编号：" + p.controllerNumber.get();
  const std::string serial = JDQFile::HeaderText(p.testRecords, 7, 3);
  const std::string pile = JDQFile::HeaderText(p.testRecords, 8, 1);
  if (!serial.empty()) t += " 流水号 " + serial;
  if (!pile.empty()) t += " 桩号 " + pile;
  return t;
}

std::string SignalLine(const std::string& signalText) {
  if (signalText.empty()) return {};
  const float n = StrToFloat(signalText);
  const char* grade = n < 16.0f ? " 差   " : n < 24.0f ? " 良   " : " 优   ";
  std::string line = "内置模块信号强度:" + signalText + grade;
  line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }), line.end());
  return line;
}

}  // namespace testcontrol
