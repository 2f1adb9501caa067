// tarquell-service as a child process with the echo engine: the operations,
// the WSDL documents, bad input, load and the command line.
#include "QtPrinters.h"
#include "ServiceProcess.h"
#include "SoapTestMessages.h"
#include "TestHttpServer.h"

#include <QDomDocument>
#include <QProcess>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace SoapTestMessages;

namespace {
const QString soapNs = QStringLiteral("http://schemas.xmlsoap.org/wsdl/soap/");
const QString wsdlNs = QStringLiteral("http://schemas.xmlsoap.org/wsdl/");

class EchoService : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(service.isRunning()) << service.error().toStdString(); }

    // Posts and reads a reply that must be a well-formed envelope.
    Answer call(const std::string& body, int expectedStatus = 200)
    {
        const auto res = service.post(body);
        if (!res) {
            ADD_FAILURE() << "no reply: " << httplib::to_string(res.error());
            return {};
        }
        EXPECT_EQ(res->status, expectedStatus);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml; charset=utf-8");
        const Answer answer = read(res->body);
        EXPECT_TRUE(answer.wellFormed) << res->body;
        return answer;
    }

    ServiceProcess service{{QStringLiteral("--engine"), QStringLiteral("echo")}};
};

QDomElement child(const QDomElement& parent, const QString& ns, const QString& name,
                  const QString& attribute = {}, const QString& value = {})
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.namespaceURI() == ns && e.localName() == name &&
            (attribute.isEmpty() || e.attribute(attribute) == value))
            return e;
    }
    return {};
}
} // namespace

TEST_F(EchoService, AnswersEachOperationWithTheModeMarkedText)
{
    const struct
    {
        const char* name;
        std::string request;
        const char* responseName;
        const char* responseNamespace;
        bool record;
    } rows[] = {
        {"BabelFish", babelFish(QStringLiteral("en_fr"), QStringLiteral("Hello")),
         "BabelFishResponse", "urn:BFish-IBabelFish", false},
        {"BabelFish of the 2001 document",
         babelFish(QStringLiteral("en_fr"), QStringLiteral("Hello"),
                   QStringLiteral("urn:BFish3-IBabelFish3")),
         "BabelFishResponse", "urn:BFish3-IBabelFish3", false},
        {"getTranslation by reference",
         getTranslationMultiRef(QStringLiteral("Hello"), QStringLiteral("en_fr")),
         "getTranslationResponse", "urn:BFish2-IBabelFish2", true},
        {"getTranslation inline",
         getTranslationInline(QStringLiteral("Hello"), QStringLiteral("en_fr")),
         "getTranslationResponse", "urn:vgx-translate", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Answer answer = call(row.request);
        EXPECT_FALSE(answer.fault) << answer.faultString.toStdString();
        EXPECT_EQ(answer.text, QStringLiteral("[en_fr] Hello"));
        EXPECT_EQ(answer.responseName, QString::fromUtf8(row.responseName));
        EXPECT_EQ(answer.responseNamespace, QString::fromUtf8(row.responseNamespace));
        if (row.record) {
            EXPECT_EQ(answer.language, QStringLiteral("en_fr"));
        }
    }
}

TEST_F(EchoService, TextOutsideLatin1SurvivesByteForByte)
{
    const char* const texts[] = {
        "Съешь же ещё этих мягких французских булок",
        "我能吞下玻璃而不伤身体。日本語のテキスト、한국어",
        "emoji 😀👍🏽 and a flag 🇪🇸",
        "markup <b>&amp;</b> \"quotes\" 'single' ]]> %1 %2",
        "line\r\nbreaks\n\ttabbed  and   spaced ",
    };
    for (const char* text : texts) {
        const QString in = QString::fromUtf8(text);
        for (const std::string& request : {babelFish(QStringLiteral("ru_en"), in),
                                           getTranslationMultiRef(in, QStringLiteral("ru_en"))}) {
            const Answer answer = call(request);
            EXPECT_EQ(answer.text.toUtf8(), (QStringLiteral("[ru_en] ") + in).toUtf8()) << text;
        }
    }
    // The reply carries UTF-8 itself, not character references.
    const auto res = service.post(babelFish(QStringLiteral("en_ja"), QStringLiteral("😀")));
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("\xF0\x9F\x98\x80"), std::string::npos) << res->body;
}

TEST_F(EchoService, PublishesThreeWsdlDocumentsPointingAtItself)
{
    const struct
    {
        const char* path;
        const char* service;
        const char* port;
        const char* operation;
        const char* parts;
    } rows[] = {
        {"/sd/BabelFishService.wsdl", "BabelFish", "BabelFishPort", "BabelFish",
         "translationmode sourcedata"},
        {"/sd/2001/BabelFishService.wsdl", "BabelFishService", "BabelFishPort", "BabelFish",
         "translationmode sourcedata"},
        {"/vx_engine/wsdl.vep?translate.wsdl", "translate", "Port", "getTranslation", "body"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const auto res = service.get(row.path);
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200);
        QDomDocument doc;
        ASSERT_TRUE(doc.setContent(QByteArray::fromStdString(res->body), true));
        const QDomElement defs = doc.documentElement();
        EXPECT_EQ(defs.namespaceURI(), wsdlNs);
        EXPECT_EQ(defs.localName(), QStringLiteral("definitions"));
        const QString tns = defs.attribute(QStringLiteral("targetNamespace"));

        const QDomElement svc = child(defs, wsdlNs, QStringLiteral("service"),
                                      QStringLiteral("name"), QString::fromUtf8(row.service));
        const QDomElement port = child(svc, wsdlNs, QStringLiteral("port"), QStringLiteral("name"),
                                       QString::fromUtf8(row.port));
        ASSERT_FALSE(port.isNull());
        EXPECT_EQ(
            child(port, soapNs, QStringLiteral("address")).attribute(QStringLiteral("location")),
            service.url(QStringLiteral("/soap")));

        // port -> binding -> operation -> soap:operation and soap:body
        const QString bindingName =
            port.attribute(QStringLiteral("binding")).section(QLatin1Char(':'), 1);
        const QDomElement binding =
            child(defs, wsdlNs, QStringLiteral("binding"), QStringLiteral("name"), bindingName);
        ASSERT_FALSE(binding.isNull());
        const QDomElement soapBinding = child(binding, soapNs, QStringLiteral("binding"));
        EXPECT_EQ(soapBinding.attribute(QStringLiteral("style")), QStringLiteral("rpc"));
        EXPECT_EQ(soapBinding.attribute(QStringLiteral("transport")),
                  QStringLiteral("http://schemas.xmlsoap.org/soap/http"));
        const QDomElement op = child(binding, wsdlNs, QStringLiteral("operation"),
                                     QStringLiteral("name"), QString::fromUtf8(row.operation));
        ASSERT_FALSE(op.isNull());
        EXPECT_FALSE(child(op, soapNs, QStringLiteral("operation"))
                         .attribute(QStringLiteral("soapAction"))
                         .isEmpty());
        const QDomElement body =
            child(child(op, wsdlNs, QStringLiteral("input")), soapNs, QStringLiteral("body"));
        EXPECT_EQ(body.attribute(QStringLiteral("use")), QStringLiteral("encoded"));
        EXPECT_EQ(body.attribute(QStringLiteral("namespace")), tns);
        EXPECT_EQ(body.attribute(QStringLiteral("encodingStyle")),
                  QStringLiteral("http://schemas.xmlsoap.org/soap/encoding/"));

        // The input message names the parameters the client sends.
        const QDomElement message =
            child(defs, wsdlNs, QStringLiteral("message"), QStringLiteral("name"),
                  QString::fromUtf8(row.operation) + QStringLiteral("Request"));
        QStringList parts;
        for (QDomElement p = message.firstChildElement(); !p.isNull(); p = p.nextSiblingElement())
            parts << p.attribute(QStringLiteral("name"));
        EXPECT_EQ(parts.join(QLatin1Char(' ')), QString::fromUtf8(row.parts));
    }
}

TEST_F(EchoService, BadRequestsGetClientFaultsThatSayWhatIsWrong)
{
    const std::string soap = "xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"";
    std::string nested;
    for (int i = 0; i < 300; ++i)
        nested += "<x>";
    const struct
    {
        const char* name;
        std::string body;
        const char* code;
        const char* message;
    } rows[] = {
        {"empty body", "", "SOAP-ENV:Client", "The request has no body"},
        {"not XML", "hello there", "SOAP-ENV:Client",
         "The request is not a readable XML document: "},
        {"cut short", babelFish(QStringLiteral("en_fr"), QStringLiteral("x")).substr(0, 200),
         "SOAP-ENV:Client", "The request is not a readable XML document: "},
        {"bytes that are not UTF-8",
         envelope("<BabelFish><translationmode>en_fr</translationmode><sourcedata>\xC3\x28"
                  "</sourcedata></BabelFish>"),
         "SOAP-ENV:Client", "The request is not a readable XML document: "},
        {"XML but not SOAP", "<html><body>hi</body></html>", "SOAP-ENV:Client",
         "The request is not a SOAP message: its document element is <html>"},
        {"SOAP 1.2",
         "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body/></e:Envelope>",
         "SOAP-ENV:VersionMismatch",
         "The Envelope is in the namespace \"http://www.w3.org/2003/05/soap-envelope\""},
        {"no Body", "<e:Envelope " + soap + "><e:Header/></e:Envelope>", "SOAP-ENV:Client",
         "The Envelope has no Body"},
        {"two Bodies", "<e:Envelope " + soap + "><e:Body/><e:Body/></e:Envelope>",
         "SOAP-ENV:Client", "The Envelope has two Body elements"},
        {"empty Body", envelope(""), "SOAP-ENV:Client", "The SOAP Body is empty"},
        {"unknown operation", envelope("<NS1:Translate xmlns:NS1=\"urn:x\"/>"), "SOAP-ENV:Client",
         "Unknown operation <NS1:Translate>; this service offers BabelFish and getTranslation"},
        {"missing parameter",
         envelope("<BabelFish><translationmode>en_fr</translationmode></BabelFish>"),
         "SOAP-ENV:Client", "The BabelFish call has no sourcedata"},
        {"missing record", envelope("<getTranslation><text>x</text></getTranslation>"),
         "SOAP-ENV:Client", "The getTranslation call has no body"},
        {"record without language",
         envelope("<getTranslation><body><text>x</text></body></getTranslation>"),
         "SOAP-ENV:Client", "The getTranslation record has no language"},
        {"dangling reference",
         envelope("<BabelFish><translationmode>en_fr</translationmode><sourcedata href=\"#9\"/>"
                  "</BabelFish>"),
         "SOAP-ENV:Client", "The reference \"#9\" of <sourcedata> matches no element with that id"},
        {"reference loop",
         envelope("<BabelFish><translationmode>en_fr</translationmode><sourcedata href=\"#a\"/>"
                  "<r id=\"a\" href=\"#b\"/><r id=\"b\" href=\"#a\"/></BabelFish>"),
         "SOAP-ENV:Client", "go round in a loop"},
        {"structured where a string belongs",
         envelope("<BabelFish><translationmode>en_fr</translationmode><sourcedata><b>x</b>"
                  "</sourcedata></BabelFish>"),
         "SOAP-ENV:Client", "The sourcedata holds elements where a string was expected"},
        {"unknown mode", babelFish(QStringLiteral("english_french"), QStringLiteral("x")),
         "SOAP-ENV:Client",
         "Unknown language \"english\" in the translation mode \"english_french\""},
        {"entity expansion",
         "<?xml version=\"1.0\"?><!DOCTYPE e:Envelope [<!ENTITY a \"aaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><e:Envelope " +
             soap + "><e:Body>&b;</e:Body></e:Envelope>",
         "SOAP-ENV:Client", "The request carries a document type declaration"},
        {"deep nesting", envelope(nested), "SOAP-ENV:Client", "nested more than 256 levels deep"},
        {"mandatory header",
         "<e:Envelope " + soap +
             "><e:Header><t:Tx xmlns:t=\"urn:t\" e:mustUnderstand=\"1\"/>"
             "</e:Header><e:Body/></e:Envelope>",
         "SOAP-ENV:MustUnderstand", "The header <t:Tx> must be understood"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Answer answer = call(row.body, 500);
        EXPECT_TRUE(answer.fault);
        EXPECT_EQ(answer.faultCode, QString::fromUtf8(row.code));
        EXPECT_TRUE(answer.faultString.startsWith(QString::fromUtf8(row.message)) ||
                    answer.faultString.contains(QString::fromUtf8(row.message)))
            << answer.faultString.toStdString();
    }
    // None of that has hurt the service.
    EXPECT_EQ(call(babelFish(QStringLiteral("en_fr"), QStringLiteral("still here"))).text,
              QStringLiteral("[en_fr] still here"));
}

TEST_F(EchoService, HttpLevelErrors)
{
    httplib::Client c = service.client();
    const auto getEndpoint = c.Get("/soap");
    ASSERT_TRUE(getEndpoint);
    EXPECT_EQ(getEndpoint->status, 405);
    EXPECT_EQ(getEndpoint->get_header_value("Allow"), "POST");

    const auto postWsdl = service.post("x", "/sd/BabelFishService.wsdl");
    ASSERT_TRUE(postWsdl);
    EXPECT_EQ(postWsdl->status, 405);
    EXPECT_EQ(postWsdl->get_header_value("Allow"), "GET");

    for (const char* path : {"/", "/nothing", "/vx_engine/wsdl.vep", "/vx_engine/wsdl.vep?other",
                             "/debug/pipelines", "/sd/BabelFishService.wsdl/x"}) {
        const auto res = service.get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
    }
    const auto postElsewhere =
        service.post(babelFish(QStringLiteral("en_fr"), QStringLiteral("x")), "/elsewhere");
    ASSERT_TRUE(postElsewhere);
    EXPECT_EQ(postElsewhere->status, 404);
}

TEST_F(EchoService, TakesCallsSentAsXmlOnly)
{
    // A page in a browser may send text/plain or a form to any site without
    // asking first; those are refused with a fault the client can read.
    const std::string body = babelFish(QStringLiteral("en_fr"), QStringLiteral("x"));
    const struct
    {
        const char* type;
        const char* refusal; // none: translated
    } rows[] = {
        {"text/xml", nullptr},
        {"text/xml; charset=utf-8", nullptr},
        {"Text/XML ;charset=\"UTF-8\"", nullptr},
        {"application/soap+xml; charset=utf-8; action=\"urn:x\"", nullptr},
        {"text/plain", "The request is sent as \"text/plain\"; a SOAP call is sent as text/xml"},
        {"application/x-www-form-urlencoded", "sent as \"application/x-www-form-urlencoded\""},
        {"multipart/form-data; boundary=x", "sent as \"multipart/form-data; boundary=x\""},
        {"text/xmlx", "sent as \"text/xmlx\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        const auto res = service.client().Post("/soap", body, row.type);
        ASSERT_TRUE(res);
        const Answer answer = read(res->body);
        ASSERT_TRUE(answer.wellFormed) << res->body;
        if (!row.refusal) {
            EXPECT_EQ(res->status, 200);
            EXPECT_EQ(answer.text, QStringLiteral("[en_fr] x"));
        } else {
            EXPECT_EQ(res->status, 500);
            EXPECT_EQ(answer.faultCode, QStringLiteral("SOAP-ENV:Client"));
            EXPECT_TRUE(answer.faultString.contains(QString::fromUtf8(row.refusal)))
                << answer.faultString.toStdString();
        }
    }
    // Such a body is dropped as it arrives, never kept: one larger than a
    // call may be is refused for its type, not for its size.
    const auto large =
        service.client().Post("/soap", std::string(20 * 1000 * 1000, 'x'), "text/plain");
    ASSERT_TRUE(large);
    EXPECT_EQ(large->status, 500);
    EXPECT_TRUE(read(large->body).faultString.contains(QStringLiteral("sent as \"text/plain\"")))
        << large->body.substr(0, 300);
}

TEST_F(EchoService, EnvelopesOfMarkupAreRefusedAsTheyAreRead)
{
    // 15 MB of empty elements once took 1.4 GB as a DOM; a call is a
    // handful of elements, and markup beside its texts is bounded too.
    constexpr size_t size = 15 * 1000 * 1000;
    std::string empties;
    empties.reserve(size);
    while (empties.size() < size)
        empties += "<a/>";
    std::string attribute = "<a b=\"" + std::string(size, 'x') + "\"/>";
    std::string blanks(size, ' ');
    const struct
    {
        const char* name;
        std::string body;
        const char* message;
    } rows[] = {
        {"empty elements in the value",
         envelope("<BabelFish><translationmode>en_fr</translationmode><sourcedata>" + empties +
                  "</sourcedata></BabelFish>"),
         "The request has more than 2048 elements"},
        {"empty elements after the Body",
         envelope("</SOAP-ENV:Body>" + empties + "<SOAP-ENV:Body>"),
         "The request has more than 2048 elements"},
        {"one long attribute", envelope(attribute), "more than 256 KiB of markup"},
        {"blanks between elements",
         envelope("<BabelFish><translationmode>en_fr</translationmode>" + blanks +
                  "<sourcedata>x</sourcedata></BabelFish>"),
         "more than 256 KiB of markup"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Answer answer = call(row.body, 500);
        EXPECT_EQ(answer.faultCode, QStringLiteral("SOAP-ENV:Client"));
        EXPECT_TRUE(answer.faultString.contains(QString::fromUtf8(row.message)))
            << answer.faultString.toStdString();
    }
}

TEST_F(EchoService, BodiesUpTo16MiBAreTakenLargerOnesGet413)
{
    constexpr size_t limit = 16 * 1024 * 1024;
    const std::string empty = babelFish(QStringLiteral("en_fr"), QString());
    // The largest body that fits: all of it text to translate.
    const QString text(static_cast<qsizetype>(limit - empty.size()), QLatin1Char('a'));
    const std::string fits = babelFish(QStringLiteral("en_fr"), text);
    ASSERT_EQ(fits.size(), limit);
    const Answer answer = call(fits);
    EXPECT_EQ(answer.text.size(), text.size() + 8);

    const auto tooLarge = service.post(fits + " ");
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->status, 413);

    // Sent in chunks, without a length up front, the same body is refused
    // all the same.
    const std::string chunked = fits + " ";
    size_t sent = 0;
    const auto tooLargeChunked = service.client().Post(
        "/soap",
        [&](size_t, httplib::DataSink& sink) {
            const size_t n = std::min<size_t>(1 << 20, chunked.size() - sent);
            if (n > 0 && !sink.write(chunked.data() + sent, n))
                return false;
            sent += n;
            if (sent == chunked.size())
                sink.done();
            return true;
        },
        "text/xml");
    ASSERT_TRUE(tooLargeChunked);
    EXPECT_EQ(tooLargeChunked->status, 413);

    EXPECT_EQ(call(babelFish(QStringLiteral("en_fr"), QStringLiteral("after"))).text,
              QStringLiteral("[en_fr] after"));
}

TEST_F(EchoService, ServesConcurrentClientsCorrectly)
{
    constexpr int clients = 8;
    constexpr int perClient = 25;
    std::atomic<int> right{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", service.port());
            for (int i = 0; i < perClient; ++i) {
                const QString text = QStringLiteral("client %1 request %2").arg(c).arg(i);
                // Every third request is broken, and must not disturb the others.
                const bool broken = i % 3 == 0;
                const auto res = client.Post("/soap",
                                             broken ? std::string("<broken")
                                                    : babelFish(QStringLiteral("en_de"), text),
                                             "text/xml");
                const Answer answer = res ? read(res->body) : Answer{};
                const bool ok = broken ? (res && res->status == 500 && answer.fault)
                                       : (res && res->status == 200 &&
                                          answer.text == QStringLiteral("[en_de] ") + text);
                ++(ok ? right : wrong);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(right, clients * perClient);
}

TEST_F(EchoService, StopsCleanlyOnSigterm)
{
    EXPECT_EQ(call(babelFish(QStringLiteral("en_fr"), QStringLiteral("x"))).text,
              QStringLiteral("[en_fr] x"));
    EXPECT_TRUE(service.terminate());
}

TEST(ServiceCommandLine, HelpBadOptionsAndATakenPort)
{
    QProcess help;
    help.start(ServiceProcess::program(), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished());
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("--listen ADDR:PORT"));

    const struct
    {
        QStringList arguments;
        const char* message;
    } bad[] = {
        {{QStringLiteral("--bogus")}, "unknown option \"--bogus\""},
        {{QStringLiteral("--engine"), QStringLiteral("babel")}, "--engine is apertium or echo"},
        {{QStringLiteral("--listen"), QStringLiteral("8731")}, "--listen needs ADDR:PORT"},
        {{QStringLiteral("--listen")}, "--listen needs a value"},
        {{QStringLiteral("--max-per-address"), QStringLiteral("0")},
         "--max-per-address needs a number, not \"0\""},
        {{QStringLiteral("--allow-host"), QStringLiteral("a.example/x")},
         "--allow-host needs a host name"},
        {{QStringLiteral("--keyless-from-anywhere=yes")}, "--keyless-from-anywhere takes no value"},
    };
    for (const auto& row : bad) {
        QProcess p;
        p.start(ServiceProcess::program(), row.arguments);
        ASSERT_TRUE(p.waitForFinished());
        EXPECT_EQ(p.exitCode(), 2) << row.message;
        EXPECT_TRUE(p.readAllStandardError().contains(row.message)) << row.message;
    }

    // A port already in use is an error, not a silent second listener.
    ServiceProcess first({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(first.isRunning()) << first.error().toStdString();
    QProcess second;
    second.start(ServiceProcess::program(),
                 {QStringLiteral("--engine"), QStringLiteral("echo"), QStringLiteral("--listen"),
                  QStringLiteral("127.0.0.1:%1").arg(first.port())});
    ASSERT_TRUE(second.waitForFinished());
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("cannot listen on 127.0.0.1:"));
}

TEST(ServiceCommandLine, ProbeTellsOurServiceFromOthers)
{
    const auto probe = [](int port) {
        QProcess p;
        p.start(ServiceProcess::program(),
                {QStringLiteral("--probe"), QStringLiteral("127.0.0.1:%1").arg(port)});
        EXPECT_TRUE(p.waitForFinished());
        return p.exitCode();
    };
    ServiceProcess ours({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(ours.isRunning()) << ours.error().toStdString();
    EXPECT_EQ(probe(ours.port()), 0);

    TestHttpServer other;
    other.server().Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<definitions/>", "text/xml");
    });
    other.start();
    EXPECT_EQ(probe(other.port()), 1);
    const int freed = other.port();
    other.stop();
    EXPECT_EQ(probe(freed), 1);
}

TEST(ServiceAddress, DocumentsNameTheAddressTheCallerCanReach)
{
    // Bound to a name rather than an address, the service takes the host
    // from the request, once it has named this service.
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo"),
                            QStringLiteral("--listen"), QStringLiteral("localhost:0")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    const std::string port = std::to_string(service.port());
    const struct
    {
        std::string host;
        std::string location; // "" when refused
    } rows[] = {
        {"localhost:" + port, "http://localhost:" + port + "/soap"},
        {"127.0.0.1:" + port, "http://127.0.0.1:" + port + "/soap"},
        // Anything else is refused, and never written into a document.
        {"evil\"><x a=\"", ""},
        {"evil.example:" + port, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.host);
        httplib::Client client("localhost", service.port());
        const auto res = client.Get("/sd/BabelFishService.wsdl", {{"Host", row.host}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->body.find("evil"), std::string::npos) << res->body;
        if (row.location.empty()) {
            EXPECT_EQ(res->status, 421) << res->body;
            continue;
        }
        QDomDocument doc;
        ASSERT_TRUE(doc.setContent(QByteArray::fromStdString(res->body), true)) << res->body;
        const QString location = doc.elementsByTagNameNS(soapNs, QStringLiteral("address"))
                                     .item(0)
                                     .toElement()
                                     .attribute(QStringLiteral("location"));
        EXPECT_TRUE(location.endsWith(QString::fromStdString(row.location)))
            << location.toStdString();
        EXPECT_TRUE(location.startsWith(QStringLiteral("http://"))) << location.toStdString();
        EXPECT_FALSE(location.contains(QStringLiteral("evil")));
    }
}
