// Parameter controls and the side panes' patch menus, built into a control holder.
#include "editor/pparamcontrols.h"
#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "kit/pguitools.h"
#include "kit/pkit.h"
#include "plugin/pmenulists.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace
{
struct Controls : ::testing::Test
{
    eventmodel em;
    juce::Component parent;
    Controls()
    {
        tools().parent.component = &parent;
        pfillmenulists(tools());
    }
    pguitools& tools() { return em.controller->tools; }
    pprojdata& m() { return em.m(); }
    std::uint64_t addpatch(std::int32_t kind, std::uint64_t voice = 0, bool assign = true)
    {
        const std::uint64_t p = m().newpatch(false, kind);
        if (assign)
            m().assignpatch(kind, voice, p, 0);
        m().patches[p]->label = ("label" + std::to_string(p)).c_str();
        return p;
    }
    pkControl* last() { return tools().controls[tools().controls.count - 1]; }
    std::string binding(const pkControl* c)
    {
        return std::to_string(c->paramindex) + "/" + std::to_string(c->ownerkind) + "/" + std::to_string(c->ownerindex)
               + "/" + std::to_string(c->mode) + "/" + std::to_string(c->voice);
    }
    // The last patch menu: its items (text, tag), its item map and its selected item.
    std::string menu()
    {
        std::string out;
        const auto& items = tools().menulists[pmenuscratch];
        for (std::uint64_t i = 0; i < items.count; ++i)
            out += "(" + items[i].text.str() + ", " + std::to_string(items[i].tag) + ")";
        const ppatchmenu& record = *tools().patchmenus[tools().patchmenus.count - 1];
        out += " map";
        for (std::uint64_t i = 0; i < record.itemmap.count; ++i)
            out += " " + std::to_string(record.itemmap[i]);
        return out + " sel " + std::to_string(record.menu->combobox.getSelectedItemIndex());
    }
};
} // namespace

// A control of each kind on each kind of owner; the text fields show pitch and delay as text and
// remember the coarse value their fine knob adds to.
TEST_F(Controls, ControlsOfEachKindBindAndShowTheirValue)
{
    m().newvoice();
    m().selectedvoice = 1;
    m().voices[1]->params[pvoicepitch]->setnorm(0.75);
    m().voices[1]->params[pvoicevolume]->setnorm(0.3);
    m().voices[1]->params[pvoicemode]->setvalue(2);
    m().params[pglobalshownote]->setnorm(1.0);
    const std::uint64_t a = addpatch(pkinddelay); // two delay patches, 0 and 1
    const std::uint64_t b = addpatch(pkinddelay);
    m().patches[b]->params[ppatchdelay]->setnorm(0.5);
    // Parameter, control kind, style, owner kind and index, mode, voice (-1: the selected one);
    // type, value, binding, the text a field shows.
    const std::tuple<std::uint64_t, pparamcon, unsigned long, int, int, int, int, int, float, const char*, const char*>
        rows[] = {
            {pvoicevolume, pconknob, 0, pownervoice, 1, pmodevalue, -1, pctlknob, 0.3f, "1/1/1/0/1", ""},
            {pvoicemode, pconmenu, pmenukeys, pownervoice, 1, pmodevalue, 0, pctlmenu, 2.0f, "3/1/1/0/0", ""},
            {pglobalshownote, pconswitch, 5, pownerglobal, -1, pmodevalue, -1, pctlswitch, 1.0f, "8/-1/-1/0/1", ""},
            {pvoicepitch, pconknob, 9, pownervoice, 1, pmodefinepitch, -1, pctlknob, 0.5f, "0/1/1/3/1", ""},
            {pglobalshownote, pconknob, 0, 0, -1, pmodevalue, -1, pctlknob, 0.0f, "8/0/-1/0/1", ""}, // bound to nothing
            {pvoicepitch, pcontextfield, 0, pownervoice, 7, pmodepitchtext, -1, pctltext, 0.0f, "0/1/7/2/1", ""},
            {pvoicepitch, pcontextfield, 0, pownervoice, 1, pmodepitchtext, -1, pctltext, 0.0f, "0/1/1/2/1", "12.000"},
            {ppatchdelay, pcontextfield, 0, pownerpatch, 0, pmodepitchtext, -1, pctltext, 0.0f, "5/2/0/2/1", "0.050"},
            {ppatchdelay, pcontextfield, 0, pownerpatch, 1, pmodepitchtext, -1, pctltext, 0.0f, "5/2/1/2/1", "0.500"},
        };
    for (const auto& [param, kind, style, ownerkind, owner, mode, voice, type, value, bound, text] : rows)
    {
        SCOPED_TRACE(bound);
        m().makeparamcontrol(param, 10, 10, kind, style, ownerkind, owner, mode, voice);
        EXPECT_EQ(last()->getType(), type);
        EXPECT_NEAR(last()->getValue(), value, 1e-6);
        EXPECT_EQ(binding(last()), bound);
        auto* field = dynamic_cast<pkTextEdit*>(last());
        EXPECT_EQ(field != nullptr ? field->texteditor.getText().toStdString() : "", text);
    }
    EXPECT_EQ(m().coarsepitch, 0.75);
    EXPECT_EQ(m().patches[a]->coarsedelay, m().patches[a]->params[ppatchdelay]->norm.load());
    EXPECT_EQ(m().patches[b]->coarsedelay, 0.5);
}

// The side panes' menus list the kind's used patches, then the discarded ones under a
// heading; the dispatcher assigns by the item map, and a heading or an item beyond it does
// nothing.
TEST_F(Controls, PatchMenusListUsedThenDiscardedAndAssignByTheirMap)
{
    m().newvoice();
    const std::uint64_t used = addpatch(pkinddelay);
    addpatch(pkinddelay, 0, false);
    const std::uint64_t other = addpatch(pkindeq, 1);
    // Kind, the voice's patch (-1 none); the menu; controls the pane adds after the menu.
    const std::tuple<std::int32_t, std::int32_t, const char*, std::uint64_t> rows[] = {
        {pkinddelay, static_cast<std::int32_t>(used), "(label0, 1)(Discarded:, -100)(label1, 2) map 1 -100 2 sel 0", 7},
        {pkindeq, -1, "(label2, 3) map 3 sel -1", 1},
        {pkindeq, 0, "(label2, 3) map 3 sel -1", 1}, // a patch of another kind counts as none
        {pkindharmony, -1, " map sel -1", 1},
    };
    for (const auto& [kind, patch, items, after] : rows)
    {
        SCOPED_TRACE(items);
        m().rgpatchcontrols(kind, patch, 660, 133);
        const std::uint64_t menuat = tools().controls.count - 1 - after;
        EXPECT_EQ(menu(), items);
        EXPECT_EQ(static_cast<pkMenu*>(tools().controls[menuat])->combobox.getComponentID().toStdString(),
                  std::to_string(pevpatchmenu + static_cast<std::int32_t>(tools().patchmenus.count) - 1));
    }
    // A menu item picked; the used patch's refcount after it.
    const std::pair<float, std::uint64_t> picks[] = {
        {1, 1},
        {-1, 1}, // the heading
        {3, 1},  // beyond the map
        {2, 0},
    };
    for (const auto& [item, refcount] : picks)
    {
        em.controller->internalevent(pevpatchmenu, item); // the controller resolves the item
        m().doaudioevents();
        EXPECT_EQ(m().patches[used]->refcount, refcount) << item;
    }
    EXPECT_EQ(m().patches[other]->refcount, 1u);
}

// The delay pane's shape menu shows the shape the delay pass plays (parameter 3); a shape past
// the menu shows its last item.
TEST_F(Controls, DelayShapeMenuShowsTheShapeTheEnginePlays)
{
    const std::uint64_t p = addpatch(pkinddelay);
    // Shape, menu item shown.
    const std::pair<int, float> rows[] = {
        {0, 0.0f},
        {1, 1.0f},
        {2, 2.0f},
        {7, 2.0f},
    };
    for (const auto& [shape, item] : rows)
    {
        m().patches[p]->params[ppatchshape]->setvalue(shape);
        m().rgpatchcontrols(pkinddelay, static_cast<int>(p), 660, 133);
        EXPECT_EQ(last()->getValue(), item) << shape;
        EXPECT_EQ(last()->paramindex, static_cast<std::int32_t>(ppatchshape));
    }
}
