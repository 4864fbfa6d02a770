// The test procedure of the three channels, run by the main window on the user-interface thread:
// the control tick (reading schedule, per-second sampling, stable levels, the maximum-load and
// oil-circuit questions, unloading, the minute upload), the recording of a reading, and the procedure
// actions (pump stop, end of a test, the end of an unloading level, pause and resume).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frontend/link.h"
#include "frontend/mainwindow_port.h"
#include "model/parameter.h"

namespace frontend {

// The texts "— : — : —" (no reading scheduled) and "— —" (nothing to show).
inline constexpr const char* kNoReadingText = "— : — : —";
inline constexpr const char* kNoValueText = "— —";

// Status byte 5 of a reading of the schedule that was taken late, in its own place of the schedule.
// Bit 0 of that byte marks a reading outside the schedule, which the rebuild of the readings leaves
// out; a late reading of the schedule keeps its place, so it is marked with the next bit instead. A
// reading taken once its slot had passed by a minute or more carries bit 2 (record_values::
// kAtItsOwnMinute) instead: it stands at the minute at which it was taken.
inline constexpr char kLateInItsPlace = 2;

class ChannelProcedure {
 public:
  // The three channel records (channel 1 holds the system-wide values), the main window, and the
  // front-end link whose alarm texts and alarm output the procedure uses (it may be closed; nullptr
  // runs the procedure without alarms).
  ChannelProcedure(Parameter& ch1, Parameter& ch2, Parameter& ch3, MainWindowPort& window,
                   FrontEndLink* link);
  virtual ~ChannelProcedure() = default;
  ChannelProcedure(const ChannelProcedure&) = delete;
  ChannelProcedure& operator=(const ChannelProcedure&) = delete;

  // One tick of one channel (the main loop calls it every 900 ms for channels 1, 2 and 3 after
  // storing the local time in the channel's `localTime`). `name` is "1", "2" or "3". Returns 0.
  int ControlTick(Parameter& p, const std::string& name);

  // Records the channel's current state as the reading at its current record index, writes it to
  // the test data file, judges stability and queues the upload records. Returns 1 after a reading, 0
  // (doing nothing) in phase 0.
  virtual int RecordReading(Parameter& p, const std::string& name);

  // Forced stop of the pump, or its release. Returns 1 when the target load is above 0, else 0.
  int TogglePumpStop(Parameter& p);
  // Ends the channel's test and shows the finished test from its file.
  void FinishTest(Parameter& p, const std::string& name);
  // After an unloading reading: whether the unloading level is complete, and what follows.
  void CheckCycleEnd(Parameter& p, const std::string& name);
  // Pauses a running test, or resumes a paused one (ResumeTest). An idle channel is left alone.
  void TogglePause(Parameter& p);
  // Resumes a paused test: clears the pause, every pause request and persistence counter of the
  // alarms and the stop state, so the test goes on at once; the next reading carries the
  // schedule-break mark.
  void ResumeTest(Parameter& p);
  // "Load the next level" after a stable level that waits for the operator (automatic advance off):
  // the next level starts on the next tick. False when the channel does not wait.
  bool RequestNextLevel(Parameter& p);

  // Takes the procedure's own state back from the running state that the recording keeps in the
  // header records (after the restore of an interrupted test): the level's reading index and counters,
  // the level number, the reload counter, the absolute time of the next reading and the previous
  // control load (so the command step does not see the current level as a new one).
  void ResumeFromRunningState(Parameter& p);

  // The last question asked (the confirmation dialog's text).
  const std::string& lastPrompt() const { return prompt_; }

 private:
  Parameter& channel1() { return *ch_[0]; }
  int channelNumber(const Parameter& p) const;
  bool shown(const Parameter& p) const;
  float route() const;  // upload route, item 56 of channel 1
  int ask(const std::string& question);
  void alarmOn();
  void composeAlarms(const Parameter& p);
  void signal(Parameter& p);

  // Control tick pieces.
  void takeNewLevel(Parameter& p);
  void phaseWork(Parameter& p, const std::string& name);
  void levelStart(Parameter& p, const std::string& name);
  void readingClockStart(Parameter& p, const std::string& name);
  void holdingReadings(Parameter& p, const std::string& name);
  void stableLevel(Parameter& p, const std::string& name);
  void unloadingStep(Parameter& p);
  void unloadingReadings(Parameter& p, const std::string& name);
  void minuteUpload(Parameter& p);
  // Per-second sampling for the text export and the minute upload.
  void sampleSecond(Parameter& p);
  // Where the tick stands to the next reading: before its time, inside its window, past it by less
  // than a minute, or further past it (with later slots of the level, perhaps).
  enum class Slot { NotYet, Due, Late, Passed };
  Slot slotState(const Parameter& p) const;
  // The minute at which the reading whose time has come stands in its level, and its late marks.
  void placeReading(Parameter& p, Slot slot);
  void scheduleAt(Parameter& p, std::int64_t at);
  void scheduleNext(Parameter& p, int seconds);
  void scheduleHolding(Parameter& p);
  // Unloading rules of a reading whose time has come.
  void scheduleUnloading(Parameter& p);
  void maximumLoadPrompt(Parameter& p, const std::string& name, int kind);
  void unloadingPrompt(Parameter& p, const std::string& name);
  void reloadingPrompt(Parameter& p, const std::string& name, bool late);
  void setPhase(Parameter& p, int phase);
  void setTarget(Parameter& p, float load);
  float levelLoad(const Parameter& p, int index) const;

  // Recording pieces.
  void fillHeaderExtraTexts(Parameter& p);
  void queueUpload(Parameter& p, bool minuteRecord);

  std::array<Parameter*, 3> ch_;
  MainWindowPort& window_;
  FrontEndLink* link_;
  std::string prompt_ = "您确定?";
};

// The oil pressure that a target load gives on the channel's sensor (0 for a load cell and for
// settings that give no divisor).
float TargetPressure(const Parameter& p, float target);

// Clears the pump and valve control values of the channel: the pump command, the manual keys, the
// automatic valve, the pump block and the signal countdown.
void ClearPumpControl(Parameter& p);

// Leaves the channel idle after the end of its test, by whichever way it ended: not running, not
// paused, loading phase 0 with no level, no reading scheduled ("— : — : —"), the pump released and
// every pump-stop, alarm and event mark cleared, and the alarms' pause requests, persistence
// counters, stop state and texts cleared, so nothing of the ended test goes on being read, sounded
// or shown. Everything changes under the channel's loadLock.
void ClearToIdle(Parameter& p);

// Event bytes A and B of a reading from the channel's marks. Every counted mark is cleared (the
// pump-stop mark excepted) and the four zeroing marks in any case; the paused mark is counted and
// cleared only with `countPaused`.
struct EventBytes {
  int a = 0;
  int b = 0;
};
EventBytes TakeEventBytes(Parameter& p, bool countPaused);

// The channel's eight displacements into values 2-9 of the record and into its last recorded
// displacements; the marker into the step mark and values 2-9 into the second value block.
void PutDisplacements(Parameter& p, TestRecord& r);

// Status bytes 0-4 of a reading record: event byte A (0 for test type 2), A, the upload route, B, B.
void PutStatusBytes(const Parameter& p, TestRecord& r, EventBytes e, int routeCode);

}  // namespace frontend
