// The six report pages of the main window's tab: the data record table, the load-settlement table, the
// summary table and the Q-s, s-lgQ and s-lgt curves of the test of the page's channel (its running test,
// or the test file opened for viewing when none runs). Each page runs a 1 s timer and refreshes when
// its channel's page-redraw request names it.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/monitor_dialogs.h"
#include "app/widgets.h"
#include "report/graph.h"

// Registers the six pages and the test-file manager as the objects of their registry places; call
// before CreateMonitorDialogs().
void RegisterReportPages();

namespace report_pages {

inline constexpr int kNothingPending = 1000;
inline constexpr int kRowsPerPage = 1100;
inline constexpr platform::ui::Color kWhiteRow = 0xFFFFFF;
inline constexpr platform::ui::Color kGreyRow = 0xEBEBEB;

// Paging of a table of `rows` rows: the number of pages, and the first record and row count of the
// last page, which is the one shown.
struct Paging {
  int pages = 1;
  int first = 0;
  int count = 0;
};
Paging PageOf(int rows);

// Number texts of the tables.
std::string LoadText(float load);                  // "%.f" from 10000, "%.1f" from 1000, else "%.2f"
std::string StripDecimalZeros(std::string text);   // 120.50 -> 120.5, 100.00 -> 100, 12000 stays
bool ThousandthsStandard(int standard);            // the rock-base standards kept in thousandths

// What a page shows: the running test of its channel, else the file opened for viewing.
struct Source {
  std::vector<TestRecord>* records = nullptr;
  bool running = false;
};
// The record list a page shows for the channel (null records when there is none). For a running test
// the display copies (standard, gauges on, force-sensor type) are stored first.
Source SourceOf(Parameter& p, bool storeCopies);
// The test type of the shown list: the channel's while its test runs, else the file's header record 36.
int ShownTestType(const Parameter& p, const Source& s);

}  // namespace report_pages

// Common frame of the six pages: its channel, its 1 s timer and the redraw request.
class ReportPage : public MonitorDialog {
 public:
  ReportPage(int templateId, int index);

  int PageIndex() const { return index_; }
  // One tick of the page's timer: refreshes when the channel's request names this page, then sets the
  // request to 1000.
  void OnTimer(unsigned id);
  // Redraws the page from its channel's test.
  virtual void Refresh(Parameter& p) = 0;

 protected:
  bool onInitDialog() override;
  // Places the page's controls in its client rectangle (called at creation and whenever the main window
  // moves or sizes the page).
  virtual void Layout(const platform::ui::Rect& area) = 0;
  // Client rectangle with the insets of a table page (table) or of a curve page.
  platform::ui::Rect ControlArea(bool table) const;
  int BoardFlag() const;

 private:
  int index_;
};

// A table page: its row-colour lists and paging state.
class ReportTablePage : public ReportPage {
 public:
  ReportTablePage(int templateId, int index, int lists);
  CColorListCtrl& List(int k) { return *lists_[static_cast<std::size_t>(k)]; }
  int PageCount() const { return pageCount_; }
  int CurrentPageIndex() const { return currentPage_; }
  int LastPageRows() const { return lastPageRows_; }

 protected:
  struct Column {
    const char* heading;
    int width;
  };
  void CreateList(int k, const std::vector<Column>& columns);
  // Widens column 0 of every list to hold the row number of the last record a test file can hold.
  void FitRecordNumbers();
  // Pages of a one-way list (0) and an up/down list (1): creates both, then the timer.
  bool InitLists(const std::vector<Column>& oneWay, const std::vector<Column>& upDown);
  // Fills and shows the up/down list of a self-balanced test or else the one-way list, scrolled to its
  // end; a multi-cycle lateral test empties both.
  void ShowOneWayOrUpDown(int testType, int standard, const std::function<void(bool upDown)>& fill);
  void Layout(const platform::ui::Rect& area) override;
  // What a refresh shows (SourceOf, with the display copies stored); a channel with nothing to show
  // empties every list, so that no rows of a channel shown before stay on the page.
  report_pages::Source TableSource(Parameter& p);
  // Shows list k and hides the others (k = -1 hides all).
  void ShowOnly(int k);
  report_pages::Paging Page(int rows);
  void ScrollToEnd(int k);

 private:
  std::vector<std::unique_ptr<CColorListCtrl>> lists_;
  platform::ui::Font font_;
  int pageCount_ = 0, currentPage_ = 0, lastPageRows_ = 0;
};

// Data record table.
class CPageJiLuBiao : public ReportTablePage {
 public:
  CPageJiLuBiao();
  const char* ClassName() const override { return "CPageJiLuBiao"; }
  void Refresh(Parameter& p) override { RefreshTable(p); }
  void RefreshTable(Parameter& p);
  // The layout (0 A, 1 B, 2 C, 3 D) of a test type and standard.
  static int LayoutOf(int testType, int standard);

 protected:
  bool onInitDialog() override;

 private:
  void FillRows(CColorListCtrl& list, int layout, const std::vector<TestRecord>& records, int first, int count,
                const Parameter& p);
};

// Load-settlement table.
class CPageChenJiangBiao : public ReportTablePage {
 public:
  CPageChenJiangBiao();
  const char* ClassName() const override { return "CPageChenJiangBiao"; }
  void Refresh(Parameter& p) override { RefreshTable(p); }
  void RefreshTable(Parameter& p);

 protected:
  bool onInitDialog() override;

 private:
  void FillSettlementTable(int first, int rows, const std::vector<TestRecord>& records, int standard);
  void FillUpDownTable(int first, int rows, const std::vector<TestRecord>& records);
  C2DGraph graph_;  // never created as a window
};

// Summary table.
class CPageHuiZongBiao : public ReportTablePage {
 public:
  CPageHuiZongBiao();
  const char* ClassName() const override { return "CPageHuiZongBiao"; }
  void Refresh(Parameter& p) override { RefreshTable(p); }
  void RefreshTable(Parameter& p);

 protected:
  bool onInitDialog() override;

 private:
  void FillSummaryTable(int first, int rows, const std::vector<LevelPoint>& list, int standard);
  void FillUpDownSummaryTable(int first, int rows, const std::vector<LevelPoint>& list1,
                              const std::vector<LevelPoint>& list2, int standard);
  C2DGraph graph_;  // the target of the curve builder, never created as a window
};

// A curve page: one plotting window showing one chart of the channel's test.
class ReportCurvePage : public ReportPage {
 public:
  ReportCurvePage(int templateId, int index, int kind);
  void Refresh(Parameter& p) override { DrawCurve(p); }
  void DrawCurve(Parameter& p);
  C2DGraph& Graph() { return graph_; }
  int Standard() const { return standard_; }

 protected:
  bool onInitDialog() override;
  void Layout(const platform::ui::Rect& area) override;

 private:
  int kind_;
  int standard_ = 0;
  C2DGraph graph_;
};

class CPageQ_s : public ReportCurvePage {
 public:
  CPageQ_s() : ReportCurvePage(170, 3, 1) {}
  const char* ClassName() const override { return "CPageQ_s"; }
};

class CPages_lgQ : public ReportCurvePage {
 public:
  CPages_lgQ() : ReportCurvePage(171, 4, 2) {}
  const char* ClassName() const override { return "CPages_lgQ"; }
};

class CPages_lgt : public ReportCurvePage {
 public:
  CPages_lgt() : ReportCurvePage(172, 5, 3) {}
  const char* ClassName() const override { return "CPages_lgt"; }
};
