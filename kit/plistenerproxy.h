// plistenerproxy: the one listener every widget of the kit reports through.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class pguitools;

// Forwards each widget event to the open editor window (the root control's component, when
// it implements that widget's listener interface) and drops it while no window is open.
// Widgets therefore never point at the window: it may close while they live on in the
// control list, and a late callback (a text field's asynchronous focus-lost) finds nobody.
// Owned by pguitools, which deletes it after every widget.
class plistenerproxy final : public juce::Button::Listener,
                             public juce::Slider::Listener,
                             public juce::ComboBox::Listener,
                             public juce::TextEditor::Listener
{
public:
    explicit plistenerproxy(pguitools& owner) : tools(owner) {}

    void buttonClicked(juce::Button* button) override;
    void buttonStateChanged(juce::Button* button) override;
    void sliderValueChanged(juce::Slider* slider) override;
    void sliderDragStarted(juce::Slider* slider) override;
    void sliderDragEnded(juce::Slider* slider) override;
    void comboBoxChanged(juce::ComboBox* box) override;
    void textEditorTextChanged(juce::TextEditor& editor) override;
    void textEditorReturnKeyPressed(juce::TextEditor& editor) override;
    void textEditorEscapeKeyPressed(juce::TextEditor& editor) override;
    void textEditorFocusLost(juce::TextEditor& editor) override;

private:
    template <typename Listener>
    Listener* window() const;

    pguitools& tools;
};
