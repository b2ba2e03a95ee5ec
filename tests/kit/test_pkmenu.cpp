#include "widgetfixture.h"

#include <limits>
#include <tuple>
#include <utility>

namespace
{
using menu = kitfixture;

// An empty text keeps its place, texts are Latin-1, a pick by the user reports the entry's
// index; the program's setValue selects by truncated index and tells nobody.
TEST_F(menu, SelectsAndReportsByIndex)
{
    openwindow();
    pkMenu* box = scratchmenu({"Off", "", "D\xe9\x62ut", "d", "e", "f", "g", "h", "i", "j", "k", "l"}, 2);
    EXPECT_EQ(box->combobox.getText(), juce::String(juce::CharPointer_UTF8("D\xc3\xa9\x62ut")));
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::pair<float, double> rows[] = {
        // value, selected after it, starting from 5 each time
        {11.9f, 11.0}, {12.0f, 5.0}, {-1.0f, 5.0},  {-0.5f, 0.0}, {2.0f, 2.0},
        {nan, 5.0},    {1e30f, 5.0}, {-1e30f, 5.0}, {inf, 5.0},
    };
    for (const auto& [value, selected] : rows)
    {
        box->setValue(5.0f);
        box->setValue(value);
        EXPECT_EQ(box->getValue(), selected) << "value " << value;
    }
    EXPECT_EQ(log.choices, 0);
    box->combobox.setSelectedItemIndex(3, juce::sendNotificationSync); // a pick by the user
    EXPECT_EQ(log.choices, 1);
    EXPECT_EQ(log.choiceindex, 3);
    // An initial index beyond the list, or no such list, selects nothing.
    tools.menulists[pmenuscratch].clear();
    pkMenu* beyond = scratchmenu({"a", "b"}, 2);
    EXPECT_EQ(beyond->getValue(), 0.0);
    EXPECT_EQ(pkMenu::selectedindex(beyond->combobox), -1);
    EXPECT_EQ(tools.guimakemenu(1, 0, 0, 50, 17, 0)->combobox.getNumItems(), 0);
}

// A press on a menu without entries opens nothing, and leaves the box free to open later.
TEST_F(menu, AnEmptyMenuOpensNothing)
{
    openwindow(true);
    pkMenu* empty = scratchmenu({}, 0);
    click(*window, 60, 29);
    pump();
    EXPECT_FALSE(empty->combobox.isPopupActive());
    EXPECT_EQ(juce::ModalComponentManager::getInstance()->getNumModalComponents(), 0);
}

// Pop-up rows: a highlight inset by one pixel, a separator's one line 4 pixels down and 5 in
// from each side. (The box itself, text only, is in the surface pictures.)
TEST_F(menu, PopupRows)
{
    MenuLookAndFeelNormal look;
    const auto lit = look.findColour(juce::PopupMenu::highlightedBackgroundColourId).getARGB();
    const auto line = look.findColour(juce::PopupMenu::textColourId).withAlpha(0.3f).getARGB();
    const std::tuple<int, bool, bool, int, int, juce::uint32> rows[] = {
        // row height, separator, active, pixel x, y, its colour
        {20, false, true, 0, 0, 0},   {20, false, true, 50, 1, lit}, {20, false, true, 98, 18, lit},
        {20, false, true, 99, 19, 0}, {20, false, false, 50, 10, 0}, {9, true, true, 50, 3, 0},
        {9, true, true, 50, 4, line}, {9, true, true, 4, 4, 0},      {9, true, true, 5, 4, line},
        {9, true, true, 95, 4, 0},
    };
    for (const auto& [height, separator, active, x, y, colour] : rows)
    {
        juce::Image image(juce::Image::ARGB, 100, height, true);
        juce::Graphics g(image);
        look.drawPopupMenuItem(g, {0, 0, 100, height}, separator, active, true, false, false, "", "", nullptr, nullptr);
        EXPECT_EQ(pixelof(image, x, y), colour) << height << " " << x << "," << y;
    }
}
} // namespace
