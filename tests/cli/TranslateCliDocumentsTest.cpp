// tarquell-translate on document files: each translated with its layout by
// the document service (tarquell-service with Apertium, run by the test)
// into a file beside it, in turn, a broken one not stopping the others.
#include "ServiceProcess.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

class TranslateCliDocuments : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        made = std::make_unique<QTemporaryDir>();
        service = std::make_unique<ServiceProcess>(QStringList{});
        const QString soffice = QStandardPaths::findExecutable(s("soffice"));
        if (soffice.isEmpty())
            return;
        QFile html(made->filePath(s("report.html")));
        html.open(QIODevice::WriteOnly);
        html.write("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                   "<h1>The annual report</h1><p><b>Yesterday</b> the children played in the "
                   "garden.</p><table border=\"1\"><tr><td>Red house</td><td>Big dog</td></tr>"
                   "</table></body></html>\n");
        html.close();
        QProcess office;
        office.start(soffice,
                     {s("-env:UserInstallation=") +
                          QUrl::fromLocalFile(made->filePath(s("profile"))).toString(),
                      s("--headless"), s("--writer"), s("--convert-to"), s("docx:MS Word 2007 XML"),
                      s("--outdir"), made->path(), html.fileName()});
        if (!office.waitForFinished(180000))
            office.kill();
    }
    static void TearDownTestSuite()
    {
        service.reset();
        made.reset();
    }

    void SetUp() override
    {
        if (!QFile::exists(s("/usr/share/apertium/modes/eng-spa.mode")))
            GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
        ASSERT_TRUE(service->isRunning()) << service->error().toStdString();
        docx = readAll(made->filePath(s("report.docx")));
        ASSERT_FALSE(docx.isEmpty()) << "LibreOffice did not make the document (scripts/deps.sh)";
        writeSettings(s("[Services]\nServer 1=%1\nDocument Service=%2\n")
                          .arg(service->url(s("/sd/BabelFishService.wsdl")), service->url(s("/"))));
    }

    void writeSettings(const QString& text)
    {
        QFile file(config.filePath(s("TarquellTranslator.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(work.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    // The text of a Word document's body.
    static QString wordText(const QString& path)
    {
        QProcess unzip;
        unzip.start(s("unzip"), {s("-p"), path, s("word/document.xml")});
        unzip.waitForFinished(30000);
        QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
        xml.replace(QRegularExpression(s("<[^>]*>")), s(" "));
        return xml.simplified();
    }

    // The program with this test's settings; through `script` standard
    // error is a terminal.
    Outcome run(const QStringList& arguments, bool terminal = false)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(s("XDG_CONFIG_HOME"), config.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(work.path());
        const QString program = s(TARQUELL_BUILD_DIR "/cli/tarquell-translate");
        if (terminal) {
            QStringList quoted{program};
            for (const QString& a : arguments)
                quoted << s("'") + a + s("'");
            p.start(s("script"), {s("-qefc"), quoted.join(QLatin1Char(' ')), s("/dev/null")});
        } else {
            p.start(program, arguments);
        }
        Outcome r;
        p.closeWriteChannel();
        if (!p.waitForFinished(180000)) {
            ADD_FAILURE() << "did not finish";
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QTemporaryDir config;
    QTemporaryDir work;
    QByteArray docx;
    static std::unique_ptr<QTemporaryDir> made;
    static std::unique_ptr<ServiceProcess> service;
};
std::unique_ptr<QTemporaryDir> TranslateCliDocuments::made;
std::unique_ptr<ServiceProcess> TranslateCliDocuments::service;
} // namespace

// Two documents, the first broken: the second is still translated beside
// itself, the text between them goes to standard output as before, and the
// exit status tells of the failure.
TEST_F(TranslateCliDocuments, TranslatesInTurnAndGoesOnAfterABrokenFile)
{
    const QString broken = writeFile(s("broken.docx"), "this is no Word document");
    const QString notes = writeFile(s("notes.txt"), "Good morning\n");
    const QString report = writeFile(s("report.docx"), docx);
    const Outcome r =
        run({s("-f"), s("en"), s("-t"), s("es"), s("broken.docx"), notes, s("report.docx")});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.err, s("tarquell-translate: Cannot translate broken.docx: The file is not a valid "
                       "Word document: it is not a zip archive\n"));
    EXPECT_EQ(r.out, s("Buenos días\n"));
    EXPECT_FALSE(QFile::exists(work.filePath(s("broken.es.docx"))));
    const QString text = wordText(work.filePath(s("report.es.docx")));
    EXPECT_TRUE(text.contains(s("El informe anual"))) << text.toStdString();
    EXPECT_TRUE(text.contains(s("Casa roja"))) << text.toStdString();
    // The originals are as they were.
    EXPECT_EQ(readAll(report), docx);
    EXPECT_EQ(readAll(broken), "this is no Word document");

    // All of them done: status 0, and nothing said without -v.
    const Outcome again = run({s("-f"), s("en"), s("-t"), s("pt"), report});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(again.err, QString());
    EXPECT_TRUE(wordText(work.filePath(s("report.pt.docx"))).contains(s("O relatório anual")))
        << wordText(work.filePath(s("report.pt.docx"))).toStdString();
}

// -o names the output; -f auto finds the language (said with -v); what
// cannot be done is refused with its reason, the original untouched.
TEST_F(TranslateCliDocuments, NamesTheOutputAndRefusesWhatItCannotDo)
{
    const QString report = writeFile(s("report.docx"), docx);
    QDir(work.path()).mkdir(s("out"));
    Outcome r = run({s("-v"), s("-f"), s("auto"), s("-t"), s("es"), s("-o"), s("out/informe.docx"),
                     s("report.docx")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(s("Detected language of report.docx: English (en)\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(s("Translated report.docx into out/informe.docx\n")))
        << r.err.toStdString();
    EXPECT_TRUE(wordText(work.filePath(s("out/informe.docx"))).contains(s("El informe anual")));

    const struct
    {
        QStringList arguments;
        int exitCode;
        const char* err;
    } cases[] = {
        {{s("-o"), s("x.docx"), s("report.docx"), s("report.docx")},
         2,
         "tarquell-translate: -o names the output of one input; give one FILE\n"},
        {{s("-o"), s("./report.docx"), s("report.docx")},
         1,
         "tarquell-translate: Cannot translate report.docx: the translation would be written "
         "over the original; name another output with -o\n"},
        {{s("missing.docx")},
         2,
         "tarquell-translate: cannot read missing.docx: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        r = run(QStringList{s("-f"), s("en"), s("-t"), s("es")} + c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.err;
        EXPECT_EQ(r.err, s(c.err));
    }
    writeFile(s("scan.pdf"), "%PDF-1.4");
    r = run({s("-f"), s("en"), s("-t"), s("es"), s("scan.pdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(s("tarquell-translate: Cannot translate scan.pdf: PDF files "
                                   "cannot be translated with their layout")))
        << r.err.toStdString();
    EXPECT_EQ(readAll(report), docx);
}

// On a terminal the document's progress shows on one line, written over.
TEST_F(TranslateCliDocuments, ShowsProgressOnATerminal)
{
    if (QStandardPaths::findExecutable(s("script")).isEmpty())
        GTEST_SKIP() << "script (bsdutils) is not installed";
    writeFile(s("report.docx"), docx);
    const Outcome r = run({s("-f"), s("en"), s("-t"), s("es"), s("report.docx")}, true);
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    // script puts what the terminal shows on its standard output.
    EXPECT_TRUE(r.out.contains(s("\rreport.docx: translating ... 0%"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(s("Translated report.docx into report.es.docx")))
        << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(work.filePath(s("report.es.docx"))));
}
