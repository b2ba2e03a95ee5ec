// State texts, test signals and measures shared by both hosts' tests; no framework.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <numeric>
#include <string>
#include <vector>

namespace quilltest
{
inline constexpr int hostparametercount = 32;
inline constexpr int voicevolume = 1; // voice parameter index of "Volume"
inline constexpr double twopi = 6.283185307179586;

// Values as the state writer writes them: floats, six decimals.
inline std::string record(std::string text, std::initializer_list<double> values)
{
    char number[64];
    for (double v : values)
    {
        std::snprintf(number, sizeof number, ",%.6f", static_cast<double>(static_cast<float>(v)));
        text += number;
    }
    return text;
}

inline std::string withnul(const std::string& text)
{
    return text + std::string(1, '\0');
}

inline std::string statetext(const std::vector<std::string>& records)
{
    std::string text = "QLT-VERSION:1.2a";
    for (const auto& r : records)
        text += "," + r;
    return text;
}

inline std::string globals(double drynorm = 0.0, double wetnorm = 1.0, double monostereonorm = 1.0)
{
    constexpr double unitywide = 0.500098; // 1.0 on the logarithmic wide-input range
    return record("^PAR", {unitywide, 0.5, drynorm, wetnorm, 0.0, monostereonorm, unitywide, unitywide, 1.0});
}

inline std::string voice(double pitchnorm = 0.5, double volumenorm = 0.5, double pannorm = 0.5)
{
    return record("^VOI", {pitchnorm, volumenorm, pannorm, 0.0, 0.5, 0.5, 0.0});
}

// A controller-driven modulator: output = value, from "MIDI CC" menu entry `midicc` or host parameter.
inline std::string controllermodulator(int midicc, int hostparameter)
{
    constexpr double controllersource = 2.0 / 99.0;
    return record("^PAT,93001",
                  {0.0, 1.0, controllersource, 1.0 / 99.0, 0.05, 0.0, midicc / 127.0, hostparameter / 127.0});
}

inline std::string assignment(int patch, int target)
{
    return "^PAM," + std::to_string(patch) + "," + std::to_string(target) + ",1";
}

// A silent voice whose volume only the given modulators move, one assignment each.
inline std::string modulatedvoice(const std::vector<std::string>& modulators)
{
    std::vector<std::string> records{globals()};
    records.insert(records.end(), modulators.begin(), modulators.end());
    records.push_back(voice(0.5, 0.0));
    for (std::size_t m = 0; m < modulators.size(); ++m)
        records.push_back(assignment(static_cast<int>(m), voicevolume));
    return statetext(records);
}

inline double pitchnorm(double semitones)
{
    return (1.0 + semitones / 12.0) / 2.0;
}

// The host-parameter trailer behind the state text's NUL, every parameter at `value`, its NUL included.
inline std::string hosttrailer(float value = 0.5f)
{
    std::string trailer = "QLT-HOSTPARAMS:1";
    for (int i = 0; i < hostparametercount; ++i)
        trailer = record(trailer, {static_cast<double>(value)});
    return withnul(trailer);
}

inline std::vector<float> harmonictone(double f0, double rate, int length, int harmonics = 8)
{
    std::vector<float> x(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        double s = 0.0;
        for (int h = 1; h <= harmonics; ++h)
            s += std::sin(twopi * f0 * h * static_cast<double>(i) / rate) / h;
        x[i] = static_cast<float>(0.25 * s);
    }
    return x;
}

// A sine sweeping linearly from f0 to f1 over its length: smooth, and like no shifted copy of itself.
inline std::vector<float> chirp(double f0, double f1, double rate, std::size_t length)
{
    std::vector<float> x(length);
    const double seconds = static_cast<double>(length) / rate;
    for (std::size_t i = 0; i < length; ++i)
    {
        const double t = static_cast<double>(i) / rate;
        x[i] = static_cast<float>(0.25 * std::sin(twopi * (f0 * t + (f1 - f0) * t * t / (2.0 * seconds))));
    }
    return x;
}

inline double rms(const std::vector<float>& x, std::size_t from, std::size_t count)
{
    double sum = 0.0;
    const std::size_t end = std::min(x.size(), from + count);
    for (std::size_t i = from; i < end; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return end > from ? std::sqrt(sum / static_cast<double>(end - from)) : 0.0;
}

// The amplitude of frequency f in x[from, from + count), Hann-windowed.
inline double levelat(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double f)
{
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = 0; i < count; ++i)
    {
        const double t = static_cast<double>(i);
        const double windowed = x[from + i] * (1.0 - std::cos(twopi * t / static_cast<double>(count)));
        re += windowed * std::cos(twopi * f / rate * t);
        im += windowed * std::sin(twopi * f / rate * t);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(count);
}

// The lag (0..maxlag, at most `from`) at which y[from, to) matches x best, by cross-correlation.
inline int bestlag(const std::vector<float>& x, const std::vector<float>& y, std::size_t from, std::size_t to,
                   int maxlag)
{
    std::vector<double> sums;
    for (int lag = 0; lag <= maxlag; ++lag)
        sums.push_back(std::inner_product(y.begin() + from, y.begin() + to, x.begin() + (from - lag), 0.0));
    return static_cast<int>(std::max_element(sums.begin(), sums.end()) - sums.begin());
}

// Largest sample-to-sample step of x in [from, to).
inline double largeststep(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double step = 0.0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to && i < x.size(); ++i)
        step = std::max(step, std::fabs(static_cast<double>(x[i]) - x[i - 1]));
    return step;
}
} // namespace quilltest
