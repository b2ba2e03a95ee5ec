// The surface planned from the model: one text dump per page of what the planner builds,
// compared with snapshots/<page>.plan, and properties over the place table the art shares.
// After a deliberate change of a page, regenerate the dumps with
//     QUILL_UPDATE_SNAPSHOTS=1 ctest --test-dir build -R EveryPageMatchesItsDump
// and review them as a diff before committing.
#include "editor/pcontroller.h"
#include "editor/psurfaceplan.h"

#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

namespace
{

std::string dump(const psurfaceplan& plan)
{
    static const char* const kinds[] = {"image", "label",    "hotspot",   "imagebutton", "radio",
                                        "param", "fineknob", "patchmenu", "patchitem",   "graph"};
    std::ostringstream out;
    out << "page " << plan.page << " chooser " << plan.chooser << " pages " << plan.chooserpages << "\n";
    for (const pelement& e : plan.elements)
    {
        out << kinds[static_cast<int>(e.kind)] << " " << e.x << "," << e.y << " " << e.w << "x" << e.h;
        if (e.image != nullptr)
            out << " " << e.image;
        if (!e.text.empty())
            out << " '" << e.text << "' " << std::hex << e.colour << std::dec;
        out << " code " << e.code << " value " << e.value;
        if (e.kind == elementkind::radio)
            out << " items " << e.count << "/" << e.rows << " lit " << e.selected;
        if (e.kind == elementkind::param || e.kind == elementkind::fineknob || e.kind == elementkind::patchmenu)
            out << " param " << e.param << " control " << e.control << " style " << e.style << " owner " << e.ownerkind
                << "/" << e.ownerindex << " mode " << e.mode << " voice " << e.voice;
        if (e.kind == elementkind::patchitem)
            out << " patch " << e.index << " row " << e.row << " group " << e.rowkind;
        out << (e.tip != nullptr ? " tip" : "") << "\n";
    }
    return out.str();
}

struct surface : ::testing::Test
{
    eventmodel em;
    pprojdata& m = em.m();
    psurfaceplan plan;
    sessionpatches made;
    // The EQ graph's first pixels: the curve the page had computed.
    std::string curve() const
    {
        const auto& pixels = em.controller->tools.graphpixels;
        return "curve " + std::to_string(pixels[0].load()) + " " + std::to_string(pixels[1].load()) + "\n";
    }

    surface() { em.m().midimenubase = 3; }

    std::uint64_t patch(std::int32_t kind) { return m.newpatch(false, kind); }
    void build(std::int32_t page)
    {
        m.page = page;
        papplyfallbacks(m);
        pupdateshown(m);
        pplansurface(m, plan);
    }
    void session()
    {
        made = makesession(m);
        build(ppagevoices); // the labels come from the voices page
    }
};

TEST_F(surface, EveryPageMatchesItsDump)
{
    session();
    for (const pscene& scene : pscenes)
    {
        SCOPED_TRACE(scene.name);
        setscene(m, made, scene);
        build(scene.page);
        const std::string path = std::string(QUILL_SNAPSHOT_DIR) + "/" + scene.name + ".plan";
        if (std::getenv("QUILL_UPDATE_SNAPSHOTS") != nullptr)
            std::ofstream(path) << dump(plan) + curve();
        std::ifstream in(path);
        const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(dump(plan) + curve(), expected)
            << "run QUILL_UPDATE_SNAPSHOTS=1 ctest -R EveryPageMatchesItsDump, review the diff";
    }
}

// Every place the art paints is planned in some scene (mix-row places in their row's strip), at
// its place and of its size, and nothing starts off the window: moving a control in the
// table moves it in the plan and on the art together, and a control planned off its place fails.
TEST_F(surface, EveryPaintedPlaceIsPlannedWhereTheArtPaintsIt)
{
    session();
    std::set<std::pair<std::int32_t, std::int32_t>> planned;
    for (const pscene& scene : pscenes)
    {
        SCOPED_TRACE(scene.name);
        setscene(m, made, scene);
        build(scene.page);
        const std::int32_t dx = scene.page == ppagemix ? pmixrowx : 0;
        const std::int32_t dy = scene.page == ppagemix ? pmixtop : 0;
        for (const pelement& e : plan.elements)
        {
            EXPECT_GE(std::min(e.x, e.y), 0);
            EXPECT_LE(e.x + e.w, peditorwidth);
            EXPECT_LT(e.y, peditorheight); // a mix row's select hotspot reaches past the last row
            planned.insert({e.x, e.y});
            planned.insert({e.x - dx, e.y - dy});
        }
    }
    for (const pplace& p : pplaces)
        for (std::int32_t i = 0; i < (p.kind == pplacekind::radio ? 1 : p.count); ++i)
        {
            const pbox b = pcell(p, i);
            EXPECT_EQ(planned.count({b.x, b.y}), 1u) << "place " << static_cast<int>(p.id) << " cell " << i;
        }
}

TEST_F(surface, FallbacksLeaveAPageTheModelCanShow)
{
    const std::uint64_t d = patch(pkinddelay);
    const std::uint64_t mod = patch(pkindmodulator);
    // Page, selected patch, modulation target, selected voice; the page and voice after.
    const std::tuple<std::int32_t, std::uint64_t, std::uint64_t, std::uint64_t, std::int32_t, std::uint64_t> rows[] = {
        {ppagemodulator, 7, 0, 0, ppagevoices, 0},   // no such patch
        {ppageharmony, d, 0, 0, ppagevoices, 0},     // a delay patch on the harmony page
        {ppagedelay, d + 5, 0, 0, ppagevoices, 0},   // past the list
        {ppagemodulator, d, 0, 0, ppagevoices, 0},   // wrong kind
        {ppagemodulator, mod, 9, 0, ppagevoices, 0}, // a target that names no voice parameter
        {ppagemodulator, mod, 2, 0, ppagemodulator, 0},
        {ppageeq, d, 0, 0, ppageeq, 0},         // the EQ page stays, without a curve
        {ppagevoices, 0, 0, 5, ppagevoices, 0}, // a voice past the end: the last
        {7, 0, 0, 0, ppagemix, 0},              // a value that names no page: the mix page
        {-1, 0, 0, 0, ppagemix, 0},
    };
    for (const auto& [page, selected, target, voice, built, voiceafter] : rows)
    {
        SCOPED_TRACE(testing::Message() << page << " " << selected << " " << target);
        m.page = page;
        m.selectedpatch = selected;
        m.modtarget = target;
        m.selectedvoice = voice;
        papplyfallbacks(m);
        EXPECT_EQ(m.page.load(), built);
        EXPECT_EQ(m.selectedvoice.load(), voiceafter);
        pplansurface(m, plan);
        EXPECT_EQ(plan.page, built);
    }
}

TEST_F(surface, PatchLabelsFollowKindSourceShapeAndIntervalSet)
{
    // Kind, then source, shape, MIDI controller and host parameter (-1: as made); the label.
    const std::tuple<std::int32_t, double, double, double, double, const char*> rows[] = {
        {pkindmodulator, -1, pshapesine, -1, -1, " SINE LFO  1"},
        {pkindharmony, 0, -1, -1, -1, "3rds 2"},
        {pkinddelay, -1, -1, -1, -1, "Delay  3"},
        {pkindmodulator, psourcecontroller, -1, 1, 4, "MIDI/HP K / 4 4"},
        {pkindmodulator, psourceenvelope, -1, -1, -1, "ENVELOPE  5"},
        {pkindeq, -1, -1, -1, -1, "EQ  6"},
        {pkindharmony, 3, -1, -1, -1, "cstm 7"},
        {12345, -1, -1, -1, -1, " 8"}, // a kind that names nothing, made as a modulator
    };
    for (const auto& [kind, source, shape, cc, hostparam, label] : rows)
    {
        const std::uint64_t p = patch(kind == 12345 ? pkindmodulator : kind);
        const std::uint64_t params[] = {ppatchsource, ppatchshape, ppatchmidicc, ppatchhostparam};
        const double values[] = {source, shape, cc, hostparam};
        for (std::size_t i = 0; i < 4; ++i)
            if (values[i] >= 0)
                m.patches[p]->params[params[i]]->setvalue(values[i]);
        m.patches[p]->kind = kind;
    }
    build(ppagevoices);
    for (std::uint64_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(m.patches[i]->label.str(), std::get<5>(rows[i])) << i;
}

} // namespace
