#include "server/http/WorkQueue.h"

WorkQueue::WorkQueue(int threads, size_t capacity) : m_capacity(capacity)
{
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkQueue::~WorkQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

bool WorkQueue::tryPush(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closing || m_jobs.size() >= m_capacity)
            return false;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

void WorkQueue::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_closing || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}
