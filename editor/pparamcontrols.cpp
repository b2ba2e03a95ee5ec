// Parameter controls and the side panes' patch menus: the controls of the surface that edit
// the model.
#include "editor/pparamcontrols.h"

#include "editor/pcontroller.h"

#include "engine/patchparams.h"
#include "engine/pevent.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"
#include "kit/pkimages.h"
#include "kit/pkit.h"

#include <charconv>
#include <cmath>
#include <iterator>

namespace
{
// Pitch text: semitones from "Pitch" around its centre, over two octaves in voice modes 0
// and 1, four in the others.
constexpr double pitchcentre = 0.5;
constexpr float finecentre = 0.5f;

constexpr int menuwidth = 100;
constexpr int textwidth = 78;
constexpr int textheight = 24;
constexpr std::uint32_t textcolour = 0xffd2d2d2;
constexpr int switchwidth = 37; // an imageless switch keeps the size of the pictured ones
constexpr int switchheight = 35;
constexpr double switchonvalue = 1.0;

constexpr int panemenuwidth = 173;
constexpr int panemenulift = 17;
constexpr int paneknobstyle = 2;
constexpr int addbuttonx = 744;
constexpr int addbuttonside = 72;
constexpr int deletebuttonx = 835;
constexpr int deletebuttonlift = 18;
constexpr int deletebuttonside = 20;

// The delay pane's shape menu lists the engine's shape codes in order (0 triangle, 1 sine,
// then the random shape); any other code plays the random shape too.
constexpr std::int32_t delayshapeitems = 3;

// One element of a side pane's controls: a knob (style 2) or a menu bound to a parameter of
// the voice's patch (or a global one), or a hotspot that opens the patch's page.
enum class paneelement
{
    knob,
    menu,
    hotspot,
};

struct panecontrol
{
    paneelement element;
    std::uint64_t param; // the parameter, or the hotspot's value (the kind - 93000)
    int x, y;
    std::uint64_t list; // a menu's list
    bool global;
};

constexpr int hotspotw = 102;
constexpr int hotspoth = 24;

// In creation order. The delay pane edits the shape the delay pass reads (parameter 3).
constexpr panecontrol delaypane[] = {
    {paneelement::knob, ppatchdelay, 662, 156, 0, false},
    {paneelement::knob, ppatchfeedback, 752, 156, 0, false},
    {paneelement::knob, ppatchdelaymix, 843, 156, 0, false},
    {paneelement::knob, ppatchamplitude1, 701, 243, 0, false},
    {paneelement::knob, ppatchspeed, 802, 243, 0, false},
    {paneelement::menu, ppatchshape, 729, 330, pmenulfoshapes, false},
};
constexpr panecontrol eqpane[] = {
    {paneelement::hotspot, 3, 727, 408, 0, false},
};
constexpr panecontrol harmonypane[] = {
    {paneelement::knob, ppatchamplitude2, 702, 508, 0, false}, // "Detune"
    {paneelement::knob, ppatchamplitude1, 805, 508, 0, false}, // "Smooth"
    {paneelement::knob, pglobalgate, 664, 594, 0, true},
    {paneelement::knob, pglobaldry, 844, 594, 0, true},
    {paneelement::menu, ppatchshape, 729, 610, pmenukeys, false}, // the key
    {paneelement::hotspot, 4, 727, 644, 0, false},
};

// Per patch kind: the face behind the menu, the add button's code, and the pane's controls.
struct panekind
{
    std::int32_t kind;
    const char* face;
    int facex, facey;
    int addcode;
    const panecontrol* controls;
    std::size_t count;
};

constexpr panekind panes[] = {
    {pkinddelay, "patchmenudl_png", 664, 117, pevnewdelay, delaypane, std::size(delaypane)},
    {pkindeq, "patchmenueq_png", 678, 378, pevneweq, eqpane, std::size(eqpane)},
    {pkindharmony, "patchmenuhar_png", 669, 477, pevnewharmony, harmonypane, std::size(harmonypane)},
};

pparam* ownedparam(pprojdata& model, int ownerkind, int ownerindex, std::uint64_t index)
{
    const ocarray::ArrayPtr<pparam>* list = &model.params;
    if (ownerkind == pownerpatch || ownerkind == pownervoice)
    {
        if (ownerindex < 0)
            return nullptr;
        const auto owner = static_cast<std::uint64_t>(ownerindex);
        if (ownerkind == pownerpatch)
        {
            const ppatchmod* patch = model.patchat(owner);
            list = patch != nullptr ? &patch->params : nullptr;
        }
        else
        {
            const pparvoice* voice = model.voiceat(owner);
            list = voice != nullptr ? &voice->params : nullptr;
        }
    }
    if (list == nullptr || index >= list->count)
        return nullptr;
    return (*list)[index];
}
} // namespace

std::string pfixed3(double value)
{
    char text[48];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    if (r.ec != std::errc())
        return "0.000";
    return std::string(text, r.ptr);
}

std::string ppitchtext(const pparvoice& voice)
{
    if (voice.params.count <= pvoicemode)
        return {};
    const std::int32_t mode = paramint(voice.params, pvoicemode);
    // The same rule as the controller reads typed text with, so a value reads back as typed.
    return pfixed3((paramvalue(voice.params, pvoicepitch) - pitchcentre) * ppitchtextscale(mode));
}

std::int32_t pdelayshapeitem(std::int32_t shape)
{
    return shape == pshapetriangle || shape == pshapesine ? shape : delayshapeitems - 1;
}

long pprojdata::fillpatchmenulist(int kind, int patch)
{
    if (tools == nullptr)
        return -1;
    tools->menulists[pmenuscratch].clear();
    long n = 0, sel = -1;
    const auto push = [&](std::uint64_t i) {
        tools->pushmenuitem(pmenuscratch, patches[i]->label.c_str(), static_cast<int>(i + 1));
        ++n;
    };
    for (std::uint64_t i = 0; i < patches.count; ++i)
    {
        const ppatchmod* p = patches[i];
        if (p == nullptr || p->kind != static_cast<std::uint64_t>(kind) || p->refcount == 0)
            continue;
        if (patch >= 0 && i == static_cast<std::uint64_t>(patch))
            sel = n;
        push(i);
    }
    bool heading = false;
    for (std::uint64_t i = 0; i < patches.count; ++i)
    {
        const ppatchmod* p = patches[i];
        if (p == nullptr || p->kind != static_cast<std::uint64_t>(kind) || p->refcount != 0)
            continue;
        if (!heading)
            tools->pushmenuitem(pmenuscratch, "Discarded:", pheadingtag), heading = true;
        push(i);
    }
    return n > 0 ? sel : -1;
}

void pprojdata::makeparamcontrol(unsigned long index, int x, int y, pparamcon kind, unsigned long style, int ownerkind,
                                 int ownerindex, int mode, int voice)
{
    if (tools == nullptr)
        return;
    if (voice == -1)
        voice = static_cast<int>(selectedvoice.load());

    const auto tag = static_cast<int>(tools->controls.count);
    pkControl* control = nullptr;
    switch (kind)
    {
    case pconknob: control = tools->guimakeknob(tag, static_cast<int>(style), x, y); break;
    case pconmenu: control = tools->guimakemenu(tag, x, y, menuwidth, static_cast<int>(style), 0); break;
    case pconswitch:
    {
        const char* face = style == 1 ? "switchb_png" : (style == 0 ? "switchs_png" : nullptr);
        juce::Image* image = face != nullptr ? pkloadimage(face) : nullptr;
        auto* toggle =
            new pkSwitch(x, y, switchwidth, switchheight, tools->widgetlistener(), tag, image, nullptr, switchonvalue);
        tools->controls.append(toggle);
        toggle->button.setVisible(true);
        if (tools->parent.component != nullptr)
            tools->parent.component->addAndMakeVisible(toggle->button);
        control = toggle;
        break;
    }
    case pcontextfield:
    {
        auto* field = new pkTextEdit(x, y, textwidth, textheight, tools->widgetlistener(), tag, textcolour, 0);
        tools->controls.append(field);
        field->addTo(tools->parent.component);
        control = field;
        break;
    }
    default: return;
    }
    if (control == nullptr)
        return;

    control->paramindex = static_cast<std::int32_t>(index);
    control->ownerkind = ownerkind;
    control->ownerindex = ownerindex;
    control->mode = mode;
    control->voice = voice;

    switch (mode)
    {
    case pmodepitchtext:
    {
        auto* field = control->getType() == pctltext ? static_cast<pkTextEdit*>(control) : nullptr;
        if (ownerkind == pownervoice)
        {
            const pparvoice* owner = ownerindex >= 0 ? voiceat(static_cast<std::uint64_t>(ownerindex)) : nullptr;
            if (owner == nullptr)
                return;
            if (field != nullptr)
                field->texteditor.setText(juce::String(ppitchtext(*owner)), false);
            if (const pparvoice* selected = voiceat(selectedvoice); selected != nullptr && selected->params.count > 0)
                coarsepitch = paramnorm(selected->params, pvoicepitch);
        }
        else if (ownerkind == pownerpatch)
        {
            ppatchmod* patch = ownerindex >= 0 ? patchat(static_cast<std::uint64_t>(ownerindex)) : nullptr;
            if (patch == nullptr || patch->params.count <= ppatchdelay)
                return;
            if (field != nullptr)
                field->texteditor.setText(juce::String(pfixed3(paramvalue(patch->params, ppatchdelay))), false);
            patch->coarsedelay = paramnorm(patch->params, ppatchdelay);
        }
        return;
    }
    case pmodefinepitch: control->setValue(finecentre); return;
    case pmodevalue:
    case pmodepitchknob:
        if (pparam* p = ownedparam(*this, ownerkind, ownerindex, index))
            tools->updateparam(p, control);
        return;
    default: return;
    }
}

void pprojdata::rgpatchcontrols(int kind, int patch, int x, int y)
{
    const panekind* pane = nullptr;
    for (const panekind& k : panes)
        pane = k.kind == kind ? &k : pane;
    if (tools == nullptr || pane == nullptr)
        return;
    // Only an existing patch of the pane's kind gets its controls; anything else is a pane
    // with nothing assigned.
    if (patch >= 0 && patchofkind(static_cast<std::uint64_t>(patch), kind) == nullptr)
        patch = -1;

    const long sel = fillpatchmenulist(kind, patch);
    if (tools->menulists[pmenuscratch].count > 0)
        tools->guimakeview(pane->face, pane->facex, pane->facey);

    const auto code = static_cast<int>(pevpatchmenu + static_cast<std::int64_t>(tools->patchmenus.count));
    pkMenu* menu = tools->guimakemenu(code, x, y - panemenulift, panemenuwidth, static_cast<int>(pmenuscratch),
                                      static_cast<int>(sel));
    if (menu != nullptr)
        menu->setTip("Select an existing setting");
    auto* record = new ppatchmenu;
    record->menu = menu;
    const ocarray::Array<pmenuitem>& items = tools->menulists[pmenuscratch];
    for (std::uint64_t i = 0; i < items.count; ++i)
        record->itemmap.append(items[i].tag);
    tools->patchmenus.append(record);

    if (patch < 0)
    {
        const double voicevalue = static_cast<double>(selectedvoice.load()) + 1.0;
        tools->guimakebutton(pane->addcode, addbuttonx, y, addbuttonside, addbuttonside, "addany_png", voicevalue);
        return;
    }

    tools->guimakebutton(pevunassignpatch, deletebuttonx, y - deletebuttonlift, deletebuttonside, deletebuttonside,
                         "deletefront_png", patch + 1.0);
    const auto voice = static_cast<std::int32_t>(selectedvoice.load());
    for (std::size_t i = 0; i < pane->count; ++i)
    {
        const panecontrol& c = pane->controls[i];
        if (c.element == paneelement::hotspot)
        {
            tools->guimakebutton(pevchoosekind, c.x, c.y, hotspotw, hotspoth, nullptr, static_cast<double>(c.param));
            continue;
        }
        const auto tag = static_cast<int>(tools->controls.count);
        pkControl* control = nullptr;
        if (c.element == paneelement::menu)
            control = tools->guimakemenu(tag, c.x, c.y, menuwidth, static_cast<int>(c.list), 0);
        else
            control = tools->guimakeknob(tag, paneknobstyle, c.x, c.y);
        if (control == nullptr)
            continue;
        control->paramindex = static_cast<std::int32_t>(c.param);
        control->ownerkind = c.global ? pownerglobal : pownerpatch;
        control->ownerindex = c.global ? -1 : patch;
        control->mode = pmodevalue;
        control->voice = voice;
        pparam* p = c.global ? globalparam(c.param) : ownedparam(*this, pownerpatch, patch, c.param);
        if (p == nullptr)
            continue;
        if (kind == pkinddelay && c.param == ppatchshape)
            control->setValue(static_cast<float>(pdelayshapeitem(p->intvalue.load())));
        else
            tools->updateparam(p, control);
    }
}
