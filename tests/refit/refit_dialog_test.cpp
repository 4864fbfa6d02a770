// The upgrade dialog driven as the operator drives it, on device roots of both boards: the list of
// upgrade files, the version rule, every failure text, the prompts, the countdown, the factory reset,
// the return, the touch calibration and the key click.
#include <cstring>
#include <regex>

#include "model/file_list.h"
#include "platform/process/process.h"
#include "refit/refit_app.h"
#include "refit_fixture.h"

using namespace refittest;
using refit::CRefitDlg;

namespace {

const std::string kOldMain = "#!/bin/sh\necho old > old.started\n";

// Settings files in both roots, and a few files that are no settings.
void writeSettings(const fsys::path& data, const fsys::path& program) {
  for (const fsys::path& root : {data, program}) {
    for (const char* name : refit::kSettingsFiles) writeAll(root / name, "setting");
  }
}

int settingsLeft(const fsys::path& data, const fsys::path& program) {
  int n = 0;
  for (const fsys::path& root : {data, program}) {
    for (const char* name : refit::kSettingsFiles) n += fsys::exists(root / name) ? 1 : 0;
  }
  return n;
}

// A script of exactly `size` bytes: the new main program, padded with a comment.
std::string programOfSize(std::size_t size) {
  std::string s = kNewMain + "#";
  s.append(size - s.size() - 1, 'x');
  return s + "\n";
}

// The stand-in program (a 64-bit little-endian ELF image of this host) with its section header table
// said to lie at `offset`.
std::string withSectionTableAt(std::string image, std::uint64_t offset) {
  std::memcpy(image.data() + 0x28, &offset, sizeof offset);
  return image;
}
// The stand-in program with its first loadable segment said to hold more bytes than the file has.
std::string withLoadableSegmentGrown(std::string image) {
  std::uint64_t phoff = 0;
  std::uint16_t phentsize = 0, phnum = 0;
  std::memcpy(&phoff, image.data() + 0x20, 8);
  std::memcpy(&phentsize, image.data() + 0x36, 2);
  std::memcpy(&phnum, image.data() + 0x38, 2);
  for (std::uint16_t i = 0; i < phnum; ++i) {
    char* ph = image.data() + phoff + static_cast<std::uint64_t>(i) * phentsize;
    std::uint32_t type = 0;
    std::memcpy(&type, ph, 4);
    if (type != 1) continue;  // PT_LOAD
    const std::uint64_t fileSize = image.size() + 1;
    std::memcpy(ph + 0x20, &fileSize, 8);  // p_filesz
    break;
  }
  return image;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Boards, RefitTest, ::testing::ValuesIn(kBoards),
                         [](const auto& info) { return "Board" + std::to_string(info.param.flag); });

TEST_P(RefitTest, ListsUpgradeFilesOldestFirstAndUpgradesFromTheNewestWithACountdown) {
  writeAll(program() / "Main.exe", kOldMain);
  writeSettings(data(), program());
  // Created in this order; their names sort otherwise.
  createInOrder({{"Main3.3.msi", std::string(1023, 'a')},
                 {"1.2.msi", std::string(1024, 'b')},
                 {"Main3.3.9.msi", programOfSize(1048576)}});
  writeAll(usb() / "notes.txt", "not an upgrade");
  fsys::create_directories(usb() / "folder.msi");

  CRefitDlg& d = open();
  EXPECT_EQ(status(), "");
  ui::ListCtrl* list = d.List();
  ASSERT_EQ(list->getItemCount(), 3);
  const char* rows[][3] = {{"1", "Main3.3", "1023B"}, {"2", "1.2", "1.0KB"}, {"3", "Main3.3.9", "1.00MB"}};
  const std::regex when(R"(\d\d-\d\d-\d\d \d\d:\d\d)");
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(list->getItemText(r, c), rows[r][c]) << r << "," << c;
    EXPECT_TRUE(std::regex_match(list->getItemText(r, 3), when)) << list->getItemText(r, 3);
    EXPECT_EQ(list->getItemText(r, 4), "");
  }
  EXPECT_EQ(refit::g_UpgradeFileNames, (std::vector<std::string>{"Main3.3.msi", "1.2.msi", "Main3.3.9.msi"}));
  // The newest is the last row, selected and marked.
  EXPECT_EQ(refit::g_nUpgradeSel, 2);
  EXPECT_EQ(selectedRow(), 2);
  EXPECT_EQ(list->getSelectionMark(), 2);

  // "确定" without touching the list upgrades from the newest.
  const auto asked = tapAnswering(CRefitDlg::kUpgrade, true);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "确定进行升级吗？\r\n确定后将重置仪器的配置参数，\r\n下次使用时需要重新输入这些参数！");
  EXPECT_EQ(refit::g_strUpgradeFile, "Main3.3.9.msi");
  EXPECT_EQ(refit::g_strUpgradeVersion, "3.3.9");
  EXPECT_EQ(status(), "升级进行中……，请稍候!");
  EXPECT_EQ(settingsLeft(data(), program()), 20);  // nothing goes before the new program is in place
  drv::run(200, 10);
  EXPECT_EQ(readAll(program() / "Main.exe"), programOfSize(1048576));
  EXPECT_EQ(settingsLeft(data(), program()), 0);
  EXPECT_EQ(refit::g_bUpgraded, 1);
  EXPECT_FALSE(fsys::exists(program() / "Main.exe.new"));

  // One step a second from 9 down to 0; the main program starts on the tick that shows 0.
  for (int left = 9; left >= 0; --left) {
    EXPECT_FALSE(d.QuitPosted()) << left;
    drv::run(1000, 50);
    EXPECT_EQ(status(), "软件版本成功升级至3.3.9!  " + std::to_string(left) + "秒钟后自动返回主程序");
  }
  EXPECT_TRUE(d.QuitPosted());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fsys::exists(program() / "main.started") && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fsys::exists(program() / "main.started"));
}

// A name with a '*' of its own is listed like any other, and a file of 2 GiB or more shows its size.
TEST_P(RefitTest, ListsANameWithAStarAndAFileAboveTwoGiB) {
  createInOrder({{"Main*3.3.8.msi", std::string(10, 'a')}, {"Big3.3.9.msi", ""}});
  fsys::resize_file(usb() / "Big3.3.9.msi", 3221225472ULL);  // sparse: 3 GiB
  CRefitDlg& d = open();
  ui::ListCtrl* list = d.List();
  ASSERT_EQ(list->getItemCount(), 2);
  EXPECT_EQ(list->getItemText(0, 1), "Main*3.3.8");
  EXPECT_EQ(list->getItemText(0, 2), "10B");
  EXPECT_EQ(list->getItemText(1, 1), "Big3.3.9");
  EXPECT_EQ(list->getItemText(1, 2), "3072.00MB");
}

TEST(RefitRules, VersionRuleAndSizeTexts) {
  struct Version {
    const char* file;
    const char* version;
    bool passes;
  } versions[] = {
      {"Main3.3.9.msi", "3.3.9", true}, {"1.2.msi", "1.2", true},     {"Main3.3.msi", "in3.3", false},
      {"升级1.0.0.msi", "1.0.0", true},  {"9.msi", "9", true},         {".msi", "", false},
      {"Main1..2.msi", "n1..2", false}, {"Main.3.3.msi", "n.3.3", false}, {"Main3.3.9.MSI", "3.3.9", true},
  };
  for (const Version& v : versions) {
    EXPECT_EQ(refit::VersionOfFileName(v.file), v.version) << v.file;
    EXPECT_EQ(refit::IsVersionText(v.version), v.passes) << v.file;
  }
  struct Size {
    long long bytes;
    const char* text;
  } sizes[] = {{0, "0B"}, {1023, "1023B"}, {1024, "1.0KB"}, {1048575, "1024.0KB"}, {1048576, "1.00MB"},
               {5 * 1048576 + 524288, "5.50MB"}, {2147483648LL, "2048.00MB"}, {6442450944LL, "6144.00MB"}};
  for (const Size& s : sizes) EXPECT_EQ(refit::FormatFileSize(s.bytes), s.text) << s.bytes;
}

// A file is a program only as a whole: an ELF image whose header, program headers, section header
// table and loadable segments all lie inside the file, or a script whose "#!" line names an
// interpreter that exists.
TEST(RefitRules, ProgramImagesAreCheckedWhole) {
  const std::string whole = readAll(STAND_IN_PROGRAM);
  ASSERT_GT(whole.size(), 4096u);
  struct Case {
    const char* name;
    std::string bytes;
    bool program;
  } cases[] = {
      {"whole image", whole, true},
      {"first half", whole.substr(0, whole.size() / 2), false},
      {"last byte cut", whole.substr(0, whole.size() - 1), false},
      {"header only", whole.substr(0, 64), false},
      {"section table past the end", withSectionTableAt(whole, whole.size()), false},
      {"loadable segment past the end", withLoadableSegmentGrown(whole), false},
      {"ELF magic only", "\x7f" "ELF\x02\x01", false},
      {"script", "#!/bin/sh\nexit 0\n", true},
      {"script with blanks and an argument", "#! /bin/sh -e\nexit 0\n", true},
      {"missing interpreter", "#!/no/such/interpreter\nexit 0\n", false},
      {"interpreter is a folder", "#!/tmp\n", false},
      {"no interpreter", "#!\n", false},
      {"relative interpreter", "#!sh\n", false},
      {"other format", "MZ\x90", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(refit::IsProgramImage(c.bytes), c.program) << c.name;
}

TEST(RefitRules, FilesOfEqualTimeKeepTheirOrder) {
  std::vector<FoundFile> files = {{"a", 5, 1, 0}, {"b", 5, 1, 0}, {"c", 1, 1, 0}, {"d", 5, 1, 0}, {"e", 3, 1, 0}};
  SortFilesByTime(files);
  std::string order;
  for (const FoundFile& f : files) order += f.name;
  EXPECT_EQ(order, "ceabd");
}

TEST_P(RefitTest, EveryFailureKeepsTheInstalledProgramAndTheSettings) {
  writeAll(program() / "Main.exe", kOldMain);
  writeSettings(data(), program());
  auto unchanged = [&](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(readAll(program() / "Main.exe"), kOldMain);
    EXPECT_EQ(settingsLeft(data(), program()), 20);
    EXPECT_EQ(refit::g_bUpgraded, 0);
    EXPECT_FALSE(fsys::exists(program() / "Main.exe.new"));
    EXPECT_FALSE(fsys::exists(program() / "Main.exe.new.~tmp"));
  };

  // No U-disk: nothing listed, and "确定" does nothing.
  CRefitDlg& d = open();
  EXPECT_EQ(status(), "错误，请插入带有升级文件的U盘！");
  EXPECT_TRUE(tapAnswering(CRefitDlg::kUpgrade, true).empty());
  EXPECT_EQ(status(), "");
  // A U-disk without upgrade files.
  fsys::create_directories(usb());
  ASSERT_TRUE(drv::tap(d, CRefitDlg::kRefresh));
  EXPECT_EQ(status(), "错误，仪器未检测升级文件！");
  // A name that fails the version rule: no question.
  writeAll(usb() / "Main3.3.msi", kNewMain);
  ASSERT_TRUE(drv::tap(d, CRefitDlg::kRefresh));
  EXPECT_EQ(status(), "");
  EXPECT_TRUE(tapAnswering(CRefitDlg::kUpgrade, true).empty());
  EXPECT_EQ(status(), "对不起，所选文件不符合标准升级文件格式!");
  unchanged("version rule");
  fsys::remove(usb() / "Main3.3.msi");

  struct Case {
    const char* name;
    std::string content;
    std::function<void()> beforeCopy;  // what happens between the question and the copy
    const char* text;
  } cases[] = {
      {"not a program", "hello, not a program", [] {}, "对不起，所选文件不符合标准升级文件格式!"},
      {"first half of a program", readAll(STAND_IN_PROGRAM).substr(0, readAll(STAND_IN_PROGRAM).size() / 2), [] {},
       "对不起，所选文件不符合标准升级文件格式!"},
      {"section table past the end", withSectionTableAt(readAll(STAND_IN_PROGRAM), readAll(STAND_IN_PROGRAM).size()),
       [] {}, "对不起，所选文件不符合标准升级文件格式!"},
      {"missing interpreter", "#!/no/such/interpreter\nexit 0\n", [] {}, "对不起，所选文件不符合标准升级文件格式!"},
      {"file gone", kNewMain, [&] { fsys::remove(usb() / "Main3.4.0.msi"); }, "升级失败，请确认源升级文件是否存在!"},
      {"nothing listed", kNewMain,
       [&] {
         fsys::remove(usb() / "Main3.4.0.msi");
         drv::tap(d, CRefitDlg::kRefresh);
       },
       "错误，仪器未检测到升级文件！"},
      {"U-disk gone", kNewMain, [&] { fsys::remove_all(usb()); }, "错误，请插入带有升级文件的U盘！"},
      // "刷新" with the U-disk gone empties the list; "确定" still works on the names of the last
      // listing, and the copy then fails.
      {"refreshed without U-disk", kNewMain,
       [&] {
         fsys::remove_all(usb());
         drv::tap(d, CRefitDlg::kRefresh);
         EXPECT_EQ(d.List()->getItemCount(), 0);
         EXPECT_EQ(status(), "错误，请插入带有升级文件的U盘！");
         EXPECT_EQ(refit::g_UpgradeFileNames, std::vector<std::string>{"Main3.4.0.msi"});
       },
       "错误，请插入带有升级文件的U盘！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool refreshFirst = std::string(c.name) == "refreshed without U-disk";
    writeAll(usb() / "Main3.4.0.msi", c.content);
    ASSERT_TRUE(drv::tap(d, CRefitDlg::kRefresh));
    ASSERT_EQ(d.List()->getItemCount(), 1);
    if (refreshFirst) c.beforeCopy();
    EXPECT_EQ(tapAnswering(CRefitDlg::kUpgrade, true).size(), 1u);
    if (!refreshFirst) c.beforeCopy();
    drv::run(200, 10);
    EXPECT_EQ(status(), c.text);
    unchanged(c.name);
    // Nothing counts down and nothing starts.
    drv::run(12000, 500);
    EXPECT_FALSE(d.QuitPosted());
    EXPECT_EQ(status(), c.text);
    fsys::create_directories(usb());
  }
}

TEST_P(RefitTest, DecliningAQuestionChangesNothing) {
  writeAll(program() / "Main.exe", kOldMain);
  writeSettings(data(), program());
  createInOrder({{"Main1.0.0.msi", kNewMain}, {"Main1.0.1.msi", kNewMain}});
  CRefitDlg& d = open();
  // The operator picks the first row, then declines.
  ui::ListCtrl* list = d.List();
  ASSERT_TRUE(drv::tapWindow(*list, list->getItemRect(0).center()));
  EXPECT_EQ(list->getSelectionMark(), 0);
  EXPECT_EQ(tapAnswering(CRefitDlg::kUpgrade, false).size(), 1u);
  EXPECT_EQ(refit::g_nUpgradeSel, 0);
  EXPECT_EQ(refit::g_strUpgradeFile, "Main1.0.0.msi");
  EXPECT_EQ(selectedRow(), 0);
  EXPECT_EQ(ui::focusWindow(), list);
  const auto asked = tapAnswering(CRefitDlg::kRestore, false);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "确认恢复到仪器出厂时的配置吗？\r\n选择确认，以往设置的一些参数将丢失！");
  EXPECT_EQ(selectedRow(), 0);
  drv::run(15000, 500);
  EXPECT_EQ(status(), "");
  EXPECT_EQ(readAll(program() / "Main.exe"), kOldMain);
  EXPECT_EQ(settingsLeft(data(), program()), 20);
  EXPECT_FALSE(d.QuitPosted());
}

TEST_P(RefitTest, FactoryResetDeletesTheTenSettingsFilesInBothRoots) {
  writeAll(program() / "Main.exe", kOldMain);
  writeSettings(data(), program());
  // Missing files are passed over; a name in another letter case is the same file.
  fsys::remove(data() / "krv718GPRS2.DAT");
  fsys::remove(program() / "xtbd.ini");
  fsys::remove(program() / "QJDdat.DAT");
  writeAll(program() / "QJDdat.dat", "setting");
  const std::vector<fsys::path> others = {program() / "Main.exe", program() / "krv718.ini.bak", data() / "a.krv",
                                          program() / "qjd.qjd"};
  for (const fsys::path& p : others)
    if (!fsys::exists(p)) writeAll(p, "keep");

  CRefitDlg& d = open();
  const auto asked = tapAnswering(CRefitDlg::kRestore, true);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(status(), "恢复成功，请重新返回主程序!");
  EXPECT_EQ(settingsLeft(data(), program()), 0);
  EXPECT_FALSE(fsys::exists(program() / "QJDdat.dat"));
  for (const fsys::path& p : others) EXPECT_TRUE(fsys::exists(p)) << p;
  // The main program is not started: the operator returns with "返回".
  drv::run(15000, 500);
  EXPECT_FALSE(d.QuitPosted());
  EXPECT_FALSE(fsys::exists(program() / "old.started"));
}

TEST_P(RefitTest, FactoryResetWithoutSdCardClearsTheProgramRoot) {
  writeSettings(program(), program());
  open();
  tapAnswering(CRefitDlg::kRestore, true);
  EXPECT_EQ(settingsLeft(program(), program()), 0);
}

TEST_P(RefitTest, ReturnStartsTheMainProgramAndEnds) {
  writeAll(program() / "Main.exe", kOldMain);
  CRefitDlg& d = open();
  ASSERT_TRUE(drv::tap(d, CRefitDlg::kReturn));
  EXPECT_TRUE(d.QuitPosted());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fsys::exists(program() / "old.started") && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fsys::exists(program() / "old.started"));
}

TEST_P(RefitTest, TouchCalibrationRunsTheConfiguredCommandOrSaysWhyNot) {
  CRefitDlg& d = open();
  struct Case {
    const char* config;  // null: no file
    const char* box;     // null: no message box
  } cases[] = {{nullptr, "TouchCalibrate == NULL"},
               {"\n  \n", "TouchCalibrate == NULL"},
               {"/no/such/calibrator --now", "instance == NULL"},
               {"echo calibrated > touch.done", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config ? c.config : "(none)");
    fsys::remove(root_ / "touch.conf");
    if (c.config) writeAll(root_ / "touch.conf", c.config);
    std::string shown;
    {
      drv::IdleScript script([&] {
        auto* box = dynamic_cast<refit::CMessageBox*>(ui::activeWindow());
        if (!box) return;
        shown = box->getDlgItemText(refit::CMessageBox::kText);
        drv::tap(*box, ui::IDOK);
      });
      ASSERT_TRUE(drv::tap(d, CRefitDlg::kTouchCalibrate));
    }
    EXPECT_EQ(shown, c.box ? c.box : "");
  }
  EXPECT_EQ(readAll(root_ / "touch.done"), "calibrated\n");
}

// A whole program image is installed as a script is: the new "Main.exe" byte for byte, the settings
// gone, the countdown running.
TEST_P(RefitTest, AWholeProgramImageIsInstalled) {
  writeAll(program() / "Main.exe", kOldMain);
  writeSettings(data(), program());
  const std::string image = readAll(STAND_IN_PROGRAM);
  writeAll(usb() / "Main3.4.0.msi", image);
  open();
  ASSERT_EQ(tapAnswering(CRefitDlg::kUpgrade, true).size(), 1u);
  drv::run(1200, 10);
  EXPECT_EQ(readAll(program() / "Main.exe"), image);
  EXPECT_EQ(settingsLeft(data(), program()), 0);
  EXPECT_EQ(refit::g_bUpgraded, 1);
  EXPECT_EQ(status(), "软件版本成功升级至3.4.0!  9秒钟后自动返回主程序");
}

// An upgrade cut off by a power loss leaves its copy and the temporary files of its writes in the
// program folder; the next start of the upgrade program removes them, and nothing else.
TEST_P(RefitTest, TheStartRemovesTheLeftoversOfACutOffUpgrade) {
  writeAll(program() / "Main.exe", kOldMain);
  writeSettings(data(), program());
  const char* leftovers[] = {"Main.exe.new.~tmp", "Main.exe.new", "Main.exe.~tmp"};
  for (const char* name : leftovers) writeAll(program() / name, std::string(100000, 'x'));
  writeAll(program() / "RefitC.exe", "refit");
  refit::CRefitApp app;
  bool checked = false;
  drv::IdleScript script([&] {
    if (checked || !app.MainWindow()) return;
    checked = true;
    for (const char* name : leftovers) EXPECT_FALSE(fsys::exists(program() / name)) << name;
    app.MainWindow()->OnBnClickedReturn();
  });
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(checked);
  EXPECT_EQ(readAll(program() / "Main.exe"), kOldMain);
  EXPECT_EQ(readAll(program() / "RefitC.exe"), "refit");
  EXPECT_EQ(settingsLeft(data(), program()), 20);
}

TEST_P(RefitTest, EveryKeyPressClicksTheBuzzerOfTheBoard) {
  refit::CRefitApp app;
  int clicks = -1;
  bool done = false;
  drv::IdleScript script([&] {
    if (done || !app.MainWindow()) return;
    done = true;
    // The 50 ms click sleeps on the instrument clock: the keys are handled inside a clock timer's
    // callback, where a sleep moves the manual clock on by itself.
    clk::addTimer(1, false, [&] {
      ui::injectKey(ui::WM_KEYDOWN, ui::VK_F1);
      ui::injectKey(ui::WM_KEYUP, ui::VK_F1);
      ui::injectKey(ui::WM_KEYDOWN, ui::VK_RETURN);
      ui::injectKey(ui::WM_KEYUP, ui::VK_RETURN);
      drv::pump();
      clicks = platform::device::board().keyClicks;
    });
    clk::advance(1);
    app.MainWindow()->OnBnClickedReturn();
  });
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.BoardFlag(), board_.flag);
  EXPECT_EQ(app.RegistryKey(), "应用程序向导生成的本地应用程序");
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(platform::device::board().buzzerOn);
}

class Pictures : public RefitTest {};
INSTANTIATE_TEST_SUITE_P(Board1, Pictures, ::testing::Values(kBoards[0]));

TEST_P(Pictures, DialogAndItsQuestion) {
  createInOrder({{"Main3.3.7.msi", std::string(786432, '#')},
                 {"Main3.3.8.msi", std::string(1023, '#')},
                 {"Main3.3.9.msi", programOfSize(1572864)}});
  CRefitDlg& d = open();
  d.setDlgItemText(CRefitDlg::kStatus, "软件版本成功升级至3.3.9!  9秒钟后自动返回主程序");
  drv::pump();
  for (int id : {CRefitDlg::kTitle, CRefitDlg::kStatus, 1003, 1004, 1005, 1007, CRefitDlg::kList,
                 CRefitDlg::kTouchCalibrate, CRefitDlg::kRestore, CRefitDlg::kRefresh, CRefitDlg::kReturn,
                 CRefitDlg::kUpgrade}) {
    EXPECT_GT(drv::inkPixels(d, d.getDlgItem(id)->windowRect()), 40) << id;
  }
  for (int id : {1006, 1008, 1013}) EXPECT_FALSE(drv::visible(d, id)) << id;
  const fsys::path shots = root_ / "shots";
  fsys::create_directories(shots);
  ASSERT_TRUE(drv::screenshot(shots / "refit-dialog.png"));
  {
    drv::IdleScript script([&] {
      auto* q = dynamic_cast<refit::queren*>(ui::activeWindow());
      if (!q) return;
      drv::screenshot(shots / "refit-question.png");
      EXPECT_GT(drv::inkPixels(*q, q->getDlgItem(refit::queren::kMessage)->windowRect()), 200);
      drv::tap(*q, refit::queren::kNo);
    });
    ASSERT_TRUE(drv::tap(d, CRefitDlg::kUpgrade));
  }
  EXPECT_TRUE(fsys::exists(shots / "refit-question.png"));
  // The message of a touch calibration that is not there.
  {
    drv::IdleScript script([&] {
      auto* box = dynamic_cast<refit::CMessageBox*>(ui::activeWindow());
      if (!box) return;
      drv::screenshot(shots / "refit-message.png");
      EXPECT_GT(drv::inkPixels(*box, box->getDlgItem(refit::CMessageBox::kText)->windowRect()), 100);
      drv::tap(*box, ui::IDOK);
    });
    ASSERT_TRUE(drv::tap(d, CRefitDlg::kTouchCalibrate));
  }
  EXPECT_TRUE(fsys::exists(shots / "refit-message.png"));
  if (const char* out = std::getenv("REFIT_SCREENSHOTS")) {
    for (const char* name : {"refit-dialog.png", "refit-question.png", "refit-message.png"})
      fsys::copy_file(shots / name, fsys::path(out) / name, fsys::copy_options::overwrite_existing);
  }
}
