#include "platform/QtLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

bool QtLauncher::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool QtLauncher::openAddress(const QString& address)
{
    // Local paths and web or mail addresses alike.
    const QUrl url = QUrl::fromUserInput(address);
    return url.isValid() && QDesktopServices::openUrl(url);
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
