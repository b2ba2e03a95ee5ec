#include "kit/pktextedit.h"

#include "kit/pktext.h"
#include "kit/plistenerproxy.h"

namespace
{
bool hasfocus(juce::TextEditor& field)
{
    return field.hasKeyboardFocus(true) && !field.isReadOnly();
}

bool inalertwindow(juce::TextEditor& field)
{
    return dynamic_cast<juce::AlertWindow*>(field.getParentComponent()) != nullptr;
}
} // namespace

void TextEditLookAndFeelNormal::fillTextEditorBackground(juce::Graphics& g, int width, int height,
                                                         juce::TextEditor& field)
{
    if (!hasfocus(field) || !field.isEnabled())
        return;
    g.setColour(field.findColour(juce::TextEditor::backgroundColourId));
    if (inalertwindow(field))
    {
        g.fillRect(0, 0, width, height);
        g.setColour(field.findColour(juce::TextEditor::outlineColourId));
        g.drawHorizontalLine(height - 1, 0.0f, static_cast<float>(width));
        return;
    }
    g.fillAll();
}

void TextEditLookAndFeelNormal::drawTextEditorOutline(juce::Graphics& g, int width, int height, juce::TextEditor& field)
{
    if (inalertwindow(field) || !field.isEnabled())
        return;
    const auto id = hasfocus(field) ? juce::TextEditor::focusedOutlineColourId : juce::TextEditor::outlineColourId;
    g.setColour(field.findColour(id));
    g.drawRect(0, 0, width, height, 2);
}

pkTextEdit::pkTextEdit(int x, int y, int w, int h, plistenerproxy* listener, int tag, unsigned long textColour,
                       int outline)
    : texteditor(juce::String(), 0)
{
    texteditor.setColour(juce::TextEditor::focusedOutlineColourId, juce::Colour(framecolour));
    texteditor.setColour(juce::TextEditor::backgroundColourId, juce::Colour(focusedbackground));
    texteditor.setColour(juce::TextEditor::textColourId, juce::Colour(static_cast<juce::uint32>(textColour)));
    texteditor.setColour(juce::TextEditor::outlineColourId, juce::Colour(outline != 0 ? framecolour : 0u));
    texteditor.setLookAndFeel(&lookandfeel);
    texteditor.setBounds(x, y, w, h);
    texteditor.setComponentID(pkcomponentid(tag));
    texteditor.addListener(&edits);
    if (listener != nullptr)
        texteditor.addListener(listener);
}

void pkTextEdit::addTo(juce::Component* parent)
{
    texteditor.setVisible(true);
    if (parent != nullptr)
        parent->addAndMakeVisible(texteditor);
}

void pkTextEdit::setValue(float value)
{
    showvalue(static_cast<double>(value));
}

void pkTextEdit::showvalue(double value)
{
    texteditor.setText(pktwodecimals(value), false);
}

void pkTextEdit::setTip(const char* tip)
{
    texteditor.setTooltip(pklatin1(tip));
}

const char* pkTextEdit::getText()
{
    const auto content = texteditor.getText();
    if (content.isEmpty())
    {
        text.clear();
        return "";
    }
    const auto utf8 = content.toRawUTF8();
    text.assign(utf8, static_cast<std::uint64_t>(content.getNumBytesAsUTF8()));
    return text.c_str();
}
