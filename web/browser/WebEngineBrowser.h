#pragma once

#include "app/BrowserPane.h"

#include <QtGlobal>

// The embedded browser on Qt WebEngine. Built as a library of its own that
// the program loads the first time browser mode is entered, so that the
// program's start never loads the web engine.

// A browser pane under the given parent that reports to the given events.
std::unique_ptr<BrowserPane> createWebEngineBrowser(QWidget* parent, BrowserEvents& events);

// The entry point the program looks up when it loads the library. The
// caller owns the result.
extern "C" Q_DECL_EXPORT BrowserPane* tarquellCreateBrowserPane(QWidget* parent,
                                                                BrowserEvents* events);
