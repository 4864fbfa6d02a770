// The replies of the two modules, decided on the link with its ports closed (the senders' writes
// fail, but they still record what is outstanding).
#include <gtest/gtest.h>

#include <cmath>

#include "link_fixture.h"
#include "platform/text/text.h"
#include "upload/wire_number.h"

namespace uploadtest {
namespace {

class Replies : public LinkFixture {
 protected:
  void SetUp() override {
    LinkFixture::SetUp();
    link = std::make_unique<upload::UploadLink>(ch(1), ch(2), ch(3), false);
  }
  int gprsReply(const std::string& block) {
    std::string z = block + '\0';
    return link->ParseGprsReply(reinterpret_cast<const std::uint8_t*>(z.data()), block.size());
  }
  int boxReply(const std::string& block) {
    std::string z = block + '\0';
    return link->ParsePlatformReply(reinterpret_cast<const std::uint8_t*>(z.data()), block.size());
  }
};

// Channel 2 waits for the answer to its oldest record; each answer of the module, as the table of the
// built-in route has it.
TEST_F(Replies, GprsAnswersToARecord) {
  struct Row {
    const char* name;
    std::string block;
    int status;
    std::size_t left;      // records of channel 2 in memory afterwards
    bool marked;           // slot 0 of the file "OVER"
    bool waiting;          // the route still waits for an answer
    const char* message;
    const char* prefixed;
  } rows[] = {
      {"not registered", "\x03", 3, 2, false, false, "", ""},
      {"dropped", "\x04", 4, 0, false, false, "", ""},
      {"not filed", "\x07", 7, 0, false, false, "", ""},
      {"accepted", "\x02", 2, 1, true, false, "", ""},
      {"message", "GPRSOKOVER", 1000, 1, true, false, "OK", "2#试验OK"},
      {"Chinese message", platform::text::utf8ToGbk("GPRS数据已接收OVER"), 1000, 1, true, false, "数据已接收",
       "2#试验数据已接收"},
      {"shortest message", "GPRSOVER", 1000, 1, true, false, "", "2#试验"},
      {"unknown text", "hello", 0, 2, false, true, "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TearDown();
    SetUp();
    setRoute(0);
    enqueue(2, 0, 1);
    enqueue(2, 0, 2);
    EXPECT_EQ(link->SendQueuedRecord(), 0);  // no port
    EXPECT_EQ(link->currentBuiltIn(), 2);
    EXPECT_EQ(ch(2).moduleReady.load(), 0);
    gprsReply(r.block);
    Parameter& p = ch(2);
    EXPECT_EQ(p.uploadStatus.load(), r.status);
    EXPECT_EQ(queued(2, 0), r.left);
    const auto s = slots(2, 0);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].substr(0, 4) == "OVER", r.marked);
    EXPECT_EQ(s[0].substr(4), text(record(1)).substr(4));  // only the mark is written
    EXPECT_EQ(s[1], text(record(2)));
    EXPECT_EQ(p.moduleReady.load() == 0, r.waiting);
    EXPECT_EQ(link->currentBuiltIn(), r.waiting ? 2 : 0);
    EXPECT_EQ(p.uploadMessage.get(), r.message);
    EXPECT_EQ(p.uploadMessagePrefixed.get(), r.prefixed);
  }
}

// An answer while nothing is outstanding changes nothing; "ok" and "no" only set the module's answer.
TEST_F(Replies, AnswersThatFindNothingOutstanding) {
  setRoute(0);
  enqueue(1, 0, 1);
  EXPECT_EQ(gprsReply("\x02"), 0);
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(ch(1).uploadStatus.load(), 0);
  link->SendQueuedRecord();
  for (const char* t : {"OK", "ok", "Ok"}) {
    EXPECT_EQ(gprsReply(t), 1);
    EXPECT_EQ(link->moduleAnswer(), 1);
    EXPECT_EQ(gprsReply("NO"), 1);
    EXPECT_EQ(link->moduleAnswer(), 0);
  }
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(link->currentBuiltIn(), 1);
  gprsReply("\x02");
  EXPECT_EQ(queued(1, 0), 0u);
  // A second acceptance finds the route ready: the next record stays.
  enqueue(1, 0, 2);
  EXPECT_EQ(gprsReply("\x02"), 0);
  EXPECT_EQ(queued(1, 0), 1u);
}

// Position lines: "$GPRMC" with status "A" and at least six fields sets the position of all three
// channels; anything else leaves it.
TEST_F(Replies, PositionLines) {
  struct Row {
    const char* line;
    bool taken;
    double latitude, longitude;
  } rows[] = {
      {"$GPRMC,080000.000,A,3150.7800,N,11711.9300,E,0.00,0.00,010126,,,A*6B\r\n", true, 31.846333, 117.198833},
      {"$GPRMC,080000.000,A,3150.7800,S,11711.9300,W,0.00,0.00,010126,,,A*6B\r\n", true, -31.846333, -117.198833},
      {"$GPRMC,080000.000,A,3150.7800,N,11711.9300", true, 31.846333, 117.198833},  // no hemisphere field
      {"$GPRMC,080000.000,A,,N,,E,0.00", true, 0.0, 0.0},
      {"$GPRMC,080000.000,V,3150.7800,N,11711.9300,E,0.00,0.00,010126,,,N*7C", false, 0, 0},
      {"$GPGGA,080000.000,3150.7800,N,11711.9300,E,1,08", false, 0, 0},
      {"$GPRMC,080000.000,A,3150.7800,N", false, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.line);
    for (int n = 1; n <= 3; ++n) {
      ch(n).latitude = 1.5f;
      ch(n).longitude = 2.5f;
    }
    gprsReply(r.line);
    for (int n = 1; n <= 3; ++n) {
      EXPECT_NEAR(ch(n).latitude.load(), r.taken ? r.latitude : 1.5, 1e-4);
      EXPECT_NEAR(ch(n).longitude.load(), r.taken ? r.longitude : 2.5, 1e-4);
    }
  }
  EXPECT_TRUE(link->gpsValid());
}

// The external module: one byte decides; any block but 0x03, 0x04 and 0x07 accepts.
TEST_F(Replies, ExternalAnswers) {
  struct Row {
    std::string block;
    int status;
    std::size_t left;
    bool marked;
    int other;  // counted as an acceptance that was not 0x02
  } rows[] = {
      {"\x03", 13, 2, false, 0},    {"\x04", 14, 0, false, 0}, {"\x07", 17, 0, false, 0},
      {"\x02", 12, 1, true, 0},     {"$ZRACK|401|*", 12, 1, true, 1},
      {std::string(1, '\0'), 12, 1, true, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(r.block[0])));
    TearDown();
    SetUp();
    setRoute(2);
    enqueue(3, 1, 1);
    enqueue(3, 1, 2);
    link->SendQueuedFrame();
    EXPECT_EQ(link->currentBox(), 3);
    boxReply(r.block);
    EXPECT_EQ(ch(3).boxStatus.load(), r.status);
    EXPECT_EQ(ch(3).uploadStatus.load(), 0);  // the built-in route keeps its own
    EXPECT_EQ(queued(3, 1), r.left);
    const auto s = slots(3, 1);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].substr(0, 4) == "OVER", r.marked);
    EXPECT_EQ(s[1], text(record(2)));
    EXPECT_EQ(ch(3).boxReady.load(), 1);
    EXPECT_EQ(link->otherAcceptances(), static_cast<std::uint64_t>(r.other));
    EXPECT_EQ(link->currentBox(), 3);  // the external parser leaves it
  }
}

// An acceptance marks the very record that was written: after a refusal dropped two records from
// memory (their slots stay unsent), the next record's acceptance marks its own slot, not the first
// unsent one.
TEST_F(Replies, AnAcceptanceMarksTheRecordThatWasWritten) {
  setRoute(0);
  enqueue(1, 0, 1);
  enqueue(1, 0, 2);
  link->SendQueuedRecord();
  gprsReply("\x04");
  EXPECT_EQ(queued(1, 0), 0u);
  enqueue(1, 0, 3);
  link->SendQueuedRecord();
  gprsReply("\x02");
  const auto s = slots(1, 0);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0], text(record(1)));
  EXPECT_EQ(s[1], text(record(2)));
  EXPECT_EQ(s[2].substr(0, 4), "OVER");
  // After the test the file outlives it, with its two unsent records.
  ch(1).testRunning = 0;
  std::int64_t none = QueueRecord::kNoSlot;
  JDQFile::WriteQueueFile("", 1, 0, ch(1), &none);
  EXPECT_EQ(slots(1, 0).size(), 3u);
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, ch(1)), 1);
  EXPECT_EQ(queued(1, 0), 2u);
}

// The module test: its request (held in memory, behind the channel's records) ends with the module's
// answer or after 13 unanswered cycles, and only the request leaves the queue.
TEST_F(Replies, TheEndOfAModuleTestTakesOnlyItsRequest) {
  setRoute(0);
  auto request = [&] {
    QueueRecord q;
    q.bytes.fill(0xFF);
    q.bytes[40] = q.bytes[41] = 0x99;
    q.moduleTest = true;
    std::lock_guard<std::mutex> lock(ch(1).queueLock);
    ch(1).moduleQueue.push_back(q);
    ch(1).moduleTestRequest = 1;
  };
  for (const char* answer : {"\x04", "\x03", "\x07"}) {
    SCOPED_TRACE(static_cast<int>(answer[0]));
    TearDown();
    SetUp();
    setRoute(0);
    enqueue(1, 0, 1);
    enqueue(1, 0, 2);
    request();
    link->SendQueuedRecord();
    gprsReply(answer);
    EXPECT_EQ(ch(1).uploadStatus.load(), answer[0]);
    EXPECT_EQ(ch(1).moduleTestRequest.load(), 0);
    EXPECT_EQ(queued(1, 0), 2u);
    EXPECT_EQ(slots(1, 0), (std::vector<std::string>{text(record(1)), text(record(2))}));
  }
  // No answer: status 6 after 13 cycles, the records stay.
  TearDown();
  SetUp();
  setRoute(0);
  enqueue(1, 0, 1);
  request();
  for (int c = 0; c < 13; ++c) link->RunCycle();
  EXPECT_EQ(ch(1).uploadStatus.load(), 0);
  link->RunCycle();
  EXPECT_EQ(ch(1).uploadStatus.load(), 6);
  EXPECT_EQ(ch(1).moduleTestRequest.load(), 0);
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(ch(1).moduleReady.load(), 1);
  // An accepted module test marks no slot.
  TearDown();
  SetUp();
  setRoute(0);
  request();  // first in the queue
  enqueue(1, 0, 1);
  link->SendQueuedRecord();
  gprsReply("\x02");
  EXPECT_EQ(queued(1, 0), 1u);
  EXPECT_EQ(slots(1, 0), std::vector<std::string>{text(record(1))});
  EXPECT_EQ(ch(1).moduleTestRequest.load(), 0);
}

// A block of the external module beginning 0x55 queues exactly one answer frame on channel 1, and only
// while channel 1's route serves the external module.
TEST_F(Replies, TheModulesRequestQueuesOneAnswerFrame) {
  const std::string block = std::string("\x55\x02\x03", 3) + std::string(60, '\x55');
  for (int route : {0, 1, 2, 3}) {
    SCOPED_TRACE(route);
    TearDown();
    SetUp();
    setRoute(route);
    link->OnBoxBlock(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
    const bool served = route == 2 || route == 3;
    ASSERT_EQ(queued(1, 1), served ? 1u : 0u);
    if (served) {
      std::lock_guard<std::mutex> lock(ch(1).queueLock);
      const auto frame = FixedAnswerFrame();
      EXPECT_TRUE(std::equal(frame.begin(), frame.end(), ch(1).boxQueue.front().bytes.begin()));
      EXPECT_EQ(ch(1).boxQueue.front().slot, QueueRecord::kNoSlot);
    }
    EXPECT_TRUE(slots(1, 1).empty());
  }
}

TEST(NmeaDegrees, FieldsOfPositionLines) {
  EXPECT_NEAR(upload::NmeaDegrees("3150.7800"), 31.846333, 1e-6);
  EXPECT_NEAR(upload::NmeaDegrees("11711.9300"), 117.198833, 1e-6);
  EXPECT_EQ(upload::NmeaDegrees(""), 0.0);
  EXPECT_EQ(upload::NmeaDegrees("abc"), 0.0);
  EXPECT_EQ(upload::GprsPortName(1), "COM4");
  EXPECT_EQ(upload::BoxPortName(1), "COM3");
  EXPECT_EQ(upload::GprsPortName(0), "COM3");
  EXPECT_EQ(upload::BoxPortName(0), "COM4");
}

}  // namespace
}  // namespace uploadtest
