// pkComponentE: the root control, through which the builders find the open editor window.
#pragma once

#include "kit/pkcontrol.h"

#include <cstdint>

class pkComponentE : public pkControl
{
public:
    pkComponentE() = default;
    // Leaves the component alone: the window belongs to the host's editor life.
    ~pkComponentE() override;

    void setValue(float) override {}
    double getValue() override { return 0.0; }
    int getType() override { return pctlcomponent; }
    int getTag() override { return componenttag; }

    juce::Component* component = nullptr; // the open editor window, or null; not owned
    std::int32_t componenttag = 0;
};
