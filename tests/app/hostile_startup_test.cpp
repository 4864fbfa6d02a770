// The main window's start on a device root where a running test's files are damaged, random or a
// folder: the jack rating data the test works its load out from, its queue files, its test file, and
// the `power` file. Each case either names the file to the operator (the storage prompt, then the
// status line) while the loop runs on, or goes on with its defined fallback without a word; no case
// changes the user's files. The screens of the named cases are saved (INSTRUMENT_SCREENSHOTS, else the
// test's own root).
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <thread>

#include "model/datafiles.h"
#include "sim_loop_fixture.h"

using namespace apptest;

namespace {

class HostileStartUp : public SimLoopTest {};

constexpr const char* kStoragePrompt = "仪器存储出现故障，\r\n请将试验数据导出，及时送修！";

std::string randomBytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(((i + seed) * 2654435761u) >> 13);
  return s;
}

// What a path of the root holds: its bytes, "<folder>" or "<none>".
std::string held(const fsys::path& p) {
  if (fsys::is_directory(p)) return "<folder>";
  if (!fsys::exists(p)) return "<none>";
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void replaceWith(const fsys::path& p, const std::string& bytes) {
  fsys::remove_all(p);
  std::ofstream(p, std::ios::binary) << bytes;
}

void folderAt(const fsys::path& p) {
  fsys::remove_all(p);
  fsys::create_directories(p);
}

// Channel 1's running test works its load out from the jack rating table: group 0 of "QJDdat.dat"
// fits its jack.
void useJackRatingTable() {
  std::vector<TestRecord> r;
  ASSERT_EQ(JDQFile::LoadTestFile("\\Storage Card\\ABC.krv", r), 1);
  r.pop_back();
  JDQFile::SetHeaderText(r, 12, 1, "JACK-A");  // jack text
  JDQFile::SetHeaderText(r, 12, 3, "1");       // force sensor type: a jack
  JDQFile::SetHeaderText(r, 13, 3, "2");       // pressure method: the rating table
  JDQFile::SetHeaderText(r, 14, 3, "0");
  Parameter p;
  p.boardFlag = 1;
  ASSERT_EQ(JDQFile::UpdateAllHeaderTexts("\\Storage Card\\ABC.krv", 0, r, p), 1);
  std::vector<JackCalibrationGroup> groups(kJackGroupCount);
  JackCalibrationGroup& g = groups[0];
  g.name1 = "JACK-A";
  g.inUse = 1;
  for (std::size_t i = 0; i < 8; ++i) g.values4to11[i] = 100.0f * static_cast<float>(i + 1);
  for (std::size_t i = 2; i < 10; ++i) g.values13to22[i] = 5.0f * static_cast<float>(i - 1);
  ASSERT_EQ(JDQFile::SaveJackData(groups, p), 1);
}

}  // namespace

TEST_F(HostileStartUp, EachDamagedFileIsNamedOrHasItsFallback) {
  const fsys::path card = "Storage Card";
  const fsys::path jack = card / "QJDdat.dat", gps = card / "ABC.gps", gpsw = card / "ABC.gpsw";
  const fsys::path file = card / "ABC.krv", copy = card / "Backup" / "ABC.krv";
  const std::string jackText = "1#千斤顶率定数据文件QJDdat.dat无法读取，请将试验数据导出，及时送修！";
  struct Case {
    const char* name;
    bool jackTable;                              // the test works its load out from the rating table
    std::function<void(const fsys::path&)> damage;
    std::string named;                           // the status line's text; empty: no prompt, no text
    bool running;                                // the test goes on
    int pressureMethod;                          // 2 the rating table, 1 the jack coefficients
    const char* picture;                         // saved screen, or null
  };
  const Case cases[] = {
      {"the jack rating data as it was saved", true, [](const fsys::path&) {}, "", true, 2, nullptr},
      {"random jack rating data", true, [&](const fsys::path& r) { replaceWith(r / jack, randomBytes(1480, 1)); },
       jackText, true, 1, "main-window-jack-data-fault.png"},
      {"a folder for the jack rating data", true, [&](const fsys::path& r) { folderAt(r / jack); }, jackText, true, 1,
       nullptr},
      {"a jack rating value that is no number", true,
       [&](const fsys::path& r) {
         std::string s = held(r / jack);
         s.replace(100, 4, "\xff\xff\xff\xff");  // a standard force of group 0: a NaN
         replaceWith(r / jack, s);
       },
       jackText, true, 1, nullptr},
      {"a random queue file (its slots are sent as they stand)", false,
       [&](const fsys::path& r) { replaceWith(r / gps, randomBytes(3 * 128, 2)); }, "", true, 1, nullptr},
      {"a folder for the queue file", false, [&](const fsys::path& r) { folderAt(r / gps); },
       "1#待发数据文件ABC.gps无法读取，请将试验数据导出，及时送修！", true, 1, "main-window-queue-file-fault.png"},
      {"a folder for the external queue file", false, [&](const fsys::path& r) { folderAt(r / gpsw); },
       "1#待发数据文件ABC.gpsw无法读取，请将试验数据导出，及时送修！", true, 1, nullptr},
      {"a random test file, its copy whole (taken from the copy)", false,
       [&](const fsys::path& r) { replaceWith(r / file, randomBytes(81 * 311, 3)); }, "", true, 1, nullptr},
      {"a random test file and no copy", false,
       [&](const fsys::path& r) {
         replaceWith(r / file, randomBytes(81 * 311, 4));
         fsys::remove(r / copy);
       },
       "1#试验数据文件ABC.krv无法读取，请将试验数据导出，及时送修！", false, 1, nullptr},
      {"a random power file (power is there)", false, [&](const fsys::path& r) { replaceWith(r / "power", randomBytes(64, 5)); },
       "", true, 1, nullptr},
      {"a folder for the power file (power is there)", false, [&](const fsys::path& r) { folderAt(r / "power"); }, "",
       true, 1, "main-window-power-folder.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    fsys::create_directories(root_ / "nandflash");
    writeRunningTest("1", 1, StoredTest{});
    if (c.jackTable) useJackRatingTable();
    c.damage(root_);
    // What the damage left, for the cases that name a file: the program leaves it so.
    std::vector<std::pair<fsys::path, std::string>> left;
    for (const fsys::path& f : {jack, gps, gpsw, fsys::path("power")}) left.emplace_back(f, held(root_ / f));
    if (!c.running) left.emplace_back(file, held(root_ / file));

    CMonitorDlg* main = nullptr;
    std::vector<std::string> asked = answerPrompts([&] {
      main = &startMain(1);
      drv::run(900 * 6, 100);
    });
    CMonitorDlg& w = *main;
    Parameter& p = w.channel(1);
    EXPECT_EQ(asked, c.named.empty() ? std::vector<std::string>{} : std::vector<std::string>{kStoragePrompt});
    EXPECT_EQ(p.testRunning.load(), c.running ? 1 : 0);
    if (c.running) {
      EXPECT_EQ(p.readingCount, 3);
      EXPECT_EQ(p.pressureMethod.load(), c.pressureMethod);
    }
    // The loop runs on (with the power file read again meanwhile): the text stays, nothing else is
    // asked, no power loss is counted down and the test is not paused.
    std::set<std::string> shown;
    asked = answerPrompts([&] {
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
      while (std::chrono::steady_clock::now() < until) {
        drv::run(300, 100);
        shown.insert(drv::text(w, CMonitorDlg::kStatusLine));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(p.paused.load(), 0);
    for (const std::string& s : shown) EXPECT_EQ(s.find("外接电源断开"), std::string::npos) << s;
    if (!c.named.empty()) {
      EXPECT_EQ(shown.count(c.named), 1u);
      EXPECT_EQ(p.link.storageText, c.named);
    }
    for (const auto& [f, bytes] : left) EXPECT_TRUE(held(root_ / f) == bytes) << f;
    if (c.picture) {
      // The named text, or the running test's own, on the status line for the picture.
      const std::string want = c.named.empty() ? "1#试验通信故障，请及时检查现场！" : c.named;
      for (int tick = 0; tick < 20 && drv::text(w, CMonitorDlg::kStatusLine) != want; ++tick) drv::run(900, 100);
      EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), want);
      const char* shots = std::getenv("INSTRUMENT_SCREENSHOTS");
      EXPECT_TRUE(drv::screenshot((shots && *shots ? fsys::path(shots) : root_) / c.picture, &w));
    }
  }
}
