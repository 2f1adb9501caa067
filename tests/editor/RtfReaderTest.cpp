// The RTF reader against what real programs write and against broken and
// hostile input.
#include "editor/RtfReader.h"
#include "QtPrinters.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <functional>
#include <gtest/gtest.h>

namespace {

QString plain(const QByteArray& rtf)
{
    QTextDocument doc;
    EXPECT_TRUE(Rtf::read(rtf, doc));
    // The raw text keeps line breaks and no-break spaces as they are.
    return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

// The character format of the first fragment holding `word`.
QTextCharFormat formatOf(const QTextDocument& doc, const QString& word)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains(word))
                return it.fragment().charFormat();
    ADD_FAILURE() << "no fragment holds " << word.toStdString();
    return {};
}

QTextBlockFormat blockOf(const QTextDocument& doc, const QString& word)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().contains(word))
            return b.blockFormat();
    ADD_FAILURE() << "no paragraph holds " << word.toStdString();
    return {};
}

struct TextCase
{
    const char* name;
    QByteArray rtf;
    QString text;
};

// Test names in ctest's list, not bytes.
void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.name;
}

class RtfText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(RtfText, ReadsTheText)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

const QByteArray Head = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}";

INSTANTIATE_TEST_SUITE_P(
    Families, RtfText,
    ::testing::Values(
        // Breaks: \par, \line, \tab, \page; the final \par opens no empty line.
        TextCase{"breaks", Head + "one\\par two\\line three\\tab four\\par}",
                 QStringLiteral("one\ntwo\u2028three\tfour")},
        TextCase{"page", Head + "one\\page two\\par}", QStringLiteral("one\ntwo")},
        TextCase{"newline_is_ignored", Head + "a\r\nb\\\nc}", QStringLiteral("ab\nc")},
        TextCase{"escapes", Head + "\\\\ \\{x\\}}", QStringLiteral("\\ {x}")},
        // Symbol words.
        TextCase{"symbols",
                 Head + "\\emdash\\endash\\bullet\\lquote x\\rquote\\ldblquote y\\rdblquote "
                        "a\\~b\\-c\\_d\\emspace\\enspace}",
                 QStringLiteral("\u2014\u2013\u2022\u2018x\u2019\u201Cy\u201Da\u00A0b\u00ADc"
                                "\u2011d\u2003\u2002")},
        // Code pages: the document's \ansicpg and each font's \fcharset.
        TextCase{"ansicpg1252", Head + "caf\\'e9 \\'80}", QStringLiteral("caf\u00e9 \u20ac")},
        TextCase{"ansicpg1251", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}",
                 QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442")},
        TextCase{"ansicpg1250", "{\\rtf1\\ansi\\ansicpg1250 \\'9a\\'e8}",
                 QStringLiteral("\u0161\u010d")},
        TextCase{"ansicpg1253", "{\\rtf1\\ansi\\ansicpg1253 \\'e1\\'e2}",
                 QStringLiteral("\u03b1\u03b2")},
        TextCase{"fcharset204",
                 Head.left(Head.size() - 1) +
                     "{\\f1\\fnil\\fcharset204 Arial Cyr;}}\\f1 \\'e4\\'e0 \\f0 \\'e4}",
                 QStringLiteral("\u0434\u0430 \u00e4")},
        TextCase{"shift_jis_two_bytes", "{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96\\'7b}",
                 QStringLiteral("\u65e5\u672c")},
        TextCase{"gbk", "{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4}",
                 QStringLiteral("\u4e2d\u6587")},
        TextCase{"korean_charset",
                 "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset129 Gulim;}}\\f0 \\'c7\\'d1}",
                 QStringLiteral("\ud55c")},
        TextCase{"big5", "{\\rtf1\\ansi\\ansicpg950 \\'a4\\'a4}", QStringLiteral("\u4e2d")},
        TextCase{"mac", "{\\rtf1\\mac \\'8e}", QStringLiteral("\u00e9")},
        // \u with its fallback skipped by \uc.
        TextCase{"u_default_uc1", Head + "\\u1046?x}", QStringLiteral("\u0416x")},
        TextCase{"u_negative", Head + "\\u-3913?}", QStringLiteral("\uf0b7")},
        TextCase{"uc2_hex_fallback", Head + "\\uc2\\u8364\\'80\\'80z}", QStringLiteral("\u20acz")},
        TextCase{"uc0", Head + "\\uc0\\u8220 q\\u8221 }", QStringLiteral("\u201cq\u201d")},
        TextCase{"uc_is_group_local", Head + "{\\uc3 \\u65 xyz}\\u66 wv}", QStringLiteral("ABv")},
        TextCase{"surrogate_pair", Head + "\\u-10179?\\u-8704?}", QStringLiteral("\U0001F600")},
        // Tables: one paragraph per row, cells separated by tabs.
        TextCase{"table",
                 Head + "\\trowd\\cellx1000\\cellx2000\\cellx3000\\pard\\intbl a\\cell b\\cell "
                        "c\\cell\\row\\trowd\\cellx1000\\cellx2000\\cellx3000\\pard\\intbl "
                        "\\cell e\\cell\\cell\\row\\pard after\\par}",
                 QStringLiteral("a\tb\tc\n\te\nafter")},
        // Skipped destinations; fields keep their result.
        TextCase{"skipped",
                 Head + "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}"
                        "{\\*\\generator Gen;}{\\*\\unknownthing zzz}{\\pict\\pngblip 89504e47}"
                        "{\\header head\\par}{\\footer foot}A{\\v hidden}B}",
                 QStringLiteral("AB")},
        TextCase{"field",
                 Head + "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt {\\ul link}}}.}",
                 QStringLiteral("link.")},
        TextCase{"object_result", Head + "{\\object\\objemb{\\*\\objdata 0102}{\\result shown}}}",
                 QStringLiteral("shown")},
        TextCase{"upr", Head + "{\\upr{ansi}{\\*\\ud{wide\\u1046?}}}}",
                 QStringLiteral("wide\u0416")},
        TextCase{"bin", Head + "a{\\pict\\bin4 }}{b}c}", QStringLiteral("ac")},
        TextCase{"bin_outside_pict", Head + "a\\bin3 {{{b}", QStringLiteral("ab")},
        TextCase{"list_text", Head + "{\\listtext\\'95\\tab}item\\par}",
                 QStringLiteral("\u2022\titem")},
        // Malformed input is read as far as it goes.
        TextCase{"unbalanced_open", Head + "{{{text", QStringLiteral("text")},
        TextCase{"extra_close_ends_document", Head + "a}}b", QStringLiteral("a")},
        TextCase{"truncated_hex", Head + "x\\'4", QStringLiteral("x\u0004")},
        TextCase{"hex_without_digits", Head + "x\\'zz}", QStringLiteral("xzz")},
        TextCase{"truncated_word", Head + "x\\", QStringLiteral("x")},
        TextCase{"huge_parameter", Head + "\\fs99999999999999999999 x\\u99999999999 y}",
                 QStringLiteral("x")},
        TextCase{"negative_bin", Head + "a\\bin-5 b}", QStringLiteral("ab")},
        TextCase{"long_word", Head + "\\" + QByteArray(100000, 'x') + "1 after}",
                 QStringLiteral("after")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReader, RefusesWhatIsNotRtf)
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    for (const QByteArray& data : {QByteArray("plain text"), QByteArray(""), QByteArray("{\\rt"),
                                   QByteArray("\xEF\xBB\xBF{\\rtf1 x}")}) {
        EXPECT_FALSE(Rtf::read(data, doc)) << data.toStdString();
        EXPECT_EQ(doc.toPlainText(), QStringLiteral("kept"));
    }
    EXPECT_TRUE(Rtf::looksLikeRtf("  \r\n{\\rtf1}"));
}

TEST(RtfReader, CharacterFormats)
{
    QTextDocument doc;
    ASSERT_TRUE(
        Rtf::read("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss "
                  "Arial;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                  "\\f1\\fs20 plain {\\b bold} {\\i italic} \\ul under\\ulnone  {\\strike struck} "
                  "{\\cf1 red} {\\highlight2 marked} {\\cb2 shaded} \\b\\i mixed\\plain  reset "
                  "{\\f0\\fs48 big} {\\b0 notbold} {\\super up}}",
                  doc));
    const QTextCharFormat p = formatOf(doc, QStringLiteral("plain"));
    EXPECT_EQ(p.fontFamilies().toStringList(), QStringList{QStringLiteral("Arial")});
    EXPECT_DOUBLE_EQ(p.fontPointSize(), 10.0);
    EXPECT_LT(p.fontWeight(), QFont::DemiBold);
    EXPECT_EQ(formatOf(doc, QStringLiteral("bold")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatOf(doc, QStringLiteral("italic")).fontItalic());
    EXPECT_TRUE(formatOf(doc, QStringLiteral("under")).fontUnderline());
    EXPECT_TRUE(formatOf(doc, QStringLiteral("struck")).fontStrikeOut());
    EXPECT_EQ(formatOf(doc, QStringLiteral("red")).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatOf(doc, QStringLiteral("marked")).background().color(), QColor(0, 0, 255));
    EXPECT_EQ(formatOf(doc, QStringLiteral("shaded")).background().color(), QColor(0, 0, 255));
    const QTextCharFormat m = formatOf(doc, QStringLiteral("mixed"));
    EXPECT_TRUE(m.fontItalic());
    EXPECT_EQ(m.fontWeight(), QFont::Bold);
    EXPECT_TRUE(m.fontUnderline() == false);
    // \plain returns to the default font at 12 points.
    const QTextCharFormat r = formatOf(doc, QStringLiteral("reset"));
    EXPECT_FALSE(r.fontItalic());
    EXPECT_DOUBLE_EQ(r.fontPointSize(), 12.0);
    EXPECT_EQ(r.fontFamilies().toStringList(), QStringList{QStringLiteral("Times New Roman")});
    const QTextCharFormat big = formatOf(doc, QStringLiteral("big"));
    EXPECT_DOUBLE_EQ(big.fontPointSize(), 24.0);
    EXPECT_LT(formatOf(doc, QStringLiteral("notbold")).fontWeight(), QFont::DemiBold);
    EXPECT_EQ(formatOf(doc, QStringLiteral("up")).verticalAlignment(),
              QTextCharFormat::AlignSuperScript);
}

TEST(RtfReader, ColourZeroAndMissingEntriesAreAutomatic)
{
    QTextDocument doc;
    ASSERT_TRUE(Rtf::read("{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}{\\cf0 a}{\\cf9 b}"
                          "{\\highlight0 c}{\\cf1 d}}",
                          doc));
    for (const char* w : {"a", "b", "c"}) {
        EXPECT_FALSE(
            formatOf(doc, QString::fromLatin1(w)).hasProperty(QTextFormat::ForegroundBrush));
        EXPECT_FALSE(
            formatOf(doc, QString::fromLatin1(w)).hasProperty(QTextFormat::BackgroundBrush));
    }
    EXPECT_EQ(formatOf(doc, QStringLiteral("d")).foreground().color(), QColor(1, 2, 3));
}

TEST(RtfReader, ParagraphFormats)
{
    QTextDocument doc;
    ASSERT_TRUE(Rtf::read(Head + "\\pard\\qc centred\\par\\qr right\\par\\pard justified "
                                 "\\qj\\par\\pard\\li1440\\ri720\\fi-360 indented\\par\\pard "
                                 "left\\par}",
                          doc));
    EXPECT_EQ(blockOf(doc, QStringLiteral("centred")).alignment(), Qt::AlignHCenter);
    EXPECT_EQ(blockOf(doc, QStringLiteral("right")).alignment(), Qt::AlignRight);
    // The format in force at the paragraph's end is the paragraph's.
    EXPECT_EQ(blockOf(doc, QStringLiteral("justified")).alignment(), Qt::AlignJustify);
    const QTextBlockFormat ind = blockOf(doc, QStringLiteral("indented"));
    EXPECT_DOUBLE_EQ(ind.leftMargin(), 96.0);
    EXPECT_DOUBLE_EQ(ind.rightMargin(), 48.0);
    EXPECT_DOUBLE_EQ(ind.textIndent(), -24.0);
    EXPECT_EQ(blockOf(doc, QStringLiteral("left")).alignment(), Qt::AlignLeft);
    EXPECT_EQ(doc.blockCount(), 5);
}

TEST(RtfReader, HugeFontSizeIsBounded)
{
    QTextDocument doc;
    ASSERT_TRUE(Rtf::read(Head + "\\fs2000000 big \\fs-4 small}", doc));
    EXPECT_DOUBLE_EQ(formatOf(doc, QStringLiteral("big")).fontPointSize(), 1638.0);
    EXPECT_DOUBLE_EQ(formatOf(doc, QStringLiteral("small")).fontPointSize(), 12.0);
}

TEST(RtfReader, DeepNestingStaysBounded)
{
    // A million open groups: read without exhausting the stack, and the
    // text inside still arrives with the deepest kept state.
    QByteArray rtf = Head + "\\b ";
    rtf += QByteArray(1000000, '{');
    rtf += "deep";
    rtf += QByteArray(1000000, '}');
    rtf += " after}";
    QTextDocument doc;
    ASSERT_TRUE(Rtf::read(rtf, doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("deep after"));
    EXPECT_EQ(formatOf(doc, QStringLiteral("deep")).fontWeight(), QFont::Bold);
}

TEST(RtfReader, ReplacesTheDocumentAndKeepsNoUndoSteps)
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("old"));
    ASSERT_TRUE(Rtf::read(Head + "new}", doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("new"));
    EXPECT_FALSE(doc.isUndoAvailable());
    EXPECT_TRUE(doc.isUndoRedoEnabled());
}

} // namespace
