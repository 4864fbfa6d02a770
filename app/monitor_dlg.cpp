#include "app/monitor_dlg.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/queren.h"
#include "model/helpers.h"
#include "platform/clock/clock.h"
#include "platform/ui/controls.h"

using namespace platform::ui;
namespace dev = platform::device;

namespace {

const char* const kDashes = "— —";
const char* const kNoTime = "— : — : —";

// Link and position icons.
constexpr int kSignalIcons[5] = {1224, 1226, 1228, 1229, 1230};  // strongest first
constexpr int kNoSignalIcon = 1225;
constexpr int kWiredOnIcon = 1241;
constexpr int kWiredOffIcon = 1242;
constexpr int kLinkLabel = 1346;
constexpr int kGpsNoFixIcon = 1232;
constexpr int kGpsFixIcon = 1233;
constexpr int kUploadIcons[2] = {1227, 1231};

// Measurement area: label id and value id of each cell, three columns of six rows.
struct Cell {
  int label;
  const char* caption;
  int value;
};
constexpr Cell kCells[6][3] = {
    {{1011, "控制荷载(kN)", 1012}, {1009, "实际荷载(kN)", 1010}, {1013, "油压(MPa)", 1014}},
    {{1025, "荷载级数", 1026}, {1027, "试验状态", 1028}, {1050, "本级次数", 1051}},
    {{1015, "位移1(mm)", 1016}, {1017, "位移2(mm)", 1018}, {1023, "平均沉降(mm)", 1024}},
    {{1019, "位移3(mm)", 1020}, {1021, "位移4(mm)", 1022}, {1052, "1小时沉降(mm)", 1053}},
    {{1042, "位移5(mm)", 1046}, {1043, "位移6(mm)", 1047}, {1044, "位移7(mm)", 1048}},
    {{1045, "位移8(mm)", 1049}, {1033, "流水号", 1034}, {1035, "桩号", 1036}},
};
constexpr int kCellX[3] = {20, 170, 320};
constexpr int kCellY[6] = {95, 170, 255, 330, 405, 490};
constexpr int kCellW = 140;

// Main buttons along the bottom, in screen order; hidden ones share the row's last places.
struct MainButton {
  int id;
  const char* caption;
  bool visible;
};
constexpr MainButton kButtons[] = {
    {1122, "工程\r\n信息", true}, {1123, "参数\r\n设置", true}, {1124, "规范\r\n选择", true},
    {1125, "系统\r\n设置", true}, {1126, "数据\r\n设置", true}, {1127, "试桩\r\n控制", true},
    {1128, "试桩\r\n数据", true}, {1130, "系统\r\n标定", true}, {1131, "软件\r\n升级", true},
    {1276, "暂停\r\n试验", true}, {1277, "手动\r\n加载", true}, {1280, "手动\r\n卸载", true},
};

DialogTemplate mainTemplate(int id, bool groupBoxes) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto& c = t.controls;
  if (groupBoxes) {
    c.push_back({1401, ControlClass::Button, "", {8, 74, 468, 580}, BS_GROUPBOX});
    c.push_back({1402, ControlClass::Button, "", {8, 580, 572, 634}, BS_GROUPBOX});
  }
  // Top bar: pump, date, channel lamps, link and position icons.
  c.push_back({1234, ControlClass::Progress, "", {80, 24, 190, 52}});
  c.push_back({1037, ControlClass::Static, "油泵", {20, 14, 78, 62}, SS_CENTERIMAGE});
  c.push_back({1038, ControlClass::Static, "", {80, 14, 190, 62}, SS_CENTER | SS_CENTERIMAGE});
  c.push_back({1039, ControlClass::Static, "日期", {200, 14, 250, 62}, SS_CENTERIMAGE});
  c.push_back({1041, ControlClass::Static, "", {250, 14, 470, 62}, SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY});
  for (int i = 0; i < 3; ++i)
    c.push_back({1307 + i, ControlClass::Button, std::to_string(i + 1) + "#", {480 + i * 108, 8, 580 + i * 108, 66},
                 BS_OWNERDRAW});
  for (int icon : kSignalIcons) c.push_back({icon, ControlClass::Static, "", {804, 12, 852, 62}, 0, false});
  c.push_back({kNoSignalIcon, ControlClass::Static, "", {804, 12, 852, 62}});
  c.push_back({kWiredOnIcon, ControlClass::Static, "", {804, 12, 852, 62}, 0, false});
  c.push_back({kWiredOffIcon, ControlClass::Static, "", {804, 12, 852, 62}, 0, false});
  c.push_back({kLinkLabel, ControlClass::Static, "信号强度", {856, 12, 956, 62}, SS_CENTERIMAGE, true, true, 20, 400});
  c.push_back({kGpsNoFixIcon, ControlClass::Static, "", {960, 12, 1016, 62}});
  c.push_back({kGpsFixIcon, ControlClass::Static, "", {960, 12, 1016, 62}, 0, false});
  for (int icon : kUploadIcons) c.push_back({icon, ControlClass::Static, "", {960, 12, 1016, 62}, 0, false});
  // Pump-stop pictures and the picture control read by the supervisor.
  for (int pic : {1168, 1169, 1203}) c.push_back({pic, ControlClass::Static, "", {20, 14, 78, 62}, SS_NOTIFY, false});
  c.push_back({1206, ControlClass::Static, "", {200, 14, 250, 62}, 0, false});
  // Measurement area.
  for (int row = 0; row < 6; ++row) {
    for (int col = 0; col < 3; ++col) {
      const Cell& cell = kCells[row][col];
      const int x = kCellX[col], y = kCellY[row];
      c.push_back({cell.label, ControlClass::Static, cell.caption, {x, y, x + kCellW, y + 24}});
      c.push_back({cell.value, ControlClass::Static, "", {x, y + 24, x + kCellW, y + 64},
                   SS_CENTER | SS_CENTERIMAGE | (cell.value == 1049 ? SS_NOTIFY : 0u)});
    }
  }
  // Sink and uplift (self-balanced tests) share the average settlement's cell.
  c.push_back({1055, ControlClass::Static, "下沉(mm)", {320, 255, 388, 279}, 0, false});
  c.push_back({1056, ControlClass::Static, "", {320, 279, 388, 319}, SS_CENTER | SS_CENTERIMAGE, false});
  c.push_back({1057, ControlClass::Static, "上拔(mm)", {392, 255, 460, 279}, 0, false});
  c.push_back({1058, ControlClass::Static, "", {392, 279, 460, 319}, SS_CENTER | SS_CENTERIMAGE, false});
  // Next acquisition time and system time.
  c.push_back({1029, ControlClass::Static, "下次采集时间", {20, 592, 146, 624}, SS_CENTERIMAGE});
  c.push_back({1030, ControlClass::Static, "", {146, 586, 352, 630}, SS_CENTER | SS_CENTERIMAGE});
  c.push_back({1031, ControlClass::Static, "时间", {360, 592, 400, 624}, SS_CENTERIMAGE});
  c.push_back({1032, ControlClass::Static, "", {400, 586, 566, 630}, SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY});
  // Report pages.
  // As wide as the screen leaves beside the measurement area: the six captions fit at 23 pixels.
  c.push_back({1240, ControlClass::Tab, "", {472, 72, 1020, 580}, TCS_BOTTOM});
  // Status line.
  c.push_back({1040, ControlClass::Static, "", {20, 638, 1016, 684}, SS_CENTERIMAGE});
  // Buttons.
  int i = 0;
  for (const MainButton& b : kButtons) {
    const int x = 4 + i * 85;
    c.push_back({b.id, ControlClass::Button, b.caption, {x, 690, x + 81, 762}, 0, b.visible});
    ++i;
  }
  for (auto [id, caption] : {std::pair{1129, "率定\r\n数据"}, std::pair{1121, "前端\r\n设置"},
                             std::pair{1306, "试桩\r\n开始"}, std::pair{1275, "停止"}})
    c.push_back({id, ControlClass::Button, caption, {939, 690, 1020, 762}, 0, false});
  return t;
}

}  // namespace

namespace {

TemplateRegistration regMain1{mainTemplate(CMonitorDlg::kTemplateBoard1, false)};
TemplateRegistration regMain0{mainTemplate(CMonitorDlg::kTemplateBoard0, true)};

// The drawing of a link or position icon.
class LinkIcon : public Static {
 public:
  enum class Kind { Signal, NoSignal, WiredOn, WiredOff, GpsFix, GpsNoFix, Upload };
  LinkIcon(Kind kind, int bars) : kind_(kind), bars_(bars) {}
  bool hitTransparent() const override { return true; }
  void draw(DC& dc) override {
    const Rect r = getClientRect();
    const Color ink = RGB(0, 0, 0), off = RGB(180, 180, 180), red = RGB(220, 0, 0), green = RGB(0, 150, 0);
    switch (kind_) {
      case Kind::Signal:
      case Kind::NoSignal: {
        const int n = 4, bw = (r.width() - 8) / n;
        for (int i = 0; i < n; ++i) {
          const int h = (r.height() - 8) * (i + 1) / n;
          Rect bar{r.left + 4 + i * bw, r.bottom - 4 - h, r.left + 4 + (i + 1) * bw - 2, r.bottom - 4};
          dc.fillSolidRect(bar, (kind_ == Kind::Signal && i < bars_) ? ink : off);
        }
        if (kind_ == Kind::NoSignal) cross(dc, r, red);
        break;
      }
      case Kind::WiredOn:
      case Kind::WiredOff: {
        const Color c = kind_ == Kind::WiredOn ? green : off;
        dc.fillSolidRect({r.left + 6, r.top + 14, r.right - 16, r.bottom - 14}, c);
        dc.fillSolidRect({r.right - 16, r.top + 20, r.right - 4, r.top + 24}, c);
        dc.fillSolidRect({r.right - 16, r.bottom - 24, r.right - 4, r.bottom - 20}, c);
        if (kind_ == Kind::WiredOff) cross(dc, r, red);
        break;
      }
      case Kind::GpsFix:
      case Kind::GpsNoFix:
      case Kind::Upload: {
        dc.setBkMode(TRANSPARENT);
        dc.setTextColor(kind_ == Kind::GpsFix ? green : kind_ == Kind::Upload ? ink : off);
        dc.selectFont(Font::create(18, 700));
        dc.drawText(kind_ == Kind::Upload ? "↑" : "GPS", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        break;
      }
    }
  }

 private:
  static void cross(DC& dc, const Rect& r, Color c) {
    Pen old = dc.selectPen(Pen{PS_SOLID, 3, c});
    dc.moveTo(r.left + 8, r.top + 8);
    dc.lineTo(r.right - 8, r.bottom - 8);
    dc.moveTo(r.right - 8, r.top + 8);
    dc.lineTo(r.left + 8, r.bottom - 8);
    dc.selectPen(old);
  }
  Kind kind_;
  int bars_;
};

struct FontRow {
  int height;
  int weight;
  const char* face;
  std::vector<int> ids;
};

std::vector<int> evenIds(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; i += 2) v.push_back(i);
  return v;
}

std::vector<int> join(std::vector<int> a, std::initializer_list<int> b) {
  a.insert(a.end(), b);
  return a;
}

}  // namespace

CMonitorDlg::CMonitorDlg(int templateId)
    : Dialog(templateId),
      link_(channels_[0], channels_[1], channels_[2], *this),
      upload_(channels_[0], channels_[1], channels_[2]) {
  uiThread_ = std::this_thread::get_id();
  for (int i = 0; i < 3; ++i) bindControl(1307 + i, channelButtons_[static_cast<std::size_t>(i)]);
  // Icons take the template's statics.
  using K = LinkIcon::Kind;
  auto icon = [this](int id, K kind, int bars) {
    icons_.push_back(std::make_unique<LinkIcon>(kind, bars));
    bindControl(id, *icons_.back());
  };
  for (int level = 0; level < 5; ++level) icon(kSignalIcons[level], K::Signal, 4 - level);
  icon(kNoSignalIcon, K::NoSignal, 0);
  icon(kWiredOnIcon, K::WiredOn, 0);
  icon(kWiredOffIcon, K::WiredOff, 0);
  icon(kGpsFixIcon, K::GpsFix, 0);
  icon(kGpsNoFixIcon, K::GpsNoFix, 0);
  for (int id : kUploadIcons) icon(id, K::Upload, 0);

  on(WM_PAINT, [this](Message&) {
    OnPaint();
    return LRESULT{0};
  });
  on(WM_CTLCOLOR, [this](Message& m) {
    CtlColor& c = CtlColor::of(m);
    if (c.control && c.control->id() == kStatusLine)
      c.dc->setTextColor(statusAlert_ ? RGB(255, 0, 0) : RGB(0, 0, 255));
    return LRESULT{0};
  });
  on(WM_KEYDOWN, [this](Message& m) { return defWindowProc(m); });
  on(WM_CLOSE, [this](Message&) {
    endDialog(IDCANCEL);
    return LRESULT{0};
  });
  on(kMessageBoxMessage, [this](Message&) {
    std::string text;
    {
      std::lock_guard<std::mutex> g(messagesLock_);
      if (pendingMessages_.empty()) return LRESULT{0};
      text = std::move(pendingMessages_.front());
      pendingMessages_.pop_front();
    }
    messageBox(text);
    return LRESULT{0};
  });
  on(kIdleUserMessage, [](Message&) { return LRESULT{0}; });
  on(WM_DESTROY, [this](Message& m) {
    OnDestroy();
    return defWindowProc(m);
  });
  on(WM_TIMER, [this](Message& m) {
    OnTimer(static_cast<unsigned>(m.wParam));
    return LRESULT{0};
  });
  on(kPowerLostMessage, [this](Message& m) {
    OnPowerLost(m.wParam, m.lParam);
    return LRESULT{0};
  });
  onCommand(1121, BN_CLICKED, [] {});
  const std::pair<int, MonitorSlot> shows[] = {
      {1122, MonitorSlot::GongChengXinXi}, {1123, MonitorSlot::ChuanGanQi},       {1124, MonitorSlot::ShiYanGuiFan},
      {1125, MonitorSlot::XiTongBaoHu},    {1126, MonitorSlot::ShuJuQingLing},    {1127, MonitorSlot::ShiZhuangKongZhi},
      {1128, MonitorSlot::ShiZhuangMuLu},  {1129, MonitorSlot::QianJinDingLvDing}, {1130, MonitorSlot::XiTongBiaoDing},
      {1306, MonitorSlot::CCeKongQi}};
  for (auto [id, slot] : shows) onCommand(id, BN_CLICKED, [this, slot = slot] { ShowRegistryDialog(slot); });
  onCommand(1041, STN_CLICKED, [this] { ShowRegistryDialog(MonitorSlot::XiTongshijian); });
  onCommand(1032, STN_CLICKED, [this] { ShowRegistryDialog(MonitorSlot::XiTongshijian); });
}

CMonitorDlg::~CMonitorDlg() {
  // Every worker stops before the channel records go.
  powerMonitor_.reset();
  link_.Close();
  upload_.Close();
  if (udc_ != dev::kInvalidHandle) dev::close(udc_);
}

void CMonitorDlg::ShowRegistryDialog(MonitorSlot slot) {
  if (MonitorDialog* d = g_pMonitorDialogs.at(slot); d && d->exists()) d->showWindow(SW_SHOW);
}

bool CMonitorDlg::onInitDialog() {
  // 1. Full screen.
  moveWindow(0, 0, kScreenWidth, kScreenHeight);
  // 2. Board devices: start-up code to "UDC1:" (kept open), backlight to the brightest level.
  udc_ = dev::open("UDC1:");
  if (udc_ != dev::kInvalidHandle) dev::control(udc_, dev::kUdcStartup);
  if (dev::Handle gcl = dev::open("GCL1:"); gcl != dev::kInvalidHandle) {
    dev::control(gcl, dev::kGclBacklight, std::uint32_t{10});
    dev::close(gcl);
  }
  // 3. Progress bar.
  auto* progress = item<Progress>(kProgress);
  progress->setRange(1, 255);
  progress->setPos(1);
  progress->setStep(1);
  // 5. Tabs.
  auto* tab = item<TabCtrl>(kTab);
  const char* tabs[6] = {"数据记录表", "荷载沉降表", "汇总表", "Q-s曲线", "s-lgQ曲线", "s-lgt曲线"};
  for (int i = 0; i < 6; ++i) tab->insertItem(i, tabs[i]);
  // 6-8. Pages: channel 1's record, created inside the tab and placed in its client area.
  const MonitorSlot pageSlots[6] = {MonitorSlot::CPageJiLuBiao, MonitorSlot::CPageChenJiangBiao,
                                    MonitorSlot::CPageHuiZongBiao, MonitorSlot::CPageQ_s,
                                    MonitorSlot::CPages_lgQ, MonitorSlot::CPages_lgt};
  const Rect rc = tab->getClientRect();
  for (int i = 0; i < 6; ++i) {
    MonitorDialog* page = g_pMonitorDialogs.at(pageSlots[i]);
    pages_[static_cast<std::size_t>(i)] = page;
    if (!page) continue;
    LinkMonitorDialog(pageSlots[i], channel(1), channel(2), channel(3));
    if (!page->exists()) page->create(SlotInfo(pageSlots[i]).templateBoard1, tab);
    page->moveWindow(rc.left + 1, rc.top, (rc.right - 1) - (rc.left + 1), (rc.bottom - 32) - rc.top, true);
    page->showWindow(i == 0 ? SW_SHOWNA : SW_HIDE);
  }
  currentPage_ = 0;
  tab->setCurSel(0);
  channel(1).pageRedraw = 0;
  // 10-11. The other registry dialogs, from the template set of the board, then their cross-links.
  const int board = boardFlag();
  for (int i = 0; i < kMonitorSlotCount; ++i) {
    const auto slot = static_cast<MonitorSlot>(i);
    if (SlotInfo(slot).page) continue;
    MonitorDialog* d = g_pMonitorDialogs.at(slot);
    if (d && !d->exists()) d->create(TemplateFor(slot, board), this);
  }
  for (int i = 0; i < kMonitorSlotCount; ++i) {
    const auto slot = static_cast<MonitorSlot>(i);
    if (!SlotInfo(slot).page) LinkMonitorDialog(slot, channel(1), channel(2), channel(3));
  }
  // 12. Fonts and first texts.
  ApplyFonts();
  for (int id : evenIds(1010, 1038)) setDlgItemText(id, kDashes);
  for (int id : {1046, 1047, 1048, 1049, 1051, 1053, 1056, 1058}) setDlgItemText(id, kDashes);
  setDlgItemText(1030, kNoTime);
  setDlgItemText(1032, kNoTime);
  for (Parameter& p : channels_) p.timeText = kNoTime;
  // 13. Manual load, manual unload and pause wait for a running test.
  for (int id : {1277, 1280, 1276}) getDlgItem(id)->enableWindow(false);
  // 14. Channels, then in front of everything.
  InitChannels();
  bringToTop();
  return true;
}

void CMonitorDlg::ApplyFonts() {
  const std::vector<FontRow> rows = {
      {34, 0, "NULL", join(evenIds(1010, 1038), {1046, 1047, 1048, 1049, 1041, 1051, 1053})},
      {46, 500, "NULL", {1012, 1010}},
      {26, 500, "NULL", {1034, 1036, 1291, 1292}},
      {20, 400, "NULL",
       join([] {
         std::vector<int> v;
         for (int i = 1009; i <= 1039; i += 2) v.push_back(i);
         return v;
       }(),
            {1042, 1043, 1044, 1045, 1278, 1279, 1055, 1057, 1052, 1050})},
      {30, 500, "Tahoma", {kStatusLine}},
      {22, 500, "NULL", {1056, 1058}},
      {23, 500, "NULL", {kTab}},
      {28, 500, "NULL", {1121, 1122, 1123, 1124, 1125, 1126, 1127, 1128, 1129, 1130, 1131, 1275, 1276, 1277, 1280,
                         1306, 1307, 1308, 1309}},
  };
  for (const FontRow& row : rows) {
    const Font f = Font::create(row.height, row.weight, row.face);
    for (int id : row.ids)
      if (Window* w = getDlgItem(id)) w->setFont(f, false);
  }
  statusAlert_ = false;
}

void CMonitorDlg::InitChannels() {
  // 1. Names (they choose the per-channel files); no idle polling.
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channel(n);
    p.channelName = std::to_string(n);
    p.ParameterList.setChannelNumber(n);
    p.pollWhenIdle = 0;
  }
  // 2. Each channel from its files; a test that was running goes on.
  InitChannelsOfLoop();
  // 4. The demonstration sync event (auto-reset, initially set); nothing waits on it.
  syncEvent_ = platform::process::createEvent("EVENT_FOR_DEMO_SYNC", false, true);
  // 5. Progress bar.
  auto* progress = item<Progress>(kProgress);
  progress->setRange(0, 255);
  progress->setPos(0);
  // 8. The watchdog program, when it is there.
  const std::string sentry = GetProgramRoot(boardFlag()) + "SentryC.exe";
  if (FileExists(sentry)) sentryStarted_ = platform::process::startProgram(sentry);
  // 9. The upload: the external module's port, then the GPRS module's with the upload thread, which
  // runs whether or not either port opened (a route without its port shows its fault).
  upload_.OpenBoxPort();
  upload_.OpenGprsPort();
  // Power: notices of a loss come as message 0x501, once a second while it lasts.
  const Handle self = handle();
  powerMonitor_ = std::make_unique<platform::process::PowerMonitor>([self](std::uint32_t ms) {
    platform::ui::postMessage(self, kPowerLostMessage, 5, static_cast<LPARAM>(ms));
  });
  // 10. Main loop and position-query timers.
  setTimer(kMainTimer, 900);
  setTimer(kGpsTimer, 6000);
  // 11. After a restart, the first channel whose test runs is the one shown.
  for (int n = 1; n <= 3; ++n) {
    if (channel(n).testRunning.load() != 1) continue;
    channel(1).selectedChannelText = std::to_string(n);
    for (int k = 1; k <= 3; ++k)
      setDlgItemText(1306 + k, std::to_string(k) + (k == n ? "# 锁定" : "#"));
    break;
  }
}

void CMonitorDlg::OnTimer(unsigned id) {
  switch (id) {
    case kGpsTimer:
      channel(1).gpsQueryRequest = 1;
      break;
    case kMainTimer:
      OnMainTimer();
      break;
    case kPowerTimer:
      OnPowerTimer();
      break;
    default:
      break;
  }
}

void CMonitorDlg::OnPowerLost(WPARAM event, LPARAM msSinceLoss) {
  if (event != 5) return;
  // 1-2. Pause the running tests (remembering that the power loss paused them) and hold the status
  // lines.
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channel(n);
    const auto i = static_cast<std::size_t>(n - 1);
    if (p.testRunning.load() == 1 && p.paused.load() == 0) {
      p.paused = 1;
      powerPaused_[i] = true;
    }
    statusHold_[i] = true;
  }
  // 3. The countdown to the switch-off, never below zero.
  const long long left = std::max<long long>(0, 3 - static_cast<long long>(msSinceLoss) / 1000);
  char text[96];
  std::snprintf(text, sizeof text, "外接电源断开，%lld秒后自动关机", left);
  ShowStatusText(text, true);
  // 4. The resume timer starts over with every notice.
  powerResumeCounter_ = 0;
  if (powerTimerArmed_) {
    setTimer(kPowerTimer, 1000);
    powerTimerArmed_ = false;
  }
  // 5. Past three seconds the board is switched off.
  if (msSinceLoss > 3000) {
    const dev::Handle h = dev::open("UDC1:");
    if (h != dev::kInvalidHandle) {
      dev::control(h, dev::kUdcPowerOff);
      dev::close(h);
    }
  }
}

void CMonitorDlg::OnPowerTimer() {
  // Four quiet seconds: the power is back. Only the pauses the power loss made are taken back.
  if (++powerResumeCounter_ < 4) return;
  powerResumeCounter_ = 0;
  powerTimerArmed_ = true;
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channel(n);
    const auto i = static_cast<std::size_t>(n - 1);
    // A pause the operator saved meanwhile (item 66) stays as well.
    if (powerPaused_[i] && p.testRunning.load() == 1 && p.paused.load() == 1 && p.ParameterList.item(66) != 1.0f)
      p.paused = 0;
    powerPaused_[i] = false;
    statusHold_[i] = false;
  }
  killTimer(kPowerTimer);
}

void CMonitorDlg::OnPaint() {
  PaintDC dc(*this);
  if (boardFlag() != 1) return;
  auto clientRect = [this](int id) {
    Window* w = getDlgItem(id);
    return w ? w->windowRect() : Rect{};
  };
  const Brush oldBrush = dc.selectBrush(Brush{kColorFace});
  const Rect l1011 = clientRect(1011);
  const int x = l1011.left, y = l1011.top;
  Pen old = dc.selectPen(Pen{PS_SOLID, 1, RGB(0, 0, 0)});
  dc.roundRect({x - 10, y - 15, x + 442, y + 480}, 10, 10);
  dc.selectPen(Pen{PS_SOLID, 2, RGB(0, 0, 0)});
  for (int yy : {y + 150, y + 385}) {
    dc.moveTo(x - 10, yy);
    dc.lineTo(x + 442, yy);
  }
  dc.selectPen(Pen{PS_SOLID, 1, RGB(0x78, 0x78, 0x78)});
  for (int id : {1009, 1011, 1023, 1052, 1033, 1035, 1013, 1027, 1025, 1050, 1015, 1017, 1019, 1021, 1042, 1043,
                 1044, 1045}) {
    const Rect r = clientRect(id);
    dc.roundRect({r.left - 2, r.top - 2, r.right + 2, r.top + 65}, 10, 10);
  }
  dc.selectPen(Pen{PS_SOLID, 1, RGB(0, 0, 0)});
  const Rect r = clientRect(1029);
  dc.roundRect({r.left - 2, r.top - 6, r.left + 546, r.top + 40}, 10, 10);
  dc.moveTo(r.left + 336, r.top - 6);
  dc.lineTo(r.left + 336, r.bottom + 6);
  dc.selectPen(old);
  dc.selectBrush(oldBrush);
}

void CMonitorDlg::OnDestroy() {
  // The workers stop and are joined before the window and its records go.
  powerMonitor_.reset();
  link_.Close();
  upload_.Close();
  killTimer(kMainTimer);
  killTimer(kGpsTimer);
  killTimer(kPowerTimer);
  syncEvent_.reset();
  if (udc_ != dev::kInvalidHandle) {
    dev::close(udc_);
    udc_ = dev::kInvalidHandle;
  }
}

// ---- what the front-end link shows ----------------------------------------------------------------

void CMonitorDlg::showSignalLevel(int level) {
  for (int i = 0; i < 5; ++i)
    if (Window* w = getDlgItem(kSignalIcons[i])) w->showWindow(i == level ? SW_SHOWNA : SW_HIDE);
  if (Window* w = getDlgItem(kNoSignalIcon)) w->showWindow(SW_HIDE);
}

void CMonitorDlg::showWiredState(int state) {
  if (Window* w = getDlgItem(kWiredOnIcon)) w->showWindow(state == 1 ? SW_SHOWNA : SW_HIDE);
  if (Window* w = getDlgItem(kWiredOffIcon)) w->showWindow(state == 0 ? SW_SHOWNA : SW_HIDE);
}

void CMonitorDlg::setLinkLabel(const std::string& text) { setDlgItemText(kLinkLabel, text); }

void CMonitorDlg::messageBox(const std::string& text) {
  if (std::this_thread::get_id() != uiThread_) {
    // From a worker thread the message waits for the user-interface thread.
    {
      std::lock_guard<std::mutex> g(messagesLock_);
      pendingMessages_.push_back(text);
    }
    postMessage(kMessageBoxMessage);
    return;
  }
  CMessageBox box(text);
  box.doModal(this);
}
