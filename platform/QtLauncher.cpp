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
