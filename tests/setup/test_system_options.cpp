// The system options without windows: the press cycles, the force sensor's own cycle, what a channel
// shows, the writing of the options, the wired-link refusal and the battery texts.
#include <gtest/gtest.h>

#include <string>

#include "model/datafiles.h"
#include "setup/system_options.h"

namespace {

using O = SystemOption;

struct Channels {
  Parameter ch[3];
  Channels() {
    for (int n = 1; n <= 3; ++n) {
      Parameter& p = ch[n - 1];
      p.channelName = std::to_string(n);
      p.ParameterList.setChannelNumber(n);
      p.ParameterList.extendWithDefaults();
      JDQFile::BuildHeaderRecords(p);
    }
  }
  std::array<Parameter*, 3> all() { return {&ch[0], &ch[1], &ch[2]}; }
  std::array<const Parameter*, 3> view() { return {&ch[0], &ch[1], &ch[2]}; }
};

}  // namespace

TEST(SystemOptions, EveryPressMovesToTheNextChoiceAndAStrangeCaptionToTheFirst) {
  struct Case {
    O option;
    std::vector<std::string> cycle;
  } cases[] = {
      {O::Link, {"无线通信", "有线通信"}},
      {O::Remote, {"内置模块发送", "外置模块发送", "同时发送", "禁止远程传输"}},
      {O::SendInterval, {"按规范发送", "每分钟发送"}},
      {O::OilCircuit, {"普通双油路", "比例双油路", "开关双油路", "单油路"}},
      {O::LoadingMode, {"自动加载", "手动加载"}},
      {O::Displacement, {"UPM-50位移", "MS-50位移"}},
      {O::Stability, {"1至4号通道", "5至8号通道"}},
      {O::ZeroLevel, {"强停", "暂停"}},
      {O::PromptTone, {"开", "关"}},
  };
  for (const Case& c : cases) {
    for (std::size_t k = 0; k < c.cycle.size(); ++k)
      EXPECT_EQ(NextOptionCaption(c.option, c.cycle[k]), c.cycle[(k + 1) % c.cycle.size()]) << c.cycle[k];
    EXPECT_EQ(NextOptionCaption(c.option, "双油路"), c.cycle.front());
  }
  // The force sensor by the stored item 11.
  EXPECT_EQ(NextForceSensorCaption(2, "20S油压传感器"), "20S油压传感器");
  EXPECT_EQ(NextForceSensorCaption(0, "荷重传感器"), "10S油压传感器");
  EXPECT_EQ(NextForceSensorCaption(1, "10S油压传感器"), "荷重传感器");
  EXPECT_EQ(NextForceSensorCaption(3, "10S油压传感器"), "20S油压传感器");
  EXPECT_EQ(NextForceSensorCaption(3, "20S油压传感器"), "荷重传感器");
  EXPECT_EQ(NextForceSensorCaption(3, "荷重传感器"), "10S油压传感器");
}

TEST(SystemOptions, AChannelShowsItsStoredChoicesWithTheirLocks) {
  Channels c;
  Parameter& p = c.ch[1];
  SystemOptionCaptions shown = InitialOptionCaptions();
  shown[O::Remote] = "同时发送";
  p.ParameterList.set(56, 7);  // no such route: the caption on screen stays
  p.ParameterList.set(10, 9);
  p.ParameterList.set(11, 2);
  p.ParameterList.set(85, 1);
  p.ParameterList.set(98, 5);
  c.ch[0].ParameterList.set(57, 1);
  c.ch[0].ParameterList.set(88, 1);
  JDQFile::SetHeaderText(p.testRecords, 30, 2, "0");
  SystemOptionsView v = ViewOptions(p, c.ch[0], shown);
  EXPECT_EQ(v.captions[O::Remote], "同时发送");
  EXPECT_EQ(v.captions[O::OilCircuit], "单油路");
  EXPECT_EQ(v.captions[O::LoadingMode], "手动加载");
  EXPECT_EQ(v.captions[O::ForceSensor], "20S油压传感器");
  EXPECT_FALSE(v.isEnabled(O::ForceSensor));
  EXPECT_EQ(v.captions[O::Displacement], "MS-50位移");
  EXPECT_FALSE(v.isEnabled(O::Displacement));
  EXPECT_EQ(v.captions[O::Stability], "1至4号通道");
  EXPECT_TRUE(v.isEnabled(O::Stability));
  EXPECT_EQ(v.captions[O::Link], "有线通信");
  EXPECT_EQ(v.captions[O::PromptTone], "关");

  p.ParameterList.set(56, 1);
  p.ParameterList.set(11, 0);
  p.ParameterList.set(98, 1);
  p.testRunning = 1;
  v = ViewOptions(p, c.ch[0], shown);
  EXPECT_EQ(v.captions[O::Remote], "禁止远程传输");
  EXPECT_FALSE(v.isEnabled(O::SendInterval));
  EXPECT_EQ(v.captions[O::ForceSensor], "荷重传感器");
  EXPECT_FALSE(v.isEnabled(O::ForceSensor)) << "locked while the test runs";
  EXPECT_EQ(v.captions[O::Stability], "5至8号通道");
  EXPECT_FALSE(v.isEnabled(O::Stability));
}

TEST(SystemOptions, WritingPutsEachItemWhereItsReadersLook) {
  Channels c;
  Parameter& cur = c.ch[2];
  SystemOptionCaptions o = InitialOptionCaptions();
  o[O::Remote] = "外置模块发送";
  o[O::PromptTone] = "关";
  o[O::SendInterval] = "每分钟发送";
  o[O::OilCircuit] = "开关双油路";
  o[O::LoadingMode] = "手动加载";
  o[O::ForceSensor] = "荷重传感器";
  o[O::Displacement] = "MS-50位移";
  o[O::Stability] = "5至8号通道";
  o[O::ZeroLevel] = "暂停";
  o[O::Link] = "无线通信";
  o.sensorModel = "other";
  EXPECT_FALSE(WriteSystemOptions(c.all(), cur, o)) << "item 57 stays 0";
  for (const Parameter& p : c.ch) {
    EXPECT_EQ(p.ParameterList.item(56), 2.0f);
    EXPECT_EQ(p.ParameterList.item(88), 1.0f);
  }
  const ParameterList& l = cur.ParameterList;
  EXPECT_EQ(l.item(74), 1.0f);
  EXPECT_EQ(l.item(84), 2.0f);
  EXPECT_EQ(l.item(85), 1.0f);
  EXPECT_EQ(l.item(98), 1.0f);
  EXPECT_EQ(l.item(99), 1.0f);
  EXPECT_EQ(l.item(10), 3.0f);
  EXPECT_EQ(cur.loadingMode, 3);
  EXPECT_EQ(l.item(11), 0.0f);
  EXPECT_EQ(cur.forceSensorType, 0);
  EXPECT_EQ(cur.criteriaFlag, 0);
  EXPECT_EQ(JDQFile::HeaderText(cur.testRecords, 32, 2), "3");
  EXPECT_EQ(JDQFile::HeaderText(cur.testRecords, 30, 2), "0");
  EXPECT_EQ(JDQFile::HeaderText(cur.testRecords, 12, 3), "0");
  EXPECT_EQ(c.ch[1].ParameterList.item(74), 0.0f) << "the other channels keep their own";

  o[O::Link] = "有线通信";
  o[O::LoadingMode] = "自动加载";
  JDQFile::SetHeaderText(cur.testRecords, 30, 2, "0x");
  EXPECT_TRUE(WriteSystemOptions(c.all(), cur, o));
  EXPECT_EQ(c.ch[0].ParameterList.item(57), 1.0f);
  EXPECT_EQ(JDQFile::HeaderText(cur.testRecords, 30, 2), "1x") << "only the first character";
  EXPECT_EQ(cur.criteriaFlag, 1);
  EXPECT_FALSE(WriteSystemOptions(c.all(), cur, o));
}

TEST(SystemOptions, TheWiredLinkServesOnlyControllerOne) {
  Channels c;
  EXPECT_EQ(CheckLinkChoice("有线通信", c.view()), "");
  c.ch[0].testRunning = 1;
  EXPECT_EQ(CheckLinkChoice("有线通信", c.view()), "");
  for (int n : {2, 3}) {
    Channels d;
    d.ch[n - 1].pollWhenIdle = 1;
    EXPECT_EQ(CheckLinkChoice("有线通信", d.view()), kWiredLinkRefused);
    EXPECT_EQ(CheckLinkChoice("无线通信", d.view()), "");
    Channels e;
    e.ch[0].selectedChannelText = std::to_string(n);
    EXPECT_EQ(CheckLinkChoice("有线通信", e.view()), kWiredLinkRefused);
    Channels f;
    f.ch[n - 1].testRunning = 1;
    EXPECT_EQ(CheckLinkChoice("有线通信", f.view()), kWiredLinkRefused);
  }
}

TEST(SystemOptions, BatteryTextsByChargeStateAndLevel) {
  struct Case {
    int silent, valid, onBattery, level;
    const char* text;
  } cases[] = {
      {1, 1, 1, 5, ""},
      {0, 0, 1, 5, ""},
      {0, 1, 0, 0, "前端充电\r\n中:5%"},
      {0, 1, 0, 10, "前端电池\r\n充满:100%"},
      {0, 1, 0, 4, "前端充电\r\n中:40%"},
      {0, 1, 0, 12, "前端充电\r\n中:120%"},
      {0, 1, 1, 0, "电量低前端\r\n停止工作"},
      {0, 1, 1, 1, "前端电量\r\n低,请充电"},
      {0, 1, 1, 7, "前端剩余\r\n电量:70%"},
      {0, 1, 1, 10, "前端剩余\r\n电量:100%"},
      {0, 1, 2, 7, ""},
  };
  for (const Case& c : cases) {
    Parameter p;
    p.controllerSilent = c.silent;
    p.batteryValid = c.valid;
    p.onBattery = c.onBattery;
    p.batteryLevel = c.level;
    EXPECT_EQ(BatteryText(p), c.text) << c.silent << c.valid << c.onBattery << c.level;
  }
}
