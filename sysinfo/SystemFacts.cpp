#include "sysinfo/SystemFacts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#endif

namespace SystemFacts {

QString processorTypeName(const QString& cpuArchitecture)
{
    const QString arch = cpuArchitecture.toLower();
    if (arch == QLatin1String("x86_64") || arch == QLatin1String("i386") ||
        arch == QLatin1String("i686") || arch == QLatin1String("x86"))
        return QStringLiteral("Intel");
    if (arch.startsWith(QLatin1String("mips")))
        return QStringLiteral("Mips");
    if (arch.startsWith(QLatin1String("alpha")))
        return QStringLiteral("Alpha");
    if (arch.startsWith(QLatin1String("power")) || arch.startsWith(QLatin1String("ppc")))
        return QStringLiteral("PPC");
    if (arch.startsWith(QLatin1String("sh")))
        return QStringLiteral("SHX");
    if (arch.startsWith(QLatin1String("arm")) || arch == QLatin1String("aarch64"))
        return QStringLiteral("Arm");
    return QStringLiteral("Unknown Processor");
}

QString processorLevelName(const QString& processorType, int family)
{
    if (processorType != QLatin1String("Intel"))
        return QStringLiteral("Unknown");
    switch (family) {
    case 2:
        return QStringLiteral("80286");
    case 3:
        return QStringLiteral("80386");
    case 4:
        return QStringLiteral("80486");
    case 5:
        return QStringLiteral("Pentium");
    case 6:
    case 7:
    case 8:
    case 9:
        return QStringLiteral("Pentium") + QString::number(family - 4);
    default:
        return QStringLiteral("Unknown");
    }
}

int cpuFamily(const QByteArray& cpuinfo)
{
    static const QRegularExpression line(QStringLiteral("^cpu family\\s*:\\s*(\\d{1,9})\\s*$"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(cpuinfo));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

namespace {
// The numbers at the start of a kernel release, "6.1.106-3" gives {6, 1, 106}.
QList<int> leadingNumbers(const QString& release)
{
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+)(?:\\.(\\d+))?)?"));
    QList<int> result;
    const QRegularExpressionMatch match = numbers.match(release.trimmed());
    for (int i = 1; i <= 3 && match.hasMatch() && !match.captured(i).isEmpty(); ++i) {
        bool ok = false;
        const int value = match.captured(i).toInt(&ok);
        if (!ok)
            break;
        result.append(value);
    }
    return result;
}
} // namespace

QString versionNumber(const QString& release)
{
    const QList<int> n = leadingNumbers(release);
    return n.size() >= 2 ? QStringLiteral("%1.%2").arg(n[0]).arg(n[1]) : QString();
}

QString buildNumber(const QString& release)
{
    const QList<int> n = leadingNumbers(release);
    return n.size() >= 3 ? QString::number(n[2]) : QString();
}

QString languageName(const QLocale& locale)
{
    const QLocale::Language language = locale.language();
    if (language == QLocale::C || language == QLocale::AnyLanguage)
        return QString();
    return QLocale::languageToString(language);
}

QString operatingSystemName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("Windows NT"); // every Windows that Qt 6 runs on
#elif defined(Q_OS_UNIX)
    struct utsname names;
    if (uname(&names) != 0)
        return QString();
    return QString::fromLocal8Bit(names.sysname);
#else
    return QString();
#endif
}

QString processorType()
{
    return processorTypeName(QSysInfo::currentCpuArchitecture());
}

QString processorLevel(const QString& processorType)
{
    if (processorType != QLatin1String("Intel"))
        return processorLevelName(processorType, -1);
    // Only the first processor's lines are needed.
    QFile file(QStringLiteral("/proc/cpuinfo"));
    int family = -1;
    if (file.open(QIODevice::ReadOnly)) {
        for (int i = 0; i < 64 && family < 0; ++i) {
            const QByteArray line = file.readLine(4096);
            if (line.isEmpty())
                break;
            family = cpuFamily(line);
        }
    }
    return processorLevelName(processorType, family);
}

int processorCount()
{
#ifdef Q_OS_UNIX
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online > 0)
        return int(online);
#endif
    return QThread::idealThreadCount();
}

QString loginName()
{
#ifdef Q_OS_UNIX
    // The account of the running process; getlogin() fails without a terminal.
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    QByteArray buffer(size > 0 ? size : 16384, Qt::Uninitialized);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), size_t(buffer.size()), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

QString temporaryDirectory()
{
    QString folder = QDir::toNativeSeparators(QDir::tempPath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace SystemFacts
