// Work that outlives its reason: the real service with a long document job
// under way (a page of tags that never close, whose text keeps the
// pipelines busy). A client that leaves takes the job's work with it;
// SIGTERM ends the service within two seconds, and none of its children
// remains.
#include "ServiceProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

struct Proc
{
    long pid = 0;
    std::string name;
};

// The processes whose parent is `parent`, and theirs, from /proc; zombies
// are gone already.
std::vector<Proc> descendants(long parent)
{
    std::vector<Proc> all;
    std::vector<std::pair<long, Proc>> table;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const long pid = entry.toLong(&number);
        if (!number)
            continue;
        std::ifstream stat("/proc/" + entry.toStdString() + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) != 2 || state == 'Z')
            continue;
        table.push_back({ppid, {pid, line.substr(open + 1, close - open - 1)}});
    }
    std::vector<long> frontier{parent};
    while (!frontier.empty()) {
        const long p = frontier.back();
        frontier.pop_back();
        for (const auto& [ppid, proc] : table) {
            if (ppid == p) {
                all.push_back(proc);
                frontier.push_back(proc.pid);
            }
        }
    }
    return all;
}

bool alive(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && line.find(" Z ", close) != close + 1;
}

template <typename Condition> bool waitUntil(std::chrono::milliseconds limit, Condition condition)
{
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// The CPU time the service's children have used, in clock ticks.
long long childrenTicks(long service)
{
    long long ticks = 0;
    for (const Proc& p : descendants(service)) {
        std::ifstream stat("/proc/" + std::to_string(p.pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        const size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        // After the name: state, then fields 4 to 13, then utime and stime.
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        long long utime = 0, stime = 0;
        for (int i = 3; i <= 13 && rest >> field; ++i) {
        }
        if (rest >> utime >> stime)
            ticks += utime + stime;
    }
    return ticks;
}

// Whether the service's children are working: their CPU time grows.
bool childrenWork(long service)
{
    const long long before = childrenTicks(service);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return childrenTicks(service) > before + 2;
}

// A page of tags that never close, sent as a document on a connection of
// our own, so that the test can close it: its text keeps the engine's
// pipelines busy for many seconds.
int sendLongJob(int port)
{
    std::string page = "<html><body><p>The house is red.</p><a ";
    while (page.size() < 400 * 1024)
        page += "title=\"The house is red\" ";
    const std::string boundary = "tarquellboundary";
    std::string body;
    for (const auto& [name, value] : {std::pair{"source", "en"}, std::pair{"target", "es"}})
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                "\"\r\n\r\n" + value + "\r\n";
    body += "--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"page.html\"\r\n"
            "Content-Type: text/html\r\n\r\n" +
            page + "\r\n--" + boundary + "--\r\n";
    const std::string request =
        "POST /translate_file HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nContent-Type: multipart/form-data; boundary=" + boundary +
        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    for (size_t sent = 0; sent < request.size();) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        sent += static_cast<size_t>(n);
    }
    return fd;
}

class ServiceStop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode")) ||
            !QFileInfo::exists(QStringLiteral("/usr/bin/apertium")))
            GTEST_SKIP() << "Apertium missing (scripts/deps.sh)";
        ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
        client = sendLongJob(service.port());
        ASSERT_GE(client, 0);
        ASSERT_TRUE(waitUntil(std::chrono::seconds(30), [&] {
            return childrenWork(service.pid());
        })) << "the document's translation did not start";
    }
    void TearDown() override
    {
        if (client >= 0)
            ::close(client);
    }

    QTemporaryDir cache;
    ServiceProcess service{{}, {QStringLiteral("XDG_CACHE_HOME=") + cache.path()}};
    int client = -1;
};
} // namespace

TEST_F(ServiceStop, AClientThatLeavesTakesItsWorkWithIt)
{
    ::close(client);
    client = -1;
    // Within a second or so the pipelines that translated for it are
    // stopped: no child of the service works on.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_FALSE(childrenWork(service.pid()));
    // The service goes on.
    const auto answer = service.get("/languages");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
}

TEST_F(ServiceStop, SigtermEndsTheServiceWithinTwoSecondsAndNoChildRemains)
{
    const std::vector<Proc> children = descendants(service.pid());
    ASSERT_FALSE(children.empty());
    const auto sent = Clock::now();
    ::kill(static_cast<pid_t>(service.pid()), SIGTERM);
    ASSERT_TRUE(service.process().waitForFinished(5000));
    EXPECT_LT(Clock::now() - sent, std::chrono::seconds(2));
    for (const Proc& p : children)
        EXPECT_FALSE(alive(p.pid)) << p.name << " " << p.pid;
}
