// The SOAP client's own cost on loopback, against an in-process server that
// answers at once:
//  - one whole call (two WSDL GETs and the POST) through THTTPRIO, median
//    microseconds, beside the same three exchanges made by one `curl`
//    process (three URLs on one command line, keep-alive), and the ratio;
//  - the envelope writer's and the reply reader's throughput on a 1 MB text.
//
//   bench_soap [--calls N] [--curl-runs N] [--rounds N]
#include "service/BFish.h"
#include "service/EnvelopeWriter.h"
#include "service/ReplyReader.h"
#include "service/SoapXml.h"
#include "service/THTTPRIO.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryFile>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argValue(argc, argv, "--calls", 300);
    const int curlRuns = argValue(argc, argv, "--curl-runs", 60);
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

    // Whole calls through the component.
    THTTPRIO rio;
    rio.setWSDLLocation(QString::fromStdString(base + "/svc.wsdl"));
    rio.setService(QStringLiteral("BabelFish"));
    rio.setPort(QStringLiteral("BabelFishPort"));
    auto fish = GetIBabelFish(rio);
    const QString sentence = QStringLiteral("Hello, world");
    for (int i = 0; i < 20; ++i)
        fish->BabelFish(QStringLiteral("en_fr"), sentence);
    std::vector<double> callMicros;
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        fish->BabelFish(QStringLiteral("en_fr"), sentence);
        callMicros.push_back(microsSince(start));
    }

    // The same three exchanges by one curl process.
    QTemporaryFile envelopeFile;
    envelopeFile.open();
    envelopeFile.write(
        writeRequestEnvelope(QStringLiteral("urn:bench"), QStringLiteral("BabelFish"),
                             {{QStringLiteral("translationmode"), QStringLiteral("en_fr")},
                              {QStringLiteral("sourcedata"), sentence}}));
    envelopeFile.flush();
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
    std::vector<double> curlMicros;
    bool curlOk = true;
    for (int i = 0; i < curlRuns && curlOk; ++i) {
        QProcess curl;
        const auto start = Clock::now();
        curl.start(QStringLiteral("curl"), curlArgs);
        curlOk = curl.waitForFinished(30000) && curl.exitCode() == 0;
        curlMicros.push_back(microsSince(start));
    }
    // What starting curl costs on its own, to read the figure above.
    std::vector<double> curlStartMicros;
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
    std::vector<double> writeMicros, readMicros;
    qsizetype envelopeBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        envelopeBytes =
            writeRequestEnvelope(QStringLiteral("urn:bench"), QStringLiteral("BabelFish"), args)
                .size();
        writeMicros.push_back(microsSince(start));
        start = Clock::now();
        const QString back = ReplyReader::readResult(bigReply, returnNames);
        readMicros.push_back(microsSince(start));
        if (back != text) {
            std::fprintf(stderr, "reply reader lost data\n");
            return 1;
        }
    }
    const double textMB = text.toUtf8().size() / (1024.0 * 1024.0);

    const double ours = median(callMicros);
    const double theirs = median(curlMicros);
    std::printf("whole call (2 WSDL GETs + POST), median of %d:  %10.0f us\n", calls, ours);
    if (curlOk)
        std::printf("curl, same 3 exchanges in one process, median of %d: %10.0f us\n",
                    int(curlMicros.size()), theirs);
    else
        std::printf("curl baseline failed (is curl installed?)\n");
    if (curlOk)
        std::printf("  of which starting curl (curl --version), median:   %10.0f us\n",
                    median(curlStartMicros));
    if (curlOk && theirs > 0)
        std::printf("ratio client / curl: %.2f\n", ours / theirs);
    std::printf("envelope writer, %.2f MB text -> %.2f MB envelope, median of %d: %8.1f MB/s\n",
                textMB, envelopeBytes / (1024.0 * 1024.0), rounds,
                textMB / (median(writeMicros) / 1e6));
    std::printf("reply reader, %.2f MB reply, median of %d:                 %8.1f MB/s\n",
                bigReply.size() / (1024.0 * 1024.0), rounds,
                bigReply.size() / (1024.0 * 1024.0) / (median(readMicros) / 1e6));
    return 0;
}
