// prelaxed: a value shared between threads that is only ever stored and loaded whole.
// Parameter fields, patch outputs and display data are written by one thread and read by
// another without a lock; each read must see some value a writer stored, never a torn one,
// and no ordering with other memory is needed. On x86-64 a relaxed load or store of a
// 32- or 64-bit value is a plain move, so the audio path pays nothing for it.
#pragma once

#include <atomic>

template <typename T>
struct prelaxed
{
    std::atomic<T> cell;

    prelaxed() noexcept : cell(T{}) {}
    prelaxed(T initial) noexcept : cell(initial) {}
    // Copies read the source whole; used only when a record holding one is copied.
    prelaxed(const prelaxed& other) noexcept : cell(other.load()) {}
    prelaxed& operator=(const prelaxed& other) noexcept
    {
        store(other.load());
        return *this;
    }

    T load() const noexcept { return cell.load(std::memory_order_relaxed); }
    void store(T v) noexcept { cell.store(v, std::memory_order_relaxed); }

    operator T() const noexcept { return load(); }
    prelaxed& operator=(T v) noexcept
    {
        store(v);
        return *this;
    }
};

static_assert(sizeof(prelaxed<double>) == sizeof(double), "a shared double stays one double wide");
static_assert(std::atomic<double>::is_always_lock_free, "shared doubles must never take a lock");
