#pragma once

#include "app/BrowserPane.h"

#include <QObject>
#include <memory>

class IDialogs;
class QPrinter;
class QWidget;
class StatusLine;
struct GatewayState;
struct MainSettings;
struct MainWindowUi;

// Browser mode: the switch between the panes and the embedded browser, the
// browser's buttons and its events. WebBrowser1 is made the first time
// browser mode is entered, never at start, so start-up does not pay for
// the web engine.
class BrowserController : public QObject, private BrowserEvents
{
    Q_OBJECT
public:
    BrowserController(QWidget* window, MainWindowUi& ui, int& paneMode, MainSettings& settings,
                      GatewayState& gateway, StatusLine& status, IDialogs& dialogs,
                      BrowserPaneFactory factory);
    ~BrowserController() override;

    // WebBrowser1, or null before browser mode was first entered.
    BrowserPane* browser() const { return m_browser.get(); }
    // WebBrowser1; fails when the window has no browser.
    BrowserPane& requireBrowser();

public slots:
    // "Web" and Translate > "Web Page": browser mode, focus in the address box.
    void WebBtnClick();
    void ShowBrowserPane();
    void TextBtnClick();
    void BackBtnClick();
    void ForwardBtnClick();
    void StopBtnClick();
    void RefreshBtnClick();
    void URLsSelect(int index);
    // The window's size changed: browser mode lays itself out again.
    void FormResize();

    bool WebBrowser1BeforeNavigate2(const QString& address);
    void WebBrowser1ProgressChange(int progress, int maximum);
    void WebBrowser1DocumentComplete(const QString& address);
    // The browser's menu entry "Print": the page, through the print dialog.
    void WebBrowser1PrintRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool BeforeNavigate2(const QString& address) override;
    void ProgressChange(int progress, int maximum) override;
    void DocumentComplete(const QString& address) override;
    void PrintRequested() override;
    void createBrowser();
    void runBrowserCommand(void (BrowserPane::*operation)());

    QWidget* m_window;
    MainWindowUi& ui;
    int& m_paneMode;
    MainSettings& m_settings;
    GatewayState& m_gateway;
    StatusLine& m_status;
    IDialogs& m_dialogs;
    BrowserPaneFactory m_factory;
    // The page's printer, alive while the engine prints on it (and so
    // declared before the browser, which goes first).
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<BrowserPane> m_browser;
};
