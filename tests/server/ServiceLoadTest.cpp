// tarquell-service against slow and hostile clients on 127.0.0.1: held
// connections that trickle or idle, deadlines that a trickle does not
// reset, a thousand idle connections from 127.0.0.1 itself, and
// connection floods at the total cap. Each case is bounded in connections
// and time; slow connections mostly come from other loopback addresses
// (127.0.0.2 and up) than the normal client (127.0.0.1). Last, a flood of
// translations onto a stalled Apertium pipeline.
#include "ServiceProcess.h"
#include "SoapTestMessages.h"
#include "WaitFor.h"

#include <QDir>
#include <QFileInfo>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace SoapTestMessages;

namespace {
using Clock = std::chrono::steady_clock;

int countEntries(const QString& dir)
{
    return static_cast<int>(
        QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// Raw TCP connections to the service from a chosen loopback address.
class Sockets
{
public:
    Sockets() = default;
    Sockets(const Sockets&) = delete;
    Sockets& operator=(const Sockets&) = delete;
    ~Sockets() { closeAll(); }

    // Opens count connections from source; false when one could not connect.
    bool open(const char* source, int port, int count)
    {
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in from{};
            from.sin_family = AF_INET;
            ::inet_pton(AF_INET, source, &from.sin_addr);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<uint16_t>(port));
            ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
                ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
                if (fd >= 0)
                    ::close(fd);
                return false;
            }
            m_fds.push_back(fd);
            m_closed.push_back(false);
            m_received.emplace_back();
        }
        return true;
    }

    void sendAll(const std::string& bytes)
    {
        for (int fd : m_fds)
            ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }

    // How many the service has closed (end of stream or reset). What it
    // sent is kept.
    int closedByPeer()
    {
        int closed = 0;
        for (size_t i = 0; i < m_fds.size(); ++i) {
            char buffer[4096];
            ssize_t n = 0;
            while (!m_closed[i] && (n = ::recv(m_fds[i], buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
                m_received[i].append(buffer, static_cast<size_t>(n));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                m_closed[i] = true;
            closed += m_closed[i] ? 1 : 0;
        }
        return closed;
    }

    // How many have received a reply that starts with start and holds text.
    int replies(const std::string& start, const std::string& text = {})
    {
        closedByPeer();
        int n = 0;
        for (const std::string& r : m_received)
            n += r.rfind(start, 0) == 0 && r.find(text) != std::string::npos ? 1 : 0;
        return n;
    }

    void closeAll()
    {
        for (int fd : m_fds)
            ::close(fd);
        m_fds.clear();
        m_closed.clear();
        m_received.clear();
    }
    int size() const { return static_cast<int>(m_fds.size()); }

private:
    std::vector<int> m_fds;
    std::vector<bool> m_closed;
    std::vector<std::string> m_received;
};

// A thousand held connections need more descriptors than the usual soft
// limit of 1024, on this side as on the service's.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

const std::string headerStart = "POST /soap HTTP/1.1\r\n";
const std::string fullHeaders = "POST /soap HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                "text/xml\r\nContent-Length: 100000\r\n\r\n";

class LoadedService : public ::testing::Test
{
protected:
    void start(const QStringList& extra = {})
    {
        raiseDescriptorLimit();
        service = std::make_unique<ServiceProcess>(
            QStringList{QStringLiteral("--engine"), QStringLiteral("echo")} + extra);
        ASSERT_TRUE(service->isRunning()) << service->error().toStdString();
        // The start values: serving, and the first client's connection gone
        // (the count holds still for a while).
        ASSERT_TRUE(answersNormally());
        int still = 0;
        ASSERT_TRUE(waitFor(
            [&] {
                const int now = descriptors();
                still = now == descriptors0 ? still + 1 : 0;
                descriptors0 = now;
                return still >= 10;
            },
            std::chrono::seconds(10)));
        threads0 = threads();
    }

    int threads() const
    {
        return countEntries(QStringLiteral("/proc/%1/task").arg(service->pid()));
    }
    int descriptors() const
    {
        return countEntries(QStringLiteral("/proc/%1/fd").arg(service->pid()));
    }

    // A WSDL GET and an echo translation from 127.0.0.1, each answered
    // within a couple of seconds.
    ::testing::AssertionResult answersNormally() const
    {
        httplib::Client client("127.0.0.1", service->port());
        client.set_connection_timeout(std::chrono::seconds(2));
        client.set_read_timeout(std::chrono::seconds(2));
        client.set_write_timeout(std::chrono::seconds(2));
        client.set_keep_alive(false);
        const auto wsdl = client.Get("/sd/BabelFishService.wsdl");
        if (!wsdl || wsdl->status != 200)
            return ::testing::AssertionFailure()
                   << "WSDL GET: "
                   << (wsdl ? std::to_string(wsdl->status) : httplib::to_string(wsdl.error()));
        const auto echo = client.Post(
            "/soap", babelFish(QStringLiteral("en_fr"), QStringLiteral("normal")), "text/xml");
        if (!echo || echo->status != 200 ||
            read(echo->body).text != QStringLiteral("[en_fr] normal"))
            return ::testing::AssertionFailure()
                   << "echo: " << (echo ? echo->body : httplib::to_string(echo.error()));
        return ::testing::AssertionSuccess();
    }

    // Back to the threads and descriptors it started with.
    void expectRecovered()
    {
        EXPECT_TRUE(
            waitFor([&] { return descriptors() == descriptors0; }, std::chrono::seconds(15)))
            << descriptors() << " descriptors open, " << descriptors0 << " at the start";
        EXPECT_TRUE(waitFor([&] { return threads() == threads0; }, std::chrono::seconds(15)))
            << threads() << " threads, " << threads0 << " at the start";
        EXPECT_TRUE(answersNormally());
    }

    std::unique_ptr<ServiceProcess> service;
    int threads0 = 0;
    int descriptors0 = 0;
};
} // namespace

TEST_F(LoadedService, AThousandSlowConnectionsDoNotHoldUpOthers)
{
    start();
    const struct
    {
        const char* name;
        std::string first; // sent on every connection once open
        std::string more;  // sent again while the normal requests run
        bool closeMidBody;
    } rows[] = {
        {"headers one line at a time", headerStart, "X-Slow: 1\r\n", false},
        {"a body a few bytes at a time", fullHeaders + "<e", "<", false},
        {"connected and silent", "", "", false},
        {"closed in the middle of the body", fullHeaders + "<e:Envelope", "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Sockets slow;
        for (const char* source : {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"})
            ASSERT_TRUE(slow.open(source, service->port(), 250));
        slow.sendAll(row.first);
        // All thousand are held by the service, not left in its backlog.
        ASSERT_TRUE(
            waitFor([&] { return descriptors() >= descriptors0 + 1000; }, std::chrono::seconds(10)))
            << descriptors();
        if (row.closeMidBody)
            slow.closeAll();
        for (int i = 0; i < 3; ++i) {
            slow.sendAll(row.more);
            EXPECT_TRUE(answersNormally()) << "round " << i;
        }
        EXPECT_EQ(slow.closedByPeer(), 0);
        slow.closeAll();
        expectRecovered();
    }
}

TEST_F(LoadedService, ConnectionsPastTheirDeadlineAreClosedThoughTheyTrickle)
{
    start({QStringLiteral("--header-timeout"), QStringLiteral("1"),
           QStringLiteral("--idle-timeout"), QStringLiteral("2")});
    const struct
    {
        const char* name;
        std::string first;
        std::string trickle; // every 100 ms until the service closes
    } rows[] = {
        {"headers", headerStart, "X"},
        {"body", fullHeaders, "<"},
        {"silence", "", ""},
        {"kept alive after a reply",
         "GET /sd/BabelFishService.wsdl HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Sockets slow;
        ASSERT_TRUE(slow.open("127.0.0.2", service->port(), 20));
        slow.sendAll(row.first);
        const bool allClosed = waitFor(
            [&] {
                slow.sendAll(row.trickle);
                std::this_thread::sleep_for(std::chrono::milliseconds(80));
                return slow.closedByPeer() == slow.size();
            },
            std::chrono::seconds(20));
        EXPECT_TRUE(allClosed) << slow.closedByPeer() << " of " << slow.size() << " closed";
        slow.closeAll();
        expectRecovered();
    }
}

TEST_F(LoadedService, LocalClientsAreNotCappedAsOneAddress)
{
    // Every local program comes from 127.0.0.1: a thousand idle connections
    // from one of them do not shut out the next.
    start({QStringLiteral("--max-per-address"), QStringLiteral("10"),
           QStringLiteral("--idle-timeout"), QStringLiteral("60"),
           QStringLiteral("--header-timeout"), QStringLiteral("60")});
    Sockets idle;
    ASSERT_TRUE(idle.open("127.0.0.1", service->port(), 1000));
    ASSERT_TRUE(
        waitFor([&] { return descriptors() >= descriptors0 + 1000; }, std::chrono::seconds(10)))
        << descriptors();
    EXPECT_TRUE(answersNormally());
    EXPECT_EQ(idle.closedByPeer(), 0);
    idle.closeAll();
    expectRecovered();
}

TEST_F(LoadedService, AtTheCapTheConnectionIdleLongestMakesRoom)
{
    start({QStringLiteral("--max-connections"), QStringLiteral("40"),
           QStringLiteral("--idle-timeout"), QStringLiteral("60"),
           QStringLiteral("--header-timeout"), QStringLiteral("60")});
    Sockets oldest;
    ASSERT_TRUE(oldest.open("127.0.0.2", service->port(), 20));
    ASSERT_TRUE(
        waitFor([&] { return descriptors() >= descriptors0 + 20; }, std::chrono::seconds(10)));
    Sockets newer;
    ASSERT_TRUE(newer.open("127.0.0.3", service->port(), 20));
    ASSERT_TRUE(
        waitFor([&] { return descriptors() >= descriptors0 + 40; }, std::chrono::seconds(10)));
    // At the cap: a normal client is answered, and one of the oldest goes
    // for it (and for the second connection the check makes, another).
    EXPECT_TRUE(answersNormally());
    EXPECT_TRUE(waitFor([&] { return oldest.closedByPeer() >= 1; }, std::chrono::seconds(10)));
    EXPECT_LE(oldest.closedByPeer(), 2);
    // Ten more newcomers close ten more of the oldest, none of the newer.
    const int before = oldest.closedByPeer();
    Sockets newest;
    ASSERT_TRUE(newest.open("127.0.0.4", service->port(), 10));
    EXPECT_TRUE(
        waitFor([&] { return oldest.closedByPeer() >= before + 10 - 2; }, std::chrono::seconds(10)))
        << oldest.closedByPeer();
    EXPECT_EQ(newer.closedByPeer(), 0);
    EXPECT_EQ(newest.closedByPeer(), 0);
    oldest.closeAll();
    newer.closeAll();
    newest.closeAll();
    expectRecovered();
}

TEST_F(LoadedService, AtTheCapWithNoConnectionIdleANewcomerIsClosedAtOnce)
{
    start({QStringLiteral("--max-connections"), QStringLiteral("40"),
           QStringLiteral("--idle-timeout"), QStringLiteral("60"),
           QStringLiteral("--header-timeout"), QStringLiteral("60")});
    // Forty requests under way, each at its first header line.
    Sockets busy;
    for (const char* source : {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"})
        ASSERT_TRUE(busy.open(source, service->port(), 10));
    busy.sendAll(headerStart);
    ASSERT_TRUE(
        waitFor([&] { return descriptors() >= descriptors0 + 40; }, std::chrono::seconds(10)));
    // Turned away at once, not queued; nobody under way is closed for it.
    Sockets late;
    ASSERT_TRUE(late.open("127.0.0.6", service->port(), 10));
    EXPECT_TRUE(waitFor([&] { return late.closedByPeer() == 10; }, std::chrono::seconds(10)))
        << late.closedByPeer();
    httplib::Client client("127.0.0.1", service->port());
    client.set_read_timeout(std::chrono::seconds(30));
    EXPECT_FALSE(client.Get("/sd/BabelFishService.wsdl"));
    EXPECT_EQ(busy.closedByPeer(), 0);
    busy.closeAll();
    late.closeAll();
    expectRecovered();
}

TEST(ServiceWork, AFloodOfTranslationsOnAStalledPipelineTakesNoneOfTheReading)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    raiseDescriptorLimit();
    ServiceProcess service({QStringLiteral("--pipelines"), QStringLiteral("1"),
                            QStringLiteral("--pipeline-timeout"), QStringLiteral("60000")},
                           {QStringLiteral("TARQUELL_SERVICE_DEBUG=1")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const auto first = service.post(babelFish(QStringLiteral("en_es"), QStringLiteral("The dog.")));
    ASSERT_TRUE(first && first->status == 200);
    const auto report = service.get("/debug/pipelines");
    ASSERT_TRUE(report && report->status == 200);
    const QStringList stages =
        QString::fromStdString(report->body).trimmed().split(QLatin1Char(' '));
    ASSERT_GE(stages.size(), 4) << report->body;
    const pid_t stalled = static_cast<pid_t>(stages.last().toInt());
    ASSERT_EQ(::kill(stalled, SIGSTOP), 0);

    // 300 translations: eight take the work threads (and wait on the
    // pipeline), 256 wait in the queue, the rest are refused at once.
    const std::string body = babelFish(QStringLiteral("en_es"), QStringLiteral("The house."));
    const std::string request = "POST /soap HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                "text/xml\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    Sockets flood;
    ASSERT_TRUE(flood.open("127.0.0.2", service.port(), 150));
    ASSERT_TRUE(flood.open("127.0.0.3", service.port(), 150));
    flood.sendAll(request);
    EXPECT_TRUE(waitFor([&] { return flood.replies("HTTP/1.1 503") >= 300 - 264; },
                        std::chrono::seconds(10)))
        << flood.replies("HTTP/1.1 503");
    // The reading goes on.
    httplib::Client client("127.0.0.1", service.port());
    client.set_read_timeout(std::chrono::seconds(2));
    const auto wsdl = client.Get("/sd/BabelFishService.wsdl");
    EXPECT_TRUE(wsdl && wsdl->status == 200);

    ASSERT_EQ(::kill(stalled, SIGCONT), 0);
    const int refused = flood.replies("HTTP/1.1 503");
    EXPECT_TRUE(waitFor([&] { return flood.replies("HTTP/1.1 200", "casa") == 300 - refused; },
                        std::chrono::seconds(60)))
        << flood.replies("HTTP/1.1 200", "casa") << " translated, " << refused << " refused";
    // Eight more may have been taken while the work threads picked up their
    // first jobs.
    EXPECT_LE(refused, 300 - 256);
}
