#include "setup/catalogue.h"

#include "model/datafiles.h"
#include "setup/standards.h"

void BuildStandardCatalogue(Parameter& channel) {
  channel.standards.clear();
  for (const StandardCatalogueRow& row : StandardCatalogueRows()) {
    StandardEntry e;
    e.name = std::string(row.name);
    e.region = std::string(row.region);
    e.testType = row.testType;
    e.standardCode = row.code;
    e.group = row.sortGroup;
    channel.standards.push_back(std::move(e));
  }
  for (int p = 0; p < static_cast<int>(kStandardCount); ++p) channel.ParameterList.set(kOfferedFlagItem + p, 1.0f);
}

const StandardEntry* StandardAt(const Parameter& channel, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= channel.standards.size()) return nullptr;
  return &channel.standards[static_cast<std::size_t>(position)];
}

bool IsStandardOffered(const Parameter& channel, int position) {
  if (position < 0) return false;
  return channel.ParameterList.item(kOfferedFlagItem + position) == 1.0f;
}

HeaderTextReader HeaderTextsOf(const std::vector<TestRecord>& records) {
  return [&records](int record, int field) { return JDQFile::HeaderText(records, record, field); };
}
