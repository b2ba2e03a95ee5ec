// pprojdata::resetgui: throws the editor surface away and builds it again from the model,
// walking the page plan (editor/psurfaceplan.h) with one builder loop.
#include "editor/pparamcontrols.h"
#include "editor/psurfaceplan.h"
#include "engine/pprojdata.h"
#include "kit/pkit.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{

// The common tail of the builders, for the views and buttons made here directly.
void show(pguitools& tools, pkControl* control, juce::Component& widget)
{
    tools.controls.append(control);
    widget.setVisible(true);
    if (tools.parent.component != nullptr)
        tools.parent.component->addAndMakeVisible(widget);
}

// A field the user is typing into hands its text over now, the way losing focus does. The
// framework reports a focus loss through a posted message, which would find the field
// already deleted and the typing lost.
void commitfocusedtext(pguitools& tools)
{
    if (tools.listenerproxy == nullptr)
        return;
    for (std::uint64_t i = 0; i < tools.controls.count; ++i)
    {
        auto* field = dynamic_cast<pkTextEdit*>(tools.controls[i]);
        if (field != nullptr && (field->texteditor.hasKeyboardFocus(true) || field->edits.pending))
        {
            field->edits.pending = false;
            tools.listenerproxy->textEditorFocusLost(field->texteditor);
        }
    }
}

// The old surface, in the order that keeps every pointer valid: menu records (which point
// at menus), the parent's children (removal does not delete), the graph image (owned by a
// view about to go), then the controls and the radio records (which point at switches).
void teardown(pguitools& tools, juce::Component* parent)
{
    // An open menu's window still uses the look of the menu about to be deleted.
    juce::PopupMenu::dismissAllActiveMenus();
    tools.patchmenus.clearAndDestroy();
    if (parent != nullptr)
        while (parent->getNumChildComponents() > 0)
            parent->removeChildComponent(parent->getNumChildComponents() - 1);
    tools.graphimage = nullptr;
    tools.graphview = nullptr;
    tools.controls.clearAndDestroy();
    tools.radiogroups.clearAndDestroy();
    tools.built = 0;
}

void label(pguitools& tools, const pelement& e)
{
    auto* view = new pkView(e.x, e.y, e.w, e.h, nullptr, e.text.c_str(), e.colour);
    show(tools, view, view->button);
}

} // namespace

void pbuildelement(pprojdata& m, const pelement& e)
{
    pguitools& t = *m.tools;
    switch (e.kind)
    {
    case elementkind::image: t.guimakeview(e.image, e.x, e.y); break;
    case elementkind::label: label(t, e); break;
    case elementkind::hotspot:
    case elementkind::imagebutton:
    {
        pkButton* button = t.guimakebutton(e.code, e.x, e.y, e.w, e.h, e.image, e.value);
        if (e.tip != nullptr)
            button->setTip(e.tip);
        break;
    }
    case elementkind::radio: t.guimakeradio(e.count, e.rows, e.w, e.h, e.code, e.x, e.y, e.selected); break;
    case elementkind::param:
        m.makeparamcontrol(e.param, e.x, e.y, e.control, e.style, e.ownerkind, e.ownerindex, e.mode, e.voice);
        break;
    case elementkind::fineknob:
    {
        pkKnob* knob = t.guimakeknob(static_cast<int>(t.controls.count), static_cast<int>(e.style), e.x, e.y);
        knob->paramindex = static_cast<std::int32_t>(e.param);
        knob->ownerkind = e.ownerkind;
        knob->ownerindex = e.ownerindex;
        knob->mode = e.mode;
        knob->voice = e.voice;
        knob->setValue(0.5f);
        break;
    }
    case elementkind::patchmenu: pbuildpatchmenu(m, e.code, e.ownerindex, e.x, e.y, e.w); break;
    case elementkind::patchitem: t.makepatchitem(e.index, e.row, e.rowkind, e.text.c_str()); break;
    case elementkind::graph: m.guiidle(); break;
    }
}

void pprojdata::resetgui()
{
    if (tools == nullptr)
        return;
    pguitools& t = *tools;
    juce::Component* parent = t.rootcontrol != nullptr ? t.rootcontrol->component : nullptr;
    t.parent.component = parent;

    if (t.built != 0)
    {
        commitfocusedtext(t);
        teardown(t, parent);
    }

    papplyfallbacks(*this);
    pupdateshown(*this);
    psurfaceplan plan;
    pplansurface(*this, plan);
    t.chooserpages = plan.chooserpages;
    if (plan.chooser)
    {
        t.patchlistx = pchooserx;
        t.patchlisty = pchoosery;
        t.chooserrect = prect{pchooserx, pchoosery, pchooserright, pchooserbottom};
    }
    for (const pelement& e : plan.elements)
        pbuildelement(*this, e);
    t.built = 1;
}

void pprojdata::teardowngui()
{
    if (tools == nullptr || tools->built == 0)
        return;
    commitfocusedtext(*tools);
    teardown(*tools, tools->rootcontrol != nullptr ? tools->rootcontrol->component : nullptr);
}
