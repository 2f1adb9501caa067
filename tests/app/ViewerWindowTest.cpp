// The Viewer button on the real window: the two working files, Glyphwell
// started from the program folder, and the cases that touch nothing.
#include "ServiceProcess.h"
#include "WindowFixture.h"

#include "platform/AppTitle.h"
#include "web/ViewerPage.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace {

class ViewerWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        qputenv("TARQUELL_WORK_DIR", work.path().toUtf8());
    }
    void TearDown() override { qunsetenv("TARQUELL_WORK_DIR"); }

    QByteArray read(const QString& name) const
    {
        QFile f(QDir(work.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    QStringList workFiles() const
    {
        return QDir(work.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    }
    static QString glyphwell()
    {
        return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Glyphwell"));
    }
    static void pick(QComboBox* box, const char* language)
    {
        const int index = box->findText(QString::fromLatin1(language));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void setDestination(const QString& text)
    {
        ctl<QTextEdit>("Memo2")->setPlainText(text);
        ctl<QTextEdit>("Memo2")->document()->setModified(true);
    }
    void pressViewer() { ctl<QToolButton>("HelpBtn")->click(); }

    QTemporaryDir work;
};

} // namespace

TEST_F(ViewerWindowTest, JapaneseTranslationWrittenAndGlyphwellStarted)
{
    ServiceProcess service({QStringLiteral("--engine"), QStringLiteral("echo")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    writeIni("[Services]\nServer 1=" +
             service.url(QStringLiteral("/sd/BabelFishService.wsdl")).toUtf8() + "\n");
    open();
    pick(ctl<QComboBox>("CB1"), "English");
    pick(ctl<QComboBox>("CB2"), "Japanese");
    ctl<QTextEdit>("Memo1")->clear();
    ctl<QTextEdit>("Memo1")->insertPlainText(QStringLiteral("こんにちは <b>世界</b> & Привет"));
    ctl<QToolButton>("TransBtn")->click();
    ASSERT_EQ(ctl<QTextEdit>("Memo2")->toPlainText(),
              QStringLiteral("[en_ja] こんにちは <b>世界</b> & Привет"));

    pressViewer();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(read(QStringLiteral("Result.txt")),
              QStringLiteral("[en_ja] こんにちは <b>世界</b> & Привет").toUtf8());
    const QByteArray htm = read(QStringLiteral("Result.htm"));
    const QByteArray header(
        "<META content=\"text/html; charset=EUC-JP\" http-equiv=Content-type>\r\n");
    ASSERT_TRUE(htm.startsWith(header));
    // EUC-JP holds kana, Han and Cyrillic alike: no references needed.
    EXPECT_EQ(QStringDecoder("EUC-JP").decode(htm.mid(header.size())),
              QStringLiteral("[en_ja] こんにちは &lt;b&gt;世界&lt;/b&gt; &amp; Привет"));
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(launcher.started[0].program, glyphwell());
    EXPECT_TRUE(launcher.started[0].arguments.isEmpty());

    // A second use overwrites both files, here with a Russian page.
    pick(ctl<QComboBox>("CB2"), "Russian");
    setDestination(QStringLiteral("Да\nнет"));
    pressViewer();
    EXPECT_EQ(read(QStringLiteral("Result.txt")), QStringLiteral("Да\r\nнет").toUtf8());
    EXPECT_EQ(read(QStringLiteral("Result.htm")),
              "<META content=\"text/html; charset=iso-8859-5\" http-equiv=Content-type>\r\n"
              "\xb4\xd0<br>\r\n\xdd\xd5\xe2");
    EXPECT_EQ(launcher.started.size(), 2);
    EXPECT_EQ(workFiles(),
              (QStringList{QStringLiteral("Result.htm"), QStringLiteral("Result.txt")}));
}

TEST_F(ViewerWindowTest, BrowserModeAndUnmodifiedPaneTouchNothing)
{
    TfrmMain& w = open();
    ctl<QTextEdit>("Memo2")->setPlainText(QStringLiteral("not a change of the user's"));
    ctl<QTextEdit>("Memo2")->document()->setModified(false);
    pressViewer();
    setDestination(QStringLiteral("Привет"));
    w.PaneMode = 1;
    pressViewer();
    EXPECT_TRUE(workFiles().isEmpty());
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // An empty but modified pane gives a page of the header alone.
    w.PaneMode = 0;
    setDestination(QString());
    pressViewer();
    EXPECT_EQ(read(QStringLiteral("Result.txt")), QByteArray());
    EXPECT_EQ(read(QStringLiteral("Result.htm")), pageHeader(PageCharset(w.Settings.DstLangCode)));
    EXPECT_EQ(launcher.started.size(), 1);
}

TEST_F(ViewerWindowTest, UnwritableFileShowsTheErrorBoxAndStartsNothing)
{
    // Running as root makes a read-only folder writable, so the failures are
    // made in ways that hold for every user: a folder below a plain file,
    // and a page whose name is taken by a folder.
    QFile plain(QDir(work.path()).filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString belowFile = plain.fileName() + QStringLiteral("/work");
    const QString pageIsFolder = QDir(work.path()).filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkpath(pageIsFolder + QStringLiteral("/Result.htm")));
    const struct
    {
        QString folder;
        const char* failing;
    } rows[] = {{belowFile, "Result.txt"}, {pageIsFolder, "Result.htm"}};

    open();
    for (const auto& r : rows) {
        qputenv("TARQUELL_WORK_DIR", r.folder.toUtf8());
        dialogs.shown.clear();
        setDestination(QStringLiteral("Привет"));
        pressViewer();
        ASSERT_EQ(dialogs.shown.size(), 1) << r.failing;
        EXPECT_EQ(dialogs.shown[0].caption, AppTitle::get());
        EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
        EXPECT_TRUE(dialogs.shown[0].text.startsWith(
            QStringLiteral("Cannot create file \"%1\". ")
                .arg(QDir(r.folder).filePath(QLatin1String(r.failing)))))
            << dialogs.shown[0].text.toStdString();
        EXPECT_TRUE(launcher.started.isEmpty()) << r.failing;
    }
}
