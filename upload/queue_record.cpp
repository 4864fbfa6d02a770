#include "upload/queue_record.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text/text.h"
#include "upload/wire_number.h"

namespace {

// Longest identifier that fits: 10 bytes at L5-L14 and 16 at L96-L111.
constexpr std::size_t kTextIdentifierMax = 26;
// Longest numeric identifier: 20 digits in L5-L14.
constexpr std::size_t kDigitIdentifierMax = 20;

float Item(const UploadRecordInput& in, int k) {
  return k >= 0 && static_cast<std::size_t>(k) < in.items.size() ? in.items[static_cast<std::size_t>(k)]
                                                                 : 0.0f;
}

// An integer of a float, saturated, NaN as 0.
long long ToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9.0e18) return 9000000000000000000LL;
  if (v <= -9.0e18) return -9000000000000000000LL;
  return static_cast<long long>(v);
}

std::uint8_t LowByte(double v) { return static_cast<std::uint8_t>(ToInt(v) & 0xFF); }

int DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : 0; }

// One byte of two decimal digits; a missing or non-digit character counts as 0.
std::uint8_t Bcd(const std::string& s, std::size_t at) {
  const char hi = at < s.size() ? s[at] : '0';
  const char lo = at + 1 < s.size() ? s[at + 1] : '0';
  return static_cast<std::uint8_t>(DigitValue(hi) * 16 + DigitValue(lo));
}

void N3(UploadRecord& r, std::size_t at, float v) { EncodeWireNumber(v, &r[at]); }

void BigEndianFloat(UploadRecord& r, std::size_t at, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  r[at] = static_cast<std::uint8_t>(bits >> 24);
  r[at + 1] = static_cast<std::uint8_t>(bits >> 16);
  r[at + 2] = static_cast<std::uint8_t>(bits >> 8);
  r[at + 3] = static_cast<std::uint8_t>(bits);
}

std::string TrimBlanks(const std::string& s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
  std::size_t e = s.size();
  while (e > 0 && blank(s[e - 1])) --e;
  std::size_t b = 0;
  while (b < e && blank(s[b])) ++b;
  return s.substr(b, e - b);
}

bool AllDigits(const std::string& s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Writes the identifier; returns the kind byte (4 digits as BCD, 5 text).
std::uint8_t WriteIdentifier(UploadRecord& r, const std::string& utf8) {
  const std::string id = platform::text::utf8ToGbk(TrimBlanks(utf8));
  if (AllDigits(id)) {
    const std::size_t digits = std::min(id.size(), kDigitIdentifierMax);
    std::size_t at = 5;
    for (std::size_t d = 0; d < digits; d += 2) {
      const int hi = id[d] - '0';
      const int lo = d + 1 < digits ? id[d + 1] - '0' : 0x0F;
      r[at++] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return 4;
  }
  const std::string bytes = platform::text::gbkFit(TrimBlanks(utf8), kTextIdentifierMax);
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    r[k < 10 ? 5 + k : 96 + (k - 10)] = static_cast<std::uint8_t>(bytes[k]);
  }
  return 5;
}

bool IsCyclicLateral(int code) { return code == 62 || code == 76 || code == 144; }

}  // namespace

UploadRecord BuildUploadRecordLogical(const UploadRecordInput& in, UploadRecordKind kind) {
  UploadRecord r;
  r.fill(0xFF);
  r[0] = 'G';
  r[1] = 'P';
  r[2] = 'R';
  r[3] = 'S';

  const std::uint8_t idKind =
      WriteIdentifier(r, in.identifierFromRecord8 ? in.externalSerialNumber : in.serialNumber);
  r[4] = idKind;

  // The pile number: at most 10 bytes of GBK, cut between characters.
  const std::string pile = platform::text::gbkFit(in.pileLabel, 10);
  for (std::size_t k = 0; k < pile.size(); ++k) r[15 + k] = static_cast<std::uint8_t>(pile[k]);

  N3(r, 25, Item(in, 27));
  N3(r, 28, Item(in, 26));

  char year[16];
  std::snprintf(year, sizeof year, "%04d", in.year);
  char month[16];
  std::snprintf(month, sizeof month, "%02d", in.month);
  char day[16];
  std::snprintf(day, sizeof day, "%02d", in.day);
  r[31] = Bcd(year, 2);
  r[32] = Bcd(month, 0);
  r[33] = Bcd(day, 0);
  r[34] = Bcd(in.timeText, 0);
  r[35] = Bcd(in.timeText, 3);

  r[36] = in.readingMark ? 0xFF : (in.liveValues ? 2 : 0);

  const MeasuredValues& v = in.liveValues ? in.live : in.recorded;
  N3(r, 37, v.load);
  N3(r, 40, in.controlLoad);
  if (in.forceSensorType == 0) {
    r[43] = r[44] = r[45] = 0xFF;
  } else {
    N3(r, 43, v.oilPressure);
  }
  for (std::size_t g = 0; g < 7; ++g) N3(r, 46 + 3 * g, v.gauges[g]);
  if (kind == UploadRecordKind::Reading && IsCyclicLateral(in.standardCode)) {
    N3(r, 67, static_cast<float>(in.cycleCounter));
  } else {
    N3(r, 67, v.gauges[7]);
  }
  const double derived = std::isfinite(in.derivedValue)
                             ? static_cast<double>(ToInt(in.derivedValue * 1000.0 + 0.5)) * 0.001
                             : static_cast<double>(in.derivedValue);
  N3(r, 70, static_cast<float>(derived));

  r[73] = static_cast<std::uint8_t>(in.standardCode & 0xFF);
  r[74] = in.status1;
  r[75] = kind == UploadRecordKind::Reading ? in.status3 : in.status2;
  for (int c = 1; c <= 8; ++c) r[75 + static_cast<std::size_t>(c)] = Item(in, c) != 0.0f ? 1 : 0;

  switch (in.testType) {
    case 0: r[84] = 1; break;
    case 1: r[84] = 0; break;
    default: r[84] = static_cast<std::uint8_t>(in.testType & 0xFF); break;
  }
  r[85] = static_cast<std::uint8_t>(in.loadingPhase & 0xFF);

  int alarms = 0;
  if (in.pressureAlarm && Item(in, 30) > 0.0f) alarms += 1;
  if (in.protectionAlarm) alarms += 2;
  if (in.protectedValue > Item(in, 28) && Item(in, 28) > 0.0f) alarms += 4;
  for (int g = 0; g < 4; ++g) {
    if (Item(in, g + 1) != 0.0f && in.gaugeAlarm[static_cast<std::size_t>(g)]) {
      alarms += 8;
      break;
    }
  }
  r[86] = static_cast<std::uint8_t>(alarms);
  r[87] = static_cast<std::uint8_t>(in.commandOption & 0xFF);
  N3(r, 88, Item(in, 23));
  r[91] = 9;
  const long long sensor = ToInt(Item(in, 11));
  r[92] = sensor == 0 ? 1 : (sensor == 2 ? 2 : 0);
  r[93] = LowByte(Item(in, 10));
  r[94] = Item(in, 85) == 1.0f ? 1 : 0;
  const long long method = ToInt(Item(in, 60));
  if (method == 1) {
    r[95] = 1;
  } else if (method == 3) {
    r[95] = 2;
  } else if (method == 2) {
    r[95] = Item(in, 61) == 0.0f ? 3 : 4;
  }

  if (idKind == 4) {
    N3(r, 96, Item(in, 18));
    N3(r, 99, Item(in, 17));
    if (method == 1) {
      N3(r, 102, Item(in, 13));
      N3(r, 105, Item(in, 14));
    } else if (method == 3) {
      N3(r, 102, Item(in, 62));
      N3(r, 105, Item(in, 63));
    }
    r[108] = LowByte(Item(in, 15));
  }

  r[112] = Bcd(in.controllerNumber, 0);
  r[113] = Bcd(in.controllerNumber, 2);
  r[114] = Bcd(in.controllerNumber, 4);
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t at = 2 * k;
    r[115 + k] = static_cast<std::uint8_t>(at < in.softwareVersion.size() ? DigitValue(in.softwareVersion[at]) : 0);
  }

  float lon = in.controllerLongitude;
  float lat = in.controllerLatitude;
  if (kind == UploadRecordKind::Reading) {
    if (lon == 0.0f) lon = in.gpsLongitude;
    if (lat == 0.0f) lat = in.gpsLatitude;
  }
  BigEndianFloat(r, 118, lon);
  BigEndianFloat(r, 122, lat);
  r[126] = 0xFF;
  return r;
}

UploadRecord ReorderUploadRecord(const UploadRecord& logical) {
  UploadRecord f;
  for (std::size_t k = 0; k < 5; ++k) f[k] = logical[k];
  std::size_t at = 5;
  for (std::size_t k = 5; k <= 125; k += 2) f[at++] = logical[k];
  for (std::size_t k = 6; k <= 126; k += 2) f[at++] = logical[k];
  unsigned sum = 0;
  for (std::size_t k = 0; k < 127; ++k) sum += f[k];
  f[127] = static_cast<std::uint8_t>(sum & 0xFF);
  return f;
}

UploadRecord BuildUploadRecord(const UploadRecordInput& in, UploadRecordKind kind) {
  return ReorderUploadRecord(BuildUploadRecordLogical(in, kind));
}
