#pragma once

#include "ApertiumModes.h"
#include "platform/Errors.h"

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
    // timeout: how long the pipeline may go without taking or giving a
    // byte before the call fails.
    ApertiumPipeline(const ApertiumMode& mode, std::chrono::milliseconds timeout);
    ~ApertiumPipeline();
    ApertiumPipeline(const ApertiumPipeline&) = delete;
    ApertiumPipeline& operator=(const ApertiumPipeline&) = delete;

    // Translates one stream (see ApertiumStream). Throws PipelineFailure.
    QByteArray translate(const QByteArray& stream);
    // Ends the processes; a later call starts them again.
    void stop();

    const QString& name() const { return m_mode.name; }
    // The process ids of the running stages, in pipeline order; empty when
    // not running.
    QList<pid_t> pids() const;

private:
    bool runningLocked();
    void startLocked();
    void stopLocked();
    QByteArray exchangeLocked(const QByteArray& input, const QByteArray& terminator);

    const ApertiumMode m_mode;
    const std::chrono::milliseconds m_timeout;
    mutable std::mutex m_mutex;
    QList<pid_t> m_pids;
    int m_toPipeline = -1;
    int m_fromPipeline = -1;
    quint64 m_calls = 0;
};
