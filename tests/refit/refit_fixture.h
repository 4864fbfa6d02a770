// A fresh device root of one board, the manual clock, the headless display and a switched-on board for
// each test of the upgrade program; the dialog is created and shown as the program does, without its
// modal loop.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "platform/ui/driver.h"
#include "platform/ui/ui.h"
#include "refit/queren.h"
#include "refit/refit_dlg.h"

namespace refittest {

namespace fsys = std::filesystem;
namespace ui = platform::ui;
namespace drv = platform::ui::driver;
namespace clk = platform::clock;

inline fsys::path freshRoot(const std::string& tag) {
  static std::atomic<int> n{0};
  fsys::path root = fsys::temp_directory_path() /
                    ("refit_test_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(n.fetch_add(1)));
  fsys::remove_all(root);
  fsys::create_directories(root);
  return root;
}

inline std::string readAll(const fsys::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void writeAll(const fsys::path& p, const std::string& bytes) {
  fsys::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

// The folders of a board under the device root.
struct Board {
  int flag;
  const char* program;  // program root
  const char* data;     // SD card (data root when present)
  const char* usb;      // U-disk
};
inline constexpr Board kBoards[] = {{1, "nandflash", "Storage Card", "Hard Disk"},
                                    {0, "DISK", "Storage_Card", "硬盘"}};

// A stand-in for a new main program: a script that leaves a mark in its folder when it runs.
inline const std::string kNewMain = "#!/bin/sh\necho started > main.started\n";

class RefitTest : public ::testing::TestWithParam<Board> {
 protected:
  void SetUp() override {
    board_ = GetParam();
    root_ = freshRoot(board_.flag == 1 ? "b1" : "b0");
    platform::fs::setRoot(root_);
    fsys::create_directories(root_ / board_.program);
    clk::configure(clk::Mode::Manual);
    platform::device::resetBoard();
    refit::ResetUpgradeState();
    ASSERT_TRUE(ui::init(ui::Options{ui::DisplayKind::Headless}));
  }
  void TearDown() override {
    if (dlg_ && dlg_->exists()) dlg_->destroyWindow();
    dlg_.reset();
    ui::shutdown();
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }

  fsys::path program() const { return root_ / board_.program; }
  fsys::path data() const { return root_ / board_.data; }
  fsys::path usb() const { return root_ / board_.usb; }

  // Writes files into the U-disk one after another, each created in a later second than the one
  // before, so that their creation times order them.
  void createInOrder(const std::vector<std::pair<std::string, std::string>>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (i > 0) {
        const std::time_t before = std::time(nullptr);
        while (std::time(nullptr) == before) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      writeAll(usb() / files[i].first, files[i].second);
    }
  }

  refit::CRefitDlg& open() {
    dlg_ = std::make_unique<refit::CRefitDlg>(board_.flag == 1 ? refit::CRefitDlg::kTemplateBoard1
                                                               : refit::CRefitDlg::kTemplateBoard0);
    dlg_->SetBoardFlag(board_.flag);
    EXPECT_TRUE(dlg_->create());
    dlg_->showWindow(ui::SW_SHOW);
    drv::pump();
    return *dlg_;
  }

  // Taps a button of the dialog and answers every confirmation it asks (yes or no); returns the
  // questions asked.
  std::vector<std::string> tapAnswering(int id, bool yes) {
    std::vector<std::string> asked;
    drv::IdleScript script([&] {
      auto* q = dynamic_cast<refit::queren*>(ui::activeWindow());
      if (!q) return;
      asked.push_back(q->getDlgItemText(refit::queren::kMessage));
      drv::tap(*q, yes ? refit::queren::kYes : refit::queren::kNo);
    });
    EXPECT_TRUE(drv::tap(*dlg_, id));
    return asked;
  }

  std::string status() const { return drv::text(*dlg_, refit::CRefitDlg::kStatus); }
  int selectedRow() const { return dlg_->List()->getNextItem(-1, ui::LVNI_SELECTED); }

  Board board_{};
  fsys::path root_;
  std::unique_ptr<refit::CRefitDlg> dlg_;
};

}  // namespace refittest
