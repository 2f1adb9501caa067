#include "platform/ProfileFile.h"
#include "QtPrinters.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QString s(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

ProfileFile parsed(const QByteArray& bytes)
{
    ProfileFile file;
    file.loadFromBytes(bytes);
    return file;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(ProfileFile, IntegerRule)
{
    const struct
    {
        const char* text;
        std::optional<int> value;
    } rows[] = {
        {"5000", 5000},
        {"  42  ", 42},
        {"+7", 7},
        {"-7", -7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$FF", 255},
        {"-$10", -16},
        {"0x00000000FF", 255}, // leading zeros are no digits of the pattern
        {"0xFFFFFFFF", -1},    // a 32-bit pattern
        {"0x100000000", {}},   // nine digits
        {"12abc", {}},         // not wholly an integer: the key's default
        {"3000 ; pieces", {}},
        {"1.5", {}},
        {"0x", {}},
        {"0xZZ", {}},
        {"0x1FZ", {}},
        {"$1 2", {}},
        {"\t-0x10\t", -16},
        {"$", {}},
        {"$G", {}},
        {"abc", {}},
        {"", {}},
        {"-", {}},
        {"- 5", {}},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", {}},
        {"99999999999999999999", {}},
        {"\xEF\xBC\x91", {}}, // a full-width digit is no digit
    };
    for (const auto& row : rows)
        EXPECT_EQ(ProfileFile::parseInteger(s(row.text)), row.value) << row.text;
}

TEST(ProfileFile, ReadingRules)
{
    const QByteArray file = "Orphan=before any section\n"
                            "[Options]\n"
                            "MT Quote=abc\n"
                            "  TimeOut  =  300  \n"
                            "Proxy Addr=\n"
                            ";Proxy Port=1\n"
                            "Drag and Drop=2\n"
                            "Load Settings=0x0\n"
                            "MultiThreading=-1\n"
                            "Auto Update=no\n"
                            "Dup=first\n"
                            "dup=second\n"
                            "no equals sign\n"
                            "=no key\n"
                            "[settings] ; remark\r\n"
                            "SRCLANG=Spanish\r\n"
                            "[Options]\n"
                            "Proxy Port=9999\n"
                            "[Interface\n"
                            "Language=Italian\n";
    const ProfileFile p = parsed(file);
    const QString options = s("Options");
    const struct
    {
        const char* section;
        const char* key;
        const char* expected; // with default "<default>"
    } strings[] = {
        {"Options", "TimeOut", "300"},
        {"OPTIONS", "timeout", "300"},
        {"Options", "Proxy Addr", ""}, // present and empty: not the default
        {"Options", "Proxy Port",
         "<default>"}, // comment line, and the second [Options] is not read
        {"Options", "Dup", "first"},
        {"Options", "no equals sign", "<default>"},
        {"Settings", "SrcLang", "Spanish"},
        {"", "Orphan", "<default>"},
        {"Interface", "Language", "<default>"}, // header never closed
        {"Settings", "Language", "<default>"},
        {"Missing", "Key", "<default>"},
    };
    for (const auto& row : strings)
        EXPECT_EQ(p.readString(s(row.section), s(row.key), s("<default>")), s(row.expected))
            << row.section << "/" << row.key;

    EXPECT_EQ(p.readInteger(options, s("MT Quote"), 5000), 5000);
    EXPECT_EQ(p.readInteger(options, s("TimeOut"), 1), 300);
    EXPECT_EQ(p.readInteger(options, s("Proxy Addr"), 8080), 8080); // empty parses as nothing
    EXPECT_TRUE(p.readBool(options, s("Drag and Drop"), false));
    EXPECT_FALSE(p.readBool(options, s("Load Settings"), true));
    EXPECT_TRUE(p.readBool(options, s("MultiThreading"), false));
    EXPECT_TRUE(p.readBool(options, s("Auto Update"), true));
    EXPECT_FALSE(p.readBool(options, s("Auto Update"), false));
    EXPECT_TRUE(p.contains(s("options"), s("proxy addr")));
    EXPECT_FALSE(p.contains(options, s("Proxy Port")));
}

TEST(ProfileFile, LongValuesAreCutAt2047WithoutSplittingACharacter)
{
    const QString plain(3000, QLatin1Char('a'));
    ProfileFile p;
    p.writeString(s("S"), s("Plain"), plain);
    // U+1F600 needs two UTF-16 units; one starts at unit 2046 and would be split.
    p.writeString(s("S"), s("Emoji"),
                  QString(2046, QLatin1Char('b')) + s("\xF0\x9F\x98\x80") + s("c"));
    const ProfileFile back = parsed(p.toBytes());
    EXPECT_EQ(back.readString(s("S"), s("Plain"), QString()), plain.left(2047));
    EXPECT_EQ(back.readString(s("S"), s("Emoji"), QString()), QString(2046, QLatin1Char('b')));
}

TEST(ProfileFile, WritingKeepsEverythingElseByteForByte)
{
    const QByteArray before = "; written by hand\n"
                              "[Options]\n"
                              "MT Quote = 3000\n"
                              "Unknown Key=kept \xE9t\xE9\n" // Latin-1
                              "TimeOut=50000\n"
                              "\n"
                              "; about the next section\n"
                              "[Other Program]\n"
                              "x=1\n"
                              "[Settings]\n"
                              "SrcLang=French";
    ProfileFile p = parsed(before);
    EXPECT_EQ(p.readString(s("Options"), s("Unknown Key"), QString()), s("kept \xC3\xA9t\xC3\xA9"));

    p.writeInteger(s("options"), s("mt quote"), 3000);  // same value: line left as written
    p.writeInteger(s("Options"), s("TimeOut"), 60000);  // replaced in place, own spelling kept
    p.writeBool(s("Options"), s("Auto Update"), false); // after the last key of [Options]
    p.writeString(s("Settings"), s("DstLang"), s("English"));
    p.writeString(s("Interface"), s("Language"), s("Chinois")); // new section at the end

    EXPECT_EQ(p.toBytes(), QByteArray("; written by hand\n"
                                      "[Options]\n"
                                      "MT Quote = 3000\n"
                                      "Unknown Key=kept \xE9t\xE9\n"
                                      "TimeOut=60000\n"
                                      "Auto Update=0\n"
                                      "\n"
                                      "; about the next section\n"
                                      "[Other Program]\n"
                                      "x=1\n"
                                      "[Settings]\n"
                                      "SrcLang=French\n"
                                      "DstLang=English\n"
                                      "\n"
                                      "[Interface]\n"
                                      "Language=Chinois\n"));
}

TEST(ProfileFile, FileWrittenFromNothingKeepsTheWriteOrder)
{
    ProfileFile p;
    p.writeString(s("Settings"), s("SrcLang"),
                  s("Fran\xC3\xA7"
                    "ais"));
    p.writeInteger(s("Settings"), s("SrcFntS"), -10);
    p.writeString(s("Interface"), s("Language"), s("English"));
    p.writeBool(s("Options"), s("MultiThreading"), true);
    p.writeString(s("Options"), s("Proxy Addr"), QString());
    EXPECT_EQ(p.toBytes(), QByteArray("[Settings]\nSrcLang=Fran\xC3\xA7"
                                      "ais\nSrcFntS=-10\n\n"
                                      "[Interface]\nLanguage=English\n\n"
                                      "[Options]\nMultiThreading=1\nProxy Addr=\n"));
}

TEST(ProfileFile, CrlfAndByteOrderMarkAreReadAndLfIsWritten)
{
    ProfileFile p = parsed("\xEF\xBB\xBF[Options]\r\nTimeOut=7\r\n; note\r\n");
    EXPECT_EQ(p.readInteger(s("Options"), s("TimeOut"), 0), 7);
    p.writeInteger(s("Options"), s("TimeOut"), 8);
    EXPECT_EQ(p.toBytes(), QByteArray("\xEF\xBB\xBF[Options]\nTimeOut=8\n; note\n"));

    // Found by fuzzing: stray carriage returns before the line feed must not
    // survive one save and vanish at the next.
    const ProfileFile stray = parsed("[A]\r\r\nk=v\r\r\r\na\rb=c\n");
    EXPECT_EQ(stray.toBytes(), QByteArray("[A]\nk=v\na\rb=c\n"));
    EXPECT_EQ(stray.readString(s("A"), s("a\rb"), QString()), s("c"));
}

TEST(ProfileFile, WrittenValueReadsTheSameBeforeAndAfterSaving)
{
    // Found by fuzzing: blanks around a written value were returned until the
    // file was read again.
    ProfileFile p;
    p.writeString(s("Options"), s("Proxy Addr"), s("  proxy.example  "));
    EXPECT_EQ(p.readString(s("Options"), s("Proxy Addr"), QString()), s("proxy.example"));
    EXPECT_EQ(parsed(p.toBytes()).readString(s("Options"), s("Proxy Addr"), QString()),
              s("proxy.example"));
}

TEST(ProfileFile, LineBreaksInAValueCannotAddKeysOrSections)
{
    ProfileFile p;
    p.writeString(s("Options"), s("Proxy Addr"), s("host\n[Evil]\r\nKey=1"));
    const ProfileFile back = parsed(p.toBytes());
    EXPECT_EQ(back.readString(s("Options"), s("Proxy Addr"), QString()), s("host [Evil]  Key=1"));
    EXPECT_FALSE(back.contains(s("Evil"), s("Key")));
}

TEST(ProfileFile, SaveAndLoadThroughTheDisk)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(s("new/folder/TarquellTranslator.ini"));
    ProfileFile missing(path);
    missing.load();
    EXPECT_EQ(missing.readInteger(s("Options"), s("MT Quote"), 5000), 5000);

    missing.writeInteger(s("Options"), s("MT Quote"), 3000);
    missing.save(); // creates the missing folders
    ProfileFile back(path);
    back.load();
    EXPECT_EQ(back.readInteger(s("Options"), s("MT Quote"), 5000), 3000);

    // A directory where the file should be reads as an empty file.
    ProfileFile folder(dir.path());
    folder.load();
    EXPECT_EQ(folder.toBytes(), QByteArray());
}

namespace {

// Root writes into read-only folders; the test then runs the save as nobody.
class Unprivileged
{
public:
    Unprivileged() : m_switched(geteuid() == 0 && seteuid(65534) == 0) {}
    ~Unprivileged()
    {
        if (m_switched) {
            EXPECT_EQ(seteuid(0), 0);
        }
    }

private:
    bool m_switched;
};

void expectUnableToWrite(const ProfileFile& p)
{
    try {
        p.save();
        ADD_FAILURE() << "save() did not fail";
    } catch (const TarquellError& e) {
        EXPECT_EQ(e.message(), s("Unable to write to TarquellTranslator.ini"));
    }
}

} // namespace

TEST(ProfileFile, FailedSaveReportsTheFileNameAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    const QString folder = dir.filePath(s("config"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + s("/TarquellTranslator.ini");
    const QByteArray old = "[Options]\nMT Quote=3000\n";
    writeFile(path, old);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));

    ProfileFile p(path);
    p.load();
    p.writeInteger(s("Options"), s("MT Quote"), 1);
    {
        Unprivileged nobody;
        if (faccessat(AT_FDCWD, folder.toLocal8Bit().constData(), W_OK, AT_EACCESS) == 0)
            GTEST_SKIP() << "cannot make a folder read-only for this user";
        expectUnableToWrite(p);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(fileBytes(path), old);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{s("TarquellTranslator.ini")});
}

TEST(ProfileFile, SaveThatFailsHalfWayLeavesTheOldFileAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(s("TarquellTranslator.ini"));
    const QByteArray old = "[Options]\nMT Quote=3000\n";
    writeFile(path, old);

    ProfileFile p(path);
    p.load();
    p.writeString(s("Options"), s("Big"), QString(100000, QLatin1Char('x')));

    // The disk "fills up" after 4 KiB: the temporary file is begun, then fails.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    expectUnableToWrite(p);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(fileBytes(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{s("TarquellTranslator.ini")});
}
