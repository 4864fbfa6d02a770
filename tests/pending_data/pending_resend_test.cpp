// Re-sends of stored queue files through the upload link to the simulated modules, watched in the
// pending-data dialog: the progress through the file, the end that deletes it, a silent module and the
// stop that keeps the file, a module that drops the pending records, and the whole road from a test
// whose records the module never took to their re-send.
#include <algorithm>
#include <map>
#include <set>

#include "../endtoend/instrument.h"
#include "app/test_control.h"
#include "pending_fixture.h"
#include "setup/test_identity.h"

using namespace pendingtest;

namespace {

class PendingResend : public PendingTest {
 protected:
  int rowOf(const std::string& name) {
    const auto& f = dlg->files();
    const auto it = std::find(f.begin(), f.end(), name);
    return it == f.end() ? -1 : static_cast<int>(it - f.begin());
  }
  std::string remainingOf(const std::string& name) {
    const int row = rowOf(name);
    return row < 0 ? "-" : dlg->list().getItemText(row, 4);
  }
  // Cycles until the dialog stops sending (or the limit passes).
  // `shot` names a picture taken after the first cycle.
  std::vector<std::string> sendToTheEnd(const std::string& shot = "", int maxCycles = 20) {
    std::vector<std::string> seen;
    drv::run(1000, 10);  // the first tick, before the first cycle
    seen.push_back(status());
    for (int i = 0; i < maxCycles && dlg->sending(); ++i) {
      cycle(seen);
      if (i == 0 && !shot.empty()) saveShot(shot);
    }
    return seen;
  }
};

// Routes 0, 2 and 3: the unsent slots of the file go to their module one by one while the status
// counts through them; the file goes once all are taken. Route 3 sends an external route's file
// through the external module and a built-in route's file through the GPRS module.
TEST_F(PendingResend, SendsTheFileAndDeletesIt) {
  struct Case {
    int route;
    const char* name;
    bool external;
  } cases[] = {{0, "b.gps", false}, {2, "b.GPSW", true}, {3, "b.GPSW", true}, {3, "b.gps", false}};
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.route) + " " + c.name);
    if (!first) {
      TearDown();
      SetUp();
    }
    first = false;
    setRoute(c.route);
    writeFile("b.gps", queueFile({"GPRS", "OVER", "GPRS", "GPRS"}, 0));
    writeFile("b.GPSW", queueFile({"GPRS", "OVER", "GPRS", "GPRS"}, 10));
    openUpload();
    show();
    ASSERT_GE(rowOf(c.name), 0);
    tapRow(rowOf(c.name));
    ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
    ASSERT_EQ(caption(), "结束发送");
    EXPECT_EQ(queued(c.external ? 1 : 0), 3);
    EXPECT_EQ(queued(c.external ? 0 : 1), 0);
    const std::string module = c.external ? "外置模块" : "内置模块";
    const std::vector<std::string> seen = sendToTheEnd(c.route == 0 ? "pending-data-progress.png" : "");
    EXPECT_EQ(seen, (std::vector<std::string>{module + "正在发送1/3！", module + "正在发送2/3！",
                                              module + "正在发送3/3！", module + "发送完毕！"}));
    EXPECT_FALSE(red());
    EXPECT_EQ(caption(), "开始发送");
    EXPECT_FALSE(fsys::exists(host(c.name)));
    EXPECT_EQ(rowOf(c.name), -1);
    const int seed = c.external ? 10 : 0;
    sim::ModuleSimulator& used = c.external ? static_cast<sim::ModuleSimulator&>(*box) : *gprs;
    sim::ModuleSimulator& other = c.external ? static_cast<sim::ModuleSimulator&>(*gprs) : *box;
    EXPECT_EQ(used.records(), (std::vector<std::string>{slot("GPRS", seed), slot("GPRS", seed + 2),
                                                         slot("GPRS", seed + 3)}));
    EXPECT_TRUE(other.records().empty());
    // Nothing goes on after the end.
    std::vector<std::string> after;
    for (int i = 0; i < 3; ++i) cycle(after);
    EXPECT_EQ(used.records().size(), 3u);
    EXPECT_EQ(status(), module + "发送完毕！");
  }
}

// A silent module: the status says the transmission fails; stop empties the queue, keeps the file
// whole, and the list filled again shows the same count.
TEST_F(PendingResend, SilentModuleThenStopKeepsTheFile) {
  const std::string bytes = queueFile({"GPRS", "GPRS", "OVER", "GPRS"});
  writeFile("s.gps", bytes);
  openUpload();
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  show();
  ASSERT_EQ(remainingOf("s.gps"), "3");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  std::vector<std::string> seen;
  for (int i = 0; i < 3; ++i) cycle(seen);
  EXPECT_EQ(status(), "内置模块传输出现故障！");
  EXPECT_TRUE(red());
  EXPECT_EQ(remainingOf("s.gps"), "3");
  saveShot("pending-data-fault.png");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  EXPECT_EQ(caption(), "开始发送");
  EXPECT_EQ(status(), "");
  EXPECT_EQ(queued(0), 0);
  EXPECT_EQ(ch[0].uploadStatus.load(), 0);
  for (int i = 0; i < 3; ++i) cycle(seen);
  EXPECT_EQ(status(), "");
  reshow();
  EXPECT_EQ(remainingOf("s.gps"), "3");
  EXPECT_EQ(readFile("s.gps"), bytes);
}

// A stopped re-send keeps its file only while its last record may still be answered: once the route
// has nothing outstanding, the keep ends, and a queue file that channel 1 sends completely afterwards
// goes as it should.
TEST_F(PendingResend, AStoppedResendKeepsNoLaterFile) {
  writeFile("s.gps", queueFile({"GPRS", "GPRS"}));
  openUpload();
  sim::ModuleFaults silent;
  silent.silent = 1;
  gprs->setFaults(silent);
  show();
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  std::vector<std::string> seen;
  drv::run(1000, 10);
  cycle(seen);  // the first record is outstanding
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  EXPECT_EQ(ch[0].keepQueueFile.load(), 1);
  for (int i = 0; i < 2; ++i) cycle(seen);
  EXPECT_EQ(ch[0].keepQueueFile.load(), 0);
  EXPECT_EQ(readFile("s.gps"), queueFile({"GPRS", "GPRS"}));

  // Records of a test that ended on channel 1 since, all accepted: their file goes.
  {
    std::lock_guard<std::mutex> lock(ch[0].queueLock);
    ch[0].moduleQueuePath = "\\Storage Card\\later.gps";
  }
  for (int seed = 0; seed < 2; ++seed) {
    {
      std::lock_guard<std::mutex> lock(ch[0].queueLock);
      const std::string bytes = slot("GPRS", 30 + seed);
      std::copy(bytes.begin(), bytes.end(), ch[0].queueBuild.begin());
    }
    ASSERT_EQ(JDQFile::EnqueueRecord(ch[0], 0), 1);
  }
  for (int i = 0; i < 3; ++i) cycle(seen);
  EXPECT_EQ(queued(0), 0);
  EXPECT_FALSE(fsys::exists(host("later.gps")));
}

// The module drops the pending records (0x04) after taking the first: the sending stops, the file
// stays with the records not taken, and the status says so in red.
TEST_F(PendingResend, DroppedRecordsStopTheSendingAndStayInTheFile) {
  struct Case {
    int route;
    const char* name;
  } cases[] = {{0, "d.gps"}, {2, "d.gpsw"}};
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    if (!first) {
      TearDown();
      SetUp();
    }
    first = false;
    setRoute(c.route);
    writeFile(c.name, queueFile({"GPRS", "GPRS", "GPRS", "GPRS"}));
    openUpload();
    show();
    ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
    sim::ModuleSimulator& module = c.route == 0 ? static_cast<sim::ModuleSimulator&>(*gprs) : *box;
    std::vector<std::string> seen;
    drv::run(1000, 10);
    cycle(seen);
    ASSERT_EQ(module.records().size(), 1u);
    sim::ModuleFaults drop;
    drop.refuse = 1;
    drop.refuseCode = 0x04;
    module.setFaults(drop);
    for (int i = 0; i < 3 && dlg->sending(); ++i) cycle(seen);
    const std::string name = c.route == 0 ? "内置模块" : "外置模块";
    EXPECT_FALSE(dlg->sending());
    EXPECT_EQ(status(), name + "发送中断，剩余3条数据未发送！");
    EXPECT_TRUE(red());
    EXPECT_EQ(std::count(seen.begin(), seen.end(), name + "发送完毕！"), 0);
    ASSERT_TRUE(fsys::exists(host(c.name)));
    EXPECT_EQ(remainingOf(c.name), "3");
    EXPECT_EQ(readFile(c.name), queueFile({"OVER", "GPRS", "GPRS", "GPRS"}));
    if (c.route == 0) saveShot("pending-data-dropped.png");
    // Nothing is sent any more; the next start sends the rest.
    for (int i = 0; i < 2; ++i) cycle(seen);
    EXPECT_EQ(module.records().size(), 2u);
    module.setFaults({});
    ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
    seen = sendToTheEnd();
    EXPECT_EQ(status(), name + "发送完毕！");
    EXPECT_FALSE(fsys::exists(host(c.name)));
  }
}

// The queue files read back slot by slot.
std::vector<std::string> slotsOf(const std::string& bytes) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at + 128 <= bytes.size(); at += 128) out.push_back(bytes.substr(at, 128));
  return out;
}

// A test is set up on channel 1 (route 3), an older file is sent again from the list (to its end, or
// stopped after its first record), and then the test starts: its records go to the queue files its
// set-up named, the built-in ones to the ".gps" file and the external ones to the ".gpsw" file, each
// reaches its module once, and the older file gets none of them.
TEST_F(PendingResend, AResendBetweenASetUpAndItsStartLeavesTheTestItsQueueFiles) {
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped" : "sent to the end");
    TearDown();
    SetUp();
    setRoute(3);
    Parameter& p = ch[0];
    p.testRunning = 0;  // the test of the case before ended
    p.fileLoaded = 1;
    p.testType = 1;
    p.standardCode = 5;
    JDQFile::PackParameters(p, p.ParameterList);
    JDQFile::BuildHeaderRecords(p);
    TestIdentityEntry e;
    e.serial = "2026005";
    e.pile = "P5";
    e.gauges[0] = true;
    ASSERT_TRUE(CommitTestIdentity(p, e, 3.0f).accepted);
    const std::string gps = "2026005-P5.gps", gpsw = "2026005-P5.gpsw";
    {
      std::lock_guard<std::mutex> lock(p.queueLock);
      ASSERT_EQ(p.moduleQueuePath, "\\Storage Card\\" + gps);
      ASSERT_EQ(p.boxQueuePath, "\\Storage Card\\" + gpsw);
    }

    writeFile("x.gps", queueFile({"GPRS", "GPRS"}, 60));
    openUpload();
    show();
    tapRow(rowOf("x.gps"));
    ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
    if (stopped) {
      std::vector<std::string> seen;
      drv::run(1000, 10);
      cycle(seen);
      ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
      for (int i = 0; i < 2; ++i) cycle(seen);
      ASSERT_EQ(readFile("x.gps"), queueFile({"OVER", "GPRS"}, 60));
    } else {
      sendToTheEnd();
      ASSERT_EQ(status(), "内置模块发送完毕！");
      ASSERT_FALSE(fsys::exists(host("x.gps")));
    }

    ASSERT_TRUE(testcontrol::BeginTest(p));
    std::vector<std::string> builtIn, external;
    for (int k = 0; k < 2; ++k) {
      for (const int which : {0, 1}) {
        const std::string bytes = slot("GPRS", (which == 0 ? 70 : 80) + k);
        {
          std::lock_guard<std::mutex> lock(p.queueLock);
          std::copy(bytes.begin(), bytes.end(), p.queueBuild.begin());
        }
        EXPECT_EQ(JDQFile::EnqueueRecord(p, which), 1);
        (which == 0 ? builtIn : external).push_back(bytes);
      }
    }
    EXPECT_EQ(slotsOf(readFile(gps)), builtIn);
    EXPECT_EQ(slotsOf(readFile(gpsw)), external);
    if (stopped) {
      EXPECT_EQ(readFile("x.gps"), queueFile({"OVER", "GPRS"}, 60));
    } else {
      EXPECT_FALSE(fsys::exists(host("x.gps")));
    }

    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) cycle(seen);
    EXPECT_EQ(queued(0), 0);
    EXPECT_EQ(queued(1), 0);
    for (const std::string& s : slotsOf(readFile(gps))) EXPECT_EQ(s.substr(0, 4), "OVER");
    for (const std::string& s : slotsOf(readFile(gpsw))) EXPECT_EQ(s.substr(0, 4), "OVER");
    std::map<std::string, int> expectedGprs{{slot("GPRS", 60), 1}}, expectedBox;
    if (!stopped) expectedGprs[slot("GPRS", 61)] = 1;
    for (const std::string& b : builtIn) expectedGprs[b] = 1;
    for (const std::string& b : external) expectedBox[b] = 1;
    EXPECT_EQ(accepted(*gprs), expectedGprs);
    EXPECT_EQ(accepted(*box), expectedBox);
    if (stopped) {
      EXPECT_EQ(readFile("x.gps"), queueFile({"OVER", "GPRS"}, 60));
    }
  }
}

// Channel 2's test ended while the GPRS module was silent: its records wait in channel 2's queue, the
// first of them written and unanswered. The operator sends that test's file again from the list (into
// channel 1's queue), and the module answers again. Each record is accepted once, whichever channel
// sent it, and the file goes once all of it is sent.
TEST_F(PendingResend, AnotherChannelsQueuedRecordsAreNotSentTwiceByAResendOfTheirFile) {
  const std::string name = "E2-P1.gps";
  writeFile(name, queueFile({"OVER", "GPRS", "GPRS", "GPRS"}, 90));
  Parameter& c2 = ch[1];
  {
    std::lock_guard<std::mutex> lock(c2.queueLock);
    c2.moduleQueuePath = "\\Storage Card\\" + name;
  }
  ASSERT_EQ(JDQFile::LoadQueueFile("2", 1, 0, c2), 1);  // as the end of its test reloads it
  openUpload();
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  show();
  std::vector<std::string> seen;
  cycle(seen);  // channel 2's first record is outstanding
  ASSERT_EQ(gprs->records().size(), 1u);

  tapRow(rowOf(name));
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  ASSERT_EQ(queued(0), 3);
  gprs->setFaults({});
  sendToTheEnd("", 40);
  EXPECT_EQ(status(), "内置模块发送完毕！");
  for (int i = 0; i < 30; ++i) cycle(seen);
  const std::map<std::string, int> once{{slot("GPRS", 91), 1}, {slot("GPRS", 92), 1}, {slot("GPRS", 93), 1}};
  EXPECT_EQ(accepted(*gprs), once);
  EXPECT_EQ(queued(0), 0);
  {
    std::lock_guard<std::mutex> lock(c2.queueLock);
    EXPECT_TRUE(c2.moduleQueue.empty());
  }
  EXPECT_FALSE(fsys::exists(host(name)));
}

// ---------------------------------------------------------------------------------------------------
// The whole road: a test runs while the GPRS module is silent and ends; its queue file stays with
// every record unsent; the dialog lists it with that count, and once the module answers again the
// re-send takes the count to 0, every record reaching the module, and the file goes.

class PendingRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    registerUploadDialogsOnce();
    sim::PileSettings pile;
    pile.creepMinutes = 1.0;
    inst = std::make_unique<endtoend::Instrument>(endtoend::Instrument::Drive::InProcess, pile);
    ASSERT_TRUE(ui::init(ui::Options{ui::DisplayKind::Headless}));
    ASSERT_TRUE(CreateMonitorDialogs());
    dlg = g_pMonitorDialogs.get<CDaiFaShuJu>(MonitorSlot::CDaiFaShuJu);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->create());
    LinkMonitorDialog(MonitorSlot::CDaiFaShuJu, inst->ch(1), inst->ch(2), inst->ch(3));
    gprs = std::make_unique<sim::GprsModuleSimulator>();
    box = std::make_unique<sim::BoxModuleSimulator>();
    std::string err;
    ASSERT_TRUE(gprs->start(sim::defaultGprsPortName(), &err)) << err;
    ASSERT_TRUE(box->start(sim::defaultBoxPortName(), &err)) << err;
    link = std::make_unique<upload::UploadLink>(inst->ch(1), inst->ch(2), inst->ch(3), false);
    EXPECT_EQ(link->OpenBoxPort(), 1);
    EXPECT_EQ(link->OpenGprsPort(), 1);
  }
  void TearDown() override {
    link.reset();
    gprs.reset();
    box.reset();
    DeleteMonitorDialogs();
    ui::shutdown();
    inst.reset();
  }
  // One main-loop step of the instrument with the upload cycle when due and the dialog's timers.
  void step() {
    inst->step();
    if (clk::monotonicMs() >= nextCycle_) {
      link->RunCycle();
      settleLink(*link, gprs.get(), box.get());
      nextCycle_ = clk::monotonicMs() + upload::UploadLink::kCycleMs;
    }
    drv::pump();
  }

  std::unique_ptr<endtoend::Instrument> inst;
  CDaiFaShuJu* dlg = nullptr;
  // Runs the test of channel 1 to its end, and the program on for a while.
  void runToTheEnd(const endtoend::TestSetup& t) {
    inst->start(1, t);
    Parameter& p = inst->ch(1);
    const std::uint64_t limit = clk::monotonicMs() + 2ull * 3600 * 1000;
    while (p.testRunning.load() == 1 && clk::monotonicMs() < limit) step();
    ASSERT_EQ(p.testRunning.load(), 0);
    for (int i = 0; i < 20; ++i) step();
  }
  std::string hostOf(const std::string& name) const { return inst->hostPath("\\Storage Card\\" + name); }
  std::size_t queued(int which) {
    Parameter& p = inst->ch(1);
    std::lock_guard<std::mutex> lock(p.queueLock);
    return which == 0 ? p.moduleQueue.size() : p.boxQueue.size();
  }

  std::unique_ptr<sim::GprsModuleSimulator> gprs;
  std::unique_ptr<sim::BoxModuleSimulator> box;
  std::unique_ptr<upload::UploadLink> link;

 private:
  std::uint64_t nextCycle_ = 0;
};

TEST_F(PendingRoad, RecordsOfASilentModuleAreSentAgainFromTheList) {
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  runToTheEnd(endtoend::shortTest(0.0f));  // the program runs on with the module still silent

  const std::string name = "2026001-P1.gps";
  const auto slots = endtoend::queueSlots(inst->hostPath("\\Storage Card\\" + name));
  const std::size_t readings = endtoend::readingsOf(inst->loadFile("\\Storage Card\\2026001-P1.krv")).size();
  ASSERT_GT(readings, 5u);
  ASSERT_GE(slots.size(), readings);
  for (const std::string& s : slots) ASSERT_EQ(s.substr(0, 4), "GPRS");

  dlg->showWindow(ui::SW_SHOW);
  drv::pump();
  ASSERT_EQ(dlg->files(), (std::vector<std::string>{name}));
  EXPECT_EQ(dlg->list().getItemText(0, 4), std::to_string(slots.size()));

  gprs->setFaults({});
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  const std::uint64_t until = clk::monotonicMs() + 60ull * 60 * 1000;
  while (dlg->sending() && clk::monotonicMs() < until) step();
  EXPECT_FALSE(dlg->sending());
  EXPECT_EQ(drv::text(*dlg, CDaiFaShuJu::kStatus), "内置模块发送完毕！");
  EXPECT_FALSE(std::filesystem::exists(inst->hostPath("\\Storage Card\\" + name)));
  EXPECT_TRUE(dlg->files().empty());
  const std::vector<std::string> got = gprs->records();
  const std::set<std::string> received(got.begin(), got.end());
  for (std::size_t k = 0; k < slots.size(); ++k) EXPECT_EQ(received.count(slots[k]), 1u) << k;
}

}  // namespace

namespace {

// Route 3: a test ends while the external module is silent, so its frames stay queued in memory. The
// operator sends an older built-in route's file again while the GPRS module is silent. The external
// module's acceptances of the ended test's frames are marked in the ended test's file, never in the
// file being sent: that file keeps its unsent records until the GPRS module takes them, and no record
// is accepted twice.
TEST_F(PendingRoad, AnEndedTestsFramesAreMarkedInTheirOwnFileDuringAResendOfAnOlderFile) {
  const std::string older = queueFile({"GPRS", "GPRS", "GPRS"}, 50);
  std::ofstream(hostOf("x.gps"), std::ios::binary) << older;
  sim::ModuleFaults silent;
  silent.silent = -1;
  box->setFaults(silent);
  runToTheEnd(endtoend::shortTest(3.0f));
  const std::string ended = "2026001-P1.gpsw";
  const auto frames = endtoend::queueSlots(hostOf(ended));
  ASSERT_GT(frames.size(), 5u);
  ASSERT_EQ(queued(1), frames.size());

  dlg->showWindow(ui::SW_SHOW);
  drv::pump();
  const auto& files = dlg->files();
  const auto row = std::find(files.begin(), files.end(), "x.gps");
  ASSERT_NE(row, files.end());
  tapRow(*dlg, static_cast<int>(row - files.begin()));
  gprs->setFaults(silent);
  gprs->clearLog();  // the ended test's records it took
  box->setFaults({});
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  ASSERT_TRUE(dlg->sending());
  const std::uint64_t limit = clk::monotonicMs() + 30ull * 60 * 1000;
  while (queued(1) > 0 && clk::monotonicMs() < limit) step();
  ASSERT_EQ(queued(1), 0u);
  for (int i = 0; i < 20; ++i) step();
  // The ended test's frames were each accepted once, and their file went once all were marked.
  std::map<std::string, int> expected;
  for (const std::string& f : frames) expected[f] = 1;
  EXPECT_EQ(accepted(*box), expected);
  EXPECT_FALSE(std::filesystem::exists(hostOf(ended)));
  // The older file is as it was, and still being sent.
  std::ifstream in(hostOf("x.gps"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), older);
  EXPECT_TRUE(dlg->sending());
  EXPECT_EQ(queued(0), 3u);

  gprs->setFaults({});
  while (dlg->sending() && clk::monotonicMs() < limit + 30ull * 60 * 1000) step();
  EXPECT_EQ(drv::text(*dlg, CDaiFaShuJu::kStatus), "内置模块发送完毕！");
  EXPECT_FALSE(std::filesystem::exists(hostOf("x.gps")));
  const std::map<std::string, int> older3{{slot("GPRS", 50), 1}, {slot("GPRS", 51), 1}, {slot("GPRS", 52), 1}};
  EXPECT_EQ(accepted(*gprs), older3);
  // Nothing goes on after the end.
  const std::size_t gprsBytes = gprs->bytesTaken(), boxBytes = box->bytesTaken();
  for (int i = 0; i < 100; ++i) step();
  EXPECT_EQ(gprs->bytesTaken(), gprsBytes);
  EXPECT_EQ(box->bytesTaken(), boxBytes);
  EXPECT_EQ(accepted(*gprs), older3);
  EXPECT_EQ(accepted(*box), expected);
}

}  // namespace

namespace {

// Route 3: the GPRS module is silent throughout a test, the external module answers. The program
// restarts in the middle of the test (the queues reloaded from their files by the restore) and the test
// runs to its end. Then the operator sends the test's ".gps" file again from the list and, while it is
// being sent, deletes another file. Every record reaches each module once: the queue files, read back
// slot by slot, hold each reading's record, and each accepted slot is marked in its own file.
TEST_F(PendingRoad, ARestartAndAResendLoseNoRecordAndSendNoneTwice) {
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  std::ofstream(hostOf("y.gps"), std::ios::binary) << queueFile({"GPRS"}, 40);
  const endtoend::TestSetup t = endtoend::shortTest(3.0f);
  inst->start(1, t);
  Parameter& p = inst->ch(1);
  for (int i = 0; i < 200; ++i) step();
  ASSERT_EQ(p.testRunning.load(), 1);
  ASSERT_GT(queued(0), 2u);

  // The program ends and starts again: a new link, the channel's route ready, the test restored. (The
  // modules are started again with it, so that their counts match the new link's.)
  std::map<std::string, int> frames = accepted(*box);
  link.reset();
  gprs = std::make_unique<sim::GprsModuleSimulator>();
  box = std::make_unique<sim::BoxModuleSimulator>();
  std::string err;
  ASSERT_TRUE(gprs->start(sim::defaultGprsPortName(), &err)) << err;
  ASSERT_TRUE(box->start(sim::defaultBoxPortName(), &err)) << err;
  gprs->setFaults(silent);
  p.moduleReady = 1;
  p.boxReady = 1;
  inst->restart(1);
  link = std::make_unique<upload::UploadLink>(inst->ch(1), inst->ch(2), inst->ch(3), false);
  ASSERT_EQ(link->OpenBoxPort(), 1);
  ASSERT_EQ(link->OpenGprsPort(), 1);
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    for (const QueueRecord& r : p.moduleQueue) EXPECT_EQ(r.file, "\\Storage Card\\2026001-P1.gps");
  }
  const std::uint64_t limit = clk::monotonicMs() + 2ull * 3600 * 1000;
  while (p.testRunning.load() == 1 && clk::monotonicMs() < limit) step();
  ASSERT_EQ(p.testRunning.load(), 0);
  for (int i = 0; i < 40; ++i) step();

  const std::size_t readings = endtoend::readingsOf(inst->loadFile("\\Storage Card\\2026001-P1.krv")).size();
  ASSERT_GT(readings, 5u);
  // The external route: each frame accepted once, and its file gone with all of it sent.
  for (const auto& [bytes, times] : accepted(*box)) frames[bytes] += times;
  EXPECT_EQ(frames.size(), readings);
  for (const auto& [bytes, times] : frames) EXPECT_EQ(times, 1);
  EXPECT_FALSE(std::filesystem::exists(hostOf("2026001-P1.gpsw")));
  // The built-in route: every record still unsent in the test's file.
  const std::string name = "2026001-P1.gps";
  const auto slots = endtoend::queueSlots(hostOf(name));
  ASSERT_EQ(slots.size(), readings);
  for (const std::string& s : slots) ASSERT_EQ(s.substr(0, 4), "GPRS");

  dlg->showWindow(ui::SW_SHOW);
  drv::pump();
  const auto row = [&](const std::string& file) {
    const auto& f = dlg->files();
    return static_cast<int>(std::find(f.begin(), f.end(), file) - f.begin());
  };
  tapRow(*dlg, row(name));
  gprs->setFaults({});
  gprs->clearLog();
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kStartStop));
  for (int i = 0; i < 10; ++i) step();
  ASSERT_TRUE(dlg->sending());
  {
    Answers yes;
    yes.replies = {true};
    tapRow(*dlg, row("y.gps"));
    ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kDelete));
  }
  EXPECT_FALSE(std::filesystem::exists(hostOf("y.gps")));
  while (dlg->sending() && clk::monotonicMs() < limit + 3600ull * 1000) step();
  EXPECT_EQ(drv::text(*dlg, CDaiFaShuJu::kStatus), "内置模块发送完毕！");
  for (int i = 0; i < 100; ++i) step();
  std::map<std::string, int> once;
  for (const std::string& s : slots) once[s] = 1;
  EXPECT_EQ(accepted(*gprs), once);
  EXPECT_FALSE(std::filesystem::exists(hostOf(name)));
  EXPECT_TRUE(dlg->files().empty());
}

}  // namespace
