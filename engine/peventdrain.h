// The audio thread's side of an event queue: apply what is queued, but only when the model
// is free. The audio thread must never wait for the editor or the state writer, so it tries
// the model mutex once; when another thread holds it, nothing is taken from the queue and
// the events wait, in order, for the next block.
#pragma once

#include "engine/pevent.h"

#include <cstdint>
#include <mutex>

// Tries modelmutex; when it gets it, takes every event queued at that moment out of queue
// and hands them to apply in posting order, with the mutex held. Events posted while they
// are applied stay queued for the next call. Returns the number applied (0 when the mutex
// was busy). Allocates nothing.
template <typename Apply>
std::uint64_t pdrainevents(std::mutex& modelmutex, peventqueue& queue, Apply&& apply)
{
    std::unique_lock<std::mutex> held(modelmutex, std::try_to_lock);
    if (!held.owns_lock())
        return 0;
    pevent batch[peventqueue::capacity];
    const std::uint64_t n = queue.drain(batch);
    for (std::uint64_t i = 0; i < n; ++i)
        apply(batch[i]);
    return n;
}
