// pkTextEdit: a one-line field in which the user types a number; the controller reads it
// as text when the field loses the focus.
#pragma once

#include "foundation/costringa.h"
#include "kit/pkcontrol.h"

#include <juce_gui_basics/juce_gui_basics.h>

class plistenerproxy;

class TextEditLookAndFeelNormal : public juce::LookAndFeel_V4
{
public:
    // Dark grey only while the field has the focus, is editable and enabled; otherwise the
    // editor's picture shows through.
    void fillTextEditorBackground(juce::Graphics& g, int width, int height, juce::TextEditor& field) override;
    // A 2-pixel frame in the focused or the plain outline colour; none when disabled.
    void drawTextEditorOutline(juce::Graphics& g, int width, int height, juce::TextEditor& field) override;
};

class pkTextEdit : public pkControl
{
public:
    static constexpr juce::uint32 framecolour = 0xffa0a0a0;
    static constexpr juce::uint32 focusedbackground = 0xff474747;

    // A field at (x, y, w, h) with text in `textColour` (ARGB) and a grey frame when
    // `outline` is not 0. Registers `listener` when not null. Not shown: addTo does that.
    pkTextEdit(int x, int y, int w, int h, plistenerproxy* listener, int tag, unsigned long textColour, int outline);
    ~pkTextEdit() override = default;

    virtual void addTo(juce::Component* parent);

    // Shows the value with two decimals; never notifies.
    void setValue(float value) override;
    // The same for a value in double precision (a parameter shown as text).
    void showvalue(double value);
    double getValue() override { return 0.0; }
    int getType() override { return pctltext; }
    void setTip(const char* text) override;

    // The field's content in UTF-8, kept in `text` until the next call or destruction.
    const char* getText();

    TextEditLookAndFeelNormal lookandfeel;
    juce::TextEditor texteditor;
    costringa text;

    // Typing not handed over yet: set by the user's edits, cleared when the field reports its
    // focus loss. The framework posts that report, so a rebuild that comes first (the focus
    // already on the button that asked for it) must hand such a field's text over itself.
    struct editwatch : juce::TextEditor::Listener
    {
        void textEditorTextChanged(juce::TextEditor&) override { pending = true; }
        void textEditorFocusLost(juce::TextEditor&) override { pending = false; }
        bool pending = false;
    };
    editwatch edits;
};
