// tarquell-service: the local SOAP translation service.
#include "platform/ConfigPaths.h"
#include "platform/ProfileFile.h"
#include "server/ServerLogging.h"
#include "server/ServiceOptions.h"
#include "server/ServiceRoutes.h"
#include "server/apertium/ApertiumEngine.h"
#include "server/api/ApiKeys.h"
#include "server/api/LibreTranslateApi.h"
#include "server/engine/ChildSpawn.h"
#include "server/engine/TranslationEngine.h"
#include "server/engine/WorkScope.h"
#include "server/http/HostCheck.h"
#include "server/http/ServiceServer.h"
#include "server/remote/RoutingEngine.h"
#include "server/soap/WsdlDocuments.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>
#include <memory>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
void printErr(const QString& text)
{
    std::fprintf(stderr, "tarquell-service: %s\n", text.toLocal8Bit().constData());
}

// 0 when a tarquell-service answers at the address, 1 otherwise.
int probe(const ListenAddress& address)
{
    httplib::Client client(address.host.toStdString(), address.port);
    client.set_connection_timeout(std::chrono::seconds(2));
    client.set_read_timeout(std::chrono::seconds(5));
    const auto path =
        QString::fromLatin1(WsdlDocuments::describe(WsdlDocuments::Kind::BabelFish).path)
            .toStdString();
    const auto res = client.Get(path);
    const bool ours = res && res->status == 200 &&
                      res->get_header_value("Server").rfind("tarquell-service/", 0) == 0;
    std::printf("%s\n", (ours ? QStringLiteral("tarquell-service is running on %1")
                              : QStringLiteral("no tarquell-service answers on %1"))
                            .arg(address.text())
                            .toLocal8Bit()
                            .constData());
    return ours ? 0 : 1;
}

std::unique_ptr<TranslationEngine> makeLocalEngine(const ServiceOptions& options)
{
    if (options.engine == ServiceOptions::Engine::Echo)
        return std::make_unique<EchoEngine>();
    const ApertiumModes::Scan scan =
        ApertiumModes::scan(options.modesDir, options.markUnknown ? ApertiumModes::Unknown::Marked
                                                                  : ApertiumModes::Unknown::Plain);
    for (const QString& note : scan.notes)
        printErr(QStringLiteral("Apertium mode left out: %1").arg(note));
    ApertiumEngine::Options engineOptions;
    engineOptions.instances = options.pipelines;
    engineOptions.deadlineFloor = options.pipelineTimeout;
    engineOptions.idleTime = options.pipelineIdle;
    auto engine = std::make_unique<ApertiumEngine>(scan.modes, engineOptions);
    if (scan.modes.isEmpty())
        printErr(QStringLiteral("no Apertium language pair is installed in %1; every translation "
                                "will be answered with a fault")
                     .arg(options.modesDir));
    else
        qCInfo(lcServer).noquote()
            << "Apertium pairs:" << engine->directModes().join(QStringLiteral(" "));
    return engine;
}

// The local engine, and the remote translation servers of the settings
// file's [Engines] section or the command line, behind one router.
std::unique_ptr<TranslationEngine> makeEngine(const ServiceOptions& options)
{
    ProfileFile file(ConfigPaths::serviceSettingsFilePath());
    file.load();
    QStringList problems;
    const EngineSettings settings =
        EngineSettings::read(file, &problems).overriddenBy(options.engines);
    for (const QString& problem : std::as_const(problems))
        printErr(QStringLiteral("%1: %2").arg(file.path(), problem));
    std::vector<std::unique_ptr<RemoteEngine>> remotes;
    for (const RemoteEngineConfig& config : settings.remotes) {
        qCInfo(lcServer).noquote()
            << "remote engine:" << config.label() << "(modes routed to it send their text there)";
        const QHostAddress host(config.url.host());
        if (!config.apiKey.isEmpty() && config.url.scheme() == QLatin1String("http") &&
            !(host.isLoopback() || config.url.host() == QLatin1String("localhost")))
            printErr(QStringLiteral("the API key for %1 goes over the network unencrypted; use an "
                                    "https address")
                         .arg(config.shownUrl()));
        remotes.push_back(makeRemoteEngine(config));
    }
    RoutingEngine::Options routing;
    routing.routes = settings.routes;
    routing.refresh = settings.refresh;
    return std::make_unique<RoutingEngine>(makeLocalEngine(options),
                                           options.engine == ServiceOptions::Engine::Echo
                                               ? QStringLiteral("the echo test engine")
                                               : QStringLiteral("Apertium on this machine"),
                                           std::move(remotes), routing);
}
// The stop signals are taken by one thread with sigwait; every other
// thread, the server's pool included, is started with them blocked.
sigset_t blockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopSignals, sig);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return stopSignals;
}

// A stop takes two seconds at most, whatever runs: what has not ended by
// then is not waited for, and no child outlives us.
void endWithin(std::chrono::milliseconds grace)
{
    std::thread([grace] {
        std::this_thread::sleep_for(grace);
        qCWarning(lcServer) << "work under way did not end in time; stopped without it";
        killChildren();
        std::_Exit(0);
    }).detach();
}

// The names a request's Host may give besides the service's addresses: a
// proxy's, from the settings file (beside the engines) and the options.
QStringList allowedHosts(const ServiceOptions& options)
{
    QStringList allowHosts;
    ProfileFile file(ConfigPaths::serviceSettingsFilePath());
    file.load();
    const QString listed =
        file.readString(QStringLiteral("Service"), QStringLiteral("AllowHost"), QString());
    for (const QString& name :
         listed.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts)) {
        if (HostCheck::isName(name))
            allowHosts << name;
        else
            printErr(QStringLiteral("%1: AllowHost: \"%2\" is not a host name; left out")
                         .arg(file.path(), name.left(80)));
    }
    return allowHosts + options.allowHosts;
}
} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    ServiceOptions options;
    try {
        options = ServiceOptions::parse(arguments);
    } catch (const TarquellError& e) {
        printErr(e.message());
        std::fprintf(stderr, "Try 'tarquell-service --help'.\n");
        return 2;
    }
    if (options.help) {
        std::fputs(ServiceOptions::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.probe)
        return probe(*options.probe);

    const sigset_t stopSignals = blockStopSignals();

    for (const ListenAddress& address : std::as_const(options.listen)) {
        if (!address.isLoopback())
            printErr(QStringLiteral("listening on %1, which is reachable from other machines")
                         .arg(address.text()));
    }

    LibreTranslateApi::Options apiOptions;
    std::unique_ptr<TranslationEngine> engine;
    try {
        if (!options.apiKeysFile.isEmpty())
            apiOptions.keyDigests = ApiKeys::read(options.apiKeysFile);
        engine = makeEngine(options);
    } catch (const TarquellError& e) {
        printErr(e.message());
        return 2;
    }
    apiOptions.charLimit = options.charLimit;
    try {
        FileStore::checkParent(apiOptions.filesParent);
    } catch (const TarquellError& e) {
        printErr(e.message());
        return 2;
    }
    apiOptions.fileStoreBytes = options.fileStoreBytes;
    apiOptions.fileLifetime = options.fileLifetime;

    const bool debugPaths = qEnvironmentVariable("TARQUELL_SERVICE_DEBUG") == QLatin1String("1");
    LibreTranslateApi api(*engine, apiOptions);
    // One server for each address, all on the same engine and API.
    std::vector<std::unique_ptr<ServiceServer>> servers;
    QList<ListenAddress> bound;
    for (const ListenAddress& address : std::as_const(options.listen)) {
        auto server = std::make_unique<ServiceServer>(
            std::make_unique<ServiceRoutes>(*engine, debugPaths, options.limits, &api),
            options.limits);
        try {
            bound << server->bind(address);
        } catch (const TarquellError& e) {
            // Port 2000 may be someone else's: by default the service goes
            // on without it.
            if (options.defaultListen && !servers.empty()) {
                printErr(QStringLiteral("%1; requests to the gateway on that port will not reach "
                                        "this service")
                             .arg(e.message()));
                continue;
            }
            printErr(e.message());
            return 1;
        }
        servers.push_back(std::move(server));
    }
    // Each server knows them all: requests may name any of them, and the
    // gateway fetches none.
    const QStringList allowHosts = allowedHosts(options);
    const bool keylessLoopbackOnly =
        !apiOptions.keyDigests.isEmpty() && !options.keylessFromAnywhere;
    for (const auto& server : servers)
        server->setAccess(bound, options.allowPrivatePages, allowHosts, keylessLoopbackOnly);
    for (const ListenAddress& address : std::as_const(bound))
        std::printf("listening on %s\n", address.text().toLocal8Bit().constData());
    std::fflush(stdout);

    std::atomic<bool> finished{false};
    // Documents under way are given up at once: a stop must not wait for
    // a long translation, and their working files go with them.
    const auto stopAll = [&servers, &api] {
        // Work under way gives up: filters and pipelines look every
        // tenth of a second.
        WorkScope::stopAll();
        api.stop();
        for (const auto& server : servers)
            server->stop();
    };
    std::thread signalWaiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        if (!finished) {
            qCInfo(lcServer) << "stopping on signal" << sig;
            endWithin(std::chrono::milliseconds(1500));
        }
        stopAll();
    });
    // The first server runs on this thread, the others each on one of
    // their own; when one ends, all do.
    std::atomic<bool> served{true};
    std::vector<std::thread> others;
    for (size_t i = 1; i < servers.size(); ++i) {
        others.emplace_back([&, i] {
            if (!servers[i]->serve())
                served = false;
            stopAll();
        });
    }
    if (!servers.front()->serve())
        served = false;
    stopAll();
    for (std::thread& t : others)
        t.join();
    finished = true;
    // Wakes the waiter when serving ended without a signal.
    ::kill(::getpid(), SIGTERM);
    signalWaiter.join();

    engine->stop();
    killChildren();
    if (!served) {
        printErr(QStringLiteral("serving on %1 failed").arg(bound.front().text()));
        return 1;
    }
    return 0;
}
