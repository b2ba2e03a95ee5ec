// The state chunk as a host saves and restores it: the state text plus one NUL.
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
class state : public plugintest
{
protected:
    void SetUp() override
    {
        plugin = loadplugin();
        ASSERT_NE(plugin, nullptr);
        plugin->prepareToPlay(defaultrate, defaultblock);
    }
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

TEST_F(state, FreshChunkIsTheDefaultStateTextAndOneNul)
{
    EXPECT_EQ(savestate(*plugin), withnul(statetext({globals(), voice()})));
}

TEST_F(state, SaveRestoreBlockSaveGivesIdenticalBytes)
{
    const std::string text = richstatetext();
    restorestate(*plugin, withnul(text));
    oneblock(*plugin);
    const std::string first = savestate(*plugin);
    EXPECT_EQ(first, withnul(text));
    restorestate(*plugin, first);
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), first);
}

TEST_F(state, TwoRestoresBeforeABlockLeaveTheSecond)
{
    const std::string second = statetext({globals(0.5, 0.5, 0.0), voice(0.25), voice(0.75)});
    restorestate(*plugin, withnul(richstatetext()));
    restorestate(*plugin, withnul(second));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(second));
    // More restores than the event queue holds: the overflow still reloads, and the last counts.
    for (int i = 0; i < 70; ++i)
        restorestate(*plugin, withnul(statetext({globals(), voice(i / 100.0)})));
    restorestate(*plugin, withnul(richstatetext()));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(richstatetext()));
}

TEST_F(state, SaveRightAfterARestoreLosesNothing)
{
    const std::string text = richstatetext();
    restorestate(*plugin, withnul(text));
    EXPECT_EQ(savestate(*plugin), withnul(text));
    oneblock(*plugin);
    EXPECT_EQ(savestate(*plugin), withnul(text));
}

TEST_F(state, MalformedTextsKeepOrReplaceTheModelAsTheyShould)
{
    const std::string text = richstatetext();
    const struct { std::string restored, saved; } cases[] = {
        {text, withnul(text)},                                              // no trailing NUL
        {withnul(text) + "^VOI,0.1,0.1,0.1" + std::string(1, '\0'), withnul(text)}, // a NUL ends the text
        {withnul("QLT-VERSION:1.2a"), withnul(text)},                       // no comma: model unchanged
        {withnul(statetext({globals(), voice(0.3), assignment(7, 0)})), withnul(statetext({globals(), voice(0.3)}))},
        // Free patches before a used one are written, free ones after it are not.
        {withnul(statetext({globals(), richlfo, richlfo, richlfo, voice(), assignment(1, 0)})),
         withnul(statetext({globals(), richlfo, richlfo, voice(), assignment(1, 0)}))}};
    for (const auto& c : cases)
    {
        restorestate(*plugin, withnul(text));
        oneblock(*plugin);
        restorestate(*plugin, c.restored);
        oneblock(*plugin);
        EXPECT_EQ(savestate(*plugin), c.saved) << c.restored;
    }
}
} // namespace
} // namespace quilltest
