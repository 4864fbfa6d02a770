#include <string>

#include "fs_fixture.h"

namespace fs = platform::fs;
using platform::fs::File;
using Names = std::vector<std::string>;

namespace {

struct PathCase {
  const char* instrument;
  const char* host;  // relative to the root; nullptr for a bad path
};

class HostPath : public FsTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(HostPath, MapsUnderTheRoot) {
  const PathCase& c = GetParam();
  if (c.host == nullptr) {
    EXPECT_TRUE(fs::hostPath(c.instrument).empty()) << c.instrument;
  } else {
    const std::string rel = c.host;
    EXPECT_EQ(fs::hostPath(c.instrument), rel.empty() ? root_ : root_ / rel) << c.instrument;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostPath,
    ::testing::Values(PathCase{"\\nandflash\\krv718.ini", "nandflash/krv718.ini"},
                      PathCase{"/Storage Card/Backup/a.krv", "Storage Card/Backup/a.krv"},
                      PathCase{"\\Storage Card\\Backup\\", "Storage Card/Backup"},
                      PathCase{"\\\xE7\xA1\xAC\xE7\x9B\x98\\", "\xE7\xA1\xAC\xE7\x9B\x98"},
                      PathCase{"\\a\\.\\b\\..\\c.txt", "a/c.txt"},
                      PathCase{"\\", ""},
                      PathCase{"", nullptr},
                      PathCase{"\\..\\etc\\passwd", nullptr},
                      PathCase{"\\a\\..\\..\\x", nullptr},
                      PathCase{"..", nullptr}));

TEST_F(FsTest, NoRootMeansBadPath) {
  fs::setRoot({});
  EXPECT_TRUE(fs::hostPath("\\a.txt").empty());
  EXPECT_FALSE(fs::exists("\\a.txt"));
  fs::Error err = fs::Error::None;
  EXPECT_FALSE(fs::writeFile("\\a.txt", "x", &err));
  EXPECT_EQ(err, fs::Error::BadPath);
}

TEST_F(FsTest, AZeroByteInAPathMakesItBad) {
  EXPECT_TRUE(fs::hostPath(std::string_view("\\a\0b.txt", 8)).empty());
  EXPECT_FALSE(fs::writeFile(std::string_view("\\a\0b.txt", 8), "x"));
}

TEST_F(FsTest, EveryComponentIsFoundWhateverItsCase) {
  put("NandFlash/Data/QJDdat.dat", "old");
  EXPECT_EQ(fs::hostPath("\\nandflash\\DATA\\qjddat.DAT"), root_ / "NandFlash/Data/QJDdat.dat");
  // Components past the first missing one keep the case given.
  EXPECT_EQ(fs::hostPath("\\NANDFLASH\\New\\Sub\\F.txt"), root_ / "NandFlash/New/Sub/F.txt");
  std::string s;
  ASSERT_TRUE(fs::readFile("\\NANDFLASH\\data\\QJDDAT.DAT", s));
  EXPECT_EQ(s, "old");
}

TEST_F(FsTest, OneFileNeverBecomesTwo) {
  put("nandflash/QJDdat.dat", "first");
  ASSERT_TRUE(fs::writeFile("\\NANDflash\\QJDdat.DAT", "second"));
  ASSERT_TRUE(fs::replaceFile("\\nandflash\\qjddat.dat", "third"));
  ASSERT_TRUE(fs::copyFile("\\nandflash\\QJDdat.dat", "\\NANDFLASH\\QJDDAT.dat"));
  File f;
  ASSERT_TRUE(f.open("\\nandflash\\QJDDAT.DAT", File::ReadWrite | File::Create | File::NoTruncate));
  f.close();
  EXPECT_EQ(names("nandflash"), (Names{"QJDdat.dat"}));
  EXPECT_EQ(get("nandflash/QJDdat.dat"), "third");
  ASSERT_TRUE(fs::deleteFile("\\NandFlash\\qjddat.dat"));
  EXPECT_EQ(names("nandflash"), Names{});
}

TEST_F(FsTest, NewEntriesKeepTheCaseGiven) {
  ASSERT_TRUE(fs::createFolders("\\Storage Card\\Backup"));
  ASSERT_TRUE(fs::writeFile("\\storage card\\backup\\Pile-01.KRV", "x"));
  EXPECT_EQ(names(), (Names{"Storage Card"}));
  EXPECT_EQ(names("Storage Card/Backup"), (Names{"Pile-01.KRV"}));
}

TEST_F(FsTest, ExactNameWinsElseFirstInSortedOrder) {
  put("d/a.TXT", "lower-a");
  put("d/A.txt", "upper-A");
  std::string s;
  ASSERT_TRUE(fs::readFile("\\d\\a.TXT", s));
  EXPECT_EQ(s, "lower-a");
  ASSERT_TRUE(fs::readFile("\\d\\A.txt", s));
  EXPECT_EQ(s, "upper-A");
  ASSERT_TRUE(fs::readFile("\\d\\A.TXT", s));  // no exact match: "A.txt" sorts before "a.TXT"
  EXPECT_EQ(s, "upper-A");
}

TEST(SamePath, ComparesComponentsIgnoringCase) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {{"\\Storage Card\\ABC.krv", "\\storage card\\abc.KRV", true},
               {"\\Storage Card\\a.krv", "/Storage Card/./a.krv", true},
               {"\\Storage Card\\rev\\..\\a.krv", "\\Storage Card\\\\a.krv", true},
               {"\\Storage Card\\a.krv", "\\Storage Card\\a.krv.gps", false},
               {"\\Storage Card\\a.krv", "\\nandflash\\a.krv", false},
               {"\\Storage Card\\\xE6\xB5\x8B.krv", "\\STORAGE CARD\\\xE6\xB5\x8B.KRV", true},
               {"", "", false},
               {"\\..\\a.krv", "\\..\\a.krv", false}};
  for (const Case& c : cases) EXPECT_EQ(fs::samePath(c.a, c.b), c.same) << c.a << " vs " << c.b;
}

// In a listing run each folder is listed once: a name missing as given is looked for in that listing
// and among the entries made since, and a name found there counts only while it still exists.
TEST_F(FsTest, AListingRunListsEachFolderOnce) {
  put("d/Old.txt", "old");
  const long long before = fs::counters().listings;
  {
    const fs::ListingRun run;
    const fs::ListingRun inner;  // nested: the same listings
    EXPECT_FALSE(fs::exists("\\d\\none.txt"));
    EXPECT_TRUE(fs::isFile("\\d\\OLD.TXT"));
    ASSERT_TRUE(fs::writeFile("\\d\\New.txt", "new"));
    ASSERT_TRUE(fs::createFolder("\\d\\Sub"));
    ASSERT_TRUE(fs::copyFile("\\d\\new.TXT", "\\d\\Copy.txt"));
    EXPECT_TRUE(fs::isFolder("\\D\\SUB"));
    std::string s;
    ASSERT_TRUE(fs::readFile("\\d\\NEW.TXT", s));
    EXPECT_EQ(s, "new");
    ASSERT_TRUE(fs::writeFile("\\d\\COPY.TXT", "again"));  // the copy, not a second file
    ASSERT_TRUE(fs::deleteFile("\\d\\old.txt"));
    EXPECT_FALSE(fs::exists("\\d\\OLD.txt"));
    EXPECT_EQ(fs::counters().listings - before, 2);  // the root's (for "D") and d's
  }
  EXPECT_EQ(names("d"), (Names{"Copy.txt", "New.txt", "Sub"}));
  EXPECT_EQ(get("d/Copy.txt"), "again");
  // After the run a missing name lists its folder again.
  EXPECT_FALSE(fs::exists("\\d\\none.txt"));
  EXPECT_EQ(fs::counters().listings - before, 3);
}

// What a lookup costs, counted by the layer: a name found as given costs one file-status call per
// component and no listing; only a name missing as given lists its folder (to look for another case).
// A name the program writes itself is opened by its exact name: missing, it costs one failed open.
TEST_F(FsTest, LookupsAreCountedAndOwnNamesNeverListTheFolder) {
  put("Storage Card/T1.krv", "data");
  auto since = [](const fs::Counters& a) {
    const fs::Counters b = fs::counters();
    return fs::Counters{b.flushes - a.flushes, b.statCalls - a.statCalls, b.listings - a.listings, b.opens - a.opens};
  };
  fs::Counters c0 = fs::counters();
  EXPECT_TRUE(fs::isFile("\\Storage Card\\T1.krv"));
  fs::Counters d = since(c0);
  EXPECT_EQ(d.listings, 0);
  EXPECT_EQ(d.statCalls, 3);  // two components and the type of the file

  c0 = fs::counters();
  EXPECT_TRUE(fs::isFile("\\storage card\\t1.KRV"));
  EXPECT_EQ(since(c0).listings, 2);  // each component in another case is searched for

  c0 = fs::counters();
  EXPECT_FALSE(fs::exists("\\Storage Card\\T1.krv.jnl"));
  EXPECT_EQ(since(c0).listings, 1);  // an outside name missing as given: its folder is searched

  c0 = fs::counters();
  File j;
  EXPECT_FALSE(j.openHost(fs::hostPath("\\Storage Card\\T1.krv").concat(".jnl"), File::Read));
  EXPECT_EQ(j.lastError(), fs::Error::NotFound);
  d = since(c0);
  EXPECT_EQ(d.listings, 0);
  EXPECT_EQ(d.opens, 1);

  // An own name is taken as given, even where an entry of another case is there.
  put("Storage Card/T1.KRV.JNL", "other");
  EXPECT_FALSE(j.openHost(root_ / "Storage Card" / "T1.krv.jnl", File::Read));
  ASSERT_TRUE(j.openHost(root_ / "Storage Card" / "T1.krv.jnl", File::Write | File::Create));
  ASSERT_TRUE(j.write("mine"));
  c0 = fs::counters();
  ASSERT_TRUE(j.flush());
  ASSERT_TRUE(fs::replaceFile("\\Storage Card\\T1.krv", "new"));
  EXPECT_EQ(since(c0).flushes, 3);  // the file's, and the temporary's and its folder's of the replace
  j.close();
  EXPECT_EQ(get("Storage Card/T1.krv.jnl"), "mine");
  EXPECT_EQ(get("Storage Card/T1.KRV.JNL"), "other");
  // A folder is no file to read.
  EXPECT_FALSE(j.openHost(root_ / "Storage Card", File::Read));
  EXPECT_EQ(j.lastError(), fs::Error::AccessDenied);
}

}  // namespace
