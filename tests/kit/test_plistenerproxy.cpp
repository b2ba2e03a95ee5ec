// The one listener of every widget, and widgets that outlive the editor window.
#include "widgetfixture.h"

namespace
{
using proxy = kitfixture;

// The one listener exists only while a window is open; once it has gone, the proxy stays for
// the widgets that still hold it, and drops what they send.
TEST_F(proxy, DropsEventsOnceTheWindowHasGone)
{
    EXPECT_EQ(tools.widgetlistener(), nullptr);
    openwindow();
    plistenerproxy* listener = tools.widgetlistener();
    ASSERT_NE(listener, nullptr);
    pkButton* push = tools.guimakebutton(91050, 0, 0, 10, 10, nullptr, 1.0);
    pkKnob* turn = tools.guimakeknob(7, 9, 0, 0);
    push->button.triggerClick();
    pump();
    EXPECT_EQ(log.clicks, 1);
    EXPECT_EQ(log.clickvalue, 1.0);
    window.reset();
    EXPECT_EQ(tools.widgetlistener(), nullptr);
    EXPECT_EQ(tools.listenerproxy, listener);
    push->button.triggerClick();
    turn->slider.setValue(0.9, juce::sendNotificationSync);
    pump();
    EXPECT_EQ(log.clicks, 1);
    EXPECT_EQ(log.slides, 0);
    // A window that is not a listener of the widget's kind hears nothing either.
    juce::Component plain;
    root.component = &plain;
    turn->slider.setValue(0.1, juce::sendNotificationSync);
    root.component = nullptr;
    EXPECT_EQ(log.total(), 1);
}

TEST_F(proxy, FocusedFieldOutlivesItsWindow)
{
    openwindow(true);
    pkTextEdit* first = new pkTextEdit(10, 10, 60, 24, tools.widgetlistener(), 1, 0xffffffff, 0);
    pkTextEdit* second = new pkTextEdit(10, 50, 60, 24, tools.widgetlistener(), 2, 0xffffffff, 0);
    tools.controls.append(first);
    tools.controls.append(second);
    first->addTo(window.get());
    second->addTo(window.get());

    first->texteditor.grabKeyboardFocus();
    second->texteditor.grabKeyboardFocus();
    pump();
    ASSERT_TRUE(second->texteditor.hasKeyboardFocus(true));
    EXPECT_EQ(log.focuslosses, 1);

    // The window goes while a field holds the focus; its focus-lost message arrives later.
    window.reset();
    pump();
    EXPECT_EQ(log.focuslosses, 1);
    EXPECT_EQ(second->texteditor.getParentComponent(), nullptr);

    // The orphaned widgets still work, and go with the next rebuild.
    second->setValue(1.5f);
    EXPECT_STREQ(second->getText(), "1.50");
    tools.controls.clearAndDestroy();
    pump();
    EXPECT_EQ(log.focuslosses, 1);
}
} // namespace
