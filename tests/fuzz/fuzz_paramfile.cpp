// The parameter file (and its copy in the program folder): a file that loads saves and loads again to
// the same settings; one that does not load leaves the channel as it was.
#include <cstring>

#include "model/datafiles.h"
#include "model/parameter.h"
#include "platform/text/text.h"
#include "tests/fuzz/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 2);
  fuzz::put("\\Storage Card\\krv7181.ini", in[0]);
  if (!in[1].empty()) fuzz::put("\\nandflash\\krv7181.ini", in[1]);

  Parameter p;
  p.boardFlag = 1;
  p.serialNumber = "unchanged";
  std::string path = "unchanged";
  const int loaded = JDQFile::LoadParameterFile(path, "1", p);
  if (loaded != 1) {
    fuzz::check(path == "unchanged" && p.serialNumber == "unchanged" && p.ParameterList.empty(),
                "a file that did not load changed the channel");
    return 0;
  }
  fuzz::check(JDQFile::SaveParameterFile(path, "1", p) == 1, "a loaded file cannot be saved");
  Parameter q;
  q.boardFlag = 1;
  std::string again;
  fuzz::check(JDQFile::LoadParameterFile(again, "1", q) == 1, "a saved file does not load");
  fuzz::check(q.configCheck.load() == 2, "a saved file fails its checksum");
  fuzz::check(again == platform::text::truncateChars(again, 60), "path longer than its field");
  const std::vector<float> a = p.ParameterList.snapshot(), b = q.ParameterList.snapshot();
  fuzz::check(a.size() == b.size(), "the list changed its length");
  for (std::size_t k = 0; k < a.size() && k < 130; ++k)
    fuzz::check(std::memcmp(&a[k], &b[k], 4) == 0, "an item changed in the round trip");
  for (std::size_t k = 130; k < a.size() && k < 514; ++k)
    fuzz::check((a[k] == 1.0f) == (b[k] == 1.0f), "a flag changed in the round trip");
  fuzz::check(q.pileLabel == platform::text::truncateChars(q.pileLabel, 15), "label longer than its field");

  // The settings as start-up takes them: header records from the items, the channel's fields from
  // the header records, and the items again from the fields.
  q.channelName = "1";
  JDQFile::BuildHeaderRecords(q);
  q.resumeMarker = 0;
  JDQFile::RestoreFromHeader(q, q.testRecords);
  JDQFile::PackParameters(q, q.ParameterList);
  return 0;
}
