#include "app/TranslateView.h"

#include "app/StatusLine.h"

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {
// The pane's plain-text form of a stretch of the document, as
// QTextDocument::toPlainText() gives it.
QString plain(QString s)
{
    for (QChar& c : s) {
        switch (c.unicode()) {
        case 0xfdd0:
        case 0xfdd1:
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            c = QLatin1Char('\n');
            break;
        case QChar::Nbsp:
            c = QLatin1Char(' ');
            break;
        default:
            break;
        }
    }
    return s;
}

QString withoutCarriageReturns(QString s)
{
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}
} // namespace

TranslateView::TranslateView(StatusLine& status, QTextEdit* source, QTextEdit* destination,
                             QPlainTextEdit* piece, QComboBox* sourceBox, QComboBox* destinationBox)
    : m_status(status), m_source(source), m_destination(destination), m_piece(piece),
      m_sourceBox(sourceBox), m_destinationBox(destinationBox)
{
    // Any change to the destination that is not ours (typing, formatting,
    // loading) means it must be made plain again before the next piece.
    QObject::connect(destination->document(), &QTextDocument::contentsChange, destination,
                     [this](int, int, int) {
                         if (!m_appending)
                             m_destinationTouched = true;
                     });
}

bool TranslateView::sourceModified() const
{
    return m_source->document()->isModified();
}

QString TranslateView::sourceText() const
{
    return m_source->toPlainText();
}

int TranslateView::sourceLength() const
{
    // One position per character and per line break: the plain text's length.
    return m_source->document()->characterCount() - 1;
}

QString TranslateView::selectSource(int start, int length)
{
    QTextCursor cursor(m_source->document());
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    m_source->setTextCursor(cursor);
    return plain(cursor.selectedText());
}

void TranslateView::setPiece(const QString& text)
{
    m_piece->setPlainText(text);
}

QString TranslateView::piece() const
{
    return m_piece->toPlainText();
}

void TranslateView::appendLine(const QString& text)
{
    // A new line after the present content; an empty last line takes it.
    QTextDocument* doc = m_destination->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(withoutCarriageReturns(text));
}

void TranslateView::appendPiece(const QString& text)
{
    // The pane becomes its plain text followed by the piece. Only the first
    // piece of a run (or after the user changed the pane) pays for turning
    // the pane into plain text; later pieces are appended at the end.
    m_appending = true;
    if (m_destinationTouched)
        m_destination->setPlainText(m_destination->toPlainText());
    QTextCursor cursor(m_destination->document());
    cursor.movePosition(QTextCursor::End);
    cursor.setCharFormat(QTextCharFormat());
    cursor.insertText(withoutCarriageReturns(text));
    m_appending = false;
    m_destinationTouched = false;
}

QString TranslateView::sourceName() const
{
    return m_sourceBox->currentText();
}

QString TranslateView::destinationName() const
{
    return m_destinationBox->currentText();
}

void TranslateView::setStatus(const QString& text)
{
    m_status.setText(text);
}

void TranslateView::setBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TranslateView::focusDestination()
{
    m_destination->setFocus();
}

void TranslateView::processEvents()
{
    QCoreApplication::processEvents();
}
