#include "app/channel_init.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "frontend/procedure.h"
#include "model/datafiles.h"
#include "model/header_fields.h"
#include "model/helpers.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "setup/catalogue.h"

namespace {

// The part of a path after its last backslash (the whole path when it has none).
std::string fileNamePart(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A path without its last four characters (the extension with its point).
std::string withoutExtension(const std::string& path) {
  return path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
}

void resetRunTimeState(Parameter& p) {
  p.selectedChannelText = "0";
  p.pollPeriodMs = 1000;
  p.tickLimit = 5;
  p.channelMask = 15;
  p.link.valveByte = 18;
  p.testType = 1;
  p.testRunning = 0;
  p.paused = 0;
  p.pumpCommand = 0;
  p.pumpForcedStop = 0;
  p.clockChanged = 1;
  p.rotatingValue1 = 100;
  p.rotatingValue2 = 200;
  {
    std::lock_guard<std::mutex> g(p.queueLock);
    p.queueBuild.fill(0xFF);
    p.moduleQueue.clear();
    p.boxQueue.clear();
    p.platformTexts.clear();
    p.platformTexts2.clear();
  }
  const platform::clock::DateTime now = platform::clock::localTime();
  p.stampTime = now;
  p.localTime = now;
  p.testClock = now;
  p.procedure.previousSample = now;
  p.procedure.thisTick = now;
  for (auto& c : p.sensorTableC) c = 1;
  p.sdCheckRequest = 1;
  p.sdCheckTicks = 0;
  p.silenceTicks = 0;
  p.previousReplyCount = 0;
  p.gauge8Marker = 0;
  p.holdWordHold = 1;
  p.procedure.scheduleBreak = 1;
  p.procedure.reloadCounter = 1;
  p.procedure.skipTick = 1;
  p.replyTaken = 1;
  p.link.refreshCounter = 67;
  p.openedTestRecords.clear();
  p.exportRecords.clear();
  p.curvePoints1.clear();
  p.curvePoints2.clear();
  p.curvePoints3.clear();
  p.curvePoints4.clear();
}

// Says at start-up that a file of the channel's test cannot be read: the storage prompt, and on the
// status line the file's kind and name (the first such file of the channel).
void nameUnreadable(Parameter& p, const std::string& kind, const std::string& name) {
  p.configCheck = 4;
  if (p.link.storageText.empty())
    p.link.storageText = p.channelName + "#" + kind + name + "无法读取，请将试验数据导出，及时送修！";
}

// The files a test taken up again goes on with besides its own: the jack rating data the test was set
// up to work its load out from (without it the load is worked out from the jack coefficients), and
// its queue files where they exist.
void checkTakenUpFiles(Parameter& p) {
  const std::vector<TestRecord>& r = p.testRecords;
  if (r.size() > 13 && header_fields::toInt(r[13].text3) == 2 && p.pressureMethod.load() != 2)
    nameUnreadable(p, "千斤顶率定数据文件", "QJDdat.dat");
  std::string queues[2];
  {
    std::lock_guard<std::mutex> g(p.queueLock);
    queues[0] = p.moduleQueuePath;
    queues[1] = p.boxQueuePath;
  }
  for (const std::string& path : queues) {
    platform::fs::File f;
    if (!path.empty() && platform::fs::exists(path) && !f.open(path, platform::fs::File::Read))
      nameUnreadable(p, "待发数据文件", fileNamePart(path));
  }
}

}  // namespace

bool TakeUpFromBackup(Parameter& p, const std::string& path) {
  const int board = p.boardFlag.load();
  const std::string name = fileNamePart(path);
  const std::string backup = JDQFile::BackupPathFor(path, board);
  // Nothing at all at the path: the parameter file names a test set up and not started yet (a start
  // makes the file before anything else). A copy of that name belongs to an older test, never to it.
  if (!FileExists(path)) return false;
  std::vector<TestRecord> records;
  if (FileExists(GetSdCardDir(board)) && JDQFile::LoadTestFile(backup, records) == 1 &&
      JDQFile::LooksLikeTestRecords(records)) {
    // The file is mended from its whole copy (a folder in its place is left alone).
    std::string bytes;
    if (!platform::fs::isFolder(path) && platform::fs::readFile(backup, bytes)) platform::fs::replaceFile(path, bytes);
    p.testRecords = std::move(records);
    return true;
  }
  nameUnreadable(p, "试验数据文件", name);
  return false;
}

bool CarryOverPendingSlots(const std::string& from, const std::string& to) {
  if (from.empty() || platform::fs::samePath(from, to)) return true;  // one file on the storage
  std::string old;
  if (!platform::fs::isFile(from) || !platform::fs::readFile(from, old)) return true;
  // The pending slots go after the slots of the file the test goes on with (a slot already there, from
  // a carry-over that a power loss cut short, is not added twice); the old file keeps its slots, each
  // marked sent once it stands in the new one.
  std::string target;
  if (platform::fs::isFile(to) && !platform::fs::readFile(to, target)) return false;
  target.resize(target.size() / kQueueRecordSize * kQueueRecordSize);
  std::set<std::string> there;
  for (std::size_t at = 0; at < target.size(); at += kQueueRecordSize) there.insert(target.substr(at, kQueueRecordSize));
  std::string pending;
  bool any = false;
  for (std::size_t at = 0; at + kQueueRecordSize <= old.size(); at += kQueueRecordSize) {
    if (old.compare(at, 4, "OVER") == 0 || old.compare(at, 4, "0000") == 0) continue;
    any = true;
    if (there.insert(old.substr(at, kQueueRecordSize)).second) pending.append(old, at, kQueueRecordSize);
  }
  if (!any) return true;
  if (!pending.empty() && !platform::fs::replaceFile(to, target + pending)) return false;
  for (std::size_t at = 0; at + kQueueRecordSize <= old.size(); at += kQueueRecordSize)
    if (old.compare(at, 4, "0000") != 0) std::memcpy(&old[at], "OVER", 4);
  platform::fs::replaceFile(from, old);
  return true;
}

std::string FirstDisplayLevelText(const Parameter& p) {
  const int phase = p.loadingPhase.load();
  const bool shown = IsCyclicStandard(p.standardCode.load()) ? phase > 0 : phase >= 1 && phase <= 5;
  if (!shown) return frontend::kNoValueText;
  char text[32];
  std::snprintf(text, sizeof text, "第%d级", p.link.levelNumber.load());
  return text;
}

std::string TrimmedLoad(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  return s;
}

ChannelFirstDisplay InitChannelRecord(Parameter& p, const std::string& name, const Parameter& channel1) {
  // 1. Fixed settings of this build; the board.
  p.fullFrameOnModule = 1;
  p.fullFrameOnBox = 1;
  p.uploadOption = 0;
  p.secondOption = 0;
  p.platformTextSwitch = 0;
  p.versionText = kVersionText;
  p.boardFlag = FileExists("\\nandflash\\") ? 1 : 0;
  const int board = p.boardFlag.load();
  p.channelName = name;
  const int number = static_cast<int>(StrToFloat(name));
  p.ParameterList.setChannelNumber(number);

  // 2. Run-time state.
  resetRunTimeState(p);

  // 3. Standards list (the catalogue also offers every standard; the items are set again below).
  BuildStandardCatalogue(p);
  p.ParameterList.clear();

  // 4. Parameter file; it names the test that was running.
  p.testFilePath.clear();
  JDQFile::LoadParameterFile(p.testFilePath, name, p);
  const std::string path = p.testFilePath;

  // 5. Names derived from the test file path.
  {
    std::lock_guard<std::mutex> g(p.queueLock);
    p.moduleQueuePath = withoutExtension(path) + ".gps";
    p.boxQueuePath = withoutExtension(path) + ".gpsw";
  }
  p.sdCopyPath = GetSdCardDir(board) + fileNamePart(path);
  p.procedure.lastTestFileName = fileNamePart(path);

  // 6. Defaults when nothing usable was loaded.
  if (p.ParameterList.empty()) p.ParameterList.extendWithDefaults();

  // 7. The parameter file exists from the first start on.
  const std::string fileName = "krv718" + name + ".ini";
  const std::string sd = GetSdCardDir(board);
  std::vector<std::string> places = {GetDataRoot(board) + fileName};
  if (FileExists(sd)) places.push_back(sd + fileName);
  for (const std::string& place : places)
    if (!FileExists(place)) JDQFile::SaveParameterFile(p.testFilePath, name, p);

  // 8. Every standard of the list is offered.
  for (int k = 0; k < static_cast<int>(p.standards.size()); ++k) p.ParameterList.set(130 + k, 1.0f);

  // 9. Rotating frame values.
  p.rotatingValue1 = frontend::toIntSaturated(p.ParameterList.item(100) + 0.5f);
  p.rotatingValue2 = frontend::toIntSaturated(p.ParameterList.item(101) + 0.5f);

  // 10. The test file of the running test, or header records from the settings.
  bool loaded = false;
  if (!path.empty()) {
    p.fileLoaded = 0;
    p.testRecords.clear();
    loaded = JDQFile::LoadTestFile(path, p.testRecords) == 1;
    // A power cut between the two writes of a reading leaves the file and its copy a reading apart; a
    // damaged record of one is whole in the other.
    if (loaded) loaded = JDQFile::MendTestCopies(path, p.testRecords, p);
    if (!loaded) loaded = TakeUpFromBackup(p, path);
  }
  if (!loaded) JDQFile::BuildHeaderRecords(p);

  // 12. Under upload route 3 the box queue file is named by the serial and pile numbers. This comes
  // before the restore, so that the restore reloads the queue from the file the test writes. Records
  // still unsent in the file named at set-up are carried over first, so none is left behind.
  if (!path.empty() && !p.externalSerialNumber.empty() && channel1.ParameterList.item(56) == 3.0f) {
    const std::string named = GetDataRoot(board) + FileNameFromText(p.externalSerialNumber) + "-" +
                              FileNameFromText(p.pileLabel) + ".gpsw";
    std::string setUp;
    {
      std::lock_guard<std::mutex> g(p.queueLock);
      setUp = p.boxQueuePath;
    }
    if (CarryOverPendingSlots(setUp, named)) {
      std::lock_guard<std::mutex> g(p.queueLock);
      p.boxQueuePath = named;
    }
  }

  // 11. Settings from the header records; a test whose file was read is taken up again.
  p.resumeMarker = loaded ? 1 : 0;
  JDQFile::RestoreFromHeader(p, p.testRecords);
  p.resumeMarker = 0;
  if (loaded) checkTakenUpFiles(p);

  // 13. First display.
  ChannelFirstDisplay shown;
  shown.nextReading = p.timeText;
  shown.level = FirstDisplayLevelText(p);
  shown.controlLoad = TrimmedLoad(p.controlLoad.load());
  shown.serial = JDQFile::HeaderText(p.testRecords, 7, 3);
  shown.pile = JDQFile::HeaderText(p.testRecords, 8, 1);

  // 14. A test that was paused stays paused; the link opens on the first tick.
  p.paused = p.ParameterList.item(66) == 1.0f ? 1 : 0;
  p.linkReopenRequest = 1;
  return shown;
}
