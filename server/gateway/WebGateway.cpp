#include "server/gateway/WebGateway.h"

#include "server/ServerLogging.h"
#include "server/engine/HtmlPage.h"
#include "server/engine/ServiceFault.h"
#include "server/gateway/GatewayRequest.h"

namespace {
WebGateway::Answer page(unsigned status, const QString& title, const QString& message,
                        const QString& more = QString())
{
    const QString html =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                       "</head>\n<body><h1>%1</h1>\n<p>%2</p>%3\n</body></html>\n")
            .arg(HtmlPage::escape(title), HtmlPage::escape(message), more);
    return {status, html.toStdString(), true};
}

const QString notTranslated = QStringLiteral("The page cannot be translated");
const QString notFetched = QStringLiteral("The page cannot be fetched");
} // namespace

WebGateway::WebGateway(TranslationEngine& engine, const FetchLimits& limits)
    : m_engine(engine), m_limits(limits)
{
}

QString WebGateway::translateHtml(const TranslationMode& mode, const QString& html) const
{
    return m_engine.translateHtml(mode, html);
}

WebGateway::Answer WebGateway::answer(const QString& path, const QString& rawQuery,
                                      const QString& origin) const
{
    const GatewayRequest request = GatewayRequest::read(path, rawQuery);
    if (!request.problem.isEmpty())
        return page(400, notTranslated, request.problem);
    const TranslationMode& mode = request.mode;
    if (!m_engine.canTranslate(mode))
        return page(
            400, notTranslated,
            QStringLiteral("This gateway cannot translate from %1 to %2: that language "
                           "pair is not installed. Please choose another pair.")
                .arg(ServiceLanguages::name(mode.source), ServiceLanguages::name(mode.target)));

    FetchedPage fetched;
    try {
        fetched = fetchPage(QUrl::fromEncoded(request.address.toUtf8(), QUrl::TolerantMode),
                            m_limits, m_targets);
    } catch (const FetchFailure& failure) {
        qCDebug(lcServer).noquote() << "gateway:" << failure.message();
        const unsigned status = failure.kind() == FetchFailure::Kind::Refused   ? 403
                                : failure.kind() == FetchFailure::Kind::TooSlow ? 504
                                                                                : 502;
        return page(status, notFetched, failure.message());
    }

    const HtmlPage::Kind kind = HtmlPage::kindOf(fetched.contentType, fetched.body);
    const QString address = fetched.url.toString(QUrl::FullyEncoded);
    if (kind == HtmlPage::Kind::Other) {
        const QString type =
            QString::fromStdString(fetched.contentType.substr(0, fetched.contentType.find(';')));
        return page(200, QStringLiteral("The page is not translated"),
                    QStringLiteral("%1 is %2, not a web page or text, so there is nothing to "
                                   "translate.")
                        .arg(fetched.url.toDisplayString(),
                             type.isEmpty() ? QStringLiteral("of an unknown kind")
                                            : QStringLiteral("of the type ") + type.trimmed()),
                    QStringLiteral("\n<p><a href=\"%1\">Open it untranslated</a></p>")
                        .arg(HtmlPage::escape(address)));
    }

    const QString text = HtmlPage::decode(fetched.body, fetched.contentType, kind);
    std::string().swap(fetched.body);
    try {
        if (kind == HtmlPage::Kind::Text)
            return {200, m_engine.translate(mode, text).toStdString(), false, true};
        const QString self = origin + path + QLatin1Char('?') + rawQuery;
        const auto throughGateway = [&](const QUrl& target) {
            QUrl bare = target;
            bare.setFragment(QString());
            QString link = origin + request.linkPrefix + bare.toString(QUrl::FullyEncoded) +
                           request.linkSuffix;
            if (target.hasFragment())
                link += QLatin1Char('#') + target.fragment(QUrl::FullyEncoded);
            return link;
        };
        const QString translated = translateHtml(mode, text);
        return {200,
                HtmlPage::rewriteLinks(translated, fetched.url, self, throughGateway).toStdString(),
                true, true};
    } catch (const TarquellError& e) {
        qCWarning(lcServer).noquote() << "gateway:" << e.message();
        return page(500, notTranslated,
                    QStringLiteral("The page %1 was fetched, but its translation failed: %2")
                        .arg(fetched.url.toDisplayString(), e.message()));
    }
}
