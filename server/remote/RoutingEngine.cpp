#include "server/remote/RoutingEngine.h"

#include "server/ServerLogging.h"
#include "server/engine/ServiceFault.h"

namespace {
const QLatin1String pivot("es");

QString secondsText(std::chrono::milliseconds ms)
{
    return ms.count() % 1000 == 0 ? QStringLiteral("%1 s").arg(ms.count() / 1000)
                                  : QStringLiteral("%1 ms").arg(ms.count());
}

QString modesText(const QSet<QString>& modes)
{
    QStringList sorted = modes.values();
    sorted.sort();
    return sorted.join(QLatin1Char(' '));
}
} // namespace

RoutingEngine::RoutingEngine(std::unique_ptr<TranslationEngine> local, const QString& localName,
                             std::vector<std::unique_ptr<RemoteEngine>> remotes,
                             const Options& options)
    : m_local(std::move(local)), m_localName(localName), m_options(options),
      m_retry(options.retry.count() > 0
                  ? options.retry
                  : std::min<std::chrono::milliseconds>(options.refresh, std::chrono::seconds(30)))
{
    m_remotes.resize(remotes.size());
    for (size_t i = 0; i < remotes.size(); ++i) {
        // A request that needs a remote waits for the first answers at
        // most as long as the slowest remote may take, and no more than
        // a few seconds: a server that takes longer is left out until it
        // has answered.
        m_firstRoundWait =
            std::max(m_firstRoundWait, std::min<std::chrono::milliseconds>(
                                           remotes[i]->config().timeout, std::chrono::seconds(10)));
        m_remotes[i].engine = std::move(remotes[i]);
        m_remotes[i].reason = QStringLiteral("not asked yet");
    }
    m_firstRoundWait += std::chrono::seconds(2);
    for (size_t i = 0; i < m_remotes.size(); ++i)
        m_remotes[i].watcher = std::thread([this, i] { watch(static_cast<int>(i)); });
}

RoutingEngine::~RoutingEngine()
{
    stopWatchers();
}

void RoutingEngine::stopWatchers()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    // A server that does not answer holds its watcher no longer.
    for (Remote& remote : m_remotes)
        remote.engine->stop();
    for (Remote& remote : m_remotes) {
        if (remote.watcher.joinable())
            remote.watcher.join();
    }
}

void RoutingEngine::stop()
{
    stopWatchers();
    m_local->stop();
}

TranslationEngine& RoutingEngine::engineOf(int index) const
{
    return index < 0 ? *m_local : *m_remotes[static_cast<size_t>(index)].engine;
}

QString RoutingEngine::nameOf(int index) const
{
    return index < 0 ? m_localName : m_remotes[static_cast<size_t>(index)].engine->name();
}

QString RoutingEngine::nameOf(const Route& route) const
{
    if (route.legs.size() == 1)
        return nameOf(route.legs.front().engine);
    const int first = route.legs[0].engine;
    const int second = route.legs[1].engine;
    if (first == second)
        return nameOf(first) + QStringLiteral(" (through Spanish)");
    return nameOf(first) + QStringLiteral(" (to Spanish), then ") + nameOf(second);
}

// ------------------------------------------------------------------ discovery

void RoutingEngine::watch(int index)
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        Remote& remote = m_remotes[static_cast<size_t>(index)];
        if (remote.asked && Clock::now() < remote.nextCheck) {
            m_changed.wait_until(lock, remote.nextCheck);
            continue;
        }
        RemoteEngine& engine = *remote.engine;
        lock.unlock();
        QSet<QString> modes;
        std::optional<RemoteFailure> failure;
        try {
            modes = engine.discover();
        } catch (const RemoteFailure& e) {
            failure = e;
        }
        lock.lock();
        if (m_stopping)
            break;
        const bool wasUp = remote.up;
        const bool first = !remote.asked;
        remote.asked = true;
        if (failure) {
            remote.up = false;
            remote.nextCheck = Clock::now() + m_retry;
            if (wasUp || first || remote.reason != failure->message())
                qCWarning(lcServer).noquote()
                    << QStringLiteral("%1 is skipped: %2 It is asked again in %3.")
                           .arg(engine.name(), failure->message(), secondsText(m_retry));
            remote.reason = failure->message();
        } else {
            remote.up = true;
            remote.reason.clear();
            remote.nextCheck = Clock::now() + m_options.refresh;
            if (!wasUp || modes != remote.modes)
                qCInfo(lcServer).noquote()
                    << QStringLiteral("%1 translates %2 of the modes: %3")
                           .arg(engine.name())
                           .arg(modes.size())
                           .arg(modes.isEmpty() ? QStringLiteral("none") : modesText(modes));
            remote.modes = modes;
        }
        m_changed.notify_all();
    }
}

bool RoutingEngine::waitForDiscovery(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] {
        for (const Remote& remote : m_remotes) {
            if (!remote.asked)
                return false;
        }
        return true;
    });
}

void RoutingEngine::markDown(int index, const RemoteFailure& failure)
{
    {
        std::lock_guard lock(m_mutex);
        Remote& remote = m_remotes[static_cast<size_t>(index)];
        if (remote.up)
            qCWarning(lcServer).noquote()
                << QStringLiteral("%1 is skipped: %2 It is asked again in %3.")
                       .arg(remote.engine->name(), failure.message(), secondsText(m_retry));
        remote.up = false;
        remote.reason = failure.message();
        remote.nextCheck = Clock::now() + m_retry;
    }
    m_changed.notify_all();
}

// ------------------------------------------------------------------ routes

bool RoutingEngine::localFirst(const TranslationMode& mode) const
{
    return m_options.routes.count(mode.text()) == 0 && m_local->canTranslate(mode);
}

std::optional<RoutingEngine::Route> RoutingEngine::findRoute(const TranslationMode& mode,
                                                             const QSet<int>& excluded,
                                                             bool skippedToo) const
{
    const auto direct = [&](int index, const TranslationMode& m) {
        if (index < 0)
            return m_local->canTranslate(m);
        const Remote& remote = m_remotes[static_cast<size_t>(index)];
        return (skippedToo || (!excluded.contains(index) && remote.up)) &&
               remote.modes.contains(m.text());
    };
    if (mode.source == mode.target)
        return Route{{{-1, mode}}};
    if (const auto it = m_options.routes.find(mode.text());
        it != m_options.routes.end() && direct(it->second, mode))
        return Route{{{it->second, mode}}};
    if (m_local->canTranslate(mode))
        return Route{{{-1, mode}}};
    const int count = static_cast<int>(m_remotes.size());
    for (int i = 0; i < count; ++i) {
        if (direct(i, mode))
            return Route{{{i, mode}}};
    }
    if (mode.source == pivot || mode.target == pivot)
        return std::nullopt;
    const TranslationMode toPivot{mode.source, pivot};
    const TranslationMode fromPivot{pivot, mode.target};
    const auto firstFor = [&](const TranslationMode& leg) {
        for (int i = -1; i < count; ++i) {
            if (direct(i, leg))
                return i;
        }
        return -2;
    };
    const int first = firstFor(toPivot);
    const int second = firstFor(fromPivot);
    if (first == -2 || second == -2)
        return std::nullopt;
    return Route{{{first, toPivot}, {second, fromPivot}}};
}

RoutingEngine::Route RoutingEngine::routeOrFault(const TranslationMode& mode,
                                                 const QSet<int>& excluded) const
{
    std::unique_lock lock(m_mutex);
    if (auto route = findRoute(mode, excluded))
        return *route;
    // Before the first answers, a remote may yet offer it.
    m_changed.wait_for(lock, m_firstRoundWait, [this] {
        for (const Remote& remote : m_remotes) {
            if (!remote.asked)
                return m_stopping;
        }
        return true;
    });
    if (auto route = findRoute(mode, excluded))
        return *route;
    // Where a skipped remote would make the route, it says why it is
    // skipped.
    if (const auto route = findRoute(mode, excluded, true)) {
        for (const Leg& leg : route->legs) {
            const Remote* remote = leg.engine < 0 ? nullptr : &m_remotes[size_t(leg.engine)];
            if (remote && !remote->up)
                throw ServiceFault::server(remote->reason);
        }
    }
    // One that has never answered might translate it: it says why not.
    for (const Remote& remote : m_remotes) {
        if (remote.asked && !remote.up && remote.modes.isEmpty())
            throw ServiceFault::server(remote.reason);
        if (!remote.asked)
            throw ServiceFault::server(
                QStringLiteral("The translation server at %1 has not said yet which languages it "
                               "translates; please try again shortly.")
                    .arg(remote.engine->config().shownUrl()));
    }
    QString message =
        QStringLiteral("No translation from %1 to %2 is installed on this server")
            .arg(ServiceLanguages::name(mode.source), ServiceLanguages::name(mode.target));
    if (!m_remotes.empty())
        message += QStringLiteral(" or offered by the translation servers it uses");
    throw ServiceFault::server(message);
}

QString RoutingEngine::routeName(const TranslationMode& mode) const
{
    std::lock_guard lock(m_mutex);
    const auto route = findRoute(mode, {});
    return route ? nameOf(*route) : QString();
}

void RoutingEngine::announce(const TranslationMode& mode, const QString& name) const
{
    std::lock_guard lock(m_mutex);
    QString& last = m_announced[mode.text()];
    if (last == name)
        return;
    last = name;
    // Which engine takes a mode is said once, and again when it changes;
    // never the text. A mode that leaves this machine is worth a line in
    // the log; one that stays is only shown when asked for.
    if (name == m_localName)
        qCDebug(lcServer).noquote() << QStringLiteral("%1 goes to %2").arg(mode.text(), name);
    else
        qCInfo(lcServer).noquote() << QStringLiteral("%1 goes to %2").arg(mode.text(), name);
}

template <typename Local, typename Run>
auto RoutingEngine::onChosenEngine(const TranslationMode& mode, Local&& onLocal, Run&& run)
    -> std::pair<decltype(onLocal()), QString>
{
    // Nothing leaves the machine that need not.
    if (localFirst(mode)) {
        auto result = onLocal();
        announce(mode, m_localName);
        return {std::move(result), m_localName};
    }
    QSet<int> excluded;
    for (;;) {
        const Route route = routeOrFault(mode, excluded);
        int current = -1; // the engine of the leg under way
        try {
            auto result = run(route, current);
            QString name = nameOf(route);
            announce(mode, name);
            return {std::move(result), std::move(name)};
        } catch (const RemoteFailure& failure) {
            if (current < 0 || !failure.takesEngineDown()) {
                qCDebug(lcServer).noquote() << failure.message();
                throw ServiceFault::server(failure.message());
            }
            markDown(current, failure);
            excluded << current;
        }
    }
}

QString RoutingEngine::translate(const TranslationMode& mode, const QString& text)
{
    return translateNamed(mode, text).text;
}

NamedTranslation RoutingEngine::translateNamed(const TranslationMode& mode, const QString& text)
{
    auto [result, name] = onChosenEngine(
        mode, [&] { return m_local->translate(mode, text); },
        [&](const Route& route, int& current) {
            QString result = text;
            for (const Leg& leg : route.legs) {
                current = leg.engine;
                result = engineOf(leg.engine).translate(leg.mode, result);
            }
            return result;
        });
    return {std::move(result), std::move(name)};
}

QByteArray RoutingEngine::translateStream(const TranslationMode& mode, const QByteArray& stream)
{
    return onChosenEngine(
               mode, [&] { return m_local->translateStream(mode, stream); },
               [&](const Route& route, int& current) {
                   QByteArray result = stream;
                   for (const Leg& leg : route.legs) {
                       current = leg.engine;
                       result = engineOf(leg.engine).translateStream(leg.mode, result);
                   }
                   return result;
               })
        .first;
}

QString RoutingEngine::translateHtml(const TranslationMode& mode, const QString& html)
{
    return onChosenEngine(
               mode, [&] { return m_local->translateHtml(mode, html); },
               [&](const Route& route, int& current) {
                   bool streams = true;
                   for (const Leg& leg : route.legs)
                       streams =
                           streams &&
                           (leg.engine < 0 ||
                            m_remotes[static_cast<size_t>(leg.engine)].engine->takesStreams());
                   // Engines that all take streams share one deformatting
                   // (each piece of the stream routed on its own); a server
                   // that takes HTML itself gets the page as HTML.
                   if (streams)
                       return TranslationEngine::translateHtml(mode, html);
                   QString result = html;
                   for (const Leg& leg : route.legs) {
                       current = leg.engine;
                       result = engineOf(leg.engine).translateHtml(leg.mode, result);
                   }
                   return result;
               })
        .first;
}

bool RoutingEngine::takesHtml(const TranslationMode& mode) const
{
    if (localFirst(mode))
        return m_local->takesHtml(mode);
    std::lock_guard lock(m_mutex);
    const std::optional<Route> route = findRoute(mode, {});
    if (!route)
        return false;
    for (const Leg& leg : route->legs) {
        if (leg.engine >= 0 && !m_remotes[static_cast<size_t>(leg.engine)].engine->takesStreams())
            return true;
    }
    return false;
}

std::optional<QByteArray> RoutingEngine::translateFile(const TranslationMode& mode,
                                                       const QString& fileName,
                                                       const QByteArray& content)
{
    // The local engine takes no files: the caller deformats them for it.
    return onChosenEngine(
               mode, [] { return std::optional<QByteArray>(); },
               [&](const Route& route, int& current) -> std::optional<QByteArray> {
                   if (route.legs.size() != 1 || route.legs.front().engine < 0)
                       return std::nullopt;
                   current = route.legs.front().engine;
                   return engineOf(current).translateFile(mode, fileName, content);
               })
        .first;
}

bool RoutingEngine::canTranslate(const TranslationMode& mode) const
{
    if (localFirst(mode))
        return true;
    try {
        routeOrFault(mode, {});
        return true;
    } catch (const ServiceFault&) {
        return false;
    }
}

QString RoutingEngine::debugReport() const
{
    return m_local->debugReport();
}

QString RoutingEngine::routeReport() const
{
    std::lock_guard lock(m_mutex);
    QString report = QStringLiteral("engine local %1\n").arg(m_localName);
    for (size_t i = 0; i < m_remotes.size(); ++i) {
        const Remote& remote = m_remotes[i];
        report += QStringLiteral("engine %1 %2 %3\n")
                      .arg(i + 1)
                      .arg(remote.engine->name(),
                           remote.up ? QStringLiteral("up: ") + modesText(remote.modes)
                                     : QStringLiteral("skipped: ") + remote.reason);
    }
    for (const QString& source : ServiceLanguages::codes()) {
        for (const QString& target : ServiceLanguages::codes()) {
            if (source == target)
                continue;
            const TranslationMode mode{source, target};
            const auto route = findRoute(mode, {});
            report += QStringLiteral("route %1 %2\n")
                          .arg(mode.text(), route ? nameOf(*route) : QStringLiteral("none"));
        }
    }
    return report;
}
