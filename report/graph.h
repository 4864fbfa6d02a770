// The plotting window of the curve pages: the point lists of one test chart, its ranges, and the
// mapping of data points to pixels. The curve builder of the model fills it through CurveGraph.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/curvegraph.h"
#include "platform/ui/ui.h"

class C2DGraph : public platform::ui::Window, public CurveGraph {
 public:
  using Point = platform::ui::Point;
  using Rect = platform::ui::Rect;
  using Color = platform::ui::Color;

  C2DGraph();
  ~C2DGraph() override;

  // Creates the window as a child of `parent` (none: a top-level window) over `rect` with the caller's
  // style and id; the class and window names are not used. Returns 1 when the window exists.
  int Create(const char* className, const char* windowName, std::uint32_t style, const Rect& rect,
             platform::ui::Window* parent, int id, void* context = nullptr);

  // Painting: the chart is drawn into the persistent back buffer, then copied to the window. A repaint
  // of a chart whose points, ranges, kind and size are those it was last drawn from only copies it.
  void OnPaint();
  // Draws the whole chart (background, axes, numbers, titles, curves) into the back buffer, which is
  // made on the first draw with the client size (and made again when that size changes).
  void DrawAll();

  // The curve plotters, drawing into the back buffer over the axes (nothing without a back buffer).
  void PlotLoadCurve();       // one panel, kinds 1 and 4
  void PlotLogLoadCurve();    // one panel, kinds 2 and 5: the loading branch up to the load maximum
  void PlotTimeCurves();      // one panel, kinds 3 and 6: one labelled chain per load level
  void PlotLoadCurve2();      // two panels, kind 1
  void PlotLogLoadCurve2();   // two panels, kind 2
  void PlotTimeCurves2();     // two panels, kind 3
  void PlotCycleCurve();      // cyclic lateral chart, kind 1: displacement against time
  void PlotCycleIncrement();  // cyclic lateral chart, kind 2: displacement increment per load increment

  // Add-point operations: append at the tail, then invalidate the whole window once.
  void AddPoint1(int x, int y) override;
  void AddPoint2(int x, int y) override;
  void AddPoint3And1(int x3, int y3, int x1, int y1) override;
  void AddPoint4And2(int x4, int y4, int x2, int y2) override;
  void AddPoint5(int x, int y) override;
  void AddPoint6(int x, int y) override;
  void ClearPointList(int list) override;

  void SetLoadMax(int kn) override { m_nLoadMax = kn; }
  void SetLevelStep(float kn) override { m_fLevelStep = kn; }
  void SetSettleMaxRaw(double raw) override { m_dSettleMaxRaw = raw; }
  void SetTimeMax(int minutes) override { m_nTimeMax = minutes; }
  void SetTestType(int testType) override { m_nTestType = testType; }
  void SetStandard(int standard) override { m_nStandard = standard; }
  void SetStepLoadCount(int count) override;
  void SetStepLoad(int index, int load) override;

  // Data point to pixel in the window's client area. Each returns false, leaving what it cannot compute
  // unset, when the point has no position: a kind the mapping does not handle, or an x of 0 or below on
  // a logarithmic axis (such points are skipped when drawn).
  bool MapPoint(Point& out, const Point& point) const { return MapPoint(getClientRect(), out, point); }
  bool MapPointUpper(Point& out, const Point& point) const { return MapPointUpper(getClientRect(), out, point); }
  bool MapPointLower(Point& out, const Point& point) const { return MapPointLower(getClientRect(), out, point); }
  // The same for a given client rectangle.
  bool MapPoint(const Rect& client, Point& out, const Point& point) const;
  bool MapPointUpper(const Rect& client, Point& out, const Point& point) const;
  bool MapPointLower(const Rect& client, Point& out, const Point& point) const;

  // Rounds m_dSettleMax up to the next step of the axis ladder (a value on a step moves to the next
  // one; 360 and above give 420).
  void RoundAxisMax();
  static double AxisStepAbove(double mm);

  // Full scale (1000, 10000 or 100000) of the logarithmic load and time axes; the axis drawing and
  // the mapping both use these.
  int LogLoadFullScale() const;
  int LogTimeFullScale() const;
  // Raw settlement unit in mm: 0.001 for the standards kept in thousandths, else 0.01.
  double SettlementUnit() const;

  // Point lists.
  std::vector<Point> m_ptList1;  // one-panel Q-s / s-lgQ; upper panel of the two-panel chart
  std::vector<Point> m_ptList2;  // s-lgt (one-panel) and upper panel of the two-panel s-lgt chart
  std::vector<Point> m_ptList3;  // lower panel of the two-panel Q-s / s-lgQ chart
  std::vector<Point> m_ptList4;  // lower panel of the two-panel s-lgt chart
  std::vector<Point> m_ptList5;  // cyclic lateral chart: one point per loaded reading
  std::vector<Point> m_ptList6;  // cyclic lateral chart: the parallel point per cycle
  // A level label of the time curves: its text, the end of its chain, and where it was drawn (with a
  // leader line to the chain's end when it had to move away from it).
  struct Label {
    std::string text;
    Point anchor;
    Rect box;
    bool leader = false;
  };
  std::vector<Label> m_labels;  // the labels of the last draw, panel by panel, each panel in level order
  // Back buffer, created on the first draw.
  std::unique_ptr<platform::ui::MemoryDC> m_memDC;
  platform::ui::Bitmap m_bmpBack;
  // Work state of the drawing.
  std::string m_strText, m_strNum;
  Point m_ptCur, m_ptPrev;
  Point m_ptFrom, m_ptTo;
  Point m_ptAux;
  Color m_crBack = 0xFFFFFF;
  Color m_crAxis = 0x000000;
  Color m_crCurve = platform::ui::RGB(0, 40, 200);
  Color m_crText = platform::ui::RGB(0, 0, 100);
  unsigned char m_bStop = 0, m_bUnload = 0;
  const char* m_pszXTitle = "Q(kN)";
  const char* m_pszYTitle = "s(mm)";
  int m_nPos = 0, m_nLevel = 0;
  // Ranges.
  int m_nLoadMax = 1000;
  int m_nLoadMin = 0;
  double m_dSettleMax = 10.0;
  double m_dSettleMaxRaw = 1000.0;
  double m_dSettleMin = 0.0;
  int m_nTimeMax = 1000;
  int m_nCurveKind = 1;  // 1 Q-s, 2 s-lgQ, 3 s-lgt; 4..6 the same with upward displacement
  int m_nTestType = 1;
  std::vector<int> m_nStepLoad;  // one entry per reading of the test
  int m_nStandard = 0;
  int m_nLevelCount = 0;
  float m_fLevelStep = 0.0f;

 private:
  using Mapper = bool (C2DGraph::*)(const Rect&, Point&, const Point&) const;
  bool MapX(const Rect& client, int kind, int x, int& X) const;
  // Level load of reading `index` in the per-reading table; past its end there is no reading.
  int StepLoadAt(int index) const;
  // The level count of the cyclic chart, or 0 when the level step or the load give no usable levels.
  int CycleLevels() const;

  // Layouts of DrawAll. They sketch lines and texts, which FlushSketch then draws in layers.
  void DrawOnePanel(const Rect& c);
  void DrawLinearLoadAxis(const Rect& c, bool upward);
  void DrawLogAxis(const Rect& c, int axisY, int tickDir, int numberY, bool belowMiddle);
  void DrawTwoPanels(const Rect& c);
  void DrawCycleTime(const Rect& c);
  void DrawCycleIncrement(const Rect& c);
  void AxisLine(int x1, int y1, int x2, int y2);
  void GridLine(int x1, int y1, int x2, int y2);
  void PutText(const Rect& c, int x, int y, const std::string& text, int height = 18);
  void DrawNumberUnder(const Rect& c, int tickX, int y, const std::string& text);
  void DrawNumberBeside(const Rect& c, int y, const std::string& text, bool cyclic);
  int TextWidth(const std::string& text, int height) const;
  void FlushSketch(platform::ui::DC& dc, const Rect& c);
  // Places and draws the level labels of one panel, which span [top, bottom) of the window; `downward`
  // when the levels follow each other down the chart.
  void DrawLabels(platform::ui::DC& dc, std::vector<Label>& labels, int top, int bottom, bool downward);

  struct Sketch {
    struct Text {
      Point at;
      std::string text;
      int height;
    };
    std::vector<std::pair<Point, Point>> grid, axes;
    std::vector<Text> texts;
  };
  Sketch m_sketch;
  // What the back buffer was last drawn from.
  struct DrawnFrom {
    std::array<std::vector<Point>, 6> lists;
    std::vector<int> stepLoads;
    std::array<double, 15> values{};
  };
  std::array<double, 15> DrawingValues() const;
  bool ShowsWhatItDrew() const;
  std::unique_ptr<DrawnFrom> m_drawn;
  std::vector<Rect> m_textBoxes;  // where the texts of the last draw went

  // Plotting of one list.
  void PlotLoadList(platform::ui::DC& dc, const std::vector<Point>& list, Mapper map, bool toLoadMax);
  void PlotTimeList(platform::ui::DC& dc, const std::vector<Point>& list, Mapper map, int top, int bottom);
  void PlotCyclePairs(bool increment);
  void Marker(platform::ui::DC& dc, const Point& at);
};
