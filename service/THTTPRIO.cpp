#include "service/THTTPRIO.h"

#include "service/EnvelopeWriter.h"
#include "service/ReplyReader.h"
#include "service/SoapErrors.h"
#include "service/SoapLog.h"
#include "service/WsdlLookup.h"

#include <QFile>
#include <QPointer>
#include <QUrl>

namespace {

// Marks a call in flight for as long as it runs, also when it throws, and
// also when the component is destroyed from an event handled meanwhile.
class CallScope
{
public:
    CallScope(THTTPRIO* rio, bool& calling) : m_rio(rio), m_calling(calling)
    {
        m_calling = true;
        rio->HTTPWebNode().beginCall();
    }
    ~CallScope()
    {
        if (!m_rio)
            return;
        m_calling = false;
        m_rio->HTTPWebNode().endCall();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    bool alive() const { return !m_rio.isNull(); }

private:
    QPointer<THTTPRIO> m_rio;
    bool& m_calling;
};

} // namespace

THTTPRIO::THTTPRIO(QObject* parent) : QObject(parent), m_webNode(new THTTPReqResp(this)) {}

THTTPRIO::~THTTPRIO()
{
    // A call waiting in its event loop learns of this through the transport.
    m_webNode->abort();
}

QByteArray THTTPRIO::fetchDocument(const QString& location)
{
    if (isHttpLocation(location))
        return m_webNode->fetchDocument(location);

    QString path = location;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(path).toLocalFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TarquellError(SoapMessages::transportFailed(file.errorString(), location, QString()));
    if (file.size() > THTTPReqResp::MaxReplyBytes)
        throw TarquellError(SoapMessages::replyTooLarge(location));
    qCDebug(lcService).noquote() << "read" << path;
    return file.readAll();
}

THTTPRIO::CallResult THTTPRIO::invoke(const InterfaceInfo& iface, const QList<SoapArg>& args)
{
    if (m_calling)
        throw TarquellError(SoapMessages::componentBusy());
    CallScope scope(this, m_calling);
    // Everything below may run the event loop; after each wait the
    // component may be gone, and then nothing of it may be touched.
    QPointer<THTTPRIO> self(this);
    auto checkAlive = [&] {
        if (!self)
            throw CallCancelled();
    };

    const OperationInfo& op = iface.operation;
    const QString location = m_wsdlLocation;
    const QString service = m_service;
    const QString port = m_port;
    const WsdlLookup::Fetch fetch = [this, &checkAlive](const QString& where) {
        checkAlive();
        return fetchDocument(where);
    };

    // Both readings go over the wire; a document that comes back unchanged
    // the second time is not parsed again.
    WsdlLookup::Parsed parsed;
    // First reading: the operation's namespace, the registered one when the
    // binding names none.
    WsdlLookup::Result first = WsdlLookup::find(location, fetch, service, port, op.name, &parsed);
    checkAlive();
    const QString ns =
        first.operationNamespace.isEmpty() ? iface.nameSpace : first.operationNamespace;
    const QByteArray envelope = writeRequestEnvelope(ns, op.name, args);

    // Second reading: the SOAP action and the endpoint.
    WsdlLookup::Result second = WsdlLookup::find(location, fetch, service, port, op.name, &parsed);
    checkAlive();
    if (second.endpoint.isEmpty())
        throw TarquellError(SoapMessages::noEndpoint(service, port, location));
    const QUrl endpoint(second.endpoint);
    const QString scheme = endpoint.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        endpoint.host().isEmpty())
        throw TarquellError(SoapMessages::invalidUrl(second.endpoint));

    const QByteArray reply = m_webNode->post(second.endpoint, second.soapAction, envelope);
    checkAlive();

    CallResult result;
    if (op.hasResult)
        result.result = ReplyReader::readResult(reply, op.returnNames);
    else
        result.outParams = ReplyReader::readOutParams(reply, op.params);
    return result;
}
