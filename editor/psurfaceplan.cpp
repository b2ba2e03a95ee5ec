#include "editor/psurfaceplan.h"

#include "editor/pparamowner.h"
#include "engine/patchparams.h"
#include "engine/pevent.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace
{

// Whose parameter a table row edits, or whose parameter selects a radio group's lit item.
enum class controlowner : std::uint8_t
{
    none,
    global,
    voice, // the voice the page works on
    patch, // the patch the page edits
};

// One row of a page table. Everything here is fixed at compile time; the planner resolves
// owners, declared control kinds and radio selections against the model.
struct pagerow
{
    elementkind kind = elementkind::image;
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    const char* image = nullptr;
    const char* text = nullptr;
    std::int32_t code = 0;
    double value = 0.0;
    controlowner owner = controlowner::none;
    std::uint64_t param = 0;
    std::int32_t mode = pmodevalue;
    std::uint32_t control = 0; // 0: the kind the parameter declares
    std::int32_t style = -1;   // -1: the style the parameter declares
    std::int32_t count = 0, rows = 0;
    bool modulate = false; // a modulate button: its face says whether a modulator is assigned
    bool ownvoice = false; // works for the voice of its row rather than the selected one
};

constexpr pagerow view(const char* image, std::int32_t x, std::int32_t y)
{
    pagerow r;
    r.kind = elementkind::image;
    r.image = image;
    r.x = x;
    r.y = y;
    return r;
}

constexpr pagerow text(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, const char* t)
{
    pagerow r;
    r.kind = elementkind::label;
    r.x = x;
    r.y = y;
    r.w = w;
    r.h = h;
    r.text = t;
    return r;
}

constexpr pagerow at(elementkind kind, pspot spot)
{
    const pplace& p = pplaceof(spot);
    pagerow r;
    r.kind = kind;
    r.x = p.x;
    r.y = p.y;
    r.w = p.w;
    r.h = p.h;
    return r;
}

constexpr pagerow hotspot(pspot spot, std::int32_t code, double value = 1.0)
{
    pagerow r = at(elementkind::hotspot, spot);
    r.code = code;
    r.value = value;
    return r;
}

// The button beside a voice knob that opens the modulator chooser for voice parameter target.
constexpr pagerow modulate(pspot knob, std::uint64_t target)
{
    pagerow r = at(elementkind::imagebutton, knob);
    r.x += pmodulatedx;
    r.y += pmodulatedy;
    r.w = pmodulateside;
    r.h = pmodulateside;
    r.code = pkindmodulator;
    r.value = static_cast<double>(target + 1);
    r.owner = controlowner::voice;
    r.param = target;
    r.modulate = true;
    return r;
}

constexpr pagerow radio(pspot spot, std::int32_t code, controlowner owner, std::uint64_t param)
{
    const pplace& p = pplaceof(spot);
    pagerow r = at(elementkind::radio, spot);
    r.count = p.count;
    r.rows = p.rows;
    r.code = code;
    r.owner = owner;
    r.param = param;
    return r;
}

constexpr pagerow param(controlowner owner, std::uint64_t index, pspot spot, std::int32_t mode = pmodevalue)
{
    pagerow r = at(elementkind::param, spot);
    r.owner = owner;
    r.param = index;
    r.mode = mode;
    return r;
}

// A parameter shown as a text field, whatever control it declares.
constexpr pagerow field(controlowner owner, std::uint64_t index, pspot spot, std::int32_t mode)
{
    pagerow r = param(owner, index, spot, mode);
    r.control = pcontextfield;
    r.style = 0;
    return r;
}

constexpr pagerow fine(controlowner owner, std::uint64_t index, pspot spot)
{
    pagerow r = param(owner, index, spot, pmodefinepitch);
    r.kind = elementkind::fineknob;
    r.ownvoice = true;
    return r;
}

// A side pane's control: a knob of its own style or a menu of a list, forced whatever the
// parameter declares.
constexpr pagerow pane(controlowner owner, std::uint64_t index, pspot spot, std::uint64_t list = 0)
{
    pagerow r = param(owner, index, spot);
    const bool menu = pplaceof(spot).kind == pplacekind::menu;
    r.control = menu ? pconmenu : pconknob;
    r.style = menu ? static_cast<std::int32_t>(list) : pplaceof(spot).style;
    return r;
}

constexpr std::int32_t fineknobstyle = 9;

// The page tables keep one row per line.
// clang-format off
// ---- every page ----

// After the page body, on every page.
constexpr pagerow closingrows[] = {
    radio(pspot::monostereo, pevmonostereo, controlowner::global, pglobalmonostereo),
    hotspot(pspot::mixer, pevmixpage),
    hotspot(pspot::manual, pevopenmanual),
    hotspot(pspot::website, pevopenhome),
    text(32, 476, 132, 24, pversiontext),
};

// ---- voices page (0) ----

// Before the voice counter label.
constexpr pagerow voicesrows[] = {
    param(controlowner::global, pglobalvolume, pspot::globalvolume),
    radio(pspot::pitchmode, pevvoicemode, controlowner::voice, pvoicemode),
    radio(pspot::crossfade, pevvoicemode2, controlowner::voice, pvoicemode2),
    modulate(pspot::pitchknob, pvoicepitch),
    param(controlowner::voice, pvoicepitch, pspot::pitchknob, pmodepitchknob),
    field(controlowner::voice, pvoicepitch, pspot::pitchfield, pmodepitchtext),
    fine(controlowner::voice, pvoicepitch, pspot::pitchfine),
    modulate(pspot::volume, pvoicevolume),
    param(controlowner::voice, pvoicevolume, pspot::volume),
    modulate(pspot::pan, pvoicepan),
    param(controlowner::voice, pvoicepan, pspot::pan),
    modulate(pspot::formantscale, pvoiceformantscale),
    param(controlowner::voice, pvoiceformantscale, pspot::formantscale),
    modulate(pspot::formantshift, pvoiceformantshift),
    param(controlowner::voice, pvoiceformantshift, pspot::formantshift),
};

// After the voice counter label.
constexpr pagerow voicebuttonrows[] = {
    hotspot(pspot::prevvoice, pevprevvoice),
    hotspot(pspot::nextvoice, pevnextvoice),
    hotspot(pspot::addvoice, pevaddvoice),
    hotspot(pspot::deletevoice, pevdeletevoice),
};

// The side panes' controls, in creation order. The delay pane edits the shape the delay
// pass reads (parameter 3).
constexpr pagerow delaypanerows[] = {
    pane(controlowner::patch, ppatchdelay, pspot::panedelay),
    pane(controlowner::patch, ppatchfeedback, pspot::panefeedback),
    pane(controlowner::patch, ppatchdelaymix, pspot::panemix),
    pane(controlowner::patch, ppatchamplitude1, pspot::panedepth),
    pane(controlowner::patch, ppatchspeed, pspot::panespeed),
    pane(controlowner::patch, ppatchshape, pspot::paneshape, pmenulfoshapes),
};
constexpr pagerow eqpanerows[] = {
    hotspot(pspot::panecurve, pevchoosekind, 3),
};
constexpr pagerow harmonypanerows[] = {
    pane(controlowner::patch, ppatchamplitude2, pspot::panedetune), // "Detune"
    pane(controlowner::patch, ppatchamplitude1, pspot::panesmooth), // "Smooth"
    pane(controlowner::global, pglobalgate, pspot::panegate),
    pane(controlowner::global, pglobaldry, pspot::panedry),
    pane(controlowner::patch, ppatchshape, pspot::panekey, pmenukeys), // the key
    hotspot(pspot::paneintervals, pevchoosekind, 4),
};

// The side panes of the voice's delay, EQ and harmony patches: the menu, the face behind
// the menu, the add button's code, and the controls.
struct psidepane
{
    std::int32_t kind; // its picture: ppanes, in the same order
    pspot menu;
    const char* face;
    std::int32_t facex, facey;
    std::int32_t addcode;
    const pagerow* rows;
    std::size_t count;
};
template <std::size_t n>
constexpr psidepane sidepane(std::int32_t kind, pspot menu, const char* face, std::int32_t facex, std::int32_t facey,
                             std::int32_t addcode, const pagerow (&rows)[n])
{
    return {kind, menu, face, facex, facey, addcode, rows, n};
}
// clang-format off
constexpr psidepane sidepanes[] = {
    sidepane(pkinddelay, pspot::delaymenu, "patchmenudl_png", 664, 117, pevnewdelay, delaypanerows),
    sidepane(pkindeq, pspot::eqmenu, "patchmenueq_png", 678, 378, pevneweq, eqpanerows),
    sidepane(pkindharmony, pspot::harmonymenu, "patchmenuhar_png", 669, 477, pevnewharmony, harmonypanerows),
};
// clang-format on
// The menu's anchor lies this far below the menu; the add button sits at the anchor, the
// delete button above it.
constexpr std::int32_t panemenulift = 17;
constexpr std::int32_t addbuttonx = 744, addbuttonside = 72;
constexpr std::int32_t deletebuttonx = 835, deletebuttonlift = 18, deletebuttonside = 20;

// ---- mix page (14 and every unknown page value) ----

constexpr pagerow mixrows[] = {
    hotspot(pspot::mixdown, pevmixscroll),
    hotspot(pspot::mixup, pevmixscrollback),
    param(controlowner::global, pglobaldry, pspot::mixdry),
    param(controlowner::global, pglobalvolume, pspot::mixvolume),
    hotspot(pspot::back, pevvoicespage),
};
// In a row's coordinates: the name, and the delay cell's box, field, fine knob and buttons.
constexpr std::int32_t rowlabelx = 4, rowlabely = 7, rowselecth = 95;
constexpr std::int32_t rowdelayx = 233, rowdelayy = 15, rowfieldx = 265, rowbuttonx = 268, rowbuttonside = 72;

// ---- patch pages ----

constexpr pagerow backtovoices = hotspot(pspot::back, pevvoicespage);

constexpr pagerow modulatorrows[] = {
    radio(pspot::modsource, pevpatchtype, controlowner::patch, ppatchsource),
    backtovoices,
};
constexpr pagerow enveloperows[] = {
    param(controlowner::patch, ppatchspeed, pspot::envspeed),
    param(controlowner::patch, ppatchamplitude1, pspot::envamount),
    param(controlowner::patch, ppatchamplitude2, pspot::envsensitivity),
    radio(pspot::envresponse, pevadjustmode, controlowner::patch, ppatchadjustmode),
};
constexpr pagerow controllerrows[] = {
    param(controlowner::patch, ppatchmidicc, pspot::midicc),
    param(controlowner::patch, ppatchhostparam, pspot::midihostparam),
    param(controlowner::patch, ppatchamplitude1, pspot::midifrom),
    param(controlowner::patch, ppatchamplitude2, pspot::midito),
    radio(pspot::midirange, pevadjustmode, controlowner::patch, ppatchadjustmode),
};
constexpr pagerow lforows[] = {
    param(controlowner::patch, ppatchspeed, pspot::lfospeed),
    param(controlowner::patch, ppatchamplitude1, pspot::lfodepth),
    radio(pspot::lfoshape, pevpatchshape, controlowner::patch, ppatchshape),
};

constexpr pagerow delayrows[] = {
    param(controlowner::patch, ppatchdelay, pspot::delayknob, pmodepitchknob),
    field(controlowner::patch, ppatchdelay, pspot::delayfield, pmodepitchtext),
    fine(controlowner::patch, ppatchdelay, pspot::delayfine),
    param(controlowner::patch, ppatchfeedback, pspot::delayfeedback),
    param(controlowner::patch, ppatchdelaymix, pspot::delaymix),
    param(controlowner::patch, ppatchspeed, pspot::delayspeed),
    param(controlowner::patch, ppatchamplitude1, pspot::delaydepth),
    backtovoices,
    radio(pspot::delayshape, pevpatchshape, controlowner::patch, ppatchshape),
};

constexpr pagerow eqrows[] = {
    backtovoices,
    hotspot(pspot::eqreset, pevresetcurve),
};

// Harmony page, before the interval grid.
constexpr pagerow harmonyrows[] = {
    radio(pspot::harmonyset, pevpatchtype, controlowner::patch, ppatchsource),
    param(controlowner::patch, ppatchamplitude2, pspot::harmonydetune), // "Detune"
    param(controlowner::patch, ppatchamplitude1, pspot::harmonysmooth), // "Smooth"
    param(controlowner::global, pglobaldry, pspot::harmonydry),
    param(controlowner::global, pglobalgate, pspot::harmonygate),
    hotspot(pspot::harmonyinvert, pevharmonyinvert),
};
// After the interval grid: the keyboard's black-key marks, then the key.
constexpr pagerow harmonykeyrows[] = {
    view("indicator1_png", 223, 376),
    view("indicator2_png", 453, 376),
    view("indicator2_png", 683, 376),
    view("indicator1_png", 798, 376),
    view("indicator1_png", 338, 453),
    view("indicator2_png", 568, 453),
    view("indicator3_png", 798, 453),
    radio(pspot::harmonykey, pevpatchshape, controlowner::patch, ppatchshape),
    backtovoices,
};
// clang-format on

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

std::int32_t ownerkindof(controlowner owner)
{
    return owner == controlowner::voice ? pownervoice : owner == controlowner::patch ? pownerpatch : pownerglobal;
}

// The planner's view of the model while it walks the tables.
struct pplanner
{
    const pprojdata& m;
    psurfaceplan& plan;
    std::uint64_t voice = 0; // the voice the page works on
    std::int32_t patch = -1; // the patch the page edits, -1 when none

    const pparam* paramof(controlowner owner, std::uint64_t index, std::uint64_t ownerindex) const
    {
        const auto i = owner == controlowner::global ? -1 : static_cast<std::int32_t>(ownerindex);
        return pownedparam(m, ownerkindof(owner), i, index);
    }

    pelement& add(elementkind kind, std::int32_t x, std::int32_t y)
    {
        pelement& e = plan.elements.emplace_back();
        e.kind = kind;
        e.x = x;
        e.y = y;
        return e;
    }

    void image(const char* name, std::int32_t x, std::int32_t y) { add(elementkind::image, x, y).image = name; }

    void label(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::string t,
               std::uint32_t colour = plabelcolour)
    {
        pelement& e = add(elementkind::label, x, y);
        e.w = w;
        e.h = h;
        e.text = std::move(t);
        e.colour = colour;
    }

    pelement& button(std::int32_t code, std::int32_t x, std::int32_t y, std::int32_t side, const char* face,
                     double value)
    {
        pelement& e = add(elementkind::imagebutton, x, y);
        e.w = side;
        e.h = side;
        e.code = code;
        e.image = face;
        e.value = value;
        return e;
    }

    // A table row against the voice and patch the rows stand for (the mix page's rows stand
    // for their own voice), moved by (dx, dy).
    void row(const pagerow& r, std::uint64_t rowvoice, std::int32_t rowpatch, bool modulated = false,
             std::int32_t dx = 0, std::int32_t dy = 0)
    {
        const std::uint64_t ownerindex = r.owner == controlowner::voice   ? rowvoice
                                         : r.owner == controlowner::patch ? static_cast<std::uint64_t>(rowpatch)
                                                                          : 0;
        const std::int32_t x = r.x + dx, y = r.y + dy;
        switch (r.kind)
        {
        case elementkind::image: image(r.image, x, y); return;
        case elementkind::label: label(x, y, r.w, r.h, r.text); return;
        case elementkind::hotspot:
        case elementkind::imagebutton:
        {
            pelement& e = add(r.kind, x, y);
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
        case elementkind::radio:
        {
            const pparam* p = paramof(r.owner, r.param, ownerindex);
            pelement& e = add(elementkind::radio, x, y);
            e.w = r.w;
            e.h = r.h;
            e.count = r.count;
            e.rows = r.rows;
            e.code = r.code;
            const std::int32_t lit = p != nullptr ? p->intvalue.load() : -1;
            e.selected = lit >= 0 ? static_cast<unsigned long>(lit) : static_cast<unsigned long>(r.count);
            return;
        }
        case elementkind::param:
        case elementkind::fineknob:
        {
            const pparam* p = paramof(r.owner, r.param, ownerindex);
            if (p == nullptr)
                return; // the tables only name parameters the checked owners have
            pelement& e = add(r.kind, x, y);
            e.param = r.param;
            e.control = r.control != 0 ? static_cast<pparamcon>(r.control) : p->control;
            e.style = r.kind == elementkind::fineknob ? fineknobstyle
                      : r.style >= 0                  ? static_cast<std::uint64_t>(r.style)
                                                      : p->style;
            e.mode = r.mode;
            e.ownerkind = ownerkindof(r.owner);
            e.ownerindex = r.owner == controlowner::global ? -1 : static_cast<std::int32_t>(ownerindex);
            // -1 is resolved to the selected voice when the control is built.
            e.voice = r.ownvoice ? static_cast<std::int32_t>(rowvoice) : -1;
            return;
        }
        default: return;
        }
    }

    template <std::size_t n>
    void rows(const pagerow (&table)[n])
    {
        for (const pagerow& r : table)
            row(r, voice, patch);
    }

    std::string voiceline(bool withtarget) const
    {
        std::string line = "VOICE " + std::to_string(voice + 1);
        const pparam* p = withtarget ? paramof(controlowner::voice, m.modtarget, voice) : nullptr;
        if (p != nullptr)
            line += ":" + p->name.str().substr(0, 7);
        return line;
    }

    void frame(const char* background, const char* title, const std::string& voicetext, const std::string* third)
    {
        image(background, 0, 0);
        image("globoverlay_png", 0, 0);
        label(ptitlex, pvoiceliney, ptitlew, ptitleh, voicetext);
        label(ptitlex, ptitley, ptitlew, ptitleh, title);
        if (third != nullptr)
            label(ptitlex, pthirdliney, ptitlew, ptitleh, *third);
    }

    std::string patchlabel() const
    {
        const ppatchmod* p = m.patchat(static_cast<std::uint64_t>(patch));
        return (patch >= 0 && p != nullptr) ? p->label.str() : std::string();
    }

    void pane(const psidepane& s, std::int32_t panepatch, std::int32_t x, std::int32_t y);
    void voicespage();
    void chooser(std::int32_t kind);
    void mixpage();
    void modulatorpage();
    void delaypage();
    void eqpage();
    void harmonypage();
};

void pplanner::pane(const psidepane& s, std::int32_t panepatch, std::int32_t x, std::int32_t y)
{
    // Only an existing patch of the pane's kind gets its controls; anything else is a pane
    // with nothing assigned.
    if (panepatch >= 0 && m.patchofkind(static_cast<std::uint64_t>(panepatch), s.kind) == nullptr)
        panepatch = -1;
    bool any = false;
    for (std::uint64_t i = 0; i < m.patches.count && !any; ++i)
        any = m.patches[i] != nullptr && m.patches[i]->kind == static_cast<std::uint64_t>(s.kind);
    if (any)
        image(s.face, s.facex, s.facey);
    pelement& menu = add(elementkind::patchmenu, x, y - panemenulift);
    menu.w = ppanemenuw;
    menu.code = s.kind;
    menu.ownerindex = panepatch;
    if (panepatch < 0)
    {
        button(s.addcode, addbuttonx, y, addbuttonside, "addany_png", static_cast<double>(voice) + 1.0);
        return;
    }
    button(pevunassignpatch, deletebuttonx, y - deletebuttonlift, deletebuttonside, "deletefront_png", panepatch + 1.0);
    for (std::size_t i = 0; i < s.count; ++i)
        row(s.rows[i], voice, panepatch);
}

void pplanner::voicespage()
{
    frame("bgvo_png", "VOICE VIEW", voiceline(m.pendingkind != 0), nullptr);
    const pparvoice* v = m.voiceat(voice);
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

    for (const pagerow& r : voicesrows)
        row(r, voice, -1, r.modulate && modulated[r.param]);
    label(484, 538, 100, 24, "Voice " + std::to_string(voice + 1) + " of " + std::to_string(m.voices.count));
    rows(voicebuttonrows);
    for (std::size_t s = 0; s < std::size(sidepanes); ++s)
        if (panepatch[s] >= 0)
            image(ppanes[s].image, psidepanex, 0);
    for (std::size_t s = 0; s < std::size(sidepanes); ++s)
    {
        const pplace& menu = pplaceof(sidepanes[s].menu);
        pane(sidepanes[s], panepatch[s], menu.x, menu.y + panemenulift);
    }

    if (m.pendingkind != 0)
        chooser(m.pendingkind);
}

void pplanner::chooser(std::int32_t kind)
{
    // The patches the selected voice uses with this kind (for modulators: on the target).
    std::vector<bool> marked(m.patches.count, false);
    const pparvoice& v = *m.voices[voice];
    for (std::uint64_t i = 0; i < v.assignments.count; ++i)
    {
        const ppatchassign& a = *v.assignments[i];
        if (a.kind != kind || m.patchofkind(a.patch, kind) == nullptr)
            continue;
        if (kind != pkindmodulator || a.target == static_cast<std::int64_t>(m.modtarget))
            marked[a.patch] = true;
    }

    image("blackbox_png", pchooserboxx, pchooserboxy);
    pelement& newpatch = add(elementkind::imagebutton, pchooserx + 63, pchoosery + 8);
    newpatch.w = 73;
    newpatch.h = 19;
    newpatch.code = pevnewpatch;
    newpatch.image = "newpatch_png";
    newpatch.value = 1.0;

    // The list's rows: headings (index 0) and patches by group: used here (4), used by
    // another voice (3), used by none (2).
    struct listrow
    {
        std::uint64_t index, rowkind;
        std::string text;
    };
    std::vector<listrow> list;
    const char* assigned = kind == pkindmodulator ? "Assigned Modulators"
                           : kind == pkinddelay   ? "Assigned Delay"
                           : kind == pkindeq      ? "Assigned EQ"
                           : kind == pkindharmony ? "Assigned Harmony"
                                                  : nullptr;
    list.push_back({0, 0, assigned != nullptr ? assigned : ""});
    auto rowsof = [&](std::uint64_t rowkind) {
        for (std::uint64_t i = 0; i < m.patches.count; ++i)
        {
            const ppatchmod& p = *m.patches[i];
            const std::uint64_t group = marked[i] ? 4 : p.refcount != 0 ? 3 : 2;
            if (p.kind == static_cast<std::uint64_t>(kind) && group == rowkind)
                list.push_back({i + 1, rowkind, p.label.str()});
        }
    };
    rowsof(4);
    list.push_back({0, 0, "Unassigned"});
    rowsof(3);
    list.push_back({0, 0, "Discarded"});
    rowsof(2);

    // A list longer than the box shows a page of it at a time, its last row turning the pages.
    const auto total = static_cast<std::int32_t>(list.size());
    const bool paged = total > pchooserrows;
    const std::int32_t perpage = paged ? pchooserrows - 1 : pchooserrows;
    plan.chooserpages = paged ? (total + perpage - 1) / perpage : 1;
    const std::int32_t asked = m.tools != nullptr ? m.tools->chooserpage : 0;
    const std::int32_t page = asked < 0 ? 0 : asked >= plan.chooserpages ? plan.chooserpages - 1 : asked;
    const std::int32_t first = page * perpage;
    const std::int32_t end = first + perpage < total ? first + perpage : total;
    for (std::int32_t r = first; r < end; ++r)
    {
        const listrow& l = list[static_cast<std::size_t>(r)];
        const std::int32_t slot = r - first;
        const std::int32_t y = pchooserfirstrow + prowpitch * slot;
        if (l.index == 0)
        {
            if (!l.text.empty())
                label(pchooserx, y, 200, 24, l.text, pheadingcolour);
            continue;
        }
        pelement& e = add(elementkind::patchitem, pchooserx, y);
        e.index = l.index;
        e.row = static_cast<std::uint64_t>(slot);
        e.rowkind = l.rowkind;
        e.text = l.text;
    }
    if (paged)
    {
        const std::int32_t y = pchooserfirstrow + prowpitch * perpage;
        const std::string counter = std::to_string(page + 1) + "/" + std::to_string(plan.chooserpages);
        label(pchooserx, y, pchooserpagerw, 24, page > 0 ? "< PREVIOUS" : "", pheadingcolour);
        label(pchooserx + pchooserpagerw, y, pchooserpagerw, 24,
              page + 1 < plan.chooserpages ? "NEXT >  " + counter : counter, pheadingcolour);
    }
    plan.chooser = true;
}

void pplanner::mixpage()
{
    const std::uint64_t count = m.voices.count;
    const std::uint64_t offset = m.mixoffset;
    const std::uint64_t last = std::min(offset + m.mixrows, count);
    const std::string shown =
        "SHOWN " + std::to_string(offset + 1) + " - " + std::to_string(last) + " of " + std::to_string(count);
    frame("bgmix_png", "VOICE MIXER", "SELECTED " + std::to_string(voice + 1), &shown);

    // A delay patch an earlier row already showed is drawn as routed.
    std::vector<bool> shownpatch(m.patches.count, false);
    for (std::uint64_t i = offset, k = 0; i < last; ++i, ++k)
    {
        const std::int32_t y = pmixtop + pmixpitch * static_cast<std::int32_t>(k);
        const auto number = static_cast<std::int32_t>(i + 1);
        image(i == voice ? "mixlight_png" : "mixdark_png", pmixrowx, y);
        label(pmixrowx + rowlabelx, y + rowlabely, 60, 24, "VOICE " + std::to_string(number));
        pagerow select = hotspot(pspot::rowselect, pevselectvoice, number);
        select.h = rowselecth;
        row(select, i, -1, false, pmixrowx, y);
        pagerow volume = param(controlowner::voice, pvoicevolume, pspot::rowvolume);
        volume.style = pplaceof(pspot::rowvolume).style;
        row(volume, i, -1, false, pmixrowx, y);
        pagerow pan = param(controlowner::voice, pvoicepan, pspot::rowpan);
        pan.style = pplaceof(pspot::rowpan).style;
        row(pan, i, -1, false, pmixrowx, y);

        // The delay cell: the voice's last delay record decides.
        std::int32_t d = -1;
        const pparvoice& v = *m.voices[i];
        for (std::uint64_t a = 0; a < v.assignments.count; ++a)
        {
            const std::uint64_t p = v.assignments[a]->patch;
            if (v.assignments[a]->kind != pkinddelay || m.patchofkind(p, pkinddelay) == nullptr)
                continue;
            d = shownpatch[p] ? -2 : static_cast<std::int32_t>(p);
            shownpatch[p] = true;
        }
        const std::int32_t cellx = pmixrowx + rowdelayx;
        if (d == -1)
            button(pevnewdelay, pmixrowx + rowbuttonx, y, rowbuttonside, "adddelay_png", number);
        else if (d == -2)
            image("routeddelay_png", pmixrowx + rowbuttonx, y);
        else
        {
            image("mixblackbox_png", cellx, y + rowdelayy);
            pagerow text = param(controlowner::patch, ppatchdelay, pspot::delayfield, pmodepitchtext);
            text.control = pcontextfield;
            text.style = 0;
            text.ownvoice = true;
            row(text, i, d, false, pmixrowx + rowfieldx - text.x, y + rowdelayy - text.y);
            const pagerow f = fine(controlowner::patch, ppatchdelay, pspot::delayfine);
            row(f, i, d, false, cellx - f.x, y + rowdelayy + 1 - f.y);
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

bool eqcurveshown(const pprojdata& m, std::int32_t patch)
{
    return patch >= 0 && m.patchofkind(static_cast<std::uint64_t>(patch), pkindeq) != nullptr;
}

void pplanner::eqpage()
{
    // Only an EQ patch has a curve: with any other selection the graph shows none rather
    // than the curve of a patch that is no longer shown.
    const std::string third = eqcurveshown(m, patch) ? patchlabel() : std::string();
    frame("bgeq_png", "EQUALIZER", voiceline(false), &third);
    rows(eqrows);
}

void pplanner::harmonypage()
{
    const std::string third = patchlabel();
    frame("bghar_png", "HARMONY", voiceline(false), &third);
    rows(harmonyrows);
    const pplace& grid = pplaceof(pspot::intervals);
    for (std::int32_t j = 0; j < grid.count; ++j)
    {
        const pbox cell = pcell(grid, j);
        pagerow r = param(controlowner::patch, ppatchintervalfirst + static_cast<std::uint64_t>(j), pspot::intervals);
        row(r, voice, patch, false, cell.x - r.x, cell.y - r.y);
    }
    rows(harmonykeyrows);
}

// The page the model's selection lets the planner build, and the patch it edits (-1: none).
std::int32_t usablepage(const pprojdata& m, std::int32_t& patch)
{
    std::int32_t page = pbuiltpage(m.page);
    const std::int32_t kind = page + pkindpageoffset;
    const ppatchmod* selected = m.patchofkind(m.selectedpatch, kind);
    const bool patchpage = page >= ppagemodulator && page <= ppageharmony;
    const bool patchusable = selected != nullptr && selected->params.count >= paramsneeded(kind);
    patch = (patchpage && patchusable) ? static_cast<std::int32_t>(m.selectedpatch.load()) : -1;
    if (m.voices.count == 0 || (patchpage && page != ppageeq && !patchusable)
        || (page == ppagemodulator && m.modtarget >= pvoiceparamcount))
        return ppagevoices;
    return page;
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

void papplyfallbacks(pprojdata& m)
{
    if (m.voices.count > 0 && m.selectedvoice >= m.voices.count)
        m.selectedvoice = m.voices.count - 1;
    std::int32_t patch = -1;
    const std::int32_t page = usablepage(m, patch);
    if (page != m.page)
        m.page = page;
    if (m.tools != nullptr && m.pendingkind == 0)
        m.tools->chooserpage = 0;
}

void pupdateshown(pprojdata& m)
{
    std::int32_t patch = -1;
    const std::int32_t page = usablepage(m, patch);
    if (page == ppagevoices)
        for (std::uint64_t i = 0; i < m.patches.count; ++i)
            m.patches[i]->label = ppatchlabel(m, i).c_str();
    if (page != ppageeq)
        return;
    if (eqcurveshown(m, patch))
        m.recalcpatchgraph(static_cast<unsigned long>(patch));
    else if (m.tools != nullptr)
        for (auto& pixel : m.tools->graphpixels)
            pixel.store(0);
}

void pplansurface(const pprojdata& m, psurfaceplan& plan)
{
    plan.elements.clear();
    plan.chooser = false;
    plan.chooserpages = 1;

    pplanner p{m, plan};
    p.voice = m.selectedvoice;
    const std::int32_t page = usablepage(m, p.patch);
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
    p.add(elementkind::graph, 0, 0);
    if (page == ppageeq)
    {
        const prect& g = m.tools != nullptr ? m.tools->graphrect : prect{369, 142, 881, 654};
        p.image("eqoverlay_png", g.left - 9, g.top - 9);
    }
}

void pplanpane(const pprojdata& model, std::int32_t kind, std::int32_t patch, std::int32_t x, std::int32_t y,
               psurfaceplan& plan)
{
    pplanner p{model, plan};
    p.voice = model.selectedvoice;
    for (const psidepane& s : sidepanes)
        if (s.kind == kind)
            p.pane(s, patch, x, y);
}
