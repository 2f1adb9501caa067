// LibreTranslate's API beside SOAP on tarquell-service with Apertium, in one
// run: one-sentence latency through each; a batch of 100 sentences in one
// /translate request against 100 single requests (and 100 SOAP calls); the
// time to detect a sentence's language through /detect and in the process.
//
//   bench_api [--service PATH] [--requests N] [--rounds N] [--long KB]
//
// --long adds one row: a text of that many kilobytes of the licences Debian
// ships, in one /translate request, each round; --long alone (with
// --requests 0) times only that.
// Prints medians (and the 95th percentile for single requests) in
// milliseconds; detection in the process in microseconds.
#include "common/LanguageDetector.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

// 100 different English sentences of 7 to 10 words.
std::vector<std::string> sentences()
{
    const char* subjects[] = {"The old man", "My sister", "The small dog", "Our teacher",
                              "The red car"};
    const char* verbs[] = {"is waiting", "was sleeping", "stays", "works"};
    const char* places[] = {"in the garden", "near the station", "at the office", "by the river",
                            "in the kitchen"};
    std::vector<std::string> out;
    for (const char* s : subjects)
        for (const char* v : verbs)
            for (const char* p : places)
                out.push_back(std::string(s) + " " + v + " " + p + " today.");
    return out;
}

std::string envelope(const std::string& text)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/"><SOAP-ENV:Body SOAP-ENV:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><NS1:BabelFish xmlns:NS1="urn:BFish-IBabelFish"><translationmode xsi:type="xsd:string">en_es</translationmode><sourcedata xsi:type="xsd:string">)" +
           text + R"(</sourcedata></NS1:BabelFish></SOAP-ENV:Body></SOAP-ENV:Envelope>)";
}

std::string translateBody(const QJsonValue& q)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("q"), q},
                                     {QStringLiteral("source"), QStringLiteral("en")},
                                     {QStringLiteral("target"), QStringLiteral("es")}})
        .toJson(QJsonDocument::Compact)
        .toStdString();
}

struct Service
{
    explicit Service(const QString& program)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        if (!process.waitForStarted())
            return;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(30000))
                return;
        const auto m = QRegularExpression(QStringLiteral(":(\\d+)\\s*$"))
                           .match(QString::fromUtf8(process.readLine()));
        if (m.hasMatch())
            port = m.captured(1).toInt();
    }
    ~Service()
    {
        process.terminate();
        process.waitForFinished();
    }
    QTemporaryDir cache;
    QProcess process;
    int port = 0;
};

void row(const char* name, const std::vector<double>& ms, bool p95 = true)
{
    if (p95)
        std::printf("%-52s %9.2f %9.2f\n", name, percentile(ms, 0.5), percentile(ms, 0.95));
    else
        std::printf("%-52s %9.2f %9s\n", name, percentile(ms, 0.5), "");
    std::fflush(stdout);
}

// English sentences of the detection test set.
QStringList detectionSentences(const QString& file)
{
    QStringList texts;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() == 3)
                texts << QString::fromUtf8(fields[2]);
        }
    }
    return texts;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString program = QStringLiteral(TARQUELL_BUILD_DIR "/server/tarquell-service");
    int requests = 200;
    int rounds = 5;
    int longKb = 0;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--service"))
            program = args[i + 1];
        else if (args[i] == QLatin1String("--requests"))
            requests = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--long"))
            longKb = args[i + 1].toInt();
    }
    Service service(program);
    if (!service.port) {
        std::fprintf(stderr, "%s did not start\n", qPrintable(program));
        return 1;
    }
    httplib::Client client("127.0.0.1", service.port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    client.set_read_timeout(std::chrono::seconds(120));
    const auto soap = [&](const std::string& text) {
        const auto r = client.Post("/soap", envelope(text), "text/xml");
        return r && r->status == 200;
    };
    const auto api = [&](const std::string& body) {
        const auto r = client.Post("/translate", body, "application/json");
        return r && r->status == 200;
    };
    const std::vector<std::string> all = sentences();
    const std::string one = "The house is big and the red car is in the garden.";
    // Every pipeline running before anything is timed.
    for (int i = 0; i < 20; ++i)
        if (!soap(one) || !api(translateBody(QString::fromStdString(one)))) {
            std::fprintf(stderr, "the service does not translate en_es: is Apertium installed?\n");
            return 1;
        }

    std::printf("tarquell-service with Apertium, en_es; %d requests, %d rounds\n", requests,
                rounds);
    std::printf("%-52s %9s %9s\n", "", "median ms", "p95 ms");
    std::vector<double> soapMs, apiMs, formMs;
    for (int i = 0; i < requests; ++i) {
        auto t0 = Clock::now();
        soap(one);
        soapMs.push_back(msSince(t0));
        t0 = Clock::now();
        api(translateBody(QString::fromStdString(one)));
        apiMs.push_back(msSince(t0));
        t0 = Clock::now();
        client.Post("/translate", httplib::Params{{"q", one}, {"source", "en"}, {"target", "es"}});
        formMs.push_back(msSince(t0));
    }
    if (requests > 0) {
        row("one sentence, SOAP BabelFish", soapMs);
        row("one sentence, /translate JSON", apiMs);
        row("one sentence, /translate form", formMs);
    }

    if (longKb > 0) {
        QString licences;
        for (const char* name : {"GPL-3", "Apache-2.0", "LGPL-2.1", "MPL-2.0", "GFDL-1.3"}) {
            QFile f(QStringLiteral("/usr/share/common-licenses/") + QString::fromLatin1(name));
            if (f.open(QIODevice::ReadOnly))
                licences += QString::fromUtf8(f.readAll()) + QStringLiteral("\n\n");
        }
        QString text;
        while (!licences.isEmpty() && text.size() < longKb * 1024)
            text += licences;
        const std::string body = translateBody(text.left(longKb * 1024));
        std::vector<double> longMs;
        for (int r = 0; r < rounds; ++r) {
            const auto t0 = Clock::now();
            if (!api(body))
                std::fprintf(stderr, "the long text failed\n");
            longMs.push_back(msSince(t0));
        }
        char name[64];
        std::snprintf(name, sizeof name, "a text of %d kB, one /translate request", longKb);
        row(name, longMs, false);
        if (requests == 0)
            return 0;
    }

    QJsonArray batch;
    for (const std::string& s : all)
        batch.append(QString::fromStdString(s));
    const std::string batchBody = translateBody(batch);
    std::vector<double> batchMs, singlesMs, soapsMs;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        if (!api(batchBody))
            std::fprintf(stderr, "the batch failed\n");
        batchMs.push_back(msSince(t0));
        t0 = Clock::now();
        for (const std::string& s : all)
            api(translateBody(QString::fromStdString(s)));
        singlesMs.push_back(msSince(t0));
        t0 = Clock::now();
        for (const std::string& s : all)
            soap(s);
        soapsMs.push_back(msSince(t0));
    }
    row("100 sentences, one /translate batch", batchMs, false);
    row("100 sentences, 100 /translate requests", singlesMs, false);
    row("100 sentences, 100 SOAP calls", soapsMs, false);
    std::printf("%-52s %9.2f\n", "  batch / single requests",
                percentile(batchMs, 0.5) / percentile(singlesMs, 0.5));

    const QStringList texts = detectionSentences(
        QStringLiteral(TARQUELL_SOURCE_DIR "/tests/server/data/detect-everyday.tsv"));
    std::vector<double> detectMs, inProcessUs;
    for (int r = 0; r < rounds; ++r) {
        for (const QString& text : texts) {
            auto t0 = Clock::now();
            client.Post("/detect", httplib::Params{{"q", text.toStdString()}});
            detectMs.push_back(msSince(t0));
            t0 = Clock::now();
            (void)LanguageDetector::detect(text);
            inProcessUs.push_back(msSince(t0) * 1000);
        }
    }
    row("detect a sentence, /detect (220 sentences)", detectMs);
    std::printf("%-52s %9.2f %9.2f  (microseconds)\n", "detect a sentence, in the process",
                percentile(inProcessUs, 0.5), percentile(inProcessUs, 0.95));
    return 0;
}
