// Switch and push button.
#include "widgetfixture.h"

#include <limits>
#include <tuple>

namespace
{
constexpr juce::uint32 upper = 0xffc02020;
constexpr juce::uint32 lower = 0xff20c040;

juce::Image* twofaces(int width, int height)
{
    return bandimage(width, height / 2, {upper, lower});
}

using switches = kitfixture;

// The upper half of the picture is the face at rest, the lower the face on or held down; the
// size is half the picture's, or the given area without one (nothing drawn), or none for a
// picture without pixels.
TEST_F(switches, FacesAndSizeComeFromThePicture)
{
    pkSwitch toggle(5, 6, 1, 1, nullptr, 1, twofaces(37, 70), nullptr, 1.0);
    pkButton push(5, 6, 1, 1, nullptr, 1, twofaces(73, 38), 1.0);
    pkButton odd(5, 6, 1, 1, nullptr, 1, bandimage(4, 7, {upper}), 1.0);
    pkButton area(5, 6, 40, 12, nullptr, 1, nullptr, 1.0);
    pkSwitch undecoded(5, 6, 40, 12, nullptr, 1, new juce::Image(), new juce::Image(), 1.0);
    const std::tuple<juce::Button&, juce::Rectangle<int>> sizes[] = {
        {toggle.button, {5, 6, 37, 35}}, {push.button, {5, 6, 73, 19}},    {odd.button, {5, 6, 4, 3}},
        {area.button, {5, 6, 40, 12}},   {undecoded.button, {5, 6, 0, 0}},
    };
    for (const auto& [button, bounds] : sizes)
        EXPECT_EQ(button.getBounds(), bounds);
    EXPECT_EQ(pixelof(area.button, 20, 6), 0u);
    EXPECT_EQ(pixelof(toggle.button, 3, 3), upper);
    toggle.setValue(1.0f);
    EXPECT_EQ(pixelof(toggle.button, 3, 3), lower);
    EXPECT_EQ(pixelof(push.button, 3, 3), upper);
    push.button.setState(juce::Button::buttonDown);
    EXPECT_EQ(pixelof(push.button, 3, 3), lower);
    push.button.setState(juce::Button::buttonOver);
    EXPECT_EQ(pixelof(push.button, 3, 3), upper);
}

// The program's setValue turns a switch on from 1 and tells nobody. Both react on the press;
// the switch reports its drawing object's value when it turns on and 0 when it turns off, the
// push button its value every time.
TEST_F(switches, SetValueTurnsOnFromOneAndClicksReportTheValueOfTheDrawingObject)
{
    openwindow();
    pkSwitch toggle(0, 0, 10, 10, tools.widgetlistener(), 92005, nullptr, nullptr, 3.0);
    pkButton push(0, 0, 10, 10, tools.widgetlistener(), -12, nullptr, 91050.0);
    const std::tuple<float, double> values[] = {{1.0f, 1.0},  {0.999f, 0.0}, {7.0f, 1.0},
                                                {-1.0f, 0.0}, {1e30f, 1.0},  {std::nanf(""), 0.0}};
    for (const auto& [value, shown] : values)
    {
        toggle.setValue(value);
        EXPECT_EQ(toggle.getValue(), shown) << "value " << value;
    }
    push.setValue(3.0f);
    EXPECT_EQ(push.getValue(), 91050.0);
    EXPECT_EQ(log.total(), 0);
    EXPECT_TRUE(toggle.button.getTriggeredOnMouseDown());
    EXPECT_TRUE(push.button.getTriggeredOnMouseDown());
    EXPECT_FALSE(push.button.getClickingTogglesState());
    const std::tuple<juce::Button&, double, const char*, double> clicks[] = {
        {toggle.button, 3.0, "92005", 1.0},
        {toggle.button, 0.0, "92005", 0.0},
        {push.button, 91050.0, "-12", 0.0},
        {push.button, 91050.0, "-12", 0.0},
    };
    for (const auto& [button, reported, id, switchstate] : clicks)
    {
        const int count = log.clicks + 1;
        button.triggerClick();
        pump();
        EXPECT_EQ(log.clicks, count);
        EXPECT_EQ(log.clickvalue, reported) << "click " << count;
        EXPECT_EQ(log.clickid, id) << "click " << count;
        EXPECT_EQ(toggle.getValue(), switchstate) << "click " << count;
    }
    juce::TextButton foreign;
    EXPECT_EQ(pkbuttonvalue(foreign), 0.0);
}
} // namespace
