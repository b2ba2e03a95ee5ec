// What a VST 2 host sees of the plug-in before any audio: identity, parameters, latency, buses.
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
constexpr int uniqueidvlmq = ('V' << 24) | ('l' << 16) | ('m' << 8) | 'q';
constexpr int versioncode = 0x10200;

using identity = plugintest;

TEST_F(identity, NamesVendorVersionAndUniqueId)
{
    const auto& description = plugindescription();
    EXPECT_EQ(description.name, "Quillatrove");
    EXPECT_EQ(description.descriptiveName, "Quillatrove");
    EXPECT_EQ(description.manufacturerName, "Korvel Music");
    // A JUCE host reads the vendor version 0x10200 as four fields.
    EXPECT_EQ(description.version, "1.2.0.0");
    EXPECT_EQ(description.uniqueId, uniqueidvlmq);
    EXPECT_EQ(description.category, "Effect");
    EXPECT_FALSE(description.isInstrument);

    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const auto fields = vsthost::readeffect(*plugin);
    ASSERT_TRUE(fields.valid);
    EXPECT_EQ(fields.version, versioncode);
    EXPECT_EQ(fields.uniqueid, uniqueidvlmq);
    EXPECT_TRUE(fields.programchunks);
    EXPECT_TRUE(fields.canreplacing);
    EXPECT_FALSE(fields.issynth);
    EXPECT_EQ(fields.numinputs, 2);
    EXPECT_EQ(fields.numoutputs, 2);
}

TEST_F(identity, TakesMidiInGivesNoMidiOutAndHasOneNamelessProgram)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    EXPECT_TRUE(plugin->acceptsMidi());
    EXPECT_FALSE(plugin->producesMidi());
    EXPECT_EQ(plugin->getNumPrograms(), 1);
    EXPECT_EQ(plugin->getCurrentProgram(), 0);
    EXPECT_TRUE(plugin->getProgramName(0).isEmpty());
    EXPECT_EQ(plugin->getTailLengthSeconds(), 0.0);
    // No editor in this build: a host must not offer to open one.
    EXPECT_FALSE(plugin->hasEditor());
    EXPECT_FALSE(vsthost::readeffect(*plugin).haseditor);
}

TEST_F(identity, ProgramChangesDoNotTouchTheState)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const std::string before = savestate(*plugin);
    plugin->setCurrentProgram(0);
    plugin->setCurrentProgram(5);
    plugin->changeProgramName(0, "renamed");
    EXPECT_EQ(plugin->getCurrentProgram(), 0);
    EXPECT_EQ(savestate(*plugin), before);
}

TEST_F(identity, ThirtyTwoAutomatableParametersAtOneHalf)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const auto& parameters = plugin->getParameters();
    ASSERT_EQ(parameters.size(), hostparametercount);
    EXPECT_EQ(vsthost::readeffect(*plugin).numparams, hostparametercount);
    for (int i = 0; i < parameters.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(parameters[i]->getName(64), "Parameter " + juce::String(i + 1));
        EXPECT_FLOAT_EQ(parameters[i]->getValue(), 0.5f);
        EXPECT_TRUE(parameters[i]->isAutomatable());
    }
}

TEST_F(identity, HostParameterValuesReadBackAndStayOutOfTheState)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const std::string before = savestate(*plugin);
    auto* third = plugin->getParameters()[2];
    third->setValue(0.25f);
    EXPECT_FLOAT_EQ(third->getValue(), 0.25f);
    EXPECT_FLOAT_EQ(plugin->getParameters()[3]->getValue(), 0.5f);
    EXPECT_EQ(savestate(*plugin), before);
}

TEST_F(identity, LatencyIs1780FromTheStartAndAtEveryRate)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->getLatencySamples(), reportedlatency);
    EXPECT_EQ(vsthost::readeffect(*plugin).initialdelay, reportedlatency);
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
    {
        for (int block : {64, 512, 4096})
        {
            plugin->prepareToPlay(rate, block);
            EXPECT_EQ(plugin->getLatencySamples(), reportedlatency) << rate << " Hz, block " << block;
            EXPECT_EQ(vsthost::readeffect(*plugin).initialdelay, reportedlatency);
            plugin->releaseResources();
        }
    }
}

TEST_F(identity, OneStereoInputAndOneStereoOutputByDefault)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->getTotalNumInputChannels(), 2);
    EXPECT_EQ(plugin->getTotalNumOutputChannels(), 2);
    EXPECT_EQ(plugin->getBusCount(true), 1);
    EXPECT_EQ(plugin->getBusCount(false), 1);
}

TEST_F(identity, AcceptsMatchingMonoOrStereoAndRefusesEverythingElse)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto surround = juce::AudioChannelSet::create5point1();
    const auto disabled = juce::AudioChannelSet::disabled();

    EXPECT_TRUE(vsthost::requestarrangement(*plugin, stereo, stereo));
    EXPECT_TRUE(vsthost::requestarrangement(*plugin, mono, mono));
    EXPECT_FALSE(vsthost::requestarrangement(*plugin, mono, stereo));
    EXPECT_FALSE(vsthost::requestarrangement(*plugin, stereo, mono));
    EXPECT_FALSE(vsthost::requestarrangement(*plugin, surround, surround));
    EXPECT_FALSE(vsthost::requestarrangement(*plugin, stereo, surround));
    EXPECT_FALSE(vsthost::requestarrangement(*plugin, disabled, stereo));
    EXPECT_FALSE(vsthost::requestarrangement(*plugin, disabled, disabled));
}

TEST_F(identity, VendorVersionIsTheVersionCode)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(vsthost::vendorversion(*plugin), versioncode);
}
} // namespace
} // namespace quilltest
