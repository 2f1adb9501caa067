// The service's bounded request reader on any bytes, beside a reference
// reader that builds the whole DOM the way the service once did. A call one
// accepts the other accepts with the same operation, namespace, mode and
// text (white space aside: the DOM drops blank text nodes); nothing read
// here may pass the reader's bounds.
#include "server/engine/ServiceFault.h"
#include "server/soap/SoapRequest.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Refused
{
};

QDomElement resolve(QDomElement e, const QDomElement& body, const QDomElement& operation)
{
    for (int hops = 0; e.hasAttribute(QStringLiteral("href")); ++hops) {
        const QString ref = e.attribute(QStringLiteral("href"));
        if (hops == 8 || !ref.startsWith(QLatin1Char('#')) || ref.size() < 2)
            throw Refused{};
        QDomElement target = SoapXml::findById(operation, ref.mid(1));
        if (target.isNull())
            target = SoapXml::findById(body, ref.mid(1));
        if (target.isNull())
            throw Refused{};
        e = target;
    }
    return e;
}

QString value(const QDomElement& parent, const QString& name, const QDomElement& body,
              const QDomElement& operation, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    QDomElement e = SoapXml::firstElementChild(parent, name, cs);
    if (e.isNull())
        throw Refused{};
    e = resolve(e, body, operation);
    const QString nil = e.attributeNS(SoapNs::Xsi, QStringLiteral("nil"));
    if (nil == QLatin1String("true") || nil == QLatin1String("1"))
        return {};
    if (!SoapXml::firstElementChild(e).isNull())
        throw Refused{};
    return SoapXml::text(e);
}

// A document type declaration can only come before the first element.
bool hasDoctype(const QByteArray& bytes)
{
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            return true;
        if (token == QXmlStreamReader::StartElement || token == QXmlStreamReader::Invalid)
            return false;
    }
    return false;
}

std::optional<SoapCall> reference(const QByteArray& bytes)
{
    SoapXml::Document doc;
    if (hasDoctype(bytes) || !doc.setContent(bytes))
        return std::nullopt;
    try {
        const QDomElement envelope = doc.root();
        if (envelope.localName() != QLatin1String("Envelope") ||
            envelope.namespaceURI() != SoapNs::Envelope)
            throw Refused{};
        QDomElement header;
        QDomElement body;
        for (const QDomElement& e : SoapXml::elementChildren(envelope)) {
            const bool inSoap = e.namespaceURI() == SoapNs::Envelope;
            if (inSoap && e.localName() == QLatin1String("Header")) {
                if (!header.isNull() || !body.isNull())
                    throw Refused{};
                header = e;
            } else if (inSoap && e.localName() == QLatin1String("Body")) {
                if (!body.isNull())
                    throw Refused{};
                body = e;
            } else if (body.isNull()) {
                throw Refused{};
            }
        }
        if (body.isNull())
            throw Refused{};
        for (const QDomElement& e : SoapXml::elementChildren(header)) {
            if (e.attributeNS(SoapNs::Envelope, QStringLiteral("mustUnderstand")) ==
                QLatin1String("1"))
                throw Refused{};
        }
        const QDomElement operation = SoapXml::firstElementChild(body);
        SoapCall call;
        call.operationNamespace = operation.namespaceURI();
        if (operation.localName() == QLatin1String("BabelFish")) {
            call.mode = value(operation, QStringLiteral("translationmode"), body, operation);
            call.text = value(operation, QStringLiteral("sourcedata"), body, operation);
        } else if (operation.localName() == QLatin1String("getTranslation")) {
            call.operation = SoapCall::Operation::GetTranslation;
            const QDomElement record = resolve(
                SoapXml::firstElementChild(operation, QStringLiteral("body")), body, operation);
            if (record.isNull())
                throw Refused{};
            call.text = value(record, QStringLiteral("text"), body, operation, Qt::CaseInsensitive);
            call.mode =
                value(record, QStringLiteral("language"), body, operation, Qt::CaseInsensitive);
        } else {
            throw Refused{};
        }
        return call;
    } catch (const Refused&) {
        return std::nullopt;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<SoapCall> call;
    try {
        call = parseSoapCall(bytes);
    } catch (const ServiceFault& fault) {
        check(!fault.message().isEmpty());
    }
    // Inputs this small stay within the element and markup bounds, so the
    // two readers must agree.
    if (bytes.count('<') >= SoapRequestLimits::elements)
        return 0;
    const std::optional<SoapCall> expected = reference(bytes);
    check(call.has_value() == expected.has_value());
    if (call && expected) {
        check(call->operation == expected->operation);
        check(call->operationNamespace == expected->operationNamespace);
        check(call->mode.simplified() == expected->mode.simplified());
        check(call->text.simplified() == expected->text.simplified());
    }
    return 0;
}
