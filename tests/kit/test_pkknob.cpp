#include "widgetfixture.h"

#include <limits>
#include <tuple>
#include <utility>

namespace
{
constexpr int stripwidth = 3;
constexpr int stripframe = 2;

// Frame k of the synthetic strip is painted in colour 0xff000010 + k * 0x010203.
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

using knob = kitfixture;

TEST_F(knob, DrawsTheFrameOfThePosition)
{
    pkKnob control(7, 0, 0, synthstrip(), nullptr);
    const std::pair<float, int> rows[] = {
        // position, frame
        {1.0f, 90},  {0.999f, 90}, {0.989f, 89}, {0.9955f, 89}, {0.5f, 45},
        {0.25f, 22}, {0.0f, 0},    {-0.5f, 0},   {1.5f, 90},    {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& [position, frame] : rows)
    {
        control.setValue(position);
        EXPECT_EQ(pixelof(control.slider, 1, 1), framecolour(frame)) << "position " << position;
    }
}

// A knob is its strip's frame in size: each style's strip, 70 x 70 without one, nothing for a
// strip that did not decode.
TEST_F(knob, SizeComesFromTheStrip)
{
    const std::pair<int, int> rows[] = {{0, 72}, {1, 84}, {2, 50}, {9, 70}, {-1, 70}}; // style, side
    for (const auto& [style, side] : rows)
        EXPECT_EQ(tools.guimakeknob(1, style, 100, 200)->slider.getBounds(), juce::Rectangle<int>(100, 200, side, side))
            << "style " << style;
    pkKnob undecoded(1, 10, 20, new juce::Image(), nullptr);
    EXPECT_EQ(undecoded.slider.getBounds(), juce::Rectangle<int>(10, 20, 0, 0));
}

// The voices page builds the pitch field, then the invisible fine knob over its left part:
// the field takes the presses on its own area, the knob those on the rest of its square.
// A knob's value pop-up (on a press; on hover too in a real window) shows the text of the
// field bound to its parameter, or does not open.
TEST_F(knob, TheFieldOfAKnobTakesItsPressesAndGivesThePopupItsText)
{
    openwindow(true);
    auto* field = new pkTextEdit(400, 182, 78, 24, tools.widgetlistener(), 1, 0xffffffff, 0);
    tools.controls.append(field);
    field->addTo(window.get());
    field->texteditor.setText("6.000", false);
    field->ownerkind = pownervoice;
    field->ownerindex = 2;
    field->paramindex = 4;
    pkKnob* fine = tools.guimakeknob(2, 9, 363, 184);
    const std::tuple<int, int, bool> presses[] = {
        // x, y, whether the field takes it
        {415, 194, true}, {401, 183, true}, {460, 194, true}, {399, 194, false}, {415, 206, false},
    };
    for (const auto& [x, y, onfield] : presses)
    {
        juce::Component* hit = window->getComponentAt(x, y);
        EXPECT_EQ(hit == &field->texteditor || field->texteditor.isParentOf(hit), onfield) << x << "," << y;
        EXPECT_EQ(hit == &fine->slider, !onfield) << x << "," << y;
    }
    click(*window, 415, 194);
    EXPECT_TRUE(field->texteditor.hasKeyboardFocus(true));
    fine->setValue(0.3f);                                   // the program's: nobody is told
    fine->slider.setValue(0.7, juce::sendNotificationSync); // as a user's drag ends
    EXPECT_EQ(log.slides, 1);

    const std::tuple<std::int32_t, std::int32_t, std::int32_t, const char*> bindings[] = {
        // the knob's owner kind, owner index and parameter; the pop-up's text (null: the knob's own value)
        {pownervoice, 2, 4, "6.000"},
        {pownervoice, 1, 4, nullptr},
        {pownerpatch, 2, 4, nullptr},
        {0, 0, 0, nullptr},
    };
    for (const auto& [kind, owner, param, shown] : bindings)
    {
        SCOPED_TRACE(testing::Message() << kind << " " << owner << " " << param);
        pkKnob* turned = tools.guimakeknob(3, 0, 100, 100);
        turned->ownerkind = kind;
        turned->ownerindex = owner;
        turned->paramindex = param;
        pointer(*window, 130, 130, true);
        const juce::String own = turned->slider.juce::Slider::getTextFromValue(0.75);
        EXPECT_EQ(turned->slider.getTextFromValue(0.75), shown != nullptr ? juce::String(shown) : own);
        EXPECT_NE(turned->slider.getCurrentPopupDisplay(), nullptr);
        pointer(*window, 130, 130, false);
    }
}
} // namespace
