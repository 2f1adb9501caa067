// A translation's blanks: its outer blanks are its source's, run by run
// between superblanks, and a space doubled where a word was dropped is one.
#include "server/engine/ApertiumStream.h"

#include <algorithm>

namespace ApertiumStream {
namespace {
// A stream as the runs of text between its superblanks: runs[i] lies
// between superblank i - 1 and superblank i (the stream's ends for the
// first and last), so there is one run more than superblanks.
struct Runs
{
    QList<QByteArray> runs;
    QList<QByteArray> superblanks;
    // The last superblank does not close: nothing can follow it.
    bool open = false;
};

Runs splitRuns(const QByteArray& s)
{
    Runs r;
    qsizetype start = 0;
    ApertiumStream::forEachSuperblank(s, [&](qsizetype at, qsizetype end, bool closed) {
        r.runs << s.mid(start, at - start);
        r.superblanks << s.mid(at, end - at);
        r.open = !closed;
        start = end;
    });
    r.runs << s.mid(std::min(start, s.size()));
    return r;
}

bool isRunBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// How many plain blanks a run of text starts with, and ends with. A blank
// after a backslash is escaped text, not a blank.
qsizetype leadingBlanks(const QByteArray& run)
{
    qsizetype n = 0;
    while (n < run.size() && isRunBlank(run[n]))
        ++n;
    return n;
}

qsizetype trailingBlanks(const QByteArray& run)
{
    qsizetype n = 0;
    while (n < run.size() && isRunBlank(run[run.size() - 1 - n]))
        ++n;
    // An odd number of backslashes before the last blank escapes it.
    qsizetype slashes = 0;
    while (run.size() - n - 1 - slashes >= 0 && run[run.size() - n - 1 - slashes] == '\\')
        ++slashes;
    return slashes % 2 == 1 ? std::max<qsizetype>(0, n - 1) : n;
}

// The longest run of plain spaces in a stream's text, or a text's.
qsizetype longestSpaces(const QList<QByteArray>& runs)
{
    qsizetype longest = 0;
    for (const QByteArray& run : runs) {
        qsizetype n = 0;
        for (qsizetype i = 0; i < run.size(); ++i) {
            if (run[i] == '\\') {
                n = 0;
                ++i;
            } else if (run[i] == ' ') {
                longest = std::max(longest, ++n);
            } else {
                n = 0;
            }
        }
    }
    return longest;
}

// Runs of spaces longer than any the source has become one space: a word
// the translator dropped left its blanks on both sides.
QByteArray singleSpaces(const QByteArray& run, qsizetype keep)
{
    QByteArray out;
    out.reserve(run.size());
    for (qsizetype i = 0; i < run.size(); ++i) {
        if (run[i] == '\\') {
            out += run[i];
            if (i + 1 < run.size())
                out += run[++i];
            continue;
        }
        if (run[i] != ' ') {
            out += run[i];
            continue;
        }
        qsizetype end = i;
        while (end < run.size() && run[end] == ' ')
            ++end;
        out += end - i > keep ? QByteArray(" ") : QByteArray(end - i, ' ');
        i = end - 1;
    }
    return out;
}

// The translated run with the source run's outer blanks. A run that is
// only blanks on both sides becomes the source's; a run that has text on
// one side only (a word moved past a superblank) is left alone.
QByteArray withOuterBlanks(const QByteArray& source, const QByteArray& translated)
{
    const qsizetype sourceLead = leadingBlanks(source);
    const qsizetype lead = leadingBlanks(translated);
    const bool sourceBlank = sourceLead == source.size();
    const bool blank = lead == translated.size();
    if (sourceBlank && blank)
        return source;
    if (sourceBlank || blank)
        return translated;
    const qsizetype sourceTrail = trailingBlanks(source);
    const qsizetype trail = trailingBlanks(translated);
    return source.left(sourceLead) + translated.mid(lead, translated.size() - lead - trail) +
           source.right(sourceTrail);
}
} // namespace

QByteArray keepBlanks(const QByteArray& source, const QByteArray& translated)
{
    const Runs from = splitRuns(source);
    Runs to = splitRuns(translated);
    const qsizetype keep = std::max<qsizetype>(1, longestSpaces(from.runs));
    for (QByteArray& run : to.runs)
        run = singleSpaces(run, keep);
    if (to.superblanks == from.superblanks) {
        for (qsizetype i = 0; i < to.runs.size(); ++i)
            to.runs[i] = withOuterBlanks(from.runs[i], to.runs[i]);
    } else {
        // The superblanks moved: only the stream's own ends are known to
        // match.
        to.runs.first() = withOuterBlanks(from.runs.first(), to.runs.first());
        if (!to.open)
            to.runs.last() = withOuterBlanks(from.runs.last(), to.runs.last());
    }
    QByteArray out;
    out.reserve(translated.size());
    for (qsizetype i = 0; i < to.superblanks.size(); ++i)
        out += to.runs[i] + to.superblanks[i];
    out += to.runs.last();
    return out;
}

QString keepBlanks(const QString& source, const QString& translated)
{
    // Lines are to a text what superblanks are to a stream; a text has no
    // escapes, so backslashes are doubled on the way in and out.
    const auto lines = [](const QString& text) {
        QByteArray s = text.toUtf8();
        s.replace('\\', "\\\\");
        s.replace('[', "\\[");
        s.replace(']', "\\]");
        s.replace('\n', "[\n]");
        return s;
    };
    QByteArray kept = keepBlanks(lines(source), lines(translated));
    QByteArray out;
    out.reserve(kept.size());
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i] == '\\' && i + 1 < kept.size())
            out += kept[++i];
        else if (kept[i] != '[' && kept[i] != ']')
            out += kept[i];
    }
    return QString::fromUtf8(out);
}
} // namespace ApertiumStream
