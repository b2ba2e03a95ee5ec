// The builders of pguitools: radio groups, image buttons, pictures, patch-list rows and the
// parameter display, on the embedded pictures.
#include "engine/pparam.h"
#include "widgetfixture.h"

namespace
{
using builders = kitfixture;

pkSwitch* radioitem(pguitools& tools, std::uint64_t group, std::uint64_t i)
{
    return static_cast<pkSwitch*>(tools.radiogroups[group]->items[i]);
}

TEST_F(builders, RadioGroupOfTwelveInTwoRows)
{
    openwindow();
    tools.guimakeradio(12, 2, 115, 77, 91020, 218, 538, 3);
    ASSERT_EQ(tools.radiogroups.count, 1u);
    const pkRadioGroup& group = *tools.radiogroups[0];
    ASSERT_EQ(group.count, 12u);
    EXPECT_EQ(group.tag, 91020);
    ASSERT_EQ(tools.controls.count, 12u);
    for (std::uint64_t i = 0; i < 12; ++i)
    {
        pkSwitch* item = radioitem(tools, 0, i);
        const int column = static_cast<int>(i % 6);
        const int y = i < 6 ? 538 : 615;
        EXPECT_EQ(item->button.getBounds(), juce::Rectangle<int>(218 + 115 * column, y, 115, 77)) << "switch " << i;
        EXPECT_EQ(item->lookandfeel.value, static_cast<double>(i + 1)) << "switch " << i;
        EXPECT_EQ(item->getValue(), i == 3 ? 1.0 : 0.0) << "switch " << i;
        EXPECT_EQ(item->button.getComponentID(), "91020");
        EXPECT_EQ(tools.controls[i], item);
        EXPECT_EQ(window->getIndexOfChildComponent(&item->button), static_cast<int>(i));
        ASSERT_NE(item->lookandfeel.image2, nullptr);
        EXPECT_EQ(item->lookandfeel.image2->getWidth(), 115);
    }
    EXPECT_EQ(log.total(), 0);
}

TEST_F(builders, RadioFacesWidthsAndLimits)
{
    tools.guimakeradio(3, 1, 122, 36, 1, 0, 0, 3); // selected == count: none lit
    tools.guimakeradio(14, 1, 115, 77, 2, 0, 0, 13);
    tools.guimakeradio(4, 0, 115, 77, 3, 0, 0, 0);
    ASSERT_EQ(tools.radiogroups.count, 3u);

    EXPECT_EQ(tools.radiogroups[0]->count, 3u);
    for (std::uint64_t i = 0; i < 3; ++i)
    {
        const juce::Rectangle<int> narrow(122 * static_cast<int>(i), 0, 123, 36);
        EXPECT_EQ(radioitem(tools, 0, i)->button.getBounds(), narrow);
        EXPECT_EQ(radioitem(tools, 0, i)->getValue(), 0.0);
    }
    // The record holds twelve: a longer group stops there, and its thirteenth is not lit.
    EXPECT_EQ(tools.radiogroups[1]->count, 12u);
    EXPECT_EQ(radioitem(tools, 1, 11)->lookandfeel.value, 12.0);
    // No rows, no switches.
    EXPECT_EQ(tools.radiogroups[2]->count, 0u);
    EXPECT_EQ(tools.controls.count, 15u);
    // No window was open: nothing became a child of anything.
    EXPECT_EQ(radioitem(tools, 0, 0)->button.getParentComponent(), nullptr);
}

TEST_F(builders, ButtonsAndPicturesTakeTheirImagesSize)
{
    pkButton* face = tools.guimakebutton(-12, 10, 20, 1, 1, "newpatch_png", 4.0);
    EXPECT_EQ(face->button.getBounds(), juce::Rectangle<int>(10, 20, 73, 19));
    EXPECT_EQ(face->button.getComponentID(), "-12");
    EXPECT_EQ(face->getValue(), 4.0);
    pkButton* area = tools.guimakebutton(0, 10, 20, 30, 40, nullptr, 1.0);
    EXPECT_EQ(area->button.getBounds(), juce::Rectangle<int>(10, 20, 30, 40));
    EXPECT_EQ(area->button.getComponentID(), "0");
    pkButton* missing = tools.guimakebutton(92005, 10, 20, 30, 40, "nosuchpicture_png", 1.0);
    EXPECT_EQ(missing->button.getBounds(), juce::Rectangle<int>(10, 20, 0, 0));
    EXPECT_EQ(missing->button.getComponentID(), "92005");

    tools.guimakeview("newpatch_png", 5, 6);
    tools.guimakeview("nosuchpicture_png", 5, 6);
    ASSERT_EQ(tools.controls.count, 5u);
    auto* picture = static_cast<pkView*>(tools.controls[3]);
    EXPECT_EQ(picture->button.getBounds(), juce::Rectangle<int>(5, 6, 73, 38));
    EXPECT_EQ(picture->button.findColour(juce::TextButton::textColourOffId).getARGB(), 0xffbebebeu);
    EXPECT_EQ(static_cast<pkView*>(tools.controls[4])->button.getBounds(), juce::Rectangle<int>(5, 6, 0, 0));
}

TEST_F(builders, PatchListRows)
{
    openwindow();
    tools.patchlistx = 360;
    tools.patchlisty = 170;
    tools.makepatchitem(3, 0, 4, "Delay 1");
    ASSERT_EQ(tools.controls.count, 3u);
    auto* label = static_cast<pkView*>(tools.controls[0]);
    auto* select = static_cast<pkButton*>(tools.controls[1]);
    auto* remove = static_cast<pkButton*>(tools.controls[2]);
    EXPECT_EQ(label->button.getBounds(), juce::Rectangle<int>(360, 202, 155, 24));
    EXPECT_EQ(label->button.getButtonText(), "Delay 1");
    EXPECT_EQ(label->button.findColour(juce::TextButton::textColourOffId).getARGB(), 0xffd2d2d2u);
    EXPECT_EQ(select->button.getBounds(), juce::Rectangle<int>(360, 202, 176, 18));
    EXPECT_EQ(select->button.getComponentID(), "91059");
    EXPECT_EQ(select->getValue(), 3.0);
    EXPECT_EQ(remove->button.getBounds(), juce::Rectangle<int>(534, 202, 20, 20));
    EXPECT_EQ(remove->button.getComponentID(), "91058");
    EXPECT_EQ(remove->getValue(), 3.0);

    const struct
    {
        unsigned long kind;
        juce::uint32 colour;
    } others[] = {{2, 0xff646464}, {3, 0xff96bebe}};
    for (const auto& other : others)
    {
        const std::uint64_t first = tools.controls.count;
        tools.makepatchitem(5, 2, other.kind, "EQ");
        ASSERT_EQ(tools.controls.count, first + 2);
        auto* name = static_cast<pkView*>(tools.controls[first]);
        auto* assign = static_cast<pkButton*>(tools.controls[first + 1]);
        EXPECT_EQ(name->button.getBounds(), juce::Rectangle<int>(360, 250, 155, 24));
        EXPECT_EQ(name->button.findColour(juce::TextButton::textColourOffId).getARGB(), other.colour);
        EXPECT_EQ(assign->button.getBounds(), juce::Rectangle<int>(360, 250, 155, 24));
        EXPECT_EQ(assign->button.getComponentID(), "91060");
        EXPECT_EQ(assign->getValue(), 5.0);
    }
    tools.makepatchitem(5, 2, 7, "none");
    EXPECT_EQ(tools.controls.count, 7u);

    // Clicking the invisible select area over the label reports the patch's number.
    select->button.triggerClick();
    pump();
    EXPECT_EQ(log.clicks, 1);
    EXPECT_EQ(log.clickvalue, 3.0);
    EXPECT_EQ(log.clickid, "91059");
}

TEST_F(builders, UpdateParamByControlKind)
{
    pkKnob* knob = tools.guimakeknob(0, 9, 0, 0);
    tools.pushmenuitem(pmenuscratch, "a", pmenuowntag);
    tools.pushmenuitem(pmenuscratch, "b", pmenuowntag);
    tools.pushmenuitem(pmenuscratch, "c", pmenuowntag);
    pkMenu* menu = tools.guimakemenu(1, 0, 0, 50, static_cast<int>(pmenuscratch), 0);
    pkSwitch toggle(0, 0, 10, 10, nullptr, 2, nullptr, nullptr, 1.0);
    pkTextEdit field(0, 0, 60, 24, nullptr, 3, 0xffffffff, 0);

    pparam p;
    p.norm = 0.25;
    p.value = 7.0;
    p.intvalue = 2;

    p.control = pconknob;
    tools.updateparam(&p, knob);
    EXPECT_DOUBLE_EQ(knob->getValue(), 0.25);
    p.control = pconmenu;
    tools.updateparam(&p, menu);
    EXPECT_EQ(menu->getValue(), 2.0);
    p.control = pconswitch;
    tools.updateparam(&p, &toggle);
    EXPECT_EQ(toggle.getValue(), 0.0);
    p.norm = 1.0;
    tools.updateparam(&p, &toggle);
    EXPECT_EQ(toggle.getValue(), 1.0);
    p.control = pcontextfield;
    tools.updateparam(&p, &field);
    EXPECT_EQ(field.texteditor.getText(), "7.00");
    // A text-field parameter on a control of another kind, a null control, an unknown kind.
    tools.updateparam(&p, knob);
    EXPECT_DOUBLE_EQ(knob->getValue(), 0.25);
    tools.updateparam(&p, nullptr);
    p.control = static_cast<pparamcon>(9);
    p.value = 3.0;
    tools.updateparam(&p, &field);
    EXPECT_EQ(field.texteditor.getText(), "7.00");
}

TEST_F(builders, ChildrenOfTheParentInCreationOrder)
{
    openwindow();
    pkButton* first = tools.guimakebutton(1, 0, 0, 10, 10, nullptr, 1.0);
    pkKnob* second = tools.guimakeknob(2, 9, 0, 0);
    pkMenu* third = tools.guimakemenu(3, 0, 0, 50, 0, 0);
    EXPECT_EQ(window->getIndexOfChildComponent(&first->button), 0);
    EXPECT_EQ(window->getIndexOfChildComponent(&second->slider), 1);
    EXPECT_EQ(window->getIndexOfChildComponent(&third->combobox), 2);
    EXPECT_TRUE(third->combobox.isVisible());
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
