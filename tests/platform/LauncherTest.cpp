#include "platform/QtLauncher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// Arguments reach the program as they are: no shell splits them or runs
// what they hold.
TEST(QtLauncher, StartsTheProgramWithItsArgumentsVerbatim)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("a b; touch x $(id)"));
    QtLauncher launcher;
    ASSERT_TRUE(launcher.startProgram(QStringLiteral("/usr/bin/touch"), {name}));
    QTRY_VERIFY(QFile::exists(name));
    EXPECT_FALSE(QFile::exists(QStringLiteral("x")));
    EXPECT_FALSE(launcher.startProgram(dir.filePath(QStringLiteral("no such program")), {}));
}

// A program in a folder whose name has blanks starts as it is: nothing
// splits its path.
TEST(QtLauncher, StartsAProgramFromAFolderWithBlanks)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Program Files/Tarquell Translator"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/Pagewatch");
    const QString marker = dir.filePath(QStringLiteral("started"));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/../../started\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    QtLauncher launcher;
    ASSERT_TRUE(launcher.startProgram(program, {}));
    QTRY_VERIFY(QFile::exists(marker));
}

// A sibling program starts in the folder it is given, whatever the
// caller's own working folder.
TEST(QtLauncher, StartsAProgramInTheWorkingFolderGiven)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Program Folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/Webvane");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    // Writes where it runs, then says it is done.
    script.write("#!/bin/sh\npwd > \"$(dirname \"$0\")/where.tmp\" && "
                 "mv \"$(dirname \"$0\")/where.tmp\" \"$(dirname \"$0\")/where\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    ASSERT_NE(QDir::currentPath(), folder);

    QtLauncher launcher;
    ASSERT_TRUE(launcher.startProgram(program, {}, folder));
    const QString where = folder + QStringLiteral("/where");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(where); }));
    QFile f(where);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(f.readAll()).trimmed(), folder);
    // A folder that is not there: nothing starts.
    EXPECT_FALSE(launcher.startProgram(program, {}, dir.filePath(QStringLiteral("gone"))));
}

// Whether the desktop has an application for a local file, asked the way
// xdg-open asks, on a desktop configuration the test writes.
TEST(QtLauncher, KnowsWhetherTheDesktopHasAnApplicationForAFile)
{
    QTemporaryDir dir;
    const QByteArray keep[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                               "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"};
    QList<QPair<QByteArray, QByteArray>> saved;
    for (const QByteArray& name : keep)
        saved.append({name, qgetenv(name.constData())});
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", dir.filePath(QStringLiteral("config-dirs")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    // The system's MIME database stays; its applications do not count.
    const QString dataDirs = dir.filePath(QStringLiteral("data-dirs"));
    ASSERT_TRUE(QDir().mkpath(dataDirs));
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/mime"), dataDirs + QStringLiteral("/mime")));
    qputenv("XDG_DATA_DIRS", dataDirs.toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");

    const QString chm = dir.filePath(QStringLiteral("Tarqtran.chm"));
    const QString html = dir.filePath(QStringLiteral("Tarqtran.html"));
    for (const QString& path : {chm, html}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(path == html ? "<html><body>manual</body></html>" : "ITSF");
    }
    // No application for compiled help: it cannot open, and nothing starts.
    EXPECT_FALSE(QtLauncher::hasApplicationFor(chm));
    EXPECT_FALSE(QtLauncher().openAddress(chm));
    // A web page goes to the web browser all the same.
    EXPECT_TRUE(QtLauncher::hasApplicationFor(html));

    // A viewer that declares itself the default for compiled help.
    const QString apps = dir.filePath(QStringLiteral("data/applications"));
    ASSERT_TRUE(QDir().mkpath(apps));
    QFile desktop(apps + QStringLiteral("/chmviewer.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nType=Application\nName=CHM viewer\nExec=true %f\n"
                  "MimeType=application/vnd.ms-htmlhelp;\n");
    desktop.close();
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    QFile list(dir.filePath(QStringLiteral("config/mimeapps.list")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("[Default Applications]\napplication/vnd.ms-htmlhelp=chmviewer.desktop\n");
    list.close();
    EXPECT_TRUE(QtLauncher::hasApplicationFor(chm));

    for (const auto& [name, value] : saved) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}
