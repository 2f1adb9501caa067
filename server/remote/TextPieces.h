#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// Cutting what goes to a remote engine into pieces it takes whole, so that
// the pieces' translations joined in order are the translation.
namespace TextPieces {
// Characters as servers written in Python count them: code points.
qsizetype codePoints(QStringView text);

// A piece of a text: the blanks before and after it are kept here, not
// sent (servers trim them).
struct Piece
{
    QString lead;
    QString core;
    QString trail;
};
// The text in pieces whose cores have at most maxChars code points each,
// cut after the last sentence end that fits, else at the last blank, else
// (one long word) where the limit falls. lead + core + trail of every
// piece, in order, is the text again. Blank cores are not made.
QList<Piece> cut(const QString& text, qsizetype maxChars);

// A stream in Apertium's format, as runs of text and the blanks between
// them (superblanks, NUL).
struct Segment
{
    QByteArray bytes;
    bool text = false;
};
QList<Segment> segments(const QByteArray& stream);
// Whether a text run has anything to translate (a letter).
bool hasLetters(const QByteArray& run);
// A text run's plain text, escapes undone; and back.
QString unescape(const QByteArray& run);
QByteArray escape(const QString& text);
// The stream in pieces of at most maxBytes where it can be cut: between
// segments, else at a blank inside a text run. A superblank longer than
// maxBytes is a piece of its own.
QList<QByteArray> streamPieces(const QByteArray& stream, qsizetype maxBytes);
} // namespace TextPieces
