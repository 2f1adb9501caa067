#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Waits, up to a bound, for a condition that another thread or process
// brings about; true when it held. For waits without a Qt event loop
// (QTest::qWaitFor where one runs).
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
