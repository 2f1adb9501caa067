#include "service/EnvelopeWriter.h"
#include "QtPrinters.h"
#include "service/SoapXml.h"
#include "service/VoiGen.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Head =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\">"
    "<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">";
const QByteArray Tail = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

QList<SoapArg> babelFishArgs(const QString& mode, const QString& text)
{
    return {{QStringLiteral("translationmode"), mode}, {QStringLiteral("sourcedata"), text}};
}

QList<SoapArg> bodyArg(const QString& text, const QString& mode)
{
    SoapObject o;
    o.type = &getTranslationType();
    o.values = {{QStringLiteral("text"), text}, {QStringLiteral("language"), mode}};
    return {{QStringLiteral("body"), o}};
}

} // namespace

TEST(EnvelopeWriter, WritesEachShapeByteForByte)
{
    const struct
    {
        const char* what;
        QString ns;
        QString op;
        QList<SoapArg> args;
        QByteArray operationElement;
    } rows[] = {
        {"string shape", QStringLiteral("urn:BFish-IBabelFish"), QStringLiteral("BabelFish"),
         babelFishArgs(QStringLiteral("de_fr"), QString::fromUtf8("Grüße & <Küsse>")),
         "<NS1:BabelFish xmlns:NS1=\"urn:BFish-IBabelFish\">"
         "<translationmode xsi:type=\"xsd:string\">de_fr</translationmode>"
         "<sourcedata xsi:type=\"xsd:string\">Gr\xc3\xbc\xc3\x9f"
         "e &amp; &lt;K\xc3\xbcsse&gt;</sourcedata></NS1:BabelFish>"},
        {"object shape: record namespace gets NS2 on the operation element",
         QStringLiteral("urn:BFish2-IBabelFish2"), QStringLiteral("getTranslation"),
         bodyArg(QStringLiteral("Hello"), QStringLiteral("en_fr")),
         "<NS1:getTranslation xmlns:NS1=\"urn:BFish2-IBabelFish2\" "
         "xmlns:NS2=\"urn:vgx-translate\"><body href=\"#1\"/>"
         "<NS2:getTranslation id=\"1\" xsi:type=\"NS2:getTranslation\">"
         "<text xsi:type=\"xsd:string\">Hello</text>"
         "<language xsi:type=\"xsd:string\">en_fr</language>"
         "</NS2:getTranslation></NS1:getTranslation>"},
        {"object shape: NS1 serves both when the operation is in the record's namespace",
         QStringLiteral("urn:vgx-translate"), QStringLiteral("getTranslation"),
         bodyArg(QStringLiteral("Hi"), QStringLiteral("en_de")),
         "<NS1:getTranslation xmlns:NS1=\"urn:vgx-translate\"><body href=\"#1\"/>"
         "<NS1:getTranslation id=\"1\" xsi:type=\"NS1:getTranslation\">"
         "<text xsi:type=\"xsd:string\">Hi</text>"
         "<language xsi:type=\"xsd:string\">en_de</language>"
         "</NS1:getTranslation></NS1:getTranslation>"},
        {"no namespace: no prefix, and the record takes NS1", QString(),
         QStringLiteral("getTranslation"), bodyArg(QString(), QStringLiteral("en_fr")),
         "<getTranslation xmlns:NS1=\"urn:vgx-translate\"><body href=\"#1\"/>"
         "<NS1:getTranslation id=\"1\" xsi:type=\"NS1:getTranslation\">"
         "<text xsi:type=\"xsd:string\"/>"
         "<language xsi:type=\"xsd:string\">en_fr</language>"
         "</NS1:getTranslation></getTranslation>"},
        {"empty text and a carriage return that must survive the reader", QStringLiteral("urn:x"),
         QStringLiteral("BabelFish"),
         babelFishArgs(QStringLiteral("en_fr"), QStringLiteral("a\r\nb\"c'")),
         "<NS1:BabelFish xmlns:NS1=\"urn:x\">"
         "<translationmode xsi:type=\"xsd:string\">en_fr</translationmode>"
         "<sourcedata xsi:type=\"xsd:string\">a&#13;\nb\"c'</sourcedata></NS1:BabelFish>"},
    };
    for (const auto& row : rows) {
        const QByteArray bytes = writeRequestEnvelope(row.ns, row.op, row.args);
        EXPECT_EQ(bytes, Head + row.operationElement + Tail) << row.what;
        SoapXml::Document doc;
        EXPECT_TRUE(doc.setContent(bytes)) << row.what << doc.errorText().toStdString();
    }
}

TEST(EnvelopeWriter, RecordsGetIdsInOrderAndShareOneNamespacePrefix)
{
    SoapObject a;
    a.type = &getTranslationType();
    a.values = {{QStringLiteral("language"), QStringLiteral("L1")},
                {QStringLiteral("text"), QStringLiteral("T1")}}; // written in property order
    SoapObject b = a;
    b.values = {{QStringLiteral("text"), QStringLiteral("T2")}};
    const QByteArray bytes = writeRequestEnvelope(QStringLiteral("urn:op"), QStringLiteral("twice"),
                                                  {{QStringLiteral("first"), a},
                                                   {QStringLiteral("mode"), QStringLiteral("m")},
                                                   {QStringLiteral("second"), b}});
    EXPECT_EQ(bytes, Head +
                         "<NS1:twice xmlns:NS1=\"urn:op\" xmlns:NS2=\"urn:vgx-translate\">"
                         "<first href=\"#1\"/><mode xsi:type=\"xsd:string\">m</mode>"
                         "<second href=\"#2\"/>"
                         "<NS2:getTranslation id=\"1\" xsi:type=\"NS2:getTranslation\">"
                         "<text xsi:type=\"xsd:string\">T1</text>"
                         "<language xsi:type=\"xsd:string\">L1</language></NS2:getTranslation>"
                         "<NS2:getTranslation id=\"2\" xsi:type=\"NS2:getTranslation\">"
                         "<text xsi:type=\"xsd:string\">T2</text>"
                         "<language xsi:type=\"xsd:string\"/></NS2:getTranslation>"
                         "</NS1:twice>" +
                         Tail);
}

TEST(EnvelopeWriter, OperationInTheSchemaNamespaceReusesTheEnvelopesPrefix)
{
    const QByteArray bytes = writeRequestEnvelope(
        QStringLiteral("http://www.w3.org/2001/XMLSchema"), QStringLiteral("op"), {});
    EXPECT_EQ(bytes, Head + "<xsd:op/>" + Tail);
}
