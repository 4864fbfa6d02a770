// The display of the selected channel on the main window: values, state word, buttons, tab captions
// and colours; the one-hour settlement; the channel buttons, the page tabs and the gauge-8 marker.
#include <cmath>
#include <cstdio>

#include "app/channel_init.h"
#include "app/monitor_dlg.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "model/record_values.h"
#include "platform/clock/clock.h"
#include "platform/ui/controls.h"

using namespace platform::ui;
namespace clk = platform::clock;

namespace {

const char* const kDash = "— —";

std::string format(const char* fmt, double v) {
  char s[64];
  std::snprintf(s, sizeof s, fmt, v);
  return s;
}

std::string formatInt(const char* fmt, int v) {
  char s[64];
  std::snprintf(s, sizeof s, fmt, v);
  return s;
}

// The actual load: no decimals from 10000 on, one from 1000 on, else two.
std::string loadText(float v) {
  const double d = v;
  return format(d >= 10000 ? "%.f" : d >= 1000 ? "%.1f" : "%.2f", d);
}

std::string pressureText(float v) {
  const double d = v;
  return format(d >= 1000 ? "%.f" : d >= 100 ? "%.1f" : "%.2f", d);
}

std::string firstChar(const std::string& s) { return s.substr(0, 1); }

constexpr int kGaugeValues[8] = {1016, 1018, 1020, 1022, 1046, 1047, 1048, 1049};

struct LabelRow {
  const char* load;
  const char* control;
  const char* gauges[4];
  const char* gauges5to8[4];
  const char* average;  // nullptr: unchanged
  bool sinkUplift;
};

const LabelRow kPlate = {"实际荷载(kPa)", "控制荷载(kPa)", {"位移1(mm)", "位移2(mm)", "位移3(mm)", "位移4(mm)"},
                         {"位移5(mm)", "位移6(mm)", "位移7(mm)", "位移8(mm)"}, "平均沉降(mm)", false};
const LabelRow kCompression = {"实际荷载(kN)", "控制荷载(kN)", {"位移1(mm)", "位移2(mm)", "位移3(mm)", "位移4(mm)"},
                               {"位移5(mm)", "位移6(mm)", "位移7(mm)", "位移8(mm)"}, "平均沉降(mm)", false};
const LabelRow kSelfBalanced = {"实际荷载(kN)", "控制荷载(kN)", {"位移1mm↓", "位移2mm↓", "位移3mm↑", "位移4mm↑"},
                                {"位移5(mm)", "位移6(mm)", "位移7(mm)", "位移8(mm)"}, nullptr, true};
const LabelRow kSelfBalanced61 = {"实际荷载(kN)", "控制荷载(kN)", {"位移1↓", "位移2↓", "位移3↓", "位移4↑"},
                                  {"位移5↑", "位移6↑", "位移7", "位移8"}, nullptr, true};
const LabelRow kLateral = {"实际荷载(kN)", "控制荷载(kN)", {"上位移1mm", "上位移2mm", "下位移1mm", "下位移2mm"},
                           {"位移5(mm)", "位移6(mm)", "位移7(mm)", "位移8(mm)"}, "循环次数", false};

const LabelRow* labelRowFor(int type, int standard) {
  if (standard == 77 || standard == 93 || standard == 145) return &kCompression;
  switch (type) {
    case 0: return &kPlate;
    case 1:
    case 5: return &kCompression;
    case 2: return standard == 61 ? &kSelfBalanced61 : &kSelfBalanced;
    case 4: return &kLateral;
    default: return nullptr;
  }
}

std::array<const char*, 3> curveCaptions(int standard) {
  switch (standard) {
    case 13: case 19: case 70: case 81: case 115: case 118: case 140: return {"U-δ", "δ-lgU", "δ-lgt"};
    case 62: case 76: case 144: return {"H0-t-Y0", "H-DY0/DH", "----"};
    case 77: case 93: case 145: return {"H-Y0曲线", "----", "Y0-lgt曲线"};
    default: return {"Q-s曲线", "s-lgQ曲线", "s-lgt曲线"};
  }
}

int recordMinutes(const TestRecord& r) { return record_values::timeMinutes(r); }

}  // namespace

// ---- refresh ---------------------------------------------------------------------------------------------

void CMonitorDlg::RefreshChannelView(Parameter& p) {
  const int n = &p == &channel(1) ? 1 : &p == &channel(2) ? 2 : 3;
  const std::size_t i = static_cast<std::size_t>(n - 1);
  const int standard = p.standardCode.load();
  const bool cyclic = IsCyclicStandard(standard);
  const bool thousandths = IsThousandthsStandard(standard);
  const bool running = p.testRunning.load() == 1;
  const int phase = p.loadingPhase.load();
  Parameter& c1 = channel(1);
  const bool radio = c1.ParameterList.item(57) == 0.0f;

  // 1. Every secondary dialog and page works on the shown channel.
  for (int k = 0; k < kMonitorSlotCount; ++k)
    if (MonitorDialog* d = g_pMonitorDialogs.at(static_cast<MonitorSlot>(k))) d->SetCurrentChannel(&p);

  // 2. A link fault lives for 60 refreshes.
  if (p.link.linkLost.load() != 0) {
    if (loop_.linkFaultAge[i] < 60) {
      ++loop_.linkFaultAge[i];
    } else {
      p.link.linkLost = 0;
      loop_.linkFaultAge[i] = 0;
    }
  }

  // 3. Position and upload icons: the controller's fix, channel 1's, or the built-in module's.
  const bool fix = p.positionFix.load() == 1 || c1.positionFix.load() == 1 || upload_.gpsValid();
  showControl(1233, fix);
  showControl(1232, !fix);
  showControl(1227, false);
  showControl(1231, false);

  // 4. Link quality, from the second refresh on.
  if (loop_.refreshes[i] < 2) ++loop_.refreshes[i];
  if (loop_.refreshes[i] >= 2) link_.UpdateLinkQuality(n);

  // 5-6. Serial and pile number, level, readings, one-hour settlement, control load.
  if (!running) {
    if (!p.procedure.lastTestFileName.empty() && !p.openedTestRecords.empty()) {
      setDlgItemText(1034, JDQFile::HeaderText(p.openedTestRecords, 7, 3));
      setDlgItemText(1036, JDQFile::HeaderText(p.openedTestRecords, 8, 1));
    } else {
      setDlgItemText(1034, kDash);
      setDlgItemText(1036, kDash);
    }
    getDlgItem(1276)->enableWindow(false);
  } else {
    setDlgItemText(1034, JDQFile::HeaderText(p.testRecords, 7, 3));
    setDlgItemText(1036, JDQFile::HeaderText(p.testRecords, 8, 1));
    const int level = p.link.levelNumber.load();
    setDlgItemText(1026, (phase >= 1 && phase <= 4) || (cyclic && phase >= 1) ? formatInt("%d级", level) : kDash);
    setDlgItemText(1051, phase >= 1 ? formatInt("%d次", p.procedure.levelReadings) : kDash);
    const bool hour = p.testType.load() != 2 && !cyclic && phase >= 1 && phase <= 4 && ComputeHourSettlement(p) == 1;
    setDlgItemText(1053, hour ? format(thousandths ? "%.3f" : "%.2f", loop_.hourSettlement[i].settlement) : kDash);
    setDlgItemText(1012, TrimmedLoad(p.controlLoad.load()));
    getDlgItem(1276)->enableWindow(true);
  }

  // 7. Test clock.
  {
    const clk::DateTime now = clk::localTime();
    const clk::DateTime t = clk::fromSeconds(clk::toSeconds(now) + p.clockShift);
    if (clk::isValid(t)) p.testClock = t;
    setDlgItemText(1032, formatInt("%02d", p.testClock.hour) + " : " + formatInt("%02d", p.testClock.minute) + " : " +
                             formatInt("%02d", p.testClock.second));
    setDlgItemText(1041, formatInt("%04d", p.testClock.year) + "-" + formatInt("%02d", p.testClock.month) + "-" +
                             formatInt("%02d", p.testClock.day));
  }

  // 8. Labels by test type.
  if (const LabelRow* row = labelRowFor(p.testType.load(), standard)) {
    setDlgItemText(1009, row->load);
    setDlgItemText(1011, row->control);
    for (int k = 0; k < 4; ++k) setDlgItemText(1015 + 2 * k, row->gauges[k]);
    for (int k = 0; k < 4; ++k) setDlgItemText(1042 + k, row->gauges5to8[k]);
    if (row->average) setDlgItemText(1023, row->average);
    for (int id : {1055, 1056, 1057, 1058}) showControl(id, row->sinkUplift);
    showControl(1023, !row->sinkUplift);
    showControl(1024, !row->sinkUplift);
  }

  // 9. Tab captions.
  {
    auto* tab = item<TabCtrl>(kTab);
    const std::array<const char*, 3> curves = curveCaptions(standard);
    const char* want[6] = {"数据记录表", "荷载沉降表", "汇总表", curves[0], curves[1], curves[2]};
    bool same = tab->getItemCount() == 6;
    for (int k = 0; same && k < 6; ++k) same = tab->getItemText(k) == want[k];
    if (!same) {
      const int sel = tab->getCurSel();
      tab->deleteAllItems();
      for (int k = 0; k < 6; ++k) tab->insertItem(k, want[k]);
      tab->setCurSel(sel);
      tab->invalidate();
    }
  }

  // 10. Gauge-8 label: a point marks the gauge whose readings are marked (rebuilt, not appended to).
  {
    std::string label = getDlgItemText(1045);
    while (!label.empty() && label.back() == '.') label.pop_back();
    if (p.gauge8Marker.load() == 1) label += ".";
    setDlgItemText(1045, label);
  }

  // 11. Pump.
  const int pump = p.pumpCommand.load();
  if (p.pumpForcedStop.load() == 64) {
    setDlgItemText(1038, "强停");
    showControl(1038, true);
  } else if (pump <= 0) {
    setDlgItemText(1038, "停止");
    showControl(1038, true);
  } else {
    setDlgItemText(1038, "工作");
    showControl(1038, false);
  }
  item<Progress>(kProgress)->setPos(std::max(0, std::min(255, pump)));

  // 15. Too few replies: nothing live to show.
  if (p.link.goodCount.load() <= 3) {
    for (int id : {1028, 1010, 1014, 1024, 1056, 1058, 1053}) setDlgItemText(id, kDash);
    for (int id : kGaugeValues) setDlgItemText(id, kDash);
    getDlgItem(1277)->enableWindow(false);
    getDlgItem(1280)->enableWindow(false);
    return;
  }

  // 12. Live values.
  const bool automatic = p.loadingMode.load() == 2 || p.loadingMode.load() == 3;
  {
    std::string word = loop_.stateWords[i];
    if (phase == 0) word = "等 待";
    else if (phase == 1) word = "加载中";
    else if (phase == 2 && !(automatic && p.holdWordHold != 0)) word = "维  荷";
    else if (phase == 3) word = "补载中";
    else if (phase == 4) word = "稳 定";
    else if (phase >= 5 && phase <= 8) word = "卸载中";
    if (p.paused.load()) word = "暂 停";
    if (p.preloadRunning.load()) word = "预压中";
    loop_.stateWords[i] = word;
    setControlText(1028, word);
    setControlText(1276, p.paused.load() ? "恢复\r\n试验" : "暂停\r\n试验");
  }
  getDlgItem(1277)->enableWindow(true);
  if (loop_.manualKeys) {
    setControlText(1277, automatic ? "手动\r\n加载" : "手动\r\n控载");
    setControlText(1280, "手动\r\n卸载");
    getDlgItem(1280)->enableWindow(automatic);
  }
  setDlgItemText(1010, loadText(p.link.measuredLoad.load()));
  if (p.forceSensorType.load() != 0) {
    const float pressure = p.link.measuredPressure.load();
    setDlgItemText(1014, pressureText(pressure));
    if (pressure <= -10.0f) p.pumpCommand = 0;
  } else {
    setDlgItemText(1014, kDash);
  }
  const char* gaugeFormat = thousandths ? "%.3f" : "%.2f";
  for (int k = 0; k < 8; ++k) {
    const bool on = k < 4 ? firstChar(JDQFile::HeaderText(p.testRecords, 31 + k, 1)) == "1"
                          : firstChar(JDQFile::HeaderText(p.testRecords, 17 + k, 2)) == "1";
    setDlgItemText(kGaugeValues[k], on ? format(gaugeFormat, p.link.displacement[static_cast<std::size_t>(k)].load()) : kDash);
  }
  if (cyclic) {
    setDlgItemText(1024, running ? formatInt("%d", p.procedure.reloadCounter) : kDash);
  } else {
    setDlgItemText(1024, format(gaugeFormat, RoundHalfEven(p.link.meanDisplacement.load(), thousandths ? 3 : 2)));
  }
  if (!thousandths) {
    setDlgItemText(1056, format("%.2f", RoundHalfEven(p.link.meanGroup1.load(), 2)));
    setDlgItemText(1058, format("%.2f", RoundHalfEven(p.link.meanGroup2.load(), 2)));
  }

  if (p.preloadRunning.load()) {
    // 13. Preload.
    if (c1.alarmOn.load() == 0) link_.ComposeAlarmText(n);
    setDlgItemText(1012, TrimmedLoad(p.preloadValue.load()));
    for (int id : {1034, 1036, 1026, 1051}) setDlgItemText(id, kDash);
    p.timeText = formatInt("%02d", p.testClock.hour) + " : " + formatInt("%02d", p.testClock.minute) + " : " +
                 formatInt("%02d", p.testClock.second);
    setDlgItemText(1030, p.timeText);
  } else if (!running) {
    // 14. Idle channel.
    for (int id : {1012, 1026, 1051}) setDlgItemText(id, kDash);
    p.timeText = formatInt("%02d", p.testClock.hour) + " : " + formatInt("%02d", p.testClock.minute) + " : " +
                 formatInt("%02d", p.testClock.second);
    setDlgItemText(1030, p.timeText);
    // The idle prompt never hides what the supervisor shows (another channel's alarm) or a held text.
    const bool held = StatusLineHeld(n);
    if (!held && !loop_.supervisorShows)
      ShowStatusText(p.preloadEnded.load() ? "已加载到预压设定值" : "新试验从“系统设置”按钮开始！", false);
    if (p.link.linkLost.load() != 0) {
      setControlText(1275, p.pumpForcedStop.load() == 64 ? "强停" : "停止");
      int& messages = loop_.linkFaultMessages[i];
      const char* text = !radio ? "有线异常,请检查数据传输线!"
                         : messages < 5 ? "有无线干扰,持续干扰请换信道!"
                                        : "有无线干扰,持续干扰请换有线!";
      messages = messages >= 10 ? 0 : messages + 1;
      if (!held) ShowStatusText(text, true);
    }
  }
}

// ---- one-hour settlement -------------------------------------------------------------------------------

int CMonitorDlg::ComputeHourSettlement(Parameter& p) {
  const std::size_t ci = &p == &channel(1) ? 0 : &p == &channel(2) ? 1 : 2;
  const int last = p.readingCount - 1;
  if (last < 1 || last >= static_cast<int>(p.testRecords.size())) return 0;
  if (p.timeText == "— : — : —") return 0;
  const TestRecord& r = p.testRecords[static_cast<std::size_t>(last)];
  using namespace record_values;
  const float load = r.valuesA[kLevel];
  const int index = std::max(0, std::min(p.procedure.readingIndex, 6));  // loading intervals 1..7
  int next = recordMinutes(r) + p.levelMinutes[static_cast<std::size_t>(index)];
  if (p.standardCode.load() == 53 && std::fabs(load - p.controlLoad.load()) < 0.00001f) {
    const int k = p.procedure.readingIndex;
    next = recordMinutes(r) + (k <= 2 ? 10 : k <= 4 ? 15 : k <= 6 ? 30 : 0);
  }
  const bool thousandths = IsThousandthsStandard(p.standardCode.load());
  for (int j = last; j >= 0; --j) {
    const TestRecord& back = p.testRecords[static_cast<std::size_t>(j)];
    if (back.valuesA[kLevel] != load) return 0;
    if (next - recordMinutes(back) < 60) continue;
    HourSettlement& h = loop_.hourSettlement[ci];
    h.settlement = RoundHalfEven(p.link.meanDisplacement.load(), thousandths ? 3 : 2) - back.valuesA[kSettlement];
    h.value2 = RoundHalfEven(p.link.meanGroup1.load(), 2) - back.valuesA[kHalfLower];
    h.value3 = RoundHalfEven(p.link.meanGroup2.load(), 2) - back.valuesA[kHalfUpper];
    return 1;
  }
  return 0;
}

// ---- colours -------------------------------------------------------------------------------------------

void CMonitorDlg::ControlColor(CtlColor& c) {
  if (!c.control) return;
  const int id = c.control->id();
  const std::string text = c.control->getWindowText();
  switch (id) {
    case kStatusLine:
      c.dc->setTextColor(statusAlert_ ? RGB(255, 0, 0) : RGB(0, 0, 255));
      return;
    case 1016: case 1018: case 1020: case 1022: case 1024: case 1056: case 1058:
    case 1046: case 1047: case 1048: case 1049: case 1053:
      c.dc->setTextColor(RGB(0, 0, 160));
      return;
    case 1010:
    case 1014:
      c.dc->setTextColor(RGB(57, 0, 57));
      return;
    case 1028:
      if (text == "加载中" || text == "补载中" || text == "卸载中" || text == "预压中") c.dc->setTextColor(RGB(0, 100, 0));
      else if (text == "稳 定" || text == "维  荷") c.dc->setTextColor(RGB(0, 0, 255));
      else if (text == "暂 停") c.dc->setTextColor(RGB(255, 0, 0));
      else c.dc->setTextColor(RGB(0, 0, 0));
      return;
    case 1277:
      c.dc->setTextColor(text == "正在\r\n控载" || text == "正在\r\n加载" ? RGB(0, 0, 255) : RGB(0, 100, 0));
      return;
    case 1280:
      c.dc->setTextColor(text == "正在\r\n卸载" ? RGB(255, 0, 0) : RGB(200, 100, 0));
      return;
    case 1276:
      c.dc->setTextColor(text == "恢复\r\n试验" ? RGB(255, 0, 0) : RGB(0, 0, 255));
      return;
    case 1275:
      c.dc->setTextColor(channel(1).pumpForcedStop.load() == 64 ? RGB(255, 0, 0) : RGB(0, 0, 255));
      return;
    default:
      return;
  }
}

// ---- channel buttons, tabs, gauge 8 -------------------------------------------------------------------

void CMonitorDlg::OnBnClickedChannel(int n) {
  Parameter& p = channel(n);
  channel(1).selectedChannelText = std::to_string(n);
  RefreshChannelView(p);
  for (int k = 1; k <= 3; ++k) setDlgItemText(1306 + k, std::to_string(k) + (k == n ? "# 锁定" : "#"));
  const int page = item<TabCtrl>(kTab)->getCurSel();
  p.pageRedraw = page;
  loop_.shownChannel = n;  // the next tick has nothing more to redraw for it
}

void CMonitorDlg::OnTcnSelchangeTab() {
  auto* tab = item<TabCtrl>(kTab);
  const int sel = tab->getCurSel();
  if (sel < 0 || sel > 5) return;
  if (MonitorDialog* old = page(currentPage_)) old->showWindow(SW_HIDE);
  currentPage_ = sel;
  if (MonitorDialog* now = page(sel)) now->showWindow(SW_SHOWNA);
  const int selected = SelectedChannel();
  Parameter& p = channel(selected == 0 ? 1 : selected);
  p.pageRedraw = sel;
}

void CMonitorDlg::OnStnClickedGauge8() {
  const int selected = SelectedChannel();
  if (selected == 0) return;
  Parameter& p = channel(selected);
  p.gauge8Marker = p.gauge8Marker.load() ? 0 : 1;
}
