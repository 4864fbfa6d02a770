#include "calib_ui/xitong_biaoding.h"

#include <initializer_list>

#include "app/keypads.h"
#include "model/helpers.h"
#include "platform/text/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/gdi.h"

using namespace platform::ui;
using X = XiTongBiaoDing;
using platform::text::format;

namespace {

constexpr const char* kStartCaption = "开始标定";
constexpr const char* kEndCaption = "结束标定";
constexpr const char* kMeasuredForceHead = "实测力值kN";
constexpr const char* kCheckForceHead = "标定力值kN";

constexpr int kCellHeight = 46;
constexpr int kTableTop = 276;

DialogTemplate CalibrationTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.caption = "系统标定及标定检测";
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true, bool enabled = true) {
    t.controls.push_back({cid, cls, caption, r, style, visible, enabled});
  };
  const std::uint32_t label = SS_CENTERIMAGE;
  const std::uint32_t centred = SS_CENTER | SS_CENTERIMAGE;
  const std::uint32_t cell = centred | WS_BORDER;
  // Type.
  add(X::kTypeGroup, ControlClass::Button, "标定类型", {10, 2, 560, 72}, BS_GROUPBOX);
  add(X::kOilSensor, ControlClass::Button, "√油压传感器", {22, 22, 192, 66});
  add(X::kLoadSensor, ControlClass::Button, "荷载传感器", {202, 22, 372, 66});
  add(X::kSystem, ControlClass::Button, "系统", {382, 22, 548, 66});
  add(X::kStatus, ControlClass::Static, "", {570, 14, 1014, 66}, centred);
  // Inputs in two columns.
  const struct {
    int label;
    const char* caption;
    int edit;
  } inputs[] = {{X::kMaximumLabel, "标定最大油压(MPa)", X::kMaximum},
                {X::kPointsLabel, "标定点数(≤10)", X::kPoints},
                {X::kRangeLabel, "油压传感器量程(MPa)", X::kRange},
                {X::kSensitivityLabel, "传感器灵敏度(mV/V)", X::kSensitivity},
                {X::kRatedOutputLabel, "千斤顶额定出力(kN)", X::kRatedOutput},
                {X::kRatedPressureLabel, "千斤顶额定油压(MPa)", X::kRatedPressure}};
  for (int i = 0; i < 6; ++i) {
    const int x = i < 3 ? 10 : 522;
    const int y = 80 + (i % 3) * 58;
    add(inputs[i].label, ControlClass::Static, inputs[i].caption, {x, y, x + 250, y + 52}, label);
    add(inputs[i].edit, ControlClass::Edit, "", {x + 252, y, x + 492, y + 52}, WS_BORDER | ES_CENTER);
  }
  add(X::kHiddenEdit, ControlClass::Edit, "", {0, 0, 10, 10}, 0, false);
  // The table: rows 0-5 on the left, 6-10 on the right.
  const int halves[2][4] = {{X::kStandardHead, X::kForceHead, X::kPressureHead, 10},
                            {X::kStandardHeadRight, X::kForceHeadRight, X::kPressureHeadRight, 522}};
  for (const auto& h : halves) {
    const int x = h[3];
    add(h[0], ControlClass::Static, "标准油压MPa", {x, 248, x + 160, 274}, centred);
    add(h[1], ControlClass::Static, kMeasuredForceHead, {x + 162, 248, x + 326, 274}, centred);
    add(h[2], ControlClass::Static, "实测油压MPa", {x + 328, 248, x + 492, 274}, centred);
  }
  for (int row = 0; row <= 10; ++row) {
    const int x = row <= 5 ? 10 : 522;
    const int y = kTableTop + (row <= 5 ? row : row - 6) * kCellHeight;
    add(X::StandardCell(row), ControlClass::Static, "", {x, y, x + 160, y + kCellHeight - 2}, cell);
    add(X::kForceCell0 + row, ControlClass::Static, "", {x + 162, y, x + 326, y + kCellHeight - 2}, cell);
    add(X::kPressureCell0 + row, ControlClass::Static, "", {x + 328, y, x + 492, y + kCellHeight - 2}, cell);
  }
  // The next standard value and the live readings.
  const struct {
    int label;
    const char* caption;
    int value;
  } live[] = {{X::kNextStandardLabel, "标准油压(MPa)", X::kNextStandard},
              {X::kLiveForceLabel, "实测力值(kN)", X::kLiveForce},
              {X::kLivePressureLabel, "实测油压(MPa)", X::kLivePressure}};
  for (int i = 0; i < 3; ++i) {
    const int x = 10 + i * 338;
    add(live[i].label, ControlClass::Static, live[i].caption, {x, 556, x + 330, 584}, centred);
    add(live[i].value, ControlClass::Static, "--", {x, 586, x + 330, 650}, cell);
  }
  // Buttons.
  const struct {
    int id;
    const char* caption;
  } buttons[] = {{X::kZero, "清零"},
                 {X::kStart, kStartCaption},
                 {X::kRecord, "标定记录"},
                 {X::kEstimate, "灵敏度计算"},
                 {X::kExit, "退出"}};
  for (int i = 0; i < 5; ++i) {
    const int x = 10 + i * 202;
    add(buttons[i].id, ControlClass::Button, buttons[i].caption, {x, 668, x + 192, 756});
  }
  return t;
}

TemplateRegistration registrationA{CalibrationTemplate(X::kTemplateA)};
TemplateRegistration registrationB{CalibrationTemplate(X::kTemplateB)};

// The keypad edits: edit, label, maximum length, mode.
constexpr KeypadEdit kKeypadEdits[] = {{X::kMaximum, X::kMaximumLabel, 6, kKeypadDecimal},
                                       {X::kPoints, X::kPointsLabel, 2, kKeypadInteger},
                                       {X::kRange, X::kRangeLabel, 6, kKeypadDecimal},
                                       {X::kSensitivity, X::kSensitivityLabel, 6, kKeypadDecimal},
                                       {X::kRatedOutput, X::kRatedOutputLabel, 6, kKeypadDecimal},
                                       {X::kRatedPressure, X::kRatedPressureLabel, 6, kKeypadDecimal}};

std::string Number(const char* fmt, float v) { return format(fmt, static_cast<double>(v)); }

}  // namespace

XiTongBiaoDing::XiTongBiaoDing() : SettingsDialog(kTemplateA, kStatus) {
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  on(WM_TIMER, [this](Message& m) {
    if (m.wParam == kLiveTimer) ShowLiveValues();
    if (m.wParam == kBeepTimer) {
      BuzzerOff();
      killTimer(kBeepTimer);
    }
    return LRESULT{0};
  });
  onCommand(kOilSensor, BN_CLICKED, [this] { OnBnClickedType(kCalibrateOilSensor); });
  onCommand(kLoadSensor, BN_CLICKED, [this] { OnBnClickedType(kCalibrateLoadSensor); });
  onCommand(kSystem, BN_CLICKED, [this] { OnBnClickedType(kCalibrateSystem); });
  for (const KeypadEdit& e : kKeypadEdits) {
    onCommand(e.edit, EN_SETFOCUS, [this, e] { RequestKeypadFor(e, kOilSensor); });
  }
  onCommand(kStart, BN_CLICKED, [this] { OnBnClickedStart(); });
  onCommand(kZero, BN_CLICKED, [this] { OnBnClickedZero(); });
  onCommand(kRecord, BN_CLICKED, [this] { OnBnClickedRecord(); });
  onCommand(kEstimate, BN_CLICKED, [this] { OnBnClickedEstimate(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
}

bool XiTongBiaoDing::onInitDialog() {
  const Font live = Font::create(45, 700);
  const Font values = Font::create(35);
  const Font labels = Font::create(22);
  const Font small = Font::create(18, 700);
  const Font buttons = Font::create(30);
  auto set = [this](int id, const Font& f) {
    if (Window* w = getDlgItem(id)) w->setFont(f, false);
  };
  for (int id : {kNextStandard, kLiveForce, kLivePressure}) set(id, live);
  for (const KeypadEdit& e : kKeypadEdits) {
    set(e.edit, values);
    set(e.label, labels);
  }
  for (int row = 0; row <= 10; ++row)
    for (int id : {StandardCell(row), kForceCell0 + row, kPressureCell0 + row}) set(id, values);
  for (int id : {kNextStandardLabel, kLiveForceLabel, kLivePressureLabel, kOilSensor, kLoadSensor, kSystem})
    set(id, labels);
  for (int id : {kStandardHead, kStandardHeadRight, kForceHead, kForceHeadRight, kPressureHead, kPressureHeadRight,
                 kTypeGroup, kStatus})
    set(id, small);
  for (int id : {kZero, kStart, kRecord, kEstimate, kExit}) set(id, buttons);
  return true;
}

int XiTongBiaoDing::SensorType() const {
  const Parameter* p = CurrentChannel();
  return p != nullptr ? p->forceSensorType.load() : 0;
}

std::string XiTongBiaoDing::CalibrationPath() const {
  const Parameter* p = CurrentChannel();
  return SystemCalibrationPath(GetDataRoot(p != nullptr ? p->boardFlag.load() : 1));
}

void XiTongBiaoDing::SaveCalibration() { SaveSystemCalibration(CalibrationPath(), cal_); }

void XiTongBiaoDing::EnableEdits(std::initializer_list<int> ids, bool on) {
  for (int id : ids)
    if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

void XiTongBiaoDing::SetForceHeads(bool check) {
  for (int id : {kForceHead, kForceHeadRight}) setDlgItemText(id, check ? kCheckForceHead : kMeasuredForceHead);
}

void XiTongBiaoDing::FocusHiddenEdit() {
  if (auto* e = dynamic_cast<Edit*>(getDlgItem(kHiddenEdit))) {
    e->setFocus();
    e->setSel(0, -1);
  }
}

// The labels and texts of the current type.
void XiTongBiaoDing::ApplyTypeTexts() {
  const int type = cal_.type;
  const bool oil = type == kCalibrateOilSensor;
  const bool system = type == kCalibrateSystem;
  setDlgItemText(kOilSensor, oil ? "√油压传感器" : "油压传感器");
  setDlgItemText(kLoadSensor, type == kCalibrateLoadSensor ? "√荷载传感器" : "荷载传感器");
  setDlgItemText(kSystem, system ? "√系统" : "系统");
  setDlgItemText(kMaximumLabel, oil ? "标定最大油压(MPa)" : "标定最大力值(kN)");
  for (int id : {kStandardHead, kStandardHeadRight}) setDlgItemText(id, oil ? "标准油压MPa" : "标准力值kN");
  setDlgItemText(kNextStandardLabel, oil ? "标准油压(MPa)" : "标准力值(kN)");
  setDlgItemText(kRangeLabel, type == kCalibrateLoadSensor ? "荷载传感器量程(kN)" : "油压传感器量程(MPa)");
  setDlgItemText(kRange, Number("%.0f", type == kCalibrateLoadSensor ? cal_.loadSensorRange : cal_.oilSensorRange));
  if (SensorType() == 2) {
    setDlgItemText(kSensitivityLabel, "");
    setDlgItemText(kSensitivity, "");
    EnableEdits({kSensitivity}, false);
  } else {
    setDlgItemText(kSensitivityLabel, type == kCalibrateLoadSensor ? "传感器标定系数" : "传感器灵敏度(mV/V)");
    setDlgItemText(kSensitivity, Number("%.3f", cal_.sensitivity));
  }
  setDlgItemText(kRatedOutput, system ? Number("%.0f", cal_.ratedOutput) : "");
  setDlgItemText(kRatedPressure, system ? Number("%.1f", cal_.ratedPressure) : "");
  EnableEdits({kRatedOutput, kRatedPressure}, system);
  setDlgItemText(kEstimate, oil ? "灵敏度计算" : "系数计算");
  invalidate();
}

// The standard, force and pressure cells of rows 0..10 from the table texts.
void XiTongBiaoDing::WriteRows() {
  for (int row = 0; row < kCalibrationShownRows; ++row) {
    const CalibrationRowTexts& t = texts_[static_cast<std::size_t>(row)];
    setDlgItemText(StandardCell(row), t.standard);
    setDlgItemText(kForceCell0 + row, t.force);
    setDlgItemText(kPressureCell0 + row, t.pressure);
  }
}

void XiTongBiaoDing::OnOtherActivation(int) { killTimer(kLiveTimer); }

void XiTongBiaoDing::OnRefresh() {
  RebuildTable();
  FocusHiddenEdit();
}

void XiTongBiaoDing::OnKeypadResult(const KeypadRequest& result) {
  for (const KeypadEdit& e : kKeypadEdits) {
    const std::string caption = getDlgItemText(e.label);
    if (!caption.empty() && caption == result.caption) {
      setDlgItemText(e.edit, result.text);
      break;
    }
  }
  if (cal_.calibrating == 1) setTimer(kLiveTimer, kLiveMs);  // the trip to the keypad stopped the readings
}

void XiTongBiaoDing::RebuildTable() {
  if (LoadSystemCalibration(CalibrationPath(), cal_) == 0) {
    // No calibration on this instrument: the dialog starts afresh (the channel's zero is its own).
    cal_ = SystemCalibration{};
    for (CalibrationRowTexts& r : texts_) r = {"0", "0", "0"};
  }
  BoundSystemCalibration(cal_);
  setDlgItemText(kMaximum, Number("%.0f", cal_.maximum));
  setDlgItemText(kPoints, format("%d", cal_.points));
  cursorRow_ = 0;
  if (cal_.calibrating == 0) {
    EnableEdits({kMaximum, kPoints, kRange, kSensitivity, kRatedOutput, kRatedPressure}, true);
    ApplyTypeTexts();
    setDlgItemText(kNextStandard, "0");
    setDlgItemText(kLiveForce, "--");
    setDlgItemText(kLivePressure, "--");
    setDlgItemText(kStart, kStartCaption);
    SetForceHeads(false);
    SetStatus(kCalibrationIdle, false);
    return;
  }
  EnableEdits({kMaximum, kPoints, kRange, kSensitivity, kRatedOutput, kRatedPressure}, false);
  setTimer(kLiveTimer, kLiveMs);
  SetStatus("", false);
  setDlgItemText(kStart, kEndCaption);
  ApplyTypeTexts();
  texts_ = CalibrationTexts(cal_);
  SetForceHeads(cal_.mode == 1);
  WriteRows();
  cursorRow_ = NextCalibrationRow(cal_);
  setDlgItemText(kNextStandard, texts_[static_cast<std::size_t>(cursorRow_)].standard);
}

void XiTongBiaoDing::OnBnClickedType(int type) {
  if (cal_.calibrating != 0) return;
  cal_.type = type;
  ApplyTypeTexts();
  setDlgItemText(kMaximum, Number("%.0f", cal_.maximum));
  setDlgItemText(kPoints, format("%d", cal_.points));
}

void XiTongBiaoDing::OnBnClickedStart() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  if (p->testRunning.load() == 1) {
    SetStatus(kCalibrationTestRunning, true);
    return;
  }
  if (getDlgItemText(kStart) == kStartCaption) {
    if (cal_.calibrating != 0) {
      SetStatus(kCalibrationAlreadyStarted, false);
      return;
    }
    const int type =
        CalibrationTypeFromButtons(getDlgItemText(kOilSensor), getDlgItemText(kLoadSensor), getDlgItemText(kSystem));
    const CalibrationInputs in{getDlgItemText(kMaximum),     getDlgItemText(kPoints),
                               getDlgItemText(kRange),       getDlgItemText(kSensitivity),
                               getDlgItemText(kRatedOutput), getDlgItemText(kRatedPressure)};
    const CalibrationStartResult r = StartSystemCalibration(cal_, type, in, *p);
    if (!r.started) {
      SetStatus(r.message, true);
      return;
    }
    SetStatus(r.message, false);
    setDlgItemText(kStart, kEndCaption);
    texts_ = CalibrationTexts(cal_);
    SetForceHeads(false);
    WriteRows();
    cursorRow_ = 0;
    setDlgItemText(kNextStandard, texts_[0].standard);
    EnableEdits({kMaximum, kPoints, kRange, kSensitivity, kRatedOutput, kRatedPressure}, false);
    SaveCalibration();
    BuzzerOn();
    FocusHiddenEdit();
    setTimer(kLiveTimer, kLiveMs);
    return;
  }
  // End: the table is given up (the operator was asked to note it down).
  setDlgItemText(kStart, kStartCaption);
  killTimer(kLiveTimer);
  SetStatus(kCalibrationEnded, false);
  for (int row = 0; row < kCalibrationShownRows; ++row)
    for (int id : {StandardCell(row), kForceCell0 + row, kPressureCell0 + row}) setDlgItemText(id, "");
  cursorRow_ = 0;
  EndSystemCalibration(cal_, *p);
  for (CalibrationRowTexts& r : texts_) r = {"0", "0", "0"};
  setDlgItemText(kNextStandard, "0");
  setDlgItemText(kLiveForce, "--");
  setDlgItemText(kLivePressure, "--");
  SetForceHeads(false);
  EnableEdits({kHiddenEdit, kMaximum, kPoints, kRange}, true);
  EnableEdits({kRatedOutput, kRatedPressure}, cal_.type == kCalibrateSystem);
  EnableEdits({kSensitivity}, SensorType() != 2);
  BuzzerOn();
  SaveCalibration();
  invalidate();
}

void XiTongBiaoDing::OnBnClickedZero() {
  Parameter* p = CurrentChannel();
  if (p == nullptr || cal_.calibrating == 0) return;
  // The channel's zero belongs to its running test.
  if (p->testRunning.load() == 1) {
    SetStatus(kCalibrationTestRunning, true);
    return;
  }
  ZeroSystemCalibration(cal_, *p);
  SetStatus(kCalibrationZeroed, false);
  SaveCalibration();
  BuzzerOn();
}

void XiTongBiaoDing::OnBnClickedRecord() {
  if (cal_.calibrating == 0) return;
  const std::string force = getDlgItemText(kLiveForce);
  const std::string pressure = getDlgItemText(kLivePressure);
  const CalibrationRecordResult r = RecordCalibrationRow(cal_, force, pressure);
  if (r.row < 0) {
    SetStatus(r.message, false);
  } else {
    CalibrationRowTexts& t = texts_[static_cast<std::size_t>(r.row)];
    t.force = force;
    t.pressure = pressure;
    if (r.row < kCalibrationShownRows) {
      setDlgItemText(kForceCell0 + r.row, force);
      setDlgItemText(kPressureCell0 + r.row, pressure);
    }
    SetStatus(r.message, false);
    cursorRow_ = NextCalibrationRow(cal_);
    const int next = cal_.mode == 1 ? cal_.checkCount : cal_.calibrationCount;
    setDlgItemText(kNextStandard, texts_[static_cast<std::size_t>(next)].standard);
    SaveCalibration();
  }
  BuzzerOn();
}

void XiTongBiaoDing::OnBnClickedEstimate() {
  std::array<std::string, kCalibrationShownRows> standards;
  std::array<std::string, kCalibrationShownRows> measured;
  const int column = cal_.type == kCalibrateOilSensor ? kPressureCell0 : kForceCell0;
  for (int row = 0; row < kCalibrationShownRows; ++row) {
    standards[static_cast<std::size_t>(row)] = getDlgItemText(StandardCell(row));
    measured[static_cast<std::size_t>(row)] = getDlgItemText(column + row);
  }
  SetStatus(CalibrationEstimateText(cal_.type, getDlgItemText(kSensitivity), getDlgItemText(kPoints), standards,
                                    measured),
            false);
}

void XiTongBiaoDing::ShowLiveValues() {
  const Parameter* p = CurrentChannel();
  if (p == nullptr || cal_.calibrating == 0) return;
  const CalibrationLiveTexts t = LiveCalibrationTexts(cal_, p->link.rawForceValue.load(), p->forceSensorType.load());
  setDlgItemText(kLiveForce, t.force);
  setDlgItemText(kLivePressure, t.pressure);
}

// The 100 ms confirmation beep: on here, off by timer 2.
void XiTongBiaoDing::BuzzerOn() {
  const Parameter* p = CurrentChannel();
  buzzer_.on(p != nullptr ? p->boardFlag.load() : 1);
  setTimer(kBeepTimer, kBeepMs);
}

void XiTongBiaoDing::BuzzerOff() { buzzer_.off(); }

void XiTongBiaoDing::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr || c.kind == CTLCOLOR_DLG) return;
  const int id = c.control->id();
  const int current = cal_.type == kCalibrateOilSensor ? kOilSensor : cal_.type == kCalibrateSystem ? kSystem : kLoadSensor;
  if (id == kOilSensor || id == kLoadSensor || id == kSystem)
    c.dc->setTextColor(id == current ? RGB(0, 0, 255) : RGB(0, 0, 0));
}
