#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frontend/codec.h"
#include "model/parameter.h"

namespace testing_frontend {

// A channel set up for the link: controller number, four gauges on, a load cell with k = 1.
inline void setUpChannel(Parameter& p, const std::string& number, const std::string& name) {
  p.controllerNumber = number;
  p.channelName = name;
  p.forceSensorType = 0;
  p.sensorCoefficient = 1.0f;
  p.jackSetting = 1;
  p.link.jackK = 1.0f;
  for (int i = 0; i < 4; ++i) {
    p.link.gaugeOn[static_cast<size_t>(i)] = 1;
    p.displacementOn[static_cast<size_t>(i)] = 1;
  }
  for (auto& d : p.sensorTableC) d = 1;
  p.link.pumpState = 85;
  p.link.replyAlive = 1;
}

struct ReplyFields {
  std::string number = "000001";
  int force = 0;
  std::array<int, 8> gauges{};
  std::uint8_t pump = 85, valve = 17, faults = 0, status27 = 0, status28 = 0, battery = 0x58;
};

inline frontend::ReplyFrame makeReply(const ReplyFields& s) {
  frontend::ReplyFrame r{};
  r[0] = 0xAA;
  frontend::encodeValue16(s.force, &r[1]);
  for (int g = 0; g < 8; ++g) frontend::encodeValue16(s.gauges[static_cast<size_t>(g)], &r[static_cast<size_t>(5 + 2 * g)]);
  r[21] = s.pump;
  r[22] = s.valve;
  frontend::packControllerNumber(s.number, &r[23]);
  r[26] = s.faults;
  r[27] = s.status27;
  r[28] = s.status28;
  r[30] = s.battery;
  r[31] = frontend::byteSum(r.data(), 31);
  return r;
}

}  // namespace testing_frontend

#include <mutex>
#include <vector>

#include "frontend/mainwindow_port.h"

namespace testing_frontend {

// Records what the link shows on the main window.
class RecordingWindow : public frontend::MainWindowPort {
 public:
  void showSignalLevel(int level) override {
    std::lock_guard<std::mutex> lk(m);
    signal = level;
  }
  void showWiredState(int state) override {
    std::lock_guard<std::mutex> lk(m);
    wired = state;
  }
  void setLinkLabel(const std::string& text) override {
    std::lock_guard<std::mutex> lk(m);
    label = text;
  }
  void messageBox(const std::string& text) override {
    std::lock_guard<std::mutex> lk(m);
    boxes.push_back(text);
  }
  std::mutex m;
  int signal = -2;
  int wired = -2;
  std::string label;
  std::vector<std::string> boxes;
};

}  // namespace testing_frontend
