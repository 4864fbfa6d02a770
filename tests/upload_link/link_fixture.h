// Three channels on a fresh device root and the manual clock, an upload link whose cycles the test
// runs itself, and the two simulated modules on pseudo-terminals.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/datafiles.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "sim/module_sim.h"
#include "tests/upload_link/upload_channels.h"
#include "upload/upload_link.h"

namespace uploadtest {

namespace clk = platform::clock;

// A 128-byte record as the builders leave it: "GPRS" and a pattern of the seed.
inline std::array<byte, 128> record(int seed) {
  std::array<byte, 128> r{};
  std::memcpy(r.data(), "GPRS", 4);
  for (std::size_t i = 4; i < 128; ++i) r[i] = static_cast<byte>((seed * 37 + static_cast<int>(i)) & 0xFF);
  return r;
}
inline std::string text(const std::array<byte, 128>& r) { return std::string(r.begin(), r.end()); }

class LinkFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "upload-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    platform::fs::setRoot(root_);
    std::filesystem::create_directories(root_ / "nandflash");
    std::filesystem::create_directories(root_ / "Storage Card");
    clk::configure(clk::Mode::Manual);
    freshChannels();
    setRoute(3);
  }
  // The channel records as a restarted program has them: settings and queue-file names, queues empty.
  void freshChannels() {
    channels_ = std::make_unique<std::array<Parameter, 3>>();
    uploadtest::setUpChannels(*channels_);
  }
  void TearDown() override {
    link.reset();
    gprs.reset();
    box.reset();
    platform::fs::setRoot({});
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  Parameter& ch(int n) { return (*channels_)[static_cast<std::size_t>(n - 1)]; }
  void setRoute(int route) { ch(1).ParameterList.set(56, static_cast<float>(route)); }

  // The link (threads of the readers only, unless asked) and the simulators with their ports.
  void open(bool uploadThread = false, bool withGprs = true, bool withBox = true) {
    if (withGprs) {
      gprs = std::make_unique<sim::GprsModuleSimulator>();
      std::string err;
      ASSERT_TRUE(gprs->start(sim::defaultGprsPortName(), &err)) << err;
    }
    if (withBox) {
      box = std::make_unique<sim::BoxModuleSimulator>();
      std::string err;
      ASSERT_TRUE(box->start(sim::defaultBoxPortName(), &err)) << err;
    }
    openLink(uploadThread);
  }
  void openLink(bool uploadThread = false) {
    link = std::make_unique<upload::UploadLink>(ch(1), ch(2), ch(3), uploadThread);
    // A new link counts from 0; the modules count on.
    gprsBase_ = {gprs ? gprs->bytesTaken() : 0, gprs ? gprs->bytesSent() : 0};
    boxBase_ = {box ? box->bytesTaken() : 0, box ? box->bytesSent() : 0};
    EXPECT_EQ(link->OpenBoxPort(), box ? 1 : 0);
    EXPECT_EQ(link->OpenGprsPort(), gprs ? 1 : 0);
  }

  // Queues a record on a channel's route (0 built-in, 1 external) and its queue file.
  void enqueue(int n, int which, int seed) {
    Parameter& p = ch(n);
    {
      std::lock_guard<std::mutex> lock(p.queueLock);
      const auto r = record(seed);
      std::copy(r.begin(), r.end(), p.queueBuild.begin());
    }
    ASSERT_EQ(JDQFile::EnqueueRecord(p, which), 1);
  }
  std::size_t queued(int n, int which) {
    Parameter& p = ch(n);
    std::lock_guard<std::mutex> lock(p.queueLock);
    return which == 0 ? p.moduleQueue.size() : p.boxQueue.size();
  }
  // The slots of a channel's queue file.
  std::vector<std::string> slots(int n, int which) {
    std::string data;
    platform::fs::readFile(uploadtest::queuePath(n, which), data);
    std::vector<std::string> out;
    for (std::size_t at = 0; at + 128 <= data.size(); at += 128) out.push_back(data.substr(at, 128));
    return out;
  }

  // Lets the modules answer and the readers act on every answer: the readers' settling time runs on
  // the manual clock, so time moves on in small steps while anything is still on its way.
  void settle() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    const int asleep = link->uploadRunning() ? 1 : 0;  // the upload thread between its cycles
    int quiet = 0;
    while (std::chrono::steady_clock::now() < until) {
      bool idle = true;
      if (gprs) {
        idle = idle && gprs->bytesTaken() - gprsBase_.first == link->gprsBytesWritten() &&
               link->gprsBytesReceived() == gprs->bytesSent() - gprsBase_.second;
      }
      if (box) {
        idle = idle && box->bytesTaken() - boxBase_.first == link->boxBytesWritten() &&
               link->boxBytesReceived() == box->bytesSent() - boxBase_.second;
      }
      const int sleeping = clk::sleepers();
      if (sleeping > asleep) {
        clk::advance(10);
        quiet = 0;
        continue;
      }
      if (idle && sleeping == asleep && ++quiet >= 3) return;
      if (!idle || sleeping != asleep) quiet = 0;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ADD_FAILURE() << "the link did not settle: gprs " << (gprs ? gprs->bytesTaken() : 0) << "/"
                  << link->gprsBytesWritten() << " " << link->gprsBytesReceived() << "/"
                  << (gprs ? gprs->bytesSent() : 0) << ", box " << (box ? box->bytesTaken() : 0) << "/"
                  << link->boxBytesWritten() << " " << link->boxBytesReceived() << "/" << (box ? box->bytesSent() : 0)
                  << ", sleepers " << clk::sleepers();
  }
  // One cycle of the upload thread and the answers to what it wrote; then the rest of its 5 s.
  void cycle() {
    const std::uint64_t start = clk::monotonicMs();
    link->RunCycle();
    settle();
    const std::uint64_t spent = clk::monotonicMs() - start;
    if (spent < upload::UploadLink::kCycleMs) clk::advance(upload::UploadLink::kCycleMs - spent);
  }
  void cycles(int n) {
    for (int i = 0; i < n; ++i) cycle();
  }
  // How often the module accepted each record or frame (answered, not refused).
  static std::map<std::string, int> accepted(const sim::ModuleSimulator& m) {
    std::map<std::string, int> out;
    for (const auto& r : m.received())
      if (r.answered && (r.kind == sim::ModuleCommand::Record || r.kind == sim::ModuleCommand::Frame)) ++out[r.bytes];
    return out;
  }
  // Commands of a kind the module received.
  std::vector<sim::ModuleReceived> receivedOf(sim::ModuleSimulator& m, sim::ModuleCommand kind) {
    std::vector<sim::ModuleReceived> out;
    for (const auto& r : m.received())
      if (r.kind == kind) out.push_back(r);
    return out;
  }

  std::unique_ptr<sim::GprsModuleSimulator> gprs;
  std::unique_ptr<sim::BoxModuleSimulator> box;
  std::unique_ptr<upload::UploadLink> link;

 private:
  std::filesystem::path root_;
  std::pair<std::uint64_t, std::uint64_t> gprsBase_{0, 0}, boxBase_{0, 0};
  std::unique_ptr<std::array<Parameter, 3>> channels_;  // fresh for each SetUp
};

}  // namespace uploadtest
