// pcontroller: the record that stands between the editor's widgets and the model. It holds
// the control holder and the two event queues through which the message thread and the
// audio thread hand each other events.
#pragma once

#include "engine/pevent.h"
#include "kit/pguitools.h"

#include <cstdint>

class pprojdata;

struct peditorrect
{
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

inline constexpr std::int32_t peditorwidth = 920;
inline constexpr std::int32_t peditorheight = 690;

class pcontroller
{
public:
    pcontroller() = default;
    pcontroller(const pcontroller&) = delete;
    pcontroller& operator=(const pcontroller&) = delete;
    virtual ~pcontroller();

    // The controller's operations (open, idle, events) come with the editor.

    peditorrect editorrect{0, 0, peditorwidth, peditorheight};
    pguitools tools;
    pprojdata* model = nullptr;
    peventqueue audioqueue; // drained at the start of each audio block
    peventqueue guiqueue;   // drained by the idle tick
    std::int32_t inidle = 0; // 1 while the idle tick drains the GUI queue
};
