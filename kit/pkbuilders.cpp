// The builders of pguitools that make widgets: knob, menu, image button, picture, radio
// group, patch-list row, and the parameter display.
#include "engine/pparam.h"
#include "kit/pguitools.h"
#include "kit/pkbutton.h"
#include "kit/pkimages.h"
#include "kit/pkknob.h"
#include "kit/pkmenu.h"
#include "kit/pkswitch.h"
#include "kit/pktextedit.h"
#include "kit/pkview.h"
#include "kit/plistenerproxy.h"

namespace
{
// Film strips by knob style 0, 1, 2; any other style has none.
constexpr const char* knobstrips[] = {"knobpto_png", "knobptob_png", "knobptoc_png"};

// Radio faces: the narrow pair for groups 122 pixels wide, the wide pair otherwise.
constexpr int narrowradiowidth = 122;

// Patch-list rows.
constexpr int patchrowheight = 24;
constexpr int patchrowoffset = 32;
constexpr int patchlabelwidth = 155;
constexpr int assigncode = 91060;
constexpr int selectcode = 91059;
constexpr int deletecode = 91058;
constexpr int selectwidth = 176;
constexpr int selectheight = 18;
constexpr int deleteoffset = 174;
constexpr unsigned long viewtextcolour = 0xffbebebe;
constexpr unsigned long unusedpatchcolour = 0xff646464;
constexpr unsigned long otherpatchcolour = 0xff96bebe;
constexpr unsigned long ownpatchcolour = 0xffd2d2d2;

void addtoparent(pguitools& tools, juce::Component& widget)
{
    widget.setVisible(true);
    if (tools.parent.component != nullptr)
        tools.parent.component->addAndMakeVisible(widget);
}

// The common tail of every builder: the list owns the control, the widget shows on top.
void show(pguitools& tools, pkControl* control, juce::Component& widget)
{
    tools.controls.append(control);
    addtoparent(tools, widget);
}
} // namespace

plistenerproxy* pguitools::widgetlistener()
{
    if (rootcontrol == nullptr || rootcontrol->component == nullptr)
        return nullptr;
    if (listenerproxy == nullptr)
    {
        listenerproxy = new plistenerproxy(*this);
        releaselistenerproxy = [](plistenerproxy* proxy) { delete proxy; };
    }
    return listenerproxy;
}

pkKnob* pguitools::guimakeknob(int tag, int style, int x, int y)
{
    juce::Image* strip = style >= 0 && style <= 2 ? pkloadimage(knobstrips[style]) : nullptr;
    auto* knob = new pkKnob(tag, x, y, strip, widgetlistener());
    // The text field bound to the same parameter, when the surface has one.
    knob->slider.shown = [this, knob] {
        for (std::uint64_t i = 0; i < controls.count; ++i)
        {
            pkControl* c = controls[i];
            if (c != nullptr && c->getType() == pctltext && knob->ownerkind != 0 && c->ownerkind == knob->ownerkind
                && c->ownerindex == knob->ownerindex && c->paramindex == knob->paramindex)
                return static_cast<pkTextEdit*>(c)->texteditor.getText();
        }
        return juce::String();
    };
    show(*this, knob, knob->slider);
    return knob;
}

pkMenu* pguitools::guimakemenu(int tag, int x, int y, int w, int list, int initial)
{
    auto* menu = new pkMenu(tag, x, y, w, widgetlistener());
    controls.append(menu);
    // A list number outside the six lists gives an empty menu.
    if (list >= 0 && static_cast<std::uint64_t>(list) < pmenulistcount)
        menu->additems(menulists[list]);
    menu->setValue(static_cast<float>(initial));
    addtoparent(*this, menu->combobox);
    return menu;
}

pkButton* pguitools::guimakebutton(int tag, int x, int y, int w, int h, const char* image, double value)
{
    juce::Image* face = image != nullptr ? pkloadimage(image) : nullptr;
    auto* button = new pkButton(x, y, w, h, widgetlistener(), tag, face, value);
    show(*this, button, button->button);
    return button;
}

void pguitools::guimakeview(const char* image, int x, int y)
{
    auto* view = new pkView(x, y, 0, 0, pkloadimage(image), "", viewtextcolour);
    show(*this, view, view->button);
}

void pguitools::guimakeradio(int count, int rows, int w, int h, int tag, int x, int y, unsigned long selected)
{
    auto* group = new pkRadioGroup;
    radiogroups.append(group);
    if (rows < 1 || count < 1)
        return;
    const char* face = w == narrowradiowidth ? "radiobg2_png" : "radiobg_png";
    const char* highlight = w == narrowradiowidth ? "radiohl2_png" : "radiohl_png";
    const int perrow = count / rows;
    // The group record holds at most twelve switches: later ones are not built.
    for (int r = 0; r < rows; ++r)
    {
        int built = 0;
        for (int j = 0; j < perrow; ++j)
        {
            const int number = r * perrow + j;
            if (static_cast<std::uint64_t>(number) >= pkRadioGroup::maxitems)
                break;
            group->tag = tag;
            group->items[number] = new pkSwitch(x + j * w, y + r * h, w, h, widgetlistener(), tag, pkloadimage(face),
                                                pkloadimage(highlight), static_cast<double>(number + 1));
            ++built;
        }
        group->count += static_cast<std::uint64_t>(built);
    }
    for (std::uint64_t i = 0; i < group->count; ++i)
    {
        auto* item = static_cast<pkSwitch*>(group->items[i]);
        addtoparent(*this, item->button);
        controls.append(item);
    }
    for (std::uint64_t i = 0; i < group->count; ++i)
        group->items[i]->setValue(i == selected ? 1.0f : 0.0f);
}

void pguitools::makepatchitem(unsigned long index, unsigned long row, unsigned long kind, const char* name)
{
    unsigned long colour = 0;
    switch (kind)
    {
    case 2: colour = unusedpatchcolour; break;
    case 3: colour = otherpatchcolour; break;
    case 4: colour = ownpatchcolour; break;
    default: return;
    }
    const int x0 = patchlistx;
    const int y = patchlisty + patchrowheight * static_cast<int>(row) + patchrowoffset;
    const double value = static_cast<double>(index);

    auto* label = new pkView(x0, y, patchlabelwidth, patchrowheight, nullptr, name, colour);
    show(*this, label, label->button);

    if (kind != 4)
    {
        auto* assign =
            new pkButton(x0, y, patchlabelwidth, patchrowheight, widgetlistener(), assigncode, nullptr, value);
        show(*this, assign, assign->button);
        return;
    }
    auto* select = new pkButton(x0, y, selectwidth, selectheight, widgetlistener(), selectcode, nullptr, value);
    show(*this, select, select->button);
    guimakebutton(deletecode, x0 + deleteoffset, y, 20, 19, "deletepatch_png", value);
}

void pguitools::updateparam(pparam* p, pkControl* c)
{
    if (p == nullptr || c == nullptr)
        return;
    switch (p->control)
    {
    case pconknob:
    case pconswitch: c->setValue(static_cast<float>(p->norm.load())); break;
    case pconmenu: c->setValue(static_cast<float>(p->intvalue.load())); break;
    case pcontextfield:
        if (auto* field = dynamic_cast<pkTextEdit*>(c))
            field->showvalue(p->value.load());
        break;
    }
}
