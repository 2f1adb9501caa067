#include "platform/LanguageDetection.h"

#include "platform/InterfaceLanguages.h"

namespace {

// Positions 3-4 of a language identifier: its primary language. Empty for a
// code shorter than four characters' worth.
QString primaryLanguage(const QString& code)
{
    return code.mid(2, 2);
}

void applyFirstRules(const QString& code, QString& language)
{
    if (primaryLanguage(code).toUpper() == QLatin1String("0C"))
        language = QStringLiteral("French");
    if (primaryLanguage(code) == QLatin1String("04"))
        language = QStringLiteral("Chinese");
    if (code == QLatin1String("0404"))
        language = QStringLiteral("Chinese(Taiwan Province)");
}

} // namespace

QString detectInterfaceLanguage(const QString& installLanguage, const QString& locale,
                                const QString& operatingSystem)
{
    QString language = QStringLiteral("English");
    QString code = installLanguage;
    applyFirstRules(code, language);

    if (operatingSystem != QLatin1String("Windows NT")) {
        // The locale value carries the language identifier in its last four
        // of eight digits.
        code = locale.mid(4, 4);
        applyFirstRules(code, language);
        if (primaryLanguage(code) == QLatin1String("09"))
            language = QStringLiteral("English");
    }

    // Compared as stored: these identifiers are written in upper case.
    const QString primary = primaryLanguage(code);
    for (const InterfaceLanguage& l : interfaceLanguages())
        if (*l.detectedBy && primary == QLatin1String(l.detectedBy))
            language = QString::fromUtf8(l.stored);
    return language;
}
