// The channel's parameter file "krv718" + channel name + ".ini".
//
// Current layout, 820 bytes, little-endian:
//   0   120  test-file path, UTF-16LE, 60 code units (zero-terminated when shorter)
//   120  50  serial number, 25 units
//   170  50  external serial number, 25 units
//   220  30  pile label, 15 units
//   250 520  items 0..129 as floats
//   770  48  items 130..513 as bits (item 130 + 8k + i is bit i of byte k; set only for exactly 1.0)
//   818   2  CRC-16/MODBUS of bytes 0..817, low byte first
// Older layouts are told apart by their length alone and carry no checksum.
//
// Each copy is written by a durable replace (temporary file, flush, rename, folder flush), so a power
// loss at any moment leaves the old or the new file, never a torn one, and the file is always exactly
// 820 bytes after a save. With an SD card folder the primary lies on the card and a second copy in the
// program folder; a primary that fails its checksum (or is too short to be any layout) is never used and
// the copy is tried instead. A file of a layout without a checksum counts as damaged too when its texts
// do not decode or its items are not finite.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/helpers.h"
#include "model/parameter.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

constexpr std::size_t kFileSize = 820;
constexpr std::size_t kCrcOffset = 818;
constexpr std::size_t kLargestLayout = 1052;

struct Layout {
  std::size_t length;
  std::size_t pathBytes;
  std::size_t serialBytes;    // 0 when absent
  std::size_t externalBytes;  // 0 when absent
  std::size_t labelBytes;     // 0 when absent
  int floatItems;
  bool flagBits;         // items 130..513 follow as 48 bytes of bits
  bool offerOldFlags;    // items 130..141, 157, 160, 162, 163 become 1.0
};

constexpr Layout kCurrent{820, 120, 50, 50, 30, 130, true, false};
constexpr Layout kOldLayouts[] = {
    {412, 60, 0, 0, 0, 88, false, true},  {432, 80, 0, 0, 0, 88, false, true},
    {860, 60, 0, 0, 0, 200, false, true}, {880, 80, 0, 0, 0, 200, false, true},
    {1000, 120, 50, 0, 30, 200, false, false}, {1052, 120, 50, 50, 30, 200, false, false},
};

const Layout* layoutFor(std::size_t length) {
  if (length == kCurrent.length) return &kCurrent;
  for (const Layout& l : kOldLayouts) {
    if (l.length == length) return &l;
  }
  // Any other length at least as long as the current layout is read with it, unchecked; a shorter one
  // is damaged.
  if (length > kCurrent.length) return &kCurrent;
  return nullptr;
}

std::string primaryPath(int board, const std::string& channelName) {
  return GetDataRoot(board) + "krv718" + channelName + ".ini";
}

std::string copyPath(int board, const std::string& channelName) {
  return GetProgramRoot(board) + "krv718" + channelName + ".ini";
}

// A text field: the first `bytes / 2` code units of the text, zero-filled when shorter.
void putText(byte* field, std::size_t bytes, const std::string& text) {
  std::memset(field, 0, bytes);
  const std::string u = platform::text::utf16leFit(text, bytes / 2);
  std::memcpy(field, u.data(), u.size() < bytes ? u.size() : bytes);
}

std::string getText(const byte* field, std::size_t bytes) {
  return platform::text::getUtf16Field(field, bytes / 2);
}

float getFloat(const byte* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}

enum class Check { Good, Damaged, Missing };

// Reads the first bytes of a file (as many as the largest layout holds) and its length. Missing when
// there is no such entry; Damaged when one is there (a file, or a folder in its place) but cannot be
// read.
Check readParameterFile(const std::string& path, std::vector<byte>& out, std::size_t& length) {
  platform::fs::File f;
  if (!f.open(path, platform::fs::File::Read)) return platform::fs::exists(path) ? Check::Damaged : Check::Missing;
  const long long len = f.length();
  if (len < 0) return Check::Damaged;
  length = static_cast<std::size_t>(len);
  const std::size_t want = length < kLargestLayout ? length : kLargestLayout;
  out.assign(want, 0);
  if (want > 0 && !f.readExact(out.data(), want)) return Check::Damaged;
  return Check::Good;
}

bool crcMatches(const std::vector<byte>& data) {
  byte crc[2] = {0, 0};
  JDQFile::CRC16(data.data(), kCrcOffset, crc);
  return crc[0] == data[kCrcOffset] && crc[1] == data[kCrcOffset + 1];
}

// Whether a text field holds UTF-16 up to its terminator (or its end): every surrogate is paired.
bool decodes(const byte* field, std::size_t bytes) {
  bool high = false;  // the previous unit was a high surrogate
  for (std::size_t at = 0; at + 1 < bytes; at += 2) {
    const unsigned u = field[at] | (static_cast<unsigned>(field[at + 1]) << 8);
    if (u == 0) break;
    const bool isHigh = u >= 0xD800 && u <= 0xDBFF;
    const bool isLow = u >= 0xDC00 && u <= 0xDFFF;
    if (high != isLow) return false;
    high = isHigh;
  }
  return !high;
}

// A file without a checksum is judged by what it holds: texts that decode and finite items.
bool plausible(const Layout& l, const std::vector<byte>& data) {
  std::size_t at = 0;
  for (std::size_t bytes : {l.pathBytes, l.serialBytes, l.externalBytes, l.labelBytes}) {
    if (bytes != 0 && !decodes(&data[at], bytes)) return false;
    at += bytes;
  }
  for (int k = 0; k < l.floatItems; ++k, at += 4)
    if (!std::isfinite(getFloat(&data[at]))) return false;
  return true;
}

void applyLayout(const Layout& l, const std::vector<byte>& data, std::string& path, Parameter& p) {
  std::size_t at = 0;
  path = getText(&data[at], l.pathBytes);
  at += l.pathBytes;
  if (l.serialBytes) {
    p.serialNumber = getText(&data[at], l.serialBytes);
    at += l.serialBytes;
  }
  if (l.externalBytes) {
    p.externalSerialNumber = getText(&data[at], l.externalBytes);
    at += l.externalBytes;
  }
  if (l.labelBytes) {
    p.pileLabel = getText(&data[at], l.labelBytes);
    at += l.labelBytes;
  }
  std::vector<float> items(ParameterList::kStoredCount, 0.0f);
  for (int k = 0; k < l.floatItems; ++k, at += 4) items[k] = getFloat(&data[at]);
  if (l.flagBits) {
    for (int k = ParameterList::kFirstFlag; k < ParameterList::kStoredCount; ++k) {
      const int bit = k - ParameterList::kFirstFlag;
      items[k] = (data[at + bit / 8] >> (bit % 8)) & 1 ? 1.0f : 0.0f;
    }
  }
  if (l.offerOldFlags) {
    for (int k = 130; k <= 141; ++k) items[k] = 1.0f;
    for (int k : {157, 160, 162, 163}) items[k] = 1.0f;
  }
  p.ParameterList.assign(std::move(items));
  p.ParameterList.extendWithDefaults();
}

// Reads a candidate file; Good fills data and layout; Damaged for a bad checksum or a length that is no
// layout; Missing when it cannot be read.
Check readCandidate(const std::string& path, std::vector<byte>& data, const Layout*& layout,
                    bool& checked) {
  std::size_t length = 0;
  const Check read = readParameterFile(path, data, length);
  if (read != Check::Good) return read;
  layout = layoutFor(length);
  checked = false;
  if (!layout) return Check::Damaged;
  if (length == kFileSize) {
    checked = true;
    if (!crcMatches(data)) return Check::Damaged;
  } else if (!plausible(*layout, data)) {
    return Check::Damaged;
  }
  return Check::Good;
}

}  // namespace

int JDQFile::CRC16(const byte* block, std::size_t length, byte* out) {
  if (!block || !out) return -1;
  if (length == 0) return 0;
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= block[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  out[0] = static_cast<byte>(crc & 0xFF);
  out[1] = static_cast<byte>(crc >> 8);
  return 0;
}

int JDQFile::SaveParameterFile(const std::string& path, const std::string& channelName, Parameter& p) {
  const int board = p.boardFlag;
  std::string bytes(kFileSize, '\0');
  byte* d = reinterpret_cast<byte*>(bytes.data());
  putText(d + 0, 120, path);
  putText(d + 120, 50, p.serialNumber);
  putText(d + 170, 50, p.externalSerialNumber);
  putText(d + 220, 30, p.pileLabel);
  const std::vector<float> items = p.ParameterList.snapshot();
  auto item = [&](int k) {
    return static_cast<std::size_t>(k) < items.size() ? items[k]
                                                       : ParameterList::defaultItem(k, p.ParameterList.channelNumber());
  };
  for (int k = 0; k < ParameterList::kFirstFlag; ++k) {
    const float v = item(k);
    std::memcpy(d + 250 + 4 * k, &v, 4);
  }
  for (int k = ParameterList::kFirstFlag; k < ParameterList::kStoredCount; ++k) {
    const int bit = k - ParameterList::kFirstFlag;
    if (item(k) == 1.0f) d[770 + bit / 8] |= static_cast<byte>(1u << (bit % 8));
  }
  CRC16(d, kCrcOffset, d + kCrcOffset);

  if (!platform::fs::replaceFile(primaryPath(board, channelName), bytes)) return 0;
  if (FileExists(GetSdCardDir(board))) {
    if (!platform::fs::replaceFile(copyPath(board, channelName), bytes)) return 0;
  }
  return 1;
}

int JDQFile::SaveChannelSettings(Parameter& p) {
  PackParameters(p, p.ParameterList);
  return SaveParameterFile(p.testFilePath, p.channelName, p);
}

int JDQFile::LoadParameterFile(std::string& path, const std::string& channelName, Parameter& p) {
  p.configCheck = 0;
  const int board = p.boardFlag;
  const bool sdCard = FileExists(GetSdCardDir(board));
  std::vector<byte> data;
  const Layout* layout = nullptr;
  bool checked = false;

  const Check primary = readCandidate(primaryPath(board, channelName), data, layout, checked);
  if (primary == Check::Good) {
    if (checked) p.configCheck = sdCard ? 2 : 1;
    applyLayout(*layout, data, path, p);
    return 1;
  }
  if (!sdCard) {
    if (primary == Check::Damaged) p.configCheck = 4;
    return 0;
  }
  // The copy in the program folder.
  const Check copy = readCandidate(copyPath(board, channelName), data, layout, checked);
  if (copy == Check::Good) {
    // A copy of another length is read unchecked, as such a primary is.
    p.configCheck = checked ? 1 : 0;
    applyLayout(*layout, data, path, p);
    return 1;
  }
  if (copy == Check::Damaged || primary == Check::Damaged) p.configCheck = 4;
  return 0;
}
