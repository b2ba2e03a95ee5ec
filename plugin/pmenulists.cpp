#include "plugin/pmenulists.h"

#include "engine/hostparams.h"
#include "kit/pguitools.h"
#include "plugin/krvstmidi.h"

#include <cstdint>
#include <string>

std::int32_t pfillmenulists(pguitools& tools)
{
    for (std::uint64_t list : {pmenumidisources, pmenuhostparams, pmenulfoshapes, pmenukeys})
        tools.menulists[list].clear();

    for (const char* source : {"Pitch Wheel", "MIDI Keys Mode", "Velocity Mode"})
        tools.pushmenuitem(pmenumidisources, source, pmenuowntag);
    // The audio path finds controller n at entry base + n.
    const auto midimenubase = static_cast<std::int32_t>(tools.menulists[pmenumidisources].count);
    for (int n = 0; n < krvstmidi::controllercount; ++n)
    {
        const std::string text = std::to_string(n) + " " + krvstmidi::controllers[n];
        tools.pushmenuitem(pmenumidisources, text.c_str(), pmenuowntag);
    }

    for (int n = 0; n < hostparamcount; ++n)
        tools.pushmenuitem(pmenuhostparams, std::to_string(n).c_str(), pmenuowntag);

    // Item i is shape code i of the delay pass (0 triangle, 1 sine, then random), so the
    // delay pane's menu stores what the user picked as the shape that is heard.
    for (const char* shape : {"LFO:Triangle", "LFO:Sine", "LFO:Random"})
        tools.pushmenuitem(pmenulfoshapes, shape, pmenuowntag);

    for (const char* key : {"Key:C", "Key:C#", "Key:D", "Key:D#", "Key:E", "Key:F", "Key:F#", "Key:G", "Key:G#",
                            "Key:A", "Key:A#", "Key:B"})
        tools.pushmenuitem(pmenukeys, key, pmenuowntag);
    return midimenubase;
}
