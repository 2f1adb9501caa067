#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <utility>

// The fields of an API request as the routes read them, each refused with
// LibreTranslate's own text (ApiError, 400) when it is missing or not what
// it must be.
namespace ApiFields {
// "Invalid request: missing <name> parameter".
QString missing(const char* name);
// A parameter that must be a text: absent, null and "" count as missing
// (an empty string comes back).
QString textField(const QJsonObject& fields, const char* name);
// Language codes as LibreTranslate takes them: "EN" is "en".
QString languageField(const QJsonObject& fields, const char* name);
// q as a list of texts, and whether it came as a list (a batch). A form's
// line ends (json false) come back as "\n".
std::pair<QStringList, bool> texts(const QJsonObject& fields, bool json);
// Characters as the limit counts them: a surrogate pair is one.
qsizetype characters(const QString& text);
// True when the text holds a letter of any script.
bool hasLetters(const QString& text);
} // namespace ApiFields
