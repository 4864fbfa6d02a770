#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/datafiles.h"
#include "model/journal.h"
#include "model_fixture.h"
#include "platform/fs/fs.h"

namespace fs = platform::fs;

namespace {

const std::string kGps = "\\Storage Card\\S1.gps";
const std::string kGpsw = "\\Storage Card\\S1.gpsw";

// A 128-byte record: four leading bytes, then a byte pattern.
std::string slot(const std::string& head, int seed) {
  std::string s = head;
  for (int i = 4; i < 128; ++i) s.push_back(static_cast<char>((seed * 31 + i) & 0xFF));
  return s;
}

class QueueFile : public DeviceRoot {
 protected:
  void SetUp() override {
    DeviceRoot::SetUp();
    useMemoryRoot();
    makeFolder("\\Storage Card\\");
    p_.moduleQueuePath = kGps;
    p_.boxQueuePath = kGpsw;
    p_.testRunning = 1;
  }
  void build(const std::string& bytes) { std::memcpy(p_.queueBuild.data(), bytes.data(), 128); }
  std::vector<std::string> queueBytes(int which) {
    std::vector<std::string> out;
    for (const QueueRecord& r : which == 0 ? p_.moduleQueue : p_.boxQueue)
      out.emplace_back(reinterpret_cast<const char*>(r.bytes.data()), 128);
    return out;
  }
  std::vector<std::int64_t> queueSlots(int which) {
    std::vector<std::int64_t> out;
    for (const QueueRecord& r : which == 0 ? p_.moduleQueue : p_.boxQueue) out.push_back(r.slot);
    return out;
  }
  Parameter p_;
};

}  // namespace

TEST_F(QueueFile, AppendGivesSlotsAndAMarkWritesOverOnlyItsFourBytes) {
  std::string expected;
  for (int i = 0; i < 3; ++i) {
    build(slot("GPRS", i));
    std::int64_t s = -5;
    ASSERT_EQ(JDQFile::WriteQueueFile("", 0, 0, p_, &s), 1);
    EXPECT_EQ(s, i);
    expected += slot("GPRS", i);
  }
  ASSERT_EQ(readAll(kGps), expected);

  std::int64_t one = 1;
  ASSERT_EQ(JDQFile::WriteQueueFile("", 1, 0, p_, &one), 1);
  expected.replace(128, 4, "OVER");
  EXPECT_EQ(readAll(kGps), expected);
  EXPECT_FALSE(filejournal::Pending(kGps));

  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, p_), 1);
  EXPECT_EQ(queueBytes(0), (std::vector<std::string>{slot("GPRS", 0), slot("GPRS", 2)}));
  EXPECT_EQ(queueSlots(0), (std::vector<std::int64_t>{0, 2}));
}

TEST_F(QueueFile, MarkingAndReloadSkipOverAndZeroSlots) {
  const std::string file = slot("OVER", 0) + slot("0000", 1) + slot("GPRS", 2) + slot("GPRS", 3);
  writeAll(kGps, file + std::string(50, 'z'));  // a partial slot at the end

  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, p_), 1);
  EXPECT_EQ(queueBytes(0), (std::vector<std::string>{slot("GPRS", 2), slot("GPRS", 3)}));
  EXPECT_EQ(queueSlots(0), (std::vector<std::int64_t>{2, 3}));

  struct Case {
    const char* name;
    std::int64_t slot;
    bool useSlot;
    int markedSlot;  // -1: nothing changes
  };
  const Case cases[] = {
      {"a 0000 slot", 1, true, -1},     {"an OVER slot", 0, true, -1},
      {"beyond the file", 9, true, -1}, {"in memory only", QueueRecord::kNoSlot, true, -1},
      {"the first pending", 0, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAll(kGps, file);
    std::int64_t s = c.slot;
    ASSERT_EQ(JDQFile::WriteQueueFile("", 1, 0, p_, c.useSlot ? &s : nullptr), 1);
    std::string want = file;
    if (c.markedSlot >= 0) want.replace(c.markedSlot * 128, 4, "OVER");
    EXPECT_EQ(readAll(kGps), want);
  }

  // The next append replaces a partial slot instead of following it.
  writeAll(kGps, file + std::string(50, 'z'));
  build(slot("GPRS", 4));
  std::int64_t s = -1;
  ASSERT_EQ(JDQFile::WriteQueueFile("", 0, 0, p_, &s), 1);
  EXPECT_EQ(s, 4);
  EXPECT_EQ(readAll(kGps), file + slot("GPRS", 4));
}

TEST_F(QueueFile, AcknowledgingTheHeadMarksItsOwnSlot) {
  // A "0000" slot ahead of the pending ones must not take the mark of the first acknowledgement.
  writeAll(kGpsw, slot("0000", 0) + slot("\xAA\x04\x01\x02", 1) + slot("\xAA\x04\x01\x03", 2));
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 1, p_), 1);
  build(slot("\xAA\x04\x09\x09", 3));
  ASSERT_EQ(JDQFile::EnqueueRecord(p_, 1), 1);
  EXPECT_EQ(queueSlots(1), (std::vector<std::int64_t>{1, 2, 3}));

  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 1), 1);
  const std::string f = readAll(kGpsw);
  EXPECT_EQ(f.substr(0, 4), "0000");
  EXPECT_EQ(f.substr(128, 4), "OVER");
  EXPECT_EQ(f.substr(256, 4), "\xAA\x04\x01\x03");

  // A record held only in memory marks nothing when it is acknowledged.
  QueueRecord memoryOnly;
  p_.boxQueue.push_front(memoryOnly);
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 1), 1);
  EXPECT_EQ(readAll(kGpsw), f);
  EXPECT_EQ(p_.boxQueue.size(), 2u);
  p_.boxQueue.clear();
  EXPECT_EQ(JDQFile::AcknowledgeHead(p_, 1), 0);  // nothing to acknowledge
}

TEST_F(QueueFile, FileIsDeletedOnceNothingHoldsIt) {
  build(slot("GPRS", 0));
  ASSERT_EQ(JDQFile::EnqueueRecord(p_, 0), 1);
  ASSERT_EQ(JDQFile::EnqueueRecord(p_, 1), 1);
  p_.testRunning = 0;
  // Queue 1 still holds a record: acknowledging queue 0's last one deletes only the .gps file.
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 0), 1);
  EXPECT_FALSE(fs::exists(kGps));
  EXPECT_EQ(p_.moduleQueuePath, "");
  EXPECT_TRUE(fs::exists(kGpsw));
  EXPECT_EQ(JDQFile::WriteQueueFile("", 0, 0, p_), 0);  // no name left to open

  p_.resendHold = 1;  // a re-send holds the file
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 1), 1);
  EXPECT_TRUE(fs::exists(kGpsw));
  p_.resendHold = 0;
  ASSERT_EQ(JDQFile::WriteQueueFile("", 1, 1, p_), 1);
  EXPECT_FALSE(fs::exists(kGpsw));
  EXPECT_EQ(p_.boxQueuePath, "");
}

// A record keeps the file it was written to or read from when the channel's paths move on (a new
// test's set-up, a re-send): its acknowledgement marks its own file, the file named now is neither
// marked nor made, and the record's file goes once all of it is sent while the new one stays named. A
// file deleted meanwhile is not made again.
TEST_F(QueueFile, AnAcknowledgementMarksTheRecordsOwnFile) {
  p_.testRunning = 0;  // the test has ended; its records wait in memory
  writeAll(kGps, slot("OVER", 0) + slot("GPRS", 1));
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, p_), 1);
  build(slot("GPRS", 2));
  ASSERT_EQ(JDQFile::EnqueueRecord(p_, 0), 1);
  ASSERT_EQ(p_.moduleQueue.size(), 2u);
  EXPECT_EQ(p_.moduleQueue[0].file, kGps);
  EXPECT_EQ(p_.moduleQueue[1].file, kGps);
  const std::string next = "\\Storage Card\\S2.gps";
  p_.moduleQueuePath = next;

  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 0), 1);
  EXPECT_EQ(readAll(kGps), slot("OVER", 0) + slot("OVER", 1) + slot("GPRS", 2));
  EXPECT_FALSE(fs::exists(next));
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 0), 1);
  EXPECT_FALSE(fs::exists(kGps));
  EXPECT_FALSE(fs::exists(next));
  EXPECT_EQ(p_.moduleQueuePath, next);

  writeAll(kGpsw, slot("GPRS", 3));
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 1, p_), 1);
  fs::deleteFile(kGpsw);
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 1), 1);
  EXPECT_FALSE(fs::exists(kGpsw));
}

// A refusal drops the records from memory only: the file that still holds them outlives the test.
TEST_F(QueueFile, AQueueDroppedFromMemoryKeepsItsUnsentFile) {
  build(slot("GPRS", 0));
  ASSERT_EQ(JDQFile::EnqueueRecord(p_, 0), 1);
  build(slot("GPRS", 1));
  ASSERT_EQ(JDQFile::EnqueueRecord(p_, 0), 1);
  p_.testRunning = 0;
  p_.moduleQueue.clear();
  std::int64_t none = QueueRecord::kNoSlot;
  ASSERT_EQ(JDQFile::WriteQueueFile("", 1, 0, p_, &none), 1);
  EXPECT_TRUE(fs::exists(kGps));
  ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, p_), 1);
  EXPECT_EQ(queueBytes(0), (std::vector<std::string>{slot("GPRS", 0), slot("GPRS", 1)}));
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 0), 1);
  EXPECT_TRUE(fs::exists(kGps));
  ASSERT_EQ(JDQFile::AcknowledgeHead(p_, 0), 1);
  EXPECT_FALSE(fs::exists(kGps));  // every slot sent
}

TEST_F(QueueFile, FailuresLeaveTheQueueAsItWas) {
  p_.moduleQueue.push_back(QueueRecord{});
  EXPECT_EQ(JDQFile::LoadQueueFile("", 0, 0, p_), 0);  // no file
  EXPECT_EQ(p_.moduleQueue.size(), 1u);
  p_.moduleQueuePath = "\\No Card\\S1.gps";
  EXPECT_EQ(JDQFile::WriteQueueFile("", 0, 0, p_), 0);
  EXPECT_EQ(JDQFile::WriteQueueFile("", 0, 2, p_), 0);  // no such queue
}

// A power cut at every step of a mark and of an append: a reload never loses or garbles a record.
TEST_F(QueueFile, PowerCutNeverTearsAMarkOrAnEarlierSlot) {
  const std::string file = slot("GPRS", 0) + slot("GPRS", 1);
  struct Op {
    const char* name;
    int mode;
    std::vector<std::string> before, after;  // pending records on reload
  };
  const Op ops[] = {
      {"mark", 1, {slot("GPRS", 0), slot("GPRS", 1)}, {slot("GPRS", 1)}},
      {"append", 0, {slot("GPRS", 0), slot("GPRS", 1)}, {slot("GPRS", 0), slot("GPRS", 1), slot("GPRS", 2)}},
  };
  fs::FaultBackend fault;
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    build(slot("GPRS", 2));
    writeAll(kGps, file);
    long long total = 0;
    {
      fs::ScopedBackend use(fault);
      fault.restorePower();
      fault.cutPowerAfter(1LL << 40);
      std::int64_t s = 0;
      JDQFile::WriteQueueFile("", op.mode, 0, p_, &s);
      total = fault.steps();
    }
    ASSERT_GT(total, 4);
    for (long long cut = 0; cut <= total; ++cut) {
      SCOPED_TRACE(cut);
      fs::deleteFile(kGps + ".jnl");
      writeAll(kGps, file);
      {
        fs::ScopedBackend use(fault);
        fault.restorePower();
        fault.cutPowerAfter(cut);
        std::int64_t s = 0;
        JDQFile::WriteQueueFile("", op.mode, 0, p_, &s);
        fault.restorePower();
      }
      ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, p_), 1);
      const std::vector<std::string> got = queueBytes(0);
      ASSERT_TRUE(got == op.before || got == op.after);
    }
  }
}

// The recorder queues records while the uploader acknowledges them: every acknowledged record is marked
// in its own slot and nothing is lost or marked twice.
TEST_F(QueueFile, RecorderAndUploaderShareTheQueue) {
  constexpr int kRecords = 60;
  std::thread uploader([this] {
    int acknowledged = 0;
    while (acknowledged < kRecords) {
      if (JDQFile::AcknowledgeHead(p_, 0) == 1) {
        ++acknowledged;
      } else {
        std::this_thread::yield();
      }
    }
  });
  for (int i = 0; i < kRecords; ++i) {
    {
      std::lock_guard<std::mutex> lock(p_.queueLock);
      std::memcpy(p_.queueBuild.data(), slot("GPRS", i).data(), 128);
    }
    ASSERT_EQ(JDQFile::EnqueueRecord(p_, 0), 1);
  }
  uploader.join();
  const std::string file = readAll(kGps);
  ASSERT_EQ(file.size(), kRecords * 128u);
  for (int i = 0; i < kRecords; ++i) {
    EXPECT_EQ(file.substr(i * 128, 4), "OVER") << i;
    EXPECT_EQ(file.substr(i * 128 + 4, 124), slot("GPRS", i).substr(4)) << i;
  }
  EXPECT_TRUE(p_.moduleQueue.empty());
}
