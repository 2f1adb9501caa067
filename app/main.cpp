#include "app/BrowserModule.h"
#include "app/Logging.h"
#include "app/QtDialogs.h"
#include "app/ShutdownSignals.h"
#include "app/Translator.h"
#include "platform/AppTitle.h"
#include "platform/ConfigPaths.h"
#include "platform/DesktopSession.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    // Without a display: one clear line instead of Qt's platform-plugin abort.
    if (!DesktopSession::available(argc, argv)) {
        std::fprintf(stderr, "%s\n", DesktopSession::missingText().toLocal8Bit().constData());
        return 1;
    }
    QApplication app(argc, argv);
    AppTitle::set(AppTitle::StartTitle);
    // Desktops without an icon theme of their own get the one we install.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    // Installed on a desktop: the window belongs to its desktop entry and
    // icon; working files go to the per-user folder when the program folder
    // cannot be written, and the sibling programs it starts are told so.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarquell.Translator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarquell.Translator"),
                                                 QIcon(QStringLiteral(":/icons/tarquell.svg"))));
    qCInfo(lcApp).noquote() << "working files in" << ConfigPaths::publishWorkingFolder();

    QtDialogs dialogs;
    TfrmMain::Environment env;
    env.dialogs = &dialogs;
    env.browserFactory = browserModuleFactory(); // browser mode
    TfrmMain window(env);
    dialogs.setParent(&window);

    // A terminal's Ctrl+C, SIGTERM and the end of the desktop session close
    // the window the normal way, so the settings are written.
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::shutdownRequested, &window, &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.writeSettingsOnce(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.writeSettingsOnce(); });

    window.show();
    // Announced once the event loop runs: tests and the start-up benchmark
    // wait for it.
    QTimer::singleShot(0, &window, [] { qCInfo(lcApp) << "window shown"; });
    return app.exec();
}
