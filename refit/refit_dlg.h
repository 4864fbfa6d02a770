// The upgrade program's one full-screen dialog: the upgrade files ("*.msi") of the U-disk, and the
// buttons that install the chosen one as the new "Main.exe", reset the instrument to its factory
// settings, calibrate the touch screen, search the U-disk again and return to the main program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/file_list.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

namespace refit {

using UpgradeFileEntry = FoundFile;

// Program-wide state (zero or empty at start).
extern std::vector<std::string> g_UpgradeFileNames;  // names of the listed files, in row order
extern int g_nUpgradeSel;                            // the remembered selected row
extern std::string g_strUpgradeFile;                 // the name of the file chosen for the upgrade
extern std::string g_strUpgradeVersion;              // the version text taken from that name
extern std::uint8_t g_bUpgraded;                     // 1 after the new "Main.exe" was put in place
extern int g_nUpgradeCountdown;                      // seconds left before the main program starts
// Back to the state at program start.
void ResetUpgradeState();

// The ten settings files, in the order they are deleted.
inline constexpr std::array<const char*, 10> kSettingsFiles = {
    "krv718.ini",  "xtbd.ini",    "krv718GPRS.DAT",  "QJDdat.DAT",      "krv7181.ini",
    "krv7182.ini", "krv7183.ini", "krv718GPRS1.DAT", "krv718GPRS2.DAT", "krv718GPRS3.DAT"};
// Deletes them from the data root, then from the program root; a missing file is passed over.
void DeleteSettingsFiles(int boardFlag);

// The version rule: not empty, a digit at every even position and a '.' at every odd one.
bool IsVersionText(const std::string& version);
// The version text of an upgrade file name: the name less its last four characters (".msi"), then
// the last five characters of that (all of it when shorter).
std::string VersionOfFileName(const std::string& name);
// A file size as the list shows it: "1023B", "1.0KB", "1.00MB".
std::string FormatFileSize(long long size);
// Whether file content is a whole program that can start: an ELF executable whose header, program
// headers, loadable segments and section header table all lie inside the file, or a script whose "#!"
// line names an interpreter (by its absolute path) that is there and can be executed.
bool IsProgramImage(const std::string& bytes);

// Puts the U-disk's upgrade file in place of "Main.exe": a copy to a temporary name in the program
// root, checked to be whole and a program, then a durable replace of "Main.exe". On every failure the
// installed "Main.exe" stays as it was.
enum class InstallResult { Installed, CopyFailed, NotAProgram };
InstallResult InstallUpgradeFile(int boardFlag, const std::string& fileName);
// Removes what an upgrade cut off by a power loss leaves in the program root: the copy of the upgrade
// file and the temporary files of the copy and of the replace of "Main.exe".
void RemoveUpgradeLeftovers(int boardFlag);

class CRefitDlg : public platform::ui::Dialog {
 public:
  static constexpr int kTemplateBoard1 = 102;
  static constexpr int kTemplateBoard0 = 131;
  static constexpr int kStatus = 1000;
  static constexpr int kList = 1001;
  static constexpr int kTitle = 1002;
  static constexpr int kRestore = 1014;
  static constexpr int kReturn = 1015;
  static constexpr int kRefresh = 1016;
  static constexpr int kUpgrade = 1017;
  static constexpr int kTouchCalibrate = 1018;
  static constexpr unsigned kCountdownTimer = 1;
  static constexpr unsigned kCopyTimer = 2;

  explicit CRefitDlg(int templateId);

  void SetBoardFlag(int boardFlag) { m_nBoardFlag = boardFlag; }
  int BoardFlag() const { return m_nBoardFlag; }

  bool onInitDialog() override;
  void RefreshFileList();
  void OnBnClickedRefresh();
  void OnBnClickedUpgrade();
  void OnBnClickedRestore();
  void OnBnClickedReturn();
  void OnBnClickedTouchCalibrate();
  void OnTimer(unsigned id);

  const std::vector<UpgradeFileEntry>& Entries() const { return m_FileList; }
  platform::ui::ListCtrl* List() const { return item<platform::ui::ListCtrl>(kList); }
  // Whether the dialog has asked the program to end (the quit message posted).
  bool QuitPosted() const { return m_bQuitPosted; }

 private:
  void SelectRememberedRow();
  void StartMainAndQuit();

  std::vector<UpgradeFileEntry> m_FileList;
  int m_nBoardFlag = 0;
  bool m_bCopyPending = false;
  bool m_bQuitPosted = false;
};

}  // namespace refit
