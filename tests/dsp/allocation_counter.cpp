#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<std::uint64_t> allocations{0};

void* allocate(std::size_t bytes)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(bytes == 0 ? 1 : bytes))
        return block;
    throw std::bad_alloc();
}
} // namespace

std::uint64_t allocation_counter::count()
{
    return allocations.load(std::memory_order_relaxed);
}

// Every replaceable form goes to malloc/free, so new and delete always pair up (also under
// AddressSanitizer, which would otherwise see its own operator new[] freed by ours).
void* operator new(std::size_t bytes)
{
    return allocate(bytes);
}
void* operator new[](std::size_t bytes)
{
    return allocate(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(bytes == 0 ? 1 : bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t& tag) noexcept
{
    return operator new(bytes, tag);
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete[](void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}
