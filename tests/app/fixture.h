// A fresh device root, the manual clock, the headless display, a switched-on board and the registry of
// secondary dialogs, for each test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/monitor_dialogs.h"
#include "app/monitor_dlg.h"
#include "calib_ui/calib_dialogs.h"
#include "loop_fixture.h"
#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "platform/ui/driver.h"
#include "platform/ui/ui.h"
#include "setup_ui/setup_dialogs.h"

namespace apptest {

namespace fsys = std::filesystem;
namespace ui = platform::ui;
namespace drv = platform::ui::driver;
namespace clk = platform::clock;

inline fsys::path freshRoot() {
  static std::atomic<int> n{0};
  fsys::path root = fsys::temp_directory_path() /
                    ("app_test_" + std::to_string(::getpid()) + "_" + std::to_string(n.fetch_add(1)));
  fsys::remove_all(root);
  fsys::create_directories(root);
  return root;
}

// The set-up and calibration dialogs in their places, as Main registers them.
inline void registerSettingsDialogs() {
  RegisterSetupDialogs();
  RegisterCalibrationDialogs();
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = freshRoot();
    platform::fs::setRoot(root_);
    clk::configure(clk::Mode::Manual);
    platform::device::resetBoard();
    ASSERT_TRUE(ui::init(ui::Options{ui::DisplayKind::Headless}));
    registerSettingsDialogs();
    ASSERT_TRUE(CreateMonitorDialogs());
  }
  void TearDown() override {
    if (main_ && main_->exists()) main_->destroyWindow();
    main_.reset();
    DeleteMonitorDialogs();
    ui::shutdown();
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }

  // The main window of a board, created and shown as the application does, without its modal loop.
  CMonitorDlg& startMain(int board, int runningChannel = 0) {
    main_ = std::make_unique<CMonitorDlg>(board == 1 ? CMonitorDlg::kTemplateBoard1 : CMonitorDlg::kTemplateBoard0);
    for (int n = 1; n <= 3; ++n) main_->channel(n).boardFlag = board;
    // The channels take their board and tests from the files of the device root.
    if (board == 1) fsys::create_directories(root_ / "nandflash");
    if (runningChannel) writeRunningTest(std::to_string(runningChannel), board, StoredTest{});
    EXPECT_TRUE(main_->create());
    main_->showWindow(ui::SW_SHOW);
    drv::pump();
    return *main_;
  }

  template <class T = MonitorDialog>
  T* dialog(MonitorSlot slot) {
    return g_pMonitorDialogs.get<T>(slot);
  }

  // Three channels of the board with internal flash and an SD card, numbered 000001-000003.
  void prepareBoardOneChannels(Parameter (&ch)[3]) {
    fsys::create_directories(root_ / "nandflash");
    fsys::create_directories(root_ / "Storage Card" / "Backup");
    for (int n = 1; n <= 3; ++n) {
      Parameter& p = ch[n - 1];
      p.channelName = std::to_string(n);
      p.boardFlag = 1;
      p.ParameterList.setChannelNumber(n);
      p.ParameterList.extendWithDefaults();
      p.controllerNumber = "00000" + std::to_string(n);
      p.versionText = "3.3.8";
    }
  }

  fsys::path root_;
  std::unique_ptr<CMonitorDlg> main_;
};

}  // namespace apptest
