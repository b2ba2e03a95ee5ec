// A model wired to its controller the way the processor wires them: one instance.
#pragma once

#include "editor/pcontroller.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct eventmodel
{
    std::unique_ptr<pinstance> instance;
    pprojdata* model;
    pcontroller* controller;
    explicit eventmodel(double samplerate = 44100.0)
        : instance(std::make_unique<pinstance>(samplerate)), model(&instance->model), controller(&instance->controller)
    {
    }
    pprojdata& m() { return *model; }
    std::string write() const
    {
        costringa out;
        model->writestate(out);
        return out.str();
    }
    void load(const std::string& text) { model->loadstate(text.c_str()); }
    void apply(std::int32_t code, float value) { model->doevent(pevent{code, value}); }
    void apply(const pevent& event) { model->doevent(event); }
    // Counts the rebuild requests on the GUI queue and empties it.
    std::uint64_t rebuildsposted()
    {
        pevent batch[peventqueue::capacity];
        std::uint64_t n = model->guiqueue.drain(batch);
        std::uint64_t rebuilds = 0;
        while (n > 0)
            rebuilds += batch[--n].code == pevrebuildgui;
        return rebuilds;
    }
};

// A queue's events as (code, value) pairs, in order; the queue is left empty.
using events = std::vector<std::pair<std::int32_t, float>>;
inline events take(peventqueue& q)
{
    pevent batch[peventqueue::capacity];
    const std::uint64_t n = q.drain(batch);
    events out;
    for (std::uint64_t i = 0; i < n; ++i)
        out.emplace_back(batch[i].code, batch[i].value);
    return out;
}

// Voices/engine voice states, patches as kind:refcount (a count when many), assignments as
// voice>patch/kind/target.
inline std::string structure(const pprojdata& m)
{
    std::ostringstream out;
    out << "voices " << m.voices.count << "/" << m.engines[0].voicestates.count << " | patches";
    for (std::uint64_t p = 0; p < m.patches.count && m.patches.count <= 8; ++p)
        out << ' ' << m.patches[p]->kind << ':' << m.patches[p]->refcount;
    out << (m.patches.count > 8 ? " " + std::to_string(m.patches.count) : "") << " | assign";
    for (std::uint64_t v = 0; v < m.voices.count; ++v)
        for (std::uint64_t i = 0; i < m.voices[v]->assignments.count; ++i)
        {
            const auto& a = *m.voices[v]->assignments[i];
            out << ' ' << v << '>' << a.patch << '/' << a.kind << '/' << a.target;
        }
    return out.str();
}
