// The controller without the framework: widget events in, model and queues out. Controls are
// plain records with their binding fields; text fields and the framework side are stand-ins
// installed through the controller's services.
#include "editor/pcontroller.h"
#include "engine/eventmodel.h"
#include "engine/patchparams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A text field: kind 5, its text read and shown through the services below.
struct fakefield : pkComponent
{
    int getType() override { return pctltext; }
    std::string text;
};

// What the framework side saw.
struct sidelog
{
    int rebuilds = 0;
    std::vector<std::string> opened;
    std::function<void()> duringrebuild;
};
sidelog* side = nullptr;

class Controller : public ::testing::Test
{
protected:
    eventmodel em;
    pprojdata& m = em.m();
    pcontroller& c = *em.controller;
    sidelog log;

    void SetUp() override
    {
        side = &log;
        c.services.rebuild = [](pprojdata&) {
            ++side->rebuilds;
            if (side->duringrebuild)
                side->duringrebuild();
        };
        c.services.readtext = [](pkControl& control, costringa& text) {
            auto* field = dynamic_cast<fakefield*>(&control);
            if (field != nullptr)
                text.assign(field->text.c_str());
            return field != nullptr;
        };
        c.services.showtext = [](pkControl& control, const char* text) {
            dynamic_cast<fakefield&>(control).text = text;
        };
        c.services.openaddress = [](const char* address) { side->opened.emplace_back(address); };
        c.open(nullptr);
        log.rebuilds = 0;
        em.rebuildsposted();
    }
    void TearDown() override { side = nullptr; }

    template <typename Control = pkComponent>
    Control& bind(std::int32_t ownerkind, std::int32_t owner, std::int32_t param, std::int32_t mode = pmodevalue)
    {
        auto* control = new Control;
        control->ownerkind = ownerkind, control->ownerindex = owner, control->paramindex = param;
        control->mode = mode, control->voice = owner < 0 ? 0 : owner;
        c.tools.controls.append(control);
        return *control;
    }
    std::int32_t codeof(const pkControl& control)
    {
        for (std::uint64_t i = 0; i < c.tools.controls.count; ++i)
            if (c.tools.controls[i] == &control)
                return static_cast<std::int32_t>(i);
        return -1;
    }
    std::vector<std::pair<std::int32_t, float>> take(peventqueue& q)
    {
        pevent batch[peventqueue::capacity];
        const std::uint64_t n = q.drain(batch);
        std::vector<std::pair<std::int32_t, float>> out;
        for (std::uint64_t i = 0; i < n; ++i)
            out.emplace_back(batch[i].code, batch[i].value);
        return out;
    }
    pparam& voice(std::uint64_t v, std::uint64_t p) { return *m.voices[v]->params[p]; }
    pparam& patch(std::uint64_t i, std::uint64_t p) { return *m.patches[i]->params[p]; }
    void setmode(double mode) { voice(0, pvoicemode).setvalue(mode); }
};
using events = std::vector<std::pair<std::int32_t, float>>;
} // namespace

TEST_F(Controller, PitchKnobSnapsInModeZeroAndPostsItsTwinRefresh)
{
    auto& knob = bind(pownervoice, 0, pvoicepitch, pmodepitchknob);
    const std::int32_t code = codeof(knob);
    c.internalevent(code, 0.53f);
    EXPECT_DOUBLE_EQ(voice(0, pvoicepitch).norm, 13.0 / 24.0);
    EXPECT_DOUBLE_EQ(m.coarsepitch, 13.0 / 24.0);
    EXPECT_EQ(take(c.guiqueue), (events{{pevrefreshtwins, static_cast<float>(code)}}));
    EXPECT_EQ(take(c.audioqueue), (events{{code, 0.53f}}));
    setmode(1.0); // other modes do not snap
    c.internalevent(code, 0.53f);
    EXPECT_NEAR(voice(0, pvoicepitch).norm, 0.53, 1e-7);
}

TEST_F(Controller, PitchTextReadsAndShowsByTheSameRuleInEveryMode)
{
    auto& field = bind<fakefield>(pownervoice, 0, pvoicepitch, pmodepitchtext);
    auto& knob = bind(pownervoice, 0, pvoicepitch, pmodepitchknob);
    const std::int32_t code = codeof(field);
    // Mode, typed text, stored norm, the text the twin refresh shows back.
    const struct
    {
        double mode;
        const char* typed;
        double norm;
        const char* shown;
    } rows[] = {
        {0, "7", 7.0 / 24 + 0.5, "7.000"},        {1, "7", 7.0 / 24 + 0.5, "7.000"},
        {2, "7", 7.0 / 48 + 0.5, "7.000"},        {3, "7", 7.0 / 48 + 0.5, "7.000"},
        {4, "-12.5", 0.5 - 12.5 / 48, "-12.500"}, {0, "abc", 0.5, "0.000"},
        {0, " +3x", 3.0 / 24 + 0.5, "3.000"},     {0, "99", 1.0, "12.000"},
    };
    for (const auto& row : rows)
    {
        setmode(row.mode);
        field.text = row.typed;
        c.internalevent(code, 0.0f);
        EXPECT_DOUBLE_EQ(voice(0, pvoicepitch).norm, row.norm) << row.typed << " mode " << row.mode;
        c.idle(); // the twin refresh
        EXPECT_EQ(field.text, row.shown) << "mode " << row.mode;
        EXPECT_FLOAT_EQ(static_cast<float>(knob.getValue()), 0.0f); // a record shows nothing
    }
}

TEST_F(Controller, TextIsReadTheSameInACommaLocale)
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no de_DE.UTF-8 locale";
    EXPECT_DOUBLE_EQ(ptextnumber("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(ptextnumber("1e400"), 0.0);
    std::setlocale(LC_ALL, "C");
}

TEST_F(Controller, FinePitchAddsToTheStoredCoarseValue)
{
    auto& fine = bind(pownervoice, 0, pvoicepitch, pmodefinepitch);
    m.coarsepitch = 0.5;
    c.internalevent(codeof(fine), 1.0f);
    EXPECT_NEAR(voice(0, pvoicepitch).norm, 0.5416666665, 1e-12);
    m.coarsepitch = 0.02;
    c.internalevent(codeof(fine), 0.0f);
    EXPECT_DOUBLE_EQ(voice(0, pvoicepitch).norm, 0.0);
    EXPECT_DOUBLE_EQ(m.coarsepitch, 0.02); // the fine knob never moves the coarse value
}

TEST_F(Controller, DelayPitchControlsWriteOnlyADelayPatch)
{
    m.newpatch(false, pkinddelay);
    m.newpatch(false, pkindeq);
    auto& delayknob = bind(pownerpatch, 0, ppatchdelay, pmodepitchknob);
    auto& eqknob = bind(pownerpatch, 1, ppatchdelay, pmodepitchknob);
    c.internalevent(codeof(delayknob), 0.25f);
    c.internalevent(codeof(eqknob), 0.25f);
    EXPECT_DOUBLE_EQ(patch(0, ppatchdelay).norm, 0.25);
    EXPECT_DOUBLE_EQ(m.patches[0]->coarsedelay, 0.25);
    EXPECT_NE(patch(1, ppatchdelay).norm.load(), 0.25);
    EXPECT_EQ(take(c.guiqueue).size(), 2u); // a twin refresh after each, written or not
}

TEST_F(Controller, StaleAndUnboundControlsWriteNothing)
{
    em.apply(pevaddvoice, 1.0f);
    em.apply(pevaddvoice, 1.0f);
    auto& volume = bind(pownervoice, 2, pvoicevolume);
    auto& unbound = bind(0, 0, 0);
    auto& global = bind(pownerglobal, -1, pglobalvolume);
    em.apply(pevdeletevoice, 1.0f); // voice 2 goes; its control stays until the rebuild
    const std::string before = em.write();
    c.internalevent(codeof(volume), 0.9f);
    c.internalevent(codeof(unbound), 0.9f);
    EXPECT_EQ(em.write(), before); // "In" (global 0) keeps its value too
    c.internalevent(codeof(global), 0.9f);
    EXPECT_DOUBLE_EQ(m.params[pglobalvolume]->norm, 0.9f);
    EXPECT_EQ(take(c.audioqueue).size(), 3u); // each still reaches the dispatcher
}

TEST_F(Controller, CodesOutsideTheControlListGoToTheAudioQueueAndAreReported)
{
    c.internalevent(500, 0.5f);
    c.internalevent(-1, 0.5f);
    c.internalevent(89999, 0.5f);
    c.internalevent(91000, 0.5f);
    c.routeevent(92031, 1.0f);
    EXPECT_EQ(take(c.audioqueue), (events{{500, 0.5f}}));
    EXPECT_EQ(take(c.guiqueue), (events{{pevbadcontrol, 500.0f}, {pevmixpage, 1.0f}}));
}

TEST_F(Controller, SourceRadioResetsAModulatorOnItsPage)
{
    m.newpatch(false, pkindmodulator);
    m.selectedpatch = 0;
    m.page = ppagemodulator;
    for (ppatchchannel& ch : m.patches[0]->channels)
        ch.modoutput = 0.7, ch.modstate[3] = 0.4, ch.modstarted = 1;
    patch(0, ppatchamplitude1).setnorm(0.3);
    c.internalevent(pevpatchtype, 2.0f); // envelope
    const double expected[][2] = {{ppatchsource, 1},
                                  {ppatchamplitude1, 1.0},
                                  {ppatchamplitude2, 0.5},
                                  {ppatchspeed, 0.5},
                                  {ppatchadjustmode, 0.0}};
    for (const auto& e : expected)
        EXPECT_DOUBLE_EQ(e[0] == ppatchsource ? patch(0, ppatchsource).value.load()
                                              : patch(0, static_cast<std::uint64_t>(e[0])).norm.load(),
                         e[1]);
    EXPECT_DOUBLE_EQ(m.patches[0]->channels[1].modoutput, 0.7); // the running state is the audio thread's
    EXPECT_EQ(take(c.audioqueue), (events{{pevpatchtype, 2.0f}}));
    em.apply(pevpatchtype, 2.0f);
    for (const ppatchchannel& ch : m.patches[0]->channels)
    {
        EXPECT_DOUBLE_EQ(ch.modoutput, 0.0);
        EXPECT_DOUBLE_EQ(ch.modstate[3], 0.0);
        EXPECT_EQ(ch.modstarted, 0u);
    }
    EXPECT_EQ(em.rebuildsposted(), 1u);

    // Value 0 leaves the source but resets for it (LFO); another page only writes.
    c.internalevent(pevpatchtype, 1.0f);
    patch(0, ppatchamplitude1).setnorm(0.3);
    c.internalevent(pevpatchtype, 0.0f);
    EXPECT_DOUBLE_EQ(patch(0, ppatchamplitude1).norm, 0.5);
    EXPECT_DOUBLE_EQ(patch(0, ppatchshape).value, 1.0);
    m.page = ppagedelay;
    c.internalevent(pevpatchtype, 3.0f);
    EXPECT_DOUBLE_EQ(patch(0, ppatchsource).value, 2.0);
    EXPECT_DOUBLE_EQ(patch(0, ppatchamplitude1).norm, 0.5);
}

// A menu sets units, a knob the norm, a voice radio the selected voice's units less one; a
// patch radio with no selected patch writes nothing. Each reaches the dispatcher.
TEST_F(Controller, MenusKnobsAndRadiosWriteTheirParameter)
{
    auto& menu = bind(pownerglobal, -1, pglobalmonostereo);
    auto& knob = bind(pownerglobal, -1, pglobalwet);
    c.internalevent(codeof(menu), 0.0f);
    c.internalevent(codeof(knob), 0.25f);
    c.internalevent(pevvoicemode2, 3.0f);
    m.selectedpatch = 5; // no patches at all
    c.internalevent(pevadjustmode, 2.0f);
    EXPECT_EQ(m.params[pglobalmonostereo]->intvalue, 0);
    EXPECT_DOUBLE_EQ(m.params[pglobalwet]->norm, 0.25);
    EXPECT_EQ(voice(0, pvoicemode2).intvalue, 2);
    EXPECT_EQ(take(c.guiqueue), (events{{pevrebuildgui, 1.0f}})); // the voice radio's only
    EXPECT_EQ(take(c.audioqueue).size(), 4u);
}

TEST_F(Controller, IdleTickAppliesPageAndSelectionCommands)
{
    em.apply(pevaddvoice, 1.0f);
    em.apply(pevaddvoice, 1.0f); // three voices, voice 2 selected
    em.rebuildsposted();
    // Event, value; then page, selected voice, pending kind, target and rebuilds.
    const struct
    {
        std::int32_t code;
        float value;
        std::int32_t page;
        std::uint64_t voice;
        std::int32_t pending;
        std::uint64_t target;
        int rebuilds;
    } rows[] = {
        {pevselectvoice, 0.4f, ppagevoices, 0, 0, 0, 1},
        {pevselectvoice, 9.0f, ppagevoices, 2, 0, 0, 1},
        {pevprevvoice, 1.0f, ppagevoices, 1, 0, 0, 1},
        {pevprevvoice, 0.5f, ppagevoices, 1, 0, 0, 0},
        {pevnextvoice, 1.0f, ppagevoices, 2, 0, 0, 1},
        {pevnextvoice, 1.0f, ppagevoices, 2, 0, 0, 1},
        {pevmixpage, 1.0f, ppagemix, 2, 0, 0, 1},
        {pevvoicespage, 1.0f, ppagevoices, 2, 0, 0, 1},
        {93002, 0.5f, ppagevoices, 2, 0, 0, 0},
        {93002, 1.0f, ppagevoices, 2, 93002, 0, 1},
        {93001, 6.0f, ppagevoices, 2, 93001, 5, 1},
        {pevmixscroll, 1.0f, ppagevoices, 2, 93001, 5, 1},
        {pevbadcontrol, 1.0f, ppagevoices, 2, 93001, 5, 0},
        {pevopenhome, 0.0f, ppagevoices, 2, 93001, 5, 0},
    };
    for (const auto& row : rows)
    {
        log.rebuilds = 0;
        c.guiqueue.post(row.code, row.value);
        c.idle();
        EXPECT_EQ(m.page, row.page) << row.code << " " << row.value;
        EXPECT_EQ(m.selectedvoice, row.voice) << row.code << " " << row.value;
        EXPECT_EQ(m.pendingkind, row.pending) << row.code << " " << row.value;
        EXPECT_EQ(m.modtarget, row.target) << row.code << " " << row.value;
        EXPECT_EQ(log.rebuilds, row.rebuilds) << row.code << " " << row.value;
    }
    EXPECT_EQ(m.mixoffset, 0u); // three voices fit in eight rows
    EXPECT_TRUE(log.opened.empty());
}

TEST_F(Controller, WebPagesOpenThroughOneFunction)
{
    c.guiqueue.post(pevopenhome, 1.0f);
    c.guiqueue.post(pevopenmanual, 1.0f);
    c.guiqueue.post(pevopenmanual, 2.0f);
    c.idle();
    EXPECT_EQ(log.opened, (std::vector<std::string>{pwebpages::home, pwebpages::manual}));
}

TEST_F(Controller, ClosedEditorKeepsItsCommandsForTheNextOpen)
{
    c.close();
    c.guiqueue.post(pevmixpage, 1.0f);
    c.idle();
    EXPECT_EQ(m.page, ppagevoices);
    c.open(nullptr);
    c.idle();
    EXPECT_EQ(m.page, ppagemix);
    EXPECT_EQ(log.rebuilds, 2);
}

TEST_F(Controller, ClosingTearsTheSurfaceDownAndResynchronisesTheAudioThread)
{
    static int teardowns = 0;
    c.services.teardown = [](pprojdata&) { ++teardowns; };
    c.close();
    EXPECT_EQ(teardowns, 1);
    EXPECT_EQ(c.audioqueue.size(), 1u);
    const std::string before = em.write();
    EXPECT_EQ(m.doaudioevents(), 1u); // no pending host text: a resync, no rollback
    EXPECT_EQ(em.write(), before);
}

TEST_F(Controller, EventsPostedDuringADrainWaitAndTheAudioDrainNeverBlocks)
{
    std::atomic<std::uint64_t> applied{99};
    c.audioqueue.post(pevaddvoice, 1.0f);
    log.duringrebuild = [&]() {
        // Another thread while the tick holds the model: its GUI event waits for the next
        // tick, and the audio drain leaves the queue as it is.
        std::thread other([&]() {
            c.guiqueue.post(pevmixpage, 1.0f);
            applied = m.doaudioevents();
        });
        other.join();
        log.duringrebuild = nullptr;
    };
    c.guiqueue.post(pevrebuildgui, 1.0f);
    c.idle();
    EXPECT_EQ(applied, 0u);
    EXPECT_EQ(m.voices.count, 1u);
    EXPECT_EQ(m.page, ppagevoices);
    EXPECT_EQ(c.guiqueue.size(), 1u);
    c.idle();
    EXPECT_EQ(m.page, ppagemix);
    EXPECT_EQ(m.doaudioevents(), 1u);
    EXPECT_EQ(m.voices.count, 2u);
}

TEST_F(Controller, AWidgetCallbackDuringARebuildDoesNotLockAgain)
{
    auto& knob = bind(pownerglobal, -1, pglobalwet);
    log.duringrebuild = [&]() { c.internalevent(codeof(knob), 0.75f); }; // a field commits on teardown
    c.guiqueue.post(pevrebuildgui, 1.0f);
    c.idle();
    EXPECT_DOUBLE_EQ(m.params[pglobalwet]->norm, 0.75);
}

// ---- mouse drawing ----
namespace
{
class Drawing : public Controller
{
protected:
    void SetUp() override
    {
        Controller::SetUp();
        m.newpatch(false, pkindmodulator);
        m.newpatch(false, pkindeq);
        m.selectedpatch = 1;
        m.page = ppageeq;
    }
    double point(std::uint64_t i) { return patch(1, ppatchcurvefirst + i).norm; }
    // The window x of curve point i, and the y of a height of h 512ths.
    static int xof(int i) { return 369 + 8 * i + 3; }
    static int yof(int h) { return 142 + 511 - h; }
};
} // namespace

TEST_F(Drawing, CornersAndMarginsMapToTheEdgePointsOfAnEqPatchOnly)
{
    const struct
    {
        int x, y;
        std::uint64_t point;
        double norm;
    } rows[] = {
        {369, 142, 0, 511.0 / 512}, {880, 653, 63, 0.0}, {350, 400, 0, 253.0 / 512},
        {900, 130, 63, 1.0},        {400, 670, 3, 0.0},
    };
    for (const auto& row : rows)
    {
        c.mouseevent(row.x, row.y, pmouseleft, pmousepress);
        EXPECT_DOUBLE_EQ(point(row.point), row.norm) << row.x << "," << row.y;
        c.tools.strokecountdown = 0;
    }
    take(c.audioqueue);
    const std::string before = em.write();
    for (const auto& [x, y] : {std::pair{344, 400}, {906, 400}, {400, 117}, {400, 679}}) // a pixel past each margin
        c.mouseevent(x, y, pmouseleft, pmousepress);
    m.selectedpatch = 0; // a modulator has no curve points
    c.mouseevent(400, 300, pmouseleft, pmousepress);
    m.selectedpatch = 7; // no such patch
    c.mouseevent(400, 300, pmouseleft, pmousepress);
    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(c.audioqueue.size(), 0u);
}

TEST_F(Drawing, AFastStrokeFillsTheSkippedPoints)
{
    c.mouseevent(xof(10), yof(0), pmouseleft, pmousepress);
    patch(1, ppatchcurvefirst + 10).setnorm(0.2);
    c.mouseevent(xof(14), yof(307), pmouseleft, pmousedrag); // 307/512 is 0.5996
    const double filled[] = {0.2, 0.2, 0.3332, 0.4664, 0.5996};
    for (std::uint64_t i = 0; i < 5; ++i)
        EXPECT_NEAR(point(10 + i), filled[i], 1e-4) << 10 + i;
    // Backwards from 14 to 11: the filled points run from the lower index up.
    c.mouseevent(xof(11), yof(0), pmouseleft, pmousedrag);
    EXPECT_NEAR(point(12), 0.0, 1e-12);
    EXPECT_NEAR(point(13), 0.5996 / 2, 1e-4);
    // A neighbour or the same point fills nothing.
    c.mouseevent(xof(12), yof(100), pmouseleft, pmousedrag);
    c.mouseevent(xof(12), yof(200), pmouseleft, pmousedrag);
    EXPECT_NEAR(point(13), 0.5996 / 2, 1e-4);
}

TEST_F(Drawing, AStrokeEndsByCountdownOrAnotherButton)
{
    c.mouseevent(xof(10), yof(100), pmouseleft, pmousepress);
    EXPECT_EQ(c.tools.strokecountdown, pstroketicks);
    c.tools.strokecountdown = 0; // what 18 ticks leave
    c.mouseevent(xof(30), yof(300), pmouseleft, pmousedrag);
    EXPECT_DOUBLE_EQ(point(20), 0.5); // untouched
    c.mouseevent(xof(40), yof(300), pmouseright, pmousedrag);
    EXPECT_EQ(c.tools.strokecountdown, 0);
    EXPECT_DOUBLE_EQ(point(40), 0.5);
    c.mouseevent(xof(50), yof(300), pmouseleft, pmousedrag);
    EXPECT_DOUBLE_EQ(point(45), 0.5);
    c.mouseevent(xof(63), yof(300), pmouseleft, pmousedrag);
    EXPECT_EQ(c.tools.strokelast, 63);
    c.mouseevent(xof(60), yof(0), pmouseleft, pmousedrag);
    EXPECT_DOUBLE_EQ(point(61), 0.0); // from point 62, the stand-in for 63
}

TEST_F(Drawing, TheGraphFollowsAtOnceAndTheGainsOnTheAudioThread)
{
    const std::int32_t pixel = c.tools.graphpixels[0];
    const double gain = m.patches[1]->channels[0].buffer[100];
    for (int i = 0; i < 64; ++i)
        c.mouseevent(xof(i), yof(500), pmouseleft, pmousedrag);
    EXPECT_GT(c.tools.graphpixels[0].load(), pixel);
    EXPECT_DOUBLE_EQ(m.patches[1]->channels[0].buffer[100], gain);
    m.doaudioevents();
    EXPECT_GT(m.patches[1]->channels[0].buffer[100], gain);
}

TEST_F(Drawing, APressOutsideTheChooserCancelsIt)
{
    m.page = ppagevoices;
    c.tools.chooserrect = prect{360, 170, 560, 520};
    m.pendingkind = pkindeq;
    m.modtarget = 2;
    c.mouseevent(360, 170, pmouseleft, pmousepress);
    c.mouseevent(600, 300, pmouseleft, pmousedrag);
    EXPECT_EQ(m.pendingkind, pkindeq);
    c.mouseevent(600, 300, pmouseleft, pmousepress);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(m.modtarget, 0u);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

// The editor's writes against the audio path: parameter values, the curve, the patch radios
// and rebuild commands from the message thread while blocks run with their event drain.
// ThreadSanitizer runs this program; nothing here may race.
TEST_F(Drawing, EditingWhileAudioRuns)
{
    m.assignpatch(pkindeq, 0, 1, 0);
    m.newpatch(false, pkindharmony);
    m.assignpatch(pkindharmony, 0, 2, 0);
    auto& knob = bind(pownervoice, 0, pvoicepitch, pmodepitchknob);
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        constexpr unsigned n = 512;
        std::vector<double> buffers[4];
        for (auto& b : buffers)
            b.assign(n, 0.0);
        double* in[2] = {buffers[0].data(), buffers[1].data()};
        double* out[2] = {buffers[2].data(), buffers[3].data()};
        for (int block = 0; running; ++block)
        {
            for (unsigned i = 0; i < n; ++i)
                in[0][i] = in[1][i] = 0.2 * std::sin(0.03 * (block * n + i));
            m.doaudioevents();
            m.process(in, n, out, 2);
            ++blocks;
        }
    });
    for (int round = 0; round < 200; ++round)
    {
        m.page = ppageeq; // what the idle tick does under the mutex in the editor
        c.mouseevent(xof(round % 64), yof((round * 37) % 512), pmouseleft, round % 5 == 0 ? pmousepress : pmousedrag);
        c.internalevent(codeof(knob), static_cast<float>(round % 10) / 10.0f);
        m.selectedpatch = 2; // harmony: a new interval set is recomputed on the audio thread
        c.internalevent(pevpatchtype, static_cast<float>(1 + round % 3));
        m.selectedpatch = 1;
        c.guiqueue.post(pevrebuildgui, 1.0f);
        c.idle();
        for (const int seen = blocks; blocks == seen;) // one block between two rounds at least
            std::this_thread::yield();
    }
    running = false;
    audio.join();
    while (m.doaudioevents() > 0)
        continue;
    m.selectedpatch = 2;
    c.internalevent(pevpatchtype, 2.0f); // interval set 1
    EXPECT_EQ(m.doaudioevents(), 1u);
    EXPECT_NEAR(m.patches[2]->channels[0].buffer[4], std::pow(2.0, pprojdata::scales[1][4] / 12.0), 1e-12);
}
