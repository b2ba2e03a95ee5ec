// pkMenu: a drop-down choice over one of pguitools' menu lists; its value is the index of
// the chosen entry. Only the box's text is drawn; the pop-up list is dark grey.
#pragma once

#include "foundation/ocarray.h"
#include "kit/pkcontrol.h"

#include <juce_gui_basics/juce_gui_basics.h>

class plistenerproxy;
struct pmenuitem;

class MenuLookAndFeelNormal : public juce::LookAndFeel_V4
{
public:
    static constexpr juce::uint32 popupbackground = 0xff474747;

    void drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool separator, bool active,
                           bool highlighted, bool ticked, bool submenu, const juce::String& text,
                           const juce::String& shortcut, const juce::Drawable* icon,
                           const juce::Colour* textColour) override;
    // No background, outline or arrow: the editor's picture shows through.
    void drawComboBox(juce::Graphics& g, int width, int height, bool down, int buttonX, int buttonY, int buttonW,
                      int buttonH, juce::ComboBox& box) override;
    juce::Font getComboBoxFont(juce::ComboBox& box) override;
    void positionComboBoxText(juce::ComboBox& box, juce::Label& label) override;
};

// The box of a menu: an empty list opens nothing (the framework would show a lone
// "(no choices)" row).
class pkMenuBox : public juce::ComboBox
{
public:
    void showPopup() override;
};

class pkMenu : public pkControl
{
public:
    static constexpr int height = 18;
    // The framework's item id of the entry at index i. Ids, not the framework's own item
    // indexes, carry the choice both ways.
    static constexpr int firstid = 2;

    // An empty box at (x, y, w, 18) without items; registers `listener` when not null.
    pkMenu(int tag, int x, int y, int w, plistenerproxy* listener);
    ~pkMenu() override = default;

    // Adds the entries of a menu list with ids 2, 3, ...; an empty text becomes " " so the
    // framework keeps it and no later entry moves.
    void additems(const ocarray::Array<pmenuitem>& list);

    // Selects the entry at index trunc(v) when that exists (NaN, huge and negative values
    // below -1 change nothing); never notifies.
    void setValue(float value) override;
    // The selected index; 0 when the first entry or nothing is selected.
    double getValue() override;
    int getType() override { return pctlmenu; }
    void setTip(const char* text) override;

    // The index a change of `box` reports: its selected entry, -1 when none.
    static int selectedindex(const juce::ComboBox& box);

    MenuLookAndFeelNormal lookandfeel;
    pkMenuBox combobox;
};
