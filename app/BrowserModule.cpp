#include "app/BrowserModule.h"

#include "platform/ConfigPaths.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <memory>
#include <unistd.h>

void prepareBrowserEngine()
{
    // Qt::AA_ShareOpenGLContexts is deliberately not set: it makes the
    // application create an OpenGL context at start (measured on X11 with
    // Mesa: +95 ms and +57 MiB before the window shows), which every run
    // would pay for a browser most runs never open. Loaded later, the web
    // engine composes its pages in software instead.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

BrowserPaneFactory browserModuleFactory()
{
    using Create = BrowserPane* (*)(QWidget*, BrowserEvents*);
    // Shared by the copies of the factory; loaded once, never unloaded.
    auto create = std::make_shared<Create>(nullptr);
    return [create](QWidget* parent, BrowserEvents& events) -> std::unique_ptr<BrowserPane> {
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
