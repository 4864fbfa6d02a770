#include <gtest/gtest.h>

#include "frontend/link.h"
#include "helpers.h"
#include "platform/clock/clock.h"
#include "platform/device/device.h"

using namespace frontend;
using testing_frontend::RecordingWindow;
using testing_frontend::setUpChannel;

namespace {

struct AlarmFixture : ::testing::Test {
  Parameter c1, c2, c3;
  RecordingWindow window;
  std::unique_ptr<FrontEndLink> link;
  void SetUp() override {
    platform::clock::configure(platform::clock::Mode::Manual);
    platform::device::resetBoard();
    setUpChannel(c1, "1", "1");
    setUpChannel(c2, "2", "2");
    setUpChannel(c3, "3", "3");
    c1.boardFlag = 1;
    c1.ParameterList.set(57, 1.0f);  // wired
    c1.ParameterList.set(56, 1.0f);  // no upload route
    link = std::make_unique<FrontEndLink>(c1, c2, c3, window);
  }
  Parameter& ch(int n) { return link->channel(n); }
  void compose(int n, int times = 1) {
    for (int i = 0; i < times; ++i) link->ComposeAlarmText(n);
  }
};

}  // namespace

TEST_F(AlarmFixture, PersistenceWarnsFromTheFourthCallAndPausesAtTheThirteenth) {
  Parameter& p = ch(2);
  p.protection1 = 10.0f;  // settlement limit
  p.link.meanDisplacement = 12.0f;
  p.link.displacement[0] = 12.0f;
  compose(2, 3);
  EXPECT_EQ(p.link.alarmText[LinkState::Settlement], "");
  EXPECT_EQ(p.link.auxOutput.load(), 0);
  EXPECT_EQ(c1.alarmOn.load(), 0);
  p.link.meanDisplacement = 1.0f;  // cleared after three calls: nothing was shown
  compose(2);
  EXPECT_EQ(p.link.persistence[LinkState::Settlement], 0);
  p.link.meanDisplacement = 12.0f;
  compose(2, 4);
  EXPECT_EQ(p.link.alarmText[LinkState::Settlement], "2#试验沉降超过允许值，请及时检查现场！");
  EXPECT_EQ(p.link.auxOutput.load(), 255);
  EXPECT_EQ(c1.alarmOn.load(), 1);
  EXPECT_EQ(c3.alarmOn.load(), 1);
  EXPECT_TRUE(platform::device::board().buzzerOn);
  compose(2, 8);
  EXPECT_EQ(p.link.pauseRequested.load(), 0);
  compose(2);  // the thirteenth call
  EXPECT_EQ(p.link.alarmText[LinkState::Settlement], "2#试验沉降超过允许值，已暂停试验！请按恢复试验键恢复！");
  EXPECT_EQ(p.link.stopState.load(), 2);
  EXPECT_EQ(p.link.pauseRequested.load(), 1);
  // During a pre-load the warning stays and the stop state is "warning only".
  p.link.stopState = 0;
  p.preloadRunning = 1;
  compose(2);
  EXPECT_EQ(p.link.alarmText[LinkState::Settlement], "2#试验沉降超过允许值，请及时检查现场！");
  EXPECT_EQ(p.link.stopState.load(), 4);
}

TEST_F(AlarmFixture, PersistentConditionTexts) {
  struct Case {
    LinkState::Alarm alarm;
    std::function<void(Parameter&)> set;
    const char* warn;
    const char* pause;
    int stop;
  } cases[] = {
      {LinkState::Uneven,
       [](Parameter& p) {
         p.protection2 = 2.0f;
         p.link.displacement[0] = 1.0f;
         p.link.displacement[2] = 3.5f;
       },
       "1#试验出现不均匀沉降,请及时检查现场！", "1#试验出现不均匀沉降，已暂停试验！请按恢复试验键恢复！", 2},
      {LinkState::NoPressure,
       [](Parameter& p) {
         p.protectionSetting = 5;
         p.link.valveReply = 1;
         p.controlLoad = 100.0f;
       },
       "1#试验加不上压，请及时检查现场！", "1#加不上压,试验暂停!“恢复测试”键恢复", 2},
      {LinkState::NoPressure,
       [](Parameter& p) {
         p.protectionSetting = 5;
         p.link.valveReply = 1;
         p.controlLoad = 0.0f;
       },
       "1#试验加不上压，请及时检查现场！", "1#加不上压,请及时检查现场!", 5},
      {LinkState::Range, [](Parameter& p) { p.link.nearRange[1] = 1; },
       "1#试验位移接近最大量程，请及时检查现场！", "1#试验位移接近最大量程，已暂停试验！请按恢复试验键恢复！", 2},
      {LinkState::ForceSensor, [](Parameter& p) { p.link.status27 = 1; },
       "1#试验荷重传感器未连接，请及时检查现场！", "1#试验荷重传感器未连接，已暂停试验！请按恢复试验键恢复！", 2},
      {LinkState::ForceSensor,
       [](Parameter& p) {
         p.link.status27 = 2;
         p.forceSensorType = 1;
       },
       "1#试验油压传感器未连接，请及时检查现场！", "1#试验油压传感器未连接，已暂停试验！请按恢复试验键恢复！", 2},
  };
  for (const auto& c : cases) {
    Parameter p;
    setUpChannel(p, "1", "1");
    RecordingWindow w;
    FrontEndLink l(p, c2, c3, w);
    c.set(p);
    for (int i = 0; i < 4; ++i) l.ComposeAlarmText(1);
    EXPECT_EQ(p.link.alarmText[c.alarm], c.warn);
    for (int i = 0; i < 9; ++i) l.ComposeAlarmText(1);
    EXPECT_EQ(p.link.alarmText[c.alarm], c.pause);
    EXPECT_EQ(p.link.stopState.load(), c.stop);
  }
}

TEST_F(AlarmFixture, GaugeBatteryCommunicationAndSettingsTexts) {
  Parameter& p = ch(1);
  p.link.sensorFault[0] = 1;
  p.link.sensorFault[2] = 1;
  p.link.stuck[1] = 1;
  compose(1);
  EXPECT_EQ(p.link.gaugeText, "1#试验位移1、3未接，2波动，请及时检查现场！");
  p.link.stuck[1] = 0;
  compose(1);
  EXPECT_EQ(p.link.gaugeText, "1#试验位移1、3未连接，请及时检查现场！");
  p.link.sensorFault[0] = 0;
  p.link.sensorFault[2] = 0;
  p.link.stuck[3] = 1;
  compose(1);
  EXPECT_EQ(p.link.gaugeText, "1#试验位移4有波动，请及时检查现场！");

  struct Battery {
    int valid, onBattery, level;
    const char* text;
  } batteries[] = {
      {1, 1, 1, "前端电量低,请充电！"}, {1, 1, 0, "前端电量过低，停止工作！"}, {1, 1, 5, ""},
      {1, 0, 0, ""}, {0, 1, 1, "前端电量低,请充电！"},  // the information bits do not matter
  };
  for (const auto& b : batteries) {
    p.batteryValid = b.valid;
    p.onBattery = b.onBattery;
    p.batteryLevel = b.level;
    compose(1);
    EXPECT_EQ(p.link.batteryText, b.text);
  }

  Parameter& q = ch(3);
  q.controllerSilent = 1;
  compose(3);
  EXPECT_EQ(q.link.commText, "3#试验通信故障，请及时检查现场！");
  EXPECT_EQ(q.link.auxOutput.load(), 255);
  EXPECT_TRUE(platform::device::board().buzzerOn);
  q.controllerSilent = 0;
  compose(3);
  EXPECT_EQ(q.link.commText, "");

  q.link.forceConfigError = 1;
  compose(3);
  EXPECT_EQ(q.link.configText, "3#试验传感器参数错误，请检查设置！");
  EXPECT_EQ(q.link.pauseRequested.load(), 0);
}

TEST_F(AlarmFixture, ModuleTextsFollowChannelOnesRoute) {
  Parameter& p = ch(2);
  c1.ParameterList.set(56, 3.0f);
  p.ParameterList.set(56, 1.0f);  // the channel's own route is not the one read
  struct Case {
    int status;
    const char* module;
    const char* box;
  } cases[] = {
      {3, "2#试验内置模块未登记！", ""},          {7, "2#试验内置模块流水号未备案！", ""},
      {6, "2#试验内置模块远程传输出现故障！", ""}, {13, "", "2#试验外置模块未登记！"},
      {17, "", "2#试验外置模块流水号未备案！"},     {15, "", "2#试验外置模块远程传输出现故障！"},
  };
  for (const auto& c : cases) {
    p.link.moduleText.clear();
    p.link.boxText.clear();
    p.uploadStatus = c.status < 12 ? c.status : 0;
    p.boxStatus = c.status >= 12 ? c.status : 0;
    compose(2);
    EXPECT_EQ(p.link.moduleText, c.module) << c.status;
    EXPECT_EQ(p.link.boxText, c.box) << c.status;
  }
  // Each route keeps its own code: both faults show at once.
  p.uploadStatus = 5;
  p.boxStatus = 13;
  compose(2);
  EXPECT_EQ(p.link.moduleText, "2#试验内置模块远程传输出现故障！");
  EXPECT_EQ(p.link.boxText, "2#试验外置模块未登记！");
}

TEST_F(AlarmFixture, PressureDeviationTexts) {
  Parameter& p = ch(1);
  p.link.pressureDeviation = 1;
  p.controlLoad = 100.0f;
  p.link.measuredLoad = 120.0f;
  compose(1);
  EXPECT_EQ(p.link.deviationText, "1#试验压力超过保护值！");
  p.link.measuredLoad = 80.0f;
  compose(1);
  EXPECT_EQ(p.link.deviationText, "1#试验压力低于保护值！");
  EXPECT_EQ(p.link.auxOutput.load(), 255);
}

TEST_F(AlarmFixture, RadioSignalLevel) {
  c1.ParameterList.set(57, 0.0f);
  struct Case {
    int sent, received, level;
  } cases[] = {{10, 8, 0}, {10, 0, 1}, {30, 10, 2}, {50, 10, 3}, {41, 0, 4}};
  for (const auto& c : cases) {
    for (int i = 0; i < 67; ++i) link->UpdateLinkQuality(1);
    c1.framesSent = c.sent;
    c1.repliesReceived = c.received;
    link->UpdateLinkQuality(1);
    EXPECT_EQ(window.signal, c.level) << c.sent << "/" << c.received;
    EXPECT_EQ(window.label, "信号强度");
    EXPECT_EQ(window.wired, -1);
    EXPECT_EQ(c1.framesSent.load(), 0);
  }
}

TEST_F(AlarmFixture, WiredLinkTimeout) {
  Parameter& p = ch(2);
  c1.tickLimit = 5;
  p.testRunning = 1;
  for (int i = 0; i < 5; ++i) link->UpdateLinkQuality(2);  // no reply in a whole period
  EXPECT_EQ(window.wired, 0);
  EXPECT_EQ(window.label, "有线未连");
  EXPECT_EQ(window.signal, -1);
  EXPECT_EQ(p.link.replyAlive.load(), 0);
  EXPECT_EQ(p.link.linkLost.load(), 1);
  EXPECT_EQ(c1.link.linkState, 2);
  p.link.goodReplies1 = 7;  // replies again
  for (int i = 0; i < 5; ++i) link->UpdateLinkQuality(2);
  EXPECT_EQ(window.wired, 1);
  EXPECT_EQ(window.label, "有线正常");
  EXPECT_EQ(p.link.linkLost.load(), 0);
  EXPECT_EQ(c1.link.linkState, 1);
}

TEST_F(AlarmFixture, BuzzerOnTheBoardOfEachKind) {
  link->AlarmOn();
  auto b = platform::device::board();
  EXPECT_TRUE(b.buzzerOn);
  link->BuzzerOff();
  EXPECT_FALSE(platform::device::board().buzzerOn);
  c1.boardFlag = 0;
  link->AlarmOn();
  EXPECT_TRUE(platform::device::board().buzzerOn);
  link->BuzzerOff();
  EXPECT_FALSE(platform::device::board().buzzerOn);
  EXPECT_GE(platform::device::board().buzzerLog.size(), 4u);
}

using Routing = AlarmFixture;

TEST_F(Routing, ReplyGoesToTheFirstMatchingChannelThatAwaitsOne) {
  using testing_frontend::makeReply;
  using testing_frontend::ReplyFields;
  auto reply = [](const char* number) {
    ReplyFields f;
    f.number = number;
    return makeReply(f);
  };
  for (Parameter* p : {&c1, &c2, &c3}) p->link.goodCount = 3;
  struct Case {
    const char* number;
    std::array<int, 3> taken;  // reply-taken flags before
    int parsedBy;              // 0 none
    int badFrame;              // channel 1's flag after
  } cases[] = {
      {"000002", {0, 0, 0}, 2, 0}, {"000002", {1, 1, 0}, 0, 0}, {"000003", {0, 0, 1}, 0, 1},
      {"000001", {1, 0, 0}, 0, 0}, {"000009", {0, 0, 0}, 0, 1}, {"000009", {1, 1, 1}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.number << " " << c.taken[0] << c.taken[1] << c.taken[2]);
    Parameter* chans[3] = {&c1, &c2, &c3};
    int before[3];
    for (int i = 0; i < 3; ++i) {
      chans[i]->replyTaken = static_cast<byte>(c.taken[static_cast<size_t>(i)]);
      before[i] = chans[i]->link.goodReplies1.load();
    }
    c1.badFrame = 0;
    auto r = reply(c.number);
    link->OnFrontEndFrame(r.data());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(chans[i]->link.goodReplies1.load() - before[i], c.parsedBy == i + 1 ? 1 : 0) << i;
    EXPECT_EQ(c1.badFrame.load(), c.badFrame);
  }
  // Two channels with one number: the first that awaits a reply takes it.
  c2.controllerNumber = "1";
  c1.replyTaken = 1;
  c2.replyTaken = 0;
  auto r = reply("000001");
  const int good2 = c2.link.goodReplies1.load();
  link->OnFrontEndFrame(r.data());
  EXPECT_EQ(c2.link.goodReplies1.load(), good2 + 1);
}
