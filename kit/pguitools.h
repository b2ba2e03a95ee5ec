// pguitools: the holder of everything the editor shows (control list, patch menus, radio
// groups, menu lists). The engine reads nothing here; the base pdisplaydata is what the
// audio path draws for the editor (graph pixels, modulation history). The builders that
// fill it are framework code; the holder itself compiles without it and includes no
// framework or widget header.
#pragma once

#include "engine/pdisplaydata.h"
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

struct prect
{
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The display data (graph pixels, modulation history) is the pdisplaydata base.
//
// Threads: the message thread builds, reads and changes everything here, holding modelmutex
// while it rebuilds the control list, the patch menus and the radio groups; the controller
// resolves a control's or a menu item's target from them before it posts an event, so no
// other thread reads them. The display data of the base is shared as pdisplaydata says.
class pguitools : public pdisplaydata
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

    // Message thread only (it touches widgets): in every radio group tagged code, switch j
    // shows 1.0 exactly when j equals lit and 0.0 otherwise. The editor calls it after
    // pprojdata::setvoiceradio with the written parameter's integer value.
    void lightradio(std::int32_t code, std::int32_t lit);

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

    juce::Image* graphimage = nullptr;        // owned by the graph view's drawing object
    pkView* graphview = nullptr;              // owned by the control list
    std::uint64_t graphshown = 0;             // digest of what graphimage shows
    ocarray::ArrayPtr<ppatchmenu> patchmenus; // menu k carries the code 91100 + k
    ocarray::Array<pmenuitem> menulists[pmenulistcount];
    prect chooserrect;
    prect graphrect{369, 142, 881, 654}; // the EQ page's 512 x 512 graph square
    std::uint8_t built = 0;
    std::uint8_t editoropen = 0;
    // The page the surface was last built for: the tick draws no graph of another page into
    // this surface's image while the rebuild that shows the new page is still to come.
    std::int32_t builtpage = -1;
    // Every control of the surface in creation order; a parameter control's index is its
    // event code.
    ocarray::ArrayPtr<pkControl> controls;

    ocarray::ArrayPtr<pkRadioGroup> radiogroups; // owns the records, not the switches
    std::int32_t strokecountdown = 0;
    std::int32_t strokelast = 0;
    // The root control (the processor's pkComponentE): its component is the open editor
    // window or null. Builders register widget listeners only while it is set.
    pkComponent* rootcontrol = nullptr;
    pkComponent parent; // its component is the parent of every widget
    std::int32_t patchlistx = 0;
    std::int32_t patchlisty = 0;
    // A patch chooser longer than its box shows one page of its rows at a time.
    std::int32_t chooserpage = 0;
    std::int32_t chooserpages = 1;

    // The one listener every widget reports through (control kit). The holder owns it and
    // releases it through releaselistenerproxy after the widgets are gone.
    plistenerproxy* listenerproxy = nullptr;
    void (*releaselistenerproxy)(plistenerproxy*) = nullptr;
};
