#pragma once

#include <QJsonObject>

// An OpenAPI (Swagger 2.0) description of the API's routes, as
// LibreTranslate serves one at /spec: its clients check info.title to tell
// an instance.
namespace ApiDescription {
// keyRequired: whether api_key is a required parameter.
QJsonObject document(bool keyRequired);
} // namespace ApiDescription
