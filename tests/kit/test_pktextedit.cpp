#include "widgetfixture.h"

#include <clocale>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

namespace
{
constexpr juce::uint32 frame = pkTextEdit::framecolour;
constexpr juce::uint32 fill = pkTextEdit::focusedbackground;

using textfield = kitfixture;

// Text in the given colour (too small a part of the surface pictures to show there); two
// decimals with a point in any locale, the global precision untouched, nobody told; the text
// read back is the field's content. A view stores its value.
TEST_F(textfield, ShowsTwoDecimalsAndReadsBackItsTextAndAViewItsValue)
{
    openwindow();
    pkTextEdit field(0, 0, 60, 24, tools.widgetlistener(), 4, 0xff102030, 0);
    EXPECT_EQ(field.texteditor.findColour(juce::TextEditor::textColourId).getARGB(), 0xff102030u);
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    const std::pair<float, const char*> rows[] = {
        {0.5f, "0.50"}, {7.0f, "7.00"}, {-12.25f, "-12.25"}, {0.0f, "0.00"}, {1000000.0f, "1000000.00"},
    };
    for (const auto& [value, shown] : rows)
    {
        field.setValue(value);
        EXPECT_STREQ(field.getText(), shown) << (german ? "de_DE" : "C");
    }
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(costringspace::precision, costringspace::defaultPrecision);
    // A view's picture is in the surface pictures; a click on it reaches nobody either.
    pkView picture(0, 0, 20, 20, nullptr, nullptr, 0);
    window->addAndMakeVisible(picture.button);
    picture.setValue(2.5f);
    EXPECT_EQ(picture.getValue(), 2.5);
    picture.button.triggerClick();
    pump();
    EXPECT_EQ(log.total(), 0);
}

// Unfocused: the bare field draws nothing, the framed one a 2-pixel frame. Focused: a dark
// fill inside a 2-pixel frame. Disabled: neither.
TEST_F(textfield, DrawsOnlyWhatItsFocusAndOutlineSay)
{
    openwindow(true);
    pkTextEdit bare(10, 10, 60, 24, tools.widgetlistener(), 1, 0xffffffff, 0);
    pkTextEdit framed(10, 50, 60, 24, tools.widgetlistener(), 2, 0xffffffff, 1);
    bare.addTo(window.get());
    framed.addTo(window.get());
    const auto state = [&](int step) {
        if (step == 1)
            bare.texteditor.grabKeyboardFocus();
        if (step != 2)
            return;
        bare.texteditor.setEnabled(false);
        framed.texteditor.setEnabled(false);
    };
    const std::tuple<int, pkTextEdit*, int, int, juce::uint32> rows[] = {
        // step (0 unfocused, 1 focused, 2 disabled), field, x, y, colour
        {0, &bare, 0, 0, 0u},     {0, &bare, 40, 12, 0u},   {0, &framed, 0, 0, frame}, {0, &framed, 30, 1, frame},
        {0, &framed, 40, 12, 0u}, {1, &bare, 30, 1, frame}, {1, &bare, 30, 22, frame}, {1, &bare, 30, 2, fill},
        {1, &bare, 40, 12, fill}, {2, &bare, 40, 12, 0u},   {2, &framed, 0, 0, 0u},
    };
    for (const auto& [step, field, x, y, colour] : rows)
    {
        state(step);
        EXPECT_EQ(pixelof(field->texteditor, x, y), colour) << step << " " << x << "," << y;
    }
}

} // namespace
