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
