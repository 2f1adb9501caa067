#include "cli/LanguageList.h"

#include "platform/Errors.h"
#include "service/THTTPReqResp.h"
#include "translate/Languages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>
#include <map>

namespace LanguageList {
QString allLanguages()
{
    QString lines;
    for (const Language& l : languageTable())
        lines += l.code + QLatin1Char('\t') + l.name + QLatin1Char('\n');
    return lines;
}

QString fromLanguages(const QByteArray& answer)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(answer, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return {};
    std::map<QString, QSet<QString>> targets;
    for (const QJsonValue& item : doc.array()) {
        const QJsonObject language = item.toObject();
        QSet<QString>& to = targets[language.value(QLatin1String("code")).toString()];
        for (const QJsonValue& target : language.value(QLatin1String("targets")).toArray())
            to << target.toString();
    }
    // In the window's order, with the window's names.
    QString lines;
    for (const Language& source : languageTable()) {
        const auto it = targets.find(source.code);
        if (it == targets.end())
            continue;
        QStringList codes;
        for (const Language& target : languageTable()) {
            if (target.code != source.code && it->second.contains(target.code))
                codes << target.code;
        }
        if (!codes.isEmpty())
            lines += source.code + QLatin1Char('\t') + source.name + QLatin1Char('\t') +
                     codes.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return lines;
}

QString ask(THTTPReqResp& transport, const QString& location, QString* note)
{
    QUrl url(location);
    url.setPath(QStringLiteral("/languages"));
    url.setQuery(QString());
    url.setFragment(QString());
    try {
        const QString lines = fromLanguages(transport.fetchDocument(url.toString()));
        if (!lines.isEmpty()) {
            *note = QStringLiteral("the languages %1 translates now")
                        .arg(url.adjusted(QUrl::RemovePath).toString());
            return lines;
        }
    } catch (const TarquellError&) {
        // A service without the question: the ten languages.
    }
    *note = QStringLiteral("%1 does not say which languages it translates; these are the "
                           "languages of the program")
                .arg(url.adjusted(QUrl::RemovePath).toString());
    return allLanguages();
}
} // namespace LanguageList
