#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// The parameters of one LibreTranslate API request, as its clients send
// them: a JSON object, an HTML form (urlencoded or multipart), or the query
// string. Everything here reads what any program on the network may send,
// so each reader bounds what it accepts and throws ApiError (400) with a
// clear text instead.
namespace ApiRequest {
struct Limits
{
    // JSON: nesting and the items of one array (q's batch, in practice).
    int jsonDepth = 16;
    int arrayItems = 10000;
    // Multipart: parts and the header lines of one part.
    int parts = 32;
    qsizetype partHeaderBytes = 8 * 1024;
};

struct File
{
    QString fileName; // as the client named it; may hold anything
    QByteArray contentType;
    QByteArray data;
};

struct Params
{
    // Form and query values are strings; JSON values are what was sent.
    QJsonObject fields;
    // The multipart part named "file", if one came with a file name.
    std::optional<File> file;
    bool json = false;
};

// contentType: the request's Content-Type header; rawQuery: the query
// string as sent (without '?'). Query values come first, as a form's
// fields of the same name do not replace them.
Params read(const QByteArray& contentType, const QByteArray& body, const QByteArray& rawQuery,
            const Limits& limits = {});

// One multipart/form-data part.
struct Part
{
    QByteArray name;
    std::optional<QString> fileName; // set when the part is a file
    QByteArray contentType;
    QByteArray data;
};
// The parts of a multipart/form-data body with this boundary. Throws
// ApiError when the body is not well formed or beyond the limits.
QList<Part> readMultipart(const QByteArray& body, const QByteArray& boundary,
                          const Limits& limits = {});
// name=value&... with '+' for blanks and percent escapes, decoded as UTF-8.
QList<std::pair<QString, QString>> readForm(const QByteArray& form);
// A parameter of a header value: boundary of
// "multipart/form-data; boundary=x", quoted or not; empty when absent.
QByteArray headerParameter(const QByteArray& value, const QByteArray& name);
// The media type of a Content-Type value, lower case, without parameters.
QByteArray mediaType(const QByteArray& contentType);
} // namespace ApiRequest
