// VelquentAudioProcessorEditor: the plug-in's 920 x 690 window. It draws nothing itself:
// every picture is a widget of the kit that the surface rebuild puts on it. It hears every
// widget (through the kit's listener proxy) and hands code and value to the controller,
// passes presses and drags anywhere on it to the controller's mouse handling, and drives
// the controller's idle tick with a 33 ms timer.
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class VelquentAudioProcessor;
class VelquentAudioProcessorEditor;
class pcontroller;

// Collects the presses and drags of the window and of every widget nested in it.
class PluginEditorMouseListener : public juce::MouseListener
{
public:
    explicit PluginEditorMouseListener(VelquentAudioProcessorEditor* owner) : editor(owner) {}

    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void mouseMove(const juce::MouseEvent& e) override; // moves reach nobody

    VelquentAudioProcessorEditor* editor; // not owned
};

class VelquentAudioProcessorEditor : public juce::AudioProcessorEditor,
                                     public juce::Button::Listener,
                                     public juce::Slider::Listener,
                                     public juce::ComboBox::Listener,
                                     public juce::TextEditor::Listener,
                                     public juce::Timer
{
public:
    static constexpr int tickmilliseconds = 33;
    static constexpr int tooltipmilliseconds = 700;

    explicit VelquentAudioProcessorEditor(VelquentAudioProcessor& owner);
    ~VelquentAudioProcessorEditor() override;

    void paint(juce::Graphics&) override {}
    void resized() override {}
    void buttonClicked(juce::Button* button) override;
    void buttonStateChanged(juce::Button*) override {}
    void sliderValueChanged(juce::Slider* slider) override;
    void comboBoxChanged(juce::ComboBox* box) override;
    void textEditorReturnKeyPressed(juce::TextEditor& field) override;
    void textEditorFocusLost(juce::TextEditor& field) override;
    void timerCallback() override;

    virtual void mouseDownEx(const juce::MouseEvent& e);
    virtual void mouseUpEx(const juce::MouseEvent& e);
    virtual void mouseMoveEx(const juce::MouseEvent& e);
    virtual void mouseDragEx(const juce::MouseEvent& e);

    // The code a widget carries in its component ID; 0 when the ID holds no number.
    static int codeof(const juce::Component& widget);
    // The button set mouseevent takes: 2 left, 8 right, 4 middle.
    static int buttonsof(const juce::MouseEvent& e);

    pcontroller* controller;           // the processor's; not owned
    VelquentAudioProcessor* processor; // not owned
    juce::TooltipWindow tooltipwindow;
    std::unique_ptr<PluginEditorMouseListener> mouselistener;

private:
    void report(const juce::Component& widget, float value);
    void mouseat(const juce::MouseEvent& e, int kind);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VelquentAudioProcessorEditor)
};
