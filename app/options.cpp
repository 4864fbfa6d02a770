#include "app/options.h"

#include <cmath>
#include <cstdlib>

#include "platform/process/process.h"

namespace {

bool parseScale(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v) || v <= 0.0) return false;
  out = v;
  return true;
}

bool parseDisplay(const std::string& text, ProgramOptions& out) {
  platform::ui::DisplayKind kind;
  if (!platform::ui::parseDisplayKind(text, kind)) return false;
  out.display = kind;
  out.displayName = text;
  return true;
}

}  // namespace

bool ParseProgramOptions(const std::vector<std::string>& args,
                         const std::function<const char*(const char*)>& getenv, ProgramOptions& out,
                         std::string& error) {
  out = ProgramOptions{};
  // The environment first; the command line then overrides it.
  if (const char* v = getenv(platform::process::kRootVariable); v && *v) out.root = v;
  if (const char* v = getenv(platform::process::kDisplayVariable); v && *v) {
    if (!parseDisplay(v, out)) {
      error = std::string("bad ") + platform::process::kDisplayVariable + " \"" + v + "\"";
      return false;
    }
  }
  if (const char* v = getenv(platform::process::kClockScaleVariable); v && *v) {
    if (!parseScale(v, out.clockScale)) {
      error = std::string("bad ") + platform::process::kClockScaleVariable + " \"" + v + "\"";
      return false;
    }
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    if (a == "--root") {
      if (!takeValue()) return false;
      if (value.empty()) {
        error = "--root needs a folder";
        return false;
      }
      out.root = value;
    } else if (a == "--display") {
      if (!takeValue()) return false;
      if (!parseDisplay(value, out)) {
        error = "bad --display \"" + value + "\"";
        return false;
      }
    } else if (a == "--clock-scale") {
      if (!takeValue()) return false;
      if (!parseScale(value, out.clockScale)) {
        error = "bad --clock-scale \"" + value + "\"";
        return false;
      }
    } else if (a == "--fullscreen" && !hasValue) {
      out.fullscreen = true;
    } else if ((a == "--help" || a == "-h") && !hasValue) {
      out.help = true;
    } else {
      error = "unknown option " + args[i];
      return false;
    }
  }
  return true;
}
