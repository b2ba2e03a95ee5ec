// pcontroller: the record that stands between the editor's widgets and the model. It holds
// the control holder, turns widget events into parameter writes, selection changes and
// model commands whose targets it resolves at once, and runs the editor's 33 ms idle tick,
// which also applies the model commands itself while the host sends no audio block.
//
// Everything here runs on the message thread. Each entry point (open, idle, internalevent,
// mouseevent) takes the model mutex once; the audio thread only tries it, so a structural
// change never overlaps a rebuild or a parameter write made here. The framework side
// (building widgets, the graph feed, reading a text field, the browser) comes in through
// pcontrollerservices, so the controller itself builds and is tested without the framework.
#pragma once

#include "engine/pevent.h"
#include "kit/pguitools.h"

#include <cstdint>

class pprojdata;
struct costringa;

struct peditorrect
{
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

inline constexpr std::int32_t peditorwidth = 920;
inline constexpr std::int32_t peditorheight = 690;

// The maker's two web pages, opened by 92012 and 92013.
namespace pwebpages
{
inline constexpr const char* home = "https://www.korvelmusic.example/";
inline constexpr const char* manual = "https://www.korvelmusic.example/quillatrove/manual/";
} // namespace pwebpages

// What the controller needs from the framework side. The editor window installs the real
// ones before it opens the controller; tests install their own. A null entry does nothing.
struct pcontrollerservices
{
    void (*rebuild)(pprojdata& model) = nullptr;   // the whole surface from the model
    void (*teardown)(pprojdata& model) = nullptr;  // the surface away, nothing new built
    void (*modeltick)(pprojdata& model) = nullptr; // the model's part of the tick
    // The text a text-field control (kind 5) holds; false when it holds none.
    bool (*readtext)(pkControl& control, costringa& text) = nullptr;
    // Shows a text in a text-field control without notifying its listener.
    void (*showtext)(pkControl& control, const char* text) = nullptr;
    void (*openaddress)(const char* address) = nullptr; // in the default web browser
};

// Mouse buttons as mouseevent receives them, and its two kinds of event.
inline constexpr int pmouseleft = 2;
inline constexpr int pmousemiddle = 4;
inline constexpr int pmouseright = 8;
inline constexpr int pmousepress = 1;
inline constexpr int pmousedrag = 2;

// Idle ticks without a new point before an EQ stroke ends (about 0.6 s).
inline constexpr std::int32_t pstroketicks = 18;
// Idle ticks without an audio block (about 100 ms) after which the tick applies the model
// commands itself: the host has stopped calling the audio path.
inline constexpr std::int32_t pquietticks = 3;
// The pointer may stray this far outside the EQ graph and still draw on its edge.
inline constexpr std::int32_t pgraphmargin = 24;

// How a pitch is shown as text and read back from it: (norm - 0.5) x scale semitones. Both
// directions use this one rule, so a typed value reads back as typed in every mode.
double ppitchtextscale(std::int32_t voicemode);

// Reads a number from the start of text the way atof does (leading blanks, then the longest
// number; 0 when there is none), in the C locale whatever the process's locale.
double ptextnumber(const char* text);

class pcontroller
{
public:
    pcontroller() = default;
    pcontroller(const pcontroller&) = delete;
    pcontroller& operator=(const pcontroller&) = delete;
    virtual ~pcontroller();

    // Marks the editor open and builds the surface, after applying the queued model commands
    // when no audio block has run yet (a restored state shows at once). The argument is not
    // used.
    virtual bool open(void* unused);
    // Marks the editor closed and deletes the widgets (see pcontroller.cpp).
    virtual void close();
    // The 33 ms tick: applies the model commands queued so far when no audio block has come
    // for pquietticks ticks, then the editor commands, then the model's tick.
    virtual void idle();
    // A control reports its own tag and value, routed like a widget event.
    virtual void valueChanged(pkControl* control);

    // Routes a widget event: codes up to 91999 to internalevent, the rest to the GUI queue.
    void routeevent(int code, float value);
    // A widget event with a code up to 91999: parameter writes, selections, and the model
    // commands that follow with their targets resolved from the editor's state now.
    void internalevent(int code, float value);
    // A press (kind 1) or drag (kind 2) at window coordinates x, y; buttons is a set of
    // pmouseleft, pmousemiddle, pmouseright.
    void mouseevent(int x, int y, int buttons, int kind);

    peditorrect editorrect{0, 0, peditorwidth, peditorheight};
    pguitools tools;
    pprojdata* model = nullptr;
    std::int32_t inidle = 0; // 1 while the idle tick drains the GUI queue
    pcontrollerservices services;

private:
    class entry;
    friend class entry;
    void rebuild();
    void controlevent(std::int32_t code, float value);
    void patchradioevent(std::int32_t code, float value);
    void voiceradioevent(std::int32_t code, float value);
    void commandevent(std::int32_t code, float value);
    void derivedchange(std::int32_t owner, std::int32_t index);
    void choosekind(float value);
    void patchmenuevent(std::uint64_t menu, float value);
    void postmodel(pevent event);
    void applyquietevents();
    void applyguievent(const pevent& event);
    void refreshtwins(std::uint64_t index);
    void drawcurve(int x, int y);
    // Nesting depth of the entry points on the message thread: a widget callback that a
    // rebuild sets off (a focused field committing its text) must not lock again.
    int entered = 0;
    // The audio block count the tick last saw, and the ticks since it last changed.
    std::uint64_t seenblocks = 0;
    std::int32_t quietticks = 0;
};
