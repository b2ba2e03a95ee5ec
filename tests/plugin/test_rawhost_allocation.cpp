// Every malloc on the host's audio thread is counted while a framework-free host runs the
// plug-in: after the first blocks, processing (bypass switches and automation included)
// allocates nothing.
#include "tests/plugin/rawvst2host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace
{
thread_local bool counting = false;
thread_local std::uint64_t allocations = 0;
} // namespace

extern "C"
{
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* malloc(std::size_t size) { allocations += counting; return __libc_malloc(size); }
void* calloc(std::size_t count, std::size_t size) { allocations += counting; return __libc_calloc(count, size); }
void* realloc(void* block, std::size_t size) { allocations += counting; return __libc_realloc(block, size); }
}

namespace
{
using namespace rawvst2;

TEST(rawhostallocation, NoneWhileProcessingAfterTheFirstBlocks)
{
    void* (*volatile allocate)(std::size_t) = malloc; // the hook is live in this process
    counting = true, free(allocate(100)), counting = false;
    ASSERT_EQ(allocations, 1u);

    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(44100.0, 512);
    std::vector<float> input(512 * 200);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = 0.2f * std::sin(0.05f * static_cast<float>(i));
    constexpr std::size_t warmup = 20;
    allocations = 0;
    h.render(input, 512, [&](std::size_t b) {
        counting = b >= warmup;
        h.setparameter(static_cast<int>(b % 32), static_cast<float>(b % 10) / 10.0f);
        if (b % 37 == 0)
            h.setbypass((b / 37) % 2 == 1);
    });
    counting = false;
    EXPECT_EQ(allocations, 0u);
}
} // namespace
