#include "server/apertium/ApertiumPipeline.h"

#include "server/apertium/TaggerModel.h"

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

// What a relay holds at most before it stops reading: the stage before
// waits as it would on a full pipe.
constexpr qsizetype relayBound = 65536;
// The warm-up fits in a pipe, so that a spare's input takes it at once and
// its output holds the answers.
constexpr qsizetype warmupBound = 16384;

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

} // namespace

ApertiumPipeline::ApertiumPipeline(const ApertiumMode& mode) : m_mode(TaggerModel::withNotes(mode))
{
    for (qsizetype i = 0; i < m_mode.stages.size() && m_tagger < 0; ++i) {
        if (TaggerModel::isTagger(m_mode.stages[i]))
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
    m_given.clear();
    m_givenWhole = m_warmup.size() < warmupBound;
    try {
        answer = exchangeLocked(input, '\0' + marker + '\0', deadline);
    } catch (const PipelineFailure&) {
        stopLocked();
        throw;
    }
    // The tagger has written its notes on this exchange before the answer
    // left it.
    readTaggerNotesLocked();
    if (m_taggerLearned) {
        restartTaggerLocked();
    } else if (m_tagger >= 0) {
        if (m_givenWhole && m_warmup.size() + m_given.size() <= warmupBound)
            m_warmup += m_given;
        if (m_spare.pid < 0)
            startSpareLocked(); // the last one ended or could not start
    }
    m_given.clear();
    reapEndedLocked();
    return answer;
}

void ApertiumPipeline::readTaggerNotesLocked()
{
    char buffer[4096];
    while (m_active.notes >= 0) {
        const ssize_t n = ::read(m_active.notes, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return; // nothing more for now
        if (n == 0) {
            closeFd(m_active.notes);
            return;
        }
        m_notesLine.append(buffer, n);
        qsizetype start = 0;
        for (qsizetype end = m_notesLine.indexOf('\n'); end >= 0;
             end = m_notesLine.indexOf('\n', start)) {
            if (TaggerModel::learnedFrom(m_notesLine.mid(start, end - start), m_model))
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
    // Its input, output and notes: ours are the first, third and fifth.
    int fds[6];
    int made = 0;
    for (; made < 3; ++made) {
        if (::pipe2(fds + 2 * made, O_CLOEXEC) != 0)
            break;
    }
    Tagger tagger;
    if (made == 3) {
        tagger.pid = spawnStage(m_mode.stages[m_tagger], fds[0], fds[3], error, fds[5]);
    } else {
        *error = errno;
    }
    for (int i = 0; i < 2 * made; ++i) {
        const bool ours = i == 1 || i == 2 || i == 4;
        if (tagger.pid < 0 || !ours)
            ::close(fds[i]);
    }
    if (tagger.pid < 0)
        return {};
    tagger.in = fds[1];
    tagger.out = fds[2];
    tagger.notes = fds[4];
    for (int fd : {tagger.in, tagger.out, tagger.notes})
        setNonBlocking(fd);
    return tagger;
}

void ApertiumPipeline::startSpareLocked()
{
    // Without one the next learning exchange starts a tagger itself.
    int error = 0;
    m_spare = spawnTaggerLocked(&error);
    if (m_spare.pid > 0 && !m_warmup.isEmpty()) {
        // It takes the warm-up while it loads; what the pipe does not take
        // now goes first when it serves.
        const ssize_t n = ::write(m_spare.in, m_warmup.constData(), m_warmup.size());
        m_spare.unsent = m_warmup.mid(std::max<ssize_t>(n, 0));
        m_spare.warmups = static_cast<int>(m_warmup.count('\0'));
    }
    publishPidsLocked();
}

void ApertiumPipeline::endTaggerLocked(Tagger& tagger)
{
    // It holds nothing we need: it is killed and reaped later, off the
    // request's way.
    if (tagger.pid > 0) {
        ::kill(tagger.pid, SIGKILL);
        m_ended << tagger.pid;
    }
    closeFd(tagger.in);
    closeFd(tagger.out);
    closeFd(tagger.notes);
    tagger = {};
}

void ApertiumPipeline::reapEndedLocked()
{
    m_ended.removeIf([](pid_t pid) { return ended(pid); });
}

void ApertiumPipeline::restartTaggerLocked()
{
    // Between exchanges the tagger holds nothing: all that came for it has
    // gone through it, and on through the stages after it.
    pid_t& pid = m_pids[m_tagger];
    endTaggerLocked(m_active);
    pid = -1;
    m_notesLine.clear();
    m_taggerLearned = false;
    ++m_taggerRestarts;
    if (m_spare.pid > 0 && ended(m_spare.pid)) {
        m_spare.pid = -1; // killed meanwhile, and reaped
        endTaggerLocked(m_spare);
    }
    if (m_spare.pid < 0) {
        // None ready: one is started now, and waited for.
        int error = 0;
        m_spare = spawnTaggerLocked(&error);
        if (m_spare.pid < 0) {
            // The next call starts the whole pipeline again.
            stopLocked();
            return;
        }
    }
    m_active = m_spare;
    m_spare = {};
    pid = m_active.pid;
    // What it has not been fed of its warm-up goes before the next
    // exchange's text.
    m_toTagger.prepend(m_active.unsent);
    m_active.unsent.clear();
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
        if (ended(pid)) {
            pid = -1; // reaped
            all = false;
        }
    }
    if (m_spare.pid > 0 && ended(m_spare.pid)) {
        m_spare.pid = -1; // reaped
        endTaggerLocked(m_spare);
        publishPidsLocked();
    }
    return all;
}

void ApertiumPipeline::startLocked()
{
    const qsizetype n = m_mode.stages.size();
    if (m_tagger >= 0 && !m_modelRead) {
        m_model = TaggerModel::read(TaggerModel::modelPath(m_mode.stages[m_tagger]));
        m_modelRead = true;
    }
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
            // The pipes on either side of it are ours, relayed to and from
            // the tagger that serves; the first or the last of them is the
            // pipeline's own input or output when the tagger comes first or
            // last.
            m_active = spawnTaggerLocked(&error);
            pid = m_active.pid;
            m_relayFrom = ::fcntl(fds[2 * i], F_DUPFD_CLOEXEC, 0);
            m_relayTo = ::fcntl(fds[2 * (i + 1) + 1], F_DUPFD_CLOEXEC, 0);
            if (pid > 0 && (m_relayFrom < 0 || m_relayTo < 0)) {
                error = errno;
                m_pids << pid;
                pid = -1;
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
    m_toPipeline = fds[1];
    m_fromPipeline = fds[2 * n];
    fds[1] = -1;
    fds[2 * n] = -1;
    closeAll();
    for (int fd : {m_toPipeline, m_fromPipeline, m_relayFrom, m_relayTo}) {
        if (fd >= 0)
            setNonBlocking(fd);
    }
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
    closeFd(m_relayTo);
    m_toTagger.clear();
    m_fromTagger.clear();
    m_notesLine.clear();
    m_taggerLearned = false;
    // The taggers' inputs close too; the spare and those killed before end
    // with the stages.
    QList<pid_t> all = m_pids;
    for (Tagger* tagger : {&m_active, &m_spare}) {
        if (tagger != &m_active && tagger->pid > 0)
            all << tagger->pid;
        closeFd(tagger->in);
        closeFd(tagger->out);
        closeFd(tagger->notes);
        *tagger = {};
    }
    all << m_ended;
    m_ended.clear();
    for (pid_t pid : std::as_const(all)) {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::kill(pid, SIGCONT);
        }
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(500);
    for (pid_t& pid : all) {
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

void ApertiumPipeline::relayOutputLocked(const char* data, qsizetype size)
{
    // A spare's answers to its warm-up come first, each ending in a NUL.
    while (m_active.warmups > 0 && size > 0) {
        const char* nul = static_cast<const char*>(std::memchr(data, '\0', size));
        if (!nul)
            return;
        --m_active.warmups;
        size -= nul + 1 - data;
        data = nul + 1;
    }
    m_fromTagger.append(data, size);
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
    qsizetype written = 0;
    QByteArray output;
    char buffer[65536];
    // Reads a pipe that must not end; false when nothing was there.
    const auto take = [&](int fd, qsizetype* n) {
        *n = ::read(fd, buffer, sizeof buffer);
        if (*n == 0)
            throw failed(QStringLiteral("stopped unexpectedly"));
        if (*n < 0 && errno != EAGAIN && errno != EINTR)
            throw failed(QStringLiteral("could not be read (%1)").arg(systemError(errno)));
        return *n > 0;
    };
    // Writes what a pipe takes of `data` now; how much it took.
    const auto give = [&](int fd, const char* data, qsizetype size) -> qsizetype {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(std::min<qsizetype>(size, 65536)));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw failed(QStringLiteral("stopped taking text (%1)").arg(systemError(errno)));
        return std::max<qsizetype>(n, 0);
    };
    const bool relaying = m_relayFrom >= 0;
    for (;;) {
        enum { Input, Output, Notes, RelayFrom, TaggerIn, TaggerOut, RelayTo, Count };
        pollfd fds[Count];
        for (pollfd& p : fds)
            p = {-1, 0, 0};
        // poll skips the entries whose descriptor is negative.
        if (written < input.size())
            fds[Input] = {m_toPipeline, POLLOUT, 0};
        fds[Output] = {m_fromPipeline, POLLIN, 0};
        // The tagger's notes are read as they come: a tagger that cannot
        // write them stops translating.
        fds[Notes] = {m_active.notes, POLLIN, 0};
        if (relaying) {
            if (m_toTagger.size() < relayBound)
                fds[RelayFrom] = {m_relayFrom, POLLIN, 0};
            if (!m_toTagger.isEmpty())
                fds[TaggerIn] = {m_active.in, POLLOUT, 0};
            if (m_fromTagger.size() < relayBound)
                fds[TaggerOut] = {m_active.out, POLLIN, 0};
            if (!m_fromTagger.isEmpty())
                fds[RelayTo] = {m_relayTo, POLLOUT, 0};
        }

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
            fds, Count, static_cast<int>(std::min(left, WorkScope::checkInterval).count()) + 1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw failed(QStringLiteral("could not be waited for: %1").arg(systemError(errno)));
        }
        if (ready == 0)
            continue; // the deadline check above ends the call
        if (fds[Notes].revents != 0)
            readTaggerNotesLocked();

        if (fds[Input].revents != 0)
            written += give(m_toPipeline, input.constData() + written, input.size() - written);
        qsizetype n = 0;
        if (fds[RelayFrom].revents != 0 && take(m_relayFrom, &n)) {
            m_toTagger.append(buffer, n);
            if (m_givenWhole && m_given.size() + n <= warmupBound)
                m_given.append(buffer, n);
            else
                m_givenWhole = false;
        }
        // What was read is passed on at once: a pipe that cannot take it
        // yet says so, and is waited for.
        if (!m_toTagger.isEmpty())
            m_toTagger.remove(0, give(m_active.in, m_toTagger.constData(), m_toTagger.size()));
        if (fds[TaggerOut].revents != 0 && take(m_active.out, &n))
            relayOutputLocked(buffer, n);
        if (!m_fromTagger.isEmpty())
            m_fromTagger.remove(0, give(m_relayTo, m_fromTagger.constData(), m_fromTagger.size()));

        if (fds[Output].revents != 0 && take(m_fromPipeline, &n)) {
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
