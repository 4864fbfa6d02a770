// A fresh device root for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fs/fs.h"

class FsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "fs-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    platform::fs::setRoot(root_);
  }
  void TearDown() override {
    platform::fs::setBackend(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // Host-side helpers that bypass the layer under test.
  void put(const std::string& rel, const std::string& content) {
    const auto p = root_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  std::string get(const std::string& rel) const {
    std::ifstream in(root_ / rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> names(const std::string& rel = "") const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(root_ / rel)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  std::filesystem::path root_;
};
