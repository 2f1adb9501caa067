#pragma once

#include <QObject>

class QTextEdit;

// Which pane the editing commands act on. The current pane is the one that
// last received the keyboard focus (1 source, 2 destination, 0 before
// either had it); the focused pane is decided when a command runs: the
// source pane while it has the focus, else the destination pane.
class EditorPanes : public QObject
{
    Q_OBJECT
public:
    EditorPanes(QTextEdit* source, QTextEdit* destination, QObject* parent);

    int currentPane() const { return m_current; }
    // The current pane; null while no pane has had the focus.
    QTextEdit* current() const;
    QTextEdit* focused() const;
    QTextEdit* source() const { return m_source; }
    QTextEdit* destination() const { return m_destination; }

public slots:
    void Memo1Enter();
    void Memo2Enter();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit* m_source;
    QTextEdit* m_destination;
    int m_current = 0;
};
