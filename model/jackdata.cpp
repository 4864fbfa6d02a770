// Jack calibration data ("QJDdat.dat") and the jack / sensor lists ("qjd.qjd", "qjd.cgq").
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace fs = platform::fs;

namespace {

constexpr std::size_t kGroupSize = 148;
constexpr std::size_t kOldGroupSize = 136;
constexpr std::size_t kFileSize = kGroupSize * kJackGroupCount;  // 1480
constexpr std::size_t kNameUnits = 10;                           // the file keeps 10 wide characters
constexpr std::size_t kEntrySize = sizeof(JackSensorEntry);      // 40

std::string jackDataPath(const Parameter& p) { return GetDataRoot(p.boardFlag.load()) + "QJDdat.dat"; }

template <typename T>
void put(std::string& s, const T& v) {
  s.append(reinterpret_cast<const char*>(&v), sizeof v);
}
template <typename T>
void get(const char*& at, T& v) {
  std::memcpy(&v, at, sizeof v);
  at += sizeof v;
}

void putName(std::string& s, const std::string& name) {
  std::string units = platform::text::utf16leFit(name, kNameUnits);
  units.resize(kNameUnits * 2, '\0');
  s += units;
}

std::string encodeGroup(const JackCalibrationGroup& g) {
  std::string s;
  putName(s, g.name1);
  putName(s, g.name2);
  put(s, g.kind);
  put(s, g.maxForce);
  put(s, g.pointCount);
  for (float v : g.values4to11) put(s, v);
  for (float v : g.values13to22) put(s, v);
  put(s, g.value24);
  put(s, g.value25);
  put(s, g.value23);
  put(s, g.inUse);
  put(s, g.value27);
  put(s, g.value28);
  return s;
}

void decodeGroup(const char* at, bool current, JackCalibrationGroup& g) {
  g.name1 = platform::text::getUtf16Field(reinterpret_cast<const std::uint8_t*>(at), kNameUnits);
  g.name2 = platform::text::getUtf16Field(reinterpret_cast<const std::uint8_t*>(at + 20), kNameUnits);
  at += 40;
  get(at, g.kind);
  get(at, g.maxForce);
  get(at, g.pointCount);
  for (float& v : g.values4to11) get(at, v);
  for (float& v : g.values13to22) get(at, v);
  get(at, g.value24);
  get(at, g.value25);
  get(at, g.value23);
  if (current) {
    get(at, g.inUse);
    get(at, g.value27);
    get(at, g.value28);
  } else {
    g.inUse = (!g.name1.empty() || !g.name2.empty()) ? 1 : 0;
    g.value27 = 0;
    g.value28 = 0;
  }
}

// Whether every value of a group that the load is worked out from is a finite number.
bool finiteValues(const JackCalibrationGroup& g) {
  auto finite = [](float v) { return std::isfinite(v); };
  return finite(g.maxForce) && finite(g.value23) && finite(g.value24) && finite(g.value25) &&
         std::all_of(g.values4to11.begin(), g.values4to11.end(), finite) &&
         std::all_of(g.values13to22.begin(), g.values13to22.end(), finite);
}

// Reads the file over groups 0, 1, ... of the list; the number of groups read, or -1.
int loadGroups(std::vector<JackCalibrationGroup>& list, const Parameter& p) {
  std::string data;
  if (!fs::readFile(jackDataPath(p), data)) return -1;
  const bool current = data.size() == kFileSize;
  const std::size_t size = current ? kGroupSize : kOldGroupSize;
  std::size_t count = data.size() / size;
  if (count > list.size()) count = list.size();
  for (std::size_t i = 0; i < count; ++i) decodeGroup(data.data() + i * size, current, list[i]);
  return static_cast<int>(count);
}

}  // namespace

namespace JDQFile {

JackCalibrationGroup DefaultJackGroup() { return JackCalibrationGroup{}; }

int SaveJackData(const std::vector<JackCalibrationGroup>& list, const Parameter& p) {
  std::string bytes;
  bytes.reserve(kFileSize);
  for (std::size_t i = 0; i < static_cast<std::size_t>(kJackGroupCount); ++i)
    bytes += encodeGroup(i < list.size() ? list[i] : DefaultJackGroup());
  return fs::replaceFile(jackDataPath(p), bytes) ? 1 : 0;
}

int LoadJackData(std::vector<JackCalibrationGroup>& list, const Parameter& p) {
  return loadGroups(list, p) < 0 ? 0 : 1;
}

int SelectJackGroup(int sensorType, int option, const std::string& sensorText, const std::string& jackText,
                    Parameter& p) {
  // A fresh list on each call (twelve default groups with the file read over them); it becomes the
  // channel's `jackGroups`, where the rating-table code looks up the selected group.
  std::vector<JackCalibrationGroup> groups(12, DefaultJackGroup());
  const int read = loadGroups(groups, p);
  p.jackGroups = groups;
  if (read < 0) return 0;
  int chosen = -1;
  for (int i = 0; i < read; ++i) {
    const JackCalibrationGroup& g = groups[static_cast<std::size_t>(i)];
    bool fits = false;
    if (sensorType != 0 && option == 0) {
      fits = !jackText.empty() && g.name1 == jackText && g.kind == 0;
    } else if (sensorType != 0) {
      fits = !jackText.empty() && !sensorText.empty() && g.name1 == jackText && g.name2 == sensorText &&
             g.kind == 1;
    } else if (option == 1) {
      fits = !sensorText.empty() && g.name2 == sensorText && g.name1.empty();  // load cell: no jack name
    }
    // A group whose values are not all numbers is damaged: it gives no load.
    if (fits && finiteValues(g)) chosen = i;
  }
  if (chosen < 0) return 0;
  const JackCalibrationGroup& g = p.jackGroups[static_cast<std::size_t>(chosen)];
  std::vector<float> block;
  block.push_back(0.0f);
  for (float v : g.values4to11) block.push_back(v);
  block.push_back(g.values13to22[0]);  // value 13
  block.push_back(g.values13to22[1]);  // value 14
  block.push_back(g.value23);
  block.push_back(g.values13to22[2]);  // value 15
  for (int k = 3; k < 10; ++k) block.push_back(g.values13to22[static_cast<std::size_t>(k)]);  // 16..22
  block.push_back(g.value24);
  block.push_back(g.value25);
  for (std::size_t k = 0; k < block.size() && k < p.jackCalibration.size(); ++k) p.jackCalibration[k] = block[k];
  p.selectedJackGroup = chosen;
  return 1;
}

int LoadJackSensorLists(const std::string& name, int number, Parameter& p) {
  const std::string root = GetDataRoot(p.boardFlag.load());
  const std::string path =
      (p.uploadOption.load() == 1 && fs::isFile(root + "qjd.cgq")) ? root + "qjd.cgq" : root + "qjd.qjd";
  std::string data;
  if (!fs::readFile(path, data)) return 0;
  std::vector<JackSensorEntry> list(data.size() / kEntrySize);
  for (std::size_t i = 0; i < list.size(); ++i) std::memcpy(&list[i], data.data() + i * kEntrySize, kEntrySize);
  p.jackSensorList = list;
  for (const JackSensorEntry& e : p.jackSensorList) {
    const std::string entryName =
        platform::text::getGbkField(reinterpret_cast<const std::uint8_t*>(e.name), sizeof e.name);
    if (e.number == number && entryName == name) {
      p.currentJack = e;
      return 1;
    }
  }
  return 0;
}

}  // namespace JDQFile
