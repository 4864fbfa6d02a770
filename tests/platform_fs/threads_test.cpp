#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fs_fixture.h"

namespace fs = platform::fs;

namespace {

// Several threads replace, read and list files at once while the backend is swapped under them.
TEST_F(FsTest, CallsFromSeveralThreadsAtOnce) {
  put("d/shared.ini", std::string(4000, 'A'));
  const std::string versions[2] = {std::string(4000, 'A'), std::string(3000, 'B')};
  fs::FaultBackend passive;  // armed with nothing: forwards every call
  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};

  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        // Two writers of one file, in different letter cases: the file is always one whole version.
        if (!fs::replaceFile(t == 0 ? "\\d\\shared.ini" : "\\D\\SHARED.INI", versions[t])) ++failures;
        const std::string own = "\\d\\own" + std::to_string(t) + ".ini";
        const std::string value = std::to_string(i);
        std::string back;
        if (!fs::replaceFile(own, value) || !fs::readFile(own, back) || back != value) ++failures;
      }
    });
  }
  threads.emplace_back([&] {
    while (!stop) {
      std::string s;
      if (!fs::readFile("\\d\\Shared.ini", s) || (s != versions[0] && s != versions[1])) ++failures;
      for (const auto& e : fs::find("\\d\\*.*")) {
        if (e.name.find(".~") != std::string::npos) ++failures;
      }
    }
  });
  threads.emplace_back([&] {
    while (!stop) {
      fs::setBackend(&passive);
      fs::setBackend(nullptr);
    }
  });
  threads[0].join();
  threads[1].join();
  stop = true;
  threads[2].join();
  threads[3].join();
  fs::setBackend(nullptr);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(names("d"), (std::vector<std::string>{"own0.ini", "own1.ini", "shared.ini"}));
}

}  // namespace
