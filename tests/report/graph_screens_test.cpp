// Every chart kind drawn from a realistic test by the curve builder, at the size of a curve page. The
// pictures go to the folder named by CHART_SCREENSHOT_DIR (the README shows them from docs/), else to
// the temporary folder.
#include <cstdlib>
#include <filesystem>

#include "chart_fixture.h"

namespace {

using namespace chart_fixture;
namespace fsys = std::filesystem;

fsys::path shotDir() {
  const char* dir = std::getenv("CHART_SCREENSHOT_DIR");
  fsys::path p = dir && *dir ? fsys::path(dir) : fsys::temp_directory_path() / "charts";
  fsys::create_directories(p);
  return p;
}

struct Screen {
  const char* file;
  RecordedTest (*test)();
  int kind;
  const char* title;  // the chart title that must show
};

RecordedTest compression() { return compressionTest(); }
RecordedTest uplift() { return compressionTest(5, 13); }
RecordedTest lateral() { return compressionTest(4, 93); }
RecordedTest cyclic() { return cyclicTest(62, 8, 20.0f); }

class ChartScreens : public ChartTest {};

TEST_F(ChartScreens, EveryChartKindOfARealisticTest) {
  const Screen screens[] = {
      {"chart-plate-p-s.png", plateTest, 1, "p-s 曲线"},
      {"chart-plate-s-lgp.png", plateTest, 2, "s-lgp 曲线"},
      {"chart-plate-s-lgt.png", plateTest, 3, "s-lgt 曲线"},
      {"chart-compression-q-s.png", compression, 1, "Q-s 曲线"},
      {"chart-compression-s-lgq.png", compression, 2, "s-lgQ 曲线"},
      {"chart-compression-s-lgt.png", compression, 3, "s-lgt 曲线"},
      {"chart-lateral-h-y0.png", lateral, 1, "H-Y0曲线"},
      {"chart-lateral-y0-lgh.png", lateral, 2, "Y0-lgH曲线"},
      {"chart-lateral-y0-lgt.png", lateral, 3, "Y0-lgt曲线"},
      {"chart-uplift-u-d.png", uplift, 4, "U-δ 曲线"},
      {"chart-uplift-d-lgu.png", uplift, 5, "δ-lgU 曲线"},
      {"chart-uplift-d-lgt.png", uplift, 6, "δ-lgt 曲线"},
      {"chart-self-balanced-q-s.png", selfBalancedTest, 1, "Q-s曲线"},
      {"chart-self-balanced-s-lgq.png", selfBalancedTest, 2, "s-lgQ 曲线"},
      {"chart-self-balanced-s-lgt.png", selfBalancedTest, 3, "s-lgt 曲线"},
      {"chart-cyclic-h0-t-y0.png", cyclic, 1, "下表 H0-t-Y0曲线"},
      {"chart-cyclic-increment.png", cyclic, 2, "下表 H0--△Y0/△H0 曲线"},
  };
  const fsys::path dir = shotDir();
  for (const Screen& s : screens) {
    C2DGraph& g = makeGraph(524, 460);
    RecordedTest t = s.test();
    build(t, g);
    g.m_nCurveKind = s.kind;
    const ui::Bitmap shot = paint();
    EXPECT_TRUE(shot.savePng(dir / s.file)) << s.file;
    // Curve ink in the curve colour: every chart of a test with readings draws its curve.
    int curveInk = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) curveInk += shot.pixel(x, y) == g.m_crCurve;
    EXPECT_GT(curveInk, 50) << s.file;
  }
}

}  // namespace
