// quill-artwork as the build runs it: the same pictures and sheet on every run, and the
// embedded ones and the build's sheet are what it draws.
#include "BinaryData.h"
#include "scratchdir.h"
#include "tools/artwork/artwork.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace
{
std::string bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int rungenerator(const std::string& folder, const std::string& sheet)
{
    const std::string command = std::string("'") + QUILL_ARTWORK_TOOL + "' --regular '" + QUILL_FONT_REGULAR
                                + "' --bold '" + QUILL_FONT_BOLD + "' --out '" + folder + "' --sheet '" + sheet + "'";
    return std::system(command.c_str());
}

TEST(artworktool, TwoRunsWriteIdenticalFilesAndTheEmbeddedOnesAreThem)
{
    const scratchdir first, second;
    ASSERT_EQ(rungenerator(first.path, first.path + "/sheet.png"), 0);
    ASSERT_EQ(rungenerator(second.path, second.path + "/sheet.png"), 0);
    for (const auto& spec : artwork::pictures)
    {
        SCOPED_TRACE(spec.name);
        const auto one = bytes(first.path + "/" + artwork::filename(spec));
        ASSERT_FALSE(one.empty());
        EXPECT_EQ(one, bytes(second.path + "/" + artwork::filename(spec)));
        int size = 0;
        const char* embedded = static_cast<const char*>(BinaryData::getNamedResource(spec.name, size));
        ASSERT_NE(embedded, nullptr);
        EXPECT_EQ(one, std::string(embedded, static_cast<size_t>(size)));
    }
    // The sheet the build leaves for people to look at is the one a run draws.
    const std::string sheet = bytes(first.path + "/sheet.png");
    ASSERT_FALSE(sheet.empty());
    EXPECT_EQ(sheet, bytes(second.path + "/sheet.png"));
    EXPECT_EQ(sheet, bytes(QUILL_CONTACT_SHEET));
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
