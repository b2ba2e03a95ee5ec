#include "editor/psurfaceplan.h"

#include "engine/patchparams.h"
#include "engine/pevent.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <algorithm>
#include <iterator>

namespace
{

// Whose parameter a table row edits, or whose parameter selects a radio group's lit item.
enum class powner : std::uint8_t
{
    none,
    global,
    voice, // the voice the page works on
    patch, // the patch the page edits
};

// One row of a page table. Everything here is fixed at compile time; the planner resolves
// owners, declared control kinds and radio selections against the model.
struct prow
{
    pelkind kind = pelkind::image;
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    const char* image = nullptr;
    const char* text = nullptr;
    std::int32_t code = 0;
    double value = 0.0;
    powner owner = powner::none;
    std::uint64_t param = 0;
    std::int32_t mode = pmodevalue;
    std::uint32_t control = 0; // 0: the kind the parameter declares
    std::int32_t style = -1;   // -1: the style the parameter declares
    std::int32_t count = 0, rows = 0;
    bool modulate = false; // a modulate button: its face says whether a modulator is assigned
    bool ownvoice = false; // works for the voice of its row rather than the selected one
};

constexpr prow view(const char* image, std::int32_t x, std::int32_t y)
{
    prow r;
    r.kind = pelkind::image;
    r.image = image;
    r.x = x;
    r.y = y;
    return r;
}

constexpr prow text(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, const char* t)
{
    prow r;
    r.kind = pelkind::label;
    r.x = x;
    r.y = y;
    r.w = w;
    r.h = h;
    r.text = t;
    return r;
}

constexpr prow hotspot(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t code)
{
    prow r;
    r.kind = pelkind::hotspot;
    r.x = x;
    r.y = y;
    r.w = w;
    r.h = h;
    r.code = code;
    r.value = 1.0;
    return r;
}

// The button beside a voice knob that opens the modulator chooser for voice parameter target.
constexpr prow modulate(std::int32_t x, std::int32_t y, std::uint64_t target)
{
    prow r;
    r.kind = pelkind::imagebutton;
    r.x = x;
    r.y = y;
    r.w = 16;
    r.h = 16;
    r.code = pkindmodulator;
    r.value = static_cast<double>(target + 1);
    r.owner = powner::voice;
    r.param = target;
    r.modulate = true;
    return r;
}

constexpr prow radio(std::int32_t x, std::int32_t y, std::int32_t count, std::int32_t rows, std::int32_t w,
                     std::int32_t h, std::int32_t code, powner owner, std::uint64_t param)
{
    prow r;
    r.kind = pelkind::radio;
    r.x = x;
    r.y = y;
    r.w = w;
    r.h = h;
    r.count = count;
    r.rows = rows;
    r.code = code;
    r.owner = owner;
    r.param = param;
    return r;
}

constexpr prow param(powner owner, std::uint64_t index, std::int32_t x, std::int32_t y, std::int32_t mode = pmodevalue)
{
    prow r;
    r.kind = pelkind::param;
    r.owner = owner;
    r.param = index;
    r.x = x;
    r.y = y;
    r.mode = mode;
    return r;
}

// A parameter shown as a text field, whatever control it declares.
constexpr prow field(powner owner, std::uint64_t index, std::int32_t x, std::int32_t y, std::int32_t mode)
{
    prow r = param(owner, index, x, y, mode);
    r.control = pcontextfield;
    r.style = 0;
    return r;
}

constexpr prow fine(powner owner, std::uint64_t index, std::int32_t x, std::int32_t y)
{
    prow r = param(owner, index, x, y, pmodefinepitch);
    r.kind = pelkind::fineknob;
    r.ownvoice = true;
    return r;
}

// Small radio faces are 122 x 36, large ones 115 x 77.
constexpr std::int32_t smallw = 122, smallh = 36, largew = 115, largeh = 77;
constexpr std::int32_t knobstylesmall = 2;
constexpr std::int32_t fineknobstyle = 9;

// The page tables keep one row per line.
// clang-format off
// ---- every page ----

// After the page body, on every page.
constexpr prow closingrows[] = {
    radio(667, 28, 2, 1, smallw, smallh, pevmonostereo, powner::global, pglobalmonostereo),
    hotspot(32, 354, 132, 37, pevmixpage),
    hotspot(32, 555, 132, 37, pevopenmanual),
    hotspot(32, 616, 132, 40, pevopenhome),
    text(32, 476, 132, 24, pversiontext),
};

// ---- voices page (0) ----

// Before the voice counter label.
constexpr prow voicesrows[] = {
    param(powner::global, pglobalvolume, 229, 429),
    radio(244, 253, 3, 1, smallw, smallh, pevvoicemode, powner::voice, pvoicemode),
    radio(244, 317, 3, 1, smallw, smallh, pevvoicemode2, powner::voice, pvoicemode2),
    modulate(227, 214, pvoicepitch),
    param(powner::voice, pvoicepitch, 245, 144, pmodepitchknob),
    field(powner::voice, pvoicepitch, 400, 182, pmodepitchtext),
    fine(powner::voice, pvoicepitch, 363, 184),
    modulate(211, 638, pvoicevolume),
    param(powner::voice, pvoicevolume, 229, 568),
    modulate(323, 638, pvoicepan),
    param(powner::voice, pvoicepan, 341, 568),
    modulate(370, 467, pvoiceformantscale),
    param(powner::voice, pvoiceformantscale, 388, 397),
    modulate(501, 467, pvoiceformantshift),
    param(powner::voice, pvoiceformantshift, 519, 397),
};

// After the voice counter label.
constexpr prow voicebuttonrows[] = {
    hotspot(481, 558, 44, 33, pevprevvoice),
    hotspot(532, 558, 44, 33, pevnextvoice),
    hotspot(481, 596, 42, 33, pevaddvoice),
    hotspot(481, 635, 42, 33, pevdeletevoice),
};

// The side panes of the voice's delay, EQ and harmony patches, and their menus' anchors.
struct psidepane
{
    std::int32_t kind;
    const char* image;
    std::int32_t menux, menuy;
};
constexpr psidepane sidepanes[] = {
    {pkinddelay, "rightpandl_png", 660, 133},
    {pkindeq, "rightpaneq_png", 673, 394},
    {pkindharmony, "rightpanhar_png", 657, 493},
};
constexpr std::int32_t sidepanex = 614;

// ---- mix page (14 and every unknown page value) ----

constexpr std::int32_t mixtop = 180;
constexpr std::int32_t mixpitch = 61;
constexpr prow mixrows[] = {
    hotspot(585, 581, 51, 40, pevmixscroll),
    hotspot(655, 581, 51, 40, pevmixscrollback),
    param(powner::global, pglobaldry, 660, 135),
    param(powner::global, pglobalvolume, 766, 135),
    hotspot(226, 138, 57, 34, pevvoicespage),
};

// ---- patch pages ----

constexpr prow backtovoices = hotspot(226, 138, 57, 34, pevvoicespage);

constexpr prow modulatorrows[] = {
    radio(391, 182, 3, 1, largew, largeh, pevpatchtype, powner::patch, ppatchsource),
    backtovoices,
};
constexpr prow enveloperows[] = {
    param(powner::patch, ppatchspeed, 324, 244),
    param(powner::patch, ppatchamplitude1, 324, 384),
    param(powner::patch, ppatchamplitude2, 324, 520),
    radio(480, 596, 2, 1, smallw, smallh, pevadjustmode, powner::patch, ppatchadjustmode),
};
constexpr prow controllerrows[] = {
    param(powner::patch, ppatchmidicc, 295, 269),
    param(powner::patch, ppatchhostparam, 295, 319),
    param(powner::patch, ppatchamplitude1, 324, 358),
    param(powner::patch, ppatchamplitude2, 324, 498),
    radio(480, 596, 2, 1, smallw, smallh, pevadjustmode, powner::patch, ppatchadjustmode),
};
constexpr prow lforows[] = {
    param(powner::patch, ppatchspeed, 324, 280),
    param(powner::patch, ppatchamplitude1, 324, 420),
    radio(390, 581, 3, 1, largew, largeh, pevpatchshape, powner::patch, ppatchshape),
};

constexpr prow delayrows[] = {
    param(powner::patch, ppatchdelay, 338, 173, pmodepitchknob),
    field(powner::patch, ppatchdelay, 493, 201, pmodepitchtext),
    fine(powner::patch, ppatchdelay, 456, 203),
    param(powner::patch, ppatchfeedback, 272, 297),
    param(powner::patch, ppatchdelaymix, 272, 434),
    param(powner::patch, ppatchspeed, 428, 297),
    param(powner::patch, ppatchamplitude1, 428, 434),
    backtovoices,
    radio(391, 596, 3, 1, largew, largeh, pevpatchshape, powner::patch, ppatchshape),
};

constexpr prow eqrows[] = {
    backtovoices,
    hotspot(222, 612, 115, 34, pevresetcurve),
};

// Harmony page, before the interval grid.
constexpr prow harmonyrows[] = {
    radio(333, 190, 4, 1, largew, largeh, pevpatchtype, powner::patch, ppatchsource),
    param(powner::patch, ppatchamplitude2, 232, 253), // "Detune"
    param(powner::patch, ppatchamplitude1, 358, 253), // "Smooth"
    param(powner::global, pglobaldry, 674, 253),
    param(powner::global, pglobalgate, 808, 253),
    hotspot(500, 250, 108, 19, pevharmonyinvert),
};
// After the interval grid: the keyboard's black-key marks, then the key.
constexpr prow harmonykeyrows[] = {
    view("indicator1_png", 223, 376),
    view("indicator2_png", 453, 376),
    view("indicator2_png", 683, 376),
    view("indicator1_png", 798, 376),
    view("indicator1_png", 338, 453),
    view("indicator2_png", 568, 453),
    view("indicator3_png", 798, 453),
    radio(218, 538, 12, 2, largew, largeh, pevpatchshape, powner::patch, ppatchshape),
    backtovoices,
};
// clang-format on
constexpr std::int32_t intervalx = 229;
constexpr std::int32_t intervaltop = 384;
constexpr std::int32_t intervalbottom = 461;
constexpr std::int32_t intervalstep = 115;

// Parameters a page reads of its patch, by kind.
std::uint64_t paramsneeded(std::int32_t kind)
{
    switch (kind)
    {
    case pkindmodulator: return pmodulatorparamcount;
    case pkinddelay: return pdelayparamcount;
    case pkindeq: return peqparamcount;
    case pkindharmony: return pharmonyparamcount;
    default: return 0;
    }
}

// The planner's view of the model while it walks the tables.
struct pplanner
{
    pprojdata& m;
    psurfaceplan& plan;
    std::uint64_t voice = 0; // the voice the page works on
    std::int32_t patch = -1; // the patch the page edits, -1 when none

    pparam* paramof(powner owner, std::uint64_t index, std::uint64_t ownerindex) const
    {
        const ocarray::ArrayPtr<pparam>* list = nullptr;
        if (owner == powner::global)
            list = &m.params;
        else if (owner == powner::voice && ownerindex < m.voices.count)
            list = &m.voices[ownerindex]->params;
        else if (owner == powner::patch && ownerindex < m.patches.count)
            list = &m.patches[ownerindex]->params;
        return (list != nullptr && index < list->count) ? (*list)[index] : nullptr;
    }

    pelement& add(pelkind kind, std::int32_t x, std::int32_t y)
    {
        pelement& e = plan.elements.emplace_back();
        e.kind = kind;
        e.x = x;
        e.y = y;
        return e;
    }

    void image(const char* name, std::int32_t x, std::int32_t y) { add(pelkind::image, x, y).image = name; }

    void label(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::string t,
               std::uint32_t colour = plabelcolour)
    {
        pelement& e = add(pelkind::label, x, y);
        e.w = w;
        e.h = h;
        e.text = std::move(t);
        e.colour = colour;
    }

    // A table row against the voice and patch the rows stand for (the mix page's rows stand
    // for their own voice).
    void row(const prow& r, std::uint64_t rowvoice, std::int32_t rowpatch, bool modulated = false)
    {
        const std::uint64_t ownerindex = r.owner == powner::voice   ? rowvoice
                                         : r.owner == powner::patch ? static_cast<std::uint64_t>(rowpatch)
                                                                    : 0;
        switch (r.kind)
        {
        case pelkind::image: image(r.image, r.x, r.y); return;
        case pelkind::label: label(r.x, r.y, r.w, r.h, r.text); return;
        case pelkind::hotspot:
        case pelkind::imagebutton:
        {
            pelement& e = add(r.kind, r.x, r.y);
            e.w = r.w;
            e.h = r.h;
            e.code = r.code;
            e.value = r.value;
            e.image = r.image;
            if (r.modulate)
            {
                e.image = modulated ? "list_png" : "list2_png";
                e.tip = pmodulatetip;
            }
            return;
        }
        case pelkind::radio:
        {
            const pparam* p = paramof(r.owner, r.param, ownerindex);
            pelement& e = add(pelkind::radio, r.x, r.y);
            e.w = r.w;
            e.h = r.h;
            e.count = r.count;
            e.rows = r.rows;
            e.code = r.code;
            const std::int32_t lit = p != nullptr ? p->intvalue.load() : -1;
            e.selected = lit >= 0 ? static_cast<unsigned long>(lit) : static_cast<unsigned long>(r.count);
            return;
        }
        case pelkind::param:
        case pelkind::fineknob:
        {
            const pparam* p = paramof(r.owner, r.param, ownerindex);
            if (p == nullptr)
                return; // the tables only name parameters the checked owners have
            pelement& e = add(r.kind, r.x, r.y);
            e.param = r.param;
            e.control = r.control != 0 ? static_cast<pparamcon>(r.control) : p->control;
            e.style = r.kind == pelkind::fineknob ? fineknobstyle
                      : r.style >= 0              ? static_cast<std::uint64_t>(r.style)
                                                  : p->style;
            e.mode = r.mode;
            e.ownerkind = r.owner == powner::voice   ? pownervoice
                          : r.owner == powner::patch ? pownerpatch
                                                     : pownerglobal;
            e.ownerindex = r.owner == powner::global ? -1 : static_cast<std::int32_t>(ownerindex);
            // -1 is resolved to the selected voice when the control is built.
            e.voice = r.ownvoice ? static_cast<std::int32_t>(rowvoice) : -1;
            return;
        }
        default: return;
        }
    }

    template <std::size_t n>
    void rows(const prow (&table)[n])
    {
        for (const prow& r : table)
            row(r, voice, patch);
    }

    std::string voiceline(bool withtarget) const
    {
        std::string line = "VOICE " + std::to_string(voice + 1);
        const pparam* p = withtarget ? paramof(powner::voice, m.modtarget, voice) : nullptr;
        if (p != nullptr)
            line += ":" + p->name.str().substr(0, 7);
        return line;
    }

    void frame(const char* background, const char* title, const std::string& voicetext, const std::string* third)
    {
        image(background, 0, 0);
        image("globoverlay_png", 0, 0);
        label(ptitlex, 201, ptitlew, ptitleh, voicetext);
        label(ptitlex, 153, ptitlew, ptitleh, title);
        if (third != nullptr)
            label(ptitlex, 248, ptitlew, ptitleh, *third);
    }

    std::string patchlabel() const
    {
        const ppatchmod* p = m.patchat(static_cast<std::uint64_t>(patch));
        return (patch >= 0 && p != nullptr) ? p->label.str() : std::string();
    }

    void voicespage();
    void chooser(std::int32_t kind);
    void mixpage();
    void modulatorpage();
    void delaypage();
    void eqpage();
    void harmonypage();
};

void pplanner::voicespage()
{
    frame("bgvo_png", "VOICE VIEW", voiceline(m.pendingkind != 0), nullptr);
    pparvoice* v = m.voiceat(voice);
    if (v == nullptr)
        return; // a model with no voice yet: the frame and the closing controls only

    // One pass over the voice's records: which targets a modulator moves, and the first
    // delay, EQ and harmony patch. Records that name no patch of their kind are skipped.
    bool modulated[pvoiceparamcount] = {};
    std::int32_t panepatch[std::size(sidepanes)] = {-1, -1, -1};
    for (std::uint64_t i = 0; i < v->assignments.count; ++i)
    {
        const ppatchassign& a = *v->assignments[i];
        if (m.patchofkind(a.patch, a.kind) == nullptr)
            continue;
        if (a.kind == pkindmodulator && a.target >= 0 && a.target <= static_cast<std::int64_t>(pvoiceformantshift))
            modulated[a.target] = true;
        for (std::size_t s = 0; s < std::size(sidepanes); ++s)
            if (a.kind == sidepanes[s].kind && panepatch[s] < 0)
                panepatch[s] = static_cast<std::int32_t>(a.patch);
    }

    for (const prow& r : voicesrows)
        row(r, voice, -1, r.modulate && modulated[r.param]);
    label(484, 538, 100, 24, "Voice " + std::to_string(voice + 1) + " of " + std::to_string(m.voices.count));
    rows(voicebuttonrows);
    for (std::size_t s = 0; s < std::size(sidepanes); ++s)
        if (panepatch[s] >= 0)
            image(sidepanes[s].image, sidepanex, 0);

    for (std::uint64_t i = 0; i < m.patches.count; ++i)
    {
        m.patches[i]->mark = 0;
        m.patches[i]->label = ppatchlabel(m, i).c_str();
    }

    for (std::size_t s = 0; s < std::size(sidepanes); ++s)
    {
        pelement& e = add(pelkind::patchmenus, sidepanes[s].menux, sidepanes[s].menuy);
        e.code = sidepanes[s].kind;
        e.ownerindex = panepatch[s];
    }

    if (m.pendingkind != 0)
        chooser(m.pendingkind);
}

void pplanner::chooser(std::int32_t kind)
{
    const pparvoice& v = *m.voices[voice];
    for (std::uint64_t i = 0; i < v.assignments.count; ++i)
    {
        const ppatchassign& a = *v.assignments[i];
        ppatchmod* p = m.patchofkind(a.patch, kind);
        if (a.kind != kind || p == nullptr)
            continue;
        if (kind != pkindmodulator || a.target == static_cast<std::int64_t>(m.modtarget))
            p->mark = 1;
    }

    image("blackbox_png", 340, 150);
    pelement& newpatch = add(pelkind::imagebutton, pchooserx + 63, pchoosery + 8);
    newpatch.w = 73;
    newpatch.h = 19;
    newpatch.code = pevnewpatch;
    newpatch.image = "newpatch_png";
    newpatch.value = 1.0;

    constexpr std::int32_t firstrow = pchoosery + 32;
    auto heading = [&](std::uint64_t r, const char* t) {
        label(pchooserx, firstrow + prowpitch * static_cast<std::int32_t>(r), 200, 24, t, pheadingcolour);
    };
    const char* assigned = kind == pkindmodulator ? "Assigned Modulators"
                           : kind == pkinddelay   ? "Assigned Delay"
                           : kind == pkindeq      ? "Assigned EQ"
                           : kind == pkindharmony ? "Assigned Harmony"
                                                  : nullptr;
    if (assigned != nullptr)
        heading(0, assigned);

    // Rows by group: used here (4), used by another voice (3), used by none (2).
    std::uint64_t r = 1;
    auto rowsof = [&](std::uint64_t rowkind) {
        for (std::uint64_t i = 0; i < m.patches.count; ++i)
        {
            const ppatchmod& p = *m.patches[i];
            if (p.kind != static_cast<std::uint64_t>(kind))
                continue;
            const std::uint64_t group = p.mark != 0 ? 4 : p.refcount != 0 ? 3 : 2;
            if (group != rowkind)
                continue;
            pelement& e = add(pelkind::patchitem, pchooserx, firstrow + prowpitch * static_cast<std::int32_t>(r));
            e.index = i + 1;
            e.row = r;
            e.rowkind = rowkind;
            e.text = p.label.str();
            ++r;
        }
    };
    rowsof(4);
    heading(r++, "Unassigned");
    rowsof(3);
    heading(r++, "Discarded");
    rowsof(2);

    // With many patches the rows run past the painted box: the rectangle that keeps the
    // chooser open reaches the last of them, so a press on a row is never taken for a press
    // outside.
    plan.chooser = true;
    plan.chooserbottom = std::max(pchooserbottom, firstrow + prowpitch * static_cast<std::int32_t>(r));
}

void pplanner::mixpage()
{
    const std::uint64_t count = m.voices.count;
    const std::uint64_t offset = m.mixoffset;
    const std::uint64_t last = std::min(offset + m.mixrows, count);
    const std::string shown =
        "SHOWN " + std::to_string(offset + 1) + " - " + std::to_string(last) + " of " + std::to_string(count);
    frame("bgmix_png", "VOICE MIXER", "SELECTED " + std::to_string(voice + 1), &shown);

    for (std::uint64_t i = 0; i < m.patches.count; ++i)
        m.patches[i]->mark = 0;

    for (std::uint64_t i = offset, k = 0; i < last; ++i, ++k)
    {
        const std::int32_t y = mixtop + mixpitch * static_cast<std::int32_t>(k);
        const auto number = static_cast<std::int32_t>(i + 1);
        image(i == voice ? "mixlight_png" : "mixdark_png", 214, y);
        label(218, y + 7, 60, 24, "VOICE " + std::to_string(number));
        prow select = hotspot(216, y + 2, 85, 95, pevselectvoice);
        select.value = number;
        row(select, i, -1);
        prow volume = param(powner::voice, pvoicevolume, 307, y + 2);
        volume.style = knobstylesmall;
        row(volume, i, -1);
        prow pan = param(powner::voice, pvoicepan, 389, y + 2);
        pan.style = knobstylesmall;
        row(pan, i, -1);

        // The delay cell: the voice's last delay record decides; a delay patch that an
        // earlier row already showed is drawn as routed.
        std::int32_t d = -1;
        const pparvoice& v = *m.voices[i];
        for (std::uint64_t a = 0; a < v.assignments.count; ++a)
        {
            ppatchmod* p =
                v.assignments[a]->kind == pkinddelay ? m.patchofkind(v.assignments[a]->patch, pkinddelay) : nullptr;
            if (p == nullptr)
                continue;
            d = p->mark != 0 ? -2 : static_cast<std::int32_t>(v.assignments[a]->patch);
            p->mark = 1;
        }
        if (d == -1)
        {
            pelement& e = add(pelkind::imagebutton, 482, y);
            e.w = 72;
            e.h = 72;
            e.code = pevnewdelay;
            e.image = "adddelay_png";
            e.value = number;
        }
        else if (d == -2)
            image("routeddelay_png", 482, y);
        else
        {
            image("mixblackbox_png", 447, y + 15);
            prow text = field(powner::patch, ppatchdelay, 479, y + 15, pmodepitchtext);
            text.ownvoice = true;
            row(text, i, d);
            row(fine(powner::patch, ppatchdelay, 447, y + 16), i, d);
        }
    }
    rows(mixrows);
}

void pplanner::modulatorpage()
{
    const std::int32_t source = paramint(m.patches[patch]->params, ppatchsource);
    const char* background = source == psourcecontroller ? "bgmodmidi_png"
                             : source == psourceenvelope ? "bgmodenvelope_png"
                                                         : "bgmod_png";
    const std::string third = patchlabel();
    frame(background, "MODULATION", voiceline(true), &third);
    rows(modulatorrows);
    if (source == psourceenvelope)
        rows(enveloperows);
    else if (source == psourcecontroller)
        rows(controllerrows);
    else
        rows(lforows);
}

// No control of the surface leads here: the delay pane has no button that chooses its
// kind (91062 with 2), and nothing opens the chooser for delay patches (93002). The page is
// kept whole for the events that do name it.
void pplanner::delaypage()
{
    const std::string third = "Delay";
    frame("bgdl_png", "DELAY", voiceline(false), &third);
    rows(delayrows);
}

void pplanner::eqpage()
{
    // Only an EQ patch has a curve: with any other selection the graph shows none rather
    // than the curve of a patch that is no longer shown.
    const bool curve = m.patchofkind(static_cast<std::uint64_t>(patch), pkindeq) != nullptr && patch >= 0;
    if (curve)
        m.recalcpatchgraph(static_cast<unsigned long>(patch));
    else if (m.tools != nullptr)
        for (auto& pixel : m.tools->graphpixels)
            pixel.store(0);
    const std::string third = curve ? patchlabel() : std::string();
    frame("bgeq_png", "EQUALIZER", voiceline(false), &third);
    rows(eqrows);
}

void pplanner::harmonypage()
{
    const std::string third = patchlabel();
    frame("bghar_png", "HARMONY", voiceline(false), &third);
    rows(harmonyrows);
    for (std::uint64_t j = 0; j < pharmonysteps; ++j)
    {
        const auto column = static_cast<std::int32_t>(j % 6);
        row(param(powner::patch, ppatchintervalfirst + j, intervalx + intervalstep * column,
                  j < 6 ? intervaltop : intervalbottom),
            voice, patch);
    }
    rows(harmonykeyrows);
}

} // namespace

std::int32_t pbuiltpage(std::int32_t page)
{
    if (page == ppagevoices || (page >= ppagemodulator && page <= ppageharmony))
        return page;
    return ppagemix;
}

std::string ppatchlabel(const pprojdata& model, std::uint64_t index)
{
    const ppatchmod* p = model.patchat(index);
    if (p == nullptr)
        return std::string();
    const auto intof = [&](std::uint64_t k) { return k < p->params.count ? paramint(p->params, k) : 0; };
    std::string name;
    switch (p->kind)
    {
    case pkindmodulator:
    {
        const std::int32_t source = intof(ppatchsource);
        if (source == psourcecontroller)
        {
            const std::int32_t base = model.midimenubase;
            const std::int32_t c = intof(ppatchmidicc) - base;
            const std::string cc = c == -3 ? "P" : c == -2 ? "K" : c == -1 ? "V" : std::to_string(c);
            name = "MIDI/HP " + cc + " / " + std::to_string(intof(ppatchhostparam));
        }
        else if (source == psourceenvelope)
            name = "ENVELOPE ";
        else
        {
            const std::int32_t shape = intof(ppatchshape);
            name = shape == 2 ? " RAND " : shape == pshapesine ? " SINE " : " TRI ";
            name += "LFO ";
        }
        break;
    }
    case pkinddelay: name = "Delay "; break;
    case pkindeq: name = "EQ "; break;
    case pkindharmony:
    {
        const std::int32_t set = intof(ppatchsource);
        name = set == 2 ? "6ths" : set == 1 ? "5ths" : set == 0 ? "3rds" : "cstm";
        break;
    }
    default: break;
    }
    return name + " " + std::to_string(index + 1);
}

void pplansurface(pprojdata& m, psurfaceplan& plan)
{
    plan.elements.clear();
    plan.chooser = false;
    plan.chooserbottom = 0;

    // What the page will read must exist; anything else shows the voices page.
    if (m.voices.count > 0 && m.selectedvoice >= m.voices.count)
        m.selectedvoice = m.voices.count - 1;
    std::int32_t page = pbuiltpage(m.page);
    const std::int32_t kind = page + pkindpageoffset;
    const ppatchmod* selected = m.patchofkind(m.selectedpatch, kind);
    const bool patchpage = page >= ppagemodulator && page <= ppageharmony;
    const bool patchusable = selected != nullptr && selected->params.count >= paramsneeded(kind);
    if (m.voices.count == 0 || (patchpage && page != ppageeq && !patchusable)
        || (page == ppagemodulator && m.modtarget >= pvoiceparamcount))
        page = ppagevoices;
    if (page != m.page)
        m.page = page;

    pplanner p{m, plan};
    p.voice = m.selectedvoice;
    p.patch = (patchpage && patchusable) ? static_cast<std::int32_t>(m.selectedpatch.load()) : -1;
    plan.page = page;

    switch (page)
    {
    case ppagevoices: p.voicespage(); break;
    case ppagemodulator: p.modulatorpage(); break;
    case ppagedelay: p.delaypage(); break;
    case ppageeq: p.eqpage(); break;
    case ppageharmony: p.harmonypage(); break;
    default: p.mixpage(); break;
    }
    p.rows(closingrows);
    p.add(pelkind::graph, 0, 0);
    if (page == ppageeq)
    {
        const prect& g = m.tools != nullptr ? m.tools->graphrect : prect{369, 142, 881, 654};
        p.image("eqoverlay_png", g.left - 9, g.top - 9);
    }
}
