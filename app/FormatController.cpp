#include "app/FormatController.h"

#include "app/EditorPanes.h"
#include "app/MainWindowUi.h"

#include "platform/Dialogs.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

namespace {

QFont resolvedFont(const QTextCharFormat& format, const QTextDocument* document)
{
    return format.font().resolve(document->defaultFont());
}

// The format a pane reports for its selection: that of the first selected
// character, or the format new typing takes when nothing is selected.
QTextCharFormat selectionFormat(const QTextEdit* pane)
{
    const QTextCursor cursor = pane->textCursor();
    if (!cursor.hasSelection())
        return pane->currentCharFormat();
    QTextCursor first(pane->document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
}

// Calls visit for the format of every character run inside the selection;
// stops when visit returns false.
template <class Visit> void forEachSelectedRun(const QTextCursor& cursor, Visit visit)
{
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    for (QTextBlock block = cursor.document()->findBlock(start);
         block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment run = it.fragment();
            if (run.position() + run.length() <= start || run.position() >= end)
                continue;
            if (!visit(run.charFormat()))
                return;
        }
    }
}

} // namespace

FormatController::FormatController(MainWindowUi& ui, EditorPanes& panes, IDialogs& dialogs,
                                   QObject* parent)
    : QObject(parent), ui(ui), m_panes(panes), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FormatController"));
    const struct
    {
        QToolButton* button;
        void (FormatController::*handler)();
    } commands[] = {
        {ui.FontBtn, &FormatController::FontBtnClick},
        {ui.BoldBtn, &FormatController::BoldBtnClick},
        {ui.ItalicBtn, &FormatController::ItalicBtnClick},
        {ui.UnderlineBtn, &FormatController::UnderlineBtnClick},
        {ui.SpeedButton1, &FormatController::SpeedButton1Click},
        {ui.LeftBtn, &FormatController::LeftBtnClick},
        {ui.CentreBtn, &FormatController::CentreBtnClick},
        {ui.RightBtn, &FormatController::RightBtnClick},
    };
    for (const auto& c : commands)
        connect(c.button, &QToolButton::clicked, this, c.handler);
}

void FormatController::loadFromSelection(QTextEdit* pane)
{
    const QTextCharFormat format = selectionFormat(pane);
    QFont font = resolvedFont(format, pane->document());
    // A style counts for a selection only when every selected character
    // has it, so that Bold on a partly bold selection makes all of it bold.
    const QTextCursor cursor = pane->textCursor();
    if (cursor.hasSelection()) {
        bool bold = true, italic = true, underline = true;
        forEachSelectedRun(cursor, [&](const QTextCharFormat& run) {
            const QFont f = resolvedFont(run, pane->document());
            bold = bold && f.bold();
            italic = italic && f.italic();
            underline = underline && f.underline();
            return bold || italic || underline;
        });
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
    }
    FontDialog1.font = font;
    FontDialog1.color = format.foreground().style() == Qt::NoBrush
                            ? pane->palette().color(QPalette::Text)
                            : format.foreground().color();
}

void FormatController::applyToTarget(QTextEdit* pane)
{
    const QFont& font = FontDialog1.font;
    QTextCharFormat format;
    format.setFontFamilies(QStringList{font.family()});
    if (font.pointSizeF() > 0)
        format.setFontPointSize(font.pointSizeF());
    format.setFontWeight(font.weight());
    format.setFontItalic(font.italic());
    format.setFontUnderline(font.underline());
    format.setFontStrikeOut(font.strikeOut());
    format.setForeground(FontDialog1.color);

    QTextCursor cursor = pane->textCursor();
    if (cursor.hasSelection())
        cursor.mergeCharFormat(format);
    else
        pane->mergeCurrentCharFormat(format); // what the next typed text takes
    resetStyle();
}

void FormatController::resetStyle()
{
    FontDialog1.font.setWeight(QFont::Normal);
    FontDialog1.font.setItalic(false);
    FontDialog1.font.setUnderline(false);
    FontDialog1.font.setStrikeOut(false);
}

void FormatController::FontBtnClick()
{
    QTextEdit* pane = m_panes.current();
    if (!pane)
        return;
    loadFromSelection(pane);
    if (std::optional<QFont> chosen = m_dialogs.chooseFont(FontDialog1.font)) {
        FontDialog1.font = *chosen; // the dialog has no colour: it keeps the loaded one
        applyToTarget(pane);
    } else {
        resetStyle();
    }
    pane->setFocus();
}

void FormatController::switchStyle(Style style)
{
    QTextEdit* pane = m_panes.current();
    if (!pane)
        return;
    loadFromSelection(pane);
    QFont& font = FontDialog1.font;
    switch (style) {
    case Style::Bold:
        font.setBold(!font.bold());
        break;
    case Style::Italic:
        font.setItalic(!font.italic());
        break;
    case Style::Underline:
        font.setUnderline(!font.underline());
        break;
    }
    applyToTarget(pane);
    pane->setFocus();
}

void FormatController::BoldBtnClick()
{
    switchStyle(Style::Bold);
}

void FormatController::ItalicBtnClick()
{
    switchStyle(Style::Italic);
}

void FormatController::UnderlineBtnClick()
{
    switchStyle(Style::Underline);
}

void FormatController::SpeedButton1Click()
{
    QTextEdit* pane = m_panes.current();
    if (!pane)
        return;
    const std::optional<QColor> chosen = m_dialogs.chooseColor(ColorDialog1);
    if (!chosen)
        return;
    ColorDialog1 = *chosen;
    loadFromSelection(pane);
    FontDialog1.color = *chosen;
    applyToTarget(pane);
    pane->setFocus();
}

// Alignment always acts on the source pane's paragraphs under its
// selection or caret, whichever pane is current.
void FormatController::alignSource(Qt::Alignment alignment)
{
    m_panes.source()->setAlignment(alignment);
}

void FormatController::LeftBtnClick()
{
    alignSource(Qt::AlignLeft | Qt::AlignAbsolute);
}

void FormatController::CentreBtnClick()
{
    alignSource(Qt::AlignHCenter);
}

void FormatController::RightBtnClick()
{
    alignSource(Qt::AlignRight | Qt::AlignAbsolute);
}
