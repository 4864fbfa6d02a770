// The keypad request cycle: a dialog fills the request, hides itself and shows Key; the keys edit a copy
// of the value under the rules of the mode and the maximum length; OK (or cancel) shows the requester
// again, which finds the result in the request when it is activated.
#include "app/keypads.h"
#include "fixture.h"
#include "platform/ui/controls.h"

using namespace apptest;

namespace {

class KeypadTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    startMain(1);
    key = dialog<Key>(MonitorSlot::Key);
    abc = dialog<KeyABC>(MonitorSlot::KeyABC);
    ASSERT_TRUE(key && abc);
  }

  // The request step of a requesting dialog: fill all three channels' requests, hide, show Key.
  MonitorDialog& ask(MonitorSlot slot, int code, const std::string& caption, const std::string& text, int maxLength,
                     int mode) {
    MonitorDialog& requester = *dialog(slot);
    requester.showWindow(ui::SW_SHOW);
    requester.on(ui::WM_ACTIVATE, [this, &requester](ui::Message& m) {
      requester.defWindowProc(m);
      if (ui::LOWORD(m.wParam) == ui::WA_ACTIVE) activations.push_back(requester.Channel(1)->keypad.text);
      return ui::LRESULT{0};
    });
    for (int n = 1; n <= 3; ++n) main_->channel(n).keypad = KeypadRequest{caption, text, maxLength, mode, 0, code};
    requester.showWindow(ui::SW_HIDE);
    key->showWindow(ui::SW_SHOW);
    drv::pump();
    return requester;
  }

  void press(ui::Window& pad, std::initializer_list<int> ids) {
    for (int id : ids) drv::tap(pad, id);
  }

  std::string edit() const { return key->EditText(); }
  KeypadRequest& request() { return main_->channel(1).keypad; }

  static constexpr int k1 = 1121, k2 = 1122, k3 = 1123, k5 = 1125, k7 = 1127, k0 = Key::kZero;

  Key* key = nullptr;
  KeyABC* abc = nullptr;
  std::vector<std::string> activations;  // request text seen by the requester on each activation
};

}  // namespace

TEST_F(KeypadTest, NumberTypedOnKeyReturnsToTheRequesterThroughTheRequest) {
  MonitorDialog& req = ask(MonitorSlot::ShiYanGuiFan, 3, "最大荷载", "12.5", 8, kKeypadDecimal);
  EXPECT_EQ(ui::activeWindow(), key);
  EXPECT_EQ(drv::text(*key, Key::kLabel), "请输入最大荷载:");
  EXPECT_EQ(edit(), "12.5");
  // Decimal mode: only digits at first; the first key replaces the shown value and enables the point.
  for (int id : {Key::kStar, Key::kHash, Key::kSlash, Key::kMinus, Key::kPoint, Key::kAbc})
    EXPECT_FALSE(drv::enabled(*key, id)) << id;
  press(*key, {k3});
  EXPECT_EQ(edit(), "3");
  EXPECT_TRUE(drv::enabled(*key, Key::kPoint));
  press(*key, {Key::kPoint, k7});
  EXPECT_EQ(edit(), "3.7");
  EXPECT_FALSE(drv::enabled(*key, Key::kPoint));  // one point at most
  press(*key, {KeypadDialog::kBackspace, KeypadDialog::kBackspace});
  EXPECT_EQ(edit(), "3");
  EXPECT_TRUE(drv::enabled(*key, Key::kPoint));  // the point went, so it may come again
  press(*key, {Key::kPoint, k5, k0});
  EXPECT_EQ(request().text, "12.5");  // nothing written before OK
  ASSERT_TRUE(drv::tap(*key, ui::IDOK));
  EXPECT_FALSE(key->isWindowVisible());
  EXPECT_TRUE(req.isWindowVisible());
  EXPECT_EQ(ui::activeWindow(), &req);
  EXPECT_EQ(request().text, "3.50");
  ASSERT_FALSE(activations.empty());
  EXPECT_EQ(activations.back(), "3.50");
}

TEST_F(KeypadTest, TheShownValueIsSelectedUntilAKeyThenTheCaretStandsAtTheEnd) {
  ask(MonitorSlot::ShiYanGuiFan, 3, "最大荷载", "37", 8, kKeypadDecimal);
  auto* e = dynamic_cast<ui::Edit*>(key->getDlgItem(KeypadDialog::kEdit));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->getSel(), (std::pair<int, int>{0, 2}));
  // Drawn selected, the text stands on the highlight's block; typed again, on the white of the edit.
  const ui::Rect box = e->windowRect().deflate(8, 8);  // inside the edit's frame
  const int selectedInk = drv::inkPixels(*key, box);
  press(*key, {k3, k7});
  EXPECT_EQ(edit(), "37");
  EXPECT_EQ(e->getSel(), (std::pair<int, int>{2, 2}));
  EXPECT_LT(2 * drv::inkPixels(*key, box), selectedInk) << "nothing drawn selected";
  if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
    ASSERT_TRUE(drv::screenshot(fsys::path(INSTRUMENT_SOURCE_DIR) / "docs" / "keypad.png", key));
  }
  press(*key, {KeypadDialog::kBackspace});
  EXPECT_EQ(e->getSel(), (std::pair<int, int>{1, 1}));
}

TEST_F(KeypadTest, CancelReturnsWithTheTextUnchanged) {
  MonitorDialog& req = ask(MonitorSlot::GongChengXinXi, 1, "流水号", "A01", 10, kKeypadText);
  press(*key, {k1, k2});
  ASSERT_TRUE(drv::tap(*key, ui::IDCANCEL));
  EXPECT_TRUE(req.isWindowVisible());
  EXPECT_EQ(request().text, "A01");
  EXPECT_EQ(request().requester, 1);  // the requester clears it when it takes the result
}

TEST_F(KeypadTest, TextTypedOnKeyAbcKeepsWhatKeyTookAndReturnsToTheRequester) {
  MonitorDialog& req = ask(MonitorSlot::GongChengXinXi, 1, "桩号", "old", 12, kKeypadText);
  for (int id : {Key::kHash, Key::kMinus, Key::kPoint, Key::kAbc}) EXPECT_TRUE(drv::enabled(*key, id)) << id;
  press(*key, {k1, k2});
  ASSERT_TRUE(drv::tap(*key, Key::kAbc));
  EXPECT_TRUE(abc->isWindowVisible());
  EXPECT_EQ(ui::activeWindow(), abc);
  EXPECT_EQ(abc->EditText(), "12");
  EXPECT_EQ(drv::text(*abc, KeypadDialog::kLabel), "请输入桩号:");
  const int* letters = KeyABC::LetterIds();  // q w e ... ; a = index 10, z = index 19
  press(*abc, {letters[10], letters[19]});
  EXPECT_EQ(abc->EditText(), "12AZ");
  ASSERT_TRUE(drv::tap(*abc, KeyABC::kCase));  // to lower case
  EXPECT_EQ(drv::text(*abc, letters[0]), "q");
  EXPECT_EQ(drv::text(*abc, KeyABC::kCase), "小写");
  press(*abc, {letters[2], KeyABC::kAt});
  EXPECT_EQ(abc->EditText(), "12AZe@");
  ASSERT_TRUE(drv::tap(*abc, KeyABC::kCase));
  EXPECT_EQ(drv::text(*abc, letters[0]), "Q");
  EXPECT_EQ(drv::text(*abc, KeyABC::kCase), "大写");
  // Back to the digits and on: the text and the typed count go along.
  ASSERT_TRUE(drv::tap(*abc, KeyABC::kDigits));
  EXPECT_EQ(ui::activeWindow(), key);
  EXPECT_EQ(edit(), "12AZe@");
  press(*key, {k3});
  EXPECT_EQ(edit(), "12AZe@3");
  EXPECT_EQ(request().typedCount, 7);
  ASSERT_TRUE(drv::tap(*key, Key::kAbc));
  ASSERT_TRUE(drv::tap(*abc, ui::IDOK));
  EXPECT_FALSE(abc->isWindowVisible());
  EXPECT_EQ(ui::activeWindow(), &req);
  EXPECT_EQ(activations.back(), "12AZe@3");
}

TEST_F(KeypadTest, OverLongInputIsRefused) {
  // The fourth key of a three-key entry does nothing, on either keypad.
  ask(MonitorSlot::XiTongBaoHu, 4, "前端号", "999999", 3, kKeypadText);
  press(*key, {k1, k2, k3, k5});
  EXPECT_EQ(edit(), "123");
  ASSERT_TRUE(drv::tap(*key, Key::kAbc));
  drv::tap(*abc, KeyABC::LetterIds()[0]);
  EXPECT_EQ(abc->EditText(), "123");
  ASSERT_TRUE(drv::tap(*abc, KeyABC::kDigits));

  // A shown value corrected by backspace counts what is left, so no room opens for more keys than the
  // maximum allows.
  ask(MonitorSlot::XiTongBaoHu, 4, "前端号", "123456", 3, kKeypadInteger);
  press(*key, {KeypadDialog::kBackspace, KeypadDialog::kBackspace, KeypadDialog::kBackspace});
  EXPECT_EQ(edit(), "123");
  EXPECT_EQ(request().typedCount, 3);
  press(*key, {k5, k5, k5, k5, k5});
  EXPECT_EQ(edit(), "123");
  press(*key, {KeypadDialog::kBackspace, k5, k5});
  EXPECT_EQ(edit(), "125");

  // A sign change that would pass the maximum is refused too.
  ask(MonitorSlot::XiTongBiaoDing, 9, "系数", "1", 3, kKeypadSignedDecimal);
  press(*key, {k1, k2, k3, Key::kMinus});
  EXPECT_EQ(edit(), "123");
  ASSERT_TRUE(drv::tap(*key, ui::IDOK));
  EXPECT_EQ(request().text, "123");
}

TEST_F(KeypadTest, BackspaceOnTheShownValueCorrectsIt) {
  struct Case {
    std::string shown;
    std::vector<int> keys;
    std::string result;
    bool pointAfterBackspace;
  } cases[] = {
      {"12.5", {KeypadDialog::kBackspace, k3}, "12.3", false},
      {"125", {KeypadDialog::kBackspace, Key::kPoint, k5}, "12.5", true},
      {"7", {KeypadDialog::kBackspace, k3}, "3", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    ask(MonitorSlot::ShiYanGuiFan, 3, "最大荷载", c.shown, 8, kKeypadDecimal);
    press(*key, {c.keys.front()});
    EXPECT_EQ(drv::enabled(*key, Key::kPoint), c.pointAfterBackspace);
    for (std::size_t k = 1; k < c.keys.size(); ++k) press(*key, {c.keys[k]});
    ASSERT_TRUE(drv::tap(*key, ui::IDOK));
    EXPECT_EQ(request().text, c.result);
  }
}

TEST_F(KeypadTest, SignedDecimalChangesSignKeepingItsDecimals) {
  ask(MonitorSlot::XiTongBiaoDing, 9, "系数", "0", 8, kKeypadSignedDecimal);
  EXPECT_TRUE(drv::enabled(*key, Key::kMinus));
  EXPECT_FALSE(drv::enabled(*key, Key::kPoint));
  press(*key, {k1, Key::kPoint, k2, k5, Key::kMinus});
  EXPECT_EQ(edit(), "-1.25");
  press(*key, {Key::kMinus});
  EXPECT_EQ(edit(), "1.25");
  press(*key, {Key::kClear});
  EXPECT_EQ(edit(), "");
  press(*key, {k0, Key::kMinus});
  EXPECT_EQ(edit(), "0");  // no negative zero
}

TEST_F(KeypadTest, TimeRequestShowsTheSystemAndNextReadingTimes) {
  Parameter& ch = main_->channel(1);
  struct Case {
    bool running;
    std::string next;
    std::string label;
    std::string edit;
  } cases[] = {
      {false, "10 : 00 : 00", "请输入系统时间         系统时间: 08:30:15      下次采集时间: 08:30:15", "083015"},
      {true, "10 : 00 : 00", "请输入系统时间         系统时间: 08:30:15      下次采集时间: 10:00:00", "100000"},
      {true, "— : — : —", "请输入系统时间         系统时间: 08:30:15      下次采集时间: ", "083015"},
  };
  for (const Case& c : cases) {
    ch.testRunning = c.running ? 1 : 0;
    ch.nextReadingText = c.next;
    ask(MonitorSlot::XiTongshijian, 7, "系统时间", "083015", 6, kKeypadInteger);
    EXPECT_EQ(drv::text(*key, Key::kLabel), c.label);
    EXPECT_EQ(edit(), c.edit);
    drv::tap(*key, ui::IDCANCEL);
  }
}

TEST_F(KeypadTest, HardwareKeysOtherThanDigitsAndPointAreSwallowed) {
  ask(MonitorSlot::ShiYanGuiFan, 3, "最大荷载", "", 8, kKeypadDecimal);
  drv::press(ui::VK_RETURN);  // would press OK
  EXPECT_TRUE(key->isWindowVisible());
  drv::press(ui::VK_ESCAPE);
  EXPECT_TRUE(key->isWindowVisible());
}
