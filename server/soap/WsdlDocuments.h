#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The three WSDL 1.1 documents the service publishes, one per service the
// client knows, all bound to the same SOAP endpoint.
namespace WsdlDocuments {
enum class Kind {
    BabelFish,     // /sd/BabelFishService.wsdl: service "BabelFish"
    BabelFish2001, // /sd/2001/BabelFishService.wsdl: service "BabelFishService"
    Translate,     // /vx_engine/wsdl.vep?translate.wsdl: service "translate"
};

struct Description
{
    Kind kind;
    const char* path;
    const char* query; // empty when the path alone names the document
    const char* service;
    const char* port;
    const char* operation;
    const char* operationNamespace;
};

const Description& describe(Kind kind);
// Which document a GET of path and query asks for.
std::optional<Kind> forRequest(const QString& path, const QString& query);

// The path where the service takes its SOAP calls.
QString endpointPath();

// The document, with soap:address pointing at endpointUrl.
QByteArray document(Kind kind, const QString& endpointUrl);
} // namespace WsdlDocuments
