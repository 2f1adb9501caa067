#include "server/engine/FilterProcess.h"

#include "server/engine/ChildSpawn.h"
#include "server/engine/WorkScope.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

struct Fd
{
    int fd = -1;
    ~Fd() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};
} // namespace

QByteArray runFilter(const QString& program, const QStringList& arguments, const QByteArray& input,
                     std::chrono::milliseconds timeout)
{
    std::vector<std::string> words{program.toStdString()};
    for (const QString& a : arguments)
        words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        throw TarquellError(QStringLiteral("%1 could not be started: %2")
                                .arg(program, QString::fromLocal8Bit(std::strerror(errno))));
    if (::pipe2(out, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(in[0]);
        ::close(in[1]);
        throw TarquellError(QStringLiteral("%1 could not be started: %2")
                                .arg(program, QString::fromLocal8Bit(std::strerror(error))));
    }
    Fd childIn{in[0]}, toChild{in[1]}, fromChild{out[0]}, childOut{out[1]};

    int spawnError = 0;
    // In a group of its own, so that a script's own children go with it.
    const pid_t pid = spawnChild(words[0].c_str(), argv.data(), childIn.fd, childOut.fd, -1, true,
                                 true, &spawnError);
    if (spawnError != 0)
        throw TarquellError(QStringLiteral("%1 could not be started: %2")
                                .arg(program, QString::fromLocal8Bit(std::strerror(spawnError))));
    childIn.close();
    childOut.close();
    for (int fd : {toChild.fd, fromChild.fd})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    QByteArray output;
    QString failure;
    qsizetype written = 0;
    if (input.isEmpty())
        toChild.close();
    // From the start, whatever it writes: a filter that trickles its
    // answer gets no more time than one that is silent.
    const auto deadline = Clock::now() + timeout;
    char buffer[65536];
    while (fromChild.fd >= 0) {
        pollfd fds[2];
        nfds_t count = 0;
        fds[count++] = {fromChild.fd, POLLIN, 0};
        if (toChild.fd >= 0)
            fds[count++] = {toChild.fd, POLLOUT, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            failure =
                QStringLiteral("%1 gave no answer within %2 ms").arg(program).arg(timeout.count());
            break;
        }
        if (WorkScope::givenUp()) {
            failure = QStringLiteral("%1 was stopped: its request was given up").arg(program);
            break;
        }
        const int ready = ::poll(
            fds, count, static_cast<int>(std::min(left, WorkScope::checkInterval).count()) + 1);
        if (ready < 0 && errno != EINTR) {
            failure = QStringLiteral("%1 could not be waited for").arg(program);
            break;
        }
        if (ready <= 0)
            continue;
        if (count > 1 && fds[1].revents != 0) {
            const ssize_t n =
                ::write(toChild.fd, input.constData() + written,
                        static_cast<size_t>(std::min<qsizetype>(input.size() - written, 65536)));
            if (n > 0) {
                written += n;
                if (written == input.size())
                    toChild.close();
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                toChild.close(); // it stopped reading; its answer tells
            }
        }
        if (fds[0].revents != 0) {
            const ssize_t n = ::read(fromChild.fd, buffer, sizeof buffer);
            if (n > 0) {
                output.append(buffer, n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                fromChild.close();
            }
        }
    }
    if (!failure.isEmpty()) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (failure.isEmpty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        failure = QStringLiteral("%1 failed").arg(program);
    if (!failure.isEmpty())
        throw TarquellError(failure);
    return output;
}
