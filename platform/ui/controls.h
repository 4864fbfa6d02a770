// The controls of the windowing layer: static, button (plain, check box, group box, owner-drawn,
// coloured), edit, report list, tab, slider and progress bar.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ui.h"

namespace platform::ui {

// Static styles.
inline constexpr std::uint32_t SS_LEFT = 0x0;
inline constexpr std::uint32_t SS_CENTER = 0x1;
inline constexpr std::uint32_t SS_RIGHT = 0x2;
inline constexpr std::uint32_t SS_NOTIFY = 0x100;       // taps send STN_CLICKED
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x200;  // text centred vertically
inline constexpr std::uint32_t SS_SUNKEN = 0x1000;

// A text, or a picture (an icon of the status area) drawn centred with the text over it.
class Static : public Window {
 public:
  void setImage(const Bitmap& image) { image_ = image; invalidate(); }
  const Bitmap& image() const { return image_; }
  bool hitTransparent() const override;
  void draw(DC& dc) override;
  LRESULT defWindowProc(Message& m) override;

 private:
  Bitmap image_;
};

// Button styles.
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr std::uint32_t BS_GROUPBOX = 0x7;
inline constexpr std::uint32_t BS_OWNERDRAW = 0xB;
inline constexpr std::uint32_t BS_TYPEMASK = 0xF;

// A push button, check box or group box. A tap (down and up inside) sends BN_CLICKED to the parent.
// An owner-drawn button (BS_OWNERDRAW) draws through drawItem(): override it in a subclass, or the
// parent gets WM_DRAWITEM. setColors() makes a plain button coloured.
class Button : public Window {
 public:
  std::uint32_t buttonType() const { return style() & BS_TYPEMASK; }
  bool getCheck() const { return checked_; }
  void setCheck(bool on);
  bool pressed() const { return pressed_; }
  void setColors(Color face, Color text);
  void clearColors();
  bool hitTransparent() const override { return buttonType() == BS_GROUPBOX; }
  void draw(DC& dc) override;
  LRESULT defWindowProc(Message& m) override;
  // Owner drawing; the default sends WM_DRAWITEM to the parent.
  virtual void drawItem(DrawItem& item);
  // Sets BS_OWNERDRAW (what a subclass does when it takes over a template button).
  void makeOwnerDrawn() { modifyStyle(BS_TYPEMASK, BS_OWNERDRAW); }

 private:
  bool pressed_ = false;
  bool checked_ = false;
  std::optional<Color> face_;
  Color textColor_ = kColorText;
};

// Edit styles.
inline constexpr std::uint32_t ES_LEFT = 0x0;
inline constexpr std::uint32_t ES_CENTER = 0x1;
inline constexpr std::uint32_t ES_RIGHT = 0x2;
inline constexpr std::uint32_t ES_PASSWORD = 0x20;
inline constexpr std::uint32_t ES_READONLY = 0x800;

// A single-line edit. Taking the focus sends EN_SETFOCUS to the parent (a tap gives it the focus);
// typed characters (WM_CHAR) replace the selection; a change by typing sends EN_CHANGE.
class Edit : public Window {
 public:
  // Selection in characters; end -1 means the end of the text (setSel(0, -1) selects all).
  void setSel(int start, int end);
  std::pair<int, int> getSel() const { return {selStart_, selEnd_}; }
  void replaceSel(std::string_view text);
  void setLimitText(int maxChars) { limit_ = maxChars; }  // 0: no limit
  void setReadOnly(bool ro) { modifyStyle(ro ? 0 : ES_READONLY, ro ? ES_READONLY : 0); }
  void draw(DC& dc) override;
  LRESULT defWindowProc(Message& m) override;

 private:
  int selStart_ = 0;
  int selEnd_ = 0;
  int limit_ = 0;
};

// List styles and constants.
inline constexpr std::uint32_t LVS_REPORT = 0x0001;
inline constexpr std::uint32_t LVS_SINGLESEL = 0x0004;
inline constexpr std::uint32_t LVS_SHOWSELALWAYS = 0x0008;
inline constexpr std::uint32_t LVS_NOCOLUMNHEADER = 0x4000;
inline constexpr std::uint32_t LVS_EX_GRIDLINES = 0x0001;
inline constexpr std::uint32_t LVS_EX_CHECKBOXES = 0x0004;
inline constexpr std::uint32_t LVS_EX_FULLROWSELECT = 0x0020;
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_RIGHT = 1;
inline constexpr int LVCFMT_CENTER = 2;
inline constexpr unsigned LVHT_NOWHERE = 0x1;
inline constexpr unsigned LVHT_ONITEMICON = 0x2;
inline constexpr unsigned LVHT_ONITEMLABEL = 0x4;
inline constexpr unsigned LVHT_ONITEMSTATEICON = 0x8;
inline constexpr unsigned LVHT_ONITEM = LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON;
inline constexpr unsigned LVNI_ALL = 0x0;
inline constexpr unsigned LVNI_FOCUSED = 0x1;
inline constexpr unsigned LVNI_SELECTED = 0x2;

struct ListHit {
  int item = -1;
  int subItem = 0;
  unsigned flags = LVHT_NOWHERE;
};

// A list in report view: columns, rows of texts, row background colours, check boxes, a small image per
// row, single selection, scrolling. A tap selects the row (selection mark and focus follow) and sends
// NM_CLICK, a second tap on the same row within 500 ms NM_DBLCLK. A tap on a check box toggles it,
// unless the NM_CLICK handler has already changed that row's check or set the notification's checkSet.
// A vertical drag scrolls. Columns wider than the list scroll sideways: a bar along the bottom shows
// where, and a horizontal drag or a tap on the bar moves them.
class ListCtrl : public Window {
 public:
  int insertColumn(int col, std::string_view heading, int format = LVCFMT_LEFT, int width = 80);
  int columnCount() const { return static_cast<int>(columns_.size()); }
  bool setColumnWidth(int col, int width);
  int getColumnWidth(int col) const;
  std::string columnHeading(int col) const;
  bool setColumnHeading(int col, std::string_view heading);

  void setExtendedStyle(std::uint32_t ex);
  std::uint32_t getExtendedStyle() const { return exStyle_; }

  int insertItem(int row, std::string_view text, int image = -1);  // returns the new row's index
  bool setItemText(int row, int col, std::string_view text);
  std::string getItemText(int row, int col) const;
  bool deleteItem(int row);
  void deleteAllItems();
  int getItemCount() const { return static_cast<int>(rows_.size()); }
  bool setItemImage(int row, int image);
  int getItemImage(int row) const;
  bool setItemData(int row, std::uintptr_t data);
  std::uintptr_t getItemData(int row) const;

  bool setCheck(int row, bool on);
  bool getCheck(int row) const;

  // Row background colours; rows without one use the list's background. Kept by row index.
  void setItemColor(int row, Color c);
  std::optional<Color> itemColor(int row) const;
  // Text colour of a cell as the list draws it; none gives the list's text colour. A subclass answers
  // for its own rows (as an owner answers a custom-draw notification).
  virtual std::optional<Color> itemTextColor(int row, int col) const;

  // Selection (single), focus and selection mark.
  bool setItemState(int row, unsigned state, unsigned mask);  // LVNI_SELECTED, LVNI_FOCUSED
  unsigned getItemState(int row, unsigned mask) const;
  int getNextItem(int start, unsigned flags) const;  // flags LVNI_SELECTED / LVNI_FOCUSED
  int getSelectionMark() const { return selectionMark_; }
  int setSelectionMark(int row);
  int getSelectedCount() const;

  bool ensureVisible(int row);
  int getTopIndex() const { return top_; }
  // The column pixel shown at the left edge (0 unless the columns are wider than the list).
  int getScrollX() const;
  void scrollXTo(int x);
  int getCountPerPage() const;
  void setRowHeight(int px) { rowHeight_ = px; invalidate(); }  // 0: from the font and images
  // Space between a cell's edges and its text, each side (6 by default).
  void setCellMargin(int px) { margin_ = px < 0 ? 0 : px; invalidate(); }
  int rowHeight() const;
  int headerHeight() const;

  void setBkColor(Color c) { bk_ = c; invalidate(); }
  void setTextColor(Color c) { text_ = c; invalidate(); }
  void setTextBkColor(Color c) { textBk_ = c; invalidate(); }

  // Small images drawn at the start of column 0 (each row's image index; -1 none).
  void setImageList(std::vector<Bitmap> images) { images_ = std::move(images); invalidate(); }

  ListHit hitTest(Point client) const;
  Rect getItemRect(int row) const;       // whole row, client coordinates
  Rect getSubItemRect(int row, int col) const;

  void draw(DC& dc) override;
  LRESULT defWindowProc(Message& m) override;

 private:
  struct Column {
    std::string heading;
    int format;
    int width;
  };
  struct Row {
    std::vector<std::string> texts;
    int image = -1;
    bool checked = false;
    bool selected = false;
    std::uintptr_t data = 0;
  };
  int checkBoxWidth() const;
  void scrollTo(int top);
  int columnsWidth() const;
  int viewWidth() const;  // the client width less the vertical bar
  bool hasHBar() const;
  // The vertical bar's track (empty without the bar) and its thumb, in client coordinates.
  Rect vTrack() const;
  Rect vThumb() const;
  void tapRow(Point p);

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::map<int, Color> rowColors_;
  std::vector<Bitmap> images_;
  std::uint32_t exStyle_ = 0;
  int top_ = 0;
  int focused_ = -1;
  int selectionMark_ = -1;
  int rowHeight_ = 0;
  int margin_ = 6;
  std::optional<Color> bk_, text_, textBk_;
  // Touch state.
  Point downPoint_;
  int downTop_ = 0;
  int downLeft_ = 0;
  int left_ = 0;
  bool sideways_ = false;
  bool dragging_ = false;
  bool thumbDrag_ = false;  // the finger holds the vertical bar's thumb
  int thumbGrab_ = 0;       // ... this far below the thumb's top
  bool down_ = false;
  int lastTapRow_ = -1;
  std::uint64_t lastTapMs_ = 0;
};

inline constexpr std::uint32_t TCS_BOTTOM = 0x0002;

// Tabs along the top (or the bottom with TCS_BOTTOM). A tap on a tab selects it and sends
// TCN_SELCHANGING and TCN_SELCHANGE; showing the pages is the owner's work. Pages are child windows
// (child dialogs) created with the tab as parent and placed inside its display area.
class TabCtrl : public Window {
 public:
  int insertItem(int index, std::string_view text);
  int getItemCount() const { return static_cast<int>(items_.size()); }
  std::string getItemText(int index) const;
  int getCurSel() const { return cur_; }
  int setCurSel(int index);  // no notification; returns the previous selection
  bool deleteAllItems();
  Rect getItemRect(int index) const;
  Rect displayRect() const;  // the area the pages fill, client coordinates
  void draw(DC& dc) override;
  LRESULT defWindowProc(Message& m) override;

 private:
  int tabHeight() const;
  std::vector<std::string> items_;
  int cur_ = -1;
};

inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int TB_ENDTRACK = 8;

// A horizontal slider: a tap or drag moves the thumb and sends WM_HSCROLL (SB_THUMBTRACK while moving,
// SB_THUMBPOSITION and TB_ENDTRACK at the end) to the parent.
class Slider : public Window {
 public:
  void setRange(int lo, int hi, bool redraw = true);
  int getRangeMin() const { return lo_; }
  int getRangeMax() const { return hi_; }
  void setPos(int pos);
  int getPos() const { return pos_; }
  void draw(DC& dc) override;
  LRESULT defWindowProc(Message& m) override;

 private:
  int posFromX(int x) const;
  int lo_ = 0, hi_ = 100, pos_ = 0;
  bool tracking_ = false;
};

class Progress : public Window {
 public:
  void setRange(int lo, int hi);
  int getRangeMin() const { return lo_; }
  int getRangeMax() const { return hi_; }
  int setPos(int pos);  // returns the previous position
  int getPos() const { return pos_; }
  void setStep(int step) { step_ = step; }
  int stepIt();
  void setBarColor(Color c) { bar_ = c; invalidate(); }
  void draw(DC& dc) override;

 private:
  int lo_ = 0, hi_ = 100, pos_ = 0, step_ = 10;
  Color bar_ = RGB(0, 160, 60);
};

}  // namespace platform::ui
