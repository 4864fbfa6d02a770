// The curve pages: each builds the chart of its channel's test into its plotting window.
#include "model/computations.h"
#include "model/header_fields.h"
#include "report/pages.h"

namespace {

bool UpliftStandard(int standard) {
  switch (standard) {
    case 13: case 19: case 70: case 81: case 115: case 118: case 140: return true;
    default: return false;
  }
}

}  // namespace

void ReportCurvePage::DrawCurve(Parameter& p) {
  // 1. The standard of the test shown.
  standard_ = 0;
  const bool running = p.testRunning.load() == 1;
  if (running) {
    standard_ = p.standardCode.load();
  } else if (p.readingCount > 0 && p.openedTestRecords.size() > 69) {
    standard_ = header_fields::toInt(p.openedTestRecords[69].text3);
  }
  // 2. The kind of chart, from the request.
  const int request = p.pageRedraw.load();
  if (request >= 3 && request <= 5) graph_.m_nCurveKind = request - 2 + (UpliftStandard(standard_) ? 3 : 0);
  // 3-4. Step summary and curve points of the running test, else of the file opened for viewing.
  std::vector<TestRecord>& records = running ? p.testRecords : p.openedTestRecords;
  JDQFile::RebuildReadings(p, records);
  JDQFile::BuildCurvePoints(p, records, &graph_, 1);
  // 5. Repaint.
  graph_.invalidate(true);
}
