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

    surface() { em.m().midimenubase = 3; }

    std::uint64_t patch(std::int32_t kind) { return m.newpatch(false, kind); }
    void assign(std::int32_t kind, std::uint64_t voice, std::uint64_t p, std::int64_t target = 0)
    {
        m.assignpatch(kind, voice, p, target);
    }
    // A record added by hand, past what assignpatch allows.
    void addrecord(std::int32_t kind, std::uint64_t p, std::int64_t target)
    {
        auto* record = new ppatchassign;
        record->kind = kind;
        record->patch = p;
        record->target = target;
        m.voices[0]->assignments.append(record);
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
    const pelement* label(std::int32_t x, std::int32_t y) const
    {
        for (const pelement* e : all(pelkind::label))
            if (e->x == x && e->y == y)
                return e;
        return nullptr;
    }
    std::string labelat(std::int32_t x, std::int32_t y) const
    {
        const pelement* e = label(x, y);
        return e != nullptr ? e->text : "(none)";
    }
    std::size_t images(const char* name, std::int32_t x = -1, std::int32_t y = -1) const
    {
        std::size_t n = 0;
        for (const pelement* e : all(pelkind::image))
            n += std::string(e->image) == name && (x < 0 || (e->x == x && e->y == y));
        return n;
    }
    // An element's place, "x,y".
    static std::string at(const pelement* e) { return std::to_string(e->x) + "," + std::to_string(e->y); }
    // A control's binding: "param/ownerkind/ownerindex/mode/voice control style".
    static std::string bound(const pelement* e)
    {
        return std::to_string(e->param) + "/" + std::to_string(e->ownerkind) + "/" + std::to_string(e->ownerindex) + "/"
               + std::to_string(e->mode) + "/" + std::to_string(e->voice) + " "
               + std::to_string(static_cast<int>(e->control)) + " " + std::to_string(e->style);
    }
};

TEST_F(surface, VoicesPageStartsWithTheFrameAndTheGlobalVolumeKnob)
{
    build(ppagevoices);
    ASSERT_GE(plan.elements.size(), 5u);
    EXPECT_STREQ(plan.elements[0].image, "bgvo_png");
    EXPECT_STREQ(plan.elements[1].image, "globoverlay_png");
    EXPECT_EQ(plan.elements[2].text + at(&plan.elements[2]), "VOICE 134,201");
    EXPECT_EQ(plan.elements[3].text + at(&plan.elements[3]), "VOICE VIEW34,153");
    EXPECT_EQ(plan.elements[4].kind, pelkind::param);
    EXPECT_EQ(at(&plan.elements[4]), "229,429");
    EXPECT_EQ(bound(&plan.elements[4]), std::to_string(pglobalvolume) + "/-1/-1/0/-1 1 0");
    EXPECT_EQ(plan.elements.back().kind, pelkind::graph);
    EXPECT_FALSE(plan.chooser);
}

TEST_F(surface, VoicesPageBindsPitchAsKnobTextAndFineKnobOfTheSelectedVoice)
{
    m.newvoice();
    m.selectedvoice = 5; // past the end: pulled back to the last voice
    build(ppagevoices);
    EXPECT_EQ(m.selectedvoice.load(), 1u);
    EXPECT_EQ(labelat(34, 201), "VOICE 2");
    EXPECT_EQ(labelat(484, 538), "Voice 2 of 2");
    const auto params = all(pelkind::param);
    ASSERT_GE(params.size(), 3u);
    const auto fine = all(pelkind::fineknob);
    ASSERT_EQ(fine.size(), 1u);
    // Element, place, binding (pitch is voice parameter 0, owner kind 1 a voice, control 1 a knob, 4 a field).
    const struct
    {
        const pelement* e;
        const char* place;
        const char* binding;
    } rows[] = {
        {params[1], "245,144", "0/1/1/1/-1 1 1"},
        {params[2], "400,182", "0/1/1/2/-1 4 0"},
        {fine[0], "363,184", "0/1/1/3/1 1 9"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.place);
        EXPECT_EQ(at(row.e), row.place);
        EXPECT_EQ(bound(row.e), row.binding);
    }
}

TEST_F(surface, ModulateButtonsShowWhichTargetsAModulatorMoves)
{
    assign(pkindmodulator, 0, patch(pkindmodulator), pvoicepan);
    addrecord(pkindnone, 0, pvoicevolume); // a record of kind 0 names no patch: it marks nothing
    build(ppagevoices);
    const auto buttons = all(pelkind::imagebutton);
    ASSERT_EQ(buttons.size(), 5u);
    const double values[] = {1, 2, 3, 5, 6};
    const char* faces[] = {"list2_png", "list2_png", "list_png", "list2_png", "list2_png"};
    for (std::size_t i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(buttons[i]->code, pkindmodulator);
        EXPECT_EQ(buttons[i]->value, values[i]);
        EXPECT_STREQ(buttons[i]->image, faces[i]);
        EXPECT_STREQ(buttons[i]->tip, pmodulatetip);
    }
}

TEST_F(surface, PatchLabelsFollowKindSourceShapeAndIntervalSet)
{
    // Kind, then source, shape, MIDI controller and host parameter (-1: as made); the label.
    const struct
    {
        std::int32_t kind;
        double source, shape, cc, hostparam;
        const char* label;
    } rows[] = {
        {pkindmodulator, -1, pshapesine, -1, -1, " SINE LFO  1"},
        {pkindharmony, 0, -1, -1, -1, "3rds 2"},
        {pkinddelay, -1, -1, -1, -1, "Delay  3"},
        {pkindmodulator, psourcecontroller, -1, 1, 4, "MIDI/HP K / 4 4"},
        {pkindmodulator, psourceenvelope, -1, -1, -1, "ENVELOPE  5"},
        {pkindeq, -1, -1, -1, -1, "EQ  6"},
        {pkindharmony, 3, -1, -1, -1, "cstm 7"},
        {12345, -1, -1, -1, -1, " 8"}, // a kind that names nothing, made as a modulator
    };
    for (const auto& row : rows)
    {
        const std::uint64_t p = patch(row.kind == 12345 ? pkindmodulator : row.kind);
        const std::uint64_t params[] = {ppatchsource, ppatchshape, ppatchmidicc, ppatchhostparam};
        const double values[] = {row.source, row.shape, row.cc, row.hostparam};
        for (std::size_t i = 0; i < 4; ++i)
            if (values[i] >= 0)
                m.patches[p]->params[params[i]]->setvalue(values[i]);
        m.patches[p]->kind = row.kind;
    }
    build(ppagevoices);
    for (std::uint64_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(m.patches[i]->label.str(), rows[i].label) << i;
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
    // Patch number + 1, row, row kind (4 used here, 3 elsewhere, 2 free).
    const struct
    {
        std::uint64_t index, row, rowkind;
    } rows[] = {{mine + 1, 1, 4}, {other + 1, 3, 3}, {freea + 1, 5, 2}, {freeb + 1, 6, 2}};
    for (std::size_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(items[i]->index, rows[i].index);
        EXPECT_EQ(items[i]->row, rows[i].row);
        EXPECT_EQ(items[i]->rowkind, rows[i].rowkind);
        EXPECT_EQ(items[i]->y, 202 + 24 * static_cast<std::int32_t>(rows[i].row));
    }
    EXPECT_EQ(labelat(360, 202), "Assigned EQ");
    EXPECT_EQ(labelat(360, 250), "Unassigned");
    EXPECT_EQ(labelat(360, 298), "Discarded");
    ASSERT_NE(label(360, 298), nullptr);
    EXPECT_EQ(label(360, 298)->colour, pheadingcolour);
    EXPECT_EQ(plan.chooserbottom, 520); // the least, for a short list
    EXPECT_EQ(labelat(34, 201), "VOICE 1:Pitch");

    // A long list: rows 1 and 2 are headings, 3..22 the patches; the rectangle covers the last.
    for (int i = 0; i < 20; ++i)
        patch(pkinddelay);
    m.pendingkind = pkinddelay;
    build(ppagevoices);
    const auto delays = all(pelkind::patchitem);
    ASSERT_EQ(delays.size(), 20u);
    EXPECT_EQ(delays.back()->y, 202 + 24 * 22);
    EXPECT_EQ(plan.chooserbottom, 202 + 24 * 23);
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
    EXPECT_EQ(labelat(34, 201), "VOICE 1:Formant");
    m.modtarget = pvoicepan;
    build(ppagevoices);
    EXPECT_EQ(labelat(34, 201), "VOICE 1:Pan");
}

TEST_F(surface, SidePanesShowTheFirstPatchOfEachKind)
{
    const std::uint64_t d0 = patch(pkinddelay);
    const std::uint64_t d1 = patch(pkinddelay);
    const std::uint64_t h = patch(pkindharmony);
    assign(pkinddelay, 0, d0);
    addrecord(pkinddelay, d1, 0); // assignpatch keeps one delay per voice
    assign(pkindharmony, 0, h);
    build(ppagevoices);
    EXPECT_EQ(images("rightpandl_png"), 1u);
    EXPECT_EQ(images("rightpaneq_png"), 0u);
    EXPECT_EQ(images("rightpanhar_png"), 1u);
    const auto menus = all(pelkind::patchmenus);
    ASSERT_EQ(menus.size(), 3u);
    // Kind, the voice's patch of that kind or -1, anchor.
    const struct
    {
        std::int32_t kind, patch;
        const char* place;
    } rows[] = {
        {pkinddelay, static_cast<std::int32_t>(d0), "660,133"},
        {pkindeq, -1, "673,394"},
        {pkindharmony, static_cast<std::int32_t>(h), "657,493"},
    };
    for (std::size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(rows[i].place);
        EXPECT_EQ(menus[i]->code, rows[i].kind);
        EXPECT_EQ(menus[i]->ownerindex, rows[i].patch);
        EXPECT_EQ(at(menus[i]), rows[i].place);
    }
}

TEST_F(surface, MixPageRowsFollowTheScrollOffset)
{
    m.newvoice();
    m.newvoice();
    build(ppagemix);
    EXPECT_EQ(labelat(34, 248), "SHOWN 1 - 3 of 3");
    EXPECT_EQ(labelat(34, 153), "VOICE MIXER");
    EXPECT_EQ(labelat(34, 201), "SELECTED 1");
    EXPECT_EQ(labelat(218, 187), "VOICE 1"); // rows 61 apart, the name 7 below the top
    EXPECT_EQ(labelat(218, 248), "VOICE 2");
    EXPECT_EQ(labelat(218, 309), "VOICE 3");
    EXPECT_EQ(all(pelkind::imagebutton).size(), 3u); // an add-delay button per row

    while (m.voices.count < 12)
        m.newvoice();
    m.mixoffset = 4;
    build(ppagemix);
    EXPECT_EQ(labelat(34, 248), "SHOWN 5 - 12 of 12");
    EXPECT_EQ(labelat(218, 187), "VOICE 5");
    EXPECT_EQ(labelat(218, 187 + 61 * 7), "VOICE 12");
    EXPECT_EQ(images("mixdark_png") + images("mixlight_png"), 8u);
}

TEST_F(surface, MixPageShowsASharedDelayOnceAndRoutedAfter)
{
    m.newvoice();
    const std::uint64_t d = patch(pkinddelay);
    assign(pkinddelay, 0, d);
    assign(pkinddelay, 1, d);
    build(ppagemix);
    std::vector<const pelement*> fields;
    for (const pelement* e : all(pelkind::param))
        if (e->control == pcontextfield)
            fields.push_back(e);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(at(fields[0]), "479,195");
    EXPECT_EQ(bound(fields[0]), std::to_string(ppatchdelay) + "/2/0/2/0 4 0");
    const auto fine = all(pelkind::fineknob);
    ASSERT_EQ(fine.size(), 1u);
    EXPECT_EQ(at(fine[0]), "447,196");
    EXPECT_EQ(fine[0]->param, ppatchdelay);
    EXPECT_EQ(images("routeddelay_png", 482, 241), 1u);
    EXPECT_EQ(m.patches[d]->mark, 1);
}

TEST_F(surface, ModulationPageLayoutFollowsTheSource)
{
    const std::uint64_t p = patch(pkindmodulator);
    m.patches[p]->params[ppatchshape]->setvalue(pshapesine);
    m.selectedpatch = p;
    // Source, background, parameter controls, the second radio's code, place and lit switch.
    const struct
    {
        std::int32_t source;
        const char* background;
        std::size_t params;
        std::int32_t radiocode;
        const char* place;
        unsigned long lit;
    } rows[] = {
        {psourcelfo, "bgmod_png", 2, pevpatchshape, "390,581", 1},
        {psourceenvelope, "bgmodenvelope_png", 3, pevadjustmode, "480,596", 0},
        {psourcecontroller, "bgmodmidi_png", 4, pevadjustmode, "480,596", 0},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.background);
        m.patches[p]->params[ppatchsource]->setvalue(row.source);
        build(ppagemodulator);
        EXPECT_EQ(plan.page, ppagemodulator);
        EXPECT_STREQ(plan.elements[0].image, row.background);
        EXPECT_EQ(all(pelkind::param).size(), row.params);
        const auto radios = all(pelkind::radio);
        ASSERT_EQ(radios.size(), 3u); // type, the source's own, mono/stereo
        EXPECT_EQ(radios[0]->code, pevpatchtype);
        EXPECT_EQ(radios[0]->selected, static_cast<unsigned long>(row.source));
        EXPECT_EQ(radios[1]->code, row.radiocode);
        EXPECT_EQ(at(radios[1]), row.place);
        EXPECT_EQ(radios[1]->selected, row.lit);
    }
    EXPECT_EQ(labelat(34, 201), "VOICE 1:Pitch");
}

TEST_F(surface, DelayAndHarmonyPagesPlaceTheirTables)
{
    m.selectedpatch = patch(pkinddelay);
    build(ppagedelay);
    ASSERT_EQ(plan.page, ppagedelay);
    EXPECT_EQ(labelat(34, 248), "Delay");
    const auto params = all(pelkind::param);
    ASSERT_EQ(params.size(), 6u);
    EXPECT_EQ(params[0]->mode, pmodepitchknob);
    EXPECT_EQ(params[1]->control, pcontextfield);
    EXPECT_EQ(params[1]->x, 493);
    EXPECT_EQ(all(pelkind::fineknob)[0]->voice, 0);

    m.selectedpatch = patch(pkindharmony);
    build(ppageharmony);
    ASSERT_EQ(plan.page, ppageharmony);
    const auto grid = all(pelkind::param);
    ASSERT_EQ(grid.size(), 16u); // Detune, Smooth, two globals, twelve intervals
    EXPECT_EQ(grid[11]->param, ppatchintervalfirst + 7);
    EXPECT_EQ(at(grid[11]), "344,461");
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
    EXPECT_EQ(at(&plan.elements.back()), "360,133");
    EXPECT_EQ(plan.elements[plan.elements.size() - 2].kind, pelkind::graph);
    EXPECT_GT(em.controller->tools.graphpixels[0].load(), 0);

    // A selection that is no EQ patch: the page stays, without a curve or a name.
    m.selectedpatch = patch(pkindmodulator);
    build(ppageeq);
    EXPECT_EQ(plan.page, ppageeq);
    EXPECT_EQ(em.controller->tools.graphpixels[0].load(), 0);
    EXPECT_EQ(labelat(34, 248), "");
}

TEST_F(surface, UnusableSelectionsFallBackToTheVoicesPage)
{
    const std::uint64_t d = patch(pkinddelay);
    const std::uint64_t mod = patch(pkindmodulator);
    // Page, selected patch, modulation target.
    const struct
    {
        std::int32_t page;
        std::uint64_t patch, target;
    } rows[] = {
        {ppagemodulator, 7, 0},   // no such patch
        {ppageharmony, d, 0},     // a delay patch on the harmony page
        {ppagedelay, d + 5, 0},   // past the list
        {ppagemodulator, d, 0},   // wrong kind
        {ppagemodulator, mod, 9}, // a target that names no voice parameter
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.page << " " << row.patch);
        m.selectedpatch = row.patch;
        m.modtarget = row.target;
        build(row.page);
        EXPECT_EQ(plan.page, ppagevoices);
        EXPECT_EQ(m.page.load(), ppagevoices);
    }
    m.pendingkind = pkindmodulator;
    build(ppagevoices);
    EXPECT_EQ(labelat(34, 201), "VOICE 1");
}

// Every page closes with mono/stereo, mixer, manual, home, version and the graph; a page value
// that names no page builds the mix page.
TEST_F(surface, EveryPageClosesWithTheSameControls)
{
    m.selectedpatch = patch(pkinddelay);
    const struct
    {
        std::int32_t page, built;
        const char* background;
    } rows[] = {
        {ppagevoices, ppagevoices, "bgvo_png"},
        {ppagemix, ppagemix, "bgmix_png"},
        {ppagedelay, ppagedelay, "bgdl_png"},
        {3, ppagemix, "bgmix_png"},
        {7, ppagemix, "bgmix_png"},
        {-1, ppagemix, "bgmix_png"},
        {15, ppagemix, "bgmix_png"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.page);
        build(row.page);
        EXPECT_EQ(plan.page, row.built);
        EXPECT_STREQ(plan.elements[0].image, row.background);
        const std::size_t n = plan.elements.size();
        ASSERT_GT(n, 6u);
        EXPECT_EQ(plan.elements[n - 6].kind, pelkind::radio);
        EXPECT_EQ(plan.elements[n - 6].code, pevmonostereo);
        EXPECT_EQ(plan.elements[n - 6].x, 667);
        EXPECT_EQ(plan.elements[n - 5].code, pevmixpage);
        EXPECT_EQ(plan.elements[n - 4].code, pevopenmanual);
        EXPECT_EQ(plan.elements[n - 3].code, pevopenhome);
        EXPECT_EQ(plan.elements[n - 2].text, pversiontext);
        EXPECT_EQ(plan.elements[n - 1].kind, pelkind::graph);
    }
}

} // namespace
