// Link quality, the alarm output and the alarm texts of a channel (user-interface thread).
#include <algorithm>
#include <string>

#include "frontend/link.h"

namespace frontend {

namespace dev = platform::device;

void FrontEndLink::UpdateLinkQuality(int n) {
  Parameter& p = channel(n);
  Parameter& c1 = *ch_[0];
  LinkState& s = p.link;
  const bool radio = c1.ParameterList.item(57) == 0.0f;
  if (radio) {
    if (s.refreshCounter < 67) {
      ++s.refreshCounter;
    } else {
      float lost = static_cast<float>(p.framesSent.load()) - static_cast<float>(p.repliesReceived.load());
      s.signalLevel = lost <= 2 ? 0 : lost <= 10 ? 1 : lost <= 20 ? 2 : lost <= 40 ? 3 : 4;
      p.framesSent.store(0);
      p.repliesReceived.store(0);
      s.refreshCounter = 0;
    }
    window_.showSignalLevel(s.signalLevel);
    window_.setLinkLabel("信号强度");
  } else {
    s.signalLevel = 0;
    p.framesSent.store(0);
    p.repliesReceived.store(0);
    window_.showSignalLevel(-1);
  }

  // Time-out of the controller.
  ++s.timeoutTicks;
  if (s.timeoutTicks >= c1.tickLimit) {
    int good = s.goodReplies1.load();
    if (good != s.goodSnapshot) {
      s.linkLost.store(0);
      s.timedOut = 0;
      if (c1.link.linkState == 2 || c1.link.linkState == 3) c1.link.linkState = 1;
    } else {
      s.replyAlive.store(0);
      s.timedOut = 1;
      if (p.testRunning.load() == 1) {
        s.linkLost.store(1);
        c1.link.linkState = 2;
      }
    }
    s.goodSnapshot = good;
    s.timeoutTicks = 0;
  }

  if (radio) {
    window_.showWiredState(-1);
  } else if (s.timedOut) {
    window_.showWiredState(0);
    window_.setLinkLabel("有线未连");
  } else {
    window_.showWiredState(1);
    window_.setLinkLabel("有线正常");
  }
}

void FrontEndLink::AlarmOn() {
  for (Parameter* p : ch_) p->alarmOn.store(1);
  std::lock_guard<std::mutex> lk(deviceLock_);
  if (ch_[0]->boardFlag.load() == 1) {
    if (udc_ == dev::kInvalidHandle) udc_ = dev::open("UDC1:");
    if (udc_ != dev::kInvalidHandle) {
      dev::control(udc_, dev::kUdcBuzzerOn);
      dev::control(udc_, dev::kUdcBuzzerOnEnd);
    }
  } else {
    if (msc_ == dev::kInvalidHandle) msc_ = dev::open("MSC1:");
    if (msc_ != dev::kInvalidHandle) dev::control(msc_, dev::kMscBuzzer, 1u);
  }
}

void FrontEndLink::BuzzerOff() {
  std::lock_guard<std::mutex> lk(deviceLock_);
  if (ch_[0]->boardFlag.load() == 1) {
    if (udc_ != dev::kInvalidHandle) {
      dev::control(udc_, dev::kUdcBuzzerOff);
      dev::control(udc_, dev::kUdcBuzzerOffEnd);
    }
  } else if (msc_ != dev::kInvalidHandle) {
    dev::control(msc_, dev::kMscBuzzer, 0u);
  }
}

void FrontEndLink::ComposeAlarmText(int n) {
  Parameter& p = channel(n);
  Parameter& c1 = *ch_[0];
  LinkState& s = p.link;
  const std::string prefix = std::to_string(n);
  const bool preload = p.preloadRunning.load() != 0;
  bool active = false;
  auto sound = [&] {
    if (c1.alarmOn.load() == 0) AlarmOn();
  };

  // Before the conditions.
  if (p.pumpCommand.load() > 0) ++s.pumpOnCounter;
  else s.pumpOnCounter = 0;
  const bool noPressure = s.valveReply.load() == 1 && p.protectionSetting.load() > 0;
  if (noPressure) {
    s.pumpOnCounter = 0;
    s.cannotBuildPressure = 1;
  }

  // Displacements of channels 1..4 that are on.
  float lo = 0, hi = 0;
  bool any = false, near = false;
  for (size_t i = 0; i < 4; ++i) {
    if (!s.gaugeOn[i].load()) continue;
    float d = s.displacement[i].load();
    if (!any) lo = hi = d;
    lo = std::min(lo, d);
    hi = std::max(hi, d);
    any = true;
    if (s.nearRange[i].load()) near = true;
  }
  const float unevenLimit = p.protection2.load();
  const float settleLimit = p.protection1.load();
  const int sensor = s.status27.load();
  const bool loadCell = p.forceSensorType.load() == 0;
  const bool zeroLoadWarnOnly = p.controlLoad.load() <= 0 && p.ParameterList.item(99) == 0.0f;

  struct Rule {
    bool holds;
    const char* warn;
    const char* pause;
    int stopState;
  };
  const Rule rules[LinkState::kPersistent] = {
      {any && unevenLimit > 0 && hi - lo > unevenLimit, "#试验出现不均匀沉降,请及时检查现场！",
       "#试验出现不均匀沉降，已暂停试验！请按恢复试验键恢复！", 2},
      {any && settleLimit > 0 && s.meanDisplacement.load() > settleLimit, "#试验沉降超过允许值，请及时检查现场！",
       "#试验沉降超过允许值，已暂停试验！请按恢复试验键恢复！", 2},
      {noPressure, "#试验加不上压，请及时检查现场！",
       zeroLoadWarnOnly ? "#加不上压,请及时检查现场!" : "#加不上压,试验暂停!“恢复测试”键恢复", zeroLoadWarnOnly ? 5 : 2},
      {near, "#试验位移接近最大量程，请及时检查现场！", "#试验位移接近最大量程，已暂停试验！请按恢复试验键恢复！", 2},
      {sensor == 1 || sensor == 2,
       loadCell ? "#试验荷重传感器未连接，请及时检查现场！" : "#试验油压传感器未连接，请及时检查现场！",
       loadCell ? "#试验荷重传感器未连接，已暂停试验！请按恢复试验键恢复！"
                : "#试验油压传感器未连接，已暂停试验！请按恢复试验键恢复！",
       2},
  };
  for (size_t i = 0; i < LinkState::kPersistent; ++i) {
    const Rule& r = rules[i];
    int& count = s.persistence[i];
    std::string& text = s.alarmText[i];
    if (r.holds) {
      ++count;
      if (count >= 13) {
        count = 12;
        s.pauseRequest[i] = 1;
      }
      if (count >= 4) {
        text = prefix + r.warn;
        active = true;
        sound();
      }
    } else {
      count = 0;
      if (!s.pauseRequest[i]) text.clear();
    }
    if (s.pauseRequest[i]) {
      active = true;
      if (!preload) {
        text = prefix + r.pause;
        s.stopState.store(r.stopState);
        s.pauseRequested.store(1);
      } else {
        text = prefix + r.warn;
        s.stopState.store(4);
      }
    }
  }

  // Pressure deviation.
  if (s.pressureDeviation.load()) {
    s.deviationText = prefix + (s.measuredLoad.load() > p.controlLoad.load() ? "#试验压力超过保护值！" : "#试验压力低于保护值！");
    active = true;
  } else {
    s.deviationText.clear();
  }

  // Upload modules (route of channel 1).
  const int route = toIntSaturated(c1.ParameterList.item(56));
  const int status = p.uploadStatus.load();
  const int boxStatus = p.boxStatus.load();
  if (route == 0 || route == 3) {
    switch (status) {
      case 3: s.moduleText = prefix + "#试验内置模块未登记！"; break;
      case 7: s.moduleText = prefix + "#试验内置模块流水号未备案！"; break;
      case 5: case 6: s.moduleText = prefix + "#试验内置模块远程传输出现故障！"; break;
      case 2: case 4: s.moduleText.clear(); break;
      case 1000: s.moduleText = p.uploadMessagePrefixed.get(); break;
      default: break;
    }
  }
  if (route == 2 || route == 3) {
    switch (boxStatus) {
      case 13: s.boxText = prefix + "#试验外置模块未登记！"; break;
      case 17: s.boxText = prefix + "#试验外置模块流水号未备案！"; break;
      case 15: case 16: s.boxText = prefix + "#试验外置模块远程传输出现故障！"; break;
      case 12: case 14: s.boxText.clear(); break;
      default: break;
    }
  }

  // Battery of the controller.
  s.batteryText.clear();
  if (p.onBattery.load() == 1) {
    if (p.batteryLevel.load() == 1) s.batteryText = "前端电量低,请充电！";
    else if (p.batteryLevel.load() == 0) s.batteryText = "前端电量过低，停止工作！";
  }

  // Displacement sensors 1..4: not connected (fault) or fluctuating (stuck filter).
  std::string listA, listB;
  for (size_t i = 0; i < 4; ++i) {
    std::string item = std::to_string(i + 1) + "、";
    if (s.sensorFault[i].load()) listA += item;
    else if (s.stuck[i].load()) listB += item;
  }
  auto trim = [](std::string& t) {
    const std::string sep = "、";
    if (t.size() >= sep.size() && t.compare(t.size() - sep.size(), sep.size(), sep) == 0) t.resize(t.size() - sep.size());
  };
  trim(listA);
  trim(listB);
  if (!listA.empty() && listB.empty())
    s.gaugeText = prefix + "#试验位移" + listA + "未连接，请及时检查现场！";
  else if (!listA.empty())
    s.gaugeText = prefix + "#试验位移" + listA + "未接，" + listB + "波动，请及时检查现场！";
  else if (!listB.empty())
    s.gaugeText = prefix + "#试验位移" + listB + "有波动，请及时检查现场！";
  else
    s.gaugeText.clear();

  // Communication.
  if (p.controllerSilent.load()) {
    sound();
    active = true;
    s.commText = prefix + "#试验通信故障，请及时检查现场！";
    s.commCycle = s.commCycle >= 6 ? 1 : s.commCycle + 1;
  } else {
    s.commText.clear();
  }

  // Sensor settings that give no usable force conversion.
  if (s.forceConfigError.load()) s.configText = prefix + "#试验传感器参数错误，请检查设置！";
  else s.configText.clear();

  s.auxOutput.store(active ? 255 : 0);
}

}  // namespace frontend
