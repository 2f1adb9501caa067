#pragma once

#include "app/BrowserPane.h"

// The program's way to the embedded browser: the web engine lives in a
// library of its own (libtarquell_browser.so beside the program) that is
// loaded the first time browser mode is entered.

// What the web engine needs settled before the application object exists:
// no sandbox when running as root (Chromium refuses to start then).
void prepareBrowserEngine();

// A factory that loads the library on its first call. A library that
// cannot be loaded fails the call with a message saying why.
BrowserPaneFactory browserModuleFactory();
