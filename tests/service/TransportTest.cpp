#include "RawHttpRecorder.h"
#include "ScriptedDialogs.h"
#include "ServiceFixtures.h"
#include "TestHttpServer.h"
#include "service/BFish.h"
#include "service/SoapErrors.h"
#include "service/THTTPRIO.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

#include "CallHelpers.h"

using Fixtures::str;

namespace {

// A proxy on 127.0.0.1 for a host that does not exist: whatever reaches
// translate.example went through the proxy.
const std::string WsdlUrl = "http://translate.example/sd/BabelFishService.wsdl";
const std::string EndpointUrl = "http://translate.example/soap";

struct ProxiedService
{
    RawHttpRecorder proxy;
    THTTPRIO rio;

    ProxiedService()
    {
        Fixtures::WsdlShape shape;
        shape.endpoint = QString::fromStdString(EndpointUrl);
        proxy.route(WsdlUrl, RawHttpRecorder::response(200, "OK", str(Fixtures::wsdl(shape))));
        proxy.route(EndpointUrl,
                    RawHttpRecorder::response(200, "OK", str(Fixtures::stringReply("Salut"))));
        proxy.start();
        rio.setWSDLLocation(QString::fromStdString(WsdlUrl));
        rio.setService(QStringLiteral("BabelFish"));
        rio.setPort(QStringLiteral("BabelFishPort"));
        rio.HTTPWebNode().setProxy(QStringLiteral("127.0.0.1:%1").arg(proxy.port()));
    }
};

std::string proxyChallenge()
{
    return RawHttpRecorder::response(407, "Proxy Authentication Required", "",
                                     "Proxy-Authenticate: Basic realm=\"office proxy\"\r\n");
}

} // namespace

TEST(Transport, ProxyCarriesTheWsdlReadsAndThePost)
{
    ProxiedService s;
    EXPECT_EQ(s.rio.HTTPWebNode().proxy(), QStringLiteral("127.0.0.1:%1").arg(s.proxy.port()));
    QString result;
    EXPECT_EQ(callError(s.rio, &result), QString());
    EXPECT_EQ(result, QStringLiteral("Salut"));
    const auto requests = s.proxy.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, WsdlUrl);
    EXPECT_EQ(requests[1].target, WsdlUrl);
    EXPECT_EQ(requests[2].target, EndpointUrl);
    EXPECT_EQ(requests[2].method, "POST");
    EXPECT_EQ(requests[2].header("User-Agent"), "Borland SOAP 1.1");
}

TEST(Transport, WithoutAProxyOfItsOwnTheSystemSettingsDecide)
{
    ProxiedService s;
    const QString proxyUrl = QStringLiteral("http://127.0.0.1:%1").arg(s.proxy.port());
    s.rio.HTTPWebNode().setProxy(QString());
    const QByteArray saved = qgetenv("http_proxy");
    const QByteArray savedNoProxy = qgetenv("no_proxy");
    qputenv("http_proxy", proxyUrl.toUtf8());
    qunsetenv("no_proxy");
    QString result;
    const QString error = callError(s.rio, &result);
    saved.isNull() ? qunsetenv("http_proxy") : qputenv("http_proxy", saved);
    if (!savedNoProxy.isNull())
        qputenv("no_proxy", savedNoProxy);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(result, QStringLiteral("Salut"));
    EXPECT_EQ(s.proxy.requests().size(), 3u);
}

// The system's answer may be reused within a call, but is never kept
// from one call to the next: a proxy set or removed between two calls of
// the same component is followed by all three exchanges of the next call.
TEST(Transport, SystemProxyChangesBetweenCallsAreFollowed)
{
    RawHttpRecorder direct;
    RawHttpRecorder proxy;
    direct.start();
    proxy.start();
    Fixtures::WsdlShape shape;
    shape.endpoint = direct.url(QStringLiteral("/soap"));
    const std::string wsdl = str(Fixtures::wsdl(shape));
    const std::string reply = str(Fixtures::stringReply("Salut"));
    direct.route("/sd/BabelFishService.wsdl", RawHttpRecorder::response(200, "OK", wsdl));
    direct.route("/soap", RawHttpRecorder::response(200, "OK", reply));
    const QString wsdlUrl = direct.url(QStringLiteral("/sd/BabelFishService.wsdl"));
    proxy.route(wsdlUrl.toStdString(), RawHttpRecorder::response(200, "OK", wsdl));
    proxy.route(shape.endpoint.toStdString(), RawHttpRecorder::response(200, "OK", reply));

    THTTPRIO rio;
    rio.setWSDLLocation(wsdlUrl);
    rio.setService(QStringLiteral("BabelFish"));
    rio.setPort(QStringLiteral("BabelFishPort"));
    const QByteArray saved = qgetenv("http_proxy");
    const QByteArray savedNoProxy = qgetenv("no_proxy");
    qunsetenv("no_proxy");
    const QByteArray proxyUrl = "http://127.0.0.1:" + QByteArray::number(proxy.port());

    QStringList errors;
    std::vector<std::pair<std::size_t, std::size_t>> counts; // direct, proxy after each call
    for (const bool viaProxy : {false, true, false}) {
        viaProxy ? qputenv("http_proxy", proxyUrl) : qunsetenv("http_proxy");
        errors << callError(rio);
        counts.emplace_back(direct.requests().size(), proxy.requests().size());
    }
    saved.isNull() ? qunsetenv("http_proxy") : qputenv("http_proxy", saved);
    if (!savedNoProxy.isNull())
        qputenv("no_proxy", savedNoProxy);

    EXPECT_EQ(errors, QStringList({QString(), QString(), QString()}));
    const std::vector<std::pair<std::size_t, std::size_t>> expected{{3, 0}, {3, 3}, {6, 3}};
    EXPECT_EQ(counts, expected);
}

TEST(Transport, ProxyCredentialsAreAskedForThePostAndSentAgain)
{
    for (bool answer : {true, false}) {
        ProxiedService s;
        s.proxy.setHandler([](const RawHttpRecorder::Request& r) {
            // "user:secret"
            if (r.method == "POST" && r.header("Proxy-Authorization") != "Basic dXNlcjpzZWNyZXQ=")
                return proxyChallenge();
            return std::string();
        });
        ScriptedDialogs dialogs;
        if (answer)
            dialogs.credentialAnswers.push_back(
                Credentials{QStringLiteral("user"), QStringLiteral("secret")});
        s.rio.HTTPWebNode().setDialogs(&dialogs);

        QString result;
        EXPECT_EQ(callError(s.rio, &result), answer ? QString() : Cancelled);
        EXPECT_EQ(result, answer ? QStringLiteral("Salut") : QString());
        ASSERT_EQ(dialogs.credentialsAsked.size(), 1);
        EXPECT_EQ(dialogs.credentialsAsked[0].realm, QStringLiteral("office proxy"));
        EXPECT_EQ(dialogs.credentialsAsked[0].host, QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(dialogs.credentialsAsked[0].forProxy);
        EXPECT_TRUE(dialogs.shown.isEmpty()); // cancelling shows nothing
        if (answer) {
            const auto requests = s.proxy.requests();
            ASSERT_GE(requests.size(), 4u);
            EXPECT_EQ(requests.back().header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
            EXPECT_EQ(requests.back().target, EndpointUrl);
        }
    }
}

TEST(Transport, ProxyChallengeOnTheWsdlReadFailsLikeAnyStatus)
{
    ProxiedService s;
    s.proxy.setHandler([](const RawHttpRecorder::Request&) { return proxyChallenge(); });
    ScriptedDialogs dialogs;
    s.rio.HTTPWebNode().setDialogs(&dialogs);
    EXPECT_EQ(callError(s.rio), QStringLiteral("Proxy Authentication Required (407) - '%1'")
                                    .arg(QString::fromStdString(WsdlUrl)));
    EXPECT_TRUE(dialogs.credentialsAsked.isEmpty());
}

TEST(Transport, ServerCredentialsForThePost)
{
    const struct
    {
        const char* what;
        bool withDialogs;
        std::optional<Credentials> answer;
        QString outcome;
    } rows[] = {
        {"answered", true, Credentials{QStringLiteral("u"), QStringLiteral("p")}, QString()},
        {"cancelled", true, std::nullopt, Cancelled},
        {"no dialogs: cancelled", false, std::nullopt, Cancelled},
    };
    for (const auto& row : rows) {
        TestHttpServer http;
        std::atomic<int> posts{0};
        Fixtures::WsdlShape shape;
        http.server().Get("/svc.wsdl", [&](const httplib::Request&, httplib::Response& res) {
            res.set_content(str(Fixtures::wsdl(shape)), "text/xml");
        });
        http.server().Post("/soap", [&](const httplib::Request& req, httplib::Response& res) {
            ++posts;
            if (req.get_header_value("Authorization") != "Basic dTpw") {
                res.status = 401;
                res.set_header("WWW-Authenticate", "Basic realm=\"translate\"");
                return;
            }
            res.set_content(str(Fixtures::stringReply("Authorised")), "text/xml");
        });
        http.start();
        shape.endpoint = http.url(QStringLiteral("/soap"));
        THTTPRIO rio;
        rio.setWSDLLocation(http.url(QStringLiteral("/svc.wsdl")));
        rio.setService(shape.service);
        rio.setPort(shape.port);
        ScriptedDialogs dialogs;
        dialogs.credentialAnswers.push_back(row.answer);
        if (row.withDialogs)
            rio.HTTPWebNode().setDialogs(&dialogs);

        QString result;
        EXPECT_EQ(callError(rio, &result), row.outcome) << row.what;
        if (row.outcome.isEmpty()) {
            EXPECT_EQ(result, QStringLiteral("Authorised")) << row.what;
        }
        EXPECT_EQ(dialogs.credentialsAsked.size(), row.withDialogs ? 1 : 0) << row.what;
        if (row.withDialogs) {
            EXPECT_EQ(dialogs.credentialsAsked[0].realm, QStringLiteral("translate"));
            EXPECT_EQ(dialogs.credentialsAsked[0].host, QStringLiteral("127.0.0.1"));
            EXPECT_FALSE(dialogs.credentialsAsked[0].forProxy);
        }
        EXPECT_TRUE(dialogs.shown.isEmpty()) << row.what;
        // A cancelled call leaves the component ready for the next one.
        EXPECT_FALSE(rio.isCalling());
    }
}

namespace {

// A service whose POST handler holds the reply until the test lets it go
// (at the latest when the fixture ends, before the server stops).
struct HeldService
{
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    std::atomic<bool> arrived{false};
    TestHttpServer http;
    Fixtures::WsdlShape shape;
    THTTPRIO* rio = new THTTPRIO;

    HeldService()
    {
        http.server().Get("/svc.wsdl", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(str(Fixtures::wsdl(shape)), "text/xml");
        });
        http.server().Post("/soap", [this](const httplib::Request&, httplib::Response& res) {
            arrived = true;
            std::unique_lock lock(m);
            cv.wait(lock, [this] { return released; });
            res.set_content(str(Fixtures::stringReply("late")), "text/xml");
        });
        http.start();
        shape.endpoint = http.url(QStringLiteral("/soap"));
        rio->setWSDLLocation(http.url(QStringLiteral("/svc.wsdl")));
        rio->setService(shape.service);
        rio->setPort(shape.port);
    }
    ~HeldService()
    {
        {
            std::lock_guard lock(m);
            released = true;
        }
        cv.notify_all();
        // The component first: closing its kept connection frees the
        // server's worker at once.
        delete rio;
        http.stop();
    }

    // Runs action from the event loop once the POST has reached the server.
    void whenPosted(QTimer& timer, std::function<void()> action)
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, &timer, action] {
            if (!arrived)
                return;
            timer.stop();
            action();
        });
        timer.start();
    }
};

} // namespace

TEST(Transport, AbortDuringTheCallEndsItSilentlyAndTheNextCallWorks)
{
    HeldService s;
    QTimer timer;
    QString secondCall;
    s.whenPosted(timer, [&] {
        // The same component asked again while busy: refused, first call intact.
        secondCall = callError(*s.rio);
        EXPECT_TRUE(s.rio->isCalling());
        s.rio->HTTPWebNode().abort();
    });
    EXPECT_EQ(callError(*s.rio), Cancelled);
    EXPECT_EQ(secondCall, SoapMessages::componentBusy());
    EXPECT_FALSE(s.rio->isCalling());

    // Let the server answer from now on; the component is usable again.
    {
        std::lock_guard lock(s.m);
        s.released = true;
    }
    s.cv.notify_all();
    QString result;
    EXPECT_EQ(callError(*s.rio, &result), QString());
    EXPECT_EQ(result, QStringLiteral("late"));
}

TEST(Transport, ComponentDestroyedDuringTheCall)
{
    HeldService s;
    auto fish = GetIBabelFish(*s.rio);
    QTimer timer;
    s.whenPosted(timer, [&] {
        delete s.rio;
        s.rio = nullptr;
    });
    EXPECT_THROW(fish->BabelFish(QStringLiteral("en_fr"), QStringLiteral("Hello")), CallCancelled);
    // The interface outlived its component: a clear error, no crash.
    try {
        fish->BabelFish(QStringLiteral("en_fr"), QStringLiteral("Hello"));
        ADD_FAILURE() << "no error";
    } catch (const TarquellError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("The translation service component no longer exists"));
    }
}

TEST(Transport, AbortOutsideACallChangesNothing)
{
    HeldService s;
    s.rio->HTTPWebNode().abort();
    {
        std::lock_guard lock(s.m);
        s.released = true;
    }
    s.cv.notify_all();
    QString result;
    EXPECT_EQ(callError(*s.rio, &result), QString());
    EXPECT_EQ(result, QStringLiteral("late"));
}
