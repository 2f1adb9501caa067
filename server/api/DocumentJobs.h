#pragma once

#include "common/LanguageDetector.h"
#include "server/documents/DocumentTranslator.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class ApiError;
class DocumentError;
class TranslationEngine;

// The API's document translations: at most `jobs` run at once and as many
// wait for their turn; one more is refused (503), so that documents never
// take every thread text requests need. A translation sent with a
// progress_id can be followed and cancelled under it, even while its
// request is still on its way.
class DocumentJobs
{
    // One translation's progress and cancel, shared with its control.
    struct TurnState;

public:
    // Where a translation under a progress_id has got to.
    struct Progress
    {
        bool started = false; // false: waiting for its turn
        qint64 done = 0;
        qint64 total = 0;
    };

    DocumentJobs(TranslationEngine& engine, const DocumentTranslator::Options& options, int jobs);
    // Cancels what runs and waits for it to end.
    ~DocumentJobs();
    DocumentJobs(const DocumentJobs&) = delete;
    DocumentJobs& operator=(const DocumentJobs&) = delete;

    // Ends the translations under way (as cancelled) and refuses new ones:
    // the service is stopping.
    void stop();

    // A document's turn, held for the object's lifetime, with its progress
    // registered under its progress_id (if any). Waits for the turn; throws
    // ApiError (503: too many documents, or the service is stopping; 400:
    // the progress_id is in use) or DocumentError (Cancelled while waiting).
    class Turn
    {
    public:
        Turn(DocumentJobs& jobs, const QString& id);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

        // For the translator: this turn's cancel and progress.
        DocumentControl control() const;

    private:
        // With the lock held.
        void forget();

        DocumentJobs& m_jobs;
        QString m_id;
        std::shared_ptr<TurnState> m_state;
    };

    // Null when no translation runs or waits under this id.
    std::optional<Progress> progress(const QString& id) const;
    // Cancels the translation under this id; one whose request has not
    // come yet is not begun when it comes (the last few such ids only).
    void cancel(const QString& id);

    DocumentTranslator& translator() { return m_translator; }

    struct Translated
    {
        TranslatedDocument document;
        // The language found, when the source was "auto".
        std::optional<LanguageDetector::Guess> detected;
    };
    // The document translated from source ("auto": the language of its
    // own text, found in the text the translation reads, so that the
    // document is read and converted once) into target; a document already
    // in that language comes back as it is. Throws ApiError (400: a
    // language the engine does not offer, or none found) or DocumentError.
    Translated translate(const QByteArray& file, const QString& fileName, const QString& source,
                         const QString& target, const DocumentControl& control);

    // The answer to a document the translator did not translate: 400 for
    // what the sender can change, 413, 503 when cancelled, else 500.
    static ApiError errorOf(const DocumentError& e);
    // The download's type; for text, the encoding it is written in.
    static QString contentTypeOf(const TranslatedDocument& document);

private:
    TranslationEngine& m_engine;
    DocumentTranslator m_translator;
    const int m_jobs;

    mutable std::mutex m_mutex;
    std::condition_variable m_turnFree;
    int m_running = 0;
    int m_waiting = 0;
    bool m_stopping = false;
    std::map<QString, std::shared_ptr<TurnState>> m_progress;
    std::deque<QString> m_cancelledEarly;
};
