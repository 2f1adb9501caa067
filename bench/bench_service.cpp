// Load benchmark of tarquell-service on loopback: a fixed number of SOAP
// requests from several concurrent clients, for the echo engine and for
// Apertium through the service's persistent pipelines, side by side with
// the baseline of one `apertium` process per request.
//
//   bench_service [--service PATH] [--clients N] [--requests N]
//                 [--apertium-requests N] [--baseline-requests N]
//
// Prints requests per second and the 50th and 99th percentile latency.
#include <httplib.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

const char* const sentence = "The house is big and the red car is in the garden.";

struct Options
{
    QString service;
    int clients = 4;
    int requests = 2000;
    int apertiumRequests = 400;
    int baselineRequests = 40;
};

struct Figures
{
    int requests = 0;
    int failures = 0;
    double seconds = 0;
    std::vector<double> latenciesMs;
};

// One request as a function of the client's index; true when it succeeded.
using Request = std::function<bool(int client)>;

// `total` requests shared out over `clients` threads, each timed.
Figures drive(int clients, int total, const Request& request)
{
    std::atomic<int> next{0};
    std::atomic<int> failures{0};
    std::vector<std::vector<double>> perClient(static_cast<size_t>(clients));
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            while (next.fetch_add(1) < total) {
                const auto t0 = Clock::now();
                if (!request(c))
                    ++failures;
                perClient[static_cast<size_t>(c)].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    Figures f;
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& v : perClient)
        f.latenciesMs.insert(f.latenciesMs.end(), v.begin(), v.end());
    std::sort(f.latenciesMs.begin(), f.latenciesMs.end());
    f.requests = static_cast<int>(f.latenciesMs.size());
    f.failures = failures;
    return f;
}

double percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
    return sorted[i];
}

void print(const char* name, const Figures& f)
{
    std::printf("%-50s %6d %6d %9.1f %9.1f %9.1f\n", name, f.requests, f.failures,
                f.requests / f.seconds, percentile(f.latenciesMs, 0.50),
                percentile(f.latenciesMs, 0.99));
    std::fflush(stdout);
}

std::string envelope(const char* mode, const char* text)
{
    return std::string(
               R"(<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/"><SOAP-ENV:Body SOAP-ENV:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><NS1:BabelFish xmlns:NS1="urn:BFish-IBabelFish"><translationmode xsi:type="xsd:string">)") +
           mode + R"(</translationmode><sourcedata xsi:type="xsd:string">)" + text +
           R"(</sourcedata></NS1:BabelFish></SOAP-ENV:Body></SOAP-ENV:Envelope>)";
}

// A service child process on a free port.
class Service
{
public:
    Service(const QString& program, const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program,
                        QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} +
                            arguments);
        if (!m_process.waitForStarted())
            return;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000))
                return;
        }
        const auto match = QRegularExpression(QStringLiteral(":(\\d+)\\s*$"))
                               .match(QString::fromUtf8(m_process.readLine()));
        if (match.hasMatch())
            m_port = match.captured(1).toInt();
    }
    ~Service()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }
    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

// Clients with one kept-alive connection each, posting one envelope.
Request soapRequests(int port, int clients, const std::string& body, const char* expected)
{
    auto connections = std::make_shared<std::vector<std::unique_ptr<httplib::Client>>>();
    for (int c = 0; c < clients; ++c) {
        auto client = std::make_unique<httplib::Client>("127.0.0.1", port);
        client->set_keep_alive(true);
        client->set_tcp_nodelay(true);
        client->set_read_timeout(std::chrono::seconds(60));
        connections->push_back(std::move(client));
    }
    return [connections, body, expected](int c) {
        const auto res = (*connections)[static_cast<size_t>(c)]->Post("/soap", body, "text/xml");
        return res && res->status == 200 && res->body.find(expected) != std::string::npos;
    };
}

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--service")
            o->service = QString::fromLocal8Bit(value);
        else if (name == "--clients")
            o->clients = std::max(1, std::atoi(value));
        else if (name == "--requests")
            o->requests = std::max(1, std::atoi(value));
        else if (name == "--apertium-requests")
            o->apertiumRequests = std::max(1, std::atoi(value));
        else if (name == "--baseline-requests")
            o->baselineRequests = std::max(1, std::atoi(value));
        else
            return false;
    }
    return argc % 2 == 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    options.service =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../server/tarquell-service");
    if (!parse(argc, argv, &options)) {
        std::fprintf(stderr, "usage: bench_service [--service PATH] [--clients N] [--requests N] "
                             "[--apertium-requests N] [--baseline-requests N]\n");
        return 2;
    }
    if (!QFileInfo(options.service).isExecutable()) {
        std::fprintf(stderr, "no tarquell-service at %s\n", qPrintable(options.service));
        return 1;
    }

    std::printf("tarquell-service on 127.0.0.1, %d concurrent clients, one sentence:\n  \"%s\"\n\n",
                options.clients, sentence);
    std::printf("%-50s %6s %6s %9s %9s %9s\n", "", "reqs", "failed", "req/s", "p50 ms", "p99 ms");

    {
        Service echo(options.service, {QStringLiteral("--engine"), QStringLiteral("echo")});
        if (echo.port() == 0)
            return 1;
        print("echo engine", drive(options.clients, options.requests,
                                   soapRequests(echo.port(), options.clients,
                                                envelope("en_es", sentence), "[en_es] The house")));
    }

    {
        Service apertium(options.service, {});
        if (apertium.port() == 0)
            return 1;
        // The first request of a pair starts its pipeline.
        for (const char* mode : {"en_es", "en_fr"}) {
            const auto t0 = Clock::now();
            const auto res = httplib::Client("127.0.0.1", apertium.port())
                                 .Post("/soap", envelope(mode, sentence), "text/xml");
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            std::printf(
                "%-50s %6d %6d %9s %9.1f %9s\n",
                (std::string("apertium ") + mode + ", first request (starts pipelines)").c_str(), 1,
                res && res->status == 200 ? 0 : 1, "", ms, "");
        }
        print("apertium en_es, persistent pipeline",
              drive(options.clients, options.apertiumRequests,
                    soapRequests(apertium.port(), options.clients, envelope("en_es", sentence),
                                 "casa")));
        print("apertium en_fr (via es), persistent pipelines",
              drive(options.clients, options.apertiumRequests / 2,
                    soapRequests(apertium.port(), options.clients, envelope("en_fr", sentence),
                                 "maison")));
    }

    const std::string command = std::string("echo '") + sentence + "' | apertium eng-spa";
    print("baseline: echo text | apertium eng-spa",
          drive(options.clients, options.baselineRequests, [&](int) {
              FILE* p = ::popen(command.c_str(), "r");
              if (!p)
                  return false;
              std::string out;
              char buffer[4096];
              size_t n = 0;
              while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
                  out.append(buffer, n);
              return ::pclose(p) == 0 && out.find("casa") != std::string::npos;
          }));
    return 0;
}
