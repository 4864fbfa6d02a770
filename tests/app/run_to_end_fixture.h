// A whole test run by the main loop on the manual clock: every question answered yes and every message
// box closed, and a simulated controller answering each tick's command until the test ends.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/queren.h"
#include "fixture.h"
#include "frontend/command.h"
#include "frontend/reply.h"
#include "model/datafiles.h"
#include "model/parameter.h"
#include "sim/controller.h"

namespace apptest {

// Answers every yes/no question with yes and closes every message box; keeps the questions asked.
class AnswerEverythingYes {
 public:
  AnswerEverythingYes()
      : script_([this] {
          ui::Window* w = ui::activeWindow();
          if (auto* q = dynamic_cast<queren*>(w)) {
            asked.push_back(g_strPrompt);
            q->endDialog(ui::IDOK);
          } else if (auto* b = dynamic_cast<CMessageBox*>(w)) {
            b->endDialog(ui::IDOK);
          }
        }) {}
  std::vector<std::string> asked;

 private:
  drv::IdleScript script_;
};

// Runs the main loop until the channel's test ends, or 30 instrument hours have passed: the simulated
// controller `number` answers each tick's command, the reply parsed into the channel.
inline void RunTestToItsEnd(Parameter& p, const std::string& number) {
  sim::Controller controller(number);
  const std::uint64_t limit = platform::clock::monotonicMs() + 30ull * 3600 * 1000;
  while (p.testRunning.load() == 1 && platform::clock::monotonicMs() < limit) {
    drv::run(900, 900);
    const frontend::CommandOutcome out = frontend::buildCommand(p);
    std::array<std::uint8_t, 22> frame{};
    std::copy(out.frame.begin(), out.frame.end(), frame.begin());
    const std::string reply = controller.handle(frame, platform::clock::monotonicMs());
    if (reply.size() == 32) frontend::parseReply(p, reinterpret_cast<const std::uint8_t*>(reply.data()));
  }
}

// The loads of a test file's level records, rounded, up to its end record.
inline std::vector<float> LevelLoadsOf(const std::vector<TestRecord>& file) {
  std::vector<float> levels;
  for (const TestRecord& t : file) {
    if (std::memcmp(t.marker, "11111", 5) == 0) break;
    if (std::memcmp(t.marker, "--:--", 5) == 0) levels.push_back(std::round(t.valuesA[0]));
  }
  return levels;
}

}  // namespace apptest
