#include "service/WsdlLookup.h"

#include "service/SoapErrors.h"
#include "service/SoapNames.h"
#include "service/SoapXml.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUrl>

using namespace SoapXml;

bool isHttpLocation(const QString& location)
{
    return location.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

namespace {

struct LoadedDocument
{
    QString location;
    QByteArray bytes;
    Document xml;
    QString targetNamespace;
    bool isWsdl = false;
};

using DocumentPtr = std::shared_ptr<const LoadedDocument>;

} // namespace

struct WsdlLookup::Parsed::Documents
{
    QHash<QString, DocumentPtr> byLocation;
};

WsdlLookup::Parsed::Parsed() : m_documents(std::make_unique<Documents>()) {}
WsdlLookup::Parsed::~Parsed() = default;

namespace {

class Lookup
{
public:
    Lookup(const WsdlLookup::Fetch& fetch, QHash<QString, DocumentPtr>* parsed)
        : m_fetch(fetch), m_parsed(parsed)
    {
    }

    WsdlLookup::Result run(const QString& location, const QString& service, const QString& port,
                           const QString& operation)
    {
        WsdlLookup::Result result;
        const LoadedDocument* root = load(location);
        if (!root)
            return result;
        const LoadedDocument* portDoc = nullptr;
        const QDomElement portElement = findPort(*root, service, port, portDoc);
        if (portElement.isNull())
            return result;
        result.portFound = true;
        const QDomElement address = firstElementChildNS(portElement, SoapNs::WsdlSoap, u"address");
        result.endpoint = address.attribute(QStringLiteral("location")).trimmed();

        const QDomElement binding = findBinding(*portDoc, portElement);
        QDomElement bindingOperation;
        for (const QDomElement& op : wsdlChildren(binding, u"operation")) {
            if (op.attribute(QStringLiteral("name")) == operation) {
                bindingOperation = op;
                break;
            }
        }
        if (bindingOperation.isNull())
            return result;
        result.soapAction = firstElementChildNS(bindingOperation, SoapNs::WsdlSoap, u"operation")
                                .attribute(QStringLiteral("soapAction"));
        const QDomElement input = firstElementChildNS(bindingOperation, SoapNs::Wsdl, u"input");
        result.operationNamespace = firstElementChildNS(input, SoapNs::WsdlSoap, u"body")
                                        .attribute(QStringLiteral("namespace"));
        return result;
    }

private:
    static QList<QDomElement> wsdlChildren(const QDomElement& parent, QStringView name)
    {
        QList<QDomElement> out;
        for (const QDomElement& e : elementChildren(parent, name)) {
            if (e.namespaceURI() == SoapNs::Wsdl)
                out.append(e);
        }
        return out;
    }

    static QString normalised(const QString& location)
    {
        if (isHttpLocation(location))
            return QUrl(location)
                .adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment)
                .toString();
        return QFileInfo(location).absoluteFilePath();
    }

    // Reads a document once; null when already read or over the limit.
    const LoadedDocument* load(const QString& location)
    {
        const QString key = normalised(location);
        if (m_seen.contains(key) || m_documents.size() >= WsdlLookup::MaxDocuments)
            return nullptr;
        m_seen.insert(key);
        const QByteArray bytes = m_fetch(location);
        if (m_parsed) {
            const DocumentPtr known = m_parsed->value(location);
            if (known && known->bytes == bytes) {
                m_documents.push_back(known);
                return known.get();
            }
        }
        auto doc = std::make_shared<LoadedDocument>();
        doc->location = location;
        if (!doc->xml.setContent(bytes))
            throw TarquellError(SoapMessages::invalidWsdl(location, doc->xml.errorText()));
        doc->bytes = bytes;
        const QDomElement root = doc->xml.root();
        doc->isWsdl =
            root.namespaceURI() == SoapNs::Wsdl && localName(root) == QLatin1String("definitions");
        doc->targetNamespace = root.attribute(QStringLiteral("targetNamespace"));
        if (m_parsed)
            m_parsed->insert(location, doc);
        m_documents.push_back(doc);
        return doc.get();
    }

    QList<QString> importsOf(const LoadedDocument& doc) const
    {
        QList<QString> out;
        if (!doc.isWsdl)
            return out;
        for (const QDomElement& imp : wsdlChildren(doc.xml.root(), u"import")) {
            const QString target =
                WsdlLookup::resolveImport(doc.location, imp.attribute(QStringLiteral("location")));
            if (!target.isEmpty())
                out.append(target);
        }
        return out;
    }

    QDomElement findPort(const LoadedDocument& doc, const QString& service, const QString& port,
                         const LoadedDocument*& portDoc)
    {
        if (doc.isWsdl) {
            for (const QDomElement& s : wsdlChildren(doc.xml.root(), u"service")) {
                if (s.attribute(QStringLiteral("name")) != service)
                    continue;
                for (const QDomElement& p : wsdlChildren(s, u"port")) {
                    if (p.attribute(QStringLiteral("name")) == port) {
                        portDoc = &doc;
                        return p;
                    }
                }
            }
        }
        for (const QString& location : importsOf(doc)) {
            const LoadedDocument* imported = load(location);
            if (!imported)
                continue;
            const QDomElement found = findPort(*imported, service, port, portDoc);
            if (!found.isNull())
                return found;
        }
        return QDomElement();
    }

    QDomElement findBinding(const LoadedDocument& portDoc, const QDomElement& portElement)
    {
        const QString qname = portElement.attribute(QStringLiteral("binding")).trimmed();
        const auto colon = qname.indexOf(QLatin1Char(':'));
        const QString prefix = colon < 0 ? QString() : qname.left(colon);
        const QString local = colon < 0 ? qname : qname.mid(colon + 1);
        const QString ns = prefix.isEmpty() ? portDoc.targetNamespace
                                            : portDoc.xml.namespaceForPrefix(portElement, prefix);
        if (local.isEmpty() || (!prefix.isEmpty() && ns.isNull()))
            return QDomElement();

        auto matches = [&](const LoadedDocument& doc) {
            if (!doc.isWsdl)
                return QDomElement();
            // A binding's own name is unprefixed: it lives in its document's
            // target namespace.
            if (!prefix.isEmpty() && doc.targetNamespace != ns)
                return QDomElement();
            for (const QDomElement& b : wsdlChildren(doc.xml.root(), u"binding")) {
                if (b.attribute(QStringLiteral("name")) == local)
                    return b;
            }
            return QDomElement();
        };

        // The port's own document, then anything already read, then what the
        // port's document imports (and what those import).
        QDomElement found = matches(portDoc);
        for (std::size_t i = 0; found.isNull() && i < m_documents.size(); ++i)
            found = matches(*m_documents[i]);
        QList<QString> pending = importsOf(portDoc);
        while (found.isNull() && !pending.isEmpty()) {
            const LoadedDocument* imported = load(pending.takeFirst());
            if (!imported)
                continue;
            found = matches(*imported);
            pending = importsOf(*imported) + pending;
        }
        return found;
    }

    const WsdlLookup::Fetch& m_fetch;
    QHash<QString, DocumentPtr>* m_parsed;
    std::vector<DocumentPtr> m_documents;
    QSet<QString> m_seen;
};

} // namespace

WsdlLookup::Result WsdlLookup::find(const QString& location, const Fetch& fetch,
                                    const QString& service, const QString& port,
                                    const QString& operation, Parsed* parsed)
{
    Lookup lookup(fetch, parsed ? &parsed->m_documents->byLocation : nullptr);
    return lookup.run(location, service, port, operation);
}

QString WsdlLookup::resolveImport(const QString& baseLocation, const QString& importLocation)
{
    const QString target = importLocation.trimmed();
    if (target.isEmpty())
        return QString();
    if (isHttpLocation(baseLocation)) {
        const QUrl resolved = QUrl(baseLocation).resolved(QUrl(target));
        const QString scheme = resolved.scheme().toLower();
        if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            return QString();
        return resolved.toString();
    }
    if (isHttpLocation(target))
        return target;
    QString path = target;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(path).toLocalFile();
    if (path.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    QString base = baseLocation;
    if (base.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        base = QUrl(base).toLocalFile();
    return QDir::cleanPath(QFileInfo(base).absoluteDir().filePath(path));
}
