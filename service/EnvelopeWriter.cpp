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

// Writes into one buffer: texts may be megabytes long.
class Writer
{
public:
    explicit Writer(qsizetype expected) { m_out.reserve(expected); }

    void open(const QString& name)
    {
        m_out += QLatin1Char('<');
        m_out += name;
    }
    void attribute(const QString& name, const QString& value)
    {
        m_out += QLatin1Char(' ');
        m_out += name;
        m_out += QLatin1String("=\"");
        SoapXml::appendEscapedAttribute(m_out, value);
        m_out += QLatin1Char('"');
    }
    void endOpen() { m_out += QLatin1Char('>'); }
    void endEmpty() { m_out += QLatin1String("/>"); }
    void close(const QString& name)
    {
        m_out += QLatin1String("</");
        m_out += name;
        m_out += QLatin1Char('>');
    }
    void raw(QLatin1String text) { m_out += text; }
    void raw(const QString& text) { m_out += text; }

    // <name xsi:type="xsd:string">text</name>, or empty-element form.
    void stringElement(const QString& name, const QString& value)
    {
        open(name);
        raw(QLatin1String(" xsi:type=\"xsd:string\""));
        if (value.isEmpty()) {
            endEmpty();
            return;
        }
        endOpen();
        SoapXml::appendEscapedText(m_out, value);
        close(name);
    }

    const QString& text() const { return m_out; }

private:
    QString m_out;
};

} // namespace

QByteArray writeRequestEnvelope(const QString& operationNamespace, const QString& operationName,
                                const QList<SoapArg>& args)
{
    // Prefixes first: every declaration goes on the operation element.
    PrefixScope scope;
    const QString opPrefix =
        operationNamespace.isEmpty() ? QString() : scope.prefixFor(operationNamespace);
    const QString opName =
        opPrefix.isEmpty() ? operationName : opPrefix + QLatin1Char(':') + operationName;
    qsizetype expected = 1024;
    QList<QString> typeNames;
    for (const SoapArg& arg : args) {
        if (const auto* s = std::get_if<QString>(&arg.value)) {
            expected += s->size() + s->size() / 8 + 64;
            typeNames.append(QString());
            continue;
        }
        const SoapObject& object = std::get<SoapObject>(arg.value);
        for (const auto& v : object.values)
            expected += v.second.size() + v.second.size() / 8 + 64;
        typeNames.append(scope.prefixFor(object.type->xmlNamespace) + QLatin1Char(':') +
                         object.type->xmlName);
    }

    Writer w(expected);
    w.raw(QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    w.open(QStringLiteral("SOAP-ENV:Envelope"));
    w.attribute(QStringLiteral("xmlns:SOAP-ENV"), SoapNs::Envelope);
    w.attribute(QStringLiteral("xmlns:xsd"), SoapNs::Xsd);
    w.attribute(QStringLiteral("xmlns:xsi"), SoapNs::Xsi);
    w.attribute(QStringLiteral("xmlns:SOAP-ENC"), SoapNs::Encoding);
    w.endOpen();
    w.open(QStringLiteral("SOAP-ENV:Body"));
    w.attribute(QStringLiteral("SOAP-ENV:encodingStyle"), SoapNs::Encoding);
    w.endOpen();

    w.open(opName);
    for (const auto& [prefix, uri] : scope.declared())
        w.attribute(QStringLiteral("xmlns:") + prefix, uri);
    if (args.isEmpty()) {
        w.endEmpty();
    } else {
        w.endOpen();
        // Parameters in order; records as references to what follows them.
        int nextId = 1;
        for (const SoapArg& arg : args) {
            if (const auto* s = std::get_if<QString>(&arg.value)) {
                w.stringElement(arg.name, *s);
                continue;
            }
            w.open(arg.name);
            w.attribute(QStringLiteral("href"), QLatin1Char('#') + QString::number(nextId++));
            w.endEmpty();
        }
        int id = 1;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const auto* object = std::get_if<SoapObject>(&args[i].value);
            if (!object)
                continue;
            const QString& typeName = typeNames[i];
            w.open(typeName);
            w.attribute(QStringLiteral("id"), QString::number(id++));
            w.attribute(QStringLiteral("xsi:type"), typeName);
            if (object->type->properties.isEmpty()) {
                w.endEmpty();
                continue;
            }
            w.endOpen();
            for (const QString& property : object->type->properties)
                w.stringElement(property, object->value(property));
            w.close(typeName);
        }
        w.close(opName);
    }
    w.raw(QLatin1String("</SOAP-ENV:Body></SOAP-ENV:Envelope>"));
    return w.text().toUtf8();
}
