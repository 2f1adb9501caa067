// tarquell-service with remote engines: Debian's apertium-apy started here,
// and a server that answers LibreTranslate's documented API. Which engine
// took a request is read from the reply's X-Tarquell-Engine header and the
// service's /debug/engines.
#include "ApyProcess.h"
#include "FakeLibreTranslate.h"
#include "ServiceProcess.h"
#include "SoapTestMessages.h"
#include "TestHttpServer.h"
#include "platform/Errors.h"
#include "service/BFish.h"
#include "service/THTTPRIO.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct Reply
{
    int status = 0;
    QString engine;
    SoapTestMessages::Answer answer;
};

Reply soap(ServiceProcess& service, const QString& mode, const QString& text)
{
    const auto res = service.post(SoapTestMessages::babelFish(mode, text));
    if (!res) {
        ADD_FAILURE() << "no answer: " << httplib::to_string(res.error());
        return {};
    }
    return {res->status, QString::fromStdString(res->get_header_value("X-Tarquell-Engine")),
            SoapTestMessages::read(res->body)};
}

QString fault(ServiceProcess& service, const char* mode, const char* text = "Hello")
{
    const Reply reply = soap(service, s(mode), s(text));
    EXPECT_TRUE(reply.answer.fault) << mode << " " << reply.answer.text.toStdString();
    return reply.answer.faultString;
}

QString engines(ServiceProcess& service)
{
    const auto res = service.get("/debug/engines");
    return res && res->status == 200 ? QString::fromStdString(res->body) : QString();
}

// The BabelFish call as the window's Translate makes it.
QString viaClient(const ServiceProcess& service, const QString& mode, const QString& text)
{
    THTTPRIO rio;
    rio.setWSDLLocation(service.url(s("/sd/BabelFishService.wsdl")));
    rio.setService(s("BabelFish"));
    rio.setPort(s("BabelFishPort"));
    return GetIBabelFish(rio)->BabelFish(mode, text);
}

// The gateway refuses pages on this machine unless told otherwise, where
// the service has that option.
QStringList gatewayOptions()
{
    static const QStringList options = [] {
        QProcess help;
        help.start(ServiceProcess::program(), {s("--help")});
        help.waitForFinished(10000);
        return help.readAllStandardOutput().contains("--allow-private-pages")
                   ? QStringList{s("--allow-private-pages")}
                   : QStringList();
    }();
    return options;
}

int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

const QStringList debug{s("TARQUELL_SERVICE_DEBUG=1")};
} // namespace

// ------------------------------------------------------------------ APy

class ServiceWithApy : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QFileInfo::exists(s("/usr/share/apertium/modes/fr-es.mode")))
            return;
        apy = new ApyProcess(s("/usr/share/apertium/modes"));
        // Only English to Spanish on this machine.
        localModes = new QTemporaryDir;
        QFile::copy(s("/usr/share/apertium/modes/eng-spa.mode"),
                    QDir(localModes->path()).filePath(s("eng-spa.mode")));
    }
    static void TearDownTestSuite()
    {
        delete apy;
        delete localModes;
        apy = nullptr;
        localModes = nullptr;
    }
    void SetUp() override
    {
        if (!apy)
            GTEST_SKIP() << "Apertium with fr-es is not installed (scripts/deps.sh)";
        if (!ApyProcess::isInstalled())
            GTEST_SKIP() << apy->error().toStdString();
        ASSERT_TRUE(apy->isRunning()) << apy->error().toStdString();
    }
    QStringList arguments(const QStringList& more = {}) const
    {
        return QStringList{s("--modes-dir"), localModes->path(), s("--remote"),
                           s("apertium-apy=") + apy->url()} +
               more;
    }

    static ApyProcess* apy;
    static QTemporaryDir* localModes;
};
ApyProcess* ServiceWithApy::apy = nullptr;
QTemporaryDir* ServiceWithApy::localModes = nullptr;

TEST_F(ServiceWithApy, FrenchGoesToApyAndEnglishStaysOnThisMachine)
{
    ServiceProcess service(arguments(), debug);
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const QString remote = s("Apertium APy at ") + apy->url();

    const Reply french = soap(service, s("fr_es"), s("Le chien est grand."));
    EXPECT_EQ(french.status, 200);
    EXPECT_EQ(french.answer.text, s("El perro es grande."));
    EXPECT_EQ(french.engine, remote);

    const Reply english = soap(service, s("en_es"), s("The dog is big."));
    EXPECT_EQ(english.answer.text, s("El perro es grande."));
    EXPECT_EQ(english.engine, s("Apertium on this machine"));

    // English to French: the local leg to Spanish, then APy's.
    const Reply pivot = soap(service, s("en_fr"), s("The dog is big."));
    EXPECT_EQ(pivot.answer.text, s("Le chien est grand."));
    EXPECT_EQ(pivot.engine, s("Apertium on this machine (to Spanish), then ") + remote);

    const QString report = engines(service);
    for (const QString& line :
         {s("engine 1 ") + remote + s(" up: "), s("route fr_es ") + remote + s("\n"),
          s("route en_es Apertium on this machine\n"), s("route de_es none\n")})
        EXPECT_TRUE(report.contains(line)) << line.toStdString() << "\n" << report.toStdString();
}

// APy translates ten slices of a request at most and drops the rest
// without a word; pieces keep every request within that.
TEST_F(ServiceWithApy, ALongTextThroughApyArrivesWhole)
{
    ServiceProcess service(arguments());
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    QString text;
    for (int i = 0; i < 2500; ++i)
        text += s("Le chien est grand.\n");
    text += s("La maison.");
    ASSERT_GT(text.size(), 50000);
    const Reply reply = soap(service, s("fr_es"), text);
    ASSERT_FALSE(reply.answer.fault) << reply.answer.faultString.toStdString();
    EXPECT_EQ(reply.answer.text.count(s("El perro es grande.\n")), 2500);
    EXPECT_TRUE(reply.answer.text.endsWith(s("La casa.")))
        << reply.answer.text.right(80).toStdString();
}

TEST_F(ServiceWithApy, APageThroughTheGatewayKeepsItsMarkup)
{
    TestHttpServer site;
    site.server().Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><head><title>Le chien</title></head><body><p>Le <b>chien</b> "
                        "est grand.</p><script>var chien = 1;</script></body></html>",
                        "text/html; charset=utf-8");
    });
    site.start();
    ServiceProcess service(arguments(gatewayOptions()));
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const auto res =
        service.get("/translate_c?sl=fr&hl=es&u=" + site.url(s("/page.html")).toStdString());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << res->body;
    const QString page = QString::fromStdString(res->body);
    EXPECT_TRUE(page.contains(s("<title>El perro</title>"))) << res->body;
    EXPECT_TRUE(page.contains(s("<p>El <b>perro</b> es grande.</p>"))) << res->body;
    EXPECT_TRUE(page.contains(s("var chien = 1;"))) << res->body;
}

// ------------------------------------------------------------------ LibreTranslate

class ServiceWithLibreTranslate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        lt.setCharLimit(200);
        lt.setApiKeys({s("the-key")});
        lt.setKeyRequired(true);
        lt.start();
    }
    QStringList remote(const char* key = "the-key") const
    {
        return {s("--remote"), s("libretranslate=") + lt.url(s("/")), s("--remote-key"),
                s("libretranslate=") + s(key)};
    }
    QString name() const { return s("LibreTranslate at ") + lt.url(s("/")); }

    FakeLibreTranslate lt;
};

TEST_F(ServiceWithLibreTranslate, GermanAndJapaneseThroughTheWindowsTranslateAndTheGateway)
{
    TestHttpServer site;
    site.server().Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body><p>Hello <b>world</b>, the <a href=\"/house\">house</a> is "
                        "big.</p></body></html>",
                        "text/html; charset=utf-8");
    });
    site.start();
    ServiceProcess service(remote() + gatewayOptions(), debug);
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();

    EXPECT_EQ(viaClient(service, s("en_de"), s("Hello world")), s("Hallo Welt"));
    EXPECT_EQ(viaClient(service, s("en_ja"), s("Hello world")), s("こんにちは 世界"));
    EXPECT_EQ(soap(service, s("en_ja"), s("Hello")).engine, name());
    // Local pairs stay local.
    EXPECT_EQ(soap(service, s("en_es"), s("Hello")).engine, s("Apertium on this machine"));
    if (QFileInfo::exists(s("/usr/share/apertium/modes/pt-es.mode"))) {
        // Portuguese to German: Apertium to Spanish, then the server.
        const Reply pivot = soap(service, s("pt_de"), s("A casa."));
        EXPECT_EQ(pivot.answer.text, s("La Haus."));
        EXPECT_EQ(pivot.engine, s("Apertium on this machine (to Spanish), then ") + name());
    }

    for (const char* target : {"de", "ja"}) {
        const auto res = service.get(std::string("/translate_c?sl=en&hl=") + target +
                                     "&u=" + site.url(s("/page.html")).toStdString());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << res->body;
        const QString page = QString::fromStdString(res->body);
        const QString expected = std::string(target) == "de"
                                     ? s("<p>Hallo <b>Welt</b>, das <a href=")
                                     : s("<p>こんにちは <b>世界</b>, the <a href=");
        EXPECT_TRUE(page.contains(expected)) << res->body;
        EXPECT_TRUE(page.contains(s("/house\">") +
                                  (std::string(target) == "de" ? s("Haus") : s("家")) + s("</a>")))
            << res->body;
        EXPECT_EQ(lt.received().back().format, s("html"));
    }
}

TEST_F(ServiceWithLibreTranslate, ATextLongerThanTheServersLimitIsSentInPiecesAndJoined)
{
    ServiceProcess service(remote());
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    QString text;
    QString expected;
    for (int i = 1; i <= 60; ++i) {
        text += QStringLiteral("Sentence %1 is big. ").arg(i);
        expected += QStringLiteral("Satz %1 ist groß. ").arg(i);
        if (i % 10 == 0) {
            text += s("\n\n");
            expected += s("\n\n");
        }
    }
    ASSERT_GT(text.size(), 1000);
    const Reply reply = soap(service, s("en_de"), text);
    EXPECT_EQ(reply.answer.text, expected);
    const auto received = lt.received();
    EXPECT_GE(received.size(), size_t(6));
    for (const auto& r : received)
        EXPECT_LE(r.characters, 200);
}

TEST_F(ServiceWithLibreTranslate, AWrongKeyADownServerAndASlowOneEachSaySo)
{
    {
        ServiceProcess service(remote("not-the-key"));
        ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
        EXPECT_EQ(fault(service, "en_de"),
                  s("The translation server at %1 refused the API key.").arg(lt.url(s("/"))));
    }
    {
        const QString down = QStringLiteral("http://127.0.0.1:%1/").arg(closedPort());
        ServiceProcess service({s("--remote"), s("libretranslate=") + down});
        ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
        EXPECT_EQ(fault(service, "en_de"),
                  s("The translation server at %1 does not answer.").arg(down));
        // What this machine translates is untouched.
        EXPECT_FALSE(soap(service, s("en_es"), s("Hello")).answer.fault);
    }
    {
        lt.setDelay(std::chrono::milliseconds(3000));
        ServiceProcess service(remote() + QStringList{s("--remote-timeout"), s("1")});
        ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
        EXPECT_EQ(
            fault(service, "en_de"),
            s("The translation server at %1 did not answer within 1 second.").arg(lt.url(s("/"))));
        lt.setDelay(std::chrono::milliseconds(0));
    }
}

TEST_F(ServiceWithLibreTranslate, TheLanguagesFollowTheServersAndADownServerIsAskedAgain)
{
    ServiceProcess service(remote() + QStringList{s("--remote-refresh"), s("1")}, debug);
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    EXPECT_EQ(soap(service, s("en_ja"), s("Hello")).answer.text, s("こんにちは"));

    auto withoutJapanese = FakeLibreTranslate::defaultLanguages();
    withoutJapanese.pop_back();
    lt.setLanguages(withoutJapanese);
    QTRY_VERIFY_WITH_TIMEOUT(engines(service).contains(s("route en_ja none\n")), 15000);
    EXPECT_EQ(fault(service, "en_ja"),
              s("No translation from English to Japanese is installed on this server or offered "
                "by the translation servers it uses"));
    EXPECT_EQ(soap(service, s("en_de"), s("Hello")).answer.text, s("Hallo"));

    // Down: skipped, with the reason, and asked again until it is back.
    const int port = lt.port();
    lt.stop();
    QTRY_VERIFY_WITH_TIMEOUT(engines(service).contains(s("skipped: The translation server")),
                             15000);
    EXPECT_EQ(fault(service, "en_de"),
              s("The translation server at %1 does not answer.").arg(lt.url(s("/"))));
    lt.setLanguages(FakeLibreTranslate::defaultLanguages());
    lt.start(port);
    QTRY_VERIFY_WITH_TIMEOUT(engines(service).contains(s("route en_ja ") + name() + s("\n")),
                             15000);
    EXPECT_EQ(soap(service, s("en_ja"), s("Hello")).answer.text, s("こんにちは"));
}

// A server that takes the connection and never answers holds neither the
// requests that need it beyond a few seconds nor the service's stop.
TEST(ServiceWithSilentServer, RequestsAreAnsweredAndTheServiceStops)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 16), 0); // and never accept
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const QString silent = QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port));

    ServiceProcess service({s("--remote"), s("libretranslate=") + silent});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    EXPECT_FALSE(soap(service, s("en_es"), s("Hello")).answer.fault);
    EXPECT_EQ(fault(service, "en_de"),
              s("The translation server at %1 has not said yet which languages it translates; "
                "please try again shortly.")
                  .arg(silent));
    QElapsedTimer stopping;
    stopping.start();
    EXPECT_TRUE(service.terminate());
    // Well before the 30 s the server would be given.
    EXPECT_LT(stopping.elapsed(), 15000);
    ::close(fd);
}
