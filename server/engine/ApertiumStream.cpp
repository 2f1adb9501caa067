#include "server/engine/ApertiumStream.h"

#include <algorithm>
#include <cstring>

namespace ApertiumStream {
bool isSpecial(char16_t c)
{
    switch (c) {
    case '\\':
    case '[':
    case ']':
    case '^':
    case '$':
    case '@':
    case '/':
    case '<':
    case '>':
    case '{':
    case '}':
        return true;
    default:
        return false;
    }
}

namespace {

bool isBlank(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
} // namespace

QByteArray toStream(QStringView text, bool inlineTags)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 4);
    const auto escaped = [&out](QStringView part) {
        for (const QChar c : part) {
            if (isSpecial(c.unicode()))
                out += QLatin1Char('\\');
            if (c.unicode() != 0)
                out += c;
        }
    };
    for (qsizetype i = 0; i < text.size();) {
        const char16_t c = text[i].unicode();
        if (isBlank(c)) {
            qsizetype end = i;
            while (end < text.size() && isBlank(text[end].unicode()))
                ++end;
            if (end - i == 1 && c == ' ') {
                out += QLatin1Char(' ');
            } else {
                out += QLatin1Char('[');
                out += text.mid(i, end - i);
                out += QLatin1Char(']');
            }
            i = end;
            continue;
        }
        if (inlineTags && (c == '<' || c == '{')) {
            const QChar close = c == '<' ? QLatin1Char('>') : QLatin1Char('}');
            const qsizetype end = text.indexOf(close, i + 1);
            if (end > i && end - i < 256 && !text.mid(i, end - i).contains(QLatin1Char('\n'))) {
                out += QLatin1Char('[');
                escaped(text.mid(i, end + 1 - i));
                out += QLatin1Char(']');
                i = end + 1;
                continue;
            }
        }
        if (c == '~') {
            // A tilde asks the post-generator for work; as text it rides
            // in a superblank.
            out += QLatin1String("[~]");
        } else if (isSpecial(c)) {
            out += QLatin1Char('\\');
            out += QChar(c);
        } else if (c != 0) {
            out += QChar(c);
        }
        ++i;
    }
    out += QLatin1String(".[]");
    return out.toUtf8();
}

QList<QByteArray> blockPieces(const QByteArray& stream, qsizetype minBytes)
{
    QList<QByteArray> result;
    qsizetype start = 0;
    while (stream.size() - start > minBytes) {
        // An unescaped '[' is never inside a superblank: "[]" is one.
        qsizetype cut = stream.indexOf(".[]", start + minBytes);
        while (cut > 0 && stream[cut - 1] == '\\') // an escaped full stop is text
            cut = stream.indexOf(".[]", cut + 1);
        if (cut < 0)
            break;
        result << stream.mid(start, cut + 3 - start);
        start = cut + 3;
    }
    result << stream.mid(start);
    return result;
}

QString fromStream(const QByteArray& stream)
{
    const QString in = QString::fromUtf8(stream);
    QString out;
    out.reserve(in.size());
    // Where the last unescaped full stop went, so that ".[]" can drop it.
    qsizetype plainDot = -1;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in[i];
        if (c == QLatin1Char('\\') && i + 1 < in.size()) {
            out += in[++i];
            plainDot = -1;
        } else if (c == QLatin1Char('[')) {
            qsizetype j = i + 1;
            QString blank;
            for (; j < in.size() && in[j] != QLatin1Char(']'); ++j) {
                if (in[j] == QLatin1Char('\\') && j + 1 < in.size())
                    ++j;
                blank += in[j];
            }
            if (blank.isEmpty() && plainDot == out.size() - 1)
                out.chop(1);
            out += blank;
            i = j; // at the closing bracket, or past the end of a cut stream
            plainDot = -1;
        } else {
            plainDot = c == QLatin1Char('.') ? out.size() : -1;
            out += c;
        }
    }
    return out;
}
} // namespace ApertiumStream

namespace ApertiumStream {
namespace {
// Private-use characters that no deformatter escapes, in UTF-8: the caret
// escaped inside a superblank (U+E05E), the caret in text (U+E15E), and the
// part markers (U+E0C0, U+E0C1).
constexpr char caretInBlank[] = "\xEE\x81\x9E";
constexpr char caretInText[] = "\xEE\x85\x9E";
constexpr char startMark[] = "\xEE\x83\x80";
constexpr char endMark[] = "\xEE\x83\x81";
constexpr qsizetype reservedLength = 3;

bool startsWith(const QByteArray& s, qsizetype at, const char* what, qsizetype length)
{
    return at + length <= s.size() && std::memcmp(s.constData() + at, what, length) == 0;
}

bool reservedAt(const QByteArray& s, qsizetype at)
{
    for (const char* r : {caretInBlank, caretInText, startMark, endMark}) {
        if (startsWith(s, at, r, reservedLength))
            return true;
    }
    return false;
}

QByteArray escapedSuperblank(const char* reserved)
{
    return QByteArray("[\\") + QByteArray(reserved, reservedLength) + ']';
}

// The end of the superblank that opens at `open` (its closing bracket), or
// -1 when it does not close.
qsizetype superblankEnd(const QByteArray& s, qsizetype open)
{
    for (qsizetype j = open + 1; j < s.size(); ++j) {
        if (s[j] == '\\')
            ++j;
        else if (s[j] == ']')
            return j;
    }
    return -1;
}
} // namespace

// The stream as valid UTF-8 without NULs: a stage that meets a malformed
// sequence or a surrogate ends with "Invalid UTF-8", so each becomes U+FFFD.
QByteArray validUtf8(const QByteArray& in)
{
    QByteArray out;
    out.reserve(in.size());
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(in[i]); };
    for (qsizetype i = 0; i < in.size();) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            if (c != 0)
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const qsizetype length = c >= 0xC2 && c <= 0xDF   ? 2
                                 : c >= 0xE0 && c <= 0xEF ? 3
                                 : c >= 0xF0 && c <= 0xF4 ? 4
                                                          : 0;
        bool valid = length > 0 && i + length <= in.size();
        for (qsizetype k = 1; valid && k < length; ++k)
            valid = (byte(i + k) & 0xC0) == 0x80;
        if (valid && length == 3) {
            const unsigned char second = byte(i + 1);
            valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0);
        } else if (valid && length == 4) {
            const unsigned char second = byte(i + 1);
            valid = !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
        }
        if (valid) {
            out.append(in.constData() + i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

QByteArray guard(const QByteArray& stream, Guard kind)
{
    const QByteArray s = validUtf8(stream);
    const QByteArray textCaret = escapedSuperblank(caretInText);
    const QByteArray blankCaret = QByteArray("\\") + QByteArray(caretInBlank, reservedLength);
    QByteArray out;
    out.reserve(s.size() + s.size() / 16 + 8);
    bool inBlank = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\') {
            if (i + 1 >= s.size())
                break; // escapes nothing
            const char next = s[i + 1];
            if (next == '^') {
                out += inBlank ? blankCaret : textCaret;
            } else if (reservedAt(s, i + 1)) {
                out += kind == Guard::Entry ? s.mid(i + 1, reservedLength)
                                            : s.mid(i, reservedLength + 1);
                i += reservedLength - 1;
            } else {
                out += c;
                out += next;
            }
            ++i;
            continue;
        }
        if (inBlank) {
            if (c == ']')
                inBlank = false;
            if (c == '[')
                out += "\\[";
            else if (c == '^')
                out += blankCaret;
            else
                out += c;
            continue;
        }
        switch (c) {
        case '[':
            inBlank = true;
            out += c;
            break;
        case '^':
            out += textCaret;
            break;
        case '~':
            // Work for the post-generator, which deformatters keep in a
            // superblank.
            out += "[~]";
            break;
        case ']':
        case '$':
        case '/':
        case '<':
        case '>':
        case '@':
        case '{':
        case '}':
            out += '\\';
            out += c;
            break;
        default:
            out += c;
        }
    }
    if (inBlank)
        out += ']';
    return out;
}

QByteArray unguard(const QByteArray& stream)
{
    QByteArray out;
    out.reserve(stream.size());
    for (qsizetype i = 0; i < stream.size(); ++i) {
        const char c = stream[i];
        if (c == '\\' && i + 1 < stream.size()) {
            if (startsWith(stream, i + 1, caretInBlank, reservedLength) ||
                startsWith(stream, i + 1, caretInText, reservedLength)) {
                out += "\\^";
                i += reservedLength;
            } else {
                out += c;
                out += stream[++i];
            }
        } else if (c == '[' && startsWith(stream, i + 1, "\\", 1) &&
                   startsWith(stream, i + 2, caretInText, reservedLength) &&
                   startsWith(stream, i + 2 + reservedLength, "]", 1)) {
            out += "\\^";
            i += reservedLength + 2;
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray partStart()
{
    return escapedSuperblank(startMark);
}

QByteArray partEnd()
{
    return escapedSuperblank(endMark);
}

QList<qsizetype> sentenceEnds(const QByteArray& s)
{
    QList<qsizetype> ends;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\') {
            ++i;
        } else if (c == '[') {
            const qsizetype close = superblankEnd(s, i);
            if (close < 0)
                break;
            i = close;
        } else if ((c == '.' || c == '?' || c == '!') && i + 1 < s.size()) {
            qsizetype end = -1;
            if (s[i + 1] == ' ')
                end = i + 2;
            else if (s[i + 1] == '[') {
                const qsizetype close = superblankEnd(s, i + 1);
                end = close < 0 ? -1 : close + 1;
            }
            if (end > 0 && end < s.size())
                ends << end;
        }
    }
    return ends;
}

QList<Part> planParts(const QByteArray& s, int count, qsizetype contextBytes)
{
    const qsizetype n = s.size();
    const QList<qsizetype> ends = sentenceEnds(s);
    QList<qsizetype> bounds{0};
    for (int k = 1; k < count && !ends.isEmpty(); ++k) {
        const qsizetype target = n * k / count;
        // The sentence end nearest the even share.
        auto it = std::lower_bound(ends.begin(), ends.end(), target);
        qsizetype cut = it == ends.end() ? ends.last() : *it;
        if (it != ends.begin() && it != ends.end() && target - *(it - 1) < *it - target)
            cut = *(it - 1);
        if (cut > bounds.last())
            bounds << cut;
    }
    bounds << n;

    // Context starts and ends at a sentence end too, and is kept within a
    // few times its least size where sentences are long.
    const qsizetype most = 8 * contextBytes;
    const auto before = [&](qsizetype start) -> qsizetype {
        if (start - contextBytes <= 0)
            return 0;
        auto it = std::upper_bound(ends.begin(), ends.end(), start - contextBytes);
        const qsizetype found = it == ends.begin() ? 0 : *(it - 1);
        if (start - found <= most)
            return found;
        it = std::lower_bound(ends.begin(), ends.end(), start - most);
        return it != ends.end() && *it < start ? *it : start;
    };
    const auto after = [&](qsizetype end) -> qsizetype {
        if (end + contextBytes >= n)
            return n;
        auto it = std::lower_bound(ends.begin(), ends.end(), end + contextBytes);
        const qsizetype found = it == ends.end() ? n : *it;
        if (found - end <= most)
            return found;
        it = std::upper_bound(ends.begin(), ends.end(), end + most);
        return it != ends.begin() && *(it - 1) > end ? *(it - 1) : end;
    };

    QList<Part> parts;
    for (qsizetype k = 0; k + 1 < bounds.size(); ++k) {
        const qsizetype start = bounds[k];
        const qsizetype end = bounds[k + 1];
        if (bounds.size() == 2)
            parts << Part{start, start, end, end};
        else
            parts << Part{k == 0 ? 0 : before(start), start, end, end == n ? n : after(end)};
    }
    return parts;
}

QByteArray partInput(const QByteArray& s, const Part& part)
{
    QByteArray in = s.mid(part.contextStart, part.start - part.contextStart);
    if (part.contextStart < part.start)
        in += partStart();
    in += s.mid(part.start, part.end - part.start);
    if (part.end < part.contextEnd)
        in += partEnd() + s.mid(part.end, part.contextEnd - part.end);
    return in;
}

bool partOutput(const QByteArray& translated, const Part& part, QByteArray* out)
{
    const auto once = [&](const QByteArray& marker) -> qsizetype {
        const qsizetype at = translated.indexOf(marker);
        return at >= 0 && translated.indexOf(marker, at + 1) < 0 ? at : -1;
    };
    qsizetype from = 0;
    qsizetype to = translated.size();
    if (part.contextStart < part.start) {
        const qsizetype at = once(partStart());
        if (at < 0)
            return false;
        from = at + partStart().size();
    }
    if (part.end < part.contextEnd) {
        const qsizetype at = once(partEnd());
        if (at < from)
            return false;
        to = at;
    }
    *out = translated.mid(from, to - from);
    return true;
}
QList<QByteArray> superblanks(const QByteArray& s)
{
    QList<QByteArray> found;
    forEachSuperblank(s, [&](qsizetype at, qsizetype end, bool) { found << s.mid(at, end - at); });
    return found;
}
} // namespace ApertiumStream
