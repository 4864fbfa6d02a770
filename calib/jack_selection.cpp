#include "calib/jack_selection.h"

#include "calib/load_coefficient.h"
#include "model/helpers.h"
#include "platform/text/text.h"

namespace {

using platform::text::format;

std::string NumberOf(const JackSensorEntry& e) {
  return platform::text::getGbkField(reinterpret_cast<const std::uint8_t*>(e.name), sizeof e.name);
}

bool Before(const JackSensorEntry& x, const JackSensorEntry& y) {
  if (x.values[0] != y.values[0]) return x.values[0] < y.values[0];
  return x.values[1] < y.values[1];
}

std::string Printed(const char* fmt, float v) { return Trimmed(format(fmt, static_cast<double>(v))); }

}  // namespace

std::vector<SelectionRow> BuildSelectionRows(const std::vector<JackSensorEntry>& database, int mode,
                                             const std::string& jackText, const std::string& sensorText,
                                             int& marked) {
  std::vector<JackSensorEntry> list;
  for (const JackSensorEntry& e : database)
    if (e.number == mode) list.push_back(e);
  // Selection sort: the first record of the smallest key among the rest goes into place.
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::size_t least = i;
    for (std::size_t j = i + 1; j < list.size(); ++j)
      if (Before(list[j], list[least])) least = j;
    if (least != i) std::swap(list[i], list[least]);
  }
  std::vector<std::string> parts;
  int delimiters = -1;
  SplitString(jackText, parts, delimiters, ",");
  if (delimiters < 0) parts = {jackText};
  if (parts.size() > 9) parts.resize(9);

  std::vector<SelectionRow> rows;
  marked = -1;
  int band = -1;
  std::string previousOutput;
  for (const JackSensorEntry& e : list) {
    SelectionRow r;
    r.record = e;
    r.number = NumberOf(e);
    const int index = static_cast<int>(rows.size());
    if (mode == 0) {
      for (const std::string& part : parts)
        if (part == r.number) r.chosen = true;
      if (r.chosen) marked = index;
      const std::string output = Printed("%.2f", e.values[0]);
      if (index == 0 || output != previousOutput) ++band;
      previousOutput = output;
      r.colour = band % 2 == 0 ? kRowWhite : kRowGrey;
    } else {
      if (r.number == sensorText) marked = index;
      r.colour = index % 2 == 0 ? kRowWhite : kRowGrey;
    }
    rows.push_back(r);
  }
  if (marked < 0 && !rows.empty()) marked = static_cast<int>(rows.size()) - 1;
  return rows;
}

std::vector<std::string> SelectionCells(const SelectionRow& row, int index, int mode) {
  const JackSensorEntry& e = row.record;
  if (mode == 0)
    return {std::to_string(index + 1),      row.number,
            e.value == 0 ? "单油路" : "双油路", Printed("%.2f", e.values[0]),
            Printed("%.2f", e.values[1]),   Printed("%f", e.values[2]),
            Printed("%f", e.values[3])};
  return {std::to_string(index + 1), row.number, e.value == 0 ? "荷重传感器" : "油压传感器",
          Printed("%.3f", e.values[0]), Printed("%.3f", e.values[1])};
}

JackSummary SummarizeJacks(const std::vector<SelectionRow>& rows, int method, float a, float b) {
  JackSummary s;
  s.a = a;
  s.b = b;
  std::vector<float> as, bs;
  for (const SelectionRow& r : rows) {
    if (!r.chosen) continue;
    as.push_back(r.record.values[2]);
    bs.push_back(r.record.values[3]);
    if (!s.selection.empty()) s.selection += ",";
    s.selection += r.number;
    s.ratedOutput = r.record.values[0];
    s.ratedPressure = r.record.values[1];
    ++s.count;
  }
  if (method == 3) {
    s.a = 0.0f;
    s.b = 0.0f;
    CombineParallelJacks(as.data(), bs.data(), static_cast<int>(as.size()), s.a, s.b);
    if (s.count == 0) return s;
    s.chosenLine = format("当前选中%d个千斤顶：", s.count) + s.selection;
    s.regressionLine = format(s.count > 1 ? "拟合后的a值：%f,b值：%f" : "千斤顶的a值：%f,b值：%f",
                              static_cast<double>(s.a), static_cast<double>(s.b));
    return s;
  }
  s.chosenLine = format("当前选中%d个千斤顶：", s.count) + s.selection;
  return s;
}

std::string JackChoiceRefusal(const std::vector<SelectionRow>& rows, int clicked, int method) {
  int count = 0;
  float lastOutput = 0.0f;
  for (const SelectionRow& r : rows)
    if (r.chosen) {
      ++count;
      lastOutput = r.record.values[0];
    }
  const JackSensorEntry& e = rows[static_cast<std::size_t>(clicked)].record;
  if (count > 0 && count >= 9) return "最多只能选择9个千斤顶！";
  if (count > 0 && e.values[0] != lastOutput) return "请选择相同规格的千斤顶！";
  if (method == 3 && !(e.values[3] > 0.0f)) return "千斤顶回归方程b值不能为0或负数！";
  return "";
}
