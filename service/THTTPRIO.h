#pragma once

#include "service/InvokeRegistry.h"
#include "service/THTTPReqResp.h"

#include <QHash>
#include <QObject>
#include <QString>

// A remote-interface proxy component: where the service's WSDL document is,
// which service and port in it to use, and the HTTP transport that carries
// the calls. One call at a time; a second call while one is in flight
// fails with a TarquellError and leaves the first undisturbed.
class THTTPRIO : public QObject
{
    Q_OBJECT
public:
    explicit THTTPRIO(QObject* parent = nullptr);
    ~THTTPRIO() override;

    // An address starting with http:// or https:// is fetched by GET; any
    // other value is a local file path (a file: URL is accepted too).
    void setWSDLLocation(const QString& location) { m_wsdlLocation = location; }
    QString WSDLLocation() const { return m_wsdlLocation; }
    void setService(const QString& service) { m_service = service; }
    QString Service() const { return m_service; }
    void setPort(const QString& port) { m_port = port; }
    QString Port() const { return m_port; }

    THTTPReqResp& HTTPWebNode() { return *m_webNode; }

    // A call is in flight on this component.
    bool isCalling() const { return m_calling; }

    struct CallResult
    {
        QString result;                       // operations with a result
        QHash<QString, SoapObject> outParams; // records the reply returned
    };

    // One remote call: reads the WSDL document to find the operation's
    // namespace, writes the envelope, reads the document again for the SOAP
    // action and the endpoint, posts, and reads the reply. Throws
    // TarquellError (SoapFault for a fault) or CallCancelled.
    CallResult invoke(const InterfaceInfo& iface, const QList<SoapArg>& args);

    // One read of the WSDL document or of a document it imports.
    QByteArray fetchDocument(const QString& location);

private:
    QString m_wsdlLocation;
    QString m_service;
    QString m_port;
    THTTPReqResp* m_webNode;
    bool m_calling = false;
};
