// The plug-in's editor in a top-level window of its own, as a user sees it in a host, with
// audio blocks running the whole time.
#include "tools/vsthost/vsthost.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace vsthost
{
namespace
{
std::atomic<bool> closerequested{false};

extern "C" void requestclose(int)
{
    closerequested = true;
}

// A window without decorations holding the editor at its top-left corner, so window and
// editor coordinates agree. Ends the message loop when a close is requested.
class editorframe final : public juce::Component, private juce::Timer
{
public:
    explicit editorframe(juce::AudioProcessorEditor& shown) : editor(shown)
    {
        setName(editorwindowtitle);
        setOpaque(true);
        addAndMakeVisible(editor);
        setSize(editor.getWidth(), editor.getHeight());
        addToDesktop(juce::ComponentPeer::windowAppearsOnTaskbar);
        setVisible(true);
        startTimer(pollmilliseconds);
    }
    ~editorframe() override { removeChildComponent(&editor); }

    void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::black); }
    void childBoundsChanged(juce::Component* child) override
    {
        if (child == &editor)
            setSize(editor.getWidth(), editor.getHeight());
    }

private:
    static constexpr int pollmilliseconds = 20;
    void timerCallback() override
    {
        if (!closerequested)
            return;
        stopTimer();
        juce::MessageManager::getInstance()->stopDispatchLoop();
    }

    juce::AudioProcessorEditor& editor;
};

// Silent blocks at about the pace of real time, so that events the editor queues for the
// audio thread are applied as in a running host.
class audioblocks
{
public:
    audioblocks(juce::AudioPluginInstance& p, double rate, int block, bool audio) : plugin(p), blocksize(block)
    {
        plugin.prepareToPlay(rate, blocksize);
        pause = std::chrono::microseconds(static_cast<long>(1.0e6 * blocksize / rate));
        if (audio)
            worker = std::thread([this] { run(); });
    }
    ~audioblocks()
    {
        running = false;
        if (worker.joinable())
            worker.join();
        plugin.releaseResources();
    }
    audioblocks(const audioblocks&) = delete;
    audioblocks& operator=(const audioblocks&) = delete;

private:
    void run()
    {
        const int channels = std::max(plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer(std::max(channels, 1), blocksize);
        juce::MidiBuffer midi;
        while (running)
        {
            buffer.clear();
            midi.clear();
            plugin.processBlock(buffer, midi);
            std::this_thread::sleep_for(pause);
        }
    }

    juce::AudioPluginInstance& plugin;
    int blocksize;
    std::chrono::microseconds pause{0};
    std::atomic<bool> running{true};
    std::thread worker;
};
} // namespace

bool showeditor(juce::AudioPluginInstance& plugin, const juce::File& stateout, double rate, int blocksize, bool audio,
                juce::String& error)
{
    if (!plugin.hasEditor())
    {
        error = "the plug-in has no editor";
        return false;
    }
    closerequested = false;
    std::signal(SIGTERM, requestclose);
    std::signal(SIGINT, requestclose);
    {
        audioblocks blocks(plugin, rate, blocksize, audio);
        std::unique_ptr<juce::AudioProcessorEditor> editor(plugin.createEditorIfNeeded());
        if (editor == nullptr)
        {
            error = "the plug-in made no editor";
            return false;
        }
        {
            editorframe frame(*editor);
            juce::MessageManager::getInstance()->runDispatchLoop();
        }
        editor.reset();
    }
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);

    if (stateout == juce::File())
        return true;
    juce::MemoryBlock chunk;
    if (!savechunk(plugin, chunk) || !stateout.replaceWithData(chunk.getData(), chunk.getSize()))
    {
        error = "cannot save the state to " + stateout.getFullPathName();
        return false;
    }
    return true;
}
} // namespace vsthost
