#include "kit/pkknob.h"

#include "kit/pktext.h"
#include "kit/plistenerproxy.h"

#include <cmath>

namespace
{
constexpr double knobdefault = 0.5; // double-click or Alt-click
constexpr int popuphoverms = 2000;
} // namespace

KnobLookAndFeelNormal::~KnobLookAndFeelNormal()
{
    delete image;
}

void KnobLookAndFeelNormal::setimage(juce::Image* strip)
{
    delete image;
    image = strip;
    frameheight = image != nullptr ? static_cast<std::uint32_t>(image->getHeight()) / stripframes : blanksize;
}

int KnobLookAndFeelNormal::frameat(double p, std::uint32_t frames)
{
    if (frames == 0)
        return 0;
    if (!(p > 0.0)) // also a NaN
        p = 0.0;
    if (p > 1.0)
        p = 1.0;
    const auto frame = static_cast<std::int64_t>(std::trunc((static_cast<double>(frames) - 0.6) * p));
    return static_cast<int>(std::min<std::int64_t>(frame, frames - 1));
}

void KnobLookAndFeelNormal::drawRotarySlider(juce::Graphics& g, int x, int y, int /*width*/, int /*height*/,
                                             float position, float /*startAngle*/, float /*endAngle*/,
                                             juce::Slider& /*slider*/)
{
    if (image == nullptr || !image->isValid() || frameheight == 0)
        return;
    const int frame = frameat(position, frames);
    const int height = static_cast<int>(frameheight);
    const int width = image->getWidth();
    g.drawImage(*image, x, y, width, height, 0, frame * height, width, height);
}

void pkKnobSlider::parentHierarchyChanged()
{
    juce::Slider::parentHierarchyChanged();
    enablepopup();
}

juce::String pkKnobSlider::getTextFromValue(double value)
{
    // A knob beside a field shows what the field shows (a pitch in semitones, a delay in
    // seconds), not its own 0..1 position; any other knob shows its value.
    const juce::String text = shown != nullptr ? shown() : juce::String();
    return text.isNotEmpty() ? text : juce::Slider::getTextFromValue(value);
}

void pkKnobSlider::mouseEnter(const juce::MouseEvent& e)
{
    enablepopup();
    juce::Slider::mouseEnter(e);
}

void pkKnobSlider::mouseDown(const juce::MouseEvent& e)
{
    enablepopup();
    juce::Slider::mouseDown(e);
}

bool pkKnobSlider::hitTest(int x, int y)
{
    if (const auto* parent = getParentComponent())
    {
        const auto at = getPosition() + juce::Point<int>(x, y);
        for (const auto* sibling : parent->getChildren())
            if (sibling->isVisible() && sibling->getBounds().contains(at)
                && dynamic_cast<const juce::TextEditor*>(sibling) != nullptr)
                return false;
    }
    return juce::Slider::hitTest(x, y);
}

void pkKnobSlider::enablepopup()
{
    // Renewed when the pointer comes: the editor window the pop-up belongs in may have been
    // rebuilt since the knob was made.
    setPopupDisplayEnabled(true, true, getParentComponent(), popuphoverms);
}

pkKnob::pkKnob(int tag, int x, int y, juce::Image* strip, plistenerproxy* listener)
{
    lookandfeel.frames = KnobLookAndFeelNormal::stripframes;
    if (strip != nullptr)
        lookandfeel.setimage(strip);
    slider.setLookAndFeel(&lookandfeel);
    slider.setRange(0.0, 1.0, 0.0);
    slider.setSliderStyle(juce::Slider::RotaryVerticalDrag);
    slider.setTextBoxStyle(juce::Slider::NoTextBox, false, 0, 0);
    // The frame's own size; 70 x 70 without strip, 0 x 0 for a strip without pixels.
    const int width = strip != nullptr ? strip->getWidth() : static_cast<int>(KnobLookAndFeelNormal::blanksize);
    slider.setBounds(x, y, width, static_cast<int>(lookandfeel.frameheight));
    slider.setDoubleClickReturnValue(true, knobdefault, juce::ModifierKeys::altModifier);
    slider.setComponentID(pkcomponentid(tag));
    if (listener != nullptr)
        slider.addListener(listener);
}

void pkKnob::setValue(float value)
{
    slider.setValue(static_cast<double>(value), juce::dontSendNotification);
}

double pkKnob::getValue()
{
    return slider.getValue();
}

void pkKnob::setTip(const char* text)
{
    slider.setTooltip(pklatin1(text));
}
