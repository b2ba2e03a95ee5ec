#include "editor/PluginEditor.h"

#include "editor/pcontroller.h"
#include "editor/peditorservices.h"
#include "kit/pkimagelook.h"
#include "plugin/PluginProcessor.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

void PluginEditorMouseListener::mouseDown(const juce::MouseEvent& e)
{
    editor->mouseDownEx(e);
}

void PluginEditorMouseListener::mouseDrag(const juce::MouseEvent& e)
{
    editor->mouseDragEx(e);
}

void PluginEditorMouseListener::mouseUp(const juce::MouseEvent& e)
{
    editor->mouseUpEx(e);
}

void PluginEditorMouseListener::mouseMove(const juce::MouseEvent&)
{
}

VelquentAudioProcessorEditor::VelquentAudioProcessorEditor(VelquentAudioProcessor& owner)
    : juce::AudioProcessorEditor(owner),
      controller(&owner.controller),
      processor(&owner),
      tooltipwindow(nullptr, tooltipmilliseconds)
{
    owner.instance.rootcontrol.component = this;
    controller->services = peditorservices();
    controller->open(nullptr);
    startTimer(tickmilliseconds);
    setSize(controller->editorrect.width, controller->editorrect.height);
    mouselistener = std::make_unique<PluginEditorMouseListener>(this);
    addMouseListener(mouselistener.get(), true);
}

VelquentAudioProcessorEditor::~VelquentAudioProcessorEditor()
{
    stopTimer();
    juce::PopupMenu::dismissAllActiveMenus();
    // Closing tears the surface down, which first hands over text typed but not yet reported:
    // the field's own focus-lost report would come asynchronously, after the window is gone.
    controller->close();
    // From here on the kit's listener proxy finds no window and no widget is added to this
    // one.
    processor->instance.rootcontrol.component = nullptr;
    controller->tools.parent.component = nullptr;
    removeMouseListener(mouselistener.get());
    mouselistener.reset();
    removeAllChildren();
}

int VelquentAudioProcessorEditor::codeof(const juce::Component& widget)
{
    const juce::String id = widget.getComponentID();
    const char* text = id.toRawUTF8();
    char* end = nullptr;
    errno = 0;
    const long code = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || code < INT_MIN || code > INT_MAX)
        return 0;
    return static_cast<int>(code);
}

int VelquentAudioProcessorEditor::buttonsof(const juce::MouseEvent& e)
{
    int buttons = 0;
    if (e.mods.isLeftButtonDown())
        buttons |= pmouseleft;
    if (e.mods.isRightButtonDown())
        buttons |= pmouseright;
    if (e.mods.isMiddleButtonDown())
        buttons |= pmousemiddle;
    return buttons;
}

void VelquentAudioProcessorEditor::report(const juce::Component& widget, float value)
{
    controller->routeevent(codeof(widget), value);
}

void VelquentAudioProcessorEditor::buttonClicked(juce::Button* button)
{
    double value = pkbuttonvalue(*button);
    if (button->getClickingTogglesState() && !button->getToggleState())
        value = 0.0;
    report(*button, static_cast<float>(value));
}

void VelquentAudioProcessorEditor::sliderValueChanged(juce::Slider* slider)
{
    report(*slider, static_cast<float>(slider->getValue()));
}

void VelquentAudioProcessorEditor::comboBoxChanged(juce::ComboBox* box)
{
    report(*box, static_cast<float>(box->getSelectedItemIndex()));
}

// Return ends the entry: the field gives up the focus, and its focus-lost report commits.
void VelquentAudioProcessorEditor::textEditorReturnKeyPressed(juce::TextEditor& field)
{
    field.giveAwayKeyboardFocus();
}

void VelquentAudioProcessorEditor::textEditorFocusLost(juce::TextEditor& field)
{
    report(field, static_cast<float>(field.getText().getDoubleValue()));
}

void VelquentAudioProcessorEditor::timerCallback()
{
    controller->idle();
}

void VelquentAudioProcessorEditor::mouseat(const juce::MouseEvent& e, int kind)
{
    // Relative to the window whatever widget, however deeply nested, the event came from.
    const auto at = e.getEventRelativeTo(this).getPosition();
    controller->mouseevent(at.x, at.y, buttonsof(e), kind);
}

void VelquentAudioProcessorEditor::mouseDownEx(const juce::MouseEvent& e)
{
    mouseat(e, pmousepress);
}

void VelquentAudioProcessorEditor::mouseDragEx(const juce::MouseEvent& e)
{
    mouseat(e, pmousedrag);
}

void VelquentAudioProcessorEditor::mouseMoveEx(const juce::MouseEvent& e)
{
    mouseat(e, pmousedrag);
}

void VelquentAudioProcessorEditor::mouseUpEx(const juce::MouseEvent&)
{
}
