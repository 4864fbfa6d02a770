#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "calib/system_calibration.h"
#include "platform/fs/fs.h"

namespace {

namespace fs = platform::fs;
using Bytes = std::vector<std::uint8_t>;

class SystemCalibrationFile : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("calib-test-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    fs::setRoot(root_);
    ASSERT_TRUE(fs::createFolders("\\Storage Card\\"));
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string path() const { return SystemCalibrationPath("\\Storage Card\\"); }

  std::filesystem::path root_;
};

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (8 * k));
}

// A calibration in progress and its 308 bytes, written out field by field.
SystemCalibration Sample() {
  SystemCalibration c;
  c.type = 1;
  c.maximum = 500.0f;
  c.points = 5;
  c.oilSensorRange = 60.0f;
  c.loadSensorRange = 2000.0f;
  c.ratedOutput = 1500.0f;
  c.ratedPressure = 63.5f;
  c.calibrating = 1;
  c.calibrationCount = 3;
  c.calibrationFinished = 0;
  c.completed = 1;
  c.mode = 1;
  c.zeroed = 1;
  c.zero = -800.0f;
  c.checkCount = 2;
  c.checkFinished = -1;
  for (int k = 0; k < 12; ++k) {
    const float f = static_cast<float>(k);
    c.rows[static_cast<std::size_t>(k)] = {100.0f * f, 0.5f + f, 2.0f * f, -f, 0.25f * f};
  }
  c.sensitivity = 1.882f;
  return c;
}

std::uint32_t FloatBits(float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, 4);
  return v;
}

Bytes SampleBytes() {
  Bytes b(308, 0);
  Put32(b, 0, 1);
  Put32(b, 4, 0x43FA0000);   // 500.0
  Put32(b, 8, 5);
  Put32(b, 12, 0x42700000);  // 60.0
  Put32(b, 16, 0x44FA0000);  // 2000.0
  Put32(b, 20, 0x44BB8000);  // 1500.0
  Put32(b, 24, 0x427E0000);  // 63.5
  Put32(b, 28, 1);
  Put32(b, 32, 3);
  Put32(b, 36, 0);
  Put32(b, 40, 1);
  Put32(b, 44, 1);
  Put32(b, 48, 1);
  Put32(b, 52, 0xC4480000);  // -800.0
  Put32(b, 56, 2);
  Put32(b, 60, 0xFFFFFFFF);  // -1
  for (std::uint32_t k = 0; k < 12; ++k) {
    const float f = static_cast<float>(k);
    Put32(b, 64 + 20 * k, FloatBits(100.0f * f));
    Put32(b, 68 + 20 * k, FloatBits(0.5f + f));
    Put32(b, 72 + 20 * k, FloatBits(2.0f * f));
    Put32(b, 76 + 20 * k, FloatBits(-f));
    Put32(b, 80 + 20 * k, FloatBits(0.25f * f));
  }
  Put32(b, 304, 0x3FF0E560);  // 1.882
  return b;
}

void ExpectSame(const SystemCalibration& a, const SystemCalibration& b) {
  const auto ea = EncodeSystemCalibration(a);
  const auto eb = EncodeSystemCalibration(b);
  EXPECT_EQ(Bytes(ea.begin(), ea.end()), Bytes(eb.begin(), eb.end()));
}

TEST(SystemCalibration, DefaultsWithoutAFile) {
  const SystemCalibration c;
  EXPECT_EQ(c.type, 2);
  EXPECT_EQ(c.maximum, 80.0f);
  EXPECT_EQ(c.points, 10);
  EXPECT_EQ(c.oilSensorRange, 80.0f);
  EXPECT_EQ(c.loadSensorRange, 1000.0f);
  EXPECT_EQ(c.ratedOutput, 1000.0f);
  EXPECT_EQ(c.ratedPressure, 64.0f);
  EXPECT_EQ(c.sensitivity, 2.13f);
  EXPECT_EQ(c.calibrating + c.calibrationCount + c.calibrationFinished + c.completed + c.mode + c.zeroed +
                c.checkCount + c.checkFinished,
            0);
}

TEST_F(SystemCalibrationFile, WritesThe308BytesInFieldOrder) {
  ASSERT_EQ(FloatBits(1.882f), 0x3FF0E560u);
  ASSERT_EQ(SaveSystemCalibration(path(), Sample()), 1);
  std::string disk;
  ASSERT_TRUE(fs::readFile(path(), disk));
  EXPECT_EQ(Bytes(disk.begin(), disk.end()), SampleBytes());
}

TEST_F(SystemCalibrationFile, ReadsBackBitForBit) {
  const Bytes b = SampleBytes();
  ASSERT_TRUE(fs::writeFile(path(), std::string(b.begin(), b.end())));
  SystemCalibration c;
  ASSERT_EQ(LoadSystemCalibration(path(), c), 1);
  ExpectSame(c, Sample());
  EXPECT_EQ(c.mode, 1);  // comes up in check mode
  EXPECT_EQ(c.completed, 1);
  EXPECT_EQ(c.zeroed, 1);

  // A rewrite over an existing file replaces it whole.
  SystemCalibration d;
  ASSERT_EQ(SaveSystemCalibration(path(), d), 1);
  EXPECT_EQ(fs::fileSize(path()), 308);
  SystemCalibration e = Sample();
  ASSERT_EQ(LoadSystemCalibration(path(), e), 1);
  ExpectSame(e, d);
}

TEST_F(SystemCalibrationFile, ShortFileRestoresWhatItHolds) {
  struct Case {
    std::size_t size;
    std::size_t wholeFields;  // fields taken from the file
  };
  for (const Case& k : {Case{100, 25}, Case{0, 0}, Case{3, 0}, Case{102, 25}, Case{304, 76}}) {
    SCOPED_TRACE(k.size);
    const Bytes b = SampleBytes();
    ASSERT_TRUE(fs::writeFile(path(), std::string(b.begin(), b.begin() + static_cast<long>(k.size))));
    SystemCalibration c;  // the running dialog's values: the defaults
    ASSERT_EQ(LoadSystemCalibration(path(), c), 1);
    const auto got = EncodeSystemCalibration(c);
    const auto defaults = EncodeSystemCalibration(SystemCalibration{});
    for (std::size_t i = 0; i < 308; ++i) {
      EXPECT_EQ(got[i], i < 4 * k.wholeFields ? b[i] : defaults[i]) << "byte " << i;
    }
  }
  // 100 bytes: the 16 header fields, row 0 and the first four values of row 1.
  const Bytes b = SampleBytes();
  ASSERT_TRUE(fs::writeFile(path(), std::string(b.begin(), b.begin() + 100)));
  SystemCalibration c;
  ASSERT_EQ(LoadSystemCalibration(path(), c), 1);
  EXPECT_EQ(c.checkFinished, -1);
  EXPECT_EQ(c.rows[1].checkForce, -1.0f);
  EXPECT_EQ(c.rows[1].checkPressure, 0.0f);
  EXPECT_EQ(c.sensitivity, 2.13f);
}

TEST_F(SystemCalibrationFile, LongerFileReadsItsFirst308Bytes) {
  Bytes b = SampleBytes();
  b.resize(400, 0x7F);
  ASSERT_TRUE(fs::writeFile(path(), std::string(b.begin(), b.end())));
  SystemCalibration c;
  ASSERT_EQ(LoadSystemCalibration(path(), c), 1);
  ExpectSame(c, Sample());
}

TEST_F(SystemCalibrationFile, MissingFileLeavesTheState) {
  SystemCalibration c = Sample();
  EXPECT_EQ(LoadSystemCalibration(path(), c), 0);
  ExpectSame(c, Sample());
}

TEST_F(SystemCalibrationFile, FailedWriteKeepsTheOldFile) {
  const Bytes b = SampleBytes();
  ASSERT_TRUE(fs::writeFile(path(), std::string(b.begin(), b.end())));
  fs::FaultBackend faults;
  fs::ScopedBackend use(faults);
  faults.cutPowerAfter(150);  // the power fails halfway through the new content
  EXPECT_EQ(SaveSystemCalibration(path(), SystemCalibration{}), 0);
  faults.restorePower();
  std::string disk;
  ASSERT_TRUE(fs::readFile(path(), disk));
  EXPECT_EQ(Bytes(disk.begin(), disk.end()), b);
}

TEST_F(SystemCalibrationFile, FolderThatCannotHoldTheFile) {
  EXPECT_EQ(SaveSystemCalibration("\\No Such Card\\xtbd.ini", Sample()), 0);
}

}  // namespace
