// Dialogs of the registry whose own work is done elsewhere: each is its class with its template, a
// window that the main window creates, links, shows and hides. A dialog's own subsystem replaces its
// entry here (class and templates) with the dialog itself.
#pragma once

#include <memory>

#include "app/cekongqi.h"
#include "app/chuanganqi.h"
#include "app/gongcheng_xinxi.h"
#include "app/guifan_shezhi.h"
#include "app/monitor_dialogs.h"
#include "app/qianjinding_lvding.h"
#include "app/selcgq.h"
#include "app/shizhuang_kongzhi.h"
#include "app/shiyan_guifan.h"
#include "app/shizhuang_yuya.h"
#include "app/shuju_qingling.h"
#include "app/xitong_biaoding.h"
#include "app/xitong_baohu.h"
#include "app/xitong_shijian.h"

// The object a registry place holds unless a factory was set for it.
std::unique_ptr<MonitorDialog> MakeDefaultMonitorDialog(MonitorSlot slot);

// Test data view.
class ShiZhuangShuJu : public MonitorDialog {
 public:
  ShiZhuangShuJu() : MonitorDialog(103) {}
  const char* ClassName() const override { return "ShiZhuangShuJu"; }
};

// A dialog whose own class was not registered (the pending-data dialog and the re-send frame of the
// upload windows): its place's class name and template, a screen with its exit button.
class EmptyScreenDialog : public MonitorDialog {
 public:
  explicit EmptyScreenDialog(MonitorSlot slot) : MonitorDialog(SlotInfo(slot).templateBoard1), slot_(slot) {}
  const char* ClassName() const override { return SlotInfo(slot_).className; }

 private:
  MonitorSlot slot_;
};

// A report page whose own page was not registered: its place's class name and template, an empty
// child window of the tab.
class EmptyReportPage : public MonitorDialog {
 public:
  explicit EmptyReportPage(MonitorSlot slot) : MonitorDialog(SlotInfo(slot).templateBoard1), slot_(slot) {}
  const char* ClassName() const override { return SlotInfo(slot_).className; }

 private:
  MonitorSlot slot_;
};
