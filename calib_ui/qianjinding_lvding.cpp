#include "calib_ui/qianjinding_lvding.h"

#include "app/keypads.h"
#include "platform/text/text.h"
#include "platform/ui/gdi.h"

using namespace platform::ui;
using D = QianJinDingLvDing;
using platform::text::format;

namespace {

constexpr const char* kJackCaption = "千斤顶";
constexpr const char* kJackChosen = "√千斤顶";
constexpr const char* kSystemCaption = "系统";
constexpr const char* kSystemChosen = "√系统";

// Rows of the table: points 0-5 on the left, 6-10 on the right.
constexpr int kRowTop = 330;
constexpr int kRowPitch = 54;
constexpr int kRowHeight = 50;

// The buttons of the bottom row, left to right, with the hidden label that frames each.
struct BottomButton {
  int button;
  int frame;
  const char* caption;
};
constexpr BottomButton kBottom[] = {{D::kPrevious, D::kPreviousFrame, "上一组"},
                                    {D::kNext, D::kNextFrame, "下一组"},
                                    {D::kSave, D::kSaveFrame, "存盘"},
                                    {D::kDelete, D::kDeleteFrame, "删除"},
                                    {D::kExit, D::kExitFrame, "退出"}};
constexpr int kBottomTop = 668;
constexpr int kBottomBottom = 762;

DialogTemplate JackTemplate() {
  DialogTemplate t;
  t.id = D::kTemplate;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true, bool enabled = true) {
    t.controls.push_back({cid, cls, caption, r, style, visible, enabled});
  };
  const std::uint32_t label = SS_CENTERIMAGE;
  const std::uint32_t centred = SS_CENTER | SS_CENTERIMAGE;
  const std::uint32_t edit = WS_BORDER;
  add(D::kTitle, ControlClass::Static, JackTableTitle(1), {10, 2, 1014, 42}, centred);
  add(D::kStatus, ControlClass::Static, "", {10, 44, 1014, 74}, centred);
  // The group's identity, maximum force and number of points.
  add(D::kInfoGroup, ControlClass::Button, "千斤顶率定表信息", {10, 76, 1014, 262}, BS_GROUPBOX);
  add(D::kKindLabel, ControlClass::Static, "率定方式", {22, 102, 212, 150}, label);
  add(D::kJackKind, ControlClass::Button, kJackChosen, {215, 102, 355, 150});
  add(D::kSystemKind, ControlClass::Button, kSystemCaption, {365, 102, 505, 150});
  add(D::kJackNumberLabel, ControlClass::Static, "千斤顶编号", {522, 102, 742, 150}, label);
  add(D::kJackNumber, ControlClass::Edit, "", {745, 102, 1004, 150}, edit);
  add(D::kSensorNumberLabel, ControlClass::Static, "传感器编号", {22, 156, 212, 204}, label);
  add(D::kSensorNumber, ControlClass::Edit, "", {215, 156, 505, 204}, edit, true, false);
  add(D::kMaxForceLabel, ControlClass::Static, "率定最大力值kN", {522, 156, 742, 204}, label);
  add(D::kMaxForce, ControlClass::Edit, "", {745, 156, 1004, 204}, edit);
  add(D::kPointsLabel, ControlClass::Static, "率定点数(≤10)", {22, 210, 212, 258}, label);
  add(D::kPoints, ControlClass::Edit, "", {215, 210, 505, 258}, edit);
  add(D::kGenerate, ControlClass::Button, "生成标准力值", {522, 210, 1004, 258});
  // The table: heads, then a row per point.
  add(D::kDataGroup, ControlClass::Button, "千斤顶率定表数据", {10, 266, 1014, 660}, BS_GROUPBOX);
  for (int side = 0; side < 2; ++side) {
    const int x = 22 + side * 500;
    add(side == 0 ? D::kNumberHeadLeft : D::kNumberHeadRight, ControlClass::Static, "序号", {x, 292, x + 80, 326},
        centred);
    add(side == 0 ? D::kStandardHeadLeft : D::kStandardHeadRight, ControlClass::Static, "标准力值kN",
        {x + 84, 292, x + 270, 326}, centred);
    add(side == 0 ? D::kMeasuredHeadLeft : D::kMeasuredHeadRight, ControlClass::Static, kJackMeasuredPressure,
        {x + 274, 292, x + 482, 326}, centred);
  }
  for (int k = 0; k <= kJackMaxPoints; ++k) {
    const int x = 22 + (k <= 5 ? 0 : 500);
    const int y = kRowTop + kRowPitch * (k <= 5 ? k : k - 6);
    add(D::PointLabel(k), ControlClass::Static, format("%d", k), {x, y, x + 80, y + kRowHeight}, centred);
    add(D::StandardLabel(k), ControlClass::Static, k == 0 ? "0" : "", {x + 84, y, x + 270, y + kRowHeight},
        centred | WS_BORDER);
    add(D::MeasuredEdit(k), ControlClass::Edit, "", {x + 274, y, x + 482, y + kRowHeight}, edit);
  }
  // The bottom row: each button inside the frame the paint handler draws at its hidden label.
  for (int i = 0; i < 5; ++i) {
    const BottomButton& b = kBottom[i];
    const int left = 12 + i * 202;
    add(b.frame, ControlClass::Static, b.caption, {left, kBottomTop, left + 192, kBottomBottom}, 0, false);
    add(b.button, ControlClass::Button, b.caption, {left + 8, kBottomTop + 10, left + 184, kBottomBottom - 8});
  }
  add(D::kHiddenCaption, ControlClass::Static, "系统标定-千斤顶率定", {0, 0, 10, 10}, 0, false);
  add(D::kHiddenTable, ControlClass::Static, "率定表", {0, 0, 10, 10}, 0, false);
  add(1048, ControlClass::Static, "第1组 共10组", {0, 0, 10, 10}, 0, false);
  add(1049, ControlClass::Static, "", {0, 0, 10, 10}, 0, false);
  add(D::kFocusSink, ControlClass::Edit, "", {0, 0, 10, 10}, 0, false);
  return t;
}

TemplateRegistration registration{JackTemplate()};

// The keypad edits other than the measured values: edit, label, maximum length, mode.
constexpr KeypadEdit kKeypadEdits[] = {{D::kJackNumber, D::kJackNumberLabel, 10, kKeypadText},
                                       {D::kSensorNumber, D::kSensorNumberLabel, 10, kKeypadText},
                                       {D::kMaxForce, D::kMaxForceLabel, 10, kKeypadDecimal},
                                       {D::kPoints, D::kPointsLabel, 2, kKeypadInteger}};

std::string PointCaption(int k) { return format("率定点%d", k); }

}  // namespace

QianJinDingLvDing::QianJinDingLvDing() : SettingsDialog(kTemplate, kStatus) {
  for (const KeypadEdit& e : kKeypadEdits) onCommand(e.edit, EN_SETFOCUS, [this, id = e.edit] { OnSetFocusEdit(id); });
  onCommandRange(MeasuredEdit(0), MeasuredEdit(kJackMaxPoints), EN_SETFOCUS, [this](int id) { OnSetFocusEdit(id); });
  onCommand(kGenerate, BN_CLICKED, [this] { OnBnClickedAutoFill(); });
  onCommand(kSave, BN_CLICKED, [this] { OnBnClickedSaveGroup(); });
  onCommand(kPrevious, BN_CLICKED, [this] { OnBnClickedPrevGroup(); });
  onCommand(kNext, BN_CLICKED, [this] { OnBnClickedNextGroup(); });
  onCommand(kDelete, BN_CLICKED, [this] { OnBnClickedDeleteGroup(); });
  onCommand(kJackKind, BN_CLICKED, [this] { OnBnClickedJackKind(); });
  onCommand(kSystemKind, BN_CLICKED, [this] { OnBnClickedSystemKind(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
  on(WM_PAINT, [this](Message& m) { return OnPaint(m); });
  on(WM_SHOWWINDOW, [this](Message& m) {
    if (m.wParam != 0) {
      deleteShown_ = DeleteAvailable();  // the whole dialog is painted as it shows
      setTimer(kStateTimer, 1000);
    } else {
      killTimer(kStateTimer);
    }
    return defWindowProc(m);
  });
  on(WM_TIMER, [this](Message& m) {
    if (m.wParam == kStateTimer) FollowDeleteAvailability();
    return LRESULT{0};
  });
  // The groups, the test and the keypad request are always channel 1's, whichever channel is shown.
  SetRequestsAllChannels(true);
}

bool QianJinDingLvDing::onInitDialog() {
  group_ = 1;
  activations_ = 0;
  const Font small = Font::create(22);
  const Font labels = Font::create(28);
  const Font values = Font::create(30);
  const Font title = Font::create(33, 700);
  auto set = [this](int id, const Font& f) {
    if (Window* w = getDlgItem(id)) w->setFont(f, false);
  };
  for (int id : {kInfoGroup, kDataGroup, kStatus}) set(id, small);
  for (int id : {kKindLabel, kJackNumberLabel, kSensorNumberLabel, kMaxForceLabel, kPointsLabel, kNumberHeadLeft,
                 kStandardHeadLeft, kMeasuredHeadLeft, kNumberHeadRight, kStandardHeadRight, kMeasuredHeadRight,
                 kJackKind, kSystemKind, kGenerate})
    set(id, labels);
  for (int id : {kJackNumber, kSensorNumber, kMaxForce, kPoints}) set(id, values);
  for (int k = 0; k <= kJackMaxPoints; ++k) {
    set(PointLabel(k), values);
    set(StandardLabel(k), values);
    set(MeasuredEdit(k), values);
  }
  for (const BottomButton& b : kBottom) set(b.button, labels);
  set(kTitle, title);
  setDlgItemText(kFocusSink, "千斤顶");
  setDlgItemText(kMaxForce, "1000");
  setDlgItemText(kPoints, "5");
  return true;
}

void QianJinDingLvDing::enable(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

// ---- activation and showing a group -------------------------------------------------------------------

void QianJinDingLvDing::OnRefresh() {
  Parameter* p = channel1();
  if (p == nullptr) return;
  ++activations_;
  SetStatus("", warning());
  // The groups are read once; later showings drop what was typed and not saved.
  if (activations_ == 1) LoadJackGroups(*p);
  FillGroupTable();
}

void QianJinDingLvDing::FillGroupTable() {
  Parameter* p = channel1();
  if (p == nullptr) return;
  EnsureJackGroups(*p);
  const JackGroupView v = ViewJackGroup(p->jackGroups[static_cast<std::size_t>(group_ - 1)]);
  SetStatus("", warning());
  setDlgItemText(kTitle, JackTableTitle(group_));
  setDlgItemText(kJackNumber, v.jackNumber);
  setDlgItemText(kSensorNumber, v.sensorNumber);
  sensorNumber_ = v.sensorNumber;
  SetKind(!v.system);
  setDlgItemText(kMaxForce, v.maxForce);
  setDlgItemText(kPoints, v.points);
  for (int k = 0; k <= kJackMaxPoints; ++k) {
    setDlgItemText(StandardLabel(k), v.standard[static_cast<std::size_t>(k)]);
    setDlgItemText(MeasuredEdit(k), v.measured[static_cast<std::size_t>(k)]);
  }
  const int n = v.pointCount;
  groupEditable_ = !v.saved;
  for (int id : {kJackNumber, kMaxForce, kPoints, MeasuredEdit(0), kGenerate}) enable(id, groupEditable_);
  enable(kSensorNumber, groupEditable_ && !jackKind_);
  for (int k = 1; k <= kJackMaxPoints; ++k) {
    enable(MeasuredEdit(k), groupEditable_ && k <= n);
    setDlgItemText(PointLabel(k), k <= n ? format("%d", k) : std::string());
  }
  setDlgItemText(PointLabel(0), "0");
  invalidate();
}

// The kind buttons' captions, the sensor edit and the column heads of a kind.
void QianJinDingLvDing::SetKind(bool jack) {
  jackKind_ = jack;
  setDlgItemText(kJackKind, jack ? kJackChosen : kJackCaption);
  setDlgItemText(kSystemKind, jack ? kSystemCaption : kSystemChosen);
  setDlgItemText(kMeasuredHeadLeft, jack ? kJackMeasuredPressure : kJackMeasuredForce);
  setDlgItemText(kMeasuredHeadRight, jack ? kJackMeasuredPressure : kJackMeasuredForce);
  for (int id : {kJackKind, kSystemKind})
    if (Window* w = getDlgItem(id)) w->invalidate();
}

// ---- keypad -------------------------------------------------------------------------------------------

void QianJinDingLvDing::OnSetFocusEdit(int edit) {
  for (const KeypadEdit& e : kKeypadEdits)
    if (e.edit == edit) {
      RequestKeypadFor(e, kExit, true);
      return;
    }
  const int k = edit - MeasuredEdit(0);
  if (k >= 0 && k <= kJackMaxPoints)
    RequestKeypad(getDlgItemText(edit), PointCaption(k), 6, kKeypadDecimal, kExit, true);
}

void QianJinDingLvDing::OnKeypadResult(const KeypadRequest& result) {
  for (const KeypadEdit& e : kKeypadEdits)
    if (result.caption == getDlgItemText(e.label)) setDlgItemText(e.edit, result.text);
  for (int k = 0; k <= kJackMaxPoints; ++k)
    if (result.caption == PointCaption(k)) setDlgItemText(MeasuredEdit(k), result.text);
}

// ---- buttons ------------------------------------------------------------------------------------------

void QianJinDingLvDing::OnBnClickedAutoFill() {
  const JackGenerateResult r =
      GenerateStandardForces({getDlgItemText(kSystemKind) == kSystemChosen, getDlgItemText(kJackNumber),
                              getDlgItemText(kSensorNumber), getDlgItemText(kMaxForce), getDlgItemText(kPoints)});
  Show(r.message);
  if (!r.generated) return;
  const int n = r.pointCount;
  for (int k = 0; k <= kJackMaxPoints; ++k) {
    setDlgItemText(StandardLabel(k), r.standard[static_cast<std::size_t>(k)]);
    setDlgItemText(PointLabel(k), k <= n ? format("%d", k) : std::string());
    if (k == 0) continue;
    if (k > n) setDlgItemText(MeasuredEdit(k), "");
    enable(MeasuredEdit(k), k <= n);
  }
  if (Window* w = getDlgItem(kFocusSink)) w->setFocus();
}

void QianJinDingLvDing::OnBnClickedSaveGroup() {
  Parameter* p = channel1();
  if (p == nullptr) return;
  JackSaveEntry e;
  e.system = getDlgItemText(kJackKind) != kJackChosen;
  e.jackNumber = getDlgItemText(kJackNumber);
  e.sensorNumber = getDlgItemText(kSensorNumber);
  e.maxForce = getDlgItemText(kMaxForce);
  e.points = getDlgItemText(kPoints);
  for (int k = 0; k <= kJackMaxPoints; ++k) {
    if (k > 0) e.standard[static_cast<std::size_t>(k)] = getDlgItemText(StandardLabel(k));
    e.measured[static_cast<std::size_t>(k)] = getDlgItemText(MeasuredEdit(k));
  }
  const JackSaveResult r = SaveJackGroup(*p, group_, e);
  Show(r.message);
  if (!r.saved) return;
  // The saved group is locked; generating and the kind buttons change nothing that is stored.
  for (int id : {kJackNumber, kSensorNumber, kMaxForce, kPoints}) enable(id, false);
  for (int k = 0; k <= kJackMaxPoints; ++k) enable(MeasuredEdit(k), false);
  if (Window* w = getDlgItem(kFocusSink)) w->setFocus();
}

void QianJinDingLvDing::OnBnClickedPrevGroup() {
  const JackPageResult r = PreviousJackGroup(group_);
  if (!r.changed) {
    Show(r.message);
    return;
  }
  group_ = r.group;
  FillGroupTable();
}

void QianJinDingLvDing::OnBnClickedNextGroup() {
  Parameter* p = channel1();
  if (p == nullptr) return;
  const JackPageResult r = NextJackGroup(*p, group_);
  if (!r.changed) {
    if (!r.message.text.empty()) Show(r.message);
    return;
  }
  group_ = r.group;
  FillGroupTable();
}

void QianJinDingLvDing::OnBnClickedDeleteGroup() {
  Parameter* p = channel1();
  if (p == nullptr) return;
  const JackDeleteResult r = DeleteJackGroup(*p, group_);
  if (r.deleted) FillGroupTable();
  Show(r.message);
}

void QianJinDingLvDing::OnBnClickedSystemKind() {
  if (!groupEditable_) return;
  setDlgItemText(kSensorNumber, "");
  enable(kSensorNumber, true);
  SetKind(false);
}

void QianJinDingLvDing::OnBnClickedJackKind() {
  if (!groupEditable_) return;
  enable(kSensorNumber, false);
  setDlgItemText(kSensorNumber, sensorNumber_);
  SetKind(true);
}

// ---- drawing ------------------------------------------------------------------------------------------

void QianJinDingLvDing::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr) return;
  const int id = c.control->id();
  if (id == kJackKind) c.dc->setTextColor(jackKind_ ? RGB(0, 0, 255) : RGB(0, 0, 0));
  else if (id == kSystemKind) c.dc->setTextColor(jackKind_ ? RGB(0, 0, 0) : RGB(0, 0, 255));
}

bool QianJinDingLvDing::DeleteAvailable() const {
  const Parameter* p = channel1();
  return p == nullptr || JackDeleteAvailable(*p);
}

void QianJinDingLvDing::FollowDeleteAvailability() {
  if (DeleteAvailable() == deleteShown_) return;
  deleteShown_ = !deleteShown_;
  if (const Window* w = getDlgItem(kDeleteFrame)) {
    const Rect r = w->windowRect();
    invalidateRect({r.left - 2, r.top - 2, r.right + 2, r.bottom + 2});  // with the outline's outer half
  }
}

LRESULT QianJinDingLvDing::OnPaint(Message&) {
  {
    PaintDC dc(*this);
    const Color darkBlue = RGB(0, 0, 128);
    auto frameOf = [this](int id) {
      const Window* w = getDlgItem(id);
      return w != nullptr ? w->windowRect() : Rect{};
    };
    // The rule above the bottom row.
    const Rect top = frameOf(kSaveFrame);
    dc.selectPen(Pen{PS_SOLID, 2, darkBlue});
    dc.moveTo(0, top.top);
    dc.lineTo(getClientRect().right, top.top);
    dc.selectBrush(Brush::null());
    for (const BottomButton& b : kBottom) {
      const Rect r = frameOf(b.frame);
      bool available = true;
      bool action = true;  // a frame that shows whether its action is there
      if (b.frame == kPreviousFrame) available = JackPreviousAvailable(group_);
      else if (b.frame == kNextFrame) available = JackNextAvailable(group_);
      else if (b.frame == kDeleteFrame) available = DeleteAvailable();
      else action = false;
      if (!available) {
        // An action that is not there: a plain dark blue frame.
        dc.selectPen(Pen{PS_SOLID, 2, darkBlue});
        dc.rectangle(r);
        continue;
      }
      // Bevelled: light upper-left and dark lower-right edges, brown and orange for an available
      // action, blue shades otherwise, inside a 2-pixel dark blue outline.
      const Color light = action ? RGB(255, 190, 90) : RGB(150, 190, 255);
      const Color mid = action ? RGB(230, 140, 40) : RGB(70, 120, 220);
      const Color dark = action ? RGB(130, 70, 20) : RGB(20, 50, 150);
      for (int i = 2; i <= 5; ++i) {
        const Rect e = r.deflate(i, i);
        dc.draw3dRect(e, i <= 3 ? light : mid, i <= 3 ? dark : mid);
      }
      dc.selectPen(Pen{PS_SOLID, 2, darkBlue});
      dc.rectangle(r);
    }
  }
  if (activeWindow() == this)
    if (Window* w = getDlgItem(kFocusSink)) w->setFocus();
  return 0;
}
