#include "renderfixture.h"

#include "tools/render/renderfiles.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace rendertest
{
namespace
{
std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
} // namespace

scratchdir::scratchdir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-render-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder");
    path = pattern;
}

scratchdir::~scratchdir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

toolrun runrender(const std::vector<std::string>& arguments)
{
    const scratchdir dir;
    std::string command = quoted(QUILL_RENDER_TOOL);
    for (const std::string& a : arguments)
        command += " " + quoted(a);
    const int status = std::system((command + " >/dev/null 2>" + quoted(dir.file("stderr"))).c_str());
    std::ifstream err(dir.file("stderr"));
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>())};
}

std::vector<double> tone(double hz, double rate, std::size_t n, double level)
{
    std::vector<double> s(n);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 1; k <= 4; ++k)
            s[i] += level / k * std::sin(2.0 * M_PI * hz * k * static_cast<double>(i) / rate);
    return s;
}

void writewav(const std::string& path, double rate, const std::vector<std::vector<double>>& channels)
{
    quillrender::audiowriter writer;
    std::string error;
    std::vector<const double*> ptr;
    for (const auto& c : channels)
        ptr.push_back(c.data());
    ASSERT_TRUE(writer.open(path, rate, static_cast<int>(channels.size()), error)) << error;
    ASSERT_TRUE(writer.write(ptr.data(), static_cast<int>(channels[0].size())));
    ASSERT_TRUE(writer.close(error)) << error;
}

std::vector<std::vector<double>> readwav(const std::string& path, double* rate)
{
    quillrender::audioreader reader;
    std::string error;
    if (!reader.open(path, error))
    {
        ADD_FAILURE() << error;
        return {};
    }
    std::vector<std::vector<double>> channels(reader.channels(), std::vector<double>(reader.length()));
    std::vector<double*> ptr;
    for (auto& c : channels)
        ptr.push_back(c.data());
    EXPECT_EQ(reader.read(ptr.data(), static_cast<int>(reader.length())), reader.length());
    if (rate != nullptr)
        *rate = reader.samplerate();
    return channels;
}

void writetext(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
} // namespace rendertest
