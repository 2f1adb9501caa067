#include "web/browser/WebEngineBrowser.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
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

private:
    BrowserEvents& m_events;
};

class WebEngineBrowser : public BrowserPane
{
public:
    WebEngineBrowser(QWidget* parent, BrowserEvents& events) : m_view(new QWebEngineView(parent))
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
