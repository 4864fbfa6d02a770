// The test-control dialog on its own: three channel records of the test, the dialog and the dialogs it
// sends the operator to, a board with its SD card, and scripted answers to the yes/no questions.
#pragma once

#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "app/queren.h"
#include "app/shizhuang_kongzhi.h"
#include "fixture.h"
#include "model/datafiles.h"
#include "model/helpers.h"

namespace apptest {

// Answers each yes/no question from a list (no when the list is empty) and keeps the questions asked.
class Answers {
 public:
  Answers()
      : script_([this] {
          auto* q = dynamic_cast<queren*>(ui::activeWindow());
          if (q == nullptr) return;
          asked.push_back(g_strPrompt);
          const bool yes = !replies.empty() && replies.front();
          if (!replies.empty()) replies.pop_front();
          drv::tap(*q, yes ? 1121 : 1122);
        }) {}
  std::deque<bool> replies;
  std::vector<std::string> asked;

 private:
  drv::IdleScript script_;
};

class KongZhiTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    prepareBoardOneChannels(ch);
    dlg = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
    ASSERT_NE(dlg, nullptr);
    for (MonitorSlot s : {MonitorSlot::ShiZhuangKongZhi, MonitorSlot::ShiZhuangMuLu, MonitorSlot::GongChengXinXi,
                          MonitorSlot::ShiZhuangYuYa}) {
      ASSERT_TRUE(dialog(s)->create());
      LinkMonitorDialog(s, ch[0], ch[1], ch[2]);
    }
    dlg->SetChannels(&ch[0], &ch[1], &ch[2]);
    dlg->SetCurrentChannel(&ch[0]);
    setRoute(0);
  }

  void TearDown() override {
    answers.reset();
    AppTest::TearDown();
  }

  void setRoute(float r) { ch[0].ParameterList.set(56, r); }

  // A test set up as the test information and standard dialogs leave it.
  void setUpTest(Parameter& p, const std::string& serial = "T001", const std::string& pile = "P1",
                 int standard = 1) {
    p.testFilePath = "\\Storage Card\\" + serial + "-" + pile + ".krv";
    {
      std::lock_guard<std::mutex> g(p.queueLock);
      p.moduleQueuePath = "\\Storage Card\\" + serial + "-" + pile + ".gps";
      p.boxQueuePath = "\\Storage Card\\" + serial + "-" + pile + ".gpsw";
    }
    p.standardCode = standard;
    p.controlLoad = 100.0f;
    p.stepLoad2 = 100.0f;
    p.stepLoad3 = 1000.0f;
    JDQFile::PackParameters(p, p.ParameterList);
    JDQFile::BuildHeaderRecords(p);
    JDQFile::SetHeaderText(p.testRecords, 7, 3, serial);
    JDQFile::SetHeaderText(p.testRecords, 8, 1, pile);
    for (int k = 31; k <= 34; ++k) JDQFile::SetHeaderText(p.testRecords, k, 1, "1");
    p.fileLoaded = 0;
  }

  void show() {
    dlg->showWindow(ui::SW_SHOW);
    drv::pump();
  }

  // Taps a control with scripted answers to the questions it asks.
  bool tapAnswering(int id, std::initializer_list<bool> replies) {
    answers.reset();  // the old script goes first: it clears the idle hook
    answers = std::make_unique<Answers>();
    answers->replies.assign(replies.begin(), replies.end());
    return drv::tap(*dlg, id);
  }
  std::vector<std::string> asked() const { return answers ? answers->asked : std::vector<std::string>{}; }

  // Empty files on the host.
  void makeFiles(const fsys::path& folder, const std::string& prefix, const std::string& ext, int n) {
    fsys::create_directories(folder);
    for (int i = 0; i < n; ++i) std::ofstream(folder / (prefix + std::to_string(i) + ext));
  }

  std::string message() const { return drv::text(*dlg, ShiZhuangKongZhi::kMessage); }
  bool hasFile(const std::string& instrumentPath) const { return platform::fs::isFile(instrumentPath); }

  Parameter ch[3];
  ShiZhuangKongZhi* dlg = nullptr;
  std::unique_ptr<Answers> answers;
};

}  // namespace apptest
