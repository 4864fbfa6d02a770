#include "refit/queren.h"

#include "platform/ui/controls.h"

using namespace platform::ui;

namespace refit {

namespace {

TemplateRegistration regQueren{DialogTemplate{
    queren::kTemplate,
    {162, 194, 862, 574},
    WS_BORDER,
    "",
    0,
    0,
    {
        {queren::kGroup, ControlClass::Button, "系统提示：", {10, 4, 686, 370}, BS_GROUPBOX},
        {queren::kMessage, ControlClass::Static, "系统提示：", {30, 64, 666, 240}, SS_CENTER | SS_CENTERIMAGE},
        {queren::kNo, ControlClass::Button, "取消", {60, 260, 300, 350}},
        {queren::kYes, ControlClass::Button, "确定", {390, 260, 630, 350}},
        {1009, ControlClass::Static, "系统提示：", {30, 30, 60, 40}, 0, false},
        // Takes the focus while the dialog is up, so no button holds it.
        {queren::kFocusSink, ControlClass::Edit, "确认", {30, 244, 60, 254}, ES_READONLY, false},
        {1012, ControlClass::Static, "取消", {70, 244, 100, 254}, 0, false},
    }}};

TemplateRegistration regMessage{DialogTemplate{CMessageBox::kTemplate,
                                               {162, 214, 862, 554},
                                               WS_BORDER,
                                               "",
                                               0,
                                               0,
                                               {
                                                   {CMessageBox::kText, ControlClass::Static, "", {20, 20, 680, 220},
                                                    SS_CENTER | SS_CENTERIMAGE, true, true, 32, 500},
                                                   {IDOK, ControlClass::Button, "确定", {230, 240, 470, 325}, 0,
                                                    true, true, 40, 700},
                                               }}};

}  // namespace

queren::queren() : Dialog(kTemplate) {
  onCommand(kYes, BN_CLICKED, [this] { endDialog(1); });
  onCommand(kNo, BN_CLICKED, [this] { endDialog(2); });
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    if (LOWORD(m.wParam) != WA_INACTIVE) {
      if (auto* sink = item<Edit>(kFocusSink)) {
        sink->setFocus();
        sink->setSel(0, -1);
      }
    }
    return LRESULT{0};
  });
}

bool queren::onInitDialog() {
  getDlgItem(kGroup)->setFont(Font::create(40, 0, "NULL"));
  getDlgItem(kMessage)->setFont(Font::create(36, 0, "NULL"));
  getDlgItem(kYes)->setFont(Font::create(46, 700, "NULL"));
  getDlgItem(kNo)->setFont(Font::create(46, 700, "NULL"));
  setDlgItemText(kMessage, m_strMessage);
  return true;
}

bool Confirm(const std::string& message, Window* owner) {
  queren box;
  box.m_strMessage = message;
  return box.doModal(owner) == 1;
}

CMessageBox::CMessageBox(std::string text) : Dialog(kTemplate), text_(std::move(text)) {}

bool CMessageBox::onInitDialog() {
  setDlgItemText(kText, text_);
  return true;
}

}  // namespace refit
