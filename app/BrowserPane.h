#pragma once

#include <QString>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

// The embedded browser as browser mode sees it: the operations and events
// of the control, whatever engine is behind it. Header-only, so that the
// engine's module (web/browser) can implement it without linking the
// window's library.

// What the browser reports; implemented by the browser controller.
class BrowserEvents
{
public:
    virtual ~BrowserEvents() = default;
    // Every navigation the page announces, frames included. False refuses
    // it.
    virtual bool BeforeNavigate2(const QString& address) = 0;
    virtual void ProgressChange(int progress, int maximum) = 0;
    virtual void DocumentComplete(const QString& address) = 0;
    // The user asked to print the page on display (the browser's own menu,
    // or the page's script).
    virtual void PrintRequested() = 0;
};

class BrowserPane
{
public:
    virtual ~BrowserPane() = default;
    // The control itself (objectName "WebBrowser1"), owned by its parent.
    virtual QWidget* widget() = 0;
    virtual void Navigate(const QString& address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;
    // The address of the page on display.
    virtual QString LocationURL() const = 0;
    // The title of the page on display (empty while it has none).
    virtual QString LocationName() const = 0;
    // Prints the page on display on the printer, which must live until
    // `finished` is called (with false when printing failed).
    virtual void Print(QPrinter& printer, std::function<void(bool ok)> finished) = 0;
};

// Creates the browser the first time browser mode is entered. Empty: the
// window has no browser (tests of the window that never enter browser
// mode with a page).
using BrowserPaneFactory =
    std::function<std::unique_ptr<BrowserPane>(QWidget* parent, BrowserEvents& events)>;
