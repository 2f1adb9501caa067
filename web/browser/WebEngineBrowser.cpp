#include "web/browser/WebEngineBrowser.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QOpenGLContext>
#include <QPointer>
#include <QPrinter>
#include <QUrl>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

// Qt Gui's own setter of the shared context, exported but declared only in
// its private headers.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

// The web engine composes through an OpenGL context shared with Qt's, and
// on X11 it needs one. Qt::AA_ShareOpenGLContexts would make every start
// create it; the program loads the engine late instead, so it is created
// here, just before the engine's first page, where OpenGL is to be had.
void ensureSharedContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    // As the application does with the attribute: the context is set also
    // when it cannot be created (no OpenGL, as offscreen); the engine then
    // draws in software, but it always asks the shared context for its
    // format.
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create();
    qt_gl_set_global_share_context(context);
}

// Stands in for the new window a link with a target (target="_blank") or
// window.open asks for: its first address opens in the browser's own page
// instead, and this page goes.
class SameViewPage : public QWebEnginePage
{
public:
    explicit SameViewPage(QWebEnginePage* target)
        : QWebEnginePage(target->profile(), target), m_target(target)
    {
        // Where the engine does not ask about the new window's first
        // navigation, its address still arrives.
        connect(this, &QWebEnginePage::urlChanged, this, &SameViewPage::take);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (isMainFrame)
            take(url);
        return false;
    }

private:
    void take(const QUrl& url)
    {
        if (m_taken || url.isEmpty() || url == QUrl(QStringLiteral("about:blank")))
            return;
        m_taken = true;
        // Not from inside the engine's question: once it has returned. The
        // browser's page announces it like any other navigation.
        QPointer<QWebEnginePage> target = m_target;
        QMetaObject::invokeMethod(
            target,
            [target, url] {
                if (target)
                    target->load(url);
            },
            Qt::QueuedConnection);
        deleteLater();
    }

    QPointer<QWebEnginePage> m_target;
    bool m_taken = false;
};

// Asks the window about every navigation, those of frames included.
class AnnouncingPage : public QWebEnginePage
{
public:
    AnnouncingPage(BrowserEvents& events, QObject* parent)
        : QWebEnginePage(parent), m_events(events)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override
    {
        return m_events.BeforeNavigate2(url.toString());
    }
    // The browser has one view: new windows and tabs open in it.
    QWebEnginePage* createWindow(WebWindowType) override { return new SameViewPage(this); }

private:
    BrowserEvents& m_events;
};

// The view with the engine's own menu plus "Print", which the window's
// Print button points to in browser mode.
class BrowserView : public QWebEngineView
{
public:
    BrowserView(QWidget* parent, BrowserEvents& events) : QWebEngineView(parent), m_events(events)
    {
        // A page's script asks the same.
        connect(this, &QWebEngineView::printRequested, this, [this] { m_events.PrintRequested(); });
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        // The engine's menu needs the request it made; a menu asked for by
        // other means gets Print alone.
        QMenu* menu = lastContextMenuRequest() ? createStandardContextMenu() : new QMenu(this);
        menu->setObjectName(QStringLiteral("BrowserMenu"));
        menu->setAttribute(Qt::WA_DeleteOnClose, true);
        if (!menu->isEmpty())
            menu->addSeparator();
        QAction* print = menu->addAction(QStringLiteral("Print"));
        print->setObjectName(QStringLiteral("PrintPage"));
        // Queued: the menu is gone before the print dialog opens.
        connect(
            print, &QAction::triggered, this, [this] { m_events.PrintRequested(); },
            Qt::QueuedConnection);
        menu->popup(event->globalPos());
    }

private:
    BrowserEvents& m_events;
};

class WebEngineBrowser : public BrowserPane
{
public:
    WebEngineBrowser(QWidget* parent, BrowserEvents& events)
        : m_view(new BrowserView(parent, events))
    {
        auto* page = new AnnouncingPage(events, m_view);
        m_view->setPage(page);
        QObject::connect(m_view, &QWebEngineView::loadProgress, m_view,
                         [&events](int percent) { events.ProgressChange(percent, 100); });
        // Also a page that failed to load is complete: the engine shows
        // its error page.
        QObject::connect(m_view, &QWebEngineView::loadFinished, m_view,
                         [this, &events](bool) { events.DocumentComplete(LocationURL()); });
    }

    // The view goes with the pane, so that no event reaches a window part
    // that is gone; when its parent went first there is nothing to do.
    ~WebEngineBrowser() override { delete m_view.data(); }

    QWidget* widget() override { return m_view; }

    void Navigate(const QString& address) override
    {
        // An address without a scheme is a web address, as a browser's
        // address box takes it.
        m_view->load(QUrl::fromUserInput(address));
    }
    void GoBack() override { m_view->back(); }
    void GoForward() override { m_view->forward(); }
    void Refresh() override { m_view->reload(); }
    void Stop() override { m_view->stop(); }
    QString LocationURL() const override { return m_view ? m_view->url().toString() : QString(); }
    QString LocationName() const override { return m_view ? m_view->title() : QString(); }

    void Print(QPrinter& printer, std::function<void(bool)> finished) override
    {
        // Printing to a PDF file writes the engine's own PDF, whose text
        // stays text; a printer gets the pages as the engine renders them.
        // Either way the engine says once when it is done.
        auto connection = std::make_shared<QMetaObject::Connection>();
        auto done = [connection, finished](bool ok) {
            QObject::disconnect(*connection);
            if (finished)
                finished(ok);
        };
        const QString file = printer.outputFileName();
        if (printer.outputFormat() == QPrinter::PdfFormat && !file.isEmpty()) {
            *connection = QObject::connect(m_view, &QWebEngineView::pdfPrintingFinished, m_view,
                                           [done](const QString&, bool ok) { done(ok); });
            m_view->printToPdf(file, printer.pageLayout(), printer.pageRanges());
            return;
        }
        *connection = QObject::connect(m_view, &QWebEngineView::printFinished, m_view, done);
        m_view->print(&printer);
    }

private:
    QPointer<QWebEngineView> m_view;
};

} // namespace

std::unique_ptr<BrowserPane> createWebEngineBrowser(QWidget* parent, BrowserEvents& events)
{
    ensureSharedContext();
    return std::make_unique<WebEngineBrowser>(parent, events);
}

BrowserPane* tarquellCreateBrowserPane(QWidget* parent, BrowserEvents* events)
{
    return createWebEngineBrowser(parent, *events).release();
}
