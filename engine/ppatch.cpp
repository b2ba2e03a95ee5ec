#include "engine/ppatch.h"
#include "engine/patchparams.h"
#include "engine/pdisplaydata.h"
#include "engine/pprojdata.h"

#include <algorithm>
#include <cmath>

namespace
{
// EQ curves span +-12 dB around unity.
constexpr double eqspandb = 24.0;
constexpr double eqfloordb = -12.0;
constexpr double dbtoexponent = 0.05; // gain = 10^(dB / 20)

// The display curve is smoothed by a running RMS over this many columns.
constexpr int graphsmoothcolumns = 15;
constexpr double graphsilence = 1e-6;
} // namespace

const double pprojdata::scales[3][pharmonysteps] = {
    {4, 4, 3, 3, 3, 4, 4, 4, 4, 3, 3, 3}, // thirds of the major scale
    {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 6}, // fifths
    {9, 9, 9, 9, 8, 9, 9, 9, 9, 8, 8, 8}, // sixths
};

void ppatchchannel::resetbuffer(std::uint64_t n)
{
    if (bufferlength != n || (n > 0 && !buffer))
    {
        buffer.reset(n > 0 ? new double[n]() : nullptr);
        bufferlength = n;
        return; // fresh elements start at zero
    }
    for (std::uint64_t i = 0; i < n; ++i)
        buffer[i] = 0.0;
}

pparam* ppatchfx::newparam(double min, double max, double value, pparamcon control, pparamtype type, const char* name,
                           std::uint64_t style)
{
    auto* p = new pparam;
    p->type = type;
    p->control = control;
    p->style = style;
    p->min = min;
    p->range = max - min;
    p->name.assign(name != nullptr ? name : "");
    p->setvalue(value);
    params.append(p);
    return p;
}

ppatchmod::ppatchmod(std::int32_t patchkind)
{
    kind = static_cast<std::uint64_t>(patchkind);

    // Initial "Amplitude 1", interval set or source, and shape or key, by kind.
    double a = 0.0, b = 0.0, c = 0.0;
    switch (patchkind)
    {
    case pkindmodulator: a = 0.5, b = 0.0, c = 1.0; break;
    case pkinddelay: a = 0.0, b = 1.0, c = 1.0; break;
    case pkindeq: a = 0.5, b = 1.0, c = 1.0; break;
    default: break; // harmony: 0, 0, 0
    }

    constexpr double menumax = 99.0;
    constexpr double speedmax = 10.0;
    const bool harmony = patchkind == pkindharmony;
    newparam(0.0, 1.0, a, pconknob, pparamlinear, harmony ? "Smooth" : "Amplitude 1");
    pparam* second = newparam(0.0, 1.0, 0.0, pconknob, pparamlinear, harmony ? "Detune" : "Amplitude 2");
    newparam(0.0, menumax, b, pconmenu, pparamint, "");
    newparam(0.0, menumax, c, pconmenu, pparamint, "");
    newparam(0.0, speedmax, 0.5, pconknob, pparamlinear, "Speed");

    switch (patchkind)
    {
    case pkindmodulator:
        newparam(0.0, 3.0, 0.0, pconmenu, pparamint, "Adjustment Mode");
        newparam(0.0, 127.0, 0.0, pconmenu, pparamint, "MIDI CC");
        newparam(0.0, 127.0, 0.0, pconmenu, pparamint, "Host Parameter", 1);
        break;
    case pkinddelay:
        newparam(0.0, 1.0, 0.05, pconknob, pparamlinear, "Delay", 1);
        newparam(0.0, 1.0, 0.0, pconknob, pparamlinear, "Delay Feedback");
        newparam(0.0, 1.0, 1.0, pconknob, pparamlinear, "Delay Mix");
        break;
    case pkindeq:
        newparam(0.0, 1.0, 0.0, pconknob, pparamlinear, "");
        newparam(0.0, 1.0, 0.05, pconknob, pparamlinear, "");
        newparam(0.0, 1.0, 1.0, pconknob, pparamlinear, "");
        for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
            newparam(0.0, 1.0, 0.5, pconknob, pparamlinear, "");
        break;
    case pkindharmony:
        second->setnorm(0.5); // "Detune" centred
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            newparam(-24.0, 24.0, 4.0, pcontextfield, pparamlinear, "");
        break;
    default: break;
    }
}

std::uint64_t pprojdata::newvoice()
{
    auto* v = new pparvoice;
    newparam(v->params, 1.0, 0.5, false, pconknob, pparamlinear, "Pitch", 1);
    newparam(v->params, 1.55324431506512, 0.5, true, pconknob, pparamlog, "Volume", 0);
    newparam(v->params, 2.0, 1.0, false, pconknob, pparamlinear, "Pan", 0); // centre
    newparam(v->params, 4.0, 0.0, false, pconmenu, pparamint, "Mode", 0);
    newparam(v->params, 1.0, 0.5, false, pconknob, pparamlinear, "Formant Scale", 0);
    newparam(v->params, 1.0, 0.5, false, pconknob, pparamlinear, "Formant Shift", 0);
    newparam(v->params, 4.0, 0.0, false, pconmenu, pparamint, "Mode2", 0);
    voices.append(v);
    voicecountchanged(false);
    return voices.count - 1;
}

std::uint64_t pprojdata::newpatch(bool reuse, int kind)
{
    if (kind == -1)
        kind = pendingkind;
    if (!ispatchkind(kind))
        return patches.count; // names no patch: callers' lookups find nothing

    auto* patch = new ppatchmod(kind);
    std::uint64_t index = patches.count;
    if (reuse)
    {
        for (std::uint64_t i = 0; i < patches.count; ++i)
        {
            if (patches[i]->refcount == 0)
            {
                index = i;
                break;
            }
        }
    }
    if (index < patches.count)
    {
        delete patches.data[index];
        patches.data[index] = patch;
    }
    else
    {
        patches.append(patch);
    }
    recalcpatchstate(index);
    return index;
}

pparvoice* pprojdata::voiceat(std::uint64_t index) const
{
    return index < voices.count ? voices[index] : nullptr;
}

ppatchmod* pprojdata::patchat(std::uint64_t index) const
{
    return index < patches.count ? patches[index] : nullptr;
}

ppatchmod* pprojdata::patchofkind(std::uint64_t index, std::int32_t kind) const
{
    ppatchmod* p = patchat(index);
    return (p != nullptr && p->kind == static_cast<std::uint64_t>(kind)) ? p : nullptr;
}

void pprojdata::assignpatch(int kind, std::uint64_t voice, std::uint64_t patch, std::int64_t target)
{
    pparvoice* v = voiceat(voice);
    ppatchmod* p = patchofkind(patch, kind);
    if (v == nullptr || p == nullptr || !ispatchkind(kind))
        return;

    // A delay patch not yet in use, when the cap of delay lines is reached, stays unassigned.
    if (kind == pkinddelay && p->refcount == 0 && delaypatchesinuse() >= maxdelaylines)
        return;

    if (kind != pkindmodulator)
    {
        // A voice holds at most one delay, one EQ and one harmony patch.
        for (std::uint64_t i = 0; i < v->assignments.count; ++i)
        {
            const ppatchassign* a = v->assignments[i];
            if (a->kind == kind && a->patch == patch)
                return; // already assigned
        }
        for (std::uint64_t i = 0; i < v->assignments.count; ++i)
        {
            if (v->assignments[i]->kind != kind)
                continue;
            ppatchassign* older = v->assignments.remove(i);
            if (ppatchmod* released = patchat(older->patch); released != nullptr && released->refcount > 0)
                --released->refcount;
            delete older;
            break;
        }
        target = 0;
    }

    auto* record = new ppatchassign;
    record->kind = kind;
    record->patch = patch;
    record->target = target;
    record->amount = 1.0;
    v->assignments.append(record);
    ++p->refcount;
}

std::uint64_t pprojdata::delaypatchesinuse() const
{
    std::uint64_t inuse = 0;
    for (std::uint64_t i = 0; i < patches.count; ++i)
        inuse += patches[i]->kind == pkinddelay && patches[i]->refcount > 0 ? 1 : 0;
    return inuse;
}

std::uint64_t pprojdata::delaylinebytes() const
{
    const auto line = static_cast<std::uint64_t>(pdelaylineseconds * samplerate());
    std::uint64_t doubles = 0;
    for (std::uint64_t i = 0; i < patches.count; ++i)
    {
        const ppatchmod* p = patches[i];
        if (p->kind != pkinddelay)
            continue;
        for (const ppatchchannel& c : p->channels)
            doubles += p->refcount > 0 ? std::max(line, c.bufferlength) : c.bufferlength;
    }
    return doubles * sizeof(double);
}

void pprojdata::recalcpatchstate(std::uint64_t index)
{
    ppatchmod* p = patchat(index);
    if (p == nullptr)
        return;
    ppatchchannel& ch0 = p->channels[0];

    if (p->kind == pkindharmony && p->params.count >= pharmonyparamcount)
    {
        const std::int32_t set = p->params[ppatchsource]->intvalue;
        if (set >= 0 && set <= 2)
            for (std::uint64_t j = 0; j < pharmonysteps; ++j)
                p->params[ppatchintervalfirst + j]->setvalue(scales[set][j]);
        if (ch0.modstarted == 0)
        {
            p->channels[0].resetbuffer(pharmonysteps);
            p->channels[1].resetbuffer(pharmonysteps);
            ch0.modstarted = 1;
        }
        for (std::uint64_t j = 0; j < pharmonysteps && j < ch0.bufferlength; ++j)
        {
            const double semitones = p->params[ppatchintervalfirst + j]->value;
            ch0.buffer[j] = std::pow(2.0, semitones / psemitonesperoctave);
        }
    }
    else if (p->kind == pkindeq && p->params.count >= peqparamcount)
    {
        if (ch0.modstarted == 0)
        {
            const auto half = static_cast<std::uint64_t>(engines[0].fftsize / 2);
            p->channels[0].resetbuffer(half);
            p->channels[1].resetbuffer(half);
            ch0.modstarted = 1;
        }
        const std::uint64_t n = ch0.bufferlength;
        const std::uint64_t used = axiscount < n ? axiscount : n;
        double gain = 1.0;
        for (std::uint64_t k = 0; k < used; ++k)
        {
            const double x = freqaxis[k] * static_cast<double>(peqcurvepoints);
            auto i = static_cast<std::int64_t>(x);
            if (i < 0)
                i = 0;
            if (i > static_cast<std::int64_t>(peqcurvepoints) - 1)
                i = static_cast<std::int64_t>(peqcurvepoints) - 1;
            const double f = x - static_cast<double>(i);
            const auto next = i + 1 < static_cast<std::int64_t>(peqcurvepoints) ? i + 1 : i;
            const double lo = p->params[ppatchcurvefirst + i]->norm;
            const double hi = p->params[ppatchcurvefirst + next]->norm;
            const double db = (f * hi + (1.0 - f) * lo) * eqspandb + eqfloordb;
            gain = std::pow(10.0, db * dbtoexponent);
            ch0.buffer[k] = gain;
        }
        // Bins above the axis (above 22.05 kHz) keep the last gain.
        for (std::uint64_t k = used; k < n; ++k)
            ch0.buffer[k] = gain;
    }
}

void pprojdata::recalcpatchgraph(unsigned long index)
{
    ppatchmod* p = patchofkind(index, pkindeq);
    if (p == nullptr || p->params.count < peqparamcount || display == nullptr)
        return;

    constexpr int side = static_cast<int>(pgraphside);
    std::int32_t height[pgraphside];
    for (int c = 0; c < side; ++c)
    {
        const double pos = static_cast<double>(c) / side * static_cast<double>(peqcurvepoints);
        const auto k = static_cast<std::uint64_t>(pos);
        const double f = pos - static_cast<double>(k);
        const double a = p->params[ppatchcurvefirst + k]->value;
        const double b = p->params[ppatchcurvefirst + (k + 1 < peqcurvepoints ? k + 1 : k)]->value;
        height[c] = static_cast<std::int32_t>((a * (1.0 - f) + b * f) * side);
    }

    // Running RMS, seeded as if the first column had been there all along.
    double ring[graphsmoothcolumns];
    const double firstsquare = static_cast<double>(height[0]) * height[0];
    for (int i = 0; i < graphsmoothcolumns - 1; ++i)
        ring[i] = firstsquare;
    ring[graphsmoothcolumns - 1] = 0.0;
    double sum = (graphsmoothcolumns - 1) * firstsquare;
    int pos = 0;
    for (int c = 0; c < side; ++c)
    {
        const double square = static_cast<double>(height[c]) * height[c];
        sum -= ring[pos];
        ring[pos] = square;
        sum += square;
        if (sum < 0.0)
            sum = 0.0;
        height[c] = sum > graphsilence ? static_cast<std::int32_t>(std::sqrt(sum / graphsmoothcolumns)) : 0;
        pos = (pos + 1) % graphsmoothcolumns;
    }

    for (int c = 0; c < side; ++c)
        display->graphpixels[c] = height[c];
}

pparam* pprojdata::setvoiceradio(int code, double value, std::uint64_t voice, std::uint64_t param)
{
    if (!(value > 0.0))
        return nullptr;
    pparam* p = nullptr;
    if (code == pevmonostereo)
    {
        p = globalparam(param);
    }
    else if (pparvoice* v = voiceat(voice); v != nullptr && param < v->params.count)
    {
        p = v->params[param];
    }
    if (p == nullptr)
        return nullptr;
    p->setvalue(value - 1.0);
    return p;
}
