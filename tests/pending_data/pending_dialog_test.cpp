// The pending-data dialog by taps: the list of queue files with their unsent counts, the row kept
// across fillings, and every refusal and result of start, stop, delete, delete all and exit.
#include <algorithm>
#include <filesystem>
#include <set>

#include "pending_fixture.h"
#include "platform/fs/fs.h"
#include "model/file_list.h"
#include "upload/pending_files.h"

using namespace pendingtest;

namespace {

// Forwards to the real storage, but opening or removing the named file fails.
class FailingFile : public platform::fs::Backend {
 public:
  explicit FailingFile(std::string name, bool failOpen, bool failRemove)
      : real_(platform::fs::backend()), name_(std::move(name)), open_(failOpen), remove_(failRemove) {}
  int open(const fsys::path& p, int flags, platform::fs::Error& err) override {
    if (open_ && p.filename() == name_) {
      err = platform::fs::Error::AccessDenied;
      return -1;
    }
    return real_.open(p, flags, err);
  }
  bool close(int fd, platform::fs::Error& err) override { return real_.close(fd, err); }
  long long read(int fd, void* b, std::size_t n, platform::fs::Error& err) override { return real_.read(fd, b, n, err); }
  long long write(int fd, const void* b, std::size_t n, platform::fs::Error& err) override {
    return real_.write(fd, b, n, err);
  }
  long long seek(int fd, long long o, int w, platform::fs::Error& err) override { return real_.seek(fd, o, w, err); }
  bool truncate(int fd, long long l, platform::fs::Error& err) override { return real_.truncate(fd, l, err); }
  bool sync(int fd, platform::fs::Error& err) override { return real_.sync(fd, err); }
  bool syncFolder(const fsys::path& f, platform::fs::Error& err) override { return real_.syncFolder(f, err); }
  bool rename(const fsys::path& a, const fsys::path& b, platform::fs::Error& err) override {
    return real_.rename(a, b, err);
  }
  bool remove(const fsys::path& p, platform::fs::Error& err) override {
    if (remove_ && p.filename() == name_) {
      err = platform::fs::Error::AccessDenied;
      return false;
    }
    return real_.remove(p, err);
  }
  bool makeFolder(const fsys::path& p, platform::fs::Error& err) override { return real_.makeFolder(p, err); }

 private:
  platform::fs::Backend& real_;
  std::string name_;
  bool open_, remove_;
};

class PendingDialog : public PendingTest {
 protected:
  // Writes the files so that all of them carry one creation second (written again when a second
  // boundary fell between them), so the list shows them in search order.
  void writeInOneSecond(const std::vector<std::pair<std::string, std::string>>& files) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      for (const auto& [name, bytes] : files) {
        std::error_code ec;
        fsys::remove(host(name), ec);
        writeFile(name, bytes);
      }
      // The written files only: the set-up left other entries in the folder, in earlier seconds.
      std::set<long long> seconds;
      for (const platform::fs::Entry& e : platform::fs::find("\\Storage Card\\*.*"))
        if (std::any_of(files.begin(), files.end(), [&](const auto& f) { return f.first == e.name; }))
          seconds.insert(e.createdUnix);
      if (seconds.size() == 1) return;
    }
    FAIL() << "the files did not get one creation second";
  }
};

// The queue files of the data root in search order (equal creation times), each with its unsent count:
// "OVER" and "0000" slots are not counted, a name in another case ("a.Gps") and other files are not
// listed, and a file that cannot be opened shows "err". The last row is selected.
TEST_F(PendingDialog, ListsQueueFilesWithTheirUnsentRecords) {
  writeInOneSecond({{"a.gps", queueFile({"GPRS", "OVER", "GPRS"})},
                    {"a.Gps", queueFile({"GPRS"})},
                    {"B.gpsw", queueFile({"0000", "GPRS", "OVER", "OVER"})},
                    {"c.GPS", queueFile({"GPRS"})},
                    {"c.krv", "x"},
                    {"d.GPSW", ""}});
  FailingFile failing("c.GPS", true, false);
  platform::fs::ScopedBackend scoped(failing);
  show();
  EXPECT_EQ(column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(column(1), (std::vector<std::string>{"a.gps", "B.gpsw", "c.GPS", "d.GPSW"}));
  EXPECT_EQ(column(2), (std::vector<std::string>(4, "")));
  EXPECT_EQ(column(4), (std::vector<std::string>{"2", "1", "err", "0"}));
  const long long created = platform::fs::find("\\Storage Card\\a.gps").at(0).createdUnix;
  EXPECT_EQ(column(3), (std::vector<std::string>(4, upload::PendingTimeText(LocalFileTime(created)))));
  EXPECT_EQ(dlg->files(), column(1));
  EXPECT_EQ(dlg->selectedRow(), 3);
  EXPECT_EQ(dlg->list().getSelectionMark(), 3);
  EXPECT_NE(dlg->list().getItemState(3, ui::LVNI_SELECTED), 0u);
  EXPECT_EQ(dlg->list().getColumnWidth(2), 0);
  EXPECT_EQ(dlg->list().columnHeading(4), "剩余");
  EXPECT_EQ(drv::text(*dlg, CDaiFaShuJu::kTitle), "待发数据");
  EXPECT_EQ(caption(), "开始发送");
  tapRow(1);
  EXPECT_EQ(dlg->selectedRow(), 1);
  saveShot("pending-data.png");
}

// A tapped row is selected again after each filling; when it lies beyond the end, the last row is.
TEST_F(PendingDialog, RemembersTheRowElseTakesTheLast) {
  for (const char* name : {"a.gps", "b.gps", "c.gps"}) writeFile(name, queueFile({"GPRS"}));
  show();
  ASSERT_EQ(dlg->files().size(), 3u);
  EXPECT_EQ(dlg->selectedRow(), 2);
  tapRow(0);
  reshow();
  EXPECT_EQ(dlg->selectedRow(), 0);
  EXPECT_EQ(dlg->list().getSelectionMark(), 0);
  EXPECT_NE(dlg->list().getItemState(0, ui::LVNI_SELECTED), 0u);
  tapRow(2);
  for (const std::string& name : std::vector<std::string>(dlg->files().begin() + 1, dlg->files().end()))
    fsys::remove(host(name));
  reshow();
  ASSERT_EQ(dlg->files().size(), 1u);
  EXPECT_EQ(dlg->selectedRow(), 0);
  EXPECT_NE(dlg->list().getItemState(0, ui::LVNI_SELECTED), 0u);
}

// With nothing listed the buttons do nothing; exit goes back to the file manager.
TEST_F(PendingDialog, EmptyListAndExit) {
  dialog(MonitorSlot::ShiZhuangMuLu)->showWindow(ui::SW_SHOW);
  show();
  EXPECT_EQ(dlg->list().getItemCount(), 0);
  for (int id : {CDaiFaShuJu::kStartStop, CDaiFaShuJu::kDelete, CDaiFaShuJu::kDeleteAll}) {
    ASSERT_TRUE(tapAnswering(id, {true}));
    EXPECT_EQ(status(), "");
    EXPECT_TRUE(asked().empty());
  }
  EXPECT_EQ(caption(), "开始发送");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(dialog(MonitorSlot::ShiZhuangMuLu)->isWindowVisible());
}

// Start is refused for a file gone missing and while any channel runs a test, and then loads nothing;
// while sending, exit is refused; stop ends the sending and exit then leaves.
TEST_F(PendingDialog, StartRefusalsAndExitWhileSending) {
  writeFile("a.gps", queueFile({"GPRS", "GPRS"}));
  writeFile("b.gps", queueFile({"GPRS"}));
  show();
  ASSERT_EQ(dlg->files().size(), 2u);
  const std::string last = dlg->files().back();
  fsys::remove(host(last));
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  EXPECT_EQ(status(), "文件不存在，请重新打开该页面!");
  EXPECT_TRUE(red());
  EXPECT_EQ(caption(), "开始发送");
  EXPECT_EQ(dlg->list().getSelectionMark(), 1);
  reshow();
  ASSERT_EQ(dlg->files().size(), 1u);
  for (int running = 0; running < 3; ++running) {
    SCOPED_TRACE(running);
    ch[running].testRunning = 1;
    ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
    EXPECT_EQ(status(), "测试正在进行，无法进行发送！");
    EXPECT_TRUE(red());
    EXPECT_EQ(caption(), "开始发送");
    EXPECT_EQ(queued(0), 0);
    std::lock_guard<std::mutex> lock(ch[0].queueLock);
    EXPECT_EQ(ch[0].moduleQueuePath, "");
    ch[running].testRunning = 0;
  }
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  EXPECT_EQ(caption(), "结束发送");
  EXPECT_EQ(queued(0), 2);
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kExit));
  EXPECT_EQ(status(), "请先结束发送！");
  EXPECT_TRUE(red());
  EXPECT_TRUE(dlg->isWindowVisible());
  saveShot("pending-data-sending.png");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  EXPECT_EQ(caption(), "开始发送");
  EXPECT_EQ(status(), "");
  EXPECT_EQ(queued(0), 0);
  EXPECT_EQ(ch[0].keepQueueFile.load(), 1);
  drv::run(5000);  // no timer left running
  EXPECT_EQ(status(), "");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());
}

// Delete asks once for the selected file: yes deletes it, no keeps it; the queue file of a running
// test (named in another case) and the file being sent are refused without a question; delete all
// skips them and deletes the others.
TEST_F(PendingDialog, DeleteAndDeleteAll) {
  writeInOneSecond({{"a.gps", queueFile({"GPRS"})},
                    {"b.gps", queueFile({"GPRS"})},
                    {"c.gpsw", queueFile({"GPRS"})},
                    {"T2-P1.gps", queueFile({"GPRS"})}});
  ch[1].testRunning = 1;
  {
    std::lock_guard<std::mutex> lock(ch[1].queueLock);
    ch[1].moduleQueuePath = "\\STORAGE CARD\\t2-p1.GPS";
  }
  show();
  ASSERT_EQ(dlg->files(), (std::vector<std::string>{"a.gps", "b.gps", "c.gpsw", "T2-P1.gps"}))
      << "files of one creation second in search order";
  // The running test's file (the last row).
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDelete, {true}));
  EXPECT_TRUE(asked().empty());
  EXPECT_EQ(status(), "错误！该试桩数据文件正在使用，无法删除！");
  EXPECT_TRUE(red());
  EXPECT_TRUE(fsys::exists(host("T2-P1.gps")));
  // Cancelled, then confirmed.
  tapRow(0);
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDelete, {false}));
  EXPECT_EQ(asked(), (std::vector<std::string>{"确定删除a.gps文件？\r\n该操作将永久删除所选文件！"}));
  EXPECT_EQ(status(), "用户取消本次删除操作！");
  EXPECT_FALSE(red());
  EXPECT_TRUE(fsys::exists(host("a.gps")));
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDelete, {true}));
  EXPECT_EQ(asked().size(), 1u);
  EXPECT_EQ(status(), "a.gps文件删除成功");
  EXPECT_FALSE(red());
  EXPECT_FALSE(fsys::exists(host("a.gps")));
  EXPECT_EQ(dlg->files().size(), 3u);
  EXPECT_EQ(dlg->selectedRow(), 0);
  // The file being sent is in use too (sent while the other test was not running).
  ch[1].testRunning = 0;
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  ch[1].testRunning = 1;
  ASSERT_EQ(caption(), "结束发送");
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDelete, {true}));
  EXPECT_TRUE(asked().empty());
  EXPECT_EQ(status(), "错误！该试桩数据文件正在使用，无法删除！");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  // Delete all: cancelled keeps everything, confirmed skips the running test's file.
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDeleteAll, {false}));
  EXPECT_EQ(asked(), (std::vector<std::string>{"确认要删除全部文件吗？"}));
  EXPECT_EQ(status(), "用户取消本次删除操作！");
  EXPECT_FALSE(red());
  EXPECT_EQ(dlg->files().size(), 3u);
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDeleteAll, {true}));
  EXPECT_EQ(status(), "文件全部删除成功！");
  EXPECT_FALSE(red());
  EXPECT_EQ(dlg->files(), (std::vector<std::string>{"T2-P1.gps"}));
  // Only skipped files: no message.
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDeleteAll, {true}));
  EXPECT_EQ(status(), "");
  EXPECT_TRUE(fsys::exists(host("T2-P1.gps")));
}

// A file that cannot be deleted is reported, alone and among others.
TEST_F(PendingDialog, FailedDeletionsAreReported) {
  for (const char* name : {"a.gps", "b.gps"}) writeFile(name, queueFile({"GPRS"}));
  FailingFile failing("b.gps", false, true);
  platform::fs::ScopedBackend scoped(failing);
  show();
  ASSERT_EQ(dlg->files().size(), 2u);
  tapRow(static_cast<int>(std::find(dlg->files().begin(), dlg->files().end(), "b.gps") - dlg->files().begin()));
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDelete, {true}));
  EXPECT_EQ(status(), "b.gps文件删除失败");
  EXPECT_TRUE(red());
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDeleteAll, {true}));
  EXPECT_EQ(status(), "部分文件删除失败！");
  EXPECT_TRUE(red());
  EXPECT_EQ(dlg->files(), (std::vector<std::string>{"b.gps"}));
}

// A list whose selection mark is gone (no row selected): start and delete ask for a row.
TEST_F(PendingDialog, NoRowSelected) {
  writeFile("a.gps", queueFile({"GPRS"}));
  show();
  dlg->list().setSelectionMark(-1);
  dlg->OnClickList();
  ASSERT_EQ(dlg->selectedRow(), -1);
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  EXPECT_EQ(status(), "请选中要打开的文件！");
  EXPECT_TRUE(red());
  EXPECT_EQ(caption(), "开始发送");
  ASSERT_TRUE(tapAnswering(CDaiFaShuJu::kDelete, {true}));
  EXPECT_EQ(status(), "请选中要删除的文件！");
  EXPECT_TRUE(asked().empty());
  EXPECT_TRUE(fsys::exists(host("a.gps")));
}

}  // namespace

namespace {

// The registry places hold the pending-data dialog and the re-send frame: both boards' templates carry
// the dialog's controls, and the frame (never shown) its list captions and buttons.
TEST_F(PendingDialog, RegistryPlacesAndTemplates) {
  EXPECT_STREQ(dlg->ClassName(), "CDaiFaShuJu");
  auto* frame = dialog<ShiZhuangBuFa>(MonitorSlot::ShiZhuangBuFa);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->create());
  EXPECT_FALSE(frame->isWindowVisible());
  auto* frameList = frame->item<ui::ListCtrl>(ShiZhuangBuFa::kList);
  ASSERT_NE(frameList, nullptr);
  std::vector<std::string> headings;
  for (int c = 0; c < frameList->columnCount(); ++c) headings.push_back(frameList->columnHeading(c));
  EXPECT_EQ(headings, (std::vector<std::string>{"序号", "流水号", "桩号", "测试日期", "待发条数"}));
  std::vector<std::string> captions;
  for (int id = 1121; id <= 1125; ++id) captions.push_back(drv::text(*frame, id));
  EXPECT_EQ(captions, (std::vector<std::string>{"开始发送", "删除文件", "删除全部", "存储文件", "存储全部"}));
  for (int id : {CDaiFaShuJu::kTemplateBoard1, CDaiFaShuJu::kTemplateBoard0}) {
    ui::DialogTemplate t;
    ASSERT_TRUE(ui::findTemplate(id, t));
    std::vector<int> ids;
    for (const ui::ControlTemplate& c : t.controls) ids.push_back(c.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int>{1121, 1122, 1123, 1124, 1127, 1205, 1289})) << id;
  }
}

}  // namespace
