#include "OfficeLaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace OfficeLaunch {
namespace {

Q_LOGGING_CATEGORY(lcOffice, "tarquell.platform")

// The import filter of each type LibreOffice is handed, by the extension
// the document was declared as.
struct Filter
{
    const char* extension;
    const char* filter;
};
constexpr Filter filters[] = {
    {"doc", "MS Word 97"},
    {"dot", "MS Word 97 Vorlage"},
    {"rtf", "Rich Text Format"},
    {"wri", "MS_Write"},
    {"wpd", "WordPerfect"},
    {"wps", "MS_Works"},
    {"lwp", "LotusWordPro"},
    {"abw", "AbiWord"},
    {"hwp", "writer_MIZI_Hwp_97"},
    {"sxw", "StarOffice XML (Writer)"},
    {"pages", "Apple Pages"},
    {"fodt", "OpenDocument Text Flat XML"},
    {"odt", "writer8"},
    {"ott", "writer8_template"},
    {"docx", "MS Word 2007 XML"},
    {"docm", "MS Word 2007 XML VBA"},
    {"dotx", "MS Word 2007 XML Template"},
    {"dotm", "MS Word 2007 XML Template"},
};

// Settings in LibreOffice's own registry format. BlockUntrustedRefererLinks
// keeps linked images and other links of a document that is not in a
// trusted place from loading; Update/Link "never" (Writer 2, Calc 1: their
// tables count differently) leaves OLE links and linked sections as they
// were saved. The proxy on port 1 of loopback answers nothing: a fetch that
// slips through everything else fails there.
constexpr char settings[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="SecureURL" oor:op="fuse"><value/></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="TrustedAuthors" oor:op="fuse"><value/></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>2</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Field" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Chart" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetProxyType" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPProxyName" oor:op="fuse"><value>127.0.0.1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPProxyPort" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPSProxyName" oor:op="fuse"><value>127.0.0.1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetHTTPSProxyPort" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetFTPProxyName" oor:op="fuse"><value>127.0.0.1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetFTPProxyPort" oor:op="fuse"><value>1</value></prop></item>
<item oor:path="/org.openoffice.Inet/Settings"><prop oor:name="ooInetNoProxy" oor:op="fuse"><value></value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="UseLocking" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";

// How unshare(1) is told to map our user in the new namespace; empty when
// it cannot run here.
struct Isolation
{
    QString unshare;
    QString mapping;
    // A pid namespace too where the system allows it: when the process we
    // start dies, every process LibreOffice forked in it dies with it.
    QStringList ownPids;
};

// setpriv(1), which gives the process we start a death signal: it is
// killed when its parent dies, even by SIGKILL. Empty where not installed.
const QString& setpriv()
{
    static const QString found = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    return found;
}

int runQuietly(const QString& program, const QStringList& arguments)
{
    QList<QByteArray> words{QFile::encodeName(program)};
    for (const QString& a : arguments)
        words << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const Isolation& isolation()
{
    static Isolation found;
    static std::once_flag once;
    std::call_once(once, [] {
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        const QString trueProgram = QStandardPaths::findExecutable(QStringLiteral("true"));
        if (!unshare.isEmpty() && !trueProgram.isEmpty()) {
            const QStringList ownPids{QStringLiteral("--pid"), QStringLiteral("--kill-child")};
            for (const char* mapping : {"--map-current-user", "--map-root-user"}) {
                const QString m = QString::fromLatin1(mapping);
                for (const QStringList& pids : {ownPids, QStringList()}) {
                    if (runQuietly(unshare, QStringList{QStringLiteral("--net"), m} + pids +
                                                QStringList{QStringLiteral("--"), trueProgram}) ==
                        0) {
                        found = {unshare, m, pids};
                        break;
                    }
                }
                if (!found.unshare.isEmpty())
                    break;
            }
        }
        if (found.unshare.isEmpty())
            qCWarning(lcOffice,
                      "LibreOffice runs with the network of this machine: the system does not let "
                      "it have a network namespace of its own (unshare --net); its settings still "
                      "keep documents from loading what they link to");
    });
    return found;
}

} // namespace

QString program()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (found.isEmpty() &&
        QFileInfo(QStringLiteral("/usr/lib/libreoffice/program/soffice")).isExecutable())
        found = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    return found;
}

QString inputFilter(const QString& extension)
{
    const QString lower = extension.toLower();
    for (const Filter& f : filters) {
        if (lower == QLatin1String(f.extension))
            return QString::fromLatin1(f.filter);
    }
    return {};
}

QByteArray profileSettings()
{
    return QByteArray(settings);
}

bool prepareProfile(const QString& profile)
{
    const QString user = profile + QStringLiteral("/user");
    if (!QDir().mkpath(user))
        return false;
    QSaveFile file(user + QStringLiteral("/registrymodifications.xcu"));
    const QByteArray text = profileSettings();
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

bool canIsolateNetwork()
{
    return !isolation().unshare.isEmpty();
}

Command convertCommand(const QString& soffice, const QString& profile, const QString& filter,
                       const QString& target, const QString& outDir, const QString& input,
                       bool isolate)
{
    Command command;
    QStringList office{QStringLiteral("-env:UserInstallation=") +
                           QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
                       QStringLiteral("--headless"),
                       QStringLiteral("--invisible"),
                       QStringLiteral("--norestore"),
                       QStringLiteral("--nologo"),
                       QStringLiteral("--nolockcheck"),
                       QStringLiteral("--nodefault")};
    if (!filter.isEmpty())
        office << QStringLiteral("--infilter=") + filter;
    office << QStringLiteral("--convert-to") << target << QStringLiteral("--outdir") << outDir
           << input;
    const Isolation& iso = isolation();
    if (isolate && !iso.unshare.isEmpty()) {
        // unshare stays in the process group of the child we started, and
        // with a pid namespace forks soffice as the namespace's first
        // process: when unshare dies, that process is killed, and with it
        // every process of the namespace (soffice.bin is soffice's child).
        command.program = iso.unshare;
        command.arguments = QStringList{QStringLiteral("--net"), iso.mapping} + iso.ownPids +
                            QStringList{QStringLiteral("--"), soffice} + office;
        command.isolated = true;
    } else {
        command.program = soffice;
        command.arguments = office;
    }
    // The process we start dies with whoever started it, even when that
    // one is killed and has no chance to clean up.
    if (!setpriv().isEmpty()) {
        command.arguments = QStringList{QStringLiteral("--pdeathsig"), QStringLiteral("KILL"),
                                        QStringLiteral("--"), command.program} +
                            command.arguments;
        command.program = setpriv();
    }
    return command;
}

QString failureReason(const QByteArray& output)
{
    // soffice names the files and its own process in what it writes;
    // only the phrases we know are passed on.
    const QByteArray said = output.toLower();
    if (said.contains("source file could not be loaded"))
        return QStringLiteral("LibreOffice could not read the document as the type its name "
                              "says");
    if (said.contains("no export filter"))
        return QStringLiteral("LibreOffice cannot write the document in the type asked for");
    return QStringLiteral("LibreOffice could not convert the document");
}

} // namespace OfficeLaunch
