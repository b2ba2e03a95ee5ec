// A lock for critical sections of a few dozen instructions that the audio thread may enter:
// posting an event, taking a snapshot of a queue, one history update. No system call, no
// allocation; a waiter yields after a short spin so a preempted holder gets its turn.
#pragma once

#include <atomic>
#include <thread>

class pspinlock
{
public:
    void lock() noexcept
    {
        for (int spins = 0; busy.test_and_set(std::memory_order_acquire); ++spins)
            if (spins >= spinsbeforeyield)
                std::this_thread::yield();
    }
    bool try_lock() noexcept { return !busy.test_and_set(std::memory_order_acquire); }
    void unlock() noexcept { busy.clear(std::memory_order_release); }

private:
    static constexpr int spinsbeforeyield = 64;
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
};
