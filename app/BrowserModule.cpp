#include "app/BrowserModule.h"

#include "platform/ConfigPaths.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <memory>
#include <unistd.h>

// Qt::AA_ShareOpenGLContexts is deliberately not set before the
// application object: it makes the application create an OpenGL context at
// start (measured on X11 with Mesa: +95 ms and +57 MiB before the window
// shows), which every run would pay for a browser most runs never open.
// Loaded later, the web engine composes its pages in software instead.

QString browserSandboxProblem(bool root)
{
    if (!root || qEnvironmentVariable("QTWEBENGINE_DISABLE_SANDBOX") == QLatin1String("1"))
        return {};
    return QStringLiteral("Browser mode is not available as root, where the web engine's sandbox "
                          "cannot work: start the program as an ordinary user, or set "
                          "QTWEBENGINE_DISABLE_SANDBOX=1 to show pages unprotected");
}

BrowserPaneFactory browserModuleFactory()
{
    return browserModuleFactory(::geteuid() == 0);
}

BrowserPaneFactory browserModuleFactory(bool root)
{
    using Create = BrowserPane* (*)(QWidget*, BrowserEvents*);
    // Shared by the copies of the factory; loaded once, never unloaded.
    auto create = std::make_shared<Create>(nullptr);
    return [create, root](QWidget* parent, BrowserEvents& events) -> std::unique_ptr<BrowserPane> {
        // Before anything is loaded: the engine would start unsandboxed or
        // not at all.
        if (const QString problem = browserSandboxProblem(root); !problem.isEmpty())
            throw TarquellError(problem);
        if (!*create) {
            // Beside the program first, then wherever the system keeps
            // libraries.
            const QString beside =
                ConfigPaths::programFolder() + QStringLiteral("/libtarquell_browser.so");
            QLibrary library(QFileInfo::exists(beside) ? beside
                                                       : QStringLiteral("tarquell_browser"));
            *create = reinterpret_cast<Create>(library.resolve("tarquellCreateBrowserPane"));
            if (!*create)
                throw TarquellError(QStringLiteral("The web browser is not available: ") +
                                    library.errorString());
        }
        return std::unique_ptr<BrowserPane>((*create)(parent, &events));
    };
}
