// What a VST 2 host sees of the plug-in: identity, parameters, buses, and the state chunk (text plus one NUL).
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
using identity = plugintest;

TEST_F(identity, NameVendorVersionUniqueIdLatencyAndParameters)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const auto fields = vsthost::readeffect(*plugin);
    const auto& d = plugindescription();
    EXPECT_EQ(d.name + "|" + d.manufacturerName + "|" + juce::String::toHexString(fields.version) + "|"
                  + juce::String::toHexString(vsthost::vendorversion(*plugin)) + "|"
                  + juce::String::toHexString(d.uniqueId) + "|" + juce::String::toHexString(fields.uniqueid) + "|"
                  + juce::String(fields.initialdelay) + "|" + juce::String(int(fields.programchunks))
                  + juce::String(int(plugin->acceptsMidi())),
              "Quillatrove|Korvel Music|10200|10200|566c6d71|566c6d71|1780|11"); // 'Vlmq'
    const auto& parameters = plugin->getParameters();
    ASSERT_EQ(parameters.size(), hostparametercount);
    for (int i = 0; i < parameters.size(); ++i)
        EXPECT_EQ(parameters[i]->getName(64) + "=" + juce::String(parameters[i]->getValue()),
                  "Parameter " + juce::String(i + 1) + "=0.5");
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

TEST_F(identity, FreshChunkThenSaveRestoreCyclesKeepTheBytesAndTheLaterOfTwoRestoresWins)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    const std::string rich = withnul(richstatetext());
    EXPECT_EQ(savestate(*plugin), chunkof(statetext({globals(), voice()})));
    restorestate(*plugin, rich);
    EXPECT_EQ(savestate(*plugin), rich + hosttrailer()); // a save before the next block loses nothing
    oneblock(*plugin);
    const std::string first = savestate(*plugin);
    EXPECT_EQ(first, rich + hosttrailer());
    restorestate(*plugin, first);
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), first);
    const std::string second = withnul(statetext({globals(0.5, 0.5, 0.0), voice(0.25), voice(0.75)}));
    restorestate(*plugin, rich);
    restorestate(*plugin, second);
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), second + hosttrailer());
}
} // namespace
} // namespace quilltest
