// The on-screen keypads: the numeric keypad Key and the letter keyboard KeyABC. A dialog that needs a
// value fills the keypad request of the channels, hides itself and shows Key; the keypad edits a copy
// of the value, and OK writes it back into the request and shows the requesting dialog again.
#pragma once

#include <string>

#include "app/monitor_dialogs.h"

// Input modes of a keypad request.
inline constexpr int kKeypadDecimal = 0;
inline constexpr int kKeypadInteger = 1;
inline constexpr int kKeypadText = 2;
inline constexpr int kKeypadSignedDecimal = 3;

class KeypadDialog : public MonitorDialog {
 public:
  static constexpr int kLabel = 1242;
  static constexpr int kEdit = 1241;
  static constexpr int kBackspace = 1137;

  explicit KeypadDialog(int templateId);

  // The request of the keypad's channel, null when it has none.
  KeypadRequest* Request() const;
  std::string EditText() const { return getDlgItemText(kEdit); }

 protected:
  // Adds a key's text: the first key of an entry replaces the shown value, later keys are added at
  // the end; nothing happens once the typed count or the text would pass the maximum length.
  bool Append(const std::string& keyText);
  // Removes the last character; returns it (empty when the edit was empty).
  std::string Backspace();
  void Clear();
  void StoreText();
  // Hides the keypad and shows the dialog of the request's requester code.
  void ReturnToRequester();
  void SwitchTo(MonitorSlot other);
  void FocusEdit();
  // Label and edit from the request.
  virtual void OnActivated();
};

class Key : public KeypadDialog {
 public:
  static constexpr int kStar = 1130;
  static constexpr int kZero = 1131;
  static constexpr int kHash = 1132;
  static constexpr int kPoint = 1133;
  static constexpr int kSlash = 1134;
  static constexpr int kMinus = 1135;
  static constexpr int kAbc = 1136;
  static constexpr int kClear = 1138;

  Key();
  const char* ClassName() const override { return "Key"; }
  bool preTranslateMessage(platform::ui::Message& msg) override;

  void OnBnClickedOk();
  void OnBnClickedCancel();

 protected:
  void OnActivated() override;

 private:
  void OnKey(int id);
  void ChangeSign();
  void EnableKey(int id, bool on);
};

class KeyABC : public KeypadDialog {
 public:
  static constexpr int kPoint = 1164;
  static constexpr int kCase = 1165;
  static constexpr int kPercent = 1173;
  static constexpr int kComma = 1174;
  static constexpr int kClear = 1175;
  static constexpr int kDigits = 1176;
  static constexpr int kAt = 1177;

  KeyABC();
  const char* ClassName() const override { return "KeyABC"; }
  // The control ids of the 26 letter keys in typewriter order (q..p, a..l, z..m).
  static const int* LetterIds();

 private:
  void OnCase();
};
