// The editor tick: stroke countdown, the numbers each page hands the graph view, and the lock.
#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace
{
struct Tick : ::testing::Test
{
    eventmodel em;
    pguitools& tools() { return em.controller->tools; }
    std::string feed()
    {
        int data[pprojdata::pgraphfeedcapacity];
        const long n = em.m().graphfeed(data);
        std::string out = std::to_string(n) + ":";
        for (long i = 0; i < n && i < 8; ++i)
            out += " " + std::to_string(data[i]);
        return out;
    }
    std::uint64_t addpatch(std::int32_t kind, std::uint64_t voice = 0)
    {
        const std::uint64_t p = em.m().newpatch(false, kind);
        em.m().assignpatch(kind, voice, p, 0);
        return p;
    }
    pparam& param(std::uint64_t p, std::uint64_t i) { return *em.m().patches[p]->params[i]; }
    pparam& voiceparam(std::uint64_t v, std::uint64_t i) { return *em.m().voices[v]->params[i]; }
};
} // namespace

TEST_F(Tick, ModulatorAndDelayPagesFeedTheSelectedPatch)
{
    const std::uint64_t mod = addpatch(pkindmodulator);
    param(mod, ppatchamplitude1).setnorm(0.5);
    param(mod, ppatchspeed).setnorm(0.999);
    param(mod, ppatchsource).setvalue(1);
    param(mod, ppatchshape).setvalue(2);
    const std::uint64_t delay = addpatch(pkinddelay);
    param(delay, ppatchspeed).setnorm(0.25);
    param(delay, ppatchshape).setvalue(0);

    em.m().page = ppagemodulator;
    em.m().selectedpatch = mod;
    EXPECT_EQ(feed(), "4: 64 127 1 2");
    em.m().page = ppagedelay;
    em.m().selectedpatch = delay;
    EXPECT_EQ(feed(), "4: 6 32 0 0"); // "Delay" 0.05 of 1 s

    // A patch that is missing or of another kind gives no graph.
    em.m().selectedpatch = mod;
    EXPECT_EQ(feed(), "-1:");
    em.m().page = ppagemodulator;
    em.m().selectedpatch = 99;
    EXPECT_EQ(feed(), "-1:");
}

TEST_F(Tick, EqPagePassesTheStoredPixelsUntouched)
{
    for (std::uint64_t i = 0; i < pgraphpixelcount; ++i)
        tools().graphpixels[i] = static_cast<std::int32_t>((i * 37) % 509);
    em.m().page = ppageeq;
    em.m().selectedpatch = 1234; // the stored curve does not depend on the selection
    int data[pprojdata::pgraphfeedcapacity];
    ASSERT_EQ(em.m().graphfeed(data), 512);
    for (std::uint64_t i = 0; i < 512; ++i)
        ASSERT_EQ(data[i], static_cast<int>((i * 37) % 509)) << i;
}

TEST_F(Tick, MixPagePlacesTheShownVoices)
{
    em.m().page = ppagemix;
    voiceparam(0, pvoicepan).setnorm(0.0);
    EXPECT_EQ(feed(), "2: 21 217");

    em.m().newvoice();
    voiceparam(1, pvoicepan).setnorm(1.0);
    const std::uint64_t first = addpatch(pkinddelay, 1);
    const std::uint64_t last = addpatch(pkinddelay, 1);
    param(first, ppatchdelay).setnorm(0.9);
    param(last, ppatchdelay).setnorm(0.5);
    // A record whose patch named nothing points at a delay patch: not a delay record.
    auto* stray = new ppatchassign;
    stray->patch = first;
    em.m().voices[1]->assignments.append(stray);
    EXPECT_EQ(feed(), "4: 21 217 243 130");

    // Rows from the scroll offset, at most eight.
    while (em.m().voices.count < 12)
        em.m().newvoice();
    em.m().mixoffset = 1;
    EXPECT_EQ(feed().substr(0, 3), "16:");
    em.m().mixoffset = 11;
    EXPECT_EQ(feed(), "2: 132 217");
    em.m().mixoffset = 40;
    EXPECT_EQ(feed(), "0:");
}

TEST_F(Tick, PagesWithoutAGraphMakeNoView)
{
    addpatch(pkindharmony);
    em.m().selectedpatch = 0;
    for (std::int32_t page : {ppagevoices, ppageharmony, 7})
    {
        em.m().page = page;
        em.m().guiidle();
        EXPECT_EQ(tools().graphview, nullptr) << page;
        EXPECT_EQ(tools().controls.count, 0u) << page;
    }
    em.m().page = ppagemodulator; // the selected patch is a harmony patch
    em.m().guiidle();
    EXPECT_EQ(tools().graphview, nullptr);
    em.m().page = ppagemix;
    em.m().guiidle();
    EXPECT_NE(tools().graphview, nullptr);
}

TEST_F(Tick, HeldModelSkipsTheFeedButCountsDownToZero)
{
    em.m().page = ppageeq;
    tools().strokecountdown = 2;
    std::atomic<int> stage{0};
    std::thread holder([&] {
        std::lock_guard<std::mutex> hold(em.m().modelmutex);
        stage = 1;
        while (stage.load() != 2)
            std::this_thread::yield();
    });
    while (stage.load() != 1)
        std::this_thread::yield();
    em.m().guiidletry();
    EXPECT_EQ(tools().graphview, nullptr);
    EXPECT_EQ(tools().strokecountdown, 1);
    stage = 2;
    holder.join();

    em.m().guiidletry();
    EXPECT_NE(tools().graphview, nullptr);
    EXPECT_EQ(tools().strokecountdown, 0);
    em.m().guiidle();
    EXPECT_EQ(tools().strokecountdown, 0); // and stays there
    // The tick left the mutex free.
    EXPECT_TRUE(em.m().modelmutex.try_lock());
    em.m().modelmutex.unlock();
}
