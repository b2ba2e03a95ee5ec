// pkControl: what the editor surface and the controller know of every on-screen control.
// The widget controls (knob, switch, button, menu, text field, view) are built on the
// framework; this part of the kit compiles without it.
#pragma once

#include <cstdint>

namespace juce
{
class Component;
}

// Kind codes returned by pkControl::getType. No control has kind 4.
enum pcontroltype : int
{
    pctlcomponent = 0, // pkComponent, pkComponentE
    pctlknob = 1,
    pctlmenu = 2,
    pctlswitch = 3, // pkSwitch and pkButton
    pctltext = 5,
    pctlview = 6,
};

// What a parameter control shows.
enum pcontrolmode : std::int32_t
{
    pmodevalue = 0,     // the parameter's value
    pmodepitchknob = 1, // a pitch knob
    pmodepitchtext = 2, // a pitch as text
    pmodefinepitch = 3, // the fine pitch offset
};

// Owner kinds of the edited parameter. Builders of global-parameter controls write -1.
inline constexpr std::int32_t pownervoice = 1;
inline constexpr std::int32_t pownerpatch = 2;
inline constexpr std::int32_t pownerglobal = -1;

class pkControl
{
public:
    pkControl() = default;
    pkControl(const pkControl&) = delete;
    pkControl& operator=(const pkControl&) = delete;
    virtual ~pkControl() = default;

    // Shows a value; never notifies the widget's listeners.
    virtual void setValue(float value) = 0;
    virtual double getValue() = 0;
    virtual int getType() = 0;
    virtual int getTag() { return tag; }
    // Widget controls turn the bytes (Latin-1) into the widget's tooltip.
    virtual void setTip(const char* /*text*/) {}

    // Binding fields: zero unless a builder of parameter controls writes them, so an
    // unbound control never matches a parameter.
    std::int32_t tag = 0;
    std::int32_t paramindex = 0; // index in the owner's parameter list
    std::int32_t ownerkind = 0;  // pownervoice, pownerpatch, anything else: global
    std::int32_t ownerindex = 0; // voice or patch index, -1 for a global parameter
    std::int32_t mode = pmodevalue;
    std::int32_t voice = 0; // the resolved voice the control works on
};

// Stands for a plain framework component (the parent every builder adds its widget to).
class pkComponent : public pkControl
{
public:
    void setValue(float) override {}
    double getValue() override { return 0.0; }
    int getType() override { return pctlcomponent; }
    int getTag() override { return componenttag; }

    juce::Component* component = nullptr; // not owned; may be null
    std::int32_t componenttag = 0;
};

// Widget controls, built by the control kit on the framework.
class pkKnob;
class pkSwitch;
class pkButton;
class pkMenu;
class pkTextEdit;
class pkView;
