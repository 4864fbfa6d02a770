// A whole instrument for end-to-end runs: a fresh device root, the manual clock, three channels set
// up as the set-up dialogs would leave them, the test procedure of the main window, and simulated
// controllers with their piles. The channels are driven either in-process (each main-loop step runs
// the command step of every running channel, hands the frame to its simulated controller and parses
// the reply) or over the real front-end link on a pseudo-terminal against the controller simulator.
// Used by the end-to-end tests and the benchmark; no test framework here.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frontend/command.h"
#include "frontend/link.h"
#include "frontend/procedure.h"
#include "frontend/reply.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "setup/standard_commit.h"
#include "setup/timing.h"
#include "sim/controller.h"
#include "sim/frontend_sim.h"

namespace endtoend {

namespace clk = platform::clock;

// The main window as the procedure sees it: answers questions from a script (yes when the script is
// empty) and keeps what it was shown.
class ScriptedWindow : public frontend::MainWindowPort {
 public:
  void showSignalLevel(int) override {}
  void showWiredState(int) override {}
  void setLinkLabel(const std::string&) override {}
  void messageBox(const std::string& text) override {
    std::lock_guard<std::mutex> lk(m_);
    boxes.push_back(text);
  }
  int confirm(const std::string& question) override {
    if (whileAsked) whileAsked(question);
    std::lock_guard<std::mutex> lk(m_);
    questions.push_back(question);
    if (answers.empty()) return 1;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  void setControlText(int id, const std::string& text) override {
    std::lock_guard<std::mutex> lk(m_);
    controls[id] = text;
  }
  void showControl(int id, bool visible) override {
    std::lock_guard<std::mutex> lk(m_);
    visibleControls[id] = visible;
  }
  void hideSecondaryDialogs() override { ++hides; }
  int shownReportPage() const override { return page; }

  std::deque<int> answers;
  // Runs while a question stands open, before it is answered (the operator may take a while).
  std::function<void(const std::string&)> whileAsked;
  std::vector<std::string> questions;
  std::vector<std::string> boxes;
  std::map<int, std::string> controls;
  std::map<int, bool> visibleControls;
  int hides = 0;
  int page = 0;

 private:
  std::mutex m_;
};

// What a channel's test is: standard, loads, loading mode, identity and upload settings.
struct TestSetup {
  int code = 5;            // JGJ106-2014 slow maintained load
  int testType = 1;        // vertical compression
  float firstLoad = 400.0f;
  float step = 200.0f;
  float maxLoad = 1600.0f;
  int loadingMode = 1;     // dual oil circuit: the controller lets the load down itself
  std::string serial = "2026001";
  std::string pile = "P1";
  std::string externalSerial = "EXT01";
  float route = 3.0f;      // both upload queues
  float minuteUpload = 0.0f;
  // Changes to the standard's schedule (minutes), applied after the standard's own row.
  std::function<void(TimingRow&)> schedule;
  float stableSettlement = -1.0f;  // < 0: the standard's own
};

inline std::string channelName(int n) { return std::to_string(n); }

// The settings the standard set-up dialog commits for a test set up as `t`: the standard's own timing
// row and stability limit, with the set-up's changes.
inline StandardSettings standardSettings(const TestSetup& t) {
  const StandardDefaults* d = FindStandardDefaults(t.code);
  TimingRow row = d ? StandardTimingTable()[static_cast<std::size_t>(d->row)] : TimingRow{};
  if (t.schedule) t.schedule(row);
  StandardSettings s;
  s.code = t.code;
  s.controlLoad = t.firstLoad;
  s.refillLower = 5.0f;
  s.singleStep = t.step;
  s.maxLoad = t.maxLoad;
  s.holdTime = static_cast<float>(row[kHoldTime]);
  s.judgeTime = static_cast<float>(row[kJudgeTime]);
  s.judgeCount = static_cast<float>(row[kJudgeCount]);
  s.stableSettlement = t.stableSettlement >= 0.0f ? t.stableSettlement
                       : d && d->stableSettlement[0] ? static_cast<float>(std::atof(d->stableSettlement))
                                                     : 0.1f;
  s.judgementMode = d ? d->mode : 0;
  for (int k = 0; k < 6; ++k) {
    s.loadIntervals[static_cast<std::size_t>(k)] = static_cast<float>(row[static_cast<std::size_t>(kLoadInterval1 + k)]);
    s.unloadIntervals[static_cast<std::size_t>(k)] = static_cast<float>(row[static_cast<std::size_t>(kUnloadInterval1 + k)]);
  }
  s.loadIntervals[6] = static_cast<float>(row[kLoadInterval7]);
  s.unloadIntervals[6] = static_cast<float>(row[kUnloadInterval7]);
  s.unloadSteps = static_cast<float>(row[kUnloadSteps]);
  s.nonZeroTime = static_cast<float>(row[kNonZeroTime]);
  s.zeroTime = static_cast<float>(row[kZeroTime]);
  return s;
}

class Instrument {
 public:
  enum class Drive { InProcess, Link };

  explicit Instrument(Drive drive = Drive::InProcess, const sim::PileSettings& pile = {})
      : drive_(drive), pile_(pile) {
    char tmpl[] = "/tmp/endtoend-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("no temporary folder");
    root_ = tmpl;
    std::filesystem::create_directories(root_ / "nandflash");
    std::filesystem::create_directories(root_ / "Storage Card");
    platform::fs::setRoot(root_);
    clk::configure(clk::Mode::Manual);
    platform::device::resetBoard();
    for (int n = 1; n <= 3; ++n) {
      auto p = std::make_unique<Parameter>();
      initChannel(*p, n);
      ch_[static_cast<std::size_t>(n - 1)] = std::move(p);
    }
    ch(1).selectedChannelText = "1";
    link_ = std::make_unique<frontend::FrontEndLink>(ch(1), ch(2), ch(3), window);
    procedure = std::make_unique<frontend::ChannelProcedure>(ch(1), ch(2), ch(3), window, link_.get());
    if (drive_ == Drive::InProcess) {
      for (int n = 1; n <= 3; ++n) controllers_.push_back(std::make_unique<sim::Controller>(std::to_string(n), pile_));
    }
  }

  ~Instrument() {
    link_->Close();
    sim_.reset();
    procedure.reset();
    link_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  Parameter& ch(int n) { return *ch_.at(static_cast<std::size_t>(n - 1)); }
  const std::filesystem::path& root() const { return root_; }
  frontend::FrontEndLink& link() { return *link_; }

  // Opens the real link against the controller simulator (Drive::Link only).
  void openLink(const std::vector<std::string>& numbers = {"1", "2", "3"}) {
    sim_ = std::make_unique<sim::FrontEndSimulator>(numbers, pile_);
    std::string err;
    if (!sim_->start(sim::defaultPortName(), &err)) throw std::runtime_error("simulator: " + err);
    link_->RefreshFromUi();
    if (link_->Reopen() != 1) throw std::runtime_error("the link does not open");
  }

  // The set-up of a channel as the set-up dialogs leave it, then the start of its test.
  void start(int n, const TestSetup& t) {
    Parameter& p = ch(n);
    const std::string base = "\\Storage Card\\" + t.serial + "-" + t.pile;
    p.serialNumber = t.serial;
    p.pileLabel = t.pile;
    p.externalSerialNumber = t.externalSerial;
    p.testFilePath = base + ".krv";
    {
      std::lock_guard<std::mutex> lk(p.queueLock);
      p.moduleQueuePath = base + ".gps";
      p.boxQueuePath = base + ".gpsw";
    }
    p.testType = t.testType;
    p.loadingMode = t.loadingMode;
    p.ParameterList.set(56, t.route);
    p.ParameterList.set(74, t.minuteUpload);

    const StandardSettings s = standardSettings(t);
    JDQFile::PackParameters(p, p.ParameterList);
    JDQFile::BuildHeaderRecords(p);
    CommitStandardSettings(p, s);
    JDQFile::PackParameters(p, p.ParameterList);
    JDQFile::BuildHeaderRecords(p);

    // The start of the test-control dialog.
    p.testRunning = 1;
    p.fileLoaded = 0;
    p.paused = 0;
    p.readingCount = p.readingCount2 = p.readingIndex = 0;
    p.pumpCommand = 0;
    p.procedure = ProcedureState{};
    {
      std::lock_guard<std::mutex> lk(p.loadLock);
      p.loadingPhase = 0;
      p.previousLoad = 0.0f;
    }
    JDQFile::PackParameters(p, p.ParameterList);
    JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
    JDQFile::CreateTestFile(p.testFilePath, p.testRecords, p);
    JDQFile::UpdateAllHeaderTexts(p.testFilePath, 31, p.testRecords, p);
  }

  // What a program started again has of channel n's running test (its file and parameter texts, a
  // link that has yet to hear the controller, nothing of the procedure's state), and the start-up's
  // restore of the test from the file.
  void restart(int n) {
    Parameter& p = ch(n);
    std::vector<TestRecord> records = loadFile(p.testFilePath);
    p.procedure = ProcedureState{};
    p.rebuildResume = RebuildResume{};
    p.link.levelNumber = 0;
    p.link.goodCount = 0;
    p.previousLoad = 0.0f;
    p.runCounters = {};
    p.elapsedCounter = 0;
    p.resumeMarker = 1;
    p.testRecords = records;
    JDQFile::RestoreFromHeader(p, p.testRecords);
    procedure->ResumeFromRunningState(p);
  }

  // One step of the main loop: 900 ms of instrument time (or `ms`, for a main loop held up) with the
  // link's polls, then the control tick of channels 1, 2 and 3.
  void step(std::uint64_t ms = 900) {
    if (drive_ == Drive::InProcess) {
      clk::advance(ms);
      const std::uint64_t nowMs = clk::monotonicMs();
      for (int n = 1; n <= 3; ++n) {
        Parameter& p = ch(n);
        if (p.testRunning.load() != 1 && p.pollWhenIdle.load() != 1) continue;
        frontend::CommandOutcome out = frontend::buildCommand(p);
        std::array<std::uint8_t, 22> frame{};
        std::copy(out.frame.begin(), out.frame.end(), frame.begin());
        const std::string reply = controllers_[static_cast<std::size_t>(n - 1)]->handle(frame, nowMs);
        if (reply.size() == 32) frontend::parseReply(p, reinterpret_cast<const std::uint8_t*>(reply.data()));
      }
    } else {
      linkStep();
      link_->RefreshFromUi();
    }
    ++steps_;
    const clk::DateTime now = clk::localTime();
    for (int n = 1; n <= 3; ++n) {
      Parameter& p = ch(n);
      p.localTime = now;
      procedure->ControlTick(p, channelName(n));
    }
  }

  // Steps until `done` holds or the instrument time limit passes. Returns true when done.
  bool runUntil(const std::function<bool()>& done, double maxHours) {
    const std::uint64_t limit = clk::monotonicMs() + static_cast<std::uint64_t>(maxHours * 3600000.0);
    while (!done()) {
      if (clk::monotonicMs() >= limit) return false;
      step();
    }
    return true;
  }
  void runFor(double minutes) {
    const std::uint64_t until = clk::monotonicMs() + static_cast<std::uint64_t>(minutes * 60000.0);
    while (clk::monotonicMs() < until) step();
  }
  std::uint64_t steps() const { return steps_; }
  int settleTimeouts = 0;
  // The harness's own waits for the link's threads (host time), and how many there were.
  std::uint64_t settles = 0;
  double settleWaitSeconds = 0.0;

  sim::Controller& controller(int n) {
    if (drive_ == Drive::InProcess) return *controllers_.at(static_cast<std::size_t>(n - 1));
    return sim_->controller(static_cast<std::size_t>(n - 1));
  }

  // The test data file, its backup and a queue file, as they are on the device.
  std::vector<TestRecord> loadFile(const std::string& path) const {
    std::vector<TestRecord> r;
    JDQFile::LoadTestFile(path, r);
    return r;
  }
  std::string hostPath(const std::string& instrumentPath) const {
    std::string rel = instrumentPath;
    for (char& c : rel)
      if (c == '\\') c = '/';
    while (!rel.empty() && rel.front() == '/') rel.erase(rel.begin());
    return (root_ / rel).string();
  }

  ScriptedWindow window;
  std::unique_ptr<frontend::ChannelProcedure> procedure;

 private:
  void initChannel(Parameter& p, int n) {
    p.channelName = channelName(n);
    p.ParameterList.setChannelNumber(n);
    p.ParameterList.extendWithDefaults();
    p.ParameterList.set(57, 1.0f);  // wired link
    p.ParameterList.set(88, 1.0f);  // no signal at every reading
    p.controllerNumber = std::to_string(n);
    p.boardFlag = 1;
    p.versionText = "3.3.8";
    p.forceSensorType = 0;
    p.pressureMethod = 1;
    p.sensorCoefficient = 1.0f;
    p.jackSetting = 1;
    p.link.jackK = 1.0f;
    p.channelMask = 15;
    for (std::size_t i = 0; i < 4; ++i) {
      p.link.gaugeOn[i] = 1;
      p.displacementOn[i] = 1;
    }
    for (auto& d : p.sensorTableC) d = 1;
    p.stampTime = clk::localTime();
  }

  // The link's threads do their part of 900 ms: the steps stop at each exchange of a poll (frame
  // written, the 30 ms pause, the reader's 35 ms) and jump over the quiet time between polls.
  // Waits on the threads' activity (every frame written, taken, answered and read, and every sleep on
  // the clock begun or ended, is reported): the state is looked at again as soon as anything changed,
  // and the wait ends the moment the threads are idle.
  void settle() {
    ++settles;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    std::uint64_t seen = clk::activity();
    for (;;) {
      const std::uint64_t taken = sim_->bytesTaken(), sent = sim_->bytesSent();
      const std::uint64_t handled = link_->bytesHandled() + lost_;
      // Every frame written was taken and answered (these controllers answer every frame).
      const bool answered = taken == link_->bytesWritten() && taken / 22 == sent / 32;
      const int sleeping = clk::sleepers();
      // Idle: every reply read and only the poll thread asleep, or a reply waiting for the reader,
      // which sleeps its 35 ms beside the poll thread.
      const bool idle = answered && ((handled >= sent && sleeping == 1) || (handled < sent && sleeping == 2));
      if (idle) return;
      const auto now = std::chrono::steady_clock::now();
      if (now >= until) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
      seen = clk::awaitActivity(seen, static_cast<std::uint32_t>(left));
      settleWaitSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - now).count();
    }
    // Bytes that were purged before they were read are never handled.
    ++settleTimeouts;
    const std::uint64_t handled = link_->bytesHandled();
    if (sim_->bytesSent() > handled) lost_ = sim_->bytesSent() - handled;
  }
  void linkStep() {
    const std::uint64_t target = clk::monotonicMs() + 900;
    while (clk::monotonicMs() < target) {
      settle();
      auto log = sim_->received();
      if (!log.empty()) {
        lastFrameMs_ = log.back().atMs;
        sim_->clearLog();
      }
      const std::uint64_t now = clk::monotonicMs();
      const std::uint64_t period = static_cast<std::uint64_t>(std::max(1, ch(1).pollPeriodMs.load()));
      std::uint64_t next;
      if (now < lastFrameMs_ + 40) {
        next = now + 5;
      } else {
        next = std::max(now + 1, lastFrameMs_ + 30 + period);
      }
      clk::advance(std::min(next, target) - now);
    }
    settle();
  }

  Drive drive_;
  sim::PileSettings pile_;
  std::filesystem::path root_;
  std::array<std::unique_ptr<Parameter>, 3> ch_;
  std::unique_ptr<frontend::FrontEndLink> link_;
  std::vector<std::unique_ptr<sim::Controller>> controllers_;
  std::unique_ptr<sim::FrontEndSimulator> sim_;
  std::uint64_t steps_ = 0;
  std::uint64_t lastFrameMs_ = 0;
  std::uint64_t lost_ = 0;
};

// A reading of a test data file.
struct Reading {
  int index = 0;
  std::string marker;  // "--:--" or "hh:mm"
  int minutes = 0;     // the record's time field
  float load = 0.0f;
  std::array<float, 8> gauges{};
  std::array<std::uint8_t, 6> status{};
};

// The readings of a test data file: records from 0 up to the first record without a reading.
inline std::vector<Reading> readingsOf(const std::vector<TestRecord>& records) {
  std::vector<Reading> out;
  for (std::size_t k = 0; k < records.size(); ++k) {
    const TestRecord& r = records[k];
    if (std::string(r.marker, 5) == "11111") break;
    Reading x;
    x.index = static_cast<int>(k);
    x.marker.assign(r.marker, 5);
    x.minutes = std::atoi(std::string(r.time, 5).c_str());
    x.load = r.valuesA[0];
    for (std::size_t g = 0; g < 8; ++g) x.gauges[g] = r.valuesA[2 + g];
    for (std::size_t b = 0; b < 6; ++b) x.status[b] = static_cast<std::uint8_t>(r.tail2[b]);
    out.push_back(x);
  }
  return out;
}

// The readings grouped by level: each level begins with its level-start reading "--:--".
struct Level {
  float load = 0.0f;  // the target load recorded by the level start
  std::vector<Reading> readings;  // after the level start
};
inline std::vector<Level> levelsOf(const std::vector<Reading>& readings) {
  std::vector<Level> levels;
  for (const Reading& r : readings) {
    if (r.marker == "--:--") {
      levels.push_back(Level{r.load, {}});
    } else if (!levels.empty()) {
      levels.back().readings.push_back(r);
    }
  }
  return levels;
}

// Reading times of a level, in minutes after its load was reached, whose reading intervals are
// `intervals` (1..7, the seventh repeating): 0 (the reading when the load was reached), i1, i1+i2, ...
inline std::vector<int> scheduleTimes(const std::array<int, 7>& intervals, std::size_t count) {
  std::vector<int> t;
  int at = 0;
  if (count > 0) t.push_back(0);
  for (std::size_t k = 0; t.size() < count; ++k) t.push_back(at += intervals[std::min<std::size_t>(k, 6)]);
  return t;
}

inline std::array<int, 7> loadingIntervals(const Parameter& p) {
  return {p.levelMinutes[0], p.levelMinutes[1], p.levelMinutes[2], p.levelMinutes[3],
          p.levelMinutes[4], p.levelMinutes[5], p.levelMinutes[6]};
}
inline std::array<int, 7> unloadingIntervals(const Parameter& p) {
  return {p.levelMinutes[7],  p.levelMinutes[8],  p.levelMinutes[9], p.levelMinutes[10],
          p.levelMinutes[11], p.levelMinutes[12], p.levelMinutes[13]};
}

// A short schedule on a route: readings every minute, levels of 200 held 3 minutes up to 400, so a whole
// test takes about half an hour of instrument time.
inline TestSetup shortTest(float route = 3.0f) {
  TestSetup t;
  t.firstLoad = 200.0f;
  t.step = 200.0f;
  t.maxLoad = 400.0f;
  t.route = route;
  t.schedule = [](TimingRow& row) {
    for (int k = 0; k < 6; ++k) {
      row[static_cast<std::size_t>(kLoadInterval1 + k)] = 1;
      row[static_cast<std::size_t>(kUnloadInterval1 + k)] = 1;
    }
    row[kLoadInterval7] = row[kUnloadInterval7] = 1;
    row[kHoldTime] = 3;
    row[kJudgeTime] = 2;
    row[kJudgeCount] = 1;
    row[kZeroTime] = 4;
  };
  t.stableSettlement = 0.1f;
  return t;
}

// Pending (not "OVER") 128-byte slots of a queue file.
inline std::vector<std::string> queueSlots(const std::string& hostPath) {
  std::vector<std::string> slots;
  FILE* f = std::fopen(hostPath.c_str(), "rb");
  if (!f) return slots;
  char buf[128];
  while (std::fread(buf, 1, 128, f) == 128) slots.emplace_back(buf, 128);
  std::fclose(f);
  return slots;
}

}  // namespace endtoend
