#include <sys/time.h>

#include <string>

#include "fs_fixture.h"

namespace fs = platform::fs;
using Names = std::vector<std::string>;

namespace {

struct MatchCase {
  const char* pattern;
  const char* name;
  bool match;
};

class Wildcard : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Wildcard, Matches) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(fs::wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Wildcard,
    ::testing::Values(MatchCase{"*.*", "a.krv", true}, MatchCase{"*.*", "noext", true},
                      MatchCase{"*", "a.b.c", true}, MatchCase{"*.krv", "PILE.KRV", true},
                      MatchCase{"*.krv", "a.krv.bak", false}, MatchCase{"*.krv", "krv", false},
                      MatchCase{"a?c.txt", "abc.txt", true}, MatchCase{"a?c.txt", "ac.txt", false},
                      MatchCase{"?.txt", "\xE4\xB8\xAD.txt", true},  // '?' is one character, not one byte
                      MatchCase{"*b*b*", "abxxb", true}, MatchCase{"*b*b*", "abxx", false},
                      MatchCase{"krv718.ini", "KRV718.INI", true}, MatchCase{"x.*", "x", true},
                      MatchCase{"x.*", "xy", false}, MatchCase{"", "a", false},
                      MatchCase{"?ab", "\xE4" "ab", true},  // a stray byte is one character
                      // A name's own '*' and '?' are characters like any other.
                      MatchCase{"*.gps", "*a.gps", true}, MatchCase{"*.*", "**.krv", true},
                      MatchCase{"*.msi", "Main*3.3.9.msi", true}, MatchCase{"a*", "*", false},
                      MatchCase{"*b", "*?b", true}, MatchCase{"?.krv", "*.krv", true}));

TEST_F(FsTest, FindListsMatchingEntriesSortedWithTimes) {
  put("Storage Card/b.KRV", "bbbb");
  put("Storage Card/a.krv", "aa");
  put("Storage Card/c.txt", "c");
  put("Storage Card/noext", "");
  put("Storage Card/Sub.krv/inner", "");
  put("Storage Card/p.krv.~tmp", "half");  // what a cut durable write may leave: never listed
  put("Storage Card/x\\a.krv", "x");        // no instrument path names it: never listed

  const auto krv = fs::find("\\STORAGE CARD\\*.KRV");
  ASSERT_EQ(krv.size(), 3u);
  EXPECT_EQ(krv[0].name, "a.krv");
  EXPECT_EQ(krv[0].size, 2);
  EXPECT_FALSE(krv[0].isFolder);
  EXPECT_EQ(krv[1].name, "b.KRV");
  EXPECT_EQ(krv[1].size, 4);
  EXPECT_EQ(krv[2].name, "Sub.krv");
  EXPECT_TRUE(krv[2].isFolder);

  Names all;
  for (const auto& e : fs::find("/storage card/*.*")) all.push_back(e.name);
  EXPECT_EQ(all, (Names{"a.krv", "b.KRV", "c.txt", "noext", "Sub.krv"}));

  EXPECT_EQ(fs::find("\\Storage Card\\c.TXT").size(), 1u);
  EXPECT_TRUE(fs::find("\\Storage Card\\*.dat").empty());
  EXPECT_TRUE(fs::find("\\No Card\\*.*").empty());
  EXPECT_TRUE(fs::find("\\Storage Card\\").empty());
  EXPECT_TRUE(fs::find("\\..\\*.*").empty());
}

TEST_F(FsTest, FindGivesCreationAndModificationTimes) {
  put("t/old.krv", "x");
  // Back-date the modification time; the creation time (where kept) stays at the file's birth.
  const auto p = root_ / "t/old.krv";
  struct timeval tv[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimes(p.c_str(), tv), 0);
  const auto entries = fs::find("\\t\\*.krv");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].modifiedUnix, 1000000000);
  // Either the real birth time (recent) or, where none is kept, the modification time.
  EXPECT_TRUE(entries[0].createdUnix == 1000000000 || entries[0].createdUnix > 1600000000)
      << entries[0].createdUnix;
}

}  // namespace
