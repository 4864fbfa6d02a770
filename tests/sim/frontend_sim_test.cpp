// The simulated controllers on their pseudo-terminal, seen from the instrument's side of the line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "frontend/command.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/serial/serial.h"
#include "sim/frontend_sim.h"

namespace clk = platform::clock;

namespace {

struct SimulatorFixture : ::testing::Test {
  std::filesystem::path root;
  void SetUp() override {
    char tmpl[] = "/tmp/frontend-sim-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    platform::fs::setRoot(root);
    clk::configure(clk::Mode::Manual);
  }
  void TearDown() override { std::filesystem::remove_all(root); }
};

}  // namespace

TEST_F(SimulatorFixture, RegistersItsPortAndAnswersAfterTheReplyDelay) {
  sim::FrontEndSimulator simulator({"905001"});
  simulator.setReplyDelayMs(40);
  std::string err;
  ASSERT_TRUE(simulator.start("COM6", &err)) << err;
  EXPECT_EQ(platform::serial::lookupPort("COM6:"), simulator.devicePath());

  platform::serial::SerialPort port;
  ASSERT_EQ(port.open("COM6"), platform::serial::Error::None);
  Parameter p;
  p.controllerNumber = "905001";
  auto frame = frontend::buildCommand(p).frame;
  ASSERT_EQ(port.write(frame.data(), frame.size(), 1000).count, frame.size());

  // Nothing comes back before 40 ms of instrument time have passed.
  auto waitReply = [&](int realMs) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (std::chrono::steady_clock::now() < until && got.size() < 32) {
      std::uint8_t buf[64];
      auto r = port.read(buf, sizeof buf);
      got.append(reinterpret_cast<const char*>(buf), r.count);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return got;
  };
  // The simulator has taken the command and gone to sleep for its delay (on a loaded machine either
  // can take a while of host time; time must not move on before the delay has begun).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline && (simulator.received().empty() || clk::sleepers() < 1))
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(simulator.received().size(), 1u);
  ASSERT_EQ(clk::sleepers(), 1);
  clk::advance(39);
  EXPECT_TRUE(waitReply(100).empty());
  clk::advance(1);
  std::string reply = waitReply(20000);
  ASSERT_EQ(reply.size(), 32u);
  const auto* b = reinterpret_cast<const std::uint8_t*>(reply.data());
  EXPECT_EQ(b[0], 0xAA);
  EXPECT_EQ(frontend::unpackControllerNumber(&b[23]), "905001");
  EXPECT_EQ(b[31], frontend::byteSum(b, 31));
  port.close();
  simulator.stop();
}
