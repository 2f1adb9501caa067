#include "service/ReplyReader.h"

#include "service/SoapErrors.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

#include <algorithm>
#include <cctype>

using namespace SoapXml;

namespace {

struct Response
{
    Document doc;
    QDomElement body;
    QDomElement element;
};

bool isTrue(const QString& v)
{
    return v == QLatin1String("1") || v == QLatin1String("true");
}

[[noreturn]] void throwFault(const QDomElement& fault)
{
    QString code, string, actor, detail;
    for (const QDomElement& part : elementChildren(fault)) {
        const QString name = localName(part);
        if (name.compare(QLatin1String("faultcode"), Qt::CaseInsensitive) == 0)
            code = text(part);
        else if (name.compare(QLatin1String("faultstring"), Qt::CaseInsensitive) == 0)
            string = text(part);
        else if (name.compare(QLatin1String("faultactor"), Qt::CaseInsensitive) == 0)
            actor = text(part);
        else if (name.compare(QLatin1String("detail"), Qt::CaseInsensitive) == 0)
            detail = xmlOf(part);
    }
    // An empty fault string would leave the user an empty error box.
    if (string.trimmed().isEmpty()) {
        string = code.isEmpty() ? QStringLiteral("The service reported a fault without a reason")
                                : QStringLiteral("The service reported the fault %1 without a "
                                                 "reason")
                                      .arg(code);
    }
    throw SoapFault(string, code, actor, detail);
}

// Checks the envelope and finds the response element; a Fault is thrown.
void open(const QByteArray& reply, Response& r)
{
    if (std::all_of(reply.begin(), reply.end(), [](char c) { return std::isspace(uchar(c)); }))
        throw TarquellError(SoapMessages::invalidResponse());
    if (!r.doc.setContent(reply))
        throw TarquellError(r.doc.errorText());
    const QDomElement root = r.doc.root();
    if (root.isNull())
        throw TarquellError(SoapMessages::invalidResponse());
    if (root.namespaceURI() != SoapNs::Envelope || localName(root) != QLatin1String("Envelope"))
        throw TarquellError(
            SoapMessages::documentElementExpected(root.namespaceURI(), localName(root)));
    const QList<QDomElement> parts = elementChildren(root);
    if (parts.isEmpty())
        throw TarquellError(SoapMessages::invalidRequest());

    QDomElement header;
    for (const QDomElement& part : parts) {
        const QString name = localName(part);
        QDomElement* slot = name == QLatin1String("Header") ? &header
                            : name == QLatin1String("Body") ? &r.body
                                                            : nullptr;
        if (!slot)
            continue;
        if (!slot->isNull())
            throw TarquellError(SoapMessages::invalidRequest());
        *slot = part;
    }
    // No header is understood here, so every mandatory one fails the call.
    for (const QDomElement& entry : elementChildren(header)) {
        const QDomNamedNodeMap attributes = entry.attributes();
        for (int i = 0; i < attributes.count(); ++i) {
            const QDomAttr a = attributes.item(i).toAttr();
            if (localName(a) == QLatin1String("mustUnderstand") && isTrue(a.value().trimmed()))
                throw TarquellError(SoapMessages::mustUnderstand(localName(entry)));
        }
    }
    // A reply without a Body, or with an empty one, answers nothing.
    r.element = firstElementChild(r.body);
    if (r.element.isNull())
        throw TarquellError(SoapMessages::invalidResponse());
    if (localName(r.element) == QLatin1String("Fault"))
        throwFault(r.element);
}

QDomElement resolved(const Response& r, const QDomElement& e)
{
    const QDomElement target = resolveHref(e, {r.element, r.body});
    if (target.isNull()) {
        throw TarquellError(
            QStringLiteral("Invalid SOAP Response: the reference \"%1\" points to no element")
                .arg(e.attribute(QStringLiteral("href"))));
    }
    return target;
}

} // namespace

namespace ReplyReader {

QString readResult(const QByteArray& reply, const QStringList& returnNames)
{
    Response r;
    open(reply, r);
    const QList<QDomElement> children = elementChildren(r.element);
    QDomElement ret;
    if (children.size() == 1) {
        ret = children.first();
    } else {
        for (const QDomElement& child : children) {
            const QString name = localName(child);
            for (const QString& wanted : returnNames) {
                if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
                    ret = child;
                    break;
                }
            }
            if (!ret.isNull())
                break;
        }
    }
    if (ret.isNull())
        throw TarquellError(SoapMessages::resultExpected(xmlOf(r.element)));
    return text(resolved(r, ret));
}

QHash<QString, SoapObject> readOutParams(const QByteArray& reply, const QList<ParamInfo>& params)
{
    Response r;
    open(reply, r);
    QHash<QString, SoapObject> filled;
    for (const QDomElement& child : elementChildren(r.element)) {
        const QString name = localName(child);
        const ParamInfo* param = nullptr;
        for (const ParamInfo& p : params) {
            if (p.type && p.name == name && !filled.contains(name)) {
                param = &p;
                break;
            }
        }
        if (!param)
            continue;
        const QDomElement record = resolved(r, child);
        SoapObject object;
        object.type = param->type;
        for (const QString& property : param->type->properties) {
            const QDomElement member = firstElementChild(record, property, Qt::CaseInsensitive);
            object.values.append(
                {property, member.isNull() ? QString() : text(resolved(r, member))});
        }
        filled.insert(name, object);
    }
    return filled;
}

} // namespace ReplyReader
