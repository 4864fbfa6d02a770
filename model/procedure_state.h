// State of a channel's test procedure that the control tick, the recording of a reading and the
// procedure actions (pause, pump stop, end of test, end of an unloading level) keep between ticks.
// It belongs to the user-interface thread: the link threads never touch it (what they share with the
// tick lives in LinkState as atomics).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock/clock.h"

struct ProcedureState {
  using byte = std::uint8_t;

  // Flags of the current level, raised from the command step's hand-over at the start of a tick.
  byte levelStart = 0;      // a new level began: its first (level-start) reading is due
  byte readingClock = 0;    // the level's load was reached: the level's reading schedule starts
  byte useTarget = 0;       // the next reading records the target load instead of the measured load
  byte skipTick = 0;        // the next tick does nothing (set by the channel initialisation)

  // Reading schedule of the current level.
  int readingIndex = 0;               // readings taken in this level by the schedule, 0..6
  std::int64_t nextReadingAt = 0;     // absolute instrument time (seconds) of the next reading
  std::int64_t levelClockAt = 0;      // absolute time at which the level's reading schedule started
  byte catchUpTaken = 0;              // a late re-loading reading was already taken in this level
  int overdue = 0;                    // ticks spent with an overdue reading
  byte scheduleBreak = 1;             // schedule-break mark (event bit 32 of the next reading)
  byte lateReading = 0;               // the reading is taken late (status byte 5)
  int ownMinutes = -1;                // the reading is taken at this minute of its level, off its slot
  int slotMinutes = -1;               // the minute of its level at which the reading due stands (its slot)

  // Levels.
  int levelCounter = 0;       // index into the level-load table (standards 0, 72, 149)
  int levelEndCounter = 0;    // ticks spent in a stable level or an unloading step
  int reloadCounter = 1;      // standards 62, 76, 144: cycles at the same target load
  byte autoAdvance = 1;       // system setting (channel 1): go on to the next level by itself
  byte waitingAfterStable = 0;  // a stable level waits in phase 0 for the operator
  byte advanceRequested = 0;    // one-shot: the operator asked for the next level

  // Per-second sampling for the text export and the minute upload.
  int sampleCounter = 0;
  platform::clock::DateTime previousSample;
  platform::clock::DateTime thisTick;
  byte clockJump = 0;
  byte textExport = 0;        // system setting (channel 1): the per-minute text export is on
  std::string lastReadingTime;  // "%02d:%02d" of the last reading or minute upload

  // Recording.
  byte levelStartMark = 0;    // the last reading was a level start
  byte useTargetMark = 0;     // the last reading recorded the target load
  int levelReadings = 0;      // readings recorded in this level (0 at the level start)
  std::array<float, 10> lastRecorded{};  // load, pressure and displacements 1-8 of the last reading
  // Readings that the storage did not take: the first record index not yet written whole into the
  // test file and its copy (-1 when everything is written), those records as they were when each was
  // recorded (311 bytes each, in the file's layout, from that index on), and the upload records of
  // those readings in order (queue 0 or 1 and the record), queued once the readings stand in the file.
  int unwrittenFrom = -1;
  std::string unwrittenRecords;
  std::vector<std::pair<int, std::array<byte, 128>>> heldUploads;

  // Marks counted in the event bytes of the next reading.
  std::array<byte, 4> zeroingMarks{};  // raised by the data-zeroing dialog
  byte settingsChanged = 0;            // raised by the sensor and clock dialogs
  byte pumpStopMark = 0;
  std::array<byte, 2> alarmMarks{};
  byte pausedMark = 0;

  // Pump stop and the end of unloading levels.
  int pumpStopKind = 0;       // 1 stopped with the stop button, 2 by another cause, 0 running
  byte stopRelease = 0;       // a release at zero target: the tick does not stop the pump again
  byte unloadLevelComplete = 0;

  // The finished test as the report pages show it after the end of a test.
  std::string lastTestFileName;
  int openedStandardCode = 0;
  int openedHeader12 = 0;
  std::array<byte, 8> openedGaugeOn{};
};
