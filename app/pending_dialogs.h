// Dialogs of the registry whose own work is done elsewhere: each is its class with its template, a
// window that the main window creates, links, shows and hides. A dialog's own subsystem replaces its
// entry here (class and templates) with the dialog itself.
#pragma once

#include <memory>

#include "app/monitor_dialogs.h"

// Test data view.
class ShiZhuangShuJu : public MonitorDialog {
 public:
  ShiZhuangShuJu() : MonitorDialog(103) {}
  const char* ClassName() const override { return "ShiZhuangShuJu"; }
};

// A dialog whose own class was not registered (the upload windows, the set-up and the calibration
// dialogs of the folders above, until Main registers them): its place's class name and template, a
// screen with its exit button. The screen's template is made for each board unless the dialog's own
// is there.
class EmptyScreenDialog : public MonitorDialog {
 public:
  explicit EmptyScreenDialog(MonitorSlot slot);
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
