#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <map>
#include <stdexcept>

// Readers of what LibreTranslate and Apertium APy servers answer. A server
// is a network peer: anything may come, and what does not have the
// documented shape is a BadReply, never a crash or a guess.
namespace RemoteReplies {
class BadReply : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What a server offers among the ten languages.
struct Offer
{
    // "de_en", ...: the modes it translates itself.
    QSet<QString> modes;
    // Each mode's source and target as the server spells them ("zh-Hans",
    // "fra").
    std::map<QString, std::pair<QString, QString>> spelling;
};

// LibreTranslate's GET /languages: [{"code", "name", "targets": [...]}].
// A server too old to list targets translates between all it lists.
Offer libreLanguages(const QByteArray& body);

// LibreTranslate's GET /frontend/settings.
struct LibreSettings
{
    qint64 charLimit = -1; // -1: none
    bool filesTranslation = false;
    QStringList fileFormats; // ".txt", ".docx", ...
};
LibreSettings libreSettings(const QByteArray& body);

// POST /translate's {"translatedText": ...}: one text, or for a batch of
// count texts a list of exactly count.
QStringList libreTranslation(const QByteArray& body, qsizetype count);
// POST /translate_file's {"translatedFileUrl": ...}.
QString libreFileUrl(const QByteArray& body);
// The text of an {"error": ...} body; empty when the body is not one.
QString libreError(const QByteArray& body);

// APy's GET /listPairs: {"responseData": [{"sourceLanguage",
// "targetLanguage"}], "responseStatus": 200}.
Offer apyPairs(const QByteArray& body);
// APy's /translate: {"responseData": {"translatedText": ...}}.
QString apyTranslation(const QByteArray& body);
// The explanation of an APy error body ({"status": "error", "code",
// "message", "explanation"}); empty when the body is not one.
QString apyError(const QByteArray& body);

// A server's own words made fit for a message: control characters out,
// blanks collapsed, at most 300 characters.
QString shown(const QString& text);
// Our code for a LibreTranslate language code; empty when none of the ten.
QString fromLibreCode(const QString& code);
} // namespace RemoteReplies
