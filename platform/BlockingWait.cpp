#include "platform/BlockingWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>

namespace {
class InputBlocker : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Accepting the override keeps menu shortcuts from firing.
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                return false;
            event->accept();
            return true;
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
