// What of a package reaches the translation: small packages written the way
// Word, PowerPoint, Excel and LibreOffice write text boxes, comments,
// SmartArt, charts, masters, shapes and embedded objects, through the
// document translator with Apertium's real format filters and the echo
// engine, which marks every run of text it was given with "[en_es] ". What
// a reader sees must carry the mark; authors, formulas, numbers, positions
// and placeholders must come back byte for byte.
#include "server/documents/PackageParts.h"
#include "server/documents/DocumentError.h"
#include "server/documents/DocumentTranslator.h"

#include <gtest/gtest.h>

namespace {
const QByteArray wordBody =
    "<?xml version=\"1.0\"?><w:document "
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\" "
    "xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\" "
    "xmlns:v=\"urn:schemas-microsoft-com:vml\"><w:body>";

// A text box as Word 2010 and later write it: the DrawingML copy Word and
// LibreOffice show, and the VML copy for older readers.
const QByteArray textBox =
    wordBody +
    "<w:p><w:r><w:t>Red house</w:t></w:r><w:r><mc:AlternateContent><mc:Choice Requires=\"wps\">"
    "<w:drawing><wp:anchor distT=\"0\"><wp:positionH relativeFrom=\"column\"><wp:align>center"
    "</wp:align></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>123950"
    "</wp:posOffset></wp:positionV><wp:docPr id=\"1\" name=\"Text Box 1\"/><a:graphic>"
    "<a:graphicData><wps:wsp><wps:txbx><w:txbxContent><w:p><w:r><w:t>Big dog</w:t></w:r></w:p>"
    "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor>"
    "</w:drawing></mc:Choice><mc:Fallback><w:pict><v:shape><v:textbox><w:txbxContent><w:p><w:r>"
    "<w:t>Big dog</w:t></w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></mc:Fallback>"
    "</mc:AlternateContent></w:r></w:p></w:body></w:document>";

// Two text boxes in a group, and a picture whose drawing holds no text.
const QByteArray groupedBoxes =
    wordBody +
    "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/><a:graphic><a:graphicData>"
    "<wpg:wgp><wpg:grpSpPr/><wps:wsp><wps:txbx><w:txbxContent><w:p><w:r><w:t>Green tree</w:t>"
    "</w:r></w:p></w:txbxContent></wps:txbx></wps:wsp><wps:wsp><wps:txbx><w:txbxContent><w:p>"
    "<w:r><w:t>Small cat</w:t></w:r></w:p></w:txbxContent></wps:txbx></wps:wsp></wpg:wgp>"
    "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>"
    "<w:p><w:r><w:drawing><wp:inline><wp:align>left</wp:align></wp:inline></w:drawing></w:r>"
    "</w:p></w:body></w:document>";

const QByteArray chartXml =
    "<?xml version=\"1.0\"?><c:chartSpace "
    "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><c:chart><c:title><c:tx>"
    "<c:rich><a:p><a:r><a:t>Annual report</a:t></a:r></a:p></c:rich></c:tx></c:title>"
    "<c:plotArea><c:barChart><c:ser><c:tx><c:strRef><c:f>Sheet1!$B$1</c:f><c:strCache>"
    "<c:ptCount val=\"1\"/><c:pt idx=\"0\"><c:v>Big dog</c:v></c:pt></c:strCache></c:strRef>"
    "</c:tx><c:val><c:numRef><c:f>Sheet1!$B$2:$B$3</c:f><c:numCache><c:formatCode>General"
    "</c:formatCode><c:pt idx=\"0\"><c:v>1250</c:v></c:pt></c:numCache></c:numRef></c:val>"
    "</c:ser></c:barChart><c:valAx><c:title><c:tx><c:rich><a:p><a:r><a:t>Small cat</a:t></a:r>"
    "</a:p></c:rich></c:tx></c:title></c:valAx></c:plotArea></c:chart></c:chartSpace>";

TEST(PackagePartsUnits, HeldRegionsComeBackByteForByteOrTheTranslationFails)
{
    const ::PackageParts::Rule* word =
        ::PackageParts::ruleFor(DocumentTypes::Route::Word, QStringLiteral("word/document.xml"));
    const ::PackageParts::Rule* chart = ::PackageParts::ruleFor(
        DocumentTypes::Route::Slides, QStringLiteral("ppt/charts/chart2.xml"));
    ASSERT_TRUE(word && chart);
    EXPECT_EQ(::PackageParts::ruleFor(DocumentTypes::Route::Slides,
                                      QStringLiteral("ppt/commentAuthors.xml")),
              nullptr);
    for (const auto& [rule, xml] :
         {std::pair{word, textBox}, std::pair{word, groupedBoxes}, std::pair{chart, chartXml}}) {
        const ::PackageParts::Held held = ::PackageParts::hold(xml, *rule);
        EXPECT_FALSE(held.held.isEmpty());
        EXPECT_EQ(::PackageParts::restore(held.part, held), xml);
        // A filter that lost a marker, or wrote one twice.
        const QByteArray first = "<tq-hold-" + held.id + "-0/>";
        QByteArray lost = held.part;
        lost.replace(first, "");
        EXPECT_THROW(::PackageParts::restore(lost, held), DocumentError);
        QByteArray twice = held.part;
        twice.replace(first, first + first);
        EXPECT_THROW(::PackageParts::restore(twice, held), DocumentError);
    }
}

TEST(PackagePartsUnits, ACellKeepsExactlyItsSourcesOuterBlanks)
{
    struct Row
    {
        const char* what;
        QByteArray cell, source, translated, expected;
    };
    const QByteArray si = "si";
    const QByteArray odfCell = "table:table-cell";
    const QList<Row> rows{
        {"a blank gained in front", si, "<sst><si><t>Red house</t></si></sst>",
         "<sst><si><t> Casa roja</t></si></sst>", "<sst><si><t>Casa roja</t></si></sst>"},
        {"a blank lost at the end", si,
         "<sst><si><t xml:space=\"preserve\">Red house </t></si></sst>",
         "<sst><si><t xml:space=\"preserve\">Casa roja</t></si></sst>",
         "<sst><si><t xml:space=\"preserve\">Casa roja </t></si></sst>"},
        {"runs: the first and last text, and xml:space where blanks come", si,
         "<sst><si><r><t xml:space=\"preserve\"> Red</t></r><r><t>house</t></r><rPh><t> x</t>"
         "</rPh></si></sst>",
         "<sst><si><r><t>Roja</t></r><r><t>casa\n</t></r><rPh><t> x</t></rPh></si></sst>",
         "<sst><si><r><t xml:space=\"preserve\"> Roja</t></r><r><t>casa</t></r><rPh><t> x</t>"
         "</rPh></si></sst>"},
        {"blanks inside and layout between elements stay", si,
         "<sst>\n <si>\n  <t>Red  house</t>\n </si>\n</sst>",
         "<sst>\n <si>\n  <t>Casa  roja</t>\n </si>\n</sst>",
         "<sst>\n <si>\n  <t>Casa  roja</t>\n </si>\n</sst>"},
        {"OpenDocument: a <text:s/> gained in front", odfCell,
         "<table:table-cell><text:p>Red house</text:p></table:table-cell>",
         "<table:table-cell><text:p><text:s/>Casa roja</text:p></table:table-cell>",
         "<table:table-cell><text:p>Casa roja</text:p></table:table-cell>"},
        {"OpenDocument: the source's spaces in front come back", odfCell,
         "<table:table-cell><text:p><text:s text:c=\"2\"/>Red house</text:p></table:table-cell>",
         "<table:table-cell><text:p>Casa roja </text:p></table:table-cell>",
         "<table:table-cell><text:p><text:s text:c=\"2\"/>Casa roja</text:p></table:table-cell>"},
        {"OpenDocument: an annotation is not the cell's text", odfCell,
         "<table:table-cell><office:annotation><text:p>Note </text:p></office:annotation>"
         "<text:p>Red</text:p></table:table-cell>",
         "<table:table-cell><office:annotation><text:p>Nota</text:p></office:annotation>"
         "<text:p>Rojo</text:p></table:table-cell>",
         "<table:table-cell><office:annotation><text:p>Nota</text:p></office:annotation>"
         "<text:p>Rojo</text:p></table:table-cell>"},
        {"a part whose cells changed in number is left as it is", si,
         "<sst><si><t>A</t></si><si><t>B</t></si></sst>", "<sst><si><t> A</t></si></sst>",
         "<sst><si><t> A</t></si></sst>"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(::PackageParts::keepCellBlanks(r.source, r.translated, r.cell), r.expected);
    }
}
// A package's time grows with the text it turns out to hold, not only with
// its zipped size; never past the caller's own deadline, and never shorter.
TEST(PackagePartsUnits, ADocumentsTimeGrowsWithItsText)
{
    using namespace std::chrono;
    DocumentLimits limits;
    limits.baseTime = seconds(60);
    limits.timePerTextMiB = seconds(360);
    const DocumentControl unbounded;
    DocumentControl bounded;
    bounded.deadline = DocumentControl::Clock::now() + seconds(200);
    struct Row
    {
        const char* what;
        const DocumentControl& control;
        QList<qint64> texts; // bytes given to forText, in turn
        seconds expected;    // the deadline, about, from now
    };
    const QList<Row> rows{
        {"no text: the upload's time", unbounded, {}, seconds(60)},
        {"little text: the upload's time still", unbounded, {1024}, seconds(60)},
        {"half a MiB of text", unbounded, {512 * 1024}, seconds(240)},
        {"texts add up", unbounded, {512 * 1024, 256 * 1024}, seconds(330)},
        {"never past the caller's deadline", bounded, {4 * 1024 * 1024}, seconds(200)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const DocumentRun run(r.control, seconds(60), nullptr, &limits);
        for (qint64 bytes : r.texts)
            run.forText(bytes);
        const auto left = duration_cast<seconds>(run.deadline() - DocumentControl::Clock::now());
        EXPECT_NEAR(double(left.count()), double(r.expected.count()), 2.0);
    }
}

// The text of a deformatter's stream, which is what the time is measured by.
TEST(PackagePartsUnits, AStreamsTextLeavesItsSuperblanksOut)
{
    EXPECT_EQ(DocumentStreams::textBytes(".[][<w:t>]Red house.[][<\\/w:t>]"), 11);
    EXPECT_EQ(DocumentStreams::textBytes("a\\[b[x\\]y]c"), 4);
    EXPECT_EQ(DocumentStreams::textBytes("[never closed"), 0);
}
} // namespace
