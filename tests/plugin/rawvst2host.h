// A VST 2 host with no framework and no VST 2 header: its own record layout and its own table of
// opcode numbers, the ones hosts in the field send, and dlopen of the built plug-in. Whatever
// numbers the plug-in was compiled with, this host only understands the real ones.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace rawvst2
{
// Host to plug-in, and plug-in to host.
inline constexpr std::int32_t effOpen = 0, effClose = 1, effSetSampleRate = 10, effSetBlockSize = 11,
                              effMainsChanged = 12, effEditOpen = 14, effEditIdle = 19, effGetChunk = 23,
                              effSetChunk = 24, effSetBypass = 44, effCanDo = 51, effGetTailSize = 52,
                              effKeysRequired = 57, effGetNumMidiInputChannels = 78, effGetNumMidiOutputChannels = 79;
inline constexpr std::int32_t audioMasterAutomate = 0, audioMasterVersion = 1, audioMasterIOChanged = 13,
                              audioMasterGetSampleRate = 16, audioMasterGetBlockSize = 17,
                              audioMasterUpdateDisplay = 42;
inline constexpr std::int32_t effectmagic = 0x56737450; // 'VstP'
inline constexpr std::int32_t effFlagsProgramChunks = 1 << 5, effFlagsNoSoundInStop = 1 << 9;
inline constexpr std::int32_t placeholderbase = 100000; // the first number fst-dev gives an unidentified opcode

struct AEffect;
using dispatcherproc = std::intptr_t (*)(AEffect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using processproc = void (*)(AEffect*, float**, float**, std::int32_t);

// The effect record as every VST 2 host and plug-in lay it out.
struct AEffect
{
    std::int32_t magic;
    dispatcherproc dispatcher;
    processproc process;
    void (*setParameter)(AEffect*, std::int32_t, float);
    float (*getParameter)(AEffect*, std::int32_t);
    std::int32_t numPrograms, numParams, numInputs, numOutputs, flags;
    std::intptr_t reserved1, reserved2;
    std::int32_t initialDelay, realQualities, offQualities;
    float ioRatio;
    void *object, *user;
    std::int32_t uniqueID, version;
    processproc processReplacing;
    void (*processDoubleReplacing)(AEffect*, double**, double**, std::int32_t);
    char future[56];
};

// How often the plug-in has called back each opcode below `untracked`, from any of its threads;
// the last slot counts every other number.
inline constexpr std::int32_t untracked = 64;
inline std::atomic<int> callbacks[untracked + 1];

// One plug-in instance (an exception when the library offers none). The library stays loaded
// for the whole process, as hosts keep it.
class host
{
public:
    host();
    ~host();
    host(const host&) = delete;
    host& operator=(const host&) = delete;

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // effSetSampleRate, effSetBlockSize, then resume, as a host starts playback; any state text after.
    void start(double rate, int block, const std::string& text = {});
    std::string chunk();
    void setchunk(const std::string& bytes);
    void setparameter(int index, float value) { effect->setParameter(effect, index, value); }
    float parameter(int index) { return effect->getParameter(effect, index); }

    // Both input channels carry `input`; `beforeblock` (if any) runs before each block with
    // its index. Returns the two output channels.
    using stereo = std::array<std::vector<float>, 2>;
    stereo render(const std::vector<float>& input, int block, const std::function<void(std::size_t)>& beforeblock = {});

    // Waits (up to `seconds`) until the plug-in has called `opcode` at least `count` times.
    bool waitfor(std::int32_t opcode, int count, double seconds) const;

    // The editor in a window of the host's own on the X display (false without one), and the
    // host's GUI loop: effEditIdle every few milliseconds for `seconds`. The host closes the
    // plug-in as hosts quit, with the editor still open, and only then removes its window.
    bool openeditor();
    void idle(double seconds);
    // A left-button drag along `points` (window coordinates) by real pointer events, idling
    // `pause` seconds at each point.
    void drag(const std::vector<std::pair<int, int>>& points, double pause);

    AEffect* effect = nullptr;

private:
    void* display = nullptr;
    unsigned long window = 0;
};
} // namespace rawvst2
