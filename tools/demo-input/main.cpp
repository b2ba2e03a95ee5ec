// quill-demo-input OUT.wav: writes the demo phrase as a WAV file at 44100 Hz, the same voice
// on both channels of a stereo track (so the harmonies' pans can be heard).
#include "tools/demo-input/melody.h"
#include "tools/render/renderfiles.h"

#include <cstdio>
#include <string>

namespace
{
constexpr double demorate = 44100.0;
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s OUT.wav\n  writes the demo phrase (stereo, %.0f Hz)\n",
                     argc > 0 ? argv[0] : "quill-demo-input", demorate);
        return 2;
    }
    const std::vector<double> phrase = quilldemo::synthesizemelody(demorate);
    quillrender::audiowriter writer;
    std::string error;
    const double* channels[2] = {phrase.data(), phrase.data()};
    if (!writer.open(argv[1], demorate, 2, error) || !writer.write(channels, static_cast<int>(phrase.size()))
        || !writer.close(error))
    {
        std::fprintf(stderr, "quill-demo-input: %s\n", error.empty() ? "writing failed" : error.c_str());
        return 1;
    }
    return 0;
}
