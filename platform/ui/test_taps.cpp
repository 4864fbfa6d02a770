// Taps from a test into a program that runs on the headless display (for tests only).
//
// Where the environment variable INSTRUMENT_TEST_TAPS names a folder, the headless display takes
// commands from the files "*.tap" of that folder, in name order. Each holds one line
//   <program> <template> <control> [<x> <y>]
// e.g. "RefitC.exe 129 1017": the program of that executable name (letter case ignored) taps the
// centre of the control (or the point x, y of its client area, e.g. one tab of a tab control) while
// the active window is a dialog of that template and the control is visible and enabled. Until then the command waits, and so do the later commands for the same program.
// The program that performs a command renames its file to "<file>.done" first, so each command is
// performed once, by one program, even when several programs (a program and the one it starts) read
// the folder.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/text.h"
#include "platform/ui/internal.h"

namespace platform::ui {

namespace {

namespace fsys = std::filesystem;

std::string ownProgramName() {
  std::error_code ec;
  const fsys::path exe = fsys::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.filename().string();
}

}  // namespace

void pollTestTaps() {
  // Read once: the folder is given to a program when it starts.
  static const fsys::path folder = [] {
    const char* v = std::getenv("INSTRUMENT_TEST_TAPS");
    return fsys::path(v != nullptr ? v : "");
  }();
  if (folder.empty()) return;
  static const std::string self = ownProgramName();
  // A look at the folder at most every 20 ms of host time.
  static std::chrono::steady_clock::time_point last;
  const auto now = std::chrono::steady_clock::now();
  if (now - last < std::chrono::milliseconds(20)) return;
  last = now;

  std::vector<fsys::path> files;
  std::error_code ec;
  for (const auto& e : fsys::directory_iterator(folder, ec)) {
    if (e.path().extension() == ".tap") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  for (const fsys::path& file : files) {
    std::ifstream in(file);
    std::string program;
    int templateId = 0;
    int controlId = 0;
    if (!(in >> program >> templateId >> controlId)) continue;  // not (yet) whole
    int x = 0, y = 0;
    const bool at = static_cast<bool>(in >> x >> y);
    if (!platform::text::equalsIgnoreCase(program, self)) continue;
    auto* dialog = dynamic_cast<Dialog*>(activeWindow());
    Window* control = dialog && dialog->templateId() == templateId ? dialog->getDlgItem(controlId) : nullptr;
    if (!control || !control->isWindowVisible() || !control->isEnabled()) return;  // keep the order
    fsys::rename(file, fsys::path(file.string() + ".done"), ec);
    if (ec) continue;  // another program took it
    const Point point = at ? control->clientToScreen({x, y}) : control->getWindowRect().center();
    injectMouse(WM_LBUTTONDOWN, point);
    injectMouse(WM_LBUTTONUP, point);
    return;  // one tap at a time: the next waits for what this one brings up
  }
}

}  // namespace platform::ui
