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
    std::string list5()
    {
        std::string out;
        const auto& items = tools().menulists[pmenuscratch];
        for (std::uint64_t i = 0; i < items.count; ++i)
            out += "(" + items[i].text.str() + ", " + std::to_string(items[i].tag) + ")";
        return out;
    }
    std::string itemmap(std::uint64_t k)
    {
        std::string out;
        const auto& map = tools().patchmenus[k]->itemmap;
        for (std::uint64_t i = 0; i < map.count; ++i)
            out += (i > 0 ? " " : "") + std::to_string(map[i]);
        return out;
    }
};
} // namespace

TEST(PitchText, ThreeDecimalsWhateverTheSharedPrecision)
{
    costringspace::precision = 6;
    const struct
    {
        double value;
        const char* text;
    } cases[] = {{6.0, "6.000"},    {12.0, "12.000"},  {0.05, "0.050"},
                 {-3.25, "-3.250"}, {0.0004, "0.000"}, {24.0, "24.000"}};
    for (const auto& c : cases)
        EXPECT_EQ(pfixed3(c.value), c.text);
    costringspace::precision = costringspace::defaultPrecision;
}

TEST(PitchText, TwoOctavesInModesZeroAndOneFourInTheOthers)
{
    pprojdata model;
    model.newvoice();
    pparvoice& voice = *model.voices[0];
    voice.params[pvoicepitch]->setnorm(0.75);
    const char* expected[] = {"6.000", "6.000", "12.000", "12.000", "12.000"};
    for (int mode = 0; mode <= 4; ++mode)
    {
        voice.params[pvoicemode]->setvalue(mode);
        EXPECT_EQ(ppitchtext(voice), expected[mode]) << mode;
    }
    voice.params[pvoicepitch]->setnorm(0.25);
    EXPECT_EQ(ppitchtext(voice), "-12.000");
}

TEST(DelayShapeItem, ShapeCodesShowAsTheirItems)
{
    const int expected[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {99, 2}, {-1, 2}};
    for (const auto& e : expected)
        EXPECT_EQ(pdelayshapeitem(e[0]), e[1]) << e[0];
}

TEST_F(Controls, TextFieldsShowPitchAndDelayAndRememberTheirCoarseValues)
{
    pparam& pitch = *m().voices[0]->params[pvoicepitch];
    pitch.setnorm(0.75);
    m().makeparamcontrol(pvoicepitch, 400, 182, pcontextfield, 0, pownervoice, 0, pmodepitchtext, -1);
    EXPECT_EQ(fieldtext(last()), "6.000");
    EXPECT_EQ(m().coarsepitch, 0.75);
    m().voices[0]->params[pvoicemode]->setvalue(2);
    m().makeparamcontrol(pvoicepitch, 400, 182, pcontextfield, 0, pownervoice, 0, pmodepitchtext, -1);
    EXPECT_EQ(fieldtext(last()), "12.000");
    EXPECT_EQ(binding(last()), "0/1/0/2/0");
    EXPECT_EQ(last()->getType(), pctltext);
    EXPECT_EQ(last()->getTag(), 0); // the code travels in the component ID
    EXPECT_EQ(static_cast<pkTextEdit*>(last())->texteditor.getComponentID(), "1");

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
    EXPECT_EQ(tools().controls.count, 5u);
}

TEST_F(Controls, ControlsOfEachKindBindAndShowTheirValue)
{
    m().newvoice();
    m().selectedvoice = 1;
    pparam& volume = *m().voices[1]->params[pvoicevolume];
    volume.setnorm(0.3);
    m().makeparamcontrol(pvoicevolume, 229, 568, pconknob, 0, pownervoice, 1, pmodevalue, -1);
    pkControl* knob = last();
    EXPECT_EQ(knob->getType(), pctlknob);
    EXPECT_NEAR(knob->getValue(), 0.3, 1e-6);
    EXPECT_EQ(binding(knob), "1/1/1/0/1"); // voice -1 is the selected voice

    m().voices[1]->params[pvoicemode]->setvalue(2);
    m().makeparamcontrol(pvoicemode, 10, 10, pconmenu, pmenukeys, pownervoice, 1, pmodevalue, 0);
    EXPECT_EQ(last()->getType(), pctlmenu);
    EXPECT_EQ(last()->getValue(), 2.0);
    EXPECT_EQ(binding(last()), "3/1/1/0/0");

    m().params[pglobalshownote]->setnorm(1.0);
    m().makeparamcontrol(pglobalshownote, 10, 10, pconswitch, 5, pownerglobal, -1, pmodevalue, -1);
    EXPECT_EQ(last()->getType(), pctlswitch);
    EXPECT_EQ(last()->getValue(), 1.0);
    EXPECT_EQ(binding(last()), "8/-1/-1/0/1");

    m().makeparamcontrol(pvoicepitch, 363, 184, pconknob, 9, pownervoice, 1, pmodefinepitch, -1);
    EXPECT_EQ(last()->getValue(), 0.5);

    // Each control's code is its index in the list.
    EXPECT_EQ(static_cast<pkKnob*>(tools().controls[0])->slider.getComponentID(), "0");
    EXPECT_EQ(static_cast<pkMenu*>(tools().controls[1])->combobox.getComponentID(), "1");
    EXPECT_EQ(static_cast<pkSwitch*>(tools().controls[2])->button.getComponentID(), "2");
    EXPECT_EQ(static_cast<pkKnob*>(tools().controls[3])->slider.getComponentID(), "3");
}

TEST_F(Controls, TwoDelaysListTheUsedOneThenTheDiscarded)
{
    const std::uint64_t used = addpatch(pkinddelay);
    addpatch(pkinddelay, 0, false);
    m().rgpatchcontrols(pkinddelay, static_cast<int>(used), 660, 133);
    EXPECT_EQ(list5(), "(label0, 1)(Discarded:, -100)(label1, 2)");
    ASSERT_EQ(tools().patchmenus.count, 1u);
    EXPECT_EQ(itemmap(0), "1 -100 2");
    pkMenu* menu = tools().patchmenus[0]->menu;
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->combobox.getSelectedItemIndex(), 0);
    EXPECT_EQ(menu->combobox.getComponentID(), "91100");
    EXPECT_EQ(menu->combobox.getBounds(), juce::Rectangle<int>(660, 116, 173, 18));

    // The pane: face image, menu, delete button, five knobs and the shape menu on parameter 3.
    ASSERT_EQ(tools().controls.count, 9u);
    pkControl* shape = last();
    EXPECT_EQ(shape->getType(), pctlmenu);
    EXPECT_EQ(binding(shape), "3/2/0/0/0");
    const std::int32_t knobs[] = {ppatchdelay, ppatchfeedback, ppatchdelaymix, ppatchamplitude1, ppatchspeed};
    for (std::uint64_t i = 0; i < 5; ++i)
        EXPECT_EQ(tools().controls[3 + i]->paramindex, knobs[i]) << i;

    // The controller assigns by the map; a heading or an item beyond it does nothing.
    const struct
    {
        float item;
        const char* structure;
    } picks[] = {{1, "0>0/93002/0"}, {-1, "0>0/93002/0"}, {3, "0>0/93002/0"}, {2, "0>1/93002/0"}};
    for (const auto& p : picks)
    {
        em.controller->internalevent(pevpatchmenu, p.item);
        m().doaudioevents();
        EXPECT_NE(structure(m()).find(std::string("assign ") + p.structure), std::string::npos)
            << p.item << ": " << structure(m());
    }
}

TEST_F(Controls, DelayShapeMenuShowsTheShapeTheEngineplays)
{
    const std::uint64_t p = addpatch(pkinddelay);
    const struct
    {
        int shape;
        double item;
    } cases[] = {{0, 0.0}, {1, 1.0}, {2, 2.0}, {7, 2.0}};
    for (const auto& c : cases)
    {
        m().patches[p]->params[ppatchshape]->setvalue(c.shape);
        m().rgpatchcontrols(pkinddelay, static_cast<int>(p), 660, 133);
        EXPECT_EQ(last()->getValue(), c.item) << c.shape;
    }
}

TEST_F(Controls, NoEqPatchGivesAnEmptyMenuAndTheAddButton)
{
    addpatch(pkinddelay);
    m().rgpatchcontrols(pkindeq, -1, 673, 394);
    EXPECT_EQ(list5(), "");
    ASSERT_EQ(tools().controls.count, 2u); // no face image: the menu and the add button
    EXPECT_EQ(static_cast<pkMenu*>(tools().controls[0])->combobox.getNumItems(), 0);
    EXPECT_EQ(itemmap(0), "");
    auto* add = static_cast<pkButton*>(tools().controls[1]);
    EXPECT_EQ(add->button.getBounds().getTopLeft(), juce::Point<int>(744, 394));
    EXPECT_EQ(add->button.getComponentID().toStdString(), std::to_string(pevneweq));
    EXPECT_EQ(add->getValue(), 1.0);

    // A patch index that is not an EQ patch is treated as none.
    m().rgpatchcontrols(pkindeq, 0, 673, 394);
    EXPECT_EQ(static_cast<pkButton*>(last())->button.getComponentID().toStdString(), std::to_string(pevneweq));
    EXPECT_EQ(tools().patchmenus[1]->menu->combobox.getComponentID(), "91101");

    // With an EQ patch: face, menu, delete button and the hotspot that opens the EQ page.
    const std::uint64_t eq = addpatch(pkindeq);
    const std::uint64_t before = tools().controls.count;
    m().rgpatchcontrols(pkindeq, static_cast<int>(eq), 673, 394);
    ASSERT_EQ(tools().controls.count, before + 4);
    auto* remove = static_cast<pkButton*>(tools().controls[before + 2]);
    EXPECT_EQ(remove->button.getBounds(), juce::Rectangle<int>(835, 376, 20, 20));
    EXPECT_EQ(remove->getValue(), static_cast<double>(eq + 1));
    auto* hotspot = static_cast<pkButton*>(last());
    EXPECT_EQ(hotspot->button.getBounds(), juce::Rectangle<int>(727, 408, 102, 24));
    EXPECT_EQ(hotspot->getValue(), 3.0);
}

TEST_F(Controls, UsedElsewhereShowsOneItemNoneSelected)
{
    m().newvoice();
    addpatch(pkinddelay, 1);
    m().rgpatchcontrols(pkinddelay, -1, 660, 133);
    EXPECT_EQ(list5(), "(label0, 1)");
    EXPECT_EQ(tools().patchmenus[0]->menu->combobox.getSelectedItemIndex(), -1);
    EXPECT_EQ(static_cast<pkButton*>(last())->button.getBounds().getTopLeft(), juce::Point<int>(744, 133));
    em.controller->internalevent(pevpatchmenu, 0);
    m().doaudioevents();
    EXPECT_EQ(m().voices[0]->assignments.count, 1u);
    EXPECT_EQ(m().patches[0]->refcount, 2u);
}

TEST_F(Controls, HarmonyPaneBindsPatchAndGlobalControls)
{
    const std::uint64_t h = addpatch(pkindharmony);
    m().rgpatchcontrols(pkindharmony, static_cast<int>(h), 657, 493);
    // image, menu, delete, Detune, Smooth, Detection Gate, Dry Volume, key menu, hotspot
    ASSERT_EQ(tools().controls.count, 9u);
    const char* bindings[] = {"1/2/0/0/0", "0/2/0/0/0", "4/-1/-1/0/0", "2/-1/-1/0/0", "3/2/0/0/0"};
    for (std::uint64_t i = 0; i < 5; ++i)
        EXPECT_EQ(binding(tools().controls[3 + i]), bindings[i]) << i;
    auto* hotspot = static_cast<pkButton*>(last());
    EXPECT_EQ(hotspot->button.getComponentID().toStdString(), std::to_string(pevchoosekind));
    EXPECT_EQ(hotspot->getValue(), 4.0);
    EXPECT_EQ(hotspot->button.getBounds(), juce::Rectangle<int>(727, 644, 102, 24));
}

// A state saved while the pane's menu wrote parameter 2 still reads and writes back byte for
// byte; the pane now shows parameter 3, the shape that state has always played.
TEST_F(Controls, OlderStatesKeepTheirShapeAndTheirText)
{
    const std::uint64_t p = addpatch(pkinddelay);
    m().patches[p]->params[ppatchsource]->setvalue(2); // what the old menu stored
    m().patches[p]->params[ppatchshape]->setvalue(0);  // what the delay pass plays
    const std::string saved = em.write();
    em.load(saved);
    EXPECT_EQ(em.write(), saved);
    m().rgpatchcontrols(pkinddelay, static_cast<int>(p), 660, 133);
    EXPECT_EQ(last()->getValue(), 0.0);
    EXPECT_EQ(last()->paramindex, static_cast<std::int32_t>(ppatchshape));
}
