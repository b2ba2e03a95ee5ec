// The editor surface as data: every element of the current page, in creation order (which
// is stacking order), with its position, image, code and parameter binding. The page tables
// live in psurfaceplan.cpp and take their places from editor/playout.h. Planning reads the
// model and writes nothing; what a rebuild changes in the model is done before it, in
// papplyfallbacks and pupdateshown. pprojdata::resetgui walks the plan with one builder
// loop. No framework code, so the whole layout is testable without a display.
#pragma once

#include "editor/playout.h"
#include "engine/pparam.h"

#include <cstdint>
#include <string>
#include <vector>

class pprojdata;

enum class elementkind : std::uint8_t
{
    image,       // an embedded picture at its own size
    label,       // a view with no image: a line of text in a box
    hotspot,     // a button with no image: an invisible click area over the painted art
    imagebutton, // a push button with its face image
    radio,       // a radio group
    param,       // a control bound to one parameter (knob, menu, switch or text field)
    fineknob,    // an invisible drag area that nudges a pitch or delay
    patchmenu,   // the patch menu of one side pane (code: the patch kind; ownerindex: its patch)
    patchitem,   // one row of the patch chooser
    graph,       // the model tick: makes and feeds the page's graph view where it has one
};

inline constexpr const char* pmodulatetip = "Patch: Modulate this control (LFO/Envelope/MIDI)";
inline constexpr const char* pversiontext = "Version 1.2a";

struct pelement
{
    elementkind kind = elementkind::image;
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

    // Parameter and fine knob binding; patch menu: ownerindex is the voice's patch or -1.
    std::uint64_t param = 0;
    pparamcon control = pconknob;
    std::uint64_t style = 0;
    std::int32_t ownerkind = 0, ownerindex = 0, mode = 0, voice = -1;

    // Patch chooser row: patch number + 1, row and row kind (4 used here, 3 elsewhere, 2 free).
    std::uint64_t index = 0, row = 0, rowkind = 0;
};

struct psurfaceplan
{
    std::int32_t page = 0;          // the page planned
    std::vector<pelement> elements; // in creation order
    // Set while the voices page shows the patch chooser, with the pages its list takes.
    bool chooser = false;
    std::int32_t chooserpages = 1;
};

// The page that the model's page value builds: the voices page, a patch page, or the mix
// page for every other value.
std::int32_t pbuiltpage(std::int32_t page);

// The fallbacks of a rebuild, the one place they are decided: a selected voice past the end
// is pulled back to the last voice; a page whose patch does not exist, is of another kind or
// lacks its parameters, or a modulation page whose target names no voice parameter, gives
// the voices page (page := 0); a closed chooser starts again on its first page. Caller holds
// the model mutex.
void papplyfallbacks(pprojdata& model);

// What the page about to be planned shows that the model keeps: on the voices page every
// patch's label, on the EQ page the selected patch's curve (none for another kind).
void pupdateshown(pprojdata& model);

// Plans the surface of the model's current page, in creation order: the page frame, the
// page body, the closing controls, the graph, and on the EQ page its overlay. Writes
// nothing; expects papplyfallbacks to have run.
void pplansurface(const pprojdata& model, psurfaceplan& plan);

// The rows of one side pane of the voices page, appended to plan: the face behind the menu
// when a patch of the kind exists, the menu, then the add button (patch -1) or the delete
// button and the pane's controls. A patch that is not of the kind counts as -1.
void pplanpane(const pprojdata& model, std::int32_t kind, std::int32_t patch, std::int32_t x, std::int32_t y,
               psurfaceplan& plan);

// The display name of patch index, as the voices page writes it into the patch's label.
std::string ppatchlabel(const pprojdata& model, std::uint64_t index);
