// Pictures of the editor, by name, from the images compiled into the program.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A newly allocated image decoded through the framework's image cache (each picture is
// decoded once and its pixels shared). A null name, or one that is not embedded, gives an
// image without pixels: the control that receives it draws nothing.
juce::Image* pkloadimage(const char* name);
