// The pending-data dialog CDaiFaShuJu: the upload queue files left in the data root with the records
// each still holds unsent; the selected file sent again through channel 1's queue with its progress,
// the stop, and the deletion of one file or of all of them. Also the re-send frame ShiZhuangBuFa, made
// at start-up and never shown.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_dialog.h"
#include "platform/ui/controls.h"

// Puts the pending-data dialog and the re-send frame into their registry places (with their
// templates); call before CreateMonitorDialogs().
void RegisterUploadDialogs();

class CDaiFaShuJu : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 174;
  static constexpr int kTemplateBoard0 = 207;

  static constexpr int kList = 1127;
  static constexpr int kStatus = 1205;
  static constexpr int kTitle = 1289;
  static constexpr int kStartStop = 1121;
  static constexpr int kDelete = 1122;
  static constexpr int kDeleteAll = 1124;
  static constexpr int kExit = 1123;
  static constexpr unsigned kProgressTimer = 1;
  static constexpr unsigned kProgressMs = 900;

  CDaiFaShuJu();
  const char* ClassName() const override { return "CDaiFaShuJu"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { OnExit(); }

  void FillList();
  void OnClickList();
  void OnStartStop();
  void OnDelete();
  void OnDeleteAll();
  void OnExit();
  void OnProgress();

  platform::ui::ListCtrl& list() { return list_; }
  const std::vector<std::string>& files() const { return files_; }
  int selectedRow() const { return selected_; }
  bool sending() const { return sending_; }

 protected:
  int RequesterCode() const override { return -1; }  // no keypad edits

 private:
  std::array<Parameter*, 3> Chans() const { return {Channel(1), Channel(2), Channel(3)}; }
  std::string DataRoot() const;
  void SelectRow(int row);
  bool AnyTestRunning() const;
  bool InUse(const std::string& path) const;
  void EndSending();

  platform::ui::ListCtrl list_;
  std::vector<std::string> files_;  // names of the listed files, in display order
  int selected_ = -1;
  int sendingRow_ = -1;
  std::string selectedName_;  // the file being sent
  std::string sendingPath_;
  bool sending_ = false;
  int initialBuiltIn_ = 0;
  int initialBox_ = 0;
  int emptyTicks_ = 0;  // ticks that found the queue empty with records of the file still unsent
  bool releasing_ = false;  // a stopped re-send keeps its file until nothing of it is outstanding
  int stoppedRoute_ = 1;
};

// The re-send frame: its template with the list's column captions and the button captions, made at
// start-up and never shown; it carries no behaviour.
class ShiZhuangBuFa : public MonitorDialog {
 public:
  static constexpr int kTemplate = 153;
  static constexpr int kList = 1127;
  ShiZhuangBuFa() : MonitorDialog(kTemplate) { bindControl(kList, list_); }
  const char* ClassName() const override { return "ShiZhuangBuFa"; }
  bool onInitDialog() override;

 private:
  platform::ui::ListCtrl list_;
};
