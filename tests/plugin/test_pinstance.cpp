// The one place the system is wired: links, start-up order, rate set-up and the block
// hand-over, measured by what the model does afterwards.
#include "engine/patchparams.h"
#include "kit/pguitools.h"
#include "plugin/krvstmidi.h"
#include "plugin/pinstance.h"
#include "plugin/pmenulists.h"
#include "tests/plugin/statetexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
using namespace quilltest; // the state texts every plug-in test builds

constexpr unsigned blocksize = 256;

// One silent stereo block through the hand-over.
void silentblock(pinstance& instance)
{
    std::vector<double> buffers(4 * blocksize, 0.0);
    double* in[2] = {&buffers[0], &buffers[blocksize]};
    double* out[2] = {&buffers[2 * blocksize], &buffers[3 * blocksize]};
    instance.processblock(in, blocksize, out, 2);
}

void restore(pinstance& instance, const std::string& text)
{
    instance.restorestate(text.c_str(), static_cast<std::int64_t>(text.size()));
}

TEST(Instance, LinksAndStartUpOrder)
{
    auto instance = std::make_unique<pinstance>(48000.0);
    pprojdata& m = instance->model;
    pguitools& tools = instance->controller.tools;
    EXPECT_TRUE(m.tools == &tools && m.display == &tools);
    EXPECT_TRUE(instance->controller.model == &m && tools.rootcontrol == &instance->rootcontrol);
    // Menu lists before the global parameters and initpbm: fixed "MIDI CC" entries, then the controllers.
    EXPECT_EQ(tools.menulists[pmenumidisources].count, m.midimenubase + krvstmidi::controllercount);
    EXPECT_EQ(tools.menulists[pmenuhostparams].count, static_cast<std::uint64_t>(hostparamcount));
    EXPECT_EQ(tools.menulists[pmenukeys].count, 12u);
    // The delay pane's shape menu stores the chosen item as the shape code the delay pass plays.
    const auto& shapes = tools.menulists[pmenulfoshapes];
    EXPECT_EQ(shapes[pshapetriangle].text.str() + shapes[pshapesine].text.str(), "LFO:TriangleLFO:Sine");
    for (std::uint64_t i = 0; i < shapes.count; ++i)
        EXPECT_EQ(shapes[i].tag, static_cast<std::int32_t>(i));
    EXPECT_EQ(m.params.count, static_cast<std::uint64_t>(pglobalparamcount));
    EXPECT_EQ(m.voices.count, 1u);
    EXPECT_EQ(m.samplerate(), 48000.0);
    EXPECT_DOUBLE_EQ(tools.historystep.load(), 264.0 / (5.0 * 48000.0));
}

TEST(Instance, RatesThatCannotBeOneKeepTheFallbackOrThePreparedRate)
{
    for (double bad : {0.0, 0.5, -44100.0, double(NAN), double(INFINITY)})
    {
        SCOPED_TRACE(bad);
        auto instance = std::make_unique<pinstance>(bad);
        EXPECT_FALSE(instance->prepare(bad));
        EXPECT_EQ(instance->model.samplerate(), pinstance::fallbackrate);
    }
    auto instance = std::make_unique<pinstance>(44100.0);
    EXPECT_FALSE(instance->prepare(44100.0)); // unchanged: no set-up, the model keeps its state
    EXPECT_TRUE(instance->prepare(96000.0));
    EXPECT_EQ(instance->model.samplerate(), 96000.0);
    EXPECT_EQ(instance->model.engines[0].fftsize, 4096);
    EXPECT_EQ(instance->preparedrate(), 96000.0);
}

// A state that arrives with a host value and a controller in the same block: its modulators
// take both in that block, and a message they do not follow is dropped.
TEST(Instance, BlockAppliesEventsThenHostParametersThenMidi)
{
    auto instance = std::make_unique<pinstance>(44100.0);
    pprojdata& m = instance->model;
    const int wheel = m.midimenubase + 1;
    const int nocontroller = 0; // the pitch wheel, which is never sent
    restore(*instance, statetext({globals(), controllermodulator(nocontroller, hostparamcount),
                                  controllermodulator(wheel, 0), voice(), voice()}));
    instance->posthostparam(hostparamcount - 1, 0.25f); // the last host parameter
    instance->clearmidi();
    const std::uint8_t modwheel[] = {0xB0, 1, 127};
    const std::uint8_t program[] = {0xC0, 5};
    instance->addmidi(modwheel, 3, 10);
    instance->addmidi(program, 2, 20);
    EXPECT_EQ(m.midirecords.count, 1u);
    silentblock(*instance);
    EXPECT_EQ(m.voices.count, 2u);
    EXPECT_EQ(m.audioqueue.size(), 0u);
    EXPECT_DOUBLE_EQ(m.patches[0]->channels[0].modoutput.load(), 0.25);
    EXPECT_DOUBLE_EQ(m.patches[1]->channels[0].modoutput.load(), 1.0);
}

// A save before the next block hands back the text restored; of two restores, the later wins.
TEST(Instance, RestoredStateIsSavedBackAndAppliedAtTheNextBlock)
{
    auto target = std::make_unique<pinstance>();
    const std::string saved = statetext({globals(), voice(), voice(0.25), voice(0.75)});
    restore(*target, statetext({globals(), voice(), voice(0.25)}));
    restore(*target, saved);
    costringa pending;
    target->savestate(pending);
    EXPECT_EQ(pending.str(), saved);
    EXPECT_EQ(target->model.voices.count, 1u);
    silentblock(*target);
    EXPECT_EQ(target->model.voices.count, 3u);
    target->restorestate(nullptr, -5); // nothing to apply: the model stays
    silentblock(*target);
    EXPECT_EQ(target->model.voices.count, 3u);
}
} // namespace
