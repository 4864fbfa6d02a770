#include "refit/refit_dlg.h"

#include <algorithm>

#include "model/helpers.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/text/text.h"
#include "refit/queren.h"

using namespace platform::ui;
namespace fs = platform::fs;

namespace refit {

std::vector<std::string> g_UpgradeFileNames;
int g_nUpgradeSel = 0;
std::string g_strUpgradeFile;
std::string g_strUpgradeVersion;
std::uint8_t g_bUpgraded = 0;
int g_nUpgradeCountdown = 0;

void ResetUpgradeState() {
  g_UpgradeFileNames.clear();
  g_nUpgradeSel = 0;
  g_strUpgradeFile.clear();
  g_strUpgradeVersion.clear();
  g_bUpgraded = 0;
  g_nUpgradeCountdown = 0;
}

namespace {

constexpr const char* kNoUsbDisk = "错误，请插入带有升级文件的U盘！";
constexpr const char* kNoUpgradeFile = "错误，仪器未检测升级文件！";
constexpr const char* kNoListedFile = "错误，仪器未检测到升级文件！";
constexpr const char* kBadFormat = "对不起，所选文件不符合标准升级文件格式!";
constexpr const char* kCopyFailed = "升级失败，请确认源升级文件是否存在!";

// The temporary name the upgrade file is copied to before it replaces "Main.exe".
constexpr const char* kUpgradeCopy = "Main.exe.new";

// The two templates carry the same controls; the layout suits a finger on the 1024 x 768 screen.
DialogTemplate refitTemplate(int id) {
  return DialogTemplate{
      id,
      {0, 0, kScreenWidth, kScreenHeight},
      0,
      "",
      0,
      0,
      {
          {CRefitDlg::kTitle, ControlClass::Static, "软件更新", {0, 14, 1024, 70}, SS_CENTER | SS_CENTERIMAGE},
          {CRefitDlg::kStatus, ControlClass::Static, "", {20, 80, 1004, 116}, SS_RIGHT | SS_CENTERIMAGE},
          {1003, ControlClass::Static, "序号", {20, 122, 75, 156}, SS_CENTER | SS_CENTERIMAGE},
          {1004, ControlClass::Static, "文件名", {75, 122, 475, 156}, SS_CENTER | SS_CENTERIMAGE},
          {1005, ControlClass::Static, "文件大小", {475, 122, 655, 156}, SS_CENTER | SS_CENTERIMAGE},
          {1006, ControlClass::Static, "创建日期", {655, 122, 1004, 156}, SS_CENTER | SS_CENTERIMAGE, false},
          {1007, ControlClass::Static, "创建时间", {655, 122, 1004, 156}, SS_CENTER | SS_CENTERIMAGE},
          {CRefitDlg::kList, ControlClass::List, "", {20, 158, 1004, 640},
           LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | WS_BORDER},
          {1013, ControlClass::Static, "操作提示:", {20, 600, 120, 620}, 0, false},
          {1008, ControlClass::Static,
           "按下<确定>键更新软件，<F5>键取消更新并返回主程序，<退格>键恢复仪器到出厂时配置，<参数选择>键重新搜索升级文件。",
           {120, 600, 1004, 620}, 0, false},
          {CRefitDlg::kTouchCalibrate, ControlClass::Button, "触摸屏校准", {22, 664, 202, 744}},
          {CRefitDlg::kRestore, ControlClass::Button, "恢复出厂设置", {222, 664, 402, 744}},
          {CRefitDlg::kRefresh, ControlClass::Button, "刷新", {422, 664, 602, 744}},
          {CRefitDlg::kReturn, ControlClass::Button, "返回", {622, 664, 802, 744}},
          {CRefitDlg::kUpgrade, ControlClass::Button, "确定", {822, 664, 1002, 744}},
      }};
}

TemplateRegistration regBoard1{refitTemplate(CRefitDlg::kTemplateBoard1)};
TemplateRegistration regBoard0{refitTemplate(CRefitDlg::kTemplateBoard0)};

// The last `n` characters of a text (all of it when shorter).
std::string lastChars(const std::string& text, std::size_t n) {
  const std::size_t count = platform::text::charCount(text);
  if (count <= n) return text;
  return text.substr(platform::text::truncateChars(text, count - n).size());
}

// The text less its last `n` characters (empty when it is not longer).
std::string withoutLastChars(const std::string& text, std::size_t n) {
  const std::size_t count = platform::text::charCount(text);
  if (count <= n) return std::string();
  return platform::text::truncateChars(text, count - n);
}

std::string formatTime(std::int64_t seconds) {
  const platform::clock::DateTime t = platform::clock::fromSeconds(seconds);
  return platform::text::format("%02d-%02d-%02d %02d:%02d", t.year % 100, t.month, t.day, t.hour, t.minute);
}

}  // namespace

void DeleteSettingsFiles(int boardFlag) {
  for (const std::string& root : {GetDataRoot(boardFlag), GetProgramRoot(boardFlag)}) {
    for (const char* name : kSettingsFiles) {
      const std::string path = root + name;
      if (fs::isFile(path)) fs::deleteFile(path);
    }
  }
}

bool IsVersionText(const std::string& version) {
  if (version.empty()) return false;
  for (std::size_t i = 0; i < version.size(); ++i) {
    const char c = version[i];
    if (i % 2 == 0 ? (c < '0' || c > '9') : c != '.') return false;
  }
  return true;
}

std::string VersionOfFileName(const std::string& name) { return lastChars(withoutLastChars(name, 4), 5); }

std::string FormatFileSize(long long size) {
  if (size < 1024) return platform::text::format("%lldB", size);
  if (size < 1048576) return platform::text::format("%.1fKB", static_cast<double>(size) / 1024.0);
  return platform::text::format("%.2fMB", static_cast<double>(size) / 1048576.0);
}

InstallResult InstallUpgradeFile(int boardFlag, const std::string& fileName) {
  const std::string source = GetUsbDiskRoot(boardFlag) + fileName;
  const std::string program = GetProgramRoot(boardFlag);
  const std::string copy = program + kUpgradeCopy;
  const long long size = fs::fileSize(source);
  if (size < 0) return InstallResult::CopyFailed;
  // The copy lies beside "Main.exe" before anything of the installed program changes.
  std::string bytes;
  const bool whole = fs::copyFile(source, copy, true) && fs::readFile(copy, bytes) &&
                     static_cast<long long>(bytes.size()) == size;
  InstallResult result = InstallResult::Installed;
  if (!whole) result = InstallResult::CopyFailed;
  else if (!IsProgramImage(bytes)) result = InstallResult::NotAProgram;
  else if (!fs::replaceFile(program + "Main.exe", bytes)) result = InstallResult::CopyFailed;
  if (fs::isFile(copy)) fs::deleteFile(copy);
  return result;
}

void RemoveUpgradeLeftovers(int boardFlag) {
  const std::string program = GetProgramRoot(boardFlag);
  const std::string copy = program + kUpgradeCopy;
  if (fs::isFile(copy)) fs::deleteFile(copy);
  fs::removeDurableTemporary(copy);
  fs::removeDurableTemporary(program + "Main.exe");
}

// ---- the dialog ------------------------------------------------------------------------------------

CRefitDlg::CRefitDlg(int templateId) : Dialog(templateId) {
  on(WM_PAINT, [this](Message& m) { return defWindowProc(m); });
  on(WM_TIMER, [this](Message& m) {
    defWindowProc(m);
    OnTimer(static_cast<unsigned>(m.wParam));
    return LRESULT{0};
  });
  onCommand(kRestore, BN_CLICKED, [this] { OnBnClickedRestore(); });
  onCommand(kRefresh, BN_CLICKED, [this] { OnBnClickedRefresh(); });
  onCommand(kReturn, BN_CLICKED, [this] { OnBnClickedReturn(); });
  onCommand(kUpgrade, BN_CLICKED, [this] { OnBnClickedUpgrade(); });
  onCommand(kTouchCalibrate, BN_CLICKED, [this] { OnBnClickedTouchCalibrate(); });
}

bool CRefitDlg::onInitDialog() {
  moveWindow(0, 0, kScreenWidth, kScreenHeight);
  ListCtrl* list = List();
  list->setFont(Font::create(40, 0, "宋体"));
  list->setExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  list->insertColumn(0, "文件号", LVCFMT_CENTER, 55);
  list->insertColumn(1, "文件名", LVCFMT_CENTER, 400);
  list->insertColumn(2, "文件大小", LVCFMT_CENTER, 180);
  list->insertColumn(3, "创建日期", LVCFMT_CENTER, 350);
  list->insertColumn(4, "创建时间", LVCFMT_CENTER, 0);
  const Font small = Font::create(24, 0, "宋体");
  for (int id : {1003, 1004, 1005, 1006, 1007, kTouchCalibrate, kRestore, kRefresh, kReturn, kUpgrade, kStatus})
    getDlgItem(id)->setFont(small);
  getDlgItem(kTitle)->setFont(Font::create(40, 0, "NULL"));
  const Font hint = Font::create(15, 0, "Arial");
  for (int id : {1008, 1013}) getDlgItem(id)->setFont(hint);
  RefreshFileList();
  bringToTop();
  return true;
}

void CRefitDlg::RefreshFileList() {
  const std::string usb = GetUsbDiskRoot(m_nBoardFlag);
  ListCtrl* list = List();
  if (!FileExists(usb)) {
    setDlgItemText(kStatus, kNoUsbDisk);
    return;
  }
  list->deleteAllItems();
  g_UpgradeFileNames.clear();
  m_FileList = ListFilesByTime(usb + "*.msi");
  if (m_FileList.empty()) {
    setDlgItemText(kStatus, kNoUpgradeFile);
    return;
  }
  for (std::size_t i = 0; i < m_FileList.size(); ++i) {
    const UpgradeFileEntry& e = m_FileList[i];
    const int row = list->insertItem(static_cast<int>(i), std::to_string(i + 1));
    list->setItemText(row, 1, withoutLastChars(e.name, 4));
    list->setItemText(row, 2, FormatFileSize(e.size));
    list->setItemText(row, 3, formatTime(e.time));
    list->setItemText(row, 4, "");
    g_UpgradeFileNames.push_back(e.name);
  }
  g_nUpgradeSel = static_cast<int>(m_FileList.size()) - 1;
  SelectRememberedRow();
}

void CRefitDlg::SelectRememberedRow() {
  ListCtrl* list = List();
  list->setFocus();
  list->setItemState(g_nUpgradeSel, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
  list->ensureVisible(g_nUpgradeSel);
  list->setSelectionMark(g_nUpgradeSel);
}

void CRefitDlg::OnBnClickedRefresh() {
  if (!FileExists(GetUsbDiskRoot(m_nBoardFlag))) {
    List()->deleteAllItems();
    setDlgItemText(kStatus, kNoUsbDisk);
    return;
  }
  setDlgItemText(kStatus, "");
  RefreshFileList();
}

void CRefitDlg::OnBnClickedUpgrade() {
  setDlgItemText(kStatus, "");
  if (g_UpgradeFileNames.empty()) return;
  const int count = static_cast<int>(g_UpgradeFileNames.size());
  const int mark = List()->getSelectionMark();
  int row = g_nUpgradeSel;
  if (mark >= 0 && mark < count) {
    g_nUpgradeSel = mark;
    row = mark;
  }
  if (row < 0 || row >= count) return;
  g_strUpgradeFile = g_UpgradeFileNames[static_cast<std::size_t>(row)];
  g_strUpgradeVersion = VersionOfFileName(g_strUpgradeFile);
  if (!IsVersionText(g_strUpgradeVersion)) {
    setDlgItemText(kStatus, kBadFormat);
    return;
  }
  if (!Confirm("确定进行升级吗？\r\n确定后将重置仪器的配置参数，\r\n下次使用时需要重新输入这些参数！", this)) {
    SelectRememberedRow();
    g_bUpgraded = 0;
    return;
  }
  // The settings go only once the new program is in place (timer 2).
  SelectRememberedRow();
  setDlgItemText(kStatus, "升级进行中……，请稍候!");
  m_bCopyPending = true;
  setTimer(kCopyTimer, 200);
}

void CRefitDlg::OnTimer(unsigned id) {
  if (id == kCopyTimer) {
    killTimer(kCopyTimer);
    if (!m_bCopyPending) return;
    m_bCopyPending = false;
    if (!FileExists(GetUsbDiskRoot(m_nBoardFlag))) {
      setDlgItemText(kStatus, kNoUsbDisk);
      g_bUpgraded = 0;
    } else if (g_UpgradeFileNames.empty()) {
      setDlgItemText(kStatus, kNoListedFile);
      g_bUpgraded = 0;
    } else {
      switch (InstallUpgradeFile(m_nBoardFlag, g_strUpgradeFile)) {
        case InstallResult::Installed:
          DeleteSettingsFiles(m_nBoardFlag);
          g_nUpgradeCountdown = 10;
          g_bUpgraded = 1;
          setTimer(kCountdownTimer, 1000);
          break;
        case InstallResult::NotAProgram:
          g_bUpgraded = 0;
          setDlgItemText(kStatus, kBadFormat);
          break;
        case InstallResult::CopyFailed:
          g_bUpgraded = 0;
          setDlgItemText(kStatus, kCopyFailed);
          break;
      }
    }
  } else if (id == kCountdownTimer) {
    if (g_bUpgraded == 1) {
      g_nUpgradeCountdown = std::max(0, g_nUpgradeCountdown - 1);
      setDlgItemText(kStatus, platform::text::format("软件版本成功升级至%s!  %d秒钟后自动返回主程序",
                                                     g_strUpgradeVersion.c_str(), g_nUpgradeCountdown));
    }
    if (g_nUpgradeCountdown == 0) {
      killTimer(kCountdownTimer);
      StartMainAndQuit();
    }
  }
}

void CRefitDlg::OnBnClickedRestore() {
  setDlgItemText(kStatus, "");
  if (Confirm("确认恢复到仪器出厂时的配置吗？\r\n选择确认，以往设置的一些参数将丢失！", this)) {
    DeleteSettingsFiles(m_nBoardFlag);
    SelectRememberedRow();
    setDlgItemText(kStatus, "恢复成功，请重新返回主程序!");
  } else {
    SelectRememberedRow();
  }
}

void CRefitDlg::OnBnClickedReturn() { StartMainAndQuit(); }

void CRefitDlg::StartMainAndQuit() {
  platform::process::startProgram(GetProgramRoot(m_nBoardFlag) + "Main.exe");
  m_bQuitPosted = true;
  postQuitMessage(0);
}

void CRefitDlg::OnBnClickedTouchCalibrate() {
  switch (platform::process::touchCalibrate()) {
    case platform::process::TouchCalibration::Done:
      break;
    case platform::process::TouchCalibration::CannotStart: {
      CMessageBox box("instance == NULL");
      box.doModal(this);
      break;
    }
    case platform::process::TouchCalibration::NotConfigured: {
      CMessageBox box("TouchCalibrate == NULL");
      box.doModal(this);
      break;
    }
  }
}

}  // namespace refit
