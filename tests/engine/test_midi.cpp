#include "controlfixture.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
constexpr std::int32_t lfo = 0, controller = 2;

// A controller-driven modulator listening to "MIDI CC" id, with outputs a .. b.
std::uint64_t addlistener(controlmodel& m, std::int32_t id, double a = 0.2, double b = 0.9)
{
    const std::uint64_t p = m.addpatch(pkindmodulator);
    m.param(p, ppatchsource).setvalue(controller);
    m.param(p, ppatchmidicc).setvalue(id);
    m.param(p, ppatchamplitude1).setvalue(a);
    m.param(p, ppatchamplitude2).setvalue(b);
    return p;
}

std::uint64_t addhostlistener(controlmodel& m, std::int32_t hostparam, double a = 0.0, double b = 1.0)
{
    const std::uint64_t p = m.addpatch(pkindmodulator);
    m.param(p, ppatchsource).setvalue(controller);
    m.param(p, ppatchhostparam).setvalue(hostparam);
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

// The decoding of the block hand-over, for the messages used here.
krvstmidievent controlchange(int number, int raw) { return message(kmidicontroller, number, raw, raw / 127.0); }
krvstmidievent noteon(int note, int velocity) { return message(kmidinoteon, note, velocity, velocity); }
krvstmidievent noteoff(int note, int velocity) { return message(kmidinoteoff, note, velocity, velocity); }
krvstmidievent pressure(int raw) { return message(kmidichannelpressure, kmidinumberpressure, raw, raw / 127.0); }
krvstmidievent bend(int raw) { return message(kmidipitchbend, kmidinumberbend, raw, raw / 16383.0); }
} // namespace

// ---- MIDI ----

TEST(MidiControl, ModWheelAtFullDrivesItsListenerToAmplitudeTwo)
{
    controlmodel m;
    const std::uint64_t p = addlistener(m, 4); // 3 fixed entries, then controller 1
    const krvstmidievent e = controlchange(1, 127);
    m.model.processmidievent(&e);
    EXPECT_DOUBLE_EQ(m.output(p, 0), 0.9);
    EXPECT_DOUBLE_EQ(m.output(p, 1), 0.9);
}


TEST(MidiControl, MenuBaseComesFromTheControlHolder)
{
    controlmodel m;
    pguitools tools;
    tools.midimenubase = 5;
    m.model.tools = &tools;
    const std::uint64_t p = addlistener(m, 5 + 1);
    const std::uint64_t other = addlistener(m, 3 + 1);
    const krvstmidievent e = controlchange(1, 127);
    m.model.processmidievent(&e);
    EXPECT_DOUBLE_EQ(m.output(p), 0.9);
    EXPECT_EQ(m.output(other), 0.0);
    m.model.tools = nullptr;
}

TEST(MidiControl, NoteOnSetsVelocityAndKeysListeners)
{
    controlmodel m;
    const std::uint64_t velocity = addlistener(m, 2, 0.1, 0.6);
    const std::uint64_t keys = addlistener(m, 1, 0.0, 1.0);
    const krvstmidievent e = noteon(60, 100);
    m.model.processmidievent(&e);
    EXPECT_DOUBLE_EQ(m.output(velocity), 0.1 + 0.5 * (100 / 127.0));
    EXPECT_DOUBLE_EQ(m.output(keys), 0.25); // 60 mod 48 = 12
}

TEST(MidiControl, NoteOnWithVelocityZeroIsStillANoteOn)
{
    controlmodel m;
    const std::uint64_t velocity = addlistener(m, 2, 0.3, 0.6);
    const std::uint64_t keys = addlistener(m, 1, 0.0, 1.0);
    const krvstmidievent e = noteon(36, 0);
    m.model.processmidievent(&e);
    EXPECT_DOUBLE_EQ(m.output(velocity), 0.3);
    EXPECT_DOUBLE_EQ(m.output(keys), 0.75);
}

TEST(MidiControl, PitchBendReachesThePitchWheelListener)
{
    controlmodel m;
    const std::uint64_t p = addlistener(m, 0, 0.0, 1.0);
    const krvstmidievent e = bend(8192);
    m.model.processmidievent(&e);
    EXPECT_NEAR(m.output(p), 0.500031, 1e-6);
}

TEST(MidiControl, OnlyTheFirstOfTwoListenersMoves)
{
    controlmodel m;
    const std::uint64_t first = addlistener(m, 4);
    const std::uint64_t second = addlistener(m, 4);
    const krvstmidievent e = controlchange(1, 127);
    m.model.processmidievent(&e);
    EXPECT_DOUBLE_EQ(m.output(first), 0.9);
    EXPECT_EQ(m.output(second), 0.0);
}

TEST(MidiControl, NoteOffAndChannelPressureMoveNothing)
{
    controlmodel m;
    // A listener for every "MIDI CC" value the menu can hold.
    for (int id = 0; id <= 127; ++id)
        addlistener(m, id);
    const krvstmidievent messages[] = {noteoff(60, 64), noteoff(0, 0), pressure(127), pressure(0)};
    for (const krvstmidievent& e : messages)
        m.model.processmidievent(&e);
    for (std::uint64_t p = 0; p < m.model.patches.count; ++p)
        EXPECT_EQ(m.output(p), 0.0) << p;
}

TEST(MidiControl, OnlyControllerSourcesListen)
{
    controlmodel m;
    const std::uint64_t p = addlistener(m, 4);
    m.param(p, ppatchsource).setvalue(lfo);
    const krvstmidievent e = controlchange(1, 127);
    m.model.processmidievent(&e);
    EXPECT_EQ(m.output(p), 0.0);
}

TEST(MidiControl, OddRecordsAreHarmless)
{
    controlmodel m;
    addlistener(m, 4);
    m.model.processmidievent(nullptr);
    const krvstmidievent odd[] = {message(0xA0, 2147483647, 0, 1.0), message(0xB0, -2147483647 - 1, 0, 1.0),
                                  message(kmidinoteon, -5, 400, 0.0), message(0xB0, 1, 0, std::nan(""))};
    for (const krvstmidievent& e : odd)
        m.model.processmidievent(&e);
    EXPECT_EQ(m.output(0), 0.0);
}

// ---- setcont ----

TEST(SetCont, AdjustmentModeOneShiftsAmplitudeOneDown)
{
    controlmodel m;
    const std::uint64_t p = addlistener(m, 4, 0.5, 1.0);
    m.param(p, ppatchadjustmode).setvalue(1);
    m.model.setcont(static_cast<int>(p), 0.0);
    EXPECT_DOUBLE_EQ(m.output(p), -0.5);
    m.model.setcont(static_cast<int>(p), 1.0);
    EXPECT_DOUBLE_EQ(m.output(p), 1.0);
}

TEST(SetCont, IndexesThatNameNoModulatorChangeNothing)
{
    controlmodel m;
    const std::uint64_t delay = m.addpatch(pkinddelay);
    m.model.setcont(-1, 1.0);
    m.model.setcont(5, 1.0);
    m.model.setcont(static_cast<int>(delay), 1.0);
    EXPECT_EQ(m.output(delay), 0.0);
}

TEST(SetCont, ValuesAreClampedAndNaNIsDropped)
{
    controlmodel m;
    const std::uint64_t p = addlistener(m, 4, 0.2, 0.9);
    m.model.setcont(static_cast<int>(p), 3.0);
    EXPECT_DOUBLE_EQ(m.output(p), 0.9);
    m.model.setcont(static_cast<int>(p), std::nan(""));
    EXPECT_DOUBLE_EQ(m.output(p), 0.9);
    m.model.setcont(static_cast<int>(p), -1.0);
    EXPECT_DOUBLE_EQ(m.output(p), 0.2);
}

// ---- modulation history ----

namespace
{
struct historyrig
{
    controlmodel m;
    pguitools tools;
    std::uint64_t p = 0;

    historyrig()
    {
        m.model.tools = &tools;
        p = addlistener(m, 4);
        m.model.page = ppagemodulator;
        m.model.selectedpatch = p;
    }
    ~historyrig() { m.model.tools = nullptr; }

    std::int32_t slot(int i) { return tools.modulationhistory[i].load(); }
};
} // namespace

TEST(ModulationHistory, HoldsTheLastValueUpToThePlayPosition)
{
    historyrig h;
    h.tools.modulationhistory[4] = 77;
    h.tools.historywrite = 4;
    h.tools.historyposition = 10.6;
    h.m.model.setcont(static_cast<int>(h.p), 0.5);
    for (int i = 5; i <= 9; ++i)
        EXPECT_EQ(h.slot(i), 77) << i;
    EXPECT_EQ(h.slot(10), 127);
    EXPECT_EQ(h.slot(11), 0);
    EXPECT_EQ(h.tools.historywrite.load(), 10);
}

TEST(ModulationHistory, WrapsAroundTheRing)
{
    historyrig h;
    h.tools.modulationhistory[261] = 40;
    h.tools.historywrite = 261;
    h.tools.historyposition = 2.0;
    h.m.model.setcont(static_cast<int>(h.p), 1.0);
    for (int i : {262, 263, 0, 1})
        EXPECT_EQ(h.slot(i), 40) << i;
    EXPECT_EQ(h.slot(2), 255);
    EXPECT_EQ(h.slot(3), 0);
}

TEST(ModulationHistory, FollowsOnlyWhatTheModulatorPageShows)
{
    historyrig h;
    const std::uint64_t sameid = addlistener(h.m, 4);
    const std::uint64_t otherid = addlistener(h.m, 9);
    h.m.param(otherid, ppatchhostparam).setvalue(3);
    h.tools.historyposition = 20.0;

    h.m.model.setcont(static_cast<int>(otherid), 1.0);
    EXPECT_EQ(h.slot(20), 0);
    h.m.model.setcont(static_cast<int>(sameid), 1.0); // same "MIDI CC" as the selected patch
    EXPECT_EQ(h.slot(20), 255);

    h.m.param(h.p, ppatchhostparam).setvalue(3); // now sharing a host parameter
    h.tools.historyposition = 30.0;
    h.m.model.setcont(static_cast<int>(otherid), 0.2);
    EXPECT_EQ(h.slot(30), 51);

    h.m.model.page = ppagedelay;
    h.tools.historyposition = 40.0;
    h.m.model.setcont(static_cast<int>(h.p), 1.0);
    EXPECT_EQ(h.slot(40), 0);
    EXPECT_DOUBLE_EQ(h.m.output(h.p), 0.9); // the output moves regardless
}

TEST(ModulationHistory, PositionsOutsideTheRingStayInside)
{
    historyrig h;
    h.tools.historywrite = 5000;
    h.tools.historyposition = 1e9;
    h.m.model.setcont(static_cast<int>(h.p), 1.0);
    EXPECT_EQ(h.slot(263), 255);
    h.tools.historyposition = std::nan("");
    h.m.model.setcont(static_cast<int>(h.p), 1.0);
    EXPECT_EQ(h.slot(0), 255);
}

// The editor switches pages and selected patches under the model mutex while the audio
// thread's blocks hand MIDI and host parameters to their modulators without it: what setcont
// reads of the editor's selection must be shared whole values, not a data race.
TEST(ModulationHistoryThreads, EditorSwitchesPagesWhileBlocksSetControllers)
{
    controlmodel m;
    pguitools tools;
    tools.midimenubase = 3; // as the editor's menus leave it
    m.model.tools = &tools;
    const std::uint64_t wheel = addlistener(m, 4, 0.0, 1.0); // controller 1
    const std::uint64_t host = addhostlistener(m, 2, 0.0, 1.0);
    constexpr int hostindex = 1; // "Host Parameter" 2
    constexpr int blocks = 48;
    constexpr unsigned blocksize = 256;
    std::atomic<int> blocksdone{0};

    // Until the audio thread is through, then on the modulator page with the wheel selected.
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

    std::vector<double> inputs[2], outputs[2];
    for (int c = 0; c < 2; ++c)
    {
        inputs[c].assign(blocksize, 0.0);
        outputs[c].assign(blocksize, 0.0);
    }
    double* in[2] = {inputs[0].data(), inputs[1].data()};
    double* out[2] = {outputs[0].data(), outputs[1].data()};
    int raw = 0;
    for (int b = 0; b < blocks; ++b)
    {
        raw = (b * 37) % 128;
        krvstmidievent e = controlchange(1, raw);
        e.sampleoffset = static_cast<std::int32_t>(blocksize / 2);
        m.model.midirecords.clear();
        m.model.midirecords.append(e);
        m.model.hostparams.post(hostindex, static_cast<float>(raw) / 127.0f);
        m.model.applyhostparams();
        for (int c = 0; c < 2; ++c)
            std::fill(inputs[c].begin(), inputs[c].end(), 0.0);
        m.model.process(in, blocksize, out, 2);
        blocksdone = b + 1;
    }
    editor.join();

    EXPECT_DOUBLE_EQ(m.output(wheel, 0), raw / 127.0);
    EXPECT_DOUBLE_EQ(m.output(wheel, 1), raw / 127.0);
    EXPECT_DOUBLE_EQ(m.output(host), static_cast<double>(static_cast<float>(raw) / 127.0f));
    // The selection the editor left is the one the history draws.
    tools.historyposition = 100.0;
    m.model.setcont(static_cast<int>(wheel), 1.0);
    EXPECT_EQ(tools.modulationhistory[100].load(), 255);
    tools.historyposition = 120.0;
    m.model.setcont(static_cast<int>(host), 1.0);
    EXPECT_EQ(tools.historywrite.load(), 100) << "the host listener is not shown";
    m.model.tools = nullptr;
}

// ---- host parameters ----

TEST(HostParameters, ReachTheFirstMatchingModulatorAtTheNextApply)
{
    controlmodel m;
    const std::uint64_t lfosource = addhostlistener(m, 1);
    m.param(lfosource, ppatchsource).setvalue(lfo);
    const std::uint64_t first = addhostlistener(m, 1, 0.0, 1.0);
    const std::uint64_t second = addhostlistener(m, 1, 0.0, 1.0);

    m.model.hostparams.post(0, 0.25f);
    EXPECT_EQ(m.output(first), 0.0); // nothing happens until the audio thread applies it
    m.model.applyhostparams();
    EXPECT_DOUBLE_EQ(m.output(first), 0.25);
    EXPECT_DOUBLE_EQ(m.output(first, 1), 0.25);
    EXPECT_EQ(m.output(second), 0.0);
    EXPECT_EQ(m.output(lfosource), 0.0);
}


TEST(HostParameters, LastOfSeveralPostsWins)
{
    controlmodel m;
    const std::uint64_t p = addhostlistener(m, 5);
    m.model.hostparams.post(4, 0.1f);
    m.model.hostparams.post(4, 0.75f);
    m.model.applyhostparams();
    EXPECT_DOUBLE_EQ(m.output(p), 0.75);
}

TEST(HostParameters, ParameterThirtyTwoAndBadInput)
{
    controlmodel m;
    const std::uint64_t last = addhostlistener(m, 32);
    const std::uint64_t none = addhostlistener(m, 0);
    m.model.hostparams.post(31, 1.7f);
    m.model.hostparams.post(32, 0.5f);
    m.model.hostparams.post(-1, 0.5f);
    m.model.applyhostparams();
    EXPECT_DOUBLE_EQ(m.output(last), 1.0);
    m.model.hostparams.post(31, std::nanf(""));
    m.model.applyhostparams();
    EXPECT_DOUBLE_EQ(m.output(last), 1.0);
    EXPECT_EQ(m.output(none), 0.0);
    EXPECT_EQ(m.model.findhostparampatch(-1), -1);
    EXPECT_EQ(m.model.findhostparampatch(32), -1);
}


// The host's thread posts while the audio thread reshapes the patch list (patches made,
// reused and thrown away) and applies the mailbox after each change.
TEST(HostParametersThreads, PostsFromAnotherThreadWhilePatchesComeAndGo)
{
    controlmodel m;
    std::atomic<bool> running{true};
    std::thread host([&] {
        float v = 0.0f;
        while (running.load(std::memory_order_relaxed))
        {
            for (int i = 0; i < hostparamcount; ++i)
                m.model.hostparams.post(i, v);
            v = v >= 1.0f ? 0.0f : v + 0.01f;
        }
    });

    for (int round = 0; round < 300; ++round)
    {
        const std::uint64_t p = addhostlistener(m, 1 + round % hostparamcount);
        m.model.applyhostparams();
        if (round % 7 == 6)
        {
            for (std::uint64_t v = 0; v < m.model.voices.count; ++v)
                m.model.voices[v]->assignments.clearAndDestroy();
            m.model.patches.clearAndDestroy();
        }
        else if (round % 3 == 0)
        {
            m.patch(p).refcount = 0; // its slot is taken by the next patch made with reuse
            m.model.newpatch(true, pkindmodulator);
        }
        m.model.applyhostparams();
        m.controlhop();
    }
    running = false;
    host.join();

    // After the noise: one clean write reaches its listener.
    m.model.patches.clearAndDestroy();
    for (std::uint64_t v = 0; v < m.model.voices.count; ++v)
        m.model.voices[v]->assignments.clearAndDestroy();
    const std::uint64_t p = addhostlistener(m, 3);
    m.model.applyhostparams(); // whatever the last posts left
    m.model.hostparams.post(2, 0.625f);
    m.model.applyhostparams();
    EXPECT_DOUBLE_EQ(m.output(p), 0.625);
}
