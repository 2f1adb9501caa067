#include "service/EnvelopeWriter.h"

#include "service/SoapNames.h"
#include "service/SoapXml.h"

namespace {

// Prefixes in scope at the operation element, and the declarations it
// carries. The Envelope's own four are in scope from the start.
class PrefixScope
{
public:
    PrefixScope()
    {
        m_bound = {{QStringLiteral("SOAP-ENV"), SoapNs::Envelope},
                   {QStringLiteral("xsd"), SoapNs::Xsd},
                   {QStringLiteral("xsi"), SoapNs::Xsi},
                   {QStringLiteral("SOAP-ENC"), SoapNs::Encoding}};
    }

    // The prefix bound to a namespace, declaring the next NSn when none is.
    QString prefixFor(const QString& ns)
    {
        for (const auto& [prefix, uri] : m_bound) {
            if (uri == ns)
                return prefix;
        }
        QString prefix;
        do {
            prefix = QStringLiteral("NS") + QString::number(m_counter++);
        } while (isBound(prefix));
        m_bound.append({prefix, ns});
        m_declared.append({prefix, ns});
        return prefix;
    }

    const QList<QPair<QString, QString>>& declared() const { return m_declared; }

private:
    bool isBound(const QString& prefix) const
    {
        for (const auto& entry : m_bound) {
            if (entry.first == prefix)
                return true;
        }
        return false;
    }

    QList<QPair<QString, QString>> m_bound;
    QList<QPair<QString, QString>> m_declared;
    int m_counter = 1;
};

void appendElement(QString& out, const QString& name, const QString& attributes,
                   const QString& escapedContent)
{
    out += QLatin1Char('<') + name + attributes;
    if (escapedContent.isEmpty()) {
        out += QLatin1String("/>");
        return;
    }
    out += QLatin1Char('>') + escapedContent + QLatin1String("</") + name + QLatin1Char('>');
}

QString attribute(const QString& name, const QString& value)
{
    return QLatin1Char(' ') + name + QLatin1String("=\"") + SoapXml::escapeAttribute(value) +
           QLatin1Char('"');
}

QString stringElement(const QString& name, const QString& value)
{
    QString out;
    appendElement(out, name, attribute(QStringLiteral("xsi:type"), QStringLiteral("xsd:string")),
                  SoapXml::escapeText(value));
    return out;
}

} // namespace

QByteArray writeRequestEnvelope(const QString& operationNamespace, const QString& operationName,
                                const QList<SoapArg>& args)
{
    PrefixScope scope;
    const QString opPrefix =
        operationNamespace.isEmpty() ? QString() : scope.prefixFor(operationNamespace);
    const QString opName =
        opPrefix.isEmpty() ? operationName : opPrefix + QLatin1Char(':') + operationName;

    QString params;
    QString multiRefs;
    int nextId = 1;
    for (const SoapArg& arg : args) {
        if (const auto* s = std::get_if<QString>(&arg.value)) {
            params += stringElement(arg.name, *s);
            continue;
        }
        const SoapObject& object = std::get<SoapObject>(arg.value);
        const QString id = QString::number(nextId++);
        appendElement(params, arg.name, attribute(QStringLiteral("href"), QLatin1Char('#') + id),
                      QString());

        const QString typePrefix = scope.prefixFor(object.type->xmlNamespace);
        const QString typeName = typePrefix + QLatin1Char(':') + object.type->xmlName;
        QString members;
        for (const QString& property : object.type->properties)
            members += stringElement(property, object.value(property));
        appendElement(multiRefs, typeName,
                      attribute(QStringLiteral("id"), id) +
                          attribute(QStringLiteral("xsi:type"), typeName),
                      members);
    }

    QString opAttributes;
    for (const auto& [prefix, uri] : scope.declared())
        opAttributes += attribute(QStringLiteral("xmlns:") + prefix, uri);

    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    out += QLatin1String("<SOAP-ENV:Envelope") +
           attribute(QStringLiteral("xmlns:SOAP-ENV"), SoapNs::Envelope) +
           attribute(QStringLiteral("xmlns:xsd"), SoapNs::Xsd) +
           attribute(QStringLiteral("xmlns:xsi"), SoapNs::Xsi) +
           attribute(QStringLiteral("xmlns:SOAP-ENC"), SoapNs::Encoding) + QLatin1Char('>');
    out += QLatin1String("<SOAP-ENV:Body") +
           attribute(QStringLiteral("SOAP-ENV:encodingStyle"), SoapNs::Encoding) + QLatin1Char('>');
    appendElement(out, opName, opAttributes, params + multiRefs);
    out += QLatin1String("</SOAP-ENV:Body></SOAP-ENV:Envelope>");
    return out.toUtf8();
}
