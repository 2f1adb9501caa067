#include "platform/ConfigPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

namespace ConfigPaths {

namespace {
QString configFilePath(const QString& fileName)
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored: it would put
    // the settings wherever the program happened to be started.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir(QDir::cleanPath(xdg)).filePath(fileName);
    return QDir(QDir::homePath()).filePath(QStringLiteral(".config/") + fileName);
}
} // namespace

QString settingsFilePath()
{
    return configFilePath(QStringLiteral("TarquellTranslator.ini"));
}

QString serviceSettingsFilePath()
{
    return configFilePath(QStringLiteral("tarquell-service.ini"));
}

QString programFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    // Only "/" itself can end in a separator; keep it, it is the folder.
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString workingFolder()
{
    const QString named = qEnvironmentVariable("TARQUELL_WORK_DIR");
    if (!named.isEmpty() && QDir::isAbsolutePath(named))
        return QDir::cleanPath(named);
    return workingFolderFor(programFolder());
}

QString workingFolderFor(const QString& programFolder)
{
    if (canCreateFiles(programFolder))
        return programFolder;
    const QString own = userWorkingFolder();
    // When even this fails, the file operations report it by name.
    QDir().mkpath(own);
    return own;
}

QString userWorkingFolder()
{
    static const QString folderName = QStringLiteral("TarquellTranslator");
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir(QDir::cleanPath(xdg)).filePath(folderName);
    return QDir(QDir::homePath()).filePath(QStringLiteral(".cache/") + folderName);
}

bool canCreateFiles(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tarquell-probe-XXXXXX")));
    return probe.open(); // removed again when it goes
}

QString publishWorkingFolder()
{
    const QString folder = workingFolder();
    qputenv("TARQUELL_WORK_DIR", QFile::encodeName(folder));
    return folder;
}

} // namespace ConfigPaths
