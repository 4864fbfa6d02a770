// The set-up dialogs on their own: three channel records as a fresh instrument has them, the controller
// selection, the test information dialog, the keypads and the dialogs they pass on to, and typing by
// taps on the keypads.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "setup_ui/cekongqi.h"
#include "setup_ui/gongcheng_xinxi.h"
#include "app/keypads.h"
#include "setup_ui/shiyan_guifan.h"
#include "tests/app/fixture.h"
#include "model/datafiles.h"

namespace apptest {

// Types a text on the keypad that is on screen (digits on Key, letters on KeyABC) and confirms it.
inline void typeOnKeypad(const std::string& text, bool confirm = true) {
  auto* key = g_pMonitorDialogs.get<Key>(MonitorSlot::Key);
  auto* abc = g_pMonitorDialogs.get<KeyABC>(MonitorSlot::KeyABC);
  ASSERT_TRUE(key->isWindowVisible());
  ASSERT_TRUE(drv::tap(*key, Key::kClear));
  bool letters = false;
  const std::string qwerty = "qwertyuiopasdfghjklzxcvbnm";
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-') {
      if (letters) {
        ASSERT_TRUE(drv::tap(*abc, KeyABC::kDigits));
      }
      letters = false;
      const int id = c == '0' ? Key::kZero : c == '.' ? Key::kPoint : c == '-' ? Key::kMinus : 1121 + (c - '1');
      ASSERT_TRUE(drv::tap(*key, id)) << c;
    } else {
      if (!letters) {
        ASSERT_TRUE(drv::tap(*key, Key::kAbc));
      }
      letters = true;
      const std::size_t i = qwerty.find(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
      ASSERT_NE(i, std::string::npos) << c;
      ASSERT_TRUE(drv::tap(*abc, KeyABC::LetterIds()[i])) << c;
    }
  }
  if (!confirm) return;
  ui::Window& pad = letters ? static_cast<ui::Window&>(*abc) : *key;
  ASSERT_TRUE(drv::tap(pad, ui::IDOK));
}

// Taps an edit of a dialog, types the text on the keypad and checks that the dialog is back.
inline void typeInto(ui::Window& d, int edit, const std::string& text) {
  ASSERT_TRUE(drv::tap(d, edit)) << edit;
  typeOnKeypad(text);
  ASSERT_TRUE(d.isWindowVisible()) << edit;
}

// The controller selection, opened by the main window's button 1306 (hidden on its screen): the
// numbers of controllers 1-3 typed short (the link sends six digits), front-end `frontEnd` and OK.
inline void PickFrontEnd(CMonitorDlg& w, int frontEnd) {
  auto* sel = g_pMonitorDialogs.get<CCeKongQi>(MonitorSlot::CCeKongQi);
  w.sendMessage(ui::WM_COMMAND, ui::MAKEWPARAM(1306, ui::BN_CLICKED), 0);
  drv::pump();
  ASSERT_TRUE(sel->isWindowVisible());
  typeInto(*sel, CCeKongQi::kNumber1, "1");
  typeInto(*sel, CCeKongQi::kNumber1 + 1, "2");
  typeInto(*sel, CCeKongQi::kNumber1 + 2, "3");
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1 + frontEnd - 1));
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
  ASSERT_FALSE(sel->isWindowVisible()) << drv::text(*sel, CCeKongQi::kStatus);
}

// Picks standard `code` in the standard dialog on screen, turning its pages to the code's button.
inline void PickStandard(ShiYanGuiFan& d, int code) {
  const auto& listed = d.listed();
  const auto it =
      std::find_if(listed.begin(), listed.end(), [code](const StandardEntry& e) { return e.standardCode == code; });
  ASSERT_NE(it, listed.end()) << code;
  const int index = static_cast<int>(it - listed.begin());
  while (d.page() > 1) ASSERT_TRUE(drv::tap(d, ShiYanGuiFan::kPrevious));
  for (int k = 0; k < index / 8; ++k) ASSERT_TRUE(drv::tap(d, ShiYanGuiFan::kNext));
  ASSERT_TRUE(drv::tap(d, ShiYanGuiFan::kStandard1 + index % 8));
  ASSERT_EQ(d.selectedCode(), code);
}

class SetupDialogTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    prepareBoardOneChannels(ch);
    for (int n = 1; n <= 3; ++n) {
      Parameter& p = ch[n - 1];
      p.testClock = {2026, 12, 10, 9, 15, 0, 0, 4};
      for (std::size_t k = 0; k < 4; ++k) p.displacementOn[k] = 1;  // a new instrument uses gauges 1-4
      JDQFile::PackParameters(p, p.ParameterList);
      JDQFile::BuildHeaderRecords(p);
    }
    for (MonitorSlot s : {MonitorSlot::CCeKongQi, MonitorSlot::GongChengXinXi, MonitorSlot::Key, MonitorSlot::KeyABC,
                          MonitorSlot::ShiYanGuiFan, MonitorSlot::ShiZhuangKongZhi, MonitorSlot::ShiZhuangMuLu,
                          MonitorSlot::ChuanGanQi}) {
      ASSERT_TRUE(dialog(s)->create());
      LinkMonitorDialog(s, ch[0], ch[1], ch[2]);
    }
    sel = dialog<CCeKongQi>(MonitorSlot::CCeKongQi);
    info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);
    key = dialog<Key>(MonitorSlot::Key);
    ASSERT_TRUE(sel && info && key);
  }

  void show(MonitorDialog& d) {
    d.showWindow(ui::SW_SHOW);
    drv::pump();
  }
  bool visible(MonitorSlot s) { return dialog(s)->isWindowVisible(); }
  void saveShot(ui::Window& w, const std::string& name) {
    const fsys::path docs = fsys::path(INSTRUMENT_SOURCE_DIR) / "docs";
    if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
      ASSERT_TRUE(drv::screenshot(docs / name, &w));
    }
  }

  Parameter ch[3];
  CCeKongQi* sel = nullptr;
  GongChengXinXi* info = nullptr;
  Key* key = nullptr;
};

}  // namespace apptest
