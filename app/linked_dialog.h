// The exit of a dialog that returns to the window it came from: it hides itself and shows that window.
#pragma once

#include "platform/ui/ui.h"

inline void HideAndShowLinkedDialog(platform::ui::Window& dialog, platform::ui::Window* returnTo) {
  dialog.showWindow(platform::ui::SW_HIDE);
  if (returnTo != nullptr && returnTo->exists()) returnTo->showWindow(platform::ui::SW_SHOW);
}
