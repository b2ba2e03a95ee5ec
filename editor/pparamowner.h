// The parameter a control edits, found from its owner: the one rule for the controller, the
// parameter controls and the surface planner.
#pragma once

#include "engine/pprojdata.h"
#include "kit/pkcontrol.h"

#include <cstdint>

// Parameter index of a global (ownerkind pownerglobal), of voice ownerindex (pownervoice) or
// of patch ownerindex (pownerpatch); null for any other owner kind (0 is a control bound to
// nothing), a missing owner or an index past the owner's list.
inline pparam* pownedparam(const pprojdata& model, std::int32_t ownerkind, std::int32_t ownerindex, std::uint64_t index)
{
    const ocarray::ArrayPtr<pparam>* list = nullptr;
    if (ownerkind == pownerglobal)
        list = &model.params;
    else if (ownerindex < 0)
        return nullptr;
    else if (ownerkind == pownervoice)
    {
        const pparvoice* v = model.voiceat(static_cast<std::uint64_t>(ownerindex));
        list = v != nullptr ? &v->params : nullptr;
    }
    else if (ownerkind == pownerpatch)
    {
        const ppatchmod* p = model.patchat(static_cast<std::uint64_t>(ownerindex));
        list = p != nullptr ? &p->params : nullptr;
    }
    return (list != nullptr && index < list->count) ? (*list)[index] : nullptr;
}
