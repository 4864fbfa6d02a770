// bench-libs: setup_ui calib_ui app platform_ui platform_clock platform_fs platform_device
// Repainting the screen on the headless display, per repaint:
//  - BM_DrawWholeScreen: a synthetic 1024 x 768 screen of controls (two-line buttons, value and label
//    statics with their fonts and colours, lamp buttons, a progress bar, and a tab whose page holds a
//    report list with grid lines and coloured rows);
//  - BM_RealMainWindowRedraw: the program's own main monitoring window, idle on a fresh instrument,
//    repainted in full;
//  - BM_RealMainWindowIdleTick: one 900 ms tick of that window's main loop on the manual clock with
//    whatever repaint the tick causes (the lamps' own timers included);
//  - BM_RealMainWindowTickAgainstRedraw: the two in turns, with the ratio of the tick's CPU time to the
//    full repaint's (a tick repaints only what it changed: the clock).
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/thread_time.h"
#include "app/monitor_dialogs.h"
#include "app/monitor_dlg.h"
#include "calib_ui/calib_dialogs.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "platform/ui/driver.h"

#include "platform/clock/clock.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"
#include "setup_ui/setup_dialogs.h"

using namespace platform::ui;

namespace {

using bench::threadCpuUs;

constexpr int kMain = 9901;
constexpr int kPage = 9902;

DialogTemplate mainTemplate() {
  DialogTemplate t;
  t.id = kMain;
  t.rect = {0, 0, 1024, 768};
  t.style = WS_VISIBLE;
  const char* captions[] = {"工程\r\n信息", "参数\r\n设置", "规范\r\n选择", "系统\r\n设置", "数据\r\n设置",
                            "试桩\r\n控制", "试桩\r\n数据", "系统\r\n标定", "软件\r\n升级", "暂停\r\n试验",
                            "手动\r\n加载", "手动\r\n卸载"};
  for (int i = 0; i < 12; ++i)
    t.controls.push_back({1122 + i, ControlClass::Button, captions[i], {4 + i * 85, 700, 86 + i * 85, 764}, 0, true,
                          true, 28, 500});
  for (int i = 0; i < 3; ++i)
    t.controls.push_back({1307 + i, ControlClass::Button, std::to_string(i + 1) + "#", {470 + i * 90, 4, 555 + i * 90, 60},
                          BS_OWNERDRAW, true, true, 28, 500});
  for (int i = 0; i < 16; ++i) {
    int x = 4 + (i % 2) * 230, y = 4 + (i / 2) * 84;
    t.controls.push_back({1009 + 2 * i, ControlClass::Static, "荷载(kN)", {x, y, x + 220, y + 26}, 0, true, true, 20, 400});
    t.controls.push_back({1010 + 2 * i, ControlClass::Static, "1234.56", {x, y + 28, x + 220, y + 76}, SS_CENTER, true,
                          true, i < 2 ? 46 : 34, 500});
  }
  t.controls.push_back({1100, ControlClass::Static, "1#试验 正在加载，第3级 荷载 1200kN", {470, 640, 1020, 690},
                        SS_CENTERIMAGE, true, true, 30, 500});
  t.controls.push_back({1234, ControlClass::Progress, "", {470, 612, 1020, 634}});
  t.controls.push_back({1240, ControlClass::Tab, "", {470, 64, 1020, 608}, TCS_BOTTOM, true, true, 23, 500});
  return t;
}

TemplateRegistration regMain{mainTemplate()};
TemplateRegistration regPage{DialogTemplate{kPage, {0, 0, 540, 500}, WS_CHILD, "", 0, 0,
                                            {{1126, ControlClass::List, "", {0, 0, 540, 500}, LVS_REPORT, true,
                                              true, 21, 400}}}};

class Lamp : public Button {
 public:
  void drawItem(DrawItem& di) override {
    di.dc->drawFrameControl(di.rcItem, DFC_BUTTON, DFCS_BUTTONPUSH);
    di.dc->fillSolidRect(di.rcItem.deflate(2, 2), RGB(0, 255, 0));
    di.dc->setBkMode(TRANSPARENT);
    di.dc->drawText(getWindowText(), di.rcItem, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
};

class MainWindow : public Dialog {
 public:
  MainWindow() : Dialog(kMain) {
    for (int i = 0; i < 3; ++i) bindControl(1307 + i, lamps[i]);
    on(WM_CTLCOLOR, [](Message& m) {
      CtlColor& c = CtlColor::of(m);
      if (c.kind != CTLCOLOR_STATIC || !c.control) return LRESULT{0};
      if (c.control->id() == 1100) c.dc->setTextColor(RGB(255, 0, 0));
      else if (c.control->id() % 2 == 0) c.dc->setTextColor(RGB(0, 0, 255));
      return LRESULT{0};
    });
    on(WM_PAINT, [this](Message& m) {
      defWindowProc(m);
      PaintDC dc(*this);
      dc.selectBrush(Brush::null());
      dc.selectPen(Pen{PS_SOLID, 1, RGB(0x78, 0x78, 0x78)});
      for (int i = 0; i < 16; ++i) {
        int x = 4 + (i % 2) * 230, y = 4 + (i / 2) * 84;
        dc.roundRect({x - 2, y - 2, x + 222, y + 80}, 10, 10);
      }
      return LRESULT{0};
    });
  }
  Lamp lamps[3];
};

class Page : public Dialog {
 public:
  Page() : Dialog(kPage) {}
};

void BM_DrawWholeScreen(benchmark::State& st) {
  platform::clock::configure(platform::clock::Mode::Manual);
  init(Options{DisplayKind::Headless});
  {
    MainWindow main;
    main.create();
    auto* tab = main.item<TabCtrl>(1240);
    const char* tabs[] = {"数据记录表", "荷载沉降表", "汇总表", "Q-s曲线", "s-lgQ曲线", "s-lgt曲线"};
    for (int i = 0; i < 6; ++i) tab->insertItem(i, tabs[i]);
    Page page;
    page.create(tab);
    page.moveWindow(tab->displayRect());
    page.showWindow(SW_SHOW);
    auto* list = page.item<ListCtrl>(1126);
    list->setExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    const char* cols[] = {"ID", "荷 载", "油 压", "时 间", "1#", "2#", "3#", "4#", "平均", "本级"};
    for (int c = 0; c < 10; ++c) list->insertColumn(c, cols[c], c ? LVCFMT_CENTER : LVCFMT_LEFT, c ? 56 : 40);
    for (int r = 0; r < 40; ++r) {
      list->insertItem(r, std::to_string(r + 1));
      for (int c = 1; c < 10; ++c) list->setItemText(r, c, std::to_string(r * 10 + c) + ".25");
      list->setItemColor(r, r % 5 ? RGB(255, 255, 255) : RGB(0xEB, 0xEB, 0xEB));
    }
    main.item<Progress>(1234)->setRange(0, 255);
    main.item<Progress>(1234)->setPos(120);
    render();
    for (auto _ : st) {
      main.invalidate();
      render();
    }
  }
  shutdown();
}
BENCHMARK(BM_DrawWholeScreen)->Unit(benchmark::kMillisecond);

// The program's main window on a fresh instrument of board 1, shown as the application shows it.
template <class Body>
void withMainWindow(Body&& body) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("bench-ui-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "nandflash");
  std::filesystem::create_directories(root / "Storage Card");
  platform::fs::setRoot(root);
  platform::clock::configure(platform::clock::Mode::Manual);
  platform::device::resetBoard();
  init(Options{DisplayKind::Headless});
  RegisterSetupDialogs();
  RegisterCalibrationDialogs();
  CreateMonitorDialogs();
  {
    CMonitorDlg main(CMonitorDlg::kTemplateBoard1);
    for (int n = 1; n <= 3; ++n) main.channel(n).boardFlag = 1;
    main.create();
    main.showWindow(SW_SHOW);
    driver::run(2000, 100);  // the first ticks: the link's first opening, the channels' start-up
    render();
    body(main);
    main.destroyWindow();
  }
  DeleteMonitorDialogs();
  shutdown();
  platform::fs::setRoot({});
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}

void BM_RealMainWindowRedraw(benchmark::State& st) {
  withMainWindow([&](CMonitorDlg& main) {
    for (auto _ : st) {
      main.invalidate();
      render();
    }
  });
}
BENCHMARK(BM_RealMainWindowRedraw)->Unit(benchmark::kMillisecond);

void BM_RealMainWindowIdleTick(benchmark::State& st) {
  withMainWindow([&](CMonitorDlg&) {
    for (auto _ : st) driver::run(900, 900);
  });
}
BENCHMARK(BM_RealMainWindowIdleTick)->Unit(benchmark::kMillisecond);

// One idle tick and one full repaint of the real main window in turns, each timed by the thread's CPU
// time: their means and the ratio of the tick to the full repaint, from the same run. The tick is the
// loop's handling of what 900 ms of the clock brought (timer 1, the lamps' timers) with its repaint;
// moving the manual clock on (which wakes the link's threads) is the harness's, outside the timing.
void BM_RealMainWindowTickAgainstRedraw(benchmark::State& st) {
  withMainWindow([&](CMonitorDlg& main) {
    double tickUs = 0, redrawUs = 0;
    for (auto _ : st) {
      platform::clock::advance(900);
      const double t0 = threadCpuUs();
      driver::pump();
      const double t1 = threadCpuUs();
      main.invalidate();
      render();
      const double t2 = threadCpuUs();
      tickUs += t1 - t0;
      redrawUs += t2 - t1;
    }
    const double n = static_cast<double>(st.iterations());
    st.counters["tick_us"] = tickUs / n;
    st.counters["redraw_us"] = redrawUs / n;
    st.counters["tick_per_redraw"] = redrawUs > 0 ? tickUs / redrawUs : 0;
  });
}
BENCHMARK(BM_RealMainWindowTickAgainstRedraw)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
