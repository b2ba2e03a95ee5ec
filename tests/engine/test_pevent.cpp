// The event queue and the audio thread's drain: overflow rule, order, and the hand-over
// between posting threads, the draining audio thread and a thread holding the model mutex.
#include "engine/pevent.h"
#include "engine/peventdrain.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
std::vector<pevent> drainall(peventqueue& q)
{
    pevent batch[peventqueue::capacity];
    const std::uint64_t n = q.drain(batch);
    return std::vector<pevent>(batch, batch + n);
}

// A code the dispatcher ignores, so a test's events carry only their sequence.
constexpr std::int32_t plaincode = 92100;
} // namespace

TEST(EventQueueOverflow, SeventyPostsKeepSixtyThreeAndMarkTheLastSlotAsReload)
{
    peventqueue q;
    for (int i = 0; i < 70; ++i)
        q.post(plaincode, static_cast<float>(i));

    const std::vector<pevent> got = drainall(q);
    ASSERT_EQ(got.size(), 64u);
    for (int i = 0; i < 63; ++i)
    {
        EXPECT_EQ(got[i].code, plaincode);
        EXPECT_EQ(got[i].value, static_cast<float>(i)) << "slot " << i;
    }
    EXPECT_EQ(got[63].code, pevloadstate);
    EXPECT_EQ(got[63].value, 1.0f);
}

TEST(EventQueueOverflow, AReloadAlreadyInTheLastSlotIsLeftAlone)
{
    peventqueue q;
    for (int i = 0; i < 63; ++i)
        q.post(plaincode, 0.0f);
    q.post(pevloadstate, 0.25f); // the 64th event is itself a reload
    q.post(plaincode, 5.0f);

    const std::vector<pevent> got = drainall(q);
    ASSERT_EQ(got.size(), 64u);
    EXPECT_EQ(got[63].code, pevloadstate);
    EXPECT_EQ(got[63].value, 0.25f);
}

TEST(EventQueueOverflow, ExactlySixtyFourPostsLoseNothing)
{
    peventqueue q;
    for (int i = 0; i < 64; ++i)
        q.post(plaincode, static_cast<float>(i));
    const std::vector<pevent> got = drainall(q);
    ASSERT_EQ(got.size(), 64u);
    EXPECT_EQ(got[63].code, plaincode);
    EXPECT_EQ(got[63].value, 63.0f);
}

TEST(EventDrain, AppliesInPostingOrderAndEmptiesTheQueue)
{
    peventqueue q;
    std::mutex modelmutex;
    q.post(91050, 1.0f);
    q.post(91059, 3.0f);
    q.post(5, 0.75f);

    std::vector<pevent> applied;
    EXPECT_EQ(pdrainevents(modelmutex, q, [&](const pevent& e) { applied.push_back(e); }), 3u);
    ASSERT_EQ(applied.size(), 3u);
    EXPECT_EQ(applied[0].code, 91050);
    EXPECT_EQ(applied[1].code, 91059);
    EXPECT_EQ(applied[1].value, 3.0f);
    EXPECT_EQ(applied[2].code, 5);
    EXPECT_EQ(q.size(), 0u);
}

TEST(EventDrain, EventsPostedWhileApplyingWaitForTheNextDrain)
{
    peventqueue q;
    std::mutex modelmutex;
    q.post(plaincode, 1.0f);
    q.post(plaincode, 2.0f);

    std::vector<float> applied;
    auto apply = [&](const pevent& e) {
        applied.push_back(e.value);
        if (e.value < 10.0f)
            q.post(plaincode, e.value + 10.0f);
    };
    EXPECT_EQ(pdrainevents(modelmutex, q, apply), 2u);
    EXPECT_EQ(applied, (std::vector<float>{1.0f, 2.0f}));
    EXPECT_EQ(q.size(), 2u);

    EXPECT_EQ(pdrainevents(modelmutex, q, apply), 2u);
    EXPECT_EQ(applied, (std::vector<float>{1.0f, 2.0f, 11.0f, 12.0f}));
    EXPECT_EQ(q.size(), 0u);
}

TEST(EventDrain, ABusyModelLeavesEveryEventQueuedInOrder)
{
    peventqueue q;
    std::mutex modelmutex;
    for (int i = 0; i < 5; ++i)
        q.post(plaincode, static_cast<float>(i));

    std::vector<float> applied;
    auto apply = [&](const pevent& e) { applied.push_back(e.value); };

    modelmutex.lock(); // the editor, mid-rebuild
    std::uint64_t whilebusy = 99;
    std::thread audio([&] { whilebusy = pdrainevents(modelmutex, q, apply); });
    audio.join();
    modelmutex.unlock();

    EXPECT_EQ(whilebusy, 0u);
    EXPECT_TRUE(applied.empty());
    EXPECT_EQ(q.size(), 5u);

    EXPECT_EQ(pdrainevents(modelmutex, q, apply), 5u);
    EXPECT_EQ(applied, (std::vector<float>{0.0f, 1.0f, 2.0f, 3.0f, 4.0f}));
}

// Three threads post while the audio thread drains block after block and a fourth thread
// keeps taking the model mutex, so that some drains find the model busy. Every event must
// be applied exactly once and each poster's events in the order it posted them.
TEST(EventDrainThreads, EveryEventAppliedOnceInOrderPerPoster)
{
    constexpr int posters = 3;
    constexpr int perposter = 20000;
    peventqueue q;
    std::mutex modelmutex;
    std::atomic<bool> done{false};

    std::vector<std::thread> threads;
    for (int p = 0; p < posters; ++p)
    {
        threads.emplace_back([&q, p] {
            for (int seq = 0; seq < perposter; ++seq)
            {
                // Never overfill: at most `posters` posts can race past this test.
                while (q.size() > peventqueue::capacity - posters)
                    std::this_thread::yield();
                q.post(plaincode + p, static_cast<float>(seq));
            }
        });
    }

    std::atomic<int> editorholds{0};
    std::thread editor([&] {
        while (!done.load())
        {
            {
                std::lock_guard<std::mutex> held(modelmutex);
                editorholds.fetch_add(1);
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });

    std::vector<std::vector<int>> received(posters);
    int reloads = 0;
    int busydrains = 0;
    std::thread audio([&] {
        std::uint64_t total = 0;
        while (total < static_cast<std::uint64_t>(posters) * perposter)
        {
            const std::uint64_t before = q.size();
            const std::uint64_t n = pdrainevents(modelmutex, q, [&](const pevent& e) {
                if (e.code == pevloadstate)
                    ++reloads;
                else
                    received[static_cast<std::size_t>(e.code - plaincode)].push_back(static_cast<int>(e.value));
            });
            if (n == 0 && before > 0)
                ++busydrains;
            total += n;
            std::this_thread::yield();
        }
    });

    for (std::thread& t : threads)
        t.join();
    audio.join();
    done = true;
    editor.join();

    EXPECT_EQ(reloads, 0);
    EXPECT_EQ(q.size(), 0u);
    for (int p = 0; p < posters; ++p)
    {
        ASSERT_EQ(received[p].size(), static_cast<std::size_t>(perposter)) << "poster " << p;
        for (int seq = 0; seq < perposter; ++seq)
            ASSERT_EQ(received[p][seq], seq) << "poster " << p;
    }
    RecordProperty("busydrains", busydrains);
    RecordProperty("editorholds", editorholds.load());
}
