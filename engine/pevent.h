// Events: the only way threads hand model and editor commands to each other.
#pragma once

#include "foundation/pspinlock.h"

#include <cstdint>
#include <mutex>

struct pevent
{
    std::int32_t code = 0;
    float value = 0.0f;
    // What a model command acts on, named by its poster: the controller resolves them from
    // the editor's selection on the message thread, under modelmutex, when the user acts.
    // Applying the event later (in the audio thread's drain or the editor's idle drain)
    // therefore cannot change what it means. -1 (or 0 for kind) names nothing.
    std::int64_t voice = -1;
    std::int64_t patch = -1;
    std::int32_t target = 0; // the voice parameter a modulator record moves
    std::int32_t kind = 0;   // a patch kind, 93001..93004

    bool operator==(const pevent& o) const
    {
        return code == o.code && value == o.value && voice == o.voice && patch == o.patch && target == o.target
               && kind == o.kind;
    }
};

// Event codes. 0 up to pevcontrollimit (exclusive): index of a control in the editor's
// control list, value its new value; the controller turns them into parameter writes.
// 91001..91999: model commands. 92000..92999: editor commands for the idle tick.
// 93001..93004: open the patch chooser. Any other code is ignored by every reader.
//
// Queues (both owned by the model): A = the audio queue (pprojdata::audioqueue), drained
// with modelmutex held into pprojdata::doevent, by the audio thread at the start of each
// block or by the editor's tick while no block comes (see pprojdata.h). G = the GUI queue
// (pprojdata::guiqueue), drained by the editor's idle tick on the message thread. Widget
// events (message thread) go through the controller, which writes parameters, selections
// and radio choices itself and posts on A only what changes the structure or what the
// audio path owns, with its targets (v voice, p patch, t target, k kind) resolved.
//
// code          name               posted by (thread)          value / targets           handled by
// 0..89998      control index      widget (message)            the control's new value   controller
// 91001         pevloadstate       restorestate (host's);      1.0                       doevent: doloadstate
//                                  a full queue (any)
// 91006         pevpatchtype       controller on A             selected item + 1; p      doevent: dopatchradio
// 91007         pevpatchshape      controller on A             selected item + 1; p      doevent: dopatchradio
// 91008         pevadjustmode      controller on A             selected item + 1; p      doevent: dopatchradio
// 91009/91010   pevvoicemode(2)    radio group (message)       selected item + 1         controller
// 91011         pevmonostereo      radio group via A           selected item + 1         doevent: domonostereo
// 91050         pevaddvoice        button via A                exactly 1.0               doevent
// 91051         pevdeletevoice     button, controller on A     exactly 1.0; v            doevent: dodeletevoice
// 91057         pevnewpatch        button, controller on A     exactly 1.0; v, t, k      doevent: newpatchforvoice
// 91058         pevunassignpatch   patch row, controller on A  patch index + 1; v, p, t  doevent: dounassignpatch
// 91059         pevselectpatch     patch row (message)         patch index + 1           controller
// 91060         pevassignpatch     patch row or patch menu,    patch index + 1; v, p, t  doevent: doassignpatch
//                                  controller on A
// 91062         pevchoosekind      side-pane control           kind - 93000              controller; 91057 on A
// 91063         pevresetcurve      EQ page button, contr. on A > 0; p                    doevent: doresetcurve
// 91064         pevharmonyinvert   harmony page button, on A   > 0; p                    doevent: doharmonyinvert
// 91065..91067  pevnewdelay/eq/    buttons via A               voice index + 1           doevent: donewpatchforvoice
//               harmony
// 91068         pevrecalcpatch     controller on A             > 0: rebuild after; p     doevent: recalcpatchstate
// 91100..91110  pevpatchmenu + k   patch menu k (message)      chosen item index         controller; 91060 on A
// 92003         pevbadcontrol      controller (message) on G   unused                    idle tick ignores
// 92004         pevrebuildgui      doevent, controller on G    1.0                       idle tick: rebuild surface
// 92005         pevrefreshtwins    controller (message) on G   control index             idle tick
// 92012/92013   pevopenhome/manual button on G                 1.0                       idle tick: open the page
// 92029         pevvoicespage      button on G                 1.0                       idle tick
// 92030         pevselectvoice     button on G                 voice index + 1           idle tick
// 92031         pevmixpage         button on G                 1.0                       idle tick
// 92032/92033   pevmixscroll(back) buttons on G                1.0                       idle tick: scroll +1 / -1
// 92052/92053   pevnext/prevvoice  buttons on G                1.0                       idle tick
// 93001..93004  pevopenchooser     voice-knob buttons on G     target parameter + 1      idle tick: patch chooser
inline constexpr std::int32_t pevcontrollimit = 89999;
inline constexpr std::int32_t pevcontrolrangeend = 90000; // the dispatcher's test bound

inline constexpr std::int32_t pevmodelfirst = 91001;
inline constexpr std::int32_t pevmodellast = 91999;
inline constexpr std::int32_t pevloadstate = 91001;
inline constexpr std::int32_t pevpatchtype = 91006;
inline constexpr std::int32_t pevpatchshape = 91007;
inline constexpr std::int32_t pevadjustmode = 91008;
inline constexpr std::int32_t pevvoicemode = 91009;
inline constexpr std::int32_t pevvoicemode2 = 91010;
inline constexpr std::int32_t pevmonostereo = 91011;
inline constexpr std::int32_t pevaddvoice = 91050;
inline constexpr std::int32_t pevdeletevoice = 91051;
inline constexpr std::int32_t pevnewpatch = 91057;
inline constexpr std::int32_t pevunassignpatch = 91058;
inline constexpr std::int32_t pevselectpatch = 91059;
inline constexpr std::int32_t pevassignpatch = 91060;
inline constexpr std::int32_t pevchoosekind = 91062;
inline constexpr std::int32_t pevresetcurve = 91063;
inline constexpr std::int32_t pevharmonyinvert = 91064;
inline constexpr std::int32_t pevnewdelay = 91065;
inline constexpr std::int32_t pevneweq = 91066;
inline constexpr std::int32_t pevnewharmony = 91067;
// Recompute the derived state of the event's patch where the audio path reads it, after the
// editor changed a parameter it derives from (a curve point, a source, an interval).
inline constexpr std::int32_t pevrecalcpatch = 91068;
inline constexpr std::int32_t pevpatchmenu = 91100;     // + menu index k
inline constexpr std::int32_t pevpatchmenulast = 91110; // at most 11 addressable menus

inline constexpr std::int32_t peveditorfirst = 92000;
inline constexpr std::int32_t peveditorlast = 92999;
inline constexpr std::int32_t pevbadcontrol = 92003;
inline constexpr std::int32_t pevrebuildgui = 92004;
inline constexpr std::int32_t pevrefreshtwins = 92005;
inline constexpr std::int32_t pevopenhome = 92012;
inline constexpr std::int32_t pevopenmanual = 92013;
inline constexpr std::int32_t pevvoicespage = 92029;
inline constexpr std::int32_t pevselectvoice = 92030;
inline constexpr std::int32_t pevmixpage = 92031;
inline constexpr std::int32_t pevmixscroll = 92032;     // scroll +1
inline constexpr std::int32_t pevmixscrollback = 92033; // scroll -1
inline constexpr std::int32_t pevnextvoice = 92052;
inline constexpr std::int32_t pevprevvoice = 92053;

inline constexpr std::int32_t pevopenchooser = 93001; // + kind - 93001, kinds 93001..93004
inline constexpr std::int32_t pevopenchooserlast = 93004;

// Events whose repeat right behind themselves adds nothing: applying them twice in a row is
// applying them once.
inline bool pevrepeatable(std::int32_t code)
{
    return code != pevrecalcpatch && code != pevrebuildgui && code != pevrefreshtwins;
}

// A fixed queue of 64 events with several writers and one reader. A post takes a short
// spin lock and never allocates, so the audio thread may post. An event equal to the last
// one queued is not queued again when its code is not repeatable (a drag that recomputes one
// patch a hundred times takes one slot). A full queue drops the new event, counts it, and
// leaves a state reload (91001, 1.0) in its last slot: the reader then resyncs instead of
// silently missing a change.
class peventqueue
{
public:
    static constexpr std::uint64_t capacity = 64;

    peventqueue() = default;
    peventqueue(const peventqueue&) = delete;
    peventqueue& operator=(const peventqueue&) = delete;

    void post(pevent event) noexcept
    {
        std::lock_guard<pspinlock> hold(guard);
        if (count > 0 && !pevrepeatable(event.code) && slots[count - 1] == event)
            return;
        if (count < capacity)
        {
            slots[count] = event;
            ++count;
            return;
        }
        ++droppedcount;
        if (slots[capacity - 1].code != pevloadstate)
            slots[capacity - 1] = pevent{pevloadstate, 1.0f};
    }

    void post(std::int32_t code, float value) noexcept { post(pevent{code, value}); }

    // Copies the queued events out in slot order and empties the queue; returns how many.
    // Events posted after this call wait for the next drain.
    std::uint64_t drain(pevent (&out)[capacity]) noexcept
    {
        std::lock_guard<pspinlock> hold(guard);
        const std::uint64_t n = count;
        for (std::uint64_t i = 0; i < n; ++i)
            out[i] = slots[i];
        count = 0;
        return n;
    }

    std::uint64_t size() const noexcept
    {
        std::lock_guard<pspinlock> hold(guard);
        return count;
    }

    // Events a full queue turned away since construction (the last slot's reload stands for
    // them).
    std::uint64_t dropped() const noexcept
    {
        std::lock_guard<pspinlock> hold(guard);
        return droppedcount;
    }

private:
    mutable pspinlock guard;
    std::uint64_t count = 0;
    std::uint64_t droppedcount = 0;
    pevent slots[capacity];
};
