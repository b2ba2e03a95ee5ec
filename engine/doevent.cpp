// The dispatcher: model commands and control changes that the editor and the state restore
// queue for the audio thread, applied at the start of a block while the model mutex is held.
//
// Every index that arrives inside an event (a patch or voice from value - 1, a control code,
// a menu item) is checked against its list; an event whose index names nothing is ignored
// as a whole, like any other bad input.
#include "editor/pcontroller.h"
#include "engine/patchparams.h"
#include "engine/peventdrain.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <cmath>
#include <cstdint>

namespace
{
// 91062 carries a kind as kind - 93000.
constexpr std::int32_t pkindeventbase = 93000;
// Event values come from widgets: anything beyond this is not an index or a kind.
constexpr double largesteventinteger = 1 << 30;
constexpr double peqflatnorm = 0.5;

// The integer part (toward zero) of a finite event value of sensible size.
bool eventinteger(double value, std::int64_t& out)
{
    if (!std::isfinite(value))
        return false;
    const double whole = std::trunc(value);
    if (whole < -largesteventinteger || whole > largesteventinteger)
        return false;
    out = static_cast<std::int64_t>(whole);
    return true;
}

// value - 1 truncated toward zero, as the buttons and rows send index + 1; false when that
// cannot be an index.
bool eventindex(float value, std::uint64_t& out)
{
    std::int64_t whole = 0;
    if (!eventinteger(static_cast<double>(value) - 1.0, whole) || whole < 0)
        return false;
    out = static_cast<std::uint64_t>(whole);
    return true;
}

std::int64_t positivemod(std::int64_t x, std::int64_t m)
{
    const std::int64_t r = x % m;
    return r < 0 ? r + m : r;
}

std::int32_t pageofkind(std::int32_t kind)
{
    return kind - pkindpageoffset;
}

// Releases every patch the voice holds; the records go with it.
void releaseassignments(pprojdata& model, pparvoice& voice)
{
    while (voice.assignments.count > 0)
    {
        ppatchassign* record = voice.assignments.remove(voice.assignments.count - 1);
        if (ppatchmod* p = model.patchat(record->patch); p != nullptr && p->refcount > 0)
            --p->refcount;
        delete record;
    }
}

// Restarts the running state of a patch for a new channel layout: both channels start from
// channel 0's state. Only as many buffer entries are copied as both buffers hold; the
// set-up that follows rebuilds the buffers anyway.
void restartrunningstate(ppatchmod& patch)
{
    ppatchchannel& first = patch.channels[0];
    ppatchchannel& second = patch.channels[1];
    for (ppatchchannel& ch : patch.channels)
    {
        ch.modphase = 0.0;
        ch.modvalue = 0.0;
    }
    second.modoutput = first.modoutput.load();
    const std::uint64_t shared = first.bufferlength < second.bufferlength ? first.bufferlength : second.bufferlength;
    for (std::uint64_t i = 0; i < shared; ++i)
        second.buffer[i] = first.buffer[i];
    for (std::uint64_t i = 0; i < pmodstatesize; ++i)
        second.modstate[i] = first.modstate[i];
}

// Mirrors the harmony table so that each interval points back to where it came from.
void invertintervals(ppatchmod& patch)
{
    double semitones[pharmonysteps];
    for (std::uint64_t i = 0; i < pharmonysteps; ++i)
        semitones[i] = patch.params[ppatchintervalfirst + i]->value;

    const auto whole = [](double x) { return static_cast<std::int64_t>(std::trunc(x)); };
    const auto steps = static_cast<std::int64_t>(pharmonysteps);
    const auto octave = static_cast<std::int64_t>(psemitonesperoctave);
    std::int64_t shift = 0;
    if (semitones[0] >= 0.0)
    {
        // The last position whose interval lands on the key note.
        for (std::int64_t i = 1; i < steps; ++i)
            if (positivemod(i + whole(semitones[i]), octave) == 0)
                shift = i;
    }
    else
    {
        shift = positivemod(-whole(semitones[0]), octave);
    }

    for (std::int64_t i = 0; i < steps; ++i)
        patch.params[ppatchintervalfirst + static_cast<std::uint64_t>(i)]->setvalue(
            -semitones[positivemod(shift + i, steps)]);
}
} // namespace

void pprojdata::postgui(std::int32_t code, float value)
{
    if (controller != nullptr)
        controller->guiqueue.post(code, value);
}

std::uint64_t pprojdata::doaudioevents()
{
    if (controller == nullptr)
        return 0;
    return pdrainevents(modelmutex, controller->audioqueue, [this](const pevent& e) { doevent(e); });
}

void pprojdata::doevent(pevent event)
{
    const std::int32_t code = event.code;
    const float value = event.value;

    if (code >= 0 && code < pevcontrolrangeend)
    {
        docontrolevent(code);
        return;
    }
    if (code == pevchoosekind)
    {
        dochoosekind(value);
        return;
    }
    if (code >= pevpatchmenu && code <= pevpatchmenulast)
    {
        dopatchmenu(static_cast<std::uint64_t>(code - pevpatchmenu), value);
        return;
    }

    switch (code)
    {
    case pevloadstate: doloadstate(); break;
    case pevmonostereo: domonostereo(value); break;
    case pevaddvoice:
        if (value == 1.0f)
        {
            selectedvoice = newvoice();
            postgui(pevrebuildgui, 1.0f);
        }
        break;
    case pevdeletevoice:
        if (value == 1.0f)
            dodeletevoice();
        break;
    case pevnewpatch:
        if (value == 1.0f && ispatchkind(pendingkind))
            newpatchforselected(pendingkind);
        break;
    case pevunassignpatch:
        if (value > 0.0f)
            dounassignpatch(value);
        break;
    case pevselectpatch:
        if (value > 0.0f)
            doselectpatch(value);
        break;
    case pevassignpatch:
        if (std::uint64_t p = 0; value > 0.0f && eventindex(value, p))
        {
            if (const ppatchmod* patch = patchat(p))
            {
                assignpatch(static_cast<int>(patch->kind), selectedvoice, p, static_cast<std::int64_t>(modtarget));
                postgui(pevrebuildgui, 1.0f);
            }
        }
        break;
    case pevresetcurve:
        if (value > 0.0f)
            doresetcurve();
        break;
    case pevharmonyinvert:
        if (value > 0.0f)
            doharmonyinvert();
        break;
    case pevpatchtype:
    case pevpatchshape:
    case pevadjustmode: dopatchradio(code); break;
    case pevrecalcpatch:
        if (std::uint64_t p = 0; eventindex(value, p) && patchat(p) != nullptr)
            recalcpatchstate(p);
        break;
    case pevnewdelay: donewpatchforvoice(pkinddelay, value); break;
    case pevneweq: donewpatchforvoice(pkindeq, value); break;
    case pevnewharmony: donewpatchforvoice(pkindharmony, value); break;
    default: break; // editor commands, voice radio codes the controller handles, unknown codes
    }
}

void pprojdata::docontrolevent(std::int32_t code)
{
    if (tools == nullptr || static_cast<std::uint64_t>(code) >= tools->controls.count)
        return;
    const pkControl* control = tools->controls[static_cast<std::uint64_t>(code)];
    if (control == nullptr || control->ownerkind != pownerpatch || control->ownerindex < 0 || control->paramindex < 0)
        return;
    const auto index = static_cast<std::uint64_t>(control->ownerindex);
    ppatchmod* patch = patchat(index);
    const auto param = static_cast<std::uint64_t>(control->paramindex);
    if (patch == nullptr || param >= patch->params.count)
        return;

    // Only a change of source, shape or harmony settings alters derived state.
    switch (patch->kind)
    {
    case pkindmodulator:
    case pkinddelay:
        if (param != ppatchsource && param != ppatchshape)
            return;
        break;
    case pkindharmony:
        if (param < ppatchsource)
            return;
        // An interval edited by hand makes the table custom.
        if (param >= ppatchintervalfirst && param < ppatchintervalfirst + pharmonysteps)
            patch->params[ppatchsource]->setvalue(pharmonycustom);
        break;
    default: return;
    }
    recalcpatchstate(index);
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dochoosekind(float value)
{
    std::int64_t offset = 0;
    if (!(value > 0.0f) || !eventinteger(value, offset))
        return;
    const auto kind = static_cast<std::int32_t>(offset + pkindeventbase);
    pendingkind = kind;

    const pparvoice* voice = voiceat(selectedvoice);
    if (voice == nullptr)
        return;
    const ppatchassign* found = nullptr;
    for (std::uint64_t i = 0; i < voice->assignments.count; ++i)
        if (voice->assignments[i]->kind == kind)
            found = voice->assignments[i];

    if (found != nullptr)
    {
        if (ispatchkind(kind))
            page = pageofkind(kind);
        selectedpatch = found->patch;
        pendingkind = 0;
        postgui(pevrebuildgui, 1.0f);
        return;
    }
    if (ispatchkind(kind))
        newpatchforselected(kind);
}

void pprojdata::newpatchforselected(std::int32_t kind)
{
    const std::uint64_t p = newpatch(true, kind);
    page = pageofkind(kind);
    assignpatch(kind, selectedvoice, p, static_cast<std::int64_t>(modtarget));
    selectedpatch = p;
    pendingkind = 0;
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dopatchmenu(std::uint64_t menu, float value)
{
    if (tools == nullptr || menu >= tools->patchmenus.count)
        return;
    const ppatchmenu* record = tools->patchmenus[menu];
    std::int64_t item = 0;
    if (record == nullptr || !eventinteger(value, item) || item < 0
        || static_cast<std::uint64_t>(item) >= record->itemmap.count)
        return;
    const std::int32_t tag = record->itemmap[static_cast<std::uint64_t>(item)];
    if (tag <= 0)
        return; // a heading row
    const auto p = static_cast<std::uint64_t>(tag - 1);
    const ppatchmod* patch = patchat(p);
    if (patch == nullptr)
        return;
    assignpatch(static_cast<int>(patch->kind), selectedvoice, p, static_cast<std::int64_t>(modtarget));
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::domonostereo(float value)
{
    setvoiceradio(pevmonostereo, value, selectedvoice, pglobalmonostereo);
    for (std::uint64_t i = 0; i < patches.count; ++i)
        restartrunningstate(*patches[i]);
    initpbm(currentrate);
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dodeletevoice()
{
    if (voices.count > 1 && selectedvoice < voices.count)
    {
        pparvoice* voice = voices.remove(selectedvoice);
        releaseassignments(*this, *voice);
        delete voice;
        selectedvoice = selectedvoice > 0 ? selectedvoice - 1 : 0;
        voicecountchanged(false);
    }
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dounassignpatch(float value)
{
    std::uint64_t p = 0;
    if (!eventindex(value, p))
        return;
    const ppatchmod* patch = patchat(p);
    if (patch == nullptr)
        return;
    const auto kind = static_cast<std::int32_t>(patch->kind);
    if (pendingkind != pkindmodulator)
        modtarget = 0;

    if (pparvoice* voice = voiceat(selectedvoice))
    {
        for (std::uint64_t i = 0; i < voice->assignments.count; ++i)
        {
            const ppatchassign* a = voice->assignments[i];
            if (a->kind != kind || a->patch != p || a->target != static_cast<std::int64_t>(modtarget))
                continue;
            delete voice->assignments.remove(i);
            if (ppatchmod* released = patchat(p); released != nullptr && released->refcount > 0)
                --released->refcount;
            break;
        }
    }
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::doselectpatch(float value)
{
    std::uint64_t p = 0;
    if (!eventindex(value, p) || patchat(p) == nullptr)
        return;
    if (ispatchkind(pendingkind))
        page = pageofkind(pendingkind);
    selectedpatch = p;
    pendingkind = 0;
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::doresetcurve()
{
    ppatchmod* patch = patchofkind(selectedpatch, pkindeq);
    if (patch == nullptr || patch->params.count < peqparamcount)
        return;
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        patch->params[ppatchcurvefirst + i]->setnorm(peqflatnorm);
    recalcpatchstate(selectedpatch);
    recalcpatchgraph(selectedpatch);
}

void pprojdata::doharmonyinvert()
{
    ppatchmod* patch = patchofkind(selectedpatch, pkindharmony);
    if (page != ppageharmony || patch == nullptr || patch->params.count < pharmonyparamcount)
        return;
    patch->params[ppatchsource]->setvalue(pharmonycustom);
    invertintervals(*patch);
    recalcpatchstate(selectedpatch);
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::donewpatchforvoice(std::int32_t kind, float value)
{
    std::uint64_t v = 0;
    if (!(value >= 1.0f) || !eventindex(value, v) || voiceat(v) == nullptr)
        return;
    const std::uint64_t p = newpatch(true, kind);
    assignpatch(kind, v, p, 0);
    pendingkind = 0;
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dopatchradio(std::int32_t code)
{
    // The controller has written the parameter (and a new source's settings); what the audio
    // thread owns follows here: a modulator's running state and the patch's derived state.
    const std::uint64_t k = ppatchradioparam(code);
    ppatchmod* s = patchat(selectedpatch);
    if (s == nullptr || s->params.count <= k)
        return;
    if (k == ppatchsource && page == ppagemodulator)
    {
        const std::int32_t source = s->params[ppatchsource]->intvalue;
        for (ppatchchannel& ch : s->channels)
        {
            ch.modoutput = 0.0;
            if (source == psourceenvelope)
                ch.modstarted = 0; // the follower sets itself up again
            for (double& v : ch.modstate)
                v = 0.0;
        }
    }
    recalcpatchstate(selectedpatch);
    postgui(pevrebuildgui, 1.0f);
}
