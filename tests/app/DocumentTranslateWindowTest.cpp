// File > Translate Document... on the real window, end to end: the dialog
// seam answers, tarquell-service (Apertium) translates, the launcher seam
// records the translated document being opened.
#include "ServiceProcess.h"
#include "TestFiles.h"
#include "WindowFixture.h"

#include "platform/AppTitle.h"
#include "platform/InterfaceTexts.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QByteArray page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                        "<h1>The annual report</h1><p><b>Yesterday</b> the children played in "
                        "the garden.</p></body></html>\n";

class DocumentTranslateWindow : public WindowTest
{
protected:
    // The window on a service of its own; English to Spanish in the boxes.
    TfrmMain& openOn(const QString& serviceUrl)
    {
        writeIni(s("[Settings]\nSrcLang=English\nDstLang=Spanish\n[Services]\n"
                   "Document Service=%1\n")
                     .arg(serviceUrl)
                     .toUtf8());
        TfrmMain& w = open();
        w.show();
        return w;
    }
    QString file(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(s(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    void answerFiles(const QString& open, const QString& save)
    {
        dialogs.fileAnswers.push_back(FileChoice{open, 1});
        dialogs.fileAnswers.push_back(FileChoice{save, 1});
    }
    void translateDocument() { ctl<QAction>("TranslateDocument1")->trigger(); }
    // Several seconds of work for the service's pool of pipelines.
    static QByteArray severalSecondsOfText()
    {
        QByteArray text;
        for (int i = 0; i < 5; ++i) {
            for (const char* name : {"GPL-3", "Apache-2.0", "LGPL-2.1"})
                text += readAll(s("/usr/share/common-licenses/") + s(name));
        }
        return text;
    }
    // Runs inside the command's wait: once the progress bar shows a figure
    // past the start, does what it is given, once.
    void onceUnderWay(QTimer& watch, std::function<void()> act)
    {
        auto* bar = ctl<QProgressBar>("DocumentProgress");
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&watch, bar, act = std::move(act)] {
            if (bar->isVisible() && bar->maximum() == 100 && bar->value() > 5) {
                watch.stop();
                act();
            }
        });
        watch.start();
    }
    QString errorShown() const
    {
        for (const ScriptedDialogs::Shown& shown : dialogs.shown) {
            if (shown.icon == MsgIcon::Error)
                return shown.text;
        }
        return {};
    }
};
} // namespace

TEST_F(DocumentTranslateWindow, TranslatesADocumentAndOpensItOnRequest)
{
    if (!QFile::exists(s("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    ServiceProcess service({});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    openOn(service.url(s("/")));
    EXPECT_EQ(ctl<QAction>("TranslateDocument1")->shortcut().toString(), s("Ctrl+Shift+T"));

    const QString original = file("report.html", page);
    const QString proposed = dir.filePath(s("report.es.html"));
    answerFiles(original, proposed);
    dialogs.messageAnswers.push_back(MsgResult::Yes);
    // When "Done." shows, the bar is gone and cannot come back while the
    // question is open, however quick the translation was.
    bool barPending = true;
    QObject::connect(window.get(), &TfrmMain::statusTextChanged, [&](const QString& text) {
        if (text == s("Done."))
            barPending = ctl<QTimer>("DocumentProgressDelay")->isActive() ||
                         ctl<QProgressBar>("DocumentProgress")->isVisible();
    });
    translateDocument();
    EXPECT_FALSE(barPending);

    ASSERT_EQ(errorShown(), QString());
    // The open dialog offers the types the service takes; the save dialog
    // proposes the name beside the original.
    ASSERT_EQ(dialogs.filesAsked.size(), 2);
    EXPECT_FALSE(dialogs.filesAsked[0].save);
    ASSERT_EQ(dialogs.filesAsked[0].filters.size(), 1);
    const QString filter = dialogs.filesAsked[0].filters[0];
    EXPECT_TRUE(filter.startsWith(s("Documents (*.docx *.docm"))) << filter.toStdString();
    for (const char* pattern :
         {"*.odt", "*.pptx", "*.xlsx", "*.rtf", "*.html", "*.epub", "*.srt", "*.doc ", "*.txt"})
        EXPECT_TRUE(filter.contains(s(pattern))) << pattern;
    EXPECT_FALSE(filter.contains(s("*.pdf")));
    EXPECT_TRUE(dialogs.filesAsked[1].save);
    EXPECT_EQ(dialogs.filesAsked[1].fileName, proposed);
    EXPECT_EQ(dialogs.filesAsked[1].defaultSuffix, s("html"));
    EXPECT_EQ(dialogs.filesAsked[1].filters,
              (QStringList{s("Web page (*.html)"), s("All files (*)")}));

    const QString translated = QString::fromUtf8(readAll(proposed));
    EXPECT_TRUE(translated.contains(s("<h1>El informe anual</h1>"))) << translated.toStdString();
    EXPECT_TRUE(translated.contains(s("<b>Ayer</b>"))) << translated.toStdString();
    EXPECT_EQ(readAll(original), page);
    EXPECT_EQ(ctl<QLabel>("SimplePanel")->text(), s("Done."));
    EXPECT_FALSE(ctl<QProgressBar>("DocumentProgress")->isVisible());
    ASSERT_FALSE(dialogs.shown.isEmpty());
    const ScriptedDialogs::Shown& question = dialogs.shown.back();
    EXPECT_EQ(question.caption, AppTitle::get());
    EXPECT_EQ(question.icon, MsgIcon::Question);
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(question.text, s("Done. The translation of report.html is saved as\n\n%1\n\n"
                               "Open the translated document?")
                                 .arg(QDir::toNativeSeparators(proposed)));
    EXPECT_EQ(launcher.opened, QStringList{proposed});

    // Answered No: nothing is opened.
    answerFiles(original, dir.filePath(s("second.html")));
    dialogs.messageAnswers.push_back(MsgResult::No);
    translateDocument();
    EXPECT_TRUE(readAll(dir.filePath(s("second.html"))).contains("El informe anual"));
    EXPECT_EQ(launcher.opened.size(), 1);
}

// A document that takes more than a second shows the bar; the status line
// follows the service's progress; Esc ends it, and nothing is written.
TEST_F(DocumentTranslateWindow, ShowsProgressAndEscCancels)
{
    if (!QFile::exists(s("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    ServiceProcess service({});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    openOn(service.url(s("/")));
    const QString original = file("licences.txt", severalSecondsOfText());
    const QString output = dir.filePath(s("licences.es.txt"));
    answerFiles(original, output);

    QStringList statuses;
    QSignalSpy status(window.get(), &TfrmMain::statusTextChanged);
    auto* bar = ctl<QProgressBar>("DocumentProgress");
    bool barSeen = false;
    QTimer watch;
    onceUnderWay(watch, [&] {
        barSeen = true;
        QTest::keyClick(window.get(), Qt::Key_Escape);
    });
    translateDocument();
    watch.stop();

    EXPECT_TRUE(barSeen);
    EXPECT_EQ(errorShown(), QString());
    EXPECT_EQ(ctl<QLabel>("SimplePanel")->text(), s("Translation cancelled."));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_TRUE(launcher.opened.isEmpty());
    bool figure = false;
    for (const QList<QVariant>& args : status) {
        const auto m = QRegularExpression(s("^Translating licences\\.txt \\.\\.\\. (\\d+)%$"))
                           .match(args[0].toString());
        figure =
            figure || (m.hasMatch() && m.captured(1).toInt() > 5 && m.captured(1).toInt() < 95);
    }
    EXPECT_TRUE(figure) << "no progress figure in the status line";
}

// Closing the window mid-way ends the translation in the service too, and
// then the window closes: the service is not left translating for nobody.
TEST_F(DocumentTranslateWindow, ClosingTheWindowCancelsTheTranslationInTheService)
{
    if (!QFile::exists(s("/usr/share/apertium/modes/eng-spa.mode")))
        GTEST_SKIP() << "Apertium with eng-spa is not installed (scripts/deps.sh)";
    ServiceProcess service({}, {}, ServiceProcess::Log::Kept);
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    openOn(service.url(s("/")));
    const QString original = file("licences.txt", severalSecondsOfText());
    const QString output = dir.filePath(s("licences.es.txt"));
    answerFiles(original, output);

    bool closeAsked = false;
    QTimer watch;
    onceUnderWay(watch, [&] {
        closeAsked = true;
        window->close();
    });
    translateDocument();

    ASSERT_TRUE(closeAsked);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(errorShown(), QString());
    EXPECT_FALSE(QFile::exists(output));
    // The service's log says its translation ended cancelled.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return service.log().contains(s("The document's translation was cancelled")); },
        10000))
        << service.log().toStdString();
}

// The service not running is said before any file is asked for, with the
// way to start it.
TEST_F(DocumentTranslateWindow, SaysHowToStartAServiceThatIsNotRunning)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QString url = s("http://127.0.0.1:%1/").arg(port);
    openOn(url);
    translateDocument();
    EXPECT_TRUE(dialogs.filesAsked.isEmpty());
    const QString error = errorShown();
    EXPECT_TRUE(error.startsWith(s("The document service at %1 is not running. Start it with the "
                                   "command\n\n")
                                     .arg(url)))
        << error.toStdString();
    // Started as the message says, it would listen where the window looks.
    EXPECT_TRUE(error.contains(s("tarquell-service --listen 127.0.0.1:%1\n\nand try again. The "
                                 "tarquell-translator command starts it together with this "
                                 "window.")
                                   .arg(port)))
        << error.toStdString();
    EXPECT_EQ(ctl<QLabel>("SimplePanel")->text(), s("Ready."));
}

// The error box names the file and the reason; the original is never
// written over, whatever name the save dialog gets.
TEST_F(DocumentTranslateWindow, ErrorsNameTheFileAndTheOriginalStays)
{
    ServiceProcess service({s("--engine"), s("echo")});
    ASSERT_TRUE(service.isRunning()) << service.error().toStdString();
    openOn(service.url(s("/")));
    const QString original = file("report.html", page);
    const QString broken = file("broken.docx", "no Word document");
    const QString scan = file("scan.pdf", "%PDF-1.4");
    const struct
    {
        QString open;
        QString save;
        QString error;
    } cases[] = {
        {original, original,
         s("Cannot translate report.html: the translation cannot be saved over the original; "
           "choose another name.")},
        {original, dir.filePath(s("sub/../report.html")),
         s("Cannot translate report.html: the translation cannot be saved over the original; "
           "choose another name.")},
        {broken, dir.filePath(s("broken.es.docx")),
         s("Cannot translate broken.docx: The file is not a valid Word document: it is not a zip "
           "archive.")},
        {original, dir.filePath(s("missing/report.es.html")),
         s("Cannot translate report.html: Cannot write %1: ")
             .arg(QDir::toNativeSeparators(dir.filePath(s("missing/report.es.html"))))},
    };
    QDir(dir.path()).mkdir(s("sub"));
    for (const auto& c : cases) {
        dialogs.shown.clear();
        answerFiles(c.open, c.save);
        translateDocument();
        EXPECT_TRUE(errorShown().startsWith(c.error)) << errorShown().toStdString();
        EXPECT_EQ(ctl<QLabel>("SimplePanel")->text(), s("Ready."));
    }
    EXPECT_EQ(readAll(original), page);
    EXPECT_FALSE(QFile::exists(dir.filePath(s("broken.es.docx"))));
    EXPECT_TRUE(launcher.opened.isEmpty());

    // A type the service does not take, typed into the open dialog.
    dialogs.shown.clear();
    dialogs.fileAnswers.push_back(FileChoice{scan, 1});
    translateDocument();
    EXPECT_TRUE(
        errorShown().startsWith(s("Cannot translate scan.pdf: the document service does "
                                  "not translate files of the type .pdf; it takes .docx, ")))
        << errorShown().toStdString();
}

// The command's caption in each of the eight interface languages.
TEST_F(DocumentTranslateWindow, HasItsCaptionInEveryInterfaceLanguage)
{
    openOn(s("http://127.0.0.1:1/"));
    ctl<QAction>("Chinese1")->setVisible(true);
    const struct
    {
        const char* item;
        const char* caption;
    } rows[] = {
        {"English1", "&Translate Document..."}, {"French1", "&Traduire un document..."},
        {"Spanish1", "&Traducir documento..."}, {"German1", "Dokument &übersetzen..."},
        {"Italian1", "&Traduci documento..."},  {"Portuguese1", "&Traduzir documento..."},
        {"Japanese1", "文書を翻訳..."},         {"Chinese1", "翻译文档(&T)..."},
    };
    for (const auto& r : rows) {
        ctl<QAction>(r.item)->trigger();
        EXPECT_EQ(ctl<QAction>("TranslateDocument1")->text(), s(r.caption)) << r.item;
        EXPECT_EQ(ctl<QAction>("TranslateDocument1")->shortcut().toString(), s("Ctrl+Shift+T"));
    }
    // The menu item sits in the File menu after Save.
    const QList<QAction*> file = ctl<QMenu>("N1")->actions();
    const qsizetype save = file.indexOf(ctl<QAction>("Open1"));
    ASSERT_GE(save, 0);
    EXPECT_EQ(file.value(save + 1), ctl<QAction>("TranslateDocument1"));
}
