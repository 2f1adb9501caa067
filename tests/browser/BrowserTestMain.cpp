#include "QtTestFailures.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The browser tests' own main: the web engine is set up before the
// application object exists. No sandbox (CI runs as root) and no GPU.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    QtTestFailures::install();
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
