// The builders of pguitools: radio groups, image buttons, pictures, patch-list rows and the
// parameter display, on the embedded pictures.
#include "engine/pparam.h"
#include "widgetfixture.h"

namespace
{
using builders = kitfixture;

// The widget of a button or a picture the holder made.
juce::Button& buttonof(pkControl* control)
{
    if (auto* view = dynamic_cast<pkView*>(control))
        return view->button;
    return static_cast<pkButton*>(control)->button;
}

// Switches fill the rows left to right at the group's spacing, each reporting its number; a
// group holds at most twelve, and `selected` lights one (none when it is past the end).
TEST_F(builders, RadioGroupsByShape)
{
    openwindow();
    const struct
    {
        int count, rows, w, h;
        unsigned long selected;
        std::uint64_t built;
        int facewidth;
    } groups[] = {
        {12, 2, 115, 77, 3, 12, 115},
        {3, 1, 122, 36, 3, 3, 123}, // the narrow faces, for groups 122 wide
        {14, 1, 115, 77, 13, 12, 115},
        {4, 0, 115, 77, 0, 0, 0}, // no rows, no switches
    };
    for (std::uint64_t g = 0; g < std::size(groups); ++g)
    {
        const auto& c = groups[g];
        SCOPED_TRACE(g);
        const std::uint64_t before = tools.controls.count;
        tools.guimakeradio(c.count, c.rows, c.w, c.h, 91020, 218, 538, c.selected);
        const pkRadioGroup& group = *tools.radiogroups[g];
        ASSERT_EQ(group.count, c.built);
        ASSERT_EQ(tools.controls.count, before + c.built);
        const int perrow = c.rows > 0 ? c.count / c.rows : 1;
        for (std::uint64_t i = 0; i < group.count; ++i)
        {
            auto* item = static_cast<pkSwitch*>(group.items[i]);
            const int column = static_cast<int>(i) % perrow, row = static_cast<int>(i) / perrow;
            EXPECT_EQ(item->button.getBounds(),
                      juce::Rectangle<int>(218 + c.w * column, 538 + c.h * row, c.facewidth, item->button.getHeight()));
            EXPECT_EQ(item->lookandfeel.value, static_cast<double>(i + 1));
            EXPECT_EQ(item->getValue(), i == c.selected ? 1.0 : 0.0);
            EXPECT_EQ(item->button.getComponentID(), "91020");
            EXPECT_EQ(tools.controls[before + i], item);
            EXPECT_EQ(window->getIndexOfChildComponent(&item->button), static_cast<int>(before + i));
        }
    }
    EXPECT_EQ(log.total(), 0);
}

// Buttons and pictures take their image's size (a face is half of it); none, the given area;
// an image that is missing, nothing. Each is the parent's next child.
TEST_F(builders, ButtonsAndPicturesTakeTheirImagesSize)
{
    openwindow();
    tools.guimakebutton(-12, 10, 20, 1, 1, "newpatch_png", 4.0);
    tools.guimakebutton(0, 10, 20, 30, 40, nullptr, 1.0);
    tools.guimakebutton(92005, 10, 20, 30, 40, "nosuchpicture_png", 1.0);
    tools.guimakeview("newpatch_png", 5, 6);
    tools.guimakeview("nosuchpicture_png", 5, 6);
    const struct
    {
        juce::Rectangle<int> bounds;
        const char* id;
    } built[] = {
        {{10, 20, 73, 19}, "-12"}, {{10, 20, 30, 40}, "0"}, {{10, 20, 0, 0}, "92005"},
        {{5, 6, 73, 38}, ""},      {{5, 6, 0, 0}, ""},
    };
    ASSERT_EQ(tools.controls.count, std::size(built));
    for (std::uint64_t i = 0; i < std::size(built); ++i)
    {
        auto& button = buttonof(tools.controls[i]);
        EXPECT_EQ(button.getBounds(), built[i].bounds) << i;
        EXPECT_EQ(button.getComponentID(), built[i].id) << i;
        EXPECT_EQ(window->getIndexOfChildComponent(&button), static_cast<int>(i));
    }
    EXPECT_EQ(tools.controls[0]->getValue(), 4.0);
    EXPECT_EQ(buttonof(tools.controls[3]).findColour(juce::TextButton::textColourOffId).getARGB(), 0xffbebebeu);
    pkKnob* knob = tools.guimakeknob(2, 9, 0, 0);
    pkMenu* menu = tools.guimakemenu(3, 0, 0, 50, 0, 0);
    EXPECT_EQ(window->getIndexOfChildComponent(&knob->slider), 5);
    EXPECT_EQ(window->getIndexOfChildComponent(&menu->combobox), 6);
    EXPECT_TRUE(menu->combobox.isVisible());
}

// The own patch's row: label, select area, delete button; any other kind: a name and an assign button.
TEST_F(builders, PatchListRows)
{
    openwindow();
    tools.patchlistx = 360;
    tools.patchlisty = 170;
    const struct
    {
        unsigned long row, kind;
        std::uint64_t index;
        juce::Rectangle<int> bounds;
        const char* id;
        juce::uint32 colour; // of the label
    } rows[] = {
        {0, 4, 0, {360, 202, 155, 24}, "", 0xffd2d2d2}, {0, 4, 1, {360, 202, 176, 18}, "91059", 0},
        {0, 4, 2, {534, 202, 20, 20}, "91058", 0},      {2, 2, 3, {360, 250, 155, 24}, "", 0xff646464},
        {2, 2, 4, {360, 250, 155, 24}, "91060", 0},     {2, 3, 5, {360, 250, 155, 24}, "", 0xff96bebe},
        {2, 3, 6, {360, 250, 155, 24}, "91060", 0},
    };
    for (unsigned long kind : {4ul, 2ul, 3ul, 7ul})
        tools.makepatchitem(kind == 4 ? 3 : 5, kind == 4 ? 0 : 2, kind, "EQ");
    ASSERT_EQ(tools.controls.count, std::size(rows)); // kind 7 is none
    for (const auto& r : rows)
    {
        SCOPED_TRACE(r.index);
        auto& button = buttonof(tools.controls[r.index]);
        EXPECT_EQ(button.getBounds(), r.bounds);
        EXPECT_EQ(button.getComponentID(), r.id);
        if (r.colour != 0)
            EXPECT_EQ(button.findColour(juce::TextButton::textColourOffId).getARGB(), r.colour);
        else
            EXPECT_EQ(tools.controls[r.index]->getValue(), r.kind == 4 ? 3.0 : 5.0);
    }
    // Clicking the invisible select area over the label reports the patch's number.
    static_cast<pkButton*>(tools.controls[1])->button.triggerClick();
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
    for (const char* item : {"a", "b", "c"})
        tools.pushmenuitem(pmenuscratch, item, pmenuowntag);
    pkMenu* menu = tools.guimakemenu(1, 0, 0, 50, static_cast<int>(pmenuscratch), 0);
    pkSwitch toggle(0, 0, 10, 10, nullptr, 2, nullptr, nullptr, 1.0);
    pkTextEdit field(0, 0, 60, 24, nullptr, 3, 0xffffffff, 0);
    const struct
    {
        pparamcon kind;
        double norm, value;
        pkControl* control;
        const char* shown; // knob, menu, switch, field after the call
    } rows[] = {
        {pconknob, 0.25, 7.0, knob, "0.25 0 0 "},
        {pconmenu, 0.25, 7.0, menu, "0.25 2 0 "},
        {pconswitch, 1.0, 7.0, &toggle, "0.25 2 1 "},
        {pcontextfield, 1.0, 7.0, &field, "0.25 2 1 7.00"},
        {pcontextfield, 0.5, 3.0, knob, "0.25 2 1 7.00"},
        {pcontextfield, 0.5, 3.0, nullptr, "0.25 2 1 7.00"},
        {static_cast<pparamcon>(9), 0.5, 3.0, &field, "0.25 2 1 7.00"},
    };
    for (const auto& r : rows)
    {
        pparam p;
        p.control = r.kind;
        p.norm = r.norm;
        p.value = r.value;
        p.intvalue = 2;
        tools.updateparam(&p, r.control);
        const juce::String shown = juce::String(knob->getValue()) + " " + juce::String(menu->getValue()) + " "
                                   + juce::String(toggle.getValue()) + " " + field.texteditor.getText();
        EXPECT_EQ(shown, r.shown) << static_cast<int>(r.kind);
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
    juce::SettableTooltipClient* label = nullptr; // the menu's text covers the box: it needs the tip too
    for (auto* child : box->combobox.getChildren())
        if (auto* found = dynamic_cast<juce::Label*>(child))
            label = found;
    ASSERT_NE(label, nullptr);
    const struct
    {
        pkControl* control;
        juce::SettableTooltipClient* shows;
        int type;
    } kinds[] = {
        {&turn, &turn.slider, 1},       {box, &box->combobox, 2}, {box, label, 2},
        {&toggle, &toggle.button, 3},   {&push, &push.button, 3}, {&field, &field.texteditor, 5},
        {&picture, &picture.button, 6},
    };
    const juce::String tip(juce::CharPointer_UTF8("Pitch \xc3\xa9\xc3\xbf"));
    for (const auto& k : kinds)
    {
        SCOPED_TRACE(k.type);
        EXPECT_EQ(k.control->getType(), k.type);
        k.control->setTip("Pitch \xe9\xff");
        EXPECT_EQ(k.shows->getTooltip(), tip);
        k.control->setTip("");
        EXPECT_TRUE(k.shows->getTooltip().isEmpty());
        k.control->setTip("x");
        k.control->setTip(nullptr);
        EXPECT_TRUE(k.shows->getTooltip().isEmpty());
    }
}
} // namespace
