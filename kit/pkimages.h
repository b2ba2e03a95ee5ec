// Pictures of the editor, by name, from the images compiled into the program.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A newly allocated image sharing the pixels of the named picture, decoded on first use and
// kept by the kit until the framework's GUI shuts down. A null name, or one that is not
// embedded, gives an image without pixels: the control that receives it draws nothing.
// Message thread.
juce::Image* pkloadimage(const char* name);
