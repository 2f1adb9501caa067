#include "platform/CommandGuard.h"

#include "platform/AppTitle.h"
#include "platform/Errors.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPlatform, "tarquell.platform")

namespace {
QString g_title = AppTitle::StartTitle;
}

QString AppTitle::get()
{
    return g_title;
}

void AppTitle::set(const QString& title)
{
    g_title = title;
}

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

bool runGuarded(IDialogs& dialogs, const std::function<void()>& command)
{
    QString message;
    try {
        command();
        return true;
    } catch (const SilentAbort&) {
        return false;
    } catch (const TarquellError& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    qCWarning(lcPlatform) << "command failed:" << message;
    dialogs.messageBox(AppTitle::get(), errorBoxText(message), MsgIcon::Error, MsgButtons::Ok);
    return false;
}
