#include "WindowFixture.h"

#include "app/AboutController.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QToolButton>

class LauncherTest : public WindowTest
{
protected:
    // A program folder with a blank in its name holding the given files.
    QString programFolder(const QStringList& files)
    {
        const QString folder = dir.filePath(QStringLiteral("Tarquell Translator"));
        QDir().mkpath(folder);
        for (const QString& name : files) {
            QFile f(QDir(folder).filePath(name));
            if (!f.open(QIODevice::WriteOnly))
                throw std::runtime_error("cannot create " + name.toStdString());
            f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
        ctl<AboutController>("AboutController")->setProgramFolder(folder);
        return folder;
    }
};

TEST_F(LauncherTest, SiblingProgramsStartFromTheProgramFolderWithoutArguments)
{
    TfrmMain& w = open();
    const QString folder = programFolder(
        {QStringLiteral("Webvane"), QStringLiteral("Vantudict"), QStringLiteral("Pagewatch")});
    ctl<QAction>("TarquellTranslatorforWeb1")->trigger();
    ctl<QAction>("VantuDictionary1")->trigger();
    ctl<QAction>("IEPagewatch1")->trigger();
    // The browser pane's Observe button, hidden in text mode.
    ctl<AboutController>("AboutController")->ObBtnClick();
    const QStringList expected = {
        folder + QStringLiteral("/Webvane"), folder + QStringLiteral("/Vantudict"),
        folder + QStringLiteral("/Pagewatch"), folder + QStringLiteral("/Pagewatch")};
    ASSERT_EQ(launcher.started.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(launcher.started[i].program, expected[i]);
        EXPECT_TRUE(launcher.started[i].arguments.isEmpty());
        // They run in their own folder, wherever the window was started.
        EXPECT_EQ(launcher.started[i].workingDirectory, folder);
    }
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));
}

// The dictionary built beside the program: Tools > Vantu Dictionary asks
// for it without arguments, and what the launcher was asked to start runs
// (its window opens) rather than ending at once.
TEST_F(LauncherTest, ToolsVantuDictionaryStartsTheRealDictionary)
{
    TfrmMain& w = open();
    const QString folder = QStringLiteral(TARQUELL_BUILD_DIR "/app");
    ctl<AboutController>("AboutController")->setProgramFolder(folder);
    ctl<QAction>("VantuDictionary1")->trigger();
    ASSERT_EQ(launcher.started.size(), 1);
    EXPECT_EQ(launcher.started[0].program, folder + QStringLiteral("/Vantudict"));
    EXPECT_TRUE(launcher.started[0].arguments.isEmpty());
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));

    QProcess dictionary;
    dictionary.setWorkingDirectory(launcher.started[0].workingDirectory);
    dictionary.setProcessChannelMode(QProcess::MergedChannels);
    dictionary.start(launcher.started[0].program, launcher.started[0].arguments);
    ASSERT_TRUE(dictionary.waitForStarted());
    EXPECT_FALSE(dictionary.waitForFinished(2000)) << dictionary.readAll().toStdString();
    dictionary.kill();
    dictionary.waitForFinished();
}

TEST_F(LauncherTest, WhatCannotBeStartedIsSaidInTheStatusLine)
{
    TfrmMain& w = open();
    programFolder({QStringLiteral("Webvane")});
    ctl<QAction>("VantuDictionary1")->trigger();
    EXPECT_EQ(w.statusText(), QStringLiteral("Vantudict is not installed beside the program."));
    EXPECT_TRUE(launcher.started.isEmpty());
    launcher.succeeds = false;
    ctl<QAction>("TarquellTranslatorforWeb1")->trigger();
    EXPECT_EQ(w.statusText(), QStringLiteral("Webvane could not be started."));
    ctl<QAction>("Manual1")->trigger();
    EXPECT_EQ(w.statusText(), QStringLiteral("The manual is not installed beside the program."));
    EXPECT_TRUE(launcher.opened.isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty()); // no message box
}

TEST_F(LauncherTest, TheManualIsTheCompiledHelpWhereItExistsElseTheHtmlOne)
{
    TfrmMain& w = open();
    const QString folder = programFolder({QStringLiteral("Tarqtran.html")});
    const QString html = folder + QStringLiteral("/Tarqtran.html");
    const QString chm = folder + QStringLiteral("/Tarqtran.chm");
    ctl<QAction>("Manual1")->trigger();
    ctl<QToolButton>("SpeedButton5")->click();
    programFolder({QStringLiteral("Tarqtran.chm")});
    ctl<QAction>("Manual1")->trigger();
    EXPECT_EQ(launcher.opened, (QStringList{html, html, chm}));

    // Compiled help the desktop cannot open gives way to the HTML manual.
    launcher.opened.clear();
    launcher.cannotOpen = QStringList{chm};
    ctl<QAction>("Manual1")->trigger();
    EXPECT_EQ(launcher.opened, (QStringList{chm, html}));
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));
    // Neither opens: said once.
    launcher.opened.clear();
    launcher.cannotOpen = QStringList{chm, html};
    ctl<QAction>("Manual1")->trigger();
    EXPECT_EQ(launcher.opened, (QStringList{chm, html}));
    EXPECT_EQ(w.statusText(), QStringLiteral("The manual could not be opened."));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LauncherTest, TheProgramShipsItsManualBesideItself)
{
    // The real program folder of the build.
    EXPECT_TRUE(QFile::exists(QStringLiteral(TARQUELL_BUILD_DIR "/app/Tarqtran.html")));
}

TEST_F(LauncherTest, LiveUpdateAndHomepageOpenTheConfiguredWebSite)
{
    const struct
    {
        const char* ini;
        const char* address;
    } rows[] = {
        {"[Services]\nHome Page=http://translator.lan/\n", "http://translator.lan/"},
        {"[Services]\nHome Page= https://example.org/tarquell \n", "https://example.org/tarquell"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ini);
        launcher.opened.clear();
        writeIni(r.ini);
        TfrmMain& w = open();
        ctl<QAction>("Update1")->trigger();
        ctl<QAction>("Homepage1")->trigger();
        EXPECT_EQ(launcher.opened, QStringList(2, QString::fromLatin1(r.address)));
        EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));
        closeWindow();
        // Configuration: read, never written.
        EXPECT_TRUE(readIni().contains("Home Page"));
        EXPECT_FALSE(readIni().contains("Support Mail"));
    }
}

// Out of the box no web site or support address is configured: the status
// line says where to set them, and Homepage shows the manual instead.
TEST_F(LauncherTest, WithoutAConfiguredSiteOrAddressTheStatusLineSaysWhereToSetThem)
{
    for (const char* ini : {"", "[Services]\nHome Page=\nSupport Mail=  \n"}) {
        SCOPED_TRACE(ini);
        launcher.opened.clear();
        writeIni(ini);
        TfrmMain& w = open();
        const QString folder = programFolder({QStringLiteral("Tarqtran.html")});
        const QString where =
            QStringLiteral(" in the [Services] section of %1 (read at start).").arg(iniPath());

        w.show();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::sendPostedEvents();
        const int width = w.width();
        ctl<QAction>("Update1")->trigger();
        EXPECT_TRUE(launcher.opened.isEmpty());
        EXPECT_EQ(w.statusText(),
                  QStringLiteral("No home page is configured: set Home Page") + where);
        // However long the settings file's path, the message never widens
        // the window.
        w.setStatusText(w.statusText() + QString(300, u'x'));
        // The layout requests go up the chain of widgets one after another.
        for (int i = 0; i < 10; ++i)
            QCoreApplication::sendPostedEvents();
        EXPECT_EQ(w.width(), width);
        w.setStatusText(QStringLiteral("Ready."));
        ctl<QAction>("Homepage1")->trigger();
        EXPECT_EQ(launcher.opened, QStringList{folder + QStringLiteral("/Tarqtran.html")});
        EXPECT_EQ(w.statusText(),
                  QStringLiteral("No home page is configured: set Home Page") + where);

        // Both mail links of the about box.
        launcher.opened.clear();
        dialogs.dialogAnswers.push_back([](QDialog& d) {
            auto* label = d.findChild<QLabel*>(QStringLiteral("Label9"));
            EXPECT_EQ(label->text(), QStringLiteral("Technical Support: not configured"));
            QTest::mouseClick(label, Qt::LeftButton);
            d.findChild<QAbstractButton*>(QStringLiteral("Button2"))->click();
            return int(QDialog::Rejected);
        });
        ctl<QAction>("About1")->trigger();
        EXPECT_TRUE(launcher.opened.isEmpty());
        EXPECT_EQ(w.statusText(),
                  QStringLiteral("No support address is configured: set Support Mail") + where);
        EXPECT_TRUE(dialogs.shown.isEmpty());
        closeWindow();
        EXPECT_FALSE(readIni().contains("tarquell.example"));
    }
}

TEST_F(LauncherTest, TheSupportAddressComesFromTheSettingsFile)
{
    writeIni("[Services]\nSupport Mail=help@translator.lan\n");
    open();
    dialogs.dialogAnswers.push_back([](QDialog& d) {
        d.findChild<QAbstractButton*>(QStringLiteral("Button2"))->click();
        return int(QDialog::Rejected);
    });
    ctl<QAction>("About1")->trigger();
    EXPECT_EQ(launcher.opened,
              QStringList{QStringLiteral("mailto:help@translator.lan"
                                         "?Subject=Tarquell%20Translator%20V4.00%20support")});
}
