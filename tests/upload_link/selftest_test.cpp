// The self-test of the test-control dialog against the simulated GPRS module: the module, position
// and IMEI steps pass when the module answers and fail cleanly when it is silent; a silent module test
// leaves the channel's records where they were.
#include <gtest/gtest.h>

#include "app/test_control.h"
#include "link_fixture.h"

namespace uploadtest {
namespace {

class SelfTestOverTheModule : public LinkFixture {
 protected:
  void SetUp() override {
    LinkFixture::SetUp();
    setRoute(0);
    Parameter& p = ch(1);
    p.testRecords.assign(kHeaderRecordCount, JDQFile::BlankTestRecord());
    JDQFile::SetHeaderText(p.testRecords, 7, 3, "2026001");
    JDQFile::SetHeaderText(p.testRecords, 8, 1, "P1");
    p.controllerNumber = "000001";
    p.controllerSilent = 1;  // no sensors to check
    test.freeSpace = [](const std::string&) { return 512LL * 1024 * 1024; };
  }
  // Runs the self-test on its 1 s tick, the upload cycle every 5 s beside it.
  std::vector<testcontrol::SelfTestLine> run() {
    test.Start(ch(1), 0.0f);
    for (int t = 0; t < 200; ++t) {
      if (t % 5 == 0) {
        link->RunCycle();
        settle();
      }
      clk::advance(1000);
      if (!test.Tick(ch(1), ch(1))) break;
    }
    EXPECT_FALSE(test.running());
    return test.selfTestItems;
  }
  static const testcontrol::SelfTestLine* find(const std::vector<testcontrol::SelfTestLine>& lines,
                                               const std::string& start) {
    for (const auto& l : lines)
      if (l.text.rfind(start, 0) == 0) return &l;
    return nullptr;
  }

  testcontrol::SelfTest test;
};

TEST_F(SelfTestOverTheModule, PassesWhenTheModuleAnswers) {
  open(false, true, false);
  // The module has reported its position before (the 6 s timer asks every time).
  ch(1).gpsQueryRequest = 1;
  cycles(12);
  enqueue(1, 0, 1);  // a record of the channel waits too
  const auto lines = run();
  const auto* module = find(lines, "内置模块测试成功！");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->status, 1);
  const auto* gps = find(lines, "GPS定位成功,经纬度：");
  ASSERT_NE(gps, nullptr);
  EXPECT_EQ(gps->status, 1);
  const auto* imei = find(lines, "内置模块IMEI号：861234567890123");
  ASSERT_NE(imei, nullptr);
  EXPECT_EQ(imei->status, 1);
  EXPECT_EQ(receivedOf(*gprs, sim::ModuleCommand::ModuleTest).size(), 1u);
  EXPECT_EQ(receivedOf(*gprs, sim::ModuleCommand::Imei)[0].bytes, "AT+IMEI\r");
  // The record went and was accepted; the request left the queue without marking anything.
  EXPECT_EQ(queued(1, 0), 0u);
  EXPECT_EQ(slots(1, 0)[0].substr(0, 4), "OVER");
  EXPECT_EQ(ch(1).moduleTestRequest.load(), 0);
}

TEST_F(SelfTestOverTheModule, FailsCleanlyWhenTheModuleIsSilent) {
  open(false, true, false);
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  enqueue(1, 0, 1);
  const auto lines = run();
  const auto* module = find(lines, "内置模块测试失败，请检查远传设备！");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->status, 0);
  const auto* gps = find(lines, "GPS定位失败,请检查GPS定位设备！");
  ASSERT_NE(gps, nullptr);
  EXPECT_EQ(gps->status, 0);
  const auto* imei = find(lines, "未查询到IMEI号，内置模块未接或固件版本过低！");
  ASSERT_NE(imei, nullptr);
  EXPECT_EQ(imei->status, 0);
  // The module test is given up on its own; the channel's record stays queued and unsent.
  cycles(15);
  EXPECT_EQ(ch(1).moduleTestRequest.load(), 0);
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(slots(1, 0), std::vector<std::string>{text(record(1))});
  EXPECT_EQ(ch(1).imeiRequest.load(), 0);
  EXPECT_EQ(ch(1).signalRequest.load(), 0);
}

}  // namespace
}  // namespace uploadtest
