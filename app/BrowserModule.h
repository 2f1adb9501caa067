#pragma once

#include "app/BrowserPane.h"

// The program's way to the embedded browser: the web engine lives in a
// library of its own (libtarquell_browser.so beside the program) that is
// loaded the first time browser mode is entered.

// Why the browser will not start, or empty. Chromium's sandbox stays on:
// as root, where Chromium refuses to start with it, browser mode is
// refused with one line that says so, unless the user has turned the
// sandbox off themselves (QTWEBENGINE_DISABLE_SANDBOX=1).
QString browserSandboxProblem(bool root);

// A factory that loads the library on its first call. A library that
// cannot be loaded, or a browser that would have to run without its
// sandbox, fails the call with a message saying why. root: whether the
// program runs as root (by default, asked of the system).
BrowserPaneFactory browserModuleFactory(bool root);
BrowserPaneFactory browserModuleFactory();
