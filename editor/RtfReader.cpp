#include "editor/RtfReader.h"

#include "editor/TextDecoding.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace Rtf {

bool looksLikeRtf(const QByteArray& data)
{
    qsizetype i = 0;
    while (i < data.size() &&
           (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

namespace {

// Groups nested deeper than this share the state of the deepest one kept;
// their braces are still counted.
constexpr int MaxDepth = 512;
// Half-points: 1 to 1638 points.
constexpr int MinHalfPoints = 2;
constexpr int MaxHalfPoints = 3276;
// Twips of indentation kept: +-22 inches.
constexpr int MaxTwips = 31680;

enum class Dest { Body, FontTable, ColorTable, Skip };

struct CharState
{
    int font = -1;
    int halfPoints = 24;
    int fg = 0; // colour table index; 0 = automatic
    int bg = 0;
    bool bold = false, italic = false, underline = false, strike = false, hidden = false;
    signed char vertical = 0; // -1 sub, 1 super

    bool operator==(const CharState&) const = default;
};

struct ParaState
{
    Qt::Alignment align = Qt::AlignLeft;
    int left = 0, right = 0, first = 0, before = 0, after = 0; // twips
    bool operator==(const ParaState&) const = default;
};

struct Group
{
    CharState chr;
    ParaState para;
    Dest dest = Dest::Body;
    int uc = 1;
    // \object and \upr: everything is skipped except the child destination
    // that holds what is shown (\result, \ud).
    bool awaitsShown = false;
    Dest shownDest = Dest::Body;
};

struct FontEntry
{
    QString name;
    int codePage = 0;
};

class Parser
{
public:
    Parser(const QByteArray& data, QTextDocument& doc) : m_data(data), m_doc(doc), m_cursor(&doc) {}
    void run();

private:
    // --- input ---
    bool atEnd() const { return m_pos >= m_data.size(); }
    char peek() const { return m_data[m_pos]; }
    void controlWord();
    void controlSymbol(char c);
    void hexByte();
    void plainText();
    void openGroup();
    void closeGroup();

    // --- state ---
    Group& g() { return m_stack.back(); }
    void word(const QByteArray& name, bool hasParam, int param);
    bool charWord(const QByteArray& name, bool hasParam, int param);
    bool paraWord(const QByteArray& name, bool hasParam, int param);
    bool destinationWord(const QByteArray& name);
    bool consumeSkip();

    // --- output ---
    void addBytes(const char* p, qsizetype n);
    void addChar(char16_t c);
    void addText(QStringView text);
    void flushBytes();
    void flushText();
    void endParagraph();
    void pageBreak();
    void finish();
    QTextCharFormat charFormat(const CharState& s);
    QTextBlockFormat blockFormat(const ParaState& p) const;
    int currentCodePage() const;
    QStringDecoder* decoderFor(int codePage);

    // font and colour tables
    void fontTableText(const QByteArray& bytes);
    void colorTableText(const QByteArray& bytes);

    const QByteArray& m_data;
    QTextDocument& m_doc;
    QTextCursor m_cursor;
    qsizetype m_pos = 0;
    QList<Group> m_stack;
    int m_overflow = 0; // groups beyond MaxDepth
    bool m_pendingStar = false;
    int m_skipChars = 0;   // \uc fallback characters still to skip
    int m_pendingTabs = 0; // cells ended and not yet separated
    bool m_done = false;

    int m_docCodePage = 1252;
    int m_defaultFont = -1;
    std::map<int, FontEntry> m_fonts;
    int m_fontNumber = -1; // entry being read in the font table
    int m_fontCharset = 0;
    QByteArray m_fontName;
    QList<std::optional<QColor>> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_bytes; // undecoded bytes of the current run
    int m_bytesCodePage = 1252;
    QString m_text; // decoded text of the current run
    CharState m_textState;
    bool m_paraHasContent = false;
    bool m_lastWasPar = false;
    bool m_breakBefore = false;
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
};

void Parser::run()
{
    m_stack.append(Group{});
    m_doc.clear();
    m_cursor = QTextCursor(&m_doc);
    m_cursor.beginEditBlock();
    // The root group's opening brace.
    while (!atEnd() && peek() != '{')
        ++m_pos;
    if (!atEnd())
        ++m_pos;
    while (!atEnd() && !m_done) {
        const char c = peek();
        switch (c) {
        case '{':
            ++m_pos;
            openGroup();
            break;
        case '}':
            ++m_pos;
            closeGroup();
            break;
        case '\\':
            ++m_pos;
            if (atEnd())
                break;
            if ((peek() >= 'a' && peek() <= 'z') || (peek() >= 'A' && peek() <= 'Z'))
                controlWord();
            else {
                const char s = peek();
                ++m_pos;
                controlSymbol(s);
            }
            break;
        case '\r':
        case '\n':
        case '\0':
            ++m_pos;
            break;
        default:
            plainText();
        }
    }
    finish();
    m_cursor.endEditBlock();
}

void Parser::openGroup()
{
    m_skipChars = 0;
    if (m_stack.size() >= MaxDepth) {
        ++m_overflow;
        return;
    }
    Group child = g();
    child.awaitsShown = false;
    if (g().awaitsShown)
        child.dest = Dest::Skip;
    // A font entry may be its own group inside the table.
    m_stack.append(child);
}

void Parser::closeGroup()
{
    m_skipChars = 0;
    m_pendingStar = false;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    const Dest leaving = g().dest;
    if (leaving == Dest::FontTable)
        fontTableText(";"); // an entry without its ";" still counts
    if (m_stack.size() == 1) {
        m_done = true; // the root group has ended; anything after it is not the document
        return;
    }
    m_stack.removeLast();
}

bool Parser::consumeSkip()
{
    if (m_skipChars > 0) {
        --m_skipChars;
        return true;
    }
    return false;
}

void Parser::plainText()
{
    const qsizetype start = m_pos;
    while (!atEnd()) {
        const char c = peek();
        if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == '\0')
            break;
        ++m_pos;
    }
    const char* p = m_data.constData() + start;
    qsizetype n = m_pos - start;
    // Fallback characters of a \u are skipped one by one.
    while (n > 0 && m_skipChars > 0) {
        --m_skipChars;
        ++p;
        --n;
    }
    if (n > 0)
        addBytes(p, n);
}

void Parser::hexByte()
{
    int value = 0, digits = 0;
    while (digits < 2 && !atEnd()) {
        const char c = peek();
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            break;
        value = value * 16 + v;
        ++digits;
        ++m_pos;
    }
    if (digits == 0 || consumeSkip())
        return;
    const char b = static_cast<char>(value);
    addBytes(&b, 1);
}

void Parser::controlSymbol(char c)
{
    switch (c) {
    case '\'':
        hexByte();
        return;
    case '*':
        m_pendingStar = true;
        return;
    case '\\':
    case '{':
    case '}':
        if (!consumeSkip())
            addBytes(&c, 1);
        return;
    case '\r':
    case '\n':
        if (!consumeSkip() && g().dest == Dest::Body)
            endParagraph();
        return;
    case '~':
        if (!consumeSkip())
            addChar(u'\u00A0');
        return;
    case '-':
        if (!consumeSkip())
            addChar(u'\u00AD');
        return;
    case '_':
        if (!consumeSkip())
            addChar(u'\u2011');
        return;
    case '\t':
        if (!consumeSkip())
            addChar(u'\t');
        return;
    default:
        consumeSkip(); // \: \| and unknown symbols show nothing
        return;
    }
}

void Parser::controlWord()
{
    const qsizetype start = m_pos;
    while (!atEnd() && ((peek() >= 'a' && peek() <= 'z') || (peek() >= 'A' && peek() <= 'Z')))
        ++m_pos;
    // Words are at most 32 letters; longer ones are unknown anyway.
    const QByteArray name = m_data.mid(start, std::min<qsizetype>(m_pos - start, 32));
    bool hasParam = false, negative = false;
    long long value = 0;
    if (!atEnd() && peek() == '-' && m_pos + 1 < m_data.size() && m_data[m_pos + 1] >= '0' &&
        m_data[m_pos + 1] <= '9') {
        negative = true;
        ++m_pos;
    }
    while (!atEnd() && peek() >= '0' && peek() <= '9') {
        hasParam = true;
        if (value < 100000000000LL)
            value = value * 10 + (peek() - '0');
        ++m_pos;
    }
    if (!atEnd() && peek() == ' ')
        ++m_pos;
    value = std::clamp(negative ? -value : value, -2147483647LL, 2147483647LL);
    word(name, hasParam, static_cast<int>(value));
}

bool Parser::destinationWord(const QByteArray& name)
{
    static const char* const skipped[] = {"stylesheet",
                                          "info",
                                          "pict",
                                          "header",
                                          "headerl",
                                          "headerr",
                                          "headerf",
                                          "footer",
                                          "footerl",
                                          "footerr",
                                          "footerf",
                                          "footnote",
                                          "annotation",
                                          "atnid",
                                          "atnauthor",
                                          "listtable",
                                          "listoverridetable",
                                          "revtbl",
                                          "rsidtbl",
                                          "generator",
                                          "xmlnstbl",
                                          "fldinst",
                                          "datafield",
                                          "template",
                                          "docvar",
                                          "comment",
                                          "author",
                                          "title",
                                          "subject",
                                          "operator",
                                          "keywords",
                                          "doccomm",
                                          "company",
                                          "buptim",
                                          "creatim",
                                          "revtim",
                                          "printim",
                                          "nonshppict",
                                          "shpinst",
                                          "themedata",
                                          "colorschememapping",
                                          "latentstyles",
                                          "datastore",
                                          "xe",
                                          "tc",
                                          "txe",
                                          "bkmkstart",
                                          "bkmkend",
                                          "pn",
                                          "filetbl",
                                          "objdata",
                                          "objclass",
                                          "objname",
                                          "ftnsep",
                                          "ftnsepc",
                                          "ftncn",
                                          "aftnsep",
                                          "aftnsepc",
                                          "aftncn",
                                          "pgdsctbl",
                                          "mmathPr",
                                          "listpicture",
                                          "blipuid",
                                          "panose",
                                          "falt",
                                          "fontemb",
                                          "fontfile",
                                          "sp",
                                          "userprops",
                                          "wgrffmtfilter"};
    for (const char* s : skipped)
        if (name == s) {
            g().dest = Dest::Skip;
            return true;
        }
    if (name == "fonttbl") {
        g().dest = g().dest == Dest::Skip ? Dest::Skip : Dest::FontTable;
        m_fontNumber = -1;
        return true;
    }
    if (name == "colortbl") {
        g().dest = g().dest == Dest::Skip ? Dest::Skip : Dest::ColorTable;
        m_red = m_green = m_blue = -1;
        return true;
    }
    if (name == "object" || name == "upr") {
        g().shownDest = g().dest;
        g().awaitsShown = true;
        g().dest = Dest::Skip;
        return true;
    }
    if (name == "result" || name == "ud") {
        // Shown only inside the \object or \upr that awaits it.
        if (m_stack.size() >= 2 && m_stack[m_stack.size() - 2].awaitsShown)
            g().dest = m_stack[m_stack.size() - 2].shownDest;
        return true;
    }
    if (name == "fldrslt" || name == "listtext" || name == "pntext" || name == "field" ||
        name == "shprslt")
        return true; // shown as ordinary text
    return false;
}

void Parser::word(const QByteArray& name, bool hasParam, int param)
{
    const bool star = m_pendingStar;
    m_pendingStar = false;
    if (name == "bin") {
        // Binary data: skipped whole, whatever it holds.
        const qsizetype n = hasParam && param > 0 ? param : 0;
        m_pos = std::min(m_data.size(), m_pos + n);
        return;
    }
    if (destinationWord(name))
        return;
    if (star) {
        // An optional destination we do not know: its group shows nothing.
        g().dest = Dest::Skip;
        return;
    }
    if (name == "u") {
        if (consumeSkip())
            return;
        const int v = param < 0 ? param + 65536 : param;
        if (v >= 0 && v <= 0xFFFF)
            addChar(static_cast<char16_t>(v));
        m_skipChars = g().uc;
        return;
    }
    if (name == "uc") {
        g().uc = std::clamp(hasParam ? param : 1, 0, 16);
        return;
    }
    if (consumeSkip())
        return;

    const Dest dest = g().dest;
    if (dest == Dest::FontTable) {
        if (name == "f") {
            if (m_fontNumber >= 0 && !m_fontName.isEmpty())
                fontTableText(";");
            m_fontNumber = hasParam ? param : -1;
            m_fontCharset = 0;
            m_fontName.clear();
        } else if (name == "fcharset") {
            m_fontCharset = param;
        }
        return;
    }
    if (dest == Dest::ColorTable) {
        if (name == "red")
            m_red = std::clamp(param, 0, 255);
        else if (name == "green")
            m_green = std::clamp(param, 0, 255);
        else if (name == "blue")
            m_blue = std::clamp(param, 0, 255);
        return;
    }
    if (dest == Dest::Skip)
        return;

    // Document-wide settings.
    if (name == "ansicpg") {
        if (!TextDecoding::codecNameForCodePage(param).isEmpty())
            m_docCodePage = param;
        return;
    }
    if (name == "ansi") {
        m_docCodePage = 1252;
        return;
    }
    if (name == "mac") {
        m_docCodePage = 10000;
        return;
    }
    if (name == "pc") {
        m_docCodePage = 437;
        return;
    }
    if (name == "pca") {
        m_docCodePage = 850;
        return;
    }
    if (name == "deff") {
        m_defaultFont = param;
        if (m_stack.size() == 1)
            g().chr.font = param;
        return;
    }
    if (charWord(name, hasParam, param) || paraWord(name, hasParam, param))
        return;

    // Breaks and special characters.
    static const struct
    {
        const char* name;
        char16_t c;
    } symbols[] = {{"tab", u'\t'},           {"emdash", u'\u2014'},    {"endash", u'\u2013'},
                   {"emspace", u'\u2003'},   {"enspace", u'\u2002'},   {"qmspace", u'\u2005'},
                   {"bullet", u'\u2022'},    {"lquote", u'\u2018'},    {"rquote", u'\u2019'},
                   {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"zwj", u'\u200D'},
                   {"zwnj", u'\u200C'},      {"zwbo", u'\u200B'},      {"zwnbo", u'\uFEFF'},
                   {"ltrmark", u'\u200E'},   {"rtlmark", u'\u200F'},   {"line", u'\u2028'},
                   {"lbr", u'\u2028'}};
    for (const auto& s : symbols)
        if (name == s.name) {
            if (name == "lbr" && hasParam)
                return; // \lbrN qualifies a following \line
            addChar(s.c);
            return;
        }
    if (name == "par" || name == "sect") {
        endParagraph();
    } else if (name == "page") {
        pageBreak();
    } else if (name == "cell" || name == "nestcell") {
        ++m_pendingTabs;
    } else if (name == "row" || name == "nestrow") {
        m_pendingTabs = 0;
        endParagraph();
    }
}

bool Parser::charWord(const QByteArray& name, bool hasParam, int param)
{
    CharState& c = g().chr;
    const bool on = !hasParam || param != 0;
    if (name == "plain") {
        c = CharState{};
        c.font = m_defaultFont;
    } else if (name == "b") {
        c.bold = on;
    } else if (name == "i") {
        c.italic = on;
    } else if (name == "ul" || name == "uld" || name == "uldb" || name == "uldash" ||
               name == "uldashd" || name == "uldashdd" || name == "ulw" || name == "ulwave" ||
               name == "ulth" || name == "ulhwave" || name == "ululdbwave" || name == "ulthd" ||
               name == "ulthdash" || name == "ulldash" || name == "ulthldash" ||
               name == "ulthdashd" || name == "ulthdashdd") {
        c.underline = on;
    } else if (name == "ulnone") {
        c.underline = false;
    } else if (name == "strike" || name == "striked") {
        c.strike = on;
    } else if (name == "fs") {
        c.halfPoints = hasParam && param > 0 ? std::clamp(param, MinHalfPoints, MaxHalfPoints) : 24;
    } else if (name == "f") {
        c.font = hasParam ? param : m_defaultFont;
    } else if (name == "cf") {
        c.fg = param;
    } else if (name == "highlight" || name == "cb" || name == "chcbpat") {
        c.bg = param;
    } else if (name == "v") {
        c.hidden = on;
    } else if (name == "super") {
        c.vertical = 1;
    } else if (name == "sub") {
        c.vertical = -1;
    } else if (name == "nosupersub") {
        c.vertical = 0;
    } else {
        return false;
    }
    return true;
}

bool Parser::paraWord(const QByteArray& name, bool, int param)
{
    ParaState& p = g().para;
    const int twips = std::clamp(param, -MaxTwips, MaxTwips);
    if (name == "pard")
        p = ParaState{};
    else if (name == "ql")
        p.align = Qt::AlignLeft;
    else if (name == "qc")
        p.align = Qt::AlignHCenter;
    else if (name == "qr")
        p.align = Qt::AlignRight;
    else if (name == "qj")
        p.align = Qt::AlignJustify;
    else if (name == "li")
        p.left = std::max(0, twips);
    else if (name == "ri")
        p.right = std::max(0, twips);
    else if (name == "fi")
        p.first = twips;
    else if (name == "sb")
        p.before = std::max(0, twips);
    else if (name == "sa")
        p.after = std::max(0, twips);
    else
        return false;
    return true;
}

// --- font and colour tables ---

void Parser::fontTableText(const QByteArray& bytes)
{
    for (char c : bytes) {
        if (c == ';') {
            if (m_fontNumber >= 0) {
                FontEntry& e = m_fonts[m_fontNumber];
                e.codePage = TextDecoding::codePageForCharset(m_fontCharset);
                const int cp = e.codePage ? e.codePage : m_docCodePage;
                QStringDecoder* d = decoderFor(cp);
                e.name = (d ? (*d)(m_fontName) : QString::fromLatin1(m_fontName)).trimmed();
            }
            m_fontNumber = -1;
            m_fontName.clear();
        } else if (m_fontNumber >= 0 && m_fontName.size() < 256) {
            m_fontName.append(c);
        }
    }
}

void Parser::colorTableText(const QByteArray& bytes)
{
    for (char c : bytes) {
        if (c != ';')
            continue;
        if (m_colors.size() < 4096) {
            if (m_red < 0 && m_green < 0 && m_blue < 0)
                m_colors.append(std::nullopt); // "auto"
            else
                m_colors.append(
                    QColor(std::max(m_red, 0), std::max(m_green, 0), std::max(m_blue, 0)));
        }
        m_red = m_green = m_blue = -1;
    }
}

// --- output ---

int Parser::currentCodePage() const
{
    const int f = m_stack.back().chr.font;
    if (f >= 0) {
        auto it = m_fonts.find(f);
        if (it != m_fonts.end() && it->second.codePage)
            return it->second.codePage;
    }
    return m_docCodePage;
}

QStringDecoder* Parser::decoderFor(int codePage)
{
    auto it = m_decoders.find(codePage);
    if (it == m_decoders.end()) {
        const QByteArray codec = TextDecoding::codecNameForCodePage(codePage);
        auto d =
            std::make_unique<QStringDecoder>(codec.isEmpty() ? "windows-1252" : codec.constData());
        it = m_decoders.emplace(codePage, d->isValid() ? std::move(d) : nullptr).first;
    }
    return it->second.get();
}

void Parser::addBytes(const char* p, qsizetype n)
{
    switch (g().dest) {
    case Dest::Skip:
        return;
    case Dest::FontTable:
        fontTableText(QByteArray(p, n));
        return;
    case Dest::ColorTable:
        colorTableText(QByteArray(p, n));
        return;
    case Dest::Body:
        break;
    }
    if (g().chr.hidden)
        return;
    const int cp = currentCodePage();
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
        flushBytes();
    if (!(g().chr == m_textState))
        flushText();
    m_bytesCodePage = cp;
    if (m_pendingTabs > 0) {
        flushBytes();
        m_text.append(QString(m_pendingTabs, u'\t'));
        m_pendingTabs = 0;
    }
    m_bytes.append(p, n);
    m_paraHasContent = true;
    m_lastWasPar = false;
}

void Parser::addChar(char16_t c)
{
    addText(QStringView(&c, 1));
}

void Parser::addText(QStringView text)
{
    if (g().dest != Dest::Body || g().chr.hidden)
        return;
    if (!(g().chr == m_textState))
        flushText();
    flushBytes();
    if (m_pendingTabs > 0) {
        m_text.append(QString(m_pendingTabs, u'\t'));
        m_pendingTabs = 0;
    }
    m_text.append(text);
    m_paraHasContent = true;
    m_lastWasPar = false;
}

void Parser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    bool ascii = true;
    for (char c : std::as_const(m_bytes))
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        m_text.append(QLatin1StringView(m_bytes));
    } else if (QStringDecoder* d = decoderFor(m_bytesCodePage)) {
        d->resetState();
        m_text.append((*d)(m_bytes));
    } else {
        m_text.append(QString::fromLatin1(m_bytes));
    }
    m_bytes.clear();
}

void Parser::flushText()
{
    flushBytes();
    if (!m_text.isEmpty()) {
        m_cursor.insertText(m_text, charFormat(m_textState));
        m_text.clear();
    }
    m_textState = g().chr;
}

QTextCharFormat Parser::charFormat(const CharState& s)
{
    QTextCharFormat f;
    if (s.font >= 0) {
        auto it = m_fonts.find(s.font);
        if (it != m_fonts.end() && !it->second.name.isEmpty())
            f.setFontFamilies({it->second.name});
    }
    f.setFontPointSize(s.halfPoints / 2.0);
    if (s.bold)
        f.setFontWeight(QFont::Bold);
    if (s.italic)
        f.setFontItalic(true);
    if (s.underline)
        f.setFontUnderline(true);
    if (s.strike)
        f.setFontStrikeOut(true);
    if (s.vertical)
        f.setVerticalAlignment(s.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                              : QTextCharFormat::AlignSubScript);
    if (s.fg > 0 && s.fg < m_colors.size() && m_colors[s.fg])
        f.setForeground(*m_colors[s.fg]);
    if (s.bg > 0 && s.bg < m_colors.size() && m_colors[s.bg])
        f.setBackground(*m_colors[s.bg]);
    return f;
}

QTextBlockFormat Parser::blockFormat(const ParaState& p) const
{
    // Twips to the document's pixels at 96 per inch.
    auto px = [](int twips) { return twips / 15.0; };
    QTextBlockFormat f;
    f.setAlignment(p.align);
    if (p.left)
        f.setLeftMargin(px(p.left));
    if (p.right)
        f.setRightMargin(px(p.right));
    if (p.first)
        f.setTextIndent(px(p.first));
    if (p.before)
        f.setTopMargin(px(p.before));
    if (p.after)
        f.setBottomMargin(px(p.after));
    return f;
}

void Parser::endParagraph()
{
    if (g().dest != Dest::Body)
        return;
    flushText();
    m_pendingTabs = 0;
    QTextBlockFormat f = blockFormat(g().para);
    if (m_breakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_breakBefore = false;
    m_cursor.setBlockFormat(f);
    m_cursor.insertBlock(QTextBlockFormat(), charFormat(g().chr));
    m_paraHasContent = false;
    m_lastWasPar = true;
}

void Parser::pageBreak()
{
    if (g().dest != Dest::Body)
        return;
    // A page break in the middle of a paragraph ends it; the next paragraph
    // starts the new page.
    if (m_paraHasContent || !m_text.isEmpty() || !m_bytes.isEmpty())
        endParagraph();
    m_breakBefore = true;
}

void Parser::finish()
{
    flushText();
    if (m_lastWasPar && m_cursor.block().length() == 1 && m_doc.blockCount() > 1) {
        // The document's final paragraph mark ends the last paragraph; it
        // does not open an empty one.
        m_cursor.deletePreviousChar();
        return;
    }
    QTextBlockFormat f = blockFormat(m_stack.front().para);
    if (!m_stack.isEmpty())
        f = blockFormat(g().para);
    if (m_breakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_cursor.setBlockFormat(f);
}

} // namespace

bool read(const QByteArray& data, QTextDocument& document)
{
    if (!looksLikeRtf(data))
        return false;
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    Parser(data, document).run();
    document.setUndoRedoEnabled(undo);
    return true;
}

} // namespace Rtf
