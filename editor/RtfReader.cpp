#include "editor/RtfReader.h"

#include "editor/RtfNumbering.h"
#include "editor/TextDecoding.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

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
// Lists and list overrides kept; a real document has a few dozen.
constexpr std::size_t MaxLists = 4096;
// List levels have 9 levels; a level's text is a few characters.
constexpr int MaxLevels = 9;
constexpr std::size_t MaxLevelUnits = 64;
// Fields nested in one another whose shown text we work out.
constexpr qsizetype MaxFields = 32;
// Characters kept of a field's instruction, of a form field's texts, of a
// paragraph's written number.
constexpr qsizetype MaxCollected = 1024;
constexpr qsizetype MaxFormItems = 64;
// Code pages of the symbol fonts, which are drawn from tables of our own.
constexpr int SymbolCodePage = -1;
constexpr int WingdingsCodePage = -2;

enum class Dest {
    Body,
    FontTable,
    ColorTable,
    Skip,
    // Groups whose own text is not shown but whose named parts are read:
    // the list tables, a form field's settings, a shape or drawing object
    // (only its text box shows).
    ListTable,
    OverrideTable,
    FormField,
    Container,
    // Groups whose text is collected: a list level's text, a paragraph's
    // number as the writer wrote it, a field's instruction, a form field's
    // default text or list item.
    LevelText,
    ListLabel,
    FieldInst,
    FormText,
};

// What a group opened, to be completed when it closes.
enum class Opens : unsigned char {
    Nothing,
    List,
    ListLevel,
    Override,
    OverrideLevel,
    Field,
    Shape,
    ShapeText,
};

struct CharState
{
    int font = -1;
    int halfPoints = 24;
    int fg = 0; // colour table index; 0 = automatic
    int bg = 0;
    bool bold = false, italic = false, underline = false, strike = false, hidden = false;
    bool rtl = false;         // \rtlch: a right-to-left run
    signed char vertical = 0; // -1 sub, 1 super

    bool operator==(const CharState&) const = default;
};

struct ParaState
{
    Qt::Alignment align = Qt::AlignLeft;
    bool alignSet = false;
    bool rtl = false;                                          // \rtlpar
    int left = 0, right = 0, first = 0, before = 0, after = 0; // twips
    int ls = 0, ilvl = 0;                                      // list override and level
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
    Opens opens = Opens::Nothing;
    bool shapeHasInst = false; // a \shp whose \shpinst came: its \shprslt repeats it
};

struct FontEntry
{
    QString name;
    int charset = -1; // -1: none given
    int codePage = 0; // from \cpg or a national \fcharset; 0: see codePageOf
    TextDecoding::SymbolFont symbol = TextDecoding::SymbolFont::None;
};

struct ListLevel
{
    int format = Arabic;
    int start = 1;
    bool legal = false, noRestart = false;
    int follow = 0; // 0 tab, 1 space, 2 nothing
    int font = -1;
    // \leveltext as written: bytes (true) and \u characters (false).
    std::vector<std::pair<bool, char16_t>> units;
    QString text; // level numbers are the characters 0 to 8
};

struct ListDef
{
    int id = 0;
    std::vector<ListLevel> levels;
};

struct ListOverride
{
    int listId = 0;
    int ls = 0;
    std::array<int, MaxLevels> startAt;
    bool applied = false;
    ListOverride() { startAt.fill(INT_MIN); }
};

struct Counters
{
    std::array<int, MaxLevels> value{};
    std::array<bool, MaxLevels> started{};
    std::array<int, MaxLevels> restartAt;
    Counters() { restartAt.fill(INT_MIN); }
};

// Text gathered from bytes in some code page and \u characters.
struct Collected
{
    QString text;
    QByteArray bytes;
    int codePage = 1252;
};

struct Field
{
    int depth = 0;
    bool hasResult = false;
    qsizetype shownBefore = 0; // characters shown when the field began
    Collected inst;
    int type = -1, result = -1, defaultResult = -1;
    Collected defaultText;
    QList<Collected> items;
};

// Where text goes: the document, or the text of the text boxes met in the
// current paragraph, which follows that paragraph.
struct Sink
{
    QTextCursor cursor;
    QByteArray bytes; // undecoded bytes of the current run
    int bytesCodePage = 1252;
    QString text; // decoded text of the current run
    CharState textState;
    bool paraHasContent = false;
    bool lastWasPar = false;
    bool breakBefore = false;
    int pendingTabs = 0; // cells ended and not yet separated
    // The paragraph's number: given by the list table, else as written.
    bool labelDone = false;
    Collected listText;
    CharState listTextState;
    bool hasListText = false;
    // A footnote mark (\chftn) waits to know whether its note is an endnote.
    bool pendingMark = false;
    CharState markState;
};

class Parser
{
public:
    Parser(const QByteArray& data, QTextDocument& doc) : m_data(data), m_doc(doc) {}
    void run();

private:
    // --- input ---
    bool atEnd() const { return m_pos >= m_data.size(); }
    char peek() const { return m_data[m_pos]; }
    bool nextWordIs(const char* word) const;
    void controlWord();
    void controlSymbol(char c);
    void hexByte();
    void plainText();
    void openGroup();
    void closeGroup();

    // --- state ---
    Group& g() { return m_stack.back(); }
    Group* parent() { return m_stack.size() >= 2 ? &m_stack[m_stack.size() - 2] : nullptr; }
    void word(const QByteArray& name, bool hasParam, int param);
    bool charWord(const QByteArray& name, bool hasParam, int param);
    bool paraWord(const QByteArray& name, bool hasParam, int param);
    bool destinationWord(const QByteArray& name);
    bool structureWord(const QByteArray& name);
    bool tableWord(const QByteArray& name, bool hasParam, int param);
    bool documentWord(const QByteArray& name, bool hasParam, int param);
    bool consumeSkip();

    // --- output ---
    Sink& out() { return *m_out; }
    void addBytes(const char* p, qsizetype n);
    void addChar(char16_t c);
    void addText(QStringView text);
    void beginContent(bool content);
    void insertRun(const QString& text, const CharState& state);
    void flushBytes();
    void flushText();
    void endParagraph();
    void pageBreak();
    void finish();
    QTextCharFormat charFormat(const CharState& s);
    QTextBlockFormat blockFormat(const ParaState& p) const;
    int codePageOf(const CharState& s) const;
    int currentCodePage() const { return codePageOf(m_stack.back().chr); }
    QStringDecoder* decoderFor(int codePage);
    QString decode(const QByteArray& bytes, int codePage);
    void collect(Collected& c, const char* p, qsizetype n);
    void collect(Collected& c, QStringView text);
    QString take(Collected& c);

    // lists
    void endLevel();
    std::optional<QString> listLabel(const ParaState& p);
    // footnotes
    void emitMark(bool endnote);
    // fields
    void endField();
    QString fieldShows(Field& f);
    // text boxes
    void beginShapeText();
    void endShapeText();
    void insertShapeText();

    // font and colour tables
    void fontTableText(const QByteArray& bytes);
    void colorTableText(const QByteArray& bytes);

    const QByteArray& m_data;
    QTextDocument& m_doc;
    qsizetype m_pos = 0;
    QList<Group> m_stack;
    int m_overflow = 0; // groups beyond MaxDepth
    bool m_pendingStar = false;
    int m_skipChars = 0; // \uc fallback characters still to skip
    bool m_done = false;

    int m_docCodePage = 1252;
    bool m_ansi = true; // not \mac, \pc or \pca
    int m_defaultFont = -1;
    std::map<int, FontEntry> m_fonts;
    int m_fontNumber = -1; // entry being read in the font table
    int m_fontCharset = -1;
    int m_fontCodePage = 0;
    QByteArray m_fontName;
    QList<std::optional<QColor>> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;

    Sink m_main;
    Sink m_shape;
    Sink* m_out = &m_main;
    QTextDocument m_shapeDoc;
    bool m_shapeBreak = false; // the next text box text starts a paragraph
    qsizetype m_shown = 0;     // characters of text shown so far

    std::map<int, ListDef> m_lists;          // by \listid
    ListDef m_list;                          // being read
    std::map<int, ListOverride> m_overrides; // by \ls
    ListOverride m_override;                 // being read
    int m_lfoLevel = -1;
    std::map<int, Counters> m_counters; // by \listid

    int m_footnoteFormat = Arabic, m_endnoteFormat = LowerRoman;
    int m_footnoteNext = 1, m_endnoteNext = 1;

    QList<Field> m_fields;
    bool m_formItem = false; // form text goes to the last list item, not the default text
};

void Parser::run()
{
    m_stack.append(Group{});
    m_doc.clear();
    m_main.cursor = QTextCursor(&m_doc);
    m_shape.cursor = QTextCursor(&m_shapeDoc);
    m_main.cursor.beginEditBlock();
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
    m_main.cursor.endEditBlock();
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
    child.opens = Opens::Nothing;
    child.shapeHasInst = false;
    if (g().awaitsShown)
        child.dest = Dest::Skip;
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
    switch (g().opens) {
    case Opens::List:
        if (m_list.id != 0 && m_lists.size() < MaxLists)
            m_lists[m_list.id] = std::move(m_list);
        m_list = ListDef{};
        break;
    case Opens::ListLevel:
        endLevel();
        break;
    case Opens::Override:
        if (m_override.ls > 0 && m_overrides.size() < MaxLists)
            m_overrides[m_override.ls] = m_override;
        m_override = ListOverride{};
        break;
    case Opens::Field:
        endField();
        break;
    case Opens::ShapeText:
        endShapeText();
        break;
    case Opens::OverrideLevel:
    case Opens::Shape:
    case Opens::Nothing:
        break;
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

// The next control word in the input, after blanks, is `word`.
bool Parser::nextWordIs(const char* word) const
{
    qsizetype i = m_pos;
    while (i < m_data.size() && (m_data[i] == ' ' || m_data[i] == '\r' || m_data[i] == '\n'))
        ++i;
    const qsizetype n = qsizetype(std::strlen(word));
    if (i + 1 + n > m_data.size() || m_data[i] != '\\' ||
        std::memcmp(m_data.constData() + i + 1, word, size_t(n)) != 0)
        return false;
    const qsizetype end = i + 1 + n;
    return end == m_data.size() || !((m_data[end] >= 'a' && m_data[end] <= 'z') ||
                                     (m_data[end] >= 'A' && m_data[end] <= 'Z'));
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
    // Looked up once per control word: a hash, not a list to walk.
    static const QSet<QByteArray> skipped = {
        "stylesheet",   "info",         "pict",       "header",
        "headerl",      "headerr",      "headerf",    "footer",
        "footerl",      "footerr",      "footerf",    "annotation",
        "atnid",        "atnauthor",    "revtbl",     "rsidtbl",
        "generator",    "xmlnstbl",     "datafield",  "template",
        "docvar",       "comment",      "author",     "title",
        "subject",      "operator",     "keywords",   "doccomm",
        "company",      "buptim",       "creatim",    "revtim",
        "printim",      "nonshppict",   "themedata",  "colorschememapping",
        "latentstyles", "datastore",    "xe",         "tc",
        "txe",          "bkmkstart",    "bkmkend",    "pn",
        "filetbl",      "objdata",      "objclass",   "objname",
        "ftnsep",       "ftnsepc",      "ftncn",      "aftnsep",
        "aftnsepc",     "aftncn",       "pgdsctbl",   "mmathPr",
        "listpicture",  "levelnumbers", "listname",   "listlevelnumbers",
        "blipuid",      "panose",       "falt",       "fontemb",
        "fontfile",     "sp",           "userprops",  "wgrffmtfilter",
        "ffname",       "ffhelptext",   "ffstattext", "ffentrymcr",
        "ffexitmcr",    "ffformat"};
    if (skipped.contains(name)) {
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
        if (parent() && parent()->awaitsShown)
            g().dest = parent()->shownDest;
        return true;
    }
    if (name == "field")
        return true; // its result is shown as ordinary text
    if (name == "shprslt") {
        if (!(parent() && parent()->shapeHasInst))
            return true;
        // What a reader that knows no shapes shows instead of the shape.
        g().dest = Dest::Skip;
        return true;
    }
    return structureWord(name);
}

// Destinations with a structure of their own: lists, list labels, fields,
// form fields, footnotes, shapes and drawing objects.
bool Parser::structureWord(const QByteArray& name)
{
    static const QSet<QByteArray> words = {
        "footnote",  "listtable", "listoverridetable", "list",      "listoverride",
        "listlevel", "lfolevel",  "leveltext",         "listtext",  "pntext",
        "fldinst",   "fldrslt",   "formfield",         "ffdeftext", "ffl",
        "shp",       "shpgrp",    "shpinst",           "do",        "shptxt",
        "dptxbxtext"};
    if (!words.contains(name))
        return false;
    Group& grp = g();
    const Dest dest = grp.dest;
    // Inside an overflowed group the state is shared: nothing opens there.
    const bool own = m_overflow == 0;
    // A group completes one thing when it closes.
    auto opens = [&](Opens what) {
        if (!own || grp.opens != Opens::Nothing)
            return false;
        grp.opens = what;
        return true;
    };

    if (name == "footnote") {
        if (dest == Dest::Body && out().pendingMark) {
            out().pendingMark = false;
            beginContent(true);
            emitMark(nextWordIs("ftnalt"));
        }
        // The note's text is printed at the page's foot or the document's
        // end; the reader sees its mark in the text.
        grp.dest = Dest::Skip;
        return true;
    }
    if (name == "listtable") {
        if (dest != Dest::Skip)
            grp.dest = Dest::ListTable;
        return true;
    }
    if (name == "listoverridetable") {
        if (dest != Dest::Skip)
            grp.dest = Dest::OverrideTable;
        return true;
    }
    if (name == "list" || name == "listoverride") {
        if (dest == Dest::ListTable && name == "list" && opens(Opens::List))
            m_list = ListDef{};
        else if (dest == Dest::OverrideTable && name == "listoverride" && opens(Opens::Override)) {
            m_override = ListOverride{};
            m_lfoLevel = -1;
        } else
            grp.dest = Dest::Skip;
        return true;
    }
    if (name == "listlevel") {
        if (dest == Dest::ListTable && opens(Opens::ListLevel))
            m_list.levels.push_back(ListLevel{});
        // In an override, \listlevel only repeats a level's settings; its
        // \levelstartat is read like the override's own.
        else if (dest != Dest::OverrideTable)
            grp.dest = Dest::Skip;
        return true;
    }
    if (name == "lfolevel") {
        if (dest == Dest::OverrideTable && opens(Opens::OverrideLevel))
            ++m_lfoLevel;
        else
            grp.dest = Dest::Skip;
        return true;
    }
    if (name == "leveltext") {
        grp.dest = dest == Dest::ListTable && grp.opens == Opens::Nothing && !m_list.levels.empty()
                       ? Dest::LevelText
                       : Dest::Skip;
        return true;
    }
    if (name == "listtext" || name == "pntext") {
        if (dest == Dest::Body) {
            grp.dest = Dest::ListLabel;
            out().hasListText = false;
        } else {
            grp.dest = Dest::Skip;
        }
        return true;
    }
    if (name == "fldinst") {
        // Only the instruction of a field we follow is read.
        grp.dest = dest == Dest::Body && !m_fields.isEmpty() && parent() &&
                           m_fields.back().depth == m_stack.size() - 1
                       ? Dest::FieldInst
                       : Dest::Skip;
        return true;
    }
    if (name == "fldrslt") {
        if (!m_fields.isEmpty() && parent() && m_fields.back().depth == m_stack.size() - 1)
            m_fields.back().hasResult = true;
        return true;
    }
    if (name == "formfield") {
        grp.dest = dest == Dest::FieldInst ? Dest::FormField : Dest::Skip;
        return true;
    }
    if (name == "ffdeftext" || name == "ffl") {
        if (dest == Dest::FormField && !m_fields.isEmpty() &&
            (name == "ffdeftext" || m_fields.back().items.size() < MaxFormItems) && own) {
            grp.dest = Dest::FormText;
            m_formItem = name == "ffl";
            if (m_formItem)
                m_fields.back().items.append(Collected{});
            else
                m_fields.back().defaultText = Collected{};
        } else {
            grp.dest = Dest::Skip;
        }
        return true;
    }
    if (name == "shp" || name == "shpgrp") {
        if (dest != Dest::Skip)
            opens(Opens::Shape);
        return true;
    }
    if (name == "shpinst" || name == "do") {
        if (name == "shpinst" && parent() && parent()->opens == Opens::Shape)
            parent()->shapeHasInst = true;
        if (dest != Dest::Skip)
            grp.dest = Dest::Container;
        return true;
    }
    if (name == "shptxt" || name == "dptxbxtext") {
        if (dest == Dest::Container || dest == Dest::Body) {
            // A text box inside a text box stays where it is.
            if (m_out == &m_main && opens(Opens::ShapeText))
                beginShapeText();
            grp.dest = Dest::Body;
        } else {
            grp.dest = Dest::Skip;
        }
        return true;
    }
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
    if (name == "field" && g().dest == Dest::Body && m_overflow == 0 &&
        g().opens == Opens::Nothing && m_fields.size() < MaxFields) {
        g().opens = Opens::Field;
        Field f;
        f.depth = int(m_stack.size());
        f.shownBefore = m_shown;
        m_fields.append(f);
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
        if (v >= 0 && v <= 0xFFFF) {
            char16_t c = static_cast<char16_t>(v);
            // A symbol font's characters written as \u: U+F020 and on.
            const int cp = currentCodePage();
            if (cp < 0 && c >= 0xF020 && c <= 0xF0FF)
                if (const char16_t mapped = TextDecoding::symbolFontChar(
                        cp == SymbolCodePage ? TextDecoding::SymbolFont::Symbol
                                             : TextDecoding::SymbolFont::Wingdings,
                        static_cast<unsigned char>(c & 0xFF)))
                    c = mapped;
            if (g().dest == Dest::LevelText) {
                if (m_list.levels.back().units.size() < MaxLevelUnits)
                    m_list.levels.back().units.emplace_back(false, c);
            } else {
                addChar(c);
            }
        }
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
    switch (dest) {
    case Dest::FontTable:
        if (name == "f") {
            if (m_fontNumber >= 0 && !m_fontName.isEmpty())
                fontTableText(";");
            m_fontNumber = hasParam ? param : -1;
            m_fontCharset = -1;
            m_fontCodePage = 0;
            m_fontName.clear();
        } else if (name == "fcharset") {
            m_fontCharset = param;
        } else if (name == "cpg") {
            if (!TextDecoding::codecNameForCodePage(param).isEmpty())
                m_fontCodePage = param;
        }
        return;
    case Dest::ColorTable:
        if (name == "red")
            m_red = std::clamp(param, 0, 255);
        else if (name == "green")
            m_green = std::clamp(param, 0, 255);
        else if (name == "blue")
            m_blue = std::clamp(param, 0, 255);
        return;
    case Dest::ListTable:
    case Dest::OverrideTable:
        tableWord(name, hasParam, param);
        return;
    case Dest::FormField:
        if (!m_fields.isEmpty()) {
            Field& f = m_fields.back();
            if (name == "fftype")
                f.type = param;
            else if (name == "ffres")
                f.result = param;
            else if (name == "ffdefres")
                f.defaultResult = param;
        }
        return;
    case Dest::Skip:
    case Dest::Container:
        return;
    case Dest::Body:
    case Dest::LevelText:
    case Dest::ListLabel:
    case Dest::FieldInst:
    case Dest::FormText:
        break;
    }
    if (charWord(name, hasParam, param) || paraWord(name, hasParam, param))
        return;
    if (dest == Dest::Body && documentWord(name, hasParam, param))
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
    if (dest != Dest::Body)
        return;
    if (name == "par" || name == "sect") {
        endParagraph();
    } else if (name == "page") {
        pageBreak();
    } else if (name == "cell" || name == "nestcell") {
        ++out().pendingTabs;
        out().labelDone = false; // a cell's paragraph may be a list item of its own
        out().hasListText = false;
    } else if (name == "row" || name == "nestrow") {
        out().pendingTabs = 0;
        endParagraph();
    } else if (name == "chftn") {
        Sink& s = out();
        if (s.pendingMark)
            beginContent(false);
        s.pendingMark = true;
        s.markState = g().chr;
    }
}

// Words of the list table and the list override table.
bool Parser::tableWord(const QByteArray& name, bool hasParam, int param)
{
    if (g().dest == Dest::OverrideTable) {
        if (name == "listid")
            m_override.listId = param;
        else if (name == "ls")
            m_override.ls = param;
        else if (name == "levelstartat" && m_lfoLevel >= 0 && m_lfoLevel < MaxLevels)
            m_override.startAt[size_t(m_lfoLevel)] = std::clamp(param, 0, 1000000000);
        else
            return false;
        return true;
    }
    if (name == "listid") {
        m_list.id = param;
        return true;
    }
    if (m_list.levels.empty() || int(m_list.levels.size()) > MaxLevels)
        return false;
    ListLevel& l = m_list.levels.back();
    if (name == "levelnfc" || name == "levelnfcn")
        l.format = param;
    else if (name == "levelstartat")
        l.start = std::clamp(param, 0, 1000000000);
    else if (name == "levellegal")
        l.legal = !hasParam || param != 0;
    else if (name == "levelnorestart")
        l.noRestart = !hasParam || param != 0;
    else if (name == "levelfollow")
        l.follow = param;
    else if (name == "f")
        l.font = param;
    else
        return false;
    return true;
}

// Document-wide settings, read in the body.
bool Parser::documentWord(const QByteArray& name, bool hasParam, int param)
{
    if (name == "ansicpg") {
        if (!TextDecoding::codecNameForCodePage(param).isEmpty())
            m_docCodePage = param;
    } else if (name == "ansi") {
        m_docCodePage = 1252;
        m_ansi = true;
    } else if (name == "mac") {
        m_docCodePage = 10000;
        m_ansi = false;
    } else if (name == "pc") {
        m_docCodePage = 437;
        m_ansi = false;
    } else if (name == "pca") {
        m_docCodePage = 850;
        m_ansi = false;
    } else if (name == "deff") {
        m_defaultFont = param;
        if (m_stack.size() == 1)
            g().chr.font = param;
    } else if (name == "ftnstart" || name == "aftnstart") {
        (name == "ftnstart" ? m_footnoteNext : m_endnoteNext) =
            std::clamp(hasParam ? param : 1, 0, 1000000000);
    } else if (name.contains("ftnn")) {
        // Footnote and endnote numbering, for the document or a section.
        static const struct
        {
            const char* suffix;
            int format;
        } formats[] = {{"ar", Arabic},      {"alc", LowerLetter}, {"auc", UpperLetter},
                       {"rlc", LowerRoman}, {"ruc", UpperRoman},  {"chi", Chicago}};
        for (const auto& f : formats)
            for (const char* prefix : {"ftnn", "sftnn", "aftnn", "saftnn"})
                if (name == QByteArray(prefix) + f.suffix) {
                    (prefix[0] == 'a' || prefix[1] == 'a' ? m_endnoteFormat : m_footnoteFormat) =
                        f.format;
                    return true;
                }
        return false;
    } else {
        return false;
    }
    return true;
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
    } else if (name == "rtlch") {
        c.rtl = true;
    } else if (name == "ltrch") {
        c.rtl = false;
    } else {
        return false;
    }
    return true;
}

bool Parser::paraWord(const QByteArray& name, bool, int param)
{
    ParaState& p = g().para;
    const int twips = std::clamp(param, -MaxTwips, MaxTwips);
    auto align = [&p](Qt::Alignment a) {
        p.align = a;
        p.alignSet = true;
    };
    if (name == "pard")
        p = ParaState{};
    else if (name == "ql")
        align(Qt::AlignLeft);
    else if (name == "qc")
        align(Qt::AlignHCenter);
    else if (name == "qr")
        align(Qt::AlignRight);
    else if (name == "qj")
        align(Qt::AlignJustify);
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
    else if (name == "rtlpar")
        p.rtl = true;
    else if (name == "ltrpar")
        p.rtl = false;
    else if (name == "ls")
        p.ls = std::max(0, param);
    else if (name == "ilvl")
        p.ilvl = std::clamp(param, 0, MaxLevels - 1);
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
                e.charset = m_fontCharset;
                e.codePage = m_fontCodePage ? m_fontCodePage
                                            : TextDecoding::codePageForCharset(m_fontCharset);
                const int cp = e.codePage ? e.codePage : m_docCodePage;
                QStringDecoder* d = decoderFor(cp);
                e.name = (d ? (*d)(m_fontName) : QString::fromLatin1(m_fontName)).trimmed();
                // Only a font declared with the symbol character set draws
                // its own pictures; a "Symbol" without it is a name only.
                e.symbol = m_fontCharset == 2 ? TextDecoding::symbolFontNamed(e.name)
                                              : TextDecoding::SymbolFont::None;
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

// --- code pages ---

int Parser::codePageOf(const CharState& s) const
{
    if (s.font >= 0) {
        auto it = m_fonts.find(s.font);
        if (it != m_fonts.end()) {
            const FontEntry& e = it->second;
            if (e.symbol == TextDecoding::SymbolFont::Symbol)
                return SymbolCodePage;
            if (e.symbol == TextDecoding::SymbolFont::Wingdings)
                return WingdingsCodePage;
            if (e.codePage)
                return e.codePage;
            // A Western font is Windows-1252 whatever the system's code page
            // was, except for a right-to-left run of a Hebrew or Arabic
            // document, which is in the document's code page.
            if (e.charset == 0 && m_ansi &&
                !(s.rtl && (m_docCodePage == 1255 || m_docCodePage == 1256)))
                return 1252;
        }
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

QString Parser::decode(const QByteArray& bytes, int codePage)
{
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (codePage < 0) {
        // A symbol font: its own characters, else the byte as Windows-1252.
        const auto font = codePage == SymbolCodePage ? TextDecoding::SymbolFont::Symbol
                                                     : TextDecoding::SymbolFont::Wingdings;
        QString s;
        s.reserve(bytes.size());
        for (char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            if (const char16_t mapped = TextDecoding::symbolFontChar(font, b))
                s += QChar(mapped);
            else
                s += decode(QByteArray(1, c), 1252);
        }
        return s;
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    if (QStringDecoder* d = decoderFor(codePage)) {
        d->resetState();
        return (*d)(bytes);
    }
    return QString::fromLatin1(bytes);
}

void Parser::collect(Collected& c, const char* p, qsizetype n)
{
    const int cp = currentCodePage();
    if (!c.bytes.isEmpty() && cp != c.codePage)
        c.text += decode(std::exchange(c.bytes, {}), c.codePage);
    c.codePage = cp;
    if (c.text.size() + c.bytes.size() < MaxCollected)
        c.bytes.append(p, std::min(n, MaxCollected));
}

void Parser::collect(Collected& c, QStringView text)
{
    if (!c.bytes.isEmpty())
        c.text += decode(std::exchange(c.bytes, {}), c.codePage);
    if (c.text.size() < MaxCollected)
        c.text += text.left(MaxCollected);
}

QString Parser::take(Collected& c)
{
    if (!c.bytes.isEmpty())
        c.text += decode(std::exchange(c.bytes, {}), c.codePage);
    return std::exchange(c.text, {});
}

// --- output ---

void Parser::addBytes(const char* p, qsizetype n)
{
    switch (g().dest) {
    case Dest::Skip:
    case Dest::Container:
    case Dest::ListTable:
    case Dest::OverrideTable:
    case Dest::FormField:
        return;
    case Dest::FontTable:
        fontTableText(QByteArray(p, n));
        return;
    case Dest::ColorTable:
        colorTableText(QByteArray(p, n));
        return;
    case Dest::LevelText: {
        auto& units = m_list.levels.back().units;
        for (qsizetype i = 0; i < n && units.size() < MaxLevelUnits; ++i)
            units.emplace_back(true, char16_t(static_cast<unsigned char>(p[i])));
        return;
    }
    case Dest::ListLabel:
        if (!g().chr.hidden) {
            if (!out().hasListText) {
                out().hasListText = true;
                out().listText = Collected{};
                out().listTextState = g().chr;
            }
            collect(out().listText, p, n);
        }
        return;
    case Dest::FieldInst:
        if (!m_fields.isEmpty())
            collect(m_fields.back().inst, p, n);
        return;
    case Dest::FormText:
        if (!m_fields.isEmpty()) {
            Field& f = m_fields.back();
            collect(m_formItem && !f.items.isEmpty() ? f.items.back() : f.defaultText, p, n);
        }
        return;
    case Dest::Body:
        break;
    }
    if (g().chr.hidden)
        return;
    beginContent(true);
    Sink& s = out();
    const int cp = currentCodePage();
    if (!s.bytes.isEmpty() && cp != s.bytesCodePage)
        flushBytes();
    if (!(g().chr == s.textState))
        flushText();
    s.bytesCodePage = cp;
    s.bytes.append(p, n);
    s.paraHasContent = true;
    s.lastWasPar = false;
    m_shown += n;
}

void Parser::addChar(char16_t c)
{
    addText(QStringView(&c, 1));
}

void Parser::addText(QStringView text)
{
    switch (g().dest) {
    case Dest::ListLabel:
        if (!g().chr.hidden) {
            if (!out().hasListText) {
                out().hasListText = true;
                out().listText = Collected{};
                out().listTextState = g().chr;
            }
            collect(out().listText, text);
        }
        return;
    case Dest::FieldInst:
        if (!m_fields.isEmpty())
            collect(m_fields.back().inst, text);
        return;
    case Dest::FormText:
        if (!m_fields.isEmpty()) {
            Field& f = m_fields.back();
            collect(m_formItem && !f.items.isEmpty() ? f.items.back() : f.defaultText, text);
        }
        return;
    case Dest::Body:
        break;
    default:
        return;
    }
    if (g().chr.hidden)
        return;
    beginContent(true);
    Sink& s = out();
    if (!(g().chr == s.textState))
        flushText();
    flushBytes();
    s.text.append(text);
    s.paraHasContent = true;
    s.lastWasPar = false;
    m_shown += text.size();
}

// What comes before a paragraph's first text: the tabs between table cells,
// the paragraph's number and a footnote mark still waiting.
void Parser::beginContent(bool content)
{
    Sink& s = out();
    if (content && m_out == &m_shape && m_shapeBreak) {
        // The text box's first text: a paragraph after the boxes before it.
        m_shapeBreak = false;
        s.cursor.insertBlock();
    }
    if (content && s.pendingTabs > 0) {
        if (!(g().chr == s.textState))
            flushText();
        flushBytes();
        s.text.append(QString(s.pendingTabs, u'\t'));
        s.pendingTabs = 0;
        s.paraHasContent = true;
        s.lastWasPar = false;
    }
    if (!s.labelDone) {
        s.labelDone = true;
        QString label;
        // A number from the table is set in the paragraph's font, not in
        // the emphasis of its first word.
        CharState state = g().chr;
        state.bold = state.italic = state.underline = state.strike = false;
        state.vertical = 0;
        if (const auto generated = g().para.ls > 0 ? listLabel(g().para) : std::nullopt) {
            label = *generated;
        } else if (s.hasListText) {
            label = take(s.listText);
            state = s.listTextState;
        }
        s.hasListText = false;
        // An empty list item counts, but its number is not worth a line.
        if (!label.isEmpty() && content)
            insertRun(label, state);
    }
    if (s.pendingMark) {
        s.pendingMark = false;
        emitMark(false);
    }
}

// Inserts a run of its own, after the text gathered so far.
void Parser::insertRun(const QString& text, const CharState& state)
{
    Sink& s = out();
    flushBytes();
    if (!s.text.isEmpty())
        s.cursor.insertText(std::exchange(s.text, {}), charFormat(s.textState));
    s.cursor.insertText(text, charFormat(state));
    s.textState = g().chr;
    s.paraHasContent = true;
    s.lastWasPar = false;
}

void Parser::flushBytes()
{
    Sink& s = out();
    if (s.bytes.isEmpty())
        return;
    s.text.append(decode(s.bytes, s.bytesCodePage));
    s.bytes.clear();
}

void Parser::flushText()
{
    Sink& s = out();
    flushBytes();
    if (!s.text.isEmpty())
        s.cursor.insertText(std::exchange(s.text, {}), charFormat(s.textState));
    s.textState = g().chr;
}

QTextCharFormat Parser::charFormat(const CharState& s)
{
    QTextCharFormat f;
    if (s.font >= 0) {
        auto it = m_fonts.find(s.font);
        // A symbol font's characters are Unicode now: any font draws them.
        if (it != m_fonts.end() && !it->second.name.isEmpty() &&
            it->second.symbol == TextDecoding::SymbolFont::None)
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
    if (p.rtl) {
        // A right-to-left paragraph starts at the right unless its
        // alignment says which side.
        f.setLayoutDirection(Qt::RightToLeft);
        f.setAlignment(p.alignSet && (p.align == Qt::AlignLeft || p.align == Qt::AlignRight)
                           ? p.align | Qt::AlignAbsolute
                           : p.align);
    } else {
        f.setAlignment(p.align);
    }
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
    beginContent(false);
    Sink& s = out();
    flushText();
    s.pendingTabs = 0;
    QTextBlockFormat f = blockFormat(g().para);
    if (s.breakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    s.breakBefore = false;
    s.cursor.setBlockFormat(f);
    s.cursor.insertBlock(QTextBlockFormat(), charFormat(g().chr));
    s.paraHasContent = false;
    s.lastWasPar = true;
    s.labelDone = false;
    s.hasListText = false;
    if (m_out == &m_main)
        insertShapeText();
}

void Parser::pageBreak()
{
    if (g().dest != Dest::Body)
        return;
    // A page break in the middle of a paragraph ends it; the next paragraph
    // starts the new page.
    Sink& s = out();
    if (s.paraHasContent || !s.text.isEmpty() || !s.bytes.isEmpty())
        endParagraph();
    out().breakBefore = true;
}

void Parser::finish()
{
    if (m_out != &m_main)
        endShapeText(); // a text box the document never closed
    m_out = &m_main;
    Sink& s = m_main;
    if (s.pendingMark) {
        s.pendingMark = false;
        emitMark(false);
    }
    flushText();
    if (!m_shapeDoc.isEmpty()) {
        // Text boxes of the last paragraph follow it.
        if (!(s.lastWasPar && s.cursor.block().length() == 1)) {
            s.cursor.setBlockFormat(blockFormat(g().para));
            s.cursor.insertBlock();
        }
        insertShapeText();
        if (s.cursor.block().length() == 1 && m_doc.blockCount() > 1)
            s.cursor.deletePreviousChar();
        return;
    }
    if (s.lastWasPar && s.cursor.block().length() == 1 && m_doc.blockCount() > 1) {
        // The document's final paragraph mark ends the last paragraph; it
        // does not open an empty one.
        s.cursor.deletePreviousChar();
        return;
    }
    QTextBlockFormat f = blockFormat(g().para);
    if (s.breakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    s.cursor.setBlockFormat(f);
}

// --- lists ---

// A level's text as written: its first character is its length, then text
// in which the characters 0 to 8 stand for the numbers of those levels.
void Parser::endLevel()
{
    if (m_list.levels.empty())
        return;
    ListLevel& l = m_list.levels.back();
    if (int(m_list.levels.size()) > MaxLevels) {
        m_list.levels.pop_back();
        return;
    }
    CharState font;
    font.font = l.font >= 0 ? l.font : m_defaultFont;
    const int cp = codePageOf(font);
    std::size_t i = 0;
    std::size_t length = l.units.size();
    if (!l.units.empty() && l.units[0].first) {
        length = std::min<std::size_t>(l.units[0].second, l.units.size() - 1);
        i = 1;
    }
    QByteArray bytes;
    for (std::size_t end = i + length; i < end; ++i) {
        const auto [isByte, v] = l.units[i];
        if (isByte && v >= 9) {
            bytes.append(char(v));
            continue;
        }
        l.text += decode(std::exchange(bytes, {}), cp);
        char16_t c = v;
        if (!isByte && cp < 0 && c >= 0xF020 && c <= 0xF0FF)
            if (const char16_t mapped = TextDecoding::symbolFontChar(
                    cp == SymbolCodePage ? TextDecoding::SymbolFont::Symbol
                                         : TextDecoding::SymbolFont::Wingdings,
                    static_cast<unsigned char>(c & 0xFF)))
                c = mapped;
        l.text += QChar(c);
    }
    l.text += decode(bytes, cp);
    l.units.clear();
}

// The number the list table gives the paragraph, with what follows it; none
// when the paragraph's list or level is not in the table.
std::optional<QString> Parser::listLabel(const ParaState& p)
{
    auto o = m_overrides.find(p.ls);
    if (o == m_overrides.end())
        return std::nullopt;
    auto l = m_lists.find(o->second.listId);
    if (l == m_lists.end() || p.ilvl >= int(l->second.levels.size()))
        return std::nullopt;
    const std::vector<ListLevel>& levels = l->second.levels;
    Counters& c = m_counters[l->first];
    if (!o->second.applied) {
        // An override that restarts the list does so where it is first used.
        o->second.applied = true;
        for (int i = 0; i < MaxLevels; ++i)
            if (o->second.startAt[size_t(i)] != INT_MIN) {
                c.started[size_t(i)] = false;
                c.restartAt[size_t(i)] = o->second.startAt[size_t(i)];
            }
    }
    auto startOf = [&](int level) {
        const int restart = c.restartAt[size_t(level)];
        return restart != INT_MIN ? restart : levels[size_t(level)].start;
    };
    const int level = p.ilvl;
    if (!c.started[size_t(level)]) {
        c.value[size_t(level)] = startOf(level);
        c.restartAt[size_t(level)] = INT_MIN;
        c.started[size_t(level)] = true;
    } else if (c.value[size_t(level)] < 1000000000) {
        ++c.value[size_t(level)];
    }
    for (int d = level + 1; d < int(levels.size()); ++d)
        if (!levels[size_t(d)].noRestart)
            c.started[size_t(d)] = false;

    const ListLevel& lv = levels[size_t(level)];
    QString label;
    for (QChar ch : lv.text) {
        const int k = ch.unicode();
        if (k >= MaxLevels) {
            label += ch;
            continue;
        }
        if (k >= int(levels.size()))
            continue;
        const int value = c.started[size_t(k)] ? c.value[size_t(k)] : startOf(k);
        const int format = lv.legal && k < level ? int(Arabic) : levels[size_t(k)].format;
        label += formatNumber(value, format);
    }
    if (!label.isEmpty()) {
        if (lv.follow == 0)
            label += u'\t';
        else if (lv.follow == 1)
            label += u' ';
    }
    return label;
}

// --- footnotes ---

void Parser::emitMark(bool endnote)
{
    int& next = endnote ? m_endnoteNext : m_footnoteNext;
    const QString mark = formatNumber(next, endnote ? m_endnoteFormat : m_footnoteFormat);
    if (next < 1000000000)
        ++next;
    Sink& s = out();
    const CharState state = s.markState;
    if (!state.hidden)
        insertRun(mark, state);
}

// --- fields ---

void Parser::endField()
{
    if (m_fields.isEmpty() || m_fields.back().depth != m_stack.size())
        return;
    Field f = m_fields.takeLast();
    // A field whose result shows nothing: what the reader sees comes from
    // its instruction or its form field.
    if (m_shown == f.shownBefore && g().dest == Dest::Body) {
        const QString shown = fieldShows(f);
        if (!shown.isEmpty())
            addText(shown);
    }
}

QString Parser::fieldShows(Field& f)
{
    const QString inst = take(f.inst).simplified();
    const qsizetype space = inst.indexOf(u' ');
    const QString kind = inst.left(space < 0 ? inst.size() : space).toUpper();
    const QString rest = space < 0 ? QString() : inst.mid(space + 1);
    if (kind == QLatin1StringView("MACROBUTTON")) {
        // MACROBUTTON name text: the text is the button.
        const qsizetype s = rest.indexOf(u' ');
        return s < 0 ? QString() : rest.mid(s + 1);
    }
    if (kind == QLatin1StringView("FORMCHECKBOX") || f.type == 1) {
        const int checked = f.result >= 0 && f.result != 25 ? f.result : f.defaultResult;
        return checked == 1 ? QStringLiteral("\u2612") : QStringLiteral("\u2610");
    }
    if (kind == QLatin1StringView("FORMDROPDOWN") || f.type == 2) {
        int i = f.result >= 0 && f.result < f.items.size() ? f.result : f.defaultResult;
        if (i < 0 || i >= f.items.size())
            i = 0;
        return i < f.items.size() ? take(f.items[i]) : QString();
    }
    if (kind == QLatin1StringView("FORMTEXT") || f.type == 0)
        return f.hasResult ? QString() : take(f.defaultText);
    if (kind == QLatin1StringView("SYMBOL")) {
        // SYMBOL code [\f "font"] [\u]: the character, drawn in that font.
        const QStringList parts = rest.split(u' ', Qt::SkipEmptyParts);
        if (parts.isEmpty())
            return {};
        bool ok = false;
        const int code = parts[0].startsWith(QLatin1StringView("0x"), Qt::CaseInsensitive)
                             ? parts[0].mid(2).toInt(&ok, 16)
                             : parts[0].toInt(&ok);
        if (!ok || code <= 0 || code > 0xFFFF)
            return {};
        const bool unicode = rest.contains(QLatin1StringView("\\u"));
        TextDecoding::SymbolFont font = TextDecoding::SymbolFont::None;
        const qsizetype fontAt = rest.indexOf(QLatin1StringView("\\f"));
        if (fontAt >= 0) {
            QString name = rest.mid(fontAt + 2).trimmed();
            if (name.startsWith(u'"'))
                name = name.mid(1, name.indexOf(u'"', 1) - 1);
            else
                name = name.section(u' ', 0, 0);
            font = TextDecoding::symbolFontNamed(name);
        }
        if (font != TextDecoding::SymbolFont::None && (code < 256 || (code & 0xFF00) == 0xF000))
            if (const char16_t c = TextDecoding::symbolFontChar(font, code & 0xFF))
                return QString(QChar(c));
        if (unicode || code > 255)
            return QString(QChar(char16_t(code)));
        return decode(QByteArray(1, char(code)), currentCodePage());
    }
    return {};
}

// --- text boxes ---

// The text of a text box or drawing object is gathered apart and follows
// the paragraph it is anchored in, so that the paragraph's own sentence
// stays whole.
void Parser::beginShapeText()
{
    flushText();
    m_shape.cursor.movePosition(QTextCursor::End);
    m_shapeBreak = !m_shapeDoc.isEmpty();
    m_shape.text.clear();
    m_shape.bytes.clear();
    m_shape.textState = g().chr;
    m_shape.paraHasContent = false;
    m_shape.lastWasPar = false;
    m_shape.breakBefore = false;
    m_shape.pendingTabs = 0;
    m_shape.labelDone = false;
    m_shape.hasListText = false;
    m_shape.pendingMark = false;
    m_out = &m_shape;
}

void Parser::endShapeText()
{
    if (m_out != &m_shape)
        return;
    Sink& s = m_shape;
    if (s.pendingMark) {
        s.pendingMark = false;
        emitMark(false);
    }
    flushText();
    if (!s.lastWasPar)
        s.cursor.setBlockFormat(blockFormat(g().para));
    // Empty paragraphs at a text box's end show nothing.
    while (s.cursor.block().length() == 1 && m_shapeDoc.blockCount() > 1)
        s.cursor.deletePreviousChar();
    m_out = &m_main;
    m_main.textState = g().chr;
}

void Parser::insertShapeText()
{
    if (m_shapeDoc.isEmpty())
        return;
    QTextCursor& c = m_main.cursor;
    c.insertFragment(QTextDocumentFragment(&m_shapeDoc));
    c.insertBlock(QTextBlockFormat(), charFormat(g().chr));
    m_main.lastWasPar = true;
    m_shapeDoc.clear();
    m_shape.cursor = QTextCursor(&m_shapeDoc);
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
