// pkKnob: a rotary control for a value 0..1, drawn as one frame of a 91-frame film strip.
#pragma once

#include "kit/pkcontrol.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>

class plistenerproxy;

class KnobLookAndFeelNormal : public juce::LookAndFeel_V4
{
public:
    static constexpr std::uint32_t stripframes = 91;
    static constexpr std::uint32_t blanksize = 70; // a knob without strip is 70 x 70

    KnobLookAndFeelNormal() = default;
    ~KnobLookAndFeelNormal() override;

    // Takes ownership of the strip (may be null); a frame is its height / 91 pixels high.
    void setimage(juce::Image* strip);
    // The frame shown at position p: trunc((frames - 0.6) * p) with p taken into 0..1 and
    // a NaN as 0, so the frame always lies in the strip.
    static int frameat(double p, std::uint32_t frames);

    void drawRotarySlider(juce::Graphics& g, int x, int y, int width, int height, float position, float startAngle,
                          float endAngle, juce::Slider& slider) override;

    juce::Image* image = nullptr; // owned; null for a knob without strip
    std::uint32_t frames = 0;
    std::uint32_t frameheight = blanksize; // 0 when the strip holds no pixels
};

// The slider of a knob. Its value pop-up opens inside the slider's current parent (the
// editor window), so the slider never keeps a pointer to a window that has closed.
class pkKnobSlider : public juce::Slider
{
public:
    // The text of the field that shows this knob's parameter, empty when there is none. The
    // pop-up shows that text in place of the knob's 0..1 position.
    std::function<juce::String()> shown;

    void parentHierarchyChanged() override;
    juce::String getTextFromValue(double value) override;
    void mouseEnter(const juce::MouseEvent& e) override;
    void mouseDown(const juce::MouseEvent& e) override;
    // A text field partly under the knob (an invisible fine knob lies over its pitch field)
    // takes the clicks on its own area.
    bool hitTest(int x, int y) override;

private:
    void enablepopup();
};

class pkKnob : public pkControl
{
public:
    // Takes ownership of the strip (null: an invisible 70 x 70 drag area). Registers
    // `listener` when it is not null. Not listed or shown: guimakeknob does that.
    pkKnob(int tag, int x, int y, juce::Image* strip, plistenerproxy* listener);
    ~pkKnob() override = default;

    void setValue(float value) override;
    double getValue() override;
    int getType() override { return pctlknob; }
    void setTip(const char* text) override;

    KnobLookAndFeelNormal lookandfeel;
    pkKnobSlider slider;
};
