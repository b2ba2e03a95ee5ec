// A short sung-like phrase for the demo: a harmonic tone whose pitch follows a melody with
// glides and a delayed vibrato, shaped by vowel formants, with a breath of noise. It is made
// here rather than shipped, so the demo needs no recording.
#pragma once

#include <vector>

namespace quilldemo
{
struct vowel
{
    double formants[4]; // centre frequencies, Hz
    double widths[4];   // bandwidths, Hz
    double levels[4];   // peak levels, linear
};

struct melodynote
{
    double start;    // seconds
    double length;   // seconds, up to the next note's start for a legato line
    double midinote; // A4 = 69
    int vowelindex;  // into melodyvowels()
};

const std::vector<vowel>& melodyvowels();
const std::vector<melodynote>& melodynotes();

// The phrase's length in seconds, its last note's release included.
double melodyseconds();

// Fundamental frequency in Hz at time t (glides between notes and vibrato included); 0 in
// the rests.
double melodypitch(double t);

// The phrase sampled at the given rate, peak at 0.5 full scale.
std::vector<double> synthesizemelody(double samplerate);
} // namespace quilldemo
