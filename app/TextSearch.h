#pragma once

#include <QList>
#include <QString>

// The find and replace text rules, without a widget. Positions are the
// panes' own: every line break counts as one character (QTextDocument
// keeps one separator per paragraph), so a position found here selects
// the same characters in the pane, however the text's breaks were
// written when it came in (CR LF, CR or LF).
namespace TextSearch {

// The pane's raw document text with its paragraph and line separators as
// '\n', character for character (no other character changes, unlike
// QTextDocument::toPlainText, which also turns non-breaking spaces into
// blanks).
QString paneText(const QString& rawDocumentText);

// A find or replace text as the pane counts it: a CR LF pair, a lone CR and
// a lone LF each become one '\n'.
QString foldBreaks(const QString& text);

// The first occurrence of what at or after from, as a plain case-sensitive
// substring; -1 when there is none or what is empty. A from outside the
// text finds nothing.
qsizetype findNext(const QString& text, const QString& what, qsizetype from);

// Every occurrence of what, left to right, none overlapping the one before;
// empty when what is empty.
QList<qsizetype> findAll(const QString& text, const QString& what);

} // namespace TextSearch
