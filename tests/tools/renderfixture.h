// Shared by the renderer's tests: a scratch folder, signals, files, and quill-render run as a
// user runs it.
#pragma once

#include <string>
#include <vector>

namespace rendertest
{
// A fresh folder under the system's temporary folder, removed with the object.
class scratchdir
{
public:
    scratchdir();
    ~scratchdir();
    scratchdir(const scratchdir&) = delete;
    scratchdir& operator=(const scratchdir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

struct toolrun
{
    int exitcode = -1;
    std::string errors; // what the tool printed on standard error
};

toolrun runrender(const std::vector<std::string>& arguments);

// Harmonics 1..4 of hz at levels level / k.
std::vector<double> tone(double hz, double rate, std::size_t n, double level = 0.3);
void writewav(const std::string& path, double rate, const std::vector<std::vector<double>>& channels);
std::vector<std::vector<double>> readwav(const std::string& path, double* rate = nullptr);
void writetext(const std::string& path, const std::string& bytes);
} // namespace rendertest
