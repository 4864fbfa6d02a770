// Owner-drawn controls shared by the dialogs: the channel lamp button, the blue-or-red push button, the
// list whose rows carry their own background colours, and the one-pixel frame.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ui/controls.h"

// The channel lamp of the main window: its face colour shows the state of a channel. It checks its
// state every 200 ms and repaints itself when the state changed.
class CColorButton : public platform::ui::Button {
 public:
  static constexpr unsigned kTimerId = 1;
  static constexpr unsigned kTimerMs = 200;
  static constexpr int kCaptionLimit = 255;  // characters drawn of the caption

  CColorButton();
  // Face colour code: 1 white, 2 green, 3 red, 4 yellow; any other value leaves the face unpainted.
  int state = -1;
  int drawnState() const { return drawnState_; }
  int repaints() const { return repaints_; }  // repaints the timer asked for
  const std::string& drawnCaption() const { return caption_; }

  // The face colour of a state code, false when the state paints no face.
  static bool FaceColor(int state, platform::ui::Color& out);

  void drawItem(platform::ui::DrawItem& item) override;

 private:
  int drawnState_ = -1;
  int repaints_ = 0;
  unsigned itemState_ = 0;
  bool focused_ = false;
  std::string caption_;
};

// A push button of the settings dialogs: a blue face in state 1, a red one otherwise; a red button
// with the focus shows a 5-pixel blue border.
class CMyButton : public platform::ui::Button {
 public:
  CMyButton();
  int state = 1;
  int value2 = 0;
  int value3 = 0;
  void drawItem(platform::ui::DrawItem& item) override;
};

// A report list whose rows can each have their own background colour.
class CColorListCtrl : public platform::ui::ListCtrl {
 public:
  // Sets (or replaces) the background colour of one row; rows without one keep the list's colours.
  void SetItemColor(int row, platform::ui::Color color);
  bool ItemColor(int row, platform::ui::Color& out) const;

 private:
  std::map<int, platform::ui::Color> rowColors_;
};

// Fills the four one-pixel edges of r with the brush (top, right, bottom, left). Returns 1, or 0 for an
// empty rectangle, where nothing is drawn.
int DrawFrame(platform::ui::DC& dc, const platform::ui::Rect& r, const platform::ui::Brush& brush);

// The first `limit` characters of a UTF-8 text, never cutting a character.
std::string Utf8Prefix(const std::string& text, int limit);
// Number of characters of a UTF-8 text.
int Utf8Length(const std::string& text);

// The 42 by 42 marks of the lists whose rows are chosen or marked by a tap: a ticked box (0) and an empty
// box (1).
std::vector<platform::ui::Bitmap> TickBoxImages();
