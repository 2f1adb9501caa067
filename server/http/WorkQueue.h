#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The threads that do the work that waits (translations, reports that take
// a pipeline's lock), apart from the thread that reads requests. Both the
// threads and the queue in front of them are bounded: a job beyond the
// queue is refused at once rather than held.
class WorkQueue
{
public:
    WorkQueue(int threads, size_t capacity);
    // Runs what is queued, then joins the threads.
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // False, and the job is dropped, when the queue is full or closing.
    bool tryPush(std::function<void()> job);

private:
    void run();

    const size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};
