#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <vector>

#include "platform/text/text.h"
#include "upload/queue_record.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Parameter list of the sample channel: items 1-4 on, 20S sensor, computed method with P 64 and
// F 1000, two jacks, full range 80, sensitivity 2.5.
std::vector<float> SampleItems() {
  std::vector<float> items(130, 0.0f);
  for (int k = 1; k <= 4; ++k) items[static_cast<std::size_t>(k)] = 1.0f;
  items[10] = 1;
  items[11] = 2;
  items[13] = 64;
  items[14] = 1000;
  items[15] = 2;
  items[17] = 80;
  items[18] = 2.5f;
  items[23] = 2.0f;
  items[26] = 100;
  items[27] = 1000;
  items[28] = 40;
  items[30] = 90;
  items[60] = 1;
  items[61] = 0;
  items[85] = 1;
  return items;
}

struct Sample {
  UploadRecordInput in;
  Sample() {
    in.serialNumber = "20240517";
    in.externalSerialNumber = "EXT-9";
    in.pileLabel = "A-12";
    in.year = 2026;
    in.month = 3;
    in.day = 9;
    in.timeText = "14:05";
    in.recorded.load = 500;
    in.recorded.oilPressure = 32;
    in.recorded.gauges = {1.25f, 2.5f, -0.5f, 0, 0, 0, 0, 3};
    in.live.load = 999;
    in.live.oilPressure = 1;
    in.live.gauges = {7, 7, 7, 7, 7, 7, 7, 7};
    in.controlLoad = 500;
    in.derivedValue = 12.2504f;
    in.cycleCounter = 3;
    in.standardCode = 1;
    in.testType = 0;
    in.loadingPhase = 3;
    in.forceSensorType = 2;
    in.status1 = 0x11;
    in.status2 = 0x22;
    in.status3 = 0x33;
    in.pressureAlarm = true;
    in.protectedValue = 45;
    in.gaugeAlarm = {false, true, false, false};
    in.commandOption = 0x101;
    in.items = SampleItems();
    in.controllerNumber = "123456";
    in.softwareVersion = "3.3.8";
    in.controllerLatitude = 22.5f;
    in.gpsLongitude = 113.25f;
    in.gpsLatitude = 1.0f;
  }
  Sample(const Sample&) = delete;
};

// The sample's record before reordering, written out by hand: position -> bytes; the rest 0xFF.
std::map<std::size_t, Bytes> SampleLogical() {
  return {
      {0, {'G', 'P', 'R', 'S', 0x04}},
      {5, {0x20, 0x24, 0x05, 0x17}},           // serial number as BCD
      {15, {'A', '-', '1', '2'}},              // pile number
      {25, {0x0A, 0xFA, 0x00}},                // item 27: 1000
      {28, {0x07, 0xC8, 0x00}},                // item 26: 100
      {31, {0x26, 0x03, 0x09, 0x14, 0x05}},    // 26-03-09 14:05
      {36, {0x00}},                            // recorded values
      {37, {0x09, 0xFA, 0x00}},                // load 500
      {40, {0x09, 0xFA, 0x00}},                // control load 500
      {43, {0x06, 0x80, 0x00}},                // oil pressure 32
      {46, {0x01, 0xA0, 0x00, 0x02, 0xA0, 0x00, 0xC0, 0x7F, 0xFF, 0x40, 0x00, 0x00,
            0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00}},  // gauges 1-7
      {67, {0x02, 0xC0, 0x00}},                // gauge 8: 3
      {70, {0x04, 0xC4, 0x00}},                // derived value rounded to 12.25
      {73, {0x01, 0x11, 0x33}},                // standard, status bytes 1 and 3
      {76, {1, 1, 1, 1, 0, 0, 0, 0}},          // gauges on
      {84, {0x01, 0x03, 0x0D, 0x01}},          // plate test, phase 3, alarms 1+4+8, option
      {88, {0x02, 0x80, 0x00}},                // item 23: 2
      {91, {0x09, 0x02, 0x01, 0x01, 0x01}},    // 9, 20S, mode 1, item 85, method 1
      {96, {0x02, 0xA0, 0x00,                  // item 18: 2.5
            0x07, 0xA0, 0x00,                  // item 17: 80
            0x07, 0x80, 0x00,                  // item 13: 64
            0x0A, 0xFA, 0x00,                  // item 14: 1000
            0x02}},                            // item 15
      {112, {0x12, 0x34, 0x56, 3, 3, 8}},      // controller number, version
      {118, {0x42, 0xE2, 0x80, 0x00}},         // longitude 113.25 from the GPS module
      {122, {0x41, 0xB4, 0x00, 0x00}},         // latitude 22.5 from the controller
  };
}

UploadRecord Fill(const std::map<std::size_t, Bytes>& parts) {
  UploadRecord r;
  r.fill(0xFF);
  for (const auto& [at, bytes] : parts) {
    for (std::size_t k = 0; k < bytes.size(); ++k) r[at + k] = bytes[k];
  }
  return r;
}

TEST(UploadRecord, LogicalLayoutOfAReading) {
  Sample s;
  const UploadRecord got = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  const UploadRecord want = Fill(SampleLogical());
  for (std::size_t k = 0; k < 127; ++k) EXPECT_EQ(got[k], want[k]) << "L" << k;
}

TEST(UploadRecord, WholeRecordInTransmissionOrder) {
  Sample s;
  const UploadRecord got = BuildUploadRecord(s.in, UploadRecordKind::Reading);
  const UploadRecord l = Fill(SampleLogical());
  // Head, kind, then the odd positions L5..L125, then the even positions L6..L126, then the sum.
  Bytes want(l.begin(), l.begin() + 5);
  for (std::size_t k = 5; k <= 125; k += 2) want.push_back(l[k]);
  for (std::size_t k = 6; k <= 126; k += 2) want.push_back(l[k]);
  ASSERT_EQ(want.size(), 127u);
  want.push_back(static_cast<std::uint8_t>(std::accumulate(want.begin(), want.end(), 0u) & 0xFF));
  EXPECT_EQ(Bytes(got.begin(), got.end()), want);

  // A few places written out: serial number pairs 0x20 (L5) and 0x05 (L7) lead, 0x24 (L6) opens the
  // even half, the latitude's last byte L125 closes the odd one.
  EXPECT_EQ(got[4], 0x04);
  EXPECT_EQ(got[5], 0x20);
  EXPECT_EQ(got[6], 0x05);
  EXPECT_EQ(got[66], 0x24);
  EXPECT_EQ(got[65], 0x00);
  EXPECT_EQ(got[126], 0xFF);
  EXPECT_EQ(got[127], 0x1A);
}

TEST(UploadRecord, LiveValuesAndReadingMark) {
  Sample s;
  s.in.liveValues = true;
  UploadRecord r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(r[36], 2);
  EXPECT_EQ(Bytes(r.begin() + 37, r.begin() + 40), (Bytes{0x0A, 0xF9, 0xC0}));  // 999
  EXPECT_EQ(Bytes(r.begin() + 43, r.begin() + 46), (Bytes{0x01, 0x80, 0x00}));  // 1
  EXPECT_EQ(Bytes(r.begin() + 67, r.begin() + 70), (Bytes{0x03, 0xE0, 0x00}));  // 7
  s.in.readingMark = true;
  r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(r[36], 0xFF);
}

TEST(UploadRecord, LoadCellSendsNoPressure) {
  Sample s;
  s.in.forceSensorType = 0;
  s.in.items[11] = 0;
  const UploadRecord r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(Bytes(r.begin() + 43, r.begin() + 46), (Bytes{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(r[92], 1);
}

TEST(UploadRecord, ManualRecordDiffersInThreePoints) {
  Sample s;
  s.in.standardCode = 62;
  const UploadRecord reading = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  const UploadRecord manual = BuildUploadRecordLogical(s.in, UploadRecordKind::Manual);
  // Multi-cycle standard: the reading sends the cycle counter, the manual record gauge 8.
  EXPECT_EQ(Bytes(reading.begin() + 67, reading.begin() + 70), (Bytes{0x02, 0xC0, 0x00}));  // 3
  EXPECT_EQ(Bytes(manual.begin() + 67, manual.begin() + 70), (Bytes{0x02, 0xC0, 0x00}));    // 3.0
  s.in.cycleCounter = 5;
  EXPECT_EQ(BuildUploadRecordLogical(s.in, UploadRecordKind::Reading)[68], 0xA0);  // 5 = 101
  EXPECT_EQ(BuildUploadRecordLogical(s.in, UploadRecordKind::Manual)[68], 0xC0);   // gauge 8 = 3
  // Status byte 2 instead of 3.
  EXPECT_EQ(reading[75], 0x33);
  EXPECT_EQ(manual[75], 0x22);
  // The controller's position only: no longitude from the GPS module.
  EXPECT_EQ(Bytes(manual.begin() + 118, manual.begin() + 122), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Bytes(manual.begin() + 122, manual.begin() + 126), (Bytes{0x41, 0xB4, 0, 0}));
}

TEST(UploadRecord, MethodSelectsTheCoefficientBlock) {
  Sample s;
  s.in.items[60] = 3;
  s.in.items[62] = 0.5f;
  s.in.items[63] = 2.0f;
  UploadRecord r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(r[95], 2);
  EXPECT_EQ(Bytes(r.begin() + 102, r.begin() + 108), (Bytes{0x40, 0x7F, 0xFF, 0x02, 0x80, 0x00}));
  s.in.items[60] = 2;
  r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(r[95], 3);
  EXPECT_EQ(Bytes(r.begin() + 102, r.begin() + 108), Bytes(6, 0xFF));
  s.in.items[61] = 1;
  EXPECT_EQ(BuildUploadRecordLogical(s.in, UploadRecordKind::Reading)[95], 4);
  s.in.items[60] = 0;
  EXPECT_EQ(BuildUploadRecordLogical(s.in, UploadRecordKind::Reading)[95], 0xFF);
}

TEST(UploadRecord, NonDigitsInControllerNumberAndVersionSendZero) {
  Sample s;
  s.in.controllerNumber = "12a4";
  s.in.softwareVersion = "3.x";
  const UploadRecord r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(Bytes(r.begin() + 112, r.begin() + 118), (Bytes{0x12, 0x04, 0x00, 3, 0, 0}));
}

TEST(UploadRecord, PileNumberCutBetweenCharactersAt10Bytes) {
  Sample s;
  s.in.pileLabel = "ABCDEFGHI桩";  // nine bytes, then a two-byte character
  UploadRecord r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(Bytes(r.begin() + 15, r.begin() + 25), (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 0xFF}));
  s.in.pileLabel = "桩号12";
  r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  const std::string gbk = platform::text::utf8ToGbk("桩号12");
  ASSERT_EQ(gbk.size(), 6u);
  EXPECT_EQ(Bytes(r.begin() + 15, r.begin() + 21), Bytes(gbk.begin(), gbk.end()));
  EXPECT_EQ(r[21], 0xFF);
}

// Identifier kinds: digits as BCD (kind 4), anything else as text (kind 5).
struct IdCase {
  const char* serial;
  bool fromRecord8;
  std::uint8_t kind;
  std::map<std::size_t, Bytes> at;  // expected bytes at L positions; L5-L14 and L96-L108 else 0xFF
};

std::ostream& operator<<(std::ostream& os, const IdCase& c) { return os << '"' << c.serial << '"'; }

class Identifier : public ::testing::TestWithParam<IdCase> {};

TEST_P(Identifier, Kind) {
  const IdCase& c = GetParam();
  Sample s;
  s.in.serialNumber = c.serial;
  s.in.identifierFromRecord8 = c.fromRecord8;
  s.in.items[60] = 0;  // no coefficient pair, so L102-L107 stay 0xFF for a numeric identifier
  const UploadRecord r = BuildUploadRecordLogical(s.in, UploadRecordKind::Reading);
  EXPECT_EQ(r[4], c.kind);
  UploadRecord want;
  want.fill(0xFF);
  if (c.kind == 4) {  // the coefficient block of a numeric identifier
    const Bytes block{0x02, 0xA0, 0x00, 0x07, 0xA0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02};
    std::copy(block.begin(), block.end(), want.begin() + 96);
  }
  for (const auto& [pos, bytes] : c.at) std::copy(bytes.begin(), bytes.end(), want.begin() + static_cast<long>(pos));
  for (std::size_t k = 5; k <= 14; ++k) EXPECT_EQ(r[k], want[k]) << "L" << k;
  for (std::size_t k = 96; k <= 111; ++k) EXPECT_EQ(r[k], want[k]) << "L" << k;
  EXPECT_EQ(Bytes(r.begin() + 15, r.begin() + 19), (Bytes{'A', '-', '1', '2'}));  // pile untouched
  EXPECT_EQ(r[112], 0x12);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Identifier,
    ::testing::Values(
        IdCase{"12345", false, 4, {{5, {0x12, 0x34, 0x5F}}}},
        IdCase{"", false, 4, {}},
        IdCase{" \t0042  ", false, 4, {{5, {0x00, 0x42}}}},
        IdCase{"123456789012345678901234", false, 4,  // at most 20 digits
               {{5, {0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x78, 0x90}}}},
        IdCase{"A12", false, 5, {{5, {'A', '1', '2'}}}},
        IdCase{"  A12 ", false, 5, {{5, {'A', '1', '2'}}}},
        IdCase{"12345", true, 5, {{5, {'E', 'X', 'T', '-', '9'}}}},  // the external serial number
        IdCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234", false, 5,
               {{5, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'}},
                {96, {'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z'}}}}));

TEST(UploadRecord, ChecksumMakesTheSumOfBytes0To126) {
  Sample s;
  for (const char* serial : {"1", "A", "桩号七"}) {
    s.in.serialNumber = serial;
    const UploadRecord r = BuildUploadRecord(s.in, UploadRecordKind::Reading);
    unsigned sum = 0;
    for (std::size_t k = 0; k < 127; ++k) sum += r[k];
    EXPECT_EQ(r[127], sum % 256);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 4), (Bytes{'G', 'P', 'R', 'S'}));
  }
}

}  // namespace

#include "model/datafiles.h"
#include "model/parameter.h"

namespace {

TEST(UploadRecord, FromTheChannelRecord) {
  Parameter p;
  p.ParameterList.extendWithDefaults();
  p.ParameterList.set(27, 1000.0f);
  p.testRecords.assign(kHeaderRecordCount, JDQFile::BlankTestRecord());
  JDQFile::SetHeaderText(p.testRecords, 7, 3, "20240517");
  JDQFile::SetHeaderText(p.testRecords, 8, 1, "桩7");
  JDQFile::SetHeaderText(p.testRecords, 8, 3, "EXT-9");
  p.stampTime.year = 2026;
  p.stampTime.month = 12;
  p.stampTime.day = 10;
  p.timeText = "09:41";
  p.standardCode = 5;
  p.testType = 1;
  p.loadingPhase = 6;
  p.forceSensorType = 1;
  p.controlLoad = 250.0f;
  p.controllerNumber = "654321";
  p.versionText = "3.3.8";
  p.longitude = 113.25f;
  p.link.measuredLoad = 100.0f;

  UploadRecordInput in = UploadInputFromChannel(p);
  EXPECT_EQ(in.serialNumber, "20240517");
  EXPECT_EQ(in.externalSerialNumber, "EXT-9");
  EXPECT_EQ(in.pileLabel, "桩7");
  EXPECT_EQ(in.live.load, 100.0f);
  in.liveValues = true;
  BuildIntoChannel(p, in, UploadRecordKind::Reading);
  const auto& b = p.queueBuild;
  const UploadRecord logical = BuildUploadRecordLogical(in, UploadRecordKind::Reading);
  EXPECT_EQ(Bytes(b.begin(), b.end()), [&] {
    const UploadRecord f = ReorderUploadRecord(logical);
    return Bytes(f.begin(), f.end());
  }());
  EXPECT_EQ(logical[4], 4);
  EXPECT_EQ(Bytes(logical.begin() + 5, logical.begin() + 9), (Bytes{0x20, 0x24, 0x05, 0x17}));
  EXPECT_EQ(Bytes(logical.begin() + 25, logical.begin() + 28), (Bytes{0x0A, 0xFA, 0x00}));  // item 27
  EXPECT_EQ(Bytes(logical.begin() + 31, logical.begin() + 36), (Bytes{0x26, 0x12, 0x10, 0x09, 0x41}));
  EXPECT_EQ(Bytes(logical.begin() + 37, logical.begin() + 40), (Bytes{0x07, 0xC8, 0x00}));  // live load 100
  EXPECT_EQ(logical[73], 5);
  EXPECT_EQ(logical[84], 0);
  EXPECT_EQ(logical[85], 6);
  EXPECT_EQ(Bytes(logical.begin() + 112, logical.begin() + 118), (Bytes{0x65, 0x43, 0x21, 3, 3, 8}));
  EXPECT_EQ(Bytes(logical.begin() + 118, logical.begin() + 122), (Bytes{0x42, 0xE2, 0x80, 0x00}));

  in.identifierFromRecord8 = true;
  const UploadRecord byPile = BuildUploadRecordLogical(in, UploadRecordKind::Reading);
  EXPECT_EQ(byPile[4], 5);
  EXPECT_EQ(Bytes(byPile.begin() + 5, byPile.begin() + 10), (Bytes{'E', 'X', 'T', '-', '9'}));
}

}  // namespace
