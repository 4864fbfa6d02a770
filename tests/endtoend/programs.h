// The real programs of a build, started and stopped from outside by the tests and benchmarks that run
// them (Main and FrontendSim on a device root); no test framework here.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace endtoend {

// Starts a program with its standard output and error into `log` and the variables of `environment`
// set; 0 when it cannot be started.
inline pid_t spawnProgram(const std::vector<std::string>& args, const std::string& log,
                          const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  const pid_t pid = fork();
  if (pid != 0) return pid < 0 ? 0 : pid;
  const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    dup2(fd, 1);
    dup2(fd, 2);
  }
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Ends a program started so: asked first, killed after 5 s.
inline void stopProgram(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int k = 0; k < 100; ++k) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Waits up to 5 s until a simulator has entered `port` in the device root's port map.
inline bool awaitPort(const std::filesystem::path& root, const std::string& port = "COM2") {
  for (int k = 0; k < 100; ++k) {
    std::ifstream conf(root / "ports.conf");
    const std::string text((std::istreambuf_iterator<char>(conf)), std::istreambuf_iterator<char>());
    if (text.find(port + "=") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace endtoend
