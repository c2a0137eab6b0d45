#pragma once
// What the programs of app/ need to run without a display.

#include "framework/MessageBox.h"

#include <memory>

namespace qor {

// Qt's offscreen platform, and the maps drawn by Mesa's software rasteriser through Mesa's
// own EGL, whatever graphics card the machine has. Call before the application object.
void UseOffscreenDrawing();

// Headless, nobody could close a message box: while the guard lives, messages go to
// standard error and count as answered with OK.
std::unique_ptr<TMessageBoxHandlerGuard> MessageBoxesToStandardError();

} // namespace qor
