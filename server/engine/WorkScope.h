#pragma once

#include <atomic>
#include <chrono>
#include <memory>

// What makes a request's work give up before its deadline: its client went
// away, or the service stops. The front raises a request's flag; the routes
// bind it to the thread that does the work, and whatever waits there on a
// child process (filters, pipelines, LibreOffice) looks at it at least
// every checkInterval and ends its child.
namespace WorkScope {
using Flag = std::shared_ptr<const std::atomic<bool>>;

constexpr std::chrono::milliseconds checkInterval{100};

// Binds a request's flag to this thread for as long as it lives.
class Bind
{
public:
    explicit Bind(Flag flag);
    ~Bind();
    Bind(const Bind&) = delete;
    Bind& operator=(const Bind&) = delete;

private:
    Flag m_previous;
};

// The flag bound to this thread (null when none), for helper threads to
// bind in turn.
Flag current();
// True when this thread's request was given up or the service stops.
bool givenUp();
// The service stops: the work of every request gives up.
void stopAll();
bool stopping();
} // namespace WorkScope
