// pkComponentE: the root control, through which the builders find the open editor window.
#pragma once

#include "kit/pkcontrol.h"

// Same fields and behaviour as pkComponent; the kit reads the window through that base.
class pkComponentE : public pkComponent
{
public:
    pkComponentE() = default;
    // Leaves the component alone: the window belongs to the host's editor life.
    ~pkComponentE() override = default;
};
