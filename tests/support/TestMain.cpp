#include "QtTestFailures.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// One QApplication per test executable. The configuration folder points at
// a private temporary folder so that no test ever touches the user's files.
int main(int argc, char** argv)
{
    ::testing::InitGoogleMock(&argc, argv);
    QtTestFailures::install();
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
