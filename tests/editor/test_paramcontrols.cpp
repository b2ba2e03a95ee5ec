// Parameter controls and the side panes' patch menus, built into a control holder.
#include "editor/pparamcontrols.h"
#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "foundation/conumber.h"
#include "kit/pguitools.h"
#include "kit/pkit.h"
#include "plugin/pmenulists.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <string>

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
    std::string fieldtext(pkControl* c) { return static_cast<pkTextEdit*>(c)->texteditor.getText().toStdString(); }
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

TEST(PitchText, SemitonesWithThreeDecimalsWhateverTheSharedPrecision)
{
    costringspace::precision = 6;
    pprojdata model;
    model.newvoice();
    pparvoice& voice = *model.voices[0];
    // Voice mode, "Pitch" norm; the text (x24 in modes 0 and 1, x48 in the others).
    const struct
    {
        int mode;
        double norm;
        const char* text;
    } rows[] = {
        {0, 0.75, "6.000"},
        {1, 0.75, "6.000"},
        {2, 0.75, "12.000"},
        {4, 0.75, "12.000"},
        {2, 0.25, "-12.000"},
        {0, 0.5 + 0.05 / 24, "0.050"},
        {0, 0.5 + 0.0004 / 24, "0.000"},
        {0, 0.5 - 3.25 / 24, "-3.250"},
    };
    for (const auto& row : rows)
    {
        voice.params[pvoicemode]->setvalue(row.mode);
        voice.params[pvoicepitch]->setnorm(row.norm);
        EXPECT_EQ(ppitchtext(voice), row.text) << row.mode << " " << row.norm;
    }
    costringspace::precision = costringspace::defaultPrecision;
}

TEST_F(Controls, TextFieldsShowPitchAndDelayAndRememberTheirCoarseValues)
{
    m().voices[0]->params[pvoicepitch]->setnorm(0.75);
    m().voices[0]->params[pvoicemode]->setvalue(2);
    m().makeparamcontrol(pvoicepitch, 400, 182, pcontextfield, 0, pownervoice, 0, pmodepitchtext, -1);
    EXPECT_EQ(fieldtext(last()), "12.000");
    EXPECT_EQ(m().coarsepitch, 0.75);
    EXPECT_EQ(binding(last()), "0/1/0/2/0");
    EXPECT_EQ(static_cast<pkTextEdit*>(last())->texteditor.getComponentID(), "0"); // the code is the index

    // Two delay fields on two delay patches keep their own coarse values.
    const std::uint64_t a = addpatch(pkinddelay);
    const std::uint64_t b = addpatch(pkinddelay);
    m().patches[b]->params[ppatchdelay]->setnorm(0.5);
    m().makeparamcontrol(ppatchdelay, 10, 10, pcontextfield, 0, pownerpatch, static_cast<int>(a), pmodepitchtext, -1);
    EXPECT_EQ(fieldtext(last()), "0.050");
    m().makeparamcontrol(ppatchdelay, 10, 40, pcontextfield, 0, pownerpatch, static_cast<int>(b), pmodepitchtext, -1);
    EXPECT_EQ(fieldtext(last()), "0.500");
    EXPECT_EQ(m().patches[a]->coarsedelay, m().patches[a]->params[ppatchdelay]->norm.load());
    EXPECT_EQ(m().patches[b]->coarsedelay, 0.5);

    // An owner that does not exist leaves the field empty.
    m().makeparamcontrol(pvoicepitch, 10, 70, pcontextfield, 0, pownervoice, 7, pmodepitchtext, -1);
    EXPECT_EQ(fieldtext(last()), "");
}

TEST_F(Controls, ControlsOfEachKindBindAndShowTheirValue)
{
    m().newvoice();
    m().selectedvoice = 1;
    m().voices[1]->params[pvoicevolume]->setnorm(0.3);
    m().voices[1]->params[pvoicemode]->setvalue(2);
    m().params[pglobalshownote]->setnorm(1.0);
    // Parameter, control kind, style, owner kind and index, mode, voice; type, value, binding.
    const struct
    {
        std::uint64_t param;
        pparamcon kind;
        unsigned long style;
        int ownerkind, ownerindex, mode, voice;
        int type;
        float value;
        const char* binding;
    } rows[] = {
        {pvoicevolume, pconknob, 0, pownervoice, 1, pmodevalue, -1, pctlknob, 0.3f, "1/1/1/0/1"}, // -1: selected
        {pvoicemode, pconmenu, pmenukeys, pownervoice, 1, pmodevalue, 0, pctlmenu, 2.0f, "3/1/1/0/0"},
        {pglobalshownote, pconswitch, 5, pownerglobal, -1, pmodevalue, -1, pctlswitch, 1.0f, "8/-1/-1/0/1"},
        {pvoicepitch, pconknob, 9, pownervoice, 1, pmodefinepitch, -1, pctlknob, 0.5f, "0/1/1/3/1"},
        {pglobalshownote, pconknob, 0, 0, -1, pmodevalue, -1, pctlknob, 0.0f, "8/0/-1/0/1"}, // bound to nothing
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.binding);
        m().makeparamcontrol(row.param, 10, 10, row.kind, row.style, row.ownerkind, row.ownerindex, row.mode,
                             row.voice);
        EXPECT_EQ(last()->getType(), row.type);
        EXPECT_NEAR(last()->getValue(), row.value, 1e-6);
        EXPECT_EQ(binding(last()), row.binding);
    }
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
    const struct
    {
        std::int32_t kind, patch;
        const char* menu;
        std::uint64_t after;
    } rows[] = {
        {pkinddelay, static_cast<std::int32_t>(used), "(label0, 1)(Discarded:, -100)(label1, 2) map 1 -100 2 sel 0", 7},
        {pkindeq, -1, "(label2, 3) map 3 sel -1", 1},
        {pkindeq, 0, "(label2, 3) map 3 sel -1", 1}, // a patch of another kind counts as none
        {pkindharmony, -1, " map sel -1", 1},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.menu);
        m().rgpatchcontrols(row.kind, row.patch, 660, 133);
        const std::uint64_t menuat = tools().controls.count - 1 - row.after;
        EXPECT_EQ(menu(), row.menu);
        EXPECT_EQ(static_cast<pkMenu*>(tools().controls[menuat])->combobox.getComponentID().toStdString(),
                  std::to_string(pevpatchmenu + static_cast<std::int32_t>(tools().patchmenus.count) - 1));
    }
    const struct
    {
        float item;
        std::uint64_t refcount;
    } picks[] = {{1, 1}, {-1, 1}, {3, 1}, {2, 0}}; // the used patch's refcount after each pick
    for (const auto& p : picks)
    {
        em.controller->internalevent(pevpatchmenu, p.item); // the controller resolves the item
        m().doaudioevents();
        EXPECT_EQ(m().patches[used]->refcount, p.refcount) << p.item;
    }
    EXPECT_EQ(m().patches[other]->refcount, 1u);
}

// The delay pane's shape menu shows the shape the delay pass plays (parameter 3), and a
// state saved while an older menu wrote parameter 2 still reads and writes back byte for byte.
TEST_F(Controls, DelayShapeMenuShowsTheShapeTheEnginePlays)
{
    const std::uint64_t p = addpatch(pkinddelay);
    const struct
    {
        int shape;
        float item;
    } rows[] = {{0, 0.0f}, {1, 1.0f}, {2, 2.0f}, {7, 2.0f}};
    for (const auto& row : rows)
    {
        m().patches[p]->params[ppatchshape]->setvalue(row.shape);
        m().rgpatchcontrols(pkinddelay, static_cast<int>(p), 660, 133);
        EXPECT_EQ(last()->getValue(), row.item) << row.shape;
        EXPECT_EQ(pdelayshapeitem(row.shape), row.item);
        EXPECT_EQ(last()->paramindex, static_cast<std::int32_t>(ppatchshape));
    }
    EXPECT_EQ(pdelayshapeitem(-1), 2);
    m().patches[p]->params[ppatchsource]->setvalue(2); // what the old menu stored
    const std::string saved = em.write();
    em.load(saved);
    EXPECT_EQ(em.write(), saved);
}
