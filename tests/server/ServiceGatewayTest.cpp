// tarquell-service as a web page gateway: the seven request formats
// against pages served here on 127.0.0.1, links sent back through the
// gateway, the pages that say why a page is not translated, and the limits
// on what a fetch may take.
#include "ServiceProcess.h"
#include "TestHttpServer.h"

#include <QFileInfo>
#include <QString>
#include <future>
#include <gtest/gtest.h>

namespace {
const std::string housePage =
    "<!DOCTYPE html><html><head><title>House</title></head><body>"
    "<p>The house is red.</p><a href=\"next.html\">Next</a></body></html>";

// The seven formats, English to Spanish, as the window builds them.
std::string request(int server, const std::string& page)
{
    switch (server) {
    case 1:
        return "/systran/cgi?partner=demo-SystranSoft&&f=32&&lp=en_es&&urltext=" + page;
    case 2:
        return "/tr?lp=en_es&&url=" + page + "&&doit=done&&tt=url&&urltext=";
    case 3:
        return "/url_b.html?lp=en_es&&url=" + page;
    case 4:
        return "/?sequence=core&&language=English/Spanish&&url=" + page;
    case 5:
        return "/translate_c?sl=en&&hl=es&&u=" + page;
    case 6:
        return "/?partner=Lycos2-en&&submit=Translate&&lp=en_es&&urltext=" + page;
    default:
        return "/Translate/index.shtml?type=url&&from=eng&&to=spa&&url=" + page;
    }
}

// "&&" as it stands in an attribute.
std::string inAttribute(std::string text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? std::string("&amp;") : std::string(1, c);
    return out;
}

// Pages for the gateway to fetch; /slow answers once release is set.
class PageServer
{
public:
    PageServer()
    {
        auto& s = pages.server();
        s.Get("/house.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(housePage, "text/html");
        });
        s.Get("/links.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                "<html><head><title>Links</title></head><body><p>The dog</p>"
                "<a href=\"next.html?a=1&amp;b=2#part\">1</a> <a href='#top'>2</a> "
                "<a href=\"mailto:x@example.org\">3</a> <a href=\"javascript:go()\">4</a> "
                "<a href=https://example.org/a>5</a> <iframe src=\"/frame.html\"></iframe>"
                "<img src=\"/p.png\"><script>var s = \"The cat <a "
                "href=x>\";</script></body></html>",
                "text/html; charset=utf-8");
        });
        s.Get("/latin1.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                "<html><body><p>caf\xe9 and caf&eacute; &amp; &lt;b&gt;</p></body></html>",
                "text/html; charset=ISO-8859-1");
        });
        s.Get("/text.txt", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("The house is red.", "text/plain");
        });
        s.Get("/image.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string("\x89PNG\r\n\x1a\n", 8), "image/png");
        });
        s.Get("/missing.html", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("gone", "text/plain");
        });
        s.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const int n = std::stoi(req.matches[1]);
            res.set_redirect(n == 0 ? "/house.html" : "/hop/" + std::to_string(n - 1));
        });
        s.Get("/to-ftp", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("ftp://127.0.0.1/file");
        });
        s.Get("/big.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<p>" + std::string(100 * 1024, 'a') + "</p>", "text/html");
        });
        s.Get("/endless.html", [](const httplib::Request&, httplib::Response& res) {
            // No Content-Length: only the bytes that come tell the size.
            res.set_chunked_content_provider("text/html", [](size_t, httplib::DataSink& sink) {
                const std::string chunk(16 * 1024, 'a');
                return sink.write(chunk.data(), chunk.size());
            });
        });
        s.Get("/slow.html", [this](const httplib::Request&, httplib::Response& res) {
            release.wait();
            res.set_content(housePage, "text/html");
        });
        pages.start();
    }
    ~PageServer()
    {
        released.set_value();
        pages.stop();
    }

    std::string url(const char* path) const
    {
        return pages.url(QString::fromLatin1(path)).toStdString();
    }

    TestHttpServer pages;
    std::promise<void> released;
    std::shared_future<void> release = released.get_future().share();
};

struct Page
{
    int status = 0;
    std::string type;
    std::string body;
};

Page fetch(ServiceProcess& service, const std::string& target)
{
    const auto res = service.get(target);
    if (!res) {
        ADD_FAILURE() << target << ": no answer, " << httplib::to_string(res.error());
        return {};
    }
    return {res->status, res->get_header_value("Content-Type"), res->body};
}

bool apertiumInstalled()
{
    return QFileInfo::exists(QStringLiteral("/usr/share/apertium/modes/eng-spa.mode"));
}

// The pages these tests fetch are served on 127.0.0.1, which the gateway
// fetches only when allowed.
const QString allowPrivate = QStringLiteral("--allow-private-pages");

QStringList echo(const QStringList& more = {})
{
    return QStringList{QStringLiteral("--engine"), QStringLiteral("echo"), allowPrivate} + more;
}
} // namespace

TEST(ServiceGateway, EachFormatGivesTheSpanishPageWithItsLinksThroughTheSameGateway)
{
    if (!apertiumInstalled())
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    PageServer site;
    ServiceProcess service({allowPrivate});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const std::string self = "http://127.0.0.1:" + std::to_string(service.port());
    const std::string page = site.url("/house.html");
    for (int server = 1; server <= 7; ++server) {
        SCOPED_TRACE(server);
        // Server 1 sends an address as typed; a missing scheme means http.
        const std::string address = server == 1 ? page.substr(7) : page;
        const Page answer = fetch(service, request(server, address));
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.type, "text/html; charset=utf-8");
        EXPECT_NE(answer.body.find("casa"), std::string::npos) << answer.body;
        EXPECT_EQ(answer.body.find("The house"), std::string::npos) << answer.body;
        EXPECT_NE(answer.body.find("<head><base href=\"" + page + "\"><title>"), std::string::npos)
            << answer.body;
        const std::string next = inAttribute(request(server, site.url("/next.html")));
        EXPECT_NE(answer.body.find("<a href=\"" + self + next + "\">"), std::string::npos)
            << answer.body;
    }
    // A pair no installed Apertium pair serves is said so, before any fetch.
    const Page korean =
        fetch(service, "/tr?lp=en_ko&&url=" + page + "&&doit=done&&tt=url&&urltext=");
    EXPECT_EQ(korean.status, 400);
    EXPECT_NE(korean.body.find("cannot translate from English to Korean"), std::string::npos)
        << korean.body;
    // Plain text is translated as text.
    const Page text = fetch(service, request(5, site.url("/text.txt")));
    EXPECT_EQ(text.type, "text/plain; charset=utf-8");
    EXPECT_NE(text.body.find("casa"), std::string::npos) << text.body;
}

TEST(ServiceGateway, TranslatesTextOnlyAndRewritesEveryLinkToAPage)
{
    PageServer site;
    ServiceProcess service(echo());
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const std::string self = "http://127.0.0.1:" + std::to_string(service.port());
    const std::string target = request(2, site.url("/links.html"));
    const Page answer = fetch(service, target);
    ASSERT_EQ(answer.status, 200);
    const std::string& body = answer.body;
    const auto through = [&](const std::string& page, const std::string& fragment = "") {
        return "href=\"" + self + inAttribute(request(2, page)) + fragment + "\"";
    };
    const std::string expected[] = {
        // Server 2's tail stays after the address, the fragment after it.
        through(site.url("/next.html?a=1&b=2"), "#part"),
        "href=\"" + self + inAttribute(target) + "#top\"",
        "href=\"mailto:x@example.org\"",
        "href=\"javascript:go()\"",
        through("https://example.org/a"),
        "src=\"" + self + inAttribute(request(2, site.url("/frame.html"))) + "\"",
        "<img src=\"/p.png\">", // loads through <base>
        "<script>var s = \"The cat <a href=x>\";</script>",
        "[en_es] The dog",
        "<title>[en_es] Links</title>",
    };
    for (const std::string& piece : expected)
        EXPECT_NE(body.find(piece), std::string::npos) << piece << "\n" << body;

    // Decoded from its charset, letters written as references included
    // (apertium-deshtml would mangle those), markup references kept.
    const Page latin1 = fetch(service, request(5, site.url("/latin1.html")));
    EXPECT_NE(latin1.body.find("caf\xc3\xa9 and caf\xc3\xa9 &amp; &lt;"), std::string::npos)
        << latin1.body;
}

TEST(ServiceGateway, SaysPlainlyWhyAPageIsNotTranslated)
{
    PageServer site;
    ServiceProcess service(echo());
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    int closedPort = 0;
    {
        TestHttpServer closed;
        closed.start();
        closedPort = closed.port();
    }
    const std::string house = site.url("/house.html");
    const struct
    {
        std::string target;
        int status;
        std::string says;
    } rows[] = {
        {"/translate_c?sl=en&&hl=es", 400, "names no page to translate"},
        {"/translate_c?sl=en&&hl=es&&u=", 400, "names no page to translate"},
        {"/tr?lp=_&&url=" + house, 400, "does not say which languages"},
        {"/Translate/index.shtml?type=url&&from=eng&&to=&&url=" + house, 400,
         "does not say which languages"},
        {"/?sequence=core&&language=&&url=" + house, 400, "does not say which languages"},
        {"/url_b.html?lp=en_xx&&url=" + house, 400, "does not know: &quot;en_xx&quot;"},
        {request(5, "ftp://127.0.0.1/file"), 400, "Only http and https pages"},
        {request(5, "file:///etc/passwd"), 400, "Only http and https pages"},
        {request(5, "javascript:alert(1)"), 400, "Only http and https pages"},
        {request(5, site.url("/to-ftp")), 502, "Only http and https pages"},
        {request(5, "http://nohost.invalid/page"), 502, "there is no host named nohost.invalid"},
        {request(5, "http://127.0.0.1:" + std::to_string(closedPort) + "/"), 502,
         "does not answer"},
        {request(5, site.url("/missing.html")), 502, "with 404"},
        {request(5, site.url("/hop/6")), 502, "sent elsewhere more than 5 times"},
        {request(5, site.url("/hop/4")), 200, "[en_es] The house is red."},
        {request(5, site.url("/image.png")), 200, "of the type image/png, not a web page"},
        // Everything that goes into a page is escaped.
        {request(5, "ftp://x/<script>alert(1)</script>"), 400, "&lt;script&gt;alert(1)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        const Page answer = fetch(service, row.target);
        EXPECT_EQ(answer.status, row.status);
        EXPECT_EQ(answer.type, "text/html; charset=utf-8");
        EXPECT_NE(answer.body.find(row.says), std::string::npos) << answer.body;
        EXPECT_EQ(answer.body.find("<script>"), std::string::npos) << answer.body;
    }
}

TEST(ServiceGateway, PagesTooLargeOrTooSlowAreRefused)
{
    PageServer site;
    ServiceProcess service(echo({QStringLiteral("--page-max-bytes"), QStringLiteral("65536"),
                                 QStringLiteral("--page-timeout"), QStringLiteral("1000")}));
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const struct
    {
        const char* path;
        int status;
        std::string says;
    } rows[] = {
        {"/big.html", 502, "is larger than 64 KiB"},     // by its Content-Length
        {"/endless.html", 502, "is larger than 64 KiB"}, // by the bytes that came
        {"/slow.html", 504, "did not arrive within 1 second."},
        {"/house.html", 200, "[en_es] The house is red."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const Page answer = fetch(service, request(5, site.url(row.path)));
        EXPECT_EQ(answer.status, row.status);
        EXPECT_NE(answer.body.find(row.says), std::string::npos) << answer.body;
    }
}

TEST(ServiceGateway, ListensOnEveryAddressGiven)
{
    PageServer site;
    ServiceProcess service(echo({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                 QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")}));
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    QProcess& process = service.process();
    while (!process.canReadLine())
        ASSERT_TRUE(process.waitForReadyRead(30000));
    const QString line = QString::fromUtf8(process.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith(QStringLiteral("listening on 127.0.0.1:"))) << line.toStdString();
    const int second = line.section(QLatin1Char(':'), -1).toInt();
    ASSERT_NE(second, service.port());
    httplib::Client client("127.0.0.1", second);
    const auto res = client.Get(request(7, site.url("/house.html")));
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("[en_es] The house is red."), std::string::npos) << res->body;
    // Links name the address the browser used.
    EXPECT_NE(res->body.find("http://127.0.0.1:" + std::to_string(second) + "/Translate/"),
              std::string::npos)
        << res->body;
}
