#include "editor/RtfParser.h"

namespace Rtf::detail {

// --- code pages ---

int Parser::codePageOf(const CharState& s) const
{
    if (s.font >= 0) {
        auto it = m_fonts.find(s.font);
        if (it != m_fonts.end()) {
            const FontEntry& e = it->second;
            if (e.symbol != TextDecoding::SymbolFont::None)
                return symbolCodePage(e.symbol);
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
        QString s;
        s.reserve(bytes.size());
        for (char c : bytes) {
            if (const char32_t mapped = symbolByte(codePage, static_cast<unsigned char>(c)))
                s += QString::fromUcs4(&mapped, 1);
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
        if (m_list.levels.empty())
            return; // a list begun inside the level's text took its place
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
    case Dest::FontTable:
        if (m_fontNumber >= 0)
            fontNameText(text);
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

} // namespace Rtf::detail
