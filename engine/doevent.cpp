// The dispatcher: model commands that the editor and the state restore queue for a drain of
// the audio queue, applied while the model mutex is held and no audio block runs (or at the
// start of the block that drains them).
//
// Every target that arrives inside an event (a voice or patch the controller resolved, a
// patch from value - 1) is checked against its list; an event whose target names nothing is
// ignored as a whole, like any other bad input.
#include "engine/patchparams.h"
#include "engine/peventdrain.h"
#include "engine/pprojdata.h"

#include <cmath>
#include <cstdint>

namespace
{
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

// An event's target index as a list index; false for -1 (none) and anything negative.
bool eventtarget(std::int64_t target, std::uint64_t& out)
{
    if (target < 0)
        return false;
    out = static_cast<std::uint64_t>(target);
    return true;
}
} // namespace

void pprojdata::postgui(std::int32_t code, float value)
{
    guiqueue.post(code, value);
}

bool pprojdata::beginblock() noexcept
{
    std::int32_t expected = gatefree;
    if (!blockgate.compare_exchange_strong(expected, gateaudio, std::memory_order_acquire))
        return false;
    blockcount.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void pprojdata::endblock() noexcept
{
    blockgate.store(gatefree, std::memory_order_release);
}

std::uint64_t pprojdata::doaudioevents()
{
    return pdrainevents(modelmutex, audioqueue, [this](const pevent& e) { doevent(e); });
}

std::uint64_t pprojdata::doidleevents()
{
    std::int32_t expected = gatefree;
    if (audioqueue.size() == 0 || !blockgate.compare_exchange_strong(expected, gateidle, std::memory_order_acquire))
        return 0;
    pevent batch[peventqueue::capacity];
    const std::uint64_t n = audioqueue.drain(batch);
    for (std::uint64_t i = 0; i < n; ++i)
        doevent(batch[i]);
    blockgate.store(gatefree, std::memory_order_release);
    return n;
}

void pprojdata::doevent(const pevent& event)
{
    const std::int32_t code = event.code;
    const float value = event.value;
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
            dodeletevoice(event.voice);
        break;
    case pevnewpatch:
        if (std::uint64_t v = 0;
            value == 1.0f && ispatchkind(event.kind) && eventtarget(event.voice, v) && voiceat(v) != nullptr)
            newpatchforvoice(event.kind, v, event.target);
        break;
    case pevunassignpatch:
        if (value > 0.0f)
            dounassignpatch(event);
        break;
    case pevassignpatch:
        if (value > 0.0f)
            doassignpatch(event);
        break;
    case pevresetcurve:
        if (value > 0.0f)
            doresetcurve(event.patch);
        break;
    case pevharmonyinvert:
        if (value > 0.0f)
            doharmonyinvert(event.patch);
        break;
    case pevpatchtype:
    case pevpatchshape:
    case pevadjustmode: dopatchradio(code, event.patch); break;
    case pevrecalcpatch:
        if (std::uint64_t p = 0; eventtarget(event.patch, p) && patchat(p) != nullptr)
        {
            recalcpatchstate(p);
            if (value > 0.0f)
                postgui(pevrebuildgui, 1.0f);
        }
        break;
    case pevnewdelay: donewpatchforvoice(pkinddelay, value); break;
    case pevneweq: donewpatchforvoice(pkindeq, value); break;
    case pevnewharmony: donewpatchforvoice(pkindharmony, value); break;
    default: break; // editor commands, commands the controller applies itself, unknown codes
    }
}

void pprojdata::newpatchforvoice(std::int32_t kind, std::uint64_t voice, std::int64_t target)
{
    const std::uint64_t p = newpatch(true, kind);
    page = pageofkind(kind);
    assignpatch(kind, voice, p, target);
    selectedpatch = p;
    pendingkind = 0;
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::doassignpatch(const pevent& event)
{
    std::uint64_t p = 0;
    std::uint64_t v = 0;
    if (!eventtarget(event.patch, p) || !eventtarget(event.voice, v) || voiceat(v) == nullptr)
        return;
    if (const ppatchmod* patch = patchat(p))
    {
        assignpatch(static_cast<int>(patch->kind), v, p, event.target);
        postgui(pevrebuildgui, 1.0f);
    }
}

void pprojdata::domonostereo(float value)
{
    setvoiceradio(pevmonostereo, value, selectedvoice, pglobalmonostereo);
    for (std::uint64_t i = 0; i < patches.count; ++i)
        restartrunningstate(*patches[i]);
    initpbm(currentrate);
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dodeletevoice(std::int64_t voice)
{
    std::uint64_t v = 0;
    if (voices.count > 1 && eventtarget(voice, v) && v < voices.count)
    {
        pparvoice* record = voices.remove(v);
        releaseassignments(*this, *record);
        delete record;
        // The selection stays on the voice it showed, one place down when that one moved.
        const std::uint64_t selected = selectedvoice;
        if (selected >= v && selected > 0)
            selectedvoice = selected - 1;
        voicecountchanged(false);
    }
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dounassignpatch(const pevent& event)
{
    std::uint64_t p = 0;
    std::uint64_t v = 0;
    if (!eventtarget(event.patch, p) || patchat(p) == nullptr || !eventtarget(event.voice, v))
        return;
    const auto kind = static_cast<std::int32_t>(patchat(p)->kind);
    if (pparvoice* voice = voiceat(v))
    {
        for (std::uint64_t i = 0; i < voice->assignments.count; ++i)
        {
            const ppatchassign* a = voice->assignments[i];
            if (a->kind != kind || a->patch != p || a->target != event.target)
                continue;
            delete voice->assignments.remove(i);
            if (ppatchmod* released = patchat(p); released != nullptr && released->refcount > 0)
                --released->refcount;
            break;
        }
    }
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::doresetcurve(std::int64_t target)
{
    std::uint64_t p = 0;
    ppatchmod* patch = eventtarget(target, p) ? patchofkind(p, pkindeq) : nullptr;
    if (patch == nullptr || patch->params.count < peqparamcount)
        return;
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        patch->params[ppatchcurvefirst + i]->setnorm(peqflatnorm);
    recalcpatchstate(p);
    recalcpatchgraph(p);
}

void pprojdata::doharmonyinvert(std::int64_t target)
{
    std::uint64_t p = 0;
    ppatchmod* patch = eventtarget(target, p) ? patchofkind(p, pkindharmony) : nullptr;
    if (patch == nullptr || patch->params.count < pharmonyparamcount)
        return;
    patch->params[ppatchsource]->setvalue(pharmonycustom);
    invertintervals(*patch);
    recalcpatchstate(p);
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::donewpatchforvoice(std::int32_t kind, float value)
{
    std::uint64_t v = 0;
    if (!(value >= 1.0f) || !eventindex(value, v) || voiceat(v) == nullptr)
        return;
    // The add button shows only while the voice has no patch of its kind: a second press
    // queued before the first was applied would only orphan the first patch.
    const pparvoice& voice = *voiceat(v);
    for (std::uint64_t i = 0; i < voice.assignments.count; ++i)
        if (voice.assignments[i]->kind == kind)
            return;
    const std::uint64_t p = newpatch(true, kind);
    assignpatch(kind, v, p, 0);
    pendingkind = 0;
    postgui(pevrebuildgui, 1.0f);
}

void pprojdata::dopatchradio(std::int32_t code, std::int64_t target)
{
    // The controller has written the parameter (and a new source's settings); what the audio
    // path owns follows here: a modulator's running state and the patch's derived state.
    const std::uint64_t k = ppatchradioparam(code);
    std::uint64_t p = 0;
    ppatchmod* s = eventtarget(target, p) ? patchat(p) : nullptr;
    if (s == nullptr || s->params.count <= k)
        return;
    if (k == ppatchsource && s->kind == pkindmodulator)
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
    recalcpatchstate(p);
    postgui(pevrebuildgui, 1.0f);
}
