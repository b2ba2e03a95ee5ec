#include "editor/pcontroller.h"

#include "editor/playout.h"
#include "editor/pparamowner.h"
#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "foundation/conumber.h"
#include "foundation/costringa.h"

#include <cmath>
#include <cstdint>
#include <mutex>

namespace
{
// Pitch as text: semitones either side of the centre, over two or four octaves.
constexpr double pitchspan24 = 24.0;
constexpr double pitchspan48 = 48.0;
// A fine knob spans one semitone of the coarse two-octave span either way.
constexpr double finepitchspan = 0.083333333;
constexpr double centre = 0.5;
// Event values beyond this are not indexes or counts.
constexpr double largesteventinteger = 1 << 30;
// 91062 carries a kind as kind - 93000.
constexpr std::int32_t pkindeventbase = 93000;
// Decimals of a pitch or delay shown as text (a twin refresh, the surface), and of any
// other parameter's text field.
constexpr std::int64_t twinprecision = 3;
constexpr std::int64_t fieldprecision = 2;

// True when a number read from a field is the one the field shows for value: leaving a
// field without typing must not write the rounded figure back.
bool asshown(double typed, double value, std::int64_t decimals)
{
    const double scale = std::pow(10.0, static_cast<double>(decimals));
    return typed == std::round(value * scale) / scale;
}

// A patch index carried as index + 1 (value - 1 truncated toward zero), or -1.
std::int64_t patchfromvalue(float v)
{
    const double d = static_cast<double>(v) - 1.0;
    if (!(v > 0.0f) || !std::isfinite(d) || d > largesteventinteger)
        return -1;
    return static_cast<std::int64_t>(std::trunc(d));
}

// v truncated toward zero; 0 for a value that is no sensible integer.
std::int64_t truncated(float v)
{
    const double d = static_cast<double>(v);
    if (!std::isfinite(d) || d > largesteventinteger || d < -largesteventinteger)
        return 0;
    return static_cast<std::int64_t>(std::trunc(d));
}

// A control's parameter, when its binding still names one: an owner index or parameter
// index left over from before a voice was deleted or a state reloaded names nothing.
pparam* boundparam(const pprojdata& model, const pkControl& c)
{
    return c.paramindex < 0 ? nullptr
                            : pownedparam(model, c.ownerkind, c.ownerindex, static_cast<std::uint64_t>(c.paramindex));
}

pparam* voiceparam(const pprojdata& model, std::uint64_t voice, std::uint64_t index)
{
    const pparvoice* v = model.voiceat(voice);
    return (v != nullptr && index < v->params.count) ? v->params[index] : nullptr;
}

// Patch `owner` when it is a delay patch with its delay parameter.
ppatchmod* delaypatch(const pprojdata& model, std::int32_t owner)
{
    if (owner < 0)
        return nullptr;
    ppatchmod* p = model.patchofkind(static_cast<std::uint64_t>(owner), pkinddelay);
    return (p != nullptr && ppatchdelay < p->params.count) ? p : nullptr;
}

// The settings a modulator starts from when given a new source.
void sourcedefaults(ocarray::ArrayPtr<pparam>& params)
{
    switch (params[ppatchsource]->intvalue.load())
    {
    case psourcecontroller:
        params[ppatchamplitude1]->setnorm(0.0);
        params[ppatchamplitude2]->setnorm(1.0);
        params[ppatchadjustmode]->setnorm(0.0);
        break;
    case psourceenvelope:
        params[ppatchamplitude1]->setnorm(1.0);
        params[ppatchamplitude2]->setnorm(0.5);
        params[ppatchspeed]->setnorm(0.5);
        params[ppatchadjustmode]->setnorm(0.0);
        break;
    case psourcelfo:
        params[ppatchamplitude1]->setnorm(0.5);
        params[ppatchspeed]->setnorm(0.5);
        params[ppatchshape]->setvalue(1.0);
        break;
    default: break;
    }
}

std::int32_t voicemode(const pprojdata& model, std::uint64_t voice)
{
    const pparam* mode = voiceparam(model, voice, pvoicemode);
    return mode != nullptr ? mode->intvalue.load() : 0;
}
} // namespace

double ppitchtextscale(std::int32_t mode)
{
    return (mode == 0 || mode == 1) ? pitchspan24 : pitchspan48;
}

double ptextnumber(const char* text)
{
    return text == nullptr ? 0.0 : coreadnumber(text);
}

// The model mutex for one entry point of the message thread, taken only by the outermost.
class pcontroller::entry
{
public:
    explicit entry(pcontroller& c) : owner(c)
    {
        if (owner.entered++ == 0 && owner.model != nullptr)
            held = std::unique_lock<std::mutex>(owner.model->modelmutex);
    }
    ~entry() { --owner.entered; }
    entry(const entry&) = delete;
    entry& operator=(const entry&) = delete;

private:
    pcontroller& owner;
    std::unique_lock<std::mutex> held;
};

// The holder deletes every control with it; the model is the processor's.
pcontroller::~pcontroller() = default;

bool pcontroller::open(void*)
{
    entry hold(*this);
    tools.editoropen = 1;
    if (model != nullptr)
    {
        // A host that has not run a block yet (a session just loaded, transport stopped) has
        // left a restored state queued: apply it now, so the first surface shows it.
        seenblocks = model->blockcount.load(std::memory_order_relaxed);
        quietticks = seenblocks == 0 ? pquietticks : 0;
        if (quietticks >= pquietticks)
            model->doidleevents();
    }
    rebuild();
    return true;
}

// The widgets go with the window, on the thread that closes it. Left in the control list
// they would be deleted with the processor, on whatever thread the host ends the instance:
// with JUCE's Linux VST 2 client that is no longer the plug-in's message thread once the
// editor is closed, and a widget's running timer (a knob's value popup, a field's caret)
// could fire into a widget being deleted. The next open builds the surface anew anyway.
// Model commands still queued name their own targets and need none of the widgets.
void pcontroller::close()
{
    entry hold(*this);
    tools.editoropen = 0;
    if (model != nullptr && services.teardown != nullptr)
        services.teardown(*model);
}

void pcontroller::rebuild()
{
    if (model == nullptr || services.rebuild == nullptr)
        return;
    services.rebuild(*model);
    tools.builtpage = model->page;
}

void pcontroller::postmodel(pevent event)
{
    model->audioqueue.post(event);
}

void pcontroller::valueChanged(pkControl* control)
{
    if (control != nullptr)
        routeevent(control->getTag(), static_cast<float>(control->getValue()));
}

void pcontroller::routeevent(int code, float value)
{
    if (code <= pevmodellast)
        internalevent(code, value);
    else if (model != nullptr)
        model->guiqueue.post(code, value);
}

void pcontroller::internalevent(int code, float value)
{
    if (code < 0 || (code >= pevcontrollimit && code < pevmodelfirst) || code > pevmodellast || model == nullptr)
        return;
    entry hold(*this);
    if (code < pevcontrollimit)
        controlevent(code, value);
    else if (code == pevpatchtype || code == pevpatchshape || code == pevadjustmode)
        patchradioevent(code, value);
    else if (code == pevvoicemode || code == pevvoicemode2 || code == pevmonostereo)
        voiceradioevent(code, value);
    else
        commandevent(code, value);
}

void pcontroller::controlevent(std::int32_t code, float value)
{
    const auto index = static_cast<std::uint64_t>(code);
    if (index >= tools.controls.count || tools.controls[index] == nullptr)
    {
        model->guiqueue.post(pevbadcontrol, static_cast<float>(code));
        return;
    }
    pkControl& c = *tools.controls[index];
    pprojdata& m = *model;
    pparam* p = boundparam(m, c);
    double typed = 0.0;
    if (costringa text; c.getType() == pctltext && services.readtext != nullptr && services.readtext(c, text))
        typed = ptextnumber(text.c_str());
    const std::uint64_t selected = m.selectedvoice;

    if (p != nullptr && p->control == pconmenu && c.mode == pmodevalue)
    {
        p->setvalue(value);
    }
    else if (c.mode == pmodevalue)
    {
        if (p != nullptr && p->control == pcontextfield)
        {
            if (asshown(typed, p->value, fieldprecision))
                return;
            p->setvalue(static_cast<float>(typed));
        }
        else if (p != nullptr)
        {
            p->setnorm(value);
        }
    }
    else if (c.mode == pmodepitchknob || c.mode == pmodepitchtext || c.mode == pmodefinepitch)
    {
        if (c.ownerkind == pownervoice)
        {
            if (pparam* pitch = voiceparam(m, selected, pvoicepitch))
            {
                const double scale = ppitchtextscale(voicemode(m, selected));
                if (c.mode == pmodepitchtext && asshown(typed, (pitch->value - centre) * scale, twinprecision))
                    return;
                double n = value;
                if (c.mode == pmodepitchknob && voicemode(m, selected) == 0)
                    n = std::floor(n * pitchspan24 + centre) / pitchspan24;
                else if (c.mode == pmodepitchtext)
                    n = typed / scale + centre;
                else if (c.mode == pmodefinepitch)
                    n = (n - centre) * finepitchspan + m.coarsepitch;
                pitch->setnorm(n);
                if (c.mode != pmodefinepitch)
                    m.coarsepitch = pitch->norm;
            }
        }
        else if (ppatchmod* patch = delaypatch(m, c.ownerindex))
        {
            pparam* delay = patch->params[ppatchdelay];
            if (c.mode == pmodepitchtext && asshown(typed, delay->value, twinprecision))
                return;
            if (c.mode == pmodepitchknob)
                delay->setnorm(value);
            else if (c.mode == pmodepitchtext)
                delay->setvalue(typed);
            else
                delay->setnorm((value - centre) * finepitchspan + patch->coarsedelay);
            if (c.mode != pmodefinepitch)
                patch->coarsedelay = delay->norm;
        }
        m.guiqueue.post(pevrefreshtwins, static_cast<float>(code));
        return;
    }
    if (p != nullptr && c.ownerkind == pownerpatch)
        derivedchange(c.ownerindex, c.paramindex);
}

// A patch parameter was written: the settings that the audio path derives state from (a
// source, a shape, the harmony settings) are recomputed by the next drain, and the surface
// rebuilt after it. An interval edited by hand makes the harmony table custom, here, so the
// saved state holds it whether or not a drain comes before the next save.
void pcontroller::derivedchange(std::int32_t owner, std::int32_t index)
{
    ppatchmod* patch = model->patchat(static_cast<std::uint64_t>(owner));
    const auto param = static_cast<std::uint64_t>(index);
    if (patch == nullptr || param >= patch->params.count)
        return;
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
        if (param >= ppatchintervalfirst && param < ppatchintervalfirst + pharmonysteps)
            patch->params[ppatchsource]->setvalue(pharmonycustom);
        break;
    default: return;
    }
    postmodel(pevent{pevrecalcpatch, 1.0f, -1, owner});
}

void pcontroller::patchradioevent(std::int32_t code, float value)
{
    const std::uint64_t k = ppatchradioparam(code);
    const std::uint64_t selected = model->selectedpatch;
    ppatchmod* s = model->patchat(selected);
    if (s == nullptr || s->params.count <= k)
        return;
    ocarray::ArrayPtr<pparam>& params = s->params;
    // A click on the lit switch turns it off and sends 0: the choice stands, lit again.
    if (value > 0.0f)
    {
        params[k]->setvalue(static_cast<double>(value) - 1.0);
        // A modulator given a new source starts from that source's own settings. The running
        // state (outputs, follower set-up, filter memory) belongs to the audio path: the
        // dispatcher clears it when this event is drained, and recomputes the patch there too.
        if (k == ppatchsource && model->page == ppagemodulator && params.count > ppatchadjustmode)
            sourcedefaults(params);
        postmodel(pevent{code, value, -1, static_cast<std::int64_t>(selected)});
        model->guiqueue.post(pevrebuildgui, 1.0f);
    }
    tools.lightradio(code, params[k]->intvalue);
}

void pcontroller::voiceradioevent(std::int32_t code, float value)
{
    pprojdata& m = *model;
    const std::uint64_t param = code == pevvoicemode ? pvoicemode : pvoicemode2;
    const pparam* shown = voiceparam(m, m.selectedvoice, param);
    if (code == pevmonostereo)
    {
        // The channel count changes together with the engines' set-up, in the drain; the
        // switches show the choice at once.
        shown = m.globalparam(pglobalmonostereo);
        if (value > 0.0f)
            postmodel(pevent{code, value});
    }
    else if (value > 0.0f && m.setvoiceradio(code, value, m.selectedvoice, param) != nullptr)
    {
        m.guiqueue.post(pevrebuildgui, 1.0f);
    }
    // A click on the lit switch turns it off and sends 0: the choice stands, lit again.
    if (shown != nullptr)
        tools.lightradio(code, code == pevmonostereo && value > 0.0f ? static_cast<std::int32_t>(truncated(value)) - 1
                                                                     : shown->intvalue.load());
}

// Model commands: each names the voice, patch, target and kind of the editor's state at this
// moment, so that a selection changed before the drain cannot redirect it. Commands that
// change only the editor's own state are applied here at once.
void pcontroller::commandevent(std::int32_t code, float value)
{
    pprojdata& m = *model;
    const auto voice = static_cast<std::int64_t>(m.selectedvoice.load());
    const auto target = static_cast<std::int32_t>(m.modtarget);
    switch (code)
    {
    case pevdeletevoice: postmodel(pevent{code, value, voice}); break;
    case pevnewpatch:
        if (value == 1.0f && ispatchkind(m.pendingkind))
            postmodel(pevent{code, value, voice, -1, target, m.pendingkind});
        break;
    case pevchoosekind: choosekind(value); break;
    case pevselectpatch:
        if (const std::int64_t p = patchfromvalue(value); p >= 0 && m.patchat(static_cast<std::uint64_t>(p)) != nullptr)
        {
            if (ispatchkind(m.pendingkind))
                m.page = m.pendingkind - pkindpageoffset;
            m.selectedpatch = static_cast<std::uint64_t>(p);
            m.pendingkind = 0;
            m.guiqueue.post(pevrebuildgui, 1.0f);
        }
        break;
    case pevunassignpatch:
        if (const std::int64_t p = patchfromvalue(value); p >= 0 && m.patchat(static_cast<std::uint64_t>(p)) != nullptr)
        {
            if (m.pendingkind != pkindmodulator)
                m.modtarget = 0;
            postmodel(pevent{code, value, voice, p, static_cast<std::int32_t>(m.modtarget)});
        }
        break;
    case pevassignpatch: postmodel(pevent{code, value, voice, patchfromvalue(value), target}); break;
    case pevresetcurve: postmodel(pevent{code, value, -1, static_cast<std::int64_t>(m.selectedpatch.load())}); break;
    case pevharmonyinvert:
        if (m.page == ppageharmony)
            postmodel(pevent{code, value, -1, static_cast<std::int64_t>(m.selectedpatch.load())});
        break;
    default:
        if (code >= pevpatchmenu && code <= pevpatchmenulast)
            patchmenuevent(static_cast<std::uint64_t>(code - pevpatchmenu), value);
        else
            postmodel(pevent{code, value});
        break;
    }
}

// 91062: the pane's patch of a kind for the selected voice; its page when the voice has one,
// else a new patch of that kind (a model command).
void pcontroller::choosekind(float value)
{
    pprojdata& m = *model;
    const std::int64_t offset = truncated(value);
    const auto kind = static_cast<std::int32_t>(offset + pkindeventbase);
    const pparvoice* voice = m.voiceat(m.selectedvoice);
    if (!(value > 0.0f) || !ispatchkind(kind) || voice == nullptr)
        return;
    const ppatchassign* found = nullptr;
    for (std::uint64_t i = 0; i < voice->assignments.count; ++i)
        if (voice->assignments[i]->kind == kind)
            found = voice->assignments[i];
    if (found == nullptr)
    {
        postmodel(pevent{pevnewpatch, 1.0f, static_cast<std::int64_t>(m.selectedvoice.load()), -1,
                         static_cast<std::int32_t>(m.modtarget), kind});
        return;
    }
    m.page = kind - pkindpageoffset;
    m.selectedpatch = found->patch;
    m.pendingkind = 0;
    m.guiqueue.post(pevrebuildgui, 1.0f);
}

// A patch menu's item names its patch through the menu's item map, read now: the menu may be
// gone by the time the command is drained.
void pcontroller::patchmenuevent(std::uint64_t menu, float value)
{
    const ppatchmenu* record = menu < tools.patchmenus.count ? tools.patchmenus[menu] : nullptr;
    const std::int64_t item = truncated(value);
    if (record == nullptr || !std::isfinite(value) || item < 0
        || static_cast<std::uint64_t>(item) >= record->itemmap.count)
        return;
    const std::int32_t tag = record->itemmap[static_cast<std::uint64_t>(item)];
    if (tag > 0) // not a heading row
        postmodel(pevent{pevassignpatch, static_cast<float>(tag),
                         static_cast<std::int64_t>(model->selectedvoice.load()), tag - 1,
                         static_cast<std::int32_t>(model->modtarget)});
}

void pcontroller::idle()
{
    if (model == nullptr)
        return;
    entry hold(*this);
    applyquietevents();
    if (tools.editoropen != 0 && inidle == 0)
    {
        inidle = 1;
        pevent batch[peventqueue::capacity];
        const std::uint64_t n = model->guiqueue.drain(batch);
        for (std::uint64_t i = 0; i < n; ++i)
            applyguievent(batch[i]);
        inidle = 0;
    }
    // A page changed by a drain is drawn once the surface shows it.
    if (services.modeltick != nullptr && tools.builtpage == model->page)
        services.modeltick(*model);
}

// While the host calls no audio block, nothing else would apply the model commands: the
// tick applies them itself once pquietticks ticks have passed without a block.
void pcontroller::applyquietevents()
{
    const std::uint64_t blocks = model->blockcount.load(std::memory_order_relaxed);
    if (blocks != seenblocks)
    {
        seenblocks = blocks;
        quietticks = 0;
        return;
    }
    if (quietticks < pquietticks)
        ++quietticks;
    if (quietticks >= pquietticks)
        model->doidleevents();
}

void pcontroller::applyguievent(const pevent& event)
{
    pprojdata& m = *model;
    const std::int64_t t = truncated(event.value);
    const std::uint64_t voices = m.voices.count;
    const std::uint64_t lastvoice = voices > 0 ? voices - 1 : 0;
    switch (event.code)
    {
    case pevrebuildgui: rebuild(); break;
    case pevrefreshtwins:
        if (tools.editoropen != 0 && t >= 0 && static_cast<std::uint64_t>(t) < tools.controls.count)
            refreshtwins(static_cast<std::uint64_t>(t));
        break;
    case pevopenhome:
    case pevopenmanual:
        if (t == 1 && services.openaddress != nullptr)
            services.openaddress(event.code == pevopenhome ? pwebpages::home : pwebpages::manual);
        break;
    case pevvoicespage:
        if (t == 1)
        {
            m.page = ppagevoices;
            rebuild();
        }
        break;
    case pevselectvoice:
    {
        const std::uint64_t v = static_cast<std::uint64_t>(t > 1 ? t : 1) - 1;
        m.page = ppagevoices;
        m.selectedvoice = v < lastvoice ? v : lastvoice;
        rebuild();
        break;
    }
    case pevmixpage:
        if (t == 1)
        {
            m.page = ppagemix;
            rebuild();
        }
        break;
    case pevmixscroll:
    case pevmixscrollback:
        if (t == 1)
        {
            if (event.code == pevmixscroll && m.mixoffset + m.mixrows < voices)
                ++m.mixoffset;
            else if (event.code == pevmixscrollback && m.mixoffset > 0)
                --m.mixoffset;
            rebuild();
        }
        break;
    case pevnextvoice:
    case pevprevvoice:
        if (t == 1)
        {
            std::uint64_t v = m.selectedvoice;
            if (event.code == pevnextvoice)
                v = v + 1 < lastvoice ? v + 1 : lastvoice;
            else
                v = v > 0 ? v - 1 : 0;
            m.page = ppagevoices;
            m.selectedvoice = v;
            rebuild();
        }
        break;
    default:
        if (event.code >= pevopenchooser && event.code <= pevopenchooserlast && t != 0)
        {
            m.pendingkind = event.code;
            m.modtarget = event.value > 0.0f ? static_cast<std::uint64_t>(t - 1) : 0;
            rebuild();
        }
        break; // 92003, a 91001 the overflow rule left, unknown codes
    }
}

void pcontroller::refreshtwins(std::uint64_t index)
{
    const pkControl& s = *tools.controls[index];
    const pprojdata& m = *model;
    double shown = 0.0;
    double knob = 0.0;
    std::int32_t ownerkind = pownervoice;
    std::int32_t paramindex = pvoicepitch;
    if (m.page == ppagevoices)
    {
        const pparam* pitch =
            s.ownerindex >= 0 ? voiceparam(m, static_cast<std::uint64_t>(s.ownerindex), pvoicepitch) : nullptr;
        const pparam* selectedpitch = voiceparam(m, m.selectedvoice, pvoicepitch);
        if (pitch == nullptr || selectedpitch == nullptr || s.voice < 0)
            return;
        shown = (pitch->value - centre) * ppitchtextscale(voicemode(m, static_cast<std::uint64_t>(s.voice)));
        knob = selectedpitch->norm;
    }
    else
    {
        const ppatchmod* patch = delaypatch(m, s.ownerindex);
        if (patch == nullptr)
            return;
        const pparam* delay = patch->params[ppatchdelay];
        shown = delay->value;
        knob = delay->norm;
        ownerkind = pownerpatch;
        paramindex = static_cast<std::int32_t>(ppatchdelay);
    }

    costringa text = cofixed3(static_cast<float>(shown)).c_str();

    for (std::uint64_t i = 0; i < tools.controls.count; ++i)
    {
        pkControl* c = tools.controls[i];
        if (c == nullptr || c->ownerkind != ownerkind || c->paramindex != paramindex || c->ownerindex != s.ownerindex)
            continue;
        if (c->mode == pmodepitchtext && services.showtext != nullptr)
            services.showtext(*c, text.c_str());
        else if (c->mode == pmodepitchknob)
            c->setValue(static_cast<float>(knob));
    }
}

void pcontroller::mouseevent(int x, int y, int buttons, int kind)
{
    if (model == nullptr)
        return;
    entry hold(*this);
    if ((buttons & pmouseleft) == 0)
    {
        tools.strokecountdown = 0;
        return;
    }
    pprojdata& m = *model;
    if (m.page == ppageeq)
    {
        drawcurve(x, y);
    }
    else if (m.page == ppagevoices && kind == pmousepress && m.pendingkind >= 1)
    {
        const prect& r = tools.chooserrect;
        const bool inside = x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
        const bool pager = tools.chooserpages > 1 && y >= pchooserpagery && y < pchooserpagery + prowpitch;
        if (inside && pager && x < r.left + pchooserpagerw)
        {
            tools.chooserpage = tools.chooserpage > 0 ? tools.chooserpage - 1 : 0;
            m.guiqueue.post(pevrebuildgui, 1.0f);
        }
        else if (inside && pager)
        {
            tools.chooserpage = tools.chooserpage + 1 < tools.chooserpages ? tools.chooserpage + 1 : tools.chooserpage;
            m.guiqueue.post(pevrebuildgui, 1.0f);
        }
        else if (!inside)
        {
            m.pendingkind = 0;
            m.modtarget = 0;
            model->guiqueue.post(pevrebuildgui, 1.0f);
        }
    }
}

void pcontroller::drawcurve(int x, int y)
{
    pprojdata& m = *model;
    const prect& g = tools.graphrect;
    const std::uint64_t selected = m.selectedpatch;
    // Only an EQ patch has curve points; any other kind has no parameters 8..71.
    ppatchmod* patch = m.patchofkind(selected, pkindeq);
    if (x < g.left - pgraphmargin || x > g.right + pgraphmargin || y < g.top - pgraphmargin
        || y > g.bottom + pgraphmargin || patch == nullptr || patch->params.count < peqparamcount)
        return;
    const std::int64_t w = g.right - g.left;
    const std::int64_t h = g.bottom - g.top;
    if (w <= 0 || h <= 0)
        return;
    if (tools.strokecountdown <= 0)
        tools.strokelast = 0;

    std::int64_t dx = x - g.left;
    dx = dx < 0 ? 0 : (dx > w - 1 ? w - 1 : dx);
    std::int64_t dy = y - g.top;
    dy = dy > h - 1 ? h - 1 : dy;
    constexpr auto points = static_cast<std::int64_t>(peqcurvepoints);
    const std::int64_t i = dx * points / w;
    const double n = static_cast<double>(h - 1 - dy) / static_cast<double>(h);

    tools.strokecountdown = pstroketicks;
    ocarray::ArrayPtr<pparam>& params = patch->params;
    auto point = [&](std::int64_t j) { return params[ppatchcurvefirst + static_cast<std::uint64_t>(j)]; };
    point(i)->setnorm(n);

    if (tools.strokelast > 0)
    {
        const std::int64_t p = tools.strokelast - 1;
        const std::int64_t a = p < i ? p : i;
        const std::int64_t b = p < i ? i : p;
        if (b - a >= 2)
        {
            const double va = point(a)->value;
            const double vb = point(b)->value;
            for (std::int64_t j = 0; j <= b - a - 2; ++j)
            {
                const double t = static_cast<double>(j) / static_cast<double>(b - a - 1);
                point(a + 1 + j)->setnorm(clampto((1.0 - t) * va + t * vb, 0.0, 1.0));
            }
        }
    }

    // The graph is display data and follows at once; the gains the audio path reads are
    // recomputed on the audio thread, where their buffer lives.
    m.recalcpatchgraph(selected);
    postmodel(pevent{pevrecalcpatch, 0.0f, -1, static_cast<std::int64_t>(selected)});
    tools.strokelast = static_cast<std::int32_t>((i < points - 2 ? i : points - 2) + 1);
}
