// quill-artwork as the build runs it: the same pictures and sheet on every run, and the
// embedded ones and the build's sheet are what it draws.
#include "BinaryData.h"
#include "scratchdir.h"
#include "tools/artwork/artwork.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
int rungenerator(const std::string& folder, const std::string& sheet)
{
    const std::string command = std::string("'") + QUILL_ARTWORK_TOOL + "' --regular '" + QUILL_FONT_REGULAR
                                + "' --bold '" + QUILL_FONT_BOLD + "' --out '" + folder + "' --sheet '" + sheet + "'";
    return std::system(command.c_str());
}

// The build ran the generator once already: a run that differs from it is no longer reproducible.
TEST(artworktool, ARunWritesTheEmbeddedPicturesAndTheBuildsSheet)
{
    const scratchdir first;
    ASSERT_EQ(rungenerator(first.path, first.file("sheet.png")), 0);
    for (const auto& spec : artwork::pictures)
    {
        SCOPED_TRACE(spec.name);
        const auto one = filebytes(first.file(artwork::filename(spec)));
        ASSERT_FALSE(one.empty());
        int size = 0;
        const char* embedded = static_cast<const char*>(BinaryData::getNamedResource(spec.name, size));
        ASSERT_NE(embedded, nullptr);
        EXPECT_EQ(one, std::string(embedded, static_cast<size_t>(size)));
    }
    // The sheet the build leaves for people to look at is the one a run draws.
    const std::string sheet = filebytes(first.file("sheet.png"));
    ASSERT_FALSE(sheet.empty());
    EXPECT_EQ(sheet, filebytes(QUILL_CONTACT_SHEET));
}

TEST(artworktool, RefusesAWrongCommandLineAndMissingFonts)
{
    const scratchdir dir;
    const std::string tool = std::string("'") + QUILL_ARTWORK_TOOL + "'";
    EXPECT_EQ(WEXITSTATUS(std::system((tool + " --out '" + dir.path + "' 2>/dev/null").c_str())), 2);
    const std::string nofont = tool + " --regular /nonexistent.ttf --bold /nonexistent.ttf --out '" + dir.path + "'";
    EXPECT_EQ(WEXITSTATUS(std::system((nofont + " 2>/dev/null").c_str())), 1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

} // namespace
