// The test-file manager by taps on the headless display, on device roots of both boards: the listing
// and its filter, the header rows and numbering, the marks, the two views and their buttons, every
// status text of the operations, the operations on real files, and the open of a stored test into the
// report pages of the main window.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>

#include "app/queren.h"
#include "model/file_list.h"
#include "report/file_manager.h"
#include "report/pages.h"
#include "tests/app/fixture.h"
#include "tests/app/kongzhi_fixture.h"

using namespace apptest;
using M = ShiZhuangMuLu;

namespace {

// The folders of a board under the device root.
struct BoardRoot {
  int flag;
  std::string internal, sd, usb;
};
const BoardRoot kBoards[] = {{1, "nandflash", "Storage Card", "Hard Disk"}, {0, "DISK", "Storage_Card", "硬盘"}};

class FileManagerTest : public AppTest {
 protected:
  void SetUp() override {
    RegisterReportPages();
    AppTest::SetUp();
  }
  void TearDown() override {
    answers.reset();
    AppTest::TearDown();
  }

  // The board's program folder (and the SD card and U-disk when asked), the channels and the manager,
  // created from the board's template, linked and not yet shown.
  void prepare(const BoardRoot& b, bool sd, bool usb) {
    board = b;
    fsys::create_directories(root_ / fsys::u8path(b.internal));
    if (sd) fsys::create_directories(root_ / fsys::u8path(b.sd));
    if (usb) fsys::create_directories(root_ / fsys::u8path(b.usb));
    for (int n = 1; n <= 3; ++n) {
      ch[n - 1].boardFlag = b.flag;
      ch[n - 1].channelName = std::to_string(n);
    }
    mgr = dialog<M>(MonitorSlot::ShiZhuangMuLu);
    ASSERT_NE(mgr, nullptr);
    ASSERT_TRUE(mgr->create(TemplateFor(MonitorSlot::ShiZhuangMuLu, b.flag), nullptr));
    MonitorDialog* pending = dialog(MonitorSlot::CDaiFaShuJu);
    ASSERT_TRUE(pending->create(TemplateFor(MonitorSlot::CDaiFaShuJu, b.flag), nullptr));
    LinkMonitorDialog(MonitorSlot::ShiZhuangMuLu, ch[0], ch[1], ch[2]);
    answers = std::make_unique<Answers>();
  }
  void show() {
    mgr->showWindow(ui::SW_SHOW);
    drv::pump();
  }

  // A file under a folder of the root ("" content by default).
  void put(const std::string& folder, const std::string& name, const std::string& content = "data") {
    const fsys::path p = root_ / fsys::u8path(folder) / fsys::u8path(name);
    fsys::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  std::string get(const std::string& folder, const std::string& name) {
    std::ifstream in(root_ / fsys::u8path(folder) / fsys::u8path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool has(const std::string& folder, const std::string& name) {
    return fsys::exists(root_ / fsys::u8path(folder) / fsys::u8path(name));
  }
  std::string inst(const std::string& folder) { return "\\" + folder + "\\"; }

  // The listed test files of a folder as the storage keeps them: oldest first by creation time, files
  // of equal time in the order of the folder search.
  std::vector<std::string> expectedOrder(const std::string& folder) {
    std::vector<platform::fs::Entry> found = platform::fs::find(inst(folder) + "*.*");
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return LocalFileTime(a.createdUnix) < LocalFileTime(b.createdUnix);
    });
    std::vector<std::string> names;
    for (const auto& e : found) {
      if (e.isFolder || e.name.size() < 3) continue;
      const std::string tail = e.name.substr(e.name.size() - 3);
      if (tail == "krv" || tail == "krs" || tail == "zph" || tail == "kbx") names.push_back(e.name);
    }
    return names;
  }

  // Columns 0 and 1 of every row.
  std::vector<std::pair<std::string, std::string>> rows() {
    std::vector<std::pair<std::string, std::string>> out;
    for (int r = 0; r < mgr->List().getItemCount(); ++r)
      out.emplace_back(mgr->List().getItemText(r, 0), mgr->List().getItemText(r, 1));
    return out;
  }
  int rowOf(const std::string& name) {
    for (int r = 0; r < mgr->List().getItemCount(); ++r)
      if (mgr->List().getItemText(r, 1) == name) return r;
    return -1;
  }
  void tapRow(int row) {
    ui::ListCtrl& list = mgr->List();
    ASSERT_TRUE(list.ensureVisible(row));
    const ui::Rect r = list.getItemRect(row);
    ASSERT_TRUE(drv::tapWindow(list, {r.left + 300, (r.top + r.bottom) / 2}));
    drv::run(600);  // no double tap with the next one
  }
  void mark(const std::string& name) {
    const int r = rowOf(name);
    ASSERT_GE(r, 0) << name;
    tapRow(r);
  }
  std::string status() { return drv::text(*mgr, M::kStatus); }
  bool red() { return drv::textColor(*mgr, M::kStatus) == ui::RGB(255, 0, 0); }
  void expectStatus(const std::string& text, bool error) {
    EXPECT_EQ(status(), text);
    EXPECT_EQ(mgr->warning(), error) << text;
    EXPECT_EQ(red(), error) << text;
  }
  void saveShot(const std::string& name) {
    if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
      ASSERT_TRUE(drv::screenshot(fsys::path(INSTRUMENT_SOURCE_DIR) / "docs" / name, mgr));
    }
  }

  BoardRoot board{};
  Parameter ch[3];
  M* mgr = nullptr;
  std::unique_ptr<Answers> answers;
};

TEST_F(FileManagerTest, ListingFilterHeadersNumberingAndStarOnBothBoards) {
  for (const BoardRoot& b : kBoards) {
    SCOPED_TRACE(b.internal);
    TearDown();
    SetUp();
    prepare(b, true, false);
    for (const char* n : {"b.krv", "a.krv", "c.KRV", "d.txt", "ekrv", "f.krs", "g.zph", "h.kbx", "i.Krv"})
      put(b.internal, n);
    fsys::create_directories(root_ / fsys::u8path(b.internal) / "folder.krv");
    put(b.sd, "s1.krv");
    put(b.sd, "s2.krv");
    ch[1].testFilePath = inst(b.sd) + "s2.krv";
    ch[0].testFilePath = inst(b.sd) + "other.krv";
    EXPECT_EQ(drv::text(*mgr, M::kExportRestore), b.flag == 1 ? "导出文件" : "复制文件");
    show();  // the first showing lists the files

    const std::vector<std::string> internal = expectedOrder(b.internal), sd = expectedOrder(b.sd);
    ASSERT_EQ(internal.size(), 6u);  // b, a, ekrv, f, g, h
    std::vector<std::pair<std::string, std::string>> want = {{"--", M::kInternal}};
    for (std::size_t k = 0; k < internal.size(); ++k) want.emplace_back(std::to_string(k + 1), internal[k]);
    want.emplace_back("--", M::kSdCard);
    for (std::size_t k = 0; k < sd.size(); ++k)
      want.emplace_back(std::to_string(k + 1) + (sd[k] == "s2.krv" ? "★" : ""), sd[k]);
    EXPECT_EQ(rows(), want);
    EXPECT_EQ(mgr->List().getItemText(0, 3), "--");
    EXPECT_EQ(mgr->List().getItemImage(0), 0);
    EXPECT_EQ(mgr->List().getItemImage(1), 1);
    // Times as "%y-%m-%d %H:%M" in the hidden columns.
    const std::string t = mgr->List().getItemText(1, 3);
    EXPECT_EQ(t.size(), 14u) << t;
    EXPECT_EQ(mgr->List().getItemText(1, 5), t);

    // The newest row is selected and in view; the buttons of the normal view.
    const int last = mgr->List().getItemCount() - 1;
    EXPECT_EQ(mgr->List().getNextItem(-1, ui::LVNI_SELECTED), last);
    EXPECT_EQ(mgr->List().getSelectionMark(), last);
    EXPECT_GE(last, mgr->List().getTopIndex());
    EXPECT_LT(last, mgr->List().getTopIndex() + mgr->List().getCountPerPage());
    EXPECT_EQ(drv::text(*mgr, M::kTitle), "试桩数据");
    // Board 0's template names it "复制文件"; the normal view names it "导出文件" on both boards.
    EXPECT_EQ(drv::text(*mgr, M::kExportRestore), "导出文件");
    for (int id : {M::kOpen, M::kExportRestore, M::kDeleteClear, M::kImport, M::kPending, M::kRecycleBin, M::kExit})
      EXPECT_TRUE(drv::enabled(*mgr, id)) << id;
    for (int id : {M::kWarning1, M::kWarning2, 1250, 1251, 1252, 1253, 1254}) EXPECT_FALSE(drv::visible(*mgr, id));
    if (b.flag == 1) saveShot("file-manager.png");

    // A running test keeps Open off.
    ch[2].testRunning = 1;
    mgr->RefreshView();
    EXPECT_FALSE(drv::enabled(*mgr, M::kOpen));
    EXPECT_TRUE(drv::enabled(*mgr, M::kDeleteClear));
    ch[2].testRunning = 0;

    // Without the SD card (or with no files on it) the internal files stand alone, without a header.
    fsys::remove_all(root_ / fsys::u8path(b.sd));
    mgr->RefreshView();
    ASSERT_EQ(mgr->List().getItemCount(), 6);
    EXPECT_EQ(rows().front(), (std::pair<std::string, std::string>{"1", internal[0]}));
    // Only the SD card holds files: no header either.
    for (const std::string& n : internal) fsys::remove(root_ / fsys::u8path(b.internal) / n);
    put(b.sd, "only.krv");
    mgr->RefreshView();
    EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1", "only.krv"}}));
    // No files at all: nothing selected, Open, Export and Delete off.
    fsys::remove(root_ / fsys::u8path(b.sd) / "only.krv");
    mgr->RefreshView();
    EXPECT_EQ(mgr->List().getItemCount(), 0);
    EXPECT_EQ(mgr->List().getSelectionMark(), -1);
    for (int id : {M::kOpen, M::kExportRestore, M::kDeleteClear}) EXPECT_FALSE(drv::enabled(*mgr, id)) << id;
    EXPECT_TRUE(drv::enabled(*mgr, M::kImport));
  }
}

TEST_F(FileManagerTest, MarksSelectAllAndTheRecycleBinView) {
  prepare(kBoards[0], true, true);
  put("nandflash", "n1.krv");
  put("Storage Card", "s1.krv");
  put("Storage Card", "s2.krv");
  put("nandflash/rev", "old1.krv");
  put("Storage Card/rev", "old2.krv");
  show();
  ASSERT_EQ(mgr->List().getItemCount(), 5);

  // A tap marks a file and a second one unmarks it; a header row does not change.
  mark("s1.krv");
  EXPECT_EQ(mgr->List().getItemImage(rowOf("s1.krv")), 0);
  EXPECT_EQ(mgr->DisplayList()[static_cast<std::size_t>(rowOf("s1.krv"))].marked, 1);
  mark("s1.krv");
  EXPECT_EQ(mgr->List().getItemImage(rowOf("s1.krv")), 1);
  EXPECT_EQ(mgr->DisplayList()[static_cast<std::size_t>(rowOf("s1.krv"))].marked, 0);
  mark(M::kSdCard);
  EXPECT_EQ(mgr->List().getItemImage(rowOf(M::kSdCard)), 0);
  EXPECT_EQ(mgr->DisplayList()[static_cast<std::size_t>(rowOf(M::kSdCard))].marked, 1);
  EXPECT_EQ(mgr->List().getItemText(rowOf("s2.krv"), 0), "2");  // the number stays

  // "全选" marks every row; a tap on a header then changes nothing; clearing it leaves the headers ticked.
  ASSERT_TRUE(drv::tap(*mgr, M::kSelectAll));
  for (int r = 0; r < 5; ++r) EXPECT_EQ(mgr->List().getItemImage(r), 0) << r;
  mark(M::kInternal);
  EXPECT_EQ(mgr->List().getItemImage(0), 0);
  EXPECT_EQ(mgr->DisplayList()[0].marked, 1);
  ASSERT_TRUE(drv::tap(*mgr, M::kSelectAll));
  for (int r = 0; r < 5; ++r) {
    const bool header = !mgr->DisplayList()[static_cast<std::size_t>(r)].isFile;
    EXPECT_EQ(mgr->List().getItemImage(r), header ? 0 : 1) << r;
    EXPECT_EQ(mgr->DisplayList()[static_cast<std::size_t>(r)].marked, header ? 1 : 0) << r;
  }

  // The bin view: both bins, its captions, columns and buttons; no "★" there.
  ch[1].testFilePath = "\\Storage Card\\rev\\old2.krv";
  ASSERT_TRUE(drv::tap(*mgr, M::kRecycleBin));
  EXPECT_EQ(mgr->ViewFlag(), 1);
  EXPECT_EQ(drv::text(*mgr, M::kRecycleBin), "<<返回");
  EXPECT_EQ(drv::text(*mgr, M::kTitle), "回收站");
  EXPECT_EQ(drv::text(*mgr, M::kExportRestore), "还原文件");
  EXPECT_EQ(drv::text(*mgr, M::kDeleteClear), "清除文件");
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{
                        {"--", M::kInternal}, {"1", "old1.krv"}, {"--", M::kSdCard}, {"1", "old2.krv"}}));
  EXPECT_EQ(mgr->List().getColumnWidth(1), 560);
  EXPECT_EQ(mgr->List().getColumnWidth(5), 280);
  for (int id : {M::kOpen, M::kImport, M::kPending}) EXPECT_FALSE(drv::enabled(*mgr, id)) << id;
  for (int id : {M::kExportRestore, M::kDeleteClear}) EXPECT_TRUE(drv::enabled(*mgr, id)) << id;
  saveShot("file-manager-bin.png");

  // Without the SD card's bin only the internal one is listed; without either the bin is empty.
  fsys::remove_all(root_ / "Storage Card" / "rev");
  mgr->RefreshView();
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1", "old1.krv"}}));
  fsys::remove_all(root_ / "nandflash" / "rev");
  mgr->RefreshView();
  EXPECT_EQ(mgr->List().getItemCount(), 0);
  for (int id : {M::kExportRestore, M::kDeleteClear}) EXPECT_FALSE(drv::enabled(*mgr, id)) << id;

  // Back to the normal view; the exit hides the manager, and the next showing lists again.
  ASSERT_TRUE(drv::tap(*mgr, M::kRecycleBin));
  EXPECT_EQ(mgr->ViewFlag(), 0);
  EXPECT_EQ(drv::text(*mgr, M::kRecycleBin), "回收站");
  EXPECT_EQ(mgr->List().getColumnWidth(1), 840);
  EXPECT_EQ(mgr->List().getColumnWidth(5), 0);
  ASSERT_TRUE(drv::tap(*mgr, M::kExit));
  EXPECT_FALSE(mgr->isWindowVisible());
  put("Storage Card", "s3.krv");
  show();
  EXPECT_GE(rowOf("s3.krv"), 0);

  // "待发数据" hides the manager and shows the pending-data dialog.
  ASSERT_TRUE(drv::tap(*mgr, M::kPending));
  EXPECT_FALSE(mgr->isWindowVisible());
  EXPECT_TRUE(dialog(MonitorSlot::CDaiFaShuJu)->isWindowVisible());
}

// Pixels of a cell of a picture that differ from the cell's background (its top-left pixel inside).
int CellInk(const ui::Bitmap& shot, const ui::Rect& r) {
  const ui::Color background = shot.pixel(r.left + 2, r.top + 2);
  int n = 0;
  for (int y = r.top + 1; y < r.bottom - 1; ++y)
    for (int x = r.left + 1; x < r.right - 1; ++x) n += shot.pixel(x, y) != background;
  return n;
}

// A file whose name is in GBK bytes (as a card written by other software holds it) is listed under
// the name the instrument reads, and the list draws its heads and every row, then and after that file
// is gone.
TEST_F(FileManagerTest, NameInGbkIsShownAndEveryRowDraws) {
  prepare(kBoards[0], true, false);
  const std::string gbk = "\xD6\xD0\xCE\xC4.krv";  // "中文.krv" in GBK
  std::ofstream(root_ / "Storage Card" / fsys::path(gbk), std::ios::binary) << "data";
  put("Storage Card", "good.krv");
  show();
  ui::ListCtrl& list = mgr->List();
  auto expectEveryRowDrawn = [&](int rows) {
    ASSERT_EQ(list.getItemCount(), rows);
    const ui::Bitmap shot = ui::renderWindow(list);
    EXPECT_GT(CellInk(shot, {0, 0, list.getColumnWidth(0), list.headerHeight()}), 50) << "序号";
    EXPECT_GT(CellInk(shot, {list.getColumnWidth(0), 0, list.getColumnWidth(0) + 300, list.headerHeight()}), 50);
    for (int r = 0; r < rows; ++r)
      for (int c : {0, 1}) EXPECT_GT(CellInk(shot, list.getSubItemRect(r, c)), 40) << r << " " << c;
  };
  expectEveryRowDrawn(2);
  // The GBK name is drawn as its decoded text would be.
  const int row = rowOf(gbk);
  ASSERT_GE(row, 0);
  const ui::Rect cell = list.getSubItemRect(row, 1);
  const ui::Bitmap asListed = ui::renderWindow(list);
  list.setItemText(row, 1, "中文.krv");
  const ui::Bitmap decoded = ui::renderWindow(list);
  int differ = 0;
  for (int y = cell.top; y < cell.bottom; ++y)
    for (int x = cell.left; x < cell.right; ++x) differ += asListed.pixel(x, y) != decoded.pixel(x, y);
  EXPECT_EQ(differ, 0);
  // The file goes; the next listing draws the good one.
  fsys::remove(root_ / "Storage Card" / fsys::path(gbk));
  mgr->RefreshView();
  expectEveryRowDrawn(1);
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1", "good.krv"}}));
}

TEST_F(FileManagerTest, ExportDeleteRestoreClearAndTheirTexts) {
  for (const BoardRoot& b : kBoards) {
    SCOPED_TRACE(b.internal);
    TearDown();
    SetUp();
    prepare(b, true, false);
    show();
    // Nothing listed: the texts of an empty view.
    mgr->FileOperation(0);
    expectStatus("错误！仪器中没有数据文件！", true);
    ASSERT_TRUE(drv::tap(*mgr, M::kRecycleBin));
    mgr->FileOperation(2);
    expectStatus("回收站中没有数据文件！", false);
    ASSERT_TRUE(drv::tap(*mgr, M::kRecycleBin));

    put(b.sd, "123.krv", "pile 123");
    put(b.sd, "live.krv", "live");
    ch[0].testFilePath = inst(b.sd) + "live.krv";
    mgr->RefreshView();
    // Nothing marked.
    ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
    expectStatus("错误，没有选中任何文件！", true);
    // Export without the U-disk.
    mark("123.krv");
    ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
    expectStatus("错误！仪器没有检测到U盘！", true);
    EXPECT_TRUE(answers->asked.empty());

    // A declined export keeps the marks; three confirmed exports give three files.
    fsys::create_directories(root_ / fsys::u8path(b.usb));
    answers->replies = {false, true, true, true};
    ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
    expectStatus("用户取消本次操作！", false);
    EXPECT_EQ(mgr->List().getItemImage(rowOf("123.krv")), 0);
    for (int k = 0; k < 3; ++k) {
      if (k > 0) mark("123.krv");
      ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
      expectStatus("所选文件导出成功！", false);
      EXPECT_EQ(mgr->List().getItemImage(rowOf("123.krv")), 1);  // done: no longer marked
    }
    EXPECT_EQ(answers->asked, std::vector<std::string>(4, "确定要导出所选文件吗？"));
    const std::string out = b.usb + "/718C测试数据文件";
    for (const char* n : {"123.krv", "123(1).krv", "123(2).krv"}) EXPECT_EQ(get(out, n), "pile 123") << n;

    // A declined delete lists the files again (the marks go).
    mark("123.krv");
    answers->asked.clear();
    answers->replies = {false};
    ASSERT_TRUE(drv::tap(*mgr, M::kDeleteClear));
    expectStatus("用户取消本次操作！", false);
    EXPECT_EQ(mgr->List().getItemImage(rowOf("123.krv")), 1);
    EXPECT_TRUE(has(b.sd, "123.krv"));

    // Delete of 123.krv, whose name the bin holds already, and of the running channel's file.
    put(b.sd + "/rev", "123.krv", "older");
    mark("123.krv");
    mark("live.krv");
    answers->replies = {true};
    ASSERT_TRUE(drv::tap(*mgr, M::kDeleteClear));
    EXPECT_EQ(answers->asked.back(), "确定要删除所选文件吗？");
    expectStatus("所选文件删除成功！", false);
    EXPECT_EQ(get(b.sd + "/rev", "123(1).krv"), "pile 123");
    EXPECT_FALSE(has(b.sd, "123.krv"));
    EXPECT_EQ(get(b.sd, "live.krv"), "live");
    EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1★", "live.krv"}}));
    // Nothing goes on afterwards: the loop runs and the files stay as they are.
    drv::run(3000);
    EXPECT_EQ(status(), "所选文件删除成功！");

    // Restore to the SD card, numbered where the name is taken again.
    put(b.sd, "123(1).krv", "taken");
    ASSERT_TRUE(drv::tap(*mgr, M::kRecycleBin));
    mark("123(1).krv");
    answers->replies = {true};
    ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
    EXPECT_EQ(answers->asked.back(), "确定要还原所选文件吗？");
    expectStatus("所选文件还原成功！", false);
    EXPECT_EQ(get(b.sd, "123(1).krv"), "taken");
    EXPECT_EQ(get(b.sd, "123(1)(1).krv"), "pile 123");
    EXPECT_FALSE(has(b.sd + "/rev", "123(1).krv"));
    EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1", "123.krv"}}));

    // Clear for good, after its warning.
    ASSERT_TRUE(drv::tap(*mgr, M::kSelectAll));
    answers->replies = {true};
    ASSERT_TRUE(drv::tap(*mgr, M::kDeleteClear));
    EXPECT_EQ(answers->asked.back(), "确定要清除所选文件吗？\r\n该操作将永久删除文件！");
    expectStatus("所选文件清除成功！", false);
    EXPECT_FALSE(has(b.sd + "/rev", "123.krv"));
    EXPECT_EQ(mgr->List().getItemCount(), 0);
  }
}

// The program's main window runs modally, as in the program: a prompt closing hands the activation back
// to that modal window, not to the manager. The showing after an operation lists the files again, with
// a file added behind the manager's back and no old status.
TEST_F(FileManagerTest, ListedAgainAtTheShowingAfterAnOperation) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Hard Disk");
  put("Storage Card", "a.krv", "pile a");
  put("Storage Card", "b.krv", "pile b");
  main_ = std::make_unique<CMonitorDlg>(CMonitorDlg::kTemplateBoard1);
  for (int n = 1; n <= 3; ++n) main_->channel(n).boardFlag = 1;
  std::vector<std::vector<std::pair<std::string, std::string>>> shown;
  std::vector<std::string> statuses;
  int step = 0;
  bool busy = false;
  auto reopen = [&] {
    ASSERT_TRUE(drv::tap(*mgr, M::kExit));
    ASSERT_TRUE(drv::tap(*main_, 1128));
    ASSERT_TRUE(mgr->isWindowVisible());
    shown.push_back(rows());
    statuses.push_back(status());
  };
  drv::IdleScript script([&] {
    if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) {
      drv::tap(*q, 1121);  // yes
      return;
    }
    if (busy) return;
    busy = true;
    switch (step++) {
      case 0:
        ASSERT_TRUE(drv::tap(*main_, 1128));
        mgr = dialog<M>(MonitorSlot::ShiZhuangMuLu);
        mark("a.krv");
        ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
        statuses.push_back(status());
        put("Storage Card", "c.krv");
        reopen();
        mark("b.krv");
        ASSERT_TRUE(drv::tap(*mgr, M::kDeleteClear));
        statuses.push_back(status());
        put("Storage Card", "d.krv");
        reopen();
        break;
      default:
        main_->endDialog(ui::IDOK);
        break;
    }
    busy = false;
  });
  main_->doModal(nullptr);
  using Rows = std::vector<std::pair<std::string, std::string>>;
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(statuses, (std::vector<std::string>{"所选文件导出成功！", "", "所选文件删除成功！", ""}));
  EXPECT_EQ(shown[0], (Rows{{"1", "a.krv"}, {"2", "b.krv"}, {"3", "c.krv"}}));
  EXPECT_EQ(shown[1], (Rows{{"1", "a.krv"}, {"2", "c.krv"}, {"3", "d.krv"}}));
  EXPECT_EQ(get("Hard Disk/718C测试数据文件", "a.krv"), "pile a");
  EXPECT_EQ(get("Storage Card/rev", "b.krv"), "pile b");
}

TEST_F(FileManagerTest, FailedCopyShowsTheFailure) {
  prepare(kBoards[0], true, true);
  put("Storage Card", "a.krv", std::string(4000, 'a'));
  show();
  mark("a.krv");
  answers->replies = {true, true};
  {
    platform::fs::FaultBackend faults;
    platform::fs::ScopedBackend use(faults);
    faults.failCall(platform::fs::FaultBackend::Call::Write, 0);
    ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
    expectStatus("部分文件导出失败！", true);
    faults.restorePower();
    faults.failCall(platform::fs::FaultBackend::Call::Write, 0);
    ASSERT_TRUE(drv::tap(*mgr, M::kDeleteClear));
    expectStatus("部分文件删除失败！", true);
  }
  saveShot("file-manager-failure.png");
  EXPECT_EQ(get("Storage Card", "a.krv"), std::string(4000, 'a'));
  EXPECT_TRUE(platform::fs::find("\\Hard Disk\\718C测试数据文件\\*.*").empty());
  EXPECT_TRUE(platform::fs::find("\\Storage Card\\rev\\*.*").empty());
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1", "a.krv"}}));
}

// After an operation that did not do every marked file, the files done lose their marks and the marks
// left are the files that failed (or that a running test kept).
TEST_F(FileManagerTest, MarksLeftAfterAPartlyFailedOperationAreTheFilesNotDone) {
  prepare(kBoards[0], true, true);
  for (const char* n : {"a.krv", "b.krv", "c.krv", "d.krv", "live.krv"}) put("Storage Card", n, n);
  ch[1].testFilePath = "\\Storage Card\\live.krv";
  show();
  auto marked = [&] {
    std::vector<std::string> names;
    for (int r = 0; r < mgr->List().getItemCount(); ++r)
      if (mgr->List().getItemImage(r) == 0) names.push_back(mgr->List().getItemText(r, 1));
    std::vector<std::string> list;
    for (const TestFileEntry& e : mgr->DisplayList())
      if (e.marked) list.push_back(e.name);
    EXPECT_EQ(names, list) << "rows and list agree";
    return names;
  };
  // Three marked for export; two of them are gone before the copy.
  for (const char* n : {"a.krv", "b.krv", "c.krv"}) mark(n);
  fsys::remove(root_ / "Storage Card" / "b.krv");
  fsys::remove(root_ / "Storage Card" / "c.krv");
  answers->replies = {true, true};
  ASSERT_TRUE(drv::tap(*mgr, M::kExportRestore));
  expectStatus("部分文件导出失败！", true);
  EXPECT_EQ(marked(), (std::vector<std::string>{"b.krv", "c.krv"}));
  EXPECT_EQ(get("Hard Disk/718C测试数据文件", "a.krv"), "a.krv");
  // A delete whose first copy into the bin fails, of a running test's file and of one that moves.
  mgr->RefreshView();
  for (const char* n : {"a.krv", "d.krv", "live.krv"}) mark(n);
  {
    platform::fs::FaultBackend faults;
    platform::fs::ScopedBackend use(faults);
    faults.failCall(platform::fs::FaultBackend::Call::Write, 0);
    ASSERT_TRUE(drv::tap(*mgr, M::kDeleteClear));
  }
  expectStatus("部分文件删除失败！", true);
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"1", "a.krv"}, {"2★", "live.krv"}}));
  EXPECT_EQ(marked(), (std::vector<std::string>{"a.krv", "live.krv"}));
  EXPECT_EQ(get("Storage Card/rev", "d.krv"), "d.krv");
}

TEST_F(FileManagerTest, ImportOfTheJackList) {
  prepare(kBoards[1], true, false);
  put("Storage_Card", "qjd.qjd", std::string(40, 'o'));
  show();
  answers->replies = {false, true, true, true};
  ASSERT_TRUE(drv::tap(*mgr, M::kImport));
  EXPECT_EQ(answers->asked.back(), "确认要将参数导入到仪器中？");
  expectStatus("用户取消本次操作！", false);
  ASSERT_TRUE(drv::tap(*mgr, M::kImport));  // no U-disk
  expectStatus("参数导入失败，源数据文件可能丢失或损坏！", true);
  put("硬盘", "qjd.qjd", std::string(50, 'n'));  // not whole records
  ASSERT_TRUE(drv::tap(*mgr, M::kImport));
  expectStatus("参数导入失败，源数据文件可能丢失或损坏！", true);
  EXPECT_EQ(get("Storage_Card", "qjd.qjd"), std::string(40, 'o'));
  put("硬盘", "qjd.qjd", std::string(80, 'n'));
  ASSERT_TRUE(drv::tap(*mgr, M::kImport));
  expectStatus("参数导入成功！", false);
  EXPECT_EQ(get("Storage_Card", "qjd.qjd"), std::string(80, 'n'));
}

TEST_F(FileManagerTest, LogTextsMoveByATapOnTheStatusLineOfBoardOne) {
  prepare(kBoards[0], true, false);
  for (int k = 1; k <= 5; ++k) put("Storage Card", "log" + std::to_string(k) + ".txt", std::to_string(k));
  show();
  // Without the U-disk.
  ASSERT_TRUE(drv::tap(*mgr, M::kStatus));
  expectStatus("错误！仪器没有检测到U盘！", true);
  fsys::create_directories(root_ / "Hard Disk");
  ASSERT_TRUE(drv::tap(*mgr, M::kStatus));
  expectStatus(".", false);
  for (int k = 1; k <= 5; ++k)
    EXPECT_EQ(get("Hard Disk/718C日志文件", "log" + std::to_string(k) + ".txt"), std::to_string(k));
  EXPECT_TRUE(platform::fs::find("\\Storage Card\\*.txt").empty());
  // A second tap finds nothing and changes nothing.
  mgr->SetStatus("kept", true);
  ASSERT_TRUE(drv::tap(*mgr, M::kStatus));
  expectStatus("kept", true);

  // Board 0's status line takes no taps.
  TearDown();
  SetUp();
  prepare(kBoards[1], true, true);
  put("Storage_Card", "log.txt", "1");
  show();
  drv::tap(*mgr, M::kStatus);
  EXPECT_EQ(status(), "");
  EXPECT_TRUE(has("Storage_Card", "log.txt"));
}

TEST_F(FileManagerTest, OpenRefusals) {
  prepare(kBoards[0], true, false);
  put("Storage Card", "bad.krv", "short");
  put("nandflash", "n.krv", "short");
  show();
  // The newest row is selected: a header row is no file.
  mgr->List().setItemState(0, ui::LVNI_SELECTED, ui::LVNI_SELECTED);
  mgr->List().setSelectionMark(0);
  ASSERT_TRUE(drv::tap(*mgr, M::kOpen));
  expectStatus("请选择数据文件！", true);
  EXPECT_TRUE(ch[0].procedure.lastTestFileName.empty());
  // A file that does not load.
  tapRow(rowOf("bad.krv"));
  ASSERT_TRUE(drv::tap(*mgr, M::kOpen));
  expectStatus("打开文件失败，源数据文件丢失或损坏！", true);
  EXPECT_TRUE(ch[0].procedure.lastTestFileName.empty());
  EXPECT_TRUE(mgr->isWindowVisible());
  // No row selected.
  mgr->List().setItemState(rowOf("bad.krv"), 0, ui::LVNI_SELECTED);
  mgr->List().setSelectionMark(-1);
  ASSERT_TRUE(drv::tap(*mgr, M::kOpen));
  expectStatus("请选中要打开的文件！", true);
  // A running test.
  tapRow(rowOf("bad.krv"));
  ch[1].testRunning = 1;
  mgr->OnBnClickedOpenFile();
  expectStatus("测试正在进行，无法打开其他试桩数据！", true);
}

// The open of a stored test on the SD card from the manager of the main window: the manager goes, the
// report pages show the file from channel 1, and channel 1's own schedule stays as it was.
TEST_F(FileManagerTest, OpenShowsTheFileInTheReportPagesFromChannelOne) {
  StoredTest t;
  t.path = "\\Storage Card\\OPEN-1.krv";
  t.readings = 3;
  t.serial = "SN-OPEN";
  fsys::create_directories(root_ / "nandflash");
  writeRunningTest("9", 1, t);
  CMonitorDlg& w = startMain(1);
  Parameter& c1 = w.channel(1);
  Parameter& c2 = w.channel(2);
  c1.levelMinutes = {5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85};
  const auto schedule = c1.levelMinutes;
  const int standard = c1.standardCode.load();
  // The pages were pointed at channel 2.
  w.OnBnClickedChannel(2);
  auto* table = dialog<CPageJiLuBiao>(MonitorSlot::CPageJiLuBiao);
  ASSERT_EQ(table->CurrentChannel(), &c2);

  ASSERT_TRUE(drv::tap(w, 1128));
  mgr = dialog<M>(MonitorSlot::ShiZhuangMuLu);
  ASSERT_TRUE(mgr->isWindowVisible());
  const int row = rowOf("OPEN-1.krv");
  ASSERT_GE(row, 0);
  tapRow(row);
  ASSERT_TRUE(drv::tap(*mgr, M::kOpen));
  EXPECT_FALSE(mgr->isWindowVisible());
  EXPECT_EQ(c1.selectedChannelText, "1");
  EXPECT_EQ(c1.procedure.lastTestFileName, t.path);
  EXPECT_EQ(table->CurrentChannel(), &c1);
  EXPECT_EQ(c1.readingIndex, 3);
  EXPECT_EQ(c1.pageRedraw.load(), 0);
  drv::run(2000);
  ASSERT_EQ(table->List(0).getItemCount(), 3);
  EXPECT_EQ(table->List(0).getItemText(2, 1), "200.00");
  EXPECT_EQ(c1.levelMinutes, schedule);
  EXPECT_EQ(c1.standardCode.load(), standard);
  if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
    ASSERT_TRUE(drv::screenshot(fsys::path(INSTRUMENT_SOURCE_DIR) / "docs" / "file-manager-open.png", &w));
  }
}

}  // namespace
