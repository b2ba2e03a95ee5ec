// A model wired to its controller the way the processor wires them, for the tests of the
// dispatcher and the state text.
#pragma once

#include "editor/pcontroller.h"
#include "engine/pprojdata.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct eventmodel
{
    // The controller outlives the model, as in the processor.
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

    ~eventmodel() { model.reset(); }

    pprojdata& m() { return *model; }

    std::string write() const
    {
        costringa out;
        model->writestate(out);
        return out.str();
    }

    void load(const std::string& text) { model->loadstate(text.c_str()); }

    // Everything waiting on the GUI queue, oldest first; the queue is left empty.
    std::vector<pevent> takegui()
    {
        pevent batch[peventqueue::capacity];
        const std::uint64_t n = controller->guiqueue.drain(batch);
        return std::vector<pevent>(batch, batch + n);
    }

    std::uint64_t rebuildsposted()
    {
        std::uint64_t n = 0;
        for (const pevent& e : takegui())
            if (e.code == pevrebuildgui)
                ++n;
        return n;
    }

    // Applies one event as the audio thread would.
    void apply(std::int32_t code, float value) { model->doevent(pevent{code, value}); }
};

// One voice's assignment records as (patch, kind, target), for compact expectations.
struct assignview
{
    std::uint64_t patch;
    std::int32_t kind;
    std::int64_t target;
    bool operator==(const assignview& o) const { return patch == o.patch && kind == o.kind && target == o.target; }
};

inline std::ostream& operator<<(std::ostream& out, const assignview& a)
{
    return out << "{patch " << a.patch << ", kind " << a.kind << ", target " << a.target << "}";
}

inline std::vector<assignview> assignmentsof(const pprojdata& m, std::uint64_t voice)
{
    std::vector<assignview> out;
    const pparvoice* v = m.voiceat(voice);
    for (std::uint64_t i = 0; v != nullptr && i < v->assignments.count; ++i)
        out.push_back({v->assignments[i]->patch, v->assignments[i]->kind, v->assignments[i]->target});
    return out;
}

inline std::vector<std::uint64_t> refcountsof(const pprojdata& m)
{
    std::vector<std::uint64_t> out;
    for (std::uint64_t i = 0; i < m.patches.count; ++i)
        out.push_back(m.patches[i]->refcount);
    return out;
}

inline std::vector<std::uint64_t> kindsof(const pprojdata& m)
{
    std::vector<std::uint64_t> out;
    for (std::uint64_t i = 0; i < m.patches.count; ++i)
        out.push_back(m.patches[i]->kind);
    return out;
}
