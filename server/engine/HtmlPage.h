#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <string>

// What the web page gateway does to a page around its translation: decode
// it to text, write out the letters a deformatter would take for markup,
// send its links back through the gateway, and escape what goes into a page.
namespace HtmlPage {
enum class Kind { Html, Text, Other };

// HTML, plain text or anything else, by the Content-Type; a page without
// one by its first characters.
Kind kindOf(const std::string& contentType, const std::string& body);
// The page as text: decoded from the charset the Content-Type names, else
// from a byte order mark, else (HTML) from the charset its meta element
// declares, else UTF-8 when the bytes are valid UTF-8, else windows-1252.
// Bytes the charset does not know become U+FFFD.
QString decode(const std::string& body, const std::string& contentType, Kind kind);
// Letters written as character references ("&eacute;", "&#233;") in the
// text of the page, written as the letters themselves: a deformatter puts a
// reference into a superblank, which cuts its word in two (and
// apertium-deshtml turns it into two wrong characters). Markup, comments,
// scripts and styles are left as they are.
QString spellOutLetters(const QString& html);
// Every a and area href and every frame and iframe src that leads to an
// http or https page becomes throughGateway(the absolute address); a link
// within the page ("#part") becomes self + "#part", so that it stays on the
// translated page. A <base href> is added after <head> (an existing one
// made absolute), so that images, styles and scripts still load from the
// page's own site.
QString rewriteLinks(const QString& html, const QUrl& page, const QString& self,
                     const std::function<QString(const QUrl&)>& throughGateway);
// & < > " and ' as character references.
QString escape(const QString& text);
} // namespace HtmlPage
