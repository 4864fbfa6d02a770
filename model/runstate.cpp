// The running state of a test kept in header texts, and the per-second text export.
#include <cstdint>
#include <string>

#include "model/datafiles.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace fs = platform::fs;
using platform::text::format;

namespace {

// "%.0d": nothing for 0, the plain decimal otherwise.
std::string count(int v) { return format("%.0d", v); }

// One line of the export: counter, run counter, the first eight characters of text4, six values.
std::string exportLine(int line, int runCounter, const TestRecord& r) {
  std::string chars(r.text4, 8);
  for (char& c : chars) {
    if (c == '\0') c = ' ';
  }
  std::string s = format("%03d,%d,", line, runCounter) + platform::text::gbkToUtf8(chars) + ",";
  s += format("%.2f,%.2f,%.2f,%.2f,%.2f,%.2f\r\n", static_cast<double>(r.valuesA[0]),
              static_cast<double>(r.valuesA[1]), static_cast<double>(r.valuesA[2]),
              static_cast<double>(r.valuesA[3]), static_cast<double>(r.valuesA[4]),
              static_cast<double>(r.valuesA[5]));
  return s + "\n";
}

// Appends the samples at positions first, first + 2, ... to the file (created when missing).
bool appendSamples(const std::string& path, const Parameter& p, std::size_t first) {
  fs::File f;
  const unsigned mode = fs::isFile(path) ? fs::File::Write : fs::File::Write | fs::File::Create;
  if (!f.open(path, mode)) return false;
  if (f.seek(0, fs::File::From::End) < 0) return false;
  std::string text;
  int line = 0;
  for (std::size_t i = first; i < p.exportRecords.size(); i += 2)
    text += exportLine(line++, p.runCounters[2], p.exportRecords[i]);
  if (!text.empty() && !f.write(platform::text::utf8ToUtf16le(text))) return false;
  return f.close();
}

}  // namespace

int UpdateStateRecords(Parameter& p) {
  std::vector<TestRecord>& r = p.testRecords;
  using JDQFile::SetHeaderText;
  SetHeaderText(r, 31, 2, count(p.readingCount));
  SetHeaderText(r, 4, 2, format("%.2f", static_cast<double>(p.controlLoad.load())));
  SetHeaderText(r, 7, 2, format("%.2f", static_cast<double>(p.stepLoad3.load())));
  SetHeaderText(r, 41, 1, count(p.loadingPhase.load()));
  SetHeaderText(r, 41, 3, count(p.runCounters[0]));
  SetHeaderText(r, 42, 3, count(p.runCounters[1]));
  SetHeaderText(r, 43, 3, count(p.runCounters[2]));
  SetHeaderText(r, 44, 3, count(p.runCounter4));
  SetHeaderText(r, 42, 1, count(p.runSwitch1 != 0 ? 1 : 0));
  SetHeaderText(r, 43, 1, format("%.2f", static_cast<double>(p.runValue)));
  SetHeaderText(r, 44, 1, count(p.runSwitch2 != 0 ? 1 : 0));
  SetHeaderText(r, 45, 1, count(p.nextReadingSeconds));
  SetHeaderText(r, 46, 1, count(p.runCounter5));
  SetHeaderText(r, 47, 1, format("%04d-%02d-%02d", p.stampTime.year, p.stampTime.month, p.stampTime.day));
  // The absolute times of the next reading and of the level's time 0 (seconds since 1970), whole:
  // a restore reads them right after 2038 too.
  SetHeaderText(r, 56, 1, format("%lld", static_cast<long long>(p.elapsedCounter)));
  SetHeaderText(r, 56, 3, format("%lld", static_cast<long long>(p.procedure.levelClockAt)));

  const int standard = p.standardCode.load();
  const bool criteria = standard == 0 || standard == 53 || standard == 72 ||
                        (standard == 4 && (p.uploadOption.load() == 1 || p.secondOption.load() == 1));
  if (criteria) {
    SetHeaderText(r, 16, 2, format("%.2f", static_cast<double>(p.stableSettlement.load())));
    SetHeaderText(r, 14, 2, count(p.judgeIntervalMinutes.load()));
    SetHeaderText(r, 18, 2, count(p.criterionMode3.load()));
    SetHeaderText(r, 13, 2, count(p.holdMinutes.load()));
    SetHeaderText(r, 15, 2, count(p.judgeCount.load()));
  }
  return 1;
}

int AppendTextExport(Parameter& p) {
  const std::string& path = p.testFilePath;
  const std::size_t chars = platform::text::charCount(path);
  if (chars < 4) return 0;
  const std::string base = platform::text::truncateChars(path, chars - 4);
  if (!appendSamples(base + ".txt", p, 0)) return 0;
  if (!appendSamples(base + "BL.txt", p, 1)) return 0;
  return 1;
}
