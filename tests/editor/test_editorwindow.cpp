// The editor window on the processor itself, headless (no peer, no display): what it sets up
// and tears down, what each widget reports through it, mouse positions from nested widgets,
// and its life while audio, parameter and state threads run.
#include "editor/PluginEditor.h"
#include "editor/pcontroller.h"
#include "editor/playout.h"
#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "kit/pkit.h"
#include "plugin/PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{

struct editorwindow : ::testing::Test
{
    std::unique_ptr<VelquentAudioProcessor> processor = std::make_unique<VelquentAudioProcessor>();
    pcontroller& controller = processor->controller;
    pguitools& tools = controller.tools;
    pprojdata& model = processor->model;
    std::unique_ptr<juce::AudioProcessorEditor> window;

    editorwindow()
    {
        controller.services.openaddress = [](const char*) {};
        open();
    }
    void open() { window.reset(processor->createEditorIfNeeded()); }
    void close()
    {
        processor->editorBeingDeleted(window.get());
        window.reset();
    }
    VelquentAudioProcessorEditor& editor() { return dynamic_cast<VelquentAudioProcessorEditor&>(*window); }
    void tick() { editor().timerCallback(); }

    // The controls of a kind that pass `is`, in the order of the control list.
    template <typename Control, typename Test>
    std::vector<Control*> all(Test is)
    {
        std::vector<Control*> out;
        for (std::uint64_t i = 0; i < tools.controls.count; ++i)
            if (auto* c = dynamic_cast<Control*>(tools.controls[i]); c != nullptr && is(*c))
                out.push_back(c);
        return out;
    }
    // Buttons or switches whose widget carries code (its component ID).
    template <typename Control>
    std::vector<Control*> withcode(int code)
    {
        return all<Control>([code](Control& c) { return VelquentAudioProcessorEditor::codeof(c.button) == code; });
    }
    // The "Global Volume" knob of the voices page, or nothing.
    pkKnob* volumeknob()
    {
        const auto knobs = all<pkKnob>([](pkKnob& k) {
            return k.ownerkind == pownerglobal && k.paramindex == static_cast<std::int32_t>(pglobalvolume);
        });
        return knobs.empty() ? nullptr : knobs.front();
    }
    juce::MouseEvent press(juce::Component& on, juce::Point<float> local, juce::ModifierKeys mods)
    {
        auto source = juce::Desktop::getInstance().getMainMouseSource();
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent(source, local, mods, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &on, &on, now, local, now, 1, false);
    }
    void leftpress(juce::Component& on, juce::Point<float> local)
    {
        editor().mouseDownEx(press(on, local, juce::ModifierKeys::leftButtonModifier));
    }
};
} // namespace

TEST_F(editorwindow, OpeningBuildsTheSurfaceOnTheWindowAndClosingLetsGo)
{
    for (int round = 0; round < 2; ++round) // and a second window on the same processor
    {
        SCOPED_TRACE(round);
        EXPECT_EQ(processor->instance.rootcontrol.component, window.get());
        EXPECT_EQ(tools.parent.component, window.get());
        EXPECT_EQ(tools.editoropen, 1);
        EXPECT_EQ(window->getWidth(), peditorwidth);
        EXPECT_EQ(window->getHeight(), peditorheight);
        EXPECT_TRUE(editor().isTimerRunning());
        ASSERT_NE(volumeknob(), nullptr);
        EXPECT_EQ(volumeknob()->slider.getParentComponent(), window.get());
        close();
        EXPECT_EQ(processor->instance.rootcontrol.component, nullptr);
        EXPECT_EQ(tools.parent.component, nullptr);
        EXPECT_EQ(tools.editoropen, 0);
        // The widgets went with the window.
        EXPECT_EQ(tools.controls.count, 0u);
        EXPECT_EQ(tools.built, 0);
        open();
    }
}

TEST_F(editorwindow, WidgetsReportCodeAndValueThroughTheWindow)
{
    auto* volume = volumeknob();
    ASSERT_NE(volume, nullptr);
    volume->slider.setValue(0.75, juce::sendNotificationSync);
    EXPECT_DOUBLE_EQ(model.params[pglobalvolume]->norm, 0.75);

    const auto mixer = withcode<pkButton>(pevmixpage);
    const auto addvoice = withcode<pkButton>(pevaddvoice);
    ASSERT_EQ(mixer.size(), 1u);
    ASSERT_EQ(addvoice.size(), 1u);
    editor().buttonClicked(&addvoice[0]->button);
    editor().buttonClicked(&mixer[0]->button);
    EXPECT_EQ(take(model.audioqueue), (events{{pevaddvoice, 1.0f}}));
    EXPECT_EQ(take(model.guiqueue), (events{{pevmixpage, 1.0f}}));

    // Radio switch 3 of "Mode" reports 3 when it lights, 0 when a click turns it off: the
    // choice stands and the switch is lit again.
    const auto modes = withcode<pkSwitch>(pevvoicemode);
    ASSERT_EQ(modes.size(), 3u);
    modes[2]->button.setToggleState(true, juce::dontSendNotification);
    editor().buttonClicked(&modes[2]->button);
    modes[2]->button.setToggleState(false, juce::dontSendNotification);
    editor().buttonClicked(&modes[2]->button);
    EXPECT_EQ(model.voices[0]->params[pvoicemode]->intvalue, 2);
    EXPECT_TRUE(modes[2]->button.getToggleState());

    const auto fields = all<pkTextEdit>([](pkTextEdit&) { return true; }); // the pitch field first
    ASSERT_FALSE(fields.empty());
    juce::TextEditor& pitch = fields[0]->texteditor;
    for (const auto& [text, semitones] : {std::pair<const char*, double>{"12.5", 12.5}, {"x", 0.0}})
    {
        pitch.setText(text, false);
        editor().textEditorFocusLost(pitch);
        EXPECT_NEAR((model.voices[0]->params[pvoicepitch]->value - 0.5) * ppitchtextscale(2), semitones, 1e-6) << text;
    }
}

// A list longer than the chooser's box: its page turner, pressed through the window, brings
// every patch onto a row, and a row's click picks its patch.
TEST_F(editorwindow, EveryPatchOfALongChooserListCanBePicked)
{
    for (int i = 0; i < 30; ++i)
        model.newpatch(false, pkindmodulator);
    model.guiqueue.post(pevopenchooser, 1.0f);
    tick();
    auto isrow = [](pkButton& b) {
        const int code = VelquentAudioProcessorEditor::codeof(b.button);
        return code == pevassignpatch || code == pevselectpatch;
    };
    auto isturner = [](pkView& v) {
        return v.button.getPosition() == juce::Point<int>(pchooserx + pchooserpagerw, pchooserpagery);
    };
    std::set<float> reachable;
    for (int turn = 0; turn < tools.chooserpages; ++turn)
    {
        for (pkButton* row : all<pkButton>(isrow))
            reachable.insert(static_cast<float>(row->getValue()));
        const auto turners = all<pkView>(isturner);
        ASSERT_EQ(turners.size(), 1u);
        leftpress(turners[0]->button, {5.0f, 5.0f});
        tick();
    }
    EXPECT_EQ(reachable.size(), 30u);
    const auto rows = all<pkButton>(isrow);
    ASSERT_FALSE(rows.empty());
    take(model.audioqueue);
    editor().buttonClicked(&rows.back()->button);
    EXPECT_EQ(take(model.audioqueue), (events{{pevassignpatch, 30.0f}}));
    leftpress(*window, {100.0f, 100.0f});
    tick(); // a press outside closes the chooser; it opens again on its first page
    EXPECT_EQ(tools.chooserpage, 0);
}

TEST_F(editorwindow, CodesAreReadFromTheComponentIdSafely)
{
    juce::Component c;
    const std::pair<const char*, int> rows[] = {
        {"92031", 92031}, {"-12", -12}, {"abc", 0}, {"99999999999999", 0}, {"7x", 7},
    };
    for (const auto& [id, code] : rows)
    {
        c.setComponentID(id);
        EXPECT_EQ(VelquentAudioProcessorEditor::codeof(c), code) << id;
    }
}

TEST_F(editorwindow, MousePositionsAreTheWindowsWhateverWidgetTheyCameFrom)
{
    const std::uint64_t eq = model.newpatch(false, pkindeq);
    model.page = ppageeq;
    model.selectedpatch = eq;
    model.guiqueue.post(pevrebuildgui, 1.0f);
    tick();
    ASSERT_NE(tools.graphview, nullptr);
    juce::Component& graph = tools.graphview->button;
    ASSERT_NE(graph.getPosition(), juce::Point<int>()); // else its own and the window's points would agree

    // The graph's own (0, 0), wherever it sits on the window, is the top of curve point 0.
    leftpress(graph, {0.0f, 0.0f});
    EXPECT_DOUBLE_EQ(model.patches[eq]->params[ppatchcurvefirst]->norm, 511.0 / 512.0);
    EXPECT_EQ(tools.strokecountdown, pstroketicks);
    // A right-button press anywhere ends the stroke and draws nothing.
    editor().mouseDownEx(press(graph, {300.0f, 300.0f}, juce::ModifierKeys::rightButtonModifier));
    EXPECT_EQ(tools.strokecountdown, 0);
    EXPECT_EQ(VelquentAudioProcessorEditor::buttonsof(press(graph, {}, juce::ModifierKeys::middleButtonModifier)), 4);
    // Moves never reach the controller; drags do.
    editor().mouselistener->mouseMove(press(graph, {8.0f, 511.0f}, juce::ModifierKeys::leftButtonModifier));
    EXPECT_DOUBLE_EQ(model.patches[eq]->params[ppatchcurvefirst + 1]->norm, 0.5);
    editor().mouselistener->mouseDrag(press(graph, {8.0f, 511.0f}, juce::ModifierKeys::leftButtonModifier));
    EXPECT_DOUBLE_EQ(model.patches[eq]->params[ppatchcurvefirst + 1]->norm, 0.0);
}

TEST_F(editorwindow, OpenAndCloseWhileAudioParametersAndStatesRun)
{
    processor->prepareToPlay(44100.0, 256);
    std::atomic<bool> running{true};
    std::thread audio([&] {
        juce::AudioBuffer<float> buffer(2, 256);
        juce::MidiBuffer midi;
        for (int i = 0; running; ++i)
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int s = 0; s < 256; ++s)
                    buffer.setSample(ch, s, 0.3f * std::sin(0.05f * static_cast<float>(s + 256 * i)));
            processor->processBlock(buffer, midi);
        }
    });
    std::thread host([&] { // automation and state saves and loads, as a host's other thread
        std::mt19937 random(11);
        juce::MemoryBlock chunk;
        for (int i = 0; running; ++i)
        {
            processor->getParameters()[static_cast<int>(random() % 32)]->setValue((random() % 101) / 100.0f);
            processor->getStateInformation(chunk);
            if (i % 4 == 0) // now and then random bytes behind the version token
            {
                std::string bytes = "QLT-VERSION:1.2a,^PAR,0.5,^VOI,0.7,0.5,0.5,2,0.5,0.5,0";
                for (int b = 0; b < 40; ++b)
                    bytes += "0123456789.,^PATVOIM-"[random() % 21];
                chunk.replaceAll(bytes.data(), bytes.size() + 1);
            }
            processor->setStateInformation(chunk.getData(), static_cast<int>(chunk.getSize()));
            std::this_thread::yield();
        }
    });

    std::mt19937 random(5);
    for (int round = 0; round < 40; ++round)
    {
        if (round % 2 == 1)
            close();
        if (window == nullptr)
            open();
        for (int t = 0; t < 5; ++t)
        {
            // What a user does between ticks: a knob, a page, a voice, a typed pitch.
            if (auto* volume = volumeknob())
                volume->slider.setValue((random() % 100) / 100.0, juce::sendNotificationSync);
            const std::int32_t commands[] = {pevmixpage, pevvoicespage, pevnextvoice, pevrebuildgui, 93003};
            model.guiqueue.post(commands[random() % 5], 1.0f);
            controller.routeevent(pevaddvoice, 1.0f);
            tick();
        }
    }
    running = false;
    audio.join();
    host.join();
    close();
    juce::MemoryBlock chunk;
    processor->getStateInformation(chunk);
    EXPECT_EQ(std::string(static_cast<const char*>(chunk.getData())).rfind("QLT-VERSION:1.2a,^PAR,", 0), 0u);
}
