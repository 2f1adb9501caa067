#include "ScriptedDialogs.h"
#include "LoopbackPort.h"
#include "ServiceFixtures.h"
#include "TestHttpServer.h"
#include "platform/CommandGuard.h"
#include "service/BFish.h"
#include "service/SoapErrors.h"
#include "service/THTTPRIO.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

#include "CallHelpers.h"

using Fixtures::str;

namespace {

// The expected text: %1 stands for the URL where the row has one.
QString expected(const char* text, const QString& url)
{
    return QString::fromUtf8(text).replace(QStringLiteral("%1"), url);
}

// A service on 127.0.0.1: its WSDL at /svc.wsdl points at /soap, whose
// answer each test sets.
struct Service
{
    TestHttpServer http;
    THTTPRIO rio;
    std::atomic<int> posts{0};
    std::atomic<int> gets{0};
    Fixtures::WsdlShape shape;
    int status = 200;
    QByteArray reply = Fixtures::stringReply("Bonjour");
    QByteArray wsdlOverride;

    Service()
    {
        http.server().Get("/svc.wsdl", [this](const httplib::Request&, httplib::Response& res) {
            ++gets;
            res.set_content(str(wsdlOverride.isEmpty() ? Fixtures::wsdl(shape) : wsdlOverride),
                            "text/xml");
        });
        http.server().Post("/soap", [this](const httplib::Request&, httplib::Response& res) {
            ++posts;
            res.status = status;
            res.set_content(str(reply), "text/xml");
        });
        http.start();
        shape.endpoint = http.url(QStringLiteral("/soap"));
        rio.setWSDLLocation(http.url(QStringLiteral("/svc.wsdl")));
        rio.setService(shape.service);
        rio.setPort(shape.port);
    }
    QString endpoint() const { return http.url(QStringLiteral("/soap")); }
    QString wsdl() const { return http.url(QStringLiteral("/svc.wsdl")); }
};

} // namespace

TEST(CallErrors, HttpStatusesOfThePost)
{
    const struct
    {
        int status;
        QByteArray body;
        const char* text; // %1: the endpoint
    } rows[] = {
        {404, "gone", "Not Found (404) - '%1'"},
        {302, "", "Found (302) - '%1'"}, // not followed
        {503, Fixtures::fault("busy"), "Service Unavailable (503) - '%1'"},
        {401, "", "Unauthorized (401) - '%1'"}, // no challenge: no prompt either
        {500, Fixtures::fault("Language pair xx_yy is not supported"),
         "Language pair xx_yy is not supported"},
        {500, "<html>Internal error</html>",
         "DocumentElement http://schemas.xmlsoap.org/soap/envelope/:Envelope expected, :html "
         "found"},
        {200, "not xml at all", "Start tag expected. (line 1, column 1)"},
    };
    for (const auto& row : rows) {
        Service s;
        s.status = row.status;
        s.reply = row.body;
        EXPECT_EQ(callError(s.rio), expected(row.text, s.endpoint())) << row.status;
        EXPECT_EQ(s.posts, 1);
        EXPECT_EQ(s.gets, 2);
    }
}

TEST(CallErrors, FaultStringReachesTheErrorBoxWithAFullStopOnlyWhenMissing)
{
    for (const char* faultString : {"Unsupported pair", "Unsupported pair."}) {
        Service s;
        s.status = 500;
        s.reply = Fixtures::fault(faultString);
        ScriptedDialogs dialogs;
        try {
            GetIBabelFish(s.rio)->BabelFish(QStringLiteral("en_fr"), QStringLiteral("Hello"));
            ADD_FAILURE() << "no fault";
        } catch (const SoapFault& f) {
            EXPECT_EQ(f.message(), QString::fromUtf8(faultString));
            EXPECT_EQ(f.faultCode(), QStringLiteral("SOAP-ENV:Server"));
            EXPECT_EQ(errorBoxText(f.message()), QStringLiteral("Unsupported pair."));
        }
    }
}

TEST(CallErrors, WsdlProblems)
{
    // The WSDL is read before anything is posted.
    {
        Service s;
        s.wsdlOverride = "<definitions><service></definitions>";
        EXPECT_EQ(callError(s.rio),
                  QStringLiteral("Invalid WSDL document '%1' - Please verify the location and "
                                 "content!\r\nError: Opening and ending tag mismatch. (line 1, "
                                 "column 36)")
                      .arg(s.wsdl()));
        EXPECT_EQ(s.posts, 0);
    }
    const struct
    {
        const char* what;
        const char* endpoint;
        const char* text; // %1: WSDL location
    } rows[] = {
        {"empty address", "",
         "Unable to retrieve the URL endpoint for Service/Port 'BabelFish'/'BabelFishPort' from "
         "WSDL '%1'"},
        {"a local file as endpoint", "file:///etc/passwd",
         "Invalid url 'file:///etc/passwd' - only supports 'http' and 'https' schemes"},
        {"ftp endpoint", "ftp://127.0.0.1/soap",
         "Invalid url 'ftp://127.0.0.1/soap' - only supports 'http' and 'https' schemes"},
        {"relative endpoint", "/soap",
         "Invalid url '/soap' - only supports 'http' and 'https' schemes"},
    };
    for (const auto& row : rows) {
        Service s;
        s.shape.endpoint = QString::fromUtf8(row.endpoint);
        EXPECT_EQ(callError(s.rio), expected(row.text, s.wsdl())) << row.what;
        EXPECT_EQ(s.gets, 2) << row.what;
        EXPECT_EQ(s.posts, 0) << row.what;
    }
}

TEST(CallErrors, WsdlFetchFailsOnAnyStatusFrom300)
{
    Service s;
    s.http.server().Get("/locked.wsdl", [](const httplib::Request&, httplib::Response& res) {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"wsdl\"");
    });
    ScriptedDialogs dialogs;
    dialogs.credentialAnswers.push_back(Credentials{QStringLiteral("u"), QStringLiteral("p")});
    s.rio.HTTPWebNode().setDialogs(&dialogs);
    s.rio.setWSDLLocation(s.http.url(QStringLiteral("/locked.wsdl")));
    EXPECT_EQ(callError(s.rio), QStringLiteral("Unauthorized (401) - '%1'")
                                    .arg(s.http.url(QStringLiteral("/locked.wsdl"))));
    EXPECT_TRUE(dialogs.credentialsAsked.isEmpty()); // only the POST asks

    s.rio.setWSDLLocation(s.http.url(QStringLiteral("/missing.wsdl")));
    EXPECT_EQ(
        callError(s.rio),
        QStringLiteral("Not Found (404) - '%1'").arg(s.http.url(QStringLiteral("/missing.wsdl"))));
    EXPECT_EQ(s.posts, 0);
}

TEST(CallErrors, UnreachableHosts)
{
    const int port = unusedLoopbackPort();
    // The WSDL host is down while the endpoint is up.
    {
        Service s;
        const QString wsdl = QStringLiteral("http://127.0.0.1:%1/svc.wsdl").arg(port);
        s.rio.setWSDLLocation(wsdl);
        EXPECT_EQ(callError(s.rio),
                  QStringLiteral("Connection refused - URL:%1 - SOAPAction:\"\"").arg(wsdl));
        EXPECT_EQ(s.posts, 0);
    }
    // The endpoint is down: the text names the action in use.
    {
        Service s;
        s.shape.endpoint = QStringLiteral("http://127.0.0.1:%1/soap").arg(port);
        EXPECT_EQ(callError(s.rio), QStringLiteral("Connection refused - URL:%1 - SOAPAction:%2")
                                        .arg(s.shape.endpoint, *s.shape.soapAction));
    }
    // A host name that cannot resolve.
    {
        Service s;
        s.shape.endpoint = QStringLiteral("http://no-such-host.invalid/soap");
        EXPECT_EQ(callError(s.rio),
                  QStringLiteral("Host no-such-host.invalid not found - URL:%1 - SOAPAction:%2")
                      .arg(s.shape.endpoint, *s.shape.soapAction));
    }
}

TEST(CallErrors, LocalWsdlFiles)
{
    Service s;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The service document imports its definitions by a relative path.
    const QByteArray full = Fixtures::wsdl(s.shape);
    QByteArray importer = "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">"
                          "<import location=\"defs/translate.wsdl\"/></definitions>";
    QDir(dir.path()).mkpath(QStringLiteral("defs"));
    QFile a(dir.filePath(QStringLiteral("service.wsdl")));
    QFile b(dir.filePath(QStringLiteral("defs/translate.wsdl")));
    ASSERT_TRUE(a.open(QIODevice::WriteOnly) && a.write(importer) == importer.size());
    ASSERT_TRUE(b.open(QIODevice::WriteOnly) && b.write(full) == full.size());
    a.close();
    b.close();

    for (const QString& location :
         {a.fileName(), QStringLiteral("file://") + a.fileName(), b.fileName()}) {
        s.rio.setWSDLLocation(location);
        QString result;
        EXPECT_EQ(callError(s.rio, &result), QString()) << location.toStdString();
        EXPECT_EQ(result, QStringLiteral("Bonjour"));
    }
    EXPECT_EQ(s.gets, 0);

    const QString missing = dir.filePath(QStringLiteral("nowhere.wsdl"));
    s.rio.setWSDLLocation(missing);
    EXPECT_EQ(callError(s.rio),
              QStringLiteral("No such file or directory - URL:%1 - SOAPAction:\"\"").arg(missing));
}

TEST(CallErrors, ImportCycleOverHttpEndsWithNoEndpoint)
{
    Service s;
    s.http.server().Get(
        R"(/cycle/(a|b)\.wsdl)", [](const httplib::Request& req, httplib::Response& res) {
            const std::string other = req.matches[1] == "a" ? "b" : "a";
            res.set_content("<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><import "
                            "location=\"" +
                                other + ".wsdl\"/></definitions>",
                            "text/xml");
        });
    const QString location = s.http.url(QStringLiteral("/cycle/a.wsdl"));
    s.rio.setWSDLLocation(location);
    EXPECT_EQ(callError(s.rio), QStringLiteral("Unable to retrieve the URL endpoint for "
                                               "Service/Port 'BabelFish'/'BabelFishPort' from "
                                               "WSDL '%1'")
                                    .arg(location));
    EXPECT_EQ(s.posts, 0);
}

TEST(CallErrors, OversizedReplyIsRefusedWithoutReadingIt)
{
    Service s;
    s.http.server().Post("/huge", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(THTTPReqResp::MaxReplyBytes + 1, "text/xml",
                                 [](size_t, size_t length, httplib::DataSink& sink) {
                                     const std::string chunk(std::min<size_t>(length, 65536), 'x');
                                     return sink.write(chunk.data(), chunk.size());
                                 });
    });
    s.shape.endpoint = s.http.url(QStringLiteral("/huge"));
    EXPECT_EQ(callError(s.rio),
              QStringLiteral("The reply from '%1' is larger than 64 MB and was not read")
                  .arg(s.shape.endpoint));
}

TEST(CallErrors, SlowServerHitsTheTimeOut)
{
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    Service s;
    s.http.server().Post("/slow", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return released; });
        res.set_content("late", "text/plain");
    });
    // Releases the handler before the server stops, whatever the outcome.
    struct Release
    {
        std::mutex& m;
        std::condition_variable& cv;
        bool& released;
        ~Release()
        {
            std::lock_guard lock(m);
            released = true;
            cv.notify_all();
        }
    } release{m, cv, released};

    s.shape.endpoint = s.http.url(QStringLiteral("/slow"));
    s.rio.HTTPWebNode().setTimeout(300);
    EXPECT_EQ(callError(s.rio), QStringLiteral("The operation timed out - URL:%1 - SOAPAction:%2")
                                    .arg(s.shape.endpoint, *s.shape.soapAction));
}
