// Parameter controls and the side panes' patch menus: the controls of the surface that edit
// the model.
#include "editor/pparamcontrols.h"

#include "engine/patchparams.h"
#include "engine/pevent.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"
#include "kit/pkimages.h"
#include "kit/pkit.h"

#include <charconv>
#include <cmath>

namespace
{
// Pitch text: semitones from "Pitch" around its centre, over two octaves in voice modes 0
// and 1, four in the others.
constexpr double pitchcentre = 0.5;
constexpr double pitchspannarrow = 24.0;
constexpr double pitchspanwide = 48.0;
constexpr std::int32_t widestnarrowmode = 1;
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

struct panecontrol
{
    bool menu;
    std::uint64_t param;
    int x, y;
    std::uint64_t list;
    bool global;
};

// The delay pane edits the shape the delay pass reads (parameter 3).
constexpr panecontrol delaypane[] = {
    {false, ppatchdelay, 662, 156, 0, false},      {false, ppatchfeedback, 752, 156, 0, false},
    {false, ppatchdelaymix, 843, 156, 0, false},   {false, ppatchamplitude1, 701, 243, 0, false},
    {false, ppatchspeed, 802, 243, 0, false},      {true, ppatchshape, 729, 330, pmenulfoshapes, false},
};
constexpr panecontrol harmonypane[] = {
    {false, ppatchamplitude2, 702, 508, 0, false}, {false, ppatchamplitude1, 805, 508, 0, false},
    {false, pglobalgate, 664, 594, 0, true},       {false, pglobaldry, 844, 594, 0, true},
    {true, ppatchshape, 729, 610, pmenukeys, false},
};
constexpr int kindhotspotx = 727;
constexpr int kindhotspotw = 102;
constexpr int kindhotspoth = 24;
constexpr int eqhotspoty = 408;
constexpr int harmonyhotspoty = 644;
constexpr double eqkindvalue = 3.0;      // 91062 carries kind - 93000
constexpr double harmonykindvalue = 4.0;

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
    const double span = (mode == 0 || mode == widestnarrowmode) ? pitchspannarrow : pitchspanwide;
    return pfixed3((paramvalue(voice.params, pvoicepitch) - pitchcentre) * span);
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
        auto* toggle = new pkSwitch(x, y, switchwidth, switchheight, tools->widgetlistener(), tag, image, nullptr,
                                    switchonvalue);
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
    if (tools == nullptr || !ispatchkind(kind))
        return;
    // Only an existing patch of the pane's kind gets its controls; anything else is a pane
    // with nothing assigned.
    if (patch >= 0 && patchofkind(static_cast<std::uint64_t>(patch), kind) == nullptr)
        patch = -1;

    const long sel = fillpatchmenulist(kind, patch);
    if (tools->menulists[pmenuscratch].count > 0)
    {
        switch (kind)
        {
        case pkinddelay: tools->guimakeview("patchmenudl_png", 664, 117); break;
        case pkindeq: tools->guimakeview("patchmenueq_png", 678, 378); break;
        default: tools->guimakeview("patchmenuhar_png", 669, 477); break;
        }
    }

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

    const double voicevalue = static_cast<double>(selectedvoice.load()) + 1.0;
    if (patch < 0)
    {
        const int add = kind == pkinddelay ? pevnewdelay : (kind == pkindeq ? pevneweq : pevnewharmony);
        tools->guimakebutton(add, addbuttonx, y, addbuttonside, addbuttonside, "addany_png", voicevalue);
        return;
    }

    tools->guimakebutton(pevunassignpatch, deletebuttonx, y - deletebuttonlift, deletebuttonside, deletebuttonside,
                         "deletefront_png", patch + 1.0);
    const auto voice = static_cast<std::int32_t>(selectedvoice.load());
    const auto build = [&](const panecontrol& c) {
        const auto tag = static_cast<int>(tools->controls.count);
        pkControl* control = c.menu ? static_cast<pkControl*>(tools->guimakemenu(tag, c.x, c.y, menuwidth,
                                                                                 static_cast<int>(c.list), 0))
                                    : static_cast<pkControl*>(tools->guimakeknob(tag, paneknobstyle, c.x, c.y));
        if (control == nullptr)
            return;
        control->paramindex = static_cast<std::int32_t>(c.param);
        control->ownerkind = c.global ? pownerglobal : pownerpatch;
        control->ownerindex = c.global ? -1 : patch;
        control->mode = pmodevalue;
        control->voice = voice;
        pparam* p = c.global ? globalparam(c.param) : ownedparam(*this, pownerpatch, patch, c.param);
        if (p == nullptr)
            return;
        if (kind == pkinddelay && c.param == ppatchshape)
            control->setValue(static_cast<float>(pdelayshapeitem(p->intvalue.load())));
        else
            tools->updateparam(p, control);
    };

    switch (kind)
    {
    case pkinddelay:
        for (const panecontrol& c : delaypane)
            build(c);
        break;
    case pkindeq:
        tools->guimakebutton(pevchoosekind, kindhotspotx, eqhotspoty, kindhotspotw, kindhotspoth, nullptr, eqkindvalue);
        break;
    default:
        for (const panecontrol& c : harmonypane)
            build(c);
        tools->guimakebutton(pevchoosekind, kindhotspotx, harmonyhotspoty, kindhotspotw, kindhotspoth, nullptr,
                             harmonykindvalue);
        break;
    }
}
