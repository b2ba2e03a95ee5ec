// Parameter controls and the side panes' patch menus: the controls of the surface that edit
// the model.
#include "editor/pparamcontrols.h"

#include "editor/pcontroller.h"
#include "editor/pparamowner.h"
#include "editor/psurfaceplan.h"

#include "engine/patchparams.h"
#include "engine/pevent.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"
#include "kit/pkimages.h"
#include "kit/pkit.h"

#include "foundation/conumber.h"

#include <cmath>
#include <iterator>

namespace
{
// Pitch text: semitones from "Pitch" around its centre, over two octaves in voice modes 0
// and 1, four in the others.
constexpr double pitchcentre = 0.5;
constexpr float finecentre = 0.5f;

constexpr double switchonvalue = 1.0;

// The delay pane's shape menu lists the engine's shape codes in order (0 triangle, 1 sine,
// then the random shape); any other code plays the random shape too.
constexpr std::int32_t delayshapeitems = 3;
} // namespace

std::string ppitchtext(const pparvoice& voice)
{
    if (voice.params.count <= pvoicemode)
        return {};
    const std::int32_t mode = paramint(voice.params, pvoicemode);
    // The same rule as the controller reads typed text with, so a value reads back as typed.
    return cofixed3((paramvalue(voice.params, pvoicepitch) - pitchcentre) * ppitchtextscale(mode));
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
    case pconmenu: control = tools->guimakemenu(tag, x, y, pmenuw, static_cast<int>(style), 0); break;
    case pconswitch:
    {
        const char* face = style == 1 ? "switchb_png" : (style == 0 ? "switchs_png" : nullptr);
        juce::Image* image = face != nullptr ? pkloadimage(face) : nullptr;
        auto* toggle =
            new pkSwitch(x, y, pswitchw, pswitchh, tools->widgetlistener(), tag, image, nullptr, switchonvalue);
        tools->controls.append(toggle);
        toggle->button.setVisible(true);
        if (tools->parent.component != nullptr)
            tools->parent.component->addAndMakeVisible(toggle->button);
        control = toggle;
        break;
    }
    case pcontextfield:
    {
        auto* field = new pkTextEdit(x, y, pfieldw, pfieldh, tools->widgetlistener(), tag, plabelcolour, 0);
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
                field->texteditor.setText(juce::String(cofixed3(paramvalue(patch->params, ppatchdelay))), false);
            patch->coarsedelay = paramnorm(patch->params, ppatchdelay);
        }
        return;
    }
    case pmodefinepitch: control->setValue(finecentre); return;
    case pmodevalue:
    case pmodepitchknob:
        if (pparam* p = pownedparam(*this, ownerkind, ownerindex, index))
        {
            const ppatchmod* owner =
                ownerkind == pownerpatch ? patchat(static_cast<std::uint64_t>(ownerindex)) : nullptr;
            if (kind == pconmenu && index == ppatchshape && owner != nullptr && owner->kind == pkinddelay)
                control->setValue(static_cast<float>(pdelayshapeitem(p->intvalue.load())));
            else
                tools->updateparam(p, control);
        }
        return;
    default: return;
    }
}

void pbuildpatchmenu(pprojdata& model, std::int32_t kind, std::int32_t patch, std::int32_t x, std::int32_t y,
                     std::int32_t w)
{
    pguitools& tools = *model.tools;
    const long sel = model.fillpatchmenulist(kind, patch);
    const auto code = static_cast<int>(pevpatchmenu + static_cast<std::int64_t>(tools.patchmenus.count));
    pkMenu* menu = tools.guimakemenu(code, x, y, w, static_cast<int>(pmenuscratch), static_cast<int>(sel));
    if (menu != nullptr)
        menu->setTip("Select an existing setting");
    auto* record = new ppatchmenu;
    record->menu = menu;
    const ocarray::Array<pmenuitem>& items = tools.menulists[pmenuscratch];
    for (std::uint64_t i = 0; i < items.count; ++i)
        record->itemmap.append(items[i].tag);
    tools.patchmenus.append(record);
}

void pprojdata::rgpatchcontrols(int kind, int patch, int x, int y)
{
    if (tools == nullptr)
        return;
    psurfaceplan plan;
    pplanpane(*this, kind, patch, x, y, plan);
    for (const pelement& e : plan.elements)
        pbuildelement(*this, e);
}
