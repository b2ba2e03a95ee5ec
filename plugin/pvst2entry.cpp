// The plug-in's VST 2 entry point. It hands the host the framework adapter's effect record
// with the adapter's dispatcher wrapped. JUCE 7.0.5's Linux adapter, closed while its editor
// is still open (effClose with no effEditClose first, as hosts do when they quit), deletes the
// window from inside the close and restarts its own message thread halfway through, which
// then repaints the freed window. Closing the editor first takes the adapter's orderly path:
// the window goes while the host's thread still runs the event loop.
#include "plugin/pvst2entry.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// The head of the VST 2 effect record as every host and plug-in lays it out, and the
// opcodes used here, with their numbers from the binary interface: the dispatcher is all
// this file touches of the record the adapter builds.
struct effecthead;
using dispatcherproc = std::intptr_t (*)(effecthead*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using hostcallback = dispatcherproc;
struct effecthead
{
    std::int32_t magic;
    dispatcherproc dispatcher;
};

// The adapter's own entry point, renamed where it is compiled so that this one is the host's.
extern "C" effecthead* quill_juce_vst2main(hostcallback host);
extern "C" __attribute__((visibility("default"))) effecthead* VSTPluginMain(hostcallback host);

namespace
{
constexpr std::int32_t effClose = 1;
constexpr std::int32_t effEditClose = 15;
constexpr std::int32_t effVendorSpecific = 50;

// Every instance comes from the same adapter, so one saved dispatcher serves them all.
std::atomic<dispatcherproc> adapterdispatcher{nullptr};

std::intptr_t dispatch(effecthead* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                       float opt)
{
    const dispatcherproc adapter = adapterdispatcher.load();
    if (opcode == effClose
        && adapter(effect, effVendorSpecific, pvst2entry::editoropenquery, pvst2entry::editoropenvalue, nullptr, 0.0f)
               == 1)
        adapter(effect, effEditClose, 0, 0, nullptr, 0.0f);
    return adapter(effect, opcode, index, value, ptr, opt);
}
} // namespace

effecthead* VSTPluginMain(hostcallback host)
{
    effecthead* effect = quill_juce_vst2main(host);
    if (effect == nullptr)
        return nullptr;
    adapterdispatcher.store(effect->dispatcher);
    effect->dispatcher = dispatch;
    return effect;
}
