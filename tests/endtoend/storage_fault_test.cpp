// Readings that the storage does not take: the SD card turns read-only, then full, then writable again
// while a test runs against a simulated pile. The first lost reading raises the alarm and the storage
// prompt at once; once the card takes writes again the test file and its copy hold every reading, byte
// for byte as the instrument holds them, and each upload queue holds each reading once.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <functional>
#include <set>
#include <string>

#include "platform/fs/fs.h"
#include "tests/endtoend/instrument.h"

using namespace endtoend;
namespace fs = platform::fs;

namespace {

// The SD card of a device root as a failing card: read-only (every open for writing and every new
// entry refused) or full (every write refused).
class FailingCard : public fs::FaultBackend {
 public:
  enum class State { Good, ReadOnly, Full };
  explicit FailingCard(std::filesystem::path card) : card_(std::move(card)) {}
  State state = State::Good;

  int open(const std::filesystem::path& p, int flags, fs::Error& err) override {
    const bool writes = (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
    if (onCard(p) && writes && state == State::ReadOnly) {
      err = fs::Error::AccessDenied;
      return -1;
    }
    const int fd = FaultBackend::open(p, flags, err);
    if (fd >= 0 && onCard(p)) cardFds_.insert(fd);
    return fd;
  }
  bool close(int fd, fs::Error& err) override {
    cardFds_.erase(fd);
    return FaultBackend::close(fd, err);
  }
  long long write(int fd, const void* buf, std::size_t n, fs::Error& err) override {
    if (cardFds_.count(fd) != 0 && state != State::Good) {
      err = state == State::Full ? fs::Error::DiskFull : fs::Error::AccessDenied;
      return -1;
    }
    return FaultBackend::write(fd, buf, n, err);
  }
  bool rename(const std::filesystem::path& from, const std::filesystem::path& to, fs::Error& err) override {
    if ((onCard(from) || onCard(to)) && state == State::ReadOnly) {
      err = fs::Error::AccessDenied;
      return false;
    }
    return FaultBackend::rename(from, to, err);
  }
  bool makeFolder(const std::filesystem::path& p, fs::Error& err) override {
    if (onCard(p) && state != State::Good) {
      err = fs::Error::AccessDenied;
      return false;
    }
    return FaultBackend::makeFolder(p, err);
  }

 private:
  bool onCard(const std::filesystem::path& p) const {
    const std::string s = p.string(), c = card_.string();
    return s.compare(0, c.size(), c) == 0;
  }
  std::filesystem::path card_;
  std::set<int> cardFds_;
};

std::string fileBytes(const std::string& hostPath) {
  std::string out;
  FILE* f = std::fopen(hostPath.c_str(), "rb");
  if (!f) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// What a run leaves: the test file, its copy and the two queue files.
struct Left {
  std::string file, backup;
  std::vector<std::string> gps, gpsw;
  int readings = 0;
};

// The test of channel 1 for `steps` main-loop steps; `during(step, card)` may change the card.
Left runTest(int steps, const std::function<void(int, FailingCard&, Parameter&)>& during) {
  Instrument inst;
  TestSetup t;
  t.route = 3.0f;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  FailingCard card(inst.root() / "Storage Card");
  fs::ScopedBackend use(card);
  for (int k = 0; k < steps; ++k) {
    if (during) during(k, card, p);
    inst.step();
  }
  Left left;
  left.file = fileBytes(inst.hostPath(p.testFilePath));
  left.backup = fileBytes(inst.hostPath("\\Storage Card\\Backup\\2026001-P1.krv"));
  left.gps = queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gps"));
  left.gpsw = queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gpsw"));
  left.readings = p.readingCount;
  return left;
}

}  // namespace

TEST(StorageFault, ReadingsLostToTheCardAreWrittenOnceItTakesWritesAgain) {
  // Two hours of a test: the card turns read-only after 30 minutes, full after 60, writable at 90.
  constexpr int kSteps = 8000, kReadOnly = 2000, kFull = 4000, kGood = 6000;
  const Left reference = runTest(kSteps, nullptr);
  ASSERT_GT(reference.readings, 6);

  int firstLost = -1;
  bool checkedAlarm = false;
  std::size_t queuedAtFault = 0;
  const Left left = runTest(kSteps, [&](int step, FailingCard& card, Parameter& p) {
    if (step == kReadOnly) {
      card.state = FailingCard::State::ReadOnly;
      firstLost = p.readingCount;
      queuedAtFault = p.moduleQueue.size() + p.boxQueue.size();
      p.alarmOn = 0;
    }
    if (step == kFull) card.state = FailingCard::State::Full;
    if (step == kGood) {
      EXPECT_GE(p.readingCount - firstLost, 2) << "readings taken while the card failed";
      EXPECT_EQ(p.moduleQueue.size() + p.boxQueue.size(), queuedAtFault) << "readings not in the file were queued";
      EXPECT_FALSE(p.link.storageText.empty());
      card.state = FailingCard::State::Good;
    }
    // The alarm and the prompt come with the first reading that is not written.
    if (step > kReadOnly && !checkedAlarm && p.readingCount > firstLost) {
      checkedAlarm = true;
      EXPECT_EQ(p.configCheck.load(), 4);
      EXPECT_EQ(p.alarmOn.load(), 1);
      EXPECT_EQ(p.link.storageText, "1#试验仪器存储出现故障，请将试验数据导出，及时送修！");
      EXPECT_EQ(p.procedure.unwrittenFrom, firstLost);
    }
    if (step == kSteps - 1) {
      EXPECT_EQ(p.procedure.unwrittenFrom, -1);
      EXPECT_TRUE(p.link.storageText.empty());
    }
  });
  ASSERT_TRUE(checkedAlarm);
  EXPECT_EQ(left.readings, reference.readings);
  std::size_t at = 0;
  while (at < left.file.size() && at < reference.file.size() && left.file[at] == reference.file[at]) ++at;
  EXPECT_TRUE(left.file == reference.file) << "the test file differs at record " << at / kTestRecordDiskSize
                                           << ", offset " << at % kTestRecordDiskSize;
  EXPECT_TRUE(left.backup == reference.backup);
  EXPECT_TRUE(left.backup == left.file);
  // Each reading queued once on each route, in order.
  EXPECT_EQ(static_cast<int>(left.gps.size()), left.readings);
  EXPECT_TRUE(left.gps == reference.gps);
  EXPECT_TRUE(left.gpsw == reference.gpsw);
}
