// The test-file manager ShiZhuangMuLu: the test files of the internal storage and of the SD card, in the
// normal view or the recycle-bin view, with marks for the file operations (open into the report pages,
// export to the U-disk, delete into the bin, restore, clear for good), the import of the jack list from
// the U-disk, the log export and the way to the pending-data dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_dialog.h"
#include "platform/ui/controls.h"

// Registers the manager as the object of its registry place (templates 104 and 204); call before
// CreateMonitorDialogs() (RegisterReportPages() does).
void RegisterFileManager();

// Whether the manager's next activation rebuilds its view.
extern int g_bRefreshOnActivate;

// One row of the manager's list: a file, or the header row of a storage.
struct TestFileEntry {
  std::string name;       // file name with its extension, as found
  std::string path;       // folder + name
  std::int64_t time = 0;  // creation time in local time; 0 before 1900
  int isFile = 1;         // 0 for a storage header row
  std::int64_t size = 0;  // bytes
  byte marked = 0;
};

class ShiZhuangMuLu : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 104;
  static constexpr int kTemplateBoard0 = 204;
  static constexpr int kList = 1126;
  static constexpr int kStatus = 1205;
  static constexpr int kTitle = 1343;
  static constexpr int kOpen = 1121;
  static constexpr int kExportRestore = 1122;
  static constexpr int kRecycleBin = 1123;
  static constexpr int kDeleteClear = 1124;
  static constexpr int kExit = 1125;
  static constexpr int kImport = 1127;
  static constexpr int kPending = 1128;
  static constexpr int kSelectAll = 1247;
  static constexpr int kWarning1 = 1248;
  static constexpr int kWarning2 = 1249;

  static constexpr const char* kInternal = "内置存储器";
  static constexpr const char* kSdCard = "扩展存储器";

  ShiZhuangMuLu();
  const char* ClassName() const override { return "ShiZhuangMuLu"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  // 0 normal view, 1 recycle-bin view.
  int ViewFlag() const { return view_; }
  const std::vector<TestFileEntry>& DisplayList() const { return display_; }
  platform::ui::ListCtrl& List() { return list_; }

  // The test files of a folder (ending in a backslash), oldest first, into `list`.
  static void FillFileList(const std::string& folder, std::vector<TestFileEntry>& list);
  // Lists the files of the view again (marks are lost). The operations that rebuild keep their closing
  // status; every other rebuild clears it.
  void RefreshView(bool keepStatus = false);

  void OnClickFileList();
  void OnBnClickedSelectAll();
  void OnBnClickedRecycleBin();
  void OnBnClickedOpenFile();
  // 0: export (normal view) or restore (bin view); 2: delete into the bin or clear.
  void FileOperation(int operation);
  void OnBnClickedImportParams();
  void MoveLogFiles();

 protected:
  int RequesterCode() const override { return kRequesterNone; }
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  void OnActivate(platform::ui::Message& m);
  int Board() const;
  bool AnyTestRunning() const;
  std::vector<const Parameter*> Channels() const;
  void AddRow(const TestFileEntry& e, int number);
  // Marks the files of the list whose paths are given, and only those.
  void MarkOnly(const std::vector<std::string>& paths);
  void ShowShownPageFromChannel1();

  platform::ui::ListCtrl list_;
  platform::ui::Font listFont_, buttonFont_, smallFont_, titleFont_;
  int view_ = 0;
  bool listed_ = false;
  std::vector<TestFileEntry> display_, internal_, sdCard_;
};
