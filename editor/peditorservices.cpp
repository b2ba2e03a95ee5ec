#include "editor/peditorservices.h"

#include "engine/pprojdata.h"
#include "kit/pktextedit.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
bool readtext(pkControl& control, costringa& text)
{
    auto* field = dynamic_cast<pkTextEdit*>(&control);
    if (field == nullptr)
        return false;
    text.assign(field->getText());
    return true;
}

void showtext(pkControl& control, const char* text)
{
    if (auto* field = dynamic_cast<pkTextEdit*>(&control))
        field->texteditor.setText(juce::String::fromUTF8(text), false);
}
} // namespace

void popenaddress(const char* address)
{
    if (address != nullptr)
        juce::URL(juce::String(address)).launchInDefaultBrowser();
}

pcontrollerservices peditorservices()
{
    pcontrollerservices s;
    s.rebuild = [](pprojdata& model) { model.resetgui(); };
    s.teardown = [](pprojdata& model) { model.teardowngui(); };
    s.modeltick = [](pprojdata& model) { model.guiidle(); };
    s.readtext = readtext;
    s.showtext = showtext;
    s.openaddress = popenaddress;
    return s;
}
