#include "setup_ui/shizhuang_yuya.h"

#include "app/keypads.h"
#include "app/shizhuang_kongzhi.h"
#include "platform/ui/controls.h"
#include "platform/ui/gdi.h"

using namespace platform::ui;
using Y = ShiZhuangYuYa;

namespace {

// A small window in the middle of the screen, framed as the questions are: over the test-control
// dialog it stands apart from the buttons it half covers.
DialogTemplate PreloadTemplate() {
  DialogTemplate t;
  t.id = Y::kTemplate;
  t.style = WS_BORDER;
  const int w = 640;
  const int h = 420;
  const int x = (kScreenWidth - w) / 2;
  const int y = (kScreenHeight - h) / 2;
  t.rect = {x, y, x + w, y + h};
  auto add = [&t](int id, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true) { t.controls.push_back({id, cls, caption, r, style, visible}); };
  add(Y::kFrame, ControlClass::Button, "", {8, 4, 630, 410}, BS_GROUPBOX);
  add(Y::kTitle, ControlClass::Static, "试桩预压", {20, 12, 620, 64}, SS_CENTER | SS_CENTERIMAGE);
  add(Y::kLabel, ControlClass::Static, "请输入预压值：", {30, 88, 270, 156}, SS_CENTERIMAGE);
  add(Y::kValue, ControlClass::Edit, "", {280, 88, 500, 156}, WS_BORDER | ES_CENTER);
  add(Y::kUnit, ControlClass::Static, "kN", {512, 88, 610, 156}, SS_CENTERIMAGE);
  add(Y::kHintLabel, ControlClass::Static, "提示:", {30, 172, 120, 216}, SS_CENTERIMAGE);
  add(Y::kHint, ControlClass::Static, "试桩预压前请先清零", {124, 172, 610, 216}, SS_CENTERIMAGE);
  add(Y::kUsage, ControlClass::Static, "输入预压值后按确定键开始预压", {30, 222, 610, 260}, SS_CENTERIMAGE, false);
  add(Y::kStatus, ControlClass::Static, "", {20, 262, 620, 306}, SS_CENTER | SS_CENTERIMAGE);
  add(Y::kOk, ControlClass::Button, "确定", {100, 320, 300, 400});
  add(Y::kCancel, ControlClass::Button, "取消", {340, 320, 540, 400});
  return t;
}

TemplateRegistration registration{PreloadTemplate()};

}  // namespace

ShiZhuangYuYa::ShiZhuangYuYa() : SettingsDialog(kTemplate, kStatus, true) {
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kCancel, BN_CLICKED, [this] { HidePageOnExit(); });
  onCommand(kValue, EN_SETFOCUS, [this] { OnSetFocusValue(); });
}

bool ShiZhuangYuYa::onInitDialog() {
  filter_ = PreloadDigitFilter{};
  const Font title = Font::create(40, 700);
  const Font text = Font::create(32, 500);
  const Font value = Font::create(44, 500);
  const Font status = Font::create(26);
  if (Window* w = getDlgItem(kTitle)) w->setFont(title, false);
  for (int id : {kLabel, kUnit, kHintLabel, kHint, kUsage, kOk, kCancel})
    if (Window* w = getDlgItem(id)) w->setFont(text, false);
  if (Window* w = getDlgItem(kValue)) w->setFont(value, false);
  if (Window* w = getDlgItem(kStatus)) w->setFont(status, false);
  return true;
}

void ShiZhuangYuYa::OnOtherActivation(int) {
  // Losing activation, or being activated by a tap, hides the dialog.
  showWindow(SW_HIDE);
}

void ShiZhuangYuYa::OnRefresh() {
  if (const Parameter* p = CurrentChannel()) setDlgItemText(kUnit, PreloadUnit(p->testType.load()));
  SetStatus("", true);
  filter_.ResetFrom(getDlgItemText(kValue));
}

void ShiZhuangYuYa::OnKeypadResult(const KeypadRequest& result) {
  if (result.caption == kPreloadCaption) setDlgItemText(kValue, result.text);
  filter_.ResetFrom(getDlgItemText(kValue));
}

void ShiZhuangYuYa::OnSetFocusValue() {
  RequestKeypad(getDlgItemText(kValue), kPreloadCaption, PreloadDigitFilter::kMaxChars, kKeypadDecimal, kOk);
}

void ShiZhuangYuYa::ShowTestControl(bool show) {
  if (MonitorDialog* d = Linked(MonitorSlot::ShiZhuangKongZhi); d != nullptr && d->exists())
    d->showWindow(show ? SW_SHOW : SW_HIDE);
}

bool ShiZhuangYuYa::StoreValue() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return false;
  if (!StorePreload(*p, getDlgItemText(kValue))) {
    SetStatus(kPreloadValueRefused, true);
    return false;
  }
  SetStatus("", true);
  return true;
}

void ShiZhuangYuYa::OnBnClickedOk() {
  if (getDlgItemText(kValue).empty()) {
    showWindow(SW_HIDE);
    return;
  }
  if (!StoreValue()) return;
  ShowTestControl(false);
  showWindow(SW_HIDE);
}

bool ShiZhuangYuYa::FilterDigitKey(unsigned vk) { return filter_.Accept(vk); }

void ShiZhuangYuYa::DeleteLastChar() {
  Window* focused = focusWindow();
  if (focused == nullptr || focused->parent() != this) return;
  std::string text = focused->getWindowText();
  // Drop the last character, whole (a character may take several bytes).
  std::size_t cut = text.size();
  while (cut > 0) {
    --cut;
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) break;
  }
  text.resize(cut);
  focused->setWindowText(text);
  filter_.ResetFrom(text);
}

bool ShiZhuangYuYa::preTranslateMessage(Message& msg) {
  if (msg.message != WM_KEYDOWN) return MonitorDialog::preTranslateMessage(msg);
  const unsigned vk = static_cast<unsigned>(msg.wParam);
  if (vk == 'S' || (vk == 'V' && getDlgItemText(kValue).empty())) {
    showWindow(SW_HIDE);
    ShowTestControl(true);
    return true;
  }
  if (vk == 'V') {
    if (StoreValue()) {
      showWindow(SW_HIDE);
      ShowTestControl(false);
    }
  } else if (vk == 'B') {
    // The pump forced stop, as the test-control dialog's pump-stop button switches it.
    auto* control = dynamic_cast<ShiZhuangKongZhi*>(Linked(MonitorSlot::ShiZhuangKongZhi));
    if (Parameter* p = CurrentChannel(); p != nullptr && control != nullptr) control->procedure().TogglePumpStop(*p);
  }
  Window* edit = getDlgItem(kValue);
  if (edit != nullptr && focusWindow() == edit) {
    if (vk == 'Z') {
      DeleteLastChar();
      const int end = static_cast<int>(getDlgItemText(kValue).size());  // digits and points only
      if (auto* e = dynamic_cast<Edit*>(edit)) e->setSel(end, end);
    }
    if (vk == 'V' || vk == 'B' || !FilterDigitKey(vk)) return true;
    return MonitorDialog::preTranslateMessage(msg);
  }
  if (IsDigitOnlyKey(vk)) return MonitorDialog::preTranslateMessage(msg);
  return true;
}

void ShiZhuangYuYa::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr || c.kind == CTLCOLOR_DLG) return;
  const int id = c.control->id();
  if (id == kHintLabel || id == kHint) c.dc->setTextColor(RGB(0, 0, 255));
}
