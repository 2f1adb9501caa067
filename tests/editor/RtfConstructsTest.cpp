// What a reader sees of the RTF constructs that carry text outside the
// plain run of a paragraph: list numbers, text boxes, footnote marks,
// field and form-field results, symbol fonts and right-to-left documents
// in their code pages. Each table holds small files written the way Word,
// WordPad, LibreOffice and other writers write them.
#include "RtfCase.h"
#include "editor/RtfNumbering.h"
#include "editor/RtfReader.h"

#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

const QByteArray Fonts =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times "
    "New Roman;}{\\f1\\froman\\fcharset2 Symbol;}{\\f2\\fnil\\fcharset2 "
    "Wingdings;}}";

// --- list numbers ---

// Lists as Word writes them: decimal with a lettered second level, a
// chapter list in Roman numerals, a legal-style section list, a Symbol
// bullet, letters that go past Z, and one restarted by an override.
const QByteArray Lists =
    Fonts +
    "{\\*\\listtable"
    "{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}"
    "{\\levelnumbers\\'01;}\\fi-360\\li720}{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext"
    "\\'03(\\'01);}{\\levelnumbers\\'02;}}\\listid10}"
    "{\\list{\\listlevel\\levelnfc1\\levelstartat1{\\leveltext\\'04CH \\'00;}}\\listid20}"
    "{\\list{\\listlevel\\levelnfc1{\\leveltext\\'06Sect \\'00;}}{\\listlevel\\levelnfc22"
    "\\levelfollow1{\\leveltext\\'08Sect \\'00.\\'01;}}\\listid30}"
    "{\\list{\\listlevel\\levelnfc23{\\leveltext\\leveltemplateid5\\'01\\u-3913 ?;}\\f1}\\listid40}"
    "{\\list{\\listlevel\\levelnfc3\\levelstartat26\\levelfollow2{\\leveltext\\'02\\'00);}}"
    "\\listid50}"
    "{\\list{\\listlevel\\levelnfc255{\\leveltext\\'00;}}{\\listlevel\\levelnfc6\\levellegal"
    "{\\leveltext\\'03\\'00-\\'01;}}\\listid60}}"
    "{\\*\\listoverridetable{\\listoverride\\listid10\\listoverridecount0\\ls1}"
    "{\\listoverride\\listid20\\listoverridecount0\\ls2}{\\listoverride\\listid30\\ls3}"
    "{\\listoverride\\listid40\\ls4}{\\listoverride\\listid50\\ls5}{\\listoverride\\listid60\\ls6}"
    "{\\listoverride\\listid10\\listoverridecount1{\\lfolevel\\listoverridestartat\\levelstartat7}"
    "\\ls7}}";

class RtfListNumbers : public ::testing::TestWithParam<Case>
{
};

TEST_P(RtfListNumbers, ShowTheNumberAReaderSees)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RtfListNumbers,
    ::testing::Values(
        Case{"decimal_and_letters_restart_below",
             Lists + "\\pard\\ls1 Alpha\\par\\pard\\ls1\\ilvl1 one\\par\\pard\\ls1\\ilvl1 two\\par"
                     "\\pard\\ls1 Beta\\par\\pard\\ls1\\ilvl1 again\\par}",
             QStringLiteral("1.\tAlpha\n(a)\tone\n(b)\ttwo\n2.\tBeta\n(a)\tagain")},
        Case{"chapters_in_roman", Lists + "\\pard\\ls2 Intro\\par\\pard\\ls2 Body\\par}",
             QStringLiteral("CH I\tIntro\nCH II\tBody")},
        Case{"sections_with_leading_zero",
             Lists +
                 "\\pard\\ls3 Top\\par\\pard\\ls3\\ilvl1 Inner\\par\\pard\\ls3\\ilvl1 Next\\par}",
             QStringLiteral("Sect I\tTop\nSect I.01 Inner\nSect I.02 Next")},
        Case{"symbol_bullet", Lists + "\\pard\\ls4 point\\par}", QStringLiteral("\u2022\tpoint")},
        Case{"letters_past_z", Lists + "\\pard\\ls5 y\\par\\pard\\ls5 z\\par}",
             QStringLiteral("Z)y\nAA)z")},
        Case{"legal_and_cardinal_text_under_a_hidden_level",
             Lists + "\\pard\\ls6 head\\par\\pard\\ls6\\ilvl1 sub\\par\\pard\\ls6\\ilvl1 sub\\par}",
             QStringLiteral("head\n1-One\tsub\n1-Two\tsub")},
        Case{"override_restarts_the_list",
             Lists + "\\pard\\ls1 a\\par\\pard\\ls7 b\\par\\pard\\ls7 c\\par}",
             QStringLiteral("1.\ta\n7.\tb\n8.\tc")},
        // The list table wins over the number the writer wrote; the written
        // one stands where the table does not know the list.
        Case{"listtext_after_the_table_number",
             Lists + "\\pard{\\listtext\\pard\\plain 9.\\tab}\\ls1 known\\par"
                     "\\pard\\ls9{\\listtext 4)\\tab}unknown\\par}",
             QStringLiteral("1.\tknown\n4)\tunknown")},
        Case{"listtext_without_table", Fonts + "{\\listtext\\f1\\'b7\\tab}item\\par}",
             QStringLiteral("\u2022\titem")},
        Case{"pntext_wordpad",
             Fonts + "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}"
                     "first\\par{\\pntext\\f0 2.\\tab}second\\par}",
             QStringLiteral("\u2022\tfirst\n2.\tsecond")},
        // AbiWord writes the whole paragraph inside \\listtext.
        Case{"abiword_paragraph_inside_listtext",
             Fonts + "{\\listtext\\pard\\fi-226\\li226{\\f0\\fs24{\\*\\listtag0}1.\\tab A list "
                     "item}{\\f0\\fs24{\\*\\listtag0}\\par}\n}{\\listtext\\pard{\\f0 \\tab "
                     "Second}{\\par}}{\\listtext\\pard{\\v hidden\\par}}\\pard After\\par}",
             QStringLiteral("1.\tA list item\n\tSecond\n\nAfter")},
        // ... and may end a cell's last item with the cell.
        Case{"abiword_cell_ends_inside_listtext",
             Fonts + "\\trowd\\cellx1000\\cellx2000{\\listtext\\pard\\intbl{\\f0 \\tab "
                     "Three}\\cell}\\pard\\intbl Next\\cell\\row}",
             QStringLiteral("\tThree\tNext")},
        // An empty item takes its number but shows none.
        Case{"empty_item_counts", Lists + "\\pard\\ls2 \\par\\pard\\ls2 x\\par}",
             QStringLiteral("\nCH II\tx")},
        Case{"list_in_table_cells",
             Lists + "\\trowd\\cellx1000\\cellx2000\\pard\\intbl\\ls2 a\\cell\\pard\\intbl\\ls2 "
                     "b\\cell\\row}",
             QStringLiteral("CH I\ta\tCH II\tb")},
        // Hostile tables: numbers that do not fit, levels out of range, a
        // length past the text (which then takes the ";", as LibreOffice does).
        Case{"huge_start_and_bad_level",
             Fonts + "{\\*\\listtable{\\list{\\listlevel\\levelnfc3\\levelstartat2147483647"
                     "{\\leveltext\\'7f\\'00\\'05\\'08;}}\\listid1}}{\\*\\listoverridetable"
                     "{\\listoverride\\listid1\\ls1}}\\pard\\ls1\\ilvl8 x\\par\\pard\\ls1 y\\par}",
             QStringLiteral("x\n1000000000;\ty")},
        // A list table inside a level's text would replace the list being
        // read under the level.
        Case{"list_table_inside_level_text",
             Fonts + "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00."
                     "{\\*\\listtable{\\list\\listid2}}x;}}\\listid1}}{\\*\\listoverridetable"
                     "{\\listoverride\\listid1\\ls1}}\\pard\\ls1 a\\par}",
             QStringLiteral("1.\ta")}),
    caseName);

TEST(RtfNumberFormats, AsWordNumbers)
{
    const struct
    {
        int value, format;
        QString text;
    } cases[] = {{4, Rtf::Arabic, QStringLiteral("4")},
                 {1994, Rtf::UpperRoman, QStringLiteral("MCMXCIV")},
                 {14, Rtf::LowerRoman, QStringLiteral("xiv")},
                 {4000, Rtf::UpperRoman, QStringLiteral("4000")},
                 {1, Rtf::UpperLetter, QStringLiteral("A")},
                 {28, Rtf::LowerLetter, QStringLiteral("bb")},
                 {26 * 31, Rtf::LowerLetter, QStringLiteral("806")},
                 {11, Rtf::Ordinal, QStringLiteral("11th")},
                 {22, Rtf::Ordinal, QStringLiteral("22nd")},
                 {103, Rtf::Ordinal, QStringLiteral("103rd")},
                 {21, Rtf::CardinalText, QStringLiteral("Twenty-one")},
                 {1200, Rtf::CardinalText, QStringLiteral("One thousand two hundred")},
                 {12, Rtf::OrdinalText, QStringLiteral("Twelfth")},
                 {40, Rtf::OrdinalText, QStringLiteral("Fortieth")},
                 {5, Rtf::Chicago, QStringLiteral("**")},
                 {3, Rtf::ArabicLz, QStringLiteral("03")},
                 {15, Rtf::Hebrew, QStringLiteral("\u05D8\u05D5")},
                 {11, Rtf::Hebrew, QStringLiteral("\u05D9\u05D0")},
                 {23, Rtf::HebrewAlpha, QStringLiteral("\u05D0\u05D0")},
                 {7, Rtf::Bullet, QString()},
                 {7, Rtf::NoNumber, QString()},
                 {7, 58, QStringLiteral("7")},
                 {0, Rtf::UpperRoman, QStringLiteral("0")}};
    for (const auto& c : cases)
        EXPECT_EQ(Rtf::formatNumber(c.value, c.format), c.text)
            << c.value << " in format " << c.format;
}

// --- text boxes and drawing objects ---

class RtfTextBoxes : public ::testing::TestWithParam<Case>
{
};

TEST_P(RtfTextBoxes, FollowTheirParagraph)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

const QByteArray Shape = "{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright2000\\shpbottom900"
                         "{\\sp{\\sn shapeType}{\\sv 202}}{\\sp{\\sn wzName}{\\sv Box 1}}";

INSTANTIATE_TEST_SUITE_P(
    Shapes, RtfTextBoxes,
    ::testing::Values(
        // Word: the text box, then what older readers show instead.
        Case{"word_text_box",
             Fonts + "\\pard Before " + Shape +
                 "{\\shptxt\\pard Box one\\par\\pard Box two\\par}}{\\shprslt{\\*\\do\\dobxcolumn"
                 "\\dptxbx{\\dptxbxtext\\pard Box one\\par Box two\\par}}}}after.\\par Next\\par}",
             QStringLiteral("Before after.\nBox one\nBox two\nNext")},
        Case{"only_text_is_in_a_box", Fonts + "\\pard" + Shape + "{\\shptxt Alone}}}\\par}",
             QStringLiteral("\nAlone")},
        Case{"box_at_the_end_without_par", Fonts + "Text " + Shape + "{\\shptxt Box}}}}",
             QStringLiteral("Text \nBox")},
        // LibreOffice: a shape field's result holds the shape.
        Case{"libreoffice_shape_field",
             Fonts + "\\pard{\\field{\\*\\fldinst SHAPE }{\\fldrslt" + Shape +
                 "{\\shptxt\\pard Put your {\\b LOGO} here\\par}}}}}\\tab Name\\par}",
             QStringLiteral("\tName\nPut your LOGO here")},
        Case{"two_boxes_in_a_paragraph",
             Fonts + "A " + Shape + "{\\shptxt one}}}B " + Shape + "{\\shptxt two}}}C\\par}",
             QStringLiteral("A B C\none\ntwo")},
        // Word 95 drawing objects, standing alone.
        Case{"drawing_object",
             Fonts + "Old {\\*\\do\\dobxcolumn\\dobypara\\dodhgt8192\\dptxbx{\\dptxbxtext\\pard "
                     "Drawn box\\par}\\dpx0\\dpy0\\dpxsize2000\\dpysize1000}end.\\par}",
             QStringLiteral("Old end.\nDrawn box")},
        Case{"group_of_shapes",
             Fonts + "G{\\shp{\\*\\shpinst{\\shpgrp{\\*\\shpinst{\\sp{\\sn a}{\\sv 1}}}" + Shape +
                 "{\\shptxt inner}}}}}}.\\par}",
             QStringLiteral("G.\ninner")},
        Case{"result_stands_without_instance",
             Fonts + "{\\shp{\\shprslt{\\*\\do\\dptxbx{\\dptxbxtext fallback}}}}\\par}",
             QStringLiteral("\nfallback")},
        Case{"box_in_a_header_is_not_body",
             Fonts + "{\\header " + Shape + "{\\shptxt Head box}}}}Body\\par}",
             QStringLiteral("Body")},
        Case{"box_never_closed", Fonts + "Text" + Shape + "{\\shptxt open box",
             QStringLiteral("Text\nopen box")}),
    caseName);

// --- footnote and endnote marks ---

class RtfFootnoteMarks : public ::testing::TestWithParam<Case>
{
};

TEST_P(RtfFootnoteMarks, AreNumbered)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Footnotes, RtfFootnoteMarks,
    ::testing::Values(
        Case{"word_footnotes_and_endnote",
             Fonts + "\\ftnnar\\aftnnrlc\\pard A{\\cs15\\super\\chftn {\\footnote \\pard\\plain "
                     "{\\cs15\\super\\chftn } First note.}} B{\\super\\chftn}{\\footnote\\ftnalt "
                     "\\pard{\\super\\chftn} End note.} C{\\super\\chftn}{\\footnote\\pard "
                     "{\\super\\chftn} Second.}.\\par}",
             QStringLiteral("A1 Bi C2.")},
        Case{"libreoffice_starred_note",
             Fonts + "x{\\super \\chftn}{\\*\\footnote \\chftn\\pard\\plain note}y\\par}",
             QStringLiteral("x1y")},
        Case{"letters_from_a_start",
             Fonts + "\\ftnnalc\\ftnstart3 a{\\super\\chftn}{\\footnote n}b{\\super\\chftn}"
                     "{\\footnote n}\\par}",
             QStringLiteral("acbd")},
        Case{"section_formats",
             Fonts + "\\sectd\\sftnnchi\\saftnnauc p\\chftn{\\footnote x}"
                     "q\\chftn{\\footnote\\ftnalt x}\\par}",
             QStringLiteral("p*qA")},
        // A custom mark is ordinary text; the note itself is not body text.
        Case{"custom_mark", Fonts + "see{\\super *}{\\footnote{\\super *} the note}.\\par}",
             QStringLiteral("see*.")},
        Case{"mark_without_note", Fonts + "end\\chftn\\par}", QStringLiteral("end1")}),
    caseName);

// --- field and form-field results ---

class RtfFieldResults : public ::testing::TestWithParam<Case>
{
};

TEST_P(RtfFieldResults, ShowWhatTheFieldShows)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

QByteArray formField(const QByteArray& kind, const QByteArray& settings, const QByteArray& result)
{
    return "{\\field{\\*\\fldinst {\\lang1024 " + kind +
           " }{{\\*\\datafield 0001}{\\*\\formfield{" + settings + "}}}}{\\fldrslt " + result +
           "}}";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RtfFieldResults,
    ::testing::Values(
        Case{"macrobutton",
             Fonts + "[{\\field{\\*\\fldinst {MACROBUTTON  NoMacro }{Click here}}}]\\par}",
             QStringLiteral("[Click here]")},
        Case{"macrobutton_with_result",
             Fonts + "{\\field{\\*\\fldinst MACROBUTTON x Hint}{\\fldrslt Shown}}\\par}",
             QStringLiteral("Shown")},
        Case{"checkbox_checked",
             Fonts + formField("FORMCHECKBOX", "\\fftype1\\ffres1\\ffdefres0", "") + " Yes\\par}",
             QStringLiteral("\u2612 Yes")},
        Case{"checkbox_default",
             Fonts + formField("FORMCHECKBOX", "\\fftype1\\ffres25\\ffdefres0", "") + "\\par}",
             QStringLiteral("\u2610")},
        Case{"dropdown_selected",
             Fonts +
                 formField("FORMDROPDOWN",
                           "\\fftype2\\ffres1{\\*\\ffname D}{\\*\\ffl one}{\\*\\ffl two}", "") +
                 "\\par}",
             QStringLiteral("two")},
        Case{"dropdown_default",
             Fonts +
                 formField("FORMDROPDOWN",
                           "\\fftype2\\ffdefres2{\\*\\ffl a}{\\*\\ffl b}{\\*\\ffl "
                           "c\\'e9}",
                           "") +
                 "\\par}",
             QStringLiteral("c\u00e9")},
        Case{"text_field_result",
             Fonts + formField("FORMTEXT", "\\fftype0{\\*\\ffdeftext Default}", "Typed") + "\\par}",
             QStringLiteral("Typed")},
        Case{"text_field_without_result_group",
             Fonts + "{\\field{\\*\\fldinst FORMTEXT {\\*\\formfield{\\fftype0{\\*\\ffdeftext "
                     "Default words}}}}}\\par}",
             QStringLiteral("Default words")},
        Case{"symbol_field",
             Fonts + "{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\" \\\\s 10}{\\fldrslt }}"
                     "{\\field{\\*\\fldinst SYMBOL 0x263A \\\\u}{\\fldrslt }}\\par}",
             QStringLiteral("\u2022\u263A")},
        Case{"nested_field_in_instruction",
             Fonts + "{\\field{\\*\\fldinst IF {\\field{\\*\\fldinst MERGEFIELD a}{\\fldrslt x}} = "
                     "\"x\" \"yes\" \"no\"}{\\fldrslt yes}}\\par}",
             QStringLiteral("yes")},
        Case{"hyperlink_result_kept",
             Fonts + "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}\\par}",
             QStringLiteral("link")}),
    caseName);

// --- symbol fonts and code pages ---

class RtfCodePages : public ::testing::TestWithParam<Case>
{
};

TEST_P(RtfCodePages, ReadAsWritten)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, RtfCodePages,
    ::testing::Values(
        Case{"symbol_greek_and_bullet", Fonts + "{\\f1 a\\'b7b}\\par}",
             QStringLiteral("\u03b1\u2022\u03b2")},
        Case{"symbol_private_use", Fonts + "{\\f1 \\u-3913?}{\\f0 \\u-3913?}\\par}",
             QStringLiteral("\u2022\uf0b7")},
        Case{"wingdings", Fonts + "{\\f2 \\'a7\\'fc\\'d8}\\par}",
             QStringLiteral("\u25aa\u2713\u27a2")},
        Case{"symbol_name_without_symbol_charset",
             "{\\rtf1\\mac{\\fonttbl{\\f4\\fnil Symbol;}}\\f4 gcloud}", QStringLiteral("gcloud")},
        // A character a font name gives by its Unicode number is part of it:
        // this one is no Wingdings.
        Case{"font_name_with_unicode",
             "{\\rtf1\\ansi{\\fonttbl{\\f1\\fnil\\fcharset2 Wingdi\\u8224?ngs;}}\\f1 \\'fd}",
             QStringLiteral("\u00fd")},
        // Right to left in Windows-1255, as Word and WordPad write it.
        Case{"hebrew_charset",
             "{\\rtf1\\ansi\\ansicpg1255\\deff0{\\fonttbl{\\f0\\fnil\\fcharset177 David;}}"
             "\\rtlpar\\qr\\f0\\rtlch \\'f9\\'ec\\'e5\\'ed\\par}",
             QStringLiteral("\u05e9\u05dc\u05d5\u05dd")},
        Case{"hebrew_document_with_western_font",
             "{\\rtf1\\ansi\\ansicpg1255\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
             "Roman;}{\\f1\\fswiss\\fcharset177 Arial;}}{\\rtlch\\fcs1 \\af1 \\ltrch\\fcs0 \\f1 "
             "\\'f9\\'ec}{\\ltrch\\f0  caf\\'e9 }{\\ltrch\\f0\\rtlch \\'e0\\'e1}\\par}",
             QStringLiteral("\u05e9\u05dc caf\u00e9 \u05d0\u05d1")},
        Case{"hebrew_without_font_table", "{\\rtf1\\ansi\\ansicpg1255 \\'e0\\'e1\\'e2\\par}",
             QStringLiteral("\u05d0\u05d1\u05d2")},
        Case{"hebrew_unicode_with_fallback",
             "{\\rtf1\\ansi\\ansicpg1255\\uc1{\\fonttbl{\\f0\\fcharset177 Arial;}}\\f0 "
             "\\u1513\\'f9\\u1500\\'ec{\\upr{\\'e0}{\\*\\ud{\\u1488\\'e0}}}\\par}",
             QStringLiteral("\u05e9\u05dc\u05d0")},
        Case{"font_code_page", "{\\rtf1\\ansi{\\fonttbl{\\f0\\cpg1255 Narkisim;}}\\f0 \\'e0\\par}",
             QStringLiteral("\u05d0")},
        Case{"arabic_charset",
             "{\\rtf1\\ansi\\ansicpg1256{\\fonttbl{\\f0\\fcharset178 Arial;}}\\rtlpar\\f0 "
             "\\'e3\\'d1\\'cd\\'c8\\'c7\\par}",
             QStringLiteral("\u0645\u0631\u062d\u0628\u0627")}),
    caseName);

TEST(RtfReader, RightToLeftParagraphsRunRightToLeft)
{
    QTextDocument doc;
    ASSERT_TRUE(Rtf::read("{\\rtf1\\ansi\\ansicpg1255{\\fonttbl{\\f0\\fcharset177 David;}}\\f0"
                          "\\pard\\rtlpar \\'e0\\par\\pard\\rtlpar\\ql \\'e1\\par\\pard left\\par}",
                          doc));
    const QTextBlock first = doc.begin();
    EXPECT_EQ(first.blockFormat().layoutDirection(), Qt::RightToLeft);
    // Without an alignment of its own the paragraph starts at the right.
    EXPECT_EQ(first.blockFormat().alignment(), Qt::AlignLeft);
    EXPECT_EQ(first.next().blockFormat().alignment(), Qt::AlignLeft | Qt::AlignAbsolute);
    EXPECT_NE(first.next().next().blockFormat().layoutDirection(), Qt::RightToLeft);
}

TEST(RtfReader, MarksAndNumbersKeepTheirFormat)
{
    QTextDocument doc;
    ASSERT_TRUE(
        Rtf::read(Lists + "\\pard\\ls1 {\\b Item}{\\super\\chftn}{\\footnote x}\\par}", doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("1.\tItem1"));
    QTextBlock b = doc.begin();
    QList<QTextFragment> fragments;
    for (auto it = b.begin(); !it.atEnd(); ++it)
        fragments.append(it.fragment());
    ASSERT_EQ(fragments.size(), 3);
    EXPECT_NE(fragments[0].charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(fragments[1].charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(fragments[2].charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
}

TEST(RtfReader, ManyListsAndFieldsStayBounded)
{
    // A hostile file: thousands of lists and deeply nested fields with
    // empty results.
    QByteArray rtf = Fonts + "{\\*\\listtable";
    for (int i = 0; i < 6000; ++i)
        rtf += "{\\list{\\listlevel\\levelnfc3\\levelstartat999999{\\leveltext\\'09\\'00\\'00\\'00"
               "\\'00\\'00\\'00\\'00\\'00\\'00;}}\\listid" +
               QByteArray::number(i + 1) + "}";
    rtf += "}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}";
    for (int i = 0; i < 100; ++i)
        rtf += "{\\field{\\*\\fldinst MACROBUTTON m b}{\\fldrslt ";
    rtf += QByteArray(200, '}');
    rtf += "\\par\\pard\\ls1 x\\par}";
    QTextDocument doc;
    ASSERT_TRUE(Rtf::read(rtf, doc));
    // The innermost field kept shows its button; the number falls back to
    // digits rather than 38462 repeated letters.
    EXPECT_EQ(doc.toPlainText(),
              QStringLiteral("b\n") + QStringLiteral("999999").repeated(9) + QStringLiteral("\tx"));
}

} // namespace
