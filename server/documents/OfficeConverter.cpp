#include "server/documents/OfficeConverter.h"

#include "server/documents/DocumentError.h"
#include "server/documents/DocumentStreams.h"

#include "server/engine/ChildSpawn.h"
#include "platform/OfficeLaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace OfficeConverter {
namespace {
// A second soffice on the same profile would hand its work to the first
// and end at once: conversions in this process take turns.
std::timed_mutex& officeMutex()
{
    static std::timed_mutex m;
    return m;
}

DocumentError failed(const QString& why)
{
    return DocumentError(DocumentError::Kind::Failed, why);
}

struct Child
{
    pid_t pid = -1;
    int out = -1;
    ~Child()
    {
        if (out >= 0)
            ::close(out);
        if (pid > 0) {
            ::kill(-pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
};
} // namespace

QString program()
{
    return OfficeLaunch::program();
}

QString convert(const QString& input, const QString& declared, const QString& target,
                const QString& outDir, const QString& profile, const DocumentRun& run,
                std::chrono::milliseconds timeout)
{
    // LibreOffice reads the document with the filter of the type it was
    // declared as, never one it guesses from the content: a web page named
    // .doc would otherwise be read as a web page, links and all.
    const QString filter = OfficeLaunch::inputFilter(declared);
    if (filter.isEmpty())
        throw DocumentError(
            DocumentError::Kind::Unsupported,
            QStringLiteral("Files of the type .%1 are not given to LibreOffice").arg(declared));
    const QString soffice = program();
    if (soffice.isEmpty())
        throw DocumentError(DocumentError::Kind::Unsupported,
                            QStringLiteral("LibreOffice is needed to translate this kind of "
                                           "document and is not installed"));
    std::unique_lock lock(officeMutex(), std::defer_lock);
    while (!lock.try_lock_for(std::chrono::milliseconds(200)))
        run.check();
    if (!OfficeLaunch::prepareProfile(profile))
        throw failed(QStringLiteral("LibreOffice's settings could not be written"));

    const OfficeLaunch::Command command =
        OfficeLaunch::convertCommand(soffice, profile, filter, target, outDir, input);
    std::vector<std::string> words{QFile::encodeName(command.program).toStdString()};
    for (const QString& a : command.arguments)
        words.push_back(QFile::encodeName(a).toStdString());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw failed(QStringLiteral("LibreOffice could not be started"));
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    Child child;
    int error = 0;
    // A group of its own, so that its helpers (oosplash, soffice.bin) end
    // with it.
    child.pid =
        spawnChild(argv[0], argv.data(), devNull, pipeFds[1], pipeFds[1], true, false, &error);
    ::close(pipeFds[1]);
    if (devNull >= 0)
        ::close(devNull);
    child.out = pipeFds[0];
    if (error != 0) {
        child.pid = -1;
        throw failed(QStringLiteral("LibreOffice could not be started"));
    }

    const auto until = std::min(run.deadline(), DocumentControl::Clock::now() + timeout);
    QByteArray said;
    int status = 0;
    bool ended = false;
    while (!ended) {
        if (run.cancelled() || DocumentControl::Clock::now() >= until) {
            ::kill(-child.pid, SIGKILL);
            while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
            }
            child.pid = -1;
            run.check();
            throw DocumentError(DocumentError::Kind::TimedOut,
                                QStringLiteral("LibreOffice did not finish the conversion within "
                                               "%1 seconds")
                                    .arg(timeout.count() / 1000));
        }
        pollfd fd{child.out, POLLIN, 0};
        if (child.out >= 0 && ::poll(&fd, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(child.out, buffer, sizeof buffer);
            if (n > 0 && said.size() < 65536)
                said.append(buffer, n);
            if (n == 0) {
                ::close(child.out);
                child.out = -1;
            }
        } else if (child.out < 0) {
            ::usleep(50000);
        }
        const pid_t done = ::waitpid(child.pid, &status, WNOHANG);
        if (done == child.pid) {
            ended = true;
            // Its helpers may linger in the group.
            ::kill(-child.pid, SIGKILL);
            child.pid = -1;
        }
    }

    const QString base = QFileInfo(input).completeBaseName();
    const QString extension = target.section(QLatin1Char(':'), 0, 0);
    const QString result = QDir(outDir).filePath(base + QLatin1Char('.') + extension);
    if (!QFileInfo(result).isFile()) {
        // soffice tells of a document it cannot load on its output, not in
        // its exit code; what it says names our scratch files.
        throw DocumentError(DocumentError::Kind::Refused, OfficeLaunch::failureReason(said));
    }
    return result;
}
} // namespace OfficeConverter
