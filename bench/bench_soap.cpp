// The SOAP client's own cost on loopback, against an in-process server that
// answers at once:
//  - one whole call (two WSDL GETs on fresh connections and the POST on the
//    kept connection) through THTTPRIO, median microseconds, beside the
//    floor: the same three exchanges made by a minimal in-process keep-alive
//    HTTP client (cpp-httplib, TCP_NODELAY) sending the very header lines
//    the component sent, and the ratio of the two;
//  - both twice: with the server compressing as the requests' own
//    Accept-Encoding asks (what goes over the wire to a service that
//    compresses), and with the server answering uncompressed, which leaves
//    only the client's cost beside the floor;
//  - beside them Qt Network alone making the same exchanges (no proxy
//    lookup, nothing parsed), the least the component's transport can cost;
//  - optionally `curl` doing the same exchanges, with its start-up shown;
//  - the envelope writer's and the reply reader's throughput on a 1 MB text.
//
// The component uses the system's proxy settings (no proxy of its own); the
// environment should name no proxy.
//
//   bench_soap [--calls N] [--curl-runs N] [--rounds N]
#include "service/BFish.h"
#include "service/EnvelopeWriter.h"
#include "service/ReplyReader.h"
#include "service/SoapXml.h"
#include "service/THTTPRIO.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryFile>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double microsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// CPU time of this thread: on a busy machine the wall clock also counts
// the time other processes had the core.
double threadCpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

std::string wsdlFor(int port)
{
    return "<?xml version=\"1.0\"?><definitions targetNamespace=\"urn:bench\" "
           "xmlns:tns=\"urn:bench\" xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\" "
           "xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><binding name=\"B\" type=\"tns:PT\">"
           "<soap:binding style=\"rpc\" transport=\"http://schemas.xmlsoap.org/soap/http\"/>"
           "<operation name=\"BabelFish\"><soap:operation soapAction=\"urn:bench#BabelFish\"/>"
           "<input><soap:body use=\"encoded\" namespace=\"urn:bench\"/></input></operation>"
           "</binding><service name=\"BabelFish\"><port name=\"BabelFishPort\" "
           "binding=\"tns:B\"><soap:address location=\"http://127.0.0.1:" +
           std::to_string(port) + "/soap\"/></port></service></definitions>";
}

QByteArray replyFor(const QString& text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
           "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>"
           "<ns1:BabelFishResponse xmlns:ns1=\"urn:bench\"><return>" +
           SoapXml::escapeText(text).toUtf8() +
           "</return></ns1:BabelFishResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// About 1 MB of text with a share of characters that need escaping.
QString megabyteText()
{
    const QString line = QString::fromUtf8(
        "Der Preis liegt bei < 5 € & > 3 €; \"Grüße\" aus Köln, l'été à Paris.\n");
    const qsizetype lineBytes = line.toUtf8().size();
    QString text;
    for (qsizetype bytes = 0; bytes < 1024 * 1024; bytes += lineBytes)
        text += line;
    return text;
}

int argValue(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    }
    return fallback;
}

// The header lines of one request as the server received them, without
// those the floor client writes itself.
httplib::Headers replayable(const httplib::Headers& received)
{
    httplib::Headers out;
    for (const auto& [name, value] : received) {
        if (name == "Host" || name == "Content-Length" || name == "REMOTE_ADDR" ||
            name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        out.emplace(name, value);
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argValue(argc, argv, "--calls", 300);
    const int curlRuns = argValue(argc, argv, "--curl-runs", 0);
    const int rounds = argValue(argc, argv, "--rounds", 15);

    httplib::Server server;
    // Replies go out in two writes (head, body); without TCP_NODELAY the
    // second waits for the client's delayed ACK, some 40 ms per exchange,
    // and that would swamp what is measured. Accepted sockets inherit it.
    server.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    std::atomic<bool> compress{true};
    std::mutex seenMutex;
    httplib::Headers seenGet, seenPost;
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response&) {
        {
            std::lock_guard<std::mutex> lock(seenMutex);
            (req.method == "GET" ? seenGet : seenPost) = req.headers;
        }
        // The request object is the server's own; dropping the header makes
        // it answer uncompressed, whoever asked.
        if (!compress)
            const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    const std::string wsdl = wsdlFor(port);
    const std::string reply = replyFor(QStringLiteral("Bonjour tout le monde")).toStdString();
    server.Get("/svc.wsdl", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(wsdl, "text/xml");
    });
    server.Post("/soap", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(reply, "text/xml");
    });
    std::thread serverThread([&] { server.listen_after_bind(); });
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    THTTPRIO rio;
    rio.setWSDLLocation(QString::fromStdString(base + "/svc.wsdl"));
    rio.setService(QStringLiteral("BabelFish"));
    rio.setPort(QStringLiteral("BabelFishPort"));
    auto fish = GetIBabelFish(rio);
    const QString sentence = QStringLiteral("Hello, world");
    const QByteArray envelope =
        writeRequestEnvelope(QStringLiteral("urn:bench"), QStringLiteral("BabelFish"),
                             {{QStringLiteral("translationmode"), QStringLiteral("en_fr")},
                              {QStringLiteral("sourcedata"), sentence}});
    for (int i = 0; i < 20; ++i)
        fish->BabelFish(QStringLiteral("en_fr"), sentence);
    httplib::Headers getHeaders, postHeaders;
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        getHeaders = replayable(seenGet);
        postHeaders = replayable(seenPost);
        postHeaders.erase("Content-Type"); // passed with the body
    }

    // The floor: the documents on fresh connections, the POST on a kept one.
    httplib::Client documents("127.0.0.1", port);
    documents.set_keep_alive(false);
    documents.set_tcp_nodelay(true);
    httplib::Client poster("127.0.0.1", port);
    poster.set_keep_alive(true);
    poster.set_tcp_nodelay(true);
    auto floorCall = [&] {
        for (int i = 0; i < 2; ++i) {
            const auto res = documents.Get("/svc.wsdl", getHeaders);
            if (!res || res->status != 200 || res->body != wsdl)
                return false;
        }
        const auto res = poster.Post("/soap", postHeaders, envelope.constData(),
                                     size_t(envelope.size()), "text/xml");
        return res && res->status == 200 && res->body == reply;
    };

    // Qt Network alone making the same exchanges (documents through one
    // manager with "Connection: close", the POST through another), no proxy
    // lookup, nothing parsed: what the component's transport cannot go below.
    QNetworkAccessManager qtDocuments, qtPoster;
    qtDocuments.setProxy(QNetworkProxy::NoProxy);
    qtPoster.setProxy(QNetworkProxy::NoProxy);
    const QUrl wsdlUrl(QString::fromStdString(base + "/svc.wsdl"));
    const QUrl soapUrl(QString::fromStdString(base + "/soap"));
    auto qtExchange = [](QNetworkAccessManager& manager, QNetworkRequest request,
                         const QByteArray* body) {
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        QNetworkReply* reply = body ? manager.post(request, *body) : manager.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        const bool ok = reply->error() == QNetworkReply::NoError && !reply->readAll().isEmpty();
        reply->deleteLater();
        return ok;
    };
    auto qtCall = [&] {
        QNetworkRequest get(wsdlUrl);
        get.setRawHeader("Connection", "close");
        QNetworkRequest post(soapUrl);
        post.setRawHeader("Content-Type", "text/xml");
        return qtExchange(qtDocuments, get, nullptr) && qtExchange(qtDocuments, get, nullptr) &&
               qtExchange(qtPoster, post, &envelope);
    };

    struct Row
    {
        const char* what;
        double call = 0;
        double floor = 0;
        double qt = 0;
    };
    std::vector<Row> rows{{"server compresses as asked"}, {"server answers uncompressed"}};
    bool floorOk = true;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        compress = r == 0;
        std::vector<double> callMicros, floorMicros, qtMicros;
        // Interleaved, so that a busy moment of the machine hits all alike.
        for (int i = 0; i < calls; ++i) {
            auto start = Clock::now();
            fish->BabelFish(QStringLiteral("en_fr"), sentence);
            callMicros.push_back(microsSince(start));
            start = Clock::now();
            floorOk = floorCall() && floorOk;
            floorMicros.push_back(microsSince(start));
            start = Clock::now();
            floorOk = qtCall() && floorOk;
            qtMicros.push_back(microsSince(start));
        }
        rows[r].call = median(callMicros);
        rows[r].floor = median(floorMicros);
        rows[r].qt = median(qtMicros);
    }

    // The same three exchanges by one curl process, for comparison.
    std::vector<double> curlMicros, curlStartMicros;
    bool curlOk = curlRuns > 0;
    QTemporaryFile envelopeFile;
    if (curlOk) {
        envelopeFile.open();
        envelopeFile.write(envelope);
        envelopeFile.flush();
    }
    const QStringList curlArgs{QStringLiteral("-s"),
                               QStringLiteral("-o"),
                               QStringLiteral("/dev/null"),
                               QString::fromStdString(base + "/svc.wsdl"),
                               QStringLiteral("-o"),
                               QStringLiteral("/dev/null"),
                               QString::fromStdString(base + "/svc.wsdl"),
                               QStringLiteral("--next"),
                               QStringLiteral("-s"),
                               QStringLiteral("-o"),
                               QStringLiteral("/dev/null"),
                               QStringLiteral("-H"),
                               QStringLiteral("SOAPAction: \"urn:bench#BabelFish\""),
                               QStringLiteral("-H"),
                               QStringLiteral("Content-Type: text/xml"),
                               QStringLiteral("--data-binary"),
                               QStringLiteral("@") + envelopeFile.fileName(),
                               QString::fromStdString(base + "/soap")};
    for (int i = 0; i < curlRuns && curlOk; ++i) {
        QProcess curl;
        const auto start = Clock::now();
        curl.start(QStringLiteral("curl"), curlArgs);
        curlOk = curl.waitForFinished(30000) && curl.exitCode() == 0;
        curlMicros.push_back(microsSince(start));
    }
    for (int i = 0; i < curlRuns && curlOk; ++i) {
        QProcess curl;
        const auto start = Clock::now();
        curl.start(QStringLiteral("curl"), {QStringLiteral("--version")});
        curl.waitForFinished(30000);
        curlStartMicros.push_back(microsSince(start));
    }
    server.stop();
    serverThread.join();

    // Writer and reader on 1 MB.
    const QString text = megabyteText();
    const QByteArray bigReply = replyFor(text);
    const QList<SoapArg> args{{QStringLiteral("translationmode"), QStringLiteral("de_fr")},
                              {QStringLiteral("sourcedata"), text}};
    const QStringList returnNames{QStringLiteral("Result"), QStringLiteral("Return")};
    std::vector<double> writeMicros, readMicros, writeCpu, readCpu;
    qsizetype envelopeBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        double cpu = threadCpuMicros();
        envelopeBytes =
            writeRequestEnvelope(QStringLiteral("urn:bench"), QStringLiteral("BabelFish"), args)
                .size();
        writeCpu.push_back(threadCpuMicros() - cpu);
        writeMicros.push_back(microsSince(start));
        start = Clock::now();
        cpu = threadCpuMicros();
        const QString back = ReplyReader::readResult(bigReply, returnNames);
        readCpu.push_back(threadCpuMicros() - cpu);
        readMicros.push_back(microsSince(start));
        if (back != text) {
            std::fprintf(stderr, "reply reader lost data\n");
            return 1;
        }
    }
    const double textMB = text.toUtf8().size() / (1024.0 * 1024.0);

    std::printf("whole call (2 WSDL GETs + POST) beside the in-process HTTP floor, medians of "
                "%d, interleaved:\n",
                calls);
    std::printf("  %-30s %10s %10s %7s %14s %7s\n", "", "call us", "floor us", "ratio",
                "Qt Network us", "ratio");
    for (const Row& row : rows)
        std::printf("  %-30s %10.0f %10.0f %7.2f %14.0f %7.2f\n", row.what, row.call, row.floor,
                    row.floor > 0 ? row.call / row.floor : 0.0, row.qt,
                    row.floor > 0 ? row.qt / row.floor : 0.0);
    if (!floorOk)
        std::printf("  (the floor client got a wrong answer: its figures mean nothing)\n");
    if (curlRuns > 0 && curlOk)
        std::printf("curl, same 3 exchanges in one process, median of %d: %8.0f us, of which "
                    "starting curl (curl --version) %8.0f us\n",
                    int(curlMicros.size()), median(curlMicros), median(curlStartMicros));
    else if (curlRuns > 0)
        std::printf("curl baseline failed (is curl installed?)\n");
    const double replyMB = bigReply.size() / (1024.0 * 1024.0);
    std::printf("envelope writer, %.2f MB text -> %.2f MB envelope, median of %d: %8.1f MB/s "
                "(by CPU time %8.1f MB/s)\n",
                textMB, envelopeBytes / (1024.0 * 1024.0), rounds,
                textMB / (median(writeMicros) / 1e6), textMB / (median(writeCpu) / 1e6));
    std::printf("reply reader, %.2f MB reply, median of %d:                 %8.1f MB/s "
                "(by CPU time %8.1f MB/s)\n",
                replyMB, rounds, replyMB / (median(readMicros) / 1e6),
                replyMB / (median(readCpu) / 1e6));
    return floorOk ? 0 : 1;
}
