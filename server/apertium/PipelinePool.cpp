#include "server/apertium/PipelinePool.h"

#include "server/engine/WorkScope.h"

PipelinePool::Lease::Lease(Lease&& other) noexcept
    : m_pool(other.m_pool), m_slot(other.m_slot), m_pipeline(other.m_pipeline)
{
    other.m_pool = nullptr;
    other.m_pipeline = nullptr;
}

PipelinePool::Lease& PipelinePool::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        release();
        m_pool = other.m_pool;
        m_slot = other.m_slot;
        m_pipeline = other.m_pipeline;
        other.m_pool = nullptr;
        other.m_pipeline = nullptr;
    }
    return *this;
}

PipelinePool::Lease::~Lease()
{
    release();
}

void PipelinePool::Lease::release()
{
    if (m_pool)
        m_pool->giveBack(m_slot);
    m_pool = nullptr;
    m_pipeline = nullptr;
}

PipelinePool::PipelinePool(const ApertiumMode& mode, int maxInstances)
    : m_name(mode.name), m_slots(static_cast<size_t>(std::max(1, maxInstances)))
{
    for (Slot& slot : m_slots)
        slot.pipeline = std::make_unique<ApertiumPipeline>(mode);
}

PipelinePool::~PipelinePool()
{
    stop();
}

PipelinePool::Lease PipelinePool::acquire(Clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    const quint64 ticket = m_nextTicket++;
    m_waiting.push_back(ticket);
    // A running instance is taken before one that would have to start, and
    // the one used last before the others, so that the others go idle.
    const auto pick = [this]() -> std::optional<size_t> {
        std::optional<size_t> stopped;
        std::optional<size_t> running;
        for (size_t i = 0; i < m_slots.size(); ++i) {
            const Slot& slot = m_slots[i];
            if (slot.busy)
                continue;
            if (slot.pipeline->pids().isEmpty()) {
                if (!stopped)
                    stopped = i;
            } else if (!running || m_slots[*running].lastUsed < slot.lastUsed) {
                running = i;
            }
        }
        return running ? running : stopped;
    };
    std::optional<size_t> chosen;
    const auto ready = [&] {
        if (m_waiting.front() != ticket)
            return false;
        chosen = pick();
        return chosen.has_value();
    };
    // Looked at again now and then: a request given up stops waiting.
    bool served = false;
    while (!served && !WorkScope::givenUp() && Clock::now() < deadline)
        served = m_changed.wait_until(
            lock, std::min(deadline, Clock::now() + WorkScope::checkInterval), ready);
    m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), ticket));
    if (!served && WorkScope::givenUp()) {
        m_changed.notify_all();
        throw PipelineFailure(QStringLiteral("The request was given up"));
    }
    if (!served) {
        m_changed.notify_all();
        throw PipelineFailure(
            QStringLiteral("Every Apertium translator (%1) stayed busy; try again shortly")
                .arg(m_name));
    }
    Slot& slot = m_slots[*chosen];
    slot.busy = true;
    m_changed.notify_all();
    return Lease(this, *chosen, slot.pipeline.get());
}

void PipelinePool::giveBack(size_t slot)
{
    {
        std::lock_guard lock(m_mutex);
        m_slots[slot].busy = false;
        m_slots[slot].lastUsed = Clock::now();
    }
    m_changed.notify_all();
}

int PipelinePool::available(bool startNew) const
{
    std::lock_guard lock(m_mutex);
    int free = 0;
    for (const Slot& slot : m_slots) {
        if (!slot.busy && (startNew || !slot.pipeline->pids().isEmpty()))
            ++free;
    }
    return std::max(0, free - static_cast<int>(m_waiting.size()));
}

void PipelinePool::stopIdle(Clock::time_point before)
{
    std::vector<size_t> idle;
    {
        std::lock_guard lock(m_mutex);
        for (size_t i = 0; i < m_slots.size(); ++i) {
            Slot& slot = m_slots[i];
            if (!slot.busy && slot.lastUsed < before && !slot.pipeline->pids().isEmpty()) {
                slot.busy = true; // nobody takes it while it stops
                idle.push_back(i);
            }
        }
    }
    for (size_t i : idle)
        m_slots[i].pipeline->stop();
    if (idle.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        for (size_t i : idle)
            m_slots[i].busy = false;
    }
    m_changed.notify_all();
}

void PipelinePool::stop()
{
    // A pipeline's own lock waits for the exchange in progress, which its
    // deadline bounds.
    for (Slot& slot : m_slots)
        slot.pipeline->stop();
}

QList<QList<pid_t>> PipelinePool::pids() const
{
    std::lock_guard lock(m_mutex);
    QList<QList<pid_t>> result;
    for (const Slot& slot : m_slots) {
        const QList<pid_t> pids = slot.pipeline->pids();
        if (!pids.isEmpty())
            result << pids;
    }
    return result;
}
