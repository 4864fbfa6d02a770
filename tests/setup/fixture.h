// Reading the tables of tests/setup/data: lines "| a | b | ... |", '#' lines are comments.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace setup_test {

inline std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// The cells of every table line of a data file.
inline std::vector<std::vector<std::string>> ReadTable(const std::string& name) {
  std::ifstream in(std::string(INSTRUMENT_SOURCE_DIR) + "/tests/setup/data/" + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '|') continue;
    std::vector<std::string> cells;
    std::size_t pos = 1;
    while (pos < line.size()) {
      const auto bar = line.find('|', pos);
      if (bar == std::string::npos) break;
      cells.push_back(Trim(line.substr(pos, bar - pos)));
      pos = bar + 1;
    }
    rows.push_back(cells);
  }
  return rows;
}

// "\"text\"" -> "text".
inline std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

}  // namespace setup_test
