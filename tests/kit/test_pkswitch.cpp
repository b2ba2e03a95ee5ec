// Switch and push button.
#include "widgetfixture.h"

#include <limits>

namespace
{
constexpr juce::uint32 upper = 0xffc02020;
constexpr juce::uint32 lower = 0xff20c040;

juce::Image* twofaces(int width, int height)
{
    return bandimage(width, height / 2, {upper, lower});
}

using switches = kitfixture;

TEST_F(switches, FacesFollowTheState)
{
    pkSwitch toggle(0, 0, 0, 0, nullptr, 1, twofaces(6, 8), nullptr, 1.0);
    EXPECT_EQ(pixelof(toggle.button, 3, 3), upper);
    toggle.setValue(1.0f);
    EXPECT_EQ(pixelof(toggle.button, 3, 3), lower);

    pkButton push(0, 0, 0, 0, nullptr, 1, twofaces(6, 8), 1.0);
    EXPECT_EQ(pixelof(push.button, 3, 3), upper);
    push.button.setState(juce::Button::buttonDown);
    EXPECT_EQ(pixelof(push.button, 3, 3), lower);
    push.button.setState(juce::Button::buttonOver);
    EXPECT_EQ(pixelof(push.button, 3, 3), upper);
}

TEST_F(switches, SetValueTurnsOnFromOneAndTellsNobody)
{
    openwindow();
    pkSwitch toggle(0, 0, 10, 10, tools.widgetlistener(), 1, nullptr, nullptr, 3.0);
    const struct
    {
        float value;
        double shown;
    } cases[] = {
        {1.0f, 1.0},  {0.999f, 0.0}, {7.0f, 1.0},
        {-1.0f, 0.0}, {1e30f, 1.0},  {std::numeric_limits<float>::quiet_NaN(), 0.0},
    };
    for (const auto& c : cases)
    {
        toggle.setValue(c.value);
        EXPECT_EQ(toggle.getValue(), c.shown) << "value " << c.value;
    }

    pkButton push(0, 0, 10, 10, tools.widgetlistener(), 1, nullptr, 91050.0);
    push.setValue(3.0f);
    EXPECT_EQ(push.getValue(), 91050.0);
    EXPECT_EQ(log.total(), 0);
}

TEST_F(switches, SizeComesFromHalfTheImage)
{
    pkSwitch toggle(5, 6, 1, 1, nullptr, 1, twofaces(37, 70), nullptr, 1.0);
    EXPECT_EQ(toggle.button.getBounds(), juce::Rectangle<int>(5, 6, 37, 35));
    pkButton push(5, 6, 1, 1, nullptr, 1, twofaces(73, 38), 1.0);
    EXPECT_EQ(push.button.getBounds(), juce::Rectangle<int>(5, 6, 73, 19));
    pkButton odd(5, 6, 1, 1, nullptr, 1, bandimage(4, 7, {upper}), 1.0);
    EXPECT_EQ(odd.button.getBounds(), juce::Rectangle<int>(5, 6, 4, 3));

    // Without an image: the given size, nothing drawn. An image without pixels: 0 x 0.
    pkButton area(5, 6, 40, 12, nullptr, 1, nullptr, 1.0);
    EXPECT_EQ(area.button.getBounds(), juce::Rectangle<int>(5, 6, 40, 12));
    EXPECT_EQ(pixelof(area.button, 20, 6), 0u);
    pkSwitch undecoded(5, 6, 40, 12, nullptr, 1, new juce::Image(), new juce::Image(), 1.0);
    EXPECT_EQ(undecoded.button.getBounds(), juce::Rectangle<int>(5, 6, 0, 0));
}

TEST_F(switches, ClicksReportTheValueOfTheDrawingObject)
{
    openwindow();
    pkSwitch toggle(0, 0, 10, 10, tools.widgetlistener(), 92005, nullptr, nullptr, 3.0);
    pkButton push(0, 0, 10, 10, tools.widgetlistener(), -12, nullptr, 91050.0);
    EXPECT_TRUE(toggle.button.getTriggeredOnMouseDown());
    EXPECT_TRUE(push.button.getTriggeredOnMouseDown());
    EXPECT_FALSE(push.button.getClickingTogglesState());

    const struct
    {
        juce::Button* button;
        double reported;
        const char* id;
        double switchstate;
    } clicks[] = {
        {&toggle.button, 3.0, "92005", 1.0},
        {&toggle.button, 0.0, "92005", 0.0},
        {&push.button, 91050.0, "-12", 0.0},
        {&push.button, 91050.0, "-12", 0.0},
    };
    int count = 0;
    for (const auto& c : clicks)
    {
        c.button->triggerClick();
        pump();
        ++count;
        EXPECT_EQ(log.clicks, count);
        EXPECT_EQ(log.clickvalue, c.reported) << "click " << count;
        EXPECT_EQ(log.clickid, c.id) << "click " << count;
        EXPECT_EQ(toggle.getValue(), c.switchstate) << "click " << count;
    }

    juce::TextButton foreign;
    EXPECT_EQ(pkbuttonvalue(foreign), 0.0);
}
} // namespace
