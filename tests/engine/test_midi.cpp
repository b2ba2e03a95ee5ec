#include "controlfixture.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
constexpr std::int32_t lfo = psourcelfo;
constexpr std::int32_t controller = psourcecontroller;
constexpr std::int32_t wheelid = 4; // "MIDI CC": 3 fixed entries, then controller 1

// A controller modulator on target listening to "MIDI CC" id and "Host Parameter" host, with outputs a .. b.
std::uint64_t addlistener(controlmodel& m, std::int32_t id, double a = 0.2, double b = 0.9, std::int32_t host = 0,
                          std::int64_t target = 0)
{
    const std::uint64_t p = m.addpatch(pkindmodulator, 0, target);
    m.param(p, ppatchsource).setvalue(controller);
    m.param(p, ppatchmidicc).setvalue(id);
    m.param(p, ppatchhostparam).setvalue(host);
    m.param(p, ppatchamplitude1).setvalue(a);
    m.param(p, ppatchamplitude2).setvalue(b);
    return p;
}

krvstmidievent message(std::uint32_t status, std::int32_t number, std::uint32_t raw, double value)
{
    krvstmidievent e;
    e.status = status;
    e.number = number;
    e.rawvalue = raw;
    e.value = value;
    return e;
}

krvstmidievent controlchange(int number, int raw)
{
    return message(kmidicontroller, number, raw, raw / 127.0);
}
} // namespace

TEST(MidiControl, MessagesDriveTheirListenersAcrossTheirRange)
{
    // e, id, a, b, expected
    using row = std::tuple<krvstmidievent, std::int32_t, double, double, double>;
    const row rows[] = {
        {controlchange(1, 127), wheelid, 0.2, 0.9, 0.9},                              // full wheel: "Amplitude 2"
        {controlchange(124, 127), 127, 0.2, 0.9, 0.9},                                // the menu's last entry
        {message(kmidinoteon, 60, 100, 100), 2, 0.1, 0.6, 0.1 + 0.5 * (100 / 127.0)}, // velocity
        {message(kmidinoteon, 60, 100, 100), 1, 0.0, 1.0, 0.25},                      // keys: 60 mod 48
        {message(kmidinoteon, 36, 0, 0), 2, 0.3, 0.6, 0.3},                           // velocity 0 is still a note on
        {message(kmidinoteon, 36, 0, 0), 1, 0.0, 1.0, 0.75},
        {message(kmidipitchbend, kmidinumberbend, 8192, 8192 / 16383.0), 0, 0.0, 1.0, 0.500031},
    };
    for (const auto& [e, id, a, b, expected] : rows)
    {
        SCOPED_TRACE(testing::Message() << "status " << e.status << " number " << e.number << " id " << id);
        controlmodel m;
        const std::uint64_t p = addlistener(m, id, a, b);
        m.model.processmidievent(&e);
        EXPECT_NEAR(m.output(p, 0), expected, 1e-6);
        EXPECT_EQ(m.output(p, 1), m.output(p, 0));
    }
}

TEST(MidiControl, NoteOffPressureAndOddRecordsAreHarmless)
{
    controlmodel m;
    for (int id = 0; id <= 127; ++id) // every "MIDI CC" value the menu can hold
        addlistener(m, id);
    m.model.processmidievent(nullptr);
    const krvstmidievent messages[] = {
        message(kmidinoteoff, 60, 64, 64),
        message(kmidinoteoff, 0, 0, 0),
        message(kmidichannelpressure, kmidinumberpressure, 127, 1.0),
        message(0xA0, 2147483647, 0, 1.0),
        message(kmidicontroller, -2147483647 - 1, 0, 1.0),
        message(kmidicontroller, 2147483647, 127, 1.0),
        message(kmidinoteon, -5, 400, 0.0),
        message(kmidicontroller, 1, 0, std::nan("")),
    };
    for (const krvstmidievent& e : messages)
        m.model.processmidievent(&e);
    for (std::uint64_t p = 0; p < m.model.patches.count; ++p) // keys (1) and velocity (2) heard the note on
    {
        EXPECT_GE(m.output(p), p == 1 || p == 2 ? 0.2 : 0.0) << p;
        EXPECT_LE(m.output(p), p == 1 || p == 2 ? 0.9 : 0.0) << p;
    }
}

// The editor switches selection under the model mutex while blocks set controllers without it.
TEST(ModulationHistoryThreads, EditorSwitchesPagesWhileBlocksSetControllers)
{
    controlmodel m;
    pguitools& tools = m.instance.controller.tools; // its menus put the controllers at entry 3
    const std::uint64_t wheel = addlistener(m, wheelid, 0.0, 1.0);
    const std::uint64_t host = addlistener(m, 0, 0.0, 1.0, 2);
    constexpr int blocks = 48;
    constexpr unsigned blocksize = 256;
    std::atomic<int> blocksdone{0};
    std::thread editor([&] {
        for (int i = 0;; ++i)
        {
            const std::lock_guard<std::mutex> lock(m.model.modelmutex);
            m.model.page = i % 2 == 1 ? ppagemodulator : ppagedelay;
            m.model.selectedpatch = i % 4 == 3 ? wheel : host;
            if (i % 4 == 3 && blocksdone.load() == blocks)
                break;
        }
    });
    std::vector<double> buffers(4 * blocksize);
    double* in[2] = {&buffers[0], &buffers[blocksize]};
    double* out[2] = {&buffers[2 * blocksize], &buffers[3 * blocksize]};
    int raw = 0;
    for (int b = 0; b < blocks; ++b)
    {
        raw = (b * 37) % 128;
        krvstmidievent e = controlchange(1, raw);
        e.sampleoffset = static_cast<std::int32_t>(blocksize / 2);
        m.model.midirecords.clear();
        m.model.midirecords.append(e);
        m.model.hostparams.post(1, static_cast<float>(raw) / 127.0f); // "Host Parameter" 2
        m.model.applyhostparams();
        std::fill(buffers.begin(), buffers.end(), 0.0);
        m.model.process(in, blocksize, out, 2);
        blocksdone = b + 1;
    }
    editor.join();
    EXPECT_NEAR(m.output(wheel, 0), raw / 127.0, 1e-12);
    EXPECT_EQ(m.output(wheel, 1), m.output(wheel, 0));
    EXPECT_DOUBLE_EQ(m.output(host), static_cast<double>(static_cast<float>(raw) / 127.0f));
    // The selection the editor left is the one the history draws.
    tools.historyposition = 100.0;
    m.model.setcont(static_cast<int>(wheel), 1.0);
    EXPECT_EQ(tools.modulationhistory[100].load(), 255);
    tools.historyposition = 120.0;
    m.model.setcont(static_cast<int>(host), 1.0);
    EXPECT_EQ(tools.historywrite.load(), 100) << "the host listener is not shown";
}

// A wheel message and host posts reach only the first controller listening; the last post wins, clamped,
// and NaN is dropped.
TEST(HostParameters, ValuesReachTheFirstMatchingControllerClampedAndNaNDropped)
{
    controlmodel m;
    const std::uint64_t notcontroller = addlistener(m, wheelid, 0.0, 1.0, 1);
    m.param(notcontroller, ppatchsource).setvalue(lfo);
    const std::uint64_t first = addlistener(m, wheelid, 0.0, 1.0, 1);
    const std::uint64_t second = addlistener(m, wheelid, 0.0, 1.0, 1);
    const std::uint64_t last = addlistener(m, 0, 0.0, 1.0, 32);
    const krvstmidievent wheel = controlchange(1, 127);
    m.model.processmidievent(&wheel);
    EXPECT_EQ(m.output(first), 1.0);
    EXPECT_EQ(m.output(second), 0.0);
    for (const auto& [index, value] : {std::pair{0, 0.1f}, {0, 0.25f}, {31, 1.7f}, {32, 0.5f}, {-1, 0.5f}})
        m.model.hostparams.post(index, value);
    EXPECT_EQ(m.output(first), 1.0); // nothing happens until the audio thread applies it
    m.model.applyhostparams();
    m.model.hostparams.post(31, std::nanf(""));
    m.model.applyhostparams();
    m.model.setcont(-1, 1.0);
    m.model.setcont(99, 1.0);
    using row = std::tuple<const char*, std::uint64_t, double>; // name, patch, expected output
    for (const auto& [name, patch, expected] : {row{"not a controller", notcontroller, 0.0},
                                                {"first", first, 0.25},
                                                {"second", second, 0.0},
                                                {"last", last, 1.0}})
        for (std::uint64_t channel : {0u, 1u})
            EXPECT_EQ(m.output(patch, channel), expected) << name << ", channel " << channel;
}

// The host posts while the audio thread makes, reuses and deletes patches.
TEST(HostParametersThreads, PostsFromAnotherThreadWhilePatchesComeAndGo)
{
    controlmodel m;
    std::atomic<bool> running{true};
    std::thread host([&] {
        for (float v = 0.0f; running.load(std::memory_order_relaxed); v = v >= 1.0f ? 0.0f : v + 0.01f)
            for (int i = 0; i < hostparamcount; ++i)
                m.model.hostparams.post(i, v);
    });
    const auto clearpatches = [&] {
        for (std::uint64_t v = 0; v < m.model.voices.count; ++v)
            m.model.voices[v]->assignments.clearAndDestroy();
        m.model.patches.clearAndDestroy();
    };
    for (int round = 0; round < 300; ++round)
    {
        const std::uint64_t p = addlistener(m, 0, 0.0, 1.0, 1 + round % hostparamcount);
        m.model.applyhostparams();
        if (round % 7 == 6)
            clearpatches();
        else if (round % 3 == 0) // its slot is taken by the next patch made with reuse
        {
            m.patch(p).refcount = 0;
            m.model.newpatch(true, pkindmodulator);
        }
        m.model.applyhostparams();
        m.controlhop();
    }
    running = false;
    host.join();
    // After the noise: one clean write reaches its listener.
    clearpatches();
    const std::uint64_t p = addlistener(m, 0, 0.0, 1.0, 3);
    m.model.applyhostparams(); // whatever the last posts left
    m.model.hostparams.post(2, 0.625f);
    m.model.applyhostparams();
    EXPECT_DOUBLE_EQ(m.output(p), 0.625);
}

// A wheel record inside a block of 1024 (hops at samples 255, 511, 767, 1023) opens a voice's "Volume" at
// the first hop at or after its position: the wet output starts with that hop's frame, 254 samples before
// the hop.
TEST(MidiSchedule, ARecordIsHeardFromTheFirstHopAtOrAfterItsSample)
{
    // record's sample offset, the hop that applies it
    for (const auto& [offset, hop] : {std::pair{0, 255}, {255, 255}, {256, 511}, {700, 767}, {1023, 1023}})
    {
        controlmodel m;
        addlistener(m, wheelid, 0.0, 1.0, 0, pvoicevolume);
        m.voiceparam(0, pvoicevolume).setvalue(0.0);
        m.model.params[pglobalvolume]->setvalue(1.0);
        std::vector<double> left(3 * 1024), out(3 * 1024), spare(3 * 1024);
        for (std::size_t i = 0; i < left.size(); ++i)
            left[i] = 0.3 * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(i) / 44100.0);
        std::vector<double> right = left;
        for (std::size_t at = 0; at < left.size(); at += 1024)
        {
            m.model.midirecords.clear();
            if (at == 2048)
            {
                krvstmidievent wheel = controlchange(1, 127);
                wheel.sampleoffset = offset;
                m.model.midirecords.append(wheel);
            }
            double* in[2] = {left.data() + at, right.data() + at};
            double* o[2] = {out.data() + at, spare.data() + at};
            m.model.process(in, 1024, o, 2);
        }
        const auto first = std::find_if(out.begin(), out.end(), [](double x) { return x != 0.0; });
        EXPECT_EQ(first - out.begin(), 2048 + hop - 254) << "record at " << offset;
    }
}
