#include "server/documents/DocumentStreams.h"

#include "server/documents/DocumentError.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/TranslationEngine.h"
#include "server/engine/WorkScope.h"

#include <QRandomGenerator>
#include <QRegularExpression>

DocumentRun::DocumentRun(const DocumentControl& control, std::chrono::milliseconds limit,
                         const std::atomic<bool>* stopping, const DocumentLimits* limits)
    : m_control(control), m_start(DocumentControl::Clock::now()), m_stopping(stopping),
      m_limits(limits)
{
    m_deadline = std::min(m_start + limit, control.deadline);
}

void DocumentRun::forText(qint64 textBytes) const
{
    if (!m_limits || textBytes <= 0)
        return;
    m_textBytes += textBytes;
    const auto own = std::min(m_start + m_limits->timeForText(m_textBytes), m_control.deadline);
    m_deadline = std::max(m_deadline, own);
}

bool DocumentRun::cancelled() const
{
    // Its client gone, or the service stopping, ends it as well.
    return (m_stopping && m_stopping->load()) || (m_control.cancelled && m_control.cancelled()) ||
           WorkScope::givenUp();
}

void DocumentRun::check() const
{
    if (cancelled())
        throw DocumentError(DocumentError::Kind::Cancelled,
                            QStringLiteral("The document's translation was cancelled"));
    if (DocumentControl::Clock::now() >= m_deadline)
        throw DocumentError(DocumentError::Kind::TimedOut,
                            QStringLiteral("The document's translation took too long and was "
                                           "stopped"));
}

std::chrono::milliseconds DocumentRun::left(std::chrono::milliseconds cap) const
{
    check();
    const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_deadline - DocumentControl::Clock::now());
    return std::max(std::chrono::milliseconds(1), std::min(rest, cap));
}

void DocumentRun::progress(qint64 done, qint64 total) const
{
    if (m_control.progress)
        m_control.progress(done, total);
}

namespace DocumentStreams {
namespace {
DocumentError lost(const QString& what)
{
    return DocumentError(
        DocumentError::Kind::Failed,
        QStringLiteral("The translation could not be put back into the %1").arg(what));
}
} // namespace

QList<QByteArray> pieces(const QByteArray& stream)
{
    return ApertiumStream::blockPieces(stream, pieceBytes);
}

QByteArray translate(TranslationEngine& engine, const TranslationMode& mode,
                     const QByteArray& stream, const DocumentRun& run)
{
    QByteArray clean = stream;
    clean.replace('\0', QByteArray());
    run.forText(textBytes(clean));
    const QList<QByteArray> parts = pieces(clean);
    QByteArray out;
    out.reserve(clean.size() + clean.size() / 4);
    qint64 done = 0;
    for (const QByteArray& piece : parts) {
        run.check();
        out += engine.translateStream(mode, piece);
        done += piece.size();
        run.progress(done, clean.size());
    }
    return out;
}

QByteArray textToStream(QStringView text, bool tags)
{
    return ApertiumStream::toStream(text, tags);
}

QStringList translateTexts(TranslationEngine& engine, const TranslationMode& mode,
                           const QStringList& texts, bool tags, const DocumentRun& run)
{
    QStringList result = texts;
    const QByteArray mark = "[tq" + nonce() + '-';
    qint64 total = 0;
    for (const QString& t : texts)
        total += t.size();
    qint64 done = 0;
    qsizetype next = 0;
    while (next < texts.size()) {
        run.check();
        QByteArray stream;
        QList<qsizetype> batch;
        for (; next < texts.size() && stream.size() < pieceBytes; ++next) {
            if (texts[next].trimmed().isEmpty())
                continue;
            stream += textToStream(texts[next], tags);
            stream += mark + QByteArray::number(next) + ']';
            batch << next;
            done += texts[next].size();
        }
        if (batch.isEmpty())
            break;
        run.forText(textBytes(stream));
        const QByteArray out = engine.translateStream(mode, stream);
        qsizetype from = 0;
        for (const qsizetype index : batch) {
            const QByteArray separator = mark + QByteArray::number(index) + ']';
            const qsizetype at = out.indexOf(separator, from);
            if (at < 0)
                throw lost(QStringLiteral("subtitles"));
            result[index] = ApertiumStream::fromStream(out.mid(from, at - from));
            from = at + separator.size();
        }
        run.progress(done, total);
    }
    return result;
}

QString translateText(TranslationEngine& engine, const TranslationMode& mode, const QString& text,
                      const DocumentRun& run)
{
    // Paragraphs apart, each a sentence end of its own (as a heading over a
    // blank line is); the blank lines between them stay as they were.
    static const QRegularExpression gap(QStringLiteral("\\n[ \\t\\r\\f\\v]*\\n\\s*"));
    QStringList paragraphs;
    QStringList gaps;
    qsizetype from = 0;
    for (auto it = gap.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        paragraphs << text.mid(from, m.capturedStart() - from);
        gaps << m.captured();
        from = m.capturedEnd();
    }
    paragraphs << text.mid(from);
    const QStringList translated = translateTexts(engine, mode, paragraphs, false, run);
    QString out;
    out.reserve(text.size() + text.size() / 4);
    for (qsizetype i = 0; i < translated.size(); ++i) {
        out += translated[i];
        if (i < gaps.size())
            out += gaps[i];
    }
    return out;
}

qint64 textBytes(const QByteArray& stream)
{
    qint64 n = 0;
    bool inBlank = false;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        const char c = stream[i];
        if (c == '\\') {
            ++i;
            n += inBlank ? 0 : 1;
        } else if (c == '[' && !inBlank) {
            inBlank = true;
        } else if (c == ']' && inBlank) {
            inBlank = false;
        } else if (!inBlank) {
            ++n;
        }
    }
    return n;
}

QString streamText(const QByteArray& stream, qsizetype maxChars)
{
    const QString in = QString::fromUtf8(stream);
    QString out;
    for (qsizetype i = 0; i < in.size() && out.size() < maxChars; ++i) {
        const QChar c = in[i];
        if (c == QLatin1Char('\\') && i + 1 < in.size()) {
            out += in[++i];
        } else if (c == QLatin1Char('[')) {
            qsizetype j = i + 1;
            while (j < in.size() && in[j] != QLatin1Char(']'))
                j += in[j] == QLatin1Char('\\') ? 2 : 1;
            if (!out.isEmpty() && !out.back().isSpace())
                out += QLatin1Char(' ');
            i = j;
        } else {
            out += c;
        }
    }
    return out.left(maxChars);
}

QByteArray nonce()
{
    return QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}
} // namespace DocumentStreams
