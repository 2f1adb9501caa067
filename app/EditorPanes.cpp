#include "app/EditorPanes.h"

#include <QEvent>
#include <QTextEdit>

EditorPanes::EditorPanes(QTextEdit* source, QTextEdit* destination, QObject* parent)
    : QObject(parent), m_source(source), m_destination(destination)
{
    setObjectName(QStringLiteral("EditorPanes"));
    source->installEventFilter(this);
    destination->installEventFilter(this);
}

QTextEdit* EditorPanes::current() const
{
    switch (m_current) {
    case 1:
        return m_source;
    case 2:
        return m_destination;
    default:
        return nullptr;
    }
}

QTextEdit* EditorPanes::focused() const
{
    return m_source->hasFocus() ? m_source : m_destination;
}

void EditorPanes::Memo1Enter()
{
    m_current = 1;
}

void EditorPanes::Memo2Enter()
{
    m_current = 2;
}

bool EditorPanes::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_source)
            Memo1Enter();
        else if (watched == m_destination)
            Memo2Enter();
    }
    return QObject::eventFilter(watched, event);
}
