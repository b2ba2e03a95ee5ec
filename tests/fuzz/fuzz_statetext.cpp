// libFuzzer target for the state reader. Whatever bytes a host hands back must load without
// a crash, hang or sanitizer report, and must leave a model that is consistent (at least one
// voice, every assignment naming an existing patch of its own kind, counts that match the
// records) and that the writer and the reader agree on: write, read, write gives the same
// bytes. The delay lines it would make are counted by the model at once and must stay within
// the cap. A block runs at 192 kHz, where lines are longest, only now and then (see below):
// after every load it slowed the search a hundredfold.
// The host-parameter trailer behind the text's NUL is read from the same bytes: it yields
// only values in 0..1 or nothing at all, and what it yields writes and reads back.
#include "editor/pcontroller.h"
#include "engine/hostparams.h"
#include "engine/ppatch.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// One plug-in instance at a rate, driven as a host drives it.
struct harness
{
    static constexpr unsigned block = 512; // one hop at 192 kHz

    pinstance instance;
    pprojdata& model = instance.model;
    pcontroller& controller = instance.controller;
    double left[block] = {};
    double right[block] = {};
    double out0[block] = {};
    double out1[block] = {};

    explicit harness(double samplerate) : instance(samplerate) {}
    // Bytes of two channels of line for each delay patch the cap lets be in use.
    std::uint64_t maxlinebytes() const
    {
        const auto line = static_cast<std::uint64_t>(pdelaylineseconds * model.samplerate());
        return pprojdata::maxdelaylines * 2 * line * sizeof(double);
    }
    // The host's path: the block is handed over and the next audio block reloads it.
    void restore(const std::uint8_t* data, std::size_t size)
    {
        model.restorestate(data, static_cast<std::int64_t>(size));
        model.doaudioevents();
        draingui();
    }
    void draingui()
    {
        pevent gui[peventqueue::capacity];
        model.guiqueue.drain(gui);
    }
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
    // One model for the whole run, as in a plug-in's life. Loads are cheaper at 44.1 kHz; the
    // one at the highest rate a host uses, where lines are longest, runs a block on every
    // thousandth input and on each that holds more delay line or voices than any before, so
    // that the run's RSS limit sees the most a state can make the audio path allocate.
    static harness* h = new harness(44100.0);
    static harness* blocks = new harness(192000.0);
    static unsigned inputs = 0;
    static std::uint64_t mostbytes = 0;
    static std::uint64_t mostvoices = 0;
    constexpr unsigned inputsperblock = 1000;
    pprojdata& m = h->model;

    checktrailer(data, size);
    h->restore(data, size);
    checkconsistent(m);

    costringa first;
    m.writestate(first);
    m.loadstate(first.c_str());
    h->draingui();
    checkconsistent(m);
    costringa second;
    m.writestate(second);
    require(first.length == second.length);
    require(std::memcmp(first.c_str(), second.c_str(), first.length) == 0);

    require(m.delaypatchesinuse() <= pprojdata::maxdelaylines);
    require(m.delaylinebytes() <= h->maxlinebytes());
    const bool most = m.delaylinebytes() > mostbytes || m.voices.count > mostvoices;
    if (++inputs % inputsperblock == 0 || most)
    {
        mostbytes = std::max(mostbytes, m.delaylinebytes());
        mostvoices = std::max(mostvoices, m.voices.count);
        blocks->restore(data, size);
        blocks->processblock();
        require(blocks->model.delaylinebytes() <= blocks->maxlinebytes());
        require(blocks->model.engines[0].busoutputs.count <= pprojdata::maxdelaylines + 1);
    }
    return 0;
}
