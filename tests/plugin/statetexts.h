// State texts, test signals and levels shared by both hosts' tests; no framework.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace quilltest
{
inline constexpr int hostparametercount = 32;
inline constexpr int voicevolume = 1; // voice parameter index of "Volume"

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
    constexpr double twopi = 6.283185307179586;
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

inline std::vector<float> sine(double f, double rate, int length)
{
    return harmonictone(f, rate, length, 1);
}

inline double rms(const std::vector<float>& x, std::size_t from, std::size_t count)
{
    double sum = 0.0;
    const std::size_t end = std::min(x.size(), from + count);
    for (std::size_t i = from; i < end; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return end > from ? std::sqrt(sum / static_cast<double>(end - from)) : 0.0;
}

inline double rmsofsecondhalf(const std::vector<float>& x)
{
    return rms(x, x.size() / 2, x.size() / 2);
}
} // namespace quilltest
