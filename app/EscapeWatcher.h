#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <functional>

// Esc during a command's blocking wait (a conversion, a document on the
// service): ends it. Esc is the one key the blocking wait lets through; it
// is taken here, so that the Translate command's own Esc stays quiet.
// Installed on the application for the length of the wait.
class EscapeWatcher : public QObject
{
public:
    explicit EscapeWatcher(std::function<void()> pressed) : m_pressed(std::move(pressed)) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return false;
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        event->accept();
        if (event->type() == QEvent::KeyPress)
            m_pressed();
        return true;
    }

private:
    std::function<void()> m_pressed;
};
