#include "widgetfixture.h"

#include <cmath>
#include <limits>

namespace
{
constexpr int stripwidth = 3;
constexpr int stripframe = 2;

// Frame k of the synthetic strip is painted in colour 0xff000000 + k * 0x010203 + 0x10.
juce::uint32 framecolour(int frame)
{
    return 0xff000010u + static_cast<juce::uint32>(frame) * 0x010203u;
}

juce::Image* synthstrip()
{
    std::vector<juce::uint32> colours;
    for (int frame = 0; frame < 91; ++frame)
        colours.push_back(framecolour(frame));
    return bandimage(stripwidth, stripframe, colours);
}

// Which frame of the synthetic strip the knob's drawing object paints at position p.
juce::uint32 drawnat(pkKnob& knob, float p)
{
    juce::Image target(juce::Image::ARGB, stripwidth, stripframe, true);
    juce::Graphics g(target);
    knob.lookandfeel.drawRotarySlider(g, 0, 0, stripwidth, stripframe, p, 0.0f, 1.0f, knob.slider);
    return pixelof(target, 1, 1);
}

using knob = kitfixture;

TEST_F(knob, DrawsTheFrameOfThePosition)
{
    pkKnob control(7, 0, 0, synthstrip(), nullptr);
    const struct
    {
        float position;
        int frame;
    } cases[] = {
        {1.0f, 90},  {0.999f, 90}, {0.989f, 89}, {0.9955f, 89}, {0.5f, 45},
        {0.25f, 22}, {0.0f, 0},    {-0.5f, 0},   {1.5f, 90},    {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(drawnat(control, c.position), framecolour(c.frame)) << "position " << c.position;
}

TEST_F(knob, SetValueMovesThePictureAndTellsNobody)
{
    openwindow();
    pkKnob control(7, 0, 0, synthstrip(), tools.widgetlistener());
    control.setValue(0.25f);
    EXPECT_EQ(pixelof(control.slider, 1, 1), framecolour(22));
    EXPECT_DOUBLE_EQ(control.getValue(), 0.25);
    control.setValue(3.0f);
    EXPECT_DOUBLE_EQ(control.getValue(), 1.0);
    EXPECT_EQ(log.total(), 0);
}

TEST_F(knob, SizeComesFromTheStrip)
{
    pkKnob drawn(1, 10, 20, synthstrip(), nullptr);
    EXPECT_EQ(drawn.slider.getBounds(), juce::Rectangle<int>(10, 20, stripwidth, stripframe));

    pkKnob blank(1, 10, 20, nullptr, nullptr);
    EXPECT_EQ(blank.slider.getBounds(), juce::Rectangle<int>(10, 20, 70, 70));

    // A strip that did not decode: no size, and nothing drawn.
    pkKnob undecoded(1, 10, 20, new juce::Image(), nullptr);
    EXPECT_EQ(undecoded.slider.getBounds(), juce::Rectangle<int>(10, 20, 0, 0));
    juce::Image target(juce::Image::ARGB, 4, 4, true);
    juce::Graphics g(target);
    undecoded.lookandfeel.drawRotarySlider(g, 0, 0, 4, 4, 0.5f, 0.0f, 1.0f, undecoded.slider);
    EXPECT_EQ(pixelof(target, 1, 1), 0u);
}

TEST_F(knob, BuiltKnobsByStyle)
{
    const struct
    {
        int style;
        int side;
    } cases[] = {{0, 72}, {1, 84}, {2, 50}, {9, 70}, {-1, 70}};
    for (const auto& c : cases)
    {
        pkKnob* built = tools.guimakeknob(-12, c.style, 100, 200);
        EXPECT_EQ(built->slider.getBounds(), juce::Rectangle<int>(100, 200, c.side, c.side)) << "style " << c.style;
    }
    pkKnob* last = static_cast<pkKnob*>(tools.controls[tools.controls.count - 1]);
    EXPECT_EQ(last->slider.getComponentID(), "-12");
    EXPECT_EQ(last->slider.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
    EXPECT_EQ(last->slider.getTextBoxPosition(), juce::Slider::NoTextBox);
    EXPECT_TRUE(last->slider.isDoubleClickReturnEnabled());
    EXPECT_DOUBLE_EQ(last->slider.getDoubleClickReturnValue(), 0.5);
    EXPECT_EQ(last->slider.getNumDecimalPlacesToDisplay(), 3);
    EXPECT_EQ(tools.controls.count, 5u);
}

TEST_F(knob, ReportsUserTurnsOnlyWhenBuiltWithAnEditor)
{
    pkKnob* orphan = tools.guimakeknob(5, 9, 0, 0);
    openwindow();
    pkKnob* listened = tools.guimakeknob(6, 9, 0, 0);

    // A drag ends in a value change with notification, as this does.
    orphan->slider.setValue(0.7, juce::sendNotificationSync);
    EXPECT_EQ(log.slides, 0);
    listened->slider.setValue(0.7, juce::sendNotificationSync);
    EXPECT_EQ(log.slides, 1);
    EXPECT_DOUBLE_EQ(log.slidevalue, 0.7);
    // Both are children of the window that was open when each was built.
    EXPECT_EQ(listened->slider.getParentComponent(), window.get());
    EXPECT_EQ(orphan->slider.getParentComponent(), nullptr);
}
} // namespace
