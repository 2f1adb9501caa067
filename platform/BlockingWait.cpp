#include "platform/BlockingWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWindow>

namespace {

// True for the user input a remote call keeps away from the window.
bool isBlockedInput(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

class InputBlocker : public QObject
{
public:
    InputBlocker() : m_gui(qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    {
        if (m_gui)
            m_modalAtStart = QGuiApplication::modalWindow();
    }

    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (!isBlockedInput(event))
            return false;
        // A modal dialog opened during the wait (the credentials prompt)
        // takes input as usual; Qt's own modality keeps the user's input
        // away from the windows behind it.
        if (modalDialogOpenedMeanwhile() && insideModalWindow(target))
            return false;
        // Accepting the override keeps menu shortcuts from firing.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }

private:
    bool modalDialogOpenedMeanwhile() const
    {
        if (!m_gui)
            return false;
        QWindow* modal = QGuiApplication::modalWindow();
        return modal && modal != m_modalAtStart.data();
    }

    // This layer does not link Qt Widgets: a widget is known to sit in a
    // modal dialog by the "modal" property of itself or an ancestor.
    static bool insideModalWindow(QObject* target)
    {
        if (auto* window = qobject_cast<QWindow*>(target))
            return window->modality() != Qt::NonModal;
        for (QObject* o = target; o && o->isWidgetType(); o = o->parent()) {
            if (o->property("modal").toBool())
                return true;
        }
        return false;
    }

    bool m_gui;
    QPointer<QWindow> m_modalAtStart;
};

} // namespace

int execBlockingUserInput(QEventLoop& loop)
{
    InputBlocker blocker;
    QCoreApplication* app = QCoreApplication::instance();
    if (app)
        app->installEventFilter(&blocker);
    const int rc = loop.exec();
    if (app)
        app->removeEventFilter(&blocker);
    return rc;
}
