#pragma once

#include <QString>
#include <functional>

// Answers the two language values the start-up language detection reads. On
// Linux they come from the POSIX locale: LC_ALL, then LC_MESSAGES, then LANG,
// the first non-empty one wins. A locale such as "fr_CA.UTF-8@euro" is taken
// as language "fr" and territory "CA" and turned into its Windows language
// identifier (0C0C). "C", "POSIX", an empty or an unknown locale gives no
// answer: both values are empty.
class LocaleRegistry
{
public:
    // Looks up one environment variable; returns empty when it is unset.
    using Environment = std::function<QString(const QString& name)>;

    // The process environment.
    LocaleRegistry();
    explicit LocaleRegistry(Environment environment);

    // Four upper-case hex digits, such as "0409"; empty when unknown.
    QString installLanguage() const;
    // Eight hex digits, such as "00000409"; empty when unknown.
    QString locale() const;

    // The locale name that is in force, as found in the environment.
    QString posixLocale() const;

    // The Windows language identifier of a POSIX locale name, as four
    // upper-case hex digits; empty when the locale is not in the table. A
    // territory that is not in the table falls back to the language's main
    // identifier ("fr_LU" and "fr" give 040C).
    static QString languageIdentifier(const QString& posixLocale);

private:
    Environment m_environment;
};
