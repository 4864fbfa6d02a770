#include "setup/system_options.h"

#include <algorithm>

#include "model/datafiles.h"
#include "platform/text/text.h"

using platform::text::format;

namespace {

using O = SystemOption;

std::size_t at(O o) { return static_cast<std::size_t>(o); }

// Each option's captions in pressing order and the value each stands for.
struct OptionTable {
  std::vector<std::string> captions;
  std::vector<float> values;
};

const std::array<OptionTable, kSystemOptionCount>& tables() {
  static const std::array<OptionTable, kSystemOptionCount> t = {{
      {{"无线通信", kWiredLink}, {0, 1}},
      {{"内置模块发送", "外置模块发送", "同时发送", kRemoteDisabled}, {0, 2, 3, 1}},
      {{"按规范发送", "每分钟发送"}, {0, 1}},
      {{"普通双油路", "比例双油路", "开关双油路", "单油路"}, {1, 2, 3, 0}},
      {{"自动加载", "手动加载"}, {1, 0}},
      {{"荷重传感器", "10S油压传感器", "20S油压传感器"}, {0, 1, 2}},
      {{"UPM-50位移", "MS-50位移"}, {2, 1}},
      {{"1至4号通道", "5至8号通道"}, {0, 1}},
      {{"强停", "暂停"}, {0, 1}},
      {{"开", "关"}, {0, 1}},
  }};
  return t;
}

// The value a caption stands for; `fallback` for a caption not in the option's list.
float valueOf(O o, const std::string& caption, float fallback) {
  const OptionTable& t = tables()[at(o)];
  const auto it = std::find(t.captions.begin(), t.captions.end(), caption);
  return it == t.captions.end() ? fallback : t.values[static_cast<std::size_t>(it - t.captions.begin())];
}

// The caption of a stored value; `fallback` for a value no caption stands for.
std::string captionOf(O o, float value, const std::string& fallback) {
  const OptionTable& t = tables()[at(o)];
  for (std::size_t k = 0; k < t.values.size(); ++k)
    if (t.values[k] == value) return t.captions[k];
  return fallback;
}

bool running(const Parameter& p) { return p.testRunning.load() == 1; }

const std::string& first(O o) { return tables()[at(o)].captions.front(); }

}  // namespace

// ---- channels in use --------------------------------------------------------------------------------

int SelectedChannelNumber(const Parameter& channel1) {
  const std::string& s = channel1.selectedChannelText;
  return s == "1" ? 1 : s == "2" ? 2 : s == "3" ? 3 : 0;
}

bool ChannelInUse(const std::array<const Parameter*, 3>& channels, int n) {
  if (n < 1 || n > 3 || channels[0] == nullptr) return false;
  const Parameter* p = channels[static_cast<std::size_t>(n - 1)];
  if (p == nullptr) return false;
  return p->testRunning.load() == 1 || SelectedChannelNumber(*channels[0]) == n || p->pollWhenIdle.load() == 1;
}

// ---- options ----------------------------------------------------------------------------------------

const std::vector<std::string>& OptionCaptions(SystemOption option) { return tables()[at(option)].captions; }

std::string NextOptionCaption(SystemOption option, const std::string& caption) {
  const std::vector<std::string>& c = OptionCaptions(option);
  const auto it = std::find(c.begin(), c.end(), caption);
  if (it == c.end() || it + 1 == c.end()) return c.front();
  return *(it + 1);
}

std::string NextForceSensorCaption(float item11, const std::string& caption) {
  if (item11 == 2.0f) return "20S油压传感器";
  if (item11 == 0.0f || item11 == 1.0f) return caption == "10S油压传感器" ? "荷重传感器" : "10S油压传感器";
  if (caption == "10S油压传感器") return "20S油压传感器";
  if (caption == "20S油压传感器") return "荷重传感器";
  return "10S油压传感器";
}

SystemOptionCaptions InitialOptionCaptions() {
  SystemOptionCaptions c;
  c[O::Link] = "无线通信";
  c[O::Remote] = "内置模块发送";
  c[O::SendInterval] = "按规范发送";
  c[O::Displacement] = "UPM-50位移";
  c[O::OilCircuit] = "双油路";
  c[O::LoadingMode] = "自动加载";
  c[O::ForceSensor] = "10S油压传感器";
  c[O::Stability] = "1至4号通道";
  c[O::PromptTone] = "开";
  c[O::ZeroLevel] = "强停";
  return c;
}

SystemOptionsView ViewOptions(const Parameter& current, const Parameter& channel1, const SystemOptionCaptions& shown) {
  SystemOptionsView v;
  v.captions = shown;
  v.enabled.fill(true);
  const ParameterList& l = current.ParameterList;
  v.captions[O::Link] = captionOf(O::Link, channel1.ParameterList.item(57), first(O::Link));
  v.captions[O::PromptTone] = captionOf(O::PromptTone, channel1.ParameterList.item(88), first(O::PromptTone));
  v.captions[O::Remote] = captionOf(O::Remote, l.item(56), shown[O::Remote]);
  v.enabled[at(O::SendInterval)] = v.captions[O::Remote] != kRemoteDisabled;
  v.captions[O::SendInterval] = captionOf(O::SendInterval, l.item(74), first(O::SendInterval));
  v.captions[O::ZeroLevel] = captionOf(O::ZeroLevel, l.item(99), first(O::ZeroLevel));
  v.captions[O::LoadingMode] =
      JDQFile::HeaderText(current.testRecords, 30, 2).starts_with('1') ? "自动加载" : "手动加载";
  v.captions[O::OilCircuit] = captionOf(O::OilCircuit, l.item(10), "单油路");

  const float sensor = l.item(11);
  if (sensor == 2.0f) {
    v.captions[O::ForceSensor] = "20S油压传感器";
    v.enabled[at(O::ForceSensor)] = false;
  } else if (sensor == 0.0f || sensor == 1.0f) {
    v.captions[O::ForceSensor] = sensor == 0.0f ? "荷重传感器" : "10S油压传感器";
    v.enabled[at(O::ForceSensor)] = !running(current);
  } else {
    v.captions[O::ForceSensor] = "10S油压传感器";
  }

  // Once chosen, the displacement sensor and the stability channels stay.
  const float gauge = l.item(85);
  v.captions[O::Displacement] = gauge == 1.0f ? "MS-50位移" : "UPM-50位移";
  v.enabled[at(O::Displacement)] = gauge != 1.0f && gauge != 2.0f;
  const float stability = l.item(98);
  v.captions[O::Stability] = stability == 1.0f ? "5至8号通道" : "1至4号通道";
  v.enabled[at(O::Stability)] = stability != 0.0f && stability != 1.0f;
  return v;
}

std::string SystemSettingsTitle(const Parameter& p) {
  std::string title = p.channelName + "# 编号：" + p.controllerNumber.get();
  if (const std::string serial = JDQFile::HeaderText(p.testRecords, 7, 3); !serial.empty()) title += " 流水号 " + serial;
  if (const std::string pile = JDQFile::HeaderText(p.testRecords, 8, 1); !pile.empty()) title += " 桩号 " + pile;
  return title;
}

std::string SystemSettingsGroupCaption(const Parameter& p) { return "当前为" + p.channelName + "#测控器系统设置"; }

bool WriteSystemOptions(const std::array<Parameter*, 3>& channels, Parameter& current,
                        const SystemOptionCaptions& c) {
  Parameter& c1 = *channels[0];
  ParameterList& l = current.ParameterList;
  // The upload route and the prompt tone are the instrument's: every channel carries them.
  const float route = valueOf(O::Remote, c[O::Remote], l.item(56));
  const float tone = valueOf(O::PromptTone, c[O::PromptTone], c1.ParameterList.item(88));
  for (Parameter* p : channels) {
    p->ParameterList.set(56, route);
    p->ParameterList.set(88, tone);
  }
  l.set(74, valueOf(O::SendInterval, c[O::SendInterval], 0));
  l.set(84, c.sensorModel == kSensorModel ? 1.0f : 2.0f);
  l.set(85, valueOf(O::Displacement, c[O::Displacement], l.item(85)));
  l.set(98, valueOf(O::Stability, c[O::Stability], l.item(98)));
  l.set(99, valueOf(O::ZeroLevel, c[O::ZeroLevel], 0));

  const float before = c1.ParameterList.item(57);
  const float link = valueOf(O::Link, c[O::Link], 0);
  c1.ParameterList.set(57, link);

  const float oil = valueOf(O::OilCircuit, c[O::OilCircuit], 0);
  current.loadingMode = static_cast<int>(oil);
  l.set(10, oil);
  JDQFile::SetHeaderText(current.testRecords, 32, 2, platform::text::truncateChars(format("%.0f", oil), 20));

  const bool automatic = c[O::LoadingMode] == "自动加载";
  current.criteriaFlag = automatic ? 1 : 0;
  std::string mode = JDQFile::HeaderText(current.testRecords, 30, 2);
  if (mode.empty()) mode = automatic ? "1" : "0";
  else mode[0] = automatic ? '1' : '0';
  JDQFile::SetHeaderText(current.testRecords, 30, 2, mode);

  const float sensor = valueOf(O::ForceSensor, c[O::ForceSensor], 1);
  current.forceSensorType = static_cast<int>(sensor);
  l.set(11, sensor);
  JDQFile::SetHeaderText(current.testRecords, 12, 3, platform::text::truncateChars(format("%.0f", sensor), 60));
  return link != before;
}

std::string CheckLinkChoice(const std::string& linkCaption, const std::array<const Parameter*, 3>& channels) {
  if (linkCaption == kWiredLink && (ChannelInUse(channels, 2) || ChannelInUse(channels, 3))) return kWiredLinkRefused;
  return {};
}

// ---- battery ------------------------------------------------------------------------------------------

std::string BatteryText(const Parameter& p) {
  if (p.controllerSilent.load() != 0 || p.batteryValid.load() == 0) return {};
  const int level = p.batteryLevel.load();
  switch (p.onBattery.load()) {
    case 0:
      if (level == 0) return "前端充电\r\n中:5%";
      if (level == 10) return "前端电池\r\n充满:100%";
      return "前端充电\r\n中:" + format("%d", level * 10) + "%";
    case 1:
      if (level == 0) return "电量低前端\r\n停止工作";
      if (level == 1) return "前端电量\r\n低,请充电";
      return "前端剩余\r\n电量:" + format("%d", level * 10) + "%";
    default:
      return {};
  }
}
