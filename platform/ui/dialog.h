// Dialogs built from templates. A template is data: the dialog's rectangle and style and a table of
// controls (id, class, caption, rectangle, style), registered under its template id. Two template sets
// may carry the same control ids, so a dialog's code does not depend on the set it was made from.
//
// A dialog class, in short:
//
//   static TemplateRegistration reg175{{175, {0, 0, 1024, 768}, 0, "", 34, 700, {
//       {1241, ControlClass::Edit, "", {40, 40, 980, 120}, ES_RIGHT, true, true, 60, 700},
//       {IDOK, ControlClass::Button, "确定", {40, 680, 240, 740}},
//       {1205, ControlClass::Static, "", {260, 690, 980, 730}, SS_NOTIFY}}}};
//
//   class Key : public platform::ui::Dialog {
//    public:
//     Key() : Dialog(175) {
//       onCommand(IDOK, BN_CLICKED, [this] { showWindow(SW_HIDE); });
//       onCommand(1241, EN_SETFOCUS, [this] { ... });
//       on(WM_ACTIVATE, [this](Message& m) {
//         defWindowProc(m);                      // restores the dialog's focus first
//         if (LOWORD(m.wParam) == WA_ACTIVE) { ... }
//         return LRESULT{0};
//       });
//       on(WM_TIMER, [this](Message& m) { ...; return LRESULT{0}; });
//       on(WM_CTLCOLOR, [this](Message& m) {
//         CtlColor& c = CtlColor::of(m);
//         if (c.control && c.control->id() == 1205) c.dc->setTextColor(alert ? RGB(255, 0, 0) : RGB(0, 0, 255));
//         return LRESULT{0};
//       });
//       bindControl(1307, lampButton);            // a member control of an own class
//     }
//     bool onInitDialog() override { setTimer(1, 1000); return true; }
//   };
//
//   key.create(&mainWindow);   // modeless, hidden; key.showWindow(SW_SHOW) shows and activates it
//   int r = question.doModal(); // modal; ends with endDialog(code)
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/ui.h"

namespace platform::ui {

enum class ControlClass { Static, Button, Edit, List, Tab, Slider, Progress };

struct ControlTemplate {
  int id = 0;
  ControlClass cls = ControlClass::Static;
  std::string caption;
  Rect rect;               // in the dialog's client coordinates
  std::uint32_t style = 0; // class styles (SS_*, BS_*, ES_*, LVS_*, TCS_*) and WS_BORDER
  bool visible = true;
  bool enabled = true;
  int fontHeight = 0;      // 0: the dialog's font
  int fontWeight = 0;
};

struct DialogTemplate {
  int id = 0;
  Rect rect;               // screen coordinates (popup) or the parent's client coordinates (WS_CHILD)
  std::uint32_t style = 0; // WS_CHILD for pages inside another window; WS_VISIBLE to show on creation
  std::string caption;
  int fontHeight = 0;      // 0: the layer's default font
  int fontWeight = 0;
  std::vector<ControlTemplate> controls;
};

// Registers (or replaces) a template under its id. Thread-safe; usable from static initialisers.
void registerTemplate(DialogTemplate t);
// A copy of the template registered under id; false when there is none.
bool findTemplate(int id, DialogTemplate& out);

// Registers a template at static initialisation: `static TemplateRegistration reg{{ ... }};`
struct TemplateRegistration {
  explicit TemplateRegistration(DialogTemplate t) { registerTemplate(std::move(t)); }
};

// A dialog. Write one class per dialog: construct it with its template id, add its handler table in
// the constructor (on, onCommand, onNotify), bind member controls with bindControl, and override
// onInitDialog / onOK / onCancel / preTranslateMessage as needed. create() makes it modeless (hidden
// unless the template has WS_VISIBLE; showWindow shows it and sends WM_ACTIVATE); doModal() runs it in
// a nested message loop until endDialog() and returns the code.
class Dialog : public Window {
 public:
  explicit Dialog(int templateId = 0);
  ~Dialog() override;

  bool create(Window* parent = nullptr);
  bool create(int templateId, Window* parent);
  int doModal(Window* owner = nullptr);
  void endDialog(int result);
  bool isModal() const { return modal_; }
  int templateId() const { return templateId_; }
  void setTemplateId(int id) { templateId_ = id; }

  // Uses `control` (a member object of the dialog, e.g. an owner-drawn button class) for the template's
  // control `id`: before create() it takes the template's place; after it, it takes over the created
  // control's text, rectangle, style, font, state and place.
  void bindControl(int id, Window& control);

  template <class T>
  T* item(int id) const { return dynamic_cast<T*>(getDlgItem(id)); }
  void setDlgItemText(int id, std::string_view text);
  std::string getDlgItemText(int id) const;

  virtual bool onInitDialog() { return true; }
  virtual void onOK() { endDialog(IDOK); }
  virtual void onCancel() { endDialog(IDCANCEL); }

  bool preTranslateMessage(Message& msg) override;
  LRESULT defWindowProc(Message& msg) override;
  void eraseBackground(DC& dc) override;

 private:
  bool createFrom(const DialogTemplate& t, Window* parent);
  int templateId_ = 0;
  bool modal_ = false;
  bool ended_ = false;
  int result_ = 0;
  std::vector<std::pair<int, Window*>> bindings_;
};

std::unique_ptr<Window> makeControl(ControlClass cls);

}  // namespace platform::ui
