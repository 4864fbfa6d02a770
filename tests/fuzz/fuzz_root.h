// What the fuzz targets share: a device root of their own in memory (board 1 with an SD card), the
// manual clock, the input split into parts, and a check that stops the run with a message.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

namespace fuzz {

// Sets up the device root once per process and empties its storage folders for each input.
inline void freshRoot() {
  static const std::filesystem::path root = [] {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::filesystem::path r = base / ("instrument-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(r);
    std::filesystem::create_directories(r);
    platform::fs::setRoot(r);
    platform::clock::configure(platform::clock::Mode::Manual);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(platform::fs::root(), ec);
    });
    return r;
  }();
  for (const char* folder : {"nandflash", "Storage Card"}) {
    std::error_code ec;
    std::filesystem::remove_all(root / folder, ec);
    std::filesystem::create_directories(root / folder);
  }
}

// The input as parts: each part is a 2-byte length (low byte first) and that many bytes; the last
// part takes what is left.
inline std::vector<std::string> parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    std::size_t n = 0;
    if (at + 2 <= size) n = data[at] | (static_cast<std::size_t>(data[at + 1]) << 8);
    at = at + 2 <= size ? at + 2 : size;
    if (n > size - at) n = size - at;
    out.emplace_back(reinterpret_cast<const char*>(data + at), n);
    at += n;
  }
  out.emplace_back(reinterpret_cast<const char*>(data + at), size - at);
  return out;
}

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

inline void put(const std::string& path, const std::string& bytes) {
  if (!platform::fs::writeFile(path, bytes)) fail("cannot write a fixture file");
}

// A whole file (empty when it cannot be read).
inline std::string read(const std::string& path) {
  std::string s;
  platform::fs::readFile(path, s);
  return s;
}

// Whether a queue slot (from its first four bytes) is still to be sent: not marked "OVER" or "0000".
inline bool pendingSlot(const std::string& slot) {
  return slot.compare(0, 4, "OVER") != 0 && slot.compare(0, 4, "0000") != 0;
}

// A file name from the input's bytes, as a host may hold it: no '/' and no zero byte, at most `most`
// bytes, and "" for "." and ".." ('\\' is allowed: such a file is never listed).
inline std::string hostName(std::string bytes, std::size_t most) {
  bytes.erase(std::remove_if(bytes.begin(), bytes.end(), [](char c) { return c == '/' || c == '\0'; }), bytes.end());
  if (bytes.size() > most) bytes.resize(most);
  return bytes == "." || bytes == ".." ? std::string() : bytes;
}

}  // namespace fuzz
