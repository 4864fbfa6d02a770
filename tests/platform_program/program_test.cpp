// The command line of the instrument's programs, with the environment behind it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/program/program.h"

TEST(ProgramOptions, CommandLineWinsOverTheEnvironmentAndUnknownOptionsAreRefused) {
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    bool ok;
    std::string root;
    std::string display;
    bool fullscreen;
    double scale;
  } cases[] = {
      {{}, {}, true, "", "auto", false, 1.0},
      {{"--root", "/r", "--display", "headless", "--fullscreen", "--clock-scale", "60"}, {}, true, "/r", "headless", true, 60.0},
      {{"--root=/a"}, {{"INSTRUMENT_ROOT", "/env"}}, true, "/a", "auto", false, 1.0},
      {{}, {{"INSTRUMENT_ROOT", "/env"}, {"INSTRUMENT_DISPLAY", "sdl"}, {"INSTRUMENT_CLOCK_SCALE", "10"}}, true, "/env", "sdl", false, 10.0},
      {{"--clock-scale", "2", "--display", "headless"}, {{"INSTRUMENT_CLOCK_SCALE", "10"}, {"INSTRUMENT_DISPLAY", "sdl"}}, true, "", "headless", false, 2.0},
      {{"--verbose"}, {}, false, "", "", false, 0},
      {{"--display", "x11"}, {}, false, "", "", false, 0},
      {{"--clock-scale", "0"}, {}, false, "", "", false, 0},
      {{"--clock-scale", "fast"}, {}, false, "", "", false, 0},
      {{"--root"}, {}, false, "", "", false, 0},
      {{"extra"}, {}, false, "", "", false, 0},
      {{}, {{"INSTRUMENT_CLOCK_SCALE", "-3"}}, false, "", "", false, 0},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    ProgramOptions o;
    std::string error;
    const bool ok = ParseProgramOptions(
        c.args,
        [&](const char* name) -> const char* {
          auto it = c.env.find(name);
          return it == c.env.end() ? nullptr : it->second.c_str();
        },
        o, error);
    ASSERT_EQ(ok, c.ok) << error;
    if (!ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(o.root.value_or(""), c.root);
    EXPECT_EQ(o.displayName, c.display);
    EXPECT_EQ(o.fullscreen, c.fullscreen);
    EXPECT_DOUBLE_EQ(o.clockScale, c.scale);
  }
}
