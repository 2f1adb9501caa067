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
