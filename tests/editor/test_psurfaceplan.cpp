// The surface planned from the model: page tables, patch labels, the chooser, the mix rows
// and the checks that send an unusable selection back to the voices page.
#include "editor/psurfaceplan.h"

#include "engine/eventmodel.h"
#include "engine/patchparams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct surface : ::testing::Test
{
    eventmodel em;
    pprojdata& m = em.m();
    psurfaceplan plan;

    surface() { em.controller->tools.midimenubase = 3; }

    std::uint64_t patch(std::int32_t kind) { return m.newpatch(false, kind); }
    void assign(std::int32_t kind, std::uint64_t voice, std::uint64_t p, std::int64_t target = 0)
    {
        m.assignpatch(kind, voice, p, target);
    }
    void build(std::int32_t page)
    {
        m.page = page;
        pplansurface(m, plan);
    }
    std::vector<const pelement*> all(pelkind kind) const
    {
        std::vector<const pelement*> out;
        for (const pelement& e : plan.elements)
            if (e.kind == kind)
                out.push_back(&e);
        return out;
    }
    // Label texts, in creation order.
    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (const pelement* e : all(pelkind::label))
            out.push_back(e->text);
        return out;
    }
    const pelement* labelat(std::int32_t x, std::int32_t y) const
    {
        for (const pelement* e : all(pelkind::label))
            if (e->x == x && e->y == y)
                return e;
        return nullptr;
    }
    bool hasimage(const char* name) const
    {
        for (const pelement* e : all(pelkind::image))
            if (std::string(e->image) == name)
                return true;
        return false;
    }
};

TEST_F(surface, VoicesPageStartsWithTheFrameAndTheGlobalVolumeKnob)
{
    build(ppagevoices);
    ASSERT_GE(plan.elements.size(), 5u);
    EXPECT_STREQ(plan.elements[0].image, "bgvo_png");
    EXPECT_STREQ(plan.elements[1].image, "globoverlay_png");
    EXPECT_EQ(plan.elements[2].text, "VOICE 1");
    EXPECT_EQ(plan.elements[2].y, 201);
    EXPECT_EQ(plan.elements[3].text, "VOICE VIEW");
    EXPECT_EQ(plan.elements[3].y, 153);
    const pelement& volume = plan.elements[4];
    EXPECT_EQ(volume.kind, pelkind::param);
    EXPECT_EQ(volume.param, pglobalvolume);
    EXPECT_EQ(volume.ownerkind, pownerglobal);
    EXPECT_EQ(volume.x, 229);
    EXPECT_EQ(volume.y, 429);
    EXPECT_EQ(volume.control, pconknob);
    EXPECT_EQ(plan.elements.back().kind, pelkind::graph);
    EXPECT_FALSE(plan.chooser);
}

TEST_F(surface, VoicesPageBindsPitchAsKnobTextAndFineKnob)
{
    m.newvoice();
    m.selectedvoice = 1;
    build(ppagevoices);
    const auto params = all(pelkind::param);
    ASSERT_GE(params.size(), 3u);
    struct expected
    {
        std::int32_t x, y, mode;
        pparamcon control;
        std::uint64_t style;
    };
    const expected pitch[] = {{245, 144, pmodepitchknob, pconknob, 1}, {400, 182, pmodepitchtext, pcontextfield, 0}};
    for (std::size_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(params[i + 1]->x, pitch[i].x);
        EXPECT_EQ(params[i + 1]->y, pitch[i].y);
        EXPECT_EQ(params[i + 1]->mode, pitch[i].mode);
        EXPECT_EQ(params[i + 1]->control, pitch[i].control);
        EXPECT_EQ(params[i + 1]->style, pitch[i].style);
        EXPECT_EQ(params[i + 1]->ownerindex, 1);
    }
    const auto fine = all(pelkind::fineknob);
    ASSERT_EQ(fine.size(), 1u);
    EXPECT_EQ(fine[0]->x, 363);
    EXPECT_EQ(fine[0]->ownerkind, pownervoice);
    EXPECT_EQ(fine[0]->ownerindex, 1);
    EXPECT_EQ(fine[0]->voice, 1);
    EXPECT_EQ(fine[0]->style, 9u);
    EXPECT_EQ(labelat(484, 538)->text, "Voice 2 of 2");
}

TEST_F(surface, ModulateButtonsShowWhichTargetsAModulatorMoves)
{
    assign(pkindmodulator, 0, patch(pkindmodulator), pvoicepan);
    // A record of kind 0 names no patch: it marks nothing.
    auto* stray = new ppatchassign;
    stray->kind = pkindnone;
    stray->patch = 0;
    stray->target = pvoicevolume;
    m.voices[0]->assignments.append(stray);
    build(ppagevoices);
    const auto buttons = all(pelkind::imagebutton);
    ASSERT_EQ(buttons.size(), 5u);
    const double values[] = {1, 2, 3, 5, 6};
    const char* faces[] = {"list2_png", "list2_png", "list_png", "list2_png", "list2_png"};
    for (std::size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(buttons[i]->code, pkindmodulator);
        EXPECT_EQ(buttons[i]->value, values[i]);
        EXPECT_STREQ(buttons[i]->image, faces[i]);
        EXPECT_STREQ(buttons[i]->tip, pmodulatetip);
    }
}

TEST_F(surface, PatchLabelsFollowKindSourceShapeAndIntervalSet)
{
    const std::uint64_t lfo = patch(pkindmodulator);
    m.patches[lfo]->params[ppatchshape]->setvalue(pshapesine);
    const std::uint64_t harmony = patch(pkindharmony);
    m.patches[harmony]->params[ppatchsource]->setvalue(0);
    patch(pkinddelay);
    const std::uint64_t midi = patch(pkindmodulator);
    m.patches[midi]->params[ppatchsource]->setvalue(psourcecontroller);
    m.patches[midi]->params[ppatchmidicc]->setvalue(1);
    m.patches[midi]->params[ppatchhostparam]->setvalue(4);
    const std::uint64_t envelope = patch(pkindmodulator);
    m.patches[envelope]->params[ppatchsource]->setvalue(psourceenvelope);
    const std::uint64_t eq = patch(pkindeq);
    const std::uint64_t custom = patch(pkindharmony);
    m.patches[custom]->params[ppatchsource]->setvalue(3);
    const std::uint64_t odd = patch(pkindmodulator);
    m.patches[odd]->kind = 12345;
    build(ppagevoices);
    const char* expected[] = {" SINE LFO  1", "3rds 2", "Delay  3", "MIDI/HP K / 4 4",
                              "ENVELOPE  5",  "EQ  6",  "cstm 7",   " 8"};
    ASSERT_EQ(m.patches.count, std::size(expected));
    for (std::uint64_t i = 0; i < m.patches.count; ++i)
        EXPECT_EQ(m.patches[i]->label.str(), expected[i]) << i;
    EXPECT_EQ(eq, 5u);
}

TEST_F(surface, ChooserForEqListsUsedOtherAndFreePatchesInGroups)
{
    m.newvoice();
    const std::uint64_t other = patch(pkindeq);
    const std::uint64_t freea = patch(pkindeq);
    const std::uint64_t mine = patch(pkindeq);
    const std::uint64_t freeb = patch(pkindeq);
    assign(pkindeq, 1, other);
    assign(pkindeq, 0, mine);
    m.pendingkind = pkindeq;
    build(ppagevoices);
    ASSERT_TRUE(plan.chooser);
    const auto items = all(pelkind::patchitem);
    ASSERT_EQ(items.size(), 4u);
    struct expected
    {
        std::uint64_t index, row, rowkind;
    };
    const expected rows[] = {{mine + 1, 1, 4}, {other + 1, 3, 3}, {freea + 1, 5, 2}, {freeb + 1, 6, 2}};
    for (std::size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(items[i]->index, rows[i].index);
        EXPECT_EQ(items[i]->row, rows[i].row);
        EXPECT_EQ(items[i]->rowkind, rows[i].rowkind);
        EXPECT_EQ(items[i]->y, 202 + 24 * static_cast<std::int32_t>(rows[i].row));
    }
    EXPECT_EQ(labelat(360, 202)->text, "Assigned EQ");
    EXPECT_EQ(labelat(360, 250)->text, "Unassigned");
    EXPECT_EQ(labelat(360, 298)->text, "Discarded");
    EXPECT_EQ(labelat(360, 298)->colour, pheadingcolour);
    EXPECT_EQ(plan.chooserbottom, 520);
    EXPECT_EQ(labelat(34, 201)->text, "VOICE 1:Pitch");
}

TEST_F(surface, ModulatorChooserMarksOnlyTheTargetsRecordsAndNamesTheTarget)
{
    const std::uint64_t onpan = patch(pkindmodulator);
    const std::uint64_t onshift = patch(pkindmodulator);
    assign(pkindmodulator, 0, onpan, pvoicepan);
    assign(pkindmodulator, 0, onshift, pvoiceformantshift);
    m.pendingkind = pkindmodulator;
    m.modtarget = pvoiceformantshift;
    build(ppagevoices);
    const auto items = all(pelkind::patchitem);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->index, onshift + 1);
    EXPECT_EQ(items[0]->rowkind, 4u);
    EXPECT_EQ(items[1]->index, onpan + 1);
    EXPECT_EQ(items[1]->rowkind, 3u);
    EXPECT_EQ(labelat(34, 201)->text, "VOICE 1:Formant");
    m.modtarget = pvoicepan;
    build(ppagevoices);
    EXPECT_EQ(labelat(34, 201)->text, "VOICE 1:Pan");
}

TEST_F(surface, ChooserRectangleReachesTheLastRowBuilt)
{
    for (int i = 0; i < 20; ++i)
        patch(pkinddelay);
    m.pendingkind = pkinddelay;
    build(ppagevoices);
    const auto items = all(pelkind::patchitem);
    ASSERT_EQ(items.size(), 20u);
    // Rows 1 (heading), 2 (heading), 3..22: the last row ends at 202 + 24 * 23.
    EXPECT_EQ(items.back()->y, 202 + 24 * 22);
    EXPECT_EQ(plan.chooserbottom, items.back()->y + 24);
}

TEST_F(surface, SidePanesShowTheFirstPatchOfEachKind)
{
    const std::uint64_t d0 = patch(pkinddelay);
    const std::uint64_t d1 = patch(pkinddelay);
    const std::uint64_t h = patch(pkindharmony);
    assign(pkinddelay, 0, d0);
    // assignpatch keeps one delay per voice: a second record is added by hand.
    auto* second = new ppatchassign;
    second->kind = pkinddelay;
    second->patch = d1;
    m.voices[0]->assignments.append(second);
    assign(pkindharmony, 0, h);
    build(ppagevoices);
    EXPECT_TRUE(hasimage("rightpandl_png"));
    EXPECT_FALSE(hasimage("rightpaneq_png"));
    EXPECT_TRUE(hasimage("rightpanhar_png"));
    const auto menus = all(pelkind::patchmenus);
    ASSERT_EQ(menus.size(), 3u);
    const std::int32_t kinds[] = {pkinddelay, pkindeq, pkindharmony};
    const std::int32_t patches[] = {static_cast<std::int32_t>(d0), -1, static_cast<std::int32_t>(h)};
    const std::int32_t anchors[][2] = {{660, 133}, {673, 394}, {657, 493}};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(menus[i]->code, kinds[i]);
        EXPECT_EQ(menus[i]->ownerindex, patches[i]);
        EXPECT_EQ(menus[i]->x, anchors[i][0]);
        EXPECT_EQ(menus[i]->y, anchors[i][1]);
    }
}

TEST_F(surface, MixPageRowsFollowTheScrollOffset)
{
    m.newvoice();
    m.newvoice();
    build(ppagemix);
    EXPECT_EQ(labelat(34, 248)->text, "SHOWN 1 - 3 of 3");
    EXPECT_EQ(labelat(34, 153)->text, "VOICE MIXER");
    EXPECT_EQ(labelat(34, 201)->text, "SELECTED 1");
    const std::int32_t tops[] = {180, 241, 302};
    for (std::size_t k = 0; k < 3; ++k)
    {
        ASSERT_NE(labelat(218, tops[k] + 7), nullptr);
        EXPECT_EQ(labelat(218, tops[k] + 7)->text, "VOICE " + std::to_string(k + 1));
    }
    EXPECT_EQ(all(pelkind::imagebutton).size(), 3u); // an add-delay button per row

    while (m.voices.count < 12)
        m.newvoice();
    m.mixoffset = 4;
    build(ppagemix);
    EXPECT_EQ(labelat(34, 248)->text, "SHOWN 5 - 12 of 12");
    EXPECT_EQ(labelat(218, 180 + 7)->text, "VOICE 5");
    EXPECT_EQ(labelat(218, 180 + 61 * 7 + 7)->text, "VOICE 12");
    std::size_t rows = 0;
    for (const pelement* e : all(pelkind::image))
        rows += std::string(e->image) == "mixdark_png" || std::string(e->image) == "mixlight_png";
    EXPECT_EQ(rows, 8u);
}

TEST_F(surface, MixPageShowsASharedDelayOnceAndRoutedAfter)
{
    m.newvoice();
    const std::uint64_t d = patch(pkinddelay);
    assign(pkinddelay, 0, d);
    assign(pkinddelay, 1, d);
    build(ppagemix);
    const auto fields = all(pelkind::param);
    const pelement* text = nullptr;
    for (const pelement* e : fields)
        if (e->control == pcontextfield)
            text = e;
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->x, 479);
    EXPECT_EQ(text->y, 195);
    EXPECT_EQ(text->ownerkind, pownerpatch);
    EXPECT_EQ(text->ownerindex, static_cast<std::int32_t>(d));
    EXPECT_EQ(text->mode, pmodepitchtext);
    EXPECT_EQ(text->voice, 0);
    const auto fine = all(pelkind::fineknob);
    ASSERT_EQ(fine.size(), 1u);
    EXPECT_EQ(fine[0]->x, 447);
    EXPECT_EQ(fine[0]->y, 196);
    EXPECT_EQ(fine[0]->param, ppatchdelay);
    bool routed = false;
    for (const pelement* e : all(pelkind::image))
        routed = routed || (std::string(e->image) == "routeddelay_png" && e->x == 482 && e->y == 241);
    EXPECT_TRUE(routed);
    EXPECT_EQ(m.patches[d]->mark, 1);
}

TEST_F(surface, UnknownPageValuesBuildTheMixPage)
{
    for (std::int32_t page : {3, 7, -1, 15})
    {
        build(page);
        EXPECT_EQ(plan.page, ppagemix) << page;
        EXPECT_STREQ(plan.elements[0].image, "bgmix_png") << page;
    }
}

TEST_F(surface, ModulationPageLayoutFollowsTheSource)
{
    const std::uint64_t p = patch(pkindmodulator);
    m.selectedpatch = p;
    struct expected
    {
        std::int32_t source;
        const char* background;
        std::size_t params;
        std::int32_t radiocode;
    };
    const expected cases[] = {{psourcelfo, "bgmod_png", 2, pevpatchshape},
                              {psourceenvelope, "bgmodenvelope_png", 3, pevadjustmode},
                              {psourcecontroller, "bgmodmidi_png", 4, pevadjustmode}};
    for (const expected& c : cases)
    {
        m.patches[p]->params[ppatchsource]->setvalue(c.source);
        build(ppagemodulator);
        EXPECT_EQ(plan.page, ppagemodulator);
        EXPECT_STREQ(plan.elements[0].image, c.background);
        EXPECT_EQ(all(pelkind::param).size(), c.params);
        const auto radios = all(pelkind::radio);
        ASSERT_EQ(radios.size(), 3u); // type, the source's own, mono/stereo
        EXPECT_EQ(radios[0]->code, pevpatchtype);
        EXPECT_EQ(radios[0]->selected, static_cast<unsigned long>(c.source));
        EXPECT_EQ(radios[1]->code, c.radiocode);
    }
    EXPECT_EQ(labelat(34, 201)->text, "VOICE 1:Pitch");
}

TEST_F(surface, LfoWithSineShapeLightsTheSecondShape)
{
    const std::uint64_t p = patch(pkindmodulator);
    m.patches[p]->params[ppatchshape]->setvalue(pshapesine);
    m.selectedpatch = p;
    build(ppagemodulator);
    const auto radios = all(pelkind::radio);
    ASSERT_EQ(radios.size(), 3u);
    EXPECT_EQ(radios[1]->x, 390);
    EXPECT_EQ(radios[1]->y, 581);
    EXPECT_EQ(radios[1]->selected, 1u);
}

TEST_F(surface, DelayAndHarmonyPagesPlaceTheirTables)
{
    const std::uint64_t d = patch(pkinddelay);
    m.selectedpatch = d;
    build(ppagedelay);
    ASSERT_EQ(plan.page, ppagedelay);
    EXPECT_EQ(labelat(34, 248)->text, "Delay");
    const auto params = all(pelkind::param);
    ASSERT_EQ(params.size(), 6u);
    EXPECT_EQ(params[0]->mode, pmodepitchknob);
    EXPECT_EQ(params[1]->control, pcontextfield);
    EXPECT_EQ(params[1]->x, 493);
    EXPECT_EQ(all(pelkind::fineknob)[0]->voice, 0);

    const std::uint64_t h = patch(pkindharmony);
    m.selectedpatch = h;
    build(ppageharmony);
    ASSERT_EQ(plan.page, ppageharmony);
    const auto grid = all(pelkind::param);
    ASSERT_EQ(grid.size(), 16u); // Detune, Smooth, two globals, twelve intervals
    EXPECT_EQ(grid[11]->param, ppatchintervalfirst + 7);
    EXPECT_EQ(grid[11]->x, 344);
    EXPECT_EQ(grid[11]->y, 461);
    const auto radios = all(pelkind::radio);
    ASSERT_EQ(radios.size(), 3u);
    EXPECT_EQ(radios[1]->count, 12);
    EXPECT_EQ(radios[1]->rows, 2);
}

TEST_F(surface, EqPageEndsWithItsOverlayAndDrawsOnlyAnEqCurve)
{
    const std::uint64_t eq = patch(pkindeq);
    m.patches[eq]->params[ppatchcurvefirst]->setnorm(1.0);
    m.selectedpatch = eq;
    build(ppageeq);
    EXPECT_EQ(plan.page, ppageeq);
    EXPECT_STREQ(plan.elements.back().image, "eqoverlay_png");
    EXPECT_EQ(plan.elements.back().x, 360);
    EXPECT_EQ(plan.elements.back().y, 133);
    EXPECT_EQ(plan.elements[plan.elements.size() - 2].kind, pelkind::graph);
    EXPECT_GT(em.controller->tools.graphpixels[0].load(), 0);

    // A selection that is no EQ patch: the page stays, without a curve or a name.
    m.selectedpatch = patch(pkindmodulator);
    build(ppageeq);
    EXPECT_EQ(plan.page, ppageeq);
    EXPECT_EQ(em.controller->tools.graphpixels[0].load(), 0);
    EXPECT_EQ(labelat(34, 248)->text, "");
}

TEST_F(surface, UnusableSelectionsFallBackToTheVoicesPage)
{
    const std::uint64_t d = patch(pkinddelay);
    struct fallback
    {
        std::int32_t page;
        std::uint64_t patch;
        std::uint64_t target;
    };
    const fallback cases[] = {
        {ppagemodulator, 7, 0}, // no such patch
        {ppageharmony, d, 0},   // a delay patch on the harmony page
        {ppagedelay, d + 5, 0}, // past the list
        {ppagemodulator, d, 0}, // wrong kind
    };
    for (const fallback& c : cases)
    {
        m.selectedpatch = c.patch;
        m.modtarget = c.target;
        build(c.page);
        EXPECT_EQ(plan.page, ppagevoices) << c.page;
        EXPECT_EQ(m.page.load(), ppagevoices) << c.page;
    }
    // A modulator page whose target names no voice parameter.
    m.selectedpatch = patch(pkindmodulator);
    m.modtarget = 9;
    build(ppagemodulator);
    EXPECT_EQ(plan.page, ppagevoices);
    m.pendingkind = pkindmodulator;
    build(ppagevoices);
    EXPECT_EQ(labelat(34, 201)->text, "VOICE 1");
}

TEST_F(surface, SelectedVoicePastTheEndIsPulledBack)
{
    m.newvoice();
    m.selectedvoice = 5;
    build(ppagevoices);
    EXPECT_EQ(m.selectedvoice.load(), 1u);
    EXPECT_EQ(labelat(34, 201)->text, "VOICE 2");
}

TEST_F(surface, EveryPageClosesWithTheSameControls)
{
    const std::uint64_t d = patch(pkinddelay);
    m.selectedpatch = d;
    for (std::int32_t page : {ppagevoices, ppagemix, ppagedelay})
    {
        build(page);
        const std::size_t n = plan.elements.size();
        ASSERT_GT(n, 6u);
        const pelement& stereo = plan.elements[n - 6];
        EXPECT_EQ(stereo.kind, pelkind::radio);
        EXPECT_EQ(stereo.code, pevmonostereo);
        EXPECT_EQ(stereo.x, 667);
        EXPECT_EQ(plan.elements[n - 5].code, pevmixpage);
        EXPECT_EQ(plan.elements[n - 4].code, pevopenmanual);
        EXPECT_EQ(plan.elements[n - 3].code, pevopenhome);
        EXPECT_EQ(plan.elements[n - 2].text, pversiontext);
        EXPECT_EQ(plan.elements[n - 1].kind, pelkind::graph);
    }
}

} // namespace
