#pragma once

#include "server/apertium/ApertiumPipeline.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// The running instances of one Apertium mode: up to a number of pipelines,
// each started when a request finds every running one busy, and stopped
// after going unused for a while. An instance serves one exchange at a
// time; requests wait for one in the order they came.
class PipelinePool
{
public:
    using Clock = ApertiumPipeline::Clock;

    PipelinePool(const ApertiumMode& mode, int maxInstances);
    ~PipelinePool();
    PipelinePool(const PipelinePool&) = delete;
    PipelinePool& operator=(const PipelinePool&) = delete;

    // One instance, held until the lease goes.
    class Lease
    {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        ~Lease();
        ApertiumPipeline* operator->() const { return m_pipeline; }
        void release();

    private:
        friend class PipelinePool;
        Lease(PipelinePool* pool, size_t slot, ApertiumPipeline* pipeline)
            : m_pool(pool), m_slot(slot), m_pipeline(pipeline)
        {
        }
        PipelinePool* m_pool = nullptr;
        size_t m_slot = 0;
        ApertiumPipeline* m_pipeline = nullptr;
    };

    // An instance for one exchange, once it is this caller's turn and one
    // is free: a running one if any, else one that the exchange will start.
    // Throws PipelineFailure when none is free by the deadline.
    Lease acquire(Clock::time_point deadline);
    // How many a request could use at once without waiting: the running
    // ones that are free, and with startNew those that could be started.
    int available(bool startNew) const;
    // Stops the free instances last used before `before`.
    void stopIdle(Clock::time_point before);
    // Stops every instance; waits for those in use.
    void stop();

    const QString& name() const { return m_name; }
    int maxInstances() const { return static_cast<int>(m_slots.size()); }
    // The process ids of each running instance.
    QList<QList<pid_t>> pids() const;

private:
    struct Slot
    {
        std::unique_ptr<ApertiumPipeline> pipeline;
        bool busy = false;
        Clock::time_point lastUsed;
    };
    void giveBack(size_t slot);

    const QString m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Slot> m_slots;
    std::deque<quint64> m_waiting;
    quint64 m_nextTicket = 0;
};
