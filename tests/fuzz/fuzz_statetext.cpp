// libFuzzer target for the state reader. Whatever bytes a host hands back must load without
// a crash, hang or sanitizer report, and must leave a model that is consistent (at least one
// voice, every assignment naming an existing patch of its own kind, counts that match the
// records) and that the writer and the reader agree on: write, read, write gives the same
// bytes. One block is then processed, so that everything the state makes the audio path
// allocate (voice records, buses, delay lines) is allocated: run with an RSS limit, a state
// that claims more memory than the caps allow fails the run. The rate is the highest a host
// uses, where delay lines are longest.
// The host-parameter trailer behind the text's NUL is read from the same bytes: it yields
// only values in 0..1 or nothing at all, and what it yields writes and reads back.
#include "editor/pcontroller.h"
#include "engine/hostparams.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
struct harness
{
    static constexpr double samplerate = 192000.0;
    static constexpr unsigned block = 512; // one hop at this rate

    pinstance instance{samplerate};
    pprojdata& model = instance.model;
    pcontroller& controller = instance.controller;
    double left[block] = {};
    double right[block] = {};
    double out0[block] = {};
    double out1[block] = {};

    void processblock()
    {
        for (unsigned i = 0; i < block; ++i)
        {
            left[i] = (i % 64) < 32 ? 0.25 : -0.25;
            right[i] = left[i];
        }
        double* in[2] = {left, right};
        double* out[2] = {out0, out1};
        model.process(in, block, out, 2);
    }
};

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkconsistent(const pprojdata& m)
{
    require(m.voices.count >= 1);
    require(m.voices.count <= pprojdata::statemaxvoices);
    require(m.patches.count <= pprojdata::statemaxpatches);
    std::vector<std::uint64_t> counted(m.patches.count, 0);
    for (std::uint64_t v = 0; v < m.voices.count; ++v)
    {
        const pparvoice* voice = m.voices[v];
        require(voice->params.count == pvoiceparamcount);
        for (std::uint64_t j = 0; j < voice->params.count; ++j)
        {
            const double n = voice->params[j]->norm;
            require(n >= 0.0);
            require(n <= 1.0);
        }
        for (std::uint64_t j = 0; j < voice->assignments.count; ++j)
        {
            const ppatchassign* a = voice->assignments[j];
            require(a->patch < m.patches.count);
            require(static_cast<std::uint64_t>(a->kind) == m.patches[a->patch]->kind);
            require(a->target >= 0);
            require(a->target < static_cast<std::int64_t>(pvoiceparamcount));
            ++counted[a->patch];
        }
    }
    for (std::uint64_t i = 0; i < m.patches.count; ++i)
        require(counted[i] == m.patches[i]->refcount);
}

void checktrailer(const std::uint8_t* data, std::size_t size)
{
    constexpr float untouched = 2.0f;
    float values[hostparamcount];
    for (float& v : values)
        v = untouched;
    std::uint32_t present = 0;
    if (!phosttrailer::read(data, size, values, present))
    {
        for (float v : values)
            require(v == untouched);
        return;
    }
    for (int i = 0; i < hostparamcount; ++i)
    {
        const bool read = ((present >> i) & 1u) != 0;
        require(read ? (values[i] >= 0.0f && values[i] <= 1.0f) : values[i] == untouched);
        if (!read)
            values[i] = 0.5f;
    }
    std::string again(1, '\0');
    phosttrailer::write(values, again);
    float back[hostparamcount];
    std::uint32_t all = 0;
    require(phosttrailer::read(again.data(), again.size(), back, all) && all == ~std::uint32_t{0});
    for (int i = 0; i < hostparamcount; ++i)
        require(std::fabs(back[i] - values[i]) <= 5e-7f);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static harness* h = new harness; // one model for the whole run, as in a plug-in's life
    pprojdata& m = h->model;

    // The host's path: the block is handed over and the next audio block reloads it.
    checktrailer(data, size);
    m.restorestate(data, static_cast<std::int64_t>(size));
    m.doaudioevents();
    pevent gui[peventqueue::capacity];
    h->model.guiqueue.drain(gui);
    checkconsistent(m);

    costringa first;
    m.writestate(first);
    m.loadstate(first.c_str());
    h->model.guiqueue.drain(gui);
    checkconsistent(m);
    costringa second;
    m.writestate(second);
    require(first.length == second.length);
    require(std::memcmp(first.c_str(), second.c_str(), first.length) == 0);

    h->processblock();
    require(m.delaypatchesinuse() <= pprojdata::maxdelaylines);
    require(m.engines[0].busoutputs.count <= pprojdata::maxdelaylines + 1);
    return 0;
}
