#include <fcntl.h>

#include <functional>
#include <string>

#include "fs_fixture.h"

namespace fs = platform::fs;
using fs::Error;
using fs::FaultBackend;
using fs::File;
using Names = std::vector<std::string>;

namespace {

class FaultTest : public FsTest {
 protected:
  void SetUp() override {
    FsTest::SetUp();
    fs::setBackend(&fault_);
  }
  // The number of steps an operation takes when nothing is cut (run on a copy of the state).
  long long stepsOf(const std::function<void()>& prepare, const std::function<bool()>& op) {
    prepare();
    fault_.restorePower();
    EXPECT_TRUE(op());
    return fault_.steps();
  }
  FaultBackend fault_;
};

struct CutCase {
  const char* what;
  bool targetExists;
  bool loseUnsynced;
  std::string oldContent;
  std::string newContent;
};

class DurableReplace : public FaultTest, public ::testing::WithParamInterface<CutCase> {};

// A durable replace cut at every step leaves the old or the new content, never a mix; the old one up
// to some step and the new one from then on; and the next replace works whatever the cut left.
TEST_P(DurableReplace, CutAtEveryStepLeavesOldOrNew) {
  const CutCase& c = GetParam();
  const auto prepare = [&] {
    fault_.restorePower();
    std::filesystem::remove_all(root_ / "nandflash");
    std::filesystem::create_directories(root_ / "nandflash");
    if (c.targetExists) put("nandflash/krv718.ini", c.oldContent);
  };
  const auto replace = [&] { return fs::replaceFile("\\nandflash\\krv718.ini", c.newContent); };
  const long long total = stepsOf(prepare, replace);
  ASSERT_GE(total, static_cast<long long>(c.newContent.size()) + 2);  // bytes, creation, rename

  fault_.loseUnsyncedOnCut(c.loseUnsynced);
  bool sawNew = false, sawOld = false;
  for (long long k = 0; k <= total; ++k) {
    prepare();
    fault_.cutPowerAfter(k);
    Error err = Error::None;
    const bool ok = fs::replaceFile("\\nandflash\\krv718.ini", c.newContent, &err);
    if (k < total) {
      EXPECT_FALSE(ok) << "cut at " << k;
      EXPECT_EQ(err, Error::PowerLost) << "cut at " << k;
      EXPECT_TRUE(fault_.powerLost());
    } else {
      EXPECT_TRUE(ok);
      // The power fails just after the replace has returned: what it wrote must stay.
      fault_.cutPowerAfter(0);
      EXPECT_FALSE(fs::createFolder("\\nandflash\\x"));
    }
    fault_.restorePower();

    const bool present = std::filesystem::exists(root_ / "nandflash/krv718.ini");
    const std::string now = present ? get("nandflash/krv718.ini") : std::string();
    const bool isNew = present && now == c.newContent;
    const bool isOld = c.targetExists ? (present && now == c.oldContent) : !present;
    ASSERT_TRUE(isNew || isOld) << "cut at " << k << " left \"" << now << "\"";
    if (isNew && !isOld) sawNew = true;
    if (isOld && !isNew) {
      EXPECT_FALSE(sawNew) << "old content back after the new one, cut at " << k;
      sawOld = true;
    }

    // Power back: the next replace works over whatever the cut left, and leaves one entry.
    // A temporary left by the cut is reused whatever the case given now.
    ASSERT_TRUE(fs::replaceFile("\\Nandflash\\Krv718.ini", "after")) << "cut at " << k;
    const Names left = names("nandflash");
    ASSERT_EQ(left.size(), 1u) << "cut at " << k;
    EXPECT_EQ(left[0], present ? "krv718.ini" : "Krv718.ini");
    EXPECT_EQ(get("nandflash/" + left[0]), "after");
  }
  EXPECT_TRUE(sawOld);
  EXPECT_TRUE(sawNew);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DurableReplace,
    ::testing::Values(CutCase{"Longer", true, false, "old=1\r\n", "new=22\r\nmore=333\r\n"},
                      CutCase{"Shorter", true, false, "a long old content\r\n", "new\r\n"},
                      CutCase{"NoTarget", false, false, "", "first content"},
                      CutCase{"LongerLosingUnsynced", true, true, "old=1\r\n", "new=22\r\nmore=333\r\n"},
                      CutCase{"NoTargetLosingUnsynced", false, true, "", "first content"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(FaultTest, CopyCutAtEveryStepLeavesOldTargetOrWholeCopy) {
  const std::string source(5000, 's');
  const auto prepare = [&] {
    fault_.restorePower();
    put("Storage Card/a.krv", source);
    put("Storage Card/Backup/a.krv", "previous backup");
  };
  const auto copy = [&] { return fs::copyFile("\\Storage Card\\a.krv", "\\Storage Card\\Backup\\A.KRV"); };
  const long long total = stepsOf(prepare, copy);
  fault_.loseUnsyncedOnCut(true);
  // Every byte is a step; a cut in each tenth of the copy and around its ends is enough here.
  for (long long k = 0; k <= total; k += (k < 5 || k > total - 5) ? 1 : total / 10) {
    prepare();
    fault_.cutPowerAfter(k);
    copy();
    fault_.restorePower();
    const std::string now = get("Storage Card/Backup/a.krv");
    EXPECT_TRUE(now == "previous backup" || now == source) << "cut at " << k << ": " << now.size() << " bytes";
    EXPECT_EQ(get("Storage Card/a.krv"), source);
  }
}

TEST_F(FaultTest, AWriteInPlaceIsCutAtTheByte) {
  put("q.dat", "previous");
  for (long long k = 1; k <= 5; ++k) {
    fault_.cutPowerAfter(k);  // step 0 opens and empties the file, then one step a byte
    Error err = Error::None;
    EXPECT_FALSE(fs::writeFile("\\q.dat", "ABCDEFGH", &err));
    EXPECT_EQ(err, Error::PowerLost);
    fault_.restorePower();
    EXPECT_EQ(get("q.dat"), std::string("ABCDEFGH").substr(0, static_cast<std::size_t>(k - 1)));
  }
}

// The stricter model drops what was never synced, which is what a replace without its sync would lose.
TEST_F(FaultTest, LosingUnsyncedDataTakesBackWhatWasNotFlushed) {
  fault_.loseUnsyncedOnCut(true);
  put("f.dat", "synced");
  for (const bool flushed : {false, true}) {
    fault_.restorePower();
    fault_.loseUnsyncedOnCut(true);
    put("f.dat", "synced");
    {
      File f;
      ASSERT_TRUE(f.open("\\f.dat", File::ReadWrite | File::Create | File::NoTruncate));
      ASSERT_TRUE(f.seek(0, File::From::End) >= 0);
      ASSERT_TRUE(f.write("+more"));
      if (flushed) {
        ASSERT_TRUE(f.flush());
      }
      ASSERT_TRUE(f.close());
    }
    // The file was renamed away before the cut: its unsynced data is lost under the new name.
    Error err = Error::None;
    ASSERT_TRUE(fs::backend().rename(root_ / "f.dat", root_ / "g.dat", err));
    fault_.cutPowerAfter(0);
    EXPECT_FALSE(fs::createFolder("\\x"));
    fault_.restorePower();
    EXPECT_EQ(get("g.dat"), flushed ? "synced+more" : "synced") << "flushed " << flushed;
    std::filesystem::remove(root_ / "g.dat");
  }
}

TEST_F(FaultTest, NothingWorksUntilPowerIsBack) {
  put("a.txt", "a");
  fault_.cutPowerAfter(0);
  Error err = Error::None;
  EXPECT_FALSE(fs::createFolder("\\dir", &err));
  EXPECT_EQ(err, Error::PowerLost);
  std::string s;
  EXPECT_FALSE(fs::readFile("\\a.txt", s, &err));
  EXPECT_EQ(err, Error::PowerLost);
  EXPECT_FALSE(fs::deleteFile("\\a.txt", &err));
  EXPECT_EQ(err, Error::PowerLost);
  EXPECT_TRUE(fault_.powerLost());
  fault_.restorePower();
  EXPECT_FALSE(fault_.powerLost());
  EXPECT_TRUE(fs::readFile("\\a.txt", s, &err));
  EXPECT_TRUE(fs::createFolder("\\dir", &err));
}

struct FailCase {
  const char* what;
  FaultBackend::Call call;
  long long n;
  bool renamed;  // the new content is in place although the call reports the failure
};

class FailedReplace : public FaultTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(FailedReplace, ReportsTheFailureAndKeepsAWholeFile) {
  const FailCase& c = GetParam();
  put("d/p.ini", "old");
  fault_.failCall(c.call, c.n);
  Error err = Error::None;
  EXPECT_FALSE(fs::replaceFile("\\d\\p.ini", "new", &err));
  EXPECT_EQ(err, Error::Injected);
  EXPECT_EQ(get("d/p.ini"), c.renamed ? "new" : "old");
  EXPECT_EQ(names("d"), Names{"p.ini"});  // no temporary left behind
  // One call failed; the next replace works.
  EXPECT_TRUE(fs::replaceFile("\\d\\p.ini", "newer", &err));
  EXPECT_EQ(get("d/p.ini"), "newer");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedReplace,
                         ::testing::Values(FailCase{"Open", FaultBackend::Call::Open, 0, false},
                                           FailCase{"Write", FaultBackend::Call::Write, 0, false},
                                           FailCase{"SyncFile", FaultBackend::Call::Sync, 0, false},
                                           FailCase{"Close", FaultBackend::Call::Close, 0, false},
                                           FailCase{"Rename", FaultBackend::Call::Rename, 0, false},
                                           FailCase{"SyncFolder", FaultBackend::Call::Sync, 1, true}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(FaultTest, FailingTheNthCallOfAKind) {
  File f;
  ASSERT_TRUE(f.open("\\w.dat", File::Write | File::Create));
  fault_.failCall(FaultBackend::Call::Write, 1);
  EXPECT_TRUE(f.write("one"));
  EXPECT_FALSE(f.write("two"));
  EXPECT_EQ(f.lastError(), Error::Injected);
  EXPECT_TRUE(f.write("three"));
  f.close();
  EXPECT_EQ(get("w.dat"), "onethree");

  std::string s;
  Error err = Error::None;
  fault_.failCall(FaultBackend::Call::Read, 0);
  EXPECT_FALSE(fs::readFile("\\w.dat", s, &err));
  EXPECT_EQ(err, Error::Injected);

  fault_.failCall(FaultBackend::Call::MakeFolder, 1);
  EXPECT_FALSE(fs::createFolders("\\a\\b\\c", &err));
  EXPECT_EQ(err, Error::Injected);
  EXPECT_TRUE(fs::isFolder("\\a"));
  EXPECT_FALSE(fs::exists("\\a\\b"));
  EXPECT_TRUE(fs::createFolders("\\a\\b\\c", &err));

  put("a/b/c/f1", "1");
  put("a/b/f2", "2");
  fault_.failCall(FaultBackend::Call::Remove, 1);
  EXPECT_FALSE(fs::deleteFolderTree("\\a", &err));
  EXPECT_EQ(err, Error::Injected);
  EXPECT_TRUE(fs::exists("\\a"));
  EXPECT_TRUE(fs::deleteFolderTree("\\a", &err));
  EXPECT_FALSE(fs::exists("\\a"));

  fault_.failCall(FaultBackend::Call::Rename, 0);
  put("m.txt", "m");
  EXPECT_FALSE(fs::moveFile("\\m.txt", "\\n.txt", &err));
  EXPECT_EQ(err, Error::Injected);
  EXPECT_EQ(get("m.txt"), "m");
}

}  // namespace
