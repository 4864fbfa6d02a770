#include "calib_ui/chuanganqi.h"

#include <array>
#include <initializer_list>

#include "app/keypads.h"
#include "app/test_control.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"

using namespace platform::ui;
using C = ChuanGanQi;
using platform::text::format;

namespace {

constexpr const char* kMethodLocked = "测试已经开始，无法改变计算方式！";

DialogTemplate SensorTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true, bool enabled = true) {
    t.controls.push_back({cid, cls, caption, r, style, visible, enabled});
  };
  const std::uint32_t label = SS_CENTERIMAGE;
  const std::uint32_t edit = WS_BORDER;
  add(C::kTitle, ControlClass::Static, "", {10, 2, 1014, 32}, SS_CENTER | SS_CENTERIMAGE);
  add(C::kStatus, ControlClass::Static, "", {10, 34, 1014, 62}, SS_CENTER | SS_CENTERIMAGE);
  // Method and the coefficient preview.
  add(C::kMethodGroup, ControlClass::Button, "压力计算方式", {10, 64, 500, 150}, BS_GROUPBOX);
  add(C::kComputed, ControlClass::Button, "√计算", {24, 90, 244, 144});
  add(C::kRegression, ControlClass::Button, "回归方程", {264, 90, 486, 144});
  add(C::kCoefficientGroup, ControlClass::Button, "", {515, 64, 1014, 150}, BS_GROUPBOX);
  add(C::kCoefficientLabel, ControlClass::Static, "标定系数", {530, 88, 700, 146}, label);
  add(C::kCoefficient, ControlClass::Edit, "", {705, 88, 1000, 146}, edit | ES_READONLY);
  // Sensor.
  add(C::kSensorGroup, ControlClass::Button, "传感器", {10, 152, 500, 416}, BS_GROUPBOX);
  add(C::kSensorNumberLabel, ControlClass::Static, "传感器编号", {20, 176, 170, 230}, label);
  add(C::kSensorNumber, ControlClass::Edit, "", {175, 176, 395, 230}, edit);
  add(C::kSelectSensor, ControlClass::Button, "选择", {400, 176, 490, 230});
  add(C::kFullRangeLabel, ControlClass::Static, "满量程MPa", {20, 236, 170, 290}, label);
  add(C::kFullRange, ControlClass::Edit, "", {175, 236, 490, 290}, edit);
  add(C::kSensitivityLabel, ControlClass::Static, "灵敏度mv/V", {20, 296, 170, 350}, label);
  add(C::kSensitivity, ControlClass::Edit, "", {175, 296, 490, 350}, edit);
  // Jacks.
  add(C::kJackGroup, ControlClass::Button, "千斤顶", {515, 152, 1014, 416}, BS_GROUPBOX);
  add(C::kJackNumberLabel, ControlClass::Static, "千斤顶编号", {525, 176, 725, 230}, label);
  add(C::kJackNumber, ControlClass::Edit, "", {730, 176, 910, 230}, edit);
  add(C::kSelectJack, ControlClass::Button, "选择", {914, 176, 1004, 230});
  add(C::kRatedOutputLabel, ControlClass::Static, "额定出力kN", {525, 236, 725, 290}, label);
  add(C::kRatedOutput, ControlClass::Edit, "", {730, 236, 1004, 290}, edit);
  add(C::kRatedPressureLabel, ControlClass::Static, "额定油压MPa", {525, 296, 725, 350}, label);
  add(C::kRatedPressure, ControlClass::Edit, "", {730, 296, 1004, 350}, edit);
  add(C::kJackCountLabel, ControlClass::Static, "千斤顶并联台数", {525, 356, 725, 410}, label);
  add(C::kJackCount, ControlClass::Edit, "", {730, 356, 1004, 410}, edit);
  // Regression equation.
  // The two edits hold nine characters of the large font ("0.006667", "-1.234567"); the equation
  // stands on the group's top line, right of its caption.
  add(C::kRegressionGroup, ControlClass::Button, "回归方程", {10, 418, 1014, 504}, BS_GROUPBOX);
  add(C::kEquation, ControlClass::Static, "回归方程:Y(MPa)=bx(kN)+a", {640, 416, 1000, 442}, label | SS_RIGHT);
  add(C::kBLabel, ControlClass::Static, "方程系数b", {20, 444, 150, 498}, label);
  add(C::kB, ControlClass::Edit, "", {152, 444, 490, 498}, edit, true, false);
  add(C::kALabel, ControlClass::Static, "方程常数a", {525, 444, 665, 498}, label);
  add(C::kA, ControlClass::Edit, "", {667, 444, 1004, 498}, edit, true, false);
  // Protection.
  add(C::kProtectionGroup, ControlClass::Button, "保护参数", {10, 506, 1014, 706}, BS_GROUPBOX);
  add(C::kTimeLabel, ControlClass::Static, "加载保护时间s", {20, 530, 260, 584}, label);
  add(C::kTime, ControlClass::Edit, "", {262, 530, 500, 584}, edit);
  add(C::kSettlementLabel, ControlClass::Static, "最大沉降允许值mm", {525, 530, 765, 584}, label);
  add(C::kSettlement, ControlClass::Edit, "", {767, 530, 1004, 584}, edit);
  add(C::kUnevenLabel, ControlClass::Static, "不均匀沉降允许值mm", {20, 590, 260, 644}, label);
  add(C::kUneven, ControlClass::Edit, "", {262, 590, 500, 644}, edit);
  add(C::kRangeLabel, ControlClass::Static, "位移量程报警值mm", {525, 590, 765, 644}, label);
  add(C::kRange, ControlClass::Edit, "", {767, 590, 1004, 644}, edit);
  add(C::kUpliftLabel, ControlClass::Static, "锚桩上拔报警值mm", {20, 648, 260, 702}, label);
  add(C::kUplift, ControlClass::Edit, "", {262, 648, 500, 702}, edit);
  add(C::kOk, ControlClass::Button, "确定", {600, 710, 792, 764});
  add(C::kExit, ControlClass::Button, "退出", {812, 710, 1004, 764});
  add(C::kHiddenEdit, ControlClass::Edit, "", {0, 0, 10, 10}, 0, false);
  return t;
}

TemplateRegistration registrationA{SensorTemplate(C::kTemplateBoard1)};
TemplateRegistration registrationB{SensorTemplate(C::kTemplateBoard0)};

// The keypad edits in the order the keypad's result is matched: edit, label, maximum length, mode.
constexpr KeypadEdit kKeypadEdits[] = {
    {C::kSensorNumber, C::kSensorNumberLabel, 10, kKeypadText},
    {C::kFullRange, C::kFullRangeLabel, 6, kKeypadDecimal},
    {C::kSensitivity, C::kSensitivityLabel, 6, kKeypadDecimal},
    {C::kJackNumber, C::kJackNumberLabel, 10, kKeypadText},
    {C::kRatedOutput, C::kRatedOutputLabel, 6, kKeypadDecimal},
    {C::kRatedPressure, C::kRatedPressureLabel, 6, kKeypadDecimal},
    {C::kJackCount, C::kJackCountLabel, 2, kKeypadInteger},
    {C::kA, C::kALabel, 8, kKeypadSignedDecimal},
    {C::kB, C::kBLabel, 8, kKeypadDecimal},
    {C::kTime, C::kTimeLabel, 5, kKeypadInteger},
    {C::kSettlement, C::kSettlementLabel, 6, kKeypadDecimal},
    {C::kUneven, C::kUnevenLabel, 6, kKeypadDecimal},
    {C::kRange, C::kRangeLabel, 6, kKeypadDecimal},
    {C::kUplift, C::kUpliftLabel, 6, kKeypadDecimal}};

// The sensor and jack edits, locked while a test runs.
constexpr int kSensorJackEdits[] = {C::kSensorNumber, C::kFullRange, C::kA,           C::kB,          C::kJackNumber,
                                    C::kJackCount,    C::kRatedOutput, C::kRatedPressure, C::kSensitivity};

// A value for a field that shows nothing for 0.
std::string NonZero(const std::string& text) { return text == "0" ? std::string() : text; }

}  // namespace

ChuanGanQi::ChuanGanQi() : SettingsDialog(kTemplateBoard1, kStatus) {
  for (const KeypadEdit& e : kKeypadEdits) onCommand(e.edit, EN_SETFOCUS, [this, id = e.edit] { OnSetFocusEdit(id); });
  onCommand(kComputed, BN_CLICKED, [this] { OnBnClickedComputed(); });
  onCommand(kRegression, BN_CLICKED, [this] { OnBnClickedRegression(); });
  onCommand(kSelectSensor, BN_CLICKED, [this] { OnBnClickedSelect(1); });
  onCommand(kSelectJack, BN_CLICKED, [this] { OnBnClickedSelect(0); });
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
}

bool ChuanGanQi::onInitDialog() {
  const Font groups = Font::create(20, 700);
  const Font labels = Font::create(26);
  const Font edits = Font::create(50, 700);
  const Font title = Font::create(24);
  const Font buttons = Font::create(32);
  auto set = [this](int id, const Font& f) {
    if (Window* w = getDlgItem(id)) w->setFont(f, false);
  };
  for (int id : {kMethodGroup, kSensorGroup, kJackGroup, kRegressionGroup, kCoefficientGroup, kProtectionGroup, kStatus})
    set(id, groups);
  for (int id : {kALabel, kBLabel, kSensorNumberLabel, kFullRangeLabel, kTimeLabel, kJackNumberLabel, kJackCountLabel,
                 kRatedOutputLabel, kRatedPressureLabel, kSensitivityLabel, kEquation, kCoefficientLabel,
                 kSettlementLabel, kUnevenLabel, kRangeLabel, kUpliftLabel, kComputed, kRegression, kSelectSensor,
                 kSelectJack})
    set(id, labels);
  for (const KeypadEdit& e : kKeypadEdits) set(e.edit, edits);
  set(kCoefficient, edits);
  set(kTitle, title);
  set(kOk, buttons);
  set(kExit, buttons);
  enable(kSensitivity, false);
  mode_ = kModeComputed;
  // Shown until the first activation fills the dialog from its channel.
  for (auto [id, text] : std::initializer_list<std::pair<int, const char*>>{{kFullRange, "80"},
                                                                            {kJackCount, "1"},
                                                                            {kRatedOutput, "1000"},
                                                                            {kRatedPressure, "64"},
                                                                            {kSensitivity, "1.882"},
                                                                            {kTime, "90"},
                                                                            {kSettlement, "40"},
                                                                            {kUneven, "10"},
                                                                            {kRange, "40"},
                                                                            {kUplift, "40"}}) {
    setDlgItemText(id, text);
    members_[id] = text;
  }
  return true;
}

void ChuanGanQi::show(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->showWindow(on ? SW_SHOWNA : SW_HIDE);
}

void ChuanGanQi::enable(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

void ChuanGanQi::put(int id, const std::string& text) {
  members_[id] = text;
  setDlgItemText(id, text);
}

std::string ChuanGanQi::member(int id) const {
  const auto it = members_.find(id);
  return it == members_.end() ? std::string() : it->second;
}

SensorJackEntry ChuanGanQi::Entry() const {
  SensorJackEntry e;
  e.mode = mode_;
  e.sensorNumber = getDlgItemText(kSensorNumber);
  e.fullRange = getDlgItemText(kFullRange);
  e.sensitivity = getDlgItemText(kSensitivity);
  e.constantA = getDlgItemText(kA);
  e.coefficientB = getDlgItemText(kB);
  e.jackNumber = getDlgItemText(kJackNumber);
  e.jackCount = getDlgItemText(kJackCount);
  e.ratedOutput = getDlgItemText(kRatedOutput);
  e.ratedPressure = getDlgItemText(kRatedPressure);
  return e;
}

ProtectionEntry ChuanGanQi::Protection() const {
  return {getDlgItemText(kTime), getDlgItemText(kSettlement), getDlgItemText(kUneven), getDlgItemText(kRange),
          getDlgItemText(kUplift)};
}

// ---- refresh ----------------------------------------------------------------------------------------

void ChuanGanQi::RefreshFromParameter() {
  Parameter* p = channel();
  if (p == nullptr) return;
  members_.clear();
  setDlgItemText(kTitle, testcontrol::TitleText(*p));
  put(kSensorNumber, NonZero(p->sensorText));
  put(kFullRange, format("%d", p->sensorSetting.load()));
  // The values typed come back with every decimal: an OK without a change keeps them as they are.
  put(kSensitivity, Trimmed(ExactDecimalText(p->sensorCoefficient.load(), 3)));
  put(kJackCount, format("%d", p->jackSetting.load()));
  const float a = p->jackCoefficientC.load();
  const float b = p->jackCoefficientD.load();
  put(kA, a == 0.0f ? std::string() : NonZero(Trimmed(format("%f", static_cast<double>(a)))));
  put(kB, b == 0.0f ? std::string() : NonZero(Trimmed(format("%f", static_cast<double>(b)))));
  put(kJackNumber, IsJackList(p->jackText) ? std::string(kJackListShown) : NonZero(p->jackText));
  put(kRatedOutput, ExactDecimalText(p->jackCoefficientB.load(), 0));
  put(kRatedPressure, ExactDecimalText(p->jackCoefficientA.load(), 2));
  put(kTime, format("%d", p->protectionSetting.load()));
  put(kSettlement, Trimmed(format("%0.2f", static_cast<double>(p->protection1.load()))));
  put(kUneven, Trimmed(format("%0.2f", static_cast<double>(p->protection2.load()))));
  put(kRange, Trimmed(format("%0.2f", static_cast<double>(p->protection3.load()))));
  put(kUplift, Trimmed(format("%0.2f", static_cast<double>(p->protection4.load()))));

  const int type = p->forceSensorType.load();
  const int method = p->pressureMethod.load();
  if (type == 0) {
    mode_ = kModeComputed;
    setDlgItemText(kComputed, "√计算");
    setDlgItemText(kRegression, "回归方程");
    enable(kRegression, false);
  } else if (method == 1 || method == 3) {
    SetMethodCaptions(method == 3);
    enable(kRegression, true);
  } else {
    mode_.clear();
  }
  UpdateFieldLayout();
  SetStatus("", warning());
  PreviewCoefficient(PreviewFocus::None);
  if (p->fileLoaded.load() == 0)
    for (int id : kSensorJackEdits) enable(id, false);
  invalidate();
}

void ChuanGanQi::SetMethodCaptions(bool regression) {
  mode_ = regression ? kModeRegression : kModeComputed;
  setDlgItemText(kComputed, regression ? "计算" : "√计算");
  setDlgItemText(kRegression, regression ? "√回归方程" : "回归方程");
  for (int id : {kComputed, kRegression})
    if (Window* w = getDlgItem(id)) w->invalidate();
}

void ChuanGanQi::UpdateFieldLayout() {
  const Parameter* p = channel();
  if (p == nullptr) return;
  const int type = p->forceSensorType.load();
  auto field = [this](int id, bool on) {
    enable(id, on);
    setDlgItemText(id, on ? member(id) : std::string());
  };
  enable(kSensorNumber, true);
  setDlgItemText(kSensorNumber, member(kSensorNumber));
  field(kJackNumber, true);
  field(kJackCount, true);
  if (type == 0) {
    field(kFullRange, true);
    setDlgItemText(kFullRangeLabel, "满量程kN");
    field(kA, false);
    field(kB, false);
    field(kRatedOutput, false);
    field(kRatedPressure, false);
    show(kSensitivity, true);
    show(kSensitivityLabel, true);
    field(kSensitivity, true);
    setDlgItemText(kSensitivityLabel, "标定系数");
    return;
  }
  enable(kFullRange, false);
  setDlgItemText(kFullRange, "80");
  setDlgItemText(kFullRangeLabel, "满量程MPa");
  const bool computed = mode_ == kModeComputed;
  field(kA, !computed);
  field(kB, !computed);
  field(kRatedOutput, computed);
  field(kRatedPressure, computed);
  show(kSensitivity, type == 1);
  show(kSensitivityLabel, type == 1);
  field(kSensitivity, type == 1);
  setDlgItemText(kSensitivityLabel, "灵敏度mv/V");
}

// ---- preview ----------------------------------------------------------------------------------------

int ChuanGanQi::PreviewCoefficient(PreviewFocus focus) {
  Parameter* p = channel();
  if (p == nullptr) return 0;
  SetStatus("", warning());
  const SensorJackEntry typed = Entry();
  std::optional<std::array<float, 4>> found;
  if (focus != PreviewFocus::None) {
    const bool sensor = focus == PreviewFocus::SensorNumber;
    if (JDQFile::LoadJackSensorLists(sensor ? typed.sensorNumber : typed.jackNumber, sensor ? 1 : 0, *p) == 1)
      found = std::array<float, 4>{p->currentJack.values[0], p->currentJack.values[1], p->currentJack.values[2],
                                   p->currentJack.values[3]};
  }
  const PreviewResult r = ::PreviewCoefficient(p->forceSensorType.load(), typed, focus, found, p->jackText);
  if (found) {
    const SensorJackEntry& e = r.entry;
    for (auto [id, text] : std::initializer_list<std::pair<int, const std::string*>>{{kFullRange, &e.fullRange},
                                                                                     {kSensitivity, &e.sensitivity},
                                                                                     {kRatedOutput, &e.ratedOutput},
                                                                                     {kRatedPressure, &e.ratedPressure},
                                                                                     {kA, &e.constantA},
                                                                                     {kB, &e.coefficientB}})
      if (*text != getDlgItemText(id)) put(id, *text);
  }
  setDlgItemText(kCoefficient, r.coefficientText);
  if (r.messageFlag) SetStatus(r.message, true);
  return r.result;
}

// ---- keypad -----------------------------------------------------------------------------------------

void ChuanGanQi::OnSetFocusEdit(int edit) {
  for (const KeypadEdit& e : kKeypadEdits) {
    if (e.edit != edit) continue;
    RequestKeypadFor(e, kComputed);
    return;
  }
}

void ChuanGanQi::OnKeypadResult(const KeypadRequest& result) {
  int written = 0;
  for (const KeypadEdit& e : kKeypadEdits)
    if (result.caption == getDlgItemText(e.label)) {
      put(e.edit, result.text);
      if (written == 0) written = e.edit;
    }
  // The number just typed into the sensor or jack edit is looked up in the calibration database.
  PreviewCoefficient(written == kSensorNumber ? PreviewFocus::SensorNumber
                     : written == kJackNumber ? PreviewFocus::JackNumber
                                              : PreviewFocus::None);
  SetStatus(kParameterChanged, true);
}

// ---- buttons ----------------------------------------------------------------------------------------

void ChuanGanQi::SetMethod(bool regression) {
  Parameter* p = channel();
  if (p == nullptr) return;
  if (p->fileLoaded.load() != 1) {
    SetStatus(kMethodLocked, true);
    return;
  }
  SetMethodCaptions(regression);
  p->pressureMethod = regression ? 3 : 1;
  UpdateFieldLayout();
  PreviewCoefficient(PreviewFocus::None);
}

void ChuanGanQi::OnBnClickedComputed() { SetMethod(false); }
void ChuanGanQi::OnBnClickedRegression() { SetMethod(true); }

void ChuanGanQi::OnBnClickedSelect(int mode) {
  Parameter* p = channel();
  if (p == nullptr) return;
  p->selectCaller = mode;
  showWindow(SW_HIDE);
  if (MonitorDialog* next = Linked(MonitorSlot::SelCgq); next != nullptr && next->exists()) next->showWindow(SW_SHOW);
}

void ChuanGanQi::OnBnClickedOk() {
  Parameter* p = channel();
  if (p == nullptr) return;
  const SensorJackApplyResult r = ApplySensorJackEntry(*p, Entry(), Protection());
  if (!r.stored) {
    SetStatus(r.message, true);
    return;
  }
  if (!r.parameterFileSaved) {
    SetStatus(kSaveFailed, true);
    return;
  }
  showWindow(SW_HIDE);
  if (p->testRunning.load() == 0)
    if (MonitorDialog* next = Linked(MonitorSlot::GongChengXinXi); next != nullptr && next->exists())
      next->showWindow(SW_SHOW);
}

void ChuanGanQi::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr) return;
  const int id = c.control->id();
  if (id == kCoefficient)
    c.dc->setTextColor(RGB(0, 0, 255));
  else if (id == kComputed)
    c.dc->setTextColor(mode_ == kModeComputed ? RGB(0, 0, 255) : RGB(0, 0, 0));
  else if (id == kRegression)
    c.dc->setTextColor(mode_ == kModeRegression ? RGB(0, 0, 255) : RGB(0, 0, 0));
}
