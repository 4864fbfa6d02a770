// Every test of a binary that shows windows runs with the windowing layer's repaint check: after each
// repaint of what changed, the whole screen is painted afresh, and a pixel that differs from the
// picture the repaint left (a window that changed without being repainted) fails the test.
#include <gtest/gtest.h>

#include "platform/ui/driver.h"

namespace {

namespace ui = platform::ui;

class RepaintCheck : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    ui::driver::checkRepaints([](const ui::Rect& r) {
      const ui::Window* w = ui::windowFromPoint(r.center());
      ADD_FAILURE() << "stale pixels after a repaint in (" << r.left << ", " << r.top << ")-(" << r.right << ", "
                    << r.bottom << "), under window id " << (w ? w->id() : -1) << " text \""
                    << (w ? w->getWindowText() : std::string()) << "\"";
    });
  }
  void OnTestEnd(const ::testing::TestInfo&) override { ui::driver::checkRepaints(nullptr); }
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new RepaintCheck);
  return true;
}();

}  // namespace
