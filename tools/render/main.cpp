// quill-render: renders an audio file through the harmony engine, offline, without the
// plug-in. See usage() for the command line.
#include "tools/render/renderer.h"
#include "tools/render/renderfiles.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int exitfailure = 1; // a file could not be read or written
constexpr int exitusage = 2;   // the command line is wrong

// A progress line appears only on a terminal, and only once a render has taken this long.
constexpr double progressafterseconds = 2.0;
constexpr double progressintervalseconds = 0.25;

void usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: quill-render [options] INPUT OUTPUT.wav\n"
                 "Renders INPUT (a mono or stereo WAV, AIFF, FLAC or Ogg file at any rate) through the\n"
                 "harmony engine into OUTPUT.wav (32-bit float, as many channels as INPUT).\n"
                 "OUTPUT is longer than INPUT by the engine's latency, 2047 samples at processing\n"
                 "rates below 96000 Hz and 4095 from 96000 Hz up, so that the processing of the last\n"
                 "input samples is heard in full. INPUT is processed in whole blocks, the last one\n"
                 "padded with silence, and silence follows it.\n"
                 "\n"
                 "options:\n"
                 "  -s, --state FILE  state text to load first, as a host restoring a saved state\n"
                 "  -m, --midi FILE   standard MIDI file whose notes, controllers, pressure and\n"
                 "                    pitch bend drive the modulators, on the input's time line\n"
                 "  -b, --block N     block size in samples, %u..%u (default %u)\n"
                 "  -r, --rate HZ     process at this sample rate instead of the file's own\n"
                 "  -h, --help        this text\n",
                 1u, quillrender::maxblocksize, quillrender::defaultblocksize);
}

struct commandline
{
    std::string input, output, state, midi;
    unsigned blocksize = quillrender::defaultblocksize;
    double rate = 0.0; // 0: the input file's own
};

bool parsenumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// False with a message for a wrong command line; help sets wanthelp.
bool parse(int argc, char** argv, commandline& cmd, bool& wanthelp, std::string& error)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc)
            {
                error = std::string("option ") + name + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help")
        {
            wanthelp = true;
            return true;
        }
        if (arg == "-s" || arg == "--state")
        {
            const char* v = value("--state");
            if (v == nullptr)
                return false;
            cmd.state = v;
        }
        else if (arg == "-m" || arg == "--midi")
        {
            const char* v = value("--midi");
            if (v == nullptr)
                return false;
            cmd.midi = v;
        }
        else if (arg == "-b" || arg == "--block")
        {
            const char* v = value("--block");
            double n = 0.0;
            if (v == nullptr)
                return false;
            if (!parsenumber(v, n) || n != std::floor(n) || n < 1.0 || n > quillrender::maxblocksize)
            {
                error = "block size must be a whole number from 1 to " + std::to_string(quillrender::maxblocksize)
                        + ", not " + v;
                return false;
            }
            cmd.blocksize = static_cast<unsigned>(n);
        }
        else if (arg == "-r" || arg == "--rate")
        {
            const char* v = value("--rate");
            if (v == nullptr)
                return false;
            if (!parsenumber(v, cmd.rate) || cmd.rate < quillrender::minrate || cmd.rate > quillrender::maxrate)
            {
                error = std::string("sample rate must be a number of hertz from ")
                        + std::to_string(static_cast<int>(quillrender::minrate)) + " to "
                        + std::to_string(static_cast<int>(quillrender::maxrate)) + ", not " + v;
                return false;
            }
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option " + arg;
            return false;
        }
        else
        {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
    {
        error = positional.size() < 2 ? "an input and an output file are needed" : "too many file names";
        return false;
    }
    cmd.input = positional[0];
    cmd.output = positional[1];
    return true;
}

// Prints "quill-render: 42% (12.6 of 30.0 s)" over itself on a terminal, for long renders.
class progressline
{
public:
    progressline() : onterminal(isatty(STDERR_FILENO) == 1), started(clock::now()), last(started) {}

    void show(std::int64_t done, std::int64_t total, double rate)
    {
        if (!onterminal || total <= 0)
            return;
        const clock::time_point now = clock::now();
        if (seconds(now - started) < progressafterseconds || seconds(now - last) < progressintervalseconds)
            return;
        last = now;
        shown = true;
        std::fprintf(stderr, "\rquill-render: %3d%% (%.1f of %.1f s)", static_cast<int>(100 * done / total),
                     done / rate, total / rate);
        std::fflush(stderr);
    }

    void finish()
    {
        if (shown)
            std::fprintf(stderr, "\rquill-render: 100%%                          \n");
    }

private:
    using clock = std::chrono::steady_clock;
    static double seconds(clock::duration d) { return std::chrono::duration<double>(d).count(); }

    bool onterminal;
    bool shown = false;
    clock::time_point started, last;
};

int fail(const std::string& message)
{
    std::fprintf(stderr, "quill-render: %s\n", message.c_str());
    return exitfailure;
}
} // namespace

int main(int argc, char** argv)
{
    commandline cmd;
    bool wanthelp = false;
    std::string error;
    if (!parse(argc, argv, cmd, wanthelp, error))
    {
        std::fprintf(stderr, "quill-render: %s\n", error.c_str());
        usage(stderr);
        return exitusage;
    }
    if (wanthelp)
    {
        usage(stdout);
        return 0;
    }

    quillrender::audioreader reader;
    if (!reader.open(cmd.input, error))
        return fail(error);
    const double rate = cmd.rate > 0.0 ? cmd.rate : reader.samplerate();
    if (rate < quillrender::minrate || rate > quillrender::maxrate)
        return fail(cmd.input + " runs at " + std::to_string(rate) + " Hz; use --rate to give a usable rate");

    std::string state;
    if (!cmd.state.empty() && !quillrender::readstatefile(cmd.state, state, error))
        return fail(error);
    std::vector<quillrender::timedmidimessage> midi;
    if (!cmd.midi.empty() && !quillrender::readmidifile(cmd.midi, rate, midi, error))
        return fail(error);

    const int channels = reader.channels();
    quillrender::audiowriter writer;
    if (!writer.open(cmd.output, rate, channels, error))
        return fail(error);

    quillrender::enginerenderer engine(rate, cmd.blocksize);
    if (!cmd.state.empty())
        engine.restorestate(state);
    engine.setmidi(std::move(midi));

    std::vector<std::vector<double>> in(channels, std::vector<double>(cmd.blocksize));
    std::vector<std::vector<double>> out(channels, std::vector<double>(cmd.blocksize));
    std::vector<double*> inptr, outptr;
    for (int c = 0; c < channels; ++c)
    {
        inptr.push_back(in[c].data());
        outptr.push_back(out[c].data());
    }

    // Every block has the full size: a shorter last one would be of another block class for
    // the engine, which then restarts its dry delay and cuts the dry signal's end.
    const int block = static_cast<int>(cmd.blocksize);
    const std::int64_t tail = engine.latency();
    progressline progress;
    const std::int64_t total = reader.length() + tail;
    std::int64_t inputlength = 0, written = 0;
    bool inputended = false;
    for (;;)
    {
        int n = 0;
        if (!inputended)
        {
            n = std::max(0, reader.read(inptr.data(), block));
            inputlength += n;
            inputended = n < block;
        }
        const std::int64_t wanted = inputended ? inputlength + tail - written : block;
        if (wanted <= 0)
            break;
        for (int c = 0; c < channels; ++c)
            std::fill(in[c].begin() + n, in[c].end(), 0.0);
        engine.renderblock(inptr.data(), channels, cmd.blocksize, outptr.data());
        const int keep = static_cast<int>(std::min<std::int64_t>(block, wanted));
        if (!writer.write(outptr.data(), keep))
            break; // close() reports it
        written += keep;
        progress.show(written, total, rate);
    }
    progress.finish();
    if (!writer.close(error))
        return fail(error);
    return 0;
}
