#include "ApertiumStream.h"

namespace ApertiumStream {
namespace {
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

bool isBlank(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
} // namespace

QByteArray toStream(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 4);
    for (qsizetype i = 0; i < text.size();) {
        const char16_t c = text[i].unicode();
        if (isBlank(c)) {
            qsizetype end = i;
            while (end < text.size() && isBlank(text[end].unicode()))
                ++end;
            if (end - i == 1 && c == ' ')
                out += QLatin1Char(' ');
            else {
                out += QLatin1Char('[');
                out += QStringView(text).mid(i, end - i);
                out += QLatin1Char(']');
            }
            i = end;
            continue;
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
