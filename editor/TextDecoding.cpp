#include "editor/TextDecoding.h"

#include <QStringDecoder>

namespace TextDecoding {

bool isValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int follow;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= follow)
            return false;
        for (int i = 1; i <= follow; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((follow == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (follow == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += follow + 1;
    }
    return true;
}

QString decode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        return utf16(bytes.mid(2));
    }
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    QStringDecoder cp1252("windows-1252");
    return cp1252(bytes);
}

QByteArray codecNameForCodePage(int codePage)
{
    switch (codePage) {
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    case 874:
        return "windows-874";
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 10000:
        return "macintosh";
    default:
        if (codePage >= 1250 && codePage <= 1258)
            return "windows-" + QByteArray::number(codePage);
        return {};
    }
}

int codePageForCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0; // ANSI, default, symbol and unknown: the document's code page
    }
}

SymbolFont symbolFontNamed(const QString& name)
{
    static const struct
    {
        const char* name;
        SymbolFont font;
    } fonts[] = {{"Symbol", SymbolFont::Symbol},
                 {"Wingdings", SymbolFont::Wingdings},
                 {"Wingdings 2", SymbolFont::Wingdings2},
                 {"Wingdings 3", SymbolFont::Wingdings3},
                 {"Webdings", SymbolFont::Webdings},
                 // The Mac's names of the same fonts, as TextEdit writes them
                 {"Wingdings-Regular", SymbolFont::Wingdings},
                 {"Wingdings2", SymbolFont::Wingdings2},
                 {"Wingdings3", SymbolFont::Wingdings3},
                 {"SymbolMT", SymbolFont::Symbol},
                 // URW's fonts with Symbol's characters, which Linux writers name
                 {"Standard Symbols L", SymbolFont::Symbol},
                 {"Standard Symbols PS", SymbolFont::Symbol}};
    const QString n = name.simplified();
    for (const auto& f : fonts)
        if (n.compare(QLatin1StringView(f.name), Qt::CaseInsensitive) == 0)
            return f.font;
    return SymbolFont::None;
}

#include "editor/SymbolFontTables.inc"

char32_t symbolFontChar(SymbolFont font, unsigned char byte)
{
    if (font == SymbolFont::None || byte < 0x20)
        return 0;
    return SymbolFontTables[int(font) - 1][byte - 0x20];
}

} // namespace TextDecoding
