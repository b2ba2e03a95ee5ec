// Voices, patches and the assignment records that join them.
#pragma once

#include "engine/pparam.h"
#include "foundation/costringa.h"
#include "foundation/ocarray.h"
#include "foundation/prelaxed.h"

#include <cstdint>
#include <memory>

// The four kinds of patch. The editor page of a kind is kind - pkindpageoffset (10..13).
enum ppatchkind : std::int32_t
{
    pkindnone = 0, // an assignment record whose patch index named no patch
    pkindmodulator = 93001,
    pkinddelay = 93002,
    pkindeq = 93003,
    pkindharmony = 93004,
};
inline constexpr std::int32_t pkindpageoffset = 92991;

inline bool ispatchkind(std::int64_t kind)
{
    return kind >= pkindmodulator && kind <= pkindharmony;
}

// Indexes of the seven voice parameters.
enum pvoiceparamindex : std::uint64_t
{
    pvoicepitch = 0,
    pvoicevolume = 1,
    pvoicepan = 2,
    pvoicemode = 3,
    pvoiceformantscale = 4,
    pvoiceformantshift = 5,
    pvoicemode2 = 6,
    pvoiceparamcount = 7,
};

// Indexes of patch parameters. The base five are shared by every kind; parameter 2 is the
// modulator's source or the harmony patch's interval set, parameter 3 the LFO shape or key.
enum ppatchparamindex : std::uint64_t
{
    ppatchamplitude1 = 0, // "Smooth" on a harmony patch
    ppatchamplitude2 = 1, // "Detune" on a harmony patch
    ppatchsource = 2,
    ppatchshape = 3,
    ppatchspeed = 4,
    ppatchadjustmode = 5,    // modulator
    ppatchmidicc = 6,        // modulator
    ppatchhostparam = 7,     // modulator
    ppatchdelay = 5,         // delay
    ppatchfeedback = 6,      // delay
    ppatchdelaymix = 7,      // delay
    ppatchcurvefirst = 8,    // EQ: curve points 0..63 are parameters 8..71
    ppatchintervalfirst = 5, // harmony: intervals for positions 0..11 are parameters 5..16
};

inline constexpr std::uint64_t peqcurvepoints = 64;
inline constexpr std::uint64_t pharmonysteps = 12;
inline constexpr std::uint64_t pmodstatesize = 14;
// Length of a delay patch's line: the longest echo a delay patch can give.
inline constexpr double pdelaylineseconds = 2.0;

// Parameter counts by kind.
inline constexpr std::uint64_t pmodulatorparamcount = 8;
inline constexpr std::uint64_t pdelayparamcount = 8;
inline constexpr std::uint64_t peqparamcount = 72;
inline constexpr std::uint64_t pharmonyparamcount = 17;

// A voice's use of a patch.
struct ppatchassign
{
    std::int32_t kind = pkindnone; // kind of the patch, 0 when the index named no patch
    std::uint64_t patch = 0;       // index in the model's patch list
    std::int64_t target = 0;       // modulator: the voice parameter it moves; 0 otherwise
    double amount = 1.0;
};

// One voice: a pitch-shifted copy of the input with its seven parameters.
struct pparvoice
{
    ocarray::ArrayPtr<pparam> params; // always the seven voice parameters
    ocarray::ArrayPtr<ppatchassign> assignments;
    // Deleting a voice deletes its records without touching patch counts: the caller
    // releases the patches first when that matters.
};

// Running state of a patch for one channel. Zero when the patch is made.
struct ppatchchannel
{
    double modphase = 0.0; // LFO phase, or the random generator state held as a double
    double modvalue = 0.0; // second running value, restarted with modphase

    // First buffer: the EQ gain curve (N/2 doubles), the twelve harmony ratios, or a delay
    // patch's delayline (its length is delaylength). The storage is replaced only on the
    // audio thread or while audio is stopped; a recomputation from the message thread
    // rewrites the values in place, whole doubles, which the audio path reads at its next
    // hop.
    std::unique_ptr<double[]> buffer;
    std::uint64_t bufferlength = 0;

    // Second buffer: filter memory and coefficients of modulators and delays.
    double modstate[pmodstatesize] = {};

    std::uint64_t delaywritepos = 0;
    std::uint64_t busindex = 0;
    double delayphase = 0.0;
    // Written only by the audio thread: the modulator pass, and setcont for MIDI and for the
    // host parameters the mailbox hands over. Read at the next hop and by the editor.
    prelaxed<double> modoutput;
    // Modulators and delays: set up on this channel. EQ and harmony (channel 0): the first
    // buffers have been made.
    std::uint32_t modstarted = 0;

    // Replaces the first buffer by n zeros; the storage is kept when it already has n.
    void resetbuffer(std::uint64_t n);
};

// The leading part of every patch: counts, parameters and display label.
struct ppatchfx
{
    std::uint64_t refcount = 0; // assignment records in all voices that point here
    std::uint8_t mark = 0;      // editor scratch flag
    ocarray::ArrayPtr<pparam> params;
    costringa label; // display name, rebuilt by the editor
    // Editor only: the "Delay" norm a delay field showed when it was made, to which the
    // fine delay knob adds its offset. Not saved.
    double coarsedelay = 0.5;
    std::uint64_t kind = pkindmodulator;

    // Appends a parameter of range min..max set to value in units.
    pparam* newparam(double min, double max, double value, pparamcon control, pparamtype type, const char* name,
                     std::uint64_t style = 0);
};

struct ppatchmod : ppatchfx
{
    ppatchchannel channels[2]; // channel 0, channel 1

    // Builds a patch of one of the four kinds with its default parameters.
    explicit ppatchmod(std::int32_t patchkind);
};
