// The standard selection dialog by taps: the listed standards and their pages, the choice of a standard
// (refused during a test, the six-gauge question of standard 61), the judgement choices, the keypad
// fields, the refusals of OK and what OK commits to the channel and, during a test, to its file.
#include <algorithm>
#include <cstdlib>

#include "app/queren.h"
#include "setup_ui/shiyan_guifan.h"
#include "setup/catalogue.h"
#include "setup/standard_checks.h"
#include "setup/standard_commit.h"
#include "setup/standards.h"
#include "setup/timing.h"
#include "setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;
using S = ShiYanGuiFan;

namespace {

constexpr auto kBlue = RGB(0, 0, 255);
constexpr auto kBlack = RGB(0, 0, 0);
constexpr auto kRed = RGB(255, 0, 0);

class GuiFan : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    for (Parameter& c : ch) BuildStandardCatalogue(c);
    dlg = dialog<S>(MonitorSlot::ShiYanGuiFan);
    ASSERT_NE(dlg, nullptr);
    setType(1, 5);
  }
  Parameter& p() { return ch[0]; }
  std::string text(int id) { return drv::text(*dlg, id); }
  std::string status() { return text(S::kStatus); }
  // The channel's test type and stored standard, as the test information and an earlier OK leave them.
  void setType(int type, int code) {
    for (Parameter& c : ch) {
      c.testType = type;
      c.standardCode = code;
      JDQFile::SetHeaderText(c.testRecords, 69, 3, std::to_string(code));
    }
  }
  void reopen() {
    dlg->showWindow(ui::SW_HIDE);
    show(*dlg);
  }
  // The names on the eight standard buttons.
  std::vector<std::string> buttons() {
    std::vector<std::string> v;
    for (int i = 0; i < 8; ++i) v.push_back(text(S::kStandard1 + i));
    return v;
  }
  // Taps the listed standard with this code (paging to it) and checks it became the selection.
  void pick(int code) {
    const auto& l = dlg->listed();
    const auto it = std::find_if(l.begin(), l.end(), [code](const StandardEntry& e) { return e.standardCode == code; });
    ASSERT_NE(it, l.end()) << code;
    const int index = static_cast<int>(it - l.begin());
    while (dlg->page() > 1) ASSERT_TRUE(drv::tap(*dlg, S::kPrevious));
    for (int k = 0; k < index / 8; ++k) ASSERT_TRUE(drv::tap(*dlg, S::kNext));
    ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + index % 8));
    ASSERT_EQ(dlg->selectedCode(), code);
  }
  void type(int edit, const std::string& value) { typeInto(*dlg, edit, value); }

  S* dlg = nullptr;
};

// The standards a channel of this test type lists, in the order the rule gives: offered, of the type (the
// user-input standard also with plate, compression and uplift tests), by sort group and then code.
std::vector<int> ExpectedCodes(int type, const std::vector<int>& notOffered = {}) {
  std::vector<StandardCatalogueRow> rows;
  const auto all = StandardCatalogueRows();
  for (std::size_t pos = 0; pos < all.size(); ++pos) {
    if (std::find(notOffered.begin(), notOffered.end(), static_cast<int>(pos)) != notOffered.end()) continue;
    const StandardCatalogueRow& r = all[pos];
    if (r.testType == type || (r.testType == 6 && (type == 0 || type == 1 || type == 5))) rows.push_back(r);
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return a.sortGroup != b.sortGroup ? a.sortGroup < b.sortGroup : a.code < b.code;
  });
  std::vector<int> codes;
  for (const auto& r : rows) codes.push_back(r.code);
  return codes;
}

std::vector<int> Codes(const std::vector<StandardEntry>& l) {
  std::vector<int> v;
  for (const StandardEntry& e : l) v.push_back(e.standardCode);
  return v;
}

int PositionOf(int code, int type) {
  const auto all = StandardCatalogueRows();
  for (std::size_t pos = 0; pos < all.size(); ++pos)
    if (all[pos].code == code && all[pos].testType == type) return static_cast<int>(pos);
  return -1;
}

}  // namespace

TEST_F(GuiFan, RefreshListsTheOfferedStandardsOfTheTestTypeSortedWithTheStoredOneSelected) {
  // Channel 1's offer applies to every channel: JGJ106-2014快速 (code 4) is not offered.
  const int quick = PositionOf(4, 1);
  ch[0].ParameterList.set(kOfferedFlagItem + quick, 0.0f);
  JDQFile::SetHeaderText(p().testRecords, 7, 3, "2026001");
  JDQFile::SetHeaderText(p().testRecords, 8, 1, "P9");
  p().headerFloat0 = 1.25f;
  setType(1, 12);  // DBJ15-60-2019慢速
  show(*dlg);
  const std::vector<int> expected = ExpectedCodes(1, {quick});
  EXPECT_EQ(Codes(dlg->listed()), expected);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), 4), 0);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), 9), 1) << "the user-input standard with a compression test";
  EXPECT_EQ(text(S::kTitle), "1# 编号：000001 流水号 2026001 桩号 P9");
  const int place = static_cast<int>(std::find(expected.begin(), expected.end(), 12) - expected.begin());
  EXPECT_EQ(dlg->page(), place / 8 + 1);
  EXPECT_EQ(dlg->pageCount(), (static_cast<int>(expected.size()) + 7) / 8);
  EXPECT_EQ(text(S::kPageLabel), "当前第" + std::to_string(place / 8 + 1) + "页 | 共" +
                                     std::to_string(dlg->pageCount()) + "页");
  EXPECT_EQ(text(S::kStandard1 + place % 8), "√DBJ15-60-2019慢速");
  EXPECT_EQ(dlg->selectedButton(), S::kStandard1 + place % 8);
  EXPECT_EQ(drv::textColor(*dlg, S::kStandard1 + place % 8), kBlue);
  EXPECT_EQ(drv::textColor(*dlg, S::kStandard1 + (place + 1) % 8), kBlack);
  EXPECT_EQ(drv::textColor(*dlg, S::kPageLabel), kBlue);
  EXPECT_EQ(status(), "本次测试系数为1.250  ");
  EXPECT_EQ(drv::textColor(*dlg, S::kStatus), kBlue);
  EXPECT_EQ(text(S::kCoefficient), "1.250");
  EXPECT_FALSE(drv::enabled(*dlg, S::kCoefficient));
  // Standard 12's schedule is shown (row 11: hold 125 minutes).
  EXPECT_EQ(text(S::kHoldTime), "125");

  // A self-balanced test lists neither the user-input standard nor any compression standard.
  setType(2, 15);
  reopen();
  EXPECT_EQ(Codes(dlg->listed()), ExpectedCodes(2));
  EXPECT_EQ(dlg->page(), 1);
  EXPECT_EQ(text(S::kStandard1), "√JT/T738-2009自平衡");

  // A compression test whose stored code is a plate standard's: the first listed one is selected on page 1.
  setType(1, 2);
  reopen();
  EXPECT_EQ(dlg->page(), 1);
  EXPECT_EQ(dlg->selectedCode(), expected.front());
  EXPECT_EQ(text(S::kStandard1), "√GB50007-2011单桩");
  EXPECT_EQ(dlg->selectedButton(), S::kStandard1);
  EXPECT_FALSE(drv::enabled(*dlg, S::kPrevious));
  EXPECT_TRUE(drv::enabled(*dlg, S::kNext));
}

TEST_F(GuiFan, PagingWithOneAndWithSeveralPages) {
  // Six lateral standards: one page, both paging buttons off, two buttons without a standard.
  setType(4, 62);
  show(*dlg);
  EXPECT_EQ(dlg->pageCount(), 1);
  EXPECT_FALSE(drv::enabled(*dlg, S::kNext));
  EXPECT_FALSE(drv::enabled(*dlg, S::kPrevious));
  EXPECT_EQ(text(S::kPageLabel), "当前第1页 | 共1页");
  EXPECT_EQ(text(S::kStandard1 + 6), S::kEmptyButton);
  EXPECT_EQ(text(S::kStandard1 + 7), S::kEmptyButton);
  // A button without a standard changes nothing but the message.
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + 7));
  EXPECT_EQ(dlg->selectedCode(), 62);
  EXPECT_EQ(status(), kParameterChanged);
  EXPECT_EQ(drv::textColor(*dlg, S::kStatus), kRed);
  EXPECT_EQ(text(S::kStandard1), "√JGJ106-2014水平多循环");

  // Eleven self-balanced standards: two pages; paging keeps the selection.
  setType(2, 15);
  reopen();
  EXPECT_EQ(dlg->pageCount(), 2);
  const std::vector<int> codes = ExpectedCodes(2);
  ASSERT_TRUE(drv::tap(*dlg, S::kNext));
  EXPECT_EQ(dlg->page(), 2);
  EXPECT_FALSE(drv::enabled(*dlg, S::kNext));
  EXPECT_TRUE(drv::enabled(*dlg, S::kPrevious));
  EXPECT_EQ(text(S::kPageLabel), "当前第2页 | 共2页");
  EXPECT_EQ(text(S::kStandard1 + 3), S::kEmptyButton);
  EXPECT_EQ(dlg->selectedButton(), 0) << "the selection is on the other page";
  EXPECT_EQ(dlg->selectedCode(), 15);
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + 1));
  EXPECT_EQ(dlg->selectedCode(), codes[9]);
  EXPECT_EQ(dlg->selectedButton(), S::kStandard1 + 1);
  ASSERT_TRUE(drv::tap(*dlg, S::kPrevious));
  EXPECT_EQ(dlg->page(), 1);
  EXPECT_FALSE(drv::enabled(*dlg, S::kPrevious));
  EXPECT_TRUE(drv::enabled(*dlg, S::kNext));
  EXPECT_EQ(dlg->selectedCode(), codes[9]);
  EXPECT_EQ(buttons()[0], "JT/T738-2009自平衡");

  // Four pages of compression standards, the stored one on the third.
  const std::vector<int> compression = ExpectedCodes(1);
  ASSERT_EQ(compression.size(), 32u);
  setType(1, compression[20]);
  reopen();
  EXPECT_EQ(dlg->page(), 3);
  EXPECT_TRUE(drv::enabled(*dlg, S::kNext));
  EXPECT_TRUE(drv::enabled(*dlg, S::kPrevious));
  ASSERT_TRUE(drv::tap(*dlg, S::kNext));
  EXPECT_EQ(dlg->page(), 4);
  EXPECT_FALSE(drv::enabled(*dlg, S::kNext));
}

TEST_F(GuiFan, StandardButtonsAreRefusedDuringATest) {
  show(*dlg);
  p().fileLoaded = 0;
  p().testRunning = 1;
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + 2));
  EXPECT_EQ(status(), S::kTestStarted);
  EXPECT_EQ(drv::textColor(*dlg, S::kStatus), kRed);
  EXPECT_EQ(dlg->selectedCode(), 5);
}

TEST_F(GuiFan, StandardSixtyOneAsksForSixGaugesWhenOneIsOff) {
  setType(2, 15);
  for (std::size_t k = 0; k < 8; ++k) p().displacementOn[k] = k < 6 && k != 3 ? 1 : 0;  // gauge 4 off
  show(*dlg);
  int answer = ui::IDCANCEL;
  std::vector<std::string> asked;
  drv::IdleScript script([&] {
    if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) {
      asked.push_back(g_strPrompt);
      q->endDialog(answer);
    }
  });
  const std::vector<int> codes = ExpectedCodes(2);
  const int index = static_cast<int>(std::find(codes.begin(), codes.end(), 61) - codes.begin());
  ASSERT_LT(index, 8);
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + index));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], S::kSixGaugesNeeded);
  EXPECT_EQ(dlg->selectedCode(), 15) << "declined: the standard stays";
  EXPECT_EQ(text(S::kStandard1), "√JT/T738-2009自平衡");
  answer = ui::IDOK;
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + index));
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(dlg->selectedCode(), 61);
  EXPECT_EQ(text(S::kStandard1 + index), "√DB45T564-2009");
  // With gauges 1-6 on nothing is asked.
  p().displacementOn[3] = 1;
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1));
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + index));
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(dlg->selectedCode(), 61);
}

TEST_F(GuiFan, ModeCyclesTogglesAndTheirCaptionsAndColours) {
  // The user-input standard with what an earlier OK wrote: mode "≤", settlement 0.05, crossing; the
  // over-characteristic set "收敛".
  JDQFile::SetHeaderText(p().testRecords, 18, 2, "1");
  JDQFile::SetHeaderText(p().testRecords, 16, 2, "0.05");
  JDQFile::SetHeaderText(p().testRecords, 65, 1, "1");
  JDQFile::SetHeaderText(p().testRecords, 64, 1, "2");
  JDQFile::SetHeaderText(p().testRecords, 63, 1, "0.30");
  JDQFile::SetHeaderText(p().testRecords, 69, 1, "0");
  setType(1, 9);
  show(*dlg);
  EXPECT_EQ(text(S::kModeButton), "≤");
  EXPECT_EQ(text(S::kStableSettlement), "0.05");
  EXPECT_EQ(text(S::kCross), "√交叉");
  EXPECT_EQ(drv::textColor(*dlg, S::kCross), kBlue);
  EXPECT_EQ(drv::textColor(*dlg, S::kNotCross), kBlack);
  EXPECT_EQ(text(S::kOverModeButton), "收敛");
  EXPECT_FALSE(drv::enabled(*dlg, S::kOverStable));
  struct Step {
    std::string caption;
    int mode;
    bool judges;
  };
  const Step cycle[] = {{"<", 0, true}, {"收敛", 2, false}, {"不判稳", 3, false}, {"≤", 1, true}};
  for (const Step& s : cycle) {
    SCOPED_TRACE(s.caption);
    ASSERT_TRUE(drv::tap(*dlg, S::kModeButton));
    EXPECT_EQ(text(S::kModeButton), s.caption);
    EXPECT_EQ(dlg->form().judgementMode, s.mode);
    EXPECT_EQ(drv::enabled(*dlg, S::kStableSettlement), s.judges);
    EXPECT_EQ(text(S::kStableSettlement), s.judges ? "0.05" : "");
    EXPECT_EQ(drv::enabled(*dlg, S::kCross), s.judges);
    EXPECT_EQ(text(S::kCross), s.judges ? "√交叉" : "交叉");
    EXPECT_EQ(text(S::kNotCross), "不交叉");
    EXPECT_EQ(status(), kParameterChanged);
  }
  // The over-characteristic set: "收敛" → "不判稳" → "≤" (settlement and cross flag from the file).
  ASSERT_TRUE(drv::tap(*dlg, S::kOverModeButton));
  EXPECT_EQ(text(S::kOverModeButton), "不判稳");
  ASSERT_TRUE(drv::tap(*dlg, S::kOverModeButton));
  EXPECT_EQ(text(S::kOverModeButton), "≤");
  EXPECT_EQ(dlg->form().overJudgementMode, 1);
  EXPECT_TRUE(drv::enabled(*dlg, S::kOverStable));
  EXPECT_EQ(text(S::kOverStable), "0.30");
  EXPECT_EQ(text(S::kOverCross), "交叉");
  EXPECT_EQ(text(S::kOverNotCross), "√不交叉");
  EXPECT_EQ(dlg->form().overCrossFlag, 0);
  // Cross buttons.
  ASSERT_TRUE(drv::tap(*dlg, S::kNotCross));
  EXPECT_EQ(text(S::kCross), "交叉");
  EXPECT_EQ(text(S::kNotCross), "√不交叉");
  EXPECT_EQ(drv::textColor(*dlg, S::kNotCross), kBlue);
  EXPECT_EQ(drv::textColor(*dlg, S::kCross), kBlack);
  EXPECT_EQ(dlg->form().crossFlag, 0);
  ASSERT_TRUE(drv::tap(*dlg, S::kOverCross));
  EXPECT_EQ(text(S::kOverCross), "√交叉");
  EXPECT_EQ(dlg->form().overCrossFlag, 1);

  // The refill unit of a plate test.
  p().testType = 0;
  reopen();
  EXPECT_EQ(text(S::kRefillUnit), "固定值");
  EXPECT_EQ(text(S::kRefillLabel), "补载下限kPa");
  EXPECT_EQ(text(S::kControlLoadLabel), "当前控载值kPa");
  ASSERT_TRUE(drv::tap(*dlg, S::kRefillUnit));
  EXPECT_EQ(text(S::kRefillUnit), "百分比");
  EXPECT_EQ(text(S::kRefillLabel), "补载下限%");
  EXPECT_EQ(dlg->refillUnitMode(), 1);
  EXPECT_EQ(status(), kParameterChanged);
  ASSERT_TRUE(drv::tap(*dlg, S::kRefillUnit));
  EXPECT_EQ(text(S::kRefillLabel), "补载下限kPa");
  EXPECT_EQ(dlg->refillUnitMode(), 0);
  JDQFile::SetHeaderText(p().testRecords, 17, 2, "1");
  reopen();
  EXPECT_EQ(text(S::kRefillUnit), "百分比");
  EXPECT_EQ(text(S::kRefillLabel), "补载下限 %");
  EXPECT_EQ(dlg->refillUnitMode(), 1);

  // The pile-tip soil of standard 15 (self-balanced), fine soil stored.
  JDQFile::SetHeaderText(p().testRecords, 67, 3, "1");
  setType(2, 15);
  reopen();
  EXPECT_TRUE(drv::visible(*dlg, S::kCoarseSoil));
  EXPECT_EQ(text(S::kExtraLabel), "桩端土层");
  EXPECT_EQ(text(S::kFineSoil), "√细粒土");
  EXPECT_EQ(drv::textColor(*dlg, S::kFineSoil), kBlue);
  ASSERT_TRUE(drv::tap(*dlg, S::kCoarseSoil));
  EXPECT_EQ(text(S::kCoarseSoil), "√粗粒土");
  EXPECT_EQ(text(S::kFineSoil), "细粒土");
  EXPECT_EQ(drv::textColor(*dlg, S::kCoarseSoil), kBlue);
  EXPECT_EQ(drv::textColor(*dlg, S::kFineSoil), kBlack);
  EXPECT_EQ(text(S::kJudgeTime), "30");
  EXPECT_EQ(dlg->form().soilType, 0);
  ASSERT_TRUE(drv::tap(*dlg, S::kFineSoil));
  EXPECT_EQ(text(S::kJudgeTime), "60");
  EXPECT_EQ(dlg->form().soilType, 1);
  // Another standard hides the soil buttons.
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1 + 1));
  EXPECT_FALSE(drv::visible(*dlg, S::kCoarseSoil));
  EXPECT_FALSE(drv::visible(*dlg, S::kExtraLabel));
}

TEST_F(GuiFan, EveryKeypadFieldComesBackToTheFieldItsCaptionNames) {
  // The user-input standard opens every field; standard 72 adds the second maximum load.
  setType(1, 9);
  show(*dlg);
  struct Field {
    int edit;
    std::string caption;
    int maxLength, mode;
    std::string typed;
  };
  std::vector<Field> fields = {
      {S::kRefillLower, "补载下限kN", 5, kKeypadDecimal, "12.5"},
      {S::kSingleStep, "单级加荷值kN", 7, kKeypadDecimal, "110"},
      {S::kMaxLoad, "最大加荷值kN", 7, kKeypadDecimal, "1100"},
      {S::kHoldTime, "维荷时间(分)", 4, kKeypadInteger, "61"},
      {S::kJudgeTime, "判稳时间(分)", 4, kKeypadInteger, "16"},
      {S::kStableSettlement, "稳定沉降mm", 4, kKeypadDecimal, "0.2"},
      {S::kJudgeCount, "判稳次数", 4, kKeypadInteger, "3"},
      {S::kUnloadSteps, "卸载级数", 3, kKeypadInteger, "4"},
      {S::kNonZeroTime, "非零测试时间", 3, kKeypadInteger, "17"},
      {S::kZeroTime, "回零测试时间", 4, kKeypadInteger, "181"},
      {S::kCharacteristic, "承载力特征值kN", 7, kKeypadDecimal, "450"},
      {S::kOverStable, "超特征值稳定沉降", 4, kKeypadDecimal, "0.3"},
      {S::kOverHoldTime, "超特征值维荷时间", 4, kKeypadInteger, "62"},
      {S::kOverJudgeTime, "超特征值判稳时间", 4, kKeypadInteger, "18"},
      {S::kOverJudgeCount, "超特征值判稳次数", 4, kKeypadInteger, "2"},
  };
  for (int k = 1; k <= 7; ++k) {
    fields.push_back({k < 7 ? S::kLoadInterval1 + k - 1 : S::kLoadInterval7, "加载间隔(分)" + std::to_string(k), 3,
                      kKeypadInteger, std::to_string(20 + k)});
    fields.push_back({k < 7 ? S::kUnloadInterval1 + k - 1 : S::kUnloadInterval7, "卸载间隔(分)" + std::to_string(k), 3,
                      kKeypadInteger, std::to_string(40 + k)});
  }
  // The over-characteristic settlement is open in a judging mode.
  ASSERT_TRUE(drv::tap(*dlg, S::kOverModeButton));
  ASSERT_TRUE(drv::tap(*dlg, S::kOverModeButton));
  ASSERT_TRUE(drv::tap(*dlg, S::kOverModeButton));
  ASSERT_EQ(text(S::kOverModeButton), "≤");
  const KeypadRequest& r = p().keypad;
  for (const Field& f : fields) {
    SCOPED_TRACE(f.caption);
    ASSERT_TRUE(drv::tap(*dlg, f.edit));
    EXPECT_EQ(r.caption, f.caption);
    EXPECT_EQ(r.text, text(f.edit));
    EXPECT_EQ(r.maxLength, f.maxLength);
    EXPECT_EQ(r.mode, f.mode);
    EXPECT_EQ(r.requester, kRequesterStandard);
    EXPECT_EQ(r.typedCount, 0);
    EXPECT_FALSE(dlg->isWindowVisible());
    EXPECT_TRUE(key->isWindowVisible());
    typeOnKeypad(f.typed);
    EXPECT_TRUE(dlg->isWindowVisible());
    EXPECT_EQ(text(f.edit), f.typed);
    EXPECT_EQ(r.requester, 0);
    EXPECT_EQ(status(), kParameterChanged);
    EXPECT_EQ(ui::focusWindow(), drv::control(*dlg, S::kOk));
  }
  // Nothing typed went into another field.
  for (const Field& f : fields) EXPECT_EQ(text(f.edit), f.typed) << f.caption;

  // The control load proposes the single-step and maximum loads of the standard.
  struct Proposal {
    int code, type;
    std::string control, step, max;
  };
  const Proposal proposals[] = {{1, 1, "30", "30", "240"}, {0, 1, "30", "10", "100"}, {1, 1, "0.5", "1", "8"},
                                {10, 0, "100", "50", "500"}, {73, 1, "0.8", "1", "10"}};
  for (const Proposal& c : proposals) {
    SCOPED_TRACE(c.code);
    setType(c.type, c.code);
    reopen();
    ASSERT_EQ(dlg->selectedCode(), c.code);
    ASSERT_TRUE(drv::tap(*dlg, S::kControlLoad));
    EXPECT_EQ(r.caption, c.type == 0 ? "当前控载值kPa" : "当前控载值kN");
    EXPECT_EQ(r.maxLength, 7);
    EXPECT_EQ(r.mode, kKeypadDecimal);
    typeOnKeypad(c.control);
    EXPECT_EQ(text(S::kControlLoad), c.control);
    EXPECT_EQ(text(S::kSingleStep), c.step);
    EXPECT_EQ(text(S::kMaxLoad), c.max);
    if (c.code == 10) {
      EXPECT_EQ(text(S::kCharacteristic), "250");
    }
  }
  // Standard 72: the maximum load is Ps and the second one Pg, an integer field of seven.
  setType(1, 72);
  reopen();
  EXPECT_EQ(text(S::kMaxLoadLabel), "最大加荷值Ps");
  ASSERT_TRUE(drv::visible(*dlg, S::kExtraValue));
  ASSERT_TRUE(drv::tap(*dlg, S::kExtraValue));
  EXPECT_EQ(r.caption, "最大加荷值Pg");
  EXPECT_EQ(r.maxLength, 7);
  EXPECT_EQ(r.mode, kKeypadInteger);
  typeOnKeypad("900");
  EXPECT_EQ(text(S::kExtraValue), "900");
  ASSERT_TRUE(drv::tap(*dlg, S::kMaxLoad));
  typeOnKeypad("800");
  EXPECT_EQ(text(S::kMaxLoad), "800");
  EXPECT_EQ(text(S::kExtraValue), "900");
  // A keypad answer is kept until the dialog is shown afresh.
  reopen();
  EXPECT_EQ(text(S::kExtraValue), "");
}

TEST_F(GuiFan, EveryRefusalOfOkInItsOrderLeavesTheChannelUnchanged) {
  struct Case {
    int code;
    int edit;
    std::string typed;
    std::string message;
  };
  const Case cases[] = {
      {5, S::kControlLoad, "", kControlLoadInvalid},
      {5, S::kControlLoad, "0", kControlLoadZero},
      {5, S::kControlLoad, "0.000", kControlLoadZero},
      {5, S::kRefillLower, "", kRefillLowerInvalid},
      {5, S::kSingleStep, "", kSingleStepInvalid},
      {5, S::kMaxLoad, "", kMaxLoadInvalid},
      {10, S::kCharacteristic, "", kCharacteristicInvalid},
      {72, S::kExtraValue, "", kSecondMaxLoadInvalid},
      {9, S::kLoadInterval1 + 2, "0", "加载间隔(分)3不能小于1！"},
      {9, S::kHoldTime, "", "维荷时间(分)输入有误！"},
      {5, S::kMaxLoad, "200", kControlLoadAboveMaximum},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    setType(c.code == 10 ? 0 : 1, c.code);
    p().controlLoad = 300.0f;  // shown while the set-up is open
    JDQFile::SetHeaderText(p().testRecords, 5, 2, "10.0");
    JDQFile::SetHeaderText(p().testRecords, 6, 2, "300.00");
    JDQFile::SetHeaderText(p().testRecords, 7, 2, "3000.00");
    JDQFile::SetHeaderText(p().testRecords, 71, 3, "250.00");
    JDQFile::SetHeaderText(p().testRecords, 20, 3, "900.00");
    JDQFile::SetHeaderText(p().testRecords, 13, 2, "60");
    for (int k = 16; k <= 27; ++k) JDQFile::SetHeaderText(p().testRecords, k, 1, "5");
    reopen();
    const std::vector<TestRecord> before = p().testRecords;
    const auto levels = p().levelLoads;
    const std::string path = p().testFilePath;
    if (c.typed.empty()) {
      // The keypad cannot bring back an empty text; the field is emptied as a refill would leave it.
      ui::Window* w = drv::control(*dlg, c.edit);
      ASSERT_NE(w, nullptr);
      w->setWindowText("");
    } else {
      type(c.edit, c.typed);
    }
    ASSERT_TRUE(drv::tap(*dlg, S::kOk));
    EXPECT_EQ(status(), c.message);
    EXPECT_EQ(drv::textColor(*dlg, S::kStatus), kRed);
    EXPECT_TRUE(dlg->isWindowVisible());
    EXPECT_EQ(std::memcmp(before.data(), p().testRecords.data(), before.size() * sizeof(TestRecord)), 0);
    EXPECT_EQ(p().standardCode.load(), c.code);
    EXPECT_EQ(p().levelLoads, levels);
    EXPECT_EQ(p().testFilePath, path);
  }
  // During a test a control load of 0 passes the checks.
  setType(1, 5);
  reopen();
  p().fileLoaded = 0;
  p().testRunning = 1;
  type(S::kControlLoad, "0");
  ASSERT_TRUE(drv::tap(*dlg, S::kOk));
  EXPECT_FALSE(dlg->isWindowVisible()) << status();
  EXPECT_EQ(p().controlLoad.load(), 0.0f);
}

namespace {

// What the operator typed for one standard, and the values OK must commit for it.
struct Typed {
  int type, code;
  std::string control, refill, step, max, extra;
};

// The values for the same entry, taken from the standard's own schedule and defaults.
StandardSettings ExpectedSettings(const Typed& t, const StandardForm& form, float extra) {
  StandardSettings s;
  s.code = t.code;
  s.controlLoad = std::strtof(t.control.c_str(), nullptr);
  s.refillLower = std::strtof(t.refill.c_str(), nullptr);
  s.singleStep = std::strtof(t.step.c_str(), nullptr);
  s.maxLoad = std::strtof(t.max.c_str(), nullptr);
  if (const StandardDefaults* d = FindStandardDefaults(t.code)) {
    const TimingRow& row = StandardTimingTable()[static_cast<std::size_t>(d->row)];
    for (std::size_t k = 0; k < 6; ++k) {
      s.loadIntervals[k] = static_cast<float>(row[k]);
      s.unloadIntervals[k] = static_cast<float>(row[6 + k]);
    }
    s.loadIntervals[6] = static_cast<float>(row[kLoadInterval7]);
    s.unloadIntervals[6] = static_cast<float>(row[kUnloadInterval7]);
    s.holdTime = static_cast<float>(row[kHoldTime]);
    s.judgeTime = static_cast<float>(row[kJudgeTime]);
    s.judgeCount = static_cast<float>(row[kJudgeCount]);
    s.unloadSteps = static_cast<float>(row[kUnloadSteps]);
    s.nonZeroTime = static_cast<float>(row[kNonZeroTime]);
    s.zeroTime = static_cast<float>(row[kZeroTime]);
    s.stableSettlement = std::strtof(d->stableSettlement, nullptr);
    EXPECT_EQ(form.judgementMode, d->mode) << t.code;
    EXPECT_EQ(form.crossFlag, d->cross) << t.code;
    if (t.code == 10) {
      s.overHoldTime = s.holdTime;
      s.overJudgeTime = s.judgeTime;
      s.overJudgeCount = s.judgeCount;
      s.overStableSettlement = 0.25f;
      s.characteristic = 2.5f * s.controlLoad;  // proposed with the control load
    }
  }
  s.judgementMode = form.judgementMode;
  s.crossFlag = form.crossFlag;
  s.overJudgementMode = form.overJudgementMode;
  s.overCrossFlag = form.overCrossFlag;
  s.soilType = form.soilType;
  s.extraValue = extra;
  return s;
}

// A second channel record holding what OK reads of the first one.
void CopyForCommit(const Parameter& from, Parameter& to) {
  to.testRecords = from.testRecords;
  to.testType = from.testType.load();
  to.fileLoaded = from.fileLoaded.load();
  to.testRunning = from.testRunning.load();
  to.controlLoad = from.controlLoad.load();
  to.setupValue = from.setupValue;
  to.testFilePath = from.testFilePath;
  to.levelLoads = from.levelLoads;
  to.ParameterList.extendWithDefaults();
  for (int item : {100, 101}) to.ParameterList.set(item, from.ParameterList.item(item));
}

}  // namespace

TEST_F(GuiFan, OkCommitsWhatCommitStandardSettingsCommitsForTheSameValues) {
  const Typed table[] = {
      {1, 5, "300", "10", "300", "3000", ""},     // slow maintained load
      {1, 4, "250", "5", "250", "2500", ""},      // quick maintained load
      {2, 15, "400", "8", "400", "4000", ""},     // self-balanced with the pile-tip soil
      {0, 10, "200", "10", "100", "1000", ""},    // plate test with the characteristic value
      {4, 62, "60", "10", "60", "600", ""},       // cyclic lateral
      {1, 72, "500", "10", "500", "2500", "900"}, // two maximum loads
      {5, 9, "100", "10", "100", "800", ""},      // the user's own schedule on an uplift test
  };
  Parameter twin;
  float extra = 0.0f;
  for (const Typed& t : table) {
    SCOPED_TRACE(t.code);
    setType(t.type, t.code);
    p().testFilePath = "\\Storage Card\\T1-P1.krv";
    reopen();
    ASSERT_EQ(dlg->selectedCode(), t.code);
    type(S::kControlLoad, t.control);
    type(S::kRefillLower, t.refill);
    type(S::kSingleStep, t.step);
    type(S::kMaxLoad, t.max);
    if (!t.extra.empty()) {
      type(S::kExtraValue, t.extra);
      extra = std::strtof(t.extra.c_str(), nullptr);
    }
    if (t.code == 15) {
      ASSERT_TRUE(drv::tap(*dlg, S::kCoarseSoil));
    }
    // The user-input standard shows the schedule of the file (none yet): the operator types one.
    std::array<float, 7> intervals{};
    if (t.code == 9) {
      for (int k = 0; k < 7; ++k) {
        type(k < 6 ? S::kLoadInterval1 + k : S::kLoadInterval7, std::to_string(10 + k));
        type(k < 6 ? S::kUnloadInterval1 + k : S::kUnloadInterval7, std::to_string(10 + k));
        intervals[static_cast<std::size_t>(k)] = static_cast<float>(10 + k);
      }
      type(S::kHoldTime, "90");
    }
    CopyForCommit(p(), twin);
    StandardSettings expected = ExpectedSettings(t, dlg->form(), extra);
    if (t.code == 9) {
      expected.loadIntervals = intervals;
      expected.unloadIntervals = intervals;
      expected.holdTime = 90.0f;
      // The rest of the schedule as the file's header holds it from the OKs before.
      auto header = [this](int record, int field) {
        return static_cast<float>(std::atoi(JDQFile::HeaderText(p().testRecords, record, field).c_str()));
      };
      expected.judgeTime = header(14, 2);
      expected.judgeCount = header(15, 2);
      expected.unloadSteps = header(28, 1);
      expected.nonZeroTime = header(29, 1);
      expected.zeroTime = header(30, 1);
      expected.overHoldTime = header(66, 1);
      expected.overJudgeTime = header(67, 1);
      expected.overJudgeCount = header(68, 1);
      EXPECT_EQ(expected.nonZeroTime, 10.0f) << "standard 72's";
      expected.stableSettlement = std::strtof(JDQFile::HeaderText(p().testRecords, 16, 2).c_str(), nullptr);
      expected.overStableSettlement = std::strtof(JDQFile::HeaderText(p().testRecords, 63, 1).c_str(), nullptr);
    }
    if (t.code == 15) {
      EXPECT_EQ(expected.soilType, 0);
    }
    ASSERT_TRUE(drv::tap(*dlg, S::kOk));
    ASSERT_FALSE(dlg->isWindowVisible()) << status();
    const StandardCommitResult r = CommitStandardSettings(twin, expected);
    ASSERT_TRUE(r.accepted);
    EXPECT_TRUE(r.showMainWindow);
    for (int k = 0; k < static_cast<int>(twin.testRecords.size()); ++k) {
      const TestRecord& a = p().testRecords[static_cast<std::size_t>(k)];
      const TestRecord& b = twin.testRecords[static_cast<std::size_t>(k)];
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "header record " << k << ": "
                                                  << JDQFile::HeaderText(p().testRecords, k, 1) << "|"
                                                  << JDQFile::HeaderText(p().testRecords, k, 2) << " vs "
                                                  << JDQFile::HeaderText(twin.testRecords, k, 1) << "|"
                                                  << JDQFile::HeaderText(twin.testRecords, k, 2);
    }
    EXPECT_EQ(p().standardCode.load(), t.code);
    EXPECT_EQ(p().controlLoad.load(), twin.controlLoad.load());
    EXPECT_EQ(p().stepLoad2.load(), twin.stepLoad2.load());
    EXPECT_EQ(p().stepLoad3.load(), twin.stepLoad3.load());
    EXPECT_EQ(p().stepLoad4.load(), twin.stepLoad4.load());
    EXPECT_EQ(p().levelMinutesLast, twin.levelMinutesLast);
    EXPECT_EQ(p().stableSettlement.load(), twin.stableSettlement.load());
    EXPECT_EQ(p().levelLoads, twin.levelLoads);
    EXPECT_EQ(p().testFilePath, twin.testFilePath);
    EXPECT_EQ(p().testFilePath, t.code == 62 ? "\\Storage Card\\T1-P1.krs" : "\\Storage Card\\T1-P1.krv");
    EXPECT_EQ(p().rotatingValue1.load(), twin.rotatingValue1.load());
    for (std::size_t k = 0; k < p().levelMinutes.size(); ++k) EXPECT_EQ(p().levelMinutes[k], twin.levelMinutes[k]) << k;
  }
}

TEST_F(GuiFan, UserInputStandardCommitsTheTypedScheduleAndShowsItAgain) {
  setType(1, 9);
  JDQFile::SetHeaderText(p().testRecords, 18, 2, "0");
  JDQFile::SetHeaderText(p().testRecords, 16, 2, "0.10");
  show(*dlg);
  type(S::kControlLoad, "100");
  type(S::kRefillLower, "5");
  type(S::kSingleStep, "100");
  type(S::kMaxLoad, "800");
  const int schedule[20] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 90, 30, 2, 3, 40, 50, 15, 16};
  const int edits[20] = {1093, 1094, 1095, 1096, 1097, 1098, 1099, 1100, 1101, 1102,
                         1103, 1104, 1088, 1089, 1092, 1105, 1106, 1107, 1109, 1110};
  for (int k = 0; k < 20; ++k) type(edits[k], std::to_string(schedule[k]));
  ASSERT_TRUE(drv::tap(*dlg, S::kOk));
  ASSERT_FALSE(dlg->isWindowVisible()) << status();
  EXPECT_EQ(p().holdMinutes, 90);
  EXPECT_EQ(p().levelMinutes[6], 15);
  EXPECT_EQ(p().levelMinutes[13], 16);
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 57, 1), "15");
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 28, 1), "3");
  // Shown again, the dialog reads the schedule back from the header records.
  show(*dlg);
  for (int k = 0; k < 20; ++k) EXPECT_EQ(text(edits[k]), std::to_string(schedule[k])) << edits[k];
  EXPECT_EQ(text(S::kControlLoad), "100");
  EXPECT_EQ(text(S::kMaxLoad), "800");
}

TEST_F(GuiFan, OkDuringATestRewritesTheFileHeaderTextsAndItsBackup) {
  setType(1, 5);
  Parameter& c = p();
  JDQFile::SetHeaderText(c.testRecords, 4, 2, "300.00");
  JDQFile::SetHeaderText(c.testRecords, 6, 2, "300.00");
  JDQFile::SetHeaderText(c.testRecords, 7, 2, "3000.00");
  c.testFilePath = "\\Storage Card\\2026007-P3.krv";
  ASSERT_EQ(JDQFile::CreateTestFile(c.testFilePath, c.testRecords, c), 1);
  c.controlLoad = 300.0f;
  c.fileLoaded = 0;
  c.testRunning = 1;
  show(*dlg);
  EXPECT_EQ(text(S::kControlLoad), "300") << "a running test shows its file's control load";
  // The standard stays; the control load is raised to the next level by hand.
  ASSERT_TRUE(drv::tap(*dlg, S::kStandard1));
  EXPECT_EQ(status(), S::kTestStarted);
  type(S::kControlLoad, "600");
  EXPECT_EQ(text(S::kSingleStep), "300") << "no proposal during a test";
  ASSERT_TRUE(drv::tap(*dlg, S::kOk));
  ASSERT_FALSE(dlg->isWindowVisible()) << status();
  EXPECT_EQ(c.controlLoad.load(), 600.0f);
  EXPECT_EQ(c.controlRequest.load(), 2);
  for (const std::string& path : {c.testFilePath, JDQFile::BackupPathFor(c.testFilePath, 1)}) {
    SCOPED_TRACE(path);
    std::vector<TestRecord> file;
    ASSERT_EQ(JDQFile::LoadTestFile(path, file), 1);
    EXPECT_EQ(JDQFile::HeaderText(file, 4, 2), "600.00");
    EXPECT_EQ(JDQFile::HeaderText(file, 69, 3), "5");
    EXPECT_EQ(JDQFile::HeaderText(file, 13, 2), "120");
  }
}

TEST_F(GuiFan, PicturesOfASelfBalancedTestAndOfTheUserInputStandardOnTheBoardWithoutFlash) {
  // A self-balanced test under JT/T738-2009 on fine soil: the first of two pages of eight standards.
  setType(2, 15);
  p().controlLoad = 800.0f;
  JDQFile::SetHeaderText(p().testRecords, 5, 2, "10.0");
  JDQFile::SetHeaderText(p().testRecords, 6, 2, "800.00");
  JDQFile::SetHeaderText(p().testRecords, 7, 2, "8000.00");
  JDQFile::SetHeaderText(p().testRecords, 7, 3, "2026015");
  JDQFile::SetHeaderText(p().testRecords, 8, 1, "S2");
  JDQFile::SetHeaderText(p().testRecords, 67, 3, "1");
  p().headerFloat0 = 1.0f;
  show(*dlg);
  EXPECT_EQ(dlg->pageCount(), 2);
  for (const std::string& b : buttons()) EXPECT_NE(b, S::kEmptyButton);
  EXPECT_EQ(text(S::kStandard1), "√JT/T738-2009自平衡");
  EXPECT_EQ(text(S::kFineSoil), "√细粒土");
  saveShot(*dlg, "standard-selection.png");

  // The user-input standard of a compression test, from the other board's template: the last page.
  dlg->showWindow(ui::SW_HIDE);
  dlg->destroyWindow();
  ASSERT_TRUE(dlg->create(S::kTemplateBoard0, nullptr));
  setType(1, 9);
  JDQFile::SetHeaderText(p().testRecords, 18, 2, "1");
  JDQFile::SetHeaderText(p().testRecords, 16, 2, "0.10");
  JDQFile::SetHeaderText(p().testRecords, 65, 1, "1");
  JDQFile::SetHeaderText(p().testRecords, 63, 1, "0.25");
  for (int k = 16; k <= 27; ++k) JDQFile::SetHeaderText(p().testRecords, k, 1, k < 22 ? "10" : "15");
  JDQFile::SetHeaderText(p().testRecords, 13, 2, "60");
  JDQFile::SetHeaderText(p().testRecords, 14, 2, "30");
  JDQFile::SetHeaderText(p().testRecords, 15, 2, "2");
  show(*dlg);
  EXPECT_EQ(dlg->page(), dlg->pageCount());
  EXPECT_TRUE(drv::enabled(*dlg, S::kHoldTime));
  EXPECT_TRUE(drv::enabled(*dlg, S::kModeButton));
  EXPECT_EQ(text(S::kCross), "√交叉");
  EXPECT_EQ(text(S::kOverGroup), "超承载力特征值稳定标准");
  EXPECT_EQ(text(S::kOverStableLabel), "超特征值沉降");
  saveShot(*dlg, "standard-selection-user-input.png");
}
