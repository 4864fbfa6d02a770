#include "setup/test_identity.h"

#include <mutex>

#include "frontend/codec.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

using platform::text::format;

namespace {

// Number of characters of a UTF-8 text.
int characters(const std::string& s) {
  int n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

bool running(const Parameter& p) { return p.testRunning.load() == 1; }

// Header records emptied by a commit (label text).
constexpr int kEmptiedRecords[] = {10, 11, 48, 49, 50, 52, 53, 54, 55};

// Gauges 1-8, records and fields that say whether each is in use.
struct GaugeField {
  int record;
  int field;
};
constexpr GaugeField kGaugeFields[8] = {{31, 1}, {32, 1}, {33, 1}, {34, 1}, {21, 2}, {22, 2}, {23, 2}, {24, 2}};

void applyGauges(Parameter& p, const std::array<bool, 8>& gauges) {
  int mask = 0;
  for (std::size_t k = 0; k < 8; ++k) {
    p.displacementOn[k] = gauges[k] ? 1 : 0;
    if (gauges[k]) mask |= 1 << k;
    JDQFile::SetHeaderText(p.testRecords, kGaugeFields[k].record, kGaugeFields[k].field, gauges[k] ? "1" : "0");
  }
  p.channelMask = mask;
  for (int r = 25; r <= 28; ++r) JDQFile::SetHeaderText(p.testRecords, r, 2, "0");
}

bool lateralPlain(int standardCode) { return standardCode == 77 || standardCode == 93 || standardCode == 145; }

}  // namespace

// ---- controller numbers ---------------------------------------------------------------------------

namespace {

// The checks of CheckControllerNumbers; `sent` gets the six-digit form of each number that passes.
std::string checkNumbers(const std::array<std::string, 3>& numbers, std::array<std::string, 3>& sent) {
  for (std::size_t k = 0; k < 3; ++k) {
    const std::string prefix = std::to_string(k + 1) + "#前端编号";
    if (numbers[k].empty()) return prefix + "不能为空！";
    const auto n = frontend::normalizeControllerNumber(numbers[k]);
    if (!n) return prefix + "应为1至6位数字！";
    sent[k] = *n;
  }
  if (sent[0] == sent[1] || sent[0] == sent[2] || sent[1] == sent[2]) return kDuplicateControllerNumbers;
  return {};
}

}  // namespace

std::string CheckControllerNumbers(const std::array<std::string, 3>& numbers) {
  std::array<std::string, 3> sent;
  return checkNumbers(numbers, sent);
}

int StoreControllerNumber(Parameter& p, const std::string& tag) {
  p.ParameterList.set(83, StrToFloat(p.controllerNumber.get()));
  JDQFile::PackParameters(p, p.ParameterList);
  // The path of a test set up but not started yet stays in the file with the rest of its set-up.
  const int saved = JDQFile::SaveParameterFile(p.testFilePath, tag, p);
  if (!p.testFilePath.empty() && running(p) && p.fileLoaded.load() == 0)
    JDQFile::UpdateAllHeaderTexts(p.testFilePath, 0, p.testRecords, p);
  return saved;
}

bool KeepsControllerNumber(const Parameter& p) { return running(p) || p.paused.load() != 0; }

std::string TakeControllerNumbers(const std::array<Parameter*, 3>& channels, const std::array<std::string, 3>& typed) {
  std::array<std::string, 3> numbers;
  for (std::size_t k = 0; k < 3; ++k)
    numbers[k] = KeepsControllerNumber(*channels[k]) ? channels[k]->controllerNumber.get() : typed[k];
  std::array<std::string, 3> sent;
  if (std::string refusal = checkNumbers(numbers, sent); !refusal.empty()) return refusal;
  // A channel keeps the number as the link sends it: "1" is controller 000001 in the titles, the
  // parameter file and every upload record alike.
  for (std::size_t k = 0; k < 3; ++k)
    if (!KeepsControllerNumber(*channels[k])) channels[k]->controllerNumber = sent[k];
  return {};
}

bool StoreControllerNumbers(const std::array<Parameter*, 3>& channels) {
  bool saved = true;
  for (std::size_t k = 0; k < 3; ++k) saved = StoreControllerNumber(*channels[k], std::to_string(k + 1)) == 1 && saved;
  return saved;
}

// ---- test information -----------------------------------------------------------------------------

bool IsFileNameText(const std::string& text) {
  if (text.find_first_of("\\/:*?\"<>|") != std::string::npos) return false;
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
  return true;
}

std::string TestFileExtension(int testType, int standardCode) {
  switch (testType) {
    case 0:
    case 1:
    case 5:
      return ".krv";
    case 2:
      return ".zph";
    case 4:
      return lateralPlain(standardCode) ? ".krv" : ".krs";
    default:
      return {};
  }
}

TestFileNames MakeTestFileNames(int boardFlag, int testType, int standardCode, const std::string& serial,
                                const std::string& externalSerial, const std::string& pile, float route) {
  const std::string root = GetDataRoot(boardFlag);
  const std::string base = FileNameFromText(serial) + "-" + FileNameFromText(pile);
  const std::string ext = TestFileExtension(testType, standardCode);
  TestFileNames n;
  n.testFile = root + base + ext;
  n.moduleQueue = root + base + ".gps";
  n.boxQueue = !externalSerial.empty() && route == 3.0f
                   ? root + FileNameFromText(externalSerial) + "-" + FileNameFromText(pile) + ".gpsw"
                   : root + base + ".gpsw";
  n.sdCopy = GetSdCardDir(boardFlag == 1 ? 1 : 0) + base + ext;
  return n;
}

namespace {

// The checks of a new test's entry, in the order the operator is told about them; empty when it passes.
std::string refusalOf(const Parameter& p, const TestIdentityEntry& e, float& plateArea) {
  const int serialLength = characters(e.serial);
  if (serialLength < 2 || serialLength > 20) return kSerialLengthRefused;
  const int pileLength = characters(e.pile);
  if (pileLength < 1 || pileLength > 10) return kPileLengthRefused;
  if (!IsFileNameText(e.serial) || !IsFileNameText(e.externalSerial) || !IsFileNameText(e.pile))
    return kNameCharacterRefused;
  if (!e.gauges[0] && !e.gauges[1] && !e.gauges[2] && !e.gauges[3]) return kNoGaugeRefused;
  const bool lowerPair = e.gauges[0] || e.gauges[1];
  const bool upperPair = e.gauges[2] || e.gauges[3];
  switch (p.testType.load()) {
    case 0:
      // A plate area is a positive decimal number.
      if (!IsValidNumber(e.plateArea)) return kPlateAreaRefused;
      plateArea = StrToFloat(e.plateArea);
      if (!(plateArea > 0.0f)) return kPlateAreaRefused;
      break;
    case 2:
      if (!lowerPair || !upperPair) return kSelfBalancedGaugesRefused;
      break;
    case 4:
      if (!lowerPair || !upperPair) return kLateralGaugesRefused;
      break;
    default:
      break;
  }
  return {};
}

}  // namespace

TestIdentityResult CommitTestIdentity(Parameter& p, const TestIdentityEntry& e, float route) {
  TestIdentityResult r;
  const bool setUpOpen = p.fileLoaded.load() != 0;
  const int type = p.testType.load();
  const bool namesFile = !TestFileExtension(type, p.standardCode.load()).empty();

  if (!setUpOpen && !e.gauges[0] && !e.gauges[1] && !e.gauges[2] && !e.gauges[3]) {
    // A running test keeps a gauge of 1-4 on, as its set-up had to.
    r.message = kNoGaugeRefused;
    r.warning = true;
    return r;
  }
  if (setUpOpen) {
    float plateArea = p.setupValue;
    std::string refusal = refusalOf(p, e, plateArea);
    TestFileNames names;
    if (refusal.empty() && namesFile) {
      names = MakeTestFileNames(p.boardFlag.load(), type, p.standardCode.load(), e.serial, e.externalSerial, e.pile,
                                route);
      if (platform::fs::exists(names.testFile) || !platform::fs::find(names.testFile).empty())
        refusal = kTestFileExists;
    }
    if (!refusal.empty()) {
      r.message = refusal;
      r.warning = true;
      return r;
    }
    // The numbers.
    p.serialNumber = e.serial;
    p.externalSerialNumber = e.externalSerial;
    p.pileLabel = e.pile;
    JDQFile::SetHeaderText(p.testRecords, 7, 3, e.serial);
    JDQFile::SetHeaderText(p.testRecords, 8, 3, e.externalSerial);
    JDQFile::SetHeaderText(p.testRecords, 8, 1, e.pile);
    // The type, the plate area and the names.
    if (namesFile) {
      JDQFile::SetHeaderText(p.testRecords, 36, 1, std::to_string(type));
      if (type == 0) {
        p.setupValue = plateArea;
        // The text keeps every decimal typed: a restart mid-test takes the area back from it.
        JDQFile::SetHeaderText(p.testRecords, 3, 2, ExactDecimalText(plateArea, 2));
      }
      p.testFilePath = names.testFile;
      {
        std::lock_guard<std::mutex> g(p.queueLock);
        p.moduleQueuePath = names.moduleQueue;
        p.boxQueuePath = names.boxQueue;
      }
      p.sdCopyPath = names.sdCopy;
    }
  }

  applyGauges(p, e.gauges);
  if (!running(p)) {
    const platform::clock::DateTime& d = p.testClock;
    JDQFile::SetHeaderText(p.testRecords, 9, 1, format("%04d-%02d-%02d", d.year, d.month, d.day));
  }
  for (int rec : kEmptiedRecords) JDQFile::SetHeaderText(p.testRecords, rec, 1, "");

  r.accepted = true;
  r.message = kIdentityCommitted;
  r.warning = false;
  r.hide = true;
  if (!p.testFilePath.empty() && running(p) && !setUpOpen)
    r.headerTextsRewritten = JDQFile::UpdateAllHeaderTexts(p.testFilePath, 0, p.testRecords, p) == 1;
  // The parameter file keeps the entry (the gauges in items 1-8 among it), so a restart before the
  // start finds the set-up, and the end of a running test, which rebuilds the channel from the items,
  // keeps the gauges as the operator left them.
  r.parameterFileSaved = JDQFile::SaveChannelSettings(p) == 1;
  r.showStandardDialog = setUpOpen && !running(p);
  return r;
}

// ---- labels of the information dialog ---------------------------------------------------------------

std::string TestTypeCaption(int button, int currentType) {
  if (button < 0 || button >= 5) return {};
  const std::string plain = kTestTypeCaption[static_cast<std::size_t>(button)];
  return kTestTypeOfButton[static_cast<std::size_t>(button)] == currentType ? "√" + plain : plain;
}

bool GaugeLabels(int testType, int standardCode, std::array<std::string, 8>& labels) {
  static const std::array<std::string, 8> plain = {"位移1", "位移2", "位移3", "位移4",
                                                   "位移5", "位移6", "位移7", "位移8"};
  switch (testType) {
    case 0:
    case 1:
    case 5:
      labels = plain;
      return true;
    case 2:
      if (standardCode == 61)
        labels = {"位移1↓", "位移2↓", "位移3↓", "位移4↑", "位移5↑", "位移6↑", "位移7", "位移8"};
      else
        labels = {"位移1↓", "位移2↓", "位移3↑", "位移4↑", "位移5", "位移6", "位移7", "位移8"};
      return true;
    case 4:
      if (lateralPlain(standardCode)) labels = plain;
      else labels = {"上位移1", "上位移2", "下位移1", "下位移2", "位移5", "位移6", "位移7", "位移8"};
      return true;
    default:
      return false;
  }
}
