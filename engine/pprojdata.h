// pprojdata: the model. Global parameters, voices and patches, the two pitch engines (one
// per channel), the editor's selections, the log-frequency axis and the audio path's state.
//
// Threads: structural changes (voices, patches, assignments, reloads, initpbm from an
// event) happen only inside a drain of the audio queue, which runs with modelmutex held
// while no audio block is inside processblock (blockgate), or while audio is stopped
// (prepareToPlay, under the mutex). Other threads change only parameter values, which are
// shared whole values, and editor state under the mutex, and post events. The fields below
// are grouped under headings that say which threads may touch them.
#pragma once

#include "dsp/pbkpitchshift.h"
#include "engine/hostparams.h"
#include "engine/krvstmidievent.h"
#include "engine/pevent.h"
#include "engine/pparam.h"
#include "engine/ppatch.h"
#include "foundation/costringa.h"
#include "foundation/ocarray.h"
#include "foundation/prelaxed.h"
#include "foundation/pspinlock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class pguitools;
struct pdisplaydata;

// Editor pages: 0 voices, kind - 92991 for the patch pages, 14 the mix page.
inline constexpr std::int32_t ppagevoices = 0;
inline constexpr std::int32_t ppagemodulator = 10;
inline constexpr std::int32_t ppagedelay = 11;
inline constexpr std::int32_t ppageeq = 12;
inline constexpr std::int32_t ppageharmony = 13;
inline constexpr std::int32_t ppagemix = 14;

// Indexes of the nine global parameters, in the order of the state text.
enum pglobalparamindex : std::uint64_t
{
    pglobalin = 0,
    pglobalvolume = 1,
    pglobaldry = 2,
    pglobalwet = 3,
    pglobalgate = 4,
    pglobalmonostereo = 5,
    pglobalxgate = 6,
    pglobalfeedback = 7,
    pglobalshownote = 8,
    pglobalparamcount = 9,
};

inline constexpr std::uint64_t paxiscapacity = 2048; // entries of the log-frequency axis
inline constexpr std::uint64_t pmixvisiblerows = 8;
inline constexpr double pdefaultsamplerate = 44100.0;

class pprojdata
{
public:
    pprojdata();
    ~pprojdata();
    pprojdata(const pprojdata&) = delete;
    pprojdata& operator=(const pprojdata&) = delete;

    // ---- parameters (engine/pparam.cpp) ----
    // Appends a parameter of range 0..range to array, set to value (normalised when
    // normalised is true, else in units).
    pparam* newparam(ocarray::ArrayPtr<pparam>& array, double range, double value, bool normalised, pparamcon control,
                     pparamtype type, const char* name, std::uint64_t style);
    // The same with style 0, appended to the global parameters.
    pparam* pushparam(double range, double value, bool normalised, pparamcon control, pparamtype type,
                      const char* name);
    // Empties the global parameters and appends the nine of the table, in state-text order.
    void pushglobalparams();

    // ---- voices and patches (engine/ppatch.cpp) ----
    // Intervals in semitones of the three preset interval sets, by the input note's
    // semitone position above the key.
    static const double scales[3][pharmonysteps];

    // Appends a voice with its seven default parameters; returns its index.
    std::uint64_t newvoice();
    // Builds a patch of kind (-1: the pending kind); with reuse, takes the first free slot.
    // Returns its index, or the patch count unchanged when kind names none of the four.
    std::uint64_t newpatch(bool reuse, int kind);
    void assignpatch(int kind, std::uint64_t voice, std::uint64_t patch, std::int64_t target);
    void recalcpatchstate(std::uint64_t patch);
    void recalcpatchgraph(unsigned long patch);
    void voicecountchanged(bool rebuild);
    // Radio-group write: the parameter := value - 1 (value > 0 only); global parameter
    // param for code 91011, else parameter param of voice. Returns the parameter written, or
    // null when nothing was. The model never touches widgets: a caller on the message
    // thread lights the group's switches itself (pguitools::lightradio with the returned
    // parameter's integer value); the audio thread's caller requests a rebuild instead.
    pparam* setvoiceradio(int code, double value, std::uint64_t voice, std::uint64_t param);

    // Range-checked lookups: null when the index names nothing.
    pparam* globalparam(std::uint64_t index) const;
    pparvoice* voiceat(std::uint64_t index) const;
    ppatchmod* patchat(std::uint64_t index) const;
    // The patch at index when it exists and is of kind, else null.
    ppatchmod* patchofkind(std::uint64_t index, std::int32_t kind) const;

    // ---- set-up (engine/pprojdata.cpp) ----
    // (Re)initialises for a sample rate. A rate that is not finite or is below 1 keeps the
    // current rate.
    void initpbm(double sampleRate);
    // The rate the engines were last set up for.
    double samplerate() const { return currentrate; }

    // ---- events and dispatcher (engine/doevent.cpp) ----
    // The audio thread's block: claims blockgate for the whole block (the event drain, the
    // host parameters, the audio path), with one compare-exchange that never waits. False
    // while an idle drain holds it: the block must then not touch the model (the caller
    // outputs silence). endblock gives the gate back.
    bool beginblock() noexcept;
    void endblock() noexcept;
    // The drain at the start of an audio block, inside beginblock/endblock: tries modelmutex
    // and, when it gets it, applies every event queued at that moment on the audio queue,
    // in order. When another thread holds the mutex nothing is applied and the events stay
    // queued, in order, for the next block. Returns the number of events applied.
    std::uint64_t doaudioevents();
    // The same drain for the editor while no audio block comes: the caller holds modelmutex.
    // It claims blockgate and applies the queue; when a block holds the gate it applies
    // nothing (that block drains the queue itself). Returns the number applied.
    std::uint64_t doidleevents();
    // Applies one event. Inside a drain (modelmutex held, blockgate claimed) or on a model no
    // other thread sees. Codes outside every range, failed value conditions and targets that
    // name no voice or patch are ignored.
    void doevent(const pevent& event);
    // Posts on the GUI queue.
    void postgui(std::int32_t code, float value);
    // Steps of doevent, one per command, on the event's resolved targets.
    void domonostereo(float value);
    void dodeletevoice(std::int64_t voice);
    void doassignpatch(const pevent& event);
    void dounassignpatch(const pevent& event);
    void doresetcurve(std::int64_t patch);
    void doharmonyinvert(std::int64_t patch);
    void donewpatchforvoice(std::int32_t kind, float value);
    // 91006..91008 after the controller wrote the parameter: a modulator's running state
    // restarts for a new source, then the patch is recomputed.
    void dopatchradio(std::int32_t code, std::int64_t patch);
    // A new patch of kind (reusing a free slot) assigned to voice with target, selected and
    // its page shown.
    void newpatchforvoice(std::int32_t kind, std::uint64_t voice, std::int64_t target);

    // ---- editor surface (editor/) ----
    // The model's side of the editor. Message thread only; they touch widgets, so they are
    // defined with the editor and are not part of the engine's own build.
    //
    // Throws the editor surface away and builds it again from the model, for the current
    // page. The caller holds modelmutex (the controller's open and tick); it never locks.
    void resetgui();
    // Throws the surface away without building another (the editor window is closing): a
    // field being typed into hands its text over first. The caller holds modelmutex.
    void teardowngui();
    // The editor tick: counts the EQ stroke down, then hands the graph view of the current
    // page the numbers it draws. The caller holds modelmutex (the controller's tick and
    // the surface rebuild do).
    void guiidle();
    // The numbers the graph view of the current page draws, into data (room for
    // pgraphfeedcapacity values); how many, or -1 when the page shows no graph or its
    // patch is missing or of another kind. Reads the voice and patch lists: modelmutex held.
    long graphfeed(int* data) const;
    static constexpr unsigned long pgraphfeedcapacity = 512;
    // Makes the control for one parameter at (x, y), bound to it through the control's
    // fields, showing its value. Its event code is its index in the control list. voice -1
    // is the selected voice.
    void makeparamcontrol(unsigned long index, int x, int y, pparamcon kind, unsigned long style, int ownerkind,
                          int ownerindex, int mode, int voice);
    // The side pane of one patch kind on the voices page: the menu of existing patches
    // (code 91100 + k with its item map), and the add button, or the delete button with the
    // controls of the voice's patch of that kind.
    void rgpatchcontrols(int kind, int patch, int x, int y);
    // Fills the scratch menu list from the patches of kind (in use first, then a heading
    // and the free ones) and returns the item of patch, or -1 when it is not listed.
    long fillpatchmenulist(int kind, int patch);

    // ---- state text (engine/statetext.cpp) ----
    // Numbers are written and read the same whatever the process locale; values always
    // have six decimals, whatever costringspace::precision holds.
    //
    // The text of the model, without a trailing NUL: version token, "^PAR" and the nine
    // global values, the patches up to the last one in use ("^PAT", kind, values), then each
    // voice ("^VOI", values, and "^PAM", patch, target, amount per assignment). Replaces
    // out. Does not take modelmutex: the caller holds it (or owns the model alone).
    void writestate(costringa& out) const;
    // Rebuilds voices, patches and assignments from a text and posts 92004. A text without
    // a comma (or null) leaves the model as it is. Audio thread with modelmutex held (or a
    // model no other thread sees). Values are clamped to 0..1 (not finite: 0); an
    // assignment whose patch index names no patch, is negative or does not fit 32 bits is
    // dropped, as is a modulator's whose target names no voice parameter; other kinds get
    // target 0. At most statemaxvoices voices and statemaxpatches patches are made. A voice
    // keeps one record of each of the kinds delay, EQ and harmony, the last one read (the one
    // that decides, as when the editor assigns a second), and a delay record that would put
    // more than maxdelaylines delay patches in use is dropped. A "^PAM" whose voice does not
    // exist is ignored with its fields; the section and record count stay as they were.
    void loadstate(const char* text);
    // Host's thread, saving: takes modelmutex. While a text the host restored has not been
    // applied yet (and holds a comma, so that its reload would change the model), that text
    // is returned unchanged; otherwise the model is written. No trailing NUL.
    void savestate(costringa& out);
    // Host's thread, restoring: the bytes up to the first NUL become the pending text (a
    // null or empty block: the empty text), then (91001, 1.0) is posted on the audio queue.
    void restorestate(const void* data, std::int64_t size);
    // 91001: reloads the pending text when the host handed over one that has not been
    // applied; otherwise (a queue overflow) only resynchronises, never rolling back.
    void doloadstate();
    // Recomputes every patch's derived state and asks for an editor rebuild.
    void resyncstate();

    // Bounds on what one state text may build. A text is outside data: the caps bound the
    // memory a reload takes, so that a hostile text cannot exhaust the machine. They do not
    // keep the audio thread in time: a state with anywhere near this many voices is not
    // real-time at any block size. Far above what a session uses.
    static constexpr std::uint64_t statemaxvoices = 1024;
    static constexpr std::uint64_t statemaxpatches = 4096;
    // At most this many delay patches are in use at once. Each holds a line of 2 seconds per
    // channel (1.4 MB at 44.1 kHz, 6.1 MB at 192 kHz), so the lines of a whole model stay
    // under 200 MB at any rate. A record that would put one more delay patch in use is not
    // made (editor) or dropped (state text); the audio path gives a bus only to the first
    // this many in list order, whatever else holds them.
    static constexpr std::uint64_t maxdelaylines = 32;
    // Delay patches whose reference count is not 0.
    std::uint64_t delaypatchesinuse() const;
    // Bytes of delay line the patches hold, counting for each delay patch in use the line of
    // every channel at the current rate even before its first hop has made it: what the cap
    // above bounds, without running a block.
    std::uint64_t delaylinebytes() const;
    // The drain's copy of the pending text (whoever holds blockgate); the buffer only grows, so taking the
    // copy under pendinglock allocates nothing once it is large enough.
    std::string reloadtext;

    // ---- modulators, voice control, delays, MIDI and host control (engine/modulators.cpp,
    // voicecontrol.cpp, delays.cpp, midi.cpp) ----
    // One hop of the current channel (currentchannel), called in this order after the due
    // MIDI records: patchpass, voicecontrolpass, the frame, delaypass.
    // Delay patches in use get their bus numbers; LFOs and envelope followers advance
    // (engine/modulators.cpp).
    void patchpass();
    // Each voice's ratio, gain, formants, bus, EQ curve and harmony settings for this hop,
    // into the current engine's voice records (engine/voicecontrol.cpp).
    void voicecontrolpass();
    // Every delay patch in use runs over the hop's H new samples of its bus, in place
    // (engine/delays.cpp).
    void delaypass();

    // Hands one MIDI record to the first modulator listening to it (engine/midi.cpp).
    void processmidievent(const krvstmidievent* record);
    // Sets a controller-driven modulator's output from a value in 0..1 on both channels and
    // feeds the editor's modulation history. Audio thread; a patch index that names no
    // modulator (-1 included) changes nothing.
    void setcont(int patch, double value);
    // Audio thread, right after the event drain: every host parameter posted since the last
    // call goes to the first modulator following it.
    void applyhostparams();
    // The first modulator with source 2 whose "Host Parameter" is hostparam + 1, or -1.
    int findhostparampatch(int hostparam) const;
    // Any thread posts (the host's parameter listener); only the audio thread takes, in
    // applyhostparams. The mailbox is its own synchronisation.
    phostparammailbox hostparams;

    // ---- audio block driver (engine/process.cpp) ----
    // The audio path of one block. in[0] and in[1] point at n samples each (in[1] is read
    // only when two channels are processed) and are the mixing area: on return in[c] holds
    // channel c's mix before "Global Volume". out[0] and out[1] receive n samples each.
    // inputchannels: how many input buffers carry the caller's audio; the processed channel
    // count is the smaller of it and the "Mono Stereo" choice.
    void process(double** in, unsigned n, double** out, unsigned inputchannels = 2);
    // The steps of process, in their order.
    void setblockclass(unsigned n);
    void preparedryrings();
    void restartschedule(pbkpitchshift& engine);
    unsigned processedchannels(unsigned inputchannels) const;
    // Channels that start this block (not processed in the previous one) and rings of engines
    // set up again since the last block start from silence.
    void restartchannels(unsigned channels);
    void processchannel(unsigned channel, double* io, unsigned n, std::uint64_t& record);
    void runhop(pbkpitchshift& engine, unsigned sample, std::uint64_t& record);
    void applyduemidi(unsigned sample, std::uint64_t& record);
    void mixhop(pbkpitchshift& engine, double* io, unsigned sample, double wet, double dry);
    void applyremainingmidi(std::uint64_t record);
    void writeoutput(double** in, unsigned n, double** out, unsigned channels) const;
    // Audio thread only. Storage of both dry rings (the engines' drydata point into it, not
    // owned by them): N - H doubles each, replaced only when N grows.
    std::unique_ptr<double[]> drystorage[2];
    std::uint64_t drystoragesize = 0;

    // ================= fields, by the threads that may touch them =================
    // The threads: the host's audio thread (processBlock, the event drain, the audio path);
    // the message thread (the editor and its 33 ms tick); the host's thread that saves and
    // restores the chunk; the host's thread that sets host parameters (any thread, which
    // never touches the model: it posts to hostparams). Hand-over happens only in the two
    // event queues, the hostparams mailbox and modelmutex.

    // ---- links and records set once by the instance before any other thread sees the
    // model ----
    pguitools* tools = nullptr;      // the editor's surface, for the editor members above
    pdisplaydata* display = nullptr; // graph pixels and modulation history (tools' base)
    // Fixed entries of "MIDI CC" before the controller numbers (the menu lists' owner sets it).
    std::int32_t midimenubase = 3;

    // ---- event hand-over: each queue is its own synchronisation (peventqueue) ----
    peventqueue audioqueue; // model commands; drained only with modelmutex held, see blockgate
    peventqueue guiqueue;   // editor commands; drained by the editor's idle tick
    // Who is inside the model's structure besides holders of modelmutex: nobody, an audio
    // block (beginblock..endblock, the whole of processblock) or an idle drain (the editor's
    // tick, modelmutex held). A drain changes the structure only while it holds the gate, so
    // the audio path never reads a list that another thread is changing: the rule is that the
    // structure changes wherever the audio queue is drained with modelmutex held and no block
    // is inside processblock. Neither side ever waits for the other.
    std::atomic<std::int32_t> blockgate{0};
    static constexpr std::int32_t gatefree = 0;
    static constexpr std::int32_t gateaudio = 1;
    static constexpr std::int32_t gateidle = 2;
    // Blocks begun since construction: the editor's tick sees from it whether audio runs.
    std::atomic<std::uint64_t> blockcount{0};

    // ---- structure: changed only inside a drain of the audio queue (modelmutex held and
    // blockgate claimed) or by initpbm while audio is stopped (modelmutex held); the audio
    // thread reads it freely inside its block, every other thread only under modelmutex.
    // The parameter values inside are relaxed atomics (pparam) that the message thread may
    // write whole at any time. ----
    ocarray::ArrayPtr<pparam> params;     // the nine global parameters
    ocarray::ArrayPtr<pparvoice> voices;  // never empty once set up
    ocarray::ArrayPtr<ppatchmod> patches; // a patch index is a position in this list
    std::uint64_t voicecount = 0;         // voices the engines' per-voice records match

    // ---- editor state under modelmutex: the message thread's entry points change it with
    // the mutex held, a drain changes it with the mutex held ----
    std::int32_t pendingkind = 0; // a kind chosen in the editor, not yet applied
    std::uint64_t modtarget = 0;  // voice parameter a modulator being assigned moves
    // Remembered coarse "Pitch" norm for the fine pitch knob. The fine delay knob's coarse
    // value belongs to its patch (ppatchfx::coarsedelay): two panes on two delay patches
    // must not share one.
    double coarsepitch = 0.5;
    // Mix page.
    std::uint64_t mixoffset = 0;
    std::uint64_t mixrows = pmixvisiblerows;

    // ---- editor selections, any thread, whole values: the message thread changes them
    // under modelmutex while the audio thread reads them without it (setcont draws the
    // history of what the modulator page shows) ----
    prelaxed<std::uint64_t> selectedvoice{0};
    prelaxed<std::int32_t> page{ppagevoices};
    prelaxed<std::uint64_t> selectedpatch{0};

    // ---- the audio path's: touched by whoever holds blockgate (an audio block, or an idle
    // drain that reloads or re-runs initpbm) and by initpbm while audio is stopped ----
    // Engine 0 for channel 0, engine 1 for channel 1.
    pbkpitchshift engines[2];
    double currentrate = pdefaultsamplerate; // the rate of the last initpbm
    // Log-frequency axis: bin k maps to (log2(f / F) + 9) / 9, 1.0 at F and 0.0 nine octaves
    // lower. axiscount (D) entries are in use.
    double freqaxis[paxiscapacity] = {};
    std::uint64_t axiscount = 0;
    std::uint64_t alignedblock = 0;             // n when the current block is hop-aligned, else 0
    std::uint64_t drylength = 0;                // N - 2H aligned, N - H otherwise
    std::uint64_t currentchannel = 0;           // the engine being processed
    unsigned hostchannels = 2;                  // input channels the caller of the last block supplied
    unsigned lastchannels = 0;                  // channels processed in the previous block
    bool engineset = true;                      // initpbm ran since the last block: the dry rings restart
    ocarray::Array<krvstmidievent> midirecords; // this block's MIDI, in arrival order

    // ---- synchronisation ----
    // Held by the state writer, by prepareToPlay around initpbm and by the message thread's
    // entry points (the idle drain among them); the audio thread only tries it.
    std::mutex modelmutex;

    // ---- the state hand-over, under pendinglock (the host's thread restoring and saving,
    // the drain taking the text at 91001). The last state text the host handed over;
    // pendinggeneration counts hand-overs, appliedgeneration is the last one the reload
    // applied. ----
    costringa pendingtext;
    pspinlock pendinglock;
    std::uint64_t pendinggeneration = 0;
    std::uint64_t appliedgeneration = 0;
};
