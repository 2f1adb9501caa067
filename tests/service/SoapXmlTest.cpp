#include "service/SoapXml.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace SoapXml;

namespace {

QByteArray billionLaughs()
{
    QByteArray doc = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        doc += "<!ENTITY lol" + QByteArray::number(level) + " \"";
        const QByteArray prev =
            level == 1 ? QByteArray("&lol;") : "&lol" + QByteArray::number(level - 1) + ";";
        for (int i = 0; i < 10; ++i)
            doc += prev;
        doc += "\">";
    }
    doc += "]><lolz>&lol9;</lolz>";
    return doc;
}

QByteArray nested(int depth)
{
    return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
}

} // namespace

TEST(SoapXml, RefusesHostileOrBrokenDocumentsWithTheReason)
{
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* errorStart;
    } rows[] = {
        {"entity expansion", billionLaughs(), "Entity expands to more characters"},
        {"tag mismatch", "<a><b></a>", "Opening and ending tag mismatch. (line 1, column"},
        {"empty", "", "Premature end of document"},
        {"undeclared prefix", "<x:a/>", "Namespace prefix 'x' not declared"},
        {"too deep", nested(MaxDepth + 1), "The XML document is nested more than 256 levels deep"},
    };
    for (const auto& row : rows) {
        Document doc;
        EXPECT_FALSE(doc.setContent(row.bytes)) << row.what;
        EXPECT_TRUE(doc.errorText().startsWith(QString::fromUtf8(row.errorStart)))
            << row.what << ": " << doc.errorText().toStdString();
        EXPECT_TRUE(doc.root().isNull()) << row.what;
    }
    Document deepButAllowed;
    EXPECT_TRUE(deepButAllowed.setContent(nested(MaxDepth)));
}

TEST(SoapXml, InternalEntitiesExpandAndExternalOnesAreNeverLoaded)
{
    Document doc;
    ASSERT_TRUE(doc.setContent("<!DOCTYPE x [<!ENTITY e \"hi\"><!ENTITY f SYSTEM "
                               "\"file:///etc/passwd\">]><x>&e; &amp; &f;</x>"));
    EXPECT_EQ(text(doc.root()), QStringLiteral("hi & "));
}

TEST(SoapXml, ContentOfOnlyWhiteSpaceIsKept)
{
    Document doc;
    ASSERT_TRUE(doc.setContent("<r>\n  <a> </a>\n  <b>\n\t</b><c> <d/> </c><e>&#32;</e>"
                               "<f><![CDATA[ ]]></f></r>"));
    EXPECT_EQ(text(firstElementChild(doc.root(), u"a")), QStringLiteral(" "));
    EXPECT_EQ(text(firstElementChild(doc.root(), u"b")), QStringLiteral("\n\t"));
    EXPECT_EQ(text(firstElementChild(doc.root(), u"e")), QStringLiteral(" "));
    EXPECT_EQ(text(firstElementChild(doc.root(), u"f")), QStringLiteral(" "));
    // Indentation between elements stays out of the way.
    EXPECT_EQ(elementChildren(doc.root()).size(), 5);
    EXPECT_EQ(firstElementChild(doc.root(), u"c").childNodes().size(), 1);
}

TEST(SoapXml, DeclarationDecidesTheEncoding)
{
    Document doc;
    ASSERT_TRUE(doc.setContent("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xe9t\xe9</a>"));
    EXPECT_EQ(text(doc.root()), QString::fromUtf8("été"));
    ASSERT_TRUE(doc.setContent("<a>\xc3\xa9t\xc3\xa9</a>"));
    EXPECT_EQ(text(doc.root()), QString::fromUtf8("été"));
}

TEST(SoapXml, PrefixesResolveThroughTheDeclarationsInScope)
{
    Document doc;
    ASSERT_TRUE(doc.setContent(
        "<d:definitions xmlns:d=\"urn:wsdl\" xmlns:tns=\"urn:outer\" xmlns=\"urn:default\">\n"
        "  <d:service><port xmlns:tns=\"urn:inner\" binding=\"tns:B\"/><other/></d:service>\n"
        "</d:definitions>"));
    const QDomElement service = firstElementChild(doc.root());
    const QDomElement port = firstElementChild(service, u"port");
    const QDomElement other = firstElementChild(service, u"OTHER", Qt::CaseInsensitive);
    ASSERT_FALSE(port.isNull());
    ASSERT_FALSE(other.isNull());
    EXPECT_EQ(port.namespaceURI(), QStringLiteral("urn:default"));
    EXPECT_EQ(doc.namespaceForPrefix(port, QStringLiteral("tns")), QStringLiteral("urn:inner"));
    EXPECT_EQ(doc.namespaceForPrefix(other, QStringLiteral("tns")), QStringLiteral("urn:outer"));
    EXPECT_EQ(doc.namespaceForPrefix(other, QString()), QStringLiteral("urn:default"));
    EXPECT_TRUE(doc.namespaceForPrefix(other, QStringLiteral("nope")).isNull());
    EXPECT_EQ(firstElementChildNS(doc.root(), QStringLiteral("urn:wsdl"), u"service"), service);
    EXPECT_TRUE(firstElementChildNS(doc.root(), QStringLiteral("urn:other"), u"service").isNull());
}

TEST(SoapXml, ChildrenByLocalName)
{
    Document doc;
    ASSERT_TRUE(
        doc.setContent("<r xmlns:a=\"urn:a\">text<a:Item/><item/><b:item xmlns:b=\"urn:b\"/>"
                       "<!-- c --><other/></r>"));
    EXPECT_EQ(elementChildren(doc.root()).size(), 4);
    EXPECT_EQ(elementChildren(doc.root(), u"item").size(), 2);
    EXPECT_EQ(elementChildren(doc.root(), u"item", Qt::CaseInsensitive).size(), 3);
    EXPECT_EQ(localName(firstElementChild(doc.root())), QStringLiteral("Item"));
}

TEST(SoapXml, HrefsResolveInScopeOrderAndRefuseLoopsAndDanglingReferences)
{
    Document doc;
    ASSERT_TRUE(doc.setContent("<Body><resp><return href=\"#1\"/><x href=\"#2\"/><y href=\"#9\"/>"
                               "<inner id=\"1\">in response</inner></resp>"
                               "<multi id=\"1\">in body</multi><m2 id=\"2\" href=\"#3\"/>"
                               "<m3 id=\"3\"><deep>chained</deep></m3>"
                               "<loop1 id=\"L1\" href=\"#L2\"/><loop2 id=\"L2\" href=\"#L1\"/>"
                               "<start href=\"#L1\"/></Body>"));
    const QDomElement body = doc.root();
    const QDomElement resp = firstElementChild(body);
    const QList<QDomNode> scopes{resp, body};
    EXPECT_EQ(text(resolveHref(firstElementChild(resp, u"return"), scopes)),
              QStringLiteral("in response"));
    EXPECT_EQ(text(resolveHref(firstElementChild(resp, u"x"), scopes)), QStringLiteral("chained"));
    EXPECT_TRUE(resolveHref(firstElementChild(resp, u"y"), scopes).isNull());
    EXPECT_TRUE(resolveHref(firstElementChild(body, u"start"), scopes).isNull());
    const QDomElement plain = firstElementChild(body, u"multi");
    EXPECT_EQ(resolveHref(plain, scopes), plain);
}

TEST(SoapXml, ElementWrittenBackKeepsItsNamespaces)
{
    Document doc;
    ASSERT_TRUE(doc.setContent("<e:Envelope xmlns:e=\"urn:e\"><detail><m:code xmlns:m=\"urn:m\">"
                               "42 &amp; more</m:code></detail></e:Envelope>"));
    const QString xml = xmlOf(firstElementChild(doc.root()));
    Document again;
    ASSERT_TRUE(again.setContent(xml.toUtf8())) << xml.toStdString();
    const QDomElement code = firstElementChild(again.root());
    EXPECT_EQ(code.namespaceURI(), QStringLiteral("urn:m"));
    EXPECT_EQ(text(code), QStringLiteral("42 & more"));
}

TEST(SoapXml, EscapingRoundTripsThroughTheReader)
{
    const QString nasty = QString::fromUtf8("a<b>&c\"d'e\r\nf\tg ") +
                          QChar(0x1F600 >> 10 | 0xD800) + QChar((0x1F600 & 0x3FF) | 0xDC00) +
                          QStringLiteral(" end");
    EXPECT_EQ(escapeText(u"<a & b>\r\n\""), QStringLiteral("&lt;a &amp; b&gt;&#13;\n\""));
    EXPECT_EQ(escapeAttribute(u"\"x\"\t\n"), QStringLiteral("&quot;x&quot;&#9;&#10;"));

    Document doc;
    const QString xml = QStringLiteral("<r a=\"") + escapeAttribute(nasty) + QStringLiteral("\">") +
                        escapeText(nasty) + QStringLiteral("</r>");
    ASSERT_TRUE(doc.setContent(xml.toUtf8())) << doc.errorText().toStdString();
    EXPECT_EQ(text(doc.root()), nasty);
    EXPECT_EQ(doc.root().attribute(QStringLiteral("a")), nasty);

    // Characters XML cannot carry never make the document unreadable.
    const QString bad = QStringLiteral("x") + QChar(0x0C) + QChar(0x01) + QChar(0xD800) +
                        QStringLiteral("y") + QChar(0xFFFF);
    EXPECT_EQ(escapeText(bad),
              QStringLiteral("x  ") + QChar(0xFFFD) + QStringLiteral("y") + QChar(0xFFFD));
    ASSERT_TRUE(doc.setContent(
        (QStringLiteral("<r>") + escapeText(bad) + QStringLiteral("</r>")).toUtf8()));
}
