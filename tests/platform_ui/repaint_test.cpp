// Repainting what changed: a control's new text repaints that control alone, and an unchanged text or
// a control hidden and shown again unchanged nothing; a tick that changes a clock repaints the clock; dialogs shown, raised, moved and hidden over
// one another, a modal question, focus, enabling and tab pages leave the screen as a whole repaint
// draws it; the check that catches a window left stale; and the SDL window shows the screen picture
// after being given only the changed rectangles. (Every test here also runs under the repaint check.)
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock/clock.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/driver.h"
#include "platform/ui/ui.h"

namespace clk = platform::clock;
using namespace platform::ui;
namespace drv = platform::ui::driver;

namespace {

constexpr int kScreen = 9101;
constexpr int kOverlayA = 9102;
constexpr int kOverlayB = 9103;
constexpr int kQuestion = 9104;
constexpr int kTabPage = 9105;

constexpr int kClock = 2001;
constexpr int kLabel = 2002;
constexpr int kEdit = 2003;
constexpr int kButton = 2004;
constexpr int kTab = 2005;

TemplateRegistration regScreen{DialogTemplate{kScreen, {0, 0, 1024, 768}, 0, "", 0, 0,
                                              {{kClock, ControlClass::Static, "", {20, 20, 300, 70}, SS_CENTER, true, true, 34, 500},
                                               {kLabel, ControlClass::Static, "标签", {320, 20, 600, 70}, 0, true, true, 28, 0},
                                               {kEdit, ControlClass::Edit, "12.5", {20, 100, 300, 160}},
                                               {kButton, ControlClass::Button, "确定", {320, 100, 500, 160}},
                                               {kTab, ControlClass::Tab, "", {20, 200, 1000, 740}, TCS_BOTTOM}}}};
TemplateRegistration regA{DialogTemplate{kOverlayA, {200, 150, 700, 450}, WS_BORDER, "", 0, 0,
                                         {{kLabel, ControlClass::Static, "甲", {20, 20, 200, 80}, 0, true, true, 30, 0}}}};
TemplateRegistration regB{DialogTemplate{kOverlayB, {450, 300, 950, 600}, WS_BORDER, "", 0, 0,
                                         {{kLabel, ControlClass::Static, "乙", {20, 20, 200, 80}, 0, true, true, 30, 0}}}};
TemplateRegistration regQuestion{DialogTemplate{kQuestion, {300, 250, 724, 500}, WS_BORDER, "", 0, 0,
                                                {{kLabel, ControlClass::Static, "您确定?", {20, 20, 400, 100}},
                                                 {IDOK, ControlClass::Button, "确定", {20, 150, 200, 220}}}}};
TemplateRegistration regPage{DialogTemplate{kTabPage, {0, 0, 300, 200}, WS_CHILD, "", 0, 0,
                                            {{kButton, ControlClass::Button, "页", {10, 10, 110, 60}}}}};

// A dialog filled with its own colour.
class Coloured : public Dialog {
 public:
  Coloured(int tmpl, Color c) : Dialog(tmpl), colour(c) {
    on(WM_CTLCOLOR, [this](Message& m) {
      CtlColor& cc = CtlColor::of(m);
      if (cc.kind == CTLCOLOR_DLG) cc.setBrush(Brush{colour});
      return LRESULT{0};
    });
  }
  Color colour;
};

// The main screen; with `clockTimer` it writes the time into its clock every 900 ms, as a main loop does.
class Screen : public Coloured {
 public:
  Screen() : Coloured(kScreen, RGB(236, 236, 236)) {
    on(WM_TIMER, [this](Message&) {
      const clk::DateTime t = clk::localTime();
      char s[32];
      std::snprintf(s, sizeof s, "%02d : %02d : %02d", t.hour, t.minute, t.second);
      setDlgItemText(kClock, s);
      setDlgItemText(kLabel, "标签");  // unchanged: nothing to repaint
      return LRESULT{0};
    });
  }
};

bool same(const Bitmap& a, const Bitmap& b) {
  for (int y = 0; y < kScreenHeight; ++y)
    for (int x = 0; x < kScreenWidth; ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) return false;
  return true;
}

class Repaints : public ::testing::Test {
 protected:
  void SetUp() override {
    clk::configure(clk::Mode::Manual);
    ASSERT_TRUE(init(Options{DisplayKind::Headless}));
    ASSERT_TRUE(screen.create());
    screen.showWindow(SW_SHOW);
    drv::pump();
  }
  void TearDown() override {
    screen.destroyWindow();
    shutdown();
  }
  Rect rectOf(const Window& w, int id) { return w.getDlgItem(id)->getWindowRect(); }

  Screen screen;
};

TEST_F(Repaints, ANewTextRepaintsThatControlAndAnUnchangedOneNothing) {
  drv::RepaintLog log;
  screen.setDlgItemText(kLabel, "新的标签");
  drv::pump();
  EXPECT_EQ(log.rects(), std::vector<Rect>{rectOf(screen, kLabel)});
  log.clear();
  screen.setDlgItemText(kLabel, "新的标签");
  screen.getDlgItem(kEdit)->showWindow(SW_SHOW);  // shown already
  drv::pump();
  EXPECT_TRUE(log.rects().empty());
  // Two changes far apart repaint two rectangles, not what lies between them.
  screen.setDlgItemText(kLabel, "标签");
  screen.getDlgItem(kTab)->invalidate();
  drv::pump();
  EXPECT_EQ(log.area(), static_cast<long long>(rectOf(screen, kLabel).width()) * rectOf(screen, kLabel).height() +
                            static_cast<long long>(rectOf(screen, kTab).width()) * rectOf(screen, kTab).height());
}

TEST_F(Repaints, AControlHiddenAndShownAgainRepaintsOnlyWhatChanged) {
  Window* label = screen.getDlgItem(kLabel);
  const Rect at = label->getWindowRect();
  drv::RepaintLog log;
  label->showWindow(SW_HIDE);
  label->showWindow(SW_SHOW);
  drv::pump();
  EXPECT_TRUE(log.rects().empty());
  // Changed while hidden, it is repainted where it shows again; moved, where it was and where it is.
  label->showWindow(SW_HIDE);
  label->setWindowText("隐藏时改");
  label->showWindow(SW_SHOW);
  drv::pump();
  EXPECT_EQ(log.rects(), std::vector<Rect>{at});
  log.clear();
  label->showWindow(SW_HIDE);
  label->moveWindow(Rect{320, 300, 600, 350});
  label->showWindow(SW_SHOW);
  drv::pump();
  EXPECT_EQ(log.area(), 2LL * at.width() * at.height());
  log.clear();
  // Hidden for good, it is repainted away at the next render.
  label->showWindow(SW_HIDE);
  drv::pump();
  EXPECT_EQ(log.rects(), std::vector<Rect>{label->getWindowRect()});
}

TEST_F(Repaints, ATickThatChangesTheClockRepaintsTheClockOnly) {
  screen.setTimer(1, 900);
  drv::run(900, 100);
  drv::RepaintLog log;
  drv::run(9000, 100);
  ASSERT_GE(log.rects().size(), 9u);  // every second the clock shows a new time
  for (const Rect& r : log.rects()) EXPECT_EQ(r, rectOf(screen, kClock));
}

TEST_F(Repaints, DialogsShownRaisedMovedAndHiddenOverOneAnother) {
  const Bitmap before = renderScreen();
  Coloured a(kOverlayA, RGB(255, 0, 0)), b(kOverlayB, RGB(0, 0, 255));
  ASSERT_TRUE(a.create(&screen));
  ASSERT_TRUE(b.create(&screen));
  const Point overlap{500, 350};
  auto at = [](Point p) { return renderScreen().pixel(p.x, p.y); };
  a.showWindow(SW_SHOW);
  drv::pump();
  EXPECT_EQ(at(overlap), RGB(255, 0, 0));
  b.showWindow(SW_SHOW);
  drv::pump();
  EXPECT_EQ(at(overlap), RGB(0, 0, 255));
  // A tap on the uncovered part of the first brings it up over the second.
  drv::tapAt({250, 200});
  EXPECT_EQ(activeWindow(), &a);
  EXPECT_EQ(at(overlap), RGB(255, 0, 0));
  EXPECT_EQ(at({900, 550}), RGB(0, 0, 255));
  // Moved away, the second uncovers the screen it lay on.
  b.moveWindow(Rect{500, 480, 1000, 760});
  drv::pump();
  EXPECT_EQ(at({900, 400}), before.pixel(900, 400));
  a.showWindow(SW_HIDE);
  b.showWindow(SW_HIDE);
  drv::pump();
  EXPECT_TRUE(same(renderScreen(), before));
  // A dialog destroyed while shown goes from the screen too.
  a.showWindow(SW_SHOW);
  drv::pump();
  a.destroyWindow();
  drv::pump();
  EXPECT_TRUE(same(renderScreen(), before));
}

TEST_F(Repaints, AModalQuestionShowsOverTheScreenAndLeavesItAsItWas) {
  const Bitmap before = renderScreen();
  struct Question : Dialog {
    Question() : Dialog(kQuestion) {}
  } q;
  Color shown = 0;
  drv::IdleScript script([&] {
    if (activeWindow() != &q) return;
    shown = renderScreen().pixel(310, 480);
    drv::tap(q, IDOK);
  });
  EXPECT_EQ(q.doModal(&screen), IDOK);
  EXPECT_EQ(shown, kColorFace);
  drv::pump();
  EXPECT_TRUE(same(renderScreen(), before));
}

TEST_F(Repaints, FocusEnablingAndTabPagesAreRepainted) {
  auto* tab = screen.item<TabCtrl>(kTab);
  tab->insertItem(0, "数据记录表");
  tab->insertItem(1, "荷载沉降表");
  Coloured page0(kTabPage, RGB(255, 255, 0)), page1(kTabPage, RGB(0, 255, 255));
  for (Coloured* p : {&page0, &page1}) {
    ASSERT_TRUE(p->create(tab));
    p->moveWindow(tab->displayRect());
  }
  page0.showWindow(SW_SHOW);
  drv::pump();
  const Point inPage = tab->clientToScreen({tab->displayRect().left + 200, tab->displayRect().top + 150});
  EXPECT_EQ(renderScreen().pixel(inPage.x, inPage.y), RGB(255, 255, 0));
  // The tab switch as the main window makes it: the selected tab, one page hidden and the other shown.
  {
    drv::RepaintLog log;
    tab->setCurSel(1);
    page0.showWindow(SW_HIDE);
    page1.showWindow(SW_SHOW);
    drv::pump();
    EXPECT_EQ(renderScreen().pixel(inPage.x, inPage.y), RGB(0, 255, 255));
    EXPECT_EQ(log.bounds(), rectOf(screen, kTab));
  }
  // The caret of the edit comes and goes with the focus; a disabled button turns grey.
  EXPECT_TRUE(drv::tap(screen, kEdit));
  EXPECT_EQ(focusWindow(), screen.getDlgItem(kEdit));
  EXPECT_TRUE(drv::tap(page1, kButton));
  screen.getDlgItem(kButton)->enableWindow(false);
  drv::pump();
  screen.getDlgItem(kButton)->enableWindow(true);
  drv::pump();
}

// The check itself: a window whose look changed without a repaint is found by the next repaint.
TEST_F(Repaints, AWindowLeftStaleIsCaught) {
  struct Swatch : Window {
    Color colour = RGB(255, 0, 0);
    void draw(DC& dc) override { dc.fillSolidRect(getClientRect(), colour); }
  } swatch;
  ASSERT_TRUE(swatch.createWindow(&screen, {700, 20, 800, 70}, 3001, "", WS_CHILD | WS_VISIBLE));
  drv::pump();
  std::vector<Rect> stale;
  drv::checkRepaints([&](const Rect& r) { stale.push_back(r); });
  swatch.colour = RGB(0, 255, 0);  // changed, not invalidated
  screen.setDlgItemText(kLabel, "另一个");
  renderScreen();
  EXPECT_EQ(stale, std::vector<Rect>{swatch.getWindowRect()});
  stale.clear();
  swatch.invalidate();
  screen.setDlgItemText(kLabel, "标签");
  renderScreen();
  EXPECT_TRUE(stale.empty());
  drv::checkRepaints(nullptr);
  swatch.destroyWindow();
}

// On SDL's off-screen video driver the window's surface takes only the changed rectangles, and shows
// the screen picture after every repaint.
TEST(SdlRepaints, TheWindowShowsThePictureFromTheChangedRectanglesAlone) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  clk::configure(clk::Mode::Manual);
  if (!init(Options{DisplayKind::Sdl})) GTEST_SKIP() << "SDL cannot start here";
  SDL_Window* window = nullptr;
  for (Uint32 id = 1; id < 1000; ++id)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) window = w;
  ASSERT_NE(window, nullptr);
  auto shows = [&] {
    SDL_Surface* s = SDL_GetWindowSurface(window);
    const Bitmap picture = renderScreen();
    if (!s || SDL_LockSurface(s) != 0) return false;
    bool equal = true;
    for (int y = 0; y < kScreenHeight && equal; ++y) {
      for (int x = 0; x < kScreenWidth && equal; ++x) {
        Uint8 r = 0, g = 0, b = 0;
        Uint32 px = 0;
        std::memcpy(&px, static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
                    s->format->BytesPerPixel);
        SDL_GetRGB(px, s->format, &r, &g, &b);
        equal = RGB(r, g, b) == picture.pixel(x, y);
      }
    }
    SDL_UnlockSurface(s);
    return equal;
  };
  {
    Screen screen;
    Coloured a(kOverlayA, RGB(255, 0, 0));
    ASSERT_TRUE(screen.create());
    ASSERT_TRUE(a.create(&screen));
    screen.showWindow(SW_SHOW);
    drv::pump();
    EXPECT_TRUE(shows());
    drv::RepaintLog log;
    screen.setTimer(1, 900);
    drv::run(900, 100);
    EXPECT_EQ(log.bounds(), screen.getDlgItem(kClock)->getWindowRect());
    EXPECT_TRUE(shows());
    a.showWindow(SW_SHOW);
    drv::pump();
    EXPECT_TRUE(shows());
    a.showWindow(SW_HIDE);
    drv::run(900, 100);
    EXPECT_TRUE(shows());
    a.destroyWindow();
    screen.destroyWindow();
  }
  shutdown();
  ::unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
