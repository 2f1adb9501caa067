#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>

// A small dictionary made by Debian's dictfmt (headwords at the margin,
// definitions indented) and compressed by dictzip, in folder as
// name.index and name.dict.dz. dictd, which runs as its own user, must be
// able to read it.
inline void makeDictionary(const QString& folder, const QString& name, const QByteArray& source)
{
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                      QFileDevice::ExeGroup);
    QProcess fmt;
    fmt.setWorkingDirectory(folder);
    fmt.start(QStringLiteral("dictfmt"), {QStringLiteral("-f"), QStringLiteral("--utf8"),
                                          QStringLiteral("-s"), QStringLiteral("Test ") + name,
                                          QStringLiteral("-u"), QStringLiteral("local"), name});
    ASSERT_TRUE(fmt.waitForStarted()) << "dictfmt is missing (package dictfmt)";
    // dictfmt -f: two lines of information, then the entries.
    fmt.write("Made by the tests\nfor Vantudict\n" + source);
    fmt.closeWriteChannel();
    ASSERT_TRUE(fmt.waitForFinished(30000));
    ASSERT_EQ(fmt.exitCode(), 0) << fmt.readAllStandardError().toStdString();
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral("dictzip"), {name + QStringLiteral(".dict")});
    ASSERT_TRUE(zip.waitForFinished(30000)) << "dictzip is missing (package dictzip)";
    ASSERT_EQ(zip.exitCode(), 0);
}

// The headword lines of an index, in order.
inline QList<QByteArray> indexLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().split('\n');
}
