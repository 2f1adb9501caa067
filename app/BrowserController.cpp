#include "app/BrowserController.h"

#include "app/MainWindowUi.h"
#include "app/StatusLine.h"
#include "translate/MainSettings.h"

#include "platform/CommandGuard.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "web/Gateways.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPrinter>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>

BrowserController::BrowserController(QWidget* window, MainWindowUi& ui, int& paneMode,
                                     MainSettings& settings, GatewayState& gateway,
                                     StatusLine& status, IDialogs& dialogs,
                                     BrowserPaneFactory factory)
    : QObject(window), m_window(window), ui(ui), m_paneMode(paneMode), m_settings(settings),
      m_gateway(gateway), m_status(status), m_dialogs(dialogs), m_factory(std::move(factory))
{
    setObjectName(QStringLiteral("BrowserController"));
    connect(ui.WebBtn, &QToolButton::clicked, this, &BrowserController::WebBtnClick);
    connect(ui.WebPage1, &QAction::triggered, this, &BrowserController::WebBtnClick);
    connect(ui.TextBtn, &QToolButton::clicked, this, &BrowserController::TextBtnClick);
    connect(ui.BackBtn, &QToolButton::clicked, this, &BrowserController::BackBtnClick);
    connect(ui.ForwardBtn, &QToolButton::clicked, this, &BrowserController::ForwardBtnClick);
    connect(ui.StopBtn, &QToolButton::clicked, this, &BrowserController::StopBtnClick);
    connect(ui.RefreshBtn, &QToolButton::clicked, this, &BrowserController::RefreshBtnClick);
    connect(ui.URLs, &QComboBox::activated, this, &BrowserController::URLsSelect);
    window->installEventFilter(this);
}

BrowserController::~BrowserController() = default;

BrowserPane& BrowserController::requireBrowser()
{
    if (!m_browser)
        throw TarquellError(QStringLiteral("The web browser is not available."));
    return *m_browser;
}

void BrowserController::createBrowser()
{
    if (!m_factory)
        throw TarquellError(QStringLiteral("The web browser is not available."));
    m_browser = m_factory(ui.BrowserArea, *this);
    if (!m_browser)
        throw TarquellError(QStringLiteral("The web browser is not available."));
    QWidget* view = m_browser->widget();
    view->setObjectName(QStringLiteral("WebBrowser1"));
    ui.BrowserArea->layout()->addWidget(view);
}

void BrowserController::WebBtnClick()
{
    runGuarded(m_dialogs, [this] {
        // A browser that cannot be made leaves the window in text mode.
        if (!m_browser)
            createBrowser();
        ShowBrowserPane();
        // The mirror of what the Text button undoes.
        ui.ReTranBtn->show();
        for (QToolButton* b : {ui.OpenBtn, ui.SaveBtn, ui.TransBtn, ui.ClearBtn, ui.BitBtn6,
                               ui.FontBtn, ui.SpeedButton1, ui.SpeedButton5, ui.WebBtn})
            b->hide();
        for (QToolButton* b : {ui.TextBtn, ui.BackBtn, ui.ForwardBtn, ui.StopBtn, ui.RefreshBtn,
                               ui.GoBtn, ui.HomeBtn, ui.ObBtn})
            b->show();
        ui.CBServer->show();
        ui.ChangeBtn->show();
        ui.WebPage1->setVisible(false);
        ui.URLs->setFocus();
    });
}

void BrowserController::ShowBrowserPane()
{
    m_paneMode = 1;
    ui.Memo1->hide();
    ui.Memo2->hide();
    ui.PaneArea->hide();
    ui.AddressRow->show();
    ui.URLs->show();
    // The browser fills the client area under the address row and follows
    // the window's size through the layout.
    ui.BrowserArea->show();
    if (m_browser)
        m_browser->widget()->show();
    ui.StatusBar1->update();
}

void BrowserController::TextBtnClick()
{
    m_paneMode = 0;
    ui.ReTranBtn->hide();
    for (QToolButton* b : {ui.OpenBtn, ui.SaveBtn, ui.TransBtn, ui.ClearBtn, ui.BitBtn6, ui.FontBtn,
                           ui.SpeedButton1})
        b->show();
    for (QToolButton* b :
         {ui.BackBtn, ui.ForwardBtn, ui.StopBtn, ui.RefreshBtn, ui.GoBtn, ui.HomeBtn, ui.ObBtn})
        b->hide();
    // The page stays loaded (and keeps loading) in the hidden browser.
    if (m_browser)
        m_browser->widget()->hide();
    ui.BrowserArea->hide();
    ui.URLs->hide();
    ui.CBServer->hide();
    ui.Memo1->show();
    ui.Memo2->show();
    ui.PaneArea->show();
    ui.TextBtn->hide();
    ui.SpeedButton5->show();
    ui.ChangeBtn->hide();
    // The address row's labels lie under the panes in text mode.
    ui.AddressRow->hide();
    ui.WebBtn->show();
    ui.WebPage1->setVisible(true);
    m_window->update();
}

void BrowserController::runBrowserCommand(void (BrowserPane::*operation)())
{
    runGuarded(m_dialogs, [this, operation] { (requireBrowser().*operation)(); });
}

void BrowserController::BackBtnClick()
{
    runBrowserCommand(&BrowserPane::GoBack);
}

void BrowserController::ForwardBtnClick()
{
    runBrowserCommand(&BrowserPane::GoForward);
}

void BrowserController::StopBtnClick()
{
    runBrowserCommand(&BrowserPane::Stop);
}

void BrowserController::RefreshBtnClick()
{
    runBrowserCommand(&BrowserPane::Refresh);
}

void BrowserController::URLsSelect(int index)
{
    // Picking an address only fills the box; Enter or Go sends it.
    if (index >= 0)
        ui.URLs->setEditText(ui.URLs->itemText(index));
}

void BrowserController::FormResize()
{
    if (m_paneMode == 1)
        ShowBrowserPane();
}

bool BrowserController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        FormResize();
    return QObject::eventFilter(watched, event);
}

// --- the browser's events ---

bool BrowserController::WebBrowser1BeforeNavigate2(const QString& address)
{
    m_gateway.LastNavigatedUrl = address;
    // The address box's text, also when a link in the page was followed.
    m_status.setText(QStringLiteral("Connecting to ") + ui.URLs->currentText() +
                     QStringLiteral(" ..."));
    const std::optional<QString> request =
        LinkThroughGateway(m_gateway, m_settings.SrcLangCode, m_settings.DstLangCode, address);
    if (!request)
        return true;
    // The gateway request takes this navigation's place. The engine does
    // not start a navigation from inside its question, so it is sent once
    // the event has returned; it passes because it holds the gateway's base.
    QMetaObject::invokeMethod(
        this,
        [this, request = *request] {
            runGuarded(m_dialogs, [this, &request] {
                BrowserPane& browser = requireBrowser();
                browser.Stop();
                browser.Navigate(request);
            });
        },
        Qt::QueuedConnection);
    return false;
}

void BrowserController::WebBrowser1ProgressChange(int progress, int maximum)
{
    m_status.setText(progressText(progress, maximum));
}

void BrowserController::WebBrowser1DocumentComplete(const QString&)
{
    m_status.setText(QStringLiteral("Done."));
}

void BrowserController::WebBrowser1PrintRequested()
{
    runGuarded(m_dialogs, [this] {
        BrowserPane& browser = requireBrowser();
        if (m_printer) {
            m_status.setText(QStringLiteral("The page is still being printed."));
            return;
        }
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The print job, and the file the dialog offers, are named after
        // the page: a file name made of an address would not do.
        QString title = browser.LocationName().simplified();
        title.replace(QLatin1Char('/'), QLatin1Char('-'));
        printer->setDocName(title.isEmpty() ? QStringLiteral("Web page") : title);
        if (!m_dialogs.printDialog(*printer))
            return;
        m_printer = std::move(printer);
        const QString before = m_status.text();
        m_status.setText(QStringLiteral("Printing ..."));
        browser.Print(*m_printer, [this, before](bool ok) {
            // Told from inside the engine: the printer goes afterwards.
            QMetaObject::invokeMethod(
                this,
                [this, ok, before] {
                    const QString target = m_printer->outputFormat() == QPrinter::PdfFormat
                                               ? m_printer->outputFileName()
                                               : m_printer->printerName();
                    m_printer.reset();
                    if (ok) {
                        m_status.setText(QStringLiteral("Done."));
                        return;
                    }
                    m_status.setText(before);
                    runGuarded(m_dialogs, [&] {
                        throw TarquellError(QStringLiteral("Printing failed on %1").arg(target));
                    });
                },
                Qt::QueuedConnection);
        });
    });
}

bool BrowserController::BeforeNavigate2(const QString& address)
{
    return WebBrowser1BeforeNavigate2(address);
}

void BrowserController::ProgressChange(int progress, int maximum)
{
    WebBrowser1ProgressChange(progress, maximum);
}

void BrowserController::DocumentComplete(const QString& address)
{
    WebBrowser1DocumentComplete(address);
}

void BrowserController::PrintRequested()
{
    WebBrowser1PrintRequested();
}
