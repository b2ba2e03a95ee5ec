#include "kit/plistenerproxy.h"

#include "kit/pguitools.h"

template <typename Listener>
Listener* plistenerproxy::window() const
{
    if (tools.rootcontrol == nullptr || tools.rootcontrol->component == nullptr)
        return nullptr;
    return dynamic_cast<Listener*>(tools.rootcontrol->component);
}

void plistenerproxy::buttonClicked(juce::Button* button)
{
    if (auto* target = window<juce::Button::Listener>())
        target->buttonClicked(button);
}

void plistenerproxy::buttonStateChanged(juce::Button* button)
{
    if (auto* target = window<juce::Button::Listener>())
        target->buttonStateChanged(button);
}

void plistenerproxy::sliderValueChanged(juce::Slider* slider)
{
    if (auto* target = window<juce::Slider::Listener>())
        target->sliderValueChanged(slider);
}

void plistenerproxy::sliderDragStarted(juce::Slider* slider)
{
    if (auto* target = window<juce::Slider::Listener>())
        target->sliderDragStarted(slider);
}

void plistenerproxy::sliderDragEnded(juce::Slider* slider)
{
    if (auto* target = window<juce::Slider::Listener>())
        target->sliderDragEnded(slider);
}

void plistenerproxy::comboBoxChanged(juce::ComboBox* box)
{
    if (auto* target = window<juce::ComboBox::Listener>())
        target->comboBoxChanged(box);
}

void plistenerproxy::textEditorTextChanged(juce::TextEditor& editor)
{
    if (auto* target = window<juce::TextEditor::Listener>())
        target->textEditorTextChanged(editor);
}

void plistenerproxy::textEditorReturnKeyPressed(juce::TextEditor& editor)
{
    if (auto* target = window<juce::TextEditor::Listener>())
        target->textEditorReturnKeyPressed(editor);
}

void plistenerproxy::textEditorEscapeKeyPressed(juce::TextEditor& editor)
{
    if (auto* target = window<juce::TextEditor::Listener>())
        target->textEditorEscapeKeyPressed(editor);
}

void plistenerproxy::textEditorFocusLost(juce::TextEditor& editor)
{
    if (auto* target = window<juce::TextEditor::Listener>())
        target->textEditorFocusLost(editor);
}
