// Text field and view.
#include "widgetfixture.h"

#include <clocale>
#include <string>

namespace
{
constexpr juce::uint32 frame = 0xffa0a0a0;
constexpr juce::uint32 focusedfill = 0xff474747;

using textfield = kitfixture;

TEST_F(textfield, SetValueShowsTwoDecimalsAndTellsNobody)
{
    openwindow();
    pkTextEdit field(0, 0, 60, 24, tools.widgetlistener(), 4, 0xffffffff, 0);
    const struct
    {
        float value;
        const char* shown;
    } cases[] = {
        {0.5f, "0.50"}, {7.0f, "7.00"}, {-12.25f, "-12.25"}, {0.0f, "0.00"}, {1000000.0f, "1000000.00"},
    };
    for (const auto& c : cases)
    {
        field.setValue(c.value);
        EXPECT_EQ(field.texteditor.getText(), c.shown);
    }
    EXPECT_EQ(costringspace::precision, costringspace::defaultPrecision);
    EXPECT_EQ(field.getValue(), 0.0);
    EXPECT_EQ(log.total(), 0);
}

TEST_F(textfield, TwoDecimalsWithAPointInAnyLocale)
{
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no German locale on this machine";
    pkTextEdit field(0, 0, 60, 24, nullptr, 4, 0xffffffff, 0);
    field.setValue(0.5f);
    std::setlocale(LC_NUMERIC, before.c_str());

    EXPECT_EQ(field.texteditor.getText(), "0.50");
    EXPECT_EQ(field.texteditor.getText().getDoubleValue(), 0.5);
}

TEST_F(textfield, GetTextCopiesTheContent)
{
    pkTextEdit field(0, 0, 60, 24, nullptr, 4, 0xffffffff, 0);
    EXPECT_STREQ(field.getText(), "");
    EXPECT_EQ(field.text.length, 0u);

    field.texteditor.setText("12.5", false);
    const char* copied = field.getText();
    EXPECT_STREQ(copied, "12.5");
    EXPECT_EQ(field.text.length, 4u);

    field.texteditor.setText("", false);
    EXPECT_STREQ(field.getText(), "");
    EXPECT_EQ(field.text.length, 0u);
    EXPECT_GE(field.text.capacity, 4u); // the buffer stays for the next text
}

TEST_F(textfield, ColoursAndIdentity)
{
    pkTextEdit framed(3, 4, 60, 24, nullptr, 92005, 0xff102030, 1);
    EXPECT_EQ(framed.texteditor.getBounds(), juce::Rectangle<int>(3, 4, 60, 24));
    EXPECT_EQ(framed.texteditor.getComponentID(), "92005");
    EXPECT_EQ(framed.texteditor.findColour(juce::TextEditor::textColourId).getARGB(), 0xff102030u);
    EXPECT_EQ(framed.texteditor.findColour(juce::TextEditor::outlineColourId).getARGB(), frame);
    pkTextEdit bare(3, 4, 60, 24, nullptr, 0, 0xff102030, 0);
    EXPECT_EQ(bare.texteditor.getComponentID(), "0");
    EXPECT_EQ(bare.texteditor.findColour(juce::TextEditor::outlineColourId).getARGB(), 0u);
    EXPECT_FALSE(bare.texteditor.isVisible());
    bare.addTo(nullptr);
    EXPECT_TRUE(bare.texteditor.isVisible());
}

TEST_F(textfield, DrawsOnlyWhatItsFocusAndOutlineSay)
{
    openwindow();
    window->show();
    pkTextEdit bare(10, 10, 60, 24, tools.widgetlistener(), 1, 0xffffffff, 0);
    pkTextEdit framed(10, 50, 60, 24, tools.widgetlistener(), 2, 0xffffffff, 1);
    bare.addTo(window.get());
    framed.addTo(window.get());

    // Unfocused: the bare field draws nothing, the framed one a 2-pixel grey frame.
    EXPECT_EQ(pixelof(bare.texteditor, 0, 0), 0u);
    EXPECT_EQ(pixelof(bare.texteditor, 40, 12), 0u);
    EXPECT_EQ(pixelof(framed.texteditor, 0, 0), frame);
    EXPECT_EQ(pixelof(framed.texteditor, 30, 1), frame);
    EXPECT_EQ(pixelof(framed.texteditor, 40, 12), 0u);

    // Focused: dark fill inside a 2-pixel frame, outline flag or not.
    bare.texteditor.grabKeyboardFocus();
    ASSERT_TRUE(bare.texteditor.hasKeyboardFocus(true));
    EXPECT_EQ(pixelof(bare.texteditor, 30, 1), frame);
    EXPECT_EQ(pixelof(bare.texteditor, 30, 22), frame);
    EXPECT_EQ(pixelof(bare.texteditor, 30, 2), focusedfill);
    EXPECT_EQ(pixelof(bare.texteditor, 40, 12), focusedfill);

    // Disabled: neither fill nor frame.
    bare.texteditor.setEnabled(false);
    framed.texteditor.setEnabled(false);
    EXPECT_EQ(pixelof(bare.texteditor, 40, 12), 0u);
    EXPECT_EQ(pixelof(framed.texteditor, 0, 0), 0u);
}

using view = kitfixture;

TEST_F(view, TakesTheImageSizeAndDrawsIt)
{
    pkView picture(10, 20, 5, 5, bandimage(73, 19, {0xff336699, 0xff996633}), nullptr, 0);
    EXPECT_EQ(picture.button.getBounds(), juce::Rectangle<int>(10, 20, 73, 38));
    EXPECT_EQ(pixelof(picture.button, 30, 5), 0xff336699u);
    EXPECT_EQ(pixelof(picture.button, 30, 30), 0xff996633u);
    picture.lookandfeel.opacity = 0.0;
    EXPECT_EQ(pixelof(picture.button, 30, 5), 0u);
    EXPECT_TRUE(picture.button.getComponentID().isEmpty());

    pkView label(10, 20, 155, 24, nullptr, "Patch \xe9", 0xff646464);
    EXPECT_EQ(label.button.getBounds(), juce::Rectangle<int>(10, 20, 155, 24));
    EXPECT_EQ(label.button.getButtonText(), juce::String(juce::CharPointer_UTF8("Patch \xc3\xa9")));
    EXPECT_EQ(label.button.findColour(juce::TextButton::textColourOffId).getARGB(), 0xff646464u);

    pkView undecoded(10, 20, 5, 5, new juce::Image(), nullptr, 0);
    EXPECT_EQ(undecoded.button.getBounds(), juce::Rectangle<int>(10, 20, 0, 0));
}

TEST_F(view, StoresItsValueAndReportsNothing)
{
    openwindow();
    pkView picture(0, 0, 20, 20, nullptr, nullptr, 0);
    window->addAndMakeVisible(picture.button);
    picture.setValue(2.5f);
    EXPECT_EQ(picture.getValue(), 2.5);
    EXPECT_EQ(pkbuttonvalue(picture.button), 2.5);
    picture.button.triggerClick();
    pump();
    EXPECT_EQ(log.total(), 0);
    EXPECT_FALSE(picture.button.getToggleState());
}
} // namespace
