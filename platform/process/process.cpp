#include "platform/process/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/fs/fs.h"
#include "platform/text/text.h"

extern char** environ;

namespace platform::process {

namespace fsys = std::filesystem;

namespace {

std::mutex& settingsMutex() {
  static std::mutex* m = new std::mutex();
  return *m;
}
std::optional<std::string>& displaySetting() {
  static auto* d = new std::optional<std::string>();
  return *d;
}

std::string displayToPass() {
  std::lock_guard lk(settingsMutex());
  if (displaySetting()) return *displaySetting();
  const char* env = std::getenv(kDisplayVariable);
  return env != nullptr ? env : "";
}

std::string clockScaleToPass() {
  if (clock::mode() != clock::Mode::Scaled) return "1";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", clock::scale());
  return buf;
}

fsys::path canonicalOrSelf(const fsys::path& p) {
  std::error_code ec;
  fsys::path c = fsys::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : c;
}

// Whether `p` is `root` or lies under it (both canonical).
bool isUnder(const fsys::path& p, const fsys::path& root) {
  auto r = root.begin();
  auto i = p.begin();
  for (; r != root.end(); ++r, ++i) {
    if (*r == fsys::path()) continue;  // a trailing separator
    if (i == p.end() || *i != *r) return false;
  }
  return true;
}

bool readWhole(const fsys::path& p, std::string& out) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

std::vector<std::string> splitNul(const std::string& s) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < s.size()) {
    std::size_t end = s.find('\0', start);
    if (end == std::string::npos) end = s.size();
    parts.push_back(s.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Reaps a started program when it ends, so that it never lingers as a zombie of this program.
void reapLater(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

// The device root a process runs on, as this module sees it (empty when unknown).
fsys::path rootOfProcess(const fsys::path& procDir, const std::vector<std::string>& args,
                         const std::string& environ_) {
  std::error_code ec;
  const fsys::path cwd = fsys::read_symlink(procDir / "cwd", ec);
  auto resolve = [&](const std::string& v) {
    fsys::path p(v);
    if (p.is_relative() && !cwd.empty()) p = cwd / p;
    return canonicalOrSelf(p);
  };
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--root" && i + 1 < args.size()) return resolve(args[i + 1]);
    if (args[i].rfind("--root=", 0) == 0) return resolve(args[i].substr(7));
  }
  const std::string key = std::string(kRootVariable) + "=";
  for (const std::string& var : splitNul(environ_)) {
    if (var.rfind(key, 0) == 0 && var.size() > key.size()) return resolve(var.substr(key.size()));
  }
  return {};
}

// ---- the process table ----
std::mutex& tableMutex() {
  static std::mutex* m = new std::mutex();
  return *m;
}
fsys::path& tableFolder() {
  static auto* f = new fsys::path("/proc");
  return *f;
}

// ---- named events ----
std::mutex& eventsMutex() {
  static std::mutex* m = new std::mutex();
  return *m;
}
std::map<std::string, std::weak_ptr<clock::Event>, std::less<>>& events() {
  static auto* e = new std::map<std::string, std::weak_ptr<clock::Event>, std::less<>>();
  return *e;
}

// ---- SIGPWR ----
// The signal handler writes a byte to a pipe; one thread for the whole program reads it and wakes every
// monitor. The pipe and the thread live as long as the program.
std::mutex& monitorsMutex() {
  static std::mutex* m = new std::mutex();
  return *m;
}
std::set<clock::Event*>& monitorWakes() {
  static auto* s = new std::set<clock::Event*>();
  return *s;
}
std::atomic<int> gSignalPipeWrite{-1};

void onPowerSignal(int) {
  const int saved = errno;
  const int fd = gSignalPipeWrite.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &b, 1);
  }
  errno = saved;
}

void installPowerSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);  // a burst of signals must never block the handler
    gSignalPipeWrite.store(fds[1]);
    const int readFd = fds[0];
    std::thread([readFd] {
      char buf[64];
      for (;;) {
        const ssize_t n = ::read(readFd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        std::lock_guard lk(monitorsMutex());
        for (clock::Event* e : monitorWakes()) e->set();
      }
    }).detach();
    struct sigaction sa {};
    sa.sa_handler = onPowerSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGPWR, &sa, nullptr);
  });
}

}  // namespace

fsys::path chooseRoot(const std::optional<std::string>& rootOption) {
  if (rootOption && !rootOption->empty()) return fsys::path(*rootOption);
  const char* env = std::getenv(kRootVariable);
  if (env != nullptr && *env != '\0') return fsys::path(env);
  return {};
}

void setDisplay(std::string display) {
  std::lock_guard lk(settingsMutex());
  displaySetting() = std::move(display);
}

bool startProgram(std::string_view instrumentPath) {
  const fsys::path host = fs::hostPath(instrumentPath);
  if (host.empty()) return false;
  std::error_code ec;
  if (!fsys::is_regular_file(host, ec)) return false;
  // On the instrument a program file is runnable by being there; a copy (an upgrade from the U-disk)
  // may have come without the host's execute permission, so give it that first.
  if (::access(host.c_str(), X_OK) != 0) {
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    if (::chmod(host.c_str(), mode) != 0 || ::access(host.c_str(), X_OK) != 0) return false;
  }

  // Environment: this program's, with the instrument's three settings put in.
  const fsys::path root = canonicalOrSelf(fsys::absolute(fs::root(), ec));
  std::vector<std::string> env;
  auto isOurs = [](const char* var) {
    for (const char* key : {kRootVariable, kClockScaleVariable, kDisplayVariable}) {
      const std::size_t n = std::char_traits<char>::length(key);
      if (std::strncmp(var, key, n) == 0 && var[n] == '=') return true;
    }
    return false;
  };
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    if (!isOurs(*e)) env.emplace_back(*e);
  }
  env.push_back(std::string(kRootVariable) + "=" + root.string());
  env.push_back(std::string(kClockScaleVariable) + "=" + clockScaleToPass());
  const std::string display = displayToPass();
  if (!display.empty()) env.push_back(std::string(kDisplayVariable) + "=" + display);
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::string program = host.string();
  std::vector<char*> argv = {program.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // Its own session (it outlives this program and its terminal), its own folder, and none of this
  // program's open files (serial ports above all) beyond the standard three.
  posix_spawn_file_actions_addchdir_np(&actions, host.parent_path().c_str());
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPWR);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);

  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  reapLater(pid);
  return true;
}

void setProcessTableFolder(const fsys::path& folder) {
  std::lock_guard lk(tableMutex());
  tableFolder() = folder;
}

std::vector<ProcessEntry> listProcesses() { return readProcessList().value_or(std::vector<ProcessEntry>{}); }

std::optional<std::vector<ProcessEntry>> readProcessList() {
  std::vector<ProcessEntry> out;
  std::error_code ec;
  const fsys::path rootSetting = fs::root();
  if (rootSetting.empty()) return std::nullopt;
  const fsys::path root = canonicalOrSelf(fsys::absolute(rootSetting, ec));

  fsys::path table;
  {
    std::lock_guard lk(tableMutex());
    table = tableFolder();
  }
  fsys::directory_iterator it(table, ec);
  if (ec) return std::nullopt;
  for (const auto& entry : it) {
    const std::string pidText = entry.path().filename().string();
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
    const fsys::path dir = entry.path();

    // Skip programs that have ended (zombies): the state follows the ')' that closes the name.
    std::string stat;
    if (!readWhole(dir / "stat", stat)) continue;
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) continue;
    const char state = stat[close + 2];
    if (state == 'Z' || state == 'X' || state == 'x') continue;

    std::string cmdline;
    std::string environText;
    readWhole(dir / "cmdline", cmdline);
    readWhole(dir / "environ", environText);
    const std::vector<std::string> args = splitNul(cmdline);

    std::error_code ec2;
    std::string exe = fsys::read_symlink(dir / "exe", ec2).string();
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
      exe.resize(exe.size() - deleted.size());
    }
    if (exe.empty() && !args.empty()) exe = args[0];
    if (exe.empty()) continue;

    fsys::path processRoot = rootOfProcess(dir, args, environText);
    bool ours = false;
    if (!processRoot.empty()) {
      ours = processRoot == root;
    } else {
      ours = isUnder(canonicalOrSelf(exe), root);
    }
    if (!ours) continue;

    ProcessEntry e;
    e.pid = static_cast<pid_t>(std::stol(pidText));
    e.executable = exe;
    e.name = fsys::path(exe).filename().string();
    out.push_back(std::move(e));
  }
  return out;
}

std::unique_ptr<InstanceLock> InstanceLock::acquire(std::string_view name) {
  const fsys::path rootSetting = fs::root();
  if (rootSetting.empty() || name.empty()) return nullptr;
  const fsys::path file = rootSetting / (std::string(name) + ".lock");
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  int rc = 0;
  while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    ::close(fd);
    return nullptr;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

TouchCalibration touchCalibrate() {
  const fsys::path rootSetting = fs::root();
  if (rootSetting.empty()) return TouchCalibration::NotConfigured;
  std::string content;
  if (!readWhole(rootSetting / kTouchCalibrationFile, content)) return TouchCalibration::NotConfigured;
  // The first line that holds anything.
  std::string command;
  std::istringstream lines(content);
  for (std::string line; std::getline(lines, line);) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    const auto last = line.find_last_not_of(" \t\r");
    command = line.substr(first, last - first + 1);
    break;
  }
  if (command.empty()) return TouchCalibration::NotConfigured;

  std::string shell = "/bin/sh";
  std::string dashC = "-c";
  std::vector<char*> argv = {shell.data(), dashC.data(), command.data(), nullptr};
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return TouchCalibration::CannotStart;
  posix_spawn_file_actions_addchdir_np(&actions, rootSetting.c_str());
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, shell.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return TouchCalibration::CannotStart;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return TouchCalibration::Done;
  }
  // The shell's answer for a command it cannot find or run.
  if (WIFEXITED(status) && (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127))
    return TouchCalibration::CannotStart;
  return TouchCalibration::Done;
}

bool isRunning(std::string_view name) {
  for (const ProcessEntry& e : listProcesses()) {
    if (text::equalsIgnoreCase(e.name, name)) return true;
  }
  return false;
}

NamedEvent createEvent(std::string_view name, bool manualReset, bool initiallySet, bool* existed) {
  if (existed != nullptr) *existed = false;
  if (name.empty()) return std::make_shared<clock::Event>(manualReset, initiallySet);
  std::lock_guard lk(eventsMutex());
  auto& map = events();
  auto it = map.find(name);
  if (it != map.end()) {
    if (NamedEvent e = it->second.lock()) {
      if (existed != nullptr) *existed = true;
      return e;
    }
  }
  auto e = std::make_shared<clock::Event>(manualReset, initiallySet);
  map[std::string(name)] = e;
  // Drop names whose events have gone.
  std::erase_if(map, [](const auto& kv) { return kv.second.expired(); });
  return e;
}

NamedEvent openEvent(std::string_view name) {
  std::lock_guard lk(eventsMutex());
  auto& map = events();
  auto it = map.find(name);
  return it == map.end() ? nullptr : it->second.lock();
}

bool powerLost() {
  // "power" is the platform's own name in the device root: looked up by that exact name, so the
  // usual case, no file, costs one failed open and never a listing of the root folder. Read on the
  // host directly, not through the file layer's backend, which a test may be injecting faults into.
  const fsys::path r = fs::root();
  if (r.empty()) return false;
  std::ifstream in(r / "power", std::ios::binary);
  if (!in) return false;
  char buf[64];
  in.read(buf, sizeof buf);
  const std::string content(buf, static_cast<std::size_t>(in.gcount()));
  const auto first = content.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  const auto last = content.find_last_not_of(" \t\r\n");
  return text::equalsIgnoreCase(std::string_view(content).substr(first, last - first + 1), "lost");
}

PowerMonitor::PowerMonitor(Handler handler) : handler_(std::move(handler)) {
  installPowerSignal();
  {
    std::lock_guard lk(monitorsMutex());
    monitorWakes().insert(&wake_);
  }
  thread_ = std::thread([this] { run(); });
}

PowerMonitor::~PowerMonitor() {
  {
    std::lock_guard lk(monitorsMutex());
    monitorWakes().erase(&wake_);
  }
  stop_ = true;
  wake_.set();
  if (thread_.joinable()) thread_.join();
}

void PowerMonitor::checkNow() { wake_.set(); }

void PowerMonitor::run() {
  bool lost = false;
  std::uint64_t lostSince = 0;
  std::uint64_t lastCall = 0;
  while (!stop_) {
    const std::uint64_t now = clock::monotonicMs();
    std::uint32_t wait = 1000;
    if (powerLost()) {
      bool call = false;
      if (!lost) {
        lost = true;
        lostSince = now;
        call = true;
      } else if (now - lastCall >= 1000) {
        call = true;
      }
      if (call) {
        lastCall = now;
        try {
          if (handler_) handler_(static_cast<std::uint32_t>(now - lostSince));
        } catch (...) {
          // The handler's failure must not end the watch.
        }
      }
      const std::uint64_t next = lastCall + 1000;
      const std::uint64_t after = clock::monotonicMs();
      wait = next > after ? static_cast<std::uint32_t>(next - after) : 1;
    } else {
      lost = false;
    }
    if (stop_) break;
    wake_.wait(wait);
  }
}

}  // namespace platform::process
