#include "QtPrinters.h"
#include "platform/ConfigPaths.h"
#include "platform/LanguageDetection.h"
#include "platform/LocaleRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <gtest/gtest.h>

namespace {

QString s(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

LocaleRegistry registryWith(const QHash<QString, QString>& environment)
{
    return LocaleRegistry([environment](const QString& name) { return environment.value(name); });
}

} // namespace

// What a Linux user with this locale sees first: the identifiers, and the
// interface language the detection makes of them.
TEST(LocaleRegistry, LocalesToIdentifiersAndInterfaceLanguage)
{
    const struct
    {
        const char* lang;
        const char* installLanguage;
        const char* interfaceLanguage;
    } rows[] = {
        {"en_US.UTF-8", "0409", "English"},
        {"en_GB", "0809", "English"},
        {"en_AU.UTF-8", "0C09", "English"},
        {"fr_FR.UTF-8", "040C", "French"},
        {"fr_CA.UTF-8@euro", "0C0C", "French"},
        {"fr_BE", "080C", "French"},
        {"fr_CH", "100C", "French"},
        {"fr_LU", "140C", "French"},
        {"fr_SN", "040C", "French"}, // territory not in the table: the language's own identifier
        {"es_ES", "0C0A", "Spanish"},
        {"es_MX", "080A", "Spanish"},
        {"de_DE", "0407", "German"},
        {"de_AT", "0C07", "German"},
        {"de_CH", "0807", "German"},
        {"pt_BR", "0416", "Portuguese"},
        {"pt_PT", "0816", "Portuguese"},
        {"it_IT", "0410", "Italian"},
        {"it_CH", "0810", "Italian"},
        {"ja_JP.eucJP", "0411", "Japanese"},
        {"ko_KR", "0412", "English"}, // no Korean interface to detect
        {"ru_RU.KOI8-R", "0419", "English"},
        {"zh_CN.GB18030", "0804", "Chinese"},
        {"zh_TW.Big5", "0404", "Chinese(Taiwan Province)"},
        {"zh_HK", "0C04", "Chinese"},
        {"zh_SG", "1004", "Chinese"},
        {"zh", "0804", "Chinese"},
        {"de-AT", "0C07", "German"},
        {"FR_ca", "0C0C", "French"},
        {"C", "", "English"},
        {"C.UTF-8", "", "English"},
        {"POSIX", "", "English"},
        {"", "", "English"},
        {"xx_YY", "", "English"},
        {"_US", "", "English"},
        {"@euro", "", "English"},
        {"\xE2\x98\x83", "", "English"},
    };
    for (const auto& row : rows) {
        const LocaleRegistry registry = registryWith({{s("LANG"), s(row.lang)}});
        const QString install = registry.installLanguage();
        EXPECT_EQ(install, s(row.installLanguage)) << row.lang;
        EXPECT_EQ(registry.locale(), install.isEmpty() ? QString() : s("0000") + install)
            << row.lang;
        EXPECT_EQ(detectInterfaceLanguage(install, registry.locale(), s("Linux")),
                  s(row.interfaceLanguage))
            << row.lang;
    }
}

TEST(LocaleRegistry, FirstNonEmptyOfLcAllLcMessagesLang)
{
    EXPECT_EQ(
        registryWith(
            {{s("LC_ALL"), s("de_DE")}, {s("LC_MESSAGES"), s("fr_FR")}, {s("LANG"), s("it_IT")}})
            .installLanguage(),
        s("0407"));
    EXPECT_EQ(
        registryWith(
            {{s("LC_ALL"), QString()}, {s("LC_MESSAGES"), s("fr_FR")}, {s("LANG"), s("it_IT")}})
            .installLanguage(),
        s("040C"));
    EXPECT_EQ(registryWith({{s("LANG"), s("it_IT")}}).installLanguage(), s("0410"));
    // "C" is set, so it wins and names no language.
    EXPECT_EQ(registryWith({{s("LC_ALL"), s("C")}, {s("LANG"), s("it_IT")}}).installLanguage(),
              QString());
}

TEST(LanguageDetection, StepsOverInstallLanguageAndLocale)
{
    const struct
    {
        const char* install;
        const char* locale;
        const char* os;
        const char* expected;
    } rows[] = {
        // Windows NT reads only the install language.
        {"0404", "00000409", "Windows NT", "Chinese(Taiwan Province)"},
        {"0C0C", "00000409", "Windows NT", "French"},
        {"040c", "", "Windows NT", "French"},  // the first rules upper-case
        {"0c0a", "", "Windows NT", "English"}, // the last rules do not
        {"0C0A", "", "Windows NT", "Spanish"},
        {"0412", "", "Windows NT", "English"},
        // Elsewhere the locale's last four digits follow.
        {"040C", "00000409", "Linux", "English"}, // an English locale wins back
        {"040C", "00000419", "Linux", "French"},  // a Russian one keeps the answer
        {"040C", "", "Linux", "French"},
        {"0409", "00000404", "Linux", "Chinese(Taiwan Province)"},
        {"0409", "0000040c", "Linux", "French"},
        {"0409", "00000c0a", "Linux", "English"},
        {"", "0409", "Linux", "English"},   // too short: no digits 5-8
        {"0C", "0000", "Linux", "English"}, // too short for positions 3-4
        {"", "", "", "English"},
        {"0", "00000", "Windows 98", "English"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(detectInterfaceLanguage(s(row.install), s(row.locale), s(row.os)),
                  s(row.expected))
            << row.install << " " << row.locale << " " << row.os;
}

TEST(ConfigPaths, SettingsFileFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QString home = QDir::homePath() + s("/.config/TarquellTranslator.ini");
    const struct
    {
        const char* xdg;
        QString expected;
    } rows[] = {
        {"/tmp/conf", s("/tmp/conf/TarquellTranslator.ini")},
        {"/tmp/conf/", s("/tmp/conf/TarquellTranslator.ini")},
        {"", home},
        {"relative/conf", home},
    };
    for (const auto& row : rows) {
        qputenv("XDG_CONFIG_HOME", row.xdg);
        EXPECT_EQ(ConfigPaths::settingsFilePath(), row.expected) << row.xdg;
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ConfigPaths::settingsFilePath(), home);
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(ConfigPaths, ProgramFolderIsTheExecutablesFolder)
{
    const QString folder = ConfigPaths::programFolder();
    EXPECT_EQ(folder, QCoreApplication::applicationDirPath());
    EXPECT_FALSE(folder.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFile::exists(folder + s("/platform_tests")));
}
