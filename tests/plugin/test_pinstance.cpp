// The one place the system is wired: links, start-up order, rate set-up and the block
// hand-over, measured by what the model does afterwards.
#include "engine/patchparams.h"
#include "kit/pguitools.h"
#include "plugin/pinstance.h"
#include "plugin/pmenulists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace
{
constexpr unsigned blocksize = 256;

// One silent stereo block through the hand-over.
void silentblock(pinstance& instance)
{
    std::vector<double> buffers(4 * blocksize, 0.0);
    double* in[2] = {&buffers[0], &buffers[blocksize]};
    double* out[2] = {&buffers[2 * blocksize], &buffers[3 * blocksize]};
    instance.processblock(in, blocksize, out, 2);
}

// A modulator following host parameter `host` (0-based) and MIDI controller `cc`, output 0..1.
std::uint64_t addlistener(pinstance& instance, int host, int cc)
{
    pprojdata& m = instance.model;
    const std::uint64_t p = m.newpatch(false, pkindmodulator);
    m.patches[p]->params[ppatchsource]->setvalue(psourcecontroller);
    m.patches[p]->params[ppatchamplitude1]->setvalue(0.0);
    m.patches[p]->params[ppatchamplitude2]->setvalue(1.0);
    m.patches[p]->params[ppatchhostparam]->setvalue(host + 1);
    m.patches[p]->params[ppatchmidicc]->setvalue(cc + instance.model.midimenubase);
    return p;
}
} // namespace

TEST(Instance, LinksAndStartUpOrder)
{
    auto instance = std::make_unique<pinstance>(48000.0);
    pprojdata& m = instance->model;
    pguitools& tools = instance->controller.tools;
    EXPECT_EQ(m.tools, &tools);
    EXPECT_EQ(m.display, static_cast<pdisplaydata*>(&tools));
    EXPECT_EQ(instance->controller.model, &m);
    EXPECT_EQ(tools.rootcontrol, &instance->rootcontrol);
    // Menu lists before the global parameters and initpbm: three fixed "MIDI CC" entries.
    EXPECT_EQ(m.midimenubase, 3);
    EXPECT_EQ(tools.menulists[pmenumidisources].count, 35u);
    EXPECT_EQ(tools.menulists[pmenuhostparams].count, 32u);
    EXPECT_EQ(tools.menulists[pmenukeys].count, 12u);
    // The delay pane's shape menu stores the chosen item as the shape code the delay pass plays.
    const auto& shapes = tools.menulists[pmenulfoshapes];
    ASSERT_EQ(shapes.count, 3u);
    EXPECT_EQ(shapes[pshapetriangle].text.str(), "LFO:Triangle");
    EXPECT_EQ(shapes[pshapesine].text.str(), "LFO:Sine");
    EXPECT_EQ(shapes[2].text.str(), "LFO:Random");
    for (std::uint64_t i = 0; i < shapes.count; ++i)
        EXPECT_EQ(shapes[i].tag, static_cast<std::int32_t>(i));
    EXPECT_EQ(m.params.count, 9u);
    EXPECT_EQ(m.voices.count, 1u);
    EXPECT_EQ(m.samplerate(), 48000.0);
    EXPECT_EQ(instance->preparedrate(), 48000.0);
    EXPECT_DOUBLE_EQ(tools.historystep.load(), 264.0 / (5.0 * 48000.0));
}

TEST(Instance, RatesThatCannotBeOneKeepTheFallbackOrThePreparedRate)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double bad : {0.0, 0.5, -44100.0, nan, std::numeric_limits<double>::infinity()})
    {
        SCOPED_TRACE(bad);
        auto instance = std::make_unique<pinstance>(bad);
        EXPECT_EQ(instance->model.samplerate(), 44100.0);
        EXPECT_FALSE(instance->prepare(bad));
        EXPECT_EQ(instance->model.samplerate(), 44100.0);
    }
    auto instance = std::make_unique<pinstance>(44100.0);
    EXPECT_FALSE(instance->prepare(44100.0)); // unchanged: no set-up, the model keeps its state
    EXPECT_TRUE(instance->prepare(96000.0));
    EXPECT_EQ(instance->model.samplerate(), 96000.0);
    EXPECT_EQ(instance->model.engines[0].fftsize, 4096);
    EXPECT_EQ(instance->preparedrate(), 96000.0);
}

TEST(Instance, BlockAppliesEventsThenHostParametersThenMidi)
{
    auto instance = std::make_unique<pinstance>(44100.0);
    pprojdata& m = instance->model;
    const std::uint64_t host = addlistener(*instance, 4, 99); // no controller 99 is ever sent
    const std::uint64_t wheel = addlistener(*instance, 31, 1);
    m.audioqueue.post(pevaddvoice, 1.0f);
    instance->posthostparam(4, 0.25f);
    instance->clearmidi();
    const std::uint8_t modwheel[] = {0xB0, 1, 127};
    const std::uint8_t program[] = {0xC0, 5};
    instance->addmidi(modwheel, 3, 10);
    instance->addmidi(program, 2, 20); // not followed: dropped
    EXPECT_EQ(m.midirecords.count, 1u);
    silentblock(*instance);
    EXPECT_EQ(m.voices.count, 2u);
    EXPECT_EQ(m.audioqueue.size(), 0u);
    EXPECT_DOUBLE_EQ(m.patches[host]->channels[0].modoutput.load(), 0.25);
    EXPECT_DOUBLE_EQ(m.patches[wheel]->channels[0].modoutput.load(), 1.0);
}

TEST(Instance, RestoredStateIsSavedBackAndAppliedAtTheNextBlock)
{
    auto source = std::make_unique<pinstance>();
    source->model.newvoice();
    source->model.newvoice();
    costringa saved;
    source->savestate(saved);

    auto target = std::make_unique<pinstance>();
    target->restorestate(saved.c_str(), static_cast<std::int64_t>(saved.length));
    costringa pending;
    target->savestate(pending); // before any block: the text handed over
    EXPECT_EQ(pending.str(), saved.str());
    EXPECT_EQ(target->model.voices.count, 1u);
    silentblock(*target);
    EXPECT_EQ(target->model.voices.count, 3u);
    target->restorestate(nullptr, -5); // nothing to apply: the model stays
    silentblock(*target);
    EXPECT_EQ(target->model.voices.count, 3u);
}
