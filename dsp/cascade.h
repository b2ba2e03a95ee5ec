// Small IIR filters: a cascade of second-order sections run in Direct Form II, the pole/zero
// layouts they are set from, and the first-order Butterworth design the pitch engine uses
// (a 5 Hz high-pass in front of the onset detector, a low-pass along the bins of the log
// spectrum). All storage is fixed inside the objects: designing and filtering allocate nothing.
#pragma once

#include <complex>
#include <cstdint>

namespace Dsp
{
using complex_t = std::complex<double>;

// Two poles and two zeros. A pair whose second pole and second zero are both exactly 0 is
// single: one real pole and one real zero.
struct PoleZeroPair
{
    complex_t poles[2];
    complex_t zeros[2];

    bool isSingle() const { return poles[1] == complex_t(0, 0) && zeros[1] == complex_t(0, 0); }
};

// Poles and zeros of a filter, with the frequency (radians per sample, 0..pi) at which the
// finished filter must have magnitude normalGain.
struct LayoutBase
{
    std::int32_t poleCount = 0;
    std::int32_t maxPoleCount = 0;
    PoleZeroPair* pairs = nullptr; // pair i holds poles 2i and 2i + 1
    double normalW = 0;
    double normalGain = 1;

    LayoutBase(PoleZeroPair* storage, std::int32_t maxPoles) : maxPoleCount(maxPoles), pairs(storage) {}
    LayoutBase(const LayoutBase&) = delete;
    LayoutBase& operator=(const LayoutBase&) = delete;

    void reset() { poleCount = 0; }
    // One real pole and one real zero, as a single pair. Ignored when the layout is full or
    // already ends in a single pair.
    void addSingle(complex_t pole, complex_t zero);
};

class Cascade
{
public:
    // (b0 + b1 z^-1 + b2 z^-2) / (a0 + a1 z^-1 + a2 z^-2), stored divided by a0, so a0 is 1.
    struct Stage
    {
        double a0 = 0, a1 = 0, a2 = 0, b1 = 0, b2 = 0, b0 = 0;
    };

    std::int32_t stageCount = 0;
    std::int32_t maxStageCount = 0;
    Stage* stages = nullptr;

    Cascade(Stage* storage, std::int32_t maxStages) : maxStageCount(maxStages), stages(storage) {}
    Cascade(const Cascade&) = delete;
    Cascade& operator=(const Cascade&) = delete;

    // Replaces the stages by those of the layout (two poles per stage) and scales stage 0 so
    // that the magnitude at layout.normalW is layout.normalGain. A layout with more poles than
    // the stages can hold is cut to what fits.
    void setLayout(const LayoutBase& layout);

    // Complex response at w radians per sample.
    complex_t response(double w) const;

    // Filters n samples of x in place; the filter memory and the alternating anti-denormal
    // offset carry over in state from call to call. n <= 0 does nothing.
    template <class StateType, typename Sample>
    void process(int n, Sample* x, StateType& state) const
    {
        for (int i = 0; i < n; ++i)
            x[i] = static_cast<Sample>(state.process1(static_cast<double>(x[i]), *this));
    }
};

// The memory of one stage: w1 the previous intermediate value, w2 the one before.
class DirectFormII
{
public:
    double w1 = 0;
    double w2 = 0;

    // One sample through stage s; offset is added to the intermediate value.
    double process1(double in, const Cascade::Stage& s, double offset)
    {
        const double w = in - s.a1 * w1 - s.a2 * w2 + offset;
        const double out = s.b2 * w2 + (s.b1 * w1 + s.b0 * w);
        w2 = w1;
        w1 = w;
        return out;
    }
};

// Keeps denormals out of the recursion: a tiny offset of alternating sign goes into stage 0.
inline constexpr double antiDenormalOffset = 1e-8;

template <int MaxStages>
struct CascadeStages
{
    template <class StateType>
    struct State
    {
        double vsa = antiDenormalOffset;
        StateType* stateArray = memory;
        StateType memory[MaxStages];

        State() = default;
        State(const State&) = delete;
        State& operator=(const State&) = delete;

        // One sample through every stage of the cascade, which must not have more stages than
        // MaxStages. Stage 0 always runs and takes the offset; the offset then changes sign.
        double process1(double in, const Cascade& cascade)
        {
            const double offset = vsa;
            vsa = -offset;
            double out = stateArray[0].process1(in, cascade.stages[0], -offset);
            for (int k = 1; k < cascade.stageCount && k < MaxStages; ++k)
                out = stateArray[k].process1(out, cascade.stages[k], 0.0);
            return out;
        }
    };
};

// One first-order Butterworth filter, low-pass or high-pass: the cascade with room for one
// stage, the digital layout, the analog prototype with its order cache, and the filter memory.
// Its members point into the object itself, so it is neither copied nor moved.
struct ButterworthFilter
{
    enum class Kind
    {
        lowPass,
        highPass
    };

    Cascade cascade{&stage, 1};
    LayoutBase digital{&digitalPair, 1};
    LayoutBase analog{&analogPair, 1};
    std::int32_t analogOrder = -1; // order of the prototype in analog, -1: none built
    Cascade::Stage stage;
    PoleZeroPair analogPair;
    PoleZeroPair digitalPair;
    CascadeStages<1>::State<DirectFormII> state;

    ButterworthFilter() = default;
    ButterworthFilter(const ButterworthFilter&) = delete;
    ButterworthFilter& operator=(const ButterworthFilter&) = delete;

    // Designs the filter for a cutoff given as a fraction of the sample rate (0 < ratio < 0.5):
    // unity gain at DC for the low-pass, at the Nyquist frequency for the high-pass. The filter
    // memory and the anti-denormal offset are kept, so a filter can be redesigned while it runs.
    void design(Kind kind, double cutoffRatio);

    // Filters n samples of x in place.
    void process(int n, double* x) { cascade.process(n, x, state); }
};
} // namespace Dsp
