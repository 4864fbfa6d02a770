// The reply parser and the reader's byte stream: sensor settings from the input's first bytes, then the
// rest as 32-byte replies, routed by the link and parsed for channel 1. Every reading that comes out
// is finite, the coefficient stays finite and above 0, and the next command is built without fault.
#include <cmath>
#include <cstring>

#include "frontend/command.h"
#include "frontend/link.h"
#include "frontend/reply.h"
#include "tests/fuzz/fuzz_root.h"

namespace {

class NoWindow : public frontend::MainWindowPort {
 public:
  void showSignalLevel(int) override {}
  void showWiredState(int) override {}
  void setLinkLabel(const std::string&) override {}
  void messageBox(const std::string&) override {}
};

template <class T>
T take(const std::uint8_t*& at, const std::uint8_t* end) {
  T v{};
  if (end - at >= static_cast<std::ptrdiff_t>(sizeof v)) {
    std::memcpy(&v, at, sizeof v);
    at += sizeof v;
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  static Parameter ch[3];
  static NoWindow window;
  static frontend::FrontEndLink link(ch[0], ch[1], ch[2], window);
  const std::uint8_t* at = data;
  const std::uint8_t* end = data + size;
  for (int n = 0; n < 3; ++n) {
    Parameter& p = ch[n];
    p.controllerNumber = std::to_string(n + 1);
    p.link.measuredLoad = 0.0f;
    p.link.jackK = 1.0f;
  }
  Parameter& p = ch[0];
  p.forceSensorType = take<std::uint8_t>(at, end) % 3;
  p.pressureMethod = take<std::uint8_t>(at, end) % 4;
  p.testType = take<std::uint8_t>(at, end) % 6;
  p.sensorSetting = take<std::int32_t>(at, end);
  p.jackSetting = take<std::int32_t>(at, end);
  p.sensorCoefficient = take<float>(at, end);
  p.jackCoefficientA = take<float>(at, end);
  p.jackCoefficientB = take<float>(at, end);
  p.jackCoefficientC = take<float>(at, end);
  p.jackCoefficientD = take<float>(at, end);
  p.link.plateArea = take<float>(at, end);
  p.standardCode = take<std::uint8_t>(at, end);
  p.controlLoad = take<float>(at, end);
  if (!std::isfinite(p.controlLoad.load())) p.controlLoad = 0.0f;
  while (end - at >= 32) {
    for (Parameter& c : ch) c.replyTaken = 0;
    link.OnFrontEndFrame(at);
    p.replyTaken = 0;
    frontend::parseReply(p, at);
    at += 32;
    for (const Parameter& c : ch) {
      fuzz::check(std::isfinite(c.link.measuredLoad.load()) && std::isfinite(c.link.measuredPressure.load()),
                  "a load or pressure that is not finite");
      const float k = c.link.jackK.load();
      fuzz::check(std::isfinite(k) && k > 0.0f, "a coefficient that is not finite or not above 0");
      for (const auto& d : c.link.displacement) fuzz::check(std::isfinite(d.load()), "a displacement that is not finite");
    }
    frontend::buildCommand(p);
  }
  return 0;
}
