#include "platform/device/device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>

#include "platform/clock/clock.h"

namespace dev = platform::device;
namespace clk = platform::clock;

namespace {

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clk::configure(clk::Mode::Manual);
    dev::setBacklightFolder({});
    dev::resetBoard();
  }
  void TearDown() override {
    dev::setBacklightFolder("/sys/class/backlight");
    clk::configure(clk::Mode::Real);
  }
};

std::string readText(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::string s;
  in >> s;
  return s;
}

}  // namespace

TEST_F(DeviceTest, OpensKnownDevicesByNameOnly) {
  for (const char* name : {"UDC1:", "MSC1:", "GCL1:", "udc1:", "Gcl1:"}) {
    const dev::Handle h = dev::open(name);
    EXPECT_GT(h, 0) << name;
    EXPECT_TRUE(dev::close(h)) << name;
    EXPECT_FALSE(dev::close(h)) << name;  // closed twice
  }
  for (const char* name : {"UDC1", "COM2:", "", "UDC2:", "GCL1:x"}) {
    EXPECT_EQ(dev::open(name), dev::kInvalidHandle) << name;
  }
  EXPECT_FALSE(dev::control(dev::kInvalidHandle, dev::kUdcBuzzerOn));
  EXPECT_FALSE(dev::control(12345, dev::kUdcBuzzerOn));
  EXPECT_EQ(dev::board().openHandles, 0);
}

TEST_F(DeviceTest, AcceptsOnlyTheCodesOfEachDevice) {
  struct Case {
    const char* device;
    std::uint32_t code;
    std::optional<std::uint32_t> value;  // none: no input buffer
    bool ok;
  };
  const Case cases[] = {
      {"UDC1:", 6, {}, true},         {"UDC1:", 2, {}, true},         {"UDC1:", 0, {}, true},
      {"UDC1:", 1, {}, true},         {"UDC1:", 3, {}, true},         {"UDC1:", 4, {}, false},
      {"UDC1:", 0x1001, 1, false},    {"MSC1:", 0x1001, 1, true},     {"MSC1:", 0x1001, 0, true},
      {"MSC1:", 0x1001, 2, false},    {"MSC1:", 0x1001, {}, false},   {"MSC1:", 0x1002, 1, true},
      {"MSC1:", 0x1002, 0, true},     {"MSC1:", 0x1002, 3, true},     {"MSC1:", 0x1002, 2, false},
      {"MSC1:", 2, {}, false},        {"GCL1:", 0x220, 1, true},      {"GCL1:", 0x220, 10, true},
      {"GCL1:", 0x220, 0, false},     {"GCL1:", 0x220, 11, false},    {"GCL1:", 0x220, {}, false},
      {"GCL1:", 0x221, 5, false},     {"GCL1:", 2, {}, false},
  };
  for (const Case& c : cases) {
    const dev::Handle h = dev::open(c.device);
    ASSERT_GT(h, 0);
    const bool ok = c.value ? dev::control(h, c.code, *c.value) : dev::control(h, c.code);
    EXPECT_EQ(ok, c.ok) << c.device << " code " << c.code << " value " << c.value.value_or(-1);
    dev::close(h);
  }
  // A short input buffer is refused.
  const dev::Handle gcl = dev::open("GCL1:");
  const std::uint16_t two = 5;
  EXPECT_FALSE(dev::control(gcl, dev::kGclBacklight, &two, sizeof two));
  dev::close(gcl);
}

TEST_F(DeviceTest, BuzzerLogTellsKeyClicksFromAlarms) {
  // A key click on "UDC1:": 2 and 0, 50 ms, 1 and 3.
  const dev::Handle udc = dev::open("UDC1:");
  dev::control(udc, dev::kUdcBuzzerOn);
  dev::control(udc, dev::kUdcBuzzerOnEnd);
  EXPECT_TRUE(dev::board().buzzerOn);
  clk::advance(50);
  dev::control(udc, dev::kUdcBuzzerOff);
  dev::control(udc, dev::kUdcBuzzerOffEnd);
  dev::close(udc);

  // An alarm on "MSC1:" sounding for a second, then a click.
  clk::advance(1000);
  const dev::Handle msc = dev::open("MSC1:");
  dev::control(msc, dev::kMscBuzzer, 1u);
  clk::advance(1000);
  dev::control(msc, dev::kMscBuzzer, 0u);
  dev::control(msc, dev::kMscBuzzer, 0u);  // off again changes nothing
  dev::control(msc, dev::kMscBuzzer, 1u);
  clk::advance(50);
  dev::control(msc, dev::kMscBuzzer, 0u);
  dev::close(msc);

  const dev::Board b = dev::board();
  EXPECT_FALSE(b.buzzerOn);
  EXPECT_EQ(b.keyClicks, 2);
  const std::vector<dev::BuzzerChange> expected = {{true, 0},     {false, 50},    {true, 1050},
                                                   {false, 2050}, {true, 2050},  {false, 2100}};
  EXPECT_EQ(b.buzzerLog, expected);
}

TEST_F(DeviceTest, KeepsDirectionPowerOffAndStartup) {
  const dev::Handle msc = dev::open("MSC1:");
  EXPECT_EQ(dev::board().direction, -1);
  dev::control(msc, dev::kMscDirection, 1u);
  dev::control(msc, dev::kMscDirection, 3u);
  clk::advance(30);
  dev::control(msc, dev::kMscDirection, 1u);
  dev::control(msc, dev::kMscDirection, 0u);
  const dev::Handle udc = dev::open("UDC1:");
  dev::control(udc, dev::kUdcStartup);
  EXPECT_FALSE(dev::board().powerOffRequested);
  dev::control(udc, dev::kUdcPowerOff);

  const dev::Board b = dev::board();
  EXPECT_EQ(b.direction, 0);
  const std::vector<dev::DirectionChange> expected = {{1, 0}, {3, 0}, {1, 30}, {0, 30}};
  EXPECT_EQ(b.directionLog, expected);
  EXPECT_TRUE(b.powerOffRequested);
  EXPECT_EQ(b.startupCodes, 1);
  EXPECT_EQ(b.openHandles, 2);
  dev::close(msc);
  dev::close(udc);

  dev::resetBoard();
  EXPECT_EQ(dev::board().direction, -1);
  EXPECT_FALSE(dev::board().powerOffRequested);
  EXPECT_TRUE(dev::board().directionLog.empty());
}

TEST_F(DeviceTest, BacklightLevelIsWrittenToHostBacklights) {
  const auto dir = std::filesystem::temp_directory_path() / ("device_test_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "panel");
  std::filesystem::create_directories(dir / "small");
  std::filesystem::create_directories(dir / "broken");  // no max_brightness: skipped
  std::ofstream(dir / "panel" / "max_brightness") << "255\n";
  std::ofstream(dir / "small" / "max_brightness") << "7\n";
  dev::setBacklightFolder(dir);

  const dev::Handle gcl = dev::open("GCL1:");
  struct Case {
    std::uint32_t level;
    const char* panel;
    const char* small;
  };
  for (const Case& c : {Case{10, "255", "7"}, Case{5, "128", "4"}, Case{1, "26", "1"}}) {
    ASSERT_TRUE(dev::control(gcl, dev::kGclBacklight, c.level));
    EXPECT_EQ(dev::board().backlight, static_cast<int>(c.level));
    EXPECT_EQ(readText(dir / "panel" / "brightness"), c.panel) << c.level;
    EXPECT_EQ(readText(dir / "small" / "brightness"), c.small) << c.level;
  }
  EXPECT_FALSE(dev::control(gcl, dev::kGclBacklight, 0u));
  EXPECT_EQ(dev::board().backlight, 1);
  EXPECT_EQ(readText(dir / "panel" / "brightness"), "26");
  EXPECT_FALSE(std::filesystem::exists(dir / "broken" / "brightness"));

  // A folder that cannot be written is no failure of the device.
  dev::setBacklightFolder(dir / "missing");
  EXPECT_TRUE(dev::control(gcl, dev::kGclBacklight, 7u));
  EXPECT_EQ(dev::board().backlight, 7);
  dev::close(gcl);
  std::filesystem::remove_all(dir);
}
