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
        auto* r = new ppatchassign;
        r->kind = kind, r->patch = patch, r->target = target;
        m.voices[voice]->assignments.append(r);
    };
    record(0, pkindmodulator, s.delay, pvoicevolume);
    record(1, pkinddelay, m.newpatch(false, pkinddelay), 0);
    std::swap(m.voices[1]->assignments.data[0], m.voices[1]->assignments.data[1]);
    return s;
}

using sp = const sessionpatches&;
struct pscene
{
    const char* name;
    std::int32_t page;
    void (*set)(pprojdata& m, sp s);
};

inline void pickmodulator(pprojdata& m, const sessionpatches& s, std::int32_t source)
{
    m.selectedpatch = s.lfo;
    m.patches[s.lfo]->params[ppatchsource]->setvalue(source);
}

// clang-format off
inline constexpr pscene pscenes[] = {
    {"voices", ppagevoices, [](pprojdata&, sp) {}},
    {"voices-chooser", ppagevoices, [](pprojdata& m, sp) {
        m.pendingkind = pkindmodulator, m.modtarget = pvoiceformantshift;
    }},
    {"voices-eq-chooser", ppagevoices, [](pprojdata& m, sp) { m.pendingkind = pkindeq, m.selectedvoice = 1; }},
    {"mix", ppagemix, [](pprojdata& m, sp) { m.pendingkind = 0, m.selectedvoice = 0; }},
    {"modulation-lfo", ppagemodulator, [](pprojdata& m, sp s) { pickmodulator(m, s, psourcelfo); }},
    {"modulation-envelope", ppagemodulator, [](pprojdata& m, sp s) { pickmodulator(m, s, psourceenvelope); }},
    {"modulation-midi", ppagemodulator, [](pprojdata& m, sp s) { pickmodulator(m, s, psourcecontroller); }},
    {"delay", ppagedelay, [](pprojdata& m, sp s) { m.selectedpatch = s.delay; }},
    {"eq", ppageeq, [](pprojdata& m, sp s) { m.selectedpatch = s.eq; }},
    {"harmony", ppageharmony, [](pprojdata& m, sp s) { m.selectedpatch = s.harmony; }},
    {"eq-without-curve", ppageeq, [](pprojdata& m, sp s) { m.selectedpatch = s.delay; }},
    {"mix-scrolled", ppagemix, [](pprojdata& m, sp) {
        while (m.voices.count < 12)
            m.newvoice();
        m.mixoffset = 4, m.selectedvoice = 6;
    }},
    // Thirty more modulators, the chooser of "Pitch" on the first of its pages.
    {"voices-long-chooser", ppagevoices, [](pprojdata& m, sp) {
        for (int i = 0; i < 30; ++i)
            m.newpatch(false, pkindmodulator);
        m.pendingkind = pkindmodulator, m.modtarget = pvoicepitch, m.selectedvoice = 0;
    }},
};
// clang-format on
