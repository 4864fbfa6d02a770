// The secondary dialogs and report pages of the main window: their common base, the registry
// g_pMonitorDialogs that holds one object of each for the whole run, and the cross-links the main
// window hands them at start-up.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "model/parameter.h"
#include "platform/ui/dialog.h"

// The 26 places of the registry, in declaration order.
enum class MonitorSlot {
  ShiZhuangShuJu,
  ShiZhuangMuLu,
  ShiZhuangBuFa,
  CDaiFaShuJu,
  GuiFanSheZhi,
  GongChengXinXi,
  ChuanGanQi,
  ShiYanGuiFan,
  XiTongBaoHu,
  ShuJuQingLing,
  ShiZhuangKongZhi,
  QianJinDingLvDing,
  XiTongBiaoDing,
  XiTongshijian,
  QuXian,
  ShiZhuangYuYa,
  CPageHuiZongBiao,
  CPageChenJiangBiao,
  CPageJiLuBiao,
  CPageQ_s,
  CPages_lgQ,
  CPages_lgt,
  Key,
  KeyABC,
  SelCgq,
  CCeKongQi,
};
inline constexpr int kMonitorSlotCount = 26;

// What the registry knows of each place: the class, the template of each board and whether the
// dialog is a page of the main window's tab.
struct MonitorSlotInfo {
  MonitorSlot slot;
  const char* className;
  int templateBoard1;  // the board with "\nandflash\"
  int templateBoard0;
  bool page;
};
const MonitorSlotInfo& SlotInfo(MonitorSlot slot);
int TemplateFor(MonitorSlot slot, int boardFlag);

// Base of every secondary dialog and page: the channel records and the dialogs it was linked to.
class MonitorDialog : public platform::ui::Dialog {
 public:
  explicit MonitorDialog(int templateId);
  ~MonitorDialog() override;

  virtual const char* ClassName() const = 0;

  // Channel records handed over at start-up; a dialog that takes only channel 1 gets null for 2 and 3.
  void SetChannels(Parameter* ch1, Parameter* ch2, Parameter* ch3);
  Parameter* Channel(int n) const;  // 1..3; null when not handed over
  // The channel the dialog works on; channel 1 until the main window hands it another.
  void SetCurrentChannel(Parameter* p) { current_ = p; }
  Parameter* CurrentChannel() const { return current_ ? current_ : channels_[0]; }

  // The dialogs of the cross-link table (null for those not linked).
  void Link(MonitorSlot slot, MonitorDialog* dialog);
  MonitorDialog* Linked(MonitorSlot slot) const { return linked_[static_cast<int>(slot)]; }

  // Number of registry objects constructed since the program started (each is constructed once).
  static int ConstructedCount();

 private:
  std::array<Parameter*, 3> channels_{};
  Parameter* current_ = nullptr;
  std::array<MonitorDialog*, kMonitorSlotCount> linked_{};
};

// The registry: one object per place, created before the main window starts and deleted at exit.
class MonitorDialogs {
 public:
  MonitorDialog* at(MonitorSlot slot) const { return slots_[static_cast<int>(slot)].get(); }
  template <class T>
  T* get(MonitorSlot slot) const {
    return dynamic_cast<T*>(at(slot));
  }
  bool created() const { return created_; }

 private:
  friend bool CreateMonitorDialogs();
  friend void DeleteMonitorDialogs();
  std::array<std::unique_ptr<MonitorDialog>, kMonitorSlotCount> slots_;
  bool created_ = false;
};
extern MonitorDialogs g_pMonitorDialogs;

// Makes the object of a place. Each place has a default (the dialog of this folder, or an empty screen
// or page of the place's class and template); the folders of the other dialogs set their own before the
// objects are created (Main registers them).
using MonitorDialogFactory = std::function<std::unique_ptr<MonitorDialog>()>;
void SetMonitorDialogFactory(MonitorSlot slot, MonitorDialogFactory factory);
// The object a place holds unless a factory was set for it (pending_dialogs.cpp): the main window's own
// dialogs of this folder, and for every other place the empty screen or page of pending_dialogs.h.
std::unique_ptr<MonitorDialog> MakeDefaultMonitorDialog(MonitorSlot slot);

// Constructs every registry object (with its board-1 template id). Returns false, creating nothing,
// when they exist already.
bool CreateMonitorDialogs();
// Destroys the windows and deletes the objects.
void DeleteMonitorDialogs();

// Hands one registry dialog the channel records and dialogs of its row of the cross-link table.
void LinkMonitorDialog(MonitorSlot slot, Parameter& ch1, Parameter& ch2, Parameter& ch3);

// The dialog a keypad returns to for a requester code (1..10), as the keypad was linked to it; null for
// any other code or a dialog the keypad was not linked to.
MonitorDialog* KeypadRequester(const MonitorDialog& keypad, int code);
