#pragma once

#include <QObject>

class EditorPanes;
class FindReplaceDialog;
class IDialogs;
class QWidget;
struct MainWindowUi;

// Find and replace in the current pane through two modeless dialogs, one of
// each for the window, created when first asked for. They do not block, so
// tests drive them like any other control; only the error box goes through
// the dialog seam.
class FindController : public QObject
{
    Q_OBJECT
public:
    FindController(QWidget* window, MainWindowUi& ui, EditorPanes& panes, IDialogs& dialogs,
                   QObject* parent);

    // Null until first shown.
    FindReplaceDialog* findDialog() const { return FindDialog1; }
    FindReplaceDialog* replaceDialog() const { return ReplaceDialog1; }

public slots:
    void Find1Click();
    void Find2Click();
    void Replace1Click();
    void Replace2Click();
    // Find Next of either dialog: from the end of the selection, or from the
    // start of the text when nothing is selected.
    void FindDialog1Find(FindReplaceDialog* from);
    // Replace (the first occurrence in the text) or Replace All (every one).
    void ReplaceDialog1Replace();

private:
    FindReplaceDialog* dialog(FindReplaceDialog*& slot, bool replacing);
    static void showModeless(FindReplaceDialog* dialog);

    QWidget* m_window;
    MainWindowUi& ui;
    EditorPanes& m_panes;
    IDialogs& m_dialogs;
    FindReplaceDialog* FindDialog1 = nullptr;
    FindReplaceDialog* ReplaceDialog1 = nullptr;
};
