#include "app/EditController.h"

#include "app/EditorPanes.h"
#include "app/FindController.h"
#include "app/FormatController.h"
#include "app/MainWindowUi.h"

#include "platform/Dialogs.h"

#include <QAction>
#include <QMenu>
#include <QTextEdit>
#include <QToolButton>

EditController::EditController(QWidget* window, MainWindowUi& ui, IDialogs& dialogs)
    : QObject(window), ui(ui), m_dialogs(dialogs),
      m_panes(new EditorPanes(ui.Memo1, ui.Memo2, this)),
      m_format(new FormatController(ui, *m_panes, dialogs, this)),
      m_find(new FindController(window, ui, *m_panes, dialogs, this))
{
    setObjectName(QStringLiteral("EditController"));
    const struct
    {
        QAction* item;
        void (EditController::*handler)();
    } commands[] = {
        {ui.Undo1, &EditController::Undo1Click},
        {ui.Redo1, &EditController::Redo1Click},
        {ui.Copy1, &EditController::Copy1Click},
        {ui.Cut1, &EditController::Cut1Click},
        {ui.Paste1, &EditController::Paste1Click},
        {ui.SelectAll1, &EditController::SelectAll1Click},
        {ui.Undo2, &EditController::Undo2Click},
        {ui.Redo2, &EditController::Redo2Click},
        {ui.Copy2, &EditController::Copy2Click},
        {ui.Cut2, &EditController::Cut2Click},
        {ui.Paste2, &EditController::Paste2Click},
        {ui.SelectAll2, &EditController::SelectAll2Click},
        {ui.AutoWrap1, &EditController::AutoWrap1Click},
        {ui.Clear1, &EditController::Clear1Click},
    };
    for (const auto& c : commands)
        connect(c.item, &QAction::triggered, this, c.handler);
    connect(ui.PopMenu, &QMenu::aboutToShow, this, &EditController::PopMenuPopup);
    for (QTextEdit* pane : {ui.Memo1, ui.Memo2}) {
        connect(pane, &QWidget::customContextMenuRequested, this,
                [this, pane](const QPoint& pos) { showPopMenu(pane, pos); });
    }
    connect(ui.ClearBtn, &QToolButton::clicked, this, &EditController::ClearBtnClick);
    connect(ui.BitBtn6, &QToolButton::clicked, this, &EditController::BitBtn6Click);
}

EditController::~EditController() = default;

void EditController::showPopMenu(QTextEdit* pane, const QPoint& pos)
{
    // A scroll area reports the position in its viewport.
    ui.PopMenu->popup(pane->viewport()->mapToGlobal(pos));
}

// --- Edit menu: one code path with the pop-up menu ---

void EditController::Undo1Click()
{
    ui.Undo2->trigger();
}

void EditController::Redo1Click()
{
    ui.Redo2->trigger();
}

void EditController::Copy1Click()
{
    ui.Copy2->trigger();
}

void EditController::Cut1Click()
{
    ui.Cut2->trigger();
}

void EditController::Paste1Click()
{
    ui.Paste2->trigger();
}

void EditController::SelectAll1Click()
{
    ui.SelectAll2->trigger();
}

// --- pop-up menu ---

void EditController::Undo2Click()
{
    m_panes->focused()->undo();
}

void EditController::Redo2Click()
{
    // Re-applies the edit Undo took back; the undo history stays whole.
    m_panes->focused()->redo();
}

void EditController::Copy2Click()
{
    m_panes->focused()->copy();
}

void EditController::Cut2Click()
{
    m_panes->focused()->cut();
}

void EditController::Paste2Click()
{
    m_panes->focused()->paste();
}

void EditController::SelectAll2Click()
{
    m_panes->focused()->selectAll();
}

void EditController::AutoWrap1Click()
{
    // The item has already switched its own check mark; the pane's wrap is
    // switched on its own, so both are inverted.
    QTextEdit* pane = m_panes->focused();
    pane->setLineWrapMode(pane->lineWrapMode() == QTextEdit::NoWrap ? QTextEdit::WidgetWidth
                                                                    : QTextEdit::NoWrap);
}

void EditController::PopMenuPopup()
{
    ui.AutoWrap1->setChecked(m_panes->focused()->lineWrapMode() != QTextEdit::NoWrap);
}

void EditController::Clear1Click()
{
    if (QTextEdit* pane = m_panes->current())
        pane->clear();
}

// --- toolbar ---

void EditController::ClearBtnClick()
{
    // Only an edited source pane is worth asking about; otherwise nothing
    // is cleared, whatever the destination holds.
    if (ui.Memo1->document()->isModified() &&
        m_dialogs.messageBox(QStringLiteral("Warning"),
                             QStringLiteral("Clear all content in both windows?"), MsgIcon::None,
                             MsgButtons::YesNo) == MsgResult::Yes) {
        ui.Memo1->clear();
        ui.Memo2->clear();
    }
    ui.Memo1->setFocus();
}

void EditController::BitBtn6Click()
{
    if (QTextEdit* pane = m_panes->current())
        pane->undo();
}
