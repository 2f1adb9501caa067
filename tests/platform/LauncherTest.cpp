#include "platform/QtLauncher.h"

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
