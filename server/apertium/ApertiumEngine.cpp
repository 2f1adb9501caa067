#include "server/apertium/ApertiumEngine.h"

#include "server/ServerLogging.h"
#include "server/engine/ApertiumStream.h"
#include "server/engine/HtmlTranslation.h"
#include "server/engine/ServiceFault.h"
#include "server/engine/WorkScope.h"

#include <atomic>
#include <limits>
#include <optional>

namespace {
const QLatin1String pivot("es");
}

ApertiumEngine::ApertiumEngine(const QList<ApertiumMode>& modes, const Options& options)
    : m_options(options)
{
    for (const ApertiumMode& mode : modes)
        m_pools[{mode.source, mode.target}] =
            std::make_unique<PipelinePool>(mode, m_options.instances);
    m_reaper = std::thread([this] { reapIdle(); });
}

ApertiumEngine::~ApertiumEngine()
{
    stop();
}

void ApertiumEngine::reapIdle()
{
    // Often enough that an instance goes within a quarter of the idle time
    // after it, and never more than once a second.
    const auto interval = std::clamp<std::chrono::milliseconds>(
        m_options.idleTime / 4, std::chrono::milliseconds(50), std::chrono::seconds(1));
    std::unique_lock lock(m_reaperMutex);
    while (!m_reaperWake.wait_for(lock, interval, [this] { return m_stopping; })) {
        lock.unlock();
        const Clock::time_point before = Clock::now() - m_options.idleTime;
        for (auto& [key, pool] : m_pools)
            pool->stopIdle(before);
        lock.lock();
    }
}

PipelinePool* ApertiumEngine::pool(const QString& source, const QString& target) const
{
    const auto it = m_pools.find({source, target});
    return it == m_pools.end() ? nullptr : it->second.get();
}

QList<PipelinePool*> ApertiumEngine::legs(const TranslationMode& mode) const
{
    if (PipelinePool* direct = pool(mode.source, mode.target))
        return {direct};
    PipelinePool* first = pool(mode.source, pivot);
    PipelinePool* second = pool(pivot, mode.target);
    if (first && second)
        return {first, second};
    return {};
}

QStringList ApertiumEngine::route(const TranslationMode& mode) const
{
    QStringList names;
    for (const PipelinePool* leg : legs(mode))
        names << leg->name();
    return names;
}

QStringList ApertiumEngine::directModes() const
{
    QStringList modes;
    for (const auto& [key, p] : m_pools)
        modes << key.first + QLatin1Char('_') + key.second;
    return modes;
}

bool ApertiumEngine::canTranslate(const TranslationMode& mode) const
{
    return mode.source == mode.target || !legs(mode).isEmpty();
}

QList<PipelinePool*> ApertiumEngine::chain(const TranslationMode& mode) const
{
    const QList<PipelinePool*> found = legs(mode);
    if (found.isEmpty())
        throw ServiceFault::server(
            QStringLiteral("No translation from %1 to %2 is installed on this server")
                .arg(ServiceLanguages::name(mode.source), ServiceLanguages::name(mode.target)));
    return found;
}

ApertiumEngine::Clock::time_point ApertiumEngine::deadline(qsizetype bytes) const
{
    return Clock::now() + m_options.deadlineFloor + m_options.perKilobyte * (bytes / 1024);
}

// The stream of one leg feeds the next as it is: Apertium's output is
// valid input, blanks, escapes and the guard's characters included. The
// wait for a free instance outlasts the deadline of any exchange it could
// wait for (a part of the largest size), so that it fails only when the
// instances stay busy beyond reason; neither outlasts the request's own
// deadline.
QByteArray ApertiumEngine::runOne(const QList<PipelinePool*>& legs, QByteArray stream,
                                  Clock::time_point requestEnd)
{
    for (PipelinePool* leg : legs) {
        const qsizetype longest =
            std::max(stream.size(), std::min<qsizetype>(m_options.partBytes, 16 << 20) +
                                        2 * m_options.contextBytes);
        PipelinePool::Lease lease =
            leg->acquire(std::min(requestEnd, deadline(longest) + m_options.deadlineFloor));
        stream = lease->translate(stream, std::min(requestEnd, deadline(stream.size())));
    }
    return stream;
}

QByteArray ApertiumEngine::run(const QList<PipelinePool*>& legs, const QByteArray& guarded)
{
    // The whole request, every leg and every wait for an instance, has
    // the time of the whole stream through every leg, counted from here,
    // and the floor once more for the waits.
    const Clock::time_point requestEnd =
        deadline(guarded.size() * legs.size()) + m_options.deadlineFloor;
    try {
        if (guarded.size() < m_options.parallelBytes)
            return runOne(legs, guarded, requestEnd);
        const int workers =
            std::clamp(legs.first()->available(guarded.size() >= m_options.startBytes), 1,
                       legs.first()->maxInstances());
        const auto byShare = static_cast<int>((guarded.size() + m_options.partBytes - 1) /
                                              std::max<qsizetype>(1, m_options.partBytes));
        const auto most = static_cast<int>(
            std::min<qsizetype>(guarded.size() / std::max<qsizetype>(1, m_options.minPartBytes),
                                std::numeric_limits<int>::max()));
        // The parts follow from the text alone, never from how many
        // instances are free: the same text is cut the same way, and so
        // translated the same, on a busy service and an idle one.
        const QList<ApertiumStream::Part> parts = ApertiumStream::planParts(
            guarded, std::clamp(byShare, 1, std::max(1, most)), m_options.contextBytes);
        if (parts.size() == 1)
            return runOne(legs, guarded, requestEnd);

        // Each worker takes the next part and runs it through every leg, so
        // that with two legs one part's second leg runs while the next
        // part's first does.
        std::vector<QByteArray> results(static_cast<size_t>(parts.size()));
        std::atomic<qsizetype> next{0};
        std::atomic<bool> failed{false};
        std::mutex failureMutex;
        std::optional<QString> failure;
        const auto work = [&] {
            for (qsizetype k = next++; k < parts.size() && !failed; k = next++) {
                const ApertiumStream::Part& part = parts[k];
                try {
                    QByteArray out;
                    if (!ApertiumStream::partOutput(
                            runOne(legs, ApertiumStream::partInput(guarded, part), requestEnd),
                            part, &out)) {
                        // A stage moved a marker: the part alone, then.
                        qCWarning(lcServer).noquote()
                            << "a part's markers did not come back; translated without context";
                        out = runOne(legs, guarded.mid(part.start, part.end - part.start),
                                     requestEnd);
                    }
                    results[static_cast<size_t>(k)] = std::move(out);
                } catch (const TarquellError& e) {
                    std::lock_guard lock(failureMutex);
                    if (!failure)
                        failure = e.message();
                    failed = true;
                }
            }
        };
        std::vector<std::thread> helpers;
        const WorkScope::Flag request = WorkScope::current();
        for (int i = 1; i < std::min<qsizetype>(workers, parts.size()); ++i)
            helpers.emplace_back([&work, request] {
                const WorkScope::Bind bind(request);
                work();
            });
        work();
        for (std::thread& t : helpers)
            t.join();
        if (failure)
            throw PipelineFailure(*failure);
        QByteArray joined;
        joined.reserve(guarded.size() + guarded.size() / 4);
        for (const QByteArray& r : results)
            joined += r;
        return joined;
    } catch (const PipelineFailure& failure) {
        qCWarning(lcServer).noquote() << failure.message();
        throw ServiceFault::server(failure.message());
    }
}

QString ApertiumEngine::translate(const TranslationMode& mode, const QString& text)
{
    if (mode.source == mode.target)
        return text;
    const QList<PipelinePool*> found = chain(mode);
    if (text.trimmed().isEmpty())
        return text;
    const QByteArray guarded = ApertiumStream::guard(ApertiumStream::toStream(text));
    return ApertiumStream::fromStream(
        ApertiumStream::unguard(ApertiumStream::keepBlanks(guarded, run(found, guarded))));
}

QByteArray ApertiumEngine::translateStream(const TranslationMode& mode, const QByteArray& stream)
{
    if (mode.source == mode.target)
        return stream;
    const QList<PipelinePool*> found = chain(mode);
    const QByteArray guarded = ApertiumStream::guard(stream);
    return ApertiumStream::unguard(ApertiumStream::keepBlanks(guarded, run(found, guarded)));
}

QString ApertiumEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    return HtmlTranslation::translate(*this, mode, html, 0);
}

void ApertiumEngine::stop()
{
    {
        std::lock_guard lock(m_reaperMutex);
        m_stopping = true;
    }
    m_reaperWake.notify_all();
    if (m_reaper.joinable())
        m_reaper.join();
    for (auto& [key, p] : m_pools)
        p->stop();
}

QString ApertiumEngine::debugReport() const
{
    QString report;
    for (const auto& [key, p] : m_pools) {
        for (const QList<pid_t>& pids : p->pids()) {
            report += p->name();
            for (pid_t pid : pids)
                report += QLatin1Char(' ') + QString::number(pid);
            report += QLatin1Char('\n');
        }
    }
    return report;
}
