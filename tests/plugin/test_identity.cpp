// What a VST 2 host sees of the plug-in before any audio: identity, parameters, latency, buses.
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
constexpr int uniqueidvlmq = ('V' << 24) | ('l' << 16) | ('m' << 8) | 'q';
constexpr int versioncode = 0x10200;

using identity = plugintest;

TEST_F(identity, NameVendorVersionUniqueIdAndParameters)
{
    const auto& description = plugindescription();
    EXPECT_EQ(description.name, "Quillatrove");
    EXPECT_EQ(description.manufacturerName, "Korvel Music");
    EXPECT_EQ(description.uniqueId, uniqueidvlmq);
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const auto fields = vsthost::readeffect(*plugin);
    EXPECT_EQ(fields.version, versioncode);
    EXPECT_EQ(vsthost::vendorversion(*plugin), versioncode);
    EXPECT_EQ(fields.uniqueid, uniqueidvlmq);
    EXPECT_TRUE(fields.programchunks);
    EXPECT_TRUE(plugin->acceptsMidi());

    const auto& parameters = plugin->getParameters();
    ASSERT_EQ(parameters.size(), hostparametercount);
    for (int i = 0; i < parameters.size(); ++i)
    {
        EXPECT_EQ(parameters[i]->getName(64), "Parameter " + juce::String(i + 1));
        EXPECT_FLOAT_EQ(parameters[i]->getValue(), 0.5f) << i;
    }
}

TEST_F(identity, LatencyIs1780FromTheStartAndAtEveryRate)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(vsthost::readeffect(*plugin).initialdelay, reportedlatency);
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
    {
        plugin->prepareToPlay(rate, 4096);
        EXPECT_EQ(vsthost::readeffect(*plugin).initialdelay, reportedlatency) << rate;
        plugin->releaseResources();
    }
}

TEST_F(identity, AcceptsMatchingMonoOrStereoAndRefusesEverythingElse)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    using set = juce::AudioChannelSet;
    const struct { set in, out; bool accepted; } cases[] = {
        {set::stereo(), set::stereo(), true},           {set::mono(), set::mono(), true},
        {set::mono(), set::stereo(), false},            {set::stereo(), set::mono(), false},
        {set::create5point1(), set::create5point1(), false}, {set::stereo(), set::create5point1(), false},
        {set::disabled(), set::stereo(), false},        {set::disabled(), set::disabled(), false}};
    for (const auto& c : cases)
        EXPECT_EQ(vsthost::requestarrangement(*plugin, c.in, c.out), c.accepted)
            << c.in.getDescription() << " -> " << c.out.getDescription();
}
} // namespace
} // namespace quilltest
