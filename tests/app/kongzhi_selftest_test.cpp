// The self-test of the test-control dialog, tick by tick: the module test through the upload queue,
// the GPS position, the sensors of a simulated controller, the storage, the configuration and the IMEI.
#include <cstring>

#include "frontend/command.h"
#include "frontend/reply.h"
#include "kongzhi_fixture.h"
#include "platform/text/text.h"
#include "sim/controller.h"

using namespace apptest;
namespace tc = testcontrol;

namespace {

class KongZhiSelfTest : public KongZhiTest {
 protected:
  void SetUp() override {
    KongZhiTest::SetUp();
    setUpTest(ch[0], "123456", "A-7");
    dlg->selfTest().freeSpace = [this](const std::string& path) {
      return path == GetProgramRoot(1) ? flashBytes : cardBytes;
    };
    show();
  }
  // Taps the self-test button and lets `seconds` ticks pass.
  void run(int seconds) { drv::run(static_cast<std::uint64_t>(seconds) * 1000, 100); }
  std::vector<tc::SelfTestLine> lines() const { return dlg->selfTest().selfTestItems; }
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& l : lines()) t.push_back(l.text);
    return t;
  }
  // The first line with this text, or a line of status -1.
  tc::SelfTestLine line(const std::string& text) const {
    for (const auto& l : lines())
      if (l.text == text) return l;
    return {-1, ""};
  }
  long long flashBytes = 64LL << 20;
  long long cardBytes = 512LL << 20;
};

}  // namespace

TEST_F(KongZhiSelfTest, WithoutTheModuleRouteTheTestGoesOnWithTheGpsStep) {
  setRoute(1);
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
  EXPECT_FALSE(drv::visible(*dlg, ShiZhuangKongZhi::kStateText));
  EXPECT_TRUE(drv::visible(*dlg, ShiZhuangKongZhi::kList));
  EXPECT_EQ(message(), "正在进行系统自检...");
  EXPECT_TRUE(ch[0].moduleQueue.empty());
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0].status, 0);
  EXPECT_EQ(lines()[0].text, "当前选择的是禁止远程传输，无法进行检测!");
  run(1);
  EXPECT_EQ(lines().back().text, "正在检测GPS定位信息，请稍后...");
  EXPECT_EQ(lines().back().status, 2);
  // The list shows the lines, each in the colour of its status.
  EXPECT_EQ(dlg->listView().getItemCount(), 2);
  EXPECT_EQ(dlg->listView().itemTextColor(0, 0), ui::RGB(255, 0, 0));
  EXPECT_EQ(dlg->listView().itemTextColor(1, 0), ui::RGB(0, 0, 0));
  EXPECT_EQ(SelfTestList::StatusColor(1), ui::RGB(0, 90, 0));
  // The rows are drawn in those colours.
  const ui::Bitmap shot = ui::renderWindow(dlg->listView());
  auto pixelsOf = [&](int row, ui::Color c) {
    const ui::Rect r = dlg->listView().getItemRect(row);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += shot.pixel(x, y) == c ? 1 : 0;
    return n;
  };
  EXPECT_GT(pixelsOf(0, ui::RGB(255, 0, 0)), 20);
  EXPECT_EQ(pixelsOf(1, ui::RGB(255, 0, 0)), 0);

  // No controller, no position: GPS 5, flash 4, card 4, configuration 3, IMEI 12 ticks, then the end.
  run(4);
  EXPECT_EQ(lines().back().text, "GPS定位失败,请检查GPS定位设备！");
  run(4 + 4 + 3 + 12 + 1);
  const std::vector<std::string> expected = {
      "当前选择的是禁止远程传输，无法进行检测!",
      "GPS定位失败,请检查GPS定位设备！",
      "板载存储运行正常！剩余空间64.00MB。",
      "SD卡运行正常！剩余空间512.00MB。",
      "配置文件检测成功！",
      "未查询到IMEI号，内置模块未接或固件版本过低！",
      "系统自检完成！"};
  EXPECT_EQ(texts(), expected);
  EXPECT_EQ(message(), "系统自检完成！");
  EXPECT_FALSE(dlg->messageIsError());
  EXPECT_EQ(ch[0].imeiRequest.load(), 1);
  EXPECT_EQ(ch[0].signalRequest.load(), 1);
  EXPECT_EQ(dlg->listView().getItemCount(), 7);
  EXPECT_EQ(dlg->listView().getItemText(6, 0), "系统自检完成！");
  // Timer 5 has stopped; the signal quality then shows in the message line.
  run(3);
  EXPECT_EQ(lines().size(), 7u);
  ch[0].signalText = "26";
  run(1);
  EXPECT_EQ(message(), "内置模块信号强度:26 优   ");
  // The next activation empties the list and shows the state text again.
  dlg->showWindow(ui::SW_HIDE);
  dlg->showWindow(ui::SW_SHOW);
  drv::pump();
  EXPECT_EQ(dlg->listView().getItemCount(), 0);
  EXPECT_TRUE(drv::visible(*dlg, ShiZhuangKongZhi::kStateText));
  EXPECT_FALSE(drv::visible(*dlg, ShiZhuangKongZhi::kList));
}

TEST_F(KongZhiSelfTest, TheModuleCannotBeTestedWithoutItsRouteSerialAndPileNumbers) {
  struct Case {
    float route;
    std::string serial, pile;
    std::string error;
  } cases[] = {{2, "123456", "A-7", "当前选择的是外置模块，无法进行检测!"},
               {0, "", "A-7", "必须输入流水号后才能检测内置模块!"},
               {3, "123456", "", "必须输入桩号后才能检测内置模块!"},
               {0, "", "", "必须输入流水号后才能检测内置模块!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    JDQFile::SetHeaderText(ch[0].testRecords, 7, 3, c.serial);
    JDQFile::SetHeaderText(ch[0].testRecords, 8, 1, c.pile);
    std::array<byte, kQueueRecordSize> record{};
    EXPECT_EQ(tc::BuildModuleTestRecord(ch[0], c.route, record), c.error);
  }
}

TEST_F(KongZhiSelfTest, TheModuleTestRecordCarriesNumbersAndAtMost23BytesOfThePileNumber) {
  ch[0].controllerNumber = "120739";
  JDQFile::SetHeaderText(ch[0].testRecords, 7, 3, "98x6");  // a non-digit counts as 0
  // 11 Chinese characters are 22 GBK bytes; one more would not fit between characters.
  const std::string pile = "桩桩桩桩桩桩桩桩桩桩桩AB";
  JDQFile::SetHeaderText(ch[0].testRecords, 8, 1, pile);
  std::array<byte, kQueueRecordSize> r{};
  ASSERT_EQ(tc::BuildModuleTestRecord(ch[0], 0, r), "");
  for (int k : {0, 8, 12, 13, 42, 127}) EXPECT_EQ(r[static_cast<std::size_t>(k)], 0xFF) << k;
  EXPECT_EQ(r[9], 0x12);
  EXPECT_EQ(r[10], 0x07);
  EXPECT_EQ(r[11], 0x39);
  EXPECT_EQ(r[14], 0x98);
  EXPECT_EQ(r[15], 0x06);
  EXPECT_EQ(r[16], 0x00);
  const std::string gbk = platform::text::utf8ToGbk(JDQFile::HeaderText(ch[0].testRecords, 8, 1));
  const std::string expected = gbk.substr(0, 23);  // 22 bytes of characters and 'A'
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[17]), expected.size()), expected);
  EXPECT_EQ(r[40], 0x99);
  EXPECT_EQ(r[41], 0x99);

  // The button queues it for the module and raises the request.
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
  ASSERT_EQ(ch[0].moduleQueue.size(), 1u);
  EXPECT_EQ(ch[0].moduleQueue.back().bytes, r);
  EXPECT_EQ(ch[0].moduleQueue.back().slot, QueueRecord::kNoSlot);
  EXPECT_EQ(ch[0].moduleTestRequest.load(), 1);
  EXPECT_EQ(lines().front().text, "正在检测内置模块，请稍后...");
  EXPECT_EQ(lines().front().status, 2);
}

TEST_F(KongZhiSelfTest, TheModuleStepTakesTheUploadStatusOrGivesUpOnItsSixteenthTick) {
  struct Case {
    int code;
    int atTick;
    std::vector<tc::SelfTestLine> result;
  } cases[] = {
      {3, 2, {{0, "内置模块未登记！请先登记模块"}}},
      {4, 1, {{1, "内置模块测试成功！"}}},
      {6, 5, {{0, "内置模块测试失败，请检查远传设备！"}}},
      {7, 15, {{0, "内置模块流水号未备案！"}}},
      {1000, 3, {{1, "内置模块检测完毕："}, {1, "已连接平台"}, {0, "信号弱"}}},
      {0, 0, {{0, "内置模块测试失败，请检查远传设备！"}}},  // no upload threads: no answer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ch[0].uploadStatus = 0;
    ch[0].uploadMessage = "1已连接平台|0信号弱|x|5";
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
    const int lastTick = c.code == 0 ? 16 : c.atTick;
    for (int t = 1; t < lastTick; ++t) {
      if (t == c.atTick - 1 || (c.code == 0 && t == 15)) {
        EXPECT_EQ(lines().size(), 1u);
        EXPECT_EQ(lines()[0].status, 2);
        EXPECT_EQ(dlg->selfTest().selfTestStep, 0);
      }
      run(1);
    }
    if (c.code != 0) ch[0].uploadStatus = c.code;
    run(1);
    std::vector<tc::SelfTestLine> got = lines();
    ASSERT_GE(got.size(), c.result.size());
    for (std::size_t i = 0; i < c.result.size(); ++i) {
      EXPECT_EQ(got[i].status, c.result[i].status) << i;
      EXPECT_EQ(got[i].text, c.result[i].text) << i;
    }
    EXPECT_EQ(ch[0].uploadStatus.load(), 0);
    EXPECT_EQ(dlg->selfTest().selfTestStep, 1);
    run(40);  // to its end
    EXPECT_EQ(lines().back().text, "系统自检完成！");
    std::lock_guard<std::mutex> g(ch[0].queueLock);
    ch[0].moduleQueue.clear();
  }
}

TEST_F(KongZhiSelfTest, StorageAndConfigurationVerdictsAtTheirLimits) {
  struct Case {
    long long flash, card;
    bool flashFolder, cardFolder;
    int config;
    std::string imei;
    std::vector<std::string> lines;
  } cases[] = {
      {20LL << 20, 100LL << 20, true, true, 4, "",
       {"板载存储即将存满！仅剩20.00MB，请及时清理！", "SD卡即将存满！仅剩100.00MB，请及时清理！",
        "配置文件校验失败，仪器存储出现故障，请将试桩数据导出，及时送修！"}},
      {(20LL << 20) + 8192, (100LL << 20) + 8192, true, true, 2, "86123456789",
       {"板载存储运行正常！剩余空间20.01MB。", "SD卡运行正常！剩余空间100.01MB。", "配置文件检测成功！",
        "内置模块IMEI号：86123456789"}},
      {1, 1, false, false, 1, "",
       {"未检测到板载存储，请尽快送修检查！", "未检测到SD卡但不影响本次试验，请尽快送修检查SD卡！"}},
  };
  setRoute(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    flashBytes = c.flash;
    cardBytes = c.card;
    if (!c.flashFolder) fsys::remove_all(root_ / "nandflash");
    if (!c.cardFolder) fsys::remove_all(root_ / "Storage Card");
    ch[0].configCheck = c.config;
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
    run(5 + 4 + 4 + 3 + 1);  // up to the first tick of the IMEI step
    ch[0].imeiText = c.imei;
    run(12);
    for (const std::string& l : c.lines) EXPECT_NE(line(l).status, -1) << l;
    EXPECT_EQ(line(c.lines[0]).status, c.flash > (20LL << 20) ? 1 : 0);
  }
}

TEST_F(KongZhiSelfTest, SensorsOfTheSimulatedControllerAndTheGpsPosition) {
  setRoute(1);
  Parameter& p = ch[0];
  p.controllerNumber = "000001";
  p.link.pumpState = 85;
  p.link.replyAlive = 1;
  p.sensorCoefficient = 1.0f;
  p.link.jackK = 1.0f;
  JDQFile::SetHeaderText(p.testRecords, 21, 2, "1");  // channel 5 on; 1-4 on, 6-8 off
  frontend::refreshLinkInputs(p);
  sim::Controller controller("000001");
  sim::ControllerFaults faults;
  faults.sensorStatus = 1;       // force sensor not connected
  faults.lostGauges = 0x02;      // gauge 2 lost
  controller.setFaults(faults);
  // A few polls: the first three good replies after a reset carry no readings.
  for (int i = 0; i < 6; ++i) {
    const frontend::CommandOutcome out = frontend::buildCommand(p);
    const std::string reply = controller.handle(out.frame, platform::clock::monotonicMs());
    ASSERT_EQ(reply.size(), 32u);
    frontend::parseReply(p, reinterpret_cast<const std::uint8_t*>(reply.data()));
    drv::run(500, 100);
  }
  ASSERT_GE(p.link.goodCount.load(), 3);
  ASSERT_EQ(p.link.status27.load(), 1);
  ASSERT_EQ(p.link.sensorFault[1].load(), 1);
  // The controller keeps its status bit 0 of byte 28 clear: no usable sensor data, steps 2 and 3 are
  // skipped. With it set they run.
  for (int valid : {0, 1}) {
    SCOPED_TRACE(valid);
    p.link.status28 = valid;
    p.latitude = valid ? 30.5f : 0.0f;
    p.longitude = 114.25f;
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
    run(5);
    if (!valid) {
      EXPECT_EQ(lines().back().text, "GPS定位失败,请检查GPS定位设备！");
      EXPECT_EQ(dlg->selfTest().selfTestStep, 4);
      continue;
    }
    EXPECT_EQ(lines().back().text, "GPS定位成功,经纬度：30.500000，114.250000");
    EXPECT_EQ(lines().back().status, 1);
    EXPECT_EQ(dlg->selfTest().selfTestStep, 2);
    run(3);
    EXPECT_EQ(lines().back().text, "检测到荷重传感器未连接，请连接荷重传感器！");
    EXPECT_EQ(lines().back().status, 0);
    run(6);
    const std::vector<tc::SelfTestLine> l = lines();
    ASSERT_EQ(l.size(), 3u + 1u + 8u);
    EXPECT_EQ(l[3].text, "位移传感器检测完毕：");
    const std::vector<std::pair<int, std::string>> gauges = {
        {1, "1通道位移连接成功！"}, {0, "检测到2通道位移未连接，请连接位移传感器！"},
        {1, "3通道位移连接成功！"}, {1, "4通道位移连接成功！"},
        {1, "5通道位移连接成功！"}, {0, "6通道未开通！"},
        {0, "7通道未开通！"},       {0, "8通道未开通！"}};
    for (std::size_t g = 0; g < 8; ++g) {
      EXPECT_EQ(l[4 + g].status, gauges[g].first) << g;
      EXPECT_EQ(l[4 + g].text, gauges[g].second) << g;
    }
    EXPECT_EQ(dlg->selfTest().selfTestStep, 4);
  }
  // An oil-pressure sensor names itself; type 1 skips the sensor steps.
  p.forceSensorType = 2;
  p.link.status27 = 0;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
  run(5 + 1);
  EXPECT_EQ(lines().back().text, "正在检测油压传感器，请稍后...");
  run(2);
  EXPECT_EQ(lines().back().text, "油压传感器连接成功！");
  p.forceSensorType = 1;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kSelfTest));
  run(5);
  EXPECT_EQ(dlg->selfTest().selfTestStep, 4);
}

TEST_F(KongZhiSelfTest, NothingWhilePreloading) {
  ch[0].preloadRunning = 1;
  dlg->OnBnClickedSelfTest();
  EXPECT_TRUE(lines().empty());
  EXPECT_TRUE(drv::visible(*dlg, ShiZhuangKongZhi::kStateText));
}
