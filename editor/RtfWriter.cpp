#include "editor/RtfWriter.h"

#include <QColor>
#include <QList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <cmath>

namespace Rtf {

namespace {

void appendText(QByteArray& out, QStringView text)
{
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'\\':
            out += "\\\\";
            break;
        case u'{':
            out += "\\{";
            break;
        case u'}':
            out += "\\}";
            break;
        case u'\t':
            out += "\\tab ";
            break;
        case u'\u2028':
            out += "\\line ";
            break;
        case u'\u00A0':
            out += "\\~";
            break;
        default:
            if (c >= 0x20 && c < 0x80)
                out += static_cast<char>(c);
            else if (c < 0x20)
                out += "\\'" + QByteArray::number(c, 16).rightJustified(2, '0');
            else
                // \u takes a signed 16-bit number.
                out += "\\u" + QByteArray::number(static_cast<qint16>(c)) + '?';
        }
    }
}

QString familyOf(const QTextCharFormat& f, const QString& fallback)
{
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    return fallback;
}

class Writer
{
public:
    explicit Writer(const QTextDocument& doc) : m_doc(doc)
    {
        m_defaultFamily = doc.defaultFont().family();
        m_defaultPoints = doc.defaultFont().pointSizeF() > 0 ? doc.defaultFont().pointSizeF() : 12;
        m_fonts.append(m_defaultFamily);
    }
    QByteArray run();

private:
    int fontIndex(const QString& family);
    int colorIndex(const QColor& c);
    void block(const QTextBlock& b, QByteArray& body);
    void fragment(const QTextFragment& f, QByteArray& body);
    static QByteArray separator(const QTextBlock& prev, const QTextBlock& next);

    const QTextDocument& m_doc;
    QString m_defaultFamily;
    qreal m_defaultPoints;
    QStringList m_fonts;
    QList<QColor> m_colors;
};

int Writer::fontIndex(const QString& family)
{
    int i = m_fonts.indexOf(family);
    if (i < 0) {
        i = m_fonts.size();
        m_fonts.append(family);
    }
    return i;
}

int Writer::colorIndex(const QColor& c)
{
    const QColor rgb = c.toRgb();
    for (int i = 0; i < m_colors.size(); ++i)
        if (m_colors[i].rgb() == rgb.rgb())
            return i + 1; // entry 0 is "automatic"
    m_colors.append(rgb);
    return m_colors.size();
}

QByteArray Writer::separator(const QTextBlock& prev, const QTextBlock& next)
{
    // Cells of one table row are separated by tabs, as the reader reads them.
    QTextTable* a = QTextCursor(prev).currentTable();
    QTextTable* b = QTextCursor(next).currentTable();
    if (a && a == b) {
        const QTextTableCell ca = a->cellAt(prev.position());
        const QTextTableCell cb = b->cellAt(next.position());
        if (ca.row() == cb.row() && ca.column() != cb.column())
            return "\\tab ";
    }
    QByteArray s = "\\par\n";
    if (next.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        s += "\\page ";
    return s;
}

void Writer::block(const QTextBlock& b, QByteArray& body)
{
    const QTextBlockFormat f = b.blockFormat();
    // Document pixels (96 per inch) to twips.
    auto twips = [](qreal px) { return QByteArray::number(qRound(px * 15)); };
    body += "\\pard";
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignHCenter)
        body += "\\qc";
    else if (a & Qt::AlignJustify)
        body += "\\qj";
    else if (a & (Qt::AlignRight | Qt::AlignTrailing) && !(a & Qt::AlignLeft))
        body += "\\qr";
    else
        body += "\\ql";
    qreal left = f.leftMargin() + f.indent() * m_doc.indentWidth();
    if (left > 0)
        body += "\\li" + twips(left);
    if (f.rightMargin() > 0)
        body += "\\ri" + twips(f.rightMargin());
    if (f.textIndent() != 0)
        body += "\\fi" + twips(f.textIndent());
    body += ' ';
    if (QTextList* list = b.textList()) {
        QString marker = list->itemText(b);
        if (marker.isEmpty())
            marker = QStringLiteral("\u2022");
        body += "{\\listtext ";
        appendText(body, marker);
        body += "\\tab}";
    }
    for (auto it = b.begin(); !it.atEnd(); ++it)
        if (it.fragment().isValid())
            fragment(it.fragment(), body);
}

void Writer::fragment(const QTextFragment& frag, QByteArray& body)
{
    const QTextCharFormat f = frag.charFormat();
    body += "{\\f" + QByteArray::number(fontIndex(familyOf(f, m_defaultFamily)));
    const qreal points = f.fontPointSize() > 0 ? f.fontPointSize() : m_defaultPoints;
    body += "\\fs" + QByteArray::number(std::max(1, qRound(points * 2)));
    if (f.fontWeight() >= QFont::DemiBold)
        body += "\\b";
    if (f.fontItalic())
        body += "\\i";
    if (f.fontUnderline())
        body += "\\ul";
    if (f.fontStrikeOut())
        body += "\\strike";
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        body += "\\super";
    else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        body += "\\sub";
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        body += "\\cf" + QByteArray::number(colorIndex(f.foreground().color()));
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
        body += "\\highlight" + QByteArray::number(colorIndex(f.background().color()));
    body += ' ';
    appendText(body, frag.text());
    body += '}';
}

QByteArray Writer::run()
{
    QByteArray body;
    body.reserve(m_doc.characterCount() + 1024);
    QTextBlock prev;
    for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
        if (prev.isValid())
            body += separator(prev, b);
        block(b, body);
        prev = b;
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < m_fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
        appendText(out, m_fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (const QColor& c : std::as_const(m_colors))
        out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) +
               "\\blue" + QByteArray::number(c.blue()) + ';';
    out += "}\n";
    out += body;
    out += "\\par\n}\n";
    return out;
}

} // namespace

QByteArray write(const QTextDocument& document)
{
    return Writer(document).run();
}

} // namespace Rtf
