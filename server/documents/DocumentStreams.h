#pragma once

#include "server/documents/DocumentLimits.h"
#include "server/engine/LanguageModes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <functional>

class TranslationEngine;

// What the caller of a document translation holds on to: when it must end,
// a way to give up, and (optionally) where the translation has got to.
struct DocumentControl
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline = Clock::time_point::max();
    // Asked between pieces of work; true ends the translation.
    std::function<bool()> cancelled;
    // Called with the bytes of stream translated so far and in all.
    std::function<void(qint64 done, qint64 total)> progress;
};

// A running document translation's clock and cancel: every step asks it
// before it starts, and filters get no longer than what is left.
class DocumentRun
{
public:
    // With `limits`, the time grows with the text the run is given
    // (forText); without, it stays `limit`.
    DocumentRun(const DocumentControl& control, std::chrono::milliseconds limit,
                const std::atomic<bool>* stopping, const DocumentLimits* limits = nullptr);

    // Throws DocumentError (TimedOut, Cancelled) when the run must end.
    void check() const;
    // What is left of the run's time, at most `cap`; throws when nothing is.
    std::chrono::milliseconds left(std::chrono::milliseconds cap) const;
    bool cancelled() const;
    void progress(qint64 done, qint64 total) const;
    DocumentControl::Clock::time_point deadline() const { return m_deadline; }
    // So many more bytes of text are to be translated: the deadline moves
    // to what the limits give all the text so far, if that is later (never
    // beyond the caller's own deadline).
    void forText(qint64 textBytes) const;

private:
    const DocumentControl& m_control;
    DocumentControl::Clock::time_point m_start;
    mutable DocumentControl::Clock::time_point m_deadline;
    const std::atomic<bool>* m_stopping;
    const DocumentLimits* m_limits;
    mutable qint64 m_textBytes = 0;
};

// Apertium streams for documents.
namespace DocumentStreams {
// About this many bytes go to the engine at a time: between two pieces the
// run is checked, and other requests for the pair get their turn.
constexpr qsizetype pieceBytes = 32 * 1024;

// The stream cut after "[]" superblanks that follow a full stop (where a
// deformatter ended a block), each piece at least pieceBytes long but the
// last.
QList<QByteArray> pieces(const QByteArray& stream);

// Translates a deformatter's stream piece by piece. NUL bytes, which would
// end the engine's stream early, are dropped first. The run's time grows
// with the stream's text.
QByteArray translate(TranslationEngine& engine, const TranslationMode& mode,
                     const QByteArray& stream, const DocumentRun& run);

// Plain text as a stream, like ApertiumStream::toStream, but with markup
// kept out of the translation: with `tags`, "<...>" and "{...}" (subtitle
// styling) ride in superblanks too.
QByteArray textToStream(QStringView text, bool tags);

// Translates many short texts (subtitles) in few engine calls: each batch
// of pieceBytes is one stream, the texts parted by superblanks of our own.
QStringList translateTexts(TranslationEngine& engine, const TranslationMode& mode,
                           const QStringList& texts, bool tags, const DocumentRun& run);

// Translates plain text paragraph by paragraph (blank lines part them),
// batched as translateTexts does; the blank lines stay as they were.
QString translateText(TranslationEngine& engine, const TranslationMode& mode, const QString& text,
                      const DocumentRun& run);

// The bytes of a stream's text, superblanks left out.
qint64 textBytes(const QByteArray& stream);

// The text of a stream: superblanks left out (a space where one stood),
// escapes undone; at most maxChars.
QString streamText(const QByteArray& stream, qsizetype maxChars);

// A string no document can guess: for our own markers in streams.
QByteArray nonce();
} // namespace DocumentStreams
