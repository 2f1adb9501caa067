#pragma once

#include <QByteArray>
#include <QString>

class THTTPReqResp;

// What --list prints: one line per language, "code<TAB>name", and when the
// service says what it can translate now (GET /languages of its
// LibreTranslate API), only the languages it translates from, each
// followed by a tab and the codes it translates them into.
namespace LanguageList {
// The lines for a /languages answer; empty when the answer is not one.
QString fromLanguages(const QByteArray& answer);
// The ten languages, as the window knows them.
QString allLanguages();
// Asks the service whose WSDL location is given; the ten languages when
// it does not answer the question. note says which it was.
QString ask(THTTPReqResp& transport, const QString& location, QString* note);
} // namespace LanguageList
