#include "app/keypads.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/widgets.h"
#include "model/helpers.h"
#include "platform/ui/controls.h"

using namespace platform::ui;

namespace {

constexpr int kKeyFont = 34;
constexpr int kEditFont = 60;
constexpr int kBold = 700;
const char* const kNoTime = "— : — : —";

const char* const kLetters = "qwertyuiopasdfghjklzxcvbnm";
constexpr int kLetterIds[26] = {1145, 1146, 1147, 1148, 1149, 1150, 1151, 1152, 1153, 1154, 1155, 1156, 1157,
                                1158, 1159, 1160, 1161, 1162, 1163, 1166, 1167, 1168, 1169, 1170, 1171, 1172};

ControlTemplate keyButton(int id, const std::string& caption, Rect r) {
  return {id, ControlClass::Button, caption, r, 0, true, true, kKeyFont, kBold};
}

void addHead(DialogTemplate& t) {
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.controls.push_back({KeypadDialog::kLabel, ControlClass::Static, "", {20, 14, 1004, 84}, SS_CENTERIMAGE, true,
                        true, kKeyFont, kBold});
  t.controls.push_back(
      {KeypadDialog::kEdit, ControlClass::Edit, "", {20, 92, 1004, 196}, WS_BORDER, true, true, kEditFont, kBold});
}

// Four rows of five keys: digits with the symbols beside them, then the actions.
DialogTemplate keyTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  addHead(t);
  const int x0 = 20, y0 = 214, w = 188, h = 122, gx = 11, gy = 12;
  auto at = [&](int col, int row) {
    return Rect{x0 + col * (w + gx), y0 + row * (h + gy), x0 + col * (w + gx) + w, y0 + row * (h + gy) + h};
  };
  const std::vector<std::pair<int, const char*>> grid[4] = {
      {{1121, "1"}, {1122, "2"}, {1123, "3"}, {Key::kStar, "*"}, {Key::kAbc, "ABC"}},
      {{1124, "4"}, {1125, "5"}, {1126, "6"}, {Key::kHash, "#"}, {KeypadDialog::kBackspace, "退格"}},
      {{1127, "7"}, {1128, "8"}, {1129, "9"}, {Key::kSlash, "/"}, {Key::kClear, "重输"}},
      {{Key::kPoint, "."}, {Key::kZero, "0"}, {Key::kMinus, "-"}, {IDOK, "确定"}, {IDCANCEL, "退出"}},
  };
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 5; ++col) t.controls.push_back(keyButton(grid[row][col].first, grid[row][col].second, at(col, row)));
  return t;
}

// Letters in three typewriter rows, then the symbols and actions.
DialogTemplate keyAbcTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  addHead(t);
  const int x0 = 20, y0 = 214, w = 92, h = 120, gx = 6, gy = 12;
  auto at = [&](int col, int row, int span = 1) {
    return Rect{x0 + col * (w + gx), y0 + row * (h + gy), x0 + (col + span) * (w + gx) - gx, y0 + row * (h + gy) + h};
  };
  for (int i = 0; i < 10; ++i) t.controls.push_back(keyButton(kLetterIds[i], std::string(1, char(std::toupper(kLetters[i]))), at(i, 0)));
  for (int i = 10; i < 19; ++i)
    t.controls.push_back(keyButton(kLetterIds[i], std::string(1, char(std::toupper(kLetters[i]))), at(i - 10, 1)));
  t.controls.push_back(keyButton(KeypadDialog::kBackspace, "退格", at(9, 1)));
  t.controls.push_back(keyButton(KeyABC::kCase, "大写", at(0, 2)));
  for (int i = 19; i < 26; ++i)
    t.controls.push_back(keyButton(kLetterIds[i], std::string(1, char(std::toupper(kLetters[i]))), at(i - 18, 2)));
  t.controls.push_back(keyButton(KeyABC::kComma, ",", at(8, 2)));
  t.controls.push_back(keyButton(KeyABC::kPoint, ".", at(9, 2)));
  t.controls.push_back(keyButton(KeyABC::kPercent, "%", at(0, 3)));
  t.controls.push_back(keyButton(KeyABC::kAt, "@", at(1, 3)));
  t.controls.push_back(keyButton(KeyABC::kDigits, "123", at(2, 3, 2)));
  t.controls.push_back(keyButton(KeyABC::kClear, "重输", at(4, 3, 2)));
  t.controls.push_back(keyButton(IDOK, "确定", at(6, 3, 2)));
  t.controls.push_back(keyButton(IDCANCEL, "退出", at(8, 3, 2)));
  return t;
}

TemplateRegistration regKey1{keyTemplate(175)};
TemplateRegistration regKey0{keyTemplate(208)};
TemplateRegistration regAbc1{keyAbcTemplate(176)};
TemplateRegistration regAbc0{keyAbcTemplate(209)};

// "hhmmss" as "hh:mm:ss" (pairs joined by ':').
std::string colonPairs(const std::string& digits) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    if (!out.empty()) out += ':';
    out += digits.substr(i, 2);
  }
  return out;
}

// The digits of a time written with "%02d : %02d : %02d"; empty when it holds no time.
std::string timeDigits(const std::string& text) {
  std::string d;
  for (char c : text) {
    if (c >= '0' && c <= '9') d += c;
    else if (c != ' ' && c != ':') return {};
  }
  return d.size() == 6 ? d : std::string();
}

// The last character of a UTF-8 text.
std::string lastChar(const std::string& s) {
  if (s.empty()) return {};
  std::size_t i = s.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  return s.substr(i);
}

}  // namespace

// ---- common keypad work ---------------------------------------------------------------------------

KeypadDialog::KeypadDialog(int templateId) : MonitorDialog(templateId) {
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    if (LOWORD(m.wParam) == WA_ACTIVE) OnActivated();
    return LRESULT{0};
  });
  onCommand(kBackspace, BN_CLICKED, [this] { Backspace(); });
  onCommand(IDOK, BN_CLICKED, [this] {
    StoreText();
    ReturnToRequester();
  });
  onCommand(IDCANCEL, BN_CLICKED, [this] { ReturnToRequester(); });
}

KeypadRequest* KeypadDialog::Request() const {
  Parameter* p = CurrentChannel();
  return p ? &p->keypad : nullptr;
}

bool KeypadDialog::Append(const std::string& keyText) {
  KeypadRequest* r = Request();
  if (!r) return false;
  if (r->typedCount < 0) r->typedCount = 0;
  if (r->typedCount >= r->maxLength) return false;
  const std::string next = r->typedCount == 0 ? keyText : EditText() + keyText;
  if (Utf8Length(next) > r->maxLength) return false;
  setDlgItemText(kEdit, next);
  ++r->typedCount;
  FocusEdit();
  return true;
}

std::string KeypadDialog::Backspace() {
  KeypadRequest* r = Request();
  std::string t = EditText();
  if (t.empty()) return {};
  const std::string removed = lastChar(t);
  const std::string rest = t.substr(0, t.size() - removed.size());
  setDlgItemText(kEdit, rest);
  if (r) {
    // A backspace on the shown value corrects it: the entry goes on from what is left (and counts it,
    // so the maximum length holds for the text); a typed character is simply taken back.
    if (r->typedCount <= 0) r->typedCount = Utf8Length(rest);
    else --r->typedCount;
  }
  FocusEdit();
  return removed;
}

void KeypadDialog::Clear() {
  if (KeypadRequest* r = Request()) r->typedCount = 0;
  setDlgItemText(kEdit, "");
  FocusEdit();
}

void KeypadDialog::StoreText() {
  if (KeypadRequest* r = Request()) r->text = EditText();
}

void KeypadDialog::ReturnToRequester() {
  showWindow(SW_HIDE);
  KeypadRequest* r = Request();
  if (!r) return;
  if (MonitorDialog* d = KeypadRequester(*this, r->requester)) d->showWindow(SW_SHOW);
}

void KeypadDialog::SwitchTo(MonitorSlot other) {
  StoreText();
  showWindow(SW_HIDE);
  if (MonitorDialog* d = Linked(other)) {
    d->SetCurrentChannel(CurrentChannel());
    d->showWindow(SW_SHOW);
  }
}

void KeypadDialog::FocusEdit() {
  auto* e = item<Edit>(kEdit);
  if (!e) return;
  e->setFocus();
  // The shown value is selected whole until a key is typed (the first key replaces it); after that the
  // caret stands at the end of the text, where the next key goes.
  const KeypadRequest* r = Request();
  if (r && r->typedCount == 0) {
    e->setSel(0, -1);
  } else {
    const int end = Utf8Length(EditText());
    e->setSel(end, end);
  }
}

void KeypadDialog::OnActivated() {
  const KeypadRequest* r = Request();
  if (!r) return;
  setDlgItemText(kLabel, "请输入" + r->caption + ":");
  setDlgItemText(kEdit, r->text);
  if (auto* e = item<Edit>(kEdit)) e->setLimitText(r->maxLength > 0 ? r->maxLength : 0);
  FocusEdit();
}

// ---- Key ------------------------------------------------------------------------------------------

Key::Key() : KeypadDialog(175) {
  onCommandRange(1121, 1135, BN_CLICKED, [this](int id) { OnKey(id); });
  onCommand(kAbc, BN_CLICKED, [this] { SwitchTo(MonitorSlot::KeyABC); });
  onCommand(kClear, BN_CLICKED, [this] {
    Clear();
    if (const KeypadRequest* r = Request(); r && r->mode == kKeypadSignedDecimal) EnableKey(kMinus, true);
  });
  onCommand(kBackspace, BN_CLICKED, [this] {
    const KeypadRequest* r = Request();
    const std::string removed = Backspace();
    if (!r || removed.empty()) return;
    // In the decimal modes a point may follow while the text holds digits and none yet.
    const std::string rest = EditText();
    if (r->mode == kKeypadDecimal || r->mode == kKeypadSignedDecimal)
      EnableKey(kPoint, !rest.empty() && rest.find('.') == std::string::npos);
    if (r->mode == kKeypadSignedDecimal && r->typedCount == 0) EnableKey(kMinus, true);
  });
}

void Key::OnBnClickedOk() {
  StoreText();
  ReturnToRequester();
}

void Key::OnBnClickedCancel() { ReturnToRequester(); }

void Key::EnableKey(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

void Key::OnKey(int id) {
  KeypadRequest* r = Request();
  if (!r) return;
  if (id == kMinus && r->mode == kKeypadSignedDecimal) {
    ChangeSign();
    return;
  }
  std::string text;
  if (id >= 1121 && id <= 1129) text = std::string(1, char('1' + (id - 1121)));
  else if (id == kZero) text = "0";
  else if (id == kStar) text = "*";
  else if (id == kHash) text = "#";
  else if (id == kPoint) text = ".";
  else if (id == kSlash) text = "/";
  else if (id == kMinus) text = "-";
  else return;
  const bool first = r->typedCount <= 0;
  if (!Append(text)) return;
  if (id == kPoint && !first) EnableKey(kPoint, false);
  if (first && (r->mode == kKeypadDecimal || r->mode == kKeypadSignedDecimal)) EnableKey(kPoint, true);
}

void Key::ChangeSign() {
  KeypadRequest* r = Request();
  const std::string t = EditText();
  if (!r || !IsValidNumber(t)) return;
  const std::size_t dot = t.find('.');
  const int decimals = dot == std::string::npos ? 0 : static_cast<int>(t.size() - dot - 1);
  double v = -1.0 * std::strtod(t.c_str(), nullptr);
  if (v == 0.0) v = 0.0;  // no "-0"
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  const std::string next = buf;
  if (Utf8Length(next) > r->maxLength) return;
  setDlgItemText(kEdit, next);
  FocusEdit();
}

void Key::OnActivated() {
  KeypadDialog::OnActivated();
  KeypadRequest* r = Request();
  if (!r) return;
  struct Row {
    bool star, hash, slash, minus, point, abc;
  };
  const Row rows[4] = {{false, false, false, false, false, false},
                       {false, false, false, false, false, false},
                       {false, true, false, true, true, true},
                       {false, false, false, true, false, false}};
  if (r->mode >= 0 && r->mode <= 3) {
    const Row& row = rows[r->mode];
    EnableKey(kStar, row.star);
    EnableKey(kHash, row.hash);
    EnableKey(kSlash, row.slash);
    EnableKey(kMinus, row.minus);
    EnableKey(kPoint, row.point);
    EnableKey(kAbc, row.abc);
  }
  if (r->requester == 7 && r->caption == "系统时间") {
    Parameter* p = CurrentChannel();
    const std::string request = r->text;
    std::string next = request;
    std::string editText = request;
    if (p && p->testRunning.load() == 1) {
      const std::string digits = timeDigits(p->nextReadingText);
      if (digits.empty() || p->nextReadingText == kNoTime) {
        next.clear();
      } else {
        next = digits;
        editText = digits;
      }
    }
    setDlgItemText(kLabel, "请输入系统时间         系统时间: " + colonPairs(request) + "      下次采集时间: " +
                               colonPairs(next));
    setDlgItemText(kEdit, editText);
    FocusEdit();
  }
}

bool Key::preTranslateMessage(Message& msg) {
  // Hardware keys: only digits and the period reach the keypad.
  if (msg.message == WM_KEYDOWN) {
    const auto vk = static_cast<unsigned>(msg.wParam);
    if (!((vk >= '0' && vk <= '9') || vk == VK_OEM_PERIOD)) return true;
  }
  return KeypadDialog::preTranslateMessage(msg);
}

// ---- KeyABC ---------------------------------------------------------------------------------------

const int* KeyABC::LetterIds() { return kLetterIds; }

KeyABC::KeyABC() : KeypadDialog(176) {
  for (int id : kLetterIds)
    onCommand(id, BN_CLICKED, [this, id] { Append(getDlgItemText(id)); });
  for (int id : {kPoint, kPercent, kComma, kAt})
    onCommand(id, BN_CLICKED, [this, id] { Append(getDlgItemText(id)); });
  onCommand(kCase, BN_CLICKED, [this] { OnCase(); });
  onCommand(kClear, BN_CLICKED, [this] { Clear(); });
  onCommand(kDigits, BN_CLICKED, [this] { SwitchTo(MonitorSlot::Key); });
}

void KeyABC::OnCase() {
  const std::string first = getDlgItemText(kLetterIds[0]);
  bool toUpper;
  if (first == "q") toUpper = true;
  else if (first == "Q") toUpper = false;
  else return;
  for (int i = 0; i < 26; ++i)
    setDlgItemText(kLetterIds[i], std::string(1, toUpper ? char(std::toupper(kLetters[i])) : kLetters[i]));
  setDlgItemText(kCase, toUpper ? "大写" : "小写");
}
