#include "QtPrinters.h"
#include "sysinfo/SystemFacts.h"
#include "sysinfo/ahmtsystemdetails.h"

#include <QDir>
#include <QGuiApplication>
#include <QMetaProperty>
#include <QScreen>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/utsname.h>

namespace {
QString s(const char* utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

TEST(SystemDetails, PublishesReadOnlyPropertiesInDeclarationOrder)
{
    const struct
    {
        const char* name;
        QMetaType::Type type;
    } expected[] = {
        {"Plus", QMetaType::Bool},
        {"ProcessorType", QMetaType::QString},
        {"ProcessorLevel", QMetaType::QString},
        {"OperatingSystem", QMetaType::QString},
        {"PlatformCSD", QMetaType::QString},
        {"BuildNumber", QMetaType::QString},
        {"VersionNumber", QMetaType::QString},
        {"ComputerName", QMetaType::QString},
        {"UserName", QMetaType::QString},
        {"DirectoryCurrent", QMetaType::QString},
        {"DirectoryWindows", QMetaType::QString},
        {"DirectorySystem", QMetaType::QString},
        {"DirectoryTemp", QMetaType::QString},
        {"NoOfProcessors", QMetaType::Int},
        {"RegisteredOwner", QMetaType::QString},
        {"RegisteredCompany", QMetaType::QString},
        {"Language", QMetaType::QString},
        {"ScreenWidth", QMetaType::Int},
        {"ScreenHeight", QMetaType::Int},
    };
    const QMetaObject& meta = TAHMSystemDetails::staticMetaObject;
    ASSERT_EQ(meta.propertyCount() - meta.propertyOffset(), int(std::size(expected)));
    for (int i = 0; i < int(std::size(expected)); ++i) {
        const QMetaProperty p = meta.property(meta.propertyOffset() + i);
        EXPECT_STREQ(p.name(), expected[i].name);
        EXPECT_EQ(p.metaType().id(), expected[i].type) << expected[i].name;
        EXPECT_FALSE(p.isWritable()) << expected[i].name;
    }
    TAHMSystemDetails details;
    EXPECT_FALSE(details.setProperty("OperatingSystem", s("Windows NT")));
    EXPECT_GE(meta.indexOfSignal("OnUpdate(QObject*)"), 0);
}

TEST(SystemDetails, ReportsThisMachine)
{
    struct utsname names;
    ASSERT_EQ(uname(&names), 0);
    TAHMSystemDetails details;
    EXPECT_EQ(details.OperatingSystem(), QString::fromLocal8Bit(names.sysname));
    EXPECT_EQ(details.OperatingSystem(), s("Linux"));
    EXPECT_EQ(details.VersionNumber(), SystemFacts::versionNumber(s(names.release)));
    EXPECT_FALSE(details.VersionNumber().isEmpty());
    EXPECT_EQ(details.ComputerName(), QSysInfo::machineHostName());
    EXPECT_FALSE(details.UserName().isEmpty());
    EXPECT_GE(details.NoOfProcessors(), 1);
    EXPECT_EQ(details.DirectoryTemp(), QDir::tempPath() + s("/"));
    EXPECT_EQ(details.Language(), SystemFacts::languageName(QLocale::system()));
    EXPECT_NE(details.ProcessorType(), QString());
    EXPECT_FALSE(details.Plus());
    for (const QString& empty :
         {details.PlatformCSD(), details.RegisteredOwner(), details.RegisteredCompany(),
          details.DirectoryWindows(), details.DirectorySystem()})
        EXPECT_EQ(empty, QString());
}

TEST(SystemDetails, DirectoryCurrentRefreshesEverythingAndSignals)
{
    const QString saved = QDir::currentPath();
    QTemporaryDir dir;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    TAHMSystemDetails details;
    QSignalSpy updates(&details, &TAHMSystemDetails::OnUpdate);

    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    qputenv("TMPDIR", dir.path().toLocal8Bit());
    EXPECT_EQ(details.DirectoryCurrent(), QDir::currentPath());
    QDir::setCurrent(saved);
    qputenv("TMPDIR", savedTmp);
    if (savedTmp.isNull())
        qunsetenv("TMPDIR");

    ASSERT_EQ(updates.count(), 1);
    EXPECT_EQ(updates.at(0).at(0).value<QObject*>(), &details);
    // The other properties were refreshed too, and keep that value until the next refresh.
    EXPECT_EQ(details.DirectoryTemp(), dir.path() + s("/"));
    EXPECT_EQ(updates.count(), 1);
    EXPECT_EQ(details.DirectoryCurrent(), saved);
    EXPECT_EQ(updates.count(), 2);
}

TEST(SystemDetails, ScreenSizeIsThePrimaryScreens)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    TAHMSystemDetails details;
    EXPECT_EQ(details.ScreenWidth(), screen->size().width());
    EXPECT_EQ(details.ScreenHeight(), screen->size().height());
    EXPECT_GT(details.ScreenWidth(), 0);
}

TEST(SystemFacts, TextsForProcessorsAndKernels)
{
    const struct
    {
        const char* arch;
        const char* type;
    } types[] = {{"x86_64", "Intel"},      {"i386", "Intel"},  {"arm64", "Arm"},
                 {"arm", "Arm"},           {"mips64", "Mips"}, {"power64", "PPC"},
                 {"alpha", "Alpha"},       {"sh", "SHX"},      {"riscv64", "Unknown Processor"},
                 {"", "Unknown Processor"}};
    for (const auto& row : types)
        EXPECT_EQ(SystemFacts::processorTypeName(s(row.arch)), s(row.type)) << row.arch;

    const struct
    {
        int family;
        const char* level;
    } levels[] = {{2, "80286"},    {3, "80386"},    {4, "80486"},    {5, "Pentium"},
                  {6, "Pentium2"}, {9, "Pentium5"}, {10, "Unknown"}, {15, "Unknown"},
                  {26, "Unknown"}, {-1, "Unknown"}, {1, "Unknown"}};
    for (const auto& row : levels)
        EXPECT_EQ(SystemFacts::processorLevelName(s("Intel"), row.family), s(row.level))
            << row.family;
    EXPECT_EQ(SystemFacts::processorLevelName(s("Arm"), 6), s("Unknown"));

    EXPECT_EQ(SystemFacts::cpuFamily("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                                     "model\t\t: 85\n"),
              6);
    EXPECT_EQ(SystemFacts::cpuFamily("processor : 0\nCPU architecture: 8\n"), -1);

    const struct
    {
        const char* release;
        const char* version;
        const char* build;
    } kernels[] = {{"6.1.0-18-amd64", "6.1", "0"},
                   {"6.18.44-fc-v1272", "6.18", "44"},
                   {"5.15", "5.15", ""},
                   {"10.0.19045", "10.0", "19045"},
                   {"06.01.0106", "6.1", "106"},
                   {"6", "", ""},
                   {"", "", ""},
                   {"99999999999.1.2", "", ""}};
    for (const auto& row : kernels) {
        EXPECT_EQ(SystemFacts::versionNumber(s(row.release)), s(row.version)) << row.release;
        EXPECT_EQ(SystemFacts::buildNumber(s(row.release)), s(row.build)) << row.release;
    }
    EXPECT_EQ(SystemFacts::languageName(QLocale(QLocale::French, QLocale::Canada)), s("French"));
    EXPECT_EQ(SystemFacts::languageName(QLocale::c()), QString());
}
