// The system settings from the main window against simulated controllers on the radio and the wired
// port: switching the link type in the dialog makes the main loop reopen the link on the other port,
// and the chosen controller is then polled there alone.
#include "calib_ui/chuanganqi.h"
#include "setup_ui/xitong_baohu.h"
#include "tests/app/sim_loop_fixture.h"

using namespace apptest;
using X = XiTongBaoHu;
using O = SystemOption;

namespace {

class SystemSettingsLink : public SimLoopTest {
 protected:
  X& openSettings(CMonitorDlg& w) {
    EXPECT_TRUE(drv::tap(w, 1125));  // "系统设置"
    X* d = dialog<X>(MonitorSlot::XiTongBaoHu);
    EXPECT_TRUE(d->isWindowVisible());
    return *d;
  }
  void chooseLink(X& d, const std::string& caption) {
    const int id = X::kOption[static_cast<std::size_t>(O::Link)];
    for (int k = 0; k < 3 && drv::text(d, id) != caption; ++k) ASSERT_TRUE(drv::tap(d, id));
    ASSERT_EQ(drv::text(d, id), caption);
  }
  // Frames each simulator took for controller 1 over ms of instrument time.
  std::pair<std::size_t, std::size_t> framesOver(sim::FrontEndSimulator& radio, sim::FrontEndSimulator& wired,
                                                  std::uint64_t ms) {
    radio.clearLog();
    wired.clearLog();
    run(ms);
    auto count = [](const sim::FrontEndSimulator& s) {
      std::size_t n = 0;
      for (const auto& r : s.received())
        if (r.number == "000001") ++n;
      return n;
    };
    return {count(radio), count(wired)};
  }
};

}  // namespace

TEST_F(SystemSettingsLink, SwitchingTheLinkTypeReopensTheLinkOnTheOtherPort) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card" / "Backup");
  sim::FrontEndSimulator& radio = startSim("COM6");
  sim::FrontEndSimulator& wired = startSim("COM2");
  CMonitorDlg& w = startMain(1);
  run(900);

  // Controller 1 chosen on the radio link (a new instrument's): it is polled there.
  X& d = openSettings(w);
  ASSERT_TRUE(drv::tap(d, X::kController[0]));
  ASSERT_TRUE(drv::tap(d, X::kOk));
  auto* sensors = dialog<ChuanGanQi>(MonitorSlot::ChuanGanQi);
  ASSERT_TRUE(sensors->isWindowVisible());
  ASSERT_TRUE(drv::tap(*sensors, ChuanGanQi::kExit));
  auto [byRadio, byWire] = framesOver(radio, wired, 3000);
  EXPECT_GE(byRadio, 2u);
  EXPECT_EQ(byWire, 0u);

  // The wired link: the next ticks reopen the link on the wired port, and the radio falls silent.
  X& again = openSettings(w);
  chooseLink(again, "有线通信");
  ASSERT_TRUE(drv::tap(again, X::kOk));
  EXPECT_FALSE(again.isWindowVisible());
  EXPECT_EQ(w.channel(1).ParameterList.item(57), 1.0f);
  run(1800);
  EXPECT_EQ(w.channel(1).linkReopenRequest, 0) << "the main loop took the request";
  std::tie(byRadio, byWire) = framesOver(radio, wired, 3000);
  EXPECT_EQ(byRadio, 0u);
  EXPECT_GE(byWire, 2u);
  EXPECT_NE(w.channel(1).link.goodReplies2.load(), 0);

  // And back to the radio.
  X& third = openSettings(w);
  chooseLink(third, "无线通信");
  ASSERT_TRUE(drv::tap(third, X::kOk));
  run(1800);
  std::tie(byRadio, byWire) = framesOver(radio, wired, 3000);
  EXPECT_GE(byRadio, 2u);
  EXPECT_EQ(byWire, 0u);
}
