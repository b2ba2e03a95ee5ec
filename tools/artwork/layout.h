// Where the editor surface puts its widgets, as the backgrounds must know it: every button
// area, knob, text field, menu, radio group and graph the pages show, with the caption the
// art paints for it. One table for all pages, read by the page painters; positions are
// window pixels (the side panes are drawn 614 pixels to the right).
#pragma once

#include <cstdint>
#include <vector>

namespace artwork
{
// The pictures a mark is painted on; a mark may belong to several.
enum surface : std::uint32_t
{
    onvoices = 1u << 0,       // "bgvo_png"
    onmix = 1u << 1,          // "bgmix_png"
    onlfo = 1u << 2,          // "bgmod_png"
    onenvelope = 1u << 3,     // "bgmodenvelope_png"
    oncontroller = 1u << 4,   // "bgmodmidi_png"
    ondelay = 1u << 5,        // "bgdl_png"
    oneq = 1u << 6,           // "bgeq_png"
    onharmony = 1u << 7,      // "bghar_png"
    ondelaypane = 1u << 8,    // "rightpandl_png"
    oneqpane = 1u << 9,       // "rightpaneq_png"
    onharmonypane = 1u << 10, // "rightpanhar_png"

    onmodulation = onlfo | onenvelope | oncontroller,
    onpatchpages = onmodulation | ondelay | oneq | onharmony,
    oneverypage = onvoices | onmix | onpatchpages,
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

// Side of the square frame of a knob style.
int knobsize(int style);
} // namespace artwork
