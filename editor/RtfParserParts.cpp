#include "editor/RtfParser.h"

namespace Rtf::detail {

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
        const char32_t mapped = isByte ? 0 : symbolUnicode(cp, v);
        if (mapped)
            l.text += QString::fromUcs4(&mapped, 1);
        else
            l.text += QChar(v);
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

// AbiWord writes the whole paragraph inside \listtext: the number, a tab,
// the text and the paragraph mark (or the cell's end). What follows the
// first tab is the paragraph's text, and the rest of the group is ordinary
// text.
void Parser::paragraphInListText(bool endsParagraph)
{
    Sink& s = out();
    QString text = s.hasListText ? take(s.listText) : QString();
    const qsizetype tab = text.indexOf(u'\t');
    s.listText = Collected{};
    collect(s.listText, QStringView(text).left(tab + 1));
    s.hasListText = tab >= 0;
    text.remove(0, tab + 1);
    for (auto it = m_stack.rbegin(); it != m_stack.rend() && it->dest == Dest::ListLabel; ++it)
        it->dest = Dest::Body;
    const CharState state = g().chr;
    g().chr = s.listTextState;
    g().chr.hidden = false;
    if (text.isEmpty())
        beginContent(s.hasListText);
    else
        addText(text);
    g().chr = state;
    if (endsParagraph)
        endParagraph();
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
            if (const char32_t c =
                    TextDecoding::symbolFontChar(font, static_cast<unsigned char>(code & 0xFF)))
                return QString::fromUcs4(&c, 1);
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

} // namespace Rtf::detail
