#include "server/net/HttpWatchdog.h"

#include <httplib.h>

HttpWatchdog::HttpWatchdog(httplib::ClientImpl& client,
                           std::chrono::steady_clock::time_point deadline)
    : m_thread([this, &client, deadline] {
          std::unique_lock lock(m_mutex);
          if (!m_wake.wait_until(lock, deadline, [this] { return m_done; })) {
              m_fired = true;
              lock.unlock();
              client.stop();
          }
      })
{
}

bool HttpWatchdog::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    return m_fired;
}

QString durationText(std::chrono::milliseconds ms)
{
    if (ms.count() == 1000)
        return QStringLiteral("1 second");
    if (ms.count() % 1000 == 0)
        return QStringLiteral("%1 seconds").arg(ms.count() / 1000);
    return QStringLiteral("%1 seconds").arg(static_cast<double>(ms.count()) / 1000.0, 0, 'f', 1);
}

QString sizeText(size_t bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}
