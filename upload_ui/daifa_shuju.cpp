#include "upload_ui/daifa_shuju.h"

#include <cstdio>

#include "app/linked_dialog.h"
#include "app/queren.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/fs/fs.h"
#include "upload/pending_files.h"

using namespace platform::ui;
using D = CDaiFaShuJu;

namespace {

constexpr const char* kStartCaption = "开始发送";
constexpr const char* kStopCaption = "结束发送";
constexpr const char* kInUse = "错误！该试桩数据文件正在使用，无法删除！";
constexpr const char* kCancelled = "用户取消本次删除操作！";

// Both boards' layouts carry the same controls; the board without internal flash has a shorter list.
DialogTemplate PendingTemplate(int id, int listBottom) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  const int statusTop = listBottom + 6;
  const int buttonTop = statusTop + 40;
  t.controls.push_back({D::kTitle, ControlClass::Static, "待发数据", {10, 6, 1014, 52}, SS_CENTER | SS_CENTERIMAGE});
  t.controls.push_back({D::kList, ControlClass::List, "", {0, 58, kScreenWidth, listBottom},
                        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS});
  t.controls.push_back({D::kStatus, ControlClass::Static, "", {10, statusTop, 1014, statusTop + 34},
                        SS_CENTER | SS_CENTERIMAGE});
  const struct {
    int id;
    const char* caption;
  } buttons[] = {{D::kStartStop, kStartCaption}, {D::kDelete, "删除"}, {D::kDeleteAll, "删除全部"}, {D::kExit, "退出"}};
  for (int i = 0; i < 4; ++i) {
    const int left = 12 + i * 254;
    t.controls.push_back({buttons[i].id, ControlClass::Button, buttons[i].caption,
                          {left, buttonTop, left + 240, buttonTop + 72}});
  }
  return t;
}

DialogTemplate ResendFrameTemplate() {
  DialogTemplate t;
  t.id = ShiZhuangBuFa::kTemplate;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.controls.push_back({1289, ControlClass::Static, "试桩数据-待发数据", {10, 6, 1014, 52}, SS_CENTER | SS_CENTERIMAGE});
  t.controls.push_back({ShiZhuangBuFa::kList, ControlClass::List, "", {0, 58, kScreenWidth, 600},
                        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS});
  const char* captions[] = {"开始发送", "删除文件", "删除全部", "存储文件", "存储全部"};
  for (int i = 0; i < 5; ++i) {
    const int left = 12 + i * 203;
    t.controls.push_back({1121 + i, ControlClass::Button, captions[i], {left, 640, left + 190, 720}});
  }
  return t;
}

struct Column {
  const char* heading;
  int width;
};
// The size column stays hidden.
constexpr Column kColumns[] = {{"序号", 90}, {"文件名称", 480}, {"文件大小", 0}, {"创建日期", 340}, {"剩余", 90}};
constexpr int kRemainingColumn = 4;

std::string Format(const char* format, int a, int b) {
  char buf[128];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

}  // namespace

void RegisterUploadDialogs() {
  registerTemplate(PendingTemplate(D::kTemplateBoard1, 604));
  registerTemplate(PendingTemplate(D::kTemplateBoard0, 560));
  registerTemplate(ResendFrameTemplate());
  SetMonitorDialogFactory(MonitorSlot::CDaiFaShuJu, [] { return std::make_unique<CDaiFaShuJu>(); });
  SetMonitorDialogFactory(MonitorSlot::ShiZhuangBuFa, [] { return std::make_unique<ShiZhuangBuFa>(); });
}

// ---------------------------------------------------------------------------------------------------

CDaiFaShuJu::CDaiFaShuJu() : SettingsDialog(kTemplateBoard1, kStatus) {
  bindControl(kList, list_);
  onCommand(kStartStop, BN_CLICKED, [this] { OnStartStop(); });
  onCommand(kDelete, BN_CLICKED, [this] { OnDelete(); });
  onCommand(kDeleteAll, BN_CLICKED, [this] { OnDeleteAll(); });
  onCommand(kExit, BN_CLICKED, [this] { OnExit(); });
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    if (static_cast<int>(LOWORD(m.wParam)) == WA_ACTIVE) FillList();
    return LRESULT{0};
  });
  on(WM_TIMER, [this](Message& m) {
    if (static_cast<unsigned>(m.wParam) == kProgressTimer) OnProgress();
    return LRESULT{0};
  });
  for (unsigned code : {NM_CLICK, NM_DBLCLK})
    onNotify(kList, code, [this](Notify&) {
      OnClickList();
      return LRESULT{0};
    });
}

bool CDaiFaShuJu::onInitDialog() {
  list_.setFont(Font::create(42, 300, "Tahoma"), false);
  for (int id : {kStartStop, kDelete, kDeleteAll, kExit})
    if (Window* w = getDlgItem(id)) w->setFont(Font::create(26, 700, "NULL"), false);
  if (Window* w = getDlgItem(kTitle)) w->setFont(Font::create(34, 300, "Tahoma"), false);
  if (Window* w = getDlgItem(kStatus)) w->setFont(Font::create(24, 300, "null"), false);
  list_.setExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  // A window made again keeps its list's columns.
  for (int c = list_.columnCount(); c < 5; ++c)
    list_.insertColumn(c, kColumns[c].heading, LVCFMT_CENTER, kColumns[c].width);
  selected_ = -1;
  FillList();
  return true;
}

std::string CDaiFaShuJu::DataRoot() const {
  const Parameter* c1 = Channel(1);
  return GetDataRoot(c1 != nullptr ? c1->boardFlag.load() : 0);
}

bool CDaiFaShuJu::AnyTestRunning() const {
  for (Parameter* p : Chans())
    if (p != nullptr && p->testRunning.load() == 1) return true;
  return false;
}

bool CDaiFaShuJu::InUse(const std::string& path) const {
  // The file being sent is in use as well: its records are on their way.
  if (sending_ && platform::fs::samePath(path, sendingPath_)) return true;
  return upload::IsRunningTestFile(path, Chans().data());
}

void CDaiFaShuJu::SelectRow(int row) {
  if (row < 0 || row >= list_.getItemCount()) return;
  list_.setFocus();
  list_.setItemState(row, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
  list_.ensureVisible(row);
  list_.setSelectionMark(row);
}

void CDaiFaShuJu::FillList() {
  files_.clear();
  list_.deleteAllItems();
  const std::vector<upload::PendingFile> found = upload::ListPendingFiles(DataRoot(), Chans().data());
  for (const upload::PendingFile& f : found) {
    const int row = static_cast<int>(files_.size());
    list_.insertItem(row, std::to_string(row + 1));
    list_.setItemText(row, 1, f.name);
    list_.setItemText(row, 2, "");
    list_.setItemText(row, 3, upload::PendingTimeText(f.time));
    list_.setItemText(row, kRemainingColumn, f.remaining < 0 ? "err" : std::to_string(f.remaining));
    files_.push_back(f.name);
  }
  if (files_.empty()) {
    selected_ = -1;
  } else {
    if (selected_ < 0 || selected_ >= static_cast<int>(files_.size())) selected_ = static_cast<int>(files_.size()) - 1;
    SelectRow(selected_);
  }
  list_.invalidate();
}

void CDaiFaShuJu::OnClickList() { selected_ = list_.getSelectionMark(); }

void CDaiFaShuJu::OnStartStop() {
  if (files_.empty()) return;
  if (selected_ < 0 || selected_ >= static_cast<int>(files_.size())) {
    SetStatus("请选中要打开的文件！", true);
    return;
  }
  Parameter* c1 = Channel(1);
  if (c1 == nullptr) return;
  const int route = static_cast<int>(c1->ParameterList.item(56) + 0.5f);
  if (sending_) {
    // Stop: the file keeps what was not sent. The timer watches on until the route has nothing of the
    // re-send outstanding, and the file is kept until then.
    upload::StopResend(*c1, route);
    stoppedRoute_ = route;
    releasing_ = true;
    selectedName_.clear();
    EndSending();
    SetStatus("", false);
    return;
  }
  const std::string name = files_[static_cast<std::size_t>(selected_)];
  sendingRow_ = selected_;
  const std::string path = DataRoot() + name;
  if (!FileExists(path)) {
    SetStatus("文件不存在，请重新打开该页面!", true);
    SelectRow(selected_);
    return;
  }
  if (AnyTestRunning()) {
    SetStatus("测试正在进行，无法进行发送！", true);
    SelectRow(selected_);
    return;
  }
  selectedName_ = name;
  sendingPath_ = path;
  const int which = upload::ResendQueueOf(route, name);
  releasing_ = false;  // the start ends any keep of a stopped re-send
  const int loaded = upload::StartResend(*c1, path, which);
  if (which == 0) initialBuiltIn_ = loaded;
  if (which == 1) initialBox_ = loaded;
  emptyTicks_ = 0;
  sending_ = true;
  setTimer(kProgressTimer, kProgressMs);
  setDlgItemText(kStartStop, kStopCaption);
}

void CDaiFaShuJu::EndSending() {
  sending_ = false;
  sendingPath_.clear();
  emptyTicks_ = 0;
  setDlgItemText(kStartStop, kStartCaption);
}

void CDaiFaShuJu::OnProgress() {
  Parameter* c1 = Channel(1);
  if (c1 == nullptr) return;
  if (!sending_) {
    if (!releasing_ || upload::EndStoppedResend(*c1, stoppedRoute_)) {
      releasing_ = false;
      killTimer(kProgressTimer);
    }
    return;
  }
  const int route = static_cast<int>(c1->ParameterList.item(56) + 0.5f);
  const int which = upload::ResendQueueOf(route, selectedName_);
  if (which < 0) return;
  const bool builtIn = which == 0;
  const int size = upload::QueueSize(*c1, which);
  const int initial = builtIn ? initialBuiltIn_ : initialBox_;
  const char* module = builtIn ? "内置模块" : "外置模块";
  if (size > 0) {
    emptyTicks_ = 0;
    std::string text = Format(builtIn ? "内置模块正在发送%d/%d！" : "外置模块正在发送%d/%d！", initial - size + 1, initial);
    bool red = false;
    for (std::size_t row = 0; row < files_.size(); ++row)
      if (files_[row] == selectedName_) list_.setItemText(static_cast<int>(row), kRemainingColumn, std::to_string(size));
    const int code = builtIn ? c1->uploadStatus.load() : c1->boxStatus.load() - 10;
    switch (code) {
      case 3: text = std::string(module) + "未登记！", red = true; break;
      case 7: text = std::string(module) + "流水号未备案！", red = true; break;
      case 5:
      case 6: text = std::string(module) + "传输出现故障！", red = true; break;
      default: break;
    }
    SetStatus(text, red);
    return;
  }
  // The queue is empty. An answer still being handled (the route is not ready yet) is waited for.
  if ((builtIn ? c1->moduleReady.load() : c1->boxReady.load()) == 0) return;
  const int unsent = platform::fs::isFile(sendingPath_) ? JDQFile::CountPendingSlots(sendingPath_, Chans().data()) : 0;
  if (unsent == 0) {
    SetStatus(std::string(module) + "发送完毕！", false);
    if (platform::fs::isFile(sendingPath_)) upload::DeletePendingFile(sendingPath_, Chans().data());
  } else {
    // The module dropped records it had not taken (0x04, 0x07): the file keeps them. One more tick
    // first, so that an acceptance between its removal from the queue and its mark in the file is not
    // taken for a drop.
    if (++emptyTicks_ < 2) return;
    SetStatus(unsent > 0 ? std::string(module) + Format("发送中断，剩余%d条数据未发送！", unsent, 0)
                         : std::string(module) + "发送中断，数据未发送完毕！",
              true);
  }
  killTimer(kProgressTimer);
  EndSending();
  FillList();
}

void CDaiFaShuJu::OnDelete() {
  if (files_.empty()) return;
  if (selected_ < 0 || selected_ >= static_cast<int>(files_.size())) {
    SetStatus(selectedName_ + "请选中要删除的文件！", true);
    return;
  }
  const std::string name = files_[static_cast<std::size_t>(selected_)];
  const std::string path = DataRoot() + name;
  if (InUse(path)) {
    SetStatus(kInUse, true);
  } else if (AskConfirmation("确定删除" + name + "文件？\r\n该操作将永久删除所选文件！", this)) {
    if (upload::DeletePendingFile(path, Chans().data()))
      SetStatus(name + "文件删除成功", false);
    else
      SetStatus(name + "文件删除失败", true);
  } else {
    SetStatus(kCancelled, false);
  }
  FillList();
}

void CDaiFaShuJu::OnDeleteAll() {
  if (files_.empty()) return;
  SetStatus("", false);
  const std::vector<std::string> listed = files_;
  if (!AskConfirmation("确认要删除全部文件吗？", this)) {
    FillList();
    SetStatus(kCancelled, false);
    return;
  }
  bool deleted = false, failed = false;
  for (const std::string& name : listed) {
    const std::string path = DataRoot() + name;
    if (InUse(path)) continue;
    if (upload::DeletePendingFile(path, Chans().data()))
      deleted = true;
    else
      failed = true;
  }
  FillList();
  if (failed)
    SetStatus("部分文件删除失败！", true);
  else if (deleted)
    SetStatus("文件全部删除成功！", false);
}

void CDaiFaShuJu::OnExit() {
  if (sending_) {
    SetStatus("请先结束发送！", true);
    return;
  }
  HideAndShowLinkedDialog(*this, Linked(MonitorSlot::ShiZhuangMuLu));
}

// ---------------------------------------------------------------------------------------------------

bool ShiZhuangBuFa::onInitDialog() {
  const char* headings[] = {"序号", "流水号", "桩号", "测试日期", "待发条数"};
  const int widths[] = {90, 250, 250, 250, 160};
  for (int c = list_.columnCount(); c < 5; ++c) list_.insertColumn(c, headings[c], LVCFMT_CENTER, widths[c]);
  return true;
}
