#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/parameter.h"
#include "model_fixture.h"
#include "platform/fs/fs.h"

namespace {

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(INSTRUMENT_SOURCE_DIR) + "/tests/model/fixtures/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The record of fixture param_820_known.ini.
void fillKnown(Parameter& p) {
  std::vector<float> items(ParameterList::kStoredCount, 0.0f);
  for (int k = 0; k < 130; ++k) items[k] = k / 2.0f;
  for (int j = 0; j < 384; ++j) items[130 + j] = (j % 3 == 0) ? 1.0f : 0.0f;
  items[133] = 0.999f;
  p.ParameterList.assign(items);
  p.serialNumber = "S-01";
  p.externalSerialNumber = "EXT9";
  p.pileLabel = "桩7";
}

std::string utf16(const std::u16string& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

}  // namespace

TEST(ParameterFileCrc, IsCrc16Modbus) {
  const char* check = "123456789";
  byte out[2] = {0xEE, 0xEE};
  ASSERT_EQ(JDQFile::CRC16(reinterpret_cast<const byte*>(check), 9, out), 0);
  EXPECT_EQ(out[0], 0x37);
  EXPECT_EQ(out[1], 0x4B);
  byte untouched[2] = {0xEE, 0xEE};
  EXPECT_EQ(JDQFile::CRC16(reinterpret_cast<const byte*>(check), 0, untouched), 0);
  EXPECT_EQ(untouched[0], 0xEE);
  EXPECT_EQ(JDQFile::CRC16(nullptr, 9, out), -1);
  EXPECT_EQ(JDQFile::CRC16(reinterpret_cast<const byte*>(check), 9, nullptr), -1);
}

class ParameterFile : public DeviceRoot {
 protected:
  void SetUp() override {
    DeviceRoot::SetUp();
    makeFolder("\\nandflash\\");
    p.boardFlag = 1;
  }
  void withCard() { makeFolder("\\Storage Card\\"); }
  int save(const std::string& path = "\\nandflash\\T1.krv") { return JDQFile::SaveParameterFile(path, "1", p); }
  int load(Parameter& into) {
    into.boardFlag = p.boardFlag.load();
    return JDQFile::LoadParameterFile(loadedPath, "1", into);
  }

  Parameter p;
  std::string loadedPath = "unchanged";
  const std::string nand = "\\nandflash\\krv7181.ini";
  const std::string card = "\\Storage Card\\krv7181.ini";
};

TEST_F(ParameterFile, KnownRecordIsWrittenByteForByte) {
  fillKnown(p);
  ASSERT_EQ(save(), 1);
  const std::string expected = fixture("param_820_known.ini");
  ASSERT_EQ(expected.size(), 820u);
  EXPECT_EQ(readAll(nand), expected);

  Parameter q;
  ASSERT_EQ(load(q), 1);
  EXPECT_EQ(q.configCheck, 1);
  EXPECT_EQ(loadedPath, "\\nandflash\\T1.krv");
  EXPECT_EQ(q.serialNumber, "S-01");
  EXPECT_EQ(q.externalSerialNumber, "EXT9");
  EXPECT_EQ(q.pileLabel, "桩7");
  EXPECT_EQ(q.ParameterList.item(129), 64.5f);
  EXPECT_EQ(q.ParameterList.item(130), 1.0f);
  EXPECT_EQ(q.ParameterList.item(131), 0.0f);
  EXPECT_EQ(q.ParameterList.item(133), 0.0f);  // 0.999 is not a set flag
  EXPECT_EQ(q.ParameterList.item(510), 0.0f);
  EXPECT_EQ(q.ParameterList.item(511), 1.0f);
  EXPECT_EQ(q.ParameterList.item(513), 0.0f);
  EXPECT_EQ(q.ParameterList.count(), ParameterList::kDefaultCount);  // extended with the defaults
  EXPECT_EQ(q.ParameterList.item(514), 1.0f);
}

TEST_F(ParameterFile, FlagBitsMapItemsToBitsOfEachByte) {
  std::vector<float> items(ParameterList::kStoredCount, 0.0f);
  items[130] = 1.0f;  // byte 0 bit 0
  items[137] = 1.0f;  // byte 0 bit 7
  items[138] = 1.0f;  // byte 1 bit 0
  items[513] = 1.0f;  // byte 47 bit 7
  items[300] = 2.0f;  // not a flag value
  p.ParameterList.assign(items);
  ASSERT_EQ(save(), 1);
  const std::string f = readAll(nand);
  ASSERT_EQ(f.size(), 820u);
  std::string expected(48, '\0');
  expected[0] = static_cast<char>(0x81);
  expected[1] = 0x01;
  expected[47] = static_cast<char>(0x80);
  EXPECT_EQ(f.substr(770, 48), expected);
}

TEST_F(ParameterFile, TextsAreCutAtTheirFieldSizes) {
  struct Case {
    int units;       // length of the text in characters
    bool terminated;
  };
  for (const Case c : {Case{59, true}, Case{60, false}, Case{61, false}}) {
    const std::string path(c.units, 'a');
    p.serialNumber = std::string(c.units * 25 / 60 + 1, 's');  // 25 or 26 characters
    p.pileLabel = std::string(c.units == 59 ? 14 : 16, 'l');
    ASSERT_EQ(save(path), 1);
    const std::string f = readAll(nand);
    const std::string kept(std::min(c.units, 60), 'a');
    std::u16string u(kept.begin(), kept.end());
    EXPECT_EQ(f.substr(0, u.size() * 2), utf16(u));
    if (c.terminated) {
      EXPECT_EQ(f.substr(118, 2), std::string(2, '\0'));
    }

    Parameter q;
    ASSERT_EQ(load(q), 1);
    EXPECT_EQ(loadedPath, kept) << c.units;
    EXPECT_EQ(q.serialNumber, p.serialNumber.substr(0, 25));
    EXPECT_EQ(q.pileLabel, p.pileLabel.substr(0, 15));
  }
  // A character outside the basic plane is never cut in half.
  p.pileLabel = std::string(14, 'x') + "\xF0\x9F\x98\x80";  // 14 units + a surrogate pair
  ASSERT_EQ(save(), 1);
  Parameter q;
  ASSERT_EQ(load(q), 1);
  EXPECT_EQ(q.pileLabel, std::string(14, 'x'));
}

TEST_F(ParameterFile, OlderLayoutsAreReadWithTheirFixUps) {
  struct Case {
    int length;
    int items;       // items held by the file
    bool offerFlags; // items 130..141, 157, 160, 162, 163 set to 1.0
    const char* serial;
    const char* external;
    const char* label;
  };
  const Case cases[] = {
      {412, 88, true, "keepS", "keepE", "keepL"},  {432, 88, true, "keepS", "keepE", "keepL"},
      {860, 200, true, "keepS", "keepE", "keepL"}, {880, 200, true, "keepS", "keepE", "keepL"},
      {1000, 200, false, "S1000", "keepE", "P1000"}, {1052, 200, false, "S1052", "E1052", "P1052"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    writeAll(nand, fixture("param_" + std::to_string(c.length) + ".ini"));
    Parameter q;
    q.serialNumber = "keepS";
    q.externalSerialNumber = "keepE";
    q.pileLabel = "keepL";
    ASSERT_EQ(load(q), 1);
    EXPECT_EQ(q.configCheck, 0);
    EXPECT_EQ(loadedPath, "\\nandflash\\OLD.krv");
    EXPECT_EQ(q.serialNumber, c.serial);
    EXPECT_EQ(q.externalSerialNumber, c.external);
    EXPECT_EQ(q.pileLabel, c.label);
    for (int k = 0; k < ParameterList::kStoredCount; ++k) {
      float want = k < c.items ? 100.0f + k : 0.0f;
      if (c.offerFlags && ((k >= 130 && k <= 141) || k == 157 || k == 160 || k == 162 || k == 163)) want = 1.0f;
      ASSERT_EQ(q.ParameterList.item(k), want) << "item " << k;
    }
    // Saving converts the file to the current layout and length.
    ASSERT_EQ(JDQFile::SaveParameterFile(loadedPath, "1", q), 1);
    EXPECT_EQ(readAll(nand).size(), 820u);
    Parameter r;
    ASSERT_EQ(load(r), 1);
    EXPECT_EQ(r.configCheck, 1);
    EXPECT_EQ(r.ParameterList.item(5), 105.0f);
  }
}

TEST_F(ParameterFile, DamagedPrimaryWithoutCardIsNeverUsed) {
  fillKnown(p);
  ASSERT_EQ(save(), 1);
  std::string f = readAll(nand);
  f[300] ^= 0x01;
  writeAll(nand, f);

  Parameter q;
  q.ParameterList.append(42.0f);
  ASSERT_EQ(load(q), 0);
  EXPECT_EQ(q.configCheck, 4);
  EXPECT_EQ(loadedPath, "unchanged");
  EXPECT_EQ(q.ParameterList.count(), 1);
  EXPECT_EQ(q.ParameterList.item(0), 42.0f);
}

TEST_F(ParameterFile, DamagedPrimaryFallsBackToTheCopy) {
  withCard();
  fillKnown(p);
  ASSERT_EQ(save(), 1);
  EXPECT_EQ(readAll(card), readAll(nand));  // the primary lies on the card, the copy in nandflash

  Parameter q;
  ASSERT_EQ(load(q), 1);
  EXPECT_EQ(q.configCheck, 2);

  std::string f = readAll(card);
  f[819] ^= 0x40;  // a checksum byte
  writeAll(card, f);
  Parameter r;
  ASSERT_EQ(load(r), 1);
  EXPECT_EQ(r.configCheck, 1);
  EXPECT_EQ(r.serialNumber, "S-01");

  writeAll(nand, f);  // the copy damaged too
  Parameter s;
  EXPECT_EQ(load(s), 0);
  EXPECT_EQ(s.configCheck, 4);
  EXPECT_EQ(s.ParameterList.count(), 0);

  ASSERT_TRUE(platform::fs::deleteFile(nand));  // no copy at all
  Parameter t;
  EXPECT_EQ(load(t), 0);
  EXPECT_EQ(t.configCheck, 4);

  writeAll(nand, fixture("param_880.ini"));  // a copy of an older layout: read, but unchecked
  Parameter u;
  EXPECT_EQ(load(u), 1);
  EXPECT_EQ(u.configCheck, 0);
  EXPECT_EQ(u.ParameterList.item(5), 105.0f);
}

TEST_F(ParameterFile, TruncatedOrEmptyFilesAreDamaged) {
  fillKnown(p);
  ASSERT_EQ(save(), 1);
  const std::string good = readAll(nand);
  for (std::size_t len : {std::size_t{0}, std::size_t{1}, std::size_t{250}, std::size_t{819}}) {
    SCOPED_TRACE(len);
    writeAll(nand, good.substr(0, len));
    Parameter q;
    EXPECT_EQ(load(q), 0);
    EXPECT_EQ(q.configCheck, 4);
    EXPECT_EQ(q.ParameterList.count(), 0);
  }
  // With a card, a truncated primary is replaced by the good copy.
  withCard();
  writeAll(nand, good);
  writeAll(card, good.substr(0, 400));
  Parameter q;
  ASSERT_EQ(load(q), 1);
  EXPECT_EQ(q.configCheck, 1);
  EXPECT_EQ(q.pileLabel, "桩7");
}

TEST_F(ParameterFile, LongerUnknownFileIsReadUncheckedAndShortenedOnSave) {
  fillKnown(p);
  ASSERT_EQ(save(), 1);
  std::string f = readAll(nand);
  f[818] ^= 0xFF;  // the checksum is not looked at
  writeAll(nand, f + std::string(80, '\x7f'));
  Parameter q;
  ASSERT_EQ(load(q), 1);
  EXPECT_EQ(q.configCheck, 0);
  EXPECT_EQ(q.ParameterList.item(10), 5.0f);
  ASSERT_EQ(save(), 1);
  EXPECT_EQ(readAll(nand).size(), 820u);
}

TEST_F(ParameterFile, MissingFileChangesNothing) {
  Parameter q;
  q.serialNumber = "S";
  EXPECT_EQ(load(q), 0);
  EXPECT_EQ(q.configCheck, 0);
  EXPECT_EQ(loadedPath, "unchanged");
  EXPECT_EQ(q.serialNumber, "S");
}

TEST_F(ParameterFile, ShortListIsSavedWithDefaults) {
  p.ParameterList.setChannelNumber(1);
  p.ParameterList.append(7.0f);
  ASSERT_EQ(save(), 1);
  Parameter q;
  ASSERT_EQ(load(q), 1);
  EXPECT_EQ(q.ParameterList.item(0), 7.0f);
  EXPECT_EQ(q.ParameterList.item(14), 1000.0f);
  EXPECT_EQ(q.ParameterList.item(83), 1.0f);
  EXPECT_EQ(q.ParameterList.item(200), 1.0f);
}

TEST_F(ParameterFile, FailedCopyIsReportedButThePrimaryIsWritten) {
  // Board 0 with its card folder but no program folder: the copy cannot be written.
  p.boardFlag = 0;
  makeFolder("\\Storage_Card\\");
  fillKnown(p);
  EXPECT_EQ(save(), 0);
  EXPECT_EQ(readAll("\\Storage_Card\\krv7181.ini").size(), 820u);
}

TEST_F(ParameterFile, SaveCutAtEveryStepLeavesEachCopyOldOrNew) {
  withCard();
  fillKnown(p);
  ASSERT_EQ(save("\\nandflash\\OLD.krv"), 1);
  const std::string oldBytes = readAll(card);
  ASSERT_EQ(oldBytes, readAll(nand));

  p.serialNumber = "NEW-SERIAL";
  p.ParameterList.set(10, 99.0f);
  ASSERT_EQ(save("\\nandflash\\NEW.krv"), 1);
  const std::string newBytes = readAll(card);
  ASSERT_NE(newBytes, oldBytes);

  platform::fs::FaultBackend fb;
  long long cut = 0;
  for (;; ++cut) {
    ASSERT_TRUE(platform::fs::writeFile(card, oldBytes));
    ASSERT_TRUE(platform::fs::writeFile(nand, oldBytes));
    int result;
    bool lost;
    {
      platform::fs::ScopedBackend guard(fb);
      fb.cutPowerAfter(cut);
      result = save("\\nandflash\\NEW.krv");
      lost = fb.powerLost();
      fb.restorePower();
    }
    const std::string a = readAll(card), b = readAll(nand);
    if (!lost) {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(a, newBytes);
      EXPECT_EQ(b, newBytes);
      break;
    }
    ASSERT_TRUE(a == oldBytes || a == newBytes) << "card copy torn at cut " << cut;
    ASSERT_TRUE(b == oldBytes || b == newBytes) << "nandflash copy torn at cut " << cut;
    if (a == oldBytes) {
      ASSERT_EQ(b, oldBytes) << "the copy is written after the primary";
    }
    Parameter q;
    ASSERT_EQ(load(q), 1) << "cut " << cut;
  }
  EXPECT_GT(cut, 1640);  // two copies of 820 bytes each were cut at every byte
}

// Files without a checksum (the older layouts and any longer file) are judged by what they hold: a
// path that does not decode or an item that is not finite makes them damaged, as a bad checksum does.
// So is an entry that is there but cannot be read, such as a folder in the file's place.
TEST_F(ParameterFile, UncheckedFilesThatCannotBeTrueAreDamaged) {
  fillKnown(p);
  ASSERT_EQ(save(), 1);
  const std::string good = readAll(nand);
  std::string badPath = good + std::string(80, '\0');
  badPath[4] = '\x00';
  badPath[5] = '\xD8';  // a high surrogate followed by a plain unit
  std::string infinite = good + std::string(80, '\0');
  const float inf = std::numeric_limits<float>::infinity();
  std::memcpy(&infinite[250 + 4 * 7], &inf, 4);
  std::string old1000(1000, '\0');
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(&old1000[200 + 4 * 3], &nan, 4);
  std::string random1000(1000, '\0');
  unsigned seed = 12345;
  for (char& c : random1000) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  for (const std::string* bytes : {&badPath, &infinite, &old1000, &random1000}) {
    writeAll(nand, *bytes);
    Parameter q;
    EXPECT_EQ(load(q), 0);
    EXPECT_EQ(q.configCheck, 4);
    EXPECT_EQ(q.ParameterList.count(), 0);
    EXPECT_EQ(readAll(nand), *bytes);
  }
  ASSERT_TRUE(platform::fs::deleteFile(nand));
  ASSERT_TRUE(platform::fs::createFolder(nand));
  Parameter q;
  EXPECT_EQ(load(q), 0);
  EXPECT_EQ(q.configCheck, 4);
}
