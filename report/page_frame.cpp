// What the six report pages share: their templates and registration, the timer and the redraw
// request, the placing of their controls, the paging of the tables and the number texts.
#include <cstdio>

#include "model/datafiles.h"
#include "model/header_fields.h"
#include "model/record_values.h"
#include "report/file_manager.h"
#include "report/pages.h"

using namespace platform::ui;

// The pages' templates (167-172, empty child windows; all controls are made in code) stand with the
// registry's.
void RegisterReportPages() {
  SetMonitorDialogFactory(MonitorSlot::CPageJiLuBiao, [] { return std::make_unique<CPageJiLuBiao>(); });
  SetMonitorDialogFactory(MonitorSlot::CPageChenJiangBiao, [] { return std::make_unique<CPageChenJiangBiao>(); });
  SetMonitorDialogFactory(MonitorSlot::CPageHuiZongBiao, [] { return std::make_unique<CPageHuiZongBiao>(); });
  SetMonitorDialogFactory(MonitorSlot::CPageQ_s, [] { return std::make_unique<CPageQ_s>(); });
  SetMonitorDialogFactory(MonitorSlot::CPages_lgQ, [] { return std::make_unique<CPages_lgQ>(); });
  SetMonitorDialogFactory(MonitorSlot::CPages_lgt, [] { return std::make_unique<CPages_lgt>(); });
  RegisterFileManager();
}

namespace report_pages {

Paging PageOf(int rows) {
  Paging g;
  if (rows < 0) rows = 0;
  if (rows < kRowsPerPage + 1) {
    g.pages = 1;
    g.count = rows;
  } else {
    g.pages = rows / kRowsPerPage + (rows % kRowsPerPage != 0 ? 1 : 0);
    g.count = rows % kRowsPerPage == 0 ? kRowsPerPage : rows % kRowsPerPage;
  }
  g.first = (g.pages - 1) * kRowsPerPage;
  return g;
}

std::string LoadText(float load) {
  char buf[64];
  const char* format = load >= 10000.0f ? "%.f" : load >= 1000.0f ? "%.1f" : "%.2f";
  std::snprintf(buf, sizeof buf, format, static_cast<double>(load));
  return buf;
}

std::string StripDecimalZeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

bool ThousandthsStandard(int standard) { return record_values::isThousandths(standard); }

Source SourceOf(Parameter& p, bool storeCopies) {
  Source s;
  if (p.testRunning.load() == 1) {
    s.records = &p.testRecords;
    s.running = true;
    if (storeCopies) {
      ProcedureState& v = p.procedure;
      v.openedStandardCode = p.standardCode.load();
      for (std::size_t k = 0; k < 8; ++k) v.openedGaugeOn[k] = p.displacementOn[k].load() == 1 ? 1 : 0;
      v.openedHeader12 = p.forceSensorType.load();
    }
  } else if (!p.procedure.lastTestFileName.empty() && !p.openedTestRecords.empty()) {
    s.records = &p.openedTestRecords;
  }
  return s;
}

int ShownTestType(const Parameter& p, const Source& s) {
  if (s.running || !s.records) return p.testType.load();
  const std::vector<TestRecord>& r = *s.records;
  if (r.size() <= 36) return p.testType.load();
  const char c = header_fields::first(r[36].text1);
  return c >= '0' && c <= '9' ? c - '0' : p.testType.load();
}

}  // namespace report_pages

// ---- ReportPage -------------------------------------------------------------------------------------

ReportPage::ReportPage(int templateId, int index) : MonitorDialog(templateId), index_(index) {
  on(WM_TIMER, [this](Message& m) {
    OnTimer(static_cast<unsigned>(m.wParam));
    return LRESULT{0};
  });
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    // Pages are child windows of the tab, which are not activated; a page shown on its own stops its
    // timer when it loses the activation.
    if (static_cast<int>(LOWORD(m.wParam)) != WA_ACTIVE) killTimer(1);
    return LRESULT{0};
  });
  on(WM_SIZE, [this](Message& m) {
    defWindowProc(m);
    Layout(getClientRect());
    return LRESULT{0};
  });
}

bool ReportPage::onInitDialog() {
  Layout(getClientRect());
  setTimer(1, 1000);
  return true;
}

void ReportPage::OnTimer(unsigned) {
  Parameter* p = CurrentChannel();
  if (!p || p->pageRedraw.load() != index_) return;
  Refresh(*p);
  p->pageRedraw.store(report_pages::kNothingPending);
}

int ReportPage::BoardFlag() const {
  const Parameter* p = Channel(1) ? Channel(1) : CurrentChannel();
  return p ? p->boardFlag.load() : 1;
}

Rect ReportPage::ControlArea(bool table) const {
  const Rect c = getClientRect();
  const bool board1 = BoardFlag() == 1;
  Rect r{c.left + 1, c.top + 1, c.right, c.bottom};
  r.right -= table ? 26 : (board1 ? 10 : 12);
  r.bottom -= board1 ? 17 : (table ? 97 : 107);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// ---- ReportTablePage --------------------------------------------------------------------------------

namespace {
// The narrow columns hold their numbers ("2400.0", "08:30") at the tables' font with this margin.
constexpr int kCellMargin = 4;
}  // namespace

ReportTablePage::ReportTablePage(int templateId, int index, int lists) : ReportPage(templateId, index) {
  for (int k = 0; k < lists; ++k) lists_.push_back(std::make_unique<CColorListCtrl>());
  font_ = Font::create(21, FW_NORMAL, "null");
}

void ReportTablePage::CreateList(int k, const std::vector<Column>& columns) {
  CColorListCtrl& list = List(k);
  const Rect r = ControlArea(true);
  list.createWindow(this, r, 0, "", WS_CHILD | WS_VISIBLE | LVS_REPORT);
  list.setFont(font_, false);
  list.setExtendedStyle(LVS_EX_GRIDLINES);
  list.setCellMargin(kCellMargin);
  for (std::size_t c = 0; c < columns.size(); ++c)
    list.insertColumn(static_cast<int>(c), columns[c].heading, c == 0 ? LVCFMT_LEFT : LVCFMT_CENTER,
                      columns[c].width);
}

void ReportTablePage::FitRecordNumbers() {
  MemoryDC dc(1, 1);
  dc.selectFont(font_);
  const int width = dc.getTextExtent(std::to_string(JDQFile::kMaxTestRecords + 1)).cx + 2 * kCellMargin;
  for (auto& l : lists_)
    if (l->exists() && l->getColumnWidth(0) < width) l->setColumnWidth(0, width);
}

void ReportTablePage::Layout(const Rect&) {
  const Rect r = ControlArea(true);
  for (auto& l : lists_)
    if (l->exists()) l->moveWindow(r, true);
}

report_pages::Source ReportTablePage::TableSource(Parameter& p) {
  const report_pages::Source s = report_pages::SourceOf(p, true);
  if (!s.records)
    for (auto& l : lists_) l->deleteAllItems();
  return s;
}

void ReportTablePage::ShowOnly(int k) {
  for (std::size_t i = 0; i < lists_.size(); ++i)
    if (lists_[i]->exists()) lists_[i]->showWindow(static_cast<int>(i) == k ? SW_SHOWNA : SW_HIDE);
}

report_pages::Paging ReportTablePage::Page(int rows) {
  const report_pages::Paging g = report_pages::PageOf(rows);
  pageCount_ = g.pages;
  currentPage_ = g.pages - 1;
  lastPageRows_ = g.count;
  return g;
}

void ReportTablePage::ScrollToEnd(int k) {
  CColorListCtrl& list = List(k);
  if (list.getItemCount() > 0) list.ensureVisible(list.getItemCount() - 1);
}

// ---- curve pages ------------------------------------------------------------------------------------

ReportCurvePage::ReportCurvePage(int templateId, int index, int kind)
    : ReportPage(templateId, index), kind_(kind) {
  on(WM_CTLCOLOR, [this](Message& m) {
    CtlColor& c = CtlColor::of(m);
    if (c.kind == CTLCOLOR_DLG) {
      c.setBrush(Brush{0xFFFFFF, false});
      return LRESULT{0};
    }
    return defWindowProc(m);
  });
  if (index == 5) {
    on(WM_ACTIVATE, [this](Message& m) {
      defWindowProc(m);
      if (static_cast<int>(LOWORD(m.wParam)) != WA_ACTIVE) {
        killTimer(1);
      } else {
        setTimer(1, 3000);
        if (Parameter* p = CurrentChannel()) DrawCurve(*p);
      }
      return LRESULT{0};
    });
  }
}

bool ReportCurvePage::onInitDialog() {
  graph_.Create(nullptr, nullptr, 0x50000000u, ControlArea(false), this, 0);
  if (kind_ != 1) {
    graph_.m_nCurveKind = kind_;
    graph_.invalidate();
  }
  setTimer(1, 1000);
  return true;
}

void ReportCurvePage::Layout(const Rect&) {
  if (graph_.exists()) graph_.moveWindow(ControlArea(false), true);
}
