#include <string>

#include "fs_fixture.h"

namespace fs = platform::fs;
using fs::Error;
using fs::File;
using Names = std::vector<std::string>;

namespace {

TEST_F(FsTest, FileReadWriteSeekLength) {
  File f;
  ASSERT_TRUE(f.open("\\data.bin", File::ReadWrite | File::Create));
  ASSERT_TRUE(f.write("0123456789"));
  EXPECT_EQ(f.length(), 10);
  EXPECT_EQ(f.position(), 10);  // length() keeps the position
  EXPECT_EQ(f.seek(-4, File::From::End), 6);
  char buf[8] = {};
  EXPECT_EQ(f.read(buf, sizeof buf), 4);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(f.read(buf, sizeof buf), 0);
  EXPECT_EQ(f.seek(2), 2);
  EXPECT_TRUE(f.readExact(buf, 3));
  EXPECT_EQ(std::string(buf, 3), "234");
  EXPECT_EQ(f.seek(1, File::From::Current), 6);
  EXPECT_FALSE(f.readExact(buf, 5));  // only 4 left
  ASSERT_TRUE(f.setLength(3));
  EXPECT_EQ(f.length(), 3);
  ASSERT_TRUE(f.setLength(5));  // grows with zeros
  EXPECT_TRUE(f.flush());
  EXPECT_TRUE(f.close());
  EXPECT_FALSE(f.isOpen());
  EXPECT_EQ(get("data.bin"), std::string("012\0\0", 5));
}

TEST_F(FsTest, CreateEmptiesUnlessNoTruncate) {
  put("a.txt", "keep me");
  {
    File f;
    ASSERT_TRUE(f.open("\\A.TXT", File::ReadWrite | File::Create | File::NoTruncate));
    EXPECT_EQ(f.length(), 7);
  }
  EXPECT_EQ(get("a.txt"), "keep me");
  {
    File f;
    ASSERT_TRUE(f.open("\\a.txt", File::Write | File::Create));
  }
  EXPECT_EQ(get("a.txt"), "");
}

TEST_F(FsTest, FileOpenFailuresAreReported) {
  put("folder/x.txt", "x");
  struct Case {
    const char* path;
    unsigned mode;
    Error expect;
  };
  const Case cases[] = {
      {"\\missing.txt", File::Read, Error::NotFound},
      {"\\missing\\new.txt", File::Write | File::Create, Error::NotFound},
      {"\\folder", File::Read, Error::AccessDenied},
      {"\\FOLDER", File::Write | File::Create, Error::AccessDenied},
      {"\\folder\\x.txt\\y", File::Read, Error::NotFound},
      {"", File::Read, Error::BadPath},
      {"\\..\\outside.txt", File::Write | File::Create, Error::BadPath},
  };
  for (const Case& c : cases) {
    File f;
    EXPECT_FALSE(f.open(c.path, c.mode)) << c.path;
    EXPECT_EQ(f.lastError(), c.expect) << c.path;
    EXPECT_FALSE(f.isOpen());
  }
  EXPECT_FALSE(std::filesystem::exists(root_.parent_path() / "outside.txt"));
}

TEST_F(FsTest, ClosedFileRefusesEveryCall) {
  File f;
  char c;
  EXPECT_EQ(f.read(&c, 1), -1);
  EXPECT_EQ(f.lastError(), Error::NotOpen);
  EXPECT_FALSE(f.write("x"));
  EXPECT_EQ(f.seek(0), -1);
  EXPECT_EQ(f.length(), -1);
  EXPECT_FALSE(f.setLength(0));
  EXPECT_FALSE(f.flush());
  EXPECT_EQ(f.lastError(), Error::NotOpen);
  EXPECT_TRUE(f.close());
}

TEST_F(FsTest, MovedFileKeepsItsDescriptor) {
  File a;
  ASSERT_TRUE(a.open("\\m.txt", File::Write | File::Create));
  File b(std::move(a));
  EXPECT_FALSE(a.isOpen());
  ASSERT_TRUE(b.write("moved"));
  File c;
  c = std::move(b);
  EXPECT_TRUE(c.close());
  EXPECT_EQ(get("m.txt"), "moved");
}

TEST_F(FsTest, WholeFileReadWriteAndQueries) {
  ASSERT_TRUE(fs::createFolder("\\nandflash"));
  ASSERT_TRUE(fs::writeFile("\\nandflash\\krv718.ini", std::string("a\0b", 3)));
  std::string s;
  Error err = Error::Io;
  ASSERT_TRUE(fs::readFile("\\NANDFLASH\\KRV718.INI", s, &err));
  EXPECT_EQ(err, Error::None);
  EXPECT_EQ(s, std::string("a\0b", 3));
  EXPECT_TRUE(fs::exists("\\nandflash"));
  EXPECT_TRUE(fs::isFolder("\\NandFlash\\"));
  EXPECT_FALSE(fs::isFile("\\nandflash"));
  EXPECT_TRUE(fs::isFile("\\nandflash\\krv718.ini"));
  EXPECT_EQ(fs::fileSize("\\nandflash\\Krv718.ini"), 3);
  EXPECT_EQ(fs::fileSize("\\nandflash"), -1);
  EXPECT_EQ(fs::fileSize("\\nope"), -1);
  EXPECT_FALSE(fs::exists("\\nope"));
  EXPECT_FALSE(fs::exists(""));

  s = "stale";
  EXPECT_FALSE(fs::readFile("\\nandflash\\missing.ini", s, &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_EQ(s, "");
  EXPECT_FALSE(fs::writeFile("\\no-folder\\x.ini", "x", &err));
  EXPECT_EQ(err, Error::NotFound);
}

TEST_F(FsTest, ReplaceFileLeavesOnlyTheTarget) {
  put("d/p.ini", "old");
  ASSERT_TRUE(fs::replaceFile("\\d\\P.INI", "new content"));
  EXPECT_EQ(get("d/p.ini"), "new content");
  ASSERT_TRUE(fs::replaceFile("\\d\\fresh.ini", ""));
  EXPECT_EQ(names("d"), (Names{"fresh.ini", "p.ini"}));
  Error err = Error::None;
  EXPECT_FALSE(fs::replaceFile("\\d", "x", &err));
  EXPECT_EQ(err, Error::AccessDenied);
  EXPECT_FALSE(fs::replaceFile("\\missing\\p.ini", "x", &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::replaceFile("\\", "x", &err));
  EXPECT_EQ(err, Error::BadPath);
}

TEST_F(FsTest, CopyFile) {
  put("src.krv", "data");
  put("dst.krv", "older");
  put("folder/keep.txt", "k");
  Error err = Error::None;
  EXPECT_FALSE(fs::copyFile("\\src.krv", "\\DST.krv", false, &err));
  EXPECT_EQ(err, Error::Exists);
  EXPECT_EQ(get("dst.krv"), "older");
  ASSERT_TRUE(fs::copyFile("\\SRC.KRV", "\\dst.KRV", true, &err));
  EXPECT_EQ(get("dst.krv"), "data");
  ASSERT_TRUE(fs::copyFile("\\src.krv", "\\folder\\New.krv"));
  EXPECT_EQ(get("folder/New.krv"), "data");
  ASSERT_TRUE(fs::copyFile("\\src.krv", "\\Src.krv"));  // onto itself: nothing lost
  EXPECT_EQ(get("src.krv"), "data");

  EXPECT_FALSE(fs::copyFile("\\none.krv", "\\x.krv", true, &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::copyFile("\\folder", "\\x.krv", true, &err));
  EXPECT_EQ(err, Error::AccessDenied);
  EXPECT_FALSE(fs::copyFile("\\src.krv", "\\folder", true, &err));
  EXPECT_EQ(err, Error::AccessDenied);
  EXPECT_FALSE(fs::copyFile("\\src.krv", "\\missing\\x.krv", true, &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::exists("\\x.krv"));
}

TEST_F(FsTest, CopyFileCarriesALargeFile) {
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 251);
  put("big.dat", big);
  ASSERT_TRUE(fs::copyFile("\\big.dat", "\\copy.dat"));
  EXPECT_EQ(get("copy.dat"), big);
}

TEST_F(FsTest, MoveFileAndFolder) {
  put("a.txt", "A");
  put("b.txt", "B");
  put("dir/inner.txt", "I");
  ASSERT_TRUE(fs::createFolder("\\dest"));
  Error err = Error::None;
  EXPECT_FALSE(fs::moveFile("\\a.txt", "\\B.TXT", &err));
  EXPECT_EQ(err, Error::Exists);
  EXPECT_EQ(get("b.txt"), "B");
  ASSERT_TRUE(fs::moveFile("\\A.TXT", "\\dest\\a2.txt"));
  EXPECT_EQ(get("dest/a2.txt"), "A");
  EXPECT_FALSE(fs::exists("\\a.txt"));
  ASSERT_TRUE(fs::moveFile("\\DIR", "\\dest\\Dir2"));
  EXPECT_EQ(get("dest/Dir2/inner.txt"), "I");
  // A rename that changes only the case.
  ASSERT_TRUE(fs::moveFile("\\b.txt", "\\B.Txt"));
  EXPECT_EQ(names(), (Names{"B.Txt", "dest"}));

  EXPECT_FALSE(fs::moveFile("\\none", "\\x", &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::moveFile("\\B.txt", "\\missing\\x", &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::moveFile("\\", "\\x", &err));
  EXPECT_EQ(err, Error::BadPath);
  EXPECT_FALSE(fs::moveFile("\\dest", "\\dest\\inside", &err));
  EXPECT_NE(err, Error::None);
  EXPECT_TRUE(fs::isFolder("\\dest\\Dir2"));
}

TEST_F(FsTest, DeleteFile) {
  put("f.txt", "x");
  put("d/g.txt", "y");
  Error err = Error::None;
  ASSERT_TRUE(fs::deleteFile("\\F.TXT", &err));
  EXPECT_FALSE(fs::exists("\\f.txt"));
  EXPECT_FALSE(fs::deleteFile("\\f.txt", &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::deleteFile("\\d", &err));
  EXPECT_EQ(err, Error::AccessDenied);
  EXPECT_FALSE(fs::deleteFile("\\..\\x", &err));
  EXPECT_EQ(err, Error::BadPath);
}

TEST_F(FsTest, Folders) {
  Error err = Error::None;
  ASSERT_TRUE(fs::createFolder("\\Storage Card", &err));
  EXPECT_TRUE(fs::createFolder("\\STORAGE CARD", &err));  // already there
  EXPECT_EQ(names(), (Names{"Storage Card"}));
  EXPECT_FALSE(fs::createFolder("\\a\\b", &err));  // one level only
  EXPECT_EQ(err, Error::NotFound);
  ASSERT_TRUE(fs::createFolders("\\storage card\\Backup\\2024\\", &err));
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "Storage Card/Backup/2024"));
  put("file", "x");
  EXPECT_FALSE(fs::createFolder("\\FILE", &err));
  EXPECT_EQ(err, Error::Exists);
  EXPECT_FALSE(fs::createFolders("\\file\\sub", &err));
  EXPECT_EQ(err, Error::Exists);

  put("Storage Card/Backup/a.krv", "a");
  put("Storage Card/Backup/2024/b.krv", "b");
  std::filesystem::create_symlink(root_ / "file", root_ / "Storage Card/Backup/link");
  ASSERT_TRUE(fs::deleteFolderTree("\\STORAGE CARD\\backup", &err));
  EXPECT_EQ(names("Storage Card"), Names{});
  EXPECT_EQ(get("file"), "x");  // a link is removed, never followed
  EXPECT_FALSE(fs::deleteFolderTree("\\Storage Card\\backup", &err));
  EXPECT_EQ(err, Error::NotFound);
  EXPECT_FALSE(fs::deleteFolderTree("\\file", &err));
  EXPECT_EQ(err, Error::AccessDenied);
  EXPECT_FALSE(fs::deleteFolderTree("\\", &err));
  EXPECT_EQ(err, Error::BadPath);
  EXPECT_TRUE(std::filesystem::exists(root_ / "file"));
}

TEST_F(FsTest, AFullDiskIsReported) {
  std::filesystem::create_symlink("/dev/full", root_ / "full.dat");
  Error err = Error::None;
  EXPECT_FALSE(fs::writeFile("\\full.dat", "data", &err));
  EXPECT_EQ(err, Error::DiskFull);
  File f;
  ASSERT_TRUE(f.open("\\FULL.DAT", File::Write));
  EXPECT_FALSE(f.write("x"));
  EXPECT_EQ(f.lastError(), Error::DiskFull);
}

TEST_F(FsTest, FreeSpace) {
  put("nandflash/x", "x");
  EXPECT_GT(fs::freeSpace("\\nandflash\\"), 0);
  EXPECT_GT(fs::freeSpace("\\NANDFLASH"), 0);
  EXPECT_EQ(fs::freeSpace("\\Storage Card\\"), -1);  // no card
  EXPECT_EQ(fs::freeSpace(""), -1);
}

}  // namespace
