// The editor surface as data: every element of the current page, in creation order (which
// is stacking order), with its position, image, code and parameter binding. The page tables
// live in psurfaceplan.cpp; planning reads the model and writes only the display state the
// surface owns there (patch labels and marks, the fallbacks below). pprojdata::resetgui
// walks the plan with one builder loop. No framework code, so the whole layout is testable
// without a display.
#pragma once

#include "engine/pparam.h"

#include <cstdint>
#include <string>
#include <vector>

class pprojdata;

enum class pelkind : std::uint8_t
{
    image,       // an embedded picture at its own size
    label,       // a view with no image: a line of text in a box
    hotspot,     // a button with no image: an invisible click area over the painted art
    imagebutton, // a push button with its face image
    radio,       // a radio group
    param,       // a control bound to one parameter (knob, menu, switch or text field)
    fineknob,    // an invisible drag area that nudges a pitch or delay
    patchmenus,  // the patch menu and small controls of one side pane
    patchitem,   // one row of the patch chooser
    graph,       // the model tick: makes and feeds the page's graph view where it has one
};

inline constexpr std::uint32_t plabelcolour = 0xffd2d2d2;
inline constexpr std::uint32_t pheadingcolour = 0xffa0a0a0;
inline constexpr std::int32_t ptitlex = 34;
inline constexpr std::int32_t ptitlew = 126;
inline constexpr std::int32_t ptitleh = 24;

// The patch chooser on the voices page.
inline constexpr std::int32_t pchooserx = 360;
inline constexpr std::int32_t pchoosery = 170;
inline constexpr std::int32_t pchooserright = 560;
inline constexpr std::int32_t pchooserbottom = 520;
inline constexpr std::int32_t prowpitch = 24; // patch rows and headings

inline constexpr const char* pmodulatetip = "Patch: Modulate this control (LFO/Envelope/MIDI)";
inline constexpr const char* pversiontext = "Version 1.2a";

struct pelement
{
    pelkind kind = pelkind::image;
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    const char* image = nullptr; // embedded image name
    std::string text;            // label text or patch row name
    std::uint32_t colour = plabelcolour;
    std::int32_t code = 0; // event code; patch menus: the patch kind
    double value = 0.0;
    const char* tip = nullptr;

    // Radio group: item count, rows and the lit item (none when not below the count).
    std::int32_t count = 0, rows = 0;
    unsigned long selected = 0;

    // Parameter and fine knob binding; patch menus: ownerindex is the voice's patch or -1.
    std::uint64_t param = 0;
    pparamcon control = pconknob;
    std::uint64_t style = 0;
    std::int32_t ownerkind = 0, ownerindex = 0, mode = 0, voice = -1;

    // Patch chooser row: patch number + 1, row and row kind (4 used here, 3 elsewhere, 2 free).
    std::uint64_t index = 0, row = 0, rowkind = 0;
};

struct psurfaceplan
{
    std::int32_t page = 0;          // the page actually planned (after the fallbacks)
    std::vector<pelement> elements; // in creation order
    // Set while the voices page shows the patch chooser: the rectangle a press must hit to
    // keep it open, covering every row built.
    bool chooser = false;
    std::int32_t chooserbottom = 0;
};

// The page that the model's page value builds: the voices page, a patch page, or the mix
// page for every other value.
std::int32_t pbuiltpage(std::int32_t page);

// Plans the surface of the model's current page. First checks what the surface will read
// and falls back to the voices page (page := 0) when the page's patch does not exist, is of
// another kind or lacks its parameters, or the modulation target names no voice parameter;
// a selected voice past the end is pulled back to the last voice. Then, in creation order:
// the page frame, the page body, the closing controls, the graph, and on the EQ page its
// overlay. Writes the patch labels (voices page) and marks (voices and mix pages), and on
// the EQ page recomputes the selected patch's curve. Caller holds the model mutex.
void pplansurface(pprojdata& model, psurfaceplan& plan);

// The display name of patch index, as the voices page writes it into the patch's label.
std::string ppatchlabel(const pprojdata& model, std::uint64_t index);
