// The pieces of the main window's 900 ms main loop that stand on their own: the clock-jump guard, the
// test supervisor with its status-line rotation, the channel lamps' blink and the poll settings by the
// number of active channels; and the state the main window keeps for its loop and display.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/procedure.h"
#include "model/parameter.h"

// ---------------------------------------------------------------------------------------------------
// Guards the local time against jumps of more than a minute. Two samples are taken in turn (slot 0 on
// two ticks, slot 1 on the third); when the local time between them moved more than 60 s away from the
// time that really passed (the monotonic clock), the newer sample is thrown away and the local time is
// set back to the older one plus the time that passed since it. A deliberate setting of the time, and
// the end of every modal prompt, reseeds both samples so that the guard accepts the new time.
class ClockGuard {
 public:
  // Every deliberate setting of the time calls this (the date dialog); each guard then takes the new
  // time on its next tick.
  static void NotifyClockSet();

  ClockGuard() { Reseed(); }
  // Both samples from now.
  void Reseed();
  // One tick: takes the next sample and checks it. Returns true when it set the local time back.
  bool Tick();
  int index() const { return index_; }

 private:
  struct Sample {
    std::int64_t localMs = 0;
    std::uint64_t monoMs = 0;
  };
  static Sample now();
  std::array<Sample, 2> slot_{};
  int index_ = 0;
  unsigned seenSettings_ = 0;
};

// ---------------------------------------------------------------------------------------------------
// Lamp state of a channel button on this tick: an active channel blinks white and green while its
// controller answers and white and red while it is silent; an inactive one is off (-1).
int NextLampState(int state, bool active, bool silent);

// Poll period (ms) and ticks between two silence checks for a number of active channels.
struct PollSettings {
  int periodMs;
  int tickLimit;
};
PollSettings PollSettingsFor(int activeChannels);

// The silence check of one channel's controller: every `tickLimit` ticks the good-reply count is
// compared with the one of the last check; no change marks the controller silent.
void SilenceCheck(Parameter& p, int tickLimit);

// ---------------------------------------------------------------------------------------------------
// Watches the three channels once per tick: four faulty ticks in a row (a stop state of 2, 4 or 5, or
// a pressure deviation, while a level or a preload runs) sound the alarm, force the pump to stop and
// pause the test. Keeps each channel's status text and rotates all alarm and status texts through the
// status line.
class TestSupervisor {
 public:
  struct Result {
    bool faultSeen = false;   // a channel was faulty on this tick (the status alert is set)
    bool textShown = false;   // a text is to go to the status line
    std::string text;
    bool alert = false;       // the status line's colour: red (true) or blue
    std::array<bool, 3> alarmPaused{};  // the supervisor paused the channel on this tick
  };

  // Runs one pass over the channels; `alarmOn` switches the alarm output on.
  Result Supervise(const std::array<Parameter*, 3>& channels, const std::function<void()>& alarmOn);

  // The non-empty alarm and status texts of the three channels in rotation order (at most 60).
  std::vector<std::string> CollectTexts(const std::array<Parameter*, 3>& channels) const;

  int faultTicks(int n) const { return faultTicks_[static_cast<std::size_t>(n - 1)]; }
  const std::string& statusText(int n) const { return statusText_[static_cast<std::size_t>(n - 1)]; }

  static std::string RunningText(int n);
  static std::string PausedText(int n);

 private:
  std::array<int, 3> faultTicks_{};
  std::array<int, 3> statusRefresh_{};
  std::array<std::string, 3> statusText_{};
  int rotation_ = 0;
  int dwell_ = 0;
};

// Whether any alarm text of the channel is set.
bool HasAlarmText(const Parameter& p);

// ---------------------------------------------------------------------------------------------------
// The one-hour settlement of a channel, as the display shows it.
struct HourSettlement {
  float settlement = 0.0f;  // current settlement minus the one 60 minutes before the next reading
  float value2 = 0.0f;      // the same for the sink value
  float value3 = 0.0f;      // the same for the uplift value
};

// What the main window keeps for its loop and its display.
struct MainLoopState {
  ClockGuard clock;
  TestSupervisor supervisor;
  std::unique_ptr<frontend::ChannelProcedure> procedure;
  bool inTimer1 = false;          // a run of timer 1 (with any prompt it opened) is under way
  bool manualKeys = true;         // the refresh may rewrite the manual keys' captions
  std::string lastKeyCaption;     // caption of the manual key last touched
  int keyDown = 0;                // 1277 or 1280 while held, else 0
  std::array<int, 3> linkFaultAge{};
  std::array<int, 3> linkFaultMessages{};
  std::array<int, 3> refreshes{};
  std::array<HourSettlement, 3> hourSettlement{};
  // The last state word written (1028) for each channel: a phase without a word of its own keeps the
  // channel's last, never the word of a channel shown before.
  std::array<std::string, 3> stateWords{"— —", "— —", "— —"};
  int shownChannel = 0;  // the channel the last refresh showed (1-3, 0 none)
  bool supervisorShows = false;   // the supervisor had a text for the status line on its last pass
  std::uint64_t statusHeldUntilMs = 0;  // a held text owns the status line until then (monotonic)
  // Ends the program after the upgrade program started (tests replace it); empty: the process ends.
  std::function<void()> exitProgram;
};
