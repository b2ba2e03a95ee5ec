// pinstance: one instance of the system without the framework. It owns what the processor
// holds besides the framework's own parts: the model with its two pitch engines and its
// MIDI record list, the controller record with its control holder and both event queues,
// and the root control. It links them, sets them up in the plug-in's start-up order, and
// offers the audio block hand-over, the sample-rate set-up and the state chunk in both
// directions. The processor holds one for its whole life; the renderer, the tests, the
// fuzzer and the benchmarks construct only this, so the system is wired in one place.
//
// It lives beside the processor rather than in the engine: it holds the controller record
// and fills the menu lists from the plug-in's tables, both of which sit above the engine.
#pragma once

#include "editor/pcontroller.h"
#include "editor/pkcomponente.h"
#include "engine/pprojdata.h"
#include "foundation/costringa.h"

#include <cstdint>

class pinstance
{
public:
    // The rate a new instance starts at while the host has given none that can be one.
    static constexpr double fallbackrate = pdefaultsamplerate;

    // Start-up order: the model in place, the controller with its holder and the root
    // control, the links between them, the four menu lists, the nine global parameters,
    // then initpbm at samplerate (fallbackrate unless samplerate is finite and >= 1).
    explicit pinstance(double samplerate = fallbackrate);
    pinstance(const pinstance&) = delete;
    pinstance& operator=(const pinstance&) = delete;
    // The controller (and every control with it) goes before the model it points at.
    ~pinstance() = default;

    // A rate the model can be set up for: finite and at least 1.
    static bool usablerate(double rate);

    // ---- sample rate (the host's thread, audio stopped) ----
    // A usable rate that differs from the prepared one re-runs initpbm under modelmutex.
    // Returns true when it did.
    bool prepare(double samplerate);
    double preparedrate() const { return prepared; }

    // ---- one audio block (audio thread), in this order ----
    // Empties the block's MIDI record list.
    void clearmidi();
    // Decodes one message at sample `position` of the block and appends its record;
    // messages the modulators do not follow are dropped.
    void addmidi(const std::uint8_t* bytes, int size, int position);
    // The hand-over, inside pprojdata::beginblock/endblock: the queued audio events (when
    // modelmutex is free), the host parameters posted since the last block, then the audio
    // path (pprojdata::process, same arguments). A block that finds the editor's idle drain
    // in the model writes silence and touches nothing.
    void processblock(double** in, unsigned n, double** out, unsigned inputchannels);

    // ---- host parameters (any thread, the host's parameter listener) ----
    void posthostparam(int index, float value) { model.hostparams.post(index, value); }

    // ---- state chunk (the host's thread) ----
    // The state text, without a trailing NUL (pprojdata::savestate).
    void savestate(costringa& out) { model.savestate(out); }
    // Hands a chunk over (pprojdata::restorestate): applied at the start of the next block.
    void restorestate(const void* data, std::int64_t size);

    // Declared in start-up order; destroyed in reverse.
    pprojdata model;
    pcontroller controller;
    pkComponentE rootcontrol;

private:
    double prepared = fallbackrate; // the rate the model was last set up for
};
