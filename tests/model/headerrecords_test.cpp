#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "model/datafiles.h"
#include "model_fixture.h"
#include "platform/text/text.h"

namespace {

// A known set-up: item k holds k + 0.25, flags and a few items set apart. The typed values that the
// restore reads back (plate area, sensitivity, rated pressure and output) keep their decimals.
void knownSetup(Parameter& p) {
  std::vector<float> items(ParameterList::kStoredCount);
  for (int k = 0; k < ParameterList::kStoredCount; ++k) items[k] = static_cast<float>(k) + 0.25f;
  for (int k : {1, 3, 6, 8, 89, 96}) items[k] = 1.0f;   // flags on
  for (int k : {2, 4, 5, 7, 92}) items[k] = 0.5f;       // not exactly 1: off
  items[64] = 2.0f;                                     // self-balanced
  items[51] = 72.0f;
  p.ParameterList.assign(items);
  p.serialNumber = "流水号123";
  p.pileLabel = "桩7";
  p.externalSerialNumber = "EXT-9";
}

using Key = std::tuple<int, int>;  // record, field

std::map<Key, std::string> expectedTexts() {
  std::map<Key, std::string> e = {
      {{3, 2}, "23.250"},   {{4, 2}, "24.25"},    {{5, 2}, "25.25"},     {{6, 1}, "15"},
      {{6, 2}, "26.25"},    {{7, 2}, "27.25"},    {{7, 3}, "流水号123"}, {{8, 1}, "桩7"},
      {{8, 2}, "28.25"},    {{8, 3}, "EXT-9"},    {{9, 2}, "29.25"},     {{9, 3}, "16"},
      {{10, 2}, "30.25"},   {{10, 3}, "17"},      {{11, 2}, "31.25"},    {{11, 3}, "18.250"},
      {{12, 1}, "12"},      {{12, 2}, "32.25"},   {{12, 3}, "11"},       {{13, 2}, "35"},
      {{13, 3}, "60"},      {{14, 1}, "13.25"},   {{14, 2}, "36"},       {{14, 3}, "61"},
      {{15, 1}, "14.25"},   {{15, 2}, "37"},      {{15, 3}, "62.25000"}, {{16, 1}, "39"},
      {{16, 2}, "38.250"},  {{16, 3}, "63.25000"}, {{17, 2}, "58"},      {{18, 2}, "59"},
      {{19, 2}, "82.25"},   {{17, 3}, "68"},      {{18, 3}, "69"},       {{20, 3}, "97.25"},
      {{21, 2}, "0"},       {{22, 2}, "1"},       {{23, 2}, "0"},        {{24, 2}, "1"},
      {{28, 1}, "52"},      {{29, 1}, "53"},      {{30, 1}, "54"},       {{30, 2}, "1"},
      {{31, 1}, "1"},       {{32, 1}, "0"},       {{33, 1}, "1"},        {{34, 1}, "0"},
      {{32, 2}, "10"},      {{36, 1}, "2"},       {{57, 1}, "86"},       {{58, 1}, "87"},
      {{63, 1}, "90.250"},  {{64, 1}, "91"},      {{65, 1}, "0"},        {{66, 1}, "93"},
      {{67, 1}, "94"},      {{68, 1}, "95"},      {{67, 3}, "1"},        {{69, 1}, "1"},
      {{69, 3}, "72"},      {{71, 3}, "73.25"},
  };
  for (int j = 1; j <= 11; ++j) e[{16 + j, 1}] = std::to_string(39 + j);
  for (int j = 0; j < 12; ++j) {
    e[{33 + j, 2}] = "0";
    e[{46 + j, 2}] = "0";
    e[{59 + j, 2}] = "1";
  }
  return e;
}

const char* field(const TestRecord& r, int f, std::size_t& size) {
  size = f == 1 ? 20 : f == 2 ? 20 : 60;
  return f == 1 ? r.text1 : f == 2 ? r.text2 : r.text3;
}

}  // namespace

TEST(HeaderRecords, KnownSetupGivesTheTableTextsAndNothingElse) {
  Parameter p;
  knownSetup(p);
  p.testRecords.assign(100, TestRecord{});
  p.sensorTableC[3] = -1;
  p.sensorTableA[2] = 5.0f;
  ASSERT_EQ(JDQFile::BuildHeaderRecords(p), 1);
  ASSERT_EQ(p.testRecords.size(), 74u);
  EXPECT_EQ(p.fileLoaded.load(), 1);
  EXPECT_EQ(p.sensorTableC[3].load(), 1);
  EXPECT_EQ(p.sensorTableA[2].load(), 0.0f);

  const std::map<Key, std::string> expected = expectedTexts();
  for (int k = 0; k < 74; ++k) {
    const TestRecord& r = p.testRecords[k];
    EXPECT_EQ(std::string(r.marker, 5), "11111") << k;
    EXPECT_EQ(std::string(r.stepMark, 5), "11111") << k;
    EXPECT_EQ(std::string(r.time, 5), "99999") << k;
    for (int f = 1; f <= 3; ++f) {
      const auto it = expected.find({k, f});
      const std::string want = it == expected.end() ? "" : platform::text::utf8ToGbk(it->second);
      std::size_t size = 0;
      const char* bytes = field(r, f, size);
      // The GBK text, then zero bytes to the end of the field.
      EXPECT_EQ(std::string(bytes, size), want + std::string(size - want.size(), '\0'))
          << "record " << k << " text" << f;
    }
  }
}

class HeaderFile : public DeviceRoot {};

TEST_F(HeaderFile, BuiltHeaderReadsBackFromTheFileByteForByte) {
  ASSERT_TRUE(platform::fs::createFolders("\\nandflash\\"));
  Parameter p;
  p.boardFlag = 1;
  knownSetup(p);
  JDQFile::BuildHeaderRecords(p);
  ASSERT_EQ(JDQFile::CreateTestFile("\\nandflash\\H.krv", p.testRecords, p), 1);
  std::vector<TestRecord> back;
  ASSERT_EQ(JDQFile::LoadTestFile("\\nandflash\\H.krv", back), 1);
  ASSERT_EQ(back.size(), 75u);
  for (int k = 0; k < 74; ++k) {
    EXPECT_EQ(std::memcmp(&back[k], &p.testRecords[k], sizeof(TestRecord)), 0) << k;
  }
  EXPECT_EQ(JDQFile::HeaderText(back, 7, 3), "流水号123");
  EXPECT_EQ(JDQFile::HeaderText(back, 8, 1), "桩7");
  EXPECT_EQ(JDQFile::HeaderText(back, 8, 3), "EXT-9");
}

TEST(HeaderRecords, EdgeValues) {
  struct Case {
    int item;
    float value;
    int record, field;
    std::string want;
  };
  const Case cases[] = {
      {64, 3.0f, 36, 1, ""},            // no test type character
      {64, 0.0f, 36, 1, "0"},
      {62, 0.0f, 15, 3, ""},            // 60 zero bytes
      {62, 1.5f, 15, 3, "1.50000"},
      {12, 0.0f, 12, 1, ""},            // jacks in parallel: 20 zero bytes
      {1, 0.5f, 31, 1, "0"},
      {1, 1.0f, 31, 1, "1"},
  };
  for (const Case& c : cases) {
    Parameter p;
    knownSetup(p);
    p.ParameterList.set(c.item, c.value);
    JDQFile::BuildHeaderRecords(p);
    std::size_t size = 0;
    const char* bytes = field(p.testRecords[c.record], c.field, size);
    EXPECT_EQ(std::string(bytes, size), c.want + std::string(size - c.want.size(), '\0'))
        << "item " << c.item << " = " << c.value;
  }
}

TEST(HeaderRecords, LongTextsAreCutBetweenCharactersAndTerminated) {
  Parameter p;
  knownSetup(p);
  p.pileLabel = "桩桩桩桩桩桩桩桩桩桩桩桩";  // 24 GBK bytes for a 20-byte field
  JDQFile::BuildHeaderRecords(p);
  const TestRecord& r = p.testRecords[8];
  EXPECT_EQ(JDQFile::HeaderText(p.testRecords, 8, 1), "桩桩桩桩桩桩桩桩桩");  // 18 bytes + zero
  EXPECT_EQ(r.text1[18], '\0');
  EXPECT_EQ(r.text1[19], '\0');
}
