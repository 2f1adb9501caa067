#include "editor/RtfNumbering.h"

#include <array>
#include <cstring>

namespace Rtf {

namespace {

QString roman(int n, bool upper)
{
    static const struct
    {
        int value;
        const char* digits;
    } steps[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                 {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                 {5, "v"},    {4, "iv"},   {1, "i"}};
    QString s;
    for (const auto& step : steps)
        for (; n >= step.value; n -= step.value)
            s += QLatin1StringView(step.digits);
    return upper ? s.toUpper() : s;
}

const std::array<const char*, 20> Ones = {
    "zero",     "one",     "two",     "three",     "four",     "five",    "six",
    "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
    "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const std::array<const char*, 10> Tens = {"",      "",      "twenty",  "thirty", "forty",
                                          "fifty", "sixty", "seventy", "eighty", "ninety"};

// English words for 0..999999.
QString words(int n)
{
    QString s;
    if (n >= 1000) {
        s = words(n / 1000) + QLatin1StringView(" thousand");
        n %= 1000;
        if (n == 0)
            return s;
        s += u' ';
    }
    if (n >= 100) {
        s += QLatin1StringView(Ones[n / 100]) + QLatin1StringView(" hundred");
        n %= 100;
        if (n == 0)
            return s;
        s += u' ';
    }
    if (n < 20)
        return s + QLatin1StringView(Ones[n]);
    s += QLatin1StringView(Tens[n / 10]);
    if (n % 10)
        s += u'-' + QLatin1StringView(Ones[n % 10]);
    return s;
}

// "twenty-one" -> "twenty-first": the last word becomes an ordinal.
QString ordinalWords(int n)
{
    QString s = words(n);
    static const struct
    {
        const char* cardinal;
        const char* ordinal;
    } irregular[] = {{"one", "first"},     {"two", "second"},   {"three", "third"},
                     {"five", "fifth"},    {"eight", "eighth"}, {"nine", "ninth"},
                     {"twelve", "twelfth"}};
    for (const auto& w : irregular)
        if (s.endsWith(QLatin1StringView(w.cardinal))) {
            s.chop(qsizetype(std::strlen(w.cardinal)));
            return s + QLatin1StringView(w.ordinal);
        }
    if (s.endsWith(u'y')) {
        s.chop(1);
        return s + QLatin1StringView("ieth");
    }
    return s + QLatin1StringView("th");
}

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

QString hebrewNumeral(int n)
{
    static const char16_t hundreds[] = {0, u'\u05E7', u'\u05E8', u'\u05E9', u'\u05EA'};
    static const char16_t tens[] = {0,         u'\u05D9', u'\u05DB', u'\u05DC', u'\u05DE',
                                    u'\u05E0', u'\u05E1', u'\u05E2', u'\u05E4', u'\u05E6'};
    static const char16_t ones[] = {0,         u'\u05D0', u'\u05D1', u'\u05D2', u'\u05D3',
                                    u'\u05D4', u'\u05D5', u'\u05D6', u'\u05D7', u'\u05D8'};
    QString s;
    for (; n >= 400; n -= 400)
        s += QChar(hundreds[4]);
    if (n >= 100) {
        s += QChar(hundreds[n / 100]);
        n %= 100;
    }
    // 15 and 16 are written 9+6 and 9+7, never as letters of the Name.
    if (n == 15 || n == 16) {
        s += QChar(u'\u05D8');
        s += QChar(ones[n - 9]);
        return s;
    }
    if (n >= 10) {
        s += QChar(tens[n / 10]);
        n %= 10;
    }
    if (n > 0)
        s += QChar(ones[n]);
    return s;
}

} // namespace

QString formatNumber(int value, int format)
{
    const QString arabic = QString::number(value);
    if (value <= 0)
        return format == Bullet || format == NoNumber ? QString() : arabic;
    switch (format) {
    case Bullet:
    case NoNumber:
        return {};
    case UpperRoman:
    case LowerRoman:
        return value < 4000 ? roman(value, format == UpperRoman) : arabic;
    case UpperLetter:
    case LowerLetter: {
        // 27 is "aa", 28 "bb": the letter repeats once per round.
        const int repeat = (value - 1) / 26 + 1;
        if (repeat > 30)
            return arabic;
        const char16_t letter = char16_t((format == UpperLetter ? u'A' : u'a') + (value - 1) % 26);
        return QString(repeat, QChar(letter));
    }
    case Ordinal: {
        const int t = value % 100;
        const char* suffix = "th";
        if (t < 11 || t > 13) {
            if (value % 10 == 1)
                suffix = "st";
            else if (value % 10 == 2)
                suffix = "nd";
            else if (value % 10 == 3)
                suffix = "rd";
        }
        return arabic + QLatin1StringView(suffix);
    }
    case CardinalText:
        return value < 1000000 ? capitalised(words(value)) : arabic;
    case OrdinalText:
        return value < 1000000 ? capitalised(ordinalWords(value)) : arabic;
    case Chicago: {
        static const char16_t marks[] = {u'*', u'\u2020', u'\u2021', u'\u00A7'};
        const int repeat = (value - 1) / 4 + 1;
        return repeat > 30 ? arabic : QString(repeat, QChar(marks[(value - 1) % 4]));
    }
    case ArabicLz:
        return value < 10 ? u'0' + arabic : arabic;
    case Hebrew:
        return value < 10000 ? hebrewNumeral(value) : arabic;
    case HebrewAlpha: {
        static const char16_t letters[] = {
            u'\u05D0', u'\u05D1', u'\u05D2', u'\u05D3', u'\u05D4', u'\u05D5', u'\u05D6', u'\u05D7',
            u'\u05D8', u'\u05D9', u'\u05DB', u'\u05DC', u'\u05DE', u'\u05E0', u'\u05E1', u'\u05E2',
            u'\u05E4', u'\u05E6', u'\u05E7', u'\u05E8', u'\u05E9', u'\u05EA'};
        const int repeat = (value - 1) / 22 + 1;
        return repeat > 30 ? arabic : QString(repeat, QChar(letters[(value - 1) % 22]));
    }
    default:
        return arabic;
    }
}

} // namespace Rtf
