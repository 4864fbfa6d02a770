// The simulators' command lines: every option, bare and with a value, does what its help says (a
// fault bare hits every reply, with a count N every N-th); bad values and unknown options are refused
// with the usage; --help and the README name every option.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frontend/command.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/serial/serial.h"
#include "platform/text/text.h"
#include "sim/controller.h"
#include "sim/frontend_sim_options.h"
#include "sim/module_sim_options.h"

namespace fsys = std::filesystem;
namespace clk = platform::clock;

namespace {

using Args = std::vector<std::string>;
using Reply = std::string;
using Shows = std::function<bool(const Reply&)>;

std::uint8_t at(const Reply& r, std::size_t i) { return i < r.size() ? static_cast<std::uint8_t>(r[i]) : 0; }

// Which of `polls` replies show the fault: "0101" for every second.
std::string pattern(const std::function<Reply()>& poll, const Shows& shows, int polls) {
  std::string out;
  for (int i = 0; i < polls; ++i) out += shows(poll()) ? '1' : '0';
  return out;
}

std::string describe(const Args& args) {
  std::string s;
  for (const std::string& a : args) s += (s.empty() ? "" : " ") + a;
  return s;
}

// ---- FrontendSim ------------------------------------------------------------------------------------

struct FrontendCase {
  Args args;
  Shows shows;       // on one reply of controller 123456
  std::string seen;  // over six polls
};

TEST(FrontendSimOptions, EachFaultBareAndWithAValueHitsTheRepliesItSays) {
  const Shows none = [](const Reply& r) { return r.empty(); };
  const Shows badSum = [](const Reply& r) {
    return r.size() == 32 && at(r, 31) != frontend::byteSum(reinterpret_cast<const std::uint8_t*>(r.data()), 31);
  };
  const Shows stray = [](const Reply& r) { return r.size() > 32; };
  const Shows shortFrame = [](const Reply& r) { return r.size() == 20; };
  const Shows otherNumber = [](const Reply& r) {
    return r.size() == 32 &&
           frontend::unpackControllerNumber(reinterpret_cast<const std::uint8_t*>(&r[23])) != "123456";
  };
  auto battery = [](int level) { return [level](const Reply& r) { return (at(r, 30) & 0x3F) == (0x10 | level); }; };
  auto gauges = [](int bits) { return [bits](const Reply& r) { return at(r, 26) == bits; }; };
  auto sensor = [](int code) { return [code](const Reply& r) { return at(r, 27) == code; }; };
  const std::vector<FrontendCase> cases = {
      {{"--no-reply"}, none, "111111"},
      {{"--no-reply", "3"}, none, "001001"},
      {{"--no-reply=2"}, none, "010101"},
      {{"--no-reply", "1"}, none, "111111"},
      {{"--bad-checksum"}, badSum, "111111"},
      {{"--bad-checksum", "2"}, badSum, "010101"},
      {{"--stray-bytes"}, stray, "111111"},
      {{"--stray-bytes", "3"}, stray, "001001"},
      {{"--short-frame"}, shortFrame, "111111"},
      {{"--short-frame", "2"}, shortFrame, "010101"},
      {{"--wrong-number"}, otherNumber, "111111"},
      {{"--wrong-number", "3"}, otherNumber, "001001"},
      // A bare fault followed by another option stays bare.
      {{"--no-reply", "--short-frame", "2"}, none, "111111"},
      {{"--low-battery"}, battery(1), "111111"},
      {{"--low-battery", "0"}, battery(0), "111111"},
      {{"--charging"}, [](const Reply& r) { return (at(r, 30) & 0x30) == 0; }, "111111"},
      {{"--lost-gauge"}, gauges(0x01), "111111"},
      {{"--lost-gauge", "3", "--lost-gauge", "5"}, gauges(0x14), "111111"},
      {{"--sensor-fault"}, sensor(1), "111111"},
      {{"--sensor-fault", "2"}, sensor(2), "111111"},
      {{"--pump-stop"}, [](const Reply& r) { return at(r, 22) == 1; }, "111111"},
      // Without a fault every reply is whole and true.
      {{}, [](const Reply& r) { return r.size() == 32 && at(r, 22) != 1 && at(r, 26) == 0 && at(r, 27) == 0; },
       "111111"},
  };
  for (const FrontendCase& c : cases) {
    SCOPED_TRACE(describe(c.args));
    sim::FrontendSimSettings s;
    const sim::ParseOutcome r = sim::parseCommandLine(sim::frontendSimCommandLine(s), c.args);
    ASSERT_TRUE(r.ok) << r.error;
    sim::Controller controller("123456");
    controller.setFaults(s.faults);
    Parameter p;
    p.controllerNumber = "123456";
    std::uint64_t now = 0;
    auto poll = [&] {
      now += 1000;
      return controller.handle(frontend::buildCommand(p).frame, now);
    };
    EXPECT_EQ(pattern(poll, c.shows, 6), c.seen);
  }
}

TEST(FrontendSimOptions, PlaceTimeAndTraceOptionsTakeTheirValues) {
  sim::FrontendSimSettings s;
  const sim::ParseOutcome r = sim::parseCommandLine(
      sim::frontendSimCommandLine(s), {"--root", "/tmp/r", "--port=COM6", "--controllers", "7,905001",
                                       "--clock-scale", "2.5", "--reply-delay", "0", "--trace", "/tmp/t"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(s.root, "/tmp/r");
  EXPECT_EQ(s.port, "COM6");
  EXPECT_EQ(s.numbers, (std::vector<std::string>{"7", "905001"}));
  EXPECT_EQ(s.clockScale, 2.5);
  EXPECT_EQ(s.replyDelayMs, 0);
  EXPECT_EQ(s.trace, "/tmp/t");
}

// ---- the module simulators --------------------------------------------------------------------------

// A module simulator on a pseudo-terminal of a fresh device root, asked from the instrument's side.
class ModuleBench {
 public:
  explicit ModuleBench(bool box) : box_(box) {
    std::string tmpl = (fsys::temp_directory_path() / "module-options-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) != nullptr) root_ = tmpl;
    platform::fs::setRoot(root_);
    clk::configure(clk::Mode::Real);
    if (box) boxModule_ = std::make_unique<sim::BoxModuleSimulator>();
    else gprsModule_ = std::make_unique<sim::GprsModuleSimulator>();
  }
  ~ModuleBench() {
    port_.close();
    gprsModule_.reset();
    boxModule_.reset();
    platform::fs::setRoot({});
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }
  sim::ModuleSimulator& module() {
    return box_ ? static_cast<sim::ModuleSimulator&>(*boxModule_) : static_cast<sim::ModuleSimulator&>(*gprsModule_);
  }
  sim::CommandLine commandLine(sim::ModuleSimSettings& s) {
    return box_ ? sim::boxModuleSimCommandLine(s, *boxModule_) : sim::gprsModuleSimCommandLine(s, *gprsModule_);
  }
  bool start(const sim::ModuleSimSettings& s) {
    module().setReplyDelayMs(static_cast<std::uint32_t>(s.replyDelayMs));
    module().setFaults(s.faults);
    std::string error;
    if (!module().start("COM3", &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    return port_.open("COM3") == platform::serial::Error::None;
  }
  // Sends a command and takes what comes back until the line has been quiet for 150 ms, waiting at
  // most waitMs for the first byte.
  Reply ask(const std::string& command, int waitMs = 400) {
    port_.write(command, 1000);
    Reply got;
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    for (;;) {
      std::uint8_t buf[256];
      const auto r = port_.read(buf, sizeof buf);
      const auto now = std::chrono::steady_clock::now();
      if (r.count > 0) {
        if (got.empty()) firstByteMs_ = std::chrono::duration<double, std::milli>(now - start).count();
        got.append(reinterpret_cast<const char*>(buf), r.count);
        last = now;
      }
      if (got.empty() ? now - start > std::chrono::milliseconds(waitMs) : now - last > std::chrono::milliseconds(150))
        return got;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  double firstByteMs() const { return firstByteMs_; }

 private:
  bool box_;
  fsys::path root_;
  std::unique_ptr<sim::GprsModuleSimulator> gprsModule_;
  std::unique_ptr<sim::BoxModuleSimulator> boxModule_;
  platform::serial::SerialPort port_;
  double firstByteMs_ = 0;
};

Reply record(char first) {
  Reply r(128, '\x11');
  r[0] = first;
  if (first == 'G') r.replace(0, 4, "GPRS");
  return r;
}
Reply moduleTest() {
  Reply r(128, '\0');
  r[0] = '\xFF';
  r[40] = r[41] = '\x99';
  return r;
}
std::string gbkText(const std::string& utf8) { return "GPRS" + platform::text::utf8ToGbk(utf8) + "OVER"; }

struct ModuleCase {
  bool box;
  Args args;
  Reply command;
  Shows shows;
  std::string seen;   // over as many asks
  int waitMs = 400;   // for the first byte of each answer
};

TEST(ModuleSimOptions, EachOptionBareAndWithAValueChangesTheAnswersItSays) {
  const Reply gprsRecord = record('G');
  const Reply frame = record('G');
  auto is = [](const Reply& expected) { return [expected](const Reply& r) { return r == expected; }; };
  const Shows none = [](const Reply& r) { return r.empty(); };
  const Shows twice = [](const Reply& r) { return r == "\x02\x02"; };
  const Shows overLong = [](const Reply& r) { return r.size() > 128; };
  const std::vector<ModuleCase> cases = {
      {false, {}, gprsRecord, is("\x02"), "11"},
      {false, {"--silent"}, gprsRecord, none, "111"},
      {false, {"--silent", "2"}, gprsRecord, none, "0101"},
      {true, {"--silent=3"}, frame, none, "001001"},
      {false, {"--refuse"}, gprsRecord, is("\x04"), "111"},
      {false, {"--refuse", "7"}, gprsRecord, is("\x07"), "111"},
      {false, {"--refuse-every", "2"}, gprsRecord, is("\x04"), "0101"},
      {false, {"--refuse-every", "2", "--refuse", "3"}, gprsRecord, is("\x03"), "0101"},
      {true, {"--refuse", "3", "--refuse-every", "3"}, frame, is("\x03"), "001001"},
      {false, {"--merged"}, gprsRecord, twice, "111"},
      {true, {"--merged", "2"}, frame, twice, "0101"},
      {false, {"--over-long"}, gprsRecord, overLong, "111"},
      {false, {"--over-long", "2"}, gprsRecord, overLong, "0101"},
      {false, {"--text"}, gprsRecord, is("GPRSOKOVER"), "11"},
      {false, {"--text", "已接收"}, gprsRecord, is(gbkText("已接收")), "11"},
      {false, {}, moduleTest(), is("\x04"), "1"},
      {false, {"--test-lines"}, moduleTest(), is(gbkText(sim::kBareTestLines)), "1"},
      {false, {"--test-lines", "1联网|0注册"}, moduleTest(), is(gbkText("1联网|0注册")), "1"},
      {false, {"--imei"}, "AT+IMEI\r", is("ERROR\r\n"), "1"},
      {false, {"--imei", "123456789012345"}, "AT+IMEI\r", is("+IMEI: 123456789012345\r\nOK\r\n"), "1"},
      {false, {"--csq"}, "AT+CSQ?", is("+CSQ: 8,99\r\nOK\r\n"), "1"},
      {false, {"--csq", "30"}, "AT+CSQ?", is("+CSQ: 30,99\r\nOK\r\n"), "1"},
      {false, {"--position", "10.5,-20.25"}, "AT+GPS?",
       [](const Reply& r) { return r.find(",A,1030.0000,N,02015.0000,W,") != std::string::npos; }, "1"},
      {false, {"--no-fix"}, "AT+GPS?", [](const Reply& r) { return r.find(",V,") != std::string::npos; }, "1"},
      {true, {"--answer", "5"}, frame, is("\x05"), "11"},
      {true, {"--answer", "0x06", "--refuse", "7"}, frame, is("\x07"), "1"},
      // Bare --late is later than a whole upload cycle: nothing within a second.
      {false, {"--late"}, gprsRecord, none, "1", 1000},
  };
  for (const ModuleCase& c : cases) {
    SCOPED_TRACE((c.box ? "BoxModuleSim " : "GprsModuleSim ") + describe(c.args));
    ModuleBench bench(c.box);
    sim::ModuleSimSettings s;
    Args args = c.args;
    args.insert(args.end(), {"--reply-delay", "0"});
    const sim::ParseOutcome r = sim::parseCommandLine(bench.commandLine(s), args);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(bench.start(s));
    EXPECT_EQ(pattern([&] { return bench.ask(c.command, c.waitMs); }, c.shows, static_cast<int>(c.seen.size())),
              c.seen);
  }
}

TEST(ModuleSimOptions, LateAnswersComeByTheirDelayEveryTimeOrEveryNth) {
  struct Case {
    Args args;
    std::string seen;
  };
  for (const Case& c : std::vector<Case>{{{"--late", "400"}, "11"}, {{"--late", "400", "--late-every", "2"}, "0101"},
                                         {{"--late-every", "2", "--late", "400"}, "0101"}}) {
    SCOPED_TRACE(describe(c.args));
    ModuleBench bench(false);
    sim::ModuleSimSettings s;
    Args args = c.args;
    args.insert(args.end(), {"--reply-delay", "0"});
    ASSERT_TRUE(sim::parseCommandLine(bench.commandLine(s), args).ok);
    ASSERT_TRUE(bench.start(s));
    std::string seen;
    for (std::size_t i = 0; i < c.seen.size(); ++i) {
      ASSERT_EQ(bench.ask(record('G'), 5000), "\x02");
      // 400 ms late, less the host's timer slack (an answer on time comes within a few ms).
      seen += bench.firstByteMs() >= 300 ? '1' : '0';
    }
    EXPECT_EQ(seen, c.seen);
  }
  // Every N-th without a delay of its own is late by the bare delay.
  sim::ModuleSimSettings s;
  sim::GprsModuleSimulator module;
  ASSERT_TRUE(sim::parseCommandLine(sim::gprsModuleSimCommandLine(s, module), {"--late-every", "3"}).ok);
  EXPECT_EQ(s.faults.lateMs, static_cast<std::uint32_t>(sim::kBareLateMs));
  EXPECT_EQ(s.faults.late.every(), 3);
}

TEST(ModuleSimOptions, PlaceTimeAndRequestOptionsTakeTheirValues) {
  sim::ModuleSimSettings s;
  sim::BoxModuleSimulator module;
  const sim::ParseOutcome r =
      sim::parseCommandLine(sim::boxModuleSimCommandLine(s, module), {"--root=/tmp/r", "--port", "COM4", "--clock-scale",
                                                                      "60", "--reply-delay", "12", "--request-every", "9"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(s.root, "/tmp/r");
  EXPECT_EQ(s.port, "COM4");
  EXPECT_EQ(s.clockScale, 60.0);
  EXPECT_EQ(s.replyDelayMs, 12);
  EXPECT_EQ(s.requestEverySeconds, 9);
}

// ---- refusals, --help and the README ----------------------------------------------------------------

enum class Program { Frontend, Gprs, Box };

struct Tables {
  sim::FrontendSimSettings frontend;
  sim::ModuleSimSettings module;
  sim::GprsModuleSimulator gprs;
  sim::BoxModuleSimulator box;
  sim::CommandLine line(Program p) {
    switch (p) {
      case Program::Frontend: return sim::frontendSimCommandLine(frontend);
      case Program::Gprs: return sim::gprsModuleSimCommandLine(module, gprs);
      case Program::Box: return sim::boxModuleSimCommandLine(module, box);
    }
    return {};
  }
};

TEST(SimOptions, UnknownOptionsAndBadValuesAreRefusedWithTheReason) {
  struct Case {
    Program program;
    Args args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {Program::Frontend, {"--bogus"}, "unknown option --bogus"},
      {Program::Frontend, {"stray"}, "unknown option stray"},
      {Program::Frontend, {"--root"}, "--root needs DIR"},
      {Program::Frontend, {"--trace", "--no-reply"}, "--trace needs FILE"},
      {Program::Frontend, {"--no-reply", "0"}, "--no-reply needs a count N of 1 or more"},
      {Program::Frontend, {"--no-reply", "-1"}, "--no-reply needs a count N of 1 or more"},
      {Program::Frontend, {"--bad-checksum", "often"}, "--bad-checksum needs a count"},
      {Program::Frontend, {"--wrong-number=2x"}, "--wrong-number needs a count"},
      {Program::Frontend, {"--low-battery", "16"}, "--low-battery needs LEVEL 0..15"},
      {Program::Frontend, {"--lost-gauge", "9"}, "--lost-gauge needs G 1..8"},
      {Program::Frontend, {"--sensor-fault", "256"}, "--sensor-fault needs CODE 0..255"},
      {Program::Frontend, {"--charging", "2"}, "--charging takes no value"},
      {Program::Frontend, {"--pump-stop=1"}, "--pump-stop takes no value"},
      {Program::Frontend, {"--reply-delay", "401"}, "--reply-delay needs 0..400 ms"},
      {Program::Frontend, {"--clock-scale", "0"}, "--clock-scale needs a positive number"},
      {Program::Frontend, {"--controllers", "1,2,3,4"}, "--controllers takes one to three controllers"},
      {Program::Frontend, {"--controllers", "1234567"}, "--controllers needs controller numbers"},
      {Program::Gprs, {"--silent", "0"}, "--silent needs a count N of 1 or more"},
      {Program::Gprs, {"--refuse", "5"}, "--refuse needs the code 3, 4 or 7"},
      {Program::Gprs, {"--refuse-every"}, "--refuse-every needs N"},
      {Program::Gprs, {"--late", "-5"}, "--late needs milliseconds"},
      {Program::Gprs, {"--late-every", "0"}, "--late-every needs a count N of 1 or more"},
      {Program::Gprs, {"--imei", "12a"}, "--imei needs 1 to 15 digits"},
      {Program::Gprs, {"--csq", "40"}, "--csq needs 0..31 or 99"},
      {Program::Gprs, {"--position", "1"}, "--position needs LAT,LON"},
      {Program::Gprs, {"--no-fix", "2"}, "--no-fix takes no value"},
      {Program::Gprs, {"--answer", "2"}, "unknown option --answer"},
      {Program::Box, {"--answer", "300"}, "--answer needs a byte 0..255"},
      {Program::Box, {"--request-every", "0"}, "--request-every needs seconds"},
      {Program::Box, {"--csq"}, "unknown option --csq"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(describe(c.args));
    Tables t;
    const sim::ParseOutcome r = sim::parseCommandLine(t.line(c.program), c.args);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << r.error;
  }
}

struct ProgramRun {
  int status = -1;
  std::string output;  // stdout and stderr
};

ProgramRun runProgram(const std::string& command) {
  ProgramRun r;
  FILE* f = ::popen((command + " 2>&1").c_str(), "r");
  if (f == nullptr) return r;
  char buf[512];
  while (std::fgets(buf, sizeof buf, f) != nullptr) r.output += buf;
  const int st = ::pclose(f);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(SimOptions, EveryProgramsHelpAndTheReadmeNameEachOption) {
  const fsys::path build = fsys::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path();
  std::ifstream in(fsys::path(INSTRUMENT_SOURCE_DIR) / "README.md");
  const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const auto& [program, name] : {std::pair{Program::Frontend, "FrontendSim"}, std::pair{Program::Gprs, "GprsModuleSim"},
                                      std::pair{Program::Box, "BoxModuleSim"}}) {
    SCOPED_TRACE(name);
    const std::string exe = (build / "sim" / name).string();
    const ProgramRun help = runProgram(exe + " --help");
    EXPECT_EQ(help.status, 0);
    const ProgramRun bad = runProgram(exe + " --root /nonexistent --bogus");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find(std::string(name) + ": unknown option --bogus\nusage: " + name + " --root DIR"),
              std::string::npos)
        << bad.output;
    Tables t;
    for (const sim::CommandOption& o : t.line(program).options) {
      EXPECT_NE(help.output.find("\n  " + o.name + " "), std::string::npos) << o.name;
      // The whole name: "--late" in "--late-every" does not count.
      bool named = false;
      for (std::size_t at = readme.find(o.name); at != std::string::npos && !named; at = readme.find(o.name, at + 1)) {
        const char next = at + o.name.size() < readme.size() ? readme[at + o.name.size()] : ' ';
        named = next != '-' && !std::isalnum(static_cast<unsigned char>(next));
      }
      EXPECT_TRUE(named) << o.name << " is not in the README";
    }
  }
}

}  // namespace
