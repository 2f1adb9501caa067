#include "ApertiumEngine.h"

#include "ApertiumStream.h"
#include "ServerLogging.h"
#include "ServiceFault.h"

namespace {
const QLatin1String pivot("es");
}

ApertiumEngine::ApertiumEngine(const QList<ApertiumMode>& modes, std::chrono::milliseconds timeout)
{
    for (const ApertiumMode& mode : modes)
        m_pipelines[{mode.source, mode.target}] = std::make_unique<ApertiumPipeline>(mode, timeout);
}

ApertiumPipeline* ApertiumEngine::pipeline(const QString& source, const QString& target) const
{
    const auto it = m_pipelines.find({source, target});
    return it == m_pipelines.end() ? nullptr : it->second.get();
}

QList<ApertiumPipeline*> ApertiumEngine::legs(const TranslationMode& mode) const
{
    if (ApertiumPipeline* direct = pipeline(mode.source, mode.target))
        return {direct};
    ApertiumPipeline* first = pipeline(mode.source, pivot);
    ApertiumPipeline* second = pipeline(pivot, mode.target);
    if (first && second)
        return {first, second};
    return {};
}

QStringList ApertiumEngine::route(const TranslationMode& mode) const
{
    QStringList names;
    for (const ApertiumPipeline* leg : legs(mode))
        names << leg->name();
    return names;
}

QStringList ApertiumEngine::directModes() const
{
    QStringList modes;
    for (const auto& [key, p] : m_pipelines)
        modes << key.first + QLatin1Char('_') + key.second;
    return modes;
}

bool ApertiumEngine::canTranslate(const TranslationMode& mode) const
{
    return mode.source == mode.target || !legs(mode).isEmpty();
}

QList<ApertiumPipeline*> ApertiumEngine::chain(const TranslationMode& mode) const
{
    const QList<ApertiumPipeline*> found = legs(mode);
    if (found.isEmpty())
        throw ServiceFault::server(
            QStringLiteral("No translation from %1 to %2 is installed on this server")
                .arg(ServiceLanguages::name(mode.source), ServiceLanguages::name(mode.target)));
    return found;
}

// The stream of one leg feeds the next as it is: Apertium's output is
// valid input, blanks and escapes included.
QByteArray ApertiumEngine::run(const QList<ApertiumPipeline*>& chain, QByteArray stream)
{
    try {
        for (ApertiumPipeline* leg : chain)
            stream = leg->translate(stream);
    } catch (const PipelineFailure& failure) {
        qCWarning(lcServer).noquote() << failure.message();
        throw ServiceFault::server(failure.message());
    }
    return stream;
}

QString ApertiumEngine::translate(const TranslationMode& mode, const QString& text)
{
    if (mode.source == mode.target)
        return text;
    const QList<ApertiumPipeline*> legs = chain(mode);
    if (text.trimmed().isEmpty())
        return text;
    return ApertiumStream::fromStream(run(legs, ApertiumStream::toStream(text)));
}

QByteArray ApertiumEngine::translateStream(const TranslationMode& mode, const QByteArray& stream)
{
    if (mode.source == mode.target)
        return stream;
    return run(chain(mode), stream);
}

void ApertiumEngine::stop()
{
    for (auto& [key, p] : m_pipelines)
        p->stop();
}

QString ApertiumEngine::debugReport() const
{
    QString report;
    for (const auto& [key, p] : m_pipelines) {
        const QList<pid_t> pids = p->pids();
        if (pids.isEmpty())
            continue;
        report += p->name();
        for (pid_t pid : pids)
            report += QLatin1Char(' ') + QString::number(pid);
        report += QLatin1Char('\n');
    }
    return report;
}
