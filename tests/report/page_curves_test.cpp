// The curve pages: the kind of chart by request and by the uplift standards, the lateral, multi-cycle and
// self-balanced charts, a long test drawn to its last reading, the multi-cycle scale, and a viewed list
// too short to name its standard.
#include "chart_fixture.h"
#include "pages_fixture.h"

using namespace pages_fixture;
namespace drv = platform::ui::driver;

class CurvePages : public PageTest {
 protected:
  // The recorded test becomes the channel's running test.
  void Take(chart_fixture::RecordedTest& t) {
    const Parameter& s = *t.p;
    p_.testRecords = WithHeader(t.records);
    p_.readingCount = s.readingCount;
    p_.standardCode = s.standardCode.load();
    p_.testType = s.testType.load();
    p_.stepLoad2 = s.stepLoad2.load();
    p_.stepLoad3 = s.stepLoad3.load();
    p_.levelMinutes = s.levelMinutes;
    for (std::size_t k = 0; k < 8; ++k) p_.displacementOn[k] = s.displacementOn[k].load();
  }
  // One tick of the page with its own request.
  void Tick(ReportPage& page) {
    p_.pageRedraw = page.PageIndex();
    drv::run(1000);
    EXPECT_EQ(p_.pageRedraw.load(), 1000);
  }
  std::array<ReportCurvePage*, 3> MakeAll() {
    return {&make<CPageQ_s>(), &make<CPages_lgQ>(), &make<CPages_lgt>()};
  }
};

TEST_F(CurvePages, KindsByRequestAndByTheUpliftStandards) {
  struct Case {
    int type, standard;
    std::array<int, 3> kinds;
    std::array<const char*, 3> axes;
  } cases[] = {
      {5, 115, {4, 5, 6}, {"U(kN)", "lgU(kN)", "lgt(min)"}},
      {5, 13, {4, 5, 6}, {"U(kN)", "lgU(kN)", "lgt(min)"}},
      {4, 93, {1, 2, 3}, {"H(kN)", "lgH(kN)", "lgt(min)"}},
      {1, 5, {1, 2, 3}, {"Q(kN)", "lgQ(kN)", "lgt(min)"}},
  };
  const auto pages = MakeAll();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.standard);
    chart_fixture::RecordedTest t = chart_fixture::compressionTest(c.type, c.standard);
    Take(t);
    for (std::size_t k = 0; k < 3; ++k) {
      Tick(*pages[k]);
      C2DGraph& g = pages[k]->Graph();
      EXPECT_EQ(pages[k]->Standard(), c.standard);
      EXPECT_EQ(g.m_nCurveKind, c.kinds[k]);
      ui::renderWindow(g);
      EXPECT_STREQ(g.m_pszXTitle, c.axes[k]);
      EXPECT_FALSE(g.m_ptList1.empty());
    }
  }
}

TEST_F(CurvePages, MultiCycleAndSelfBalancedCharts) {
  const auto pages = MakeAll();
  chart_fixture::RecordedTest cyclic = chart_fixture::cyclicTest(62, 6, 50.0f);
  Take(cyclic);
  Tick(*pages[0]);
  Tick(*pages[1]);
  for (int k : {0, 1}) {
    C2DGraph& g = pages[static_cast<std::size_t>(k)]->Graph();
    EXPECT_EQ(g.m_nCurveKind, k + 1);
    EXPECT_EQ(g.m_nStandard, 62);
    EXPECT_EQ(g.m_ptList5.size(), 30u);  // five cycles of six levels
    EXPECT_EQ(g.m_ptList6.size(), 30u);
  }

  chart_fixture::RecordedTest balanced = chart_fixture::selfBalancedTest();
  Take(balanced);
  for (ReportCurvePage* page : pages) {
    Tick(*page);
    C2DGraph& g = page->Graph();
    EXPECT_EQ(g.m_nTestType, 2);
    if (page->PageIndex() == 5) EXPECT_FALSE(g.m_ptList4.empty());
    else EXPECT_FALSE(g.m_ptList3.empty());
  }
}

// A multi-cycle chart drawn after a chart with a far larger settlement takes its own scale.
TEST_F(CurvePages, MultiCycleScaleIsItsOwn) {
  CPageQ_s& page = make<CPageQ_s>();
  chart_fixture::RecordedTest big = chart_fixture::compressionTest();
  Take(big);
  Tick(page);
  C2DGraph& g = page.Graph();
  ASSERT_GT(g.m_dSettleMaxRaw, 3000.0);
  chart_fixture::RecordedTest cyclic = chart_fixture::cyclicTest(62, 3, 40.0f);
  Take(cyclic);
  Tick(page);
  int largest = 0;
  for (const auto* list : {&g.m_ptList5, &g.m_ptList6})
    for (const auto& pt : *list) largest = std::max(largest, std::abs(pt.y));
  ASSERT_GT(largest, 10);
  EXPECT_DOUBLE_EQ(g.m_dSettleMaxRaw, largest);
}

// Forty levels of nine readings: every reading stands in the chart, past the old 300.
TEST_F(CurvePages, LongTestDrawnToItsLastReading) {
  std::vector<float> loads;
  for (int l = 1; l <= 40; ++l) loads.push_back(50.0f * static_cast<float>(l));
  chart_fixture::RecordedTest t = chart_fixture::staticTest(1, 5, loads, [](float load, bool) {
    const float s = load / 100.0f;
    return std::array<float, 4>{s, s, s, s};
  });
  Take(t);
  CPages_lgt& page = make<CPages_lgt>();
  Tick(page);
  C2DGraph& g = page.Graph();
  ASSERT_GT(p_.readingIndex, 300);
  EXPECT_EQ(static_cast<int>(g.m_nStepLoad.size()), p_.readingIndex);
  EXPECT_EQ(g.m_ptList2.size(), 40u * 7u);  // the readings after each level's first
  EXPECT_EQ(g.m_nStepLoad[g.m_ptList2.size() - 1], 2000);
  ui::renderWindow(g);
  EXPECT_EQ(g.m_nLevel, 40);
  // The summary has every level too.
  EXPECT_EQ(p_.curvePoints1.size(), 40u);
}

TEST_F(CurvePages, ViewedListTooShortForItsStandardKeepsStandardZero) {
  CPageQ_s& page = make<CPageQ_s>();
  p_.testRunning = 0;
  p_.procedure.lastTestFileName = "T1.krv";
  p_.openedTestRecords = {Reading("--:--", 100, {1, 1, 1, 1}), Reading("08:00", 100, {1, 1, 1, 1})};
  p_.readingCount = 2;
  Tick(page);
  EXPECT_EQ(page.Standard(), 0);
}
