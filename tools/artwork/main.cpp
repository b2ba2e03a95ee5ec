// quill-artwork: draws every picture of the editor and writes each as a PNG file.
//   quill-artwork --regular FONT.ttf --bold FONT.ttf --out FOLDER [--sheet SHEET.png] [--previews FOLDER]
#include "tools/artwork/artwork.h"
#include "tools/artwork/layout.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr int exitfailure = 1;
constexpr int exitusage = 2;

// Always written, also when unchanged: the build reruns the generator only when its files are
// older than the generator itself.
bool writefile(const juce::File& file, const juce::MemoryBlock& bytes)
{
    return file.replaceWithData(bytes.getData(), bytes.getSize());
}
} // namespace

int main(int argc, char** argv)
{
    std::string regular, bold, out, sheet, previews;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--regular")
            regular = value;
        else if (key == "--bold")
            bold = value;
        else if (key == "--out")
            out = value;
        else if (key == "--sheet")
            sheet = value;
        else if (key == "--previews")
            previews = value;
        else
            out.clear(), i = argc;
    }
    if (regular.empty() || bold.empty() || out.empty() || argc % 2 == 0)
    {
        std::fprintf(stderr, "usage: quill-artwork --regular FONT.ttf --bold FONT.ttf --out FOLDER"
                             " [--sheet SHEET.png] [--previews FOLDER]\n");
        return exitusage;
    }

    const juce::ScopedJuceInitialiser_GUI gui;
    const auto faces = artwork::loadfonts(juce::File(regular), juce::File(bold));
    if (faces.regular == nullptr || faces.bold == nullptr)
    {
        std::fprintf(stderr, "quill-artwork: cannot load the fonts %s and %s\n", regular.c_str(), bold.c_str());
        return exitfailure;
    }
    const juce::File folder(out);
    if (!folder.createDirectory())
    {
        std::fprintf(stderr, "quill-artwork: cannot make %s\n", out.c_str());
        return exitfailure;
    }

    std::vector<juce::Image> images;
    for (const auto& spec : artwork::pictures)
    {
        images.push_back(artwork::draw(spec, faces));
        const auto file = folder.getChildFile(artwork::filename(spec));
        if (!writefile(file, artwork::encodepng(images.back())))
        {
            std::fprintf(stderr, "quill-artwork: cannot write %s\n", file.getFullPathName().toRawUTF8());
            return exitfailure;
        }
    }
    if (!sheet.empty() && !writefile(juce::File(sheet), artwork::encodepng(artwork::contactsheet(images, faces))))
    {
        std::fprintf(stderr, "quill-artwork: cannot write %s\n", sheet.c_str());
        return exitfailure;
    }
    if (!previews.empty())
    {
        const juce::File into(previews);
        into.createDirectory();
        for (const auto& [page, name] : pbackgrounds)
        {
            const auto stem = juce::String(name).upToLastOccurrenceOf("_", false, false);
            const auto file = into.getChildFile("preview-" + stem + ".png");
            if (!writefile(file, artwork::encodepng(artwork::pagepreview(name, page, images, faces))))
                return exitfailure;
        }
    }
    return 0;
}
