// Where the editor puts things: one table of the places of every control the page art paints
// a face or a caption for, read by the surface planner, the side panes and the artwork
// generator alike. Data only (no framework, no model), so the artwork tool includes it too.
// Positions are window pixels; the side panes are pictures shown at (psidepanex, 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

// The pictures a place is painted on; a place may lie on several.
enum psurface : std::uint32_t
{
    ponvoices = 1u << 0,
    ponmix = 1u << 1,
    ponlfo = 1u << 2,
    ponenvelope = 1u << 3,
    poncontroller = 1u << 4,
    pondelay = 1u << 5,
    poneq = 1u << 6,
    ponharmony = 1u << 7,
    pondelaypane = 1u << 8,
    poneqpane = 1u << 9,
    ponharmonypane = 1u << 10,
    ponmixrow = 1u << 11, // a mix row's strip, in the strip's own coordinates

    ponmodulation = ponlfo | ponenvelope | poncontroller,
    ponpatchpages = ponmodulation | pondelay | poneq | ponharmony,
    poneverypage = ponvoices | ponmix | ponpatchpages,
};

struct psurfacepicture
{
    std::uint32_t on;
    const char* image;
};
// The page backgrounds, then the side panes.
inline constexpr psurfacepicture pbackgrounds[] = {
    {ponvoices, "bgvo_png"},          {ponmix, "bgmix_png"},  {ponlfo, "bgmod_png"}, {ponenvelope, "bgmodenvelope_png"},
    {poncontroller, "bgmodmidi_png"}, {pondelay, "bgdl_png"}, {poneq, "bgeq_png"},   {ponharmony, "bghar_png"},
};
inline constexpr psurfacepicture ppanes[] = {
    {pondelaypane, "rightpandl_png"},
    {poneqpane, "rightpaneq_png"},
    {ponharmonypane, "rightpanhar_png"},
};
inline constexpr std::int32_t psidepanex = 614;

enum class pplacekind : std::uint8_t
{
    knob,   // style: the film strip (pknobside)
    field,  // a text field
    fine,   // the drag area beside a field
    menu,   // a drop-down menu
    button, // an invisible button on painted art
    radio,  // count items in rows rows of w x h cells
};

enum class pspot : std::uint8_t
{
    monostereo,
    mixer,
    manual,
    website,
    back,
    pitchknob,
    pitchfield,
    pitchfine,
    pitchmode,
    crossfade,
    globalvolume,
    formantscale,
    formantshift,
    volume,
    pan,
    prevvoice,
    nextvoice,
    addvoice,
    deletevoice,
    delaymenu,
    eqmenu,
    harmonymenu,
    panedelay,
    panefeedback,
    panemix,
    panedepth,
    panespeed,
    paneshape,
    panecurve,
    panedetune,
    panesmooth,
    panegate,
    panedry,
    panekey,
    paneintervals,
    mixdry,
    mixvolume,
    mixdown,
    mixup,
    rowselect,
    rowvolume,
    rowpan,
    modsource,
    lfospeed,
    lfodepth,
    lfoshape,
    envspeed,
    envamount,
    envsensitivity,
    envresponse,
    midicc,
    midihostparam,
    midifrom,
    midito,
    midirange,
    delayknob,
    delayfield,
    delayfine,
    delayfeedback,
    delaymix,
    delayspeed,
    delaydepth,
    delayshape,
    eqreset,
    harmonyset,
    harmonydetune,
    harmonysmooth,
    harmonydry,
    harmonygate,
    harmonyinvert,
    intervals,
    harmonykey,
    count
};

struct pplace
{
    pspot id;
    std::uint32_t on;
    pplacekind kind;
    std::int32_t x, y, w, h;
    std::int32_t style = 0;      // knob: film strip
    std::int32_t count = 1;      // radio items, or cells of a field grid
    std::int32_t rows = 1;       // rows of those
    std::int32_t dx = 0, dy = 0; // a grid's cell pitch when it is not the cell size
};

// Side of the square frame of a knob style: 0 72 px, 1 84 px, 2 50 px.
constexpr std::int32_t pknobside(std::int32_t style)
{
    return style == 1 ? 84 : style == 2 ? 50 : 72;
}

inline constexpr std::int32_t pfieldw = 78, pfieldh = 24;
inline constexpr std::int32_t pmenuh = 18, pmenuw = 100;
inline constexpr std::int32_t pswitchw = 37, pswitchh = 35; // an imageless switch: the size of the pictured ones
inline constexpr std::int32_t ppanemenuw = 173;
inline constexpr std::int32_t psmallradiow = 122, psmallradioh = 36, plargeradiow = 115, plargeradioh = 77;

namespace playoutrows
{
constexpr pplace knob(pspot id, std::uint32_t on, std::int32_t x, std::int32_t y, std::int32_t style = 0)
{
    return {id, on, pplacekind::knob, x, y, pknobside(style), pknobside(style), style};
}
constexpr pplace field(pspot id, std::uint32_t on, std::int32_t x, std::int32_t y)
{
    return {id, on, pplacekind::field, x, y, pfieldw, pfieldh};
}
constexpr pplace fine(pspot id, std::uint32_t on, std::int32_t x, std::int32_t y)
{
    return {id, on, pplacekind::fine, x, y, 34, 24};
}
constexpr pplace menu(pspot id, std::uint32_t on, std::int32_t x, std::int32_t y, std::int32_t w = pmenuw)
{
    return {id, on, pplacekind::menu, x, y, w, pmenuh};
}
constexpr pplace button(pspot id, std::uint32_t on, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h)
{
    return {id, on, pplacekind::button, x, y, w, h};
}
constexpr pplace radio(pspot id, std::uint32_t on, std::int32_t x, std::int32_t y, std::int32_t count, bool large,
                       std::int32_t rows = 1)
{
    return {id,
            on,
            pplacekind::radio,
            x,
            y,
            large ? plargeradiow : psmallradiow,
            large ? plargeradioh : psmallradioh,
            0,
            count,
            rows};
}

using s = pspot;
constexpr std::uint32_t voices = ponvoices, mix = ponmix, lfo = ponlfo, env = ponenvelope, midi = poncontroller,
                        delay = pondelay, eq = poneq, harmony = ponharmony, dpane = pondelaypane, epane = poneqpane,
                        hpane = ponharmonypane, row = ponmixrow;

// In pspot order, one place a line.
// clang-format off
inline constexpr pplace table[] = {
    radio(s::monostereo, poneverypage, 667, 28, 2, false),
    button(s::mixer, poneverypage, 32, 354, 132, 37),
    button(s::manual, poneverypage, 32, 555, 132, 37),
    button(s::website, poneverypage, 32, 616, 132, 40),
    button(s::back, ponpatchpages | mix, 226, 138, 57, 34),

    knob(s::pitchknob, voices, 245, 144, 1),
    field(s::pitchfield, voices, 400, 182),
    fine(s::pitchfine, voices, 363, 184),
    radio(s::pitchmode, voices, 244, 253, 3, false),
    radio(s::crossfade, voices, 244, 317, 3, false),
    knob(s::globalvolume, voices, 229, 429),
    knob(s::formantscale, voices, 388, 397),
    knob(s::formantshift, voices, 519, 397),
    knob(s::volume, voices, 229, 568),
    knob(s::pan, voices, 341, 568),
    button(s::prevvoice, voices, 481, 558, 44, 33),
    button(s::nextvoice, voices, 532, 558, 44, 33),
    button(s::addvoice, voices, 481, 596, 42, 33),
    button(s::deletevoice, voices, 481, 635, 42, 33),

    menu(s::delaymenu, voices | dpane, 660, 116, ppanemenuw),
    menu(s::eqmenu, voices | epane, 673, 377, ppanemenuw),
    menu(s::harmonymenu, voices | hpane, 657, 476, ppanemenuw),
    knob(s::panedelay, dpane, 662, 156, 2),
    knob(s::panefeedback, dpane, 752, 156, 2),
    knob(s::panemix, dpane, 843, 156, 2),
    knob(s::panedepth, dpane, 701, 243, 2),
    knob(s::panespeed, dpane, 802, 243, 2),
    menu(s::paneshape, dpane, 729, 330),
    button(s::panecurve, epane, 727, 408, 102, 24),
    knob(s::panedetune, hpane, 702, 508, 2),
    knob(s::panesmooth, hpane, 805, 508, 2),
    knob(s::panegate, hpane, 664, 594, 2),
    knob(s::panedry, hpane, 844, 594, 2),
    menu(s::panekey, hpane, 729, 610),
    button(s::paneintervals, hpane, 727, 644, 102, 24),

    knob(s::mixdry, mix, 660, 135),
    knob(s::mixvolume, mix, 766, 135),
    button(s::mixdown, mix, 585, 581, 51, 40),
    button(s::mixup, mix, 655, 581, 51, 40),
    button(s::rowselect, row, 2, 2, 85, 58), // clicks reach 95 down, the strip ends at 60
    knob(s::rowvolume, row, 93, 2, 2),
    knob(s::rowpan, row, 175, 2, 2),

    radio(s::modsource, ponmodulation, 391, 182, 3, true),
    knob(s::lfospeed, lfo, 324, 280),
    knob(s::lfodepth, lfo, 324, 420),
    radio(s::lfoshape, lfo, 390, 581, 3, true),
    knob(s::envspeed, env, 324, 244),
    knob(s::envamount, env, 324, 384),
    knob(s::envsensitivity, env, 324, 520),
    radio(s::envresponse, env, 480, 596, 2, false),
    menu(s::midicc, midi, 295, 269),
    menu(s::midihostparam, midi, 295, 319),
    knob(s::midifrom, midi, 324, 358),
    knob(s::midito, midi, 324, 498),
    radio(s::midirange, midi, 480, 596, 2, false),

    knob(s::delayknob, delay, 338, 173, 1),
    field(s::delayfield, delay, 493, 201),
    fine(s::delayfine, delay, 456, 203),
    knob(s::delayfeedback, delay, 272, 297),
    knob(s::delaymix, delay, 272, 434),
    knob(s::delayspeed, delay, 428, 297),
    knob(s::delaydepth, delay, 428, 434),
    radio(s::delayshape, delay, 391, 596, 3, true),

    button(s::eqreset, eq, 222, 612, 115, 34),

    radio(s::harmonyset, harmony, 333, 190, 4, true),
    knob(s::harmonydetune, harmony, 232, 253),
    knob(s::harmonysmooth, harmony, 358, 253),
    knob(s::harmonydry, harmony, 674, 253),
    knob(s::harmonygate, harmony, 808, 253),
    button(s::harmonyinvert, harmony, 500, 250, 108, 19),
    {s::intervals, harmony, pplacekind::field, 229, 384, pfieldw, pfieldh, 0, 12, 2, 115, 77},
    radio(s::harmonykey, harmony, 218, 538, 12, true, 2),
};
// clang-format on

constexpr bool inorder()
{
    for (std::size_t i = 0; i < std::size(table); ++i)
        if (static_cast<std::size_t>(table[i].id) != i)
            return false;
    return std::size(table) == static_cast<std::size_t>(pspot::count);
}
static_assert(inorder(), "the place table lists every pspot once, in order");
} // namespace playoutrows

inline constexpr const pplace (&pplaces)[std::size(playoutrows::table)] = playoutrows::table;

constexpr const pplace& pplaceof(pspot id)
{
    return pplaces[static_cast<std::size_t>(id)];
}

struct pbox
{
    std::int32_t x, y, w, h;
};

// Cell i of a radio group or field grid, row by row.
constexpr pbox pcell(const pplace& p, std::int32_t i)
{
    const std::int32_t columns = p.count / (p.rows > 0 ? p.rows : 1);
    const std::int32_t dx = p.dx != 0 ? p.dx : p.w, dy = p.dy != 0 ? p.dy : p.h;
    return {p.x + (i % columns) * dx, p.y + (i / columns) * dy, p.w, p.h};
}

// The button beside a voice knob that opens its modulators.
inline constexpr std::int32_t pmodulatedx = -18, pmodulatedy = 70, pmodulateside = 16;

// The title display: three lines of text on every page.
inline constexpr std::int32_t ptitlex = 34, ptitlew = 126, ptitleh = 24;
inline constexpr std::int32_t ptitley = 153, pvoiceliney = 201, pthirdliney = 248;

// A mix row: a strip at (pmixrowx, pmixtop + pmixpitch x row), controls in its coordinates.
inline constexpr std::int32_t pmixrowx = 214, pmixtop = 180, pmixpitch = 61;

// The patch chooser on the voices page: its box, the origin of its rows and the rectangle a
// press must hit to keep it open. Rows are prowpitch apart from pchooserfirstrow.
inline constexpr std::int32_t pchooserboxx = 340, pchooserboxy = 150;
inline constexpr std::int32_t pchooserx = 360, pchoosery = 170, pchooserright = 560, pchooserbottom = 520;
inline constexpr std::int32_t prowpitch = 24;
inline constexpr std::int32_t pchooserfirstrow = pchoosery + 32;
// Rows that fit in the box above its bottom line (the heading is row 0).
inline constexpr std::int32_t pchooserrows = (pchooserbottom - pchooserfirstrow) / prowpitch;
// A longer list gives its last row to two page turners side by side: up, then down.
inline constexpr std::int32_t pchooserpagerw = 100;
inline constexpr std::int32_t pchooserpagery = pchooserfirstrow + prowpitch * (pchooserrows - 1);

// Text colours of the surface: labels, fields and headings.
inline constexpr std::uint32_t plabelcolour = 0xffd2d2d2;
inline constexpr std::uint32_t pheadingcolour = 0xffa0a0a0;
