#include "WindowFixture.h"

#include "app/AboutController.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
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
    }
    EXPECT_EQ(w.statusText(), QStringLiteral("Ready."));
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
    open();
    const QString folder = programFolder({QStringLiteral("Tarqtran.html")});
    ctl<QAction>("Manual1")->trigger();
    ctl<QToolButton>("SpeedButton5")->click();
    programFolder({QStringLiteral("Tarqtran.chm")});
    ctl<QAction>("Manual1")->trigger();
    EXPECT_EQ(launcher.opened, (QStringList{folder + QStringLiteral("/Tarqtran.html"),
                                            folder + QStringLiteral("/Tarqtran.html"),
                                            folder + QStringLiteral("/Tarqtran.chm")}));
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
        {"", "https://tarquell.example/"},
        {"[Services]\nHome Page=http://translator.lan/\n", "http://translator.lan/"},
        {"[Services]\nHome Page=\n", "https://tarquell.example/"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ini);
        launcher.opened.clear();
        writeIni(r.ini);
        open();
        ctl<QAction>("Update1")->trigger();
        ctl<QAction>("Homepage1")->trigger();
        EXPECT_EQ(launcher.opened, QStringList(2, QString::fromLatin1(r.address)));
        closeWindow();
        // Configuration: read, never written.
        EXPECT_EQ(readIni().contains("Home Page"), QByteArray(r.ini).contains("Home Page"));
        EXPECT_FALSE(readIni().contains("Support Mail"));
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
