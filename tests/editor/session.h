// A session worth looking at, shared by the plan dumps and the pictures of every page: three
// voices, the first with a pitch, a modulator on "Formant Shift", a delay (shared with the
// second voice), an EQ with a curve and a harmony patch; an EQ patch nobody uses. Then the
// scenes both walk, in order, each named as its snapshot.
#pragma once

#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <cmath>
#include <utility>

struct sessionpatches
{
    std::uint64_t lfo = 0, delay = 0, eq = 0, harmony = 0;
};

inline sessionpatches makesession(pprojdata& m)
{
    sessionpatches s;
    m.newvoice();
    m.newvoice();
    m.voices[0]->params[pvoicepitch]->setnorm(0.75);
    m.voices[1]->params[pvoicepan]->setnorm(0.2);
    m.voices[2]->params[pvoicepan]->setnorm(0.85);
    s.lfo = m.newpatch(false, pkindmodulator);
    m.patches[s.lfo]->params[ppatchshape]->setvalue(pshapesine);
    m.assignpatch(pkindmodulator, 0, s.lfo, pvoiceformantshift);
    s.delay = m.newpatch(false, pkinddelay);
    m.assignpatch(pkinddelay, 0, s.delay, 0);
    m.assignpatch(pkinddelay, 1, s.delay, 0);
    s.eq = m.newpatch(false, pkindeq);
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        m.patches[s.eq]->params[ppatchcurvefirst + i]->setnorm(0.5 + 0.3 * std::sin(static_cast<double>(i) / 9.0));
    m.recalcpatchstate(s.eq);
    m.assignpatch(pkindeq, 0, s.eq, 0);
    s.harmony = m.newpatch(false, pkindharmony);
    m.assignpatch(pkindharmony, 0, s.harmony, 0);
    m.newpatch(false, pkindeq);
    // Records assignpatch would not make: a modulator record naming the delay patch (no
    // modulator: "Volume" stays unmodulated), and a second delay before voice 2's shared one
    // (its pane shows the first, its mix row the last).
    auto record = [&](std::uint64_t voice, std::int32_t kind, std::uint64_t patch, std::int64_t target) {
        m.voices[voice]->assignments.append(new ppatchassign{kind, patch, target});
    };
    record(0, pkindmodulator, s.delay, pvoicevolume);
    record(1, pkinddelay, m.newpatch(false, pkinddelay), 0);
    std::swap(m.voices[1]->assignments.data[0], m.voices[1]->assignments.data[1]);
    return s;
}

// The editor state a scene shows: page, the kind and target being chosen, the selected voice and
// patch, the modulator's source, voices made up to, the mix list's first row, modulators added.
struct pscene
{
    const char* name;
    std::int32_t page, pendingkind;
    std::uint64_t modtarget, voice;
    std::uint64_t sessionpatches::*patch;
    std::int32_t source;
    std::uint64_t voices, mixoffset;
    int modulators;
};

using ses = sessionpatches;
// clang-format off
inline constexpr pscene pscenes[] = {
    {"voices", ppagevoices, 0, 0, 0, &ses::lfo, psourcelfo, 3, 0, 0},
    {"voices-chooser", ppagevoices, pkindmodulator, pvoiceformantshift, 0, &ses::lfo, psourcelfo, 3, 0, 0},
    {"voices-eq-chooser", ppagevoices, pkindeq, pvoiceformantshift, 1, &ses::lfo, psourcelfo, 3, 0, 0},
    {"mix", ppagemix, 0, pvoiceformantshift, 0, &ses::lfo, psourcelfo, 3, 0, 0},
    {"modulation-lfo", ppagemodulator, 0, pvoiceformantshift, 0, &ses::lfo, psourcelfo, 3, 0, 0},
    {"modulation-envelope", ppagemodulator, 0, pvoiceformantshift, 0, &ses::lfo, psourceenvelope, 3, 0, 0},
    {"modulation-midi", ppagemodulator, 0, pvoiceformantshift, 0, &ses::lfo, psourcecontroller, 3, 0, 0},
    {"delay", ppagedelay, 0, pvoiceformantshift, 0, &ses::delay, psourcecontroller, 3, 0, 0},
    {"eq", ppageeq, 0, pvoiceformantshift, 0, &ses::eq, psourcecontroller, 3, 0, 0},
    {"harmony", ppageharmony, 0, pvoiceformantshift, 0, &ses::harmony, psourcecontroller, 3, 0, 0},
    {"eq-without-curve", ppageeq, 0, pvoiceformantshift, 0, &ses::delay, psourcecontroller, 3, 0, 0},
    {"mix-scrolled", ppagemix, 0, pvoiceformantshift, 6, &ses::delay, psourcecontroller, 12, 4, 0},
    {"voices-long-chooser", ppagevoices, pkindmodulator, pvoicepitch, 0, &ses::delay, psourcecontroller, 12, 4, 30},
};
// clang-format on

// Puts the session into a scene's state; the scenes are walked in order.
inline void setscene(pprojdata& m, const sessionpatches& s, const pscene& scene)
{
    while (m.voices.count < scene.voices)
        m.newvoice();
    for (int i = 0; i < scene.modulators; ++i)
        m.newpatch(false, pkindmodulator);
    m.pendingkind = scene.pendingkind;
    m.modtarget = scene.modtarget;
    m.selectedvoice = scene.voice;
    m.mixoffset = scene.mixoffset;
    m.selectedpatch = s.*scene.patch;
    m.patches[s.lfo]->params[ppatchsource]->setvalue(scene.source);
}
