#include "platform/process/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

namespace proc = platform::process;
namespace clk = platform::clock;
namespace fsys = std::filesystem;

namespace {

fsys::path freshRoot(const std::string& name) {
  const fsys::path dir = fsys::temp_directory_path() / ("process_test_" + name + "_" + std::to_string(::getpid()));
  fsys::remove_all(dir);
  fsys::create_directories(dir);
  return fsys::canonical(dir);
}

// Host-time polling for things another process or thread does.
template <class Pred>
bool eventually(Pred pred, int ms = 10000) {
  for (int i = 0; i < ms / 5; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

std::string readAll(const fsys::path& p) {
  std::ifstream in(p);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void installChild(const fsys::path& root, const std::string& name) {
  fsys::create_directories(root / "nandflash");
  fsys::copy_file(PROCESS_TEST_CHILD, root / "nandflash" / name, fsys::copy_options::overwrite_existing);
}

std::vector<pid_t> pidsNamed(const std::string& name) {
  std::vector<pid_t> pids;
  for (const auto& e : proc::listProcesses()) {
    if (e.name == name) pids.push_back(e.pid);
  }
  return pids;
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv(proc::kRootVariable);
    clk::configure(clk::Mode::Real);
  }
  void TearDown() override {
    // Stop what the test started: every child runs until its stop file appears.
    for (const fsys::path& root : roots_) {
      std::error_code ec;
      for (const auto& e : fsys::directory_iterator(root / "nandflash", ec)) {
        if (e.path().extension() == ".started") {
          std::ofstream(fsys::path(e.path()).replace_extension(".stop")) << "stop";
        }
      }
    }
    for (const fsys::path& root : roots_) {
      platform::fs::setRoot(root);
      EXPECT_TRUE(eventually([] { return proc::listProcesses().empty(); })) << root;
      fsys::remove_all(root);
    }
    platform::fs::setRoot({});
    clk::configure(clk::Mode::Real);
  }
  fsys::path makeRoot(const std::string& name) {
    roots_.push_back(freshRoot(name));
    return roots_.back();
  }
  std::vector<fsys::path> roots_;
};

}  // namespace

TEST_F(ProcessTest, RootComesFromOptionThenEnvironment) {
  EXPECT_EQ(proc::chooseRoot(std::nullopt), fsys::path());
  ::setenv(proc::kRootVariable, "/from/env", 1);
  EXPECT_EQ(proc::chooseRoot(std::nullopt), fsys::path("/from/env"));
  EXPECT_EQ(proc::chooseRoot(std::string("/from/option")), fsys::path("/from/option"));
  EXPECT_EQ(proc::chooseRoot(std::string()), fsys::path("/from/env"));
  ::unsetenv(proc::kRootVariable);
}

TEST_F(ProcessTest, StartsProgramByInstrumentPathAndListsItByRoot) {
  const fsys::path a = makeRoot("a");
  const fsys::path b = makeRoot("b");
  installChild(a, "SentryC.exe");
  installChild(b, "SentryC.exe");
  // A copied program may come without execute permission; it runs all the same.
  fsys::permissions(b / "nandflash" / "SentryC.exe", fsys::perms::owner_read | fsys::perms::owner_write);

  // Root b: a program started there, on a scaled clock.
  platform::fs::setRoot(b);
  clk::configure(clk::Mode::Scaled, 100.0);
  proc::setDisplay("sdl");
  ASSERT_TRUE(proc::startProgram("\\nandflash\\SentryC.exe"));
  ASSERT_TRUE(eventually([&] { return fsys::exists(b / "nandflash" / "SentryC.exe.started"); }));
  EXPECT_NE(readAll(b / "nandflash" / "SentryC.exe.started").find("scale=100\n"), std::string::npos);

  // Root a: the path in another case, a real clock, and a descriptor that must not be passed on.
  platform::fs::setRoot(a);
  clk::configure(clk::Mode::Real);
  proc::setDisplay("headless");
  const int fd = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::dup2(fd, 77), 77);
  const bool started = proc::startProgram("\\NANDFLASH\\sentryc.EXE");
  ::close(77);
  ::close(fd);
  ASSERT_TRUE(started);
  ASSERT_TRUE(eventually([&] { return fsys::exists(a / "nandflash" / "SentryC.exe.started"); }));
  const std::string report = readAll(a / "nandflash" / "SentryC.exe.started");
  EXPECT_EQ(report, "root=" + a.string() + "\nscale=1\ndisplay=headless\ncwd=" + (a / "nandflash").string() +
                        "\nfd77=closed\n");

  // Each root sees its own program only; names are compared ignoring case.
  const std::vector<pid_t> inA = pidsNamed("SentryC.exe");
  ASSERT_EQ(inA.size(), 1u);
  EXPECT_TRUE(proc::isRunning("sentryc.exe"));
  EXPECT_TRUE(proc::isRunning("SENTRYC.EXE"));
  EXPECT_FALSE(proc::isRunning("Main.exe"));
  EXPECT_FALSE(proc::isRunning("SentryC"));
  platform::fs::setRoot(b);
  const std::vector<pid_t> inB = pidsNamed("SentryC.exe");
  ASSERT_EQ(inB.size(), 1u);
  EXPECT_NE(inA[0], inB[0]);

  // A program that ends leaves the list (it is reaped, not left as a zombie).
  std::ofstream(b / "nandflash" / "SentryC.exe.stop") << "stop";
  EXPECT_TRUE(eventually([] { return !proc::isRunning("SentryC.exe"); }));
  platform::fs::setRoot(a);
  EXPECT_TRUE(proc::isRunning("SentryC.exe"));
}

TEST_F(ProcessTest, RefusesWhatCannotBeStarted) {
  const fsys::path a = makeRoot("refuse");
  platform::fs::setRoot(a);
  fsys::create_directories(a / "nandflash" / "Folder.exe");
  std::ofstream(a / "nandflash" / "Data.exe") << "not a program";
  fsys::permissions(a / "nandflash" / "Data.exe", fsys::perms::owner_read | fsys::perms::owner_write);
  std::ofstream(a / "nandflash" / "Garbage.exe") << "\x7f" "ELF garbage";
  fsys::permissions(a / "nandflash" / "Garbage.exe", fsys::perms::owner_all);
  for (const char* path : {"\\nandflash\\Missing.exe", "\\nandflash\\Folder.exe", "\\nandflash\\Data.exe",
                           "\\nandflash\\Garbage.exe", "", "\\..\\..\\bin\\true"}) {
    EXPECT_FALSE(proc::startProgram(path)) << path;
  }
}

TEST_F(ProcessTest, ProgramBelongsToTheRootOfItsRootOption) {
  // A program started from outside the root with --root DIR belongs to DIR.
  const fsys::path a = makeRoot("option");
  const fsys::path outside = makeRoot("outside");
  fsys::create_directories(outside / "nandflash");
  const fsys::path exe = outside / "nandflash" / "Main.exe";
  fsys::copy_file(PROCESS_TEST_CHILD, exe);
  std::string program = exe.string();
  std::string opt = "--root";
  std::string dir = a.string();
  char* argv[] = {program.data(), opt.data(), dir.data(), nullptr};
  char* envp[] = {nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, (outside / "nandflash").c_str());
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_TRUE(eventually([&] { return fsys::exists(outside / "nandflash" / "Main.exe.started"); }));

  platform::fs::setRoot(a);
  EXPECT_EQ(pidsNamed("Main.exe"), std::vector<pid_t>{pid});
  platform::fs::setRoot(outside);  // its executable lies there, but its option says otherwise
  EXPECT_TRUE(pidsNamed("Main.exe").empty());

  std::ofstream(outside / "nandflash" / "Main.exe.stop") << "stop";
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, 0), pid);
}

TEST(NamedEvents, CreateOpenAndShare) {
  bool existed = true;
  proc::NamedEvent a = proc::createEvent("EVENT_FOR_DEMO_SYNC", false, true, &existed);
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(a->isSet());

  // A second create gets the same event and keeps its state and kind.
  proc::NamedEvent b = proc::createEvent("EVENT_FOR_DEMO_SYNC", true, false, &existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(a, b);
  EXPECT_TRUE(b->wait(0));
  EXPECT_FALSE(a->isSet());  // auto-reset, as first made

  EXPECT_EQ(proc::openEvent("EVENT_FOR_DEMO_SYNC"), a);
  EXPECT_EQ(proc::openEvent("event_for_demo_sync"), nullptr);
  EXPECT_EQ(proc::openEvent("OTHER"), nullptr);

  // Unnamed events are never shared.
  EXPECT_NE(proc::createEvent("", true, false), proc::createEvent("", true, false));

  // The event ends with its last holder.
  a.reset();
  b.reset();
  EXPECT_EQ(proc::openEvent("EVENT_FOR_DEMO_SYNC"), nullptr);
  proc::createEvent("EVENT_FOR_DEMO_SYNC", true, false, &existed);
  EXPECT_FALSE(existed);
}

TEST(NamedEvents, WakeAWaiterOnAnotherThread) {
  clk::configure(clk::Mode::Manual);
  proc::NamedEvent ev = proc::createEvent("wake", false, false);
  std::atomic<int> got{-1};
  std::thread waiter([&] { got = proc::openEvent("wake")->wait(5000) ? 1 : 0; });
  ASSERT_TRUE(eventually([] { return clk::sleepers() == 1; }));
  proc::openEvent("wake")->set();
  waiter.join();
  EXPECT_EQ(got, 1);
  clk::configure(clk::Mode::Real);
}

class PowerTest : public ProcessTest {
 protected:
  void SetUp() override {
    ProcessTest::SetUp();
    root_ = makeRoot("power");
    platform::fs::setRoot(root_);
    clk::configure(clk::Mode::Manual);
  }
  void writePower(const std::string& s) {
    std::ofstream(root_ / "power", std::ios::trunc) << s;
  }
  void record(std::uint32_t ms) {
    std::lock_guard lk(m_);
    calls_.push_back(ms);
    cv_.notify_all();
  }
  std::vector<std::uint32_t> calls() {
    std::lock_guard lk(m_);
    return calls_;
  }
  bool waitCalls(std::size_t n) {
    std::unique_lock lk(m_);
    return cv_.wait_for(lk, std::chrono::seconds(10), [&] { return calls_.size() >= n; });
  }
  // The monitor has read the file and gone back to sleep on the clock.
  static bool monitorAsleep() { return eventually([] { return clk::sleepers() == 1; }); }

  fsys::path root_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::uint32_t> calls_;
};

TEST_F(PowerTest, PowerFileIsRead) {
  struct Case {
    const char* content;
    bool lost;
  };
  for (const Case& c : {Case{"lost", true}, Case{"LOST\n", true}, Case{"  lost \r\n", true}, Case{"ok", false},
                        Case{"", false}, Case{"lost power", false}, Case{"olost", false}}) {
    writePower(c.content);
    EXPECT_EQ(proc::powerLost(), c.lost) << '"' << c.content << '"';
  }
  fsys::remove(root_ / "power");
  EXPECT_FALSE(proc::powerLost());
  // "power" is the platform's own name, looked up exactly: a look for the missing file lists no folder.
  std::ofstream(root_ / "POWER") << "lost";
  const platform::fs::Counters before = platform::fs::counters();
  EXPECT_FALSE(proc::powerLost());
  EXPECT_EQ(platform::fs::counters().listings, before.listings);
}

TEST_F(PowerTest, MonitorReportsEverySecondWhileLost) {
  writePower("lost");
  proc::PowerMonitor monitor([this](std::uint32_t ms) { record(ms); });
  ASSERT_TRUE(waitCalls(1));
  ASSERT_TRUE(monitorAsleep());
  clk::advance(999);
  ASSERT_TRUE(monitorAsleep());
  EXPECT_EQ(calls().size(), 1u);
  clk::advance(1);
  ASSERT_TRUE(waitCalls(2));
  ASSERT_TRUE(monitorAsleep());
  clk::advance(1000);
  ASSERT_TRUE(waitCalls(3));
  ASSERT_TRUE(monitorAsleep());
  EXPECT_EQ(calls(), (std::vector<std::uint32_t>{0, 1000, 2000}));

  // Power back: no more calls; a new loss counts from 0 again.
  writePower("ok");
  clk::advance(1000);
  ASSERT_TRUE(monitorAsleep());
  clk::advance(1000);
  ASSERT_TRUE(monitorAsleep());
  EXPECT_EQ(calls().size(), 3u);
  writePower("lost");
  clk::advance(1000);
  ASSERT_TRUE(waitCalls(4));
  ASSERT_TRUE(monitorAsleep());
  clk::advance(1000);
  ASSERT_TRUE(waitCalls(5));
  EXPECT_EQ(calls(), (std::vector<std::uint32_t>{0, 1000, 2000, 0, 1000}));
}

TEST_F(PowerTest, SigpwrMakesTheMonitorLookAtOnce) {
  writePower("ok");
  proc::PowerMonitor monitor([this](std::uint32_t ms) { record(ms); });
  ASSERT_TRUE(monitorAsleep());
  writePower("lost");
  ASSERT_EQ(::kill(::getpid(), SIGPWR), 0);
  ASSERT_TRUE(waitCalls(1));  // no time passed on the clock
  EXPECT_EQ(calls(), std::vector<std::uint32_t>{0});

  // A burst of signals does not report more than once a second.
  ASSERT_TRUE(monitorAsleep());
  for (int i = 0; i < 5; ++i) ::kill(::getpid(), SIGPWR);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(monitorAsleep());
  EXPECT_EQ(calls().size(), 1u);
}
