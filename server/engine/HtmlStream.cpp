#include "server/engine/HtmlStream.h"

#include "server/engine/ApertiumStream.h"

#include <array>

namespace HtmlStream {
namespace {
bool isBlank(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isAsciiLetter(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlnum(char16_t c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9');
}

// Tags that end a block of text, as apertium-deshtml has them.
bool endsBlock(QStringView name)
{
    static const std::array<const char*, 18> names = {"p",  "div", "br", "hr", "li",    "ol",
                                                      "ul", "td",  "th", "tr", "h1",    "h2",
                                                      "h3", "h4",  "h5", "h6", "title", "option"};
    for (const char* n : names) {
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

class Writer
{
public:
    explicit Writer(qsizetype size) { out_.reserve(size + size / 4 + 8); }

    void text(QChar c)
    {
        flushMarkup();
        if (!blanks_.isEmpty()) {
            if (blanks_ == QLatin1String(" "))
                out_ += QLatin1Char(' ');
            else
                out_ += QLatin1Char('[') + blanks_ + QLatin1Char(']');
            blanks_.clear();
        }
        if (ApertiumStream::isSpecial(c.unicode()))
            out_ += QLatin1Char('\\');
        out_ += c;
    }

    void blank(QChar c)
    {
        if (open_)
            appendEscaped(QStringView(&c, 1));
        else
            blanks_ += c;
    }

    void markup(QStringView piece, bool block)
    {
        if (!open_) {
            open_ = true;
            block_ = false;
            markupStart_ = out_.size();
            out_ += QLatin1Char('[');
            out_ += blanks_;
            blanks_.clear();
        }
        block_ = block_ || block;
        appendEscaped(piece);
    }

    QByteArray finish()
    {
        if (out_.isEmpty() && blanks_.isEmpty() && !open_)
            return {};
        if (open_) {
            block_ = true;
            flushMarkup();
        } else {
            out_ += QLatin1String(".[]");
            if (blanks_ == QLatin1String(" "))
                out_ += QLatin1Char(' ');
            else if (!blanks_.isEmpty())
                out_ += QLatin1Char('[') + blanks_ + QLatin1Char(']');
        }
        return out_.toUtf8();
    }

private:
    void appendEscaped(QStringView piece)
    {
        for (const QChar c : piece) {
            const char16_t u = c.unicode();
            if (u == 0)
                continue; // a NUL ends a stream
            if (ApertiumStream::isSpecial(u) && u != '<' && u != '>')
                out_ += QLatin1Char('\\');
            out_ += c;
        }
    }

    // The superblank being written is closed, with ".[]" before it when it
    // holds a block tag.
    void flushMarkup()
    {
        if (!open_)
            return;
        out_ += QLatin1Char(']');
        if (block_)
            out_.insert(markupStart_, QLatin1String(".[]"));
        open_ = false;
    }

    QString out_;
    QString blanks_; // blanks after the last text, not yet placed
    bool open_ = false;
    bool block_ = false;
    qsizetype markupStart_ = 0;
};

// Searches forward that remember where they found nothing: a later search
// for the same thing from further on fails at once, so that a page of
// "<a <a <a" without one '>' is read once, not once per '<'.
class Finder
{
public:
    Finder(QStringView text, QStringView what, Qt::CaseSensitivity cs)
        : text_(text), what_(what), cs_(cs)
    {
    }
    qsizetype from(qsizetype at)
    {
        if (found_ >= at)
            return found_;
        if (missingFrom_ >= 0 && at >= missingFrom_)
            return -1;
        found_ = text_.indexOf(what_, at, cs_);
        if (found_ < 0)
            missingFrom_ = at;
        return found_;
    }

private:
    QStringView text_;
    QStringView what_;
    Qt::CaseSensitivity cs_;
    qsizetype found_ = -1;
    qsizetype missingFrom_ = -1;
};

// A character reference ("&amp;", "&#8217;") at html[at]: its length, or 0.
qsizetype referenceLength(QStringView html, qsizetype at)
{
    constexpr qsizetype longest = 32;
    qsizetype i = at + 1;
    if (i < html.size() && html[i] == QLatin1Char('#'))
        ++i;
    const qsizetype nameStart = i;
    while (i < html.size() && i - at <= longest && isAsciiAlnum(html[i].unicode()))
        ++i;
    if (i == nameStart || i >= html.size() || html[i] != QLatin1Char(';'))
        return 0;
    return i + 1 - at;
}
} // namespace

QByteArray deformat(QStringView html)
{
    Writer w(html.size());
    Finder gt(html, u">", Qt::CaseSensitive);
    Finder commentEnd(html, u"-->", Qt::CaseSensitive);
    Finder cdataEnd(html, u"]]>", Qt::CaseSensitive);
    Finder scriptEnd(html, u"</script", Qt::CaseInsensitive);
    Finder styleEnd(html, u"</style", Qt::CaseInsensitive);
    const qsizetype n = html.size();
    qsizetype i = 0;
    // Markup from i to end (exclusive; n when it never closes).
    const auto markupTo = [&](qsizetype end, bool block) {
        w.markup(html.mid(i, end - i), block);
        i = end;
    };
    while (i < n) {
        const QChar c = html[i];
        const char16_t u = c.unicode();
        if (u == '<') {
            const QStringView rest = html.mid(i);
            if (rest.startsWith(u"<!--")) {
                const qsizetype close = commentEnd.from(i + 4);
                markupTo(close < 0 ? n : close + 3, false);
                continue;
            }
            if (rest.startsWith(u"<![CDATA[")) {
                const qsizetype close = cdataEnd.from(i + 9);
                markupTo(close < 0 ? n : close + 3, false);
                continue;
            }
            const bool closing = rest.size() > 1 && rest[1] == QLatin1Char('/');
            const qsizetype nameAt = closing ? 2 : 1;
            const bool declaration =
                rest.size() > 1 && (rest[1] == QLatin1Char('!') || rest[1] == QLatin1Char('?'));
            const bool tag = rest.size() > nameAt && isAsciiLetter(rest[nameAt].unicode());
            const qsizetype close = (tag || declaration) ? gt.from(i + 1) : -1;
            if (close < 0) {
                markupTo(i + 1, false); // a '<' that opens nothing
                continue;
            }
            qsizetype nameEnd = nameAt;
            while (nameEnd < rest.size() && isAsciiAlnum(rest[nameEnd].unicode()))
                ++nameEnd;
            const QStringView name =
                declaration ? QStringView() : rest.mid(nameAt, nameEnd - nameAt);
            const bool block = !declaration && endsBlock(name);
            qsizetype end = close + 1;
            if (!closing && !declaration) {
                // A script's or style's content is markup up to its end tag.
                Finder* content = nullptr;
                if (name.compare(QLatin1String("script"), Qt::CaseInsensitive) == 0)
                    content = &scriptEnd;
                else if (name.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)
                    content = &styleEnd;
                if (content) {
                    const qsizetype endTag = content->from(end);
                    if (endTag < 0) {
                        end = n;
                    } else {
                        const qsizetype endClose = gt.from(endTag);
                        end = endClose < 0 ? n : endClose + 1;
                    }
                }
            }
            markupTo(end, block);
            continue;
        }
        if (u == '>' || u == '~') {
            // A tilde asks the post-generator for work.
            markupTo(i + 1, false);
            continue;
        }
        if (u == '&') {
            const qsizetype length = referenceLength(html, i);
            if (length > 0) {
                markupTo(i + length, false);
                continue;
            }
        }
        if (isBlank(u))
            w.blank(c);
        else if (u != 0)
            w.text(c);
        ++i;
    }
    return w.finish();
}

QString reformat(const QByteArray& stream)
{
    return ApertiumStream::fromStream(stream);
}
} // namespace HtmlStream
