// What of a package reaches the translation: small packages written the way
// Word, PowerPoint, Excel and LibreOffice write text boxes, comments,
// SmartArt, charts, masters, shapes and embedded objects, through the
// document translator with Apertium's real format filters and the echo
// engine, which marks every run of text it was given with "[en_es] ". What
// a reader sees must carry the mark; authors, formulas, numbers, positions
// and placeholders must come back byte for byte.
#include "server/documents/PackageParts.h"
#include "ZipBuilder.h"
#include "server/documents/DocumentError.h"
#include "server/documents/DocumentTranslator.h"
#include "server/documents/ZipPackage.h"
#include "server/engine/TranslationEngine.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zip.h>

namespace {

const QByteArray mark = "[en_es] ";

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

const QByteArray smartArtData =
    "<?xml version=\"1.0\"?><dgm:dataModel "
    "xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><dgm:ptLst>"
    "<dgm:pt modelId=\"{1}\"><dgm:prSet phldrT=\"[Text]\"/><dgm:t><a:bodyPr/><a:p><a:r>"
    "<a:t>Green tree</a:t></a:r></a:p></dgm:t></dgm:pt></dgm:ptLst><dgm:cxnLst>"
    "<dgm:cxn modelId=\"{2}\" srcId=\"{1}\"/></dgm:cxnLst></dgm:dataModel>";
const QByteArray smartArtDrawing =
    "<?xml version=\"1.0\"?><dsp:drawing "
    "xmlns:dsp=\"http://schemas.microsoft.com/office/drawing/2008/diagram\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><dsp:spTree><dsp:sp>"
    "<dsp:txBody><a:p><a:r><a:t>Green tree</a:t></a:r></a:p></dsp:txBody></dsp:sp></dsp:spTree>"
    "</dsp:drawing>";

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

const QByteArray pml = "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
                       "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"";

QByteArray slides(QList<ZipEntry> more)
{
    more.prepend({"ppt/slides/slide1.xml",
                  "<?xml version=\"1.0\"?><p:sld " + pml +
                      "><p:cSld><p:spTree><p:sp><p:txBody><a:p><a:r><a:t>Red house</a:t></a:r>"
                      "</a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>"});
    more.prepend({"ppt/presentation.xml", "<p:presentation " + pml + "/>"});
    more.prepend({"[Content_Types].xml", "<Types/>"});
    return makeZip(more);
}

QByteArray master(const char* root)
{
    return QByteArray("<?xml version=\"1.0\"?><p:") + root + ' ' + pml +
           "><p:cSld><p:spTree><p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"Title\"/><p:cNvSpPr/>"
           "<p:nvPr><p:ph type=\"title\"/></p:nvPr></p:nvSpPr><p:txBody><a:p><a:r>"
           "<a:t>Click to edit Master title style</a:t></a:r></a:p></p:txBody></p:sp><p:sp>"
           "<p:nvSpPr><p:cNvPr id=\"7\" name=\"Footer text\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr>"
           "<p:txBody><a:p><a:r><a:t>Small cat</a:t></a:r></a:p></p:txBody></p:sp></p:spTree>"
           "</p:cSld></p:" +
           root + '>';
}

QByteArray sheet(QList<ZipEntry> more)
{
    more.prepend(
        {"xl/sharedStrings.xml", "<?xml version=\"1.0\"?><sst><si><t>Red house</t></si></sst>"});
    more.prepend({"xl/workbook.xml", "<workbook/>"});
    more.prepend({"[Content_Types].xml", "<Types/>"});
    return makeZip(more);
}

const QByteArray odfRoot = "<?xml version=\"1.0\"?><office:document-content "
                           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                           "xmlns:math=\"http://www.w3.org/1998/Math/MathML\"><office:body>";

QByteArray odf(const char* mimetype, const QByteArray& body, QList<ZipEntry> more = {})
{
    more.prepend({"content.xml", odfRoot + body + "</office:body></office:document-content>"});
    more.prepend({"mimetype", mimetype});
    return makeZip(more);
}

struct Case
{
    const char* what;
    const char* extension;
    QByteArray file;
    const char* part;
    QList<QByteArray> marked; // texts that must come back as "[en_es] text"
    QList<QByteArray> kept;   // bytes that must come back as they were
    int marks = -1;           // how many marks the part must hold, when given
};

QList<Case> cases()
{
    const QByteArray commentAuthors = "<?xml version=\"1.0\"?><p:cmAuthorLst " + pml +
                                      "><p:cmAuthor id=\"0\" name=\"Red House\" initials=\"RH\"/>"
                                      "</p:cmAuthorLst>";
    return {
        {"a text box: both copies",
         "docx",
         wordPackage(textBox),
         "word/document.xml",
         {"Red house", "Big dog"},
         {"<wp:align>center</wp:align>", "<wp:posOffset>123950</wp:posOffset>",
          "name=\"Text Box 1\""},
         3},
        {"text boxes in a group",
         "docx",
         wordPackage(groupedBoxes),
         "word/document.xml",
         {"Green tree", "Small cat"},
         {"<wp:align>left</wp:align>", "<wpg:wgp><wpg:grpSpPr/><wps:wsp><wps:txbx>"},
         2},
        {"SmartArt in Word: its data",
         "docx",
         wordPackage(textBox, {{"word/diagrams/data1.xml", smartArtData},
                               {"word/diagrams/drawing1.xml", smartArtDrawing}}),
         "word/diagrams/data1.xml",
         {"Green tree"},
         {"phldrT=\"[Text]\""},
         1},
        {"SmartArt in Word: the drawing that caches it",
         "docx",
         wordPackage(textBox, {{"word/diagrams/data1.xml", smartArtData},
                               {"word/diagrams/drawing1.xml", smartArtDrawing}}),
         "word/diagrams/drawing1.xml",
         {"Green tree"},
         {},
         1},
        {"a chart in Word",
         "docx",
         wordPackage(textBox, {{"word/charts/chart1.xml", chartXml}}),
         "word/charts/chart1.xml",
         {"Annual report", "Big dog", "Small cat"},
         {"<c:f>Sheet1!$B$1</c:f>", "<c:f>Sheet1!$B$2:$B$3</c:f>",
          "<c:formatCode>General</c:formatCode>", "<c:v>1250</c:v>"},
         3},
        {"PowerPoint: a classic comment",
         "pptx",
         slides({{"ppt/comments/comment1.xml",
                  "<?xml version=\"1.0\"?><p:cmLst " + pml +
                      "><p:cm authorId=\"0\" idx=\"1\"><p:pos x=\"10\" y=\"10\"/><p:text>Big dog"
                      "</p:text></p:cm></p:cmLst>"},
                 {"ppt/commentAuthors.xml", commentAuthors}}),
         "ppt/comments/comment1.xml",
         {"Big dog"},
         {"<p:pos x=\"10\" y=\"10\"/>"},
         1},
        {"PowerPoint: the authors of comments",
         "pptx",
         slides({{"ppt/comments/comment1.xml",
                  "<?xml version=\"1.0\"?><p:cmLst " + pml +
                      "><p:cm authorId=\"0\"><p:text>Big dog</p:text></p:cm></p:cmLst>"},
                 {"ppt/commentAuthors.xml", commentAuthors}}),
         "ppt/commentAuthors.xml",
         {},
         {commentAuthors},
         0},
        {"PowerPoint: a modern comment",
         "pptx",
         slides({{"ppt/comments/modernComment_100_2F1A3C4D.xml",
                  "<?xml version=\"1.0\"?><p188:cmLst "
                  "xmlns:p188=\"http://schemas.microsoft.com/office/powerpoint/2018/8/main\" "
                  "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><p188:cm "
                  "id=\"{1}\" authorId=\"{2}\" created=\"2023-01-05T10:00:00.000\"><p188:txBody>"
                  "<a:bodyPr/><a:p><a:r><a:t>Green tree</a:t></a:r></a:p></p188:txBody>"
                  "</p188:cm></p188:cmLst>"}}),
         "ppt/comments/modernComment_100_2F1A3C4D.xml",
         {"Green tree"},
         {"created=\"2023-01-05T10:00:00.000\""},
         1},
        {"a slide master: what shows, not the prompts",
         "pptx",
         slides({{"ppt/slideMasters/slideMaster1.xml", master("sldMaster")}}),
         "ppt/slideMasters/slideMaster1.xml",
         {"Small cat"},
         {"<a:t>Click to edit Master title style</a:t>"},
         1},
        {"a slide layout",
         "pptx",
         slides({{"ppt/slideLayouts/slideLayout1.xml", master("sldLayout")}}),
         "ppt/slideLayouts/slideLayout1.xml",
         {"Small cat"},
         {"<a:t>Click to edit Master title style</a:t>"},
         1},
        {"SmartArt in PowerPoint",
         "pptx",
         slides({{"ppt/diagrams/data1.xml", smartArtData}}),
         "ppt/diagrams/data1.xml",
         {"Green tree"},
         {},
         1},
        {"a chart in PowerPoint",
         "pptx",
         slides({{"ppt/charts/chart1.xml", chartXml}}),
         "ppt/charts/chart1.xml",
         {"Annual report", "Big dog"},
         {"<c:v>1250</c:v>", "<c:f>Sheet1!$B$1</c:f>"},
         3},
        {"Excel: a comment, not its author",
         "xlsx",
         sheet({{"xl/comments1.xml",
                 "<?xml version=\"1.0\"?><comments><authors><author>Red House</author>"
                 "<author>Big Dog</author></authors><commentList><comment ref=\"A1\" "
                 "authorId=\"0\"><text><r><t>Small cat</t></r></text></comment></commentList>"
                 "</comments>"}}),
         "xl/comments1.xml",
         {"Small cat"},
         {"<authors><author>Red House</author><author>Big Dog</author></authors>"},
         1},
        {"Excel: a shape on a sheet",
         "xlsx",
         sheet(
             {{"xl/drawings/drawing1.xml",
               "<?xml version=\"1.0\"?><xdr:wsDr "
               "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
               "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">"
               "<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:row>2</xdr:row></xdr:from>"
               "<xdr:sp><xdr:txBody><a:p><a:r><a:t>Green tree</a:t></a:r></a:p></xdr:txBody>"
               "</xdr:sp></xdr:twoCellAnchor></xdr:wsDr>"}}),
         "xl/drawings/drawing1.xml",
         {"Green tree"},
         {"<xdr:col>1</xdr:col><xdr:row>2</xdr:row>"},
         1},
        {"Excel: a chart",
         "xlsx",
         sheet({{"xl/charts/chart1.xml", chartXml}}),
         "xl/charts/chart1.xml",
         {"Small cat"},
         {"<c:formatCode>General</c:formatCode>"},
         3},
        {"OpenDocument: a comment's author and date",
         "ods",
         odf("application/vnd.oasis.opendocument.spreadsheet",
             "<office:spreadsheet><table:table><table:table-row><table:table-cell>"
             "<office:annotation><dc:creator>Red House</dc:creator><dc:date>2014-05-01T10:00:00"
             "</dc:date><text:p>Big dog</text:p></office:annotation><text:p>Small cat</text:p>"
             "</table:table-cell></table:table-row></table:table></office:spreadsheet>"),
         "content.xml",
         {"Big dog", "Small cat"},
         {"<dc:creator>Red House</dc:creator><dc:date>2014-05-01T10:00:00</dc:date>"},
         2},
        {"OpenDocument: an embedded object",
         "odt",
         odf("application/vnd.oasis.opendocument.text",
             "<office:text><text:p>Red house</text:p></office:text>",
             {{"Object 1/content.xml",
               odfRoot + "<office:chart><text:p>Green tree</text:p></office:chart>"
                         "</office:body></office:document-content>"},
              {"Object 2/content.xml",
               "<?xml version=\"1.0\"?><math:math xmlns:math=\"http://www.w3.org/1998/Math/"
               "MathML\"><math:mi>sin</math:mi><math:mi>cos</math:mi></math:math>"}}),
         "Object 1/content.xml",
         {"Green tree"},
         {},
         1},
        {"OpenDocument: a formula object stays",
         "odt",
         odf("application/vnd.oasis.opendocument.text",
             "<office:text><text:p>Red house</text:p></office:text>",
             {{"Object 2/content.xml",
               "<?xml version=\"1.0\"?><math:math xmlns:math=\"http://www.w3.org/1998/Math/"
               "MathML\"><math:mi>sin</math:mi><math:mi>cos</math:mi></math:math>"}}),
         "Object 2/content.xml",
         {},
         {"<math:mi>sin</math:mi><math:mi>cos</math:mi>"},
         0},
    };
}

class PackageParts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("apertium-deswxml")).isEmpty())
            GTEST_SKIP() << "Apertium's format filters are not installed (scripts/deps.sh)";
    }
};

TEST_F(PackageParts, WhatAReaderSeesIsTranslatedAndNothingElse)
{
    QTemporaryDir scratch;
    EchoEngine echo;
    DocumentTranslator::Options options;
    options.scratchParent = scratch.path();
    options.useOffice = false;
    DocumentTranslator documents(echo, options);
    const TranslationMode enEs{QStringLiteral("en"), QStringLiteral("es")};
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        TranslatedDocument out;
        try {
            out = documents.translate(c.file, QStringLiteral("a.") + QLatin1String(c.extension),
                                      enEs);
        } catch (const DocumentError& e) {
            ADD_FAILURE() << e.message().toStdString();
            continue;
        }
        ZipPackage zip(out.file, DocumentLimits{}, QStringLiteral("document"));
        const QByteArray part = zip.read(QByteArray(c.part));
        for (const QByteArray& text : c.marked)
            EXPECT_TRUE(part.contains(mark + text))
                << text.toStdString() << " in " << part.toStdString();
        for (const QByteArray& bytes : c.kept)
            EXPECT_TRUE(part.contains(bytes))
                << bytes.toStdString() << " in " << part.toStdString();
        if (c.marks >= 0) {
            EXPECT_EQ(part.count(mark), c.marks) << part.toStdString();
        }
        EXPECT_FALSE(part.contains("tq-hold")) << part.toStdString();
    }
}

TEST(PackagePartsUnits, HeldRegionsComeBackByteForByteOrTheTranslationFails)
{
    const ::PackageParts::Rule* word =
        ::PackageParts::ruleFor(DocumentTypes::Family::Word, QStringLiteral("word/document.xml"));
    const ::PackageParts::Rule* chart = ::PackageParts::ruleFor(
        DocumentTypes::Family::Slides, QStringLiteral("ppt/charts/chart2.xml"));
    ASSERT_TRUE(word && chart);
    EXPECT_EQ(::PackageParts::ruleFor(DocumentTypes::Family::Slides,
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
