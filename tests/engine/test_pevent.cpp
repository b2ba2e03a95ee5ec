#include "engine/pevent.h"
#include "engine/peventdrain.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A code the dispatcher ignores, so an event carries only its sequence number.
constexpr std::int32_t plaincode = 92100;

std::vector<pevent> drainall(peventqueue& q)
{
    pevent batch[peventqueue::capacity];
    const std::uint64_t n = q.drain(batch);
    return std::vector<pevent>(batch, batch + n);
}
} // namespace

TEST(EventQueue, OverflowKeepsSixtyThreeAndMarksTheLastSlotAsReload)
{
    for (const int posts : {64, 70})
    {
        SCOPED_TRACE(posts);
        peventqueue q;
        for (int i = 0; i < posts; ++i)
            q.post(plaincode, static_cast<float>(i));
        const std::vector<pevent> got = drainall(q);
        ASSERT_EQ(got.size(), 64u);
        for (int i = 0; i < 63; ++i)
            ASSERT_EQ(got[i].value, static_cast<float>(i)) << "slot " << i;
        EXPECT_EQ(got[63].code, posts == 64 ? plaincode : pevloadstate);
        EXPECT_EQ(got[63].value, posts == 64 ? 63.0f : 1.0f);
    }
    peventqueue q; // a reload already in the last slot keeps its value
    for (int i = 0; i < 65; ++i)
        q.post(i == 63 ? pevloadstate : plaincode, i == 63 ? 0.25f : 0.0f);
    EXPECT_EQ(drainall(q)[63].value, 0.25f);
}

TEST(EventDrain, ABusyModelLeavesEveryEventQueuedInOrder)
{
    peventqueue q;
    std::mutex modelmutex;
    for (int i = 0; i < 5; ++i)
        q.post(plaincode, static_cast<float>(i));
    std::vector<float> applied;
    auto apply = [&](const pevent& e) {
        applied.push_back(e.value);
        if (e.value < 10.0f)
            q.post(plaincode, e.value + 10.0f); // waits for the next drain
    };
    std::uint64_t whilebusy = 99;
    modelmutex.lock(); // the editor holds the model
    std::thread([&] { whilebusy = pdrainevents(modelmutex, q, apply); }).join();
    modelmutex.unlock();
    EXPECT_EQ(whilebusy, 0u);
    EXPECT_TRUE(applied.empty());
    EXPECT_EQ(q.size(), 5u);
    EXPECT_EQ(pdrainevents(modelmutex, q, apply) + pdrainevents(modelmutex, q, apply), 10u);
    EXPECT_EQ(applied, (std::vector<float>{0, 1, 2, 3, 4, 10, 11, 12, 13, 14}));
    EXPECT_EQ(q.size(), 0u);
}

// Three posters, a draining audio thread and an editor that keeps taking the model mutex:
// every event is applied exactly once, each poster's in the order it posted them.
TEST(EventDrainThreads, EveryEventAppliedOnceInOrderPerPoster)
{
    constexpr int posters = 3;
    constexpr int perposter = 20000;
    peventqueue q;
    std::mutex modelmutex;
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int p = 0; p < posters; ++p)
        threads.emplace_back([&q, p] {
            for (int seq = 0; seq < perposter; ++seq)
            {
                // Never overfill: at most `posters` posts can race past this check.
                while (q.size() > peventqueue::capacity - posters)
                    std::this_thread::yield();
                q.post(plaincode + p, static_cast<float>(seq));
            }
        });
    std::thread editor([&] {
        for (; !done.load(); std::this_thread::sleep_for(std::chrono::microseconds(50)))
        {
            std::lock_guard<std::mutex> held(modelmutex);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    std::vector<std::vector<int>> received(posters + 1); // the last for anything else, such as a reload
    std::thread audio([&] {
        for (std::uint64_t total = 0; total < std::uint64_t{posters} * perposter; std::this_thread::yield())
            total += pdrainevents(modelmutex, q, [&](const pevent& e) {
                const auto p = static_cast<std::size_t>(e.code - plaincode);
                received[p < posters ? p : posters].push_back(static_cast<int>(e.value));
            });
    });
    for (std::thread& t : threads)
        t.join();
    audio.join();
    done = true;
    editor.join();
    std::vector<int> inorder(perposter);
    std::iota(inorder.begin(), inorder.end(), 0);
    for (int p = 0; p < posters; ++p)
        EXPECT_TRUE(received[p] == inorder) << "poster " << p << " got " << received[p].size() << " events";
    EXPECT_TRUE(received[posters].empty());
    EXPECT_EQ(q.size(), 0u);
}
