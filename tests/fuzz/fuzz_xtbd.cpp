// The system calibration "xtbd.ini": any block decodes, and what is encoded decodes to the same bytes.
#include "calib/system_calibration.h"
#include "tests/fuzz/fuzz_root.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  SystemCalibration c;
  DecodeSystemCalibration(data, size, c);
  const auto bytes = EncodeSystemCalibration(c);
  SystemCalibration d;
  DecodeSystemCalibration(bytes.data(), bytes.size(), d);
  fuzz::check(EncodeSystemCalibration(d) == bytes, "encode and decode differ");
  const std::string path = SystemCalibrationPath("\\Storage Card\\");
  fuzz::put(path, std::string(reinterpret_cast<const char*>(data), size));
  SystemCalibration e;
  fuzz::check(LoadSystemCalibration(path, e) == 1, "the file does not load");
  fuzz::check(SaveSystemCalibration(path, e) == 1, "the file cannot be saved");
  SystemCalibration f;
  fuzz::check(LoadSystemCalibration(path, f) == 1 && EncodeSystemCalibration(f) == EncodeSystemCalibration(e),
              "the file does not load back the same");
  return 0;
}
