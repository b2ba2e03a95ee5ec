// Shared set-up of the widget tests: a headless editor window that counts what reaches it,
// synthetic pictures, and pixel reads of offscreen renderings.
#pragma once

#include "kit/pkit.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

// What the editor window heard, kept outside it so it can be read after the window is gone.
struct heard
{
    int clicks = 0;
    double clickvalue = -1.0; // pkbuttonvalue of the last clicked button, 0 when it turned off
    juce::String clickid;
    int slides = 0;
    int choices = 0;
    int choiceindex = -2;
    int focuslosses = 0;
    int total() const { return clicks + slides + choices + focuslosses; }
};

// A peer without a display: enough for a window to be "showing" and to hold the focus.
class headlesspeer : public juce::ComponentPeer
{
public:
    headlesspeer(juce::Component& owner, int flags) : juce::ComponentPeer(owner, flags) {}

    void* getNativeHandle() const override { return nullptr; }
    void setVisible(bool) override {}
    void setTitle(const juce::String&) override {}
    void setBounds(const juce::Rectangle<int>& area, bool) override { bounds = area; }
    juce::Rectangle<int> getBounds() const override { return bounds; }
    juce::Point<float> localToGlobal(juce::Point<float> p) override { return p + bounds.getPosition().toFloat(); }
    juce::Point<float> globalToLocal(juce::Point<float> p) override { return p - bounds.getPosition().toFloat(); }
    void setMinimised(bool) override {}
    bool isMinimised() const override { return false; }
    void setFullScreen(bool) override {}
    bool isFullScreen() const override { return false; }
    void setIcon(const juce::Image&) override {}
    bool contains(juce::Point<int> p, bool) const override { return bounds.withZeroOrigin().contains(p); }
    OptionalBorderSize getFrameSizeIfPresent() const override { return {}; }
    juce::BorderSize<int> getFrameSize() const override { return {}; }
    bool setAlwaysOnTop(bool) override { return false; }
    void toFront(bool) override {}
    void toBehind(juce::ComponentPeer*) override {}
    bool isFocused() const override { return true; }
    void grabFocus() override {}
    void repaint(const juce::Rectangle<int>&) override {}
    void performAnyPendingRepaintsNow() override {}
    void setAlpha(float) override {}
    juce::StringArray getAvailableRenderingEngines() override { return {"Software Renderer"}; }
    void textInputRequired(juce::Point<int>, juce::TextInputTarget&) override {}

private:
    juce::Rectangle<int> bounds;
};

// Stands for the editor window: the root control's component, the widgets' parent, and the
// listener of every widget interface. Like the real window it leaves the root control when
// it goes.
class testwindow : public juce::Component,
                   public juce::Button::Listener,
                   public juce::Slider::Listener,
                   public juce::ComboBox::Listener,
                   public juce::TextEditor::Listener
{
public:
    testwindow(heard& log, pkComponent& rootcontrol, pguitools& tools);
    ~testwindow() override;

    void buttonClicked(juce::Button* button) override;
    void sliderValueChanged(juce::Slider* slider) override;
    void comboBoxChanged(juce::ComboBox* box) override;
    void textEditorFocusLost(juce::TextEditor& field) override;

protected:
    juce::ComponentPeer* createNewPeer(int flags, void*) override { return new headlesspeer(*this, flags); }

private:
    heard& log;
    pkComponent& root;
    pguitools& tools;
};

class kitfixture : public ::testing::Test
{
protected:
    kitfixture() { tools.rootcontrol = &root; }
    // A shown window sits on a headless peer, so that its widgets can take focus.
    void openwindow(bool shown = false)
    {
        window = std::make_unique<testwindow>(log, root, tools);
        if (!shown)
            return;
        window->setVisible(true);
        window->addToDesktop(0);
    }
    // A menu at (10, 20) on the scratch list, these entries added to it.
    pkMenu* scratchmenu(std::vector<const char*> entries, int initial)
    {
        for (const char* text : entries)
            tools.pushmenuitem(pmenuscratch, text, pmenuowntag);
        return tools.guimakemenu(91100, 10, 20, 120, static_cast<int>(pmenuscratch), initial);
    }

    heard log;
    pkComponent root;
    pguitools tools;
    // Last, so it goes first: as in a host, the window closes while the widgets live on.
    std::unique_ptr<testwindow> window;
};

// A picture of `rowheight`-pixel bands, one per colour, top to bottom (ARGB).
juce::Image* bandimage(int width, int rowheight, const std::vector<juce::uint32>& colours);
// The ARGB pixel at (x, y) of the component drawn offscreen.
juce::uint32 pixelof(juce::Component& component, int x, int y);
inline juce::uint32 pixelof(const juce::Image& image, int x, int y)
{
    return image.getPixelAt(x, y).getARGB();
}
// Runs the message loop for a short while (asynchronous clicks and focus messages).
void pump();
// The pointer at (x, y) of a shown window, as the system reports it, with the left button
// down or up; a click is a press and a release there.
void pointer(juce::Component& window, int x, int y, bool down);
void click(juce::Component& window, int x, int y);
