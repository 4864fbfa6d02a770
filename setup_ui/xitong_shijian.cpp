#include "setup_ui/xitong_shijian.h"

#include "app/keypads.h"
#include "app/main_loop.h"
#include "platform/text/text.h"
#include "setup/date_time.h"

using namespace platform::ui;
using T = XiTongshijian;
using platform::text::format;

namespace {

constexpr const char* kTimeCaption = "系统时间";
constexpr const char* kDateCaption = "系统日期";

// Two rows: the time (hour : minute : second) and the date (year - month - day), the status line, OK
// and cancel.
DialogTemplate DateTimeTemplate() {
  DialogTemplate t;
  t.id = T::kTemplate;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.caption = "系统时间和日期设置";
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0) {
    t.controls.push_back({cid, cls, caption, r, style, true, true});
  };
  constexpr std::uint32_t edit = WS_BORDER | ES_CENTER;
  constexpr std::uint32_t separator = SS_CENTER | SS_CENTERIMAGE;
  add(T::kTimeGroup, ControlClass::Button, kTimeCaption, {112, 60, 912, 250}, BS_GROUPBOX);
  add(T::kHour, ControlClass::Edit, "", {192, 110, 372, 220}, edit);
  add(1091, ControlClass::Static, "：", {372, 110, 432, 220}, separator);
  add(T::kMinute, ControlClass::Edit, "", {432, 110, 612, 220}, edit);
  add(1092, ControlClass::Static, "：", {612, 110, 672, 220}, separator);
  add(T::kSecond, ControlClass::Edit, "", {672, 110, 852, 220}, edit);
  add(T::kDateGroup, ControlClass::Button, kDateCaption, {112, 290, 912, 480}, BS_GROUPBOX);
  add(T::kYear, ControlClass::Edit, "", {152, 340, 412, 450}, edit);
  add(1093, ControlClass::Static, "-", {412, 340, 472, 450}, separator);
  add(T::kMonth, ControlClass::Edit, "", {472, 340, 632, 450}, edit);
  add(1094, ControlClass::Static, "-", {632, 340, 692, 450}, separator);
  add(T::kDay, ControlClass::Edit, "", {692, 340, 852, 450}, edit);
  add(T::kStatus, ControlClass::Static, "", {112, 500, 912, 550}, SS_CENTER | SS_CENTERIMAGE);
  add(T::kOk, ControlClass::Button, "确定", {232, 600, 472, 700});
  add(T::kCancel, ControlClass::Button, "取消", {552, 600, 792, 700});
  return t;
}

TemplateRegistration registration{DateTimeTemplate()};

constexpr int kFields[6] = {T::kYear, T::kMonth, T::kDay, T::kHour, T::kMinute, T::kSecond};

std::string twoDigits(int v) { return format("%02d", v); }

}  // namespace

T::XiTongshijian() : SettingsDialog(kTemplate, kStatus) {
  // The request goes to every channel and the answer is read where the keypad wrote it, so a keypad
  // pointed at another channel still brings it back.
  SetRequestsAllChannels(true);
  on(WM_TIMER, [this](Message& m) {
    const LRESULT r = defWindowProc(m);
    if (m.wParam == static_cast<WPARAM>(kTimer)) OnTimer();
    return r;
  });
  for (int id : {kHour, kMinute, kSecond}) onCommand(id, EN_SETFOCUS, [this] { OnSetFocusTime(); });
  for (int id : {kYear, kMonth, kDay}) onCommand(id, EN_SETFOCUS, [this] { OnSetFocusDate(); });
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kCancel, BN_CLICKED, [this] { HidePageOnExit(); });
}

bool T::onInitDialog() {
  const Font bold = Font::create(72, 700);
  const Font buttons = Font::create(36, 700);
  const Font plain = Font::create(30);
  for (int id : kFields)
    if (Window* w = getDlgItem(id)) w->setFont(bold, false);
  for (int id : {kOk, kCancel})
    if (Window* w = getDlgItem(id)) w->setFont(buttons, false);
  const Font separators = Font::create(60, 700);
  for (int id : {kTimeGroup, kDateGroup, kStatus})
    if (Window* w = getDlgItem(id)) w->setFont(plain, false);
  for (int id : {1091, 1092, 1093, 1094})
    if (Window* w = getDlgItem(id)) w->setFont(separators, false);
  return true;
}

std::array<std::string, 6> T::fields() const {
  std::array<std::string, 6> f;
  for (std::size_t k = 0; k < 6; ++k) f[k] = getDlgItemText(kFields[k]);
  return f;
}

void T::selectAll(int id) {
  if (auto* e = dynamic_cast<Edit*>(getDlgItem(id))) e->setSel(0, -1);
}

void T::OnRefresh() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  const platform::clock::DateTime t = UpdateTestClock(*p);
  setDlgItemText(kYear, format("%04d", t.year));
  setDlgItemText(kMonth, twoDigits(t.month));
  setDlgItemText(kDay, twoDigits(t.day));
  setDlgItemText(kHour, twoDigits(t.hour));
  setDlgItemText(kMinute, twoDigits(t.minute));
  setDlgItemText(kSecond, twoDigits(t.second));
  SetStatus("", false);
  selectAll(kHour);
}

void T::OnKeypadResult(const KeypadRequest& result) {
  if (result.text.empty()) return;
  killTimer(kTimer);
  SetStatus("", false);  // a refusal was about the entry before this one
  if (result.caption == kTimeCaption) {
    const std::array<std::string, 3> hms = SplitTimeText(result.text);
    setDlgItemText(kHour, hms[0]);
    setDlgItemText(kMinute, hms[1]);
    setDlgItemText(kSecond, hms[2]);
  } else if (result.caption == kDateCaption) {
    const std::array<std::string, 3> ymd = SplitDateText(result.text);
    setDlgItemText(kYear, ymd[0]);
    setDlgItemText(kMonth, ymd[1]);
    setDlgItemText(kDay, ymd[2]);
  }
}

void T::OnOtherActivation(int) {
  killTimer(kTimer);
  showWindow(SW_HIDE);
}

void T::OnSetFocusTime() {
  RequestKeypad(getDlgItemText(kHour) + getDlgItemText(kMinute) + getDlgItemText(kSecond), kTimeCaption, 6,
                kKeypadInteger, kOk, true);
}

void T::OnSetFocusDate() {
  RequestKeypad(getDlgItemText(kYear) + getDlgItemText(kMonth) + getDlgItemText(kDay), kDateCaption, 8,
                kKeypadInteger, kOk, true);
}

void T::OnBnClickedOk() {
  Parameter* current = CurrentChannel();
  if (current == nullptr || Channel(1) == nullptr || Channel(2) == nullptr || Channel(3) == nullptr) return;
  const DateTimeOutcome outcome =
      ApplyDateTime({Channel(1), Channel(2), Channel(3)}, *current, ReadDateTimeEntry(fields()));
  if (outcome == DateTimeOutcome::Invalid) {
    // Nothing changed: the dialog stays and says so.
    SetStatus(kDateTimeRefused, true);
    return;
  }
  // The main loop's clock guard takes the new time instead of setting it back.
  if (outcome == DateTimeOutcome::ClockSet) ClockGuard::NotifyClockSet();
  showWindow(SW_HIDE);
}

void T::OnTimer() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  const platform::clock::DateTime t = UpdateTestClock(*p);
  if (getDlgItemText(kHour) != twoDigits(t.hour)) setDlgItemText(kHour, twoDigits(t.hour));
  if (getDlgItemText(kMinute) != twoDigits(t.minute)) setDlgItemText(kMinute, twoDigits(t.minute));
  setDlgItemText(kSecond, twoDigits(t.second));
  for (int id : {kHour, kMinute, kSecond}) selectAll(id);
}
