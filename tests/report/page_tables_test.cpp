// The table pages cell by cell: the record table's four layouts with their widened columns, gauges
// that are off, load and gauge formats, means, step rows and colours; the settlement table's reading
// and level settlements; the summary table's rows per level; paging; the empty pages of the
// multi-cycle lateral tests; lists shorter than their counts.
#include "pages_fixture.h"

using namespace pages_fixture;
using Cells = std::vector<std::string>;

namespace {

constexpr ui::Color kWhite = 0xFFFFFF, kGrey = 0xEBEBEB;

ui::Color RowColour(CColorListCtrl& list, int row) {
  ui::Color c = 0;
  EXPECT_TRUE(list.ItemColor(row, c)) << row;
  return c;
}

}  // namespace

class RecordTable : public PageTest {};

TEST_F(RecordTable, LayoutAGaugesOneAndThreeLoadsOilAndStepRows) {
  p_.standardCode = 1;
  p_.forceSensorType = 1;  // oil-pressure sensor
  p_.displacementOn[1] = p_.displacementOn[3] = 0;
  p_.testRecords = WithHeader({Reading("--:--", 12345.6f, {9, 9, 9, 9}, 20.0f),
                               Reading("08:05", 1234.56f, {1.25f, 9, 2.5f, 9}, 20.5f),
                               Reading("08:10", 123.456f, {0.5f, 0, 0.7f, 0}, 0.0f)});
  p_.readingCount = 3;
  CPageJiLuBiao& page = make<CPageJiLuBiao>();
  page.RefreshTable(p_);

  CColorListCtrl& a = page.List(0);
  EXPECT_TRUE(a.isWindowVisible());
  for (int k = 1; k < 4; ++k) EXPECT_FALSE(page.List(k).isWindowVisible()) << k;
  ASSERT_EQ(a.getItemCount(), 3);
  EXPECT_EQ(Row(a, 0), (Cells{"1", "12346", "--", "--:--", "--", "--", "--", "--", "--", "--", "--", "--", "--"}));
  // The mean of gauges 1 and 3, 1.875, rounds half to even.
  EXPECT_EQ(Row(a, 1), (Cells{"2", "1234.6", "20.50", "08:05", "1.25", "--", "2.50", "--", "1.88", "--", "--", "--", "--"}));
  EXPECT_EQ(Row(a, 2), (Cells{"3", "123.46", "0.00", "08:10", "0.50", "--", "0.70", "--", "0.60", "--", "--", "--", "--"}));
  EXPECT_EQ(RowColour(a, 0), kGrey);
  EXPECT_EQ(RowColour(a, 1), kWhite);
  EXPECT_EQ(RowColour(a, 2), kWhite);
  for (int c = 9; c <= 12; ++c) EXPECT_EQ(a.getColumnWidth(c), 0) << c;
  // The display copies of the running test.
  EXPECT_EQ(p_.procedure.openedStandardCode, 1);
  EXPECT_EQ(p_.procedure.openedHeader12, 1);
  EXPECT_EQ(p_.procedure.openedGaugeOn, (std::array<std::uint8_t, 8>{1, 0, 1, 0, 0, 0, 0, 0}));

  // No gauge of 1-4 on: the mean stays empty; a load cell shows no oil pressure; gauge 6 on widens 5-8.
  for (int k = 0; k < 4; ++k) p_.displacementOn[k] = 0;
  p_.displacementOn[5] = 1;
  p_.forceSensorType = 0;
  page.RefreshTable(p_);
  EXPECT_EQ(Row(a, 1), (Cells{"2", "1234.6", "--", "08:05", "--", "--", "--", "--", "", "--", "0.00", "--", "--"}));
  for (int c = 9; c <= 12; ++c) EXPECT_EQ(a.getColumnWidth(c), 62) << c;
  // Columns wider than the list scroll sideways to the last one.
  const int right = a.getClientRect().right;
  EXPECT_GT(a.getSubItemRect(1, 12).right, right);
  a.scrollXTo(100000);
  EXPECT_GT(a.getScrollX(), 0);
  EXPECT_LE(a.getSubItemRect(1, 12).right, right);
  EXPECT_GE(a.getSubItemRect(1, 12).left, 0);
  EXPECT_EQ(a.hitTest({a.getSubItemRect(1, 12).left + 5, a.getSubItemRect(1, 12).top + 5}).subItem, 12);
}

TEST_F(RecordTable, RockStandardsShowThreeDecimals) {
  p_.testType = 0;
  p_.standardCode = 3;
  p_.testRecords = WithHeader({Reading("08:00", 100.0f, {0.125f, 0.25f, 0.5f, 1.0f})});
  p_.readingCount = 1;
  CPageJiLuBiao& page = make<CPageJiLuBiao>();
  page.RefreshTable(p_);
  EXPECT_EQ(Row(page.List(0), 0),
            (Cells{"1", "100.00", "--", "08:00", "0.125", "0.250", "0.500", "1.000", "0.469", "--", "--", "--", "--"}));
}

TEST_F(RecordTable, LayoutsByTypeAndStandardWithTheirColumns) {
  struct Case {
    int type, standard, layout;
  } cases[] = {{1, 5, 0}, {0, 2, 0}, {5, 115, 0}, {4, 93, 0}, {4, 77, 0}, {4, 62, 2}, {4, 76, 2}, {2, 15, 1}, {2, 61, 3}};
  for (const Case& c : cases) EXPECT_EQ(CPageJiLuBiao::LayoutOf(c.type, c.standard), c.layout) << c.type << " " << c.standard;

  CPageJiLuBiao& page = make<CPageJiLuBiao>();
  // B: a self-balanced test with gauge 5 on; loads lose the zeros of their decimals only.
  p_.testType = 2;
  p_.standardCode = 15;
  p_.displacementOn[4] = 1;
  p_.testRecords = WithHeader({Reading("08:00", 12000.0f, {1, 2, 3, 4, 5}), Reading("08:05", 120.5f, {1, 2, 3, 4, 5}),
                               Reading("--:--", 100.0f, {1, 2, 3, 4, 5})});
  p_.readingCount = 3;
  page.RefreshTable(p_);
  CColorListCtrl& b = page.List(1);
  ASSERT_TRUE(b.isWindowVisible());
  EXPECT_FALSE(page.List(0).isWindowVisible());
  EXPECT_EQ(Row(b, 0), (Cells{"1", "12000", "08:00", "1.00", "2.00", "3.00", "4.00", "1.50", "3.50", "5.00", "--", "--",
                              "--", "5.00"}));
  EXPECT_EQ(Row(b, 1)[1], "120.5");
  EXPECT_EQ(Row(b, 2), (Cells{"3", "100", "--:--", "--", "--", "--", "--", "--", "--", "--", "--", "--", "--", "--"}));
  for (int col = 9; col <= 12; ++col) EXPECT_EQ(b.getColumnWidth(col), 62);
  EXPECT_EQ(b.getColumnWidth(13), 82);

  // D: standard 61, six gauges; 7 and 8 off leave their columns and their mean hidden and empty.
  p_.standardCode = 61;
  p_.displacementOn[5] = 1;
  page.RefreshTable(p_);
  CColorListCtrl& d = page.List(3);
  ASSERT_TRUE(d.isWindowVisible());
  EXPECT_EQ(Row(d, 0), (Cells{"1", "12000", "08:00", "1.00", "2.00", "3.00", "4.00", "5.00", "0.00", "2.00", "3.00", "--",
                              "--", ""}));
  for (int col = 11; col <= 13; ++col) EXPECT_EQ(d.getColumnWidth(col), 0);

  // C: the multi-cycle lateral standards, with the cycle number; a load cell has no oil pressure.
  p_.testType = 4;
  p_.standardCode = 62;
  p_.forceSensorType = 0;
  for (int k = 4; k < 8; ++k) p_.displacementOn[k] = 0;
  p_.testRecords[0].valuesA[13] = 3.0f;
  page.RefreshTable(p_);
  CColorListCtrl& c = page.List(2);
  ASSERT_TRUE(c.isWindowVisible());
  EXPECT_EQ(Row(c, 0), (Cells{"1", "12000", "--", "08:00", "3", "1.00", "2.00", "3.00", "4.00", "--", "--", "--", "--"}));
}

TEST_F(RecordTable, PagingShowsTheLastPageWithItsLastRowInView) {
  CPageJiLuBiao& page = make<CPageJiLuBiao>();
  struct Case {
    int rows, pages, lastRows, firstId;
  } cases[] = {{1100, 1, 1100, 1}, {1101, 2, 1, 1101}, {2200, 2, 1100, 1101}, {0, 1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    std::vector<TestRecord> records;
    for (int i = 0; i < c.rows; ++i) records.push_back(Reading(i % 7 == 0 ? "--:--" : "09:00", static_cast<float>(i), {0.1f}));
    p_.testRecords = WithHeader(records);
    p_.readingCount = c.rows;
    page.RefreshTable(p_);
    EXPECT_EQ(page.PageCount(), c.pages);
    EXPECT_EQ(page.CurrentPageIndex(), c.pages - 1);
    EXPECT_EQ(page.LastPageRows(), c.lastRows);
    CColorListCtrl& a = page.List(0);
    ASSERT_EQ(a.getItemCount(), c.lastRows);
    if (c.lastRows == 0) continue;
    EXPECT_EQ(a.getItemText(0, 0), std::to_string(c.firstId));
    EXPECT_EQ(a.getItemText(c.lastRows - 1, 0), std::to_string(c.rows));
    const int last = c.lastRows - 1;
    EXPECT_LE(a.getTopIndex(), last);
    EXPECT_GT(a.getTopIndex() + a.getCountPerPage(), last);
  }
}

TEST_F(RecordTable, CountsPastTheListReadOnlyTheRecordsThere) {
  CPageJiLuBiao& page = make<CPageJiLuBiao>();
  p_.testRecords = {Reading("08:00", 10.0f, {1}), Reading("08:05", 10.0f, {1})};
  p_.readingCount = 5000;
  page.RefreshTable(p_);
  EXPECT_EQ(page.List(0).getItemCount(), 2);
  p_.readingCount = -4;
  page.RefreshTable(p_);
  EXPECT_EQ(page.List(0).getItemCount(), 0);
}

// ---- load-settlement table --------------------------------------------------------------------------

class SettlementTable : public PageTest {
 protected:
  // Two levels: 100 kN read at 0.50, 0.80 and 1.10 mm, then 200 kN at 1.50 and 1.60 mm (gauges 1-4
  // alike), each level opened by its step record.
  void TwoLevels(int type, int standard) {
    p_.testType = type;
    p_.standardCode = standard;
    const int minutes[7] = {5, 10, 15, 15, 15, 30, 30};
    for (int k = 0; k < 7; ++k) p_.levelMinutes[static_cast<std::size_t>(k)] = minutes[k];
    auto g = [](float s) { return std::array<float, 8>{s, s, s, s}; };
    p_.testRecords = WithHeader({Reading("--:--", 100, g(0.5f)), Reading("08:00", 100, g(0.5f)),
                                 Reading("08:05", 100, g(0.8f)), Reading("08:15", 100, g(1.1f)),
                                 Reading("--:--", 200, g(1.1f)), Reading("08:20", 200, g(1.5f)),
                                 Reading("08:25", 200, g(1.6f))});
    p_.readingCount = 7;
  }
};

TEST_F(SettlementTable, ReadingAndLevelSettlementsByLevel) {
  TwoLevels(1, 5);
  CPageChenJiangBiao& page = make<CPageChenJiangBiao>();
  page.RefreshTable(p_);
  CColorListCtrl& l = page.List(0);
  ASSERT_TRUE(l.isWindowVisible());
  EXPECT_FALSE(page.List(1).isWindowVisible());
  ASSERT_EQ(l.getItemCount(), 5);
  const Cells want[5] = {{"1", "100.00", "0", "0.50", "0.50", "0.50"},
                         {"2", "100.00", "5", "0.80", "0.30", "0.80"},
                         {"3", "100.00", "15", "1.10", "0.30", "1.10"},
                         {"4", "200.00", "0", "1.50", "0.40", "0.40"},
                         {"5", "200.00", "5", "1.60", "0.10", "0.50"}};
  const ui::Color colour[5] = {kWhite, kWhite, kWhite, kGrey, kGrey};
  for (int r = 0; r < 5; ++r) {
    EXPECT_EQ(Row(l, r), want[r]) << r;
    EXPECT_EQ(RowColour(l, r), colour[r]) << r;
  }
}

TEST_F(SettlementTable, UpDownColumnsOfASelfBalancedTest) {
  TwoLevels(2, 15);
  // Downward gauges 1-2, upward gauges 3-4.
  for (std::size_t i : {1u, 2u, 3u, 5u, 6u}) {
    TestRecord& r = p_.testRecords[i];
    r.valuesA[4] = r.valuesA[5] = r.valuesA[2] + 1.0f;
  }
  p_.testRecords[0].valuesA[0] = p_.testRecords[1].valuesA[0] = 6000.0f;
  CPageChenJiangBiao& page = make<CPageChenJiangBiao>();
  page.RefreshTable(p_);
  CColorListCtrl& l = page.List(1);
  ASSERT_TRUE(l.isWindowVisible());
  EXPECT_FALSE(page.List(0).isWindowVisible());
  ASSERT_EQ(l.getItemCount(), 5);
  EXPECT_EQ(Row(l, 0), (Cells{"1", "6000.0", "0", "0.50", "0.50", "0.50", "1.50", "1.50", "1.50"}));
  EXPECT_EQ(Row(l, 1), (Cells{"2", "6000.0", "5", "0.80", "0.30", "0.80", "1.80", "0.30", "1.80"}));
  EXPECT_EQ(Row(l, 3), (Cells{"4", "200.00", "0", "1.50", "0.40", "0.40", "2.50", "0.40", "0.40"}));
}

TEST_F(SettlementTable, MultiCycleLateralTestsLeaveTheTablesEmpty) {
  TwoLevels(1, 5);
  CPageChenJiangBiao& settlement = make<CPageChenJiangBiao>();
  CPageHuiZongBiao& summary = make<CPageHuiZongBiao>();
  settlement.RefreshTable(p_);
  summary.RefreshTable(p_);
  ASSERT_GT(settlement.List(0).getItemCount(), 0);
  ASSERT_GT(summary.List(0).getItemCount(), 0);
  p_.testType = 4;
  p_.standardCode = 62;
  settlement.RefreshTable(p_);
  summary.RefreshTable(p_);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(settlement.List(k).getItemCount(), 0);
    EXPECT_EQ(summary.List(k).getItemCount(), 0);
  }
  // Standard 93 has its tables.
  TwoLevels(4, 93);
  settlement.RefreshTable(p_);
  EXPECT_EQ(settlement.List(0).getItemCount(), 5);
}

// ---- summary table ----------------------------------------------------------------------------------

TEST_F(SettlementTable, SummaryOneRowPerLevelWithWholeMinutes) {
  TwoLevels(1, 5);
  for (int k = 0; k < 7; ++k) p_.levelMinutes[static_cast<std::size_t>(k)] = 60;
  CPageHuiZongBiao& page = make<CPageHuiZongBiao>();
  page.RefreshTable(p_);
  CColorListCtrl& l = page.List(0);
  ASSERT_TRUE(l.isWindowVisible());
  ASSERT_EQ(l.getItemCount(), 2);
  EXPECT_EQ(Row(l, 0), (Cells{"1", "100.00", "1.10", "1.10", "120", "120"}));
  EXPECT_EQ(Row(l, 1), (Cells{"2", "200.00", "0.50", "1.60", "60", "180"}));
  EXPECT_EQ(RowColour(l, 0), kWhite);
  EXPECT_EQ(RowColour(l, 1), kGrey);
}

TEST_F(SettlementTable, SummaryUpDownOfASelfBalancedTest) {
  TwoLevels(2, 15);
  for (std::size_t i = 0; i < 7; ++i) {
    TestRecord& r = p_.testRecords[i];
    r.valuesA[4] = r.valuesA[5] = r.valuesA[2] + 1.0f;
    r.valuesA[0] = r.valuesA[0] < 150.0f ? 6000.0f : 12000.0f;
  }
  CPageHuiZongBiao& page = make<CPageHuiZongBiao>();
  page.RefreshTable(p_);
  CColorListCtrl& l = page.List(1);
  ASSERT_TRUE(l.isWindowVisible());
  ASSERT_EQ(l.getItemCount(), 2);
  EXPECT_EQ(Row(l, 0), (Cells{"1", "6000", "15", "15", "1.10", "1.10", "2.10", "2.10"}));
  EXPECT_EQ(Row(l, 1), (Cells{"2", "12000", "5", "20", "0.50", "1.60", "0.50", "2.60"}));
  EXPECT_EQ(RowColour(l, 1), kGrey);
}

// ---- the tables as drawn ------------------------------------------------------------------------------

namespace {

ui::Color Background(CColorListCtrl& list, int row) {
  ui::Color c = kWhite;
  list.ItemColor(row, c);
  return c;
}

// Pixels of a rectangle of the picture that differ from the row's background.
int Ink(const ui::Bitmap& shot, const ui::Rect& r, ui::Color background) {
  int n = 0;
  for (int y = r.top + 1; y < r.bottom - 1; ++y)
    for (int x = r.left + 1; x < r.right - 1; ++x) n += shot.pixel(x, y) != background;
  return n;
}

// Every row of the list in view has ink in its cells of `columns`, and so has the header.
void ExpectEveryRowDrawn(CColorListCtrl& list, const std::vector<int>& columns, const char* what) {
  const ui::Bitmap shot = ui::renderWindow(list);
  EXPECT_GT(Ink(shot, {0, 0, list.getColumnWidth(0), list.headerHeight()}, ui::kColorFace), 20) << what;
  const int last = std::min(list.getItemCount(), list.getTopIndex() + list.getCountPerPage());
  ASSERT_GT(last, list.getTopIndex()) << what;
  for (int row = list.getTopIndex(); row < last; ++row)
    for (int col : columns)
      EXPECT_GT(Ink(shot, list.getSubItemRect(row, col), Background(list, row)), 8) << what << " row " << row << " col " << col;
}

// Whether the row's number is drawn whole: the cell's pixels match the number drawn unclipped at the
// cell's text place.
bool NumberDrawnWhole(CColorListCtrl& list, int row) {
  const ui::Bitmap shot = ui::renderWindow(list);
  const ui::Rect cell = list.getSubItemRect(row, 0);
  const std::string text = list.getItemText(row, 0);
  ui::MemoryDC dc(shot.width(), shot.height());
  dc.fillSolidRect({0, 0, shot.width(), shot.height()}, Background(list, row));
  dc.selectFont(list.getFont());
  dc.setBkMode(ui::TRANSPARENT);
  dc.setTextColor(list.itemTextColor(row, 0).value_or(ui::kColorText));
  dc.drawText(text, ui::Rect{cell.left + 4, cell.top, cell.left + 1000, cell.bottom},
              ui::DT_LEFT | ui::DT_VCENTER | ui::DT_SINGLELINE);
  const ui::Bitmap want = dc.bitmap();
  const int width = dc.getTextExtent(text).cx;
  int inked = 0;
  for (int y = cell.top + 1; y < cell.bottom - 1; ++y)
    for (int x = cell.left + 4; x < cell.left + 4 + width; ++x) {
      if (shot.pixel(x, y) != want.pixel(x, y)) return false;
      inked += want.pixel(x, y) != Background(list, row);
    }
  return inked > 20;
}

}  // namespace

// A record whose marker holds bytes that are not UTF-8 (a damaged or foreign file) is drawn like the
// others, and every table drawn after it, of that file and of the next, shows all its rows.
TEST_F(SettlementTable, EveryRowDrawnAfterAMarkerThatIsNotUtf8) {
  TwoLevels(1, 5);
  std::memcpy(p_.testRecords[2].marker, "\xD6\xFF\x80\xFE:", 5);
  CPageJiLuBiao& records = make<CPageJiLuBiao>();
  CPageChenJiangBiao& settlement = make<CPageChenJiangBiao>();
  CPageHuiZongBiao& summary = make<CPageHuiZongBiao>();
  records.RefreshTable(p_);
  ExpectEveryRowDrawn(records.List(0), {0, 1, 3}, "records with the bad marker");
  for (int pass = 0; pass < 2; ++pass) {
    TwoLevels(1, 5);  // the next file
    records.RefreshTable(p_);
    settlement.RefreshTable(p_);
    summary.RefreshTable(p_);
    ExpectEveryRowDrawn(records.List(0), {0, 1, 3, 4}, "records");
    ExpectEveryRowDrawn(settlement.List(0), {0, 1, 2, 3}, "settlement");
    ExpectEveryRowDrawn(summary.List(0), {0, 1, 2, 4}, "summary");
  }
}

// Row numbers of four and five digits (a test of 1410 readings, and the last record a file can hold)
// are drawn whole in the record and load-settlement tables.
TEST_F(SettlementTable, LongNumbersOfTheRowsDrawnWhole) {
  CPageJiLuBiao& records = make<CPageJiLuBiao>();
  CPageChenJiangBiao& settlement = make<CPageChenJiangBiao>();
  for (int count : {1410, JDQFile::kMaxTestRecords + 1}) {
    p_.testType = 1;
    p_.standardCode = 5;
    std::vector<TestRecord> list;
    for (int i = 0; i < count; ++i)
      list.push_back(Reading(i % 20 == 0 ? "--:--" : "08:05", 100.0f * static_cast<float>(i / 20 + 1),
                             {0.01f * static_cast<float>(i), 0, 0, 0}));
    p_.testRecords = WithHeader(std::move(list));
    p_.readingCount = count;
    records.RefreshTable(p_);
    settlement.RefreshTable(p_);
    ASSERT_EQ(records.List(0).getItemText(records.List(0).getItemCount() - 1, 0), std::to_string(count));
    for (CColorListCtrl* l : {&records.List(0), &settlement.List(0)}) {
      const int last = l->getItemCount() - 1;
      EXPECT_GE(l->getItemText(last, 0).size(), 4u);
      EXPECT_TRUE(NumberDrawnWhole(*l, last)) << l->getItemText(last, 0);
    }
  }
}
