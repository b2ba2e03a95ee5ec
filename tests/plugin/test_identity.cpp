// What a VST 2 host sees of the plug-in: identity, parameters, buses, and the state chunk (text plus one NUL).
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
using identity = plugintest;

// Name, vendor, version, latency and the chunk flag are pinned by quill_vsthost_info and the raw host.
TEST_F(identity, UniqueIdMidiParametersAndBuses)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    constexpr int vlmq = 0x566c6d71; // 'Vlmq'
    EXPECT_EQ(plugindescription().uniqueId, vlmq);
    EXPECT_EQ(vsthost::readeffect(*plugin).uniqueid, vlmq);
    EXPECT_TRUE(plugin->acceptsMidi());
    const auto& parameters = plugin->getParameters();
    ASSERT_EQ(parameters.size(), hostparametercount);
    for (int i = 0; i < parameters.size(); ++i)
        EXPECT_EQ(parameters[i]->getName(64) + " " + juce::String(parameters[i]->getValue()),
                  "Parameter " + juce::String(i + 1) + " 0.5");
    using set = juce::AudioChannelSet;
    const struct
    {
        set in, out;
        bool accepted;
    } cases[] = {
        {set::stereo(), set::stereo(), true},
        {set::mono(), set::mono(), true},
        {set::mono(), set::stereo(), false},
        {set::stereo(), set::mono(), false},
        {set::create5point1(), set::create5point1(), false},
        {set::disabled(), set::stereo(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vsthost::requestarrangement(*plugin, c.in, c.out), c.accepted)
            << c.in.getDescription() << " -> " << c.out.getDescription();
}

// A save before the next block loses nothing, and the later of two restores wins.
TEST_F(identity, SaveRestoreKeepsTheBytesAndTheLaterRestoreWins)
{
    const std::string rich = withnul(richstatetext());
    auto plugin = prepared(richstatetext());
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(savestate(*plugin), rich + hosttrailer());
    const std::string second = withnul(statetext({globals(0.5, 0.5, 0.0), voice(0.25), voice(0.75)}));
    restorestate(*plugin, rich);
    restorestate(*plugin, second);
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), second + hosttrailer());
}
} // namespace
} // namespace quilltest
