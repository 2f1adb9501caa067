#pragma once

#include <QString>

// Namespaces and names that both ends of a SOAP 1.1 exchange agree on.
namespace SoapNs {
inline const QString Envelope = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");
inline const QString Encoding = QStringLiteral("http://schemas.xmlsoap.org/soap/encoding/");
inline const QString Xsd = QStringLiteral("http://www.w3.org/2001/XMLSchema");
inline const QString Xsi = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
inline const QString Wsdl = QStringLiteral("http://schemas.xmlsoap.org/wsdl/");
inline const QString WsdlSoap = QStringLiteral("http://schemas.xmlsoap.org/wsdl/soap/");
// Bound to the prefix "xml" in every document.
inline const QString Xml = QStringLiteral("http://www.w3.org/XML/1998/namespace");
// The namespace of the getTranslation record.
inline const QString VgxTranslate = QStringLiteral("urn:vgx-translate");
} // namespace SoapNs
