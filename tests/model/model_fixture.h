// A fresh device root for each test, with helpers to lay out the folders of a board.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/fs/fs.h"

class DeviceRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "model-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    platform::fs::setRoot(root_);
  }
  void TearDown() override {
    platform::fs::setRoot({});
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // Moves the device root to a memory file system where the host has one: the fault-injection loops
  // flush thousands of times.
  void useMemoryRoot() {
    if (!std::filesystem::is_directory("/dev/shm")) return;
    std::string tmpl = "/dev/shm/model-test-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) return;
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
    root_ = tmpl;
    platform::fs::setRoot(root_);
  }
  // Creates an instrument folder such as "\nandflash\".
  void makeFolder(const std::string& instrumentPath) {
    ASSERT_TRUE(platform::fs::createFolders(instrumentPath)) << instrumentPath;
  }
  std::string readAll(const std::string& instrumentPath) {
    std::string out;
    if (!platform::fs::readFile(instrumentPath, out)) return "<missing>";
    return out;
  }
  void writeAll(const std::string& instrumentPath, const std::string& bytes) {
    ASSERT_TRUE(platform::fs::writeFile(instrumentPath, bytes)) << instrumentPath;
  }

  std::filesystem::path root_;
};
