#pragma once

#include <QObject>
#include <QString>

class QLabel;

// The status bar's one panel: every command that reports progress sets its
// whole text.
class StatusLine : public QObject
{
    Q_OBJECT
public:
    StatusLine(QLabel* panel, QObject* parent);
    QString text() const;
    void setText(const QString& text);

signals:
    void changed(const QString& text);

private:
    QLabel* m_panel;
};
