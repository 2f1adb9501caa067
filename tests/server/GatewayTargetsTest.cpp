// What the web page gateway will not fetch (every spelling of an address on
// this machine or a private network, names that resolve to one, redirects
// into them, the service itself), the Host rule that keeps other sites'
// names out of the service, and the policies its pages are served with.
// Every connection goes to 127.0.0.1: where a test name or address stands
// for a machine elsewhere, the test's resolver routes it here, so a check
// that failed shows as a request to the test's own server.
#include "ServiceProcess.h"
#include "TestHttpServer.h"
#include "WaitFor.h"
#include "server/engine/TranslationEngine.h"
#include "server/gateway/PageFetcher.h"
#include "server/gateway/WebGateway.h"
#include "server/http/HostCheck.h"
#include "server/net/PageTargets.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using PageTargets::Range;
using PageTargets::Refusal;

TargetAddress address(const std::string& text)
{
    const auto a = TargetAddress::numeric(text);
    if (!a)
        ADD_FAILURE() << text << " does not read as an address";
    return a.value_or(TargetAddress{});
}

// Test names for machines elsewhere; "localhost" as the system resolves
// it; numeric addresses as read. Every connection goes to 127.0.0.1.
class TestResolver : public HostResolver
{
public:
    Lookup resolve(const std::string& host) const override
    {
        if (const auto numeric = TargetAddress::numeric(host))
            return {{*numeric}, 0};
        if (host == "localhost")
            return HostResolver::resolve(host);
        const auto it = names.find(host);
        if (it == names.end())
            return {{}, EAI_NONAME};
        Lookup lookup;
        for (const std::string& a : it->second)
            lookup.addresses.push_back(address(a));
        return lookup;
    }
    std::string route(const TargetAddress& checked) const override
    {
        // The first of several addresses of a name goes where nothing
        // listens, so that the fetch must try the next.
        if (firstRefuses && checked.text() == firstRefuses)
            return "::1";
        return "127.0.0.1";
    }

    std::map<std::string, std::vector<std::string>> names{
        {"public.test", {"203.0.113.7"}},
        {"twice.test", {"2001:db8::7", "203.0.113.8"}},
        {"metadata.test", {"169.254.169.254"}},
        {"split.test", {"203.0.113.9", "10.0.0.9"}},
    };
    const char* firstRefuses = "2001:db8::7";
};

// The pages: /secret.txt must never be fetched; the rest lead to it.
class Site
{
public:
    Site()
    {
        auto& s = server.server();
        s.Get("/secret.txt", [this](const httplib::Request&, httplib::Response& res) {
            ++secretHits;
            res.set_content("secret", "text/plain");
        });
        s.Get("/page.txt", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("The house is red.", "text/plain");
        });
        s.Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><title>House</title></head><body><p>The house is "
                            "red.</p><script>document.cookie</script></body></html>",
                            "text/html");
        });
        s.Get(R"(/to/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::string host = req.matches[1];
            res.set_redirect(
                "http://" + host + ":" + std::to_string(port()) +
                (host.find("public") == std::string::npos ? "/secret.txt" : "/page.txt"));
        });
        server.start();
    }
    int port() const { return server.port(); }
    std::string at(const std::string& host, const std::string& path) const
    {
        return "http://" + host + ":" + std::to_string(port()) + path;
    }

    TestHttpServer server;
    std::atomic<int> secretHits{0};
};

struct Answer
{
    int status = 0;
    std::string body;
    std::string policy;
    std::string nosniff;
    std::string referrer;
};

Answer ask(ServiceProcess& service, const std::string& target, const std::string& host = {})
{
    httplib::Client client = service.client();
    httplib::Headers headers;
    if (!host.empty())
        headers.emplace("Host", host);
    const auto res = client.Get(target, headers);
    if (!res) {
        ADD_FAILURE() << target << ": no answer, " << httplib::to_string(res.error());
        return {};
    }
    return {res->status, res->body, res->get_header_value("Content-Security-Policy"),
            res->get_header_value("X-Content-Type-Options"),
            res->get_header_value("Referrer-Policy")};
}

std::string gatewayRequest(const std::string& page)
{
    return "/translate_c?sl=en&&hl=es&&u=" + page;
}

// The second "listening on" line of a service given two addresses.
int secondPort(ServiceProcess& service)
{
    QProcess& process = service.process();
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(30000))
            return 0;
    }
    return QString::fromUtf8(process.readLine()).trimmed().section(QLatin1Char(':'), -1).toInt();
}

// A request written by hand, so that it can go without a Host header.
std::string rawExchange(int port, const std::string& request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return reply;
}
} // namespace

TEST(PageTargets, KnowsEveryRangeInEverySpelling)
{
    const struct
    {
        const char* text;
        Range range;
    } rows[] = {
        {"127.0.0.1", Range::Loopback},
        {"2130706433", Range::Loopback}, // decimal
        {"127.1", Range::Loopback},      // short
        {"0x7f.1", Range::Loopback},     // hexadecimal
        {"0177.0.0.1", Range::Loopback}, // octal
        {"127.255.255.254", Range::Loopback},
        {"::1", Range::Loopback},
        {"::ffff:127.0.0.1", Range::Loopback}, // IPv4-mapped
        {"::ffff:7f00:1", Range::Loopback},
        {"::ffff:0:7f00:1", Range::Loopback}, // IPv4-translated
        {"::127.0.0.1", Range::Loopback},     // IPv4-compatible
        {"64:ff9b::7f00:1", Range::Loopback}, // NAT64
        {"2002:7f00:1::1", Range::Loopback},  // 6to4
        {"0.0.0.0", Range::Unspecified},
        {"0", Range::Unspecified},
        {"0.1.2.3", Range::Unspecified},
        {"::", Range::Unspecified},
        {"169.254.169.254", Range::LinkLocal},
        {"0xa9fea9fe", Range::LinkLocal},
        {"::ffff:169.254.169.254", Range::LinkLocal},
        {"fe80::1", Range::LinkLocal},
        {"febf::1", Range::LinkLocal},
        {"10.0.0.1", Range::Private},
        {"167772161", Range::Private},
        {"172.16.0.1", Range::Private},
        {"172.31.255.255", Range::Private},
        {"192.168.0.1", Range::Private},
        {"3232235521", Range::Private},
        {"::ffff:192.168.0.1", Range::Private},
        {"64:ff9b::a00:1", Range::Private},
        {"64:ff9b:1::1", Range::Private},
        {"2002:c0a8:1::1", Range::Private},
        {"fc00::1", Range::Private},
        {"fd12:3456::1", Range::Private},
        {"fec0::1", Range::Private},
        {"198.18.0.1", Range::Private},
        {"100.64.0.1", Range::Shared},
        {"100.127.255.255", Range::Shared},
        {"224.0.0.1", Range::Multicast},
        {"239.255.255.250", Range::Multicast},
        {"ff02::1", Range::Multicast},
        {"::ffff:224.0.0.251", Range::Multicast},
        {"255.255.255.255", Range::Broadcast},
        {"240.0.0.1", Range::Reserved},
        {"100::1", Range::Reserved},
        // Beside the ranges: public.
        {"203.0.113.7", Range::Public},
        {"8.8.8.8", Range::Public},
        {"172.32.0.1", Range::Public},
        {"172.15.255.255", Range::Public},
        {"100.128.0.1", Range::Public},
        {"169.255.0.1", Range::Public},
        {"11.0.0.1", Range::Public},
        {"2001:db8::1", Range::Public},
        {"2606:4700::1111", Range::Public},
        {"::ffff:8.8.8.8", Range::Public},
        {"64:ff9b::808:808", Range::Public},
        {"2002:808:808::1", Range::Public},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(PageTargets::classify(address(row.text)), row.range);
    }
}

TEST(PageTargets, NeverTheServiceItselfAndNothingLocalUnlessAllowed)
{
    const PageTargets::Rules strict{false, {{QStringLiteral("127.0.0.1"), 8731}}};
    const PageTargets::Rules open{true, {{QStringLiteral("127.0.0.1"), 8731}}};
    const struct
    {
        const char* address;
        int port;
        Refusal strict;
        Refusal open;
    } rows[] = {
        {"127.0.0.1", 8731, Refusal::Service, Refusal::Service},
        {"127.0.0.1", 8080, Refusal::Private, Refusal::None},
        {"127.0.0.2", 8731, Refusal::Service, Refusal::Service},
        {"0.0.0.0", 8731, Refusal::Service, Refusal::Service},
        {"::1", 8731, Refusal::Service, Refusal::Service},
        {"::ffff:127.0.0.1", 8731, Refusal::Service, Refusal::Service},
        {"::", 8731, Refusal::Service, Refusal::Service},
        // Another machine on a private network may use the same port.
        {"10.0.0.5", 8731, Refusal::Private, Refusal::None},
        {"169.254.169.254", 80, Refusal::Private, Refusal::None},
        {"100.64.0.1", 80, Refusal::Private, Refusal::None},
        {"224.0.0.1", 80, Refusal::NotUnicast, Refusal::NotUnicast},
        {"255.255.255.255", 80, Refusal::NotUnicast, Refusal::NotUnicast},
        {"203.0.113.7", 8731, Refusal::None, Refusal::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.address) + " port " + std::to_string(row.port));
        EXPECT_EQ(PageTargets::check(address(row.address), row.port, strict), row.strict);
        EXPECT_EQ(PageTargets::check(address(row.address), row.port, open), row.open);
    }
    // This machine's own addresses, whatever their range, as Qt lists them.
    for (const QHostAddress& own : QNetworkInterface::allAddresses()) {
        QHostAddress bare = own;
        bare.setScopeId(QString());
        SCOPED_TRACE(bare.toString().toStdString());
        const TargetAddress a = address(bare.toString().toStdString());
        EXPECT_TRUE(PageTargets::isMachineAddress(a));
        EXPECT_EQ(PageTargets::check(a, 80, strict), Refusal::Private);
        EXPECT_EQ(PageTargets::check(a, 8731, open), Refusal::Service);
    }
}

TEST(GatewayTargets, RefusesEverySpellingOfThisMachineAndPrivateNetworksAndRedirectsIntoThem)
{
    Site site;
    EchoEngine engine;
    WebGateway gateway(engine, FetchLimits{});
    gateway.setTargets({{}, std::make_shared<TestResolver>()});
    const auto answer = [&](const std::string& page) {
        return gateway.answer(QStringLiteral("/translate_c"),
                              QString::fromStdString("sl=en&&hl=es&&u=" + page),
                              QStringLiteral("http://127.0.0.1:8731"));
    };
    const std::string local = "is an address on this machine or a private network, and this "
                              "service does not fetch pages from there.";
    const std::string notUnicast = "is a multicast, broadcast or reserved address";
    const struct
    {
        std::string page;
        std::string says;
    } rows[] = {
        {site.at("127.0.0.1", "/secret.txt"), "127.0.0.1 " + local},
        {site.at("2130706433", "/secret.txt"), "127.0.0.1 " + local},
        {site.at("127.1", "/secret.txt"), "127.0.0.1 " + local},
        {site.at("0x7f000001", "/secret.txt"), "127.0.0.1 " + local},
        {site.at("0177.0.0.01", "/secret.txt"), "127.0.0.1 " + local},
        {site.at("[::1]", "/secret.txt"), "::1 " + local},
        {site.at("[::ffff:127.0.0.1]", "/secret.txt"), "::ffff:127.0.0.1 " + local},
        {site.at("[::ffff:7f00:1]", "/secret.txt"), "::ffff:127.0.0.1 " + local},
        {site.at("[64:ff9b::7f00:1]", "/secret.txt"), local},
        {site.at("0.0.0.0", "/secret.txt"), "0.0.0.0 " + local},
        {site.at("0", "/secret.txt"), "0.0.0.0 " + local},
        {site.at("[::]", "/secret.txt"), ":: " + local},
        {site.at("localhost", "/secret.txt"), local},
        {site.at("169.254.169.254", "/secret.txt"), "169.254.169.254 " + local},
        {site.at("metadata.test", "/secret.txt"), "metadata.test " + local},
        {site.at("10.1.2.3", "/secret.txt"), "10.1.2.3 " + local},
        {site.at("172.16.0.1", "/secret.txt"), local},
        {site.at("3232235521", "/secret.txt"), "192.168.0.1 " + local},
        {site.at("100.64.0.1", "/secret.txt"), local},
        {site.at("[fe80::1]", "/secret.txt"), local},
        {site.at("[fe80::1%25lo]", "/secret.txt"), "fe80::1%lo " + local},
        {site.at("[fd00::1]", "/secret.txt"), local},
        {site.at("224.0.0.1", "/secret.txt"), notUnicast},
        {site.at("255.255.255.255", "/secret.txt"), notUnicast},
        {site.at("[ff02::1]", "/secret.txt"), notUnicast},
        // A name with one private address among public ones.
        {site.at("split.test", "/secret.txt"), "split.test " + local},
        // Redirects from a site that may be fetched into one that may not.
        {site.at("public.test", "/to/127.0.0.1"), "127.0.0.1 " + local},
        {site.at("public.test", "/to/localhost"), local},
        {site.at("public.test", "/to/2130706433"), "127.0.0.1 " + local},
        {site.at("public.test", "/to/metadata.test"), "metadata.test " + local},
        {site.at("public.test", "/to/[::ffff:10.0.0.1]"), "::ffff:10.0.0.1 " + local},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        const WebGateway::Answer a = answer(row.page);
        EXPECT_EQ(a.status, 403u);
        EXPECT_FALSE(a.translated);
        EXPECT_NE(a.body.find(row.says), std::string::npos) << a.body;
        // Where the option would help, the page says so.
        EXPECT_EQ(a.body.find("--allow-private-pages") != std::string::npos,
                  row.says.find(local) != std::string::npos)
            << a.body;
    }
    EXPECT_EQ(site.secretHits, 0);
    // A name is refused as it was sent: the address it leads to is not told.
    for (const auto& [page, address] :
         {std::pair{site.at("metadata.test", "/secret.txt"), "169.254"},
          std::pair{site.at("split.test", "/secret.txt"), "10.0.0.9"},
          std::pair{site.at("public.test", "/to/metadata.test"), "169.254"},
          std::pair{site.at("localhost", "/secret.txt"), "127.0.0.1"}}) {
        SCOPED_TRACE(page);
        EXPECT_EQ(answer(page).body.find(address), std::string::npos);
    }

    // The test names themselves are fetched, through a redirect too, and
    // a name whose first address takes no connection through its next.
    for (const std::string& page :
         {site.at("public.test", "/page.txt"), site.at("public.test", "/to/public.test"),
          site.at("twice.test", "/page.txt")}) {
        SCOPED_TRACE(page);
        const WebGateway::Answer a = answer(page);
        EXPECT_EQ(a.status, 200u);
        EXPECT_TRUE(a.translated);
        EXPECT_EQ(a.body, "[en_es] The house is red.");
    }
}

// A name service that does not answer holds a fetch no longer than its
// deadline, and lookups left running are bounded.
TEST(GatewayTargets, AHostNameThatIsNotAnsweredEndsAtTheFetchDeadline)
{
    struct StuckResolver : HostResolver
    {
        Lookup resolve(const std::string& host) const override
        {
            if (host != "stuck.test")
                return HostResolver::resolve(host);
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return free; });
            return {{}, EAI_NONAME};
        }
        void release()
        {
            std::lock_guard lock(mutex);
            free = true;
            released.notify_all();
        }
        mutable std::mutex mutex;
        mutable std::condition_variable released;
        bool free = false;
    };
    const auto resolver = std::make_shared<StuckResolver>();
    const FetchTargets targets{{}, resolver};
    const auto fetch = [&](int ms) {
        FetchLimits limits;
        limits.timeout = std::chrono::milliseconds(ms);
        try {
            fetchPage(QUrl(QStringLiteral("http://stuck.test/")), limits, targets);
        } catch (const FetchFailure& e) {
            return std::make_pair(e.kind(), e.message().toStdString());
        }
        return std::make_pair(FetchFailure::Kind::Status, std::string("fetched"));
    };
    const auto started = std::chrono::steady_clock::now();
    const auto first = fetch(300);
    // Without the bound it would wait until the resolver is released.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(first.first, FetchFailure::Kind::TooSlow);
    EXPECT_NE(first.second.find("did not arrive within"), std::string::npos) << first.second;

    // 32 lookups left running: the next name is not looked up at all.
    std::vector<std::thread> more;
    for (int i = 0; i < 31; ++i)
        more.emplace_back([&] { fetch(50); });
    for (std::thread& t : more)
        t.join();
    const auto crowded = fetch(5000);
    EXPECT_NE(crowded.second.find("too many host names"), std::string::npos) << crowded.second;

    // Once the lookups end, names are looked up again.
    resolver->release();
    std::string last;
    EXPECT_TRUE(waitFor(
        [&] {
            last = fetch(2000).second;
            return last.find("too many") == std::string::npos;
        },
        std::chrono::seconds(5)));
    EXPECT_NE(last.find("there is no host named stuck.test"), std::string::npos) << last;
}

TEST(GatewayTargets, TheServiceRefusesLocalPagesAndServesItsPagesWithTheirPolicies)
{
    Site site;
    ServiceProcess strict({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(strict.isRunning()) << strict.error().toStdString();
    for (const char* host :
         {"127.0.0.1", "2130706433", "127.1", "[::ffff:127.0.0.1]", "localhost", "0.0.0.0"}) {
        SCOPED_TRACE(host);
        const Answer a = ask(strict, gatewayRequest(site.at(host, "/secret.txt")));
        EXPECT_EQ(a.status, 403);
        EXPECT_NE(a.body.find("on this machine or a private network"), std::string::npos) << a.body;
        EXPECT_EQ(a.policy, WebGateway::ownPagePolicy);
        EXPECT_EQ(a.nosniff, "nosniff");
        EXPECT_EQ(a.referrer, "no-referrer");
    }
    EXPECT_EQ(site.secretHits, 0);

    // Allowed, the same pages are fetched, and served in a sandbox of
    // their own: scripts run, but without this service's origin.
    ServiceProcess open({QStringLiteral("--engine"), QStringLiteral("echo"),
                         QStringLiteral("--allow-private-pages")});
    ASSERT_TRUE(open.isRunning()) << open.error().toStdString();
    for (const char* path : {"/page.txt", "/page.html"}) {
        SCOPED_TRACE(path);
        const Answer a = ask(open, gatewayRequest(site.at("127.0.0.1", path)));
        EXPECT_EQ(a.status, 200);
        EXPECT_NE(a.body.find("[en_es] The house is red."), std::string::npos) << a.body;
        EXPECT_EQ(a.policy, "sandbox allow-scripts allow-forms allow-popups "
                            "allow-popups-to-escape-sandbox");
        EXPECT_EQ(a.policy.find("allow-same-origin"), std::string::npos);
        EXPECT_EQ(a.nosniff, "nosniff");
        EXPECT_EQ(a.referrer, "no-referrer");
    }
    // The service's own pages and documents run nothing.
    for (const std::string& target :
         {gatewayRequest(site.at("127.0.0.1", "/missing")), gatewayRequest("ftp://x/"),
          std::string("/sd/BabelFishService.wsdl"), std::string("/nothing")}) {
        SCOPED_TRACE(target);
        const Answer a = ask(open, target);
        EXPECT_NE(a.policy.find("default-src 'none'"), std::string::npos) << a.policy;
        EXPECT_EQ(a.policy.find("allow-"), std::string::npos) << a.policy;
        EXPECT_EQ(a.nosniff, "nosniff");
    }
}

TEST(GatewayTargets, TheServiceNeverFetchesItselfEvenWhenPrivatePagesAreAllowed)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo"),
                            QStringLiteral("--allow-private-pages"), QStringLiteral("--listen"),
                            QStringLiteral("127.0.0.1:0"), QStringLiteral("--listen"),
                            QStringLiteral("127.0.0.1:0")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const int second = secondPort(service);
    ASSERT_GT(second, 0);
    const std::string first = std::to_string(service.port());
    const std::string other = std::to_string(second);
    // A site that sends the gateway back to the service.
    TestHttpServer bounce;
    bounce.server().Get("/bounce", [&](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("http://localhost:" + other + gatewayRequest("http://example.org/"));
    });
    bounce.server().Get("/page.txt", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("The house is red.", "text/plain");
    });
    bounce.start();
    const std::string pages[] = {
        "http://127.0.0.1:" + first + gatewayRequest("http://example.org/"),
        "http://127.0.0.1:" + other + "/sd/BabelFishService.wsdl",
        "http://localhost:" + first + "/",
        "http://0.0.0.0:" + other + "/",
        "http://[::ffff:127.0.0.1]:" + first + "/",
        "http://2130706433:" + first + "/",
        bounce.url(QStringLiteral("/bounce")).toStdString(),
    };
    for (const std::string& page : pages) {
        SCOPED_TRACE(page);
        const Answer a = ask(service, gatewayRequest(page));
        EXPECT_EQ(a.status, 403);
        EXPECT_NE(a.body.find("is this translation service itself"), std::string::npos) << a.body;
    }
    // Pages on other ports of this machine are fetched.
    const Answer allowed =
        ask(service, gatewayRequest(bounce.url(QStringLiteral("/page.txt")).toStdString()));
    EXPECT_EQ(allowed.status, 200);
    EXPECT_EQ(allowed.body, "[en_es] The house is red.");
}

TEST(HostRule, EachKindOfRequestMustNameTheService)
{
    Site site;
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo"),
                            QStringLiteral("--allow-private-pages"), QStringLiteral("--listen"),
                            QStringLiteral("127.0.0.1:0"), QStringLiteral("--listen"),
                            QStringLiteral("127.0.0.1:0")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const int second = secondPort(service);
    ASSERT_GT(second, 0);
    const std::string port = std::to_string(service.port());
    const std::string soap =
        "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>"
        "<BabelFish><translationmode>en_es</translationmode><sourcedata>The house</sourcedata>"
        "</BabelFish></e:Body></e:Envelope>";
    const struct
    {
        std::string host;
        bool accepted;
    } hosts[] = {
        {"127.0.0.1:" + port, true},
        {"localhost:" + port, true},
        {"LocalHost.:" + port, true},
        {"127.0.0.1", true},                           // no port: as simple clients send it
        {"127.0.0.1:" + std::to_string(second), true}, // the service's other address
        {"[::1]:" + port, true},
        {"evil.example:" + port, false}, // a name rebound to this machine
        {"evil.example", false},
        {"127.0.0.1.evil.example:" + port, false},
        {"localhost.evil.example:" + port, false},
        {"127.0.0.1:" + std::to_string(service.port() == 1 ? 2 : 1), false},
        {"192.0.2.1:" + port, false},
        {"127.0.0.1:" + port + "@evil.example", false},
        {"[::1", false},
    };
    for (const auto& row : hosts) {
        SCOPED_TRACE(row.host);
        httplib::Client client = service.client();
        const httplib::Headers headers{{"Host", row.host}};
        const auto gateway = client.Get(gatewayRequest(site.at("127.0.0.1", "/page.txt")), headers);
        const auto wsdl = client.Get("/sd/BabelFishService.wsdl", headers);
        const auto call = client.Post("/soap", headers, soap, "text/xml; charset=utf-8");
        for (const auto* res : {&gateway, &wsdl, &call}) {
            ASSERT_TRUE(*res);
            EXPECT_EQ((*res)->status, row.accepted ? 200 : 421) << (*res)->body;
        }
        if (row.accepted) {
            EXPECT_EQ(gateway->body, "[en_es] The house is red.");
            EXPECT_NE(call->body.find("[en_es] The house"), std::string::npos) << call->body;
        }
    }
    // A request that names nothing at all.
    const std::string reply =
        rawExchange(service.port(), "GET /sd/BabelFishService.wsdl HTTP/1.0\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.0 421", 0) == 0 || reply.rfind("HTTP/1.1 421", 0) == 0, true)
        << reply;
}

TEST(HostRule, AWildcardListenTakesTheMachinesOwnAddressesAndName)
{
    const HostCheck wildcard({{QStringLiteral("0.0.0.0"), 8731}, {QStringLiteral("::"), 8732}});
    const HostCheck loopback({{QStringLiteral("127.0.0.1"), 8731}});
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    const std::string machine = name;
    for (const std::string& host :
         {machine + ":8731", machine + ":8732", std::string("localhost:8731")}) {
        SCOPED_TRACE(host);
        EXPECT_TRUE(wildcard.accepts(host));
    }
    EXPECT_FALSE(loopback.accepts(machine + ":8731"));
    for (const QHostAddress& own : QNetworkInterface::allAddresses()) {
        QHostAddress bare = own;
        bare.setScopeId(QString());
        const QString text = bare.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QLatin1Char('[') + bare.toString() + QLatin1Char(']')
                                 : bare.toString();
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(wildcard.accepts((text + QStringLiteral(":8731")).toStdString()));
        EXPECT_FALSE(wildcard.accepts((text + QStringLiteral(":8733")).toStdString()));
        EXPECT_EQ(loopback.accepts((text + QStringLiteral(":8731")).toStdString()),
                  bare.isLoopback());
    }
    for (const char* host :
         {"evil.example:8731", "", "203.0.113.7:8731", "0.0.0.0:8733", "127.0.0.1:8731:8731",
          "127.0.0.1:99999", "127.0.0.1:+80", "local host:8731", "127.0.0.1:"}) {
        SCOPED_TRACE(host);
        EXPECT_FALSE(wildcard.accepts(host));
    }
}

// Names a reverse proxy puts in Host are taken when allowed, with any port
// or the one given; the rebinding guard stays for every other name.
TEST(HostRule, TakesTheNamesAProxyUses)
{
    const HostCheck check({{QStringLiteral("127.0.0.1"), 8731}},
                          {QStringLiteral("Translate.Example.org"),
                           QStringLiteral("front.example:443"), QStringLiteral("bad name")});
    const struct
    {
        const char* host;
        bool accepted;
    } rows[] = {
        {"translate.example.org", true},
        {"translate.example.org:8080", true},
        {"TRANSLATE.example.org.", true},
        {"front.example:443", true},
        {"front.example", false},
        {"front.example:80", false},
        {"evil.example", false},
        {"translate.example.org.evil.example", false},
        {"bad name", false},
        {"127.0.0.1:8731", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.host);
        EXPECT_EQ(check.accepts(row.host), row.accepted);
    }
    EXPECT_FALSE(HostCheck::isName(QStringLiteral("a b")));
    EXPECT_FALSE(HostCheck::isName(QStringLiteral("x.example/path")));
    EXPECT_TRUE(HostCheck::isName(QStringLiteral("[::1]:443")));
}

// Two different Content-Length headers are refused: a proxy in front may
// read the other one, and the rest of the body would be taken as a request
// of its own. The same length twice is one length.
TEST(HostRule, RefusesTwoDifferentLengthsAndTakesAProxysName)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo"),
                            QStringLiteral("--allow-host"),
                            QStringLiteral("translate.example.org")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const std::string host = "Host: 127.0.0.1:" + std::to_string(service.port()) + "\r\n";
    const auto status = [&](const std::string& headers, const std::string& body) {
        const std::string reply =
            rawExchange(service.port(), "GET /languages HTTP/1.1\r\n" + headers +
                                            "Connection: close\r\n\r\n" + body);
        return reply.substr(0, 12);
    };
    EXPECT_EQ(status(host + "Content-Length: 0\r\nContent-Length: 5\r\n", "GET /"), "HTTP/1.1 400");
    EXPECT_EQ(status(host + "Content-Length: 0, 5\r\n", "GET /"), "HTTP/1.1 400");
    EXPECT_EQ(status(host + "Content-Length: 0\r\nContent-Length: 0\r\n", ""), "HTTP/1.1 200");
    EXPECT_EQ(status(host, ""), "HTTP/1.1 200");
    // A proxy's name, and a name nobody allowed.
    EXPECT_EQ(status("Host: translate.example.org\r\n", ""), "HTTP/1.1 200");
    EXPECT_EQ(status("Host: evil.example\r\n", ""), "HTTP/1.1 421");
}

// With API keys, SOAP and the gateways, which cannot send one, answer this
// machine only, unless opened; the API itself answers anyone with a key.
TEST(HostRule, KeepsKeylessRoutesToThisMachineWhenKeysAreAsked)
{
    QHostAddress lan;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback() && !a.isLinkLocal())
            lan = a;
    }
    if (lan.isNull())
        GTEST_SKIP() << "this machine has no IPv4 address but loopback";
    QTemporaryDir dir;
    QFile keys(dir.filePath(QStringLiteral("keys")));
    ASSERT_TRUE(keys.open(QIODevice::WriteOnly));
    keys.write("key-one\n");
    keys.close();
    const std::string soap =
        "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>"
        "<BabelFish><translationmode>en_es</translationmode><sourcedata>The house</sourcedata>"
        "</BabelFish></e:Body></e:Envelope>";
    for (const bool open : {false, true}) {
        SCOPED_TRACE(open ? "opened" : "closed");
        QStringList arguments{QStringLiteral("--engine"),   QStringLiteral("echo"),
                              QStringLiteral("--listen"),   QStringLiteral("0.0.0.0:0"),
                              QStringLiteral("--api-keys"), keys.fileName()};
        if (open)
            arguments << QStringLiteral("--keyless-from-anywhere");
        ServiceProcess service(arguments);
        ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
        httplib::Client local("127.0.0.1", service.port());
        httplib::Client remote(lan.toString().toStdString(), service.port());
        for (httplib::Client* client : {&local, &remote}) {
            const bool fromHere = client == &local;
            const auto call = client->Post("/soap", soap, "text/xml; charset=utf-8");
            ASSERT_TRUE(call);
            EXPECT_EQ(call->status, fromHere || open ? 200 : 403) << call->body;
            const auto translated = client->Post(
                "/translate", R"({"q":"Hi","source":"en","target":"es","api_key":"key-one"})",
                "application/json");
            ASSERT_TRUE(translated);
            EXPECT_EQ(translated->status, 200) << translated->body;
        }
    }
}
