// The main window's loop on the manual clock against simulated front-end controllers: the simulators,
// a wait for the link to settle between clock steps, and prompts answered with OK.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/queren.h"
#include "fixture.h"
#include "sim/frontend_sim.h"

namespace apptest {

class SimLoopTest : public AppTest {
 protected:
  void TearDown() override {
    AppTest::TearDown();  // the window closes its link first
    sims_.clear();
  }

  sim::FrontEndSimulator& startSim(const std::string& port) {
    sims_.push_back(std::make_unique<sim::FrontEndSimulator>(std::vector<std::string>{"000001", "000002", "000003"}));
    std::string error;
    EXPECT_TRUE(sims_.back()->start(port, &error)) << error;
    return *sims_.back();
  }

  // Waits (real time, bounded) until the link and the simulators are idle on the clock: every frame
  // written was answered, and every answer was handled or waits for the reader's delay on the clock.
  // On a quiet machine this takes well under a millisecond; the bound is for a sanitizer build on a
  // loaded one, where an exchange can take a good part of a second.
  void settle() {
    if (!main_) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
    int quiet = 0;
    while (std::chrono::steady_clock::now() < until) {
      std::uint64_t taken = 0, sent = 0;
      for (auto& s : sims_) {
        taken += s->bytesTaken();
        sent += s->bytesSent();
      }
      frontend::FrontEndLink& link = main_->link();
      const bool idle = taken == link.bytesWritten() && (link.bytesHandled() >= sent || clk::sleepers() >= 3);
      if (idle && ++quiet >= 3) return;
      if (!idle) quiet = 0;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  }
  // Runs the loop for ms of instrument time in steps (10 ms by default), letting the link work
  // between them.
  void run(std::uint64_t ms, std::uint64_t step = 10) {
    for (std::uint64_t t = 0; t < ms; t += step) {
      drv::run(step, step);
      settle();
    }
  }
  // Answers every prompt the loop opens with OK and keeps its text.
  std::vector<std::string> answerPrompts(const std::function<void()>& body) {
    std::vector<std::string> asked;
    drv::IdleScript script([&] {
      auto* q = dynamic_cast<queren*>(ui::activeWindow());
      if (!q) return;
      asked.push_back(g_strPrompt);
      q->endDialog(ui::IDOK);
    });
    body();
    return asked;
  }

  std::vector<std::unique_ptr<sim::FrontEndSimulator>> sims_;
};

}  // namespace apptest
