#include "server/api/DocumentJobs.h"

#include "server/api/ApiError.h"
#include "server/api/ApiLanguages.h"
#include "server/api/DocumentFormats.h"
#include "server/documents/DocumentError.h"

#include <algorithm>

struct DocumentJobs::TurnState
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> started{false};
    std::atomic<bool> cancelled{false};
};

DocumentJobs::DocumentJobs(TranslationEngine& engine, const DocumentTranslator::Options& options,
                           int jobs)
    : m_engine(engine), m_translator(engine, options), m_jobs(std::max(1, jobs))
{
}

DocumentJobs::~DocumentJobs()
{
    stop();
}

void DocumentJobs::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_turnFree.notify_all();
    m_translator.cancelAll();
}

DocumentJobs::Turn::Turn(DocumentJobs& jobs, const QString& id)
    : m_jobs(jobs), m_id(id), m_state(std::make_shared<TurnState>())
{
    std::unique_lock lock(jobs.m_mutex);
    if (jobs.m_stopping)
        throw ApiError(503, QStringLiteral("The service is stopping"));
    if (jobs.m_running >= jobs.m_jobs && jobs.m_waiting >= jobs.m_jobs)
        throw ApiError(503, QStringLiteral("The service is translating other documents; try "
                                           "again shortly"));
    if (!id.isEmpty()) {
        if (std::erase(jobs.m_cancelledEarly, id) > 0)
            m_state->cancelled = true;
        if (!jobs.m_progress.emplace(id, m_state).second)
            throw ApiError::invalid(QStringLiteral(
                "Invalid request: a translation with this progress_id is under way"));
    }
    ++jobs.m_waiting;
    jobs.m_turnFree.wait(lock, [&] {
        return jobs.m_running < jobs.m_jobs || jobs.m_stopping || m_state->cancelled;
    });
    --jobs.m_waiting;
    if (jobs.m_stopping || m_state->cancelled) {
        forget();
        throw DocumentError(DocumentError::Kind::Cancelled,
                            QStringLiteral("The document's translation was cancelled"));
    }
    ++jobs.m_running;
    m_state->started = true;
}

DocumentJobs::Turn::~Turn()
{
    {
        std::lock_guard lock(m_jobs.m_mutex);
        --m_jobs.m_running;
        forget();
    }
    m_jobs.m_turnFree.notify_all();
}

void DocumentJobs::Turn::forget()
{
    if (!m_id.isEmpty())
        m_jobs.m_progress.erase(m_id);
}

DocumentControl DocumentJobs::Turn::control() const
{
    DocumentControl control;
    std::shared_ptr<TurnState> state = m_state;
    control.cancelled = [state] { return state->cancelled.load(); };
    control.progress = [state](qint64 done, qint64 total) {
        state->total = total;
        state->done = done;
    };
    return control;
}

std::optional<DocumentJobs::Progress> DocumentJobs::progress(const QString& id) const
{
    std::shared_ptr<TurnState> state;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_progress.find(id);
        if (it == m_progress.end())
            return std::nullopt;
        state = it->second;
    }
    return Progress{state->started.load(), state->done.load(), state->total.load()};
}

void DocumentJobs::cancel(const QString& id)
{
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_progress.find(id);
        if (it != m_progress.end()) {
            it->second->cancelled = true;
        } else if (std::find(m_cancelledEarly.begin(), m_cancelledEarly.end(), id) ==
                   m_cancelledEarly.end()) {
            // Its request may still be on its way or in the queue.
            m_cancelledEarly.push_back(id);
            if (m_cancelledEarly.size() > 64)
                m_cancelledEarly.pop_front();
        }
    }
    m_turnFree.notify_all();
}

namespace {
// Where the language found is the one asked for: nothing to translate.
struct SameLanguage
{
};
} // namespace

DocumentJobs::Translated DocumentJobs::translate(const QByteArray& file, const QString& fileName,
                                                 const QString& source, const QString& target,
                                                 const DocumentControl& control)
{
    const ApiLanguages::Table table = ApiLanguages::table(m_engine);
    // The checks, in their order, once the source language is known.
    const auto modeFrom = [&](const QString& from) -> std::optional<TranslationMode> {
        if (!ApiLanguages::isSupported(table, from))
            throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(from));
        if (!ApiLanguages::isSupported(table, target))
            throw ApiError::invalid(QStringLiteral("%1 is not supported").arg(target));
        if (from == target)
            return std::nullopt;
        return ApiLanguages::checkedMode(m_engine, from, target);
    };
    // A document already in the language asked for comes back as it is.
    const auto asItIs = [&] {
        const QString extension = fileExtension(fileName).mid(1);
        return TranslatedDocument{file, fileName, DocumentTranslator::mimeTypeOf(extension),
                                  extension};
    };
    Translated out;
    if (source != QLatin1String("auto")) {
        const std::optional<TranslationMode> mode = modeFrom(source);
        out.document = mode ? m_translator.translate(file, fileName, *mode, control) : asItIs();
        return out;
    }
    // Found in the middle of the translation: a refusal goes through it as
    // a DocumentError, which says the same to the client.
    const auto detect = [&](const QString& text) {
        const QList<LanguageDetector::Guess> guesses = LanguageDetector::detect(text);
        if (guesses.isEmpty())
            throw DocumentError(DocumentError::Kind::Refused,
                                QStringLiteral("Invalid request: the language of the file cannot "
                                               "be detected; give it as the source parameter"));
        out.detected = guesses.front();
        std::optional<TranslationMode> mode;
        try {
            mode = modeFrom(guesses.front().code);
        } catch (const ApiError& e) {
            throw DocumentError(DocumentError::Kind::Refused, e.message());
        }
        if (!mode)
            throw SameLanguage{};
        return *mode;
    };
    try {
        out.document = m_translator.translate(file, fileName, detect, control);
    } catch (const SameLanguage&) {
        out.document = asItIs();
    }
    return out;
}

ApiError DocumentJobs::errorOf(const DocumentError& e)
{
    switch (e.kind()) {
    case DocumentError::Kind::Unsupported:
    case DocumentError::Kind::NoPair:
    case DocumentError::Kind::Refused:
        return ApiError::invalid(e.message());
    case DocumentError::Kind::TooLarge:
        return ApiError(413, e.message());
    case DocumentError::Kind::Cancelled:
        return ApiError(503, e.message());
    case DocumentError::Kind::TimedOut:
    case DocumentError::Kind::Failed:
        break;
    }
    return ApiError(500, e.message());
}

QString DocumentJobs::contentTypeOf(const TranslatedDocument& document)
{
    const QString& type = document.mimeType;
    if (!type.startsWith(QLatin1String("text/")) && type != QLatin1String("application/x-subrip") &&
        type != QLatin1String("application/xhtml+xml"))
        return type;
    const bool utf16 = document.file.startsWith("\xFF\xFE") || document.file.startsWith("\xFE\xFF");
    return type + (utf16 ? QStringLiteral("; charset=utf-16") : QStringLiteral("; charset=utf-8"));
}
