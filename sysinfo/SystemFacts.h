#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

// The pieces of system information that need translating into the texts the
// system-details component reports.
namespace SystemFacts {

// "Intel", "Mips", "Alpha", "PPC", "SHX", "Arm" or "Unknown Processor" for a
// CPU architecture name as QSysInfo gives it ("x86_64", "i386", "arm64", ...).
// 64-bit x86 counts as "Intel", as it does for 32-bit programs on Windows.
QString processorTypeName(const QString& cpuArchitecture);

// The processor level text. Only an "Intel" processor has one: its CPU family
// (the number Windows reports as the level) 2 "80286", 3 "80386", 4 "80486",
// 5 "Pentium", 6..9 "Pentium2".."Pentium5"; everything else "Unknown".
QString processorLevelName(const QString& processorType, int family);

// The first "cpu family" of /proc/cpuinfo text; -1 when there is none.
int cpuFamily(const QByteArray& cpuinfo);

// "major.minor" of a kernel release such as "6.1.0-18-amd64" (gives "6.1");
// empty when the release does not start with two numbers.
QString versionNumber(const QString& release);

// The third number of a kernel release ("6.1.106-3" gives "106"), the
// nearest thing Linux has to a build number; empty when there is none.
QString buildNumber(const QString& release);

// English name of the locale's language ("English", "French"); empty for the
// C locale, which names no language.
QString languageName(const QLocale& locale);

// Reads the live system.
QString operatingSystemName(); // "Windows NT" on Windows, else uname's sysname ("Linux")
QString processorType();
QString processorLevel(const QString& processorType);
int processorCount();
QString loginName();
QString temporaryDirectory(); // with its trailing separator

} // namespace SystemFacts
