#include "platform/serial/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

extern char** environ;

namespace {

namespace clk = platform::clock;
namespace fs = platform::fs;
using platform::serial::Error;
using platform::serial::IoResult;
using platform::serial::Purge;
using platform::serial::SerialPort;
using platform::serial::Settings;

// Real time for the test's own patience while the instrument clock may stand still.
void realSleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool eventually(const std::function<bool()>& cond, int realMs = 5000) {
  for (int waited = 0; waited < realMs; waited += 2) {
    if (cond()) return true;
    realSleepMs(2);
  }
  return cond();
}

// One pseudo-terminal pair: the test holds the master, the port under test opens the slave by name.
struct Pty {
  int master = -1;
  std::string slave;

  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    char buf[128];
    if (::ptsname_r(master, buf, sizeof buf) == 0) slave = buf;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { closeMaster(); }
  void closeMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  void send(std::string_view bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else realSleepMs(1);
    }
  }
  // Reads from the master until n bytes came or the real time runs out.
  std::string receive(std::size_t n, int realMs = 5000) const {
    std::string out;
    for (int waited = 0; out.size() < n && waited < realMs;) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) {
        waited += 10;
        continue;
      }
      char buf[4096];
      ssize_t r = ::read(master, buf, std::min(sizeof buf, n - out.size()));
      if (r > 0) out.append(buf, static_cast<std::size_t>(r));
    }
    return out;
  }
};

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/serial-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    fs::setRoot(root_);
    clk::configure(clk::Mode::Real);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  void writeMap(const std::string& text) {
    std::ofstream(root_ / "ports.conf", std::ios::binary) << text;
  }
  std::string readMap() {
    std::ifstream in(root_ / "ports.conf", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // A pseudo-terminal registered under the name, with the port opened on it.
  void openOnPty(Pty& pty, SerialPort& port, const char* name = "COM2") {
    ASSERT_FALSE(pty.slave.empty());
    ASSERT_EQ(platform::serial::registerPort(name, pty.slave), Error::None);
    ASSERT_EQ(port.open(name), Error::None);
  }
  // Advances the manual clock a millisecond at a time until done, giving the waiting thread real time
  // to notice; returns how far the clock moved.
  std::uint64_t advanceUntil(const std::atomic<bool>& done, std::uint64_t limit = 100000) {
    std::uint64_t moved = 0;
    while (!done.load() && moved < limit) {
      clk::advance(1);
      ++moved;
      if (moved % 4 == 0) realSleepMs(1);
    }
    return moved;
  }

  std::filesystem::path root_;
};

// ---------------------------------------------------------------------------------------------------
// Port map

TEST_F(SerialTest, LookupIgnoresCaseColonBlanksAndComments) {
  writeMap("# wired link\r\n"
           "COM2=/dev/ttyS1\r\n"
           "  com5 = /dev/ttyUSB0  \n"
           "COM6:=/dev/pts/7\n"
           "not an entry\n"
           "#COM9=/dev/commented\n"
           "COM2=/dev/second\n");
  const struct {
    const char* name;
    const char* device;
  } cases[] = {
      {"COM2", "/dev/ttyS1"},   {"com2:", "/dev/ttyS1"}, {" Com2 ", "/dev/ttyS1"},
      {"COM5:", "/dev/ttyUSB0"}, {"com6", "/dev/pts/7"}, {"COM9", ""},
      {"COM3", ""},             {"", ""},                {":", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::serial::lookupPort(c.name), c.device) << c.name;
}

TEST_F(SerialTest, LookupWithoutMapFindsNothing) {
  EXPECT_EQ(platform::serial::lookupPort("COM2"), "");
  SerialPort port;
  EXPECT_EQ(port.open("COM2"), Error::NotMapped);
  EXPECT_FALSE(port.isOpen());
}

TEST_F(SerialTest, RegisterReplacesItsEntryAndKeepsTheRest) {
  writeMap("# devices of this bench\nCOM2=/dev/old\ncom2:=/dev/duplicate\nCOM3=/dev/ttyS2\n");
  EXPECT_EQ(platform::serial::registerPort("com2:", "/dev/pts/4"), Error::None);
  EXPECT_EQ(platform::serial::registerPort("COM6", " /dev/pts/5 "), Error::None);
  EXPECT_EQ(readMap(), "# devices of this bench\nCOM2=/dev/pts/4\nCOM3=/dev/ttyS2\nCOM6=/dev/pts/5\n");
  EXPECT_EQ(platform::serial::lookupPort("COM6:"), "/dev/pts/5");

  for (auto [name, dev] : {std::pair{"", "/dev/x"}, {"COM1", ""}, {"A=B", "/dev/x"}, {"COM1", "/dev/x\nCOM2=y"},
                           {"#COM1", "/dev/x"}}) {
    EXPECT_EQ(platform::serial::registerPort(name, dev), Error::BadArgument) << name << " " << dev;
  }
  EXPECT_EQ(readMap(), "# devices of this bench\nCOM2=/dev/pts/4\nCOM3=/dev/ttyS2\nCOM6=/dev/pts/5\n");

  // Names with several trailing colons and blanks are stored and found under one canonical name.
  for (const char* name : {"COM7::", "com7 : :", " COM7: "}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(platform::serial::canonicalName(name), "COM7");
    ASSERT_EQ(platform::serial::registerPort(name, "/dev/pts/9"), Error::None);
    EXPECT_EQ(platform::serial::lookupPort(name), "/dev/pts/9");
    EXPECT_EQ(platform::serial::lookupPort("COM7"), "/dev/pts/9");
  }
  EXPECT_EQ(readMap(), "# devices of this bench\nCOM2=/dev/pts/4\nCOM3=/dev/ttyS2\nCOM6=/dev/pts/5\nCOM7=/dev/pts/9\n");
}

TEST_F(SerialTest, ConcurrentRegistrationLosesNoEntry) {
  constexpr int kThreads = 6, kProcesses = 4, kEach = 8;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    std::vector<std::string> args = {REGISTER_TOOL, root_.string()};
    for (int i = 0; i < kEach; ++i) args.push_back("P" + std::to_string(p) + "_" + std::to_string(i) + "=/dev/p" + std::to_string(i));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(::posix_spawn(&pid, REGISTER_TOOL, nullptr, nullptr, argv.data(), environ), 0);
    children.push_back(pid);
  }
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kEach; ++i) {
        std::string name = "T" + std::to_string(t) + "_" + std::to_string(i);
        if (platform::serial::registerPort(name, "/dev/t" + std::to_string(i)) != Error::None) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(failures.load(), 0);
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(platform::serial::lookupPort("T" + std::to_string(t) + "_" + std::to_string(i)), "/dev/t" + std::to_string(i));
  for (int p = 0; p < kProcesses; ++p)
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(platform::serial::lookupPort("P" + std::to_string(p) + "_" + std::to_string(i)), "/dev/p" + std::to_string(i));
  std::string map = readMap();
  EXPECT_EQ(static_cast<int>(std::count(map.begin(), map.end(), '\n')), (kThreads + kProcesses) * kEach);
}

// ---------------------------------------------------------------------------------------------------
// Opening

TEST_F(SerialTest, OpenFailuresAreValues) {
  std::ofstream(root_ / "plain.txt") << "not a line";
  writeMap("COM3=/dev/does-not-exist-here\nCOM4=" + (root_ / "plain.txt").string() + "\n");
  SerialPort port;
  EXPECT_EQ(port.open("COM7"), Error::NotMapped);
  EXPECT_EQ(port.open("COM3"), Error::OpenFailed);
  EXPECT_EQ(port.open("COM4"), Error::OpenFailed);
  EXPECT_EQ(port.open("  "), Error::BadArgument);

  Pty pty;
  ASSERT_EQ(platform::serial::registerPort("COM2", pty.slave), Error::None);
  for (Settings s : {Settings{12345}, Settings{9600, 9}, Settings{9600, 4}, Settings{9600, 8, {}, 3}}) {
    EXPECT_EQ(port.open("COM2", s), Error::BadSettings) << s.baud << " " << s.dataBits << " " << s.stopBits;
    EXPECT_FALSE(port.isOpen());
  }

  // Every call on a port that is not open says so.
  char buf[4];
  EXPECT_EQ(port.write("x", 100).error, Error::NotOpen);
  EXPECT_EQ(port.read(buf, sizeof buf).error, Error::NotOpen);
  EXPECT_EQ(port.available().error, Error::NotOpen);
  EXPECT_EQ(port.waitReceive(0), Error::NotOpen);
  EXPECT_EQ(port.purge(Purge::Both), Error::NotOpen);
  EXPECT_EQ(port.setDtr(true), Error::NotOpen);
  EXPECT_EQ(port.configure({}), Error::NotOpen);
}

// ---------------------------------------------------------------------------------------------------
// Transfer

TEST_F(SerialTest, RawBytesTravelUnchangedBothWays) {
  Pty pty;
  SerialPort port;
  openOnPty(pty, port, "com2:");
  EXPECT_EQ(port.name(), "COM2");
  // Modem lines are accepted on a pseudo-terminal although it has none.
  EXPECT_EQ(port.setDtr(false), Error::None);
  EXPECT_EQ(port.setRts(false), Error::None);
  EXPECT_EQ(port.setDtr(true), Error::None);
  EXPECT_EQ(port.setRts(true), Error::None);
  EXPECT_EQ(port.configure(Settings{115200, 8, platform::serial::Parity::Even, 2}), Error::None);
  EXPECT_EQ(port.configure({}), Error::None);

  // Control characters a cooked line would translate or eat: CR, LF, XON, XOFF, ^C, ^D, DEL, 0x00, 0xFF.
  std::string frame("\xAA\x0D\x0A\x11\x13\x03\x04\x7F\x00\xFF\x1A\x55", 12);
  IoResult w = port.write(frame, 1000);
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(w.count, frame.size());
  EXPECT_EQ(pty.receive(frame.size()), frame);

  std::string reply;
  for (int i = 0; i < 32; ++i) reply.push_back(static_cast<char>(0xE0 + i * 7));
  reply[3] = '\r';
  reply[4] = '\n';
  reply[5] = '\x03';
  pty.send(reply);
  ASSERT_EQ(port.waitReceive(2000), Error::None);
  ASSERT_TRUE(eventually([&] { return port.available().count == reply.size(); }));
  char buf[64] = {};
  IoResult r = port.read(buf, sizeof buf);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(std::string(buf, r.count), reply);

  // Nothing there: a read returns nothing at once, and a zero wait times out.
  r = port.read(buf, sizeof buf);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(port.waitReceive(0), Error::Timeout);
}

TEST_F(SerialTest, ReaderAndWriterThreadsShareThePort) {
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);
  std::string sent;
  for (int i = 0; i < 20000; ++i) sent.push_back(static_cast<char>(i * 31 + i / 256));

  std::thread writer([&] {
    for (std::size_t off = 0; off < sent.size(); off += 22) {
      IoResult w = port.write(std::string_view(sent).substr(off, 22), 5000);
      if (!w.ok()) return;
    }
  });
  std::string got;
  std::thread reader([&] {
    char buf[32];
    while (got.size() < sent.size()) {
      Error e = port.waitReceive(5000);
      if (e != Error::None) return;
      IoResult r = port.read(buf, sizeof buf);
      if (!r.ok()) return;
      got.append(buf, r.count);
    }
  });
  // The far end echoes everything back.
  std::string echoed;
  for (int idle = 0; echoed.size() < sent.size() && idle < 5000;) {
    std::string chunk = pty.receive(1, 10);
    if (chunk.empty()) {
      idle += 10;
      continue;
    }
    char more[4096];
    ssize_t n = ::read(pty.master, more, sizeof more);
    if (n > 0) chunk.append(more, static_cast<std::size_t>(n));
    echoed += chunk;
    pty.send(chunk);
  }
  writer.join();
  reader.join();
  EXPECT_EQ(echoed, sent);
  EXPECT_EQ(got, sent);
}

TEST_F(SerialTest, PurgeReceiveDropsWhatWasNotRead) {
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);
  pty.send("stale bytes");
  ASSERT_TRUE(eventually([&] { return port.available().count == 11; }));
  EXPECT_EQ(port.purge(Purge::Receive), Error::None);
  EXPECT_EQ(port.available().count, 0u);
  EXPECT_EQ(port.purge(Purge::Transmit), Error::None);
  EXPECT_EQ(port.purge(Purge::Both), Error::None);

  pty.send("new");
  ASSERT_EQ(port.waitReceive(2000), Error::None);
  ASSERT_TRUE(eventually([&] { return port.available().count == 3; }));
  char buf[16];
  IoResult r = port.read(buf, sizeof buf);
  EXPECT_EQ(std::string(buf, r.count), "new");
}

// ---------------------------------------------------------------------------------------------------
// Waits on the instrument clock

TEST_F(SerialTest, WaitTimesOutOnlyWhenTheManualClockHasMoved) {
  clk::configure(clk::Mode::Manual);
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);

  std::atomic<bool> done{false};
  Error result = Error::None;
  const std::uint64_t t0 = clk::monotonicMs();
  std::thread waiter([&] {
    result = port.waitReceive(500);
    done = true;
  });
  realSleepMs(100);
  EXPECT_FALSE(done.load()) << "the wait ended while the instrument clock stood still";
  clk::advance(499);  // the wait began at t0 or later, so its time cannot be up
  realSleepMs(50);
  EXPECT_FALSE(done.load()) << "the wait ended before its time";
  advanceUntil(done);
  waiter.join();
  EXPECT_EQ(result, Error::Timeout);
  EXPECT_GE(clk::monotonicMs() - t0, 500u);

  // Characters that arrive during a wait end it at once, with no time passing.
  done = false;
  std::thread waiter2([&] {
    result = port.waitReceive(SerialPort::kInfinite);
    done = true;
  });
  realSleepMs(20);
  pty.send("A");
  EXPECT_TRUE(eventually([&] { return done.load(); }));
  waiter2.join();
  EXPECT_EQ(result, Error::None);
}

TEST_F(SerialTest, WriteTimesOutWhenTheFarEndTakesNothing) {
  clk::configure(clk::Mode::Manual);
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);
  const std::string big(1 << 20, 'x');  // far more than a line's buffers hold
  std::atomic<bool> done{false};
  IoResult w;
  const std::uint64_t t0 = clk::monotonicMs();
  std::thread writer([&] {
    w = port.write(big, 300);
    done = true;
  });
  realSleepMs(100);
  EXPECT_FALSE(done.load());
  advanceUntil(done);
  writer.join();
  EXPECT_EQ(w.error, Error::Timeout);
  EXPECT_GT(w.count, 0u);
  EXPECT_LT(w.count, big.size());
  EXPECT_GE(clk::monotonicMs() - t0, 300u);
}

TEST_F(SerialTest, ScaledClockShortensTheWait) {
  clk::configure(clk::Mode::Scaled, 200.0);
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);
  const auto realStart = std::chrono::steady_clock::now();
  const std::uint64_t t0 = clk::monotonicMs();
  EXPECT_EQ(port.waitReceive(60000), Error::Timeout);  // a minute of instrument time
  EXPECT_GE(clk::monotonicMs() - t0, 60000u);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(10));
}

// ---------------------------------------------------------------------------------------------------
// Cancel and close from another thread

TEST_F(SerialTest, CancelEndsWaitsInOtherThreadsAtOnce) {
  clk::configure(clk::Mode::Manual);  // no time passes: only the cancel can end the waits
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);
  std::atomic<int> finished{0};
  Error waitResult = Error::None;
  IoResult writeResult;
  std::thread reader([&] {
    waitResult = port.waitReceive(SerialPort::kInfinite);
    ++finished;
  });
  std::thread writer([&] {
    writeResult = port.write(std::string(1 << 20, 'y'), SerialPort::kInfinite);
    ++finished;
  });
  realSleepMs(100);
  EXPECT_EQ(finished.load(), 0);
  port.cancel();
  EXPECT_TRUE(eventually([&] { return finished.load() == 2; }, 2000));
  reader.join();
  writer.join();
  EXPECT_EQ(waitResult, Error::Cancelled);
  EXPECT_EQ(writeResult.error, Error::Cancelled);
  EXPECT_LT(writeResult.count, std::size_t{1} << 20);

  // The cancel stays until the port is opened again, so a thread that had not reached its wait yet
  // cannot miss it.
  pty.send("z");
  EXPECT_EQ(port.waitReceive(SerialPort::kInfinite), Error::Cancelled);
  ASSERT_EQ(port.open("COM2"), Error::None);
  EXPECT_FALSE(port.cancelled());
  EXPECT_EQ(port.waitReceive(0), Error::Timeout);
}

TEST_F(SerialTest, CloseFromAnotherThreadEndsTheWait) {
  Pty pty;
  SerialPort port;
  openOnPty(pty, port);
  std::atomic<bool> done{false};
  Error result = Error::None;
  std::thread reader([&] {
    result = port.waitReceive(SerialPort::kInfinite);
    done = true;
  });
  realSleepMs(50);
  port.close();
  EXPECT_FALSE(port.isOpen());
  EXPECT_TRUE(eventually([&] { return done.load(); }, 2000));
  reader.join();
  EXPECT_EQ(result, Error::Cancelled);
  EXPECT_EQ(port.waitReceive(0), Error::NotOpen);
  // The device was released: the far end sees the line hang up once nobody holds it.
  char c;
  EXPECT_TRUE(eventually([&] { return ::read(pty.master, &c, 1) < 0 && errno == EIO; }, 2000));
}

// ---------------------------------------------------------------------------------------------------
// A device that goes away

TEST_F(SerialTest, VanishingDeviceGivesErrorsNotHangs) {
  // Each case closes the far end at a different moment; every call afterwards returns, with an error.
  enum class When { WhileWaiting, WhileWriting, BeforeCalls };
  for (When when : {When::WhileWaiting, When::WhileWriting, When::BeforeCalls}) {
    SCOPED_TRACE(static_cast<int>(when));
    Pty pty;
    SerialPort port;
    openOnPty(pty, port);
    std::atomic<bool> done{false};
    Error result = Error::None;
    std::thread worker;
    if (when == When::WhileWaiting) {
      worker = std::thread([&] {
        result = port.waitReceive(SerialPort::kInfinite);
        done = true;
      });
    } else if (when == When::WhileWriting) {
      worker = std::thread([&] {
        result = port.write(std::string(1 << 20, 'w'), SerialPort::kInfinite).error;
        done = true;
      });
    }
    realSleepMs(50);
    pty.closeMaster();
    if (worker.joinable()) {
      EXPECT_TRUE(eventually([&] { return done.load(); }, 3000));
      worker.join();
      EXPECT_EQ(result, Error::Vanished);
    }
    char buf[8];
    EXPECT_EQ(port.waitReceive(SerialPort::kInfinite), Error::Vanished);
    EXPECT_EQ(port.read(buf, sizeof buf).error, Error::Vanished);
    EXPECT_EQ(port.write("abc", 1000).error, Error::Vanished);
    EXPECT_EQ(port.available().error, Error::Vanished);
    EXPECT_NE(port.purge(Purge::Both), Error::None);
    EXPECT_NE(port.setDtr(false), Error::None);
    port.close();
    EXPECT_FALSE(port.isOpen());
  }
}

}  // namespace
