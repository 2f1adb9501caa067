#include "server/remote/RemoteReplies.h"

#include "server/engine/LanguageModes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace RemoteReplies {
namespace {
QJsonDocument parse(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw BadReply("the answer is not JSON");
    return doc;
}

QJsonObject object(const QByteArray& body)
{
    const QJsonDocument doc = parse(body);
    if (!doc.isObject())
        throw BadReply("the answer is not a JSON object");
    return doc.object();
}

// A language code as servers write them: short, letters, digits, - and _.
bool plausibleCode(const QString& code)
{
    if (code.isEmpty() || code.size() > 16)
        return false;
    for (const QChar c : code) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') &&
            c != QLatin1Char('_'))
            return false;
    }
    return true;
}

// Keeps the server's exact spelling of our code when it has one.
void addCode(std::map<QString, QString>& codes, const QString& ours, const QString& theirs)
{
    auto it = codes.find(ours);
    if (it == codes.end())
        codes[ours] = theirs;
    else if (theirs == ours)
        it->second = theirs;
}
} // namespace

QString shown(const QString& text)
{
    constexpr qsizetype most = 300;
    QString out;
    bool blank = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace() || c.category() == QChar::Other_Control ||
            c.category() == QChar::Other_Format) {
            blank = !out.isEmpty();
            continue;
        }
        // A character outside the basic plane is two units; a lone half
        // of one is dropped.
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            units = 2;
        else if (c.isSurrogate())
            continue;
        if (out.size() + (blank ? 1 : 0) + units > most) {
            out += QStringLiteral("...");
            break;
        }
        if (blank)
            out += QLatin1Char(' ');
        blank = false;
        out += QStringView(text).mid(i, units);
        i += units - 1;
    }
    return out;
}

QString fromLibreCode(const QString& code)
{
    const QString lower = code.toLower();
    if (ServiceLanguages::isKnown(lower))
        return lower;
    // Simplified Chinese, as newer servers spell it.
    if (lower == QLatin1String("zh-hans") || lower == QLatin1String("zh_hans") ||
        lower == QLatin1String("zh-cn"))
        return QStringLiteral("zh");
    return {};
}

Offer libreLanguages(const QByteArray& body)
{
    const QJsonDocument doc = parse(body);
    if (!doc.isArray())
        throw BadReply("the answer is not a list of languages");
    Offer offer;
    std::map<QString, QString> codes;
    QSet<QString> listed;
    bool anyTargets = false;
    std::map<QString, QStringList> targetsOf;
    for (const QJsonValue& item : doc.array()) {
        if (!item.isObject())
            throw BadReply("a language in the list is not an object");
        const QJsonObject language = item.toObject();
        const QString code = language.value(QLatin1String("code")).toString();
        if (!plausibleCode(code))
            throw BadReply("a language in the list has no code");
        const QString ours = fromLibreCode(code);
        const QJsonValue targets = language.value(QLatin1String("targets"));
        if (!targets.isUndefined() && !targets.isArray())
            throw BadReply("a language's targets are not a list");
        anyTargets = anyTargets || targets.isArray();
        if (ours.isEmpty())
            continue;
        addCode(codes, ours, code);
        listed << ours;
        for (const QJsonValue& target : targets.toArray()) {
            const QString targetOurs = fromLibreCode(target.toString());
            if (!targetOurs.isEmpty() && targetOurs != ours)
                targetsOf[ours] << targetOurs;
        }
    }
    for (const QString& source : listed) {
        for (const QString& target : anyTargets ? targetsOf[source] : listed.values()) {
            const QString mode = source + QLatin1Char('_') + target;
            if (target != source && listed.contains(target) && !offer.modes.contains(mode)) {
                offer.modes << mode;
                offer.spelling[mode] = {codes[source], codes[target]};
            }
        }
    }
    return offer;
}

LibreSettings libreSettings(const QByteArray& body)
{
    const QJsonObject settings = object(body);
    LibreSettings result;
    const QJsonValue limit = settings.value(QLatin1String("charLimit"));
    if (limit.isDouble()) {
        const double value = limit.toDouble();
        // 0 or less, or absurdly large, is no limit.
        result.charLimit =
            value >= 1 && value < 1e12 ? static_cast<qint64>(value) : static_cast<qint64>(-1);
    }
    result.filesTranslation = settings.value(QLatin1String("filesTranslation")).toBool(false);
    for (const QJsonValue& format :
         settings.value(QLatin1String("supportedFilesFormat")).toArray()) {
        const QString text = format.toString().toLower();
        if (text.startsWith(QLatin1Char('.')) && text.size() <= 16)
            result.fileFormats << text;
    }
    return result;
}

QStringList libreTranslation(const QByteArray& body, qsizetype count)
{
    const QJsonValue translated = object(body).value(QLatin1String("translatedText"));
    if (count == 0) {
        if (!translated.isString())
            throw BadReply("the answer has no translated text");
        return {translated.toString()};
    }
    if (!translated.isArray() || translated.toArray().size() != count)
        throw BadReply("the answer does not have one translation for each text sent");
    QStringList texts;
    for (const QJsonValue& item : translated.toArray()) {
        if (!item.isString())
            throw BadReply("a translation in the answer is not text");
        texts << item.toString();
    }
    return texts;
}

QString libreFileUrl(const QByteArray& body)
{
    const QJsonValue url = object(body).value(QLatin1String("translatedFileUrl"));
    if (!url.isString() || url.toString().isEmpty() || url.toString().size() > 4096)
        throw BadReply("the answer has no address of the translated file");
    return url.toString();
}

QString libreError(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    return shown(doc.object().value(QLatin1String("error")).toString());
}

Offer apyPairs(const QByteArray& body)
{
    const QJsonValue data = object(body).value(QLatin1String("responseData"));
    if (!data.isArray())
        throw BadReply("the answer has no list of pairs");
    Offer offer;
    for (const QJsonValue& item : data.toArray()) {
        if (!item.isObject())
            throw BadReply("a pair in the list is not an object");
        const QJsonObject pair = item.toObject();
        const QString source = pair.value(QLatin1String("sourceLanguage")).toString();
        const QString target = pair.value(QLatin1String("targetLanguage")).toString();
        if (!plausibleCode(source) || !plausibleCode(target))
            throw BadReply("a pair in the list has no languages");
        const QString from = ServiceLanguages::fromApertiumCode(source);
        const QString to = ServiceLanguages::fromApertiumCode(target);
        if (from.isEmpty() || to.isEmpty() || from == to)
            continue;
        // A pair is sent as the server spells it; both its languages are
        // taken from the same pair, so that they agree.
        const QString mode = from + QLatin1Char('_') + to;
        if (!offer.modes.contains(mode)) {
            offer.modes << mode;
            offer.spelling[mode] = {source, target};
        }
    }
    return offer;
}

QString apyTranslation(const QByteArray& body)
{
    const QJsonValue text = object(body)
                                .value(QLatin1String("responseData"))
                                .toObject()
                                .value(QLatin1String("translatedText"));
    if (!text.isString())
        throw BadReply("the answer has no translated text");
    return text.toString();
}

QString apyError(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    const QJsonObject object = doc.object();
    QString text = object.value(QLatin1String("explanation")).toString();
    if (text.isEmpty())
        text = object.value(QLatin1String("message")).toString();
    return shown(text);
}
} // namespace RemoteReplies
