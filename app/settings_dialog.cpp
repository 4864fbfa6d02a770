#include "app/settings_dialog.h"

#include "platform/ui/gdi.h"

using namespace platform::ui;

bool IsDigitOnlyKey(unsigned vk) { return (vk >= '0' && vk <= '9') || vk == VK_OEM_PERIOD; }

SettingsDialog::SettingsDialog(int templateId, int statusId, bool alwaysRed)
    : MonitorDialog(templateId), statusId_(statusId), alwaysRed_(alwaysRed) {
  on(WM_ACTIVATE, [this](Message& m) {
    OnActivate(m);
    return LRESULT{0};
  });
  on(WM_CTLCOLOR, [this](Message& m) {
    defWindowProc(m);
    CtlColor& c = CtlColor::of(m);
    if (c.control && c.control->id() == statusId_ && c.kind != CTLCOLOR_DLG)
      c.dc->setTextColor(alwaysRed_ || warning_ ? RGB(255, 0, 0) : RGB(0, 0, 255));
    else
      OnCtlColor(c);
    return LRESULT{0};
  });
}

void SettingsDialog::SetStatus(const std::string& text, bool warning) {
  warning_ = warning;
  setDlgItemText(statusId_, text);
  if (Window* w = getDlgItem(statusId_)) w->invalidate();
}

void SettingsDialog::HidePageOnExit() { showWindow(SW_HIDE); }

bool SettingsDialog::DigitOnlyPreTranslateMessage(Message& msg) {
  if (msg.message == WM_KEYDOWN && !IsDigitOnlyKey(static_cast<unsigned>(msg.wParam))) return true;
  return MonitorDialog::preTranslateMessage(msg);
}

LRESULT SettingsDialog::EmptyOnPaint(Message&) {
  PaintDC dc(*this);
  return 0;
}

Parameter* SettingsDialog::RequestChannel() const {
  if (requestAllChannels_ && Channel(1) != nullptr) return Channel(1);
  return CurrentChannel();
}

void SettingsDialog::RequestKeypad(const std::string& text, const std::string& caption, int maxLength, int mode,
                                   int focusId, bool allChannels) {
  const KeypadRequest request{caption, text, maxLength, mode, 0, RequesterCode()};
  if (allChannels) {
    for (int n = 1; n <= 3; ++n)
      if (Parameter* p = Channel(n)) p->keypad = request;
  }
  if (Parameter* p = CurrentChannel()) p->keypad = request;
  if (Window* w = getDlgItem(focusId)) w->setFocus();
  atKeypad_ = true;
  showWindow(SW_HIDE);
  if (MonitorDialog* key = Linked(MonitorSlot::Key); key != nullptr && key->exists()) key->showWindow(SW_SHOW);
}

void SettingsDialog::RequestKeypadFor(const KeypadEdit& e, int focusId, bool allChannels) {
  RequestKeypad(getDlgItemText(e.edit), getDlgItemText(e.label), e.maxLength, e.mode, focusId, allChannels);
}

void SettingsDialog::OnActivate(Message& m) {
  defWindowProc(m);
  if (const int state = static_cast<int>(LOWORD(m.wParam)); state != WA_ACTIVE) {
    OnOtherActivation(state);
    return;
  }
  atKeypad_ = false;
  Parameter* p = RequestChannel();
  if (p == nullptr) return;
  const int code = p->keypad.requester;
  if (code == kRequesterNone) {
    OnRefresh();
    return;
  }
  if (code != RequesterCode()) return;  // another dialog's request: left alone
  // The keypad wrote the text into the request of its own channel.
  KeypadRequest result = p->keypad;
  if (requestAllChannels_)
    if (MonitorDialog* key = Linked(MonitorSlot::Key))
      if (Parameter* k = key->CurrentChannel()) result = k->keypad;
  OnKeypadResult(result);
  for (int n = 1; n <= 3; ++n)
    if (Parameter* c = Channel(n); c != nullptr && c->keypad.requester == RequesterCode()) c->keypad.requester = 0;
  if (Parameter* c = CurrentChannel(); c != nullptr && c->keypad.requester == RequesterCode()) c->keypad.requester = 0;
}
