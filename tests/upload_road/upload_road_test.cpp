// The whole road of the readings to the remote platform: a test runs on the instrument (control tick
// and recording against a simulated controller), every reading is queued for its routes, and the
// upload thread sends the queues over pseudo-terminals to the simulated GPRS and external modules,
// which accept them; each accepted record's slot in its queue file is marked "OVER". Faults of the
// modules lose no record: what is not sent stays in a queue file that outlives the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "../endtoend/instrument.h"
#include "sim/module_sim.h"
#include "upload/upload_link.h"

namespace {

using endtoend::Instrument;
using endtoend::TestSetup;
namespace clk = platform::clock;

using endtoend::shortTest;

class UploadRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::PileSettings pile;
    pile.creepMinutes = 1.0;
    inst = std::make_unique<Instrument>(Instrument::Drive::InProcess, pile);
    gprs_ = std::make_unique<sim::GprsModuleSimulator>();
    box_ = std::make_unique<sim::BoxModuleSimulator>();
    std::string err;
    ASSERT_TRUE(gprs_->start(sim::defaultGprsPortName(), &err)) << err;
    ASSERT_TRUE(box_->start(sim::defaultBoxPortName(), &err)) << err;
    upload = std::make_unique<upload::UploadLink>(inst->ch(1), inst->ch(2), inst->ch(3));
  }
  void TearDown() override {
    upload.reset();
    gprs_.reset();
    box_.reset();
    inst.reset();
  }
  void openUpload() {
    // A new link counts from 0; the modules count on.
    base_ = {gprs().bytesTaken(), gprs().bytesSent(), box().bytesTaken(), box().bytesSent()};
    EXPECT_EQ(upload->OpenBoxPort(), 1);
    EXPECT_EQ(upload->OpenGprsPort(), 1);
    settle();
  }

  // Lets the upload thread finish its cycle and the readers act on every answer.
  void settle() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int quiet = 0;
    while (std::chrono::steady_clock::now() < until) {
      const bool idle = gprs().bytesTaken() - base_[0] == upload->gprsBytesWritten() &&
                        upload->gprsBytesReceived() == gprs().bytesSent() - base_[1] &&
                        box().bytesTaken() - base_[2] == upload->boxBytesWritten() &&
                        upload->boxBytesReceived() == box().bytesSent() - base_[3];
      const int sleeping = clk::sleepers();
      if (sleeping > 1) {  // a reader lets its line arrive, or a module waits to answer
        clk::advance(10);
        quiet = 0;
        continue;
      }
      if (idle && sleeping == 1 && ++quiet >= 3) return;
      if (!idle || sleeping != 1) quiet = 0;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ADD_FAILURE() << "the upload did not settle: gprs " << gprs().bytesTaken() << "/" << upload->gprsBytesWritten() << " "
                  << upload->gprsBytesReceived() << "/" << gprs().bytesSent() << ", box " << box().bytesTaken() << "/"
                  << upload->boxBytesWritten() << " " << upload->boxBytesReceived() << "/" << box().bytesSent()
                  << ", sleepers " << clk::sleepers();
  }
  void step() {
    inst->step();
    settle();
  }
  std::size_t queued(int n, int which) {
    Parameter& p = inst->ch(n);
    std::lock_guard<std::mutex> lock(p.queueLock);
    return which == 0 ? p.moduleQueue.size() : p.boxQueue.size();
  }
  // Runs the test to its end, then on until nothing is left in memory to send (or the limit passes).
  void runTestAndUpload(int n, double afterMinutes) {
    Parameter& p = inst->ch(n);
    const std::uint64_t limit = clk::monotonicMs() + 2ull * 3600 * 1000;
    while (p.testRunning.load() == 1 && clk::monotonicMs() < limit) step();
    ASSERT_EQ(p.testRunning.load(), 0);
    const std::uint64_t until = clk::monotonicMs() + static_cast<std::uint64_t>(afterMinutes * 60000.0);
    while ((queued(n, 0) > 0 || queued(n, 1) > 0) && clk::monotonicMs() < until) step();
  }
  static std::string host(Instrument& i, const std::string& path) { return i.hostPath(path); }

  std::unique_ptr<Instrument> inst;
  std::unique_ptr<sim::GprsModuleSimulator> gprs_;
  std::unique_ptr<sim::BoxModuleSimulator> box_;
  std::unique_ptr<upload::UploadLink> upload;
  std::array<std::uint64_t, 4> base_{};

  sim::GprsModuleSimulator& gprs() { return *gprs_; }
  sim::BoxModuleSimulator& box() { return *box_; }
};

const std::string kBase = "\\Storage Card\\2026001-P1";

// Routes 0, 2 and 3: every slot of the test's queue files reaches its module byte for byte, in order,
// is accepted and ends "OVER"; the route that is not chosen sends nothing.
TEST_F(UploadRoad, EveryReadingReachesTheModuleAndIsMarkedSent) {
  for (float route : {0.0f, 2.0f, 3.0f}) {
    SCOPED_TRACE(route);
    TearDown();
    SetUp();
    openUpload();
    const TestSetup t = shortTest(route);
    inst->start(1, t);
    inst->ch(1).keepQueueFile = 1;  // kept after the test, to be read here
    runTestAndUpload(1, 10.0);
    const std::size_t readings = endtoend::readingsOf(inst->loadFile(kBase + ".krv")).size();
    ASSERT_GT(readings, 5u);
    struct Route {
      int which;
      bool used;
      sim::ModuleSimulator* module;
      const char* ext;
    } routes[] = {{0, route == 0.0f || route == 3.0f, gprs_.get(), ".gps"}, {1, route >= 2.0f, box_.get(), ".gpsw"}};
    for (const Route& r : routes) {
      SCOPED_TRACE(r.ext);
      const auto slots = endtoend::queueSlots(inst->hostPath(kBase + r.ext));
      const auto got = r.module->records();
      if (!r.used) {
        EXPECT_TRUE(slots.empty());
        EXPECT_TRUE(got.empty());
        continue;
      }
      EXPECT_EQ(queued(1, r.which), 0u);
      ASSERT_EQ(slots.size(), readings);
      ASSERT_EQ(got.size(), readings);  // each once: every answer came in time
      for (std::size_t k = 0; k < readings; ++k) {
        EXPECT_EQ(slots[k].substr(0, 4), "OVER") << k;
        EXPECT_EQ(got[k].substr(0, 4), "GPRS") << k;
        EXPECT_EQ(slots[k].substr(4), got[k].substr(4)) << k;
      }
    }
  }
}

// Route 3 with faults: the GPRS module is silent for minutes in the middle of the test, the external
// module drops its pending frames with 0x04 and later with 0x07. No record is lost: every slot is
// either accepted (and marked) or still unsent in a file that outlives the test, and a reload of the
// file gives exactly the unsent ones.
TEST_F(UploadRoad, ModuleFaultsLoseNoRecord) {
  openUpload();
  const TestSetup t = shortTest(3.0f);
  inst->start(1, t);
  Parameter& p = inst->ch(1);
  // Two minutes in, the GPRS module falls silent for six minutes.
  while (clk::monotonicMs() < 2 * 60000ull) step();
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs().setFaults(silent);
  sim::ModuleFaults refuse;
  refuse.refuse = 1;
  refuse.refuseCode = 0x04;
  box().setFaults(refuse);
  const std::uint64_t silenceEnds = clk::monotonicMs() + 6 * 60000ull;
  bool alarmSeen = false;
  while (clk::monotonicMs() < silenceEnds) {
    step();
    if (p.uploadStatus.load() == 5) {
      inst->link().ComposeAlarmText(1);
      alarmSeen = alarmSeen || p.link.moduleText == "1#试验内置模块远程传输出现故障！";
    }
  }
  EXPECT_TRUE(alarmSeen);
  EXPECT_GT(queued(1, 0), 2u);  // the readings of the silence wait
  gprs().setFaults({});
  refuse.refuseCode = 0x07;
  box().setFaults(refuse);
  runTestAndUpload(1, 20.0);
  EXPECT_EQ(queued(1, 0), 0u);
  EXPECT_EQ(queued(1, 1), 0u);

  const std::size_t readings = endtoend::readingsOf(inst->loadFile(kBase + ".krv")).size();
  // The GPRS route: everything arrived and the file went once all was sent.
  EXPECT_FALSE(std::filesystem::exists(inst->hostPath(kBase + ".gps")));
  std::vector<std::string> got = gprs().records();
  std::sort(got.begin(), got.end());
  got.erase(std::unique(got.begin(), got.end()), got.end());  // a record sent again after the silence
  EXPECT_EQ(got.size(), readings);
  // The external route: two refusals left their frames unsent in the file, which outlives the test.
  const auto slots = endtoend::queueSlots(inst->hostPath(kBase + ".gpsw"));
  ASSERT_EQ(slots.size(), readings);
  std::size_t over = 0;
  std::vector<std::string> unsent;
  for (const std::string& s : slots) {
    if (s.substr(0, 4) == "OVER") ++over;
    else unsent.push_back(s);
  }
  EXPECT_GE(unsent.size(), 2u);
  EXPECT_EQ(over + unsent.size(), readings);
  EXPECT_EQ(box().records().size(), readings);  // each frame was written once; the refused ones stay unsent
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 1, p), 1);
  std::vector<std::string> reloaded;
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    for (const QueueRecord& r : p.boxQueue) reloaded.emplace_back(r.bytes.begin(), r.bytes.end());
  }
  EXPECT_EQ(reloaded, unsent);
}

// A restart in the middle of the upload: the records not yet accepted are reloaded from the queue
// file with the test and sent by the new program; none is lost.
TEST_F(UploadRoad, ARestartMidUploadGoesOn) {
  openUpload();
  const TestSetup t = shortTest(0.0f);
  inst->start(1, t);
  Parameter& p = inst->ch(1);
  inst->ch(1).keepQueueFile = 1;
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs().setFaults(silent);
  while (clk::monotonicMs() < 4 * 60000ull) step();
  ASSERT_GT(queued(1, 0), 2u);
  // The program ends; a new one loads the queue file and its upload goes on.
  upload.reset();
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    p.moduleQueue.clear();
  }
  p.moduleReady = 1;
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, p), 1);
  gprs().setFaults({});
  upload = std::make_unique<upload::UploadLink>(inst->ch(1), inst->ch(2), inst->ch(3));
  openUpload();
  runTestAndUpload(1, 10.0);
  const std::size_t readings = endtoend::readingsOf(inst->loadFile(kBase + ".krv")).size();
  const auto slots = endtoend::queueSlots(inst->hostPath(kBase + ".gps"));
  ASSERT_EQ(slots.size(), readings);
  for (const std::string& s : slots) EXPECT_EQ(s.substr(0, 4), "OVER");
  std::vector<std::string> got = gprs().records();
  std::sort(got.begin(), got.end());
  got.erase(std::unique(got.begin(), got.end()), got.end());
  EXPECT_EQ(got.size(), readings);
}

}  // namespace
