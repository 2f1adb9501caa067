#include "server/apertium/ApertiumPipeline.h"

#include "server/engine/ApertiumStream.h"
#include "server/engine/ChildSpawn.h"
#include "server/engine/WorkScope.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
using Clock = ApertiumPipeline::Clock;

const std::chrono::seconds coldStart{10};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Ends a child that holds nothing we need, and reaps it.
void killAndReap(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Reaps a child that has ended; false while it runs.
bool ended(pid_t pid)
{
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    return r == pid || (r < 0 && errno != EINTR);
}

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// What the relay holds for the tagger at most before it stops reading:
// the stages before it wait as they would on a full pipe.
constexpr qsizetype relayBound = 65536;

// argv for posix_spawn, built before anything is started.
struct Argv
{
    std::vector<std::string> words;
    std::vector<char*> pointers;

    explicit Argv(const ApertiumStage& stage)
    {
        words.push_back(stage.program.toStdString());
        for (const QString& a : stage.arguments)
            words.push_back(a.toStdString());
        for (std::string& w : words)
            pointers.push_back(w.data());
        pointers.push_back(nullptr);
    }
};

// Starts one stage reading from `in` and writing to `out`, in a process
// group of its own so that a Ctrl-C meant for the terminal reaches the
// service, which then stops its pipelines in order.
pid_t spawnStage(const ApertiumStage& stage, int in, int out, int* error, int err = -1)
{
    Argv argv(stage);
    return spawnChild(argv.words[0].c_str(), argv.pointers.data(), in, out, err, true, false,
                      error);
}

bool isTagger(const ApertiumStage& stage)
{
    return stage.program.endsWith(QLatin1String("/apertium-tagger")) &&
           stage.arguments.contains(QLatin1String("-g"));
}

// The mode with its tagger telling what it meets (-d): notes on stderr,
// the translation unchanged.
ApertiumMode withTaggerNotes(ApertiumMode mode)
{
    for (ApertiumStage& stage : mode.stages) {
        if (isTagger(stage)) {
            stage.arguments.prepend(QStringLiteral("-d"));
            break; // modes have one
        }
    }
    return mode;
}

// A tag that the tagset lacks is only reported; every other note is about
// an ambiguity class the model lacks, which changes the tagger.
bool harmlessNote(const QByteArray& line)
{
    return line.startsWith("Warning: There is not coarse tag for the fine tag") ||
           line.trimmed() == "This is because of an incomplete tagset definition or a dictionary "
                             "error" ||
           line.trimmed().isEmpty();
}
} // namespace

ApertiumPipeline::ApertiumPipeline(const ApertiumMode& mode) : m_mode(withTaggerNotes(mode))
{
    for (qsizetype i = 0; i < m_mode.stages.size() && m_tagger < 0; ++i) {
        if (isTagger(m_mode.stages[i]))
            m_tagger = i;
    }
}

ApertiumPipeline::~ApertiumPipeline()
{
    stop();
}

QList<pid_t> ApertiumPipeline::pids() const
{
    std::lock_guard lock(m_publishedMutex);
    return m_published;
}

pid_t ApertiumPipeline::sparePid() const
{
    std::lock_guard lock(m_publishedMutex);
    return m_publishedSpare;
}

void ApertiumPipeline::publishPidsLocked()
{
    std::lock_guard lock(m_publishedMutex);
    m_published = m_pids;
    m_publishedSpare = m_spare.pid;
}

void ApertiumPipeline::stop()
{
    std::lock_guard lock(m_mutex);
    stopLocked();
}

QByteArray ApertiumPipeline::translate(const QByteArray& stream, Clock::time_point deadline)
{
    std::lock_guard lock(m_mutex);
    if (!runningLocked()) {
        stopLocked();
        startLocked();
        // The stages load their data while this exchange waits: on a busy
        // machine that takes seconds the request's own deadline does not
        // know of.
        deadline += coldStart;
    }
    // The marker is a superblank, which every stage passes on untouched;
    // its number tells this call's answer from anything older. The guard
    // leaves no NUL in the stream, and no unclosed superblank the marker
    // could fall into.
    const QByteArray marker = "[tarquell-" + QByteArray::number(++m_calls) + ']';
    QByteArray input = ApertiumStream::guard(stream, ApertiumStream::Guard::Continuation);
    input += '\0' + marker + '\0';
    QByteArray answer;
    try {
        answer = exchangeLocked(input, '\0' + marker + '\0', deadline);
    } catch (const PipelineFailure&) {
        stopLocked();
        throw;
    }
    // The tagger has written its notes on this exchange before the answer
    // left it.
    readTaggerNotesLocked();
    if (m_taggerLearned)
        restartTaggerLocked();
    else if (m_tagger >= 0 && m_spare.pid < 0 && !m_pids.isEmpty())
        startSpareLocked(); // the last one ended or could not start
    return answer;
}

void ApertiumPipeline::readTaggerNotesLocked()
{
    char buffer[4096];
    while (m_taggerNotes >= 0) {
        const ssize_t n = ::read(m_taggerNotes, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return; // nothing more for now
        if (n == 0) {
            closeFd(m_taggerNotes);
            return;
        }
        m_notesLine.append(buffer, n);
        qsizetype start = 0;
        for (qsizetype end = m_notesLine.indexOf('\n'); end >= 0;
             end = m_notesLine.indexOf('\n', start)) {
            if (!harmlessNote(m_notesLine.mid(start, end - start)))
                m_taggerLearned = true;
            start = end + 1;
        }
        m_notesLine.remove(0, start);
        if (m_notesLine.size() > 4096) {
            m_taggerLearned = true;
            m_notesLine.clear();
        }
    }
}

ApertiumPipeline::Tagger ApertiumPipeline::spawnTaggerLocked(int* error)
{
    int in[2];
    int notes[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        *error = errno;
        return {};
    }
    if (::pipe2(notes, O_CLOEXEC) != 0) {
        *error = errno;
        ::close(in[0]);
        ::close(in[1]);
        return {};
    }
    Tagger tagger;
    tagger.pid = spawnStage(m_mode.stages[m_tagger], in[0], m_taggerOut, error, notes[1]);
    ::close(in[0]);
    ::close(notes[1]);
    if (tagger.pid < 0) {
        ::close(in[1]);
        ::close(notes[0]);
        return {};
    }
    tagger.in = in[1];
    tagger.notes = notes[0];
    setNonBlocking(tagger.in);
    setNonBlocking(tagger.notes);
    return tagger;
}

void ApertiumPipeline::startSpareLocked()
{
    // Without one the next learning exchange starts a tagger itself.
    int error = 0;
    m_spare = spawnTaggerLocked(&error);
    publishPidsLocked();
}

void ApertiumPipeline::dropSpareLocked()
{
    killAndReap(m_spare.pid);
    closeFd(m_spare.in);
    closeFd(m_spare.notes);
    m_spare = {};
}

void ApertiumPipeline::restartTaggerLocked()
{
    // Between exchanges the tagger holds nothing: all that came for it has
    // gone through it, and the pipe out of it is ours too, so the next
    // stage never sees it end.
    pid_t& pid = m_pids[m_tagger];
    killAndReap(pid);
    closeFd(m_taggerIn);
    closeFd(m_taggerNotes);
    m_notesLine.clear();
    m_taggerLearned = false;
    ++m_taggerRestarts;
    Tagger next = m_spare;
    m_spare = {};
    if (next.pid > 0 && ended(next.pid)) {
        // Killed meanwhile: one is started now, and waited for.
        closeFd(next.in);
        closeFd(next.notes);
        next = {};
    }
    if (next.pid < 0) {
        int error = 0;
        next = spawnTaggerLocked(&error);
    }
    pid = next.pid;
    if (pid < 0) {
        // The next call starts the whole pipeline again.
        stopLocked();
        return;
    }
    m_taggerIn = next.in;
    m_taggerNotes = next.notes;
    startSpareLocked();
}

bool ApertiumPipeline::runningLocked()
{
    if (m_pids.isEmpty())
        return false;
    bool all = true;
    for (pid_t& pid : m_pids) {
        if (pid <= 0) {
            all = false;
            continue;
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1; // reaped
            all = false;
        }
    }
    if (m_spare.pid > 0 && ended(m_spare.pid)) {
        m_spare.pid = -1; // reaped
        dropSpareLocked();
        publishPidsLocked();
    }
    return all;
}

void ApertiumPipeline::startLocked()
{
    const qsizetype n = m_mode.stages.size();
    // n + 1 pipes: ours into the first stage, between stages, the last stage
    // back to us. All close on exec; the children get theirs by dup2.
    std::vector<int> fds;
    const auto closeAll = [&fds] {
        for (int& fd : fds)
            closeFd(fd);
    };
    for (qsizetype i = 0; i <= n; ++i) {
        int p[2];
        if (::pipe2(p, O_CLOEXEC) != 0) {
            const int error = errno;
            closeAll();
            throw PipelineFailure(QStringLiteral("Apertium (%1) could not be started: %2")
                                      .arg(m_mode.name, systemError(error)));
        }
        fds.push_back(p[0]);
        fds.push_back(p[1]);
    }
    // Pipe i is fds[2i] (read end) and fds[2i + 1] (write end).
    for (qsizetype i = 0; i < n; ++i) {
        int error = 0;
        pid_t pid = -1;
        if (i == m_tagger) {
            // The pipe out of it stays open here too, for the taggers that
            // follow; the one into it is read by us, and relayed.
            m_taggerOut = ::fcntl(fds[2 * (i + 1) + 1], F_DUPFD_CLOEXEC, 0);
            if (m_taggerOut < 0) {
                error = errno;
            } else {
                const Tagger tagger = spawnTaggerLocked(&error);
                pid = tagger.pid;
                m_taggerIn = tagger.in;
                m_taggerNotes = tagger.notes;
            }
        } else {
            pid = spawnStage(m_mode.stages[i], fds[2 * i], fds[2 * (i + 1) + 1], &error);
        }
        if (pid < 0) {
            closeAll();
            stopLocked();
            throw PipelineFailure(
                QStringLiteral("Apertium (%1) could not be started: %2: %3")
                    .arg(m_mode.name, m_mode.stages[i].program, systemError(error)));
        }
        m_pids << pid;
    }
    m_fromPipeline = fds[2 * n];
    fds[2 * n] = -1;
    setNonBlocking(m_fromPipeline);
    if (m_tagger != 0) {
        m_toPipeline = fds[1];
        fds[1] = -1;
        setNonBlocking(m_toPipeline);
    }
    if (m_tagger > 0) {
        m_relayFrom = fds[2 * m_tagger];
        fds[2 * m_tagger] = -1;
        setNonBlocking(m_relayFrom);
    }
    closeAll();
    if (m_tagger >= 0)
        startSpareLocked();
    publishPidsLocked();
}

void ApertiumPipeline::stopLocked()
{
    // Closing the first stage's input lets the chain drain and end by
    // itself; what is still there shortly after is made to end.
    closeFd(m_toPipeline);
    closeFd(m_fromPipeline);
    closeFd(m_relayFrom);
    closeFd(m_taggerIn);
    closeFd(m_taggerOut);
    closeFd(m_taggerNotes);
    closeFd(m_spare.in);
    closeFd(m_spare.notes);
    m_relay.clear();
    m_notesLine.clear();
    m_taggerLearned = false;
    // The spare ends with the stages: its input has just closed.
    if (m_spare.pid > 0)
        m_pids << m_spare.pid;
    m_spare = {};
    for (pid_t pid : std::as_const(m_pids)) {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::kill(pid, SIGCONT);
        }
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(500);
    for (pid_t& pid : m_pids) {
        while (pid > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid || (r < 0 && errno != EINTR)) {
                pid = -1;
            } else if (Clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
                pid = -1;
            } else if (r == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
    }
    m_pids.clear();
    publishPidsLocked();
}

QByteArray ApertiumPipeline::exchangeLocked(const QByteArray& input, const QByteArray& terminator,
                                            Clock::time_point deadline)
{
    const auto allowed =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const auto failed = [this](const QString& why) {
        return PipelineFailure(
            QStringLiteral("The Apertium translator (%1) %2; it will be restarted for the next "
                           "request")
                .arg(m_mode.name, why));
    };
    // A tagger that comes first takes our input itself.
    const int entry = m_tagger == 0 ? m_taggerIn : m_toPipeline;
    qsizetype written = 0;
    QByteArray output;
    char buffer[65536];
    for (;;) {
        pollfd fds[5];
        nfds_t count = 0;
        const bool writing = written < input.size();
        if (writing)
            fds[count++] = {entry, POLLOUT, 0};
        const nfds_t readIndex = count;
        fds[count++] = {m_fromPipeline, POLLIN, 0};
        // The tagger's notes are read as they come: a tagger that cannot
        // write them stops translating.
        const nfds_t notesIndex = count;
        if (m_taggerNotes >= 0)
            fds[count++] = {m_taggerNotes, POLLIN, 0};
        const nfds_t relayInIndex = count;
        if (m_relayFrom >= 0 && m_relay.size() < relayBound)
            fds[count++] = {m_relayFrom, POLLIN, 0};
        const nfds_t relayOutIndex = count;
        if (m_relayFrom >= 0 && !m_relay.isEmpty())
            fds[count++] = {m_taggerIn, POLLOUT, 0};

        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            throw failed(
                QStringLiteral("gave no answer within %1 ms").arg(std::max<qint64>(0, allowed)));
        // Half an answer cannot be left in the stages: a request given up
        // ends the exchange and the pipeline with it.
        if (WorkScope::givenUp())
            throw failed(QStringLiteral("was stopped: its request was given up"));
        const int ready = ::poll(
            fds, count, static_cast<int>(std::min(left, WorkScope::checkInterval).count()) + 1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw failed(QStringLiteral("could not be waited for: %1").arg(systemError(errno)));
        }
        if (ready == 0)
            continue; // the deadline check above ends the call
        if (notesIndex < count && fds[notesIndex].revents != 0)
            readTaggerNotesLocked();

        if (writing && fds[0].revents != 0) {
            const qsizetype chunk = std::min<qsizetype>(input.size() - written, 65536);
            const ssize_t n = ::write(entry, input.constData() + written, chunk);
            if (n > 0) {
                written += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                throw failed(QStringLiteral("stopped taking text (%1)").arg(systemError(errno)));
            }
        }
        if (relayInIndex < count && fds[relayInIndex].revents != 0) {
            const ssize_t n = ::read(m_relayFrom, buffer, sizeof buffer);
            if (n == 0)
                throw failed(QStringLiteral("stopped unexpectedly"));
            if (n > 0)
                m_relay.append(buffer, n);
            else if (errno != EAGAIN && errno != EINTR)
                throw failed(QStringLiteral("could not be read (%1)").arg(systemError(errno)));
        }
        if (relayOutIndex < count && fds[relayOutIndex].revents != 0) {
            const ssize_t n =
                ::write(m_taggerIn, m_relay.constData(),
                        static_cast<size_t>(std::min<qsizetype>(m_relay.size(), 65536)));
            if (n > 0)
                m_relay.remove(0, n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                throw failed(QStringLiteral("stopped taking text (%1)").arg(systemError(errno)));
        }
        if (fds[readIndex].revents != 0) {
            const ssize_t n = ::read(m_fromPipeline, buffer, sizeof buffer);
            if (n == 0)
                throw failed(QStringLiteral("stopped unexpectedly"));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                throw failed(QStringLiteral("could not be read (%1)").arg(systemError(errno)));
            }
            const qsizetype from = std::max<qsizetype>(0, output.size() - terminator.size());
            output.append(buffer, n);
            const qsizetype end = output.indexOf(terminator, from);
            if (end >= 0) {
                // Anything before an earlier NUL is not this call's.
                const qsizetype start = end > 0 ? output.lastIndexOf('\0', end - 1) + 1 : 0;
                return output.mid(start, end - start);
            }
        }
    }
}
