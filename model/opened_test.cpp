#include "model/opened_test.h"

#include <cstring>

#include "model/datafiles.h"
#include "model/header_fields.h"

namespace {

int firstWith(const std::vector<TestRecord>& records, int field) {
  for (std::size_t k = 0; k < records.size(); ++k) {
    const TestRecord& t = records[k];
    const bool hit = field == 0   ? std::memcmp(t.marker, "11111", 5) == 0
                     : field == 1 ? std::memcmp(t.stepMark, "11111", 5) == 0
                                  : std::memcmp(t.time, "99999", 5) == 0;
    if (hit) return static_cast<int>(k);
  }
  return static_cast<int>(records.size());
}

}  // namespace

void JDQFile::CountRecords(Parameter& p, const std::vector<TestRecord>& records) {
  p.readingCount = firstWith(records, 0);
  p.readingCount2 = firstWith(records, 1);
  p.readingIndex = firstWith(records, 2);
}

bool JDQFile::LoadOpenedTest(Parameter& p, const std::string& path) {
  std::vector<TestRecord> opened;
  if (path.empty() || JDQFile::LoadTestFile(path, opened) != 1) return false;
  p.openedTestRecords = std::move(opened);
  const std::vector<TestRecord>& r = p.openedTestRecords;
  CountRecords(p, r);
  ProcedureState& s = p.procedure;
  const std::size_t n = r.size();
  if (n > 69) s.openedStandardCode = header_fields::toInt(r[69].text3);
  if (n > 12) s.openedHeader12 = header_fields::toInt(r[12].text3);
  for (std::size_t g = 0; g < 4; ++g) {
    if (n > 31 + g) s.openedGaugeOn[g] = r[31 + g].text1[0] == '1' ? 1 : 0;
    if (n > 21 + g) s.openedGaugeOn[4 + g] = r[21 + g].text2[0] == '1' ? 1 : 0;
  }
  return true;
}
