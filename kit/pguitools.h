// pguitools: the holder of everything the editor shows, and the records the model reads
// from it (control list, patch menus, radio groups, graph pixels, modulation history).
// The builders that fill it are framework code; the holder itself compiles without it.
#pragma once

#include "engine/prelaxed.h"
#include "engine/pspinlock.h"
#include "foundation/costringa.h"
#include "foundation/ocarray.h"
#include "kit/pkcontrol.h"

#include <cstdint>

namespace juce
{
class Image;
}

struct pparam;
class plistenerproxy;

// One entry of a menu string list.
struct pmenuitem
{
    costringa text;
    std::int32_t tag = 0; // the entry's own code
};

// One patch menu of the side panes: the menu and, per item, its tag (patch index + 1, or
// pheadingtag for a heading row).
struct ppatchmenu
{
    pkMenu* menu = nullptr; // owned by the control list
    ocarray::Array<std::int32_t> itemmap;
};

inline constexpr std::int32_t pheadingtag = -100;

// The switches of one radio group, in order; the control list owns them. Held through
// their pkControl base so the model can light them without the framework's headers.
struct pkRadioGroup
{
    static constexpr std::uint64_t maxitems = 12;
    std::uint64_t count = 0;
    std::int32_t tag = 0; // the code shared by every switch of the group
    pkControl* items[maxitems] = {};
};

// Menu string lists.
inline constexpr std::uint64_t pmenulistcount = 6;
inline constexpr std::uint64_t pmenumidisources = 0;
inline constexpr std::uint64_t pmenuhostparams = 1;
inline constexpr std::uint64_t pmenulfoshapes = 2;
inline constexpr std::uint64_t pmenukeys = 3;
inline constexpr std::uint64_t pmenuunused = 4;
inline constexpr std::uint64_t pmenuscratch = 5;
// A tag that stands for the entry's own position in its list.
inline constexpr std::int32_t pmenuowntag = -9999;

// Graph and history sizes.
inline constexpr std::uint64_t pgraphside = 512;           // the EQ graph is 512 x 512
inline constexpr std::uint64_t pgraphpixelcount = 2048;
inline constexpr std::uint64_t phistoryslots = 264;
inline constexpr double phistoryseconds = 5.0;

struct prect
{
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class pguitools
{
public:
    pguitools() = default;
    pguitools(const pguitools&) = delete;
    pguitools& operator=(const pguitools&) = delete;
    // Deletes the radio-group records, then every control, then the menu lists' entries,
    // then the patch-menu records; the listener proxy goes last, after every widget.
    ~pguitools();

    // Appends an entry to menu list `list` (0..5); the text is copied. The tag pmenuowntag
    // stores the entry's position. A list number outside 0..5 is ignored.
    void pushmenuitem(unsigned long list, const char* text, int tag);

    // ---- builders and graph view (control kit, framework code) ----
    pkKnob* guimakeknob(int tag, int style, int x, int y);
    pkMenu* guimakemenu(int tag, int x, int y, int w, int list, int initial);
    pkButton* guimakebutton(int tag, int x, int y, int w, int h, const char* image, double value);
    void guimakeview(const char* image, int x, int y);
    void guimakeradio(int count, int rows, int w, int h, int tag, int x, int y, unsigned long selected);
    void makepatchitem(unsigned long index, unsigned long row, unsigned long kind, const char* name);
    void updateparam(pparam* p, pkControl* c);
    void updatepixels(int* data, unsigned long count, int page);
    // The listener a widget built now registers: the proxy while an editor window is open,
    // null while none is (the widget then reports nothing). Made on first use.
    plistenerproxy* widgetlistener();

    juce::Image* graphimage = nullptr; // owned by the graph view's drawing object
    pkView* graphview = nullptr;       // owned by the control list
    ocarray::ArrayPtr<ppatchmenu> patchmenus; // menu k carries the code 91100 + k
    ocarray::Array<pmenuitem> menulists[pmenulistcount];
    prect chooserrect;
    prect graphrect{369, 142, 881, 654}; // the EQ page's 512 x 512 graph square
    std::uint8_t built = 0;
    std::uint8_t editoropen = 0;
    // Every control of the surface in creation order; a parameter control's index is its
    // event code.
    ocarray::ArrayPtr<pkControl> controls;

    // Display data written by the audio or parameter thread and read by the editor: a torn
    // picture is harmless, so each slot is a whole value and nothing more.
    prelaxed<std::int32_t> graphpixels[pgraphpixelcount];
    prelaxed<std::int32_t> modulationhistory[phistoryslots]; // each 0..255
    prelaxed<double> historyposition{0.0}; // play position, 0..264
    prelaxed<double> historystep{1.0};     // advance per sample
    prelaxed<std::int32_t> historywrite{0}; // slot of the newest write
    // Serialises history updates from the audio thread and the host's parameter thread.
    pspinlock historylock;

    ocarray::ArrayPtr<pkRadioGroup> radiogroups; // owns the records, not the switches
    std::int32_t midimenubase = 0;  // fixed entries before the controller names in list 0
    std::int32_t strokecountdown = 0;
    std::int32_t strokelast = 0;
    // The root control (the processor's pkComponentE): its component is the open editor
    // window or null. Builders register widget listeners only while it is set.
    pkComponent* rootcontrol = nullptr;
    pkComponent parent; // its component is the parent of every widget
    std::int32_t patchlistx = 0;
    std::int32_t patchlisty = 0;

    // The one listener every widget reports through (control kit). The holder owns it and
    // releases it through releaselistenerproxy after the widgets are gone.
    plistenerproxy* listenerproxy = nullptr;
    void (*releaselistenerproxy)(plistenerproxy*) = nullptr;
};
