// The state of one channel's phase vocoder: sizes chosen from the sample rate, windows, FFT work
// area, analysis/synthesis/envelope buffers, one synthesis record per voice, one pair of buffers
// per output bus, the dry ring, the onset and pitch detectors' state, and the modulators'
// per-channel scratch. The engine itself only sets all this up (init) and adds buses
// (addbuffer); the model's audio path reads and writes the fields directly.
#pragma once

#include "dsp/cascade.h"
#include "foundation/ocarray.h"

#include <cstdint>

// A by-value array, sized exactly: capacity is the number of elements of storage (0: none),
// count the number in use.
template <typename T>
struct pbkbuffer
{
    std::uint64_t count = 0;
    std::uint64_t capacity = 0;
    T* data = nullptr;

    pbkbuffer() = default;
    pbkbuffer(const pbkbuffer&) = delete;
    pbkbuffer& operator=(const pbkbuffer&) = delete;
    ~pbkbuffer() { delete[] data; }

    // count := n. Storage is replaced only when its size differs from n: exactly n elements,
    // the old ones up to n carried over, any further ones zero. Same size: nothing allocated.
    void resize(std::uint64_t n)
    {
        if (n != capacity)
        {
            T* block = n > 0 ? new T[n]() : nullptr;
            const std::uint64_t kept = count < n ? count : n;
            for (std::uint64_t i = 0; i < kept; ++i)
                block[i] = data[i];
            delete[] data;
            data = block;
            capacity = n;
        }
        count = n;
    }

    void zero()
    {
        for (std::uint64_t i = 0; i < count; ++i)
            data[i] = T();
    }

    T& operator[](std::uint64_t i) { return data[i]; }
    const T& operator[](std::uint64_t i) const { return data[i]; }
};

// One voice's synthesis record on one channel: written by the voice control before each frame,
// read and updated by the synthesis.
struct pbkvoicestate
{
    double ratio = 1.0;       // pitch ratio for the current hop
    double lastratio = 1.0;   // the previous frame's ratio; a difference marks a ratio change
    double gain = 0;          // output gain for this channel (volume and pan law)
    pbkbuffer<double> phases; // synthesis phase accumulator per bin, N/2 long
    std::int32_t mode2 = 0;   // onset crossfade mode, 0 = off
    double formantfactor = 0;
    double formantamount = 0;             // 0..1
    std::uint64_t bus = 0;                // output bus, 0 = no delay patch
    const double* eqgains = nullptr;      // per-bin gains of the voice's EQ patch, or none
    const double* harmonytable = nullptr; // twelve ratios of the voice's harmony patch, or none
    double glidestep = 0;
    double harmonyratio = 1.0;
    double keyoffset = 0; // semitones
};

// Per output bus b: busspectra[b] (N doubles) sums the spectra of the voices on bus b,
// busoutputs[b] (framesize doubles) is its overlap-add output. Both lists are always the same
// length; buses are numbered in order of addition.
struct pbkbusbuffers
{
    ocarray::ArrayPtr<pbkbuffer<double>> busspectra;
    ocarray::ArrayPtr<pbkbuffer<double>> busoutputs;
};

// The ring that delays the dry input. Sized by the audio path when the dry length changes.
struct pbkdryring
{
    std::uint64_t drywritepos = 0;
    std::uint64_t dryringlength = 0;
    std::uint64_t drycapacity = 0;
    double* drydata = nullptr;
    std::uint8_t dryowned = 0; // drydata was allocated here and is freed here

    pbkdryring() = default;
    pbkdryring(const pbkdryring&) = delete;
    pbkdryring& operator=(const pbkdryring&) = delete;
    ~pbkdryring() { releasedry(); }

    // New zeroed storage of length doubles in place of the old; the write position is pulled
    // back inside the ring when it no longer fits.
    void rebuilddry(std::uint64_t length);
    void releasedry();
};

// A one-pole follower's coefficient pair: y := x * take + y * keep + 1e-10, keep = a, take = 1 - a.
struct pbkcoefpair
{
    double keep = 0;
    double take = 0;
};

// Sizes by sample rate: factor k = 2 from this rate on, else 1; N = 2048k, H = 256k.
inline constexpr double pbkdoublesizerate = 96000.0;
// The binsmoother's cutoff as a fraction of the sample rate, the same at every rate.
inline constexpr double pbkbinsmoothercutoff = 8000.0 / 44100.0;

struct pbkpitchshift : pbkbusbuffers, pbkdryring
{
    static constexpr int fftipsize = 66;   // 2 + sqrt(8192 / 2)
    static constexpr int fftwsize = 10240; // more than N/2 for every N used
    static constexpr int yintablesize = 2048;

    // FFT work area, built for N by init.
    std::int64_t spectrumlength = 0;
    int fftip[fftipsize] = {};
    double fftw[fftwsize] = {};

    pbkbuffer<double> analysiswindow;             // framesize: Welch window
    pbkbuffer<double> inputframe;                 // framesize: newest sample last
    pbkbuffer<double> lastphase;                  // N/2: previous frame's analysis phase per bin
    pbkbuffer<double> spectrum;                   // N: packed, then magnitude/phase pairs
    pbkbuffer<double> synthspectrum;              // N
    ocarray::ArrayPtr<pbkvoicestate> voicestates; // one per voice, in voice order
    pbkbuffer<double> envelope;                   // N: cepstrum and spectral envelope
    // busspectra, busoutputs: pbkbusbuffers. drywritepos .. dryowned: pbkdryring.

    Dsp::ButterworthFilter binsmoother; // low-pass along the bins, designed every frame

    // Sizes.
    std::int64_t fftsize = 0;        // N
    std::int64_t hopsize = 0;        // H
    std::int64_t overlapsize = 0;    // N - H
    std::int64_t halfsize = 0;       // N / 2
    std::int64_t framesize = 0;      // N
    std::int64_t refillpos = 0;      // N - H
    std::int64_t windowlength = 0;   // N
    std::int64_t shortdrylength = 0; // N - 2H
    std::int64_t framefill = 0;      // write index into inputframe
    // Samples beyond one hop between the previous frame and the next: non-zero only for the
    // first frame after the hop schedule restarted with input pending (see the block driver).
    std::int64_t framegap = 0;
    std::int64_t windowrotation = 0;

    // Rates.
    double hoprate = 0;      // frames per second
    double binwidth = 0;     // Hz per bin
    double phaseadvance = 0; // 2 pi H / N
    double samplerate = 0;

    pbkbuffer<double> pitchframe; // N

    // Pitch detection.
    double detectiongate = 0;
    double detectednote = 0; // semitones, 0 at C0
    std::uint8_t wantpitch = 0;

    // Onset detector.
    std::uint8_t inonset = 0;
    std::int64_t historypos = 0;
    std::int64_t historyhalf = 0;    // 4096k
    std::int64_t onsethalfwidth = 0; // 1500
    pbkbuffer<int> onsetmarks;       // 8192k
    pbkbuffer<double> history;       // 8192k
    double filteredsample = 0;       // per-sample scratch: the high-passed input
    double followeroutput = 0;       // per-sample scratch: the latest follower value
    std::int64_t onsetwidth = 0;     // 3000
    pbkbuffer<double> onsetwindow;   // 3000 Hann weights

    Dsp::ButterworthFilter dcblocker; // 5 Hz high-pass on the onset detector's input

    // Onset detector's envelope followers.
    pbkcoefpair* fastcoef = nullptr; // attackcoef or releasecoef
    double faststate = 0;
    pbkcoefpair attackcoef;
    pbkcoefpair releasecoef;
    pbkcoefpair* slowcoef = &slowpair;
    double slowstate = 0;
    pbkcoefpair slowpair;

    std::int32_t ratiochanges = 0;

    // Set: the frame runs the plain computations in place of its fast paths (vectorised
    // arctangent and logarithm, skipped transforms of silent buses, ...). The two give the same
    // output to far below -120 dB; the plain ones are the reference the tests hold the fast
    // ones to.
    std::uint8_t plainpaths = 0;

    double yintable[yintablesize] = {};

    // Input level.
    std::int64_t levelstart = 0;
    std::int64_t levelcount = 0;
    double inputlevel = 0;
    // The summed absolute input of the newest hops, newest last: the frame's hops and the one
    // before it (N / H is 8 at every rate).
    static constexpr int levelhops = 9;
    double hoplevels[levelhops] = {};
    // Set while one of those older hops is far quieter than the newest: a sound is starting and
    // the synthesis takes its phases from the analysis.
    std::uint8_t soundstarting = 0;

    double enginerate = 0; // the rate as the model recorded it before init

    // Modulators and delays of this channel; the processor sets them after construction.
    std::uint32_t randmultiplier = 0;
    std::uint32_t randincrement = 0;
    double envupper = 0;
    double envlower = 0;
    // The engine's record of a hold state that nothing reads or sets: an envelope follower
    // keeps its hold state per patch and channel.
    double envheld = 0;
    double envholdsum = 0;
    std::int32_t envholdcount = 0;
    std::int32_t envholdlength = 0;

    pbkpitchshift() = default;
    pbkpitchshift(const pbkpitchshift&) = delete;
    pbkpitchshift& operator=(const pbkpitchshift&) = delete;
    ~pbkpitchshift() = default;

    // Sizes, windows, filters and FFT tables for the rate; clears the processing state and
    // removes every bus. Storage of the right size is reused. A rate that is not finite or is
    // below 1 Hz leaves the engine as it was.
    void init(double sampleRate);

    // One more output bus: N zeroed doubles in busspectra, framesize zeroed doubles in busoutputs.
    void addbuffer();

private:
    void setsizes(double sampleRate);
    void designdcblocker();
    void setfollowers();
    void clearonsetstate();
    void buildwindows();
    void sizeframebuffers();
    void setrates();
    void buildffttables();
    void clearbuses();
};
