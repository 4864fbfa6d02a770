// platform_serial_register ROOT NAME=DEVICE...: enters each port in ROOT/ports.conf.
#include <cstdio>
#include <string>

#include "platform/fs/fs.h"
#include "platform/serial/serial.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ROOT NAME=DEVICE...\n", argv[0]);
    return 2;
  }
  platform::fs::setRoot(argv[1]);
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    std::size_t eq = arg.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "not NAME=DEVICE: %s\n", argv[i]);
      ++failures;
      continue;
    }
    auto e = platform::serial::registerPort(arg.substr(0, eq), arg.substr(eq + 1));
    if (e != platform::serial::Error::None) {
      std::fprintf(stderr, "%s: %s\n", argv[i], platform::serial::errorText(e));
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
