// A model wired to its controller the way the processor wires them.
#pragma once

#include "editor/pcontroller.h"
#include "engine/pprojdata.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

struct eventmodel
{
    // Declared first so that it outlives the model, as in the processor.
    std::unique_ptr<pcontroller> controller = std::make_unique<pcontroller>();
    std::unique_ptr<pprojdata> model = std::make_unique<pprojdata>();

    explicit eventmodel(double samplerate = 44100.0)
    {
        model->controller = controller.get();
        model->tools = &controller->tools;
        controller->model = model.get();
        model->pushglobalparams();
        model->initpbm(samplerate);
    }

    pprojdata& m() { return *model; }

    std::string write() const
    {
        costringa out;
        model->writestate(out);
        return out.str();
    }

    void load(const std::string& text) { model->loadstate(text.c_str()); }
    // Counts the rebuild requests on the GUI queue and empties it.
    std::uint64_t rebuildsposted()
    {
        pevent batch[peventqueue::capacity];
        const std::uint64_t n = controller->guiqueue.drain(batch);
        return static_cast<std::uint64_t>(std::count_if(batch, batch + n, [](const pevent& e) { return e.code == pevrebuildgui; }));
    }

    void apply(std::int32_t code, float value) { model->doevent(pevent{code, value}); }
};

// The model's structure in brief: voices (and the engine's voice states), each patch as
// kind:refcount (only their number when there are many), each assignment as
// voice>patch/kind/target.
inline std::string structure(const pprojdata& m)
{
    std::ostringstream out;
    out << "voices " << m.voices.count << "/" << m.engines[0].voicestates.count << " | patches";
    for (std::uint64_t p = 0; p < m.patches.count && m.patches.count <= 8; ++p)
        out << ' ' << m.patches[p]->kind << ':' << m.patches[p]->refcount;
    if (m.patches.count > 8)
        out << ' ' << m.patches.count;
    out << " | assign";
    for (std::uint64_t v = 0; v < m.voices.count; ++v)
        for (std::uint64_t i = 0; i < m.voices[v]->assignments.count; ++i)
        {
            const ppatchassign& a = *m.voices[v]->assignments[i];
            out << ' ' << v << '>' << a.patch << '/' << a.kind << '/' << a.target;
        }
    return out.str();
}
