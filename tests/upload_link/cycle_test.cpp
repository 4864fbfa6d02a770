// The upload cycle over pseudo-terminals against the simulated modules, on the manual clock.
#include <gtest/gtest.h>

#include <string>

#include "link_fixture.h"
#include "setup/test_identity.h"
#include "upload/wire_number.h"

namespace uploadtest {
namespace {

using sim::ModuleCommand;

class Cycle : public LinkFixture {};

// The upload thread itself: a record queued while the route is ready is on the wire within 5 s, is
// accepted and marked; the external route likewise.
TEST_F(Cycle, ARecordLeavesWithinOneCycleOfTheThread) {
  open(true);
  settle();  // the first cycle ran at the start with nothing to send
  enqueue(2, 0, 7);
  enqueue(3, 1, 8);
  clk::advance(upload::UploadLink::kCycleMs);
  settle();
  ASSERT_EQ(gprs->records(), std::vector<std::string>{text(record(7))});
  ASSERT_EQ(box->records(), std::vector<std::string>{text(record(8))});
  EXPECT_EQ(queued(2, 0), 0u);
  EXPECT_EQ(queued(3, 1), 0u);
  EXPECT_EQ(slots(2, 0)[0].substr(0, 4), "OVER");
  EXPECT_EQ(slots(3, 1)[0].substr(0, 4), "OVER");
  EXPECT_EQ(ch(2).uploadStatus.load(), 2);
  EXPECT_EQ(ch(3).boxStatus.load(), 12);
  link->Close();
  EXPECT_FALSE(link->uploadRunning());
}

// A silent module: the same 128 bytes go again on the 13th cycle after they were sent, then every 13
// cycles; the route shows status 5 (15 for the external module) meanwhile. When the module answers
// again, the record is accepted and the next one follows.
TEST_F(Cycle, SilenceSendsTheSameRecordEveryThirteenCycles) {
  open();
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  box->setFaults(silent);
  enqueue(1, 0, 1);
  enqueue(1, 0, 2);
  enqueue(2, 1, 3);
  std::vector<int> gprsAt, boxAt;
  for (int c = 1; c <= 40; ++c) {
    const std::size_t g = gprs->records().size(), b = box->records().size();
    cycle();
    if (gprs->records().size() > g) gprsAt.push_back(c);
    if (box->records().size() > b) boxAt.push_back(c);
    if (c >= 2) {
      EXPECT_EQ(ch(1).uploadStatus.load(), 5);
      EXPECT_EQ(ch(2).boxStatus.load(), 15);
    }
  }
  EXPECT_EQ(gprsAt, (std::vector<int>{1, 14, 27, 40}));
  EXPECT_EQ(boxAt, (std::vector<int>{1, 14, 27, 40}));
  for (const std::string& r : gprs->records()) EXPECT_EQ(r, text(record(1)));
  for (const std::string& r : box->records()) EXPECT_EQ(r, text(record(3)));
  EXPECT_EQ(queued(1, 0), 2u);

  gprs->setFaults({});
  box->setFaults({});
  cycles(13);
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(queued(2, 1), 0u);
  cycle();
  EXPECT_EQ(queued(1, 0), 0u);
  EXPECT_EQ(gprs->records().back(), text(record(2)));
  for (const auto& s : slots(1, 0)) EXPECT_EQ(s.substr(0, 4), "OVER");
}

// The position query: "AT+GPS?" after 12 cycles in a row with every built-in queue empty, and only
// when the flag is set; a queued record holds the count where it is.
TEST_F(Cycle, PositionQueryAfterTwelveIdleCycles) {
  open();
  gprs->setPosition(22.5, -113.25);
  ch(1).gpsQueryRequest = 1;
  cycles(11);
  EXPECT_TRUE(receivedOf(*gprs, ModuleCommand::Gps).empty());
  EXPECT_EQ(link->gpsCounter(), 11);
  enqueue(2, 0, 1);  // a record: sent at once, then the queue is empty again
  cycle();
  EXPECT_EQ(link->gpsCounter(), 11);
  cycle();
  ASSERT_EQ(receivedOf(*gprs, ModuleCommand::Gps).size(), 1u);
  EXPECT_EQ(receivedOf(*gprs, ModuleCommand::Gps)[0].bytes, "AT+GPS?");
  EXPECT_EQ(ch(1).gpsQueryRequest.load(), 0);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_NEAR(ch(n).latitude.load(), 22.5, 1e-4);
    EXPECT_NEAR(ch(n).longitude.load(), -113.25, 1e-4);
  }
  // Without the flag, 12 more cycles write nothing.
  cycles(12);
  EXPECT_EQ(receivedOf(*gprs, ModuleCommand::Gps).size(), 1u);
  ch(1).gpsQueryRequest = 1;
  cycles(12);
  EXPECT_EQ(receivedOf(*gprs, ModuleCommand::Gps).size(), 2u);
}

// With no remote transmission nothing at all is written, whatever waits.
TEST_F(Cycle, NoRouteWritesNothing) {
  setRoute(1);
  open();
  enqueue(1, 0, 1);
  enqueue(2, 1, 2);
  ch(1).gpsQueryRequest = 1;
  ch(1).imeiRequest = 1;
  cycles(30);
  ch(1).imeiRequest = 0;
  ch(1).signalRequest = 1;
  cycles(5);
  EXPECT_EQ(link->gprsBytesWritten(), 0u);
  EXPECT_EQ(link->boxBytesWritten(), 0u);
  EXPECT_TRUE(gprs->received().empty());
  EXPECT_TRUE(box->received().empty());
}

// The IMEI and signal queries: their exact bytes, the texts they bring, and the built-in route silent
// while the signal flag is set.
TEST_F(Cycle, ModuleQueries) {
  setRoute(0);
  open();
  ch(1).imeiRequest = 1;
  cycle();
  auto imei = receivedOf(*gprs, ModuleCommand::Imei);
  ASSERT_EQ(imei.size(), 1u);
  EXPECT_EQ(imei[0].bytes, std::string("AT+IMEI\r"));
  EXPECT_EQ(ch(1).imeiRequest.load(), 0);
  EXPECT_EQ(ch(1).imeiText.get(), "861234567890123");

  gprs->setSignal(17);
  ch(1).signalRequest = 1;
  enqueue(1, 0, 1);
  cycle();  // the query goes first; the record waits for the next cycle
  auto csq = receivedOf(*gprs, ModuleCommand::Signal);
  ASSERT_EQ(csq.size(), 1u);
  EXPECT_EQ(csq[0].bytes, "AT+CSQ?");
  EXPECT_TRUE(gprs->records().empty());
  EXPECT_EQ(ch(1).signalText.get(), "17");
  EXPECT_EQ(ch(1).signalRequest.load(), 0);
  cycle();
  EXPECT_EQ(gprs->records().size(), 1u);

  // Short answers give what is there.
  struct Row {
    const char* imei;
    int csq;
    const char* imeiText;
    const char* csqText;
  } rows[] = {{"8612", 5, "8612", "5,"}, {"", 99, "", "99"}};
  for (const Row& r : rows) {
    gprs->setImei(r.imei);
    gprs->setSignal(r.csq);
    ch(1).imeiRequest = 1;
    ch(1).signalRequest = 1;
    cycles(2);
    EXPECT_EQ(ch(1).imeiText.get(), r.imeiText);
    EXPECT_EQ(ch(1).signalText.get(), r.csqText);
  }
}

// A silent module: the queries are given up after 2 (IMEI) and 3 (signal) cycles, also when a record
// is outstanding and both flags are set, and the records move on afterwards.
TEST_F(Cycle, QueriesAreGivenUpAndNeverStallTheRoute) {
  setRoute(0);
  open();
  sim::ModuleFaults silent;
  silent.silent = -1;
  gprs->setFaults(silent);
  enqueue(2, 0, 1);
  cycle();  // channel 2's record is outstanding
  ch(1).imeiRequest = 1;
  ch(1).imeiText = "old";
  ch(1).signalRequest = 1;
  cycles(2);
  EXPECT_EQ(ch(1).imeiRequest.load(), 0);
  EXPECT_EQ(ch(1).imeiText.get(), "");
  cycles(3);
  EXPECT_EQ(ch(1).signalRequest.load(), 0);
  EXPECT_TRUE(receivedOf(*gprs, ModuleCommand::Imei).empty());  // never written over the record
  EXPECT_TRUE(receivedOf(*gprs, ModuleCommand::Signal).empty());
  gprs->setFaults({});
  cycles(13);
  EXPECT_EQ(queued(2, 0), 0u);
  EXPECT_EQ(gprs->records().size(), 2u);  // sent, then once again after 13 cycles of waiting
}

// The module's own request: the answer frame goes at once after it is written, with status 12, and
// leaves no mark in any file.
TEST_F(Cycle, TheAnswerFrameLeavesAtOnce) {
  setRoute(2);
  open();
  box->sendRequest();
  settle();
  EXPECT_EQ(queued(1, 1), 1u);
  cycle();
  const auto frames = receivedOf(*box, ModuleCommand::AnswerFrame);
  ASSERT_EQ(frames.size(), 1u);
  const auto expect = FixedAnswerFrame();
  EXPECT_EQ(frames[0].bytes, std::string(expect.begin(), expect.end()));
  EXPECT_EQ(queued(1, 1), 0u);
  EXPECT_EQ(ch(1).boxStatus.load(), 12);
  EXPECT_EQ(ch(1).answerSent.load(), 1);
  EXPECT_TRUE(slots(1, 1).empty());
  // The next frame waits for its own answer.
  enqueue(1, 1, 4);
  cycle();
  EXPECT_EQ(queued(1, 1), 0u);
  EXPECT_EQ(slots(1, 1)[0].substr(0, 4), "OVER");
  EXPECT_EQ(ch(1).answerSent.load(), 0);
}

// Faults of the answers: two answers merged in one block accept one record; an over-long text is not
// taken and the record goes again; an over-long external answer accepts once; a late answer within
// the cycle is taken.
TEST_F(Cycle, MergedOverLongAndLateAnswers) {
  open();
  sim::ModuleFaults merged;
  merged.merged = 1;
  gprs->setFaults(merged);
  box->setFaults(merged);
  enqueue(1, 0, 1);
  enqueue(1, 0, 2);
  enqueue(1, 1, 3);
  enqueue(1, 1, 4);
  cycle();
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(queued(1, 1), 1u);
  EXPECT_EQ(slots(1, 0)[1], text(record(2)));
  EXPECT_EQ(slots(1, 1)[1], text(record(4)));

  sim::ModuleFaults longer;
  longer.overLong = 1;
  gprs->setTextReplies(true, "OK");
  gprs->setFaults(longer);
  box->setFaults(longer);
  enqueue(1, 1, 5);
  cycle();
  EXPECT_EQ(queued(1, 0), 1u);  // not taken: waits
  EXPECT_EQ(ch(1).moduleReady.load(), 0);
  EXPECT_EQ(queued(1, 1), 1u);  // record 4 accepted once; record 5 not by the rest of the line
  EXPECT_EQ(slots(1, 1)[2], text(record(5)));
  cycles(13);
  EXPECT_EQ(queued(1, 0), 0u);
  EXPECT_EQ(ch(1).uploadStatus.load(), 1000);
  EXPECT_EQ(ch(1).uploadMessagePrefixed.get(), "1#试验OK");

  sim::ModuleFaults late;
  late.late = 1;
  late.lateMs = 3000;
  box->setFaults(late);
  enqueue(1, 1, 6);
  cycle();
  EXPECT_EQ(queued(1, 1), 0u);
}

// A refusal drops the route's records from memory and leaves them unsent in the file; later records
// go on, each marking its own slot.
TEST_F(Cycle, RefusalsKeepTheFile) {
  for (std::uint8_t code : {std::uint8_t{0x04}, std::uint8_t{0x07}, std::uint8_t{0x03}}) {
    SCOPED_TRACE(static_cast<int>(code));
    TearDown();
    SetUp();
    open();
    sim::ModuleFaults refuse;
    refuse.refuse = 1;
    refuse.refuseCode = code;
    gprs->setFaults(refuse);
    box->setFaults(refuse);
    enqueue(3, 0, 1);
    enqueue(3, 0, 2);
    enqueue(3, 1, 3);
    cycle();
    EXPECT_EQ(ch(3).uploadStatus.load(), code);
    EXPECT_EQ(ch(3).boxStatus.load(), code + 10);
    const std::size_t left = code == 0x03 ? 2u : 0u;
    EXPECT_EQ(queued(3, 0), left);
    enqueue(3, 0, 4);
    cycles(3);
    EXPECT_EQ(queued(3, 0), 0u);
    const auto s = slots(3, 0);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].substr(0, 4) == "OVER", code == 0x03);
    EXPECT_EQ(s[1].substr(0, 4) == "OVER", code == 0x03);
    EXPECT_EQ(s[2].substr(0, 4), "OVER");
  }
}

// The records of a test that ended are still queued when the next test is set up, which names new
// queue files: each acceptance marks the ended test's file (one record outstanding at the set-up, the
// others written after it), that file goes once all its records are marked, and the new test's files
// are neither marked nor made. No record is accepted twice.
TEST_F(Cycle, AcceptancesAfterANewSetUpMarkTheEndedTestsFile) {
  open();
  Parameter& p = ch(1);
  p.testRunning = 0;  // the test ended by itself; its queues stay in memory
  std::map<std::string, int> expectedGprs, expectedBox;
  for (int k = 0; k < 3; ++k) {
    enqueue(1, 0, k);
    enqueue(1, 1, 10 + k);
    expectedGprs[text(record(k))] = 1;
    expectedBox[text(record(10 + k))] = 1;
  }
  sim::ModuleFaults silent;
  silent.silent = 1;
  gprs->setFaults(silent);
  box->setFaults(silent);
  cycle();  // the first record of each route is outstanding, unanswered

  p.fileLoaded = 1;
  p.testType = 1;
  p.standardCode = 5;
  TestIdentityEntry e;
  e.serial = "2026002";
  e.pile = "P2";
  e.gauges[0] = true;
  ASSERT_TRUE(CommitTestIdentity(p, e, 3.0f).accepted);
  std::string newGps, newGpsw;
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    newGps = p.moduleQueuePath;
    newGpsw = p.boxQueuePath;
  }
  ASSERT_EQ(newGps, "\\Storage Card\\2026002-P2.gps");

  cycles(20);
  EXPECT_EQ(queued(1, 0), 0u);
  EXPECT_EQ(queued(1, 1), 0u);
  EXPECT_EQ(accepted(*gprs), expectedGprs);
  EXPECT_EQ(accepted(*box), expectedBox);
  for (const std::string& f : {std::string("\\Storage Card\\C1.gps"), std::string("\\Storage Card\\C1.gpsw"), newGps, newGpsw})
    EXPECT_FALSE(platform::fs::exists(f)) << f;
}

// One record that the module never answers (a damaged slot of channel 2's queue file, pending by the
// reload rule, loaded as a restart loads it) holds up no other channel: once it went unanswered
// through its resend, the records of channels 1 and 3 go before it is tried again. It stays first in
// its queue and pending in its file; nothing of channel 2 is dropped.
TEST_F(Cycle, ARecordNeverAnsweredHoldsUpNoOtherChannel) {
  for (int which : {0, 1}) {
    SCOPED_TRACE(which);
    TearDown();
    SetUp();
    open();
    const std::string damaged(128, '\0');
    const std::string file = "\\Storage Card\\C2" + std::string(which == 0 ? ".gps" : ".gpsw");
    ASSERT_TRUE(platform::fs::writeFile(file, damaged + text(record(20)) + text(record(21))));
    ASSERT_EQ(JDQFile::LoadQueueFile("2", 1, which, ch(2)), 1);
    std::map<std::string, int> expected;
    for (int k = 0; k < 4; ++k) {
      enqueue(1, which, k);
      enqueue(3, which, 10 + k);
      expected[text(record(k))] = 1;
      expected[text(record(10 + k))] = 1;
    }
    sim::ModuleSimulator& module = which == 0 ? static_cast<sim::ModuleSimulator&>(*gprs) : *box;
    // The module takes the damaged record for noise: 128 bytes it drops without an answer.
    int triesWhenOthersDone = -1;
    for (int c = 0; c < 60; ++c) {
      cycle();
      if (triesWhenOthersDone < 0 && queued(1, which) == 0 && queued(3, which) == 0)
        triesWhenOthersDone = module.garbledBytes() / 128;
    }
    EXPECT_EQ(queued(1, which), 0u);
    EXPECT_EQ(queued(3, which), 0u);
    EXPECT_EQ(accepted(module), expected);
    for (int n : {1, 3})
      for (const std::string& s : slots(n, which)) EXPECT_EQ(s.substr(0, 4), "OVER") << n;
    // Channel 2's record was tried again after the others had gone, and waits on.
    EXPECT_GE(triesWhenOthersDone, 2);
    EXPECT_GT(module.garbledBytes() / 128, triesWhenOthersDone);
    EXPECT_EQ(queued(2, which), 3u);
    EXPECT_EQ(slots(2, which), (std::vector<std::string>{damaged, text(record(20)), text(record(21))}));
  }
}

// A module whose port goes away: its reader stops reading (it does not spin) and the link closes.
TEST_F(Cycle, AVanishedPortEndsItsReader) {
  open();
  enqueue(1, 0, 1);
  cycle();
  gprs.reset();
  box.reset();
  const std::uint64_t before = link->gprsBlocks() + link->boxBlocks();
  cycles(3);
  EXPECT_EQ(link->gprsBlocks() + link->boxBlocks(), before);
  EXPECT_EQ(clk::sleepers(), 0);  // no reader waits to look again
  link->Close();
}

}  // namespace
}  // namespace uploadtest
