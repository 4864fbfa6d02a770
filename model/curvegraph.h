// What the curve builder needs of a plotting window: its point lists, filled through the add-point
// operations, and the limits it draws to. The plotting window of the report pages implements it.
#pragma once

class CurveGraph {
 public:
  static constexpr int kNoReading = 99999;  // table entry without a reading

  virtual ~CurveGraph() = default;

  // Point lists 1..6: 1 load-settlement, 2 time-settlement, 3 and 4 the same for the second series of
  // a self-balanced test, 5 and 6 the chart of the cyclic lateral standards. Each add invalidates the
  // window once.
  virtual void AddPoint1(int x, int y) = 0;
  virtual void AddPoint2(int x, int y) = 0;
  virtual void AddPoint3And1(int x3, int y3, int x1, int y1) = 0;
  virtual void AddPoint4And2(int x4, int y4, int x2, int y2) = 0;
  virtual void AddPoint5(int x, int y) = 0;
  virtual void AddPoint6(int x, int y) = 0;
  // Empties point list 1..6 (any other number is ignored).
  virtual void ClearPointList(int list) = 0;

  // Limits and chart data.
  virtual void SetLoadMax(int kn) = 0;                 // full scale of the load axis, kN
  virtual void SetLevelStep(float kn) = 0;             // load increment of the cyclic chart
  virtual void SetSettleMaxRaw(double raw) = 0;        // largest settlement, raw units (0.01 / 0.001 mm)
  virtual void SetTimeMax(int minutes) = 0;            // full scale of the time axis
  virtual void SetTestType(int testType) = 0;
  virtual void SetStandard(int standard) = 0;
  // The per-reading table: one entry per reading of the test. SetStepLoadCount sizes it to `count`
  // entries (none below 0), every one without a reading; SetStepLoad sets entry `index`, the level load
  // of reading `index`; indexes outside the table are ignored.
  virtual void SetStepLoadCount(int count) = 0;
  virtual void SetStepLoad(int index, int load) = 0;
};
