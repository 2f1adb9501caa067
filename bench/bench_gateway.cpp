// The web page gateway of tarquell-service on loopback: the time to answer
// a gateway request for a 100 KB English HTML page (fetched from a server
// in this process, translated English to Spanish, links rewritten), as a
// median, beside the baseline of the same text sent through the SOAP
// endpoint in one call; and the gateway with the echo engine, which is the
// fetch, apertium-deshtml/rehtml and the link rewriting without the
// translation. Then the step that looks up a page's host and checks its
// addresses before each fetch, in this process: its median per page.
//
//   bench_gateway [--service PATH] [--rounds N] [--kb N]
#include "server/net/PageTargets.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

const char* const sentences[] = {
    "The house is red and the garden is very big.",
    "My brother works in a small office near the station.",
    "We will visit the old city with our friends next summer.",
    "The children play in the park every afternoon after school.",
    "This book explains how the government spends public money.",
    "She bought a new car because the old one was broken.",
    "The weather was cold, but the people in the street were happy.",
    "Our teacher says that reading every day is important.",
};

// A page of about `bytes` bytes, and its text as plain paragraphs.
std::pair<std::string, std::string> makePage(size_t bytes)
{
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>The city "
                       "news</title><link rel=\"stylesheet\" href=\"/style.css\"></head>\n<body>\n";
    std::string text = "The city news\n\n";
    for (int n = 0; html.size() < bytes; ++n) {
        if (n % 5 == 0) {
            html += "<h2>The news of the day</h2>\n";
            text += "The news of the day\n\n";
        }
        html += "<p class=\"story\">";
        for (int k = 0; k < 4; ++k) {
            const char* s = sentences[(n * 3 + k) % std::size(sentences)];
            html += s;
            html += ' ';
            text += s;
            text += ' ';
        }
        html += "<a href=\"/story" + std::to_string(n) + ".html\">Read the whole story</a>.</p>\n";
        text += "Read the whole story.\n\n";
    }
    html += "</body></html>\n";
    return {html, text};
}

std::string xmlEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string soapCall(const std::string& text)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><SOAP-ENV:Body><NS1:BabelFish xmlns:NS1="urn:xmethodsBabelFish"><translationmode xsi:type="xsd:string">en_es</translationmode><sourcedata xsi:type="xsd:string">)" +
           xmlEscape(text) + "</sourcedata></NS1:BabelFish></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

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
        while (!m_process.canReadLine() && m_process.waitForReadyRead(30000)) {
        }
        const auto match = QRegularExpression(QStringLiteral("^listening on \\S+:(\\d+)"))
                               .match(QString::fromUtf8(m_process.readLine()));
        port = match.hasMatch() ? match.captured(1).toInt() : 0;
    }
    ~Service()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(30000))
            m_process.kill();
    }
    int port = 0;

private:
    QProcess m_process;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Milliseconds for one call; negative when it failed.
template <class Call> double timed(Call call)
{
    const auto start = Clock::now();
    const bool ok = call();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return ok ? ms : -1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../server/tarquell-service");
    int rounds = 7;
    size_t kb = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--service"))
            program = QString::fromLocal8Bit(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--kb"))
            kb = static_cast<size_t>(std::max(1, std::atoi(argv[i + 1])));
    }
    const auto [html, text] = makePage(kb * 1024);

    httplib::Server site;
    site.Get("/page.html", [&html = html](const httplib::Request&, httplib::Response& res) {
        res.set_content(html, "text/html; charset=utf-8");
    });
    const int sitePort = site.bind_to_any_port("127.0.0.1");
    std::thread siteThread([&] { site.listen_after_bind(); });
    while (!site.is_running())
        std::this_thread::yield();
    const std::string pageUrl = "http://127.0.0.1:" + std::to_string(sitePort) + "/page.html";
    const std::string gatewayTarget = "/translate_c?sl=en&&hl=es&&u=" + pageUrl;

    std::printf("page: %zu bytes of HTML, %zu bytes of text; %d rounds, medians\n", html.size(),
                text.size(), rounds);
    std::printf("%-44s %12s %10s\n", "", "median ms", "failures");
    const auto report = [](const char* what, const std::vector<double>& all) {
        std::vector<double> ok;
        for (double ms : all)
            if (ms >= 0)
                ok.push_back(ms);
        std::printf("%-44s %12.1f %10zu\n", what, median(ok), all.size() - ok.size());
        std::fflush(stdout);
        return median(ok);
    };

    double soapMedian = 0;
    double gatewayMedian = 0;
    {
        // The page is on 127.0.0.1, which the gateway fetches only when
        // allowed.
        Service apertium(program, {QStringLiteral("--allow-private-pages")});
        if (apertium.port == 0) {
            std::fprintf(stderr, "bench_gateway: %s did not start\n", qPrintable(program));
            return 1;
        }
        httplib::Client client("127.0.0.1", apertium.port);
        client.set_read_timeout(std::chrono::seconds(300));
        const auto soap = [&] {
            const auto res = client.Post("/soap", {{"SOAPAction", "\"\""}}, soapCall(text),
                                         "text/xml; charset=utf-8");
            return res && res->status == 200 && res->body.find("casa") != std::string::npos;
        };
        const auto gateway = [&] {
            const auto res = client.Get(gatewayTarget);
            return res && res->status == 200 && res->body.find("casa") != std::string::npos;
        };
        // The pipelines start on first use: not measured.
        if (!soap() || !gateway())
            std::fprintf(stderr, "bench_gateway: the warm-up calls failed\n");
        std::vector<double> soapTimes, gatewayTimes;
        for (int r = 0; r < rounds; ++r) {
            soapTimes.push_back(timed(soap));
            gatewayTimes.push_back(timed(gateway));
        }
        soapMedian = report("SOAP, the page's text in one call (baseline)", soapTimes);
        gatewayMedian = report("gateway, the HTML page (Apertium)", gatewayTimes);
    }
    {
        Service echo(program, {QStringLiteral("--engine"), QStringLiteral("echo"),
                               QStringLiteral("--allow-private-pages")});
        httplib::Client client("127.0.0.1", echo.port);
        // The same page named by address and by a host name, whose lookup
        // runs on a thread of its own within the fetch's deadline.
        const std::string byName =
            "/translate_c?sl=en&&hl=es&&u=http://localhost:" + std::to_string(sitePort) +
            "/page.html";
        std::vector<double> times, namedTimes;
        for (int r = 0; r < rounds; ++r) {
            times.push_back(timed([&] {
                const auto res = client.Get(gatewayTarget);
                return res && res->status == 200;
            }));
            namedTimes.push_back(timed([&] {
                const auto res = client.Get(byName);
                return res && res->status == 200;
            }));
        }
        const double byAddress = report("gateway, echo engine (fetch, format, links)", times);
        const double named = report("  the same, the page's host by name (localhost)", namedTimes);
        if (byAddress > 0)
            std::printf("by name / by address: %.2f\n", named / byAddress);
    }
    if (soapMedian > 0)
        std::printf("gateway / SOAP: %.2f\n", gatewayMedian / soapMedian);

    // The look-up and check a fetch makes for each hop, as the service makes
    // it: an address, a name from /etc/hosts, and a public address, whose
    // check also asks whether it is one of this machine's (the list of
    // which is read again once a second: "cold").
    const PageTargets::Rules rules{true, {{QStringLiteral("127.0.0.1"), 8731}}};
    const HostResolver resolver;
    const auto resolveAndCheck = [&](const char* host) {
        for (const TargetAddress& a : resolver.resolve(host).addresses)
            (void)PageTargets::check(a, 8080, rules);
        return true;
    };
    std::printf("%-44s %12s\n", "resolve and check, per page", "median us");
    for (const char* host : {"127.0.0.1", "localhost", "203.0.113.7"}) {
        std::vector<double> times;
        for (int r = 0; r < 2000; ++r)
            times.push_back(timed([&] { return resolveAndCheck(host); }) * 1000);
        std::printf("  %-42s %12.1f\n", host, median(times));
    }
    std::vector<double> cold;
    for (int r = 0; r < 5; ++r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        cold.push_back(timed([&] { return resolveAndCheck("203.0.113.7"); }) * 1000);
    }
    std::printf("  %-42s %12.1f\n", "203.0.113.7, cold", median(cold));
    site.stop();
    siteThread.join();
    return 0;
}
