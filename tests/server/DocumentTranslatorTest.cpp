// Whole documents through the document translator: documents LibreOffice
// makes from an HTML page of ours, translated English to Spanish by a real
// Apertium engine in this process, opened again by LibreOffice to see what
// came through. LibreOffice is slow to start, so the documents are made
// once and the results opened in as few runs as can be.
#include "server/documents/DocumentTranslator.h"
#include "LinkedDocuments.h"
#include "TestFiles.h"
#include "ZipBuilder.h"
#include "platform/OfficeLaunch.h"
#include "server/apertium/ApertiumEngine.h"
#include "server/apertium/ApertiumModes.h"
#include "server/documents/DocumentError.h"
#include "server/documents/XmlGuard.h"
#include "server/documents/ZipPackage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <zip.h>

// Readable failures.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// Every text node of an XML document, joined.
QString xmlText(const QByteArray& xml)
{
    QXmlStreamReader r(xml);
    QString out;
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::Characters)
            out += r.text();
        else if (r.isEndElement())
            out += QLatin1Char(' ');
    }
    return out.simplified();
}

// The page LibreOffice makes every test document from: a heading, a bold
// and an italic word, a two-by-two table, a bullet list, a link, an image,
// a footnote, Cyrillic and accented text.
QByteArray sourcePage()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QByteArray(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Report</title></head>"
               "<body>\n<h1>The annual report</h1>\n"
               "<p><b>Yesterday</b> the children played in the <i>garden</i>.</p>\n"
               "<p>The café in Zürich sells books from Москва.<a class=\"sdfootnoteanc\" "
               "name=\"sdfootnote1anc\" href=\"#sdfootnote1sym\"><sup>1</sup></a></p>\n"
               "<table border=\"1\"><tr><td>Red house</td><td>Green tree</td></tr>"
               "<tr><td>Big dog</td><td>Small cat</td></tr></table>\n"
               "<ul><li>First item</li><li>Second item</li></ul>\n"
               "<p>Visit <a href=\"https://example.org/page?x=1\">our website</a> today.</p>\n"
               "<p><img src=\"data:image/png;base64,") +
           png.toBase64() +
           "\" width=\"32\" height=\"32\" alt=\"picture\"></p>\n"
           "<div id=\"sdfootnote1\"><p class=\"sdfootnote\"><a class=\"sdfootnotesym\" "
           "name=\"sdfootnote1sym\" href=\"#sdfootnote1anc\">1</a>The note is short.</p></div>\n"
           "</body></html>\n";
}

const char slidesSource[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:body><office:presentation>
<draw:page draw:name="One">
<draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm"><draw:text-box><text:p>The annual report</text:p></draw:text-box></draw:frame>
<draw:frame svg:x="2cm" svg:y="6cm" svg:width="20cm" svg:height="8cm"><draw:text-box><text:p>Red house</text:p></draw:text-box></draw:frame>
<presentation:notes><draw:frame svg:x="2cm" svg:y="15cm" svg:width="17cm" svg:height="10cm" presentation:class="notes"><draw:text-box><text:p>The note is short.</text:p></draw:text-box></draw:frame></presentation:notes>
</draw:page>
<draw:page draw:name="Two">
<draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm"><draw:text-box><text:p>Big dog</text:p></draw:text-box></draw:frame>
</draw:page>
</office:presentation></office:body></office:document>
)";

const char sheetSource[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" xmlns:dc="http://purl.org/dc/elements/1.1/" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet>
<table:table table:name="Prices">
<table:table-row><table:table-cell office:value-type="string"><office:annotation><dc:creator>Ann Smith</dc:creator><text:p>The note is short.</text:p></office:annotation><text:p>Red house</text:p></table:table-cell><table:table-cell office:value-type="float" office:value="1250"><text:p>1250</text:p></table:table-cell></table:table-row>
<table:table-row><table:table-cell office:value-type="string"><text:p>Big dog</text:p></table:table-cell><table:table-cell table:formula="of:=[.B1]*2" office:value-type="float" office:value="2500"><text:p>2500</text:p></table:table-cell></table:table-row>
</table:table>
</office:spreadsheet></office:body></office:document>
)";

const TranslationMode enEs{QStringLiteral("en"), QStringLiteral("es")};

class Documents : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<QTemporaryDir>();
        // TARQUELL_KEEP_DOCUMENTS=1 keeps the documents for a look.
        dir->setAutoRemove(qEnvironmentVariable("TARQUELL_KEEP_DOCUMENTS") != QLatin1String("1"));
        const ApertiumModes::Scan scan =
            ApertiumModes::scan(QStringLiteral("/usr/share/apertium/modes"));
        engine = std::make_unique<ApertiumEngine>(scan.modes, std::chrono::seconds(30));
        if (!engine->canTranslate(enEs) || soffice().isEmpty())
            return;
        writeAll(path("report.html"), sourcePage());
        writeAll(path("slides.fodp"), slidesSource);
        writeAll(path("sheet.fods"), sheetSource);
        // One LibreOffice run per target format.
        const QList<std::pair<QString, QString>> writer{
            {QStringLiteral("docx:MS Word 2007 XML"), QStringLiteral("docx")},
            {QStringLiteral("odt"), QStringLiteral("odt")},
            {QStringLiteral("doc:MS Word 97"), QStringLiteral("doc")},
            {QStringLiteral("rtf"), QStringLiteral("rtf")},
            {QStringLiteral("epub"), QStringLiteral("epub")}};
        for (const auto& [target, ext] : writer) {
            office({QStringLiteral("--writer"), QStringLiteral("--convert-to"), target,
                    QStringLiteral("--outdir"), dir->path(), path("report.html")});
            made[ext] = readAll(path(QStringLiteral("report.") + ext));
        }
        office({QStringLiteral("--convert-to"), QStringLiteral("pptx"), QStringLiteral("--outdir"),
                dir->path(), path("slides.fodp")});
        made[QStringLiteral("pptx")] = readAll(path("slides.pptx"));
        office({QStringLiteral("--convert-to"), QStringLiteral("xlsx"), QStringLiteral("--outdir"),
                dir->path(), path("sheet.fods")});
        made[QStringLiteral("xlsx")] = readAll(path("sheet.xlsx"));
    }
    static void TearDownTestSuite()
    {
        translator.reset();
        engine.reset();
        dir.reset();
    }
    void SetUp() override
    {
        if (!engine->canTranslate(enEs))
            GTEST_SKIP() << "Apertium eng-spa is not installed (scripts/deps.sh)";
        if (soffice().isEmpty())
            GTEST_SKIP() << "LibreOffice is not installed (scripts/deps.sh)";
        for (const char* ext : {"docx", "odt", "doc", "rtf", "epub", "pptx", "xlsx"})
            ASSERT_FALSE(made.value(QString::fromLatin1(ext)).isEmpty())
                << "LibreOffice did not make the ." << ext << " document";
    }

    static QString soffice()
    {
        QString found = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        return found;
    }
    static QString path(const QString& name) { return dir->filePath(name); }
    static QString path(const char* name) { return path(QString::fromLatin1(name)); }
    static QString profile() { return path("office-profile"); }
    static void office(QStringList arguments)
    {
        arguments.prepend(QStringLiteral("--headless"));
        arguments.prepend(QStringLiteral("-env:UserInstallation=") +
                          QUrl::fromLocalFile(profile()).toString());
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(soffice(), arguments);
        if (!p.waitForFinished(180000))
            p.kill();
        p.waitForFinished();
    }

    static DocumentTranslator& documents()
    {
        if (!translator) {
            DocumentTranslator::Options options;
            options.scratchParent = path("scratch");
            QDir().mkpath(options.scratchParent);
            options.officeProfile = profile();
            translator = std::make_unique<DocumentTranslator>(*engine, options);
        }
        return *translator;
    }

    // The documents translated English to Spanish, and what LibreOffice
    // makes of each when it opens it again: HTML for the text documents
    // and the workbook, the presentation's content as OpenDocument. Made
    // once, on first use.
    struct Opened
    {
        QMap<QString, TranslatedDocument> translated;
        QMap<QString, QString> html;
        QString slides;
    };
    static const Opened& opened()
    {
        static Opened o;
        if (!o.translated.isEmpty())
            return o;
        const QString out = path("opened");
        QDir().mkpath(out);
        QStringList toHtml;
        for (const char* e : {"docx", "odt", "doc", "rtf", "xlsx", "pptx", "epub"}) {
            const QString ext = QString::fromLatin1(e);
            o.translated[ext] =
                documents().translate(made[ext], QStringLiteral("report.") + ext, enEs);
            const QString file = out + QStringLiteral("/es_") + ext + QLatin1Char('.') +
                                 o.translated[ext].formatGiven;
            writeAll(file, o.translated[ext].file);
            if (ext != QLatin1String("pptx") && ext != QLatin1String("epub"))
                toHtml << file;
        }
        o.translated[QStringLiteral("pt")] =
            documents().translate(made[QStringLiteral("docx")], QStringLiteral("report.docx"),
                                  {QStringLiteral("en"), QStringLiteral("pt")});
        writeAll(out + QStringLiteral("/pt_docx.docx"), o.translated[QStringLiteral("pt")].file);
        toHtml << out + QStringLiteral("/pt_docx.docx");

        office(QStringList{QStringLiteral("--convert-to"), QStringLiteral("html"),
                           QStringLiteral("--outdir"), out + QStringLiteral("/html")} +
               toHtml);
        for (const QString& file : std::as_const(toHtml)) {
            const QString base = QFileInfo(file).completeBaseName();
            o.html[base] = QString::fromUtf8(
                readAll(out + QStringLiteral("/html/") + base + QStringLiteral(".html")));
        }
        office({QStringLiteral("--convert-to"), QStringLiteral("odp"), QStringLiteral("--outdir"),
                out + QStringLiteral("/odp"), out + QStringLiteral("/es_pptx.pptx")});
        const QByteArray odp = readAll(out + QStringLiteral("/odp/es_pptx.odp"));
        if (!odp.isEmpty()) {
            ZipPackage zip(odp, DocumentLimits{}, QStringLiteral("presentation"));
            o.slides = xmlText(zip.read("content.xml"));
        }
        return o;
    }

    static std::unique_ptr<QTemporaryDir> dir;
    static std::unique_ptr<ApertiumEngine> engine;
    static std::unique_ptr<DocumentTranslator> translator;
    static QMap<QString, QByteArray> made;
};
std::unique_ptr<QTemporaryDir> Documents::dir;
std::unique_ptr<ApertiumEngine> Documents::engine;
std::unique_ptr<DocumentTranslator> Documents::translator;
QMap<QString, QByteArray> Documents::made;

TEST_F(Documents, WordProcessorFilesComeBackTranslatedWithTheirLayout)
{
    const Opened& o = opened();
    // The format given back: the same, .doc and .rtf through LibreOffice.
    const QMap<QString, QString> mime{
        {QStringLiteral("docx"),
         QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document")},
        {QStringLiteral("odt"), QStringLiteral("application/vnd.oasis.opendocument.text")},
        {QStringLiteral("doc"), QStringLiteral("application/msword")},
        {QStringLiteral("rtf"), QStringLiteral("application/rtf")}};
    for (auto it = mime.begin(); it != mime.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const TranslatedDocument& t = o.translated[it.key()];
        EXPECT_EQ(t.formatGiven, it.key());
        EXPECT_EQ(t.fileName, QStringLiteral("report.") + it.key());
        EXPECT_EQ(t.mimeType, it.value());

        // LibreOffice wraps its lines anywhere.
        const QString html = o.html.value(QStringLiteral("es_") + it.key()).simplified();
        ASSERT_FALSE(html.isEmpty()) << "LibreOffice could not open the translation";
        const QString text = plainText(html);
        EXPECT_TRUE(text.contains(QStringLiteral("El informe anual"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("los niños"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("children"))) << text.toStdString();
        // The bold word is still bold, and it is the one that was.
        EXPECT_TRUE(html.contains(QRegularExpression(
            QStringLiteral("<(b|strong)>(<[^>]*>)*Ayer(<[^>]*>)*</(b|strong)>"))))
            << html.toStdString();
        EXPECT_TRUE(html.contains(QRegularExpression(QStringLiteral("<(i|em)>(<[^>]*>)*jard"))));
        // Four cells, each translated.
        const QRegularExpression cell(QStringLiteral("<td[^>]*>(.*?)</td>"),
                                      QRegularExpression::DotMatchesEverythingOption);
        QStringList cells;
        for (auto m = cell.globalMatch(html); m.hasNext();)
            cells << plainText(m.next().captured(1));
        EXPECT_EQ(cells,
                  (QStringList{QStringLiteral("Casa roja"), QStringLiteral("Árbol verde"),
                               QStringLiteral("Perro grande"), QStringLiteral("Gato pequeño")}));
        // The list's items are list items still.
        const QRegularExpression item(QStringLiteral("<li[^>]*>(.*?)(?=<li|</ul|</ol)"),
                                      QRegularExpression::DotMatchesEverythingOption);
        QStringList items;
        for (auto m = item.globalMatch(html); m.hasNext();)
            items << plainText(m.next().captured(1));
        EXPECT_EQ(items, (QStringList{QStringLiteral("Primer elemento"),
                                      QStringLiteral("Segundo elemento")}));
        EXPECT_TRUE(html.contains(QRegularExpression(QStringLiteral(
            "href=\"https://example.org/page\\?x=1\"[^>]*>(<[^>]*>)*nuestro sitio web"))))
            << html.toStdString();
        EXPECT_TRUE(html.contains(QStringLiteral("<img"))) << "the image is gone";
        // The footnote, the Cyrillic and the accented letters.
        EXPECT_TRUE(text.contains(QStringLiteral("La nota es corta"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Москва")));
        EXPECT_TRUE(text.contains(QStringLiteral("Zürich")));
    }
}

TEST_F(Documents, ImagesAndUntouchedPartsOfArchivesStayByteForByte)
{
    const Opened& o = opened();
    for (const char* e : {"docx", "odt", "epub", "pptx", "xlsx"}) {
        SCOPED_TRACE(e);
        const QString ext = QString::fromLatin1(e);
        ZipPackage before(made[ext], DocumentLimits{}, ext);
        ZipPackage after(o.translated[ext].file, DocumentLimits{}, ext);
        QStringList changed;
        ASSERT_EQ(after.entries().size(), before.entries().size());
        for (qsizetype i = 0; i < before.entries().size(); ++i) {
            // In the same order, under the same names.
            ASSERT_EQ(after.entries()[i].name, before.entries()[i].name);
            if (after.read(i) != before.read(i))
                changed << QString::fromUtf8(before.entries()[i].name);
        }
        const QMap<QString, QStringList> expected{
            {QStringLiteral("docx"),
             {QStringLiteral("word/document.xml"), QStringLiteral("word/footnotes.xml")}},
            {QStringLiteral("odt"), {QStringLiteral("content.xml")}},
            {QStringLiteral("epub"),
             {QStringLiteral("OEBPS/toc.ncx"), QStringLiteral("OEBPS/sections/section0001.xhtml"),
              QStringLiteral("OEBPS/toc.xhtml")}},
            {QStringLiteral("pptx"),
             {QStringLiteral("ppt/notesSlides/notesSlide1.xml"),
              QStringLiteral("ppt/slides/slide1.xml"), QStringLiteral("ppt/slides/slide2.xml")}},
            {QStringLiteral("xlsx"),
             {QStringLiteral("xl/sharedStrings.xml"), QStringLiteral("xl/comments1.xml")}}};
        changed.sort();
        QStringList want = expected[ext];
        want.sort();
        EXPECT_EQ(changed, want);
    }
    // OpenDocument and EPUB readers want "mimetype" first and stored.
    for (const char* e : {"odt", "epub"}) {
        const QByteArray& file = o.translated[QString::fromLatin1(e)].file;
        EXPECT_EQ(file.mid(30, 8), QByteArray("mimetype")) << e;
        EXPECT_EQ(file.mid(8, 2), QByteArray("\0\0", 2)) << e << ": compressed";
    }
}

TEST_F(Documents, SlidesAndNotesAndCellsAreTranslatedWhileNumbersAndFormulasStay)
{
    const Opened& o = opened();
    EXPECT_TRUE(o.slides.contains(QStringLiteral("El informe anual"))) << o.slides.toStdString();
    EXPECT_TRUE(o.slides.contains(QStringLiteral("Casa roja")));
    EXPECT_TRUE(o.slides.contains(QStringLiteral("Perro grande")));
    EXPECT_TRUE(o.slides.contains(QStringLiteral("La nota es corta"))) << "speaker notes";

    const QString sheet = o.html.value(QStringLiteral("es_xlsx"));
    ASSERT_FALSE(sheet.isEmpty()) << "LibreOffice could not open the workbook";
    EXPECT_TRUE(plainText(sheet).contains(QStringLiteral("Casa roja")));
    EXPECT_TRUE(plainText(sheet).contains(QStringLiteral("Perro grande")));
    EXPECT_TRUE(plainText(sheet).contains(QStringLiteral("2500")));
    ZipPackage after(o.translated[QStringLiteral("xlsx")].file, DocumentLimits{}, QString());
    EXPECT_TRUE(after.read("xl/worksheets/sheet1.xml").contains("<f aca=\"false\">B1*2</f>"));
    EXPECT_TRUE(after.read("xl/workbook.xml").contains("name=\"Prices\"")) << "sheet names stay";
    const QByteArray comments = after.read("xl/comments1.xml");
    EXPECT_TRUE(comments.contains(">La nota es corta.<")) << comments.toStdString();
    EXPECT_TRUE(comments.contains("<author>Ann Smith</author>")) << "authors are names, not text";
}

TEST_F(Documents, APivotPairGoesThroughSpanish)
{
    const Opened& o = opened();
    const QString text = plainText(o.html.value(QStringLiteral("pt_docx")));
    EXPECT_TRUE(text.contains(QStringLiteral("Ontem os meninos"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("A nota é curta"))) << text.toStdString();
}

TEST_F(Documents, EpubChaptersGoThroughTheHtmlTranslation)
{
    const Opened& o = opened();
    ZipPackage after(o.translated[QStringLiteral("epub")].file, DocumentLimits{}, QString());
    const QByteArray chapter = after.read("OEBPS/sections/section0001.xhtml");
    EXPECT_EQ(XmlGuard::problem(chapter, 256, true), QString());
    const QString text = xmlText(chapter);
    EXPECT_TRUE(text.contains(QStringLiteral("El informe anual"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Casa roja")));
    EXPECT_TRUE(chapter.contains("href=\"https://example.org/page?x=1\""));
}

TEST_F(Documents, SubtitlesKeepTheirNumbersAndTimes)
{
    // A subtitle's lines are one sentence; its styling tags stay put.
    const QByteArray srt = "1\r\n00:00:01,000 --> 00:00:03,500\r\nThe annual report\r\n\r\n"
                           "2\r\n00:00:04,000 --> 00:00:06,000\r\n<i>Yesterday</i> the children\r\n"
                           "played in the garden.\r\n\r\n"
                           "3\r\n00:00:07,000 --> 00:00:09,000\r\n{\\an8}Red house\r\n";
    const TranslatedDocument t = documents().translate(srt, QStringLiteral("film.srt"), enEs);
    EXPECT_EQ(t.fileName, QStringLiteral("film.srt"));
    EXPECT_EQ(QString::fromUtf8(t.file),
              QStringLiteral("1\r\n00:00:01,000 --> 00:00:03,500\r\nEl informe anual\r\n\r\n"
                             "2\r\n00:00:04,000 --> 00:00:06,000\r\n<i>Ayer</i> los niños\r\n"
                             "tocaron en el jardín.\r\n\r\n"
                             "3\r\n00:00:07,000 --> 00:00:09,000\r\n{\\an8}Casa roja\r\n"));
}

TEST_F(Documents, TextAndWebPagesKeepTheirLinesAndLinks)
{
    const TranslatedDocument text = documents().translate(
        QByteArray("The annual report\n\n  Red house\nBig dog\n"), QStringLiteral("a.txt"), enEs);
    // Each paragraph a sentence of its own; a line end within one is not.
    EXPECT_EQ(QString::fromUtf8(text.file),
              QStringLiteral("El informe anual\n\n  Casa roja\nperro Grande\n"));
    EXPECT_EQ(text.mimeType, QStringLiteral("text/plain"));

    // A page in another code page comes back as UTF-8 and says so.
    const QByteArray latin1 = "<html><head><meta charset=\"iso-8859-1\"></head><body><p>The "
                              "caf\xe9 is near.</p><p><a href=\"/x?a=1&amp;b=2\">Red house</a>"
                              "</p></body></html>";
    const TranslatedDocument page = documents().translate(latin1, QStringLiteral("p.htm"), enEs);
    const QString html = QString::fromUtf8(page.file);
    EXPECT_TRUE(html.contains(QStringLiteral("charset=\"utf-8\""))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"/x?a=1&amp;b=2\">Casa roja</a>")))
        << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("cafetería"))) << html.toStdString();
}

TEST_F(Documents, TheTextForLanguageDetectionIsTheDocumentsOwn)
{
    for (const char* e : {"docx", "odt", "pptx", "xlsx", "epub"}) {
        const QString text = documents().detectText(made[QString::fromLatin1(e)],
                                                    QStringLiteral("x.") + QLatin1String(e));
        EXPECT_TRUE(text.contains(QStringLiteral("Red house"))) << e << ": " << text.toStdString();
        EXPECT_FALSE(text.contains(QLatin1Char('<'))) << e;
    }
    EXPECT_EQ(documents().detectText("The annual report", QStringLiteral("a.txt")),
              QStringLiteral("The annual report"));

    // Translated with the source to be found: the detector gets that same
    // text, once, and the document comes back as with the source given.
    const struct
    {
        const char* name;
        QByteArray file;
    } cases[] = {
        {"x.docx", made[QStringLiteral("docx")]},
        {"x.epub", made[QStringLiteral("epub")]},
        {"x.xlsx", made[QStringLiteral("xlsx")]},
        {"a.txt", "The annual report\n\nRed house\n"},
        {"p.html", "<html><body><p>The annual report</p><p><b>Red</b> house</p></body></html>"},
        {"f.srt", "1\r\n00:00:01,000 --> 00:00:03,500\r\nThe annual report\r\n"},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        QStringList seen;
        const TranslatedDocument found =
            documents().translate(c.file, name, [&](const QString& text) {
                seen << text;
                return enEs;
            });
        const TranslatedDocument given = documents().translate(c.file, name, enEs);
        ASSERT_EQ(seen.size(), 1) << c.name;
        EXPECT_EQ(seen.front(), documents().detectText(c.file, name)) << c.name;
        EXPECT_EQ(found.fileName, given.fileName);
        EXPECT_EQ(documents().detectText(found.file, found.fileName),
                  documents().detectText(given.file, given.fileName))
            << c.name;
    }
    // The detector's refusal is the document's.
    try {
        documents().translate(made[QStringLiteral("docx")], QStringLiteral("x.docx"),
                              [](const QString&) -> TranslationMode {
                                  throw DocumentError(DocumentError::Kind::Refused,
                                                      QStringLiteral("No language here"));
                              });
        ADD_FAILURE() << "translated without a language";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.kind(), DocumentError::Kind::Refused);
        EXPECT_EQ(e.message(), QStringLiteral("No language here"));
    }
}

// Hostile and broken documents. Each is refused with a sentence that says
// why; none leaves a file behind.
const QByteArray wordXml =
    "<?xml version=\"1.0\"?><w:document xmlns:w=\"http://schemas.openxmlformats.org/"
    "wordprocessingml/2006/main\"><w:body><w:p><w:r><w:t>Red house</w:t></w:r></w:p>"
    "</w:body></w:document>";

// The byte offsets of every occurrence of `what`.
QList<qsizetype> offsets(const QByteArray& in, const QByteArray& what)
{
    QList<qsizetype> found;
    for (qsizetype at = in.indexOf(what); at >= 0; at = in.indexOf(what, at + 1))
        found << at;
    return found;
}

TEST(DocumentsHostile, DamagedEncryptedAndHostileFilesAreRefusedWithAReason)
{
    QTemporaryDir scratch;
    EchoEngine echo;
    DocumentTranslator::Options options;
    options.scratchParent = scratch.path();
    options.officeProfile = scratch.filePath(QStringLiteral("office"));

    const QByteArray good = wordPackage(wordXml);
    // Sizes in both headers say 9 bytes where the part inflates to more.
    QByteArray lying = good;
    {
        const qint32 real = static_cast<qint32>(wordXml.size());
        const QByteArray le = QByteArray(reinterpret_cast<const char*>(&real), 4);
        for (qsizetype at : offsets(lying, le))
            lying.replace(at, 4, QByteArray("\x09\0\0\0", 4));
    }
    QByteArray encrypted = good; // the "encrypted" bit in every header
    for (qsizetype at : offsets(encrypted, "PK\x03\x04"))
        encrypted[at + 6] = static_cast<char>(encrypted[at + 6] | 1);
    for (qsizetype at : offsets(encrypted, "PK\x01\x02"))
        encrypted[at + 8] = static_cast<char>(encrypted[at + 8] | 1);
    QByteArray twice = wordPackage(wordXml, {{"word/aaaa.xml", "<a/>"}, {"word/bbbb.xml", "<b/>"}});
    for (qsizetype at : offsets(twice, "word/bbbb.xml"))
        twice.replace(at, 13, "word/aaaa.xml");
    QByteArray ooxmlEncrypted("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    ooxmlEncrypted +=
        QByteArray(504, '\0') +
        QByteArray::fromRawData("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    const QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
        "<w:document xmlns:w=\"x\"><w:t>&c;</w:t></w:document>";
    const QByteArray external = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY x SYSTEM "
                                "\"file:///etc/passwd\">]><w:document xmlns:w=\"x\"><w:t>&x;"
                                "</w:t></w:document>";
    const QByteArray deep = "<?xml version=\"1.0\"?><w:document xmlns:w=\"x\">" +
                            QByteArray("<w:p>").repeated(300) + QByteArray("</w:p>").repeated(300) +
                            "</w:document>";
    QList<ZipEntry> many;
    static QList<QByteArray> names;
    for (int i = 0; i < 10001; ++i)
        names << "word/media/x" + QByteArray::number(i);
    for (const QByteArray& n : std::as_const(names))
        many << ZipEntry{n.constData(), QByteArray()};
    const QByteArray odfEncrypted = makeZip(
        {{"mimetype", "application/vnd.oasis.opendocument.text"},
         {"content.xml", "garbage"},
         {"META-INF/manifest.xml",
          "<manifest:manifest "
          "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
          "<manifest:file-entry manifest:full-path=\"content.xml\"><manifest:encryption-data/>"
          "</manifest:file-entry></manifest:manifest>"}});

    struct Case
    {
        const char* what;
        QByteArray file;
        const char* name;
        DocumentError::Kind kind;
        const char* says;
    };
    const QList<Case> cases{
        {"a bomb: one part inflating a thousandfold",
         wordPackage(wordXml, {{"word/media/zeros.bin", QByteArray(50 * 1024 * 1024, '\0')}}),
         "a.docx", DocumentError::Kind::Refused, "inflates more than 100 times"},
        {"too many entries", wordPackage(wordXml, many), "a.docx", DocumentError::Kind::TooLarge,
         "holds 10003 files; at most 10000"},
        {"sizes that lie", lying, "a.docx", DocumentError::Kind::Refused, "damaged"},
        {"an encrypted zip", encrypted, "a.docx", DocumentError::Kind::Refused,
         "encrypted (password-protected)"},
        {"an encrypted Office file", ooxmlEncrypted, "a.docx", DocumentError::Kind::Refused,
         "encrypted (password-protected)"},
        {"an encrypted OpenDocument file", odfEncrypted, "a.odt", DocumentError::Kind::Refused,
         "encrypted (password-protected)"},
        {"a truncated archive", good.left(good.size() - 30), "a.docx", DocumentError::Kind::Refused,
         "The file is not a valid Word document"},
        {"an empty file", QByteArray(), "a.docx", DocumentError::Kind::Refused,
         "it is not a zip archive"},
        {"not a zip at all", "just text", "a.docx", DocumentError::Kind::Refused,
         "it is not a zip archive"},
        {"a name climbing out", wordPackage(wordXml, {{"../../etc/evil", "x"}}), "a.docx",
         DocumentError::Kind::Refused, "\"../../etc/evil\", which points outside the archive"},
        {"an absolute name", wordPackage(wordXml, {{"/etc/evil", "x"}}), "a.docx",
         DocumentError::Kind::Refused, "points outside the archive"},
        {"a name climbing out with backslashes",
         wordPackage(wordXml, {{"word\\..\\..\\evil", "x"}}), "a.docx",
         DocumentError::Kind::Refused, "points outside the archive"},
        {"two entries of one name", twice, "a.docx", DocumentError::Kind::Refused,
         "holds two files of the same name"},
        {"entities that expand", wordPackage(laughs), "a.docx", DocumentError::Kind::Refused,
         "document type declaration"},
        {"an external entity", wordPackage(external), "a.docx", DocumentError::Kind::Refused,
         "document type declaration"},
        {"elements nested too deep", wordPackage(deep), "a.docx", DocumentError::Kind::Refused,
         "nest more than 256 deep"},
        {"XML that is not well-formed", wordPackage("<w:document><w:t>x</w:document>"), "a.docx",
         DocumentError::Kind::Refused, "not well-formed"},
        {"a zip that is no document", makeZip({{"a.txt", "x"}}), "a.docx",
         DocumentError::Kind::Unsupported, "not a document that can be translated"},
        {"a PDF", "%PDF-1.4\n...", "a.pdf", DocumentError::Kind::Unsupported,
         "PDF files cannot be translated with their layout; open the PDF, copy its text"},
        {"an unknown type", "\x01\x02\x03", "a.xyz", DocumentError::Kind::Unsupported,
         "Files of the type .xyz cannot be translated; documents of these types can: docx"},
        {"an upload beyond 64 MiB", QByteArray(64 * 1024 * 1024 + 1, 'a'), "a.txt",
         DocumentError::Kind::TooLarge, "at most 64 MiB"},
    };
    {
        DocumentTranslator documents(echo, options);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            try {
                documents.translate(c.file, QString::fromLatin1(c.name), enEs);
                ADD_FAILURE() << "translated";
            } catch (const DocumentError& e) {
                EXPECT_EQ(e.kind(), c.kind);
                EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.says)))
                    << e.message().toStdString();
            }
        }
        // The same document, whole, goes through (the echo engine marks it).
        const TranslatedDocument t = documents.translate(good, QStringLiteral("a.docx"), enEs);
        ZipPackage back(t.file, DocumentLimits{}, QString());
        EXPECT_TRUE(back.read("word/document.xml").contains("[en_es] Red house"));
        // Its working files (apertium-adapt-docx reads files) are gone
        // as soon as it is done; only the empty folder for the next is left.
        const QStringList roots = QDir(scratch.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(roots.size(), 1);
        EXPECT_EQ(QDir(scratch.filePath(roots.front()))
                      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList());
    }
    // Nothing is left in the working folder.
    EXPECT_EQ(
        QDir(scratch.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList())
        << "working files left behind";
}

// A web page under a word processor's name, and a flat OpenDocument file
// that links images and sections to a canary server and to marker files:
// nothing is fetched, nothing read into the translation.
TEST(DocumentsHostile, LinkedImagesAndSectionsAreNeverFetchedOrRead)
{
    QTemporaryDir scratch;
    EchoEngine echo;
    DocumentTranslator::Options options;
    options.scratchParent = scratch.filePath(QStringLiteral("scratch"));
    QDir().mkpath(options.scratchParent);
    options.officeProfile = scratch.filePath(QStringLiteral("office"));
    DocumentTranslator documents(echo, options);

    const QByteArray marker = QByteArrayLiteral("TARQUELL-MARKER-9d02b4");
    const QByteArray image = markerPng(marker);
    Canary canary(image, marker);
    const QString markerImage = scratch.filePath(QStringLiteral("marker.png"));
    const QString markerText = scratch.filePath(QStringLiteral("marker.txt"));
    const QString markerCss = scratch.filePath(QStringLiteral("marker.css"));
    writeAll(markerImage, image);
    writeAll(markerText, marker);
    writeAll(markerCss, "p { color: #123456 }");
    const QByteArray page = linkingPage(canary, markerImage, markerCss);

    // The page goes the page route, which loads nothing, whatever its name.
    for (const char* name : {"x.rtf", "x.wri", "x.doc"}) {
        SCOPED_TRACE(name);
        const TranslatedDocument t = documents.translate(page, QString::fromLatin1(name), enEs);
        EXPECT_EQ(t.formatGiven, QStringLiteral("html"));
        EXPECT_TRUE(t.file.contains("Hello world")) << t.file.toStdString();
        EXPECT_FALSE(holdsMarker(t.file, image));
    }
    // XML under Word's name is neither guessed at nor given to LibreOffice.
    try {
        documents.translate("<?xml version=\"1.0\"?><a><b>x</b></a>", QStringLiteral("x.doc"),
                            enEs);
        ADD_FAILURE() << "translated";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("The file is named .doc but is not a Word 97-2003 "
                                              "document: it is an XML file; save it under its "
                                              "own type and try again"));
    }
    if (!OfficeLaunch::program().isEmpty()) {
        const TranslatedDocument t = documents.translate(
            linkingFlatOdf(canary, markerImage, markerText), QStringLiteral("x.fodt"), enEs);
        EXPECT_EQ(t.formatGiven, QStringLiteral("fodt"));
        EXPECT_TRUE(t.file.contains("Hello world")) << t.file.left(2000).toStdString();
        EXPECT_FALSE(holdsMarker(t.file, image));
        EXPECT_FALSE(t.file.contains(marker));
        // A Word file LibreOffice cannot read: the reason names none of
        // our scratch files or processes.
        QByteArray broken("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
        broken.resize(640, '\0');
        QByteArray entry(128, '\0');
        const QString stream = QStringLiteral("WordDocument");
        entry.replace(0, 24, QByteArray(reinterpret_cast<const char*>(stream.utf16()), 24));
        entry[64] = 26;
        entry[66] = 2;
        try {
            documents.translate(broken + entry, QStringLiteral("broken.doc"), enEs);
            ADD_FAILURE() << "translated";
        } catch (const DocumentError& e) {
            EXPECT_FALSE(e.message().contains(scratch.path())) << e.message().toStdString();
            EXPECT_FALSE(e.message().contains(QStringLiteral("file://")))
                << e.message().toStdString();
        }
    }
    EXPECT_EQ(canary.requests(), 0) << canary.seen();
}

TEST(DocumentsHostile, TheUncompressedTotalIsCappedAcrossParts)
{
    QTemporaryDir scratch;
    EchoEngine echo;
    DocumentTranslator::Options options;
    options.scratchParent = scratch.path();
    options.limits.uncompressedBytes = 1024 * 1024;
    DocumentTranslator documents(echo, options);
    QByteArray noise(400 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) ^ (i >> 7));
    try {
        documents.translate(wordPackage(wordXml, {{"a", noise}, {"b", noise}, {"c", noise}}),
                            QStringLiteral("a.docx"), enEs);
        ADD_FAILURE() << "translated";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.kind(), DocumentError::Kind::TooLarge);
        EXPECT_EQ(e.message(), QStringLiteral("The Word document unpacks to more than 1 MiB; that "
                                              "is more than is accepted"));
    }
}

// An engine that takes its time, for the clock and the cancel.
class SlowEngine : public EchoEngine
{
public:
    QByteArray translateStream(const TranslationMode& mode, const QByteArray& stream) override
    {
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return EchoEngine::translateStream(mode, stream);
    }
    QString translate(const TranslationMode& mode, const QString& text) override
    {
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return EchoEngine::translate(mode, text);
    }
    std::atomic<int> calls{0};
};

TEST(DocumentsHostile, ADocumentEndsWhenItsTimeRunsOutOrItIsCancelled)
{
    QTemporaryDir scratch;
    SlowEngine slow;
    DocumentTranslator::Options options;
    options.scratchParent = scratch.path();
    // Time by size: the base plus so much per MiB, never beyond the cap.
    EXPECT_EQ(options.limits.timeFor(0), std::chrono::seconds(60));
    EXPECT_EQ(options.limits.timeFor(3 * 1024 * 1024 + 5), std::chrono::seconds(150));
    EXPECT_EQ(options.limits.timeFor(qint64(1) << 40), std::chrono::minutes(30));

    options.limits.baseTime = std::chrono::milliseconds(300);
    options.limits.timePerTextMiB = std::chrono::milliseconds(300);
    DocumentTranslator documents(slow, options);
    QByteArray text;
    for (int i = 0; i < 4000; ++i)
        text += "Red house number " + QByteArray::number(i) + ".\n\n";
    try {
        documents.translate(text, QStringLiteral("long.txt"), enEs);
        ADD_FAILURE() << "translated";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.kind(), DocumentError::Kind::TimedOut) << e.message().toStdString();
    }
    const int before = slow.calls;
    EXPECT_LE(before, 4) << "it went on after its time";

    DocumentTranslator patient(slow, DocumentTranslator::Options{{}, scratch.path(), {}});
    DocumentControl control;
    std::atomic<int> progressCalls{0};
    control.progress = [&](qint64, qint64) { ++progressCalls; };
    control.cancelled = [&] { return progressCalls >= 2; };
    try {
        patient.translate(text, QStringLiteral("long.txt"), enEs, control);
        ADD_FAILURE() << "translated";
    } catch (const DocumentError& e) {
        EXPECT_EQ(e.kind(), DocumentError::Kind::Cancelled);
    }
    EXPECT_EQ(progressCalls, 2);
}

TEST(DocumentsHostile, WorkingFoldersOfADeadServiceAreRemoved)
{
    QTemporaryDir scratch;
    // A pid that is surely not running: above the kernel's maximum.
    const QString stale = scratch.filePath(QStringLiteral("tarquell-documents-99999999-x"));
    QDir().mkpath(stale + QStringLiteral("/job-1"));
    const QString alive = scratch.filePath(
        QStringLiteral("tarquell-documents-%1-y").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(alive);
    EchoEngine echo;
    DocumentTranslator documents(echo, DocumentTranslator::Options{{}, scratch.path(), {}});
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(alive));
}

TEST(DocumentsHostile, ArchiveNamesAndXmlChecks)
{
    // Paths that stay inside are fine, whatever their look.
    const QByteArray ok = makeZip({{"a/..b/c..", "x"}, {"a/./b", "y"}, {"ab:c", "z"}});
    EXPECT_NO_THROW(ZipPackage(ok, DocumentLimits{}, QStringLiteral("archive")));
    for (const char* bad : {"C:/x", "a/../../b", "..", "\\x"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ZipPackage(makeZip({{bad, "x"}}), DocumentLimits{}, QStringLiteral("a")),
                     DocumentError);
    }
    // XHTML may name its DTD and use its entities, never declare its own.
    const QByteArray xhtml = "<?xml version=\"1.0\"?><!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML "
                             "1.1//EN\" \"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\"><html><p>"
                             "a&nbsp;b</p></html>";
    EXPECT_EQ(XmlGuard::problem(xhtml, 10, true), QString());
    EXPECT_FALSE(XmlGuard::problem(xhtml, 10, false).isEmpty());
    const QByteArray own =
        "<?xml version=\"1.0\"?><!DOCTYPE html [<!ENTITY a \"b\">]><html>&a;</html>";
    EXPECT_FALSE(XmlGuard::problem(own, 10, true).isEmpty());
}

TEST(DocumentsHostile, ArchivesAreBoundedWholeAsWellAsByPart)
{
    // Many headers of just under the entry's grace each: a 915 KB upload
    // that unpacked into 250 MB of XML, no entry of it over the line.
    const QByteArray run = "<w:p><w:r><w:t>Red house</w:t></w:r></w:p>";
    const QByteArray header = "<w:hdr xmlns:w=\"http://schemas.openxmlformats.org/"
                              "wordprocessingml/2006/main\">" +
                              run.repeated((1024 * 1024 - 200) / run.size()) + "</w:hdr>";
    static QList<QByteArray> names;
    const auto headers = [&](int count) {
        QList<ZipEntry> out;
        for (int i = 0; i < count; ++i) {
            if (names.size() <= i)
                names << "word/header" + QByteArray::number(i + 1) + ".xml";
            out << ZipEntry{names[i].constData(), header};
        }
        return out;
    };
    QByteArray noise(3 * 1024 * 1024 / 2, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) ^ (i >> 7));
    DocumentLimits partCap;
    partCap.partBytes = 1024 * 1024;
    const struct
    {
        const char* what;
        QByteArray file;
        DocumentLimits limits;
        DocumentError::Kind kind;
        const char* message;
    } rows[] = {
        {"239 headers just under the entry's grace",
         wordPackage(wordXml, headers(239)),
         {},
         DocumentError::Kind::TooLarge,
         "unpacks to more than 128 MiB"},
        {"100 of them, within the total",
         wordPackage(wordXml, headers(100)),
         {},
         DocumentError::Kind::Refused,
         "more than 50 times its size, as only a compression bomb"},
        {"a part over the part cap", wordPackage(wordXml, {{"word/media/image1.png", noise}}),
         partCap, DocumentError::Kind::TooLarge,
         "holds a part \"word/media/image1.png\" of more than 1 MiB"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        try {
            ZipPackage(row.file, row.limits, QStringLiteral("Word document"));
            ADD_FAILURE() << "opened";
        } catch (const DocumentError& e) {
            EXPECT_EQ(e.kind(), row.kind);
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(row.message)))
                << e.message().toStdString();
        }
    }

    // Replaced parts are held deflated and written back whole.
    QByteArray big;
    for (int i = 0; big.size() < 8 * 1024 * 1024; ++i)
        big += "<w:t>" + QByteArray::number(i * 7919) + "</w:t>";
    ZipPackage zip(makeZip({{"a.xml", "<a/>"}, {"b.png", noise}, {"c.xml", "<c/>"}}),
                   DocumentLimits{}, QStringLiteral("archive"));
    zip.replace(0, big);
    zip.replace(2, QByteArray());
    ZipPackage back(zip.save(), DocumentLimits{}, QStringLiteral("archive"));
    EXPECT_TRUE(back.read("a.xml") == big);
    EXPECT_TRUE(back.read("b.png") == noise);
    EXPECT_TRUE(back.read("c.xml").isEmpty());
}

TEST(DocumentsHostile, PartsGoBatchByBatchUnderOneProgress)
{
    // Each part in a batch of its own, and all in one: the same document
    // comes back, and the progress runs once from nothing to the whole.
    QTemporaryDir scratch;
    EchoEngine echo;
    const QByteArray ns =
        "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
    static const QList<QByteArray> names{"word/header1.xml", "word/header2.xml",
                                         "word/footer1.xml"};
    QList<ZipEntry> parts;
    for (const QByteArray& name : names)
        parts << ZipEntry{name.constData(), "<w:hdr " + ns + "><w:p><w:r><w:t>Part " + name +
                                                "</w:t></w:r></w:p></w:hdr>"};
    const QByteArray file = wordPackage(wordXml, parts);
    QList<QByteArray> texts[2];
    for (const qint64 batchBytes : {qint64(1), qint64(4 * 1024 * 1024)}) {
        SCOPED_TRACE(batchBytes);
        DocumentTranslator::Options options;
        options.scratchParent = scratch.path();
        options.limits.batchBytes = batchBytes;
        DocumentTranslator documents(echo, options);
        DocumentControl control;
        QList<std::pair<qint64, qint64>> seen;
        control.progress = [&](qint64 done, qint64 total) { seen.append({done, total}); };
        const TranslatedDocument t =
            documents.translate(file, QStringLiteral("a.docx"), enEs, control);
        ZipPackage back(t.file, DocumentLimits{}, QString());
        EXPECT_TRUE(back.read("word/document.xml").contains("[en_es] Red house"));
        for (const QByteArray& name : names) {
            EXPECT_TRUE(back.read(name).contains("[en_es] Part " + name)) << name.constData();
            texts[batchBytes == 1 ? 0 : 1] << back.read(name);
        }
        ASSERT_FALSE(seen.isEmpty());
        for (qsizetype k = 1; k < seen.size(); ++k) {
            EXPECT_GE(seen[k].first, seen[k - 1].first) << k;
            EXPECT_EQ(seen[k].second, seen[0].second) << k;
        }
        EXPECT_EQ(seen.last().first, seen.last().second);
    }
    EXPECT_EQ(texts[0], texts[1]);
}

} // namespace
