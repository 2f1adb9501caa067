// Documents written by a program nobody here wrote: LibreOffice makes an
// .odt, a .docx, a .doc and an .rtf from one HTML document, and each opens
// through the real window and the real Docshift with its text and formats.
// The other way round, LibreOffice reads our RTF writer's output.
//
// Every LibreOffice start costs seconds, so the documents are made once for
// the whole suite, and this executable runs as one test process.
#include "WindowFixture.h"

#include "app/DocumentController.h"
#include "editor/RtfWriter.h"
#include "platform/AppTitle.h"
#include "platform/QtLauncher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>

namespace {

QTemporaryDir* suiteDir = nullptr;
QString soffice;

QString inSuite(const QString& name)
{
    return suiteDir->filePath(name);
}

// The profile Docshift uses under this XDG_CACHE_HOME: the suite's own
// soffice runs share it, so LibreOffice makes a fresh profile only once.
QString profile()
{
    return inSuite(QStringLiteral("cache/TarquellTranslator/docshift-libreoffice"));
}

bool office(const QStringList& args, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(soffice, QStringList{QStringLiteral("-env:UserInstallation=") +
                                     QUrl::fromLocalFile(profile()).toString(),
                                 QStringLiteral("--headless"), QStringLiteral("--norestore")} +
                         args);
    const bool ok = p.waitForFinished(240000) && p.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return ok;
}

const QString Words =
    QStringLiteral("Plain bold italic red caf\u00e9 \u041f\u0440\u0438\u0432\u0435\u0442");

class OfficeDocuments : public WindowTest
{
public:
    static void SetUpTestSuite()
    {
        soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            return;
        suiteDir = new QTemporaryDir;
        qputenv("XDG_CACHE_HOME", inSuite(QStringLiteral("cache")).toUtf8());
        QDir().mkpath(inSuite(QStringLiteral("made")));
        QFile html(inSuite(QStringLiteral("source.html")));
        html.open(QIODevice::WriteOnly);
        html.write(QStringLiteral(
                       "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>"
                       "<p>Plain <b>bold</b> <i>italic</i> <span style=\"color:#ff0000\">red</span>"
                       " caf\u00e9 \u041f\u0440\u0438\u0432\u0435\u0442</p>"
                       "<p align=\"center\">centred</p></body></html>")
                       .toUtf8());
        html.close();
        // One format per LibreOffice run; --writer imports HTML as a text
        // document (a web document has no Word export).
        for (const char* format : {"odt", "docx", "doc:MS Word 97", "rtf"})
            office({QStringLiteral("--writer"), QStringLiteral("--convert-to"),
                    QString::fromLatin1(format), QStringLiteral("--outdir"),
                    inSuite(QStringLiteral("made")), html.fileName()});
    }
    static void TearDownTestSuite()
    {
        delete suiteDir;
        suiteDir = nullptr;
        qunsetenv("XDG_CACHE_HOME");
    }

protected:
    void SetUp() override
    {
        if (soffice.isEmpty())
            GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) is not installed";
        qputenv("TARQUELL_WORK_DIR", dir.path().toUtf8());
        AppTitle::set(AppTitle::StartTitle);
        locale = std::make_unique<LocaleRegistry>([](const QString&) { return QString(); });
        TfrmMain::Environment env;
        env.dialogs = &dialogs;
        env.launcher = &real;
        env.settingsPath = iniPath();
        env.locale = locale.get();
        window = std::make_unique<TfrmMain>(env);
        window->findChild<DocumentController*>(QStringLiteral("DocumentController"))
            ->setConverter(QStringLiteral(TARQUELL_BUILD_DIR "/app/Docshift"));
    }
    void TearDown() override { qunsetenv("TARQUELL_WORK_DIR"); }

    QtLauncher real;
};

struct Made
{
    const char* file;
    int filterIndex;
};

class OpensWhatLibreOfficeWrote : public OfficeDocuments, public ::testing::WithParamInterface<Made>
{
};

TEST_P(OpensWhatLibreOfficeWrote, WithTextAndFormats)
{
    const QString path = inSuite(QStringLiteral("made/") + QString::fromLatin1(GetParam().file));
    ASSERT_TRUE(QFile::exists(path)) << "LibreOffice did not write " << path.toStdString();
    dialogs.fileAnswers.push_back(FileChoice{path, GetParam().filterIndex});
    ctl<QToolButton>("OpenBtn")->click();
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown[0].text.toStdString();

    QTextDocument* doc = ctl<QTextEdit>("Memo1")->document();
    const QString text = doc->toPlainText();
    EXPECT_TRUE(text.contains(Words)) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("centred\n\n\n"))) << text.toStdString();
    auto format = [&](const char* word) {
        QTextCursor c = doc->find(QString::fromLatin1(word));
        EXPECT_FALSE(c.isNull()) << word;
        return c.charFormat();
    };
    EXPECT_EQ(format("bold").fontWeight(), QFont::Bold);
    EXPECT_LT(format("Plain").fontWeight(), QFont::DemiBold);
    EXPECT_TRUE(format("italic").fontItalic());
    EXPECT_FALSE(format("bold").fontItalic());
    EXPECT_EQ(format("red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(doc->find(QStringLiteral("centred")).block().blockFormat().alignment(),
              Qt::AlignHCenter);
    EXPECT_NE(doc->find(Words).block().blockFormat().alignment(), Qt::AlignHCenter);
}

INSTANTIATE_TEST_SUITE_P(Formats, OpensWhatLibreOfficeWrote,
                         ::testing::Values(Made{"source.rtf", 2}, Made{"source.odt", 3},
                                           Made{"source.docx", 3}, Made{"source.doc", 3}),
                         [](const auto& info) { return std::string(info.param.file).substr(7); });

TEST_F(OfficeDocuments, LibreOfficeReadsOurRtfBack)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setForeground(QColor(0, 128, 0));
    c.insertText(QStringLiteral("Bold {braces} \\ caf\u00e9 na\u00efve "), bold);
    c.insertText(QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442 \u65e5\u672c\u8a9e "
                                "\u20ac\u2014"),
                 QTextCharFormat());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.insertBlock(centred);
    c.insertText(QStringLiteral("second\tline"));
    const QString rtf = dir.filePath(QStringLiteral("ours.rtf"));
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Rtf::write(doc));
    f.close();

    QString said;
    ASSERT_TRUE(office({QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                        QStringLiteral("--outdir"), dir.path(), rtf},
                       &said))
        << said.toStdString();
    QFile txt(dir.filePath(QStringLiteral("ours.txt")));
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly)) << said.toStdString();
    QString back = QString::fromUtf8(txt.readAll());
    if (back.startsWith(QChar(0xFEFF)))
        back.remove(0, 1);
    back.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(back.trimmed(), doc.toPlainText());
}

} // namespace
