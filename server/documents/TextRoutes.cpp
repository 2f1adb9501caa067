#include "server/documents/TextRoutes.h"

#include "common/DocumentTypes.h"
#include "server/documents/ApertiumFilters.h"
#include "server/engine/HtmlPage.h"
#include "server/engine/TranslationEngine.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <optional>
#include <utility>

namespace {
using FormatRow = DocumentTypes::Type;

bool validUtf8(const QByteArray& data)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(data); // (decoding is lazy until converted)
    return !decoder.hasError();
}

// The document's text and how to write it back: its byte order mark (if
// any) and encoding.
struct DecodedText
{
    QString text;
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    bool bom = false;
};

DecodedText decodeText(const QByteArray& data, HtmlPage::Kind kind)
{
    DecodedText decoded;
    if (auto bomEncoding = QStringConverter::encodingForData(data)) {
        decoded.encoding = *bomEncoding;
        decoded.bom = data.startsWith("\xEF\xBB\xBF") || decoded.encoding != QStringConverter::Utf8;
        QStringDecoder decoder(*bomEncoding, QStringConverter::Flag::Default);
        decoded.text = decoder.decode(data);
        if (decoded.encoding != QStringConverter::Utf8 &&
            decoded.encoding != QStringConverter::Utf16LE &&
            decoded.encoding != QStringConverter::Utf16BE)
            decoded.encoding = QStringConverter::Utf8;
        if (!decoded.text.isEmpty() && decoded.text.front() == QChar(0xFEFF))
            decoded.text.remove(0, 1);
        return decoded;
    }
    decoded.text = HtmlPage::decode(data.toStdString(), std::string(), kind);
    // Text that was in another code page comes back as UTF-8 with a byte
    // order mark, so that editors know it.
    decoded.bom = kind == HtmlPage::Kind::Text && !validUtf8(data);
    return decoded;
}

QByteArray encodeText(const DecodedText& how, const QString& text)
{
    QStringEncoder encoder(how.encoding, how.bom ? QStringConverter::Flag::WriteBom
                                                 : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

// The translation is written in UTF-8, whatever the page declared (a page
// in ASCII declared as ISO-8859-1 gets letters beyond ASCII now): its
// charset declarations, in a meta element or the XML declaration, must say
// so.
QString declareUtf8(const QString& html)
{
    static const QRegularExpression declared(
        QStringLiteral("(<meta\\b[^>]*?charset\\s*=\\s*[\"']?|"
                       "^\\s*<\\?xml\\b[^>]*?encoding\\s*=\\s*[\"'])([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QString out = html;
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch m = declared.match(out, from);
        if (!m.hasMatch())
            break;
        out.replace(m.capturedStart(2), m.capturedLength(2), QStringLiteral("utf-8"));
        from = m.capturedStart(2) + 5;
    }
    // A page that declared nothing and has letters beyond ASCII now would
    // be read in the browser's guess: it says UTF-8 (XML needs nothing).
    const bool ascii =
        std::all_of(out.cbegin(), out.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (from > 0 || ascii || out.trimmed().startsWith(QLatin1String("<?xml")))
        return out;
    static const QRegularExpression head(QStringLiteral("<head\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression root(QStringLiteral("<html\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = head.match(out); m.hasMatch())
        out.insert(m.capturedEnd(), QStringLiteral("<meta charset=\"utf-8\">"));
    else if (const QRegularExpressionMatch r = root.match(out); r.hasMatch())
        out.insert(r.capturedEnd(), QStringLiteral("<head><meta charset=\"utf-8\"></head>"));
    else
        out.prepend(QChar(0xFEFF)); // a fragment: the byte order mark says it
    return out;
}

// A subtitle file's lines (without their line ends), and the runs of text
// lines in it: [first, last] line indexes. Blocks: a number, a time line
// with "-->", text lines, a blank line. Only the text lines change; a block
// without a time line is kept as it is.
struct SubtitleLines
{
    struct Line
    {
        qsizetype start, end; // without the line end
    };
    QList<Line> lines;
    QList<std::pair<qsizetype, qsizetype>> runs;
};

SubtitleLines subtitleLines(const QString& in)
{
    SubtitleLines s;
    QList<SubtitleLines::Line>& lines = s.lines;
    for (qsizetype pos = 0; pos <= in.size();) {
        qsizetype nl = in.indexOf(QLatin1Char('\n'), pos);
        if (nl < 0)
            nl = in.size();
        qsizetype end = nl;
        if (end > pos && in[end - 1] == QLatin1Char('\r'))
            --end;
        lines << SubtitleLines::Line{pos, end};
        pos = nl + 1;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = QStringView(in).mid(lines[i].start, lines[i].end - lines[i].start);
        if (!line.contains(QLatin1String("-->")))
            continue;
        qsizetype j = i + 1;
        while (
            j < lines.size() && lines[j].end > lines[j].start &&
            !QStringView(in).mid(lines[j].start, lines[j].end - lines[j].start).trimmed().isEmpty())
            ++j;
        if (j > i + 1)
            s.runs.append({i + 1, j - 1});
        i = j - 1;
    }
    return s;
}
} // namespace

TranslatedDocument TextRoutes::html(DocumentJob& job, const QByteArray& file,
                                    const QString& fileName, const FormatRow& row)
{
    const DecodedText decoded = decodeText(file, HtmlPage::Kind::Html);
    const QByteArray page = HtmlPage::spellOutLetters(decoded.text).toUtf8();
    if (job.text) {
        *job.text = DocumentStreams::streamText(
            ApertiumFilters::deformat(ApertiumFilters::Filter::Html, {page}, job.context()),
            job.maxChars);
        return {};
    }
    QByteArray out;
    if (job.detect) {
        // The page is deformatted once: its language is found in the
        // stream that is then translated.
        const ApertiumFilters::Deformatted deformatted =
            ApertiumFilters::deformatParts(ApertiumFilters::Filter::Html, {page}, job.context());
        if (std::optional<TranslatedDocument> whole =
                job.detectSource(DocumentStreams::streamText(deformatted.stream, job.maxChars)))
            return std::move(*whole);
        if (!job.engine.takesHtml(*job.mode))
            out = ApertiumFilters::translateDeformatted(ApertiumFilters::Filter::Html, deformatted,
                                                        job.context())
                      .front();
        else
            out = job.translateHtmlParts({page}).front();
    } else {
        out = job.translateHtmlParts({page}).front();
    }
    return DocumentJob::result(declareUtf8(QString::fromUtf8(out)).toUtf8(), fileName, row);
}

TranslatedDocument TextRoutes::plain(DocumentJob& job, const QByteArray& file,
                                     const QString& fileName, const FormatRow& row)
{
    const DecodedText decoded = decodeText(file, HtmlPage::Kind::Text);
    if (job.text) {
        *job.text = decoded.text.left(job.maxChars);
        return {};
    }
    if (job.detect) {
        if (std::optional<TranslatedDocument> whole = job.detectSource(decoded.text))
            return std::move(*whole);
    }
    const QString out =
        DocumentStreams::translateText(job.engine, *job.mode, decoded.text, job.run);
    return DocumentJob::result(encodeText(decoded, out), fileName, row);
}

TranslatedDocument TextRoutes::subtitles(DocumentJob& job, const QByteArray& file,
                                         const QString& fileName, const FormatRow& row)
{
    const DecodedText decoded = decodeText(file, HtmlPage::Kind::Text);
    const QString& in = decoded.text;
    const SubtitleLines s = subtitleLines(in);
    QStringList texts;
    for (const auto& [first, last] : s.runs) {
        QStringList parts;
        for (qsizetype k = first; k <= last; ++k)
            parts << in.mid(s.lines[k].start, s.lines[k].end - s.lines[k].start);
        texts << parts.join(QLatin1Char('\n'));
    }
    if (job.text) {
        *job.text = texts.join(QLatin1Char('\n')).left(job.maxChars);
        return {};
    }
    if (job.detect) {
        if (std::optional<TranslatedDocument> whole =
                job.detectSource(texts.join(QLatin1Char('\n'))))
            return std::move(*whole);
    }
    const QStringList translated =
        DocumentStreams::translateTexts(job.engine, *job.mode, texts, true, job.run);
    QString out;
    qsizetype copied = 0;
    for (qsizetype r = 0; r < s.runs.size(); ++r) {
        const SubtitleLines::Line& first = s.lines[s.runs[r].first];
        const SubtitleLines::Line& last = s.lines[s.runs[r].second];
        out += QStringView(in).mid(copied, first.start - copied);
        // The lines as translated, with the file's own line ends.
        const QString eol = in.mid(first.end, 1) == QLatin1String("\r") ? QStringLiteral("\r\n")
                                                                        : QStringLiteral("\n");
        QString t = translated[r];
        t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        t.replace(QLatin1Char('\n'), eol);
        out += t;
        copied = last.end;
    }
    out += QStringView(in).mid(copied);
    return DocumentJob::result(encodeText(decoded, out), fileName, row);
}
