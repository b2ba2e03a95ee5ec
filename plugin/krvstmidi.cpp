#include "plugin/krvstmidi.h"

namespace krvstmidi
{
const char* const controllers[controllercount] = {
    "Bank Select",
    "Modulation Wheel",
    "Breath Controller",
    "Undefined",
    "Foot Controller",
    "Portamento Time",
    "Data Entry MSB",
    "Channel Volume",
    "Balance",
    "Undefined",
    "Pan",
    "Expression Controller",
    "Effect Control 1",
    "Effect Control 2",
    "Undefined",
    "Undefined",
    "General Controller 1",
    "General Controller 2",
    "General Controller 3",
    "General Controller 4",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
    "Undefined",
};
} // namespace krvstmidi
