// tarquell-service side by side with Apertium's own HTTP server,
// apertium-apy (Debian), translating English to Spanish on this machine:
//   - one sentence at a time: median and 95th percentile latency;
//   - a 30 KB and a 1 MB text in one request: time, and how much came back;
//   - 8 and 32 concurrent clients sending sentences: sentences per second;
//   - 15 generated pages of varied, realistic HTML, served here, through
//     APy's /translatePage and through our Server 5 gateway;
//   - our pool at --pipelines 1 and at the number of cores;
//   - the memory of each of our pipeline instances (resident, proportional
//     and private, summed over its stage processes) and of APy's pipelines;
//   - a sentence's latency from 127.0.0.1 while 1000 idle connections from
//     127.0.0.1 are held open.
// The servers are measured in turn, figure by figure, in --rounds rounds
// (default 3) with the order changed each round; medians are shown. Both
// translate without marking unknown words. Prints one table with the
// ratios.
//
//   bench_apy [--service PATH] [--apy PROGRAM] [--modes DIR] [--cores N]
//             [--sentences N] [--seconds S] [--rounds N] [--only apy|1|cores]
//             [--megabyte-only]
//
// --megabyte-only runs the 1 MB text once against the server --only names
// and prints its seconds: the unit for a paired whole-process comparison.
#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t i =
        std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    return values[i];
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

// ---- text and pages ----------------------------------------------------

// Real English sentences: the licences Debian ships, cut at full stops.
std::vector<std::string> licenceSentences()
{
    std::vector<std::string> sentences;
    for (const char* name : {"GPL-3", "Apache-2.0", "LGPL-3", "MPL-2.0", "GFDL-1.3"}) {
        QFile f(QStringLiteral("/usr/share/common-licenses/") + QString::fromLatin1(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll()).simplified();
        for (const QString& s : text.split(QStringLiteral(". "), Qt::SkipEmptyParts)) {
            if (s.size() > 30 && s.size() < 400)
                sentences.push_back(s.toStdString() + ".");
        }
    }
    return sentences;
}

const char* const everyday[] = {
    "The new library opens on Monday and stays open until nine in the evening.",
    "Our team has finished the first version of the map, and the second is on its way.",
    "Rain is expected in the north this afternoon, with strong winds near the coast.",
    "The museum shows old photographs of the harbour and the boats that worked there.",
    "You can change your password at any time from the settings page.",
    "The children planted three trees in the garden behind the school.",
    "Prices of fresh fruit went down in the summer but rose again in October.",
    "Please bring your ticket and a photo card when you come to the station.",
    "The orchestra played a long piece by a young composer from the city.",
    "Many small shops closed during the winter, but some have opened again.",
    "The bridge will be closed for repairs from the first to the tenth of May.",
    "She wrote a short book about the history of the river and its mills.",
    "Click the blue button to download the report as a document.",
    "The doctor said that the patient could go home the next day.",
    "Our office is on the third floor of the red building next to the bank.",
};

std::string htmlEscape(const std::string& s)
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
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Fifteen pages in the shapes real sites have: news with navigation and
// scripts, a blog with comments, documentation with code, a shop listing
// with a table, a forum thread, a wiki article with notes; 3 to 60 KB.
std::vector<std::string> makePages(const std::vector<std::string>& licence)
{
    QRandomGenerator random(21);
    const auto sentence = [&]() -> std::string {
        if (random.bounded(3) == 0)
            return everyday[random.bounded(static_cast<int>(std::size(everyday)))];
        return licence[random.bounded(static_cast<int>(licence.size()))];
    };
    const auto paragraph = [&](int sentences) {
        std::string p;
        for (int i = 0; i < sentences; ++i) {
            std::string s = htmlEscape(sentence());
            // Inline markup in the middle of some sentences.
            if (random.bounded(4) == 0) {
                const size_t space = s.find(' ', s.size() / 3);
                if (space != std::string::npos)
                    s = s.substr(0, space) + " <b>" + s.substr(space + 1, 12) + "</b>" +
                        s.substr(space + 13);
            }
            if (random.bounded(6) == 0)
                s += " <a href=\"/article/" + std::to_string(random.bounded(999)) +
                     ".html\">Read more</a>";
            p += (i ? " " : "") + s;
        }
        return p;
    };
    const std::string head =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width\"><title>%TITLE%</title>"
        "<link rel=\"stylesheet\" href=\"/site.css\"><style>body{font:16px/1.5 sans-serif}"
        ".nav a{margin:0 .5em}pre{background:#eee}/* a ^ b */</style>"
        "<script>window.dataLayer=window.dataLayer||[];function track(e){if(e^1)"
        "dataLayer.push(e)}</script></head>\n<body>\n";
    const std::string nav =
        "<header><nav class=\"nav\"><a href=\"/\">Home</a><a href=\"/news\">News</a>"
        "<a href=\"/about\">About us</a><a href=\"/contact\">Contact</a></nav></header>\n";
    const std::string foot =
        "<footer><p>Copyright 2024. All rights reserved.</p><!-- build 4f2a ^ --></footer>\n"
        "<script src=\"/app.js\"></script><script>track({page:1})</script></body></html>\n";

    std::vector<std::string> pages;
    for (int n = 0; n < 15; ++n) {
        const int kind = n % 6;
        const int size = 1 + n * 3; // grows: from a short note to a long article
        std::string title = sentence().substr(0, 40);
        std::string body;
        switch (kind) {
        case 0: // news
            body += "<main><article><h1>" + htmlEscape(title) + "</h1><p class=\"date\">" +
                    "Published on 3 March</p>";
            for (int i = 0; i < size; ++i) {
                body += "<p>" + paragraph(4) + "</p>\n";
                if (i % 3 == 2)
                    body += "<figure><img src=\"/img/" + std::to_string(i) +
                            ".jpg\" alt=\"A photo\"><figcaption>" + htmlEscape(sentence()) +
                            "</figcaption></figure>\n";
            }
            body += "</article><aside><h2>Most read</h2><ul>";
            for (int i = 0; i < 5; ++i)
                body += "<li><a href=\"/a/" + std::to_string(i) + "\">" +
                        htmlEscape(sentence().substr(0, 50)) + "</a></li>";
            body += "</ul></aside></main>\n";
            break;
        case 1: // blog with comments
            body += "<main><h1>" + htmlEscape(title) + "</h1>";
            for (int i = 0; i < size; ++i)
                body += "<p>" + paragraph(3) + "</p>\n";
            body += "<section id=\"comments\"><h2>Comments</h2>";
            for (int i = 0; i < size; ++i)
                body += "<div class=\"comment\"><p class=\"author\">Reader " + std::to_string(i) +
                        " wrote:</p><p>" + paragraph(2) + "</p></div>\n";
            body += "</section></main>\n";
            break;
        case 2: // documentation with code
            body += "<main><h1>Getting started</h1><p>" + paragraph(2) + "</p>";
            for (int i = 0; i < size; ++i) {
                body += "<h2>Step " + std::to_string(i + 1) + "</h2><p>" + paragraph(3) + "</p>";
                body += "<pre><code>int x = 2 ^ " + std::to_string(i) +
                        ";\nif (x &lt; 10) { run(\"[x]\"); }</code></pre>\n";
            }
            body += "</main>\n";
            break;
        case 3: // shop listing with a table
            body += "<main><h1>Our products</h1><table><tr><th>Name</th><th>Description</th>"
                    "<th>Price</th></tr>";
            for (int i = 0; i < size * 4; ++i)
                body += "<tr><td>Item " + std::to_string(i) + "</td><td>" + htmlEscape(sentence()) +
                        "</td><td>" + std::to_string(5 + i) + ".99</td></tr>\n";
            body += "</table><p>" + paragraph(3) + "</p></main>\n";
            break;
        case 4: // forum thread
            body += "<main><h1>" + htmlEscape(title) + "?</h1>";
            for (int i = 0; i < size * 2; ++i)
                body += "<div class=\"post\"><span class=\"user\">user" + std::to_string(i) +
                        "</span><blockquote>" + htmlEscape(sentence()) + "</blockquote><p>" +
                        paragraph(2) + "</p></div>\n";
            body += "</main>\n";
            break;
        default: // wiki article with notes
            body += "<main><h1>" + htmlEscape(title) + "</h1><div class=\"toc\"><ol>";
            for (int i = 0; i < size; ++i)
                body += "<li><a href=\"#s" + std::to_string(i) + "\">Section " +
                        std::to_string(i + 1) + "</a></li>";
            body += "</ol></div>";
            for (int i = 0; i < size; ++i)
                body += "<h2 id=\"s" + std::to_string(i) + "\">Section " + std::to_string(i + 1) +
                        "</h2><p>" + paragraph(4) + "<sup>[" + std::to_string(i + 1) +
                        "]</sup></p>\n";
            body += "<ol class=\"notes\">";
            for (int i = 0; i < size; ++i)
                body += "<li>" + htmlEscape(sentence()) + "</li>";
            body += "</ol></main>\n";
        }
        std::string page = head;
        page.replace(page.find("%TITLE%"), 7, htmlEscape(title));
        pages.push_back(page + nav + body + foot);
    }
    return pages;
}

// ---- the servers -------------------------------------------------------

class Server
{
public:
    virtual ~Server() { stop(); }
    virtual std::string name() const = 0;
    // The translation, or nothing when the request failed.
    virtual std::optional<std::string> translate(httplib::Client& client,
                                                 const std::string& text) = 0;
    virtual std::optional<std::string> page(httplib::Client& client, const std::string& url) = 0;

    bool start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("TARQUELL_SERVICE_DEBUG"), QStringLiteral("1"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_log = QDir::temp().filePath(QStringLiteral("bench_apy-%1.log").arg(::getpid()));
        m_process.setStandardOutputFile(m_log);
        m_port = freePort();
        m_process.start(program(), arguments(m_port));
        if (!m_process.waitForStarted(10000))
            return false;
        // Ready when it answers, and warmed up: the pair's first pipeline
        // started by a first translation.
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (Clock::now() < until) {
            httplib::Client c = client();
            c.set_connection_timeout(std::chrono::seconds(1));
            if (translate(c, "Hello."))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        // What it said, for the reason.
        QFile log(m_log);
        if (log.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "%s", log.readAll().right(2000).constData());
        return false;
    }
    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(15000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }
    httplib::Client client() const
    {
        httplib::Client c("127.0.0.1", m_port);
        c.set_read_timeout(std::chrono::seconds(600));
        c.set_write_timeout(std::chrono::seconds(600));
        return c;
    }
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }

protected:
    virtual QString program() const = 0;
    virtual QStringList arguments(int port) const = 0;
    QProcess m_process;
    QString m_log;
    int m_port = 0;
};

std::string xmlUnescape(std::string s)
{
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"},    {"&gt;", ">"},
                                                            {"&quot;", "\""}, {"&apos;", "'"},
                                                            {"&#13;", "\r"},  {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::strlen(from), to);
    }
    return s;
}

class Ours : public Server
{
public:
    Ours(QString program, int pipelines) : m_program(std::move(program)), m_pipelines(pipelines) {}
    std::string name() const override { return "ours N=" + std::to_string(m_pipelines); }
    std::optional<std::string> translate(httplib::Client& client, const std::string& text) override
    {
        const std::string body =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
            "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>"
            "<NS1:BabelFish xmlns:NS1=\"urn:BFish-IBabelFish\"><translationmode>en_es"
            "</translationmode><sourcedata>" +
            htmlEscape(text) + "</sourcedata></NS1:BabelFish></SOAP-ENV:Body></SOAP-ENV:Envelope>";
        const auto res = client.Post("/soap", body, "text/xml; charset=utf-8");
        if (!res || res->status != 200)
            return std::nullopt;
        const size_t open = res->body.find("<return");
        const size_t start = res->body.find('>', open);
        const size_t end = res->body.rfind("</return>");
        if (open == std::string::npos || end == std::string::npos || end < start)
            return std::nullopt;
        return xmlUnescape(res->body.substr(start + 1, end - start - 1));
    }
    std::optional<std::string> page(httplib::Client& client, const std::string& url) override
    {
        const auto res = client.Get("/translate_c?sl=en&&hl=es&&u=" + url);
        if (!res || res->status != 200)
            return std::nullopt;
        return res->body;
    }
    // Resident, proportional and private kilobytes of each instance.
    std::vector<std::array<long, 3>> instanceMemory()
    {
        std::vector<std::array<long, 3>> result;
        httplib::Client c = client();
        const auto res = c.Get("/debug/pipelines");
        if (!res)
            return result;
        for (const QString& line :
             QString::fromStdString(res->body).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QStringList words = line.split(QLatin1Char(' '));
            words.removeFirst();
            std::array<long, 3> sum{0, 0, 0};
            for (const QString& pid : words) {
                const auto m = processMemory(pid.toLongLong());
                for (int i = 0; i < 3; ++i)
                    sum[i] += m[i];
            }
            result.push_back(sum);
        }
        return result;
    }
    static std::array<long, 3> processMemory(qint64 pid)
    {
        std::array<long, 3> m{0, 0, 0};
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            return m;
        for (const QByteArray& line : rollup.readAll().split('\n')) {
            const QList<QByteArray> w = line.simplified().split(' ');
            if (w.size() < 2)
                continue;
            if (w[0] == "Rss:")
                m[0] += w[1].toLong();
            else if (w[0] == "Pss:")
                m[1] += w[1].toLong();
            else if (w[0] == "Private_Clean:" || w[0] == "Private_Dirty:")
                m[2] += w[1].toLong();
        }
        return m;
    }

protected:
    QString program() const override { return m_program; }
    QStringList arguments(int port) const override
    {
        QStringList a{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                      QStringLiteral("--pipelines"), QString::number(m_pipelines)};
        if (allowPrivatePages())
            a << QStringLiteral("--allow-private-pages");
        return a;
    }
    // The gateway refuses pages on this machine unless told otherwise,
    // where it has that option.
    bool allowPrivatePages() const
    {
        QProcess help;
        help.start(m_program, {QStringLiteral("--help")});
        help.waitForFinished(10000);
        return help.readAllStandardOutput().contains("--allow-private-pages");
    }

private:
    QString m_program;
    int m_pipelines;
};

class Apy : public Server
{
public:
    Apy(QString program, QString modes) : m_program(std::move(program)), m_modes(std::move(modes))
    {
    }
    std::string name() const override { return "APy"; }
    std::optional<std::string> translate(httplib::Client& client, const std::string& text) override
    {
        const std::string body =
            "langpair=eng%7Cspa&markUnknown=no&q=" +
            QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
        const auto res = client.Post("/translate", body, "application/x-www-form-urlencoded");
        return answer(res);
    }
    std::optional<std::string> page(httplib::Client& client, const std::string& url) override
    {
        const auto res =
            client.Get("/translatePage?langpair=eng%7Cspa&markUnknown=no&url=" +
                       QUrl::toPercentEncoding(QString::fromStdString(url)).toStdString());
        return answer(res);
    }
    // Resident, proportional and private kilobytes of all its pipelines'
    // processes (its children), and how many lt-proc analysers run.
    std::pair<std::array<long, 3>, int> pipelineMemory() const
    {
        std::array<long, 3> sum{0, 0, 0};
        int analysers = 0;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const qint64 pid = entry.toLongLong(&number);
            if (!number)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() < 2 || fields[1].toLongLong() != this->pid())
                continue;
            const auto m = Ours::processMemory(pid);
            for (int i = 0; i < 3; ++i)
                sum[i] += m[i];
            QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmd.open(QIODevice::ReadOnly) && cmd.readAll().contains("automorf"))
                ++analysers;
        }
        return {sum, analysers};
    }

protected:
    QString program() const override { return m_program; }
    QStringList arguments(int port) const override
    {
        return {QStringLiteral("-p"), QString::number(port), m_modes};
    }

private:
    static std::optional<std::string> answer(const httplib::Result& res)
    {
        if (!res || res->status != 200)
            return std::nullopt;
        const QJsonObject reply =
            QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
        const QJsonValue text = reply.value(QStringLiteral("responseData"))
                                    .toObject()
                                    .value(QStringLiteral("translatedText"));
        if (!text.isString())
            return std::nullopt;
        return text.toString().toStdString();
    }
    QString m_program;
    QString m_modes;
};

// ---- the figures -------------------------------------------------------

struct Row
{
    std::string label;
    std::string unit;
    bool lowerIsBetter = true;
    std::map<std::string, double> values;
    std::map<std::string, std::string> notes;
};

struct Options
{
    QString service;
    QString apy = QStringLiteral("apertium-apy");
    QString modes = QStringLiteral("/usr/share/apertium/modes");
    int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int sentences = 200;
    double seconds = 6;
    int rounds = 3;
    QString only;
    bool megabyteOnly = false;
};

struct Texts
{
    std::vector<std::string> sentences;
    std::string thirtyKb;
    std::string megabyte;
    std::string megabyteEnd = "The last house is red, number 12345.";
};

// Sends the text and says how long it took and how much of it came back:
// the share of the sentences' full stops that are there.
std::pair<double, std::string> oneText(Server& server, const std::string& text,
                                       const std::string& endMark)
{
    httplib::Client c = server.client();
    const auto t0 = Clock::now();
    const auto out = server.translate(c, text);
    const double s = secondsSince(t0);
    if (!out)
        return {s, "failed"};
    const auto stops = [](const std::string& t) {
        return std::count(t.begin(), t.end(), '.') + std::count(t.begin(), t.end(), '?');
    };
    char note[160];
    std::snprintf(note, sizeof note, "%.0f%% of it back%s",
                  100.0 * static_cast<double>(stops(*out)) / static_cast<double>(stops(text)),
                  out->find(endMark) != std::string::npos ? ", end there" : ", END MISSING");
    return {s, note};
}

// What each round of each figure gave, by figure and server.
struct Samples
{
    std::map<std::string, std::map<std::string, std::vector<double>>> values;
    std::map<std::string, std::map<std::string, std::string>> notes;
};

void sentencesRound(Server& server, int count, const Texts& texts, Samples& samples)
{
    httplib::Client c = server.client();
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        if (!server.translate(c, texts.sentences[static_cast<size_t>(i) % texts.sentences.size()]))
            ++failed;
        samples.values["one sentence"][server.name()].push_back(secondsSince(t0) * 1000);
    }
    if (failed)
        samples.notes["one sentence"][server.name()] = std::to_string(failed) + " failed";
}

void textRound(Server& server, const std::string& label, const std::string& text, Samples& samples)
{
    const auto [seconds, note] = oneText(server, text, "12345");
    samples.values[label][server.name()].push_back(seconds);
    samples.notes[label][server.name()] = note;
}

void clientsRound(Server& server, int clients, double seconds, const Texts& texts, Samples& samples)
{
    std::atomic<int> done{0};
    std::atomic<int> failed{0};
    std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    const auto t0 = Clock::now();
    for (int k = 0; k < clients; ++k) {
        threads.emplace_back([&, k] {
            httplib::Client c = server.client();
            for (size_t i = static_cast<size_t>(k); Clock::now() < until; i += 7) {
                const auto r0 = Clock::now();
                if (server.translate(c, texts.sentences[i % texts.sentences.size()]))
                    ++done;
                else
                    ++failed;
                latencies[static_cast<size_t>(k)].push_back(secondsSince(r0) * 1000);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    const double elapsed = secondsSince(t0);
    const std::string label = std::to_string(clients) + " clients, sentences/s";
    samples.values[label][server.name()].push_back(done / elapsed);
    std::vector<double>& all = samples.values[label + " latency"][server.name()];
    for (const auto& l : latencies)
        all.insert(all.end(), l.begin(), l.end());
    if (failed)
        samples.notes[label][server.name()] = std::to_string(failed.load()) + " failed";
}

void pagesRound(Server& server, const std::vector<std::string>& urls, Samples& samples)
{
    httplib::Client c = server.client();
    int failed = 0;
    const auto t0 = Clock::now();
    for (const std::string& url : urls) {
        const auto p0 = Clock::now();
        const auto out = server.page(c, url);
        if (!out || out->find("casa") == std::string::npos)
            ++failed;
        samples.values["15 pages, median page"][server.name()].push_back(secondsSince(p0) * 1000);
    }
    samples.values["15 pages, total"][server.name()].push_back(secondsSince(t0));
    if (failed)
        samples.notes["15 pages, total"][server.name()] = std::to_string(failed) + " failed";
}

// A sentence's latency from 127.0.0.1 with 1000 idle connections from
// 127.0.0.1 held open, against none.
void loopbackRows(Ours& ours, const Texts& texts, std::vector<Row>& rows)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    const auto latency = [&] {
        std::vector<double> ms;
        int failed = 0;
        for (int i = 0; i < 50; ++i) {
            httplib::Client c = ours.client();
            c.set_keep_alive(false);
            const auto t0 = Clock::now();
            if (!ours.translate(c,
                                texts.sentences[static_cast<size_t>(i) % texts.sentences.size()]))
                ++failed;
            ms.push_back(secondsSince(t0) * 1000);
        }
        return std::make_pair(percentile(ms, 0.5), failed);
    };
    rows.push_back({"sentence, new connection, median", "ms", true, {}, {}});
    const auto [none, failedNone] = latency();
    rows.back().values["no idle connections"] = none;
    std::vector<int> fds;
    for (int i = 0; i < 1000; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(ours.port()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            break;
        fds.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // all accepted
    const auto [held, failedHeld] = latency();
    rows.back().values["1000 idle from 127.0.0.1"] = held;
    rows.back().notes["1000 idle from 127.0.0.1"] =
        std::to_string(fds.size()) + " held, " + std::to_string(failedHeld) + " failed";
    for (int fd : fds)
        ::close(fd);
    (void)failedNone;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    options.service =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../server/tarquell-service");
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        const auto value = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--service"))
            options.service = value();
        else if (a == QLatin1String("--apy"))
            options.apy = value();
        else if (a == QLatin1String("--modes"))
            options.modes = value();
        else if (a == QLatin1String("--cores"))
            options.cores = value().toInt();
        else if (a == QLatin1String("--sentences"))
            options.sentences = value().toInt();
        else if (a == QLatin1String("--seconds"))
            options.seconds = value().toDouble();
        else if (a == QLatin1String("--rounds"))
            options.rounds = std::max(1, value().toInt());
        else if (a == QLatin1String("--only"))
            options.only = value();
        else if (a == QLatin1String("--megabyte-only"))
            options.megabyteOnly = true;
        else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(a));
            return 2;
        }
    }

    Texts texts;
    const std::vector<std::string> licence = licenceSentences();
    for (const char* s : everyday)
        texts.sentences.push_back(s);
    for (size_t i = 0; i < 25 && i < licence.size(); ++i)
        texts.sentences.push_back(licence[i * 7 % licence.size()]);
    {
        QRandomGenerator random(30);
        std::string paragraph;
        while (texts.thirtyKb.size() < 30 * 1024 - 200) {
            paragraph += licence[random.bounded(static_cast<int>(licence.size()))] + " ";
            if (paragraph.size() > 600) {
                texts.thirtyKb += paragraph + "\n\n";
                paragraph.clear();
            }
        }
        texts.thirtyKb += "The end is here, number 12345.";
        paragraph.clear();
        while (texts.megabyte.size() < 1024 * 1024 - 200) {
            paragraph += licence[random.bounded(static_cast<int>(licence.size()))] + " ";
            if (paragraph.size() > 600) {
                texts.megabyte += paragraph + "\n\n";
                paragraph.clear();
            }
        }
        texts.megabyte += texts.megabyteEnd;
    }

    const auto makeServer = [&](const QString& which) -> std::unique_ptr<Server> {
        if (which == QLatin1String("apy"))
            return std::make_unique<Apy>(options.apy, options.modes);
        return std::make_unique<Ours>(options.service,
                                      which == QLatin1String("1") ? 1 : options.cores);
    };

    if (options.megabyteOnly) {
        auto server = makeServer(options.only.isEmpty() ? QStringLiteral("cores") : options.only);
        if (!server->start()) {
            std::fprintf(stderr, "%s did not start\n", server->name().c_str());
            return 1;
        }
        const auto [seconds, note] = oneText(*server, texts.megabyte, "12345");
        std::printf("%s: 1 MB in %.2f s (%s)\n", server->name().c_str(), seconds, note.c_str());
        return 0;
    }

    // The pages, from a server of their own on this machine.
    const std::vector<std::string> pages = makePages(licence);
    httplib::Server site;
    for (size_t i = 0; i < pages.size(); ++i) {
        site.Get("/page" + std::to_string(i) + ".html",
                 [&pages, i](const httplib::Request&, httplib::Response& res) {
                     res.set_content(pages[i], "text/html; charset=utf-8");
                 });
    }
    const int sitePort = site.bind_to_any_port("127.0.0.1");
    std::thread siteThread([&] { site.listen_after_bind(); });
    std::vector<std::string> urls;
    size_t pageBytes = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        urls.push_back("http://127.0.0.1:" + std::to_string(sitePort) + "/page" +
                       std::to_string(i) + ".html");
        pageBytes += pages[i].size();
    }
    std::fprintf(stderr, "15 pages, %zu KB in all (%zu to %zu KB)\n", pageBytes / 1024,
                 pages.front().size() / 1024, pages.back().size() / 1024);

    std::vector<Row> rows = {
        {"one sentence, median", "ms", true, {}, {}},
        {"one sentence, p95", "ms", true, {}, {}},
        {"30 KB text", "s", true, {}, {}},
        {"1 MB text", "s", true, {}, {}},
        {"8 clients, sentences/s", "/s", false, {}, {}},
        {"32 clients, sentences/s", "/s", false, {}, {}},
        {"15 pages, total", "s", true, {}, {}},
        {"15 pages, median page", "ms", true, {}, {}},
    };
    // Every server runs from the start (an idle one costs nothing), and
    // each figure is taken in rounds, the servers in turn and in a
    // different order each round, so that the machine's drift falls on
    // them alike; the medians are shown.
    std::vector<std::unique_ptr<Server>> servers;
    std::vector<std::string> columns;
    for (const QString& which :
         {QStringLiteral("apy"), QStringLiteral("1"), QStringLiteral("cores")}) {
        if (!options.only.isEmpty() && options.only != which)
            continue;
        auto server = makeServer(which);
        if (!server->start()) {
            std::fprintf(stderr, "%s did not start\n", server->name().c_str());
            continue;
        }
        columns.push_back(server->name());
        servers.push_back(std::move(server));
    }
    Samples samples;
    const auto eachServer = [&](int round, const char* what, const auto& run) {
        for (size_t k = 0; k < servers.size(); ++k) {
            Server& server = *servers[(k + static_cast<size_t>(round)) % servers.size()];
            std::fprintf(stderr, "round %d, %s: %s\n", round + 1, server.name().c_str(), what);
            run(server);
        }
    };
    for (int round = 0; round < options.rounds; ++round) {
        eachServer(round, "sentences", [&](Server& server) {
            sentencesRound(server, std::max(1, options.sentences / options.rounds), texts, samples);
        });
        eachServer(round, "30 KB", [&](Server& server) {
            textRound(server, "30 KB text", texts.thirtyKb, samples);
        });
        eachServer(round, "1 MB", [&](Server& server) {
            textRound(server, "1 MB text", texts.megabyte, samples);
        });
        for (int clients : {8, 32}) {
            eachServer(round, "clients", [&](Server& server) {
                clientsRound(server, clients, options.seconds, texts, samples);
            });
        }
        eachServer(round, "pages", [&](Server& server) { pagesRound(server, urls, samples); });
    }
    const auto put = [&](const std::string& label, const std::string& from, double p) {
        for (Row& r : rows) {
            if (r.label != label)
                continue;
            for (const auto& [name, values] : samples.values[from]) {
                r.values[name] = percentile(values, p);
                if (samples.notes[from].count(name))
                    r.notes[name] = samples.notes[from][name];
            }
        }
    };
    put("one sentence, median", "one sentence", 0.5);
    put("one sentence, p95", "one sentence", 0.95);
    put("30 KB text", "30 KB text", 0.5);
    put("1 MB text", "1 MB text", 0.5);
    for (int clients : {8, 32}) {
        const std::string label = std::to_string(clients) + " clients, sentences/s";
        put(label, label, 0.5);
        for (Row& r : rows) {
            if (r.label != label)
                continue;
            for (const auto& [name, values] : samples.values[label + " latency"]) {
                char note[80];
                std::snprintf(note, sizeof note, "median latency %.0f ms%s",
                              percentile(values, 0.5),
                              r.notes.count(name) ? (", " + r.notes[name]).c_str() : "");
                r.notes[name] = note;
            }
        }
    }
    put("15 pages, total", "15 pages, total", 0.5);
    put("15 pages, median page", "15 pages, median page", 0.5);

    std::vector<std::string> memory;
    for (const auto& server : servers) {
        if (auto* ours = dynamic_cast<Ours*>(server.get())) {
            for (const auto& m : ours->instanceMemory()) {
                char line[200];
                std::snprintf(line, sizeof line,
                              "%s: a pipeline instance: %ld KB resident, %ld KB proportional, "
                              "%ld KB private",
                              ours->name().c_str(), m[0], m[1], m[2]);
                memory.push_back(line);
            }
        } else if (auto* apy = dynamic_cast<Apy*>(server.get())) {
            const auto [m, analysers] = apy->pipelineMemory();
            char line[200];
            std::snprintf(line, sizeof line,
                          "APy: %d pipeline(s): %ld KB resident, %ld KB proportional, %ld KB "
                          "private in all",
                          analysers, m[0], m[1], m[2]);
            memory.push_back(line);
        }
    }
    for (const auto& server : servers) {
        auto* ours = dynamic_cast<Ours*>(server.get());
        if (ours && ours->name() == "ours N=" + std::to_string(options.cores))
            loopbackRows(*ours, texts, rows);
    }
    for (const auto& server : servers)
        server->stop();
    site.stop();
    siteThread.join();

    std::printf("\n%-34s", "English to Spanish");
    for (const std::string& c : columns)
        std::printf(" %14s", c.c_str());
    const std::string apy = "APy";
    const std::string one = "ours N=1";
    const std::string many = "ours N=" + std::to_string(options.cores);
    std::printf("   %-10s %-10s\n", "N/APy", "N/N=1");
    for (const Row& r : rows) {
        if (r.values.empty() || r.label.rfind("sentence, new connection", 0) == 0)
            continue;
        std::printf("%-30s %3s", r.label.c_str(), r.unit.c_str());
        for (const std::string& c : columns) {
            const auto it = r.values.find(c);
            if (it == r.values.end())
                std::printf(" %14s", "-");
            else
                std::printf(" %14.*f", r.unit == "s" ? 2 : 1, it->second);
        }
        const auto ratio = [&](const std::string& a, const std::string& b) {
            const auto x = r.values.find(a);
            const auto y = r.values.find(b);
            if (x == r.values.end() || y == r.values.end() || y->second == 0)
                return std::string("-");
            char text[32];
            std::snprintf(text, sizeof text, "%.2fx", x->second / y->second);
            return std::string(text);
        };
        std::printf("   %-10s %-10s\n", ratio(many, apy).c_str(), ratio(many, one).c_str());
        for (const auto& [name, note] : r.notes)
            std::printf("%34s %s: %s\n", "", name.c_str(), note.c_str());
    }
    // Rows that are not per server.
    for (const Row& r : rows) {
        if (r.label.rfind("sentence, new connection", 0) != 0)
            continue;
        for (const auto& [name, value] : r.values)
            std::printf("%-30s %3s %14.1f  (%s)%s\n", r.label.c_str(), r.unit.c_str(), value,
                        name.c_str(), r.notes.count(name) ? (" " + r.notes.at(name)).c_str() : "");
    }
    std::printf("\nMemory:\n");
    for (const std::string& line : memory)
        std::printf("  %s\n", line.c_str());
    std::printf("\nRatios: below 1 is better for times, above 1 for sentences/s.\n");
    return 0;
}
