#include "calib_ui/selcgq.h"

#include "app/linked_dialog.h"
#include "app/widgets.h"
#include "model/datafiles.h"
#include "platform/text/text.h"

using namespace platform::ui;
using S = SelCgq;

namespace {

DialogTemplate SelectionTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.controls.push_back({S::kTitle, ControlClass::Static, "选择千斤顶", {10, 4, 1014, 40}, SS_CENTER | SS_CENTERIMAGE});
  t.controls.push_back({S::kStatus, ControlClass::Static, "", {10, 42, 1014, 74}, SS_CENTER | SS_CENTERIMAGE});
  // The list: its header and eleven rows of 42 pixels.
  t.controls.push_back({S::kList, ControlClass::List, "", {10, 78, 1014, 584},
                        WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS});
  // The chosen jacks take up to three lines (nine numbers of up to nineteen characters), the combined
  // equation up to two beside the buttons.
  t.controls.push_back({S::kChosenLine, ControlClass::Static, "", {10, 588, 1014, 682}, SS_CENTERIMAGE});
  t.controls.push_back({S::kRegressionLine, ControlClass::Static, "拟合后的系数ab值", {10, 686, 590, 760}, SS_CENTERIMAGE});
  t.controls.push_back({S::kOk, ControlClass::Button, "确定", {600, 686, 792, 760}});
  t.controls.push_back({S::kCancel, ControlClass::Button, "取消", {812, 686, 1004, 760}});
  return t;
}

TemplateRegistration registrationA{SelectionTemplate(S::kTemplateBoard1)};
TemplateRegistration registrationB{SelectionTemplate(S::kTemplateBoard0)};

struct Column {
  const char* heading;
  int width;
};
constexpr Column kJackColumns[] = {{"序号", 105}, {"编号", 200}, {"类型", 100}, {"出力", 125},
                                   {"油压", 125}, {"系数a", 165}, {"常数b", 165}};
constexpr Column kSensorColumns[] = {{"序号", 90}, {"编号", 225}, {"类型", 230}, {"量程", 210}, {"灵敏度/系数", 230}};

Color RowColour(int colour) { return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF); }

}  // namespace

SelCgq::SelCgq() : SettingsDialog(kTemplateBoard1, kStatus) {
  bindControl(kList, list_);
  onCommand(kCancel, BN_CLICKED, [this] { onCancel(); });
  onCommand(kOk, BN_CLICKED, [this] { OnOK(); });
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  // Every showing, the first included, rebuilds the list from the database.
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    if (static_cast<int>(LOWORD(m.wParam)) == WA_ACTIVE) FillList();
    return LRESULT{0};
  });
  onNotify(kList, NM_CLICK, [this](Notify&) {
    OnClickList();
    return LRESULT{0};
  });
  onNotify(kList, NM_DBLCLK, [this](Notify&) {
    OnClickList();
    return LRESULT{0};
  });
}

bool SelCgq::onInitDialog() {
  list_.setFont(Font::create(34, 0, "Tahoma"), false);
  for (int id : {kStatus, kTitle})
    if (Window* w = getDlgItem(id)) w->setFont(Font::create(26), false);
  for (int id : {kChosenLine, kRegressionLine})
    if (Window* w = getDlgItem(id)) w->setFont(Font::create(24), false);
  for (int id : {kOk, kCancel})
    if (Window* w = getDlgItem(id)) w->setFont(Font::create(30, 700), false);
  list_.setRowHeight(42);
  for (int c = 0; c < 7; ++c)
    list_.insertColumn(c, kJackColumns[static_cast<std::size_t>(c)].heading, LVCFMT_CENTER,
                       kJackColumns[static_cast<std::size_t>(c)].width);
  return true;
}

void SelCgq::onCancel() { HideAndShowLinkedDialog(*this, Linked(MonitorSlot::ChuanGanQi)); }

void SelCgq::SetChosen(int row, bool on) {
  rows_[static_cast<std::size_t>(row)].chosen = on;
  list_.setItemImage(row, on ? 0 : 1);
}

void SelCgq::FillList() {
  Parameter* p = channel();
  if (p == nullptr) return;
  SetStatus("", false);
  list_.deleteAllItems();
  marked_ = -1;
  list_.setExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  mode_ = p->selectCaller == 1 ? 1 : 0;
  // The seven columns serve both modes, each with the captions of its mode over the values; the sensor
  // mode's last two at width 0.
  for (int c = 0; c < 7; ++c) {
    const std::size_t k = static_cast<std::size_t>(c);
    const Column& column = mode_ == 0 ? kJackColumns[k] : k < 5 ? kSensorColumns[k] : Column{"", 0};
    list_.setColumnHeading(c, column.heading);
    list_.setColumnWidth(c, column.width);
  }
  list_.setImageList(mode_ == 0 ? TickBoxImages() : std::vector<Bitmap>{Bitmap(1, 42)});
  const int method = p->pressureMethod.load();
  setDlgItemText(kTitle, mode_ == 1     ? "选择传感器"
                         : method == 3 ? "选择千斤顶--回归方程:Y(MPa)=bx(kN)+a"
                         : method == 2 ? "选择千斤顶--压力计算方式:率定数据"
                                       : "选择千斤顶--压力计算方式:计算");
  p->jackSensorList.clear();  // a database that cannot be read leaves no list
  JDQFile::LoadJackSensorLists("", -1, *p);
  rows_ = BuildSelectionRows(p->jackSensorList, mode_, p->jackText, p->sensorText, marked_);
  // The group's a and b start from the channel's own, so an OK that never combined them keeps those.
  a_ = p->jackCoefficientC.load();
  b_ = p->jackCoefficientD.load();
  if (rows_.empty()) {
    SetStatus("未找到相关设备的参数!", true);
    setDlgItemText(kChosenLine, "");
    setDlgItemText(kRegressionLine, "");
    invalidate();
    return;
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const int row = static_cast<int>(i);
    const std::vector<std::string> cells = SelectionCells(rows_[i], row, mode_);
    list_.insertItem(row, cells[0], mode_ == 0 ? (rows_[i].chosen ? 0 : 1) : 0);
    for (std::size_t k = 1; k < cells.size(); ++k) list_.setItemText(row, static_cast<int>(k), cells[k]);
    list_.SetItemColor(row, RowColour(rows_[i].colour));
  }
  if (mode_ == 0) {
    Summarize();
  } else {
    count_ = 1;
    TakeSensor(marked_, "当前选中的传感器为:");
  }
  list_.setFocus();
  list_.setItemState(marked_, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
  list_.ensureVisible(marked_);
  list_.setSelectionMark(marked_);
  invalidate();
}

void SelCgq::TakeSensor(int row, const char* prefix) {
  const SelectionRow& r = rows_[static_cast<std::size_t>(row)];
  selection_ = r.number;
  sensorType_ = r.record.value;
  sensorSensitivity_ = r.record.values[1];
  sensorRange_ = static_cast<int>(r.record.values[0] + 0.5f);
  setDlgItemText(kChosenLine, prefix + r.number);
  setDlgItemText(kRegressionLine, "");
}

void SelCgq::Summarize() {
  const Parameter* p = channel();
  const JackSummary s = SummarizeJacks(rows_, p ? p->pressureMethod.load() : 1, a_, b_);
  selection_ = s.selection;
  count_ = s.count;
  a_ = s.a;
  b_ = s.b;
  if (s.count > 0) {
    ratedPressure_ = s.ratedPressure;
    ratedOutput_ = s.ratedOutput;
  }
  setDlgItemText(kChosenLine, s.chosenLine);
  setDlgItemText(kRegressionLine, s.regressionLine);
}

void SelCgq::OnClickList() {
  Parameter* p = channel();
  if (p == nullptr || rows_.empty()) return;
  if (p->testRunning.load() == 1) {
    SetStatus("测试已经开始，无法改变选择", true);
    return;
  }
  const int clicked = list_.getSelectionMark();
  if (mode_ == 0) {
    if (clicked >= 0 && clicked < static_cast<int>(rows_.size())) {
      marked_ = clicked;
      if (rows_[static_cast<std::size_t>(clicked)].chosen) {
        SetChosen(clicked, false);
      } else {
        const std::string refusal = JackChoiceRefusal(rows_, clicked, p->pressureMethod.load());
        if (!refusal.empty()) {
          SetStatus(refusal, true);
          return;
        }
        SetChosen(clicked, true);
      }
    }
    Summarize();
  } else {
    count_ = 1;
    selection_.clear();
    marked_ = clicked;
    if (clicked >= 0 && clicked < static_cast<int>(rows_.size())) TakeSensor(clicked, "当前选择的传感器为:");
  }
  SetStatus("参数已改变，按确定输入有效！", true);
}

void SelCgq::OnOK() {
  Parameter* p = channel();
  if (p != nullptr && p->testRunning.load() != 1 && !rows_.empty()) {
    if (mode_ == 0) {
      if (count_ == 0) {
        SetStatus("请选择千斤顶！", true);
        return;
      }
      SetStatus("", warning());
      p->jackText = selection_;
      p->jackSetting = count_;
      p->jackCoefficientC = a_;
      p->jackCoefficientD = b_;
      p->jackCoefficientA = ratedPressure_;
      p->jackCoefficientB = ratedOutput_;
    } else {
      if (marked_ < 0 || selection_.empty()) {
        SetStatus("请选择传感器！", true);
        return;
      }
      const bool loadCell = p->forceSensorType.load() == 0;
      if (loadCell != (sensorType_ == 0)) {
        SetStatus(loadCell ? "请选择类型为“荷重传感器”的选项！" : "请选择类型为“油压传感器”的选项！", true);
        return;
      }
      p->sensorText = selection_;
      p->sensorCoefficient = sensorSensitivity_;
      p->sensorSetting = sensorRange_;
    }
  }
  HideAndShowLinkedDialog(*this, Linked(MonitorSlot::ChuanGanQi));
}

void SelCgq::OnCtlColor(CtlColor& c) {
  if (c.control != nullptr && c.control->id() == kRegressionLine) c.dc->setTextColor(RGB(0, 0, 255));
}
