// What the routing engine costs, measured in this process:
//  - one English sentence through the local Apertium pipeline (eng-spa),
//    called directly and through the routing engine (with an APy remote
//    configured, so that the router has something to decide), calls
//    alternating, medians in milliseconds and their difference;
//  - one French sentence through Debian's apertium-apy (started here on
//    127.0.0.1): a direct keep-alive POST /translate made with cpp-httplib,
//    beside the same sentence through the routing engine and its APy
//    client, calls alternating, medians and the ratio.
//
//   bench_routing [--calls N]
#include "ApyProcess.h"
#include "server/apertium/ApertiumEngine.h"
#include "server/apertium/ApertiumModes.h"
#include "server/remote/RoutingEngine.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The same engine, lent to a router: both sides of a comparison then
// share one pipeline.
class Lent : public TranslationEngine
{
public:
    explicit Lent(TranslationEngine& engine) : m_engine(engine) {}
    QString translate(const TranslationMode& mode, const QString& text) override
    {
        return m_engine.translate(mode, text);
    }
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override
    {
        return m_engine.translateStream(mode, stream);
    }
    bool canTranslate(const TranslationMode& mode) const override
    {
        return m_engine.canTranslate(mode);
    }

private:
    TranslationEngine& m_engine;
};

std::unique_ptr<RemoteEngine> apyEngine(int port)
{
    RemoteEngineConfig config;
    config.kind = RemoteEngineConfig::Kind::ApertiumApy;
    config.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    return makeRemoteEngine(config);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int calls = 300;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--calls"))
            calls = std::max(10, args[i + 1].toInt());
    }
    if (!QFile::exists(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode")) ||
        !QFile::exists(QStringLiteral("/usr/share/apertium/modes/fr-es.mode"))) {
        std::fprintf(stderr, "bench_routing: needs apertium-eng-spa and apertium-fr-es "
                             "(scripts/deps.sh)\n");
        return 1;
    }

    // APy with every installed pair, on 127.0.0.1.
    const ApyProcess apy(QStringLiteral("/usr/share/apertium/modes"));
    if (!apy.isRunning()) {
        std::fprintf(stderr, "bench_routing: %s\n", apy.error().toLocal8Bit().constData());
        return 1;
    }
    const int port = apy.port();
    httplib::Client direct("127.0.0.1", port);
    direct.set_keep_alive(true);
    direct.set_tcp_nodelay(true);
    direct.set_read_timeout(std::chrono::seconds(30));

    // The local pipeline, alone and behind the router.
    QTemporaryDir modes;
    QFile::copy(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode"),
                QDir(modes.path()).filePath(QStringLiteral("eng-spa.mode")));
    const ApertiumModes::Scan scan = ApertiumModes::scan(modes.path());
    ApertiumEngine local(scan.modes, std::chrono::milliseconds(30000));
    std::vector<std::unique_ptr<RemoteEngine>> remotes;
    remotes.push_back(apyEngine(port));
    RoutingEngine router(
        std::make_unique<ApertiumEngine>(scan.modes, std::chrono::milliseconds(30000)),
        QStringLiteral("Apertium on this machine"), std::move(remotes), {});
    if (!router.waitForDiscovery(std::chrono::seconds(30)) ||
        !router.canTranslate({QStringLiteral("fr"), QStringLiteral("es")})) {
        std::fprintf(stderr, "bench_routing: apertium-apy did not answer\n");
        return 1;
    }

    const TranslationMode enEs{QStringLiteral("en"), QStringLiteral("es")};
    const TranslationMode frEs{QStringLiteral("fr"), QStringLiteral("es")};
    const QString english = QStringLiteral("The house is very big and the garden is green.");
    const QString french = QStringLiteral("La maison est très grande et le jardin est vert.");
    // Warm-up: pipelines started, connections open.
    for (int i = 0; i < 20; ++i) {
        local.translate(enEs, english);
        router.translate(enEs, english);
        router.translate(frEs, french);
    }

    std::vector<double> alone;
    std::vector<double> routed;
    for (int i = 0; i < calls; ++i) {
        Clock::time_point t = Clock::now();
        local.translate(enEs, english);
        alone.push_back(msSince(t));
        t = Clock::now();
        router.translate(enEs, english);
        routed.push_back(msSince(t));
    }
    // The router alone, around an engine that costs nothing.
    EchoEngine echo;
    std::vector<std::unique_ptr<RemoteEngine>> none;
    RoutingEngine echoRouter(std::make_unique<Lent>(echo), QStringLiteral("echo"), std::move(none),
                             {});
    std::vector<double> echoAlone;
    std::vector<double> echoRouted;
    for (int i = 0; i < calls * 20; ++i) {
        Clock::time_point t = Clock::now();
        echo.translate(enEs, english);
        echoAlone.push_back(msSince(t));
        t = Clock::now();
        echoRouter.translate(enEs, english);
        echoRouted.push_back(msSince(t));
    }

    const double aloneMs = median(alone);
    const double routedMs = median(routed);
    std::printf("local Apertium, one sentence (%d calls each, alternating)\n", calls);
    std::printf("  direct engine        median %.3f ms\n", aloneMs);
    std::printf("  through the router   median %.3f ms\n", routedMs);
    std::printf("  routing overhead     %.3f ms (goal <= 0.2 ms)\n", routedMs - aloneMs);
    std::printf("  the router alone, around an engine that costs nothing: %.2f us against "
                "%.2f us (%d calls each)\n",
                median(echoRouted) * 1000, median(echoAlone) * 1000, calls * 20);

    const std::string form = "langpair=fra%7Cspa&format=txt&q=" +
                             QString::fromLatin1(french.toUtf8().toPercentEncoding()).toStdString();
    std::vector<double> viaHttp;
    std::vector<double> viaRouter;
    for (int i = 0; i < calls; ++i) {
        Clock::time_point t = Clock::now();
        const auto res = direct.Post("/translate", form, "application/x-www-form-urlencoded");
        viaHttp.push_back(msSince(t));
        if (!res || res->status != 200) {
            std::fprintf(stderr, "bench_routing: apertium-apy failed a direct call\n");
            return 1;
        }
        t = Clock::now();
        router.translate(frEs, french);
        viaRouter.push_back(msSince(t));
    }
    const double httpMs = median(viaHttp);
    const double routerMs = median(viaRouter);
    std::printf("apertium-apy, one sentence fr->es (%d calls each, alternating)\n", calls);
    std::printf("  direct POST /translate         median %.3f ms\n", httpMs);
    std::printf("  through the router and client  median %.3f ms\n", routerMs);
    std::printf("  ratio                          %.3f (goal <= 1.2)\n", routerMs / httpMs);

    router.stop();
    local.stop();
    return 0;
}
