#include "setup_ui/shiyan_guifan.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "app/keypads.h"
#include "app/queren.h"
#include "app/test_control.h"
#include "model/datafiles.h"
#include "platform/text/text.h"
#include "setup/catalogue.h"
#include "setup/load_steps.h"
#include "setup/standard_checks.h"

using namespace platform::ui;
using S = ShiYanGuiFan;
using platform::text::format;

namespace {

constexpr const char* kTick = "√";

// The load unit of a test type's refill lower limit in fixed-value mode.
std::string FixedRefillLabel(int testType) { return testType == 0 ? "补载下限kPa" : "补载下限kN"; }

// The two templates differ in two captions only.
DialogTemplate StandardTemplate(int id, bool boardA) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true) { t.controls.push_back({cid, cls, caption, r, style, visible}); };
  const std::uint32_t label = SS_CENTERIMAGE;
  const std::uint32_t edit = WS_BORDER;
  add(S::kTitle, ControlClass::Static, "试验规范", {10, 2, 1014, 30}, SS_CENTER | SS_CENTERIMAGE);
  add(S::kStatus, ControlClass::Static, "", {10, 30, 1014, 56}, SS_CENTER | SS_CENTERIMAGE);

  // The standards, eight to a page.
  add(S::kSelectionGroup, ControlClass::Button, "规范选择", {6, 56, 1018, 206}, BS_GROUPBOX);
  for (int i = 0; i < 8; ++i) {
    const int x = 14 + (i % 4) * 250;
    const int y = i < 4 ? 76 : 121;
    add(S::kStandard1 + i, ControlClass::Button, "", {x, y, x + 244, y + 42});
  }
  add(S::kPrevious, ControlClass::Button, "<<上一页", {14, 167, 214, 201});
  add(S::kPageLabel, ControlClass::Static, "当前第1页 | 共3页", {224, 167, 800, 201}, SS_CENTER | SS_CENTERIMAGE);
  add(S::kNext, ControlClass::Button, "下一页>>", {808, 167, 1008, 201});

  // Load programme.
  add(S::kLoadGroup, ControlClass::Button, "控载参数", {6, 208, 1018, 318}, BS_GROUPBOX);
  add(S::kControlLoadLabel, ControlClass::Static, "当前控载值kN", {14, 228, 174, 270}, label);
  add(S::kControlLoad, ControlClass::Edit, "", {176, 228, 496, 270}, edit);
  add(S::kRefillLabel, ControlClass::Static, "补载下限值 %", {512, 228, 662, 270}, label);
  add(S::kRefillUnit, ControlClass::Button, "固定值", {664, 228, 764, 270});
  add(S::kRefillLower, ControlClass::Edit, "", {768, 228, 1008, 270}, edit);
  add(S::kSingleStepLabel, ControlClass::Static, "单级加荷值kN", {14, 274, 174, 316}, label);
  add(S::kSingleStep, ControlClass::Edit, "", {176, 274, 496, 316}, edit);
  add(S::kMaxLoadLabel, ControlClass::Static, "最大加荷值kN", {512, 274, 662, 316}, label);
  add(S::kMaxLoad, ControlClass::Edit, "", {664, 274, 1008, 316}, edit);

  // Stability criteria.
  add(S::kStabilityGroup, ControlClass::Button, "稳定标准", {6, 320, 1018, 424}, BS_GROUPBOX);
  add(S::kHoldLabel, ControlClass::Static, "维荷时间(分)", {14, 340, 136, 380}, label);
  add(S::kHoldTime, ControlClass::Edit, "", {138, 340, 218, 380}, edit);
  add(S::kJudgeTimeLabel, ControlClass::Static, "判稳时间(分)", {230, 340, 352, 380}, label);
  add(S::kJudgeTime, ControlClass::Edit, "", {354, 340, 434, 380}, edit);
  add(S::kJudgeCountLabel, ControlClass::Static, "判稳次数", {446, 340, 530, 380}, label);
  add(S::kJudgeCount, ControlClass::Edit, "", {532, 340, 592, 380}, edit);
  add(S::kStableLabel, ControlClass::Static, "稳定沉降mm", {606, 340, 720, 380}, label);
  add(S::kStableSettlement, ControlClass::Edit, "", {722, 340, 842, 380}, edit);
  add(S::kModeButton, ControlClass::Button, "≤", {846, 340, 946, 380});
  add(S::kJudgeModeLabel, ControlClass::Static, "判稳模式", {14, 382, 98, 420}, label);
  add(S::kCross, ControlClass::Button, "交叉", {100, 382, 210, 420});
  add(S::kNotCross, ControlClass::Button, "不交叉", {214, 382, 324, 420});
  add(S::kExtraLabel, ControlClass::Static, "桩端土层", {336, 382, 466, 420}, label);
  add(S::kCoarseSoil, ControlClass::Button, "粗粒土", {468, 382, 598, 420});
  add(S::kFineSoil, ControlClass::Button, "细粒土", {602, 382, 732, 420});
  add(S::kExtraValue, ControlClass::Edit, "", {468, 382, 732, 420}, edit, false);
  add(S::kAutoLoading, ControlClass::Button, "√自动加载", {746, 382, 876, 420}, 0, false);
  add(S::kManualLoading, ControlClass::Button, "手动加载", {880, 382, 1008, 420}, 0, false);

  // Criteria above the characteristic value.
  add(S::kOverGroup, ControlClass::Button,
      boardA ? "超承载力特征值稳定标准(特征值不输则不启用该功能)" : "超承载力特征值稳定标准", {6, 426, 1018, 530},
      BS_GROUPBOX);
  add(S::kCharacteristicLabel, ControlClass::Static, "承载力特征值kN", {14, 446, 164, 486}, label);
  add(S::kCharacteristic, ControlClass::Edit, "", {166, 446, 286, 486}, edit);
  add(S::kOverHoldLabel, ControlClass::Static, "超特征值维荷时间", {292, 446, 456, 486}, label);
  add(S::kOverHoldTime, ControlClass::Edit, "", {458, 446, 524, 486}, edit);
  add(S::kOverJudgeTimeLabel, ControlClass::Static, "超特征值判稳时间", {530, 446, 694, 486}, label);
  add(S::kOverJudgeTime, ControlClass::Edit, "", {696, 446, 762, 486}, edit);
  add(S::kOverJudgeCountLabel, ControlClass::Static, "超特征值判稳次数", {768, 446, 932, 486}, label);
  add(S::kOverJudgeCount, ControlClass::Edit, "", {934, 446, 1008, 486}, edit);
  add(S::kOverStableLabel, ControlClass::Static, boardA ? "超特征值稳定沉降" : "超特征值沉降", {14, 488, 178, 526},
      label);
  add(S::kOverStable, ControlClass::Edit, "", {180, 488, 300, 526}, edit);
  add(S::kOverModeButton, ControlClass::Button, "≤", {304, 488, 404, 526});
  add(S::kOverJudgeModeLabel, ControlClass::Static, "超特征值判稳模式", {416, 488, 580, 526}, label);
  add(S::kOverCross, ControlClass::Button, "交叉", {582, 488, 692, 526});
  add(S::kOverNotCross, ControlClass::Button, "不交叉", {696, 488, 806, 526});

  // Reading schedule.
  add(S::kTimingGroup, ControlClass::Button, "定时标准", {6, 532, 1018, 682}, BS_GROUPBOX);
  add(S::kLoadIntervalLabel, ControlClass::Static, "加载间隔(分)", {14, 552, 144, 594}, label);
  add(S::kUnloadIntervalLabel, ControlClass::Static, "卸载间隔(分)", {14, 596, 144, 638}, label);
  for (int k = 0; k < 7; ++k) {
    const int x = 146 + k * 98;
    add(k < 6 ? S::kLoadInterval1 + k : S::kLoadInterval7, ControlClass::Edit, "", {x, 552, x + 92, 594}, edit);
    add(k < 6 ? S::kUnloadInterval1 + k : S::kUnloadInterval7, ControlClass::Edit, "", {x, 596, x + 92, 638}, edit);
  }
  add(S::kUnloadStepsLabel, ControlClass::Static, "卸载级数", {14, 640, 104, 678}, label);
  add(S::kUnloadSteps, ControlClass::Edit, "", {106, 640, 186, 678}, edit);
  add(S::kNonZeroLabel, ControlClass::Static, "非零测试时间", {204, 640, 334, 678}, label);
  add(S::kNonZeroTime, ControlClass::Edit, "", {336, 640, 426, 678}, edit);
  add(S::kZeroLabel, ControlClass::Static, "回零测试时间", {444, 640, 574, 678}, label);
  add(S::kZeroTime, ControlClass::Edit, "", {576, 640, 666, 678}, edit);

  add(S::kCoefficientLabel, ControlClass::Static, "标定系数", {14, 696, 110, 756}, label);
  add(S::kCoefficient, ControlClass::Edit, "", {112, 696, 352, 756}, edit | ES_READONLY);
  add(S::kOk, ControlClass::Button, "确定", {600, 690, 792, 760});
  add(S::kExit, ControlClass::Button, "退出", {812, 690, 1004, 760});
  return t;
}

TemplateRegistration registrationA{StandardTemplate(S::kTemplateBoard1, true)};
TemplateRegistration registrationB{StandardTemplate(S::kTemplateBoard0, false)};

// The keypad edits: the edit, the label whose text is its caption (0: the fixed caption), maximum
// length and mode.
constexpr KeypadEdit kKeypadEdits[] = {
    {S::kControlLoad, S::kControlLoadLabel, 7, kKeypadDecimal},
    {S::kRefillLower, S::kRefillLabel, 5, kKeypadDecimal},
    {S::kSingleStep, S::kSingleStepLabel, 7, kKeypadDecimal},
    {S::kMaxLoad, S::kMaxLoadLabel, 7, kKeypadDecimal},
    {S::kHoldTime, S::kHoldLabel, 4, kKeypadInteger},
    {S::kJudgeTime, S::kJudgeTimeLabel, 4, kKeypadInteger},
    {S::kStableSettlement, S::kStableLabel, 4, kKeypadDecimal},
    {S::kJudgeCount, S::kJudgeCountLabel, 4, kKeypadInteger},
    {S::kUnloadSteps, S::kUnloadStepsLabel, 3, kKeypadInteger},
    {S::kNonZeroTime, S::kNonZeroLabel, 3, kKeypadInteger},
    {S::kZeroTime, S::kZeroLabel, 4, kKeypadInteger},
    {S::kCharacteristic, S::kCharacteristicLabel, 7, kKeypadDecimal},
    {S::kOverStable, S::kOverStableLabel, 4, kKeypadDecimal},
    {S::kOverHoldTime, S::kOverHoldLabel, 4, kKeypadInteger},
    {S::kOverJudgeTime, S::kOverJudgeTimeLabel, 4, kKeypadInteger},
    {S::kOverJudgeCount, S::kOverJudgeCountLabel, 4, kKeypadInteger},
    {S::kExtraValue, S::kExtraLabel, 7, kKeypadInteger},
    {S::kLoadInterval1, 0, 3, kKeypadInteger},     {S::kLoadInterval1 + 1, 0, 3, kKeypadInteger},
    {S::kLoadInterval1 + 2, 0, 3, kKeypadInteger}, {S::kLoadInterval1 + 3, 0, 3, kKeypadInteger},
    {S::kLoadInterval1 + 4, 0, 3, kKeypadInteger}, {S::kLoadInterval1 + 5, 0, 3, kKeypadInteger},
    {S::kLoadInterval7, 0, 3, kKeypadInteger},     {S::kUnloadInterval1, 0, 3, kKeypadInteger},
    {S::kUnloadInterval1 + 1, 0, 3, kKeypadInteger}, {S::kUnloadInterval1 + 2, 0, 3, kKeypadInteger},
    {S::kUnloadInterval1 + 3, 0, 3, kKeypadInteger}, {S::kUnloadInterval1 + 4, 0, 3, kKeypadInteger},
    {S::kUnloadInterval1 + 5, 0, 3, kKeypadInteger}, {S::kUnloadInterval7, 0, 3, kKeypadInteger},
};

// The edits of the timing row, in the column order of TimingRow.
constexpr std::array<int, 20> kTimingEdits = {
    S::kLoadInterval1,       S::kLoadInterval1 + 1,   S::kLoadInterval1 + 2,   S::kLoadInterval1 + 3,
    S::kLoadInterval1 + 4,   S::kLoadInterval1 + 5,   S::kUnloadInterval1,     S::kUnloadInterval1 + 1,
    S::kUnloadInterval1 + 2, S::kUnloadInterval1 + 3, S::kUnloadInterval1 + 4, S::kUnloadInterval1 + 5,
    S::kHoldTime,            S::kJudgeTime,           S::kJudgeCount,          S::kUnloadSteps,
    S::kNonZeroTime,         S::kZeroTime,            S::kLoadInterval7,       S::kUnloadInterval7};

// The place (1..7) of a reading-interval edit in its row, 0 for any other edit.
int IntervalPlace(int edit, int first, int seventh) {
  if (edit >= first && edit < first + 6) return edit - first + 1;
  return edit == seventh ? 7 : 0;
}

// The judgement mode that follows a mode caption: "≤" → "<" → "收敛" → "不判稳" → "≤".
int NextMode(const std::string& caption) {
  if (caption == "≤") return kJudgeLess;
  if (caption == "<") return kJudgeConvergence;
  if (caption == "收敛") return kJudgeNone;
  return kJudgeLessEqual;
}

char FirstChar(const std::string& s) { return s.empty() ? '\0' : s[0]; }

}  // namespace

ShiYanGuiFan::ShiYanGuiFan() : SettingsDialog(kTemplateBoard1, kStatus) {
  for (int i = 0; i < 8; ++i) onCommand(kStandard1 + i, BN_CLICKED, [this, i] { SelectStandard(kStandard1 + i); });
  onCommand(kNext, BN_CLICKED, [this] { OnNextPage(); });
  onCommand(kPrevious, BN_CLICKED, [this] { OnPreviousPage(); });
  onCommand(kModeButton, BN_CLICKED, [this] { OnCycleMode(false); });
  onCommand(kOverModeButton, BN_CLICKED, [this] { OnCycleMode(true); });
  onCommand(kRefillUnit, BN_CLICKED, [this] { OnToggleRefillUnit(); });
  onCommand(kCoarseSoil, BN_CLICKED, [this] { OnSoil(0); });
  onCommand(kFineSoil, BN_CLICKED, [this] { OnSoil(1); });
  onCommand(kCross, BN_CLICKED, [this] { OnCross(false, 1); });
  onCommand(kNotCross, BN_CLICKED, [this] { OnCross(false, 0); });
  onCommand(kOverCross, BN_CLICKED, [this] { OnCross(true, 1); });
  onCommand(kOverNotCross, BN_CLICKED, [this] { OnCross(true, 0); });
  onCommand(kAutoLoading, BN_CLICKED, [this] { OnToggleLoadingMode(); });
  onCommand(kManualLoading, BN_CLICKED, [this] { OnToggleLoadingMode(); });
  for (const KeypadEdit& e : kKeypadEdits) onCommand(e.edit, EN_SETFOCUS, [this, id = e.edit] { OnSetFocusEdit(id); });
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
}

bool ShiYanGuiFan::onInitDialog() {
  const Font fields = Font::create(34, 700);
  const Font labels = Font::create(20);
  const Font buttons = Font::create(22);
  const Font groups = Font::create(20, 700);
  const Font big = Font::create(30);
  auto set = [this](int id, const Font& f) {
    if (Window* w = getDlgItem(id)) w->setFont(f, false);
  };
  for (const KeypadEdit& e : kKeypadEdits) set(e.edit, fields);
  set(kCoefficient, fields);
  for (int id : {kControlLoadLabel, kRefillLabel, kSingleStepLabel, kMaxLoadLabel, kHoldLabel, kJudgeTimeLabel,
                 kStableLabel, kJudgeCountLabel, kLoadIntervalLabel, kUnloadIntervalLabel, kUnloadStepsLabel,
                 kNonZeroLabel, kZeroLabel, kCharacteristicLabel, kOverStableLabel, kJudgeModeLabel, kExtraLabel,
                 kOverJudgeCountLabel, kOverHoldLabel, kOverJudgeTimeLabel, kOverJudgeModeLabel, kCoefficientLabel,
                 kPageLabel})
    set(id, labels);
  for (int i = 0; i < 8; ++i) set(kStandard1 + i, buttons);
  for (int id : {kPrevious, kNext, kModeButton, kRefillUnit, kAutoLoading, kManualLoading, kOverModeButton,
                 kCoarseSoil, kFineSoil, kCross, kNotCross, kOverCross, kOverNotCross, kTitle})
    set(id, buttons);
  for (int id : {kSelectionGroup, kLoadGroup, kStabilityGroup, kTimingGroup, kOverGroup, kStatus}) set(id, groups);
  set(kOk, big);
  set(kExit, big);
  for (int id = kHoldTime; id <= kZeroTime; ++id) enable(id, false);
  setDlgItemText(kRefillLower, "10");
  setDlgItemText(kSingleStep, "100");
  setDlgItemText(kMaxLoad, "1000");
  return true;
}

void ShiYanGuiFan::show(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->showWindow(on ? SW_SHOWNA : SW_HIDE);
}

void ShiYanGuiFan::enable(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

void ShiYanGuiFan::put(int id, const std::string& text) {
  setDlgItemText(id, text);
  if (Window* w = getDlgItem(id)) w->invalidate();
}

void ShiYanGuiFan::changed() { SetStatus(kParameterChanged, true); }

// ---- refresh ----------------------------------------------------------------------------------------

void ShiYanGuiFan::RefreshFromParameter() {
  Parameter* p = channel();
  if (p == nullptr) return;
  const Parameter& owner = Channel(1) != nullptr ? *Channel(1) : *p;
  const auto header = [p](int record, int field) { return JDQFile::HeaderText(p->testRecords, record, field); };

  // 1-2. The offered standards of the channel's test type (the user-input standard with plate,
  // compression and uplift tests), by sort group and code.
  const int type = p->testType.load();
  listed_.clear();
  for (int pos = 0; const StandardEntry* e = StandardAt(owner, pos); ++pos) {
    if (!IsStandardOffered(owner, pos)) continue;
    if (e->testType == type || (e->testType == 6 && (type == 0 || type == 1 || type == 5))) listed_.push_back(*e);
  }
  std::stable_sort(listed_.begin(), listed_.end(), [](const StandardEntry& a, const StandardEntry& b) {
    return a.group != b.group ? a.group < b.group : a.standardCode < b.standardCode;
  });

  // 3-7. Title, loads and the refill unit.
  put(kTitle, testcontrol::TitleText(*p));
  if (p->fileLoaded.load() != 0)
    put(kControlLoad, LoadText(p->controlLoad.load()));
  else
    put(kControlLoad, TrimNumberText(header(4, 2)));
  SetStatus("", false);
  if (FirstChar(header(17, 2)) == '1') {
    put(kRefillUnit, "百分比");
    put(kRefillLabel, "补载下限 %");
    refillUnitMode_ = 1;
  } else {
    put(kRefillUnit, "固定值");
    put(kRefillLabel, FixedRefillLabel(type));
    refillUnitMode_ = 0;
  }
  put(kRefillLower, TrimNumberText(header(5, 2)));
  put(kSingleStep, TrimNumberText(header(6, 2)));
  put(kMaxLoad, TrimNumberText(header(7, 2)));

  // 8-12. The stored standard, its page and the buttons.
  selectedCode_ = std::atoi(header(69, 3).c_str());
  const int count = static_cast<int>(listed_.size());
  pageCount_ = std::max(1, (count + 7) / 8);
  int place = 0;
  for (int i = 0; i < count; ++i)
    if (listed_[static_cast<std::size_t>(i)].standardCode == selectedCode_) {
      place = i + 1;
      break;
    }
  page_ = (place + 7) / 8;
  FillStandardButtons();
  setPaging();

  // The hidden loading-mode pair.
  const bool automatic = FirstChar(header(30, 2)) == '1';
  put(kAutoLoading, automatic ? "√自动加载" : "自动加载");
  put(kManualLoading, automatic ? "手动加载" : "√手动加载");

  // 13-14.
  ApplyStandard(selectedCode_);
  const std::string coefficient = format("%.3f", static_cast<double>(p->headerFloat0));
  put(kCoefficient, coefficient);
  enable(kCoefficient, false);
  SetStatus("本次测试系数为" + coefficient + "  ", false);
}

void ShiYanGuiFan::setPaging() {
  if (page_ <= 1) {
    page_ = 1;
    enable(kNext, true);
    enable(kPrevious, false);
  } else {
    enable(kPrevious, true);
    enable(kNext, page_ < pageCount_);
  }
  if (pageCount_ <= 1) {
    enable(kNext, false);
    enable(kPrevious, false);
    pageCount_ = 1;
  }
  put(kPageLabel, format("当前第%d页 | 共%d页", page_, pageCount_));
}

void ShiYanGuiFan::FillStandardButtons() {
  selectedButton_ = 0;
  const std::size_t first = page_ >= 1 ? static_cast<std::size_t>(8 * (page_ - 1)) : 0;
  if (page_ < 1 && !listed_.empty()) selectedCode_ = listed_.front().standardCode;
  for (int i = 0; i < 8; ++i) {
    const std::size_t k = first + static_cast<std::size_t>(i);
    std::string caption = kEmptyButton;
    if (k < listed_.size()) {
      caption = listed_[k].name;
      if (listed_[k].standardCode == selectedCode_) {
        caption = kTick + caption;
        if (selectedButton_ == 0) selectedButton_ = kStandard1 + i;
      }
    }
    put(kStandard1 + i, caption);
  }
}

// ---- the standard -----------------------------------------------------------------------------------

void ShiYanGuiFan::SelectStandard(int button) {
  Parameter* p = channel();
  if (p == nullptr) return;
  if (p->fileLoaded.load() == 0) {
    SetStatus(kTestStarted, true);
    return;
  }
  changed();
  const int index = button - kStandard1 + 8 * (page_ - 1);
  if (index < 0 || index >= static_cast<int>(listed_.size())) {
    FillStandardButtons();
    return;
  }
  const int code = listed_[static_cast<std::size_t>(index)].standardCode;
  if (code == 61) {
    bool gaugesOn = true;
    for (std::size_t k = 0; k < 6; ++k) gaugesOn = gaugesOn && p->displacementOn[k].load() == 1;
    if (gaugesOn || AskConfirmation(kSixGaugesNeeded, this)) selectedCode_ = code;
  } else {
    selectedCode_ = code;
  }
  FillStandardButtons();
  ApplyStandard(selectedCode_);
}

void ShiYanGuiFan::ApplyStandard(int code) {
  Parameter* p = channel();
  if (p == nullptr) return;
  ::ApplyStandard(form_, code, p->testType.load(), HeaderTextsOf(p->testRecords));
  showForm();
}

void ShiYanGuiFan::showForm() {
  const StandardForm& f = form_;
  for (std::size_t c = 0; c < kTimingEdits.size(); ++c) {
    put(kTimingEdits[c], f.timingTexts[c]);
    enable(kTimingEdits[c], f.timingEnabled);
  }
  const std::pair<int, const FormField*> fields[] = {
      {kStableSettlement, &f.stableSettlement}, {kCharacteristic, &f.characteristic},
      {kOverStable, &f.overStable},             {kOverHoldTime, &f.overHoldTime},
      {kOverJudgeTime, &f.overJudgeTime},       {kOverJudgeCount, &f.overJudgeCount},
      {kExtraValue, &f.extraValue}};
  for (const auto& [id, field] : fields) {
    put(id, field->text);
    enable(id, field->enabled);
    show(id, field->visible);
  }
  put(kControlLoadLabel, f.controlLoadLabel);
  put(kSingleStepLabel, f.singleStepLabel);
  put(kMaxLoadLabel, f.maxLoadLabel);
  put(kCharacteristicLabel, f.characteristicLabel);
  put(kExtraLabel, f.extraLabel);
  show(kExtraLabel, f.extraLabelVisible);
  put(kModeButton, f.modeCaption);
  enable(kModeButton, f.modeEnabled);
  put(kCross, f.crossCaption);
  put(kNotCross, f.notCrossCaption);
  enable(kCross, f.crossEnabled);
  enable(kNotCross, f.crossEnabled);
  put(kOverModeButton, f.overModeCaption);
  enable(kOverModeButton, f.overModeEnabled);
  put(kOverCross, f.overCrossCaption);
  put(kOverNotCross, f.overNotCrossCaption);
  enable(kOverCross, f.overCrossEnabled);
  enable(kOverNotCross, f.overCrossEnabled);
  put(kCoarseSoil, f.coarseSoilCaption);
  put(kFineSoil, f.fineSoilCaption);
  show(kCoarseSoil, f.soilVisible);
  show(kFineSoil, f.soilVisible);
}

void ShiYanGuiFan::DeriveLoadSteps() {
  Parameter* p = channel();
  if (p == nullptr) return;
  const ProposedLoads r = ::DeriveLoadSteps(selectedCode_, getDlgItemText(kControlLoad), p->testRunning.load() != 0);
  if (r.singleStep) put(kSingleStep, *r.singleStep);
  if (r.maxLoad) put(kMaxLoad, *r.maxLoad);
  if (r.characteristic) put(kCharacteristic, *r.characteristic);
}

// ---- paging -----------------------------------------------------------------------------------------

void ShiYanGuiFan::OnNextPage() {
  ++page_;
  if (page_ < pageCount_) {
    enable(kNext, true);
    enable(kPrevious, true);
  } else {
    page_ = pageCount_;
    enable(kNext, false);
    enable(kPrevious, page_ > 1);
  }
  FillStandardButtons();
  put(kPageLabel, format("当前第%d页 | 共%d页", page_, pageCount_));
}

void ShiYanGuiFan::OnPreviousPage() {
  --page_;
  if (page_ > 1) {
    enable(kNext, true);
    enable(kPrevious, true);
  } else {
    page_ = 1;
    enable(kPrevious, false);
    enable(kNext, pageCount_ > 1);
  }
  FillStandardButtons();
  put(kPageLabel, format("当前第%d页 | 共%d页", page_, pageCount_));
}

// ---- judgement choices ------------------------------------------------------------------------------

void ShiYanGuiFan::setCrossCaptions(bool over) {
  const int mode = over ? form_.overJudgementMode : form_.judgementMode;
  const int flag = over ? form_.overCrossFlag : form_.crossFlag;
  const bool ticks = mode == kJudgeLess || mode == kJudgeLessEqual;
  const std::string crossing = ticks && flag == 1 ? "√交叉" : "交叉";
  const std::string notCrossing = ticks && flag != 1 ? "√不交叉" : "不交叉";
  put(over ? kOverCross : kCross, crossing);
  put(over ? kOverNotCross : kNotCross, notCrossing);
  if (over) {
    form_.overCrossCaption = crossing;
    form_.overNotCrossCaption = notCrossing;
  } else {
    form_.crossCaption = crossing;
    form_.notCrossCaption = notCrossing;
  }
}

void ShiYanGuiFan::setModeCaptions(bool over, int mode) {
  Parameter* p = channel();
  if (p == nullptr) return;
  const int settlement = over ? kOverStable : kStableSettlement;
  const int cross = over ? kOverCross : kCross;
  const int notCross = over ? kOverNotCross : kNotCross;
  const std::string caption = JudgementModeCaption(mode);
  put(over ? kOverModeButton : kModeButton, caption);
  const bool judges = mode == kJudgeLess || mode == kJudgeLessEqual;
  int& flag = over ? form_.overCrossFlag : form_.crossFlag;
  if (over) {
    form_.overJudgementMode = mode;
    form_.overModeCaption = caption;
  } else {
    form_.judgementMode = mode;
    form_.modeCaption = caption;
  }
  enable(settlement, judges);
  enable(cross, judges);
  enable(notCross, judges);
  if (judges) {
    put(settlement, JDQFile::HeaderText(p->testRecords, over ? 63 : 16, over ? 1 : 2));
    flag = FirstChar(JDQFile::HeaderText(p->testRecords, over ? 69 : 65, 1)) == '1' ? 1 : 0;
  } else {
    put(settlement, "");
  }
  setCrossCaptions(over);
}

void ShiYanGuiFan::OnCycleMode(bool over) {
  setModeCaptions(over, NextMode(getDlgItemText(over ? kOverModeButton : kModeButton)));
  changed();
}

void ShiYanGuiFan::OnToggleRefillUnit() {
  Parameter* p = channel();
  if (getDlgItemText(kRefillUnit) == "固定值") {
    put(kRefillUnit, "百分比");
    put(kRefillLabel, "补载下限%");
    refillUnitMode_ = 1;
  } else {
    put(kRefillUnit, "固定值");
    put(kRefillLabel, FixedRefillLabel(p != nullptr ? p->testType.load() : 1));
    refillUnitMode_ = 0;
  }
  changed();
}

void ShiYanGuiFan::OnSoil(int soil) {
  form_.soilType = soil;
  form_.coarseSoilCaption = soil == 0 ? "√粗粒土" : "粗粒土";
  form_.fineSoilCaption = soil == 0 ? "细粒土" : "√细粒土";
  put(kCoarseSoil, form_.coarseSoilCaption);
  put(kFineSoil, form_.fineSoilCaption);
  put(kJudgeTime, soil == 0 ? "30" : "60");
  changed();
}

void ShiYanGuiFan::OnCross(bool over, int flag) {
  (over ? form_.overCrossFlag : form_.crossFlag) = flag;
  const std::string crossing = flag == 1 ? "√交叉" : "交叉";
  const std::string notCrossing = flag == 1 ? "不交叉" : "√不交叉";
  put(over ? kOverCross : kCross, crossing);
  put(over ? kOverNotCross : kNotCross, notCrossing);
  changed();
}

void ShiYanGuiFan::OnToggleLoadingMode() {
  const bool automatic = getDlgItemText(kAutoLoading) == "√自动加载";
  put(kAutoLoading, automatic ? "自动加载" : "√自动加载");
  put(kManualLoading, automatic ? "√手动加载" : "手动加载");
  changed();
}

// ---- keypad -----------------------------------------------------------------------------------------

std::string ShiYanGuiFan::captionOf(int edit) const {
  if (int k = IntervalPlace(edit, kLoadInterval1, kLoadInterval7); k != 0) return LoadIntervalCaption(k);
  if (int k = IntervalPlace(edit, kUnloadInterval1, kUnloadInterval7); k != 0) return UnloadIntervalCaption(k);
  for (const KeypadEdit& e : kKeypadEdits)
    if (e.edit == edit) return getDlgItemText(e.label);
  return "";
}

void ShiYanGuiFan::OnSetFocusEdit(int edit) {
  for (const KeypadEdit& e : kKeypadEdits) {
    if (e.edit != edit) continue;
    RequestKeypad(getDlgItemText(edit), captionOf(edit), e.maxLength, e.mode, kOk);
    return;
  }
}

void ShiYanGuiFan::OnKeypadResult(const KeypadRequest& result) {
  for (const KeypadEdit& e : kKeypadEdits) {
    if (captionOf(e.edit) != result.caption) continue;
    put(e.edit, result.text);
    if (e.edit == kControlLoad) DeriveLoadSteps();
    break;
  }
  changed();
}

// ---- OK ---------------------------------------------------------------------------------------------

void ShiYanGuiFan::OnBnClickedOk() {
  Parameter* p = channel();
  if (p == nullptr) return;
  StandardFieldTexts f;
  f.controlLoad = getDlgItemText(kControlLoad);
  f.refillLower = getDlgItemText(kRefillLower);
  f.singleStep = getDlgItemText(kSingleStep);
  f.maxLoad = getDlgItemText(kMaxLoad);
  f.holdTime = getDlgItemText(kHoldTime);
  f.judgeTime = getDlgItemText(kJudgeTime);
  f.stableSettlement = getDlgItemText(kStableSettlement);
  f.judgeCount = getDlgItemText(kJudgeCount);
  f.overHoldTime = getDlgItemText(kOverHoldTime);
  f.overJudgeTime = getDlgItemText(kOverJudgeTime);
  f.overStableSettlement = getDlgItemText(kOverStable);
  f.overJudgeCount = getDlgItemText(kOverJudgeCount);
  for (std::size_t k = 0; k < 7; ++k) {
    const int i = static_cast<int>(k);
    f.loadIntervals[k] = getDlgItemText(k < 6 ? kLoadInterval1 + i : kLoadInterval7);
    f.unloadIntervals[k] = getDlgItemText(k < 6 ? kUnloadInterval1 + i : kUnloadInterval7);
  }
  f.unloadSteps = getDlgItemText(kUnloadSteps);
  f.nonZeroTime = getDlgItemText(kNonZeroTime);
  f.zeroTime = getDlgItemText(kZeroTime);
  f.characteristic = getDlgItemText(kCharacteristic);
  f.extraValue = getDlgItemText(kExtraValue);

  const std::string refusal = CheckStandardFields(selectedCode_, f, p->testRunning.load() != 0);
  if (!refusal.empty()) {
    SetStatus(refusal, true);
    return;
  }
  SetStatus(StatusText(), false);
  const StandardSettings s = ReadStandardSettings(selectedCode_, f, form_, refillUnitMode_, extraValue_);
  const StandardCommitResult r = CommitStandardSettings(*p, s);
  if (!r.accepted) {
    SetStatus(r.message, true);
    return;
  }
  if (!r.parameterFileSaved) {
    SetStatus(kSaveFailed, true);
    return;
  }
  showWindow(SW_HIDE);
  if (r.showMainWindow)
    if (Window* main = parent()) main->showWindow(SW_SHOW);
}

// ---- colours ----------------------------------------------------------------------------------------

void ShiYanGuiFan::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr) return;
  const int id = c.control->id();
  if (id == kPageLabel) {
    c.dc->setTextColor(RGB(0, 0, 255));
  } else if (id >= kStandard1 && id < kStandard1 + 8) {
    c.dc->setTextColor(id == selectedButton_ ? RGB(0, 0, 255) : RGB(0, 0, 0));
  } else if (id == kCoarseSoil || id == kFineSoil || id == kCross || id == kNotCross || id == kOverCross ||
             id == kOverNotCross) {
    c.dc->setTextColor(getDlgItemText(id).starts_with(kTick) ? RGB(0, 0, 255) : RGB(0, 0, 0));
  }
}
