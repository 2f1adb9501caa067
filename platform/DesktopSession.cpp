#include "platform/DesktopSession.h"

#include <cstring>

namespace DesktopSession {

bool available(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    // A platform chosen on the command line or in QT_QPA_PLATFORM decides
    // for itself, unless it is one that needs the session we lack.
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            platform = QString::fromLocal8Bit(argv[i + 1]);
    return !platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
           !platform.startsWith(QLatin1String("wayland"));
}

QString missingText()
{
    return QStringLiteral("tarquell-translator: the window needs a desktop session (neither "
                          "DISPLAY nor WAYLAND_DISPLAY is set); to translate in this terminal, "
                          "run: tarquell-translate -f en -t es [FILE...]");
}

} // namespace DesktopSession
