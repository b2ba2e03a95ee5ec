// The state chunk as a host saves and restores it: the state text plus one NUL.
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
constexpr int silentblock = 256;

std::string withnul(const std::string& text)
{
    return text + std::string(1, '\0');
}

void oneblock(juce::AudioPluginInstance& plugin)
{
    juce::AudioBuffer<float> buffer(2, silentblock);
    buffer.clear();
    juce::MidiBuffer midi;
    plugin.processBlock(buffer, midi);
}

class state : public plugintest
{
protected:
    void SetUp() override
    {
        plugin = loadplugin();
        ASSERT_NE(plugin, nullptr);
        plugin->prepareToPlay(defaultrate, silentblock);
    }
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

TEST_F(state, FreshChunkIsTheDefaultStateTextAndOneNul)
{
    const std::string chunk = savestate(*plugin);
    EXPECT_EQ(chunk, withnul(statetext({globals(), voice()})));
}

TEST_F(state, FreshChunkHasNoOtherNulAndNoTrailingComma)
{
    const std::string chunk = savestate(*plugin);
    ASSERT_FALSE(chunk.empty());
    EXPECT_EQ(chunk.find('\0'), chunk.size() - 1);
    EXPECT_NE(chunk[chunk.size() - 2], ',');
    EXPECT_EQ(chunk.rfind("QLT-VERSION:1.2a,^PAR,", 0), 0u);
}

TEST_F(state, RestoredTextComesBackByteForByteAfterABlock)
{
    const std::string text = richstatetext();
    restorestate(*plugin, withnul(text));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(text));
}

TEST_F(state, SaveRestoreBlockSaveIsStable)
{
    restorestate(*plugin, withnul(richstatetext()));
    oneblock(*plugin);
    const std::string first = savestate(*plugin);
    restorestate(*plugin, first);
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), first);
}

TEST_F(state, ChunkMovesBetweenInstances)
{
    restorestate(*plugin, withnul(richstatetext()));
    oneblock(*plugin);
    const std::string chunk = savestate(*plugin);

    auto other = loadplugin();
    ASSERT_NE(other, nullptr);
    other->prepareToPlay(48000.0, silentblock);
    restorestate(*other, chunk);
    oneblock(*other);
    EXPECT_EQ(savestate(*other), chunk);
}

TEST_F(state, TwoRestoresBeforeABlockLeaveTheSecond)
{
    const std::string second = statetext({globals(0.5, 0.5, 0.0), voice(0.25), voice(0.75)});
    restorestate(*plugin, withnul(richstatetext()));
    restorestate(*plugin, withnul(second));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(second));
}

TEST_F(state, SaveRightAfterARestoreLosesNothing)
{
    // A host that restores and saves before any audio block must get the restored state.
    const std::string text = richstatetext();
    restorestate(*plugin, withnul(text));
    EXPECT_EQ(savestate(*plugin), withnul(text));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(text));
}

TEST_F(state, ManyRestoresBeforeABlockStillApplyTheLast)
{
    // More restores than the event queue holds: the overflow still reloads, and only the
    // last text counts.
    for (int i = 0; i < 70; ++i)
        restorestate(*plugin, withnul(statetext({globals(), voice(i / 100.0)})));
    const std::string last = statetext({globals(0.1, 0.9, 1.0), voice(0.8), voice(0.2)});
    restorestate(*plugin, withnul(last));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(last));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(last));
}

TEST_F(state, TextWithoutTrailingNulIsAccepted)
{
    const std::string text = richstatetext();
    restorestate(*plugin, text);
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(text));
}

TEST_F(state, AnEmbeddedNulEndsTheText)
{
    const std::string text = richstatetext();
    restorestate(*plugin, withnul(text) + "^VOI,0.1,0.1,0.1" + std::string(1, '\0'));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(text));
}

TEST_F(state, TextWithoutCommaLeavesTheModelAsItWas)
{
    const std::string text = richstatetext();
    restorestate(*plugin, withnul(text));
    oneblock(*plugin);
    restorestate(*plugin, withnul("QLT-VERSION:1.2a"));
    // Saved before the block: the pending text would change nothing, so the model is what
    // the host gets.
    EXPECT_EQ(savestate(*plugin), withnul(text));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(text));
}

TEST_F(state, ReloadKeepsGlobalsThatTheTextLeavesOut)
{
    const std::string full = statetext({globals(0.25, 0.75, 0.0), voice(0.6)});
    restorestate(*plugin, withnul(full));
    oneblock(*plugin);
    // Only "In" given: the other globals stay, voices and patches are replaced.
    restorestate(*plugin, withnul("QLT-VERSION:1.2a,^PAR,0.250000"));
    oneblock(*plugin);
    std::string expected = "QLT-VERSION:1.2a,^PAR,0.250000";
    const std::string rest = globals(0.25, 0.75, 0.0);
    expected += rest.substr(rest.find(',', 5)) + "," + voice();
    EXPECT_EQ(savestate(*plugin), withnul(expected));
}

TEST_F(state, UnassignedTrailingPatchesAreNotWrittenButEarlierFreeOnesAre)
{
    const std::string lfo =
        "^PAT,93001,0.400000,0.000000,0.000000,0.010101,0.100000,0.000000,0.000000,0.000000";
    // Patch 0 free, patch 1 used, patch 2 free: patches 0 and 1 are written, 2 dropped.
    restorestate(*plugin, withnul(statetext({globals(), lfo, lfo, lfo, voice(), assignment(1, 0)})));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(statetext({globals(), lfo, lfo, voice(), assignment(1, 0)})));
}

TEST_F(state, AssignmentToAMissingPatchIsDropped)
{
    restorestate(*plugin, withnul(statetext({globals(), voice(0.3), assignment(7, 0)})));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(statetext({globals(), voice(0.3)})));
}
} // namespace
} // namespace quilltest
