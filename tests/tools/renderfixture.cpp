#include "renderfixture.h"

#include "dsp/rdft.h"
#include "tools/render/renderfiles.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace rendertest
{
namespace
{
constexpr double pi = 3.14159265358979323846;

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
    static int counter = 0;
    const std::string errfile =
        (std::filesystem::temp_directory_path() / ("quill-render-stderr-" + std::to_string(getpid()) + "-"
                                                  + std::to_string(counter++)))
            .string();
    std::string command = quoted(QUILL_RENDER_TOOL);
    for (const std::string& a : arguments)
        command += " " + quoted(a);
    command += " >/dev/null 2>" + quoted(errfile);
    const int status = std::system(command.c_str());
    toolrun run;
    run.exitcode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errfile);
    run.errors.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    std::filesystem::remove(errfile);
    return run;
}

std::vector<double> tone(double hz, double rate, std::size_t n, double level)
{
    std::vector<double> s(n);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 1; k <= 4; ++k)
            s[i] += level / k * std::sin(2.0 * pi * hz * k * static_cast<double>(i) / rate);
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

void writetext(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

void writebytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

double fundamental(const std::vector<double>& s, std::size_t from, double rate)
{
    constexpr int n = 32768;
    std::vector<double> a(n);
    for (int i = 0; i < n; ++i)
        a[i] = s[from + i] * (0.5 - 0.5 * std::cos(2.0 * pi * i / n));
    std::vector<int> ip(2 + 256);
    std::vector<double> w(n / 2);
    rdft(n, 1, a.data(), ip.data(), w.data());
    std::vector<double> mag(n / 2);
    for (int k = 1; k < n / 2; ++k)
        mag[k] = std::hypot(a[2 * k], a[2 * k + 1]);
    const double binhz = rate / n;
    const int lo = static_cast<int>(60.0 / binhz), hi = static_cast<int>(2000.0 / binhz);
    const int k = static_cast<int>(std::max_element(mag.begin() + lo, mag.begin() + hi) - mag.begin());
    const double l = std::log(mag[k - 1]), c = std::log(mag[k]), r = std::log(mag[k + 1]);
    return (k + 0.5 * (l - r) / (l - 2.0 * c + r)) * binhz;
}
} // namespace rendertest
