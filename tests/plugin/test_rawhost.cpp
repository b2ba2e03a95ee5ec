// The built plug-in driven as hosts in the field drive it: the real VST 2 opcode numbers, no
// framework on the host side. Latency and tail per rate, bypass, the chunk's host-parameter
// trailer, and the editor as hosts treat it, each by its measured effect.
#include "tests/plugin/rawvst2host.h"
#include "tests/plugin/statetexts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <tuple>

namespace
{
using namespace rawvst2;
using namespace quilltest;

constexpr int block = 512;
// A fifth up, at unity volume: clearly not the input.
const std::string fifthup = statetext({globals(), voice(pitchnorm(7))});

class rawhost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (auto& c : callbacks)
            c.store(0);
    }
    // Nothing the plug-in calls may carry a number the host does not know.
    void TearDown() override { EXPECT_EQ(callbacks[untracked].load(), 0); }
};

TEST_F(rawhost, AnswersWithTheRealNumbersAndEveryLatencyChangeReachesTheHost)
{
    host h;
    EXPECT_EQ(h.effect->initialDelay, 1780); // before any rate is set
    EXPECT_EQ(h.effect->flags & (effFlagsNoSoundInStop | effFlagsProgramChunks), effFlagsProgramChunks);
    h.start(44100.0, block);
    EXPECT_EQ(h.dispatch(effCanDo, 0, 0, const_cast<char*>("bypass")), 1);
    EXPECT_EQ(h.dispatch(effGetNumMidiInputChannels), 16);
    EXPECT_EQ(h.dispatch(effGetNumMidiOutputChannels), 0);
    EXPECT_EQ(h.dispatch(effKeysRequired), 0);
    // Rate, latency, tail: the latency plus the two seconds of the longest delay line.
    const std::tuple<double, int, int> rows[] = {{48000.0, 1780, 97780},   {96000.0, 3560, 195560},
                                                 {192000.0, 3560, 387560}, {88200.0, 1780, 178180},
                                                 {44100.0, 1780, 89980},   {96000.0, 3560, 195560}};
    int changes = 0;
    for (const auto& [rate, latency, tail] : rows)
    {
        SCOPED_TRACE(rate);
        const int before = h.effect->initialDelay;
        h.start(rate, block);
        changes += h.effect->initialDelay != before ? 1 : 0;
        EXPECT_EQ(h.effect->initialDelay, latency);
        EXPECT_EQ(h.dispatch(effGetTailSize), tail);
        EXPECT_TRUE(h.waitfor(audioMasterIOChanged, changes, 5.0)); // told from the plug-in's message thread
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(callbacks[audioMasterIOChanged].load(), 3); // once per change, never for an unchanged latency
}

// Bypass switched on at 0.5 s and off at 1 s under a sweep. Processed, a unison voice lands 12
// samples behind the reported latency below 96 kHz and 24 from there, as the engine's frame
// timing has it; bypassed (after the 20 ms fade), every sample of both channels is the input's
// from exactly the latency before; neither switch steps further than the steady signal does.
TEST_F(rawhost, BypassSwitchesCleanlyToTheInputDelayedByExactlyTheLatency)
{
    const std::tuple<double, int, int> rows[] = {{44100.0, 1780, 1792}, {96000.0, 3560, 3584}};
    for (const auto& [rate, latency, lag] : rows)
    {
        SCOPED_TRACE(rate);
        host h;
        h.start(rate, block, statetext({globals(), voice()}));
        const auto half = static_cast<std::size_t>(rate / 2 / block) * block; // whole blocks
        const auto input = chirp(300.0, 600.0, rate, 3 * half);
        const auto out = h.render(input, block, [&](std::size_t b) {
            if (b * block == half || b * block == 2 * half)
                h.dispatch(effSetBypass, 0, b * block == half);
        });
        EXPECT_EQ(h.effect->initialDelay, latency);
        EXPECT_EQ(bestlag(input, out[0], half / 2, half, 4000), lag);
        EXPECT_EQ(bestlag(input, out[1], 2 * half + half / 2, 3 * half, 4000), lag);
        const auto fade = static_cast<std::size_t>(rate * 0.02) + 1;
        const auto l = static_cast<std::size_t>(latency);
        double residual = 0.0;
        for (std::size_t i = half + fade; i < 2 * half; ++i)
            for (const auto* channel : {&out[0], &out[1]})
                residual = std::max(residual, std::fabs(static_cast<double>((*channel)[i]) - input[i - l]));
        EXPECT_EQ(residual, 0.0);
        const double steady = std::max(largeststep(out[0], half / 2, half), largeststep(out[0], half + fade, 2 * half));
        for (const std::size_t at : {half, 2 * half})
            EXPECT_LT(largeststep(out[0], at, at + 2 * fade), 1.1 * steady) << "switch at " << at;
    }
}

// The trailer's values come back as values the host reads (getParameter), never as automation:
// a host takes automation for the user's edits and would mark a session it just opened modified.
TEST_F(rawhost, ChunkCarriesTheHostParametersAfterTheUnchangedStateText)
{
    host h;
    h.start(44100.0, block);
    EXPECT_EQ(h.chunk(), withnul(statetext({globals(), voice()})) + hosttrailer()); // the text as always
    const auto setall = [&](bool flipped) {
        for (int i = 0; i < hostparametercount; ++i)
            h.setparameter(i, flipped ? 0.9f - i / 50.0f : 0.1f + i / 50.0f);
    };
    const auto expectall = [&](bool flipped) {
        for (int i = 0; i < hostparametercount; ++i)
            EXPECT_NEAR(h.parameter(i), flipped ? 0.9f - i / 50.0f : 0.1f + i / 50.0f, 1e-6) << i;
    };
    setall(false);
    const std::string saved = h.chunk();
    setall(true);
    const int automated = callbacks[audioMasterAutomate].load();
    h.setchunk(saved);
    expectall(false);
    EXPECT_EQ(callbacks[audioMasterAutomate].load(), automated);
    EXPECT_EQ(h.chunk(), saved); // saved again before the reload has run: the same bytes
    // The text alone, as every chunk saved before the trailer: no parameter moves.
    setall(true);
    h.setchunk(saved.substr(0, saved.find('\0') + 1));
    h.render(harmonictone(330.0, 44100.0, 4 * block, 1), block);
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
        host h;
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
    host h;
    h.start(44100.0, block, fifthup);
    h.render(harmonictone(330.0, 44100.0, 4 * block, 1), block);
    const std::string before = h.chunk();
    if (!h.openeditor())
        GTEST_SKIP() << "no X display";
    h.idle(1.0);
    EXPECT_EQ(callbacks[audioMasterUpdateDisplay].load(), 0);
    std::vector<std::pair<int, int>> points; // up across Global Volume, the knob at (229, 429): 21 edits
    for (int y = 465; y >= 385; y -= 4)
        points.emplace_back(265, y);
    const auto start = std::chrono::steady_clock::now();
    h.drag(points, 0.04);
    h.idle(0.7);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const int notices = callbacks[audioMasterUpdateDisplay].load();
    EXPECT_NE(h.chunk(), before);
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, 1 + static_cast<int>(took.count() / 0.3)) << took.count() << " s";
    h.setchunk(before);
    h.render(harmonictone(330.0, 44100.0, 4 * block, 1), block);
    h.idle(1.0);
    EXPECT_EQ(h.chunk(), before);
    EXPECT_EQ(callbacks[audioMasterUpdateDisplay].load(), notices);
    EXPECT_EQ(callbacks[audioMasterAutomate].load(), 0);
}
} // namespace
