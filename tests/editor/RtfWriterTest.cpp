// The RTF writer: what it writes reads back with the same text and formats.
#include "editor/RtfWriter.h"
#include "QtPrinters.h"
#include "editor/RtfReader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

namespace {

QTextCharFormat formatAt(const QTextDocument& doc, const QString& word)
{
    const QTextCursor found = doc.find(word);
    EXPECT_FALSE(found.isNull()) << word.toStdString();
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

TEST(RtfWriter, RoundTripKeepsTextAndFormats)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Courier New")});
    f.setFontPointSize(15);
    f.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("bold "), f);
    QTextCharFormat g;
    g.setFontItalic(true);
    g.setFontUnderline(true);
    g.setForeground(QColor(200, 10, 20));
    g.setBackground(QColor(1, 2, 250));
    c.insertText(QStringLiteral("styled"), g);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.insertBlock(centred);
    QTextCharFormat s;
    s.setFontStrikeOut(true);
    c.insertText(QStringLiteral("Привет {x} \\ caf\u00e9\t\u65e5\u672c \U0001F600"), s);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    right.setLeftMargin(48);
    c.insertBlock(right);
    c.insertText(QStringLiteral("end"), QTextCharFormat());

    const QByteArray rtf = Rtf::write(doc);
    // Nothing but ASCII; non-ASCII as \uN with a "?" fallback.
    for (char ch : rtf)
        ASSERT_LT(static_cast<unsigned char>(ch), 0x80);
    EXPECT_TRUE(rtf.contains("\\u1055?"));
    EXPECT_TRUE(rtf.contains("\\u-10179?\\u-8704?"));

    QTextDocument back;
    ASSERT_TRUE(Rtf::read(rtf, back));
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());
    const QTextCharFormat b = formatAt(back, QStringLiteral("bold"));
    EXPECT_EQ(b.fontFamilies().toStringList(), QStringList{QStringLiteral("Courier New")});
    EXPECT_DOUBLE_EQ(b.fontPointSize(), 15.0);
    EXPECT_EQ(b.fontWeight(), QFont::Bold);
    const QTextCharFormat st = formatAt(back, QStringLiteral("styled"));
    EXPECT_TRUE(st.fontItalic());
    EXPECT_TRUE(st.fontUnderline());
    EXPECT_EQ(st.foreground().color(), QColor(200, 10, 20));
    EXPECT_EQ(st.background().color(), QColor(1, 2, 250));
    EXPECT_TRUE(formatAt(back, QStringLiteral("caf")).fontStrikeOut());
    EXPECT_EQ(back.findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(back.findBlockByNumber(2).blockFormat().alignment(), Qt::AlignRight);
    EXPECT_DOUBLE_EQ(back.findBlockByNumber(2).blockFormat().leftMargin(), 48.0);
    EXPECT_EQ(back.blockCount(), 3);
}

TEST(RtfWriter, TableCellsBecomeTabsAndListsKeepTheirMarkers)
{
    QTextDocument doc;
    doc.setHtml(QStringLiteral("<table><tr><td>a</td><td>b</td></tr><tr><td>c</td><td>d</td>"
                               "</tr></table><ol><li>first</li><li>second</li></ol>"));
    QTextDocument back;
    ASSERT_TRUE(Rtf::read(Rtf::write(doc), back));
    const QString text = back.toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("a\tb\nc\td"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("1.\tfirst\n2.\tsecond"))) << text.toStdString();
}

TEST(RtfWriter, EmptyDocument)
{
    QTextDocument doc, back;
    ASSERT_TRUE(Rtf::read(Rtf::write(doc), back));
    EXPECT_TRUE(back.isEmpty());
}

} // namespace
