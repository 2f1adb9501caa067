// Documents on the real window: open (directly and through the conversion
// program), save, print and page set-up, with the dialog seam answering.
#include "WindowFixture.h"

#include "app/DocumentController.h"
#include "editor/DocumentFilters.h"
#include "platform/AppTitle.h"
#include "platform/QtLauncher.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Runs once the command in progress waits for something.
void whenWaiting(std::function<void()> fn)
{
    QTimer::singleShot(0, qApp, std::move(fn));
}

class DocumentWindow : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        qputenv("TARQUELL_WORK_DIR", work.path().toUtf8());
        open();
        documents = window->findChild<DocumentController*>(QStringLiteral("DocumentController"));
        ASSERT_NE(documents, nullptr);
        // A stand-in for Docshift that the recording launcher never runs.
        fakeConverter = dir.filePath(QStringLiteral("Docshift"));
        writeFile(fakeConverter, "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(fakeConverter, QFile::ReadOwner | QFile::ExeOwner);
        documents->setConverter(fakeConverter);
        memo1 = ctl<QTextEdit>("Memo1");
        memo2 = ctl<QTextEdit>("Memo2");
    }
    void TearDown() override { qunsetenv("TARQUELL_WORK_DIR"); }

    QString file(const QString& name) const { return dir.filePath(name); }
    QString working(const char* name) const { return work.filePath(QString::fromLatin1(name)); }
    void openWith(const QString& path, int filterIndex)
    {
        dialogs.fileAnswers.push_back(FileChoice{path, filterIndex});
        ctl<QToolButton>("OpenBtn")->click();
    }
    QStringList errors() const
    {
        QStringList out;
        for (const auto& s : dialogs.shown)
            out.append(s.text);
        return out;
    }
    // The converter's side of the exchange.
    void convertsTo(const QByteArray& rtf)
    {
        whenWaiting([this, rtf] {
            statusWhileWaiting = ctl<QLabel>("SimplePanel")->text();
            writeFile(working("Result.rtf"), rtf);
            writeFile(working("Result.000"), "");
        });
    }

    QTemporaryDir work;
    DocumentController* documents = nullptr;
    QString fakeConverter;
    QTextEdit* memo1 = nullptr;
    QTextEdit* memo2 = nullptr;
    QString statusWhileWaiting;
};

TEST_F(DocumentWindow, OpensTextAndRtfDirectlyUnderEitherFilter)
{
    writeFile(file(QStringLiteral("a.txt")), "caf\xE9 line\r\nsecond");
    writeFile(file(QStringLiteral("b.rtf")), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\b bold} "
                                             "plain\\par\\qc centred\\par}");
    memo1->setPlainText(QStringLiteral("old"));

    // A .txt under the "Rich Text files" filter still loads, as text.
    openWith(file(QStringLiteral("a.txt")), 2);
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("caf\u00e9 line\nsecond\n\n\n"));
    EXPECT_TRUE(memo1->document()->isModified());
    EXPECT_EQ(window->focusWidget(), memo1);

    // And an RTF under "Plain Text files" keeps its formatting.
    openWith(file(QStringLiteral("b.rtf")), 1);
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("bold plain\ncentred\n\n\n"));
    EXPECT_EQ(memo1->document()->begin().begin().fragment().charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(memo1->document()->findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);

    ASSERT_EQ(dialogs.filesAsked.size(), 2);
    EXPECT_FALSE(dialogs.filesAsked[0].save);
    EXPECT_EQ(dialogs.filesAsked[0].filters,
              DocumentFilters::toQtFilters(QString::fromLatin1(DocumentFilters::OpenFilter)));
    EXPECT_EQ(dialogs.filesAsked[0].filterIndex, 1);
    EXPECT_EQ(dialogs.filesAsked[1].filterIndex, 2); // the filter last left selected
    EXPECT_TRUE(dialogs.shown.isEmpty()) << errors().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(launcher.started.isEmpty());
}

TEST_F(DocumentWindow, CancelledOrFailedOpenLeavesThePaneAsItWas)
{
    memo1->setPlainText(QStringLiteral("keep me"));
    // Stale exchange files go before the dialog shows, even when it is cancelled.
    for (const char* name : {"Result.rtf", "Result.000", "Result.err"})
        writeFile(working(name), "stale");
    ctl<QAction>("Opensourcefile1")->trigger();
    EXPECT_EQ(dialogs.filesAsked.size(), 1);
    for (const char* name : {"Result.rtf", "Result.000", "Result.err"})
        EXPECT_FALSE(QFile::exists(working(name))) << name;
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("keep me"));

    const QString missing = file(QStringLiteral("missing.txt"));
    openWith(missing, 1);
    writeFile(file(QStringLiteral("binary.txt")), QByteArray("\x7f"
                                                             "ELF\0\0\1",
                                                             7));
    openWith(file(QStringLiteral("binary.txt")), 1);
    EXPECT_EQ(errors(), (QStringList{QStringLiteral("Cannot open file ") + missing + u'.',
                                     QStringLiteral("Failed to Load Stream.")}));
    EXPECT_EQ(dialogs.shown[0].caption, AppTitle::get());
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("keep me"));
}

TEST_F(DocumentWindow, AllFilesRoutesByExtension)
{
    writeFile(file(QStringLiteral("notes.text")), "notes");
    openWith(file(QStringLiteral("notes.text")), 5);
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("notes\n\n\n"));
    EXPECT_TRUE(launcher.started.isEmpty());

    convertsTo("{\\rtf1 from word}");
    openWith(file(QStringLiteral("report.DOCX")), 5);
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("from word\n\n\n"));
}

TEST_F(DocumentWindow, ConvertsThroughDocshiftAndCleansUp)
{
    const QString doc = file(QStringLiteral("letter.doc"));
    convertsTo("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}{\\cf1 Red} text\\par}");
    openWith(doc, 3);
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(launcher.started[0].program, fakeConverter);
    EXPECT_EQ(launcher.started[0].arguments, QStringList{doc});
    EXPECT_EQ(statusWhileWaiting, QStringLiteral("Converting letter.doc ..."));
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("Red text\n\n\n"));
    EXPECT_EQ(memo1->document()->begin().begin().fragment().charFormat().foreground().color(),
              QColor(Qt::red));
    for (const char* name : {"Result.rtf", "Result.000"})
        EXPECT_FALSE(QFile::exists(working(name))) << name;
    EXPECT_TRUE(dialogs.shown.isEmpty()) << errors().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(ctl<QLabel>("SimplePanel")->text(), QStringLiteral("Ready."));
}

TEST_F(DocumentWindow, ConversionFailuresEndTheWaitWithAReason)
{
    memo1->setPlainText(QStringLiteral("keep me"));
    const QString doc = file(QStringLiteral("a.htm"));
    const QString head = QStringLiteral("Cannot convert ") + doc + QStringLiteral(": ");

    // The program writes its reason, then the marker.
    whenWaiting([this] {
        writeFile(working("Result.err"), "LibreOffice could not convert the document");
        writeFile(working("Result.000"), "");
    });
    openWith(doc, 4);
    // It ends without a marker.
    whenWaiting([this] {
        ASSERT_EQ(launcher.watchers.size(), 2);
        launcher.watchers[1]();
    });
    openWith(doc, 4);
    // It never answers: a small bound ends the wait.
    documents->setConversionTimeout(300);
    openWith(doc, 4);
    ASSERT_EQ(launcher.watchers.size(), 3);
    launcher.watchers[2](); // it ends at last
    // It cannot start, or is not there at all.
    launcher.succeeds = false;
    openWith(doc, 4);
    documents->setConverter(file(QStringLiteral("none/Docshift")));
    openWith(doc, 4);

    EXPECT_EQ(
        errors(),
        (QStringList{head + QStringLiteral("LibreOffice could not convert the document."),
                     head + QStringLiteral("the conversion program ended without a result."),
                     head + QStringLiteral("the conversion did not finish within 0.3 seconds."),
                     head + QStringLiteral("the conversion program ") + fakeConverter +
                         QStringLiteral(" could not be started."),
                     head + QStringLiteral("the conversion program ") +
                         file(QStringLiteral("none/Docshift")) + QStringLiteral(" is missing.")}));
    // Nothing was lost: the source pane still holds what it held.
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("keep me"));
    EXPECT_FALSE(QFile::exists(working("Result.err")));
}

TEST_F(DocumentWindow, EscCancelsTheWaitAndTheNextConversionWaitsForTheProgram)
{
    const QString doc = file(QStringLiteral("a.doc"));
    whenWaiting([this] { QTest::keyClick(memo1, Qt::Key_Escape); });
    openWith(doc, 3);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(ctl<QLabel>("SimplePanel")->text(), QStringLiteral("Conversion cancelled."));

    // The cancelled program still runs: its marker must not end a new wait.
    openWith(doc, 3);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("Cannot convert ") + doc +
                  QStringLiteral(": the conversion cancelled before is still running."));
    launcher.watchers[0]();
    convertsTo("{\\rtf1 second}");
    openWith(doc, 3);
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("second\n\n\n"));
}

TEST_F(DocumentWindow, SaveWritesTextOrRtfAndNeverDestroysTheOldFile)
{
    // Unmodified: nothing is shown.
    ctl<QToolButton>("SaveBtn")->click();
    EXPECT_TRUE(dialogs.filesAsked.isEmpty());

    QTextCursor c(memo2->document());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Привет"), bold);
    c.insertBlock();
    c.insertText(QStringLiteral("caf\u00e9"), QTextCharFormat());
    ASSERT_TRUE(memo2->document()->isModified());

    const QString txt = file(QStringLiteral("out.txt"));
    dialogs.fileAnswers.push_back(FileChoice{txt, 2});
    ctl<QAction>("Open1")->trigger();
    EXPECT_EQ(readFile(txt),
              QByteArray("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\ncaf\xC3\xA9"));

    // A name ending in ".rtf" gets real RTF, formats and all.
    const QString rtf = file(QStringLiteral("out.rtf"));
    dialogs.fileAnswers.push_back(FileChoice{rtf, 1});
    ctl<QToolButton>("SaveBtn")->click();
    const QByteArray written = readFile(rtf);
    EXPECT_TRUE(written.startsWith("{\\rtf1")) << written.toStdString();
    EXPECT_TRUE(written.contains("\\b \\u1055?")) << written.toStdString();

    // An unwritable place: an error, and the file already there is intact.
    const QString blocked = file(QStringLiteral("no-such-folder/out.txt"));
    dialogs.fileAnswers.push_back(FileChoice{blocked, 1});
    ctl<QToolButton>("SaveBtn")->click();
    EXPECT_EQ(errors(), QStringList{QStringLiteral("Cannot create file ") + blocked + u'.'});

    ASSERT_EQ(dialogs.filesAsked.size(), 3);
    const auto& asked = dialogs.filesAsked;
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].filters,
              DocumentFilters::toQtFilters(QString::fromLatin1(DocumentFilters::SaveFilter)));
    EXPECT_EQ(asked[0].defaultSuffix, QStringLiteral("TXT"));
    EXPECT_EQ(asked[0].fileName, QString());
    EXPECT_EQ(asked[1].fileName, txt); // the last name is offered again
    EXPECT_EQ(asked[2].fileName, rtf);
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("Привет\ncafé"));
}

class DocumentPrinting : public DocumentWindow
{
protected:
    void SetUp() override
    {
        DocumentWindow::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
        pdf = file(QStringLiteral("out.pdf"));
        dialogs.printToPdf = pdf;
    }
    QString tool(const char* name, const QStringList& args)
    {
        QProcess p;
        p.start(QString::fromLatin1(name), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    QString pdfInfo(const char* key)
    {
        for (const QString& line : tool("pdfinfo", {pdf}).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String(key) + u':'))
                return line.mid(int(strlen(key)) + 1).trimmed();
        return {};
    }
    QString pdf;
};

TEST_F(DocumentPrinting, PrintsTheWholeDestinationPaneAsOneJob)
{
    memo1->setPlainText(QStringLiteral("SOURCE PANE"));
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines.append(QStringLiteral("Line %1 of the translation").arg(i));
    memo2->setPlainText(lines.join(u'\n'));

    dialogs.printAnswers = {false};
    ctl<QAction>("Print1")->trigger();
    EXPECT_FALSE(QFile::exists(pdf));

    dialogs.printAnswers = {true};
    ctl<QAction>("Print1")->trigger();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_GE(pdfInfo("Pages").toInt(), 2);
    EXPECT_EQ(pdfInfo("Title"), QStringLiteral("Document Printing Session"));
    const QString text = tool("pdftotext", {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Line 1 of the translation")));
    EXPECT_TRUE(text.contains(QStringLiteral("Line 150 of the translation")));
    EXPECT_FALSE(text.contains(QStringLiteral("SOURCE PANE")));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << errors().join(QLatin1Char('|')).toStdString();
}

TEST_F(DocumentPrinting, PageSetupAppliesToLaterPrinting)
{
    memo2->setPlainText(QStringLiteral("landscape"));
    dialogs.pageSetupAnswers.push_back([](QPrinter& p) {
        p.setPageOrientation(QPageLayout::Landscape);
        return true;
    });
    ctl<QAction>("PrinterSetup1")->trigger();
    EXPECT_EQ(dialogs.pageSetupDialogs, 1);
    dialogs.printAnswers = {true};
    ctl<QAction>("Print1")->trigger();
    const QStringList size = pdfInfo("Page size").split(QLatin1Char(' '));
    ASSERT_GE(size.size(), 3);
    EXPECT_GT(size[0].toDouble(), size[2].toDouble()) << pdfInfo("Page size").toStdString();
}

TEST_F(DocumentPrinting, ToolbarPrintInBrowserModeOnlyShowsTheHint)
{
    memo2->setPlainText(QStringLiteral("text"));
    window->PaneMode = 1;
    ctl<QToolButton>("SpeedButton2")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].caption, AppTitle::get());
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("Right-click your mouse, and then select 'Print' on the quick menu."));
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::None);
    EXPECT_EQ(dialogs.printDialogs, 0);
    // The menu command still prints; in text mode the button does too.
    ctl<QAction>("Print1")->trigger();
    window->PaneMode = 0;
    ctl<QToolButton>("SpeedButton2")->click();
    EXPECT_EQ(dialogs.printDialogs, 2);
}

TEST_F(DocumentPrinting, PrintingErrorsReachTheErrorBox)
{
    memo2->setPlainText(QStringLiteral("text"));
    dialogs.printToPdf = file(QStringLiteral("no-such-folder/out.pdf"));
    dialogs.printAnswers = {true};
    ctl<QAction>("Print1")->trigger();
    EXPECT_EQ(errors(), QStringList{QStringLiteral("Printing failed: cannot write ") +
                                    dialogs.printToPdf + u'.'});
}

// --- the real Docshift, for what needs no LibreOffice ---

class RealDocshift : public DocumentWindow
{
protected:
    void SetUp() override
    {
        DocumentWindow::SetUp();
        // The window starts programs for real here.
        TfrmMain::Environment env;
        window.reset();
        env.dialogs = &dialogs;
        env.launcher = &real;
        env.settingsPath = iniPath();
        env.locale = locale.get();
        window = std::make_unique<TfrmMain>(env);
        documents = window->findChild<DocumentController*>(QStringLiteral("DocumentController"));
        documents->setConverter(QStringLiteral(TARQUELL_BUILD_DIR "/app/Docshift"));
        memo1 = ctl<QTextEdit>("Memo1");
    }
    QtLauncher real;
};

TEST_F(RealDocshift, HtmlKeepsItsFormatting)
{
    const QString html = file(QStringLiteral("page.htm"));
    writeFile(html, "<html><head><meta charset=\"utf-8\"></head><body><p>Hello <b>bold</b> "
                    "<span style=\"color:#ff0000\">red</span> \xD0\x9C\xD0\xB8\xD1\x80</p>"
                    "<p align=\"center\">centred</p></body></html>");
    openWith(html, 4);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << errors().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("Hello bold red Мир\ncentred\n\n\n"));
    QTextCursor c = memo1->document()->find(QStringLiteral("bold"));
    EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
    c = memo1->document()->find(QStringLiteral("red"));
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(memo1->document()->findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);
    for (const char* name : {"Result.rtf", "Result.000", "Result.err"})
        EXPECT_FALSE(QFile::exists(working(name))) << name;
}

TEST_F(RealDocshift, ItsReasonReachesTheWindow)
{
    memo1->setPlainText(QStringLiteral("keep"));
    const QString gone = file(QStringLiteral("gone.htm"));
    openWith(gone, 4);
    EXPECT_EQ(errors(), QStringList{QStringLiteral("Cannot convert ") + gone +
                                    QStringLiteral(": Cannot open file ") + gone + u'.'});
    // A program that ends without writing anything.
    documents->setConverter(fakeConverter);
    openWith(gone, 4);
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("Cannot convert ") + gone +
                                         QStringLiteral(": the conversion program ended without "
                                                        "a result."));
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("keep"));
}

// A conversion given up with Esc that finishes while the next open dialog
// is up must not be read as the next one's result.
TEST_F(RealDocshift, ALateFinishOfAGivenUpConversionIsNotTheNextResult)
{
    // A slow conversion program: converts its file once the test releases
    // it, writing the file's name as the document.
    const QString slow = file(QStringLiteral("SlowDocshift"));
    writeFile(slow,
              "#!/bin/sh\n"
              "while [ ! -e \"$1.release\" ]; do sleep 0.02; done\n"
              "printf '{\\\\rtf1 %s}' \"$(basename \"$1\")\" > \"$TARQUELL_WORK_DIR/Result.rtf\"\n"
              ": > \"$TARQUELL_WORK_DIR/Result.000\"\n");
    QFile::setPermissions(slow, QFile::ReadOwner | QFile::ExeOwner);
    documents->setConverter(slow);
    const QString first = file(QStringLiteral("first.doc"));
    const QString second = file(QStringLiteral("second.doc"));
    auto release = [](const QString& doc) { writeFile(doc + QStringLiteral(".release"), ""); };

    whenWaiting([this] { QTest::keyClick(memo1, Qt::Key_Escape); });
    openWith(first, 3);
    ASSERT_EQ(ctl<QLabel>("SimplePanel")->text(), QStringLiteral("Conversion cancelled."));
    ASSERT_EQ(documents->abandonedConversions(), 1);

    // The first one finishes while the dialog of the second open is up.
    dialogs.whileOpenDialogShown = [&] {
        release(first);
        ASSERT_TRUE(QTest::qWaitFor([&] { return documents->abandonedConversions() == 0; }, 20000));
        EXPECT_TRUE(QFile::exists(working("Result.000")));
    };
    whenWaiting([&] { release(second); });
    openWith(second, 3);
    dialogs.whileOpenDialogShown = nullptr;

    EXPECT_TRUE(dialogs.shown.isEmpty()) << errors().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(memo1->toPlainText(), QStringLiteral("second.doc\n\n\n"));
    for (const char* name : {"Result.rtf", "Result.000", "Result.err"})
        EXPECT_FALSE(QFile::exists(working(name))) << name;
}

} // namespace
