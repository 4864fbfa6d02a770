// The queue files of the pending-data list without windows: which names are listed, what is counted
// as unsent, which files a running test holds, and a re-send's start and stop on channel 1's queues.
#include "model/datafiles.h"
#include "pending_fixture.h"
#include "upload/pending_files.h"

using namespace pendingtest;

namespace {

class PendingRules : public PendingTest {
 protected:
  Parameter* chans[3] = {&ch[0], &ch[1], &ch[2]};
};

TEST(PendingNames, ListedNamesAndRoutes) {
  struct Case {
    const char* name;
    bool listed;
    int route0, route2, route3;
  } cases[] = {
      {"a.gps", true, 0, 1, 0},   {"a.GPS", true, 0, 1, 0},   {"a.gpsw", true, 0, 1, 1},
      {"a.GPSW", true, 0, 1, 1},  {"a.Gps", false, 0, 1, 0},  {"a.gPSW", false, 0, 1, 0},
      {"a.krv", false, 0, 1, 0},  {"gps", true, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(upload::IsPendingFileName(c.name), c.listed);
    EXPECT_EQ(upload::ResendQueueOf(0, c.name), c.route0);
    EXPECT_EQ(upload::ResendQueueOf(1, c.name), -1);
    EXPECT_EQ(upload::ResendQueueOf(2, c.name), c.route2);
    EXPECT_EQ(upload::ResendQueueOf(3, c.name), c.route3);
  }
  EXPECT_EQ(upload::PendingTimeText(platform::clock::toSeconds({2026, 3, 5, 7, 9, 41, 0, 0})), "26-03-05 07:09");
}

// "OVER" and "0000" slots are not counted (a reload skips both), nor a torn slot at the end; a missing
// file cannot be read.
TEST_F(PendingRules, UnsentSlotsAreThoseAReloadSends) {
  writeFile("a.gps", queueFile({"GPRS", "OVER", "0000", "GPRS"}) + "GPRS-torn");
  EXPECT_EQ(JDQFile::CountPendingSlots("\\Storage Card\\a.gps", chans), 2);
  EXPECT_EQ(JDQFile::CountPendingSlots("\\Storage Card\\none.gps", chans), -1);
  {
    std::lock_guard<std::mutex> lock(ch[0].queueLock);
    ch[0].moduleQueuePath = "\\Storage Card\\a.gps";
  }
  ASSERT_EQ(JDQFile::LoadQueueFile("1", 1, 0, ch[0]), 1);
  EXPECT_EQ(queued(0), 2);
}

// Only a running channel's test and queue files are held, compared ignoring letter case.
TEST_F(PendingRules, RunningTestFilesAreHeldWhateverTheirCase) {
  ch[1].testFilePath = "\\Storage Card\\T2-P1.krv";
  {
    std::lock_guard<std::mutex> lock(ch[1].queueLock);
    ch[1].moduleQueuePath = "\\Storage Card\\T2-P1.gps";
    ch[1].boxQueuePath = "\\Storage Card\\E2-P1.gpsw";
  }
  ch[0].testFilePath = "\\Storage Card\\T1-P1.krv";  // channel 1 runs nothing
  for (const char* path : {"\\Storage Card\\t2-p1.GPS", "\\STORAGE CARD\\e2-p1.gpsw", "\\Storage Card\\T2-P1.KRV",
                           "\\Storage Card\\T1-P1.krv", "\\Storage Card\\T2-P1.gpsw"})
    EXPECT_FALSE(upload::IsRunningTestFile(path, chans)) << path;
  ch[1].testRunning = 1;
  for (const char* path : {"\\Storage Card\\t2-p1.GPS", "\\STORAGE CARD\\e2-p1.gpsw", "\\Storage Card\\T2-P1.KRV"})
    EXPECT_TRUE(upload::IsRunningTestFile(path, chans)) << path;
  for (const char* path : {"\\Storage Card\\T1-P1.krv", "\\Storage Card\\T2-P1.gpsw", "\\Storage Card\\T2-P1"})
    EXPECT_FALSE(upload::IsRunningTestFile(path, chans)) << path;
}

// Start loads the unsent slots with their slot numbers and their file (emptying what the queue held)
// and lets the file go once sent; channel 1's queue files stay those of its set-up. Stop empties the
// route's queues and keeps the file.
TEST_F(PendingRules, StartLoadsTheRouteQueueAndStopEmptiesIt) {
  writeFile("b.gpsw", queueFile({"OVER", "GPRS", "GPRS"}));
  const std::string path = "\\Storage Card\\b.gpsw";
  ch[0].keepQueueFile = 1;
  {
    std::lock_guard<std::mutex> lock(ch[0].queueLock);
    ch[0].moduleQueuePath = "\\Storage Card\\T1-P1.gps";  // a test set up meanwhile
    ch[0].boxQueuePath = "\\Storage Card\\T1-P1.gpsw";
    ch[0].boxQueue.push_back(QueueRecord{});  // left from an earlier test
    ch[0].moduleQueue.push_back(QueueRecord{});
  }
  EXPECT_EQ(upload::StartResend(ch[0], path, 1), 2);
  EXPECT_EQ(ch[0].keepQueueFile.load(), 0);
  {
    std::lock_guard<std::mutex> lock(ch[0].queueLock);
    EXPECT_EQ(ch[0].moduleQueuePath, "\\Storage Card\\T1-P1.gps");
    EXPECT_EQ(ch[0].boxQueuePath, "\\Storage Card\\T1-P1.gpsw");
    ASSERT_EQ(ch[0].boxQueue.size(), 2u);
    EXPECT_EQ(ch[0].boxQueue[0].slot, 1);
    EXPECT_EQ(ch[0].boxQueue[1].slot, 2);
    EXPECT_EQ(ch[0].boxQueue[1].file, path);
    EXPECT_EQ(std::string(ch[0].boxQueue[1].bytes.begin(), ch[0].boxQueue[1].bytes.end()), slot("GPRS", 2));
  }
  EXPECT_EQ(queued(0), 1);  // the other route's queue is left alone
  struct Case {
    int route;
    int builtIn, external;
  } cases[] = {{0, 0, 2}, {2, 1, 0}, {3, 0, 0}, {1, 1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    upload::StartResend(ch[0], path, 1);
    {
      std::lock_guard<std::mutex> lock(ch[0].queueLock);
      ch[0].moduleQueue.assign(1, QueueRecord{});
    }
    ch[0].uploadStatus = 5;
    upload::StopResend(ch[0], c.route);
    EXPECT_EQ(ch[0].uploadStatus.load(), 0);
    EXPECT_EQ(ch[0].keepQueueFile.load(), 1);
    EXPECT_EQ(queued(0), c.builtIn);
    EXPECT_EQ(queued(1), c.external);
    EXPECT_EQ(readFile("b.gpsw"), queueFile({"OVER", "GPRS", "GPRS"}));
  }
  // A file that cannot be read loads nothing.
  EXPECT_EQ(upload::StartResend(ch[0], "\\Storage Card\\gone.gps", 0), 0);
  EXPECT_EQ(queued(0), 0);
}

}  // namespace
