#pragma once

#include <QString>

namespace Rtf {

// Number formats of list levels (\levelnfc) and of footnote marks, as Word
// numbers them.
enum NumberFormat : int {
    Arabic = 0,
    UpperRoman = 1,
    LowerRoman = 2,
    UpperLetter = 3,
    LowerLetter = 4,
    Ordinal = 5,      // 1st, 2nd
    CardinalText = 6, // One, Two
    OrdinalText = 7,  // First, Second
    Chicago = 9,      // *, †, ‡, §, **, ...
    ArabicLz = 22,    // 01, 02
    Bullet = 23,      // no number
    Hebrew = 45,      // Hebrew numerals: א, ב, ... י, יא
    HebrewAlpha = 47, // the Hebrew alphabet in turn
    NoNumber = 255,
};

// The number as a list label or note mark shows it. Formats we do not
// draw fall back to Arabic digits, and so do values too large for a
// format (letters repeat at most 30 times, Roman numerals stop at 3999),
// so a label never grows with the value beyond a few dozen characters.
QString formatNumber(int value, int format);

} // namespace Rtf
