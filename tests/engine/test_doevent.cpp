// The dispatcher: voice and patch commands with their reference counts, control changes that
// alter a patch's derived state, patch menus, and everything it must ignore.
#include "eventmodel.h"

#include "kit/pguitools.h"
#include "kit/pkcontrol.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

namespace
{
class Dispatcher : public ::testing::Test
{
protected:
    eventmodel em;
    pprojdata& m = em.m();

    void SetUp() override { em.takegui(); }

    // A control bound to parameter `param` of patch `patch`, appended to the control list;
    // returns its event code.
    std::int32_t patchcontrol(std::int32_t patch, std::int32_t param)
    {
        auto* c = new pkComponent;
        c->ownerkind = pownerpatch;
        c->ownerindex = patch;
        c->paramindex = param;
        em.controller->tools.controls.append(c);
        return static_cast<std::int32_t>(em.controller->tools.controls.count - 1);
    }

    void patchmenu(std::initializer_list<std::int32_t> tags)
    {
        auto* menu = new ppatchmenu;
        for (std::int32_t t : tags)
            menu->itemmap.append(t);
        em.controller->tools.patchmenus.append(menu);
    }

    pparam& interval(std::uint64_t patch, std::uint64_t position)
    {
        return *m.patches[patch]->params[ppatchintervalfirst + position];
    }
};
} // namespace

// ---- voices ----

TEST_F(Dispatcher, AddVoiceSelectsTheNewVoiceOnlyForValueOne)
{
    em.apply(pevaddvoice, 0.5f);
    EXPECT_EQ(m.voices.count, 1u);
    EXPECT_EQ(em.rebuildsposted(), 0u);

    em.apply(pevaddvoice, 1.0f);
    em.apply(pevaddvoice, 1.0f);
    EXPECT_EQ(m.voices.count, 3u);
    EXPECT_EQ(m.selectedvoice, 2u);
    EXPECT_EQ(m.engines[0].voicestates.count, 3u);
    EXPECT_EQ(em.rebuildsposted(), 2u);
}

TEST_F(Dispatcher, DeletingTheSelectedVoiceReleasesEverySharedPatch)
{
    m.newvoice();
    m.newvoice();
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    const std::uint64_t delay = m.newpatch(false, pkinddelay);
    // Voices 0 and 1 share the modulator and the delay with voice 2.
    m.assignpatch(pkindmodulator, 0, mod, pvoicepitch);
    m.assignpatch(pkinddelay, 1, delay, 0);
    m.assignpatch(pkindeq, 2, eq, 0);
    m.assignpatch(pkindmodulator, 2, mod, pvoicepitch);
    m.assignpatch(pkindmodulator, 2, mod, pvoicepan);
    m.assignpatch(pkinddelay, 2, delay, 0);
    ASSERT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1, 3, 2}));

    m.selectedvoice = 2;
    em.apply(pevdeletevoice, 1.0f);

    EXPECT_EQ(m.voices.count, 2u);
    EXPECT_EQ(m.selectedvoice, 1u);
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0, 1, 1}));
    EXPECT_EQ(assignmentsof(m, 1), (std::vector<assignview>{{delay, pkinddelay, 0}}));
    EXPECT_EQ(m.engines[0].voicestates.count, 2u);
    EXPECT_EQ(m.engines[1].voicestates.count, 2u);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, DeletingTheFirstVoiceKeepsSelectionAtZero)
{
    m.newvoice();
    m.selectedvoice = 0;
    m.voices[1]->params[pvoicepitch]->setnorm(0.25);
    em.apply(pevdeletevoice, 1.0f);
    ASSERT_EQ(m.voices.count, 1u);
    EXPECT_EQ(m.selectedvoice, 0u);
    EXPECT_DOUBLE_EQ(m.voices[0]->params[pvoicepitch]->norm, 0.25);
}

TEST_F(Dispatcher, TheLastVoiceIsNeverDeletedButTheEditorStillRebuilds)
{
    em.apply(pevdeletevoice, 1.0f);
    EXPECT_EQ(m.voices.count, 1u);
    EXPECT_EQ(em.rebuildsposted(), 1u);

    m.newvoice();
    em.apply(pevdeletevoice, 0.5f);
    EXPECT_EQ(m.voices.count, 2u);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// ---- patches for the selected voice ----

TEST_F(Dispatcher, ChooseKindMakesAnEqPatchInAFreeSlot)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    m.newpatch(false, pkinddelay); // free slot 1
    const std::uint64_t harmony = m.newpatch(false, pkindharmony);
    m.assignpatch(pkindmodulator, 0, mod, 0);
    m.assignpatch(pkindharmony, 0, harmony, 0);

    em.apply(pevchoosekind, 3.0f);

    EXPECT_EQ(kindsof(m), (std::vector<std::uint64_t>{pkindmodulator, pkindeq, pkindharmony}));
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1, 1, 1}));
    EXPECT_EQ(m.selectedpatch, 1u);
    EXPECT_EQ(m.page, ppageeq);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(assignmentsof(m, 0).back(), (assignview{1, pkindeq, 0}));
    EXPECT_EQ(m.patches[1]->channels[0].bufferlength, 1024u) << "EQ gains made for the new patch";
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, ChooseKindSelectsTheVoicesLastPatchOfThatKind)
{
    const std::uint64_t a = m.newpatch(false, pkindmodulator);
    const std::uint64_t b = m.newpatch(false, pkindmodulator);
    m.assignpatch(pkindmodulator, 0, a, 0);
    m.assignpatch(pkindmodulator, 0, b, 1);

    em.apply(pevchoosekind, 1.0f);

    EXPECT_EQ(m.patches.count, 2u) << "no new patch";
    EXPECT_EQ(m.selectedpatch, b);
    EXPECT_EQ(m.page, ppagemodulator);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, ChooseKindForAModulatorUsesTheModulationTarget)
{
    m.modtarget = pvoiceformantscale;
    em.apply(pevchoosekind, 1.0f);
    EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{0, pkindmodulator, pvoiceformantscale}}));
}

TEST_F(Dispatcher, ChooseKindOfNoKnownKindOnlyRemembersIt)
{
    em.apply(pevchoosekind, 7.0f);
    EXPECT_EQ(m.pendingkind, 93007);
    EXPECT_EQ(m.patches.count, 0u);
    EXPECT_EQ(em.rebuildsposted(), 0u);

    em.apply(pevnewpatch, 1.0f); // nothing to make for that kind
    EXPECT_EQ(m.patches.count, 0u);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

TEST_F(Dispatcher, NewPatchUsesThePendingKind)
{
    m.pendingkind = pkinddelay;
    em.apply(pevnewpatch, 0.5f);
    EXPECT_EQ(m.patches.count, 0u);

    em.apply(pevnewpatch, 1.0f);
    ASSERT_EQ(kindsof(m), (std::vector<std::uint64_t>{pkinddelay}));
    EXPECT_EQ(m.page, ppagedelay);
    EXPECT_EQ(m.selectedpatch, 0u);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1}));
}

TEST_F(Dispatcher, AssigningASecondEqReleasesTheFirst)
{
    const std::uint64_t first = m.newpatch(false, pkindeq);
    const std::uint64_t second = m.newpatch(false, pkindeq);
    em.apply(pevassignpatch, static_cast<float>(first + 1));
    em.apply(pevassignpatch, static_cast<float>(second + 1));
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0, 1}));
    EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{second, pkindeq, 0}}));
    EXPECT_EQ(em.rebuildsposted(), 2u);
}

TEST_F(Dispatcher, UnassignRemovesTheRecordWithTheModulationTarget)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    m.assignpatch(pkindmodulator, 0, mod, pvoicevolume);
    m.assignpatch(pkindmodulator, 0, mod, pvoicepan);
    m.pendingkind = pkindmodulator;
    m.modtarget = pvoicepan;

    em.apply(pevunassignpatch, static_cast<float>(mod + 1));
    EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{mod, pkindmodulator, pvoicevolume}}));
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(em.rebuildsposted(), 1u);

    // Without a modulator pending the target is 0, which matches no remaining record.
    m.pendingkind = 0;
    em.apply(pevunassignpatch, static_cast<float>(mod + 1));
    EXPECT_EQ(m.modtarget, 0u);
    EXPECT_EQ(assignmentsof(m, 0).size(), 1u);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, UnassignedPatchSlotIsReusedByTheNextNewPatch)
{
    const std::uint64_t delay = m.newpatch(false, pkinddelay);
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    m.assignpatch(pkinddelay, 0, delay, 0);
    m.assignpatch(pkindeq, 0, eq, 0);

    em.apply(pevunassignpatch, static_cast<float>(delay + 1));
    ASSERT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0, 1}));

    em.apply(pevnewharmony, 1.0f);
    EXPECT_EQ(kindsof(m), (std::vector<std::uint64_t>{pkindharmony, pkindeq}));
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{1, 1}));
    EXPECT_EQ(m.patches[0]->params.count, pharmonyparamcount);
}

TEST_F(Dispatcher, SelectPatchShowsThePendingKindsPage)
{
    m.newpatch(false, pkindeq);
    m.newpatch(false, pkindeq);
    m.pendingkind = pkindeq;
    em.apply(pevselectpatch, 2.0f);
    EXPECT_EQ(m.selectedpatch, 1u);
    EXPECT_EQ(m.page, ppageeq);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, NewPatchForAVoiceGoesToThatVoice)
{
    m.newvoice();
    em.apply(pevneweq, 2.0f);
    em.apply(pevnewdelay, 2.9f); // value - 1 truncated: voice 1 again
    EXPECT_EQ(assignmentsof(m, 0).size(), 0u);
    EXPECT_EQ(assignmentsof(m, 1), (std::vector<assignview>{{0, pkindeq, 0}, {1, pkinddelay, 0}}));
    EXPECT_EQ(em.rebuildsposted(), 2u);

    em.apply(pevnewharmony, 0.9f); // below 1
    em.apply(pevnewharmony, 3.0f); // no voice 2
    EXPECT_EQ(m.patches.count, 2u);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// ---- patch menus ----

TEST_F(Dispatcher, PatchMenuItemAssignsThePatchItNames)
{
    m.newpatch(false, pkinddelay);
    m.newpatch(false, pkinddelay);
    m.assignpatch(pkinddelay, 0, 0, 0);
    patchmenu({1, pheadingtag, 2});

    em.apply(pevpatchmenu, 1.0f); // the heading
    EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{0, pkinddelay, 0}}));
    EXPECT_EQ(em.rebuildsposted(), 0u);

    em.apply(pevpatchmenu, 2.0f);
    EXPECT_EQ(assignmentsof(m, 0), (std::vector<assignview>{{1, pkinddelay, 0}}));
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0, 1}));
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, PatchMenuEventsThatNameNothingAreIgnored)
{
    m.newpatch(false, pkinddelay);
    patchmenu({1, 9}); // item 1 names a patch that does not exist
    const std::string before = em.write();

    em.apply(pevpatchmenu, 1.0f);                // patch 8: none
    em.apply(pevpatchmenu, 2.0f);                // beyond the item map
    em.apply(pevpatchmenu, -1.0f);               // negative item
    em.apply(pevpatchmenu + 1, 0.0f);            // no second menu
    em.apply(pevpatchmenulast, 0.0f);            // no eleventh menu
    em.apply(pevpatchmenu, std::nanf(""));       // not a number
    em.apply(pevpatchmenu, 1e30f);               // not an item

    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(refcountsof(m), (std::vector<std::uint64_t>{0}));
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// ---- control changes ----

TEST_F(Dispatcher, EditingAHarmonyIntervalMakesTheTableCustom)
{
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    ASSERT_EQ(m.patches[h]->params[ppatchsource]->intvalue, 0);
    ASSERT_DOUBLE_EQ(interval(h, 2).value, 3.0) << "preset thirds";

    // The controller writes the parameter, then the control's code reaches the dispatcher.
    const std::int32_t code = patchcontrol(static_cast<std::int32_t>(h), ppatchintervalfirst + 2);
    interval(h, 2).setvalue(5.0);
    em.apply(code, 0.5f);

    EXPECT_EQ(m.patches[h]->params[ppatchsource]->intvalue, 3);
    EXPECT_DOUBLE_EQ(interval(h, 2).value, 5.0) << "the edit survives the recomputation";
    EXPECT_NEAR(m.patches[h]->channels[0].buffer[2], std::pow(2.0, 5.0 / 12.0), 1e-12);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, ChoosingAPresetIntervalSetRewritesTheTable)
{
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    const std::int32_t code = patchcontrol(static_cast<std::int32_t>(h), ppatchsource);
    m.patches[h]->params[ppatchsource]->setvalue(1.0); // fifths
    em.apply(code, 0.0f);
    EXPECT_DOUBLE_EQ(interval(h, 0).value, 7.0);
    EXPECT_DOUBLE_EQ(interval(h, 11).value, 6.0);
    EXPECT_NEAR(m.patches[h]->channels[0].buffer[0], std::pow(2.0, 7.0 / 12.0), 1e-12);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, OnlySourceAndShapeOfModulatorsAndDelaysRequestARebuild)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    const std::uint64_t delay = m.newpatch(false, pkinddelay);
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    const std::uint64_t h = m.newpatch(false, pkindharmony);

    em.apply(patchcontrol(static_cast<std::int32_t>(mod), ppatchsource), 0.0f);
    em.apply(patchcontrol(static_cast<std::int32_t>(delay), ppatchshape), 0.0f);
    EXPECT_EQ(em.rebuildsposted(), 2u);

    em.apply(patchcontrol(static_cast<std::int32_t>(mod), ppatchamplitude1), 0.0f);
    em.apply(patchcontrol(static_cast<std::int32_t>(delay), ppatchdelay), 0.0f);
    em.apply(patchcontrol(static_cast<std::int32_t>(eq), ppatchcurvefirst), 0.0f);
    em.apply(patchcontrol(static_cast<std::int32_t>(h), ppatchamplitude2), 0.0f);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

TEST_F(Dispatcher, ControlEventsThatNameNoPatchParameterAreIgnored)
{
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    auto* voicecontrol = new pkComponent;
    voicecontrol->ownerkind = pownervoice;
    voicecontrol->paramindex = ppatchsource;
    em.controller->tools.controls.append(voicecontrol);
    const auto voicecode = static_cast<std::int32_t>(em.controller->tools.controls.count - 1);
    const std::string before = em.write();

    em.apply(voicecode, 1.0f);
    em.apply(patchcontrol(5, ppatchintervalfirst), 1.0f);                          // no patch 5
    em.apply(patchcontrol(-1, ppatchintervalfirst), 1.0f);                         // negative owner
    em.apply(patchcontrol(static_cast<std::int32_t>(h), 40), 1.0f);                // no parameter 40
    em.apply(patchcontrol(static_cast<std::int32_t>(h), -3), 1.0f);                // negative parameter
    em.apply(static_cast<std::int32_t>(em.controller->tools.controls.count), 1.0f); // beyond the list
    em.apply(89998, 1.0f);

    EXPECT_EQ(m.patches[h]->params[ppatchsource]->intvalue, 0);
    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// ---- EQ and harmony commands ----

TEST_F(Dispatcher, ResetCurveFlattensTheSelectedEqWithoutARebuild)
{
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        m.patches[eq]->params[ppatchcurvefirst + i]->setnorm(i % 2 == 0 ? 1.0 : 0.0);
    m.recalcpatchstate(eq);
    m.selectedpatch = eq;

    em.apply(pevresetcurve, 1.0f);

    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        ASSERT_DOUBLE_EQ(m.patches[eq]->params[ppatchcurvefirst + i]->norm, 0.5);
    const ppatchchannel& ch = m.patches[eq]->channels[0];
    for (std::uint64_t k = 0; k < ch.bufferlength; ++k)
        ASSERT_NEAR(ch.buffer[k], 1.0, 1e-12) << "bin " << k;
    EXPECT_EQ(m.tools->graphpixels[0].load(), 247);
    EXPECT_EQ(m.tools->graphpixels[300].load(), 256);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

TEST_F(Dispatcher, ResetCurveLeavesOtherKindsAlone)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    m.patches[mod]->params[ppatchamplitude1]->setnorm(0.9);
    m.selectedpatch = mod;
    em.apply(pevresetcurve, 1.0f);
    EXPECT_DOUBLE_EQ(m.patches[mod]->params[ppatchamplitude1]->norm, 0.9);
}

class HarmonyInversion : public Dispatcher
{
protected:
    std::uint64_t h = 0;

    void SetUp() override
    {
        Dispatcher::SetUp();
        h = m.newpatch(false, pkindharmony);
        m.selectedpatch = h;
        m.page = ppageharmony;
    }

    void setintervals(const std::vector<double>& v)
    {
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            interval(h, i).setvalue(v[i]);
    }

    std::vector<double> intervals()
    {
        std::vector<double> v;
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            v.push_back(interval(h, i).value);
        return v;
    }
};

TEST_F(HarmonyInversion, MajorThirdsEverywhereBecomeThirdsDown)
{
    setintervals(std::vector<double>(12, 4.0));
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_EQ(intervals(), std::vector<double>(12, -4.0));
    EXPECT_EQ(m.patches[h]->params[ppatchsource]->intvalue, 3);
    EXPECT_NEAR(m.patches[h]->channels[0].buffer[5], std::pow(2.0, -4.0 / 12.0), 1e-12);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(HarmonyInversion, ANegativeKeyIntervalRotatesByItsSize)
{
    setintervals({-3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8});
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_EQ(intervals(), (std::vector<double>{0, -1, -2, -3, -4, -5, -6, -7, -8, 3, 2, 1}));
}

TEST_F(HarmonyInversion, TheHighestPositionLandingOnTheKeyWins)
{
    // Every position i lands on the key (i + interval = 12): position 11 is chosen.
    setintervals({0, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1});
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_EQ(intervals(), (std::vector<double>{-1, 0, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2}));
}

TEST_F(HarmonyInversion, InvertingTwiceRestoresTheThirds)
{
    setintervals(std::vector<double>(12, 4.0));
    em.apply(pevharmonyinvert, 1.0f);
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_EQ(intervals(), std::vector<double>(12, 4.0));
}

TEST_F(HarmonyInversion, OnlyOnTheHarmonyPageAndOnlyForAHarmonyPatch)
{
    m.page = ppageeq;
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_DOUBLE_EQ(interval(h, 0).value, 4.0);

    m.page = ppageharmony;
    m.selectedpatch = m.newpatch(false, pkindeq);
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_DOUBLE_EQ(interval(h, 0).value, 4.0);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// ---- mono / stereo ----

TEST_F(Dispatcher, MonoStereoRestartsEveryPatchAndTheEngines)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    const std::uint64_t delay = m.newpatch(false, pkinddelay);
    ppatchmod& p = *m.patches[mod];
    p.channels[0].modphase = 0.3;
    p.channels[1].modphase = 0.7;
    p.channels[0].modvalue = 0.2;
    p.channels[0].modoutput = 0.9;
    p.channels[1].modoutput = -0.4;
    p.channels[0].modstate[3] = 1.5;
    // A delay line made on channel 0 only: channel 1 holds less.
    m.patches[delay]->channels[0].resetbuffer(4000);
    m.patches[delay]->channels[0].buffer[3999] = 0.5;
    m.patches[delay]->channels[1].resetbuffer(10);
    m.patches[delay]->channels[0].modstarted = 1;

    em.apply(pevmonostereo, 1.0f);

    EXPECT_EQ(m.params[pglobalmonostereo]->intvalue, 0);
    EXPECT_EQ(p.channels[0].modphase, 0.0);
    EXPECT_EQ(p.channels[1].modphase, 0.0);
    EXPECT_EQ(p.channels[0].modvalue, 0.0);
    EXPECT_EQ(p.channels[1].modoutput.load(), 0.9);
    EXPECT_EQ(p.channels[1].modstate[3], 1.5);
    EXPECT_EQ(m.patches[delay]->channels[0].modstarted, 0u) << "set up again on the next hop";
    EXPECT_EQ(em.rebuildsposted(), 1u);

    em.apply(pevmonostereo, 2.0f);
    EXPECT_EQ(m.params[pglobalmonostereo]->intvalue, 1);
}

TEST_F(Dispatcher, MonoStereoWithoutAChoiceStillRestarts)
{
    em.apply(pevmonostereo, 0.0f);
    EXPECT_EQ(m.params[pglobalmonostereo]->intvalue, 1);
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

// ---- what the dispatcher ignores ----

TEST_F(Dispatcher, CodesOutsideEveryRangeAndBadValuesChangeNothing)
{
    m.newvoice();
    m.newpatch(false, pkindeq);
    m.assignpatch(pkindeq, 1, 0, 0);
    const std::string before = em.write();
    const std::uint64_t selected = m.selectedvoice;

    const std::int32_t codes[] = {INT_MIN, -1, 90000, 90999, 91000, 91002, 91006, 91007, 91008, 91009, 91010,
                                  91068, 91099, 91111, 91999, 92004, 92030, 93001, 93004, 99999, INT_MAX};
    for (std::int32_t code : codes)
        for (float value : {0.0f, 1.0f, 2.0f})
            em.apply(code, value);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float value : {nan, inf, -inf, 1e30f, -1e30f, -2.0f})
        for (std::int32_t code : {pevaddvoice, pevdeletevoice, pevnewpatch, pevunassignpatch, pevselectpatch,
                                  pevassignpatch, pevchoosekind, pevnewdelay, pevneweq, pevnewharmony})
            em.apply(code, value);

    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(m.selectedvoice, selected);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

TEST_F(Dispatcher, IndexesFromEventValuesAreCheckedAgainstTheLists)
{
    m.newpatch(false, pkindmodulator);
    const std::string before = em.write();
    em.apply(pevassignpatch, 2.0f);   // no patch 1
    em.apply(pevunassignpatch, 5.0f); // no patch 4
    em.apply(pevselectpatch, 9.0f);   // no patch 8
    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(m.selectedpatch, 0u);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// ---- the drain through the model ----

TEST(ModelDrain, ABusyModelMutexKeepsTheCommandsForTheNextBlock)
{
    eventmodel em;
    pprojdata& m = em.m();
    em.controller->audioqueue.post(pevaddvoice, 1.0f);
    em.controller->audioqueue.post(pevaddvoice, 1.0f);
    em.controller->audioqueue.post(pevdeletevoice, 1.0f);

    std::uint64_t applied = 99;
    {
        std::lock_guard<std::mutex> editor(m.modelmutex);
        std::thread audio([&] { applied = m.doaudioevents(); });
        audio.join();
    }
    EXPECT_EQ(applied, 0u);
    EXPECT_EQ(m.voices.count, 1u);
    EXPECT_EQ(em.controller->audioqueue.size(), 3u);

    EXPECT_EQ(m.doaudioevents(), 3u);
    EXPECT_EQ(m.voices.count, 2u);
    EXPECT_EQ(m.selectedvoice, 1u) << "the third voice was deleted";
    EXPECT_EQ(em.controller->audioqueue.size(), 0u);
}
