// Started by the process tests. Writes "<cwd>/<own file name>.started" holding its environment settings,
// its folder and whether it inherited descriptor 77, then runs until a file "<own file name>.stop"
// appears beside it (or a minute passes).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/clock/clock.h"

int main(int, char** argv) {
  namespace fsys = std::filesystem;
  const fsys::path self = fsys::path(argv[0]);
  const fsys::path dir = fsys::current_path();
  const std::string name = self.filename().string();
  // The test leaves descriptor 77 open without close-on-exec; a started program must not inherit it.
  const bool inherited = ::fcntl(77, F_GETFD) >= 0;
  auto env = [](const char* k) {
    const char* v = std::getenv(k);
    return std::string(v != nullptr ? v : "(unset)");
  };
  {
    std::ofstream out(dir / (name + ".tmp"));
    out << "root=" << env("INSTRUMENT_ROOT") << "\n"
        << "scale=" << env("INSTRUMENT_CLOCK_SCALE") << "\n"
        << "display=" << env("INSTRUMENT_DISPLAY") << "\n"
        << "cwd=" << dir.string() << "\n"
        << "fd77=" << (inherited ? "open" : "closed") << "\n";
  }
  fsys::rename(dir / (name + ".tmp"), dir / (name + ".started"));
  for (int i = 0; i < 1200 && !fsys::exists(dir / (name + ".stop")); ++i) platform::clock::sleepMs(50);
  return 0;
}
