// Times a generated 20-page Word document (headings, paragraphs, bold
// runs, a table), and a one-page one, through the document translator with an Apertium engine in
// this process and through tarquell-service's /translate_file (with its
// /download_file), side by side with apertium-apy's /translateDoc, with
// `apertium -f docx` as a process, and with the same text as plain text
// through the same engine and through the service's /translate. Prints
// medians and ratios.
//   bench_documents [--runs N] [--no-apy]
// Run it through bench/documents.sh, which gives it a network namespace of
// its own: apertium-apy listens on every interface, and there only
// loopback exists.
#include "server/apertium/ApertiumEngine.h"
#include "server/apertium/ApertiumModes.h"
#include "server/documents/DocumentError.h"
#include "server/documents/DocumentTranslator.h"
#include "server/documents/ZipPackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <httplib.h>
#include <memory>
#include <thread>
#include <vector>

namespace {
const TranslationMode enEs{QStringLiteral("en"), QStringLiteral("es")};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// English prose every Debian system has, cut into paragraphs.
QStringList paragraphs()
{
    QStringList out;
    for (const char* name : {"GPL-3", "LGPL-2.1", "Apache-2.0"}) {
        const QString text = QString::fromUtf8(
            readFile(QStringLiteral("/usr/share/common-licenses/") + QLatin1String(name)));
        for (const QString& p : text.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")))) {
            const QString s = p.simplified();
            if (s.size() > 40)
                out << s;
        }
    }
    return out;
}

QString escape(const QString& s)
{
    return s.toHtmlEscaped();
}

// About `target` words of headings, paragraphs with bold runs and a table.
QString page(int target, QString* plain)
{
    const QStringList ps = paragraphs();
    QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Report"
                                  "</title></head><body>\n");
    int words = 0;
    for (qsizetype i = 0; i < ps.size() && words < target; ++i) {
        if (i % 8 == 0) {
            const QString heading = ps[i].section(QLatin1Char(' '), 0, 5);
            html += QStringLiteral("<h2>%1</h2>\n").arg(escape(heading));
            *plain += heading + QStringLiteral("\n\n");
        }
        QStringList w = ps[i].split(QLatin1Char(' '));
        words += w.size();
        *plain += ps[i] + QStringLiteral("\n\n");
        for (QString& x : w)
            x = escape(x);
        if (w.size() > 8) {
            w[2] = QStringLiteral("<b>") + w[2];
            w[4] += QStringLiteral("</b>");
        }
        html += QStringLiteral("<p>") + w.join(QLatin1Char(' ')) + QStringLiteral("</p>\n");
        if (i == std::min<qsizetype>(30, ps.size() / 2) || (target < 2000 && i == 3)) {
            html += QStringLiteral("<table border=\"1\">");
            for (int r = 0; r < 12; ++r)
                html += QStringLiteral("<tr><td>The red house %1</td><td>A big dog</td><td>The "
                                       "small cat sleeps</td></tr>")
                            .arg(r + 1);
            html += QStringLiteral("</table>\n");
        }
    }
    return html + QStringLiteral("</body></html>\n");
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Row
{
    QString name;
    std::vector<double> seconds;
};

std::vector<double> timed(int runs, const std::function<void()>& work)
{
    work(); // warm: pipelines and caches start
    std::vector<double> s;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        s.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
    return s;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
} // namespace

struct Document
{
    QString name;
    int words;
    QString plain;
    QString path;
    QByteArray docx;
    QString pages = QStringLiteral("?");
};

QString officeArg(const QString& profile)
{
    return QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    bool apy = true;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--no-apy"))
            apy = false;
    }

    // The 20-page document the goals are about, and a one-page one to show
    // what a process per document costs when the text is short.
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("office"));
    std::vector<Document> docs{{QStringLiteral("report"), 11800, {}, {}, {}},
                               {QStringLiteral("letter"), 450, {}, {}, {}}};
    QStringList html, docxPaths;
    for (Document& d : docs) {
        QFile f(dir.filePath(d.name + QStringLiteral(".html")));
        f.open(QIODevice::WriteOnly);
        f.write(page(d.words, &d.plain).toUtf8());
        html << f.fileName();
        d.path = dir.filePath(d.name + QStringLiteral(".docx"));
        docxPaths << d.path;
    }
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 QStringList{officeArg(profile), QStringLiteral("--headless"),
                             QStringLiteral("--writer"), QStringLiteral("--convert-to"),
                             QStringLiteral("docx:MS Word 2007 XML"), QStringLiteral("--outdir"),
                             dir.path()} +
                     html);
    office.waitForFinished(180000);
    // Their length as LibreOffice lays them out: printed, then counted.
    QProcess pdf;
    pdf.start(QStringLiteral("soffice"),
              QStringList{officeArg(profile), QStringLiteral("--headless"),
                          QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                          QStringLiteral("--outdir"), dir.path()} +
                  docxPaths);
    pdf.waitForFinished(180000);
    for (Document& d : docs) {
        d.docx = readFile(d.path);
        if (d.docx.isEmpty()) {
            std::fprintf(stderr, "LibreOffice did not make the document (scripts/deps.sh)\n");
            return 1;
        }
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {dir.filePath(d.name + QStringLiteral(".pdf"))});
        info.waitForFinished(30000);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                .match(QString::fromUtf8(info.readAllStandardOutput()));
        if (m.hasMatch())
            d.pages = m.captured(1);
    }

    const ApertiumModes::Scan scan =
        ApertiumModes::scan(QStringLiteral("/usr/share/apertium/modes"));
    ApertiumEngine engine(scan.modes, std::chrono::seconds(60));
    if (!engine.canTranslate(enEs)) {
        std::fprintf(stderr, "Apertium eng-spa is not installed (scripts/deps.sh)\n");
        return 1;
    }
    DocumentTranslator::Options options;
    options.scratchParent = dir.path();
    options.officeProfile = profile;
    DocumentTranslator documents(engine, options);

    // tarquell-service from the build folder, on a free port, with its
    // working and cache folders in ours.
    QProcess serviceProcess;
    std::unique_ptr<httplib::Client> service;
    {
        const quint16 port = freePort();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        serviceProcess.setProcessEnvironment(env);
        serviceProcess.setProcessChannelMode(QProcess::MergedChannels);
        serviceProcess.setStandardOutputFile(dir.filePath(QStringLiteral("service.log")));
        serviceProcess.start(
            QStringLiteral(TARQUELL_BUILD_DIR "/server/tarquell-service"),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)});
        service = std::make_unique<httplib::Client>("127.0.0.1", port);
        service->set_read_timeout(std::chrono::seconds(300));
        bool up = false;
        for (int i = 0; i < 300 && !up; ++i) {
            const auto res = service->Get("/languages");
            up = res && res->status == 200;
            if (!up)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!up) {
            std::fprintf(stderr, "tarquell-service did not answer on 127.0.0.1:%u\n", port);
            service.reset();
        }
    }

    QProcess apyProcess;
    std::unique_ptr<httplib::Client> client;
    if (apy) {
        const quint16 port = freePort();
        apyProcess.setProcessChannelMode(QProcess::MergedChannels);
        apyProcess.setStandardOutputFile(dir.filePath(QStringLiteral("apy.log")));
        apyProcess.start(QStringLiteral("apertium-apy"),
                         {QStringLiteral("-p"), QString::number(port),
                          QStringLiteral("/usr/share/apertium/modes")});
        client = std::make_unique<httplib::Client>("127.0.0.1", port);
        client->set_read_timeout(std::chrono::seconds(300));
        bool up = false;
        for (int i = 0; i < 300 && !up; ++i) {
            const auto res = client->Get("/listPairs");
            up = res && res->status == 200;
            if (!up)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!up) {
            std::fprintf(stderr, "apertium-apy did not answer on 127.0.0.1:%u\n", port);
            client.reset();
        }
    }

    for (const Document& d : docs) {
        std::printf("\n%s: %lld bytes .docx, %s pages (LibreOffice's count), %lld characters of "
                    "text; %d timed runs each after one warm-up\n",
                    qPrintable(d.name), static_cast<long long>(d.docx.size()), qPrintable(d.pages),
                    static_cast<long long>(d.plain.size()), runs);
        std::vector<Row> rows;
        QByteArray ours;
        rows.push_back(
            {QStringLiteral("DocumentTranslator .docx (in-process engine)"), timed(runs, [&] {
                 ours = documents.translate(d.docx, QStringLiteral("bench.docx"), enEs).file;
             })});
        rows.push_back({QStringLiteral("same text, plain, engine.translate()"),
                        timed(runs, [&] { (void)engine.translate(enEs, d.plain); })});
        int serviceRow = -1, servicePlainRow = -1;
        if (service) {
            const std::string body = d.docx.toStdString();
            QByteArray fromService;
            serviceRow = int(rows.size());
            rows.push_back(
                {QStringLiteral("tarquell-service /translate_file+download"), timed(runs, [&] {
                     httplib::MultipartFormDataItems items{
                         {"source", "en", "", ""},
                         {"target", "es", "", ""},
                         {"file", body, "bench.docx", "application/octet-stream"}};
                     const auto res = service->Post("/translate_file", items);
                     fromService.clear();
                     if (!res || res->status != 200)
                         return;
                     const QRegularExpressionMatch m =
                         QRegularExpression(QStringLiteral("\"translatedFileUrl\":"
                                                           "\"http://[^/]+([^\"]+)\""))
                             .match(QString::fromStdString(res->body));
                     const auto file = service->Get(m.captured(1).toStdString());
                     if (file && file->status == 200)
                         fromService = QByteArray::fromStdString(file->body);
                 })});
            if (fromService.isEmpty())
                std::fprintf(stderr, "tarquell-service's /translate_file gave no document back\n");
            const std::string json =
                QJsonDocument(QJsonObject{{QStringLiteral("q"), d.plain},
                                          {QStringLiteral("source"), QStringLiteral("en")},
                                          {QStringLiteral("target"), QStringLiteral("es")}})
                    .toJson(QJsonDocument::Compact)
                    .toStdString();
            servicePlainRow = int(rows.size());
            rows.push_back(
                {QStringLiteral("same text, plain, service /translate"), timed(runs, [&] {
                     (void)service->Post("/translate", json, "application/json");
                 })});
        }
        const QByteArray plainBytes = d.plain.toUtf8();
        rows.push_back(
            {QStringLiteral("same text, .txt through DocumentTranslator"), timed(runs, [&] {
                 (void)documents.translate(plainBytes, QStringLiteral("bench.txt"), enEs);
             })});
        rows.push_back({QStringLiteral("apertium -f docx -u eng-spa (a process)"), timed(runs, [&] {
                            QProcess p;
                            p.start(QStringLiteral("apertium"),
                                    {QStringLiteral("-f"), QStringLiteral("docx"),
                                     QStringLiteral("-u"), QStringLiteral("eng-spa"), d.path,
                                     dir.filePath(QStringLiteral("apertium.docx"))});
                            p.waitForFinished(300000);
                        })});
        if (client) {
            QByteArray theirs;
            const std::string body = d.docx.toStdString();
            rows.push_back({QStringLiteral("apertium-apy /translateDoc"), timed(runs, [&] {
                                httplib::MultipartFormDataItems items{
                                    {"langpair", "eng|spa", "", ""},
                                    {"file", body, "bench.docx",
                                     "application/vnd.openxmlformats-officedocument."
                                     "wordprocessingml.document"}};
                                const auto res = client->Post("/translateDoc", items);
                                theirs = res && res->status == 200
                                             ? QByteArray::fromStdString(res->body)
                                             : QByteArray();
                            })});
            if (theirs.isEmpty())
                std::fprintf(stderr, "apertium-apy's /translateDoc gave no document back\n");
        }

        // The translation is a real one.
        ZipPackage check(ours, DocumentLimits{}, QStringLiteral("document"));
        const QByteArray xml = check.read("word/document.xml");
        std::printf("our output: %lld bytes, Spanish: %s\n", static_cast<long long>(ours.size()),
                    xml.contains("icencia") || xml.contains("programa") ? "yes" : "NO");

        const double base = median(rows[0].seconds);
        std::printf("%-48s %9s %9s %9s\n", "", "median s", "min s", "x ours");
        for (const Row& r : rows) {
            std::printf("%-48s %9.3f %9.3f %9.2f\n", qPrintable(r.name), median(r.seconds),
                        *std::min_element(r.seconds.begin(), r.seconds.end()),
                        median(r.seconds) / base);
        }
        std::printf("ours vs plain text through the engine: %.2fx (goal: at most 1.3x)\n",
                    base / median(rows[1].seconds));
        if (serviceRow >= 0)
            std::printf("service /translate_file vs the same text through the service's "
                        "/translate: %.2fx (goal: at most 1.3x)\n",
                        median(rows[size_t(serviceRow)].seconds) /
                            median(rows[size_t(servicePlainRow)].seconds));
        for (const Row& r : rows) {
            if (!r.name.startsWith(QLatin1String("apertium-apy")))
                continue;
            std::printf("apertium-apy /translateDoc vs ours: %.2fx faster (goal: at least "
                        "3x)\n",
                        median(r.seconds) / base);
            if (serviceRow >= 0)
                std::printf("apertium-apy /translateDoc vs the service's /translate_file: %.2fx "
                            "faster (goal: at least 3x)\n",
                            median(r.seconds) / median(rows[size_t(serviceRow)].seconds));
        }
    }
    if (serviceProcess.state() != QProcess::NotRunning) {
        serviceProcess.terminate();
        if (!serviceProcess.waitForFinished(10000))
            serviceProcess.kill();
        serviceProcess.waitForFinished();
    }
    if (apyProcess.state() != QProcess::NotRunning) {
        apyProcess.terminate();
        if (!apyProcess.waitForFinished(5000))
            apyProcess.kill();
        apyProcess.waitForFinished();
    }
    return 0;
}
