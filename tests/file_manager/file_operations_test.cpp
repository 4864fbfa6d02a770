// The file operations on real files of a device root: numbered alternatives, export, delete into the
// bin and restore (numbered when the name is taken), clear, the jack-list import and the log move, and
// copies and power cuts through the fault-injecting backend.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

#include "model/journal.h"
#include "platform/fs/fs.h"
#include "report/file_operations.h"

namespace {

namespace fsys = std::filesystem;
namespace fs = platform::fs;
using namespace file_ops;

class FileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> n{0};
    root_ = fsys::temp_directory_path() /
            ("file_ops_test_" + std::to_string(::getpid()) + "_" + std::to_string(n.fetch_add(1)));
    fsys::remove_all(root_);
    fsys::create_directories(root_ / "nandflash");
    fsys::create_directories(root_ / "Storage Card");
    fs::setRoot(root_);
  }
  void TearDown() override {
    std::error_code ec;
    fsys::remove_all(root_, ec);
  }
  // Writes a file under the root (an instrument path with '/' separators).
  void put(const std::string& rel, const std::string& content) {
    const fsys::path p = root_ / fsys::u8path(rel);
    fsys::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  std::string get(const std::string& rel) {
    std::ifstream in(root_ / fsys::u8path(rel), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool has(const std::string& rel) { return fsys::exists(root_ / fsys::u8path(rel)); }
  // Names in a folder, sorted.
  std::vector<std::string> names(const std::string& rel) {
    std::vector<std::string> out;
    for (const fs::Entry& e : fs::find("\\" + rel + "\\*.*")) out.push_back(e.name);
    return out;
  }

  fsys::path root_;
};

TEST_F(FileOpsTest, NamesSplitAndNumberedAlternativesNeverOverwrite) {
  struct Case {
    std::string name, base, extension;
  } cases[] = {{"123.krv", "123", ".krv"},     {"krv", "", "krv"},    {"a.kr", "", "a.kr"},
               {"", "", ""},                   {"测试桩.krv", "测试桩", ".krv"}, {"桩krv", "", "桩krv"},
               {"ab测krv", "ab", "测krv"}};
  for (const Case& c : cases) {
    const NameParts p = SplitName(c.name);
    EXPECT_EQ(p.base, c.base) << c.name;
    EXPECT_EQ(p.extension, c.extension) << c.name;
  }
  EXPECT_EQ(FolderOf("\\nandflash\\rev\\a.krv", "a.krv"), "\\nandflash\\rev\\");

  // Past "(10)" the count goes on; a name taken up to the bound has no free name.
  put("nandflash/x/a.krv", "0");
  for (int n = 1; n <= 10; ++n) put("nandflash/x/a(" + std::to_string(n) + ").krv", "0");
  EXPECT_EQ(FreeName("\\nandflash\\x\\", "a.krv"), "a(11).krv");
  EXPECT_EQ(FreeName("\\nandflash\\x\\", "A.KRV"), "A(11).KRV");  // the storage ignores case
  EXPECT_EQ(FreeName("\\nandflash\\x\\", "b.krv"), "b.krv");
  EXPECT_EQ(FreeName("\\nandflash\\x\\", "b.krv", {"\\nandflash\\x\\b.krv"}), "b(1).krv");
  put("nandflash/y/krv", "0");
  EXPECT_EQ(FreeName("\\nandflash\\y\\", "krv"), "(1)krv");
  for (int n = 1; n <= kMaxAlternative; ++n) put("nandflash/y/(" + std::to_string(n) + ")krv", "0");
  EXPECT_EQ(FreeName("\\nandflash\\y\\", "krv"), "");

  // A file with no free name stays where it is and counts as failed.
  const Outcome o = DeleteToBin({{"krv", "\\nandflash\\y\\krv"}}, {});
  EXPECT_EQ(o.failed, 0);  // the bin of that folder is empty
  put("nandflash/y/krv", "again");
  fsys::remove_all(root_ / "nandflash/y/rev");
  fsys::create_directories(root_ / "nandflash/y/rev");
  put("nandflash/y/rev/krv", "0");
  for (int n = 1; n <= kMaxAlternative; ++n) put("nandflash/y/rev/(" + std::to_string(n) + ")krv", "0");
  const Outcome full = DeleteToBin({{"krv", "\\nandflash\\y\\krv"}}, {});
  EXPECT_EQ(full.failed, 1);
  EXPECT_EQ(get("nandflash/y/krv"), "again");
  EXPECT_EQ(get("nandflash/y/rev/krv"), "0");
}

TEST_F(FileOpsTest, ExportThreeTimesDeleteRestoreAndClear) {
  put("Storage Card/123.krv", "test 123");
  put("Hard Disk/718C测试数据文件/.keep", "");
  const std::string exportFolder = "\\Hard Disk\\718C测试数据文件\\";
  for (int k = 0; k < 3; ++k) {
    const Outcome o = ExportFiles({{"123.krv", "\\Storage Card\\123.krv"}}, exportFolder);
    EXPECT_EQ(o.done, 1);
    EXPECT_EQ(o.failed, 0);
  }
  EXPECT_EQ(names("Hard Disk\\718C测试数据文件"),
            (std::vector<std::string>{".keep", "123(1).krv", "123(2).krv", "123.krv"}));
  EXPECT_EQ(get("Hard Disk/718C测试数据文件/123(2).krv"), "test 123");
  EXPECT_EQ(get("Storage Card/123.krv"), "test 123");  // an export keeps the source

  // Delete into the bin, where the name is taken: "(1)". The current test file of a channel is skipped.
  put("Storage Card/rev/123.krv", "older 123");
  put("Storage Card/live.krv", "live");
  Outcome d = DeleteToBin({{"123.krv", "\\Storage Card\\123.krv"}, {"live.krv", "\\Storage Card\\live.krv"}},
                          {"", "\\Storage Card\\live.krv"});
  EXPECT_EQ(d.done, 1);
  EXPECT_EQ(d.skipped, 1);
  EXPECT_EQ(d.failed, 0);
  bool error = true;
  EXPECT_EQ(ClosingStatus(Operation::Delete, d, error), "所选文件删除成功！");
  EXPECT_FALSE(error);
  EXPECT_FALSE(has("Storage Card/123.krv"));
  EXPECT_EQ(get("Storage Card/rev/123(1).krv"), "test 123");
  EXPECT_EQ(get("Storage Card/rev/123.krv"), "older 123");
  EXPECT_EQ(get("Storage Card/live.krv"), "live");

  // A delete from the internal storage goes into its own bin.
  put("nandflash/in.krs", "inside");
  d = DeleteToBin({{"in.krs", "\\nandflash\\in.krs"}}, {});
  EXPECT_EQ(d.done, 1);
  EXPECT_EQ(get("nandflash/rev/in.krs"), "inside");

  // Restore goes back to the storage each file came from; a taken name (here by the new 123.krv, and by
  // a channel's test path whose file does not exist yet) gets the first free alternative.
  put("Storage Card/123.krv", "new 123");
  Outcome r = RestoreFromBin({{"123.krv", "\\Storage Card\\rev\\123.krv"},
                              {"123(1).krv", "\\Storage Card\\rev\\123(1).krv"},
                              {"in.krs", "\\nandflash\\rev\\in.krs"}},
                             {"\\nandflash\\in.krs"});
  EXPECT_EQ(r.done, 3);
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(get("Storage Card/123.krv"), "new 123");
  EXPECT_EQ(get("Storage Card/123(1).krv"), "older 123");
  EXPECT_EQ(get("Storage Card/123(1)(1).krv"), "test 123");
  EXPECT_EQ(get("nandflash/in(1).krs"), "inside");
  EXPECT_FALSE(has("nandflash/in.krs"));
  EXPECT_TRUE(names("Storage Card\\rev").empty());
  EXPECT_TRUE(names("nandflash\\rev").empty());

  // A file that is not in a bin is not restored anywhere.
  r = RestoreFromBin({{"123.krv", "\\Storage Card\\123.krv"}}, {});
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(ClosingStatus(Operation::Restore, r, error), "部分文件还原失败！");
  EXPECT_TRUE(error);

  // Clear deletes for good; a file already gone counts as failed.
  put("Storage Card/rev/gone.krv", "x");
  const Outcome c = ClearFiles({{"gone.krv", "\\Storage Card\\rev\\gone.krv"}, {"no.krv", "\\Storage Card\\rev\\no.krv"}});
  EXPECT_EQ(c.done, 1);
  EXPECT_EQ(c.failed, 1);
  EXPECT_FALSE(has("Storage Card/rev/gone.krv"));
}

// The storage ignores letter case: a channel's test path protects its file whatever the case of the
// listed path, a restore never brings back a case twin of a test path (the test's start would write
// over it), and a copy never makes a second entry that differs from one there only in case.
TEST_F(FileOpsTest, ACaseTwinIsTheSameFile) {
  const std::vector<std::string> tests = {"", "\\Storage Card\\ABC.krv", "\\nandflash\\Run.krv"};
  put("Storage Card/rev/abc.krv", "older abc");
  Outcome r = RestoreFromBin({{"abc.krv", "\\Storage Card\\rev\\abc.krv"}}, tests);
  EXPECT_EQ(r.done, 1);
  EXPECT_EQ(names("Storage Card"), (std::vector<std::string>{"abc(1).krv", "rev"}));

  put("nandflash/RUN.KRV", "running");
  put("Storage Card/rev/run.krv", "old run");
  const std::vector<MarkedFile> marked = {{"RUN.KRV", "\\nandflash\\RUN.KRV"}, {"RUN.KRV", "/NANDFLASH/./RUN.KRV"}};
  const Outcome d = DeleteToBin(marked, tests);
  EXPECT_EQ(d.skipped, 2);
  EXPECT_EQ(d.done, 0);
  EXPECT_EQ(get("nandflash/RUN.KRV"), "running");
  r = RestoreFromBin({{"run.krv", "\\Storage Card\\rev\\run.krv"}}, {"\\storage card\\Run.krv"});
  EXPECT_EQ(r.done, 1);
  EXPECT_EQ(get("Storage Card/run(1).krv"), "old run");
  EXPECT_EQ(FreeName("\\Storage Card\\", "new.krv", {"\\STORAGE CARD\\NEW.KRV"}), "new(1).krv");

  // Two files of the card that differ only in case go to one folder as two names, never as twins.
  put("Storage Card/t.krv", "lower");
  put("Storage Card/T.krv", "upper");
  fsys::create_directories(root_ / "Hard Disk" / "out");
  const Outcome e = ExportFiles({{"t.krv", "\\Storage Card\\t.krv"}, {"T.krv", "\\Storage Card\\T.krv"}},
                                "\\Hard Disk\\out\\");
  EXPECT_EQ(e.done, 2);
  EXPECT_EQ(names("Hard Disk\\out"), (std::vector<std::string>{"T(1).krv", "t.krv"}));
  EXPECT_EQ(get("Hard Disk/out/T(1).krv"), "upper");
}

// Each operation lists a folder at most once, however many files it takes: the names missing from a
// folder are looked up in one listing of it.
TEST_F(FileOpsTest, EachOperationListsAFolderAtMostOnce) {
  constexpr int kFiles = 40;
  std::vector<MarkedFile> files;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "F" + std::to_string(i) + ".krv";
    put("Storage Card/" + name, name);
    files.push_back({name, "\\Storage Card\\" + name});
  }
  fsys::create_directories(root_ / "Hard Disk" / "out");
  auto listings = [](const std::function<void()>& run) {
    const long long before = fs::counters().listings;
    run();
    return fs::counters().listings - before;
  };
  EXPECT_LE(listings([&] { EXPECT_EQ(ExportFiles(files, "\\Hard Disk\\out\\").done, kFiles); }), 2);
  EXPECT_LE(listings([&] { EXPECT_EQ(ExportFiles(files, "\\Hard Disk\\out\\").done, kFiles); }), 2);
  EXPECT_EQ(get("Hard Disk/out/F7(1).krv"), "F7.krv");
  EXPECT_LE(listings([&] { EXPECT_EQ(DeleteToBin(files, {}).done, kFiles); }), 3);
  std::vector<MarkedFile> inBin;
  for (const MarkedFile& f : files) inBin.push_back({f.name, "\\Storage Card\\rev\\" + f.name});
  EXPECT_LE(listings([&] { EXPECT_EQ(RestoreFromBin(inBin, {}).done, kFiles); }), 3);
  EXPECT_LE(listings([&] { EXPECT_EQ(DeleteToBin(files, {}).done, kFiles); }), 3);
  EXPECT_LE(listings([&] { EXPECT_EQ(ClearFiles(inBin).done, kFiles); }), 2);
  for (int n = 0; n <= 200; ++n) put("nandflash/x/a" + (n ? "(" + std::to_string(n) + ")" : std::string()) + ".krv", "0");
  EXPECT_LE(listings([&] { EXPECT_EQ(FreeName("\\nandflash\\x\\", "A.KRV"), "A(201).KRV"); }), 1);
}

// A data file's journal goes with the file: an overwrite it still holds is in every copy, a moved or
// cleared file leaves no journal behind, and a journal an older file of the same name left at the
// target is never applied to the copy.
TEST_F(FileOpsTest, AFilesJournalGoesWithTheFile) {
  auto leavePending = [&](const std::string& path) {
    fs::FaultBackend fault;
    fs::ScopedBackend use(fault);
    fault.failCall(fs::FaultBackend::Call::Write, 1);  // write 0 is the journal's, write 1 the file's
    EXPECT_FALSE(filejournal::PatchFile(path, {{2, "BBB"}}));
    EXPECT_TRUE(filejournal::Pending(path));
  };
  put("Storage Card/j.krv", "AAAAAAAAAA");
  leavePending("\\Storage Card\\j.krv");
  put("Hard Disk/out/.keep", "");
  EXPECT_EQ(ExportFiles({{"j.krv", "\\Storage Card\\j.krv"}}, "\\Hard Disk\\out\\").done, 1);
  EXPECT_EQ(get("Hard Disk/out/j.krv"), "AABBBAAAAA");

  // A journal with an unfinished entry left in the bin by a file deleted there without it.
  put("Storage Card/rev/m.krv", "MMMMMMMMMM");
  leavePending("\\Storage Card\\rev\\m.krv");
  fsys::remove(root_ / "Storage Card" / "rev" / "m.krv");
  put("Storage Card/m.krv", "ZZZZZZZZZZ");
  EXPECT_EQ(DeleteToBin({{"j.krv", "\\Storage Card\\j.krv"}, {"m.krv", "\\Storage Card\\m.krv"}}, {}).done, 2);
  EXPECT_EQ(get("Storage Card/rev/j.krv"), "AABBBAAAAA");
  EXPECT_TRUE(filejournal::Recover("\\Storage Card\\rev\\m.krv"));
  EXPECT_EQ(get("Storage Card/rev/m.krv"), "ZZZZZZZZZZ");
  EXPECT_FALSE(has("Storage Card/j.krv.jrn"));
  EXPECT_FALSE(has("Storage Card/m.krv.jrn"));

  EXPECT_EQ(ClearFiles({{"j.krv", "\\Storage Card\\rev\\j.krv"}}).done, 1);
  EXPECT_FALSE(has("Storage Card/rev/j.krv.jrn"));
  EXPECT_TRUE(has("Storage Card/rev/m.krv"));
}

TEST_F(FileOpsTest, JackListImportTakesWholeRecordsOnly) {
  const std::string old(80, 'o');
  put("Storage Card/qjd.qjd", old);
  struct Case {
    bool usb;
    long long size;  // -1: no file on the U-disk
    bool ok;
  } cases[] = {{false, 40, false}, {true, -1, false}, {true, 0, false}, {true, 39, false},
               {true, 41, false},  {true, 120, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    fsys::remove_all(root_ / "Hard Disk");
    if (c.usb) fsys::create_directories(root_ / "Hard Disk");
    if (c.usb && c.size >= 0) put("Hard Disk/qjd.qjd", std::string(static_cast<std::size_t>(c.size), 'n'));
    EXPECT_EQ(ImportJackList("\\Hard Disk\\", "\\Storage Card\\"), c.ok);
    EXPECT_EQ(get("Storage Card/qjd.qjd"), c.ok ? std::string(120, 'n') : old);
  }
}

TEST_F(FileOpsTest, LogTextsMoveToTheUsbDiskExceptARunningTestsOwn) {
  for (const char* n : {"a.txt", "b.txt", "c.TXT", "T1-P1.txt", "T1-P1BL.txt"}) put(std::string("Storage Card/") + n, n);
  put("Storage Card/keep.krv", "k");
  // Without a U-disk nothing moves.
  LogMove m = MoveLogFiles("\\Storage Card\\", "\\Hard Disk\\", {});
  EXPECT_TRUE(m.found);
  EXPECT_TRUE(m.noUsb);
  EXPECT_EQ(names("Storage Card").size(), 6u);

  // A running test's two texts stay; a name taken on the U-disk gets an alternative.
  put("Hard Disk/718C日志文件/a.txt", "older a");
  Parameter running, idle;
  running.testFilePath = "\\Storage Card\\T1-P1.krv";
  running.testRunning = 1;
  idle.testFilePath = "\\Storage Card\\a.krv";
  const std::vector<std::string> keep = RunningTestTexts({&running, &idle, nullptr});
  EXPECT_EQ(keep, (std::vector<std::string>{"T1-P1.txt", "T1-P1BL.txt"}));
  m = MoveLogFiles("\\Storage Card\\", "\\Hard Disk\\", keep);
  EXPECT_EQ(m.moved, 3);
  EXPECT_EQ(m.failed, 0);
  EXPECT_EQ(get("Hard Disk/718C日志文件/a.txt"), "older a");
  EXPECT_EQ(get("Hard Disk/718C日志文件/a(1).txt"), "a.txt");
  EXPECT_EQ(get("Hard Disk/718C日志文件/c.TXT"), "c.TXT");
  EXPECT_EQ(names("Storage Card"), (std::vector<std::string>{"keep.krv", "T1-P1.txt", "T1-P1BL.txt"}));
  EXPECT_EQ(CurrentTestPaths({&running, &idle, nullptr}),
            (std::vector<std::string>{"\\Storage Card\\T1-P1.krv", "\\Storage Card\\a.krv"}));
}

TEST_F(FileOpsTest, FailedCopyLeavesTheSourceAndNoPartialTarget) {
  put("Storage Card/a.krv", std::string(5000, 'a'));
  fsys::create_directories(root_ / "Hard Disk/718C测试数据文件");
  struct Case {
    fs::FaultBackend::Call call;
    long long n;
  } cases[] = {{fs::FaultBackend::Call::Write, 0}, {fs::FaultBackend::Call::Sync, 0},
               {fs::FaultBackend::Call::Rename, 0}, {fs::FaultBackend::Call::Open, 1}};
  for (const Case& c : cases) {
    fs::FaultBackend faults;
    fs::ScopedBackend use(faults);
    faults.failCall(c.call, c.n);
    const Outcome e = ExportFiles({{"a.krv", "\\Storage Card\\a.krv"}}, "\\Hard Disk\\718C测试数据文件\\");
    faults.restorePower();
    faults.failCall(c.call, c.n);
    const Outcome d = DeleteToBin({{"a.krv", "\\Storage Card\\a.krv"}}, {});
    EXPECT_EQ(e.failed, 1);
    EXPECT_EQ(d.failed, 1);
    bool error = false;
    EXPECT_EQ(ClosingStatus(Operation::Export, e, error), "部分文件导出失败！");
    EXPECT_TRUE(error);
  }
  EXPECT_EQ(get("Storage Card/a.krv"), std::string(5000, 'a'));
  EXPECT_TRUE(names("Hard Disk\\718C测试数据文件").empty());
  EXPECT_TRUE(names("Storage Card\\rev").empty());
}

// A power cut at every step of a delete and of a restore: each file is whole in one folder or the other
// (both is allowed: the copy is complete before the source goes), never lost or torn.
TEST_F(FileOpsTest, PowerCutAtEveryStepKeepsEachFileWhole) {
  const std::string a(30, 'a'), b(20, 'b');
  auto whole = [&](const std::string& name, const std::string& content, const std::string& from,
                   const std::string& to) {
    const bool inFrom = has(from + "/" + name) && get(from + "/" + name) == content;
    const bool inTo = has(to + "/" + name) && get(to + "/" + name) == content;
    if (has(from + "/" + name)) {
      EXPECT_EQ(get(from + "/" + name), content);
    }
    if (has(to + "/" + name)) {
      EXPECT_EQ(get(to + "/" + name), content);
    }
    return inFrom || inTo;
  };
  for (int restore = 0; restore < 2; ++restore) {
    SCOPED_TRACE(restore ? "restore" : "delete");
    const std::string from = restore ? "Storage Card/rev" : "Storage Card";
    const std::string to = restore ? "Storage Card" : "Storage Card/rev";
    auto prepare = [&] {
      fsys::remove_all(root_ / "Storage Card");
      fsys::create_directories(root_ / "Storage Card/rev");
      put(from + "/a.krv", a);
      put(from + "/b.krv", b);
    };
    auto run = [&] {
      const std::string folder = restore ? "\\Storage Card\\rev\\" : "\\Storage Card\\";
      const std::vector<MarkedFile> files = {{"a.krv", folder + "a.krv"}, {"b.krv", folder + "b.krv"}};
      return restore ? RestoreFromBin(files, {}) : DeleteToBin(files, {});
    };
    long long steps = 0;
    {
      prepare();
      fs::FaultBackend dry;
      fs::ScopedBackend use(dry);
      dry.cutPowerAfter(1LL << 40);
      EXPECT_EQ(run().done, 2);
      steps = dry.steps();
    }
    ASSERT_GT(steps, 4);
    for (long long k = 0; k <= steps; ++k) {
      SCOPED_TRACE(k);
      prepare();
      {
        fs::FaultBackend cut;
        fs::ScopedBackend use(cut);
        cut.loseUnsyncedOnCut(true);
        cut.cutPowerAfter(k);
        run();
      }
      EXPECT_TRUE(whole("a.krv", a, from, to));
      EXPECT_TRUE(whole("b.krv", b, from, to));
    }
  }
}

}  // namespace
