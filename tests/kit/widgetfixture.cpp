#include "widgetfixture.h"

testwindow::testwindow(heard& heardlog, pkComponent& rootcontrol, pguitools& holder)
    : log(heardlog), root(rootcontrol), tools(holder)
{
    setSize(920, 690);
    root.component = this;
    tools.parent.component = this;
}

testwindow::~testwindow()
{
    root.component = nullptr;
    tools.parent.component = nullptr;
}

void testwindow::buttonClicked(juce::Button* button)
{
    ++log.clicks;
    const bool turnedoff = button->getClickingTogglesState() && !button->getToggleState();
    log.clickvalue = turnedoff ? 0.0 : pkbuttonvalue(*button);
    log.clickid = button->getComponentID();
}

void testwindow::sliderValueChanged(juce::Slider*)
{
    ++log.slides;
}

void testwindow::comboBoxChanged(juce::ComboBox* box)
{
    ++log.choices;
    log.choiceindex = pkMenu::selectedindex(*box);
}

void testwindow::textEditorFocusLost(juce::TextEditor&)
{
    ++log.focuslosses;
}

juce::Image* bandimage(int width, int rowheight, const std::vector<juce::uint32>& colours)
{
    auto* image = new juce::Image(juce::Image::ARGB, width, rowheight * static_cast<int>(colours.size()), true);
    juce::Graphics g(*image);
    for (std::size_t i = 0; i < colours.size(); ++i)
    {
        g.setColour(juce::Colour(colours[i]));
        g.fillRect(0, rowheight * static_cast<int>(i), width, rowheight);
    }
    return image;
}

juce::uint32 pixelof(juce::Component& component, int x, int y)
{
    const auto image = component.createComponentSnapshot(component.getLocalBounds(), false, 1.0f);
    return pixelof(image, x, y);
}

void pump()
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
}

void pointer(juce::Component& window, int x, int y, bool down)
{
    const auto buttons = down ? juce::ModifierKeys::leftButtonModifier : 0;
    window.getPeer()->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse,
                                       {static_cast<float>(x), static_cast<float>(y)}, juce::ModifierKeys(buttons),
                                       juce::MouseInputSource::defaultPressure,
                                       juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
}

void click(juce::Component& window, int x, int y)
{
    pointer(window, x, y, false);
    pointer(window, x, y, true);
    pointer(window, x, y, false);
}
