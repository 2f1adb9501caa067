#include "server/api/ApiFields.h"

#include "server/api/ApiError.h"

#include <QChar>
#include <QJsonArray>
#include <QJsonValue>

QString ApiFields::missing(const char* name)
{
    return QStringLiteral("Invalid request: missing %1 parameter").arg(QLatin1String(name));
}

// A parameter that must be a text: absent, null and "" count as missing.
QString ApiFields::textField(const QJsonObject& fields, const char* name)
{
    const QJsonValue value = fields.value(QLatin1String(name));
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isString())
        throw ApiError::invalid(
            QStringLiteral("Invalid request: %1 must be a text").arg(QLatin1String(name)));
    return value.toString();
}

QString ApiFields::languageField(const QJsonObject& fields, const char* name)
{
    return textField(fields, name).toLower();
}

// q as a list of texts, and whether it came as a list (a batch).
std::pair<QStringList, bool> ApiFields::texts(const QJsonObject& fields, bool json)
{
    const QJsonValue q = fields.value(QLatin1String("q"));
    QStringList list;
    bool batch = false;
    if (q.isArray()) {
        batch = true;
        for (const QJsonValue& item : q.toArray()) {
            if (!item.isString())
                throw ApiError::invalid(
                    QStringLiteral("Invalid request: every item of q must be a text"));
            list << item.toString();
        }
        if (list.isEmpty())
            throw ApiError::invalid(missing("q"));
    } else {
        const QString text = textField(fields, "q");
        if (text.isEmpty())
            throw ApiError::invalid(missing("q"));
        list << text;
    }
    if (!json) {
        // A form's line ends are counted and translated as "\n".
        for (QString& text : list) {
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
    }
    return {list, batch};
}

qsizetype ApiFields::characters(const QString& text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

bool ApiFields::hasLetters(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = text[i].isHighSurrogate() && i + 1 < text.size()
                               ? QChar::surrogateToUcs4(text[i], text[i + 1])
                               : text[i].unicode();
        if (QChar::isLetter(c))
            return true;
    }
    return false;
}
