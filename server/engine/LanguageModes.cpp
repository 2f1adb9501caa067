#include "server/engine/LanguageModes.h"

#include "server/engine/ServiceFault.h"

namespace {
struct LanguageRow
{
    const char* code;
    const char* name;
    // Further spellings in Apertium mode names (ISO 639-2/3).
    const char* apertium[3];
};

const LanguageRow languageRows[] = {
    {"en", "English", {"eng", nullptr, nullptr}}, {"fr", "French", {"fra", "fre", nullptr}},
    {"de", "German", {"deu", "ger", nullptr}},    {"es", "Spanish", {"spa", nullptr, nullptr}},
    {"it", "Italian", {"ita", nullptr, nullptr}}, {"pt", "Portuguese", {"por", nullptr, nullptr}},
    {"ru", "Russian", {"rus", nullptr, nullptr}}, {"zh", "Chinese", {"zho", "chi", "cmn"}},
    {"ko", "Korean", {"kor", nullptr, nullptr}},  {"ja", "Japanese", {"jpn", nullptr, nullptr}},
};
} // namespace

namespace ServiceLanguages {
const QStringList& codes()
{
    static const QStringList all = [] {
        QStringList list;
        for (const auto& row : languageRows)
            list << QLatin1String(row.code);
        return list;
    }();
    return all;
}

bool isKnown(const QString& code)
{
    return codes().contains(code);
}

QString name(const QString& code)
{
    for (const auto& row : languageRows) {
        if (code == QLatin1String(row.code))
            return QLatin1String(row.name);
    }
    return code;
}

QString fromApertiumCode(const QString& code)
{
    for (const auto& row : languageRows) {
        if (code == QLatin1String(row.code))
            return code;
        for (const char* other : row.apertium) {
            if (other && code == QLatin1String(other))
                return QLatin1String(row.code);
        }
    }
    return {};
}
} // namespace ServiceLanguages

namespace {
// A mode as quoted in a message: long garbage is cut short.
QString shown(const QString& mode)
{
    return mode.size() <= 40 ? mode : mode.left(40) + QStringLiteral("...");
}
} // namespace

TranslationMode TranslationMode::parse(const QString& mode)
{
    const QString trimmed = mode.trimmed().toLower();
    const QStringList parts = trimmed.split(QLatin1Char('_'));
    const QString expected = QStringLiteral("; a mode is two language codes joined by \"_\", "
                                            "such as \"en_fr\", out of %1")
                                 .arg(ServiceLanguages::codes().join(QStringLiteral(", ")));
    if (trimmed.isEmpty())
        throw ServiceFault::client(QStringLiteral("The translation mode is empty") + expected);
    if (parts.size() != 2)
        throw ServiceFault::client(
            QStringLiteral("\"%1\" is not a translation mode").arg(shown(mode)) + expected);
    for (const QString& code : parts) {
        if (!ServiceLanguages::isKnown(code))
            throw ServiceFault::client(
                QStringLiteral("Unknown language \"%1\" in the translation mode \"%2\"")
                    .arg(shown(code), shown(mode)) +
                expected);
    }
    return {parts[0], parts[1]};
}
