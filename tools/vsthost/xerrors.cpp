// The X error handler of the host. Kept in its own file: the X headers it needs define
// macros (None, Bool, Status) that must not reach any other code.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "tools/vsthost/vsthost.h"

namespace
{
// A window on a bare X server (no window manager) draws errors that a managed desktop never
// sends; Xlib's default handler would end the process on the first of them.
int ignoreerror(::Display*, XErrorEvent*)
{
    return 0;
}
} // namespace

namespace vsthost
{
void ignorexerrors()
{
    auto* x11 = juce::X11Symbols::getInstance();
    if (x11 == nullptr || !x11->loadAllSymbols())
        return;
    x11->xInitThreads();
    x11->xSetErrorHandler(ignoreerror);
}
} // namespace vsthost
