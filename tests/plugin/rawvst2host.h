// A VST 2 host with no framework and no VST 2 header: its own record layout and its own table of
// opcode numbers, the ones hosts in the field send, and dlopen of the built plug-in. Whatever
// numbers the plug-in was compiled with, this host only understands the real ones.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rawvst2
{
// Host to plug-in.
enum effectopcode : std::int32_t
{
    effOpen = 0,
    effClose = 1,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effKeysRequired = 57,
    effGetVstVersion = 58,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79,
};

// Plug-in to host.
enum hostopcode : std::int32_t
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterIOChanged = 13,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

inline constexpr std::int32_t effectmagic = 0x56737450; // 'VstP'
inline constexpr std::int32_t effFlagsHasEditor = 1 << 0;
inline constexpr std::int32_t effFlagsCanReplacing = 1 << 4;
inline constexpr std::int32_t effFlagsProgramChunks = 1 << 5;
inline constexpr std::int32_t effFlagsNoSoundInStop = 1 << 9;
// The first number fst-dev gives an opcode it has not identified.
inline constexpr std::int32_t placeholderbase = 100000;

struct AEffect;
using dispatcherproc = std::intptr_t (*)(AEffect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using processproc = void (*)(AEffect*, float**, float**, std::int32_t);
using hostcallback = std::intptr_t (*)(AEffect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);

// The effect record as every VST 2 host and plug-in lay it out.
struct AEffect
{
    std::int32_t magic;
    dispatcherproc dispatcher;
    processproc process;
    void (*setParameter)(AEffect*, std::int32_t, float);
    float (*getParameter)(AEffect*, std::int32_t);
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    std::intptr_t reserved1;
    std::intptr_t reserved2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID;
    std::int32_t version;
    processproc processReplacing;
    void (*processDoubleReplacing)(AEffect*, double**, double**, std::int32_t);
    char future[56];
};

// What the plug-in has called back, from any of its threads.
struct callbacklog
{
    static constexpr int tracked = 64;
    std::atomic<int> counts[tracked] = {};
    std::atomic<int> placeholders{0}; // calls with a number from placeholderbase on
    std::atomic<int> untracked{0};    // any other number outside the table

    void reset();
    int count(std::int32_t opcode) const { return opcode >= 0 && opcode < tracked ? counts[opcode].load() : 0; }
};

// One plug-in instance. The library stays loaded for the whole process, as hosts keep it.
class host
{
public:
    explicit host(const std::string& path);
    ~host();
    host(const host&) = delete;
    host& operator=(const host&) = delete;

    bool loaded() const { return effect != nullptr; }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f);
    // effSetSampleRate, effSetBlockSize, then resume, as a host starts playback.
    void start(double rate, int block);
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    bool cando(const char* what) { return dispatch(effCanDo, 0, 0, const_cast<char*>(what)) == 1; }
    void setbypass(bool on) { dispatch(effSetBypass, 0, on ? 1 : 0); }
    std::string chunk();
    void setchunk(const std::string& bytes);
    void setparameter(int index, float value) { effect->setParameter(effect, index, value); }
    float parameter(int index) { return effect->getParameter(effect, index); }

    // Both input channels carry `input`; `beforeblock` (if any) runs before each block with
    // its index. Returns the two output channels.
    struct stereo
    {
        std::vector<float> left;
        std::vector<float> right;
    };
    template <typename F>
    stereo render(const std::vector<float>& input, int block, F&& beforeblock);
    stereo render(const std::vector<float>& input, int block)
    {
        return render(input, block, [](std::size_t) {});
    }

    // Waits (up to `seconds`) until the plug-in has called `opcode` at least `count` times.
    bool waitfor(std::int32_t opcode, int count, double seconds) const;

    // The editor in a window of the host's own on the X display (false without one), and the
    // host's GUI loop: effEditIdle every few milliseconds for `seconds`. The host closes the
    // plug-in as hosts quit, with the editor still open, and only then removes its window.
    bool openeditor();
    void idle(double seconds);
    // Left-button drag along `points` (window coordinates) by real pointer events, idling
    // `pause` seconds at each point.
    void drag(const std::vector<std::pair<int, int>>& points, double pause);

    AEffect* effect = nullptr;
    static callbacklog log;

private:
    void processblock(float* const* in, float* const* out, int n);
    void* display = nullptr;
    unsigned long window = 0;
};

template <typename F>
host::stereo host::render(const std::vector<float>& input, int block, F&& beforeblock)
{
    stereo result;
    result.left.resize(input.size());
    result.right.resize(input.size());
    std::vector<float> inl(static_cast<std::size_t>(block)), inr(static_cast<std::size_t>(block));
    std::size_t index = 0;
    for (std::size_t position = 0; position < input.size(); position += static_cast<std::size_t>(block), ++index)
    {
        const std::size_t n = std::min(static_cast<std::size_t>(block), input.size() - position);
        std::copy(input.begin() + static_cast<std::ptrdiff_t>(position),
                  input.begin() + static_cast<std::ptrdiff_t>(position + n), inl.begin());
        std::copy(inl.begin(), inl.begin() + static_cast<std::ptrdiff_t>(n), inr.begin());
        beforeblock(index);
        float* in[2] = {inl.data(), inr.data()};
        float* out[2] = {result.left.data() + position, result.right.data() + position};
        processblock(in, out, static_cast<int>(n));
    }
    return result;
}

// Path of the plug-in under test.
std::string pluginpath();
} // namespace rawvst2
