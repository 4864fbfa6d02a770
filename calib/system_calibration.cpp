#include "calib/system_calibration.h"

#include <cstring>
#include <vector>

#include "platform/fs/fs.h"

namespace {

// The 77 fields in file order, as pointers into the state: 32-bit integers and floats alike.
std::vector<void*> Fields(SystemCalibration& c) {
  std::vector<void*> f = {&c.type,           &c.maximum,         &c.points,      &c.oilSensorRange,
                          &c.loadSensorRange, &c.ratedOutput,     &c.ratedPressure, &c.calibrating,
                          &c.calibrationCount, &c.calibrationFinished, &c.completed, &c.mode,
                          &c.zeroed,         &c.zero,            &c.checkCount,  &c.checkFinished};
  for (CalibrationRow& r : c.rows) {
    f.insert(f.end(), {&r.standard, &r.force, &r.pressure, &r.checkForce, &r.checkPressure});
  }
  f.push_back(&c.sensitivity);
  return f;
}

static_assert(sizeof(float) == 4 && sizeof(std::int32_t) == 4);

std::uint32_t Bits(const void* field) {
  std::uint32_t v;
  std::memcpy(&v, field, 4);
  return v;
}

}  // namespace

std::string SystemCalibrationPath(std::string_view dataRoot) {
  return std::string(dataRoot) + kSystemCalibrationFile;
}

std::array<std::uint8_t, kSystemCalibrationSize> EncodeSystemCalibration(const SystemCalibration& c) {
  std::array<std::uint8_t, kSystemCalibrationSize> out{};
  SystemCalibration copy = c;
  const std::vector<void*> fields = Fields(copy);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::uint32_t v = Bits(fields[i]);
    for (std::size_t b = 0; b < 4; ++b) out[4 * i + b] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  return out;
}

void DecodeSystemCalibration(const std::uint8_t* bytes, std::size_t size, SystemCalibration& c) {
  const std::vector<void*> fields = Fields(c);
  for (std::size_t i = 0; i < fields.size() && 4 * i + 4 <= size; ++i) {
    std::uint32_t v = 0;
    for (std::size_t b = 0; b < 4; ++b) v |= static_cast<std::uint32_t>(bytes[4 * i + b]) << (8 * b);
    std::memcpy(fields[i], &v, 4);
  }
}

int SaveSystemCalibration(std::string_view path, const SystemCalibration& c) {
  const auto bytes = EncodeSystemCalibration(c);
  return platform::fs::replaceFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
             ? 1
             : 0;
}

int LoadSystemCalibration(std::string_view path, SystemCalibration& c) {
  platform::fs::File f;
  if (!f.open(path, platform::fs::File::Read)) return 0;
  std::array<std::uint8_t, kSystemCalibrationSize> buf{};
  std::size_t got = 0;
  while (got < buf.size()) {
    const long long n = f.read(buf.data() + got, buf.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  f.close();
  DecodeSystemCalibration(buf.data(), got, c);
  return 1;
}
