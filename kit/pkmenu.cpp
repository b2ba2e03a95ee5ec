#include "kit/pkmenu.h"

#include "kit/pguitools.h"
#include "kit/pktext.h"
#include "kit/plistenerproxy.h"

#include <algorithm>

namespace
{
constexpr float rowfontheight = 14.0f;
constexpr float boxfontheight = 14.0f;
} // namespace

void MenuLookAndFeelNormal::drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool separator,
                                              bool active, bool highlighted, bool /*ticked*/, bool submenu,
                                              const juce::String& text, const juce::String& shortcut,
                                              const juce::Drawable* /*icon*/, const juce::Colour* textColour)
{
    if (separator)
    {
        auto r = area.reduced(5, 0);
        r.removeFromTop(juce::roundToInt(static_cast<float>(r.getHeight()) * 0.5f - 0.5f));
        g.setColour(findColour(juce::PopupMenu::textColourId).withAlpha(0.3f));
        g.fillRect(r.removeFromTop(1));
        return;
    }

    const auto colour = textColour != nullptr ? *textColour : findColour(juce::PopupMenu::textColourId);
    auto r = area.reduced(1);
    if (highlighted && active)
    {
        g.setColour(findColour(juce::PopupMenu::highlightedBackgroundColourId));
        g.fillRect(r);
        g.setColour(findColour(juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        g.setColour(colour.withMultipliedAlpha(active ? 1.0f : 0.5f));
    }

    r.reduce(std::min(5, area.getWidth() / 20), 0);
    const juce::Font font(rowfontheight);
    g.setFont(font);
    r.removeFromLeft(r.getHeight()); // the icon and tick column stays empty

    if (submenu)
    {
        const float arrow = 0.6f * getPopupMenuFont().getAscent();
        const auto x = static_cast<float>(r.removeFromRight(static_cast<int>(arrow)).getX());
        const auto centre = static_cast<float>(r.getY() + r.getHeight() / 2);
        juce::Path path;
        path.startNewSubPath(x, centre - arrow * 0.5f);
        path.lineTo(x + arrow * 0.6f, centre);
        path.lineTo(x, centre + arrow * 0.5f);
        g.strokePath(path, juce::PathStrokeType(2.0f));
    }

    r.removeFromRight(3);
    g.drawFittedText(text, r, juce::Justification::centredLeft, 1);

    if (shortcut.isNotEmpty())
    {
        auto small = font;
        small.setHeight(font.getHeight() * 0.75f);
        small.setHorizontalScale(0.95f);
        g.setFont(small);
        g.drawText(shortcut, r, juce::Justification::centredRight, true);
    }
}

void MenuLookAndFeelNormal::drawComboBox(juce::Graphics&, int, int, bool, int, int, int, int, juce::ComboBox&)
{
}

juce::Font MenuLookAndFeelNormal::getComboBoxFont(juce::ComboBox& box)
{
    return juce::Font(std::min(static_cast<float>(box.getHeight()) * 0.75f, boxfontheight));
}

void MenuLookAndFeelNormal::positionComboBoxText(juce::ComboBox& box, juce::Label& label)
{
    label.setBounds(21, 1, box.getWidth() - 30, box.getHeight() - 2);
    label.setFont(getComboBoxFont(box));
}

void pkMenuBox::showPopup()
{
    if (getNumItems() > 0)
        juce::ComboBox::showPopup();
    else
        hidePopup(); // the press marked the box active: clear it so a later list can open
}

pkMenu::pkMenu(int tag, int x, int y, int w, plistenerproxy* listener)
{
    combobox.setLookAndFeel(&lookandfeel);
    combobox.setColour(juce::ComboBox::backgroundColourId, juce::Colour(0x00000000u));
    lookandfeel.setColour(juce::PopupMenu::backgroundColourId, juce::Colour(MenuLookAndFeelNormal::popupbackground));
    combobox.setEditableText(false);
    combobox.setJustificationType(juce::Justification::centredLeft);
    combobox.setTextWhenNothingSelected({});
    combobox.setTextWhenNoChoicesAvailable("(no choices)");
    combobox.setBounds(x, y, w, height);
    combobox.setComponentID(pkcomponentid(tag));
    if (listener != nullptr)
        combobox.addListener(listener);
}

void pkMenu::additems(const ocarray::Array<pmenuitem>& list)
{
    for (std::uint64_t i = 0; i < list.count; ++i)
    {
        auto text = pklatin1(list[i].text.c_str());
        if (text.isEmpty())
            text = " ";
        combobox.addItem(text, static_cast<int>(i) + firstid);
    }
}

void pkMenu::setValue(float value)
{
    const double v = value;
    if (!(v > -1.0) || !(v < static_cast<double>(combobox.getNumItems())))
        return;
    combobox.setSelectedId(static_cast<int>(v) + firstid, juce::dontSendNotification);
}

double pkMenu::getValue()
{
    return std::max(selectedindex(combobox), 0);
}

void pkMenu::setTip(const char* text)
{
    const auto tip = pklatin1(text);
    combobox.setTooltip(tip);
    // The box's text label covers it: the label carries the same tip.
    for (auto* child : combobox.getChildren())
        if (auto* label = dynamic_cast<juce::Label*>(child))
            label->setTooltip(tip);
}

int pkMenu::selectedindex(const juce::ComboBox& box)
{
    const int id = box.getSelectedId();
    return id >= firstid ? id - firstid : -1;
}
