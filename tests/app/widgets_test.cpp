// The channel lamp, the blue-or-red button, the coloured list rows and the one-pixel frame.
#include "app/widgets.h"
#include "fixture.h"
#include "platform/ui/dialog.h"

using namespace apptest;
using platform::ui::RGB;

namespace {

constexpr int kWidgetTemplate = 9701;
ui::TemplateRegistration reg{ui::DialogTemplate{kWidgetTemplate,
                                                {0, 0, 1024, 768},
                                                0,
                                                "",
                                                0,
                                                0,
                                                {{1307, ui::ControlClass::Button, "1#", {20, 20, 200, 100}},
                                                 {1400, ui::ControlClass::Button, "确定", {220, 20, 400, 100}},
                                                 {1401, ui::ControlClass::Button, "other", {420, 20, 600, 100}},
                                                 {1500, ui::ControlClass::List, "", {20, 200, 600, 500}, ui::LVS_REPORT}}}};

class Host : public ui::Dialog {
 public:
  Host() : Dialog(kWidgetTemplate) {
    bindControl(1307, lamp);
    bindControl(1400, mine);
    bindControl(1500, list);
  }
  CColorButton lamp;
  CMyButton mine;
  CColorListCtrl list;
};

class WidgetTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(host.create());
    host.showWindow(ui::SW_SHOW);
    drv::pump();
  }
  Host host;
};

}  // namespace

TEST_F(WidgetTest, LampFaceFollowsItsState) {
  struct Case {
    int state;
    ui::Color face;
  } cases[] = {{1, RGB(255, 255, 255)}, {2, RGB(0, 255, 0)},   {3, RGB(255, 0, 0)},
               {4, RGB(255, 255, 0)},   {0, ui::kColorFace}, {5, ui::kColorFace}};
  for (const Case& c : cases) {
    host.lamp.state = c.state;
    drv::run(200, 50);
    EXPECT_EQ(drv::dominantColor(host, 1307), c.face) << c.state;
  }
  EXPECT_EQ(host.lamp.style() & ui::BS_TYPEMASK, ui::BS_OWNERDRAW);
}

TEST_F(WidgetTest, LampRepaintsOnTheNextTickOnlyWhenItsStateChanged) {
  host.lamp.state = 2;
  drv::run(200, 50);
  const int repaints = host.lamp.repaints();
  host.lamp.state = 3;
  drv::run(150, 50);
  EXPECT_EQ(host.lamp.repaints(), repaints);  // not yet: the tick comes every 200 ms
  drv::run(50, 50);
  EXPECT_EQ(host.lamp.repaints(), repaints + 1);
  EXPECT_EQ(host.lamp.drawnState(), 3);
  drv::run(1000, 50);
  EXPECT_EQ(host.lamp.repaints(), repaints + 1);  // the same state again repaints nothing
}

TEST_F(WidgetTest, LampCaptionIsBoundedAndDrawnOnOneLine) {
  std::string longCaption;
  for (int i = 0; i < 300; ++i) longCaption += "锁";
  host.lamp.setWindowText(longCaption);
  ui::renderScreen();
  EXPECT_EQ(Utf8Length(host.lamp.drawnCaption()), CColorButton::kCaptionLimit);
  host.lamp.setWindowText("2# 锁定");
  ui::renderScreen();
  EXPECT_EQ(host.lamp.drawnCaption(), "2# 锁定");
  EXPECT_GT(drv::inkPixels(host, host.lamp.windowRect()), 30);
}

TEST_F(WidgetTest, MyButtonShowsFocusOnlyOnTheRedFace) {
  auto pixelsOf = [&] {
    ui::Bitmap screen = ui::renderScreen();
    ui::Rect r = host.mine.getWindowRect();
    return std::pair{screen.pixel(r.left + 5, r.top + 5), screen.pixel(r.left + 12, r.top + 12)};
  };
  struct Case {
    int state;
    bool focused;
    ui::Color edge, inner;
  } cases[] = {{1, false, RGB(0, 0, 255), RGB(0, 0, 255)},
               {1, true, RGB(0, 0, 255), RGB(0, 0, 255)},
               {0, false, RGB(255, 0, 0), RGB(255, 0, 0)},
               {0, true, RGB(0, 0, 255), RGB(255, 0, 0)}};
  for (const Case& c : cases) {
    host.mine.state = c.state;
    if (c.focused) host.mine.setFocus();
    else host.getDlgItem(1401)->setFocus();
    auto [edge, inner] = pixelsOf();
    EXPECT_EQ(edge, c.edge) << c.state << c.focused;
    EXPECT_EQ(inner, c.inner) << c.state << c.focused;
  }
}

TEST_F(WidgetTest, ListRowKeepsItsLastColour) {
  host.list.insertColumn(0, "序号");
  for (int i = 0; i < 3; ++i) host.list.insertItem(i, std::to_string(i));
  host.list.SetItemColor(1, RGB(255, 0, 0));
  host.list.SetItemColor(1, RGB(0, 200, 0));
  ui::Color c = 0;
  ASSERT_TRUE(host.list.ItemColor(1, c));
  EXPECT_EQ(c, RGB(0, 200, 0));
  EXPECT_FALSE(host.list.ItemColor(0, c));
  ui::Bitmap screen = ui::renderScreen();
  const ui::Rect row1 = host.list.getItemRect(1);
  const ui::Point o = host.list.clientOrigin();
  EXPECT_EQ(screen.pixel(o.x + row1.right - 10, o.y + row1.top + 3), RGB(0, 200, 0));
}

TEST(DrawFrame, FillsTheFourEdgesOnly) {
  ui::MemoryDC dc(20, 20);
  dc.fillSolidRect({0, 0, 20, 20}, RGB(255, 255, 255));
  EXPECT_EQ(DrawFrame(dc, {2, 3, 12, 10}, ui::Brush{RGB(0, 0, 0)}), 1);
  const ui::Bitmap& b = dc.bitmap();
  for (ui::Point p : {ui::Point{2, 3}, ui::Point{11, 3}, ui::Point{11, 9}, ui::Point{2, 9}, ui::Point{6, 3}, ui::Point{2, 6}})
    EXPECT_EQ(b.pixel(p.x, p.y), RGB(0, 0, 0)) << p.x << "," << p.y;
  for (ui::Point p : {ui::Point{6, 6}, ui::Point{12, 3}, ui::Point{2, 10}, ui::Point{1, 3}})
    EXPECT_EQ(b.pixel(p.x, p.y), RGB(255, 255, 255)) << p.x << "," << p.y;
  EXPECT_EQ(DrawFrame(dc, {5, 5, 5, 9}, ui::Brush{RGB(0, 0, 0)}), 0);
}
