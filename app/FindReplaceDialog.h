#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The modeless find and replace dialogs: a find field (and a replace field),
// Find Next (Replace, Replace All) and Close. The search is always a
// case-sensitive plain substring, so there are no case, word or direction
// options. The dialog only reports its buttons; the window does the work.
class FindReplaceDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Kind { Find, Replace };

    FindReplaceDialog(Kind kind, QWidget* parent);

    QString findText() const;
    QString replaceText() const;
    // The focus goes to "Find what:", its text selected, so that typing
    // replaces it: how every find dialog opens.
    void focusFindText();
    // Whether the replace button pressed last was Replace All.
    bool replaceAll() const { return m_replaceAll; }

signals:
    void find();    // Find Next was pressed
    void replace(); // Replace or Replace All was pressed

private:
    void updateButtons();

    QLineEdit* m_findText = nullptr;
    QLineEdit* m_replaceText = nullptr;
    QPushButton* m_findNext = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_replaceAllButton = nullptr;
    bool m_replaceAll = false;
};
