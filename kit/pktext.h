// Text as the kit hands it to the framework: byte strings of the model (one character per
// byte, Latin-1 above 0x7F) and the decimal codes that identify widgets.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Each byte one character; 0x80..0xFF become U+0080..U+00FF. A null pointer gives "".
// (juce::String(const char*) asserts on such bytes, so it is never used for model text.)
juce::String pklatin1(const char* text);

// The component ID of a widget: its code in decimal ("-12", "0", "92005").
juce::String pkcomponentid(int code);

// The value as a text field shows it: two decimals, a point whatever the process locale.
juce::String pktwodecimals(double value);
