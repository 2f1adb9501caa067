#include "platform/QtLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool QtLauncher::startProgram(const QString& program, const QStringList& arguments,
                              const QString& workingDirectory)
{
    return QProcess::startDetached(program, arguments, workingDirectory);
}

bool QtLauncher::hasApplicationFor(const QString& path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    if (type.inherits(QStringLiteral("text/html")))
        return true;
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true; // nothing to ask: the desktop's handler decides
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type.name()});
    // A look through the desktop's application files; bounded all the same.
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

bool QtLauncher::openAddress(const QString& address)
{
    // Local paths and web or mail addresses alike.
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid())
        return false;
    // The desktop's handler starts and reports success even where it then
    // finds no application; for a local file that is known beforehand.
    if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile()) &&
        !hasApplicationFor(url.toLocalFile()))
        return false;
    return QDesktopServices::openUrl(url);
}

// --- Documents ---

bool QtLauncher::startWatched(const QString& program, const QStringList& arguments,
                              std::function<void()> ended)
{
    // Owned by nobody: it ends when the program ends, and a program still
    // running when we quit runs on by itself.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process, [process, ended] {
        process->deleteLater();
        if (ended)
            ended();
    });
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    return true;
}
