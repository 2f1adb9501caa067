#include "platform/LocaleRegistry.h"

#include <utility>

namespace {

struct Entry
{
    const char* locale;
    quint16 identifier;
};

// Windows language identifiers: the sub-language in the upper six bits, the
// primary language in the lower ten.
constexpr Entry Territories[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409},
    {"en_IE", 0x1809}, {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"fr_LU", 0x140C}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_AR", 0x2C0A}, {"de_DE", 0x0407},
    {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
    {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"ru_RU", 0x0419},
    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404},
};

constexpr Entry Languages[] = {
    {"en", 0x0409}, {"fr", 0x040C}, {"es", 0x0C0A}, {"de", 0x0407}, {"pt", 0x0416},
    {"it", 0x0410}, {"ja", 0x0411}, {"ko", 0x0412}, {"ru", 0x0419}, {"zh", 0x0804},
};

template <std::size_t N> int lookUp(const Entry (&table)[N], const QString& key)
{
    for (const Entry& entry : table) {
        if (key == QLatin1String(entry.locale))
            return entry.identifier;
    }
    return -1;
}

QString hex(int value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

} // namespace

LocaleRegistry::LocaleRegistry()
    : LocaleRegistry(
          [](const QString& name) { return qEnvironmentVariable(name.toLocal8Bit().constData()); })
{
}

LocaleRegistry::LocaleRegistry(Environment environment) : m_environment(std::move(environment)) {}

QString LocaleRegistry::posixLocale() const
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = m_environment(QLatin1String(name));
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

QString LocaleRegistry::installLanguage() const
{
    return languageIdentifier(posixLocale());
}

QString LocaleRegistry::locale() const
{
    const QString identifier = installLanguage();
    return identifier.isEmpty() ? QString() : QStringLiteral("0000") + identifier;
}

QString LocaleRegistry::languageIdentifier(const QString& posixLocale)
{
    // language[_territory][.codeset][@modifier]
    QString name = posixLocale.trimmed();
    for (const QChar stop : {QLatin1Char('.'), QLatin1Char('@')}) {
        const qsizetype cut = name.indexOf(stop);
        if (cut >= 0)
            name.truncate(cut);
    }
    name.replace(QLatin1Char('-'), QLatin1Char('_')); // "en-US" as some tools write it

    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    const QString language = (underscore < 0 ? name : name.left(underscore)).toLower();
    const QString territory = underscore < 0 ? QString() : name.mid(underscore + 1).toUpper();
    // "C" and "POSIX" name no language and are in neither table.

    int identifier = -1;
    if (!territory.isEmpty())
        identifier = lookUp(Territories, language + QLatin1Char('_') + territory);
    if (identifier < 0)
        identifier = lookUp(Languages, language);
    return identifier < 0 ? QString() : hex(identifier, 4);
}
