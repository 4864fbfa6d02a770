// The three programs as programs, on a device root holding them and on a scaled clock: the upgrade
// button of the main program starts the upgrade program and the main program ends; the upgrade
// installs the U-disk's file as "Main.exe", deletes the settings, starts it and ends; the watchdog
// starts nothing while the main or the upgrade program runs, restarts the main program at its first
// tick after it ended, and a second watchdog ends at once. The test taps the programs' buttons through
// the headless display's test taps.
#include <signal.h>

#include "platform/process/process.h"
#include "refit_fixture.h"

using namespace refittest;
namespace proc = platform::process;

namespace {

constexpr double kScale = 60.0;  // the watchdog looks once a second, the countdown takes 1/6 s

template <class Pred>
bool eventually(Pred pred, int ms = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

int countOf(const std::string& name) {
  int n = 0;
  for (const proc::ProcessEntry& e : proc::listProcesses()) n += e.name == name ? 1 : 0;
  return n;
}

class Programs : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = freshRoot("programs");
    for (const char* f : {"nandflash", "Storage Card", "Hard Disk", "taps"}) fsys::create_directories(root_ / f);
    install(MAIN_PROGRAM, "Main.exe");
    install(REFIT_PROGRAM, "RefitC.exe");
    install(SENTRY_PROGRAM, "SentryC.exe");
    ::setenv("INSTRUMENT_TEST_TAPS", (root_ / "taps").c_str(), 1);
    platform::fs::setRoot(root_);
    clk::configure(clk::Mode::Scaled, kScale);
    proc::setDisplay("headless");
  }
  void TearDown() override {
    // The programs the test started, found by this device root, end.
    for (const proc::ProcessEntry& e : proc::listProcesses()) ::kill(e.pid, SIGTERM);
    EXPECT_TRUE(eventually([] { return proc::listProcesses().empty(); }, 10000));
    for (const proc::ProcessEntry& e : proc::listProcesses()) ::kill(e.pid, SIGKILL);
    ::unsetenv("INSTRUMENT_TEST_TAPS");
    platform::fs::setRoot({});
    clk::configure(clk::Mode::Real);
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }

  fsys::path program() const { return root_ / "nandflash"; }
  void install(const char* from, const char* name) {
    fsys::copy_file(from, program() / name, fsys::copy_options::overwrite_existing);
  }
  // A tap for a program's dialog, performed by that program when the dialog is up.
  void tap(const std::string& programName, int templateId, int control) {
    const fsys::path file = root_ / "taps" / (std::to_string(100 + taps_++) + ".tap");
    writeAll(fsys::path(file.string() + ".tmp"), programName + " " + std::to_string(templateId) + " " +
                                                     std::to_string(control) + "\n");
    fsys::rename(fsys::path(file.string() + ".tmp"), file);
  }
  bool tapDone(int n) const { return fsys::exists(root_ / "taps" / (std::to_string(100 + n) + ".tap.done")); }

  fsys::path root_;
  int taps_ = 0;
};

}  // namespace

TEST_F(Programs, UpgradeFromTheMainProgramAndTheWatchdogAroundIt) {
  const std::string newMain = readAll(STAND_IN_PROGRAM);
  writeAll(root_ / "Hard Disk" / "Main3.3.9.msi", newMain);
  for (const fsys::path& folder : {program(), root_ / "Storage Card"})
    for (const char* name : {"krv718.ini", "xtbd.ini", "QJDdat.DAT", "krv718GPRS1.DAT"}) writeAll(folder / name, "x");

  // The main program starts, and starts the watchdog.
  ASSERT_TRUE(proc::startProgram("\\nandflash\\Main.exe"));
  ASSERT_TRUE(eventually([] { return proc::isRunning("SentryC.exe") && proc::isRunning("Main.exe"); }));
  // Two of the watchdog's ticks while the main program runs start nothing.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(countOf("Main.exe"), 1);
  EXPECT_EQ(countOf("SentryC.exe"), 1);

  // The upgrade button and its question: the upgrade program starts and the main program ends.
  tap("Main.exe", 102, 1131);
  tap("Main.exe", 132, 1121);
  ASSERT_TRUE(eventually([] { return proc::isRunning("RefitC.exe") && !proc::isRunning("Main.exe"); }));
  // While the upgrade program runs, the watchdog's ticks start nothing.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(countOf("Main.exe"), 0);

  // The upgrade: "确定" and its question; the countdown; the new program starts and the upgrade ends.
  tap("RefitC.exe", 102, 1017);
  tap("RefitC.exe", 129, 1017);
  ASSERT_TRUE(eventually([&] { return fsys::exists(program() / "Main.exe.started"); }));
  EXPECT_TRUE(tapDone(2) && tapDone(3));
  EXPECT_EQ(readAll(program() / "Main.exe"), newMain);
  for (const fsys::path& folder : {program(), root_ / "Storage Card"})
    for (const char* name : {"krv718.ini", "xtbd.ini", "QJDdat.DAT", "krv718GPRS1.DAT"})
      EXPECT_FALSE(fsys::exists(folder / name)) << folder / name;
  EXPECT_TRUE(eventually([] { return !proc::isRunning("RefitC.exe"); }));
  EXPECT_EQ(countOf("Main.exe"), 1);

  // A second watchdog ends at once; the first goes on.
  const std::string holder = readAll(root_ / "SentryC.lock");
  ASSERT_TRUE(proc::startProgram("\\nandflash\\SentryC.exe"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(eventually([] { return countOf("SentryC.exe") == 1; }, 10000));
  EXPECT_EQ(readAll(root_ / "SentryC.lock"), holder);

  // The main program stops: the watchdog's next tick starts it again, and only once.
  fsys::remove(program() / "Main.exe.started");
  std::ofstream(program() / "Main.exe.stop") << "stop";
  ASSERT_TRUE(eventually([] { return !proc::isRunning("Main.exe"); }));
  fsys::remove(program() / "Main.exe.stop");
  const auto stopped = std::chrono::steady_clock::now();
  ASSERT_TRUE(eventually([&] { return fsys::exists(program() / "Main.exe.started"); }, 10000));
  // A tick comes every second (the tick itself is pinned on the manual clock in the watchdog's tests);
  // the start takes a moment, seconds for a sanitizer build on a loaded machine.
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(8000));
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(countOf("Main.exe"), 1);
  EXPECT_EQ(countOf("SentryC.exe"), 1);
}
