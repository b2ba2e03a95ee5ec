#include "engine/pprojdata.h"

#include "engine/modulators.h"
#include "engine/pdisplaydata.h"

#include <cmath>

namespace
{
// Envelope follower thresholds of each engine.
constexpr double envupperdefault = 0.22;
constexpr double envlowerdefault = 0.1694;

// The EQ axis covers nine octaves below F: F = 22.05 kHz, or sr / 2 at 44100 Hz and below.
constexpr double axisreferencerate = 44100.0;
constexpr double axisoctaves = 9.0;
// Bins 1 and 2 would fall below the axis floor; they take fractions of bin 3's position.
constexpr double axisbin1fraction = 0.25;
constexpr double axisbin2fraction = 0.5;
} // namespace

pprojdata::pprojdata()
{
    for (pbkpitchshift& e : engines)
    {
        e.randmultiplier = pmodsource::randmultiplierdefault;
        e.randincrement = pmodsource::randincrementdefault;
        e.envupper = envupperdefault;
        e.envlower = envlowerdefault;
    }
}

// Members go in reverse order: pending text, mutex, MIDI records, engines, patches, voices,
// global parameters.
pprojdata::~pprojdata() = default;

void pprojdata::initpbm(double sampleRate)
{
    // A new instance starts at 44100 Hz; a rate that cannot be one keeps the current rate.
    const double sr = (std::isfinite(sampleRate) && sampleRate >= 1.0) ? sampleRate : currentrate;
    currentrate = sr;

    for (pbkpitchshift& e : engines)
    {
        e.enginerate = sr;
        e.init(sr);
    }
    engineset = true; // the engine's set-up leaves the dry rings to the audio path

    if (display != nullptr)
        for (auto& pixel : display->graphpixels)
            pixel = 0;

    if (voices.count > 0)
        voicecountchanged(true);
    else
        newvoice();

    selectedvoice = 0;
    selectedpatch = 0;
    modtarget = 0;
    page = ppagevoices;

    // Log-frequency axis.
    const double half = static_cast<double>(engines[0].fftsize / 2);
    const double share = sr > axisreferencerate ? axisreferencerate / sr : 1.0;
    std::uint64_t d = static_cast<std::uint64_t>(half * share);
    if (d > paxiscapacity)
        d = paxiscapacity;
    axiscount = d;
    for (double& entry : freqaxis)
        entry = 0.0;
    const double dd = static_cast<double>(d);
    auto position = [dd](double k) { return (std::log2(k / dd) + axisoctaves) / axisoctaves; };
    if (d > 1)
        freqaxis[1] = axisbin1fraction * position(3.0);
    if (d > 2)
        freqaxis[2] = axisbin2fraction * position(3.0);
    for (std::uint64_t k = 3; k < d; ++k)
        freqaxis[k] = position(static_cast<double>(k));

    // EQ and harmony buffers follow the new FFT size and axis; modulators and delays set
    // themselves up again on their next hop.
    for (std::uint64_t i = 0; i < patches.count; ++i)
    {
        patches[i]->channels[0].modstarted = 0;
        patches[i]->channels[1].modstarted = 0;
        recalcpatchstate(i);
    }

    if (display != nullptr)
        display->historystep = static_cast<double>(phistoryslots) / (phistoryseconds * sr);
}

void pprojdata::voicecountchanged(bool rebuild)
{
    voicecount = voices.count;
    for (pbkpitchshift& e : engines)
    {
        if (e.voicestates.count > voices.count || rebuild)
            e.voicestates.clearAndDestroy();
        while (e.voicestates.count < voices.count)
        {
            auto* record = new pbkvoicestate; // ratio, last ratio and harmony ratio 1.0
            record->phases.resize(static_cast<std::uint64_t>(e.halfsize));
            e.voicestates.append(record);
        }
    }

    if (mixoffset + mixrows > voices.count)
        mixoffset = voices.count < mixrows ? 0 : voices.count - mixrows;
}
