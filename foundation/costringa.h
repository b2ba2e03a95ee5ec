// costringa: the byte string every subsystem keeps its text in.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace costringspace
{
// Decimals used by every float-to-text conversion. Per thread, so the state writer on the
// host's thread and a text field on the message thread never see each other's setting.
inline constexpr std::int64_t defaultPrecision = 3;
inline thread_local std::int64_t precision = defaultPrecision;
} // namespace costringspace

struct costringa
{
    std::uint64_t length = 0;   // characters, NUL not counted
    std::uint64_t capacity = 0; // characters the buffer holds, NUL not counted; 0: owns nothing
    char* data = nullptr;       // capacity + 1 bytes when capacity > 0

    costringa() = default;
    costringa(const char* text);
    costringa(const costringa& other);
    costringa& operator=(const costringa& other);
    costringa& operator=(const char* text);
    ~costringa();

    void assign(const char* text);
    void assign(const char* text, std::uint64_t n);
    void assign(float value);

    void append(float value);
    void append(int value);
    void append(char c);
    void append(const char* text);
    void append(const char* text, std::uint64_t n);

    // Empties the text; the buffer is kept and reads as "".
    void clear();

    // The text as a C string; "" when nothing is owned.
    const char* c_str() const { return (capacity > 0 && data != nullptr) ? data : ""; }
    std::string str() const { return std::string(c_str(), length); }
    bool empty() const { return length == 0; }

private:
    void reserve(std::uint64_t newLength);
};

costringa operator+(const char* left, const costringa& right);

// Decimal text of an unsigned value, through an output string stream.
template <typename T>
std::string Stringize(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}
extern template std::string Stringize<unsigned long>(const unsigned long&);
