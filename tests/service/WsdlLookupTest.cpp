#include "service/WsdlLookup.h"
#include "ServiceFixtures.h"
#include "service/SoapErrors.h"

#include <QMap>
#include <QSet>
#include <gtest/gtest.h>

namespace {

// Documents written after the examples of the WSDL 1.1 note: a stock quote
// service split over a service document, a definitions document and a
// schema, with the prefixes and default namespaces such documents use.
const char* StockQuoteService = R"(<?xml version="1.0"?>
<definitions name="StockQuote"
  targetNamespace="http://example.com/stockquote/service"
  xmlns:tns="http://example.com/stockquote/service"
  xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/"
  xmlns:defs="http://example.com/stockquote/definitions"
  xmlns="http://schemas.xmlsoap.org/wsdl/">
  <import namespace="http://example.com/stockquote/definitions" location="../stockquote/definitions.wsdl"/>
  <service name="StockQuoteService">
    <documentation>My first service</documentation>
    <port name="StockQuotePort" binding="defs:StockQuoteSoapBinding">
      <soap:address location="http://example.com/stockquote"/>
    </port>
  </service>
</definitions>)";

const char* StockQuoteDefinitions = R"(<?xml version="1.0"?>
<wsdl:definitions name="StockQuote"
  targetNamespace="http://example.com/stockquote/definitions"
  xmlns:tns="http://example.com/stockquote/definitions"
  xmlns:xsd1="http://example.com/stockquote/schemas"
  xmlns:soapbind="http://schemas.xmlsoap.org/wsdl/soap/"
  xmlns:wsdl="http://schemas.xmlsoap.org/wsdl/"
  xmlns="http://www.w3.org/2001/XMLSchema">
  <wsdl:import namespace="http://example.com/stockquote/schemas" location="stockquote.xsd"/>
  <wsdl:message name="GetLastTradePriceInput"><wsdl:part name="body" element="xsd1:TradePriceRequest"/></wsdl:message>
  <wsdl:message name="GetLastTradePriceOutput"><wsdl:part name="body" element="xsd1:TradePrice"/></wsdl:message>
  <wsdl:portType name="StockQuotePortType">
    <wsdl:operation name="GetLastTradePrice">
      <wsdl:input message="tns:GetLastTradePriceInput"/>
      <wsdl:output message="tns:GetLastTradePriceOutput"/>
    </wsdl:operation>
  </wsdl:portType>
  <wsdl:binding name="StockQuoteSoapBinding" type="tns:StockQuotePortType">
    <soapbind:binding style="rpc" transport="http://schemas.xmlsoap.org/soap/http"/>
    <wsdl:operation name="GetTradePrice">
      <soapbind:operation soapAction="http://example.com/GetTradePrice"/>
      <wsdl:input><soapbind:body use="encoded" namespace="urn:wrong-operation"/></wsdl:input>
    </wsdl:operation>
    <wsdl:operation name="GetLastTradePrice">
      <soapbind:operation soapAction="http://example.com/GetLastTradePrice"/>
      <wsdl:input>
        <soapbind:body use="encoded" namespace="http://example.com/stockquote"
                       encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"/>
      </wsdl:input>
      <wsdl:output><soapbind:body use="encoded" namespace="urn:output-not-input"/></wsdl:output>
    </wsdl:operation>
  </wsdl:binding>
</wsdl:definitions>)";

const char* StockQuoteSchema = R"(<?xml version="1.0"?>
<schema targetNamespace="http://example.com/stockquote/schemas"
        xmlns="http://www.w3.org/2001/XMLSchema">
  <element name="TradePriceRequest"><complexType><all><element name="tickerSymbol" type="string"/></all></complexType></element>
  <element name="TradePrice"><complexType><all><element name="price" type="float"/></all></complexType></element>
</schema>)";

// One document, several ports: a SOAP 1.2 port and an HTTP GET port beside
// the SOAP 1.1 one, and a binding of the same local name in another
// namespace that must not be taken.
const char* MultiPort = R"(<?xml version="1.0" encoding="utf-8"?>
<w:definitions xmlns:w="http://schemas.xmlsoap.org/wsdl/"
  xmlns:s11="http://schemas.xmlsoap.org/wsdl/soap/"
  xmlns:s12="http://schemas.xmlsoap.org/wsdl/soap12/"
  xmlns:http="http://schemas.xmlsoap.org/wsdl/http/"
  xmlns:t="urn:translate-service" xmlns:o="urn:other-service"
  targetNamespace="urn:translate-service">
  <w:import namespace="urn:other-service" location="other.wsdl"/>
  <w:binding name="TranslateSoap12" type="t:TranslatePortType">
    <s12:binding transport="http://schemas.xmlsoap.org/soap/http"/>
    <w:operation name="BabelFish"><s12:operation soapAction="soap12-action"/></w:operation>
  </w:binding>
  <w:binding name="Translate" type="t:TranslatePortType">
    <s11:binding style="rpc" transport="http://schemas.xmlsoap.org/soap/http"/>
    <w:operation name="BabelFish">
      <s11:operation soapAction="urn:translate-service#BabelFish" style="rpc"/>
      <w:input><s11:body use="encoded" namespace="urn:translate-service"/></w:input>
    </w:operation>
  </w:binding>
  <w:service name="TranslateService">
    <w:port name="TranslateSoap12" binding="t:TranslateSoap12"><s12:address location="http://h/soap12"/></w:port>
    <w:port name="TranslateHttpGet" binding="t:TranslateHttpGet"><http:address location="http://h/get"/></w:port>
    <w:port name="TranslatePort" binding="t:Translate"><s11:address location="http://h/soap?x=1&amp;y=2"/></w:port>
    <w:port name="OtherPort" binding="o:Translate"><s11:address location="http://h/other"/></w:port>
  </w:service>
</w:definitions>)";

const char* OtherNamespaceBinding = R"(<definitions xmlns="http://schemas.xmlsoap.org/wsdl/"
  xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/" targetNamespace="urn:other-service">
  <binding name="Translate"><operation name="BabelFish"><soap:operation soapAction="other-action"/>
    <input><soap:body namespace="urn:other-ns"/></input></operation></binding>
</definitions>)";

struct Library
{
    QMap<QString, QByteArray> documents;
    QStringList fetched;

    WsdlLookup::Fetch fetch()
    {
        return [this](const QString& location) {
            fetched.append(location);
            if (!documents.contains(location))
                throw TarquellError(QStringLiteral("missing ") + location);
            return documents.value(location);
        };
    }
};

} // namespace

TEST(WsdlLookup, FindsNamespaceActionAndEndpointInTheTranslationServicesDocuments)
{
    Fixtures::WsdlShape shape;
    shape.endpoint = QStringLiteral("http://127.0.0.1:9/soap");
    Library lib;
    lib.documents[QStringLiteral("mem:/a.wsdl")] = Fixtures::wsdl(shape);
    const auto r =
        WsdlLookup::find(QStringLiteral("mem:/a.wsdl"), lib.fetch(), QStringLiteral("BabelFish"),
                         QStringLiteral("BabelFishPort"), QStringLiteral("BabelFish"));
    EXPECT_TRUE(r.portFound);
    EXPECT_EQ(r.operationNamespace, QStringLiteral("urn:xmethodsBabelFish"));
    EXPECT_EQ(r.soapAction, QStringLiteral("urn:xmethodsBabelFish#BabelFish"));
    EXPECT_EQ(r.endpoint, QStringLiteral("http://127.0.0.1:9/soap"));
}

TEST(WsdlLookup, RealWorldDocuments)
{
    Library lib;
    lib.documents[QStringLiteral("http://example.com/service/stockquote.wsdl")] = StockQuoteService;
    lib.documents[QStringLiteral("http://example.com/stockquote/definitions.wsdl")] =
        StockQuoteDefinitions;
    lib.documents[QStringLiteral("http://example.com/stockquote/stockquote.xsd")] =
        StockQuoteSchema;
    lib.documents[QStringLiteral("/srv/wsdl/multi.wsdl")] = MultiPort;
    lib.documents[QStringLiteral("/srv/wsdl/other.wsdl")] = OtherNamespaceBinding;

    const struct
    {
        const char* what;
        const char* location;
        const char* service;
        const char* port;
        const char* operation;
        bool portFound;
        const char* ns;
        const char* action;
        const char* endpoint;
    } rows[] = {
        {"binding in the imported definitions, found through a relative import",
         "http://example.com/service/stockquote.wsdl", "StockQuoteService", "StockQuotePort",
         "GetLastTradePrice", true, "http://example.com/stockquote",
         "http://example.com/GetLastTradePrice", "http://example.com/stockquote"},
        {"operation missing from the binding", "http://example.com/service/stockquote.wsdl",
         "StockQuoteService", "StockQuotePort", "NoSuchOperation", true, "", "",
         "http://example.com/stockquote"},
        {"SOAP 1.1 port among SOAP 1.2 and HTTP ports, query kept", "/srv/wsdl/multi.wsdl",
         "TranslateService", "TranslatePort", "BabelFish", true, "urn:translate-service",
         "urn:translate-service#BabelFish", "http://h/soap?x=1&y=2"},
        {"a SOAP 1.2 port has no SOAP 1.1 address", "/srv/wsdl/multi.wsdl", "TranslateService",
         "TranslateSoap12", "BabelFish", true, "", "", ""},
        {"same local binding name, other namespace: the imported one", "/srv/wsdl/multi.wsdl",
         "TranslateService", "OtherPort", "BabelFish", true, "urn:other-ns", "other-action",
         "http://h/other"},
        {"service names match with case", "/srv/wsdl/multi.wsdl", "translateservice",
         "TranslatePort", "BabelFish", false, "", "", ""},
    };
    for (const auto& row : rows) {
        lib.fetched.clear();
        const auto r = WsdlLookup::find(QString::fromUtf8(row.location), lib.fetch(),
                                        QString::fromUtf8(row.service), QString::fromUtf8(row.port),
                                        QString::fromUtf8(row.operation));
        EXPECT_EQ(r.portFound, row.portFound) << row.what;
        EXPECT_EQ(r.operationNamespace, QString::fromUtf8(row.ns)) << row.what;
        EXPECT_EQ(r.soapAction, QString::fromUtf8(row.action)) << row.what;
        EXPECT_EQ(r.endpoint, QString::fromUtf8(row.endpoint)) << row.what;
        EXPECT_EQ(lib.fetched.size(), QSet<QString>(lib.fetched.begin(), lib.fetched.end()).size())
            << row.what << ": a document was read twice";
    }
}

TEST(WsdlLookup, UnprefixedBindingNamesStandForTheTargetNamespace)
{
    QByteArray doc = Fixtures::wsdl({});
    doc.replace("binding=\"tns:TranslateBinding\"", "binding=\"TranslateBinding\"");
    Library lib;
    lib.documents[QStringLiteral("x")] = doc;
    auto r = WsdlLookup::find(QStringLiteral("x"), lib.fetch(), QStringLiteral("BabelFish"),
                              QStringLiteral("BabelFishPort"), QStringLiteral("BabelFish"));
    EXPECT_EQ(r.operationNamespace, QStringLiteral("urn:xmethodsBabelFish"));

    // A prefix bound to another namespace names another binding.
    doc.replace("binding=\"TranslateBinding\"", "binding=\"xsd:TranslateBinding\"");
    lib.documents[QStringLiteral("x")] = doc;
    r = WsdlLookup::find(QStringLiteral("x"), lib.fetch(), QStringLiteral("BabelFish"),
                         QStringLiteral("BabelFishPort"), QStringLiteral("BabelFish"));
    EXPECT_TRUE(r.portFound);
    EXPECT_EQ(r.operationNamespace, QString());
    EXPECT_EQ(r.soapAction, QString());
}

TEST(WsdlLookup, ImportsAreSearchedInTurnAndCyclesEnd)
{
    const QByteArray importer = "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">"
                                "<import location=\"empty.wsdl\"/><import location=\"sub/b.wsdl\"/>"
                                "<import location=\"a.wsdl\"/></definitions>";
    const QByteArray empty = "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\">"
                             "<import location=\"a.wsdl\"/></definitions>";
    Fixtures::WsdlShape shape;
    shape.endpoint = QStringLiteral("http://found/");
    Library lib;
    lib.documents[QStringLiteral("http://h/w/a.wsdl")] = importer;
    lib.documents[QStringLiteral("http://h/w/empty.wsdl")] = empty;
    lib.documents[QStringLiteral("http://h/w/sub/b.wsdl")] = Fixtures::wsdl(shape);
    auto r = WsdlLookup::find(QStringLiteral("http://h/w/a.wsdl"), lib.fetch(),
                              QStringLiteral("BabelFish"), QStringLiteral("BabelFishPort"),
                              QStringLiteral("BabelFish"));
    EXPECT_EQ(r.endpoint, QStringLiteral("http://found/"));
    EXPECT_EQ(lib.fetched, (QStringList{QStringLiteral("http://h/w/a.wsdl"),
                                        QStringLiteral("http://h/w/empty.wsdl"),
                                        QStringLiteral("http://h/w/sub/b.wsdl")}));

    // a imports empty, which imports a again: each is read once, then nothing
    // is found.
    lib.documents[QStringLiteral("http://h/w/sub/b.wsdl")] = "<schema/>";
    lib.fetched.clear();
    r = WsdlLookup::find(QStringLiteral("http://h/w/a.wsdl"), lib.fetch(),
                         QStringLiteral("BabelFish"), QStringLiteral("BabelFishPort"),
                         QStringLiteral("BabelFish"));
    EXPECT_FALSE(r.portFound);
    EXPECT_EQ(lib.fetched, (QStringList{QStringLiteral("http://h/w/a.wsdl"),
                                        QStringLiteral("http://h/w/empty.wsdl"),
                                        QStringLiteral("http://h/w/sub/b.wsdl")}));
}

TEST(WsdlLookup, EndlessChainsOfNewDocumentsAreCutOff)
{
    int reads = 0;
    const WsdlLookup::Fetch generator = [&reads](const QString&) {
        ++reads;
        return QByteArray("<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><import "
                          "location=\"d") +
               QByteArray::number(reads) + ".wsdl\"/></definitions>";
    };
    const auto r = WsdlLookup::find(QStringLiteral("http://h/d0.wsdl"), generator,
                                    QStringLiteral("S"), QStringLiteral("P"), QStringLiteral("op"));
    EXPECT_FALSE(r.portFound);
    EXPECT_EQ(reads, WsdlLookup::MaxDocuments);
}

TEST(WsdlLookup, BrokenDocumentsNameTheirLocation)
{
    Library lib;
    lib.documents[QStringLiteral("http://h/root.wsdl")] =
        "<definitions xmlns=\"http://schemas.xmlsoap.org/wsdl/\"><import location=\"bad.wsdl\"/>"
        "</definitions>";
    lib.documents[QStringLiteral("http://h/bad.wsdl")] = "<definitions><oops></definitions>";
    try {
        WsdlLookup::find(QStringLiteral("http://h/root.wsdl"), lib.fetch(), QStringLiteral("S"),
                         QStringLiteral("P"), QStringLiteral("op"));
        ADD_FAILURE() << "no error";
    } catch (const TarquellError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Invalid WSDL document 'http://h/bad.wsdl' - Please "
                                 "verify the location and content!\r\nError: "
                                 "Opening and ending tag mismatch. (line 1, column 33)"));
    }
}

TEST(WsdlLookup, ImportLocationsResolveAgainstTheImportingDocument)
{
    const struct
    {
        const char* base;
        const char* import;
        const char* resolved;
    } rows[] = {
        {"http://h/a/b/svc.wsdl", "defs.wsdl", "http://h/a/b/defs.wsdl"},
        {"http://h/a/b/svc.wsdl", "../x/defs.wsdl", "http://h/a/x/defs.wsdl"},
        {"HTTP://h/a/svc.wsdl", "/root.wsdl", "http://h/root.wsdl"},
        {"http://h/a/svc.wsdl", "https://other/defs.wsdl", "https://other/defs.wsdl"},
        {"http://h/a/svc.wsdl", "file:///etc/passwd", ""}, // remote documents stay remote
        {"http://h/a/svc.wsdl", "  ", ""},
        {"/srv/w/svc.wsdl", "defs.wsdl", "/srv/w/defs.wsdl"},
        {"/srv/w/svc.wsdl", "../d/defs.wsdl", "/srv/d/defs.wsdl"},
        {"/srv/w/svc.wsdl", "/abs/defs.wsdl", "/abs/defs.wsdl"},
        {"/srv/w/svc.wsdl", "file:///abs/x.wsdl", "/abs/x.wsdl"},
        {"/srv/w/svc.wsdl", "http://h/defs.wsdl", "http://h/defs.wsdl"},
        {"file:///srv/w/svc.wsdl", "d/defs.wsdl", "/srv/w/d/defs.wsdl"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(
            WsdlLookup::resolveImport(QString::fromUtf8(row.base), QString::fromUtf8(row.import)),
            QString::fromUtf8(row.resolved))
            << row.base << " + " << row.import;
}

// Within a call the second lookup still reads every document; what it
// finds follows a document that changed in between, and a document that
// fails the second time fails the lookup.
TEST(WsdlLookup, ParsedDocumentsFollowChangedBytes)
{
    Fixtures::WsdlShape shape;
    shape.endpoint = QStringLiteral("http://first.example/soap");
    QByteArray served = Fixtures::wsdl(shape);
    int reads = 0;
    const WsdlLookup::Fetch fetch = [&](const QString&) {
        ++reads;
        return served;
    };
    const QString location = QStringLiteral("http://first.example/svc.wsdl");
    auto find = [&](WsdlLookup::Parsed& parsed) {
        return WsdlLookup::find(location, fetch, shape.service, shape.port, shape.operation,
                                &parsed)
            .endpoint;
    };
    WsdlLookup::Parsed parsed;
    EXPECT_EQ(find(parsed), QStringLiteral("http://first.example/soap"));
    EXPECT_EQ(find(parsed), QStringLiteral("http://first.example/soap"));
    shape.endpoint = QStringLiteral("http://second.example/soap");
    served = Fixtures::wsdl(shape);
    EXPECT_EQ(find(parsed), QStringLiteral("http://second.example/soap"));
    served = "<definitions";
    EXPECT_THROW(find(parsed), TarquellError);
    EXPECT_EQ(reads, 4);
}
