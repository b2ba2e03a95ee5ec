#include "foundation/costringa.h"

#include <cstdio>
#include <cstring>
#include <iomanip>
#include <locale>

template std::string Stringize<unsigned long>(const unsigned long&);

namespace
{
std::string formatFixed(float value)
{
    std::ostringstream out;
    // The text is shared with hosts and saved states: never the user's decimal comma.
    out.imbue(std::locale::classic());
    out.precision(static_cast<std::streamsize>(costringspace::precision));
    out.setf(std::ios::fixed, std::ios::floatfield);
    out << static_cast<double>(value);
    return out.str();
}
} // namespace

costringa::costringa(const char* text)
{
    assign(text);
}

costringa::costringa(const costringa& other)
{
    if (other.length > 0)
        assign(other.data, other.length);
}

costringa& costringa::operator=(const costringa& other)
{
    if (this != &other)
        assign(other.c_str(), other.length);
    return *this;
}

costringa& costringa::operator=(const char* text)
{
    assign(text);
    return *this;
}

costringa::~costringa()
{
    if (capacity > 0 && data != nullptr)
        delete[] data;
}

// Exactly as long as needed: no slack, so a text built by many appends reallocates often,
// which is fine for the short texts this class holds.
void costringa::reserve(std::uint64_t newLength)
{
    if (newLength <= capacity)
        return;
    char* grown = new char[newLength + 1];
    if (capacity > 0 && data != nullptr)
    {
        std::memcpy(grown, data, length);
        delete[] data;
    }
    grown[length] = '\0';
    data = grown;
    capacity = newLength;
}

void costringa::clear()
{
    length = 0;
    if (capacity > 0 && data != nullptr)
        data[0] = '\0';
}

void costringa::assign(const char* text)
{
    assign(text, text != nullptr ? std::strlen(text) : 0);
}

void costringa::assign(const char* text, std::uint64_t n)
{
    if (n == 0 || text == nullptr)
    {
        clear();
        return;
    }
    if (n > capacity)
    {
        // The source may live inside our own buffer: copy before releasing it.
        char* fresh = new char[n + 1];
        std::memcpy(fresh, text, n);
        if (capacity > 0 && data != nullptr)
            delete[] data;
        data = fresh;
        capacity = n;
    }
    else
    {
        std::memmove(data, text, n);
    }
    length = n;
    data[length] = '\0';
}

void costringa::assign(float value)
{
    const std::string text = formatFixed(value);
    assign(text.c_str(), text.size());
}

void costringa::append(const char* text, std::uint64_t n)
{
    if (n == 0 || text == nullptr)
        return;
    const std::string copy(text, n); // the source may be our own buffer
    reserve(length + n);
    std::memcpy(data + length, copy.data(), n);
    length += n;
    data[length] = '\0';
}

void costringa::append(const char* text)
{
    append(text, text != nullptr ? std::strlen(text) : 0);
}

void costringa::append(char c)
{
    append(&c, 1);
}

void costringa::append(int value)
{
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%d", value);
    append(digits, static_cast<std::uint64_t>(n));
}

void costringa::append(float value)
{
    const std::string text = formatFixed(value);
    append(text.c_str(), text.size());
}

costringa operator+(const char* left, const costringa& right)
{
    costringa result(left);
    result.append(right.c_str(), right.length);
    return result;
}
