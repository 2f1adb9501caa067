#pragma once

#include "server/engine/TranslationEngine.h"
#include "server/remote/RemoteEngine.h"

#include <QSet>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// The service's engine: the local one (Apertium) and the remote translation
// servers, in order of preference. Each mode goes to
//   1. the remote it is explicitly routed to, when that one translates it;
//   2. else the local engine, when it translates it (its own pivot included),
//      so that nothing leaves the machine that need not;
//   3. else the first remote that translates it directly;
//   4. else through Spanish, each leg on the first engine that has it.
// Each remote is asked for its languages at start and every refresh
// interval; one that fails is skipped, with a warning in the log, until it
// answers again (asked every retry interval). A request that meets a
// failing remote goes on with the next route, if there is one; otherwise
// its fault names the server and what went wrong.
class RoutingEngine : public TranslationEngine
{
public:
    using Clock = std::chrono::steady_clock;
    struct Options
    {
        // "en_es" -> index into the remotes.
        std::map<QString, int> routes;
        std::chrono::milliseconds refresh{300000};
        // How soon a failing remote is asked again; 0: the lesser of 30 s
        // and the refresh interval.
        std::chrono::milliseconds retry{0};
    };

    // localName: how replies name the local engine ("Apertium on this
    // machine").
    RoutingEngine(std::unique_ptr<TranslationEngine> local, const QString& localName,
                  std::vector<std::unique_ptr<RemoteEngine>> remotes, const Options& options);
    ~RoutingEngine() override;

    QString translate(const TranslationMode& mode, const QString& text) override;
    NamedTranslation translateNamed(const TranslationMode& mode, const QString& text) override;
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override;
    QString translateHtml(const TranslationMode& mode, const QString& html) override;
    bool takesHtml(const TranslationMode& mode) const override;
    std::optional<QByteArray> translateFile(const TranslationMode& mode, const QString& fileName,
                                            const QByteArray& content) override;
    bool canTranslate(const TranslationMode& mode) const override;
    void stop() override;
    QString debugReport() const override;
    QString routeReport() const override;

    // True once every remote has been asked for its languages at least
    // once; waits at most the given time for it.
    bool waitForDiscovery(std::chrono::milliseconds timeout) const;
    // How the route for the mode is named in replies; empty when there is
    // none now.
    QString routeName(const TranslationMode& mode) const;

private:
    // -1: the local engine.
    struct Leg
    {
        int engine = -1;
        TranslationMode mode;
    };
    struct Route
    {
        QList<Leg> legs;
    };
    struct Remote
    {
        std::unique_ptr<RemoteEngine> engine;
        bool asked = false;
        bool up = false;
        QSet<QString> modes;
        QString reason; // why it is skipped
        Clock::time_point nextCheck;
        std::thread watcher;
    };

    TranslationEngine& engineOf(int index) const;
    QString nameOf(int index) const;
    QString nameOf(const Route& route) const;
    // The route now, without the excluded remotes; nullopt when there is
    // none. skippedToo: as if every remote answered with what it last
    // offered. Called with the lock held.
    std::optional<Route> findRoute(const TranslationMode& mode, const QSet<int>& excluded,
                                   bool skippedToo = false) const;
    // The same, after the first discovery where the local engine cannot
    // help; a fault that says why when there is none.
    Route routeOrFault(const TranslationMode& mode, const QSet<int>& excluded) const;
    // Runs the request on the engine chosen for the mode: onLocal() where
    // the local engine takes it first, else run() on its route; a remote
    // that fails the way that takes it down is marked so, and the next
    // route is tried. Returns the result and the name of what took it.
    template <typename Local, typename Run>
    auto onChosenEngine(const TranslationMode& mode, Local&& onLocal, Run&& run)
        -> std::pair<decltype(onLocal()), QString>;
    void markDown(int index, const RemoteFailure& failure);
    void announce(const TranslationMode& mode, const QString& name) const;
    void watch(int index);
    void stopWatchers();
    bool localFirst(const TranslationMode& mode) const;

    const std::unique_ptr<TranslationEngine> m_local;
    const QString m_localName;
    const Options m_options;
    const std::chrono::milliseconds m_retry;
    std::chrono::milliseconds m_firstRoundWait{0};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Remote> m_remotes;
    bool m_stopping = false;
    mutable std::map<QString, QString> m_announced; // mode -> route name last logged
};
