// The port map "ports.conf": any content is read without fault; a port registered under any name is
// found again by that name and by its canonical form, and every other entry stays as it was.
#include "platform/serial/serial.h"
#include "tests/fuzz/fuzz_root.h"

namespace ser = platform::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 2);
  fuzz::put("\\ports.conf", in[1]);
  const std::string name = in[0].substr(0, 16);
  for (const char* probe : {"COM2", "COM5", "COM6", "com2:"}) ser::lookupPort(probe);
  const std::string before = ser::lookupPort("COM6");
  const std::string key = ser::canonicalName(name);
  fuzz::check(ser::canonicalName(key) == key, "the canonical form is not its own");
  if (ser::registerPort(name, "/dev/fuzz-port") != ser::Error::None) return 0;
  fuzz::check(ser::lookupPort(name) == "/dev/fuzz-port", "a registered port is not found by its name");
  fuzz::check(ser::lookupPort(key) == "/dev/fuzz-port", "a registered port is not found by its canonical name");
  if (key != "COM6") fuzz::check(ser::lookupPort("COM6") == before, "another entry changed");
  return 0;
}
