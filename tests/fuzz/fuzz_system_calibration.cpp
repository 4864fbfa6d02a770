// The system calibration "xtbd.ini" as its dialog reads it at every activation: any file loads without
// being written and is made safe (bounding it twice changes nothing more); the table texts, the next
// row, the live and corrected readings and the estimate of a started calibration come without fault,
// the next row within the table; a row recorded from the live texts is saved and reads back the same.
#include <algorithm>
#include <cstring>

#include "calib/system_calibration.h"
#include "calib/system_calibration_steps.h"
#include "model/parameter.h"
#include "tests/fuzz/fuzz_root.h"

namespace {

float floatOf(const std::string& bytes) {
  float f = 0.0f;
  std::memcpy(&f, bytes.data(), std::min(bytes.size(), sizeof f));
  return f;
}

// What an activation shows of the state.
std::string shown(const SystemCalibration& c, float raw, int sensorType) {
  std::string all = StandardValueText(c.type, c.maximum) + '|' + std::to_string(NextCalibrationRow(c));
  for (const CalibrationRowTexts& r : CalibrationTexts(c)) all += '|' + r.standard + ':' + r.force + ':' + r.pressure;
  const CalibrationLiveTexts live = LiveCalibrationTexts(c, raw, sensorType);
  return all + '|' + live.force + ':' + live.pressure;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 3);
  const std::string path = SystemCalibrationPath("\\Storage Card\\");
  fuzz::put(path, in[2]);
  SystemCalibration c;
  fuzz::check(LoadSystemCalibration(path, c) == 1, "the file does not load");
  fuzz::check(fuzz::read(path) == in[2], "reading the file wrote it");
  BoundSystemCalibration(c);
  SystemCalibration twice = c;
  BoundSystemCalibration(twice);
  fuzz::check(EncodeSystemCalibration(twice) == EncodeSystemCalibration(c), "bounding twice changed the state");

  const float raw = floatOf(in[0]);
  const int sensorType = in[1].empty() ? 1 : static_cast<unsigned char>(in[1][0]) % 3;
  const int next = NextCalibrationRow(c);
  fuzz::check(next >= 0 && next <= c.points && next < kCalibrationShownRows, "the next row is outside the table");
  shown(c, raw, sensorType);
  float pressure = 0.0f;
  CorrectedCalibrationForce(c, LiveCalibrationForce(c, raw, sensorType, pressure));
  std::array<std::string, kCalibrationShownRows> standards, measured;
  const CalibrationTableTexts texts = CalibrationTexts(c);
  for (int k = 0; k < kCalibrationShownRows; ++k) {
    standards[static_cast<std::size_t>(k)] = texts[static_cast<std::size_t>(k)].standard;
    measured[static_cast<std::size_t>(k)] = c.type == kCalibrateOilSensor ? texts[static_cast<std::size_t>(k)].pressure
                                                                           : texts[static_cast<std::size_t>(k)].force;
  }
  CalibrationEstimateText(c.type, in[0], std::to_string(c.points), standards, measured);

  // What the dialog does next on an active calibration: the live texts recorded into the next row,
  // saved, and read back at the next activation.
  if (c.calibrating == 1) {
    const CalibrationLiveTexts live = LiveCalibrationTexts(c, raw, sensorType);
    RecordCalibrationRow(c, live.force, live.pressure);
  }
  fuzz::check(SaveSystemCalibration(path, c) == 1, "the state cannot be saved");
  SystemCalibration back;
  fuzz::check(LoadSystemCalibration(path, back) == 1, "the saved state does not load");
  BoundSystemCalibration(back);
  fuzz::check(shown(back, raw, sensorType) == shown(c, raw, sensorType), "the saved state reads back otherwise");
  return 0;
}
