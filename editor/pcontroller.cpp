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
    rebuild();
    return true;
}

// The widgets go with the window, on the thread that closes it. Left in the control list
// they would be deleted with the processor, on whatever thread the host ends the instance:
// with JUCE's Linux VST 2 client that is no longer the plug-in's message thread once the
// editor is closed, and a widget's running timer (a knob's value popup, a field's caret)
// could fire into a widget being deleted. The next open builds the surface anew anyway.
// Control events still queued for the audio thread then name no control; the resync that
// follows them recomputes every patch there, as a queue overflow does.
void pcontroller::close()
{
    entry hold(*this);
    tools.editoropen = 0;
    if (model == nullptr || services.teardown == nullptr)
        return;
    services.teardown(*model);
    audioqueue.post(pevloadstate, 1.0f);
}

void pcontroller::rebuild()
{
    if (model != nullptr && services.rebuild != nullptr)
        services.rebuild(*model);
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
    else
        guiqueue.post(code, value);
}

void pcontroller::internalevent(int code, float value)
{
    if (code < 0 || (code >= pevcontrollimit && code < pevmodelfirst) || code > pevmodellast || model == nullptr)
        return;
    entry hold(*this);
    if (code < pevcontrollimit)
    {
        controlevent(code, value);
        return;
    }
    if (code == pevpatchtype || code == pevpatchshape || code == pevadjustmode)
    {
        patchradioevent(code, value);
    }
    else if (code == pevvoicemode || code == pevvoicemode2)
    {
        const std::uint64_t param = code == pevvoicemode ? pvoicemode : pvoicemode2;
        if (const pparam* written = model->setvoiceradio(code, value, model->selectedvoice, param))
            tools.lightradio(code, written->intvalue);
        guiqueue.post(pevrebuildgui, 1.0f);
    }
    audioqueue.post(code, value);
}

void pcontroller::controlevent(std::int32_t code, float value)
{
    const auto index = static_cast<std::uint64_t>(code);
    if (index >= tools.controls.count || tools.controls[index] == nullptr)
    {
        audioqueue.post(code, value);
        guiqueue.post(pevbadcontrol, static_cast<float>(code));
        return;
    }
    pkControl& c = *tools.controls[index];
    pprojdata& m = *model;
    pparam* p = boundparam(m, c);
    const bool textfield = c.getType() == pctltext;
    auto fieldnumber = [&]() {
        costringa text;
        if (!textfield || services.readtext == nullptr || !services.readtext(c, text))
            return 0.0;
        return ptextnumber(text.c_str());
    };
    const std::uint64_t selected = m.selectedvoice;

    if (p != nullptr && p->control == pconmenu && c.mode == pmodevalue)
    {
        p->setvalue(value);
    }
    else if (c.mode == pmodevalue)
    {
        if (p != nullptr && p->control == pcontextfield)
            p->setvalue(static_cast<float>(fieldnumber()));
        else if (p != nullptr)
            p->setnorm(value);
    }
    else if (c.mode == pmodepitchknob || c.mode == pmodepitchtext || c.mode == pmodefinepitch)
    {
        if (c.ownerkind == pownervoice)
        {
            if (pparam* pitch = voiceparam(m, selected, pvoicepitch))
            {
                double n = value;
                if (c.mode == pmodepitchknob && voicemode(m, selected) == 0)
                    n = std::floor(n * pitchspan24 + centre) / pitchspan24;
                else if (c.mode == pmodepitchtext)
                    n = fieldnumber() / ppitchtextscale(voicemode(m, selected)) + centre;
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
            if (c.mode == pmodepitchknob)
                delay->setnorm(value);
            else if (c.mode == pmodepitchtext)
                delay->setvalue(fieldnumber());
            else
                delay->setnorm((value - centre) * finepitchspan + patch->coarsedelay);
            if (c.mode != pmodefinepitch)
                patch->coarsedelay = delay->norm;
        }
        guiqueue.post(pevrefreshtwins, static_cast<float>(code));
    }
    audioqueue.post(code, value);
}

void pcontroller::patchradioevent(std::int32_t code, float value)
{
    const std::uint64_t k = ppatchradioparam(code);
    ppatchmod* s = model->patchat(model->selectedpatch);
    if (s == nullptr || s->params.count <= k)
        return;
    ocarray::ArrayPtr<pparam>& params = s->params;
    if (value > 0.0f)
        params[k]->setvalue(static_cast<double>(value) - 1.0);

    // A modulator given a new source starts from that source's own settings. The running
    // state (outputs, follower set-up, filter memory) belongs to the audio thread: the
    // dispatcher clears it when this event reaches it, and recomputes the patch there too.
    if (k == ppatchsource && model->page == ppagemodulator && params.count > ppatchadjustmode)
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
}

void pcontroller::idle()
{
    if (tools.editoropen != 0 && inidle == 0 && model != nullptr)
    {
        entry hold(*this);
        inidle = 1;
        pevent batch[peventqueue::capacity];
        const std::uint64_t n = guiqueue.drain(batch);
        for (std::uint64_t i = 0; i < n; ++i)
            applyguievent(batch[i]);
        inidle = 0;
    }
    if (model != nullptr && services.modeltick != nullptr)
    {
        entry hold(*this);
        services.modeltick(*model);
    }
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
            guiqueue.post(pevrebuildgui, 1.0f);
        }
        else if (inside && pager)
        {
            tools.chooserpage = tools.chooserpage + 1 < tools.chooserpages ? tools.chooserpage + 1 : tools.chooserpage;
            guiqueue.post(pevrebuildgui, 1.0f);
        }
        else if (!inside)
        {
            m.pendingkind = 0;
            m.modtarget = 0;
            guiqueue.post(pevrebuildgui, 1.0f);
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
    audioqueue.post(pevrecalcpatch, static_cast<float>(selected + 1));
    tools.strokelast = static_cast<std::int32_t>((i < points - 2 ? i : points - 2) + 1);
}
