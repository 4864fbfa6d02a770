// The watchdog: its tick in-process on the manual clock, one watchdog per device root, and the program
// itself on a scaled clock with small stand-ins for the main and the upgrade program.
#include "sentry/sentry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/fs/fs.h"

namespace fsys = std::filesystem;
namespace proc = platform::process;
namespace clk = platform::clock;
using sentry::CSentryDlg;
using sentry::TickResult;

namespace {

template <class Pred>
bool eventually(Pred pred, int ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

int countOf(const std::string& name) {
  int n = 0;
  for (const proc::ProcessEntry& e : proc::listProcesses()) n += e.name == name ? 1 : 0;
  return n;
}

class SentryTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    static std::atomic<int> n{0};
    root_ = fsys::temp_directory_path() / ("sentry_test_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    fsys::remove_all(root_);
    fsys::create_directories(root_ / GetParam());
    platform::fs::setRoot(root_);
    clk::configure(clk::Mode::Manual);
  }
  void TearDown() override {
    proc::setProcessTableFolder("/proc");
    for (const proc::ProcessEntry& e : proc::listProcesses()) ::kill(e.pid, SIGTERM);
    EXPECT_TRUE(eventually([] { return proc::listProcesses().empty(); }));
    platform::fs::setRoot({});
    clk::configure(clk::Mode::Real);
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }
  fsys::path program() const { return root_ / GetParam(); }
  // The stand-in program under a name: it runs until "<name>.stop" appears beside it.
  void install(const std::string& name, const char* from = STAND_IN_PROGRAM) {
    fsys::copy_file(from, program() / name, fsys::copy_options::overwrite_existing);
  }
  void start(const std::string& name) {
    ASSERT_TRUE(proc::startProgram("\\" + std::string(GetParam()) + "\\" + name));
    ASSERT_TRUE(eventually([&] { return fsys::exists(program() / (name + ".started")); }));
  }
  // Ends a stand-in and clears its marks, so it can run again.
  void stop(const std::string& name) {
    std::ofstream(program() / (name + ".stop")) << "stop";
    ASSERT_TRUE(eventually([&] { return !proc::isRunning(name); }));
    fsys::remove(program() / (name + ".stop"));
    fsys::remove(program() / (name + ".started"));
  }

  fsys::path root_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Boards, SentryTest, ::testing::Values("nandflash", "DISK"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(SentryTest, TickStartsMainOnlyWhenNeitherMainNorRefitRuns) {
  CSentryDlg dlg;
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.BoardFlag(), std::string(GetParam()) == "nandflash" ? 1 : 0);
  // No "Main.exe": nothing starts, nothing is shown.
  EXPECT_EQ(dlg.OnTimer(1), TickResult::NoProgram);
  EXPECT_TRUE(proc::listProcesses().empty());
  // Another timer does nothing.
  install("Main.exe");
  EXPECT_EQ(dlg.OnTimer(2), TickResult::Running);
  EXPECT_TRUE(proc::listProcesses().empty());

  // Neither runs: "Main.exe" starts; at the next tick it runs and nothing more starts.
  EXPECT_EQ(dlg.OnTimer(1), TickResult::Started);
  ASSERT_TRUE(eventually([&] { return fsys::exists(program() / "Main.exe.started"); }));
  EXPECT_EQ(dlg.OnTimer(1), TickResult::Running);
  EXPECT_EQ(countOf("Main.exe"), 1);
  stop("Main.exe");

  // The upgrade program runs: nothing starts.
  install("RefitC.exe");
  start("RefitC.exe");
  EXPECT_EQ(dlg.OnTimer(1), TickResult::Running);
  EXPECT_EQ(countOf("Main.exe"), 0);
  stop("RefitC.exe");

  // The main program under another letter case is the main program.
  fsys::rename(program() / "Main.exe", program() / "MAIN.EXE");
  start("MAIN.EXE");
  EXPECT_EQ(dlg.OnTimer(1), TickResult::Running);
  EXPECT_EQ(proc::listProcesses().size(), 1u);
}

TEST_P(SentryTest, UnreadableProcessListSkipsTheTick) {
  install("Main.exe");
  CSentryDlg dlg;
  dlg.OnInitDialog();
  proc::setProcessTableFolder(root_ / "no-process-table");
  EXPECT_EQ(dlg.OnTimer(1), TickResult::Unreadable);
  proc::setProcessTableFolder("/proc");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(proc::listProcesses().empty());
  EXPECT_FALSE(fsys::exists(program() / "Main.exe.started"));
}

TEST_P(SentryTest, WatchTicksOnceAMinuteOfTheInstrumentClock) {
  CSentryDlg dlg;
  dlg.OnInitDialog();
  std::thread watch([&] { dlg.Run(); });
  ASSERT_TRUE(eventually([] { return clk::sleepers() == 1; }));
  clk::advance(59999);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(dlg.Ticks(), 0);
  clk::advance(1);
  EXPECT_TRUE(eventually([&] { return dlg.Ticks() == 1 && clk::sleepers() == 1; }));
  clk::advance(60000);
  EXPECT_TRUE(eventually([&] { return dlg.Ticks() == 2 && clk::sleepers() == 1; }));
  dlg.Stop();
  watch.join();
  EXPECT_EQ(dlg.Ticks(), 2);
}

TEST_P(SentryTest, OneWatchdogPerDeviceRoot) {
  auto held = proc::InstanceLock::acquire(sentry::kLockName);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(proc::InstanceLock::acquire(sentry::kLockName), nullptr);
  // A watchdog started while another runs ends at once.
  sentry::CSentryApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(app.FoundAnother());
  // Another device root has a watchdog of its own.
  const fsys::path other = root_ / "other";
  fsys::create_directories(other);
  platform::fs::setRoot(other);
  EXPECT_NE(proc::InstanceLock::acquire(sentry::kLockName), nullptr);
  platform::fs::setRoot(root_);
  // The lock goes with its holder.
  held.reset();
  EXPECT_NE(proc::InstanceLock::acquire(sentry::kLockName), nullptr);
}

TEST_P(SentryTest, ProgramWatchesTheMainProgram) {
  install("SentryC.exe", SENTRY_PROGRAM);
  install("RefitC.exe");
  clk::configure(clk::Mode::Scaled, 60.0);  // a tick every second
  // Two watchdogs started together: one stays.
  ASSERT_TRUE(proc::startProgram("\\" + std::string(GetParam()) + "\\SentryC.exe"));
  ASSERT_TRUE(proc::startProgram("\\" + std::string(GetParam()) + "\\SentryC.exe"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(eventually([] { return countOf("SentryC.exe") == 1; }, 3000));

  // Nothing while "Main.exe" is missing; once it is there, the next tick starts it.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(countOf("Main.exe"), 0);
  install("Main.exe");
  ASSERT_TRUE(eventually([&] { return fsys::exists(program() / "Main.exe.started"); }, 6000));

  // The main program ends while the upgrade program runs: nothing starts until the upgrade ends.
  start("RefitC.exe");
  stop("Main.exe");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(countOf("Main.exe"), 0);
  stop("RefitC.exe");
  EXPECT_TRUE(eventually([&] { return fsys::exists(program() / "Main.exe.started"); }, 6000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(countOf("Main.exe"), 1);
  EXPECT_EQ(countOf("SentryC.exe"), 1);
}
