#include "tests/plugin/rawvst2host.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace rawvst2
{
namespace
{
std::atomic<double> hostrate{44100.0};
std::atomic<int> hostblock{512};

std::intptr_t callback(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
    callbacks[opcode >= 0 && opcode < untracked ? opcode : untracked].fetch_add(1);
    constexpr std::intptr_t hostversion = 2400;
    switch (opcode)
    {
    case audioMasterVersion: return hostversion;
    case audioMasterGetSampleRate: return static_cast<std::intptr_t>(hostrate.load());
    case audioMasterGetBlockSize: return hostblock.load();
    case audioMasterIOChanged: return 1;
    default: return 0;
    }
}
} // namespace

host::host()
{
    using entrypoint = AEffect* (*)(dispatcherproc);
    // Loaded once and never unloaded: hosts keep a plug-in's library for the process's life.
    static void* library = dlopen(QUILL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    const auto entry = library != nullptr ? reinterpret_cast<entrypoint>(dlsym(library, "VSTPluginMain")) : nullptr;
    effect = entry != nullptr ? entry(callback) : nullptr;
    if (effect == nullptr || effect->magic != effectmagic)
        throw std::runtime_error("no VST 2 effect in " QUILL_PLUGIN_PATH);
    dispatch(effOpen);
}

host::~host()
{
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
    if (display == nullptr)
        return;
    XDestroyWindow(static_cast<Display*>(display), window);
    XCloseDisplay(static_cast<Display*>(display));
}

bool host::openeditor()
{
    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr)
        return false;
    display = x;
    // As hosts do: an X error of the plug-in's (a property with no atom under a bare server)
    // must not end the process through Xlib's default handler.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 920, 690, 0, 0, 0); // the editor's size
    XMapWindow(x, window);
    XSync(x, False);
    return dispatch(effEditOpen, 0, reinterpret_cast<std::intptr_t>(x), reinterpret_cast<void*>(window)) != 0;
}

void host::idle(double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do
    {
        dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    } while (std::chrono::steady_clock::now() < end);
}

void host::drag(const std::vector<std::pair<int, int>>& points, double pause)
{
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        const char* button = i == 0 ? " mousedown 1" : i + 1 == points.size() ? " mouseup 1" : "";
        const std::string command = "xdotool mousemove --window " + std::to_string(window) + " "
                                    + std::to_string(points[i].first) + " " + std::to_string(points[i].second) + button
                                    + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return;
        idle(pause);
    }
}

void host::start(double rate, int block, const std::string& text)
{
    hostrate.store(rate);
    hostblock.store(block);
    dispatch(effMainsChanged, 0, 0);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effSetBlockSize, 0, block);
    dispatch(effMainsChanged, 0, 1);
    if (!text.empty())
        setchunk(text + '\0');
}

std::string host::chunk()
{
    void* data = nullptr;
    const auto size = dispatch(effGetChunk, 0, 0, &data);
    return data != nullptr && size > 0 ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                                       : std::string();
}

void host::setchunk(const std::string& bytes)
{
    std::vector<char> copy(bytes.begin(), bytes.end()); // the plug-in may not keep the host's memory
    dispatch(effSetChunk, 0, static_cast<std::intptr_t>(copy.size()), copy.data());
}

host::stereo host::render(const std::vector<float>& input, int block,
                          const std::function<void(std::size_t)>& beforeblock)
{
    const auto n = static_cast<std::size_t>(block);
    stereo result{std::vector<float>(input.size()), std::vector<float>(input.size())};
    std::vector<float> inl(n), inr(n);
    for (std::size_t position = 0, index = 0; position < input.size(); position += n, ++index)
    {
        const std::size_t length = std::min(n, input.size() - position);
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(position), length, inl.begin());
        std::copy_n(inl.begin(), length, inr.begin());
        if (beforeblock)
            beforeblock(index);
        float* in[2] = {inl.data(), inr.data()};
        float* out[2] = {result[0].data() + position, result[1].data() + position};
        effect->processReplacing(effect, in, out, static_cast<std::int32_t>(length));
    }
    return result;
}

bool host::waitfor(std::int32_t opcode, int count, double seconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (callbacks[opcode].load() < count)
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
} // namespace rawvst2
