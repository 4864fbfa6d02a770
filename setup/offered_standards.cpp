#include "setup/offered_standards.h"

#include <algorithm>

#include "setup/standards.h"

std::string StandardTypeText(int testType) {
  switch (testType) {
    case 0:
    case 1: return "桩基";
    case 2: return "自平衡";
    case 3: return "锚杆";
    case 4: return "水平";
    default: return {};
  }
}

bool IsStandardInUse(int code, std::initializer_list<const Parameter*> channels) {
  for (const Parameter* p : channels)
    if (p != nullptr && p->testRunning.load() == 1 && p->standardCode.load() == code) return true;
  return false;
}

int SetOfferedFlags(Parameter& first, const std::vector<bool>& checks, std::initializer_list<const Parameter*> channels) {
  const std::size_t rows = std::min(checks.size(), first.standards.size());
  for (std::size_t i = 0; i < rows; ++i)
    if (!checks[i] && IsStandardInUse(first.standards[i].standardCode, channels)) return static_cast<int>(i);
  for (std::size_t i = 0; i < rows; ++i)
    first.ParameterList.set(kOfferedFlagItem + static_cast<int>(i), checks[i] ? 1.0f : 0.0f);
  return -1;
}
