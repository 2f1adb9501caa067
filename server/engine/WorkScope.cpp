#include "server/engine/WorkScope.h"

namespace WorkScope {
namespace {
thread_local Flag t_flag;
std::atomic<bool> g_stopping{false};
} // namespace

Bind::Bind(Flag flag) : m_previous(std::move(t_flag))
{
    t_flag = std::move(flag);
}

Bind::~Bind()
{
    t_flag = std::move(m_previous);
}

Flag current()
{
    return t_flag;
}

bool givenUp()
{
    return g_stopping.load(std::memory_order_relaxed) ||
           (t_flag && t_flag->load(std::memory_order_relaxed));
}

void stopAll()
{
    g_stopping = true;
}

bool stopping()
{
    return g_stopping;
}
} // namespace WorkScope
