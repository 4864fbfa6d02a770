// The three table pages: the data record table (one row per record, in four layouts), the
// load-settlement table (one row per reading with its settlement) and the summary table (one row per
// load level).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "model/computations.h"
#include "model/helpers.h"
#include "model/record_values.h"
#include "report/pages.h"

using namespace platform::ui;
using namespace report_pages;
using record_values::kHalfLower;
using record_values::kHalfUpper;
using record_values::kLevel;
using record_values::kSettlement;

namespace {

constexpr const char* kDash = "--";

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, decimals == 3 ? "%.3f" : decimals == 2 ? "%.2f" : "%.f", v);
  return buf;
}

// A five-character text field as shown (up to its first zero byte).
std::string Field5(const char (&f)[5]) { return std::string(f, strnlen(f, 5)); }

// Lateral tests other than the standards 77, 93 and 145 (the multi-cycle ones) have no settlement or
// summary table.
bool NoSettlementTable(int testType, int standard) {
  return testType == 4 && standard != 77 && standard != 93 && standard != 145;
}

// Row colours by load level: a change of the load text starts the next level; levels alternate white
// and grey, starting with white.
class LevelColours {
 public:
  Color next(const std::string& loadText) {
    if (loadText != previous_) {
      ++level_;
      previous_ = loadText;
    }
    return level_ % 2 == 1 ? kGreyRow : kWhiteRow;
  }

 private:
  int level_ = -1;
  std::string previous_;
};

// The records a table may read: never past the end of the list.
int Clamp(int rows, const std::vector<TestRecord>& records) {
  return std::max(0, std::min(rows, static_cast<int>(records.size())));
}

}  // namespace

// ---- data record table ------------------------------------------------------------------------------

namespace {

using Columns = std::vector<std::pair<const char*, int>>;
const Columns kLayoutA = {{"ID", 44},    {"荷 载", 64}, {"油 压", 56}, {"时 间", 54}, {"位移1", 62},
                          {"位移2", 62}, {"位移3", 62}, {"位移4", 62}, {"平均", 62},  {"位移5", 0},
                          {"位移6", 0},  {"位移7", 0},  {"位移8", 0}};
const Columns kLayoutB = {{"ID", 44}, {"荷 载", 64}, {"时 间", 54}, {"1#↓", 61}, {"2#↓", 61},
                          {"3#↑", 61}, {"4#↑", 61},  {"下沉", 61},  {"上拔", 61}, {"5#", 0},
                          {"6#", 0},  {"7#", 0},     {"8#", 0},     {"桩顶", 0}};
const Columns kLayoutC = {{"ID", 44},     {"荷 载", 64},  {"油 压", 56}, {"时 间", 54}, {"循环", 54},
                          {"上表1", 62},  {"上表2", 62},  {"下表1", 62}, {"下表2", 62}, {"位移5", 0},
                          {"位移6", 0},   {"位移7", 0},   {"位移8", 0}};
const Columns kLayoutD = {{"ID", 44},  {"荷 载", 64}, {"时 间", 54}, {"1#↓", 61}, {"2#↓", 61},
                          {"3#↓", 61}, {"4#↑", 61},  {"5#↑", 61},  {"6#↑", 61}, {"下沉", 61},
                          {"上拔", 61}, {"7#", 0},    {"8#", 0},     {"桩顶", 0}};

}  // namespace

CPageJiLuBiao::CPageJiLuBiao() : ReportTablePage(167, 0, 4) {}

bool CPageJiLuBiao::onInitDialog() {
  const Columns* layouts[4] = {&kLayoutA, &kLayoutB, &kLayoutC, &kLayoutD};
  for (int k = 0; k < 4; ++k) {
    std::vector<Column> cols;
    for (const auto& c : *layouts[k]) cols.push_back({c.first, c.second});
    CreateList(k, cols);
  }
  FitRecordNumbers();
  ShowOnly(0);
  return ReportPage::onInitDialog();
}

int CPageJiLuBiao::LayoutOf(int testType, int standard) {
  if (testType == 2) return standard == 61 ? 3 : 1;
  if (NoSettlementTable(testType, standard)) return 2;
  return 0;
}

void CPageJiLuBiao::RefreshTable(Parameter& p) {
  const Source src = TableSource(p);
  if (!src.records) return;
  const std::vector<TestRecord>& records = *src.records;
  const Paging g = Page(Clamp(p.readingCount, records));
  const int layout = LayoutOf(ShownTestType(p, src), p.procedure.openedStandardCode);
  ShowOnly(layout);

  const auto& on = p.procedure.openedGaugeOn;
  CColorListCtrl& list = List(layout);
  switch (layout) {
    case 0:
    case 2: {
      const int w = (on[4] || on[5] || on[6] || on[7]) ? 62 : 0;
      for (int c = 9; c <= 12; ++c) list.setColumnWidth(c, w);
      break;
    }
    case 1: {
      const bool any = on[4] || on[5] || on[6] || on[7];
      for (int c = 9; c <= 12; ++c) list.setColumnWidth(c, any ? 62 : 0);
      list.setColumnWidth(13, any ? 82 : 0);
      break;
    }
    default: {
      const bool any = on[6] || on[7];
      list.setColumnWidth(11, any ? 62 : 0);
      list.setColumnWidth(12, any ? 62 : 0);
      list.setColumnWidth(13, any ? 82 : 0);
      break;
    }
  }
  list.deleteAllItems();
  FillRows(list, layout, records, g.first, g.count, p);
  ScrollToEnd(layout);
}

void CPageJiLuBiao::FillRows(CColorListCtrl& list, int layout, const std::vector<TestRecord>& records, int first,
                             int count, const Parameter& p) {
  const ProcedureState& v = p.procedure;
  const int standard = v.openedStandardCode;
  const bool thousandths = ThousandthsStandard(standard);
  const int gaugeDecimals = layout == 0 && thousandths ? 3 : 2;
  const bool loadCell = v.openedHeader12 == 0;
  auto on = [&](int gauge) { return v.openedGaugeOn[static_cast<std::size_t>(gauge - 1)] != 0; };

  for (int i = first; i < first + count; ++i) {
    const TestRecord& r = records[static_cast<std::size_t>(i)];
    const int row = list.insertItem(i - first, std::to_string(i + 1));
    std::string load = LoadText(r.valuesA[0]);
    if (layout != 0) load = StripDecimalZeros(load);
    const std::string time = Field5(r.marker);
    const bool stepStart = time == "--:--";
    list.SetItemColor(row, stepStart ? kGreyRow : kWhiteRow);
    auto gauge = [&](int k) -> std::string {
      if (stepStart) return kDash;
      return on(k) ? Fixed(r.valuesA[1 + k], gaugeDecimals) : kDash;
    };
    // Mean of the gauges of a group that are on; empty when none is.
    auto mean = [&](std::initializer_list<int> group, int decimals) -> std::string {
      if (stepStart) return kDash;
      float sum = 0.0f;
      int n = 0;
      for (int k : group) {
        if (!on(k)) continue;
        sum += r.valuesA[1 + k];
        ++n;
      }
      if (n == 0) return "";
      return Fixed(RoundHalfEven(sum / static_cast<float>(n), decimals), decimals);
    };
    const std::string oil = stepStart || loadCell ? kDash : Fixed(r.valuesA[1], 2);

    std::vector<std::string> cells;
    switch (layout) {
      case 0:
        cells = {load, oil, time, gauge(1), gauge(2), gauge(3), gauge(4), mean({1, 2, 3, 4}, gaugeDecimals),
                 gauge(5), gauge(6), gauge(7), gauge(8)};
        break;
      case 1:
        cells = {load,     time,     gauge(1), gauge(2), gauge(3), gauge(4),           mean({1, 2}, 2),
                 mean({3, 4}, 2), gauge(5), gauge(6), gauge(7), gauge(8), mean({5, 6, 7, 8}, 2)};
        break;
      case 2: {
        char cycle[32];
        std::snprintf(cycle, sizeof cycle, "%d", record_values::truncToInt(r.valuesA[13]));
        cells = {load,     oil,      time,     stepStart ? std::string(kDash) : std::string(cycle),
                 gauge(1), gauge(2), gauge(3), gauge(4), gauge(5), gauge(6), gauge(7), gauge(8)};
        break;
      }
      default:
        cells = {load,     time,     gauge(1), gauge(2), gauge(3), gauge(4), gauge(5), gauge(6),
                 mean({1, 2, 3}, 2), mean({4, 5, 6}, 2), gauge(7), gauge(8), mean({7, 8}, 2)};
        break;
    }
    for (std::size_t c = 0; c < cells.size(); ++c) list.setItemText(row, static_cast<int>(c) + 1, cells[c]);
  }
}

// ---- the one-way and up/down tables of the settlement and summary pages --------------------------------

bool ReportTablePage::InitLists(const std::vector<Column>& oneWay, const std::vector<Column>& upDown) {
  CreateList(0, oneWay);
  CreateList(1, upDown);
  ShowOnly(0);
  return ReportPage::onInitDialog();
}

void ReportTablePage::ShowOneWayOrUpDown(int testType, int standard, const std::function<void(bool upDown)>& fill) {
  if (NoSettlementTable(testType, standard)) {
    List(0).deleteAllItems();
    List(1).deleteAllItems();
    return;
  }
  const int k = testType == 2 ? 1 : 0;
  ShowOnly(k);
  fill(k == 1);
  ScrollToEnd(k);
}

// ---- load-settlement table --------------------------------------------------------------------------

CPageChenJiangBiao::CPageChenJiangBiao() : ReportTablePage(168, 1, 2) {}

bool CPageChenJiangBiao::onInitDialog() {
  const bool done = InitLists({{"ID", 44}, {"荷 载", 116}, {"时 间", 80}, {"位 移", 85}, {"本次沉降", 100}, {"本级沉降", 100}},
                   {{"ID", 44},
                    {"荷 载", 64},
                    {"时 间", 54},
                    {"下↓", 61},
                    {"本次", 61},
                    {"本级", 61},
                    {"上↑", 61},
                    {"本次", 61},
                    {"本级", 61}});
  FitRecordNumbers();
  return done;
}

void CPageChenJiangBiao::RefreshTable(Parameter& p) {
  const Source src = TableSource(p);
  if (!src.records) return;
  std::vector<TestRecord>& records = *src.records;
  JDQFile::RebuildReadings(p, records);
  const Paging g = Page(Clamp(p.readingIndex, records));
  const int standard = p.procedure.openedStandardCode;
  ShowOneWayOrUpDown(ShownTestType(p, src), standard, [&](bool upDown) {
    if (upDown) FillUpDownTable(g.first, g.count, records);
    else FillSettlementTable(g.first, g.count, records, standard);
  });
}

namespace {

// The settlement of each reading since the one before it, and of its level so far, for one value of
// the records; walked from the start of the list so that a page that begins inside a level shows the
// level's sum.
class SettlementWalk {
 public:
  explicit SettlementWalk(int value) : value_(value) {}
  // Moves to record i (called for every i from 0 on).
  void step(const std::vector<TestRecord>& records, int i) {
    const TestRecord& r = records[static_cast<std::size_t>(i)];
    const float v = r.valuesA[value_];
    if (i == 0) {
      change_ = v;
      sum_ = v;
      return;
    }
    change_ = v - records[static_cast<std::size_t>(i - 1)].valuesA[value_];
    if (record_values::timeIs(r, "0")) sum_ = change_;
    else sum_ += change_;
  }
  float change() const { return change_; }
  float sum() const { return sum_; }

 private:
  int value_;
  float change_ = 0.0f, sum_ = 0.0f;
};

}  // namespace

void CPageChenJiangBiao::FillSettlementTable(int first, int rows, const std::vector<TestRecord>& records,
                                             int standard) {
  CColorListCtrl& list = List(0);
  list.deleteAllItems();
  const int decimals = ThousandthsStandard(standard) ? 3 : 2;
  LevelColours colours;
  SettlementWalk walk(kSettlement);
  for (int i = 0; i < first + rows; ++i) {
    const TestRecord& r = records[static_cast<std::size_t>(i)];
    const bool reading = !record_values::timeIs(r, "99999");
    if (reading) walk.step(records, i);
    if (i < first) continue;
    const int row = list.insertItem(i - first, std::to_string(i + 1));
    const std::string load = LoadText(r.valuesA[kLevel]);
    list.setItemText(row, 1, load);
    list.SetItemColor(row, colours.next(load));
    if (!reading) continue;
    list.setItemText(row, 2, Field5(r.time));
    list.setItemText(row, 3, Fixed(r.valuesA[kSettlement], decimals));
    list.setItemText(row, 4, Fixed(walk.change(), decimals));
    list.setItemText(row, 5, Fixed(walk.sum(), decimals));
  }
}

void CPageChenJiangBiao::FillUpDownTable(int first, int rows, const std::vector<TestRecord>& records) {
  CColorListCtrl& list = List(1);
  list.deleteAllItems();
  LevelColours colours;
  SettlementWalk down(kHalfLower), up(kHalfUpper);
  for (int i = 0; i < first + rows; ++i) {
    const TestRecord& r = records[static_cast<std::size_t>(i)];
    const bool reading = !record_values::timeIs(r, "99999");
    if (reading) {
      down.step(records, i);
      up.step(records, i);
    }
    if (i < first) continue;
    const int row = list.insertItem(i - first, std::to_string(i + 1));
    const std::string load = LoadText(r.valuesA[kLevel]);
    list.setItemText(row, 1, load);
    list.SetItemColor(row, colours.next(load));
    if (!reading) continue;
    list.setItemText(row, 2, Field5(r.time));
    list.setItemText(row, 3, Fixed(r.valuesA[kHalfLower], 2));
    list.setItemText(row, 4, Fixed(down.change(), 2));
    list.setItemText(row, 5, Fixed(down.sum(), 2));
    list.setItemText(row, 6, Fixed(r.valuesA[kHalfUpper], 2));
    list.setItemText(row, 7, Fixed(up.change(), 2));
    list.setItemText(row, 8, Fixed(up.sum(), 2));
  }
}

// ---- summary table ----------------------------------------------------------------------------------

CPageHuiZongBiao::CPageHuiZongBiao() : ReportTablePage(169, 2, 2) {}

bool CPageHuiZongBiao::onInitDialog() {
  return InitLists({{"ID", 44}, {"荷载", 102}, {"本级沉降", 105}, {"累计沉降", 105}, {"本级时间", 85}, {"累计时间", 85}},
                   {{"ID", 44},
                    {"荷载", 64},
                    {"本级时", 70},
                    {"累计时", 70},
                    {"本级↓", 70},
                    {"累计↓", 70},
                    {"本级↑", 70},
                    {"累计↑", 70}});
}

void CPageHuiZongBiao::RefreshTable(Parameter& p) {
  const Source src = TableSource(p);
  if (!src.records) return;
  std::vector<TestRecord>& records = *src.records;
  JDQFile::RebuildReadings(p, records);
  JDQFile::BuildCurvePoints(p, records, &graph_, 0);
  const Paging g = Page(static_cast<int>(p.curvePoints1.size()));
  const int standard = p.procedure.openedStandardCode;
  ShowOneWayOrUpDown(ShownTestType(p, src), standard, [&](bool upDown) {
    if (upDown) FillUpDownSummaryTable(g.first, g.count, p.curvePoints1, p.curvePoints3, standard);
    else FillSummaryTable(g.first, g.count, p.curvePoints1, standard);
  });
}

void CPageHuiZongBiao::FillSummaryTable(int first, int rows, const std::vector<LevelPoint>& list1, int standard) {
  CColorListCtrl& list = List(0);
  list.deleteAllItems();
  const int decimals = ThousandthsStandard(standard) ? 3 : 2;
  LevelColours colours;
  for (int k = first; k < first + rows; ++k) {
    const LevelPoint& lp = list1[static_cast<std::size_t>(k)];
    const int row = list.insertItem(k - first, std::to_string(k + 1));
    const std::string load = LoadText(lp.load);
    list.setItemText(row, 1, load);
    list.SetItemColor(row, colours.next(load));
    list.setItemText(row, 2, Fixed(lp.levelSettlement, decimals));
    list.setItemText(row, 3, Fixed(lp.finalSettlement, decimals));
    list.setItemText(row, 4, Fixed(lp.duration, 0));
    list.setItemText(row, 5, Fixed(lp.cumulativeTime, 0));
  }
}

void CPageHuiZongBiao::FillUpDownSummaryTable(int first, int rows, const std::vector<LevelPoint>& list1,
                                              const std::vector<LevelPoint>& list2, int standard) {
  CColorListCtrl& list = List(1);
  list.deleteAllItems();
  const int decimals = ThousandthsStandard(standard) ? 3 : 2;
  LevelColours colours;
  for (int k = first; k < first + rows; ++k) {
    const LevelPoint& up = list1[static_cast<std::size_t>(k)];
    const int row = list.insertItem(k - first, std::to_string(k + 1));
    const std::string load = StripDecimalZeros(LoadText(up.load));
    list.setItemText(row, 1, load);
    list.SetItemColor(row, colours.next(load));
    list.setItemText(row, 2, Fixed(up.duration, 0));
    list.setItemText(row, 3, Fixed(up.cumulativeTime, 0));
    if (k < static_cast<int>(list2.size())) {
      const LevelPoint& down = list2[static_cast<std::size_t>(k)];
      list.setItemText(row, 4, Fixed(down.levelSettlement, decimals));
      list.setItemText(row, 5, Fixed(down.finalSettlement, decimals));
    }
    list.setItemText(row, 6, Fixed(up.levelSettlement, decimals));
    list.setItemText(row, 7, Fixed(up.finalSettlement, decimals));
  }
}
