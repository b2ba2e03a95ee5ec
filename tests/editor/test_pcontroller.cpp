// The controller without the framework: widget events in, model and queues out. Controls are
// plain records with their binding fields; the surface is a stand-in that builds a few of them
// per page, as the real rebuild does, and the framework side comes in through the services.
#include "editor/pcontroller.h"
#include "engine/eventmodel.h"
#include "engine/patchparams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
// A knob, switch or text field: shows what it is given; a field's text goes through the services.
struct fakecontrol : pkComponent
{
    explicit fakecontrol(int kind) : type(kind) {}
    void setValue(float v) override { shown = v; }
    double getValue() override { return shown; }
    int getType() override { return type; }
    int type;
    float shown = 0.0f;
    std::string text;
};

// Every field of an event, so that a wrong target names itself.
std::string text(const pevent& e)
{
    return std::to_string(e.code) + " " + std::to_string(e.value) + " v" + std::to_string(e.voice) + " p"
           + std::to_string(e.patch) + " t" + std::to_string(e.target) + " k" + std::to_string(e.kind);
}

// One instance with its editor open on stand-in services; `surface` is what a rebuild builds.
struct desk
{
    static desk* current;
    eventmodel em;
    pprojdata& m = em.m();
    pcontroller& c = *em.controller;
    int rebuilds = 0;
    int modelticks = 0;
    std::vector<std::string> opened;
    std::function<void()> surface;

    desk()
    {
        current = this;
        c.services.rebuild = [](pprojdata&) {
            ++current->rebuilds;
            if (current->surface)
                current->surface();
        };
        c.services.teardown = [](pprojdata&) { current->clear(); };
        c.services.modeltick = [](pprojdata&) { ++current->modelticks; };
        c.services.readtext = [](pkControl& control, costringa& text) {
            text.assign(dynamic_cast<fakecontrol&>(control).text.c_str());
            return control.getType() == pctltext;
        };
        c.services.showtext = [](pkControl& control, const char* text) {
            dynamic_cast<fakecontrol&>(control).text = text;
        };
        c.services.openaddress = [](const char* address) { current->opened.emplace_back(address); };
        c.open(nullptr);
        rebuilds = 0;
        em.rebuildsposted();
    }
    ~desk() { current = nullptr; }
    void clear()
    {
        c.tools.controls.clearAndDestroy();
        c.tools.patchmenus.clearAndDestroy();
        c.tools.radiogroups.clearAndDestroy();
    }
    fakecontrol& bind(std::int32_t ownerkind, std::int32_t owner, std::int32_t param, std::int32_t mode = pmodevalue,
                      int type = pctlknob)
    {
        auto* control = new fakecontrol(type);
        control->ownerkind = ownerkind;
        control->ownerindex = owner;
        control->paramindex = param;
        control->mode = mode;
        control->voice = owner < 0 ? 0 : owner;
        control->tag = static_cast<std::int32_t>(c.tools.controls.count); // its event code
        c.tools.controls.append(control);
        return *control;
    }
    void menu(std::initializer_list<std::int32_t> tags)
    {
        auto* added = new ppatchmenu;
        for (const std::int32_t tag : tags)
            added->itemmap.append(tag);
        c.tools.patchmenus.append(added);
    }
    // One audio block as the host hands it over.
    void block()
    {
        double buffers[4][256] = {};
        double* in[2] = {buffers[0], buffers[1]};
        double* out[2] = {buffers[2], buffers[3]};
        em.instance->processblock(in, 256, out, 2);
    }
    pparam& voice(std::uint64_t v, std::uint64_t p) { return *m.voices[v]->params[p]; }
    pparam& patch(std::uint64_t i, std::uint64_t p) { return *m.patches[i]->params[p]; }
};
desk* desk::current = nullptr;

class Controller : public ::testing::Test
{
protected:
    desk d;
    pprojdata& m = d.m;
    pcontroller& c = d.c;
};
} // namespace

// Each control kind writes its parameter by its own rule; a pitch control asks for its twin's refresh.
TEST_F(Controller, ControlsWriteTheirParameter)
{
    m.newpatch(false, pkinddelay);
    m.newpatch(false, pkindeq);
    // Binding, voice mode, coarse pitch, value sent; the parameter read back (patch, or 9: voice 0 or
    // global), its norm after (-1: unchanged).
    using row = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, double, double, float, std::uint64_t,
                           std::uint64_t, double, const char*>;
    const row rows[] = {
        {pownervoice, 0, pvoicepitch, pmodepitchknob, 0, 0.5, 0.53f, 9, pvoicepitch, 13.0 / 24.0, "snaps in mode 0"},
        {pownervoice, 0, pvoicepitch, pmodepitchknob, 1, 0.5, 0.53f, 9, pvoicepitch, 0.53, "free in mode 1"},
        {pownervoice, 0, pvoicepitch, pmodefinepitch, 0, 0.5, 1.0f, 9, pvoicepitch, 0.5416666665, "fine adds"},
        {pownervoice, 0, pvoicepitch, pmodefinepitch, 0, 0.02, 0.0f, 9, pvoicepitch, 0.0, "fine clamps"},
        {pownerpatch, 0, ppatchdelay, pmodepitchknob, 0, 0.5, 0.25f, 0, ppatchdelay, 0.25, "delay knob"},
        {pownerpatch, 1, ppatchdelay, pmodepitchknob, 0, 0.5, 0.25f, 1, ppatchdelay, -1, "an EQ has no delay"},
        {pownerglobal, -1, pglobalwet, pmodevalue, 0, 0.5, 0.25f, 9, pglobalwet, 0.25, "global knob"},
        {0, 0, 0, pmodevalue, 0, 0.5, 0.9f, 9, pvoicepitch, -1, "unbound"},
    };
    for (const auto& [ownerkind, owner, param, mode, voicemode, coarse, value, patch, index, norm, name] : rows)
    {
        SCOPED_TRACE(name);
        d.voice(0, pvoicemode).setvalue(voicemode);
        d.voice(0, pvoicepitch).setnorm(0.5);
        m.coarsepitch = coarse;
        const std::int32_t code = d.bind(ownerkind, owner, param, mode).tag;
        const pparam& p =
            patch < 9 ? d.patch(patch, index) : (ownerkind == pownerglobal ? *m.params[index] : d.voice(0, index));
        const double before = p.norm;
        c.internalevent(code, value);
        EXPECT_NEAR(p.norm, norm < 0.0 ? before : norm, 1e-7);
        if (mode == pmodefinepitch)
        {
            EXPECT_DOUBLE_EQ(m.coarsepitch, coarse); // the fine knob never moves the coarse value
        }
        const events twin{{pevrefreshtwins, static_cast<float>(code)}};
        EXPECT_EQ(take(m.guiqueue), mode != pmodevalue ? twin : events{});
        EXPECT_EQ(m.audioqueue.size(), 0u); // parameter values need no drain
    }
    EXPECT_DOUBLE_EQ(m.patches[0]->coarsedelay, 0.25);
}

TEST_F(Controller, PitchTextReadsAndShowsByTheSameRuleInEveryMode)
{
    auto& field = d.bind(pownervoice, 0, pvoicepitch, pmodepitchtext, pctltext);
    auto& knob = d.bind(pownervoice, 0, pvoicepitch, pmodepitchknob);
    // Mode, typed text, stored norm, the text the twin refresh shows back.
    const std::tuple<double, const char*, double, const char*, const char*> rows[] = {
        {0, "7", 7.0 / 24 + 0.5, "7.000", "mode 0: 24 semitones each way"},
        {1, "7", 7.0 / 24 + 0.5, "7.000", "mode 1 too"},
        {2, "7", 7.0 / 48 + 0.5, "7.000", "mode 2: 48"},
        {3, "7", 7.0 / 48 + 0.5, "7.000", "mode 3: 48"},
        {4, "-12.5", 0.5 - 12.5 / 48, "-12.500", "fractions and signs"},
        {0, "abc", 0.5, "0.000", "no number: 0"},
        {0, " +3x", 3.0 / 24 + 0.5, "3.000", "the leading number"},
        {0, "99", 1.0, "12.000", "clamped to the range"},
    };
    for (const auto& [mode, typed, norm, shown, name] : rows)
    {
        SCOPED_TRACE(name);
        d.voice(0, pvoicemode).setvalue(mode);
        d.voice(0, pvoicepitch).setnorm(0.1);
        field.text = typed;
        c.internalevent(field.tag, 0.0f);
        EXPECT_DOUBLE_EQ(d.voice(0, pvoicepitch).norm, norm);
        c.idle(); // the twin refresh
        EXPECT_EQ(field.text, shown);
        EXPECT_FLOAT_EQ(knob.shown, static_cast<float>(norm));
    }
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no de_DE.UTF-8 locale";
    EXPECT_DOUBLE_EQ(ptextnumber("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(ptextnumber("1e400"), 0.0);
    std::setlocale(LC_ALL, "C");
}

TEST_F(Controller, StaleAndUnknownControlsWriteNothingAndAreReported)
{
    d.em.apply(pevaddvoice, 1.0f);
    auto& volume = d.bind(pownervoice, 1, pvoicevolume);
    d.em.apply(pevent{pevdeletevoice, 1.0f, 1}); // voice 1 goes; its control stays until the rebuild
    const std::string before = d.em.write();
    c.internalevent(volume.tag, 0.9f);
    for (const int code : {500, -1, 89999, 91000})
        c.internalevent(code, 0.5f);
    c.routeevent(pevmixpage, 1.0f);
    EXPECT_EQ(d.em.write(), before);
    EXPECT_EQ(m.audioqueue.size(), 0u);
    EXPECT_EQ(take(m.guiqueue), (events{{pevrebuildgui, 1.0f}, {pevbadcontrol, 500.0f}, {pevmixpage, 1.0f}}));
}

// What each command carries is the editor's state when it is made (voice 1 and patch 1
// selected, target 2 chosen); commands that change only the editor's state apply at once.
TEST_F(Controller, CommandsCarryTheEditorsStateOfTheirMoment)
{
    m.newvoice();
    m.newpatch(false, pkindmodulator);
    m.newpatch(false, pkindeq);
    m.assignpatch(pkindeq, 1, 1, 0);
    d.menu({pheadingtag, 2});
    const std::int32_t voices = ppagevoices;
    const std::int32_t harmony = ppageharmony;
    // Code, value, pending kind, page; the event queued (code 0: none), the page and patch after.
    using row =
        std::tuple<std::int32_t, float, std::int32_t, std::int32_t, pevent, std::int32_t, std::uint64_t, const char*>;
    const row rows[] = {
        {pevdeletevoice, 1, 0, voices, {pevdeletevoice, 1, 1}, voices, 1, "delete names the voice"},
        {pevnewpatch, 1, pkindeq, voices, {pevnewpatch, 1, 1, -1, 2, pkindeq}, voices, 1, "voice, target, kind"},
        {pevnewpatch, 1, 0, voices, {}, voices, 1, "no kind pending, no patch"},
        {pevassignpatch, 2, 0, voices, {pevassignpatch, 2, 1, 1, 2}, voices, 1, "assign"},
        {pevunassignpatch, 2, pkindmodulator, voices, {pevunassignpatch, 2, 1, 1, 2}, voices, 1, "modulator target"},
        {pevunassignpatch, 2, 0, voices, {pevunassignpatch, 2, 1, 1, 0}, voices, 1, "other kinds: target 0"},
        {pevpatchmenu, 1, 0, voices, {pevassignpatch, 2, 1, 1, 2}, voices, 1, "a menu item names its patch"},
        {pevpatchmenu, 0, 0, voices, {}, voices, 1, "a heading names none"},
        {pevpatchmenu, 2, 0, voices, {}, voices, 1, "an item beyond the map"},
        {pevpatchmenu + 1, 0, 0, voices, {}, voices, 1, "no menu 1"},
        {pevresetcurve, 1, 0, voices, {pevresetcurve, 1, -1, 1}, voices, 1, "reset names the patch"},
        {pevharmonyinvert, 1, 0, voices, {}, voices, 1, "invert only on the harmony page"},
        {pevharmonyinvert, 1, 0, harmony, {pevharmonyinvert, 1, -1, 1}, harmony, 1, "invert names the patch"},
        {pevchoosekind, 3, 0, voices, {}, ppageeq, 1, "the voice's EQ, shown at once"},
        {pevchoosekind, 2, 0, voices, {pevnewpatch, 1, 1, -1, 2, pkinddelay}, voices, 1, "no delay yet: a new one"},
        {pevchoosekind, 7, 0, voices, {}, voices, 1, "no such kind"},
        {pevselectpatch, 1, pkindmodulator, voices, {}, ppagemodulator, 0, "select shows the pending kind"},
        {pevmonostereo, 1, 0, voices, {pevmonostereo, 1}, voices, 1, "mono or stereo"},
    };
    for (const auto& [code, value, pending, page, queued, pageafter, patchafter, name] : rows)
    {
        SCOPED_TRACE(name);
        m.pendingkind = pending;
        m.page = page;
        m.selectedvoice = 1;
        m.selectedpatch = 1;
        m.modtarget = 2;
        c.internalevent(code, value);
        pevent batch[peventqueue::capacity];
        EXPECT_EQ(text(m.audioqueue.drain(batch) > 0 ? batch[0] : pevent{}), text(queued));
        EXPECT_EQ(m.page, pageafter);
        EXPECT_EQ(m.selectedpatch, patchafter);
    }
}

TEST_F(Controller, IdleTickAppliesPageAndSelectionCommands)
{
    d.em.apply(pevaddvoice, 1.0f);
    d.em.apply(pevaddvoice, 1.0f); // three voices, voice 2 selected
    d.em.rebuildsposted();
    // Event, value; then page, selected voice, pending kind, target and rebuilds.
    const std::tuple<std::int32_t, float, std::int32_t, std::uint64_t, std::int32_t, std::uint64_t, int> rows[] = {
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
        {pevopenhome, 1.0f, ppagevoices, 2, 93001, 5, 0},
        {pevopenmanual, 2.0f, ppagevoices, 2, 93001, 5, 0},
        {pevopenmanual, 1.0f, ppagevoices, 2, 93001, 5, 0},
    };
    for (const auto& [code, value, page, voice, pending, target, rebuilds] : rows)
    {
        SCOPED_TRACE(std::to_string(code) + " " + std::to_string(value));
        d.rebuilds = 0;
        m.guiqueue.post(code, value);
        c.idle();
        EXPECT_EQ(m.page, page);
        EXPECT_EQ(m.selectedvoice, voice);
        EXPECT_EQ(m.pendingkind, pending);
        EXPECT_EQ(m.modtarget, target);
        EXPECT_EQ(d.rebuilds, rebuilds);
    }
    EXPECT_EQ(m.mixoffset, 0u); // three voices fit in eight rows
    EXPECT_EQ(d.opened, (std::vector<std::string>{pwebpages::home, pwebpages::manual}));
}

// Editor commands wait while the window is closed; model commands do not need it. An editor
// opened before any audio block shows the state the host restored.
TEST_F(Controller, AClosedEditorKeepsItsCommandsAndOpensOnTheRestoredState)
{
    c.close();
    const std::string saved = d.em.write();
    m.guiqueue.post(pevmixpage, 1.0f);
    c.routeevent(pevaddvoice, 1.0f);
    for (std::int32_t t = 0; t < pquietticks; ++t)
        c.idle();
    EXPECT_EQ(m.page, ppagevoices);
    EXPECT_EQ(m.voices.count, 2u);
    m.restorestate(saved.data(), static_cast<std::int64_t>(saved.size()));
    c.open(nullptr);
    EXPECT_EQ(m.voices.count, 1u);
    c.idle();
    EXPECT_EQ(m.page, ppagemix);
}

// The model's tick draws only into a surface built for the page it draws.
TEST_F(Controller, TheModelTickWaitsForTheSurfaceOfANewPage)
{
    c.idle();
    EXPECT_EQ(d.modelticks, 1);
    m.page = ppageeq; // changed by a drain; the rebuild it asked for comes next tick
    c.idle();
    EXPECT_EQ(d.modelticks, 1);
    m.guiqueue.post(pevrebuildgui, 1.0f);
    c.idle();
    EXPECT_EQ(d.modelticks, 2);
}

TEST_F(Controller, AWidgetCallbackDuringARebuildDoesNotLockAgain)
{
    auto& knob = d.bind(pownerglobal, -1, pglobalwet);
    d.surface = [&] { c.internalevent(knob.tag, 0.75f); }; // a field commits on teardown
    m.guiqueue.post(pevrebuildgui, 1.0f);
    c.idle();
    EXPECT_DOUBLE_EQ(m.params[pglobalwet]->norm, 0.75);
}

// ---- every edit lands where the user made it, whether or not the host runs audio ----
namespace
{
// Actions besides widget codes: type into control 0 and leave it; close the editor; the host
// restores the state with "Global Volume" 0.9; value moves of the volume knob (control 2); the
// user looks at the editor for a few ticks.
constexpr std::int32_t typing = -1, closing = -2, restoring = -3, dragging = -4, looking = -5;

// Four voices told apart by their pitch; voice 0 holds harmony patch 0 and modulator 1, voices
// 1 to 3 the delay patches 2 to 4. The stand-in surface: the harmony page has the first
// interval's field; the modulator page the source radio; the voices page the pitch field, the
// formant and volume knobs and the delay menu.
struct scene : desk
{
    std::string restoretext;
    explicit scene(std::int32_t startpage)
    {
        const double pitches[] = {0.658856, 0.2, 0.3, 0.4};
        while (m.voices.count < 4)
            m.newvoice();
        for (std::uint64_t v = 0; v < 4; ++v)
            voice(v, pvoicepitch).setnorm(pitches[v]);
        m.assignpatch(pkindharmony, 0, m.newpatch(false, pkindharmony), 0);
        m.assignpatch(pkindmodulator, 0, m.newpatch(false, pkindmodulator), pvoicepitch);
        for (std::uint64_t v = 1; v < 4; ++v)
            m.assignpatch(pkinddelay, v, m.newpatch(false, pkinddelay), 0);
        m.recalcpatchstate(0);
        const double volume = m.params[pglobalvolume]->norm;
        m.params[pglobalvolume]->setnorm(0.9);
        restoretext = em.write();
        m.params[pglobalvolume]->setnorm(volume);
        m.page = startpage;
        m.selectedpatch = startpage == ppagemodulator ? 1 : 0;
        surface = [this] { build(); };
        c.open(nullptr);
    }
    void build()
    {
        clear();
        const auto selected = static_cast<std::int32_t>(m.selectedvoice.load());
        if (m.page == ppageharmony)
        {
            bind(pownerpatch, 0, ppatchintervalfirst, pmodevalue, pctltext);
        }
        else if (m.page == ppagemodulator)
        {
            auto* group = new pkRadioGroup;
            group->tag = pevpatchtype;
            for (int i = 0; i < 3; ++i)
                group->items[group->count++] = &bind(0, 0, 0, pmodevalue, pctlswitch);
            c.tools.radiogroups.append(group);
            c.tools.lightradio(pevpatchtype, patch(1, ppatchsource).intvalue);
        }
        else
        {
            bind(pownervoice, selected, pvoicepitch, pmodepitchtext, pctltext);
            bind(pownervoice, selected, pvoiceformantscale).shown = static_cast<float>(voice(0, 4).norm);
            bind(pownerglobal, -1, pglobalvolume).shown = static_cast<float>(m.params[pglobalvolume]->norm);
            menu({3, 4, 5});
        }
    }
    void act(std::int32_t code, float value, bool running)
    {
        for (std::int32_t t = 0; code == looking && t < pquietticks; ++t)
        {
            if (running)
                block();
            c.idle();
        }
        std::ostringstream typed;
        typed << value;
        if (code == typing)
            dynamic_cast<fakecontrol&>(*c.tools.controls[0]).text = typed.str();
        if (code == closing)
            c.close();
        if (code == restoring)
            m.restorestate(restoretext.data(), static_cast<std::int64_t>(restoretext.size()));
        for (int i = 0; code == dragging && i < static_cast<int>(value); ++i)
            c.routeevent(2, static_cast<float>(i) / value);
        for (std::uint64_t i = 0; code == pevpatchtype && i < 3; ++i) // the switch toggles itself before it reports
            if (auto& s = *c.tools.radiogroups[0]->items[i]; value > 0.0f ? i + 1 == value : s.getValue() > 0.0)
                s.setValue(value > 0.0f ? 1.0f : 0.0f);
        if (code >= 0 || code == typing)
            c.routeevent(code == typing ? 0 : code, value);
    }
    // What a row measures, of voice, parameter or nothing.
    double pitch(std::uint64_t v) { return voice(v, pvoicepitch).norm; }
    double interval0(std::uint64_t) { return patch(0, ppatchintervalfirst).value; }
    double harmonyset(std::uint64_t) { return patch(0, ppatchsource).value; }
    double formant(std::uint64_t) { return voice(0, pvoiceformantscale).norm; }
    double modulator(std::uint64_t p) { return patch(1, p).norm; }
    double volumeshown(std::uint64_t) { return c.tools.controls[2]->getValue(); }
    double voices(std::uint64_t) { return static_cast<double>(m.voices.count); }
    double delay(std::uint64_t v) // the voice's delay patch, -1 for none
    {
        double found = -1.0;
        for (std::uint64_t i = 0; i < m.voices[v]->assignments.count; ++i)
            if (m.voices[v]->assignments[i]->kind == pkinddelay)
                found = static_cast<double>(m.voices[v]->assignments[i]->patch);
        return found;
    }
    double eqpatches(std::uint64_t)
    {
        double count = 0.0;
        for (std::uint64_t i = 0; i < m.patches.count; ++i)
            count += m.patches[i]->kind == pkindeq;
        return count;
    }
    double lit(std::uint64_t) // the one lit switch of the source radio, -1 for none or several
    {
        double found = -1.0;
        double count = 0.0;
        for (std::uint64_t i = 0; i < 3; ++i)
            if (c.tools.radiogroups[0]->items[i]->getValue() > 0.0)
                found = count++ == 0.0 ? static_cast<double>(i) : -1.0;
        return found;
    }
};
} // namespace

// Each case gives the same figure with audio stopped (before and after the host resumes) and
// with audio running. Stopped, the user acts faster than the tick notices that blocks stopped
// (a command must name its target when it is made), then waits a moment (the tick must apply
// the queued commands itself).
TEST(Landing, EveryEditLandsWhereItWasMadeStoppedOrRunning)
{
    using actions = std::vector<std::pair<std::int32_t, float>>;
    const std::tuple<std::int32_t, actions, double (scene::*)(std::uint64_t), std::uint64_t, double, const char*>
        rows[] = {
            {ppagevoices, {{92030, 3}, {pevdeletevoice, 1}, {92053, 1}}, &scene::pitch, 1, 0.2, "delete takes voice 3"},
            {ppagevoices, {{91100, 2}, {92052, 1}, {92052, 1}}, &scene::delay, 0, 4, "a menu pick stays voice 1's"},
            {ppagevoices, {{91100, 2}, {pevmixpage, 1}}, &scene::delay, 0, 4, "a menu pick survives leaving"},
            {ppageharmony,
             {{typing, 7}, {pevvoicespage, 1}, {closing, 0}},
             &scene::interval0,
             0,
             7,
             "typed, BACK, close"},
            {ppageharmony, {{typing, 7}, {closing, 0}}, &scene::interval0, 0, 7, "an interval typed, then close"},
            {ppageharmony, {{typing, 4}}, &scene::harmonyset, 0, pharmonythirds, "interval field left untouched"},
            {ppagevoices, {{typing, 3.813f}}, &scene::pitch, 0, 0.658856, "pitch field left untouched"},
            {ppagevoices, {{restoring, 0}}, &scene::volumeshown, 0, 0.9, "a restore shows in the editor"},
            {ppagevoices, {{restoring, 0}, {looking, 0}, {1, 0.74f}}, &scene::formant, 0, 0.74f, "drag after restore"},
            {ppagevoices, {{pevneweq, 1}, {pevneweq, 1}}, &scene::eqpatches, 0, 1, "two ADD presses, one EQ"},
            {ppagevoices, {{dragging, 100}, {pevaddvoice, 1}}, &scene::voices, 0, 5, "ADD after a long drag"},
            {ppagemodulator, {{pevpatchtype, 2}}, &scene::lit, 0, 1, "a source switch lights alone"},
            {ppagemodulator, {{pevpatchtype, 2}, {pevpatchtype, 0}}, &scene::lit, 0, 1, "clicked again, it stays lit"},
            {ppagemodulator, {{pevpatchtype, 2}}, &scene::modulator, ppatchamplitude1, 1.0, "the envelope's settings"},
        };
    for (const bool running : {false, true})
        for (const auto& [page, steps, measure, of, expected, name] : rows)
        {
            SCOPED_TRACE(std::string(name) + (running ? ", audio running" : ", audio stopped"));
            scene s(page);
            s.block();
            for (const auto& [code, value] : steps)
            {
                s.act(code, value, running);
                if (running)
                    s.block();
                s.c.idle();
            }
            for (std::int32_t t = 0; t < pquietticks; ++t)
                s.c.idle();
            EXPECT_NEAR((s.*measure)(of), expected, 1e-6);
            s.block(); // the host resumes
            s.c.idle();
            EXPECT_NEAR((s.*measure)(of), expected, 1e-6);
            EXPECT_EQ(s.m.audioqueue.dropped(), 0u);
        }
}

// ---- mouse drawing ----
namespace
{
class Drawing : public Controller
{
protected:
    void SetUp() override
    {
        m.newpatch(false, pkindmodulator);
        m.newpatch(false, pkindeq);
        m.selectedpatch = 1;
        m.page = ppageeq;
    }
    double point(std::uint64_t i) { return d.patch(1, ppatchcurvefirst + i).norm; }
    // The window x of curve point i, and the y of a height of h 512ths.
    static int xof(int i) { return 369 + 8 * i + 3; }
    static int yof(int h) { return 142 + 511 - h; }
};
} // namespace

TEST_F(Drawing, CornersAndMarginsMapToTheEdgePointsOfAnEqPatchOnly)
{
    const std::tuple<int, int, std::uint64_t, double, const char*> rows[] = {
        {369, 142, 0, 511.0 / 512, "the top-left corner"},
        {880, 653, 63, 0.0, "the bottom-right corner"},
        {350, 400, 0, 253.0 / 512, "the left margin: the first point"},
        {900, 130, 63, 1.0, "beyond the top right: clamped"},
        {400, 670, 3, 0.0, "below the bottom"},
    };
    for (const auto& [x, y, index, norm, name] : rows)
    {
        SCOPED_TRACE(name);
        c.mouseevent(x, y, pmouseleft, pmousepress);
        EXPECT_DOUBLE_EQ(point(index), norm);
        c.tools.strokecountdown = 0;
    }
    take(m.audioqueue);
    const std::string before = d.em.write();
    for (const auto& [x, y] : {std::pair{344, 400}, {906, 400}, {400, 117}, {400, 679}}) // a pixel past each margin
        c.mouseevent(x, y, pmouseleft, pmousepress);
    m.selectedpatch = 0; // a modulator has no curve points
    c.mouseevent(400, 300, pmouseleft, pmousepress);
    m.selectedpatch = 7; // no such patch
    c.mouseevent(400, 300, pmouseleft, pmousepress);
    EXPECT_EQ(d.em.write(), before);
    EXPECT_EQ(m.audioqueue.size(), 0u);
}

// One stroke after another: point index and height (512ths) of the event, button, press or drag
// (0: nothing, -1: the countdown runs out); the curve point read after it and its norm.
TEST_F(Drawing, AStrokeFillsTheSkippedPointsUntilItEnds)
{
    const std::tuple<int, int, int, int, std::uint64_t, double, const char*> rows[] = {
        {10, 102, pmouseleft, pmousepress, 10, 102 / 512.0, "a press sets its point"},
        {14, 307, pmouseleft, pmousedrag, 11, 102 / 512.0, "a fast stroke fills from the last point"},
        {0, 0, 0, 0, 12, (2 * 102 + 307) / 1536.0, "evenly"},
        {0, 0, 0, 0, 13, (102 + 2 * 307) / 1536.0, "up to the point before the new one"},
        {11, 0, pmouseleft, pmousedrag, 12, 0.0, "backwards, from the lower index up"},
        {0, 0, 0, 0, 13, 307 / 1024.0, "backwards, halfway"},
        {12, 100, pmouseleft, pmousedrag, 13, 307 / 1024.0, "a neighbour fills nothing"},
        {12, 200, pmouseleft, pmousedrag, 13, 307 / 1024.0, "nor the same point"},
        {10, 100, pmouseleft, pmousepress, 10, 100 / 512.0, "a new stroke"},
        {0, 0, 0, -1, 10, 100 / 512.0, "ended by the countdown"},
        {30, 300, pmouseleft, pmousedrag, 20, 0.5, "no fill after the countdown"},
        {40, 300, pmouseright, pmousedrag, 40, 0.5, "another button draws nothing"},
        {50, 300, pmouseleft, pmousedrag, 45, 0.5, "and ends the stroke"},
        {63, 300, pmouseleft, pmousedrag, 62, 300 / 512.0, "the last point"},
        {60, 0, pmouseleft, pmousedrag, 62, 300 / 512.0, "stands in for the point beyond it"},
    };
    for (const auto& [index, height, button, action, read, norm, name] : rows)
    {
        SCOPED_TRACE(name);
        if (action > 0)
            c.mouseevent(xof(index), yof(height), button, action);
        if (action < 0)
            c.tools.strokecountdown = 0; // what 18 ticks leave
        EXPECT_NEAR(point(read), norm, 1e-12);
    }
}

// The graph follows at once; the gains the audio path reads follow the one drain that a whole
// stroke queues.
TEST_F(Drawing, TheGraphFollowsAtOnceAndTheGainsInOneDrain)
{
    const std::int32_t pixel = c.tools.graphpixels[0];
    const double gain = m.patches[1]->channels[0].buffer[100];
    for (int i = 0; i < 64; ++i)
        c.mouseevent(xof(i), yof(500), pmouseleft, pmousedrag);
    EXPECT_GT(c.tools.graphpixels[0].load(), pixel);
    EXPECT_DOUBLE_EQ(m.patches[1]->channels[0].buffer[100], gain);
    EXPECT_EQ(m.doaudioevents(), 1u);
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
    EXPECT_EQ(d.em.rebuildsposted(), 1u);
}

// The editor against the audio path: parameter writes, the curve, patch radios, voices added
// and deleted and rebuilds from the message thread, while blocks come in bursts with pauses in
// which the tick applies the commands itself. ThreadSanitizer runs this program; nothing here
// may race, and no command is lost or applied twice.
TEST_F(Drawing, EditingWhileAudioComesAndGoes)
{
    m.assignpatch(pkindeq, 0, 1, 0);
    m.newpatch(false, pkindharmony);
    m.assignpatch(pkindharmony, 0, 2, 0);
    auto& knob = d.bind(pownervoice, 0, pvoicepitch, pmodepitchknob);
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        for (int block = 0; running; ++block)
        {
            d.block();
            ++blocks;
            if (block % 50 == 49) // the host stops for a while
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    for (int round = 0; round < 300; ++round)
    {
        m.page = ppageeq; // what the idle tick does under the mutex in the editor
        c.mouseevent(xof(round % 64), yof((round * 37) % 512), pmouseleft, round % 5 == 0 ? pmousepress : pmousedrag);
        c.internalevent(knob.tag, static_cast<float>(round % 10) / 10.0f);
        if (m.audioqueue.size() < peventqueue::capacity / 2) // no user outpaces the drains for long
        {
            m.selectedpatch = 2; // harmony: a new interval set is recomputed in a drain
            c.internalevent(pevpatchtype, static_cast<float>(1 + round % 3));
            m.selectedpatch = 1;
            c.routeevent(pevaddvoice, 1.0f);
            c.routeevent(pevdeletevoice, 1.0f);
        }
        c.idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    running = false;
    audio.join();
    while (m.doaudioevents() > 0)
        continue;
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(m.voices.count, 1u); // every add met its delete
    EXPECT_EQ(m.audioqueue.dropped(), 0u);
    m.selectedpatch = 2;
    c.internalevent(pevpatchtype, 2.0f); // interval set 1
    EXPECT_EQ(m.doaudioevents(), 1u);
    EXPECT_NEAR(m.patches[2]->channels[0].buffer[4], std::pow(2.0, pprojdata::scales[1][4] / 12.0), 1e-12);
}
