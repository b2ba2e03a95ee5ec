#include "foundation/conumber.h"

#include <charconv>
#include <cmath>
#include <system_error>

double coreadnumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
    {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return 0.0; // one sign only
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    return result.ec != std::errc{} || !std::isfinite(value) ? 0.0 : value;
}

std::string cofixed3(double value)
{
    char text[48];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    return r.ec != std::errc() ? std::string("0.000") : std::string(text, r.ptr);
}
