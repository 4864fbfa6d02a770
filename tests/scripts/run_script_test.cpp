// scripts/run on the built programs (its set-up and build stood in for): a fresh device root has its
// SD card and a U-disk, so the instrument starts without the storage warning, while --no-card brings
// the warning up; Ctrl+C (SIGINT to the script) ends everything the run started.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fsys = std::filesystem;

namespace {

std::string readText(const fsys::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A process of the host: its executable and its arguments.
struct HostProcess {
  pid_t pid = 0;
  std::string executable;
  std::vector<std::string> args;
};

std::vector<HostProcess> hostProcesses() {
  std::vector<HostProcess> out;
  std::error_code ec;
  for (const auto& e : fsys::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    // One that has ended and waits to be reaped is gone.
    const std::string stat = readText(e.path() / "stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z') continue;
    HostProcess p;
    p.pid = static_cast<pid_t>(std::stol(name));
    std::error_code lc;
    p.executable = fsys::read_symlink(e.path() / "exe", lc).string();
    const std::string cmdline = readText(e.path() / "cmdline");
    for (std::size_t at = 0; at < cmdline.size();) {
      const std::size_t end = cmdline.find('\0', at);
      p.args.push_back(cmdline.substr(at, end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    out.push_back(p);
  }
  return out;
}

class RunScript : public ::testing::Test {
 protected:
  void SetUp() override {
    build_ = fsys::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path();
    dir_ = fsys::temp_directory_path() / ("run_script_" + std::to_string(::getpid()));
    fsys::remove_all(dir_);
    // A source tree whose set-up and build are done: the real run script, the real build folder.
    fsys::create_directories(dir_ / "top" / "scripts");
    fsys::create_directories(dir_ / "top" / "build");
    fsys::create_symlink(fsys::path(INSTRUMENT_SOURCE_DIR) / "scripts" / "run", dir_ / "top" / "scripts" / "run");
    fsys::create_directory_symlink(build_, dir_ / "top" / "build" / "debug");
    for (const char* name : {"setup", "build"}) {
      const fsys::path p = dir_ / "top" / "scripts" / name;
      std::ofstream(p) << "#!/bin/sh\nexit 0\n";
      fsys::permissions(p, fsys::perms::owner_all);
    }
    root_ = dir_ / "root";
    // The OK of the storage warning (the yes/no box, template 132, button 1121), tapped if it comes.
    fsys::create_directories(dir_ / "taps");
    std::ofstream(dir_ / "taps" / "01.tap") << "Main.exe 132 1121\n";
  }
  void TearDown() override {
    if (script_ > 0) {
      ::kill(script_, SIGKILL);
      ::waitpid(script_, nullptr, 0);
    }
    for (const HostProcess& p : ofTheRoot()) ::kill(p.pid, SIGKILL);
    std::error_code ec;
    fsys::remove_all(dir_, ec);
  }

  void start(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"bash", (dir_ / "top" / "scripts" / "run").string(), "--root", root_.string(),
                                      "--display", "headless", "--clock-scale", "10"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string v = *e;
      if (v.rfind("INSTRUMENT_", 0) != 0) env.push_back(v);
    }
    env.push_back("INSTRUMENT_TEST_TAPS=" + (dir_ / "taps").string());
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (dir_ / "run.log").string();
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    ASSERT_EQ(posix_spawnp(&script_, "bash", &actions, &attr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }

  // The processes of this run's device root: the programs of its program folder and the simulators
  // started on it.
  std::vector<HostProcess> ofTheRoot() const {
    std::vector<HostProcess> out;
    const std::string root = root_.string();
    for (const HostProcess& p : hostProcesses()) {
      bool mine = p.executable.rfind(root + "/", 0) == 0;
      for (std::size_t i = 0; i + 1 < p.args.size(); ++i) mine = mine || (p.args[i] == "--root" && p.args[i + 1] == root);
      if (mine && p.pid != script_) out.push_back(p);
    }
    return out;
  }
  // Processes of the root by the file name of their executable.
  std::map<std::string, int> running() const {
    std::map<std::string, int> n;
    for (const HostProcess& p : ofTheRoot()) ++n[fsys::path(p.executable).filename().string()];
    return n;
  }
  bool waitFor(const std::function<bool()>& done, double seconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
  }
  bool everythingRuns() const {
    auto n = running();
    return n["Main.exe"] == 1 && n["SentryC.exe"] == 1 && n["FrontendSim"] == 2 && n["GprsModuleSim"] == 1 &&
           n["BoxModuleSim"] == 1;
  }
  bool warningTapped() const { return fsys::exists(dir_ / "taps" / "01.tap.done"); }
  std::string log() const { return readText(dir_ / "run.log"); }

  // Ctrl+C: the script ends with 130, and nothing it started runs on.
  void interruptAndCheckTheEnd() {
    ASSERT_EQ(::kill(script_, SIGINT), 0);
    int status = 0;
    const bool ended = waitFor([&] { return ::waitpid(script_, &status, WNOHANG) == script_; }, 30);
    ASSERT_TRUE(ended) << log();
    script_ = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status << "\n" << log();
    // The watchdog would have started Main again within a minute of instrument time (6 s here).
    std::this_thread::sleep_for(std::chrono::seconds(7));
    std::string left;
    for (const HostProcess& p : ofTheRoot()) left += std::to_string(p.pid) + " " + p.executable + "\n";
    EXPECT_EQ(left, "") << log();
  }

  fsys::path build_, dir_, root_;
  pid_t script_ = 0;
};

}  // namespace

TEST_F(RunScript, AFreshInstrumentHasItsCardAndStartsWithoutAWarningAndCtrlCEndsEverything) {
  start({});
  ASSERT_TRUE(waitFor([&] { return everythingRuns(); }, 60)) << log();
  EXPECT_TRUE(fsys::is_directory(root_ / "nandflash"));
  EXPECT_TRUE(fsys::is_directory(root_ / "Storage Card"));
  EXPECT_TRUE(fsys::is_directory(root_ / "Hard Disk"));
  // The card check comes 13 main-loop ticks (about 12 s of instrument time) after the start; give it
  // four times that.
  EXPECT_FALSE(waitFor([&] { return warningTapped(); }, 4.5)) << "the storage warning came up";
  EXPECT_TRUE(everythingRuns());
  interruptAndCheckTheEnd();
}

TEST_F(RunScript, WithoutACardTheInstrumentWarnsAndCtrlCEndsEverything) {
  start({"--no-card"});
  ASSERT_TRUE(waitFor([&] { return everythingRuns(); }, 60)) << log();
  EXPECT_FALSE(fsys::exists(root_ / "Storage Card"));
  EXPECT_TRUE(fsys::is_directory(root_ / "Hard Disk"));
  EXPECT_TRUE(waitFor([&] { return warningTapped(); }, 15)) << "no storage warning";
  interruptAndCheckTheEnd();
}

TEST_F(RunScript, NoCardIsRefusedForARootThatHasItsCard) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  start({"--no-card"});
  int status = 0;
  ASSERT_TRUE(waitFor([&] { return ::waitpid(script_, &status, WNOHANG) == script_; }, 30)) << log();
  script_ = 0;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << log();
  EXPECT_NE(log().find("run: --no-card: the device root"), std::string::npos) << log();
  EXPECT_TRUE(fsys::is_directory(root_ / "Storage Card"));
  EXPECT_TRUE(ofTheRoot().empty());
}
