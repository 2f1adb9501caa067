#include "WindowFixture.h"

#include "platform/AppTitle.h"

#include <QFile>

void WindowTest::writeIni(const QByteArray& text)
{
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray WindowTest::readIni() const
{
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TfrmMain& WindowTest::open(const QString& posixLocale)
{
    AppTitle::set(AppTitle::StartTitle);
    locale = std::make_unique<LocaleRegistry>([posixLocale](const QString& name) {
        return name == QLatin1String("LANG") ? posixLocale : QString();
    });
    TfrmMain::Environment env;
    env.dialogs = &dialogs;
    env.launcher = &launcher;
    env.settingsPath = iniPath();
    env.locale = locale.get();
    env.browserFactory = browserFactory; // browser mode
    window = std::make_unique<TfrmMain>(env);
    return *window;
}

void WindowTest::closeWindow()
{
    window->show();
    EXPECT_TRUE(window->close());
}
