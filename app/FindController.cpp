#include "app/FindController.h"

#include "app/EditorPanes.h"
#include "app/FindReplaceDialog.h"
#include "app/MainWindowUi.h"
#include "app/TextSearch.h"

#include "platform/Dialogs.h"

#include <QAction>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
QString textOf(const QTextEdit* pane)
{
    return TextSearch::paneText(pane->document()->toRawText());
}
} // namespace

FindController::FindController(QWidget* window, MainWindowUi& ui, EditorPanes& panes,
                               IDialogs& dialogs, QObject* parent)
    : QObject(parent), m_window(window), ui(ui), m_panes(panes), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FindController"));
    connect(ui.Find1, &QAction::triggered, this, &FindController::Find1Click);
    connect(ui.Find2, &QAction::triggered, this, &FindController::Find2Click);
    connect(ui.Replace1, &QAction::triggered, this, &FindController::Replace1Click);
    connect(ui.Replace2, &QAction::triggered, this, &FindController::Replace2Click);
}

FindReplaceDialog* FindController::dialog(FindReplaceDialog*& slot, bool replacing)
{
    if (!slot) {
        slot = new FindReplaceDialog(
            replacing ? FindReplaceDialog::Kind::Replace : FindReplaceDialog::Kind::Find, m_window);
        FindReplaceDialog* created = slot;
        connect(created, &FindReplaceDialog::find, this,
                [this, created] { FindDialog1Find(created); });
        if (replacing)
            connect(created, &FindReplaceDialog::replace, this,
                    &FindController::ReplaceDialog1Replace);
    }
    return slot;
}

void FindController::showModeless(FindReplaceDialog* dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    // Also when it was open already: the next keys go into "Find what:".
    dialog->focusFindText();
}

void FindController::Find1Click()
{
    showModeless(dialog(FindDialog1, false));
}

void FindController::Find2Click()
{
    ui.Find1->trigger();
}

void FindController::Replace1Click()
{
    showModeless(dialog(ReplaceDialog1, true));
}

void FindController::Replace2Click()
{
    ui.Replace1->trigger();
}

void FindController::FindDialog1Find(FindReplaceDialog* from)
{
    QTextEdit* pane = m_panes.current();
    if (!pane || !from)
        return;
    const QString what = TextSearch::foldBreaks(from->findText());
    QTextCursor cursor = pane->textCursor();
    // Not where the caret stands: with nothing selected the search starts
    // at the beginning of the text.
    const int start = cursor.hasSelection() ? cursor.selectionEnd() : 0;
    const qsizetype found = TextSearch::findNext(textOf(pane), what, start);
    if (found < 0)
        return; // nothing found, nothing said
    if (FindDialog1 && FindDialog1->isVisible())
        FindDialog1->close();
    cursor.setPosition(int(found));
    cursor.setPosition(int(found + what.size()), QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
    pane->activateWindow();
    pane->setFocus();
}

void FindController::ReplaceDialog1Replace()
{
    QTextEdit* pane = m_panes.current();
    if (!pane || !ReplaceDialog1)
        return;
    // The whole text from its start: the selection and the last find play
    // no part.
    const QString what = TextSearch::foldBreaks(ReplaceDialog1->findText());
    const QString with = ReplaceDialog1->replaceText();
    const QString text = textOf(pane);
    const QList<qsizetype> found = ReplaceDialog1->replaceAll()
                                       ? TextSearch::findAll(text, what)
                                       : QList<qsizetype>{TextSearch::findNext(text, what, 0)};
    if (found.isEmpty() || found.first() < 0) {
        m_dialogs.messageBox(QStringLiteral("Error"),
                             QStringLiteral("Cannot find ") + ReplaceDialog1->findText() +
                                 QStringLiteral(" string."),
                             MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    // All occurrences are one undo step. Each is found in the text as it
    // was, shifted by what the replacements before it added or took away.
    QTextCursor cursor = pane->textCursor();
    cursor.beginEditBlock();
    qsizetype shift = 0;
    int firstEnd = -1;
    for (qsizetype p : found) {
        cursor.setPosition(int(p + shift));
        cursor.setPosition(int(p + shift + what.size()), QTextCursor::KeepAnchor);
        cursor.insertText(with);
        shift = cursor.position() - (p + what.size());
        if (firstEnd < 0)
            firstEnd = cursor.position();
    }
    // The caret stays after the first replacement: showing it needs only
    // the layout up to there, the rest is laid out while the user reads.
    cursor.setPosition(firstEnd);
    cursor.endEditBlock();
    pane->setTextCursor(cursor);
    pane->ensureCursorVisible();
    m_window->activateWindow();
}
