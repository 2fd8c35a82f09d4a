// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A mutex that serves its waiters in the order they came.

#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace lqsim {

// A plain std::mutex lets the thread that just released it take it straight
// back, so a manager thread calling the library in a tight loop could keep
// the simulator's own thread (and with it every announcement, and every test
// waiting on the clock) out for seconds. Tickets make everyone take turns.
class FairMutex {
public:
    void lock()
    {
        std::unique_lock guard(m_mutex);
        const uint64_t ticket = m_next++;
        m_turn.wait(guard, [&] { return m_serving == ticket; });
    }

    void unlock()
    {
        {
            std::lock_guard guard(m_mutex);
            ++m_serving;
        }
        m_turn.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_turn;
    uint64_t m_next = 0;
    uint64_t m_serving = 0;
};

} // namespace lqsim
