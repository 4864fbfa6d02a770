#include "sim/command_line.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

// An option as its usage and help name it: "--name", "--name VALUE" or "--name [VALUE]".
std::string head(const CommandOption& o) {
  switch (o.takes) {
    case CommandOption::Takes::Nothing: break;
    case CommandOption::Takes::Value: return o.name + " " + o.value;
    case CommandOption::Takes::OptionalValue: return o.name + " [" + o.value + "]";
  }
  return o.name;
}

std::string usageItem(const CommandOption& o) { return o.required ? head(o) : "[" + head(o) + "]"; }

const CommandOption* find(const CommandLine& line, const std::string& name) {
  for (const CommandOption& o : line.options)
    if (o.name == name) return &o;
  return nullptr;
}

bool optionLike(const std::string& arg) { return arg.rfind("--", 0) == 0; }

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t space = text.find(' ', at);
    const std::size_t end = space == std::string::npos ? text.size() : space;
    if (end > at) out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

constexpr std::size_t kWidth = 100;

}  // namespace

std::string usageText(const CommandLine& line) {
  const std::string first = "usage: " + line.program;
  const std::string indent(first.size(), ' ');
  std::string out = first;
  std::size_t lineStart = 0;
  for (const CommandOption& o : line.options) {
    const std::string item = usageItem(o);
    if (out.size() - lineStart + 1 + item.size() > kWidth) {
      out += "\n";
      lineStart = out.size();
      out += indent;
    }
    out += " " + item;
  }
  return out + "\n";
}

std::string helpText(const CommandLine& line) {
  std::string out = usageText(line) + "\n";
  std::size_t width = 0;
  std::vector<std::string> heads;
  for (const CommandOption& o : line.options) {
    heads.push_back(head(o));
    width = std::max(width, heads.back().size());
  }
  // Each help text wrapped at the usage's width, under its own column.
  const std::size_t column = 2 + width + 2;
  for (std::size_t i = 0; i < heads.size(); ++i) {
    out += "  " + heads[i] + std::string(width - heads[i].size() + 2, ' ');
    std::size_t used = column;
    bool first = true;
    for (const std::string& word : words(line.options[i].help)) {
      if (!first && used + 1 + word.size() > kWidth) {
        out += "\n" + std::string(column, ' ');
        used = column;
        first = true;
      }
      if (!first) {
        out += ' ';
        ++used;
      }
      out += word;
      used += word.size();
      first = false;
    }
    out += "\n";
  }
  return out;
}

ParseOutcome parseCommandLine(const CommandLine& line, const std::vector<std::string>& args) {
  ParseOutcome r;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (name == "-h" || name == "--help") {
      r.help = true;
      return r;
    }
    std::string inlineValue;
    bool hasInline = false;
    if (const std::size_t eq = name.find('='); optionLike(name) && eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
      hasInline = true;
    }
    const CommandOption* o = find(line, name);
    if (o == nullptr) {
      r.error = "unknown option " + args[i];
      return r;
    }
    const char* value = nullptr;
    switch (o->takes) {
      case CommandOption::Takes::Nothing:
        if (hasInline || (i + 1 < args.size() && !optionLike(args[i + 1]))) {
          r.error = name + " takes no value";
          return r;
        }
        break;
      case CommandOption::Takes::Value:
        if (hasInline) {
          value = inlineValue.c_str();
        } else if (i + 1 < args.size() && !optionLike(args[i + 1])) {
          value = args[++i].c_str();
        } else {
          r.error = name + " needs " + o->value;
          return r;
        }
        break;
      case CommandOption::Takes::OptionalValue:
        if (hasInline) value = inlineValue.c_str();
        else if (i + 1 < args.size() && !optionLike(args[i + 1])) value = args[++i].c_str();
        break;
    }
    if (std::string why = o->take(value); !why.empty()) {
      r.error = name + " " + why;
      return r;
    }
  }
  r.ok = true;
  return r;
}

int runCommandLine(const CommandLine& line, int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParseOutcome r = parseCommandLine(line, args);
  if (r.help) {
    std::fputs(helpText(line).c_str(), stdout);
    return 0;
  }
  if (!r.ok) return refuseCommandLine(line, r.error);
  return -1;
}

int refuseCommandLine(const CommandLine& line, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n%s", line.program.c_str(), why.c_str(), usageText(line).c_str());
  return 2;
}

bool wholeNumber(const char* text, int& out) {
  if (text == nullptr || text[0] == '\0') return false;
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, hex ? 16 : 10);
  if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

CommandOption rootOption(std::string& root) {
  return {"--root", CommandOption::Takes::Value, "DIR", "the device root (default: $INSTRUMENT_ROOT)", true,
          [&root](const char* v) -> std::string {
            if (v[0] == '\0') return "needs a folder";
            root = v;
            return {};
          }};
}

CommandOption portOption(std::string& port, const std::string& help) {
  return {"--port", CommandOption::Takes::Value, "NAME", help, false, [&port](const char* v) -> std::string {
            if (v[0] == '\0') return "needs a port name";
            port = v;
            return {};
          }};
}

CommandOption clockScaleOption(double& scale) {
  return {"--clock-scale", CommandOption::Takes::Value, "N",
          "the instrument clock runs N times faster (default: $INSTRUMENT_CLOCK_SCALE, else 1)", false,
          [&scale](const char* v) -> std::string {
            char* end = nullptr;
            const double x = std::strtod(v, &end);
            if (end == v || *end != '\0' || !(x > 0.0)) return "needs a positive number";
            scale = x;
            return {};
          }};
}

CommandOption replyDelayOption(int& ms, int defaultMs, int maxMs) {
  return {"--reply-delay", CommandOption::Takes::Value, "MS",
          "instrument ms from a command to its answer, 0.." + std::to_string(maxMs) + " (default " +
              std::to_string(defaultMs) + ")",
          false, [&ms, maxMs](const char* v) -> std::string {
            int n = 0;
            if (!wholeNumber(v, n) || n < 0 || n > maxMs) return "needs 0.." + std::to_string(maxMs) + " ms";
            ms = n;
            return {};
          }};
}

CommandOption switchOption(const std::string& name, bool& flag, const std::string& help) {
  return {name, CommandOption::Takes::Nothing, "", help, false, [&flag](const char*) -> std::string {
            flag = true;
            return {};
          }};
}

CommandOption faultRateOption(const std::string& name, FaultRate& rate, const std::string& what) {
  return {name, CommandOption::Takes::OptionalValue, "N", what + ": bare every time, N every N-th time", false,
          [&rate](const char* v) -> std::string {
            if (v == nullptr) {
              rate = FaultRate::always();
              return {};
            }
            int n = 0;
            if (!wholeNumber(v, n) || n < 1) return "needs a count N of 1 or more (every N-th), or no value (always)";
            rate = FaultRate::everyNth(n);
            return {};
          }};
}

}  // namespace sim
