#include "editor/RtfReader.h"

#include "editor/RtfParser.h"

namespace Rtf {

bool looksLikeRtf(const QByteArray& data)
{
    qsizetype i = 0;
    while (i < data.size() &&
           (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

namespace detail {

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
    // The document's tables, never one inside a list or its level text.
    if (name == "listtable") {
        grp.dest = dest == Dest::Body ? Dest::ListTable : Dest::Skip;
        return true;
    }
    if (name == "listoverridetable") {
        grp.dest = dest == Dest::Body ? Dest::OverrideTable : Dest::Skip;
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
            const char16_t c = static_cast<char16_t>(v);
            if (g().dest == Dest::LevelText) {
                // The level's font is known when the level ends.
                if (!m_list.levels.empty() && m_list.levels.back().units.size() < MaxLevelUnits)
                    m_list.levels.back().units.emplace_back(false, c);
            } else if (const char32_t mapped = symbolUnicode(currentCodePage(), c)) {
                // A symbol font's character written as \u: U+F020 and on.
                addText(QString::fromUcs4(&mapped, 1));
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
            if (m_fontNumber >= 0 && !(m_fontName.isEmpty() && m_fontNameText.isEmpty()))
                fontTableText(";");
            m_fontNumber = hasParam ? param : -1;
            m_fontCharset = -1;
            m_fontCodePage = 0;
            m_fontName.clear();
            m_fontNameText.clear();
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
    const bool cell = name == "cell" || name == "nestcell";
    if (dest == Dest::ListLabel && (name == "par" || name == "sect" || cell)) {
        // AbiWord may end a cell's last list item with the cell itself.
        paragraphInListText(!cell);
        if (!cell)
            return;
    } else if (dest != Dest::Body) {
        return;
    }
    if (name == "par" || name == "sect") {
        endParagraph();
    } else if (name == "page") {
        pageBreak();
    } else if (cell) {
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
                fontNameText({});
                e.name = std::exchange(m_fontNameText, {}).trimmed();
                // Wingdings and Webdings draw pictures whatever character
                // set the writer gave them (TextEdit gives none); a "Symbol"
                // without the symbol character set is a name only.
                const auto named = TextDecoding::symbolFontNamed(e.name);
                e.symbol = m_fontCharset == 2 || named != TextDecoding::SymbolFont::Symbol
                               ? named
                               : TextDecoding::SymbolFont::None;
            }
            m_fontNumber = -1;
            m_fontName.clear();
            m_fontNameText.clear();
        } else if (m_fontNumber >= 0 && m_fontName.size() < 256) {
            m_fontName.append(c);
        }
    }
}

// A font's name so far: its bytes in the font's code page, then the
// characters a \u gives (which the name must keep, or a name that only
// looks like a symbol font's after a character is lost would become one).
void Parser::fontNameText(QStringView text)
{
    if (!m_fontName.isEmpty()) {
        const int charsetPage = TextDecoding::codePageForCharset(m_fontCharset);
        const int cp = m_fontCodePage ? m_fontCodePage : charsetPage ? charsetPage : m_docCodePage;
        QStringDecoder* d = decoderFor(cp);
        if (m_fontNameText.size() < 256)
            m_fontNameText += d ? (*d)(m_fontName) : QString::fromLatin1(m_fontName);
        m_fontName.clear();
    }
    if (m_fontNameText.size() < 256)
        m_fontNameText += text;
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

} // namespace detail

bool read(const QByteArray& data, QTextDocument& document)
{
    if (!looksLikeRtf(data))
        return false;
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    detail::Parser(data, document).run();
    document.setUndoRedoEnabled(undo);
    return true;
}

} // namespace Rtf
