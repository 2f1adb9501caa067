// What a reader sees of the constructs only Word (and writers that copy
// it) writes: positioned frames, shapes and drawing objects with text,
// table cells without \intbl, symbol fonts, checkbox form fields and
// legal-style list numbers. The files are written as Word writes them,
// with its run groups, revision ids and paired character properties.
#include "RtfCase.h"
#include "editor/RtfReader.h"

#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

class RtfWordWrites : public ::testing::TestWithParam<Case>
{
};

TEST_P(RtfWordWrites, WhatAReaderSees)
{
    EXPECT_EQ(plain(GetParam().rtf), GetParam().text);
}

// Word's header: a font table with associated fonts, a style sheet and a
// generator, then a section.
const QByteArray Head =
    "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff0\\deff0\\stshfdbch0\\stshfloch31506"
    "\\deflang1033\\deflangfe1033{\\fonttbl{\\f0\\fbidi \\froman\\fcharset0\\fprq2{\\*\\panose "
    "02020603050405020304}Times New Roman;}{\\f3\\fbidi \\froman\\fcharset2\\fprq2{\\*\\panose "
    "05050102010706020507}Symbol;}{\\f10\\fbidi \\fnil\\fcharset2\\fprq2{\\*\\panose "
    "05000000000000000000}Wingdings;}{\\f11\\fbidi \\froman\\fcharset2\\fprq2{\\*\\panose "
    "05020102010507070707}Wingdings 2;}{\\f12\\fbidi \\froman\\fcharset2\\fprq2{\\*\\panose "
    "05040102010807070707}Wingdings 3;}{\\f13\\fbidi \\froman\\fcharset2\\fprq2{\\*\\panose "
    "05030102010509060703}Webdings;}}{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\ql "
    "\\li0\\ri0\\widctlpar\\wrapdefault\\aspalpha\\aspnum\\faauto\\adjustright\\rin0\\lin0\\itap0 "
    "\\rtlch\\fcs1 \\af0\\afs24\\alang1025 \\ltrch\\fcs0 \\fs24\\lang1033\\langfe1033\\cgrid"
    "\\langnp1033\\langfenp1033 \\snext0 \\sqformat \\spriority0 Normal;}}{\\*\\rsidtbl "
    "\\rsid1000\\rsid2000}{\\*\\generator Microsoft Word 11.0.0000;}{\\info{\\title x}}"
    "\\paperw12240\\paperh15840\\margl1800\\margr1800\\sectd \\ltrsect\\linex0\\sectdefaultcl"
    "\\sftnbj ";

// A Word paragraph: its properties, one run and the paragraph mark in a run
// of its own.
QByteArray para(const QByteArray& props, const QByteArray& text)
{
    return "\\pard\\plain \\ltrpar" + props +
           "\\rin0\\lin0\\itap0 \\rtlch\\fcs1 \\af0\\afs24\\alang1025 \\ltrch\\fcs0 "
           "\\fs24\\lang1033"
           "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1000 " +
           text + "}{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1000 \\par }";
}

// --- positioned frames ---

INSTANTIATE_TEST_SUITE_P(
    Frames, RtfWordWrites,
    ::testing::Values(
        Case{"frame_beside_the_page_margin",
             Head + para("\\ql \\li0\\ri0\\widctlpar", "Before") +
                 para("\\ql \\li0\\ri0\\widctlpar\\phmrg\\posx0\\pvmrg\\posy0\\absw4320\\absh-1440"
                      "\\dxfrtext180\\dfrmtxtx180\\dfrmtxty0\\wraparound\\aspalpha\\aspnum\\faauto"
                      "\\adjustright",
                      "Framed one") +
                 para("\\ql \\li0\\ri0\\widctlpar\\phmrg\\posx0\\pvmrg\\posy0\\absw4320\\absh-1440"
                      "\\dxfrtext180\\dfrmtxtx180\\dfrmtxty0\\wraparound",
                      "Framed two") +
                 para("\\ql \\li0\\ri0\\widctlpar", "After") + "}",
             QStringLiteral("Before\nFramed one\nFramed two\nAfter")},
        Case{"frame_on_the_page_with_border",
             Head +
                 para("\\qc \\li0\\ri0\\widctlpar\\brdrt\\brdrs\\brdrw10\\brsp20 \\frmtxbrdr"
                      "\\phpg\\posxc\\pvpg\\posy2880\\absw2880\\absh1000\\dxfrtext180\\dfrmtxtx180"
                      "\\dfrmtxty0\\nowrap\\abslock1",
                      "Centred frame") +
                 para("\\ql \\li0\\ri0\\widctlpar", "Body") + "}",
             QStringLiteral("Centred frame\nBody")},
        // A drop cap is a frame that holds the paragraph's first letter.
        Case{"drop_cap",
             Head +
                 para("\\ql \\li0\\ri0\\sl-1000\\slmult0\\keepn\\widctlpar\\dropcapli3\\dropcapt1"
                      "\\phpg\\posx0\\pvpara\\posy0\\dxfrtext0\\dfrmtxtx0\\dfrmtxty0",
                      "{\\position-3\\fs130 O}") +
                 para("\\ql \\li0\\ri0\\widctlpar", "nce upon a time") + "}",
             QStringLiteral("O\nnce upon a time")},
        // Word 6 and 95 frames, with the old text-wrapping words.
        Case{"word95_frame",
             "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}}\\pard\\plain "
             "\\pvpara\\phcol\\posxr\\posy0\\absw2000\\dxfrtext180\\dyfrtext0\\dfrmtxtx180 "
             "\\f0\\fs20 Side note\\par\\pard\\plain Main text\\par}",
             QStringLiteral("Side note\nMain text")}),
    caseName);

// --- shapes and drawing objects ---

// Word 2003's shape instance: its place, then its properties.
const QByteArray ShapeInst =
    "{\\*\\shpinst\\shpleft2160\\shptop144\\shpright5040\\shpbottom1584\\shpfhdr0\\shpbxcolumn"
    "\\shpbxignore\\shpbypara\\shpbyignore\\shpwr2\\shpwrk0\\shpfblwtxt0\\shpz0\\shplid1026"
    "{\\sp{\\sn shapeType}{\\sv 202}}{\\sp{\\sn fFlipH}{\\sv 0}}{\\sp{\\sn fFlipV}{\\sv 0}}"
    "{\\sp{\\sn lTxid}{\\sv 65536}}{\\sp{\\sn hspNext}{\\sv 1026}}";
const QByteArray PictureProperty =
    "{\\sp{\\sn fillBlip}{\\sv {\\pict\\picw32\\pich32\\picwgoal480\\pichgoal480\\pngblip"
    "\\bliptag-1{\\*\\blipuid 0123456789abcdef0123456789abcdef}89504e470d0a1a0a0000000d494844"
    "52}}}{\\sp{\\sn fillType}{\\sv 3}}";

QByteArray textBox(const QByteArray& properties, const QByteArray& text)
{
    return "{\\shp" + ShapeInst + properties + "{\\shptxt " +
           para("\\ql \\li0\\ri0\\widctlpar", text) +
           "}}{\\shprslt{\\*\\do\\dobxcolumn\\dobypara\\dodhgt8192\\dptxbx\\dptxlrtb{\\dptxbxtext"
           "\\pard\\plain " +
           text +
           "\\par}\\dpx2160\\dpy144\\dpxsize2880\\dpysize1440\\dpfillfgcr255\\dpfillbgcr255"
           "\\dpfillpat1\\dplinew15\\dplinecor0\\dplinecog0\\dplinecob0}}}";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RtfWordWrites,
    ::testing::Values(
        Case{"text_box_anchored_in_a_paragraph",
             Head + para("\\ql \\li0\\ri0\\widctlpar", "Anchor " + textBox("", "In the box")) +
                 para("\\ql \\li0\\ri0\\widctlpar", "Next") + "}",
             QStringLiteral("Anchor \nIn the box\nNext")},
        Case{"text_box_filled_with_a_picture",
             Head +
                 para("\\ql \\li0\\ri0\\widctlpar",
                      "Logo " + textBox(PictureProperty, "Caption over picture")) +
                 "}",
             QStringLiteral("Logo \nCaption over picture")},
        // A picture frame: its result is the picture again, between paragraphs.
        Case{"picture_shape_without_text",
             Head +
                 para("\\ql \\li0\\ri0\\widctlpar",
                      "Pic{\\shp" + ShapeInst + PictureProperty +
                          "}{\\shprslt\\par\\pard\\ql\\li0\\ri0\\widctlpar\\phmrg\\posx0\\pvpara"
                          "\\posy0\\dxfrtext180\\dfrmtxtx180\\dfrmtxty0\\wraparound{\\pict"
                          "\\wmetafile8\\picw32\\pich32 0100}\\par}}ture") +
                 "}",
             QStringLiteral("Picture")},
        // Word 95: a drawing object standing in the text, in a group.
        Case{"drawing_object_group",
             Head +
                 para("\\ql \\li0\\ri0\\widctlpar",
                      "Drawn{\\*\\do\\dobxcolumn\\dobypara\\dodhgt8193\\dpgroup\\dpcount2"
                      "\\dptxbx\\dptxlrtb{\\dptxbxtext\\pard\\plain\\f0 First box\\par}"
                      "\\dpx0\\dpy0\\dpxsize2000\\dpysize500\\dptxbx{\\dptxbxtext\\pard\\plain "
                      "Second box\\par}\\dpx0\\dpy600\\dpxsize2000\\dpysize500\\dpendgroup"
                      "\\dpx0\\dpy0\\dpxsize0\\dpysize0}.") +
                 "}",
             QStringLiteral("Drawn.\nFirst box\nSecond box")}),
    caseName);

// --- table cells without \intbl ---

INSTANTIATE_TEST_SUITE_P(
    Cells, RtfWordWrites,
    ::testing::Values(
        Case{"row_of_plain_paragraphs",
             "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\trowd\\trgaph108\\cellx2000\\cellx4000"
             "\\pard\\plain Name\\cell Value\\cell\\row\\trowd\\cellx2000\\cellx4000\\pard\\plain "
             "one\\cell two\\cell\\row\\pard after\\par}",
             QStringLiteral("Name\tValue\none\ttwo\nafter")},
        Case{"cells_after_a_paragraph_of_text",
             "{\\rtf1\\ansi Intro\\par\\trowd\\cellx1000\\cellx2000\\cellx3000 a\\cell b\\cell "
             "c\\cell\\row}",
             QStringLiteral("Intro\na\tb\tc")},
        Case{"row_properties_after_the_cells",
             "{\\rtf1\\ansi\\pard\\plain {x\\cell y\\cell }\\pard\\plain {\\trowd\\cellx1000"
             "\\cellx2000\\row }\\pard z\\par}",
             QStringLiteral("x\ty\nz")},
        Case{"paragraphs_in_a_cell",
             "{\\rtf1\\ansi\\trowd\\cellx3000\\cellx6000 first\\par second\\cell third\\cell"
             "\\row}",
             QStringLiteral("first\nsecond\tthird")}),
    caseName);

// --- symbol fonts ---

INSTANTIATE_TEST_SUITE_P(
    SymbolFonts, RtfWordWrites,
    ::testing::Values(
        Case{"wingdings_ballot_boxes", Head + "{\\f10 \\'fd \\'fe \\'a8}{\\f0  done}\\par}",
             QStringLiteral("\u2612 \u2611 \u25fb done")},
        // Word 2007 and later write the character as \u in the private use
        // area, with the byte as the fallback.
        Case{"wingdings_as_unicode",
             Head + "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\f10\\insrsid1000 \\u-3843\\'fd "
                    "\\u-3880\\'d8}\\par}",
             QStringLiteral("\u2612 \u27a2")},
        Case{"symbol_greek", Head + "{\\f3 W = 2pr}\\par}",
             QStringLiteral("\u03a9 = 2\u03c0\u03c1")},
        Case{"wingdings_2_and_3",
             Head + "{\\f11 \\'50}{\\f11 \\'54}{\\f12 \\'c6}{\\f12 \\'71}\\par}",
             QStringLiteral("\U0001F5F8\u2612\U0001F846\u25bc")},
        Case{"webdings", Head + "{\\f13 \\'61\\'72}\\par}", QStringLiteral("\u2714\U0001F5D9")},
        // TextEdit: the Mac's font names, no symbol character set, and
        // the font's bytes as Latin-1 letters.
        Case{"textedit_wingdings",
             "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fnil\\fcharset0 "
             "Wingdings-Regular;\\f1\\fswiss\\fcharset0 Helvetica;\\f2\\fnil\\fcharset0 "
             "Wingdings2;}\n\\f0 \\'fd\\uc0\\u254 \\f1  done \\f2 \\'54}",
             QStringLiteral("\u2612\u2611 done \u2612")},
        // LibreOffice on Linux names URW's copy of Symbol.
        Case{"standard_symbols",
             "{\\rtf1\\ansi{\\fonttbl{\\f7\\fnil\\fprq2\\fcharset2 Standard Symbols L;}}\\f7 "
             "\\u61603 ? a\\par}",
             QStringLiteral("\u2264 \u03b1")},
        // The associated fonts of a run: \loch\f10 draws the byte.
        Case{"associated_font_of_a_run",
             Head + "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\hich\\af10\\dbch\\af31505\\loch\\f10 "
                    "\\'fc}\\par}",
             QStringLiteral("\u2713")},
        // The SYMBOL field Word's Insert Symbol writes in older documents.
        Case{"symbol_field_in_wingdings",
             Head + "{\\field{\\*\\fldinst SYMBOL 253 \\\\f \"Wingdings\" \\\\s 12}{\\fldrslt "
                    "{\\f10\\fs24 \\'fd}}}\\par}",
             QStringLiteral("\u2612")}),
    caseName);

// --- checkbox form fields ---

// A checkbox as Word writes it: the field's instruction holds its data and
// its settings; the result is empty.
QByteArray checkbox(const QByteArray& settings)
{
    return "{\\field\\flddirty{\\*\\fldinst {\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1000  "
           "FORMCHECKBOX }{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1000 {\\*\\datafield "
           "650000001400000000000000000000000000000000}{\\*\\formfield{" +
           settings +
           "{\\*\\ffname Check1}}}}}{\\fldrslt {\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1000 "
           "}}}";
}

INSTANTIATE_TEST_SUITE_P(
    Checkboxes, RtfWordWrites,
    ::testing::Values(
        Case{"checked",
             Head + para("\\ql", checkbox("\\fftype1\\ffres1\\fftypetxt0\\ffhps20"
                                          "\\ffdefres0") +
                                     " Agreed"),
             QStringLiteral("\u2612 Agreed")},
        Case{"unchecked", Head + para("\\ql", checkbox("\\fftype1\\ffres0\\fftypetxt0\\ffhps20")),
             QStringLiteral("\u2610")},
        // 25: no result of its own; the default stands.
        Case{"default_checked",
             Head + para("\\ql", checkbox("\\fftype1\\ffres25\\fftypetxt0\\ffhps20\\ffdefres1") +
                                     "Yes " +
                                     checkbox("\\fftype1\\ffres25\\fftypetxt0\\ffdefres0") + "No"),
             QStringLiteral("\u2612Yes \u2610No")},
        // No FORMCHECKBOX word: the form field's type says what it is.
        Case{"type_only",
             Head + "{\\field{\\*\\fldinst {\\*\\formfield{\\fftype1\\ffdefres1}}}{\\fldrslt }}"
                    "\\par}",
             QStringLiteral("\u2612")},
        Case{"in_table_cells",
             Head + "\\trowd\\cellx2000\\cellx4000\\pard\\intbl " + checkbox("\\fftype1\\ffres1") +
                 "\\cell\\pard\\intbl " + checkbox("\\fftype1\\ffres0") + "\\cell\\row}",
             QStringLiteral("\u2612\t\u2610")}),
    caseName);

// --- legal-style numbering ---

// Word's outline list: Roman numbers at the top, a legal second level in
// "01" style that shows the top level's number in digits.
QByteArray legalList(bool legal)
{
    return Head +
           "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid{\\listlevel\\levelnfc1"
           "\\levelnfcn1\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace0"
           "\\levelindent0{\\leveltext\\leveltemplateid67698707\\'07Sect \\'00.;}"
           "{\\levelnumbers\\'06;}\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\fi-720\\li720"
           "\\lin720 }{\\listlevel\\levelnfc22\\levelnfcn22\\leveljc0\\leveljcn0"
           "\\levelfollow0\\levelstartat1" +
           QByteArray(legal ? "\\levellegal1" : "\\levellegal0") +
           "\\levelspace0\\levelindent0{\\leveltext\\leveltemplateid67698713\\'08Sect "
           "\\'00.\\'01;}{\\levelnumbers\\'06\\'08;}\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 "
           "\\fi-1080\\li1080\\lin1080 }{\\listname ;}\\listid100}}{\\*\\listoverridetable"
           "{\\listoverride\\listid100\\listoverridecount0\\ls1}}" +
           para("\\ql \\fi-720\\li720\\ri0\\widctlpar\\ls1", "Scope") +
           para("\\ql \\fi-1080\\li1080\\ri0\\widctlpar\\ls1\\ilvl1", "Terms") +
           para("\\ql \\fi-1080\\li1080\\ri0\\widctlpar\\ls1\\ilvl1", "Parties") +
           para("\\ql \\fi-720\\li720\\ri0\\widctlpar\\ls1", "Price") +
           para("\\ql \\fi-1080\\li1080\\ri0\\widctlpar\\ls1\\ilvl1", "Payment") + "}";
}

INSTANTIATE_TEST_SUITE_P(
    LegalNumbers, RtfWordWrites,
    ::testing::Values(Case{"legal", legalList(true),
                           QStringLiteral("Sect I.\tScope\nSect 1.01\tTerms\nSect 1.02\tParties\n"
                                          "Sect II.\tPrice\nSect 2.01\tPayment")},
                      Case{"not_legal", legalList(false),
                           QStringLiteral("Sect I.\tScope\nSect I.01\tTerms\nSect I.02\tParties\n"
                                          "Sect II.\tPrice\nSect II.01\tPayment")}),
    caseName);

} // namespace
