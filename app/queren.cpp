#include "app/queren.h"

#include <array>

#include "app/widgets.h"
#include "platform/ui/controls.h"

using namespace platform::ui;

std::string g_strPrompt = "您确定?";

namespace {

constexpr int kGroup = 1255;
constexpr int kQuestion = 1009;
constexpr int kYes = 1121;
constexpr int kNo = 1122;
constexpr int kFocusSink = 1010;
constexpr int kCancelText = 1011;
constexpr unsigned kCountdownTimer = 1;

const std::array<std::string, 3> kTags = {"62", "76", "144"};

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The last two characters of a text (the whole text when it is shorter).
std::string lastTwo(const std::string& s) {
  const int n = Utf8Length(s);
  if (n <= 2) return s;
  const std::string head = Utf8Prefix(s, n - 2);
  return s.substr(head.size());
}

TemplateRegistration regQueren{DialogTemplate{
    queren::kTemplate,
    {162, 194, 862, 574},
    WS_BORDER,
    "",
    0,
    0,
    {
        {kGroup, ControlClass::Button, "系统提示：", {10, 4, 686, 370}, BS_GROUPBOX},
        {kQuestion, ControlClass::Static, "", {30, 50, 666, 250}, SS_CENTER | SS_CENTERIMAGE},
        {kNo, ControlClass::Button, "取消", {60, 260, 300, 350}},
        {kYes, ControlClass::Button, "确定", {390, 260, 630, 350}},
        {kFocusSink, ControlClass::Edit, "确认", {30, 240, 60, 250}, ES_READONLY, false},
        {kCancelText, ControlClass::Static, "取消", {70, 240, 100, 250}, 0, false},
    }}};

TemplateRegistration regQuXian{
    DialogTemplate{QuXian::kTemplate, {232, 229, 792, 539}, WS_BORDER, "", 15, 0, {}}};

TemplateRegistration regMessage{DialogTemplate{CMessageBox::kTemplate,
                                               {162, 214, 862, 554},
                                               WS_BORDER,
                                               "",
                                               0,
                                               0,
                                               {
                                                   {1009, ControlClass::Static, "", {20, 20, 680, 220},
                                                    SS_CENTER | SS_CENTERIMAGE, true, true, 32, 500},
                                                   {IDOK, ControlClass::Button, "确定", {230, 240, 470, 325}, 0,
                                                    true, true, 40, 700},
                                               }}};

}  // namespace

queren::queren() : Dialog(kTemplate) {
  onCommand(kYes, BN_CLICKED, [this] { endDialog(IDOK); });
  onCommand(kNo, BN_CLICKED, [this] { endDialog(IDCANCEL); });
  on(WM_TIMER, [this](Message& m) {
    defWindowProc(m);
    OnTimer();
    return LRESULT{0};
  });
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    if (LOWORD(m.wParam) == WA_ACTIVE) {
      // No button holds the focus, so a stray key press answers nothing.
      if (auto* sink = item<Edit>(kFocusSink)) {
        sink->setFocus();
        sink->setSel(0, -1);
      }
    }
    return LRESULT{0};
  });
}

bool queren::onInitDialog() {
  getDlgItem(kGroup)->setFont(Font::create(40));
  getDlgItem(kQuestion)->setFont(Font::create(36));
  getDlgItem(kYes)->setFont(Font::create(46, 700));
  getDlgItem(kNo)->setFont(Font::create(46, 700));

  const std::string prompt = g_strPrompt;
  tag_ = lastTwo(prompt);
  selfConfirming_ = false;
  for (const std::string& t : kTags) {
    if (endsWith(prompt, t)) {
      tag_ = t;
      selfConfirming_ = true;
      break;
    }
  }
  if (selfConfirming_) {
    setTimer(kCountdownTimer, 1000);
    setDlgItemText(kQuestion, prompt.substr(0, prompt.size() - tag_.size()));
    getDlgItem(kYes)->enableWindow(true);
    getDlgItem(kNo)->enableWindow(false);
  } else {
    setDlgItemText(kQuestion, prompt);
    getDlgItem(kYes)->enableWindow(true);
    getDlgItem(kNo)->enableWindow(true);
  }
  countdown_ = 5;
  return true;
}

void queren::onCancel() {
  // A self-confirming box offers no "no".
  if (selfConfirming_) return;
  endDialog(IDCANCEL);
}

void queren::OnTimer() {
  if (!selfConfirming_) return;
  if (countdown_ > 0) --countdown_;
  setDlgItemText(kYes, "确定" + std::to_string(countdown_));
  if (countdown_ <= 0) {
    killTimer(kCountdownTimer);
    endDialog(IDOK);
  }
}

bool AskConfirmation(const std::string& question, Window* owner) {
  g_strPrompt = question;
  queren box;
  return box.doModal(owner) == IDOK;
}

CMessageBox::CMessageBox(std::string text) : Dialog(kTemplate), text_(std::move(text)) {}

bool CMessageBox::onInitDialog() {
  setDlgItemText(1009, text_);
  return true;
}
