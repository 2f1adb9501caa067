#include "server/api/ApiDescription.h"

#include <QJsonArray>

namespace {
QJsonObject parameter(const char* name, const char* description, bool required,
                      const char* type = "string")
{
    return {{QStringLiteral("in"), QStringLiteral("formData")},
            {QStringLiteral("name"), QLatin1String(name)},
            {QStringLiteral("type"), QLatin1String(type)},
            {QStringLiteral("required"), required},
            {QStringLiteral("description"), QLatin1String(description)}};
}

QJsonObject operation(const char* summary, const QJsonArray& parameters)
{
    const QJsonObject error{
        {QStringLiteral("description"), QStringLiteral("{\"error\": message}")}};
    return {{QStringLiteral("summary"), QLatin1String(summary)},
            {QStringLiteral("tags"), QJsonArray{QStringLiteral("translate")}},
            {QStringLiteral("parameters"), parameters},
            {QStringLiteral("responses"),
             QJsonObject{{QStringLiteral("200"),
                          QJsonObject{{QStringLiteral("description"), QStringLiteral("Done")}}},
                         {QStringLiteral("400"), error},
                         {QStringLiteral("403"), error},
                         {QStringLiteral("500"), error}}}};
}
} // namespace

QJsonObject ApiDescription::document(bool keyRequired)
{
    const QJsonObject key = parameter("api_key", "API key", keyRequired);
    const QJsonObject get{
        {QStringLiteral("get"), operation("Retrieve list of supported languages", {})}};
    const QJsonObject paths{
        {QStringLiteral("/translate"),
         QJsonObject{{QStringLiteral("post"),
                      operation("Translate text from a language to another",
                                {parameter("q", "Text(s) to translate", true),
                                 parameter("source", "Source language code, or auto", true),
                                 parameter("target", "Target language code", true),
                                 parameter("format", "text or html", false),
                                 parameter("alternatives", "Alternative translations wanted", false,
                                           "integer"),
                                 key})}}},
        {QStringLiteral("/detect"),
         QJsonObject{
             {QStringLiteral("post"), operation("Detect the language of a single text",
                                                {parameter("q", "Text to detect", true), key})}}},
        {QStringLiteral("/translate_file"),
         QJsonObject{{QStringLiteral("post"),
                      operation("Translate file from a language to another",
                                {parameter("file", "File to translate", true, "file"),
                                 parameter("source", "Source language code, or auto", true),
                                 parameter("target", "Target language code", true), key})}}},
        {QStringLiteral("/languages"), get},
        {QStringLiteral("/frontend/settings"),
         QJsonObject{
             {QStringLiteral("get"), operation("Retrieve frontend specific settings", {})}}},
        {QStringLiteral("/health"),
         QJsonObject{{QStringLiteral("get"), operation("Health check", {})}}},
    };
    const QJsonObject doc{
        {QStringLiteral("swagger"), QStringLiteral("2.0")},
        {QStringLiteral("info"),
         QJsonObject{{QStringLiteral("title"), QStringLiteral("LibreTranslate")},
                     {QStringLiteral("version"), QStringLiteral("1.9.6")},
                     {QStringLiteral("description"),
                      QStringLiteral("LibreTranslate's API on tarquell-service")}}},
        {QStringLiteral("paths"), paths},
    };
    return doc;
}
