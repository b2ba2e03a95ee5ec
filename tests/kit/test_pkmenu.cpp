#include "widgetfixture.h"

#include <limits>

namespace
{
class menu : public kitfixture
{
protected:
    pkMenu* build(std::vector<const char*> entries, int initial)
    {
        for (const char* text : entries)
            tools.pushmenuitem(pmenuscratch, text, pmenuowntag);
        return tools.guimakemenu(91100, 10, 20, 120, static_cast<int>(pmenuscratch), initial);
    }
};

juce::Image rowimage(int width, int height, bool separator, bool active, bool highlighted)
{
    MenuLookAndFeelNormal look;
    juce::Image image(juce::Image::ARGB, width, height, true);
    juce::Graphics g(image);
    look.drawPopupMenuItem(g, {0, 0, width, height}, separator, active, highlighted, false, false, "", "", nullptr,
                           nullptr);
    return image;
}

TEST_F(menu, ItemsCarryIdsFromTwo)
{
    pkMenu* box = build({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}, 0);
    ASSERT_EQ(box->combobox.getNumItems(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(box->combobox.getItemId(i), i + 2);
    EXPECT_EQ(box->combobox.getBounds(), juce::Rectangle<int>(10, 20, 120, 18));
    EXPECT_EQ(box->combobox.getComponentID(), "91100");
    EXPECT_EQ(tools.controls[0], box);
}

TEST_F(menu, SetValueSelectsByTruncatedIndex)
{
    openwindow();
    pkMenu* box = build({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}, 5);
    EXPECT_EQ(box->getValue(), 5.0);
    const struct
    {
        float value;
        double selected; // after the call, starting from 5 each time
    } cases[] = {
        {11.9f, 11.0}, {12.0f, 5.0},  {-1.0f, 5.0},
        {-0.5f, 0.0},  {2.0f, 2.0},   {std::numeric_limits<float>::quiet_NaN(), 5.0},
        {1e30f, 5.0},  {-1e30f, 5.0}, {std::numeric_limits<float>::infinity(), 5.0},
    };
    for (const auto& c : cases)
    {
        box->setValue(5.0f);
        box->setValue(c.value);
        EXPECT_EQ(box->getValue(), c.selected) << "value " << c.value;
    }
    EXPECT_EQ(log.choices, 0);

    // A pick by the user reports the index of the chosen entry.
    box->combobox.setSelectedId(4, juce::sendNotificationSync);
    EXPECT_EQ(log.choices, 1);
    EXPECT_EQ(log.choiceindex, 2);
}

TEST_F(menu, EmptyTextsKeepLaterEntriesInPlaceAndTextsAreLatin1)
{
    pkMenu* box = build({"Off", "",
                         "D\xe9"
                         "but"},
                        2);
    ASSERT_EQ(box->combobox.getNumItems(), 3);
    EXPECT_EQ(box->combobox.getItemText(1), " ");
    EXPECT_EQ(box->combobox.getItemId(2), 4);
    EXPECT_EQ(box->combobox.getText(), juce::String(juce::CharPointer_UTF8("D\xc3\xa9"
                                                                           "but")));
    EXPECT_EQ(pkMenu::selectedindex(box->combobox), 2);
}

TEST_F(menu, EmptyListsAndInitialIndexesBeyondTheList)
{
    pkMenu* empty = build({}, 0);
    EXPECT_EQ(empty->combobox.getNumItems(), 0);
    EXPECT_EQ(empty->combobox.getTextWhenNoChoicesAvailable(), "(no choices)");
    EXPECT_EQ(empty->combobox.getSelectedId(), 0);
    EXPECT_EQ(empty->getValue(), 0.0);
    EXPECT_EQ(pkMenu::selectedindex(empty->combobox), -1);

    tools.menulists[pmenuscratch].clear();
    pkMenu* beyond = build({"a", "b"}, 2);
    EXPECT_EQ(beyond->combobox.getSelectedId(), 0);
    EXPECT_EQ(beyond->getValue(), 0.0);
    EXPECT_TRUE(beyond->combobox.getText().isEmpty());

    pkMenu* nolist = tools.guimakemenu(1, 0, 0, 50, 17, 0);
    EXPECT_EQ(nolist->combobox.getNumItems(), 0);
}

TEST_F(menu, BoxShowsOnlyItsText)
{
    pkMenu* box = build({"a"}, 0);
    EXPECT_FLOAT_EQ(box->lookandfeel.getComboBoxFont(box->combobox).getHeight(), 13.5f);
    EXPECT_EQ(box->combobox.findColour(juce::ComboBox::backgroundColourId).getARGB(), 0u);
    EXPECT_EQ(box->lookandfeel.findColour(juce::PopupMenu::backgroundColourId).getARGB(), 0xff474747u);
    box->combobox.setSelectedId(0, juce::dontSendNotification);
    EXPECT_EQ(pixelof(box->combobox, 5, 9), 0u);
    EXPECT_EQ(pixelof(box->combobox, 110, 9), 0u);
}

TEST_F(menu, PopupRows)
{
    MenuLookAndFeelNormal look;
    const auto highlight = look.findColour(juce::PopupMenu::highlightedBackgroundColourId).getARGB();

    const auto lit = rowimage(100, 20, false, true, true);
    EXPECT_EQ(pixelof(lit, 0, 0), 0u);
    EXPECT_EQ(pixelof(lit, 50, 1), highlight);
    EXPECT_EQ(pixelof(lit, 98, 18), highlight);
    EXPECT_EQ(pixelof(lit, 99, 19), 0u);

    const auto inactive = rowimage(100, 20, false, false, true);
    EXPECT_EQ(pixelof(inactive, 50, 10), 0u);

    // A 9-pixel separator row: one line, 4 pixels down, 5 pixels in from each side.
    const auto separator = rowimage(100, 9, true, true, false);
    const auto line = look.findColour(juce::PopupMenu::textColourId).withAlpha(0.3f).getARGB();
    EXPECT_EQ(pixelof(separator, 50, 3), 0u);
    EXPECT_EQ(pixelof(separator, 50, 4), line);
    EXPECT_EQ(pixelof(separator, 50, 5), 0u);
    EXPECT_EQ(pixelof(separator, 4, 4), 0u);
    EXPECT_EQ(pixelof(separator, 5, 4), line);
    EXPECT_EQ(pixelof(separator, 95, 4), 0u);
}
} // namespace
