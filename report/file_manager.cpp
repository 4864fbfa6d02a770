#include "report/file_manager.h"

#include <algorithm>
#include <cstdio>

#include "app/linked_dialog.h"
#include "app/queren.h"
#include "app/widgets.h"
#include "model/file_list.h"
#include "model/helpers.h"
#include "model/opened_test.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "report/file_operations.h"
#include "report/pages.h"

using namespace platform::ui;
using M = ShiZhuangMuLu;

int g_bRefreshOnActivate = 0;

namespace {

// Both boards carry the same controls; the status line of board 1 also starts the log export when
// tapped, and board 0 carries one more hidden caption.
DialogTemplate ManagerTemplate(int id) {
  const bool board1 = id == M::kTemplateBoard1;
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto add = [&](int cid, ControlClass cls, const char* caption, Rect r, std::uint32_t style, bool visible = true) {
    t.controls.push_back({cid, cls, caption, r, style, visible});
  };
  add(M::kTitle, ControlClass::Static, "试桩数据", {10, 4, 1014, 58}, SS_CENTER | SS_CENTERIMAGE);
  add(M::kStatus, ControlClass::Static, "", {10, 60, 1014, 92}, SS_RIGHT | SS_CENTERIMAGE | (board1 ? SS_NOTIFY : 0u));
  add(M::kList, ControlClass::List, "", {10, 96, 1014, 676},
      WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  add(M::kSelectAll, ControlClass::Button, "全选", {10, 688, 120, 760}, BS_AUTOCHECKBOX);
  const struct {
    int id;
    const char* caption;
  } buttons[] = {{M::kOpen, "打开文件"},  {M::kExportRestore, board1 ? "导出文件" : "复制文件"},
                 {M::kDeleteClear, "删除文件"}, {M::kRecycleBin, "回收站"},
                 {M::kImport, "参数导入"}, {M::kPending, "待发数据"},
                 {M::kExit, "退出"}};
  int x = 128;
  for (const auto& b : buttons) {
    add(b.id, ControlClass::Button, b.caption, {x, 688, x + 120, 760}, BS_PUSHBUTTON);
    x += 126;
  }
  add(M::kWarning1, ControlClass::Static,
      "1、复制文件、剪切文件以及参数导入，请您确定仪器的USB口已经接上U盘，以免造成不可预知的错误。",
      {10, 600, 1014, 630}, SS_NOTIFY, false);
  add(M::kWarning2, ControlClass::Static,
      "2、文件一旦删除即不可恢复，删除文件前请您仔细甄别需要删除的文件，防止误删造成不可挽回的损失。",
      {10, 632, 1014, 662}, SS_LEFT, false);
  const char* groups[] = {"警告", "状态提示", "文件列表", "文件操作", "扩展功能"};
  for (int k = 0; k < 5; ++k) add(1250 + k, ControlClass::Button, groups[k], {4, 4, 1020, 764}, BS_GROUPBOX, false);
  if (!board1) add(1342, ControlClass::Static, "试桩数据", {10, 4, 300, 40}, SS_LEFT, false);
  return t;
}

bool IsHeader(const TestFileEntry& e) { return e.name == M::kInternal || e.name == M::kSdCard; }

bool TestFileName(const std::string& name) {
  if (name.size() < 3) return false;
  const std::string tail = name.substr(name.size() - 3);
  return tail == "krv" || tail == "krs" || tail == "zph" || tail == "kbx";
}

}  // namespace

void RegisterFileManager() {
  // Registered here, after the registry's plain frames of these templates.
  registerTemplate(ManagerTemplate(M::kTemplateBoard1));
  registerTemplate(ManagerTemplate(M::kTemplateBoard0));
  SetMonitorDialogFactory(MonitorSlot::ShiZhuangMuLu, [] { return std::make_unique<ShiZhuangMuLu>(); });
}

ShiZhuangMuLu::ShiZhuangMuLu() : SettingsDialog(kTemplateBoard1, kStatus) {
  bindControl(kList, list_);
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  on(WM_ACTIVATE, [this](Message& m) {
    OnActivate(m);
    return LRESULT{0};
  });
  onCommand(kOpen, BN_CLICKED, [this] { OnBnClickedOpenFile(); });
  onCommand(kExportRestore, BN_CLICKED, [this] { FileOperation(0); });
  onCommand(kRecycleBin, BN_CLICKED, [this] { OnBnClickedRecycleBin(); });
  onCommand(kDeleteClear, BN_CLICKED, [this] { FileOperation(2); });
  onCommand(kImport, BN_CLICKED, [this] { OnBnClickedImportParams(); });
  onCommand(kPending, BN_CLICKED, [this] { HideAndShowLinkedDialog(*this, Linked(MonitorSlot::CDaiFaShuJu)); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
  onCommand(kSelectAll, BN_CLICKED, [this] { OnBnClickedSelectAll(); });
  onCommand(kWarning1, STN_CLICKED, [this] { MoveLogFiles(); });
  onCommand(kStatus, STN_CLICKED, [this] { MoveLogFiles(); });
  for (std::uint32_t code : {NM_CLICK, NM_DBLCLK})
    onNotify(kList, code, [this](Notify&) {
      OnClickFileList();
      return LRESULT{0};
    });
}

bool ShiZhuangMuLu::onInitDialog() {
  // 1. The list: font, styles and columns.
  listFont_ = Font::create(42, 300, "Tahoma");
  list_.setFont(listFont_, false);
  list_.setExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  const struct {
    const char* heading;
    int format;
    int width;
  } columns[] = {{"序号", LVCFMT_CENTER, 145}, {"文件名称", LVCFMT_LEFT, 840}, {"文件大小", LVCFMT_CENTER, 0},
                 {"创建日期", LVCFMT_CENTER, 0},  {"创建时间", LVCFMT_CENTER, 0}, {"删除时间", LVCFMT_CENTER, 0}};
  for (int c = 0; c < 6; ++c) list_.insertColumn(c, columns[c].heading, columns[c].format, columns[c].width);
  // 2. The two boxes, which also give the rows their height.
  list_.setImageList(TickBoxImages());
  // 3. Fonts.
  buttonFont_ = Font::create(26, 700, "NULL");
  smallFont_ = Font::create(20, 0, "NULL");
  titleFont_ = Font::create(44, 300, "Tahoma");
  for (int id : {kOpen, kExportRestore, kRecycleBin, kDeleteClear, kExit, kImport, kPending, kSelectAll})
    if (Window* w = getDlgItem(id)) w->setFont(buttonFont_, false);
  for (int id : {1250, 1251, 1253, 1254, 1252, kWarning1, kWarning2, kStatus})
    if (Window* w = getDlgItem(id)) w->setFont(smallFont_, false);
  if (Window* w = getDlgItem(kTitle)) w->setFont(titleFont_, false);
  // 4. Normal view, nothing listed yet.
  view_ = 0;
  return true;
}

int ShiZhuangMuLu::Board() const {
  const Parameter* p = Channel(1) ? Channel(1) : CurrentChannel();
  return p ? p->boardFlag.load() : 1;
}

std::vector<const Parameter*> ShiZhuangMuLu::Channels() const { return {Channel(1), Channel(2), Channel(3)}; }

bool ShiZhuangMuLu::AnyTestRunning() const {
  const std::vector<const Parameter*> ch = Channels();
  return std::any_of(ch.begin(), ch.end(), [](const Parameter* p) { return p && p->testRunning.load() == 1; });
}

void ShiZhuangMuLu::OnActivate(Message& m) {
  // The first showing lists the files; after it, an activation rebuilds while the flag is set, and an
  // activation with the flag clear (the one after an operation's prompt) only sets it again.
  if (static_cast<int>(LOWORD(m.wParam)) == WA_ACTIVE) {
    if (g_bRefreshOnActivate || !listed_) RefreshView();
    g_bRefreshOnActivate = 1;
  }
  defWindowProc(m);
}

void ShiZhuangMuLu::OnCtlColor(CtlColor& c) {
  if (c.kind != CTLCOLOR_STATIC || !c.control) return;
  const int id = c.control->id();
  if (id == kWarning1 || id == kWarning2 || id == 1250) c.dc->setTextColor(RGB(200, 0, 0));
  else if (id == 1252 || id == 1253 || id == 1254) c.dc->setTextColor(RGB(0, 0, 255));
}

void ShiZhuangMuLu::FillFileList(const std::string& folder, std::vector<TestFileEntry>& list) {
  list.clear();
  for (const FoundFile& f : ListFilesByTime(folder + "*.*")) {
    if (!TestFileName(f.name)) continue;
    TestFileEntry e;
    e.name = f.name;
    e.path = folder + f.name;
    e.time = f.time;
    e.isFile = 1;
    e.size = f.size;
    e.marked = 0;
    list.push_back(std::move(e));
  }
}

void ShiZhuangMuLu::AddRow(const TestFileEntry& e, int number) {
  const int row = list_.getItemCount();
  if (!e.isFile) {
    // A header row shows the ticked box, as a row inserted without an image of its own.
    list_.insertItem(row, "--", 0);
    list_.setItemText(row, 1, e.name);
    for (int c = 3; c <= 5; ++c) list_.setItemText(row, c, "--");
    return;
  }
  std::string first = std::to_string(number);
  if (view_ == 0)
    for (const Parameter* p : Channels())
      if (p && !p->testFilePath.empty() && platform::fs::samePath(p->testFilePath, e.path)) first += "★";
  list_.insertItem(row, first, 1);
  list_.setItemText(row, 1, e.name);
  list_.setItemText(row, 3, FileTimeText(e.time));
  list_.setItemText(row, 5, FileTimeText(e.time));
}

void ShiZhuangMuLu::RefreshView(bool keepStatus) {
  // 1. Both lists and the rows go.
  display_.clear();
  internal_.clear();
  sdCard_.clear();
  list_.deleteAllItems();
  listed_ = true;
  const int board = Board();
  const std::string internal = GetProgramRoot(board);
  const std::string sd = GetSdCardDir(board);
  const std::string binTail = std::string(file_ops::kBinFolder) + "\\";
  const bool running = AnyTestRunning();
  // 2-3. The files of the view, its title, captions and columns.
  if (view_ == 0) {
    FillFileList(internal, internal_);
    if (FileExists(sd)) FillFileList(sd, sdCard_);
    setDlgItemText(kTitle, "试桩数据");
    setDlgItemText(kExportRestore, "导出文件");
    setDlgItemText(kDeleteClear, "删除文件");
    list_.setColumnWidth(1, 840);
    list_.setColumnWidth(5, 0);
  } else {
    if (FileExists(sd + binTail)) {
      FillFileList(internal + binTail, internal_);
      FillFileList(sd + binTail, sdCard_);
    } else if (FileExists(internal + binTail)) {
      FillFileList(internal + binTail, internal_);
    }
    setDlgItemText(kTitle, "回收站");
    setDlgItemText(kExportRestore, "还原文件");
    setDlgItemText(kDeleteClear, "清除文件");
    list_.setColumnWidth(1, 560);
    list_.setColumnWidth(5, 280);
  }
  if (!keepStatus) SetStatus("", warning());
  if (auto* box = dynamic_cast<Button*>(getDlgItem(kSelectAll))) box->setCheck(false);
  // 4. The display list: a header before each storage's files when both have some.
  auto header = [](const char* label) {
    TestFileEntry h;
    h.name = h.path = label;
    h.isFile = 0;
    h.marked = 1;
    return h;
  };
  const bool both = !internal_.empty() && !sdCard_.empty();
  if (both) display_.push_back(header(kInternal));
  display_.insert(display_.end(), internal_.begin(), internal_.end());
  if (both) display_.push_back(header(kSdCard));
  display_.insert(display_.end(), sdCard_.begin(), sdCard_.end());
  // 5. Rows, numbered again after each header.
  int number = 0;
  for (const TestFileEntry& e : display_) {
    number = e.isFile ? number + 1 : 0;
    AddRow(e, number);
  }
  // 6. The newest row is selected and shown.
  const int rows = list_.getItemCount();
  list_.setFocus();
  if (rows > 0) {
    list_.setItemState(rows - 1, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
    list_.setSelectionMark(rows - 1);
    list_.ensureVisible(rows - 1);
  } else {
    list_.setSelectionMark(-1);
  }
  // 7. Buttons.
  auto enable = [this](int id, bool on) {
    if (Window* w = getDlgItem(id)) w->enableWindow(on);
  };
  if (view_ == 0) {
    enable(kOpen, rows > 0 && !running);
    enable(kExportRestore, rows > 0);
    enable(kDeleteClear, rows > 0);
    enable(kPending, true);
    enable(kImport, true);
  } else {
    enable(kOpen, false);
    enable(kExportRestore, rows > 0);
    enable(kDeleteClear, rows > 0);
    enable(kPending, false);
    enable(kImport, false);
  }
  invalidate();
}

void ShiZhuangMuLu::OnClickFileList() {
  const int row = list_.getSelectionMark();
  if (row < 0 || row >= static_cast<int>(display_.size())) return;
  TestFileEntry& e = display_[static_cast<std::size_t>(row)];
  if (!e.isFile) return;
  e.marked = e.marked ? 0 : 1;
  list_.setItemImage(row, e.marked ? 0 : 1);
}

void ShiZhuangMuLu::OnBnClickedSelectAll() {
  auto* box = dynamic_cast<Button*>(getDlgItem(kSelectAll));
  const bool all = box && box->getCheck();
  for (std::size_t i = 0; i < display_.size(); ++i) {
    TestFileEntry& e = display_[i];
    if (all) {
      e.marked = 1;
      list_.setItemImage(static_cast<int>(i), 0);
    } else if (!IsHeader(e)) {
      e.marked = 0;
      list_.setItemImage(static_cast<int>(i), 1);
    }
  }
}

void ShiZhuangMuLu::OnBnClickedRecycleBin() {
  if (getDlgItemText(kRecycleBin) == "回收站") {
    view_ = 1;
    setDlgItemText(kRecycleBin, "<<返回");
  } else {
    view_ = 0;
    setDlgItemText(kRecycleBin, "回收站");
  }
  RefreshView();
}

void ShiZhuangMuLu::ShowShownPageFromChannel1() {
  Parameter* c1 = Channel(1);
  // The six pages show channel 1, and the page on screen is drawn again from the opened file.
  const MonitorSlot pages[6] = {MonitorSlot::CPageJiLuBiao, MonitorSlot::CPageChenJiangBiao,
                                MonitorSlot::CPageHuiZongBiao, MonitorSlot::CPageQ_s,
                                MonitorSlot::CPages_lgQ,    MonitorSlot::CPages_lgt};
  int shown = 0;
  for (int k = 0; k < 6; ++k) {
    MonitorDialog* page = g_pMonitorDialogs.at(pages[k]);
    if (!page) continue;
    page->SetCurrentChannel(c1);
    if (page->exists() && page->isWindowVisible()) shown = k;
  }
  c1->selectedChannelText = "1";
  c1->pageRedraw.store(shown);
}

void ShiZhuangMuLu::OnBnClickedOpenFile() {
  // 1-3. A selected row.
  const int rows = list_.getItemCount();
  if (rows == 0) return;
  const int row = list_.getNextItem(-1, LVNI_SELECTED);
  if (list_.getSelectionMark() < 0 || row < 0 || row >= static_cast<int>(display_.size())) {
    SetStatus("请选中要打开的文件！", true);
    return;
  }
  // 4. Never while a test runs.
  if (AnyTestRunning()) {
    SetStatus("测试正在进行，无法打开其他试桩数据！", true);
    return;
  }
  Parameter* c1 = Channel(1);
  if (!c1) return;
  // 5. The view of channel 1 starts empty; its own settings and schedule stay as they are.
  ProcedureState& view = c1->procedure;
  view.openedStandardCode = 0;
  view.openedHeader12 = 1;
  view.openedGaugeOn.fill(0);
  const TestFileEntry& e = display_[static_cast<std::size_t>(row)];
  view.lastTestFileName = e.path;
  // 6-7. The file itself.
  if (e.path.empty() || !e.isFile || IsHeader(e)) {
    view.lastTestFileName.clear();
    SetStatus(e.path.empty() ? "打开文件失败，源数据文件路径错误！" : "请选择数据文件！", true);
    return;
  }
  // 8-9. Records, counts and display copies.
  if (!JDQFile::LoadOpenedTest(*c1, e.path)) {
    view.lastTestFileName.clear();
    SetStatus("打开文件失败，源数据文件丢失或损坏！", true);
    return;
  }
  // 11. Shown from channel 1, and the manager goes.
  ShowShownPageFromChannel1();
  showWindow(SW_HIDE);
}

void ShiZhuangMuLu::FileOperation(int operation) {
  using file_ops::Operation;
  // 1-3. Something to work on.
  SetStatus("", warning());
  if (display_.empty()) {
    if (view_ == 1) SetStatus("回收站中没有数据文件！", false);
    else SetStatus("错误！仪器中没有数据文件！", true);
    return;
  }
  std::vector<file_ops::MarkedFile> marked;
  for (const TestFileEntry& e : display_)
    if (e.isFile && e.marked) marked.push_back({e.name, e.path});
  if (marked.empty()) {
    SetStatus("错误，没有选中任何文件！", true);
    return;
  }
  // 4. Preparation.
  const int board = Board();
  const Operation op = view_ == 0 ? (operation == 0 ? Operation::Export : Operation::Delete)
                                  : (operation == 0 ? Operation::Restore : Operation::Clear);
  const std::string usb = GetUsbDiskRoot(board);
  const std::string exportFolder = usb + file_ops::kExportFolder + "\\";
  if (op == Operation::Export) {
    if (!FileExists(usb)) {
      SetStatus(file_ops::kNoUsbDisk, true);
      return;
    }
    platform::fs::createFolder(exportFolder);
  } else if (op == Operation::Delete) {
    platform::fs::createFolder(GetDataRoot(board) + file_ops::kBinFolder);
  }
  // 5. The activation after the prompt leaves the list alone. Whether or not an activation comes back
  // to the manager when the prompt closes (the program's modal main window may take it), the next
  // showing lists the files again.
  g_bRefreshOnActivate = 0;
  const bool yes = AskConfirmation(file_ops::PromptOf(op), this);
  g_bRefreshOnActivate = 1;
  // 6-7. The marked files, in the order of the list.
  bool error = false;
  std::vector<std::string> left;  // the marked files not done
  if (!yes) {
    SetStatus(file_ops::kCancelled, false);
  } else {
    const std::vector<std::string> tests = file_ops::CurrentTestPaths(Channels());
    file_ops::Outcome outcome;
    switch (op) {
      case Operation::Export: outcome = file_ops::ExportFiles(marked, exportFolder); break;
      case Operation::Delete: outcome = file_ops::DeleteToBin(marked, tests); break;
      case Operation::Restore: outcome = file_ops::RestoreFromBin(marked, tests); break;
      case Operation::Clear: outcome = file_ops::ClearFiles(marked); break;
    }
    const std::string status = file_ops::ClosingStatus(op, outcome, error);
    SetStatus(status, error);
    for (const file_ops::MarkedFile& f : marked)
      if (std::find(outcome.donePaths.begin(), outcome.donePaths.end(), f.path) == outcome.donePaths.end())
        left.push_back(f.path);
  }
  // 8. Everything but an export lists the files again; an export keeps the list.
  if (op != Operation::Export) RefreshView(true);
  // The files done lose their marks, so the marks left show the files that failed (or were skipped).
  if (yes) MarkOnly(left);
}

void ShiZhuangMuLu::MarkOnly(const std::vector<std::string>& paths) {
  for (std::size_t i = 0; i < display_.size(); ++i) {
    TestFileEntry& e = display_[i];
    if (!e.isFile) continue;
    const byte marked = std::find(paths.begin(), paths.end(), e.path) != paths.end() ? 1 : 0;
    if (marked == e.marked) continue;
    e.marked = marked;
    list_.setItemImage(static_cast<int>(i), marked ? 0 : 1);
  }
}

void ShiZhuangMuLu::OnBnClickedImportParams() {
  if (!AskConfirmation("确认要将参数导入到仪器中？", this)) {
    SetStatus(file_ops::kCancelled, false);
    return;
  }
  const int board = Board();
  if (file_ops::ImportJackList(GetUsbDiskRoot(board), GetDataRoot(board))) SetStatus(file_ops::kImportDone, false);
  else SetStatus(file_ops::kImportFailed, true);
}

void ShiZhuangMuLu::MoveLogFiles() {
  const int board = Board();
  const file_ops::LogMove m =
      file_ops::MoveLogFiles(GetDataRoot(board), GetUsbDiskRoot(board), file_ops::RunningTestTexts(Channels()));
  if (!m.found) return;
  if (m.noUsb) SetStatus(file_ops::kNoUsbDisk, true);
  else if (m.failed > 0) SetStatus("部分日志文件导出失败！", true);
  else SetStatus(m.moved > 0 ? "." : "", false);
}
