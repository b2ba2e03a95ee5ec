// quill-demo-state [OUT.txt]: writes the demo's state text (to standard output without a
// file name). resources/demo/demo-state.txt is its output.
#include "tools/demo-input/demostate.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc > 2)
    {
        std::fprintf(stderr, "usage: %s [OUT.txt]\n", argv[0]);
        return 2;
    }
    const std::string text = quilldemo::demostatetext();
    if (argc == 1)
    {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << text;
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "quill-demo-state: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
