#include "kit/pktext.h"

#include <charconv>
#include <cstring>
#include <vector>

juce::String pklatin1(const char* text)
{
    if (text == nullptr || *text == '\0')
        return {};
    const std::size_t n = std::strlen(text);
    std::vector<juce::juce_wchar> wide(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        wide[i] = static_cast<juce::juce_wchar>(static_cast<unsigned char>(text[i]));
    return juce::String(juce::CharPointer_UTF32(wide.data()));
}

juce::String pkcomponentid(int code)
{
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof(digits), code);
    return juce::String(juce::CharPointer_ASCII(digits), static_cast<size_t>(result.ptr - digits));
}

juce::String pktwodecimals(double value)
{
    // to_chars writes what "%.2f" writes in the C locale, and ignores a host's locale, so
    // the framework's number reading gets the same value back.
    char digits[400];
    const auto result = std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::fixed, 2);
    if (result.ec != std::errc())
        return {};
    return juce::String(juce::CharPointer_ASCII(digits), static_cast<size_t>(result.ptr - digits));
}
