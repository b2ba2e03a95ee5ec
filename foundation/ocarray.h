// Owning arrays: ArrayPtr holds elements created with new, Array holds them by value.
// Plain structures: the model walks count and data directly, unchecked, on the audio thread.
#pragma once

#include "foundation/costringa.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace ocarray
{
inline constexpr std::uint64_t initialCapacity = 2;

namespace detail
{
// The block comes from operator new when owns is 1, from malloc otherwise. Kept out of line:
// growth is rare, and inlined, the compiler cannot see that owns picks the matching release
// and warns about a mismatch that never happens.
[[gnu::noinline]] inline void* allocateBlock(std::uint32_t owns, std::size_t bytes)
{
    if (owns != 0)
        return ::operator new(bytes);
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

[[gnu::noinline]] inline void freeBlock(std::uint32_t owns, void* block)
{
    if (block == nullptr)
        return;
    if (owns != 0)
        ::operator delete(block);
    else
        std::free(block);
}

[[noreturn]] inline void throwOutOfRange(std::uint64_t index, std::uint64_t count)
{
    throw std::out_of_range("array: attempting to access element:" + Stringize<unsigned long>(index)
                            + " in array of length:" + Stringize<unsigned long>(count));
}
} // namespace detail

template <typename T>
struct ArrayPtr
{
    std::uint64_t count = 0;
    std::uint64_t capacity = initialCapacity;
    std::uint32_t owns = 1;
    T** data = nullptr;

    ArrayPtr() { data = static_cast<T**>(detail::allocateBlock(owns, sizeof(T*) * capacity)); }
    ArrayPtr(const ArrayPtr&) = delete;
    ArrayPtr& operator=(const ArrayPtr&) = delete;

    ~ArrayPtr()
    {
        clearAndDestroy();
        detail::freeBlock(owns, data);
        data = nullptr;
        capacity = 0;
    }

    void append(T* element)
    {
        if (count == capacity)
        {
            const std::uint64_t grown = capacity * 2 > 1 ? capacity * 2 : 1;
            T** block = static_cast<T**>(detail::allocateBlock(owns, sizeof(T*) * grown));
            for (std::uint64_t i = 0; i < count; ++i)
                block[i] = data[i];
            detail::freeBlock(owns, data);
            data = block;
            capacity = grown;
        }
        data[count++] = element;
    }

    // Hands the element back to the caller, which deletes it.
    T* remove(std::uint64_t index)
    {
        if (index >= count)
            detail::throwOutOfRange(index, count);
        T* removed = data[index];
        for (std::uint64_t i = index + 1; i < count; ++i)
            data[i - 1] = data[i];
        --count;
        return removed;
    }

    void clearAndDestroy()
    {
        for (std::uint64_t i = 0; i < count; ++i)
            delete data[i];
        count = 0;
    }

    T* operator[](std::uint64_t index) const { return data[index]; }
};

template <typename T>
struct Array
{
    std::uint64_t count = 0;
    std::uint64_t capacity = initialCapacity;
    std::uint32_t owns = 1;
    T* data = nullptr;

    Array() { data = static_cast<T*>(detail::allocateBlock(owns, sizeof(T) * capacity)); }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    ~Array()
    {
        clear();
        detail::freeBlock(owns, data);
        data = nullptr;
        capacity = 0;
    }

    // Storage for max(n, 1) elements; never drops elements in use.
    void resize(std::uint64_t n)
    {
        const std::uint64_t wanted = n > 1 ? n : 1;
        if (wanted <= count)
        {
            capacity = count;
            return;
        }
        T* block = static_cast<T*>(detail::allocateBlock(owns, sizeof(T) * wanted));
        for (std::uint64_t i = 0; i < count; ++i)
        {
            new (block + i) T(data[i]);
            data[i].~T();
        }
        detail::freeBlock(owns, data);
        data = block;
        capacity = wanted;
    }

    void append(const T& element)
    {
        if (count == capacity)
        {
            T copy(element); // the element may live in the block being replaced
            resize(capacity > 0 ? capacity * 2 : 1);
            new (data + count) T(std::move(copy));
        }
        else
        {
            new (data + count) T(element);
        }
        ++count;
    }

    // Destroys the elements in use; storage and capacity stay.
    void clear()
    {
        for (std::uint64_t i = 0; i < count; ++i)
            data[i].~T();
        count = 0;
    }

    T& operator[](std::uint64_t index) { return data[index]; }
    const T& operator[](std::uint64_t index) const { return data[index]; }
};
} // namespace ocarray
