#include "server/remote/TextPieces.h"

#include "server/engine/ApertiumStream.h"

#include <QChar>

namespace TextPieces {
namespace {
bool isBlank(QChar c)
{
    return c.isSpace();
}

// Ends a sentence, and may be cut after even without a blank following
// (Chinese and Japanese write none).
bool endsSentenceTight(QChar c)
{
    return c == QChar(0x3002) || c == QChar(0xFF01) || c == QChar(0xFF1F) || c == QChar(0xFF0E);
}

bool endsSentence(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?') ||
           c == QChar(0x2026) || endsSentenceTight(c);
}

// The index after at most count code points from start.
qsizetype advance(const QString& text, qsizetype start, qsizetype count)
{
    qsizetype i = start;
    for (qsizetype n = 0; n < count && i < text.size(); ++n)
        i += text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                              : 1;
    return i;
}
} // namespace

qsizetype codePoints(QStringView text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

QList<Piece> cut(const QString& text, qsizetype maxChars)
{
    QList<Piece> pieces;
    maxChars = std::max<qsizetype>(maxChars, 1);
    qsizetype pos = 0;
    QString lead;
    while (pos < text.size() && isBlank(text[pos]))
        lead += text[pos++];
    while (pos < text.size()) {
        const qsizetype limit = advance(text, pos, maxChars);
        qsizetype end = text.size();
        if (limit < text.size()) {
            // The best cut at or before the limit: after a sentence end,
            // else at a blank, else at the limit itself.
            qsizetype sentence = -1;
            qsizetype blank = -1;
            for (qsizetype i = limit; i > pos; --i) {
                const QChar before = text[i - 1];
                if (sentence < 0 && endsSentenceTight(before))
                    sentence = i;
                if (isBlank(text[i])) {
                    if (sentence < 0 && (endsSentence(before) || text[i] == QLatin1Char('\n')))
                        sentence = i;
                    if (blank < 0 && !isBlank(before))
                        blank = i;
                }
                if (sentence >= 0)
                    break;
            }
            end = sentence > pos ? sentence : blank > pos ? blank : limit;
        }
        Piece piece;
        piece.lead = std::exchange(lead, QString());
        qsizetype coreEnd = end;
        while (coreEnd > pos && isBlank(text[coreEnd - 1]))
            --coreEnd;
        piece.core = text.mid(pos, coreEnd - pos);
        piece.trail = text.mid(coreEnd, end - coreEnd);
        pos = end;
        while (pos < text.size() && isBlank(text[pos]))
            piece.trail += text[pos++];
        pieces << piece;
    }
    if (!lead.isEmpty())
        pieces << Piece{lead, {}, {}};
    return pieces;
}

QList<Segment> segments(const QByteArray& stream)
{
    QList<Segment> result;
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            result << Segment{stream.mid(runStart, end - runStart), true};
    };
    qsizetype i = 0;
    while (i < stream.size()) {
        const char c = stream[i];
        if (c == '\\') {
            i += 2;
        } else if (c == '[') {
            flushRun(i);
            qsizetype j = i + 1;
            while (j < stream.size() && stream[j] != ']')
                j += stream[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, stream.size());
            result << Segment{stream.mid(i, j - i), false};
            i = j;
            runStart = j;
        } else if (c == '\0') {
            flushRun(i);
            result << Segment{QByteArray(1, '\0'), false};
            runStart = ++i;
        } else {
            ++i;
        }
    }
    flushRun(std::min(i, stream.size()));
    return result;
}

bool hasLetters(const QByteArray& run)
{
    for (const QChar c : QString::fromUtf8(run)) {
        if (c.isLetter())
            return true;
    }
    return false;
}

QString unescape(const QByteArray& run)
{
    QByteArray out;
    out.reserve(run.size());
    for (qsizetype i = 0; i < run.size(); ++i) {
        if (run[i] == '\\' && i + 1 < run.size())
            ++i;
        out += run[i];
    }
    return QString::fromUtf8(out);
}

QByteArray escape(const QString& text)
{
    // The stream writer's escaping, without the full stop it ends with.
    QByteArray stream = ApertiumStream::toStream(text);
    stream.chop(3);
    return stream;
}

QList<QByteArray> streamPieces(const QByteArray& stream, qsizetype maxBytes)
{
    QList<QByteArray> pieces;
    QByteArray current;
    const auto flush = [&] {
        if (!current.isEmpty())
            pieces << std::exchange(current, QByteArray());
    };
    for (const Segment& segment : segments(stream)) {
        if (current.size() + segment.bytes.size() <= maxBytes) {
            current += segment.bytes;
            continue;
        }
        flush();
        if (segment.bytes.size() <= maxBytes) {
            current = segment.bytes;
            continue;
        }
        if (!segment.text) {
            pieces << segment.bytes;
            continue;
        }
        // A long run: cut after blanks, never inside an escape.
        const QByteArray& run = segment.bytes;
        qsizetype start = 0;
        while (run.size() - start > maxBytes) {
            qsizetype cutAt = -1;
            for (qsizetype i = start; i < run.size() && i - start < maxBytes; ++i) {
                if (run[i] == '\\') {
                    ++i;
                    continue;
                }
                if (run[i] == ' ')
                    cutAt = i + 1;
            }
            if (cutAt <= start) {
                // No blank: the longest stretch that ends outside an escape
                // and a UTF-8 sequence; at least one of them.
                cutAt = start;
                for (qsizetype i = start; i < run.size();) {
                    qsizetype next = i + (run[i] == '\\' ? 2 : 1);
                    while (next < run.size() &&
                           (static_cast<unsigned char>(run[next]) & 0xC0) == 0x80)
                        ++next;
                    next = std::min(next, run.size());
                    if (next - start > maxBytes && cutAt > start)
                        break;
                    cutAt = i = next;
                    if (next - start >= maxBytes)
                        break;
                }
            }
            pieces << run.mid(start, cutAt - start);
            start = cutAt;
        }
        current = run.mid(start);
    }
    flush();
    return pieces;
}
} // namespace TextPieces
