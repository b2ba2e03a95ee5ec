// The builders of pguitools: radio groups, image buttons, pictures, patch-list rows and the
// parameter display, on the embedded pictures.
#include "engine/pparam.h"
#include "widgetfixture.h"

#include <tuple>

namespace
{
using builders = kitfixture;
using rect = juce::Rectangle<int>;

// The widget of a button or a picture the holder made.
juce::Button& buttonof(pkControl* control)
{
    if (auto* view = dynamic_cast<pkView*>(control))
        return view->button;
    return static_cast<pkButton*>(control)->button;
}

// Switches fill the rows left to right at the group's spacing, each reporting its number, as
// the parent's next children; a group holds at most twelve, and `selected` lights one (none
// when it is past the end).
TEST_F(builders, RadioGroupsByShape)
{
    openwindow();
    const std::tuple<int, int, int, int, unsigned long, std::uint64_t, int> groups[] = {
        {12, 2, 115, 77, 3, 12, 115},
        {3, 1, 122, 36, 3, 3, 123}, // the narrow faces, for groups 122 wide
        {14, 1, 115, 77, 13, 12, 115},
        {4, 0, 115, 77, 0, 0, 0}, // no rows, no switches
    };
    for (const auto& [count, rows, w, h, selected, built, facewidth] : groups)
    {
        SCOPED_TRACE(count);
        const std::uint64_t before = tools.controls.count;
        tools.guimakeradio(count, rows, w, h, 91020, 218, 538, selected);
        const pkRadioGroup& group = *tools.radiogroups[tools.radiogroups.count - 1];
        ASSERT_EQ(group.count, built);
        const int perrow = rows > 0 ? count / rows : 1;
        for (int i = 0; i < static_cast<int>(group.count); ++i)
        {
            auto* item = static_cast<pkSwitch*>(group.items[i]);
            const rect bounds(218 + w * (i % perrow), 538 + h * (i / perrow), facewidth, item->button.getHeight());
            EXPECT_EQ(item->button.getBounds(), bounds);
            EXPECT_EQ(item->lookandfeel.value, i + 1.0);
            EXPECT_EQ(item->getValue(), i == static_cast<int>(selected) ? 1.0 : 0.0);
            EXPECT_EQ(item->button.getComponentID(), "91020");
            EXPECT_EQ(window->getIndexOfChildComponent(&item->button), static_cast<int>(before) + i);
        }
    }
    EXPECT_EQ(log.total(), 0);
}

// The own patch's row: label, select area, delete button; any other kind: a name and an
// assign button, the name coloured by its kind; kind 7 is none.
TEST_F(builders, PatchListRows)
{
    openwindow();
    tools.patchlistx = 360;
    tools.patchlisty = 170;
    for (unsigned long kind : {4ul, 2ul, 3ul, 7ul})
        tools.makepatchitem(kind == 4 ? 3 : 5, kind == 4 ? 0 : 2, kind, "EQ");
    const std::tuple<double, rect, const char*, juce::uint32> rows[] = {
        {3.0, {360, 202, 155, 24}, "", 0xffd2d2d2}, {3.0, {360, 202, 176, 18}, "91059", 0},
        {3.0, {534, 202, 20, 20}, "91058", 0},      {5.0, {360, 250, 155, 24}, "", 0xff646464},
        {5.0, {360, 250, 155, 24}, "91060", 0},     {5.0, {360, 250, 155, 24}, "", 0xff96bebe},
        {5.0, {360, 250, 155, 24}, "91060", 0},
    };
    ASSERT_EQ(tools.controls.count, std::size(rows));
    for (std::uint64_t i = 0; i < std::size(rows); ++i)
    {
        const auto& [patch, bounds, id, colour] = rows[i];
        SCOPED_TRACE(i);
        auto& button = buttonof(tools.controls[i]);
        EXPECT_EQ(button.getBounds(), bounds);
        EXPECT_EQ(button.getComponentID(), id);
        EXPECT_EQ(colour != 0 ? button.findColour(juce::TextButton::textColourOffId).getARGB() : colour, colour);
        EXPECT_EQ(colour == 0 ? tools.controls[i]->getValue() : patch, patch);
    }
    // Clicking the invisible select area over the label reports the patch's number.
    buttonof(tools.controls[1]).triggerClick();
    pump();
    EXPECT_EQ(log.clicks, 1);
    EXPECT_EQ(log.clickvalue, 3.0);
    EXPECT_EQ(log.clickid, "91059");
}

// Knobs and switches show the parameter's normalised value, menus its index, fields its value;
// a text-field parameter on another kind, a null control or an unknown kind changes nothing.
TEST_F(builders, UpdateParamByControlKind)
{
    pkKnob* knob = tools.guimakeknob(0, 9, 0, 0);
    pkMenu* menu = scratchmenu({"a", "b", "c"}, 0);
    pkSwitch toggle(0, 0, 10, 10, nullptr, 2, nullptr, nullptr, 1.0);
    pkTextEdit field(0, 0, 60, 24, nullptr, 3, 0xffffffff, 0);
    const std::tuple<pparamcon, double, double, pkControl*, const char*> rows[] = {
        {pconknob, 0.25, 7.0, knob, "0.25 0 0 "},
        {pconmenu, 0.25, 7.0, menu, "0.25 2 0 "},
        {pconswitch, 1.0, 7.0, &toggle, "0.25 2 1 "},
        {pcontextfield, 1.0, 7.0, &field, "0.25 2 1 7.00"},
        {pcontextfield, 0.5, 3.0, knob, "0.25 2 1 7.00"},
        {pcontextfield, 0.5, 3.0, nullptr, "0.25 2 1 7.00"},
        {static_cast<pparamcon>(9), 0.5, 3.0, &field, "0.25 2 1 7.00"},
    };
    for (const auto& [kind, norm, value, control, shown] : rows)
    {
        pparam p;
        p.control = kind;
        p.norm = norm;
        p.value = value;
        p.intvalue = 2;
        tools.updateparam(&p, control);
        const juce::String now = juce::String(knob->getValue()) + " " + juce::String(menu->getValue()) + " "
                                 + juce::String(toggle.getValue()) + " " + field.texteditor.getText();
        EXPECT_EQ(now, shown) << static_cast<int>(kind);
    }
}

// Each kind answers its own code, and takes its tip as Latin-1 bytes; no tip clears it.
TEST_F(builders, EveryKindHasItsCodeAndALatin1Tip)
{
    pkKnob turn(1, 0, 0, nullptr, nullptr);
    pkSwitch toggle(0, 0, 10, 10, nullptr, 1, nullptr, nullptr, 1.0);
    pkButton push(0, 0, 10, 10, nullptr, 1, nullptr, 1.0);
    pkMenu* box = tools.guimakemenu(1, 0, 0, 50, 17, 0);
    pkTextEdit field(0, 0, 60, 24, nullptr, 4, 0xffffffff, 0);
    pkView picture(0, 0, 20, 20, nullptr, nullptr, 0);
    auto* label = dynamic_cast<juce::Label*>(box->combobox.getChildComponent(0)); // the menu's text covers the box
    ASSERT_NE(label, nullptr);
    const std::tuple<pkControl*, juce::SettableTooltipClient*, int> kinds[] = {
        {&turn, &turn.slider, 1},       {box, &box->combobox, 2}, {box, label, 2},
        {&toggle, &toggle.button, 3},   {&push, &push.button, 3}, {&field, &field.texteditor, 5},
        {&picture, &picture.button, 6},
    };
    const juce::String tip(juce::CharPointer_UTF8("Pitch \xc3\xa9\xc3\xbf"));
    for (const auto& [control, shows, type] : kinds)
    {
        SCOPED_TRACE(type);
        EXPECT_EQ(control->getType(), type);
        control->setTip("Pitch \xe9\xff");
        EXPECT_EQ(shows->getTooltip(), tip);
        control->setTip("");
        EXPECT_TRUE(shows->getTooltip().isEmpty());
        control->setTip("x");
        control->setTip(nullptr);
        EXPECT_TRUE(shows->getTooltip().isEmpty());
    }
}
} // namespace
