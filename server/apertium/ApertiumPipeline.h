#pragma once

#include "platform/Errors.h"
#include "server/apertium/ApertiumModes.h"

#include <QByteArray>
#include <QList>
#include <chrono>
#include <mutex>
#include <sys/types.h>

// A pipeline that failed or stalled while translating. The pipeline has been
// stopped; the next call starts a fresh one.
class PipelineFailure : public TarquellError
{
public:
    using TarquellError::TarquellError;
};

// One Apertium mode kept running as a chain of long-lived processes, each
// flushing on the null character. A call writes the stream, a NUL, a
// superblank marker of its own and a NUL, and reads up to that marker.
// Calls are serialised; the chain starts on the first call and again after
// any stage has died.
class ApertiumPipeline
{
public:
    using Clock = std::chrono::steady_clock;

    explicit ApertiumPipeline(const ApertiumMode& mode);
    ~ApertiumPipeline();
    ApertiumPipeline(const ApertiumPipeline&) = delete;
    ApertiumPipeline& operator=(const ApertiumPipeline&) = delete;

    // Translates one stream (see ApertiumStream), guarded on the way in
    // (ApertiumStream::Guard::Continuation): the answer still holds the
    // guard's characters. A call not answered by the deadline fails, and
    // the stages are killed. Throws PipelineFailure.
    QByteArray translate(const QByteArray& stream, Clock::time_point deadline);
    // Ends the processes; a later call starts them again.
    void stop();

    const QString& name() const { return m_mode.name; }
    // The process ids of the stages started last, in pipeline order; empty
    // when stopped. Never waits for an exchange.
    QList<pid_t> pids() const;

private:
    bool runningLocked();
    void startLocked();
    void stopLocked();
    QByteArray exchangeLocked(const QByteArray& input, const QByteArray& terminator,
                              Clock::time_point deadline);

    const ApertiumMode m_mode;
    void publishPidsLocked();

    mutable std::mutex m_mutex;
    QList<pid_t> m_pids;
    mutable std::mutex m_publishedMutex;
    QList<pid_t> m_published;
    int m_toPipeline = -1;
    int m_fromPipeline = -1;
    quint64 m_calls = 0;
};
