#include "platform/ConfigPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Sets environment variables for one test and puts the old values back.
class EnvScope
{
public:
    void set(const char* name, const QByteArray& value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                                 : std::nullopt);
        qputenv(name, value);
    }
    void unset(const char* name)
    {
        set(name, {});
        qunsetenv(name);
    }
    ~EnvScope()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            if (it.value())
                qputenv(it.key(), *it.value());
            else
                qunsetenv(it.key());
        }
    }

private:
    QMap<const char*, std::optional<QByteArray>> m_saved;
};
} // namespace

TEST(WorkingFolder, WritableProgramFolderIsUsedAndLeftClean)
{
    QTemporaryDir program;
    EXPECT_EQ(ConfigPaths::workingFolderFor(program.path()), program.path());
    EXPECT_TRUE(QDir(program.path())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
}

// A folder whose parent is a regular file can hold no file, for root too.
TEST(WorkingFolder, UnwritableProgramFolderFallsBackToTheUserCache)
{
    QTemporaryDir home;
    QFile plain(home.filePath(s("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString unwritable = home.filePath(s("plain/lib"));
    ASSERT_FALSE(ConfigPaths::canCreateFiles(unwritable));

    EnvScope env;
    env.set("HOME", home.path().toUtf8());
    const struct
    {
        const char* xdg; // null: unset
        QString expected;
    } rows[] = {
        {"/cache", home.filePath(s("cache/TarquellTranslator"))},
        {"", home.filePath(s(".cache/TarquellTranslator"))},
        {"relative/cache", home.filePath(s(".cache/TarquellTranslator"))},
        {nullptr, home.filePath(s(".cache/TarquellTranslator"))},
    };
    for (const auto& row : rows) {
        if (!row.xdg)
            env.unset("XDG_CACHE_HOME");
        else if (row.xdg[0] == '/')
            env.set("XDG_CACHE_HOME", (home.path() + s(row.xdg)).toUtf8());
        else
            env.set("XDG_CACHE_HOME", row.xdg);
        const QString folder = ConfigPaths::workingFolderFor(unwritable);
        EXPECT_EQ(folder, row.expected) << (row.xdg ? row.xdg : "(unset)");
        // Created, and usable for the working files.
        EXPECT_TRUE(ConfigPaths::canCreateFiles(folder)) << folder.toStdString();
    }
}

// The window names its folder for the sibling programs it starts; a folder
// named that way wins over the program folder.
TEST(WorkingFolder, PublishedFolderReachesTheSiblings)
{
    QTemporaryDir named;
    EnvScope env;
    env.unset("TARQUELL_WORK_DIR");
    EXPECT_EQ(ConfigPaths::publishWorkingFolder(), ConfigPaths::programFolder());
    EXPECT_EQ(qEnvironmentVariable("TARQUELL_WORK_DIR"), ConfigPaths::programFolder());

    env.set("TARQUELL_WORK_DIR", (named.path() + s("/")).toUtf8());
    EXPECT_EQ(ConfigPaths::workingFolder(), named.path());
    env.set("TARQUELL_WORK_DIR", "relative/work");
    EXPECT_EQ(ConfigPaths::workingFolder(), ConfigPaths::programFolder());
}
