// BUILD_JOBS against stand-in cmake and ctest: scripts/build and scripts/test build (and test) with
// that many parallel jobs, with every core without it, and refuse a value that is not a count.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fsys = std::filesystem;

namespace {

class BuildJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fsys::temp_directory_path() / ("build_jobs_" + std::to_string(::getpid()));
    fsys::remove_all(dir_);
    fsys::create_directories(dir_ / "bin");
    fsys::create_directories(dir_ / "top" / "scripts");
    fsys::create_directories(dir_ / "top" / "build" / "debug");
    // The real scripts in a tree whose set-up is done; cmake and ctest log how they are called.
    for (const char* name : {"build", "test"})
      fsys::create_symlink(fsys::path(INSTRUMENT_SOURCE_DIR) / "scripts" / name, dir_ / "top" / "scripts" / name);
    script(dir_ / "top" / "scripts" / "setup", "exit 0\n");
    for (const char* name : {"cmake", "ctest"})
      script(dir_ / "bin" / name, std::string("echo \"") + name + " $*\" >> '" + (dir_ / "calls").string() + "'\n");
  }
  void TearDown() override { fsys::remove_all(dir_); }

  static void script(const fsys::path& p, const std::string& body) {
    std::ofstream(p) << "#!/bin/sh\n" << body;
    fsys::permissions(p, fsys::perms::owner_all);
  }

  // Runs a script with BUILD_JOBS set to `jobs` (unset when empty); returns its exit status.
  int run(const std::string& name, const std::string& jobs) {
    const std::string cmd = "env -u BUILD_JOBS PATH='" + (dir_ / "bin").string() + ":/usr/bin:/bin' " +
                            (jobs.empty() ? "" : "BUILD_JOBS='" + jobs + "' ") + "bash '" +
                            (dir_ / "top" / "scripts" / name).string() + "' > '" + (dir_ / "out").string() +
                            "' 2>&1";
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  std::string text(const char* name) const {
    std::ifstream f(dir_ / name);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }

  fsys::path dir_;
};

}  // namespace

TEST_F(BuildJobs, TheBuildAndTheTestRunTakeBuildJobsElseEveryCore) {
  // Every core, as nproc counts them.
  std::string cores;
  if (FILE* f = ::popen("nproc", "r")) {
    char buf[32] = {};
    if (std::fgets(buf, sizeof buf, f) != nullptr) cores = std::to_string(std::atoi(buf));
    ::pclose(f);
  }
  ASSERT_FALSE(cores.empty());
  struct Case {
    std::string script, jobs, build, tests;
  };
  for (const Case& c : {Case{"build", "3", "-j 3", ""}, Case{"build", "", "-j " + cores, ""},
                        Case{"test", "2", "-j 2", "ctest --output-on-failure -j 2"},
                        Case{"test", "", "-j " + cores, "ctest --output-on-failure -j " + cores}}) {
    SCOPED_TRACE(c.script + " BUILD_JOBS=" + c.jobs);
    fsys::remove(dir_ / "calls");
    EXPECT_EQ(run(c.script, c.jobs), 0) << text("out");
    const std::string calls = text("calls");
    EXPECT_NE(calls.find("cmake --build " + (dir_ / "top" / "build" / "debug").string() + " " + c.build + "\n"),
              std::string::npos)
        << calls;
    if (!c.tests.empty()) {
      EXPECT_NE(calls.find(c.tests + "\n"), std::string::npos) << calls;
    }
  }
}

TEST_F(BuildJobs, AValueThatIsNotACountIsRefusedBeforeAnyBuild) {
  for (const std::string jobs : {"0", "many", "-2", "3x"}) {
    SCOPED_TRACE(jobs);
    fsys::remove(dir_ / "calls");
    EXPECT_EQ(run("build", jobs), 2);
    EXPECT_NE(text("out").find("build: BUILD_JOBS must be a number of jobs, 1 or more"), std::string::npos) << text("out");
    EXPECT_FALSE(fsys::exists(dir_ / "calls"));
  }
}
