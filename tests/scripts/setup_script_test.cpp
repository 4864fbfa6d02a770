// scripts/setup against a stand-in package manager: it waits for the package manager's lock while
// another installation holds it, says so, gives up after its bound, and does not wait on other errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fsys = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string output;
};

class SetupScript : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fsys::temp_directory_path() / ("setup_script_" + std::to_string(::getpid()));
    fsys::remove_all(dir_);
    fsys::create_directories(dir_ / "bin");
    // No package is installed; sudo runs its command.
    script("dpkg-query", "exit 1\n");
    script("sudo", "exec \"$@\"\n");
  }
  void TearDown() override { fsys::remove_all(dir_); }

  void script(const std::string& name, const std::string& body) {
    const fsys::path p = dir_ / "bin" / name;
    std::ofstream(p) << "#!/bin/sh\n" << body;
    fsys::permissions(p, fsys::perms::owner_all);
  }

  // A package manager whose lock another installation holds for its first `lockedCalls` calls; then
  // each call succeeds (or fails with `otherError`). Every call is logged.
  void aptGet(int lockedCalls, const std::string& otherError = "") {
    const std::string log = (dir_ / "apt.log").string();
    const std::string count = (dir_ / "apt.count").string();
    script("apt-get", "n=$(cat '" + count + "' 2>/dev/null || echo 0); n=$((n + 1)); echo $n > '" + count +
                          "'\necho \"$*\" >> '" + log + "'\n"
                          "if [ $n -le " + std::to_string(lockedCalls) +
                          " ]; then echo 'E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 "
                          "(apt-get)' >&2; exit 100; fi\n" +
                          (otherError.empty() ? "exit 0\n" : "echo '" + otherError + "' >&2; exit 100\n"));
  }

  Outcome run(int waitSeconds) {
    const std::string cmd = "PATH='" + (dir_ / "bin").string() + ":/usr/bin:/bin' SETUP_LOCK_WAIT=" +
                            std::to_string(waitSeconds) + " SETUP_LOCK_POLL=0 bash '" INSTRUMENT_SOURCE_DIR
                            "/scripts/setup' 2>&1";
    Outcome r;
    FILE* f = ::popen(cmd.c_str(), "r");
    if (!f) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, f)) r.output += buf;
    const int st = ::pclose(f);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
  }

  std::string aptLog() const {
    std::ifstream f(dir_ / "apt.log");
    return std::string(std::istreambuf_iterator<char>(f), {});
  }

  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  fsys::path dir_;
};

}  // namespace

TEST_F(SetupScript, WaitsForTheLockAndThenInstalls) {
  aptGet(2);
  const Outcome r = run(60);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(count(r.output, "setup: waiting for the package manager's lock"), 2) << r.output;
  // Two refused updates, the update, then the installation of the missing packages.
  const std::string log = aptLog();
  EXPECT_EQ(count(log, "update -qq"), 3) << log;
  EXPECT_EQ(count(log, "install -y -qq --no-install-recommends cmake"), 1) << log;
}

TEST_F(SetupScript, GivesUpAfterItsBound) {
  aptGet(1000);
  const Outcome r = run(0);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("setup: gave up after"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("s waiting for the package manager's lock"), std::string::npos) << r.output;
  EXPECT_EQ(count(aptLog(), "install"), 0);
}

TEST_F(SetupScript, OtherErrorsEndTheSetUpAtOnce) {
  aptGet(0, "E: Unable to locate package libbenchmark-dev");
  const Outcome r = run(60);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(count(r.output, "waiting for the package manager's lock"), 0) << r.output;
  EXPECT_NE(r.output.find("Unable to locate package"), std::string::npos);
}
