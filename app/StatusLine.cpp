#include "app/StatusLine.h"

#include <QLabel>

StatusLine::StatusLine(QLabel* panel, QObject* parent) : QObject(parent), m_panel(panel) {}

QString StatusLine::text() const
{
    return m_panel->text();
}

void StatusLine::setText(const QString& text)
{
    m_panel->setText(text);
    m_panel->setToolTip(text);
    emit changed(text);
}
