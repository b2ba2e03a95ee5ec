// The editor's artwork: every picture the control kit and the editor surface show, drawn by
// program so that the art is reproducible, reviewable and changed in one place. The build
// runs quill-artwork, which writes these pictures as PNG files, and embeds them (resources/).
#pragma once

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace artwork
{
// One embedded picture: its resource name (the file name with '.' made '_') and pixel size.
struct picturespec
{
    const char* name;
    int width;
    int height;
};

// Knob strips hold this many square frames, one under the other.
constexpr int knobframes = 91;

// Every picture, by resource name, in the order of the resource table.
extern const std::array<picturespec, 40> pictures;

// The two faces of the one type family the art uses. Text is drawn with these only, never
// with whatever fonts the machine happens to have, so pictures are the same everywhere.
struct fonts
{
    juce::Typeface::Ptr regular;
    juce::Typeface::Ptr bold;
};

// Loads the two font files; an empty pointer in the result when a file cannot be read.
fonts loadfonts(const juce::File& regular, const juce::File& bold);

// Draws the picture called `name` (a name of `pictures`) at its own size.
juce::Image draw(const picturespec& spec, const fonts& f);

// All pictures arranged on one sheet with their names, for people to look at.
juce::Image contactsheet(const std::vector<juce::Image>& images, const fonts& f);

// A page as the editor would show it, with sample widgets on it, for reviewing the art.
// background is the page's picture name, page its surface bit (layout.h).
juce::Image pagepreview(const char* background, std::uint32_t page, const std::vector<juce::Image>& images,
                        const fonts& f);

// The PNG bytes of an image, as the build writes and embeds them.
juce::MemoryBlock encodepng(const juce::Image& image);

// File name of a picture: "knobpto_png" is written as "knobpto.png".
std::string filename(const picturespec& spec);
} // namespace artwork
