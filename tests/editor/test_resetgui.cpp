// The editor surface built onto a plain 920 x 690 window, headless: the controls it makes,
// golden pictures of every page, and its lifetime across rebuilds and windows.
//
// Pictures: each page is rendered with createComponentSnapshot and compared with the PNG of
// the same name in tests/editor/snapshots by mean difference per channel. After a deliberate
// change of art or layout, regenerate the references (and the copies in docs/editor) with
//     QUILL_UPDATE_SNAPSHOTS=1 ctest --test-dir build -R surfacepictures
// and review the new pictures before committing them.
#include "editor/pkcomponente.h"
#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "kit/widgetfixture.h"
#include "plugin/pmenulists.h"
#include "session.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{

// The window of the tests: records what a text field hands over when it loses the focus.
class surfacewindow final : public testwindow
{
public:
    using testwindow::testwindow;
    void textEditorFocusLost(juce::TextEditor& field) override
    {
        testwindow::textEditorFocusLost(field);
        committedid = field.getComponentID();
        committedtext = field.getText();
    }
    juce::String committedid, committedtext;
};

struct editorsurface : ::testing::Test
{
    eventmodel em;
    pprojdata& m = em.m();
    pguitools& tools = em.controller->tools;
    pkComponentE root;
    heard log;
    std::unique_ptr<surfacewindow> window;

    editorsurface()
    {
        pfillmenulists(tools);
        tools.rootcontrol = &root;
        window = std::make_unique<surfacewindow>(log, root, tools);
    }
    ~editorsurface() override { window.reset(); }

    void build(std::int32_t page)
    {
        m.page = page;
        m.resetgui();
    }
};

// A field being typed into hands its text over before a rebuild deletes it, whether it still
// has the focus or the click that asked for the rebuild took the focus first (its focus-lost
// report then still a posted message); the framework's own report later finds the field gone.
TEST_F(editorsurface, TypedTextCommitsBeforeTheRebuild)
{
    // Shown on a headless peer, so that its fields can take the focus.
    window->setVisible(true);
    window->addToDesktop(0);
    for (const bool focusmoved : {false, true})
    {
        SCOPED_TRACE(focusmoved);
        log.focuslosses = 0;
        build(ppagevoices);
        pkTextEdit* pitch = nullptr;
        for (std::uint64_t i = 0; i < tools.controls.count && pitch == nullptr; ++i)
            pitch = dynamic_cast<pkTextEdit*>(tools.controls[i]);
        ASSERT_NE(pitch, nullptr);
        const juce::String id = pitch->texteditor.getComponentID();
        pitch->texteditor.grabKeyboardFocus();
        ASSERT_TRUE(pitch->texteditor.hasKeyboardFocus(true));
        pitch->texteditor.setText(focusmoved ? "4.25" : "7.5", focusmoved);
        if (focusmoved)
        {
            pump(); // the typing's change report
            pitch->texteditor.giveAwayKeyboardFocus();
        }
        build(focusmoved ? ppagemix : ppagevoices);
        EXPECT_EQ(window->committedid, id);
        EXPECT_EQ(window->committedtext, focusmoved ? "4.25" : "7.5");
        pump();
        build(ppagemix);
        EXPECT_EQ(log.focuslosses, 1);
    }
}

// ---- pictures ----

// Mean absolute difference per channel (0..255) over the whole picture; 255 when the sizes
// differ.
double meandifference(const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return 255.0;
    const juce::Image::BitmapData pa(a, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData pb(b, juce::Image::BitmapData::readOnly);
    double sum = 0.0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
        {
            const juce::Colour ca = pa.getPixelColour(x, y);
            const juce::Colour cb = pb.getPixelColour(x, y);
            sum += std::abs(ca.getRed() - cb.getRed()) + std::abs(ca.getGreen() - cb.getGreen())
                   + std::abs(ca.getBlue() - cb.getBlue());
        }
    return sum / (3.0 * a.getWidth() * a.getHeight());
}

bool writepng(const juce::Image& image, const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out(file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream(image, out);
}

// A picture's mean difference may reach this before the test fails: fonts and anti-aliasing
// differ a little between machines, a moved control or a changed picture does not.
constexpr double picturetolerance = 1.0;

struct surfacepictures : editorsurface
{
    // Renders the window and compares it with the reference of that name.
    void expectpicture(const char* name)
    {
        const juce::Image shot = window->createComponentSnapshot(window->getLocalBounds(), true, 1.0f);
        const juce::File reference = juce::File(QUILL_SNAPSHOT_DIR).getChildFile(juce::String(name) + ".png");
        if (std::getenv("QUILL_UPDATE_SNAPSHOTS") != nullptr)
        {
            ASSERT_TRUE(writepng(shot, reference));
            ASSERT_TRUE(writepng(shot, juce::File(QUILL_DOCS_DIR).getChildFile(juce::String(name) + ".png")));
            return;
        }
        const juce::File actual = juce::File::getCurrentWorkingDirectory()
                                      .getChildFile("snapshots")
                                      .getChildFile(juce::String(name) + ".png");
        writepng(shot, actual);
        const juce::Image expected = juce::ImageFileFormat::loadFrom(reference);
        ASSERT_TRUE(expected.isValid()) << "no reference " << reference.getFullPathName()
                                        << ": run QUILL_UPDATE_SNAPSHOTS=1 ctest -R surfacepictures";
        EXPECT_LE(meandifference(shot, expected), picturetolerance)
            << name << " differs from its reference; this run's picture is " << actual.getFullPathName();
    }
};

TEST_F(surfacepictures, EveryPageMatchesItsReference)
{
    const sessionpatches made = makesession(m);
    for (const pscene& scene : pscenes)
    {
        setscene(m, made, scene);
        build(scene.page);
        expectpicture(scene.name);
    }
}

} // namespace
