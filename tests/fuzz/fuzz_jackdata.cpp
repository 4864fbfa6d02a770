// The jack calibration data "QJDdat.dat": any file loads into at most ten groups, a group is selected
// without fault, and what is saved loads back the same.
#include <cstring>

#include "model/datafiles.h"
#include "model/parameter.h"
#include "tests/fuzz/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 2);
  fuzz::put("\\Storage Card\\QJDdat.dat", in[1]);
  Parameter p;
  p.boardFlag = 1;
  std::vector<JackCalibrationGroup> list(10, JDQFile::DefaultJackGroup());
  JDQFile::LoadJackData(list, p);
  fuzz::check(list.size() == 10, "the list changed its size");
  const std::string text = in[0].substr(0, 20);
  for (int type : {0, 1, 2})
    for (int option : {0, 1}) JDQFile::SelectJackGroup(type, option, text, text, p);

  fuzz::check(JDQFile::SaveJackData(list, p) == 1, "the groups cannot be saved");
  std::vector<JackCalibrationGroup> again(10, JDQFile::DefaultJackGroup());
  fuzz::check(JDQFile::LoadJackData(again, p) == 1, "saved groups do not load");
  fuzz::check(JDQFile::SaveJackData(again, p) == 1, "the groups cannot be saved again");
  std::string a, b;
  platform::fs::readFile("\\Storage Card\\QJDdat.dat", b);
  JDQFile::SaveJackData(list, p);
  platform::fs::readFile("\\Storage Card\\QJDdat.dat", a);
  fuzz::check(a == b, "saved groups do not load back the same");
  return 0;
}
