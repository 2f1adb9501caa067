#include "server/engine/HtmlPage.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace HtmlPage {
namespace {
// The letters of Latin-1 by their entity names, from U+00C0; "times" and
// "divide" are no letters and left out.
const char* const latin1Letters[] = {
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig", "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc", "Iuml",
    "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",  nullptr,
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN", "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig", "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc", "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",  nullptr,
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn", "yuml",
};

// The character a reference at text[at] ("&...;") stands for, and its
// length; 0 when it is none this code reads. Named references: the Latin-1
// letters and, with markup, the five of markup itself.
std::pair<char32_t, qsizetype> reference(const QString& text, qsizetype at, bool markup)
{
    // Only as far as the longest reference read here: a page of '&'
    // without one ';' must not be searched to its end from each of them.
    const qsizetype found = QStringView(text).mid(at, 13).indexOf(QLatin1Char(';'));
    const qsizetype semi = found < 0 ? -1 : at + found;
    if (semi < 0 || semi - at > 12 || semi - at < 3)
        return {0, 0};
    const QString name = text.mid(at + 1, semi - at - 1);
    const qsizetype length = semi - at + 1;
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const bool hex =
            name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
        const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return {0, 0};
        return {static_cast<char32_t>(code), length};
    }
    for (size_t i = 0; i < std::size(latin1Letters); ++i) {
        if (latin1Letters[i] && name == QLatin1String(latin1Letters[i]))
            return {static_cast<char32_t>(0xC0 + i), length};
    }
    if (markup) {
        static const std::pair<const char*, char32_t> markupNames[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [n, c] : markupNames) {
            if (name == QLatin1String(n))
                return {c, length};
        }
    }
    return {0, 0};
}

// An attribute's value as it reads: its character references resolved.
QString attributeValue(const QString& raw)
{
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == QLatin1Char('&')) {
            const auto [c, length] = reference(raw, i, true);
            if (length > 0) {
                out += QString::fromUcs4(&c, 1);
                i += length - 1;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

struct Attribute
{
    QString name;              // lower case
    qsizetype valueStart = -1; // of the value, quotes included; -1 without a value
    qsizetype valueEnd = -1;
    QString value; // references resolved
};

struct Tag
{
    qsizetype start = 0;
    qsizetype end = 0; // past '>'
    QString name;      // lower case
    bool closing = false;
    std::vector<Attribute> attributes;

    const Attribute* attribute(const char* wanted) const
    {
        for (const Attribute& a : attributes) {
            if (a.name == QLatin1String(wanted) && a.valueStart >= 0)
                return &a;
        }
        return nullptr;
    }
};

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

// The tag at html[at] == '<' (with a letter or '/' and a letter after it).
Tag readTag(const QString& html, qsizetype at)
{
    Tag tag;
    tag.start = at;
    qsizetype i = at + 1;
    if (html[i] == QLatin1Char('/')) {
        tag.closing = true;
        ++i;
    }
    const qsizetype nameStart = i;
    while (i < html.size() && !isSpace(html[i]) && html[i] != QLatin1Char('>') &&
           html[i] != QLatin1Char('/'))
        ++i;
    tag.name = html.mid(nameStart, i - nameStart).toLower();
    for (;;) {
        while (i < html.size() && (isSpace(html[i]) || html[i] == QLatin1Char('/')))
            ++i;
        if (i >= html.size() || html[i] == QLatin1Char('>'))
            break;
        Attribute attribute;
        const qsizetype start = i;
        while (i < html.size() && !isSpace(html[i]) && html[i] != QLatin1Char('>') &&
               html[i] != QLatin1Char('=') && (html[i] != QLatin1Char('/') || i == start))
            ++i;
        attribute.name = html.mid(start, i - start).toLower();
        qsizetype j = i;
        while (j < html.size() && isSpace(html[j]))
            ++j;
        if (j < html.size() && html[j] == QLatin1Char('=')) {
            ++j;
            while (j < html.size() && isSpace(html[j]))
                ++j;
            attribute.valueStart = j;
            if (j < html.size() && (html[j] == QLatin1Char('"') || html[j] == QLatin1Char('\''))) {
                const qsizetype close = html.indexOf(html[j], j + 1);
                attribute.valueEnd = close < 0 ? html.size() : close + 1;
                attribute.value =
                    attributeValue(html.mid(j + 1, (close < 0 ? html.size() : close) - j - 1));
            } else {
                qsizetype k = j;
                while (k < html.size() && !isSpace(html[k]) && html[k] != QLatin1Char('>'))
                    ++k;
                attribute.valueEnd = k;
                attribute.value = attributeValue(html.mid(j, k - j));
            }
            i = attribute.valueEnd;
        }
        if (!attribute.name.isEmpty())
            tag.attributes.push_back(attribute);
    }
    tag.end = std::min(html.size(), i + 1);
    return tag;
}

bool startsTag(const QString& html, qsizetype at)
{
    if (at + 1 >= html.size() || html[at] != QLatin1Char('<'))
        return false;
    QChar next = html[at + 1];
    if (next == QLatin1Char('/') && at + 2 < html.size())
        next = html[at + 2];
    return next.isLetter();
}

// Walks a page: text (with where it is), tags, and the rest (comments,
// declarations, the content of script and style) skipped.
void walk(const QString& html, const std::function<void(qsizetype, qsizetype)>& text,
          const std::function<void(const Tag&)>& onTag)
{
    qsizetype textStart = 0;
    qsizetype i = 0;
    const auto flush = [&](qsizetype end) {
        if (end > textStart)
            text(textStart, end);
    };
    while (i < html.size()) {
        if (html[i] != QLatin1Char('<')) {
            ++i;
            continue;
        }
        if (html.mid(i, 4) == QLatin1String("<!--")) {
            flush(i);
            const qsizetype close = html.indexOf(QLatin1String("-->"), i + 4);
            i = close < 0 ? html.size() : close + 3;
            textStart = i;
        } else if (i + 1 < html.size() &&
                   (html[i + 1] == QLatin1Char('!') || html[i + 1] == QLatin1Char('?'))) {
            flush(i);
            const qsizetype close = html.indexOf(QLatin1Char('>'), i);
            i = close < 0 ? html.size() : close + 1;
            textStart = i;
        } else if (startsTag(html, i)) {
            flush(i);
            const Tag tag = readTag(html, i);
            onTag(tag);
            i = tag.end;
            if (!tag.closing &&
                (tag.name == QLatin1String("script") || tag.name == QLatin1String("style"))) {
                const qsizetype close =
                    html.indexOf(QLatin1String("</") + tag.name, i, Qt::CaseInsensitive);
                i = close < 0 ? html.size() : close;
            }
            textStart = i;
        } else {
            ++i;
        }
    }
    flush(html.size());
}

QString charsetParameter(const std::string& contentType)
{
    static const QRegularExpression re(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_:.+-]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto match = re.match(
        QString::fromLatin1(contentType.data(), static_cast<qsizetype>(contentType.size())));
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

QString metaCharset(const std::string& body)
{
    static const QRegularExpression re(
        QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_:.+-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const std::string head = body.substr(0, 4096);
    const auto match =
        re.match(QString::fromLatin1(head.data(), static_cast<qsizetype>(head.size())));
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

// decode() only converts when its result is taken as a QString, and only a
// decoder with state records errors: without both, hasError() is always
// false, and windows-1252 text passes for UTF-8.
bool validUtf8(const std::string& body)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text =
        decoder.decode(QByteArrayView(body.data(), static_cast<qsizetype>(body.size())));
    return !decoder.hasError();
}

QString viaIconv(const std::string& body, const QString& charset)
{
    iconv_t cd = ::iconv_open("UTF-8", charset.toLatin1().constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString();
    std::string out;
    out.resize(body.size() * 2 + 16);
    char* in = const_cast<char*>(body.data());
    size_t inLeft = body.size();
    char* to = out.data();
    size_t toLeft = out.size();
    while (inLeft > 0) {
        if (::iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(to - out.data());
            out.resize(out.size() * 2);
            to = out.data() + used;
            toLeft = out.size() - used;
            continue;
        }
        // A byte the charset does not know, or a sequence cut at the end.
        if (toLeft < 3) {
            const size_t used = static_cast<size_t>(to - out.data());
            out.resize(out.size() + 64);
            to = out.data() + used;
            toLeft = out.size() - used;
        }
        *to++ = '\xEF';
        *to++ = '\xBF';
        *to++ = '\xBD';
        toLeft -= 3;
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    ::iconv_close(cd);
    out.resize(static_cast<size_t>(to - out.data()));
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}
} // namespace

Kind kindOf(const std::string& contentType, const std::string& body)
{
    std::string type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && type.back() == ' ')
        type.pop_back();
    for (char& c : type)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (type == "text/html" || type == "application/xhtml+xml")
        return Kind::Html;
    if (type == "text/plain")
        return Kind::Text;
    if (!type.empty())
        return Kind::Other;
    const size_t first = body.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && body[first] == '<')
        return Kind::Html;
    return body.substr(0, 1024).find('\0') == std::string::npos ? Kind::Text : Kind::Other;
}

QString decode(const std::string& body, const std::string& contentType, Kind kind)
{
    QString charset = charsetParameter(contentType);
    if (charset.isEmpty()) {
        if (body.rfind("\xEF\xBB\xBF", 0) == 0)
            charset = QStringLiteral("utf-8");
        else if (body.rfind("\xFF\xFE", 0) == 0)
            charset = QStringLiteral("utf-16le");
        else if (body.rfind("\xFE\xFF", 0) == 0)
            charset = QStringLiteral("utf-16be");
    }
    if (charset.isEmpty() && kind == Kind::Html)
        charset = metaCharset(body);
    if (charset.isEmpty())
        charset = validUtf8(body) ? QStringLiteral("utf-8") : QStringLiteral("windows-1252");
    // As browsers do: Latin-1 and ASCII labels mean windows-1252.
    if (charset == QLatin1String("iso-8859-1") || charset == QLatin1String("latin1") ||
        charset == QLatin1String("us-ascii") || charset == QLatin1String("ascii"))
        charset = QStringLiteral("windows-1252");
    const QByteArrayView bytes(body.data(), static_cast<qsizetype>(body.size()));
    if (charset == QLatin1String("utf-8") || charset == QLatin1String("utf8"))
        return QStringDecoder(QStringDecoder::Utf8).decode(bytes);
    if (charset.startsWith(QLatin1String("utf-16"))) {
        QStringDecoder decoder(charset == QLatin1String("utf-16be") ? QStringDecoder::Utf16BE
                                                                    : QStringDecoder::Utf16LE);
        return decoder.decode(bytes);
    }
    const QString converted = viaIconv(body, charset);
    if (!converted.isNull() || body.empty())
        return converted;
    // A charset nobody knows: the bytes as UTF-8, errors marked.
    return QStringDecoder(QStringDecoder::Utf8).decode(bytes);
}

QString spellOutLetters(const QString& html)
{
    QString out;
    out.reserve(html.size());
    qsizetype copied = 0;
    walk(
        html,
        [&](qsizetype start, qsizetype end) {
            // Searched within the run only: a page of many short runs and
            // one '&' at its end is read once.
            const QStringView run = QStringView(html).mid(start, end - start);
            for (qsizetype at = run.indexOf(QLatin1Char('&')); at >= 0;
                 at = run.indexOf(QLatin1Char('&'), at + 1)) {
                const qsizetype i = start + at;
                const auto [c, length] = reference(html, i, false);
                if (length == 0 || i + length > end || !QChar::isLetter(c))
                    continue;
                out += QStringView(html).mid(copied, i - copied);
                out += QString::fromUcs4(&c, 1);
                copied = i + length;
            }
        },
        [](const Tag&) {});
    out += QStringView(html).mid(copied);
    return out;
}

QString rewriteLinks(const QString& html, const QUrl& page, const QString& self,
                     const std::function<QString(const QUrl&)>& throughGateway)
{
    // The page's own base, if it names one, is where its links lead from.
    QUrl base = page;
    bool hasBase = false;
    qsizetype headEnd = -1; // where a <base> goes, else after <html>, else before the content
    qsizetype htmlEnd = -1;
    qsizetype firstContent = -1;
    walk(
        html,
        [&](qsizetype start, qsizetype end) {
            if (firstContent < 0 && !QStringView(html).mid(start, end - start).trimmed().isEmpty())
                firstContent = start;
        },
        [&](const Tag& tag) {
            if (tag.closing)
                return;
            if (tag.name == QLatin1String("head")) {
                if (headEnd < 0)
                    headEnd = tag.end;
            } else if (tag.name == QLatin1String("html")) {
                if (htmlEnd < 0)
                    htmlEnd = tag.end;
            } else if (firstContent < 0) {
                firstContent = tag.start;
            }
            if (tag.name == QLatin1String("base") && !hasBase) {
                if (const Attribute* href = tag.attribute("href")) {
                    base = page.resolved(QUrl(href->value.trimmed()));
                    hasBase = true;
                }
            }
        });

    const auto quoted = [](const QString& value) {
        return QLatin1Char('"') + escape(value) + QLatin1Char('"');
    };
    QString out;
    out.reserve(html.size() + html.size() / 8);
    qsizetype copied = 0;
    const auto replaceValue = [&](const Attribute& a, const QString& value) {
        out += QStringView(html).mid(copied, a.valueStart - copied);
        out += quoted(value);
        copied = a.valueEnd;
    };
    if (!hasBase) {
        const qsizetype at = headEnd >= 0   ? headEnd
                             : htmlEnd >= 0 ? htmlEnd
                                            : std::max<qsizetype>(0, firstContent);
        out += QStringView(html).mid(0, at);
        out += QStringLiteral("<base href=") + quoted(page.toString(QUrl::FullyEncoded)) +
               QLatin1Char('>');
        copied = at;
    }
    walk(
        html, [](qsizetype, qsizetype) {},
        [&](const Tag& tag) {
            if (tag.closing || tag.start < copied)
                return;
            const char* name = nullptr;
            if (tag.name == QLatin1String("a") || tag.name == QLatin1String("area"))
                name = "href";
            else if (tag.name == QLatin1String("frame") || tag.name == QLatin1String("iframe"))
                name = "src";
            else if (tag.name == QLatin1String("base") && hasBase)
                name = "href";
            const Attribute* a = name ? tag.attribute(name) : nullptr;
            if (!a)
                return;
            const QString value = a->value.trimmed();
            if (tag.name == QLatin1String("base")) {
                replaceValue(*a, base.toString(QUrl::FullyEncoded));
                return;
            }
            if (value.startsWith(QLatin1Char('#'))) {
                replaceValue(*a, self + value);
                return;
            }
            if (value.isEmpty())
                return;
            const QUrl target =
                base.resolved(QUrl::fromEncoded(value.toUtf8(), QUrl::TolerantMode));
            const QString scheme = target.scheme().toLower();
            if (!target.isValid() ||
                (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
                return; // mailto:, javascript: and the like stay as they are
            replaceValue(*a, throughGateway(target));
        });
    out += QStringView(html).mid(copied);
    return out;
}

QString escape(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}
} // namespace HtmlPage
