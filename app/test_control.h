// The work behind the buttons of the test-control dialog, on one channel record and without the
// window: the checks and the start of a test, the end of a test with its clean-up, the manual reading,
// the level buttons, the end of a pre-load, the displacement memory, the self-test steps, the button
// states of a channel and the version text. The dialog asks the questions and shows the results.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/parameter.h"

namespace testcontrol {

// ---- starting a test ------------------------------------------------------------------------------

// Files on the storage that limit a start.
struct StorageCounts {
  int dataFiles = 0;    // data root entries ending in "krv", "kbx", "zph" or "krs"
  int queueFiles = 0;   // data root entries ending in "gps"
  int backupFiles = 0;  // entries of "Backup\" under the data root ending like data files
};
StorageCounts CountStorageFiles(int boardFlag);

// 1 when no file or folder matches the path, else 0.
int IsFileMissing(const std::string& path);

enum class BackupVerdict { Fine, Warn, AskToClean };  // up to 1900, up to 2000, above 2000
BackupVerdict JudgeBackupFiles(int backupFiles);
enum class DataVerdict { Start, StartWithWarning, Refuse };  // below 80, 80 to 100, above 100
DataVerdict JudgeDataFiles(int dataFiles);

// Removes the card's backup folder with its contents, after checking that the folder is the card's
// "Backup" folder itself. True when it is gone.
bool RemoveBackupFolder(int boardFlag);

// True when the channel carries what a start needs: a test file path and a control load above 0.
bool HasStartEntries(const Parameter& p);

// Creates the test data file from the channel's header records, then sets the channel running, empties
// its upload queues and saves its parameter file. False, with the channel unchanged and no file left
// behind, when the file cannot be created.
bool BeginTest(Parameter& p);

// The name of a test file: the text after the last "\".
std::string FileNameOf(const std::string& path);

// ---- ending a test --------------------------------------------------------------------------------

// Ends the channel's running test (nothing when none runs): the running and control state go back to
// idle, queue files with nothing left to send are deleted by `route` (upload route of channel 1),
// the header records are rebuilt, the parameter file is saved with an empty test path, the upload
// queues are emptied, and the finished file is loaded as the opened test. True when it ended a test.
bool FinishTestFromDialog(Parameter& p, float route);

// The pump and valve state as the release of a forced stop leaves it.
void ResetPumpAndValves(Parameter& p);

// ---- manual reading -------------------------------------------------------------------------------

enum class ManualOutcome {
  Nothing,        // no test runs
  LevelAdvanced,  // the pump is forced to stop and no reading was scheduled: the level moved on
  Recorded,       // a reading was written and queued
};
// A reading taken by hand into the record at the current index. `route` is channel 1's upload route;
// `shownPage` the report page on screen (its redraw is requested).
ManualOutcome ManualRecord(Parameter& p, float route, int shownPage);

// ---- level buttons --------------------------------------------------------------------------------

// Whether each button works in the channel's present state.
bool CanRedoLevel(const Parameter& p);
bool CanLoadNext(const Parameter& p);
bool CanUnloadNext(const Parameter& p);
// The changes after the operator's yes.
void RedoLevel(Parameter& p);
// The next loading level: in a running level at once; a level that waits after it was judged stable
// goes on through `requestNextLevel` (the procedure's own request), when given.
void LoadNext(Parameter& p, const std::function<bool(Parameter&)>& requestNextLevel);
void UnloadNext(Parameter& p);

// Ends a running pre-load (after the operator's yes).
void EndPreload(Parameter& p);

// ---- displacement memory --------------------------------------------------------------------------

// The eight current displacements.
std::array<float, 8> CurrentDisplacements(const Parameter& p);
// Sets the correction tables so that each displacement channel goes on from its remembered value, and
// marks the next reading's upload event.
void ApplyDisplacementMemory(Parameter& p, const std::array<float, 8>& remembered);
// Writes the zero, offset and direction of points 0..8 into header records 33-41, 46-54 and 59-67.
void WriteCorrectionHeaders(Parameter& p);

// ---- self-test ------------------------------------------------------------------------------------

struct SelfTestLine {
  int status = 2;  // 0 failed, 1 passed, 2 running
  std::string text;
};

// The 128-byte request record of the module test. Returns the refusal text when the module cannot be
// tested (route, missing serial or pile number), else an empty text.
std::string BuildModuleTestRecord(const Parameter& p, float route, std::array<byte, kQueueRecordSize>& out);

// The self-test, one step per tick of a one-second timer.
class SelfTest {
 public:
  // Free space available to the caller in bytes (-1 when unknown); the platform's by default.
  std::function<long long(const std::string&)> freeSpace;

  SelfTest();
  // Empties the lines and starts with the module step, or with the GPS step when the module cannot be
  // tested.
  void Start(Parameter& p, float route);
  // One tick. Returns false once the self-test has ended (its last line is added on that tick). The
  // IMEI and signal queries are system-wide: they go through `system` (channel 1).
  bool Tick(Parameter& p, Parameter& system);
  bool Tick(Parameter& p) { return Tick(p, p); }
  bool running() const { return running_; }
  void Clear();

  std::vector<SelfTestLine> selfTestItems;
  int selfTestStep = 0;
  int selfTestTicks = 0;

 private:
  void add(int status, const std::string& text) { selfTestItems.push_back({status, text}); }
  void finish(int status, const std::string& text);
  void next(int step);
  bool running_ = false;
};

// ---- state of the dialog's buttons ----------------------------------------------------------------

enum class ChannelState { NotStarted, Preloading, Running, Paused };
ChannelState StateOf(const Parameter& p);

// What the level buttons 1271 (load next) and 1272 (unload next) show while a test runs and is not
// paused: -1 keep the present state, 0 off, 1 on.
struct LevelButtons {
  int loadNext = -1;
  int unloadNext = -1;
};
LevelButtons LevelButtonsOf(const Parameter& p);

// The version line: "718C-" + option code + version text.
std::string VersionText(const Parameter& p);
// The edition code of the hidden static: a letter code and five switches "%d%d%d%d%d".
std::string EditionCode(const Parameter& p);
// The title line of the dialog.
std::string TitleText(const Parameter& p);
// The signal quality line of the message area ("" when no signal text is there).
std::string SignalLine(const std::string& signalText);

}  // namespace testcontrol
