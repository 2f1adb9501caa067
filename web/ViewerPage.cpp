#include "web/ViewerPage.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace {

const QChar CtrlZ(0x1A);
const QByteArray CrLf("\r\n");

// The lines of a plain text: line feeds, carriage returns (alone or before a
// line feed) and Unicode line and paragraph separators all end a line.
QStringList linesOf(const QString& text)
{
    QString unified = text;
    unified.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (QChar c : {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        unified.replace(c, QLatin1Char('\n'));
    return unified.split(QLatin1Char('\n'));
}

QByteArray reference(char32_t codePoint)
{
    return "&#" + QByteArray::number(quint32(codePoint)) + ';';
}

// One character at a time: ASCII as it is (every charset a page may declare
// extends it), any other character in the charset's bytes when it survives
// the round trip, else as a reference. Without a converter every non-ASCII
// character is a reference. Each distinct character is tried once, so a
// long text of characters the charset lacks costs no more than a lookup each.
QByteArray encodeByCharacter(QStringView text, QStringEncoder* encoder, QStringDecoder* decoder)
{
    QHash<char32_t, QByteArray> known;
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            out += char(c.unicode());
            continue;
        }
        qsizetype length = 1;
        char32_t cp = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text[i + 1]);
            length = 2;
        } else if (c.isSurrogate()) {
            // An unpaired surrogate is no character: it shows as the
            // replacement character.
            out += reference(QChar::ReplacementCharacter);
            continue;
        }
        auto it = known.find(cp);
        if (it == known.end()) {
            QByteArray bytes;
            if (encoder) {
                // The round trip alone decides: what the encoder puts in for
                // a character it lacks never decodes back to that character.
                // (hasError() is no help: with Qt 6.4's ICU converters
                // resetState() does not clear it.)
                const QStringView one = text.sliced(i, length);
                encoder->resetState();
                decoder->resetState();
                bytes = encoder->encode(one);
                if (QString(decoder->decode(bytes)) != one)
                    bytes.clear();
            }
            it = known.insert(cp, bytes.isEmpty() ? reference(cp) : bytes);
        }
        out += *it;
        i += length - 1;
    }
    return out;
}

QString escapeHtml(const QString& line)
{
    QString out;
    out.reserve(line.size());
    for (QChar c : line) {
        if (c == u'&')
            out += QLatin1String("&amp;");
        else if (c == u'<')
            out += QLatin1String("&lt;");
        else if (c == u'>')
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}

} // namespace

QString PageCharset(const QString& dstLangCode)
{
    static const struct
    {
        const char* code;
        const char* charset;
    } table[] = {
        {"ja", "EUC-JP"},     {"ko", "EUC-KR"},     {"ru", "iso-8859-5"}, {"zh", "gb2312"},
        {"it", "iso-8859-1"}, {"fr", "iso-8859-1"}, {"de", "iso-8859-1"}, {"en", "iso-8859-1"},
        {"es", "iso-8859-1"}, {"pt", "iso-8859-1"},
    };
    for (const auto& row : table) {
        if (dstLangCode == QLatin1String(row.code))
            return QString::fromLatin1(row.charset);
    }
    return QString();
}

QByteArray pageHeader(const QString& charset)
{
    return "<META content=\"text/html; charset=" + charset.toUtf8() +
           "\" http-equiv=Content-type>" + CrLf;
}

QByteArray resultText(const QString& plainText)
{
    return linesOf(plainText).join(QLatin1String("\r\n")).toUtf8();
}

QByteArray viewerPage(const QString& plainText, const QString& charset)
{
    // Ctrl+Z ends a text file: the page stops before it.
    const qsizetype end = plainText.indexOf(CtrlZ);
    const QStringList lines = linesOf(end < 0 ? plainText : plainText.left(end));
    QString html;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            html += QLatin1String("<br>\r\n");
        html += escapeHtml(lines[i]);
    }
    return pageHeader(charset) + encodeWithReferences(html, charset);
}

QByteArray encodeWithReferences(const QString& text, const QString& charset)
{
    if (charset.isEmpty())
        return text.toUtf8();
    const QByteArray name = charset.toLatin1();
    QStringEncoder encoder(name.constData());
    QStringDecoder decoder(name.constData());
    if (!encoder.isValid() || !decoder.isValid())
        return encodeByCharacter(text, nullptr, nullptr);
    // Most translations fit their charset whole: one call each way.
    const QByteArray whole = encoder.encode(text);
    if (QString(decoder.decode(whole)) == text)
        return whole;
    return encodeByCharacter(text, &encoder, &decoder);
}

ViewerPageContent readViewerPage(const QByteArray& page)
{
    ViewerPageContent content;
    QByteArray body = page;
    // The header is ASCII in every charset the page may declare.
    const qsizetype lineEnd = page.indexOf('\n');
    const QByteArray first = page.left(lineEnd < 0 ? page.size() : lineEnd);
    if (first.trimmed().toLower().startsWith("<meta")) {
        static const QRegularExpression charsetRe(QStringLiteral("charset=\\s*([^\"'\\s;>]*)"),
                                                  QRegularExpression::CaseInsensitiveOption);
        content.charset = charsetRe.match(QString::fromLatin1(first)).captured(1);
        body = lineEnd < 0 ? QByteArray() : page.mid(lineEnd + 1);
    }
    if (content.charset.isEmpty()) {
        content.body = QString::fromUtf8(body);
        content.decoded = true;
        return content;
    }
    QStringDecoder decoder(content.charset.toLatin1().constData());
    if (decoder.isValid()) {
        content.body = decoder.decode(body);
        content.decoded = true;
    }
    return content;
}
