// The built plug-in driven as hosts in the field drive it: the real VST 2 opcode numbers, no
// framework on the host side. Bypass, tail, latency per rate, MIDI channels, host parameters
// across a chunk load, and the chunk's host-parameter trailer, each by its measured effect.
#include "tests/plugin/rawvst2host.h"
#include "tests/plugin/statetexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace rawvst2;
using namespace quilltest;

constexpr int block = 512;

// A fifth up, at unity volume: clearly not the input.
const std::string fifthup = statetext({globals(), voice(pitchnorm(7))});

std::vector<float> noise(std::size_t length)
{
    std::vector<float> x(length);
    std::uint32_t state = 12345u;
    for (auto& v : x)
    {
        state = state * 1664525u + 1013904223u;
        v = 0.5f * (static_cast<float>(state >> 8) / 16777216.0f - 0.5f);
    }
    return x;
}

// The lag (0..maxlag) at which y matches x best, by cross-correlation over y's second half.
int bestlag(const std::vector<float>& x, const std::vector<float>& y, int maxlag)
{
    int best = -1;
    double bestsum = -1.0;
    for (int lag = 0; lag <= maxlag; ++lag)
    {
        double sum = 0.0;
        for (std::size_t i = y.size() / 2; i < y.size(); ++i)
            sum += static_cast<double>(y[i]) * x[i - static_cast<std::size_t>(lag)];
        if (sum > bestsum)
        {
            bestsum = sum;
            best = lag;
        }
    }
    return best;
}

// Largest sample-to-sample step of x in [from, to).
double largeststep(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double step = 0.0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to && i < x.size(); ++i)
        step = std::max(step, std::fabs(static_cast<double>(x[i]) - x[i - 1]));
    return step;
}

class rawhost : public ::testing::Test
{
protected:
    void SetUp() override { host::log.reset(); }
    // Nothing the plug-in calls may carry a number the host does not know.
    void TearDown() override
    {
        EXPECT_EQ(host::log.placeholders.load(), 0);
        EXPECT_EQ(host::log.untracked.load(), 0);
    }
};

// Latency and tail per rate are pinned below.
TEST_F(rawhost, AnswersAHostsQueriesWithTheRealNumbers)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    EXPECT_EQ(h.effect->initialDelay, 1780); // before any rate is set
    h.start(44100.0, block);
    EXPECT_TRUE(h.cando("bypass"));
    EXPECT_EQ(h.dispatch(effGetNumMidiInputChannels), 16);
    EXPECT_EQ(h.dispatch(effGetNumMidiOutputChannels), 0);
    EXPECT_EQ(h.dispatch(effKeysRequired), 0);
    EXPECT_EQ(h.effect->flags & effFlagsNoSoundInStop, 0);
    EXPECT_EQ(h.effect->flags & effFlagsProgramChunks, effFlagsProgramChunks);
}

TEST_F(rawhost, LatencyAndTailFollowTheRateAndEveryChangeReachesTheHost)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    const struct
    {
        double rate;
        int latency;
        int tail;
    } cases[] = {
        // The tail is the latency plus the two seconds of the longest delay line.
        {44100.0, 1780, 89980},  {48000.0, 1780, 97780}, {96000.0, 3560, 195560}, {192000.0, 3560, 387560},
        {88200.0, 1780, 178180}, {44100.0, 1780, 89980}, {96000.0, 3560, 195560},
    };
    int latency = h.effect->initialDelay;
    int changes = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rate);
        h.suspend();
        h.start(c.rate, block);
        if (h.effect->initialDelay != latency)
            ++changes;
        latency = h.effect->initialDelay;
        EXPECT_EQ(h.effect->initialDelay, c.latency);
        EXPECT_EQ(static_cast<int>(h.dispatch(effGetTailSize)), c.tail);
        EXPECT_TRUE(h.waitfor(audioMasterIOChanged, changes, 5.0)); // told from the plug-in's message thread
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(host::log.count(audioMasterIOChanged), 3); // once per change, never for an unchanged latency
}

// Bypassed, the output is the input delayed by exactly the reported latency. A unison voice with
// no dry signal lands 12 samples later below 96 kHz and 24 from there, as the engine's frame
// timing has it.
TEST_F(rawhost, BypassedAndProcessedSignalsLandWhereTheLatencySays)
{
    const struct
    {
        double rate;
        bool bypassed;
        int latency;
        int lag;
    } cases[] = {{44100.0, true, 1780, 1780},
                 {96000.0, true, 3560, 3560},
                 {44100.0, false, 1780, 1792},
                 {96000.0, false, 3560, 3584}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.rate) + (c.bypassed ? " bypassed" : " processed"));
        host h(pluginpath());
        ASSERT_TRUE(h.loaded());
        h.start(c.rate, block);
        h.setchunk(withnul(c.bypassed ? fifthup : statetext({globals(), voice()})));
        h.setbypass(c.bypassed);
        const auto input = noise(static_cast<std::size_t>(c.rate / 2));
        const auto out = h.render(input, block);
        EXPECT_EQ(h.effect->initialDelay, c.latency);
        EXPECT_EQ(bestlag(input, out.left, 4000), c.lag);
        // After the 20 ms fade in, every bypassed sample is the input's from `latency` before.
        double residual = 0.0;
        for (std::size_t i = static_cast<std::size_t>(c.rate * 0.02) + 1; c.bypassed && i < input.size(); ++i)
        {
            const auto l = static_cast<std::size_t>(c.latency);
            const double expected = i >= l ? input[i - l] : 0.0;
            residual = std::max({residual, std::fabs(out.left[i] - expected), std::fabs(out.right[i] - expected)});
        }
        EXPECT_EQ(residual, 0.0);
    }
}

TEST_F(rawhost, SwitchingBypassEitherWayIsClickFree)
{
    const double rate = 44100.0;
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(rate, block);
    h.setchunk(withnul(fifthup));
    constexpr std::size_t on = 60;
    constexpr std::size_t off = 120;
    const auto input = sine(440.0, rate, 180 * block);
    const auto out = h.render(input, block, [&](std::size_t b) {
                          if (b == on || b == off)
                              h.setbypass(b == on);
                      }).left;
    // Steady processed and steady bypassed stretches set the scale: a switch adds no larger step.
    const auto at = [](std::size_t b) { return b * block; };
    const double steady = std::max(largeststep(out, at(30), at(on)), largeststep(out, at(on + 10), at(off)));
    const double switchon = largeststep(out, at(on), at(on + 10));
    const double switchoff = largeststep(out, at(off), at(off + 10));
    EXPECT_GT(steady, 0.02); // the processed fifth and the delayed sine, not silence
    EXPECT_LT(switchon, 1.1 * steady) << switchon << " against " << steady;
    EXPECT_LT(switchoff, 1.1 * steady) << switchoff << " against " << steady;
    // And the switches did happen: bypassed is the delayed input, processed is not.
    const auto latency = static_cast<std::size_t>(h.effect->initialDelay);
    EXPECT_FLOAT_EQ(out[at(off) - 1], input[at(off) - 1 - latency]);
    EXPECT_GT(std::fabs(out[at(on) - 1] - input[at(on) - 1 - latency]), 1e-3);
    EXPECT_GT(std::fabs(out[at(170)] - input[at(170) - latency]), 1e-3);
}

TEST_F(rawhost, HostParameterValuesReachTheirModulatorAfterAChunkLoad)
{
    // Voice volume 0, moved only by the modulator following host parameter 1. The chunk is one
    // saved before the trailer existed, so the load itself sets no parameter.
    const std::string modulator = controllermodulator(0, 1);
    const std::string chunk = withnul(statetext({globals(), modulator, voice(0.5, 0.0), assignment(0, voicevolume)}));
    const auto input = sine(330.0, 44100.0, 44100);
    const struct
    {
        float value; // -1: left at the host's default, 0.5
        double level;
    } cases[] = {{-1.0f, 0.36}, {0.0f, 0.0}, {0.8f, 0.58}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        host h(pluginpath());
        ASSERT_TRUE(h.loaded());
        h.start(44100.0, block);
        if (c.value >= 0.0f)
            h.setparameter(0, c.value);
        h.render(input, block); // the host ran a while before it loaded the chunk
        h.setchunk(chunk);
        EXPECT_NEAR(rmsofsecondhalf(h.render(input, block).left), c.level, 0.005);
    }
}

TEST_F(rawhost, ChunkCarriesTheHostParametersAfterTheUnchangedStateText)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(44100.0, block);
    const std::string fresh = statetext({globals(), voice()});
    EXPECT_EQ(h.chunk(), withnul(fresh) + hosttrailer()); // the text part as the writer always wrote it

    const auto distinct = [](int i) { return static_cast<float>(i + 5) / 50.0f; };
    for (int i = 0; i < hostparametercount; ++i)
        h.setparameter(i, distinct(i));
    const std::string saved = h.chunk();
    for (int i = 0; i < hostparametercount; ++i)
        h.setparameter(i, 1.0f - distinct(i));
    const int automatedbefore = host::log.count(audioMasterAutomate);
    h.setchunk(saved);
    for (int i = 0; i < hostparametercount; ++i)
        EXPECT_NEAR(h.parameter(i), distinct(i), 1e-6) << i;
    EXPECT_EQ(host::log.count(audioMasterAutomate), automatedbefore); // read back, never sent as automation
    EXPECT_EQ(h.chunk(), saved); // saved again before the reload has run: the same bytes

    // The text alone, as every chunk saved so far: no parameter moves.
    for (int i = 0; i < hostparametercount; ++i)
        h.setparameter(i, 1.0f - distinct(i));
    h.setchunk(saved.substr(0, saved.find('\0') + 1));
    h.render(sine(330.0, 44100.0, 4 * block), block);
    for (int i = 0; i < hostparametercount; ++i)
        EXPECT_NEAR(h.parameter(i), 1.0f - distinct(i), 1e-6) << i;
}
} // namespace

namespace
{
// Hosts quit with the editor still open: effClose without effEditClose, at any moment of the
// editor's life. No crash (run under AddressSanitizer) and, in a Debug build, no framework
// assertion as its GUI shuts down with the last instance. QUILL_EDITOR_CLOSES sets the count.
TEST_F(rawhost, EditorOpenAtCloseIsClosedSafely)
{
    const char* closes = std::getenv("QUILL_EDITOR_CLOSES");
    const int count = closes != nullptr ? std::atoi(closes) : 40;
    testing::internal::CaptureStderr();
    for (int i = 0; i < count; ++i)
    {
        host h(pluginpath());
        ASSERT_TRUE(h.loaded());
        h.start(44100.0, block);
        if (!h.openeditor())
            break;
        h.idle(0.005 * (i % 20)); // from the first idle call to 100 ms into the editor's life
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("Assertion"), std::string::npos) << errors;
}

// An edit in the editor changes the saved state without any host parameter: the host hears it
// as a display update (its cue to mark the session modified), a few times a second at most
// while the user drags. Opening the editor and restoring a chunk are no edits.
TEST_F(rawhost, EditorEditsReachTheHostAsChangeNotices)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(44100.0, block);
    h.setchunk(withnul(fifthup));
    h.render(sine(330.0, 44100.0, 4 * block), block);
    const std::string before = h.chunk();
    if (!h.openeditor())
        GTEST_SKIP() << "no X display";
    h.idle(1.0);
    EXPECT_EQ(host::log.count(audioMasterUpdateDisplay), 0);

    // Global Volume, the knob at (229, 429), dragged up by 80 pixels in 21 steps: each step an edit.
    std::vector<std::pair<int, int>> points;
    for (int y = 465; y >= 385; y -= 4)
        points.emplace_back(265, y);
    const auto start = std::chrono::steady_clock::now();
    h.drag(points, 0.04);
    h.idle(0.7);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const int notices = host::log.count(audioMasterUpdateDisplay);
    EXPECT_NE(h.chunk(), before);
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, 1 + static_cast<int>(took.count() / 0.3)) << took.count() << " s"; // one per check at most
    h.setchunk(before);
    h.render(sine(330.0, 44100.0, 4 * block), block);
    h.idle(1.0);
    EXPECT_EQ(h.chunk(), before);
    EXPECT_EQ(host::log.count(audioMasterUpdateDisplay), notices);
    EXPECT_EQ(host::log.count(audioMasterAutomate), 0);
}
} // namespace
