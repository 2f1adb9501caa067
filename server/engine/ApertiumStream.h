#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>

// Plain text to and from Apertium's stream format, done here rather than by
// apertium-destxt/apertium-retxt so that a request starts no process; and
// what makes any stream safe to write into a long-lived pipeline.
namespace ApertiumStream {
// Escapes the stream's special characters, puts every blank other than a
// single space into a superblank ("[\n\n]") and ends with ".[]": a full
// stop of our own that lets the last sentence leave the tagger, removed
// again by fromStream. NUL characters are dropped: they end a stream.
// With inlineTags, short tags on one line ("<i>", "{\an8}", as subtitles
// carry them) ride in superblanks too, so that they come back as written.
QByteArray toStream(QStringView text, bool inlineTags = false);
// The text of a translated stream: escapes undone, superblanks opened,
// the full stop that toStream added taken out again.
QString fromStream(const QByteArray& stream);

// lrx-proc does not know escapes outside lexical units: the caret of an
// escaped "\^" in a blank or superblank starts a lexical unit for it, which
// then swallows everything up to the next "$", the end-of-request NUL and
// marker included, and the pipeline stalls. So no "\^" ever enters a
// pipeline: guard() writes it as an escaped private-use character inside a
// superblank, and as a superblank holding another one in text, characters
// no deformatter escapes; unguard() writes "\^" back. Whatever else could
// upset a stage is mended on the way: NULs dropped, malformed UTF-8 (which
// ends a stage) written as U+FFFD, an unclosed superblank closed, a
// backslash at the end dropped, "[" inside a superblank and the stream's
// special characters outside escaped, a tilde in text put into a
// superblank. A stream written by apertium-deshtml or toStream comes back
// from unguard(guard()) unchanged.
enum class Guard {
    // A stream from outside: an escaped reserved character it holds is
    // written plain, so that unguard() never mistakes it for one of ours.
    Entry,
    // A stream already guarded (the output of a leg that feeds the next):
    // the reserved characters stay as they are.
    Continuation
};
QByteArray guard(const QByteArray& stream, Guard kind = Guard::Entry);
QByteArray unguard(const QByteArray& stream);

// A stream cut after the "[]" superblanks that follow a full stop (where a
// deformatter or toStream ended a block, and the tagger lets the sentence
// go), each piece at least minBytes long where the stream allows.
QList<QByteArray> blockPieces(const QByteArray& stream, qsizetype minBytes);

// The superblanks of a stream ("[<p>]", escapes kept), in order: what
// must come back from a pipeline, moved perhaps, but never changed.
QList<QByteArray> superblanks(const QByteArray& stream);
// Calls found(at, end, closed) for each superblank in order: it begins at
// "[" at and ends before end, past its "]" or, when it never closes, at the
// stream's end.
template <typename Found> void forEachSuperblank(const QByteArray& s, Found&& found)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == '[') {
            qsizetype j = i + 1;
            while (j < s.size() && s[j] != ']')
                j += s[j] == '\\' ? 2 : 1;
            found(i, std::min(j + 1, s.size()), j < s.size());
            i = j;
        }
    }
}

// The translation of a stream with the blanks its source had, for what
// Apertium adds: each run of text between superblanks keeps its source
// run's outer blanks (where the superblanks came back in their order; else
// the stream's ends do), and a run of spaces longer than any in the source,
// left where a word was dropped, becomes one space. Spaces the source had
// stay as they were.
QByteArray keepBlanks(const QByteArray& source, const QByteArray& translated);
// The same for a plain text, its lines taken as the runs.
QString keepBlanks(const QString& source, const QString& translated);

// Two superblanks that mark where a part of a long stream begins and ends
// inside the context it is translated with; guard() lets neither through
// from outside.
QByteArray partStart();
QByteArray partEnd();

// Where a guarded stream may be cut between sentences: just after a blank
// (a space or one superblank) that follows an unescaped ".", "?" or "!" of
// the text. Ascending; 0 and the end are not listed.
QList<qsizetype> sentenceEnds(const QByteArray& guarded);

// One part of a long stream: [start, end) is translated between the
// context before [contextStart, start) and after [end, contextEnd), which
// put every stage into the state it would have there in one piece, and
// whose translation is then dropped.
struct Part
{
    qsizetype contextStart = 0;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype contextEnd = 0;

    bool operator==(const Part&) const = default;
};
// The stream cut at sentence ends into `count` parts of about equal size
// (fewer when it has too few sentence ends), each with at least
// `contextBytes` of context on either side where the stream has it, the
// context itself beginning and ending at sentence ends (or the stream's
// ends).
QList<Part> planParts(const QByteArray& guarded, int count, qsizetype contextBytes);
// What a part is sent as: its context and the part between the markers.
QByteArray partInput(const QByteArray& guarded, const Part& part);
// The translation of the part alone, out of the translation of partInput();
// false when the markers did not come back once each and in order.
bool partOutput(const QByteArray& translated, const Part& part, QByteArray* out);
// Characters the stream escapes with a backslash, in text and in
// superblanks alike.
bool isSpecial(char16_t c);
} // namespace ApertiumStream
