// The 74 header records of a test: the test's settings as texts in records 0..73.
#include <cstring>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"

using platform::text::format;

namespace {

char* fieldOf(TestRecord& r, int field, std::size_t& size) {
  switch (field) {
    case 1: size = sizeof r.text1; return r.text1;
    case 2: size = sizeof r.text2; return r.text2;
    default: size = sizeof r.text3; return r.text3;
  }
}

const char* fieldOf(const TestRecord& r, int field, std::size_t& size) {
  return fieldOf(const_cast<TestRecord&>(r), field, size);
}

class Builder {
 public:
  Builder(std::vector<TestRecord>& records, const ::ParameterList& list) : r_(records), list_(list) {}

  double item(int k) const { return static_cast<double>(list_.item(k)); }

  void text(int rec, int field, const std::string& s) { JDQFile::SetHeaderText(r_, rec, field, s); }
  void num(int rec, int field, int k, const char* fmt) { text(rec, field, format(fmt, item(k))); }
  // A number, or a field of zero bytes when the item is 0.
  void numOrZero(int rec, int field, int k, const char* fmt) {
    if (list_.item(k) == 0.0f) {
      std::size_t size = 0;
      char* f = fieldOf(r_[static_cast<std::size_t>(rec)], field, size);
      std::memset(f, 0, size);
    } else {
      num(rec, field, k, fmt);
    }
  }
  void flag(int rec, int field, int k) { text(rec, field, list_.item(k) == 1.0f ? "1" : "0"); }

 private:
  std::vector<TestRecord>& r_;
  const ::ParameterList& list_;
};

}  // namespace

namespace JDQFile {

std::string HeaderText(const std::vector<TestRecord>& records, int index, int field) {
  if (index < 0 || static_cast<std::size_t>(index) >= records.size()) return {};
  std::size_t size = 0;
  const char* f = fieldOf(records[static_cast<std::size_t>(index)], field, size);
  return platform::text::getGbkField(reinterpret_cast<const std::uint8_t*>(f), size);
}

void SetHeaderText(std::vector<TestRecord>& records, int index, int field, const std::string& utf8) {
  if (index < 0 || static_cast<std::size_t>(index) >= records.size()) return;
  std::size_t size = 0;
  char* f = fieldOf(records[static_cast<std::size_t>(index)], field, size);
  platform::text::putGbkField(reinterpret_cast<std::uint8_t*>(f), size, utf8);
}

int BuildHeaderRecords(Parameter& p) {
  std::vector<TestRecord>& records = p.testRecords;
  records.assign(kHeaderRecordCount, BlankTestRecord());
  Builder b(records, p.ParameterList);

  b.text(3, 2, ExactDecimalText(p.ParameterList.item(23), 3));  // the plate area, every decimal typed
  b.num(4, 2, 24, "%.2f");
  b.num(5, 2, 25, "%.2f");
  b.num(6, 1, 15, "%.0f");
  b.num(6, 2, 26, "%.2f");
  b.num(7, 2, 27, "%.2f");
  b.text(7, 3, p.serialNumber);
  b.text(8, 1, p.pileLabel);
  b.num(8, 2, 28, "%.2f");
  b.text(8, 3, p.externalSerialNumber);
  b.num(9, 2, 29, "%.2f");
  b.numOrZero(9, 3, 16, "%.0f");
  b.num(10, 2, 30, "%.2f");
  b.num(10, 3, 17, "%.0f");
  b.num(11, 2, 31, "%.2f");
  b.text(11, 3, ExactDecimalText(p.ParameterList.item(18), 3));  // the sensitivity, every decimal typed
  b.numOrZero(12, 1, 12, "%.0f");
  b.num(12, 2, 32, "%.2f");
  b.num(12, 3, 11, "%.0f");
  b.num(13, 2, 35, "%.0f");
  b.num(13, 3, 60, "%.0f");
  b.text(14, 1, ExactDecimalText(p.ParameterList.item(13), 2));  // rated oil pressure
  b.num(14, 2, 36, "%.0f");
  b.num(14, 3, 61, "%.0f");
  b.text(15, 1, ExactDecimalText(p.ParameterList.item(14), 0));  // rated output
  b.num(15, 2, 37, "%.0f");
  b.numOrZero(15, 3, 62, "%.5f");
  b.num(16, 1, 39, "%.0f");
  b.num(16, 2, 38, "%.3f");
  b.numOrZero(16, 3, 63, "%.5f");
  for (int j = 1; j <= 11; ++j) b.num(16 + j, 1, 39 + j, "%.0f");  // records 17..27: items 40..50
  b.num(17, 2, 58, "%.0f");
  b.num(18, 2, 59, "%.0f");
  b.num(19, 2, 82, "%.2f");
  b.numOrZero(17, 3, 68, "%.0f");
  b.num(18, 3, 69, "%.0f");
  b.num(20, 3, 97, "%.2f");
  for (int k = 0; k < 4; ++k) b.flag(21 + k, 2, 5 + k);  // displacement channels 5-8
  b.num(28, 1, 52, "%.0f");
  b.num(29, 1, 53, "%.0f");
  b.num(30, 1, 54, "%.0f");
  b.text(30, 2, "1");
  for (int k = 0; k < 4; ++k) b.flag(31 + k, 1, 1 + k);  // displacement channels 1-4
  b.num(32, 2, 10, "%.0f");
  const float type = p.ParameterList.item(64);
  for (int t : {1, 0, 2, 4, 5}) {
    if (type == static_cast<float>(t)) b.text(36, 1, std::to_string(t));
  }
  b.num(57, 1, 86, "%.0f");
  b.num(58, 1, 87, "%.0f");
  b.num(63, 1, 90, "%.3f");
  b.num(64, 1, 91, "%.0f");
  b.flag(65, 1, 92);
  b.num(66, 1, 93, "%.0f");
  b.num(67, 1, 94, "%.0f");
  b.num(68, 1, 95, "%.0f");
  b.flag(67, 3, 89);
  b.flag(69, 1, 96);
  b.num(69, 3, 51, "%.0f");
  b.num(71, 3, 73, "%.2f");

  // The three per-point sensor tables start over: zero 0, offset 0, direction 1.
  for (int j = 0; j < 12; ++j) {
    p.sensorTableA[static_cast<std::size_t>(j)] = 0.0f;
    b.text(33 + j, 2, "0");
    p.sensorTableB[static_cast<std::size_t>(j)] = 0.0f;
    b.text(46 + j, 2, "0");
    p.sensorTableC[static_cast<std::size_t>(j)] = 1;
    b.text(59 + j, 2, "1");
  }
  p.fileLoaded = 1;
  return 1;
}

}  // namespace JDQFile
