// The built plug-in driven as hosts in the field drive it: the real VST 2 opcode numbers, no
// framework on the host side. Bypass, tail, latency per rate, MIDI channels, host parameters
// across a chunk load, the chunk's host-parameter trailer, and the editor as hosts treat it,
// each by its measured effect.
#include "tests/plugin/rawvst2host.h"
#include "tests/plugin/statetexts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>
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
    std::minstd_rand random(12345);
    std::uniform_real_distribution<float> uniform(-0.25f, 0.25f);
    std::vector<float> x(length);
    for (auto& v : x)
        v = uniform(random);
    return x;
}

// The lag (0..maxlag) at which y matches x best, by cross-correlation over y's second half.
int bestlag(const std::vector<float>& x, const std::vector<float>& y, int maxlag)
{
    const std::size_t half = y.size() / 2;
    std::vector<double> sums;
    for (int lag = 0; lag <= maxlag; ++lag)
        sums.push_back(std::inner_product(y.begin() + half, y.end(), x.begin() + (half - lag), 0.0));
    return static_cast<int>(std::max_element(sums.begin(), sums.end()) - sums.begin());
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
        EXPECT_EQ(host::log.count(callbacklog::placeholders) + host::log.count(callbacklog::untracked), 0);
    }
};

TEST_F(rawhost, AnswersWithTheRealNumbersAndEveryLatencyChangeReachesTheHost)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    EXPECT_EQ(h.effect->initialDelay, 1780); // before any rate is set
    EXPECT_EQ(h.effect->flags & (effFlagsNoSoundInStop | effFlagsProgramChunks), effFlagsProgramChunks);
    h.start(44100.0, block);
    EXPECT_TRUE(h.cando("bypass"));
    EXPECT_EQ(h.dispatch(effGetNumMidiInputChannels), 16);
    EXPECT_EQ(h.dispatch(effGetNumMidiOutputChannels) + h.dispatch(effKeysRequired), 0);
    const struct
    {
        double rate;
        int latency, tail; // the tail: the latency plus the two seconds of the longest delay line
    } cases[] = {{48000.0, 1780, 97780},  {96000.0, 3560, 195560}, {192000.0, 3560, 387560},
                 {88200.0, 1780, 178180}, {44100.0, 1780, 89980},  {96000.0, 3560, 195560}};
    int changes = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rate);
        const int before = h.effect->initialDelay;
        h.suspend();
        h.start(c.rate, block);
        changes += h.effect->initialDelay != before ? 1 : 0;
        EXPECT_EQ(h.effect->initialDelay, c.latency);
        EXPECT_EQ(h.dispatch(effGetTailSize), c.tail);
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
        int latency, lag;
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
        const auto l = static_cast<std::size_t>(c.latency);
        double residual = 0.0;
        for (std::size_t i = static_cast<std::size_t>(c.rate * 0.02) + 1; c.bypassed && i < input.size(); ++i)
            for (const auto* channel : {&out.left, &out.right})
                residual = std::max(residual, std::fabs((*channel)[i] - (i >= l ? input[i - l] : 0.0)));
        EXPECT_EQ(residual, 0.0);
    }
}

TEST_F(rawhost, SwitchingBypassEitherWayIsClickFree)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(44100.0, block);
    h.setchunk(withnul(fifthup));
    constexpr std::size_t on = 60, off = 120;
    const auto input = sine(440.0, 44100.0, 180 * block);
    const auto out = h.render(input, block, [&](std::size_t b) {
                          if (b == on || b == off)
                              h.setbypass(b == on);
                      }).left;
    // Steady processed and steady bypassed stretches set the scale: a switch adds no larger step.
    const auto at = [](std::size_t b) { return b * block; };
    const double steady = std::max(largeststep(out, at(30), at(on)), largeststep(out, at(on + 10), at(off)));
    EXPECT_GT(steady, 0.02); // the processed fifth and the delayed sine, not silence
    for (const std::size_t b : {on, off})
        EXPECT_LT(largeststep(out, at(b), at(b + 10)), 1.1 * steady) << "switch at block " << b;
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
    const std::string chunk =
        withnul(statetext({globals(), controllermodulator(0, 1), voice(0.5, 0.0), assignment(0, voicevolume)}));
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

// The trailer's values come back as values the host reads (getParameter), never as automation:
// a host takes automation for the user's edits and would mark a session it just opened modified.
TEST_F(rawhost, ChunkCarriesTheHostParametersAfterTheUnchangedStateText)
{
    host h(pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(44100.0, block);
    EXPECT_EQ(h.chunk(), withnul(statetext({globals(), voice()})) + hosttrailer()); // the text as always
    const auto value = [](int i, bool flipped) { return flipped ? 0.9f - i / 50.0f : 0.1f + i / 50.0f; };
    const auto setall = [&](bool flipped) {
        for (int i = 0; i < hostparametercount; ++i)
            h.setparameter(i, value(i, flipped));
    };
    const auto expectall = [&](bool flipped) {
        for (int i = 0; i < hostparametercount; ++i)
            EXPECT_NEAR(h.parameter(i), value(i, flipped), 1e-6) << i;
    };
    setall(false);
    const std::string saved = h.chunk();
    setall(true);
    const int automated = host::log.count(audioMasterAutomate);
    h.setchunk(saved);
    expectall(false);
    EXPECT_EQ(host::log.count(audioMasterAutomate), automated);
    EXPECT_EQ(h.chunk(), saved); // saved again before the reload has run: the same bytes
    // The text alone, as every chunk saved before the trailer: no parameter moves.
    setall(true);
    h.setchunk(saved.substr(0, saved.find('\0') + 1));
    h.render(sine(330.0, 44100.0, 4 * block), block);
    expectall(true);
}

// Hosts quit with the editor still open: effClose without effEditClose, at any moment of the
// editor's life. No crash (run under AddressSanitizer) and, in a Debug build, no framework
// assertion as its GUI shuts down with the last instance. QUILL_EDITOR_CLOSES sets the count.
TEST_F(rawhost, EditorOpenAtCloseIsClosedSafely)
{
    const char* closes = std::getenv("QUILL_EDITOR_CLOSES");
    const int count = closes != nullptr ? std::atoi(closes) : 40;
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display";
    testing::internal::CaptureStderr();
    for (int i = 0; i < count; ++i)
    {
        host h(pluginpath());
        ASSERT_TRUE(h.loaded());
        h.start(44100.0, block);
        ASSERT_TRUE(h.openeditor());
        h.idle(0.005 * (i % 20)); // from the first idle call to 100 ms into the editor's life
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("Assertion"), std::string::npos) << errors;
}

// An edit in the editor changes the saved state without any host parameter: the host hears it
// as a display update (its cue to mark the session modified), at most once per check of the
// state (every 300 ms) while the user drags. Opening the editor and restoring a chunk are no edits.
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
    std::vector<std::pair<int, int>> points; // up across Global Volume, the knob at (229, 429): 21 edits
    for (int y = 465; y >= 385; y -= 4)
        points.emplace_back(265, y);
    const auto start = std::chrono::steady_clock::now();
    h.drag(points, 0.04);
    h.idle(0.7);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const int notices = host::log.count(audioMasterUpdateDisplay);
    EXPECT_NE(h.chunk(), before);
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, 1 + static_cast<int>(took.count() / 0.3)) << took.count() << " s";
    h.setchunk(before);
    h.render(sine(330.0, 44100.0, 4 * block), block);
    h.idle(1.0);
    EXPECT_EQ(h.chunk(), before);
    EXPECT_EQ(host::log.count(audioMasterUpdateDisplay), notices);
    EXPECT_EQ(host::log.count(audioMasterAutomate), 0);
}
} // namespace
