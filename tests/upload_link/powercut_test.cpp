// A power cut at every step of the mark that an acceptance writes, then a restart that reloads the
// queue file and goes on uploading: no record is lost or torn, and every record reaches the module.
#include <gtest/gtest.h>

#include <algorithm>

#include "link_fixture.h"

namespace uploadtest {
namespace {

class PowerCut : public LinkFixture {};

TEST_F(PowerCut, AMarkCutAtEveryStepLosesNoRecord) {
  namespace fs = platform::fs;
  // The steps of one mark, counted on a dry run.
  long long steps = 0;
  {
    setRoute(0);
    open(false, true, false);
    enqueue(1, 0, 1);
    fs::FaultBackend dry;
    fs::ScopedBackend use(dry);
    dry.cutPowerAfter(1LL << 40);
    cycle();
    steps = dry.steps();
    ASSERT_EQ(slots(1, 0)[0].substr(0, 4), "OVER");
  }
  ASSERT_GT(steps, 4);
  for (long long k = 0; k <= steps; ++k) {
    SCOPED_TRACE(k);
    TearDown();
    SetUp();
    setRoute(0);
    open(false, true, false);
    for (int seed = 1; seed <= 3; ++seed) enqueue(1, 0, seed);
    {
      fs::FaultBackend cut;
      fs::ScopedBackend use(cut);
      cut.cutPowerAfter(k);
      cycle();  // record 1 is accepted; its mark is cut at step k
      link.reset();
    }
    // The restart: fresh records, the queue reloaded from its file, the upload goes on.
    freshChannels();
    setRoute(0);
    ASSERT_EQ(JDQFile::LoadQueueFile("", 0, 0, ch(1)), 1);
    const std::size_t pending = queued(1, 0);
    EXPECT_TRUE(pending == 2 || pending == 3) << pending;
    openLink();
    for (int c = 0; c < 6 && queued(1, 0) > 0; ++c) cycle();
    EXPECT_EQ(queued(1, 0), 0u);
    const auto s = slots(1, 0);
    ASSERT_EQ(s.size(), 3u);
    for (int seed = 1; seed <= 3; ++seed) {
      EXPECT_EQ(s[static_cast<std::size_t>(seed - 1)], "OVER" + text(record(seed)).substr(4));
      const auto got = gprs->records();
      EXPECT_GE(std::count(got.begin(), got.end(), text(record(seed))), 1) << seed;
    }
    // Only the record whose mark was lost may have gone twice.
    const auto got = gprs->records();
    EXPECT_EQ(std::count(got.begin(), got.end(), text(record(2))), 1);
    EXPECT_EQ(std::count(got.begin(), got.end(), text(record(3))), 1);
  }
}

}  // namespace
}  // namespace uploadtest
