// Starting a test from the test-control dialog (entries, an existing file, the file-count limits, a
// file that cannot be made) and ending it with its clean-up.
#include "kongzhi_fixture.h"

using namespace apptest;
namespace tc = testcontrol;

namespace {

class KongZhiStartTest : public KongZhiTest {};

constexpr int kStart = ShiZhuangKongZhi::kStartEnd;

}  // namespace

TEST_F(KongZhiStartTest, MissingEntriesRefuseTheStart) {
  struct Case {
    std::string path;
    float load;
  } cases[] = {{"", 100.0f}, {"\\Storage Card\\T001-P1.krv", 0.0f}, {"\\Storage Card\\T001-P1.krv", -5.0f}};
  show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.load));
    setUpTest(ch[0]);
    ch[0].testFilePath = c.path;
    ch[0].controlLoad = c.load;
    ASSERT_TRUE(drv::tap(*dlg, kStart));
    EXPECT_EQ(ch[0].testRunning.load(), 0);
    EXPECT_EQ(message(), "请正确输入流水号，桩号，当前控载值！");
    EXPECT_TRUE(dlg->messageIsError());
    EXPECT_EQ(drv::textColor(*dlg, ShiZhuangKongZhi::kMessage), ui::RGB(255, 0, 0));
    EXPECT_FALSE(hasFile("\\Storage Card\\T001-P1.krv"));
  }
}

TEST_F(KongZhiStartTest, AnExistingFileSendsTheOperatorAwayWithoutTouchingIt) {
  struct Case {
    bool yes;
    MonitorSlot shown;
  } cases[] = {{true, MonitorSlot::ShiZhuangMuLu}, {false, MonitorSlot::GongChengXinXi}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.yes);
    setUpTest(ch[0]);
    ASSERT_TRUE(platform::fs::writeFile(ch[0].testFilePath, "old data"));
    dialog(MonitorSlot::ShiZhuangMuLu)->showWindow(ui::SW_HIDE);
    dialog(MonitorSlot::GongChengXinXi)->showWindow(ui::SW_HIDE);
    show();
    ASSERT_TRUE(tapAnswering(kStart, {c.yes}));
    EXPECT_EQ(asked(), std::vector<std::string>{"该桩号流水号已存在，\r\n请先将原始数据拷出并删除\r\n否则无法开始试验！"});
    EXPECT_EQ(ch[0].testRunning.load(), 0);
    EXPECT_FALSE(dlg->isWindowVisible());
    EXPECT_TRUE(dialog(c.shown)->isWindowVisible());
    std::string data;
    ASSERT_TRUE(platform::fs::readFile(ch[0].testFilePath, data));
    EXPECT_EQ(data, "old data");
  }
}

TEST_F(KongZhiStartTest, CountsTakeDataQueueAndBackupFilesByTheirLastThreeLetters) {
  const fsys::path card = root_ / "Storage Card";
  for (const char* name : {"a.krv", "b.KBX.kbx", "c.zph", "d.krs", "e.gps", "f.gpsw", "g.txt", "hkrv"})
    std::ofstream(card / name);
  fsys::create_directories(card / "sub");
  std::ofstream(card / "sub" / "x.krv");  // another folder: not counted
  fsys::create_directories(card / "folder.krv");  // a folder is no file
  std::ofstream(card / "Backup" / "y.krv");
  std::ofstream(card / "Backup" / "z.gps");
  const tc::StorageCounts n = tc::CountStorageFiles(1);
  EXPECT_EQ(n.dataFiles, 5);  // "hkrv" ends in "krv" as well
  EXPECT_EQ(n.queueFiles, 1);
  EXPECT_EQ(n.backupFiles, 1);
  // Without the card the program root is the data root.
  fsys::remove_all(card);
  std::ofstream(root_ / "nandflash" / "n.krv");
  EXPECT_EQ(tc::CountStorageFiles(1).dataFiles, 1);
}

TEST_F(KongZhiStartTest, FileCountsWarnAndRefuseAtTheirLimits) {
  struct Case {
    int data;
    int backup;
    std::vector<bool> replies;
    bool started;
    std::string message;
    bool hidesAfter3s;
    bool backupGone;
    bool managerShown;
  } cases[] = {
      {79, 1900, {}, true, "", true, false, false},
      {80, 0, {}, true, "存储器上的数据文件过多，请及时清理！", false, false, false},
      {100, 0, {}, true, "存储器上的数据文件过多，请及时清理！", false, false, false},
      {101, 0, {false}, false, "无法开始，请先清理数据文件！", false, false, false},
      {101, 0, {true}, false, "", true, false, true},
      {0, 2000, {}, true, "存储器上的备份文件过多，请及时整理！", true, false, false},
      {0, 2001, {false}, false, "无法开始，请先清理备份文件！", false, false, false},
      {0, 2001, {true}, true, "", true, true, false},
  };
  const fsys::path card = root_ / "Storage Card";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.data) + " data, " + std::to_string(c.backup) + " backup");
    fsys::remove_all(card);
    makeFiles(card, "old", ".krv", c.data);
    makeFiles(card / "Backup", "b", ".kbx", c.backup);
    ch[0].testRunning = 0;
    setUpTest(ch[0]);
    dialog(MonitorSlot::ShiZhuangMuLu)->showWindow(ui::SW_HIDE);
    show();
    answers.reset();  // the old script goes first: it clears the idle hook
    answers = std::make_unique<Answers>();
    answers->replies.assign(c.replies.begin(), c.replies.end());
    ASSERT_TRUE(drv::tap(*dlg, kStart));
    EXPECT_EQ(answers->asked.size(), c.replies.size());
    EXPECT_EQ(ch[0].testRunning.load(), c.started ? 1 : 0);
    EXPECT_EQ(hasFile(ch[0].testFilePath), c.started);
    EXPECT_EQ(message(), c.message);
    EXPECT_EQ(dialog(MonitorSlot::ShiZhuangMuLu)->isWindowVisible(), c.managerShown);
    // The backup copy of a started test is the only backup file left after a clean-up.
    EXPECT_EQ(tc::CountStorageFiles(1).backupFiles, c.backupGone ? 1 : c.backup + (c.started ? 1 : 0));
    if (c.started) {
      drv::run(2990, 10);
      EXPECT_TRUE(dlg->isWindowVisible());
      drv::run(20, 10);
      EXPECT_EQ(!dlg->isWindowVisible(), c.hidesAfter3s);
    } else {
      EXPECT_EQ(!dlg->isWindowVisible(), c.hidesAfter3s);
    }
    if (c.backupGone) {
      EXPECT_TRUE(fsys::exists(card / "T001-P1.krv"));  // the rest of the card stays
      EXPECT_EQ(tc::CountStorageFiles(1).dataFiles, c.data + 1);
    }
  }
}

TEST_F(KongZhiStartTest, StartWritesTheFilesSetsTheButtonsAndBeeps) {
  setUpTest(ch[0]);
  ch[0].paused = 1;
  ch[0].readingCount = 12;
  ch[0].procedure.levelCounter = 4;
  ch[0].procedure.reloadCounter = 3;
  ch[0].resendHold = 1;
  ch[0].keepQueueFile = 1;  // left by a stopped re-send
  ch[0].moduleQueue.push_back(QueueRecord{});
  ch[0].boxQueue.push_back(QueueRecord{});
  show();
  ASSERT_TRUE(drv::tap(*dlg, kStart));
  EXPECT_EQ(ch[0].testRunning.load(), 1);
  EXPECT_EQ(ch[0].paused.load(), 0);
  EXPECT_EQ(ch[0].fileLoaded.load(), 0);
  EXPECT_EQ(ch[0].readingCount, 0);
  EXPECT_EQ(ch[0].procedure.levelCounter, 0);
  EXPECT_EQ(ch[0].procedure.reloadCounter, 1);
  EXPECT_EQ(ch[0].resendHold.load(), 0);
  EXPECT_EQ(ch[0].keepQueueFile.load(), 0);
  EXPECT_TRUE(ch[0].moduleQueue.empty());
  EXPECT_TRUE(ch[0].boxQueue.empty());
  EXPECT_EQ(ch[0].procedure.lastTestFileName, "T001-P1.krv");
  EXPECT_EQ(platform::fs::fileSize("\\Storage Card\\T001-P1.krv"), 74 * 311);
  EXPECT_EQ(platform::fs::fileSize("\\Storage Card\\Backup\\T001-P1.krv"), 74 * 311);
  // The parameter file names the running test, so a restart takes it up again.
  Parameter loaded;
  loaded.boardFlag = 1;
  std::string path;
  ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", loaded), 1);
  EXPECT_EQ(path, "\\Storage Card\\T001-P1.krv");

  EXPECT_EQ(drv::text(*dlg, kStart), "结束试验");
  EXPECT_EQ(drv::text(*dlg, ShiZhuangKongZhi::kStateText), "试验进行中......");
  for (int id : {1278, 1279, 1274, 1275, 1271}) EXPECT_TRUE(drv::enabled(*dlg, id)) << id;
  for (int id : {1276, 1277, 1272}) EXPECT_FALSE(drv::enabled(*dlg, id)) << id;
  EXPECT_TRUE(platform::device::board().buzzerOn);
  drv::run(1010, 10);
  EXPECT_FALSE(platform::device::board().buzzerOn);
  EXPECT_EQ(platform::device::board().openHandles, 0);
}

TEST_F(KongZhiStartTest, AFileThatCannotBeMadeLeavesTheChannelIdle) {
  setUpTest(ch[0]);
  ch[0].testFilePath = "\\Storage Card\\missing folder\\T001-P1.krv";
  show();
  ASSERT_TRUE(drv::tap(*dlg, kStart));
  EXPECT_EQ(ch[0].testRunning.load(), 0);
  EXPECT_EQ(message(), "无法创建试验数据文件，请检查存储卡！");
  EXPECT_TRUE(dlg->messageIsError());
  EXPECT_EQ(drv::text(*dlg, kStart), "开始试验");
  EXPECT_FALSE(hasFile("\\Storage Card\\Backup\\T001-P1.krv"));
  Parameter loaded;
  loaded.boardFlag = 1;
  std::string path;
  EXPECT_EQ(JDQFile::LoadParameterFile(path, "1", loaded), 0);  // nothing saved
  // With the folder there the next start goes through.
  fsys::create_directories(root_ / "Storage Card" / "missing folder");
  ASSERT_TRUE(drv::tap(*dlg, kStart));
  EXPECT_EQ(ch[0].testRunning.load(), 1);
}

TEST_F(KongZhiStartTest, AStartWhilePreloadingDoesNothing) {
  setUpTest(ch[0]);
  ch[0].preloadRunning = 1;
  show();
  dlg->enableWindow(true);
  dlg->OnBnClickedStartTest();
  EXPECT_EQ(ch[0].testRunning.load(), 0);
  EXPECT_EQ(message(), "");
  EXPECT_FALSE(hasFile(ch[0].testFilePath));
}

TEST_F(KongZhiStartTest, BackupRemovalKeepsToTheCardsBackupFolder) {
  makeFiles(root_ / "Storage Card" / "Backup", "b", ".krv", 3);
  std::ofstream(root_ / "Storage Card" / "keep.krv");
  EXPECT_TRUE(tc::RemoveBackupFolder(1));
  EXPECT_FALSE(fsys::exists(root_ / "Storage Card" / "Backup"));
  EXPECT_TRUE(fsys::exists(root_ / "Storage Card" / "keep.krv"));
  EXPECT_TRUE(tc::RemoveBackupFolder(1));  // nothing left to remove
}

// ---------------------------------------------------------------------------------------------------

namespace {

class KongZhiEndTest : public KongZhiTest {
 protected:
  void startTest() {
    setUpTest(ch[0]);
    show();
    ASSERT_TRUE(drv::tap(*dlg, kStart));
    ASSERT_EQ(ch[0].testRunning.load(), 1);
    dlg->showWindow(ui::SW_SHOW);
    drv::pump();
  }
  void queueOne(int which) {
    ch[0].queueBuild.fill(0x31);
    JDQFile::EnqueueRecord(ch[0], which);
  }
};

}  // namespace

TEST_F(KongZhiEndTest, NoAnswerYesChangesNothing) {
  startTest();
  ASSERT_TRUE(tapAnswering(kStart, {false}));
  EXPECT_EQ(asked(), std::vector<std::string>{"结束试验后则无法恢复本次试验\r\n确定要结束试验吗？"});
  EXPECT_EQ(ch[0].testRunning.load(), 1);
  EXPECT_EQ(ch[0].testFilePath, "\\Storage Card\\T001-P1.krv");
}

TEST_F(KongZhiEndTest, QueueFilesGoOnlyWhenNothingIsLeftToSend) {
  struct Case {
    float route;
    bool moduleRecordLeft;
    bool moduleFileStays;
    bool boxFileStays;
    bool droppedFromMemory = false;  // the module refused: the record is unsent but no longer queued
  } cases[] = {
      {0, true, true, true},    // records left: the file stays for a re-send
      {0, false, false, true},  // the box file is not the module route's
      {2, false, true, false},
      {3, false, false, false},
      {1, false, true, true},   // no remote transmission deletes nothing
      {3, true, true, false, true},  // an unsent slot keeps its file, queued or not
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    setRoute(c.route);
    startTest();
    queueOne(0);
    queueOne(1);
    ASSERT_TRUE(hasFile("\\Storage Card\\T001-P1.gps"));
    ASSERT_TRUE(hasFile("\\Storage Card\\T001-P1.gpsw"));
    // Sent records are acknowledged: their slots are marked.
    if (!c.moduleRecordLeft) {
      ASSERT_EQ(JDQFile::AcknowledgeHead(ch[0], 0), 1);
    }
    ASSERT_EQ(JDQFile::AcknowledgeHead(ch[0], 1), 1);
    if (c.droppedFromMemory) {
      std::lock_guard<std::mutex> g(ch[0].queueLock);
      ch[0].moduleQueue.clear();
    }
    ASSERT_TRUE(tapAnswering(kStart, {true}));
    EXPECT_EQ(ch[0].testRunning.load(), 0);
    EXPECT_EQ(hasFile("\\Storage Card\\T001-P1.gps"), c.moduleFileStays);
    EXPECT_EQ(hasFile("\\Storage Card\\T001-P1.gpsw"), c.boxFileStays);
    EXPECT_TRUE(ch[0].moduleQueue.empty());  // dropped from memory either way
    EXPECT_TRUE(ch[0].boxQueue.empty());
    fsys::remove_all(root_ / "Storage Card");
    fsys::create_directories(root_ / "Storage Card" / "Backup");
  }
}

TEST_F(KongZhiEndTest, EndingClearsTheTestAndOpensTheFinishedFile) {
  startTest();
  ch[0].controlLoad = 300.0f;
  ch[0].previousLoad = 300.0f;
  ch[0].pumpCommand = 120;
  ch[0].pumpForcedStop = 64;
  ch[0].link.levelNumber = 3;
  ch[0].clockShift = 77;
  ch[0].procedure.levelCounter = 5;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kPause));
  ASSERT_EQ(ch[0].paused.load(), 1);
  ASSERT_TRUE(tapAnswering(kStart, {true}));

  Parameter& p = ch[0];
  EXPECT_EQ(p.testRunning.load(), 0);
  EXPECT_EQ(p.paused.load(), 0);
  EXPECT_EQ(p.fileLoaded.load(), 1);
  EXPECT_EQ(p.pollWhenIdle.load(), 1);
  EXPECT_TRUE(p.testFilePath.empty());
  EXPECT_EQ(p.controlLoad.load(), 0.0f);
  EXPECT_EQ(p.previousLoad.load(), 0.0f);
  EXPECT_EQ(p.pumpCommand.load(), 0);
  EXPECT_EQ(p.pumpForcedStop.load(), 0);
  EXPECT_EQ(p.link.levelNumber.load(), 0);
  EXPECT_EQ(p.clockShift, 0);
  EXPECT_EQ(p.procedure.levelCounter, 0);
  // The file of only header records is opened: every count is 0, the display fields come from it.
  EXPECT_EQ(p.openedTestRecords.size(), 75u);
  EXPECT_EQ(p.readingCount, 0);
  EXPECT_EQ(p.readingCount2, 0);
  EXPECT_EQ(p.readingIndex, 0);
  EXPECT_EQ(p.procedure.openedStandardCode, 1);
  EXPECT_EQ(p.procedure.openedGaugeOn, (std::array<byte, 8>{1, 1, 1, 1, 0, 0, 0, 0}));
  // No test on this channel after a restart.
  Parameter loaded;
  loaded.boardFlag = 1;
  std::string path = "x";
  ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", loaded), 1);
  EXPECT_TRUE(path.empty());

  EXPECT_EQ(message(), "本次试桩已经结束。");
  EXPECT_FALSE(dlg->messageIsError());
  EXPECT_EQ(drv::text(*dlg, ShiZhuangKongZhi::kStateText), "试验未开始");
  EXPECT_EQ(drv::text(*dlg, ShiZhuangKongZhi::kPause), "暂停试验");
  EXPECT_EQ(drv::text(*dlg, kStart), "开始试验");
  for (int id : {1278, 1276, 1277}) EXPECT_TRUE(drv::enabled(*dlg, id)) << id;
  for (int id : {1279, 1274, 1275, 1271, 1272}) EXPECT_FALSE(drv::enabled(*dlg, id)) << id;
  EXPECT_TRUE(platform::device::board().buzzerOn);
  drv::run(1010, 10);
  EXPECT_FALSE(platform::device::board().buzzerOn);
}
