#pragma once

#include <QString>

// Whether a window can open at all: a display to talk to, or a Qt platform
// that needs none (offscreen, vnc, a framebuffer). Without one Qt aborts
// with a platform-plugin message; the program says instead what to do.
namespace DesktopSession {

bool available(int argc, char** argv);

// The one line printed instead of opening the window.
QString missingText();

} // namespace DesktopSession
