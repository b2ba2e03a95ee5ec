// What the backgrounds paint: the face or caption of every control the editor places (at its
// place in editor/playout.h), and the sections, graphs and notes around them. One table for
// all pages, read by the page painters; positions are window pixels (the side panes are
// drawn psidepanex pixels to the right).
#pragma once

#include "editor/playout.h"

#include <cstdint>
#include <vector>

namespace artwork
{
// The pictures a mark is painted on; a mark may belong to several.
enum surface : std::uint32_t
{
    onvoices = ponvoices,
    onmix = ponmix,
    onlfo = ponlfo,
    onenvelope = ponenvelope,
    oncontroller = poncontroller,
    ondelay = pondelay,
    oneq = poneq,
    onharmony = ponharmony,
    ondelaypane = pondelaypane,
    oneqpane = poneqpane,
    onharmonypane = ponharmonypane,
    onmodulation = ponmodulation,
    onpatchpages = ponpatchpages,
    oneverypage = poneverypage,
};

enum class markkind
{
    section, // a panel with a heading; hue names the patch kind it belongs to
    sidetab, // a section of the side column, captioned on a vertical tab
    knob,    // a film-strip knob of style `style` (0 72 px, 1 84 px, 2 50 px)
    field,   // a text field, w x 24
    fine,    // the drag area of a fine knob beside a field
    menu,    // a drop-down menu, w x 18
    button,  // an invisible button: the art paints the button and its caption
    radio,   // a radio group: `count` items in `rows` rows of w x h cells, captions split by '|'
    graph,   // the screen the graph view draws on
    note,    // a free caption
};

enum class hue
{
    neutral,
    modulation,
    delay,
    eq,
    harmony,
};

// Where a knob's caption goes.
enum class side
{
    above,
    below,
    left,
};

enum class glyph
{
    none,
    left,  // arrow pointing left
    right, // arrow pointing right
    up,
    down,
    plus,
    cross,
    mixer,
    book,
    globe,
    invert,
    reset,
    edit,
    waves, // the patch type and shape icons, by item
};

struct mark
{
    std::uint32_t on; // surface bits
    markkind kind;
    int x, y, w, h;
    const char* text; // caption; radio items separated by '|'
    int style = 0;    // knob: film strip; radio: item count; note: text size in pixels
    int rows = 1;     // radio: rows
    side where = side::above;
    glyph icon = glyph::none;
    hue tint = hue::neutral;
    const char* unit = nullptr; // field: the unit shown at its right end
};

// Every mark, in drawing order.
const std::vector<mark>& marks();
} // namespace artwork
