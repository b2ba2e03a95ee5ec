#include "dsp/pbkpitchshift.h"

#include "dsp/rdft.h"
#include "foundation/comath.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

namespace
{
using comath::pi;

constexpr std::int64_t baseFftSize = 2048;
constexpr std::int64_t baseHopSize = 256;
constexpr std::int64_t baseLevelStart = 640;
constexpr std::int64_t baseLevelCount = 768;
constexpr std::int64_t baseHistoryLength = 8192;
constexpr std::int64_t baseHistoryHalf = 4096;

constexpr double dcBlockerCutoffHz = 5.0;
constexpr double attackFollowerHz = 60.0;
constexpr double releaseFollowerHz = 22.0;
constexpr double slowFollowerHz = 0.27;

constexpr std::int64_t onsetWindowLength = 3000; // samples, the same at every rate

pbkcoefpair followerPair(double cornerHz, double sampleRate)
{
    const double keep = std::exp(-2 * pi * cornerHz / sampleRate);
    return {keep, 1 - keep};
}

void sizeAndZero(pbkbuffer<double>& buffer, std::int64_t n)
{
    buffer.resize(static_cast<std::uint64_t>(n));
    buffer.zero();
}
} // namespace

void pbkdryring::rebuilddry(std::uint64_t length)
{
    releasedry();
    if (length > 0)
    {
        drydata = new double[length]();
        dryowned = 1;
    }
    dryringlength = length;
    drycapacity = length;
    if (drywritepos >= length)
        drywritepos = length > 0 ? length - 1 : 0;
}

void pbkdryring::releasedry()
{
    if (dryowned != 0)
        delete[] drydata;
    drydata = nullptr;
    dryowned = 0;
}

void pbkpitchshift::init(double sampleRate)
{
    if (!std::isfinite(sampleRate) || sampleRate < 1.0)
        return;

    samplerate = sampleRate;
    inputlevel = 0;
    std::fill(std::begin(hoplevels), std::end(hoplevels), 0.0);
    soundstarting = 0;
    setsizes(sampleRate);
    designdcblocker();
    setfollowers();
    clearonsetstate();
    buildwindows();
    sizeframebuffers();
    framefill = refillpos;
    framegap = 0;
    windowrotation = 0;
    detectiongate = 0;
    detectednote = 0;
    setrates();
    buildffttables();
    clearbuses();
    wantpitch = 0;
    ratiochanges = 0;
}

void pbkpitchshift::setsizes(double sampleRate)
{
    const std::int64_t k = sampleRate >= pbkdoublesizerate ? 2 : 1;
    levelstart = baseLevelStart * k;
    levelcount = baseLevelCount * k;
    fftsize = baseFftSize * k;
    hopsize = baseHopSize * k;
    windowlength = fftsize;
    overlapsize = fftsize - hopsize;
    halfsize = fftsize / 2;
    framesize = fftsize;
    refillpos = fftsize - hopsize;
    shortdrylength = fftsize - 2 * hopsize;
    spectrumlength = fftsize;
    historyhalf = baseHistoryHalf * k;
}

// The filter memory runs on: a redesign only rewrites the coefficients.
void pbkpitchshift::designdcblocker()
{
    dcblocker.design(Dsp::ButterworthFilter::Kind::highPass, dcBlockerCutoffHz / samplerate);
}

// The follower states run on; the frame picks the fast follower's pair before each step.
void pbkpitchshift::setfollowers()
{
    attackcoef = followerPair(attackFollowerHz, samplerate);
    releasecoef = followerPair(releaseFollowerHz, samplerate);
    slowpair = followerPair(slowFollowerHz, samplerate);
    inonset = 0;
}

void pbkpitchshift::clearonsetstate()
{
    const std::uint64_t historyLength = static_cast<std::uint64_t>(baseHistoryLength * (fftsize / baseFftSize));
    onsetmarks.resize(historyLength);
    onsetmarks.zero();
    history.resize(historyLength);
    history.zero();

    onsetwidth = onsetWindowLength;
    onsetwindow.resize(static_cast<std::uint64_t>(onsetwidth));
    // Hann weights that stop short of 0 at both ends.
    for (std::int64_t i = 0; i < onsetwidth; ++i)
        onsetwindow[static_cast<std::uint64_t>(i)] =
            0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i + 1) / static_cast<double>(onsetwidth + 1));
    historypos = 0;
    onsethalfwidth = onsetwidth / 2;
}

// Welch window, symmetric about the middle of the frame: 1 at the two middle samples, 0 at the
// two ends.
void pbkpitchshift::buildwindows()
{
    analysiswindow.resize(static_cast<std::uint64_t>(framesize));
    const std::int64_t half = framesize / 2;
    for (std::int64_t j = 0; j < half; ++j)
    {
        const double x = static_cast<double>(j) / static_cast<double>(half - 1);
        const double w = 1 - x * x;
        analysiswindow[static_cast<std::uint64_t>(half + j)] = w;
        analysiswindow[static_cast<std::uint64_t>(half - 1 - j)] = w;
    }
}

// Work buffers whose contents every frame overwrites before reading are sized but not cleared.
void pbkpitchshift::sizeframebuffers()
{
    sizeAndZero(inputframe, framesize);
    sizeAndZero(lastphase, halfsize);
    spectrum.resize(static_cast<std::uint64_t>(fftsize));
    synthspectrum.resize(static_cast<std::uint64_t>(fftsize));
    pitchframe.resize(static_cast<std::uint64_t>(fftsize));
    envelope.resize(static_cast<std::uint64_t>(fftsize));
}

void pbkpitchshift::setrates()
{
    hoprate = samplerate / static_cast<double>(hopsize);
    binwidth = samplerate / static_cast<double>(fftsize);
    phaseadvance = 2 * pi * static_cast<double>(hopsize) / static_cast<double>(fftsize);
}

// Built once here for N, so the transforms of the frame never rebuild them.
void pbkpitchshift::buildffttables()
{
    const int n = static_cast<int>(fftsize);
    fftip[0] = 0;
    fftip[1] = 0;
    makewt(n / 4, fftip, fftw);
    makect(n / 4, fftip, fftw + n / 4);
}

void pbkpitchshift::clearbuses()
{
    busspectra.clearAndDestroy();
    busoutputs.clearAndDestroy();
}

void pbkpitchshift::addbuffer()
{
    auto spectrumBuffer = std::make_unique<pbkbuffer<double>>();
    sizeAndZero(*spectrumBuffer, fftsize);
    auto outputBuffer = std::make_unique<pbkbuffer<double>>();
    sizeAndZero(*outputBuffer, framesize);

    busspectra.append(spectrumBuffer.get());
    spectrumBuffer.release();
    busoutputs.append(outputBuffer.get());
    outputBuffer.release();
}
