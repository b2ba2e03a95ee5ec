#include "engine/hostparams.h"

#include <charconv>
#include <cstring>
#include <string_view>
#include <system_error>

namespace phosttrailer
{
namespace
{
constexpr char separator = ',';
constexpr int decimals = 6;
constexpr float fallback = 0.5f;
// Longer than any number the writer makes ("1.000000") by far, so a hand-edited trailer with
// more digits still reads, while a run of garbage cannot make the reader walk on for long.
constexpr std::size_t longestnumber = 40;

float clampunit(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}
} // namespace

void write(const float (&values)[hostparamcount], std::string& out)
{
    out.append(tag);
    char number[longestnumber];
    auto result = std::to_chars(number, number + sizeof number, version);
    out.append(number, result.ptr);
    for (float v : values)
    {
        const double stored = std::isnan(v) ? fallback : clampunit(v);
        result = std::to_chars(number, number + sizeof number, stored, std::chars_format::fixed, decimals);
        out.push_back(separator);
        out.append(number, result.ptr);
    }
    out.push_back('\0');
}

bool read(const void* chunk, std::size_t size, float (&values)[hostparamcount], std::uint32_t& present)
{
    if (chunk == nullptr || size == 0)
        return false;
    const auto* bytes = static_cast<const char*>(chunk);
    const void* textend = std::memchr(bytes, '\0', size);
    if (textend == nullptr)
        return false;
    const char* begin = static_cast<const char*>(textend) + 1;
    const char* end = bytes + size;
    const void* close = std::memchr(begin, '\0', static_cast<std::size_t>(end - begin));
    if (close == nullptr)
        return false; // truncated: a cut last number would read as another value
    std::string_view trailer(begin, static_cast<std::size_t>(static_cast<const char*>(close) - begin));

    const std::string_view tagtext(tag);
    if (trailer.substr(0, tagtext.size()) != tagtext)
        return false;
    trailer.remove_prefix(tagtext.size());

    int readversion = 0;
    const char* cursor = trailer.data();
    const char* last = trailer.data() + trailer.size();
    auto parsed = std::from_chars(cursor, last, readversion);
    if (parsed.ec != std::errc{} || readversion != version)
        return false;
    cursor = parsed.ptr;

    float read[hostparamcount] = {};
    std::uint32_t finite = 0;
    for (int i = 0; i < hostparamcount; ++i)
    {
        if (cursor == last || *cursor != separator)
            return false;
        ++cursor;
        const auto rest = static_cast<std::size_t>(last - cursor);
        const char* numberend = static_cast<const char*>(std::memchr(cursor, separator, rest));
        if (numberend == nullptr)
            numberend = last;
        if (numberend == cursor || static_cast<std::size_t>(numberend - cursor) > longestnumber)
            return false;
        double v = 0.0;
        parsed = std::from_chars(cursor, numberend, v, std::chars_format::general);
        // A number too large for a double is still a number, just not a finite one.
        if (parsed.ptr != numberend || (parsed.ec != std::errc{} && parsed.ec != std::errc::result_out_of_range))
            return false;
        if (parsed.ec == std::errc{} && std::isfinite(v))
        {
            read[i] = static_cast<float>(v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v));
            finite |= std::uint32_t{1} << i;
        }
        cursor = numberend;
    }
    if (cursor != last)
        return false; // more than 32 values
    for (int i = 0; i < hostparamcount; ++i)
        if ((finite >> i) & 1u)
            values[i] = read[i];
    present = finite;
    return true;
}
} // namespace phosttrailer
