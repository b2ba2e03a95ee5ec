// A fresh folder under the system's temporary folder, removed with the object; a file's bytes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

struct scratchdir
{
    std::string path = (std::filesystem::temp_directory_path() / "quill-tools-XXXXXX").string();
    scratchdir()
    {
        if (mkdtemp(path.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch folder");
    }
    ~scratchdir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    scratchdir(const scratchdir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }
};

inline std::string filebytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
