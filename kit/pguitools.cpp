#include "kit/pguitools.h"

pguitools::~pguitools()
{
    // The graph view is one of the controls; nothing may reach it once they are gone.
    graphimage = nullptr;
    graphview = nullptr;

    radiogroups.clearAndDestroy();
    controls.clearAndDestroy();
    for (std::uint64_t list = pmenulistcount; list-- > 0;)
        menulists[list].clear();
    patchmenus.clearAndDestroy();

    if (listenerproxy != nullptr && releaselistenerproxy != nullptr)
        releaselistenerproxy(listenerproxy);
    listenerproxy = nullptr;
}

void pguitools::pushmenuitem(unsigned long list, const char* text, int tag)
{
    if (list >= pmenulistcount)
        return;
    ocarray::Array<pmenuitem>& items = menulists[list];
    pmenuitem entry;
    entry.text.assign(text != nullptr ? text : "");
    entry.tag = tag == pmenuowntag ? static_cast<std::int32_t>(items.count) : tag;
    items.append(entry);
}

void pguitools::lightradio(std::int32_t code, std::int32_t lit)
{
    for (std::uint64_t g = 0; g < radiogroups.count; ++g)
    {
        pkRadioGroup* group = radiogroups[g];
        if (group == nullptr || group->tag != code)
            continue;
        const std::uint64_t n = group->count < pkRadioGroup::maxitems ? group->count : pkRadioGroup::maxitems;
        for (std::uint64_t j = 0; j < n; ++j)
            if (group->items[j] != nullptr)
                group->items[j]->setValue(static_cast<std::int64_t>(j) == lit ? 1.0f : 0.0f);
    }
}
