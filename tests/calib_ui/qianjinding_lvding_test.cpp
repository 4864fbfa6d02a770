// The jack calibration dialog by taps: the first showing reads "QJDdat.dat", generating for both kinds,
// saving with its refusals in order, paging, deleting, the kind buttons of a locked group, the keypad
// cycle on channel 1 whichever channel is shown, and the file after each save and delete compared byte
// for byte with a fixture typed from the 148-byte record layout.
#include <cstring>

#include "calib_ui/qianjinding_lvding.h"
#include "tests/setup_ui/setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;
using D = QianJinDingLvDing;

namespace {

// One group as the file holds it.
struct FileGroup {
  std::u16string jack, sensor;
  std::int32_t kind = 0;
  float maxForce = 1000.0f;
  std::int32_t points = 5;
  float standard[11] = {};  // points 1..10
  float measured[11] = {};  // points 0..10
  std::int32_t saved = 0;
};

template <typename T>
void put(std::string& b, std::size_t at, T v) {
  std::memcpy(b.data() + at, &v, sizeof v);
}

// A 148-byte record: names at 0 and 20 (10 UTF-16 units each), kind at 40, maximum force at 44, points
// at 48, standard forces of points 1-8 from 52, of points 9 and 10 at 84 and 88, measured values of
// points 1-8 from 92, of point 9 at 124, of point 10 at 128, of point 0 at 132, the saved flag at 136
// and two zero ints.
std::string Record(const FileGroup& g) {
  std::string b(148, '\0');
  for (std::size_t i = 0; i < g.jack.size() && i < 10; ++i) put<char16_t>(b, 2 * i, g.jack[i]);
  for (std::size_t i = 0; i < g.sensor.size() && i < 10; ++i) put<char16_t>(b, 20 + 2 * i, g.sensor[i]);
  put(b, 40, g.kind);
  put(b, 44, g.maxForce);
  put(b, 48, g.points);
  for (std::size_t k = 1; k <= 8; ++k) put(b, 52 + 4 * (k - 1), g.standard[k]);
  put(b, 84, g.standard[9]);
  put(b, 88, g.standard[10]);
  for (std::size_t k = 1; k <= 8; ++k) put(b, 92 + 4 * (k - 1), g.measured[k]);
  put(b, 124, g.measured[9]);
  put(b, 128, g.measured[10]);
  put(b, 132, g.measured[0]);
  put(b, 136, g.saved);
  return b;
}

std::string FileOf(const std::vector<FileGroup>& groups) {
  std::string f;
  for (std::size_t i = 0; i < 10; ++i) f += Record(i < groups.size() ? groups[i] : FileGroup{});
  return f;
}

// A saved jack group of n points over 100 kN a point; measured values 1.5, 3, 4.5, ... and 0.2 at zero.
FileGroup Saved(const std::u16string& jack, int n) {
  FileGroup g;
  g.jack = jack;
  g.maxForce = 100.0f * static_cast<float>(n);
  g.points = n;
  g.measured[0] = 0.2f;
  for (int k = 1; k <= n; ++k) {
    g.standard[k] = 100.0f * static_cast<float>(k);
    g.measured[k] = 1.5f * static_cast<float>(k);
  }
  g.saved = 1;
  return g;
}

class JackCalibration : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    dlg = dialog<D>(MonitorSlot::QianJinDingLvDing);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->create());
    LinkMonitorDialog(MonitorSlot::QianJinDingLvDing, ch[0], ch[1], ch[2]);
  }
  fsys::path file() const { return root_ / "Storage Card" / "QJDdat.dat"; }
  void writeFile(const std::string& bytes) {
    std::ofstream(file(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string readFile() {
    std::ifstream in(file(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string text(int id) { return drv::text(*dlg, id); }
  bool on(int id) { return drv::enabled(*dlg, id); }
  std::string status() { return text(D::kStatus); }
  bool red() { return drv::textColor(*dlg, D::kStatus) == RGB(255, 0, 0); }
  void tap(int id) { ASSERT_TRUE(drv::tap(*dlg, id)) << id; }
  // Channel 1's test starts or ends while the dialog is up, and the loop runs on for a second.
  void channelOneTests(bool on) {
    ch[0].testRunning = on ? 1 : 0;
    drv::run(1000, 100);
  }
  // The delete frame's bevel (its light left edge) as the screen shows it.
  ui::Color deleteBevel() {
    const ui::Rect r = dlg->getDlgItem(D::kDeleteFrame)->windowRect();
    const ui::Point p = dlg->clientToScreen({r.left + 2, (r.top + r.bottom) / 2});
    return ui::renderScreen().pixel(p.x, p.y);
  }
  void type(int edit, const std::string& value) { typeInto(*dlg, edit, value); }
  std::vector<std::string> standards() {
    std::vector<std::string> v;
    for (int k = 0; k <= 10; ++k) v.push_back(text(D::StandardLabel(k)));
    return v;
  }
  std::vector<std::string> pointNumbers() {
    std::vector<std::string> v;
    for (int k = 0; k <= 10; ++k) v.push_back(text(D::PointLabel(k)));
    return v;
  }
  // Which measured-value edits take input.
  std::string openRows() {
    std::string s;
    for (int k = 0; k <= 10; ++k) s += on(D::MeasuredEdit(k)) ? '1' : '0';
    return s;
  }

  D* dlg = nullptr;
};

}  // namespace

TEST_F(JackCalibration, FirstShowingReadsTheFileAndLaterShowingsDropWhatWasNotSaved) {
  show(*dlg);  // no file: ten empty groups
  EXPECT_EQ(text(D::kTitle), "千斤顶率定表      第1组 共10组");
  EXPECT_EQ(text(D::kJackNumber), "");
  EXPECT_EQ(text(D::kMaxForce), "1000");
  EXPECT_EQ(text(D::kPoints), "5");
  EXPECT_EQ(text(D::kJackKind), "√千斤顶");
  EXPECT_EQ(text(D::kSystemKind), "系统");
  EXPECT_EQ(text(D::kMeasuredHeadLeft), "实测油压MPa");
  EXPECT_EQ(text(D::kMeasuredHeadRight), "实测油压MPa");
  EXPECT_EQ(drv::textColor(*dlg, D::kJackKind), RGB(0, 0, 255));
  EXPECT_EQ(drv::textColor(*dlg, D::kSystemKind), RGB(0, 0, 0));
  EXPECT_EQ(standards(), (std::vector<std::string>{"0", "", "", "", "", "", "", "", "", "", ""}));
  EXPECT_EQ(text(D::MeasuredEdit(0)), "0");
  EXPECT_EQ(pointNumbers(), (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "", "", "", "", ""}));
  EXPECT_EQ(openRows(), "11111100000");
  EXPECT_FALSE(on(D::kSensorNumber));
  EXPECT_TRUE(on(D::kJackNumber) && on(D::kGenerate));
  EXPECT_EQ(ch[0].jackGroups.size(), 10u);
  EXPECT_FALSE(fsys::exists(file())) << "showing writes nothing";

  // Typed entries are dropped when the dialog is shown again; the file is read only the first time.
  type(D::kJackNumber, "J7");
  EXPECT_EQ(text(D::kJackNumber), "J7");
  EXPECT_EQ(status(), "") << "a keypad entry shows no message";
  tap(D::kExit);
  EXPECT_FALSE(dlg->isWindowVisible());
  writeFile(FileOf({Saved(u"QJD-1", 3)}));
  show(*dlg);
  EXPECT_EQ(text(D::kJackNumber), "");
}

TEST_F(JackCalibration, ShowsAStoredSystemGroupLocked) {
  FileGroup g = Saved(u"QJD-1", 3);
  g.sensor = u"S-20";
  g.kind = 1;
  g.maxForce = 312.5f;
  writeFile(FileOf({g}));
  show(*dlg);
  EXPECT_EQ(text(D::kJackNumber), "QJD-1");
  EXPECT_EQ(text(D::kSensorNumber), "S-20");
  EXPECT_EQ(text(D::kJackKind), "千斤顶");
  EXPECT_EQ(text(D::kSystemKind), "√系统");
  EXPECT_EQ(text(D::kMeasuredHeadLeft), "实测力值kN");
  EXPECT_EQ(drv::textColor(*dlg, D::kSystemKind), RGB(0, 0, 255));
  EXPECT_EQ(text(D::kMaxForce), "312.5");
  EXPECT_EQ(text(D::kPoints), "3");
  EXPECT_EQ(standards(), (std::vector<std::string>{"0", "100", "200", "300", "", "", "", "", "", "", ""}));
  EXPECT_EQ(text(D::MeasuredEdit(0)), "0.2");
  EXPECT_EQ(text(D::MeasuredEdit(1)), "1.5");
  EXPECT_EQ(text(D::MeasuredEdit(3)), "4.5");
  EXPECT_EQ(text(D::MeasuredEdit(4)), "") << "a zero shows empty";
  EXPECT_EQ(openRows(), "00000000000");
  for (int id : {D::kJackNumber, D::kSensorNumber, D::kMaxForce, D::kPoints, D::kGenerate}) EXPECT_FALSE(on(id)) << id;
  EXPECT_FALSE(dlg->groupEditable());

  // The kind buttons do nothing on a saved group.
  tap(D::kJackKind);
  EXPECT_EQ(text(D::kJackKind), "千斤顶");
  EXPECT_EQ(text(D::kSensorNumber), "S-20");
  EXPECT_EQ(text(D::kMeasuredHeadLeft), "实测力值kN");
  tap(D::kSave);
  EXPECT_EQ(status(), "该组数据已经保存过！");
  EXPECT_FALSE(red());
  EXPECT_EQ(readFile(), FileOf({g})) << "a saved group is not written again";
}

TEST_F(JackCalibration, GeneratesForBothKindsAndRefusesWhatCannotBeGenerated) {
  show(*dlg);
  // The jack kind: the number is needed, then a maximum force of at least 1 and 1 to 10 points.
  type(D::kMaxForce, "1000");
  type(D::kPoints, "3");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "千斤顶编号不能为空！");
  EXPECT_TRUE(red());
  type(D::kJackNumber, "J1");
  type(D::kMaxForce, "0");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "率定最大力值不能为零！");
  EXPECT_TRUE(red());
  type(D::kMaxForce, "1000");
  for (const char* points : {"0", "11"}) {
    type(D::kPoints, points);
    tap(D::kGenerate);
    EXPECT_EQ(status(), "率定点数要求为1至10的整数！") << points;
    EXPECT_TRUE(red());
    EXPECT_EQ(standards()[1], "") << "a refusal generates nothing";
  }
  type(D::kMaxForce, "");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "率定最大力值要求为数字！");
  type(D::kMaxForce, "1000");
  type(D::kPoints, "");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "率定点数要求为数字！");
  type(D::kPoints, "3");
  type(D::MeasuredEdit(5), "7.5");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "输入完成，已自动生成各率定点的标准荷载值！");
  EXPECT_FALSE(red());
  EXPECT_EQ(standards(), (std::vector<std::string>{"0", "333", "666", "999", "", "", "", "", "", "", ""}));
  EXPECT_EQ(pointNumbers(), (std::vector<std::string>{"0", "1", "2", "3", "", "", "", "", "", "", ""}));
  EXPECT_EQ(openRows(), "11110000000");
  EXPECT_EQ(text(D::MeasuredEdit(5)), "") << "rows above n are emptied";
  EXPECT_EQ(ch[0].jackGroups[0].name1, "") << "nothing is stored before a save";
  saveShot(*dlg, "jack-calibration-jack.png");

  // The system kind: its captions and heads, the sensor number, its own texts.
  tap(D::kSystemKind);
  EXPECT_EQ(text(D::kJackKind), "千斤顶");
  EXPECT_EQ(text(D::kSystemKind), "√系统");
  EXPECT_EQ(text(D::kMeasuredHeadLeft), "实测力值kN");
  EXPECT_EQ(text(D::kMeasuredHeadRight), "实测力值kN");
  EXPECT_EQ(drv::textColor(*dlg, D::kJackKind), RGB(0, 0, 0));
  EXPECT_EQ(drv::textColor(*dlg, D::kSystemKind), RGB(0, 0, 255));
  EXPECT_TRUE(on(D::kSensorNumber));
  tap(D::kGenerate);
  EXPECT_EQ(status(), "传感器编号不能为空！");
  type(D::kSensorNumber, "S9");
  type(D::kMaxForce, "0.5");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "标定最大力值不能为零！");
  type(D::kMaxForce, "2000.9");
  type(D::kPoints, "10");
  tap(D::kGenerate);
  EXPECT_EQ(status(), "输入完成，已自动生成各率定点标准荷载值！");
  EXPECT_EQ(standards(), (std::vector<std::string>{"0", "200", "400", "600", "800", "1000", "1200", "1400", "1600",
                                                   "1800", "2000"}));
  EXPECT_EQ(openRows(), "11111111111");
  for (int k = 0; k <= 10; ++k) type(D::MeasuredEdit(k), std::to_string(k * 20));
  saveShot(*dlg, "jack-calibration-system.png");
  // Back to the jack kind: the sensor edit is locked again with the group's stored number.
  tap(D::kJackKind);
  EXPECT_FALSE(on(D::kSensorNumber));
  EXPECT_EQ(text(D::kSensorNumber), "");
  EXPECT_EQ(text(D::kMeasuredHeadLeft), "实测油压MPa");
}

TEST_F(JackCalibration, SaveRefusesInOrderThenWritesTheGroupOnce) {
  show(*dlg);
  tap(D::kSave);
  EXPECT_EQ(status(), "千斤顶编号不能为空！");
  EXPECT_TRUE(red());
  type(D::kJackNumber, "QJD1");
  type(D::kPoints, "11");
  tap(D::kSave);
  EXPECT_EQ(status(), "率定点数要求为1至10的整数！");
  type(D::kPoints, "5");
  for (int k = 0; k < 5; ++k) type(D::MeasuredEdit(k), std::to_string(k) + ".25");
  tap(D::kSave);
  EXPECT_EQ(status(), "各率定点数据必须输满，返回上一组或其他页面取消输入！");
  EXPECT_TRUE(red());
  type(D::MeasuredEdit(5), "5");
  type(D::MeasuredEdit(0), "");
  tap(D::kSave);
  EXPECT_EQ(status(), "率定零点数据输入有误！");
  type(D::MeasuredEdit(0), "0.1");
  // Every value typed, but no standard forces generated.
  tap(D::kSave);
  EXPECT_EQ(status(), "各率定点标准力值须逐点增大，请先生成标准力值！");
  EXPECT_TRUE(red());
  EXPECT_FALSE(fsys::exists(file())) << "no refusal writes the file";
  type(D::kPoints, "4");
  type(D::kMaxForce, "400");
  tap(D::kGenerate);
  EXPECT_EQ(text(D::MeasuredEdit(5)), "");
  tap(D::kSave);
  EXPECT_EQ(status(), "率定数据已保存！");
  EXPECT_FALSE(red());
  for (int id : {D::kJackNumber, D::kSensorNumber, D::kMaxForce, D::kPoints}) EXPECT_FALSE(on(id)) << id;
  EXPECT_EQ(openRows(), "00000000000");

  FileGroup g;
  g.jack = u"QJD1";
  g.maxForce = 400.0f;
  g.points = 4;
  for (int k = 1; k <= 4; ++k) g.standard[k] = 100.0f * static_cast<float>(k);
  g.measured[0] = 0.1f;
  for (int k = 1; k <= 4; ++k) g.measured[k] = static_cast<float>(k) + 0.25f;
  g.saved = 1;
  const std::string expected = FileOf({g});
  ASSERT_EQ(expected.size(), 1480u);
  EXPECT_EQ(readFile(), expected);

  tap(D::kSave);
  EXPECT_EQ(status(), "该组数据已经保存过！");
  EXPECT_FALSE(red());
  fsys::remove(file());
  drv::run(5000);
  EXPECT_FALSE(fsys::exists(file())) << "nothing writes the file again";
  EXPECT_EQ(status(), "该组数据已经保存过！");
}

TEST_F(JackCalibration, PagesToTheEndsAndOnlyFromASavedGroup) {
  std::vector<FileGroup> all;
  for (int i = 1; i <= 10; ++i) all.push_back(Saved(u"J" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)), 2));
  all[9] = FileGroup{};  // group 10 unsaved
  writeFile(FileOf(all));
  show(*dlg);
  tap(D::kPrevious);
  EXPECT_EQ(status(), "已达到首组率定数据!");
  EXPECT_FALSE(red());
  EXPECT_EQ(dlg->group(), 1);
  for (int g = 2; g <= 10; ++g) tap(D::kNext);
  EXPECT_EQ(dlg->group(), 10);
  EXPECT_EQ(text(D::kTitle), "千斤顶率定表     第10组 共10组");
  EXPECT_EQ(status(), "");
  EXPECT_TRUE(on(D::kGenerate)) << "the unsaved group 10 is editable";
  tap(D::kNext);
  EXPECT_EQ(status(), "数据输入有误或未保存该组数据!");
  EXPECT_TRUE(red());
  EXPECT_EQ(dlg->group(), 10);
  tap(D::kPrevious);
  EXPECT_EQ(dlg->group(), 9);
  EXPECT_EQ(text(D::kTitle), "千斤顶率定表      第9组 共10组");
  EXPECT_EQ(text(D::kJackNumber), "J9");
  EXPECT_EQ(status(), "");

  // During channel 1's test an unsaved group is not paged to, silently.
  channelOneTests(true);
  tap(D::kNext);
  EXPECT_EQ(dlg->group(), 9);
  EXPECT_EQ(status(), "");
  channelOneTests(false);

  // Group 10 saved: the last group answers at the end.
  tap(D::kNext);
  type(D::kJackNumber, "J10");
  type(D::kPoints, "2");
  type(D::kMaxForce, "200");
  tap(D::kGenerate);
  for (int k = 0; k <= 2; ++k) type(D::MeasuredEdit(k), "1");
  tap(D::kSave);
  ASSERT_EQ(status(), "率定数据已保存！");
  tap(D::kNext);
  EXPECT_EQ(status(), "已达到末组率定数据!");
  EXPECT_FALSE(red());
  EXPECT_EQ(dlg->group(), 10);
}

TEST_F(JackCalibration, DeletesGroupThreeOfFiveUnlessChannelOneTests) {
  std::vector<FileGroup> five;
  for (int i = 1; i <= 5; ++i) five.push_back(Saved(u"J" + std::u16string(1, static_cast<char16_t>(u'0' + i)), i));
  writeFile(FileOf(five));
  // The shown channel is 2: the refusal still follows channel 1's test.
  dlg->SetCurrentChannel(&ch[1]);
  show(*dlg);
  tap(D::kNext);
  tap(D::kNext);
  ASSERT_EQ(dlg->group(), 3);
  const ui::Color available = RGB(255, 190, 90);
  EXPECT_EQ(deleteBevel(), available);
  // The frame shows the refusal to come as soon as channel 1's test runs.
  channelOneTests(true);
  EXPECT_NE(deleteBevel(), available);
  tap(D::kDelete);
  EXPECT_EQ(status(), "试桩正在进行，无法进行删除操作！");
  EXPECT_TRUE(red());
  EXPECT_EQ(readFile(), FileOf(five));
  channelOneTests(false);
  EXPECT_EQ(deleteBevel(), available);
  ch[1].testRunning = 1;
  tap(D::kDelete);
  EXPECT_EQ(status(), "删除成功！");
  EXPECT_FALSE(red());
  EXPECT_EQ(dlg->group(), 3);
  EXPECT_EQ(text(D::kJackNumber), "J4") << "the place shows the next group";
  EXPECT_EQ(text(D::kPoints), "4");
  EXPECT_EQ(readFile(), FileOf({five[0], five[1], five[3], five[4]}));
  // Groups 5-10 are empty and editable.
  tap(D::kNext);
  tap(D::kNext);
  EXPECT_EQ(dlg->group(), 5);
  EXPECT_EQ(text(D::kJackNumber), "");
  EXPECT_TRUE(dlg->groupEditable());
  EXPECT_EQ(text(D::kMaxForce), "1000");
  EXPECT_EQ(text(D::kPoints), "5");
}

TEST_F(JackCalibration, KeypadRequestsAreChannelOnesWhicheverChannelIsShown) {
  dlg->SetCurrentChannel(&ch[2]);
  key->SetCurrentChannel(&ch[2]);
  show(*dlg);
  struct Case {
    int edit;
    const char* caption;
    int maxLength, mode;
  } cases[] = {{D::kJackNumber, "千斤顶编号", 10, kKeypadText},
               {D::kMaxForce, "率定最大力值kN", 10, kKeypadDecimal},
               {D::kPoints, "率定点数(≤10)", 2, kKeypadInteger},
               {D::MeasuredEdit(0), "率定点0", 6, kKeypadDecimal},
               {D::MeasuredEdit(5), "率定点5", 6, kKeypadDecimal}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    tap(c.edit);
    EXPECT_FALSE(dlg->isWindowVisible());
    EXPECT_TRUE(key->isWindowVisible());
    for (Parameter* p : {&ch[0], &ch[2]}) {
      EXPECT_EQ(p->keypad.caption, c.caption);
      EXPECT_EQ(p->keypad.maxLength, c.maxLength);
      EXPECT_EQ(p->keypad.mode, c.mode);
      EXPECT_EQ(p->keypad.requester, kRequesterJackCalibration);
    }
    EXPECT_EQ(drv::text(*key, Key::kLabel), std::string("请输入") + c.caption + ":");
    typeOnKeypad("8");
    EXPECT_TRUE(dlg->isWindowVisible());
    EXPECT_EQ(text(c.edit), "8");
    EXPECT_EQ(ch[0].keypad.requester, 0);
    EXPECT_EQ(ch[2].keypad.requester, 0);
  }
  EXPECT_EQ(status(), "");
  tap(D::kPoints);
  typeOnKeypad("2");
  tap(D::kJackNumber);
  typeOnKeypad("J2");
  tap(D::kGenerate);
  EXPECT_EQ(standards()[2], "8");
  EXPECT_EQ(text(D::kJackNumber), "J2");
}
