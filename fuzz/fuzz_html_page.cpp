// What the web page gateway does to a fetched page, on any bytes: the kind
// and charset read from the Content-Type and the page itself, the letters
// written out, the links sent through the gateway and the <base> added.
// Input: a Content-Type line, '\n', the page. Besides crashes it checks
// that only http and https addresses go through the gateway, that writing
// out letters never lengthens the page, that a page gets a <base> unless it
// has one, and that escaped text holds no markup.
#include "server/engine/HtmlPage.h"

#include <QString>
#include <QUrl>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nl = input.find('\n');
    const std::string contentType = nl == std::string::npos ? std::string() : input.substr(0, nl);
    const std::string body = nl == std::string::npos ? input : input.substr(nl + 1);

    const HtmlPage::Kind kind = HtmlPage::kindOf(contentType, body);
    const QString text = HtmlPage::decode(body, contentType, kind);
    if (kind != HtmlPage::Kind::Html)
        return 0;

    const QString spelled = HtmlPage::spellOutLetters(text);
    check(spelled.size() <= text.size());

    const QUrl page(QStringLiteral("http://example.org/dir/page.html?q=1"));
    const QString self = QStringLiteral("http://127.0.0.1:8731/translate_c?sl=en&&hl=es&&u=") +
                         page.toString(QUrl::FullyEncoded);
    const QString rewritten = HtmlPage::rewriteLinks(spelled, page, self, [&](const QUrl& target) {
        const QString scheme = target.scheme().toLower();
        check(target.isValid());
        check(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
        return QStringLiteral("http://127.0.0.1:8731/g?u=") + target.toString(QUrl::FullyEncoded);
    });
    check(rewritten.contains(QLatin1String("<base href=")) ||
          spelled.contains(QLatin1String("base"), Qt::CaseInsensitive));

    const QString escaped = HtmlPage::escape(spelled);
    for (const QChar c : escaped)
        check(c != QLatin1Char('<') && c != QLatin1Char('>') && c != QLatin1Char('"') &&
              c != QLatin1Char('\''));
    return 0;
}
