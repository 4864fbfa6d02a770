// "xtbd.ini": the working state of the system calibration, 308 bytes (77 little-endian 4-byte fields),
// one file for the whole instrument in the data root.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t kSystemCalibrationSize = 308;
inline constexpr const char* kSystemCalibrationFile = "xtbd.ini";

// One point of the calibration table.
struct CalibrationRow {
  float standard = 0.0f;        // standard value of the point: k x maximum / N
  float force = 0.0f;           // force recorded during calibration, kN
  float pressure = 0.0f;        // oil pressure recorded during calibration, MPa
  float checkForce = 0.0f;      // force recorded during a check, kN
  float checkPressure = 0.0f;   // oil pressure recorded during a check, MPa
};

// The fields in file order; the initial values are those of an instrument without the file.
struct SystemCalibration {
  std::int32_t type = 2;            // 0 load sensor, 1 jack with oil-pressure sensor, 2 oil-pressure sensor
  float maximum = 80.0f;            // kN for types 0 and 1, MPa for type 2
  std::int32_t points = 10;         // calibration steps N
  float oilSensorRange = 80.0f;     // MPa
  float loadSensorRange = 1000.0f;  // kN
  float ratedOutput = 1000.0f;      // kN
  float ratedPressure = 64.0f;      // MPa
  std::int32_t calibrating = 0;     // 1 while a calibration is started
  std::int32_t calibrationCount = 0;
  std::int32_t calibrationFinished = 0;
  std::int32_t completed = 0;
  std::int32_t mode = 0;            // 0 calibration, 1 check
  std::int32_t zeroed = 0;
  float zero = 0.0f;                // raw force reading at zeroing
  std::int32_t checkCount = 0;
  std::int32_t checkFinished = 0;
  std::array<CalibrationRow, 12> rows{};  // row 0 the zero point, rows 1..N the steps
  float sensitivity = 2.13f;        // mV/V, or the load sensor's calibration coefficient
};

// The path of the file in a data root ending in a backslash ("\Storage Card\xtbd.ini").
std::string SystemCalibrationPath(std::string_view dataRoot);

// The 308 bytes of the state, and back. Decoding a shorter block fills the whole fields it covers and
// leaves the others as they are; bytes beyond 308 are ignored.
std::array<std::uint8_t, kSystemCalibrationSize> EncodeSystemCalibration(const SystemCalibration& c);
void DecodeSystemCalibration(const std::uint8_t* bytes, std::size_t size, SystemCalibration& c);

// Writes the file; the old content stays whole until the new one is in place. Returns 1 when written,
// 0 when the file could not be written.
int SaveSystemCalibration(std::string_view path, const SystemCalibration& c);
// Reads the file into c (a short file as far as it goes). Returns 1 when read, 0 when the file could
// not be opened (c is left as it was).
int LoadSystemCalibration(std::string_view path, SystemCalibration& c);
