#include "app/main_loop.h"

#include <atomic>
#include <cstdlib>

#include "platform/clock/clock.h"

namespace clk = platform::clock;

// ---- clock guard ------------------------------------------------------------------------------------

namespace {
std::atomic<unsigned> g_clockSettings{0};
}

void ClockGuard::NotifyClockSet() { g_clockSettings.fetch_add(1); }

ClockGuard::Sample ClockGuard::now() { return Sample{clk::localMillis(), clk::monotonicMs()}; }

void ClockGuard::Reseed() {
  seenSettings_ = g_clockSettings.load();
  slot_[0] = slot_[1] = now();
  index_ = 0;
}

bool ClockGuard::Tick() {
  if (g_clockSettings.load() != seenSettings_) Reseed();
  // Slot 0 is read on two ticks, slot 1 on the third.
  if (index_ == 2) {
    index_ = 0;
    slot_[0] = now();
  } else {
    slot_[static_cast<std::size_t>(index_)] = now();
    ++index_;
  }
  const std::int64_t localDiff = slot_[1].localMs - slot_[0].localMs;
  const std::int64_t passed = static_cast<std::int64_t>(slot_[1].monoMs) - static_cast<std::int64_t>(slot_[0].monoMs);
  if (std::llabs(localDiff - passed) <= 60000) return false;
  // The newer sample goes; the time is set back to the older one and the time that passed since.
  const std::size_t newer = index_ == 2 ? 1 : 0;
  const Sample& older = slot_[1 - newer];
  const std::uint64_t mono = clk::monotonicMs();
  const std::int64_t target = older.localMs + static_cast<std::int64_t>(mono - older.monoMs);
  clk::setLocalTime(clk::fromSeconds(target / 1000, static_cast<int>(target % 1000)));
  slot_[newer] = Sample{target, mono};
  return true;
}

// ---- lamps, poll settings and the silence check ----------------------------------------------------

int NextLampState(int state, bool active, bool silent) {
  if (!active) return -1;
  if (silent) return state == 3 ? 1 : state == 1 || state == -1 ? 3 : 1;
  return state == 2 ? 1 : state == 1 || state == -1 ? 2 : 1;
}

PollSettings PollSettingsFor(int activeChannels) {
  if (activeChannels >= 3) return {450, 7};
  if (activeChannels == 2) return {550, 6};
  return {1000, 5};
}

void SilenceCheck(Parameter& p, int tickLimit) {
  if (++p.silenceTicks < tickLimit) return;
  const int replies = p.link.goodReplies2.load();
  p.controllerSilent = replies == p.previousReplyCount ? 1 : 0;
  p.previousReplyCount = replies;
  p.silenceTicks = 0;
}

// ---- supervisor --------------------------------------------------------------------------------------

namespace {

// The texts of a channel in rotation order; slot 7 is the status text.
std::vector<const std::string*> channelTexts(const Parameter& p, const std::string& status) {
  const LinkState& s = p.link;
  return {&s.alarmText[LinkState::Uneven],   &s.moduleText,
          &s.boxText,                        &s.alarmText[LinkState::Settlement],
          &s.alarmText[LinkState::NoPressure], &s.alarmText[LinkState::Range],
          &s.deviationText,                  &status,
          &s.alarmText[LinkState::ForceSensor], &s.gaugeText,
          &s.commText,                       &s.batteryText,
          &s.configText,                     &s.storageText};
}

}  // namespace

bool HasAlarmText(const Parameter& p) {
  static const std::string none;
  for (const std::string* t : channelTexts(p, none))
    if (!t->empty()) return true;
  return false;
}

std::string TestSupervisor::RunningText(int n) { return std::to_string(n) + "#试验运行正常！"; }
std::string TestSupervisor::PausedText(int n) { return std::to_string(n) + "#试验暂停！"; }

std::vector<std::string> TestSupervisor::CollectTexts(const std::array<Parameter*, 3>& channels) const {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < 3; ++i) {
    for (const std::string* t : channelTexts(*channels[i], statusText_[i])) {
      if (t->empty()) continue;
      if (texts.size() >= 60) return texts;
      texts.push_back(*t);
    }
  }
  return texts;
}

TestSupervisor::Result TestSupervisor::Supervise(const std::array<Parameter*, 3>& channels,
                                                 const std::function<void()>& alarmOn) {
  Result r;
  Parameter& c1 = *channels[0];
  for (std::size_t i = 0; i < 3; ++i) {
    Parameter& p = *channels[i];
    const int n = static_cast<int>(i) + 1;
    const bool preload = p.preloadRunning.load() != 0;
    const int stop = p.link.stopState.load();
    const bool faulty = (p.loadingPhase.load() >= 1 || preload) &&
                        (stop == 2 || stop == 4 || stop == 5 || p.link.pressureDeviation.load() != 0);
    if (!faulty) {
      faultTicks_[i] = 0;
      if (++statusRefresh_[i] >= 5) {
        statusRefresh_[i] = 0;
        const bool running = p.testRunning.load() == 1 || preload;
        if (running && !HasAlarmText(p)) statusText_[i] = p.paused.load() ? PausedText(n) : RunningText(n);
        else statusText_[i].clear();
      }
      continue;
    }
    if (++faultTicks_[i] > 3) {
      if (c1.alarmOn.load() == 0 && alarmOn) alarmOn();
      p.pumpForcedStop = 64;
      faultTicks_[i] = 0;
      const bool warnOnly = p.controlLoad.load() <= 0.0f && p.ParameterList.item(99) == 0.0f &&
                            p.procedure.pumpStopMark == 1;
      // The supervisor's pause is set, never toggled: a fault that persists must not resume the test.
      if (!warnOnly && !preload && p.testRunning.load() == 1) {
        if (p.paused.load() == 0) p.procedure.pausedMark = 1;
        p.paused = 1;
        r.alarmPaused[i] = true;
        // Stored as the operator's pause is (item 66): a restart takes the faulty test up paused.
        if (p.ParameterList.item(66) != 1.0f) {
          JDQFile::PackParameters(p, p.ParameterList);
          JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
        }
      }
    }
    r.faultSeen = true;
    statusText_[i].clear();
  }

  const std::vector<std::string> texts = CollectTexts(channels);
  r.alert = r.faultSeen;
  if (texts.empty()) return r;
  if (rotation_ < 0 || rotation_ >= static_cast<int>(texts.size())) rotation_ = 0;
  r.text = texts[static_cast<std::size_t>(rotation_)];
  if (dwell_ > 1) {
    dwell_ = 0;
    if (++rotation_ >= static_cast<int>(texts.size())) rotation_ = 0;
  }
  ++dwell_;
  r.textShown = true;
  r.alert = !(r.text == RunningText(1) || r.text == RunningText(2) || r.text == RunningText(3));
  return r;
}
