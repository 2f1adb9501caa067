#pragma once

#include <QString>
#include <QStringList>

// The ten languages a translation mode names, as the client spells them
// ("en", "fr", ...), with their English names for messages.
namespace ServiceLanguages {
// "en", "fr", "de", "es", "it", "pt", "ru", "zh", "ko", "ja".
const QStringList& codes();
bool isKnown(const QString& code);
// "English" for "en"; the code itself when unknown.
QString name(const QString& code);
// The client code for a code used in Apertium's mode names: "eng", "spa",
// "es", "pt" and so on. Empty when the language is none of the ten.
QString fromApertiumCode(const QString& code);
} // namespace ServiceLanguages

// A translation mode such as "en_fr": source and target language codes.
struct TranslationMode
{
    QString source;
    QString target;

    QString text() const { return source + QLatin1Char('_') + target; }
    bool operator==(const TranslationMode&) const = default;

    // Reads "en_fr" (surrounding blanks and letter case are forgiven).
    // Throws a Client ServiceFault that says what is wrong.
    static TranslationMode parse(const QString& mode);
};
