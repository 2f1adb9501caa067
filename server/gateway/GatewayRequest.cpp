#include "server/gateway/GatewayRequest.h"

#include "server/engine/ServiceFault.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace {
enum class PairStyle {
    PairCode, // lp=en_fr
    Title,    // language=English/French
    Codes,    // sl=en, hl=fr
    Iso639,   // from=eng, to=fre
};

struct Format
{
    int server;
    const char* path;
    // For the gateways that share "/": the first piece of their query.
    const char* firstPiece;
    const char* addressKey;
    PairStyle pair;
};

const Format formats[] = {
    {1, "/systran/cgi", nullptr, "urltext", PairStyle::PairCode},
    {2, "/tr", nullptr, "url", PairStyle::PairCode},
    {3, "/url_b.html", nullptr, "url", PairStyle::PairCode},
    {4, "/", "sequence=core", "url", PairStyle::Title},
    {5, "/translate_c", nullptr, "u", PairStyle::Codes},
    {6, "/", "partner=Lycos2-en", "urltext", PairStyle::PairCode},
    {7, "/Translate/index.shtml", nullptr, "url", PairStyle::Iso639},
};

// What follows the address in Server 2's requests; single ampersands are
// forgiven.
const QLatin1String server2Tails[] = {QLatin1String("&&doit=done&&tt=url&&urltext="),
                                      QLatin1String("&doit=done&tt=url&urltext=")};

QString firstPiece(const QString& query)
{
    qsizetype start = 0;
    while (start < query.size() && query[start] == QLatin1Char('&'))
        ++start;
    const qsizetype end = query.indexOf(QLatin1Char('&'), start);
    return query.mid(start, end < 0 ? -1 : end - start);
}

const Format* formatFor(const QString& path, const QString& query)
{
    for (const Format& f : formats) {
        if (path != QLatin1String(f.path))
            continue;
        if (!f.firstPiece || firstPiece(query) == QLatin1String(f.firstPiece))
            return &f;
    }
    return nullptr;
}

// Where the value of `key` begins: the first piece of the query that starts
// with "key=". -1 when there is none.
qsizetype valueStart(const QString& query, const QString& key)
{
    const QString needle = key + QLatin1Char('=');
    for (qsizetype at = 0; at < query.size();) {
        if (query.mid(at, needle.size()) == needle)
            return at + needle.size();
        const qsizetype amp = query.indexOf(QLatin1Char('&'), at);
        if (amp < 0)
            break;
        at = amp + 1;
    }
    return -1;
}

// The pieces before the address: key=value, percent-decoded.
QHash<QString, QString> leadingPieces(const QString& head)
{
    QHash<QString, QString> pieces;
    for (const QString& piece : head.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype eq = piece.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? piece : piece.left(eq);
        const QString value = eq < 0 ? QString() : piece.mid(eq + 1);
        pieces.insert(key, QUrl::fromPercentEncoding(value.toUtf8()).trimmed());
    }
    return pieces;
}

QString codeForName(const QString& name)
{
    for (const QString& code : ServiceLanguages::codes()) {
        if (ServiceLanguages::name(code).compare(name, Qt::CaseInsensitive) == 0)
            return code;
    }
    return {};
}

QString codeForIso639(const QString& code)
{
    // The codes this format uses, "poe" for Portuguese among them.
    static const QHash<QString, QString> codes{
        {QStringLiteral("eng"), QStringLiteral("en")},
        {QStringLiteral("poe"), QStringLiteral("pt")},
        {QStringLiteral("spa"), QStringLiteral("es")},
        {QStringLiteral("fre"), QStringLiteral("fr")},
        {QStringLiteral("ger"), QStringLiteral("de")},
        {QStringLiteral("ita"), QStringLiteral("it")},
        {QStringLiteral("jpn"), QStringLiteral("ja")},
        {QStringLiteral("rus"), QStringLiteral("ru")},
    };
    const QString lower = code.toLower();
    if (const auto it = codes.find(lower); it != codes.end())
        return *it;
    // Anything else the service knows by an Apertium spelling.
    return ServiceLanguages::fromApertiumCode(lower);
}

// "?" for a spelling that names no language, "" for none.
QString unknown(const QString& spelling)
{
    return spelling.isEmpty() ? QString() : QStringLiteral("?");
}

// Source and target as the request spells them, "" for each one missing.
std::pair<QString, QString> namedLanguages(PairStyle style, const QHash<QString, QString>& pieces,
                                           QString* spelling)
{
    switch (style) {
    case PairStyle::PairCode: {
        const QString lp = pieces.value(QStringLiteral("lp"));
        *spelling = lp;
        const qsizetype bar = lp.indexOf(QLatin1Char('_'));
        if (bar < 0)
            return {unknown(lp), unknown(lp)};
        return {lp.left(bar).toLower(), lp.mid(bar + 1).toLower()};
    }
    case PairStyle::Title: {
        const QString title = pieces.value(QStringLiteral("language"));
        *spelling = title;
        const qsizetype slash = title.indexOf(QLatin1Char('/'));
        if (title.isEmpty())
            return {};
        if (slash < 0)
            return {unknown(title), unknown(title)};
        const QString source = codeForName(title.left(slash).trimmed());
        const QString target = codeForName(title.mid(slash + 1).trimmed());
        return {source.isEmpty() ? QStringLiteral("?") : source,
                target.isEmpty() ? QStringLiteral("?") : target};
    }
    case PairStyle::Codes:
        *spelling = pieces.value(QStringLiteral("sl")) + QLatin1Char('/') +
                    pieces.value(QStringLiteral("hl"));
        return {pieces.value(QStringLiteral("sl")).toLower(),
                pieces.value(QStringLiteral("hl")).toLower()};
    case PairStyle::Iso639: {
        const QString from = pieces.value(QStringLiteral("from"));
        const QString to = pieces.value(QStringLiteral("to"));
        *spelling = from + QLatin1Char('/') + to;
        const auto code = [](const QString& c) {
            if (c.isEmpty())
                return QString();
            const QString known = codeForIso639(c);
            return known.isEmpty() ? QStringLiteral("?") : known;
        };
        return {code(from), code(to)};
    }
    }
    return {};
}

// "http://" in front of an address that names no scheme; "localhost:8080/x"
// names none either.
QString withScheme(const QString& address)
{
    static const QRegularExpression hierarchical(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    static const QRegularExpression opaque(
        QStringLiteral("^(javascript|data|mailto|file|about|blob|view-source|ftp|news|tel):"),
        QRegularExpression::CaseInsensitiveOption);
    if (hierarchical.match(address).hasMatch() || opaque.match(address).hasMatch())
        return address;
    return QStringLiteral("http://") + address;
}
} // namespace

bool GatewayRequest::isGatewayPath(const QString& path, const QString& rawQuery)
{
    return formatFor(path, rawQuery) != nullptr;
}

GatewayRequest GatewayRequest::read(const QString& path, const QString& query)
{
    GatewayRequest request;
    const Format* format = formatFor(path, query);
    if (!format) {
        request.problem = QStringLiteral("This address is not one of the gateway's.");
        return request;
    }
    request.server = format->server;
    const QString key = QLatin1String(format->addressKey);
    const qsizetype start = valueStart(query, key);
    if (start < 0) {
        request.problem =
            QStringLiteral("The request names no page to translate: it has no \"%1=\".").arg(key);
        return request;
    }
    QString address = query.mid(start);
    QString tail;
    if (format->server == 2) {
        for (const QLatin1String candidate : server2Tails) {
            const qsizetype at = address.lastIndexOf(candidate);
            if (at >= 0) {
                tail = address.mid(at);
                address.truncate(at);
                break;
            }
        }
    }
    request.linkPrefix = path + QLatin1Char('?') + query.left(start);
    request.linkSuffix = tail;

    QString spelling;
    const auto [source, target] =
        namedLanguages(format->pair, leadingPieces(query.left(start)), &spelling);
    if (source.isEmpty() || target.isEmpty()) {
        request.problem = QStringLiteral("The request does not say which languages to translate "
                                         "between.");
        return request;
    }
    try {
        request.mode = TranslationMode::parse(source + QLatin1Char('_') + target);
    } catch (const ServiceFault&) {
        request.problem =
            QStringLiteral("The request names languages this gateway does not know: \"%1\".")
                .arg(spelling);
        return request;
    }

    // A whole address percent-encoded, as some pages link to gateways.
    if (address.startsWith(QLatin1String("http%3A"), Qt::CaseInsensitive) ||
        address.startsWith(QLatin1String("https%3A"), Qt::CaseInsensitive))
        address = QUrl::fromPercentEncoding(address.toUtf8());
    address = address.trimmed();
    if (address.isEmpty()) {
        request.problem = QStringLiteral("The request names no page to translate.");
        return request;
    }
    address = withScheme(address);
    const QUrl url = QUrl::fromEncoded(address.toUtf8(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        request.problem =
            QStringLiteral("Only http and https pages can be translated, not \"%1\".").arg(address);
        return request;
    }
    if (!url.isValid() || url.host().isEmpty()) {
        request.problem = QStringLiteral("\"%1\" is not a page address.").arg(address);
        return request;
    }
    request.address = address;
    return request;
}
