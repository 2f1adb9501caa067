// Load benchmark of tarquell-service on loopback: a fixed number of SOAP
// requests from several concurrent clients, for the echo engine and for
// Apertium through the service's persistent pipelines, side by side with
// the baseline of one `apertium` process per request; then the latency of
// normal requests while 0, 100 and 1000 slow connections are held open,
// trickling their headers (reopened when the service closes them, as a
// hostile client would), with the service's peak memory.
//
//   bench_service [--service PATH] [--before PATH] [--clients N] [--requests N]
//                 [--apertium-requests N] [--baseline-requests N] [--normal N]
//                 [--rounds N]
//
// --before names an older tarquell-service build to run the echo and slow
// connection rows against too, side by side. Prints requests per second and
// the 50th and 99th percentile latency.
#include <httplib.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
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
    QString before;
    int normalRequests = 1000;
    int rounds = 5;
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
    qint64 pid() const { return m_process.processId(); }
    // A line of /proc/PID/status, such as "VmHWM", in kB.
    long status(const char* field) const
    {
        QFile f(QStringLiteral("/proc/%1/status").arg(pid()));
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray key = QByteArray(field) + ':';
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith(key))
                return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
        }
        return -1;
    }

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

// Connections that send a request line and then one header line a second,
// spread over loopback addresses 127.0.0.2 and up (250 each); one the
// service closes is opened again.
class SlowConnections
{
public:
    SlowConnections(int port, int count) : m_port(port), m_fds(static_cast<size_t>(count), -1)
    {
        for (size_t i = 0; i < m_fds.size(); ++i)
            m_fds[i] = open(i);
        m_thread = std::thread([this] {
            while (!m_done) {
                for (size_t i = 0; i < m_fds.size() && !m_done; ++i) {
                    char buffer[512];
                    const ssize_t n = ::recv(m_fds[i], buffer, sizeof buffer, MSG_DONTWAIT);
                    const bool closed = m_fds[i] < 0 || n == 0 ||
                                        (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
                    if (closed) {
                        if (m_fds[i] >= 0)
                            ::close(m_fds[i]);
                        m_fds[i] = open(i);
                        ++m_reopened;
                    } else {
                        ::send(m_fds[i], "X-Slow: 1\r\n", 11, MSG_NOSIGNAL | MSG_DONTWAIT);
                    }
                }
                for (int t = 0; t < 10 && !m_done; ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~SlowConnections()
    {
        m_done = true;
        m_thread.join();
        for (int fd : m_fds)
            if (fd >= 0)
                ::close(fd);
    }
    int reopened() const { return m_reopened; }

private:
    int open(size_t i) const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 2 + static_cast<uint32_t>(i / 250));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(m_port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
            ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            if (fd >= 0)
                ::close(fd);
            return -1;
        }
        const char* start = "POST /soap HTTP/1.1\r\n";
        ::send(fd, start, std::strlen(start), MSG_NOSIGNAL);
        return fd;
    }

    const int m_port;
    std::vector<int> m_fds;
    std::atomic<bool> m_done{false};
    std::atomic<int> m_reopened{0};
    std::thread m_thread;
};

struct HeldFigures
{
    Figures normal;
    long peakRssKb = 0;
    long threads = 0;
    int reopened = 0;
};

// Normal requests one after another, each on a new connection and bounded
// by 2 s (a request not answered by then counts as failed, at the time it
// took), alternately a WSDL GET and an echo translation, while `held` slow
// connections are open; no more requests are started after 60 s.
HeldFigures whileHeld(const QString& program, int held, int requests)
{
    HeldFigures h;
    Service echo(program, {QStringLiteral("--engine"), QStringLiteral("echo")});
    if (echo.port() == 0)
        return h;
    const std::string body = envelope("en_es", sentence);
    {
        SlowConnections slow(echo.port(), held);
        std::this_thread::sleep_for(std::chrono::milliseconds(held > 0 ? 1500 : 0));
        const auto start = Clock::now();
        const auto end = start + std::chrono::seconds(60);
        for (int i = 0; i < requests && Clock::now() < end; ++i) {
            httplib::Client client("127.0.0.1", echo.port());
            client.set_connection_timeout(std::chrono::seconds(2));
            client.set_read_timeout(std::chrono::seconds(2));
            client.set_write_timeout(std::chrono::seconds(2));
            client.set_keep_alive(false);
            client.set_tcp_nodelay(true);
            const auto t0 = Clock::now();
            bool ok = false;
            if (i % 2 == 0) {
                const auto res = client.Get("/sd/BabelFishService.wsdl");
                ok = res && res->status == 200;
            } else {
                const auto res = client.Post("/soap", body, "text/xml");
                ok = res && res->status == 200 &&
                     res->body.find("[en_es] The house") != std::string::npos;
            }
            h.normal.latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            h.normal.failures += ok ? 0 : 1;
        }
        h.normal.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::sort(h.normal.latenciesMs.begin(), h.normal.latenciesMs.end());
        h.normal.requests = static_cast<int>(h.normal.latenciesMs.size());
        h.peakRssKb = echo.status("VmHWM");
        h.threads = echo.status("Threads");
        h.reopened = slow.reopened();
    }
    return h;
}

void printHeld(const char* name, int held, const HeldFigures& h)
{
    char label[80];
    std::snprintf(label, sizeof label, "%s, %d slow connections held", name, held);
    std::printf("%-50s %6d %6d %9s %9.1f %9.1f   peak RSS %5.1f MB, %ld threads, %d reopened\n",
                label, h.normal.requests, h.normal.failures, "",
                percentile(h.normal.latenciesMs, 0.50), percentile(h.normal.latenciesMs, 0.99),
                h.peakRssKb / 1024.0, h.threads, h.reopened);
    std::fflush(stdout);
}

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--service")
            o->service = QString::fromLocal8Bit(value);
        else if (name == "--before")
            o->before = QString::fromLocal8Bit(value);
        else if (name == "--rounds")
            o->rounds = std::max(1, std::atoi(value));
        else if (name == "--normal")
            o->normalRequests = std::max(1, std::atoi(value));
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
        std::fprintf(stderr, "usage: bench_service [--service PATH] [--before PATH] [--clients N] "
                             "[--requests N] [--apertium-requests N] [--baseline-requests N] "
                             "[--normal N] [--rounds N]\n");
        return 2;
    }
    if (!QFileInfo(options.service).isExecutable()) {
        std::fprintf(stderr, "no tarquell-service at %s\n", qPrintable(options.service));
        return 1;
    }

    // A thousand held connections take more descriptors than the usual 1024.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    struct Build
    {
        const char* name;
        QString program;
    };
    std::vector<Build> builds;
    if (!options.before.isEmpty())
        builds.push_back({"before", options.before});
    builds.push_back({options.before.isEmpty() ? "echo" : "after", options.service});

    std::printf("tarquell-service on 127.0.0.1, %d concurrent clients, one sentence:\n  \"%s\"\n\n",
                options.clients, sentence);
    std::printf("%-50s %6s %6s %9s %9s %9s\n", "", "reqs", "failed", "req/s", "p50 ms", "p99 ms");

    // The machine is shared and noisy: the echo rows are run in rounds,
    // alternating the builds, and the medians printed.
    std::vector<std::vector<double>> rps(builds.size()), p50(builds.size()), p99(builds.size());
    std::vector<int> failures(builds.size(), 0);
    for (int round = 0; round < options.rounds; ++round) {
        for (size_t b = 0; b < builds.size(); ++b) {
            Service echo(builds[b].program, {QStringLiteral("--engine"), QStringLiteral("echo")});
            if (echo.port() == 0)
                return 1;
            const Figures f = drive(options.clients, options.requests,
                                    soapRequests(echo.port(), options.clients,
                                                 envelope("en_es", sentence), "[en_es] The house"));
            rps[b].push_back(f.requests / f.seconds);
            p50[b].push_back(percentile(f.latenciesMs, 0.50));
            p99[b].push_back(percentile(f.latenciesMs, 0.99));
            failures[b] += f.failures;
        }
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    for (size_t b = 0; b < builds.size(); ++b) {
        char label[80];
        std::snprintf(label, sizeof label, "%s: echo engine, median of %d rounds", builds[b].name,
                      options.rounds);
        std::printf("%-50s %6d %6d %9.1f %9.1f %9.1f\n", label, options.requests, failures[b],
                    median(rps[b]), median(p50[b]), median(p99[b]));
    }
    if (builds.size() == 2)
        std::printf("%-50s %23.2f\n", "after / before, requests per second",
                    median(rps[1]) / median(rps[0]));

    std::printf("\nnormal requests (WSDL GET, echo translation) one at a time, new connection "
                "each, 2 s bound:\n");
    for (const int held : {0, 100, 1000}) {
        for (const Build& build : builds)
            printHeld(build.name, held, whileHeld(build.program, held, options.normalRequests));
    }
    std::printf("\n");

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
