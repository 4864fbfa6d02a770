// The pending-data dialog on the headless display and the manual clock: three channels of the board
// with internal flash and an SD card, queue files written into the data root, scripted answers to the
// confirmations, and for the re-sends the upload link against the simulated modules, whose cycles the
// test runs itself.
#pragma once

#include <chrono>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/kongzhi_fixture.h"
#include "sim/module_sim.h"
#include "upload/upload_link.h"
#include "upload_ui/daifa_shuju.h"

namespace pendingtest {

using namespace apptest;

inline void registerUploadDialogsOnce() {
  static const bool done = (RegisterUploadDialogs(), true);
  (void)done;
}

// One 128-byte slot: the head (4 bytes) and a pattern of the seed.
inline std::string slot(const char* head, int seed) {
  std::string s(128, '\0');
  std::memcpy(s.data(), head, 4);
  for (std::size_t i = 4; i < 128; ++i) s[i] = static_cast<char>((seed * 37 + static_cast<int>(i)) & 0xFF);
  return s;
}
// A queue file of the given slot heads; slot k carries seed k.
inline std::string queueFile(std::initializer_list<const char*> heads, int firstSeed = 0) {
  std::string out;
  int seed = firstSeed;
  for (const char* h : heads) out += slot(h, seed++);
  return out;
}

// Taps a row of the dialog's list.
inline void tapRow(CDaiFaShuJu& dlg, int row) {
  ui::ListCtrl& l = dlg.list();
  const ui::Rect r = l.getItemRect(row);
  ASSERT_TRUE(drv::tapWindow(l, {(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
}

// How often the module accepted each record or frame (an answered record that was not refused).
inline std::map<std::string, int> accepted(const sim::ModuleSimulator& m) {
  std::map<std::string, int> out;
  for (const sim::ModuleReceived& r : m.received())
    if (r.answered && (r.kind == sim::ModuleCommand::Record || r.kind == sim::ModuleCommand::Frame)) ++out[r.bytes];
  return out;
}

// Lets the modules answer and the readers act on every answer (their settling runs on the clock).
inline void settleLink(upload::UploadLink& link, sim::GprsModuleSimulator* gprs, sim::BoxModuleSimulator* box) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int quiet = 0;
  while (std::chrono::steady_clock::now() < until) {
    const bool idle = (gprs == nullptr || (gprs->bytesTaken() == link.gprsBytesWritten() &&
                                            link.gprsBytesReceived() == gprs->bytesSent())) &&
                      (box == nullptr ||
                       (box->bytesTaken() == link.boxBytesWritten() && link.boxBytesReceived() == box->bytesSent()));
    if (platform::clock::sleepers() > 0) {
      platform::clock::advance(10);
      quiet = 0;
      continue;
    }
    if (idle && ++quiet >= 3) return;
    if (!idle) quiet = 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ADD_FAILURE() << "the upload did not settle";
}

class PendingTest : public AppTest {
 protected:
  void SetUp() override {
    registerUploadDialogsOnce();
    AppTest::SetUp();
    prepareBoardOneChannels(ch);
    setRoute(0);
    dlg = dialog<CDaiFaShuJu>(MonitorSlot::CDaiFaShuJu);
    ASSERT_NE(dlg, nullptr);
    for (MonitorSlot s : {MonitorSlot::CDaiFaShuJu, MonitorSlot::ShiZhuangMuLu}) {
      ASSERT_TRUE(dialog(s)->create());
      LinkMonitorDialog(s, ch[0], ch[1], ch[2]);
    }
  }
  void TearDown() override {
    answers.reset();
    link.reset();
    gprs.reset();
    box.reset();
    AppTest::TearDown();
  }

  void setRoute(int r) { ch[0].ParameterList.set(56, static_cast<float>(r)); }
  fsys::path host(const std::string& name) const { return root_ / "Storage Card" / name; }
  void writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream(host(name), std::ios::binary) << bytes;
  }
  std::string readFile(const std::string& name) const {
    std::ifstream in(host(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void show() {
    dlg->showWindow(ui::SW_SHOW);
    drv::pump();
  }
  // Hidden and shown again: the list is filled again on the activation.
  void reshow() {
    dlg->showWindow(ui::SW_HIDE);
    drv::pump();
    show();
  }
  bool tapAnswering(int id, std::initializer_list<bool> replies) {
    answers.reset();
    answers = std::make_unique<Answers>();
    answers->replies.assign(replies.begin(), replies.end());
    return drv::tap(*dlg, id);
  }
  std::vector<std::string> asked() const { return answers ? answers->asked : std::vector<std::string>{}; }
  void tapRow(int row) { pendingtest::tapRow(*dlg, row); }
  std::vector<std::string> column(int col) {
    std::vector<std::string> out;
    for (int r = 0; r < dlg->list().getItemCount(); ++r) out.push_back(dlg->list().getItemText(r, col));
    return out;
  }
  std::string status() const { return drv::text(*dlg, CDaiFaShuJu::kStatus); }
  bool red() const { return drv::textColor(*dlg, CDaiFaShuJu::kStatus) == ui::RGB(255, 0, 0); }
  std::string caption() const { return drv::text(*dlg, CDaiFaShuJu::kStartStop); }
  int queued(int which) {
    std::lock_guard<std::mutex> lock(ch[0].queueLock);
    return static_cast<int>(which == 0 ? ch[0].moduleQueue.size() : ch[0].boxQueue.size());
  }
  void saveShot(const std::string& name) {
    if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
      ASSERT_TRUE(drv::screenshot(fsys::path(INSTRUMENT_SOURCE_DIR) / "docs" / name, dlg));
    }
  }

  // The upload link on channels 1-3 (its readers only: the test runs the cycles) and both modules.
  void openUpload() {
    gprs = std::make_unique<sim::GprsModuleSimulator>();
    box = std::make_unique<sim::BoxModuleSimulator>();
    std::string err;
    ASSERT_TRUE(gprs->start(sim::defaultGprsPortName(), &err)) << err;
    ASSERT_TRUE(box->start(sim::defaultBoxPortName(), &err)) << err;
    link = std::make_unique<upload::UploadLink>(ch[0], ch[1], ch[2], false);
    EXPECT_EQ(link->OpenBoxPort(), 1);
    EXPECT_EQ(link->OpenGprsPort(), 1);
  }
  void settle() { settleLink(*link, gprs.get(), box.get()); }
  // One upload cycle with its answers, then the rest of its 5 s with the dialog's timer running; the
  // status texts shown meanwhile are appended to `seen` (each change once).
  void cycle(std::vector<std::string>& seen) {
    const std::uint64_t start = clk::monotonicMs();
    link->RunCycle();
    settle();
    while (clk::monotonicMs() - start < upload::UploadLink::kCycleMs) {
      drv::run(100, 10);
      const std::string s = status();
      if (seen.empty() || seen.back() != s) seen.push_back(s);
    }
  }

  Parameter ch[3];
  CDaiFaShuJu* dlg = nullptr;
  std::unique_ptr<Answers> answers;
  std::unique_ptr<sim::GprsModuleSimulator> gprs;
  std::unique_ptr<sim::BoxModuleSimulator> box;
  std::unique_ptr<upload::UploadLink> link;
};

}  // namespace pendingtest
