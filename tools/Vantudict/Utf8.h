#pragma once

#include <QChar>

// Reads one code point of UTF-8 at p and moves p past it. A byte that does
// not start a well-formed sequence reads as U+DC80..U+DCFF (one byte), so
// foreign bytes still order and compare consistently.
inline char32_t nextCodePoint(const char*& p, const char* end)
{
    const auto b0 = static_cast<unsigned char>(*p);
    if (b0 < 0x80) {
        ++p;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        ++p;
        return 0xDC00 + b0;
    }
    if (end - p <= extra) {
        ++p;
        return 0xDC00 + b0;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if ((b & 0xC0) != 0x80) {
            ++p;
            return 0xDC00 + b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++p;
        return 0xDC00 + b0;
    }
    p += extra + 1;
    return cp;
}

// dictd keeps letters, digits and blanks of a headword unless the
// dictionary keeps all characters.
inline bool keptInHeadword(char32_t cp, bool allChars)
{
    return allChars || cp == U' ' || QChar::isLetterOrNumber(cp);
}

inline char32_t foldCase(char32_t cp)
{
    return QChar::toLower(cp);
}
