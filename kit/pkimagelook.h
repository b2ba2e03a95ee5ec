// The drawing base shared by the switch, the push button and the view: the pictures a
// button-based widget draws and the value a click on it reports.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class ImageButtonLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ImageButtonLookAndFeel() = default;
    ImageButtonLookAndFeel(const ImageButtonLookAndFeel&) = delete;
    ImageButtonLookAndFeel& operator=(const ImageButtonLookAndFeel&) = delete;
    // Deletes both images; their pixels stay shared with the framework's image cache.
    ~ImageButtonLookAndFeel() override;

    juce::Image* image = nullptr;  // the two-row picture (one row for a view); may be null
    juce::Image* image2 = nullptr; // a second picture, never drawn
    double value = 0.0;            // what a click reports (a view: the number it stores)
};

// The value a click on `button` reports: the `value` of its drawing object, 0 when the
// button is not drawn by one of the kit's image looks.
double pkbuttonvalue(juce::Button& button);

// Width and half height of a two-row picture; 0 x 0 for no image or one without pixels.
juce::Rectangle<int> pkhalfimage(const juce::Image* image);

// Draws the upper (off, at rest) or the lower (on, held down) row of a two-row picture.
void pkdrawfacerow(juce::Graphics& g, const juce::Image* image, bool lower);

// What the switch and the push button set up alike: pressed on mouse down, placed at (x, y)
// in the size of one row of the picture (w x h without one), the code as component ID, and
// the listener when an editor is open.
void pkplacebutton(juce::Button& button, int x, int y, int w, int h, const juce::Image* image, int tag,
                   juce::Button::Listener* listener);
