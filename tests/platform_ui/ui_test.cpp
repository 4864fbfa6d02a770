// Windowing layer: dialogs from templates, taps, activation, modal loops, timers on the manual clock,
// cross-thread posting, lists, tabs, colours, drawing and screenshots on the headless display.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/clock/clock.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/driver.h"
#include "platform/ui/ui.h"

namespace clk = platform::clock;
using namespace platform::ui;
namespace drv = platform::ui::driver;

namespace {

constexpr int kSetA = 9001;
constexpr int kSetB = 9002;
constexpr int kKeypad = 9003;
constexpr int kModal = 9004;
constexpr int kPage = 9005;

DialogTemplate mainTemplate(int id, int shift) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, 1024, 768};
  t.controls = {
      {1121, ControlClass::Button, "工程\r\n信息", {20 + shift, 20, 140 + shift, 80}},
      {1122, ControlClass::Button, "隐藏", {160, 20, 280, 80}, 0, false},
      {1123, ControlClass::Button, "禁用", {300, 20, 420, 80}, 0, true, false},
      {1124, ControlClass::Static, "标签", {440, 20, 560, 80}},
      {1205, ControlClass::Static, "", {20, 700, 1000, 740}, SS_NOTIFY},
      {1241, ControlClass::Edit, "12.5", {20, 100, 300, 160}},
      {IDOK, ControlClass::Button, "确定", {600, 20, 720, 80}},
      {1126, ControlClass::List, "", {20, 200, 620, 500}, LVS_REPORT | LVS_SINGLESEL},
      {1240, ControlClass::Tab, "", {640, 200, 1000, 500}, TCS_BOTTOM},
      {1300, ControlClass::Slider, "", {20, 520, 420, 570}},
      {1234, ControlClass::Progress, "", {440, 520, 1000, 560}},
      {1307, ControlClass::Button, "1#", {740, 20, 860, 80}},
      {1009, ControlClass::Static, "试桩数据", {20, 600, 400, 650}, SS_CENTER, true, true, 34, 700},
      {1010, ControlClass::Static, "", {420, 600, 800, 650}},
  };
  return t;
}

TemplateRegistration regA{mainTemplate(kSetA, 0)};
TemplateRegistration regB{mainTemplate(kSetB, 40)};
TemplateRegistration regKey{DialogTemplate{kKeypad, {0, 0, 1024, 768}, 0, "", 0, 0,
                                           {{1241, ControlClass::Edit, "", {20, 20, 500, 100}},
                                            {IDOK, ControlClass::Button, "确定", {20, 200, 200, 260}},
                                            {IDCANCEL, ControlClass::Button, "退出", {220, 200, 400, 260}}}}};
TemplateRegistration regModal{DialogTemplate{kModal, {200, 200, 800, 500}, WS_BORDER, "", 0, 0,
                                             {{1009, ControlClass::Static, "您确定?", {20, 20, 580, 100}},
                                              {1121, ControlClass::Button, "确定", {20, 200, 200, 260}},
                                              {1122, ControlClass::Button, "取消", {220, 200, 400, 260}}}}};
// Texts of a question box, a status line and a note, and buttons of a key row, one of them disabled.
constexpr int kTexts = 9006;
TemplateRegistration regTexts{DialogTemplate{
    kTexts, {0, 0, 1024, 768}, 0, "", 0, 0,
    {{2001, ControlClass::Static, "", {100, 100, 736, 276}, SS_CENTER | SS_CENTERIMAGE, true, true, 36, 0},
     {2002, ControlClass::Static, "", {100, 300, 500, 346}, SS_CENTERIMAGE, true, true, 30, 500},
     {2003, ControlClass::Static, "", {100, 360, 400, 560}, SS_CENTER | SS_CENTERIMAGE, true, true, 30, 0},
     {2010, ControlClass::Button, "暂停\r\n试验", {600, 600, 700, 680}, 0, true, false, 28, 500},
     {2011, ControlClass::Button, "手动\r\n加载", {720, 600, 820, 680}, 0, true, true, 28, 500},
     {2012, ControlClass::Button, "试验状态", {600, 300, 1000, 500}, BS_GROUPBOX, true, false, 20, 700}}}};
TemplateRegistration regPage{DialogTemplate{kPage, {0, 0, 300, 200}, WS_CHILD, "", 0, 0,
                                            {{1001, ControlClass::Button, "页", {10, 10, 110, 60}}}}};

// A channel lamp: an owner-drawn button whose face colour follows its state.
class Lamp : public Button {
 public:
  int state = 0;
  void drawItem(DrawItem& di) override {
    di.dc->drawFrameControl(di.rcItem, DFC_BUTTON, DFCS_BUTTONPUSH);
    static const Color faces[] = {0, RGB(255, 255, 255), RGB(0, 255, 0), RGB(255, 0, 0)};
    if (state >= 1 && state <= 3) di.dc->fillSolidRect(di.rcItem.deflate(2, 2), faces[state]);
    di.dc->setBkMode(TRANSPARENT);
    di.dc->drawText(getWindowText(), di.rcItem, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
};

class TestDlg : public Dialog {
 public:
  explicit TestDlg(int tmpl = kSetA) : Dialog(tmpl) {
    onCommand(1121, BN_CLICKED, [this] { ++clicks; });
    onCommand(1205, STN_CLICKED, [this] { ++statusTaps; });
    onCommand(1241, EN_SETFOCUS, [this] { ++editFocus; if (onEditFocus) onEditFocus(); });
    on(WM_ACTIVATE, [this](Message& m) {
      defWindowProc(m);
      activations.push_back(static_cast<int>(LOWORD(m.wParam)));
      return LRESULT{0};
    });
    on(WM_TIMER, [this](Message& m) {
      timers.push_back(static_cast<unsigned>(m.wParam));
      return LRESULT{0};
    });
    on(WM_CTLCOLOR, [this](Message& m) {
      CtlColor& c = CtlColor::of(m);
      if (c.control && c.control->id() == 1205) c.dc->setTextColor(alert ? RGB(255, 0, 0) : RGB(0, 0, 255));
      if (c.control && c.control->id() == 1010) c.setBrush(Brush{RGB(255, 255, 0)});
      return LRESULT{0};
    });
    on(0x501, [this](Message& m) {
      posted.push_back(m.lParam);
      return LRESULT{0};
    });
    on(WM_USER + 1, [](Message& m) { return static_cast<LRESULT>(m.wParam * 2); });
    onNotify(1126, NM_CLICK, [this](Notify& n) {
      listClicks.push_back(n.item);
      if (flipCheckInHandler && (n.hitFlags & LVHT_ONITEMSTATEICON)) {
        auto* l = item<ListCtrl>(1126);
        l->setCheck(n.item, !l->getCheck(n.item));
      }
      return LRESULT{0};
    });
    onNotify(1126, NM_DBLCLK, [this](Notify& n) {
      listDoubles.push_back(n.item);
      return LRESULT{0};
    });
    onNotify(1240, TCN_SELCHANGE, [this](Notify&) {
      tabChanges.push_back(item<TabCtrl>(1240)->getCurSel());
      return LRESULT{0};
    });
    on(WM_HSCROLL, [this](Message& m) {
      sliderCodes.push_back(static_cast<int>(LOWORD(m.wParam)));
      return LRESULT{0};
    });
  }
  void onOK() override { ++oks; }
  int clicks = 0, statusTaps = 0, editFocus = 0, oks = 0;
  bool alert = false;
  bool flipCheckInHandler = false;
  std::function<void()> onEditFocus;
  std::vector<int> activations, listClicks, listDoubles, tabChanges, sliderCodes;
  std::vector<unsigned> timers;
  std::vector<LPARAM> posted;
};

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clk::configure(clk::Mode::Manual);
    ASSERT_TRUE(init(Options{DisplayKind::Headless}));
  }
  void TearDown() override { shutdown(); }
};

// ---- templates and taps ------------------------------------------------------------------------------

TEST_F(UiTest, DialogsOfBothTemplateSetsCarryTheSameControls) {
  TestDlg a(kSetA), b(kSetB);
  ASSERT_TRUE(a.create());
  ASSERT_TRUE(b.create());
  EXPECT_FALSE(a.isWindowVisible());  // modeless dialogs start hidden
  for (TestDlg* d : {&a, &b}) {
    ASSERT_NE(d->item<Button>(1121), nullptr);
    EXPECT_EQ(drv::text(*d, 1121), "工程\r\n信息");
    EXPECT_NE(d->item<ListCtrl>(1126), nullptr);
    EXPECT_NE(d->item<TabCtrl>(1240), nullptr);
    EXPECT_NE(d->item<Edit>(1241), nullptr);
  }
  EXPECT_EQ(a.getDlgItem(1121)->windowRect().left + 40, b.getDlgItem(1121)->windowRect().left);
  a.showWindow(SW_SHOW);
  EXPECT_TRUE(drv::visible(a, 1121));
  EXPECT_FALSE(drv::visible(a, 1122));
  EXPECT_FALSE(drv::enabled(a, 1123));

  TestDlg missing(4242);
  EXPECT_FALSE(missing.create());
}

TEST_F(UiTest, TapReachesOnlyVisibleEnabledControls) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  struct Case {
    int id;
    bool reached;
  } cases[] = {{1121, true}, {1122, false}, {1123, false}, {1124, false}, {1205, true}};
  for (auto c : cases) EXPECT_EQ(drv::tap(d, c.id), c.reached) << c.id;
  EXPECT_EQ(d.clicks, 1);
  EXPECT_EQ(d.statusTaps, 1);

  // A press that leaves the button before release is no click.
  Rect r = d.getDlgItem(1121)->getWindowRect();
  injectMouse(WM_LBUTTONDOWN, r.center());
  injectMouse(WM_MOUSEMOVE, {r.right + 50, r.bottom + 50});
  drv::pump();
  EXPECT_TRUE(d.item<Button>(1121)->pressed() == false);
  injectMouse(WM_LBUTTONUP, {r.right + 50, r.bottom + 50});
  drv::pump();
  EXPECT_EQ(d.clicks, 1);
  EXPECT_EQ(captureWindow(), nullptr);

  // A release alone, left by a tap that brought another window under the finger, clicks nothing.
  Point status = d.getDlgItem(1205)->getWindowRect().center();
  injectMouse(WM_LBUTTONUP, status);
  injectMouse(WM_LBUTTONUP, r.center());
  drv::pump();
  EXPECT_EQ(d.statusTaps, 1);
  EXPECT_EQ(d.clicks, 1);

  // A held button is pressed until the finger lifts; the window filter sees both ends.
  std::vector<std::uint32_t> seen;
  struct Filter : TestDlg {
    std::vector<std::uint32_t>* seen = nullptr;
    bool preTranslateMessage(Message& m) override {
      if ((m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONUP) && m.hwnd == getDlgItem(1121)->handle())
        seen->push_back(m.message);
      return TestDlg::preTranslateMessage(m);
    }
  } held;
  held.seen = &seen;
  ASSERT_TRUE(held.create());
  held.showWindow(SW_SHOW);
  EXPECT_TRUE(drv::touchDown(held, 1121));
  EXPECT_TRUE(held.item<Button>(1121)->pressed());
  EXPECT_EQ(held.clicks, 0);
  drv::touchUp(held, 1121);
  EXPECT_FALSE(held.item<Button>(1121)->pressed());
  EXPECT_EQ(held.clicks, 1);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  held.showWindow(SW_HIDE);

  // Losing the capture unpresses a held button.
  injectMouse(WM_LBUTTONDOWN, r.center());
  drv::pump();
  EXPECT_TRUE(d.item<Button>(1121)->pressed());
  releaseCapture();
  EXPECT_FALSE(d.item<Button>(1121)->pressed());

  // Return presses OK through the dialog's pre-translation, while there is an OK button to press.
  d.getDlgItem(1121)->setFocus();
  drv::press(VK_RETURN);
  EXPECT_EQ(d.oks, 1);
  d.getDlgItem(IDOK)->enableWindow(false);
  drv::press(VK_RETURN);
  EXPECT_EQ(d.oks, 1);
}

TEST_F(UiTest, HiddenDialogsAndCoveringDialogsTakeNoTaps) {
  TestDlg below, above(kKeypad);
  ASSERT_TRUE(below.create());
  ASSERT_TRUE(above.create());
  below.showWindow(SW_SHOW);
  EXPECT_TRUE(drv::tap(below, 1121));
  above.showWindow(SW_SHOW);  // full screen, covers the button
  EXPECT_FALSE(drv::tap(below, 1121));
  above.showWindow(SW_HIDE);
  EXPECT_TRUE(drv::tap(below, 1121));
  EXPECT_EQ(below.clicks, 2);
}

// ---- activation, focus and the keypad cycle -----------------------------------------------------------

TEST_F(UiTest, EveryShowActivatesAndHidingReturnsActivation) {
  TestDlg requester, keypad(kKeypad);
  ASSERT_TRUE(requester.create());
  ASSERT_TRUE(keypad.create());
  requester.showWindow(SW_SHOW);
  EXPECT_EQ(requester.activations, (std::vector<int>{WA_ACTIVE}));
  EXPECT_EQ(activeWindow(), &requester);

  // The request step: the edit's EN_SETFOCUS moves the focus to a button, hides, shows the keypad.
  requester.onEditFocus = [&] {
    requester.getDlgItem(IDOK)->setFocus();
    requester.showWindow(SW_HIDE);
    keypad.showWindow(SW_SHOW);
  };
  keypad.onCommand(IDOK, BN_CLICKED, [&] {
    keypad.showWindow(SW_HIDE);
    requester.showWindow(SW_SHOW);
  });
  EXPECT_TRUE(drv::tap(requester, 1241));
  EXPECT_EQ(requester.editFocus, 1);
  EXPECT_EQ(activeWindow(), &keypad);
  EXPECT_TRUE(keypad.isWindowVisible());
  EXPECT_FALSE(requester.isWindowVisible());
  EXPECT_EQ(requester.activations.back(), WA_INACTIVE);

  EXPECT_TRUE(drv::tap(keypad, IDOK));
  EXPECT_EQ(activeWindow(), &requester);
  EXPECT_EQ(requester.activations.back(), WA_ACTIVE);
  EXPECT_EQ(std::count(requester.activations.begin(), requester.activations.end(), WA_ACTIVE), 2);
  // Focus came back to the button, so the edit asked no second time.
  EXPECT_EQ(focusWindow(), requester.getDlgItem(IDOK));
  EXPECT_EQ(requester.editFocus, 1);

  // Had the edit kept the focus, activation would give it back (and ask again).
  requester.onEditFocus = nullptr;
  requester.getDlgItem(1241)->setFocus();
  EXPECT_EQ(requester.editFocus, 2);
  requester.showWindow(SW_HIDE);
  keypad.showWindow(SW_SHOW);
  keypad.showWindow(SW_HIDE);
  requester.showWindow(SW_SHOW);
  EXPECT_EQ(activeWindow(), &requester);
  EXPECT_EQ(requester.editFocus, 3);
}

TEST_F(UiTest, EditTypingRespectsSelectionLimitAndReadOnly) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  auto* e = d.item<Edit>(1241);
  int changes = 0;
  d.onCommand(1241, EN_CHANGE, [&] { ++changes; });
  e->setFocus();
  e->setSel(0, -1);
  drv::type("7");
  EXPECT_EQ(e->getWindowText(), "7");  // the selection is replaced
  drv::type("试8");
  EXPECT_EQ(e->getWindowText(), "7试8");
  drv::press(VK_BACK);
  EXPECT_EQ(e->getWindowText(), "7试");
  e->setLimitText(3);
  drv::type("abc");
  EXPECT_EQ(e->getWindowText(), "7试a");
  e->setReadOnly(true);
  drv::type("z");
  EXPECT_EQ(e->getWindowText(), "7试a");
  EXPECT_EQ(changes, 5);  // 7, 试, 8, backspace, a
}

TEST_F(UiTest, PreTranslationSeesKeysBeforeTheWindows) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  int beeps = 0;
  setPreTranslateHook([&](Message& m) {
    if (m.message == WM_KEYDOWN) ++beeps;
    return false;
  });
  // A dialog that lets only digits and the period through.
  struct DigitsOnly : TestDlg {
    bool preTranslateMessage(Message& m) override {
      if (m.message == WM_KEYDOWN && !((m.wParam >= '0' && m.wParam <= '9') || m.wParam == VK_OEM_PERIOD)) return true;
      return TestDlg::preTranslateMessage(m);
    }
  } digits;
  ASSERT_TRUE(digits.create());
  digits.showWindow(SW_SHOW);
  int keys = 0;
  digits.getDlgItem(1241)->on(WM_KEYDOWN, [&](Message&) { ++keys; return LRESULT{0}; });
  digits.getDlgItem(1241)->setFocus();
  drv::press('5');
  drv::press('5', true);  // auto-repeat beeps too
  drv::press('A');
  drv::press(VK_OEM_PERIOD);
  EXPECT_EQ(beeps, 4);
  EXPECT_EQ(keys, 3);
  // The swallowed letter typed nothing; the digits and the period reached the edit.
  digits.getDlgItem(1241)->on(WM_KEYDOWN, [&](Message& m) { return digits.getDlgItem(1241)->defWindowProc(m); });
  digits.setDlgItemText(1241, "");
  drv::press('3');
  drv::press('Q');
  drv::press(VK_OEM_PERIOD);
  drv::press('5');
  EXPECT_EQ(digits.getDlgItemText(1241), "3.5");
  setPreTranslateHook(nullptr);
}

// ---- modal dialogs ---------------------------------------------------------------------------------------

TEST_F(UiTest, ModalDialogEndsFromAHandlerWithItsCode) {
  TestDlg owner;
  ASSERT_TRUE(owner.create());
  owner.showWindow(SW_SHOW);

  struct Question : Dialog {
    Question() : Dialog(kModal) {
      onCommand(1121, BN_CLICKED, [this] { endDialog(IDOK); });
      onCommand(1122, BN_CLICKED, [this] { endDialog(7); });
    }
  };
  struct Case {
    int button;
    int result;
  } cases[] = {{1121, IDOK}, {1122, 7}};
  for (auto c : cases) {
    Question q;
    bool ownerBlocked = false;
    drv::IdleScript script([&] {
      ownerBlocked = !drv::tap(owner, 1121);
      drv::tap(q, c.button);
    });
    int before = static_cast<int>(owner.activations.size());
    EXPECT_EQ(q.doModal(), c.result);
    EXPECT_FALSE(q.exists());
    EXPECT_TRUE(ownerBlocked);
    EXPECT_EQ(owner.clicks, 0);
    EXPECT_EQ(activeWindow(), &owner);
    ASSERT_GT(static_cast<int>(owner.activations.size()), before);
    EXPECT_EQ(owner.activations.back(), WA_ACTIVE);
  }
}

TEST_F(UiTest, ModalQuestionAskedFromAButtonHandler) {
  TestDlg owner;
  ASSERT_TRUE(owner.create());
  owner.showWindow(SW_SHOW);
  struct Question : Dialog {
    Question() : Dialog(kModal) { onCommand(1122, BN_CLICKED, [this] { endDialog(IDCANCEL); }); }
  };
  std::vector<int> answers;
  owner.onCommand(1121, BN_CLICKED, [&] {
    Question q;
    answers.push_back(q.doModal());
  });
  drv::IdleScript script([&] {
    if (auto* q = activeWindow(); q && q != &owner) drv::tap(*q, 1122);
  });
  EXPECT_TRUE(drv::tap(owner, 1121));
  EXPECT_TRUE(drv::tap(owner, 1121));
  EXPECT_EQ(answers, (std::vector<int>{IDCANCEL, IDCANCEL}));
  EXPECT_EQ(activeWindow(), &owner);
}

TEST_F(UiTest, ModalDialogCanEndItselfFromItsTimer) {
  struct Countdown : Dialog {
    int left = 5;
    Countdown() : Dialog(kModal) {
      on(WM_TIMER, [this](Message&) {
        setDlgItemText(1121, "确定" + std::to_string(--left));
        if (left <= 0) {
          killTimer(1);
          endDialog(IDOK);
        }
        return LRESULT{0};
      });
    }
    bool onInitDialog() override {
      setTimer(1, 1000);
      return true;
    }
  } q;
  std::uint64_t start = clk::monotonicMs();
  drv::IdleScript script([] { clk::advance(100); });
  EXPECT_EQ(q.doModal(), IDOK);
  EXPECT_EQ(q.left, 0);
  EXPECT_EQ(clk::monotonicMs() - start, 5000u);
}

// ---- timers and messages -------------------------------------------------------------------------------

TEST_F(UiTest, TimersFireOnTheManualClockAsWmTimer) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.setTimer(1, 900);
  d.setTimer(2, 200);
  drv::run(1000);
  EXPECT_EQ(std::count(d.timers.begin(), d.timers.end(), 1u), 1);
  EXPECT_EQ(std::count(d.timers.begin(), d.timers.end(), 2u), 5);
  EXPECT_TRUE(d.killTimer(2));
  EXPECT_FALSE(d.killTimer(2));
  d.timers.clear();
  drv::run(1000);
  EXPECT_EQ(d.timers, (std::vector<unsigned>{1u}));

  // Ticks that the loop did not take in time coalesce into one message.
  d.timers.clear();
  clk::advance(9000);
  drv::pump();
  EXPECT_EQ(d.timers, (std::vector<unsigned>{1u}));

  // A killed timer's pending message is dropped; a destroyed window's timers go with it.
  clk::advance(900);
  d.killTimer(1);
  d.timers.clear();
  drv::pump();
  EXPECT_TRUE(d.timers.empty());
  d.setTimer(3, 100);
  d.destroyWindow();
  drv::run(500);
  EXPECT_TRUE(d.timers.empty());
}

TEST_F(UiTest, TimersOnTheRealClockWakeTheWaitingLoop) {
  clk::configure(clk::Mode::Real);
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.setTimer(7, 15);
  EXPECT_TRUE(runUntil([&] { return d.timers.size() >= 3; }));
  d.killTimer(7);
  EXPECT_EQ(d.timers, (std::vector<unsigned>{7u, 7u, 7u}));
  clk::configure(clk::Mode::Manual);
}

TEST_F(UiTest, PostMessageFromWorkerThreadsKeepsEachThreadsOrder) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  Handle h = d.handle();
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([h, t] {
      for (int i = 0; i < kEach; ++i) postMessage(h, 0x501, 5, t * 100000 + i);
    });
  }
  std::atomic<LRESULT> sent{-1};
  std::thread sender([&] { sent = sendMessage(h, WM_USER + 1, 21); });
  runUntil([&] { return static_cast<int>(d.posted.size()) == kThreads * kEach && sent != -1; });
  for (auto& w : workers) w.join();
  sender.join();
  EXPECT_EQ(sent.load(), 42);
  std::vector<int> last(kThreads, -1);
  for (LPARAM v : d.posted) {
    int t = static_cast<int>(v / 100000), i = static_cast<int>(v % 100000);
    EXPECT_EQ(i, last[static_cast<std::size_t>(t)] + 1);
    last[static_cast<std::size_t>(t)] = i;
  }
  EXPECT_FALSE(postMessage(0xFFFFFF, 0x501));
}

// ---- list, tab, slider, progress ------------------------------------------------------------------------

class ListTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(d.create());
    d.showWindow(SW_SHOW);
    list = d.item<ListCtrl>(1126);
    list->setExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    list->insertColumn(0, "ID", LVCFMT_LEFT, 120);
    list->insertColumn(1, "荷 载", LVCFMT_CENTER, 200);
    list->insertColumn(2, "时 间", LVCFMT_CENTER, 200);
    for (int i = 0; i < 40; ++i) {
      int row = list->insertItem(i, std::to_string(i));
      list->setItemText(row, 1, std::to_string(i * 100) + ".00");
    }
  }
  Point cell(int row, int col) { return list->getSubItemRect(row, col).center(); }
  TestDlg d;
  ListCtrl* list = nullptr;
};

TEST_F(ListTest, RowsColoursAndHitTests) {
  EXPECT_EQ(list->getItemCount(), 40);
  EXPECT_EQ(list->getItemText(3, 1), "300.00");
  EXPECT_EQ(list->getItemText(3, 2), "");
  list->setItemColor(2, RGB(0xEB, 0xEB, 0xEB));
  list->setItemColor(2, RGB(255, 0, 0));
  EXPECT_EQ(list->itemColor(2), RGB(255, 0, 0));
  EXPECT_FALSE(list->itemColor(3).has_value());
  // The row is drawn with its colour; a row without one with the list's background.
  Bitmap shot = renderScreen();
  auto at = [&](int row) {
    Point p = list->clientToScreen({list->getSubItemRect(row, 2).left + 3, list->getSubItemRect(row, 2).top + 3});
    return shot.pixel(p.x, p.y);
  };
  EXPECT_EQ(at(2), RGB(255, 0, 0));
  EXPECT_EQ(at(3), kColorWindow);

  struct Case {
    Point p;
    int item, sub;
    unsigned flags;
  } cases[] = {
      {cell(4, 1), 4, 1, LVHT_ONITEMLABEL},
      {{4, cell(5, 0).y}, 5, 0, LVHT_ONITEMSTATEICON},
      {{cell(0, 0).x, 2}, -1, 0, LVHT_NOWHERE},  // header
      {{550, cell(1, 0).y}, 1, 0, LVHT_ONITEMLABEL},  // right of the columns, full-row select
  };
  for (auto& c : cases) {
    ListHit h = list->hitTest(c.p);
    EXPECT_EQ(h.item, c.item);
    EXPECT_EQ(h.subItem, c.sub);
    EXPECT_EQ(h.flags, c.flags);
  }
  EXPECT_TRUE(list->ensureVisible(39));
  EXPECT_GT(list->getTopIndex(), 0);
  Rect last = list->getItemRect(39);
  EXPECT_LE(last.bottom, list->getClientRect().bottom);
  EXPECT_EQ(list->hitTest(last.center()).item, 39);
}

TEST_F(ListTest, TapsSelectNotifyAndToggleCheckBoxesOnce) {
  EXPECT_TRUE(drv::tapWindow(*list, cell(3, 1)));
  EXPECT_EQ(d.listClicks, (std::vector<int>{3}));
  EXPECT_EQ(list->getSelectionMark(), 3);
  EXPECT_EQ(list->getNextItem(-1, LVNI_SELECTED), 3);
  EXPECT_EQ(list->getSelectedCount(), 1);
  // A second tap on the same row at once is a double tap; later it is a tap again.
  drv::tapWindow(*list, cell(3, 1));
  EXPECT_EQ(d.listDoubles, (std::vector<int>{3}));
  drv::run(600);
  drv::tapWindow(*list, cell(3, 1));
  EXPECT_EQ(d.listClicks.size(), 2u);

  // Check box: toggled by the list, or by the click handler, never both.
  for (bool handlerFlips : {false, true}) {
    d.flipCheckInHandler = handlerFlips;
    drv::run(600);
    bool before = list->getCheck(5);
    drv::tapWindow(*list, {4, cell(5, 0).y});
    EXPECT_EQ(list->getCheck(5), !before) << handlerFlips;
  }
  // A vertical drag scrolls and is no tap.
  std::size_t clicks = d.listClicks.size();
  int rh = list->rowHeight();
  Point from = list->clientToScreen(cell(8, 1));
  injectMouse(WM_LBUTTONDOWN, from);
  injectMouse(WM_MOUSEMOVE, {from.x, from.y - 2 * rh});
  injectMouse(WM_MOUSEMOVE, {from.x, from.y - 4 * rh});
  injectMouse(WM_LBUTTONUP, {from.x, from.y - 4 * rh});
  drv::pump();
  EXPECT_EQ(list->getTopIndex(), 4);
  EXPECT_EQ(d.listClicks.size(), clicks);

  // Tapping below the last row selects nothing.
  list->deleteAllItems();
  drv::run(600);
  drv::tapWindow(*list, cell(2, 1));
  EXPECT_EQ(d.listClicks.back(), -1);
  EXPECT_EQ(list->getSelectionMark(), -1);
}

// The thumb of the vertical bar follows the finger and takes the list with it: a long list goes from its
// top to its end in one drag, and half way in a drag to the middle of the track.
TEST_F(ListTest, ThumbDragMovesALongListToItsEnd) {
  for (int i = 40; i < 300; ++i) list->insertItem(i, std::to_string(i));
  const int per = list->getCountPerPage();
  const int last = list->getItemCount() - per;
  ASSERT_GT(last, 200);
  const std::size_t clicks = d.listClicks.size();
  auto drag = [&](Point from, Point to) {
    injectMouse(WM_LBUTTONDOWN, list->clientToScreen(from));
    for (int k = 1; k <= 4; ++k)
      injectMouse(WM_MOUSEMOVE, list->clientToScreen({from.x + (to.x - from.x) * k / 4, from.y + (to.y - from.y) * k / 4}));
    injectMouse(WM_LBUTTONUP, list->clientToScreen(to));
    drv::pump();
  };
  const Rect c = list->getClientRect();
  const int barX = c.right - 8, trackTop = list->headerHeight();
  // The thumb sits at the top of the track: held there and taken to the bottom of the list.
  drag({barX, trackTop + 5}, {barX, c.bottom + 40});
  EXPECT_EQ(list->getTopIndex(), last);
  EXPECT_TRUE(list->getItemRect(299).bottom <= c.bottom);
  // Back to the middle of the track: about half way.
  const int thumbNow = c.bottom - 5;
  drag({barX, thumbNow}, {barX, thumbNow - (c.bottom - trackTop) / 2});
  EXPECT_NEAR(list->getTopIndex(), last / 2, last / 10);
  // A drag is no tap, and a tap on the track below the thumb still turns a page.
  EXPECT_EQ(d.listClicks.size(), clicks);
  const int before = list->getTopIndex();
  drv::tapWindow(*list, {barX, c.bottom - 3});
  EXPECT_EQ(list->getTopIndex(), std::min(last, before + per));
}

TEST_F(UiTest, TabSwitchesOnTapAndHostsChildPages) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  auto* tab = d.item<TabCtrl>(1240);
  const char* names[] = {"数据记录表", "荷载沉降表", "汇总表", "Q-s曲线", "s-lgQ曲线", "s-lgt曲线"};
  for (int i = 0; i < 6; ++i) tab->insertItem(i, names[i]);
  tab->setFont(Font::create(14));
  EXPECT_EQ(tab->getCurSel(), 0);
  Rect r3 = tab->getItemRect(2);
  EXPECT_TRUE(drv::tapWindow(*tab, r3.center()));
  EXPECT_EQ(d.tabChanges, (std::vector<int>{2}));
  drv::tapWindow(*tab, r3.center());  // the selected tab again: no change
  EXPECT_EQ(d.tabChanges.size(), 1u);

  // A page is a child dialog inside the tab: no activation, visible with the tab only.
  struct Page : TestDlg {
    Page() : TestDlg(kPage) {}
  } page;
  ASSERT_TRUE(page.create(tab));
  page.moveWindow(tab->displayRect());
  page.showWindow(SW_SHOW);
  EXPECT_TRUE(page.activations.empty());
  EXPECT_EQ(activeWindow(), &d);
  EXPECT_TRUE(page.isWindowVisible());
  EXPECT_TRUE(drv::tap(page, 1001));
  d.showWindow(SW_HIDE);
  EXPECT_FALSE(page.isWindowVisible());
}

TEST_F(UiTest, SliderFollowsTheFingerAndProgressSteps) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  auto* s = d.item<Slider>(1300);
  s->setRange(1, 10);
  Rect c = s->getClientRect();
  drv::tapWindow(*s, {c.right - 12, c.height() / 2});
  EXPECT_EQ(s->getPos(), 10);
  EXPECT_EQ(d.sliderCodes, (std::vector<int>{SB_THUMBTRACK, SB_THUMBPOSITION, TB_ENDTRACK}));
  drv::tapWindow(*s, {0, c.height() / 2});
  EXPECT_EQ(s->getPos(), 1);

  auto* p = d.item<Progress>(1234);
  p->setRange(0, 255);
  p->setStep(100);
  EXPECT_EQ(p->setPos(300), 0);
  EXPECT_EQ(p->getPos(), 255);
  p->setPos(200);
  p->stepIt();
  EXPECT_GE(p->getPos(), 0);
  EXPECT_LE(p->getPos(), 255);
}

// ---- colours, owner drawing, painting ------------------------------------------------------------------

TEST_F(UiTest, CtlColorAnswersGiveTheControlsColours) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  EXPECT_EQ(drv::textColor(d, 1205), RGB(0, 0, 255));
  d.alert = true;
  EXPECT_EQ(drv::textColor(d, 1205), RGB(255, 0, 0));
  EXPECT_EQ(drv::backColor(d, 1010), RGB(255, 255, 0));
  EXPECT_EQ(drv::dominantColor(d, 1010), RGB(255, 255, 0));
  // A picture static shows its image centred on its background.
  d.item<Static>(1010)->setImage(Bitmap(20, 20, RGB(255, 0, 0)));
  Point mid = d.getDlgItem(1010)->getWindowRect().center();
  EXPECT_EQ(renderScreen().pixel(mid.x, mid.y), RGB(255, 0, 0));
  EXPECT_EQ(drv::dominantColor(d, 1010), RGB(255, 255, 0));
  EXPECT_EQ(drv::textColor(d, 1124), kColorText);

  // A coloured plain button.
  d.item<Button>(1121)->setColors(RGB(0, 0, 255), RGB(255, 255, 255));
  EXPECT_EQ(drv::dominantColor(d, 1121), RGB(0, 0, 255));
}

TEST_F(UiTest, BoundOwnerDrawnButtonDrawsItsState) {
  TestDlg d;
  Lamp lamp;
  d.bindControl(1307, lamp);  // before creation: takes the template's place
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  lamp.makeOwnerDrawn();
  EXPECT_EQ(d.getDlgItem(1307), &lamp);
  EXPECT_EQ(lamp.getWindowText(), "1#");
  lamp.state = 2;
  lamp.invalidate();
  EXPECT_EQ(drv::dominantColor(d, 1307), RGB(0, 255, 0));
  lamp.state = 3;
  lamp.invalidate();
  EXPECT_EQ(drv::dominantColor(d, 1307), RGB(255, 0, 0));
  EXPECT_TRUE(drv::tap(d, 1307));

  // Bound after creation: takes over text, place and state of the created control.
  TestDlg e;
  ASSERT_TRUE(e.create());
  e.getDlgItem(1307)->enableWindow(false);
  Lamp late;
  e.bindControl(1307, late);
  EXPECT_EQ(e.getDlgItem(1307), &late);
  EXPECT_EQ(late.getWindowText(), "1#");
  EXPECT_FALSE(late.isEnabled());
  EXPECT_EQ(late.windowRect(), (Rect{740, 20, 860, 80}));
}

TEST_F(UiTest, PaintHandlerDrawsThroughThePaintDc) {
  struct Framed : TestDlg {
    Framed() {
      on(WM_PAINT, [this](Message&) {
        PaintDC dc(*this);
        Pen old = dc.selectPen(Pen{PS_SOLID, 2, RGB(0, 0, 0)});
        Brush oldB = dc.selectBrush(Brush{RGB(0, 128, 255)});
        dc.roundRect({860, 600, 1010, 690}, 10, 10);
        dc.selectPen(old);
        dc.selectBrush(oldB);
        return LRESULT{0};
      });
    }
  } d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  Bitmap shot = renderScreen();
  EXPECT_EQ(shot.pixel(935, 645), RGB(0, 128, 255));
  EXPECT_EQ(shot.pixel(861, 645), RGB(0, 0, 0));
  EXPECT_EQ(shot.pixel(860, 600), kColorFace);  // the rounded corner stays background
}

TEST_F(UiTest, ScreenshotShowsChineseCaptionsWithInk) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  Rect caption = d.getDlgItem(1009)->windowRect();
  Rect blank = d.getDlgItem(1010)->windowRect();
  EXPECT_GT(drv::inkPixels(d, caption), 300);
  EXPECT_EQ(drv::inkPixels(d, blank), 0);
  EXPECT_GT(drv::inkPixels(d, d.getDlgItem(1121)->windowRect().deflate(4, 4)), 100);

  auto dir = std::filesystem::temp_directory_path() / ("ui_shot_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(drv::screenshot(dir / "screen.png"));
  ASSERT_TRUE(drv::screenshot(dir / "dialog.png", &d));
  std::ifstream f(dir / "screen.png", std::ios::binary);
  char sig[8] = {};
  f.read(sig, 8);
  EXPECT_EQ(std::string(sig + 1, 3), "PNG");
  EXPECT_GT(std::filesystem::file_size(dir / "dialog.png"), 1000u);
  Bitmap one = renderWindow(d);
  EXPECT_EQ(one.width(), 1024);
  EXPECT_EQ(one.height(), 768);
  std::filesystem::remove_all(dir);
}

// ---- texts of several lines, disabled buttons, a row of tabs -------------------------------------------

namespace {

// A dialog whose parent answer colours every text blue.
class TextsDlg : public Dialog {
 public:
  TextsDlg() : Dialog(kTexts) {
    on(WM_CTLCOLOR, [](Message& m) {
      CtlColor::of(m).dc->setTextColor(RGB(0, 0, 255));
      return LRESULT{0};
    });
  }
};

// Whether every ink pixel of a rectangle of the screen is a shade of grey (none carries colour).
bool allInkGrey(const Rect& screenRect) {
  const Bitmap shot = renderScreen();
  int coloured = 0, ink = 0;
  for (int y = screenRect.top; y < screenRect.bottom; ++y) {
    for (int x = screenRect.left; x < screenRect.right; ++x) {
      const Color c = shot.pixel(x, y);
      if (c == kColorFace) continue;
      ++ink;
      if (std::abs(GetRValue(c) - GetBValue(c)) > 12 || std::abs(GetGValue(c) - GetBValue(c)) > 12) ++coloured;
    }
  }
  return ink > 50 && coloured == 0;
}

}  // namespace

TEST_F(UiTest, CentredStaticKeepsItsLineBreaksAndWrapsInsideItsRectangle) {
  TextsDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  struct Case {
    int id;
    const char* text;
    std::size_t rows;  // bands of ink rows
  } cases[] = {
      // A two-line question: two rows of text, both whole.
      {2001, "结束试验后则无法恢复本次试验\r\n确定要结束试验吗？", 2},
      // A line too long for the width wraps inside the rectangle.
      {2001, "当前版本718C-C2A3.3.8 S9\r\n确定要进行软件更新吗？\r\n按下确定前，请先将带有升级文件的U盘插入仪器的USB口。", 4},
      {2003, "外接电源断开后试验已暂停，请检查电源", 2},
      // A status line too low for two rows keeps its long text on one line.
      {2002, "2#试验沉降超过允许值，请及时检查现场！已暂停试验", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    d.setDlgItemText(c.id, c.text);
    drv::pump();
    const Rect r = d.getDlgItem(c.id)->windowRect();
    const drv::InkExtent ink = drv::inkExtent(d, r);
    ASSERT_EQ(ink.rows.size(), c.rows);
    if (c.id != 2001) continue;
    // Nothing of a question touches the left or right edge, and the block sits in the middle.
    EXPECT_GT(ink.left, r.left + 2);
    EXPECT_LT(ink.right, r.right - 2);
    EXPECT_NEAR((ink.rows.front().first - r.top) - (r.bottom - ink.rows.back().second), 0, 12);
  }
  // A status line left-aligned: its text starts at the left and runs out at the right.
  const drv::InkExtent line = drv::inkExtent(d, d.getDlgItem(2002)->windowRect());
  EXPECT_LT(line.left, 104);
  EXPECT_GE(line.right, 497);
}

TEST_F(UiTest, DisabledButtonTextIsGreyWhateverItsParentAnswers) {
  TextsDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  drv::pump();
  auto screenRect = [&](int id) { return d.getDlgItem(id)->getWindowRect().deflate(6, 6); };
  EXPECT_TRUE(allInkGrey(screenRect(2010)));
  EXPECT_FALSE(allInkGrey(screenRect(2011)));  // enabled: the parent's blue
  const Rect caption = d.getDlgItem(2012)->getWindowRect();
  EXPECT_TRUE(allInkGrey({caption.left + 8, caption.top, caption.left + 100, caption.top + 20}));
  d.getDlgItem(2010)->enableWindow(true);
  drv::pump();
  EXPECT_FALSE(allInkGrey(screenRect(2010)));
}

TEST_F(UiTest, TabsNarrowTheirMarginsSoEveryCaptionFits) {
  TestDlg d;
  ASSERT_TRUE(d.create());
  d.showWindow(SW_SHOW);
  auto* tab = d.item<TabCtrl>(1240);
  tab->moveWindow(Rect{472, 72, 1020, 580});
  const char* names[] = {"数据记录表", "荷载沉降表", "汇总表", "Q-s曲线", "s-lgQ曲线", "s-lgt曲线"};
  for (int i = 0; i < 6; ++i) tab->insertItem(i, names[i]);
  MemoryDC measure(10, 10);
  for (int height : {14, 23}) {
    SCOPED_TRACE(height);
    tab->setFont(Font::create(height, 500));
    measure.selectFont(tab->getFont());
    for (int i = 0; i < 6; ++i) {
      const Rect r = tab->getItemRect(i);
      EXPECT_GE(r.width(), measure.getTextExtent(names[i]).cx + 8) << i;
      if (i > 0) {
        EXPECT_EQ(r.left, tab->getItemRect(i - 1).right);
      }
    }
    EXPECT_LE(tab->getItemRect(5).right, tab->getClientRect().right - 2);
  }
  // With room to spare the tabs keep their full margins.
  tab->setFont(Font::create(14, 500));
  measure.selectFont(tab->getFont());
  EXPECT_EQ(tab->getItemRect(2).width(), measure.getTextExtent("汇总表").cx + 28);
}

// ---- device context -----------------------------------------------------------------------------------

TEST(DeviceContext, ShapesPensAndCopies) {
  MemoryDC dc(200, 100);
  dc.fillSolidRect({0, 0, 200, 100}, RGB(255, 255, 255));
  dc.selectPen(Pen{PS_SOLID, 1, RGB(0, 0, 0)});
  dc.selectBrush(Brush{RGB(255, 0, 0)});
  dc.rectangle({10, 10, 50, 40});
  EXPECT_EQ(dc.getPixel(30, 25), RGB(255, 0, 0));
  EXPECT_EQ(dc.getPixel(10, 20), RGB(0, 0, 0));
  EXPECT_EQ(dc.getPixel(49, 20), RGB(0, 0, 0));
  EXPECT_EQ(dc.getPixel(50, 20), RGB(255, 255, 255));  // the right edge is outside

  dc.selectBrush(Brush{RGB(0, 255, 0)});
  dc.ellipse({60, 10, 100, 50});
  EXPECT_EQ(dc.getPixel(80, 30), RGB(0, 255, 0));
  EXPECT_EQ(dc.getPixel(61, 11), RGB(255, 255, 255));

  // A dashed line leaves gaps; a solid one does not.
  auto inked = [&](int y) {
    int n = 0;
    for (int x = 0; x < 100; ++x) n += dc.getPixel(x, y) == RGB(0, 0, 255);
    return n;
  };
  dc.selectPen(Pen{PS_SOLID, 1, RGB(0, 0, 255)});
  dc.moveTo(0, 70);
  dc.lineTo(100, 70);
  dc.selectPen(Pen{PS_DASH, 1, RGB(0, 0, 255)});
  dc.moveTo(0, 80);
  dc.lineTo(100, 80);
  EXPECT_GE(inked(70), 99);
  EXPECT_GT(inked(80), 30);
  EXPECT_LT(inked(80), 90);

  MemoryDC copy(200, 100);
  copy.bitBlt(0, 0, 200, 100, dc, 0, 0);
  EXPECT_EQ(copy.getPixel(30, 25), RGB(255, 0, 0));
  copy.bitBlt(100, 0, 50, 50, dc, 10, 10);
  EXPECT_EQ(copy.getPixel(100, 5), RGB(0, 0, 0));
  EXPECT_EQ(copy.getPixel(120, 15), RGB(255, 0, 0));
}

TEST(DeviceContext, TextMeasuresAlignsAndClips) {
  MemoryDC dc(300, 100);
  dc.fillSolidRect({0, 0, 300, 100}, RGB(255, 255, 255));
  dc.selectFont(Font::create(30));
  Size one = dc.getTextExtent("荷");
  Size four = dc.getTextExtent("荷载沉降");
  EXPECT_GT(one.cx, 10);
  EXPECT_EQ(one.cy, 30);
  EXPECT_NEAR(four.cx, 4 * one.cx, 4);
  EXPECT_EQ(dc.getTextExtent("a\r\nb").cy, 60);
  EXPECT_GT(Font::create(30, FW_BOLD).height(), 0);

  auto inkIn = [&](Rect r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += dc.getPixel(x, y) != RGB(255, 255, 255);
    return n;
  };
  dc.setBkMode(TRANSPARENT);
  dc.drawText("试验", Rect{0, 0, 300, 50}, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  EXPECT_EQ(inkIn({0, 0, 200, 50}), 0);
  EXPECT_GT(inkIn({200, 0, 300, 50}), 50);
  // Clipped to its rectangle: a long text stays inside.
  dc.drawText("荷载沉降荷载沉降荷载沉降", Rect{0, 60, 100, 100}, DT_LEFT | DT_SINGLELINE);
  EXPECT_EQ(inkIn({100, 60, 300, 100}), 0);
  EXPECT_GT(inkIn({0, 60, 100, 100}), 50);
}

// Texts that are not UTF-8 (a GBK file name, stray bytes of a damaged file) are shown as the instrument
// reads them, and afterwards every text of that font still draws.
TEST(DeviceContext, TextThatIsNotUtf8IsShownAndLeavesTheFontWhole) {
  const Font font = Font::create(27);  // a size no other test uses: the font is shared by the process
  auto picture = [&](std::string_view text, unsigned format) {
    MemoryDC dc(300, 40);
    dc.fillSolidRect({0, 0, 300, 40}, RGB(255, 255, 255));
    dc.selectFont(font);
    dc.setBkMode(TRANSPARENT);
    if (format == ~0u) dc.textOut(2, 2, text);
    else dc.drawText(text, Rect{0, 0, 300, 40}, format);
    return dc.bitmap();
  };
  auto same = [](const Bitmap& a, const Bitmap& b) {
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
  };
  auto ink = [](const Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
      for (int x = 0; x < b.width(); ++x) n += b.pixel(x, y) != RGB(255, 255, 255);
    return n;
  };
  const std::string gbkName = "\xD6\xD0\xCE\xC4.krv", badMarker = "1\xFF:\x80\xFE";
  const unsigned single = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
  for (unsigned format : {~0u, single, unsigned{DT_LEFT | DT_WORDBREAK}}) {
    EXPECT_TRUE(same(picture(gbkName, format), picture("中文.krv", format))) << format;
    EXPECT_TRUE(same(picture(badMarker, format), picture("1\uFFFD:\uFFFD\uFFFD", format))) << format;
  }
  MemoryDC dc(10, 10);
  dc.selectFont(font);
  EXPECT_EQ(dc.getTextExtent(gbkName).cx, dc.getTextExtent("中文.krv").cx);
  // The font draws as before.
  EXPECT_GT(ink(picture("荷载沉降", single)), 100);
  EXPECT_GT(dc.getTextExtent("荷载沉降").cx, 80);
}

// A noncharacter is well-formed UTF-8 that the drawing library refuses as it refuses a bad byte: it is
// shown as U+FFFD, and every text of that font still draws afterwards.
TEST(DeviceContext, NoncharacterIsShownAndLeavesTheFontWhole) {
  auto ink = [](std::string_view text, const Font& font) {
    MemoryDC dc(300, 40);
    dc.fillSolidRect({0, 0, 300, 40}, RGB(255, 255, 255));
    dc.selectFont(font);
    dc.setBkMode(TRANSPARENT);
    dc.textOut(2, 2, text);
    const Bitmap b = dc.bitmap();
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
      for (int x = 0; x < b.width(); ++x) n += b.pixel(x, y) != RGB(255, 255, 255);
    return n;
  };
  int size = 31;  // sizes no other test uses: fonts are shared by the process
  for (std::string bad : {"1\xEF\xBF\xBF", "1\xEF\xBF\xBE", "1\xEF\xB7\x90", "1\xF4\x8F\xBF\xBF"}) {
    const Font font = Font::create(size++);
    MemoryDC dc(10, 10);
    dc.selectFont(font);
    EXPECT_EQ(dc.getTextExtent(bad).cx, dc.getTextExtent("1\uFFFD").cx) << size;
    EXPECT_EQ(ink(bad, font), ink("1\uFFFD", font)) << size;
    EXPECT_GT(ink("荷载沉降", font), 100) << size;
    EXPECT_GT(dc.getTextExtent("荷载沉降").cx, 80) << size;
  }
}

TEST(Display, ChoiceParsesAndAutoFallsBackToHeadless) {
  struct Case {
    const char* text;
    bool ok;
    DisplayKind kind;
  } cases[] = {{"auto", true, DisplayKind::Auto}, {"HEADLESS", true, DisplayKind::Headless},
               {"sdl", true, DisplayKind::Sdl}, {"x11", false, DisplayKind::Auto}};
  for (auto& c : cases) {
    DisplayKind k = DisplayKind::Auto;
    EXPECT_EQ(parseDisplayKind(c.text, k), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(k, c.kind);
    }
  }
  std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("SDL_VIDEODRIVER");
  ASSERT_TRUE(init(Options{DisplayKind::Auto}));
  EXPECT_EQ(display(), DisplayKind::Headless);
  shutdown();
  if (!saved.empty()) ::setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace

namespace {

// The SDL display on SDL's off-screen video driver: taps and worker posts reach the windows.
TEST(Display, SdlDisplayRunsTheSameLoop) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  clk::configure(clk::Mode::Manual);
  if (!init(Options{DisplayKind::Sdl})) GTEST_SKIP() << "SDL cannot start here";
  EXPECT_EQ(display(), DisplayKind::Sdl);
  {
    TestDlg d;
    ASSERT_TRUE(d.create());
    d.showWindow(SW_SHOW);
    EXPECT_TRUE(drv::tap(d, 1121));
    EXPECT_EQ(d.clicks, 1);
    Handle h = d.handle();
    std::thread worker([h] { postMessage(h, 0x501, 5, 1234); });
    runUntil([&] { return !d.posted.empty(); });
    worker.join();
    EXPECT_EQ(d.posted, (std::vector<LPARAM>{1234}));
    d.setTimer(1, 900);
    drv::run(900);
    EXPECT_EQ(d.timers, (std::vector<unsigned>{1u}));
  }
  shutdown();
  ::unsetenv("SDL_VIDEODRIVER");
}

}  // namespace
