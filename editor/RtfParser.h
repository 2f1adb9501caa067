#pragma once

// The RTF reader's parser, shared by the files that make it up: reading
// control words and groups (RtfReader.cpp), turning text into the
// document (RtfParserOutput.cpp), and lists, notes, fields and text boxes
// (RtfParserParts.cpp). Not for use outside the reader.

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

namespace Rtf::detail {

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
// The symbol fonts are drawn from tables of our own: their code page is
// the font's number, negated.
constexpr int symbolCodePage(TextDecoding::SymbolFont font)
{
    return -int(font);
}

// What a symbol font draws for a byte, or for the private-use character
// U+F020 to U+F0FF that Word writes for that byte; 0 when the code page is
// not a symbol font's or the font draws nothing we know there.
inline char32_t symbolByte(int codePage, unsigned char byte)
{
    return codePage < 0 ? TextDecoding::symbolFontChar(TextDecoding::SymbolFont(-codePage), byte)
                        : 0;
}
// A \u in a symbol font: Word writes the private-use character, a writer
// that keeps the font's bytes as Latin-1 letters (TextEdit) the letter.
inline char32_t symbolUnicode(int codePage, char32_t c)
{
    return (c >= 0xF020 && c <= 0xF0FF) || (c >= 0x20 && c <= 0xFF)
               ? symbolByte(codePage, static_cast<unsigned char>(c & 0xFF))
               : 0;
}

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
    void paragraphInListText(bool endsParagraph);
    void fontNameText(QStringView text);
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
    QString m_fontNameText;
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

} // namespace Rtf::detail
