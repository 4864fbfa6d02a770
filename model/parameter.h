// The channel record `Parameter`: settings and state of one test channel (one front-end controller and
// the test that runs on it), its lists, its upload queues and the request blocks through which the
// dialogs of the channel talk to each other. The main window holds exactly three of them.
//
// Threads. The user-interface thread, the front-end poll and reader threads and the upload threads all
// use these records. Every scalar that crosses threads is a std::atomic (relaxed order is enough; each
// is a single flag, counter or value). Larger things are handed over under a lock:
//  - `loadLock` guards changes that must see the loading phase, the control load and the previous
//    control load together (the poll thread and the user-interface thread both move them). The three
//    are atomics as well, so a plain read needs no lock.
//  - `queueLock` guards the two upload queues, their queue-file paths, the keep-file flag, the build
//    buffer and every queue-file read or write of the channel.
//  - texts that another thread reads or writes are `SharedText` (locked on each access).
//  - the parameter list locks itself on each access.
// Everything else (settings, record lists, curve points, the standards list) belongs to the
// user-interface thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "model/link_state.h"
#include "model/procedure_state.h"

using byte = std::uint8_t;

// ---------------------------------------------------------------------------------------------------
// One record of a test data file: 311 bytes on disk (the fields back to back), 316 in memory (the
// natural alignment of the floats adds 3 bytes after `marker` and 2 after `stepMark`). Texts are narrow
// GBK bytes, zero-terminated when shorter than their field; marker, time and stepMark have no
// terminator. Reading k of a test is record k; records 0..73 also carry the header texts.
struct TestRecord {
  char marker[5];      // "11111" when the record holds no reading, else "hh:mm" or "--:--"
  float valuesA[18];   // values of the reading
  char time[5];        // "99999" when the record holds no reading, else minutes as text
  char text1[20];      // header: label text
  char text2[20];      // header: second text (a formatted number)
  char text3[60];      // header: value text
  char text4[20];      // further text
  char stepMark[5];    // "11111" when the record holds no reading, else a copy of the marker
  float valuesB[16];   // further values of the reading
  char tail1[20];      // further text (kept up to date in header records 0..15)
  char tail2[20];      // further text
};
static_assert(sizeof(TestRecord) == 316, "TestRecord keeps its 316-byte memory layout");

inline constexpr std::size_t kTestRecordDiskSize = 311;     // current layout
inline constexpr std::size_t kTestRecordOldDiskSize = 267;  // "kbx" layout
inline constexpr int kHeaderRecordCount = 74;

// ---------------------------------------------------------------------------------------------------
// One 128-byte upload record of an upload queue. `slot` is the index of the record's 128-byte slot in
// the queue file `file` it was written to or read from, or kNoSlot for a record held only in memory
// (its append to the file failed, or it was never written there, as the module-test request). The
// record keeps its file when the channel's queue-file paths move on (a re-send, a new test's set-up),
// so its acceptance marks its own slot.
inline constexpr std::size_t kQueueRecordSize = 128;
struct QueueRecord {
  static constexpr std::int64_t kNoSlot = -1;
  std::array<byte, kQueueRecordSize> bytes{};
  std::int64_t slot = kNoSlot;
  std::string file;         // instrument path of the queue file of `slot`; empty without a slot
  bool moduleTest = false;  // the module-test request of the self-test
};

// ---------------------------------------------------------------------------------------------------
// One jack calibration group ("QJDdat.dat"); the values are numbered as in the file layout.
struct JackCalibrationGroup {
  std::string name1;              // jack text (at most 20 characters; the file keeps 10)
  std::string name2;              // sensor text
  std::int32_t kind = 0;          // value 1: 1 system calibration, else jack calibration
  float maxForce = 1000.0f;       // value 2: maximum calibration force, kN
  std::int32_t pointCount = 5;    // value 3
  std::array<float, 8> values4to11{};   // standard forces of points 1-8
  float value12 = 0.0f;                 // kept in memory only
  std::array<float, 10> values13to22{}; // standard forces of points 9, 10; measured values of points 1-8
  float value23 = 0.0f;           // measured value of point 0
  float value24 = 0.0f;           // measured value of point 9
  float value25 = 0.0f;           // measured value of point 10
  std::int32_t inUse = 0;         // value 26: 1 = saved / in use
  std::int32_t value27 = 0;
  std::int32_t value28 = 0;
};
inline constexpr int kJackGroupCount = 10;

// One entry of the jack or sensor list ("qjd.qjd" / "qjd.cgq"): exactly its 40 file bytes.
struct JackSensorEntry {
  std::int16_t number = 0;  // entry number
  char name[20] = {};       // narrow (GBK) name, zero-terminated when shorter
  std::int16_t value = 0;
  float values[4] = {};
};
static_assert(sizeof(JackSensorEntry) == 40, "JackSensorEntry is its 40 file bytes");

// Number of entries of the calibration block filled by the jack group selection.
inline constexpr int kJackCalibrationSize = 22;

// ---------------------------------------------------------------------------------------------------
// One row of the standards catalogue.
struct StandardEntry {
  std::string name;        // display name
  std::string region;      // region or sector text
  int testType = 0;        // 0 plate, 1 compression, 2 self-balanced, 4 lateral, 5 uplift; 6 user input
  int standardCode = 0;    // parameter item 51; header record 69
  int group = 0;           // sort group of the selection dialog
};

// A record of two texts and three integers (the second list of the standards kind).
struct StandardExtraEntry {
  std::string text1;
  std::string text2;
  int value1 = 0;
  int value2 = 0;
  int value3 = 0;
};

// Curve points: one per load level, and one per reading.
struct LevelPoint {
  float load = 0.0f;             // level load, kN
  float levelSettlement = 0.0f;  // settlement gained in this level, mm
  float finalSettlement = 0.0f;  // settlement at the end of the level, mm
  float duration = 0.0f;         // minutes
  float cumulativeTime = 0.0f;   // minutes
};
static_assert(sizeof(LevelPoint) == 20);
struct ReadingPoint {
  float load = 0.0f;
  float settlement = 0.0f;
  float time = 0.0f;         // minutes
  float levelsBegun = 0.0f;  // number of levels begun so far
};
static_assert(sizeof(ReadingPoint) == 16);

// The reading that the platform text frame reports, kept by the recorder of a reading.
struct PlatformReading {
  int counter1 = 0;                          // first integer counter of the frame
  int counter2 = 0;                          // second integer counter
  float valueP = 0.0f;                       // oil pressure (sent with an oil-pressure sensor)
  float valueL = 0.0f;                       // load
  platform::clock::DateTime time;            // date and time of the reading
  std::array<float, 8> displacements{};      // last readings of displacement channels 1-8
};

// The block through which a dialog asks a keypad for a value.
struct KeypadRequest {
  std::string caption;
  std::string text;
  int maxLength = 0;
  int mode = 0;
  int typedCount = 0;
  int requester = 0;
};

// ---------------------------------------------------------------------------------------------------
// A text that more than one thread reads or writes; each access takes the text's own lock.
class SharedText {
 public:
  SharedText() = default;
  SharedText(const SharedText&) = delete;
  SharedText& operator=(const SharedText&) = delete;
  SharedText& operator=(std::string v) {
    set(std::move(v));
    return *this;
  }
  void set(std::string v) {
    std::lock_guard<std::mutex> g(m_);
    s_ = std::move(v);
  }
  std::string get() const {
    std::lock_guard<std::mutex> g(m_);
    return s_;
  }
  operator std::string() const { return get(); }
  bool empty() const {
    std::lock_guard<std::mutex> g(m_);
    return s_.empty();
  }
  void clear() { set(std::string()); }

 private:
  mutable std::mutex m_;
  std::string s_;
};

// ---------------------------------------------------------------------------------------------------
// The indexed list of floats of a channel. Items 0..513 are stored in the parameter file; items 0..129
// hold numbers, items 130..513 flags (1.0 or 0.0). Every item is read through item(), which gives the
// item's default value (the default list of a first start) when the list is too short, so no caller ever
// reads past the end. Each access locks the list (the link threads read items while dialogs write).
class ParameterList {
 public:
  static constexpr int kStoredCount = 514;   // items 0..513 live in the parameter file
  static constexpr int kDefaultCount = 515;  // the default list holds items 0..514
  static constexpr int kFirstFlag = 130;     // items from here on are flags

  ParameterList() = default;
  ParameterList(const ParameterList&) = delete;
  ParameterList& operator=(const ParameterList&) = delete;

  // Default value of item k for a channel (item 83 is the channel number); 0.0 outside the default list.
  static float defaultItem(int k, int channelNumber);

  // The channel number used for the default of item 83 (1, 2 or 3; 0 when not yet known).
  void setChannelNumber(int channelNumber);
  int channelNumber() const;

  // Item k, or its default when the list holds no item k (also for a negative k).
  float item(int k) const;
  float operator[](int k) const { return item(k); }
  // Sets item k, first extending a short list with defaults. A negative k changes nothing.
  void set(int k, float value);

  int count() const;
  bool empty() const { return count() == 0; }
  void clear();
  void append(float value);
  // Replaces the whole list.
  void assign(std::vector<float> items);
  std::vector<float> snapshot() const;
  // Appends the default list (items count() .. kDefaultCount-1; all of it when empty).
  void extendWithDefaults();

 private:
  mutable std::mutex m_;
  std::vector<float> items_;
  int channel_ = 0;
};

// ---------------------------------------------------------------------------------------------------
// Where the last rebuild of a record list's derived values (level, settlements, times) stood near the
// list's end, so that the next rebuild, one reading later, goes on from there rather than from the
// first record. `digest` is a 64-bit digest of the bytes the rebuild reads or writes (marker, values,
// time and the leave-out flags) of every record before `index`, as that rebuild left them, and
// `settings` what it judged by; a list whose first records or settings no longer read so is rebuilt
// from its first record. The rebuild's own (user-interface thread).
struct RebuildResume {
  // The rebuild's state before a record.
  struct State {
    int pos = 0;               // output position
    float level = 0.0f;        // load of the current level
    bool unloading = false;
    int k = 0;                 // readings of the level so far (held at 7)
    double lastMinutes = 0.0;  // minutes of the last position written, as its text reads back
  };
  int index = -1;  // the record `state` stands at; -1: none
  State state;
  std::array<std::int32_t, 26> settings{};
  std::uint64_t digest = 0;
};

class Parameter {
 public:
  Parameter() = default;
  Parameter(const Parameter&) = delete;
  Parameter& operator=(const Parameter&) = delete;

  // 1. Owned lists.
  std::vector<TestRecord> testRecords;        // image of the channel's test data file
  std::vector<TestRecord> openedTestRecords;  // a stored test opened for display
  std::vector<TestRecord> spareTestRecords;
  RebuildResume rebuildResume;                // see RebuildResume
  ::ParameterList ParameterList;               // the indexed parameter list
  std::deque<QueueRecord> moduleQueue;         // queue 0: built-in GPRS module (under queueLock)
  std::deque<QueueRecord> boxQueue;            // queue 1: external upload box (under queueLock)
  std::vector<JackCalibrationGroup> jackGroups;
  std::vector<JackSensorEntry> jackSensorList;
  std::vector<StandardEntry> standards;
  std::vector<StandardExtraEntry> standardsExtra;
  std::vector<LevelPoint> curvePoints1;        // level points (series 11 for a self-balanced test)
  std::vector<ReadingPoint> curvePoints2;      // reading points
  std::vector<LevelPoint> curvePoints3;        // level points of series 10 (self-balanced)
  std::vector<ReadingPoint> curvePoints4;      // reading points of series 10 (self-balanced)
  std::vector<TestRecord> exportRecords;       // per-second samples for the text export
  std::deque<std::string> platformTexts;       // platform text frames to send (under queueLock)
  std::deque<std::string> platformTexts2;      // (under queueLock)

  // 2. Pump command and test state.
  std::atomic<int> pumpCommand{0};        // pump output 0..255
  std::atomic<byte> pumpForcedStop{0};    // 64 while the pump is forced to stop
  int readingCount = 0;                   // index of the record the next reading fills
  int readingIndex = 0;                   // reading position of the stability judgement
  int readingCount2 = 0;
  std::atomic<byte> testRunning{0};
  std::atomic<int> loadingPhase{-1};      // <0 no test, 0 waiting, 1 loading, 2 holding, ... (loadLock)
  std::atomic<byte> fileLoaded{0};
  int runCounter4 = 0;
  int runCounter5 = 0;
  int nextReadingSeconds = 0;             // seconds of day at which the next reading is due
  byte runSwitch1 = 0;
  byte runSwitch2 = 0;
  std::string nextReadingText;            // "%02d : %02d : %02d"
  float runValue = 0.0f;
  byte resumeMarker = 0;                  // the stored test was running
  int headerValue0 = 0;
  int headerValue2 = 0;

  // 3. Identity and paths.
  std::string testFilePath;               // empty when no test is set up
  std::string moduleQueuePath;            // ".gps" (under queueLock)
  std::string boxQueuePath;               // ".gpsw" (under queueLock)
  std::string sdCopyPath;
  std::string serialNumber;               // test serial number; the parameter file keeps 25 units
  std::string externalSerialNumber;       // offset 170 of the parameter file; header record 8 value text
  std::string pileLabel;                  // pile number the operator enters; offset 220; record 8 label

  // 4. Test settings.
  std::atomic<int> testType{1};          // 0 plate, 1 compression, 2 self-balanced, 4 lateral, 5 uplift
  float setupValue = 0.0f;                // item 23
  std::atomic<int> channelMask{15};       // bit k: displacement channel k+1 on
  std::array<std::atomic<int>, 8> displacementOn{};  // items 1-8
  std::atomic<float> controlLoad{0.0f};   // target load of the current level (loadLock)
  std::atomic<float> previousLoad{0.0f};  // previous control load of the command step (loadLock)
  std::atomic<int> standardCode{0};       // item 51
  std::atomic<float> stepLoad1{0.0f};    // item 25
  std::atomic<float> stepLoad2{0.0f};    // item 26
  std::atomic<float> stepLoad3{0.0f};    // item 27
  std::atomic<float> stepLoad4{0.0f};    // item 97
  std::atomic<int> criteriaFlag{0};      // automatic loading ('1' in record 30 text2)
  std::atomic<int> holdMinutes{0};       // item 35
  std::atomic<int> judgeIntervalMinutes{0};  // item 36
  std::atomic<int> judgeCount{0};        // item 37
  std::array<int, 3> altCriteria{};       // items 93, 94, 95
  std::atomic<float> stableSettlement{0.0f};  // item 38
  float altSettlement = 0.0f;             // item 90
  std::atomic<int> criterionMode1{0};    // item 58
  std::atomic<int> criterionMode2{0};    // item 89
  std::atomic<int> criterionMode3{0};    // item 59
  int altCriterion4 = 0;                  // item 91
  int altCriterion5 = 0;                  // item 92
  int altCriterion6 = 0;                  // item 96
  // Timing in minutes: [0..5] loading 1-6 (items 39-44), [6] loading 7 (86), [7..12] unloading 1-6
  // (45-50), [13] unloading 7 (87), [14] unloading steps (52), [15] non-zero time (53), [16] zero time
  // (54); the last entry (item 73) is a float, kept in levelMinutesLast.
  std::array<int, 17> levelMinutes{};
  float levelMinutesLast = 0.0f;          // levelMinutes[17], item 73
  std::array<float, 20> levelLoads{};     // load of each level
  // Set by the standard dialog's OK; the control tick and the reading recorder act on them.
  std::atomic<byte> procedureChanged{0};  // level-change flag: the control load changed (recorder clears)
  std::atomic<int> controlRequest{0};     // 2 when the control load changed while the test runs
  std::atomic<byte> pumpProcedure{0};     // pump-procedure flag; cleared when a load programme is committed

  // 5. Sensor, jack and protection data.
  std::atomic<float> protection1{0.0f};   // item 28
  std::atomic<float> protection2{0.0f};   // item 29
  std::atomic<int> protectionSetting{0};  // item 30
  std::atomic<float> protection3{0.0f};   // item 31
  std::atomic<float> protection4{0.0f};   // item 32
  std::atomic<int> forceSensorType{0};    // item 11: 0 load cell, 1 10S, 2 20S oil-pressure
  std::atomic<int> pressureMethod{1};     // item 60: 1 coefficients, 2 rating table, 3 regression
  std::atomic<int> pressureOption{0};     // item 61
  std::string sensorText;                 // item 16 as a number
  std::string sensorText2;
  std::atomic<int> sensorSetting{0};      // item 17
  std::atomic<float> sensorCoefficient{0.0f};  // item 18
  std::string jackText;                   // item 12; "a,b" for jacks in parallel
  std::atomic<int> jackSetting{0};        // item 15
  std::atomic<float> jackCoefficientA{0.0f};   // item 13
  std::atomic<float> jackCoefficientB{0.0f};   // item 14
  std::atomic<int> loadingMode{0};        // item 10
  std::atomic<float> jackCoefficientC{0.0f};   // item 62
  std::atomic<float> jackCoefficientD{0.0f};   // item 63
  std::array<std::atomic<float>, 12> sensorTableA{};  // zero of each point
  std::array<std::atomic<float>, 12> sensorTableB{};  // offset of each point
  std::array<std::atomic<int>, 12> sensorTableC{};    // direction of each point (+1 / -1)
  float headerFloat0 = 0.0f;
  std::array<int, 3> runCounters{};
  platform::clock::DateTime stampTime;
  std::atomic<byte> paused{0};            // item 66 mirrors it
  // The jack group selected for rating data and its calibration block.
  std::atomic<int> selectedJackGroup{-1};
  std::array<std::atomic<float>, kJackCalibrationSize> jackCalibration{};
  JackSensorEntry currentJack;            // the looked-up jack or sensor entry
  // Platform text frames: switch (1 builds them), the number the recorder passes, the reported reading.
  std::atomic<byte> platformTextSwitch{0};
  int platformTextNumber = 0;
  PlatformReading platformReading;

  // 6. Upload and link state.
  std::atomic<int> uploadStatus{0};       // built-in route status code
  std::atomic<int> boxStatus{0};          // external route status code
  std::atomic<byte> moduleTestRequest{0};
  SharedText uploadMessage;               // the module's message text (status 1000)
  SharedText uploadMessagePrefixed;       // the same after the channel prefix ("2#试验...")
  std::atomic<byte> moduleReady{1};       // built-in route: nothing outstanding
  std::atomic<byte> boxReady{1};          // external route: nothing outstanding
  std::atomic<int> moduleWaitCycles{0};   // upload cycles spent waiting for the module's answer
  std::atomic<byte> answerSent{0};        // the last frame written to the box was the answer frame
  std::array<std::string, 8> texts;
  std::array<std::string, 20> texts2;
  std::int64_t elapsedCounter = 0;
  std::atomic<float> extraValue82{0.0f};  // item 82
  byte extraValue82Set = 0;
  std::atomic<int> framesSent{0};
  std::atomic<int> repliesReceived{0};
  SharedText controllerNumber;            // six digits; item 83 as a number
  int tickLimit = 5;                      // channel 1 only
  std::atomic<byte> replyTaken{1};
  std::atomic<byte> badFrame{0};
  std::atomic<byte> preloadRunning{0};
  std::atomic<float> preloadValue{0.0f};
  std::atomic<byte> preloadEnded{0};
  std::array<int, 8> displacementOnCopy{};
  std::atomic<int> pageRedraw{1000};      // 0..5 page to redraw, 1000 nothing pending
  KeypadRequest keypad;
  int selectCaller = 0;                   // 1 sensor, else jack
  std::array<std::string, 6> extraTexts;
  std::string timeText;
  std::string selectedChannelText;        // channel 1 only
  std::string channelName;                // "1", "2" or "3"
  std::atomic<byte> pollWhenIdle{0};
  std::atomic<int> pollPeriodMs{1000};    // channel 1 only
  std::atomic<int> alarmOn{0};
  std::atomic<int> controllerSilent{0};
  std::atomic<int> fullFrameOnModule{1};
  std::atomic<int> fullFrameOnBox{1};
  std::atomic<int> uploadOption{0};
  std::atomic<int> secondOption{0};
  std::atomic<int> boardFlag{0};
  std::string versionText;
  std::atomic<int> resendRunning{0};
  std::atomic<byte> resendHold{0};        // re-send of a stored file holds the queue
  std::atomic<int> configCheck{0};        // 0 not loaded, 1 primary without card or backup, 2 primary
                                          // with card, 4 damaged
  std::array<byte, kQueueRecordSize> queueBuild{};  // build buffer of the next QueueRecord (queueLock)
  std::atomic<int> keepQueueFile{0};      // 1 keeps an emptied queue file
  std::atomic<byte> minuteUpload{0};      // the record being built is the per-minute record
  std::atomic<byte> boxFlag{0};           // record for the box that carries a pile number (route 3)
  std::atomic<byte> uploadEventMark{0};
  std::atomic<byte> gpsQueryRequest{0};   // channel 1
  std::atomic<byte> positionFix{0};
  std::atomic<byte> clockChanged{1};
  std::atomic<float> latitude{0.0f};
  std::atomic<float> longitude{0.0f};
  std::int64_t clockShift = 0;            // test-clock shift, seconds
  platform::clock::DateTime localTime;
  std::atomic<int> batteryLevel{0};       // 0..10
  std::atomic<int> batteryValid{0};
  std::atomic<int> onBattery{0};          // 0 charging, 1 on battery
  std::atomic<int> imeiRequest{0};
  SharedText imeiText;
  std::atomic<int> signalRequest{0};
  SharedText signalText;
  std::atomic<int> rotatingValue1{100};   // item 100
  std::atomic<int> rotatingValue2{200};   // item 101
  LinkState link;                         // front-end link, readings and alarms
  ProcedureState procedure;               // test procedure of the control tick (user-interface thread)

  // Main loop of the main window (user-interface thread unless atomic).
  std::atomic<byte> linkReopenRequest{0};  // channel 1: close and reopen the front-end link
  byte sdCheckRequest = 0;                 // channel 1: check the storage card after 12 ticks
  int sdCheckTicks = 0;
  int silenceTicks = 0;                    // ticks since the last silence check of the controller
  int previousReplyCount = 0;              // good-reply count at the last silence check
  std::atomic<byte> gauge8Marker{0};       // point marker of gauge 8, toggled on the main window
  byte holdWordHold = 1;                   // 1: the automatic loading modes keep the last state word while holding
  platform::clock::DateTime testClock;     // local time plus clockShift, milliseconds 0

  // Locks (see the top of this file).
  mutable std::mutex loadLock;
  mutable std::mutex queueLock;
};

// ---------------------------------------------------------------------------------------------------
// File and list routines of the model. They return 1 on success and 0 on failure and show no message.
namespace JDQFile {

// Copies the typed members of the channel into their items of `list` (the channel's own list).
// Returns 1.
int PackParameters(Parameter& parameter, ::ParameterList& list);

// Sets the typed members of the channel from the header records of its test (records 0..73 of
// `records`); when the stored test was running, also restores the running state and reloads the upload
// queues.
void RestoreFromHeader(Parameter& parameter, std::vector<TestRecord>& records);

// The channel's parameter file "krv718" + channel name + ".ini": 820 bytes with a CRC-16.
int SaveParameterFile(const std::string& path, const std::string& channelName, Parameter& parameter);
int LoadParameterFile(std::string& path, const std::string& channelName, Parameter& parameter);
// Keeps what the set-up dialogs stored in the channel: packs the typed members into the list and saves
// the parameter file with the channel's test-file path (the running test's, or the file a set-up named
// for its start, so that a restart finds the set-up), under the channel's name. Returns the save's result.
int SaveChannelSettings(Parameter& parameter);

// CRC-16/MODBUS of a block into out[0] (low byte) and out[1]. Returns -1 when block or out is missing,
// else 0; an empty block leaves out untouched.
int CRC16(const byte* block, std::size_t length, byte* out);

}  // namespace JDQFile
