// quill-vsthost: loads a VST 2 plug-in with JUCE's hosting code, prints what a host sees and
// renders audio files through it.
#include "tools/vsthost/vsthost.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <system_error>

namespace
{
constexpr double defaultrate = 44100.0;
constexpr int defaultblock = 512;

void usage(std::ostream& out)
{
    out << "usage: quill-vsthost PLUGIN.so [options]\n"
           "  --info                 print what a host sees (default without --in)\n"
           "  --editor               open the editor in a window until SIGTERM, audio running;\n"
           "                         with --save-state, save the chunk when it closes\n"
           "  --stopped              with --editor: no audio block runs (transport stopped)\n"
           "  --in FILE.wav          audio to process (rendered with the latency appended)\n"
           "  --out FILE.wav         result, 32-bit float\n"
           "  --midi FILE.mid        MIDI played along, all tracks merged\n"
           "  --state FILE           raw state chunk restored before playback\n"
           "  --save-state FILE      raw state chunk saved after the render\n"
           "  --param INDEX=VALUE    set host parameter INDEX (0-based) to VALUE (0..1); repeatable\n"
           "  --block N              block size (default 512)\n"
           "  --channels 1|2         channel layout (default: the input file's)\n";
}

// A whole number or a whole decimal number, nothing before or after it, in the C locale.
template <typename T>
bool parsewhole(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc{} && result.ptr == end;
}

// INDEX=VALUE with INDEX a parameter number from 0 and VALUE a finite number in 0..1.
bool parseparameter(const std::string& text, std::pair<int, float>& parameter)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        return false;
    int index = 0;
    float value = 0.0f;
    if (!parsewhole(text.substr(0, equals), index) || index < 0 || !parsewhole(text.substr(equals + 1), value)
        || !std::isfinite(value) || value < 0.0f || value > 1.0f)
        return false;
    parameter = {index, value};
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI runtime;

    if (argc < 2)
    {
        usage(std::cerr);
        return 2;
    }
    const juce::String pluginpath = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]).getFullPathName();
    vsthost::renderjob job;
    bool info = false;
    bool editor = false;
    bool stopped = false;
    juce::File cwd = juce::File::getCurrentWorkingDirectory();

    for (int i = 2; i < argc; ++i)
    {
        const juce::String arg(argv[i]);
        const bool hasvalue = i + 1 < argc;
        auto next = [&]() { return juce::String(argv[++i]); };
        if (arg == "--info")
            info = true;
        else if (arg == "--editor")
            editor = true;
        else if (arg == "--stopped")
            stopped = true;
        else if (arg == "--in" && hasvalue)
            job.input = cwd.getChildFile(next());
        else if (arg == "--out" && hasvalue)
            job.output = cwd.getChildFile(next());
        else if (arg == "--midi" && hasvalue)
            job.midi = cwd.getChildFile(next());
        else if (arg == "--state" && hasvalue)
            job.statein = cwd.getChildFile(next());
        else if (arg == "--save-state" && hasvalue)
            job.stateout = cwd.getChildFile(next());
        else if (arg == "--block" && hasvalue)
            job.blocksize = next().getIntValue();
        else if (arg == "--channels" && hasvalue)
            job.channels = next().getIntValue();
        else if (arg == "--param" && hasvalue)
        {
            std::pair<int, float> parameter;
            const std::string text = next().toStdString();
            if (!parseparameter(text, parameter))
            {
                std::cerr << "bad --param " << text << ": expected INDEX=VALUE, INDEX from 0, VALUE from 0 to 1\n";
                return 2;
            }
            job.parameters.push_back(parameter);
        }
        else
        {
            std::cerr << "unknown or incomplete option: " << arg << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    // Options that only a render reads (the editor also reads and writes a chunk) would be
    // ignored without one: refuse them.
    const bool rendering = job.input != juce::File();
    struct renderoption
    {
        bool given;
        bool editortakes;
        const char* name;
    };
    const renderoption renderonly[] = {{job.output != juce::File(), false, "--out"},
                                       {job.midi != juce::File(), false, "--midi"},
                                       {job.statein != juce::File(), true, "--state"},
                                       {job.stateout != juce::File(), true, "--save-state"},
                                       {!job.parameters.empty(), false, "--param"}};
    for (const renderoption& option : renderonly)
        if (option.given && !rendering && !(editor && option.editortakes))
        {
            std::cerr << option.name << " needs --in: it applies only to a render\n";
            return 2;
        }
    if (job.input != juce::File() && job.output == juce::File())
    {
        std::cerr << "--in needs --out\n";
        return 2;
    }
    if (job.blocksize < 1 || (job.channels != 0 && job.channels != 1 && job.channels != 2))
    {
        std::cerr << "bad --block or --channels\n";
        return 2;
    }

    if (stopped && !editor)
    {
        std::cerr << "--stopped needs --editor\n";
        return 2;
    }
    if (editor && job.input != juce::File())
    {
        std::cerr << "--editor does not go with --in\n";
        return 2;
    }

    juce::String error;
    if (editor)
        vsthost::ignorexerrors();
    auto plugin = vsthost::loadplugin(pluginpath, defaultrate, defaultblock, error);
    if (plugin == nullptr)
    {
        std::cerr << error << "\n";
        return 1;
    }
    if (editor)
    {
        if (job.statein != juce::File() && !vsthost::restorestate(*plugin, job.statein, error))
        {
            std::cerr << error << "\n";
            return 1;
        }
        if (!vsthost::showeditor(*plugin, job.stateout, defaultrate, job.blocksize, !stopped, error))
        {
            std::cerr << error << "\n";
            return 1;
        }
        return EXIT_SUCCESS;
    }
    if (info || job.input == juce::File())
        vsthost::describe(*plugin, std::cout);
    if (job.input != juce::File() && !vsthost::render(*plugin, job, error))
    {
        std::cerr << error << "\n";
        return 1;
    }
    return EXIT_SUCCESS;
}
