#include "server/api/ApiRequest.h"

#include "server/api/ApiError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QUrl>
#include <vector>

namespace {
const QString exampleBody =
    QStringLiteral("{\"q\": \"Hello\", \"source\": \"en\", \"target\": \"es\"}");

// Qt's parser takes up to 1024 levels and arrays of any length; what the
// API reads is two levels deep. Checked before parsing, without building
// anything.
void checkJsonShape(const QByteArray& body, const ApiRequest::Limits& limits)
{
    std::vector<int> items; // per open container: commas seen (arrays only)
    std::vector<bool> isArray;
    bool inString = false;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (static_cast<int>(isArray.size()) >= limits.jsonDepth)
                throw ApiError::invalid(
                    QStringLiteral("Invalid JSON format: nested deeper than %1 levels")
                        .arg(limits.jsonDepth));
            isArray.push_back(c == '[');
            items.push_back(0);
            break;
        case ']':
        case '}':
            if (!isArray.empty()) {
                isArray.pop_back();
                items.pop_back();
            }
            break;
        case ',':
            if (!isArray.empty() && isArray.back() && ++items.back() >= limits.arrayItems)
                throw ApiError::invalid(
                    QStringLiteral("Invalid request: an array holds more than %1 items")
                        .arg(limits.arrayItems));
            break;
        default:
            break;
        }
    }
}

QJsonObject readJson(const QByteArray& body, const ApiRequest::Limits& limits)
{
    checkJsonShape(body, limits);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw ApiError::invalid(QStringLiteral("Invalid JSON format: %1 at character %2")
                                    .arg(error.errorString())
                                    .arg(error.offset));
    if (!doc.isObject())
        throw ApiError::invalid(
            QStringLiteral("Invalid JSON format: the body must be a JSON object, such as %1")
                .arg(exampleBody));
    return doc.object();
}

// Adds the pairs whose names are not there yet: the first value of a name
// counts.
void addFirst(QJsonObject& fields, const QList<std::pair<QString, QString>>& pairs)
{
    for (const auto& [name, value] : pairs) {
        if (!fields.contains(name))
            fields.insert(name, value);
    }
}

// After a delimiter: "--", or blanks and a line break.
bool delimiterEnds(const QByteArray& body, qsizetype at)
{
    if (body.mid(at, 2) == "--")
        return true;
    while (at < body.size() && (body[at] == ' ' || body[at] == '\t'))
        ++at;
    return at < body.size() &&
           (body[at] == '\n' || (body[at] == '\r' && body.mid(at + 1, 1) == "\n"));
}

QByteArray lower(QByteArray text)
{
    return text.toLower();
}
} // namespace

QByteArray ApiRequest::mediaType(const QByteArray& contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return lower((semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed());
}

QByteArray ApiRequest::headerParameter(const QByteArray& value, const QByteArray& name)
{
    const QByteArray wanted = lower(name);
    qsizetype i = value.indexOf(';');
    while (i >= 0 && i < value.size()) {
        ++i; // past ';'
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        const qsizetype keyStart = i;
        while (i < value.size() && value[i] != '=' && value[i] != ';')
            ++i;
        const QByteArray key = lower(value.mid(keyStart, i - keyStart).trimmed());
        QByteArray parameter;
        if (i < value.size() && value[i] == '=') {
            ++i;
            while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
                ++i;
            if (i < value.size() && value[i] == '"') {
                // Only \\ and \" are escapes: browsers send a Windows path's
                // backslashes as they are.
                for (++i; i < value.size() && value[i] != '"'; ++i) {
                    if (value[i] == '\\' && i + 1 < value.size() &&
                        (value[i + 1] == '\\' || value[i + 1] == '"'))
                        ++i;
                    parameter += value[i];
                }
                while (i < value.size() && value[i] != ';')
                    ++i;
            } else {
                const qsizetype start = i;
                while (i < value.size() && value[i] != ';')
                    ++i;
                parameter = value.mid(start, i - start).trimmed();
            }
        }
        if (key == wanted)
            return parameter;
        if (i >= value.size())
            break;
    }
    return {};
}

QList<std::pair<QString, QString>> ApiRequest::readForm(const QByteArray& form)
{
    QList<std::pair<QString, QString>> pairs;
    for (const QByteArray& item : form.split('&')) {
        if (item.isEmpty())
            continue;
        const qsizetype eq = item.indexOf('=');
        const auto decode = [](QByteArray part) {
            part.replace('+', ' ');
            return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
        };
        pairs.append(
            {decode(eq < 0 ? item : item.left(eq)), eq < 0 ? QString() : decode(item.mid(eq + 1))});
    }
    return pairs;
}

QList<ApiRequest::Part> ApiRequest::readMultipart(const QByteArray& body,
                                                  const QByteArray& boundary, const Limits& limits)
{
    const auto malformed = [](const QString& why) {
        return ApiError::invalid(QStringLiteral("Invalid request: the multipart body %1").arg(why));
    };
    if (boundary.isEmpty() || boundary.size() > 200)
        throw malformed(QStringLiteral("has no usable boundary"));
    const QByteArray dash = "--" + boundary;
    const QByteArray nextDash = "\n" + dash;
    qsizetype pos = 0;
    if (!body.startsWith(dash)) {
        // A preamble before the first delimiter is ignored.
        pos = body.indexOf(nextDash);
        if (pos < 0)
            throw malformed(QStringLiteral("does not begin with its boundary"));
        ++pos;
    }
    pos += dash.size();
    QList<Part> parts;
    for (;;) {
        if (body.mid(pos, 2) == "--")
            return parts;
        while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t'))
            ++pos;
        if (pos < body.size() && body[pos] == '\r')
            ++pos;
        if (pos >= body.size() || body[pos] != '\n')
            throw malformed(QStringLiteral("ends before its closing boundary"));
        ++pos;
        if (parts.size() >= limits.parts)
            throw malformed(QStringLiteral("has more than %1 parts").arg(limits.parts));

        Part part;
        QByteArray disposition;
        const qsizetype headersStart = pos;
        for (;;) {
            const qsizetype eol = body.indexOf('\n', pos);
            if (eol < 0 || eol - headersStart > limits.partHeaderBytes)
                throw malformed(QStringLiteral("has a part whose headers do not end"));
            QByteArray line = body.mid(pos, eol - pos);
            pos = eol + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.isEmpty())
                break;
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lower(line.left(colon).trimmed());
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-disposition")
                disposition = value;
            else if (name == "content-type")
                part.contentType = value;
        }
        part.name = headerParameter(disposition, "name");
        const QByteArray extended = headerParameter(disposition, "filename*");
        if (lower(extended).startsWith("utf-8''"))
            part.fileName = QString::fromUtf8(QByteArray::fromPercentEncoding(extended.mid(7)));
        else if (disposition.contains("filename="))
            part.fileName = QString::fromUtf8(headerParameter(disposition, "filename"));

        // The boundary ends the part only where it is followed by "--" or
        // by the end of its line.
        qsizetype end = body.indexOf(nextDash, pos);
        while (end >= 0 && !delimiterEnds(body, end + nextDash.size()))
            end = body.indexOf(nextDash, end + 1);
        if (end < 0)
            throw malformed(QStringLiteral("ends before its closing boundary"));
        qsizetype dataEnd = end;
        if (dataEnd > pos && body[dataEnd - 1] == '\r')
            --dataEnd;
        part.data = body.mid(pos, dataEnd - pos);
        parts.append(std::move(part));
        pos = end + nextDash.size();
    }
}

ApiRequest::Params ApiRequest::read(const QByteArray& contentType, const QByteArray& body,
                                    const QByteArray& rawQuery, const Limits& limits)
{
    Params params;
    const QByteArray type = mediaType(contentType);
    if (type == "application/json" || (type.startsWith("application/") && type.endsWith("+json"))) {
        params.json = true;
        params.fields = readJson(body, limits);
        return params;
    }
    addFirst(params.fields, readForm(rawQuery));
    if (type == "application/x-www-form-urlencoded" || (type.isEmpty() && !body.isEmpty())) {
        addFirst(params.fields, readForm(body));
    } else if (type == "multipart/form-data") {
        for (Part& part : readMultipart(body, headerParameter(contentType, "boundary"), limits)) {
            const QString name = QString::fromUtf8(part.name);
            if (part.fileName) {
                if (name == QLatin1String("file") && !params.file)
                    params.file = File{*part.fileName, part.contentType, std::move(part.data)};
            } else if (!params.fields.contains(name)) {
                params.fields.insert(name, QString::fromUtf8(part.data));
            }
        }
    }
    return params;
}
